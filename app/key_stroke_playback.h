// Playback of a menu item that mixes text and key strokes. The hook library
// leaves on the clipboard the text, with 0x03 where each key stroke belongs,
// and a list of 2- or 4-byte records in the marker format; the resident
// program turns the two into an ordered list of steps and runs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillo::app {

constexpr char kKeyStrokePlaceholder = '\x03';

struct PlaybackStep {
  enum Kind {
    kPaste,     // put `text` on the clipboard and paste it
    kKeyPress,  // key down and up
    kKeyDown,
    kKeyUp,
    kWait,      // `delayMs` milliseconds
    kBadRecord, // an unknown record kind: tell the user and go on
  };
  Kind kind = kPaste;
  uint8_t vk = 0;
  uint16_t delayMs = 0;
  std::string text;
};

// The steps for `text` and the marker data, in order. A marker whose first
// byte is 0 (an item without key strokes) gives no steps; records beyond the
// end of the marker data are never read. The pause after each step is the
// caller's business.
std::vector<PlaybackStep> PlanKeyStrokePlayback(const char* text, size_t textLen,
                                               const uint8_t* marker, size_t markerLen);

}  // namespace quillo::app
