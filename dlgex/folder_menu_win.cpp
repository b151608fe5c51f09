#include "folder_menu_win.h"

#include <windows.h>
#include <commdlg.h>
#include <commctrl.h>

#include <cstring>
#include <new>

#include "folder_entry.h"
#include "folder_info_win.h"
#include "handles_win.h"
#include "message_box_win.h"
#include "resource.h"
#include "shared_block.h"

// The library's own handle, for the entry below, which hands it to FreeLibrary.
extern "C" {
HMODULE QuilloDlgExModule = nullptr;
}

// The window procedure of an extended dialog. It calls the dispatch below and,
// when that says the dialog's last message has been handled, drops the
// library's reference on itself by jumping to FreeLibrary with the procedure's
// own return address in place: FreeLibrary then returns straight to whoever
// called the procedure. A plain call would return into this library after the
// last FreeLibrary had unmapped it (Windows unloads a hook library at a
// process's next message once the hook is gone), and C++ gives no way to be
// sure that a call is made as a jump, so the entry is written out by hand.
// FreeLibraryAndExitThread does the same for a thread of ours; this is the
// dialog's thread, which must go on. The jump is taken once per dialog, after
// the outermost call of the procedure for it: after WM_NCDESTROY, or, for a
// dialog destroyed from inside one of its own messages, after that message.
// Its caller then gets FreeLibrary's BOOL as the message's result instead of
// the dialog's: WM_NCDESTROY's result is ignored, and the window is gone by
// the time the outer message returns, so nothing reads that result for the
// dialog any more.
extern "C" LRESULT CALLBACK QuilloFolderMenuEntry(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
extern "C" LRESULT QuilloFolderMenuDispatch(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam,
                                            int* release) noexcept;

#if defined(__i386__)
// stdcall with four arguments: the dispatch is called with a fifth, the
// address of a flag on this stack; to release, the return address and the
// module take the places of the last two arguments, so that FreeLibrary's own
// "ret 4" leaves the stack as the procedure's "ret 16" would have.
asm(R"(
    .text
    .globl _QuilloFolderMenuEntry@16
    .def _QuilloFolderMenuEntry@16; .scl 2; .type 32; .endef
_QuilloFolderMenuEntry@16:
    pushl $0
    movl %esp, %eax
    pushl %eax
    pushl 24(%esp)
    pushl 24(%esp)
    pushl 24(%esp)
    pushl 24(%esp)
    call _QuilloFolderMenuDispatch
    addl $20, %esp
    popl %ecx
    testl %ecx, %ecx
    jnz 1f
    ret $16
1:
    movl (%esp), %ecx
    movl %ecx, 12(%esp)
    movl _QuilloDlgExModule, %ecx
    movl %ecx, 16(%esp)
    addl $12, %esp
    jmp *__imp__FreeLibrary@4
)");
#elif defined(__x86_64__)
// The four arguments stay in their registers; the flag and the fifth argument
// lie in this frame. To release, the frame is gone before the jump, so the
// return address on top is the caller's. Each exit is "add rsp" followed at
// once by "ret" or by an indirect "jmp": the only epilogue forms the
// system's unwinder recognises, which it must when it walks a stack stopped
// there (an exception on another frame, a profiler, a debugger).
asm(R"(
    .text
    .globl QuilloFolderMenuEntry
    .def QuilloFolderMenuEntry; .scl 2; .type 32; .endef
    .seh_proc QuilloFolderMenuEntry
QuilloFolderMenuEntry:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    movl $0, 40(%rsp)
    leaq 40(%rsp), %rax
    movq %rax, 32(%rsp)
    call QuilloFolderMenuDispatch
    movl 40(%rsp), %ecx
    testl %ecx, %ecx
    jnz 1f
    addq $56, %rsp
    ret
1:
    movq QuilloDlgExModule(%rip), %rcx
    addq $56, %rsp
    jmp *__imp_FreeLibrary(%rip)
    .seh_endproc
)");
#else
#error "the extended dialog's entry is written for x86 and x86-64 only"
#endif

namespace quillo::dlgex {
extern HINSTANCE g_hInstance;

namespace {

constexpr char kStateProp[] = "QuilloDlgEx.Folders";

struct DialogState {
  WNDPROC previous;
  const OPENFILENAMEA* record;  // the application's, checked when the dialog was recognised
  bool unicode;  // the dialog was a wide window: kept so, and its procedure called so
  bool notCancelled;
  bool shortcutsChanged;
  bool written;
  bool destroyed;  // WM_NCDESTROY was passed on: the state and the reference go
  int depth;       // calls of our procedure for this dialog now running on the stack
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
  FormatEntryLabel(position, folder, label);
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
  // On the heap, one per call: 5 KB is much for the host's stack, and two
  // dialogs may open at once on two threads of one program.
  HeapBuffer buffer(sizeof(FolderLists));
  auto* lists = buffer ? new (buffer.get()) FolderLists : nullptr;
  if (lists != nullptr) {
    ReadFolderLists(*lists);
    for (UINT i = 0; i < lists->history.count; ++i) {
      AppendEntry(history, i, kCmdHistoryFirst + 16 * i, lists->history.paths[i], false);
    }
    for (UINT i = 0; i < lists->shortcuts.count; ++i) {
      AppendEntry(shortcuts, i, kCmdShortcutFirst + 16 * i, lists->shortcuts.paths[i], false);
    }
    if (lists->shortcuts.count != 0) AppendMenuA(shortcuts, MF_SEPARATOR, 0, nullptr);
  }
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

// The folder an entry stands for: its text without the "&1 " prefix and with
// the doubled "&" single again.
bool EntryFolder(HMENU menu, UINT item, UINT flags, char* out) {
  char label[kLabelBytes];
  if (GetMenuStringA(menu, item, label, sizeof label, flags) <= 3) return false;
  return FolderOfEntryLabel(label, out);
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

// Only a fully qualified folder is checked and typed: a relative one would be
// checked against this process's current folder and taken by the dialog
// against the folder it shows, and a Save would write a file of its name.
bool IsFolder(const char* path) {
  if (!IsFullyQualifiedFolder(path)) return false;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Takes the selection from the dialog's file list. Given OK, the dialog first
// changes into a folder selected there and ignores the field, so the jump
// would land in that folder instead of the one the user chose.
void ClearListSelection(HWND dlg) {
  HWND view = FindWindowExA(dlg, nullptr, "SHELLDLL_DefView", nullptr);
  HWND list = view != nullptr ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
  if (list == nullptr) return;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

// Puts the folder into the file-name field and presses OK: the dialog, given
// a folder as file name, changes to it. What the user had typed comes back.
// A folder that is gone is never typed: a Save dialog would take its name for
// the file's and save the document under it.
void ChangeToEntry(HWND dlg, UINT id) {
  char folder[kFolderBytes];
  HWND field = FileNameField(dlg);
  HWND ok = GetDlgItem(dlg, IDOK);
  if (!EntryFolder(GetSystemMenu(dlg, FALSE), id, MF_BYCOMMAND, folder) || field == nullptr || ok == nullptr) {
    MessageBeep(MB_OK);
    return;
  }
  if (!IsFolder(folder)) {
    ShowQuilloMessage(g_hInstance, IDS_FOLDER_MISSING, MB_OK | MB_ICONEXCLAMATION, folder);
    return;
  }
  ClearListSelection(dlg);
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
  // One buffer per call: two dialogs may close at once on two threads.
  using Texts = char[kMaxFolders][kFolderBytes];
  HeapBuffer buffer(2 * sizeof(Texts));
  if (!buffer) return;
  Texts* texts = buffer.get<Texts>();
  const char* history[kMaxFolders];
  const char* shortcuts[kMaxFolders];
  const size_t h = CollectFolders(FindSubMenu(system, g_szHistoryCaption), texts[0], history);
  const size_t s = CollectFolders(FindSubMenu(system, g_szShortcutCaption), texts[1], shortcuts);
  WriteFolderLists(newFolder, history, h, shortcuts, s);
}

// True when the dialog ended because the application's buffer could not take
// the answer: the first two bytes of the buffer then hold the size it would
// have needed, not a path. The dialog says so through CommDlgExtendedError,
// which it clears when it starts; the library that made the dialog is loaded.
bool BufferWasTooSmall() {
  HMODULE comdlg = GetModuleHandleA("comdlg32.dll");
  if (comdlg == nullptr) return false;
  using ErrorFn = DWORD(WINAPI*)();
  const auto error = reinterpret_cast<ErrorFn>(reinterpret_cast<void*>(GetProcAddress(comdlg, "CommDlgExtendedError")));
  return error != nullptr && error() == FNERR_BUFFERTOOSMALL;
}

// The folder of what the dialog answered, up to where the dialog says the
// first name begins: one file, several after their folder and a NUL, or, in
// an older dialog, several after their folder and a space.
template <typename Ch>
bool AnsweredFolder(const Ch* file, size_t max, size_t offset, char* folder) {
  const size_t length = AnswerFolderLength(file, max, offset);
  if (length == 0 || length >= kFolderBytes) return false;
  if constexpr (sizeof(Ch) == 1) {
    std::memcpy(folder, file, length);
    folder[length] = '\0';
  } else {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(file), static_cast<int>(length),
                                          folder, static_cast<int>(kFolderBytes - 1), nullptr, nullptr);
    if (bytes <= 0) return false;
    folder[bytes] = '\0';
  }
  return true;
}

// The folder of the choice as the application will get it: the record's file
// buffer, filled before the dialog is destroyed. Wine's dialog no longer
// answers CDM_GETFILEPATH sensibly at WM_DESTROY (its view is gone: it gives
// the folder shown with a backslash, or the desktop), so the buffer comes
// first. A wide caller's buffer holds UTF-16, told by the zero second byte
// (a path's second character is never NUL); the window's own kind does not
// tell, as a system may show an ANSI caller's dialog as a wide window.
bool ChosenFolder(HWND dlg, const OPENFILENAMEA* ofn, char* folder) {
  if (BufferWasTooSmall()) return false;
  const char* file = ofn->lpstrFile;
  const DWORD max = ofn->nMaxFile;
  const size_t offset = ofn->nFileOffset;
  if (file != nullptr && max >= 2 && max <= 0x8000 && IsAccessible(file, max, false)) {
    if (file[0] != '\0' && file[1] == '\0' && IsAccessible(file, 2 * static_cast<size_t>(max), false)) {
      return AnsweredFolder(reinterpret_cast<const WCHAR*>(file), max, offset, folder);
    }
    if (file[0] != '\0') return AnsweredFolder(file, max, offset, folder);
  }
  char path[kFolderBytes];
  if (!AskPath(dlg, CDM_GETFILEPATH, path)) return false;
  FolderOfFile(path, folder);
  return folder[0] != '\0';
}

void OnDestroy(HWND dlg, DialogState& state) {
  if (state.notCancelled) {
    char folder[kFolderBytes];
    if (ChosenFolder(dlg, state.record, folder)) {
      WriteLists(dlg, folder);
      state.written = true;
    }
  }
  if (!state.written && state.shortcutsChanged) {
    WriteLists(dlg, "");
    state.written = true;
  }
}

// A command of our menus: an entry or "Add Current Folder" that is in them
// now. Other ids of that range are the dialog's own (Wine's tool bar uses
// 0xA001 to 0xA005) and go on to it.
bool IsOurCommand(HWND dlg, UINT cmd) {
  if (cmd < kCmdHistoryFirst || cmd > kCmdAddFolder || (cmd & 0xFu) != 0) return false;
  HMENU system = GetSystemMenu(dlg, FALSE);
  const char* const captions[] = {g_szHistoryCaption, g_szShortcutCaption};
  for (const char* caption : captions) {
    HMENU sub = FindSubMenu(system, caption);
    if (sub != nullptr && GetMenuState(sub, cmd, MF_BYCOMMAND) != static_cast<UINT>(-1)) return true;
  }
  return false;
}

LRESULT CallPrevious(const DialogState& state, HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  return state.unicode ? CallWindowProcW(state.previous, dlg, msg, wParam, lParam)
                       : CallWindowProcA(state.previous, dlg, msg, wParam, lParam);
}

LRESULT HandleMessage(HWND dlg, DialogState& state, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) state.notCancelled = false;
      // Wine posts a choice from a submenu of the system menu as a menu
      // WM_COMMAND (no control, code 0), not as WM_SYSCOMMAND: the folder
      // commands are taken in either form; the dialog never sees them.
      if (lParam == 0 && HIWORD(wParam) == 0 && IsOurCommand(dlg, LOWORD(wParam))) {
        const UINT cmd = LOWORD(wParam);
        if (cmd == kCmdAddFolder) {
          AddCurrentFolder(dlg, state);
        } else {
          ChangeToEntry(dlg, cmd);
        }
        return 0;
      }
      break;
    case WM_SYSCOMMAND: {
      // The system keeps the low four bits of a command for itself; ours are multiples of 16.
      const UINT cmd = static_cast<UINT>(wParam) & 0xFFF0u;
      if (!IsOurCommand(dlg, cmd)) break;
      if (cmd == kCmdAddFolder) {
        AddCurrentFolder(dlg, state);
        break;
      }
      ChangeToEntry(dlg, cmd);
      return 0;
    }
    case WM_INITMENU:
      UpdateGrayed(dlg);
      break;
    case WM_DESTROY:
      OnDestroy(dlg, state);
      break;
    case WM_NCDESTROY: {
      // The last message: whatever subclassed the dialog before us frees its
      // own things here, so it is passed on like every other. Our procedure
      // is taken out first where it is still the one in place. The state
      // stays findable until the message has been passed on: a message the
      // dialog sends itself meanwhile, through a subclass above ours, must
      // still reach the procedures under ours.
      const auto ours = reinterpret_cast<LONG_PTR>(QuilloFolderMenuEntry);
      const auto previous = reinterpret_cast<LONG_PTR>(state.previous);
      if (state.unicode) {
        if (GetWindowLongPtrW(dlg, GWLP_WNDPROC) == ours) SetWindowLongPtrW(dlg, GWLP_WNDPROC, previous);
      } else if (GetWindowLongPtrA(dlg, GWLP_WNDPROC) == ours) {
        SetWindowLongPtrA(dlg, GWLP_WNDPROC, previous);
      }
      const LRESULT result = CallPrevious(state, dlg, msg, wParam, lParam);
      RemovePropA(dlg, kStateProp);
      state.destroyed = true;
      return result;
    }
    default:
      break;
  }
  return CallPrevious(state, dlg, msg, wParam, lParam);
}

}  // namespace
}  // namespace quillo::dlgex

// Called by QuilloFolderMenuEntry for every message of an extended dialog.
// `release` is set once the dialog's state is gone and the library's
// reference is to be dropped: after WM_NCDESTROY, and only when no call of
// this procedure for the dialog is still running further up the stack (a
// dialog destroyed from inside one of its own messages), since that call
// returns into this library.
extern "C" __attribute__((used)) LRESULT QuilloFolderMenuDispatch(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam,
                                                                   int* release) noexcept {
  using namespace quillo::dlgex;
  DialogState* state = StateOf(dlg);
  if (state == nullptr) {  // cannot happen while subclassed: the state goes with the last message
    return IsWindowUnicode(dlg) ? DefWindowProcW(dlg, msg, wParam, lParam) : DefWindowProcA(dlg, msg, wParam, lParam);
  }
  ++state->depth;
  const LRESULT result = HandleMessage(dlg, *state, msg, wParam, lParam);
  if (--state->depth == 0 && state->destroyed) {
    HeapFree(GetProcessHeap(), 0, state);
    *release = 1;
  }
  return result;
}

namespace quillo::dlgex {

bool ExtendDialog(HWND dialog, const void* record) noexcept {
  if (StateOf(dialog) != nullptr) return true;  // already extended
  // The dialog will call into this library until its last message, whatever
  // Quillo does meanwhile (Exit or suspend remove the hook, and Windows then
  // unloads the library from the process): it holds a reference of its own,
  // dropped by QuilloFolderMenuEntry after WM_NCDESTROY.
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(QuilloFolderMenuEntry)), &self)) {
    return false;
  }
  QuilloDlgExModule = self;
  // Dropping the reference here cannot unload us: the hook that runs this holds the library too.
  auto giveUp = [&](DialogState* state) {
    if (state != nullptr) HeapFree(GetProcessHeap(), 0, state);
    FreeLibrary(self);
    return false;
  };
  auto* state = static_cast<DialogState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DialogState)));
  if (state == nullptr) return giveUp(nullptr);
  state->record = static_cast<const OPENFILENAMEA*>(record);
  state->notCancelled = true;
  // The A and W setters make the window an ANSI or a wide one: a wide dialog
  // stays wide, or its texts would pass through the ANSI code page.
  state->unicode = IsWindowUnicode(dialog) != FALSE;
  if (!SetPropA(dialog, kStateProp, state)) return giveUp(state);
  const auto entry = reinterpret_cast<LONG_PTR>(QuilloFolderMenuEntry);
  state->previous = reinterpret_cast<WNDPROC>(state->unicode ? SetWindowLongPtrW(dialog, GWLP_WNDPROC, entry)
                                                             : SetWindowLongPtrA(dialog, GWLP_WNDPROC, entry));
  if (state->previous == nullptr) {
    RemovePropA(dialog, kStateProp);
    return giveUp(state);
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
