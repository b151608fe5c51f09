// Stack-menu captions, the move of a history entry to the top, the key text of
// a shortcut and the captions of the menu-file chooser.
#include "stack_caption.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::hook {
namespace {

std::string Caption(const std::string& text, int index, bool menu, int charNum, bool skip = false) {
  char buffer[kStackCaptionBytes];
  std::memset(buffer, 0x55, sizeof buffer);
  GetStackItem(buffer, sizeof buffer, text.c_str(), index, menu, true, {charNum, skip, 0});
  return buffer;
}

TEST(StackCaption, PrefixNumbersEachSubMenuOfTwentyAlike) {
  const struct { int index; const char* menu; const char* list; } rows[] = {
      {0, "&1: ", "01: "},  {8, "&9: ", "09: "},  {9, "1&0: ", "10: "}, {10, "&1: ", "11: "},
      {18, "&9: ", "19: "}, {19, "1&0: ", "20: "}, {20, "&A: ", "21: "}, {29, "&J: ", "30: "},
      {30, "&1: ", "31: "}, {49, "&J: ", "50: "}, {50, "&1: ", "51: "}, {70, "&1: ", "71: "},
      {89, "&J: ", "90: "}, {90, "&1: ", "91: "}, {99, "1&0: ", "100: "},  // the last sub menu holds ten
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Caption("", row.index, true, 40), row.menu) << row.index;
    EXPECT_EQ(Caption("", row.index, false, 40), row.list) << row.index;
  }
}

struct TextRow {
  const char* name;
  std::string text;
  bool menu;
  int charNum;
  bool skip;
  std::string expected;  // the caption after the prefix
};

void CheckText(int codePage, const std::vector<TextRow>& rows) {
  testing::ScopedCodePage cp(codePage);
  for (const TextRow& row : rows) {
    const std::string caption = Caption(row.text, 0, row.menu, row.charNum, row.skip);
    const std::string prefix = row.menu ? "&1: " : "01: ";
    EXPECT_EQ(caption, prefix + row.expected) << row.name << " (code page " << codePage << ")";
  }
}

TEST(StackCaption, TabsAmpersandsAndLineBreaks) {
  CheckText(1252, {
      {"MenuStyle_AmpersandAndTabBecomeSpaces", "a&b\tc\r\nd", true, 40, false, "a b c |d"},
      {"ListStyle_KeepsAmpersand", "a&b\tc\r\nd", false, 40, false, "a&b c |d"},
      {"LoneLf_Stays", "a\nb", true, 40, false, "a\nb"},
      {"LoneCrInside_Stays", "a\rb", true, 40, false, "a\rb"},
      {"TwoLineBreaks", "a\r\n\r\nb", true, 40, false, "a | |b"},
      {"CutBetweenCrAndLf_DropsTheCr", "abc\r\ndef", true, 4, false, "abc"},
      {"LfInTheLastCell_StillJoinsItsCr", "abc\r\nd", true, 5, false, "abc |"},
      {"TrailingCr_Dropped", "abc\r", true, 40, false, "abc"},
  });
}

TEST(StackCaption, WidthInCells) {
  CheckText(1252, {
      {"CutToCharNum", "abcdefg", true, 5, false, "abcde"},
      {"ShorterThanCharNum", "abc", true, 5, false, "abc"},
      {"CharNumOne", "abc", true, 1, false, "a"},
      {"CharNumZero_NoText", "abc", true, 0, false, ""},
      {"LeadBytesAreSingleIn1252", "\x88\x9f\x88\x9f", true, 3, false, "\x88\x9f\x88"},
  });
  CheckText(932, {
      {"DoubleByteStartingInLastCell_ShownWhole", "abcd\x88\x9f" "e", true, 5, false, "abcd\x88\x9f"},
      {"DoubleByteCountsTwoCells", "\x88\x9f\x88\x9f\x88\x9f", true, 4, false, "\x88\x9f\x88\x9f"},
      {"TrailByte5C_NotSplit", "\x95\x5c\x95\x5c\x95\x5c", true, 3, false, "\x95\x5c\x95\x5c"},
      {"TrailByte7C_NotALineMark", "\x83\x7c" "a", true, 40, false, "\x83\x7c" "a"},
      {"DanglingLeadByteAtEnd", "ab\x88", true, 40, false, "ab\x88"},
  });
}

TEST(StackCaption, SkipTopSpace) {
  CheckText(932, {
      {"SpacesCrLfAndIdeographicSpaceSkipped", "  \r\n\x81\x40xyz", true, 40, true, "xyz"},
      {"OffShowsThem", "  \r\n\x81\x40xyz", true, 40, false, "   |\x81\x40xyz"},
      {"SkippedCharactersDoNotCount", "\t\t\t\tabcdef", true, 3, true, "abc"},
      {"LoneLfNotSkipped", " \nabc", true, 40, true, "\nabc"},
      {"LoneCrNotSkipped", " \rabc", true, 40, true, "\rabc"},
      {"OnlyAtTheStart", " a  b", true, 40, true, "a  b"},
      {"AllSpace_Empty", " \t\r\n ", true, 40, true, ""},
  });
  CheckText(1252, {{"NoIdeographicSpaceIn1252", "\x81\x40x", true, 40, true, "\x81\x40x"}});
}

TEST(StackCaption, SlotsOfTheStoreAreReadWithinTheirBlock) {
  constexpr uint32_t kBlock = 32;
  std::vector<char> view(kBlock * 3, '\0');
  std::strcpy(&view[0], "first");
  std::strcpy(&view[kBlock * 2], "NEXT");
  std::memset(&view[kBlock], 'x', kBlock);  // slot 1 lacks its terminator
  char buffer[kStackCaptionBytes];

  GetStackItem(buffer, sizeof buffer, view.data(), 0, true, false, {100, false, kBlock});
  EXPECT_STREQ(buffer, "&1: first");
  GetStackItem(buffer, sizeof buffer, view.data(), 1, false, false, {100, false, kBlock});
  EXPECT_EQ(std::string(buffer), "02: " + std::string(kBlock, 'x'));
  std::memset(&view[kBlock], ' ', kBlock);
  GetStackItem(buffer, sizeof buffer, view.data(), 1, true, false, {100, true, kBlock});
  EXPECT_STREQ(buffer, "&2: ");
}

TEST(StackCaption, NeverWritesPastTheBuffer) {
  testing::ScopedCodePage cp(932);
  const std::string wide(400, 'w');
  std::string dbcs;
  for (int i = 0; i < 200; ++i) dbcs += "\x88\x9f";
  char small[9];
  GetStackItem(small, sizeof small, dbcs.c_str(), 0, true, true, {100, false, 0});
  EXPECT_STREQ(small, "&1: \x88\x9f\x88\x9f");  // no half character at the edge
  char buffer[kStackCaptionBytes];
  GetStackItem(buffer, sizeof buffer, wide.c_str(), 99, false, true, {100000, false, 0});
  EXPECT_EQ(std::strlen(buffer), sizeof buffer - 1);
  GetStackItem(buffer, sizeof buffer, dbcs.c_str(), 99, false, true, {100, false, 0});
  EXPECT_EQ(std::strlen(buffer), 5u + 100u) << "100 cells of double-byte text fit with the widest prefix";
}

// ---- MoveItemToTop ----

std::vector<std::string> Slots(const std::vector<char>& view, size_t block, int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.emplace_back(&view[i * block]);
  return out;
}

TEST(StackCaptionMoveToTop, ChosenEntryBecomesEntry0AndTheOthersMoveDown) {
  constexpr size_t kBlock = 16;
  const struct { int index; bool result; std::vector<std::string> after; } rows[] = {
      {3, true, {"e3", "e0", "e1", "e2", "e4"}},
      {4, true, {"e4", "e0", "e1", "e2", "e3"}},
      {1, true, {"e1", "e0", "e2", "e3", "e4"}},
      {0, true, {"e0", "e1", "e2", "e3", "e4"}},
      {5, false, {"e0", "e1", "e2", "e3", "e4"}},
      {-1, false, {"e0", "e1", "e2", "e3", "e4"}},
  };
  for (const auto& row : rows) {
    std::vector<char> view(kBlock * 6, '\0');
    for (int i = 0; i < 5; ++i) std::snprintf(&view[i * kBlock], kBlock, "e%d", i);
    std::vector<char> scratch(kBlock);
    EXPECT_EQ(MoveItemToTop(view.data(), kBlock, 5, row.index, scratch.data()), row.result) << row.index;
    EXPECT_EQ(Slots(view, kBlock, 5), row.after) << row.index;
  }
}

TEST(StackCaptionMoveToTop, FullSlotsKeepTheirTextAndWithoutScratchNothingMoves) {
  constexpr size_t kBlock = 8;
  std::vector<char> view(kBlock * 2);
  std::memcpy(&view[0], "aaaaaaa", 8);
  std::memcpy(&view[kBlock], "bbbbbbbb", 8);  // unterminated: cut to the slot
  EXPECT_FALSE(MoveItemToTop(view.data(), kBlock, 2, 1, nullptr));
  EXPECT_EQ(std::string(&view[0]), "aaaaaaa");
  std::vector<char> scratch(kBlock);
  EXPECT_TRUE(MoveItemToTop(view.data(), kBlock, 2, 1, scratch.data()));
  EXPECT_EQ(Slots(view, kBlock, 2), (std::vector<std::string>{"bbbbbbb", "aaaaaaa"}));
}

// ---- Finding a shown entry again ----

std::vector<char> Store(size_t block, const std::vector<std::string>& texts) {
  std::vector<char> view(block * (texts.size() + 1), '\0');
  for (size_t i = 0; i < texts.size(); ++i) std::memcpy(&view[i * block], texts[i].data(), texts[i].size());
  return view;
}

EntryMark Mark(const std::string& text) { return MarkEntry(text.data(), text.size()); }

TEST(StackCaptionShownEntry, FoundWhereTheStoreHasMovedIt_OrNotAtAll) {
  constexpr size_t kBlock = 16;
  const std::vector<std::string> now = {"new", "pass", "e0", "e1", "e0"};
  const std::vector<char> view = Store(kBlock, now);
  const struct { const char* shown; int hint; int count; int found; } rows[] = {
      {"e1", 1, 5, 3},     // two copies since the menu opened
      {"e0", 2, 5, 2},     // a text that is there twice: the place it was shown wins
      {"e0", 0, 5, 2},     //   ... else the newest copy
      {"e0", 0, 2, -1},    // only the first `count` slots are entries
      {"gone", 0, 5, -1},  // no longer in the history: nothing
      {"e", 2, 5, -1},     // a prefix of an entry is another text
      {"e10", 3, 5, -1},   // and so is a longer one
      {"", 0, 5, -1},
      {"new", 7, 5, 0},    // a hint past the entries is only a hint
      {"new", -3, 5, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FindMarkedEntry(view.data(), kBlock, row.count, row.hint, Mark(row.shown)), row.found)
        << row.shown << " at " << row.hint;
  }
}

TEST(StackCaptionShownEntry, EmptyEntryUnterminatedSlotAndNoMark) {
  constexpr size_t kBlock = 8;
  std::vector<char> view = Store(kBlock, {"", "abc"});
  std::memcpy(&view[kBlock], "bbbbbbbb", 8);  // unterminated: its text is the whole slot
  EXPECT_EQ(SlotTextLength(view.data(), kBlock, 1), kBlock);
  EXPECT_EQ(FindMarkedEntry(view.data(), kBlock, 2, 1, Mark("")), 0);
  EXPECT_EQ(FindMarkedEntry(view.data(), kBlock, 2, 0, Mark("bbbbbbbb")), 1);
  EXPECT_EQ(FindMarkedEntry(view.data(), kBlock, 2, 0, EntryMark()), -1) << "a mark never taken matches nothing";
  EXPECT_EQ(FindMarkedEntry(nullptr, kBlock, 2, 0, Mark("")), -1);
  EXPECT_EQ(FindMarkedEntry(view.data(), 0, 2, 0, Mark("")), -1);
  EXPECT_FALSE(SameEntry(Mark("abc"), Mark("abd")));
  EXPECT_FALSE(SameEntry(Mark("ab"), Mark("abc")));
  EXPECT_TRUE(SameEntry(Mark("abc"), Mark("abc")));
}

// Marks are taken eight bytes at a time: a change of any one bit of any byte,
// in a whole word or in the bytes after the last one, and two changes that
// would cancel in a plain word-wise sum, all give another mark.
TEST(StackEntryMark, EveryChangedByteOfALongEntryChangesItsMark) {
  std::string text(20479, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + (i * 7) % 26);
  const EntryMark original = Mark(text);
  int same = 0;
  for (size_t at : {size_t{0}, size_t{7}, size_t{8}, size_t{4095}, size_t{20471}, size_t{20472}, size_t{20478}}) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string changed = text;
      changed[at] = static_cast<char>(changed[at] ^ (1 << bit));
      if (SameEntry(Mark(changed), original)) ++same;
    }
  }
  EXPECT_EQ(same, 0);
  // The same top bit flipped in two words: a state that only multiplied would
  // keep the two differences in that bit, where they cancel.
  std::string twice = text;
  twice[7] = static_cast<char>(twice[7] ^ 0x80);
  twice[15] = static_cast<char>(twice[15] ^ 0x80);
  EXPECT_FALSE(SameEntry(Mark(twice), original));
  EXPECT_TRUE(SameEntry(Mark(std::string(text)), original));
}

// Every byte of entries of every length up to a few lanes' worth: a change in
// any of the four lanes, in the words after the last whole step of four, or
// in the bytes after the last word changes the mark.
TEST(StackEntryMark, EveryChangedByteOfShortEntriesChangesItsMark) {
  int same = 0;
  for (size_t length = 1; length <= 100; ++length) {
    std::string text(length, 'x');
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 5) % 26);
    const EntryMark original = Mark(text);
    for (size_t at = 0; at < length; ++at) {
      std::string changed = text;
      changed[at] = static_cast<char>(changed[at] ^ 0x20);
      if (SameEntry(Mark(changed), original)) ++same;
    }
    EXPECT_FALSE(SameEntry(Mark(text.substr(0, length - 1)), original)) << length;
  }
  EXPECT_EQ(same, 0);
}

// Two changed bits in two different words of an entry of equal length: no
// pair may cancel out. A step that only rotated, mixed in the word and
// multiplied let bit 63 of one step's result come out as bit 22 of the next
// alone, so one bit changed in each of two words gave the same mark, and the
// other entry could be pasted for the one shown. Words in the same lane, in
// neighbouring lanes, where the lanes are merged and in the tail are all in
// reach of 13 words.
TEST(StackEntryMark, NoTwoChangedBitsInTwoWordsCancel) {
  std::string text(13 * 8, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + (i * 11) % 26);
  const EntryMark original = Mark(text);
  int same = 0;
  for (size_t i = 0; i < 13; ++i) {
    for (size_t j = i + 1; j < 13; ++j) {
      for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
          std::string changed = text;
          changed[i * 8 + a / 8] = static_cast<char>(changed[i * 8 + a / 8] ^ (1 << (a % 8)));
          changed[j * 8 + b / 8] = static_cast<char>(changed[j * 8 + b / 8] ^ (1 << (b % 8)));
          if (SameEntry(Mark(changed), original)) ++same;
        }
      }
    }
  }
  EXPECT_EQ(same, 0);
}

// Texts whose words are the same but stand in other places: each lane must
// count for its own place, or two entries made of the same pieces in another
// order would be taken for one another and the wrong one pasted.
TEST(StackEntryMark, TheSameWordsInAnotherOrderGiveAnotherMark) {
  const std::string w[4] = {"AAAAAAAA", "BBBBBBBB", "CCCCCCCC", "DDDDDDDD"};
  const std::string base = w[0] + w[1] + w[2] + w[3] + w[0] + w[1] + w[2] + w[3];
  const EntryMark original = Mark(base);
  EXPECT_FALSE(SameEntry(Mark(w[1] + w[0] + w[2] + w[3] + w[0] + w[1] + w[2] + w[3]), original));
  EXPECT_FALSE(SameEntry(Mark(w[0] + w[1] + w[2] + w[3] + w[0] + w[1] + w[3] + w[2]), original));
  // Whole steps of four swapped.
  const std::string step2 = w[3] + w[2] + w[1] + w[0];
  const std::string step1 = w[0] + w[1] + w[2] + w[3];
  EXPECT_FALSE(SameEntry(Mark(step1 + step2), Mark(step2 + step1)));
  // Two lanes' whole runs of words exchanged: lanes that started alike and
  // were merged in any order-blind way would meet here.
  const std::string swapped = w[1] + w[0] + w[2] + w[3];
  EXPECT_FALSE(SameEntry(Mark(step1 + step1), Mark(swapped + swapped)));
  // A word moved from one lane to the next across steps.
  EXPECT_FALSE(SameEntry(Mark(step1 + step1 + "tail"), Mark(w[1] + w[2] + w[3] + w[0] + step1 + "tail")));
}

// The caption of a text whose length is known, as the stack menu makes it:
// the same as from the terminated text, and nothing read past the length
// (the buffers below end where the text does, with no terminator).
TEST(StackCaption, CaptionOfAKnownLengthMatchesAndReadsNoFurther) {
  testing::ScopedCodePage cp(932);
  const std::vector<std::string> texts = {"", "plain", "  \t\r\nspaced", "a\tb&c\r\nd", std::string(300, 'w'),
                                          "\x88\x9f\x88\x9f\x81\x40x", "ends in a lead \x88"};
  for (const bool skip : {false, true}) {
    for (const std::string& text : texts) {
      std::unique_ptr<char[]> exact(new char[text.size() + 1]);
      std::memcpy(exact.get(), text.data(), text.size());
      char known[kStackCaptionBytes];
      GetStackItemOfText(known, sizeof known, exact.get(), text.size(), 12, true, {40, skip, 0});
      EXPECT_EQ(std::string(known), Caption(text, 12, true, 40, skip)) << text;
      // The same bytes in a buffer holding nothing after them.
      if (!text.empty()) {
        std::unique_ptr<char[]> tight(new char[text.size()]);
        std::memcpy(tight.get(), text.data(), text.size());
        GetStackItemOfText(known, sizeof known, tight.get(), text.size(), 12, true, {100000, skip, 0});
        EXPECT_LT(std::strlen(known), sizeof known);
      }
    }
  }
}

// ---- key text and chooser ----

class FakeKeyNames : public KeyNameSource {
 public:
  std::map<int32_t, std::string> names;
  std::vector<int32_t> asked;
  uint32_t ScanCode(uint32_t vk) noexcept override { return vk + 0x20; }
  size_t KeyName(int32_t lParam, char* out, size_t outSize) noexcept override {
    asked.push_back(lParam);
    const auto it = names.find(lParam);
    if (it == names.end() || outSize == 0) return 0;
    std::snprintf(out, outSize, "%s", it->second.c_str());
    return std::strlen(out);
  }
};

int32_t Param(uint32_t vk, bool extended) { return static_cast<int32_t>(((vk + 0x20) << 16) | (extended ? 1u << 24 : 0u)); }

TEST(StackCaptionKeyText, ModifierWordsInOrderThenTheKeyName) {
  FakeKeyNames keys;
  keys.names = {{Param('K', false), "K"}, {Param(0x74, false), "F5"}, {Param(0x24, true), "Home"},
                {Param(0x24, false), "Num 7"}, {Param(0x1D, false), "\x96\xb3\x95\xcf\x8a\xb7"}};
  const struct { uint16_t vk, mod; size_t outSize; const char* text; } rows[] = {
      {'K', kModCtrl | kModAlt, 32, "Ctrl+Alt+K"},
      {'K', kModAlt | kModCtrl | kModShift, 32, "Shift+Ctrl+Alt+K"},
      {0x74, kModShift, 32, "Shift+F5"},
      {0x74, 0, 32, "F5"},
      {0x24, kModCtrl, 32, "Ctrl+Home"},
      {0, kModCtrl, 32, ""},
      {'Q', kModCtrl, 32, ""},  // the system has no name for it
      {'K', 7, 10, "Shift+Ctr"},
      {0x1D, kModCtrl, 9, "Ctrl+\x96\xb3"},  // 無 fits, 変 would be split
  };
  testing::ScopedCodePage cp(932);
  for (const auto& row : rows) {
    char out[64];
    EXPECT_EQ(MakeKeyText(row.vk, row.mod, keys, out, row.outSize), std::strlen(row.text)) << row.text;
    EXPECT_STREQ(out, row.text);
  }
}

TEST(StackCaptionKeyText, NavigationKeysAreAskedForWithTheExtendedFlag) {
  for (uint32_t vk = 0x1F; vk <= 0x30; ++vk) {
    FakeKeyNames keys;
    char out[32];
    MakeKeyText(static_cast<uint16_t>(vk), 0, keys, out, sizeof out);
    const bool extended = (vk >= 0x21 && vk <= 0x28) || vk == 0x2D || vk == 0x2E;
    EXPECT_EQ(keys.asked, std::vector<int32_t>{Param(vk, extended)}) << std::hex << vk;
  }
}

TEST(StackCaptionChooser, TriggerCodeTexts) {
  const struct { int32_t code; const char* text; } rows[] = {
      {-1, "(None)"}, {0, "[Shift]^2"}, {1, "[Ctrl]^2"}, {2, "[Alt]+[Shift]^2"}, {3, "[Alt]+[Ctrl]^2"},
      {4, "[\x96\xb3\x95\xcf\x8a\xb7]"},            // [無変換]
      {5, "[\x95\xcf\x8a\xb7]"},                    // [変換]
      {6, "[\x82\xd0\x82\xe7\x82\xaa\x82\xc8]"},    // [ひらがな]
      {7, "[\x89\x45" "Ctrl]"},                     // [右Ctrl]
  };
  for (const auto& row : rows) {
    ASSERT_NE(TriggerCodeText(row.code), nullptr) << row.code;
    EXPECT_STREQ(TriggerCodeText(row.code), row.text) << row.code;
  }
  for (int32_t code : {-2, -3, 8, 100}) EXPECT_EQ(TriggerCodeText(code), nullptr) << code;
}

TEST(StackCaptionChooser, CaptionIsNumberFileNameAndTrigger) {
  FakeKeyNames keys;
  keys.names = {{Param(0x74, false), "F5"}};
  const std::string a79(79, 'a');
  const struct {
    int codePage;
    int index;
    MenuFileSet entry;
    bool ok;
    std::string caption;
  } rows[] = {
      {1252, 0, {"C:\\Quillo\\MenuItem.txt", 1, 0, 0}, true, "&1: MenuItem.txt\t[Ctrl]^2"},
      {1252, 9, {"D:\\x.txt", -1, 0, 0}, true, "1&0: x.txt\t(None)"},
      {1252, 1, {"C:\\A&B.txt", 7, 0, 0}, true, "&2: A B.txt\t[\x89\x45" "Ctrl]"},
      {1252, 2, {"C:\\m.txt", -2, 0x74, kModCtrl}, true, "&3: m.txt\tCtrl+F5"},
      {1252, 2, {"C:\\m.txt", -2, 0, kModCtrl}, true, "&3: m.txt"},  // empty key text: no tab
      {1252, 2, {"C:\\m.txt", 12, 0, 0}, true, "&3: m.txt"},
      {1252, 0, {"C:\\dir\\", 0, 0, 0}, true, "&1: \t[Shift]^2"},
      {1252, 0, {"MenuItem.txt", 0, 0, 0}, false, ""},
      {1252, 0, {"", 0, 0, 0}, false, ""},
      {1252, 10, {"C:\\m.txt", 0, 0, 0}, false, ""},
      {1252, 0, {"C:\\\x95\x5cx.txt", 0, 0, 0}, true, "&1: x.txt\t[Shift]^2"},
      {932, 0, {"C:\\\x95\x5cx.txt", 0, 0, 0}, true, "&1: \x95\x5cx.txt\t[Shift]^2"},  // 表 is no folder
  };
  for (const auto& row : rows) {
    testing::ScopedCodePage cp(row.codePage);
    char out[kChooserCaptionBytes];
    EXPECT_EQ(MakeChooserCaption(row.index, row.entry, keys, out, sizeof out), row.ok) << row.entry.path;
    EXPECT_EQ(std::string(out), row.caption) << row.entry.path;
  }
}

TEST(StackCaptionChooser, FileNameCutAt80CellsAndPathReadOnlyWithinItsField) {
  testing::ScopedCodePage cp(932);
  FakeKeyNames keys;
  char out[kChooserCaptionBytes];
  MenuFileSet entry = {};
  entry.trigger = -3;
  std::snprintf(entry.path, sizeof entry.path, "C:\\%s\x88\x9fzz", std::string(79, 'a').c_str());
  ASSERT_TRUE(MakeChooserCaption(0, entry, keys, out, sizeof out));
  EXPECT_EQ(std::string(out), "&1: " + std::string(79, 'a') + "\x88\x9f");

  std::memset(entry.path, 'b', sizeof entry.path);  // caught half written: no terminator
  entry.path[3] = '\\';
  ASSERT_TRUE(MakeChooserCaption(0, entry, keys, out, sizeof out));
  EXPECT_EQ(std::string(out), "&1: " + std::string(80, 'b'));
}

}  // namespace
}  // namespace quillo::hook
