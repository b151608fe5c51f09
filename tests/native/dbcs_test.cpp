// The double-byte scanner, in code pages 1252 and 932.
#include "dbcs.h"

#include <gtest/gtest.h>

#include <string>

#include "code_page.h"

namespace quillo::text {
namespace {

using quillo::testing::ScopedCodePage;

std::string Trimmed(std::string s) {
  s.resize(Trim(s.data()));
  return s;
}

TEST(Dbcs, TrimRemovesSpacesTabsAndTheIdeographicSpaceIn932) {
  ScopedCodePage cp(932);
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"  abc\t ", "abc"},
      {"\x81\x40" "abc" "\x81\x40", "abc"},       // ideographic spaces both sides
      {"\x95\x5c ", "\x95\x5c"},                  // 表 then a space: trail 0x5C kept
      {"\x82\x81\x40", "\x82\x81\x40"},           // 0x81 0x40 here is a trail byte + '@'
      {"", ""},
      {" \t\x81\x40 ", ""},
      {"ab\x81", "ab\x81"},                       // dangling lead byte kept
  };
  for (const auto& r : rows) EXPECT_EQ(Trimmed(r.in), r.out) << r.in;
}

TEST(Dbcs, In1252The0x81ByteIsNoSpace) {
  ScopedCodePage cp(1252);
  EXPECT_EQ(Trimmed("\x81\x40" "a"), "\x81\x40" "a");
  EXPECT_EQ(SpaceLen("\x81\x40"), 0u);
}

TEST(Dbcs, FindCharNeverMatchesATrailByte) {
  ScopedCodePage cp(932);
  // ソ (83 5C) and ポ (83 7C): trail bytes look like '\' and '|'.
  const char* s = "\x83\x5c\x83\x7c|x\\";
  EXPECT_EQ(FindChar(s, '|'), s + 4);
  EXPECT_EQ(FindChar(s, '\\'), s + 6);
  EXPECT_EQ(FindChar("\x83", '|'), nullptr);
  ScopedCodePage single(1252);
  EXPECT_EQ(FindChar(s, '|'), s + 3);
}

TEST(Dbcs, CharLenStopsAtTheTerminator) {
  ScopedCodePage cp(932);
  EXPECT_EQ(CharLen("\x95\x5c"), 2u);
  EXPECT_EQ(CharLen("\x95"), 1u);  // never steps over the terminator
  EXPECT_EQ(CharLen(""), 0u);
}

}  // namespace
}  // namespace quillo::text
