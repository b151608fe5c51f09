// The folder menus in real Open and Save dialogs of another process: the
// extension is loaded there by its hook, the child drives its own dialog from
// a second thread (menus of another process cannot be read), and the folder
// information file it leaves behind is checked here.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "target_window.h"
#include "quillo_dlgex.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr UINT kCmdHistoryFirst = 0xA000;
constexpr UINT kCmdAddFolder = 0xA400;

BOOL CALLBACK FindOwnDialog(HWND hwnd, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  // A message box is a #32770 too: the file dialog is the one with the folder box 1137.
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && lstrcmpA(cls, "#32770") == 0 &&
      GetDlgItem(hwnd, 1137) != nullptr) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

HMENU SubMenuByText(HMENU menu, const char* text) {
  char item[300];
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (GetMenuStringA(menu, static_cast<UINT>(i), item, sizeof item, MF_BYPOSITION) > 0 && lstrcmpA(item, text) == 0) {
      return GetSubMenu(menu, i);
    }
  }
  return nullptr;
}

std::string ItemText(HMENU menu, int pos) {
  char item[300] = {};
  GetMenuStringA(menu, static_cast<UINT>(pos), item, sizeof item, MF_BYPOSITION);
  return item;
}

HWND FileNameEdit(HWND dlg) {
  HWND w = GetDlgItem(dlg, 1148);
  while (w != nullptr) {
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0) return w;
    w = FindWindowExA(w, nullptr, nullptr, nullptr);
  }
  return nullptr;
}

// The folder a file is chosen in, joined with its name ("C:\" has its backslash).
std::string Join(const std::string& folder, const char* name) {
  return folder + (!folder.empty() && folder.back() == '\\' ? "" : "\\") + name;
}

bool HasMenus(HWND dlg) {
  HMENU system = GetSystemMenu(dlg, FALSE);
  return SubMenuByText(system, "Folder History") != nullptr || SubMenuByText(system, "Folder Shortcut") != nullptr;
}

struct Journey {
  std::string script;         // "choose", "none", "empty" or "add<N>"
  std::string start, listed;  // the folder the dialog opens in; the one in its history
  std::string typed = "typed.txt";  // the file name "choose" types
  volatile LONG result = 1;
};

// "choose": checks the menus, registers the folder shown, changes to the
// history entry with a name typed, and presses OK. "none": the dialog has no
// folder menus. "empty": an empty history. "add<N>": "Add Current Folder" N
// times, the system menu opened to see it grayed at ten, then Cancel.
// result: 0 when every step held, else the step.
LONG DriveScript(Journey& j, HWND dlg) {
  HMENU system = GetSystemMenu(dlg, FALSE);
  HMENU history = SubMenuByText(system, "Folder History");
  HMENU shortcuts = SubMenuByText(system, "Folder Shortcut");
  if (j.script == "none") return HasMenus(dlg) ? 30 : 0;
  if (history == nullptr || shortcuts == nullptr) return 11;
  if (j.script == "empty") return GetMenuItemCount(history) == 0 ? 0 : 31;
  if (j.script.rfind("add", 0) == 0) {
    const int times = atoi(j.script.c_str() + 3);
    for (int i = 0; i < times; ++i) SendMessageA(dlg, WM_SYSCOMMAND, kCmdAddFolder, 0);
    const int expected = times == 0 ? 1 : (times < 10 ? times : 10) + 2;
    if (GetMenuItemCount(shortcuts) != expected) return 40;
    if (times < 10) return 0;
    // Opening the system menu grays the item; the menu is read from inside.
    PostMessageA(dlg, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    HWND menu = nullptr;
    if (!WaitFor([&] { return (menu = OpenMenuOf(GetCurrentProcessId())) != nullptr; })) return 41;
    const HMENU shown = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    const UINT state = GetMenuState(shortcuts, kCmdAddFolder, MF_BYCOMMAND);
    EndMenu();
    if (!WaitFor([] { return OpenMenuOf(GetCurrentProcessId()) == nullptr; })) return 42;
    if (shown != system) return 43;
    return (state & MF_GRAYED) != 0 ? 0 : 44;
  }
  // The extension's own small icon marks an extended dialog (Wine's own shows none).
  if (SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0) == 0) return 17;
  if (GetMenuItemCount(history) != 1 || ItemText(history, 0) != "&1 " + j.listed) return 12;
  if (GetMenuItemCount(shortcuts) != 1 || ItemText(shortcuts, 0) != "Add Current Folder") return 13;
  SendMessageA(dlg, WM_SYSCOMMAND, kCmdAddFolder, 0);
  if (GetMenuItemCount(shortcuts) != 3 || lstrcmpiA(ItemText(shortcuts, 0).c_str(), ("&1 " + j.start).c_str()) != 0) {
    return 14;
  }
  HWND edit = FileNameEdit(dlg);
  if (edit == nullptr) return 15;
  SetWindowTextA(edit, j.typed.c_str());
  SendMessageA(dlg, WM_SYSCOMMAND, kCmdHistoryFirst, 0);
  char typed[MAX_PATH] = {};
  GetWindowTextA(edit, typed, sizeof typed);
  return lstrcmpA(typed, j.typed.c_str()) == 0 ? 0 : 16;
}

DWORD WINAPI Drive(void* param) {
  auto* j = static_cast<Journey*>(param);
  HWND dlg = nullptr;
  if (!WaitFor([&] { EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dlg)); return dlg != nullptr; })) {
    j->result = 10;
    return 0;
  }
  const LONG r = DriveScript(*j, dlg);
  j->result = r;
  // "choose" ends with OK on the typed name in the folder now shown; the rest, and a failure, with Cancel.
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(r == 0 && j->script == "choose" ? IDOK : IDCANCEL, BN_CLICKED), 0);
  return 0;
}

// args: "A" | "W" | "S" (Save, ANSI), the script, the start folder, the listed
// folder[, the file name to type]. Exit code 0 when the script held (and
// "choose" closed on "<listed>\<typed>").
QUILLO_CHILD(FolderMenuDialog) {
  if (args.size() != 4 && args.size() != 5) return 2;
  Journey j;
  j.script = args[1];
  j.start = args[2];
  j.listed = args[3];
  if (args.size() == 5) j.typed = args[4];
  HANDLE driver = CreateThread(nullptr, 0, Drive, &j, 0, nullptr);
  if (driver == nullptr) return 3;
  std::string chosen;
  if (args[0] == "W") {
    WCHAR file[MAX_PATH] = {}, dir[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, j.start.c_str(), -1, dir, MAX_PATH);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = dir;
    ofn.Flags = OFN_EXPLORER;
    if (GetOpenFileNameW(&ofn)) {
      char a[MAX_PATH * 2] = {};
      WideCharToMultiByte(CP_ACP, 0, file, -1, a, sizeof a, nullptr, nullptr);
      chosen = a;
    }
  } else {
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = j.start.c_str();
    ofn.Flags = OFN_EXPLORER;
    if (args[0] == "S" ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)) chosen = file;
  }
  WaitForSingleObject(driver, 20000);
  CloseHandle(driver);
  if (j.result != 0) return static_cast<int>(j.result);
  if (j.script != "choose") return chosen.empty() ? 0 : 21;
  return lstrcmpiA(chosen.c_str(), Join(j.listed, j.typed.c_str()).c_str()) == 0 ? 0 : 20;
}

// One thread's dialog of TwoDialogsAtOnce.
DWORD WINAPI ShowOpen(void* start) {
  char file[MAX_PATH] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = static_cast<const char*>(start);
  ofn.Flags = OFN_EXPLORER;
  return GetOpenFileNameA(&ofn) ? 0 : 1;
}

BOOL CALLBACK FindThreadDialog(HWND hwnd, LPARAM param) {
  if (GetDlgItem(hwnd, 1137) == nullptr || !IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(param) = hwnd;
  return FALSE;
}

// args: the folder information file, the first and the second dialog's folder.
// Both dialogs are open before either closes; each close must put its own
// folder on top of the file. Exit code 0, else the step that failed.
QUILLO_CHILD(TwoDialogsAtOnce) {
  if (args.size() != 3) return 2;
  HANDLE threads[2];
  DWORD ids[2];
  HWND dialogs[2] = {};
  for (int i = 0; i < 2; ++i) {
    threads[i] = CreateThread(nullptr, 0, ShowOpen, const_cast<char*>(args[1 + i].c_str()), 0, &ids[i]);
    if (threads[i] == nullptr) return 3;
  }
  for (int i = 0; i < 2; ++i) {
    if (!WaitFor([&] { EnumThreadWindows(ids[i], FindThreadDialog, reinterpret_cast<LPARAM>(&dialogs[i]));
                       return dialogs[i] != nullptr && HasMenus(dialogs[i]); })) {
      return 4 + i;
    }
  }
  for (int i = 0; i < 2; ++i) {
    HWND edit = FileNameEdit(dialogs[i]);
    if (edit == nullptr) return 10 + i;
    SetWindowTextA(edit, "chosen.txt");
    PostMessageA(dialogs[i], WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DWORD code = 1;
    if (WaitForSingleObject(threads[i], 20000) != WAIT_OBJECT_0 || !GetExitCodeThread(threads[i], &code) || code != 0) {
      return 20 + i;
    }
    const std::vector<unsigned char> bytes = ReadFileBytes(args[0]);
    const std::string top = "; Folder History\r\nDirHist | " + args[1 + i] + "\r\n";
    if (bytes.size() < top.size() || lstrcmpiA(std::string(bytes.begin(), bytes.begin() + top.size()).c_str(), top.c_str()) != 0) {
      return 30 + i;
    }
  }
  return 0;
}

// A fresh program folder with the extension's hook installed from it, a start
// folder and a listed folder, and the child program that shows the dialogs.
class FolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    start_ = folder_.file("Start");
    listed_ = folder_.file("Listed");
    ASSERT_TRUE(CreateDirectoryA(start_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(listed_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(folder_.file("DirHist").c_str(), nullptr));
    info_ = folder_.file("DirHist\\FolderInfo.txt");
    MessageBoxWatcher::Instance().Take();
  }

  void Hook() {
    dll_ = LoadLibraryA(folder_.file(kDlgExDll).c_str());
    ASSERT_NE(dll_, nullptr);
    auto set = reinterpret_cast<BOOL (*)(HWND)>(reinterpret_cast<void*>(GetProcAddress(dll_, "SetDlgHookProc")));
    hook_ = &g_hCallWndHook;  // the block the copy maps is this process's too
    suspend_ = &g_bSuspendDirHist;
    share_ = &g_bDirHistShare;
    ASSERT_NE(set, nullptr);
    // Not the resident program's window: the extension asks it nothing, so no
    // program counts as skipped.
    resident_ = CreateWindowExA(0, "STATIC", "resident", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(set(resident_), 1);
  }

  void TearDown() override {
    if (hook_ != nullptr && *hook_ != nullptr) {
      UnhookWindowsHookEx(*hook_);
      *hook_ = nullptr;
    }
    if (resident_ != nullptr) DestroyWindow(resident_);
    if (dll_ != nullptr) FreeLibrary(dll_);
  }

  // Runs the dialog child; its exit code, 99 when it did not end in time.
  DWORD Dialog(const char* kind, const char* script, const std::string& listed,
               const char* program = "quillo_wine_tests.exe", const std::string& typed = "") {
    // A backslash before a closing quote would escape it: "C:\\" stands for C:\.
    const std::string quoted = "\"" + listed + (listed.back() == '\\' ? "\\\"" : "\"");
    Process child = StartChild("FolderMenuDialog", std::string(kind) + " " + script + " \"" + start_ + "\" " + quoted + (typed.empty() ? "" : " " + typed),
                               folder_.file(program));
    DWORD code = 99;
    EXPECT_TRUE(WaitWhilePumping([&] { return child.Wait(0, &code); }, 60000));
    child.Kill();
    return code;
  }

  void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteFileBytes(path, {text.begin(), text.end()}));
  }
  std::string Read(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
  }
  // The file "choose" leaves: the listed folder chosen, the start folder registered.
  std::string Chosen(const std::string& listed) {
    return "; Folder History\r\nDirHist | " + listed + "\r\n\r\n; Folder Shortcut\r\nDirReg | " + start_ + "\r\n";
  }
  // The file "choose" leaves when it typed a name of its own.
  std::string Chosen(const std::string& listed, const std::string& start) {
    return "; Folder History\r\nDirHist | " + listed + "\r\n\r\n; Folder Shortcut\r\nDirReg | " + start + "\r\n";
  }
  static std::string Listing(const std::string& folder) { return "; Folder History\r\nDirHist | " + folder + "\r\n"; }

  ProgramFolder folder_{{kHookDll, kDlgExDll, kQuilloExe, "MenuTemp.txt", "quillo_wine_tests.exe"}};
  std::string start_, listed_, info_;
  HMODULE dll_ = nullptr;
  HWND resident_ = nullptr;
  Handle32<HHOOK>* hook_ = nullptr;
  BOOL* suspend_ = nullptr;
  BOOL* share_ = nullptr;
};

class DlgExFolderMenu : public FolderDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DlgExFolderMenu, HistoryEntryChangesFolderAndTheChoiceIsRecorded) {
  Write(info_, Listing(listed_));
  Hook();
  EXPECT_EQ(Dialog(GetParam(), "choose", listed_), 0u) << "the step that failed in the dialog's process";
  const std::string text = Read(info_);
  EXPECT_EQ(lstrcmpiA(text.c_str(), Chosen(listed_).c_str()), 0) << text;
}

INSTANTIATE_TEST_SUITE_P(AnsiWideSave, DlgExFolderMenu, ::testing::Values("A", "W", "S"));

using DlgExFolders = FolderDialogTest;

TEST_F(DlgExFolders, AFileChosenInADriveRootRecordsTheRootWithItsBackslash) {
  const std::string root = start_.substr(0, 3);
  ASSERT_EQ(root.substr(1), ":\\");
  Write(info_, Listing(root));
  Hook();
  EXPECT_EQ(Dialog("A", "choose", root), 0u);
  const std::string text = Read(info_);
  EXPECT_EQ(lstrcmpiA(text.c_str(), Chosen(root).c_str()), 0) << text;
}

TEST_F(DlgExFolders, CancelRecordsNoFolderButKeepsTheFoldersRegisteredMeanwhile) {
  const std::string before = Listing(listed_);
  struct Row {
    const char* script;
    std::string after;
  } rows[] = {{"add0", before},
              {"add1", before + "\r\n; Folder Shortcut\r\nDirReg | " + start_ + "\r\n"}};
  Hook();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    Write(info_, before);
    EXPECT_EQ(Dialog("A", row.script, listed_), 0u);
    const std::string text = Read(info_);
    EXPECT_EQ(lstrcmpiA(text.c_str(), row.after.c_str()), 0) << text;
  }
}

TEST_F(DlgExFolders, AddCurrentFolderTenTimesGraysItAndRefusesAnEleventh) {
  Hook();
  EXPECT_EQ(Dialog("A", "add11", listed_), 0u);
  std::string expected = "; Folder History\r\n\r\n; Folder Shortcut\r\n";
  for (int i = 0; i < 10; ++i) expected += "DirReg | " + start_ + "\r\n";
  const std::string text = Read(info_);
  EXPECT_EQ(lstrcmpiA(text.c_str(), expected.c_str()), 0) << text;
}

TEST_F(DlgExFolders, IndividualContentsKeepTheProgramsFoldersInItsOwnFile) {
  const std::string own = folder_.file("DirHist\\Quillo_wine_tests.txt"), shared = Listing(start_);
  Write(own, Listing(listed_));
  Write(info_, shared);
  Hook();
  *share_ = FALSE;
  EXPECT_EQ(Dialog("W", "choose", listed_), 0u);
  *share_ = TRUE;
  const std::string text = Read(own);
  EXPECT_EQ(lstrcmpiA(text.c_str(), Chosen(listed_).c_str()), 0) << text;
  EXPECT_EQ(Read(info_), shared);
}

TEST_F(DlgExFolders, ADialogOpenedWhileSuspendedGetsNoMenus) {
  Write(info_, Listing(listed_));
  Hook();
  *suspend_ = TRUE;
  EXPECT_EQ(Dialog("S", "none", listed_), 0u);
  *suspend_ = FALSE;
  EXPECT_EQ(Read(info_), Listing(listed_));
}

TEST_F(DlgExFolders, TwoDialogsOpenAtOnceInOneProgramEachRecordTheirOwnFolder) {
  Hook();
  Process child = StartChild("TwoDialogsAtOnce", "\"" + info_ + "\" \"" + start_ + "\" \"" + listed_ + "\"",
                             folder_.file("quillo_wine_tests.exe"));
  DWORD code = 99;
  EXPECT_TRUE(WaitWhilePumping([&] { return child.Wait(0, &code); }, 60000));
  EXPECT_EQ(code, 0u) << "the step that failed in the dialogs' process";
  child.Kill();
}

// Whatever the file holds, the dialog's program lives on, says once that a
// line was too long, and lists the folder that follows the bad lines.
TEST_F(DlgExFolders, AHostileFileLeavesTheProgramRunningAndTheFoldersAfterItListed) {
  std::string binary;
  for (int c = 1; c < 256; ++c) binary += c == '\n' ? ' ' : static_cast<char>(c);
  struct Row {
    const char* what;
    std::string text;
    size_t boxes;
  } rows[] = {
      {"an overlong line", "DirHist | " + std::string(300, 'x') + "\r\n", 1},
      {"binary bytes", binary + "\r\n" + std::string("\0\0|\0\r\n", 6), 0},
      {"no line ends", std::string(20000, '\x81') + binary + binary, 1},
      {"two overlong lines", std::string(5000, '|') + "\n" + binary + binary + "\r\n", 1},
  };
  Hook();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Write(info_, row.text + "\nDirHist | " + listed_ + "\r\n");
    EXPECT_EQ(Dialog("A", "choose", listed_), 0u);
    const std::string text = Read(info_);
    EXPECT_EQ(lstrcmpiA(text.c_str(), Chosen(listed_).c_str()), 0) << text;
    const std::vector<std::string> boxes = MessageBoxWatcher::Instance().Take();
    EXPECT_EQ(boxes.size(), row.boxes);
    for (const std::string& box : boxes) EXPECT_EQ(box, "It is too much characters in a single line.");
  }
}

// Quillo.exe installs the hook itself and answers the skip query from its
// list: the program on it gets no menus, a copy of it under another name does.
TEST_F(DlgExFolders, AProgramOnTheSkipListGetsNoMenus) {
  CleanRegistryKey registry;
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Veltrane Soft\\Quillo\\SkipAppList", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const std::string skipped = folder_.file("quillo_wine_tests.exe");
  RegSetValueExA(h, "SkipApp0", 0, REG_SZ, reinterpret_cast<const BYTE*>(skipped.c_str()),
                 static_cast<DWORD>(skipped.size() + 1));
  RegCloseKey(h);
  ASSERT_TRUE(CopyFileA(skipped.c_str(), folder_.file("Other.exe").c_str(), TRUE));
  Write(info_, Listing(listed_));
  Process quillo;
  const HWND frame = StartQuillo(folder_.path(), quillo);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(Dialog("S", "none", listed_), 0u) << "the skipped program";
  EXPECT_EQ(Dialog("S", "add0", listed_, "Other.exe"), 0u) << "a program not on the list";
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(quillo.Wait(30000));
  EXPECT_EQ(Read(info_), Listing(listed_));
}

// In code page 932: folders named in Shift-JIS whose characters have 0x5C
// ("\") as their second byte, and a typed name that ends in one. Such a byte
// taken for a backslash would cut the chosen file's folder in the middle of
// a character, and the wide dialog's answers must come back as Shift-JIS.
class DlgExFolderMenu932 : public FolderDialogTest {
 protected:
  void SetUp() override {
    FolderDialogTest::SetUp();
    ASSERT_EQ(GetACP(), 932u) << "this suite needs code page 932 (LANG=ja_JP.UTF-8 and the locale built)";
  }
};

TEST_F(DlgExFolderMenu932, ShiftJisFoldersWithBackslashTrailBytesAreListedAndRecordedWhole) {
  // ソフト and 表示: 0x83 0x5C is ソ, 0x95 0x5C is 表. (A name ending in such
  // a byte cannot be passed quoted on a command line: the typed name ends in one.)
  start_ = folder_.file("\x83\x5c\x83\x74\x83\x67");
  listed_ = folder_.file("\x95\x5c\x8e\xa6");
  ASSERT_TRUE(CreateDirectoryA(start_.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(listed_.c_str(), nullptr));
  Hook();
  for (const char* kind : {"A", "W"}) {
    SCOPED_TRACE(kind);
    Write(info_, Listing(listed_));
    EXPECT_EQ(Dialog(kind, "choose", listed_, "quillo_wine_tests.exe", "a\x83\x5c"), 0u);
    const std::string text = Read(info_);
    EXPECT_EQ(lstrcmpiA(text.c_str(), Chosen(listed_, start_).c_str()), 0) << text;
  }
}

void KeyChord(BYTE modifier, BYTE vk) {
  keybd_event(modifier, 0, 0, 0);
  Tap(vk);
  keybd_event(modifier, 0, KEYEVENTF_KEYUP, 0);
}

// Wine's notepad, File > Open by Ctrl+O. Its menus cannot be read from here
// (another process's menu handle is refused), so they are used by keys: the
// last two items of the system menu are "Folder History" and "Folder
// Shortcut"; the history entry changes the dialog's folder, and "Add Current
// Folder" then registers that folder, which Cancel keeps. With individual
// contents all of it goes to notepad's own file, and FolderInfo.txt is left
// alone; with shared contents the other way round.
TEST_F(DlgExFolders, WineNotepadsOwnOpenDialogCarriesBothMenusWorkingByKeys) {
  const std::string own = folder_.file("DirHist\\Notepad.txt"), untouched = "; untouched\r\n";
  Hook();
  for (const bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared contents" : "individual contents");
    const std::string& used = shared ? info_ : own;
    const std::string& other = shared ? own : info_;
    Write(used, Listing(listed_));
    Write(other, untouched);
    *share_ = shared;
    Process notepad = Process::Start("notepad.exe");
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = FindWindowA("Notepad", nullptr)) != nullptr; }));
    std::pair<DWORD, HWND> dialog{0, nullptr};
    GetWindowThreadProcessId(main, &dialog.first);
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
    KeyChord(VK_CONTROL, 'O');
    ASSERT_TRUE(WaitFor([&] { return (dialog.second = FileDialogOf(dialog.first)) != nullptr; }));
    const HWND dlg = dialog.second;
    // Up, Up, Right, Enter: the first history entry; Up, Right, Enter: "Add Current Folder".
    for (const char* keys : {"\x26\x26\x27\x0d", "\x26\x27\x0d"}) {
      if (GetForegroundWindow() != dlg) SetForegroundWindow(dlg);
      ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == dlg; }));
      KeyChord(VK_MENU, VK_SPACE);
      ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(dialog.first) != nullptr; })) << "no system menu";
      for (const char* k = keys; *k != '\0'; ++k) Tap(static_cast<BYTE>(*k));
      ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(dialog.first) == nullptr; })) << "the menu stayed open";
    }
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const std::string expected = Listing(listed_) + "\r\n; Folder Shortcut\r\nDirReg | " + listed_ + "\r\n";
    EXPECT_TRUE(WaitFor([&] { return lstrcmpiA(Read(used).c_str(), expected.c_str()) == 0; })) << Read(used);
    notepad.Kill();
    EXPECT_EQ(Read(other), untouched);
  }
  *share_ = TRUE;
}

}  // namespace
}  // namespace quillo::wine
