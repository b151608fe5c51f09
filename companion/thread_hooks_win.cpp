#include "thread_hooks_win.h"

#include <vector>

#include "handles_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"

namespace quillo::companion {
namespace {

struct Collect {
  std::vector<WindowThread>* threads;
};

BOOL CALLBACK CollectThread(HWND window, LPARAM param) {
  auto* c = reinterpret_cast<Collect*>(param);
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  // Bounded: the list never grows past the room made for it.
  if (thread != 0 && c->threads->size() < c->threads->capacity()) c->threads->push_back({thread, process});
  return TRUE;
}

DWORD OwnSession() noexcept {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return session;
}

}  // namespace

size_t ThreadHooks::Refresh() noexcept {
  threads_.clear();
  Collect c{&threads_};
  EnumWindows(CollectThread, reinterpret_cast<LPARAM>(&c));
  // The thread that has the keyboard focus may own no top-level window (a
  // child window of another thread's frame): it is hooked too.
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(0, &info) && info.hwndFocus != nullptr) CollectThread(info.hwndFocus, reinterpret_cast<LPARAM>(&c));
  return tracker_.Round(threads_, *this);
}

bool ThreadHooks::Serves(uint32_t process) noexcept {
  if (process == 0 || process == GetCurrentProcessId()) return false;
  DWORD session = 0;
  const DWORD own = OwnSession();
  if (!ProcessIdToSessionId(process, &session) || session != own) return false;
  UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
  if (!handle) return false;
  // A 32-bit program on 64-bit Windows runs under the 32-bit emulation: the
  // 32-bit libraries can be loaded into it, into no other.
  BOOL wow64 = FALSE;
  return IsWow64Process(handle.get(), &wow64) && wow64;
}

ThreadHooks::Slot* ThreadHooks::FindSlot(uint32_t thread) noexcept {
  for (Slot& s : slots_) {
    if (s.thread == thread) return &s;
  }
  return nullptr;
}

bool ThreadHooks::Hook(uint32_t thread) noexcept {
  Slot* slot = FindSlot(0);
  if (slot == nullptr) return false;
  HHOOK hooks[3] = {};
  if (!SetThreadHooks(thread, hooks)) return false;
  HHOOK dialog = SetDlgThreadHook(thread);
  if (dialog == nullptr) {
    for (HHOOK h : hooks) UnhookWindowsHookEx(h);
    return false;
  }
  *slot = Slot{thread, {hooks[0], hooks[1], hooks[2], dialog}};
  return true;
}

void ThreadHooks::Unhook(uint32_t thread) noexcept {
  Slot* slot = thread == 0 ? nullptr : FindSlot(thread);
  if (slot == nullptr) return;
  // A thread that has ended took its hooks with it: the calls then fail, harmlessly.
  for (HHOOK h : slot->hooks) {
    if (h != nullptr) UnhookWindowsHookEx(h);
  }
  *slot = Slot{};
}

}  // namespace quillo::companion
