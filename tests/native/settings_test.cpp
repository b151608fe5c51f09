// The settings model against an in-memory store: defaults, the menu-file set
// rules, the quote mark, the reorder of the chooser, key texts, the values
// for the shared block, and what a damaged store holds.
#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "code_page.h"

namespace quillo::settings {
namespace {

using testing::ScopedCodePage;

// A store of typed values, like the registry: an int key read as a text (or
// the other way round) is a value of the wrong type and reads as the fallback.
class FakeStore : public SettingsStore {
 public:
  struct Value {
    bool isText;
    int32_t number;
    std::string text;
    bool operator==(const Value& o) const { return isText == o.isText && number == o.number && text == o.text; }
  };
  using Key = std::pair<std::string, std::string>;

  int32_t ReadInt(const char* section, const char* key, int32_t fallback) override {
    auto it = values.find({section, key});
    return (it == values.end() || it->second.isText) ? fallback : it->second.number;
  }
  std::string ReadString(const char* section, const char* key, const char* fallback) override {
    auto it = values.find({section, key});
    return (it == values.end() || !it->second.isText) ? fallback : it->second.text;
  }
  // A value named in `failing` is refused, as a full or locked store refuses it.
  bool WriteInt(const char* section, const char* key, int32_t value) override {
    order.push_back({section, key});
    if (failing.count({section, key}) != 0) return false;
    values[{section, key}] = {false, value, ""};
    return true;
  }
  bool WriteString(const char* section, const char* key, const char* value) override {
    order.push_back({section, key});
    if (failing.count({section, key}) != 0) return false;
    values[{section, key}] = {true, 0, value};
    return true;
  }
  bool DeleteSection(const char* section) override {
    order.push_back({section, "<deleted>"});
    if (failing.count({section, "<deleted>"}) != 0) return false;
    for (auto it = values.begin(); it != values.end();) {
      it = it->first.first == section ? values.erase(it) : std::next(it);
    }
    return true;
  }

  void Int(const char* section, const std::string& key, int32_t v) { values[{section, key}] = {false, v, ""}; }
  void Str(const char* section, const std::string& key, const std::string& v) { values[{section, key}] = {true, 0, v}; }

  // The stored value, or a text "<missing>" when there is none.
  Value Get(const std::string& section, const std::string& key) const {
    auto it = values.find({section, key});
    return it == values.end() ? Value{true, 0, "<missing>"} : it->second;
  }
  bool Has(const std::string& section, const std::string& key) const { return values.count({section, key}) != 0; }

  std::map<Key, Value> values;
  std::vector<Key> order;
  std::set<Key> failing;
};

// Files on the fixed disks; paths that begin with a text of `away` may only
// be away (a share, a stick), and looking at them is counted as a fault.
class FakeFiles : public FileProbe {
 public:
  explicit FakeFiles(std::set<std::string> present = {}, std::vector<std::string> away = {})
      : present_(std::move(present)), away_(std::move(away)) {}
  bool FileExists(const char* path) override {
    if (MayBeAway(path)) ++lookedAway;
    return present_.count(path) != 0;
  }
  bool MayBeAway(const char* path) override {
    for (const std::string& prefix : away_) {
      if (std::string(path).rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  int lookedAway = 0;

 private:
  std::set<std::string> present_;
  std::vector<std::string> away_;
};

// Key names as a keyboard layout gives them; remembers what it was asked.
class FakeKeyNames : public KeyNameSource {
 public:
  uint32_t ScanCode(uint32_t vk) noexcept override { return vk == 'K' ? 0x25 : vk == 0x2E ? 0x53 : vk == 'M' ? 0x32 : 0x10; }
  size_t KeyName(int32_t lParam, char* out, size_t outSize) noexcept override {
    lastLParam = lParam;
    const uint32_t scan = (static_cast<uint32_t>(lParam) >> 16) & 0xFF;
    const bool ext = (static_cast<uint32_t>(lParam) & 0x01000000u) != 0;
    std::string name = scan == 0x25 ? "K" : scan == 0x53 ? (ext ? "Delete" : "Num Del") : scan == 0x32 ? "M" : "";
    if (!nameOverride.empty()) name = nameOverride;
    std::snprintf(out, outSize, "%s", name.c_str());
    return name.size();
  }
  int32_t lastLParam = -1;
  std::string nameOverride;
};

const std::string kFolder = "C:\\Prog\\Quillo";

Settings LoadFrom(FakeStore& store, FakeFiles files = FakeFiles()) {
  Settings s;
  LoadSettings(store, kFolder, files, s);
  return s;
}

// ---- Defaults ----

struct DefaultRow {
  const char* section;
  const char* key;
  bool isText;
  int32_t number;
  const char* text;
};

// Every key a fresh user gets, with its type, in the order it is written.
const DefaultRow kDefaults[] = {
    {"General", "Editor", true, 0, "Notepad.exe"},
    {"General", "MenuPos", false, 0, nullptr},
    {"General", "PasteCmd", false, 0, nullptr},
    {"General", "CutCmd", false, 0, nullptr},
    {"General", "EncloseTimeLag", false, 300, nullptr},
    {"General", "KeyStrokeTimeLag", false, 100, nullptr},
    {"General", "MaxHistoryNum", false, 50, nullptr},
    {"General", "MaxCharNum", false, 30, nullptr},
    {"General", "MoveStackTop", false, 0, nullptr},
    {"General", "SkipTopSpace", false, 0, nullptr},
    {"General", "DirectPaste", false, 0, nullptr},
    {"General", "KeyClearHist", false, 75, nullptr},
    {"General", "ModClearHist", false, 3, nullptr},
    {"General", "SaveHist", false, 1, nullptr},
    {"General", "SkipWord", false, 1, nullptr},
    {"General", "Suspend", false, 0, nullptr},
    {"General", "SuspendHist", false, 0, nullptr},
    {"General", "SuspendDirHist", false, 0, nullptr},
    {"General", "HideIcon", false, 0, nullptr},
    {"General", "ChangeKey", false, 2, nullptr},
    {"General", "ChangeSpecKey", false, 0, nullptr},
    {"General", "ChangeSpecMod", false, 0, nullptr},
    {"General", "StackKey", false, 1, nullptr},
    {"General", "StackSpecKey", false, 0, nullptr},
    {"General", "StackSpecMod", false, 0, nullptr},
    {"General", "CutLastRet", false, 1, nullptr},
    {"General", "CutLastRet2", false, 1, nullptr},
    {"General", "CopyOnly", false, 0, nullptr},
    {"General", "ResetCursor", false, 0, nullptr},
    {"General", "ImeAdjust", false, 0, nullptr},
    {"General", "TitleMenu", false, 0, nullptr},
    {"General", "DirHistShare", false, 1, nullptr},
    {"General", "QuoteChar", true, 0, "> "},
    {"MenuFileSet", "MenuFile0", true, 0, "MenuItem.txt"},
    {"MenuFileSet", "MenuFile0-Preset", false, 0, nullptr},
    {"MenuFileSet", "MenuFile0-Key", false, 0, nullptr},
    {"MenuFileSet", "MenuFile1", true, 0, "MenuHelp.txt"},
    {"MenuFileSet", "MenuFile1-Preset", false, -2, nullptr},
    {"MenuFileSet", "MenuFile1-Key", false, 77 + 3 * 65536, nullptr},
    // MenuFile2 .. MenuFile9 are checked in a loop below.
    {"Macro", "CurMacroName", true, 0, ""},
    {"Macro", "PlayStyle", false, 0, nullptr},
    {"Macro", "KeyInterval", false, 100, nullptr},
    {"Macro", "MouseInterval", false, 20, nullptr},
    {"Macro", "LoopPlay", false, 1, nullptr},
    {"Macro", "RecKey", false, 1, nullptr},
    {"Macro", "RecMouse", false, 1, nullptr},
    {"Macro", "CutMouseMove", false, 0, nullptr},
    {"Macro", "DispTopMost", false, 1, nullptr},
    {"Macro", "MessageBeep", false, 0, nullptr},
};

TEST(SettingsDefaults, FreshUserSavesEveryKeyWithItsDefaultAndType) {
  FakeStore empty;
  const Settings s = LoadFrom(empty);
  FakeStore saved;
  SaveSettings(saved, kFolder, s);
  for (const DefaultRow& row : kDefaults) {
    const auto it = saved.values.find({row.section, row.key});
    ASSERT_NE(it, saved.values.end()) << row.section << "/" << row.key;
    EXPECT_EQ(it->second.isText, row.isText) << row.key;
    if (row.isText) {
      EXPECT_EQ(it->second.text, row.text) << row.key;
    } else {
      EXPECT_EQ(it->second.number, row.number) << row.key;
    }
  }
  for (int n = 2; n < 10; ++n) {
    const std::string base = "MenuFile" + std::to_string(n);
    EXPECT_EQ(saved.Get("MenuFileSet", base), (FakeStore::Value{true, 0, ""})) << base;
    EXPECT_EQ(saved.Get("MenuFileSet", base + "-Preset"), (FakeStore::Value{false, -1, ""})) << base;
    EXPECT_EQ(saved.Get("MenuFileSet", base + "-Key"), (FakeStore::Value{false, 0, ""})) << base;
  }
  // The paste methods: the count and the two consoles.
  EXPECT_EQ(saved.Get(kPasteMethodSection, "Count"), (FakeStore::Value{false, 2, ""}));
  EXPECT_EQ(saved.Get(kPasteMethodSection, "Program0").text, "conhost.exe=Type");
  EXPECT_EQ(saved.Get(kPasteMethodSection, "Program1").text, "wineconsole.exe=Type");
  // Nothing beyond the tables: 49 rows minus the six set rows, plus thirty set
  // keys and the three of the paste methods.
  EXPECT_EQ(saved.values.size(), std::size(kDefaults) - 6 + 30 + 3);
}

TEST(SettingsDefaults, SaveWritesTheSectionsInTableOrder) {
  FakeStore empty;
  FakeStore saved;
  SaveSettings(saved, kFolder, LoadFrom(empty));
  std::vector<std::string> general;
  for (const auto& k : saved.order) {
    if (k.first == "General") general.push_back(k.second);
  }
  std::vector<std::string> expected;
  for (const DefaultRow& row : kDefaults) {
    if (std::string(row.section) == "General") expected.push_back(row.key);
  }
  EXPECT_EQ(general, expected);
  // Sections: General, then the menu-file sets, the skip list and the paste
  // methods (each cleared first), Macro.
  std::vector<std::string> sections;
  for (const auto& k : saved.order) {
    if (sections.empty() || sections.back() != k.first) sections.push_back(k.first);
  }
  EXPECT_EQ(sections, (std::vector<std::string>{"General", "MenuFileSet", "SkipAppList", "PasteMethods", "Macro"}));
}

TEST(SettingsDefaults, FreshUserGetsTheTwoDefaultMenuFileSets) {
  FakeStore empty;
  const Settings s = LoadFrom(empty);
  EXPECT_STREQ(s.MenuFiles[0].path, "C:\\Prog\\Quillo\\MenuItem.txt");
  EXPECT_EQ(s.MenuFiles[0].trigger, kTriggerDoubleShift);
  EXPECT_EQ(s.MenuFiles[0].key, 0);
  EXPECT_STREQ(s.MenuFiles[1].path, "C:\\Prog\\Quillo\\MenuHelp.txt");
  EXPECT_EQ(s.MenuFiles[1].trigger, kTriggerShortcut);
  EXPECT_EQ(s.MenuFiles[1].key, 'M');
  EXPECT_EQ(s.MenuFiles[1].modifiers, kModCtrl | kModAlt);
  for (int i = 2; i < kMenuFileSetCount; ++i) {
    EXPECT_STREQ(s.MenuFiles[i].path, "") << i;
    EXPECT_EQ(s.MenuFiles[i].trigger, kTriggerNone) << i;
  }
}

TEST(SettingsLoad, StoredValuesReplaceTheDefaults) {
  FakeStore store;
  store.Str("General", "Editor", "C:\\Tools\\ed.exe");
  store.Int("General", "MenuPos", 2);
  store.Int("General", "MaxHistoryNum", 100);
  store.Int("General", "SaveHist", 0);
  store.Int("General", "StackKey", -2);
  store.Int("General", "StackSpecKey", 0x70);
  store.Int("General", "StackSpecMod", 6);
  store.Int("Macro", "LoopPlay", 0);
  store.Int("Macro", "KeyInterval", -5);  // the Macro page lets negatives through
  store.Str("Macro", "CurMacroName", "Login.mcr");
  const Settings s = LoadFrom(store);
  EXPECT_EQ(s.Editor, "C:\\Tools\\ed.exe");
  EXPECT_EQ(s.MenuPos, 2);
  EXPECT_EQ(s.MaxHistoryNum, 100);
  EXPECT_FALSE(s.SaveHist);
  EXPECT_EQ(s.StackKey, -2);
  EXPECT_EQ(s.StackSpecKey, 0x70);
  EXPECT_EQ(s.StackSpecMod, 6);
  EXPECT_EQ(s.LoopPlay, 0);
  EXPECT_EQ(s.KeyInterval, -5);
  EXPECT_EQ(s.CurMacroName, "Login.mcr");
}

// ---- Damaged or hand-edited values ----

struct HostileRow {
  const char* key;
  int32_t stored;
  int32_t read;  // what the program goes on with
};

TEST(SettingsLoad, OutOfRangeNumbersReadAsTheDefault) {
  const HostileRow rows[] = {
      {"MenuPos", 3, 0},           {"MenuPos", -1, 0},         {"PasteCmd", 7, 0},
      {"CutCmd", -100, 0},         {"TitleMenu", 4, 0},        {"TitleMenu", 3, 3},
      {"MaxHistoryNum", 0, 50},    {"MaxHistoryNum", 101, 50}, {"MaxHistoryNum", 1, 1},
      {"MaxCharNum", 0, 30},       {"MaxCharNum", 100, 100},   {"MaxCharNum", INT32_MIN, 30},
      {"EncloseTimeLag", -1, 300}, {"EncloseTimeLag", 5001, 300}, {"EncloseTimeLag", 0, 0},
      {"KeyStrokeTimeLag", -1, 100}, {"KeyStrokeTimeLag", 10000, 10000},
      {"StackKey", 8, 1},          {"StackKey", -3, 1},        {"StackKey", 7, 7},
      {"ChangeKey", 100, 2},       {"ChangeKey", 4, 4},
  };
  for (const HostileRow& row : rows) {
    FakeStore store;
    store.Int("General", row.key, row.stored);
    const Settings s = LoadFrom(store);
    FakeStore saved;
    SaveSettings(saved, kFolder, s);
    EXPECT_EQ(saved.Get("General", row.key).number, row.read) << row.key << " = " << row.stored;
  }
}

TEST(SettingsLoad, KeysAndModifiersOutsideTheirRangeReadAsTheDefault) {
  const HostileRow rows[] = {
      {"KeyClearHist", 0x100, 75}, {"KeyClearHist", 0x1004B, 75}, {"KeyClearHist", -1, 75},
      {"KeyClearHist", 0, 0},      {"KeyClearHist", 0xFE, 0xFE},
      {"ModClearHist", 8, 3},      {"ModClearHist", 7, 7},        {"ModClearHist", 0, 0},
      {"StackSpecKey", 0xFFFF, 0}, {"StackSpecMod", 0x10, 0},     {"ChangeSpecKey", 0x41, 0x41},
      {"ChangeSpecMod", -4, 0},
  };
  for (const HostileRow& row : rows) {
    FakeStore store;
    store.Int("General", row.key, row.stored);
    FakeStore saved;
    SaveSettings(saved, kFolder, LoadFrom(store));
    EXPECT_EQ(saved.Get("General", row.key).number, row.read) << row.key << " = " << row.stored;
  }
}

TEST(SettingsLoad, AnyNonZeroFlagIsOnAndIsSavedAsOne) {
  const HostileRow rows[] = {
      {"MoveStackTop", 5, 1}, {"MoveStackTop", -1, 1}, {"SaveHist", 0, 0}, {"DirHistShare", 0, 0},
      {"CopyOnly", 0x10000, 1},
  };
  for (const HostileRow& row : rows) {
    FakeStore store;
    store.Int("General", row.key, row.stored);
    FakeStore saved;
    SaveSettings(saved, kFolder, LoadFrom(store));
    EXPECT_EQ(saved.Get("General", row.key).number, row.read) << row.key << " = " << row.stored;
  }
}

TEST(SettingsLoad, ValueOfTheWrongTypeReadsAsTheDefault) {
  FakeStore store;
  store.Str("General", "MaxHistoryNum", "80");
  store.Int("General", "Editor", 12);
  store.Int("General", "QuoteChar", 1);
  const Settings s = LoadFrom(store);
  EXPECT_EQ(s.MaxHistoryNum, 50);
  EXPECT_EQ(s.Editor, "Notepad.exe");
  EXPECT_EQ(s.QuoteChar, "> ");
}

// ---- The quote mark ----

TEST(SettingsQuote, CutToTwentyBytesWithoutSplittingACharacter) {
  struct Row {
    int codePage;
    std::string stored;
    std::string kept;
  };
  const std::string twenty(20, 'q');
  // 10 double-byte characters are exactly 20 bytes; "\x95\x5c" has trail byte '\\'.
  std::string tenKanji;
  for (int i = 0; i < 10; ++i) tenKanji += "\x95\x5c";  // 表
  const Row rows[] = {
      {1252, "> ", "> "},
      {1252, twenty, twenty},
      {1252, std::string(25, 'x'), std::string(20, 'x')},
      {932, tenKanji, tenKanji},
      {932, tenKanji + "\x95\x5c", tenKanji},
      // A double-byte character across byte 20 is left out whole.
      {932, "a" + tenKanji, "a" + tenKanji.substr(0, 18)},
      // In 1252 the same bytes are single characters and are cut at 20.
      {1252, "a" + tenKanji, ("a" + tenKanji).substr(0, 20)},
      // A lead byte dangling at byte 20 is a single byte and stays.
      {932, std::string(19, 'y') + "\x95", std::string(19, 'y') + "\x95"},
  };
  for (const Row& row : rows) {
    ScopedCodePage cp(row.codePage);
    FakeStore store;
    store.Str("General", "QuoteChar", row.stored);
    const Settings s = LoadFrom(store);
    EXPECT_EQ(s.QuoteChar, row.kept) << row.codePage << " " << row.stored;
    // The shared g_szQuote gets the same text, terminated inside its 24 bytes.
    const LoadTimeShared shared = MakeLoadTimeShared(s);
    EXPECT_EQ(std::string(shared.quote), row.kept);
    FakeStore saved;
    SaveSettings(saved, kFolder, s);
    EXPECT_EQ(saved.Get("General", "QuoteChar").text, row.kept);
  }
}

// ---- Menu-file sets ----

struct StoredSet {
  std::string file;
  int32_t preset;
  int32_t key;
};
struct LoadedSet {
  std::string path;
  int32_t trigger;
  uint16_t key;
  uint16_t modifiers;
};

std::vector<LoadedSet> UsedSets(const Settings& s) {
  std::vector<LoadedSet> out;
  for (const MenuFileSet& m : s.MenuFiles) {
    if (m.path[0] != '\0') out.push_back({m.path, m.trigger, m.key, m.modifiers});
  }
  return out;
}

void StoreSets(FakeStore& store, const std::vector<StoredSet>& sets) {
  for (size_t n = 0; n < sets.size(); ++n) {
    const std::string base = "MenuFile" + std::to_string(n);
    store.Str("MenuFileSet", base, sets[n].file);
    store.Int("MenuFileSet", base + "-Preset", sets[n].preset);
    store.Int("MenuFileSet", base + "-Key", sets[n].key);
  }
}

TEST(SettingsMenuFileSets, LoadRules) {
  const std::string a = kFolder + "\\A.txt";
  const std::string b = kFolder + "\\B.txt";
  const std::string d = "D:\\menus\\D.txt";
  struct Row {
    const char* what;
    std::vector<StoredSet> stored;
    std::set<std::string> present;
    std::vector<std::pair<std::string, int32_t>> expected;  // path, trigger
  };
  const Row rows[] = {
      {"bare name is in the program folder, drive path stays", {{"A.txt", 1, 0}, {d, 3, 0}}, {a, d}, {{a, 1}, {d, 3}}},
      {"missing middle set closes up", {{"A.txt", 0, 0}, {"gone.txt", 1, 0}, {"B.txt", 2, 0}}, {a, b}, {{a, 0}, {b, 2}}},
      {"missing first set closes up", {{"gone.txt", 0, 0}, {"B.txt", 2, 0}, {d, 3, 0}}, {b, d}, {{b, 2}, {d, 3}}},
      {"all missing gives the defaults",
       {{"gone.txt", 1, 0}},
       {},
       {{kFolder + "\\MenuItem.txt", 0}, {kFolder + "\\MenuHelp.txt", -2}}},
      {"only the help file missing: no defaults, nothing added", {{"A.txt", -1, 0}}, {a}, {{a, -1}}},
      // Without ':' and '\' at the second and third byte the value is relative.
      {"drive without backslash is relative", {{"D:x.txt", 0, 0}}, {kFolder + "\\D:x.txt"}, {{kFolder + "\\D:x.txt", 0}}},
      {"out-of-range trigger is none", {{"A.txt", 9, 0}, {"B.txt", -3, 0}}, {a, b}, {{a, -1}, {b, -1}}},
  };
  for (const Row& row : rows) {
    FakeStore store;
    StoreSets(store, row.stored);
    const Settings s = LoadFrom(store, FakeFiles(row.present));
    const std::vector<LoadedSet> used = UsedSets(s);
    ASSERT_EQ(used.size(), row.expected.size()) << row.what;
    for (size_t i = 0; i < used.size(); ++i) {
      EXPECT_EQ(used[i].path, row.expected[i].first) << row.what << " #" << i;
      EXPECT_EQ(used[i].trigger, row.expected[i].second) << row.what << " #" << i;
    }
    // Used records come first; the rest are cleared whole.
    for (size_t i = used.size(); i < kMenuFileSetCount; ++i) {
      EXPECT_EQ(s.MenuFiles[i].path[0], '\0') << row.what;
      EXPECT_EQ(s.MenuFiles[i].trigger, kTriggerNone) << row.what;
      EXPECT_EQ(s.MenuFiles[i].key | s.MenuFiles[i].modifiers, 0) << row.what;
    }
  }
}

TEST(SettingsMenuFileSets, ReadingStopsAtTheFirstEmptyName) {
  FakeStore store;
  StoreSets(store, {{"A.txt", 0, 0}, {"B.txt", 1, 0}, {"", 2, 0}, {"C.txt", 3, 0}});
  const Settings s = LoadFrom(store, FakeFiles({kFolder + "\\A.txt", kFolder + "\\B.txt", kFolder + "\\C.txt"}));
  ASSERT_EQ(UsedSets(s).size(), 2u);
  EXPECT_EQ(UsedSets(s)[1].path, kFolder + "\\B.txt");
}

TEST(SettingsMenuFileSets, KeyWordHoldsKeyLowAndModifiersHigh) {
  FakeStore store;
  StoreSets(store, {{"A.txt", -2, 0x41 | (6 << 16)}, {"B.txt", -2, 0x41 | (8 << 16)}, {"C.txt", -2, 0x1FF}});
  const Settings s = LoadFrom(store, FakeFiles({kFolder + "\\A.txt", kFolder + "\\B.txt", kFolder + "\\C.txt"}));
  EXPECT_EQ(s.MenuFiles[0].key, 0x41);
  EXPECT_EQ(s.MenuFiles[0].modifiers, 6);
  // Modifiers or keys that no options page writes: the set keeps no key.
  EXPECT_EQ(s.MenuFiles[1].key | s.MenuFiles[1].modifiers, 0);
  EXPECT_EQ(s.MenuFiles[2].key | s.MenuFiles[2].modifiers, 0);
  FakeStore saved;
  SaveSettings(saved, kFolder, s);
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile0-Key").number, 0x41 | (6 << 16));
}

TEST(SettingsMenuFileSets, PathTooLongForTheRecordIsDropped) {
  FakeStore store;
  const std::string longName(300, 'n');
  const std::string fits(kMaxPathBytes - 1 - kFolder.size() - 1, 'f');  // exactly 259 bytes in all
  StoreSets(store, {{longName, 0, 0}, {fits, 1, 0}});
  const Settings s = LoadFrom(store, FakeFiles({kFolder + "\\" + longName, kFolder + "\\" + fits}));
  ASSERT_EQ(UsedSets(s).size(), 1u);
  EXPECT_EQ(UsedSets(s)[0].path, kFolder + "\\" + fits);
  EXPECT_EQ(std::strlen(s.MenuFiles[0].path), 259u);
}

TEST(SettingsMenuFileSets, SaveWritesBareNameOnlyForFilesDirectlyInTheProgramFolder) {
  struct Row {
    std::string path;
    std::string stored;
  };
  const Row rows[] = {
      {kFolder + "\\A.txt", "A.txt"},
      {"c:\\prog\\QUILLO\\B.txt", "B.txt"},  // folder compared without regard to case
      {kFolder + "\\sub\\C.txt", kFolder + "\\sub\\C.txt"},
      {"C:\\Prog\\Quillo2\\D.txt", "C:\\Prog\\Quillo2\\D.txt"},
      {"C:\\Prog\\E.txt", "C:\\Prog\\E.txt"},
  };
  Settings s;
  for (size_t i = 0; i < std::size(rows); ++i) {
    std::snprintf(s.MenuFiles[i].path, sizeof s.MenuFiles[i].path, "%s", rows[i].path.c_str());
    s.MenuFiles[i].trigger = static_cast<int32_t>(i);
  }
  FakeStore saved;
  SaveSettings(saved, kFolder, s);
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile" + std::to_string(i)).text, rows[i].stored) << rows[i].path;
    EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile" + std::to_string(i) + "-Preset").number, static_cast<int32_t>(i));
  }
}

TEST(SettingsMenuFileSets, ProgramFolderWithTrailByteBackslashInCodePage932) {
  ScopedCodePage cp(932);
  // 表 is 0x95 0x5C: its trail byte must not be taken for the folder's end.
  const std::string folder = "C:\\\x95\x5c";
  Settings s;
  std::snprintf(s.MenuFiles[0].path, sizeof s.MenuFiles[0].path, "%s\\Menu.txt", folder.c_str());
  std::snprintf(s.MenuFiles[1].path, sizeof s.MenuFiles[1].path, "C:\\\x95\x5cMenu.txt");
  FakeStore saved;
  SaveSettings(saved, folder, s);
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile0").text, "Menu.txt");
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile1").text, "C:\\\x95\x5cMenu.txt");
}

TEST(SettingsMenuFileSets, SavedSetsLoadBackInTheSameOrder) {
  FakeStore store;
  StoreSets(store, {{"A.txt", 0, 0}, {"D:\\x\\B.txt", -2, 0x42 | (3 << 16)}, {"C.txt", 4, 0}});
  FakeFiles files({kFolder + "\\A.txt", "D:\\x\\B.txt", kFolder + "\\C.txt"});
  Settings s = LoadFrom(store, files);
  ASSERT_TRUE(MoveMenuFileSetToTop(s.MenuFiles, 2));
  FakeStore saved;
  SaveSettings(saved, kFolder, s);
  const Settings again = LoadFrom(saved, files);
  const std::vector<LoadedSet> used = UsedSets(again);
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[0].path, kFolder + "\\C.txt");
  EXPECT_EQ(used[1].path, kFolder + "\\A.txt");
  EXPECT_EQ(used[2].path, "D:\\x\\B.txt");
  EXPECT_EQ(used[2].key, 0x42);
  EXPECT_EQ(used[2].modifiers, 3);
}

TEST(SettingsMenuFileSets, NetworkPathsAreReadBackAsTheyWereSaved) {
  // A path on a share is saved whole and must not come back as a name in the
  // program folder, or its set is dropped as missing at the next start.
  const std::string share = "\\\\server\\share\\menu.txt";
  const std::string device = "\\\\?\\UNC\\server\\share\\long.txt";
  FakeStore store;
  StoreSets(store, {{share, -2, 'N' | (3 << 16)}, {device, 1, 0}, {"A.txt", 0, 0}});
  FakeFiles files({share, device, kFolder + "\\A.txt"});
  const Settings s = LoadFrom(store, files);
  const std::vector<LoadedSet> used = UsedSets(s);
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[0].path, share);
  EXPECT_EQ(used[0].key, 'N');
  EXPECT_EQ(used[1].path, device);
  EXPECT_EQ(used[2].path, kFolder + "\\A.txt");
  // Saved and loaded again: the same three, in order.
  FakeStore saved;
  SaveSettings(saved, kFolder, s);
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile0").text, share);
  const std::vector<LoadedSet> again = UsedSets(LoadFrom(saved, files));
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[0].path, share);
  EXPECT_EQ(again[1].path, device);
  // A single leading backslash is no network path: still the folder's.
  FakeStore rooted;
  StoreSets(rooted, {{"\\x.txt", 0, 0}});
  const std::string inFolder = kFolder + "\\\\x.txt";
  const std::vector<LoadedSet> one = UsedSets(LoadFrom(rooted, FakeFiles({inFolder})));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].path, inFolder);
}

// A start before the share is up, or with the stick out: the sets stay, in
// their order, unlooked-at, and the next save writes them back. A file gone
// from a fixed disk is still dropped.
TEST(SettingsMenuFileSets, LoadKeepsSetsThatMayOnlyBeAwayWithoutLookingAtThem) {
  const std::string share = "\\\\server\\share\\menu.txt";
  FakeStore store;
  StoreSets(store, {{share, -2, 'N' | (3 << 16)}, {"gone.txt", 1, 0}, {"E:\\stick.txt", 2, 0}, {"A.txt", 0, 0}});
  FakeFiles files({kFolder + "\\A.txt"}, {"\\\\", "E:"});
  Settings s;
  LoadSettings(store, kFolder, files, s);
  EXPECT_EQ(files.lookedAway, 0) << "the load looked at a path that may be away";
  const std::vector<LoadedSet> used = UsedSets(s);
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[0].path, share);
  EXPECT_EQ(used[0].key, 'N');
  EXPECT_EQ(used[1].path, "E:\\stick.txt");
  EXPECT_EQ(used[2].path, kFolder + "\\A.txt");
  FakeStore saved;
  ASSERT_TRUE(SaveSettings(saved, kFolder, s));
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile0").text, share);
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile1").text, "E:\\stick.txt");
  EXPECT_EQ(saved.Get("MenuFileSet", "MenuFile2").text, "A.txt");
}

TEST(SettingsMenuFileSets, MoveToTop) {
  struct Row {
    int index;
    bool moved;
    std::string order;  // triggers of the ten sets after the move, as digits
  };
  const Row rows[] = {
      {0, false, "0123456789"}, {1, true, "1023456789"}, {3, true, "3012456789"},
      {9, true, "9012345678"},  {10, false, "0123456789"}, {-1, false, "0123456789"},
  };
  for (const Row& row : rows) {
    MenuFileSet sets[kMenuFileSetCount];
    for (int i = 0; i < kMenuFileSetCount; ++i) {
      sets[i] = EmptyMenuFileSet();
      std::snprintf(sets[i].path, sizeof sets[i].path, "set%d", i);
      sets[i].trigger = i;
      sets[i].key = static_cast<uint16_t>(0x40 + i);
    }
    EXPECT_EQ(MoveMenuFileSetToTop(sets, row.index), row.moved) << row.index;
    std::string order;
    for (const MenuFileSet& m : sets) {
      order += static_cast<char>('0' + m.trigger);
      // Each set moves whole: path, trigger and key together.
      EXPECT_EQ(std::string(m.path), "set" + std::to_string(m.trigger));
      EXPECT_EQ(m.key, 0x40 + m.trigger);
    }
    EXPECT_EQ(order, row.order) << row.index;
  }
}

// ---- Skip-application list ----

TEST(SettingsSkipApps, ReadUntilFirstEmptyAndRewrittenWhole) {
  FakeStore store;
  store.Str("SkipAppList", "SkipApp0", "C:\\A\\one.exe");
  store.Str("SkipAppList", "SkipApp1", "C:\\B\\two.exe");
  store.Str("SkipAppList", "SkipApp2", "");
  store.Str("SkipAppList", "SkipApp3", "C:\\C\\lost.exe");
  Settings s = LoadFrom(store);
  EXPECT_EQ(s.SkipApps, (std::vector<std::string>{"C:\\A\\one.exe", "C:\\B\\two.exe"}));

  s.SkipApps.erase(s.SkipApps.begin());
  SaveSettings(store, kFolder, s);
  // The old section is gone: no stale SkipApp1..3 behind the new end.
  EXPECT_EQ(store.Get("SkipAppList", "SkipApp0").text, "C:\\B\\two.exe");
  EXPECT_FALSE(store.Has("SkipAppList", "SkipApp1"));
  EXPECT_FALSE(store.Has("SkipAppList", "SkipApp3"));
}

// A store that refuses one write (a full or locked registry) makes the save
// answer false, whichever value it is, and every other value is still written.
TEST(SettingsSave, AFailedWriteIsReportedAndTheRestStillWritten) {
  Settings s;
  s.MaxHistoryNum = 37;
  s.SkipApps = {"C:\\A\\one.exe"};
  s.LoopPlay = 4;
  FakeStore whole;
  EXPECT_TRUE(SaveSettings(whole, kFolder, s));
  const FakeStore::Key refusals[] = {{"General", "Editor"},
                                     {"General", "MaxHistoryNum"},
                                     {"MenuFileSet", "MenuFile0"},
                                     {"MenuFileSet", "MenuFile9-Key"},
                                     {"SkipAppList", "<deleted>"},
                                     {"SkipAppList", "SkipApp0"},
                                     {"Macro", "MessageBeep"}};
  for (const FakeStore::Key& refused : refusals) {
    FakeStore store;
    store.failing = {refused};
    EXPECT_FALSE(SaveSettings(store, kFolder, s)) << refused.first << "\\" << refused.second;
    EXPECT_EQ(store.order, whole.order) << "the save stopped at " << refused.second;
    for (const auto& [key, value] : whole.values) {
      if (key == refused) continue;
      EXPECT_TRUE(store.Get(key.first, key.second) == value) << key.first << "\\" << key.second;
    }
  }
}

TEST(SettingsSkipApps, EndlessListIsCutAtItsBound) {
  FakeStore store;
  for (size_t n = 0; n < kMaxSkipApps + 5; ++n) store.Str("SkipAppList", "SkipApp" + std::to_string(n), "x.exe");
  EXPECT_EQ(LoadFrom(store).SkipApps.size(), kMaxSkipApps);
}

TEST(SettingsSkipApps, ProgramMatchesIgnoringCase) {
  ScopedCodePage cp(932);
  Settings s;
  s.SkipApps = {"C:\\Apps\\Word.exe", "C:\\\x83\x41pp\\x.exe"};  // ア
  const std::pair<const char*, bool> rows[] = {
      {"C:\\Apps\\Word.exe", true},
      {"c:\\APPS\\word.EXE", true},
      {"C:\\Apps\\Word.ex", false},
      {"C:\\Apps\\Word.exe ", false},
      {"C:\\\x83\x41pp\\X.EXE", true},
      // 0x41 is a trail byte here: folding it to 'a' would be wrong.
      {"C:\\\x83\x61pp\\x.exe", false},
      {"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsSkippedProgram(s, row.first), row.second) << row.first;
  EXPECT_FALSE(IsSkippedProgram(s, nullptr));
}

// ---- Key texts ----

TEST(SettingsKeyText, PrefixesInShiftCtrlAltOrderForBothFormats) {
  struct Row {
    ModifierFormat format;
    uint32_t key;
    uint32_t mods;
    const char* text;
  };
  const Row rows[] = {
      {ModifierFormat::kRegisteredHotKey, 'K', 3, "Ctrl+Alt+K"},
      {ModifierFormat::kRegisteredHotKey, 'K', 7, "Shift+Ctrl+Alt+K"},
      {ModifierFormat::kRegisteredHotKey, 'K', 4, "Shift+K"},
      {ModifierFormat::kRegisteredHotKey, 'K', 0, "K"},
      {ModifierFormat::kHotKeyControl, 'K', 1, "Shift+K"},
      {ModifierFormat::kHotKeyControl, 'K', 4, "Alt+K"},
      {ModifierFormat::kHotKeyControl, 'K', 6, "Ctrl+Alt+K"},
      // Only the low 16 bits are the key.
      {ModifierFormat::kRegisteredHotKey, 0x3004B, 2, "Ctrl+K"},
  };
  for (const Row& row : rows) {
    FakeKeyNames names;
    char out[64] = "old";
    EXPECT_TRUE(MakeKeyNameText(row.format, row.key, row.mods, names, out, sizeof out));
    EXPECT_STREQ(out, row.text);
  }
}

TEST(SettingsKeyText, ExtendedFlagForTheNavigationBlock) {
  // Delete with Shift: the navigation-block Delete, not the number pad's.
  FakeKeyNames names;
  char out[64] = "";
  ASSERT_TRUE(MakeKeyNameText(ModifierFormat::kRegisteredHotKey, 0x2E, 4, names, out, sizeof out));
  EXPECT_STREQ(out, "Shift+Delete");
  EXPECT_EQ(names.lastLParam, (0x53 << 16) | 0x01000000);

  // Every navigation key carries the flag; neighbours do not.
  const std::pair<uint32_t, bool> rows[] = {{0x20, false}, {0x21, true}, {0x28, true}, {0x29, false},
                                            {0x2C, false}, {0x2D, true}, {0x2E, true}, {0x2F, false}};
  for (const auto& row : rows) {
    FakeKeyNames n;
    n.nameOverride = "X";
    char buf[64];
    MakeKeyNameText(ModifierFormat::kRegisteredHotKey, row.first, 0, n, buf, sizeof buf);
    EXPECT_EQ((n.lastLParam & 0x01000000) != 0, row.second) << std::hex << row.first;
    EXPECT_EQ(ToHotKeyControlModifiers(static_cast<uint16_t>(row.first), 0) == 8, row.second) << std::hex << row.first;
  }
  // The hot-key control says so itself in bit 8, whatever the key.
  FakeKeyNames control;
  MakeKeyNameText(ModifierFormat::kHotKeyControl, 0x2E, 1, control, out, sizeof out);
  EXPECT_STREQ(out, "Shift+Num Del");
  MakeKeyNameText(ModifierFormat::kHotKeyControl, 'K', 8, control, out, sizeof out);
  EXPECT_EQ(control.lastLParam, (0x25 << 16) | 0x01000000);
}

TEST(SettingsKeyText, NoKeyIsEmptyAndUnnamedKeyLeavesTheOutput) {
  FakeKeyNames names;
  char out[64] = "before";
  EXPECT_TRUE(MakeKeyNameText(ModifierFormat::kRegisteredHotKey, 0, 7, names, out, sizeof out));
  EXPECT_STREQ(out, "");
  std::strcpy(out, "before");
  EXPECT_FALSE(MakeKeyNameText(ModifierFormat::kRegisteredHotKey, 0x99, 7, names, out, sizeof out));
  EXPECT_STREQ(out, "before");
}

TEST(SettingsKeyText, LongNameIsCutToTheBufferWithoutSplittingACharacter) {
  ScopedCodePage cp(932);
  FakeKeyNames names;
  std::string name;
  for (int i = 0; i < 31; ++i) name += "\x83\x7c";  // ポ, trail byte '|'
  names.nameOverride = name;  // 62 bytes: fits the system's 63
  char out[kKeyClearHistBytes];
  std::memset(out, 'Z', sizeof out);
  ASSERT_TRUE(MakeKeyNameText(ModifierFormat::kRegisteredHotKey, 'K', 2, names, out, sizeof out));
  // "Ctrl+" (5) and 13 characters (26) = 31 bytes; a 14th would need 33.
  EXPECT_EQ(std::string(out), "Ctrl+" + name.substr(0, 26));
}

TEST(SettingsKeyText, ModifierConversionsForTheHotKeyControl) {
  const struct {
    uint16_t key, mods, control;
  } rows[] = {
      {'K', 4, 1}, {'K', 2, 2}, {'K', 1, 4}, {'K', 7, 7}, {0x25, 3, 6 | 8}, {0x2D, 0, 8},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ToHotKeyControlModifiers(row.key, row.mods), row.control) << row.key << "/" << row.mods;
    // Back from the control the extended bit is dropped.
    EXPECT_EQ(FromHotKeyControlModifiers(row.control), row.mods) << row.key << "/" << row.mods;
  }
}

// ---- The shared block ----

TEST(SettingsApply, EverySharedFieldComesFromItsKey) {
  // Each key gets a value unlike its default and unlike the others', so a
  // field fed from the wrong key shows.
  FakeStore store;
  const struct {
    const char* key;
    int32_t value;
  } general[] = {
      {"StackKey", -2},  {"StackSpecKey", 0x71}, {"StackSpecMod", 5},   {"ChangeKey", 7},
      {"ChangeSpecKey", 0x72}, {"ChangeSpecMod", 6}, {"MenuPos", 1},   {"PasteCmd", 2},
      {"CutCmd", 1},     {"MaxCharNum", 77},     {"MoveStackTop", 1},  {"SkipTopSpace", 1},
      {"CutLastRet", 0}, {"CutLastRet2", 0},     {"CopyOnly", 1},      {"ResetCursor", 1},
      {"ImeAdjust", 1},  {"TitleMenu", 3},       {"DirHistShare", 0},  {"KeyClearHist", 0x2E},
      {"ModClearHist", 4},
  };
  for (const auto& g : general) store.Int("General", g.key, g.value);
  store.Int("Macro", "RecKey", 0);
  store.Int("Macro", "RecMouse", 0);
  store.Int("Macro", "CutMouseMove", 1);
  StoreSets(store, {{"A.txt", 4, 0}, {"B.txt", -2, 0x43 | (2 << 16)}});
  const Settings s = LoadFrom(store, FakeFiles({kFolder + "\\A.txt", kFolder + "\\B.txt"}));

  FakeKeyNames names;
  const AppliedShared a = MakeAppliedShared(s, names);
  EXPECT_EQ(a.stackKey, -2);
  EXPECT_EQ(a.stackSpecKey, 0x71);
  EXPECT_EQ(a.stackSpecMod, 5);
  EXPECT_EQ(a.changeKey, 7);
  EXPECT_EQ(a.changeSpecKey, 0x72);
  EXPECT_EQ(a.changeSpecMod, 6);
  EXPECT_EQ(a.menuPos, 1);
  EXPECT_EQ(a.pasteCmd, 2);
  EXPECT_EQ(a.cutCmd, 1);
  EXPECT_EQ(a.charNum, 77);
  EXPECT_EQ(a.moveStackTop, 1);
  EXPECT_EQ(a.skipTopSpace, 1);
  EXPECT_EQ(a.cutLastRet, 0);
  EXPECT_EQ(a.cutLastRet2, 0);
  EXPECT_EQ(a.copyOnly, 1);
  EXPECT_EQ(a.resetCursor, 1);
  EXPECT_EQ(a.imeAdjust, 1);
  EXPECT_EQ(a.titleMenu, 3);
  EXPECT_EQ(a.dirHistShare, 0);
  EXPECT_STREQ(a.keyClearHist, "Shift+Delete");
  EXPECT_EQ(a.recKey, 0);
  EXPECT_EQ(a.recMouse, 0);
  EXPECT_EQ(a.cutMouseMove, 1);
  EXPECT_STREQ(a.customMenuSet[0].path, (kFolder + "\\A.txt").c_str());
  EXPECT_EQ(a.customMenuSet[0].trigger, 4);
  EXPECT_STREQ(a.customMenuSet[1].path, (kFolder + "\\B.txt").c_str());
  EXPECT_EQ(a.customMenuSet[1].key, 0x43);
  EXPECT_EQ(a.customMenuSet[1].modifiers, 2);
  for (int i = 2; i < kMenuFileSetCount; ++i) EXPECT_EQ(a.customMenuSet[i].trigger, kTriggerNone);
}

TEST(SettingsApply, EachFlagReachesOnlyItsOwnField) {
  const struct {
    const char* section;
    const char* key;
    int32_t AppliedShared::*field;
  } rows[] = {
      {"General", "MoveStackTop", &AppliedShared::moveStackTop}, {"General", "SkipTopSpace", &AppliedShared::skipTopSpace},
      {"General", "CutLastRet", &AppliedShared::cutLastRet},     {"General", "CutLastRet2", &AppliedShared::cutLastRet2},
      {"General", "CopyOnly", &AppliedShared::copyOnly},         {"General", "ResetCursor", &AppliedShared::resetCursor},
      {"General", "ImeAdjust", &AppliedShared::imeAdjust},       {"General", "DirHistShare", &AppliedShared::dirHistShare},
      {"Macro", "RecKey", &AppliedShared::recKey},               {"Macro", "RecMouse", &AppliedShared::recMouse},
      {"Macro", "CutMouseMove", &AppliedShared::cutMouseMove},
  };
  FakeStore empty;
  FakeKeyNames names;
  const AppliedShared base = MakeAppliedShared(LoadFrom(empty), names);
  for (const auto& flipped : rows) {
    FakeStore store;
    store.Int(flipped.section, flipped.key, base.*flipped.field ? 0 : 1);
    const AppliedShared a = MakeAppliedShared(LoadFrom(store), names);
    for (const auto& row : rows) {
      const int32_t expected = (&row == &flipped) ? 1 - base.*row.field : base.*row.field;
      EXPECT_EQ(a.*row.field, expected) << flipped.key << " flipped, " << row.key << " read";
    }
  }
}

TEST(SettingsApply, DefaultsGiveTheDefaultKeyTextAndLoadTimeFlags) {
  FakeStore empty;
  Settings s = LoadFrom(empty);
  FakeKeyNames names;
  EXPECT_STREQ(MakeAppliedShared(s, names).keyClearHist, "Ctrl+Alt+K");
  s.KeyClearHist = 0;
  EXPECT_STREQ(MakeAppliedShared(s, names).keyClearHist, "");

  FakeStore store;
  store.Int("General", "DirectPaste", 1);
  store.Int("General", "Suspend", 9);
  store.Int("General", "SuspendDirHist", 1);
  const LoadTimeShared on = MakeLoadTimeShared(LoadFrom(store));
  EXPECT_EQ(on.directPaste, 1);
  EXPECT_EQ(on.suspend, 1);
  EXPECT_EQ(on.suspendDirHist, 1);
  const LoadTimeShared off = MakeLoadTimeShared(LoadFrom(empty));
  EXPECT_EQ(off.directPaste | off.suspend | off.suspendDirHist, 0);
  EXPECT_STREQ(off.quote, "> ");
}


// ---- The paste method per program ----

std::vector<std::string> Programs(const Settings& s) {
  std::vector<std::string> out;
  for (const PasteProgram& p : s.PastePrograms) out.push_back(std::string(p.program) + "=" + PasteMethodName(p.method));
  return out;
}

TEST(PasteMethodList, StoreWithoutAListGivesTheConsoles_AnEmptyListSavedStaysEmpty) {
  FakeStore fresh;
  const Settings first = LoadFrom(fresh);
  EXPECT_EQ(Programs(first), (std::vector<std::string>{"conhost.exe=Type", "wineconsole.exe=Type"}));
  EXPECT_TRUE(first.PasteProgramProblems.empty());

  Settings emptied = first;
  emptied.PastePrograms.clear();
  FakeStore store;
  ASSERT_TRUE(SaveSettings(store, kFolder, emptied));
  EXPECT_EQ(store.Get(kPasteMethodSection, "Count"), (FakeStore::Value{false, 0, ""}));
  EXPECT_TRUE(LoadFrom(store).PastePrograms.empty()) << "the user's empty list must not bring the defaults back";
}

TEST(PasteMethodList, SavedListReadsBackInOrder_AndRemovedEntriesLeaveNothingBehind) {
  FakeStore store;
  store.Str(kPasteMethodSection, "Program7", "stale.exe=Type");  // from a longer list saved before
  Settings s;
  s.PastePrograms.clear();
  PasteProgram a{}, b{};
  std::strcpy(a.program, "putty.exe");
  a.method = kPasteShiftInsert;
  std::strcpy(b.program, "Term=1.exe");  // a name may hold "="
  b.method = kPasteCtrlShiftV;
  s.PastePrograms = {a, b};
  ASSERT_TRUE(SaveSettings(store, kFolder, s));
  EXPECT_EQ(store.Get(kPasteMethodSection, "Program0").text, "putty.exe=Shift+Insert");
  EXPECT_EQ(store.Get(kPasteMethodSection, "Program1").text, "Term=1.exe=Ctrl+Shift+V");
  EXPECT_EQ(store.Get(kPasteMethodSection, "Program7").text, "<missing>");
  const Settings back = LoadFrom(store);
  EXPECT_EQ(Programs(back), (std::vector<std::string>{"putty.exe=Shift+Insert", "Term=1.exe=Ctrl+Shift+V"}));
  EXPECT_TRUE(back.PasteProgramProblems.empty());
}

TEST(PasteMethodList, BadEntriesAreLeftOutWithASentenceEach_TheOthersKept) {
  FakeStore store;
  store.Int(kPasteMethodSection, "Count", 7);
  store.Str(kPasteMethodSection, "Program0", "notepad.exe=Ctrl+V");
  store.Str(kPasteMethodSection, "Program1", "cmd.exe Type");
  store.Str(kPasteMethodSection, "Program2", "C:\\Tools\\term.exe=Type");
  store.Str(kPasteMethodSection, "Program3", "vim.exe=Ctrl+Z");
  store.Str(kPasteMethodSection, "Program4", "NOTEPAD.EXE=Type");
  store.Int(kPasteMethodSection, "Program5", 4);  // a number where a text belongs
  store.Str(kPasteMethodSection, "Program6", " mstsc.exe = type ");
  const Settings s = LoadFrom(store);
  EXPECT_EQ(Programs(s), (std::vector<std::string>{"notepad.exe=Ctrl+V", "mstsc.exe=Type"}));
  ASSERT_EQ(s.PasteProgramProblems.size(), 5u);
  EXPECT_NE(s.PasteProgramProblems[0].find("\"cmd.exe Type\" (Program1)"), std::string::npos);
  EXPECT_NE(s.PasteProgramProblems[0].find("no \"=\""), std::string::npos);
  EXPECT_NE(s.PasteProgramProblems[1].find("without a folder"), std::string::npos);
  EXPECT_NE(s.PasteProgramProblems[2].find("none of Ctrl+V"), std::string::npos);
  EXPECT_NE(s.PasteProgramProblems[3].find("on the list already"), std::string::npos);
  EXPECT_NE(s.PasteProgramProblems[4].find("(Program5)"), std::string::npos);
}

TEST(PasteMethodList, ACountBeyondTheBoundIsCutAndSaid_ANegativeOneGivesTheDefaults) {
  FakeStore store;
  store.Int(kPasteMethodSection, "Count", 1000000);
  for (size_t n = 0; n < kMaxPastePrograms + 2; ++n) {
    store.Str(kPasteMethodSection, "Program" + std::to_string(n), "p" + std::to_string(n) + ".exe=Type");
  }
  const Settings s = LoadFrom(store);
  EXPECT_EQ(s.PastePrograms.size(), kMaxPastePrograms);
  ASSERT_EQ(s.PasteProgramProblems.size(), 1u);
  EXPECT_NE(s.PasteProgramProblems[0].find("only the first 64"), std::string::npos);

  FakeStore negative;
  negative.Int(kPasteMethodSection, "Count", -5);
  EXPECT_EQ(LoadFrom(negative).PastePrograms.size(), 2u);
}

TEST(PasteMethodList, AddingRefusesPathsDuplicatesAndAFullList) {
  std::vector<PasteProgram> list(1);
  std::strcpy(list[0].program, "Putty.exe");
  std::string why;
  EXPECT_TRUE(CanAddPasteProgram(list, "kitty.exe", &why));
  EXPECT_FALSE(CanAddPasteProgram(list, "PUTTY.EXE", &why));
  EXPECT_EQ(why, "PUTTY.EXE is on the list already.");
  EXPECT_FALSE(CanAddPasteProgram(list, "", &why));
  EXPECT_EQ(why, "it names no program.");
  EXPECT_FALSE(CanAddPasteProgram(list, "bin/term.exe", &why));
  EXPECT_NE(why.find("without a folder"), std::string::npos);
  list.resize(kMaxPastePrograms);
  for (size_t i = 1; i < list.size(); ++i) std::snprintf(list[i].program, sizeof list[i].program, "p%zu.exe", i);
  EXPECT_FALSE(CanAddPasteProgram(list, "kitty.exe", &why));
  EXPECT_NE(why.find("64 programs at most"), std::string::npos);
}

TEST(PasteMethodList, AppliedBlockCarriesTheListTerminatedAndBounded) {
  FakeKeyNames names;
  Settings s;
  s.PastePrograms.assign(kMaxPastePrograms + 3, PasteProgram{});
  for (PasteProgram& p : s.PastePrograms) {
    std::memset(p.program, 'x', sizeof p.program);  // no terminator
    p.method = kPasteType;
  }
  const AppliedShared v = MakeAppliedShared(s, names);
  EXPECT_EQ(v.pasteProgramCount, static_cast<int32_t>(kMaxPastePrograms));
  EXPECT_EQ(v.pastePrograms[kMaxPastePrograms - 1].program[kPasteProgramBytes - 1], '\0');
}

}  // namespace
}  // namespace quillo::settings
