// The menu-file grammar: turns a menu file into a plain model of the custom
// menu that the Win32 side copies 1:1 into an HMENU tree, plus the tables that
// map each command id to what choosing it pastes.
//
// Nothing here shows a message: errors come back as {message id, argument,
// offending line} and the caller puts them in front of the user in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "menu_file_reader.h"

namespace quillo::hook {

// Command ids of a parsed custom menu. Cells and list menus get ranges of their
// own below the stack menu's 7000: the file format does not bound them, but a
// cell id in the list range would open a list dialog, and one at 7000 would be
// taken for a history entry in the combined menu.
constexpr uint32_t kFirstItemId = 1000;
constexpr uint32_t kMaxItems = 1023;  // ids 1000-2022
constexpr uint32_t kFirstCellId = 3000;
constexpr uint32_t kLastCellId = 4999;
constexpr uint32_t kFirstListId = 5000;
constexpr uint32_t kLastListId = 6999;

constexpr size_t kMaxSimpleRows = 30;
// Every sub menu and simple menu becomes a USER object in the process in front,
// whose quota is shared with that program's own windows and menus.
constexpr size_t kMaxPopups = 1023;
// Entries of all menus together: separators cost no id, so they need a bound
// of their own or a hostile file could ask for millions of them.
constexpr size_t kMaxEntries = 8192;

// Owner half of a dynamic-title code for an entry of the pop-up menu itself;
// other owners are list-menu indexes (list id minus 5000).
constexpr uint32_t kPopupOwner = 0xFFFF;
constexpr uint32_t DynamicTitleCode(uint32_t owner, uint32_t itemId) { return (owner << 16) | itemId; }
constexpr uint32_t DynamicTitleOwner(uint32_t code) { return code >> 16; }
constexpr uint32_t DynamicTitleItem(uint32_t code) { return code & 0xFFFF; }

// Message ids of the library's string table that the parser reports.
enum MenuFileMessage : uint16_t {
  kMsgNoMemory = 2001,         // "There is not enough memory."
  kMsgSubMenuInList = 2010,    // "Can not create sub-menu in list menu." + header line
  kMsgLineTooLong = 2017,      // "There are too much characters in a single line."
  kMsgTooManyItems = 2018,     // "There are too much items in custom menu."
  kMsgBadLine = 2026,          // "Menu file is incorrect." + line
  kMsgNoSubMenuEnd = 2027,     // "Could not find end marker(..) of sub menu." + header line
  kMsgNoSimpleEnd = 2028,      // "Could not find end marker(..) of simple menu." + header line
  kMsgNoItemEnd = 2029,        // "Could not find end marker(/E) of menu item." + title line
};

struct MenuFileError {
  uint16_t message = 0;
  std::string arg;                  // for a "%s" in the text; unused by the parser itself
  std::optional<std::string> line;  // the offending line, shown under the text
  uint32_t lineNumber = 0;          // 1-based line of the file being read when it happened
  bool operator==(const MenuFileError&) const = default;
};

enum class EntryKind : uint8_t {
  kString,     // AppendMenu(MF_STRING, id, label)
  kSeparator,  // AppendMenu(MF_SEPARATOR, id, nullptr)
  kPopup,      // AppendMenu(MF_POPUP, menus[popup], label)
};

struct MenuEntry {
  EntryKind kind = EntryKind::kString;
  bool barBreak = false;   // MF_MENUBARBREAK: "--" put the entry at the head of a new column
  bool menuBreak = false;  // MF_MENUBREAK: first cell of a later column of a simple menu
  uint32_t id = 0;         // command id; simple-menu separators keep their cell id too
  uint32_t popup = 0;      // kPopup: index into MenuModel::menus, always above the parent's
  std::string label;
  bool operator==(const MenuEntry&) const = default;
};

struct MenuLevel {
  std::vector<MenuEntry> entries;
  bool operator==(const MenuLevel&) const = default;
};

struct ListEntry {
  std::string label;
  uint32_t itemId = 0;
  bool operator==(const ListEntry&) const = default;
};

struct ListMenu {
  std::vector<ListEntry> entries;
  bool operator==(const ListMenu&) const = default;
};

struct MenuModel {
  // menus[0] is the root. Creating one HMENU per level first and then appending
  // the entries of each level rebuilds the tree.
  std::vector<MenuLevel> menus;
  // Item bodies by id - 1000, in file order. An item whose multi-line body has
  // no lines keeps an empty text, which stands for "no body".
  std::vector<std::string> bodies;
  std::vector<ListMenu> lists;           // by list id - 5000
  std::vector<uint32_t> dynamicTitles;   // DynamicTitleCode values in file order
  uint32_t nextItemId = kFirstItemId;
  uint32_t nextCellId = kFirstCellId;
  uint32_t nextListId = kFirstListId;

  void Clear() noexcept;
  bool Empty() const noexcept { return menus.empty(); }

  // The body to paste for an item id, or null when there is none.
  const char* ItemBody(uint32_t id) const noexcept;
  // The list of a list-menu id, or null.
  const ListMenu* List(uint32_t listId) const noexcept;
  // The entry carrying a command id anywhere in the tree (cells, items, list
  // menus), or null. Separators are never returned.
  const MenuEntry* FindEntry(uint32_t id) const noexcept;
  // Where a dynamic title's label lives: the pop-up entry or the list entry.
  std::string* DynamicLabel(uint32_t code) noexcept;

  bool operator==(const MenuModel&) const = default;
};

struct MenuFileResult {
  // True when the menu is usable. A too-long line at the top level stops the
  // menu there and still succeeds, with message 2017 among the messages.
  bool ok = false;
  std::vector<MenuFileError> messages;  // to be shown in this order
};

// Parses a whole menu file. On failure `model` is left empty. Never throws:
// running out of memory is message 2001.
MenuFileResult ParseMenuFile(ByteSource& source, uint64_t fileSize, MenuModel& model) noexcept;
MenuFileResult ParseMenuFile(const void* data, size_t size, MenuModel& model) noexcept;

// Length of an expanded dynamic title as the label shows it: a CR LF is cut
// when the first one in the text stands at its very end.
size_t DynamicTitleLength(const char* expanded) noexcept;

}  // namespace quillo::hook
