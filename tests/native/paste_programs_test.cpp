// The paste method of each program: the stored entry's grammar, the choice for
// the program in front, and typing a text as key presses.
#include "paste_programs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "code_page.h"
#include "delivery.h"
#include "paste_methods/paste_entries.h"
#include "paste_methods/typing.h"

namespace quillo {
namespace {

using testing::ScopedCodePage;

struct EntryRow {
  const char* text;
  PasteEntryProblem problem;
  const char* program;  // when taken
  int32_t method;
};

TEST(PasteEntry, StoredEntriesAreTakenOrRefusedForTheirReason) {
  const EntryRow rows[] = {
      {"notepad.exe=Ctrl+V", PasteEntryProblem::kNone, "notepad.exe", kPasteCtrlV},
      {"putty.exe=shift+insert", PasteEntryProblem::kNone, "putty.exe", kPasteShiftInsert},
      {"  wt.exe\t=  CTRL+SHIFT+V ", PasteEntryProblem::kNone, "wt.exe", kPasteCtrlShiftV},
      {"a=b.exe=Type", PasteEntryProblem::kNone, "a=b.exe", kPasteType},
      {"ed.exe=Ctrl+Y", PasteEntryProblem::kNone, "ed.exe", kPasteCtrlY},
      {"notepad.exe", PasteEntryProblem::kNoSeparator, nullptr, 0},
      {"", PasteEntryProblem::kNoSeparator, nullptr, 0},
      {"=Type", PasteEntryProblem::kEmptyName, nullptr, 0},
      {"   =Type", PasteEntryProblem::kEmptyName, nullptr, 0},
      {"C:\\bin\\x.exe=Type", PasteEntryProblem::kNameIsPath, nullptr, 0},
      {"bin/x.exe=Type", PasteEntryProblem::kNameIsPath, nullptr, 0},
      {"x?.exe=Type", PasteEntryProblem::kBadCharacter, nullptr, 0},
      {"x\".exe=Type", PasteEntryProblem::kBadCharacter, nullptr, 0},
      {"x\x01.exe=Type", PasteEntryProblem::kBadCharacter, nullptr, 0},
      {"x.exe.=Type", PasteEntryProblem::kBadCharacter, nullptr, 0},
      {"x.exe=Paste", PasteEntryProblem::kUnknownMethod, nullptr, 0},
      {"x.exe=", PasteEntryProblem::kUnknownMethod, nullptr, 0},
      {"x.exe=Ctrl+V2", PasteEntryProblem::kUnknownMethod, nullptr, 0},
  };
  for (const EntryRow& row : rows) {
    PasteProgram out;
    std::memset(&out, 0x55, sizeof out);
    EXPECT_EQ(ParsePasteEntry(row.text, std::strlen(row.text), out), row.problem) << row.text;
    if (row.program != nullptr) {
      EXPECT_STREQ(out.program, row.program) << row.text;
      EXPECT_EQ(out.method, row.method) << row.text;
    }
  }
}

TEST(PasteEntry, NameLengthIsBoundedByTheRecord) {
  const std::string longest(kPasteProgramBytes - 1, 'a');
  PasteProgram out;
  EXPECT_EQ(ParsePasteEntry((longest + "=Type").c_str(), longest.size() + 5, out), PasteEntryProblem::kNone);
  EXPECT_EQ(std::strlen(out.program), kPasteProgramBytes - 1);
  const std::string tooLong(kPasteProgramBytes, 'a');
  EXPECT_EQ(ParsePasteEntry((tooLong + "=Type").c_str(), tooLong.size() + 5, out), PasteEntryProblem::kNameTooLong);
}

// Code page 932: 0x95 0x5C (表) and 0x83 0x7C (ポ) end in a backslash and a
// bar, which belong to the character and are no folder and no bad character.
TEST(PasteEntry, ShiftJisTrailBytesAreNoSeparatorsCp932) {
  ScopedCodePage cp(932);
  const char text[] = "\x95\x5C\x83\x7C.exe=Type";  // 表ポ.exe
  PasteProgram out;
  ASSERT_EQ(ParsePasteEntry(text, sizeof text - 1, out), PasteEntryProblem::kNone);
  EXPECT_STREQ(out.program, "\x95\x5C\x83\x7C.exe");
  // A lead byte with nothing after it is half a character.
  EXPECT_EQ(CheckPasteProgramName("ab\x95", 3), PasteEntryProblem::kBadCharacter);
  // A byte after a lead byte is walked as part of its character, an "="
  // there included: it does not separate.
  const char trail[] = "\x81=x.exe";
  EXPECT_EQ(ParsePasteEntry(trail, sizeof trail - 1, out), PasteEntryProblem::kNoSeparator);
  // The same bytes in 1252 are a path.
  ScopedCodePage western(1252);
  EXPECT_EQ(ParsePasteEntry(text, sizeof text - 1, out), PasteEntryProblem::kNameIsPath);
}

TEST(PasteEntry, FormatWritesWhatParseTakesBack_AndRefusesDamagedRecords) {
  PasteProgram entry{};
  std::strcpy(entry.program, "Term=1.exe");
  entry.method = kPasteShiftInsert;
  char text[96];
  ASSERT_TRUE(FormatPasteEntry(entry, text, sizeof text));
  EXPECT_STREQ(text, "Term=1.exe=Shift+Insert");
  PasteProgram back;
  ASSERT_EQ(ParsePasteEntry(text, std::strlen(text), back), PasteEntryProblem::kNone);
  EXPECT_STREQ(back.program, entry.program);
  EXPECT_EQ(back.method, entry.method);

  char small[10];
  EXPECT_FALSE(FormatPasteEntry(entry, small, sizeof small));
  EXPECT_STREQ(small, "");
  entry.method = 9;
  EXPECT_FALSE(FormatPasteEntry(entry, text, sizeof text));
  entry.method = kPasteType;
  std::strcpy(entry.program, "a\\b.exe");
  EXPECT_FALSE(FormatPasteEntry(entry, text, sizeof text));
}

// ---- The method for the program in front ----

std::vector<PasteProgram> List(std::initializer_list<std::pair<const char*, int32_t>> rows) {
  std::vector<PasteProgram> out;
  for (const auto& row : rows) {
    PasteProgram p{};
    std::strncpy(p.program, row.first, sizeof p.program - 1);
    p.method = row.second;
    out.push_back(p);
  }
  return out;
}

TEST(PasteMethodChoice, ListedProgramsByFileNameWithoutCase_OthersKeepPasteCmd) {
  const auto list = List({{"conhost.exe", kPasteType}, {"PuTTY.exe", kPasteShiftInsert}, {"wt.exe", kPasteCtrlShiftV}});
  const struct { const char* path; int32_t pasteCmd; int32_t expected; } rows[] = {
      {"C:\\Windows\\System32\\conhost.exe", 0, kPasteType},
      {"C:\\windows\\system32\\CONHOST.EXE", 2, kPasteType},
      {"putty.exe", 0, kPasteShiftInsert},
      {"D:/apps/wt.exe", 1, kPasteCtrlShiftV},
      {"C:\\Windows\\notepad.exe", 0, kPasteCtrlV},
      {"C:\\Windows\\notepad.exe", 1, kPasteShiftInsert},
      {"C:\\Windows\\notepad.exe", 2, kPasteCtrlY},
      {"C:\\Windows\\notepad.exe", 3, -1},  // PasteCmd's "no keys" stays none
      {"C:\\Windows\\notepad.exe", -1, -1},
      {"C:\\conhost.exe\\other.exe", 0, kPasteCtrlV},  // a folder of that name is no match
      {"conhost.exe.bak", 0, kPasteCtrlV},
      {"", 0, kPasteCtrlV},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), row.path, row.pasteCmd), row.expected) << row.path;
  }
  EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), nullptr, 1), kPasteShiftInsert)
      << "a program that cannot be named gets PasteCmd";
  EXPECT_EQ(ChoosePasteMethod(list.data(), 1, "wt.exe", 0), kPasteCtrlV) << "only the entries counted are used";
}

// The list lies in shared memory any program of the session could scribble
// on: a name without terminator, a method out of range or a count beyond the
// records must neither overrun nor pick a method that does not exist.
TEST(PasteMethodChoice, DamagedSharedRecordsAreReadWithinTheirBounds) {
  std::vector<PasteProgram> list = List({{"a.exe", 99}, {"b.exe", kPasteType}});
  std::memset(list[1].program, 'b', sizeof list[1].program);  // no terminator
  EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), "a.exe", 1), kPasteShiftInsert);
  const std::string unterminated(sizeof list[1].program, 'b');
  EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), unterminated.c_str(), 0), kPasteCtrlV);
  std::vector<PasteProgram> full(kMaxPastePrograms, PasteProgram{});
  full.back() = List({{"z.exe", kPasteType}})[0];
  EXPECT_EQ(ChoosePasteMethod(full.data(), 1000000, "z.exe", 0), kPasteType) << "the count is cut to the records";
}

TEST(PasteMethodChoice, ProgramNamesCompareTrailBytesExactlyCp932) {
  ScopedCodePage cp(932);
  // 0x83 0x41 (ア) and 0x83 0x61 (ヂ): the trail bytes are 'A' and 'a'.
  const auto list = List({{"\x83\x41.exe", kPasteType}});
  EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), "C:\\\x83\x41.EXE", 0), kPasteType);
  EXPECT_EQ(ChoosePasteMethod(list.data(), list.size(), "C:\\\x83\x61.exe", 0), kPasteCtrlV);
  // A trail byte 0x5C is no folder separator.
  EXPECT_STREQ(ProgramFileName("C:\\\x95\x5C.exe"), "\x95\x5C.exe");
}

// ---- Keys of each method ----

class FakeKeys : public hook::KeyOutput {
 public:
  std::vector<std::string> log;
  void SendKey(uint8_t vk, bool up) noexcept override {
    char s[16];
    std::snprintf(s, sizeof s, "%02X %s", vk, up ? "up" : "down");
    log.push_back(s);
  }
  void SuspendRecording() noexcept override { log.push_back("SuspendRec"); }
  void ResumeRecording() noexcept override { log.push_back("ResumeRec"); }
};

TEST(PasteMethodKeys, EachMethodPressesItsChord_TypingPressesNone) {
  using Keys = std::vector<std::string>;
  const struct { int method; Keys keys; } rows[] = {
      {kPasteCtrlV, {"11 down", "56 down", "56 up", "11 up"}},
      {kPasteShiftInsert, {"10 down", "2D down", "2D up", "10 up"}},
      {kPasteCtrlY, {"11 down", "59 down", "59 up", "11 up"}},
      {kPasteCtrlShiftV, {"11 down", "10 down", "56 down", "56 up", "10 up", "11 up"}},
      {kPasteType, {}},
      {-1, {}},
  };
  for (const auto& row : rows) {
    FakeKeys keys;
    hook::SendPasteMethodKeys(row.method, false, false, keys);
    EXPECT_EQ(keys.log, row.keys) << row.method;
  }
  FakeKeys copyOnly, recording;
  hook::SendPasteMethodKeys(kPasteCtrlShiftV, true, true, copyOnly);
  EXPECT_TRUE(copyOnly.log.empty());
  hook::SendPasteMethodKeys(kPasteCtrlShiftV, false, true, recording);
  EXPECT_EQ(recording.log.front(), "SuspendRec");
  EXPECT_EQ(recording.log.back(), "ResumeRec");
}

// ---- Typing ----

class FakeTyping : public app::TypingOutput {
 public:
  std::vector<std::string> log;  // batches as "[...]", the other calls by name
  std::string batch;
  int stopAfterBatches = -1;  // Check answers `stopWith` once this many batches went out
  app::TypingEnd stopWith = app::TypingEnd::kStopped;
  int refuseBatch = -1;  // SendBatch answers false for this batch (0-based)
  int batches = 0;
  void AddStep(const app::TypingStep& step) noexcept override {
    if (step.kind == app::TypingStep::kEnter) {
      batch += "<Enter>";
      return;
    }
    for (size_t i = 0; i < step.count; ++i) {
      char s[16];
      const unsigned u = step.units[i];
      if (u >= 0x20 && u < 0x7F) {
        s[0] = static_cast<char>(u);
        s[1] = '\0';
      } else {
        std::snprintf(s, sizeof s, "<%04X>", u);
      }
      batch += s;
    }
    if (step.count == 2) batch += "|";  // a pair sent as one step
  }
  bool SendBatch() noexcept override {
    log.push_back("[" + batch + "]");
    batch.clear();
    return batches++ != refuseBatch;
  }
  app::TypingEnd Check() noexcept override {
    return stopAfterBatches >= 0 && batches >= stopAfterBatches ? stopWith : app::TypingEnd::kDone;
  }
  void WaitBetweenBatches() noexcept override { log.push_back("wait"); }
  void SuspendRecording() noexcept override { log.push_back("SuspendRec"); }
  void ResumeRecording() noexcept override { log.push_back("ResumeRec"); }
};

using Log = std::vector<std::string>;

TEST(Typing, LineEndsOfEveryKindAreOneEnterEach_SurrogatePairsStayTogether) {
  const std::u16string text = u"a\r\nb\nc\rd\n\re\U0001F600";
  FakeTyping out;
  const app::TypingResult r = app::TypeText(text.data(), text.size(), 100, false, out);
  EXPECT_EQ(out.log, (Log{"[a<Enter>b<Enter>c<Enter>d<Enter><Enter>e<D83D><DE00>|]"}));
  EXPECT_EQ(r.steps, 11u);
  EXPECT_EQ(r.end, app::TypingEnd::kDone);

  // A lone half of a pair is sent as it is, one step.
  const std::u16string lone = u"x\xD83Dy";
  FakeTyping half;
  app::TypeText(lone.data(), lone.size(), 100, false, half);
  EXPECT_EQ(half.log, (Log{"[x<D83D>y]"}));
}

TEST(Typing, BatchesWaitBetweenThem_AndAStopEndsAtTheNextBatchWithRecordingResumed) {
  const std::u16string text = u"abcdefg";
  FakeTyping all;
  app::TypeText(text.data(), text.size(), 3, false, all);
  EXPECT_EQ(all.log, (Log{"[abc]", "wait", "[def]", "wait", "[g]"}));

  FakeTyping stopped;
  stopped.stopAfterBatches = 1;
  const app::TypingResult r = app::TypeText(text.data(), text.size(), 3, true, stopped);
  EXPECT_EQ(stopped.log, (Log{"SuspendRec", "[abc]", "wait", "ResumeRec"}));
  EXPECT_EQ(r.end, app::TypingEnd::kStopped);
  EXPECT_EQ(r.steps, 3u);

  FakeTyping before;
  before.stopAfterBatches = 0;
  EXPECT_EQ(app::TypeText(text.data(), text.size(), 3, true, before).end, app::TypingEnd::kStopped);
  EXPECT_EQ(before.log, (Log{"SuspendRec", "ResumeRec"}));

  // A CR LF at a batch's edge stays one Enter.
  const std::u16string edge = u"ab\r\ncd";
  FakeTyping edged;
  app::TypeText(edge.data(), edge.size(), 3, false, edged);
  EXPECT_EQ(edged.log, (Log{"[ab<Enter>]", "wait", "[cd]"}));
}

// Typing ends with the first reason it meets, before another key goes out:
// a window gone or no longer in front, the system taking less than a whole
// batch; the recording's suspension is closed whatever the end.
TEST(Typing, EveryEndStopsBeforeTheNextBatchAndSaysWhy) {
  const std::u16string text = u"abcdefghi";
  for (app::TypingEnd end : {app::TypingEnd::kTargetGone, app::TypingEnd::kTargetLeftFront,
                             app::TypingEnd::kShutDown}) {
    FakeTyping out;
    out.stopAfterBatches = 2;
    out.stopWith = end;
    const app::TypingResult r = app::TypeText(text.data(), text.size(), 3, true, out);
    EXPECT_EQ(r.end, end);
    EXPECT_EQ(r.steps, 6u);
    EXPECT_EQ(out.log, (Log{"SuspendRec", "[abc]", "wait", "[def]", "wait", "ResumeRec"}));
  }

  // A batch the system took only in part: nothing more is sent after it.
  FakeTyping refused;
  refused.refuseBatch = 1;
  const app::TypingResult r = app::TypeText(text.data(), text.size(), 3, true, refused);
  EXPECT_EQ(r.end, app::TypingEnd::kInputRefused);
  EXPECT_EQ(refused.log, (Log{"SuspendRec", "[abc]", "wait", "[def]", "ResumeRec"}));

  // Refused at the very last batch: still not reported as typed whole.
  FakeTyping last;
  last.refuseBatch = 2;
  EXPECT_EQ(app::TypeText(text.data(), text.size(), 3, false, last).end, app::TypingEnd::kInputRefused);
}

// A console window's program may be the one running in it (Windows reports
// cmd.exe for its console): the host's entry serves it unless that program
// has an entry of its own.
TEST(PasteMethodChoice, AConsoleWindowTakesTheHostsEntryWhenItsProgramHasNone) {
  std::vector<PasteProgram> list(2);
  std::strcpy(list[0].program, "conhost.exe");
  list[0].method = kPasteType;
  std::strcpy(list[1].program, "powershell.exe");
  list[1].method = kPasteCtrlShiftV;
  EXPECT_EQ(ChoosePasteMethod(list.data(), 2, "C:\\Windows\\cmd.exe", 0, "conhost.exe"), kPasteType);
  EXPECT_EQ(ChoosePasteMethod(list.data(), 2, "C:\\x\\PowerShell.exe", 0, "conhost.exe"), kPasteCtrlShiftV);
  EXPECT_EQ(ChoosePasteMethod(list.data(), 2, nullptr, 1, "conhost.exe"), kPasteType) << "no name read at all";
  EXPECT_EQ(ChoosePasteMethod(list.data(), 2, "C:\\Windows\\cmd.exe", 2), kPasteCtrlY) << "not a console";
  EXPECT_EQ(ChoosePasteMethod(list.data(), 1, "cmd.exe", 0, "wt.exe"), kPasteCtrlV) << "host not listed";
}

// Controls other than Tab and the line ends would act as keys in the program
// (0x08 erases, 0x1B is taken as the user's stop, 0x03 copies or interrupts):
// none of them is typed, and what stands around them arrives whole.
TEST(Typing, ControlsOtherThanTabAndLineEndsAreNeverTyped) {
  using namespace std::string_literals;  // the text holds a NUL
  const std::u16string text = u"a\x08" u"b\x1B" u"c\x03" u"d\x7F" u"e\x00" u"f\x1F" u"g"s;
  ASSERT_EQ(text.size(), 13u);
  FakeTyping out;
  const app::TypingResult r = app::TypeText(text.data(), text.size(), 100, false, out);
  EXPECT_EQ(out.log, (Log{"[abcdefg]"}));
  EXPECT_EQ(r.steps, 7u);

  // Tab and every kind of line end still go out, with controls beside them.
  const std::u16string ends = u"\x1B" u"1\t2\x08\r\n3\r\x03" u"4\n\x7F" u"5\t";
  FakeTyping withEnds;
  app::TypeText(ends.data(), ends.size(), 100, false, withEnds);
  EXPECT_EQ(withEnds.log, (Log{"[1<0009>2<Enter>3<Enter>4<Enter>5<0009>]"}));

  // A pair beside a dropped control stays one step; a control between its
  // halves, or between CR and LF, still parts them.
  const std::u16string pairs = u"\x08\U0001F600\x1B|\xD83D\x08\xDE00|\r\x1B\n";
  FakeTyping paired;
  app::TypeText(pairs.data(), pairs.size(), 100, false, paired);
  EXPECT_EQ(paired.log, (Log{"[<D83D><DE00>||<D83D><DE00>|<Enter><Enter>]"}));
}

TEST(Typing, DroppedControlsTakeNoPlaceInABatch_AndATextOfThemAloneSendsNothing) {
  const std::u16string text = u"ab\x08\x08\x08\x08" u"cd\x1B\x1B";
  FakeTyping out;
  const app::TypingResult r = app::TypeText(text.data(), text.size(), 2, false, out);
  EXPECT_EQ(out.log, (Log{"[ab]", "wait", "[cd]"}));  // no third, empty batch and no wait for it
  EXPECT_EQ(r.steps, 4u);

  const std::u16string controls = u"\x1B\x08\x03";
  FakeTyping none;
  const app::TypingResult nothing = app::TypeText(controls.data(), controls.size(), 2, true, none);
  EXPECT_EQ(none.log, (Log{"SuspendRec", "ResumeRec"}));
  EXPECT_EQ(nothing.steps, 0u);
  EXPECT_EQ(nothing.end, app::TypingEnd::kDone);

  // Asked for a step where only controls remain, the answer is none.
  app::TypingStep step{app::TypingStep::kCharacter, {u'x', 0}, 1};
  EXPECT_EQ(app::NextTypingStep(text.data(), text.size(), 8, step), text.size());
  EXPECT_EQ(step.kind, app::TypingStep::kNone);
  EXPECT_EQ(step.count, 0u);
}

TEST(Typing, UntypedUnitsAreTheC0ControlsButTabCrLf_AndDel) {
  for (char16_t u = 0; u < 0x20; ++u) {
    EXPECT_EQ(app::IsUntypedUnit(u), u != u'\t' && u != u'\r' && u != u'\n') << static_cast<int>(u);
  }
  EXPECT_TRUE(app::IsUntypedUnit(0x7F));
  for (char16_t u : {char16_t{0x20}, char16_t{0x7E}, char16_t{0xA0}, char16_t{0xD83D}, char16_t{0xFFFF}}) {
    EXPECT_FALSE(app::IsUntypedUnit(u)) << static_cast<int>(u);
  }
}

// How each step is sent, from the facts of the target's layout and keyboard.
struct SendRow {
  const char* what;
  app::TypingStep step;
  app::TypingKeyFacts facts;
  bool releaseAlt;
  app::TypingSend send;
};

constexpr app::TypingStep Char(char16_t u) { return {app::TypingStep::kCharacter, {u, 0}, 1}; }
constexpr app::TypingStep kEnterStep{app::TypingStep::kEnter, {0, 0}, 0};
constexpr app::TypingStep kPair{app::TypingStep::kCharacter, {0xD83D, 0xDE00}, 2};

TEST(TypingKeysChoice, KeysOnlyWhereTheKeyGivesTheCharacterWhateverTheKeyboardState) {
  constexpr app::TypingSend kKey = app::TypingSend::kKey, kShifted = app::TypingSend::kShiftedKey,
                            kItself = app::TypingSend::kItself;
  constexpr unsigned kShift = app::kHeldShift, kCtrl = app::kHeldCtrl, kAlt = app::kHeldAlt, kWin = app::kHeldWin;
  //                         onLayout shift dead  caps   held    release Alt
  const SendRow rows[] = {
      {"plain letter", Char(u'a'), {true, 0, false, false, 0}, false, kKey},
      {"capital", Char(u'A'), {true, 1, false, false, 0}, false, kShifted},
      {"shifted digit-row sign", Char(u'%'), {true, 1, false, false, 0}, false, kShifted},
      // Caps Lock would turn the case of a letter sent by its key.
      {"letter, Caps Lock", Char(u'a'), {true, 0, false, true, 0}, false, kItself},
      {"capital, Caps Lock", Char(u'A'), {true, 1, false, true, 0}, false, kItself},
      {"digit, Caps Lock (which keys it turns is the layout's)", Char(u'1'), {true, 0, false, true, 0}, false, kItself},
      {"Tab, Caps Lock", Char(u'\t'), {true, 0, false, true, 0}, false, kKey},
      // A dead key waits for the next character and makes one of the two.
      {"dead ^ (German)", Char(u'^'), {true, 0, true, false, 0}, false, kItself},
      {"dead \" on Shift (US-International)", Char(u'"'), {true, 1, true, false, 0}, false, kItself},
      // Shift keys other than Shift, pressed by us, could make a command.
      {"AltGr @ (German)", Char(u'@'), {true, 6, false, false, 0}, false, kItself},
      {"Ctrl character", Char(u'x'), {true, 2, false, false, 0}, false, kItself},
      {"Alt character", Char(u'x'), {true, 4, false, false, 0}, false, kItself},
      {"Shift+AltGr character", Char(u'x'), {true, 7, false, false, 0}, false, kItself},
      {"Hankaku shift", Char(u'x'), {true, 8, false, false, 0}, false, kItself},
      {"not on the layout", Char(0x00E9), {false, 0, false, false, 0}, false, kItself},
      {"surrogate pair", kPair, {true, 0, false, false, 0}, false, kItself},
      // A held key changes every key: Ctrl makes commands of letters, Enter
      // and Tab; Shift goes back with Tab.
      {"letter, Ctrl held", Char(u'a'), {true, 0, false, false, kCtrl}, false, kItself},
      {"letter, Shift held", Char(u'a'), {true, 0, false, false, kShift}, false, kItself},
      {"capital, Shift held", Char(u'A'), {true, 1, false, false, kShift}, false, kItself},
      {"letter, Win held", Char(u'a'), {true, 0, false, false, kWin}, false, kItself},
      {"Tab, Shift held", Char(u'\t'), {true, 0, false, false, kShift}, false, kItself},
      {"Tab, Ctrl held", Char(u'\t'), {true, 0, false, false, kCtrl}, false, kItself},
      // Alt makes menu access keys even of characters sent as themselves:
      // it is released, and the step goes as if it had not been held.
      {"letter, Alt held", Char(u'f'), {true, 0, false, false, kAlt}, true, kKey},
      {"capital, Alt held", Char(u'F'), {true, 1, false, false, kAlt}, true, kShifted},
      {"letter, Alt and Shift held", Char(u'f'), {true, 0, false, false, kAlt | kShift}, true, kItself},
      {"letter, Ctrl and Alt held", Char(u'f'), {true, 0, false, false, kAlt | kCtrl}, true, kItself},
      {"letter, Alt held, Caps Lock", Char(u'f'), {true, 0, false, true, kAlt}, true, kItself},
      {"pair, Alt held", kPair, {false, 0, false, false, kAlt}, true, kItself},
      // Enter is the Enter key, which no lock or layout changes, unless a
      // held key would make a command of it.
      {"Enter", kEnterStep, {false, 0, false, false, 0}, false, kKey},
      {"Enter, Caps Lock", kEnterStep, {false, 0, false, true, 0}, false, kKey},
      {"Enter, Ctrl held", kEnterStep, {false, 0, false, false, kCtrl}, false, kItself},
      {"Enter, Shift held", kEnterStep, {false, 0, false, false, kShift}, false, kItself},
      {"Enter, Alt held", kEnterStep, {false, 0, false, false, kAlt}, true, kKey},
  };
  for (const SendRow& row : rows) {
    const app::TypingKeys keys = app::ChooseTypingKeys(row.step, row.facts);
    EXPECT_EQ(keys.releaseAlt, row.releaseAlt) << row.what;
    EXPECT_EQ(static_cast<int>(keys.send), static_cast<int>(row.send)) << row.what;
  }
}

// The user's own keys counted while a text is typed (a held key repeats)
// never let the typist run further ahead than its own events taken allow.
TEST(Typing, KeysCountedBeyondWhatWasSentAreNotTakenForRoom) {
  app::TypedKeyCount count;
  EXPECT_EQ(count.Taken(4, 10), 4);
  EXPECT_EQ(count.Taken(30, 10), 10) << "20 of the user's";
  // Later counts are ours again only beyond the user's 20.
  EXPECT_EQ(count.Taken(32, 20), 12);
  EXPECT_EQ(count.Taken(40, 20), 20);
  EXPECT_EQ(count.Taken(40, 28), 20);
}

}  // namespace
}  // namespace quillo
