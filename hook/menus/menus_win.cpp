// The pop-up menus: assembly, position, tracking and the chosen command.
#include "menus_win.h"

#include "key_names_win.h"

#include <imm.h>

#include <cstdio>
#include <cstring>

#include "custom_menu_win.h"
#include "delivery_win.h"
#include "dialog_support_win.h"
#include "list_menu_win.h"
#include "message_box_win.h"
#include "module_folder_win.h"
#include "process_state.h"
#include "quillo_messages.h"
#include "resource.h"
#include "scratch_dialog_res.h"
#include "byte_scan.h"
#include "stack_caption.h"

namespace quillo::hook {

namespace {

constexpr char kHistoryMapping[] = "QuilloPageMapObject";
constexpr DWORD kHandOverWaitMs = 300;
constexpr UINT kSimpleBeep = 0xFFFFFFFFu;  // MessageBeep(-1)
constexpr int kScratchHelpTopic = help::kScratchFile;
constexpr char kScratchFileName[] = "Scratch.txt";
constexpr char kScratchSeparator[] =
    "\r\n------------------------------------------------------------\r\n";
// Custom-menu ids from here up are list menus, answered by the list dialog.
constexpr UINT kListMenuFirst = 5000;

void Warn(UINT id, const char* arg = nullptr) noexcept {
  ShowQuilloMessage(State().instance, id, MB_OK | MB_ICONEXCLAMATION, arg);
}

// Posting to a null window would put the message into this thread's own
// queue, where the application in front would receive it.
void PostToResident(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  HWND resident = ResidentWindow();
  if (resident != nullptr) PostMessageA(resident, message, wParam, lParam);
}

// `blockSize` is the one the view was checked with (HistoryView), not a
// fresh read of the shared value.
StackCaptionSettings CaptionSettings(size_t blockSize) noexcept {
  StackCaptionSettings s;
  s.charNum = g_nCharNum;
  s.skipTopSpace = g_bSkipTopSpace != FALSE;
  s.blockSize = static_cast<uint32_t>(blockSize);
  return s;
}

// One menu of this library at a time in a process. A menu, or a dialog of a
// chosen command, pumps messages; the resident window's request to show a
// menu (1038) or a trigger can arrive meanwhile, and a second menu would free
// the parsed menu or the store the first one still works on.
class MenuShowScope {
 public:
  // A refused menu beeps, as every other menu that cannot open does.
  MenuShowScope() noexcept : entered_(InterlockedCompareExchange(&State().showingMenu, 1, 0) == 0) {
    if (!entered_) MessageBeep(kSimpleBeep);
  }
  ~MenuShowScope() {
    if (entered_) InterlockedExchange(&State().showingMenu, 0);
  }
  MenuShowScope(const MenuShowScope&) = delete;
  MenuShowScope& operator=(const MenuShowScope&) = delete;
  bool entered() const { return entered_; }

 private:
  bool entered_;
};

// Lets this thread's windows go on working for `ms` without ever blocking for
// longer. A WM_QUIT taken out of the queue here is put back, so that the
// application's own loop still ends.
void PumpMessagesFor(DWORD ms) noexcept {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

// Decides whether this thread can show menu `kind` itself. When the window in
// front is minimised or has no focus window on this thread, a menu would have
// nowhere to go: the resident window is brought forward and asked to show it.
bool CheckMenuHost(int kind, int n) noexcept {
  HWND front = GetForegroundWindow();
  HWND focus = GetFocus();
  if (front != nullptr && front == g_hwndQuillo) return true;
  if (front == nullptr) {
    MessageBeep(kSimpleBeep);
    return false;
  }
  if (!IsIconic(front) && focus != nullptr) return true;

  HWND resident = ResidentWindow();
  if (resident == nullptr) {
    MessageBeep(kSimpleBeep);
    return false;
  }
  SetForegroundWindow(resident);
  // The switch of the foreground reaches this thread as messages (activation,
  // focus loss); they are handled before the resident program takes over.
  PumpMessagesFor(kHandOverWaitMs);
  PostMessageA(resident, kMsgShowMenu, static_cast<WPARAM>(kind),
               static_cast<LPARAM>(kind == kMenuCustom ? n : -1));
  return false;
}

bool EndsWithDoubleByte(const char* text, size_t len) noexcept {
  bool last = false;
  for (size_t i = 0; i < len;) {
    if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < len) {
      last = true;
      i += 2;
    } else {
      last = false;
      i += 1;
    }
  }
  return last;
}

// ---- "Save to Scratch File" ----

// Private copies of the entries the scratch dialog lists: the store may change
// while the dialog is open, and what is written must be what was listed.
class ScratchEntries {
 public:
  ScratchEntries() = default;
  ~ScratchEntries() {
    for (int i = 0; i < count_; ++i) HeapFree(heap_, 0, texts_[i]);
  }
  ScratchEntries(const ScratchEntries&) = delete;
  ScratchEntries& operator=(const ScratchEntries&) = delete;

  // Copies the first `count` slots of `view`; false (message 2001 shown) when
  // memory runs out.
  bool Take(const char* view, size_t blockSize, int count) noexcept {
    heap_ = Heap();
    if (heap_ == nullptr) return false;  // reported once by Heap()
    if (count > kScratchTableSize) count = kScratchTableSize;
    for (int i = 0; i < count; ++i) {
      const size_t length = SlotTextLength(view, blockSize, i);
      char* copy = static_cast<char*>(HeapAlloc(heap_, 0, length + 1));
      if (copy == nullptr) {
        Warn(IDS_NO_MEMORY);
        return false;
      }
      std::memcpy(copy, view + static_cast<size_t>(i) * blockSize, length);
      copy[length] = '\0';
      texts_[i] = copy;
      lengths_[i] = length;
      count_ = i + 1;
    }
    return true;
  }
  int count() const { return count_; }
  const char* text(int i) const { return texts_[i]; }
  size_t length(int i) const { return lengths_[i]; }

 private:
  HANDLE heap_ = nullptr;
  char* texts_[kScratchTableSize] = {};
  size_t lengths_[kScratchTableSize] = {};
  int count_ = 0;
};

struct ScratchDialogData {
  const ScratchEntries* entries;
  int count;
  int* table;  // State().scratchSelection
};

// Fills the selection table from the dialog's choice. False when the choice
// is not usable; the user has been told why and the dialog stays open.
bool FillScratchSelection(HWND dialog, const ScratchDialogData& data) {
  int* table = data.table;
  for (int i = 0; i < kScratchTableSize; ++i) table[i] = -1;

  HWND list = GetDlgItem(dialog, IDC_SCRATCH_ITEMS);
  const LRESULT selCount = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  int selected[kScratchTableSize];
  int nSelected = 0;
  if (selCount > 0) {
    const LRESULT got = SendMessageA(list, LB_GETSELITEMS, kScratchTableSize, reinterpret_cast<LPARAM>(selected));
    if (got > 0) nSelected = static_cast<int>(got);
  }

  const bool all = IsDlgButtonChecked(dialog, IDC_SCRATCH_ALL) == BST_CHECKED;
  const bool some = IsDlgButtonChecked(dialog, IDC_SCRATCH_SELECTED) == BST_CHECKED;
  const bool upTo = IsDlgButtonChecked(dialog, IDC_SCRATCH_TOP_TO_SELECTED) == BST_CHECKED;
  const bool from = IsDlgButtonChecked(dialog, IDC_SCRATCH_SELECTED_TO_LAST) == BST_CHECKED;
  if (!all && !some && !upTo && !from) {
    Warn(IDS_SELECT_OPTION);
    return false;
  }
  if ((upTo || from) && nSelected > 1) {
    Warn(IDS_SELECT_ONE_ITEM);
    return false;
  }
  if (!all && nSelected == 0) {
    Warn(IDS_SELECT_ITEM);
    return false;
  }

  int n = 0;
  if (all) {
    for (int i = 0; i < data.count; ++i) table[n++] = i;
  } else if (some) {
    // LB_GETSELITEMS answers in ascending order.
    for (int i = 0; i < nSelected; ++i) {
      if (selected[i] >= 0 && selected[i] < data.count) table[n++] = selected[i];
    }
  } else if (upTo) {
    for (int i = 0; i <= selected[0] && i < data.count; ++i) table[n++] = i;
  } else {
    for (int i = selected[0]; i >= 0 && i < data.count; ++i) table[n++] = i;
  }
  return true;
}

INT_PTR CALLBACK ScratchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      CentreDialog(dialog);
      const auto* data = reinterpret_cast<const ScratchDialogData*>(lParam);
      CheckRadioButton(dialog, IDC_SCRATCH_ALL, IDC_SCRATCH_SELECTED_TO_LAST, IDC_SCRATCH_ALL);
      HWND list = GetDlgItem(dialog, IDC_SCRATCH_ITEMS);
      const StackCaptionSettings settings = CaptionSettings(0);
      for (int i = 0; i < data->count; ++i) {
        char caption[kStackCaptionBytes];
        GetStackItem(caption, sizeof caption, data->entries->text(i), i, false, true, settings);
        const LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption));
        if (row == LB_ERR || row == LB_ERRSPACE) break;
      }
      SendMessageA(list, LB_SETSEL, TRUE, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      const auto* data = reinterpret_cast<const ScratchDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
      switch (LOWORD(wParam)) {
        case IDC_SCRATCH_NEW:
        case IDC_SCRATCH_ADD:
          if (data != nullptr && FillScratchSelection(dialog, *data)) EndDialog(dialog, LOWORD(wParam));
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case IDHELP:
          OpenHelp(kScratchHelpTopic);
          return TRUE;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
  return FALSE;
}

void WriteBytes(HANDLE file, const char* bytes, size_t len) noexcept {
  DWORD written = 0;
  if (len > 0) WriteFile(file, bytes, static_cast<DWORD>(len), &written, nullptr);
}

void RunScratchDialog(const ScratchEntries& entries) noexcept;

}  // namespace

// ---- History store ----

bool HistoryView::Open() noexcept {
  Close();
  const DWORD blockSize = g_dwBlockSize;  // read once: see blockSize()
  if (blockSize == 0) return false;
  mapping_.reset(OpenFileMappingA(FILE_MAP_WRITE, FALSE, kHistoryMapping));
  if (!mapping_) return false;
  view_ = static_cast<char*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
  if (view_ == nullptr) {
    mapping_.reset();
    return false;
  }
  // The count comes from the shared block and the store from the mapping;
  // never trust the one to fit the other.
  MEMORY_BASIC_INFORMATION info = {};
  size_t bytes = 0;
  if (VirtualQuery(view_, &info, sizeof info) == sizeof info) bytes = info.RegionSize;
  const size_t slots = bytes / blockSize;
  slots_ = static_cast<int>(slots < static_cast<size_t>(kMaxStackEntries) ? slots : kMaxStackEntries);
  blockSize_ = blockSize;
  return true;
}

int HistoryView::Count() const noexcept {
  const int count = g_nNumClipHistory;
  if (count <= 0) return 0;
  return count < slots_ ? count : slots_;
}

void HistoryView::Close() noexcept {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  view_ = nullptr;
  slots_ = 0;
  blockSize_ = 0;
  mapping_.reset();
}

void StackMenu::DestroyOwnedMenu() noexcept {
  if (menu != nullptr) DestroyMenu(menu);
  menu = nullptr;
}

HMENU StackMenu::ReleaseMenu() noexcept {
  HMENU m = menu;
  menu = nullptr;
  return m;
}

// ---- Stack menu ----

bool BuildStackMenu(bool reportEmpty, StackMenu& out) noexcept {
  out.DestroyOwnedMenu();
  out.count = 0;
  const int count = g_nNumClipHistory;  // read once: the resident program may add meanwhile
  if (count <= 0) {
    if (reportEmpty) Warn(IDS_NO_HISTORY);
    return false;
  }
  // Open for the building only: a menu left open must not keep the store
  // from being replaced (a resize makes a new one under the same name).
  HistoryView history;
  if (!history.Open()) return false;
  HMENU top = CreatePopupMenu();
  if (top == nullptr) return false;
  out.menu = top;
  out.count = count < history.slots() ? count : history.slots();

  const size_t blockSize = history.blockSize();
  const StackCaptionSettings settings = CaptionSettings(blockSize);
  // The resident program may shift every slot at any moment: each slot is
  // read once, and what the menu shows and what it remembers of the entry
  // both come from that one copy.
  HANDLE heap = Heap();
  char* copy = heap != nullptr ? static_cast<char*>(HeapAlloc(heap, 0, blockSize + 1)) : nullptr;
  if (copy == nullptr) {
    out.DestroyOwnedMenu();
    out.count = 0;
    return false;
  }
  struct CopyRelease {
    HANDLE heap;
    char* copy;
    ~CopyRelease() { HeapFree(heap, 0, copy); }
  } copyRelease{heap, copy};
  HMENU target = top;
  int subMenus = 0;
  for (int i = 0; i < out.count; ++i) {
    // Up to the entry's end only: a short entry costs a few bytes, not its slot.
    const size_t length = text::CopyUntilNul(copy, history.view() + static_cast<size_t>(i) * blockSize, blockSize);
    char caption[kStackCaptionBytes];
    GetStackItemOfText(caption, sizeof caption, copy, length, i, true, settings);
    out.marks[i] = MarkEntry(copy, length);
    if (i >= 10 && (i - 10) % 20 == 0) {
      HMENU sub = CreatePopupMenu();
      if (sub == nullptr) {
        out.count = i;  // what is built stays; the entries beyond it cannot be chosen
        break;
      }
      if (i == 10) AppendMenuA(top, MF_SEPARATOR, 0, nullptr);
      char title[48];
      const int last = (i == 90) ? i + 10 : i + 20;
      // wsprintfA: the system's formatter keeps printf's machinery out of the library.
      wsprintfA(title, "%d - %d items(&%c)", i + 1, last, 'V' + subMenus);
      if (!AppendMenuA(top, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), title)) {
        DestroyMenu(sub);
        out.count = i;
        break;
      }
      ++subMenus;
      target = sub;
    }
    AppendMenuA(target, MF_STRING, kStackEntryFirst + static_cast<UINT>(i), caption);
  }

  AppendMenuA(top, MF_SEPARATOR, 0, nullptr);
  char clear[64] = "Clear History\t";
  const size_t used = strlen(clear);
  const size_t keyLen = strnlen(g_szKeyClearHist, sizeof g_szKeyClearHist);
  if (keyLen > 0 && used + keyLen < sizeof clear) {
    std::memcpy(clear + used, g_szKeyClearHist, keyLen);
    clear[used + keyLen] = '\0';
  }
  AppendMenuA(top, MF_STRING, kStackClearHistory, clear);
  AppendMenuA(top, MF_STRING, kStackEditHistory, "Edit History...");
  AppendMenuA(top, MF_STRING, kStackSaveScratch, "Save to Scratch File...");
  return true;
}

namespace {

// Pastes the entry that menu position `shown` showed, found again in the store
// as it is now; nothing (a beep) when the store no longer holds that text.
void PasteShownEntry(int shown, const EntryMark& mark) noexcept {
  HistoryView history;
  if (!history.Open()) return;
  char* view = history.view();
  const size_t blockSize = history.blockSize();
  const int count = history.Count();
  const int index = FindMarkedEntry(view, blockSize, count, shown, mark);
  if (index < 0) {
    MessageBeep(kSimpleBeep);
    return;
  }
  HANDLE heap = Heap();
  if (heap == nullptr) return;  // reported once by Heap()
  // One buffer: first the private copy of the text, then the move's scratch.
  char* buffer = static_cast<char*>(HeapAlloc(heap, 0, blockSize + 1));
  if (buffer == nullptr) {
    Warn(IDS_NO_MEMORY);
    return;
  }
  const size_t length = SlotTextLength(view, blockSize, index);
  std::memcpy(buffer, view + static_cast<size_t>(index) * blockSize, length);
  buffer[length] = '\0';
  // The resident program may have been shifting the entries while the copy
  // was made: only the very text that was shown is pasted.
  if (!SameEntry(MarkEntry(buffer, length), mark)) {
    HeapFree(heap, 0, buffer);
    MessageBeep(kSimpleBeep);
    return;
  }
  if (SetStackTextToClip(buffer, length)) {
    PasteText();
  } else {
    Warn(IDS_COPY_TEXT);
  }
  // Pasted or not, the user picked this entry: it moves up all the same,
  // from wherever copies made while the clipboard was busy have pushed it.
  if (g_bMoveStackTop) {
    const int now = history.Count();
    const int at = FindMarkedEntry(view, blockSize, now, index, mark);
    if (at > 0) MoveItemToTop(view, blockSize, now, at, buffer);
  }
  HeapFree(heap, 0, buffer);
}

void SaveScratchFromStore() noexcept {
  ScratchEntries entries;
  {
    HistoryView history;
    if (!history.Open()) return;
    if (!entries.Take(history.view(), history.blockSize(), history.Count())) return;
  }
  // The dialog may stay open for long; the store is closed by now.
  RunScratchDialog(entries);
}

}  // namespace

void DoStackCommand(UINT id, const StackMenu& stack) noexcept {
  if (id >= kStackEntryFirst && id < kStackEntryFirst + static_cast<UINT>(stack.count)) {
    const int shown = static_cast<int>(id - kStackEntryFirst);
    PasteShownEntry(shown, stack.marks[shown]);
  } else if (id == kStackClearHistory) {
    PostToResident(WM_COMMAND, kCmdClearHistory, 0);
  } else if (id == kStackEditHistory) {
    PostToResident(WM_COMMAND, kCmdEditHistory, 0);
  } else if (id == kStackSaveScratch) {
    SaveScratchFromStore();
  }
}

void ShowStackMenu(bool atMouse) noexcept {
  MenuShowScope scope;
  if (!scope.entered()) return;
  if (!CheckMenuHost(kMenuStack, -1)) return;
  StackMenu stack;
  if (!BuildStackMenu(true, stack)) return;
  const UINT id = TrackMenu(stack.menu, atMouse);
  stack.DestroyOwnedMenu();
  DoStackCommand(id, stack);
}

// ---- Custom menu ----

void DoCustomCommand(UINT id) noexcept {
  if (id == 0) return;
  if (id >= kListMenuFirst) {
    id = ChooseFromListMenu(id);
    if (id == 0) return;
  }
  const int result = SetItemToClip(static_cast<int>(id));
  if (result > 0) {
    PasteText();
  } else if (result == 0) {
    Warn(IDS_COPY_TEXT);
  }
}

void ShowCustomMenu(int entry, bool atMouse) noexcept {
  if (entry < 0 || entry >= kMenuFileSetCount) return;
  MenuShowScope scope;
  if (!scope.entered()) return;
  if (!CheckMenuHost(kMenuCustom, entry)) return;
  if (!PrepareCustomMenu(entry)) return;
  // The date and time tags of one display all show the moment it opened.
  GetLocalTime(&State().timeSnapshot);
  RefreshDynamicTitles();
  HMENU root = State().rootMenu;
  if (root == nullptr) return;
  DoCustomCommand(TrackMenu(root, atMouse));
}

// ---- Combined menu ----

void ShowBothMenu(bool atMouse) noexcept {
  MenuShowScope scope;
  if (!scope.entered()) return;
  if (!CheckMenuHost(kMenuCombined, -1)) return;
  HMENU outer = CreatePopupMenu();
  if (outer == nullptr) return;
  if (!PrepareCustomMenu(0) || State().rootMenu == nullptr) {
    MessageBeep(kSimpleBeep);
    DestroyMenu(outer);
    return;
  }
  GetLocalTime(&State().timeSnapshot);
  RefreshDynamicTitles();

  StackMenu stack;
  const bool haveStack = BuildStackMenu(false, stack);
  if (!AppendMenuA(outer, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(State().rootMenu), "Custom Menu")) {
    MessageBeep(kSimpleBeep);
    DestroyMenu(outer);
    return;
  }
  bool stackShown = false;
  if (haveStack &&
      AppendMenuA(outer, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(stack.menu), "Stack Menu")) {
    stack.ReleaseMenu();  // the outer menu owns it now
    stackShown = true;
  } else {
    AppendMenuA(outer, MF_STRING | MF_GRAYED, kStackEntryFirst, "Stack Menu");
  }

  const UINT id = TrackMenu(outer, atMouse);
  // The parsed custom menu outlives this display: take it out before the
  // outer menu is destroyed together with everything still inside it.
  RemoveMenu(outer, 0, MF_BYPOSITION);
  DestroyMenu(outer);

  if (stackShown && id >= kStackEntryFirst && id < kChooserFirst) {
    DoStackCommand(id, stack);
    return;
  }
  if (id != 0) DoCustomCommand(id);
}

// ---- Menu-file chooser ----

void ShowMenuSetMenu() noexcept {
  MenuShowScope scope;
  if (!scope.entered()) return;
  if (!CheckMenuHost(kMenuChooser, -1)) return;
  if (g_CustomMenuSet[0].path[0] == '\0') {
    Warn(IDS_NO_CUSTOM_ITEM);
    return;
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  SystemKeyNames names;
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    // A private copy: the resident program may rewrite the set meanwhile.
    MenuFileSet entry;
    std::memcpy(&entry, &g_CustomMenuSet[i], sizeof entry);
    entry.path[sizeof entry.path - 1] = '\0';
    if (entry.path[0] == '\0') break;
    char caption[kChooserCaptionBytes];
    if (!MakeChooserCaption(i, entry, names, caption, sizeof caption)) break;
    AppendMenuA(menu, MF_STRING, kChooserFirst + static_cast<UINT>(i), caption);
  }
  const UINT id = TrackMenu(menu, false);
  DestroyMenu(menu);
  if (id >= kChooserFirst && id < kChooserFirst + kMenuFileSetCount) {
    PostToResident(kMsgChooseMenuSet, id - kChooserFirst, 0);
  }
}

// ---- Position and tracking ----

POINT GetMenuPoint(HWND front, int position) noexcept {
  POINT pt = {0, 0};
  switch (position) {
    case 0: {
      if (front != nullptr && front == g_hwndQuillo) {
        // The resident window is hidden: its caret means nothing on screen.
        pt.x = 100;
        pt.y = 100;
        return pt;
      }
      HWND focus = GetFocus();
      // Without a caret there is no position, and the pointer is the next best
      // place. Windows then reports negative coordinates; Wine reports the
      // last caret's place or (0, 0), so the thread's caret window is asked too.
      GUITHREADINFO gui = {};
      gui.cbSize = sizeof gui;
      const bool noCaret = GetGUIThreadInfo(GetCurrentThreadId(), &gui) && gui.hwndCaret == nullptr;
      if (noCaret || focus == nullptr || !GetCaretPos(&pt) || !ClientToScreen(focus, &pt) || pt.x < 0 ||
          pt.y < 0) {
        GetCursorPos(&pt);
      }
      return pt;
    }
    case 2: {
      RECT r;
      if (front == nullptr || !GetWindowRect(front, &r)) {
        GetCursorPos(&pt);
        return pt;
      }
      pt.x = r.left + GetSystemMetrics(SM_CXFRAME);
      pt.y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU);
      return pt;
    }
    case 1:
    default:
      GetCursorPos(&pt);
      return pt;
  }
}

UINT TrackMenu(HMENU menu, bool atMouse) noexcept {
  ProcessState& state = State();
  HWND front = GetForegroundWindow();
  HWND focus = GetFocus();
  if (menu == nullptr || front == nullptr || focus == nullptr) {
    MessageBeep(kSimpleBeep);
    return 0;
  }

  // The focus may sit in a window of this thread while the window in front
  // belongs to another (an embedded or attached input thread). A menu closes
  // on a click elsewhere only when its owner is in front, so the focus window
  // is brought forward for the display and the old front window after it.
  bool switched = false;
  HWND previousFront = nullptr;
  HCURSOR previousCursor = nullptr;
  if (GetWindowThreadProcessId(focus, nullptr) != GetWindowThreadProcessId(front, nullptr)) {
    SetForegroundWindow(focus);
    previousFront = front;
    previousCursor = SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    switched = true;
  }
  HWND owner = switched ? focus : front;

  // The at-mouse request is for this display only; the shared setting is
  // left alone (other processes read it at the same time).
  const POINT pt = GetMenuPoint(front, atMouse ? 1 : g_nMenuPos);

  bool imeClosed = false;
  if (g_bImeAdjust) {
    // An open input method would take the keys meant for the menu.
    HIMC imc = ImmGetContext(focus);
    if (imc != nullptr) {
      if (ImmGetOpenStatus(imc)) {
        ImmSetOpenStatus(imc, FALSE);
        imeClosed = true;
      }
      ImmReleaseContext(focus, imc);
    }
  }

  // Programs that hide the pointer while the user types would leave it hidden
  // over the menu; a display count and a real move make it show.
  ShowCursor(TRUE);
  if (g_bResetCursor) {
    SetCursorPos(pt.x + 1, pt.y + 1);
  } else {
    POINT cursor;
    if (GetCursorPos(&cursor)) SetCursorPos(cursor.x + 1, cursor.y);
  }

  // The mouse hook records which button ends the menu in the choice mode; the
  // tracking flag lets the hooks, re-entered by the menu's own modal loop,
  // know that this menu is open.
  state.choiceMode = 0;
  state.trackingMenu = true;
  const UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON;
  const BOOL chosen = TrackPopupMenu(menu, flags, pt.x, pt.y, 0, owner, nullptr);
  state.trackingMenu = false;
  // A menu that was dismissed can leave the next menu of the same owner
  // unable to close (the owner never got a message after the menu loop).
  PostMessageA(owner, WM_NULL, 0, 0);
  ShowCursor(FALSE);

  if (state.choiceMode == 0) state.choiceMode = (GetKeyState(VK_SHIFT) < 0) ? -1 : 1;

  if (imeClosed) {
    HIMC imc = ImmGetContext(focus);
    if (imc != nullptr) {
      if (!ImmGetOpenStatus(imc)) ImmSetOpenStatus(imc, TRUE);
      ImmReleaseContext(focus, imc);
    }
  }
  if (switched) {
    SetCursor(previousCursor);
    SetForegroundWindow(previousFront);
  }
  return static_cast<UINT>(chosen);
}

// ---- Scratch file ----

void SaveScratchFile(const char* view, size_t blockSize, int count) noexcept {
  if (view == nullptr || blockSize == 0) return;
  ScratchEntries entries;
  if (!entries.Take(view, blockSize, count)) return;
  RunScratchDialog(entries);
}

namespace {

void RunScratchDialog(const ScratchEntries& entries) noexcept {
  ProcessState& state = State();
  const int count = entries.count();
  for (int& index : state.scratchSelection) index = -1;

  ScratchDialogData data{&entries, count, state.scratchSelection};
  INT_PTR result = -1;
  {
    HelpTopicScope help(kScratchHelpTopic);
    result = DialogBoxParamA(state.instance, MAKEINTRESOURCEA(IDD_SCRATCH), GetForegroundWindow(),
                             ScratchDialogProc, reinterpret_cast<LPARAM>(&data));
  }
  if (result == -1) {
    Warn(IDS_CREATE_RESOURCE);
    return;
  }
  if (result != IDC_SCRATCH_NEW && result != IDC_SCRATCH_ADD) return;

  char path[MAX_PATH + 16];
  {
    char module[MAX_PATH];
    const DWORD n = GetModuleFileNameA(state.instance, module, sizeof module);
    if (n == 0 || n >= sizeof module) {
      Warn(IDS_OPEN_FILE, kScratchFileName);
      return;
    }
    // The folder is the module path cut after its last "\" (a trail byte
    // 0x5C of a double-byte character is not a separator).
    size_t cut = 0;
    for (size_t i = 0; i < n;) {
      if (IsDBCSLeadByte(static_cast<BYTE>(module[i])) && i + 1 < n) {
        i += 2;
        continue;
      }
      if (module[i] == '\\') cut = i + 1;
      ++i;
    }
    if (cut + sizeof kScratchFileName > sizeof path) {
      Warn(IDS_OPEN_FILE, kScratchFileName);
      return;
    }
    std::memcpy(path, module, cut);
    std::memcpy(path + cut, kScratchFileName, sizeof kScratchFileName);
  }

  const bool add = (result == IDC_SCRATCH_ADD);
  UniqueHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, add ? OPEN_ALWAYS : CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    Warn(IDS_OPEN_FILE, kScratchFileName);
    return;
  }
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    Warn(IDS_OPEN_FILE, kScratchFileName);
    return;
  }
  if (add && (low != 0 || high != 0)) SetFilePointer(file.get(), 0, nullptr, FILE_END);

  for (int k = 0; k < count; ++k) {
    const int index = state.scratchSelection[k];
    if (index == -1) break;
    if (index < 0 || index >= count) continue;
    const char* text = entries.text(index);
    const size_t len = entries.length(index);
    WriteBytes(file.get(), text, len);
    if (len == 0 || text[len - 1] != '\n' || EndsWithDoubleByte(text, len)) WriteBytes(file.get(), "\r\n", 2);
    WriteBytes(file.get(), kScratchSeparator, sizeof kScratchSeparator - 1);
  }
}

}  // namespace

}  // namespace quillo::hook

// ---- Exports ----

void ShowMenu(int kind, int n) {
  using namespace quillo::hook;
  switch (kind) {
    case quillo::kMenuCustom: ShowCustomMenu(n, false); break;
    case quillo::kMenuStack: ShowStackMenu(false); break;
    case quillo::kMenuChooser: ShowMenuSetMenu(); break;
    case quillo::kMenuCombined: ShowBothMenu(false); break;
    default: break;
  }
}

void GetStackItem(char* buffer, const char* source, int index, BOOL menuStyle, BOOL direct) {
  if (buffer == nullptr) return;
  quillo::hook::StackCaptionSettings settings;
  settings.charNum = g_nCharNum;
  settings.skipTopSpace = g_bSkipTopSpace != FALSE;
  const DWORD blockSize = g_dwBlockSize;  // read once, checked against the view below
  settings.blockSize = blockSize;
  if (!direct && source != nullptr && index >= 0) {
    // The slot must lie inside the memory `source` starts: the size is shared
    // memory that any process could have written.
    MEMORY_BASIC_INFORMATION info = {};
    const unsigned long long end = static_cast<unsigned long long>(index + 1ll) * blockSize;
    if (VirtualQuery(source, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT ||
        static_cast<const char*>(info.BaseAddress) + info.RegionSize < source ||
        end > static_cast<unsigned long long>(static_cast<const char*>(info.BaseAddress) + info.RegionSize - source)) {
      settings.blockSize = 0;  // the prefix alone
    }
  }
  quillo::hook::GetStackItem(buffer, quillo::hook::kStackCaptionBytes, source, index, menuStyle != FALSE,
                             direct != FALSE, settings);
}
