// The history editor: a modal dialog over a private copy of the clipboard
// history, written back on OK.
#pragma once

#include <windows.h>

#include <string>

#include "history_store_win.h"

namespace quillo {

// Loads the history, shows the editor owned by `owner` and, on OK, replaces
// the history with the edited entries, below the texts that were captured
// while the editor was open. A history that cannot be loaded shows no dialog.
void RunHistoryEditor(HWND owner, HistoryStore& store);

}  // namespace quillo
