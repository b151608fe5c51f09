// The options sheet's page models: shortcut lists and hot-key controls, the
// field and page checks, the menu-file and skip lists, and what OK writes.
#include "option_pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::options {
namespace {

using settings::Settings;
constexpr uint16_t kCA = kHotKeyCtrl | kHotKeyAlt;

// Files as a desk holds them: `present` on the fixed disks; a network path
// and drive E: (a stick) may only be away, and must never be looked at.
class FakeFiles : public settings::FileProbe {
 public:
  std::set<std::string> present;
  std::vector<std::string> looked;
  bool FileExists(const char* path) override {
    looked.push_back(path);
    return present.count(path) != 0;
  }
  bool MayBeAway(const char* path) override { return std::strncmp(path, "\\\\", 2) == 0 || path[0] == 'E'; }
};

MenuFileSet Set(const char* path, int32_t kind, uint16_t key = 0, uint16_t mods = 0) {
  MenuFileSet s = settings::EmptyMenuFileSet();
  std::strncpy(s.path, path, sizeof s.path - 1);
  s.trigger = kind;
  s.key = key;
  s.modifiers = mods;
  return s;
}

TEST(OptionShortcuts, KindListIndexAndHotKeyRules) {
  // Kinds 4 and 7 (Japanese keys, right Ctrl) come only from a hand-edited store.
  const std::pair<int32_t, int> kinds[] = {{-1, 0}, {0, 1}, {1, 2}, {2, 3}, {3, 4}, {-2, 5}, {4, -1}, {7, -1}, {-3, -1}};
  for (const auto& [kind, index] : kinds) {
    EXPECT_EQ(ShortcutListIndexFromKind(kind), index) << kind;
    EXPECT_EQ(ShortcutKindFromListIndex(index, 99), index < 0 ? 99 : kind) << kind;
  }
  EXPECT_EQ(ShortcutKindFromListIndex(6, 4), 4);

  // Choosing another entry than (Others) clears the control.
  ShortcutField f = ShortcutFieldFromStored(kTriggerShortcut, 'K', kModCtrl);
  SelectShortcutListEntry(f, 2);
  EXPECT_TRUE(IsEmptyHotKey(f.hotKey));
  EXPECT_EQ(ShortcutFromField(f).kind, kTriggerDoubleCtrl);

  // A bare key becomes Ctrl+Alt and that key; a key with a modifier stays.
  const std::pair<HotKey, HotKey> rules[] = {{{'K', 0}, {'K', kCA}},
                                             {{0x2E, kHotKeyExtended}, {0x2E, kHotKeyExtended | kCA}},
                                             {{'K', kHotKeyShift}, {'K', kHotKeyShift}},
                                             {{'K', kHotKeyAlt}, {'K', kHotKeyAlt}},
                                             {{0, 0}, {0, 0}}};
  for (const auto& [in, out] : rules) EXPECT_EQ(ApplyCtrlAltRule(in).modifiers, out.modifiers) << in.key;
}

TEST(OptionShortcuts, ModifiersSwapAltAndShiftAndMarkNavigationKeysExtended) {
  struct Row { uint16_t vk; uint16_t stored; uint16_t control; };
  const uint16_t X = kHotKeyExtended;
  const Row rows[] = {
      {'K', kModAlt | kModCtrl, kCA}, {'K', kModShift, kHotKeyShift}, {'K', kModAlt, kHotKeyAlt},
      {0x20, kModCtrl, kHotKeyCtrl},          // Space, just before the navigation block
      {0x21, kModShift, kHotKeyShift | X},    // Page Up
      {0x22, 0, X},                           // Page Down
      {0x23, kModAlt, kHotKeyAlt | X},        // End
      {0x24, kModCtrl, kHotKeyCtrl | X},      // Home
      {0x25, kModShift | kModAlt, kHotKeyShift | kHotKeyAlt | X},  // the arrows
      {0x26, kModCtrl, kHotKeyCtrl | X}, {0x27, kModCtrl, kHotKeyCtrl | X}, {0x28, kModCtrl, kHotKeyCtrl | X},
      {0x29, kModCtrl, kHotKeyCtrl},          // Select, just after it
      {0x2C, kModCtrl, kHotKeyCtrl},          // Print Screen
      {0x2D, kModShift, kHotKeyShift | X},    // Insert
      {0x2E, kModShift, kHotKeyShift | X},    // Delete
      {0x2F, kModShift, kHotKeyShift},
  };
  for (const Row& r : rows) {
    const HotKey shown = UnpackHotKey(PackHotKey(HotKeyFromStored(r.vk, r.stored)));
    EXPECT_EQ(shown.key, r.vk);
    EXPECT_EQ(shown.modifiers, r.control) << std::hex << r.vk;
    // Stored back from the control, the extended bit is dropped.
    EXPECT_EQ(ShortcutFromField({kOthersListIndex, shown, kTriggerNone}).modifiers, r.stored) << std::hex << r.vk;
  }
  EXPECT_EQ(PackHotKey({0x2E, kHotKeyShift | X}), 0x092E);
}

TEST(OptionShortcuts, EqualityRule) {
  struct Row { Shortcut a; Shortcut b; bool same; };
  const Row rows[] = {
      {{1, 0, 0}, {1, 'K', 3}, true},  // a fixed trigger ignores the key
      {{1, 0, 0}, {0, 0, 0}, false},      {{4, 0, 0}, {4, 0, 0}, true},
      {{-1, 0, 0}, {-1, 0, 0}, false},    {{-2, 'K', 3}, {-2, 'K', 3}, true},
      {{-2, 'K', 3}, {-2, 'K', 2}, false}, {{-2, 'K', 3}, {-2, 'J', 3}, false},
      {{-2, 'K', 3}, {3, 'K', 3}, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SameShortcut(r.a, r.b), r.same) << r.a.kind << " " << r.b.kind;
    EXPECT_EQ(SameShortcut(r.b, r.a), r.same);
  }
}

TEST(OptionFields, IntegersRangesLengthsAndTheirMessages) {
  const FieldError ok = FieldError::kNone, nan = FieldError::kNotInteger, out = FieldError::kOutOfRange;
  struct Row { const char* text; int32_t low; int32_t high; FieldError error; int32_t value; };
  const Row rows[] = {
      {"42", 0, 100, ok, 42},  {" \t42  ", 0, 100, ok, 42}, {"+7", 0, 100, ok, 7}, {"-0", 0, 100, ok, 0},
      {"", 0, 100, nan, 0},    {"   ", 0, 100, nan, 0},     {"4 2", 0, 100, nan, 0}, {"12a", 0, 100, nan, 0},
      {"--1", 0, 100, nan, 0}, {"-", 0, 100, nan, 0},       {"0", 1, 100, out, 0},  {"101", 1, 100, out, 101},
      {"100", 1, 100, ok, 100},
      {"2147483647", INT32_MIN, INT32_MAX, ok, INT32_MAX},  {"-2147483648", INT32_MIN, INT32_MAX, ok, INT32_MIN},
      {"2147483648", INT32_MIN, INT32_MAX, nan, 0},         {"-2147483649", INT32_MIN, INT32_MAX, nan, 0},
      {"99999999999999999999999", INT32_MIN, INT32_MAX, nan, 0},
  };
  for (const Row& r : rows) {
    const FieldCheck c = CheckIntegerField(r.text, r.low, r.high);
    EXPECT_EQ(c.error, r.error) << '"' << r.text << '"';
    EXPECT_EQ(c.value, r.error == nan ? c.value : r.value) << r.text;
    EXPECT_EQ(c.high, r.error == out ? r.high : c.high) << r.text;
  }
  // Twenty bytes fit g_szQuote, ten double-byte characters too; one more byte does not.
  EXPECT_EQ(CheckTextField(std::string(20, '\x88').c_str(), 20).error, FieldError::kNone);
  const FieldCheck tooLong = CheckTextField(std::string(21, 'q').c_str(), 20);
  EXPECT_EQ(tooLong.error, FieldError::kTooLong);

  char text[200];
  MakeFieldMessage(CheckIntegerField("0", 1, 100), text, sizeof text);
  // 1 から 100 までの整数を入力してください。
  EXPECT_STREQ(text, "1 \x82\xa9\x82\xe7 100 \x82\xdc\x82\xc5\x82\xcc\x90\xae\x90\x94\x82\xf0\x93\xfc\x97\xcd"
                     "\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42");
  // "20 文字以内で…" cut in a short buffer before a character, never inside one.
  EXPECT_EQ(MakeFieldMessage(tooLong, text, 7), 5u);
  EXPECT_STREQ(text, "20 \x95\xb6");
  MakeFieldMessage(CheckIntegerField("x"), text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 4), "\x90\xae\x90\x94");  // 整数を…
}

TEST(OptionFields, PagesTakeTheValuesOnlyWhenEveryFieldPasses) {
  StackMenuPage stack = LoadStackMenuPage(Settings());
  EXPECT_EQ(ExchangeStackMenuFields(stack, "20", "101", "> ").focus, Focus::kMaxCharNum);
  EXPECT_EQ(stack.maxHistoryNum, 50);
  EXPECT_EQ(ExchangeStackMenuFields(stack, "20", "40", std::string(21, 'q').c_str()).focus, Focus::kQuote);
  EXPECT_EQ(ExchangeStackMenuFields(stack, "20", "40", "#").focus, Focus::kNone);
  EXPECT_EQ(stack.maxHistoryNum, 20);
  EXPECT_EQ(stack.quote, "#");
  CustomMenuPage custom{};
  EXPECT_EQ(ExchangeCustomMenuFields(custom, "5001", "0").focus, Focus::kEncloseTimeLag);
  EXPECT_EQ(ExchangeCustomMenuFields(custom, "5000", "10001").focus, Focus::kKeyStrokeTimeLag);
  // Typed intervals may be negative; the loop count may not pass 1000.
  MacroPage macro = LoadMacroPage(Settings());
  EXPECT_EQ(ExchangeMacroFields(macro, "-5", "4000", "1001").focus, Focus::kLoopPlay);
  EXPECT_EQ(ExchangeMacroFields(macro, "-5", "4000", "1000").focus, Focus::kNone);
  EXPECT_EQ(macro.keyInterval, -5);
}

TEST(OptionChecks, GeneralAndStackMenuPages) {
  GeneralPage g = LoadGeneralPage(Settings(), 0);
  g.titleMenuOn = true;
  EXPECT_EQ(CheckGeneralPage(g).messageId, IDS_SELECT_TITLE_MENU);
  EXPECT_EQ(CheckGeneralPage(g).focus, Focus::kTitleMenuKind);
  g.titleMenuKind = 2;
  EXPECT_TRUE(CheckGeneralPage(g).ok());
  // The editor chooser starts in the setting's folder, or on the search path for a bare name.
  const EditorChooserStart bare = EditorChooserStartFor("Notepad.exe");
  const EditorChooserStart full = EditorChooserStartFor("C:\\Tools\\ed.exe");
  EXPECT_EQ(bare.folder + "|" + bare.fileName, "|Notepad.exe");
  EXPECT_EQ(full.folder + "|" + full.fileName, "C:\\Tools|ed.exe");

  const HotKey kCtrlAltK = {'K', kCA}, kNone = {0, 0};
  struct Row { int list; HotKey stack; HotKey clear; int id; };
  const Row rows[] = {
      {kOthersListIndex, kCtrlAltK, kCtrlAltK, IDS_SHORTCUTS_OVERLAP}, {kOthersListIndex, kNone, kNone, IDS_INPUT_USER_KEY},
      {kOthersListIndex, kNone, kCtrlAltK, IDS_INPUT_USER_KEY},       {kOthersListIndex, {'K', kHotKeyShift}, kCtrlAltK, 0},
      {kOthersListIndex, {'J', kCA}, kCtrlAltK, 0},
      {2, kCtrlAltK, kCtrlAltK, 0},  // a key left under [Ctrl]^2 triggers nothing
  };
  for (const Row& r : rows) {
    StackMenuPage p = LoadStackMenuPage(Settings());
    p.stackKey = {r.list, r.stack, kTriggerShortcut};
    p.clearHistory = r.clear;
    const CheckResult c = CheckStackMenuPage(p);
    EXPECT_EQ(c.messageId, r.id) << r.list << " " << r.stack.key;
    EXPECT_EQ(c.focus, r.id ? Focus::kStackHotKey : Focus::kNone);
  }
}

TEST(OptionChecks, CustomMenuPageNamesTheFirstFileOnTheSwitchKey) {
  FakeFiles files;
  files.present = {"C:\\Q\\a.txt", "C:\\Q\\b.txt", "C:\\Q\\c.txt"};
  Settings s;
  s.MenuFiles[0] = Set("C:\\Q\\a.txt", kTriggerShortcut, 'M', kModCtrl | kModAlt);
  s.MenuFiles[1] = Set("C:\\Q\\b.txt", kTriggerDoubleCtrl);
  s.MenuFiles[2] = Set("C:\\Q\\c.txt", kTriggerDoubleCtrl);
  struct Row { ShortcutField change; int id; const char* name; Focus focus; };
  const Row rows[] = {
      {{2, {0, 0}, 1}, IDS_SAME_AS_SWITCH_KEY, "b.txt", Focus::kMenuFileList},
      {{kOthersListIndex, {'M', kCA}, -2}, IDS_SAME_AS_SWITCH_KEY, "a.txt", Focus::kMenuFileList},
      {{kOthersListIndex, {'M', kHotKeyCtrl}, -2}, 0, "", Focus::kNone},
      {{kOthersListIndex, {0, 0}, -2}, IDS_INPUT_USER_KEY, "", Focus::kSwitchHotKey},
      {{3, {0, 0}, 2}, 0, "", Focus::kNone},
      {{0, {0, 0}, -1}, 0, "", Focus::kNone},
  };
  for (const Row& r : rows) {
    CustomMenuPage page = LoadCustomMenuPage(s, files);
    page.switchKey = r.change;
    const CheckResult c = CheckCustomMenuPage(page);
    EXPECT_EQ(c.messageId, r.id) << r.change.listIndex;
    EXPECT_EQ(c.argument, r.name);
    EXPECT_EQ(c.focus, r.focus);
  }
}

TEST(MenuFileListModel, FillDropsGoneFilesAndAddRefusesOrSelects) {
  testing::ScopedCodePage cp932(932);
  FakeFiles files;
  files.present = {"C:\\Q\\a.txt", "C:\\\x95\x5c\\c.txt"};  // 表, whose trail byte is a backslash
  Settings s;
  s.MenuFiles[0] = Set("C:\\Q\\a.txt", 0);
  s.MenuFiles[1] = Set("C:\\Q\\gone.txt", 1);
  s.MenuFiles[2] = Set("C:\\\x95\x5c\\c.txt", -2, 'K', 3);
  MenuFileList list = LoadCustomMenuPage(s, files).files;
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.DisplayName(1), "c.txt");
  EXPECT_EQ(list.Selection(), 0);
  EXPECT_EQ(list.SelectedFolderText("c:\\q"), "");
  list.Select(1);
  EXPECT_EQ(list.SelectedFolderText("C:\\Q"), "C:\\\x95\x5c");
  EXPECT_EQ(list.SelectedShortcut().listIndex, kOthersListIndex);
  EXPECT_EQ(list.SelectedShortcut().hotKey.modifiers, kCA);

  bool added = true;
  EXPECT_TRUE(list.Add("c:\\q\\A.TXT", &added));  // listed already, in other letter case
  EXPECT_FALSE(added);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Selection(), 0);
  const std::string longPath = "C:\\" + std::string(256, 'x') + ".t";  // 261 bytes
  EXPECT_FALSE(list.Add(longPath.c_str()));
  EXPECT_TRUE(list.Add(longPath.substr(0, 259).c_str(), &added));  // 259 and the terminator fit
  EXPECT_TRUE(added);
  // "gone.txt", kept aside, still holds one of the ten places.
  for (int i = 3; i < 9; ++i) EXPECT_TRUE(list.Add(("C:\\Q\\m" + std::to_string(i) + ".txt").c_str()));
  EXPECT_EQ(list.Selection(), 8);
  EXPECT_EQ(list.CheckCanAdd(), IDS_MENU_LIST_FULL);
  EXPECT_FALSE(list.Add("C:\\Q\\eleven.txt"));
  MenuFileSet out[kMenuFileSetCount];
  list.ToSets(out);
  EXPECT_STREQ(out[8].path, "C:\\Q\\m8.txt");
  EXPECT_EQ(out[8].trigger, kTriggerNone);
  EXPECT_STREQ(out[9].path, "C:\\Q\\gone.txt");
  EXPECT_EQ(out[9].trigger, 1);
}

TEST(MenuFileListModel, DeleteUpDownAndAttachKeepTheSelectionRules) {
  FakeFiles files;
  files.present = {"C:\\a", "C:\\b", "C:\\c"};
  Settings s;
  s.MenuFiles[0] = Set("C:\\a", 0);
  s.MenuFiles[1] = Set("C:\\b", 1);
  s.MenuFiles[2] = Set("C:\\c", 2);
  // An operation on the list "abc" with one selected: message, list and selection after.
  enum Op { kDelete, kUp, kDown };
  struct Row { Op op; int selected; int id; const char* after; int selection; };
  const Row rows[] = {
      {kDelete, -1, IDS_SELECT_DELETE_ITEM, "abc", -1}, {kDelete, 0, 0, "bc", 0}, {kDelete, 1, 0, "ac", 1},
      {kDelete, 2, 0, "ab", 1}, {kUp, -1, IDS_SELECT_MOVE_ITEM, "abc", -1}, {kUp, 0, 0, "abc", 0},
      {kUp, 2, 0, "acb", 1}, {kDown, -1, IDS_SELECT_MOVE_ITEM, "abc", -1}, {kDown, 2, 0, "abc", 2},
      {kDown, 0, 0, "bac", 1},
  };
  for (const Row& r : rows) {
    MenuFileList list = LoadCustomMenuPage(s, files).files;
    list.Select(r.selected);
    EXPECT_EQ(r.op == kDelete ? list.Delete() : r.op == kUp ? list.MoveUp() : list.MoveDown(), r.id);
    std::string names;
    for (int i = 0; i < list.Count(); ++i) names += list.DisplayName(i);
    EXPECT_EQ(names, r.after) << r.op << " " << r.selected;
    EXPECT_EQ(list.Selection(), r.selection) << r.op << " " << r.selected;
  }

  MenuFileList list = LoadCustomMenuPage(s, files).files;
  list.Select(1);
  EXPECT_EQ(list.Attach({-1, {0, 0}, 0}).messageId, IDS_SELECT_MENU_AND_KEY);
  EXPECT_EQ(list.Attach({kOthersListIndex, {0, 0}, 0}).focus, Focus::kMenuFileHotKey);
  EXPECT_EQ(list.Entry(1).trigger, kTriggerDoubleCtrl);
  // This control takes a bare key as it is.
  EXPECT_TRUE(list.Attach({kOthersListIndex, {0x24, kHotKeyExtended}, 0}).ok());
  EXPECT_EQ(list.Entry(1).trigger, kTriggerShortcut);
  EXPECT_EQ(list.Entry(1).key, 0x24);
  EXPECT_EQ(list.Entry(1).modifiers, 0);
  EXPECT_TRUE(list.Attach({0, {0, 0}, 0}).ok());
  EXPECT_EQ(list.Entry(1).trigger, kTriggerNone);
  list.Select(-1);
  EXPECT_EQ(list.Attach({1, {0, 0}, 0}).messageId, IDS_SELECT_MENU_AND_KEY);
}

TEST(SkipListModel, AddAndDeleteSelection) {
  SkipList list;
  list.Fill({"C:\\a.exe", "C:\\b.exe"});
  EXPECT_EQ(list.Delete(), IDS_SELECT_DELETE_ITEM);
  list.Add("C:\\tools\\a.exe");  // the same program name twice is allowed
  EXPECT_EQ(list.Selection(), 2);
  EXPECT_EQ(list.DisplayName(2), "a.exe");
  list.Select(1);
  const int selectionAfter[] = {1, 0, -1};
  for (int expected : selectionAfter) {
    EXPECT_EQ(list.Delete(), 0);
    EXPECT_EQ(list.Selection(), expected);
  }
}

PasteProgram Program(const char* name, int32_t method) {
  PasteProgram p;
  std::memset(&p, 0, sizeof p);
  std::strncpy(p.program, name, sizeof p.program - 1);
  p.method = method;
  return p;
}

// Each refusal names its reason in the sentence the page shows, and leaves
// the list and its selection as they were.
TEST(PasteMethodListModel, AddRefusesWhatNoListCouldHoldWithItsReason) {
  PasteMethodList list;
  list.Fill({Program("conhost.exe", kPasteType), Program("putty.exe", kPasteShiftInsert)});
  list.Select(1);
  struct Row {
    std::string name;
    int32_t method;
    const char* reason;
  };
  const Row rows[] = {
      {"C:\\bin\\term.exe", kPasteType, "without a folder"},
      {"PUTTY.EXE", kPasteCtrlV, "PUTTY.EXE is on the list already."},
      {"  conhost.exe ", kPasteCtrlV, "conhost.exe is on the list already."},
      {"", kPasteType, "names no program"},
      {"   ", kPasteType, "names no program"},
      {"a?.exe", kPasteType, "no file name has"},
      {std::string(kPasteProgramBytes, 'a'), kPasteType, "characters at most"},
      {"new.exe", -1, "choose how"},
      {"new.exe", kPasteMethodCount, "choose how"},
  };
  for (const Row& row : rows) {
    std::string why;
    EXPECT_FALSE(list.Add(row.name, row.method, why)) << row.name;
    EXPECT_NE(why.find(row.reason), std::string::npos) << row.name << ": " << why;
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Selection(), 1);
  }
}

TEST(PasteMethodListModel, AddTrimsAndSelectsChangeAndRemoveActOnTheSelection) {
  PasteMethodList list;
  list.Fill({Program("conhost.exe", kPasteType), Program("wineconsole.exe", kPasteType)});
  EXPECT_EQ(list.Selection(), -1);
  EXPECT_EQ(list.ChangeMethod(kPasteCtrlV), IDS_SELECT_PASTE_PROGRAM);
  EXPECT_EQ(list.Remove(), IDS_SELECT_DELETE_ITEM);
  std::string why;
  ASSERT_TRUE(list.Add(" wt.exe\t", kPasteCtrlShiftV, why)) << why;
  EXPECT_EQ(list.Selection(), 2);
  EXPECT_STREQ(list.Entry(2).program, "wt.exe");
  EXPECT_EQ(list.DisplayText(2), "wt.exe\tCtrl+Shift+V");
  list.Select(0);
  EXPECT_EQ(list.ChangeMethod(-1), IDS_SELECT_PASTE_PROGRAM);
  EXPECT_EQ(list.ChangeMethod(kPasteCtrlY), 0);
  EXPECT_EQ(list.Entry(0).method, kPasteCtrlY);
  EXPECT_EQ(list.Entry(1).method, kPasteType) << "only the selected entry changes";
  list.Select(2);
  const int selectionAfter[] = {1, 0, -1};
  for (int expected : selectionAfter) {
    EXPECT_EQ(list.Remove(), 0);
    EXPECT_EQ(list.Selection(), expected);
  }
  EXPECT_EQ(list.Count(), 0);
}

// A name left in the field as the page is left: nothing, blanks, or a listed
// program (the selected entry shows there) pass; a name never added is told.
TEST(PasteMethodListModel, NameTypedButNeverAddedIsToldAsThePageIsLeft) {
  PasteMethodList list;
  list.Fill({Program("putty.exe", kPasteShiftInsert)});
  struct Row {
    const char* field;
    int message;
    const char* shown;
  };
  const Row rows[] = {
      {"", 0, ""},
      {"  \t", 0, ""},
      {"putty.exe", 0, "putty.exe"},
      {" PuTTY.EXE ", 0, "PuTTY.EXE"},
      {"mintty.exe", IDS_PASTE_PROGRAM_NOT_ADDED, "mintty.exe"},
      {" C:\\bin\\x.exe ", IDS_PASTE_PROGRAM_NOT_ADDED, "C:\\bin\\x.exe"},
  };
  for (const Row& row : rows) {
    std::string shown = "unchanged";
    EXPECT_EQ(list.CheckNameLeft(row.field, shown), row.message) << row.field;
    EXPECT_EQ(shown, row.shown) << row.field;
  }
}

// Records the calls of OK in order, for a writer and for the effects alike.
struct Recorder : OptionsWriter, OptionsEffects {
  std::vector<std::string> calls;
  bool resizeWorks = true;
  void Note(std::string s) { calls.push_back(std::move(s)); }
  void WriteNumber(const char* key, int32_t v) override { Note(std::string(key) + "=" + std::to_string(v)); }
  void WriteText(const char* key, const std::string& v) override { Note(std::string(key) + "=" + v); }
  void CreateStartupShortcut() override { Note("create shortcut"); }
  void DeleteStartupShortcut() override { Note("delete shortcut"); }
  void ReplaceMenuFileSets(const MenuFileSet (&s)[kMenuFileSetCount]) override {
    Note(std::string("sets ") + s[0].path + "," + s[1].path + "," + s[2].path);
  }
  void ReplaceSkipApps(const std::vector<std::string>& apps) override { Note("skip " + std::to_string(apps.size())); }
  void ReplacePastePrograms(const std::vector<PasteProgram>& programs) override {
    std::string text = "paste";
    for (const PasteProgram& p : programs) text += std::string(" ") + p.program + "=" + PasteMethodName(p.method);
    Note(text);
  }
  void SetQuote(const std::string& q) override { Note("quote " + q); }
  void SetDispTopMost(bool on) override { Note(on ? "topmost" : "not topmost"); }
  void PublishQuote(const char* q) override { Note(std::string("g_szQuote ") + q); }
  void SetTopMost(bool on) override { Note(on ? "window topmost" : "window not topmost"); }
  void ResizeHistory(int32_t n) override { Note("resize " + std::to_string(n)); }
  bool ResizeHistoryStore(int32_t n) override {
    Note("store resize " + std::to_string(n));
    return resizeWorks;
  }
};

TEST(PasteMethodListModel, FullListRefusesTheNextAndOkHandsTheListToTheSettings) {
  Settings s;
  for (size_t i = 0; i < kMaxPastePrograms; ++i) {
    s.PastePrograms.push_back(Program(("p" + std::to_string(i) + ".exe").c_str(), kPasteCtrlV));
  }
  FakeFiles files;
  const OptionPages loaded = LoadOptionPages(s, files, 0);
  OptionPages e = loaded;
  std::string why;
  EXPECT_FALSE(e.pasteMethods.programs.Add("one-more.exe", kPasteType, why));
  EXPECT_NE(why.find("at most"), std::string::npos) << why;
  e.pasteMethods.programs.Select(0);
  ASSERT_EQ(e.pasteMethods.programs.Remove(), 0);
  ASSERT_TRUE(e.pasteMethods.programs.Add("one-more.exe", kPasteType, why)) << why;
  Recorder effects;
  SettingsWriter writer(s, effects);
  WriteBackSheet(loaded, e, writer);
  ASSERT_EQ(s.PastePrograms.size(), kMaxPastePrograms);
  EXPECT_STREQ(s.PastePrograms.front().program, "p1.exe");
  EXPECT_STREQ(s.PastePrograms.back().program, "one-more.exe");
  EXPECT_EQ(s.PastePrograms.back().method, kPasteType);
}

TEST(OptionsWriteBack, OkWritesEverySettingInPageOrder) {
  FakeFiles files;
  files.present = {"C:\\Q\\MenuItem.txt"};
  Settings s;
  s.MenuFiles[0] = Set("C:\\Q\\MenuItem.txt", 0);
  s.MenuFiles[1] = Set("C:\\Q\\MenuHelp.txt", -2, 'M', 3);  // its file is not found: kept behind the list
  s.SkipApps = {"C:\\x.exe"};
  const OptionPages loaded = LoadOptionPages(s, files, 0);
  OptionPages e = loaded;
  e.customMenu.files.Add("C:\\Q\\new.txt");
  e.fileDlgEx.skipApps.Add("C:\\y.exe");
  e.general.menuPos = 2;
  e.general.launchWithWindows = true;
  e.general.titleMenuOn = true;
  e.general.titleMenuKind = 1;
  e.general.editor = "C:\\ed.exe";
  SelectShortcutListEntry(e.customMenu.switchKey, kOthersListIndex);
  e.customMenu.switchKey.hotKey = {0x2E, kHotKeyShift | kHotKeyExtended};
  e.stackMenu.maxHistoryNum = 80;
  e.stackMenu.quote = "# ";
  e.macro.dispTopMost = false;
  e.fileDlgEx.sameContents = false;
  std::string why;
  ASSERT_TRUE(e.pasteMethods.programs.Add("putty.exe", kPasteShiftInsert, why)) << why;
  Recorder w;
  WriteBackSheet(loaded, e, w);
  const std::vector<std::string> expected = {
      "sets C:\\Q\\MenuItem.txt,C:\\Q\\new.txt,C:\\Q\\MenuHelp.txt", "skip 2", "MenuPos=2", "PasteCmd=0",
      "CutCmd=0", "create shortcut", "CopyOnly=0", "ResetCursor=0", "TitleMenu=2", "Editor=C:\\ed.exe",
      "ChangeKey=-2", "ChangeSpecKey=46", "ChangeSpecMod=4", "EncloseTimeLag=300", "KeyStrokeTimeLag=100",
      "CutLastRet=1", "StackKey=1", "StackSpecKey=0", "StackSpecMod=0", "resize 80", "MaxCharNum=30",
      "KeyClearHist=75", "ModClearHist=3", "MoveStackTop=0", "SaveHist=1", "SkipWord=1", "SkipTopSpace=0",
      "quote # ", "CutLastRet2=1", "PlayStyle=0", "KeyInterval=100", "MouseInterval=20", "LoopPlay=1",
      "RecKey=1", "RecMouse=1", "CutMouseMove=0", "MessageBeep=0", "not topmost", "DirHistShare=0",
      "paste putty.exe=Shift+Insert",
  };
  EXPECT_EQ(w.calls, expected);

  // The macro sheet writes the Macro page alone.
  Recorder m;
  WriteBackMacroPage(loaded.macro, loaded.macro, m);
  EXPECT_EQ(m.calls, std::vector<std::string>(expected.end() - 11, expected.end() - 3));
}

TEST(OptionsWriteBack, StartupShortcutFollowsTheStateFoundAtOpening) {
  struct Row { int state; bool box; const char* call; };
  const Row rows[] = {{0, true, "create shortcut"}, {1, false, "delete shortcut"}, {0, false, "CopyOnly=0"},
                      {1, true, "CopyOnly=0"},      {-1, true, "CopyOnly=0"},      {-1, false, "CopyOnly=0"}};
  for (const Row& r : rows) {
    FakeFiles files;
    const OptionPages loaded = LoadOptionPages(Settings(), files, r.state);
    EXPECT_EQ(loaded.general.launchWithWindows, r.state == 1);
    OptionPages e = loaded;
    e.general.launchWithWindows = r.box;
    Recorder w;
    WriteBackSheet(loaded, e, w);
    EXPECT_EQ(w.calls.at(4), r.call) << r.state << r.box;  // after the skip list and the three menu settings
  }
}

TEST(OptionsWriteBack, OkLeavesWhatChangedMeanwhileWithoutTheSheetAlone) {
  // Opened with the icon hidden and three menu files; meanwhile a second
  // start showed the icon again and the chooser moved the third set first.
  FakeFiles files;
  files.present = {"C:\\a", "C:\\b", "C:\\c"};
  Settings s;
  s.HideIcon = true;
  s.MenuFiles[0] = Set("C:\\a", 0);
  s.MenuFiles[1] = Set("C:\\b", -1);
  s.MenuFiles[2] = Set("C:\\c", 1);
  const OptionPages loaded = LoadOptionPages(s, files, 0);
  s.HideIcon = false;
  ASSERT_TRUE(settings::MoveMenuFileSetToTop(s.MenuFiles, 2));
  OptionPages e = loaded;
  e.general.menuPos = 2;  // the user changed something else
  Recorder effects;
  {
    Settings after = s;
    SettingsWriter writer(after, effects);
    WriteBackSheet(loaded, e, writer);
    EXPECT_FALSE(after.HideIcon) << "OK hid the icon the second start brought back";
    EXPECT_STREQ(after.MenuFiles[0].path, "C:\\c") << "OK put back the order the sheet had loaded";
    EXPECT_EQ(after.MenuPos, 2);
  }
  // What the user did change on the sheet is written as before.
  e.general.hideIcon = false;
  e.customMenu.files.Select(1);
  ASSERT_EQ(e.customMenu.files.MoveUp(), 0);
  Settings after = s;
  after.HideIcon = true;
  SettingsWriter writer(after, effects);
  WriteBackSheet(loaded, e, writer);
  EXPECT_FALSE(after.HideIcon);
  EXPECT_STREQ(after.MenuFiles[0].path, "C:\\b");
  EXPECT_STREQ(after.MenuFiles[1].path, "C:\\a");
}

TEST(MenuFileListModel, SetsWhoseFileIsNotFoundSurviveOk) {
  // The share and the stick may be away while the sheet is open: listed in
  // their places without a look, which could wait for a network time-out. A
  // file that went from a fixed disk is kept aside, behind the list.
  FakeFiles files;
  files.present = {"C:\\Q\\a.txt", "C:\\Q\\c.txt"};
  Settings s;
  s.MenuFiles[0] = Set("\\\\server\\share\\net.txt", -2, 'N', 3);
  s.MenuFiles[1] = Set("C:\\Q\\a.txt", 0);
  s.MenuFiles[2] = Set("E:\\stick.txt", 1);
  s.MenuFiles[3] = Set("C:\\Q\\gone.txt", 3, 'G', 3);
  s.MenuFiles[4] = Set("C:\\Q\\c.txt", 2);
  const OptionPages loaded = LoadOptionPages(s, files, 0);
  const std::vector<std::string> looked = {"C:\\Q\\a.txt", "C:\\Q\\gone.txt", "C:\\Q\\c.txt"};
  EXPECT_EQ(files.looked, looked);
  ASSERT_EQ(loaded.customMenu.files.Count(), 4);
  EXPECT_EQ(loaded.customMenu.files.DisplayName(0), "net.txt");
  EXPECT_EQ(loaded.customMenu.files.DisplayName(2), "stick.txt");
  EXPECT_FALSE(loaded.customMenu.files.Edited());
  // Something else changed: the sets stay exactly as they were.
  OptionPages e = loaded;
  e.stackMenu.maxCharNum = 40;
  Recorder untouched;
  WriteBackSheet(loaded, e, untouched);
  for (const std::string& call : untouched.calls) EXPECT_NE(call.rfind("sets ", 0), 0u) << call;
  // The list edited: the listed sets in their new order, then the one aside.
  ASSERT_TRUE(e.customMenu.files.Add("C:\\Q\\new.txt"));
  EXPECT_TRUE(e.customMenu.files.Edited());
  MenuFileSet out[kMenuFileSetCount];
  e.customMenu.files.ToSets(out);
  const char* expected[] = {"\\\\server\\share\\net.txt", "C:\\Q\\a.txt", "E:\\stick.txt", "C:\\Q\\c.txt",
                            "C:\\Q\\new.txt", "C:\\Q\\gone.txt", ""};
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_STREQ(out[i].path, expected[i]) << i;
  EXPECT_EQ(out[0].key, 'N');
  EXPECT_EQ(out[5].key, 'G');
}

// The set kept aside takes its place among the ten: the list cannot grow
// over it, and choosing its file again brings it back once, with its key.
TEST(MenuFileListModel, SetsKeptAsideCountAndComeBackOnce) {
  FakeFiles files;
  files.present = {"C:\\Q\\a.txt"};
  Settings s;
  s.MenuFiles[0] = Set("C:\\Q\\gone.txt", -2, 'G', 3);
  s.MenuFiles[1] = Set("C:\\Q\\a.txt", 0);
  MenuFileList list = LoadCustomMenuPage(s, files).files;
  ASSERT_EQ(list.Count(), 1);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(list.Add(("C:\\Q\\m" + std::to_string(i)).c_str()));
  EXPECT_EQ(list.CheckCanAdd(), IDS_MENU_LIST_FULL);
  EXPECT_FALSE(list.Add("C:\\Q\\m8"));
  MenuFileSet out[kMenuFileSetCount];
  list.ToSets(out);
  EXPECT_STREQ(out[9].path, "C:\\Q\\gone.txt") << "filling the list dropped the set kept aside";

  // Back on the disk and chosen again (in other letter case): listed once.
  ASSERT_EQ(list.Delete(), 0);
  bool added = false;
  ASSERT_TRUE(list.Add("c:\\q\\GONE.TXT", &added));
  EXPECT_TRUE(added);
  EXPECT_EQ(list.Selection(), list.Count() - 1);
  EXPECT_EQ(list.DisplayName(list.Selection()), "gone.txt");
  EXPECT_EQ(list.SelectedShortcut().listIndex, kOthersListIndex);
  list.ToSets(out);
  int copies = 0;
  const char* gone = "C:\\Q\\gone.txt";
  for (const MenuFileSet& set : out) copies += settings::EqualIgnoringCase(set.path, std::strlen(set.path), gone, std::strlen(gone));
  EXPECT_EQ(copies, 1);
  EXPECT_EQ(list.CheckCanAdd(), 0);
}

TEST(OptionChecks, ShortcutsAcrossThePagesNeverShareAKey) {
  // Hot-key control bits for the pages, RegisterHotKey bits for the files.
  const HotKey kShiftK = {'K', kHotKeyShift}, kCtrlAltK = {'K', kCA}, kCtrlAltJ = {'J', kCA}, kNone = {0, 0};
  const HotKey kCtrlShiftK = {'K', kHotKeyCtrl | kHotKeyShift}, kAltF5 = {0x74, kHotKeyAlt};
  constexpr uint16_t kRegCA = kModCtrl | kModAlt;
  struct Row {
    const char* what;
    HotKey clear;
    ShortcutField stack;
    ShortcutField change;
    MenuFileSet file;
    SheetPage leaving;
    Focus focus;  // kNone: passes
  };
  const ShortcutField stackCtrl2 = {2, {0, 0}, 1}, changeAltShift2 = {3, {0, 0}, 2};
  const MenuFileSet plain = Set("C:\\Q\\a.txt", 0);
  const Row rows[] = {
      {"defaults", kCtrlAltK, stackCtrl2, changeAltShift2, plain, SheetPage::kStackMenu, Focus::kNone},
      {"clear key without Ctrl or Alt", kShiftK, stackCtrl2, changeAltShift2, plain, SheetPage::kStackMenu,
       Focus::kClearHistoryHotKey},
      {"clear key with Ctrl", kCtrlShiftK, stackCtrl2, changeAltShift2, plain, SheetPage::kStackMenu, Focus::kNone},
      {"clear key with Alt", kAltF5, stackCtrl2, changeAltShift2, plain, SheetPage::kStackMenu, Focus::kNone},
      {"no clear key", kNone, stackCtrl2, changeAltShift2, plain, SheetPage::kStackMenu, Focus::kNone},
      {"clear key is the chooser's", kCtrlAltK, stackCtrl2, {kOthersListIndex, kCtrlAltK, -2}, plain,
       SheetPage::kStackMenu, Focus::kClearHistoryHotKey},
      {"clear key is a menu file's", kCtrlAltK, stackCtrl2, changeAltShift2, Set("C:\\Q\\a.txt", -2, 'K', kRegCA),
       SheetPage::kStackMenu, Focus::kClearHistoryHotKey},
      {"menu file on the clear key, left from its page", kCtrlAltK, stackCtrl2, changeAltShift2,
       Set("C:\\Q\\a.txt", -2, 'K', kRegCA), SheetPage::kCustomMenu, Focus::kMenuFileList},
      {"chooser on the clear key, left from its page", kCtrlAltK, stackCtrl2, {kOthersListIndex, kCtrlAltK, -2},
       plain, SheetPage::kCustomMenu, Focus::kSwitchHotKey},
      {"menu file key under another kind counts for nothing", kCtrlAltK, stackCtrl2, changeAltShift2,
       Set("C:\\Q\\a.txt", 0, 'K', kRegCA), SheetPage::kCustomMenu, Focus::kNone},
      {"stack key is a menu file's", kCtrlAltJ, {kOthersListIndex, kCtrlAltK, -2}, changeAltShift2,
       Set("C:\\Q\\a.txt", -2, 'K', kRegCA), SheetPage::kStackMenu, Focus::kStackHotKey},
      {"chooser on the stack key", kCtrlAltJ, {kOthersListIndex, kCtrlAltK, -2}, {kOthersListIndex, kCtrlAltK, -2},
       plain, SheetPage::kCustomMenu, Focus::kSwitchHotKey},
      {"same key, other modifiers", kCtrlAltK, stackCtrl2, {kOthersListIndex, kCtrlShiftK, -2},
       Set("C:\\Q\\a.txt", -2, 'K', kModCtrl | kModShift | kModAlt), SheetPage::kCustomMenu, Focus::kNone},
  };
  for (const Row& r : rows) {
    Settings s;
    s.MenuFiles[0] = r.file;
    FakeFiles files;
    files.present = {"C:\\Q\\a.txt"};
    OptionPages pages = LoadOptionPages(s, files, 0);
    pages.stackMenu.clearHistory = r.clear;
    pages.stackMenu.stackKey = r.stack;
    pages.customMenu.switchKey = r.change;
    const CheckResult c = CheckShortcutsAcrossPages(pages.customMenu, pages.stackMenu, r.leaving);
    EXPECT_EQ(c.focus, r.focus) << r.what;
    EXPECT_EQ(c.messageId, r.focus == Focus::kNone ? 0 : IDS_SHORTCUTS_OVERLAP) << r.what;
  }
}

// Every key as SaveSettings writes it, to compare two settings whole.
struct SavedKeys : settings::SettingsStore {
  std::vector<std::string> values;
  int32_t ReadInt(const char*, const char*, int32_t f) override { return f; }
  std::string ReadString(const char*, const char*, const char* f) override { return f; }
  bool WriteInt(const char*, const char* k, int32_t v) override {
    values.push_back(k + ("=" + std::to_string(v)));
    return true;
  }
  bool WriteString(const char*, const char* k, const char* v) override {
    values.push_back(k + ("=" + std::string(v)));
    return true;
  }
  bool DeleteSection(const char*) override { return true; }
  explicit SavedKeys(const Settings& s) { settings::SaveSettings(*this, "C:\\Q", s); }
};

TEST(OptionsWriteBack, OkWithoutChangesKeepsEverySetting) {
  FakeFiles files;
  files.present = {"C:\\Q\\a.txt", "C:\\b.txt"};
  Settings s;
  s.MenuFiles[0] = Set("C:\\Q\\a.txt", kTriggerMuhenkan);  // no list entry: kept as it is
  s.MenuFiles[1] = Set("C:\\b.txt", -2, 0x21, kModShift);
  s.ChangeKey = kTriggerRightCtrl;
  s.StackKey = kTriggerShortcut;
  s.StackSpecKey = 0x2D;
  s.StackSpecMod = kModAlt | kModShift;
  s.KeyClearHist = 0x2E;
  s.ModClearHist = kModCtrl;
  s.TitleMenu = 3;
  s.MenuPos = 1;
  s.PasteCmd = 2;
  s.QuoteChar = "| ";
  s.SkipApps = {"C:\\x.exe", "C:\\x.exe"};
  s.PlayStyle = 1;
  s.KeyInterval = -3;
  s.LoopPlay = 7;
  s.DispTopMost = s.DirHistShare = s.CutLastRet = s.CutLastRet2 = s.SaveHist = s.SkipWord = s.RecKey = false;
  s.CopyOnly = s.ResetCursor = s.HideIcon = s.MoveStackTop = s.SkipTopSpace = s.CutMouseMove = s.MessageBeep = true;
  const OptionPages loaded = LoadOptionPages(s, files, 1);
  Settings after = s;
  Recorder effects;
  SettingsWriter writer(after, effects);
  WriteBackSheet(loaded, loaded, writer);
  EXPECT_EQ(SavedKeys(after).values, SavedKeys(s).values);
  EXPECT_EQ(effects.calls, std::vector<std::string>{"g_szQuote | "});

  // What goes beyond the members: a refused resize leaves the setting.
  effects.resizeWorks = false;
  writer.ResizeHistory(80);
  EXPECT_EQ(after.MaxHistoryNum, 50);
  effects.resizeWorks = true;
  writer.ResizeHistory(80);
  EXPECT_EQ(after.MaxHistoryNum, 80);
  writer.SetQuote(std::string(25, 'q'));
  writer.SetDispTopMost(true);
  EXPECT_TRUE(after.DispTopMost);
  const std::vector<std::string> calls = {"g_szQuote | ", "store resize 80", "store resize 80",
                                          "g_szQuote " + std::string(20, 'q'), "window topmost"};
  EXPECT_EQ(effects.calls, calls);
}

}  // namespace
}  // namespace quillo::options
