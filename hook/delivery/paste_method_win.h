// The paste method of the program in front, looked up in the shared block's
// list (paste_programs.h).
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillo::hook {

// The paste method for `window`'s program: its entry on the shared list, else
// g_nPasteCmd (-1 when that presses no keys).
int32_t PasteMethodForWindow(HWND window) noexcept;

// A text is being typed by a typist that is alive: the flag is set, and the
// typist's beat is recent.
bool TypingUnderWay() noexcept;

}  // namespace quillo::hook
