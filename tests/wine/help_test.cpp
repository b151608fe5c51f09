// Help from every kind of place, with a stand-in browser: the real Quillo.exe
// asks the program registered for web addresses to open the guide beside it
// at the section of the window Help was asked in, and goes on meanwhile.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

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
  std::string BrowserLine(const char* anchor) const {
    std::string url = "file:///" + folder_.file("guide\\index.html");
    for (char& c : url) {
      if (c == '\\') c = '/';
      EXPECT_TRUE(c != ' ' && c != '#' && c != '%' && static_cast<unsigned char>(c) < 0x80) << url;
    }
    return "\"" + browser_ + "\" \"" + url + "#" + anchor + "\"";
  }

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
  Sleep(300);
  Tap(VK_F1);
  ExpectLines({BrowserLine("options-general"), BrowserLine("options-stack-menu")});
  // The sheet's own Help button asks for the page in front too.
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

// Without the guide beside the program the user is told where it belongs,
// and no browser is started.
TEST_F(GuideHelp, MissingGuideIsNamedInAMessage) {
  ASSERT_TRUE(DeleteFileA(folder_.file("guide\\index.html").c_str()));
  Start();
  MessageBoxWatcher::Instance().Take();
  ChooseFromTrayMenu(12);  // Help
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1, 15000));
  const Texts boxes = MessageBoxWatcher::Instance().Take();
  ASSERT_EQ(boxes.size(), 1u);
  std::string shown = boxes[0];
  std::string path = folder_.file("guide\\index.html");
  CharLowerA(&shown[0]);
  CharLowerA(&path[0]);
  EXPECT_NE(shown.find(path), std::string::npos) << boxes[0];
  EXPECT_TRUE(BrowserLines(1, 1000).empty());
}

}  // namespace
}  // namespace quillo::wine
