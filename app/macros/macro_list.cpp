#include "macros/macro_list.h"

#include "dbcs.h"

namespace quillo::macros {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// "&1: " .. "&9: ", "1&0: ", then "11: " and on: the number within its own menu.
std::string NumberPrefix(size_t number) {
  if (number < 10) return "&" + std::to_string(number) + ": ";
  if (number == 10) return "1&0: ";
  return std::to_string(number) + ": ";
}

std::string ShownName(const std::string& file) {
  std::string shown;
  shown.reserve(file.size());
  for (char c : file) {
    shown.push_back(c);
    if (c == '&') shown.push_back('&');
  }
  return shown;
}

}  // namespace

bool SameMacroName(const char* a, const char* b) {
  while (*a != '\0' && *b != '\0') {
    const size_t la = text::CharLen(a);
    const size_t lb = text::CharLen(b);
    if (la != lb) return false;
    if (la == 2) {
      if (a[0] != b[0] || a[1] != b[1]) return false;
    } else if (Lower(*a) != Lower(*b)) {
      return false;
    }
    a += la;
    b += lb;
  }
  return *a == *b;
}

std::vector<MacroListEntry> BuildMacroList(const std::vector<std::string>& files, const std::string& current) {
  std::vector<MacroListEntry> entries;
  const size_t count = files.size() < kMacroListMax ? files.size() : kMacroListMax;
  entries.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const bool inMore = i >= kMacroListTopEntries;
    const size_t number = inMore ? i - kMacroListTopEntries + 1 : i + 1;
    entries.push_back({NumberPrefix(number) + ShownName(files[i]), files[i],
                       kMacroListFirstCommand + static_cast<unsigned>(i),
                       !current.empty() && SameMacroName(files[i].c_str(), current.c_str()), inMore});
  }
  return entries;
}

const MacroListEntry* FindMacroListEntry(const std::vector<MacroListEntry>& entries, unsigned command) {
  for (const MacroListEntry& e : entries) {
    if (e.command == command) return &e;
  }
  return nullptr;
}

}  // namespace quillo::macros
