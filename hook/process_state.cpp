// The per-process state of the library (ordinary, unshared data).
#include "process_state.h"

#include "message_box_win.h"
#include "resource.h"

namespace quillo::hook {

namespace {
ProcessState g_state;
}

ProcessState& State() { return g_state; }

HANDLE Heap() {
  if (g_state.heap == nullptr && !g_state.heapFailureReported) {
    g_state.heapFailureReported = true;
    ShowQuilloMessage(g_state.instance, IDS_HEAP_FAILED);
  }
  return g_state.heap;
}

void ReleaseProcessState() noexcept {
  if (g_state.rootMenu != nullptr) {
    // A menu the host program destroyed already cannot be destroyed again;
    // nothing is lost then, and nobody could be told: a message box here
    // would wait for the user with the loader lock held, and every other
    // thread of the host that loads or ends would hang behind it.
    DestroyMenu(g_state.rootMenu);
    g_state.rootMenu = nullptr;
  }
  if (g_state.heap != nullptr) {
    HeapDestroy(g_state.heap);
    g_state.heap = nullptr;
  }
  if (g_state.passingOnSlot != TLS_OUT_OF_INDEXES) {
    TlsFree(g_state.passingOnSlot);
    g_state.passingOnSlot = TLS_OUT_OF_INDEXES;
  }
}

bool DetachFromProcess(bool processEnding) noexcept {
  if (processEnding) return false;
  ReleaseProcessState();
  return true;
}

}  // namespace quillo::hook
