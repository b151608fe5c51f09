// The shortcut in the user's Startup folder behind "Launch with Windows".
// COM must be initialised on the calling thread.
#pragma once

#include <windows.h>

namespace quillo {

// Whether a shortcut in the Startup folder points to this program: 1 found
// (and deleted when `remove` is set), 0 none, -1 the folder or the shell's
// link object is not available. Shortcuts to other programs stay.
int FindStartupShortcut(HWND owner, bool remove);

// FindStartupShortcut(nullptr, false) on a thread of its own, while this
// thread goes on dispatching its messages: loading and resolving a broken
// shortcut can take seconds, and the window's thread must keep capturing the
// clipboard and answering the hooks meanwhile. -1 also when the program is
// told to end before the answer comes (the quit is left for the main loop).
int FindStartupShortcutOffThread();

// Saves "Quillo.lnk" to this program in the Startup folder: 1 saved, 0 not
// saved, -1 the folder or the shell's link object is not available.
int CreateStartupShortcut();

}  // namespace quillo
