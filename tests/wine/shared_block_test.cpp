// The shared settings block: one copy for every process that loads the library.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include "quillo_hook.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

const char* Base() { return reinterpret_cast<const char*>(&g_hKeyHook); }
long OffsetOf(const void* field) { return static_cast<const char*>(field) - Base(); }

struct Field {
  const char* name;
  const void* address;
  size_t size;
  size_t alignment;
};

// The alignment the platform's ABI gives a global variable: its type's own,
// and on x86_64 at least 16 bytes for an array of 16 bytes or more.
constexpr size_t AbiAlignment(size_t size, size_t typeAlignment, bool isArray) {
  return sizeof(void*) == 8 && isArray && size >= 16 && typeAlignment < 16 ? 16 : typeAlignment;
}

// The exported fields in declaration order. Their offsets are not listed but
// computed the way the block is laid out in each flavor: every field at the
// next multiple of its alignment (handles are 4 bytes in the 32-bit flavor and
// 8 in the 64-bit one).
#define QUILLO_FIELD(f) \
  Field{#f, &f, sizeof f, AbiAlignment(sizeof f, alignof(decltype(f)), std::is_array_v<decltype(f)>)}
const std::vector<Field>& ExportedFields() {
  static const std::vector<Field> fields = {
      QUILLO_FIELD(g_hKeyHook),       QUILLO_FIELD(g_hMouseHook),       QUILLO_FIELD(g_hSysMsgHook),
      QUILLO_FIELD(g_cfQuilloMarker), QUILLO_FIELD(g_nNumClipHistory),  QUILLO_FIELD(g_dwBlockSize),
      QUILLO_FIELD(g_nStackKey),      QUILLO_FIELD(g_wStackKey),        QUILLO_FIELD(g_wStackMod),
      QUILLO_FIELD(g_nChangeKey),     QUILLO_FIELD(g_wChangeKey),       QUILLO_FIELD(g_wChangeMod),
      QUILLO_FIELD(g_nMenuPos),       QUILLO_FIELD(g_nPasteCmd),        QUILLO_FIELD(g_nCutCmd),
      QUILLO_FIELD(g_nCharNum),       QUILLO_FIELD(g_bMoveStackTop),    QUILLO_FIELD(g_bDirectPaste),
      QUILLO_FIELD(g_bSkipTopSpace),  QUILLO_FIELD(g_bSuspend),         QUILLO_FIELD(g_bCutLastRet),
      QUILLO_FIELD(g_bCutLastRet2),   QUILLO_FIELD(g_bCopyOnly),        QUILLO_FIELD(g_bResetCursor),
      QUILLO_FIELD(g_bImeAdjust),     QUILLO_FIELD(g_bOnDlgDisp),       QUILLO_FIELD(g_nTitleMenu),
      QUILLO_FIELD(g_CustomMenuSet),  QUILLO_FIELD(g_szQuote),          QUILLO_FIELD(g_szKeyClearHist),
      QUILLO_FIELD(g_szKeyDirectPaste), QUILLO_FIELD(g_bIgnoreKey),     QUILLO_FIELD(g_bIgnoreMouse),
      QUILLO_FIELD(g_bRecKey),        QUILLO_FIELD(g_bRecMouse),        QUILLO_FIELD(g_bCutMouseMove),
      QUILLO_FIELD(g_hwndQuillo),
  };
  return fields;
}
#undef QUILLO_FIELD

// Offset of each field in the natural layout, and where the last one ends.
std::vector<size_t> NaturalOffsets(size_t* end) {
  std::vector<size_t> offsets;
  size_t at = 0;
  for (const auto& f : ExportedFields()) {
    at = (at + f.alignment - 1) / f.alignment * f.alignment;
    offsets.push_back(at);
    at += f.size;
  }
  *end = at;
  return offsets;
}

TEST(SharedBlock, FieldsSitInLayoutOrderWithNaturalAlignment) {
  size_t end = 0;
  const auto offsets = NaturalOffsets(&end);
  const auto& fields = ExportedFields();
  EXPECT_EQ(fields[0].size, sizeof(void*)) << "hook handles are pointer-sized";
  if (sizeof(void*) == 4) {
    EXPECT_EQ(end, 2892u) << "the 32-bit block keeps the layout older copies know";
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(static_cast<size_t>(OffsetOf(fields[i].address)), offsets[i]) << fields[i].name;
  }
  // Each exported name reaches the same bytes through GetProcAddress.
  HMODULE hook = GetModuleHandleA(kHookDll);
  ASSERT_NE(hook, nullptr);
  for (const auto& f : fields) {
    EXPECT_EQ(reinterpret_cast<const void*>(GetProcAddress(hook, f.name)), f.address) << f.name;
  }
}

// Run from a fresh copy of the library, which nothing has written yet.
QUILLO_CHILD(CheckFreshBlock) {
  (void)args;
  // Taken from the export table so the compiler sees no bounded object here.
  const char* base = reinterpret_cast<const char*>(
      GetProcAddress(GetModuleHandleA(kHookDll), "g_hKeyHook"));
  if (base == nullptr) return 9;
  size_t end = 0;
  NaturalOffsets(&end);
  // Everything is zero up to the end of g_hwndQuillo...
  for (size_t i = 0; i < end; ++i) {
    if (base[i] != 0) return 10;
  }
  // ...and the two comment-block markers follow it, the only initial contents.
  if (std::memcmp(base + end, ">>>>\0\0\0\0", 8) != 0) return 11;
  if (std::memcmp(base + end + 8, "<<<<\0\0\0\0", 8) != 0) return 12;
  return 0;
}

TEST(SharedBlock, StartsAsZeroButTheCommentMarkers) {
  ProgramFolder folder({kHookDll, kDlgExDll, "quillo_wine_tests.exe"});
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
