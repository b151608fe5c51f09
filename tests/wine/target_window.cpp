#include "target_window.h"

#include <utility>

#include "wine_support.h"

namespace quillo::wine {
namespace {

LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL,
                      10, 10, 360, 200, hwnd, reinterpret_cast<HMENU>(kTargetEditId), nullptr, nullptr);
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(hwnd, kTargetEditId));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

struct MenuSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMenuOf(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<MenuSearch*>(param);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (lstrcmpA(cls, "#32768") == 0 && IsWindowVisible(hwnd) && pid == s->pid) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindFileDialogOf(HWND hwnd, LPARAM param) {
  auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  // The "look in" box (1137) is the file dialog's own.
  if (pid != found->first || !IsWindowVisible(hwnd) || GetDlgItem(hwnd, 1137) == nullptr) return TRUE;
  found->second = hwnd;
  return FALSE;
}

}  // namespace

HWND FileDialogOf(DWORD pid) {
  std::pair<DWORD, HWND> found{pid, nullptr};
  EnumWindows(FindFileDialogOf, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

QUILLO_CHILD(EditTarget) {
  (void)args;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TargetProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kTargetClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, kTargetClass, kTargetTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                              260, nullptr, nullptr, wc.hInstance, nullptr);
  if (hwnd == nullptr) return 2;
  SetForegroundWindow(hwnd);
  SetFocus(GetDlgItem(hwnd, kTargetEditId));
  return RunTargetLoop(hwnd);
}

int RunTargetLoop(HWND hwnd) {
  SetTimer(hwnd, 1, 60000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == hwnd) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

void Key(BYTE vk, bool up) { keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0); }

void Tap(BYTE vk) {
  Key(vk);
  Key(vk, true);
}

void TypeText(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    const SHORT scan = VkKeyScanA(*p);
    const bool shift = (HIBYTE(scan) & 1) != 0;
    if (shift) Key(VK_SHIFT);
    Tap(LOBYTE(scan));
    if (shift) Key(VK_SHIFT, true);
  }
}

void MouseAt(int x, int y, DWORD down, DWORD up) {
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  const DWORD ax = static_cast<DWORD>(MulDiv(x, 65536, cx) + 1), ay = static_cast<DWORD>(MulDiv(y, 65536, cy) + 1);
  constexpr DWORD kAt = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  mouse_event(kAt, ax, ay, 0, 0);
  // Each button event carries the place too: under Wine a pointer event that
  // another program's thread reads late from the X server can put the pointer
  // back where it was between the move and the buttons, and a press and
  // release that land apart click nothing.
  if (down != 0) mouse_event(kAt | down, ax, ay, 0, 0);
  if (up != 0) mouse_event(kAt | up, ax, ay, 0, 0);
}

HWND OpenMenuOf(DWORD pid) {
  MenuSearch s{pid, nullptr};
  EnumWindows(FindMenuOf, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::string WindowText(HWND hwnd) {
  char text[4096] = {};
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

}  // namespace quillo::wine
