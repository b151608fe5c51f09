// Delivery text rules: the last line break, file references, the
// marker data size and the paste and cut keys.
#include "delivery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::hook {
namespace {

TEST(DeliveryCutLastReturn, RemovesOneTrailingLineBreak) {
  const struct { int codePage; std::string text; std::string after; bool removed; } rows[] = {
      {1252, "abc\r\n", "abc", true},
      {1252, "abc\n", "abc", true},
      {1252, "a\r\nb\r\n", "a\r\nb", true},
      {1252, "a\r\r\n", "a\r", true},
      {1252, "a\n\n", "a\n", true},
      {1252, "\r\n", "", true},
      {1252, "abc", "abc", false},
      {1252, "abc\r", "abc\r", false},
      {1252, "", "", false},
      {1252, "\x82\n", "\x82", true},
      {932, "\x88\x9f\r\n", "\x88\x9f", true},
      {932, "\x88\x9f", "\x88\x9f", false},       // ends in a double-byte character
      {932, "a\x82\n", "a\x82\n", false},        // lead byte 0x82 takes the LF as its pair
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    std::string text = row.text;
    EXPECT_EQ(CutLastReturn(text.data()), row.removed) << ::testing::PrintToString(row.text);
    EXPECT_EQ(std::string(text.c_str()), row.after) << ::testing::PrintToString(row.text);
  }
}

TEST(DeliveryFileReference, ApostropheThenDrivePath) {
  const struct { int codePage; const char* text; const char* path; } rows[] = {
      {1252, "'C:\\notes.txt", "C:\\notes.txt"},
      {1252, "'z:\\", "z:\\"},
      {1252, "C:\\notes.txt", nullptr},
      {1252, "'C:notes.txt", nullptr},
      {1252, "' C:\\notes.txt", nullptr},
      {1252, "'\\\\server\\share\\a.txt", nullptr},
      {1252, "'C", nullptr},
      {1252, "'", nullptr},
      {1252, "", nullptr},
      {1252, "'\x88:\\x", "\x88:\\x"},
      {932, "'\x88:\\x", nullptr},  // 0x88 0x3A is one character: the colon is not third
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    const char* path = FileReferencePath(row.text);
    if (row.path == nullptr) {
      EXPECT_EQ(path, nullptr) << row.text;
    } else {
      EXPECT_EQ(path, row.text + 1) << row.text;
    }
  }
}

TEST(DeliveryFileReference, FinalCtrlZIsDropped) {
  const struct { std::string bytes; size_t length; } rows[] = {
      {"abc\x1a", 3}, {"abc", 3}, {"", 0}, {"\x1a", 0}, {"a\x1a\x1a", 2}, {"a\x1a" "b", 3}};
  for (const auto& row : rows) EXPECT_EQ(FileContentLength(row.bytes.data(), row.bytes.size()), row.length);
}

TEST(DeliveryMarker, SizeIsWhatMakeMarkerDataWrites) {
  KeyStrokeList list;
  const uint16_t codes[] = {0x0109, 0x0109, 0x010D};
  ASSERT_TRUE(list.Append(codes, 3));
  const struct { size_t keyBytes, size; } rows[] = {{0, 32}, {2, 4}, {6, 8}, {100, 8}};
  for (const auto& row : rows) {
    const size_t size = MarkerDataBytes(list, row.keyBytes);
    EXPECT_EQ(size, row.size) << row.keyBytes;
    std::vector<uint8_t> out(size);
    EXPECT_EQ(MakeMarkerData(list, row.keyBytes, out.data(), size), size) << row.keyBytes;
    EXPECT_EQ(MakeMarkerData(list, row.keyBytes, out.data(), size - 1), 0u) << row.keyBytes;
  }
}

// ---- paste and cut keys ----

class FakeKeys : public KeyOutput {
 public:
  std::vector<std::string> log;
  void SendKey(uint8_t vk, bool up) noexcept override {
    char s[16];
    std::snprintf(s, sizeof s, "%02X %s", vk, up ? "up" : "down");
    log.push_back(s);
  }
  void SuspendRecording() noexcept override { log.push_back("SuspendRec"); }
  void ResumeRecording() noexcept override { log.push_back("ResumeRec"); }
};

using Keys = std::vector<std::string>;

TEST(DeliveryKeys, PasteAndCutCommandsGiveTheirChords) {
  const struct { int cmd; Keys paste, cut; } rows[] = {
      {0, {"11 down", "56 down", "56 up", "11 up"}, {"11 down", "58 down", "58 up", "11 up"}},
      {1, {"10 down", "2D down", "2D up", "10 up"}, {"10 down", "2E down", "2E up", "10 up"}},
      {2, {"11 down", "59 down", "59 up", "11 up"}, {"11 down", "57 down", "57 up", "11 up"}},
      {3, {}, {}},
      {-1, {}, {}},
  };
  for (const auto& row : rows) {
    FakeKeys paste, cut;
    SendPasteKeys(row.cmd, false, false, paste);
    SendCutKeys(row.cmd, false, cut);
    EXPECT_EQ(paste.log, row.paste) << row.cmd;
    EXPECT_EQ(cut.log, row.cut) << row.cmd;
  }
}

TEST(DeliveryKeys, CopyOnlySendsNothingAndRecordingIsSuspendedAroundTheKeys) {
  FakeKeys copyOnly, recording, unknown, cutWhileRecording;
  SendPasteKeys(0, true, true, copyOnly);
  SendPasteKeys(1, false, true, recording);
  SendPasteKeys(7, false, true, unknown);
  SendCutKeys(0, true, cutWhileRecording);
  EXPECT_EQ(copyOnly.log, Keys{});
  EXPECT_EQ(recording.log, (Keys{"SuspendRec", "10 down", "2D down", "2D up", "10 up", "ResumeRec"}));
  EXPECT_EQ(unknown.log, (Keys{"SuspendRec", "ResumeRec"}));
  EXPECT_EQ(cutWhileRecording.log, (Keys{"SuspendRec", "11 down", "58 down", "58 up", "11 up", "ResumeRec"}));
}

}  // namespace
}  // namespace quillo::hook
