// Tag expansion of menu item bodies, driven through a host that answers the
// clock, the history, files, pickers and dialogs and records what was asked.
#include "tags.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::hook {
namespace {

using Strings = std::vector<std::string>;

class FakeHost : public TagHost {
 public:
  // 9:05:03 on Sunday, 7 March 2004.
  TagTime time{2004, 3, 0, 7, 9, 5, 3};
  Strings history;
  bool historyOpens = true;
  bool cutLast = false;
  int beeps = 0;
  std::map<std::string, std::string> files;
  FileReadResult readFailure = FileReadResult::kOk;  // forced result for any path
  PickResult pickAnswer = PickResult::kChosen;
  std::string pickedFile = "C:\\Docs\\memo.txt";
  FilePickRequest fileRequest;
  std::string url = "http://example.com/a";
  std::string folderPath = "C:\\Work", folderName = "Work";
  std::string patternChoice = "C:\\Tools\\chosen.exe";
  int userAnswer = kUserInputDone;
  Strings typed;  // values the user types, one per title
  std::string askedTitles;
  int dialogs = 0;
  std::vector<std::string> existing = {"C:\\Tools\\run.exe", "C:\\Tools\\chosen.exe"};
  bool openOk = true;
  bool clipOk = true;
  std::string clip;
  TagMessage textCommandAnswer{9999, ""};
  Strings calls;  // actions and pickers, in order

  TagTime LocalTime() override { return time; }
  int HistoryCount() override { return static_cast<int>(history.size()); }
  bool HistoryEntry(int index, std::string& text) override {
    if (!historyOpens) return false;
    text = history.at(static_cast<size_t>(index));
    return true;
  }
  bool CutLastReturnOfHistory() override { return cutLast; }
  void Beep() override { ++beeps; }
  FileReadResult ReadWholeFile(const char* path, size_t maxBytes, std::string& bytes) override {
    calls.push_back(std::string("read ") + path);
    if (readFailure != FileReadResult::kOk) return readFailure;
    const auto it = files.find(path);
    if (it == files.end()) return FileReadResult::kOpenFailed;
    if (it->second.size() > maxBytes) return FileReadResult::kNoMemory;
    bytes = it->second;
    return FileReadResult::kOk;
  }
  PickResult PickFile(const FilePickRequest& request, std::string& path) override {
    calls.push_back("file " + request.argument);
    fileRequest = request;
    path = pickedFile;
    return pickAnswer;
  }
  PickResult PickUrl(const std::string& argument, std::string& out) override {
    calls.push_back("url " + argument);
    out = url;
    return pickAnswer;
  }
  PickResult PickFolder(bool fullPath, std::string& folder) override {
    calls.push_back(fullPath ? "folder full" : "folder name");
    folder = fullPath ? folderPath : folderName;
    return pickAnswer;
  }
  PickResult PickPatternFile(std::string& path) override {
    calls.push_back("pattern " + path);
    path = patternChoice;
    return pickAnswer;
  }
  int AskUserValues(const char* titles, UserValueTable& table) override {
    ++dialogs;
    askedTitles = titles;
    const int n = SplitUserTitles(titles, table);
    for (int i = 0; i < n && i < static_cast<int>(typed.size()); ++i) {
      table.entries[i].hasValue = !typed[i].empty();
      table.entries[i].value = typed[i];
    }
    return userAnswer;
  }
  bool FileExists(const char* path) override {
    for (const std::string& e : existing)
      if (e == path) return true;
    return false;
  }
  bool OpenFile(const char* file, const char* parameters) override {
    calls.push_back(std::string("open ") + file + "|" + parameters);
    return openOk;
  }
  void PlayMacro(const char* name) override { calls.push_back(name ? std::string("play ") + name : "play"); }
  void RecordMacro() override { calls.push_back("record"); }
  bool CurrentFolder(std::string& folder) override {
    folder = "C:\\Current";
    return true;
  }
  bool SetTextToClip(const char* text) override {
    calls.push_back(std::string("clip ") + text);
    return clipOk;
  }
  TagMessage EncloseText(const char* form, int phase) override {
    calls.push_back("enclose " + std::string(form) + " " + std::to_string(phase));
    return textCommandAnswer;
  }
  TagMessage DiscloseText(const char* form, int phase) override {
    calls.push_back("disclose " + std::string(form) + " " + std::to_string(phase));
    return textCommandAnswer;
  }
  TagMessage ConvText(int mode, int phase) override {
    calls.push_back("conv " + std::to_string(mode) + " " + std::to_string(phase));
    return textCommandAnswer;
  }
};

struct Outcome {
  bool ok;
  std::string text;
  int messageId;
  std::string messageArg;
  size_t keyBytes;
  std::vector<uint16_t> codes;
};

Outcome Expand(const std::string& body, FakeHost& host, TagMode mode = TagMode::kPaste) {
  std::string text = body;
  KeyStrokeList keys;
  const ExpandResult r = ExpandTags(text, keys, mode, host);
  return {r.ok, r.ok ? text : std::string(), r.message.id, r.message.arg, r.keyBytes,
          std::vector<uint16_t>(keys.Codes(), keys.Codes() + keys.Count())};
}

struct Row {
  std::string body;
  std::string expected;
};

void ExpectTexts(const std::vector<Row>& rows, FakeHost& host, TagMode mode = TagMode::kPaste) {
  for (const Row& row : rows) {
    const Outcome o = Expand(row.body, host, mode);
    EXPECT_TRUE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, 0) << row.body;
    EXPECT_EQ(o.text, row.expected) << row.body;
  }
}

// ---- dates and times -------------------------------------------------------

TEST(TagDate, FieldsAndFormats) {
  FakeHost host;
  ExpectTexts({
                  {"[Y1]/[T2]/[D2] [H2]:[M2]", "2004/03/07 09:05"},
                  {"[T3] [W1]", "March Sunday"},
                  {"[Y3]", "16"},
                  {"[Y2]", "04"},
                  {"<[T1]|[T5]|[T4]>", "<3| 3|Mar>"},
                  {"<[D1]|[D3]>", "<7| 7>"},
                  {"<[H1]|[H5]|[H3]|[H4]|[H6]>", "<9| 9|9|09| 9>"},
                  {"<[M1]|[M3]|[S1]|[S2]|[S3]>", "<5| 5|3|03| 3>"},
                  {"[N1][N2][N3] [W2]", "AMamAm Sun"},
                  {"[D1Z]", "7"},  // characters after the second are ignored
                  {"a[D4]b[Y0]c[N4]d[W3]e", "abcde"},
              },
              host);
}

TEST(TagDate, TwelveHourDialAndMarks) {
  const struct {
    int hour;
    std::string expected;
  } rows[] = {
      {0, "0 00 AM"}, {9, "9 09 AM"}, {11, "11 11 AM"}, {12, "0 00 PM"}, {13, "1 01 PM"}, {23, "11 11 PM"},
  };
  for (const auto& row : rows) {
    FakeHost host;
    host.time.hour = row.hour;
    EXPECT_EQ(Expand("[H3] [H4] [N1]", host).text, row.expected) << row.hour;
  }
  FakeHost host;
  host.time.hour = 12;
  host.time.minute = 30;
  EXPECT_EQ(Expand("[H3][N1]", host).text, "0PM");
}

TEST(TagDate, EveryMonthAndWeekdayName) {
  const Strings months = {"January", "February", "March",     "April",   "May",      "June",
                          "July",    "August",   "September", "October", "November", "December"};
  const Strings weekdays = {"Sunday", "Monday", "Tueseday", "Wednesday", "Thurseday", "Friday", "Saturday"};
  FakeHost host;
  for (int m = 1; m <= 12; ++m) {
    host.time.month = m;
    EXPECT_EQ(Expand("[T3]/[T4]", host).text, months[m - 1] + "/" + months[m - 1].substr(0, 3));
  }
  for (int d = 0; d < 7; ++d) {
    host.time.dayOfWeek = d;
    EXPECT_EQ(Expand("[W1]/[W2]", host).text, weekdays[d] + "/" + weekdays[d].substr(0, 3));
  }
}

TEST(TagDate, OutOfRangeSnapshotGivesNoName) {
  FakeHost host;
  host.time.month = 13;
  host.time.dayOfWeek = -1;
  EXPECT_EQ(Expand("x[T3][T4][W1][W2]y", host).text, "xy");
}

// ---- unknown forms and literal tags ---------------------------------------

TEST(TagUnknown, UnknownLettersStayKnownLettersWithUnknownVariantsVanish) {
  FakeHost host;
  ExpectTexts({
                  {"[X1]", "[X1]"},
                  {"[!Q]", "[!Q]"},
                  {"[note]", "[note]"},
                  {"a[]b", "a[]b"},
                  {"x[D9]y[&Q]z", "xyz"},
                  {"x[Note]y", "xy"},
                  {"[#0]x[F3]y[B9]z[R]", "xyz"},
                  {"[$[Y1]]", "[Y1]"},  // content ends at the first ']'; the replacement is not scanned
                  {"[X[Y1]", "[X[Y1]"},
                  {"no tag [ here", "no tag [ here"},
                  {"[Y1", "[Y1"},
              },
              host);
  EXPECT_TRUE(host.calls.empty());
}

TEST(TagLiteral, DollarAndAmpersandForms) {
  FakeHost host;
  ExpectTexts({
                  {"[$[Y1][&2]", "[Y1]"},
                  {"a[&1]b[&2]c[&R]d", "a[b]c\r\nd"},
                  {"[$ keep spaces ]", " keep spaces "},
                  {"[$" + std::string(259, 'x') + "]", std::string(259, 'x')},
              },
              host);
  const Outcome o = Expand("[$" + std::string(260, 'x') + "]", host);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.messageId, 2030);
}

// ---- clean-ups --------------------------------------------------------------

TEST(TagCleanup, LineEndTrailingAndIndent) {
  FakeHost host;
  ExpectTexts({
                  {"a[&L]\r\nb", "ab"},
                  {"a[&L] \t \r\nb", "ab"},
                  {"a[&L]\r\n\r\nb", "a\r\nb"},  // one line break only
                  {"a[&L]  b", "ab"},
                  {"a [&C]\r\n\r\n\r\n  b", "a b"},
                  {"    [/]text", "text"},
                  {"x\r\n \t [/]y", "x\r\ny"},
                  {"x  y [/]z", "x  yz"},
                  {"x\r\n[/]y", "x\r\ny"},  // the line break before stays
                  {"[/]y", "y"},
              },
              host);
}

TEST(TagCleanup, TitleModeAppliesNone) {
  FakeHost host;
  ExpectTexts({{"  [/]x", "  x"}, {"a[&L]\r\nb", "a\r\nb"}, {"a [&C]\r\n b", "a \r\n b"}}, host,
              TagMode::kTitle);
}

TEST(TagCleanup, IdeographicSpaceCountsAsWhiteSpace_Cp932) {
  testing::ScopedCodePage cp(932);
  FakeHost host;
  ExpectTexts({
                  {"\x81\x40 \x81\x40[/]x", "x"},
                  {"a[&L]\x81\x40\r\nb", "ab"},
                  {"a[&C]\x81\x40\r\n\x81\x40 b", "ab"},
                  // 0x81 0x81 is one character, then '@': nothing here is white space.
                  {"\x81\x81\x40[/]x", "\x81\x81\x40x"},
              },
              host);
}

TEST(TagCleanup, IdeographicSpaceIsNoSpace_Cp1252) {
  FakeHost host;
  ExpectTexts({{"\x81\x40[/]x", "\x81\x40x"}}, host);
}

// ---- double-byte traps -----------------------------------------------------

TEST(TagScan, TrailBytesAreNeverBrackets_Cp932) {
  testing::ScopedCodePage cp(932);
  FakeHost host;
  ExpectTexts({
                  {"[$\x83\x5D]", "\x83\x5D"},     // trail ']' inside the text
                  {"\x83\x5BY1]", "\x83\x5BY1]"},  // trail '[' opens nothing
                  {"[Y1]\x81", "2004\x81"},        // dangling lead byte at the end
                  {"[$ab\x81]", "[$ab\x81]"},      // the lead byte takes the ']'
              },
              host);
}

TEST(TagScan, SameBytesAreBrackets_Cp1252) {
  FakeHost host;
  ExpectTexts({{"[$\x83\x5D]", "\x83]"}, {"\x83\x5BY1]", "\x83" "2004"}}, host);
}

TEST(TagScan, EncloseFormRunsToTheLastBracket) {
  FakeHost host;
  Outcome o = Expand("x[E[xxx]] tail]", host);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(host.calls, Strings({"enclose E[xxx]] tail 1"}));
}

// ---- user values -----------------------------------------------------------

TEST(TagUserValue, DialogValuesWithCaseModifier) {
  FakeHost host;
  host.typed = {"alice", "Paris"};
  Outcome o = Expand("[#|Name|City]\r\n[#2], [#1U]", host);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.text, "Paris, ALICE");
  EXPECT_EQ(host.askedTitles, "Name|City");
  host.typed = {"MiXed", ""};
  ExpectTexts({
                  {"  [# |A|B]  \r\n<[#1L]><[#2]><[#9]><[#1X]>", "<mixed><><><MiXed>"},
                  {"[#1]x", "x"},  // no dialog earlier in this body: nothing
              },
              host);
}

TEST(TagUserValue, BodyOfOnlyTheDialogPastesNothing) {
  FakeHost host;
  host.typed = {"v"};
  const Outcome o = Expand("[#|Name]\r\n", host);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.messageId, 0);
  EXPECT_EQ(host.dialogs, 1);
}

TEST(TagUserValue, DialogResultsAndMissingTitles) {
  const struct {
    std::string body;
    int answer;
    int messageId;
    int dialogs;
  } rows[] = {
      {"[#|A]x", kUserInputCancelled, 0, 1},
      {"[#|A]x", kUserInputNoProperty, 2041, 1},
      {"[#|A]x", kUserInputNoMemory, 2001, 1},
      {"[#|]x", kUserInputDone, 2030, 0},
      {"[#|||]x", kUserInputDone, 2030, 0},
  };
  for (const auto& row : rows) {
    FakeHost host;
    host.userAnswer = row.answer;
    const Outcome o = Expand(row.body, host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, row.messageId) << row.body;
    EXPECT_EQ(host.dialogs, row.dialogs) << row.body;
  }
  // Pieces of white space are not empty: they are blank titles, and the dialog runs.
  FakeHost host;
  EXPECT_TRUE(Expand("[#| | ]x", host).ok);
  EXPECT_EQ(host.dialogs, 1);
}

TEST(TagUserTitles, SplitTrimSkipEmptyKeepNine) {
  const struct {
    std::string titles;
    Strings expected;
  } rows[] = {
      {"Name|City", {"Name", "City"}},
      {" Name | City ||", {"Name", "City"}},
      {"Na\r\nme|Ci\nty", {"Name", "City"}},
      {"Na\rme", {"Na\rme"}},
      {"1|2|3|4|5|6|7|8|9|10|11", {"1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"", {}},
      {"||", {}},
  };
  for (const auto& row : rows) {
    UserValueTable table;
    const int n = SplitUserTitles(row.titles.c_str(), table);
    Strings got;
    for (int i = 0; i < n; ++i) got.push_back(table.entries[i].title);
    EXPECT_EQ(got, row.expected) << row.titles;
  }
}

TEST(TagUserTitles, TrailByteBarIsNoSeparator_Cp932) {
  UserValueTable table;
  {
    testing::ScopedCodePage cp(932);
    ASSERT_EQ(SplitUserTitles("\x83\x7C" "b|c", table), 2);
    EXPECT_EQ(table.entries[0].title, "\x83\x7C" "b");
  }
  UserValueTable table1252;
  EXPECT_EQ(SplitUserTitles("\x83\x7C" "b|c", table1252), 3);
}

TEST(TagUserValue, CaseModifierLeavesDoubleByteCharactersAlone_Cp932) {
  testing::ScopedCodePage cp(932);
  FakeHost host;
  host.typed = {"a\x83\x61z"};  // trail byte 'a'
  EXPECT_EQ(Expand("[#|T][#1U]", host).text, "A\x83\x61Z");
}

// ---- history ------------------------------------------------------------------

TEST(TagHistory, EntriesCountedFromTheNewest) {
  FakeHost host;
  host.history = {"new", "old\r\n"};
  ExpectTexts({{"[C1]", "new"}, {"<[C2]>", "<old\r\n>"}, {"[C 1]", "new"}}, host);
  host.cutLast = true;
  ExpectTexts({{"<[C2]>", "<old>"}}, host);
}

TEST(TagHistory, Failures) {
  const struct {
    std::string body;
    Strings history;
    bool opens;
    int messageId;
    int beeps;
  } rows[] = {
      {"[C0]", {"a"}, true, 2037, 0},
      {"[C]", {"a"}, true, 2037, 0},
      {"[Copy]", {"a"}, true, 2037, 0},
      {"[C1]", {}, true, 2024, 0},
      {"[C3]", {"a", "b"}, true, 0, 1},
      {"[C" + std::string(30, '9') + "]", {"a"}, true, 0, 1},
      {"[C1]", {"a"}, false, 0, 0},
  };
  for (const auto& row : rows) {
    FakeHost host;
    host.history = row.history;
    host.historyOpens = row.opens;
    const Outcome o = Expand(row.body + "tail", host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, row.messageId) << row.body;
    EXPECT_EQ(host.beeps, row.beeps) << row.body;
  }
}

TEST(TagHistory, LineBreakAfterDoubleByteLeadIsKept_Cp932) {
  FakeHost host;
  host.cutLast = true;
  host.history = {"ab\x83\n"};
  {
    testing::ScopedCodePage cp(932);
    EXPECT_EQ(Expand("[C1]", host).text, "ab\x83\n");
  }
  EXPECT_EQ(Expand("[C1]", host).text, "ab\x83");
}

// ---- files ------------------------------------------------------------------------

TEST(TagFile, ContentsReplaceTheTagAndEatTheLineEnd) {
  FakeHost host;
  host.files["C:\\a.txt"] = "one\r\n[Y1]\x1a";
  host.files["C:\\z.txt"] = "z\x1a\x1a";
  host.files["C:\\nul.txt"] = std::string("be\0fore", 7);
  ExpectTexts({
                  {"['C:\\a.txt]\r\nnext", "one\r\n[Y1]next"},
                  {"[' \t C:\\a.txt]", "one\r\n[Y1]"},
                  {"['C:\\z.txt]", "z\x1a"},
                  {"['C:\\nul.txt]!", "be!"},
                  {"[' ]x", "[' ]x"},
              },
              host);
}

TEST(TagFile, Failures) {
  const struct {
    std::string body;
    FileReadResult forced;
    int messageId;
    std::string arg;
  } rows[] = {
      {"['C:\\missing.txt]", FileReadResult::kOk, 2012, "C:\\missing.txt"},
      {"['C:\\a.txt]", FileReadResult::kNoMemory, 2001, ""},
      {"['C:\\a.txt]", FileReadResult::kReadFailed, 0, ""},
      {"['C:\\" + std::string(257, 'p') + "]", FileReadResult::kOk, 2030, ""},
  };
  for (const auto& row : rows) {
    FakeHost host;
    host.files["C:\\a.txt"] = "text";
    host.readFailure = row.forced;
    const Outcome o = Expand(row.body, host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, row.messageId) << row.body;
    EXPECT_EQ(o.messageArg, row.arg) << row.body;
  }
}

TEST(TagFile, BodyGrowthIsBounded) {
  FakeHost host;
  host.files["C:\\big"] = std::string(1 << 20, 'b');
  std::string body;
  for (int i = 0; i < 8; ++i) body += "['C:\\big]";
  const Outcome o = Expand(body, host);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.messageId, 2001);
}

// ---- pickers ------------------------------------------------------------------------

TEST(TagPicker, FileRequestsAndResults) {
  const struct {
    std::string body;
    std::string expected;
    std::string argument;
    int filter;
    bool resolve;
  } rows[] = {
      {"[F2]", "memo.txt", "", 1, false},
      {"[F1]", "C:\\Docs\\memo.txt", "", 1, false},
      {"[F1\"C:\\Docs\\*.txt\"]", "C:\\Docs\\memo.txt", "C:\\Docs\\*.txt", 1, false},
      {"[F2U\" C:\\Docs \"]", "MEMO.TXT", "C:\\Docs", 1, false},
      {"[L1]", "C:\\Docs\\memo.txt", "", 4, true},
      {"[L2L]", "memo.txt", "", 4, true},
      {"'[F2]", "'C:\\Docs\\memo.txt", "", 2, false},  // file reference: full path
      {"'[L2]", "'C:\\Docs\\memo.txt", "", 2, true},
  };
  for (const auto& row : rows) {
    FakeHost host;
    const Outcome o = Expand(row.body, host);
    EXPECT_TRUE(o.ok) << row.body;
    EXPECT_EQ(o.text, row.expected) << row.body;
    EXPECT_EQ(host.fileRequest.argument, row.argument) << row.body;
    EXPECT_EQ(host.fileRequest.filterIndex, row.filter) << row.body;
    EXPECT_EQ(host.fileRequest.resolveShortcuts, row.resolve) << row.body;
  }
}

TEST(TagPicker, CancelledBadArgumentsAndNamelessResults) {
  FakeHost host;
  host.pickAnswer = PickResult::kCancelled;
  for (const std::string body : {"[F1]x", "[R1]x", "[B2]x"}) {
    const Outcome o = Expand(body, host);
    EXPECT_FALSE(o.ok) << body;
    EXPECT_EQ(o.messageId, 0) << body;
  }
  FakeHost bad;
  for (const std::string& body : Strings{"[F1\"C:\\x]", "[R1\"" + std::string(260, 'a') + "\"]"}) {
    const Outcome o = Expand(body, bad);
    EXPECT_EQ(o.messageId, 2030) << body;
  }
  EXPECT_TRUE(bad.calls.empty());
  FakeHost nameless;
  nameless.pickedFile = "memo.txt";
  const Outcome o = Expand("[F2]x", nameless);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.messageId, 0);
  EXPECT_TRUE(Expand("[F1\"" + std::string(259, 'a') + "\"]", nameless).ok);
}

TEST(TagPicker, FileNameCutAtTheLastRealBackslash_Cp932) {
  FakeHost host;
  host.pickedFile = "C:\\d\\\x83\x5C.txt";  // a character whose trail byte is '\'
  {
    testing::ScopedCodePage cp(932);
    EXPECT_EQ(Expand("[F2]", host).text, "\x83\x5C.txt");
  }
  EXPECT_EQ(Expand("[F2]", host).text, ".txt");
}

TEST(TagPicker, UrlAndFolder) {
  FakeHost host;
  ExpectTexts({{"[R1]", "http://example.com/a"}, {"[R2]", "example.com/a"}, {"[R2U]", "EXAMPLE.COM/A"},
               {"[B1]", "C:\\Work"}, {"[B2]", "Work"}, {"[B1L]", "c:\\work"}},
              host);
  host.url = "http://???";
  ExpectTexts({{"[R1]", "http://???"}, {"[R2]", "???"}}, host);
  host.url = "no-scheme";
  ExpectTexts({{"[R2]", "no-scheme"}}, host);
  FakeHost arg;
  Expand("[R1\"C:\\Fav\\*.url\"]", arg);
  EXPECT_EQ(arg.calls, Strings({"url C:\\Fav\\*.url"}));
}

// ---- actions ---------------------------------------------------------------------------

TEST(TagAction, RunProgram) {
  const struct {
    std::string body;
    int messageId;
    std::string arg;
    Strings calls;
    int beeps;
  } rows[] = {
      {"[!E\"C:\\Tools\\run.exe\" \"-a b\"]", 0, "", {"open C:\\Tools\\run.exe|-a b"}, 0},
      {"[!E\" C:\\Tools\\run.exe \"]", 0, "", {"open C:\\Tools\\run.exe|"}, 0},
      {"[!E]", 2030, "", {}, 0},
      {"[!E\"\"]", 2030, "", {}, 0},
      {"[!E\"C:\\Tools\\run.exe]", 2030, "", {}, 0},
      {"[!E\"C:\\nowhere.exe\"]", 2011, "C:\\nowhere.exe", {}, 1},
      {"[!E\"C:\\Tools\\*.exe\" \"x\"]", 0, "", {"pattern C:\\Tools\\*.exe", "open C:\\Tools\\chosen.exe|x"}, 0},
      {"[!E\"C:\\Tools\\run.exe\" \"C:\\D\\*.txt\"]", 0, "",
       {"pattern C:\\D\\*.txt", "open C:\\Tools\\run.exe|C:\\Tools\\chosen.exe"}, 0},
      {"[!E\"*.exe\"]", 2011, "*.exe", {}, 1},  // a bare pattern is no folder\pattern
  };
  for (const auto& row : rows) {
    FakeHost host;
    const Outcome o = Expand("before " + row.body + " after", host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, row.messageId) << row.body;
    EXPECT_EQ(o.messageArg, row.arg) << row.body;
    EXPECT_EQ(host.calls, row.calls) << row.body;
    EXPECT_EQ(host.beeps, row.beeps) << row.body;
  }
  FakeHost refused;
  refused.openOk = false;
  EXPECT_EQ(Expand("[!E\"C:\\Tools\\run.exe\"]", refused).messageId, 2035);
  FakeHost cancelled;
  cancelled.pickAnswer = PickResult::kCancelled;
  const Outcome o = Expand("[!E\"C:\\Tools\\*.exe\"]", cancelled);
  EXPECT_EQ(o.messageId, 0);
  EXPECT_EQ(cancelled.calls, Strings({"pattern C:\\Tools\\*.exe"}));
}

TEST(TagAction, PatternNeedsStarAfterLastRealBackslash_Cp932) {
  FakeHost host;
  host.existing.push_back("C:\\*\x83\x5Cx");
  {
    testing::ScopedCodePage cp(932);
    Expand("[!E\"C:\\*\x83\x5Cx\"]", host);
    EXPECT_EQ(host.calls.front(), "pattern C:\\*\x83\x5Cx");
  }
  host.calls.clear();
  Expand("[!E\"C:\\*\x83\x5Cx\"]", host);
  EXPECT_EQ(host.calls.front(), "open C:\\*\x83\x5Cx|");
}

TEST(TagAction, MacrosRecordAndFolderEndTheExpansion) {
  const struct {
    std::string body;
    Strings calls;
  } rows[] = {
      {"[!M\"daily\"]", {"play daily"}},
      {"[!M]", {"play"}},
      {"[!M\"\"]", {"play"}},
      {"[!R]", {"record"}},
      {"[!P]", {"clip C:\\Current"}},
  };
  for (const auto& row : rows) {
    FakeHost host;
    const Outcome o = Expand("[Y1]" + row.body + "[!M\"second\"]", host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, 0) << row.body;
    EXPECT_EQ(host.calls, row.calls) << row.body;
  }
  FakeHost noClip;
  noClip.clipOk = false;
  EXPECT_EQ(Expand("[!P]", noClip).messageId, 2023);
}

TEST(TagAction, TextCommandsPassTheirArgumentsAndNeverPaste) {
  const struct {
    std::string body;
    std::string call;
  } rows[] = {
      {"[E[xxx]]", "enclose E[xxx] 1"},     {"[E-(xxx)]", "disclose E-(xxx) 1"},
      {"[Example]", "enclose Example 1"},   {"[VU]", "conv 1 1"},
      {"[VL]", "conv 2 1"},                 {"[VLW]", "conv 10 1"},
      {"[VLS]", "conv 11 1"},               {"[VLX]", "conv 2 1"},
      {"[VS]", "conv 3 1"},                 {"[VD]", "conv 4 1"},
      {"[VH]", "conv 5 1"},                 {"[VK]", "conv 6 1"},
      {"[VT]", "conv 7 1"},
  };
  for (const auto& row : rows) {
    FakeHost host;
    const Outcome o = Expand("x" + row.body + " y", host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, 9999) << row.body;  // the host's answer comes back
    EXPECT_EQ(host.calls, Strings({row.call})) << row.body;
  }
  for (const std::string body : {"[VX]", "[Value]", "[V]"}) {
    FakeHost host;
    const Outcome o = Expand(body, host);
    EXPECT_FALSE(o.ok) << body;
    EXPECT_EQ(o.messageId, 0) << body;
    EXPECT_TRUE(host.calls.empty()) << body;
  }
  FakeHost longForm;
  const Outcome o = Expand("[E" + std::string(259, 'x') + "]", longForm);
  EXPECT_EQ(o.messageId, 2030);
  EXPECT_TRUE(longForm.calls.empty());
}

// ---- title mode -----------------------------------------------------------------------

TEST(TagTitleMode, OnlyDatesGiveTextOthersVanishWithoutEffect) {
  FakeHost host;
  host.history = {"h"};
  ExpectTexts({
                  {"[!K\"ENTER\"][F1][Q][Y1]", "[Q]2004"},
                  {"<[C1][#|A][!E\"x\"][!M][VX][$t][&R]['C:\\a][!Q]>", "<[!Q]>"},
                  {"<[E(xxx)] [!Q]>", "<>"},  // the enclose form takes all up to the last ']'

              },
              host, TagMode::kTitle);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(host.dialogs, 0);
  const Outcome o = Expand("[!K\"TAB\"]", host, TagMode::kTitle);
  EXPECT_FALSE(o.ok);  // empty
  EXPECT_EQ(o.keyBytes, 0u);
}

// ---- key strokes inside bodies ---------------------------------------------------------

TEST(TagKeyStrokes, PlaceholdersCodesAndLineEnd) {
  FakeHost host;
  Outcome o = Expand("[!D\"SHIFT\"]abc[!U\"SHIFT\"]", host);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.text, "\x03" "abc\x03");
  EXPECT_EQ(o.codes, std::vector<uint16_t>({0x0210, 0x0310}));
  EXPECT_EQ(o.keyBytes, 4u);
  o = Expand("x[!K\"TAB\"]\r\ny[!W500] z", host);
  EXPECT_EQ(o.text, "x\x03y\x03z");
  EXPECT_EQ(o.codes, std::vector<uint16_t>({0x0109, 0x0401, 500}));
  o = Expand("plain [Y1]", host);
  EXPECT_EQ(o.keyBytes, 0u);
  EXPECT_TRUE(o.codes.empty());
}

TEST(TagKeyStrokes, FiveHundredCodesAtMost) {
  FakeHost host;
  Outcome o = Expand("[!K500\"TAB\"]", host);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.text, std::string(500, '\x03'));
  o = Expand("[!K500\"TAB\"][!K\"TAB\"]", host);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.messageId, 2036);
  EXPECT_EQ(o.keyBytes, 1002u);
  o = Expand("[!K\"TAB\"][!K900\"TAB\"]", host);  // refused before writing
  EXPECT_EQ(o.messageId, 2036);
  EXPECT_EQ(o.keyBytes, 2u);
  std::string waits;
  for (int i = 0; i < 250; ++i) waits += "[!W1]";
  EXPECT_TRUE(Expand(waits, host).ok);
  EXPECT_EQ(Expand(waits + "[!W1]", host).messageId, 2036);
}

TEST(TagKeyStrokes, BadTagsEndTheExpansionWithTheirMessage) {
  const struct {
    std::string body;
    int messageId;
    size_t keyBytes;
  } rows[] = {
      {"[!K\"TAB\"][!K\"ab\"][!K\"TAB\"]", 2043, 2},
      {"[!K]", 2043, 0},
      {"[!W0]", 2038, 0},
      {"[!W40000]", 2038, 0},
  };
  for (const auto& row : rows) {
    FakeHost host;
    const Outcome o = Expand(row.body, host);
    EXPECT_FALSE(o.ok) << row.body;
    EXPECT_EQ(o.messageId, row.messageId) << row.body;
    EXPECT_EQ(o.keyBytes, row.keyBytes) << row.body;
  }
}

// ---- whole-body rules -------------------------------------------------------------------

TEST(TagBody, HasTagNeedsOpenThenClose) {
  EXPECT_TRUE(HasTag("a[b]c"));
  EXPECT_TRUE(HasTag("[]"));
  EXPECT_FALSE(HasTag("a]b[c"));
  EXPECT_FALSE(HasTag("plain"));
  testing::ScopedCodePage cp(932);
  EXPECT_FALSE(HasTag("[\x83\x5D"));
}

TEST(TagBody, EmptyResultIsFailure) {
  FakeHost host;
  for (const std::string body : {"", "[&L]\r\n", "[D9]", "  [/]"}) {
    const Outcome o = Expand(body, host);
    EXPECT_FALSE(o.ok) << body;
    EXPECT_EQ(o.messageId, 0) << body;
  }
}

TEST(TagBody, ManyTagsOnOneLongLineStayLinear) {
  FakeHost host;
  std::string body(200000, 'x');
  for (int i = 0; i < 50000; ++i) body += " [/]";
  const Outcome o = Expand(body, host);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.text, std::string(200000, 'x'));
}

}  // namespace
}  // namespace quillo::hook
