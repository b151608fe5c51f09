// Library entry of QuilloDlgEx.dll.
#include <windows.h>

namespace quillo::dlgex {
HINSTANCE g_hInstance = nullptr;  // per process
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    quillo::dlgex::g_hInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
