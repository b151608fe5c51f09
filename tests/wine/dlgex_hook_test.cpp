// The file-dialog extension's call-window hook, installed for real: it is
// loaded into another program and that program keeps working.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <string>

#include "quillo_dlgex.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

bool ProcessHasModule(DWORD pid, const char* module) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snap == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 me = {};
  me.dwSize = sizeof me;
  bool found = false;
  for (BOOL ok = Module32First(snap, &me); ok && !found; ok = Module32Next(snap, &me)) {
    found = lstrcmpiA(me.szModule, module) == 0;
  }
  CloseHandle(snap);
  return found;
}

struct FoundWindow {
  DWORD pid;
  HWND hwnd;
};

BOOL CALLBACK FindTopWindowOf(HWND hwnd, LPARAM param) {
  auto* f = reinterpret_cast<FoundWindow*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == f->pid && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr) {
    f->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

TEST(DlgExHook, InstalledHookReachesNotepadWhichStillWorks) {
  // A window of ours for the extension to report to.
  HWND resident = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "resident", WS_OVERLAPPED, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(resident, nullptr);
  ASSERT_EQ(SetDlgHookProc(resident), 1);
  ASSERT_NE(g_hCallWndHook, nullptr);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  char cmd[] = "notepad.exe";
  ASSERT_TRUE(CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  FoundWindow notepad{pi.dwProcessId, nullptr};
  EXPECT_TRUE(WaitFor([&] {
    EnumWindows(FindTopWindowOf, reinterpret_cast<LPARAM>(&notepad));
    return notepad.hwnd != nullptr;
  }));
  if (notepad.hwnd != nullptr) {
    // Messages sent to notepad run the hook inside notepad's process.
    HWND edit = FindWindowExA(notepad.hwnd, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("still works"));
    char text[64] = {};
    SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "still works");
    EXPECT_TRUE(WaitFor([&] { return ProcessHasModule(pi.dwProcessId, kDlgExDll); }, 5000));
    // The probe does tell modules apart: the hook library has no hook installed here.
    EXPECT_FALSE(ProcessHasModule(pi.dwProcessId, kHookDll));
  }
  EXPECT_TRUE(UnhookWindowsHookEx(g_hCallWndHook));
  g_hCallWndHook = nullptr;
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  DestroyWindow(resident);
}

}  // namespace
}  // namespace quillo::wine
