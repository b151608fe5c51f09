// Fields of the extension's part of the session's shared block that are not
// part of the contract with the resident program.
#pragma once

#include <windows.h>

#include "shared_block_win.h"

#define g_hwndResident (::quillo::Shared().hwndDlgResident)  // set by SetDlgHookProc
#define g_nPlatformClass (::quillo::Shared().nPlatformClass)  // 0 = Windows 95, otherwise a later system
#define g_szHistoryCaption (::quillo::Shared().szHistoryCaption)
#define g_szShortcutCaption (::quillo::Shared().szShortcutCaption)
#define g_szAddCaption (::quillo::Shared().szAddCaption)
