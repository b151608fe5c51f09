// The tray icon's notifications and the commands of its menu, as members of
// the resident window.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "app_routines_win.h"
#include "help/open_guide_win.h"
#include "help_topics.h"
#include "main_frame_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "resource.h"
#include "tray_resource.h"
#include "tray_rules.h"

namespace quillo {
namespace {

constexpr char kHistoryFilter[] = "History Files (*.hst)\0*.hst\0All Files (*.*)\0*.*\0";
constexpr char kTextFilter[] = "Text Documents (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";

struct AboutData {
  std::string folder;
  bool notReached32;  // the 64-bit flavor's companion cannot run
};

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      if (const auto* data = reinterpret_cast<const AboutData*>(lParam); data != nullptr && data->notReached32) {
        char note[256] = {};
        LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_32BIT_NOT_REACHED, note, sizeof note);
        SetDlgItemTextA(dialog, IDC_ABOUT_NOTE, note);
      }
      SetForegroundWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
        case IDC_ABOUT_HOMEPAGE: {
          const auto* data = reinterpret_cast<const AboutData*>(GetWindowLongPtrA(dialog, DWLP_USER));
          if (data == nullptr) return TRUE;
          const std::string url = data->folder + "\\Veltrane.url";
          if (GetFileAttributesA(url.c_str()) == INVALID_FILE_ATTRIBUTES) {
            QuilloMessageBox(IDS_NO_URL_FILE);
            return TRUE;
          }
          ShellExecuteA(dialog, "open", url.c_str(), nullptr, nullptr, SW_HIDE);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
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

void CMainFrame::ShowTrayState() {
#ifdef _WIN64
  tray_.SetTipNote(companion_.notReached() ? IDS_TIP_32BIT_NOT_REACHED : 0);
#endif
  tray_.ShowState(settings_.Suspend, settings_.DirectPaste, settings_.SuspendHist);
}

void CMainFrame::OnTrayNotify(WPARAM id, LPARAM mouseMessage) {
  if (id != tray_.id()) return;
  const UINT mouse = static_cast<UINT>(mouseMessage);
  if (mouse != WM_RBUTTONUP && mouse != WM_LBUTTONDOWN) return;
  HMENU tray = GetSubMenu(GetMenu(hwnd_), 0);
  if (tray == nullptr) return;
  // Our window must be in front, or the menu does not close when the user
  // clicks elsewhere.
  SetForegroundWindow(hwnd_);
  if (mouse == WM_LBUTTONDOWN) {
    // The left click opens the first item's window, the options sheet; while
    // that item is grayed there is nothing to open.
    const UINT first = GetMenuItemID(tray, 0);
    if ((GetMenuState(tray, first, MF_BYCOMMAND) & MF_GRAYED) == 0) SendMessageA(hwnd_, WM_COMMAND, first, 0);
    return;
  }
  auto check = [&](UINT command, bool on) {
    CheckMenuItem(tray, command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  };
  check(ID_TRAY_SUSPEND, settings_.Suspend);
  check(ID_TRAY_SUSPEND_HISTORY, settings_.SuspendHist);
  check(ID_TRAY_SUSPEND_DIALOG_EXT, settings_.SuspendDirHist);
  check(ID_TRAY_MACRO_BAR, macroBar_.visible());
  HMENU edit = GetSubMenu(tray, TRAY_EDIT_MENU_POSITION);
  int added = 0;
  for (int i = 0; edit != nullptr && i < tray::kMaxEditMenuItems && settings_.MenuFiles[i].path[0] != '\0'; ++i) {
    std::string label;
    if (!tray::MakeEditMenuLabel(i, settings_.MenuFiles[i].path, label)) break;
    if (AppendMenuA(edit, MF_STRING, ID_TRAY_EDIT_MENU_FIRST + i, label.c_str())) ++added;
  }
  if (added > 0) DeleteMenu(edit, 0, MF_BYPOSITION);  // the placeholder
  EnableMenuItem(tray, TRAY_EDIT_MENU_POSITION, MF_BYPOSITION | (added > 0 ? MF_ENABLED : MF_GRAYED));
  POINT at = {};
  GetCursorPos(&at);
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(tray, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
  if (edit != nullptr) {
    InsertMenuA(edit, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    while (GetMenuItemCount(edit) > 1) DeleteMenu(edit, 1, MF_BYPOSITION);
  }
  if (command != 0) {
    SendMessageA(hwnd_, WM_COMMAND, command, 0);
  } else {
    // Lets the menu close properly when the user clicked elsewhere.
    PostMessageA(hwnd_, WM_NULL, 0, 0);
  }
}

bool CMainFrame::OnTrayCommand(UINT command) {
  if (command >= ID_TRAY_EDIT_MENU_FIRST && command <= ID_TRAY_EDIT_MENU_LAST) {
    const char* path = settings_.MenuFiles[command - ID_TRAY_EDIT_MENU_FIRST].path;
    if (path[0] != '\0') OpenInEditor(path);
    return true;
  }
  switch (command) {
    case ID_TRAY_EDIT_SCRATCH:
      OpenInEditor(folder_ + "\\Scratch.txt");
      return true;
    case ID_TRAY_EDIT_FOLDER_HISTORY: {
      std::string file;
      if (AskFileName(hwnd_, false, "Open", kTextFilter, "txt", folder_ + "\\DirHist", "", file)) OpenInEditor(file);
      return true;
    }
    case ID_TRAY_READ_HISTORY: {
      std::string file;
      if (AskFileName(hwnd_, false, "Read History", kHistoryFilter, "hst", folder_, "", file)) {
        history_.ReadHistoryFile(file.c_str());
      }
      return true;
    }
    case ID_TRAY_SAVE_HISTORY: {
      std::string file;
      if (AskFileName(hwnd_, true, "Save History", kHistoryFilter, "hst", folder_, "", file)) {
        history_.WriteHistoryFile(file.c_str());
      }
      return true;
    }
    // The switches are kept at once: a crash must not turn them back.
    case ID_TRAY_SUSPEND:
      settings_.Suspend = !settings_.Suspend;
      g_bSuspend = settings_.Suspend;
      ShowTrayState();
      SaveSettingsNow();
      return true;
    case ID_TRAY_SUSPEND_HISTORY:
      settings_.SuspendHist = !settings_.SuspendHist;
      ShowTrayState();
      SaveSettingsNow();
      return true;
    case ID_TRAY_SUSPEND_DIALOG_EXT:
      ToggleDialogExtension();
      SaveSettingsNow();
      return true;
    case ID_TRAY_HELP:
      OpenGuide(help::kContents);
      return true;
    case ID_TRAY_ABOUT: {
#ifdef _WIN64
      AboutData data{folder_, companion_.notReached()};
#else
      AboutData data{folder_, false};
#endif
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd_, AboutProc,
                      reinterpret_cast<LPARAM>(&data));
      return true;
    }
    case ID_TRAY_EXIT:
      SendMessageA(hwnd_, WM_CLOSE, 0, 0);
      return true;
    default:
      return false;
  }
}

void CMainFrame::ToggleDialogExtension() {
  settings_.SuspendDirHist = !settings_.SuspendDirHist;
  g_bSuspendDirHist = settings_.SuspendDirHist;
  if (settings_.SuspendDirHist) {
    if (g_hCallWndHook != nullptr) UnhookWindowsHookEx(g_hCallWndHook);
    g_hCallWndHook = nullptr;
  } else if (g_hCallWndHook == nullptr && !SetDlgHookProc(hwnd_)) {
    QuilloMessageBox(IDS_INSTALL_HOOK, MB_OK | MB_ICONSTOP);
  }
}

void CMainFrame::OpenInEditor(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    QuilloMessageBox(IDS_OPEN_FILE);
    return;
  }
  std::string commandLine = tray::MakeEditorCommandLine(settings_.Editor, path);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi = {};
  // CreateProcessA may write into the command line: it gets a copy of its own.
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  // An editor that cannot be started is not reported.
}

}  // namespace quillo
