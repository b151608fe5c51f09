// The paste method per program across real processes: this test program
// stands in for the resident program (history store, settings, hooks, and a
// window of the resident's class on a thread of its own that answers the
// hooks' request to type); real key presses open the stack menu inside the
// target, a key chooses an entry, and the text arrives by the method its
// program has on the list: keys, or typed as characters.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "history_store_win.h"
#include "paste_methods/typing_keys_win.h"
#include "paste_methods/typing_win.h"
#include "paste_programs.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "typing_request.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

volatile LONG g_typeRequests = 0;
// A key the user holds down while the text is typed (0: none).
volatile LONG g_keyHeldWhileTyping = 0;
// Virtual keys of the key records a recording sent to the resident window.
volatile LONG g_recordedKeys[256] = {};
// How the last text typed ended, and its steps; -1 before any end.
volatile LONG g_typingEnd = -1;
volatile LONG g_typedSteps = 0;
volatile LONG g_tooLong = 0;

app::Typist g_typist;
constexpr UINT kMsgStopTypist = WM_APP + 77;

// What the resident window does with the requests (main_frame_win.cpp).
LRESULT CALLBACK StandInProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA && lParam != 0) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data->dwData == kCopyDataTypeText) {
      InterlockedIncrement(&g_typeRequests);
      // Pressed before the first typed key and released after the last,
      // whatever ends the typing.
      const BYTE held = static_cast<BYTE>(g_keyHeldWhileTyping);
      if (held != 0) keybd_event(held, 0, 0, 0);
      const LRESULT taken = g_typist.OnRequest(*data);
      if (held != 0 && taken == 0) keybd_event(held, 0, KEYEVENTF_KEYUP, 0);
      return taken;
    }
    if (data->dwData == kCopyDataEventRecord && data->cbData == sizeof(EventRecord)) {
      const auto* r = static_cast<const EventRecord*>(data->lpData);
      if (r->kind == kEventKindKey) InterlockedIncrement(&g_recordedKeys[r->u.key.vk]);
    }
    return 1;
  }
  if (msg == app::kMsgTypingEnded) {
    if (g_keyHeldWhileTyping != 0) keybd_event(static_cast<BYTE>(g_keyHeldWhileTyping), 0, KEYEVENTF_KEYUP, 0);
    g_typist.Reap();
    g_typedSteps = static_cast<LONG>(lParam);
    g_typingEnd = static_cast<LONG>(app::TypingEndOf(wParam));
    return 0;
  }
  if (msg == kMsgStopTypist) {
    // As the resident program's Exit does.
    g_typist.Stop();
    return 1;
  }
  if (msg == app::kMsgTypingTooLong) {
    g_tooLong = static_cast<LONG>(wParam);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The resident stand-in's own thread: the test's thread must stay free to
// press keys and to watch while the stand-in answers the hooks.
class ResidentThread {
 public:
  ResidentThread() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Main, this, 0, &threadId_);
    WaitForSingleObject(ready_, 10000);
  }
  ~ResidentThread() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 30000);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  HWND window() const { return window_; }

 private:
  static DWORD WINAPI Main(void* self) {
    auto* me = static_cast<ResidentThread*>(self);
    me->window_ = CreateResidentStandIn(StandInProc, WS_OVERLAPPED, nullptr, false);
    g_typist.SetWindow(me->window_);
    SetEvent(me->ready_);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    g_typist.Stop();
    if (me->window_ != nullptr) DestroyWindow(me->window_);
    return 0;
  }
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
};

void SetPasteList(std::initializer_list<std::pair<const char*, int32_t>> rows) {
  g_nPastePrograms = 0;
  int n = 0;
  for (const auto& row : rows) {
    std::memset(&g_PastePrograms[n], 0, sizeof g_PastePrograms[n]);
    std::strncpy(g_PastePrograms[n].program, row.first, kPasteProgramBytes - 1);
    g_PastePrograms[n].method = row.second;
    ++n;
  }
  g_nPastePrograms = n;
}

std::string ExeNameOf(DWORD pid) {
  char path[MAX_PATH] = {};
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (h == nullptr) return "";
  DWORD size = sizeof path;
  const bool ok = QueryFullProcessImageNameA(h, 0, path, &size) != 0;
  CloseHandle(h);
  return ok ? ProgramFileName(path) : "";
}

// Text of an edit control as bytes of the ANSI code page.
std::string EditBytes(HWND edit) {
  const LRESULT n = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(n) * 2 + 1, '\0');
  const LRESULT got = SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(got));
  return text;
}

// GetWindowTextLength does not ask a window of another process.
int EditLength(HWND edit) { return static_cast<int>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)); }

std::string Hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out;
}

class PasteMethodJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RunsInExpectedCodePage());
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
    g_typeRequests = 0;
    g_typingEnd = -1;
    g_typedSteps = 0;
    g_tooLong = 0;
    g_keyHeldWhileTyping = 0;
    ASSERT_NE(resident_.window(), nullptr);
    ASSERT_TRUE(store_.CreateHistoryStore(50));
    for (const char* t : {"first", "second"}) store_.AddHistoryEntry(t);
    g_cfQuilloMarker = RegisterClipboardFormatA("Quillo Marker");
    g_nStackKey = 1;  // Ctrl twice
    g_nChangeKey = -1;
    g_nMenuPos = 1;
    g_nPasteCmd = 0;
    g_nCharNum = 30;
    g_bCopyOnly = 0;
    g_bMoveStackTop = 0;
    g_bCutLastRet2 = 0;
    g_bTyping = 0;
    for (auto& set : g_CustomMenuSet) {
      std::memset(&set, 0, sizeof set);
      set.trigger = -1;
    }
    ASSERT_EQ(SetHookProc(resident_.window()), 1);
  }

  void TearDown() override {
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0) << "Caps Lock left on for the tests after";
    for (Handle32<HHOOK>* h : {&g_hKeyHook, &g_hMouseHook, &g_hSysMsgHook}) {
      if (*h != nullptr) UnhookWindowsHookEx(*h);
      *h = nullptr;
    }
    PublishResidentWindow(nullptr);
    g_nStackKey = g_nChangeKey = g_nMenuPos = g_nCharNum = g_nPasteCmd = 0;
    g_nPastePrograms = 0;
    notepad_.Kill();
    target_.Kill();
    store_.CloseHistoryStore();
    g_nNumClipHistory = 0;
  }

  // Starts Wine's notepad and waits for it in front; its edit control.
  HWND StartNotepad() {
    notepad_ = Process::Start("notepad.exe");
    if (!notepad_.valid()) return nullptr;
    HWND edit = nullptr;
    WaitFor([&] {
      HWND front = GetForegroundWindow();
      char cls[32] = {};
      GetClassNameA(front, cls, sizeof cls);
      if (lstrcmpiA(cls, "Notepad") != 0) return false;
      edit = FindWindowExA(front, nullptr, "Edit", nullptr);
      GetWindowThreadProcessId(front, &targetPid_);
      return edit != nullptr;
    });
    return edit;
  }

  // Ctrl twice, the stack menu in the target, and the access key of entry `key`.
  bool Choose(char key) {
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
    if (!WaitFor([&] { return OpenMenuOf(targetPid_) != nullptr; })) return false;
    Tap(static_cast<BYTE>(key));
    return true;
  }

  ProgramFolder folder_;
  HistoryStore store_{GetModuleHandleA(nullptr), folder_.path()};
  ResidentThread resident_;
  Process notepad_;
  Process target_;
  DWORD targetPid_ = 0;
};

TEST_F(PasteMethodJourney, ProgramListedWithShiftInsertGetsShiftInsert_UnlistedItKeepsPasteCmd) {
  // Ctrl+Y pastes nothing into an edit control: only the list's Shift+Insert can.
  g_nPasteCmd = 2;
  target_ = StartChild("EditTarget");
  ASSERT_TRUE(target_.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kTargetClass, kTargetTitle);
    return window != nullptr && GetForegroundWindow() == window;
  }));
  GetWindowThreadProcessId(window, &targetPid_);
  const HWND edit = GetDlgItem(window, kTargetEditId);
  SetPasteList({{"notepad.exe", kPasteType}, {"QUILLO_WINE_TESTS.EXE", kPasteShiftInsert}});
  ASSERT_TRUE(Choose('2'));  // "&2: first"
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "first"; })) << WindowText(edit);

  // Off the list: Ctrl+Y, which this edit ignores. A Z typed after the
  // choice arrives behind whatever the choice pressed, so once it is there
  // the paste has had its chance.
  SetWindowTextA(edit, "");
  SetPasteList({{"notepad.exe", kPasteType}});
  ASSERT_TRUE(Choose('2'));
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(targetPid_) == nullptr; }));
  Tap('Z');
  ASSERT_TRUE(WaitFor([&] { return !WindowText(edit).empty(); }));
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "z" || WindowText(edit) == "Z"; }, 500))
      << WindowText(edit);
  EXPECT_EQ(g_typeRequests, 0);
}

TEST_F(PasteMethodJourney, NotepadOffTheListKeepsCtrlV) {
  SetPasteList({{"conhost.exe", kPasteType}, {"wineconsole.exe", kPasteType}, {"quillo_wine_tests.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr) << "notepad never came to the front";
  ASSERT_TRUE(Choose('1'));  // "&1: second"
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "second"; })) << WindowText(edit);
  EXPECT_EQ(g_typeRequests, 0) << "nothing was typed";
}

// A text typed into notepad arrives byte for byte, its line end as
// notepad's own CR LF: in 932 with double-byte characters whose trail bytes
// are a backslash and a bar, in 1252 with characters above 0x7F.
class PasteMethodTyping932 : public PasteMethodJourney {};

std::string TypedSample() {
  if (GetACP() == 932) {
    // 表示 ポン\r\n2行目\x81\x40end: 表 0x95 0x5C, ポ 0x83 0x7C, ideographic space.
    return "\x95\x5C\x8E\xA6 \x83\x7C\x83\x93\r\n2\x8D\x73\x96\xDA\x81\x40" "end";
  }
  return "Caf\xE9 \xA9 100%\r\nsecond line \xFC";
}

TEST_F(PasteMethodJourney, TypedIntoNotepadArrivesByteForByte) {
  SetPasteList({{"NOTEPAD.EXE", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr) << "notepad never came to the front";
  const std::string text = TypedSample();
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  EXPECT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 20000))
      << "got " << Hex(EditBytes(edit)) << "\nwanted " << Hex(text);
  EXPECT_EQ(g_typeRequests, 1) << "the hook in notepad hands the typing to the resident program";
  EXPECT_EQ(g_bTyping, 0);
}

TEST_F(PasteMethodTyping932, TypedIntoNotepadArrivesByteForByte) {
  ASSERT_EQ(GetACP(), 932u);
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr) << "notepad never came to the front";
  const std::string text = TypedSample();
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  EXPECT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 20000))
      << "got " << Hex(EditBytes(edit)) << "\nwanted " << Hex(text);
}

// A macro recorded while a text is typed gets none of the typed keys: the
// text's letters and Enter are never recorded, while the user's keys
// around it are (the proof that the recording was on).
TEST_F(PasteMethodJourney, RecordingWhileTypingRecordsNoneOfTheTypedKeys) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = "QZQZ\r\nJXJX";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  for (auto& n : g_recordedKeys) n = 0;
  g_bRecKey = 1;
  ASSERT_EQ(MacroRecording(TRUE), 1);
  ASSERT_TRUE(Choose('1'));
  const bool typed = WaitFor([&] { return EditBytes(edit) == text; }, 20000);
  Tap('K');  // the user's own key after the text
  WaitFor([&] { return g_recordedKeys['K'] != 0; }, 5000);
  MacroRecording(FALSE);
  g_bRecKey = 0;
  ASSERT_TRUE(typed) << Hex(EditBytes(edit));
  EXPECT_GT(g_recordedKeys['K'], 0) << "the recording saw the user's key";
  for (int vk : {int{'Q'}, int{'Z'}, int{'J'}, int{'X'}, VK_RETURN, VK_SHIFT, 0xE7}) EXPECT_EQ(g_recordedKeys[vk], 0) << "vk " << vk;
}

// A console made for cmd, and the process of its window.
struct ConsoleCmd {
  PROCESS_INFORMATION pi = {};
  bool Start() {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    char line[] = "cmd.exe /k prompt $G";
    return CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si, &pi) !=
           0;
  }
  ~ConsoleCmd() {
    if (pi.hProcess != nullptr) {
      TerminateProcess(pi.hProcess, 0);
      WaitForSingleObject(pi.hProcess, 5000);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
};

// Reads the screen buffer of process args[0]'s console into file args[1]
// as UTF-16: attached to a console of its own, this child never disturbs
// the test program's output.
QUILLO_CHILD(ConsoleScreen) {
  if (args.size() != 2) return 2;
  FreeConsole();
  if (!AttachConsole(static_cast<DWORD>(std::strtoul(args[0].c_str(), nullptr, 10)))) return 3;
  HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 4;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(out, &info)) return 5;
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  std::vector<wchar_t> text(cells + 1);
  DWORD read = 0;
  if (!ReadConsoleOutputCharacterW(out, text.data(), cells, COORD{0, 0}, &read)) return 6;
  std::vector<unsigned char> bytes(reinterpret_cast<unsigned char*>(text.data()),
                                   reinterpret_cast<unsigned char*>(text.data() + read));
  return WriteFileBytes(args[1], bytes) ? 0 : 7;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring out(ansi.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &out[0],
                                    static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

BOOL CALLBACK PrintWindow(HWND w, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  std::printf("[ window ] %p class \"%s\" program \"%s\" visible %d\n", static_cast<void*>(w), cls,
              ExeNameOf(pid).c_str(), IsWindowVisible(w) ? 1 : 0);
  return TRUE;
}

TEST_F(PasteMethodJourney, TypedIntoWineConsoleRunningCmd) {
  SetPasteList({{"conhost.exe", kPasteType}, {"wineconsole.exe", kPasteType}});
  ConsoleCmd cmd;
  ASSERT_TRUE(cmd.Start());
  // The console's window belongs to the process that keeps the console,
  // not to cmd: found as the window in front that is neither ours nor the
  // desktop's.
  HWND front = nullptr;
  const bool shown = WaitFor([&] {
    front = GetForegroundWindow();
    if (front == nullptr) return false;
    GetWindowThreadProcessId(front, &targetPid_);
    const std::string exe = ExeNameOf(targetPid_);
    return targetPid_ != GetCurrentProcessId() && lstrcmpiA(exe.c_str(), "explorer.exe") != 0;
  }, 20000);
  if (!shown) {
    EnumWindows(PrintWindow, 0);
  }
  ASSERT_TRUE(shown) << "no console window came to the front";
  char cls[64] = {};
  GetClassNameA(front, cls, sizeof cls);
  const std::string owner = ExeNameOf(targetPid_);
  std::printf("[ finding ] cmd's console window: class \"%s\", program \"%s\"\n", cls, owner.c_str());
  RecordProperty("console_window_program", owner);
  // Two lines that only together print the mark twice: the first line must
  // have been entered for the second to expand it. Wine 8's console makes
  // its input from WM_KEYDOWN and WM_KEYUP alone, the character being what
  // ToUnicode gives for the key on the display's keyboard; its window
  // procedure leaves WM_CHAR to DefWindowProc. So only characters of the
  // keyboard arrive there, and no double-byte one: measured, "set
  // QMARK=\xE9-q" arrived as "set QMARK=-q", and of WM_CHAR 'W' and U+30A2
  // posted, 'U' and U+30A4 sent as themselves (VK_PACKET), WM_IME_CHAR 'I'
  // and U+30A6 and the key Z, only "z" reached cmd's line. The system's
  // console takes characters sent as themselves.
  const std::string mark = "Q7-q";
  const std::string text = "set QMARK=" + mark + "\r\necho [%QMARK%%QMARK%]\r\n";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  // The console takes a moment to show its prompt and to take keys.
  Sleep(500);
  ASSERT_TRUE(Choose('1')) << "no stack menu in the console";
  const std::string screenFile = folder_.file("screen.bin");
  const std::wstring wanted = Wide("[" + mark + mark + "]");
  std::wstring screen;
  const bool arrived = WaitFor([&] {
    if (RunChild("ConsoleScreen", std::to_string(cmd.pi.dwProcessId) + " \"" + screenFile + "\"") != 0) return false;
    const std::vector<unsigned char> bytes = ReadFileBytes(screenFile);
    screen.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return screen.find(wanted) != std::wstring::npos;
  }, 20000, 200);
  std::wstring visible = screen;
  for (size_t i = visible.size(); i > 0 && visible[i - 1] == L' '; --i) visible.resize(i - 1);
  EXPECT_TRUE(arrived) << "the console shows: " << std::string(visible.begin(), visible.end());
  EXPECT_EQ(g_typeRequests, 1);
}

// The keyboard's state when a text is typed changes none of it.

// Caps Lock on for the scope of the object, and off again however the test
// ends. Wine keeps the lock apart from the X server's, so only the keys sent
// here turn it.
class CapsLockOn {
 public:
  CapsLockOn() { Turn(true); }
  CapsLockOn(const CapsLockOn&) = delete;
  CapsLockOn& operator=(const CapsLockOn&) = delete;
  ~CapsLockOn() { Turn(false); }
  static bool On() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

 private:
  static void Turn(bool on) {
    if (On() == on) return;
    keybd_event(VK_CAPITAL, 0x3A, 0, 0);
    keybd_event(VK_CAPITAL, 0x3A, KEYEVENTF_KEYUP, 0);
    WaitFor([&] { return On() == on; }, 2000);
  }
};

TEST_F(PasteMethodJourney, CapsLockOn_MixedCaseTextKeepsItsCase) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = "Mixed CASE text, Caps Lock ON: aBcD 12\r\nxYz!";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  CapsLockOn caps;
  ASSERT_TRUE(CapsLockOn::On()) << "Caps Lock never came on";
  ASSERT_TRUE(Choose('1'));
  EXPECT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 20000))
      << "got " << EditBytes(edit) << "\nwanted " << text;
  EXPECT_EQ(g_typeRequests, 1);
}

// 0x08 would erase, 0x16 paste (an edit control takes it from the character
// too), 0x1A undo, and 0x1B is the user's stop: none reaches the program,
// and all the text after them arrives.
TEST_F(PasteMethodJourney, ControlCharactersAreLeftOut_NothingErasedAndTypingGoesToTheEnd) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  // Tab and the line ends of every kind, beside them, still go out.
  const std::string text =
      "abc\x08" "def\x16" "ghi\x1B" "jkl\x1A" "mno\x7F" "pqr\x03" "stu\r\nvwx\x1B\tyz\nA\x08\rB\x1B\x08";
  const std::string typed = "abcdefghijklmnopqrstu\r\nvwx\tyz\r\nA\r\nB";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  const bool arrived = WaitFor([&] { return EditBytes(edit) == typed; }, 20000);
  // Typing ends by itself at the end of the text, not at its Escape.
  EXPECT_TRUE(WaitFor([] { return g_bTyping == 0; }, 5000));
  EXPECT_TRUE(arrived) << "got " << Hex(EditBytes(edit)) << "\nwanted " << Hex(typed);
  // Nothing more comes after (a paste of the clipboard would).
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(EditBytes(edit), typed);
  EXPECT_EQ(g_typeRequests, 1);
}

// With Ctrl held, the keys of letters would be notepad's commands (Ctrl+A
// selects all, Ctrl+Z undoes, Ctrl+X cuts); with Alt held, its menus'
// access keys (Alt+F opens the File menu).
TEST_F(PasteMethodJourney, CtrlHeldWhileTyping_LettersAreNoCommands) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = "Quick Jazz, Axe.\r\nWe mix 42\tend";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  g_keyHeldWhileTyping = VK_CONTROL;
  ASSERT_TRUE(Choose('1'));
  EXPECT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 20000))
      << "got " << Hex(EditBytes(edit)) << "\nwanted " << Hex(text);
  EXPECT_TRUE(WaitFor([] { return g_bTyping == 0; }, 5000));
  EXPECT_GE(GetAsyncKeyState(VK_CONTROL), 0) << "Ctrl left down";
}

TEST_F(PasteMethodJourney, AltHeldWhileTyping_LettersOpenNoMenu) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = "file, edit, help\r\nfine";
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  g_keyHeldWhileTyping = VK_MENU;
  ASSERT_TRUE(Choose('1'));
  EXPECT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 20000))
      << "got " << Hex(EditBytes(edit)) << "\nwanted " << Hex(text);
  EXPECT_TRUE(WaitFor([] { return g_bTyping == 0; }, 5000));
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(OpenMenuOf(targetPid_), nullptr) << "a menu of notepad opened";
  EXPECT_GE(GetAsyncKeyState(VK_MENU), 0) << "Alt left down";
}

// The key events of single steps on this thread's layout (Wine's: the X
// server's US keyboard), each marked for the hooks to know, and never more
// than the room given.
struct KeyEvent {
  WORD vk;
  WORD scan;  // the character, for one sent as itself
  DWORD flags;
  bool operator==(const KeyEvent& o) const { return vk == o.vk && scan == o.scan && flags == o.flags; }
};

std::vector<KeyEvent> Keys(const app::TypingStep& step, bool capsLock, size_t capacity = app::kMaxInputsPerStep) {
  constexpr ULONG_PTR kMark = 0x51A7;
  INPUT out[app::kMaxInputsPerStep + 1];
  std::memset(out, 0xCD, sizeof out);
  const app::TypingKeyboard keyboard{GetKeyboardLayout(0), capsLock};
  const size_t n = app::KeysForStep(step, keyboard, kMark, out, capacity);
  std::vector<KeyEvent> events;
  for (size_t i = 0; i < n && i < app::kMaxInputsPerStep; ++i) {
    EXPECT_EQ(out[i].type, static_cast<DWORD>(INPUT_KEYBOARD));
    EXPECT_EQ(out[i].ki.dwExtraInfo, kMark) << "event " << i;
    // Scan codes of keys are the layout's; only a character's is compared.
    const bool unicode = (out[i].ki.dwFlags & KEYEVENTF_UNICODE) != 0;
    events.push_back({out[i].ki.wVk, unicode ? out[i].ki.wScan : WORD{0}, out[i].ki.dwFlags});
  }
  EXPECT_LE(n, capacity);
  return events;
}

constexpr DWORD kUp = KEYEVENTF_KEYUP, kUni = KEYEVENTF_UNICODE;
using Events = std::vector<KeyEvent>;

TEST(TypingKeys, StepsOnTheUsLayout_AsKeysOrAsThemselves) {
  ASSERT_TRUE(GetAsyncKeyState(VK_SHIFT) >= 0 && GetAsyncKeyState(VK_CONTROL) >= 0 && GetAsyncKeyState(VK_MENU) >= 0);
  const app::TypingStep capital{app::TypingStep::kCharacter, {u'A', 0}, 1};
  EXPECT_EQ(Keys(capital, false), (Events{{VK_SHIFT, 0, 0}, {'A', 0, 0}, {'A', 0, kUp}, {VK_SHIFT, 0, kUp}}));
  EXPECT_EQ(Keys(capital, true), (Events{{0, u'A', kUni}, {0, u'A', kUni | kUp}}));
  const app::TypingStep tab{app::TypingStep::kCharacter, {u'\t', 0}, 1};
  EXPECT_EQ(Keys(tab, true), (Events{{VK_TAB, 0, 0}, {VK_TAB, 0, kUp}}));
  const app::TypingStep enter{app::TypingStep::kEnter, {0, 0}, 0};
  EXPECT_EQ(Keys(enter, true), (Events{{VK_RETURN, 0, 0}, {VK_RETURN, 0, kUp}}));
  const app::TypingStep pair{app::TypingStep::kCharacter, {0xD83D, 0xDE00}, 2};
  EXPECT_EQ(Keys(pair, false),
            (Events{{0, 0xD83D, kUni}, {0, 0xDE00, kUni}, {0, 0xD83D, kUni | kUp}, {0, 0xDE00, kUni | kUp}}));
  const app::TypingStep eAcute{app::TypingStep::kCharacter, {0x00E9, 0}, 1};  // on no key of the US layout
  EXPECT_EQ(Keys(eAcute, false), (Events{{0, 0x00E9, kUni}, {0, 0x00E9, kUni | kUp}}));

  // Nothing at all when the room is short of a whole step, or for no step.
  EXPECT_TRUE(Keys(capital, false, app::kMaxInputsPerStep - 1).empty());
  EXPECT_TRUE(Keys({app::TypingStep::kNone, {0, 0}, 0}, false).empty());
}

TEST(TypingKeys, HeldCtrlSendsTheCharacterItself_HeldAltIsReleasedBehindAMaskKeyFirst) {
  const app::TypingStep letter{app::TypingStep::kCharacter, {u'a', 0}, 1};
  keybd_event(VK_CONTROL, 0, 0, 0);
  const bool ctrlSeen = WaitFor([] { return GetAsyncKeyState(VK_CONTROL) < 0; }, 2000);
  const Events withCtrl = Keys(letter, false);
  keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(ctrlSeen);
  EXPECT_EQ(withCtrl, (Events{{0, u'a', kUni}, {0, u'a', kUni | kUp}}));

  keybd_event(VK_MENU, 0, 0, 0);
  const bool altSeen = WaitFor([] { return GetAsyncKeyState(VK_MENU) < 0; }, 2000);
  const Events withAlt = Keys(letter, false);
  keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(altSeen);
  EXPECT_EQ(withAlt, (Events{{0xE8, 0, 0}, {0xE8, 0, kUp}, {VK_LMENU, 0, kUp}, {'A', 0, 0}, {'A', 0, kUp}}));
  EXPECT_TRUE(WaitFor([] { return GetAsyncKeyState(VK_MENU) >= 0 && GetAsyncKeyState(VK_CONTROL) >= 0; }, 2000));
}

// 20 KB of text (the size of a history entry) typed into notepad: the rate,
// and how soon a Pause stops it.
std::string LongText(size_t bytes) {
  std::string text;
  while (text.size() + 1 < bytes) {
    const size_t line = text.size() / 64;
    char row[80];
    std::snprintf(row, sizeof row, "line %05zu abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ..\r\n", line);
    text += row;
  }
  text.resize(bytes - 1);
  if (text.back() == '\r') text.back() = '.';
  return text;
}

// A window that counts the Escape and Pause key messages its edit control
// gets, in its caption ("keys N"): the keys that stop typing must be kept
// from the program, where Escape would cancel a dialog or empty a line.
constexpr char kKeyLogClass[] = "QuilloKeyLogTarget";
WNDPROC g_editProc = nullptr;
int g_stopKeys = 0;

LRESULT CALLBACK KeyLogEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if ((msg == WM_KEYDOWN || msg == WM_KEYUP) && (wParam == VK_ESCAPE || wParam == VK_PAUSE)) {
    char title[32];
    std::snprintf(title, sizeof title, "keys %d", ++g_stopKeys);
    SetWindowTextA(GetParent(hwnd), title);
  }
  return CallWindowProcA(g_editProc, hwnd, msg, wParam, lParam);
}

// Posted to the key-log window: a second window of the same thread comes to
// the front, with an edit control of its own in focus.
constexpr UINT kMsgShowSecondWindow = WM_APP + 5;
constexpr char kSecondTitle[] = "second window";

LRESULT CALLBACK KeyLogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgShowSecondWindow) {
    HWND second = CreateWindowExA(0, "QuilloKeyLogSecond", kSecondTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 150,
                                  300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150, second,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTargetEditId)),
                                GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(second);
    SetFocus(edit);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

QUILLO_CHILD(KeyLogTarget) {
  (void)args;
  WNDCLASSA second = {};
  second.lpfnWndProc = DefWindowProcA;
  second.hInstance = GetModuleHandleA(nullptr);
  second.lpszClassName = "QuilloKeyLogSecond";
  RegisterClassA(&second);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = KeyLogProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kKeyLogClass;
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, kKeyLogClass, "keys 0", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 260,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (hwnd == nullptr) return 2;
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 380, 200,
                              hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTargetEditId)), wc.hInstance,
                              nullptr);
  if (edit == nullptr) return 3;
  g_editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeyLogEditProc)));
  SetForegroundWindow(hwnd);
  SetFocus(edit);
  return RunTargetLoop(hwnd);
}

TEST_F(PasteMethodJourney, EscapeAndPauseStopTypingAndNeverReachTheProgram) {
  SetPasteList({{"quillo_wine_tests.exe", kPasteType}});
  target_ = StartChild("KeyLogTarget");
  ASSERT_TRUE(target_.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kKeyLogClass, nullptr);
    return window != nullptr && GetForegroundWindow() == window && GetDlgItem(window, kTargetEditId) != nullptr;
  }));
  GetWindowThreadProcessId(window, &targetPid_);
  const HWND edit = GetDlgItem(window, kTargetEditId);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  for (BYTE key : {BYTE{VK_ESCAPE}, BYTE{VK_PAUSE}}) {
    SetWindowTextA(edit, "");
    g_typingEnd = -1;
    ASSERT_TRUE(Choose('1')) << "key " << int{key};
    ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 50; }, 20000))
        << "typing never started: requests " << g_typeRequests << ", end " << g_typingEnd << ", length "
        << EditLength(edit) << ", edit " << static_cast<void*>(edit);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000)) << "typing went on after key " << int{key};
    EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kStopped));
    // A key the program got is in its caption by the time the typed
    // characters after it are in its edit control.
    int length = -1;
    WaitFor([&] {
      const int now = EditLength(edit);
      const bool settled = now == length;
      length = now;
      return settled;
    }, 5000, 300);
    EXPECT_EQ(WindowText(window), "keys 0") << "key " << int{key} << " reached the program";
    EXPECT_LT(static_cast<size_t>(length), text.size() / 2);
  }
}

// A resident program that died while typing leaves the flag set in the
// shared block: without a living typist's beat, the hooks of every program
// must not go on taking Escape and Pause.
TEST_F(PasteMethodJourney, AFlagLeftByATypistThatDiedTakesNoKeys) {
  target_ = StartChild("KeyLogTarget");
  ASSERT_TRUE(target_.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kKeyLogClass, nullptr);
    return window != nullptr && GetForegroundWindow() == window && GetDlgItem(window, kTargetEditId) != nullptr;
  }));
  g_nTypingBeat = GetTickCount() - 10000;
  g_bTyping = 1;
  Tap(VK_ESCAPE);
  const bool reached = WaitFor([&] { return WindowText(window) == "keys 2"; }, 5000);
  g_bTyping = 0;
  EXPECT_TRUE(reached) << WindowText(window);
  EXPECT_EQ(g_bStopTyping, 0);
}

TEST_F(PasteMethodJourney, PauseStopsA20KbTextLongBeforeItsEnd) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 300; }, 20000)) << "typing never started";
  ASSERT_EQ(g_bTyping, 1);
  const int atPress = EditLength(edit);
  const DWORD pressed = GetTickCount();
  keybd_event(VK_PAUSE, 0, 0, 0);
  keybd_event(VK_PAUSE, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(WaitFor([&] { return g_bTyping == 0; }, 5000, 1)) << "typing went on after Pause";
  const DWORD stopMs = GetTickCount() - pressed;
  // What was sent before the stop still arrives: wait until notepad is done.
  int length = -1;
  WaitFor([&] {
    const int now = EditLength(edit);
    const bool settled = now == length;
    length = now;
    return settled;
  }, 5000, 300);
  std::printf("[ figure ] Pause stopped typing %lu ms after it was pressed, at %d of %zu bytes, "
              "%d of them after the press\n",
              static_cast<unsigned long>(stopMs), length, text.size(), length - atPress);
  RecordProperty("typing_stop_ms", static_cast<int>(stopMs));
  EXPECT_LT(static_cast<size_t>(length), text.size() / 2);
  EXPECT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000));
  EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kStopped)) << "stopped by the key, for no other reason";
  // What arrived is the text's start, nothing else in between.
  EXPECT_EQ(EditBytes(edit), text.substr(0, static_cast<size_t>(length)));
}

// Keys go to whatever window is in front: once another one comes there, the
// rest of the text must not follow it. The other window gets nothing, and
// the resident program learns why typing ended, to tell the user.
TEST_F(PasteMethodJourney, AnotherWindowInFrontStopsTypingAndGetsNothing) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 100; }, 20000)) << "typing never started";
  target_ = StartChild("EditTarget");
  ASSERT_TRUE(target_.valid());
  HWND other = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    other = FindWindowA(kTargetClass, kTargetTitle);
    return other != nullptr && GetForegroundWindow() == other;
  }, 10000)) << "the other window never came in front";
  ASSERT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000)) << "typing went on";
  EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kTargetLeftFront));
  EXPECT_EQ(g_bTyping, 0);
  // Keys already on their way when the window changed may still land; the
  // typist stops at its next batch, two characters later at most.
  Sleep(500);
  const std::string got = WindowText(GetDlgItem(other, kTargetEditId));
  EXPECT_LE(got.size(), 2u) << "the other window got \"" << got << "\"";
  EXPECT_LT(static_cast<size_t>(EditLength(edit)), text.size() / 2);
}

// A program's windows may share one thread (a browser's, an explorer's): a
// second window of the target's thread coming in front stops typing as well.
TEST_F(PasteMethodJourney, AnotherWindowOfTheSameThreadStopsTypingAndGetsNothing) {
  SetPasteList({{"quillo_wine_tests.exe", kPasteType}});
  target_ = StartChild("KeyLogTarget");
  ASSERT_TRUE(target_.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kKeyLogClass, nullptr);
    return window != nullptr && GetForegroundWindow() == window && GetDlgItem(window, kTargetEditId) != nullptr;
  }));
  GetWindowThreadProcessId(window, &targetPid_);
  const HWND edit = GetDlgItem(window, kTargetEditId);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 50; }, 20000)) << "typing never started";
  PostMessageA(window, kMsgShowSecondWindow, 0, 0);
  HWND second = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    second = FindWindowA("QuilloKeyLogSecond", kSecondTitle);
    return second != nullptr && GetForegroundWindow() == second;
  }, 10000)) << "the second window never came in front";
  ASSERT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000)) << "typing went on";
  EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kTargetLeftFront));
  Sleep(500);
  // Keys already in the thread's queue when its focus moved go to the new
  // focus: the typist's lead, a few characters, and never more.
  const std::string got = WindowText(GetDlgItem(second, kTargetEditId));
  EXPECT_LE(got.size(), 6u) << "the second window got \"" << got << "\"";
}

TEST_F(PasteMethodJourney, ItsWindowClosingStopsTyping) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 100; }, 20000)) << "typing never started";
  notepad_.Kill();
  ASSERT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000)) << "typing went on";
  EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kTargetGone));
  EXPECT_LT(g_typedSteps, 19000);
  EXPECT_EQ(g_bTyping, 0);
}

// The end of the program stops a text being typed and waits for no more than
// the typist's next look at its flag: Exit never waits minutes for a text.
TEST_F(PasteMethodJourney, StoppingTheTypistEndsTypingAtOnce) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 50; }, 20000)) << "typing never started";
  DWORD_PTR stopped = 0;
  const DWORD start = GetTickCount();
  ASSERT_NE(SendMessageTimeoutA(resident_.window(), kMsgStopTypist, 0, 0, SMTO_NORMAL, 20000, &stopped), 0);
  const DWORD ms = GetTickCount() - start;
  EXPECT_EQ(g_bTyping, 0);
  EXPECT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000));
  EXPECT_EQ(g_typingEnd, static_cast<LONG>(app::TypingEnd::kShutDown)) << "ended for another reason";
  std::printf("[ figure ] the typist stopped %lu ms after it was asked\n", static_cast<unsigned long>(ms));
  int length = -1;
  WaitFor([&] {
    const int now = EditLength(edit);
    const bool settled = now == length;
    length = now;
    return settled;
  }, 5000, 300);
  EXPECT_LT(static_cast<size_t>(length), text.size() / 2);
}

// A text longer than typing is meant for is refused with a word to the user
// (told after the hook has its answer), and nothing of it is typed.
TEST_F(PasteMethodJourney, ATextTooLongToTypeIsToldAndNothingIsTyped) {
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  std::string block(sizeof(TypingRequestHeader), '\0');
  const TypingRequestHeader header{static_cast<uint32_t>(reinterpret_cast<uintptr_t>(edit)), 0};
  std::memcpy(&block[0], &header, sizeof header);
  block += std::string(kMaxTypedBytes + 1, 'x');
  COPYDATASTRUCT data{kCopyDataTypeText, static_cast<DWORD>(block.size()), &block[0]};
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutA(resident_.window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                                5000, &answer),
            0);
  EXPECT_EQ(answer, 1u) << "the refusal is the resident's to tell, not the hook's beep";
  EXPECT_TRUE(WaitFor([&] { return g_tooLong != 0; }, 5000)) << "the user was not told";
  EXPECT_EQ(g_bTyping, 0);
  Sleep(300);
  EXPECT_EQ(EditLength(edit), 0);
}

// One text is typed at a time: a request made meanwhile is refused, and the
// first goes on to its end or its stop.
TEST_F(PasteMethodJourney, ARequestWhileTypingIsRefusedAndTheFirstGoesOn) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const std::string text = LongText(20000);
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 50; }, 20000)) << "typing never started";
  std::string block(sizeof(TypingRequestHeader), '\0');
  const TypingRequestHeader header{static_cast<uint32_t>(reinterpret_cast<uintptr_t>(edit)), 0};
  std::memcpy(&block[0], &header, sizeof header);
  block += "SECOND";
  COPYDATASTRUCT data{kCopyDataTypeText, static_cast<DWORD>(block.size()), &block[0]};
  DWORD_PTR answer = 99;
  ASSERT_NE(SendMessageTimeoutA(resident_.window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                                5000, &answer),
            0);
  EXPECT_EQ(answer, 0u) << "a second text was taken while one is typed";
  const int before = EditLength(edit);
  EXPECT_TRUE(WaitFor([&] { return EditLength(edit) > before + 20; }, 10000)) << "the first text stopped";
  EXPECT_EQ(g_typingEnd, -1);
  keybd_event(VK_PAUSE, 0, 0, 0);
  keybd_event(VK_PAUSE, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(WaitFor([&] { return g_typingEnd >= 0; }, 5000));
  WaitFor([&] { return false; }, 300);
  EXPECT_EQ(EditBytes(edit).find("SECOND"), std::string::npos);
}

// Wine's notepad takes characters in slowly (100-200 a second on the test
// machine; the typist follows its pace), so the figure comes from 3,000
// bytes (QUILLO_TYPED_BYTES for another size, up to a full entry) and the
// time of a full entry is reckoned from it.
TEST_F(PasteMethodJourney, ReportsTypingRateInNotepad) {
  SetPasteList({{"notepad.exe", kPasteType}});
  const HWND edit = StartNotepad();
  ASSERT_NE(edit, nullptr);
  const char* size = std::getenv("QUILLO_TYPED_BYTES");
  const int bytes = size != nullptr ? std::atoi(size) : 3000;
  ASSERT_TRUE(bytes > 1 && bytes <= 20480);
  const std::string text = LongText(static_cast<size_t>(bytes));
  ASSERT_TRUE(store_.AddHistoryEntry(text.c_str()));
  ASSERT_TRUE(Choose('1'));
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 0; }, 20000))
      << "requests " << g_typeRequests << " typing " << g_bTyping << " boxes " << MessageBoxWatcher::Instance().Take().size();
  const DWORD start = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return EditBytes(edit) == text; }, 250000, 50))
      << "got " << EditLength(edit) << " of " << text.size() << " bytes";
  const DWORD ms = GetTickCount() - start;
  const double rate = ms == 0 ? 0 : text.size() * 1000.0 / ms;
  std::printf("[ figure ] %zu bytes typed into notepad in %lu ms: %.0f characters per second; "
              "a full entry of 20,479 bytes: %.0f s\n",
              text.size(), static_cast<unsigned long>(ms), rate, rate > 0 ? 20479 / rate : 0.0);
  RecordProperty("typing_chars_per_second", static_cast<int>(rate));
}

}  // namespace
}  // namespace quillo::wine

namespace quillo::wine {
namespace {

constexpr char kPasteMethodsKey[] = "Software\\Veltrane Soft\\Quillo\\PasteMethods";

// The real program reads the list from the registry: a bad entry is told in
// one box and left out, the good ones reach the shared block, and the next
// save keeps only what was read.
TEST_F(Resident, BadPasteMethodEntriesAreToldOnceAndLeftOut) {
  WriteDword(kPasteMethodsKey, "Count", 3);
  WriteString(kPasteMethodsKey, "Program0", "cmd.exe Type");
  WriteString(kPasteMethodsKey, "Program1", "putty.exe=Shift+Insert");
  WriteString(kPasteMethodsKey, "Program2", "C:\\bin\\term.exe=Type");
  Start();
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  const std::vector<std::string> boxes = MessageBoxWatcher::Instance().Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Some paste methods"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("\"cmd.exe Type\" (Program0)"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("without a folder"), std::string::npos) << boxes[0];
  ASSERT_EQ(g_nPastePrograms, 1);
  EXPECT_STREQ(g_PastePrograms[0].program, "putty.exe");
  EXPECT_EQ(g_PastePrograms[0].method, kPasteShiftInsert);
  Stop();
  EXPECT_EQ(ReadDword(kPasteMethodsKey, "Count", 99), 1u);
}


// A key-stroke item into a program whose method is typing: the resident
// program types each text piece before it presses the item's next key, so
// the pieces and the keys keep their order. Ctrl+Y, which the edit ignores,
// is PasteCmd: only typing can bring the text. No wait between the steps,
// whose message pump would let a late request to type come first.
TEST_F(Resident, KeyStrokeItemIntoATypedProgramKeepsItsOrder) {
  WriteDword(kGeneralKey, "PasteCmd", 2);
  WriteDword(kGeneralKey, "KeyStrokeTimeLag", 0);
  WriteDword(kPasteMethodsKey, "Count", 1);
  WriteString(kPasteMethodsKey, "Program0", "quillo_wine_tests.exe=Type");
  Process target;
  const HWND edit = PlayKeyStrokeItem(target);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "abc\r\ndef"; }, 10000)) << WindowText(edit);
  EXPECT_TRUE(MessageBoxWatcher::Instance().Take().empty());
}

// A key-stroke item whose typed piece is stopped goes no further: its keys
// and pieces after it would go wherever the focus is by then.
TEST_F(Resident, AKeyStrokeItemWhoseTypedPieceIsStoppedGoesNoFurther) {
  WriteDword(kGeneralKey, "PasteCmd", 2);
  WriteDword(kGeneralKey, "KeyStrokeTimeLag", 0);
  WriteDword(kPasteMethodsKey, "Count", 1);
  WriteString(kPasteMethodsKey, "Program0", "quillo_wine_tests.exe=Type");
  Start();
  ASSERT_NE(frame_, nullptr);
  Process target = StartChild("EditTarget");
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA(kTargetClass, kTargetTitle);
    return window != nullptr && GetForegroundWindow() == window;
  }));
  const HWND edit = GetDlgItem(window, kTargetEditId);
  const UINT marker = RegisterClipboardFormatA("Quillo Marker");
  // The long piece, Enter, then the piece "TAIL".
  const std::string item = LongText(3000) + "\x03" "TAIL";
  ASSERT_TRUE(PutClipboardText(item, marker, std::string("\x0d\x01\x00\x00", 4)));
  PostMessageA(frame_, WM_COMMAND, 32797, 0);
  ASSERT_TRUE(WaitFor([&] { return EditLength(edit) > 50; }, 20000)) << "typing never started";
  Tap(VK_PAUSE);
  int length = -1;
  WaitFor([&] {
    const int now = EditLength(edit);
    const bool settled = now == length;
    length = now;
    return settled;
  }, 5000, 500);
  EXPECT_LT(length, 2999);
  EXPECT_EQ(WindowText(edit).find("TAIL"), std::string::npos) << "the item went on after its piece was stopped";
  target.Kill();
}

// The real program with notepad on its list: a long text chosen from the
// stack menu is being typed; `edit` is notepad's edit control.
class ResidentTyping : public Resident {
 protected:
  HWND StartTypingIntoNotepad(const std::string& text) {
    WriteDword(kPasteMethodsKey, "Count", 1);
    WriteString(kPasteMethodsKey, "Program0", "notepad.exe=Type");
    Start();
    if (frame_ == nullptr) return nullptr;
    notepad_ = Process::Start("notepad.exe");
    HWND front = nullptr, edit = nullptr;
    if (!WaitFor([&] {
          front = GetForegroundWindow();
          char cls[32] = {};
          GetClassNameA(front, cls, sizeof cls);
          edit = lstrcmpiA(cls, "Notepad") == 0 ? FindWindowExA(front, nullptr, "Edit", nullptr) : nullptr;
          return edit != nullptr;
        })) {
      return nullptr;
    }
    // Notepad copies its own selection: the text enters the history.
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_COPY, 0, 0);
    if (!HistoryBecomes({text})) return nullptr;
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    DWORD pid = 0;
    GetWindowThreadProcessId(front, &pid);
    Tap(VK_CONTROL);
    Tap(VK_CONTROL);
    if (!WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) return nullptr;
    Tap('1');
    if (!WaitFor([&] { return EditLength(edit) > 50; }, 20000)) return nullptr;
    return edit;
  }
  void TearDown() override {
    notepad_.Kill();
    other_.Kill();
    Resident::TearDown();
  }
  Process notepad_;
  Process other_;
};

// The rest of the text never follows another window in front, and the user
// learns how far it got.
TEST_F(ResidentTyping, AnotherWindowInFrontStopsTypingAndTheUserIsTold) {
  const std::string text = LongText(5000);
  const HWND edit = StartTypingIntoNotepad(text);
  ASSERT_NE(edit, nullptr) << "typing into notepad never started";
  MessageBoxWatcher::Instance().Take();
  other_ = StartChild("EditTarget");
  ASSERT_TRUE(other_.valid());
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1)) << "nobody was told";
  const std::vector<std::string> boxes = MessageBoxWatcher::Instance().Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Typing stopped after"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("another window came in front"), std::string::npos) << boxes[0];
  EXPECT_LT(static_cast<size_t>(EditLength(edit)), text.size());
}

// Exit while a full entry is typed (minutes of typing) ends the program at
// once and the typing with it.
TEST_F(ResidentTyping, ExitWhileTypingEndsTheProgramAtOnce) {
  const std::string text = LongText(20000);
  const HWND edit = StartTypingIntoNotepad(text);
  ASSERT_NE(edit, nullptr) << "typing into notepad never started";
  const int atExit = EditLength(edit);
  const DWORD start = GetTickCount();
  Stop();
  const DWORD ms = GetTickCount() - start;
  std::printf("[ figure ] Exit while typing: the program ended %lu ms after it was asked\n",
              static_cast<unsigned long>(ms));
  int length = -1;
  WaitFor([&] {
    const int now = EditLength(edit);
    const bool settled = now == length;
    length = now;
    return settled;
  }, 5000, 300);
  // What was under way at Exit (a lead of a few characters) arrives, and
  // nothing more: a typist that outlived the window's end by seconds would
  // have typed hundreds.
  EXPECT_LE(length - atExit, 40) << "characters typed after Exit";
  EXPECT_EQ(g_bTyping, 0);
}

}  // namespace
}  // namespace quillo::wine
