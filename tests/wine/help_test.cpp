// Help from every kind of place, with a stand-in browser: the real Quillo.exe
// asks the program registered for web addresses to open the guide beside it
// at the section of the window Help was asked in, and goes on meanwhile.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "help_topics.h"
#include "quillo_messages.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "text_commands_res.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr char kMenuSetKey[] = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";

class GuideHelp : public Resident {
 protected:
  void SetUp() override {
    Resident::SetUp();
    browser_ = folder_.file(kStandInEditor);
    ASSERT_TRUE(CopyFileA(ExePath().c_str(), browser_.c_str(), FALSE));
    standIn_ = std::make_unique<StandInBrowser>(browser_);
    ASSERT_TRUE(standIn_->ok());
    ASSERT_TRUE(CreateDirectoryA(folder_.file("guide").c_str(), nullptr));
    const std::string page = "<!DOCTYPE html><title>guide</title>";
    ASSERT_TRUE(WriteFileBytes(folder_.file("guide\\index.html"), {page.begin(), page.end()}));
  }

  // What the browser is asked for: the guide of the program folder as a file
  // URL, written here from the folder's path on its own (a folder of plain
  // characters, so no character needs encoding).
  std::string Url(const char* anchor) const {
    std::string url = "file:///" + folder_.file("guide\\index.html");
    for (char& c : url) {
      if (c == '\\') c = '/';
      EXPECT_TRUE(c != ' ' && c != '#' && c != '%' && static_cast<unsigned char>(c) < 0x80) << url;
    }
    return url + "#" + anchor;
  }
  std::string BrowserLine(const char* anchor) const { return "\"" + browser_ + "\" \"" + Url(anchor) + "\""; }

  // Help asked for within about a second of the last request is dropped.
  static void AfterTheGap() { Sleep(1300); }

  // The command lines the stand-in browser was started with, once there are `count`.
  Texts BrowserLines(size_t count, DWORD ms = 15000) {
    Texts lines;
    WaitFor([&] {
      lines.clear();
      std::string line;
      for (unsigned char c : ReadFileBytes(folder_.file(kStandInEditorLog))) {
        if (c != '\n') {
          line.push_back(static_cast<char>(c));
        } else {
          lines.push_back(line);
          line.clear();
        }
      }
      return lines.size() >= count;
    }, ms);
    return lines;
  }

  void ExpectLines(const Texts& expected) {
    const Texts lines = BrowserLines(expected.size());
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(lstrcmpiA(lines[i].c_str(), expected[i].c_str()), 0) << lines[i] << "\nexpected " << expected[i];
    }
  }

  void TearDown() override {
    Resident::TearDown();
    standIn_.reset();
  }

  std::string browser_;
  std::unique_ptr<StandInBrowser> standIn_;
};

TEST_F(GuideHelp, TrayHelpOpensTheContentsAndTheProgramGoesOn) {
  Start();
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  ChooseFromTrayMenu(12);  // Help
  ExpectLines({BrowserLine("contents")});
  // Meanwhile the program answers what other programs post to it.
  PostMessageA(frame_, WM_COMMAND, 32775, 0);
  EXPECT_TRUE(HistoryBecomes({}));
  EXPECT_TRUE(MessageBoxWatcher::Instance().Take().empty());
}

TEST_F(GuideHelp, F1OnTwoOptionsPagesOpensTheSectionOfEach) {
  Start();
  PostMessageA(frame_, WM_COMMAND, 32771, 0);  // Options...
  HWND sheet = DialogInFront("Options");
  ASSERT_NE(sheet, nullptr);
  Tap(VK_F1);
  ExpectLines({BrowserLine("options-general")});
  // Ctrl+Tab twice: the StackMenu page.
  for (int i = 0; i < 2; ++i) {
    Key(VK_CONTROL);
    Tap(VK_TAB);
    Key(VK_CONTROL, true);
  }
  AfterTheGap();
  Tap(VK_F1);
  ExpectLines({BrowserLine("options-general"), BrowserLine("options-stack-menu")});
  // The sheet's own Help button asks for the page in front too.
  AfterTheGap();
  ClickOn(GetDlgItem(sheet, IDHELP));
  ExpectLines({BrowserLine("options-general"), BrowserLine("options-stack-menu"), BrowserLine("options-stack-menu")});
  ASSERT_TRUE(IsWindow(sheet)) << "Help closed the sheet";
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
}

TEST_F(GuideHelp, HistoryEditorHelpButtonOpensItsSection) {
  Start();
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  PostMessageA(frame_, WM_COMMAND, 32807, 0);
  HWND editor = DialogInFront("Edit Clipboard History");
  ASSERT_NE(editor, nullptr);
  ClickOn(GetDlgItem(editor, 1082));  // Help
  ExpectLines({BrowserLine("history-editor")});
  ASSERT_TRUE(IsWindow(editor));
  PostMessageA(editor, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
}

// The form dialogs belong to the library inside the program the user works
// in: its Help button and F1 there reach the resident program, which opens
// the guide; the program in front waits for nothing.
TEST_F(GuideHelp, TextCommandDialogsInAnotherProgramOpenTheirSections) {
  const std::string menuText = "&Form|[E]\r\n&Restore|[E-]\r\n";
  const std::string menu = folder_.file("Forms.txt");
  ASSERT_TRUE(WriteFileBytes(menu, {menuText.begin(), menuText.end()}));
  WriteString(kMenuSetKey, "MenuFile0", menu);
  WriteDword(kMenuSetKey, "MenuFile0-Preset", 1);  // Ctrl twice
  WriteDword(kGeneralKey, "StackKey", static_cast<DWORD>(-1));
  WriteDword(kGeneralKey, "ChangeKey", static_cast<DWORD>(-1));
  WriteDword(kGeneralKey, "MenuPos", 1);
  Process target = StartChild("EditTarget");
  Start();
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kTargetClass, kTargetTitle);
    return window != nullptr && GetForegroundWindow() == window;
  }));
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HWND edit = GetDlgItem(window, kTargetEditId);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
  SendMessageA(edit, EM_SETSEL, 0, -1);

  const struct {
    BYTE item;
    const char* title;
    bool f1;  // F1, or the Help button
    const char* anchor;
  } cases[] = {{'F', "Text Modification", true, "enclose"}, {'R', "Text Restoration", false, "disclose"}};
  Texts expected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no menu in the target";
    Tap(c.item);
    HWND form = DialogInFront(c.title);
    ASSERT_NE(form, nullptr);
    AfterTheGap();
    if (c.f1) {
      Tap(VK_F1);
    } else {
      ClickOn(GetDlgItem(form, IDC_FORM_HELP));
    }
    expected.push_back(BrowserLine(c.anchor));
    ExpectLines(expected);
    // The dialog is still up and answers at once: nothing in the target waited.
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0);
    Tap(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(form); }));
  }
  EXPECT_EQ(WindowText(edit), "abc") << "a cancelled form changed the text";
}

// The stack menu's "Save to Scratch File..." dialog, also the library's
// inside the program in front: F1 there opens its section.
TEST_F(GuideHelp, F1InTheScratchFileDialogOfAnotherProgramOpensItsSection) {
  Process target = StartChild("EditTarget");
  Start();
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kTargetClass, kTargetTitle);
    return window != nullptr && GetForegroundWindow() == window;
  }));
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  Tap(VK_CONTROL);
  Tap(VK_CONTROL);
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no stack menu in the target";
  Tap(VK_UP);  // from no choice to the last entry: "Save to Scratch File..."
  Tap(VK_RETURN);
  HWND dialog = DialogInFront("Save to Scratch File");
  ASSERT_NE(dialog, nullptr);
  Tap(VK_F1);
  ExpectLines({BrowserLine("scratch-file")});
  ASSERT_TRUE(IsWindow(dialog));
  Tap(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

struct BoxSearch {
  DWORD pid;
  HWND box;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (pid == search->pid && IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0 && WindowText(window) == "Quillo") {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

// Without the guide beside the program the user is told where it belongs,
// and no browser is started. The message waits on a thread of its own: the
// program goes on with its work while it is up.
TEST_F(GuideHelp, MissingGuideIsNamedInAMessage) {
  ASSERT_TRUE(DeleteFileA(folder_.file("guide\\index.html").c_str()));
  Start();
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  // The box stays up until this test closes it.
  MessageBoxWatcher::Instance().Stop();
  ChooseFromTrayMenu(12);  // Help
  BoxSearch search = {ProcessId(), nullptr};
  const bool shown = WaitFor([&] {
    search.box = nullptr;
    EnumWindows(FindBoxOf, reinterpret_cast<LPARAM>(&search));
    return search.box != nullptr;
  }, 15000);
  if (shown) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(search.box, 0xFFFF, text, ARRAYSIZE(text));
    std::wstring path(MAX_PATH, L'\0');
    path.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, folder_.file("guide\\index.html").c_str(), -1,
                                                        &path[0], MAX_PATH)) - 1);
    std::wstring lower = text;
    CharLowerW(&lower[0]);
    CharLowerW(&path[0]);
    EXPECT_NE(lower.find(path), std::wstring::npos);
    EXPECT_NE(GetWindowThreadProcessId(search.box, nullptr), GetWindowThreadProcessId(frame_, nullptr))
        << "the message holds up the resident window's thread";
    PostMessageA(frame_, WM_COMMAND, 32775, 0);  // Clear History, while the box is up
    EXPECT_TRUE(HistoryBecomes({}));
    EXPECT_TRUE(IsWindow(search.box)) << "the box went before the history was cleared";
    PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(search.box); }));
  }
  MessageBoxWatcher::Instance().Start();
  ASSERT_TRUE(shown) << "no message about the missing guide";
  EXPECT_TRUE(BrowserLines(1, 1000).empty());
}

// Chromium's browsers register "--single-argument %1": what follows is the
// address as it is, so it must come without quotes.
TEST_F(GuideHelp, UnquotedPlaceholderGetsTheBareAddress) {
  standIn_.reset();
  standIn_ = std::make_unique<StandInBrowser>(browser_, "--single-argument %1");
  ASSERT_TRUE(standIn_->ok());
  Start();
  ChooseFromTrayMenu(12);  // Help
  ExpectLines({"\"" + browser_ + "\" --single-argument " + Url("contents")});
}

// A command stored as REG_EXPAND_SZ names its program through variables.
TEST_F(GuideHelp, BrowserCommandWithVariablesIsExpanded) {
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLO_TEST_BROWSER_DIR", folder_.path().c_str()));
  standIn_.reset();
  standIn_ = std::make_unique<StandInBrowser>(std::string("%QUILLO_TEST_BROWSER_DIR%\\") + kStandInEditor, "\"%1\"",
                                              REG_EXPAND_SZ);
  ASSERT_TRUE(standIn_->ok());
  Start();  // the program has the variable from this one
  SetEnvironmentVariableA("QUILLO_TEST_BROWSER_DIR", nullptr);
  ChooseFromTrayMenu(12);  // Help
  ExpectLines({BrowserLine("contents")});
}

// A program posting Help in a loop, or a held F1, starts one browser; once
// that one is on its way and a moment has passed, Help opens again.
TEST_F(GuideHelp, AFloodOfRequestsStartsOneBrowser) {
  Start();
  for (int i = 0; i < 50; ++i) PostMessageA(frame_, kMsgOpenHelp, static_cast<WPARAM>(help::kEncloseForm), 0);
  ExpectLines({BrowserLine("enclose")});
  Sleep(3000);
  EXPECT_EQ(BrowserLines(2, 0).size(), 1u) << "more than one browser for one burst";
  PostMessageA(frame_, kMsgOpenHelp, static_cast<WPARAM>(help::kDiscloseForm), 0);
  ExpectLines({BrowserLine("enclose"), BrowserLine("disclose")});
}

// A held F1 in the options repeats its key: the repeats ask for nothing.
TEST_F(GuideHelp, HeldF1InTheOptionsOpensTheGuideOnce) {
  Start();
  PostMessageA(frame_, WM_COMMAND, 32771, 0);  // Options...
  HWND sheet = DialogInFront("Options");
  ASSERT_NE(sheet, nullptr);
  // The sheet's own keys (its tabs, its buttons) are the ones it hands to the
  // page in front; posted, so that they come as a held key's repeats do.
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  ASSERT_NE(tabs, nullptr);
  constexpr LPARAM kRepeat = 0x403B0001;  // F1 already down
  for (int i = 0; i < 5; ++i) PostMessageA(tabs, WM_KEYDOWN, VK_F1, kRepeat);
  EXPECT_TRUE(BrowserLines(1, 2500).empty()) << "a repeated F1 opened the guide";
  PostMessageA(tabs, WM_KEYDOWN, VK_F1, 0x003B0001);
  ExpectLines({BrowserLine("options-general")});
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
}

}  // namespace
}  // namespace quillo::wine
