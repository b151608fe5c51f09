#include "capture.h"

#include <cstring>

#include "dbcs.h"
#include "quillo_messages.h"

namespace quillo::app {

bool TitleContains(const char* title, const char* needle) {
  if (title == nullptr || needle == nullptr) return false;
  const size_t n = std::strlen(needle);
  if (n == 0) return true;
  for (const char* p = title; *p != '\0'; p = text::Next(p)) {
    if (std::strncmp(p, needle, n) == 0) return true;
  }
  return false;
}

CaptureDecision DecideCapture(const CaptureFacts& f) {
  CaptureDecision d;
  if (f.suspend || f.suspendHistory) {
    // Nothing reaches the history, so a pending text command would work on an
    // older entry and paste the wrong text over the selection: drop it too.
    d.skip = true;
    return d;
  }
  if (f.skipWord && f.foregroundTitle != nullptr && f.foregroundTitle[0] != '\0' &&
      TitleContains(f.foregroundTitle, kWordTitle)) {
    d.skip = true;
    return d;
  }
  if (!f.hasText) return d;
  if (f.hasMarker || f.excludedByOwner) {
    d.skip = true;
    return d;
  }
  d.open = true;
  return d;
}

void TextCommandHandover::Request(TextCommand command, uint32_t now, int conversionKind) {
  pending_ = command;
  since_ = now;
  if (command == kConvert) conversionKind_ = conversionKind;
}

unsigned TextCommandHandover::OnClipboardChange(bool hasText, bool skipped, uint32_t now) {
  if (pending_ == kNoCommand || !hasText) return 0;
  const TextCommand command = pending_;
  pending_ = kNoCommand;
  if (skipped) return 0;
  // Unsigned difference: right across the tick counter's wrap.
  if (now - since_ >= kLongestWaitMs) return 0;
  switch (command) {
    case kEnclose: return kMsgEncloseArm;
    case kConvert: return kMsgConvArm;
    case kDisclose: return kMsgDiscloseArm;
    default: return 0;
  }
}

}  // namespace quillo::app
