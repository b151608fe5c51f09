#include "app_routines_win.h"

#include "message_box_win.h"

namespace quillo {

int QuilloMessageBox(UINT id, UINT type, const char* arg) {
  char probe[8];
  if (LoadStringA(GetModuleHandleA(nullptr), id, probe, sizeof probe) <= 0) return IDCANCEL;
  return ShowQuilloMessage(GetModuleHandleA(nullptr), id, type, arg);
}

bool Wait(DWORD ms) {
  if (ms == 0) return true;
  const DWORD start = GetTickCount();
  // Unsigned difference: right across the tick counter's wrap.
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is ending (Exit, or the end of the session, arrived
        // while we wait): hand the quit back to the message loop, which would
        // never see it otherwise and keep the program running without a window.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    // Yield the rest of the time slice: a spinning wait would starve the very
    // program that is meant to receive our keys on a one-core machine.
    Sleep(0);
  }
  return true;
}

void HandBackForeground() {
  if (!Wait(300)) return;
  keybd_event(VK_MENU, 0, 0, 0);
  keybd_event(VK_ESCAPE, 0, 0, 0);
  keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  Wait(400);
}

}  // namespace quillo
