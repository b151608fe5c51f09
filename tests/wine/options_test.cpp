// The options sheet and the macro sheet of the real Quillo.exe, driven with
// real keys: what the pages show, what OK and Cancel leave in the shared
// block and the registry, the checks that keep the user on a page, and the
// start-up shortcut and the hidden icon.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>

#include "options/options_res.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr char kMacroKey[] = "Software\\Veltrane Soft\\Quillo\\Macro";
constexpr char kMenuFileSetKey[] = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";
constexpr UINT kCmdOptions = 32771;
constexpr UINT kCmdMacroSheet = 32805;
constexpr wchar_t kHistoryRangeText[] = L"1 から 100 までの整数を入力してください。";

struct SheetSearch {
  DWORD pid;
  int count;
  HWND last;
};

BOOL CALLBACK CountSheets(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<SheetSearch*>(param);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == s->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && WindowText(hwnd) == "Options") {
    ++s->count;
    s->last = hwnd;
  }
  return TRUE;
}

void Press(BYTE modifier, BYTE vk) {
  Key(modifier);
  Tap(vk);
  Key(modifier, true);
}

class OptionsSheet : public Resident {
 protected:
  void TearDown() override {
    // A sheet left open by a failed step would keep Exit waiting.
    if (sheet_ != nullptr && IsWindow(sheet_)) PostMessageA(sheet_, WM_COMMAND, IDCANCEL, 0);
    Resident::TearDown();
  }

  SheetSearch Sheets() {
    SheetSearch s{ProcessId(), 0, nullptr};
    EnumWindows(CountSheets, reinterpret_cast<LPARAM>(&s));
    return s;
  }

  // The sheet of the running Quillo, once it is in front.
  bool SheetInFront() {
    sheet_ = nullptr;
    return WaitFor([&] {
      sheet_ = Sheets().last;
      return sheet_ != nullptr && GetForegroundWindow() == sheet_;
    }, 15000, 50);
  }

  bool OpenByCommand(UINT command) {
    PostMessageA(frame_, WM_COMMAND, command, 0);
    return SheetInFront();
  }

  bool SheetGone() { return WaitFor([&] { return Sheets().count == 0; }); }

  HWND Page() { return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  HWND Control(int id) { return GetDlgItem(Page(), id); }
  int TabCount() {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0));
    return static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  }

  // Ctrl+Tab, and the page whose control `id` shows up in front.
  bool NextPageShows(int id) {
    Press(VK_CONTROL, VK_TAB);
    return WaitFor([&] { return Control(id) != nullptr && IsWindowVisible(Control(id)); });
  }

  // The control that has the keyboard focus in the sheet's thread.
  HWND Focus() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(sheet_, nullptr), &info);
    return info.hwndFocus;
  }
  bool FocusBecomes(int id) { return WaitFor([&] { return Focus() != nullptr && Focus() == Control(id); }); }

  bool TextBecomes(int id, const std::string& text) { return WaitFor([&] { return WindowText(Control(id)) == text; }); }
  bool CheckBecomes(int id, bool on) {
    return WaitFor([&] { return (SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED) == on; });
  }
  int ComboIndex(int id) { return static_cast<int>(SendMessageA(Control(id), CB_GETCURSEL, 0, 0)); }

  // A field found by its label's access key, typed over.
  void TypeInto(char accessKey, int id, const std::string& text) {
    Press(VK_MENU, static_cast<BYTE>(accessKey));
    ASSERT_TRUE(FocusBecomes(id)) << "the access key did not reach field " << id;
    TypeText(text.c_str());
    ASSERT_TRUE(TextBecomes(id, text));
  }

  // The one box expected next: its text, as the system holds it.
  std::wstring NextBox() {
    if (!MessageBoxWatcher::Instance().WaitForBoxes(1)) return L"(no box)";
    const auto boxes = MessageBoxWatcher::Instance().TakeWide();
    return boxes.size() == 1 ? boxes[0] : L"(more than one box)";
  }
  std::string NextNarrowBox() {
    if (!MessageBoxWatcher::Instance().WaitForBoxes(1)) return "(no box)";
    const auto boxes = MessageBoxWatcher::Instance().Take();
    return boxes.size() == 1 ? boxes[0] : "(more than one box)";
  }

  template <typename T>
  T* Shared(const char* library, const char* name) {
    HMODULE m = GetModuleHandleA(folder_.file(library).c_str());
    if (m == nullptr) m = LoadLibraryA(folder_.file(library).c_str());
    return m == nullptr ? nullptr : reinterpret_cast<T*>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  }

  // "History number :" 0 on the StackMenu page, refused by the range check
  // when the page is left and again on OK: the Japanese text names the range
  // and the field keeps the focus.
  void HistoryNumberOutOfRangeIsRefused() {
    Start();
    ASSERT_TRUE(OpenByCommand(kCmdOptions));
    ASSERT_TRUE(NextPageShows(IDC_CUS_LAG));
    ASSERT_TRUE(NextPageShows(IDC_STK_HISTNUM));
    TypeInto('N', IDC_STK_HISTNUM, "0");
    Press(VK_CONTROL, VK_TAB);
    EXPECT_EQ(NextBox(), kHistoryRangeText);
    EXPECT_TRUE(FocusBecomes(IDC_STK_HISTNUM));
    TypeText("101");
    ASSERT_TRUE(TextBecomes(IDC_STK_HISTNUM, "101"));
    Tap(VK_RETURN);
    EXPECT_EQ(NextBox(), kHistoryRangeText);
    EXPECT_TRUE(FocusBecomes(IDC_STK_HISTNUM));
    EXPECT_EQ(Sheets().count, 1) << "OK closed the sheet with a value out of range";
    Tap(VK_ESCAPE);
    ASSERT_TRUE(SheetGone());
    Stop();
    EXPECT_EQ(ReadDword(kGeneralKey, "MaxHistoryNum", 0), 50u);
  }

  // Whether the notification area holds Quillo's icon: the shell modifies
  // only an icon it has, whoever asks.
  bool IconShown() {
    NOTIFYICONDATAA probe = {};
    probe.cbSize = sizeof probe;
    probe.hWnd = frame_;
    probe.uID = 128;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
  }

  // The system's Open dialog titled `title` in front: `path` typed into it and Enter.
  void ChooseInFileDialog(const char* title, const std::string& path) {
    ASSERT_NE(DialogInFront(title), nullptr) << "no \"" << title << "\" dialog";
    TypeText(path.c_str());
    Tap(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return FindWindowA("#32770", title) == nullptr; })) << title << " stayed open";
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == sheet_; }));
  }

  HWND sheet_ = nullptr;
};

TEST_F(OptionsSheet, ShowsTheStoredValuesCancelKeepsThemAndOkWritesEveryPage) {
  WriteDword(kGeneralKey, "MenuPos", 1);
  WriteDword(kGeneralKey, "EncloseTimeLag", 700);
  WriteDword(kGeneralKey, "MaxHistoryNum", 30);
  WriteDword(kGeneralKey, "DirHistShare", 0);
  int* menuPos = Shared<int>(kHookDll, "g_nMenuPos");
  BOOL* recMouse = Shared<BOOL>(kHookDll, "g_bRecMouse");
  BOOL* dirHistShare = Shared<BOOL>(kDlgExDll, "g_bDirHistShare");
  BOOL* onDialog = Shared<BOOL>(kHookDll, "g_bOnDlgDisp");
  ASSERT_TRUE(menuPos != nullptr && recMouse != nullptr && dirHistShare != nullptr && onDialog != nullptr);
  Start();
  // One change on each page, after checking that the page shows the stored value.
  auto changeEveryPage = [&] {
    ASSERT_EQ(TabCount(), 5);
    EXPECT_EQ(ComboIndex(IDC_GEN_MENUPOS), 1);
    Press(VK_MENU, 'M');
    Tap(VK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return ComboIndex(IDC_GEN_MENUPOS) == 2; }));
    ASSERT_TRUE(NextPageShows(IDC_CUS_LAG));
    EXPECT_EQ(WindowText(Control(IDC_CUS_LAG)), "700");
    TypeInto('C', IDC_CUS_LAG, "800");
    ASSERT_TRUE(NextPageShows(IDC_STK_HISTNUM));
    EXPECT_EQ(WindowText(Control(IDC_STK_HISTNUM)), "30");
    TypeInto('N', IDC_STK_HISTNUM, "20");
    ASSERT_TRUE(NextPageShows(IDC_MAC_RECMOUSE));
    EXPECT_TRUE(CheckBecomes(IDC_MAC_RECMOUSE, true));
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_MAC_CUTMOVE)));
    Press(VK_MENU, 'U');
    ASSERT_TRUE(CheckBecomes(IDC_MAC_RECMOUSE, false));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_MAC_CUTMOVE))) << "\"Not record mouse move\" stays enabled";
    ASSERT_TRUE(NextPageShows(IDC_FDX_SAME));
    EXPECT_TRUE(CheckBecomes(IDC_FDX_INDIVIDUAL, true));
    Press(VK_MENU, 'S');
    ASSERT_TRUE(CheckBecomes(IDC_FDX_SAME, true));
  };

  // Whether another program could take Ctrl+Alt+K, the clear-history key, now.
  auto clearKeyFree = [] {
    if (!RegisterHotKey(nullptr, 1, MOD_ALT | MOD_CONTROL, 'K')) return false;
    UnregisterHotKey(nullptr, 1);
    return true;
  };
  ASSERT_FALSE(clearKeyFree()) << "Quillo did not register the clear-history key";
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  // While the sheet is up the hooks know it, and the key is free to be typed
  // into a hot-key field.
  EXPECT_EQ(*onDialog, TRUE);
  EXPECT_TRUE(clearKeyFree());
  changeEveryPage();
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([&] { return *onDialog == FALSE && !clearKeyFree(); }))
      << "the dialog flag or the clear-history key was not restored";
  EXPECT_EQ(*menuPos, 1);
  EXPECT_EQ(*recMouse, TRUE);
  EXPECT_EQ(*dirHistShare, FALSE);

  // The second opening shows the stored values again: Cancel changed nothing.
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  changeEveryPage();
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([&] { return *menuPos == 2 && *recMouse == FALSE && *dirHistShare == TRUE; }))
      << "the shared block did not follow OK";
  Stop();
  EXPECT_EQ(ReadDword(kGeneralKey, "MenuPos", 0), 2u);
  EXPECT_EQ(ReadDword(kGeneralKey, "EncloseTimeLag", 0), 800u);
  EXPECT_EQ(ReadDword(kGeneralKey, "MaxHistoryNum", 0), 20u);
  EXPECT_EQ(ReadDword(kMacroKey, "RecMouse", 9), 0u);
  EXPECT_EQ(ReadDword(kGeneralKey, "DirHistShare", 9), 1u);
}

TEST_F(OptionsSheet, PageChecksKeepTheUserOnThePageWithTheFocusOnTheCulprit) {
  // "MenuItem.txt" on [Ctrl]^2, the Switch-menu key too; the stack-menu key
  // Ctrl+Alt+K, as is the clear-history key by default.
  WriteString(kMenuFileSetKey, "MenuFile0", "MenuItem.txt");
  WriteDword(kMenuFileSetKey, "MenuFile0-Preset", 1);
  WriteDword(kGeneralKey, "ChangeKey", 1);
  WriteDword(kGeneralKey, "StackKey", static_cast<DWORD>(-2));
  WriteDword(kGeneralKey, "StackSpecKey", 'K');
  WriteDword(kGeneralKey, "StackSpecMod", MOD_ALT | MOD_CONTROL);
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_TRUE(NextPageShows(IDC_CUS_LIST));
  Press(VK_CONTROL, VK_TAB);
  EXPECT_EQ(NextNarrowBox(), "[MenuItem.txt] and [Swich Menu] has a same key stroke.");
  EXPECT_TRUE(FocusBecomes(IDC_CUS_LIST));

  // (Others) opens the hot-key field and takes the user there; left empty, it is refused.
  Press(VK_MENU, 'K');
  ASSERT_TRUE(FocusBecomes(IDC_CUS_SWITCHKIND));
  Tap(VK_END);
  ASSERT_TRUE(FocusBecomes(IDC_CUS_SWITCHHOTKEY));
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_CUS_SWITCHHOTKEY)));
  Press(VK_CONTROL, VK_TAB);
  EXPECT_EQ(NextNarrowBox(), "Please input user define shortcut key.");
  EXPECT_TRUE(FocusBecomes(IDC_CUS_SWITCHHOTKEY));
  // Any other entry clears the hot-key field and closes it again.
  Press(VK_MENU, 'K');
  ASSERT_TRUE(FocusBecomes(IDC_CUS_SWITCHKIND));
  Tap(VK_UP);
  EXPECT_TRUE(WaitFor([&] { return ComboIndex(IDC_CUS_SWITCHKIND) == 4; }));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(Control(IDC_CUS_SWITCHHOTKEY)); }));
  EXPECT_EQ(SendMessageA(Control(IDC_CUS_SWITCHHOTKEY), HKM_GETHOTKEY, 0, 0), 0);

  ASSERT_TRUE(NextPageShows(IDC_STK_HOTKEY));
  EXPECT_EQ(ComboIndex(IDC_STK_KIND), 5);
  Press(VK_CONTROL, VK_TAB);
  EXPECT_EQ(NextNarrowBox(), "Some of shortcut key settings are overlap.");
  EXPECT_TRUE(FocusBecomes(IDC_STK_HOTKEY));
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  Stop();
  EXPECT_EQ(ReadDword(kGeneralKey, "ChangeKey", 0), 1u) << "a refused page wrote its values";
}

TEST_F(OptionsSheet, HistoryNumberOutOfRangeShowsTheRangeInJapanese) { HistoryNumberOutOfRangeIsRefused(); }

TEST_F(OptionsSheet, TrayClickOpensOneSheetLaunchWithWindowsMakesTheShortcutHideIconSays2041AndRemovesTheIcon) {
  char startup[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE));
  const std::string shortcut = std::string(startup) + "\\Quillo.lnk";
  // Wine runs what the Startup folder holds when the prefix boots.
  struct Cleanup {
    std::string path;
    ~Cleanup() { DeleteFileA(path.c_str()); }
  } cleanup{shortcut};
  DeleteFileA(shortcut.c_str());
  Start();
  ClickAt(TrayIconPoint(), FindWindowA("Shell_TrayWnd", nullptr));
  ASSERT_TRUE(SheetInFront()) << "a left click on the icon opened no sheet";
  // A second request while the sheet is open returns at once and opens nothing.
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutA(frame_, WM_COMMAND, kCmdOptions, 0, SMTO_NORMAL, 5000, &result), 0)
      << "the second request did not return";
  EXPECT_EQ(Sheets().count, 1);
  EXPECT_TRUE(IconShown());

  EXPECT_TRUE(CheckBecomes(IDC_GEN_STARTUP, false));
  Press(VK_MENU, 'L');
  ASSERT_TRUE(CheckBecomes(IDC_GEN_STARTUP, true));
  Press(VK_MENU, 'I');
  ASSERT_TRUE(CheckBecomes(IDC_GEN_HIDEICON, true));
  Tap(VK_RETURN);
  EXPECT_EQ(NextNarrowBox(),
            "Hide Quillo's icon on system tray.\n When you display it again, execute Quillo double.");
  ASSERT_TRUE(SheetGone());
  EXPECT_NE(GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES) << "no Quillo.lnk in the Startup folder";
  // The icon goes once the box is answered.
  EXPECT_TRUE(WaitFor([&] { return !IconShown(); })) << "the icon stayed";

  // With the icon gone, the command is the way back in; the box shows the
  // shortcut that is there, and unchecking it removes it. The icon comes
  // back as soon as it is no longer hidden.
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  EXPECT_TRUE(CheckBecomes(IDC_GEN_STARTUP, true));
  EXPECT_TRUE(CheckBecomes(IDC_GEN_HIDEICON, true));
  Press(VK_MENU, 'L');
  ASSERT_TRUE(CheckBecomes(IDC_GEN_STARTUP, false));
  Press(VK_MENU, 'I');
  ASSERT_TRUE(CheckBecomes(IDC_GEN_HIDEICON, false));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  // The sheet's window goes before its settings are written back.
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(shortcut.c_str()) == INVALID_FILE_ATTRIBUTES; }))
      << "Quillo.lnk stayed";
  EXPECT_TRUE(WaitFor([&] { return IconShown(); })) << "the icon did not come back";
  Stop();
  EXPECT_EQ(ReadDword(kGeneralKey, "HideIcon", 9), 0u);
}

TEST_F(OptionsSheet, ChoosersSetTheEditorAndFillTheMenuFileAndSkipLists) {
  const std::string editor = "C:\\windows\\notepad.exe";
  const std::string skipped = folder_.file(kQuilloExe);
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  Press(VK_MENU, 'E');
  ChooseInFileDialog("Select Favorite Editor", editor);

  // Of the two default menu files only "MenuItem.txt" exists and is listed.
  // A second file comes from the program folder, moves up, gets [Ctrl]^2,
  // and the first one, now last, is deleted.
  ASSERT_TRUE(NextPageShows(IDC_CUS_LIST));
  auto count = [&] { return static_cast<int>(SendMessageA(Control(IDC_CUS_LIST), LB_GETCOUNT, 0, 0)); };
  auto selected = [&] { return static_cast<int>(SendMessageA(Control(IDC_CUS_LIST), LB_GETCURSEL, 0, 0)); };
  EXPECT_EQ(count(), 1);
  Press(VK_MENU, 'A');
  ChooseInFileDialog("Select Menu File", "MenuTemp.txt");
  ASSERT_TRUE(WaitFor([&] { return count() == 2 && selected() == 1; }));
  EXPECT_EQ(WindowText(Control(IDC_CUS_PATH)), "") << "a file of the program folder shows a folder";
  Press(VK_MENU, 'U');
  ASSERT_TRUE(WaitFor([&] { return selected() == 0; }));
  Press(VK_MENU, 'S');
  ASSERT_TRUE(FocusBecomes(IDC_CUS_FILEKIND));
  Tap(VK_HOME);
  Tap(VK_DOWN);
  Tap(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return ComboIndex(IDC_CUS_FILEKIND) == 2; }));
  Press(VK_MENU, 'T');
  Press(VK_MENU, 'L');
  ASSERT_TRUE(FocusBecomes(IDC_CUS_LIST));
  Tap(VK_END);
  ASSERT_TRUE(WaitFor([&] { return selected() == 1; }));
  Press(VK_MENU, 'D');
  ASSERT_TRUE(WaitFor([&] { return count() == 1; }));

  ASSERT_TRUE(NextPageShows(IDC_STK_HISTNUM));
  ASSERT_TRUE(NextPageShows(IDC_MAC_RECKEY));
  ASSERT_TRUE(NextPageShows(IDC_FDX_LIST));
  Press(VK_MENU, 'A');
  ChooseInFileDialog("Select Application", skipped);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(Control(IDC_FDX_LIST), LB_GETCOUNT, 0, 0) == 1; }));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  Stop();
  char text[MAX_PATH] = {};
  auto readText = [&](const char* key, const char* name) {
    DWORD size = sizeof text;
    text[0] = '\0';
    RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size);
    return std::string(text);
  };
  EXPECT_EQ(readText(kGeneralKey, "Editor"), editor);
  EXPECT_EQ(readText(kMenuFileSetKey, "MenuFile0"), "MenuTemp.txt");
  EXPECT_EQ(ReadDword(kMenuFileSetKey, "MenuFile0-Preset", 9), 1u);
  EXPECT_EQ(readText(kMenuFileSetKey, "MenuFile1"), "");
  EXPECT_EQ(readText("Software\\Veltrane Soft\\Quillo\\SkipAppList", "SkipApp0"), skipped);
}

TEST_F(OptionsSheet, MacroSheetHoldsTheMacroPageAndOkReachesTheRecordingSwitches) {
  BOOL* recKey = Shared<BOOL>(kHookDll, "g_bRecKey");
  BOOL* recMouse = Shared<BOOL>(kHookDll, "g_bRecMouse");
  ASSERT_TRUE(recKey != nullptr && recMouse != nullptr);
  Start();
  // The settings reach the shared block at the end of the start-up.
  ASSERT_TRUE(WaitFor([&] { return *recMouse == TRUE; }));
  ASSERT_TRUE(OpenByCommand(kCmdMacroSheet));
  EXPECT_EQ(TabCount(), 1);
  ASSERT_NE(Control(IDC_MAC_RECMOUSE), nullptr) << "the macro sheet does not show the Macro page";
  // The interval fields follow the play style.
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_MAC_KEYINTERVAL)));
  Press(VK_MENU, 'F');
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(Control(IDC_MAC_KEYINTERVAL)) != FALSE; }));
  Press(VK_MENU, 'U');
  ASSERT_TRUE(CheckBecomes(IDC_MAC_RECMOUSE, false));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([&] { return *recMouse == FALSE; })) << "g_bRecMouse did not follow OK";
  EXPECT_EQ(*recKey, TRUE);
  // Exit while a sheet is open still ends the program, and saves what OK wrote.
  ASSERT_TRUE(OpenByCommand(kCmdMacroSheet));
  Stop();
  EXPECT_EQ(ReadDword(kMacroKey, "PlayStyle", 9), 1u);
}

// The same refusal where the ANSI code page is Japanese.
class OptionsSheet932 : public OptionsSheet {};

TEST_F(OptionsSheet932, HistoryNumberOutOfRangeShowsTheRangeInJapanese) {
  ASSERT_TRUE(RunsInExpectedCodePage());
  HistoryNumberOutOfRangeIsRefused();
}

}  // namespace
}  // namespace quillo::wine

namespace quillo::wine {
namespace {

// For scripts/screenshot-options: posts WM_COMMAND args[0] to the running
// Quillo's main window, waiting up to 20 s for the window to exist.
QUILLO_CHILD(PostQuilloCommand) {
  if (args.empty()) return 2;
  HWND frame = nullptr;
  if (!WaitFor([&] { return (frame = FindWindowA(kFrameClass, nullptr)) != nullptr; }, 20000)) return 1;
  return PostMessageA(frame, WM_COMMAND, static_cast<WPARAM>(strtoul(args[0].c_str(), nullptr, 10)), 0) ? 0 : 3;
}

}  // namespace
}  // namespace quillo::wine
