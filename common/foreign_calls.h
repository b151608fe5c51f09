// Hook calls made on behalf of another program. A global hook is loaded only
// into programs of its installer's bitness; for a program of the other bitness
// the system calls it in the installer's own process, on the installing
// thread. Every such program has the other flavor's library loaded already,
// which handles the event there: the call in the installer is a second one for
// the same event and must pass on untouched, or one double Ctrl would open two
// menus, one of them in the wrong process.
#pragma once

#include <cstdint>

namespace quillo {

// `installedHere`: this process installed the hooks of this flavor.
// `self`: this process; `eventProcess`: the process of the window the event is
// for (0 when there is none, which in the installer means a window it does not
// own either: the companion has no window, the resident program only hidden
// ones that never hold the focus).
constexpr bool IsCallOnBehalfOfAnother(bool installedHere, uint32_t self, uint32_t eventProcess) noexcept {
  return installedHere && eventProcess != self;
}

}  // namespace quillo
