// Library entry of QuilloHook.dll.
#include <windows.h>

#include "own_runtime_win.h"
#include "own_unwind_tables_win.h"
#include "process_state.h"
#include "shared_block_win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  quillo::hook::ProcessState& state = quillo::hook::State();
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      quillo::AdoptOwnUnwindTables(instance);
      state.instance = instance;
      // Growable private heap, 8 KB to start. A failure is reported later by
      // Heap(): a message box here would run under the loader lock and could
      // hang the process we were injected into. Loading itself never fails.
      state.heap = HeapCreate(0, 8192, 0);
      state.passingOnSlot = TlsAlloc();  // none: the hooks simply do without
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      // At process exit the other threads are gone, maybe in the middle of
      // a menu call or an unwind that holds a lock we would need: the system
      // takes back the menu, the heap and the process with it. Only an unload
      // of the library from a living process gives them back here.
      if (quillo::hook::DetachFromProcess(reserved != nullptr)) {
        quillo::ReleaseExceptionGlobals();
        quillo::ReleaseOwnUnwindTables();
        quillo::ReleaseSharedBlock();
      }
      break;
    default:
      break;
  }
  return TRUE;
}
