// The macro list menu and the macro bar of the real Quillo.exe: files chosen
// and deleted with real keys, the bar's caption, its tray item and its place
// across a restart.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>
#include <vector>

#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr char kBarClass[] = "QuilloMacroBar";
constexpr char kMacroBarKey[] = "Software\\Veltrane Soft\\Quillo\\MacroBar";
constexpr int kTrayMacroToolBar = 8;  // Down presses in the tray menu
constexpr int kToolBarId = 59408;

// A macro file of one key press, enough to be listed and kept.
std::vector<unsigned char> SmallMacro() {
  std::vector<unsigned char> bytes(44 + 24, 0);
  std::memcpy(bytes.data(), "Quillo Macro File", 18);
  const uint32_t header[3] = {1, 1, 1000};
  std::memcpy(bytes.data() + 32, header, sizeof header);
  return bytes;
}

class MacroBarJourney : public Resident {
 protected:
  void SetUp() override {
    Resident::SetUp();
    CreateDirectoryA(folder_.file("DirMacro").c_str(), nullptr);
  }

  std::string Macro(const std::string& name) const { return folder_.file("DirMacro") + "\\" + name; }

  HWND Bar() const { return FindWindowA(kBarClass, nullptr); }
  bool CaptionBecomes(const std::string& caption) {
    return WaitFor([&] { return Bar() != nullptr && WindowText(Bar()) == caption; });
  }

  // The macro files in the order the file system lists them, as the menu takes them.
  std::vector<std::string> Listed() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(Macro("*.mcr").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
  }

  // Posts `command` and waits until Quillo's menu has opened and stays put.
  void OpenListMenu(UINT command) {
    PostMessageA(frame_, WM_COMMAND, command, 0);
    RECT r = {}, last = {};
    ASSERT_TRUE(WaitFor([&] {
      last = r;
      HWND menu = OpenMenuOf(ProcessId());
      return menu != nullptr && GetWindowRect(menu, &r) && EqualRect(&r, &last);
    }, 10000, 100)) << "no macro list menu";
  }
  // Entry `index` over both menus by its access key; the last item of the
  // menu, "More...", leads to the entries from the 11th on.
  void ChooseEntry(size_t index) {
    if (index >= 10) {
      Tap(VK_UP);
      Tap(VK_RIGHT);
      index -= 10;
    }
    Tap(static_cast<BYTE>(index == 9 ? '0' : '1' + index));
  }
  bool MenuClosed() {
    return WaitFor([&] { return OpenMenuOf(ProcessId()) == nullptr; });
  }
};

TEST_F(MacroBarJourney, ListMenu_SelectsFromBothMenus_DeletesWithoutAQuestion) {
  for (int i = 1; i <= 12; ++i) {
    ASSERT_TRUE(WriteFileBytes(Macro("Take" + std::to_string(i) + ".mcr"), SmallMacro()));
  }
  Start();
  const std::vector<std::string> order = Listed();
  ASSERT_EQ(order.size(), 12u);
  ASSERT_TRUE(CaptionBecomes("Macro"));

  OpenListMenu(32803);
  Tap('3');
  ASSERT_TRUE(MenuClosed());
  EXPECT_TRUE(CaptionBecomes(order[2] + " - Macro"));

  // The last item is "More...", holding the 11th and 12th file.
  OpenListMenu(32803);
  ChooseEntry(11);
  ASSERT_TRUE(MenuClosed());
  EXPECT_TRUE(CaptionBecomes(order[11] + " - Macro"));

  // Deleting another file leaves the current macro alone.
  OpenListMenu(32804);
  Tap('1');
  ASSERT_TRUE(MenuClosed());
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(Macro(order[0]).c_str()) == INVALID_FILE_ATTRIBUTES; }));
  EXPECT_TRUE(CaptionBecomes(order[11] + " - Macro"));

  // Deleting the current one forgets it.
  const std::vector<std::string> now = Listed();
  ASSERT_EQ(now.size(), 11u);
  size_t at = 0;
  while (at < now.size() && now[at] != order[11]) ++at;
  ASSERT_LT(at, now.size());
  OpenListMenu(32804);
  ChooseEntry(at);
  ASSERT_TRUE(MenuClosed());
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(Macro(order[11]).c_str()) == INVALID_FILE_ATTRIBUTES; }));
  EXPECT_TRUE(CaptionBecomes("Macro"));
  EXPECT_EQ(Listed().size(), 10u);
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "Delete asks nothing";

  // No file left: a message instead of a menu.
  for (const std::string& name : Listed()) DeleteFileA(Macro(name).c_str());
  PostMessageA(frame_, WM_COMMAND, 32803, 0);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts{"Could not find a target macro file."});
}

TEST_F(MacroBarJourney, Bar_ShowsHidesFollowsTheMacroAndComesBackWhereItWas) {
  ASSERT_TRUE(WriteFileBytes(Macro("Login.mcr"), SmallMacro()));
  Start();
  HWND bar = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (bar = Bar()) != nullptr && IsWindowVisible(bar); })) << "no bar at the first start";
  EXPECT_EQ(GetWindow(bar, GW_OWNER), frame_);
  EXPECT_EQ(WindowText(bar), "Macro");
  HWND tools = GetDlgItem(bar, kToolBarId);
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(SendMessageA(tools, TB_BUTTONCOUNT, 0, 0), 7);  // five buttons, two separators
  EXPECT_EQ(SendMessageA(tools, TB_ISBUTTONENABLED, 32800, 0), 0) << "Play with no macro";
  EXPECT_NE(SendMessageA(tools, TB_ISBUTTONENABLED, 32803, 0), 0);
  EXPECT_NE(SendMessageA(tools, TB_ISBUTTONENABLED, 32805, 0), 0) << "Edit macro";

  // A menu item's macro tag names a macro.
  COPYDATASTRUCT data = {1, 10, const_cast<char*>("Login.mcr")};
  SendMessageA(frame_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  EXPECT_EQ(WindowText(bar), "Login.mcr - Macro");
  EXPECT_NE(SendMessageA(tools, TB_ISBUTTONENABLED, 32800, 0), 0);

  ChooseFromTrayMenu(kTrayMacroToolBar);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(bar); })) << "the tray item did not hide the bar";
  ChooseFromTrayMenu(kTrayMacroToolBar);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(bar) != FALSE; })) << "the tray item did not show the bar";

  SetWindowPos(bar, nullptr, 211, 187, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Stop();
  EXPECT_EQ(ReadDword(kMacroBarKey, "MacroBarX", 0), 211u);
  EXPECT_EQ(ReadDword(kMacroBarKey, "MacroBarY", 0), 187u);

  Start();
  ASSERT_TRUE(WaitFor([&] { return (bar = Bar()) != nullptr && IsWindowVisible(bar); }));
  RECT r = {};
  GetWindowRect(bar, &r);
  EXPECT_EQ(r.left, 211);
  EXPECT_EQ(r.top, 187);
  EXPECT_EQ(WindowText(bar), "Login.mcr - Macro");

  EXPECT_NE(GetWindowLongPtrA(bar, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "DispTopMost is on by default";

  // Hidden at the end: hidden at the next start; DispTopMost off: not on top.
  ChooseFromTrayMenu(kTrayMacroToolBar);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(bar); }));
  Stop();
  WriteDword("Software\\Veltrane Soft\\Quillo\\Macro", "DispTopMost", 0);
  Start();
  ASSERT_TRUE(WaitFor([&] { return Bar() != nullptr; }));
  EXPECT_FALSE(WaitFor([&] { return IsWindowVisible(Bar()) != FALSE; }, 1000)) << "a hidden bar came back shown";
  EXPECT_EQ(GetWindowLongPtrA(Bar(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

struct TipSearch {
  const char* tip;
  bool found;
};

BOOL CALLBACK FindTip(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<TipSearch*>(lParam);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && IsWindowVisible(hwnd) && WindowText(hwnd) == s->tip) s->found = true;
  return !s->found;
}

// The buttons are found by the pointer, as the user finds them: the flat bar
// lights the button under it.
int ButtonX(HWND tools, int y, int index) {
  RECT r = {};
  GetWindowRect(tools, &r);
  for (int x = r.left + 1; x < r.right; x += 3) {
    MouseAt(x, y);
    if (WaitFor([&] { return SendMessageA(tools, TB_GETHOTITEM, 0, 0) == index; }, 100)) return x;
  }
  return -1;
}

TEST_F(MacroBarJourney, Buttons_ShowTheirTips_SelectOpensTheList_EditOpensTheMacroSheet) {
  ASSERT_TRUE(WriteFileBytes(Macro("Only.mcr"), SmallMacro()));
  Start();
  HWND bar = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (bar = Bar()) != nullptr && IsWindowVisible(bar); }));
  HWND tools = GetDlgItem(bar, kToolBarId);
  RECT r = {};
  GetWindowRect(tools, &r);
  const int y = (r.top + r.bottom) / 2;
  const int selectX = ButtonX(tools, y, 3);
  ASSERT_GE(selectX, 0) << "no button lit under the pointer";
  TipSearch tip = {"Select macro", false};
  EXPECT_TRUE(WaitFor([&] {
    EnumWindows(FindTip, reinterpret_cast<LPARAM>(&tip));
    return tip.found;
  }, 5000)) << "no tool tip";
  ClickAt({selectX, y}, tools);
  RECT m = {}, last = {};
  ASSERT_TRUE(WaitFor([&] {
    last = m;
    HWND menu = OpenMenuOf(ProcessId());
    return menu != nullptr && GetWindowRect(menu, &m) && EqualRect(&m, &last);
  }, 10000, 100)) << "the Select button opened no menu";
  Tap('1');
  ASSERT_TRUE(MenuClosed());
  EXPECT_TRUE(CaptionBecomes("Only.mcr - Macro"));

  // "Edit macro" opens the sheet of the Macro page alone; Esc leaves it.
  const int editX = ButtonX(tools, y, 6);
  ASSERT_GE(editX, 0) << "the Edit button did not light";
  ClickAt({editX, y}, tools);
  HWND sheet = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    sheet = FindWindowA(nullptr, "Options");
    DWORD pid = 0;
    if (sheet != nullptr) GetWindowThreadProcessId(sheet, &pid);
    return sheet != nullptr && pid == ProcessId() && GetForegroundWindow() == sheet;
  }, 15000, 50)) << "the Edit button opened no sheet";
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  Tap(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); })) << "Esc did not close the macro sheet";
}

}  // namespace
}  // namespace quillo::wine
