#include "macros/recorder_win.h"

#include <windows.h>

#include "macros/recorder.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "shared_block.h"

namespace quillo::hook {
namespace {

// How long a hooked application waits for the resident window to take one
// record. The send runs inside a foreign program's input handling: a resident
// program that hangs must cost it a lost record, never a frozen window.
constexpr UINT kRecordSendTimeoutMs = 1000;

class WinRecorderHost final : public RecorderHost {
 public:
  void SendRecord(const EventRecord& record) noexcept override {
    const HWND resident = ResidentWindow();
    if (resident == nullptr) return;  // lost without a report
    EventRecord copy = record;  // lives on this stack for the time of the send
    COPYDATASTRUCT data;
    data.dwData = kCopyDataEventRecord;
    data.cbData = sizeof copy;
    data.lpData = &copy;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(resident, WM_COPYDATA, reinterpret_cast<WPARAM>(GetForegroundWindow()),
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kRecordSendTimeoutMs, &result);
  }
  uint32_t TickCount() noexcept override { return GetTickCount(); }
  void Beep() noexcept override { MessageBeep(0xFFFFFFFF); }
  void PostStop() noexcept override {
    if (HWND resident = ResidentWindow()) PostMessageA(resident, WM_COMMAND, kCmdStopMacro, 0);
  }
};

WinRecorderHost g_recorderHost;

RecorderFields Fields() noexcept {
  return {&g_bRecording, &g_bPlaying,  &g_nRecSuspend, &g_nScreenCx,
          &g_nScreenCy,  &g_bRecKey,   &g_bRecMouse,   &g_bCutMouseMove};
}

}  // namespace

void RecordKeyWin(const KeyEvent& event) noexcept { RecordKey(event, Fields(), g_recorderHost); }
void CheckPauseWhilePlayingWin(const KeyEvent& event) noexcept {
  CheckPauseWhilePlaying(event, Fields(), g_recorderHost);
}
// The hook sees the pointer in the coordinates of the program under it, which
// are scaled (logical) ones for a program that is not DPI aware on a high-DPI
// screen. A recording is scaled against the screen size the resident program
// reads, in physical pixels: every point it keeps is made physical too. Looked
// up at run time: Windows before 8.1 lacks the call, and there every program
// shares one scale.
void ToPhysicalPoint(MouseEvent& event) noexcept {
  using Convert = BOOL(WINAPI*)(HWND, LPPOINT);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr || event.window == 0) return;
  const auto convert =
      reinterpret_cast<Convert>(reinterpret_cast<void*>(GetProcAddress(user32, "LogicalToPhysicalPointForPerMonitorDPI")));
  if (convert == nullptr) return;
  POINT pt{event.x, event.y};
  if (convert(reinterpret_cast<HWND>(event.window), &pt)) {
    event.x = pt.x;
    event.y = pt.y;
  }
}

void RecordMouseWin(const MouseEvent& event) noexcept {
  if (!g_bRecording) {
    RecordMouse(event, Fields(), g_recorderHost);
    return;
  }
  MouseEvent physical = event;
  ToPhysicalPoint(physical);
  RecordMouse(physical, Fields(), g_recorderHost);
}

}  // namespace quillo::hook

BOOL MacroRecording(BOOL flag) {
  using namespace quillo::hook;
  // The screen size is taken now, so mouse positions scale against the screen
  // the recording was made on.
  g_nScreenCx = GetSystemMetrics(SM_CXSCREEN);
  g_nScreenCy = GetSystemMetrics(SM_CYSCREEN);
  g_nRecSuspend = 0;
  g_bRecording = flag ? 1 : 0;
  return g_bRecording;
}

BOOL MacroPlaying(BOOL flag) {
  g_bPlaying = flag ? 1 : 0;
  return g_bPlaying;
}
