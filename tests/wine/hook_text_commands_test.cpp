// The conversions of the text commands beside the system's own: every
// character of the running code page (932 in the run under ja_JP, 1252
// otherwise) converted by us and by LCMapStringA / CharUpperBuffA.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text_commands/convert.h"
#include "text_commands/text_commands_win.h"

namespace quillo::hook {
namespace {

// The cp932 run is started under a Japanese locale; then it must really be
// code page 932, or the run would prove nothing.
bool RunMeantFor932() {
  for (const char* name : {"LC_ALL", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && std::strncmp(value, "ja_JP", 5) == 0) return true;
  }
  return false;
}

std::string Ours(int mode, const std::string& in) {
  std::vector<char> out(ConvertedTextBytes(in.size()));
  ConvertText(mode, in.data(), in.size(), out.data(), out.size(), RulesOfThisSystem());
  return out.data();
}

std::string Platform(int mode, const std::string& in) {
  if (mode == kConvUpper || mode == kConvLower) {
    std::string s = in;
    if (mode == kConvUpper) CharUpperBuffA(&s[0], static_cast<DWORD>(s.size()));
    else CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
  }
  const DWORD flags = mode == kConvHalfWidth ? LCMAP_HALFWIDTH
                      : mode == kConvHiragana ? LCMAP_HIRAGANA
                      : mode == kConvKatakana ? LCMAP_KATAKANA
                                              : LCMAP_FULLWIDTH;
  char out[16] = {};
  const int n = LCMapStringA(LOCALE_USER_DEFAULT, flags, in.data(), static_cast<int>(in.size()), out, sizeof out - 1);
  return std::string(out, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string Hex(const std::string& s) {
  std::string h;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X", c);
    h += b;
  }
  return h.empty() ? "-" : h;
}

// Every character of the code page: the single bytes that are no lead bytes,
// and in a double-byte code page every pair the system reads as one character.
std::vector<std::string> EveryCharacter() {
  std::vector<std::string> chars;
  for (int c = 1; c < 256; ++c) {
    if (!IsDBCSLeadByte(static_cast<BYTE>(c))) chars.emplace_back(1, static_cast<char>(c));
  }
  for (int lead = 0x81; lead < 256; ++lead) {
    if (!IsDBCSLeadByte(static_cast<BYTE>(lead))) continue;
    for (int trail = 0x40; trail < 256; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      WCHAR w[2];
      if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair, 2, w, 2) == 1) chars.emplace_back(pair, 2);
    }
  }
  return chars;
}

// The text as the system writes it back after reading it: characters that
// the code page holds twice (NEC row 13 and the NEC-selected IBM extensions)
// come back under their other code.
std::string RoundTrip(const std::string& s) {
  WCHAR w[16];
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w, 16);
  char out[32];
  const int m = WideCharToMultiByte(CP_ACP, 0, w, n, out, sizeof out, nullptr, nullptr);
  return std::string(out, m > 0 ? static_cast<size_t>(m) : 0);
}

struct Difference {
  int mode;
  std::string in, ours, platform;
};

TEST(HookTextCommandsPlatform, EveryCharacterConvertsAsTheSystemDoesButForTheListedDifferences) {
  if (RunMeantFor932()) {
    ASSERT_EQ(GetACP(), 932u) << "started under ja_JP but the code page is not 932: the locale is missing";
  }
  const bool cp932 = GetACP() == 932;
  std::vector<int> modes = {kConvUpper, kConvLower};
  if (cp932) modes.insert(modes.end(), {kConvHalfWidth, kConvFullWidth, kConvHiragana, kConvKatakana});
  std::vector<std::string> inputs = EveryCharacter();
  if (cp932) {
    // The half-width letters with their marks, which become one character.
    for (const char* pair : {"\xb6\xde", "\xca\xdf", "\xb3\xde", "\xc4\xde", "\xce\xdf"}) inputs.emplace_back(pair);
  }
  std::vector<Difference> found;
  size_t compared = 0;
  for (int mode : modes) {
    for (const std::string& in : inputs) {
      const std::string ours = Ours(mode, in);
      const std::string platform = Platform(mode, in);
      ++compared;
      // The system converts through Unicode and back; a character it merely
      // writes under its other code has not been converted, and we keep its bytes.
      if (ours != platform && RoundTrip(ours) != platform) found.push_back({mode, in, ours, platform});
    }
  }
  std::printf("[ figure ] code page %u: %zu conversions compared with the system, %zu differ\n", GetACP(), compared,
              found.size());
  for (const Difference& d : found) {
    std::printf("  mode %d %s: ours %s, system %s\n", d.mode, Hex(d.in).c_str(), Hex(d.ours).c_str(),
                Hex(d.platform).c_str());
  }
  // Where we differ on purpose (code page 932 only; 1252 agrees everywhere):
  // the system loses characters whose half-width or hiragana form is not in
  // the code page to "?", leaves \ out of the width pairs, and turns the
  // typographic quotes, the yen sign and the broken bar into ASCII; we keep
  // those characters, pair \ with ＼ both ways, keep ヾ whole, and make a lone
  // voiced mark the full-width mark.
  struct Expected {
    int mode;
    const char* in;
    const char* ours;
  };
  const Expected deliberate[] = {
      {3, "8153", "8153"}, {3, "815F", "5C"},   {3, "8165", "8165"}, {3, "8166", "8166"}, {3, "8167", "8167"},
      {3, "8168", "8168"}, {3, "818F", "818F"}, {3, "819B", "819B"}, {3, "81A1", "81A1"}, {3, "81A8", "81A8"},
      {3, "81A9", "81A9"}, {3, "81AA", "81AA"}, {3, "81AB", "81AB"}, {3, "84A0", "84A0"}, {3, "EEFA", "EEFA"},
      {3, "FA55", "FA55"}, {4, "5C", "815F"},   {4, "DE", "814A"},   {4, "DF", "814B"},   {4, "814A", "814A"},
      {4, "814B", "814B"}, {5, "8395", "8395"}, {5, "8396", "8396"},
  };
  std::vector<std::string> expected, actual;
  if (cp932) {
    for (const Expected& e : deliberate) expected.push_back(std::to_string(e.mode) + " " + e.in + " " + e.ours);
  }
  for (const Difference& d : found) actual.push_back(std::to_string(d.mode) + " " + Hex(d.in) + " " + Hex(d.ours));
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace quillo::hook
