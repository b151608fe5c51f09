// The contract between Quillo.exe and QuilloDlgEx.dll: the extension's fields
// of the session's shared block (named like variables, as in quillo_hook.h)
// and its set-up function.
#pragma once

#include <windows.h>

#include "shared_block_win.h"

#ifdef QUILLO_DLGEX_BUILD
#define QUILLO_DLGEX_API extern "C" __declspec(dllexport)
#else
#define QUILLO_DLGEX_API extern "C" __declspec(dllimport)
#endif

#define g_hCallWndHook (::quillo::OwnCallWndHook())             // this flavor's call-window hook, or none
#define g_bSuspendDirHist (::quillo::Shared().bSuspendDirHist)  // 1 = folder menus suspended
#define g_bDirHistShare (::quillo::Shared().bDirHistShare)      // 1 = one folder information file for all programs

// Installs the global call-window hook and keeps `resident` as the window that
// answers the skip query. 1 on success; 0 (and nothing stored) on failure.
QUILLO_DLGEX_API BOOL SetDlgHookProc(HWND resident);
// Installs the call-window hook for thread `threadId` only (a thread of another
// program of this flavor's bitness, reached so by the companion of the other
// bitness). The hook, or null.
QUILLO_DLGEX_API HHOOK SetDlgThreadHook(DWORD threadId);
