// The history editor of the real Quillo.exe, opened as the stack menu opens
// it, and driven by real keys and clicks.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "history_store.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr char kEditorTitle[] = "Edit Clipboard History";
constexpr int kList = 1080, kContents = 1081, kDelete = 1083, kAdd = 1084;

void AltKey(BYTE vk) {
  Key(VK_MENU);
  Tap(vk);
  Key(VK_MENU, true);
}

// (GetWindowTextLength answers 0 for another process's edit control under
// Wine: the tests ask the control itself with WM_GETTEXTLENGTH.)
class HistoryEditor : public Resident {
 protected:
  // Quillo running with `history` (newest first), and the user working in
  // another program, which owns the editor while it is open.
  void StartWith(const Texts& history) {
    // The other program comes first: under Wine a window just shown takes
    // the foreground again when the X server's focus event for it arrives,
    // and that must not land after the tray menu or the editor took it.
    target_ = StartChild("EditTarget");
    Start();
    Texts seen;
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
      ASSERT_TRUE(PutClipboardText(*it));
      seen.insert(seen.begin(), *it);
      ASSERT_TRUE(HistoryBecomes(seen));
    }
    ASSERT_TRUE(WaitFor([] {
      HWND w = FindWindowA(kTargetClass, kTargetTitle);
      return w != nullptr && GetForegroundWindow() == w;
    }));
  }

  // As the stack menu's "Edit History..." item does.
  HWND OpenFromStackMenu() {
    PostMessageA(frame_, WM_COMMAND, 32807, 0);
    return DialogInFront(kEditorTitle);
  }

  static LRESULT Ask(HWND dialog, int id, UINT msg, WPARAM wParam = 0) {
    return SendMessageA(GetDlgItem(dialog, id), msg, wParam, 0);
  }

  bool Closed() {
    return WaitFor([] { return FindWindowA("#32770", kEditorTitle) == nullptr; });
  }

  Process target_;
};

TEST_F(HistoryEditor, TextTypedIntoContentsIsKeptWhenAnotherRowIsClicked) {
  StartWith({"second", "first"});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  HWND contents = GetDlgItem(dialog, kContents);
  EXPECT_EQ(WindowText(contents), "second");
  ClickOn(contents);
  Key(VK_CONTROL);
  Tap(VK_END);
  Key(VK_CONTROL, true);
  Tap('X');
  ASSERT_TRUE(WaitFor([&] { return WindowText(contents) == "secondx"; }));
  // Row 1, clicked where it is drawn.
  HWND list = GetDlgItem(dialog, kList);
  const int rowHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
  POINT p = {8, rowHeight + rowHeight / 2};
  ClientToScreen(list, &p);
  ClickAt(p, list);
  ASSERT_TRUE(WaitFor([&] { return WindowText(contents) == "first"; })) << WindowText(contents);
  EXPECT_EQ(Ask(dialog, kList, LB_GETCURSEL), 1);
  Tap(VK_RETURN);  // the list has the focus: Enter is OK
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"secondx", "first"}));
}

// From the tray menu the editor is the window in front after the hand-back
// of the foreground, and keys typed reach it.
TEST_F(HistoryEditor, FromTheTrayMenuItIsInFrontAndTakesTypedKeys) {
  StartWith({"one"});
  ChooseFromTrayMenu(3);  // "Edit History..."
  HWND dialog = DialogInFront(kEditorTitle);
  ASSERT_NE(dialog, nullptr);
  AltKey('C');  // the Contents box, its text selected
  Key(VK_CONTROL);
  Tap(VK_END);
  Key(VK_CONTROL, true);
  Tap('X');
  ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(dialog, kContents)) == "onex"; }))
      << WindowText(GetDlgItem(dialog, kContents));
  Tap(VK_TAB);  // to OK
  Tap(VK_RETURN);
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"onex"}));
}

// Up and Down by their access keys move the selected entry and the selection
// with it; Up on the first row and Down on the last do nothing.
TEST_F(HistoryEditor, UpAndDownMoveTheSelectedEntryAndOkKeepsTheOrder) {
  StartWith({"ccc", "bb", "a"});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  const struct {
    BYTE key;
    int selected;
    std::vector<LRESULT> rowLengths;  // "01: " and the entry's text
  } steps[] = {
      {'U', 0, {7, 6, 5}},  // Up on the first row
      {'W', 1, {6, 7, 5}},
      {'W', 2, {6, 5, 7}},
      {'W', 2, {6, 5, 7}},  // Down on the last row
      {'U', 1, {6, 7, 5}},
  };
  // A step that changes nothing is proven by the next one: keys are handled
  // in order.
  for (const auto& step : steps) {
    AltKey(step.key);
    std::vector<LRESULT> rows;
    EXPECT_TRUE(WaitFor([&] {
      rows.clear();
      for (int i = 0; i < 3; ++i) rows.push_back(Ask(dialog, kList, LB_GETTEXTLEN, static_cast<WPARAM>(i)));
      return Ask(dialog, kList, LB_GETCURSEL) == step.selected && rows == step.rowLengths;
    })) << "after Alt+" << step.key << " row " << Ask(dialog, kList, LB_GETCURSEL);
  }
  AltKey('H');  // back to the list, where Enter is OK
  Tap(VK_RETURN);
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"bb", "ccc", "a"}));
}

TEST_F(HistoryEditor, AddThenOkOnAnEmptyHistoryLeavesItEmpty) {
  StartWith({});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Ask(dialog, kList, LB_GETCOUNT), 0);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, kContents)), "");
  ClickOn(GetDlgItem(dialog, kAdd));
  ASSERT_TRUE(WaitFor([&] { return Ask(dialog, kList, LB_GETCOUNT) == 1; }));
  EXPECT_EQ(Ask(dialog, kList, LB_GETCURSEL), 0);
  EXPECT_EQ(Ask(dialog, kList, LB_GETTEXTLEN), static_cast<LRESULT>(std::string("01: (Empty)").size()));
  ClickOn(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({}));
}

TEST_F(HistoryEditor, DeletingTheLastOfThreeSelectsTheNewLastAndCancelKeepsTheHistory) {
  StartWith({"c", "b", "a"});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  Tap(VK_END);  // the list has the focus: its last row
  ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(dialog, kContents)) == "a"; }));
  Key(VK_MENU);
  Tap('D');
  Key(VK_MENU, true);
  ASSERT_TRUE(WaitFor([&] { return Ask(dialog, kList, LB_GETCOUNT) == 2; }));
  EXPECT_EQ(Ask(dialog, kList, LB_GETCURSEL), 1);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, kContents)), "b");
  Tap(VK_ESCAPE);
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"c", "b", "a"}));
}

TEST_F(HistoryEditor, TextOfTheLargestSizeFitsOneMoreSays2027AndASecondRequestOpensNoSecondEditor) {
  const std::string largest(history::kMaxEntryBytes, 'f');
  StartWith({largest});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  HWND contents = GetDlgItem(dialog, kContents);
  EXPECT_EQ(SendMessageA(contents, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(history::kMaxEntryBytes));
  ClickOn(contents);
  Key(VK_CONTROL);
  Tap(VK_END);
  Key(VK_CONTROL, true);
  Tap('X');
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts({"Text size is too big."}));
  EXPECT_EQ(SendMessageA(contents, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(history::kMaxEntryBytes));
  // A second request while the editor is open shows no second one; the
  // clear-history command posted after it proves it was handled.
  PostMessageA(frame_, WM_COMMAND, 32807, 0);
  PostMessageA(frame_, WM_COMMAND, 32775, 0);
  ASSERT_TRUE(HistoryBecomes({}));
  int editors = 0;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", kEditorTitle)) != nullptr;) ++editors;
  EXPECT_EQ(editors, 1);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == dialog; }));
  Tap(VK_ESCAPE);
  ASSERT_TRUE(Closed());
  // Cancel writes nothing back: the cleared history stays cleared.
  EXPECT_TRUE(HistoryBecomes({}));
}

TEST_F(HistoryEditor, TextCopiedByAnotherProgramWhileOpenIsStillThereAfterOk) {
  StartWith({"old"});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PutClipboardText("copied meanwhile"));
  ASSERT_TRUE(HistoryBecomes({"copied meanwhile", "old"}));
  // The editor's copy still holds only "old": delete it and confirm.
  ASSERT_EQ(Ask(dialog, kList, LB_GETCOUNT), 1);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == dialog; }));
  ClickOn(GetDlgItem(dialog, kDelete));
  ASSERT_TRUE(WaitFor([&] { return Ask(dialog, kList, LB_GETCOUNT) == 0; }));
  ClickOn(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"copied meanwhile"}));
}

// The editor's OK keeps the copies made while it was open, each once, even
// when the stack menu moved another entry to the top meanwhile: the store's
// first entries are then not the copies.
TEST_F(HistoryEditor, CopyAndAStackMenuChoiceWhileOpen_OkKeepsTheCopyOnceAndNothingTwice) {
  WriteDword(kGeneralKey, "MoveStackTop", 1);
  WriteDword(kGeneralKey, "CopyOnly", 1);  // the chosen entry is not pasted into the editor
  StartWith({"A", "B", "C"});
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PutClipboardText("X"));
  ASSERT_TRUE(HistoryBecomes({"X", "A", "B", "C"}));
  // The stack menu as a trigger asks for it; C is its fourth entry now.
  const DWORD pid = ProcessId();
  PostMessageA(frame_, 1038, 2, -1);
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no stack menu";
  Tap('4');
  ASSERT_TRUE(HistoryBecomes({"C", "X", "A", "B"})) << "the choice did not move C to the top";
  ASSERT_TRUE(IsWindow(dialog));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(Closed());
  // The editor's list (A B C) under the one copy made meanwhile.
  EXPECT_TRUE(HistoryBecomes({"X", "A", "B", "C"})) << ::testing::PrintToString(History().value_or(Texts{"?"}));
}

// "Read History..." while the editor is open replaces the store: its first
// entries are the file's, not copies, and OK must not take one of them for
// the copy made before the read.
TEST_F(HistoryEditor, CopyThenReadHistoryWhileOpen_OkKeepsTheCopyNotTheFilesEntry) {
  std::vector<unsigned char> file = {2, 0, 0, 0};
  for (const char* text : {"R1", "R2"}) {
    file.insert(file.end(), {2, 0, 0, 0});
    file.insert(file.end(), text, text + 2);
  }
  StartWith({"A", "B"});
  ASSERT_TRUE(WriteFileBytes(folder_.file("read.hst"), file));
  HWND dialog = OpenFromStackMenu();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PutClipboardText("X"));
  ASSERT_TRUE(HistoryBecomes({"X", "A", "B"}));
  PostMessageA(frame_, WM_COMMAND, 32778, 0);  // the tray menu's Read History...
  ASSERT_NE(DialogInFront("Read History"), nullptr);
  TypeText("read.hst");
  Tap(VK_RETURN);
  ASSERT_TRUE(HistoryBecomes({"R1", "R2"}));
  ASSERT_TRUE(IsWindow(dialog));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(Closed());
  EXPECT_TRUE(HistoryBecomes({"X", "A", "B"})) << ::testing::PrintToString(History().value_or(Texts{"?"}));
}

}  // namespace
}  // namespace quillo::wine
