// QuilloCompanion.exe: on 64-bit Windows the 64-bit resident program starts
// this 32-bit process, whose one job is to hold the global hooks of the 32-bit
// libraries, so that 32-bit programs load them too. It shows nothing, and
// lives exactly as long as its owner wants it.
#include <windows.h>

#include <cstdint>

#include "companion_args.h"
#include "companion_resource.h"
#include "handles_win.h"
#include "message_box_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "quillo_messages.h"

namespace quillo::companion {
namespace {

// Every hook of this flavor that is in, out again.
void RemoveHooks() {
  if (g_hKeyHook) UnhookWindowsHookEx(g_hKeyHook);
  g_hKeyHook = nullptr;
  if (g_hMouseHook) UnhookWindowsHookEx(g_hMouseHook);
  g_hMouseHook = nullptr;
  if (g_hSysMsgHook) UnhookWindowsHookEx(g_hSysMsgHook);
  g_hSysMsgHook = nullptr;
  if (g_hCallWndHook) UnhookWindowsHookEx(g_hCallWndHook);
  g_hCallWndHook = nullptr;
}

// Why the loop ended.
enum class End { kOwnerGone, kQuit, kFailed };

// The system calls the hooks on behalf of 64-bit programs on this thread, by
// messages it sends here: the thread must never block for long, so it waits
// for the owner's end and for messages alike.
End PumpUntilOwnerEnds(HANDLE owner) {
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &owner, FALSE, INFINITE, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return End::kOwnerGone;
    if (r != WAIT_OBJECT_0 + 1) return End::kFailed;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return End::kQuit;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

int Run(HINSTANCE instance, const char* commandLine) {
  CompanionArgs args;
  switch (ParseCompanionArgs(commandLine, args)) {
    case ArgsResult::kOk:
      break;
    case ArgsResult::kEmpty:
      // Someone opened the file from the program folder: tell them what
      // to start instead. Any other command line is a script's mistake.
      ShowQuilloMessageOwnedBy(nullptr, instance, IDS_STARTED_BY_OWNER, MB_OK | MB_ICONINFORMATION);
      return kExitUsage;
    case ArgsResult::kBad:
      return kExitUsage;
  }
  // Two companions would install every hook twice: every trigger would
  // fire twice in each 32-bit program.
  UniqueHandle mutex(CreateMutexA(nullptr, FALSE, kCompanionMutex));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return kExitAlreadyRunning;

  UniqueHandle owner(OpenProcess(SYNCHRONIZE, FALSE, args.ownerPid));
  if (!owner || WaitForSingleObject(owner.get(), 0) != WAIT_TIMEOUT) return kExitNoOwner;
  // A number that names some other program's window would make the hooks
  // send that program our requests.
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(args.window));
  DWORD windowPid = 0;
  if (GetWindowThreadProcessId(window, &windowPid) == 0 || windowPid != args.ownerPid) return kExitNoOwner;

  // The queue exists before the first hook is in, so that the owner's quit
  // message, and the calls the system forwards, find it.
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  if (SetHookProc(window) == 0 || SetDlgHookProc(window) == 0) {
    RemoveHooks();
    return kExitNoHooks;
  }
  if (!PostMessageA(window, kMsgCompanionReady, static_cast<WPARAM>(GetCurrentProcessId()), 0)) {
    RemoveHooks();
    return kExitNotHeard;
  }
  const End end = PumpUntilOwnerEnds(owner.get());
  RemoveHooks();
  // The 32-bit library stays loaded in 32-bit programs: once the owner is
  // gone, it must not post to a handle the system may give to another
  // window. While the owner lives (it restarts us) the handle stays.
  if (end != End::kFailed && g_hwndQuillo == window) g_hwndQuillo = nullptr;
  return end == End::kFailed ? kExitNoOwner : kExitDone;
}

}  // namespace
}  // namespace quillo::companion

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return quillo::companion::Run(instance, commandLine);
}
