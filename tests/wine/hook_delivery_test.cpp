// Delivery under Wine with the real clipboard and real input: what a menu
// choice puts on the clipboard (CF_TEXT and the "Quillo Marker" bytes), the
// post that hands key strokes to the resident window, file references, quote
// mode, the history copy, the box when another process holds the clipboard,
// and the paste and cut keys typed into an edit control of this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "custom_menu_win.h"
#include "delivery_win.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "shared_block.h"
#include "wine_support.h"

using quillo::hook::State;
using quillo::wine::MessageBoxWatcher;
using quillo::wine::Process;
using quillo::wine::ProgramFolder;
using quillo::wine::StartChild;
using quillo::wine::WaitFor;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kPlainMarker(32, 0);

std::vector<std::string> Boxes() { return MessageBoxWatcher::Instance().Take(); }
std::vector<std::string> Texts(std::initializer_list<const char*> t) { return {t.begin(), t.end()}; }

UINT MarkerFormat() { return RegisterClipboardFormatA("Quillo Marker"); }

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// What the clipboard holds, read the way the resident program reads it.
struct ClipContent {
  bool opened = false;
  bool hasText = false;
  std::string text;
  size_t textBlockSize = 0;
  bool hasMarker = false;
  Bytes marker;
  HWND owner = nullptr;
};

ClipContent ReadClipboard() {
  ClipContent c;
  // Another program (or our own last close) may still hold it for a moment.
  c.opened = WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000);
  if (!c.opened) return c;
  c.owner = GetClipboardOwner();
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    c.hasText = true;
    c.textBlockSize = GlobalSize(h);
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      c.text.assign(p, strnlen(p, c.textBlockSize));
      GlobalUnlock(h);
    }
  }
  const UINT format = MarkerFormat();
  if (IsClipboardFormatAvailable(format)) {
    if (HANDLE h = GetClipboardData(format)) {
      c.hasMarker = true;
      if (const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(h))) {
        c.marker.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
      }
    }
  }
  CloseClipboard();
  return c;
}

// Puts `text` on the clipboard without any marker, owned by `owner`.
bool PutPlainText(HWND owner, const std::string& text) {
  if (!WaitFor([&] { return OpenClipboard(owner) != FALSE; }, 3000)) return false;
  EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool ok = false;
  if (h != nullptr) {
    std::memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    ok = SetClipboardData(CF_TEXT, h) != nullptr;
    if (!ok) GlobalFree(h);
  }
  CloseClipboard();
  return ok;
}

// ---- The window in front and the stand-in for the resident window ---------

struct KeyEvent {
  UINT vk;
  bool up;
  bool operator==(const KeyEvent& o) const { return vk == o.vk && up == o.up; }
};
std::ostream& operator<<(std::ostream& os, const KeyEvent& k) {
  return os << (k.up ? "up " : "down ") << k.vk;
}

std::vector<KeyEvent> g_keyLog;
WNDPROC g_editProc = nullptr;

// Every key message that reaches the edit control, in order.
LRESULT CALLBACK LoggingEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) g_keyLog.push_back({static_cast<UINT>(wp), false});
  if (msg == WM_KEYUP || msg == WM_SYSKEYUP) g_keyLog.push_back({static_cast<UINT>(wp), true});
  return CallWindowProcA(g_editProc, hwnd, msg, wp, lp);
}

constexpr UINT kSentinelKey = VK_F24;

class DeliveryWindows {
 public:
  DeliveryWindows() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuilloDeliveryTest";
    RegisterClassA(&wc);  // a second registration fails harmlessly
    front_ = CreateWindowExA(0, "QuilloDeliveryTest", "Delivery target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                             100, 400, 200, nullptr, nullptr, wc.hInstance, nullptr);
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER, 5, 5,
                            380, 150, front_, nullptr, wc.hInstance, nullptr);
    resident_ = quillo::wine::CreateResidentStandIn(nullptr, 0, HWND_MESSAGE, false);
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LoggingEditProc)));
  }
  ~DeliveryWindows() {
    DestroyWindow(resident_);
    DestroyWindow(front_);
    PumpMessages();
  }
  HWND front() const { return front_; }
  HWND edit() const { return edit_; }
  HWND resident() const { return resident_; }

  // The window comes to the front with the focus in its edit control.
  bool Activate() {
    SetForegroundWindow(front_);
    const bool ok = WaitFor([&] {
      PumpMessages();
      return GetForegroundWindow() == front_;
    }, 5000);
    SetFocus(edit_);
    PumpMessages();
    return ok && GetFocus() == edit_;
  }

  std::string EditText() const {
    char buffer[4096] = {};
    SendMessageA(edit_, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  void SetEditText(const char* text, int selStart = 0, int selEnd = 0) {
    SetWindowTextA(edit_, text);
    SendMessageA(edit_, EM_SETSEL, selStart, selEnd);
  }

  // Types a key that changes nothing and waits until it arrived: input is
  // processed in order, so every key synthesised before it has arrived too.
  // Returns the keys logged before the sentinel.
  bool DrainInput(std::vector<KeyEvent>& before) {
    keybd_event(static_cast<BYTE>(kSentinelKey), 0, 0, 0);
    keybd_event(static_cast<BYTE>(kSentinelKey), 0, KEYEVENTF_KEYUP, 0);
    const bool arrived = WaitFor([] {
      PumpMessages();
      for (const KeyEvent& k : g_keyLog) {
        if (k.vk == kSentinelKey && k.up) return true;
      }
      return false;
    }, 5000);
    before.clear();
    for (const KeyEvent& k : g_keyLog) {
      if (k.vk == kSentinelKey) break;
      before.push_back(k);
    }
    return arrived;
  }

  // The WM_COMMAND messages posted to the resident stand-in, as wParam/lParam.
  std::vector<std::pair<WPARAM, LPARAM>> TakeResidentCommands() {
    std::vector<std::pair<WPARAM, LPARAM>> got;
    MSG msg;
    while (PeekMessageA(&msg, resident_, WM_COMMAND, WM_COMMAND, PM_REMOVE)) got.push_back({msg.wParam, msg.lParam});
    return got;
  }

 private:
  HWND front_ = nullptr;
  HWND edit_ = nullptr;
  HWND resident_ = nullptr;
};

// Keeps every shared setting and per-process value the tests change, and
// puts them back.
class SettingsGuard {
 public:
  SettingsGuard()
      : marker_(g_cfQuilloMarker), cut_(g_bCutLastRet), cut2_(g_bCutLastRet2), paste_(g_nPasteCmd),
        cutCmd_(g_nCutCmd), copyOnly_(g_bCopyOnly), resident_(g_hwndQuillo), count_(g_nNumClipHistory),
        block_(g_dwBlockSize), recording_(g_bRecording), choice_(State().choiceMode) {
    std::memcpy(quote_, g_szQuote, sizeof quote_);
  }
  ~SettingsGuard() {
    g_cfQuilloMarker = marker_;
    g_bCutLastRet = cut_;
    g_bCutLastRet2 = cut2_;
    g_nPasteCmd = paste_;
    g_nCutCmd = cutCmd_;
    g_bCopyOnly = copyOnly_;
    quillo::PublishResidentWindow(resident_);
    g_nNumClipHistory = count_;
    g_dwBlockSize = block_;
    g_bRecording = recording_;
    State().choiceMode = choice_;
    std::memcpy(g_szQuote, quote_, sizeof quote_);
  }

 private:
  UINT marker_;
  BOOL cut_, cut2_;
  int paste_, cutCmd_;
  BOOL copyOnly_;
  HWND resident_;
  int count_;
  DWORD block_;
  BOOL recording_;
  int choice_;
  char quote_[sizeof g_szQuote];
};

class HookDeliveryBase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    ASSERT_NE(windows_.front(), nullptr);
    ASSERT_TRUE(windows_.Activate()) << "the test window did not come to the front";
    g_cfQuilloMarker = MarkerFormat();
    ASSERT_NE(g_cfQuilloMarker, 0u);
    g_bCutLastRet = FALSE;
    g_bCutLastRet2 = FALSE;
    g_nPasteCmd = 0;
    g_nCutCmd = 0;
    g_bCopyOnly = FALSE;
    g_bRecording = FALSE;
    quillo::PublishResidentWindow(windows_.resident());
    State().choiceMode = 1;
    std::strcpy(g_szQuote, "> ");
    windows_.TakeResidentCommands();
    g_keyLog.clear();
    Boxes();
  }
  void TearDown() override {
    quillo::hook::FreeCustomMenu();
    EXPECT_EQ(Boxes(), std::vector<std::string>()) << "a box nobody expected";
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.file(name);
    quillo::wine::WriteFileBytes(path, Bytes(bytes.begin(), bytes.end()));
    return path;
  }
  // A new file each time: the parse is cached by path and last-write time.
  void LoadMenu(const std::string& contents) {
    const std::string name = "Menu" + std::to_string(++menus_) + ".txt";
    ASSERT_TRUE(quillo::hook::LoadCustomMenu(Write(name, contents).c_str()));
  }
  // "before" on the clipboard, owned by a window that is not in front.
  bool PutBefore() { return PutPlainText(windows_.resident(), "before"); }

  SettingsGuard guard_;
  ProgramFolder folder_{std::initializer_list<const char*>{}};
  DeliveryWindows windows_;
  int menus_ = 0;
};

// ---- Custom-menu items ------------------------------------------------------

class HookDeliveryItem : public HookDeliveryBase {};

TEST_F(HookDeliveryItem, PlainItemsGoOnTheClipboardBesideThirtyTwoZeroBytes) {
  LoadMenu("One|hello\nMany|\nline 1\nline 2\n/E\n*Cells\ncell a|[Y1] x\n'C:\\windows\\win.ini\n..\n");
  struct Row {
    int id;
    BOOL cutLastRet;
    const char* text;
  } rows[] = {
      {1000, FALSE, "hello\r\n"},
      {1000, TRUE, "hello"},
      {1001, FALSE, "line 1\r\nline 2\r\n"},
      {1001, TRUE, "line 1\r\nline 2"},
      // Cells are pasted as they read: no tags, no file reference.
      {3000, TRUE, "cell a"},
      {3002, TRUE, "[Y1] x"},
      {3001, FALSE, "'C:\\windows\\win.ini"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    SCOPED_TRACE(r.cutLastRet);
    ASSERT_TRUE(PutBefore());
    g_bCutLastRet = r.cutLastRet;
    EXPECT_EQ(quillo::hook::SetItemToClip(r.id), 1);
    const ClipContent c = ReadClipboard();
    ASSERT_TRUE(c.opened);
    EXPECT_TRUE(c.hasText);
    EXPECT_EQ(c.text, r.text);
    EXPECT_EQ(c.textBlockSize, std::strlen(r.text) + 1 + (r.cutLastRet && r.id < 3000 ? 2 : 0))
        << "the block is sized before the last line break is cut";
    EXPECT_TRUE(c.hasMarker);
    EXPECT_EQ(c.marker, kPlainMarker);
    EXPECT_EQ(c.owner, windows_.front()) << "the window in front owns the clipboard";
    EXPECT_TRUE(windows_.TakeResidentCommands().empty());
  }
}

TEST_F(HookDeliveryItem, WithoutTheMarkerFormatOnlyTextIsSet) {
  LoadMenu("One|hello\n");
  g_cfQuilloMarker = 0;
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), 1);
  const ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "hello\r\n");
  EXPECT_FALSE(c.hasMarker);
}

TEST_F(HookDeliveryItem, KeyStrokesTravelInTheMarkerAndArePostedToTheResidentWindow) {
  LoadMenu("Keys|A[!K\"ENTER\"]B\nTwo|[!K\"tab\"][!KS\"a\"]\n");
  struct Row {
    int id;
    BOOL cutLastRet;
    const char* text;
    Bytes marker;
  } rows[] = {
      // ENTER press (0x010D), then the end code (0x0A01), little-endian.
      {1000, FALSE, "A\x03" "B\r\n", {0x0D, 0x01, 0x01, 0x0A}},
      {1000, TRUE, "A\x03" "B", {0x0D, 0x01, 0x01, 0x0A}},
      // Tab press; Shift down, A press, Shift up. The line end after a
      // key-stroke tag is cleaned up by the expansion.
      {1001, FALSE, "\x03\x03\x03\x03", {0x09, 0x01, 0x10, 0x02, 0x41, 0x01, 0x10, 0x03, 0x01, 0x0A}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    g_bCutLastRet = r.cutLastRet;
    EXPECT_EQ(quillo::hook::SetItemToClip(r.id), -1) << "the resident program pastes, not the caller";
    const ClipContent c = ReadClipboard();
    EXPECT_EQ(c.text, r.text);
    EXPECT_TRUE(c.hasMarker);
    EXPECT_EQ(c.marker, r.marker);
    const auto posted = windows_.TakeResidentCommands();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].first, 32797u);
    EXPECT_EQ(posted[0].second, 0);
  }
}

TEST_F(HookDeliveryItem, KeyStrokesWithoutMarkerFormatStillHandOver) {
  LoadMenu("Keys|A[!K\"ENTER\"]B\n");
  g_cfQuilloMarker = 0;
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), -1);
  const ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "A\x03" "B\r\n");
  EXPECT_FALSE(c.hasMarker);
  EXPECT_EQ(windows_.TakeResidentCommands().size(), 1u);
}

TEST_F(HookDeliveryItem, NothingToPasteLeavesTheClipboardAlone) {
  LoadMenu("Nothing|[&L]\nBad|x[!K\"NOKEY\"]\nNoLines|\n; only a comment\n/E\n");
  ASSERT_TRUE(PutBefore());
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), -1) << "expands to an empty text";
  EXPECT_EQ(Boxes(), std::vector<std::string>());
  EXPECT_EQ(quillo::hook::SetItemToClip(1001), -1) << "failed expansion";
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(Boxes(), Texts({"Could not recognize a key stroke."}));
  EXPECT_EQ(quillo::hook::SetItemToClip(1002), 0) << "a multi-line item without lines has no body";
  EXPECT_EQ(quillo::hook::SetItemToClip(1500), 0) << "no such item";
  EXPECT_EQ(quillo::hook::SetItemToClip(3005), 0) << "no such cell";
  const ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "before");
  EXPECT_FALSE(c.hasMarker);
  EXPECT_TRUE(windows_.TakeResidentCommands().empty());
}

// File contents exactly as the file holds them, but for a final Ctrl-Z, and
// with one line break cut when the setting asks for it. Run in code pages 1252
// and 932: in 932 a lead byte before the LF makes one double-byte character of
// the two, which is not a line break and stays.
TEST_F(HookDeliveryItem, FileReferencePastesTheFileContent) {
  const bool cp932 = GetACP() == 932;
  struct Row {
    const char* content;
    const char* plain;   // g_bCutLastRet clear
    const char* cut;     // g_bCutLastRet set
  } rows[] = {
      {"one\r\n", "one\r\n", "one"},
      {"two\r\r\n", "two\r\r\n", "two\r"},
      {"a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb"},
      {"lf only\n", "lf only\n", "lf only"},
      {"no break", "no break", "no break"},
      {"end\r\n\x1a", "end\r\n", "end"},
      {"\x1a", "", ""},
      {"", "", ""},
      {"[Y1] stays", "[Y1] stays", "[Y1] stays"},
      {"\x82\xa0\r\n", "\x82\xa0\r\n", "\x82\xa0"},  // あ
      {"abc\x82\n", "abc\x82\n", cp932 ? "abc\x82\n" : "abc\x82"},
      {"\x82\r\n", "\x82\r\n", cp932 ? "\x82\r" : "\x82"},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.content);
    const std::string path = Write("file" + std::to_string(n++) + ".txt", r.content);
    ASSERT_EQ(path.substr(1, 2), ":\\");
    LoadMenu("File|'" + path + "\n");
    for (BOOL cut : {FALSE, TRUE}) {
      g_bCutLastRet = cut;
      ASSERT_TRUE(PutBefore());
      EXPECT_EQ(quillo::hook::SetItemToClip(1000), 1);
      const ClipContent c = ReadClipboard();
      EXPECT_EQ(c.text, cut ? r.cut : r.plain) << "cut " << cut;
      EXPECT_EQ(c.marker, kPlainMarker);
    }
  }
}

TEST_F(HookDeliveryItem, FileReferenceToAMissingFileIsPastedLiterally) {
  LoadMenu("File|'C:\\no such folder\\missing.txt\nNoDrive|'notes.txt\n");
  g_bCutLastRet = TRUE;
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), 1);
  EXPECT_EQ(ReadClipboard().text, "'C:\\no such folder\\missing.txt");
  EXPECT_EQ(quillo::hook::SetItemToClip(1001), 1);
  EXPECT_EQ(ReadClipboard().text, "'notes.txt");
}

TEST_F(HookDeliveryItem, FileReferenceThatCannotBeOpenedFailsWithMessage2012) {
  const std::string path = Write("locked.txt", "secret");
  LoadMenu("File|'" + path + "\n");
  // Found by FindFirstFileA, but nobody else may read it while we hold it.
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(PutBefore());
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), 0);
  CloseHandle(lock);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not open the file(" + path + ")."});
  EXPECT_EQ(ReadClipboard().text, "before");
}

TEST_F(HookDeliveryItem, FileReferenceBeyondTheSizeBoundFailsWithMessage2001) {
  const std::string path = folder_.file("huge.txt");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  // 16 MB and one byte, written as a hole: no disk space needed.
  SetFilePointer(file, (16 << 20) + 1, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  LoadMenu("File|'" + path + "\n");
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), 0);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(Boxes(), Texts({"There is not enough memory."}));
}

TEST_F(HookDeliveryItem, ReadWholeFileKeepsEveryByteButAFinalCtrlZ) {
  const std::string path = Write("content.txt", std::string("a\0b\x1a", 4));
  char* text = nullptr;
  DWORD size = 99;
  ASSERT_TRUE(quillo::hook::ReadWholeFile(path.c_str(), &text, &size));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(text, 4), std::string("a\0b\0", 4));
  EXPECT_TRUE(HeapFree(State().heap, 0, text));

  text = reinterpret_cast<char*>(1);
  const std::string missing = folder_.file("missing.txt");
  EXPECT_FALSE(quillo::hook::ReadWholeFile(missing.c_str(), &text, &size));
  EXPECT_EQ(text, nullptr);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not open the file(" + missing + ")."});
}

// ---- History entries --------------------------------------------------------

constexpr DWORD kSlot = 20480;

// A history store laid out as the resident program keeps it, `count` slots.
class HistoryStore {
 public:
  HistoryStore(const char* name, const std::vector<std::string>& entries)
      : mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    static_cast<DWORD>(entries.size()) * kSlot, name)) {
    if (mapping_ != nullptr) view_ = static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) return;
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t n = entries[i].size() < kSlot ? entries[i].size() + 1 : kSlot;
      std::memcpy(view_ + i * kSlot, entries[i].c_str(), n);
    }
  }
  ~HistoryStore() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
  }
  char* view() const { return view_; }

 private:
  HANDLE mapping_;
  char* view_ = nullptr;
};

class HookDeliveryStack : public HookDeliveryBase {
 protected:
  void SetUp() override {
    HookDeliveryBase::SetUp();
    g_dwBlockSize = kSlot;
  }
};

TEST_F(HookDeliveryStack, EntriesArePastedPlainOrQuoted) {
  HistoryStore store(nullptr, {"first\r\n", "line1\r\nline2", "a\r\n\r\nb\r\n", ""});
  ASSERT_NE(store.view(), nullptr);
  g_nNumClipHistory = 4;
  struct Row {
    int index;
    int choiceMode;
    const char* quote;
    BOOL cutLastRet2;
    const char* text;
  } rows[] = {
      {0, 1, "> ", FALSE, "first\r\n"},
      {0, 1, "> ", TRUE, "first"},
      {1, 1, "> ", FALSE, "line1\r\nline2"},
      {1, -1, "> ", FALSE, "> line1\r\n> line2"},
      {2, -1, "> ", FALSE, "> a\r\n> \r\n> b\r\n"},
      {2, -1, "> ", TRUE, "> a\r\n> \r\n> b"},
      {0, -1, "#", TRUE, "#first"},
      {3, -1, "> ", FALSE, ""},
      {1, -1, "", FALSE, "line1\r\nline2"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    State().choiceMode = r.choiceMode;
    std::strcpy(g_szQuote, r.quote);
    g_bCutLastRet2 = r.cutLastRet2;
    ASSERT_TRUE(PutBefore());
    EXPECT_TRUE(quillo::hook::SetStackItemToClip(store.view(), r.index));
    const ClipContent c = ReadClipboard();
    EXPECT_EQ(c.text, r.text);
    EXPECT_EQ(c.marker, kPlainMarker);
    EXPECT_EQ(c.owner, windows_.front());
  }
  // The custom items' setting does not apply to history entries.
  g_bCutLastRet = TRUE;
  g_bCutLastRet2 = FALSE;
  State().choiceMode = 1;
  EXPECT_TRUE(quillo::hook::SetStackItemToClip(store.view(), 0));
  EXPECT_EQ(ReadClipboard().text, "first\r\n");
}

TEST_F(HookDeliveryStack, AnEntryIsReadNoFurtherThanItsSlotAndTheView) {
  HistoryStore store(nullptr, {std::string(kSlot, 'x'), "next"});
  ASSERT_NE(store.view(), nullptr);
  g_nNumClipHistory = 2;
  EXPECT_TRUE(quillo::hook::SetStackItemToClip(store.view(), 0));
  EXPECT_EQ(ReadClipboard().text, std::string(kSlot, 'x')) << "an unterminated slot ends at its end";
  ASSERT_TRUE(PutBefore());
  EXPECT_FALSE(quillo::hook::SetStackItemToClip(store.view(), 2)) << "past the view";
  EXPECT_FALSE(quillo::hook::SetStackItemToClip(store.view(), -1));
  g_dwBlockSize = 0;
  EXPECT_FALSE(quillo::hook::SetStackItemToClip(store.view(), 0));
  EXPECT_EQ(ReadClipboard().text, "before");
}

TEST_F(HookDeliveryStack, CopyStackItemCopiesFromTheNamedStore) {
  HistoryStore store("QuilloPageMapObject", {"newest\r\n", "older\r\n", "oldest"});
  ASSERT_NE(store.view(), nullptr);
  g_nNumClipHistory = 3;
  char* copy = nullptr;
  ASSERT_TRUE(quillo::hook::CopyStackItem(&copy, 1));
  EXPECT_STREQ(copy, "older\r\n");
  EXPECT_TRUE(HeapFree(State().heap, 0, copy)) << "the copy comes from the private heap";
  g_bCutLastRet2 = TRUE;
  ASSERT_TRUE(quillo::hook::CopyStackItem(&copy, 0));
  EXPECT_STREQ(copy, "newest");
  EXPECT_TRUE(HeapFree(State().heap, 0, copy));
  EXPECT_STREQ(store.view(), "newest\r\n") << "the store itself is not touched";

  // Beyond the history: a beep and no box.
  copy = reinterpret_cast<char*>(1);
  EXPECT_FALSE(quillo::hook::CopyStackItem(&copy, 3));
  EXPECT_EQ(copy, nullptr);
  EXPECT_FALSE(quillo::hook::CopyStackItem(&copy, -1));
  EXPECT_EQ(Boxes(), std::vector<std::string>());
}

TEST_F(HookDeliveryStack, CopyStackItemReportsAnEmptyHistory) {
  HistoryStore store("QuilloPageMapObject", {"newest"});
  ASSERT_NE(store.view(), nullptr);
  g_nNumClipHistory = 0;
  char* copy = reinterpret_cast<char*>(1);
  EXPECT_FALSE(quillo::hook::CopyStackItem(&copy, 0));
  EXPECT_EQ(copy, nullptr);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(Boxes(), Texts({"There is no clipboard history."}));
}

TEST_F(HookDeliveryStack, CopyStackItemWithoutAStoreFailsQuietly) {
  g_nNumClipHistory = 2;
  char* copy = nullptr;
  EXPECT_FALSE(quillo::hook::CopyStackItem(&copy, 1));
  EXPECT_EQ(copy, nullptr);
}

// ---- Plain texts and a clipboard held elsewhere ----------------------------

class HookDeliveryClip : public HookDeliveryBase {};

TEST_F(HookDeliveryClip, CopyTextToClipSetsTextAndMarkerOnRequest) {
  EXPECT_TRUE(CopyTextToClip("piece one\r\n", TRUE));
  ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "piece one\r\n");
  EXPECT_EQ(c.marker, kPlainMarker);
  EXPECT_EQ(c.owner, windows_.front());

  g_bCutLastRet = TRUE;  // applies to menu items, not to these texts
  EXPECT_TRUE(CopyTextToClip("piece two\r\n", FALSE));
  c = ReadClipboard();
  EXPECT_EQ(c.text, "piece two\r\n");
  EXPECT_FALSE(c.hasMarker);

  g_cfQuilloMarker = 0;
  EXPECT_TRUE(CopyTextToClip("piece three", TRUE));
  c = ReadClipboard();
  EXPECT_EQ(c.text, "piece three");
  EXPECT_FALSE(c.hasMarker);
}

TEST_F(HookDeliveryClip, SetTextToClipTakesATextOrAFilledBlock) {
  EXPECT_TRUE(quillo::hook::SetTextToClip("as text", FALSE, nullptr));
  ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "as text");
  EXPECT_FALSE(c.hasMarker);

  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 16);
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), "from a block", 13);
  GlobalUnlock(block);
  EXPECT_TRUE(quillo::hook::SetTextToClip(nullptr, TRUE, block));
  c = ReadClipboard();
  EXPECT_EQ(c.text, "from a block");
  EXPECT_EQ(c.marker, kPlainMarker);
}

constexpr char kHeldEvent[] = "QuilloDeliveryTestClipboardHeld";
constexpr char kLetGoEvent[] = "QuilloDeliveryTestClipboardLetGo";

// Holds the clipboard open until told to let go (or 20 s pass).
QUILLO_CHILD(HoldClipboard) {
  (void)args;
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
  HANDLE letGo = OpenEventA(SYNCHRONIZE, FALSE, kLetGoEvent);
  if (held == nullptr || letGo == nullptr) return 2;
  // Opened for a window of our own: Wine lets a second OpenClipboard through
  // when it names the same window as the first, and null is a window there.
  HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (window == nullptr) return 4;
  if (!WaitFor([&] { return OpenClipboard(window) != FALSE; }, 5000)) return 3;
  SetEvent(held);
  WaitForSingleObject(letGo, 20000);
  CloseClipboard();
  DestroyWindow(window);
  CloseHandle(held);
  CloseHandle(letGo);
  return 0;
}

TEST_F(HookDeliveryClip, ClipboardHeldByAnotherProcessShowsMessage2023) {
  LoadMenu("One|hello\n");
  HistoryStore store(nullptr, {"entry"});
  ASSERT_NE(store.view(), nullptr);
  g_dwBlockSize = kSlot;
  ASSERT_TRUE(PutBefore());

  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE letGo = CreateEventA(nullptr, TRUE, FALSE, kLetGoEvent);
  ASSERT_NE(held, nullptr);
  ASSERT_NE(letGo, nullptr);
  Process holder = StartChild("HoldClipboard");
  ASSERT_EQ(WaitForSingleObject(held, 15000), WAIT_OBJECT_0) << "the child could not open the clipboard";

  EXPECT_FALSE(CopyTextToClip("text", TRUE));
  EXPECT_EQ(quillo::hook::SetItemToClip(1000), 0);
  EXPECT_FALSE(quillo::hook::SetStackItemToClip(store.view(), 0));
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 8);
  ASSERT_NE(block, nullptr);
  EXPECT_FALSE(quillo::hook::SetTextToClip(nullptr, TRUE, block));
  EXPECT_EQ(GlobalFree(block), nullptr) << "a block of the caller's stays the caller's";
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(4));
  EXPECT_EQ(Boxes(), Texts({"Failed to open clipboard.", "Failed to open clipboard.", "Failed to open clipboard.",
                            "Failed to open clipboard."}));

  SetEvent(letGo);
  DWORD code = 99;
  EXPECT_TRUE(holder.Wait(15000, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(held);
  CloseHandle(letGo);
  const ClipContent c = ReadClipboard();
  EXPECT_EQ(c.text, "before");
  EXPECT_FALSE(c.hasMarker);
}

// ---- Paste and cut keys into an edit control ------------------------------

class HookDeliveryKeys : public HookDeliveryBase {};

using Keys = std::vector<KeyEvent>;
const KeyEvent kCtrlDown{VK_CONTROL, false}, kCtrlUp{VK_CONTROL, true};
const KeyEvent kShiftDown{VK_SHIFT, false}, kShiftUp{VK_SHIFT, true};

TEST_F(HookDeliveryKeys, PasteTextTypesTheConfiguredPasteKeys) {
  struct Row {
    int pasteCmd;
    Keys keys;
    const char* edit;
  } rows[] = {
      {0, {kCtrlDown, {'V', false}, {'V', true}, kCtrlUp}, "pasted text"},
      {1, {kShiftDown, {VK_INSERT, false}, {VK_INSERT, true}, kShiftUp}, "pasted text"},
      // An edit control does not paste on Ctrl+Y; the keys are what counts.
      {2, {kCtrlDown, {'Y', false}, {'Y', true}, kCtrlUp}, ""},
      {3, {}, ""},
      {-1, {}, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pasteCmd);
    ASSERT_TRUE(windows_.Activate());
    windows_.SetEditText("");
    ASSERT_TRUE(CopyTextToClip("pasted text", TRUE));
    g_keyLog.clear();
    g_nPasteCmd = r.pasteCmd;
    PasteText();
    Keys before;
    ASSERT_TRUE(windows_.DrainInput(before)) << "the input did not arrive";
    EXPECT_EQ(before, r.keys);
    EXPECT_EQ(windows_.EditText(), r.edit);
  }
}

TEST_F(HookDeliveryKeys, PastedMultiLineTextArrivesWhole) {
  ASSERT_TRUE(CopyTextToClip("line 1\r\nline 2", TRUE));
  PasteText();
  EXPECT_TRUE(WaitFor([&] {
    PumpMessages();
    return windows_.EditText() == "line 1\r\nline 2";
  }, 5000)) << windows_.EditText();
}

TEST_F(HookDeliveryKeys, CopyOnlyTypesNothing) {
  g_bCopyOnly = TRUE;
  ASSERT_TRUE(CopyTextToClip("pasted text", TRUE));
  PasteText();
  Keys before;
  ASSERT_TRUE(windows_.DrainInput(before));
  EXPECT_EQ(before, Keys());
  EXPECT_EQ(windows_.EditText(), "");
  EXPECT_EQ(ReadClipboard().text, "pasted text") << "the text stays for the user";
}

TEST_F(HookDeliveryKeys, WhileRecordingThePasteKeysAreBracketedByTheSuspensionKey) {
  g_bRecording = TRUE;
  ASSERT_TRUE(CopyTextToClip("pasted text", TRUE));
  PasteText();
  Keys before;
  ASSERT_TRUE(windows_.DrainInput(before));
  // Without the keyboard hook nobody swallows virtual key 0, so the edit
  // control sees the suspension press and release around the paste keys.
  EXPECT_EQ(before, (Keys{{0, false}, kCtrlDown, {'V', false}, {'V', true}, kCtrlUp, {0, true}}));
  EXPECT_EQ(windows_.EditText(), "pasted text");
}

TEST_F(HookDeliveryKeys, CutTextTypesTheConfiguredCutKeys) {
  struct Row {
    int cutCmd;
    Keys keys;
    bool cuts;
  } rows[] = {
      {0, {kCtrlDown, {'X', false}, {'X', true}, kCtrlUp}, true},
      {1, {kShiftDown, {VK_DELETE, false}, {VK_DELETE, true}, kShiftUp}, true},
      {2, {kCtrlDown, {'W', false}, {'W', true}, kCtrlUp}, false},
      {7, {}, false},
  };
  // Copy-only is about pasting; cutting goes on.
  g_bCopyOnly = TRUE;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cutCmd);
    ASSERT_TRUE(windows_.Activate());
    windows_.SetEditText("hello world", 6, 11);
    ASSERT_TRUE(PutBefore());
    g_keyLog.clear();
    g_nCutCmd = r.cutCmd;
    CutText();
    Keys before;
    ASSERT_TRUE(windows_.DrainInput(before));
    EXPECT_EQ(before, r.keys);
    EXPECT_EQ(windows_.EditText(), r.cuts ? "hello " : "hello world");
    EXPECT_EQ(ReadClipboard().text, r.cuts ? "world" : "before");
  }
}

}  // namespace
