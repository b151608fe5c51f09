// The macro recorder of the hooks, driven through the trigger handler as the
// hook procedures drive it: fake input in, the records sent to the resident
// window out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "macros/recorder.h"
#include "trigger.h"

namespace quillo::hook {
namespace {

using Log = std::vector<std::string>;

// Stands in for the shared block and the resident window.
struct Desktop : RecorderHost {
  int recording = 1, playing = 0, recSuspend = 0, screenCx = 1024, screenCy = 768;
  int recKey = 1, recMouse = 1, cutMouseMove = 0;
  uint32_t now = 5000;
  std::vector<EventRecord> sent;
  int beeps = 0, stops = 0;

  RecorderFields Fields() {
    return {&recording, &playing, &recSuspend, &screenCx, &screenCy, &recKey, &recMouse, &cutMouseMove};
  }
  void SendRecord(const EventRecord& r) noexcept override { sent.push_back(r); }
  uint32_t TickCount() noexcept override { return now; }
  void Beep() noexcept override { ++beeps; }
  void PostStop() noexcept override { ++stops; }
};

// The trigger host of the hook procedures, with its recording calls wired to
// the recorder as in the library and everything else inert.
class Host final : public TriggerHost {
 public:
  explicit Host(Desktop& d) : d_(d) {}
  bool IsKeyDown(uint32_t) noexcept override { return false; }
  uint32_t TickCount() noexcept override { return d_.now; }
  void ShowMenu(MenuKind, int, bool) noexcept override { ++menus; }
  bool IsTrackingMenu() noexcept override { return false; }
  int HelpTopic() noexcept override { return 0; }
  void SetChoiceMode(int) noexcept override {}
  void OpenHelp(int) noexcept override {}
  bool HasWindowTitle(uintptr_t) noexcept override { return true; }
  void AdjustRecordSuspension(int delta) noexcept override { d_.recSuspend += delta; }
  void RecordKey(const KeyEvent& e) noexcept override { hook::RecordKey(e, d_.Fields(), d_); }
  void CheckPauseWhilePlaying(const KeyEvent& e) noexcept override { hook::CheckPauseWhilePlaying(e, d_.Fields(), d_); }
  void RecordMouse(const MouseEvent& e) noexcept override { hook::RecordMouse(e, d_.Fields(), d_); }
  void StopTyping() noexcept override {}
  void CountTypedKey() noexcept override {}
  void SendKey(uint8_t, bool) noexcept override {}
  void SuspendRecording() noexcept override {}
  void ResumeRecording() noexcept override {}
  int menus = 0;

 private:
  Desktop& d_;
};

struct Rig {
  Desktop desk;
  Host host{desk};
  TriggerState state;
  TriggerHandler handler{host, state};

  TriggerSettings Settings() const {  // a fresh snapshot per event, as the adapter takes
    TriggerSettings s;
    s.recording = desk.recording != 0;
    s.playing = desk.playing != 0;
    s.recMouse = desk.recMouse != 0;
    return s;
  }
  HookVerdict Key(uint32_t vk, bool released, uint8_t scan = 0, bool extended = false) {
    const uint32_t lParam = (released ? 0xC0000000u : 0u) | (extended ? 0x01000000u : 0u) |
                            static_cast<uint32_t>(scan) << 16 | 1u;
    return handler.OnKeyboard(kHcAction, DecodeKeyEvent(vk, lParam), Settings());
  }
  void Mouse(uint32_t message, int32_t x = 0, int32_t y = 0) {
    MouseEvent e;
    e.message = message;
    e.x = x;
    e.y = y;
    e.hitTest = 1;
    handler.OnMouse(kHcAction, e, Settings());
  }
  Log Kinds() const {
    Log log;
    for (const EventRecord& r : desk.sent)
      log.push_back(r.kind == kEventKindKey ? "key " + std::to_string(r.u.key.vk) + (r.a ? " down" : " up")
                                            : "mouse " + std::to_string(r.u.mouseFlags));
    return log;
  }
};

TEST(Recorder, KeyRecord_LayoutOfTheSentBytes) {
  Rig rig;
  rig.desk.now = 0x11223344;
  rig.Key(0x127, false, 0x4D, true);  // only the low byte of the key counts
  rig.Key('A', true, 0x1E);
  ASSERT_EQ(rig.desk.sent.size(), 2u);
  const uint8_t rightDown[24] = {1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0xB2, 0x07, 0, 0,
                                 0x27, 0x4D, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const uint8_t aUp[24] = {1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0xB2, 0x07, 0, 0,
                           'A', 0x1E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(&rig.desk.sent[0], rightDown, 24));
  EXPECT_EQ(0, std::memcmp(&rig.desk.sent[1], aUp, 24));
}

TEST(Recorder, MouseRecord_LayoutAndScaling) {
  struct Row { int cx, cy, x, y; int32_t sx, sy; };
  const Row rows[] = {
      {1024, 768, 1023, 767, 65472, 65451},  // the bottom-right pixel
      {1024, 768, 0, 0, 0, 0},
      {1024, 768, 512, 384, 32768, 32768},
      {1024, 768, -1, -3, -64, -256},        // a monitor left of the primary one
      {1920, 1080, 1919, 1079, 65502, 65475},
      {131072, 131072, 1, -1, 1, -1},        // halves round away from zero, as MulDiv does
      {3, 7, 1, 1, 21845, 9362},
  };
  for (const Row& row : rows) {
    Rig rig;
    rig.desk.screenCx = row.cx;
    rig.desk.screenCy = row.cy;
    rig.desk.now = 77;
    rig.Mouse(0x201, row.x, row.y);
    ASSERT_EQ(rig.desk.sent.size(), 1u);
    const EventRecord& r = rig.desk.sent[0];
    EXPECT_EQ(r.kind, kEventKindMouse);
    EXPECT_EQ(r.time, 77u);
    EXPECT_EQ(r.magic, kEventMagic);
    EXPECT_EQ(r.u.mouseFlags, 2u);
    EXPECT_EQ(r.a, row.sx) << row.x << " on " << row.cx;
    EXPECT_EQ(r.b, row.sy) << row.y << " on " << row.cy;
  }
}

TEST(Recorder, MouseMessages_MapToFlags) {
  struct Row { uint32_t message; uint32_t flags; };
  const Row rows[] = {
      {0x200, 1}, {0xA0, 1}, {0x201, 2}, {0x203, 2}, {0xA1, 2}, {0xA3, 2}, {0x202, 4}, {0xA2, 4},
      {0x204, 8}, {0x206, 8}, {0xA4, 8}, {0xA6, 8}, {0x205, 16}, {0xA5, 16},
      {0x207, 0}, {0x208, 0}, {0x209, 0}, {0x20A, 0}, {0xA7, 0},  // middle button, wheel
  };
  for (const Row& row : rows) {
    Rig rig;
    rig.Mouse(row.message, 10, 10);
    if (row.flags == 0) {
      EXPECT_TRUE(rig.desk.sent.empty()) << row.message;
    } else {
      ASSERT_EQ(rig.desk.sent.size(), 1u) << row.message;
      EXPECT_EQ(rig.desk.sent[0].u.mouseFlags, row.flags) << row.message;
    }
  }
}

TEST(Recorder, MouseSequences) {
  struct Row {
    const char* name;
    int cutMouseMove, recMouse, screenCx;
    std::vector<uint32_t> messages;
    Log expected;
  };
  const Row rows[] = {
      {"double click is a second down", 0, 1, 1024, {0x201, 0x202, 0x203, 0x202},
       {"mouse 2", "mouse 4", "mouse 2", "mouse 4"}},
      {"moves recorded", 0, 1, 1024, {0x200, 0x201, 0x200, 0x202}, {"mouse 1", "mouse 2", "mouse 1", "mouse 4"}},
      {"moves cut: each button preceded by a move", 1, 1, 1024, {0x200, 0x201, 0x200, 0x202},
       {"mouse 1", "mouse 2", "mouse 1", "mouse 4"}},
      {"moves cut: plain moves alone record nothing", 1, 1, 1024, {0x200, 0xA0, 0x200}, {}},
      {"mouse switched off", 0, 0, 1024, {0x201, 0x202}, {}},
      {"no screen size yet", 0, 1, 0, {0x201, 0x202}, {}},
  };
  for (const Row& row : rows) {
    Rig rig;
    rig.desk.cutMouseMove = row.cutMouseMove;
    rig.desk.recMouse = row.recMouse;
    rig.desk.screenCx = row.screenCx;
    for (uint32_t m : row.messages) rig.Mouse(m, 100, 200);
    EXPECT_EQ(rig.Kinds(), row.expected) << row.name;
  }
}

TEST(Recorder, Pause_StopsRecordingOnce_AndIsNotRecorded) {
  Rig rig;
  rig.desk.recSuspend = 2;  // a suspension left open is closed too
  rig.desk.playing = 1;     // and a playback with it
  rig.Key('A', false);
  EXPECT_EQ(rig.Key(0x13, false), HookVerdict::kPassOn);  // the application still gets Pause
  rig.Key(0x13, true);
  rig.Key('B', false);
  EXPECT_EQ(rig.desk.recording, 0);
  EXPECT_EQ(rig.desk.playing, 0);
  EXPECT_EQ(rig.desk.recSuspend, 0);
  EXPECT_EQ(rig.desk.stops, 1);
  EXPECT_EQ(rig.desk.beeps, 1);
  EXPECT_TRUE(rig.desk.sent.empty());  // 'A' fell inside the open suspension; nothing after Pause
}

TEST(Recorder, SynthesisedKeysInsideSuspension_AreNotRecorded) {
  Rig rig;
  rig.Key('X', false);
  EXPECT_EQ(rig.Key(0, false), HookVerdict::kSwallow);  // SuspendRec
  rig.Key(0x11, false);
  rig.Key('V', false);
  rig.Key('V', true);
  rig.Key(0x11, true);
  EXPECT_EQ(rig.Key(0, true), HookVerdict::kSwallow);  // ResumeRec
  rig.Key('X', true);
  EXPECT_EQ(rig.Kinds(), (Log{"key 88 down", "key 88 up"}));
  EXPECT_EQ(rig.desk.recSuspend, 0);
}

TEST(Recorder, KeysOff_MouseOn_OnlyMouse_PauseStillStops) {
  Rig rig;
  rig.desk.recKey = 0;
  rig.Key('A', false);
  rig.Mouse(0x201, 1, 1);
  rig.Key('A', true);
  rig.Key(0x13, false);
  rig.Mouse(0x202, 1, 1);  // after the stop
  EXPECT_EQ(rig.Kinds(), (Log{"mouse 2"}));
  EXPECT_EQ(rig.desk.stops, 1);
}

TEST(Recorder, PauseWhilePlaying_StopsOnce_OtherKeysNothing) {
  struct Row { std::vector<uint32_t> keys; int stops; int playing; };
  const Row rows[] = {
      {{'A', 0x0D}, 0, 1},
      {{0x13}, 1, 0},
      {{0x113}, 1, 0},  // only the low byte counts
      {{0x13, 0x13}, 1, 0},  // the release of the same key does nothing more
  };
  for (const Row& row : rows) {
    Rig rig;
    rig.desk.recording = 0;
    rig.desk.playing = 1;
    for (uint32_t vk : row.keys) rig.Key(vk, false);
    EXPECT_EQ(rig.desk.stops, row.stops);
    EXPECT_EQ(rig.desk.beeps, row.stops);
    EXPECT_EQ(rig.desk.playing, row.playing);
    EXPECT_TRUE(rig.desk.sent.empty());
  }
}

TEST(Recorder, NotRecordingNorPlaying_NothingIsSentOrRead) {
  Rig rig;
  rig.desk.recording = 0;
  rig.Key('A', false);
  rig.Key(0x13, false);
  rig.Mouse(0x201, 5, 5);
  EXPECT_TRUE(rig.desk.sent.empty());
  EXPECT_EQ(rig.desk.stops, 0);
}

}  // namespace
}  // namespace quillo::hook
