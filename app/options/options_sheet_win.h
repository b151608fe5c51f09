// The options sheet ("Options", five pages) and the macro sheet (the Macro
// page alone), shown modally over the page models of option_pages.h.
#pragma once

#include <windows.h>

#include <string>

#include "options/option_pages.h"
#include "settings.h"

namespace quillo {

enum class SheetPages { kAll, kMacro };

// Shows the sheet over `owner` until the user closes it. With OK every page
// writes back into `settings` in page order (the effects beyond the members
// go to `effects`) and true is returned; Cancel writes nothing.
bool RunOptionsSheet(HWND owner, SheetPages pages, settings::Settings& settings, const std::string& programFolder,
                     const std::string& helpFile, options::OptionsEffects& effects);

}  // namespace quillo
