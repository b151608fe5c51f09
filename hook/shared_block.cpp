// The shared settings block. Every variable here sits in the section ".shared",
// which the linker marks shared: all processes that load this DLL see one copy.
// The variables are defined in layout order and this file is compiled with
// -fno-toplevel-reorder so that the section keeps that order.
#include "quillo_hook.h"

#include <cstring>

#include "shared_block.h"

// A shared section must hold initialised data: the explicit "= {}" keeps each
// variable out of .bss, where the shared attribute would not apply.
#define SHARED __attribute__((section(".shared"), shared))

HHOOK g_hKeyHook SHARED = nullptr;
HHOOK g_hMouseHook SHARED = nullptr;
HHOOK g_hSysMsgHook SHARED = nullptr;
UINT g_cfQuilloMarker SHARED = 0;
int g_nNumClipHistory SHARED = 0;
DWORD g_dwBlockSize SHARED = 0;
int g_nStackKey SHARED = 0;
WORD g_wStackKey SHARED = 0;
WORD g_wStackMod SHARED = 0;
int g_nChangeKey SHARED = 0;
WORD g_wChangeKey SHARED = 0;
WORD g_wChangeMod SHARED = 0;
int g_nMenuPos SHARED = 0;
int g_nPasteCmd SHARED = 0;
int g_nCutCmd SHARED = 0;
int g_nCharNum SHARED = 0;
BOOL g_bMoveStackTop SHARED = 0;
BOOL g_bDirectPaste SHARED = 0;
BOOL g_bSkipTopSpace SHARED = 0;
BOOL g_bSuspend SHARED = 0;
BOOL g_bCutLastRet SHARED = 0;
BOOL g_bCutLastRet2 SHARED = 0;
BOOL g_bCopyOnly SHARED = 0;
BOOL g_bResetCursor SHARED = 0;
BOOL g_bImeAdjust SHARED = 0;
BOOL g_bOnDlgDisp SHARED = 0;
int g_nTitleMenu SHARED = 0;
quillo::MenuFileSet g_CustomMenuSet[quillo::kMenuFileSetCount] SHARED = {};
char g_szQuote[24] SHARED = {};
char g_szKeyClearHist[32] SHARED = {};
char g_szKeyDirectPaste[32] SHARED = {};
BOOL g_bIgnoreKey SHARED = 0;
BOOL g_bIgnoreMouse SHARED = 0;
BOOL g_bRecKey SHARED = 0;
BOOL g_bRecMouse SHARED = 0;
BOOL g_bCutMouseMove SHARED = 0;
HWND g_hwndQuillo SHARED = nullptr;

namespace quillo::hook {
char g_szCommentOpen[8] SHARED = ">>>>";
char g_szCommentClose[8] SHARED = "<<<<";
char g_szEncloseHead[kEncloseFormBytes] SHARED = {};
char g_szEncloseTail[kEncloseFormBytes] SHARED = {};
BOOL g_bEncloseEachLine SHARED = 0;
BOOL g_bRecording SHARED = 0;
BOOL g_bPlaying SHARED = 0;
int g_nRecSuspend SHARED = 0;
int g_nScreenCx SHARED = 0;
int g_nScreenCy SHARED = 0;
}  // namespace quillo::hook

void SetCustomMenuSet(int index, const quillo::MenuFileSet* entry) {
  if (index < 0 || index >= quillo::kMenuFileSetCount || entry == nullptr) return;
  quillo::MenuFileSet& dst = g_CustomMenuSet[index];
  // The caller's path need not be terminated inside its 260 bytes: copy at most
  // 259 bytes so the shared entry always ends with a terminator. Hooks in other
  // processes may read the path meanwhile; at worst they see one half-copied path.
  const size_t len = strnlen(entry->path, sizeof(dst.path) - 1);
  std::memcpy(dst.path, entry->path, len);
  dst.path[len] = '\0';
  dst.trigger = entry->trigger;
  dst.key = entry->key;
  dst.modifiers = entry->modifiers;
}
