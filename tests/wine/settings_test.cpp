// The settings in the real registry, the copy into the exported variables of
// both libraries, and the clear-history key against another program's key.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "settings.h"
#include "settings_win.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using settings::Settings;
using Texts = std::vector<std::string>;

const std::string kRoot = std::string(kSettingsKeyPath) + "\\";

// Raw registry access, independent of the store under test.
bool SetRaw(const char* section, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, (kRoot + section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}
bool SetDword(const char* section, const char* name, DWORD v) { return SetRaw(section, name, REG_DWORD, &v, sizeof v); }
bool SetText(const char* section, const char* name, const std::string& v) {
  return SetRaw(section, name, REG_SZ, v.c_str(), static_cast<DWORD>(v.size() + 1));
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<unsigned char> bytes;
  DWORD dword() const {
    DWORD v = 0;
    if (bytes.size() == sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
    return v;
  }
  std::string text() const { return std::string(reinterpret_cast<const char*>(bytes.data()), strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size())); }
};

// Every value of a section, read back with RegEnumValueA / RegQueryValueExA.
std::map<std::string, RawValue> ReadSection(const char* section) {
  std::map<std::string, RawValue> out;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLen = sizeof name;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    RawValue v;
    DWORD size = 0;
    RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size);
    v.bytes.resize(size);
    RegQueryValueExA(key, name, nullptr, &v.type, v.bytes.data(), &size);
    out[name] = v;
  }
  RegCloseKey(key);
  return out;
}

bool SectionExists(const char* section) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool TouchFile(const std::string& path) { return WriteFileBytes(path, {'x'}); }

class SettingsWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
  }
  void TearDown() override {
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "unexpected message boxes";
  }
  Settings Load() {
    Settings s;
    LoadSettingsFromRegistry(folder_.path(), s);
    return s;
  }
  CleanRegistryKey clean_;
  ProgramFolder folder_;
};

// ---- Store ----

TEST_F(SettingsWine, FreshUserSavesEveryDefaultWithItsType) {
  const Settings s = Load();
  SaveSettingsToRegistry(folder_.path(), s);

  const auto general = ReadSection("General");
  const auto sets = ReadSection("MenuFileSet");
  const auto macro = ReadSection("Macro");
  EXPECT_EQ(general.size(), 33u);
  EXPECT_EQ(sets.size(), 30u);
  EXPECT_EQ(macro.size(), 10u);
  EXPECT_FALSE(SectionExists("SkipAppList"));  // an empty list leaves no section

  const char* texts[] = {"Editor", "QuoteChar", "CurMacroName"};
  auto isText = [&](const std::string& name) {
    for (const char* t : texts) {
      if (name == t) return true;
    }
    return name.rfind("MenuFile", 0) == 0 && name.find('-') == std::string::npos;
  };
  for (const auto* section : {&general, &sets, &macro}) {
    for (const auto& [name, value] : *section) {
      EXPECT_EQ(value.type, isText(name) ? static_cast<DWORD>(REG_SZ) : static_cast<DWORD>(REG_DWORD)) << name;
      if (value.type == REG_DWORD) {
        EXPECT_EQ(value.bytes.size(), 4u) << name;
      }
    }
  }
  const struct {
    const std::map<std::string, RawValue>* section;
    const char* name;
    DWORD number;
  } numbers[] = {
      {&general, "EncloseTimeLag", 300}, {&general, "KeyStrokeTimeLag", 100}, {&general, "MaxHistoryNum", 50},
      {&general, "MaxCharNum", 30},      {&general, "KeyClearHist", 75},      {&general, "ModClearHist", 3},
      {&general, "SaveHist", 1},         {&general, "SkipWord", 1},           {&general, "ChangeKey", 2},
      {&general, "StackKey", 1},         {&general, "CutLastRet", 1},         {&general, "CutLastRet2", 1},
      {&general, "DirHistShare", 1},     {&general, "Suspend", 0},            {&general, "TitleMenu", 0},
      {&sets, "MenuFile0-Preset", 0},    {&sets, "MenuFile1-Preset", static_cast<DWORD>(-2)},
      {&sets, "MenuFile1-Key", 77 + 3 * 65536}, {&sets, "MenuFile9-Preset", static_cast<DWORD>(-1)},
      {&macro, "KeyInterval", 100},      {&macro, "MouseInterval", 20},       {&macro, "LoopPlay", 1},
      {&macro, "RecKey", 1},             {&macro, "DispTopMost", 1},          {&macro, "MessageBeep", 0},
  };
  for (const auto& row : numbers) {
    ASSERT_TRUE(row.section->count(row.name)) << row.name;
    EXPECT_EQ(row.section->at(row.name).dword(), row.number) << row.name;
  }
  EXPECT_EQ(general.at("Editor").text(), "Notepad.exe");
  EXPECT_EQ(general.at("QuoteChar").text(), "> ");
  // The defaults lie in the program folder, so only their names are stored.
  EXPECT_EQ(sets.at("MenuFile0").text(), "MenuItem.txt");
  EXPECT_EQ(sets.at("MenuFile1").text(), "MenuHelp.txt");
  EXPECT_EQ(sets.at("MenuFile2").text(), "");
  EXPECT_EQ(macro.at("CurMacroName").text(), "");
}

QUILLO_CHILD(WriteSettingsAsAnotherProgram) {
  if (args.size() != 1) return 2;
  const std::string absolute = args[0] + "\\sub\\Other.txt";
  bool ok = SetDword("General", "MaxHistoryNum", 20) && SetDword("General", "StackKey", static_cast<DWORD>(-2)) &&
            SetDword("General", "StackSpecKey", 0x70) && SetDword("General", "Suspend", 1) &&
            SetText("General", "Editor", "C:\\Tools\\ed.exe") &&
            SetText("General", "QuoteChar", "1234567890abcdefghijKLMNO") &&
            SetText("MenuFileSet", "MenuFile0", "Mine.txt") && SetDword("MenuFileSet", "MenuFile0-Preset", 3) &&
            SetText("MenuFileSet", "MenuFile1", "Gone.txt") && SetText("MenuFileSet", "MenuFile2", absolute) &&
            SetDword("MenuFileSet", "MenuFile2-Preset", static_cast<DWORD>(-2)) &&
            SetDword("MenuFileSet", "MenuFile2-Key", 0x41 | (2 << 16)) &&
            SetText("SkipAppList", "SkipApp0", "C:\\Apps\\one.exe") &&
            SetText("SkipAppList", "SkipApp1", "C:\\Apps\\two.exe") && SetDword("Macro", "LoopPlay", 7);
  return ok ? 0 : 3;
}

TEST_F(SettingsWine, ValuesWrittenByAnotherProcessAreLoaded) {
  ASSERT_TRUE(CreateDirectoryA(folder_.file("sub").c_str(), nullptr));
  ASSERT_TRUE(TouchFile(folder_.file("Mine.txt")));
  ASSERT_TRUE(TouchFile(folder_.file("sub\\Other.txt")));
  ASSERT_EQ(RunChild("WriteSettingsAsAnotherProgram", "\"" + folder_.path() + "\""), 0);

  Settings s = Load();
  EXPECT_EQ(s.MaxHistoryNum, 20);
  EXPECT_EQ(s.StackKey, -2);
  EXPECT_EQ(s.StackSpecKey, 0x70);
  EXPECT_TRUE(s.Suspend);
  EXPECT_EQ(s.Editor, "C:\\Tools\\ed.exe");
  EXPECT_EQ(s.QuoteChar, "1234567890abcdefghij");
  EXPECT_EQ(s.LoopPlay, 7);
  EXPECT_EQ(s.SkipApps, Texts({"C:\\Apps\\one.exe", "C:\\Apps\\two.exe"}));
  // Gone.txt is dropped and the set after it closes up.
  EXPECT_EQ(std::string(s.MenuFiles[0].path), folder_.file("Mine.txt"));
  EXPECT_EQ(s.MenuFiles[0].trigger, 3);
  EXPECT_EQ(std::string(s.MenuFiles[1].path), folder_.file("sub\\Other.txt"));
  EXPECT_EQ(s.MenuFiles[1].key, 0x41);
  EXPECT_EQ(s.MenuFiles[1].modifiers, 2);
  EXPECT_EQ(s.MenuFiles[2].path[0], '\0');

  // Saved back: the quote as cut, the file in the folder by name only, the
  // one in a sub folder in full, and the skip list rewritten.
  s.SkipApps.pop_back();
  SaveSettingsToRegistry(folder_.path(), s);
  EXPECT_EQ(ReadSection("General").at("QuoteChar").text(), "1234567890abcdefghij");
  const auto sets = ReadSection("MenuFileSet");
  EXPECT_EQ(sets.at("MenuFile0").text(), "Mine.txt");
  EXPECT_EQ(sets.at("MenuFile1").text(), folder_.file("sub\\Other.txt"));
  EXPECT_EQ(sets.at("MenuFile2").text(), "");
  const auto skip = ReadSection("SkipAppList");
  EXPECT_EQ(skip.size(), 1u);
  EXPECT_EQ(skip.at("SkipApp0").text(), "C:\\Apps\\one.exe");
}

TEST_F(SettingsWine, WrongTypedAndOversizedValuesReadAsTheDefaults) {
  const DWORD64 wide = 20;
  const DWORD small = 7;
  const std::string huge(5000, 'h');
  ASSERT_TRUE(SetText("General", "MaxHistoryNum", "20"));
  ASSERT_TRUE(SetRaw("General", "MaxCharNum", REG_QWORD, &wide, sizeof wide));
  ASSERT_TRUE(SetRaw("General", "EncloseTimeLag", REG_DWORD, &small, 2));  // a DWORD of two bytes
  ASSERT_TRUE(SetRaw("General", "KeyStrokeTimeLag", REG_BINARY, &small, sizeof small));
  ASSERT_TRUE(SetDword("General", "Editor", 5));
  ASSERT_TRUE(SetText("General", "QuoteChar", huge));
  ASSERT_TRUE(SetRaw("Macro", "CurMacroName", REG_EXPAND_SZ, "x.mcr", 6));
  ASSERT_TRUE(SetRaw("MenuFileSet", "MenuFile0", REG_BINARY, "A.txt", 6));
  ASSERT_TRUE(TouchFile(folder_.file("A.txt")));
  // A text without its terminator is still that text.
  ASSERT_TRUE(SetRaw("SkipAppList", "SkipApp0", REG_SZ, "C:\\x.exe", 8));
  ASSERT_TRUE(SetText("SkipAppList", "SkipApp1", huge));
  ASSERT_TRUE(SetText("SkipAppList", "SkipApp2", "C:\\y.exe"));

  const Settings s = Load();
  EXPECT_EQ(s.MaxHistoryNum, 50);
  EXPECT_EQ(s.MaxCharNum, 30);
  EXPECT_EQ(s.EncloseTimeLag, 300);
  EXPECT_EQ(s.KeyStrokeTimeLag, 100);
  EXPECT_EQ(s.Editor, "Notepad.exe");
  EXPECT_EQ(s.QuoteChar, "> ");
  EXPECT_EQ(s.CurMacroName, "");
  // MenuFile0 unreadable means no stored sets: the defaults.
  EXPECT_EQ(std::string(s.MenuFiles[0].path), folder_.file("MenuItem.txt"));
  // The oversized entry ends the list like an empty one.
  EXPECT_EQ(s.SkipApps, Texts({"C:\\x.exe"}));
}

// ---- Shared block ----

class SettingsWineShared : public SettingsWine {
 protected:
  void TearDown() override {
    // Other suites expect a block nobody has written to.
    Settings zero;
    zero.KeyClearHist = 0;
    for (MenuFileSet& m : zero.MenuFiles) std::memset(&m, 0, sizeof m);
    for (int i = 0; i < kMenuFileSetCount; ++i) SetCustomMenuSet(i, &zero.MenuFiles[i]);
    g_nStackKey = g_nChangeKey = g_nMenuPos = g_nPasteCmd = g_nCutCmd = g_nCharNum = g_nTitleMenu = 0;
    g_wStackKey = g_wStackMod = g_wChangeKey = g_wChangeMod = 0;
    g_bMoveStackTop = g_bSkipTopSpace = g_bCutLastRet = g_bCutLastRet2 = g_bCopyOnly = 0;
    g_bResetCursor = g_bImeAdjust = g_bRecKey = g_bRecMouse = g_bCutMouseMove = 0;
    g_bDirectPaste = g_bSuspend = 0;
    g_bDirHistShare = g_bSuspendDirHist = 0;
    std::memset(g_szQuote, 0, sizeof g_szQuote);
    std::memset(g_szKeyClearHist, 0, sizeof g_szKeyClearHist);
    SettingsWine::TearDown();
  }
};

// What another process sees of the block after the resident program applied.
QUILLO_CHILD(CheckAppliedBlock) {
  if (args.size() != 1) return 2;
  if (g_nCharNum != 42 || g_nStackKey != 3 || g_bSkipTopSpace != 1) return 10;
  if (std::string(g_CustomMenuSet[0].path) != args[0] || g_CustomMenuSet[0].trigger != 5) return 11;
  if (std::string(g_szKeyClearHist) != "Ctrl+Alt+K") return 12;
  return 0;
}

TEST_F(SettingsWineShared, ApplyFillsTheExportedVariablesOfBothLibraries) {
  ASSERT_TRUE(TouchFile(folder_.file("Mine.txt")));
  SetText("MenuFileSet", "MenuFile0", "Mine.txt");
  SetDword("MenuFileSet", "MenuFile0-Preset", 5);
  SetText("MenuFileSet", "MenuFile1", "Mine.txt");  // the same file twice is two sets
  SetDword("MenuFileSet", "MenuFile1-Preset", static_cast<DWORD>(-2));
  SetDword("MenuFileSet", "MenuFile1-Key", 0x2E | (4 << 16));
  const struct {
    const char* name;
    DWORD value;
  } general[] = {
      {"StackKey", 3},       {"StackSpecKey", 0x71}, {"StackSpecMod", 5},  {"ChangeKey", static_cast<DWORD>(-2)},
      {"ChangeSpecKey", 0x72}, {"ChangeSpecMod", 6}, {"MenuPos", 2},       {"PasteCmd", 1},
      {"CutCmd", 2},         {"MaxCharNum", 42},     {"MoveStackTop", 1},  {"SkipTopSpace", 1},
      {"CutLastRet", 0},     {"CutLastRet2", 0},     {"CopyOnly", 1},      {"ResetCursor", 1},
      {"ImeAdjust", 1},      {"TitleMenu", 2},       {"DirHistShare", 0},  {"DirectPaste", 1},
      {"Suspend", 1},        {"SuspendDirHist", 1},
  };
  for (const auto& g : general) ASSERT_TRUE(SetDword("General", g.name, g.value)) << g.name;
  SetText("General", "QuoteChar", ">> ");
  SetDword("Macro", "RecKey", 0);
  SetDword("Macro", "CutMouseMove", 1);
  // Something in every entry, so entries the apply clears are seen to be cleared.
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    MenuFileSet junk;
    std::memset(&junk, 'j', sizeof junk);
    junk.path[sizeof junk.path - 1] = '\0';
    SetCustomMenuSet(i, &junk);
  }

  const Settings s = Load();
  WriteLoadTimeSharedSettings(s);
  ApplySettingsToSharedBlock(s);

  EXPECT_EQ(g_nStackKey, 3);
  EXPECT_EQ(g_wStackKey, 0x71);
  EXPECT_EQ(g_wStackMod, 5);
  EXPECT_EQ(g_nChangeKey, -2);
  EXPECT_EQ(g_wChangeKey, 0x72);
  EXPECT_EQ(g_wChangeMod, 6);
  EXPECT_EQ(g_nMenuPos, 2);
  EXPECT_EQ(g_nPasteCmd, 1);
  EXPECT_EQ(g_nCutCmd, 2);
  EXPECT_EQ(g_nCharNum, 42);
  EXPECT_EQ(g_bMoveStackTop, 1);
  EXPECT_EQ(g_bSkipTopSpace, 1);
  EXPECT_EQ(g_bCutLastRet, 0);
  EXPECT_EQ(g_bCutLastRet2, 0);
  EXPECT_EQ(g_bCopyOnly, 1);
  EXPECT_EQ(g_bResetCursor, 1);
  EXPECT_EQ(g_bImeAdjust, 1);
  EXPECT_EQ(g_nTitleMenu, 2);
  EXPECT_EQ(g_bDirHistShare, 0);
  EXPECT_EQ(g_bDirectPaste, 1);
  EXPECT_EQ(g_bSuspend, 1);
  EXPECT_EQ(g_bSuspendDirHist, 1);
  EXPECT_STREQ(g_szQuote, ">> ");
  EXPECT_STREQ(g_szKeyClearHist, "Ctrl+Alt+K");
  EXPECT_EQ(g_bRecKey, 0);
  EXPECT_EQ(g_bRecMouse, 1);
  EXPECT_EQ(g_bCutMouseMove, 1);

  EXPECT_EQ(std::string(g_CustomMenuSet[0].path), folder_.file("Mine.txt"));
  EXPECT_EQ(g_CustomMenuSet[0].trigger, 5);
  EXPECT_EQ(g_CustomMenuSet[1].trigger, -2);
  EXPECT_EQ(g_CustomMenuSet[1].key, 0x2E);
  EXPECT_EQ(g_CustomMenuSet[1].modifiers, 4);
  for (int i = 2; i < kMenuFileSetCount; ++i) {
    EXPECT_STREQ(g_CustomMenuSet[i].path, "") << i;
    EXPECT_EQ(g_CustomMenuSet[i].trigger, -1) << i;
    EXPECT_EQ(g_CustomMenuSet[i].key, 0) << i;
    EXPECT_EQ(g_CustomMenuSet[i].modifiers, 0) << i;
  }

  EXPECT_EQ(RunChild("CheckAppliedBlock", "\"" + folder_.file("Mine.txt") + "\""), 0);
}

TEST_F(SettingsWineShared, ChosenMenuFileSetMovesToTheTopForTheHooks) {
  for (const char* f : {"A.txt", "B.txt", "C.txt", "D.txt"}) ASSERT_TRUE(TouchFile(folder_.file(f)));
  const char* names[] = {"A.txt", "B.txt", "C.txt", "D.txt"};
  for (int n = 0; n < 4; ++n) {
    const std::string key = "MenuFile" + std::to_string(n);
    SetText("MenuFileSet", key.c_str(), names[n]);
    SetDword("MenuFileSet", (key + "-Preset").c_str(), static_cast<DWORD>(n));
  }
  Settings s = Load();
  ApplySettingsToSharedBlock(s);
  MoveMenuFileSetToTopAndPush(s, 3);
  const char* order[] = {"D.txt", "A.txt", "B.txt", "C.txt"};
  const int triggers[] = {3, 0, 1, 2};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::string(g_CustomMenuSet[i].path), folder_.file(order[i])) << i;
    EXPECT_EQ(g_CustomMenuSet[i].trigger, triggers[i]) << i;
  }
  EXPECT_STREQ(g_CustomMenuSet[4].path, "");
  // And the next start shows it first.
  SaveSettingsToRegistry(folder_.path(), s);
  EXPECT_EQ(std::string(Load().MenuFiles[0].path), folder_.file("D.txt"));
}

// ---- Clear-history key ----

// A window that can own hot keys.
class HotKeyWindow {
 public:
  HotKeyWindow() : hwnd_(CreateWindowExA(0, "STATIC", "quillo settings test", WS_POPUP, 0, 0, 10, 10, nullptr,
                                         nullptr, GetModuleHandleA(nullptr), nullptr)) {}
  ~HotKeyWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

constexpr char kKeyTakenEvent[] = "QuilloSettingsTestKeyTaken";
constexpr char kReleaseEvent[] = "QuilloSettingsTestRelease";

// Holds Ctrl+Alt+K (or whatever the parent asks for) until told to let go.
QUILLO_CHILD(HoldHotKey) {
  (void)args;
  HANDLE taken = OpenEventA(EVENT_MODIFY_STATE, FALSE, kKeyTakenEvent);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kReleaseEvent);
  if (taken == nullptr || release == nullptr) return 2;
  if (!RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'K')) return 3;
  SetEvent(taken);
  WaitForSingleObject(release, 30000);
  UnregisterHotKey(nullptr, 1);
  CloseHandle(taken);
  CloseHandle(release);
  return 0;
}

TEST_F(SettingsWine, ClearHistoryKeyTakenByAnotherProgramShows2017AndIsSwitchedOff) {
  HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, kKeyTakenEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  ASSERT_NE(taken, nullptr);
  ASSERT_NE(release, nullptr);
  Process holder = StartChild("HoldHotKey");
  ASSERT_EQ(WaitForSingleObject(taken, 15000), WAIT_OBJECT_0) << "the child could not take the key";

  HotKeyWindow window;
  ASSERT_NE(window.get(), nullptr);
  Settings s = Load();
  ASSERT_EQ(s.KeyClearHist, 'K');
  strcpy(g_szKeyClearHist, "Ctrl+Alt+K");
  EXPECT_FALSE(RegisterClearHistoryKey(window.get(), GetModuleHandleA(nullptr), s));
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts({"Failed to register a shortcut key."}));
  EXPECT_EQ(s.KeyClearHist, 0);
  EXPECT_EQ(s.ModClearHist, 0);
  EXPECT_STREQ(g_szKeyClearHist, "");

  // Switched off means saved off, and the next start registers nothing.
  SaveSettingsToRegistry(folder_.path(), s);
  const auto general = ReadSection("General");
  EXPECT_EQ(general.at("KeyClearHist").dword(), 0u);
  EXPECT_EQ(general.at("ModClearHist").dword(), 0u);
  Settings next = Load();
  EXPECT_TRUE(RegisterClearHistoryKey(window.get(), GetModuleHandleA(nullptr), next));

  SetEvent(release);
  DWORD code = 99;
  EXPECT_TRUE(holder.Wait(15000, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(taken);
  CloseHandle(release);
}

QUILLO_CHILD(TryHotKey) {
  (void)args;
  const bool got = RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'K') != FALSE;
  if (got) UnregisterHotKey(nullptr, 1);
  return got ? 1 : 0;
}

TEST_F(SettingsWine, FreeClearHistoryKeyIsHeldUntilUnregistered) {
  HotKeyWindow window;
  ASSERT_NE(window.get(), nullptr);
  Settings s = Load();
  ASSERT_TRUE(RegisterClearHistoryKey(window.get(), GetModuleHandleA(nullptr), s));
  EXPECT_EQ(s.KeyClearHist, 'K');
  EXPECT_EQ(s.ModClearHist, 3);
  EXPECT_EQ(RunChild("TryHotKey"), 0) << "another program could take our key";
  UnregisterClearHistoryKey(window.get(), s);
  EXPECT_EQ(RunChild("TryHotKey"), 1) << "the key was not given back";
}

}  // namespace
}  // namespace quillo::wine
