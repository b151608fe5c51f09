// The paste method of the program in front, looked up in the shared block's
// list (paste_programs.h).
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillo::hook {

// The paste method for `window`'s program: its entry on the shared list, else
// g_nPasteCmd (-1 when that presses no keys).
int32_t PasteMethodForWindow(HWND window) noexcept;

}  // namespace quillo::hook
