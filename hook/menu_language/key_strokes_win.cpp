// The library's one-key press for other modules.
#include <windows.h>

#include "quillo_hook.h"

QUILLO_HOOK_API void GenerateKeyStroke(UINT virtualKey) {
  // Scan code 0 and no flags: the system fills in the scan code, as for keys
  // typed by the resident program.
  keybd_event(static_cast<BYTE>(virtualKey), 0, 0, 0);
  keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
}
