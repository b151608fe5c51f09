#include "app_routines_win.h"

#include <commdlg.h>

#include <new>

#include "message_box_win.h"

namespace quillo {

int ShowOwnMessage(HINSTANCE module, UINT id, UINT type, const char* arg, const char* extraLine) {
  HWND owner = GetForegroundWindow();
  DWORD pid = 0;
  if (owner != nullptr && (GetWindowThreadProcessId(owner, &pid) == 0 || pid != GetCurrentProcessId())) {
    // Another program's window (the task bar, say) would be disabled while
    // the box is up, and stay so if we ended meanwhile: no owner, and the box
    // goes above the program in front so that the user still sees it.
    owner = nullptr;
    type |= MB_TOPMOST | MB_SETFOREGROUND;
  }
  return ShowQuilloMessageOwnedBy(owner, module, id, type, arg, extraLine);
}

int QuilloMessageBox(UINT id, UINT type, const char* arg) {
  char probe[8];
  if (LoadStringA(GetModuleHandleA(nullptr), id, probe, sizeof probe) <= 0) return IDCANCEL;
  return ShowOwnMessage(GetModuleHandleA(nullptr), id, type, arg);
}

int QuilloMessageBoxWithLine(UINT id, const char* extraLine) {
  return ShowOwnMessage(GetModuleHandleA(nullptr), id, MB_OK | MB_ICONEXCLAMATION, nullptr, extraLine);
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

bool AskFileName(HWND owner, bool save, const char* title, const char* filter, const char* defaultExt,
                 const std::string& initialDir, const std::string& fileName, std::string& chosen) {
  char file[MAX_PATH] = {};
  lstrcpynA(file, fileName.c_str(), MAX_PATH);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = defaultExt;
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  chosen = file;
  return true;
}

}  // namespace quillo
