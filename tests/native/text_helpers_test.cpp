// Message texts and path scanning, single-byte and Shift-JIS.
#include <gtest/gtest.h>

#include <string>

#include "message_text.h"
#include "path_text.h"

namespace quillo {
namespace {

bool Lead932(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }

std::string Build(const char* tmpl, const char* arg, const char* extra, size_t size,
                  bool (*lead)(unsigned char) = nullptr) {
  std::string out(size, '#');
  BuildMessageText(tmpl, arg, extra, lead, out.data(), out.size());
  return std::string(out.c_str());
}

TEST(MessageText, ArgumentReplacesTheHoleAndIsNeverAFormat) {
  struct Row {
    const char* tmpl;
    const char* arg;
    const char* extra;
    const char* expected;
  } rows[] = {
      {"Failed to copy text.", nullptr, nullptr, "Failed to copy text."},
      {"Could not open the file(%s).", "a.txt", nullptr, "Could not open the file(a.txt)."},
      {"Could not open the file(%s).", "%s%n%d.txt", nullptr, "Could not open the file(%s%n%d.txt)."},
      {"Could not open the file(%s).", nullptr, nullptr, "Could not open the file()."},
      {"Menu file is incorrect.", nullptr, "bad line", "Menu file is incorrect.\nbad line"},
  };
  for (const auto& r : rows) EXPECT_EQ(Build(r.tmpl, r.arg, r.extra, 256), r.expected) << r.tmpl;
}

TEST(MessageText, CutToTheBufferWithoutSplittingACharacter) {
  EXPECT_EQ(Build("abcdef", nullptr, nullptr, 4), "abc");
  // Code page 932: "x" then two double-byte characters (表 = 95 5C); with room
  // for four bytes the second character does not fit whole and is left out.
  EXPECT_EQ(Build("x\x95\x5c\x95\x5c", nullptr, nullptr, 5, Lead932), "x\x95\x5c");
  // A lead byte dangling at the end of the template is copied as a single byte.
  EXPECT_EQ(Build("ab\x95", nullptr, nullptr, 16, Lead932), "ab\x95");
}

TEST(PathText, LastBackslashSkipsTrailBytes) {
  EXPECT_EQ(LastBackslash("C:\\dir\\file.txt", Lead932), 6);
  EXPECT_EQ(LastBackslash("file.txt", Lead932), -1);
  // C:\表 : the trail byte 0x5C of 表 is not a separator.
  EXPECT_EQ(LastBackslash("C:\\\x95\x5c", Lead932), 2);
  EXPECT_EQ(LastBackslash("C:\\\x95\x5c", nullptr), 4);  // code page 1252 reads it as one
  EXPECT_EQ(LastBackslash("C:\\\x95", Lead932), 2);        // dangling lead byte
}

}  // namespace
}  // namespace quillo
