// Trigger rules of the hooks, replayed with fake input, a fake clock and a fake
// key state. Menu-file set entry c carries trigger code c (c = 0 to 7), so a
// firing of code c shows up as "custom c".
#include "trigger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace quillo::hook {
namespace {

using Log = std::vector<std::string>;
constexpr uint32_t kVkA = 'A';
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkF1Key = 0x70;
constexpr uint32_t kVkPause = 0x13;

class FakeHost : public TriggerHost {
 public:
  uint32_t now = 100000;
  bool keys[256] = {};
  bool tracking = false;
  int helpTopic = 0;
  bool windowHasTitle = true;
  int clockReads = 0, keyStateReads = 0;
  Log log;
  std::function<void()> duringMenu;  // input replayed while a menu is "open"
  bool boxInsteadOfMenu = false;     // what opens is a message box: no menu is tracked

  bool IsKeyDown(uint32_t vk) noexcept override { ++keyStateReads; return vk < 256 && keys[vk]; }
  uint32_t TickCount() noexcept override { ++clockReads; return now; }
  void ShowMenu(MenuKind kind, int entry, bool atMouse) noexcept override {
    static const char* const names[] = {"", "custom", "stack", "chooser", "both"};
    std::string s = names[static_cast<int>(kind)];
    if (kind == MenuKind::kCustom) s += " " + std::to_string(entry);
    log.push_back(s + (atMouse ? " at mouse" : ""));
    if (duringMenu) {
      tracking = !boxInsteadOfMenu;
      auto replay = std::move(duringMenu);
      replay();
      tracking = false;
    }
  }
  bool IsTrackingMenu() noexcept override { return tracking; }
  int HelpTopic() noexcept override { return helpTopic; }
  void SetChoiceMode(int mode) noexcept override { log.push_back("choice " + std::to_string(mode)); }
  void OpenHelp(int topic) noexcept override { log.push_back("help " + std::to_string(topic)); }
  bool HasWindowTitle(uintptr_t) noexcept override { return windowHasTitle; }
  void AdjustRecordSuspension(int delta) noexcept override { log.push_back("rec suspend " + std::to_string(delta)); }
  void RecordKey(const KeyEvent& e) noexcept override { log.push_back("record " + std::to_string(e.vk)); }
  void CheckPauseWhilePlaying(const KeyEvent& e) noexcept override { log.push_back("pause? " + std::to_string(e.vk)); }
  void RecordMouse(const MouseEvent& e) noexcept override { log.push_back("record mouse " + std::to_string(e.message)); }
  void StopTyping() noexcept override { log.push_back("stop typing"); }
  void CountTypedKey() noexcept override { log.push_back("typed key"); }
  void SendKey(uint8_t vk, bool up) noexcept override { log.push_back("key " + std::to_string(vk) + (up ? " up" : " down")); }
  void SuspendRecording() noexcept override { log.push_back("SuspendRec"); }
  void ResumeRecording() noexcept override { log.push_back("ResumeRec"); }
};

struct Rig {
  FakeHost host;
  TriggerState state;
  MenuFileSet entries[kMenuFileSetCount] = {};
  TriggerSettings settings;
  TriggerHandler handler{host, state};

  Rig() {
    for (int i = 0; i < kMenuFileSetCount; ++i) {
      std::snprintf(entries[i].path, sizeof entries[i].path, "C:\\menu%d.txt", i);
      entries[i].trigger = i < 8 ? i : kTriggerNone;
    }
    settings.menuSet = entries;
  }
  HookVerdict Key(uint32_t vk, bool released, bool extended = false, bool repeat = false) {
    const uint32_t lParam = (released ? 0xC0000000u : (repeat ? 0x40000000u : 0u)) | (extended ? 0x01000000u : 0u) | 1u;
    return handler.OnKeyboard(kHcAction, DecodeKeyEvent(vk, lParam), settings);
  }
  HookVerdict Press(uint32_t vk) { return Key(vk, false); }
  HookVerdict Release(uint32_t vk, bool extended = false) { return Key(vk, true, extended); }
  void Tap(uint32_t vk) { Press(vk); Release(vk); }
  HookVerdict Mouse(uint32_t message, int32_t hitTest = kHtCaption) {
    MouseEvent e;
    e.message = message;
    e.hitTest = hitTest;
    return handler.OnMouse(kHcAction, e, settings);
  }
};

// ---- double releases ----

struct Step {
  uint32_t at;   // ms after the start
  char action;   // 'r' release, 'p' press, 'R' auto-repeat press, 'e' extended (right) release
  uint32_t vk;
};

Log Replay(Rig& rig, const std::vector<Step>& steps) {
  const uint32_t start = rig.host.now;
  for (const Step& s : steps) {
    rig.host.now = start + s.at;
    if (s.action == 'r') rig.Release(s.vk);
    if (s.action == 'e') rig.Release(s.vk, true);
    if (s.action == 'p') rig.Press(s.vk);
    if (s.action == 'R') rig.Key(s.vk, false, false, true);
  }
  return rig.host.log;
}

// ---- typing a text ----

TEST(TriggerTyping, PauseOrEscapeWhileTyping_StopsItAndNeverReachesTheProgram) {
  for (uint32_t vk : {kVkPause, 0x1Bu}) {
    Rig rig;
    rig.settings.typing = true;
    rig.settings.recording = true;
    EXPECT_EQ(rig.Press(vk), HookVerdict::kSwallow) << vk;
    EXPECT_EQ(rig.Release(vk), HookVerdict::kSwallow) << vk;
    EXPECT_EQ(rig.host.log, (Log{"stop typing"})) << "one stop, and nothing recorded; vk " << vk;
  }
  // Not typing: Escape is the program's.
  Rig idle;
  EXPECT_EQ(idle.Press(0x1B), HookVerdict::kPassOn);
  EXPECT_TRUE(idle.host.log.empty());
  // Typing: every typed key passes and is counted for the typist to keep
  // pace; none is recorded, and the Shift of two capitals is no double Shift.
  Rig typing;
  typing.settings.typing = true;
  typing.settings.recording = true;
  EXPECT_EQ(typing.Press(0xE7), HookVerdict::kPassOn);  // VK_PACKET
  EXPECT_EQ(typing.Release(0xE7), HookVerdict::kPassOn);
  typing.Tap(kVkShift);
  typing.host.now += 50;
  typing.Tap(kVkShift);
  EXPECT_EQ(typing.host.log, (Log(6, "typed key")));
  // The recording suspension's markers still count in the recording.
  typing.host.log.clear();
  EXPECT_EQ(typing.Press(0), HookVerdict::kSwallow);
  EXPECT_EQ(typing.host.log, (Log{"rec suspend 1"}));
  Rig notTyping;
  notTyping.Press(0xE7);
  EXPECT_TRUE(notTyping.host.log.empty());
}

// Typing ends at the press of the stop key, before its release comes: the
// release and the key's repeats while held are still the stop's; a fresh
// press is the program's again, even when the release went elsewhere.
TEST(TriggerTyping, TheStopKeysReleaseAfterTypingEndedStaysAwayFromTheProgram) {
  for (uint32_t vk : {kVkPause, 0x1Bu}) {
    Rig rig;
    rig.settings.typing = true;
    EXPECT_EQ(rig.Press(vk), HookVerdict::kSwallow) << vk;
    rig.settings.typing = false;  // the typist saw the stop and ended
    EXPECT_EQ(rig.Key(vk, false, false, true), HookVerdict::kSwallow) << "a repeat while held, vk " << vk;
    EXPECT_EQ(rig.Release(vk), HookVerdict::kSwallow) << vk;
    EXPECT_EQ(rig.Press(vk), HookVerdict::kPassOn) << "the next press is the program's, vk " << vk;
    EXPECT_EQ(rig.Release(vk), HookVerdict::kPassOn) << vk;
  }
  // Another key in between is not taken for the stop key.
  Rig other;
  other.settings.typing = true;
  other.Press(0x1B);
  other.settings.typing = false;
  EXPECT_EQ(other.Press('A'), HookVerdict::kPassOn);
  EXPECT_EQ(other.Release('A'), HookVerdict::kPassOn);
  EXPECT_EQ(other.Release(0x1B), HookVerdict::kSwallow);
  // The release went to another program: this one's next press of the key
  // (no repeat) is the user's, and so is its release.
  Rig moved;
  moved.settings.typing = true;
  moved.Press(0x1B);
  moved.settings.typing = false;
  EXPECT_EQ(moved.Press(0x1B), HookVerdict::kPassOn);
  EXPECT_EQ(moved.Release(0x1B), HookVerdict::kPassOn);
}

// A macro that types a text: Pause stops the typing and the playback alike.
TEST(TriggerTyping, PauseWhileAMacroTypesStopsThePlaybackToo) {
  Rig rig;
  rig.settings.typing = true;
  rig.settings.playing = true;
  EXPECT_EQ(rig.Press(kVkPause), HookVerdict::kSwallow);
  EXPECT_EQ(rig.host.log, (Log{"pause? " + std::to_string(kVkPause), "stop typing"}))
      << "the playback's stop comes first, before the typing it waits for ends";
}

TEST(TriggerDoublePress, SecondReleaseFiresOnlyWithin499ms) {
  const struct {
    const char* name;
    bool alt;
    std::vector<Step> steps;
    Log fired;
  } rows[] = {
      {"DoubleShift_Fires_WhenSecondReleaseWithin499ms", false, {{0, 'r', kVkShift}, {499, 'r', kVkShift}}, {"custom 0"}},
      {"DoubleShift_DoesNotFire_At500ms", false, {{0, 'r', kVkShift}, {500, 'r', kVkShift}}, {}},
      {"DoubleCtrl_Fires_WhenSecondReleaseWithin499ms", false, {{0, 'r', kVkControl}, {499, 'r', kVkControl}}, {"custom 1"}},
      {"DoubleCtrl_DoesNotFire_At500ms", false, {{0, 'r', kVkControl}, {500, 'r', kVkControl}}, {}},
      {"AltHeld_DoubleShift_IsCode2", true, {{0, 'r', kVkShift}, {100, 'r', kVkShift}}, {"custom 2"}},
      {"AltHeld_DoubleCtrl_IsCode3", true, {{0, 'r', kVkControl}, {100, 'r', kVkControl}}, {"custom 3"}},
      {"Release500msLater_StartsANewPair", false, {{0, 'r', kVkShift}, {500, 'r', kVkShift}, {999, 'r', kVkShift}}, {"custom 0"}},
      {"ThirdReleaseWithin500msOfFirst_FiresAgain", false,
       {{0, 'r', kVkShift}, {200, 'r', kVkShift}, {400, 'r', kVkShift}, {600, 'r', kVkShift}}, {"custom 0", "custom 0"}},
      {"OnlyReleasesAreTimed_LongHoldThenTap", false,
       {{0, 'p', kVkShift}, {500, 'R', kVkShift}, {2000, 'R', kVkShift}, {2000, 'r', kVkShift}, {2100, 'p', kVkShift},
        {2200, 'r', kVkShift}}, {"custom 0"}},
      {"OtherKeyPressBetween_BreaksThePair", false, {{0, 'r', kVkShift}, {100, 'p', kVkA}, {200, 'r', kVkShift}}, {}},
      {"OtherKeyReleaseBetween_BreaksThePair", false, {{0, 'r', kVkShift}, {100, 'r', kVkA}, {200, 'r', kVkShift}}, {}},
      {"AltPressBetween_BreaksThePair", false, {{0, 'r', kVkShift}, {100, 'p', kVkAlt}, {200, 'r', kVkShift}}, {}},
      {"CtrlBetweenShiftReleases_KeepsTheShiftPair", false,
       {{0, 'r', kVkShift}, {100, 'p', kVkControl}, {150, 'r', kVkControl}, {200, 'r', kVkShift}}, {"custom 0"}},
      {"ShiftAndCtrl_AreTimedApart", false, {{0, 'r', kVkShift}, {100, 'r', kVkControl}}, {}},
      {"RightCtrlOnce_FiresCode7", false, {{0, 'e', kVkControl}}, {"custom 7"}},
      {"RightCtrlTwice_FiresCode7TwiceAndCode1Once", false, {{0, 'e', kVkControl}, {300, 'e', kVkControl}},
       {"custom 7", "custom 7", "custom 1"}},
  };
  for (const auto& row : rows) {
    Rig rig;
    rig.host.keys[kVkAlt] = row.alt;
    EXPECT_EQ(Replay(rig, row.steps), row.fired) << row.name;
  }
}

TEST(TriggerDoublePress, TickCountWrapStillMeasuresTheGap) {
  Rig rig;
  rig.host.now = 0xFFFFFF00u;
  rig.Release(kVkShift);
  rig.host.now = 0x000000F0u;  // 496 ms later, across the wrap
  rig.Release(kVkShift);
  EXPECT_EQ(rig.host.log, Log{"custom 0"});
}

TEST(TriggerDoublePress, FirstReleaseSoonAfterStartUp_IsNotASecondRelease) {
  Rig rig;
  rig.host.now = 120;  // "0 = no release yet" must not read as a release at tick 0
  rig.Release(kVkShift);
  EXPECT_TRUE(rig.host.log.empty());
}

TEST(TriggerDoublePress, KeysTypedInTheMenu_CancelThePairThatOpenedIt) {
  Rig rig;
  rig.Release(kVkShift);
  rig.host.now += 100;
  rig.host.duringMenu = [&] { rig.Tap(kVkDown); };
  rig.Release(kVkShift);
  rig.host.now += 100;
  rig.Release(kVkShift);  // within 500 ms of the first release, but the pair is gone
  EXPECT_EQ(rig.host.log, Log{"custom 0"});
}

// A system may give the modal loop of what a trigger opened the very event
// that is being hooked. Handed back, it opens nothing more, whether a menu is
// tracked or a message box stands in for one (an empty history), and a later
// event fires as usual once that has closed.
TEST(TriggerReentry, SameEventHandedBackInsideWhatItOpened_OpensNothingMore) {
  enum class Source { kDoubleShift, kShortcut, kTitleClick };
  const struct {
    const char* name;
    Source source;
    bool box;
    Log shown;
  } rows[] = {
      {"DoubleShift_Menu", Source::kDoubleShift, false, {"custom 0", "custom 0"}},
      {"DoubleShift_Box", Source::kDoubleShift, true, {"custom 0", "custom 0"}},
      {"Shortcut_Menu", Source::kShortcut, false, {"stack", "stack"}},
      {"Shortcut_Box", Source::kShortcut, true, {"stack", "stack"}},
      {"TitleClick_Menu", Source::kTitleClick, false, {"stack at mouse", "stack at mouse"}},
      {"TitleClick_Box", Source::kTitleClick, true, {"stack at mouse", "stack at mouse"}},
  };
  for (const auto& row : rows) {
    Rig rig;
    rig.settings.stackKey = kTriggerShortcut;
    rig.settings.stackVk = 0x51;  // Q, no modifiers
    rig.settings.titleMenu = 2;
    std::function<HookVerdict()> event;
    switch (row.source) {
      case Source::kDoubleShift:
        rig.Release(kVkShift);
        rig.host.now += 100;
        event = [&] { return rig.Release(kVkShift); };  // within 500 ms of the first release
        break;
      case Source::kShortcut: event = [&] { return rig.Press(0x51); }; break;
      case Source::kTitleClick:
        event = [&] {
          rig.Mouse(kWmNcRButtonDown);
          return rig.Mouse(kWmNcRButtonUp);
        };
        break;
    }
    HookVerdict inner = HookVerdict::kPassOn;
    rig.host.boxInsteadOfMenu = row.box;
    rig.host.duringMenu = [&] {
      inner = event();
      rig.host.now += 50;
    };
    const HookVerdict outer = event();
    EXPECT_EQ(inner, outer) << row.name;  // swallowed or passed on alike
    event();                              // a new one after it closed
    EXPECT_EQ(rig.host.log, row.shown) << row.name;
  }
}

// ---- Japanese keys ----

TEST(TriggerJapaneseKeys, PressFiresAndPassesOn_ReleaseDoesNothing) {
  const struct { uint32_t vk; const char* fired; } rows[] = {
      {kVkMuhenkan, "custom 4"}, {kVkHenkan, "custom 5"}, {kVkHiragana, "custom 6"}};
  for (const auto& row : rows) {
    Rig rig;
    EXPECT_EQ(rig.Press(row.vk), HookVerdict::kPassOn) << row.vk;
    EXPECT_EQ(rig.Release(row.vk), HookVerdict::kPassOn) << row.vk;
    EXPECT_EQ(rig.host.log, Log{row.fired}) << row.vk;
  }
}

// ---- which menus a code shows ----

TEST(TriggerFiring, MenusSharingACode_ShowInOrderEntryStackChooser) {
  const struct {
    const char* name;
    std::function<void(Rig&)> setup;
    Log shown;
  } rows[] = {
      {"AllZeroSettings_TryEntry0ThenStackThenChooser",
       [](Rig& r) { std::memset(r.entries, 0, sizeof r.entries); r.settings.stackKey = 0; r.settings.changeKey = 0; },
       {"custom 0", "stack", "chooser"}},
      {"TwoEntriesWithTheCode_OnlyTheLowerIndex",
       [](Rig& r) { r.entries[0].trigger = kTriggerNone; r.entries[6].trigger = 0; r.entries[3].trigger = 0; },
       {"custom 3"}},
      {"EmptyPath_IsStillAskedFor", [](Rig& r) { r.entries[0].path[0] = '\0'; }, {"custom 0"}},
      {"StackOnly", [](Rig& r) { r.entries[0].trigger = kTriggerNone; r.settings.stackKey = 0; }, {"stack"}},
      {"NoMenuFileSet", [](Rig& r) { r.settings.menuSet = nullptr; r.settings.changeKey = 0; }, {"chooser"}},
  };
  for (const auto& row : rows) {
    Rig rig;
    row.setup(rig);
    rig.Release(kVkShift);
    rig.host.now += 50;
    rig.Release(kVkShift);
    EXPECT_EQ(rig.host.log, row.shown) << row.name;
  }
}

// ---- shortcut keys ----

TEST(TriggerShortcut, ExactModifiersMatchAndTheFirstMatchWins) {
  constexpr uint16_t kCtrlShift = kModCtrl | kModShift;
  const struct {
    const char* name;
    std::function<void(Rig&)> setup;
    uint32_t vk;
    uint16_t held;
    HookVerdict verdict;
    Log shown;
  } rows[] = {
      {"CtrlF1_MatchesEntry", [](Rig& r) { r.entries[4] = {"C:\\m.txt", kTriggerShortcut, 0x70, kModCtrl}; },
       kVkF1Key, kModCtrl, HookVerdict::kSwallow, {"custom 4"}},
      {"CtrlShiftF1_DoesNotMatchCtrlF1", [](Rig& r) { r.entries[4] = {"C:\\m.txt", kTriggerShortcut, 0x70, kModCtrl}; },
       kVkF1Key, kCtrlShift, HookVerdict::kPassOn, {}},
      {"PlainF1_DoesNotMatchCtrlF1", [](Rig& r) { r.entries[4] = {"C:\\m.txt", kTriggerShortcut, 0x70, kModCtrl}; },
       kVkF1Key, 0, HookVerdict::kPassOn, {}},
      {"EmptyPath_NeverMatches", [](Rig& r) { r.entries[4] = {"", kTriggerShortcut, 0x70, kModCtrl}; },
       kVkF1Key, kModCtrl, HookVerdict::kPassOn, {}},
      {"LowerEntryWins", [](Rig& r) {
         r.entries[8] = {"C:\\a.txt", kTriggerShortcut, 'A', kModAlt};
         r.entries[9] = {"C:\\b.txt", kTriggerShortcut, 'A', kModAlt};
       }, kVkA, kModAlt, HookVerdict::kSwallow, {"custom 8"}},
      {"EntryBeforeStack", [](Rig& r) {
         r.entries[9] = {"C:\\b.txt", kTriggerShortcut, 'A', kModAlt};
         r.settings.stackKey = kTriggerShortcut; r.settings.stackVk = 'A'; r.settings.stackMod = kModAlt;
       }, kVkA, kModAlt, HookVerdict::kSwallow, {"custom 9"}},
      {"StackBeforeChooser", [](Rig& r) {
         r.settings.stackKey = kTriggerShortcut; r.settings.stackVk = 'A'; r.settings.stackMod = kCtrlShift;
         r.settings.changeKey = kTriggerShortcut; r.settings.changeVk = 'A'; r.settings.changeMod = kCtrlShift;
       }, kVkA, kCtrlShift, HookVerdict::kSwallow, {"stack"}},
      {"Chooser", [](Rig& r) {
         r.settings.changeKey = kTriggerShortcut; r.settings.changeVk = 'A'; r.settings.changeMod = kModShift | kModAlt;
       }, kVkA, kModShift | kModAlt, HookVerdict::kSwallow, {"chooser"}},
      {"StackKeyWithoutShortcutCode_IgnoresItsKey", [](Rig& r) {
         r.settings.stackKey = 0; r.settings.stackVk = 'A'; r.settings.stackMod = 0;
       }, kVkA, 0, HookVerdict::kPassOn, {}},
      {"MuhenkanShortcut_FiresCode4ThenMatches", [](Rig& r) { r.entries[9] = {"C:\\j.txt", kTriggerShortcut, 0x1D, 0}; },
       kVkMuhenkan, 0, HookVerdict::kSwallow, {"custom 4", "custom 9"}},
  };
  for (const auto& row : rows) {
    Rig rig;
    row.setup(rig);
    rig.host.keys[kVkShift] = row.held & kModShift;
    rig.host.keys[kVkControl] = row.held & kModCtrl;
    rig.host.keys[kVkAlt] = row.held & kModAlt;
    EXPECT_EQ(rig.Press(row.vk), row.verdict) << row.name;
    EXPECT_EQ(rig.Release(row.vk), HookVerdict::kPassOn) << row.name << ": the release always goes on";
    EXPECT_EQ(rig.host.log, row.shown) << row.name;
  }
}

TEST(TriggerHotPath, OrdinaryKey_ReadsNoClockAndNoKeyState) {
  Rig rig;
  rig.entries[2] = {"C:\\m.txt", kTriggerShortcut, 'B', kModCtrl};
  EXPECT_EQ(rig.Press(kVkA), HookVerdict::kPassOn);
  EXPECT_EQ(rig.Release(kVkA), HookVerdict::kPassOn);
  EXPECT_EQ(rig.host.clockReads, 0);
  EXPECT_EQ(rig.host.keyStateReads, 0);
  rig.Release(kVkShift);
  EXPECT_EQ(rig.host.clockReads, 1);
}

// ---- switches, recording and Space ----

TEST(TriggerSwitches, SuspendAndOptionsSheetSwitchOffTheirParts) {
  const struct {
    const char* name;
    bool suspend, onDlgDisp, tracking;
    Log log;
  } rows[] = {
      {"Suspended_NoDoublePressNoShortcutNoSpace", true, false, true, {}},
      {"OptionsSheetOpen_NoDoublePressNoShortcut_SpaceStillClosesMenu", false, true, true, {"key 18 down", "key 18 up"}},
      {"Neither_AllWork", false, false, false, {"custom 0", "stack"}},
  };
  for (const auto& row : rows) {
    Rig rig;
    rig.settings.suspend = row.suspend;
    rig.settings.onDlgDisp = row.onDlgDisp;
    rig.settings.stackKey = kTriggerShortcut;
    rig.settings.stackVk = 'A';
    rig.host.tracking = row.tracking;
    rig.Release(kVkShift);
    rig.host.now += 10;
    rig.Release(kVkShift);
    rig.Press(kVkA);
    rig.Press(kVkSpace);
    EXPECT_EQ(rig.host.log, row.log) << row.name;
  }
}

TEST(TriggerSpace, ClosesOnlyOurOpenMenu) {
  Rig rig;
  EXPECT_EQ(rig.Press(kVkSpace), HookVerdict::kPassOn);
  EXPECT_TRUE(rig.host.log.empty()) << "no menu of ours: Space belongs to the application";

  HookVerdict inMenu = HookVerdict::kPassOn;
  rig.settings.recording = true;
  rig.host.duringMenu = [&] { inMenu = rig.Press(kVkSpace); };
  rig.Release(kVkShift);
  rig.host.now += 10;
  rig.Release(kVkShift);
  EXPECT_EQ(inMenu, HookVerdict::kSwallow);
  EXPECT_EQ(rig.host.log, (Log{"record 16", "record 16", "custom 0", "record 32", "SuspendRec",
                               "key 18 down", "key 18 up", "ResumeRec"}));
}

TEST(TriggerRecording, SuspensionMarkersAreCountedAndSwallowed_OtherKeysRecordedThenTriggerAsUsual) {
  Rig rig;
  rig.settings.recording = true;
  rig.settings.playing = true;
  rig.settings.suspend = true;  // recording and the Pause check go on while suspended
  EXPECT_EQ(rig.Press(0), HookVerdict::kSwallow);
  EXPECT_EQ(rig.Release(0), HookVerdict::kSwallow);
  EXPECT_EQ(rig.Press(kVkPause), HookVerdict::kPassOn);
  EXPECT_EQ(rig.host.log, (Log{"rec suspend 1", "rec suspend -1", "record 19", "pause? 19"}));
}

TEST(TriggerHookCode, OnlyActionCodesAreLookedAt) {
  Rig rig;
  rig.settings.recording = true;
  rig.settings.recMouse = true;
  rig.host.tracking = true;
  rig.host.helpTopic = 103;
  EXPECT_EQ(rig.handler.OnKeyboard(3, DecodeKeyEvent(kVkSpace, 0), rig.settings), HookVerdict::kPassOn);
  MouseEvent up;
  up.message = kWmRButtonUp;
  EXPECT_EQ(rig.handler.OnMouse(-1, up, rig.settings), HookVerdict::kPassOn);
  EXPECT_EQ(rig.handler.OnMessageFilter(-1, {kWmKeyDown, kVkF1Key}), HookVerdict::kPassOn);
  EXPECT_TRUE(rig.host.log.empty());
}

TEST(TriggerDecode, KeystrokeFlagsFromLParam) {
  const struct { uint32_t lParam; bool released, repeat, extended; } rows[] = {
      {0x001D0001u, false, false, false}, {0x401D0001u, false, true, false},
      {0xC01D0001u, true, true, false},   {0xC11D0001u, true, true, true}, {0x011D0001u, false, false, true}};
  for (const auto& row : rows) {
    const KeyEvent e = DecodeKeyEvent(kVkControl, row.lParam);
    EXPECT_EQ(e.vk, kVkControl);
    EXPECT_EQ(e.flags, row.lParam);
    EXPECT_EQ(e.released, row.released) << std::hex << row.lParam;
    EXPECT_EQ(e.repeat, row.repeat) << std::hex << row.lParam;
    EXPECT_EQ(e.extended, row.extended) << std::hex << row.lParam;
  }
}

// ---- mouse ----

TEST(TriggerMouse, ButtonReleasesSetTheChoiceModeAndRecordWhenAsked) {
  Rig rig;
  rig.settings.recording = true;
  EXPECT_EQ(rig.Mouse(kWmLButtonUp), HookVerdict::kPassOn);
  rig.settings.recMouse = true;
  EXPECT_EQ(rig.Mouse(kWmRButtonUp), HookVerdict::kPassOn);
  EXPECT_EQ(rig.host.log, (Log{"choice 1", "record mouse 517", "choice -1"}));
}

TEST(TriggerMouse, TitleBarRightClick) {
  const struct {
    const char* name;
    int titleMenu;
    bool shift, hasTitle, suspend;
    int32_t hitTest;
    HookVerdict down, up;
    Log shown;
  } rows[] = {
      {"CustomMenuOfEntry0", 1, false, true, false, kHtCaption, HookVerdict::kSwallow, HookVerdict::kSwallow, {"custom 0 at mouse"}},
      {"StackMenu", 2, false, true, false, kHtCaption, HookVerdict::kSwallow, HookVerdict::kSwallow, {"stack at mouse"}},
      {"CombinedMenu", 3, false, true, false, kHtCaption, HookVerdict::kSwallow, HookVerdict::kSwallow, {"both at mouse"}},
      {"UnknownKind_SwallowedShowsNothing", 9, false, true, false, kHtCaption, HookVerdict::kSwallow, HookVerdict::kSwallow, {}},
      {"ShiftHeld_WindowGetsIt", 2, true, true, false, kHtCaption, HookVerdict::kPassOn, HookVerdict::kPassOn, {}},
      {"EmptyTitle_WindowGetsIt", 2, false, false, false, kHtCaption, HookVerdict::kPassOn, HookVerdict::kPassOn, {}},
      {"NotOnCaption", 2, false, true, false, 3, HookVerdict::kPassOn, HookVerdict::kPassOn, {}},
      {"TitleMenuNone", 0, false, true, false, kHtCaption, HookVerdict::kPassOn, HookVerdict::kPassOn, {}},
      {"Suspended", 2, false, true, true, kHtCaption, HookVerdict::kPassOn, HookVerdict::kPassOn, {}},
  };
  for (const auto& row : rows) {
    Rig rig;
    rig.settings.titleMenu = row.titleMenu;
    rig.settings.suspend = row.suspend;
    rig.settings.onDlgDisp = true;  // the options sheet does not stop the title-bar menu
    rig.host.keys[kVkShift] = row.shift;
    rig.host.windowHasTitle = row.hasTitle;
    EXPECT_EQ(rig.Mouse(kWmNcRButtonDown, row.hitTest), row.down) << row.name;
    rig.host.keys[kVkShift] = false;  // the release alone must follow the press's decision
    EXPECT_EQ(rig.Mouse(kWmNcRButtonUp, row.hitTest), row.up) << row.name;
    EXPECT_EQ(rig.host.log, row.shown) << row.name;
  }
}

// A quick second click at the same place comes as a double click in place of
// the press; it decides for its release like any press.
TEST(TriggerMouse, SecondClickArrivingAsADoubleClick_DecidesLikeAPress) {
  for (const bool shiftOnFirst : {true, false}) {
    Rig rig;
    rig.settings.titleMenu = 2;
    rig.host.keys[kVkShift] = shiftOnFirst;
    rig.Mouse(kWmNcRButtonDown);
    rig.Mouse(kWmNcRButtonUp);
    rig.host.keys[kVkShift] = !shiftOnFirst;
    const HookVerdict second = shiftOnFirst ? HookVerdict::kSwallow : HookVerdict::kPassOn;
    EXPECT_EQ(rig.Mouse(kWmNcRButtonDblClk), second) << shiftOnFirst;
    rig.host.keys[kVkShift] = false;
    EXPECT_EQ(rig.Mouse(kWmNcRButtonUp), second) << shiftOnFirst;
    EXPECT_EQ(rig.host.log, Log{"stack at mouse"}) << shiftOnFirst;  // once, from the click without Shift
  }
}

TEST(TriggerMouse, PassThroughStaysUntilTheNextClickOnACaption) {
  Rig rig;
  rig.settings.titleMenu = 2;
  rig.host.windowHasTitle = false;
  rig.Mouse(kWmNcRButtonDown);            // empty title: pass-through set
  rig.host.windowHasTitle = true;
  rig.Mouse(kWmNcRButtonDown, 3);         // not a caption: flag left as it is
  EXPECT_EQ(rig.Mouse(kWmNcRButtonUp), HookVerdict::kPassOn);
  EXPECT_EQ(rig.Mouse(kWmNcRButtonDown), HookVerdict::kSwallow);
  EXPECT_EQ(rig.Mouse(kWmNcRButtonUp), HookVerdict::kSwallow);
  EXPECT_EQ(rig.host.log, Log{"stack at mouse"});
}

// ---- message filter ----

TEST(TriggerMessageFilter, MenuNoticesSwallowedWhileTrackingAndF1OpensDialogHelp) {
  const struct {
    int code;
    uint32_t message;
    uintptr_t wParam;
    bool tracking;
    int topic;
    HookVerdict verdict;
    Log log;
    uintptr_t lParam = 0x003B0001u;  // F1 pressed once
  } rows[] = {
      {kMsgfMenu, kWmInitMenuPopup, 0, true, 0, HookVerdict::kSwallow, {}},
      {kMsgfMenu, kWmMenuSelect, 0, true, 0, HookVerdict::kSwallow, {}},
      {kMsgfMenu, kWmMenuChar, 0, true, 0, HookVerdict::kSwallow, {}},
      {kMsgfMenu, kWmMenuSelect, 0, false, 0, HookVerdict::kPassOn, {}},
      {kMsgfMenu, kWmKeyDown, 0, true, 0, HookVerdict::kPassOn, {}},
      {kMsgfDialogBox, kWmKeyDown, kVkF1Key, false, 103, HookVerdict::kSwallow, {"help 103"}},
      {kMsgfDialogBox, kWmKeyDown, kVkF1Key, false, -1, HookVerdict::kSwallow, {"help -1"}},
      {kMsgfDialogBox, kWmKeyDown, kVkF1Key, false, 0, HookVerdict::kPassOn, {}},
      // A held F1's repeats open nothing more, and reach the dialog no more than the first.
      {kMsgfDialogBox, kWmKeyDown, kVkF1Key, false, 103, HookVerdict::kSwallow, {}, 0x403B0001u},
      {kMsgfDialogBox, kWmKeyDown, 0x71, false, 103, HookVerdict::kPassOn, {}},
      {kMsgfDialogBox, 0x101, kVkF1Key, false, 103, HookVerdict::kPassOn, {}},
      {kMsgfMenu, kWmKeyDown, kVkF1Key, false, 103, HookVerdict::kPassOn, {}},
  };
  for (const auto& row : rows) {
    Rig rig;
    rig.host.tracking = row.tracking;
    rig.host.helpTopic = row.topic;
    EXPECT_EQ(rig.handler.OnMessageFilter(row.code, {row.message, row.wParam, row.lParam}), row.verdict)
        << row.code << " " << std::hex << row.message;
    EXPECT_EQ(rig.host.log, row.log) << row.code << " " << std::hex << row.message;
  }
}

}  // namespace
}  // namespace quillo::hook
