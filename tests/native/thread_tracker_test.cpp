// The companion's bookkeeping of the threads it hooked: what it hooks, what
// it lets go, and what it never touches.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "thread_tracker.h"

namespace quillo::companion {
namespace {

class FakeHost : public TrackerHost {
 public:
  std::set<uint32_t> servedProcesses{10, 11};
  std::set<uint32_t> refused;   // threads the system refuses to hook
  std::set<uint32_t> hooked;    // as the system sees it
  std::vector<std::string> log;
  int servesAsked = 0;

  bool Serves(uint32_t process) noexcept override {
    ++servesAsked;
    return servedProcesses.count(process) != 0;
  }
  bool Hook(uint32_t thread) noexcept override {
    log.push_back("hook " + std::to_string(thread));
    if (refused.count(thread) != 0) return false;
    EXPECT_TRUE(hooked.insert(thread).second) << "thread " << thread << " hooked twice";
    return true;
  }
  void Unhook(uint32_t thread) noexcept override {
    log.push_back("unhook " + std::to_string(thread));
    EXPECT_EQ(hooked.erase(thread), 1u) << "thread " << thread << " let go without being hooked";
  }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }
};

using Log = std::vector<std::string>;

TEST(ThreadTracker, HooksEachServedThreadOnceAndLetsGoOfThreadsWithoutWindows) {
  FakeHost host;
  ThreadTracker tracker;
  // Thread 1 owns two windows; thread 3 is of a program not served (the
  // other bitness, another session).
  EXPECT_EQ(tracker.Round({{1, 10}, {2, 11}, {1, 10}, {3, 20}}, host), 2u);
  EXPECT_EQ(host.Take(), (Log{"hook 1", "hook 2"}));
  EXPECT_EQ(tracker.Round({{1, 10}, {2, 11}, {3, 20}}, host), 0u);
  EXPECT_TRUE(host.Take().empty()) << "nothing changes while the windows stay";
  // Thread 2's last window closed; a new thread 4 came.
  EXPECT_EQ(tracker.Round({{1, 10}, {4, 10}}, host), 1u);
  EXPECT_EQ(host.Take(), (Log{"hook 4", "unhook 2"}));
  EXPECT_EQ(tracker.HookedCount(), 2u);
  EXPECT_TRUE(tracker.IsHooked(4));
  EXPECT_FALSE(tracker.IsHooked(2));
  tracker.Clear(host);
  EXPECT_TRUE(host.hooked.empty());
  EXPECT_EQ(tracker.HookedCount(), 0u);
}

// The system gives a thread number out again once the thread is gone: a
// number now owned by another process is a new thread, hooked anew.
TEST(ThreadTracker, AThreadNumberGivenToAnotherProcessIsANewThread) {
  FakeHost host;
  ThreadTracker tracker;
  tracker.Round({{7, 10}}, host);
  EXPECT_EQ(host.Take(), (Log{"hook 7"}));
  tracker.Round({{7, 11}}, host);
  EXPECT_EQ(host.Take(), (Log{"unhook 7", "hook 7"}));
  // ...and a process number given to a program not served is asked again.
  tracker.Round({}, host);
  EXPECT_EQ(host.Take(), (Log{"unhook 7"}));
  host.servedProcesses.erase(10);
  tracker.Round({{8, 10}}, host);
  EXPECT_TRUE(host.Take().empty()) << "process 10 is now a program not served";
}

TEST(ThreadTracker, ARefusedThreadIsTriedAgainOnlyAfterItsRounds) {
  FakeHost host;
  host.refused.insert(5);
  ThreadTracker tracker;
  tracker.Round({{5, 10}}, host);
  EXPECT_EQ(host.Take(), (Log{"hook 5"}));
  for (int i = 0; i < ThreadTracker::kRetryRounds; ++i) tracker.Round({{5, 10}}, host);
  EXPECT_TRUE(host.Take().empty()) << "asked again too soon";
  host.refused.clear();
  tracker.Round({{5, 10}}, host);
  EXPECT_EQ(host.Take(), (Log{"hook 5"}));
  EXPECT_TRUE(tracker.IsHooked(5));
}

TEST(ThreadTracker, AsksWhetherItServesAProcessOncePerLifeOfItsWindows) {
  FakeHost host;
  ThreadTracker tracker;
  for (int i = 0; i < 5; ++i) tracker.Round({{1, 10}, {3, 20}}, host);
  EXPECT_EQ(host.servesAsked, 2);
  // A new thread of a process whose threads are all hooked: the answer is
  // still known.
  tracker.Round({{1, 10}, {2, 10}, {3, 20}}, host);
  EXPECT_EQ(host.servesAsked, 2);
  EXPECT_TRUE(tracker.IsHooked(2));
}

// A process number can pass to another program between two rounds: a "no"
// is asked again after a while, and the new program's threads get hooked.
TEST(ThreadTracker, ANoIsAskedAgainSoAReusedProcessNumberIsServed) {
  FakeHost host;
  ThreadTracker tracker;
  tracker.Round({{3, 20}}, host);
  EXPECT_EQ(host.servesAsked, 1);
  host.servedProcesses.insert(20);
  for (int i = 1; i < ThreadTracker::kReaskRounds; ++i) tracker.Round({{3, 20}}, host);
  EXPECT_FALSE(tracker.IsHooked(3));
  tracker.Round({{3, 20}}, host);
  EXPECT_EQ(host.servesAsked, 2);
  EXPECT_TRUE(tracker.IsHooked(3));
}

TEST(ThreadTracker, StopsTrackingAtItsBoundAndIgnoresThreadZero) {
  FakeHost host;
  ThreadTracker tracker;
  std::vector<WindowThread> many;
  for (uint32_t t = 1; t <= ThreadTracker::kMaxThreads + 10; ++t) many.push_back({t, 10});
  many.push_back({0, 10});
  EXPECT_EQ(tracker.Round(many, host), ThreadTracker::kMaxThreads);
  EXPECT_EQ(host.hooked.size(), ThreadTracker::kMaxThreads);
  EXPECT_EQ(host.hooked.count(0), 0u);
  tracker.Clear(host);
  EXPECT_TRUE(host.hooked.empty());
}

}  // namespace
}  // namespace quillo::companion
