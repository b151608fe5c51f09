// Decimal formatting as printf's "%d", "%02d" and "%2d" would give it.
#include "small_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace quillo {
namespace {

std::string Format(long long v, int width, char pad, size_t size = 32) {
  std::string out(size, '#');
  FormatDecimal(out.data(), out.size(), v, width, pad);
  return out.c_str();
}

TEST(SmallFormat, MatchesPrintfForTheWidthsInUse) {
  const long long values[] = {0, 5, 12, 99, 100, 2026, -1, -5, -38, LLONG_MIN, LLONG_MAX};
  for (long long v : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%lld", v);
    EXPECT_EQ(Format(v, 0, ' '), expected) << v;
    std::snprintf(expected, sizeof expected, "%02lld", v);
    EXPECT_EQ(Format(v, 2, '0'), expected) << v;
    std::snprintf(expected, sizeof expected, "%2lld", v);
    EXPECT_EQ(Format(v, 2, ' '), expected) << v;
    std::snprintf(expected, sizeof expected, "%05lld", v);
    EXPECT_EQ(Format(v, 5, '0'), expected) << v;
  }
}

TEST(SmallFormat, CutsToTheBufferAndAlwaysTerminates) {
  EXPECT_EQ(Format(123456, 0, ' ', 4), "123");
  EXPECT_EQ(Format(7, 0, ' ', 1), "");
  char out[4];
  EXPECT_EQ(CopyText(out, sizeof out, "abcdef"), 3u);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(CopyText(out, sizeof out, nullptr), 0u);
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace quillo
