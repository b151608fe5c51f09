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

// Why typing ended.
enum class TypingEnd : uint8_t {
  kDone,           // the whole text went out
  kStopped,        // the user pressed Pause or Escape
  kTargetGone,     // the window typed into was closed
  kTargetLeftFront,  // another window came in front (or the desktop was locked)
  kInputRefused,   // the system took fewer key events than were sent
  kShutDown,       // the resident program is ending
};

class TypingOutput {
 public:
  // Adds the key presses of one step to the batch being made.
  virtual void AddStep(const TypingStep& step) noexcept = 0;
  // Sends the batch into the input stream; false when the system took less
  // than all of it (another desktop in front, input blocked).
  virtual bool SendBatch() noexcept = 0;
  // Whether typing may go on: kDone when it may, else why it must end. Asked
  // before every batch, so that no key goes to a window that is not the one
  // the text was chosen for.
  virtual TypingEnd Check() noexcept = 0;
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
  size_t steps;    // steps sent
  TypingEnd end;   // kDone when the whole text went out
};

// Types `text` in batches of `batchSteps` steps, asking before each batch
// whether it may go on; the recording suspension brackets the whole text, and
// is closed whatever ends it.
TypingResult TypeText(const char16_t* text, size_t length, size_t batchSteps, bool recording,
                      TypingOutput& out) noexcept;

}  // namespace quillo::app
