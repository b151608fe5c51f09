#include "typing_win.h"

#include <new>
#include <vector>

#include "quillo_hook.h"
#include "quillo_messages.h"
#include "typing_keys_win.h"
#include "typing_request.h"

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
// pace of a batch per kBatchWaitMs, until a count shows up again.
constexpr DWORD kNoProgressMs = 250;
constexpr DWORD kBatchWaitMs = 10;
constexpr size_t kInputsPerStep = kMaxInputsPerStep;
// How long the end of the program waits for the typing thread, which looks
// at its stop flag at least every few milliseconds.
constexpr DWORD kStopWaitMs = 5000;
// The thread of a text that ended is about to return: a new request waits
// this long for it rather than be refused.
constexpr DWORD kEndingThreadWaitMs = 200;
// The typist renews its beat at every look at its target; a beat this old is
// one of a typist that is gone (the hooks read it alike).
constexpr DWORD kTypingBeatMs = 2000;
// The typed key events carry this in their extra information. The keyboard
// hooks inside the programs cannot read it (Wine sets a message's extra
// information only after they ran), so it serves whoever watches the input
// stream at a lower level, such as a debugger.
constexpr ULONG_PTR kTypedKeyMark = 0x51545950;  // "QTYP"

// The whole desktop types one text at a time: the flag lives in the shared
// block, where the keyboard hooks of every program look for it to take a
// Pause or an Escape as the stop and to count the typed keys.
bool ClaimTyping() noexcept {
  if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_bTyping), 1, 0) != 0) return false;
  g_bStopTyping = 0;
  g_nTypedKeysTaken = 0;
  g_nTypingBeat = GetTickCount();
  return true;
}

void ReleaseTyping() noexcept {
  g_bStopTyping = 0;
  MemoryBarrier();
  g_bTyping = 0;
}

}  // namespace

struct Typist::Job {
  uint32_t number = 0;
  HWND target = nullptr;
  DWORD targetThread = 0;
  bool capsLock = false;
  bool recording = false;
  HWND notify = nullptr;
  std::vector<char16_t> text;
  volatile LONG shutdown = 0;  // the program is ending
};

bool TextBeingTyped() noexcept {
  return g_bTyping != 0 && GetTickCount() - static_cast<DWORD>(g_nTypingBeat) < kTypingBeatMs;
}

namespace {

class SendInputTyping final : public TypingOutput {
 public:
  SendInputTyping(const volatile LONG& shutdown, HWND target, DWORD targetThread, bool capsLock)
      : shutdown_(shutdown),
        target_(target),
        targetThread_(targetThread),
        // The keys are read on the target thread's layout: the text is for
        // its window, whatever layout the resident program's thread has.
        keyboard_{GetKeyboardLayout(targetThread), capsLock} {}

  void AddStep(const TypingStep& step) noexcept override {
    count_ += static_cast<UINT>(
        KeysForStep(step, keyboard_, kTypedKeyMark, inputs_ + count_, kBatchSteps * kInputsPerStep - count_));
  }

  bool SendBatch() noexcept override {
    const UINT count = count_;
    count_ = 0;
    if (count == 0) return true;
    // Fewer taken: another desktop is in front (the workstation is locked,
    // an elevated prompt), or a program of higher rights has the focus.
    const UINT sent = SendInput(count, inputs_, sizeof(INPUT));
    sentEvents_ += static_cast<LONG>(sent);
    return sent == count;
  }

  TypingEnd Check() noexcept override {
    g_nTypingBeat = GetTickCount();
    if (shutdown_ != 0) return TypingEnd::kShutDown;
    // The hooks set the flag for a key they see; the key's state covers a
    // program the hooks do not reach.
    if (g_bStopTyping != 0 || GetAsyncKeyState(VK_PAUSE) < 0 || GetAsyncKeyState(VK_ESCAPE) < 0) {
      return TypingEnd::kStopped;
    }
    // Keys go to whatever window is in front: only the one the text was
    // chosen in may get them, not even another window of its thread (a
    // browser's or an explorer's windows share one).
    if (!IsWindow(target_)) return TypingEnd::kTargetGone;
    if (GetForegroundWindow() != target_) return TypingEnd::kTargetLeftFront;
    return TypingEnd::kDone;
  }

  void WaitBetweenBatches() noexcept override {
    if (uncounted_) {
      Sleep(kBatchWaitMs);
      // A count at last (the program's thread took its first keys late):
      // back to its pace.
      if (g_nTypedKeysTaken != 0) uncounted_ = false;
      return;
    }
    LONG seen = Taken();
    DWORD lastProgress = GetTickCount();
    while (sentEvents_ - seen > kEventsAhead && Check() == TypingEnd::kDone) {
      Sleep(1);
      const LONG now = Taken();
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
  LONG Taken() noexcept { return typed_.Taken(g_nTypedKeysTaken, sentEvents_); }

  const volatile LONG& shutdown_;
  const HWND target_;
  const DWORD targetThread_;
  const TypingKeyboard keyboard_;
  INPUT inputs_[kBatchSteps * kInputsPerStep];
  UINT count_ = 0;
  LONG sentEvents_ = 0;  // key events sent so far
  TypedKeyCount typed_;
  bool uncounted_ = false;
};

}  // namespace

Typist::Typist() = default;
Typist::~Typist() { Stop(); }

bool Typist::busy() const noexcept { return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT; }

DWORD WINAPI Typist::ThreadMain(void* param) {
  Job& job = *static_cast<Job*>(param);
  SendInputTyping out(job.shutdown, job.target, job.targetThread, job.capsLock);
  const TypingResult result = TypeText(job.text.data(), job.text.size(), kBatchSteps, job.recording, out);
  // Released before the report: the hooks stop taking Pause and Escape as
  // the stop, and a new text may be chosen at once.
  ReleaseTyping();
  if (job.notify != nullptr) {
    // Unheard only when the window is gone: the program is ending.
    PostMessageA(job.notify, kMsgTypingEnded, TypingEndedWParam(result.end, job.number),
                 static_cast<LPARAM>(result.steps));
  }
  return 0;
}

LRESULT Typist::OnRequest(const COPYDATASTRUCT& data) noexcept {
  TypingRequestHeader header;
  const char* ansi = nullptr;
  size_t length = 0;
  const TypingRequestCheck check = ReadTypingRequest(data.lpData, data.cbData, header, ansi, length);
  if (check == TypingRequestCheck::kMalformed) return 0;
  if (check == TypingRequestCheck::kTooLong) {
    // Told after the hook's thread has its answer: a box here would hold
    // the program the text was chosen in.
    if (window_ == nullptr || !PostMessageA(window_, kMsgTypingTooLong, static_cast<WPARAM>(length), 0)) return 0;
    return 1;
  }
  if (thread_ && !TextBeingTyped()) {
    // The last text ended and its thread is returning.
    WaitForSingleObject(thread_.get(), kEndingThreadWaitMs);
  }
  Reap();
  if (thread_) return 0;  // a text is being typed: this one is dropped
  const HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(header.window));
  const DWORD targetThread = IsWindow(target) ? GetWindowThreadProcessId(target, nullptr) : 0;
  if (targetThread == 0) return 0;

  std::unique_ptr<Job> job(new (std::nothrow) Job);
  if (!job) return 0;
  job->target = target;
  job->targetThread = targetThread;
  job->capsLock = (header.flags & kTypingCapsLock) != 0;
  // The hooks' own recording flag: they record what they see, so it is
  // theirs that the typed keys must be hidden from.
  job->recording = Shared().bRecording != 0;
  job->notify = window_;
  // The number counts only once the thread runs: a caller waiting for the
  // end of a text it started must not wait for one that never began.
  job->number = lastStarted_ >= 0xFFFFFF ? 1 : lastStarted_ + 1;  // within kMsgTypingEnded's wParam
  if (length != 0) {
    // No code page makes more UTF-16 units than bytes.
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), nullptr, 0);
    if (units <= 0) return 0;
    job->text.resize(static_cast<size_t>(units));
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units on Windows");
    if (MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), reinterpret_cast<wchar_t*>(job->text.data()),
                            units) != units) {
      return 0;
    }
  }
  if (!ClaimTyping()) return 0;
  DWORD id = 0;
  thread_.reset(CreateThread(nullptr, 0, ThreadMain, job.get(), 0, &id));
  if (!thread_) {
    ReleaseTyping();
    return 0;
  }
  lastStarted_ = job->number;
  job_ = std::move(job);
  return 1;
}

void Typist::Reap() noexcept {
  if (!thread_ || WaitForSingleObject(thread_.get(), 0) != WAIT_OBJECT_0) return;
  thread_.reset();
  job_.reset();
}

void Typist::Stop() noexcept {
  if (!thread_) return;
  if (job_) InterlockedExchange(&job_->shutdown, 1);
  if (WaitForSingleObject(thread_.get(), kStopWaitMs) != WAIT_OBJECT_0) {
    // Never seen: the thread looks at the flag every few milliseconds. Its
    // job stays, as the thread may still read it; the process is ending.
    (void)job_.release();
    thread_.reset();
    return;
  }
  thread_.reset();
  job_.reset();
}

}  // namespace quillo::app
