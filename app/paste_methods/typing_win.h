// Typing a text into a program's window (typing.h) for the hooks: a hook
// hands the text over in WM_COPYDATA (typing_request.h), and the resident
// program types it on a thread of its own, so that its window, its tray icon
// and Exit keep answering while a long text goes out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "handles_win.h"
#include "typing.h"

namespace quillo::app {

// Posted to the typist's window when a text ended: wParam the TypingEnd in
// its low byte and the text's number (Typist::lastStarted) above it, lParam
// the characters typed. Private to the resident program.
constexpr UINT kMsgTypingEnded = WM_APP + 18;
inline WPARAM TypingEndedWParam(TypingEnd end, uint32_t job) noexcept {
  return static_cast<WPARAM>(job) << 8 | static_cast<WPARAM>(end);
}
inline TypingEnd TypingEndOf(WPARAM wParam) noexcept { return static_cast<TypingEnd>(wParam & 0xFF); }
inline uint32_t TypingJobOf(WPARAM wParam) noexcept { return static_cast<uint32_t>(wParam >> 8); }

// A text is being typed by a living typist (the flag in the shared block,
// with a fresh beat): a macro played meanwhile waits for it.
bool TextBeingTyped() noexcept;
// Posted when a text was refused as too long to type; wParam its length.
constexpr UINT kMsgTypingTooLong = WM_APP + 19;

class Typist {
 public:
  Typist();
  ~Typist();
  Typist(const Typist&) = delete;
  Typist& operator=(const Typist&) = delete;

  // The window that gets kMsgTypingEnded and kMsgTypingTooLong.
  void SetWindow(HWND window) noexcept { window_ = window; }

  // A hook's request (the block of a WM_COPYDATA of kCopyDataTypeText): 1
  // when typing started or the request was refused with a message, 0 when
  // refused unexplained (a text is being typed already, the window is gone,
  // the request is malformed), for the hook to beep. It returns at once:
  // kMsgTypingEnded tells the end.
  LRESULT OnRequest(const COPYDATASTRUCT& data) noexcept;

  // The number of the text typing started for last (0: none yet).
  uint32_t lastStarted() const noexcept { return lastStarted_; }

  // Closes a thread that has ended (on kMsgTypingEnded).
  void Reap() noexcept;

  // Ends the typing under way, if any, and waits for its thread: before the
  // program ends.
  void Stop() noexcept;

  // A text is being typed.
  bool busy() const noexcept;

 private:
  struct Job;
  static DWORD WINAPI ThreadMain(void* job);

  HWND window_ = nullptr;
  UniqueHandle thread_;
  std::unique_ptr<Job> job_;
  uint32_t lastStarted_ = 0;
};

}  // namespace quillo::app
