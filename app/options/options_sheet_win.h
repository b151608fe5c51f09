// The options sheet ("Options", six pages) and the macro sheet (the Macro
// page alone), shown modally over the page models of option_pages.h.
#pragma once

#include <windows.h>

#include <string>

#include "options/option_pages.h"
#include "settings.h"

namespace quillo {

enum class SheetPages { kAll, kMacro };

// Shows the sheet over `owner`, which must be a window of ours (it is
// disabled meanwhile), until the user closes it. `startupState` is what
// FindStartupShortcut answered (-1 for the macro sheet, which does not show
// it). With OK every page writes back into `settings` in page order (the
// effects beyond the members go to `effects`) and true is returned; Cancel
// writes nothing.
bool RunOptionsSheet(HWND owner, SheetPages pages, int startupState, settings::Settings& settings,
                     const std::string& programFolder, options::OptionsEffects& effects);

}  // namespace quillo
