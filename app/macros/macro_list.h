// The macro list menu, decided from plain data: which of the macro files the
// folder search found are listed, where (the menu itself or its "More..."
// sub-menu), under which label, which one is checked, and which command each
// entry sends back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillo::macros {

constexpr size_t kMacroListMax = 30;       // files beyond this are not listed
constexpr size_t kMacroListTopEntries = 10;  // the rest go into "More..."
constexpr unsigned kMacroListFirstCommand = 100;
constexpr char kMacroListMoreLabel[] = "More...";

struct MacroListEntry {
  std::string label;
  std::string file;     // the file name as found, ".mcr" included
  unsigned command;     // kMacroListFirstCommand + position over both menus
  bool checked;         // the current macro
  bool inMore;          // in the "More..." sub-menu
};

// The entries for `files` in the order the search returned them. Labels count
// from 1 in each menu: "&1: " to "&9: ", "1&0: ", then "11: " to "20: "
// without an access key; an '&' in a file name is doubled so the name shows
// as it is and takes no access key. The entry whose name equals `current`
// without regard to case (ASCII letters, never a trail byte) is checked.
std::vector<MacroListEntry> BuildMacroList(const std::vector<std::string>& files, const std::string& current);

// The file of the entry that sent `command`, or null for any other command.
const MacroListEntry* FindMacroListEntry(const std::vector<MacroListEntry>& entries, unsigned command);

// Equal without regard to the case of ASCII letters; a double-byte character
// compares byte for byte, so a trail byte that looks like a letter is not folded.
bool SameMacroName(const char* a, const char* b);

}  // namespace quillo::macros
