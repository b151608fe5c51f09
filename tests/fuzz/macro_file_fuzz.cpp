// Feeds arbitrary bytes to the .mcr reader and plays what it accepts into a
// host that checks every record handed out lies inside the file, and that
// the playback leaves no key or mouse button pressed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "macros/macro_file.h"
#include "macros/macro_player.h"

using namespace quillo::macros;

namespace {

struct Bytes : MacroSource {
  const uint8_t* data;
  size_t size;
  size_t at;
  uint32_t Read(void* out, uint32_t n) noexcept override {
    const size_t take = at < size ? (size - at < n ? size - at : n) : 0;
    if (take > 0) std::memcpy(out, data + at, take);
    at += take;
    return static_cast<uint32_t>(take);
  }
};

struct Player : PlayHost {
  uint32_t played = 0;
  uint64_t waited = 0;
  PlayIntervals intervals;
  bool down[256] = {};
  uint32_t buttons = 0;
  void SendKey(uint8_t vk, uint8_t, bool, bool up) noexcept override {
    ++played;
    down[vk] = !up;
  }
  void SendMouse(uint32_t flags, int32_t, int32_t) noexcept override {
    ++played;
    // Each button's press flag, then its release flag, as the system takes them.
    for (uint32_t press : {0x2u, 0x8u, 0x20u}) {
      if ((flags & press) != 0) buttons |= press;
      if ((flags & (press << 1)) != 0) buttons &= ~press;
    }
  }
  bool IsPlaying() noexcept override { return true; }
  PlayIntervals Intervals() noexcept override { return intervals; }
  void Wait(uint32_t ms) noexcept override {
    if (ms > kMaxWaitMs) abort();
    waited += ms;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MacroHeader header;
  if (DecodeHeader(data, size, header) != MacroFileError::kNone) return 0;
  if (kMacroHeaderBytes + uint64_t{header.count} * kRecordBytes > size) abort();  // the mend
  Bytes source;
  source.data = data;
  source.size = size;
  source.at = kMacroHeaderBytes;
  MacroReader reader(source);
  if (!reader.Start(header)) abort();  // a checked file never comes short
  Player player;
  player.intervals.playStyle = size > 0 ? data[size - 1] % 2 : 0;
  player.intervals.keyInterval = size > 1 ? static_cast<int8_t>(data[size - 2]) : 100;
  if (PlayEvents(reader, player) != PlayResult::kComplete) abort();
  if (reader.delivered() != header.count) abort();
  // Every record plays at most once; playback adds at most one release for
  // each key (a code and its extended flag; Shift also by its scan code) and
  // each of the three buttons.
  if (player.played > uint64_t{header.count} + 1024 + 3) abort();
  if (player.buttons != 0) abort();
  for (bool held : player.down) {
    if (held) abort();
  }
  return 0;
}
