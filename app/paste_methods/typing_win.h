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

// Posted to the typist's window when a text ended: wParam the TypingEnd,
// lParam the characters typed. Private to the resident program.
constexpr UINT kMsgTypingEnded = WM_APP + 18;
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
  // when it is typed or refused with a message, 0 when refused unexplained
  // (a text is being typed already, the window is gone, the request is
  // malformed), for the hook to beep. A request that asks to wait
  // (kTypingWaitForEnd) returns once the text is typed.
  LRESULT OnRequest(const COPYDATASTRUCT& data) noexcept;

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
  void WaitHandlingSentMessages() noexcept;

  HWND window_ = nullptr;
  UniqueHandle thread_;
  std::unique_ptr<Job> job_;
};

}  // namespace quillo::app
