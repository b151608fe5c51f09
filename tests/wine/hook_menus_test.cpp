// The pop-up menus under Wine: the stack menu is built over a real history
// mapping and read back with GetMenuItemInfoA; menus are tracked for real on
// this thread while a driver thread waits for the menu window and types keys;
// the chosen command's effect is read from the clipboard, the store and the
// messages a stand-in resident window receives; the scratch dialog is worked
// by a driver thread and the file it writes is read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "menus_win.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "scratch_dialog_res.h"
#include "wine_support.h"

using quillo::hook::State;
using quillo::wine::MessageBoxWatcher;
using quillo::wine::ProgramFolder;
using quillo::wine::WaitFor;

namespace {

constexpr DWORD kDeadlineMs = 15000;
constexpr DWORD kBlockSize = 20480;
constexpr int kCapacity = 100;
constexpr UINT kMnGetHMenu = 0x01E1;  // MN_GETHMENU: the menu a "#32768" window shows

std::vector<std::string> Boxes() { return MessageBoxWatcher::Instance().Take(); }

// This thread's windows keep working while the test waits.
bool PumpUntil(const std::function<bool()>& condition, DWORD ms = kDeadlineMs) {
  return quillo::wine::WaitWhilePumping(condition, ms);
}

// The history store as the resident program keeps it: the named mapping with
// 100 slots, and the count and block size in the shared block.
class HistoryMapping {
 public:
  HistoryMapping() {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize * kCapacity,
                                  "QuilloPageMapObject");
    view_ = mapping_ ? static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    g_dwBlockSize = kBlockSize;
    g_nNumClipHistory = 0;
  }
  ~HistoryMapping() {
    g_nNumClipHistory = 0;
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
  }
  bool ok() const { return view_ != nullptr; }
  char* view() const { return view_; }
  // Entry 0 is the newest; the bytes go in before the count is published.
  void Fill(const std::vector<std::string>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
      lstrcpynA(view_ + i * kBlockSize, entries[i].c_str(), kBlockSize);
    }
    g_nNumClipHistory = static_cast<int>(entries.size());
  }
  std::string Entry(int i) const { return view_ + static_cast<size_t>(i) * kBlockSize; }

 private:
  HANDLE mapping_ = nullptr;
  char* view_ = nullptr;
};

std::vector<std::string> Numbered(int n) {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back("entry " + std::to_string(i));
  return out;
}

std::string Caption(HMENU menu, int pos, UINT* id = nullptr, HMENU* sub = nullptr, UINT* type = nullptr,
                    UINT* state = nullptr) {
  char label[300] = {};
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_TYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
  info.dwTypeData = label;
  info.cch = sizeof label;
  if (!GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info)) return "<unreadable>";
  if (id != nullptr) *id = info.wID;
  if (sub != nullptr) *sub = info.hSubMenu;
  if (type != nullptr) *type = info.fType;
  if (state != nullptr) *state = info.fState;
  return label;
}

// One line per entry: "id caption", "sep", or "popup caption" with its
// entries indented under it.
void Describe(HMENU menu, int depth, std::vector<std::string>& out) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    UINT id = 0;
    UINT type = 0;
    HMENU sub = nullptr;
    const std::string label = Caption(menu, i, &id, &sub, &type);
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    if (type & MFT_SEPARATOR) {
      line += "sep";
    } else if (sub != nullptr) {
      line += "popup " + label;
    } else {
      line += std::to_string(id) + " " + label;
    }
    out.push_back(line);
    if (sub != nullptr) Describe(sub, depth + 1, out);
  }
}

std::vector<std::string> Describe(HMENU menu) {
  std::vector<std::string> out;
  if (menu != nullptr) Describe(menu, 0, out);
  return out;
}

std::string ClipboardText() {
  std::string text = "<none>";
  if (!OpenClipboard(nullptr)) return "<busy>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

void PutOnClipboard(const std::string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block != nullptr) {
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
}

void Key(BYTE vk, bool up) { keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0); }
void Press(BYTE vk) {
  Key(vk, false);
  Key(vk, true);
}

// The menu window of this process, when one is shown.
HWND FindMenuWindow() {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

int CountMenuWindows() {
  int n = 0;
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) ++n;
  }
  return n;
}

// Runs `show` (which tracks a menu on this thread) while a driver thread waits
// for the menu, hands its HMENU to `inspect` and then runs `keys`. A driver
// that finds no menu, or a menu still open after its keys, presses Escape
// until it closes, so a fault ends the test instead of hanging it.
struct MenuRun {
  bool menuSeen = false;
  bool closedByKeys = false;
};
MenuRun TrackWhileDriving(const std::function<void()>& show, const std::function<void(HMENU)>& inspect,
                          const std::function<void()>& keys) {
  MenuRun run;
  // The window of a menu that just closed goes away only once this thread has
  // handled its messages; the driver must not take it for the new one.
  PumpUntil([] { return CountMenuWindows() == 0; });
  std::atomic<bool> done(false);
  std::thread driver([&] {
    HWND menuWindow = nullptr;
    run.menuSeen = WaitFor([&] { return done.load() || (menuWindow = FindMenuWindow()) != nullptr; }, kDeadlineMs) &&
                   menuWindow != nullptr;
    if (run.menuSeen) {
      HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, kMnGetHMenu, 0, 0));
      if (inspect) inspect(menu);
      keys();
      run.closedByKeys = WaitFor([&] { return done.load(); }, kDeadlineMs);
    }
    while (!done.load()) {
      Press(VK_ESCAPE);
      Sleep(100);
    }
  });
  show();
  done = true;
  driver.join();
  PumpUntil([] { return CountMenuWindows() == 0; });
  return run;
}

// The application in front: a top-level window with a focused edit control.
class FrontWindow {
 public:
  FrontWindow() {
    static const ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "QuilloMenusFront";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExA(0, "QuilloMenusFront", "Menus front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 600,
                            400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    edit_ = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 500, 24, hwnd_, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~FrontWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  FrontWindow(const FrontWindow&) = delete;
  FrontWindow& operator=(const FrontWindow&) = delete;
  HWND hwnd() const { return hwnd_; }
  HWND edit() const { return edit_; }
  bool BringToFront() {
    return PumpUntil([&] {
      if (GetForegroundWindow() != hwnd_) SetForegroundWindow(hwnd_);
      if (GetFocus() != edit_) SetFocus(edit_);
      return GetForegroundWindow() == hwnd_ && GetFocus() == edit_;
    });
  }
  std::string EditText() const {
    char buffer[512] = "";
    GetWindowTextA(edit_, buffer, sizeof buffer);
    return buffer;
  }

 private:
  HWND hwnd_ = nullptr;
  HWND edit_ = nullptr;
};

// Stands in for the resident window: records what the library posts to it.
class ResidentStandIn {
 public:
  struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
  };
  ResidentStandIn() {
    hwnd_ = quillo::wine::CreateResidentStandIn(nullptr, WS_POPUP, nullptr, false);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc));
    quillo::PublishResidentWindow(hwnd_);
  }
  ~ResidentStandIn() {
    quillo::PublishResidentWindow(nullptr);
    DestroyWindow(hwnd_);
  }
  ResidentStandIn(const ResidentStandIn&) = delete;
  ResidentStandIn& operator=(const ResidentStandIn&) = delete;
  std::vector<Posted> posted;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ResidentStandIn*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && (message == WM_COMMAND || message >= WM_USER)) {
      self->posted.push_back({message, wParam, lParam, GetTickCount()});
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
};

// Settings of the shared block that the menus read, set for a test and put
// back to the zeros of a fresh library after it.
class HookMenusFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(history_.ok());
    g_nCharNum = 40;
    g_bSkipTopSpace = FALSE;
    g_nMenuPos = 0;
    g_bCopyOnly = TRUE;  // the clipboard is the witness; no paste keys unless a test wants them
    g_bMoveStackTop = FALSE;
    g_nPasteCmd = 0;
    lstrcpynA(g_szQuote, "> ", sizeof g_szQuote);
    lstrcpynA(g_szKeyClearHist, "Ctrl+Alt+K", sizeof g_szKeyClearHist);
    for (auto& e : g_CustomMenuSet) e = quillo::MenuFileSet{};
    Boxes();
    // A pointer left over a menu's place would highlight the entry under it
    // and take the keys' place; park it far from the front window.
    SetCursorPos(1010, 10);
    WaitFor([] {
      POINT p;
      return GetCursorPos(&p) && p.x == 1010 && p.y == 10;
    }, 2000);
  }
  void TearDown() override {
    g_bCopyOnly = FALSE;
    g_bMoveStackTop = FALSE;
    g_szQuote[0] = '\0';
    g_szKeyClearHist[0] = '\0';
    for (auto& e : g_CustomMenuSet) e = quillo::MenuFileSet{};
    Boxes();
  }
  HistoryMapping history_;
};

using HookMenusStack = HookMenusFixture;
using HookMenusTrack = HookMenusFixture;
using HookMenusChooser = HookMenusFixture;
using HookMenusHandOver = HookMenusFixture;
using HookMenusScratch = HookMenusFixture;

// ---- Building the stack menu ----

TEST_F(HookMenusStack, ThirtyFiveEntries_TenOnTopThenSubMenusVAndW_ThenTheCommands) {
  history_.Fill(Numbered(35));
  quillo::hook::StackMenu stack;
  ASSERT_TRUE(quillo::hook::BuildStackMenu(true, stack));

  std::vector<std::string> expected = {
      "7000 &1: entry 1", "7001 &2: entry 2", "7002 &3: entry 3", "7003 &4: entry 4", "7004 &5: entry 5",
      "7005 &6: entry 6", "7006 &7: entry 7", "7007 &8: entry 8", "7008 &9: entry 9", "7009 1&0: entry 10",
      "sep",              "popup 11 - 30 items(&V)"};
  const char* subKeys[] = {"&1", "&2", "&3", "&4", "&5", "&6", "&7", "&8", "&9", "1&0",
                           "&A", "&B", "&C", "&D", "&E", "&F", "&G", "&H", "&I", "&J"};
  for (int i = 0; i < 20; ++i) {
    expected.push_back("  " + std::to_string(7010 + i) + " " + subKeys[i] + ": entry " + std::to_string(11 + i));
  }
  expected.push_back("popup 31 - 50 items(&W)");
  for (int i = 0; i < 5; ++i) {
    expected.push_back("  " + std::to_string(7030 + i) + " " + subKeys[i] + ": entry " + std::to_string(31 + i));
  }
  expected.insert(expected.end(), {"sep", "7100 Clear History\tCtrl+Alt+K", "7101 Edit History...",
                                   "7102 Save to Scratch File..."});
  EXPECT_EQ(Describe(stack.menu), expected);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusStack, TenEntries_NoSubMenuAndNoSecondSeparator) {
  history_.Fill(Numbered(10));
  quillo::hook::StackMenu stack;
  ASSERT_TRUE(quillo::hook::BuildStackMenu(true, stack));
  const std::vector<std::string> menu = Describe(stack.menu);
  ASSERT_EQ(menu.size(), 14u);
  EXPECT_EQ(menu[9], "7009 1&0: entry 10");
  EXPECT_EQ(menu[10], "sep");
  EXPECT_EQ(menu[11], "7100 Clear History\tCtrl+Alt+K");
}

TEST_F(HookMenusStack, NinetyFirstEntry_OpensTheFifthSubMenuOfTenItems) {
  history_.Fill(Numbered(91));
  quillo::hook::StackMenu stack;
  ASSERT_TRUE(quillo::hook::BuildStackMenu(true, stack));
  const int count = GetMenuItemCount(stack.menu);
  // 10 entries, separator, five sub menus, separator, three commands.
  ASSERT_EQ(count, 10 + 1 + 5 + 1 + 3);
  EXPECT_EQ(Caption(stack.menu, 13), "51 - 70 items(&X)");
  EXPECT_EQ(Caption(stack.menu, 14), "71 - 90 items(&Y)");
  HMENU fifth = nullptr;
  EXPECT_EQ(Caption(stack.menu, 15, nullptr, &fifth), "91 - 100 items(&Z)");
  ASSERT_NE(fifth, nullptr);
  UINT id = 0;
  EXPECT_EQ(Caption(fifth, 0, &id), "&1: entry 91");
  EXPECT_EQ(id, 7090u);
  EXPECT_EQ(GetMenuItemCount(fifth), 1);
}

TEST_F(HookMenusStack, CaptionsFollowTheCaptionRule_WidthTabsAmpersandsAndLineBreaks) {
  g_nCharNum = 12;
  history_.Fill({"a&b\tc\r\nd", "abcdefghijklmnopq"});
  quillo::hook::StackMenu stack;
  ASSERT_TRUE(quillo::hook::BuildStackMenu(true, stack));
  EXPECT_EQ(Caption(stack.menu, 0), "&1: a b c |d");
  EXPECT_EQ(Caption(stack.menu, 1), "&2: abcdefghijkl");

  // The export the history editor uses: list style keeps the "&".
  char buffer[128];
  GetStackItem(buffer, history_.view(), 0, FALSE, FALSE);
  EXPECT_STREQ(buffer, "01: a&b c |d");
  GetStackItem(buffer, "direct text", 30, TRUE, TRUE);
  EXPECT_STREQ(buffer, "&1: direct text");
  GetStackItem(buffer, "direct text", 99, FALSE, TRUE);
  EXPECT_STREQ(buffer, "100: direct text");
}

// The exported caption reads a slot of a view its caller mapped; a slot size
// that does not fit that view gives the prefix alone, never a read past it.
TEST_F(HookMenusStack, ExportedCaption_SlotOutsideTheView_GivesThePrefixAlone) {
  history_.Fill({"e0", "e1"});
  char caption[kBlockSize / 128] = "";
  GetStackItem(caption, history_.view(), 1, FALSE, FALSE);
  EXPECT_STREQ(caption, "02: e1");
  g_dwBlockSize = 0x01000000;
  std::memset(caption, 'x', sizeof caption);
  GetStackItem(caption, history_.view(), 1, FALSE, FALSE);
  EXPECT_STREQ(caption, "02: ");
  GetStackItem(caption, history_.view(), 0, FALSE, FALSE);
  EXPECT_STREQ(caption, "01: ");
  g_dwBlockSize = kBlockSize;
  GetStackItem(caption, history_.view(), kCapacity, FALSE, FALSE);  // just past the last slot
  EXPECT_STREQ(caption, "101: ");
}

// Another program's copy rewrites the slots while the menu is built: what an
// entry shows and what the menu remembers of it must be the same text, or a
// choice of what was shown pastes what was not.
TEST_F(HookMenusStack, SlotRewrittenWhileBuilt_CaptionAndRememberedEntryAreTheSameText) {
  history_.Fill({"alpha", "other"});
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (bool flip = false; !stop.load(); flip = !flip) std::memcpy(history_.view(), flip ? "bravo" : "alpha", 6);
  });
  int mismatches = 0;
  int builds = 0;
  for (; builds < 3000 && mismatches == 0; ++builds) {
    quillo::hook::StackMenu stack;
    if (!quillo::hook::BuildStackMenu(false, stack)) continue;
    const std::string caption = Caption(stack.menu, 0);
    const std::string shown = caption.size() > 4 ? caption.substr(4) : std::string();  // after "&1: "
    const auto mark = quillo::hook::MarkEntry(shown.data(), shown.size());
    if (!quillo::hook::SameEntry(mark, stack.marks[0])) ++mismatches;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(mismatches, 0) << "after " << builds << " builds";
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusStack, EmptyHistory_Reports2024OnlyWhenAsked) {
  quillo::hook::StackMenu stack;
  EXPECT_FALSE(quillo::hook::BuildStackMenu(false, stack));
  EXPECT_EQ(Boxes(), std::vector<std::string>());
  EXPECT_FALSE(quillo::hook::BuildStackMenu(true, stack));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"There is no clipboard history."});
  EXPECT_EQ(stack.menu, nullptr);
}

// No fixture: the store must not exist here.
TEST(HookMenusNoStore, CountWithoutMapping_NoMenuAndNoMessage) {
  MessageBoxWatcher::Instance().Take();
  g_dwBlockSize = kBlockSize;
  g_nNumClipHistory = 3;
  quillo::hook::StackMenu stack;
  EXPECT_FALSE(quillo::hook::BuildStackMenu(true, stack));
  g_nNumClipHistory = 0;
  EXPECT_EQ(stack.menu, nullptr);
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>());
}

// ---- Tracking: real menus, real keys ----

TEST_F(HookMenusTrack, DownEnter_PastesTheNewestEntryIntoTheEditControl) {
  g_bCopyOnly = FALSE;
  history_.Fill({"newest text", "older text"});
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("before");
  std::vector<std::string> shown;
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); },
                                        [&](HMENU menu) { shown = Describe(menu); },
                                        [] { Press(VK_DOWN); Press(VK_RETURN); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_TRUE(run.closedByKeys);
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[0], "7000 &1: newest text");
  EXPECT_EQ(State().choiceMode, 1);
  EXPECT_FALSE(State().trackingMenu);
  EXPECT_EQ(ClipboardText(), "newest text");
  // The paste keys reach the edit control once this thread reads input again.
  EXPECT_TRUE(PumpUntil([&] { return front.EditText() == "newest text"; })) << front.EditText();
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusTrack, AccessKeysVThenA_ChooseEntry21InTheFirstSubMenu) {
  history_.Fill(Numbered(35));
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr, [] {
    Press('V');
    // The next key goes to the sub menu once it is open.
    WaitFor([] { return CountMenuWindows() == 2; }, kDeadlineMs);
    Press('A');
  });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_TRUE(run.closedByKeys);
  EXPECT_EQ(ClipboardText(), "entry 21");
}

TEST_F(HookMenusTrack, ShiftHeldWhileChoosing_QuoteModeQuotesEveryLine) {
  history_.Fill({"line one\r\nline two"});
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr, [] { Key(VK_SHIFT, false); Press(VK_DOWN); Press(VK_RETURN); });
  Key(VK_SHIFT, true);
  PumpUntil([] { return GetKeyState(VK_SHIFT) >= 0; }, 2000);
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(State().choiceMode, -1);
  EXPECT_EQ(ClipboardText(), "> line one\r\n> line two");
}

TEST_F(HookMenusTrack, Escape_ChoosesNothing) {
  history_.Fill({"one", "two"});
  g_bMoveStackTop = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("untouched");
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr,
                                        [] { Press(VK_ESCAPE); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_TRUE(run.closedByKeys);
  EXPECT_EQ(ClipboardText(), "untouched");
  EXPECT_EQ(history_.Entry(0), "one");
  EXPECT_EQ(history_.Entry(1), "two");
}

TEST_F(HookMenusTrack, MoveStackTop_ChosenFourthEntryBecomesTheFirst) {
  history_.Fill({"e0", "e1", "e2", "e3", "e4"});
  g_bMoveStackTop = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr, [] { Press('4'); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(ClipboardText(), "e3");
  EXPECT_EQ(g_nNumClipHistory, 5);
  std::vector<std::string> store;
  for (int i = 0; i < 5; ++i) store.push_back(history_.Entry(i));
  EXPECT_EQ(store, (std::vector<std::string>{"e3", "e0", "e1", "e2", "e4"}));
}

TEST_F(HookMenusTrack, WithoutMoveStackTop_TheStoreKeepsItsOrder) {
  history_.Fill({"e0", "e1", "e2"});
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr, [] { Press('3'); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(ClipboardText(), "e2");
  EXPECT_EQ(history_.Entry(0), "e0");
  EXPECT_EQ(history_.Entry(2), "e2");
}

// Another program copies while the menu is open: every entry moves down one.
// The digit the user pressed names the entry shown beside it, not what now
// sits in that slot (the new copy, which may be anything, a password too).
TEST_F(HookMenusTrack, HistoryShiftsWhileOpen_TheChoicePastesTheEntryShownAndMovesIt) {
  history_.Fill({"e0", "e1", "e2"});
  g_bMoveStackTop = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("before");
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); },
                                        [&](HMENU) { history_.Fill({"copied meanwhile", "e0", "e1", "e2"}); },
                                        [] { Press('2'); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_TRUE(run.closedByKeys);
  EXPECT_EQ(ClipboardText(), "e1");
  std::vector<std::string> store;
  for (int i = 0; i < 4; ++i) store.push_back(history_.Entry(i));
  EXPECT_EQ(store, (std::vector<std::string>{"e1", "copied meanwhile", "e0", "e2"}));
  EXPECT_EQ(g_nNumClipHistory, 4);
}

TEST_F(HookMenusTrack, EntryShownIsGoneWhenChosen_NothingIsPastedOrMoved) {
  history_.Fill({"e0", "e1"});
  g_bMoveStackTop = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("untouched");
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); },
                                        [&](HMENU) { history_.Fill({"other", "texts"}); }, [] { Press('2'); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_TRUE(run.closedByKeys);
  EXPECT_EQ(ClipboardText(), "untouched");
  EXPECT_EQ(history_.Entry(0), "other");
  EXPECT_EQ(history_.Entry(1), "texts");
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

// The shared slot size is changed while the menu is open (by a broken or
// hostile program). The choice must not read or move slots with the new size
// across a view that was checked with the old one.
TEST_F(HookMenusTrack, BlockSizeChangedWhileOpen_NothingIsReadOrWrittenOutsideTheStore) {
  history_.Fill({"e0", "e1", "e2"});
  g_bMoveStackTop = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("untouched");
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); },
                                        [](HMENU) { g_dwBlockSize = 0x01000000; }, [] { Press('3'); });
  g_dwBlockSize = kBlockSize;
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(ClipboardText(), "untouched");
  EXPECT_EQ(history_.Entry(0), "e0");
  EXPECT_EQ(history_.Entry(2), "e2");
  Boxes();
}

TEST_F(HookMenusTrack, HistoryCommands_PostClearAndEditToTheResidentWindow) {
  history_.Fill({"e0"});
  ResidentStandIn resident;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  // Up from nothing highlights the last command, Save; one more Up is Edit,
  // another Clear.
  TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr,
                    [] { Press(VK_UP); Press(VK_UP); Press(VK_UP); Press(VK_RETURN); });
  TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); }, nullptr,
                    [] { Press(VK_UP); Press(VK_UP); Press(VK_RETURN); });
  ASSERT_TRUE(PumpUntil([&] { return resident.posted.size() >= 2; }));
  ASSERT_EQ(resident.posted.size(), 2u);
  EXPECT_EQ(resident.posted[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(resident.posted[0].wParam, static_cast<WPARAM>(quillo::kCmdClearHistory));
  EXPECT_EQ(resident.posted[1].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(resident.posted[1].wParam, static_cast<WPARAM>(quillo::kCmdEditHistory));
}

TEST_F(HookMenusTrack, EmptyHistory_ShowStackMenuReports2024AndShowsNoMenu) {
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  quillo::hook::ShowStackMenu(false);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"There is no clipboard history."});
  EXPECT_EQ(FindMenuWindow(), nullptr);
}

TEST_F(HookMenusTrack, MenuPosition_CaretOfTheFocusWindowAndBelowTheMenuBar) {
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  ASSERT_TRUE(CreateCaret(front.edit(), nullptr, 2, 16));
  ASSERT_TRUE(SetCaretPos(37, 5));
  POINT expected = {37, 5};
  ClientToScreen(front.edit(), &expected);
  POINT at = quillo::hook::GetMenuPoint(front.hwnd(), 0);
  EXPECT_EQ(at.x, expected.x);
  EXPECT_EQ(at.y, expected.y);
  DestroyCaret();

  RECT r;
  GetWindowRect(front.hwnd(), &r);
  at = quillo::hook::GetMenuPoint(front.hwnd(), 2);
  EXPECT_EQ(at.x, r.left + GetSystemMetrics(SM_CXFRAME));
  EXPECT_EQ(at.y, r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU));

  // Without a caret the menu goes to the pointer: the focus moves to the
  // frame, which never had one (the edit control destroys its own).
  SetFocus(front.hwnd());
  ASSERT_EQ(GetFocus(), front.hwnd());
  ASSERT_TRUE(SetCursorPos(321, 234));
  // The pointer moves asynchronously under X; wait until the system reports it.
  ASSERT_TRUE(WaitFor([] {
    POINT p;
    return GetCursorPos(&p) && p.x == 321 && p.y == 234;
  }, kDeadlineMs));
  at = quillo::hook::GetMenuPoint(front.hwnd(), 0);
  EXPECT_EQ(at.x, 321);
  EXPECT_EQ(at.y, 234);
}

// ---- The custom and the combined menu ----

class HookMenusCustom : public HookMenusFixture {
 protected:
  void SetUp() override {
    HookMenusFixture::SetUp();
    ASSERT_TRUE(folder_.ok());
    const std::string path = folder_.file("Menu.txt");
    const std::string text = "A|alpha\r\nB|beta\r\n";
    ASSERT_TRUE(quillo::wine::WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
    lstrcpynA(g_CustomMenuSet[0].path, path.c_str(), MAX_PATH);
    g_bCutLastRet = TRUE;
  }
  void TearDown() override {
    g_bCutLastRet = FALSE;
    HookMenusFixture::TearDown();
  }
  ProgramFolder folder_{std::initializer_list<const char*>{}};
};

TEST_F(HookMenusCustom, SecondItemChosenWithKeys_ItsTextGoesOnTheClipboard) {
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  std::vector<std::string> shown;
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowCustomMenu(0, false); },
                                        [&](HMENU menu) { shown = Describe(menu); },
                                        [] { Press(VK_DOWN); Press(VK_DOWN); Press(VK_RETURN); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(shown, (std::vector<std::string>{"1000 A", "1001 B"}));
  EXPECT_EQ(ClipboardText(), "beta");
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusCustom, CombinedMenu_BothSubMenus_StackChoiceAndCustomChoice) {
  history_.Fill({"h0", "h1"});
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  std::vector<std::string> shown;
  // Down, Down: "Stack Menu"; Right opens it on its first entry.
  MenuRun run = TrackWhileDriving([] { quillo::hook::ShowBothMenu(false); },
                                  [&](HMENU menu) { shown = Describe(menu); },
                                  [] {
                                    Press(VK_DOWN);
                                    Press(VK_DOWN);
                                    Press(VK_RIGHT);
                                    WaitFor([] { return CountMenuWindows() == 2; }, kDeadlineMs);
                                    Press(VK_RETURN);
                                  });
  ASSERT_TRUE(run.menuSeen);
  ASSERT_GE(shown.size(), 5u);
  EXPECT_EQ(shown[0], "popup Custom Menu");
  EXPECT_EQ(shown[1], "  1000 A");
  EXPECT_EQ(shown[2], "  1001 B");
  EXPECT_EQ(shown[3], "popup Stack Menu");
  EXPECT_EQ(shown[4], "  7000 &1: h0");
  EXPECT_EQ(ClipboardText(), "h0");
  // The parsed custom menu survives the outer menu.
  EXPECT_TRUE(IsMenu(State().rootMenu));

  run = TrackWhileDriving([] { quillo::hook::ShowBothMenu(false); }, nullptr, [] {
    Press(VK_DOWN);
    Press(VK_RIGHT);
    WaitFor([] { return CountMenuWindows() == 2; }, kDeadlineMs);
    Press(VK_RETURN);
  });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(ClipboardText(), "alpha");
  EXPECT_TRUE(IsMenu(State().rootMenu));
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

// Stands in for the resident window, which answers message 1038 with the
// exported ShowMenu on its own thread, the thread whose menu may be open.
class ShowMenuWindow {
 public:
  ShowMenuWindow() {
    static const ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "QuilloMenusShowMenu";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExA(0, "QuilloMenusShowMenu", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~ShowMenuWindow() { DestroyWindow(hwnd_); }
  ShowMenuWindow(const ShowMenuWindow&) = delete;
  ShowMenuWindow& operator=(const ShowMenuWindow&) = delete;
  HWND hwnd() const { return hwnd_; }
  static std::atomic<int> entered;
  static std::atomic<int> returned;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == quillo::kMsgShowMenu) {
      ++entered;
      ShowMenu(static_cast<int>(wParam), static_cast<int>(lParam));
      ++returned;
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
};
std::atomic<int> ShowMenuWindow::entered(0);
std::atomic<int> ShowMenuWindow::returned(0);

// Message 1038 arrives while the resident window's own menu is open (the
// menu's loop dispatches it): the inner request must not replace the parsed
// menu under the open one, and the outer choice pastes from its own menu.
TEST_F(HookMenusCustom, ShowMenuRequestWhileItsOwnMenuIsOpen_IsRefused) {
  const std::string other = folder_.file("Other.txt");
  const std::string text = "X|xray\r\nY|yankee\r\n";
  ASSERT_TRUE(quillo::wine::WriteFileBytes(other, std::vector<unsigned char>(text.begin(), text.end())));
  lstrcpynA(g_CustomMenuSet[1].path, other.c_str(), MAX_PATH);
  ShowMenuWindow window;
  ShowMenuWindow::entered = 0;
  ShowMenuWindow::returned = 0;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  PutOnClipboard("before");
  int menusDuringRequest = 0;
  const MenuRun run = TrackWhileDriving([] { ShowMenu(quillo::kMenuCustom, 0); }, nullptr, [&] {
    PostMessageA(window.hwnd(), quillo::kMsgShowMenu, quillo::kMenuCustom, 1);
    WaitFor([] { return ShowMenuWindow::entered.load() > 0; }, kDeadlineMs);
    // Either the request is refused and returns, or a second menu opens.
    WaitFor([] { return ShowMenuWindow::returned.load() > 0 || CountMenuWindows() > 1; }, kDeadlineMs);
    menusDuringRequest = CountMenuWindows();
    // A second menu, had one opened, is closed so the first gets the keys.
    if (menusDuringRequest > 1) Press(VK_ESCAPE);
    WaitFor([] { return ShowMenuWindow::returned.load() > 0; }, kDeadlineMs);
    Press(VK_DOWN);
    Press(VK_DOWN);
    Press(VK_RETURN);
  });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(ShowMenuWindow::returned.load(), 1);
  EXPECT_EQ(menusDuringRequest, 1);
  EXPECT_EQ(ClipboardText(), "beta");
  EXPECT_TRUE(IsMenu(State().rootMenu));
  EXPECT_FALSE(State().showingMenu);
  Boxes();
}

TEST_F(HookMenusCustom, CombinedMenu_EmptyHistory_StackMenuIsAGrayedEntry) {
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  UINT id = 0;
  UINT state = 0;
  HMENU sub = nullptr;
  std::string stackCaption;
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowBothMenu(false); },
                                        [&](HMENU menu) { stackCaption = Caption(menu, 1, &id, &sub, nullptr, &state); },
                                        [] { Press(VK_ESCAPE); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(stackCaption, "Stack Menu");
  EXPECT_EQ(id, 7000u);
  EXPECT_EQ(sub, nullptr);
  EXPECT_TRUE(state & MFS_GRAYED);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusTrack, TrackedAtTheCaret_WithResetCursorThePointerMovesBesideIt) {
  history_.Fill({"e0"});
  g_bResetCursor = TRUE;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  ASSERT_TRUE(CreateCaret(front.edit(), nullptr, 2, 16));
  ASSERT_TRUE(SetCaretPos(41, 3));
  POINT caret = {41, 3};
  ClientToScreen(front.edit(), &caret);
  RECT menuRect = {};
  POINT pointer = {};
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowStackMenu(false); },
                                        [&](HMENU) {
                                          GetWindowRect(FindMenuWindow(), &menuRect);
                                          WaitFor([&] {
                                            GetCursorPos(&pointer);
                                            return pointer.x == caret.x + 1 && pointer.y == caret.y + 1;
                                          }, 2000);
                                        },
                                        [] { Press(VK_ESCAPE); });
  g_bResetCursor = FALSE;
  DestroyCaret();
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(menuRect.left, caret.x);
  EXPECT_EQ(menuRect.top, caret.y);
  EXPECT_EQ(pointer.x, caret.x + 1);
  EXPECT_EQ(pointer.y, caret.y + 1);
}

// ---- Opened and closed a thousand times: nothing stays behind ----

constexpr UINT kEndMenuMessage = WM_APP + 7;

// The front window of the leak runs: a message posted before each menu closes
// that menu from inside its own loop, so a display costs no key events.
class LeakFront {
 public:
  LeakFront() {
    static const ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "QuilloMenusLeakFront";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExA(0, "QuilloMenusLeakFront", "Leak front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 600,
                            400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    edit_ = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 10, 10, 500, 24, hwnd_, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~LeakFront() { DestroyWindow(hwnd_); }
  LeakFront(const LeakFront&) = delete;
  LeakFront& operator=(const LeakFront&) = delete;
  bool BringToFront() {
    return PumpUntil([&] {
      if (GetForegroundWindow() != hwnd_) SetForegroundWindow(hwnd_);
      if (GetFocus() != edit_) SetFocus(edit_);
      return GetForegroundWindow() == hwnd_ && GetFocus() == edit_;
    });
  }
  // Shows a menu with `show` and has it closed at once; false when no menu
  // was open when the close request came round.
  bool OpenAndClose(const std::function<void()>& show) {
    closed_ = false;
    PostMessageA(hwnd_, kEndMenuMessage, 0, 200);
    show();
    // A request still queued (no menu came) is used up here.
    PumpUntil([] { return false; }, 0);
    return closed_;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEndMenuMessage) {
      if (State().trackingMenu) {
        EndMenu();
        closed_ = true;
      } else if (lParam > 0) {
        PostMessageA(hwnd, kEndMenuMessage, 0, lParam - 1);  // the menu is still on its way
      }
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  static bool closed_;
  HWND hwnd_ = nullptr;
  HWND edit_ = nullptr;
};
bool LeakFront::closed_ = false;

// What this process holds: the highest slot that 256 new USER objects (menus)
// and 256 new GDI objects (brushes) take, and the bytes in use on every heap.
// Freed slots are taken again first, so the highest slot stays where it was
// unless objects leaked (then it moves up by about their number); the usual
// counters read 0 under Wine.
struct Holdings {
  unsigned userSlot = 0;
  unsigned gdiSlot = 0;
  unsigned long long heapBytes = 0;
};

Holdings Measure() {
  constexpr int kProbes = 256;
  Holdings h;
  HMENU menus[kProbes] = {};
  HBRUSH brushes[kProbes] = {};
  for (int i = 0; i < kProbes; ++i) {
    menus[i] = CreatePopupMenu();
    brushes[i] = CreateSolidBrush(RGB(i, 2, 3));
    h.userSlot = std::max<unsigned>(h.userSlot, LOWORD(reinterpret_cast<UINT_PTR>(menus[i])));
    h.gdiSlot = std::max<unsigned>(h.gdiSlot, LOWORD(reinterpret_cast<UINT_PTR>(brushes[i])));
  }
  for (int i = 0; i < kProbes; ++i) {
    DestroyMenu(menus[i]);
    DeleteObject(brushes[i]);
  }
  HANDLE heaps[256];
  const DWORD n = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < n && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e = {};
    while (HeapWalk(heaps[i], &e)) {
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) h.heapBytes += e.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return h;
}

class HookMenusLeak : public HookMenusCustom {};

TEST_F(HookMenusLeak, AThousandDisplaysOfEachMenu_LeaveNoMenusBrushesOrHeapBehind) {
  history_.Fill(Numbered(35));  // the stack menu with two sub menus
  ResidentStandIn resident;     // the chooser posts nothing when closed, but has a window to post to
  LeakFront front;
  ASSERT_TRUE(front.BringToFront());
  const struct {
    const char* name;
    std::function<void()> show;
  } kinds[] = {
      {"stack", [] { quillo::hook::ShowStackMenu(false); }},
      {"custom", [] { quillo::hook::ShowCustomMenu(0, false); }},
      {"combined", [] { quillo::hook::ShowBothMenu(false); }},
      {"chooser", [] { quillo::hook::ShowMenuSetMenu(); }},
  };
  constexpr int kRounds = 1000;
  // Allowances: a few slots and a few pages of heap for what the system
  // itself keeps around (caches, the message queue); a leak of one object or
  // one small block per display goes far past them.
  constexpr unsigned kSlotAllowance = 16;
  // The heaps move by a few hundred bytes either way between runs; 2 KB in
  // 1,000 displays still catches a leak of a few bytes in every display
  // (4 bytes a display shows as +4000).
  constexpr unsigned long long kHeapAllowance = 2 * 1024;
  for (const auto& kind : kinds) {
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(front.OpenAndClose(kind.show)) << kind.name << " warm-up " << i;
    const Holdings before = Measure();
    int closed = 0;
    const DWORD start = GetTickCount();
    for (int i = 0; i < kRounds; ++i) closed += front.OpenAndClose(kind.show) ? 1 : 0;
    const DWORD took = GetTickCount() - start;
    const Holdings after = Measure();
    const long long userGrowth = static_cast<long long>(after.userSlot) - before.userSlot;
    const long long gdiGrowth = static_cast<long long>(after.gdiSlot) - before.gdiSlot;
    const long long heapGrowth = static_cast<long long>(after.heapBytes) - static_cast<long long>(before.heapBytes);
    std::printf("[ leak ] %-8s %d displays in %lu ms: USER slot %+lld (0x%x), GDI slot %+lld (0x%x), "
                "heaps %+lld bytes (of %llu)\n",
                kind.name, kRounds, static_cast<unsigned long>(took), userGrowth, after.userSlot, gdiGrowth,
                after.gdiSlot, heapGrowth, after.heapBytes);
    EXPECT_EQ(closed, kRounds) << kind.name;
    EXPECT_LE(userGrowth, static_cast<long long>(kSlotAllowance)) << kind.name;
    EXPECT_LE(gdiGrowth, static_cast<long long>(kSlotAllowance)) << kind.name;
    EXPECT_LE(heapGrowth, static_cast<long long>(kHeapAllowance)) << kind.name;
  }
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

// ---- Figures ----

using HookMenusFigures = HookMenusFixture;

// Figures, not limits: this library's part of the time to the stack menu,
// with a full history of 20 KB entries and with one short entry; the rest of
// what a user waits for is the system's (key delivery, the menu window).
TEST_F(HookMenusFigures, StackMenuBuildTimes) {
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  auto timeBuilds = [&](double& buildMs, double& destroyMs) {
    constexpr int kRounds = 20;
    buildMs = destroyMs = 0;
    for (int i = 0; i < kRounds; ++i) {
      LARGE_INTEGER a, b, c;
      quillo::hook::StackMenu stack;
      QueryPerformanceCounter(&a);
      const bool built = quillo::hook::BuildStackMenu(true, stack);
      QueryPerformanceCounter(&b);
      const int count = stack.count;
      stack.DestroyOwnedMenu();
      QueryPerformanceCounter(&c);
      if (!built || count != g_nNumClipHistory) return false;  // a figure of a menu cut short means nothing
      buildMs += 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart) / kRounds;
      destroyMs += 1000.0 * static_cast<double>(c.QuadPart - b.QuadPart) / static_cast<double>(freq.QuadPart) / kRounds;
    }
    return true;
  };
  history_.Fill({"one"});
  double smallBuild = 0, smallDestroy = 0;
  ASSERT_TRUE(timeBuilds(smallBuild, smallDestroy));
  std::vector<std::string> full;
  for (int i = 0; i < kCapacity; ++i) {
    std::string text(kBlockSize - 1, 'x');
    text[0] = static_cast<char>('A' + i % 26);
    text[1] = static_cast<char>('0' + i % 10);
    full.push_back(text);
  }
  history_.Fill(full);
  double fullBuild = 0, fullDestroy = 0;
  ASSERT_TRUE(timeBuilds(fullBuild, fullDestroy));
  std::printf("[ figure ] stack menu build, 100 x 20 KB history: %.2f ms (destroy %.2f ms); one short entry: %.2f ms "
              "(destroy %.2f ms)\n",
              fullBuild, fullDestroy, smallBuild, smallDestroy);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

// ---- The menu-file chooser ----

TEST_F(HookMenusChooser, EmptyFirstEntry_Reports2008) {
  ResidentStandIn resident;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  lstrcpynA(g_CustomMenuSet[1].path, "C:\\menus\\Second.txt", MAX_PATH);
  quillo::hook::ShowMenuSetMenu();
  EXPECT_EQ(Boxes(), std::vector<std::string>{"There is no item in custom menu."});
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(resident.posted.empty());
}

TEST_F(HookMenusChooser, CaptionsShowFileAndTrigger_AndTheChoiceIsPostedAs1034) {
  ResidentStandIn resident;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  lstrcpynA(g_CustomMenuSet[0].path, "C:\\menus\\MenuItem.txt", MAX_PATH);
  g_CustomMenuSet[0].trigger = 1;
  lstrcpynA(g_CustomMenuSet[1].path, "C:\\menus\\Mail&News.txt", MAX_PATH);
  g_CustomMenuSet[1].trigger = -1;
  lstrcpynA(g_CustomMenuSet[2].path, "C:\\Third.txt", MAX_PATH);
  g_CustomMenuSet[2].trigger = 3;
  lstrcpynA(g_CustomMenuSet[3].path, "NoFolder.txt", MAX_PATH);  // ends the list
  lstrcpynA(g_CustomMenuSet[4].path, "C:\\menus\\Hidden.txt", MAX_PATH);
  std::vector<std::string> shown;
  const MenuRun run = TrackWhileDriving([] { quillo::hook::ShowMenuSetMenu(); },
                                        [&](HMENU menu) { shown = Describe(menu); }, [] { Press('3'); });
  ASSERT_TRUE(run.menuSeen);
  EXPECT_EQ(shown, (std::vector<std::string>{"8000 &1: MenuItem.txt\t[Ctrl]^2", "8001 &2: Mail News.txt\t(None)",
                                             "8002 &3: Third.txt\t[Alt]+[Ctrl]^2"}));
  ASSERT_TRUE(PumpUntil([&] { return !resident.posted.empty(); }));
  EXPECT_EQ(resident.posted[0].message, quillo::kMsgChooseMenuSet);
  EXPECT_EQ(resident.posted[0].wParam, 2u);
  EXPECT_EQ(resident.posted[0].lParam, 0);
}

// ---- Hand-over to the resident window ----

TEST_F(HookMenusHandOver, NoFocusWindow_ResidentGets1038After300ms) {
  ResidentStandIn resident;
  FrontWindow front;
  ASSERT_TRUE(front.BringToFront());
  history_.Fill({"e0"});
  SetFocus(nullptr);
  ASSERT_EQ(GetFocus(), nullptr);
  const DWORD start = GetTickCount();
  quillo::hook::ShowStackMenu(true);
  EXPECT_GE(GetTickCount() - start, 290u);
  EXPECT_EQ(FindMenuWindow(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return !resident.posted.empty(); }));
  EXPECT_EQ(resident.posted[0].message, quillo::kMsgShowMenu);
  EXPECT_EQ(resident.posted[0].wParam, 2u);
  EXPECT_EQ(resident.posted[0].lParam, -1);

  resident.posted.clear();
  ASSERT_TRUE(front.BringToFront());
  SetFocus(nullptr);
  quillo::hook::ShowCustomMenu(3, false);
  ASSERT_TRUE(PumpUntil([&] { return !resident.posted.empty(); }));
  EXPECT_EQ(resident.posted[0].message, quillo::kMsgShowMenu);
  EXPECT_EQ(resident.posted[0].wParam, 1u);
  EXPECT_EQ(resident.posted[0].lParam, 3);
}

// ---- Save to Scratch File ----

HWND FindScratchDialog() {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "Save to Scratch File"); w != nullptr;
       w = FindWindowExA(nullptr, w, "#32770", "Save to Scratch File")) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Runs the dialog on this thread while `drive` works it; a dialog still open
// after the driver is cancelled.
void SaveWhileDriving(const char* view, int count, const std::function<void(HWND)>& drive) {
  std::atomic<bool> done(false);
  std::thread driver([&] {
    HWND dialog = nullptr;
    if (WaitFor([&] { return (dialog = FindScratchDialog()) != nullptr; }, kDeadlineMs)) drive(dialog);
    if (!WaitFor([&] { return done.load(); }, kDeadlineMs)) {
      while (!done.load()) {
        if (HWND d = FindScratchDialog()) PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        Sleep(100);
      }
    }
  });
  quillo::hook::SaveScratchFile(view, kBlockSize, count);
  done = true;
  driver.join();
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SelectOnly(HWND dialog, std::initializer_list<int> rows) {
  HWND list = GetDlgItem(dialog, IDC_SCRATCH_ITEMS);
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int row : rows) SendMessageA(list, LB_SETSEL, TRUE, row);
}

class ScratchFolder {
 public:
  // The file goes beside the library's own file: a copy of the library in a
  // fresh folder stands in for it, with the same resources.
  ScratchFolder() : folder_({quillo::kHookDll}) {
    module_ = LoadLibraryA(folder_.file(quillo::kHookDll).c_str());
    previous_ = State().instance;
    if (module_ != nullptr) State().instance = module_;
  }
  ~ScratchFolder() {
    State().instance = previous_;
    if (module_ != nullptr) FreeLibrary(module_);
  }
  bool ok() const { return folder_.ok() && module_ != nullptr; }
  std::string Read() const {
    const std::vector<unsigned char> bytes = quillo::wine::ReadFileBytes(folder_.file("Scratch.txt"));
    return std::string(bytes.begin(), bytes.end());
  }
  bool Exists() const { return GetFileAttributesA(folder_.file("Scratch.txt").c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  ProgramFolder folder_;
  HMODULE module_ = nullptr;
  HINSTANCE previous_ = nullptr;
};

const std::string kSep = "\r\n------------------------------------------------------------\r\n";

TEST_F(HookMenusScratch, ListShowsEveryEntry_NewWritesAllWithLineBreaksAndSeparators) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  history_.Fill({"first\r\n", "second", "", "fourth\n"});
  std::vector<std::string> rows;
  int selected = -1;
  bool allChecked = false;
  SaveWhileDriving(history_.view(), 4, [&](HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SCRATCH_ITEMS);
    const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char row[256] = "";
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
      rows.push_back(row);
    }
    SendMessageA(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&selected));
    allChecked = IsDlgButtonChecked(dialog, IDC_SCRATCH_ALL) == BST_CHECKED;
    Click(dialog, IDC_SCRATCH_NEW);
  });
  // List-style captions: a CR LF shows as " |", a lone LF stays.
  EXPECT_EQ(rows, (std::vector<std::string>{"01: first |", "02: second", "03: ", "04: fourth\n"}));
  EXPECT_EQ(selected, 0);
  EXPECT_TRUE(allChecked);
  EXPECT_EQ(scratch.Read(), "first\r\n" + kSep + "second\r\n" + kSep + "\r\n" + kSep + "fourth\n" + kSep);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusScratch, AddAppends_SelectedToLastAndTopToSelected) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  history_.Fill({"a", "b", "c", "d", "e"});
  SaveWhileDriving(history_.view(), 5, [&](HWND dialog) {
    Click(dialog, IDC_SCRATCH_SELECTED_TO_LAST);
    SelectOnly(dialog, {3});
    Click(dialog, IDC_SCRATCH_NEW);
  });
  EXPECT_EQ(scratch.Read(), "d\r\n" + kSep + "e\r\n" + kSep);
  SaveWhileDriving(history_.view(), 5, [&](HWND dialog) {
    Click(dialog, IDC_SCRATCH_TOP_TO_SELECTED);
    SelectOnly(dialog, {1});
    Click(dialog, IDC_SCRATCH_ADD);
  });
  EXPECT_EQ(scratch.Read(), "d\r\n" + kSep + "e\r\n" + kSep + "a\r\n" + kSep + "b\r\n" + kSep);
  SaveWhileDriving(history_.view(), 5, [&](HWND dialog) {
    Click(dialog, IDC_SCRATCH_SELECTED);
    SelectOnly(dialog, {0, 2, 4});
    Click(dialog, IDC_SCRATCH_NEW);
  });
  EXPECT_EQ(scratch.Read(), "a\r\n" + kSep + "c\r\n" + kSep + "e\r\n" + kSep);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusScratch, BadChoices_KeepTheDialogOpenWith2022And2021_CancelWritesNothing) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  history_.Fill({"a", "b", "c"});
  std::vector<std::string> seen;
  bool stillOpen = false;
  SaveWhileDriving(history_.view(), 3, [&](HWND dialog) {
    MessageBoxWatcher& watcher = MessageBoxWatcher::Instance();
    Click(dialog, IDC_SCRATCH_TOP_TO_SELECTED);
    SelectOnly(dialog, {0, 1});
    PostMessageA(dialog, WM_COMMAND, IDC_SCRATCH_NEW, 0);
    watcher.WaitForBoxes(1, kDeadlineMs);
    Click(dialog, IDC_SCRATCH_SELECTED);
    SelectOnly(dialog, {});
    PostMessageA(dialog, WM_COMMAND, IDC_SCRATCH_ADD, 0);
    watcher.WaitForBoxes(2, kDeadlineMs);
    // Not a single radio button: the message for a missing option.
    for (int id = IDC_SCRATCH_ALL; id <= IDC_SCRATCH_SELECTED_TO_LAST; ++id) {
      SendDlgItemMessageA(dialog, id, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    PostMessageA(dialog, WM_COMMAND, IDC_SCRATCH_NEW, 0);
    watcher.WaitForBoxes(3, kDeadlineMs);
    seen = watcher.Take();
    stillOpen = IsWindowVisible(dialog) != FALSE;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"Please select only one item.", "Please select proper item.",
                                            "Please select proper option."}));
  EXPECT_TRUE(stillOpen);
  EXPECT_FALSE(scratch.Exists());
}

// The store changes, and its slot size too, while the dialog is open: what is
// written is what the dialog listed.
TEST_F(HookMenusScratch, StoreChangesWhileTheDialogIsOpen_TheListedEntriesAreWritten) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  history_.Fill({"a", "b", "c"});
  SaveWhileDriving(history_.view(), 3, [&](HWND dialog) {
    history_.Fill({"copied meanwhile", "x", "y"});
    g_dwBlockSize = 0x01000000;
    Click(dialog, IDC_SCRATCH_NEW);
  });
  g_dwBlockSize = kBlockSize;
  EXPECT_EQ(scratch.Read(), "a\r\n" + kSep + "b\r\n" + kSep + "c\r\n" + kSep);
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookMenusScratch, EntryEndingInADoubleByteCharacter_GetsALineBreak) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  // 0x82 0x0A: in code page 932 a lead byte and its pair, which ends the text
  // in a double-byte character; in 1252 two characters, the last a LF.
  history_.Fill({"x\x82\n"});
  SaveWhileDriving(history_.view(), 1, [&](HWND dialog) { Click(dialog, IDC_SCRATCH_NEW); });
  const std::string lineBreak = (GetACP() == 932) ? "\r\n" : "";
  EXPECT_EQ(scratch.Read(), "x\x82\n" + lineBreak + kSep);
}

}  // namespace
