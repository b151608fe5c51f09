// The folder menus of one extended file dialog: its replacement window
// procedure and the state it keeps in a property of the dialog window, so that
// two dialogs open at once in one program each keep their own.
#pragma once

#include <windows.h>

namespace quillo::dlgex {

// Command ids of the folder menus (system-menu commands are multiples of 16).
constexpr UINT kCmdHistoryFirst = 0xA000;   // + 16 x position, 10 entries
constexpr UINT kCmdShortcutFirst = 0xA200;  // + 16 x position, 10 entries
constexpr UINT kCmdAddFolder = 0xA400;

// Subclasses a recognised file dialog (`record`: its application's
// OPENFILENAME, checked) and adds its folder menus. False (and
// the dialog untouched) when its state cannot be kept.
bool ExtendDialog(HWND dialog, const void* record) noexcept;

// True when [p, p+size) lies in committed memory that may be read (and
// written, if asked): nothing of another library's private data is followed
// before this says yes.
bool IsAccessible(const void* p, size_t size, bool write) noexcept;

}  // namespace quillo::dlgex
