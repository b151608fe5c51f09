#include "companion_launcher_win.h"

#include <cstdint>
#include <vector>

#include "companion_args.h"
#include "deliverable_names.h"
#include "quillo_messages.h"

namespace quillo {
namespace {

constexpr DWORD kQuitWaitMs = 5000;
constexpr DWORD kQuitRetryMs = 100;

// A job whose last handle, ours, ends every process in it: killed, crashed
// or ended, the owner takes its companion with it.
HANDLE CreateKillOnCloseJob() {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

}  // namespace

CompanionLauncher::~CompanionLauncher() { Stop(); }

void CompanionLauncher::Start(HWND window, const std::string& folder) {
  window_ = window;
  path_ = folder + "\\" + kCompanionExe;
  stopped_ = false;
  if (!Launch()) policy_.OnStartFailed();
}

bool CompanionLauncher::Launch() {
  if (GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  if (!job_) job_.reset(CreateKillOnCloseJob());
  companion::CompanionArgs args;
  args.ownerPid = GetCurrentProcessId();
  // Window handles hold 32 significant bits in both flavors.
  args.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window_));
  // The full path, quoted, as the program name and the first word: a blank
  // in the folder must never let the system try a shorter path.
  const std::string line = "\"" + path_ + "\" " + companion::FormatCompanionArgs(args);
  std::vector<char> mutableLine(line.begin(), line.end());
  mutableLine.push_back('\0');
  const std::string folder = path_.substr(0, path_.rfind('\\'));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  // Suspended until it is in the job, so that it never runs outside it.
  if (!CreateProcessA(path_.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      folder.c_str(), &si, &pi)) {
    return false;
  }
  UniqueHandle thread(pi.hThread);
  process_.reset(pi.hProcess);
  pid_ = pi.dwProcessId;
  threadId_ = pi.dwThreadId;
  ready_ = false;
  // Without the job (a system that refuses nested jobs) the companion still
  // ends with us: it watches our process itself.
  if (job_) AssignProcessToJobObject(job_.get(), process_.get());
  context_ = {window_, ++launch_};
  if (!RegisterWaitForSingleObject(&wait_, process_.get(), OnProcessEnded, &context_, INFINITE,
                                   WT_EXECUTEONLYONCE)) {
    wait_ = nullptr;
    TerminateProcess(process_.get(), 1);
    Release();
    return false;
  }
  ResumeThread(thread.get());
  SetTimer(window_, kCompanionReadyTimer, kCompanionReadyMs, nullptr);
  return true;
}

void CALLBACK CompanionLauncher::OnProcessEnded(void* context, BOOLEAN) {
  // A pool thread: it only reads the context, which stays as it is until the
  // watch is cancelled, and posts; a window that is gone takes nothing.
  const auto* c = static_cast<const WaitContext*>(context);
  PostMessageA(c->window, kMsgCompanionEnded, c->launch, 0);
}

void CompanionLauncher::Release() {
  // INVALID_HANDLE_VALUE: returns only once a report under way has been made,
  // so no pool thread reads the context after this.
  if (wait_ != nullptr) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
  wait_ = nullptr;
  process_.reset();
  pid_ = 0;
  threadId_ = 0;
  if (window_ != nullptr && IsWindow(window_)) {
    KillTimer(window_, kCompanionReadyTimer);
    if (ready_) RemovePropA(window_, kCompanionProp);
  }
  ready_ = false;
}

bool CompanionLauncher::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  if (msg == kMsgCompanionReady) {
    // Only the process we started counts; another one's word is ignored.
    if (process_ && !stopped_ && static_cast<DWORD>(wParam) == pid_ && !ready_) {
      ready_ = true;
      KillTimer(window_, kCompanionReadyTimer);
      SetPropA(window_, kCompanionProp, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(pid_)));
    }
    return true;
  }
  if (msg == WM_TIMER && wParam == kCompanionReadyTimer) {
    KillTimer(window_, kCompanionReadyTimer);
    // Hung on its way up: ended here, its end is reported as any other, and
    // as it never got ready it is not started again.
    if (process_ && !ready_ && !stopped_) TerminateProcess(process_.get(), companion::kExitNotReadyInTime);
    return true;
  }
  if (msg != kMsgCompanionEnded) return false;
  // A report of an earlier launch, or one that crossed Stop, changes nothing.
  if (stopped_ || !process_ || wParam != launch_) return true;
  const bool wasReady = ready_;
  Release();
  if (policy_.OnEnded(wasReady, GetTickCount()) == app::RestartPolicy::Decision::kRestart && !Launch()) {
    policy_.OnStartFailed();
  }
  return true;
}

void CompanionLauncher::Stop() {
  stopped_ = true;
  if (process_) {
    // The quit message goes to its main thread, which pumps; one posted
    // before that thread has its queue is lost, so it is posted again until
    // the process ends.
    const DWORD start = GetTickCount();
    bool ended = false;
    while (!ended && GetTickCount() - start < kQuitWaitMs) {
      PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
      ended = WaitForSingleObject(process_.get(), kQuitRetryMs) == WAIT_OBJECT_0;
    }
    if (!ended) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kQuitWaitMs);
    }
  }
  Release();
  job_.reset();
}

}  // namespace quillo
