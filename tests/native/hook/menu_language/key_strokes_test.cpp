// Key-stroke lists: key names, the codes and placeholders of each tag form, the
// buffer bound and the marker data handed to the resident program.
#include "key_strokes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::hook {
namespace {

using Codes = std::vector<uint16_t>;

Codes Collected(const KeyStrokeList& list) { return Codes(list.Codes(), list.Codes() + list.Count()); }

TEST(KeyName, TableNamesGiveTheirVirtualKeys) {
  const struct {
    const char* name;
    int vk;
  } rows[] = {
      {"ENTER", 13}, {"TAB", 9},        {"ESC", 27},    {"SPACE", 32}, {"LEFT", 37}, {"RIGHT", 39},
      {"UP", 38},    {"DOWN", 40},      {"HOME", 36},   {"END", 35},   {"INS", 45},  {"DEL", 46},
      {"PAGE_UP", 33}, {"PAGE_DOWN", 34}, {"WIN", 91},  {"APPS", 93},  {"SHIFT", 16}, {"CTRL", 17},
      {"ALT", 18},   {"BACK", 8},       {"F1", 112},    {"F9", 120},   {"F10", 121}, {"F12", 123},
      {"enter", 13}, {"Page_Down", 34}, {"f11", 122},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FindKeyName(row.name, std::string(row.name).size()), row.vk) << row.name;
  }
}

TEST(KeyName, SingleLetterOrDigitIsItsOwnKeyAndAnythingElseIsNone) {
  const struct {
    std::string name;
    int vk;
  } rows[] = {
      {"a", 'A'}, {"Z", 'Z'}, {"0", '0'}, {"9", '9'},
      {"ab", 0},  {"", 0},    {"F13", 0}, {"F0", 0}, {"-", 0}, {"ENTERX", 0}, {"ENTE", 0},
      {std::string(128, 'A'), 0},
  };
  for (const auto& row : rows) EXPECT_EQ(FindKeyName(row.name.data(), row.name.size()), row.vk) << row.name;
}

struct TagRow {
  std::string content;
  Codes codes;
  size_t placeholders;
  int messageId;
};

void CheckRows(const std::vector<TagRow>& rows) {
  for (const TagRow& row : rows) {
    KeyStrokeList list;
    const KeyTagResult r = row.content.size() > 1 && row.content[1] == 'W'
                               ? AddWaitTag(row.content.c_str(), row.content.size(), list)
                               : AddKeyStrokeTag(row.content.c_str(), row.content.size(), list);
    EXPECT_EQ(r.messageId, row.messageId) << row.content;
    EXPECT_EQ(Collected(list), row.codes) << row.content;
    EXPECT_EQ(r.placeholders, row.placeholders) << row.content;
    EXPECT_EQ(list.Codes()[list.Count()], kKeyEndCode) << row.content;
  }
}

TEST(KeyStrokeTag, PressesRepeatsAndModifiers) {
  CheckRows({
      {"!K\"enter\"", {0x010D}, 1, 0},
      {"!K3\"TAB\"", {0x0109, 0x0109, 0x0109}, 3, 0},
      {"!K12\"UP\"", Codes(12, 0x0126), 12, 0},
      {"!K0\"TAB\"", {0x0109}, 1, 0},
      {"!KS\"TAB\"", {0x0210, 0x0109, 0x0310}, 3, 0},
      {"!KS3\"TAB\"", {0x0210, 0x0109, 0x0310}, 3, 0},  // third character decides
      {"!K3S\"TAB\"", {0x0109, 0x0109, 0x0109}, 3, 0},
      {"!KC\"a\"", {0x0211, 0x0141, 0x0311}, 3, 0},
      {"!KA\"F4\"", {0x0212, 0x0173, 0x0312}, 3, 0},
      {"!KX\"TAB\"", {0x0109}, 1, 0},  // another letter: no modifier
      {"!K\" tab \"", {0x0109}, 1, 0},  // quoted arguments are trimmed
  });
}

TEST(KeyStrokeTag, DownsAndUps) {
  CheckRows({
      {"!D\"SHIFT\"", {0x0210}, 1, 0},
      {"!D2\"CTRL\"", {0x0211, 0x0211}, 2, 0},
      {"!U\"ALT\"", {0x0312}, 1, 0},
      {"!U3\"z\"", {0x035A, 0x035A, 0x035A}, 3, 0},
      {"!DS\"TAB\"", {0x0209}, 1, 0},  // modifiers belong to K only
  });
}

TEST(KeyStrokeTag, BadKeyNamesWriteNothing) {
  CheckRows({
      {"!K\"ab\"", {}, 0, 2043},
      {"!K", {}, 0, 2043},
      {"!K\"\"", {}, 0, 2043},
      {"!K\"TAB", {}, 0, 2043},
      {"!K3", {}, 0, 2043},
      {"!K\"" + std::string(128, 'A') + "\"", {}, 0, 2043},
  });
}

TEST(KeyStrokeTag, DoubleByteNameIsNoKey_Cp932) {
  testing::ScopedCodePage cp(932);
  CheckRows({
      {"!K\"\x83\x5C\"", {}, 0, 2043},      // a character whose trail byte is '\'
      {"!K\"\x81\x40TAB\x81\x40\"", {0x0109}, 1, 0},  // ideographic spaces trimmed
  });
}

TEST(KeyWaitTag, DelaysAreReducedTo16BitsAndMustBePositive) {
  CheckRows({
      {"!W500", {0x0401, 0x01F4}, 1, 0},
      {"!W1", {0x0401, 1}, 1, 0},
      {"!W32767", {0x0401, 0x7FFF}, 1, 0},
      {"!W0", {}, 0, 2038},
      {"!W", {}, 0, 2038},
      {"!Wx", {}, 0, 2038},
      {"!W32768", {}, 0, 2038},
      {"!W40000", {}, 0, 2038},
      {"!W65536", {}, 0, 2038},
      {"!W65537", {0x0401, 1}, 1, 0},
      // 10^20 - 1 is 65535 modulo 2^16; 10^17 + 1 is 1.
      {"!W" + std::string(20, '9'), {}, 0, 2038},
      {"!W1" + std::string(16, '0') + "1", {0x0401, 1}, 1, 0},
  });
}

TEST(KeyStrokeBuffer, StartsWithEndCodeAloneAndKeepsItLast) {
  KeyStrokeList list;
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.Codes()[0], kKeyEndCode);
  const std::string tag = "!K2\"TAB\"";
  ASSERT_EQ(AddKeyStrokeTag(tag.c_str(), tag.size(), list).messageId, 0);
  EXPECT_EQ(Collected(list), Codes({0x0109, 0x0109}));
  EXPECT_EQ(list.Codes()[2], kKeyEndCode);
  EXPECT_EQ(list.ByteCount(), 4u);
  list.Reset();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.Codes()[0], kKeyEndCode);
}

TEST(KeyStrokeBuffer, RepeatCountPastTheBufferIsRefusedBeforeWriting) {
  KeyStrokeList list;
  const std::string first = "!K400\"TAB\"";
  ASSERT_EQ(AddKeyStrokeTag(first.c_str(), first.size(), list).messageId, 0);
  const Codes before = Collected(list);
  for (const std::string tag : {"!K114\"UP\"", "!D99999999999999999999\"UP\"", "!K1000000\"UP\""}) {
    EXPECT_EQ(AddKeyStrokeTag(tag.c_str(), tag.size(), list).messageId, 2036) << tag;
    EXPECT_EQ(Collected(list), before) << tag;
    EXPECT_EQ(list.Codes()[list.Count()], kKeyEndCode);
  }
  // 513 codes and the end code fill the 514 units exactly.
  const std::string last = "!K113\"UP\"";
  EXPECT_EQ(AddKeyStrokeTag(last.c_str(), last.size(), list).messageId, 0);
  EXPECT_EQ(list.Count(), 513u);
  EXPECT_EQ(list.Codes()[513], kKeyEndCode);
  const std::string wait = "!W5";
  EXPECT_EQ(AddWaitTag(wait.c_str(), wait.size(), list).messageId, 2036);
  EXPECT_EQ(list.Count(), 513u);
}

TEST(KeyMarkerData, ThirtyTwoZeroBytesWithoutKeysElseCodesAndEndCodeLittleEndian) {
  KeyStrokeList list;
  uint8_t out[64];
  std::fill(std::begin(out), std::end(out), 0xEE);
  ASSERT_EQ(MakeMarkerData(list, 0, out, sizeof out), 32u);
  for (size_t i = 0; i < 32; ++i) EXPECT_EQ(out[i], 0) << i;
  EXPECT_EQ(out[32], 0xEE);

  const std::string tag = "!KS\"TAB\"";
  ASSERT_EQ(AddKeyStrokeTag(tag.c_str(), tag.size(), list).messageId, 0);
  std::fill(std::begin(out), std::end(out), 0xEE);
  ASSERT_EQ(MakeMarkerData(list, list.ByteCount(), out, sizeof out), 8u);
  const uint8_t expected[] = {0x10, 0x02, 0x09, 0x01, 0x10, 0x03, 0x01, 0x0A};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), std::vector<uint8_t>(expected, expected + 8));
  EXPECT_EQ(MakeMarkerData(list, list.ByteCount(), out, 7), 0u);
  EXPECT_EQ(MakeMarkerData(list, 0, out, 31), 0u);
}

}  // namespace
}  // namespace quillo::hook
