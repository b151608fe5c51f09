// The text commands end to end: Quillo.exe from a fresh program folder, a
// custom menu of text commands on double Ctrl, and a selection in another
// program reworked in place.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillo_hook.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "text_commands_res.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using Texts = std::vector<std::string>;
constexpr char kGeneralKey[] = "Software\\Veltrane Soft\\Quillo\\General";
constexpr char kMenuSetKey[] = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";
constexpr char kMenu[] =
    "&Quote|[E> xxxn]\r\n"
    "&Unquote|[E-> xxxn]\r\n"
    "U&pper|[VU]\r\n"
    "P&aren|[E(xxx)]\r\n"
    "&Bad|[E(yy)]\r\n"
    "&Form|[E]\r\n"
    "&Restore|[E-]\r\n"
    "&Double|[VD]\r\n";

void SetValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), ERROR_SUCCESS);
  RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(h);
}
void SetNumber(const char* key, const char* name, DWORD value) { SetValue(key, name, REG_DWORD, &value, sizeof value); }

std::string Listed(const Texts& texts) {
  std::string out;
  for (const std::string& t : texts) out += "[" + t.substr(0, 40) + "] ";
  return out;
}

class TextCommandsJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
    ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000));
    EmptyClipboard();
    CloseClipboard();
    const std::string menu = folder_.file("Commands.txt");
    ASSERT_TRUE(WriteFileBytes(menu, std::vector<unsigned char>(kMenu, kMenu + sizeof kMenu - 1)));
    SetValue(kMenuSetKey, "MenuFile0", REG_SZ, menu.c_str(), static_cast<DWORD>(menu.size() + 1));
    SetNumber(kMenuSetKey, "MenuFile0-Preset", 1);  // Ctrl twice
    SetNumber(kGeneralKey, "StackKey", static_cast<DWORD>(-1));
    SetNumber(kGeneralKey, "ChangeKey", static_cast<DWORD>(-1));
    SetNumber(kGeneralKey, "MenuPos", 1);
    frame_ = StartQuillo(folder_.path(), quillo_);
    ASSERT_NE(frame_, nullptr);
  }
  void TearDown() override {
    if (frame_ != nullptr) PostMessageA(frame_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(quillo_.Wait(60000));
  }

  // A program with an edit control in front; its text selected as given.
  void StartTarget(const char* text, int selStart, int selEnd) {
    target_ = StartChild("EditTarget");
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      window = FindWindowA(kTargetClass, kTargetTitle);
      return window != nullptr && GetForegroundWindow() == window;
    }));
    GetWindowThreadProcessId(window, &pid_);
    edit_ = GetDlgItem(window, kTargetEditId);
    SendMessageA(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(edit_, EM_SETSEL, selStart, selEnd);
  }

  void OpenMenu() {
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid_) != nullptr; })) << "no menu in the target";
  }

  Texts History() {
    const std::string out = folder_.file("history.out");
    DeleteFileA(out.c_str());
    if (RunChild("DumpHistory", "\"" + out + "\"", 30000, folder_.file("quillo_wine_tests.exe")) != 0) return {"?"};
    Texts texts(1);
    for (unsigned char c : ReadFileBytes(out)) {
      if (c == 1) texts.emplace_back();
      else texts.back().push_back(static_cast<char>(c));
    }
    texts.pop_back();
    return texts;
  }

  CleanRegistryKey registry_;
  ProgramFolder folder_{{kHookDll, kDlgExDll, kQuilloExe, "MenuTemp.txt", "quillo_wine_tests.exe"}};
  Process quillo_;
  Process target_;
  HWND frame_ = nullptr;
  HWND edit_ = nullptr;
  DWORD pid_ = 0;
};

TEST_F(TextCommandsJourney, QuoteThenUnquoteTheSelectedLinesAndOnlyTheCutTextEntersTheHistory) {
  StartTarget("one\r\n\r\ntwo", 0, -1);
  OpenMenu();
  Tap('Q');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "> one\r\n> \r\n> two"; })) << WindowText(edit_);
  EXPECT_TRUE(WaitFor([&] { return History() == Texts{"one\r\n\r\ntwo"}; }, 5000)) << History().size();
  SendMessageA(edit_, EM_SETSEL, 0, -1);
  OpenMenu();
  Tap('U');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "one\r\n\r\ntwo"; })) << WindowText(edit_);
  SendMessageA(edit_, EM_SETSEL, 0, 3);
  OpenMenu();
  Tap('P');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "ONE\r\n\r\ntwo"; })) << WindowText(edit_);
  EXPECT_TRUE(WaitFor([&] { return History() == Texts{"one", "> one\r\n> \r\n> two", "one\r\n\r\ntwo"}; }, 5000));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts());
}

size_t ClipboardTextLength() {
  size_t n = 0;
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) return 0;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      n = std::strlen(p);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return n;
}

// A selection larger than the history takes is cut but never stored: the
// second phase must not rework the older entry 0 and paste it over the user's
// text, and the user's text comes back as it was.
TEST_F(TextCommandsJourney, SelectionTooLargeForTheHistory_NoOlderEntryIsPasted_TheTextComesBack) {
  ASSERT_TRUE(PutClipboardText("older entry"));
  ASSERT_TRUE(WaitFor([&] { return History() == Texts{"older entry"}; }, 5000));
  const std::string large(25000, 'x');
  StartTarget(large.c_str(), 0, -1);
  auto length = [&] { return static_cast<size_t>(SendMessageA(edit_, WM_GETTEXTLENGTH, 0, 0)); };
  ASSERT_EQ(length(), large.size());
  OpenMenu();
  Tap('Q');
  // The first phase ran: the selection is cut.
  ASSERT_TRUE(WaitFor([&] { return length() != large.size(); })) << length();
  EXPECT_TRUE(WaitFor([&] { return length() == large.size(); }, 5000)) << length();
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit_).find("older") != std::string::npos; }, 1000))
      << WindowText(edit_).substr(0, 40);
  EXPECT_EQ(length(), large.size());
  EXPECT_EQ(WindowText(edit_).find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(ClipboardTextLength(), large.size());
  EXPECT_EQ(History(), Texts{"older entry"});
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts());
}

// The second phase waits (EncloseTimeLag) before it pastes; a copy made by
// another program meanwhile becomes entry 0, and is no text the user cut.
class TextCommandsLagJourney : public TextCommandsJourney {
 protected:
  void SetUp() override {
    SetNumber(kGeneralKey, "EncloseTimeLag", 2000);
    TextCommandsJourney::SetUp();
  }
};

TEST_F(TextCommandsLagJourney, ACopyDuringTheDelay_IsNotReworkedOverTheSelection_TheCutTextComesBack) {
  StartTarget("one", 0, -1);
  OpenMenu();
  Tap('Q');
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit_).empty(); })) << WindowText(edit_);
  // The copy comes after the resident program has taken the cut text: one
  // made before it reads the clipboard replaces the cut text there, and no
  // program can tell the two apart any more.
  Texts seen;
  ASSERT_TRUE(WaitFor([&] { return (seen = History()) == Texts{"one"}; }, 5000)) << Listed(seen);
  ASSERT_TRUE(PutClipboardText("copied meanwhile"));
  ASSERT_TRUE(WaitFor([&] { return (seen = History()) == Texts{"copied meanwhile", "one"}; }, 5000)) << Listed(seen);
  EXPECT_TRUE(WaitFor([&] { return !WindowText(edit_).empty(); }, 5000));
  EXPECT_FALSE(WaitFor([&] { return WindowText(edit_) != "one"; }, 1000)) << WindowText(edit_);
  // Put back as ours: no new entry, the copy made meanwhile stays the newest.
  EXPECT_EQ(History(), (Texts{"copied meanwhile", "one"}));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts());
}

TEST_F(TextCommandsJourney, ShiftEnterOnAFormPastesItWithoutCutting) {
  StartTarget("abc", 3, 3);
  OpenMenu();
  for (int i = 0; i < 4; ++i) Tap(VK_DOWN);  // P&aren
  Key(VK_SHIFT);
  Tap(VK_RETURN);
  Key(VK_SHIFT, true);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "abc()"; })) << WindowText(edit_);
  EXPECT_EQ(History(), Texts());
}

TEST_F(TextCommandsJourney, FormWithoutMarkerShows2030AndChangesNothing) {
  StartTarget("abc", 0, -1);
  OpenMenu();
  Tap('B');
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts{"There is incorrect tag format."});
  EXPECT_EQ(WindowText(edit_), "abc");
  EXPECT_EQ(History(), Texts());
}

// [E] and [E-] ask for the form in a dialog of the program in front; what the
// user types there is appended to the tag's letters, so a form that itself
// begins like a tag ("E-xxx": before-text "E-") stays whole. One user's
// session, step by step: a cancelled dialog leaves the selection alone.
TEST_F(TextCommandsJourney, TheFormDialogDrivenByKeysAppendsItsFormToTheTag) {
  struct Step {
    BYTE item;
    const char* title;
    BYTE closeKey;
    const char* result;
    Texts history;
  };
  const Step steps[] = {
      {'F', "Text Modification", VK_ESCAPE, "abc", {}},
      {'F', "Text Modification", VK_RETURN, "E-abc", {"abc"}},
      {'R', "Text Restoration", VK_RETURN, "abc", {"E-abc", "abc"}},
  };
  StartTarget("abc", 0, -1);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.result);
    SendMessageA(edit_, EM_SETSEL, 0, -1);
    OpenMenu();
    Tap(step.item);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      dialog = FindWindowA("#32770", step.title);
      DWORD pid = 0;
      GUITHREADINFO gui{};
      gui.cbSize = sizeof gui;
      return dialog != nullptr && GetWindowThreadProcessId(dialog, &pid) != 0 && pid == pid_ &&
             GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) && gui.hwndFocus != nullptr &&
             GetDlgCtrlID(gui.hwndFocus) == IDC_FORM_TEXT;
    })) << "no dialog with the focus in its form field";
    TypeText("E-xxx");
    ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(dialog, IDC_FORM_TEXT)) == "E-xxx"; }));
    Tap(step.closeKey);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == step.result; })) << WindowText(edit_);
    EXPECT_TRUE(WaitFor([&] { return History() == step.history; }, 5000)) << History().size();
  }
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts());
}

// The same in a program no one here wrote.
TEST_F(TextCommandsJourney, QuotesLinesInWineNotepad) {
  Process notepad = Process::Start("notepad.exe");
  HWND front = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    front = GetForegroundWindow();
    char cls[32] = {};
    GetClassNameA(front, cls, sizeof cls);
    edit_ = lstrcmpiA(cls, "Notepad") == 0 ? FindWindowExA(front, nullptr, "Edit", nullptr) : nullptr;
    return edit_ != nullptr;
  }));
  GetWindowThreadProcessId(front, &pid_);
  SendMessageA(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("first\r\nsecond"));
  SendMessageA(edit_, EM_SETSEL, 0, -1);
  OpenMenu();
  Tap('Q');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == "> first\r\n> second"; })) << WindowText(edit_);
  notepad.Kill();
}

// Runs only in the Japanese ANSI code page, where the width conversions act.
class TextCommandsJourney932 : public TextCommandsJourney {
 protected:
  void SetUp() override {
    TextCommandsJourney::SetUp();
    ASSERT_EQ(GetACP(), 932u) << "this suite needs code page 932 (LANG=ja_JP.UTF-8 and the locale built)";
  }
};

TEST_F(TextCommandsJourney932, DoubleJoinsHalfWidthKanaWithTheirVoicedMarks) {
  StartTarget("\xb6\xde\xb7\xde\xca\xdf\xb3\xde\xb1\xde", 0, -1);  // ｶﾞｷﾞﾊﾟｳﾞｱﾞ
  OpenMenu();
  Tap('D');
  // ガギパヴ, and ア with a mark of its own: ｱ takes none.
  const std::string doubled = "\x83\x4b\x83\x4d\x83\x70\x83\x94\x83\x41\x81\x4a";
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit_) == doubled; })) << WindowText(edit_);
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts());
}

}  // namespace
}  // namespace quillo::wine
