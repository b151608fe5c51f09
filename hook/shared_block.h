// Fields of the shared settings block that the library keeps for itself (not
// exported): the resident program's calls into the library and the hook
// procedures in other processes must see the same values, so they live in the
// shared section beside the exported settings.
#pragma once

#include <windows.h>

#include "text_commands/enclose.h"

namespace quillo::hook {

extern char g_szCommentOpen[8];   // ">>>>" opens a comment block in a menu file (never written)
extern char g_szCommentClose[8];  // "<<<<" closes it
// The enclose form of the pending enclose or disclose: set in the application
// in front, read by the second phase in the resident program's process.
extern char g_szEncloseHead[kEncloseFormBytes];
extern char g_szEncloseTail[kEncloseFormBytes];
extern BOOL g_bEncloseEachLine;
extern BOOL g_bRecording;
extern BOOL g_bPlaying;
extern int g_nRecSuspend;
extern int g_nScreenCx;
extern int g_nScreenCy;

}  // namespace quillo::hook
