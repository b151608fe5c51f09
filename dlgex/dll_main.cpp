// Library entry of QuilloDlgEx.dll.
#include <windows.h>

#include "shared_block_win.h"

namespace quillo::dlgex {
HINSTANCE g_hInstance = nullptr;  // per process
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    quillo::dlgex::g_hInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  // Unloaded from a living process: give the view back. At process exit the
  // system takes it with the process.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) quillo::ReleaseSharedBlock();
  return TRUE;
}
