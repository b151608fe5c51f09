// A library built from the same run-time pieces as the hook library (the
// exception state in a fiber slot, the unwinder's slim locks, the adopted
// unwind tables), with one export that throws and catches: the tests drive it
// from many threads at once and unload it while threads that threw still live.
#include <windows.h>

#include <new>
#include <stdexcept>

#include "own_runtime_win.h"
#include "own_unwind_tables_win.h"

namespace {

// Not inlined away: the throw must really unwind through a frame.
__attribute__((noinline)) void Thrower(int i) {
  if (i % 2 == 0) throw std::bad_alloc();
  throw std::runtime_error("odd");
}

}  // namespace

// Throws `rounds` times and catches each; answers how many were caught by
// their own kind.
extern "C" __declspec(dllexport) int ProbeThrowAndCatch(int rounds) {
  int caught = 0;
  for (int i = 0; i < rounds; ++i) {
    try {
      Thrower(i);
    } catch (const std::bad_alloc&) {
      if (i % 2 == 0) ++caught;
    } catch (const std::exception&) {
      if (i % 2 == 1) ++caught;
    }
  }
  return caught;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      quillo::AdoptOwnUnwindTables(instance);
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      // As the hook library does on an unload from a living process.
      if (reserved == nullptr) {
        quillo::ReleaseExceptionGlobals();
        quillo::ReleaseOwnUnwindTables();
      }
      break;
    default:
      break;
  }
  return TRUE;
}
