// Typing the clipboard's text into the application in front (typing.h), and
// the paste method of the program in front (paste_programs.h).
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillo::hook {

// The paste method for `window`'s program: its entry on the shared list, else
// g_nPasteCmd (-1 when that presses no keys).
int32_t PasteMethodForWindow(HWND window) noexcept;

// Types the clipboard's CF_TEXT into the application in front and returns
// when it is typed or the user stopped it. Only one text is typed at a time
// on the desktop: a second request meanwhile beeps and types nothing.
void TypeClipboardText() noexcept;

}  // namespace quillo::hook
