// The contract between Quillo.exe and QuilloDlgEx.dll: the exported variables of
// the extension's shared block.
#pragma once

#include <windows.h>

#ifdef QUILLO_DLGEX_BUILD
#define QUILLO_DLGEX_API extern "C" __declspec(dllexport)
#else
#define QUILLO_DLGEX_API extern "C" __declspec(dllimport)
#endif

QUILLO_DLGEX_API HHOOK g_hCallWndHook;    // the global call-window hook, or none
QUILLO_DLGEX_API BOOL g_bSuspendDirHist;  // 1 = folder menus suspended
QUILLO_DLGEX_API BOOL g_bDirHistShare;    // 1 = one folder information file for all programs

// Installs the global call-window hook and keeps `resident` as the window that
// answers the skip query. 1 on success; 0 (and nothing stored) on failure.
QUILLO_DLGEX_API BOOL SetDlgHookProc(HWND resident);
