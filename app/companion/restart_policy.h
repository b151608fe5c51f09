// When the 64-bit resident program starts its 32-bit companion again: after
// an unexpected end, a few times within a while, and never once it has given
// up. A companion that never got ready (no 32-bit support, a missing library,
// another one serving the session) would only fail again: no retry for it.
#pragma once

#include <cstdint>

namespace quillo::app {

class RestartPolicy {
 public:
  static constexpr int kMaxRestartsLimit = 16;

  // At most `maxRestarts` (clamped to 0..kMaxRestartsLimit) within any
  // `windowMs` milliseconds.
  explicit RestartPolicy(int maxRestarts = 3, uint32_t windowMs = 10u * 60u * 1000u) noexcept;

  enum class Decision { kRestart, kGiveUp };

  // The companion ended on its own at `nowMs` (a millisecond tick count,
  // which may wrap); `wasReady`: it had reported its hooks in. A restart
  // decided here is counted.
  Decision OnEnded(bool wasReady, uint32_t nowMs) noexcept;
  // Starting it failed: no further attempt.
  void OnStartFailed() noexcept { gaveUp_ = true; }
  bool gaveUp() const noexcept { return gaveUp_; }

 private:
  int maxRestarts_;
  uint32_t windowMs_;
  uint32_t restarts_[kMaxRestartsLimit] = {};  // times of the restarts still within the window
  int count_ = 0;
  bool gaveUp_ = false;
};

}  // namespace quillo::app
