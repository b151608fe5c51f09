// The Win32 side of the macro recorder: the shared fields, the record sent to
// the resident window, the beep and the stop command.
#pragma once

#include "trigger.h"

namespace quillo::hook {

void RecordKeyWin(const KeyEvent& event) noexcept;
void CheckPauseWhilePlayingWin(const KeyEvent& event) noexcept;
void RecordMouseWin(const MouseEvent& event) noexcept;

}  // namespace quillo::hook
