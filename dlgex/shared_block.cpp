// The extension's shared block: one copy for all processes that load the DLL.
#include "quillo_dlgex.h"

#include "shared_block.h"

#define SHARED __attribute__((section(".shared"), shared))

HHOOK g_hCallWndHook SHARED = nullptr;
BOOL g_bSuspendDirHist SHARED = 0;
BOOL g_bDirHistShare SHARED = 1;  // "Same contents" until the settings say otherwise

namespace quillo::dlgex {
HWND g_hwndResident SHARED = nullptr;
int g_nPlatformClass SHARED = 0;
// The captions double as the keys by which the sub menus are found again.
char g_szHistoryCaption[16] SHARED = "Folder History";
char g_szShortcutCaption[16] SHARED = "Folder Shortcut";
char g_szAddCaption[32] SHARED = "Add Current Folder";
}  // namespace quillo::dlgex
