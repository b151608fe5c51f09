// The session's shared block as bytes: both flavors of the libraries and the
// resident program map it, so every field must sit at one offset whatever the
// compiler's pointer size; and a call made on behalf of another program.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foreign_calls.h"
#include "shared_block_layout.h"

namespace quillo {
namespace {

struct FakeHook;
struct FakeWindow;
using Block = SharedBlockLayout<FakeHook*, FakeWindow*>;

struct Field {
  const char* name;
  size_t offset;
  size_t expected;
  size_t size;
  size_t expectedSize;
};

#define FIELD(f, at, bytes) Field{#f, offsetof(Block, f), at, sizeof(Block::f), bytes}

// The offsets the settings block has had in the 32-bit flavor from the start
// (older libraries and their tests read them), then the later fields. Native
// builds are 64-bit: a field that took a pointer's width would move here.
TEST(SharedBlockLayout, EveryFieldSitsAtItsOffsetWhateverThePointerSize) {
  const Field fields[] = {
      FIELD(hKeyHook, 0, 4),           FIELD(hMouseHook, 4, 4),          FIELD(hSysMsgHook, 8, 4),
      FIELD(cfQuilloMarker, 12, 4),    FIELD(nNumClipHistory, 16, 4),    FIELD(dwBlockSize, 20, 4),
      FIELD(nStackKey, 24, 4),         FIELD(wStackKey, 28, 2),          FIELD(wStackMod, 30, 2),
      FIELD(nChangeKey, 32, 4),        FIELD(wChangeKey, 36, 2),         FIELD(wChangeMod, 38, 2),
      FIELD(nMenuPos, 40, 4),          FIELD(nPasteCmd, 44, 4),          FIELD(nCutCmd, 48, 4),
      FIELD(nCharNum, 52, 4),          FIELD(bMoveStackTop, 56, 4),      FIELD(bDirectPaste, 60, 4),
      FIELD(bSkipTopSpace, 64, 4),     FIELD(bSuspend, 68, 4),           FIELD(bCutLastRet, 72, 4),
      FIELD(bCutLastRet2, 76, 4),      FIELD(bCopyOnly, 80, 4),          FIELD(bResetCursor, 84, 4),
      FIELD(bImeAdjust, 88, 4),        FIELD(bOnDlgDisp, 92, 4),         FIELD(nTitleMenu, 96, 4),
      FIELD(CustomMenuSet, 100, 2680), FIELD(szQuote, 2780, 24),         FIELD(szKeyClearHist, 2804, 32),
      FIELD(szKeyDirectPaste, 2836, 32), FIELD(bIgnoreKey, 2868, 4),     FIELD(bIgnoreMouse, 2872, 4),
      FIELD(bRecKey, 2876, 4),         FIELD(bRecMouse, 2880, 4),        FIELD(bCutMouseMove, 2884, 4),
      FIELD(hwndQuillo, 2888, 4),      FIELD(szCommentOpen, 2892, 8),    FIELD(szCommentClose, 2900, 8),
      FIELD(szEncloseHead, 2908, 128), FIELD(szEncloseTail, 3036, 128),  FIELD(bEncloseEachLine, 3164, 4),
      FIELD(bRecording, 3168, 4),      FIELD(bPlaying, 3172, 4),         FIELD(nRecSuspend, 3176, 4),
      FIELD(nScreenCx, 3180, 4),       FIELD(nScreenCy, 3184, 4),        FIELD(hKeyHook64, 3188, 4),
      FIELD(hMouseHook64, 3192, 4),    FIELD(hSysMsgHook64, 3196, 4),    FIELD(hCallWndHook, 3200, 4),
      FIELD(hCallWndHook64, 3204, 4),  FIELD(bSuspendDirHist, 3208, 4),  FIELD(bDirHistShare, 3212, 4),
      FIELD(hwndDlgResident, 3216, 4), FIELD(nPlatformClass, 3220, 4),   FIELD(szHistoryCaption, 3224, 16),
      FIELD(szShortcutCaption, 3240, 16), FIELD(szAddCaption, 3256, 32), FIELD(residentProcessId, 3288, 4),
      FIELD(magic, 3292, 4),           FIELD(pasteListVersion, 3296, 4), FIELD(nPastePrograms, 3300, 4),
      FIELD(PastePrograms, 3304, 4096), FIELD(bTyping, 7400, 4),         FIELD(bStopTyping, 7404, 4),
      FIELD(nTypedKeysTaken, 7408, 4), FIELD(typingBeat, 7412, 4),
  };
  size_t end = 0;
  for (const Field& f : fields) {
    EXPECT_EQ(f.offset, f.expected) << f.name;
    EXPECT_EQ(f.size, f.expectedSize) << f.name;
    EXPECT_EQ(f.offset, end) << f.name << " leaves a gap or overlaps the field before it";
    end = f.offset + f.size;
  }
  EXPECT_EQ(sizeof(Block), end) << "nothing after the last field";
  EXPECT_EQ(sizeof(Block), 7416u);
}
#undef FIELD

// A handle crosses between the flavors as its low 32 bits. Window handles of
// the upper half come back sign-extended, as the system makes them.
TEST(SharedBlockLayout, HandlesKeepTheirValueThroughTheirFourBytes) {
  struct Row {
    uintptr_t handle;
    uint32_t bits;
  } rows[] = {
      {0, 0},
      {0x00010042u, 0x00010042u},
      {0x7FFFFFFFu, 0x7FFFFFFFu},
      {static_cast<uintptr_t>(static_cast<intptr_t>(-2)), 0xFFFFFFFEu},  // HWND_NOTOPMOST-like values
      {static_cast<uintptr_t>(static_cast<intptr_t>(INT32_MIN) + 0x1234), 0x80001234u},
  };
  for (const Row& row : rows) {
    Handle32<FakeWindow*> h{};
    h = reinterpret_cast<FakeWindow*>(row.handle);
    EXPECT_EQ(h.bits, row.bits) << std::hex << row.handle;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(static_cast<FakeWindow*>(h)), row.handle) << std::hex << row.handle;
  }
  // What a 32-bit process wrote, read by a 64-bit one.
  Block b{};
  const uint32_t written = 0xFFFF0ABCu;
  std::memcpy(reinterpret_cast<char*>(&b) + 2888, &written, sizeof written);
  EXPECT_EQ(reinterpret_cast<intptr_t>(static_cast<FakeWindow*>(b.hwndQuillo)), static_cast<intptr_t>(-0xF544));
}

TEST(ForeignCalls, OnlyTheInstallerPassesOnCallsForOtherProgramsWindows) {
  struct Row {
    bool installedHere;
    uint32_t self;
    uint32_t eventProcess;
    bool onBehalf;
  } rows[] = {
      {false, 100, 200, false},  // an ordinary program: the event is its own or not ours to judge
      {false, 100, 0, false},
      {false, 100, 100, false},
      {true, 100, 100, false},   // the resident program's own window (its dialogs)
      {true, 100, 200, true},    // a program of the other bitness
      {true, 100, 0, true},      // no window at all: the companion never has the focus
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsCallOnBehalfOfAnother(r.installedHere, r.self, r.eventProcess), r.onBehalf)
        << r.installedHere << " " << r.self << " " << r.eventProcess;
  }
}

}  // namespace
}  // namespace quillo
