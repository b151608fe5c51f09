// What clipboard changes reach the history, and when a text command runs.
#include "capture.h"

#include <gtest/gtest.h>

#include "code_page.h"
#include "quillo_messages.h"

namespace quillo::app {
namespace {

using quillo::testing::ScopedCodePage;

TEST(Capture, DecisionFollowsSuspendWordMarkerAndExclusion) {
  struct Row {
    const char* what;
    CaptureFacts facts;
    bool open;
    bool skip;
  } rows[] = {
      {"plain text", {false, false, false, "Notepad", true, false, false}, true, false},
      {"suspended", {true, false, false, "Notepad", true, false, false}, false, true},
      {"history suspended", {false, true, false, "Notepad", true, false, false}, false, true},
      {"Word in front, option on", {false, false, true, "Doc1 - Microsoft Word", true, false, false}, false, true},
      {"Word in front, option off", {false, false, false, "Doc1 - Microsoft Word", true, false, false}, true, false},
      {"title case differs", {false, false, true, "microsoft word", true, false, false}, true, false},
      {"no window in front", {false, false, true, nullptr, true, false, false}, true, false},
      {"empty title", {false, false, true, "", true, false, false}, true, false},
      {"no text (bitmap only)", {false, false, false, "x", false, false, false}, false, false},
      {"our own marker", {false, false, false, "x", true, true, false}, false, true},
      {"password manager", {false, false, false, "x", true, false, true}, false, true},
  };
  for (const auto& r : rows) {
    const CaptureDecision d = DecideCapture(r.facts);
    EXPECT_EQ(d.open, r.open) << r.what;
    EXPECT_EQ(d.skip, r.skip) << r.what;
  }
}

TEST(Capture, SizeLimitIsTheBlockSize) {
  EXPECT_FALSE(CapturableSize(0));
  EXPECT_TRUE(CapturableSize(1));
  EXPECT_TRUE(CapturableSize(20480));
  EXPECT_FALSE(CapturableSize(20481));
}

TEST(Capture, TitleSearchNeverMatchesFromATrailByte) {
  ScopedCodePage cp(932);
  // 0x83 0x4D is a double-byte character whose trail byte is 'M'.
  EXPECT_TRUE(TitleContains("\x83\x40" "Microsoft Word", "Microsoft Word"));
  EXPECT_FALSE(TitleContains("\x83" "Microsoft Word", "Microsoft Word"));
  ScopedCodePage single(1252);
  EXPECT_TRUE(TitleContains("\x83" "Microsoft Word", "Microsoft Word"));
}

TEST(TextCommandHandover, FollowUpWithinTwoSecondsOnly) {
  struct Row {
    TextCommand command;
    uint32_t delay;
    unsigned expected;
  } rows[] = {
      {kEnclose, 0, kMsgEncloseArm},   {kConvert, 1999, kMsgConvArm},
      {kDisclose, 500, kMsgDiscloseArm}, {kEnclose, 2000, 0u},
      {kEnclose, 2500, 0u},
  };
  for (const auto& r : rows) {
    TextCommandHandover h;
    h.Request(r.command, 1000);
    EXPECT_EQ(h.OnClipboardChange(true, false, 1000 + r.delay), r.expected) << r.delay;
    EXPECT_EQ(h.pending(), kNoCommand);
  }
}

TEST(TextCommandHandover, ChangeWithoutTextKeepsTheCommandPending) {
  TextCommandHandover h;
  h.Request(kConvert, 100, 7);
  EXPECT_EQ(h.OnClipboardChange(false, false, 200), 0u);
  EXPECT_EQ(h.pending(), kConvert);
  EXPECT_EQ(h.OnClipboardChange(true, false, 300), kMsgConvArm);
  EXPECT_EQ(h.conversionKind(), 7);
}

TEST(TextCommandHandover, SkippedCaptureDropsTheCommand) {
  TextCommandHandover h;
  h.Request(kEnclose, 100);
  EXPECT_EQ(h.OnClipboardChange(true, true, 150), 0u);
  EXPECT_EQ(h.OnClipboardChange(true, false, 160), 0u);  // consumed, not retried
}

TEST(TextCommandHandover, NewerRequestReplacesOlderAndTickWrapIsHandled) {
  TextCommandHandover h;
  h.Request(kEnclose, 0xFFFFFF00u);
  h.Request(kDisclose, 0xFFFFFFF0u);
  EXPECT_EQ(h.OnClipboardChange(true, false, 0x100u), kMsgDiscloseArm);  // 272 ms later
  EXPECT_EQ(h.OnClipboardChange(true, false, 0x200u), 0u);
}

}  // namespace
}  // namespace quillo::app
