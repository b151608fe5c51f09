// The folder menus in real Open and Save dialogs of another process: the
// extension is loaded there by its hook, the child drives its own dialog from
// a second thread (menus of another process cannot be read), and the folder
// information file it leaves behind is checked here.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <string>

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
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && lstrcmpA(cls, "#32770") == 0) {
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

struct Journey {
  std::string start, listed;  // the folder the dialog opens in; the one in its history
  volatile LONG result = 1;
};

// Checks the menus, registers the folder shown, changes to the history entry
// with a name typed, and presses OK. 0 when every step held, else the step.
DWORD WINAPI Drive(void* param) {
  auto* j = static_cast<Journey*>(param);
  HWND dlg = nullptr;
  if (!WaitFor([&] { EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dlg)); return dlg != nullptr; })) {
    j->result = 10;
    return 0;
  }
  HMENU system = GetSystemMenu(dlg, FALSE);
  HMENU history = SubMenuByText(system, "Folder History");
  HMENU shortcuts = SubMenuByText(system, "Folder Shortcut");
  LONG r = 0;
  if (history == nullptr || shortcuts == nullptr) r = 11;
  else if (GetMenuItemCount(history) != 1 || ItemText(history, 0) != "&1 " + j->listed) r = 12;
  else if (GetMenuItemCount(shortcuts) != 1 || ItemText(shortcuts, 0) != "Add Current Folder") r = 13;
  if (r == 0) {
    SendMessageA(dlg, WM_SYSCOMMAND, kCmdAddFolder, 0);
    if (GetMenuItemCount(shortcuts) != 3 || lstrcmpiA(ItemText(shortcuts, 0).c_str(), ("&1 " + j->start).c_str()) != 0) r = 14;
  }
  HWND edit = FileNameEdit(dlg);
  if (r == 0 && edit == nullptr) r = 15;
  if (r == 0) {
    SetWindowTextA(edit, "typed.txt");
    SendMessageA(dlg, WM_SYSCOMMAND, kCmdHistoryFirst, 0);
    char typed[64] = {};
    GetWindowTextA(edit, typed, sizeof typed);
    if (lstrcmpA(typed, "typed.txt") != 0) r = 16;
  }
  j->result = r;
  // OK chooses the typed name in the folder now shown; on a failure, Cancel.
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(r == 0 ? IDOK : IDCANCEL, BN_CLICKED), 0);
  return 0;
}

// args: "A" | "W" | "S" (Save, ANSI), the start folder, the listed folder.
// Exit code 0 when the dialog closed on "<listed>\typed.txt".
QUILLO_CHILD(FolderMenuDialog) {
  if (args.size() != 3) return 2;
  Journey j;
  j.start = args[1];
  j.listed = args[2];
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
  WaitForSingleObject(driver, 10000);
  CloseHandle(driver);
  if (j.result != 0) return static_cast<int>(j.result);
  return lstrcmpiA(chosen.c_str(), (j.listed + "\\typed.txt").c_str()) == 0 ? 0 : 20;
}

class DlgExFolderMenu : public ::testing::TestWithParam<const char*> {};

TEST_P(DlgExFolderMenu, HistoryEntryChangesFolderAndTheChoiceIsRecorded) {
  ProgramFolder folder{{kHookDll, kDlgExDll, "quillo_wine_tests.exe"}};
  ASSERT_TRUE(folder.ok());
  const std::string start = folder.file("Start"), listed = folder.file("Listed");
  ASSERT_TRUE(CreateDirectoryA(start.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(listed.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(folder.file("DirHist").c_str(), nullptr));
  const std::string info = folder.file("DirHist\\FolderInfo.txt");
  const std::string before = "; Folder History\r\nDirHist | " + listed + "\r\n";
  ASSERT_TRUE(WriteFileBytes(info, {before.begin(), before.end()}));

  HMODULE dll = LoadLibraryA(folder.file(kDlgExDll).c_str());
  ASSERT_NE(dll, nullptr);
  auto set = reinterpret_cast<BOOL (*)(HWND)>(reinterpret_cast<void*>(GetProcAddress(dll, "SetDlgHookProc")));
  auto* hook = reinterpret_cast<HHOOK*>(reinterpret_cast<void*>(GetProcAddress(dll, "g_hCallWndHook")));
  ASSERT_TRUE(set != nullptr && hook != nullptr);
  // The resident window answers the skip query with 0 (a static control's procedure does).
  HWND resident = CreateWindowExA(0, "STATIC", "resident", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(set(resident), 1);

  Process child = StartChild("FolderMenuDialog", std::string(GetParam()) + " \"" + start + "\" \"" + listed + "\"",
                             folder.file("quillo_wine_tests.exe"));
  DWORD code = 99;
  EXPECT_TRUE(WaitWhilePumping([&] { return child.Wait(0, &code); }, 60000));
  EXPECT_EQ(code, 0u) << "the step that failed in the dialog's process";
  UnhookWindowsHookEx(*hook);
  *hook = nullptr;
  DestroyWindow(resident);

  const std::vector<unsigned char> after = ReadFileBytes(info);
  const std::string text(after.begin(), after.end());
  const std::string expected = "; Folder History\r\nDirHist | " + listed + "\r\n\r\n; Folder Shortcut\r\nDirReg | " + start + "\r\n";
  EXPECT_EQ(lstrcmpiA(text.c_str(), expected.c_str()), 0) << text;
  child.Kill();
  FreeLibrary(dll);
}

INSTANTIATE_TEST_SUITE_P(AnsiWideSave, DlgExFolderMenu, ::testing::Values("A", "W", "S"));

}  // namespace
}  // namespace quillo::wine
