#include "typing.h"

namespace quillo::app {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

bool IsHighSurrogate(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

size_t NextTypingStep(const char16_t* text, size_t length, size_t pos, TypingStep& step) noexcept {
  const char16_t u = text[pos];
  if (u == kCr || u == kLf) {
    step.kind = TypingStep::kEnter;
    step.count = 0;
    // CR LF is one line end; LF CR is two (an LF line end, then a CR one).
    if (u == kCr && pos + 1 < length && text[pos + 1] == kLf) return pos + 2;
    return pos + 1;
  }
  step.kind = TypingStep::kCharacter;
  step.units[0] = u;
  step.count = 1;
  if (IsHighSurrogate(u) && pos + 1 < length && IsLowSurrogate(text[pos + 1])) {
    step.units[1] = text[pos + 1];
    step.count = 2;
    return pos + 2;
  }
  return pos + 1;
}

TypingResult TypeText(const char16_t* text, size_t length, size_t batchSteps, bool recording,
                      TypingOutput& out) noexcept {
  TypingResult result{0, TypingEnd::kDone};
  if (batchSteps == 0) batchSteps = 1;
  if (recording) out.SuspendRecording();
  size_t pos = 0;
  bool first = true;
  while (pos < length) {
    if (!first) out.WaitBetweenBatches();
    first = false;
    const TypingEnd check = out.Check();
    if (check != TypingEnd::kDone) {
      result.end = check;
      break;
    }
    for (size_t n = 0; n < batchSteps && pos < length; ++n) {
      TypingStep step;
      pos = NextTypingStep(text, length, pos, step);
      out.AddStep(step);
      ++result.steps;
    }
    if (!out.SendBatch()) {
      result.end = TypingEnd::kInputRefused;
      break;
    }
  }
  if (recording) out.ResumeRecording();
  return result;
}

}  // namespace quillo::app
