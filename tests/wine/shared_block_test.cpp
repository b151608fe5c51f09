// The shared settings block: one copy for every process that loads the library.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "quillo_hook.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

const char* Base() { return reinterpret_cast<const char*>(&g_hKeyHook); }
long OffsetOf(const void* field) { return static_cast<const char*>(field) - Base(); }

TEST(SharedBlock, FieldsSitInLayoutOrderWithNaturalAlignment) {
  struct Row {
    const char* name;
    const void* field;
    long offset;
  } rows[] = {
      {"g_hMouseHook", &g_hMouseHook, 4},        {"g_hSysMsgHook", &g_hSysMsgHook, 8},
      {"g_cfQuilloMarker", &g_cfQuilloMarker, 12}, {"g_nNumClipHistory", &g_nNumClipHistory, 16},
      {"g_dwBlockSize", &g_dwBlockSize, 20},     {"g_nStackKey", &g_nStackKey, 24},
      {"g_wStackKey", &g_wStackKey, 28},         {"g_wStackMod", &g_wStackMod, 30},
      {"g_nChangeKey", &g_nChangeKey, 32},       {"g_wChangeKey", &g_wChangeKey, 36},
      {"g_wChangeMod", &g_wChangeMod, 38},       {"g_nMenuPos", &g_nMenuPos, 40},
      {"g_nPasteCmd", &g_nPasteCmd, 44},         {"g_nCutCmd", &g_nCutCmd, 48},
      {"g_nCharNum", &g_nCharNum, 52},           {"g_bMoveStackTop", &g_bMoveStackTop, 56},
      {"g_bDirectPaste", &g_bDirectPaste, 60},   {"g_bSkipTopSpace", &g_bSkipTopSpace, 64},
      {"g_bSuspend", &g_bSuspend, 68},           {"g_bCutLastRet", &g_bCutLastRet, 72},
      {"g_bCutLastRet2", &g_bCutLastRet2, 76},   {"g_bCopyOnly", &g_bCopyOnly, 80},
      {"g_bResetCursor", &g_bResetCursor, 84},   {"g_bImeAdjust", &g_bImeAdjust, 88},
      {"g_bOnDlgDisp", &g_bOnDlgDisp, 92},       {"g_nTitleMenu", &g_nTitleMenu, 96},
      {"g_CustomMenuSet", g_CustomMenuSet, 100}, {"g_szQuote", g_szQuote, 2780},
      {"g_szKeyClearHist", g_szKeyClearHist, 2804}, {"g_szKeyDirectPaste", g_szKeyDirectPaste, 2836},
      {"g_bIgnoreKey", &g_bIgnoreKey, 2868},     {"g_bIgnoreMouse", &g_bIgnoreMouse, 2872},
      {"g_bRecKey", &g_bRecKey, 2876},           {"g_bRecMouse", &g_bRecMouse, 2880},
      {"g_bCutMouseMove", &g_bCutMouseMove, 2884}, {"g_hwndQuillo", &g_hwndQuillo, 2888},
  };
  for (const auto& r : rows) EXPECT_EQ(OffsetOf(r.field), r.offset) << r.name;
  // Each exported name reaches the same bytes through GetProcAddress.
  HMODULE hook = GetModuleHandleA("QuilloHook.dll");
  ASSERT_NE(hook, nullptr);
  for (const auto& r : rows) {
    EXPECT_EQ(reinterpret_cast<const void*>(GetProcAddress(hook, r.name)), r.field) << r.name;
  }
}

// Run from a fresh copy of the library, which nothing has written yet.
QUILLO_CHILD(CheckFreshBlock) {
  (void)args;
  // Taken from the export table so the compiler sees no bounded object here.
  const char* base = reinterpret_cast<const char*>(
      GetProcAddress(GetModuleHandleA("QuilloHook.dll"), "g_hKeyHook"));
  if (base == nullptr) return 9;
  // Everything is zero up to the end of g_hwndQuillo...
  for (long i = 0; i < 2892; ++i) {
    if (base[i] != 0) return 10;
  }
  // ...and the two comment-block markers follow it, the only initial contents.
  if (std::memcmp(base + 2892, ">>>>\0\0\0\0", 8) != 0) return 11;
  if (std::memcmp(base + 2900, "<<<<\0\0\0\0", 8) != 0) return 12;
  return 0;
}

TEST(SharedBlock, StartsAsZeroButTheCommentMarkers) {
  ProgramFolder folder({"QuilloHook.dll", "QuilloDlgEx.dll", "quillo_wine_tests.exe"});
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(RunChild("CheckFreshBlock", "", 30000, folder.file("quillo_wine_tests.exe")), 0);
}

MenuFileSet Pattern(int i) {
  MenuFileSet e;
  std::memset(&e, 0xA0 + i, sizeof e);
  std::snprintf(e.path, sizeof e.path, "C:\\menus\\set%d.txt", i);
  e.trigger = i - 2;
  e.key = static_cast<WORD>(0x41 + i);
  e.modifiers = static_cast<WORD>(i & 7);
  return e;
}

QUILLO_CHILD(ReadSharedSettings) {
  (void)args;
  if (g_nStackKey != 7 || g_wStackKey != 0x51 || g_nCharNum != 40) return 20;
  if (std::strcmp(g_szQuote, ">> ") != 0) return 21;
  MenuFileSet third;
  std::memset(&third, 0, sizeof third);
  std::strcpy(third.path, "D:\\new menu.txt");
  third.trigger = -2;
  third.key = 0x4D;
  third.modifiers = 3;
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    MenuFileSet expected = i == 3 ? third : Pattern(i);
    if (i == 3) {
      // Only the copied path, trigger, key and modifiers are defined; the bytes
      // after the path's terminator keep whatever was there.
      if (std::strcmp(g_CustomMenuSet[3].path, third.path) != 0 || g_CustomMenuSet[3].trigger != -2 ||
          g_CustomMenuSet[3].key != 0x4D || g_CustomMenuSet[3].modifiers != 3) {
        return 22;
      }
      continue;
    }
    if (std::memcmp(&g_CustomMenuSet[i], &expected, sizeof expected) != 0) return 30 + i;
  }
  g_nMenuPos = 2;  // written here, read back by the parent
  return 0;
}

TEST(SharedBlock, SecondProcessSeesWhatTheFirstWrote) {
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    MenuFileSet e = Pattern(i);
    std::memcpy(&g_CustomMenuSet[i], &e, sizeof e);
  }
  g_nStackKey = 7;
  g_wStackKey = 0x51;
  g_nCharNum = 40;
  std::strcpy(g_szQuote, ">> ");
  g_nMenuPos = 0;
  MenuFileSet third;
  std::memset(&third, 0, sizeof third);
  std::strcpy(third.path, "D:\\new menu.txt");
  third.trigger = -2;
  third.key = 0x4D;
  third.modifiers = 3;
  SetCustomMenuSet(3, &third);

  EXPECT_EQ(RunChild("ReadSharedSettings"), 0);
  EXPECT_EQ(g_nMenuPos, 2);
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
  g_nStackKey = g_wStackKey = g_nCharNum = g_nMenuPos = 0;
  g_szQuote[0] = '\0';
}

TEST(SharedBlock, SetCustomMenuSetIgnoresBadIndexesAndBoundsThePath) {
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
  MenuFileSet e;
  std::memset(&e, 'p', sizeof e);  // a path with no terminator in its 260 bytes
  e.trigger = 5;
  SetCustomMenuSet(-1, &e);
  SetCustomMenuSet(10, &e);
  SetCustomMenuSet(0, nullptr);
  for (const auto& entry : g_CustomMenuSet) EXPECT_EQ(entry.path[0], '\0');
  SetCustomMenuSet(9, &e);
  EXPECT_EQ(std::strlen(g_CustomMenuSet[9].path), 259u);
  EXPECT_EQ(g_CustomMenuSet[9].trigger, 5);
  EXPECT_EQ(g_CustomMenuSet[8].path[0], '\0');
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
}

}  // namespace
}  // namespace quillo::wine
