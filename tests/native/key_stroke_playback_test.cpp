// Turning the text and the key-stroke records of a menu item into steps.
#include "key_stroke_playback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::app {
namespace {

using quillo::testing::ScopedCodePage;
using Bytes = std::vector<uint8_t>;

// One line per step, easy to compare in a table.
std::vector<std::string> Plan(const std::string& text, const Bytes& marker) {
  std::vector<std::string> out;
  for (const auto& s : PlanKeyStrokePlayback(text.data(), text.size(), marker.data(), marker.size())) {
    switch (s.kind) {
      case PlaybackStep::kPaste: out.push_back("paste " + s.text); break;
      case PlaybackStep::kKeyPress: out.push_back("press " + std::to_string(s.vk)); break;
      case PlaybackStep::kKeyDown: out.push_back("down " + std::to_string(s.vk)); break;
      case PlaybackStep::kKeyUp: out.push_back("up " + std::to_string(s.vk)); break;
      case PlaybackStep::kWait: out.push_back("wait " + std::to_string(s.delayMs)); break;
      case PlaybackStep::kBadRecord: out.push_back("bad"); break;
    }
  }
  return out;
}

using Steps = std::vector<std::string>;

TEST(KeyStrokePlayback, TextAndKeysAlternateInOrder) {
  struct Row {
    const char* what;
    std::string text;
    Bytes marker;
    Steps expected;
  } rows[] = {
      {"text, Enter, text", "abc\x03" "def", {13, 1}, {"paste abc", "press 13", "paste def"}},
      {"ends with a key", "abc\x03", {13, 1}, {"paste abc", "press 13"}},
      {"starts with a key", "\x03" "x", {9, 1}, {"press 9", "paste x"}},
      {"two keys in a row", "a\x03\x03" "b", {16, 2, 16, 3}, {"paste a", "down 16", "up 16", "paste b"}},
      {"wait record is four bytes", "\x03\x03", {1, 4, 0xF4, 0x01, 13, 1}, {"wait 500", "press 13"}},
      {"unknown kind goes on", "\x03\x03", {65, 9, 66, 1}, {"bad", "press 66"}},
      {"no placeholder", "plain", {13, 1}, {"paste plain"}},
      {"marker starting with 0 plays nothing", "abc\x03", {0, 0}, {}},
  };
  for (const auto& r : rows) EXPECT_EQ(Plan(r.text, r.marker), r.expected) << r.what;
}

TEST(KeyStrokePlayback, NeverReadsPastTheRecords) {
  // More placeholders than records: playback stops at the end of the list.
  EXPECT_EQ(Plan("a\x03" "b\x03" "c", {13, 1}), Steps({"paste a", "press 13", "paste b"}));
  // A wait record cut after its kind byte.
  EXPECT_EQ(Plan("\x03", {1, 4, 0xF4}), Steps());
  // An odd single byte cannot hold a record.
  EXPECT_EQ(Plan("x\x03", {13}), Steps({"paste x"}));
  EXPECT_EQ(PlanKeyStrokePlayback("x", 1, nullptr, 0).size(), 0u);
}

TEST(KeyStrokePlayback, PlaceholderSearchSkipsTrailBytesIn932) {
  ScopedCodePage cp(932);
  // A lead byte followed by 0x03 is no valid character, but the pair must
  // still be stepped over as one so that the search stays in step.
  const std::string text = std::string("\x95\x5c") + "\x03" + "\x83\x7c";
  EXPECT_EQ(Plan(text, {13, 1}), Steps({"paste \x95\x5c", "press 13", "paste \x83\x7c"}));
  const std::string swallowed = std::string("\x95\x03") + "z";
  EXPECT_EQ(Plan(swallowed, {13, 1}), Steps({"paste " + swallowed}));
}

}  // namespace
}  // namespace quillo::app
