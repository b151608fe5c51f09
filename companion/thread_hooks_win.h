// The companion's hooks: the 32-bit libraries' hooks on each thread of a
// 32-bit program that owns a window, kept up to date several times a second.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "thread_tracker.h"

namespace quillo::companion {

class ThreadHooks final : public TrackerHost {
 public:
  ThreadHooks() { threads_.reserve(ThreadTracker::kMaxThreads * 2); }
  ThreadHooks(const ThreadHooks&) = delete;
  ThreadHooks& operator=(const ThreadHooks&) = delete;
  ~ThreadHooks() override { RemoveAll(); }

  // Looks at the threads that own top-level windows now and hooks the new
  // ones. Returns how many were hooked this round.
  size_t Refresh() noexcept;
  void RemoveAll() noexcept { tracker_.Clear(*this); }
  size_t HookedCount() const noexcept { return tracker_.HookedCount(); }

  bool Serves(uint32_t process) noexcept override;
  bool Hook(uint32_t thread) noexcept override;
  void Unhook(uint32_t thread) noexcept override;

 private:
  struct Slot {
    uint32_t thread;
    HHOOK hooks[4];  // keyboard, mouse, message filter, call-window
  };
  Slot* FindSlot(uint32_t thread) noexcept;

  ThreadTracker tracker_;
  std::vector<WindowThread> threads_;  // this round's, room made once
  Slot slots_[ThreadTracker::kMaxThreads] = {};
};

}  // namespace quillo::companion
