// Macros for real: Quillo.exe records keys typed into a target program in
// another process, Pause/Break stops the recording, the file is saved and
// played back into a fresh target; Pause/Break also ends a playback.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "quillo_records.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using Texts = std::vector<std::string>;
constexpr int kNameBox = 1300;  // the macro name in both dialogs
constexpr UINT kMsgDumpTimes = WM_APP + 50;
constexpr char kButtonTargetTitle[] = "Quillo Button Target";
constexpr int kButtonId = 101;

// A target whose message loop notes the time stamp of every key message its
// edit control receives, and writes them to args[0] on kMsgDumpTimes. With
// args[1] "keys" it notes each key and whether it went down or up instead.
QUILLO_CHILD(TimedTarget) {
  if (args.empty()) return 2;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuilloTimedTarget";
  RegisterClassA(&wc);
  // Shown only once its edit exists: the test takes a window in front as ready.
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Quillo Timed Target", WS_OVERLAPPEDWINDOW, 100,
                              100, 400, 260, nullptr, nullptr, wc.hInstance, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10, 10, 360, 200, hwnd,
                              reinterpret_cast<HMENU>(kTargetEditId), nullptr, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  SetFocus(edit);
  SetTimer(hwnd, 1, 60000, nullptr);
  std::string times;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == hwnd) break;
    if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) {
      if (args.size() > 1 && args[1] == "keys") {
        times += std::to_string(msg.wParam) + (msg.message == WM_KEYUP ? " up\n" : " down\n");
      } else {
        times += std::to_string(msg.time) + "\n";
      }
    }
    if (msg.message == kMsgDumpTimes) {
      WriteFileBytes(args[0], std::vector<unsigned char>(times.begin(), times.end()));
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

EventRecord KeyRecord(uint32_t time, uint8_t vk, bool down) {
  EventRecord r{};
  r.kind = kEventKindKey;
  r.time = time;
  r.magic = kEventMagic;
  r.u.key.vk = vk;
  r.a = down ? 1 : 0;
  return r;
}

std::vector<unsigned char> MacroFile(const std::vector<EventRecord>& records) {
  std::vector<unsigned char> bytes(44 + records.size() * sizeof(EventRecord), 0);
  std::memcpy(bytes.data(), "Quillo Macro File", 18);
  const uint32_t header[3] = {1, static_cast<uint32_t>(records.size()), records.empty() ? 0 : records[0].time};
  std::memcpy(bytes.data() + 32, header, sizeof header);
  if (!records.empty()) std::memcpy(bytes.data() + 44, records.data(), records.size() * sizeof(EventRecord));
  return bytes;
}

// The player and the recorder hold the file without sharing while they use it.
bool FileFree(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

class MacroJourney : public ::testing::Test {
 protected:
  // Settings a journey needs before Quillo.exe reads them.
  virtual void BeforeStart() {}

  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
    BeforeStart();
    frame_ = StartQuillo(folder_.path(), quillo_);
    ASSERT_NE(frame_, nullptr) << "Quillo.exe did not finish starting";
  }
  void TearDown() override {
    target_.Kill();
    if (quillo_.valid()) {
      PostMessageA(frame_, WM_CLOSE, 0, 0);
      DWORD code = 99;
      EXPECT_TRUE(quillo_.Wait(60000, &code)) << "Quillo.exe did not end";
      EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "unexpected message boxes";
  }

  // A fresh, empty target in front; its edit control.
  HWND StartTarget(const char* child = "EditTarget", const std::string& args = "") {
    target_.Kill();
    target_ = StartChild(child, args);
    HWND window = nullptr;
    const char* title = std::strcmp(child, "EditTarget") == 0    ? kTargetTitle
                        : std::strcmp(child, "ButtonTarget") == 0 ? kButtonTargetTitle
                                                                  : "Quillo Timed Target";
    if (!WaitFor([&] {
          window = FindWindowA(nullptr, title);
          return window != nullptr && GetForegroundWindow() == window;
        })) {
      ADD_FAILURE() << child << ": window " << window << ", in front " << GetForegroundWindow();
      return nullptr;
    }
    targetWindow_ = window;
    return GetDlgItem(window, kTargetEditId);
  }

  HWND WaitForDialog(const char* title) {
    HWND dlg = nullptr;
    WaitFor([&] {
      dlg = FindWindowA("#32770", title);
      return dlg != nullptr && IsWindowVisible(dlg);
    });
    return dlg;
  }

  // `window` in front, and still there 300 ms later: under Wine the X
  // server's late focus event for another window can take the foreground.
  static bool HoldFront(HWND window) {
    DWORD since = 0;
    return WaitFor([&] {
      if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
        since = GetTickCount();
        return false;
      }
      return GetTickCount() - since >= 300;
    }, 10000);
  }

  // Returns once the resident window has handled everything posted before.
  void Settle() { SendMessageTimeoutA(frame_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr); }

  void SetCurrentMacro(const char* name) {
    COPYDATASTRUCT data = {1, static_cast<DWORD>(std::strlen(name) + 1), const_cast<char*>(name)};
    SendMessageA(frame_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  }

  std::string Macro(const char* name) const { return folder_.file("DirMacro") + "\\" + name; }

  // Starts recording `name` with the target in front again afterwards.
  void StartRecording(const char* name) {
    PostMessageA(frame_, WM_COMMAND, 32801, 0);
    HWND record = WaitForDialog("Recording user operations");
    ASSERT_NE(record, nullptr) << "no recording dialog";
    SetDlgItemTextA(record, kNameBox, name);
    PostMessageA(record, WM_COMMAND, IDOK, 0);
    const std::string path = Macro((std::string(name) + ".mcr").c_str());
    ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    Settle();
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == targetWindow_; }));
  }

  CleanRegistryKey registry_;
  ProgramFolder folder_{{kHookDll, kDlgExDll, kQuilloExe, "MenuTemp.txt"}};
  Process quillo_;
  Process target_;
  HWND frame_ = nullptr;
  HWND targetWindow_ = nullptr;
};

TEST_F(MacroJourney, KeysTypedElsewhere_PauseStops_SavedFilePlaysTheSameTextBack) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  PostMessageA(frame_, WM_COMMAND, 32801, 0);
  HWND record = WaitForDialog("Recording user operations");
  ASSERT_NE(record, nullptr) << "no recording dialog";
  SetDlgItemTextA(record, kNameBox, "Typing");
  PostMessageA(record, WM_COMMAND, IDOK, 0);
  const std::string path = Macro("Typing.mcr");
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }))
      << "the macro file was not created";
  Settle();
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == targetWindow_; }));

  TypeText("abc");
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "abc"; })) << WindowText(edit);
  Tap(VK_PAUSE);
  HWND stop = WaitForDialog("Stop recording");
  ASSERT_NE(stop, nullptr) << "Pause/Break did not stop the recording";
  char shown[64] = {};
  GetDlgItemTextA(stop, kNameBox, shown, sizeof shown);
  EXPECT_STREQ(shown, "Typing.mcr");
  PostMessageA(stop, WM_COMMAND, IDOK, 0);  // Save
  ASSERT_TRUE(WaitFor([&] { return FileFree(path) && ReadFileBytes(path).size() >= 44; }));
  Settle();

  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 36, 4);
  ASSERT_EQ(bytes.size(), 44u + 24u * count);
  Texts keys;
  for (uint32_t i = 0; i < count; ++i) {
    EventRecord r;
    std::memcpy(&r, bytes.data() + 44 + 24 * i, 24);
    EXPECT_EQ(r.kind, kEventKindKey);
    EXPECT_EQ(r.magic, kEventMagic);
    keys.push_back(std::string(1, static_cast<char>(r.u.key.vk)) + (r.a ? " down" : " up"));
  }
  // Pause itself is not in the file, neither pressed nor released.
  EXPECT_EQ(keys, (Texts{"A down", "A up", "B down", "B up", "C down", "C up"}));

  HWND fresh = StartTarget();
  ASSERT_NE(fresh, nullptr);
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(fresh) == "abc"; })) << WindowText(fresh);
  EXPECT_TRUE(WaitFor([&] { return FileFree(path); })) << "the playback never ended";
}

// Restart in the stop dialog goes on recording into the same file, without the
// time the dialog was open; Delete there removes the file.
TEST_F(MacroJourney, StopDialog_RestartTakesOutItsTime_DeleteRemovesTheFile) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  for (const char* name : {"Twice", "Dropped"}) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(StartRecording(name));
    const std::string path = Macro((std::string(name) + ".mcr").c_str());
    Tap('A');
    ASSERT_TRUE(WaitFor([&] { return WindowText(edit).back() == 'a'; })) << WindowText(edit);
    Tap(VK_PAUSE);
    HWND stop = WaitForDialog("Stop recording");
    ASSERT_NE(stop, nullptr);
    if (std::strcmp(name, "Dropped") == 0) {
      PostMessageA(stop, WM_COMMAND, 1302, 0);  // Delete
      EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }));
      Settle();
      PostMessageA(frame_, WM_COMMAND, 32800, 0);  // nothing is current any more
      ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
      EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts{"Please select a target macro file."});
      continue;
    }
    const DWORD opened = GetTickCount();
    // The dialog stays open for a while the user thinks it over.
    WaitFor([] { return false; }, 1500);
    PostMessageA(stop, WM_COMMAND, 1301, 0);  // Restart
    ASSERT_TRUE(WaitFor([&] { return FindWindowA("#32770", "Stop recording") == nullptr; }));
    Settle();
    const DWORD dialogMs = GetTickCount() - opened;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == targetWindow_; }));
    Tap('B');
    ASSERT_TRUE(WaitFor([&] { return WindowText(edit).back() == 'b'; })) << WindowText(edit);
    Tap(VK_PAUSE);
    stop = WaitForDialog("Stop recording");
    ASSERT_NE(stop, nullptr);
    PostMessageA(stop, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return FileFree(path) && ReadFileBytes(path).size() >= 44; }));
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    // Key records only: a window that closes moves the pointer over another,
    // and the mouse is recorded too.
    std::vector<EventRecord> keys;
    for (size_t at = 44; at + 24 <= bytes.size(); at += 24) {
      EventRecord r;
      std::memcpy(&r, bytes.data() + at, 24);
      if (r.kind == kEventKindKey) keys.push_back(r);
    }
    ASSERT_EQ(keys.size(), 4u);
    const EventRecord& aUp = keys[1];
    const EventRecord& bDown = keys[2];
    EXPECT_EQ(aUp.u.key.vk, 'A');
    EXPECT_EQ(bDown.u.key.vk, 'B');
    EXPECT_LT(bDown.time - aUp.time, dialogMs) << "the stop dialog's time was left in";
  }
}

TEST_F(MacroJourney, PauseDuringALongGap_EndsThePlaybackAtOnce) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Long.mcr");
  // 'x', then 'y' thirty seconds later.
  ASSERT_TRUE(WriteFileBytes(path, MacroFile({KeyRecord(1000, 'X', true), KeyRecord(1010, 'X', false),
                                              KeyRecord(31000, 'Y', true), KeyRecord(31010, 'Y', false)})));
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Long.mcr");  // as a menu item's macro tag names it
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "x"; })) << WindowText(edit);
  ASSERT_FALSE(FileFree(path)) << "the playback is no longer waiting";
  const DWORD pressed = GetTickCount();
  Tap(VK_PAUSE);
  ASSERT_TRUE(WaitFor([&] { return FileFree(path); }, 10000)) << "Pause/Break did not end the playback";
  const DWORD latency = GetTickCount() - pressed;
  // Nothing of the rest of the macro arrives afterwards.
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit) != "x"; }, 500)) << WindowText(edit);
  std::printf("[ figure ] playback ended %lu ms after Pause/Break (the gap was 30000 ms)\n",
              static_cast<unsigned long>(latency));
  RecordProperty("pause_stop_ms", static_cast<int>(latency));
}

// Each refusal shows its box, and nothing plays: the file is checked whole
// before the first event, so a count the file cannot hold never plays stale bytes.
TEST_F(MacroJourney, FilesThatCannotPlay_ShowTheirBoxAndTypeNothing) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  std::vector<unsigned char> good = MacroFile({KeyRecord(1000, 'X', true), KeyRecord(1010, 'X', false)});
  std::vector<unsigned char> overCounted = good;
  overCounted[36] = 3;  // three records counted, two in the file
  std::vector<unsigned char> empty = MacroFile({});
  std::vector<unsigned char> wrongSignature = good;
  wrongSignature[0] = 'q';
  struct Row {
    const char* name;  // the current macro; "" for none
    const std::vector<unsigned char>* bytes;  // null: no such file
    const char* box;
  };
  const std::vector<unsigned char> shortFile(good.begin(), good.begin() + 40);
  const Row rows[] = {
      {"", nullptr, "Please select a target macro file."},
      {"Missing.mcr", nullptr, "Could not find a target macro file."},
      {"Short.mcr", &shortFile, "The macro file has incorrect format."},
      {"Signature.mcr", &wrongSignature, "The macro file has incorrect format."},
      {"OverCounted.mcr", &overCounted, "The macro file has incorrect format."},
      {"Empty.mcr", &empty, "The macro file is empty."},
  };
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.bytes != nullptr) {
      ASSERT_TRUE(WriteFileBytes(Macro(row.name), *row.bytes));
    }
    SetCurrentMacro(row.name);
    PostMessageA(frame_, WM_COMMAND, 32800, 0);
    ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts{row.box});
    if (row.bytes != nullptr) {
      EXPECT_TRUE(WaitFor([&] { return FileFree(Macro(row.name)); }));
    }
  }
  EXPECT_EQ(WindowText(edit), "");
}

// LoopPlay 3 plays the macro three times; the current macro survives a restart.
TEST_F(MacroJourney, LoopPlayThree_PlaysThreePasses_CurrentMacroKeptAcrossRuns) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Loop.mcr");
  ASSERT_TRUE(WriteFileBytes(path, MacroFile({KeyRecord(1000, 'X', true), KeyRecord(1010, 'X', false)})));
  SetCurrentMacro("Loop.mcr");
  PostMessageA(frame_, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(quillo_.Wait(60000, &code));
  EXPECT_EQ(code, 0u);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Veltrane Soft\\Quillo\\Macro", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  char saved[64] = {};
  DWORD size = sizeof saved - 1, type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "CurMacroName", nullptr, &type, reinterpret_cast<BYTE*>(saved), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(saved, "Loop.mcr");
  const DWORD loops = 3;
  RegSetValueExA(key, "LoopPlay", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loops), sizeof loops);
  RegCloseKey(key);

  frame_ = StartQuillo(folder_.path(), quillo_);
  ASSERT_NE(frame_, nullptr);
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  PostMessageA(frame_, WM_COMMAND, 32800, 0);  // no name given this run
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "xxx"; })) << WindowText(edit);
  ASSERT_TRUE(WaitFor([&] { return FileFree(path); }));
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit) != "xxx"; }, 300)) << "a fourth pass: " << WindowText(edit);
}

// A figure, not a limit: how closely the played gaps follow the recorded ones.
TEST_F(MacroJourney, Figure_PlayedGapsAgainstRecordedGaps_200Events) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Timing.mcr");
  constexpr uint32_t kGap = 20;
  std::vector<EventRecord> records;
  for (int i = 0; i < 200; ++i) records.push_back(KeyRecord(5000 + kGap * i, 'A', i % 2 == 0));
  ASSERT_TRUE(WriteFileBytes(path, MacroFile(records)));
  const std::string times = folder_.file("times.txt");
  HWND edit = StartTarget("TimedTarget", "\"" + times + "\"");
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Timing.mcr");
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit).size() == 100; }, 30000)) << WindowText(edit).size();
  ASSERT_TRUE(WaitFor([&] { return FileFree(path); }));
  PostMessageA(targetWindow_, kMsgDumpTimes, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(times).empty(); }));
  std::vector<unsigned long> stamps;
  const std::vector<unsigned char> text = ReadFileBytes(times);
  std::string line;
  for (unsigned char c : text) {
    if (c == '\n') {
      stamps.push_back(std::stoul(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  ASSERT_EQ(stamps.size(), 200u);
  double sum = 0, sumError = 0;
  long worst = 0;
  for (size_t i = 1; i < stamps.size(); ++i) {
    const long gap = static_cast<long>(stamps[i] - stamps[i - 1]);
    sum += gap;
    const long error = std::labs(gap - static_cast<long>(kGap));
    sumError += error;
    if (error > worst) worst = error;
  }
  std::printf("[ figure ] recorded gap %u ms; played gaps: mean %.2f ms, mean |error| %.2f ms, worst error %ld ms "
              "over %zu gaps\n",
              kGap, sum / 199, sumError / 199, worst, stamps.size() - 1);
  RecordProperty("mean_gap_x100", static_cast<int>(sum / 199 * 100));
  RecordProperty("worst_error_ms", static_cast<int>(worst));
}

// Play while the recording dialog is open: refused, as Record and Play are
// refused while the other runs. Started there, it played into the dialog and
// went on while the recording began.
TEST_F(MacroJourney, PlayWhileTheRecordingDialogIsOpen_IsRefused) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Slow.mcr");
  ASSERT_TRUE(WriteFileBytes(path, MacroFile({KeyRecord(1000, 'X', true), KeyRecord(1010, 'X', false),
                                              KeyRecord(4000, 'Y', true), KeyRecord(4010, 'Y', false)})));
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Slow.mcr");
  PostMessageA(frame_, WM_COMMAND, 32801, 0);
  HWND record = WaitForDialog("Recording user operations");
  ASSERT_NE(record, nullptr) << "no recording dialog";
  PostMessageA(frame_, WM_COMMAND, 32800, 0);  // the bar's Play
  Settle();
  // Not probed through the file: the probe's own open could make the
  // player's fail. A playback types its first key at once, into the
  // dialog in front or the target.
  char typed[64] = {};
  EXPECT_FALSE(WaitFor([&] {
    GetDlgItemTextA(record, kNameBox, typed, sizeof typed);
    return typed[0] != '\0' || !WindowText(edit).empty();
  }, 1500)) << "a playback started under the recording dialog: " << typed << WindowText(edit);
  PostMessageA(record, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return FindWindowA("#32770", "Recording user operations") == nullptr; }));
  Settle();
  // Nothing left refusing: the same Play now plays.
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == targetWindow_; }));
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "xy"; }, 10000)) << WindowText(edit);
  EXPECT_TRUE(WaitFor([&] { return FileFree(path); }));
}

// Two Play requests while the first is still handing the foreground back
// (its wait takes messages): one playback, not two threads on one file. A
// second thread either plays the macro once more or cannot open the file and
// says so in a box (the teardown finds it).
TEST_F(MacroJourney, SecondPlayDuringTheHandBack_IsRefused) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Once.mcr");
  // The pointer moves to the middle of the screen as the playback starts;
  // then a pause, in which the test brings the target back to the front.
  EventRecord move{};
  move.kind = kEventKindMouse;
  move.time = 1000;
  move.magic = kEventMagic;
  move.u.mouseFlags = MOUSEEVENTF_MOVE;
  move.a = move.b = 32768;
  ASSERT_TRUE(WriteFileBytes(path, MacroFile({move, KeyRecord(4000, 'X', true), KeyRecord(4010, 'X', false),
                                              KeyRecord(4100, 'Y', true), KeyRecord(4110, 'Y', false)})));
  MouseAt(20, 20);
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Once.mcr");
  // Quillo's own window in front, as after a command of its tray menu: Play
  // hands the foreground back before it starts.
  ASSERT_TRUE(HoldFront(frame_)) << GetForegroundWindow();
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  // Not probed through the file: the probe's own open could make the
  // player's fail.
  ASSERT_TRUE(WaitFor([] {
    POINT p{};
    GetCursorPos(&p);
    return std::abs(p.x - GetSystemMetrics(SM_CXSCREEN) / 2) <= 2 &&
           std::abs(p.y - GetSystemMetrics(SM_CYSCREEN) / 2) <= 2;
  }, 10000)) << "no playback started";
  ASSERT_TRUE(HoldFront(targetWindow_));
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "xy"; }, 10000)) << WindowText(edit);
  ASSERT_TRUE(WaitFor([&] { return FileFree(path); }));
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit) != "xy"; }, 2000)) << WindowText(edit);
}

// Record hands the foreground back to the program in front before the hooks
// record (its waits take messages). `then` runs in that stretch: once the
// file exists, the recording's stop flag is not up yet.
void MacroJourneyDuringRecordHandBack(HWND frame, const std::string& path, const std::function<void()>& then) {
  PostMessageA(frame, WM_COMMAND, 32801, 0);
  HWND record = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    record = FindWindowA("#32770", "Recording user operations");
    return record != nullptr && IsWindowVisible(record);
  })) << "no recording dialog";
  SetDlgItemTextA(record, kNameBox, "Early");
  PostMessageA(record, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000, 1));
  then();
}

// The bar's Stop a moment after Record, while the foreground is still going
// back: the user meant to stop this recording, which must not start anyway
// and record on unseen.
TEST_F(MacroJourney, StopDuringRecordsHandBack_OpensTheStopDialog) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  const std::string path = Macro("Early.mcr");
  ASSERT_TRUE(HoldFront(frame_)) << GetForegroundWindow();
  ASSERT_NO_FATAL_FAILURE(
      MacroJourneyDuringRecordHandBack(frame_, path, [&] { PostMessageA(frame_, WM_COMMAND, 32802, 0); }));
  HWND stop = WaitForDialog("Stop recording");
  ASSERT_NE(stop, nullptr) << "the Stop was lost: recording went on";
  PostMessageA(stop, WM_COMMAND, 1302, 0);  // Delete
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }));
}

// Exit while Record hands the foreground back: nothing was recorded, and no
// empty file is left to be refused at its first Play.
TEST_F(MacroJourney, ExitDuringRecordsHandBack_LeavesNoMacroFile) {
  ASSERT_NE(StartTarget(), nullptr);
  const std::string path = Macro("Early.mcr");
  ASSERT_TRUE(HoldFront(frame_)) << GetForegroundWindow();
  ASSERT_NO_FATAL_FAILURE(
      MacroJourneyDuringRecordHandBack(frame_, path, [&] { PostMessageA(frame_, WM_CLOSE, 0, 0); }));
  DWORD code = 99;
  ASSERT_TRUE(quillo_.Wait(60000, &code)) << "Quillo.exe did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "an empty macro file was left";
}

// Exit while the stop dialog is open keeps the recording, as Save would.
TEST_F(MacroJourney, ExitWhileTheStopDialogIsOpen_KeepsTheRecording) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  ASSERT_NO_FATAL_FAILURE(StartRecording("Kept"));
  const std::string path = Macro("Kept.mcr");
  Tap('K');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "k"; })) << WindowText(edit);
  Tap(VK_PAUSE);
  ASSERT_NE(WaitForDialog("Stop recording"), nullptr);
  PostMessageA(frame_, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(quillo_.Wait(60000, &code)) << "Quillo.exe did not end";
  EXPECT_EQ(code, 0u);
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 44u);
  uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 36, sizeof count);
  std::vector<uint8_t> keys;
  for (uint32_t i = 0; i < count && 44 + (i + 1) * 24 <= bytes.size(); ++i) {
    EventRecord r;
    std::memcpy(&r, bytes.data() + 44 + i * 24, 24);
    if (r.kind == kEventKindKey) keys.push_back(r.u.key.vk);
  }
  EXPECT_EQ(keys, (std::vector<uint8_t>{'K', 'K'}));
}

// Pause in the middle of a macro that holds a key down: the key must come
// up, or the system goes on seeing it held (held Ctrl, Shift or Alt turn
// every key the user types afterwards into a shortcut or a capital). The
// program in front is asked what it received: under Wine another process's
// view of the key state is not to be trusted, and the modifiers' state is
// taken from the X server again whenever the focus moves.
TEST_F(MacroJourney, PauseWhileTheMacroHoldsAKey_ReleasesIt) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Held.mcr");
  ASSERT_TRUE(WriteFileBytes(path, MacroFile({KeyRecord(1000, VK_CONTROL, true), KeyRecord(1010, 'Q', true),
                                              KeyRecord(31000, 'Q', false), KeyRecord(31010, VK_CONTROL, false)})));
  const std::string keys = folder_.file("keys.txt");
  HWND edit = StartTarget("TimedTarget", "\"" + keys + "\" keys");
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Held.mcr");
  // (Not probed through the file: the probe's own open could make the
  // player's fail.)
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  // The macro's keys as the target received them; Pause passes through.
  auto received = [&] {
    DeleteFileA(keys.c_str());
    PostMessageA(targetWindow_, kMsgDumpTimes, 0, 0);
    WaitFor([&] { return GetFileAttributesA(keys.c_str()) != INVALID_FILE_ATTRIBUTES; });
    std::string lines;
    std::string line;
    for (unsigned char c : ReadFileBytes(keys)) {
      line.push_back(static_cast<char>(c));
      if (c != '\n') continue;
      if (line.rfind("19 ", 0) != 0) lines += line;
      line.clear();
    }
    return lines;
  };
  ASSERT_TRUE(WaitFor([&] { return received() == "17 down\n81 down\n"; })) << received();
  Tap(VK_PAUSE);
  ASSERT_TRUE(WaitFor([&] { return FileFree(path); }, 10000)) << "Pause/Break did not end the playback";
  // The macro's keys come up, the last pressed first.
  EXPECT_TRUE(WaitFor([&] { return received() == "17 down\n81 down\n81 up\n17 up\n"; })) << received();
}

// A window at a fixed place with one button that counts its clicks in its
// own text ("Pressed 1", ...), beside the edit control the fixture expects.
LRESULT CALLBACK ButtonTargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static int clicks = 0;
  if (msg == WM_COMMAND && LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
    const std::string text = "Pressed " + std::to_string(++clicks);
    SetWindowTextA(reinterpret_cast<HWND>(lParam), text.c_str());
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

QUILLO_CHILD(ButtonTarget) {
  (void)args;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ButtonTargetProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuilloButtonTarget";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, kButtonTargetTitle, WS_OVERLAPPEDWINDOW, 100, 100, 400, 260,
                              nullptr, nullptr, wc.hInstance, nullptr);
  CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 360, 24, hwnd,
                  reinterpret_cast<HMENU>(kTargetEditId), nullptr, nullptr);
  CreateWindowExA(0, "BUTTON", "Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 140, 100, 120, 40, hwnd,
                  reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  return RunTargetLoop(hwnd);
}

// Recording and playing across the other parts of the program: a menu item's
// paste, a mouse click, a menu item's macro tag.
class MacroRecordJourney : public MacroJourney {
 protected:
  static constexpr char kMenuSetKey[] = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";

  // A custom menu on Ctrl twice: a text to paste and a macro tag.
  void BeforeStart() override {
    const std::string menu = folder_.file("Macros.txt");
    const std::string text = "&Greeting|hello\r\n&Macro|[!M\"Tag.mcr\"]\r\n&Keys|xy[!K\"LEFT\"]z\r\n";
    ASSERT_TRUE(WriteFileBytes(menu, std::vector<unsigned char>(text.begin(), text.end())));
    WriteString(kMenuSetKey, "MenuFile0", menu);
    WriteDword(kMenuSetKey, "MenuFile0-Preset", 1);
    WriteDword(kGeneralKey, "StackKey", static_cast<DWORD>(-1));
    WriteDword(kGeneralKey, "ChangeKey", static_cast<DWORD>(-1));
    WriteDword(kGeneralKey, "MenuPos", 1);
  }

  // The custom menu inside the target, opened as the user opens it.
  void OpenMenuInTarget() {
    DWORD pid = 0;
    GetWindowThreadProcessId(targetWindow_, &pid);
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no menu in the target";
  }

  // Pause/Break, then Save; the records of the saved file.
  std::vector<EventRecord> StopAndSave(const char* name) {
    Tap(VK_PAUSE);
    HWND stop = WaitForDialog("Stop recording");
    EXPECT_NE(stop, nullptr) << "Pause/Break did not stop the recording";
    if (stop == nullptr) return {};
    PostMessageA(stop, WM_COMMAND, IDOK, 0);
    const std::string path = Macro((std::string(name) + ".mcr").c_str());
    EXPECT_TRUE(WaitFor([&] { return FileFree(path) && ReadFileBytes(path).size() >= 44; }));
    Settle();
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    std::vector<EventRecord> records;
    for (size_t at = 44; at + 24 <= bytes.size(); at += 24) {
      EventRecord r;
      std::memcpy(&r, bytes.data() + at, 24);
      records.push_back(r);
    }
    return records;
  }
};

// The menu item pastes with Ctrl+V of its own: those keys are the program's,
// not the user's, and stay out of the macro; the keys that opened the menu
// and chose the item are in it.
TEST_F(MacroRecordJourney, KeysPastedByAMenuItem_AreNotRecorded) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  StartRecording("Paste");
  OpenMenuInTarget();
  Tap('G');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "hello"; })) << WindowText(edit);
  const std::vector<EventRecord> records = StopAndSave("Paste");
  int controls = 0;
  Texts others;
  for (const EventRecord& r : records) {
    if (r.kind != kEventKindKey) continue;
    // Only presses: Wine may add a release of its own when the menu takes
    // the keyboard focus.
    if (r.u.key.vk == VK_CONTROL) {
      if (r.a != 0) ++controls;
    } else if (r.u.key.vk != 'G') {
      others.push_back(std::to_string(r.u.key.vk) + (r.a ? " down" : " up"));
    }
  }
  EXPECT_EQ(controls, 2) << "the user pressed Ctrl twice; the paste's own Ctrl is not theirs";
  EXPECT_EQ(others, Texts()) << "keys the menu item synthesised were recorded";
}

// An item that types keys of its own (here Left between two pastes): the
// resident program types them, and they stay out of the macro as the
// pastes do. Recorded, they would come twice on playback: once from the
// item chosen again, once from the file.
TEST_F(MacroRecordJourney, KeysTypedByAMenuItem_AreNotRecorded) {
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  StartRecording("Keys");
  OpenMenuInTarget();
  Tap('K');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "xzy"; })) << WindowText(edit);
  const std::vector<EventRecord> records = StopAndSave("Keys");
  int controls = 0;
  Texts others;
  for (const EventRecord& r : records) {
    if (r.kind != kEventKindKey) continue;
    if (r.u.key.vk == VK_CONTROL) {
      if (r.a != 0) ++controls;
    } else if (r.u.key.vk != 'K') {
      others.push_back(std::to_string(r.u.key.vk) + (r.a ? " down" : " up"));
    }
  }
  EXPECT_EQ(controls, 2) << "the user pressed Ctrl twice";
  EXPECT_EQ(others, Texts()) << "keys the menu item typed were recorded (37 is Left)";
}

TEST_F(MacroRecordJourney, ClickRecordedOnAButton_IsPlayedBackOntoThatButton) {
  ASSERT_NE(StartTarget("ButtonTarget"), nullptr);
  HWND button = GetDlgItem(targetWindow_, kButtonId);
  // The pointer starts on the target: a click that follows a jump from the
  // notification area within a millisecond is lost by Wine, and no hand is
  // that fast.
  MouseAt(130, 300);
  StartRecording("Click");
  ClickOn(button);
  ASSERT_TRUE(WaitFor([&] { return WindowText(button) == "Pressed 1"; })) << WindowText(button);
  const std::vector<EventRecord> records = StopAndSave("Click");
  int downs = 0;
  for (const EventRecord& r : records) {
    if (r.kind == kEventKindMouse && (r.u.mouseFlags & MOUSEEVENTF_LEFTDOWN) != 0) ++downs;
  }
  ASSERT_EQ(downs, 1);

  // A fresh target at the same place; the pointer elsewhere.
  ASSERT_NE(StartTarget("ButtonTarget"), nullptr);
  button = GetDlgItem(targetWindow_, kButtonId);
  MouseAt(20, 20);
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(button) == "Pressed 1"; })) << WindowText(button);
  EXPECT_TRUE(WaitFor([&] { return FileFree(Macro("Click.mcr")); }));
}

TEST_F(MacroRecordJourney, MacroTagOfAMenuItem_PlaysItsMacro) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(Macro("Tag.mcr"), MacroFile({KeyRecord(1000, 'X', true), KeyRecord(1010, 'X', false),
                                                          KeyRecord(1100, 'Y', true), KeyRecord(1110, 'Y', false)})));
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  OpenMenuInTarget();
  Tap('M');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "xy"; })) << WindowText(edit);
  EXPECT_TRUE(WaitFor([&] { return FileFree(Macro("Tag.mcr")); }));
  // The tag made it the current macro: the macro bar says so.
  EXPECT_TRUE(WaitFor([] { return WindowText(FindWindowA("QuilloMacroBar", nullptr)) == "Tag.mcr - Macro"; }));
}

// A macro chosen from the list while recording becomes the current one; the
// stop dialog's Delete still throws away the recording, and only it.
TEST_F(MacroRecordJourney, StopDialogDelete_RemovesTheRecordingNotTheMacroChosenMeanwhile) {
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(Macro("Keep.mcr"), MacroFile({KeyRecord(1000, 'X', true)})));
  ASSERT_NE(StartTarget(), nullptr);
  StartRecording("Fresh");
  // Where the list shows Keep.mcr: the file system's order.
  int keep = -1, at = 0;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(Macro("*.mcr").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    if (std::strcmp(found.cFileName, "Keep.mcr") == 0) keep = at;
    ++at;
  } while (FindNextFileA(h, &found));
  FindClose(h);
  ASSERT_GE(keep, 0);
  DWORD pid = 0;
  GetWindowThreadProcessId(frame_, &pid);
  PostMessageA(frame_, WM_COMMAND, 32803, 0);
  RECT r = {}, last = {};
  ASSERT_TRUE(WaitFor([&] {
    last = r;
    HWND menu = OpenMenuOf(pid);
    return menu != nullptr && GetWindowRect(menu, &r) && EqualRect(&r, &last);
  }, 10000, 100)) << "no macro list menu";
  Tap(static_cast<BYTE>('1' + keep));
  ASSERT_TRUE(WaitFor([] { return WindowText(FindWindowA("QuilloMacroBar", nullptr)) == "Keep.mcr - Macro"; }));

  Tap(VK_PAUSE);
  HWND stop = WaitForDialog("Stop recording");
  ASSERT_NE(stop, nullptr);
  // The dialog names what Save keeps and Delete throws away.
  char shown[64] = {};
  GetDlgItemTextA(stop, kNameBox, shown, sizeof shown);
  EXPECT_STREQ(shown, "Fresh.mcr");
  PostMessageA(stop, WM_COMMAND, 1302, 0);  // Delete
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(Macro("Fresh.mcr").c_str()) == INVALID_FILE_ATTRIBUTES; }));
  Settle();
  EXPECT_NE(GetFileAttributesA(Macro("Keep.mcr").c_str()), INVALID_FILE_ATTRIBUTES) << "the chosen macro was deleted";
}

}  // namespace
// A macro that chooses an entry typed into its program: the macro's next
// keys wait until the text is typed, rather than land inside it; and Pause
// while it types stops the typing and the playback alike.
class MacroTypingJourney : public MacroJourney {
 protected:
  void BeforeStart() override {
    WriteDword("Software\\Veltrane Soft\\Quillo\\PasteMethods", "Count", 1);
    WriteString("Software\\Veltrane Soft\\Quillo\\PasteMethods", "Program0", "quillo_wine_tests.exe=Type");
  }
  // Ctrl twice (the stack menu), '1' (the newest entry), then 'Z' and, after
  // a gap of `gapMs`, 'Q'.
  std::vector<EventRecord> ChooseThenKeys(uint32_t gapMs) {
    return {KeyRecord(1000, VK_CONTROL, true), KeyRecord(1010, VK_CONTROL, false),
            KeyRecord(1100, VK_CONTROL, true), KeyRecord(1110, VK_CONTROL, false),
            KeyRecord(1600, '1', true),        KeyRecord(1610, '1', false),
            KeyRecord(1700, 'Z', true),        KeyRecord(1710, 'Z', false),
            KeyRecord(1710 + gapMs, 'Q', true), KeyRecord(1720 + gapMs, 'Q', false)};
  }
  std::string Text(size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('a' + i % 16);  // no z or q: those are the macro's
    return text;
  }
};

TEST_F(MacroTypingJourney, TheMacrosKeysAfterATypedTextComeAfterAllOfIt) {
  const std::string text = Text(400);
  ASSERT_TRUE(PutClipboardText(text));
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Typed.mcr");
  ASSERT_TRUE(WriteFileBytes(path, MacroFile(ChooseThenKeys(10))));
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Typed.mcr");
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == text + "zq"; }, 30000))
      << "got " << WindowText(edit).size() << " bytes, ending \""
      << WindowText(edit).substr(WindowText(edit).size() > 20 ? WindowText(edit).size() - 20 : 0) << "\"";
  EXPECT_TRUE(WaitFor([&] { return FileFree(path); }, 10000)) << "the playback did not end";
}

TEST_F(MacroTypingJourney, PauseWhileTheMacrosTextIsTypedStopsBoth) {
  const std::string text = Text(3000);
  ASSERT_TRUE(PutClipboardText(text));
  CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  const std::string path = Macro("Typed.mcr");
  ASSERT_TRUE(WriteFileBytes(path, MacroFile(ChooseThenKeys(10))));
  HWND edit = StartTarget();
  ASSERT_NE(edit, nullptr);
  SetCurrentMacro("Typed.mcr");
  PostMessageA(frame_, WM_COMMAND, 32800, 0);
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit).size() > 50; }, 20000)) << "typing never started";
  Tap(VK_PAUSE);
  EXPECT_TRUE(WaitFor([&] { return FileFree(path); }, 10000)) << "the playback went on";
  std::string got;
  WaitFor([&] {
    const std::string now = WindowText(edit);
    const bool settled = now == got;
    got = now;
    return settled;
  }, 5000, 500);
  EXPECT_LT(got.size(), text.size());
  EXPECT_EQ(got.find_first_of("zq", got.size() > 40 ? got.size() - 40 : 0), std::string::npos)
      << "the macro's keys went on after Pause: \"" << got.substr(got.size() > 40 ? got.size() - 40 : 0) << "\"";
}

}  // namespace quillo::wine
