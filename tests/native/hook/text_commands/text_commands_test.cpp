// The text commands' portable core: form notation, the enclose and disclose
// walk (also quote mode of history entries), and the character conversions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code_page.h"
#include "text_commands/convert.h"
#include "text_commands/enclose.h"

namespace quillo::hook {
namespace {

using ::testing::PrintToString;

TEST(TextCommandsForm, NotationGivesTheTwoPartsAndTheLineMode) {
  const std::string a100(100, 'a'), a101(101, 'a');
  std::string dbcs63, dbcs64;  // 63 and 64 times ア (0x83 0x41)
  for (int i = 0; i < 64; ++i) (i < 63 ? dbcs63 : dbcs64) += "\x83\x41";
  dbcs64 = dbcs63 + "\x83\x41";
  const struct {
    int codePage;
    std::string notation;
    FormParse result;
    std::string head, tail;
    bool eachLine;
  } rows[] = {
      {1252, "(xxx)", FormParse::kOk, "(", ")", false},
      {1252, "<!-- xxx -->", FormParse::kOk, "<!-- ", " -->", false},
      {1252, "> xxxn", FormParse::kOk, "> ", "", true},
      {1252, " \t> xxxn  ", FormParse::kOk, "> ", "", true},     // trimmed as a whole only
      {1252, "(xxxxxxn)", FormParse::kOk, "(", ")", true},       // the whole run of x
      {1252, "(xxx)n", FormParse::kOk, "(", ")n", false},         // "n" only right after the marker
      {1252, "[xxx", FormParse::kOk, "[", "", false},
      {1252, "xxx", FormParse::kEmpty, "", "", false},
      {1252, "xxxn", FormParse::kEmpty, "", "", true},
      {1252, "(xx)", FormParse::kBadFormat, "", "", false},
      {1252, "(XXX)", FormParse::kBadFormat, "", "", false},
      {1252, "", FormParse::kBadFormat, "", "", false},
      {1252, a100 + "xxx" + a100, FormParse::kOk, a100, a100, false},
      {1252, a101 + "xxx", FormParse::kBadFormat, "", "", false},
      {1252, "xxx" + a101, FormParse::kBadFormat, "", "", false},
      // 932: the trail byte 0x78 of ヘ (0x83 0x78) is no "x"; the marker must start on a character.
      {932, "\x83\x78xx(", FormParse::kBadFormat, "", "", false},
      {932, "\x83\x78xxx)", FormParse::kOk, "\x83\x78", ")", false},
      {932, "\x81\x40(xxx)\x81\x40", FormParse::kOk, "(", ")", false},  // ideographic spaces trimmed
      // 63 double-byte characters fill 126 bytes of the 128-byte field; 64 would not fit.
      {932, dbcs63 + "xxx", FormParse::kOk, dbcs63, "", false},
      {932, dbcs64 + "xxx", FormParse::kBadFormat, "", "", false},
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    EncloseForm form;
    form.eachLine = !row.eachLine;  // must be set by the parse either way
    EXPECT_EQ(ParseEncloseForm(row.notation.c_str(), form), row.result) << PrintToString(row.notation);
    EXPECT_EQ(std::string(form.head), row.head) << PrintToString(row.notation);
    EXPECT_EQ(std::string(form.tail), row.tail) << PrintToString(row.notation);
    EXPECT_EQ(form.eachLine, row.eachLine) << PrintToString(row.notation);
  }
}

struct WalkRow {
  int codePage;
  std::string text, head, tail;
  bool eachLine;
  std::string expected;
};

// Runs the walk with exactly the size it asks for, and a guard byte behind.
std::string RunWalk(bool disclose, const WalkRow& row) {
  const size_t bytes = disclose ? DisclosedTextBytes(row.text.c_str(), row.head.c_str(), row.tail.c_str(), row.eachLine)
                                : EnclosedTextBytes(row.text.c_str(), row.head.c_str(), row.tail.c_str(), row.eachLine);
  std::vector<char> out(bytes + 1, '#');
  const bool ok = disclose ? DiscloseLines(row.text.c_str(), row.head.c_str(), row.tail.c_str(), row.eachLine,
                                           out.data(), bytes)
                           : EncloseLines(row.text.c_str(), row.head.c_str(), row.tail.c_str(), row.eachLine,
                                          out.data(), bytes);
  EXPECT_TRUE(ok) << PrintToString(row.text);
  EXPECT_EQ(out[bytes], '#') << "wrote past the size it asked for: " << PrintToString(row.text);
  EXPECT_EQ(std::string(out.data()).size() + 1, bytes) << "size asked for is not the size used";
  return out.data();
}

TEST(TextCommandsEnclose, EveryLineOrTheWholeTextWithTheAfterTextRules) {
  const WalkRow rows[] = {
      // Blank lines get the before-text only while there is no after-text.
      {1252, "a\r\n\r\nb", "> ", "", true, "> a\r\n> \r\n> b"},
      {1252, "a\r\n\r\nb", "(", ")", true, "(a)\r\n\r\n(b)"},
      {1252, " \t\r\nb", "(", ")", true, " \t\r\n(b)"},
      {1252, "a\nb\n", "(", ")", true, "(a)\n(b)\n"},          // bare LF: the after-text before the LF
      {1252, "a\r\nb\r\n", "> ", "", true, "> a\r\n> b\r\n"},  // nothing after a final line break
      {1252, "\n\n", "> ", "", true, "> \n> \n"},
      {1252, "a\rb", "> ", "", true, "> a\rb"},                // lines end at LF only
      {1252, "", "> ", "", true, ""},
      {1252, "a\r\nb", "", "", true, "a\r\nb"},
      {1252, "a\r\nb", "", ";", true, "a;\r\nb;"},
      // Whole text: one line break at the very end is kept outside the form.
      {1252, "abc\r\n", "(", ")", false, "(abc)\r\n"},
      {1252, "abc\n", "(", ")", false, "(abc)\r\n"},
      {1252, "a\r\nb", "<!-- ", " -->", false, "<!-- a\r\nb -->"},
      {1252, "a\r\n\r\n", "(", ")", false, "(a\r\n)\r\n"},
      {1252, "  \r\nb", "(", ")", false, "  \r\nb"},           // blank test of the first line only
      {1252, "  \r\nb", "> ", "", false, ">   \r\nb"},
      // 932: trail bytes 0x5C and 0x7C (ソ ポ), and a lead byte at the very end.
      {932, "\x83\x5c\r\n\x83\x7c", "(", ")", true, "(\x83\x5c)\r\n(\x83\x7c)"},
      {932, "\x81\x84 ", "\x81\x84", "\x81\x84", false, "\x81\x84\x81\x84 \x81\x84"},
      {932, "ab\x83", "(", ")", false, "(ab\x83)"},
      {932, "x\ny", "\x81\x84 ", "", true, "\x81\x84 x\n\x81\x84 y"},
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    EXPECT_EQ(RunWalk(false, row), row.expected) << PrintToString(row.text) << " " << row.head << "xxx" << row.tail;
  }
}

TEST(TextCommandsDisclose, RemovesOnlyWhatTheFormPutThere) {
  const WalkRow rows[] = {
      {1252, "(a) b)", "(", ")", true, "a) b)"},  // the first ")" does not end the line
      {1252, "((a))", "(", ")", false, "(a))"},
      {1252, "(a)\r\n\r\n(b)", "(", ")", true, "a\r\n\r\nb"},
      {1252, "> a\r\n> \r\n> b", "> ", "", true, "a\r\n\r\nb"},
      {1252, "[a]\n[b]\n", "[", "]", true, "a\nb\n"},
      {1252, "(abc)\r\n", "(", ")", false, "abc\r\n"},
      {1252, "(abc)\n", "(", ")", false, "abc\r\n"},
      {1252, "xa)", "(", ")", true, "xa"},
      {1252, "<!-- a -->", "<!-- ", " -->", false, "a"},
      {1252, ">a", "> ", "", true, ">a"},
      {1252, "a\x83\\", "", "\\", true, "a\x83"},
      {932, "a\x83\\", "", "\\", true, "a\x83\\"},  // 0x5C here is the trail byte of ソ
      {932, "(\x83\x7c)", "(", ")", true, "\x83\x7c"},
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    EXPECT_EQ(RunWalk(true, row), row.expected) << PrintToString(row.text);
  }
}

TEST(TextCommandsEnclose, LargestSelectionOfBareLineFeedsIsSizedExactly) {
  // 20479 bytes of lines ending in a bare LF, the last one blank, enclosed per
  // line and as a whole: each result goes into exactly the block it asked for.
  // As a whole, the final LF comes back as CR LF: one byte more than the form.
  std::string text;
  while (text.size() < 20478) text += "a\n";
  text += "\n";
  for (bool eachLine : {true, false}) {
    const WalkRow row{1252, text, "> ", "<", eachLine, ""};
    const std::string out = RunWalk(false, row);
    EXPECT_EQ(out.size(), eachLine ? text.size() + 10239 * 3 : text.size() + 4);
  }
  char small[8] = "#######";
  EXPECT_FALSE(EncloseLines("ab\ncd", "> ", "", true, small, sizeof small));
  EXPECT_STREQ(small, "");
}

struct ConvRow {
  int codePage;
  int mode;
  std::string text, expected;
};

std::string Convert(int codePage, int mode, const std::string& text, size_t* written = nullptr) {
  testing::ScopedCodePage cp(codePage);
  ConvRules rules;
  rules.codePage = codePage;
  rules.singleByte = codePage == 1252 ? &CaseTable1252() : &AsciiCaseTable();
  std::vector<char> out(ConvertedTextBytes(text.size()) + 1, '#');
  EXPECT_TRUE(ConvertText(mode, text.data(), text.size(), out.data(), out.size() - 1, rules, written));
  EXPECT_EQ(out.back(), '#') << "wrote past its block";
  return out.data();
}

TEST(TextCommandsConvert, CaseModesInCodePages1252And932) {
  const ConvRow rows[] = {
      {1252, kConvUpper, "abc xyz \xe0\xfe\xff\x9a\x9c\x9e", "ABC XYZ \xc0\xde\x9f\x8a\x8c\x8e"},
      {1252, kConvLower, "ABC \xc0\xde\x9f\x8a", "abc \xe0\xfe\xff\x9a"},
      {1252, kConvUpper, "\xdf\xb5\xf7\x83", "\xdf\xb5\xf7\x83"},  // ß µ ÷ ƒ have no capital here
      {1252, kConvCapitalWords, "i am HERE", "I Am Here"},
      {1252, kConvCapitalWords, "c:\\dir\\file.txt a-b", "C:\\Dir\\File.txt A-b"},
      {1252, kConvCapitalSentences, "hello. world? yes", "Hello. World? Yes"},
      {1252, kConvCapitalSentences, "so i said", "So I said"},
      {1252, kConvCapitalSentences, "OK; it's i'm\r\nnext", "Ok; It's I'm\r\nnext"},
      {1252, kConvCapitalSentences, "  a.b", "  A.b"},
      {1252, kConvCapitalSentences, "so do i", "So do i"},  // the lone "i" needs a space or apostrophe after it
      // 932: full-width letters (Latin, Greek, Cyrillic, Roman numerals), and
      // trail bytes that look like ASCII letters or \ | are left alone.
      {932, kConvUpper, "abc\x82\x81\x82\x9a", "ABC\x82\x60\x82\x79"},
      {932, kConvUpper, "\x83\xbf\x84\x70\x84\x80\xee\xef\xfa\x49", "\x83\x9f\x84\x40\x84\x4f\x87\x54\x87\x5d"},
      {932, kConvUpper, "\x83\x61" "a\x83\x5c\x83\x7c", "\x83\x61" "A\x83\x5c\x83\x7c"},
      {932, kConvUpper, "\xee\xf7", "\x87\x5c"},  // Ⅸ: the result's trail byte is 0x5C
      {932, kConvUpper, "a\x83", "A\x83"},        // a lead byte at the very end
      {932, kConvLower, "\x82\x60\x83\x9f\x84\x40\x84\x4f\x87\x54", "\x82\x81\x83\xbf\x84\x70\x84\x80\xfa\x40"},
      {932, kConvCapitalWords, "\x82\x89 am", "\x82\x68 Am"},                  // ｉ at the start
      {932, kConvCapitalWords, "a\x83\x5c" "b c", "A\x83\x5c" "b C"},           // ソ is no backslash
      {932, kConvCapitalWords, "a\x81\x40" "b", "A\x81\x40" "B"},               // ideographic space
      {932, kConvCapitalSentences, "a\x81\x42 b\x81\x42" "c", "A\x81\x42 B\x81\x42" "c"},
      {932, kConvCapitalSentences, "so \x82\x89\x81\x66m", "So \x82\x68\x81\x66m"},  // ｉ’m
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Convert(row.codePage, row.mode, row.text), row.expected)
        << row.codePage << " mode " << row.mode << " " << PrintToString(row.text);
  }
}

TEST(TextCommandsConvert, WidthAndKanaModesInCodePage932Only) {
  const ConvRow rows[] = {
      {932, kConvHalfWidth, "\x83\x4b", "\xb6\xde"},                      // ガ
      {932, kConvHalfWidth, "\x83\x70\x83\x94", "\xca\xdf\xb3\xde"},      // パヴ
      {932, kConvHalfWidth, "\x82\x60\x81\x40\x82\xa9\x88\x9f", "A \x82\xa9\x88\x9f"},  // hiragana, kanji stay
      {932, kConvHalfWidth, "\x83\x5c\x81\x5f\x81\x62\x81\x5b", "\xbf\\|\xb0"},  // ソ＼｜ー
      {932, kConvHalfWidth, "\x83\x8e\x83\x95", "\x83\x8e\x83\x95"},      // ヮヵ have no half-width form
      {932, kConvFullWidth, "\xb6\xde", "\x83\x4b"},
      {932, kConvFullWidth, "\xca\xdf\xb3\xde", "\x83\x70\x83\x94"},
      {932, kConvFullWidth, "A \xde", "\x82\x60\x81\x40\x81\x4a"},        // a mark alone becomes ゛
      {932, kConvFullWidth, "\xb1\xde", "\x83\x41\x81\x4a"},              // ｱ takes no mark
      {932, kConvFullWidth, "\\|\x83", "\x81\x5f\x81\x62\x83"},           // lead byte at the end copied
      {932, kConvFullWidthKana, "abc\xb1", "abc\x83\x41"},
      {932, kConvFullWidthKana, "\xb6\xde!", "\x83\x4b!"},
      {932, kConvHiragana, "\x83\x5c\x83\x7c\x83\x93\x83\x94\x83\x80", "\x82\xbb\x82\xdb\x82\xf1\x83\x94\x82\xde"},
      {932, kConvKatakana, "\x82\xbb\x82\xdb\x82\xf1\x82\xde" "a", "\x83\x5c\x83\x7c\x83\x93\x83\x80" "a"},
      // Outside code page 932 these modes change nothing.
      {1252, kConvHalfWidth, "\x83\x4b", "\x83\x4b"},
      {1252, kConvFullWidth, "ab\xb6\xde", "ab\xb6\xde"},
      {1252, kConvHiragana, "\x83\x5c", "\x83\x5c"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Convert(row.codePage, row.mode, row.text), row.expected)
        << row.codePage << " mode " << row.mode << " " << PrintToString(row.text);
  }
}

TEST(TextCommandsConvert, LargestSelectionFitsItsBlockInEveryMode) {
  // Every byte value, over and over, up to 20479 bytes ending in a lead byte.
  std::string text;
  for (int i = 0; text.size() < 20478; ++i) text += static_cast<char>(1 + i % 255);
  text += '\x83';
  for (int codePage : {932, 1252}) {
    for (int mode : {1, 2, 3, 4, 5, 6, 7, 10, 11}) {
      size_t written = 0;
      const std::string out = Convert(codePage, mode, text, &written);
      EXPECT_EQ(out.size(), written);
      EXPECT_LE(written, 2 * text.size()) << mode;
    }
  }
  // Mode 4 doubles printable ASCII exactly.
  EXPECT_EQ(Convert(932, kConvFullWidth, std::string(20479, 'a')).size(), 2u * 20479);
}

TEST(TextCommandsConvert, SmallBlockKeepsWholeCharactersAndUnknownModeCopies) {
  testing::ScopedCodePage cp(932);
  ConvRules rules;
  rules.codePage = 932;
  char out[4] = "###";
  size_t written = 9;
  EXPECT_FALSE(ConvertText(kConvFullWidth, "ab", 2, out, sizeof out, rules, &written));
  EXPECT_EQ(std::string(out), "\x82\x81");  // "ｂ" would not fit beside it
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(ConvertText(kConvHalfWidth, "\x83\x4b", 2, out, 2, rules, &written));  // ｶ without its mark
  EXPECT_EQ(std::string(out), "");
  EXPECT_FALSE(ConvertText(8, "ab", 2, out, sizeof out, rules, &written));
  EXPECT_EQ(std::string(out), "ab");
}

}  // namespace
}  // namespace quillo::hook
