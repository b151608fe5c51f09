// The pieces of the C++ run-time that the hook library brings itself instead
// of linking them from libstdc++ and winpthread (see own_runtime_win.cpp).
#pragma once

namespace quillo {

// Gives back the per-thread slot of the exception state; call when the library
// leaves a living process, after which it throws no more.
void ReleaseExceptionGlobals() noexcept;

}  // namespace quillo
