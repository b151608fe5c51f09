// The contract between Quillo.exe and QuilloHook.dll: exported functions and the
// exported variables of the library's shared settings block. Plain C types only;
// the variables are declared in layout order (the block's byte layout is part of
// the contract: a process that has an older copy of the library loaded sees it).
#pragma once

#include <windows.h>

#include "quillo_records.h"

#ifdef QUILLO_HOOK_BUILD
#define QUILLO_HOOK_API extern "C" __declspec(dllexport)
#else
#define QUILLO_HOOK_API extern "C" __declspec(dllimport)
#endif

// ---- Shared settings block (one copy for every process that loads the library) ----
QUILLO_HOOK_API HHOOK g_hKeyHook;
QUILLO_HOOK_API HHOOK g_hMouseHook;
QUILLO_HOOK_API HHOOK g_hSysMsgHook;
QUILLO_HOOK_API UINT g_cfQuilloMarker;     // "Quillo Marker" clipboard format, 0 = none
QUILLO_HOOK_API int g_nNumClipHistory;     // entries in the history store
QUILLO_HOOK_API DWORD g_dwBlockSize;       // bytes per history entry slot (20480)
QUILLO_HOOK_API int g_nStackKey;           // trigger code of the stack menu
QUILLO_HOOK_API WORD g_wStackKey;
QUILLO_HOOK_API WORD g_wStackMod;
QUILLO_HOOK_API int g_nChangeKey;          // trigger code of the menu-file chooser
QUILLO_HOOK_API WORD g_wChangeKey;
QUILLO_HOOK_API WORD g_wChangeMod;
QUILLO_HOOK_API int g_nMenuPos;            // 0 caret, 1 pointer, 2 below the menu bar
QUILLO_HOOK_API int g_nPasteCmd;           // 0 Ctrl+V, 1 Shift+Insert, 2 Ctrl+Y
QUILLO_HOOK_API int g_nCutCmd;             // 0 Ctrl+X, 1 Shift+Delete, 2 Ctrl+W
QUILLO_HOOK_API int g_nCharNum;            // stack-menu caption width in cells, 1..100
QUILLO_HOOK_API BOOL g_bMoveStackTop;
QUILLO_HOOK_API BOOL g_bDirectPaste;
QUILLO_HOOK_API BOOL g_bSkipTopSpace;
QUILLO_HOOK_API BOOL g_bSuspend;
QUILLO_HOOK_API BOOL g_bCutLastRet;
QUILLO_HOOK_API BOOL g_bCutLastRet2;
QUILLO_HOOK_API BOOL g_bCopyOnly;
QUILLO_HOOK_API BOOL g_bResetCursor;
QUILLO_HOOK_API BOOL g_bImeAdjust;
QUILLO_HOOK_API BOOL g_bOnDlgDisp;
QUILLO_HOOK_API int g_nTitleMenu;          // 0 none, 1 custom, 2 stack, 3 both
QUILLO_HOOK_API quillo::MenuFileSet g_CustomMenuSet[quillo::kMenuFileSetCount];
QUILLO_HOOK_API char g_szQuote[24];
QUILLO_HOOK_API char g_szKeyClearHist[32];
QUILLO_HOOK_API char g_szKeyDirectPaste[32];
QUILLO_HOOK_API BOOL g_bIgnoreKey;
QUILLO_HOOK_API BOOL g_bIgnoreMouse;
QUILLO_HOOK_API BOOL g_bRecKey;
QUILLO_HOOK_API BOOL g_bRecMouse;
QUILLO_HOOK_API BOOL g_bCutMouseMove;
QUILLO_HOOK_API HWND g_hwndQuillo;         // the resident window

// ---- Exported functions ----
// Copies path, trigger, key and modifiers into entry `index` (0-9) of g_CustomMenuSet.
QUILLO_HOOK_API void SetCustomMenuSet(int index, const quillo::MenuFileSet* entry);
// Presses and releases one key (virtual-key code) as typed input.
QUILLO_HOOK_API void GenerateKeyStroke(UINT virtualKey);
// Installs the keyboard, mouse and message-filter hooks for every thread and
// keeps `resident` as the window the library reports to. 1 when all three are
// installed, else 0 (handles already obtained stay in the block).
QUILLO_HOOK_API BOOL SetHookProc(HWND resident);
// Bracket keys the program synthesises so that a macro recording leaves them out.
QUILLO_HOOK_API void SuspendRec();
QUILLO_HOOK_API void ResumeRec();
// Switches macro recording in the hooks of every process on (non-zero) or off,
// taking the screen size for scaling mouse positions and closing any open
// suspension. Returns the flag stored (1 or 0).
QUILLO_HOOK_API BOOL MacroRecording(BOOL flag);
// Tells the hooks that a macro is playing, so that Pause/Break stops it.
// Returns the flag stored (1 or 0).
QUILLO_HOOK_API BOOL MacroPlaying(BOOL flag);
// Shows menu `kind` (1 custom menu of menu-file set entry `n`, 2 stack menu,
// 3 menu-file chooser, 4 combined menu) at the configured position; the
// resident program calls it on message 1038. Other kinds do nothing.
QUILLO_HOOK_API void ShowMenu(int kind, int n);
// The caption of history entry `index` into `buffer` (at least 128 bytes):
// from slot `index` of the history store's view `source` when `direct` is 0,
// from the text `source` itself otherwise (then `index` only numbers it).
// `menuStyle` 1 gives the stack menu's access keys, 0 the list prefix "01: ".
QUILLO_HOOK_API void GetStackItem(char* buffer, const char* source, int index, BOOL menuStyle, BOOL direct);
// Synthesises the paste keys of g_nPasteCmd into the application in front
// (nothing with g_bCopyOnly); the text must be on the clipboard already.
QUILLO_HOOK_API void PasteText();
// Synthesises the cut keys of g_nCutCmd.
QUILLO_HOOK_API void CutText();
// Puts `text` on the clipboard as CF_TEXT, with the plain marker data when
// `marker` is set. Non-zero on success.
QUILLO_HOOK_API BOOL CopyTextToClip(const char* text, BOOL marker);
// Text commands on the selection of the application in front. With `firstPhase`
// set (the tags [E..], [E-..] and [V..]) they fix the form or the kind, tell the
// resident window and cut the selection; the resident program then calls them
// again with `firstPhase` 0, and the newest history entry (the cut text) is
// transformed and pasted. `form` is the tag content ("E(xxx)", "E-> xxxn"),
// ignored in the second phase. Non-zero on success.
QUILLO_HOOK_API BOOL EncloseText(const char* form, BOOL firstPhase);
QUILLO_HOOK_API BOOL DiscloseText(const char* form, BOOL firstPhase);
QUILLO_HOOK_API BOOL ConvText(int kind, BOOL firstPhase);
