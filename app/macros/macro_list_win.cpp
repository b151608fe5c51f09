#include "macros/macro_list_win.h"

#include <vector>

#include "macros/macro_list.h"

namespace quillo::app {
namespace {

// A menu destroyed with everything in it when it goes out of scope.
class UniqueMenu {
 public:
  explicit UniqueMenu(HMENU menu) : menu_(menu) {}
  UniqueMenu(const UniqueMenu&) = delete;
  UniqueMenu& operator=(const UniqueMenu&) = delete;
  ~UniqueMenu() {
    if (menu_ != nullptr) DestroyMenu(menu_);
  }
  HMENU get() const { return menu_; }
  HMENU release() {
    HMENU m = menu_;
    menu_ = nullptr;
    return m;
  }

 private:
  HMENU menu_;
};

std::vector<std::string> FindMacroFiles(const std::string& macroFolder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((macroFolder + "\\*.mcr").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    // A folder named like a macro is not one: choosing it could only fail.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) files.emplace_back(found.cFileName);
  } while (files.size() < macros::kMacroListMax && FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

}  // namespace

MacroListChoice ChooseMacroFile(HWND owner, const std::string& macroFolder, const std::string& current,
                                std::string& chosen) {
  const std::vector<macros::MacroListEntry> entries = macros::BuildMacroList(FindMacroFiles(macroFolder), current);
  if (entries.empty()) return MacroListChoice::kNoFiles;
  UniqueMenu menu(CreatePopupMenu());
  if (menu.get() == nullptr) return MacroListChoice::kNone;
  HMENU more = nullptr;
  for (const macros::MacroListEntry& e : entries) {
    if (e.inMore && more == nullptr) {
      UniqueMenu sub(CreatePopupMenu());
      AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
      if (sub.get() == nullptr ||
          !AppendMenuA(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()), macros::kMacroListMoreLabel)) {
        break;  // the first ten are still offered
      }
      more = sub.release();  // destroyed with the menu from now on
    }
    AppendMenuA(e.inMore ? more : menu.get(), MF_STRING | (e.checked ? MF_CHECKED : MF_UNCHECKED), e.command,
                e.label.c_str());
  }
  POINT at = {};
  GetCursorPos(&at);
  // Our window must be in front, or the menu does not close when the user
  // clicks elsewhere; the program the user was in gets the front back after.
  HWND previous = GetForegroundWindow();
  SetForegroundWindow(owner);
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  if (previous != nullptr && previous != owner && IsWindow(previous)) SetForegroundWindow(previous);
  const macros::MacroListEntry* entry = macros::FindMacroListEntry(entries, command);
  if (entry == nullptr) return MacroListChoice::kNone;
  chosen = entry->file;
  return MacroListChoice::kChosen;
}

}  // namespace quillo::app
