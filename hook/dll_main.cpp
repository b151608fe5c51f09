// Library entry of QuilloHook.dll.
#include <windows.h>

#include "message_box_win.h"
#include "process_state.h"
#include "resource.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  quillo::hook::ProcessState& state = quillo::hook::State();
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      state.instance = instance;
      // Growable private heap, 8 KB to start. A failure is reported later by
      // Heap(): a message box here would run under the loader lock and could
      // hang the process we were injected into. Loading itself never fails.
      state.heap = HeapCreate(0, 8192, 0);
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (state.rootMenu != nullptr) {
        // Only on FreeLibrary (reserved == null) is the process still healthy
        // enough to show a box; at process exit other threads are already gone.
        if (!DestroyMenu(state.rootMenu) && reserved == nullptr) {
          quillo::ShowQuilloMessage(instance, IDS_DELETE_MENU);
        }
        state.rootMenu = nullptr;
      }
      if (state.heap != nullptr) {
        HeapDestroy(state.heap);
        state.heap = nullptr;
      }
      break;
    default:
      break;
  }
  return TRUE;
}
