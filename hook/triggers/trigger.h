// The trigger rules of the keyboard, mouse and message-filter hooks: when a
// double release of Shift or Ctrl, a key of a Japanese keyboard, the right Ctrl
// key, a shortcut key or a right click on a title bar shows one of our menus,
// and which input the hooks swallow.
//
// The hook procedures are adapters: they decode their arguments into the plain
// events below, take a snapshot of the settings they need from the shared block,
// call the handler, and pass the event on with CallNextHookEx unless the handler
// says it is swallowed. Everything the handler needs from the system (key state,
// tick count, showing a menu, synthesised keys, the macro recorder) comes through
// TriggerHost, so the rules run natively in tests with fake input and a fake clock.
//
// The handler runs for every input event of the desktop. A non-trigger event
// costs a few comparisons, at most one clock read and a few key-state reads; it
// allocates nothing and never talks to another process.
#pragma once

#include <cstdint>

#include "delivery.h"  // KeyOutput
#include "quillo_records.h"

namespace quillo::hook {

// Virtual keys the rules look at.
constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkControl = 0x11;
constexpr uint32_t kVkAlt = 0x12;  // VK_MENU
constexpr uint32_t kVkSpace = 0x20;
constexpr uint32_t kVkPauseBreak = 0x13;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkPacket = 0xE7;  // a character typed as itself (KEYEVENTF_UNICODE)
constexpr uint32_t kVkF1 = 0x70;
constexpr uint32_t kVkHenkan = 0x1C;    // VK_CONVERT
constexpr uint32_t kVkMuhenkan = 0x1D;  // VK_NONCONVERT
constexpr uint32_t kVkHiragana = 0xF2;

// A second release of Shift or Ctrl less than this many milliseconds after the
// first one is a double press.
constexpr uint32_t kDoublePressMs = 500;

// Hook codes and messages (the values of the system headers, which this file
// does not include).
constexpr int kHcAction = 0;
constexpr int kMsgfDialogBox = 0;
constexpr int kMsgfMenu = 2;
constexpr uint32_t kWmKeyDown = 0x100;
constexpr uint32_t kWmInitMenuPopup = 0x117;
constexpr uint32_t kWmMenuSelect = 0x11F;
constexpr uint32_t kWmMenuChar = 0x120;
constexpr uint32_t kWmLButtonUp = 0x202;
constexpr uint32_t kWmRButtonUp = 0x205;
constexpr uint32_t kWmNcRButtonDown = 0xA4;
constexpr uint32_t kWmNcRButtonUp = 0xA5;
constexpr uint32_t kWmNcRButtonDblClk = 0xA6;
constexpr int32_t kHtCaption = 2;

// The menus a trigger can ask for (the kinds of ShowMenu).
enum class MenuKind : int { kCustom = 1, kStack = 2, kChooser = 3, kBoth = 4 };

// What the hook procedure does with the event afterwards.
enum class HookVerdict { kPassOn, kSwallow };

// One keyboard hook call: the virtual key from wParam and the keystroke flags
// from lParam.
struct KeyEvent {
  uint32_t vk = 0;
  uint32_t flags = 0;     // lParam as it came: repeat count, scan code, flags
  bool released = false;  // bit 31: the key is going up
  bool repeat = false;    // bit 30: the key was already down (auto-repeat)
  bool extended = false;  // bit 24: extended key (the right Ctrl, arrows, ...)
};
KeyEvent DecodeKeyEvent(uint32_t wParam, uint32_t lParam) noexcept;

// One mouse hook call: the message from wParam and the fields of the mouse hook
// record that lParam points to.
struct MouseEvent {
  uint32_t message = 0;
  int32_t x = 0;  // screen point
  int32_t y = 0;
  uintptr_t window = 0;  // the window under the pointer, opaque here
  int32_t hitTest = 0;
};

// One message-filter hook call: the fields of the message lParam points to.
struct FilterMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  uintptr_t lParam = 0;  // for a key: repeat count, scan code, flags
};

// The fields of the shared settings block the hooks read, copied by the adapter
// for each event so that the rules see one consistent set of plain values.
struct TriggerSettings {
  bool suspend = false;    // g_bSuspend
  bool onDlgDisp = false;  // g_bOnDlgDisp
  bool recording = false;  // g_bRecording
  bool playing = false;    // g_bPlaying
  bool typing = false;     // g_bTyping
  bool recMouse = false;   // g_bRecMouse
  int32_t stackKey = kTriggerNone;  // g_nStackKey
  uint16_t stackVk = 0;             // g_wStackKey
  uint16_t stackMod = 0;            // g_wStackMod
  int32_t changeKey = kTriggerNone;  // g_nChangeKey
  uint16_t changeVk = 0;             // g_wChangeKey
  uint16_t changeMod = 0;            // g_wChangeMod
  int32_t titleMenu = 0;             // g_nTitleMenu
  // g_CustomMenuSet (kMenuFileSetCount entries), read in place rather than
  // copied: only a few fields of each entry matter, and copying 2680 bytes per
  // key event would be the most expensive thing on the path. Null = no entries.
  const MenuFileSet* menuSet = nullptr;
};

// The per-process memory of the rules. One instance per process, kept in place:
// a menu is tracked from inside the handler and its modal loop re-enters the
// handler on the same thread, so the state must never be copied in and out.
struct TriggerState {
  uint32_t lastShiftRelease = 0;  // tick counts, 0 = none
  uint32_t lastCtrlRelease = 0;
  bool titleClickPassThrough = false;
  // A menu or message opened by a trigger is still open: its modal loop is
  // running inside the hook call that opened it.
  bool showing = false;
  // The virtual key of a Pause or Escape that stopped typing, until its
  // release: typing ends at the press, and the release must not reach the
  // program alone.
  uint32_t stopKeyHeld = 0;
};

// What the handler needs from the system. Every call is made on the hook's
// thread; none may throw. The key output half (keybd_event, SuspendRec and
// ResumeRec) is shared with text delivery.
class TriggerHost : public KeyOutput {
 public:
  // GetKeyState(vk) < 0.
  virtual bool IsKeyDown(uint32_t vk) noexcept = 0;
  // GetTickCount().
  virtual uint32_t TickCount() noexcept = 0;

  // Shows a menu and returns when it has closed (the menu is tracked modally).
  // `entry` is the menu-file set entry for kCustom; `atMouse` forces the mouse
  // pointer as the position for this display.
  virtual void ShowMenu(MenuKind kind, int entry, bool atMouse) noexcept = 0;

  // Per-process state owned by the menus and dialogs of the library.
  virtual bool IsTrackingMenu() noexcept = 0;
  virtual int HelpTopic() noexcept = 0;  // 0 = none of our dialogs is open
  virtual void SetChoiceMode(int mode) noexcept = 0;
  virtual void OpenHelp(int topic) noexcept = 0;

  // GetWindowTextA into a 256-byte buffer gave a non-empty title.
  virtual bool HasWindowTitle(uintptr_t window) noexcept = 0;

  // Macro recording and playback. The recorder and the Pause check (which
  // also ends recording or playing) live with the macro code; the hooks only
  // hand the events over.
  virtual void AdjustRecordSuspension(int delta) noexcept = 0;  // g_nRecSuspend += delta
  virtual void RecordKey(const KeyEvent& event) noexcept = 0;
  virtual void CheckPauseWhilePlaying(const KeyEvent& event) noexcept = 0;
  virtual void RecordMouse(const MouseEvent& event) noexcept = 0;

  // Asks the text being typed to stop (g_bStopTyping = 1).
  virtual void StopTyping() noexcept = 0;
  // One typed key event reached this program (g_nTypedKeysTaken += 1).
  virtual void CountTypedKey() noexcept = 0;

 protected:
  ~TriggerHost() = default;
};

// The rules of the three hook procedures. `code` is the hook code as the
// procedure received it; any event the handler does not swallow must be passed
// on with CallNextHookEx.
class TriggerHandler {
 public:
  TriggerHandler(TriggerHost& host, TriggerState& state) noexcept : host_(host), state_(state) {}

  HookVerdict OnKeyboard(int code, const KeyEvent& event, const TriggerSettings& settings) noexcept;
  HookVerdict OnMouse(int code, const MouseEvent& event, const TriggerSettings& settings) noexcept;
  HookVerdict OnMessageFilter(int code, const FilterMessage& msg) noexcept;

 private:
  // Returns true when the event is a matched shortcut key.
  bool DetectTrigger(const KeyEvent& event, const TriggerSettings& settings) noexcept;
  void OnModifierRelease(uint32_t& lastRelease, int32_t plainCode, int32_t altCode, uint32_t now,
                         const TriggerSettings& settings) noexcept;
  void Fire(int32_t code, const TriggerSettings& settings) noexcept;
  bool MatchShortcut(uint32_t vk, const TriggerSettings& settings) noexcept;
  void Show(MenuKind kind, int entry, bool atMouse) noexcept;
  uint16_t CurrentModifiers() noexcept;

  TriggerHost& host_;
  TriggerState& state_;
};

}  // namespace quillo::hook
