// The custom menu of this process: the menu file of a menu-file set entry,
// parsed once and kept as a real pop-up menu (State().rootMenu) with the
// tables that say what each command id pastes. It is parsed again only when
// another file is asked for or the file's last-write time moved forward.
//
// Everything here runs on the thread of the application in front, inside its
// process; nothing throws, and every failure has been shown to the user when
// a function returns false.
#pragma once

#include <windows.h>

#include <cstddef>

#include "menu_file.h"

namespace quillo::hook {

// Makes sure the custom menu of menu-file set entry `entry` (0-9) is parsed
// in this process. False when it is not (an empty path fails silently).
bool PrepareCustomMenu(int entry) noexcept;

// Reads and parses the menu file at `path`, replacing the menu parsed before.
// When the file cannot be opened the earlier menu stays. False on failure.
bool LoadCustomMenu(const char* path) noexcept;

// Relabels the entries whose titles are the expansion of their bodies. Call
// after the time snapshot is taken, right before the menu is tracked.
void RefreshDynamicTitles() noexcept;

// The stored body of an item id (1000-2022), or null.
const char* CustomItemBody(UINT id) noexcept;

// The label of the entry with command id `id` (a simple-menu cell), read back
// from the menu into `buffer`. False when there is no such entry.
bool CustomCellText(UINT id, char* buffer, size_t size) noexcept;

// The list of list-menu id `listId`, or null.
const ListMenu* CustomList(UINT listId) noexcept;

// Releases the parsed menu, its tables and its HMENU tree.
void FreeCustomMenu() noexcept;

// Builds the pop-up menu tree of a parsed model, one HMENU per level, entry
// for entry. Null when any menu call fails; nothing is left behind then.
HMENU BuildMenuTree(const MenuModel& model) noexcept;

// Shows the message box of a message of the parser; a line, when there is
// one, goes under the text in the error-line form.
void ShowMenuFileMessage(const MenuFileError& error) noexcept;

// The offending line as the box shows it: lines longer than 128 bytes are cut
// to their first 127 bytes, one less when that would split a double-byte
// character. `out` has room for 129 bytes (a 128-byte line and its NUL);
// a smaller buffer cuts the line shorter still.
void CutErrorLine(const char* line, char* out, size_t size) noexcept;

}  // namespace quillo::hook
