#include "typing_keys_win.h"

#include <cstring>

namespace quillo::app {
namespace {

// A virtual key that no keyboard has and no program takes as a command: a
// key pressed between the user's press of Alt and our release of it, so
// that the release is not taken as Alt pressed alone, which opens the
// window's menu.
constexpr WORD kMaskKey = 0xE8;

// Not in every SDK's headers: ToUnicodeEx leaves the keyboard's dead-key
// state alone (Windows 10 1607 and later; ignored before).
constexpr UINT kToUnicodeKeepState = 0x4;

class EventWriter {
 public:
  EventWriter(INPUT* out, size_t capacity, ULONG_PTR extraInfo)
      : out_(out), capacity_(capacity), extraInfo_(extraInfo) {}
  void Add(WORD vk, WORD scan, DWORD flags) noexcept {
    if (count_ == capacity_) return;  // never: kMaxInputsPerStep bounds a step, and the caller gave as many
    INPUT& in = out_[count_++];
    std::memset(&in, 0, sizeof in);
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    in.ki.dwExtraInfo = extraInfo_;
  }
  void Key(WORD vk, HKL layout, bool up) noexcept {
    Add(vk, static_cast<WORD>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout)), up ? KEYEVENTF_KEYUP : 0);
  }
  size_t count() const { return count_; }

 private:
  INPUT* out_;
  size_t capacity_;
  ULONG_PTR extraInfo_;
  size_t count_ = 0;
};

unsigned HeldModifiers() noexcept {
  unsigned held = 0;
  if (GetAsyncKeyState(VK_SHIFT) < 0) held |= kHeldShift;
  if (GetAsyncKeyState(VK_CONTROL) < 0) held |= kHeldCtrl;
  if (GetAsyncKeyState(VK_MENU) < 0) held |= kHeldAlt;
  if (GetAsyncKeyState(VK_LWIN) < 0 || GetAsyncKeyState(VK_RWIN) < 0) held |= kHeldWin;
  return held;
}

// Whether `vk` with Shift (or without) is a dead key of `layout`. The high
// bit of MapVirtualKeyEx covers the key's own character only, and a layout
// may have a dead key on the shifted character alone (US-International's
// Shift+6); ToUnicodeEx answers for that one, below zero for a dead key.
bool IsDeadKey(BYTE vk, bool shift, HKL layout) noexcept {
  if ((MapVirtualKeyExW(vk, MAPVK_VK_TO_CHAR, layout) & 0x80000000u) != 0) return true;
  if (!shift) return false;
  BYTE state[256] = {};
  state[VK_SHIFT] = 0x80;
  const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout);
  WCHAR buffer[8];
  const int result = ToUnicodeEx(vk, scan, state, buffer, 8, kToUnicodeKeepState, layout);
  if (result >= 0) return false;
  // A system older than the flag has now left the dead key pending for this
  // thread's next key: the key once more gives the pending character and
  // ends the wait. Bounded: where the flag holds, the answer is -1 each time.
  for (int i = 0; i < 2 && ToUnicodeEx(vk, scan, state, buffer, 8, kToUnicodeKeepState, layout) < 0; ++i) {
  }
  return true;
}

}  // namespace

size_t KeysForStep(const TypingStep& step, const TypingKeyboard& keyboard, ULONG_PTR extraInfo, INPUT* out,
                   size_t capacity) noexcept {
  if (step.kind == TypingStep::kNone || out == nullptr || capacity < kMaxInputsPerStep) return 0;
  if (step.kind == TypingStep::kCharacter && (step.count < 1 || step.count > 2)) return 0;

  TypingKeyFacts facts{false, 0, false, keyboard.capsLock, HeldModifiers()};
  BYTE vk = 0;
  if (step.kind == TypingStep::kCharacter && step.count == 1) {
    const SHORT key = VkKeyScanExW(static_cast<WCHAR>(step.units[0]), keyboard.layout);
    // -1 in both bytes: no key of the layout gives the character.
    if (LOBYTE(key) != 0xFF || HIBYTE(key) != 0xFF) {
      facts.onLayout = true;
      vk = LOBYTE(key);
      facts.shiftState = HIBYTE(key);
      facts.deadKey = IsDeadKey(vk, (facts.shiftState & 1u) != 0, keyboard.layout);
    }
  }

  EventWriter w(out, kMaxInputsPerStep, extraInfo);
  const TypingKeys keys = ChooseTypingKeys(step, facts);
  if (keys.releaseAlt) {
    // A batch is made before it is sent, so the next step of the same batch
    // still sees Alt held and releases it again: a release of a key that is
    // up, which changes nothing.
    w.Add(kMaskKey, 0, 0);
    w.Add(kMaskKey, 0, KEYEVENTF_KEYUP);
    const bool left = GetAsyncKeyState(VK_LMENU) < 0;
    const bool right = GetAsyncKeyState(VK_RMENU) < 0;
    if (left || !right) w.Key(VK_LMENU, keyboard.layout, true);
    if (right) {
      w.Add(VK_RMENU, static_cast<WORD>(MapVirtualKeyExW(VK_RMENU, MAPVK_VK_TO_VSC, keyboard.layout)),
            KEYEVENTF_KEYUP | KEYEVENTF_EXTENDEDKEY);
    }
  }
  const TypingSend how = keys.send;
  if (how == TypingSend::kKey || how == TypingSend::kShiftedKey) {
    // Enter as the key itself: consoles and edit controls take a line end
    // from the key, not from a character. A character as its key: some
    // programs read keys, not characters (Wine's console makes its input
    // from the key and drops a character sent as itself).
    const BYTE key = step.kind == TypingStep::kEnter ? static_cast<BYTE>(VK_RETURN) : vk;
    const bool shift = how == TypingSend::kShiftedKey;
    if (shift) w.Key(VK_SHIFT, keyboard.layout, false);
    w.Key(key, keyboard.layout, false);
    w.Key(key, keyboard.layout, true);
    if (shift) w.Key(VK_SHIFT, keyboard.layout, true);
    return w.count();
  }

  // As itself: the system gives the window a WM_CHAR of each UTF-16 unit,
  // converted to the ANSI code page for an ANSI window. Enter so is a CR,
  // which edit controls take as a line end.
  char16_t units[2] = {u'\r', 0};
  size_t count = 1;
  if (step.kind == TypingStep::kCharacter) {
    units[0] = step.units[0];
    units[1] = step.count == 2 ? step.units[1] : 0;
    count = step.count;
  }
  for (size_t i = 0; i < count; ++i) w.Add(0, units[i], KEYEVENTF_UNICODE);
  for (size_t i = 0; i < count; ++i) w.Add(0, units[i], KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
  return w.count();
}

}  // namespace quillo::app
