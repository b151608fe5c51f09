// The list-menu dialog.
#include "list_menu_win.h"

#include "custom_menu_win.h"
#include "dialog_support_win.h"
#include "menu_dialogs_res.h"
#include "message_box_win.h"
#include "process_state.h"
#include "resource.h"

namespace quillo::hook {

namespace {

// F1 in the dialog opens the help contents, which a negative topic stands for.
constexpr int kHelpContents = help::kContents;

UINT SelectedItemId(HWND dialog) {
  const LRESULT sel = SendDlgItemMessageA(dialog, IDC_LIST_MENU_ITEMS, LB_GETCURSEL, 0, 0);
  if (sel == LB_ERR) return 0;
  const LRESULT id = SendDlgItemMessageA(dialog, IDC_LIST_MENU_ITEMS, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0);
  return id == LB_ERR ? 0 : static_cast<UINT>(id);
}

INT_PTR CALLBACK ListMenuProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      CentreDialog(dialog);
      const auto* list = reinterpret_cast<const ListMenu*>(lParam);
      HWND box = GetDlgItem(dialog, IDC_LIST_MENU_ITEMS);
      for (const ListEntry& e : list->entries) {
        const LRESULT row = SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.label.c_str()));
        if (row == LB_ERR || row == LB_ERRSPACE) break;
        SendMessageA(box, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(e.itemId));
      }
      SendMessageA(box, LB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          EndDialog(dialog, static_cast<INT_PTR>(SelectedItemId(dialog)));
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_LIST_MENU_ITEMS:
          if (HIWORD(wParam) == LBN_DBLCLK) {
            EndDialog(dialog, static_cast<INT_PTR>(SelectedItemId(dialog)));
            return TRUE;
          }
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

UINT ChooseFromListMenu(UINT listId) noexcept {
  const ListMenu* list = CustomList(listId);
  if (list == nullptr || list->entries.empty()) return 0;
  ProcessState& state = State();
  INT_PTR result = -1;
  {
    HelpTopicScope help(kHelpContents);
    result = DialogBoxParamA(state.instance, MAKEINTRESOURCEA(IDD_LIST_MENU), GetForegroundWindow(),
                             ListMenuProc, reinterpret_cast<LPARAM>(list));
  }
  if (result == -1) {
    MessageBeep(MB_OK);
    ShowQuilloMessage(state.instance, IDS_CREATE_RESOURCE, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  return static_cast<UINT>(result);
}

}  // namespace quillo::hook
