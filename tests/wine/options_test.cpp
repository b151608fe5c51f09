// The options sheet and the macro sheet of the real Quillo.exe, driven with
// real keys: what the pages show, what OK and Cancel leave in the shared
// block and the registry, the checks that keep the user on a page, and the
// start-up shortcut and the hidden icon.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "options/options_res.h"
#include "paste_programs.h"
#include "tray/startup_shortcut_win.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
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

  // Quillo ended as a crash or a power cut ends it: nothing of its own end runs.
  void Crash() {
    quillo_.Kill();
    quillo_ = Process();
    frame_ = nullptr;
  }

  // The user's program in front, started before Quillo (under Wine a window
  // just shown takes the foreground again when its focus event arrives).
  HWND StartTargetThenQuillo() {
    target_ = StartChild("EditTarget");
    HWND target = nullptr;
    if (!WaitFor([&] {
          target = FindWindowA(kTargetClass, kTargetTitle);
          return target != nullptr && GetForegroundWindow() == target;
        })) {
      return nullptr;
    }
    Start();
    return WaitFor([&] { return GetForegroundWindow() == target; }) ? target : nullptr;
  }

  HWND sheet_ = nullptr;
  Process target_;
};

// Counts the Esc presses that reach the desktop while it lives: a keyboard
// hook of the whole desktop on a thread of its own, which keeps pumping.
class EscapeCounter {
 public:
  EscapeCounter() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 10000);
  }
  ~EscapeCounter() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  bool hooked() const { return hooked_; }
  LONG count() const { return count_; }

 private:
  static EscapeCounter* self_;
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && info->vkCode == VK_ESCAPE) {
      InterlockedIncrement(&self_->count_);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static DWORD WINAPI Run(void* param) {
    auto* me = static_cast<EscapeCounter*>(param);
    self_ = me;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before anyone posts to it
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, Proc, GetModuleHandleA(nullptr), 0);
    me->hooked_ = hook != nullptr;
    SetEvent(me->ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    return 0;
  }
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  bool hooked_ = false;
  volatile LONG count_ = 0;
};
EscapeCounter* EscapeCounter::self_ = nullptr;

TEST_F(OptionsSheet, ShowsTheStoredValuesCancelKeepsThemAndOkWritesEveryPage) {
  WriteDword(kGeneralKey, "MenuPos", 1);
  WriteDword(kGeneralKey, "EncloseTimeLag", 700);
  WriteDword(kGeneralKey, "MaxHistoryNum", 30);
  WriteDword(kGeneralKey, "DirHistShare", 0);
  int* menuPos = &g_nMenuPos;
  BOOL* recMouse = &g_bRecMouse;
  BOOL* dirHistShare = &g_bDirHistShare;
  BOOL* onDialog = &g_bOnDlgDisp;
  Start();
  // One change on each page, after checking that the page shows the stored value.
  auto changeEveryPage = [&] {
    ASSERT_EQ(TabCount(), 6);
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
  // The help set, whose file this folder lacks, was not listed and is kept
  // behind the list: a file not found may lie on a drive that is away. The
  // next start's load drops a file that is gone.
  EXPECT_EQ(readText(kMenuFileSetKey, "MenuFile1"), "MenuHelp.txt");
  EXPECT_EQ(readText(kMenuFileSetKey, "MenuFile2"), "");
  EXPECT_EQ(readText("Software\\Veltrane Soft\\Quillo\\SkipAppList", "SkipApp0"), skipped);
}

std::string ReadText(const char* key, const char* name) {
  char text[MAX_PATH] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return "";
  return text;
}

// The Paste Methods page driven with keys alone: a path and a program on the
// list already are refused with their reasons and the focus back on the
// name; a program is added with a method chosen from the list, another's
// method changed, a third removed; OK stores the list at once, and the
// hooks' list follows.
TEST_F(OptionsSheet, PasteMethodsPageEditsTheListWithKeysAndOkStoresIt) {
  constexpr char kPasteKey[] = "Software\\Veltrane Soft\\Quillo\\PasteMethods";
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_EQ(TabCount(), 6);
  for (int id : {IDC_CUS_LAG, IDC_STK_HISTNUM, IDC_MAC_RECKEY, IDC_FDX_LIST, IDC_PST_LIST}) {
    ASSERT_TRUE(NextPageShows(id)) << id;
  }
  auto count = [&] { return static_cast<int>(SendMessageA(Control(IDC_PST_LIST), LB_GETCOUNT, 0, 0)); };
  // Asked in UTF-16: the page's list box is a Unicode window, whose text
  // an ANSI request from another process got "c" for "conhost.exe".
  auto row = [&](int i) {
    wchar_t text[128] = {};
    if (SendMessageW(Control(IDC_PST_LIST), LB_GETTEXTLEN, i, 0) >= 128) return std::string("(long)");
    SendMessageW(Control(IDC_PST_LIST), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    std::string narrow;
    for (const wchar_t* p = text; *p != 0; ++p) narrow += *p < 0x80 ? static_cast<char>(*p) : '?';
    return narrow;
  };
  // Without a stored list, the consoles' defaults.
  ASSERT_EQ(count(), 2);
  EXPECT_EQ(row(0), "conhost.exe\tType the text");
  EXPECT_EQ(row(1), "wineconsole.exe\tType the text");

  TypeInto('F', IDC_PST_NAME, "C:\\bin\\term.exe");
  Press(VK_MENU, 'A');
  const std::string path = NextNarrowBox();
  EXPECT_NE(path.find("This program can't be added to the list: "), std::string::npos) << path;
  EXPECT_NE(path.find("without a folder"), std::string::npos) << path;
  EXPECT_TRUE(FocusBecomes(IDC_PST_NAME));
  EXPECT_EQ(count(), 2);

  // Typed over the refused name, which came back selected.
  TypeText("putty.exe");
  ASSERT_TRUE(TextBecomes(IDC_PST_NAME, "putty.exe"));
  Press(VK_MENU, 'M');
  ASSERT_TRUE(FocusBecomes(IDC_PST_METHOD));
  Tap(VK_HOME);
  Tap(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return ComboIndex(IDC_PST_METHOD) == kPasteShiftInsert; }));
  Press(VK_MENU, 'A');
  ASSERT_TRUE(WaitFor([&] { return count() == 3; }));
  EXPECT_EQ(row(2), "putty.exe\tShift+Insert");
  EXPECT_TRUE(FocusBecomes(IDC_PST_LIST));

  TypeInto('F', IDC_PST_NAME, "PUTTY.EXE");
  Press(VK_MENU, 'A');
  const std::string twice = NextNarrowBox();
  EXPECT_NE(twice.find("PUTTY.EXE is on the list already."), std::string::npos) << twice;
  EXPECT_TRUE(FocusBecomes(IDC_PST_NAME));
  EXPECT_EQ(count(), 3);

  // conhost.exe chosen in the list shows in the fields, and takes Ctrl+V.
  Press(VK_MENU, 'P');
  ASSERT_TRUE(FocusBecomes(IDC_PST_LIST));
  Tap(VK_HOME);
  ASSERT_TRUE(TextBecomes(IDC_PST_NAME, "conhost.exe"));
  EXPECT_EQ(ComboIndex(IDC_PST_METHOD), kPasteType);
  Press(VK_MENU, 'M');
  ASSERT_TRUE(FocusBecomes(IDC_PST_METHOD));
  Tap(VK_HOME);
  ASSERT_TRUE(WaitFor([&] { return ComboIndex(IDC_PST_METHOD) == kPasteCtrlV; }));
  Press(VK_MENU, 'C');
  EXPECT_TRUE(WaitFor([&] { return row(0) == "conhost.exe\tCtrl+V"; })) << row(0);
  EXPECT_EQ(row(1), "wineconsole.exe\tType the text") << "another entry changed";

  Press(VK_MENU, 'P');
  ASSERT_TRUE(FocusBecomes(IDC_PST_LIST));
  Tap(VK_DOWN);
  ASSERT_TRUE(TextBecomes(IDC_PST_NAME, "wineconsole.exe"));
  Press(VK_MENU, 'R');
  ASSERT_TRUE(WaitFor([&] { return count() == 2; }));
  EXPECT_EQ(row(1), "putty.exe\tShift+Insert");

  // A name typed but never added keeps OK from closing the sheet; emptied,
  // it lets it.
  TypeInto('F', IDC_PST_NAME, "mintty.exe");
  Tap(VK_RETURN);
  const std::string typed = NextNarrowBox();
  EXPECT_NE(typed.find("mintty.exe is not on the list: press Add"), std::string::npos) << typed;
  EXPECT_TRUE(FocusBecomes(IDC_PST_NAME));
  EXPECT_EQ(Sheets().count, 1) << "OK dropped the name typed";
  Tap(VK_DELETE);
  ASSERT_TRUE(TextBecomes(IDC_PST_NAME, ""));

  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([&] { return ReadDword(kPasteKey, "Count", 99) == 2; })) << "OK did not store the list at once";
  EXPECT_EQ(ReadText(kPasteKey, "Program0"), "conhost.exe=Ctrl+V");
  EXPECT_EQ(ReadText(kPasteKey, "Program1"), "putty.exe=Shift+Insert");
  EXPECT_EQ(ReadText(kPasteKey, "Program2"), "");
  ASSERT_EQ(g_nPastePrograms, 2) << "the hooks' list did not follow OK";
  EXPECT_STREQ(g_PastePrograms[0].program, "conhost.exe");
  EXPECT_EQ(g_PastePrograms[0].method, kPasteCtrlV);
  EXPECT_STREQ(g_PastePrograms[1].program, "putty.exe");
  EXPECT_EQ(g_PastePrograms[1].method, kPasteShiftInsert);
  Stop();
  EXPECT_EQ(ReadDword(kPasteKey, "Count", 99), 2u);
}

TEST_F(OptionsSheet, MacroSheetHoldsTheMacroPageAndOkReachesTheRecordingSwitches) {
  BOOL* recKey = &g_bRecKey;
  BOOL* recMouse = &g_bRecMouse;
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

// What OK accepted is in the registry at once: a crash right after loses nothing.
TEST_F(OptionsSheet, OkWritesTheSettingsAtOnceSoACrashLosesNothing) {
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_TRUE(NextPageShows(IDC_CUS_LAG));
  ASSERT_TRUE(NextPageShows(IDC_STK_HISTNUM));
  TypeInto('N', IDC_STK_HISTNUM, "37");
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([] { return ReadDword(kGeneralKey, "MaxHistoryNum", 0) == 37; }))
      << "OK left the registry as it was";
  // The macro sheet's OK too.
  ASSERT_TRUE(OpenByCommand(kCmdMacroSheet));
  Press(VK_MENU, 'U');
  ASSERT_TRUE(CheckBecomes(IDC_MAC_RECMOUSE, false));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_TRUE(WaitFor([] { return ReadDword(kMacroKey, "RecMouse", 9) == 0; }));
  Crash();
  EXPECT_EQ(ReadDword(kGeneralKey, "MaxHistoryNum", 0), 37u);
  EXPECT_EQ(ReadDword(kMacroKey, "RecMouse", 9), 0u);
  // Cancel writes nothing, now as before.
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_TRUE(NextPageShows(IDC_CUS_LAG));
  TypeInto('C', IDC_CUS_LAG, "900");
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  Crash();
  EXPECT_EQ(ReadDword(kGeneralKey, "EncloseTimeLag", 0), 300u);
}

// A copy that died with its sheet open left the hooks' dialog flag set in the
// shared block, which lives on while any program has the library loaded
// (this test program does): the next start clears it, so triggers work.
TEST_F(OptionsSheet, StartAfterACrashWithTheSheetOpenTurnsTriggersBackOn) {
  BOOL* onDialog = &g_bOnDlgDisp;
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_EQ(*onDialog, TRUE);
  Crash();
  ASSERT_EQ(*onDialog, TRUE) << "the flag should outlive the killed copy here";
  Start();
  EXPECT_EQ(*onDialog, FALSE) << "triggers stay off after the restart";
}

// A second start while the sheet is open shows the hidden icon; OK, with the
// box left as it was, must not hide it again.
TEST_F(OptionsSheet, SecondStartWhileTheSheetIsOpenBringsTheIconBackForGood) {
  WriteDword(kGeneralKey, "HideIcon", 1);
  Start();
  EXPECT_FALSE(IconShown());
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  EXPECT_TRUE(CheckBecomes(IDC_GEN_HIDEICON, true));
  Process second = Process::Start("\"" + folder_.file(kQuilloExe) + "\"", folder_.path());
  ASSERT_TRUE(second.Wait(10000)) << "the second copy kept running";
  ASSERT_TRUE(WaitFor([&] { return IconShown(); })) << "the second start did not bring the icon back";
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == sheet_; }));
  Press(VK_MENU, 'M');  // some other change on the page
  Tap(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return ComboIndex(IDC_GEN_MENUPOS) == 1; }));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  EXPECT_FALSE(MessageBoxWatcher::Instance().WaitForBoxes(1, 2000)) << "2041: OK hid the icon again";
  EXPECT_FALSE(WaitFor([&] { return !IconShown(); }, 1000)) << "the icon went again";
  Stop();
  EXPECT_EQ(ReadDword(kGeneralKey, "HideIcon", 9), 0u);
  EXPECT_EQ(ReadDword(kGeneralKey, "MenuPos", 9), 1u);
}

// The editor and the sheet are modal: their owner is disabled while they are
// up. That owner is Quillo's own window, never the program in front, which
// would otherwise take no input meanwhile and stay disabled if Quillo died.
// Quillo's window is topmost (the macro bar on top, the default): what it
// owns must not float over every program, and when it closes the program
// the user was in gets the keyboard back, not Quillo's hidden window.
TEST_F(OptionsSheet, SheetAndEditorAreOwnedByQuilloNeverByTheProgramInFront) {
  HWND target = StartTargetThenQuillo();
  ASSERT_NE(target, nullptr);
  auto topMost = [](HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  auto frontIsTarget = [&](const char* after) {
    const bool back = WaitFor([&] { return GetForegroundWindow() == target; });
    char cls[64] = {};
    GetClassNameA(GetForegroundWindow(), cls, sizeof cls);
    EXPECT_TRUE(back) << "after " << after << " the front is " << cls;
  };
  ASSERT_TRUE(WaitFor([&] { return topMost(frame_); })) << "Quillo's window is not topmost: this tests nothing";
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == target; }));
  PostMessageA(frame_, WM_COMMAND, 32807, 0);  // the stack menu's "Edit History..."
  HWND editor = DialogInFront("Edit Clipboard History");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetWindow(editor, GW_OWNER), frame_);
  EXPECT_TRUE(IsWindowEnabled(target)) << "the program in front was disabled by the editor";
  EXPECT_FALSE(topMost(editor)) << "the editor floats over every program";
  PostMessageA(editor, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
  frontIsTarget("the editor");
  EXPECT_TRUE(WaitFor([&] { return topMost(frame_); })) << "the editor left Quillo out of the topmost layer";

  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  EXPECT_EQ(GetWindow(sheet_, GW_OWNER), frame_);
  EXPECT_TRUE(IsWindowEnabled(target)) << "the program in front was disabled by the sheet";
  EXPECT_FALSE(topMost(sheet_)) << "the sheet floats over every program";
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  frontIsTarget("the sheet");
  EXPECT_TRUE(WaitFor([&] { return topMost(frame_); })) << "the sheet left Quillo out of the topmost layer";

  ASSERT_TRUE(OpenByCommand(kCmdMacroSheet));
  EXPECT_FALSE(topMost(sheet_)) << "the macro sheet floats over every program";
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  frontIsTarget("the macro sheet");

  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  Crash();
  EXPECT_TRUE(IsWindowEnabled(target)) << "the program in front stays disabled after Quillo is gone";
}

// A box of Quillo's while another program is in front (here Play with no
// macro chosen, from the bar, which never takes the activation): owned by
// none of that program's windows, which would take no input while it is up.
TEST_F(OptionsSheet, BoxesOfQuilloNeverDisableTheProgramInFront) {
  HWND target = StartTargetThenQuillo();
  ASSERT_NE(target, nullptr);
  MessageBoxWatcher::Instance().Take();
  PostMessageA(frame_, WM_COMMAND, 32800, 0);  // the bar's Play
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  const std::vector<HWND> owners = MessageBoxWatcher::Instance().Owners();
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_NE(owners[0], target) << "the box disabled the program in front";
  DWORD pid = ProcessId();
  if (owners[0] != nullptr) GetWindowThreadProcessId(owners[0], &pid);
  EXPECT_EQ(pid, ProcessId()) << "the box is owned by another program's window";
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>{"Please select a target macro file."});
  EXPECT_TRUE(IsWindowEnabled(target));
}

// A set on a share that is not there (yet) survives the start and an OK
// that changed the list, in its place and with its shortcut, and the sheet
// lists it without waiting on the network.
TEST_F(OptionsSheet, MenuFileOnANetworkPathSurvivesTheStartAndOk) {
  const std::string share = "\\\\quillo-nowhere\\share\\menu.txt";
  WriteString(kMenuFileSetKey, "MenuFile0", share);
  WriteDword(kMenuFileSetKey, "MenuFile0-Preset", 1);
  WriteString(kMenuFileSetKey, "MenuFile1", "MenuTemp.txt");
  WriteDword(kMenuFileSetKey, "MenuFile1-Preset", 0);
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_TRUE(NextPageShows(IDC_CUS_LIST));
  auto count = [&] { return static_cast<int>(SendMessageA(Control(IDC_CUS_LIST), LB_GETCOUNT, 0, 0)); };
  ASSERT_EQ(count(), 2) << "the set on the share is not listed";
  wchar_t first[64] = {};
  if (SendMessageW(Control(IDC_CUS_LIST), LB_GETTEXTLEN, 0, 0) < 64) {
    SendMessageW(Control(IDC_CUS_LIST), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
  }
  EXPECT_STREQ(first, L"menu.txt");
  // "MenuTemp.txt" moves up: the list was edited.
  Press(VK_MENU, 'L');
  ASSERT_TRUE(FocusBecomes(IDC_CUS_LIST));
  Tap(VK_END);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(Control(IDC_CUS_LIST), LB_GETCURSEL, 0, 0) == 1; }));
  Press(VK_MENU, 'U');
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(Control(IDC_CUS_LIST), LB_GETCURSEL, 0, 0) == 0; }));
  Tap(VK_RETURN);
  ASSERT_TRUE(SheetGone());
  char text[MAX_PATH] = {};
  auto readText = [&](const char* name) {
    DWORD size = sizeof text;
    text[0] = '\0';
    RegGetValueA(HKEY_CURRENT_USER, kMenuFileSetKey, name, RRF_RT_REG_SZ, nullptr, text, &size);
    return std::string(text);
  };
  EXPECT_TRUE(WaitFor([&] { return readText("MenuFile0") == "MenuTemp.txt"; })) << "OK wrote no new order";
  Crash();
  EXPECT_EQ(readText("MenuFile1"), share);
  EXPECT_EQ(ReadDword(kMenuFileSetKey, "MenuFile1-Preset", 9), 1u);
}

// The bar never takes the activation: its Edit button (the command it posts)
// must not send the user's program to the back with Alt+Esc.
TEST_F(OptionsSheet, MacroBarEditLeavesTheProgramInFrontAlone) {
  HWND target = StartTargetThenQuillo();
  ASSERT_NE(target, nullptr);
  {
    EscapeCounter escapes;
    ASSERT_TRUE(escapes.hooked());
    PostMessageA(frame_, WM_COMMAND, kCmdMacroSheet, 0);
    ASSERT_TRUE(SheetInFront());
    EXPECT_EQ(escapes.count(), 0) << "the command handed back a foreground it did not hold";
  }
  EXPECT_EQ(TabCount(), 1);
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
  // The sheet gave the front back to the program the user was in.
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == target; }));
  // From the tray, where our window holds the foreground, it is still handed
  // back: a right click on the icon brings Quillo's window in front for its
  // menu, which Esc closes.
  ClickAt(TrayIconPoint(), FindWindowA("Shell_TrayWnd", nullptr), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  auto menuOpen = [] {
    HWND menu = FindWindowA("#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu);
  };
  ASSERT_TRUE(WaitFor([&] { return menuOpen() && GetForegroundWindow() == frame_; })) << "no tray menu";
  Tap(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !menuOpen(); }));
  ASSERT_EQ(GetForegroundWindow(), frame_);
  {
    EscapeCounter escapes;
    ASSERT_TRUE(escapes.hooked());
    PostMessageA(frame_, WM_COMMAND, kCmdMacroSheet, 0);
    ASSERT_TRUE(SheetInFront());
    EXPECT_EQ(escapes.count(), 1);
  }
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
}

// A menu file's own key equal to the clear-history key, which the system
// would hand to Quillo before any hook sees it: refused when its page is left.
TEST_F(OptionsSheet, MenuFileOnTheClearHistoryKeyIsRefused) {
  WriteString(kMenuFileSetKey, "MenuFile0", "MenuItem.txt");
  WriteDword(kMenuFileSetKey, "MenuFile0-Preset", static_cast<DWORD>(-2));
  WriteDword(kMenuFileSetKey, "MenuFile0-Key", 'K' | ((MOD_CONTROL | MOD_ALT) << 16));
  Start();
  ASSERT_TRUE(OpenByCommand(kCmdOptions));
  ASSERT_TRUE(NextPageShows(IDC_CUS_LIST));
  Press(VK_CONTROL, VK_TAB);
  EXPECT_EQ(NextNarrowBox(), "Some of shortcut key settings are overlap.");
  EXPECT_TRUE(FocusBecomes(IDC_CUS_LIST));
  Tap(VK_ESCAPE);
  ASSERT_TRUE(SheetGone());
}

// Opening the sheet looks through the Startup folder for "Launch with
// Windows", loading and resolving every shortcut there, which can take
// seconds. It runs on a thread of its own while the window's thread goes on
// dispatching: here the look-up is held up (its thread cannot even start
// while another thread holds the loader lock) until a message posted to
// this thread has been dispatched, which a look-up on this thread would
// never allow.
namespace lookup {
using LockLoader = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
using UnlockLoader = LONG(NTAPI*)(ULONG, ULONG_PTR);
HANDLE g_locked = nullptr;
HANDLE g_release = nullptr;
volatile LONG g_dispatched = 0;

DWORD WINAPI HoldLoaderLock(void*) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  auto lock = reinterpret_cast<LockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
  auto unlock = reinterpret_cast<UnlockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
  if (lock == nullptr || unlock == nullptr) return 1;
  ULONG_PTR magic = 0;
  if (lock(0, nullptr, &magic) != 0) return 1;
  SetEvent(g_locked);
  // Held until the message was dispatched, or for 10 s at most.
  WaitForSingleObject(g_release, 10000);
  unlock(0, magic);
  return 0;
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP) {
    InterlockedExchange(&g_dispatched, 1);
    SetEvent(g_release);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace lookup

TEST(StartupShortcut, LookUpRunsOffTheCallingThreadWhichKeepsDispatching) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  const int expected = FindStartupShortcut(nullptr, false);  // loads what the look-up needs, once
  WNDCLASSA wc = {};
  wc.lpfnWndProc = lookup::Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuilloLookupProbe";
  RegisterClassA(&wc);
  HWND probe = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(probe, nullptr);
  lookup::g_locked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  lookup::g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  lookup::g_dispatched = 0;
  HANDLE holder = CreateThread(nullptr, 0, lookup::HoldLoaderLock, nullptr, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(lookup::g_locked, 10000), WAIT_OBJECT_0) << "the loader lock was not taken";
  PostMessageA(probe, WM_APP, 0, 0);
  const int found = FindStartupShortcutOffThread();
  const bool dispatchedMeanwhile = lookup::g_dispatched != 0;
  SetEvent(lookup::g_release);
  WaitForSingleObject(holder, 15000);
  CloseHandle(holder);
  EXPECT_TRUE(dispatchedMeanwhile) << "the look-up held up this thread's messages";
  EXPECT_EQ(found, expected);
  DestroyWindow(probe);
  CloseHandle(lookup::g_locked);
  CloseHandle(lookup::g_release);
  CoUninitialize();
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
