// Which threads of other programs the companion has hooked. Each round it is
// shown the threads that own top-level windows now; a thread of a program it
// may serve that it has not hooked yet is hooked, and a thread that owns no
// window any more is let go (its hooks removed), so a thread number the system
// gives out again is not taken for one already hooked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillo::companion {

struct WindowThread {
  uint32_t thread;
  uint32_t process;
};

class TrackerHost {
 public:
  virtual ~TrackerHost() = default;
  // Whether the companion serves `process` at all (its bitness, this session,
  // not the companion itself). Asked once per process while it has windows;
  // a "no" is asked again every kReaskRounds rounds.
  virtual bool Serves(uint32_t process) noexcept = 0;
  // Hooks `thread`; false when the system refused.
  virtual bool Hook(uint32_t thread) noexcept = 0;
  virtual void Unhook(uint32_t thread) noexcept = 0;
};

class ThreadTracker {
 public:
  // A thread the system refused (a program of higher integrity) is tried
  // again only after this many rounds.
  static constexpr int kRetryRounds = 20;
  // A process the companion does not serve is asked about again after this
  // many rounds.
  static constexpr int kReaskRounds = 20;
  // More threads than this are not tracked (and not hooked).
  static constexpr size_t kMaxThreads = 4096;

  ThreadTracker() {
    // All the room it will ever take, at once: a round never allocates.
    entries_.reserve(kMaxThreads);
    processes_.reserve(kMaxThreads);
  }

  // One round over the threads that own windows now (in any order, repeats
  // allowed). Returns how many threads were newly hooked.
  size_t Round(const std::vector<WindowThread>& now, TrackerHost& host) noexcept;
  // Lets every hooked thread go (the companion is ending).
  void Clear(TrackerHost& host) noexcept;

  size_t HookedCount() const noexcept;
  bool IsHooked(uint32_t thread) const noexcept;

 private:
  struct Entry {
    uint32_t thread;
    uint32_t process;
    bool hooked;
    int retryIn;   // rounds until a refused thread is tried again
    bool seen;     // marked during a round
  };
  struct ProcessVerdict {
    uint32_t process;
    bool serves;
    bool seen;
    int rounds;  // since a "no" was last asked
  };
  Entry* Find(uint32_t thread) noexcept;
  bool ServesCached(uint32_t process, TrackerHost& host) noexcept;

  std::vector<Entry> entries_;
  std::vector<ProcessVerdict> processes_;
};

}  // namespace quillo::companion
