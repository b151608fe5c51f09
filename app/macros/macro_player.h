// Playback of a checked macro file: the first record plays at once, each later
// one after the recorded gap to its predecessor, or, in fixed-interval mode,
// after the interval that belongs to the kind of its predecessor.
//
// Waits are bounded. A gap is the unsigned 32-bit difference of two time
// stamps, so a wrap of the tick counter between two records still gives the
// right wait; a difference of 2^31 ms or more can only come from a time stamp
// that goes backwards (a file edited by hand) and counts as 0, as does a
// negative interval setting; any other wait is cut to kMaxWaitMs. Every wait
// also ends as soon as playback is stopped.
#pragma once

#include <cstdint>

#include "macros/macro_file.h"

namespace quillo::macros {

// One hour. Nobody records a longer pause between two steps on purpose; such a
// gap is a recording left running. Together with a wait that ends on Pause/Break,
// no file can keep the player busy for longer than that without a way out.
constexpr uint32_t kMaxWaitMs = 60u * 60u * 1000u;

// The mouse-event flag the player adds to every recorded mouse record.
constexpr uint32_t kMouseEventAbsolute = 0x8000;

struct PlayIntervals {
  int32_t playStyle = 0;  // > 0: fixed intervals instead of the recorded gaps
  int32_t keyInterval = 100;
  int32_t mouseInterval = 20;
};

// What playback needs from the system; called on the playback thread.
class PlayHost {
 public:
  virtual void SendKey(uint8_t vk, uint8_t scan, bool extended, bool up) noexcept = 0;
  virtual void SendMouse(uint32_t flags, int32_t x, int32_t y) noexcept = 0;
  // The playing flag, cleared by the user-interface thread to stop.
  virtual bool IsPlaying() noexcept = 0;
  // The interval settings, read again before every wait.
  virtual PlayIntervals Intervals() noexcept = 0;
  // Waits `ms` milliseconds or until playback is stopped.
  virtual void Wait(uint32_t ms) noexcept = 0;

 protected:
  ~PlayHost() = default;
};

// The wait before a record stamped `next` when the previous wait ended at the
// stamp `last`.
uint32_t GapToWait(uint32_t last, uint32_t next) noexcept;

enum class PlayResult {
  kComplete,  // every record was played
  kStopped,   // the playing flag was cleared
  kShortFile, // the file came short while playing (it changed since it was checked)
};

// The keys and mouse buttons a playback has pressed and not yet released.
// The macro may end, or be stopped, between a press and its release (a
// recording saved with Ctrl still down, Pause in the middle of Ctrl+C):
// the system would then go on seeing the key held, and every later key the
// user types would reach programs as Ctrl+key.
class PressedInputs {
 public:
  // Notes what one played record pressed or released.
  void Played(const EventRecord& record) noexcept;
  // Releases everything still held, keys in the reverse order of their
  // presses; afterwards nothing is held.
  void ReleaseAll(PlayHost& host) noexcept;
  bool AnyHeld() const noexcept { return keyCount_ > 0 || buttons_ != 0; }

 private:
  struct HeldKey {
    uint8_t vk;
    uint8_t scan;
    bool extended;
  };
  // One slot per key is enough: a second press of a held key (auto-repeat)
  // needs one release all the same. A key is its code and extended flag,
  // and for Shift also its scan code: room for every one a file can name.
  static constexpr int kMaxHeldKeys = 1024;
  HeldKey keys_[kMaxHeldKeys] = {};
  int keyCount_ = 0;
  uint32_t buttons_ = 0;  // the down flags of the buttons held
  int32_t x_ = 0;         // where the last mouse record was
  int32_t y_ = 0;
};

// Plays the records of `reader` (started on a checked header). Whatever ends
// the pass (its last record, a stop, a file that came short), every key and
// button it left pressed is released before it returns.
PlayResult PlayEvents(MacroReader& reader, PlayHost& host) noexcept;

}  // namespace quillo::macros
