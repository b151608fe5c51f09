// The extension's system-wide call-window hook. It is installed by the
// resident program and runs inside every process that sends a message.
#include "quillo_dlgex.h"
#include "shared_block.h"

namespace quillo::dlgex {
extern HINSTANCE g_hInstance;

namespace {

// Only whether the system is Windows 95 (class 0) matters to the dialog code;
// the other values tell the later systems apart for completeness.
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

LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  // Every message goes on unchanged: the folder menus of the file dialogs
  // hang off this point, and until a dialog is recognised nothing else may
  // differ from a process without the extension.
  return CallNextHookEx(g_hCallWndHook, code, wParam, lParam);
}

}  // namespace
}  // namespace quillo::dlgex

BOOL SetDlgHookProc(HWND resident) {
  using namespace quillo::dlgex;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, g_hInstance, 0);
  if (hook == nullptr) return 0;
  g_hCallWndHook = hook;
  g_hwndResident = resident;
  g_nPlatformClass = PlatformClass();
  return 1;
}
