// The menu-file line reader and grammar, in code pages 1252 and 932.
#include "menu_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::hook {
namespace {

using quillo::testing::ScopedCodePage;

std::string Join(std::initializer_list<std::string> lines, const char* eol = "\r\n") {
  std::string s;
  for (const auto& l : lines) s += l + eol;
  return s;
}

std::vector<std::string> ReadAll(const std::string& bytes, size_t chunk = 0,
                                 LineStatus* last = nullptr) {
  MemorySource src(bytes.data(), bytes.size(), chunk);
  LineReader reader(src, bytes.size());
  std::vector<std::string> lines;
  LineStatus st;
  while ((st = reader.Next()) == LineStatus::kLine) lines.emplace_back(reader.Line(), reader.Length());
  if (last) *last = st;
  return lines;
}

// One entry per string: "1000:Label" for a command, "-" / "-3001" for a
// separator without / with an id, "P2:Label" for a pop-up holding menus[2];
// a leading "|" marks a bar break, a leading "!" a menu break.
std::vector<std::string> Describe(const MenuModel& m, size_t level) {
  std::vector<std::string> out;
  if (level >= m.menus.size()) return {"<no level>"};
  for (const MenuEntry& e : m.menus[level].entries) {
    std::string s = e.barBreak ? "|" : "";
    if (e.menuBreak) s += "!";
    switch (e.kind) {
      case EntryKind::kString: s += std::to_string(e.id) + ":" + e.label; break;
      case EntryKind::kSeparator: s += e.id ? "-" + std::to_string(e.id) : "-"; break;
      case EntryKind::kPopup: s += "P" + std::to_string(e.popup) + ":" + e.label; break;
    }
    out.push_back(s);
  }
  return out;
}

struct Parsed {
  MenuFileResult result;
  MenuModel model;
};

Parsed Parse(const std::string& text, size_t chunk = 0) {
  Parsed p;
  MemorySource src(text.data(), text.size(), chunk);
  p.result = ParseMenuFile(src, text.size(), p.model);
  return p;
}

std::vector<uint16_t> Messages(const MenuFileResult& r) {
  std::vector<uint16_t> ids;
  for (const auto& m : r.messages) ids.push_back(m.message);
  return ids;
}

// ---------------------------------------------------------------- line reader

TEST(MenuLineReader, SplitsAtLfAndDropsOnlyTheCrBeforeIt) {
  struct Row {
    std::string in;
    std::vector<std::string> lines;
  } rows[] = {
      {"", {}},
      {"\n", {""}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},                 // last line needs no LF
      {"a\r\rb\r\n", {"a\r\rb"}},           // a CR elsewhere stays
      {"a\r", {"a\r"}},                     // no LF: the CR stays
      {"a\r\n\r\n", {"a", ""}},
      {"a\nb\x1a", {"a", "b"}},             // final Ctrl-Z of an unterminated file
      {"a\n\x1a", {"a"}},                   // ...and a line that is then empty ends the file
      {"a\x1a\n", {"a\x1a"}},               // before an LF it is text
      {"\x1a" "b\n", {"\x1a" "b"}},
      {"a\nb\x1a\x1a", {"a", "b\x1a"}},     // only the very last byte
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& r : rows) EXPECT_EQ(ReadAll(r.in), r.lines) << ::testing::PrintToString(r.in);
}

TEST(MenuLineReader, LineLimitIs258BytesCountedWithTheCr) {
  struct Row {
    size_t chars;
    const char* eol;
    bool read;
  } rows[] = {
      {257, "\r\n", true},  {258, "\r\n", false}, {258, "\n", true},
      {259, "\n", false},   {0, "\n", true},      {300, "\n", false},
      // The last line of a file without LF: the check comes before a byte is
      // examined, and nothing follows the last byte.
      {259, "", true},      {260, "", false},     {258, "\x1a", true},
  };
  for (const auto& r : rows) {
    for (size_t chunk : {size_t{0}, size_t{1}, size_t{100}}) {
      const bool lastLine = r.eol[0] != '\n' && r.eol[0] != '\r';
      const std::string text = "x\n" + std::string(r.chars, 'a') + r.eol + (lastLine ? "" : "tail\n");
      LineStatus last;
      const auto lines = ReadAll(text, chunk, &last);
      SCOPED_TRACE(::testing::Message() << r.chars << " chars, chunk " << chunk);
      ASSERT_GE(lines.size(), 1u);
      if (r.read) {
        ASSERT_EQ(lines.size(), lastLine ? 2u : 3u);
        EXPECT_EQ(lines[1], std::string(r.chars, 'a'));
        EXPECT_EQ(last, LineStatus::kEnd);
      } else {
        EXPECT_EQ(lines.size(), 1u);  // reading stops at the long line
        EXPECT_EQ(last, LineStatus::kTooLong);
      }
    }
  }
}

TEST(MenuLineReader, AfterALongLineEveryCallIsEndOfFile) {
  const std::string text = std::string(400, 'a') + "\nnext\n";
  MemorySource src(text.data(), text.size());
  LineReader reader(src, text.size());
  EXPECT_EQ(reader.Next(), LineStatus::kTooLong);
  EXPECT_EQ(reader.Next(), LineStatus::kEnd);
  EXPECT_EQ(reader.Next(), LineStatus::kEnd);
}

// Lines of every length up to the limit, placed across several window refills,
// must come out the same however the file hands out its bytes.
TEST(MenuLineReader, LinesCrossingTheWindowEdgeComeOutWhole) {
  std::vector<std::string> expected;
  std::string text;
  for (size_t i = 0; text.size() < 5 * LineReader::kWindowSize; ++i) {
    std::string line;
    for (size_t k = 0; k < (i * 37) % 258; ++k) line += static_cast<char>('A' + (i + k) % 26);
    expected.push_back(line);
    text += line + ((i % 3) ? "\r\n" : "\n");
  }
  for (size_t chunk : {size_t{0}, size_t{1}, size_t{7}, size_t{4095}, size_t{4097}})
    EXPECT_EQ(ReadAll(text, chunk), expected) << "chunk " << chunk;
}

class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(std::string bytes, size_t give = SIZE_MAX) : bytes_(std::move(bytes)), give_(give) {}
  size_t Read(char* dst, size_t max) noexcept override {
    requests.push_back(max);
    if (max > bytes_.size() - pos_) ++asksBeyondEnd;
    size_t n = std::min({max, bytes_.size() - pos_, give_});
    std::copy_n(bytes_.data() + pos_, n, dst);
    pos_ += n;
    return n;
  }
  std::vector<size_t> requests;
  int asksBeyondEnd = 0;

 private:
  std::string bytes_;
  size_t pos_ = 0;
  size_t give_;
};

TEST(MenuLineReader, ReadsThroughA4096ByteWindowNeverBeyondTheFileSize) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + "\r\n";
  CountingSource src(text);
  LineReader reader(src, text.size());
  int n = 0;
  while (reader.Next() == LineStatus::kLine) ++n;
  EXPECT_EQ(n, 2000);
  ASSERT_FALSE(src.requests.empty());
  EXPECT_EQ(src.requests.front(), LineReader::kWindowSize);
  for (size_t r : src.requests) EXPECT_LE(r, LineReader::kWindowSize);
  EXPECT_GT(src.requests.size(), text.size() / LineReader::kWindowSize);
  // Each refill asks only for what is left of the file.
  EXPECT_EQ(src.asksBeyondEnd, 0);
  EXPECT_EQ(reader.LinesDelivered(), 2000u);
}

TEST(MenuLineReader, AFileShorterThanItsSizeEndsWhereItsBytesEnd) {
  CountingSource src("a\nbc");
  LineReader reader(src, 1'000'000);  // the file shrank after its size was taken
  ASSERT_EQ(reader.Next(), LineStatus::kLine);
  EXPECT_STREQ(reader.Line(), "a");
  ASSERT_EQ(reader.Next(), LineStatus::kLine);
  EXPECT_STREQ(reader.Line(), "bc");
  EXPECT_EQ(reader.Next(), LineStatus::kEnd);
  EXPECT_LT(src.requests.size(), 5u);
}

// Lines are handed out where they lie in the window, terminated in place: a
// last line without LF that ends exactly where a full window ends has its
// terminator in the window's spare byte (the sanitizers see any byte beyond),
// and the next line's read never sees the terminator of the one before.
TEST(MenuLineReader, LinesEndingAtTheWindowsEndComeOutWholeAndTheirEndsIntact) {
  for (const char* tail : {"", "\x1a"}) {
    std::string text;
    while (text.size() + 101 < LineReader::kWindowSize) text += std::string(100, 'a' + text.size() % 26) + "\n";
    std::string last(LineReader::kWindowSize - text.size() - std::strlen(tail), 'z');
    last[0] = 'Y';
    text += last + tail;
    ASSERT_EQ(text.size(), LineReader::kWindowSize);
    LineStatus end;
    const auto lines = ReadAll(text, 0, &end);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), last) << "tail " << std::strlen(tail);
    EXPECT_EQ(end, LineStatus::kEnd);
    for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 100u) << i;
  }
  // Across refills, with a CR before each LF: each line reads whole although
  // its predecessor's CR became a terminator in the same window.
  std::string text;
  std::vector<std::string> want;
  for (int i = 0; text.size() < 3 * LineReader::kWindowSize; ++i) {
    want.push_back(std::string(static_cast<size_t>(37 + i % 200), static_cast<char>('a' + i % 26)));
    text += want.back() + "\r\n";
  }
  EXPECT_EQ(ReadAll(text, 1000), want);
}

// ------------------------------------------------------------- menu levels

TEST(MenuFileLevel, CommentsBlanksAndBlocksAreSkipped) {
  struct Row {
    std::string text;
    std::vector<std::string> root;
  } rows[] = {
      {Join({"; note", "= rule", "", "   ", "\t; indented", ">>>>", "junk without bar", "<<<<"}), {}},
      {Join({">>>> open", "A|a", ">>>>", "<<<< close", "B|b"}), {"1000:B"}},  // blocks do not nest
      {Join({"  >>>>", "x", "   <<<<", "B|b"}), {"1000:B"}},                  // markers after trimming
      {Join({"A|a", "..", "bad line", "+Never"}), {"1000:A"}},                 // ".." ends the file
      {Join({"A|a", "...rest"}), {"1000:A"}},
      {Join({"-", " - ", "A|a"}), {"-", "-", "1000:A"}},
      {Join({"\v\fA|a\v"}), {"1000:A"}},                                       // VT and FF are white space
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text);
    EXPECT_TRUE(p.result.ok) << r.text;
    EXPECT_TRUE(p.result.messages.empty()) << r.text;
    EXPECT_EQ(Describe(p.model, 0), r.root) << r.text;
    EXPECT_EQ(p.model.menus.size(), 1u) << r.text;
  }
}

TEST(MenuFileLevel, LinesThatAreNoItemAreRefusedWithTheLine) {
  struct Row {
    std::string text;
    std::string line;
    uint32_t lineNumber;
  } rows[] = {
      {Join({"A|a", "<<<<"}), "<<<<", 2},  // a closing marker outside a block
      {Join({"  plain text  "}), "plain text", 1},
      {Join({"---"}), "---", 1},
      {Join({"+S", "x", ".."}), "x", 2},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text);
    EXPECT_FALSE(p.result.ok);
    ASSERT_EQ(p.result.messages.size(), 1u) << r.text;
    EXPECT_EQ(p.result.messages[0].message, kMsgBadLine);
    EXPECT_EQ(p.result.messages[0].line, r.line);
    EXPECT_EQ(p.result.messages[0].lineNumber, r.lineNumber);
    EXPECT_TRUE(p.model.Empty()) << "nothing of a failed file is kept";
  }
}

TEST(MenuFileItem, SingleLineTitlesBodiesAndDynamicTitles) {
  struct Row {
    const char* line;
    const char* label;
    const char* body;
    bool dynamic;
  } rows[] = {
      {"Tab|x", "Tab", "x\r\n", false},
      {"File|'C:\\notes.txt", "File", "'C:\\notes.txt", false},  // a file reference: no CR LF
      {"  T  |  b c  ", "T", "b c\r\n", false},
      {"|x", "", "x\r\n", false},
      {"a|b|c", "a", "b|c\r\n", false},
      {"Today>->|x", "Today>->", "x\r\n", true},
      {"Today >-> |[H1]", "Today >->", "[H1]\r\n", true},
      {"Arrow>->!|x", "Arrow>->", "x\r\n", false},
      {"A>->B|x", "A>->B", "x\r\n", false},
      {">->>->|x", ">->>->", "x\r\n", true},
      {"A>->!!|x", "A>->!!", "x\r\n", false},
      {"A>->x>->|x", "A>->x>->", "x\r\n", true},  // the last arrow counts
      {"A>->!>->x|x", "A>->!>->x", "x\r\n", false},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(Join({r.line}));
    ASSERT_TRUE(p.result.ok) << r.line;
    EXPECT_EQ(Describe(p.model, 0), std::vector<std::string>{std::string("1000:") + r.label}) << r.line;
    EXPECT_STREQ(p.model.ItemBody(1000), r.body) << r.line;
    const std::vector<uint32_t> codes =
        r.dynamic ? std::vector<uint32_t>{0xFFFF03E8u} : std::vector<uint32_t>{};
    EXPECT_EQ(p.model.dynamicTitles, codes) << r.line;
  }
}

TEST(MenuFileItem, DoubleByteTitlesIn932) {
  ScopedCodePage cp(932);
  struct Row {
    std::string line;
    const char* label;  // null: the line has no real "|"
    const char* body;
  } rows[] = {
      {"\x83\x7c|x", "\x83\x7c", "x\r\n"},                          // ポ: trail byte 0x7C is no bar
      {"\x83\x7c" "x", nullptr, nullptr},
      {"\x95\x5c|\x95\x5c", "\x95\x5c", "\x95\x5c\r\n"},            // 表|表: trail 0x5C
      {"\x81\x40T\x81\x40|\x81\x40" "b\x81\x40", "T", "b\r\n"},     // ideographic spaces trimmed
      {"T|b\x83", "T", "b\x83\r\n"},                                // lead byte dangling at the end
      {"T\x83|b", nullptr, nullptr},                                // the lead byte takes the bar
      {"\x82\xa0>->|x", "\x82\xa0>->", "x\r\n"},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(Join({r.line}));
    if (r.label == nullptr) {
      EXPECT_EQ(Messages(p.result), std::vector<uint16_t>{kMsgBadLine}) << r.line;
      continue;
    }
    ASSERT_TRUE(p.result.ok) << r.line;
    EXPECT_EQ(Describe(p.model, 0), std::vector<std::string>{std::string("1000:") + r.label});
    EXPECT_STREQ(p.model.ItemBody(1000), r.body);
  }
}

TEST(MenuFileItem, IdeographicSpaceIsNoSpaceIn1252) {
  ScopedCodePage cp(1252);
  const Parsed p = Parse(Join({"\x81\x40T|b"}));
  ASSERT_TRUE(p.result.ok);
  EXPECT_EQ(Describe(p.model, 0), std::vector<std::string>{"1000:\x81\x40T"});
  // In 1252 0x7C after 0x83 is a bar of its own.
  const Parsed q = Parse(Join({"\x83|x"}));
  EXPECT_EQ(Describe(q.model, 0), std::vector<std::string>{"1000:\x83"});
}

TEST(MenuFileItem, MultiLineBodies) {
  struct Row {
    std::string text;
    const char* body;  // null: no body
  } rows[] = {
      {Join({"Title|", "abc", "", "  ; note", "/E rest"}), "abc\r\n\r\n"},
      {Join({"T|  ", "  keep  ", "a;b", "/E"}), "  keep  \r\na;b\r\n"},
      {Join({"T|", "x", "  >>>>", "/E", "gone", "\t<<<< end", "y", "  /E"}), "x\r\ny\r\n"},
      {Join({"T|", "/E"}), nullptr},
      {Join({"T|", "/Ex"}), nullptr},
      {Join({"T|", "x/E", "/E"}), "x/E\r\n"},
      {Join({"T|", "..", "+S", "<<<<", "/E"}), "..\r\n+S\r\n<<<<\r\n"},
      {Join({"T|", "x\r", "/E"}), "x\r\r\n"},
      {Join({"Now>->|", "x", "/E"}), "x\r\n"},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text + Join({"After|z"}));
    ASSERT_TRUE(p.result.ok) << r.text;
    EXPECT_STREQ(p.model.ItemBody(1000), r.body) << r.text;
    EXPECT_STREQ(p.model.ItemBody(1001), "z\r\n") << "the line after /E is read as usual";
    EXPECT_TRUE(p.model.dynamicTitles.empty()) << "multi-line items have no dynamic title";
  }
  const Parsed p = Parse(Join({"Arrow>->!|", "x", "/E"}));
  EXPECT_EQ(Describe(p.model, 0), std::vector<std::string>{"1000:Arrow>->!"});
}

TEST(MenuFileItem, MultiLineBodyKeepsDoubleByteLinesWhole) {
  ScopedCodePage cp(932);
  const Parsed p = Parse(Join({"T|", "\x81\x40\x95\x5c", "\x81\x40; c", "\x81\x40/E"}));
  ASSERT_TRUE(p.result.ok);
  EXPECT_STREQ(p.model.ItemBody(1000), "\x81\x40\x95\x5c\r\n");
}

// ------------------------------------------------------------ constructs

TEST(MenuFileConstruct, SubMenusNestAndNumberItemsDepthFirst) {
  const Parsed p = Parse(Join({"A|a", "+Sub", "B|b", "+ Deep", "C|c", "..", "D|d", "..", "E|e"}));
  ASSERT_TRUE(p.result.ok);
  EXPECT_EQ(Describe(p.model, 0), (std::vector<std::string>{"1000:A", "P1:Sub", "1004:E"}));
  EXPECT_EQ(Describe(p.model, 1), (std::vector<std::string>{"1001:B", "P2: Deep", "1003:D"}));
  EXPECT_EQ(Describe(p.model, 2), (std::vector<std::string>{"1002:C"}));
  EXPECT_EQ(p.model.nextItemId, 1005u);
}

TEST(MenuFileConstruct, ListMenusHoldItemsOnly) {
  const Parsed p = Parse(Join({"#List", "A|a", "-", "--", "B>->|[H1]", "M|", "m", "/E", "..",
                               "#Empty", "..", "C|c"}));
  ASSERT_TRUE(p.result.ok);
  EXPECT_EQ(Describe(p.model, 0), (std::vector<std::string>{"5000:List", "5001:Empty", "1003:C"}));
  ASSERT_NE(p.model.List(5000), nullptr);
  EXPECT_EQ(p.model.List(5000)->entries,
            (std::vector<ListEntry>{{"A", 1000}, {"B>->", 1001}, {"M", 1002}}));
  ASSERT_NE(p.model.List(5001), nullptr);
  EXPECT_TRUE(p.model.List(5001)->entries.empty());
  EXPECT_EQ(p.model.List(5002), nullptr);
  EXPECT_EQ(p.model.dynamicTitles, std::vector<uint32_t>{(0u << 16) | 1001u});
  EXPECT_STREQ(p.model.ItemBody(1002), "m\r\n");
  EXPECT_EQ(p.model.nextListId, 5002u);
}

TEST(MenuFileConstruct, DynamicTitleOfASecondListNamesThatList) {
  MenuModel m;
  const std::string text = Join({"#L0", "A|a", "..", "+S", "#L1", "Now>->|[H1]", "..", ".."});
  ASSERT_TRUE(ParseMenuFile(text.data(), text.size(), m).ok);
  ASSERT_EQ(m.dynamicTitles.size(), 1u);
  EXPECT_EQ(DynamicTitleOwner(m.dynamicTitles[0]), 1u);
  EXPECT_EQ(DynamicTitleItem(m.dynamicTitles[0]), 1001u);
  std::string* label = m.DynamicLabel(m.dynamicTitles[0]);
  ASSERT_NE(label, nullptr);
  *label = "12:00";
  EXPECT_EQ(m.List(5001)->entries[0].label, "12:00");
}

TEST(MenuFileConstruct, HeadersInsideAListMenuAreRefused) {
  for (const char* header : {"+Sub", "*Simple", "#List", "  +Sub  "}) {
    const Parsed p = Parse(Join({"#L", "A|a", header, "..", ".."}));
    EXPECT_FALSE(p.result.ok);
    ASSERT_EQ(p.result.messages.size(), 1u) << header;
    EXPECT_EQ(p.result.messages[0].message, kMsgSubMenuInList);
    std::string trimmed = header;
    trimmed = trimmed.substr(trimmed.find_first_not_of(' '));
    trimmed = trimmed.substr(0, trimmed.find_last_not_of(' ') + 1);
    EXPECT_EQ(p.result.messages[0].line, trimmed);
    EXPECT_EQ(p.result.messages[0].lineNumber, 3u);
    EXPECT_TRUE(p.model.Empty());
  }
}

TEST(MenuFileConstruct, ColumnBreakGoesToTheNextEntryOfItsLevelOnly) {
  struct Row {
    std::string text;
    std::vector<std::string> root;
  } rows[] = {
      {Join({"A|a", "--", "#L", "B|b", "..", "C|c"}), {"1000:A", "|5000:L", "1002:C"}},
      {Join({"--", "-", "X|x"}), {"-", "|1000:X"}},
      {Join({"--", "+S", "X|x", "..", "Y|y"}), {"|P1:S", "1001:Y"}},
      {Join({"--", "*S", "..", "Y|y"}), {"|P1:S", "1000:Y"}},
      {Join({"+S", "--", "..", "Y|y"}), {"P1:S", "1000:Y"}},  // a break left at ".." is dropped
      {Join({"#L", "--", "..", "Y|y"}), {"5000:L", "1000:Y"}},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text);
    ASSERT_TRUE(p.result.ok) << r.text;
    EXPECT_EQ(Describe(p.model, 0), r.root) << r.text;
  }
  const Parsed p = Parse(Join({"+S", "--", "X|x", ".."}));
  EXPECT_EQ(Describe(p.model, 1), std::vector<std::string>{"|1000:X"});
}

TEST(MenuFileConstruct, SimpleMenusLayOutRowsAsColumns) {
  struct Row {
    std::string rows;
    std::vector<std::string> cells;
  } rows[] = {
      {Join({"a|b|c", "-", "d"}),
       {"3000:a", "-3001", "3002:d", "!3003:b", "-3004", "3005:", "!3006:c", "-3007", "3008:"}},
      {Join({"-", "a|b"}), {"-3000", "3001:a", "-3002", "3003:b"}},  // a separator starts no column
      {Join({"a||b"}), {"3000:a", "!3001:", "!3002:b"}},
      {Join({"a|"}), {"3000:a"}},                                     // nothing after the last bar
      {Join({" a | b ", "; c|d", ">>>>", "x|y", "<<<<", "", "-x|e"}),
       {"3000:a", "-3001", "!3002:b", "3003:e"}},
      {Join({"+x|#y", "--", "=q"}), {"3000:+x", "-3001", "!3002:#y", "3003:"}},
      {Join({"|a"}), {"3000:", "!3001:a"}},
      {"", {}},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse("*Cells\r\n" + r.rows + "..\r\nZ|z\r\n");
    ASSERT_TRUE(p.result.ok) << r.rows;
    EXPECT_EQ(Describe(p.model, 0), (std::vector<std::string>{"P1:Cells", "1000:Z"})) << r.rows;
    EXPECT_EQ(Describe(p.model, 1), r.cells) << r.rows;
  }
}

// Cells and row heads are trimmed in strings of their own size: plain bytes
// passed eight at a time must stop at the string's end whatever its length
// (the sanitizer sees a read past it).
TEST(MenuFileConstruct, SimpleMenuCellsOfEveryLengthKeepTheirText) {
  for (size_t n = 1; n <= 80; ++n) {
    std::string cell;
    for (size_t i = 0; i < n; ++i) cell.push_back(static_cast<char>('a' + i % 26));
    const Parsed p = Parse("*Cells\r\n" + cell + "|" + cell + " \r\n..\r\n");
    ASSERT_TRUE(p.result.ok) << n;
    EXPECT_EQ(Describe(p.model, 1), (std::vector<std::string>{"3000:" + cell, "!3001:" + cell})) << n;
  }
}

TEST(MenuFileConstruct, SimpleMenuCellsIn932) {
  ScopedCodePage cp(932);
  const Parsed p = Parse(Join({"*S", "\x83\x7c|\x95\x5c", "\x81\x40-\x81\x40", ".."}));
  ASSERT_TRUE(p.result.ok);
  EXPECT_EQ(Describe(p.model, 1),
            (std::vector<std::string>{"3000:\x83\x7c", "-3001", "!3002:\x95\x5c", "-3003"}));
  EXPECT_EQ(p.model.FindEntry(3002)->label, "\x95\x5c");
  EXPECT_EQ(p.model.FindEntry(3001), nullptr) << "separators are not chosen";
}

TEST(MenuFileConstruct, SimpleMenuUsesTheFirst30Rows) {
  std::string text = "*S\r\n";
  for (int i = 0; i < 31; ++i) text += "r" + std::to_string(i) + "\r\n";
  const Parsed p = Parse(text + "..\r\n");
  ASSERT_TRUE(p.result.ok);
  const auto cells = Describe(p.model, 1);
  ASSERT_EQ(cells.size(), 30u);
  EXPECT_EQ(cells.back(), "3029:r29");
  EXPECT_EQ(p.model.nextCellId, 3030u);
}

TEST(MenuFileConstruct, UnterminatedLevelsNameTheirHeader) {
  struct Row {
    std::string text;
    uint16_t message;
    std::string line;
    uint32_t lineNumber;
  } rows[] = {
      {Join({"+Sub", "A|a"}), kMsgNoSubMenuEnd, "+Sub", 1},
      {Join({"A|a", "  #List  ", "A|a"}), kMsgNoSubMenuEnd, "#List", 2},
      {Join({"+Outer", "+Inner", ".."}), kMsgNoSubMenuEnd, "+Outer", 1},
      {Join({"*Simple", "a|b"}), kMsgNoSimpleEnd, "*Simple", 1},
      {Join({"+S", "*In", "a", "..", ">>>>", ".."}), kMsgNoSubMenuEnd, "+S", 1},  // ".." in a block
      {Join({"T|", "abc"}), kMsgNoItemEnd, "T", 1},
      {Join({"  T  |", "abc"}), kMsgNoItemEnd, "T  ", 1},  // the title line is cut at the bar
      {Join({"T|", ">>>>", "/E"}), kMsgNoItemEnd, "T", 1},
      {"+Sub\r\nA|a", kMsgNoSubMenuEnd, "+Sub", 1},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text);
    EXPECT_FALSE(p.result.ok) << r.text;
    ASSERT_EQ(p.result.messages.size(), 1u) << r.text;
    EXPECT_EQ(p.result.messages[0].message, r.message) << r.text;
    EXPECT_EQ(p.result.messages[0].line, r.line) << r.text;
    EXPECT_EQ(p.result.messages[0].lineNumber, r.lineNumber) << r.text;
    EXPECT_TRUE(p.model.Empty());
  }
}

TEST(MenuFileConstruct, TooLongLineEndsTheReadingLikeEndOfFile) {
  const std::string longLine(259, 'x');
  struct Row {
    std::string text;
    bool ok;
    std::vector<uint16_t> messages;
    uint32_t longLineNumber;
  } rows[] = {
      {Join({"A|a", longLine, "B|b"}), true, {kMsgLineTooLong}, 2},
      {Join({"+S", "A|a", longLine, "..", "B|b"}), false, {kMsgLineTooLong, kMsgNoSubMenuEnd}, 3},
      {Join({"*S", longLine, ".."}), false, {kMsgLineTooLong, kMsgNoSimpleEnd}, 2},
      {Join({"T|", longLine, "/E"}), false, {kMsgLineTooLong, kMsgNoItemEnd}, 2},
  };
  for (const auto& r : rows) {
    const Parsed p = Parse(r.text);
    EXPECT_EQ(p.result.ok, r.ok);
    EXPECT_EQ(Messages(p.result), r.messages);
    EXPECT_FALSE(p.result.messages[0].line.has_value());
    EXPECT_EQ(p.result.messages[0].lineNumber, r.longLineNumber);
    EXPECT_EQ(p.model.Empty(), !r.ok);
  }
  const Parsed p = Parse(rows[0].text);
  EXPECT_EQ(Describe(p.model, 0), std::vector<std::string>{"1000:A"}) << "the menu stops at the long line";
}

// ---------------------------------------------------------------- limits

std::string Items(int n, const char* prefix = "I") {
  std::string s;
  for (int i = 0; i < n; ++i) s += prefix + std::to_string(i) + "|b\r\n";
  return s;
}

TEST(MenuFileLimit, The1024thItemIsRefusedAndNoMenuIsLeft) {
  const Parsed full = Parse(Items(1023));
  ASSERT_TRUE(full.result.ok);
  EXPECT_STREQ(full.model.ItemBody(2022), "b\r\n");
  EXPECT_EQ(full.model.nextItemId, 2023u);

  struct Row {
    std::string tail;
  } rows[] = {{"X|x\r\n"}, {"no bar\r\n"}, {"X|\r\n/E\r\n"}, {"#L\r\nX|x\r\n..\r\n"}};
  for (const auto& r : rows) {
    const Parsed p = Parse(Items(1023) + r.tail);
    EXPECT_FALSE(p.result.ok) << r.tail;
    ASSERT_EQ(p.result.messages.size(), 1u);
    EXPECT_EQ(p.result.messages[0].message, kMsgTooManyItems);
    EXPECT_FALSE(p.result.messages[0].line.has_value());
    EXPECT_TRUE(p.model.Empty());
    EXPECT_EQ(p.model.ItemBody(1000), nullptr);
  }
}

TEST(MenuFileLimit, CellIdsStopBeforeTheListRange) {
  std::string row;
  for (int i = 0; i < 100; ++i) row += i ? "|c" : "c";
  std::string text;
  for (int i = 0; i < 20; ++i) text += "*S\r\n" + row + "\r\n..\r\n";  // 2000 cells: 3000-4999
  const Parsed full = Parse(text);
  ASSERT_TRUE(full.result.ok);
  EXPECT_EQ(full.model.nextCellId, 5000u);
  ASSERT_NE(full.model.FindEntry(4999), nullptr);

  const Parsed over = Parse(text + "*S\r\nlast\r\n..\r\n");
  EXPECT_FALSE(over.result.ok);
  EXPECT_EQ(Messages(over.result), std::vector<uint16_t>{kMsgTooManyItems});
}

TEST(MenuFileLimit, ListIdsStopBeforeTheStackMenuRange) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "#L\r\n..\r\n";
  const Parsed full = Parse(text);
  ASSERT_TRUE(full.result.ok);
  EXPECT_EQ(full.model.nextListId, 7000u);
  EXPECT_EQ(Messages(Parse(text + "#L\r\n..\r\n").result), std::vector<uint16_t>{kMsgTooManyItems});
}

TEST(MenuFileLimit, PopUpsAndEntriesAreBounded) {
  std::string nested, flat;
  for (size_t i = 0; i < kMaxPopups; ++i) nested += "+S\r\n";
  for (size_t i = 0; i < kMaxPopups; ++i) nested += "..\r\n";
  for (size_t i = 0; i < kMaxPopups; ++i) flat += "*S\r\n..\r\n";
  EXPECT_TRUE(Parse(nested).result.ok);
  EXPECT_TRUE(Parse(flat).result.ok);
  EXPECT_EQ(Messages(Parse("+S\r\n" + nested + "..\r\n").result), std::vector<uint16_t>{kMsgTooManyItems});
  EXPECT_EQ(Messages(Parse(flat + "*S\r\n..\r\n").result), std::vector<uint16_t>{kMsgTooManyItems});

  std::string seps;
  for (size_t i = 0; i < kMaxEntries; ++i) seps += "-\n";
  EXPECT_TRUE(Parse(seps).result.ok);
  EXPECT_EQ(Messages(Parse(seps + "-\n").result), std::vector<uint16_t>{kMsgTooManyItems});
}

// ------------------------------------------------------- model and helpers

TEST(MenuFileModel, LookupsOutsideTheTablesGiveNull) {
  const Parsed p = Parse(Join({"A|a", "#L", ".."}));
  ASSERT_TRUE(p.result.ok);
  for (uint32_t id : {0u, 999u, 1001u, 2022u, 3000u, 5000u, 0xFFFFFFFFu})
    EXPECT_EQ(p.model.ItemBody(id), nullptr) << id;
  EXPECT_EQ(p.model.List(4999), nullptr);
  EXPECT_EQ(p.model.FindEntry(0), nullptr);
  EXPECT_EQ(p.model.FindEntry(5000)->label, "L");
  MenuModel m = p.model;
  EXPECT_EQ(m.DynamicLabel(DynamicTitleCode(7, 1000)), nullptr);
  EXPECT_EQ(m.DynamicLabel(DynamicTitleCode(0, 1000)), nullptr);  // list 0 is empty
  ASSERT_NE(m.DynamicLabel(DynamicTitleCode(kPopupOwner, 1000)), nullptr);
}

TEST(MenuFileModel, ChunkedReadsBuildTheSameMenu) {
  ScopedCodePage cp(932);
  std::string text = Join({"A|a", "+\x83\x7c", "*S", "a|\x95\x5c|c", "-", "..", "#L", "T>->|x", "M|",
                           "  line", "/E", "..", "..", "--", "Z|'f"});
  for (int i = 0; i < 200; ++i) text += "F" + std::to_string(i) + "|" + std::string(i % 200 + 1, 'y') + "\n";
  const Parsed whole = Parse(text);
  ASSERT_TRUE(whole.result.ok);
  for (size_t chunk : {size_t{1}, size_t{3}, size_t{4095}}) EXPECT_EQ(Parse(text, chunk).model, whole.model);
}

TEST(MenuFileModel, DynamicTitleDropsOnlyAFinalFirstLineBreak) {
  struct Row {
    const char* in;
    size_t len;
  } rows[] = {{"12:00\r\n", 5}, {"a\r\nb\r\n", 6}, {"a\r\nb", 4}, {"a", 1}, {"\r\n", 0}, {"", 0}, {"a\n", 2}};
  for (const auto& r : rows) EXPECT_EQ(DynamicTitleLength(r.in), r.len) << r.in;
}

}  // namespace
}  // namespace quillo::hook
