// The whole journey across real processes: a target program with an edit
// control has the focus; this test program stands in for the resident program
// (history store, settings, hooks installed through QuilloHook.dll); real key
// presses make the menu appear inside the target's process, a key chooses an
// entry, and the text arrives in the target's edit control.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "history_store_win.h"
#include "quillo_hook.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

class TriggerJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
    // The library shows menus only for the resident program's window.
    resident_ = CreateResidentStandIn(nullptr, WS_OVERLAPPED, nullptr, false);
    ASSERT_NE(resident_, nullptr);
    ASSERT_TRUE(store_.CreateHistoryStore(50));
    for (const char* t : {"first", "second", "third"}) store_.AddHistoryEntry(t);
    marker_ = RegisterClipboardFormatA("Quillo Marker");
    g_cfQuilloMarker = marker_;
    g_nStackKey = 1;  // Ctrl twice
    g_nChangeKey = -1;
    g_nMenuPos = 1;  // at the pointer: the target has no caret until it is clicked
    g_nPasteCmd = 0;
    g_nCharNum = 30;
    g_bCopyOnly = 0;
    g_bMoveStackTop = 0;
    for (auto& set : g_CustomMenuSet) {
      std::memset(&set, 0, sizeof set);
      set.trigger = -1;
    }
    ASSERT_EQ(SetHookProc(resident_), 1);
    target_ = StartChild("EditTarget");
    ASSERT_TRUE(target_.valid());
    ASSERT_TRUE(WaitFor([&] {
      targetWindow_ = FindWindowA(kTargetClass, kTargetTitle);
      return targetWindow_ != nullptr && GetForegroundWindow() == targetWindow_;
    })) << "the target never came to the front";
    edit_ = GetDlgItem(targetWindow_, kTargetEditId);
    GetWindowThreadProcessId(targetWindow_, &targetPid_);
  }

  void TearDown() override {
    for (Handle32<HHOOK>* h : {&g_hKeyHook, &g_hMouseHook, &g_hSysMsgHook}) {
      if (*h != nullptr) UnhookWindowsHookEx(*h);
      *h = nullptr;
    }
    PublishResidentWindow(nullptr);
    g_nStackKey = g_nChangeKey = g_nMenuPos = g_nCharNum = 0;
    g_bCopyOnly = g_bMoveStackTop = 0;
    target_.Kill();
    store_.CloseHistoryStore();
    g_nNumClipHistory = 0;
    DestroyWindow(resident_);
  }

  void DoubleCtrl() {
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
  }

  bool WaitForMenu() {
    return WaitFor([&] { return OpenMenuOf(targetPid_) != nullptr; });
  }

  ProgramFolder folder_;
  HistoryStore store_{GetModuleHandleA(nullptr), folder_.path()};
  HWND resident_ = nullptr;
  UINT marker_ = 0;
  Process target_;
  HWND targetWindow_ = nullptr;
  HWND edit_ = nullptr;
  DWORD targetPid_ = 0;
};

TEST_F(TriggerJourney, DoubleCtrlShowsHistoryAndAccessKeyPastesTheEntry) {
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu()) << "no menu appeared in the target";
  Tap('2');  // "&2: second"
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "second"; })) << WindowText(edit_);
  // Our own text on the clipboard carries the marker, so capture will skip it.
  EXPECT_TRUE(IsClipboardFormatAvailable(marker_));
}

TEST_F(TriggerJourney, DoubleShiftAndAShortcutKeyShowTheirMenus) {
  g_nStackKey = 0;  // Shift twice
  Tap(VK_SHIFT);
  Tap(VK_SHIFT);
  ASSERT_TRUE(WaitForMenu()) << "Shift twice showed nothing";
  Tap('1');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit_) == "third"; })) << WindowText(edit_);
  // Ctrl+Shift+Q as the stack menu's own key: matched exactly, and swallowed.
  g_nStackKey = -2;
  g_wStackKey = 'Q';
  g_wStackMod = 2 | 4;
  Key(VK_CONTROL);
  Key(VK_SHIFT);
  Tap('Q');
  Key(VK_SHIFT, true);
  Key(VK_CONTROL, true);
  ASSERT_TRUE(WaitForMenu()) << "the shortcut showed nothing";
  // The modifier releases reach the menu after it opened; a person also
  // reads the menu before choosing. Under Wine a choice typed in the same
  // instant as those releases is sometimes lost, so give them a moment.
  Sleep(200);
  Tap('2');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "thirdsecond"; })) << WindowText(edit_);
  g_wStackKey = g_wStackMod = 0;
}

// A copy made while the menu is open in the target enters the history as
// entry 0 and moves every other entry down; "&1" still names the entry the
// menu showed beside it.
TEST_F(TriggerJourney, CopyWhileTheMenuIsOpen_TheChoicePastesTheEntryShownNeverTheNewText) {
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  store_.AddHistoryEntry("new secret");
  ASSERT_EQ(g_nNumClipHistory, 4);
  Tap('1');  // "&1: third"
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "third"; })) << WindowText(edit_);
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit_).find("secret") != std::string::npos; }, 500));
}

TEST_F(TriggerJourney, CopyOnlyFillsTheClipboardWithoutPasting) {
  g_bCopyOnly = 1;
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  Tap('3');
  ASSERT_TRUE(WaitFor([&] {
    if (!OpenClipboard(nullptr)) return false;
    HANDLE h = GetClipboardData(CF_TEXT);
    const char* p = h ? static_cast<const char*>(GlobalLock(h)) : nullptr;
    const bool ok = p != nullptr && std::strcmp(p, "first") == 0;
    if (p) GlobalUnlock(h);
    CloseClipboard();
    return ok;
  }, 10000, 50));  // looked at now and then: the target needs the clipboard too
  // Nothing may be typed: give the input stream a moment to prove it.
  EXPECT_FALSE(WaitFor([&] { return !WindowText(edit_).empty(); }, 500));
}

TEST_F(TriggerJourney, MoveToTopReordersTheStore) {
  g_bMoveStackTop = 1;
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  Tap('3');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit_) == "first"; }));
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName);
  ASSERT_NE(m, nullptr);
  const char* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_STREQ(view, "first");
  EXPECT_STREQ(view + g_dwBlockSize, "third");
  EXPECT_STREQ(view + 2 * g_dwBlockSize, "second");
  UnmapViewOfFile(view);
  CloseHandle(m);
}

TEST_F(TriggerJourney, SpaceClosesTheOpenMenuWithoutAChoice) {
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  Tap(VK_SPACE);
  EXPECT_TRUE(WaitFor([&] { return OpenMenuOf(targetPid_) == nullptr; }));
  EXPECT_EQ(WindowText(edit_), "");
}

TEST_F(TriggerJourney, SlowSecondCtrlShowsNothing) {
  Tap(VK_CONTROL);
  Sleep(700);  // the pause under test: longer than a double press
  Tap(VK_CONTROL);
  EXPECT_FALSE(WaitFor([&] { return OpenMenuOf(targetPid_) != nullptr; }, 700));
}

TEST_F(TriggerJourney, RightButtonChoicePastesQuoted) {
  std::strcpy(g_szQuote, "> ");
  store_.AddHistoryEntry("two\r\nlines");
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  // The menu may still be placed after it first shows: wait until it stays
  // put, point at the first item (at the top, a few pixels in), and let the
  // menu see the pointer there before the button goes down, as a hand would.
  RECT r = {}, last = {};
  ASSERT_TRUE(WaitFor([&] {
    last = r;
    return GetWindowRect(OpenMenuOf(targetPid_), &r) && EqualRect(&r, &last);
  }, 5000, 100));
  MouseAt(r.left + 20, r.top + 8);
  Sleep(150);
  MouseAt(r.left + 20, r.top + 8, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "> two\r\n> lines"; })) << WindowText(edit_);
  g_szQuote[0] = '\0';
}

TEST_F(TriggerJourney, TitleBarRightClickShowsTheStackMenuButNotWithShift) {
  g_nTitleMenu = 2;
  RECT r;
  ASSERT_TRUE(GetWindowRect(targetWindow_, &r));
  const int x = (r.left + r.right) / 2, y = r.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2;
  // With Shift held the window gets its own system menu: close it, nothing pasted.
  // Wine may mark an injected Shift as released when the target handles its
  // X focus late (a held physical key is never released so), and the click
  // then rightly opens the stack menu. Such a try is made again, after a
  // click into the edit control that Wine needs before it takes synthetic
  // keys again; a program that ignored Shift would paste in every try.
  RECT field;
  ASSERT_TRUE(GetWindowRect(edit_, &field));
  bool nothingPasted = false;
  for (int attempt = 0; attempt < 5 && !nothingPasted; ++attempt) {
    Key(VK_SHIFT);
    MouseAt(x, y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    Key(VK_SHIFT, true);
    if (WaitFor([&] { return OpenMenuOf(targetPid_) != nullptr; }, 2000)) {
      Tap('1');
      Tap(VK_ESCAPE);
      EXPECT_TRUE(WaitFor([&] { return OpenMenuOf(targetPid_) == nullptr; }));
    }
    nothingPasted = !WaitFor([&] { return !WindowText(edit_).empty(); }, 500);
    if (!nothingPasted) {
      SendMessageA(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
      MouseAt((field.left + field.right) / 2, (field.top + field.bottom) / 2, MOUSEEVENTF_LEFTDOWN,
              MOUSEEVENTF_LEFTUP);
    }
  }
  EXPECT_TRUE(nothingPasted) << "the stack menu opened under Shift in every try";
  // Without Shift the stack menu appears at the pointer.
  MouseAt(x, y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(WaitForMenu());
  Tap('1');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "third"; })) << WindowText(edit_);
  g_nTitleMenu = 0;
}

TEST_F(TriggerJourney, EmptyHistoryShowsMessage2024InTheTarget) {
  store_.ClearHistory();
  DoubleCtrl();
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>({"There is no clipboard history."}));
}

// Figures, not limits: how long the menu takes to appear with a full history
// of 100 entries of 20 KB, and what the hooks add to an ordinary key press.
TEST_F(TriggerJourney, ReportsMenuLatencyAndHookCost) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  // Second Ctrl released to the menu window shown, five times; best and mean.
  auto measure = [&](double& best, double& mean) {
    best = 1e9;
    double total = 0;
    const int rounds = 5;
    for (int i = 0; i < rounds; ++i) {
      Tap(VK_CONTROL);
      Key(VK_CONTROL);
      QueryPerformanceCounter(&t0);
      Key(VK_CONTROL, true);
      if (!WaitFor([&] { return OpenMenuOf(targetPid_) != nullptr; }, 10000, 1)) return false;
      QueryPerformanceCounter(&t1);
      const double ms = 1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart;
      best = ms < best ? ms : best;
      total += ms;
      Tap(VK_ESCAPE);
      if (!WaitFor([&] { return OpenMenuOf(targetPid_) == nullptr; })) return false;
      Sleep(600);  // let the next pair start fresh rather than chain on this one
    }
    mean = total / rounds;
    return true;
  };
  // What the system's own path costs (key delivery, the menu window): a
  // history of one short entry, measured in the same run.
  store_.ClearHistory();
  store_.AddHistoryEntry("one");
  // The target's first menu ever (its first popup window, the library's
  // first look at the store) is not what either figure is about.
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  Tap(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(targetPid_) == nullptr; }));
  Sleep(600);
  double smallBest = 0, smallMean = 0;
  ASSERT_TRUE(measure(smallBest, smallMean));

  ASSERT_TRUE(store_.ResizeHistory(100));
  const std::string big(20479, 'x');
  for (int i = 0; i < 100; ++i) {
    std::string t = big;
    t[0] = static_cast<char>('A' + i % 26);
    t[1] = static_cast<char>('0' + i % 10);
    store_.AddHistoryEntry(t.c_str());
  }
  ASSERT_EQ(g_nNumClipHistory, 100);
  double best = 0, mean = 0;
  ASSERT_TRUE(measure(best, mean));
  std::printf("[ figure ] second Ctrl release to visible menu, 100 x 20 KB history: best %.1f ms, mean %.1f ms "
              "(goal: mean <= 8 ms); with one short entry: best %.1f ms, mean %.1f ms\n",
              best, mean, smallBest, smallMean);

  // An ordinary key, typed into the target with and without the hooks.
  auto typeKeys = [&](int n) {
    SendMessageA(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) Tap('A');
    EXPECT_TRUE(WaitFor([&] { return WindowText(edit_).size() == static_cast<size_t>(n); }, 20000, 1));
    QueryPerformanceCounter(&t1);
    return 1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart / n;
  };
  const int keys = 200;
  const double hooked = typeKeys(keys);
  for (Handle32<HHOOK>* h : {&g_hKeyHook, &g_hMouseHook, &g_hSysMsgHook}) {
    UnhookWindowsHookEx(*h);
    *h = nullptr;
  }
  const double plain = typeKeys(keys);
  std::printf("[ figure ] ordinary key into another process: %.3f ms with the hooks, %.3f ms without\n", hooked,
              plain);
  RecordProperty("menu_latency_best_ms", static_cast<int>(best));
}

// The same journey in a program no one here wrote: Wine's notepad.
TEST_F(TriggerJourney, PastesIntoWineNotepad) {
  target_.Kill();
  Process notepad = Process::Start("notepad.exe");
  ASSERT_TRUE(notepad.valid());
  HWND edit = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    HWND front = GetForegroundWindow();
    char cls[32] = {};
    GetClassNameA(front, cls, sizeof cls);
    if (lstrcmpiA(cls, "Notepad") != 0) return false;
    edit = FindWindowExA(front, nullptr, "Edit", nullptr);
    GetWindowThreadProcessId(front, &targetPid_);
    return edit != nullptr;
  })) << "notepad never came to the front";
  DoubleCtrl();
  ASSERT_TRUE(WaitForMenu());
  Tap('2');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "second"; })) << WindowText(edit);
}

}  // namespace
}  // namespace quillo::wine
