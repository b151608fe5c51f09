#include "folder_menu_win.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "folder_info_win.h"
#include "resource.h"
#include "shared_block.h"

namespace quillo::dlgex {
extern HINSTANCE g_hInstance;

namespace {

constexpr char kStateProp[] = "QuilloDlgEx.Folders";
constexpr size_t kLabelBytes = kFolderBytes + 8;

struct DialogState {
  WNDPROC previous;
  const OPENFILENAMEA* record;  // the application's, checked when the dialog was recognised
  bool notCancelled;
  bool shortcutsChanged;
  bool written;
};

DialogState* StateOf(HWND dlg) { return static_cast<DialogState*>(GetPropA(dlg, kStateProp)); }

// Position of the item of `menu` whose text is `caption` without regard to case, or -1.
int FindItem(HMENU menu, const char* caption) {
  const int count = GetMenuItemCount(menu);
  char text[kLabelBytes];
  for (int i = 0; i < count; ++i) {
    if (GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION) > 0 &&
        lstrcmpiA(text, caption) == 0) {
      return i;
    }
  }
  return -1;
}

HMENU FindSubMenu(HMENU menu, const char* caption) {
  const int pos = menu != nullptr ? FindItem(menu, caption) : -1;
  return pos < 0 ? nullptr : GetSubMenu(menu, pos);
}

// "&1 C:\Data" ... "&0 C:\Tenth": the digit is the access key.
void AppendEntry(HMENU menu, UINT position, UINT id, const char* folder, bool insert) {
  char label[kLabelBytes];
  wsprintfA(label, "&%d ", static_cast<int>((position + 1) % 10));
  lstrcpynA(label + 3, folder, static_cast<int>(sizeof label - 3));
  if (insert) {
    InsertMenuA(menu, position, MF_BYPOSITION | MF_STRING, id, label);
  } else {
    AppendMenuA(menu, MF_STRING, id, label);
  }
}

void BuildMenus(HWND dlg) {
  HMENU system = GetSystemMenu(dlg, FALSE);
  if (system == nullptr) return;
  HMENU history = CreatePopupMenu();
  HMENU shortcuts = CreatePopupMenu();
  if (history == nullptr || shortcuts == nullptr) {
    if (history) DestroyMenu(history);
    if (shortcuts) DestroyMenu(shortcuts);
    return;
  }
  AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(system, MF_POPUP, reinterpret_cast<UINT_PTR>(history), g_szHistoryCaption);
  AppendMenuA(system, MF_POPUP, reinterpret_cast<UINT_PTR>(shortcuts), g_szShortcutCaption);
  static FolderLists lists;  // one dialog opens at a time on a thread; keeps 5 KB off the host's stack
  ReadFolderLists(lists);
  for (UINT i = 0; i < lists.history.count; ++i) {
    AppendEntry(history, i, kCmdHistoryFirst + 16 * i, lists.history.paths[i], false);
  }
  for (UINT i = 0; i < lists.shortcuts.count; ++i) {
    AppendEntry(shortcuts, i, kCmdShortcutFirst + 16 * i, lists.shortcuts.paths[i], false);
  }
  if (lists.shortcuts.count != 0) AppendMenuA(shortcuts, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(shortcuts, MF_STRING, kCmdAddFolder, g_szAddCaption);
}

// Asks the dialog with CDM_GETFILEPATH or CDM_GETFOLDERPATH. A dialog of the
// wide-character kind answers in UTF-16: a zero second byte tells, and the
// answer is turned into the ANSI code page.
bool AskPath(HWND dlg, UINT message, char* out) {
  WCHAR wide[MAX_PATH * 2] = {};  // room for 260 wide characters and more
  char* bytes = reinterpret_cast<char*>(wide);
  if (SendMessageA(dlg, message, MAX_PATH, reinterpret_cast<LPARAM>(wide)) <= 0) return false;
  wide[MAX_PATH * 2 - 1] = 0;
  if (bytes[0] != '\0' && bytes[1] == '\0') {
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(kFolderBytes), nullptr, nullptr) == 0) {
      return false;
    }
  } else {
    lstrcpynA(out, bytes, static_cast<int>(kFolderBytes));
  }
  return out[0] != '\0';
}

// The text an entry shows, without its "&1 " prefix.
bool EntryFolder(HMENU menu, UINT item, UINT flags, char* out) {
  char label[kLabelBytes];
  if (GetMenuStringA(menu, item, label, sizeof label, flags) <= 3) return false;
  lstrcpynA(out, label + 3, static_cast<int>(kFolderBytes));
  return true;
}

// The file-name field: the edit 1152 of older dialogs, or the edit inside the
// combo box 1148 (Wine nests an Edit in a ComboBox in a ComboBoxEx32).
HWND FileNameField(HWND dlg) {
  HWND edit = GetDlgItem(dlg, 1152);
  if (edit != nullptr) return edit;
  HWND combo = GetDlgItem(dlg, 1148);
  if (combo == nullptr) return nullptr;
  for (HWND w = combo; w != nullptr;) {
    HWND child = FindWindowExA(w, nullptr, nullptr, nullptr);
    if (child == nullptr) break;
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0) return child;
    w = child;
  }
  return combo;
}

// Puts the folder into the file-name field and presses OK: the dialog, given
// a folder as file name, changes to it. What the user had typed comes back.
void ChangeToEntry(HWND dlg, UINT id) {
  char folder[kFolderBytes];
  HWND field = FileNameField(dlg);
  HWND ok = GetDlgItem(dlg, IDOK);
  if (!EntryFolder(GetSystemMenu(dlg, FALSE), id, MF_BYCOMMAND, folder) || field == nullptr || ok == nullptr) {
    MessageBeep(MB_OK);
    return;
  }
  char typed[MAX_PATH + 1] = {};
  GetWindowTextA(field, typed, sizeof typed);
  SendMessageA(field, WM_SETREDRAW, FALSE, 0);
  SetWindowTextA(field, folder);
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  // The dialog may have closed on it (a file of that name): then nothing is left to restore.
  if (IsWindow(field)) {
    SetWindowTextA(field, typed);
    SendMessageA(field, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(field, nullptr, TRUE);
  }
}

void AddCurrentFolder(HWND dlg, DialogState& state) {
  char folder[kFolderBytes];
  if (!AskPath(dlg, CDM_GETFOLDERPATH, folder)) return;
  HMENU shortcuts = FindSubMenu(GetSystemMenu(dlg, FALSE), g_szShortcutCaption);
  if (shortcuts == nullptr) return;
  int count = GetMenuItemCount(shortcuts);
  // Ten folders at most: the item is grayed then, but a command can still come.
  if (count >= 12) return;
  const UINT p = count > 2 ? static_cast<UINT>(count - 2) : 0;
  AppendEntry(shortcuts, p, kCmdShortcutFirst + 16 * p, folder, true);
  if (GetMenuItemCount(shortcuts) == 2) InsertMenuA(shortcuts, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  state.shortcutsChanged = true;
}

void UpdateGrayed(HWND dlg) {
  HMENU system = GetSystemMenu(dlg, FALSE);
  if (system == nullptr) return;
  const int historyPos = FindItem(system, g_szHistoryCaption);
  if (historyPos >= 0) {
    HMENU history = GetSubMenu(system, historyPos);
    const bool empty = history == nullptr || GetMenuItemCount(history) <= 0;
    EnableMenuItem(system, static_cast<UINT>(historyPos), MF_BYPOSITION | (empty ? MF_GRAYED : MF_ENABLED));
  }
  HMENU shortcuts = FindSubMenu(system, g_szShortcutCaption);
  if (shortcuts != nullptr) {
    const bool full = GetMenuItemCount(shortcuts) >= 12;
    EnableMenuItem(shortcuts, kCmdAddFolder, MF_BYCOMMAND | (full ? MF_GRAYED : MF_ENABLED));
  }
}

// Collects the folders of a submenu's entries (separators and "Add Current
// Folder" are not entries) into `storage`, at most ten.
size_t CollectFolders(HMENU menu, char (*storage)[kFolderBytes], const char** out) {
  size_t n = 0;
  const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
  for (int i = 0; i < count && n < kMaxFolders; ++i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id == kCmdAddFolder || id == 0 || id == static_cast<UINT>(-1)) continue;
    if (!EntryFolder(menu, static_cast<UINT>(i), MF_BYPOSITION, storage[n])) continue;
    out[n] = storage[n];
    ++n;
  }
  return n;
}

void WriteLists(HWND dlg, const char* newFolder) {
  HMENU system = GetSystemMenu(dlg, FALSE);
  if (system == nullptr) return;
  static char historyText[kMaxFolders][kFolderBytes], shortcutText[kMaxFolders][kFolderBytes];
  const char* history[kMaxFolders];
  const char* shortcuts[kMaxFolders];
  const size_t h = CollectFolders(FindSubMenu(system, g_szHistoryCaption), historyText, history);
  const size_t s = CollectFolders(FindSubMenu(system, g_szShortcutCaption), shortcutText, shortcuts);
  WriteFolderLists(newFolder, history, h, shortcuts, s);
}

// The chosen file as the application will get it: the record's file buffer,
// filled before the dialog is destroyed. Wine's dialog no longer answers
// CDM_GETFILEPATH sensibly at WM_DESTROY (its view is gone: it gives the
// folder shown with a backslash, or the desktop), so the buffer comes first.
// Wide dialogs fill it with UTF-16, told by the zero second byte.
bool ChosenFile(HWND dlg, const OPENFILENAMEA* ofn, char* out) {
  const char* file = ofn->lpstrFile;
  const DWORD max = ofn->nMaxFile;
  if (file != nullptr && max >= 2 && max <= 0x8000 && IsAccessible(file, max, false)) {
    if (file[0] != '\0' && file[1] == '\0' && IsAccessible(file, 2 * static_cast<size_t>(max), false)) {
      WCHAR wide[MAX_PATH + 1] = {};
      lstrcpynW(wide, reinterpret_cast<const WCHAR*>(file), MAX_PATH + 1);
      if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(kFolderBytes), nullptr, nullptr) != 0 &&
          out[0] != '\0') {
        return true;
      }
    } else if (file[0] != '\0') {
      lstrcpynA(out, file, static_cast<int>(kFolderBytes));
      return true;
    }
  }
  return AskPath(dlg, CDM_GETFILEPATH, out);
}

void OnDestroy(HWND dlg, DialogState& state) {
  if (state.notCancelled) {
    char path[kFolderBytes], folder[kFolderBytes];
    if (ChosenFile(dlg, state.record, path)) {
      FolderOfFile(path, folder);
      WriteLists(dlg, folder);
      state.written = true;
    }
  }
  if (!state.written && state.shortcutsChanged) {
    WriteLists(dlg, "");
    state.written = true;
  }
}

LRESULT CALLBACK FolderMenuProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  DialogState* state = StateOf(dlg);
  if (state == nullptr) return DefWindowProcA(dlg, msg, wParam, lParam);  // cannot happen once subclassed
  const WNDPROC previous = state->previous;
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) state->notCancelled = false;
      // Wine posts a choice from a submenu of the system menu as a menu
      // WM_COMMAND (no control, code 0), not as WM_SYSCOMMAND: the folder
      // commands are taken in either form; the dialog never sees them.
      if (lParam == 0 && HIWORD(wParam) == 0) {
        const UINT cmd = LOWORD(wParam);
        if (cmd >= kCmdHistoryFirst && cmd < kCmdAddFolder) {
          ChangeToEntry(dlg, cmd);
          return 0;
        }
        if (cmd == kCmdAddFolder) {
          AddCurrentFolder(dlg, *state);
          return 0;
        }
      }
      break;
    case WM_SYSCOMMAND: {
      const UINT cmd = static_cast<UINT>(wParam) & 0xFFF0u;
      if (cmd >= kCmdHistoryFirst && cmd < kCmdAddFolder) {
        ChangeToEntry(dlg, cmd);
        return 0;
      }
      if (cmd == kCmdAddFolder) AddCurrentFolder(dlg, *state);
      break;
    }
    case WM_INITMENU:
      UpdateGrayed(dlg);
      break;
    case WM_DESTROY: {
      OnDestroy(dlg, *state);
      // The window is going: the previous procedure is not put back, the state goes.
      RemovePropA(dlg, kStateProp);
      HeapFree(GetProcessHeap(), 0, state);
      return CallWindowProcA(previous, dlg, msg, wParam, lParam);
    }
    default:
      break;
  }
  return CallWindowProcA(previous, dlg, msg, wParam, lParam);
}

}  // namespace

bool ExtendDialog(HWND dialog, const void* record) noexcept {
  if (StateOf(dialog) != nullptr) return true;  // already extended
  auto* state = static_cast<DialogState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DialogState)));
  if (state == nullptr) return false;
  state->record = static_cast<const OPENFILENAMEA*>(record);
  state->notCancelled = true;
  if (!SetPropA(dialog, kStateProp, state)) {
    HeapFree(GetProcessHeap(), 0, state);
    return false;
  }
  state->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FolderMenuProc)));
  if (state->previous == nullptr) {
    RemovePropA(dialog, kStateProp);
    HeapFree(GetProcessHeap(), 0, state);
    return false;
  }
  // Built here, in the hook, rather than when the dialog's WM_INITDIALOG
  // reaches the new procedure: that does not depend on whether the system
  // picked the window procedure before or after calling the hooks.
  // Shared: one icon for every dialog of the process, never to be destroyed.
  HICON icon = static_cast<HICON>(
      LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDI_FOLDER_MENU), IMAGE_ICON, 16, 16, LR_SHARED));
  if (icon != nullptr) SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  BuildMenus(dialog);
  return true;
}

}  // namespace quillo::dlgex
