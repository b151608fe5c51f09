// When the owner starts its companion again, on a fake clock.
#include "restart_policy.h"

#include <gtest/gtest.h>

namespace quillo::app {
namespace {

using D = RestartPolicy::Decision;
constexpr uint32_t kMinute = 60u * 1000u;

TEST(RestartPolicy, ThreeRestartsWithinTenMinutesThenGivesUpForGood) {
  RestartPolicy p(3, 10 * kMinute);
  EXPECT_EQ(p.OnEnded(true, 1000), D::kRestart);
  EXPECT_EQ(p.OnEnded(true, 2000), D::kRestart);
  EXPECT_EQ(p.OnEnded(true, 3000), D::kRestart);
  EXPECT_FALSE(p.gaveUp());
  EXPECT_EQ(p.OnEnded(true, 4000), D::kGiveUp);
  EXPECT_TRUE(p.gaveUp());
  // Even long after, it stays given up: the user was told once.
  EXPECT_EQ(p.OnEnded(true, 4000 + 60 * kMinute), D::kGiveUp);
}

TEST(RestartPolicy, RestartsOlderThanTheWindowNoLongerCount) {
  RestartPolicy p(3, 10 * kMinute);
  EXPECT_EQ(p.OnEnded(true, 0), D::kRestart);
  EXPECT_EQ(p.OnEnded(true, 5 * kMinute), D::kRestart);
  EXPECT_EQ(p.OnEnded(true, 9 * kMinute), D::kRestart);
  // At 10:00 the first restart leaves the window, 9:59.999 it was still in.
  RestartPolicy q = p;
  EXPECT_EQ(q.OnEnded(true, 10 * kMinute - 1), D::kGiveUp);
  EXPECT_EQ(p.OnEnded(true, 10 * kMinute), D::kRestart);
  // Now 5:00, 9:00 and 10:00 are in the window: the next within it is refused.
  EXPECT_EQ(p.OnEnded(true, 14 * kMinute), D::kGiveUp);
}

TEST(RestartPolicy, CountsAcrossAWrapOfTheTickCounter) {
  RestartPolicy p(2, 10 * kMinute);
  const uint32_t nearEnd = 0xFFFFFFFFu - kMinute;
  EXPECT_EQ(p.OnEnded(true, nearEnd), D::kRestart);
  EXPECT_EQ(p.OnEnded(true, nearEnd + 2 * kMinute), D::kRestart);  // wrapped past zero
  EXPECT_EQ(p.OnEnded(true, nearEnd + 3 * kMinute), D::kGiveUp);
  RestartPolicy q(2, 10 * kMinute);
  EXPECT_EQ(q.OnEnded(true, nearEnd), D::kRestart);
  EXPECT_EQ(q.OnEnded(true, nearEnd + 2 * kMinute), D::kRestart);
  // Eleven minutes after the first, across the wrap: that one is out.
  EXPECT_EQ(q.OnEnded(true, nearEnd + 11 * kMinute), D::kRestart);
  // Half a minute after a restart whose window ends past the wrap, before
  // the counter wraps itself: still within the window.
  RestartPolicy r(1, 10 * kMinute);
  EXPECT_EQ(r.OnEnded(true, nearEnd), D::kRestart);
  EXPECT_EQ(r.OnEnded(true, nearEnd + kMinute / 2), D::kGiveUp);
}

TEST(RestartPolicy, OneThatNeverGotReadyIsNotTriedAgain) {
  RestartPolicy p(3, 10 * kMinute);
  EXPECT_EQ(p.OnEnded(false, 1000), D::kGiveUp);
  EXPECT_TRUE(p.gaveUp());
  RestartPolicy q(3, 10 * kMinute);
  EXPECT_EQ(q.OnEnded(true, 1000), D::kRestart);
  EXPECT_EQ(q.OnEnded(false, 2000), D::kGiveUp);  // the restarted one failed to come up
}

TEST(RestartPolicy, AFailedStartGivesUp) {
  RestartPolicy p;
  EXPECT_FALSE(p.gaveUp());
  p.OnStartFailed();
  EXPECT_TRUE(p.gaveUp());
  EXPECT_EQ(p.OnEnded(true, 0), D::kGiveUp);
}

TEST(RestartPolicy, LimitsOutOfRangeAreClamped) {
  RestartPolicy none(-1, 10 * kMinute);
  EXPECT_EQ(none.OnEnded(true, 0), D::kGiveUp);
  RestartPolicy many(1000, 10 * kMinute);
  int restarts = 0;
  while (many.OnEnded(true, static_cast<uint32_t>(restarts)) == D::kRestart && restarts < 100) ++restarts;
  EXPECT_EQ(restarts, RestartPolicy::kMaxRestartsLimit);
}

}  // namespace
}  // namespace quillo::app
