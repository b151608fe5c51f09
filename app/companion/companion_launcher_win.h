// The 64-bit resident program's side of the 32-bit companion: a hook library
// reaches only programs of its own bitness, so on 64-bit Windows we start
// QuilloCompanion.exe to hold the 32-bit libraries' hooks, start it again
// when it dies, and end it with us. When it cannot run we go on for 64-bit
// programs and say that 32-bit ones are not reached.
#pragma once

#include <windows.h>

#include <string>

#include "handles_win.h"
#include "restart_policy.h"

namespace quillo {

// Posted to the main window from a pool thread when the companion's process
// ended; wParam = the launch it belongs to. Private to this process.
constexpr UINT kMsgCompanionEnded = WM_APP + 17;

// The main window's timer that bounds the companion's start: one that has not
// reported its hooks in by then is ended, and counts as one that cannot run.
constexpr UINT_PTR kCompanionReadyTimer = 0x51C0;
constexpr UINT kCompanionReadyMs = 15000;

// The property of the main window that holds the process id of the ready
// companion, for whoever wants to know which process serves 32-bit programs.
constexpr char kCompanionProp[] = "Quillo.Companion";

class CompanionLauncher {
 public:
  CompanionLauncher() = default;
  ~CompanionLauncher();
  CompanionLauncher(const CompanionLauncher&) = delete;
  CompanionLauncher& operator=(const CompanionLauncher&) = delete;

  // Starts the companion from `folder` for the main window `window`.
  void Start(HWND window, const std::string& folder);
  // The companion's messages to the main window (its ready message, our
  // watch's report of its end, the start's deadline); true when `msg` was
  // one of them.
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Asks the companion to end, waits at most 5 s, then ends it; no restart
  // after this.
  void Stop();
  // 32-bit programs are not reached, and will not be while we run.
  bool notReached() const { return policy_.gaveUp(); }

 private:
  struct WaitContext {
    HWND window;
    WPARAM launch;
  };
  static void CALLBACK OnProcessEnded(void* context, BOOLEAN timedOut);
  bool Launch();
  // Cancels the watch (waiting for a report under way) and lets the process go.
  void Release();

  HWND window_ = nullptr;
  std::string path_;
  app::RestartPolicy policy_;
  UniqueHandle job_;
  UniqueHandle process_;
  DWORD pid_ = 0;
  DWORD threadId_ = 0;
  HANDLE wait_ = nullptr;  // the pool's watch on process_
  WaitContext context_ = {};
  WPARAM launch_ = 0;
  bool ready_ = false;
  bool stopped_ = false;
};

}  // namespace quillo
