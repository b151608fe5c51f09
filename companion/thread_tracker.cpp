#include "thread_tracker.h"

#include <algorithm>

namespace quillo::companion {

ThreadTracker::Entry* ThreadTracker::Find(uint32_t thread) noexcept {
  for (Entry& e : entries_) {
    if (e.thread == thread) return &e;
  }
  return nullptr;
}

bool ThreadTracker::ServesCached(uint32_t process, TrackerHost& host) noexcept {
  for (ProcessVerdict& p : processes_) {
    if (p.process == process) {
      // A "no" is asked again now and then: the number may now belong to
      // another program that ended and was replaced between two rounds.
      if (!p.serves && ++p.rounds >= kReaskRounds) {
        p.serves = host.Serves(process);
        p.rounds = 0;
      }
      p.seen = true;
      return p.serves;
    }
  }
  const bool serves = host.Serves(process);
  if (processes_.size() < kMaxThreads) processes_.push_back({process, serves, true, 0});
  return serves;
}

size_t ThreadTracker::Round(const std::vector<WindowThread>& now, TrackerHost& host) noexcept {
  for (Entry& e : entries_) e.seen = false;
  for (ProcessVerdict& p : processes_) p.seen = false;
  size_t hooked = 0;
  for (const WindowThread& w : now) {
    if (w.thread == 0) continue;
    Entry* e = Find(w.thread);
    // The same number now owned by another process: the old thread is gone.
    if (e != nullptr && e->process != w.process) {
      if (e->hooked) host.Unhook(e->thread);
      *e = Entry{w.thread, w.process, false, 0, false};
    }
    if (e == nullptr) {
      if (entries_.size() >= kMaxThreads) continue;
      entries_.push_back(Entry{w.thread, w.process, false, 0, false});
      e = &entries_.back();
    }
    if (e->seen) continue;  // a second window of the same thread
    e->seen = true;
    // Asked (or its cached answer marked as still in use) for every thread,
    // hooked or not, so the answer lives as long as the process's windows.
    const bool serves = ServesCached(w.process, host);
    if (e->hooked || !serves) continue;
    if (e->retryIn > 0) {
      --e->retryIn;
      continue;
    }
    if (host.Hook(w.thread)) {
      e->hooked = true;
      ++hooked;
    } else {
      e->retryIn = kRetryRounds;
    }
  }
  // Threads without a window now: their hooks go, and so does the entry.
  for (const Entry& e : entries_) {
    if (!e.seen && e.hooked) host.Unhook(e.thread);
  }
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.seen; }),
                 entries_.end());
  // A process seen no more may come back under its number as another program.
  processes_.erase(std::remove_if(processes_.begin(), processes_.end(), [](const ProcessVerdict& p) { return !p.seen; }),
                   processes_.end());
  return hooked;
}

void ThreadTracker::Clear(TrackerHost& host) noexcept {
  for (const Entry& e : entries_) {
    if (e.hooked) host.Unhook(e.thread);
  }
  entries_.clear();
  processes_.clear();
}

size_t ThreadTracker::HookedCount() const noexcept {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.hooked; }));
}

bool ThreadTracker::IsHooked(uint32_t thread) const noexcept {
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.thread == thread && e.hooked; });
}

}  // namespace quillo::companion
