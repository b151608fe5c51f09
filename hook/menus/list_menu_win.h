// The list-menu dialog: a list menu of the custom menu is one menu entry whose
// choice opens this dialog with the list's entries.
#pragma once

#include <windows.h>

namespace quillo::hook {

// Shows the entries of list-menu id `listId` (5000 upward) in the modal
// "List Menu" dialog, owned by the window in front. Returns the item id of
// the chosen entry, or 0 when the user cancels, the list is empty or unknown,
// or the dialog cannot be created (after beeping and message 2003).
UINT ChooseFromListMenu(UINT listId) noexcept;

}  // namespace quillo::hook
