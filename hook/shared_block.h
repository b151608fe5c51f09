// Fields of the shared settings block that the library keeps for itself (not
// exported): the resident program's calls into the library and the hook
// procedures in other processes must see the same values, so they live in the
// shared section beside the exported settings.
#pragma once

#include <windows.h>

namespace quillo::hook {

constexpr int kEncloseFormBytes = 128;

extern char g_szCommentOpen[8];   // ">>>>" opens a comment block in a menu file (never written)
extern char g_szCommentClose[8];  // "<<<<" closes it
extern char g_szEncloseBefore[kEncloseFormBytes];
extern char g_szEncloseAfter[kEncloseFormBytes];
extern BOOL g_bEnclosePerLine;
extern BOOL g_bRecording;
extern BOOL g_bPlaying;
extern int g_nRecSuspend;
extern int g_nScreenCx;
extern int g_nScreenCy;

}  // namespace quillo::hook
