// Library entry of QuilloHook.dll and its per-process state.
#include <windows.h>

#include "message_box_win.h"
#include "process_state.h"
#include "resource.h"

namespace quillo::hook {

namespace {
ProcessState g_state;  // ordinary (unshared) data: one copy per process
}

ProcessState& State() { return g_state; }

HANDLE Heap() {
  if (g_state.heap == nullptr && !g_state.heapFailureReported) {
    g_state.heapFailureReported = true;
    ShowQuilloMessage(g_state.instance, IDS_HEAP_FAILED);
  }
  return g_state.heap;
}

}  // namespace quillo::hook

using quillo::hook::g_state;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_state.instance = instance;
      // Growable private heap, 8 KB to start. A failure is reported later by
      // Heap(): a message box here would run under the loader lock and could
      // hang the process we were injected into. Loading itself never fails.
      g_state.heap = HeapCreate(0, 8192, 0);
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (g_state.rootMenu != nullptr) {
        // Only on FreeLibrary (reserved == null) is the process still healthy
        // enough to show a box; at process exit other threads are already gone.
        if (!DestroyMenu(g_state.rootMenu) && reserved == nullptr) {
          quillo::ShowQuilloMessage(instance, IDS_DELETE_MENU);
        }
        g_state.rootMenu = nullptr;
      }
      if (g_state.heap != nullptr) {
        HeapDestroy(g_state.heap);
        g_state.heap = nullptr;
      }
      break;
    default:
      break;
  }
  return TRUE;
}
