// A library that links the C++ run-time statically must find its own unwind
// tables when one of its exceptions is thrown, whatever the host program has
// loaded. On the 32-bit flavor the start-up code hands the tables to the
// run-time library "libgcc_s_dw2-1.dll" when the host happens to have that one
// loaded, and the library's own, static unwinder then knows nothing of them:
// any exception, even one caught a few lines further, would end the host.
#pragma once

#include <windows.h>

namespace quillo {

// Registers the tables of `module` with the library's own unwinder when the
// start-up code gave them elsewhere. Call first thing in DllMain's attach.
void AdoptOwnUnwindTables(HMODULE module) noexcept;

// Undoes AdoptOwnUnwindTables; call in DllMain's detach.
void ReleaseOwnUnwindTables() noexcept;

}  // namespace quillo
