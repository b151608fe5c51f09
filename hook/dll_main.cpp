// Library entry of QuilloHook.dll.
#include <windows.h>

#include "own_unwind_tables_win.h"
#include "process_state.h"

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
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      quillo::hook::ReleaseProcessState();
      // At process exit the other threads are gone, maybe in the middle of
      // an unwind that holds the registry's lock: leave the tables be then.
      if (reserved == nullptr) quillo::ReleaseOwnUnwindTables();
      break;
    default:
      break;
  }
  return TRUE;
}
