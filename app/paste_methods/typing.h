// Typing a text into the application in front, character by character, for
// programs that take no paste keys (consoles, remote desktops, fields that
// refuse pasting). The text arrives as UTF-16 (the glue converts the ANSI
// text with the system's code page); each unit becomes a key press that the
// system turns into that very character for the window, and every line end
// one press of Enter. Portable: the keys go out through TypingOutput.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo::app {

// One thing typed: a character (one UTF-16 unit, or the two of a surrogate
// pair, which are never split) or the Enter key.
struct TypingStep {
  enum Kind { kCharacter, kEnter } kind;
  char16_t units[2];
  size_t count;  // units used, for kCharacter
};

// The step at `pos` of `text` into `step`, and the position after it. A line
// end (CR LF, a lone LF or a lone CR) is one kEnter. `pos` < `length`.
size_t NextTypingStep(const char16_t* text, size_t length, size_t pos, TypingStep& step) noexcept;

class TypingOutput {
 public:
  // Adds the key presses of one step to the batch being made.
  virtual void AddStep(const TypingStep& step) noexcept = 0;
  // Sends the batch into the input stream.
  virtual void SendBatch() noexcept = 0;
  // Whether the user asked to stop (Pause or Escape).
  virtual bool StopAsked() noexcept = 0;
  // The wait between two batches, which lets the application take the keys
  // in and gives the user's stop a chance to be seen.
  virtual void WaitBetweenBatches() noexcept = 0;
  // SuspendRec and ResumeRec: typed keys never end up in a macro.
  virtual void SuspendRecording() noexcept = 0;
  virtual void ResumeRecording() noexcept = 0;

 protected:
  ~TypingOutput() = default;
};

struct TypingResult {
  size_t steps;  // steps sent
  bool stopped;  // the user stopped it before the end
};

// Types `text` in batches of `batchSteps` steps, asking before each batch
// whether to stop; the recording suspension brackets the whole text, and is
// closed whatever stops it.
TypingResult TypeText(const char16_t* text, size_t length, size_t batchSteps, bool recording,
                      TypingOutput& out) noexcept;

}  // namespace quillo::app
