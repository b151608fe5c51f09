// The session's shared block: every setting and flag that the resident
// program and the hook libraries of both flavors must see alike. It lives in
// one named mapping per user session (see shared_block_win.h); this file is
// only its byte layout, the same in the 32-bit and the 64-bit flavor: fields
// of fixed width, handles as their 32 significant bits, no pointers.
//
// The fields up to `hwndQuillo` keep the order and offsets the settings block
// has always had in the 32-bit flavor (2,892 bytes); what the libraries kept
// for themselves follows, then what came with the block's move out of the
// libraries' data sections. Append; never reorder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "paste_programs.h"
#include "quillo_records.h"

namespace quillo {

// A window or hook handle as both flavors store it: the low 32 bits, which are
// all a handle carries, sign-extended again when read (as HandleToLong and
// LongToHandle do), so a 32-bit and a 64-bit process turn the same four bytes
// into the same handle.
template <typename Handle>
struct Handle32 {
  uint32_t bits;

  operator Handle() const noexcept {
    return reinterpret_cast<Handle>(static_cast<intptr_t>(static_cast<int32_t>(bits)));
  }
  Handle32& operator=(Handle h) noexcept {
    bits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
    return *this;
  }
};

constexpr size_t kEncloseFormBytesShared = 128;
constexpr size_t kCaptionBytesShort = 16;
constexpr size_t kCaptionBytesLong = 32;
// Written last when the resident program has made and filled the block: a
// library that maps a block without it treats it as absent.
constexpr uint32_t kSharedBlockMagic = 0x516C6F31;  // "Qlo1"

// HookHandle and WindowHandle are HHOOK and HWND in the product; the native
// tests instantiate the layout with plain pointers.
template <typename HookHandle, typename WindowHandle>
struct SharedBlockLayout {
  // ---- The settings block as older libraries laid it out (32-bit offsets) ----
  Handle32<HookHandle> hKeyHook;     // the 32-bit library's hooks
  Handle32<HookHandle> hMouseHook;
  Handle32<HookHandle> hSysMsgHook;
  uint32_t cfQuilloMarker;           // "Quillo Marker" clipboard format, 0 = none
  int32_t nNumClipHistory;           // entries in the history store
  uint32_t dwBlockSize;              // bytes per history entry slot (20480)
  int32_t nStackKey;                 // trigger code of the stack menu
  uint16_t wStackKey;
  uint16_t wStackMod;
  int32_t nChangeKey;                // trigger code of the menu-file chooser
  uint16_t wChangeKey;
  uint16_t wChangeMod;
  int32_t nMenuPos;                  // 0 caret, 1 pointer, 2 below the menu bar
  int32_t nPasteCmd;                 // 0 Ctrl+V, 1 Shift+Insert, 2 Ctrl+Y
  int32_t nCutCmd;                   // 0 Ctrl+X, 1 Shift+Delete, 2 Ctrl+W
  int32_t nCharNum;                  // stack-menu caption width in cells, 1..100
  int32_t bMoveStackTop;
  int32_t bDirectPaste;
  int32_t bSkipTopSpace;
  int32_t bSuspend;
  int32_t bCutLastRet;
  int32_t bCutLastRet2;
  int32_t bCopyOnly;
  int32_t bResetCursor;
  int32_t bImeAdjust;
  int32_t bOnDlgDisp;
  int32_t nTitleMenu;                // 0 none, 1 custom, 2 stack, 3 both
  MenuFileSet CustomMenuSet[kMenuFileSetCount];
  char szQuote[24];
  char szKeyClearHist[32];
  char szKeyDirectPaste[32];
  int32_t bIgnoreKey;
  int32_t bIgnoreMouse;
  int32_t bRecKey;
  int32_t bRecMouse;
  int32_t bCutMouseMove;
  Handle32<WindowHandle> hwndQuillo;  // the resident window

  // ---- What the hook library kept for itself ----
  char szCommentOpen[8];             // ">>>>" opens a comment block in a menu file
  char szCommentClose[8];            // "<<<<" closes it
  // The enclose form of the pending enclose or disclose: set in the program in
  // front, read by the second phase in the resident program's process.
  char szEncloseHead[kEncloseFormBytesShared];
  char szEncloseTail[kEncloseFormBytesShared];
  int32_t bEncloseEachLine;
  int32_t bRecording;
  int32_t bPlaying;
  int32_t nRecSuspend;
  int32_t nScreenCx;
  int32_t nScreenCy;

  // ---- Since the block left the libraries ----
  Handle32<HookHandle> hKeyHook64;   // the 64-bit library's hooks
  Handle32<HookHandle> hMouseHook64;
  Handle32<HookHandle> hSysMsgHook64;
  // The file-dialog extension's block.
  Handle32<HookHandle> hCallWndHook;    // 32-bit
  Handle32<HookHandle> hCallWndHook64;  // 64-bit
  int32_t bSuspendDirHist;           // 1 = folder menus suspended
  int32_t bDirHistShare;             // 1 = one folder information file for all programs
  Handle32<WindowHandle> hwndDlgResident;  // the window that answers the skip query
  int32_t nPlatformClass;            // 0 = Windows 95, otherwise a later system
  char szHistoryCaption[kCaptionBytesShort];
  char szShortcutCaption[kCaptionBytesShort];
  char szAddCaption[kCaptionBytesLong];
  // The process of the resident window (hwndQuillo), which the libraries
  // check before they send it anything.
  uint32_t residentProcessId;
  uint32_t magic;                    // kSharedBlockMagic once filled

  // ---- Paste methods per program ----
  // The list of the options sheet: entries [0, nPastePrograms) are in use.
  // The version is odd while the resident program rewrites the list
  // (ReadPasteList in paste_programs.h).
  uint32_t pasteListVersion;
  int32_t nPastePrograms;
  PasteProgram PastePrograms[kMaxPastePrograms];
  // A text is being typed (1), and a Pause or Escape seen by any keyboard
  // hook asks it to stop (1).
  int32_t bTyping;
  int32_t bStopTyping;
  // Typed key presses the hook of the program typed into has taken from its
  // queue: the typist keeps only a few ahead of it, so that the program is
  // never flooded and a stop comes after a few characters, not thousands.
  int32_t nTypedKeysTaken;
  // The typist's tick count, renewed every few milliseconds while it types:
  // the hooks take bTyping as true only while it is fresh, so a resident
  // program that died while typing never leaves every program's Escape and
  // Pause taken as a stop.
  uint32_t typingBeat;
};

}  // namespace quillo
