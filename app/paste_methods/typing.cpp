#include "typing.h"

namespace quillo::app {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

bool IsHighSurrogate(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr char16_t kTab = u'\t';
constexpr char16_t kDel = 0x7F;

size_t SkipUntypedUnits(const char16_t* text, size_t length, size_t pos) noexcept {
  while (pos < length && IsUntypedUnit(text[pos])) ++pos;
  return pos;
}

// The way of a step while the user holds no key.
TypingSend ChooseUnheld(const TypingStep& step, const TypingKeyFacts& facts) noexcept {
  if (step.kind == TypingStep::kEnter) return TypingSend::kKey;
  if (step.count != 1 || !facts.onLayout) return TypingSend::kItself;
  // A dead key gives nothing by itself: it changes the next character.
  if (facts.deadKey) return TypingSend::kItself;
  // Ctrl, Alt (AltGr is both) or a layout's other shift keys, pressed by us,
  // could make a command of the key in the program.
  if ((facts.shiftState & ~1u) != 0) return TypingSend::kItself;
  // Caps Lock turns the case of the letters of a layout, and which keys
  // count as letters is the layout's business; Tab (the one control typed
  // as a character) it never touches.
  if (facts.capsLock && step.units[0] != kTab) return TypingSend::kItself;
  return (facts.shiftState & 1u) != 0 ? TypingSend::kShiftedKey : TypingSend::kKey;
}

}  // namespace

bool IsUntypedUnit(char16_t unit) noexcept {
  if (unit == kTab || unit == kCr || unit == kLf) return false;
  return unit < 0x20 || unit == kDel;
}

size_t NextTypingStep(const char16_t* text, size_t length, size_t pos, TypingStep& step) noexcept {
  pos = SkipUntypedUnits(text, length, pos);
  if (pos >= length) {
    step.kind = TypingStep::kNone;
    step.count = 0;
    return length;
  }
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
  // Passed over before a batch is begun, so that controls at the end make
  // no empty batch and no wait.
  size_t pos = SkipUntypedUnits(text, length, 0);
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
      pos = SkipUntypedUnits(text, length, NextTypingStep(text, length, pos, step));
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

TypingKeys ChooseTypingKeys(const TypingStep& step, const TypingKeyFacts& facts) noexcept {
  const bool releaseAlt = (facts.held & kHeldAlt) != 0;
  const unsigned held = facts.held & ~static_cast<unsigned>(kHeldAlt);
  // Any other key the user holds changes every key we press: Ctrl with a
  // letter or with Enter is a command, Shift with Tab goes back. A character
  // sent as itself is taken as that character whatever is held. Enter so
  // goes as a CR, which an edit control takes as a line end; a console,
  // which reads keys, loses that line end, but runs no command.
  if (held != 0) return {releaseAlt, TypingSend::kItself};
  return {releaseAlt, ChooseUnheld(step, facts)};
}

}  // namespace quillo::app
