// The macro list menu on Win32: the macro files of the folder, listed by the
// portable rules and tracked at the mouse pointer.
#pragma once

#include <windows.h>

#include <string>

namespace quillo::app {

enum class MacroListChoice {
  kNoFiles,  // the folder holds no macro file (or does not exist): no menu was shown
  kNone,     // the menu closed without a choice
  kChosen,
};

// Lists "<folder>\*.mcr" in the order the search returns them and tracks the
// menu at the pointer, owned by `owner`; the right button chooses too. On
// kChosen, `chosen` is the file name as found.
MacroListChoice ChooseMacroFile(HWND owner, const std::string& macroFolder, const std::string& current,
                                std::string& chosen);

}  // namespace quillo::app
