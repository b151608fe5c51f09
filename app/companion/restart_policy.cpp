#include "restart_policy.h"

namespace quillo::app {

RestartPolicy::RestartPolicy(int maxRestarts, uint32_t windowMs) noexcept
    : maxRestarts_(maxRestarts < 0 ? 0 : maxRestarts > kMaxRestartsLimit ? kMaxRestartsLimit : maxRestarts),
      windowMs_(windowMs) {}

RestartPolicy::Decision RestartPolicy::OnEnded(bool wasReady, uint32_t nowMs) noexcept {
  if (gaveUp_ || !wasReady) {
    gaveUp_ = true;
    return Decision::kGiveUp;
  }
  // Restarts older than the window no longer count; the difference of two
  // tick counts is right across a wrap of the counter.
  int kept = 0;
  for (int i = 0; i < count_; ++i) {
    if (nowMs - restarts_[i] < windowMs_) restarts_[kept++] = restarts_[i];
  }
  count_ = kept;
  if (count_ >= maxRestarts_) {
    gaveUp_ = true;
    return Decision::kGiveUp;
  }
  restarts_[count_++] = nowMs;
  return Decision::kRestart;
}

}  // namespace quillo::app
