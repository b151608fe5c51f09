// Fields of the shared settings block that the library keeps for itself (not
// part of the contract with the resident program): the resident program's
// calls into the library and the hook procedures in other processes must see
// the same values, so they live in the session's block beside the settings.
#pragma once

#include <windows.h>

#include "shared_block_win.h"
#include "text_commands/enclose.h"

namespace quillo::hook {

static_assert(kEncloseFormBytes == kEncloseFormBytesShared, "the enclose form fits its fields of the block");

}  // namespace quillo::hook

#define g_szCommentOpen (::quillo::Shared().szCommentOpen)    // ">>>>" opens a comment block (never written)
#define g_szCommentClose (::quillo::Shared().szCommentClose)  // "<<<<" closes it
// The enclose form of the pending enclose or disclose: set in the application
// in front, read by the second phase in the resident program's process.
#define g_szEncloseHead (::quillo::Shared().szEncloseHead)
#define g_szEncloseTail (::quillo::Shared().szEncloseTail)
#define g_bEncloseEachLine (::quillo::Shared().bEncloseEachLine)
#define g_bRecording (::quillo::Shared().bRecording)
#define g_bPlaying (::quillo::Shared().bPlaying)
#define g_nRecSuspend (::quillo::Shared().nRecSuspend)
#define g_nScreenCx (::quillo::Shared().nScreenCx)
#define g_nScreenCy (::quillo::Shared().nScreenCy)
