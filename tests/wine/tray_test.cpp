// The tray icon of the real Quillo.exe in Wine's notification area, and its
// menu chosen with a real right click and real keys.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "resident_fixture.h"
#include "target_window.h"
#include "tray/startup_shortcut_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

// Items of the tray menu by the number of Down presses that highlight them
// (separators are skipped, grayed items are not).
enum TrayItem {
  kEditMenuFile = 2,
  kEditHistory = 3,
  kEditScratchFile = 4,
  kEditFolderHistoryFile = 5,
  kReadHistory = 6,
  kSaveHistory = 7,
  kSuspendQuillo = 9,
  kSuspendHistory = 10,
  kSuspendDialogExtension = 11,
  kHelp = 12,
  kAbout = 13,
  kExit = 14,
};

constexpr char kMenuFileSetKey[] = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";

BOOL CALLBACK CountMenus(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<std::pair<DWORD, int>*>(lParam);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (lstrcmpA(cls, "#32768") == 0 && IsWindowVisible(hwnd) && pid == search->first) ++search->second;
  return TRUE;
}

// Visible pop-up menus of process `pid`: the tray menu, and its sub-menu once open.
int OpenMenus(DWORD pid) {
  std::pair<DWORD, int> search{pid, 0};
  EnumWindows(CountMenus, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void AltKey(BYTE vk) {
  Key(VK_MENU);
  Tap(vk);
  Key(VK_MENU, true);
}

class TrayIcon : public Resident {
 protected:
  void Choose(TrayItem item) { ChooseFromTrayMenu(item); }

  void Type(const std::string& upperCaseLetters) {
    for (char c : upperCaseLetters) Tap(static_cast<BYTE>(c));
  }

  // The stand-in editor becomes the Editor setting; answers its path.
  std::string UseStandInEditor() {
    const std::string editor = folder_.file(kStandInEditor);
    EXPECT_TRUE(CopyFileA(ExePath().c_str(), editor.c_str(), FALSE));
    WriteString(kGeneralKey, "Editor", editor);
    return editor;
  }

  // The command lines the stand-in editor was started with, once there are `count`.
  Texts EditorCommandLines(size_t count) {
    Texts lines;
    WaitFor([&] {
      const auto bytes = ReadFileBytes(folder_.file(kStandInEditorLog));
      lines.clear();
      std::string line;
      for (unsigned char c : bytes) {
        if (c != '\n') {
          line.push_back(static_cast<char>(c));
        } else {
          lines.push_back(line);
          line.clear();
        }
      }
      return lines.size() >= count;
    });
    return lines;
  }

};

TEST_F(TrayIcon, AppearsShowsItsMenuOnARightClickAndGoesWithExit) {
  Start();
  ASSERT_TRUE(TipBecomes(TipOf("Quillo"))) << "no icon in the notification area";
  Choose(kExit);
  DWORD code = 99;
  ASSERT_TRUE(quillo_.Wait(30000, &code)) << "Exit did not end the program";
  EXPECT_EQ(code, 0u);
  quillo_ = Process();
  frame_ = nullptr;
  EXPECT_FALSE(TipBecomes(TipOf("Quillo"), 3000)) << "the icon stayed after the end";
  // The normal shut-down ran: the settings were saved.
  EXPECT_EQ(ReadDword(kGeneralKey, "MaxHistoryNum", 0), 50u);
}

TEST_F(TrayIcon, SuspendSwitchesSetTheSharedFlagsAndTheIcon) {
  BOOL* suspend = &g_bSuspend;
  BOOL* suspendDialogs = &g_bSuspendDirHist;
  Handle32<HHOOK>* dialogHook = &g_hCallWndHook;
  Start();
  ASSERT_TRUE(TipBecomes(TipOf("Quillo")));
  EXPECT_EQ(*suspend, FALSE);
  Choose(kSuspendQuillo);
  EXPECT_TRUE(TipBecomes(TipOf("Quillo(suspend)")));
  EXPECT_EQ(*suspend, TRUE);
  // Both switches on: the suspend icon wins; Suspend off again: history icon.
  Choose(kSuspendHistory);
  EXPECT_FALSE(TipBecomes(TipOf("Quillo(suspend history)"), 2000));
  EXPECT_TRUE(TipBecomes(TipOf("Quillo(suspend)")));
  Choose(kSuspendQuillo);
  EXPECT_TRUE(TipBecomes(TipOf("Quillo(suspend history)")));
  EXPECT_EQ(*suspend, FALSE);
  // The file-dialog extension's hook goes and comes back; the icon stays.
  ASSERT_NE(*dialogHook, nullptr);
  Choose(kSuspendDialogExtension);
  EXPECT_TRUE(WaitFor([&] { return *suspendDialogs == TRUE && *dialogHook == nullptr; }));
  Choose(kSuspendDialogExtension);
  EXPECT_TRUE(WaitFor([&] { return *suspendDialogs == FALSE && *dialogHook != nullptr; }));
  EXPECT_TRUE(TipBecomes(TipOf("Quillo(suspend history)")));
  Stop();
  EXPECT_EQ(ReadDword(kGeneralKey, "SuspendHist", 0), 1u);
}

// The switches, and the order the chooser gives the menu-file sets, are in
// the registry at once: a crash right after keeps every one of them.
TEST_F(TrayIcon, SwitchesAndTheChosenMenuFileOrderReachTheRegistryAtOnce) {
  Start();
  ASSERT_TRUE(TipBecomes(TipOf("Quillo")));
  auto stored = [](const char* name) { return WaitFor([&] { return ReadDword(kGeneralKey, name, 9) == 1; }); };
  Choose(kSuspendQuillo);
  EXPECT_TRUE(stored("Suspend")) << "Suspend reached the registry only at Exit";
  Choose(kSuspendHistory);
  EXPECT_TRUE(stored("SuspendHist"));
  Choose(kSuspendDialogExtension);
  EXPECT_TRUE(stored("SuspendDirHist"));
  // The chooser's pick of the second set, as the library sends it.
  DWORD_PTR result = 0;
  ASSERT_NE(SendMessageTimeoutA(frame_, 1034, 1, 0, SMTO_NORMAL, 5000, &result), 0);
  char first[MAX_PATH] = {};
  DWORD size = sizeof first;
  RegGetValueA(HKEY_CURRENT_USER, kMenuFileSetKey, "MenuFile0", RRF_RT_REG_SZ, nullptr, first, &size);
  EXPECT_STREQ(first, "MenuHelp.txt") << "the chosen set is not first in the registry";
  quillo_.Kill();
  quillo_ = Process();
  frame_ = nullptr;
  EXPECT_EQ(ReadDword(kGeneralKey, "Suspend", 9), 1u);
  EXPECT_EQ(ReadDword(kGeneralKey, "SuspendDirHist", 9), 1u);
}

TEST_F(TrayIcon, EditScratchFileWithoutAFileSays2012AndOpensTheEditorWithOne) {
  Start();
  Choose(kEditScratchFile);
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts({"Failed to open a file."}));
  ASSERT_TRUE(WriteFileBytes(folder_.file("Scratch.txt"), {'h', 'i'}));
  Choose(kEditScratchFile);
  // The default editor, Notepad, opens the file.
  HWND notepad = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    notepad = FindWindowA("Notepad", nullptr);
    return notepad != nullptr && WindowText(notepad).find("Scratch") != std::string::npos;
  })) << "no Notepad with Scratch.txt";
  PostMessageA(notepad, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([] { return FindWindowA("Notepad", nullptr) == nullptr; }));
}

TEST_F(TrayIcon, SaveHistoryThenReadHistoryRoundTripThroughTheFileDialogs) {
  Start();
  ASSERT_TRUE(PutClipboardText("one"));
  ASSERT_TRUE(HistoryBecomes({"one"}));
  ASSERT_TRUE(PutClipboardText("two"));
  ASSERT_TRUE(HistoryBecomes({"two", "one"}));
  Choose(kSaveHistory);
  ASSERT_NE(DialogInFront("Save History"), nullptr);
  Type("SAVED");
  Tap(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(folder_.file("saved.hst").c_str()) != INVALID_FILE_ATTRIBUTES; }))
      << "no saved.hst in the program folder";
  PostMessageA(frame_, WM_COMMAND, 32775, 0);  // the stack menu's clear-history command
  ASSERT_TRUE(HistoryBecomes({}));
  Choose(kReadHistory);
  ASSERT_NE(DialogInFront("Read History"), nullptr);
  // Wine's Open dialog adds no default extension to a file that must exist.
  Type("SAVED");
  Tap(VK_OEM_PERIOD);
  Type("HST");
  Tap(VK_RETURN);
  EXPECT_TRUE(HistoryBecomes({"two", "one"}));
}

TEST_F(TrayIcon, HiddenIconComesBackWhenTheProgramIsStartedAgain) {
  WriteDword(kGeneralKey, "HideIcon", 1);
  Start();
  EXPECT_FALSE(TipBecomes(TipOf("Quillo"), 3000)) << "a hidden icon was shown";
  Process second = Process::Start("\"" + folder_.file(kQuilloExe) + "\"", folder_.path());
  ASSERT_TRUE(second.Wait(10000));
  EXPECT_TRUE(TipBecomes(TipOf("Quillo"))) << "the icon did not come back";
}

// Ten menu-file sets: the sub-menu reaches the first nine by their digits and
// the tenth by 0, and each opens its own file in the editor, a name with '&'
// included.
TEST_F(TrayIcon, EditMenuFileOpensTheFileOfTheSetChosenByItsAccessKey) {
  const std::string editor = UseStandInEditor();
  const std::string files[] = {"One.txt", "A&B.txt", "3.txt", "4.txt", "5.txt",
                               "6.txt",   "7.txt",   "8.txt", "9.txt", "Ten.txt"};
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(WriteFileBytes(folder_.file(files[i]), {'x'}));
    WriteString(kMenuFileSetKey, ("MenuFile" + std::to_string(i)).c_str(), files[i]);
  }
  Start();
  const struct {
    BYTE key;
    const char* file;
  } choices[] = {{'2', "A&B.txt"}, {'0', "Ten.txt"}, {'1', "One.txt"}};
  Texts expected;
  for (const auto& choice : choices) {
    SCOPED_TRACE(choice.file);
    ChooseFromTrayMenu(kEditMenuFile);  // Enter opens the sub-menu
    ASSERT_TRUE(WaitFor([&] { return OpenMenus(ProcessId()) == 2; })) << "no sub-menu";
    Tap(choice.key);
    expected.push_back("\"" + editor + "\" \"" + folder_.file(choice.file) + "\"");
    ASSERT_EQ(EditorCommandLines(expected.size()), expected);
  }
}

// "Edit Folder History File..." asks in the DirHist folder for a file and
// opens the one chosen in the editor.
TEST_F(TrayIcon, EditFolderHistoryFileOpensTheFileChosenInDirHist) {
  const std::string editor = UseStandInEditor();
  ASSERT_TRUE(CreateDirectoryA(folder_.file("DirHist").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder_.file("DirHist\\Notepad.txt"), {'x'}));
  Start();
  Choose(kEditFolderHistoryFile);
  ASSERT_NE(DialogInFront("Open"), nullptr);
  Type("NOTEPAD");
  Tap(VK_OEM_PERIOD);
  Type("TXT");
  Tap(VK_RETURN);
  const Texts lines = EditorCommandLines(1);
  ASSERT_EQ(lines.size(), 1u);
  // The Open dialog answers the name as it was typed.
  const std::string expected = "\"" + editor + "\" \"" + folder_.file("DirHist\\Notepad.txt") + "\"";
  EXPECT_EQ(lstrcmpiA(lines[0].c_str(), expected.c_str()), 0) << lines[0];
}

// The About box shows the version, closes with Enter, says 2008 for
// "HomePage" without the URL file, and closes with Escape.
TEST_F(TrayIcon, AboutShowsTheVersionSays2008WithoutTheUrlFileAndClosesWithEnterOrEscape) {
  Start();
  for (const BYTE close : {VK_RETURN, VK_ESCAPE}) {
    Choose(kAbout);
    HWND about = DialogInFront("About Quillo");
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindWindowExA(about, nullptr, "Static", "Quillo Ver2.03"), nullptr);
    if (close == VK_ESCAPE) {
      AltKey('H');
      ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
      EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts({"Could not find the URL file(Veltrane.url)."}));
      ASSERT_EQ(DialogInFront("About Quillo"), about) << "HomePage closed the box without the file";
    }
    Tap(close);
    EXPECT_TRUE(WaitFor([] { return FindWindowA("#32770", "About Quillo") == nullptr; }));
  }
  // With the file, HomePage opens it and the box closes.
  const std::string url = "[InternetShortcut]\r\n";  // no address: nothing to browse to
  ASSERT_TRUE(WriteFileBytes(folder_.file("Veltrane.url"), {url.begin(), url.end()}));
  Choose(kAbout);
  ASSERT_NE(DialogInFront("About Quillo"), nullptr);
  AltKey('H');
  EXPECT_TRUE(WaitFor([] { return FindWindowA("#32770", "About Quillo") == nullptr; }));
}

// The shortcut behind "Launch with Windows", for this test program: created,
// found, and deleted while a shortcut to another program stays.
TEST(StartupShortcut, CreatedFoundAndDeletedWhileAnotherStays) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  char folder[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, TRUE));
  const std::string ours = std::string(folder) + "\\Quillo.lnk";
  const std::string other = std::string(folder) + "\\Other.lnk";
  // Wine runs what the Startup folder holds when the prefix boots: nothing of
  // this test may stay there, whatever way it ends.
  struct Cleanup {
    std::string a, b;
    ~Cleanup() {
      DeleteFileA(a.c_str());
      DeleteFileA(b.c_str());
    }
  } cleanup{ours, other};
  {
    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(&link))));
    IPersistFile* file = nullptr;
    link->SetPath("C:\\windows\\notepad.exe");
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, other.c_str(), -1, wide, MAX_PATH);
    EXPECT_TRUE(SUCCEEDED(file->Save(wide, TRUE)));
    file->Release();
    link->Release();
  }
  EXPECT_EQ(FindStartupShortcut(nullptr, false), 0);
  EXPECT_EQ(CreateStartupShortcut(), 1);
  EXPECT_NE(GetFileAttributesA(ours.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FindStartupShortcut(nullptr, false), 1);
  EXPECT_NE(GetFileAttributesA(ours.c_str()), INVALID_FILE_ATTRIBUTES) << "found without the delete flag";
  EXPECT_EQ(FindStartupShortcut(nullptr, true), 1);
  EXPECT_EQ(GetFileAttributesA(ours.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(other.c_str()), INVALID_FILE_ATTRIBUTES) << "another program's shortcut went";
  EXPECT_EQ(FindStartupShortcut(nullptr, false), 0);
  CoUninitialize();
}

}  // namespace
}  // namespace quillo::wine
