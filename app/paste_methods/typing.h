// Typing a text into the application in front, character by character, for
// programs that take no paste keys (consoles, remote desktops, fields that
// refuse pasting). The text arrives as UTF-16 (the glue converts the ANSI
// text with the system's code page); each unit becomes a key press that the
// system turns into that very character for the window, and every line end
// one press of Enter. Control characters other than Tab and the line ends
// are never typed: as keys they would act (Backspace erases, Escape is the
// user's stop, Ctrl+C interrupts a console). Portable: the keys go out
// through TypingOutput.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo::app {

// One thing typed: a character (one UTF-16 unit, or the two of a surrogate
// pair, which are never split) or the Enter key; kNone when nothing is left
// to type.
struct TypingStep {
  enum Kind { kCharacter, kEnter, kNone } kind;
  char16_t units[2];
  size_t count;  // units used, for kCharacter
};

// Whether `unit` is left out of a typed text: the C0 controls but Tab, CR
// and LF, and DEL.
bool IsUntypedUnit(char16_t unit) noexcept;

// The step at `pos` of `text` into `step`, and the position after it. A line
// end (CR LF, a lone LF or a lone CR) is one kEnter. Untyped units are passed
// over; when only they remain, the step is kNone and the position `length`.
// One between a CR and an LF, or between the halves of a surrogate pair,
// still parts them: what is typed is never a line end or a character that
// the text did not hold. `pos` < `length`.
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

// How one step goes out as key events. A key stands for a character only
// where the key gives that very character whatever else happens on the
// keyboard; otherwise the character is sent as itself (a key event that
// carries the character, which no layout, lock or held key changes).
enum class TypingSend {
  kKey,         // the character's key (Enter: the Enter key) alone
  kShiftedKey,  // the character's key with Shift
  kItself       // the character as itself (Enter: a CR)
};

// The modifier keys the user holds while a text is typed, as bits.
enum TypingHeldKey : unsigned { kHeldShift = 1, kHeldCtrl = 2, kHeldAlt = 4, kHeldWin = 8 };

// What the target window's keyboard layout says of a step's character, and
// the keyboard's state when it is sent.
struct TypingKeyFacts {
  bool onLayout;        // a key of the layout gives the character
  unsigned shiftState;  // the shift keys that key needs: 1 Shift, 2 Ctrl, 4 Alt, higher bits others
  bool deadKey;         // that key, in that shift state, is a dead key (it waits for the next)
  bool capsLock;        // Caps Lock is on in the target
  unsigned held;        // TypingHeldKey bits the user holds down
};

// How a step goes out: whether the user's Alt is released first, then the
// way of the step itself.
struct TypingKeys {
  // With Alt held, every key event is a system one and the character it
  // makes a menu's access key, whether it comes from a key or is sent as
  // itself; with Ctrl held too (a layout's AltGr), Wine makes other
  // characters of those sent as themselves. So Alt is released (a key of no
  // meaning pressed first, so that the release opens no menu) and stays so
  // for the user until pressed again: the text arrives as it is, and the
  // user's Alt, pressed before the text, did its part before it.
  bool releaseAlt;
  TypingSend send;
};

// The way to send `step` (kCharacter or kEnter) with these facts; the facts
// of the layout are not looked at for kEnter or a surrogate pair.
TypingKeys ChooseTypingKeys(const TypingStep& step, const TypingKeyFacts& facts) noexcept;

// The typed key events the program took, from the hooks' count of every key
// event while a text is typed, the user's own among them (a key held down
// repeats). A count beyond all that was sent is surely theirs and never
// taken as room; the user's events within the lead cannot be told from the
// typed ones, and each lets the typist one event further ahead.
class TypedKeyCount {
 public:
  // `counted`: the hooks' count now; `sent`: the key events sent so far.
  int32_t Taken(int32_t counted, int32_t sent) noexcept {
    const int32_t ours = counted - others_;
    if (ours <= sent) return ours;
    others_ += ours - sent;
    return sent;
  }

 private:
  int32_t others_ = 0;  // key events counted that were not ours
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

// Types `text` in batches of `batchSteps` steps (untyped units passed over,
// never a batch of none), asking before each batch whether it may go on; the
// recording suspension brackets the whole text, and is closed whatever ends
// it.
TypingResult TypeText(const char16_t* text, size_t length, size_t batchSteps, bool recording,
                      TypingOutput& out) noexcept;

}  // namespace quillo::app
