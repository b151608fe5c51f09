#include "macros/macro_player.h"

namespace quillo::macros {

uint32_t GapToWait(uint32_t last, uint32_t next) noexcept {
  const uint32_t gap = next - last;  // unsigned: right across a wrap of the tick counter
  if (gap >= 0x80000000u) return 0;  // the stamp went backwards
  return gap < kMaxWaitMs ? gap : kMaxWaitMs;
}

PlayResult PlayEvents(MacroReader& reader, PlayHost& host) noexcept {
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

}  // namespace quillo::macros
