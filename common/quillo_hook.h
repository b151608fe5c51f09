// The contract between Quillo.exe and QuilloHook.dll: exported functions and the
// names of the shared settings block's fields. Plain C types only.
#pragma once

#include <windows.h>

#include "quillo_records.h"
#include "shared_block_win.h"

#ifdef QUILLO_HOOK_BUILD
#define QUILLO_HOOK_API extern "C" __declspec(dllexport)
#else
#define QUILLO_HOOK_API extern "C" __declspec(dllimport)
#endif

// ---- The shared settings block ----
// Each name reads like a variable and names a field of the session's shared
// block (shared_block_win.h), which both flavors of the library and the
// resident program map. The hook handles are this flavor's own.
#define g_hKeyHook (::quillo::OwnKeyHook())
#define g_hMouseHook (::quillo::OwnMouseHook())
#define g_hSysMsgHook (::quillo::OwnSysMsgHook())
#define g_cfQuilloMarker (::quillo::Shared().cfQuilloMarker) // "Quillo Marker" clipboard format, 0 = none
#define g_nNumClipHistory (::quillo::Shared().nNumClipHistory) // entries in the history store
#define g_dwBlockSize (::quillo::Shared().dwBlockSize)       // bytes per history entry slot (20480)
#define g_nStackKey (::quillo::Shared().nStackKey)           // trigger code of the stack menu
#define g_wStackKey (::quillo::Shared().wStackKey)
#define g_wStackMod (::quillo::Shared().wStackMod)
#define g_nChangeKey (::quillo::Shared().nChangeKey)         // trigger code of the menu-file chooser
#define g_wChangeKey (::quillo::Shared().wChangeKey)
#define g_wChangeMod (::quillo::Shared().wChangeMod)
#define g_nMenuPos (::quillo::Shared().nMenuPos)             // 0 caret, 1 pointer, 2 below the menu bar
#define g_nPasteCmd (::quillo::Shared().nPasteCmd)           // 0 Ctrl+V, 1 Shift+Insert, 2 Ctrl+Y
#define g_nCutCmd (::quillo::Shared().nCutCmd)               // 0 Ctrl+X, 1 Shift+Delete, 2 Ctrl+W
#define g_nCharNum (::quillo::Shared().nCharNum)             // stack-menu caption width in cells, 1..100
#define g_bMoveStackTop (::quillo::Shared().bMoveStackTop)
#define g_bDirectPaste (::quillo::Shared().bDirectPaste)
#define g_bSkipTopSpace (::quillo::Shared().bSkipTopSpace)
#define g_bSuspend (::quillo::Shared().bSuspend)
#define g_bCutLastRet (::quillo::Shared().bCutLastRet)
#define g_bCutLastRet2 (::quillo::Shared().bCutLastRet2)
#define g_bCopyOnly (::quillo::Shared().bCopyOnly)
#define g_bResetCursor (::quillo::Shared().bResetCursor)
#define g_bImeAdjust (::quillo::Shared().bImeAdjust)
#define g_bOnDlgDisp (::quillo::Shared().bOnDlgDisp)
#define g_nTitleMenu (::quillo::Shared().nTitleMenu)         // 0 none, 1 custom, 2 stack, 3 both
#define g_CustomMenuSet (::quillo::Shared().CustomMenuSet)
#define g_szQuote (::quillo::Shared().szQuote)
#define g_szKeyClearHist (::quillo::Shared().szKeyClearHist)
#define g_szKeyDirectPaste (::quillo::Shared().szKeyDirectPaste)
#define g_bIgnoreKey (::quillo::Shared().bIgnoreKey)
#define g_bIgnoreMouse (::quillo::Shared().bIgnoreMouse)
#define g_bRecKey (::quillo::Shared().bRecKey)
#define g_bRecMouse (::quillo::Shared().bRecMouse)
#define g_bCutMouseMove (::quillo::Shared().bCutMouseMove)
#define g_hwndQuillo (::quillo::Shared().hwndQuillo)         // the resident window
#define g_nPasteListVersion (::quillo::Shared().pasteListVersion) // odd while the list changes
#define g_nPastePrograms (::quillo::Shared().nPastePrograms) // entries of g_PastePrograms in use
#define g_PastePrograms (::quillo::Shared().PastePrograms)   // paste method per program
#define g_bTyping (::quillo::Shared().bTyping)               // a text is being typed
#define g_bStopTyping (::quillo::Shared().bStopTyping)       // Pause or Escape asked it to stop
#define g_nTypingBeat (::quillo::Shared().typingBeat)     // the typist's tick count, fresh while it types
#define g_nTypedKeysTaken (::quillo::Shared().nTypedKeysTaken) // typed presses the target took in

// ---- Exported functions ----
// Copies path, trigger, key and modifiers into entry `index` (0-9) of g_CustomMenuSet.
QUILLO_HOOK_API void SetCustomMenuSet(int index, const quillo::MenuFileSet* entry);
// Presses and releases one key (virtual-key code) as typed input.
QUILLO_HOOK_API void GenerateKeyStroke(UINT virtualKey);
// Installs the keyboard, mouse and message-filter hooks for every thread and
// keeps `resident` as the window the library reports to. 1 when all three are
// installed, else 0 (handles already obtained stay in the block).
QUILLO_HOOK_API BOOL SetHookProc(HWND resident);
// Installs the keyboard, mouse and message-filter hooks for thread `threadId`
// only (a thread of another program of this flavor's bitness), into
// `hooks[0..2]`; the companion of the other bitness reaches its programs so.
// 1 when all three are installed; else 0, with none left installed.
QUILLO_HOOK_API BOOL SetThreadHooks(DWORD threadId, HHOOK* hooks);
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
// Pastes the text on the clipboard into the application in front (nothing
// with g_bCopyOnly), by the method its program has on the paste-method list,
// else by the keys of g_nPasteCmd. A program whose method is typing gets the
// clipboard's text as characters, typed by the resident program on a thread
// of its own: the text is handed over at once (kCopyDataTypeText), and this
// returns while it is typed.
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
