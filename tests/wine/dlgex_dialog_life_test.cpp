// The life of an extended file dialog inside its program: the library stays
// loaded while the dialog needs it and goes when it does not; the dialog keeps
// its character kind; its last message reaches the procedures under ours; two
// hundred dialogs leave nothing behind; and the folder commands go where the
// user chose, or nowhere, never elsewhere.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "quillo_dlgex.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr UINT kCmdHistoryFirst = 0xA000;
constexpr UINT kCmdAddFolder = 0xA400;
constexpr UINT kWineUpFolder = 0xA001;  // the "Up one level" button of Wine's dialog

struct ThreadDialog {
  DWORD thread;
  HWND found;
};

BOOL CALLBACK FindDialogOfThread(HWND hwnd, LPARAM param) {
  if (GetDlgItem(hwnd, 1137) == nullptr || !IsWindowVisible(hwnd)) return TRUE;
  reinterpret_cast<ThreadDialog*>(param)->found = hwnd;
  return FALSE;
}

HWND DialogOf(DWORD thread) {
  ThreadDialog d{thread, nullptr};
  EnumThreadWindows(thread, FindDialogOfThread, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

HMENU SubMenuByText(HMENU menu, const char* text) {
  char item[600];
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (GetMenuStringA(menu, static_cast<UINT>(i), item, sizeof item, MF_BYPOSITION) > 0 && lstrcmpA(item, text) == 0) {
      return GetSubMenu(menu, i);
    }
  }
  return nullptr;
}

bool HasMenus(HWND dlg) { return SubMenuByText(GetSystemMenu(dlg, FALSE), "Folder History") != nullptr; }

// Waits for the extended dialog of `thread`; null when none came.
HWND WaitForExtendedDialog(DWORD thread) {
  HWND dlg = nullptr;
  WaitFor([&] { return (dlg = DialogOf(thread)) != nullptr && HasMenus(dlg); }, 20000);
  return dlg != nullptr && HasMenus(dlg) ? dlg : nullptr;
}

HWND FileNameEdit(HWND dlg) {
  HWND w = GetDlgItem(dlg, 1148);
  while (w != nullptr) {
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0) return w;
    w = FindWindowExA(w, nullptr, nullptr, nullptr);
  }
  return nullptr;
}

std::string FolderShown(HWND dlg) {
  char path[MAX_PATH * 2] = {};
  SendMessageA(dlg, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
  return path;
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// What a dialog thread of a child is given and gives back.
struct DialogRun {
  char kind = 'A';  // 'A' Open, 'W' wide Open, 'S' Save, 'M' Open with several files allowed
  std::string start;
  DWORD maxFile = MAX_PATH;
  BOOL result = FALSE;
  std::string chosen;
};

DWORD WINAPI ShowDialog(void* param) {
  auto* run = static_cast<DialogRun*>(param);
  if (run->kind == 'W') {
    WCHAR file[MAX_PATH] = {}, dir[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, run->start.c_str(), -1, dir, MAX_PATH);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = dir;
    ofn.Flags = OFN_EXPLORER;
    run->result = GetOpenFileNameW(&ofn);
    return 0;
  }
  std::vector<char> file(MAX_PATH * 4, '\0');
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = run->maxFile;
  ofn.lpstrInitialDir = run->start.c_str();
  ofn.Flags = OFN_EXPLORER | (run->kind == 'M' ? OFN_ALLOWMULTISELECT : 0);
  run->result = run->kind == 'S' ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (run->result) run->chosen = file.data();
  return 0;
}

// A dialog on a thread of its own, shown by a child while its main thread drives it.
class DialogThread {
 public:
  explicit DialogThread(DialogRun& run) : thread_(CreateThread(nullptr, 0, ShowDialog, &run, 0, &id_)) {}
  ~DialogThread() {
    if (thread_ != nullptr) {
      if (WaitForSingleObject(thread_, 20000) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
      CloseHandle(thread_);
    }
  }
  DWORD id() const { return id_; }
  bool Ended(DWORD ms = 20000) { return thread_ != nullptr && WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

 private:
  DWORD id_ = 0;
  HANDLE thread_;
};

// ---------------------------------------------------------------------------
// The library's reference on itself. Wine pins a library that has a TLS
// directory (ours has, from the compiler's run-time) and never unloads a hook
// library anyway, so neither its reference count nor an unload can be seen
// here. What the library asks of the loader can: the child loads the library
// before the hook does and points the library's imports of GetModuleHandleExW
// and FreeLibrary at counting stand-ins that call the real ones.
struct ReferenceLog {
  HMODULE library = nullptr;
  uintptr_t start = 0, end = 0;  // the library's image
  volatile LONG taken = 0, dropped = 0;
  volatile LONG droppedFromInside = 0;  // FreeLibrary calls that would return into the library
  volatile LONG droppedInsideMessage = 0;  // FreeLibrary calls while a message of the dialog still ran
};
ReferenceLog g_refs;
volatile LONG g_messageRunning = 0;  // set by a procedure under ours while it handles a message

BOOL WINAPI CountingGetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
  const BOOL ok = GetModuleHandleExW(flags, name, module);
  if (ok && *module == g_refs.library && (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0) {
    InterlockedIncrement(&g_refs.taken);
  }
  return ok;
}

// The return address says where FreeLibrary would come back to: after the
// last reference that would be the unmapped library, unless it was jumped to.
__attribute__((noinline)) BOOL WINAPI CountingFreeLibrary(HMODULE module) {
  const auto back = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  if (module == g_refs.library) {
    InterlockedIncrement(&g_refs.dropped);
    if (back >= g_refs.start && back < g_refs.end) InterlockedIncrement(&g_refs.droppedFromInside);
    if (g_messageRunning != 0) InterlockedIncrement(&g_refs.droppedInsideMessage);
  }
  return FreeLibrary(module);
}

// Points `module`'s import of kernel32's `name` at `to`; false when it has none.
bool RedirectImport(HMODULE module, const char* name, void* to) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "kernel32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) return false;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(to);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return true;
    }
  }
  return false;
}

// args: the library, the start folder. Exit code 0 when the dialog took one
// reference when it was extended, held it while open, and dropped it after
// its last message by a jump that never returns into the library.
// Loads the library before the hook does and counts what it asks of the
// loader; 0, or the exit code of the step that failed.
int CountReferences(const std::string& library, HMODULE* module) {
  *module = LoadLibraryA(library.c_str());
  if (*module == nullptr) return 3;
  MODULEINFO info = {};
  if (!GetModuleInformation(GetCurrentProcess(), *module, &info, sizeof info)) return 4;
  g_refs.library = *module;
  g_refs.start = reinterpret_cast<uintptr_t>(info.lpBaseOfDll);
  g_refs.end = g_refs.start + info.SizeOfImage;
  if (!RedirectImport(*module, "GetModuleHandleExW", reinterpret_cast<void*>(CountingGetModuleHandleExW))) return 5;
  if (!RedirectImport(*module, "FreeLibrary", reinterpret_cast<void*>(CountingFreeLibrary))) return 6;
  return 0;
}

QUILLO_CHILD(ReferenceWhileOpen) {
  if (args.size() != 2) return 2;
  HMODULE module = nullptr;
  if (const int failed = CountReferences(args[0], &module)) return failed;
  DialogRun run;
  run.start = args[1];
  DialogThread thread(run);
  HWND dlg = WaitForExtendedDialog(thread.id());
  if (dlg == nullptr) return 10;
  if (g_refs.taken != 1 || g_refs.dropped != 0) return 11;  // one reference, held
  // The dialog goes on working, and holding, through its messages.
  SendMessageA(dlg, WM_SYSCOMMAND, kCmdAddFolder, 0);
  HMENU shortcuts = SubMenuByText(GetSystemMenu(dlg, FALSE), "Folder Shortcut");
  if (shortcuts == nullptr || GetMenuItemCount(shortcuts) != 3) return 12;
  if (g_refs.dropped != 0) return 13;
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!thread.Ended()) return 14;
  if (g_refs.taken != 1 || g_refs.dropped != 1) return 15;  // dropped once, with the last message
  if (g_refs.droppedFromInside != 0) return 16;
  FreeLibrary(module);
  return 0;
}

// ---------------------------------------------------------------------------
// The procedure under ours. The child's own call-window hook, installed after
// the extension's and so called before it, subclasses each file dialog first:
// it records the dialog's character kind before the extension touched it,
// and whether the dialog's last message came through.
// On request it also destroys the dialog from inside a message of its own,
// and sends the dialog a message of its own while the last one is handled.
constexpr UINT kDestroyFromInside = WM_APP + 41;  // the procedure under ours destroys the dialog
constexpr UINT kTeardownPing = WM_APP + 42;       // sent to the dialog during its WM_NCDESTROY

struct UnderOurs {
  HWND dialog = nullptr;
  WNDPROC previous = nullptr;
  bool unicodeBefore = false;
  bool sawNcDestroy = false;
  bool pingAtNcDestroy = false;
  bool sawPing = false;
  WPARAM sysCommand = 0;  // the last WM_SYSCOMMAND that came through
};
UnderOurs g_under;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == g_under.dialog) {
    switch (msg) {
      case WM_NCDESTROY:
        g_under.sawNcDestroy = true;
        if (g_under.pingAtNcDestroy) SendMessageA(hwnd, kTeardownPing, 0, 0);
        break;
      case kTeardownPing:
        g_under.sawPing = true;
        return 0;
      case kDestroyFromInside:
        InterlockedExchange(&g_messageRunning, 1);
        DestroyWindow(hwnd);
        InterlockedExchange(&g_messageRunning, 0);
        return 0;
      case WM_SYSCOMMAND:
        g_under.sysCommand = wParam;
        break;
      default:
        break;
    }
  }
  return g_under.unicodeBefore ? CallWindowProcW(g_under.previous, hwnd, msg, wParam, lParam)
                               : CallWindowProcA(g_under.previous, hwnd, msg, wParam, lParam);
}

// A subclass above ours, put in place once the dialog is extended.
WNDPROC g_aboveNext = nullptr;
LRESULT CALLBACK AboveProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return g_under.unicodeBefore ? CallWindowProcW(g_aboveNext, hwnd, msg, wParam, lParam)
                               : CallWindowProcA(g_aboveNext, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SubclassFirst(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && msg->message == WM_INITDIALOG && GetDlgItem(msg->hwnd, 1137) != nullptr &&
      g_under.dialog == nullptr) {
    g_under.dialog = msg->hwnd;
    g_under.unicodeBefore = IsWindowUnicode(msg->hwnd) != FALSE;
    const auto proc = reinterpret_cast<LONG_PTR>(RecordingProc);
    g_under.previous = reinterpret_cast<WNDPROC>(g_under.unicodeBefore ? SetWindowLongPtrW(msg->hwnd, GWLP_WNDPROC, proc)
                                                                       : SetWindowLongPtrA(msg->hwnd, GWLP_WNDPROC, proc));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct KindStart {
  DialogRun* run;
  HANDLE ready;
};

// The hook is the dialog thread's own, set on that thread before the dialog.
DWORD WINAPI ShowDialogUnderOwnHook(void* param) {
  auto* s = static_cast<KindStart*>(param);
  HHOOK own = SetWindowsHookExA(WH_CALLWNDPROC, SubclassFirst, nullptr, GetCurrentThreadId());
  SetEvent(s->ready);
  ShowDialog(s->run);
  if (own != nullptr) UnhookWindowsHookEx(own);
  return own != nullptr ? 0 : 1;
}

// A dialog of `kind` on a thread whose own hook puts the procedure under ours.
class DialogUnderOurs {
 public:
  DialogUnderOurs(char kind, const std::string& start) {
    run_.kind = kind;
    run_.start = start;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    start_ = {&run_, ready_};
    thread_ = CreateThread(nullptr, 0, ShowDialogUnderOwnHook, &start_, 0, &id_);
    if (thread_ != nullptr) WaitForSingleObject(ready_, 10000);
  }
  ~DialogUnderOurs() {
    if (thread_ != nullptr) {
      if (!Ended()) TerminateThread(thread_, 1);
      CloseHandle(thread_);
    }
    if (ready_ != nullptr) CloseHandle(ready_);
  }
  // The extended dialog, when it came and our hook saw it first; else null.
  HWND Extended() {
    if (thread_ == nullptr) return nullptr;
    HWND dlg = WaitForExtendedDialog(id_);
    return dlg != nullptr && dlg == g_under.dialog ? dlg : nullptr;
  }
  bool Ended() { return thread_ != nullptr && WaitForSingleObject(thread_, 20000) == WAIT_OBJECT_0; }
  DWORD id() const { return id_; }

 private:
  DialogRun run_;
  HANDLE ready_ = nullptr;
  KindStart start_{};
  HANDLE thread_ = nullptr;
  DWORD id_ = 0;
};

// args: "A" or "W", the start folder. Exit code 0 when the dialog was extended,
// kept its kind, and its last message reached the procedure under ours.
QUILLO_CHILD(DialogKindAndLastMessage) {
  if (args.size() != 2) return 2;
  const char kind = args[0][0];
  DialogUnderOurs dialog(kind, args[1]);
  HWND dlg = dialog.Extended();
  int result = 0;
  if (dlg == nullptr) {
    result = 10;  // not extended, or our hook did not see it first
  } else if ((IsWindowUnicode(dlg) != FALSE) != g_under.unicodeBefore) {
    result = 12;
  } else if (kind == 'W' && !g_under.unicodeBefore) {
    result = 13;  // a wide dialog that was not wide to begin with would prove nothing
  } else if (kind == 'A' && g_under.unicodeBefore) {
    result = 16;  // nor would an ANSI caller's dialog that was wide
  }
  if (dlg != nullptr) PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!dialog.Ended()) return 14;
  if (result != 0) return result;
  return g_under.sawNcDestroy ? 0 : 15;
}

// args: the library, the start folder. The procedure under ours destroys the
// dialog from inside a message: the dialog's last message comes while that
// message still runs, and the library's reference must be dropped once, when
// the outermost call of our procedure returns, never before it.
QUILLO_CHILD(DestroyedFromInsideAMessage) {
  if (args.size() != 2) return 2;
  HMODULE module = nullptr;
  if (const int failed = CountReferences(args[0], &module)) return failed;
  DialogUnderOurs dialog('A', args[1]);
  HWND dlg = dialog.Extended();
  if (dlg == nullptr) return 10;
  if (g_refs.taken != 1 || g_refs.dropped != 0) return 11;
  SendMessageA(dlg, kDestroyFromInside, 0, 0);
  // The dialog's loop sees that its window is gone at its next message.
  PostThreadMessageA(dialog.id(), WM_NULL, 0, 0);
  if (!dialog.Ended()) return 12;
  if (IsWindow(dlg) || !g_under.sawNcDestroy) return 13;
  if (g_refs.droppedInsideMessage != 0) return 14;  // dropped while our call for the message was still on the stack
  if (g_refs.dropped != 1) return 15;
  if (g_refs.droppedFromInside != 0) return 16;
  FreeLibrary(module);
  return 0;
}

// args: the start folder. With a subclass above ours, a message the dialog
// sends itself while its last message is handled still goes through ours to
// the procedure under ours.
QUILLO_CHILD(MessageDuringTheLastOne) {
  if (args.size() != 1) return 2;
  DialogUnderOurs dialog('A', args[0]);
  HWND dlg = dialog.Extended();
  if (dlg == nullptr) return 10;
  g_aboveNext = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AboveProc)));
  if (g_aboveNext == nullptr) return 11;
  g_under.pingAtNcDestroy = true;
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!dialog.Ended()) return 12;
  if (!g_under.sawNcDestroy) return 13;
  return g_under.sawPing ? 0 : 14;
}

// args: the start folder. A system command in our range that is not one of
// our entries (here another item of the system menu) goes on to the dialog.
constexpr UINT kOtherSysCommand = kCmdHistoryFirst + 16 * 10;  // past the ten history entries
QUILLO_CHILD(OtherSystemCommand) {
  if (args.size() != 1) return 2;
  DialogUnderOurs dialog('A', args[0]);
  HWND dlg = dialog.Extended();
  if (dlg == nullptr) return 10;
  HMENU system = GetSystemMenu(dlg, FALSE);
  if (!AppendMenuA(system, MF_STRING, kOtherSysCommand, "&1 Another program's item")) return 11;
  SendMessageA(dlg, WM_SYSCOMMAND, kOtherSysCommand, 0);
  int result = g_under.sysCommand == kOtherSysCommand ? 0 : 12;
  char label[64] = {};
  GetMenuStringA(system, kOtherSysCommand, label, sizeof label, MF_BYCOMMAND);
  if (result == 0 && lstrcmpA(label, "&1 Another program's item") != 0) result = 13;
  // Our own entries still come through the system menu's command.
  SendMessageA(dlg, WM_SYSCOMMAND, kCmdAddFolder, 0);
  HMENU shortcuts = SubMenuByText(system, "Folder Shortcut");
  if (result == 0 && (shortcuts == nullptr || GetMenuItemCount(shortcuts) != 3)) result = 14;
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!dialog.Ended()) return 15;
  return result;
}

// ---------------------------------------------------------------------------
// Figures of the process. Under Wine the system's counters read 0, so the
// handle tables are read through the slots of fresh objects (the low 16 bits
// of a handle; a USER handle's slot is counted in steps of two). A table hands out its freed slots first, the last freed
// first, and then new slots in order above every slot it ever gave. So fresh
// objects are made until a long run of them comes in order above all before
// it: the objects made before that run took the F free slots, the run starts
// at the table's end E, and E - F objects are in use (plus a constant, the
// table's first slot). The probe's objects are freed lowest first, so that
// the next probe takes them highest first and never mistakes them for new.
// GDI slots are this process's; USER slots are the whole Wine desktop's, so
// other programs move them a little.
constexpr size_t kRun = 256;
constexpr size_t kMaxProbe = 14000;

template <typename Make, typename Free>
long ObjectsInUse(Make make, Free free, unsigned step) {
  std::vector<void*> made;
  std::vector<long> slots;
  made.reserve(kMaxProbe);
  long highest = -1, runStart = -1;
  size_t runFrom = 0;
  while (made.size() < kMaxProbe) {
    void* h = make();
    if (h == nullptr) break;
    const long slot = static_cast<long>((reinterpret_cast<uintptr_t>(h) & 0xFFFF) / step);
    if (runStart >= 0 && slot == slots.back() + 1) {
      // the run goes on
    } else if (slot > highest) {
      runStart = slot;
      runFrom = made.size();
    } else {
      runStart = -1;
    }
    highest = slot > highest ? slot : highest;
    made.push_back(h);
    slots.push_back(slot);
    if (runStart >= 0 && made.size() - runFrom >= kRun) break;
  }
  const bool found = runStart >= 0 && made.size() - runFrom >= kRun;
  std::vector<size_t> order(made.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return slots[a] < slots[b]; });
  for (size_t i : order) free(made[i]);
  return found ? runStart - static_cast<long>(runFrom) : -1;
}

struct Figures {
  long gdiObjects, userObjects;
  unsigned long long heapBytes;
};

unsigned long long BusyHeapBytes() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  unsigned long long busy = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) busy += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return busy;
}

// The busy blocks of every heap of the process by size, sorted by size. The
// room for them is taken before the heaps are walked, so the walk itself
// allocates nothing.
using BlockCounts = std::vector<std::pair<DWORD, long>>;
BlockCounts BusyBlocksBySize() {
  std::vector<DWORD> sizes;
  sizes.reserve(1 << 18);
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0 && sizes.size() < sizes.capacity()) sizes.push_back(entry.cbData);
    }
    HeapUnlock(heaps[i]);
  }
  std::sort(sizes.begin(), sizes.end());
  BlockCounts counts;
  for (DWORD size : sizes) {
    if (counts.empty() || counts.back().first != size) counts.push_back({size, 0});
    ++counts.back().second;
  }
  return counts;
}

// Sizes whose count changed by at least `least` from `before` to `after`.
BlockCounts ChangedCounts(const BlockCounts& before, const BlockCounts& after, long least) {
  BlockCounts changed;
  size_t i = 0, j = 0;
  while (i < before.size() || j < after.size()) {
    DWORD size;
    long delta;
    if (j == after.size() || (i < before.size() && before[i].first < after[j].first)) {
      size = before[i].first;
      delta = -before[i++].second;
    } else if (i == before.size() || after[j].first < before[i].first) {
      size = after[j].first;
      delta = after[j++].second;
    } else {
      size = after[j].first;
      delta = after[j++].second - before[i++].second;
    }
    if (delta >= least || -delta >= least) changed.push_back({size, delta});
  }
  return changed;
}

Figures Measure() {
  return {ObjectsInUse([] { return static_cast<void*>(CreateSolidBrush(RGB(1, 2, 3))); },
                       [](void* h) { DeleteObject(static_cast<HGDIOBJ>(h)); }, 1),
          ObjectsInUse([] { return static_cast<void*>(CreateMenu()); }, [](void* h) { DestroyMenu(static_cast<HMENU>(h)); },
                       2),
          BusyHeapBytes()};
}

// The dialogs of ManyDialogs: the main thread shows them one after another,
// a driver thread cancels each once it is extended. (A thread per dialog
// would be no program's way, and Wine stops closing dialogs after 64 threads
// have each shown one.)
struct Sequence {
  DWORD thread = 0;
  bool extended = true;  // each dialog must be extended before it is cancelled
  volatile LONG opened = 0, closed = 0;
  volatile LONG failure = 0;  // 1 no dialog, 2 not extended, 3 did not close
  volatile LONG stop = 0;
};

DWORD WINAPI CancelEach(void* param) {
  auto* seq = static_cast<Sequence*>(param);
  for (LONG handled = 0; !seq->stop; ++handled) {
    if (!WaitFor([&] { return seq->opened > handled || seq->stop; }, 20000) || seq->stop) break;
    HWND dlg = nullptr;
    if (seq->extended) {
      dlg = WaitForExtendedDialog(seq->thread);
    } else if (WaitFor([&] { return (dlg = DialogOf(seq->thread)) != nullptr; }, 20000)) {
      Sleep(20);  // as long as an extended one takes to be recognised, about
    }
    if (dlg == nullptr) {
      InterlockedExchange(&seq->failure, DialogOf(seq->thread) == nullptr ? 1 : 2);
      return 0;
    }
    // Wine's dialog now and then drops a Cancel that comes while it is still settling: another one closes it.
    bool closed = false;
    for (int tries = 0; tries < 10 && !closed; ++tries) {
      PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      closed = WaitFor([&] { return seq->closed > handled; }, 2000);
    }
    if (!closed) {
      InterlockedExchange(&seq->failure, 3);
      return 0;
    }
  }
  return 0;
}

// Shows `count` extended Open dialogs on this thread; the number that were
// opened, extended and closed.
int OpenAndClose(int count, const std::string& start, bool extended, int* failure) {
  *failure = 0;
  Sequence seq;
  seq.thread = GetCurrentThreadId();
  seq.extended = extended;
  HANDLE driver = CreateThread(nullptr, 0, CancelEach, &seq, 0, nullptr);
  if (driver == nullptr) return 0;
  int done = 0;
  for (; done < count && seq.failure == 0; ++done) {
    DialogRun run;
    run.start = start;
    InterlockedIncrement(&seq.opened);
    ShowDialog(&run);
    InterlockedIncrement(&seq.closed);
  }
  InterlockedExchange(&seq.stop, 1);
  WaitForSingleObject(driver, 30000);
  CloseHandle(driver);
  *failure = seq.failure;
  return seq.failure == 0 ? done : done - 1;
}

constexpr int kBatches = 4;

// args: the number of dialogs, the start folder, the report file, "extended"
// or "plain" (no hook is expected: Wine's own dialog alone). Writes to the
// report the figures before and after, the heap's growth over each of four
// batches of the dialogs, and the block sizes whose count changed by 10 or
// more; exit code 0 when every dialog came (extended, if so asked) and closed.
QUILLO_CHILD(ManyDialogs) {
  if (args.size() != 4) return 2;
  const int count = atoi(args[0].c_str());
  const bool extended = args[3] == "extended";
  int failure = 0;
  // The first dialogs load and initialise the shell's libraries and caches for good.
  if (OpenAndClose(5, args[1], extended, &failure) != 5) return 10 + failure;
  const Figures before = Measure();
  const BlockCounts blocksBefore = BusyBlocksBySize();
  long long growth[3][kBatches] = {};  // GDI objects, USER objects, heap bytes
  Figures start = before;
  for (int b = 0; b < kBatches; ++b) {
    const int batch = count / kBatches;
    const int done = OpenAndClose(batch, args[1], extended, &failure);
    if (done != batch) {
      printf("dialog %d of %d: %s\n", b * batch + done + 1, count,
             failure == 1 ? "no dialog" : failure == 2 ? "not extended" : "did not close");
      return 20 + failure;
    }
    const Figures end = Measure();
    growth[0][b] = end.gdiObjects - start.gdiObjects;
    growth[1][b] = end.userObjects - start.userObjects;
    growth[2][b] = static_cast<long long>(end.heapBytes) - static_cast<long long>(start.heapBytes);
    start = end;
  }
  const BlockCounts changed = ChangedCounts(blocksBefore, BusyBlocksBySize(), 10);
  const Figures after = Measure();
  FILE* report = fopen(args[2].c_str(), "w");
  if (report == nullptr) return 12;
  fprintf(report, "%ld %ld %llu %ld %ld %llu\n", before.gdiObjects, before.userObjects, before.heapBytes,
          after.gdiObjects, after.userObjects, after.heapBytes);
  for (const auto& kind : growth) {
    for (long long g : kind) fprintf(report, "%lld ", g);
  }
  fprintf(report, "\n%u\n", static_cast<unsigned>(changed.size()));
  for (const auto& c : changed) fprintf(report, "%lu %ld\n", static_cast<unsigned long>(c.first), c.second);
  fclose(report);
  return 0;
}

// ---------------------------------------------------------------------------
// The folder commands, each in a real dialog. args: the script, the dialog
// kind, the folder the dialog starts in, the folder of history entry 1, and a
// script's own argument. Exit code 0 when the script held.
int DriveCommand(const std::string& script, HWND dlg, const std::string& start, const std::string& listed,
                 const std::string& extra) {
  HMENU history = SubMenuByText(GetSystemMenu(dlg, FALSE), "Folder History");
  if (history == nullptr) return 20;
  if (!WaitFor([&] { return SameText(FolderShown(dlg), start); })) return 21;
  HWND edit = FileNameEdit(dlg);
  if (edit == nullptr) return 22;
  if (script == "gone") {
    // The entry names a folder that is gone (or one that is there only
    // relative to the process's current folder, given as `extra`; Wine's
    // dialog moves that folder along with the one it shows): a message, and
    // the dialog as it was.
    if (extra != "-" && !SetCurrentDirectoryA(extra.c_str())) return 33;
    SetWindowTextA(edit, "typed.txt");
    SendMessageA(dlg, WM_SYSCOMMAND, kCmdHistoryFirst, 0);
    char typed[MAX_PATH] = {};
    GetWindowTextA(edit, typed, sizeof typed);
    if (!IsWindow(dlg)) return 30;  // the dialog closed on the folder's name
    if (lstrcmpA(typed, "typed.txt") != 0) return 31;
    return SameText(FolderShown(dlg), start) ? 0 : 32;
  }
  if (script == "selected") {
    // A folder selected in the file list: the jump still goes to the entry's folder.
    HWND view = FindWindowExA(dlg, nullptr, "SHELLDLL_DefView", nullptr);
    HWND list = view != nullptr ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
    if (list == nullptr) return 40;
    if (!WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; })) return 41;
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return 42;
    SendMessageA(dlg, WM_SYSCOMMAND, kCmdHistoryFirst, 0);
    return WaitFor([&] { return SameText(FolderShown(dlg), listed); }, 3000) ? 0 : 43;
  }
  if (script == "amp") {
    // The entry shows the folder's "&" as it is; choosing it still changes to the folder.
    char label[600] = {};
    GetMenuStringA(history, 0, label, sizeof label, MF_BYPOSITION);
    if (lstrcmpiA(label, extra.c_str()) != 0) return 50;
    SendMessageA(dlg, WM_SYSCOMMAND, kCmdHistoryFirst, 0);
    return WaitFor([&] { return SameText(FolderShown(dlg), listed); }, 3000) ? 0 : 51;
  }
  if (script == "up") {
    // The dialog's own command with an id in our range and no control reaches it.
    SendMessageA(dlg, WM_COMMAND, kWineUpFolder, 0);
    return WaitFor([&] { return SameText(FolderShown(dlg), extra); }, 3000) ? 0 : 60;
  }
  if (script == "ok") {
    // The names typed (several, quoted, for several files) and OK: the dialog closes on them.
    SetWindowTextA(edit, extra.c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
  return 29;
}

QUILLO_CHILD(FolderCommand) {
  if (args.size() != 5) return 2;
  DialogRun run;
  run.kind = args[1][0];
  run.start = args[2];
  if (run.kind == 'T') {  // an Open dialog whose application's buffer is too small
    run.kind = 'A';
    run.maxFile = 8;
  }
  DialogThread thread(run);
  HWND dlg = WaitForExtendedDialog(thread.id());
  if (dlg == nullptr) return 10;
  const int result = DriveCommand(args[0], dlg, args[2], args[3], args[4]);
  if (args[0] != "ok" || result != 0) {
    if (IsWindow(dlg)) PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  if (!thread.Ended()) return 11;
  if (result != 0) return result;
  if (args[0] != "ok" && run.result) return 12;  // cancelled scripts choose nothing
  return 0;
}

// ---------------------------------------------------------------------------
// One dialog's menus are its own, even while another dialog of the program
// builds its menus on another thread. The first dialog's menus are being built
// when the folder information file says a line is too long; while that message
// is up, the file changes and a second dialog opens on another thread. The
// first dialog's menus must list what its own reading found.
// args: the folder information file, the start folder, the folder listed at
// first, the folder listed later. Not run under the message-box watcher: the
// child answers the box itself, at the moment the test needs.
BOOL CALLBACK FindQuilloBox(HWND hwnd, LPARAM param) {
  char title[16] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId() && GetWindowTextA(hwnd, title, sizeof title) > 0 && lstrcmpA(title, "Quillo") == 0 &&
      IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND QuilloBox() {
  HWND box = nullptr;
  EnumWindows(FindQuilloBox, reinterpret_cast<LPARAM>(&box));
  return box;
}

QUILLO_CHILD(MenusWhileAnotherDialogOpens) {
  if (args.size() != 4) return 2;
  const std::string& info = args[0];
  auto write = [&](const std::string& text) { return WriteFileBytes(info, {text.begin(), text.end()}); };
  if (!write("DirHist | " + std::string(300, 'x') + "\r\nDirHist | " + args[2] + "\r\n")) return 3;
  DialogRun first, second;
  first.start = second.start = args[1];
  DialogThread one(first);
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = QuilloBox()) != nullptr; }, 20000)) return 10;
  if (!write("DirHist | " + args[3] + "\r\n")) return 11;
  DialogThread two(second);
  HWND dlg2 = WaitForExtendedDialog(two.id());
  int result = dlg2 == nullptr ? 12 : 0;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  HWND dlg1 = WaitForExtendedDialog(one.id());
  if (result == 0 && dlg1 == nullptr) result = 13;
  if (result == 0) {
    char label[600] = {};
    GetMenuStringA(SubMenuByText(GetSystemMenu(dlg1, FALSE), "Folder History"), 0, label, sizeof label, MF_BYPOSITION);
    if (!SameText(label, "&1 " + args[2])) result = 14;
  }
  for (HWND dlg : {dlg1, dlg2}) {
    if (dlg != nullptr) PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  if (!one.Ended() || !two.Ended()) return 15;
  return result;
}

#if defined(__x86_64__)
// ---------------------------------------------------------------------------
// The system walks a 64-bit stack through each function's unwind data, and
// where the stack stopped inside an epilogue it must see that the frame is
// already gone. args: the start folder. The extended dialog's procedure is
// unwound from each "add $56,%rsp" that frees its frame (the frame's size
// comes from its unwind data), and from the instruction after it, over a
// made-up stack: before it, the caller's address lies above the frame;
// after it, on top. Exit code 0 when both unwind to that address. Wine 8's
// unwinder does not know the epilogue that ends in an indirect jump
// ("jmp *__imp_FreeLibrary(%rip)", FF 25), which the system's does; there the
// instruction after the "add" must be that jump.
QUILLO_CHILD(EntryUnwindsAtEachExit) {
  if (args.size() != 1) return 2;
  DialogRun run;
  run.start = args[0];
  DialogThread thread(run);
  HWND dlg = WaitForExtendedDialog(thread.id());
  if (dlg == nullptr) return 10;
  const auto entry = static_cast<DWORD64>(IsWindowUnicode(dlg) ? GetWindowLongPtrW(dlg, GWLP_WNDPROC)
                                                                : GetWindowLongPtrA(dlg, GWLP_WNDPROC));
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (!thread.Ended()) return 11;
  DWORD64 base = 0;
  PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(entry, &base, nullptr);
  if (function == nullptr) return 12;  // no unwind data at all
  const auto* info = reinterpret_cast<const BYTE*>(base + function->UnwindData);
  // Version 1, one code: UWOP_ALLOC_SMALL (2) of (info + 1) * 8 bytes.
  if ((info[0] & 7) != 1 || info[2] != 1 || (info[5] & 0x0F) != 2) return 13;
  const BYTE frame = static_cast<BYTE>(((info[5] >> 4) + 1) * 8);
  const BYTE freeFrame[4] = {0x48, 0x83, 0xC4, frame};  // add $frame,%rsp
  const auto* code = reinterpret_cast<const BYTE*>(base + function->BeginAddress);
  const size_t length = function->EndAddress - function->BeginAddress;
  int exits = 0;
  for (size_t at = 0; at + sizeof freeFrame <= length; ++at) {
    if (memcmp(code + at, freeFrame, sizeof freeFrame) != 0) continue;
    ++exits;
    DWORD64 stack[32];
    for (size_t i = 0; i < 32; ++i) stack[i] = 0x5000 + i;
    for (int after = 0; after < 2; ++after) {
      CONTEXT context = {};
      context.Rsp = reinterpret_cast<DWORD64>(stack);
      const DWORD64 pc = reinterpret_cast<DWORD64>(code + at) + (after ? sizeof freeFrame : 0);
      void* handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, pc, function, &context, &handlerData, &establisher, nullptr);
      const size_t slot = after ? 0 : frame / 8;
      const BYTE* next = code + at + sizeof freeFrame;
      const bool indirectJump = after && at + sizeof freeFrame + 2 <= length && next[0] == 0xFF && next[1] == 0x25;
      if (!indirectJump && (context.Rip != stack[slot] || context.Rsp != reinterpret_cast<DWORD64>(&stack[slot + 1]))) {
        printf("unwound at +%u: rip %llx rsp +%lld, expected %llx +%u\n", static_cast<unsigned>(pc - (base + function->BeginAddress)),
               static_cast<unsigned long long>(context.Rip),
               static_cast<long long>(context.Rsp - reinterpret_cast<DWORD64>(stack)),
               static_cast<unsigned long long>(stack[slot]), static_cast<unsigned>((slot + 1) * 8));
        return 20 + exits;
      }
    }
  }
  return exits > 0 ? 0 : 14;
}
#endif

// ---------------------------------------------------------------------------
// A program folder with the extension, and the folders the dialogs use.
class DialogLifeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    start_ = folder_.file("Start");
    listed_ = folder_.file("Listed");
    ASSERT_TRUE(CreateDirectoryA(start_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(listed_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(folder_.file("DirHist").c_str(), nullptr));
    info_ = folder_.file("DirHist\\FolderInfo.txt");
    MessageBoxWatcher::Instance().Take();
  }

  void Hook() {
    dll_ = LoadLibraryA(folder_.file(kDlgExDll).c_str());
    ASSERT_NE(dll_, nullptr);
    auto set = reinterpret_cast<BOOL (*)(HWND)>(reinterpret_cast<void*>(GetProcAddress(dll_, "SetDlgHookProc")));
    hook_ = &g_hCallWndHook;  // the block the copy maps is this process's too
    ASSERT_NE(set, nullptr);
    resident_ = CreateWindowExA(0, "STATIC", "resident", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(set(resident_), 1);
  }

  void TearDown() override {
    if (hook_ != nullptr && *hook_ != nullptr) {
      UnhookWindowsHookEx(*hook_);
      *hook_ = nullptr;
    }
    if (resident_ != nullptr) DestroyWindow(resident_);
    if (dll_ != nullptr) FreeLibrary(dll_);
  }

  // Runs a child of this program from the program folder; its exit code, 99 when it did not end in time.
  DWORD Child(const char* name, const std::string& args, DWORD ms = 60000) {
    Process child = StartChild(name, args, folder_.file("quillo_wine_tests.exe"));
    DWORD code = 99;
    EXPECT_TRUE(WaitWhilePumping([&] { return child.Wait(0, &code); }, ms));
    child.Kill();
    return code;
  }

  DWORD Command(const char* script, const char* kind, const std::string& start, const std::string& listed,
                const std::string& extra = "-") {
    return Child("FolderCommand", std::string(script) + " " + kind + " \"" + start + "\" \"" + listed + "\" \"" + extra + "\"");
  }

  void Write(const std::string& path, const std::string& text) { ASSERT_TRUE(WriteFileBytes(path, {text.begin(), text.end()})); }
  std::string Read(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
  }
  static std::string Listing(const std::string& folder) { return "; Folder History\r\nDirHist | " + folder + "\r\n"; }

  ProgramFolder folder_{{kHookDll, kDlgExDll, "quillo_wine_tests.exe"}};
  std::string start_, listed_, info_;
  HMODULE dll_ = nullptr;
  HWND resident_ = nullptr;
  Handle32<HHOOK>* hook_ = nullptr;
};

using DlgExLifetime = DialogLifeTest;
using DlgExLeaks = DialogLifeTest;

// Windows unloads a hook library from a process once the hook is gone, at the
// process's next message: the dialog's reference is all that keeps it.
TEST_F(DlgExLifetime, AnOpenDialogHoldsOneReferenceOnTheLibraryAndDropsItWithItsLastMessage) {
  Hook();
  EXPECT_EQ(Child("ReferenceWhileOpen", "\"" + folder_.file(kDlgExDll) + "\" \"" + start_ + "\""), 0u)
      << "the step that failed in the dialog's process";
}

TEST_F(DlgExLifetime, ADialogKeepsItsCharacterKindAndItsLastMessageReachesTheProcedureUnderOurs) {
  Hook();
  for (const char* kind : {"W", "A"}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Child("DialogKindAndLastMessage", std::string(kind) + " \"" + start_ + "\""), 0u);
  }
}

#if defined(__x86_64__)
TEST_F(DlgExLifetime, TheProceduresExitsAreEpiloguesTheUnwinderKnows) {
  Hook();
  EXPECT_EQ(Child("EntryUnwindsAtEachExit", "\"" + start_ + "\""), 0u) << "the step that failed in the dialog's process";
}
#endif

TEST_F(DlgExLifetime, ADialogDestroyedFromInsideItsOwnMessageDropsTheReferenceOnceAfterThatMessage) {
  Hook();
  EXPECT_EQ(Child("DestroyedFromInsideAMessage", "\"" + folder_.file(kDlgExDll) + "\" \"" + start_ + "\""), 0u)
      << "the step that failed in the dialog's process";
}

TEST_F(DlgExLifetime, AMessageSentDuringTheLastOneStillReachesTheProcedureUnderOurs) {
  Hook();
  EXPECT_EQ(Child("MessageDuringTheLastOne", "\"" + start_ + "\""), 0u) << "the step that failed in the dialog's process";
}

// Two hundred Open dialogs, each opened and closed, once plain (no hook) and
// once extended: the extended ones leave no more GDI and USER objects in use
// and no more heap behind than Wine's own dialog does, give or take a small
// allowance (Wine's caches move a little). Wine's dialog itself keeps one
// USER object per dialog, which is why the plain run is the measure.
// Each figure is judged by its least growth over a batch of 50 dialogs, which
// growth of Wine's own now and then does not blur (a leak grows every batch,
// a cache now and then), and the heap also by the count of blocks of each
// size (a block left per dialog is 200 more of its size, however small).
TEST_F(DlgExLeaks, TwoHundredExtendedDialogsLeaveNoMoreBehindThanPlainOnes) {
  Write(info_, Listing(listed_));
  struct Run {
    long gdi0 = 0, user0 = 0, gdi1 = 0, user1 = 0;
    unsigned long long heap0 = 0, heap1 = 0;
    long long batch[3][kBatches] = {};  // GDI objects, USER objects, heap bytes
    std::vector<std::pair<unsigned long, long>> blocks;  // size, change of its count
    DWORD took = 0;
    long gdi() const { return gdi1 - gdi0; }
    long user() const { return user1 - user0; }
    long long heap() const { return static_cast<long long>(heap1) - static_cast<long long>(heap0); }
    long long least(int kind) const { return *std::min_element(batch[kind], batch[kind] + kBatches); }
    long blocksOf(unsigned long size) const {
      for (const auto& b : blocks) {
        if (b.first == size) return b.second;
      }
      return 0;
    }
  } runs[2];
  const char* kinds[2] = {"plain", "extended"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(kinds[i]);
    if (i == 1) Hook();
    const std::string report = folder_.file(std::string(kinds[i]) + ".txt");
    const DWORD start = GetTickCount();
    ASSERT_EQ(Child("ManyDialogs", "200 \"" + start_ + "\" \"" + report + "\" " + kinds[i], 240000), 0u);
    Run& r = runs[i];
    r.took = GetTickCount() - start;
    const std::string text = Read(report);
    const char* p = text.c_str();
    int used = 0;
    ASSERT_EQ(sscanf(p, "%ld %ld %llu %ld %ld %llu%n", &r.gdi0, &r.user0, &r.heap0, &r.gdi1, &r.user1, &r.heap1, &used),
              6);
    p += used;
    for (auto& kind : r.batch) {
      for (long long& b : kind) {
        ASSERT_EQ(sscanf(p, "%lld%n", &b, &used), 1);
        p += used;
      }
    }
    unsigned sizes = 0;
    ASSERT_EQ(sscanf(p, "%u%n", &sizes, &used), 1);
    p += used;
    for (unsigned k = 0; k < sizes; ++k) {
      unsigned long size = 0;
      long change = 0;
      ASSERT_EQ(sscanf(p, "%lu %ld%n", &size, &change, &used), 2);
      p += used;
      r.blocks.push_back({size, change});
    }
    ASSERT_TRUE(r.gdi0 >= 0 && r.user0 >= 0 && r.gdi1 >= 0 && r.user1 >= 0) << "no run of new slots came";
    std::printf("[ figures  ] 200 %s dialogs in %lu ms: GDI objects %ld -> %ld, USER objects (desktop) %ld -> %ld, "
                "heap %llu -> %llu bytes (%+lld; per 50 dialogs %+lld %+lld %+lld %+lld)\n",
                kinds[i], static_cast<unsigned long>(r.took), r.gdi0, r.gdi1, r.user0, r.user1, r.heap0, r.heap1, r.heap(),
                r.batch[2][0], r.batch[2][1], r.batch[2][2], r.batch[2][3]);
    std::printf("[ figures  ] per 50 %s dialogs: GDI %+lld %+lld %+lld %+lld, USER %+lld %+lld %+lld %+lld\n", kinds[i],
                r.batch[0][0], r.batch[0][1], r.batch[0][2], r.batch[0][3], r.batch[1][0], r.batch[1][1], r.batch[1][2],
                r.batch[1][3]);
  }
  const Run& plain = runs[0];
  const Run& extended = runs[1];
  RecordProperty("gdi_growth_over_plain", static_cast<int>(extended.gdi() - plain.gdi()));
  RecordProperty("user_growth_over_plain", static_cast<int>(extended.user() - plain.user()));
  RecordProperty("heap_growth_over_plain", std::to_string(extended.heap() - plain.heap()));
  RecordProperty("least_heap_growth_per_50_over_plain", std::to_string(extended.least(2) - plain.least(2)));
  // One object leaked per dialog would be 50 objects in every batch.
  EXPECT_LE(extended.least(0) - plain.least(0), 8) << "GDI objects";
  EXPECT_LE(extended.least(1) - plain.least(1), 8) << "USER objects";
  // Under 5 bytes per dialog: the smallest block a dialog could leave (our
  // state is 20 bytes on 32-bit) grows every batch by 1,000.
  EXPECT_LE(extended.least(2) - plain.least(2), 250) << "heap bytes";
  // A block of any size left by one dialog in ten fails.
  for (const auto& b : extended.blocks) {
    EXPECT_LE(b.second - plain.blocksOf(b.first), 20) << "blocks of " << b.first << " bytes";
  }
}

using DlgExCommands = DialogLifeTest;

TEST_F(DlgExCommands, AFolderThatIsGoneIsNotTypedAndTheUserIsTold) {
  const std::string gone = folder_.file("Gone");
  Write(info_, Listing(gone));
  Hook();
  for (const char* kind : {"S", "A"}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Command("gone", kind, start_, gone), 0u) << "the step that failed in the dialog's process";
    const std::vector<std::string> boxes = MessageBoxWatcher::Instance().Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The folder no longer exists:\n" + gone);
  }
  EXPECT_EQ(GetFileAttributesA(gone.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Read(info_), Listing(gone)) << "cancelled: nothing recorded";
}

TEST_F(DlgExCommands, AFolderSelectedInTheFileListDoesNotTakeOverTheJump) {
  ASSERT_TRUE(CreateDirectoryA((start_ + "\\Sub").c_str(), nullptr));
  Write(info_, Listing(listed_));
  Hook();
  EXPECT_EQ(Command("selected", "A", start_, listed_), 0u) << "the step that failed in the dialog's process";
}

TEST_F(DlgExCommands, AnAmpersandInAFolderNameIsShownAsItIsAndTheEntryStillChangesToIt) {
  const std::string amp = folder_.file("R&D");
  ASSERT_TRUE(CreateDirectoryA(amp.c_str(), nullptr));
  Write(info_, Listing(amp));
  Hook();
  EXPECT_EQ(Command("amp", "A", start_, amp, "&1 " + folder_.file("R&&D")), 0u);
}

TEST_F(DlgExCommands, ARelativeFolderIsNotTypedAndTheUserIsTold) {
  // The child's current folder holds "Listed", the dialog's does not: a Save
  // given "Listed" would write a file of that name where the dialog is.
  Write(info_, Listing("Listed"));
  Hook();
  EXPECT_EQ(Command("gone", "S", start_, "Listed", folder_.path()), 0u) << "the step that failed in the dialog's process";
  const std::vector<std::string> boxes = MessageBoxWatcher::Instance().Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "The folder no longer exists:\nListed");
  EXPECT_EQ(GetFileAttributesA((start_ + "\\Listed").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DlgExCommands, AnotherSystemCommandInOurIdRangeReachesTheDialog) {
  Write(info_, Listing(listed_));
  Hook();
  EXPECT_EQ(Child("OtherSystemCommand", "\"" + start_ + "\""), 0u) << "the step that failed in the dialog's process";
  EXPECT_TRUE(MessageBoxWatcher::Instance().Take().empty());
}

TEST_F(DlgExCommands, TheDialogsOwnCommandsInOurIdRangeStillReachIt) {
  Write(info_, Listing(listed_));
  Hook();
  EXPECT_EQ(Command("up", "A", start_, listed_, folder_.path()), 0u) << "Up one level did not go up";
}

TEST_F(DlgExCommands, SeveralFilesChosenRecordTheirFolderItself) {
  for (const char* name : {"a.txt", "b.txt"}) ASSERT_TRUE(WriteFileBytes(listed_ + "\\" + name, {'x'}));
  Write(info_, Listing(start_));
  Hook();
  EXPECT_EQ(Command("ok", "M", listed_, start_, "\\\"a.txt\\\" \\\"b.txt\\\""), 0u);
  const std::string text = Read(info_);
  EXPECT_EQ(lstrcmpiA(text.c_str(), ("; Folder History\r\nDirHist | " + listed_ + "\r\nDirHist | " + start_ +
                                     "\r\n\r\n; Folder Shortcut\r\n").c_str()), 0)
      << text;
}

TEST_F(DlgExCommands, AnApplicationBufferTooSmallForTheChoiceRecordsNothing) {
  ASSERT_TRUE(WriteFileBytes(listed_ + "\\a-file-name-longer-than-the-buffer.txt", {'x'}));
  Write(info_, Listing(start_));
  Hook();
  EXPECT_EQ(Command("ok", "T", listed_, start_, "a-file-name-longer-than-the-buffer.txt"), 0u);
  EXPECT_EQ(Read(info_), Listing(start_));
}

// Run with CreateProcess rather than as a watched child: the child answers the
// message box itself, once the second dialog is open.
TEST_F(DlgExCommands, ADialogsMenusListWhatItsOwnReadingFoundWhileAnotherDialogOpens) {
  Hook();
  const std::string cmd = "\"" + folder_.file("quillo_wine_tests.exe") + "\" --child MenusWhileAnotherDialogOpens \"" +
                          info_ + "\" \"" + start_ + "\" \"" + listed_ + "\" \"" + folder_.file("Later") + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.path().c_str(), &si, &pi));
  DWORD code = 99;
  EXPECT_TRUE(WaitWhilePumping([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 60000));
  if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_EQ(code, 0u) << "the step that failed in the dialogs' process";
}

}  // namespace
}  // namespace quillo::wine
