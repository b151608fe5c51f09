#include "typing_win.h"

#include <cstring>

#include "clipboard_win.h"
#include "quillo_hook.h"
#include "typing.h"
#include "typing_keys_win.h"

namespace quillo::app {
namespace {

// Steps per SendInput call, and how many key events the typist keeps ahead
// of what the program has taken in (its hook counts them): a program slower
// than the typist is never flooded, and a Pause waits behind a few
// characters, not behind thousands already queued. Up to a lead and a batch
// are in flight when the user presses Pause. Measured in Wine's notepad, on
// a loaded machine, from the press to the typist's stop: 64 events and 16
// steps 130-240 ms; 24 and 8, 60-140 ms; 16 and 4, 44-131 ms (18 characters
// after the press); these, 20-63 ms (9-10 characters). The rate stayed what
// notepad takes in (120-190 characters a second), within the noise of runs.
constexpr size_t kBatchSteps = 2;
constexpr LONG kEventsAhead = 8;
// A program whose hook does not count (none of ours is loaded there) shows
// no progress: after this long without any, the typist goes on at a fixed
// pace of a batch per kBatchWaitMs.
constexpr DWORD kNoProgressMs = 250;
constexpr DWORD kBatchWaitMs = 10;
constexpr size_t kInputsPerStep = kMaxInputsPerStep;
// A typed text is bounded: typing is slow, and a text of this size already
// takes some seconds. A longer one is refused with a beep.
constexpr size_t kMaxTypedBytes = 64u * 1024u;

// A block of the process heap, freed when it goes out of scope.
class HeapBlock {
 public:
  explicit HeapBlock(size_t bytes) : p_(HeapAlloc(GetProcessHeap(), 0, bytes)) {}
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  ~HeapBlock() {
    if (p_ != nullptr) HeapFree(GetProcessHeap(), 0, p_);
  }
  void* get() const { return p_; }

 private:
  void* p_;
};

// The whole desktop types one text at a time: the flag lives in the shared
// block, where the keyboard hooks of every program look for it to take a
// Pause or an Escape as the stop.
class TypingClaim {
 public:
  TypingClaim()
      : held_(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_bTyping), 1, 0) == 0) {
    if (held_) {
      g_bStopTyping = 0;
      g_nTypedKeysTaken = 0;
    }
  }
  TypingClaim(const TypingClaim&) = delete;
  TypingClaim& operator=(const TypingClaim&) = delete;
  ~TypingClaim() {
    if (!held_) return;
    g_bStopTyping = 0;
    MemoryBarrier();
    g_bTyping = 0;
  }
  bool held() const { return held_; }

 private:
  bool held_;
};

// Waits `ms`, handling messages sent to this thread meanwhile (the clipboard
// viewer chain sends them): the program that sent one waits for it. Nothing
// posted is taken, so no command of ours runs in between.
void WaitHandlingSentMessages(DWORD ms) noexcept {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) break;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_SENDMESSAGE) != WAIT_OBJECT_0) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

class SendInputTyping final : public TypingOutput {
 public:
  void AddStep(const TypingStep& step) noexcept override {
    count_ += static_cast<UINT>(
        KeysForStep(step, keyboard_, 0, inputs_ + count_, kBatchSteps * kInputsPerStep - count_));
  }
  void SendBatch() noexcept override {
    if (count_ != 0) SendInput(count_, inputs_, sizeof(INPUT));
    sentEvents_ += static_cast<LONG>(count_);
    count_ = 0;
  }
  bool StopAsked() noexcept override {
    // The hooks set the flag for a key they see; the key's state covers a
    // program the hooks do not reach.
    return g_bStopTyping != 0 || GetAsyncKeyState(VK_PAUSE) < 0 || GetAsyncKeyState(VK_ESCAPE) < 0;
  }
  void WaitBetweenBatches() noexcept override {
    if (uncounted_) {
      WaitHandlingSentMessages(kBatchWaitMs);
      return;
    }
    LONG seen = g_nTypedKeysTaken;
    DWORD lastProgress = GetTickCount();
    while (sentEvents_ - seen > kEventsAhead && !StopAsked()) {
      WaitHandlingSentMessages(1);
      const LONG now = g_nTypedKeysTaken;
      if (now != seen) {
        seen = now;
        lastProgress = GetTickCount();
      } else if (GetTickCount() - lastProgress >= kNoProgressMs) {
        // Nothing counted at all: no hook of ours sees these keys. A program
        // that only paused (busy for a moment) keeps the counted pace.
        uncounted_ = seen == 0;
        break;
      }
    }
  }
  void SuspendRecording() noexcept override { SuspendRec(); }
  void ResumeRecording() noexcept override { ResumeRec(); }

 private:
  // The resident's own keyboard stands in for the target's.
  TypingKeyboard keyboard_{GetKeyboardLayout(0), (GetKeyState(VK_CAPITAL) & 1) != 0};
  INPUT inputs_[kBatchSteps * kInputsPerStep];
  UINT count_ = 0;
  LONG sentEvents_ = 0;  // key events sent so far
  bool uncounted_ = false;
};

// The clipboard's CF_TEXT converted with the ANSI code page into `out`
// (`capacity` UTF-16 units); the number of units, or -1.
int ClipboardTextAsUtf16(HeapBlock& ansi, wchar_t* out, int capacity) noexcept {
  if (!OpenClipboardPatiently(nullptr)) return -1;
  size_t length = 0;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      length = strnlen(text, GlobalSize(data));
      ok = length <= kMaxTypedBytes;
      if (ok) std::memcpy(ansi.get(), text, length);
      GlobalUnlock(data);
    }
  }
  // Closed before the conversion: the clipboard is the whole desktop's.
  CloseClipboard();
  if (!ok) return -1;
  if (length == 0) return 0;
  return MultiByteToWideChar(CP_ACP, 0, static_cast<const char*>(ansi.get()), static_cast<int>(length), out,
                             capacity);
}

}  // namespace

void TypeClipboardText() noexcept {
  TypingClaim claim;
  if (!claim.held()) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  // No code page makes more UTF-16 units than bytes.
  HeapBlock ansi(kMaxTypedBytes);
  HeapBlock wide((kMaxTypedBytes + 1) * sizeof(wchar_t));
  if (ansi.get() == nullptr || wide.get() == nullptr) return;
  wchar_t* units = static_cast<wchar_t*>(wide.get());
  const int count = ClipboardTextAsUtf16(ansi, units, static_cast<int>(kMaxTypedBytes));
  if (count < 0) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units on Windows");
  SendInputTyping out;
  // The hooks' own recording flag: they record what they see, so it is
  // theirs that the typed keys must be hidden from.
  TypeText(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(count), kBatchSteps,
           Shared().bRecording != 0, out);
}

}  // namespace quillo::app
