// The macro list menu's entries and the macro bar's caption and place.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "code_page.h"
#include "macros/macro_bar.h"
#include "macros/macro_list.h"

namespace quillo::macros {
namespace {

std::vector<std::string> Files(int count) {
  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) files.push_back("M" + std::to_string(i) + ".mcr");
  return files;
}

TEST(MacroList, ThirtyFiveFiles_TenInTheMenuTwentyInMore_FiveLeftOut) {
  const std::vector<MacroListEntry> entries = BuildMacroList(Files(35), "m12.MCR");
  ASSERT_EQ(entries.size(), 30u);
  const struct {
    size_t index;
    const char* label;
    bool inMore;
  } rows[] = {
      {0, "&1: M1.mcr", false},   {8, "&9: M9.mcr", false},   {9, "1&0: M10.mcr", false},
      {10, "&1: M11.mcr", true},  {18, "&9: M19.mcr", true},  {19, "1&0: M20.mcr", true},
      {20, "11: M21.mcr", true},  {29, "20: M30.mcr", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.index);
    EXPECT_EQ(entries[row.index].label, row.label);
    EXPECT_EQ(entries[row.index].inMore, row.inMore);
    EXPECT_EQ(entries[row.index].file, "M" + std::to_string(row.index + 1) + ".mcr");
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].command, 100u + i) << i;
    EXPECT_EQ(entries[i].checked, i == 11) << i;  // the current one, whatever its case
  }
  ASSERT_NE(FindMacroListEntry(entries, 129), nullptr);
  EXPECT_EQ(FindMacroListEntry(entries, 129)->file, "M30.mcr");
  EXPECT_EQ(FindMacroListEntry(entries, 130), nullptr);
  EXPECT_EQ(FindMacroListEntry(entries, 0), nullptr);
}

TEST(MacroList, TenFilesNeedNoMore_NoneCurrentChecksNone_AmpersandsShowAsTheyAre) {
  const std::vector<MacroListEntry> ten = BuildMacroList(Files(10), "");
  ASSERT_EQ(ten.size(), 10u);
  for (const MacroListEntry& e : ten) {
    EXPECT_FALSE(e.inMore) << e.label;
    EXPECT_FALSE(e.checked) << e.label;
  }
  EXPECT_TRUE(BuildMacroList({}, "A.mcr").empty());
  const std::vector<MacroListEntry> amp = BuildMacroList({"Tom&Jerry.mcr"}, "");
  EXPECT_EQ(amp[0].label, "&1: Tom&&Jerry.mcr");
  EXPECT_EQ(amp[0].file, "Tom&Jerry.mcr");
}

TEST(MacroList, NamesCompareWithoutCase_ButTrailBytesAreNeverFolded) {
  testing::ScopedCodePage cp(932);
  const struct {
    const char* a;
    const char* b;
    bool same;
  } rows[] = {
      {"Login.mcr", "LOGIN.MCR", true},
      {"Login.mcr", "Login.mcr.mcr", false},
      {"Login.mcr", "Logon.mcr", false},
      {"", "", true},
      // 0x83 0x41 (ア) and 0x83 0x61 (ャ): the trail bytes are 'A' and 'a'.
      {"\x83\x41.mcr", "\x83\x61.mcr", false},
      {"\x83\x41.mcr", "\x83\x41.MCR", true},
      // A lead byte in one name against a letter in the other.
      {"\x83\x41", "\x83", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SameMacroName(row.a, row.b), row.same) << row.a << " / " << row.b;
  }
}

TEST(MacroBar, CaptionFollowsTheCurrentMacro) {
  EXPECT_EQ(MacroBarCaption("Login.mcr"), "Login.mcr - Macro");
  EXPECT_EQ(MacroBarCaption(""), "Macro");
}

class MapStore : public settings::SettingsStore {
 public:
  int32_t ReadInt(const char* section, const char* key, int32_t fallback) override {
    auto it = ints.find({section, key});
    return it == ints.end() ? fallback : it->second;
  }
  std::string ReadString(const char*, const char*, const char* fallback) override { return fallback; }
  bool WriteInt(const char* section, const char* key, int32_t value) override {
    ints[{section, key}] = value;
    return true;
  }
  bool WriteString(const char*, const char*, const char*) override { return true; }
  bool DeleteSection(const char*) override { return true; }
  std::map<std::pair<std::string, std::string>, int32_t> ints;
};

TEST(MacroBar, PlaceRoundTripsUnderMacroBarNames_FirstRunShowsItUnplaced) {
  MapStore store;
  const MacroBarPlace first = LoadMacroBarPlace(store);
  EXPECT_TRUE(first.visible);
  EXPECT_FALSE(first.placed);
  SaveMacroBarPlace(store, {false, true, -40, 300});
  for (const auto& [key, value] : store.ints) {
    EXPECT_EQ(key.second.rfind("MacroBar", 0), 0u) << key.second;
  }
  const MacroBarPlace again = LoadMacroBarPlace(store);
  EXPECT_FALSE(again.visible);
  EXPECT_TRUE(again.placed);
  EXPECT_EQ(again.x, -40);
  EXPECT_EQ(again.y, 300);
  // Only one coordinate kept (a damaged store): no place at all.
  store.ints.erase({kMacroBarSection, kMacroBarYKey});
  EXPECT_FALSE(LoadMacroBarPlace(store).placed);
}

TEST(MacroBar, PlaceKeepsTheWholeBarOnTheDesktop) {
  const ScreenArea desk = {0, 0, 1024, 740};
  const struct {
    const char* what;
    MacroBarPlace place;
    int32_t width, height;
    ScreenArea area;
    int32_t x, y;
  } rows[] = {
      {"kept place", {true, true, 200, 150}, 120, 40, desk, 200, 150},
      {"first run: top right", {true, false, 0, 0}, 120, 40, desk, 1024 - 120 - 16, 16},
      {"off the right and bottom", {true, true, 2000, 900}, 120, 40, desk, 904, 700},
      {"off the left and top", {true, true, -500, -30}, 120, 40, desk, 0, 0},
      {"work area not at the origin", {true, true, 0, 0}, 120, 40, {100, 30, 800, 600}, 100, 30},
      {"larger than the area", {true, true, 50, 50}, 2000, 900, desk, 0, 0},
      {"hostile extremes", {true, true, INT32_MAX, INT32_MIN}, 120, 40, desk, 904, 0},
  };
  for (const auto& row : rows) {
    const ScreenPoint p = PlaceMacroBar(row.place, row.width, row.height, row.area);
    EXPECT_EQ(p.x, row.x) << row.what;
    EXPECT_EQ(p.y, row.y) << row.what;
  }
}

// The choice of the monitor only: Wine shows one monitor, so no journey can
// prove that the bar's window goes where this choice says (the glue passes
// EnumDisplayMonitors' work areas straight in).
TEST(MacroBar, StaysOnTheMonitorWhereItWasLeft) {
  // The primary monitor first, a second one to its right and a third above
  // the primary one; each has its own work area (a task bar on the primary).
  const ScreenArea primary = {0, 0, 1024, 740}, right = {1024, 0, 2944, 1080}, above = {0, -768, 1024, 0};
  const std::vector<ScreenArea> monitors = {primary, right, above};
  const ScreenArea fallback = {0, 0, 800, 600};
  const struct {
    const char* what;
    MacroBarPlace place;
    std::vector<ScreenArea> areas;
    ScreenArea area;
  } rows[] = {
      {"on the second monitor", {true, true, 2000, 500}, monitors, right},
      {"on the monitor above", {true, true, 300, -400}, monitors, above},
      {"on the primary monitor", {true, true, 300, 300}, monitors, primary},
      {"right of every monitor: the nearest", {true, true, 4000, 200}, monitors, right},
      {"in the task bar of the primary: the primary", {true, true, 500, 750}, monitors, primary},
      {"first run: the primary", {true, false, 0, 0}, monitors, primary},
      {"no monitors known: the system's work area", {true, true, 2000, 500}, {}, fallback},
      {"hostile extremes", {true, true, INT32_MIN, INT32_MAX}, monitors, primary},
  };
  for (const auto& row : rows) {
    const ScreenArea a = MacroBarArea(row.place, row.areas, fallback);
    EXPECT_EQ(a.left, row.area.left) << row.what;
    EXPECT_EQ(a.top, row.area.top) << row.what;
    EXPECT_EQ(a.right, row.area.right) << row.what;
    EXPECT_EQ(a.bottom, row.area.bottom) << row.what;
  }
  // The bar kept on the second monitor is placed there, not pulled back onto the primary one.
  const MacroBarPlace kept = {true, true, 2000, 500};
  const ScreenPoint p = PlaceMacroBar(kept, 120, 40, MacroBarArea(kept, monitors, fallback));
  EXPECT_EQ(p.x, 2000);
  EXPECT_EQ(p.y, 500);
}

}  // namespace
}  // namespace quillo::macros
