#include "history_editor_win.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "app_routines_win.h"
#include "help/open_guide_win.h"
#include "help_topics.h"
#include "history_editor_resource.h"
#include "history_slots.h"
#include "history_store.h"
#include "quillo_hook.h"
#include "resource.h"

namespace quillo {
namespace {

using history_editor::HistorySlots;

constexpr int kContentsTabStop = 10;  // dialog units
constexpr int kHelpContext = help::kHistoryEditor;

struct Editor {
  HistorySlots slots;
  HWND* open;  // where the open editor is kept, so a second request finds it
  HWND dialog = nullptr;

  HWND List() const { return GetDlgItem(dialog, IDC_HISTORY_LIST); }
  HWND Contents() const { return GetDlgItem(dialog, IDC_HISTORY_CONTENTS); }
  int Selected() const { return static_cast<int>(SendMessageA(List(), LB_GETCURSEL, 0, 0)); }

  // The row of entry i as the stack menu's list shows it: "01: text...".
  void Label(int i, char (&row)[256]) const {
    const char* text = slots.IsEmptySlot(i) ? history_editor::kEmptyLabel : slots.text(i).c_str();
    GetStackItem(row, text, i, FALSE, TRUE);
  }

  void Fill() {
    SendMessageA(List(), LB_RESETCONTENT, 0, 0);
    char row[256];
    for (int i = 0; i < slots.count(); ++i) {
      Label(i, row);
      SendMessageA(List(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
  }

  void Refresh(int i) {
    char row[256];
    Label(i, row);
    SendMessageA(List(), LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    SendMessageA(List(), LB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
    Select(i);
  }

  void Select(int i) { SendMessageA(List(), LB_SETCURSEL, static_cast<WPARAM>(i), 0); }

  void ShowContents() {
    const int sel = Selected();
    SetWindowTextA(Contents(), sel >= 0 && sel < slots.count() ? slots.text(sel).c_str() : "");
    SendMessageA(Contents(), EM_SETMODIFY, FALSE, 0);
  }

  // The Contents box's text becomes the selected entry's, once it was changed.
  void Commit() {
    if (!SendMessageA(Contents(), EM_GETMODIFY, 0, 0)) return;
    const int sel = Selected();
    if (sel < 0 || sel >= slots.count()) return;
    const int length = GetWindowTextLengthA(Contents());
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(Contents(), &text[0], length + 1)));
    slots.Set(sel, std::move(text));
    Refresh(sel);
    SendMessageA(Contents(), EM_SETMODIFY, FALSE, 0);
  }

  void Init(HWND hwnd) {
    dialog = hwnd;
    SendMessageA(Contents(), EM_LIMITTEXT, history::kMaxEntryBytes, 0);
    int tabStop = kContentsTabStop;
    SendMessageA(Contents(), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    Fill();
    Select(0);
    ShowContents();
  }

  // Returns true when the command was one of the editor's.
  bool Command(WORD id, WORD code) {
    switch (id) {
      case IDC_HISTORY_LIST:
        if (code == LBN_SELCHANGE) ShowContents();
        return true;
      case IDC_HISTORY_CONTENTS:
        if (code == EN_KILLFOCUS) Commit();
        if (code == EN_MAXTEXT) QuilloMessageBox(IDS_TEXT_TOO_BIG);
        return true;
      case IDC_HISTORY_ADD:
        Commit();
        slots.Add();
        Fill();
        Select(0);
        ShowContents();
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Contents()), TRUE);
        return true;
      case IDC_HISTORY_DELETE: {
        Commit();
        const int sel = Selected();
        if (sel < 0) return true;
        const int next = slots.Delete(sel);
        Fill();
        if (next >= 0) Select(next);
        ShowContents();
        return true;
      }
      case IDC_HISTORY_UP:
      case IDC_HISTORY_DOWN: {
        Commit();
        const int sel = Selected();
        const int moved = id == IDC_HISTORY_UP ? slots.Up(sel) : slots.Down(sel);
        if (moved == sel) return true;
        Refresh(sel);
        Refresh(moved);
        return true;
      }
      case IDC_HISTORY_HELP:
        OpenGuide(kHelpContext);
        return true;
      case IDOK:
        // An access key or Enter reaches OK without the focus leaving the box.
        Commit();
        EndDialog(dialog, IDOK);
        return true;
      case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return true;
      default:
        return false;
    }
  }
};

INT_PTR CALLBACK EditorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* editor = reinterpret_cast<Editor*>(GetWindowLongPtrA(dialog, DWLP_USER));
  // Nothing may unwind into the dialog manager: a copy that cannot be made
  // is reported, and the edit is lost rather than the program.
  try {
    switch (msg) {
      case WM_INITDIALOG:
        editor = reinterpret_cast<Editor*>(lParam);
        *editor->open = dialog;
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        editor->Init(dialog);
        SetForegroundWindow(dialog);
        return TRUE;
      case WM_COMMAND:
        return editor != nullptr && editor->Command(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
      default:
        return FALSE;
    }
  } catch (const std::bad_alloc&) {
    QuilloMessageBox(IDS_NO_MEMORY);
  } catch (...) {
  }
  return TRUE;
}

}  // namespace

void RunHistoryEditor(HWND owner, HistoryStore& store) {
  // The editor's modal loop keeps serving the tray and the stack menu: a
  // second request shows the open editor instead of stacking another
  // snapshot on top of it, whose OK would undo the first one's edits.
  static HWND open = nullptr;
  if (open != nullptr && IsWindow(open)) {
    SetForegroundWindow(open);
    return;
  }
  try {
    std::vector<std::string> entries;
    if (!store.CopyAllEntries(entries)) return;
    Editor editor{HistorySlots(std::move(entries), store.Capacity()), &open};
    // Texts copied while the dialog is open are noted as they come; they
    // stay on top of the edited entries at OK.
    history_editor::CaptureLog captured;
    store.SetCaptureLog(&captured);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HISTORY_EDITOR), owner,
                                           EditorProc, reinterpret_cast<LPARAM>(&editor));
    store.SetCaptureLog(nullptr);
    open = nullptr;
    if (result != IDOK) return;
    store.ReplaceEntries(history_editor::MergeWriteBack(captured.NewestFirst(), editor.slots, store.Capacity()));
  } catch (const std::bad_alloc&) {
    store.SetCaptureLog(nullptr);
    open = nullptr;
    QuilloMessageBox(IDS_NO_MEMORY);
  }
}

}  // namespace quillo
