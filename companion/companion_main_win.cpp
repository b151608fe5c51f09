// QuilloCompanion.exe: on 64-bit Windows the 64-bit resident program starts
// this 32-bit process, whose one job is to hook the threads of 32-bit programs
// with the 32-bit libraries, so that 32-bit programs load them too. It shows
// nothing, and lives exactly as long as its owner wants it.
#include <windows.h>

#include <cstdint>

#include "companion_args.h"
#include "companion_resource.h"
#include "thread_hooks_win.h"
#include "handles_win.h"
#include "message_box_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "quillo_messages.h"

namespace quillo::companion {
namespace {

// How often the companion looks for new windows of 32-bit programs. A window
// that opens and takes a key within this time may miss that first key.
constexpr DWORD kRefreshMs = 150;

// The hooks on the threads of 32-bit programs; large, so not on the stack.
ThreadHooks g_threadHooks;

// Why the loop ended.
enum class End { kOwnerGone, kQuit, kFailed };

// The thread keeps pumping while it waits for the owner's end and for the
// next look at the windows: hook calls and the owner's quit message arrive as
// messages.
End PumpUntilOwnerEnds(HANDLE owner) {
  DWORD last = GetTickCount();
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &owner, FALSE, kRefreshMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return End::kOwnerGone;
    if (GetTickCount() - last >= kRefreshMs) {
      g_threadHooks.Refresh();
      last = GetTickCount();
    }
    if (r == WAIT_TIMEOUT) continue;
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
  // Thread by thread, not system-wide: Wine cuts a system-wide chain short at
  // a hook of the other bitness, which would leave the owner's hooks dead in
  // every 64-bit program (see common/shared_state.md).
  // The hooks act on the session's shared block, which the owner made.
  if (!SharedBlockReady()) return kExitNoHooks;
  g_threadHooks.Refresh();
  if (!PostMessageA(window, kMsgCompanionReady, static_cast<WPARAM>(GetCurrentProcessId()), 0)) {
    g_threadHooks.RemoveAll();
    return kExitNotHeard;
  }
  const End end = PumpUntilOwnerEnds(owner.get());
  g_threadHooks.RemoveAll();
  // The 32-bit library stays loaded in 32-bit programs: once the owner is
  // gone, it must not post to a handle the system may give to another
  // window. While the owner lives (it restarts us) the handle stays.
  // Only when the owner is gone: a quit message, which any program can post,
  // must not take the window from a living owner's hooks.
  if (end == End::kOwnerGone && g_hwndQuillo == window) PublishResidentWindow(nullptr);
  return end == End::kFailed ? kExitNoOwner : kExitDone;
}

}  // namespace
}  // namespace quillo::companion

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return quillo::companion::Run(instance, commandLine);
}
