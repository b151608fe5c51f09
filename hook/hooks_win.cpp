// The keyboard, mouse and message-filter hook procedures. Each one is an
// adapter: it decodes its arguments, copies the few settings it needs from
// the shared block, lets the trigger rules decide, and passes the event on
// unless the rules swallow it.
//
// These procedures run for every input event of the desktop, inside whichever
// program reads the input. For an event that is no trigger the path is a few
// comparisons, at most one GetTickCount and a few GetKeyState: no allocation,
// no file, no message to another process. Keep it so.

#include "dialog_support_win.h"
#include "foreign_calls.h"
#include "macros/recorder_win.h"
#include "menus_win.h"
#include "paste_method_win.h"
#include "process_state.h"
#include "shared_block.h"
#include "trigger.h"

namespace quillo::hook {
namespace {

class WinTriggerHost final : public TriggerHost {
 public:
  bool IsKeyDown(uint32_t vk) noexcept override { return GetKeyState(static_cast<int>(vk)) < 0; }
  uint32_t TickCount() noexcept override { return GetTickCount(); }
  void ShowMenu(MenuKind kind, int entry, bool atMouse) noexcept override {
    // A resident program that died without removing its hooks (killed, or a
    // system that keeps a dead thread's hooks, as Wine does) leaves them
    // calling here: its settings are stale and nobody would take the choice.
    if (ResidentWindow() == nullptr) return;
    switch (kind) {
      case MenuKind::kCustom: ShowCustomMenu(entry, atMouse); break;
      case MenuKind::kStack: ShowStackMenu(atMouse); break;
      case MenuKind::kChooser: ShowMenuSetMenu(); break;
      case MenuKind::kBoth: ShowBothMenu(atMouse); break;
    }
  }
  bool IsTrackingMenu() noexcept override { return State().trackingMenu; }
  int HelpTopic() noexcept override { return State().helpTopic; }
  void SetChoiceMode(int mode) noexcept override { State().choiceMode = mode; }
  void OpenHelp(int topic) noexcept override { quillo::hook::OpenHelp(topic); }
  bool HasWindowTitle(uintptr_t window) noexcept override {
    char title[256];
    return GetWindowTextA(reinterpret_cast<HWND>(window), title, sizeof title) > 0;
  }
  // The counter changes arrive through the one system input stream, so they
  // are serial even though every process runs this code.
  void AdjustRecordSuspension(int delta) noexcept override { g_nRecSuspend += delta; }
  // Reached only while recording or playing (the handler looks at the flags).
  void RecordKey(const KeyEvent& event) noexcept override { RecordKeyWin(event); }
  void CheckPauseWhilePlaying(const KeyEvent& event) noexcept override { CheckPauseWhilePlayingWin(event); }
  void RecordMouse(const MouseEvent& event) noexcept override { RecordMouseWin(event); }
  void StopTyping() noexcept override { g_bStopTyping = 1; }
  void CountTypedKey() noexcept override {
    InterlockedIncrement(reinterpret_cast<volatile LONG*>(&g_nTypedKeysTaken));
  }
  void SendKey(uint8_t vk, bool up) noexcept override { keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0); }
  void SuspendRecording() noexcept override { SuspendRec(); }
  void ResumeRecording() noexcept override { ResumeRec(); }
};

// One per process. The handler re-enters on this thread while a menu it opened
// is tracked, so the state stays in place and is never copied.
WinTriggerHost g_host;
TriggerState g_triggerState;

TriggerSettings ReadSettings() {
  TriggerSettings s;
  s.suspend = g_bSuspend != 0;
  s.onDlgDisp = g_bOnDlgDisp != 0;
  s.recording = g_bRecording != 0;
  s.playing = g_bPlaying != 0;
  s.typing = TypingUnderWay();
  s.recMouse = g_bRecMouse != 0;
  s.stackKey = g_nStackKey;
  s.stackVk = g_wStackKey;
  s.stackMod = g_wStackMod;
  s.changeKey = g_nChangeKey;
  s.changeVk = g_wChangeKey;
  s.changeMod = g_wChangeMod;
  s.titleMenu = g_nTitleMenu;
  s.menuSet = g_CustomMenuSet;
  return s;
}

// Whether an event for `window` reaches us on behalf of another program
// (foreign_calls.h). Costs nothing outside the installing process.
bool OnBehalfOfAnother(HWND window) noexcept {
  if (!State().installedHere) return false;
  DWORD process = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &process);
  return IsCallOnBehalfOfAnother(true, GetCurrentProcessId(), process);
}

// The event this thread is passing on down the chain, while it does.
struct PassingOn {
  int kind;
  WPARAM wParam;
  LPARAM lParam;
};

// A call for the very event this thread is passing on from a call of ours:
// the chain holds our hooks twice (under Wine the hooks a companion put on a
// thread stay after it died, and the one started after it adds its own), and
// the event was handled already.
bool IsRepeat(int kind, WPARAM wParam, LPARAM lParam) noexcept {
  const DWORD slot = State().passingOnSlot;
  if (slot == TLS_OUT_OF_INDEXES) return false;
  const auto* outer = static_cast<const PassingOn*>(TlsGetValue(slot));
  return outer != nullptr && outer->kind == kind && outer->wParam == wParam && outer->lParam == lParam;
}

LRESULT PassOn(HHOOK hook, int kind, int code, WPARAM wParam, LPARAM lParam) noexcept {
  const DWORD slot = State().passingOnSlot;
  if (slot == TLS_OUT_OF_INDEXES) return CallNextHookEx(hook, code, wParam, lParam);
  PassingOn mine{kind, wParam, lParam};
  void* outer = TlsGetValue(slot);
  TlsSetValue(slot, &mine);
  const LRESULT result = CallNextHookEx(hook, code, wParam, lParam);
  TlsSetValue(slot, outer);
  return result;
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
  // Without the session's block (not made yet, or closed to this program)
  // there is nothing to act on.
  if (!SharedBlockReady() || IsRepeat(WH_KEYBOARD, wParam, lParam) || OnBehalfOfAnother(GetForegroundWindow())) {
    return CallNextHookEx(g_hKeyHook, code, wParam, lParam);
  }
  TriggerHandler handler(g_host, g_triggerState);
  const KeyEvent event = DecodeKeyEvent(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
  if (handler.OnKeyboard(code, event, ReadSettings()) == HookVerdict::kSwallow) return 1;
  return PassOn(g_hKeyHook, WH_KEYBOARD, code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && lParam != 0 && SharedBlockReady() && !IsRepeat(WH_MOUSE, wParam, lParam) &&
      !OnBehalfOfAnother(reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)->hwnd)) {
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    MouseEvent event;
    event.message = static_cast<uint32_t>(wParam);
    event.x = info->pt.x;
    event.y = info->pt.y;
    event.window = reinterpret_cast<uintptr_t>(info->hwnd);
    event.hitTest = static_cast<int32_t>(info->wHitTestCode);
    TriggerHandler handler(g_host, g_triggerState);
    if (handler.OnMouse(code, event, ReadSettings()) == HookVerdict::kSwallow) return 1;
    return PassOn(g_hMouseHook, WH_MOUSE, code, wParam, lParam);
  }
  return CallNextHookEx(g_hMouseHook, code, wParam, lParam);
}

LRESULT CALLBACK SysMsgProc(int code, WPARAM wParam, LPARAM lParam) {
  if (lParam != 0 && SharedBlockReady() && !IsRepeat(WH_SYSMSGFILTER, wParam, lParam) &&
      !OnBehalfOfAnother(reinterpret_cast<const MSG*>(lParam)->hwnd)) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    FilterMessage m;
    m.message = msg->message;
    m.wParam = static_cast<uintptr_t>(msg->wParam);
    m.lParam = static_cast<uintptr_t>(msg->lParam);
    TriggerHandler handler(g_host, g_triggerState);
    if (handler.OnMessageFilter(code, m) == HookVerdict::kSwallow) return 1;
    return PassOn(g_hSysMsgHook, WH_SYSMSGFILTER, code, wParam, lParam);
  }
  return CallNextHookEx(g_hSysMsgHook, code, wParam, lParam);
}

}  // namespace

}  // namespace quillo::hook

BOOL SetHookProc(HWND resident) {
  using namespace quillo::hook;
  const HINSTANCE instance = State().instance;
  // Set first: the hooks may be called here for other programs at once.
  State().installedHere = true;
  g_hKeyHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, instance, 0);
  g_hMouseHook = SetWindowsHookExA(WH_MOUSE, MouseProc, instance, 0);
  g_hSysMsgHook = SetWindowsHookExA(WH_SYSMSGFILTER, SysMsgProc, instance, 0);
  // Handles already obtained stay in the block for the resident program to
  // remove; the resident window is only published when all three exist.
  if (g_hKeyHook == nullptr || g_hMouseHook == nullptr || g_hSysMsgHook == nullptr) return 0;
  quillo::PublishResidentWindow(resident);
  return 1;
}

BOOL SetThreadHooks(DWORD threadId, HHOOK* hooks) {
  using namespace quillo::hook;
  if (hooks == nullptr || threadId == 0) return 0;
  const HINSTANCE instance = State().instance;
  State().installedHere = true;
  hooks[0] = SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, instance, threadId);
  hooks[1] = SetWindowsHookExA(WH_MOUSE, MouseProc, instance, threadId);
  // The system-wide message filter has no per-thread form: the thread's own
  // message filter sees the same menus and dialogs of that thread.
  hooks[2] = SetWindowsHookExA(WH_MSGFILTER, SysMsgProc, instance, threadId);
  if (hooks[0] != nullptr && hooks[1] != nullptr && hooks[2] != nullptr) return 1;
  for (int i = 0; i < 3; ++i) {
    if (hooks[i] != nullptr) UnhookWindowsHookEx(hooks[i]);
    hooks[i] = nullptr;
  }
  return 0;
}

// The recording suspension markers: a key event with virtual key 0 that the
// keyboard hook counts and swallows while a macro is recorded, so keys the
// program synthesises in between are kept out of the macro.
void SuspendRec() { keybd_event(0, 0, 0, 0); }
void ResumeRec() { keybd_event(0, 0, KEYEVENTF_KEYUP, 0); }
