#include "macros/macro_player.h"

namespace quillo::macros {

uint32_t GapToWait(uint32_t last, uint32_t next) noexcept {
  const uint32_t gap = next - last;  // unsigned: right across a wrap of the tick counter
  if (gap >= 0x80000000u) return 0;  // the stamp went backwards
  return gap < kMaxWaitMs ? gap : kMaxWaitMs;
}

namespace {

constexpr uint8_t kVkShift = 0x10;

// Mouse-event flags: each button's press and release.
constexpr uint32_t kButtonPairs[][2] = {{0x0002, 0x0004}, {0x0008, 0x0010}, {0x0020, 0x0040}};

PlayResult PlayRecords(MacroReader& reader, PlayHost& host, PressedInputs& held) noexcept;

}  // namespace

void PressedInputs::Played(const EventRecord& record) noexcept {
  if (record.kind == kEventKindKey) {
    // The left and right Ctrl, Alt and Shift share their virtual-key code;
    // the extended flag (Ctrl, Alt) or the scan code (Shift) tells them
    // apart, and each is a key of its own that must come up on its own. Other
    // keys are told apart by code and flag only, so a release that comes with
    // another scan code than its press still counts.
    const HeldKey key = {record.u.key.vk, record.u.key.scan, record.b != 0};
    auto same = [&key](const HeldKey& other) {
      return other.vk == key.vk && other.extended == key.extended && (key.vk != kVkShift || other.scan == key.scan);
    };
    int at = 0;
    while (at < keyCount_ && !same(keys_[at])) ++at;
    if (record.a != 0) {
      if (at == keyCount_ && keyCount_ < kMaxHeldKeys) keys_[keyCount_++] = key;
    } else if (at < keyCount_) {
      for (int i = at; i + 1 < keyCount_; ++i) keys_[i] = keys_[i + 1];
      --keyCount_;
    }
  } else if (record.kind == kEventKindMouse) {
    x_ = record.a;
    y_ = record.b;
    // The system acts on a press before the release of the same event: a
    // record carrying both is a click and leaves the button up.
    for (const auto& pair : kButtonPairs) {
      if ((record.u.mouseFlags & pair[0]) != 0) buttons_ |= pair[0];
      if ((record.u.mouseFlags & pair[1]) != 0) buttons_ &= ~pair[0];
    }
  }
}

void PressedInputs::ReleaseAll(PlayHost& host) noexcept {
  while (keyCount_ > 0) {
    const HeldKey& key = keys_[--keyCount_];
    host.SendKey(key.vk, key.scan, key.extended, true);
  }
  for (const auto& pair : kButtonPairs) {
    // No move flag: the button comes up where the pointer is.
    if ((buttons_ & pair[0]) != 0) host.SendMouse(pair[1], x_, y_);
  }
  buttons_ = 0;
}

PlayResult PlayEvents(MacroReader& reader, PlayHost& host) noexcept {
  PressedInputs held;
  const PlayResult result = PlayRecords(reader, host, held);
  held.ReleaseAll(host);
  return result;
}

namespace {

PlayResult PlayRecords(MacroReader& reader, PlayHost& host, PressedInputs& held) noexcept {
  EventRecord record{};
  if (!reader.Next(record)) return PlayResult::kShortFile;
  // Gaps are measured between records; the header's start time equals the
  // first stamp except after a Restart before any event, where it would add a
  // gap that was never recorded.
  uint32_t lastTime = record.time;
  int32_t lastKind = kEventKindKey;
  for (;;) {
    if (!host.IsPlaying()) return PlayResult::kStopped;
    if (record.kind == kEventKindKey) {
      host.SendKey(record.u.key.vk, record.u.key.scan, record.b != 0, record.a == 0);
      lastKind = kEventKindKey;
    } else if (record.kind == kEventKindMouse) {
      host.SendMouse(record.u.mouseFlags, record.a, record.b);
      lastKind = kEventKindMouse;
    }
    held.Played(record);
    if (reader.delivered() >= reader.header().count) return PlayResult::kComplete;
    const uint32_t played = record.time;
    if (!reader.Next(record)) return PlayResult::kShortFile;
    const PlayIntervals intervals = host.Intervals();
    if (intervals.playStyle > 0) {
      const int32_t interval = lastKind == kEventKindMouse ? intervals.mouseInterval : intervals.keyInterval;
      record.time = played + static_cast<uint32_t>(interval > 0 ? interval : 0);
    }
    const uint32_t wait = GapToWait(lastTime, record.time);
    lastTime = record.time;
    if (wait > 0) host.Wait(wait);
  }
}

}  // namespace

}  // namespace quillo::macros
