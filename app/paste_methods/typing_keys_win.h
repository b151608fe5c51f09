// The key events that type one step of a text (typing.h) into a window of
// another thread: which key of that window's keyboard layout gives the
// character, and when the character must go as itself instead.
#pragma once

#include <windows.h>

#include <cstddef>

#include "typing.h"

namespace quillo::app {

// The keyboard of the thread that owns the target window.
struct TypingKeyboard {
  HKL layout;     // that thread's keyboard layout
  bool capsLock;  // Caps Lock is on there
};

// Events per step at most: the user's Alt released (a press and a release
// of a key of no meaning, then the releases of the left and the right Alt),
// and a surrogate pair as itself (two presses, two releases).
constexpr size_t kMaxInputsPerStep = 8;

// The key events of `step` for a window whose thread uses `keyboard`, each
// marked with `extraInfo` in dwExtraInfo; returns how many were written
// (<= capacity), 0 when none (a kNone step, or too little room for the
// whole step: a step is never cut). The modifier keys the user holds are
// looked at on each call.
size_t KeysForStep(const TypingStep& step, const TypingKeyboard& keyboard, ULONG_PTR extraInfo, INPUT* out,
                   size_t capacity) noexcept;

}  // namespace quillo::app
