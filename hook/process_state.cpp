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

}  // namespace quillo::hook
