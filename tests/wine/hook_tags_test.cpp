// The tags' Win32 side driven for real: the expansion runs on this thread and
// opens its pickers and dialogs here, while a second thread finds them on the
// desktop, types into them with synthesised keys and reads back what they show.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "process_state.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "tag_dialogs_res.h"
#include "tag_host_win.h"
#include "tags.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using hook::ExpandItemTags;
using hook::ExpandResult;
using hook::KeyStrokeList;
using hook::TagMode;
using Texts = std::vector<std::string>;

constexpr DWORD kDeadlineMs = 15000;
constexpr int kFilterCombo = 0x470;  // cmb1 of the common file dialogs

std::string WindowText(HWND hwnd) {
  char buffer[1024] = "";
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[64] = "";
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// A visible dialog of this process with the given title.
HWND FindOurDialog(const char* title) {
  HWND found = nullptr;
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", title); w != nullptr;
       w = FindWindowExA(nullptr, w, "#32770", title)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) found = w;
  }
  return found;
}

HWND WaitForDialog(const char* title) {
  HWND dialog = nullptr;
  WaitFor([&] { return (dialog = FindOurDialog(title)) != nullptr; }, kDeadlineMs);
  return dialog;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// Brings `dialog` to the front and waits until the keyboard focus is in an
// edit field inside it, so that synthesised keys land there.
HWND WaitForEditFocus(HWND dialog) {
  HWND focus = nullptr;
  WaitFor([&] {
    if (GetForegroundWindow() != dialog) SetForegroundWindow(dialog);
    focus = FocusOf(dialog);
    return GetForegroundWindow() == dialog && focus != nullptr && IsChild(dialog, focus) &&
           ClassOf(focus) == "Edit";
  }, kDeadlineMs);
  return focus;
}

void Key(BYTE vk, bool up) { keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0); }
void Press(BYTE vk) {
  Key(vk, false);
  Key(vk, true);
}
void PressWith(BYTE modifier, BYTE vk) {
  Key(modifier, false);
  Press(vk);
  Key(modifier, true);
}

// Types `text` as key strokes of the current keyboard layout.
void TypeText(const std::string& text) {
  for (char c : text) {
    const SHORT scan = VkKeyScanA(c);
    if (scan == -1) continue;
    const BYTE vk = LOBYTE(scan);
    if (HIBYTE(scan) & 1) {
      PressWith(VK_SHIFT, vk);
    } else {
      Press(vk);
    }
  }
}

// Types into the focused edit field of `dialog` and waits until it shows the text.
bool TypeInto(HWND dialog, const std::string& text) {
  HWND edit = WaitForEditFocus(dialog);
  if (edit == nullptr) return false;
  TypeText(text);
  return WaitFor([&] { return WindowText(edit) == text; }, kDeadlineMs);
}

// Every dialog the expansion may still have open on `thread` is cancelled, so
// that a driver that lost its way ends the test instead of hanging it.
BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM) {
  if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd)) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// Expands `body` on this thread while `drive` works the windows it opens.
ExpandResult ExpandWhileDriving(std::string& body, const std::function<void()>& drive) {
  const DWORD self = GetCurrentThreadId();
  std::atomic<bool> done(false);
  std::thread driver([&] {
    drive();
    if (!WaitFor([&] { return done.load(); }, kDeadlineMs)) {
      while (!done.load()) {
        EnumThreadWindows(self, CancelDialog, 0);
        Sleep(200);
      }
    }
  });
  KeyStrokeList keys;
  const ExpandResult result = ExpandItemTags(body, keys, TagMode::kPaste);
  done = true;
  driver.join();
  return result;
}

ExpandResult Expand(std::string& body) {
  KeyStrokeList keys;
  return ExpandItemTags(body, keys, TagMode::kPaste);
}

// This thread's windows keep working while the test waits.
bool PumpUntil(const std::function<bool()>& condition, DWORD ms = kDeadlineMs) {
  return quillo::wine::WaitWhilePumping(condition, ms);
}

// The application in front: a top-level window with an edit control, at a
// known place so that dialogs centred over it can be checked.
class FrontWindow {
 public:
  FrontWindow() {
    static const ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "QuilloTagsFront";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExA(0, "QuilloTagsFront", "Tags front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 90, 640,
                            420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    edit_ = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 400, 24, hwnd_,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
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
      return GetForegroundWindow() == hwnd_;
    });
  }

 private:
  HWND hwnd_ = nullptr;
  HWND edit_ = nullptr;
};

class TagsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    ASSERT_TRUE(front_.BringToFront());
    MessageBoxWatcher::Instance().Take();
  }
  void TearDown() override {
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "unexpected message boxes";
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.file(name);
    EXPECT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
    return path;
  }
  Texts TakeBoxes(size_t count) {
    EXPECT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(count));
    return MessageBoxWatcher::Instance().Take();
  }
  ProgramFolder folder_{std::initializer_list<const char*>()};
  FrontWindow front_;
};

// What a driver saw in a file picker before it answered it.
struct PickerView {
  bool found = false;
  std::string filter;  // the selected entry of the file-type list
  bool typed = false;
  bool closedByEscape = false;
};

// Finds the picker, reads its selected filter, then types `name` and Enter, or
// presses Escape when `name` is empty.
std::function<void()> AnswerFilePicker(PickerView& view, const std::string& name) {
  return [&view, name] {
    HWND dialog = WaitForDialog("Select File");
    view.found = dialog != nullptr;
    if (dialog == nullptr) return;
    HWND combo = GetDlgItem(dialog, kFilterCombo);
    char text[256] = "";
    const LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (sel >= 0 && SendMessageA(combo, CB_GETLBTEXTLEN, sel, 0) < static_cast<LRESULT>(sizeof text)) {
      SendMessageA(combo, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(text));
    }
    view.filter = text;
    if (name.empty()) {
      if (WaitForEditFocus(dialog) == nullptr) return;
      Press(VK_ESCAPE);
      view.closedByEscape = WaitFor([&] { return !IsWindow(dialog); }, kDeadlineMs);
      return;
    }
    view.typed = TypeInto(dialog, name);
    if (!view.typed) return;
    // Wine's file-name box can open its completion list on the typed name (or
    // lose the front for a moment): the first Enter then only closes the list.
    // Enter again while the dialog is still there, a few times at most.
    for (int i = 0; i < 3 && IsWindow(dialog); ++i) {
      if (GetForegroundWindow() != dialog) SetForegroundWindow(dialog);
      Press(VK_RETURN);
      WaitFor([&] { return !IsWindow(dialog); }, 3000);
    }
  };
}

// ---- File, URL and pattern pickers ----

using HookTagsPickers = TagsFixture;

TEST_F(HookTagsPickers, FileNameTypedInFilePickerIsPastedWithItsStartFolder) {
  Write("notes.txt", "x");
  std::string body = "Path: [F1\"" + folder_.path() + "\"]";
  PickerView view;
  const ExpandResult r = ExpandWhileDriving(body, AnswerFilePicker(view, "notes.txt"));
  ASSERT_TRUE(view.found);
  EXPECT_TRUE(view.typed);
  EXPECT_EQ(view.filter, "All Files (*.*)");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(body, "Path: " + folder_.path() + "\\notes.txt");
}

TEST_F(HookTagsPickers, PatternArgumentSelectsSpecificFilterAndNameOnlyVariantCutsTheFolder) {
  Write("data.qtx", "x");
  std::string body = "[F2U\"" + folder_.path() + "\\*.qtx\"] done";
  PickerView view;
  const ExpandResult r = ExpandWhileDriving(body, AnswerFilePicker(view, "data.qtx"));
  ASSERT_TRUE(view.found);
  EXPECT_EQ(view.filter, "Specific files (*.qtx)");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(body, "DATA.QTX done");
}

TEST_F(HookTagsPickers, LinkVariantPreselectsLinkFilesAndEscapeCancelsSilently) {
  std::string body = "before [L1\"" + folder_.path() + "\"] after";
  PickerView view;
  const ExpandResult r = ExpandWhileDriving(body, AnswerFilePicker(view, ""));
  ASSERT_TRUE(view.found);
  EXPECT_EQ(view.filter, "Link Files (*.lnk)");
  EXPECT_TRUE(view.closedByEscape);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
}

TEST_F(HookTagsPickers, UrlPickerPastesTheShortcutsUrlWholeOrWithoutScheme) {
  Write("site.url", "[InternetShortcut]\r\nURL=  http://example.org/page?q=1  \r\n");
  Write("bare.url", "[InternetShortcut]\r\nIconIndex=0\r\n");
  struct Row {
    const char* tag;
    const char* file;
    const char* expected;
  } rows[] = {
      {"R1", "site.url", "url=http://example.org/page?q=1."},
      {"R2", "site.url", "url=example.org/page?q=1."},
      {"R1", "bare.url", "url=http://???."},
      {"R2", "bare.url", "url=???."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.tag) + " " + row.file);
    std::string body = std::string("url=[") + row.tag + "\"" + folder_.path() + "\"].";
    PickerView view;
    const ExpandResult r = ExpandWhileDriving(body, AnswerFilePicker(view, row.file));
    ASSERT_TRUE(view.found);
    EXPECT_EQ(view.filter, "URL Files (*.url)");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(body, row.expected);
  }
}

// A filter list as written with "|" for its zero separators.
std::string Filter(const char* written) {
  std::string s = written;
  for (char& c : s) {
    if (c == '|') c = '\0';
  }
  return s;
}

TEST_F(HookTagsPickers, MakePickerSetupSplitsFolderAndPattern) {
  using hook::MakePickerSetup;
  using hook::PickerKind;
  const std::string all =
      Filter("All Files (*.*)|*.*|Text Documents (*.txt)|*.txt|Applications (*.exe)|*.exe|Link Files (*.lnk)|*.lnk|");
  struct Row {
    PickerKind kind;
    const char* argument;
    const char* folder;
    std::string filter;
  } rows[] = {
      {PickerKind::kFile, "", "", all},
      {PickerKind::kFile, "C:\\Docs", "C:\\Docs", all},
      {PickerKind::kFile, "C:\\Docs\\*.txt", "C:\\Docs",
       Filter("Specific files (*.txt)|*.txt|Text Documents (*.txt)|*.txt|Applications (*.exe)|*.exe|"
              "Link Files (*.lnk)|*.lnk|All Files (*.*)|*.*|")},
      {PickerKind::kFile, "C:\\*.txt", "C:\\",
       Filter("Specific files (*.txt)|*.txt|Text Documents (*.txt)|*.txt|Applications (*.exe)|*.exe|"
              "Link Files (*.lnk)|*.lnk|All Files (*.*)|*.*|")},
      {PickerKind::kFile, "C:\\a*\\b", "C:\\a*", all},
      {PickerKind::kFile, "*.log", "",
       Filter("Specific files (*.log)|*.log|Text Documents (*.txt)|*.txt|Applications (*.exe)|*.exe|"
              "Link Files (*.lnk)|*.lnk|All Files (*.*)|*.*|")},
      {PickerKind::kUrl, "D:\\Links", "D:\\Links", Filter("URL Files (*.url)|*.url|All Files (*.*)|*.*|")},
      {PickerKind::kUrl, "D:\\Links\\n*.url", "D:\\Links",
       Filter("Specified files (n*.url)|n*.url|URL Files (*.url)|*.url|All Files (*.*)|*.*|")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argument);
    const hook::PickerSetup setup = MakePickerSetup(row.kind, row.argument);
    EXPECT_EQ(setup.startFolder, row.folder);
    EXPECT_EQ(setup.filter, row.filter);
  }
}

// ---- The user-input dialog ----

using HookTagsUserSpec = TagsFixture;

struct UserSpecStep {
  std::string title;
  std::string value;
  std::string next;
  bool prevEnabled = false;
  DWORD selection = 0;  // EM_GETSEL: LOWORD start, HIWORD end
};

UserSpecStep ReadUserSpec(HWND dialog) {
  UserSpecStep s;
  char text[300] = "";
  GetDlgItemTextA(dialog, IDC_USER_TITLE, text, sizeof text);
  s.title = text;
  GetDlgItemTextA(dialog, IDC_USER_VALUE, text, sizeof text);
  s.value = text;
  GetDlgItemTextA(dialog, IDC_USER_NEXT, text, sizeof text);
  s.next = text;
  s.prevEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_USER_PREV)) != FALSE;
  s.selection = static_cast<DWORD>(SendDlgItemMessageA(dialog, IDC_USER_VALUE, EM_GETSEL, 0, 0));
  return s;
}

// Waits until the dialog shows the entry titled `title`.
bool WaitForEntry(HWND dialog, const char* title) {
  return WaitFor([&] { return ReadUserSpec(dialog).title == title; }, kDeadlineMs);
}

TEST_F(HookTagsUserSpec, TypedValuesWithNextAndPrevFillTheLaterTags) {
  std::string body = "  [#|Name|\r\nCity ]\r\n[#2], [#1U]";
  std::vector<UserSpecStep> seen;
  RECT dialogRect = {};
  int helpTopic = 0;
  bool drove = false;
  const ExpandResult r = ExpandWhileDriving(body, [&] {
    HWND dialog = WaitForDialog("User Input");
    if (dialog == nullptr) return;
    GetWindowRect(dialog, &dialogRect);
    helpTopic = hook::State().helpTopic;
    seen.push_back(ReadUserSpec(dialog));  // Name, before typing
    if (!TypeInto(dialog, "ann")) return;
    Press(VK_RETURN);  // Next
    if (!WaitForEntry(dialog, "City")) return;
    seen.push_back(ReadUserSpec(dialog));
    if (!TypeInto(dialog, "kyoto")) return;
    PressWith(VK_MENU, 'P');  // Prev
    if (!WaitForEntry(dialog, "Name")) return;
    seen.push_back(ReadUserSpec(dialog));
    Press(VK_RETURN);  // Next again: the value typed before is back
    if (!WaitForEntry(dialog, "City")) return;
    seen.push_back(ReadUserSpec(dialog));
    Press(VK_RETURN);  // OK
    drove = true;
  });
  ASSERT_TRUE(drove);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].title, "Name");
  EXPECT_EQ(seen[0].value, "");
  EXPECT_EQ(seen[0].next, "&Next");
  EXPECT_FALSE(seen[0].prevEnabled);
  EXPECT_EQ(seen[1].title, "City");
  EXPECT_EQ(seen[1].next, "OK");
  EXPECT_TRUE(seen[1].prevEnabled);
  EXPECT_EQ(seen[2].value, "ann");
  EXPECT_EQ(seen[2].selection, static_cast<DWORD>(MAKELONG(0, 3))) << "the value typed before is selected";
  EXPECT_EQ(seen[2].next, "&Next");
  EXPECT_FALSE(seen[2].prevEnabled);
  EXPECT_EQ(seen[3].value, "kyoto");
  EXPECT_EQ(helpTopic, -1) << "F1 opens the help contents while the dialog is open";
  EXPECT_EQ(hook::State().helpTopic, 0);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(body, "kyoto, ANN");

  // Centred over the window in front.
  RECT frontRect;
  GetWindowRect(front_.hwnd(), &frontRect);
  EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2, (frontRect.left + frontRect.right) / 2, 1);
  EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2, (frontRect.top + frontRect.bottom) / 2, 1);
}

TEST_F(HookTagsUserSpec, SingleTitleShowsOkAtOnce) {
  std::string body = "[#|One][#1]!";
  UserSpecStep first;
  const ExpandResult r = ExpandWhileDriving(body, [&] {
    HWND dialog = WaitForDialog("User Input");
    if (dialog == nullptr) return;
    first = ReadUserSpec(dialog);
    if (TypeInto(dialog, "solo")) Press(VK_RETURN);
  });
  EXPECT_EQ(first.title, "One");
  EXPECT_EQ(first.next, "OK");
  EXPECT_FALSE(first.prevEnabled);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(body, "solo!");
}

TEST_F(HookTagsUserSpec, CancelPastesNothingAndShowsNoMessage) {
  std::string body = "[#|Name]Hello [#1]";
  bool closedByEscape = false;
  const ExpandResult r = ExpandWhileDriving(body, [&] {
    HWND dialog = WaitForDialog("User Input");
    if (dialog == nullptr || !TypeInto(dialog, "zed")) return;
    Press(VK_ESCAPE);
    closedByEscape = WaitFor([&] { return !IsWindow(dialog); }, kDeadlineMs);
  });
  EXPECT_TRUE(closedByEscape);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
  EXPECT_EQ(hook::State().helpTopic, 0);
}

// ---- Run, macro and clipboard tags ----

using HookTagsActions = TagsFixture;

QUILLO_CHILD(TouchFile) {
  if (args.size() != 2) return 2;
  return WriteFileBytes(args[0], std::vector<unsigned char>(args[1].begin(), args[1].end())) ? 0 : 1;
}

// How many copies of this program that this process started are still
// running (-1: unknown). The file name counts too: Wine hands out process ids
// again, so a long-lived process may name a parent id that is now ours.
int ChildrenOfThisProcess() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  const char* base = std::strrchr(self, '\\');
  base = base != nullptr ? base + 1 : self;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, base) == 0) ++count;
  }
  CloseHandle(snap);
  return count;
}

TEST_F(HookTagsActions, RunOnMissingFileBeepsAndShowsMessage2011) {
  const std::string missing = folder_.file("missing.exe");
  std::string body = "[!E\"" + missing + "\"]";
  const ExpandResult r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(TakeBoxes(1), Texts({"Could not find the file(" + missing + ")."}));
}

TEST_F(HookTagsActions, RunOpensTheProgramWithItsParametersAndPastesNothing) {
  const std::string marker = folder_.file("ran.txt");
  std::string body = "text [!E\"" + ExePath() + "\" \"--child TouchFile " + marker + " opened\"]";
  const ExpandResult r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
  ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(marker).size() == 6; }, kDeadlineMs));
  const std::vector<unsigned char> bytes = ReadFileBytes(marker);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "opened");
  // The program may still be running after it wrote the file. Under Wine, keys
  // synthesised while a process of ours starts or ends are now and then lost:
  // the next test's picker then never saw its file name and stood until its
  // deadline. Nothing this test started outlives it.
  EXPECT_TRUE(WaitFor([] { return ChildrenOfThisProcess() == 0; }, kDeadlineMs));
}

// A file type whose program does not exist, registered for the user while the
// object lives. The shell's answer for a type it does not know at all varies
// under Wine (it may hand the file to a helper of its own); a type that names
// a missing program is refused every time.
class BrokenFileType {
 public:
  BrokenFileType() {
    Set("Software\\Classes\\.qzq", "QuilloTest.qzq");
    Set("Software\\Classes\\QuilloTest.qzq\\shell\\open\\command", "\"C:\\no such folder\\missing.exe\" \"%1\"");
  }
  ~BrokenFileType() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\.qzq");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\QuilloTest.qzq");
  }

 private:
  static void Set(const char* key, const std::string& value) {
    HKEY h;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
  }
};

TEST_F(HookTagsActions, RunWithPatternAsksForTheFileThenReportsAFileNothingOpens) {
  // The chosen file's program cannot be started: the shell refuses it.
  BrokenFileType type;
  Write("job.qzq", "x");
  std::string body = "[!E\"" + folder_.path() + "\\*.qzq\"]";
  PickerView view;
  const ExpandResult r = ExpandWhileDriving(body, AnswerFilePicker(view, "job.qzq"));
  ASSERT_TRUE(view.found);
  EXPECT_EQ(view.filter, "Specific Files (*.qzq)");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(TakeBoxes(1), Texts({"Failed to execute a command."}));
}

// Stands in for the resident window: records what arrives, on a thread of its own.
class ResidentStandIn {
 public:
  ResidentStandIn() {
    thread_ = std::thread([this] {
      HWND hwnd = quillo::wine::CreateResidentStandIn(nullptr, 0, HWND_MESSAGE, false);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc));
      hwnd_ = hwnd;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(hwnd);
    });
    WaitFor([this] { return hwnd_.load() != nullptr; });
    threadId_ = GetWindowThreadProcessId(hwnd_, nullptr);
  }
  ~ResidentStandIn() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND hwnd() const { return hwnd_; }
  Texts Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    Texts out;
    out.swap(seen_);
    return out;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_.size();
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ResidentStandIn*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const char* p = static_cast<const char*>(data->lpData);
      std::string text = "copydata " + std::to_string(data->dwData) + " " + std::to_string(data->cbData) + " " +
                         std::string(p, strnlen(p, data->cbData)) +
                         (reinterpret_cast<HWND>(wParam) == GetForegroundWindow() ? " front" : " other");
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->seen_.push_back(text);
      return TRUE;
    }
    if (self != nullptr && message == WM_COMMAND) {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->seen_.push_back("command " + std::to_string(LOWORD(wParam)) + " " + std::to_string(lParam));
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  std::thread thread_;
  std::atomic<HWND> hwnd_{nullptr};
  DWORD threadId_ = 0;
  std::mutex mutex_;
  Texts seen_;
};

TEST_F(HookTagsActions, MacroTagsSendTheNameThenPostPlayOrRecord) {
  ResidentStandIn resident;
  ASSERT_NE(resident.hwnd(), nullptr);
  const HWND saved = g_hwndQuillo;
  quillo::PublishResidentWindow(resident.hwnd());
  struct Row {
    const char* body;
    Texts expected;
  } rows[] = {
      {"x[!M\"demo.mcr\"]y", {"copydata 1 9 demo.mcr front", "command 32800 0"}},
      {"[!M]", {"command 32800 0"}},
      {"[!R]", {"command 32801 0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.body);
    std::string body = row.body;
    const ExpandResult r = Expand(body);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.id, 0);
    EXPECT_TRUE(WaitFor([&] { return resident.Count() >= row.expected.size(); }, kDeadlineMs));
    EXPECT_EQ(resident.Take(), row.expected);
  }
  quillo::PublishResidentWindow(saved);
}

// The tags send only to the resident program's window: a window of another
// class, or of the right class but not of the process that published it
// (a window a program of lower integrity made to catch what Quillo is sent),
// gets nothing.
std::atomic<int> g_strangerMessages{0};
LRESULT CALLBACK StrangerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA || message == WM_COMMAND) ++g_strangerMessages;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(HookTagsActions, MacroTagsSendNothingToAWindowThatIsNotTheResidentPrograms) {
  ResidentStandIn resident;
  ASSERT_NE(resident.hwnd(), nullptr);
  const HWND saved = g_hwndQuillo;
  HWND stranger = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(stranger, nullptr);
  SetWindowLongPtrA(stranger, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StrangerProc));
  g_strangerMessages = 0;
  struct Row {
    const char* what;
    HWND window;
    bool otherProcess;
  } rows[] = {{"another class", stranger, false}, {"published by another process", resident.hwnd(), true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    quillo::PublishResidentWindow(row.window);
    if (row.otherProcess) Shared().residentProcessId = GetCurrentProcessId() ^ 0x40;
    for (const char* tag : {"x[!M\"demo.mcr\"]y", "[!R]"}) {
      std::string body = tag;
      EXPECT_FALSE(Expand(body).ok);
    }
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    EXPECT_EQ(g_strangerMessages.load(), 0);
    // A marker posted now arrives after anything the tags posted before it.
    PostMessageA(resident.hwnd(), WM_COMMAND, 1, 0);
    EXPECT_TRUE(WaitFor([&] { return resident.Count() >= 1; }, kDeadlineMs));
    EXPECT_EQ(resident.Take(), Texts({"command 1 0"}));
  }
  // The same tags reach the resident program's own window.
  quillo::PublishResidentWindow(resident.hwnd());
  std::string body = "[!R]";
  EXPECT_FALSE(Expand(body).ok);
  EXPECT_TRUE(WaitFor([&] { return resident.Count() >= 1; }, kDeadlineMs));
  EXPECT_EQ(resident.Take(), Texts({"command 32801 0"}));
  DestroyWindow(stranger);
  quillo::PublishResidentWindow(saved);
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "<not open>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

TEST_F(HookTagsActions, CurrentFolderTagPutsTheFolderOnTheClipboardWithoutMarker) {
  char saved[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(hook::WinTagHost().SetTextToClip("stale"));
  ASSERT_EQ(ClipboardText(), "stale");
  ASSERT_TRUE(SetCurrentDirectoryA(folder_.path().c_str()));
  std::string body = "[!P]";
  const ExpandResult r = Expand(body);
  SetCurrentDirectoryA(saved);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(ClipboardText(), folder_.path());
  EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatA("Quillo Marker")));
}

TEST_F(HookTagsActions, FileTagReadsTheWholeFileAndMissingFileShowsMessage2012) {
  const std::string path = Write("part.txt", std::string("line one\r\nline two\x1a", 19));
  std::string body = "<['" + path + "]>";
  ExpandResult r = Expand(body);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(body, "<line one\r\nline two>");

  const std::string missing = folder_.file("gone.txt");
  body = "['" + missing + "]";
  r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(TakeBoxes(1), Texts({"Could not open the file(" + missing + ")."}));
}

// ---- The history mapping ----

// Stands in for the resident program's history store: a mapping under the
// store's name, entries written block by block, the count published last.
class HistoryStandIn {
 public:
  HistoryStandIn(DWORD blocks, const Texts& entries) {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, blocks * kBlock,
                                  "QuilloPageMapObject");
    if (mapping_ == nullptr) return;
    char* view = static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (view == nullptr) return;
    for (size_t i = 0; i < entries.size() && i < blocks; ++i) {
      std::memcpy(view + i * kBlock, entries[i].c_str(), entries[i].size() + 1);
    }
    UnmapViewOfFile(view);
    g_dwBlockSize = kBlock;
    g_nNumClipHistory = static_cast<int>(entries.size());
  }
  ~HistoryStandIn() {
    g_nNumClipHistory = 0;
    g_dwBlockSize = 0;
    g_bCutLastRet2 = FALSE;
    if (mapping_ != nullptr) CloseHandle(mapping_);
  }
  bool ok() const { return mapping_ != nullptr; }
  static constexpr DWORD kBlock = 20480;

 private:
  HANDLE mapping_ = nullptr;
};

using HookTagsHistory = TagsFixture;

TEST_F(HookTagsHistory, EntriesAreReadFromTheNamedMapping) {
  HistoryStandIn store(4, {"newest\r\n", "middle", "oldest"});
  ASSERT_TRUE(store.ok());
  std::string body = "[C1]|[C2]|[C3]";
  EXPECT_TRUE(Expand(body).ok);
  EXPECT_EQ(body, "newest\r\n|middle|oldest");

  g_bCutLastRet2 = TRUE;
  body = "[C1]|[C2]";
  EXPECT_TRUE(Expand(body).ok);
  EXPECT_EQ(body, "newest|middle");
}

TEST_F(HookTagsHistory, EntryBeyondTheCountBeepsAndPastesNothing) {
  HistoryStandIn store(4, {"only"});
  ASSERT_TRUE(store.ok());
  std::string body = "[C2]";
  const ExpandResult r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
}

TEST_F(HookTagsHistory, BlockSizeBeyondTheMappingIsNotReadAndFailsSilently) {
  HistoryStandIn store(2, {"a", "b"});
  ASSERT_TRUE(store.ok());
  // A shared value someone else wrote: reading by it would run off the view.
  g_dwBlockSize = 0x10000000;
  std::string body = "[C2]";
  const ExpandResult r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
  // An entry that fills its whole block without a terminator ends at the block.
  g_dwBlockSize = HistoryStandIn::kBlock;
  body = "[C1]";
  EXPECT_TRUE(Expand(body).ok);
  EXPECT_EQ(body, "a");
}

TEST_F(HookTagsHistory, MissingMappingFailsSilentlyAndEmptyHistoryShowsMessage2024) {
  g_dwBlockSize = HistoryStandIn::kBlock;
  g_nNumClipHistory = 1;
  std::string body = "[C1]";
  ExpandResult r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.id, 0);
  g_nNumClipHistory = 0;
  r = Expand(body);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(TakeBoxes(1), Texts({"There is no clipboard history."}));
  g_dwBlockSize = 0;
}

// ---- GenerateKeyStroke ----

using HookTagsGenerateKey = TagsFixture;

// Injected key events as the system delivers them, in order.
std::vector<std::string>* g_keyEvents = nullptr;

LRESULT CALLBACK RecordKeyEvent(int code, WPARAM wParam, LPARAM lParam) {
  const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && g_keyEvents != nullptr && (event->flags & LLKHF_INJECTED) != 0) {
    const bool up = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
    g_keyEvents->push_back((up ? "up " : "down ") + std::to_string(event->vkCode));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(HookTagsGenerateKey, EachCallPressesAndReleasesOneKeyIntoTheFocusedEdit) {
  SetFocus(front_.edit());
  ASSERT_EQ(GetFocus(), front_.edit());
  std::vector<std::string> events;
  g_keyEvents = &events;
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, RecordKeyEvent, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  const UINT keys[] = {'Q', '7', VK_SPACE, 'Z', VK_BACK, 'A'};
  for (UINT vk : keys) GenerateKeyStroke(vk);
  std::vector<std::string> expected;
  for (UINT vk : keys) {
    expected.push_back("down " + std::to_string(vk));
    expected.push_back("up " + std::to_string(vk));
  }
  // The low-level hook runs in this thread's message loop.
  const bool typed = PumpUntil([&] { return WindowText(front_.edit()) == "q7 a" && events.size() >= expected.size(); });
  UnhookWindowsHookEx(hook);
  g_keyEvents = nullptr;
  EXPECT_TRUE(typed) << "edit holds \"" << WindowText(front_.edit()) << "\"";
  EXPECT_EQ(events, expected);
}

}  // namespace
}  // namespace quillo::wine
