// Fields of the extension's shared block that are not exported.
#pragma once

#include <windows.h>

namespace quillo::dlgex {

extern HWND g_hwndResident;    // set by SetDlgHookProc
extern int g_nPlatformClass;   // 0 = Windows 95, otherwise a later system
extern char g_szHistoryCaption[16];
extern char g_szShortcutCaption[16];
extern char g_szAddCaption[32];

}  // namespace quillo::dlgex
