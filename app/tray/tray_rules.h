// What the tray icon shows and what its menu offers, decided from plain data:
// the icon for the program's state, the labels of the "Edit Menu File"
// sub-menu and the command line that opens a file in the user's editor.
#pragma once

#include <cstddef>
#include <string>

namespace quillo::tray {

// Icon ids; the tool-tip string of each state has the same id.
constexpr int kIconNormal = 128;
constexpr int kIconSuspend = 141;
constexpr int kIconSuspendHistory = 142;
constexpr int kIconDirectPaste = 143;

// Suspend wins over direct paste, which wins over a suspended history.
int IconStateFor(bool suspend, bool directPaste, bool suspendHistory) noexcept;

// Longest file name shown in the "Edit Menu File" sub-menu, in bytes.
constexpr size_t kMaxMenuFileNameBytes = 80;
constexpr int kMaxEditMenuItems = 10;

// The label of menu-file set `index` (0-9): "&1: " ... "&9: ", "1&0: ", then
// the file name of `path` with '&' shown as a blank (it would make the next
// character an access key), cut before a tab and after at most 80 bytes; a
// double-byte character that starts within those 80 bytes is kept whole.
// False for an index out of range and for a path without a backslash, which
// ends the listing.
bool MakeEditMenuLabel(int index, const char* path, std::string& label);

// "editor" "path": both quoted, as either may hold blanks.
std::string MakeEditorCommandLine(const std::string& editor, const std::string& path);

}  // namespace quillo::tray
