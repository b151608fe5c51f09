#include "key_stroke_playback.h"

#include "dbcs.h"

namespace quillo::app {
namespace {

// Next placeholder at or after `from`, stepping by characters so that a trail
// byte is never taken for one; `len` when there is none.
size_t FindPlaceholder(const char* text, size_t len, size_t from) {
  size_t i = from;
  while (i < len) {
    if (text[i] == kKeyStrokePlaceholder) return i;
    const bool pair = text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < len;
    i += pair ? 2 : 1;
  }
  return len;
}

}  // namespace

std::vector<PlaybackStep> PlanKeyStrokePlayback(const char* text, size_t textLen,
                                               const uint8_t* marker, size_t markerLen) {
  std::vector<PlaybackStep> steps;
  if (text == nullptr || marker == nullptr || markerLen == 0 || marker[0] == 0) return steps;
  size_t pos = 0;
  size_t record = 0;
  for (;;) {
    const size_t stop = FindPlaceholder(text, textLen, pos);
    if (stop > pos) {
      PlaybackStep paste;
      paste.text.assign(text + pos, stop - pos);
      steps.push_back(std::move(paste));
    }
    if (stop >= textLen) break;  // no placeholder: the text was the last piece
    // A placeholder without a record behind it ends the playback: the list
    // is the sender's, and we never read past what it gave us.
    if (record + 2 > markerLen) break;
    const uint8_t vk = marker[record];
    const uint8_t kind = marker[record + 1];
    PlaybackStep step;
    step.kind = PlaybackStep::kBadRecord;
    step.vk = vk;
    size_t size = 2;
    switch (kind) {
      case 1: step.kind = PlaybackStep::kKeyPress; break;
      case 2: step.kind = PlaybackStep::kKeyDown; break;
      case 3: step.kind = PlaybackStep::kKeyUp; break;
      case 4:
        if (record + 4 > markerLen) return steps;
        step.kind = PlaybackStep::kWait;
        step.delayMs = static_cast<uint16_t>(marker[record + 2] | (marker[record + 3] << 8));
        size = 4;
        break;
      default: break;
    }
    steps.push_back(step);
    record += size;
    pos = stop + 1;
    if (pos >= textLen) break;  // ends with a placeholder: its key was the last step
  }
  return steps;
}

}  // namespace quillo::app
