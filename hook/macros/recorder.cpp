#include "macros/recorder.h"

namespace quillo::hook {
namespace {

bool IsPause(const KeyEvent& event) noexcept { return (event.vk & 0xFF) == kVkPause; }

EventRecord Blank(int32_t kind, uint32_t time) noexcept {
  EventRecord r{};
  r.kind = kind;
  r.time = time;
  r.magic = kEventMagic;
  return r;
}

}  // namespace

int32_t ScaleToAbsolute(int32_t pixel, int32_t extent) noexcept {
  if (extent == 0) return -1;
  const int64_t product = static_cast<int64_t>(pixel) * 65536;
  const int64_t divisor = extent < 0 ? -static_cast<int64_t>(extent) : extent;
  const bool negative = (product < 0) != (extent < 0);
  const int64_t magnitude = ((product < 0 ? -product : product) + divisor / 2) / divisor;
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return -1;
  return static_cast<int32_t>(result);
}

uint32_t MouseFlagsOf(uint32_t message) noexcept {
  switch (message) {
    case 0x200: case 0xA0: return 1;                       // WM_(NC)MOUSEMOVE
    case 0x201: case 0x203: case 0xA1: case 0xA3: return 2;  // left down, double click
    case 0x202: case 0xA2: return 4;                       // left up
    case 0x204: case 0x206: case 0xA4: case 0xA6: return 8;  // right down, double click
    case 0x205: case 0xA5: return 16;                      // right up
    default: return 0;  // middle button, wheel, ...: not recorded
  }
}

void RecordKey(const KeyEvent& event, const RecorderFields& f, RecorderHost& host) noexcept {
  if (IsPause(event)) {
    // Stops recording (and any playback) for every process at once; the key
    // itself is not recorded, and its release finds recording already off.
    *f.recording = 0;
    *f.playing = 0;
    *f.recSuspend = 0;
    host.Beep();
    host.PostStop();
    return;
  }
  if (*f.recKey == 0 || *f.recSuspend != 0) return;
  EventRecord r = Blank(kEventKindKey, host.TickCount());
  r.u.key.vk = static_cast<uint8_t>(event.vk & 0xFF);
  r.u.key.scan = static_cast<uint8_t>((event.flags >> 16) & 0xFF);
  r.a = event.released ? 0 : 1;
  r.b = event.extended ? 1 : 0;
  host.SendRecord(r);
}

void CheckPauseWhilePlaying(const KeyEvent& event, const RecorderFields& f, RecorderHost& host) noexcept {
  // The live flag, not the hook's snapshot: a Pause that just stopped a
  // recording has cleared it, and one stop request is enough.
  if (*f.playing == 0 || !IsPause(event)) return;
  *f.playing = 0;
  host.Beep();
  host.PostStop();
}

void RecordMouse(const MouseEvent& event, const RecorderFields& f, RecorderHost& host) noexcept {
  const uint32_t flags = MouseFlagsOf(event.message);
  const bool cutMoves = *f.cutMouseMove != 0;
  if (flags == 0 || (flags == 1 && cutMoves)) return;
  const int32_t cx = *f.screenCx;
  const int32_t cy = *f.screenCy;
  if (cx == 0 || cy == 0) return;  // the screen size comes with MacroRecording
  EventRecord r = Blank(kEventKindMouse, host.TickCount());
  r.u.mouseFlags = flags;
  r.a = ScaleToAbsolute(event.x, cx);
  r.b = ScaleToAbsolute(event.y, cy);
  if (cutMoves) {
    // Without recorded moves the pointer must still reach each click.
    EventRecord move = r;
    move.u.mouseFlags = 1;
    host.SendRecord(move);
  }
  host.SendRecord(r);
}

}  // namespace quillo::hook
