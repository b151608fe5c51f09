// The extension's system-wide call-window hook. It is installed by the
// resident program and runs inside every process that sends a message.
#include <windows.h>
#include <commdlg.h>

#include "dialog_record.h"
#include "foreign_calls.h"
#include "folder_menu_win.h"
#include "quillo_dlgex.h"
#include "quillo_messages.h"
#include "shared_block.h"

namespace quillo::dlgex {
extern HINSTANCE g_hInstance;

namespace {

// Kept in the shared block for the resident program's sake. The record walk
// does not go by it: a system's class does not tell which common-dialog
// library (its own, or Wine's) made the dialog, so each layout is tried.
int PlatformClass() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&v)) return 3;
#pragma GCC diagnostic pop
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) return v.dwMajorVersion == 4 ? 2 : 3;
  if (v.dwMinorVersion < 10) return 0;
  if (v.dwMinorVersion < 90) return 1;
  return 4;
}

}  // namespace

bool IsAccessible(const void* p, size_t size, bool write) noexcept {
  if (p == nullptr) return false;
  auto at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t end = at + size;
  if (end < at) return false;
  while (at < end) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if ((info.Protect & (write ? writable : readable)) == 0) return false;
    const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= at) return false;
    at = regionEnd;
  }
  return true;
}

namespace {

// The sizes an application may give its OPENFILENAME (A and W agree): the
// record before and after the fields added for Windows 2000.
bool IsRecordSize(DWORD size) {
  return size == sizeof(OPENFILENAMEA) || size == OPENFILENAME_SIZE_VERSION_400A;
}

const OPENFILENAMEA* CheckedRecord(const void* candidate) {
  if (!IsAccessible(candidate, OPENFILENAME_SIZE_VERSION_400A, true)) return nullptr;
  const auto* ofn = static_cast<const OPENFILENAMEA*>(candidate);
  if (!IsRecordSize(ofn->lStructSize) || !IsAccessible(ofn, ofn->lStructSize, true)) return nullptr;
  if (ofn->hwndOwner != nullptr && !IsWindow(ofn->hwndOwner)) return nullptr;
  // An old-style dialog with a hook of the application's own is left alone.
  if ((ofn->Flags & OFN_EXPLORER) == 0 && (ofn->Flags & OFN_ENABLEHOOK) != 0) return nullptr;
  return ofn;
}

bool ReadableForWalk(const void* p, size_t size, void*) { return IsAccessible(p, size, false); }
bool IsRecordForWalk(const void* candidate, void*) { return CheckedRecord(candidate) != nullptr; }

// The application's record behind the dialog's creation data: each layout a
// common-dialog library is known to use is tried (see dialog_record.h).
const OPENFILENAMEA* FindRecord(LPARAM param) {
  const RecordProbe probe{ReadableForWalk, IsRecordForWalk, nullptr};
  return static_cast<const OPENFILENAMEA*>(FindDialogRecord(reinterpret_cast<const void*>(param), probe));
}

bool HasControl(HWND dlg, int id, const char* cls, const char* alternative = nullptr) {
  HWND control = GetDlgItem(dlg, id);
  if (control == nullptr) return false;
  char name[32] = {};
  if (GetClassNameA(control, name, sizeof name) == 0) return false;
  return lstrcmpiA(name, cls) == 0 || (alternative != nullptr && lstrcmpiA(name, alternative) == 0);
}

const OPENFILENAMEA* FileDialogRecord(HWND dlg, LPARAM param) {
  if (param == 0) return nullptr;
  if (!HasControl(dlg, 1137, "COMBOBOX")) return nullptr;
  // Wine's file-name field 1148 is a ComboBoxEx32 around the combo box.
  const bool fileName = GetDlgItem(dlg, 1152) != nullptr ? HasControl(dlg, 1152, "EDIT")
                                                          : HasControl(dlg, 1148, "COMBOBOX", "ComboBoxEx32");
  if (!fileName || !HasControl(dlg, 1136, "COMBOBOX")) return nullptr;
  return FindRecord(param);
}

// This process installed the hook (the resident program or the companion of
// the other bitness): dialogs of other programs may be reported here too.
bool g_installedHere = false;

// Whether a dialog's creation reaches us on behalf of another program
// (foreign_calls.h): its window, and the record behind it, are not ours.
bool OnBehalfOfAnother(HWND dialog) {
  if (!g_installedHere) return false;
  DWORD process = 0;
  if (dialog != nullptr) GetWindowThreadProcessId(dialog, &process);
  return IsCallOnBehalfOfAnother(true, GetCurrentProcessId(), process);
}

// Asks the resident program whether this program is on its skip list. No
// answer (no resident window, no atom, a resident program that does not
// answer within the time) means "not skipped"; the wait is bounded, so a hung
// resident program cannot hang the dialog's program.
bool IsSkippedProgram() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  path[255] = '\0';  // an atom holds 255 characters at most
  HWND resident = quillo::DlgResidentWindow();
  if (resident == nullptr) return false;
  const ATOM atom = GlobalAddAtomA(path);
  if (atom == 0) return false;
  DWORD_PTR answer = 0;
  const LRESULT sent = SendMessageTimeoutA(resident, quillo::kMsgSkipQuery, atom, 0,
                                           SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &answer);
  GlobalDeleteAtom(atom);
  return sent != 0 && answer != 0;
}

LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  // Most messages leave after two comparisons; only a dialog's creation is looked at.
  if (code == HC_ACTION && quillo::SharedBlockReady() && !g_bSuspendDirHist) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (msg != nullptr && msg->message == WM_INITDIALOG && !OnBehalfOfAnother(msg->hwnd)) {
      const OPENFILENAMEA* record = FileDialogRecord(msg->hwnd, msg->lParam);
      if (record != nullptr && !IsSkippedProgram()) ExtendDialog(msg->hwnd, record);
    }
  }
  return CallNextHookEx(g_hCallWndHook, code, wParam, lParam);
}

}  // namespace
}  // namespace quillo::dlgex

HHOOK SetDlgThreadHook(DWORD threadId) {
  using namespace quillo::dlgex;
  if (threadId == 0) return nullptr;
  g_installedHere = true;
  return SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, g_hInstance, threadId);
}

BOOL SetDlgHookProc(HWND resident) {
  using namespace quillo::dlgex;
  g_installedHere = true;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, g_hInstance, 0);
  if (hook == nullptr) return 0;
  g_hCallWndHook = hook;
  DWORD process = 0;
  GetWindowThreadProcessId(resident, &process);
  ::quillo::Shared().residentProcessId = process;
  g_hwndResident = resident;
  g_nPlatformClass = PlatformClass();
  return 1;
}
