// The 64-bit Quillo and its 32-bit companion, in real processes: the owner
// starts it, restarts it, gives up on it and ends it; the companion serves one
// owner per session and ends with it. CompanionJourney needs the 32-bit tree's
// binaries (QUILLO_BIN32) and a machine that runs 32-bit code; CompanionAbsent
// runs everywhere.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <tlhelp32.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "companion_args.h"
#include "companion_launcher_win.h"
#include "deliverable_names.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using companion::kCompanionMutex;

constexpr char kHook32[] = "QuilloHook.dll";
constexpr char kDlgEx32[] = "QuilloDlgEx.dll";
constexpr char kFakeOwnerClass[] = "QuilloFakeOwner";
constexpr char kNotReachedAbout[] = "32-bit programs are not reached: QuilloCompanion.exe cannot run.";
constexpr DWORD kEndMs = 6000;  // the owner waits 5 s before it terminates

// The 32-bit tree's bin folder as a Windows path: ctest passes the Unix one,
// and Wine's drive Z: is the Unix root.
std::string Bin32() {
  char unixPath[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QUILLO_BIN32", unixPath, sizeof unixPath);
  if (n == 0 || n >= sizeof unixPath) return "";
  std::string path = unixPath;
  if (path[0] != '/') return path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

// Running processes whose program is QuilloCompanion.exe.
std::vector<DWORD> CompanionPids() {
  std::vector<DWORD> pids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32 e = {};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) {
    if (lstrcmpiA(e.szExeFile, kCompanionExe) == 0) pids.push_back(e.th32ProcessID);
  }
  CloseHandle(snap);
  return pids;
}

bool Is32Bit(DWORD pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (h == nullptr) return false;
  BOOL wow = FALSE;
  const bool ok = IsWow64Process(h, &wow) != FALSE;
  CloseHandle(h);
  return ok && wow;
}

bool MutexExists() {
  HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kCompanionMutex);
  if (m == nullptr) return false;
  CloseHandle(m);
  return true;
}

// The companion the owner reports ready (the property of its window), or 0.
DWORD ReadyCompanion(HWND frame) {
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(GetPropA(frame, kCompanionProp)));
}

std::string CompanionLine(const std::string& folder, const std::string& args) {
  return "\"" + folder + "\\" + kCompanionExe + "\"" + (args.empty() ? "" : " " + args);
}

std::string ArgsFor(DWORD pid, HWND window) {
  return "--owner " + std::to_string(pid) + " --window " +
         std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)));
}

// A stand-in owner: a window whose title becomes "ready PID" when a
// companion reports to it, in a process of its own that the test can kill
// without a job around the companion. Ends by itself after two minutes.
LRESULT CALLBACK FakeOwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgCompanionReady) {
    char title[32];
    std::snprintf(title, sizeof title, "ready %lu", static_cast<unsigned long>(wParam));
    SetWindowTextA(hwnd, title);
    return 0;
  }
  if (msg == WM_TIMER) PostQuitMessage(0);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

QUILLO_CHILD(CompanionFakeOwner) {
  (void)args;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FakeOwnerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kFakeOwnerClass;
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kFakeOwnerClass, "waiting", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, wc.hInstance, nullptr);
  if (hwnd == nullptr) return 1;
  SetTimer(hwnd, 1, 120000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

// The fake owner's window once it is up, or null.
HWND StartFakeOwner(Process& owner) {
  owner = StartChild("CompanionFakeOwner");
  HWND w = nullptr;
  WaitFor([&] { return (w = FindWindowA(kFakeOwnerClass, nullptr)) != nullptr; });
  return w;
}

DWORD WindowPid(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

// The pid a fake owner's title reports, 0 while it waits.
DWORD ReportedTo(HWND fakeOwner) {
  unsigned long pid = 0;
  return std::sscanf(WindowText(fakeOwner).c_str(), "ready %lu", &pid) == 1 ? static_cast<DWORD>(pid) : 0;
}

class CompanionJourney : public Resident {
 protected:
  void SetUp() override {
    Resident::SetUp();
    const std::string bin32 = Bin32();
    ASSERT_FALSE(bin32.empty()) << "QUILLO_BIN32 names no folder";
    for (const char* f : {kCompanionExe, kHook32, kDlgEx32}) {
      ASSERT_TRUE(CopyFileA((bin32 + "\\" + f).c_str(), folder_.file(f).c_str(), FALSE)) << bin32 << "\\" << f;
    }
    ASSERT_EQ(CompanionPids(), std::vector<DWORD>()) << "a companion of an earlier run is still there";
  }

  void TearDown() override {
    Resident::TearDown();
    EXPECT_TRUE(WaitFor([] { return CompanionPids().empty(); }, kEndMs)) << "a companion was left running";
    for (DWORD pid : CompanionPids()) {
      if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
        TerminateProcess(h, 99);
        CloseHandle(h);
      }
    }
  }

  // The companion the owner reports ready, other than `notPid`; 0 when none
  // comes within `ms`.
  DWORD WaitReady(DWORD notPid = 0, DWORD ms = 20000) {
    DWORD pid = 0;
    WaitFor([&] { return (pid = ReadyCompanion(frame_)) != 0 && pid != notPid; }, ms);
    return pid != notPid ? pid : 0;
  }
};

TEST_F(CompanionJourney, OwnerStartsOne32BitCompanionThatGetsReadyAndExitEndsIt) {
  const DWORD start = GetTickCount();
  Start();
  const DWORD pid = WaitReady();
  const DWORD readyMs = GetTickCount() - start;
  ASSERT_NE(pid, 0u) << "the owner heard of no ready companion";
  std::printf("[ figure ] owner start to companion ready: %lu ms\n", static_cast<unsigned long>(readyMs));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>{pid});
  EXPECT_TRUE(Is32Bit(pid)) << "the companion is not a 32-bit process";
  EXPECT_TRUE(MutexExists());
  // 32-bit programs are reached: the tip carries no note.
  EXPECT_TRUE(TipBecomes("Quillo"));
  EXPECT_FALSE(TipShown(std::string("Quillo") + kNotReachedNote));
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(h, nullptr);
  Stop();  // Exit, as the tray menu does it
  EXPECT_EQ(WaitForSingleObject(h, kEndMs), static_cast<DWORD>(WAIT_OBJECT_0)) << "the companion outlived Exit";
  DWORD code = 99;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  // Told to quit, it ended by itself (a terminated one ends with 1).
  EXPECT_EQ(code, static_cast<DWORD>(companion::kExitDone));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>());
  EXPECT_FALSE(MutexExists());
}

// A blank in the program folder: the companion's path is quoted, or it would
// read the rest of the path as its arguments and refuse them.
TEST_F(CompanionJourney, OwnerInAFolderWithABlankStartsItsCompanion) {
  const std::string blank = folder_.file("Program Files");
  ASSERT_TRUE(CreateDirectoryA(blank.c_str(), nullptr));
  for (const char* f : {kQuilloExe, kHookDll, kDlgExDll, "MenuTemp.txt", kCompanionExe, kHook32, kDlgEx32}) {
    ASSERT_TRUE(CopyFileA(folder_.file(f).c_str(), (blank + "\\" + f).c_str(), FALSE)) << f;
  }
  frame_ = StartQuillo(blank, quillo_);
  ASSERT_NE(frame_, nullptr);
  const DWORD pid = WaitReady();
  ASSERT_NE(pid, 0u) << "no companion got ready from a folder with a blank";
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>{pid});
  Stop();
  EXPECT_TRUE(WaitFor([] { return CompanionPids().empty(); }, kEndMs));
}

TEST_F(CompanionJourney, KilledOwnerTakesItsCompanionWithinSeconds) {
  Start();
  const DWORD pid = WaitReady();
  ASSERT_NE(pid, 0u);
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(h, nullptr);
  const DWORD start = GetTickCount();
  quillo_.Kill();  // TerminateProcess: no Exit steps run
  frame_ = nullptr;
  const DWORD r = WaitForSingleObject(h, 10000);
  const DWORD goneMs = GetTickCount() - start;
  CloseHandle(h);
  ASSERT_EQ(r, static_cast<DWORD>(WAIT_OBJECT_0)) << "the companion outlived its killed owner";
  std::printf("[ figure ] owner killed to companion gone: %lu ms\n", static_cast<unsigned long>(goneMs));
  EXPECT_LT(goneMs, 5000u);
  EXPECT_TRUE(WaitFor([] { return CompanionPids().empty() && !MutexExists(); }, 2000));
}

TEST_F(CompanionJourney, KilledCompanionIsStartedAgainThreeTimesThenTheTipSaysNotReached) {
  Start();
  DWORD pid = WaitReady();
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(TipBecomes("Quillo"));
  for (int restart = 1; restart <= 4; ++restart) {
    // The old process stays open until the new one is seen, so that its id
    // cannot be handed out again meanwhile.
    HANDLE old = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(old, nullptr) << "restart " << restart;
    ASSERT_TRUE(TerminateProcess(old, 1));
    ASSERT_EQ(WaitForSingleObject(old, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    const DWORD next = WaitReady(pid, restart <= 3 ? 20000 : 3000);
    CloseHandle(old);
    if (restart <= 3) {
      ASSERT_NE(next, 0u) << "no new companion after kill " << restart;
      EXPECT_TRUE(Is32Bit(next));
      EXPECT_EQ(CompanionPids(), std::vector<DWORD>{next}) << "after kill " << restart;
      pid = next;
    } else {
      EXPECT_EQ(next, 0u) << "a fourth restart within ten minutes";
    }
  }
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>());
  EXPECT_EQ(ReadyCompanion(frame_), 0u);
  EXPECT_TRUE(TipBecomes(std::string("Quillo") + kNotReachedNote));
  EXPECT_TRUE(quillo_.running()) << "the owner went with its companion";
}

TEST_F(CompanionJourney, SecondCompanionForTheSessionEndsAtOnceAndTheFirstStays) {
  Start();
  const DWORD first = WaitReady();
  ASSERT_NE(first, 0u);
  Process second = Process::Start(CompanionLine(folder_.path(), ArgsFor(ProcessId(), frame_)), folder_.path());
  ASSERT_TRUE(second.valid());
  DWORD code = 99;
  const DWORD start = GetTickCount();
  ASSERT_TRUE(second.Wait(5000, &code)) << "a second companion kept running";
  std::printf("[ figure ] a second companion ended after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
  EXPECT_EQ(code, static_cast<DWORD>(companion::kExitAlreadyRunning));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>{first});
  EXPECT_EQ(ReadyCompanion(frame_), first);
}

TEST_F(CompanionJourney, ByHandWithoutArgumentsItSaysWhoStartsItAndEnds) {
  Process p = Process::Start(CompanionLine(folder_.path(), ""), folder_.path());
  ASSERT_TRUE(p.valid());
  ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1)) << "no message box";
  const auto texts = MessageBoxWatcher::Instance().Take();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("Quillo64.exe"), std::string::npos) << texts[0];
  DWORD code = 99;
  ASSERT_TRUE(p.Wait(5000, &code));
  EXPECT_EQ(code, static_cast<DWORD>(companion::kExitUsage));
  // It never took the session's place either.
  EXPECT_FALSE(MutexExists());
}

TEST_F(CompanionJourney, ByHandItServesOnlyAWholeCommandLineAndTheOwnersOwnWindow) {
  Process fake;
  HWND owner = StartFakeOwner(fake);
  ASSERT_NE(owner, nullptr);
  const DWORD ownerPid = WindowPid(owner);
  struct Row {
    std::string args;
    DWORD code;
  } rows[] = {
      {"--owner " + std::to_string(ownerPid), companion::kExitUsage},
      {"--window 1 --owner 2 --extra", companion::kExitUsage},
      // The window is real but not the owner's.
      {ArgsFor(GetCurrentProcessId(), owner), companion::kExitNoOwner},
  };
  for (const auto& r : rows) {
    Process p = Process::Start(CompanionLine(folder_.path(), r.args), folder_.path());
    DWORD code = 99;
    ASSERT_TRUE(p.Wait(5000, &code)) << r.args;
    EXPECT_EQ(code, r.code) << r.args;
  }
  EXPECT_EQ(ReportedTo(owner), 0u) << "a refused companion reported in";
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "a bad command line showed a box";
  // The same owner with the whole command line is served.
  Process good = Process::Start(CompanionLine(folder_.path(), ArgsFor(ownerPid, owner)), folder_.path());
  ASSERT_TRUE(WaitFor([&] { return ReportedTo(owner) != 0; }));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>{ReportedTo(owner)});
  // Without a job around it, it still ends with its owner: it watches the
  // owner's process itself.
  const DWORD start = GetTickCount();
  fake.Kill();
  DWORD code = 99;
  ASSERT_TRUE(good.Wait(5000, &code)) << "the companion outlived its owner";
  std::printf("[ figure ] owner without a job killed to companion gone: %lu ms\n",
              static_cast<unsigned long>(GetTickCount() - start));
  EXPECT_EQ(code, static_cast<DWORD>(companion::kExitDone));
}

TEST_F(CompanionJourney, CompanionThatEndsBeforeItIsReadyIsNotStartedAgain) {
  // Without its hook library the companion cannot even load.
  ASSERT_TRUE(DeleteFileA(folder_.file(kHook32).c_str()));
  Start();
  EXPECT_TRUE(TipBecomes(std::string("Quillo") + kNotReachedNote));
  EXPECT_EQ(ReadyCompanion(frame_), 0u);
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>());
  EXPECT_TRUE(quillo_.running());
}

TEST_F(CompanionJourney, CompanionThatNeverReportsIsEndedAfterFifteenSecondsAndNotStartedAgain) {
  // A 32-bit program that runs but never reports in: notepad in its place.
  ASSERT_TRUE(CopyFileA("C:\\windows\\syswow64\\notepad.exe", folder_.file(kCompanionExe).c_str(), FALSE));
  const DWORD start = GetTickCount();
  Start();
  DWORD pid = 0;
  ASSERT_TRUE(WaitFor([&] {
    const auto pids = CompanionPids();
    pid = pids.size() == 1 ? pids[0] : 0;
    return pid != 0;
  })) << "the stand-in was not started";
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 5000), static_cast<DWORD>(WAIT_TIMEOUT)) << "ended long before its time";
  const DWORD r = WaitForSingleObject(h, 30000);
  const DWORD endedMs = GetTickCount() - start;
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  ASSERT_EQ(r, static_cast<DWORD>(WAIT_OBJECT_0)) << "a companion that never got ready was left running";
  EXPECT_EQ(code, static_cast<DWORD>(companion::kExitNotReadyInTime));
  EXPECT_GE(endedMs, 14000u);
  EXPECT_TRUE(TipBecomes(std::string("Quillo") + kNotReachedNote));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>()) << "started again";
  EXPECT_EQ(ReadyCompanion(frame_), 0u);
}

class CompanionAbsent : public Resident {
 protected:
  void SetUp() override {
    Resident::SetUp();
    ASSERT_EQ(CompanionPids(), std::vector<DWORD>()) << "a companion of an earlier run is still there";
  }
};

TEST_F(CompanionAbsent, MissingCompanionFile_TipAndAboutSayThat32BitProgramsAreNotReached) {
  Start();
  EXPECT_TRUE(TipBecomes(std::string("Quillo") + kNotReachedNote));
  EXPECT_EQ(CompanionPids(), std::vector<DWORD>());
  // The owner goes on: the About box, from the tray menu, says it too.
  ChooseFromTrayMenu(13);
  HWND about = DialogInFront("About Quillo");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(about, 1001)), kNotReachedAbout);
  Tap(VK_RETURN);
  EXPECT_TRUE(WaitFor([] { return FindWindowA("#32770", "About Quillo") == nullptr; }));
}

// Exit with a companion that hears no quit message: the owner waits 5 s,
// then ends it, and ends itself.
TEST_F(CompanionAbsent, ExitEndsACompanionThatIgnoresTheQuitMessageAfterFiveSeconds) {
  ASSERT_TRUE(CopyFileA(folder_.file("quillo_wine_tests.exe").c_str(), folder_.file(kCompanionExe).c_str(), FALSE));
  Start();
  DWORD pid = 0;
  ASSERT_TRUE(WaitFor([&] {
    const auto pids = CompanionPids();
    pid = pids.size() == 1 ? pids[0] : 0;
    return pid != 0;
  })) << "the stand-in was not started";
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(h, nullptr);
  const DWORD start = GetTickCount();
  Stop();  // Exit; the fixture checks that the owner ends with 0
  const DWORD stopMs = GetTickCount() - start;
  EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the stand-in outlived its owner";
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  EXPECT_EQ(code, 1u) << "not ended by the owner";
  std::printf("[ figure ] Exit with a deaf companion took %lu ms\n", static_cast<unsigned long>(stopMs));
  EXPECT_GE(stopMs, 4900u);
  EXPECT_LT(stopMs, 15000u);
}

TEST_F(CompanionAbsent, CompanionThatCannotRun_TipSaysThat32BitProgramsAreNotReached) {
  // What a machine without 32-bit support makes of the program: nothing
  // that runs.
  const std::string junk = "this is no program";
  ASSERT_TRUE(WriteFileBytes(folder_.file(kCompanionExe), std::vector<unsigned char>(junk.begin(), junk.end())));
  Start();
  EXPECT_TRUE(TipBecomes(std::string("Quillo") + kNotReachedNote));
  EXPECT_TRUE(quillo_.running());
}

}  // namespace
}  // namespace quillo::wine

namespace quillo::wine {
namespace {

// Whether process `pid` has a module named `name` loaded, its 32-bit ones included.
bool HasModule(DWORD pid, const char* name) {
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (h == nullptr) return false;
  HMODULE mods[512];
  DWORD needed = 0;
  bool found = false;
  if (EnumProcessModulesEx(h, mods, sizeof mods, &needed, LIST_MODULES_ALL)) {
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512 && !found; ++i) {
      char base[MAX_PATH] = {};
      GetModuleBaseNameA(h, mods[i], base, sizeof base);
      found = lstrcmpiA(base, name) == 0;
    }
  } else {
    std::printf("EnumProcessModulesEx failed: %lu\n", GetLastError());
  }
  CloseHandle(h);
  return found;
}

// The point of it all: a 32-bit program gets the 32-bit hook library once a
// key reaches it while the companion's hooks are in, and not before.
TEST_F(CompanionJourney, A32BitProgramLoadsThe32BitHookLibraryOnlyWhileTheCompanionHoldsItsHooks) {
  Process notepad = Process::Start("C:\\windows\\syswow64\\notepad.exe");
  HWND front = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    front = GetForegroundWindow();
    char cls[32] = {};
    GetClassNameA(front, cls, sizeof cls);
    return lstrcmpiA(cls, "Notepad") == 0;
  })) << "no 32-bit notepad in front";
  const DWORD pid = WindowPid(front);
  ASSERT_TRUE(Is32Bit(pid));
  // The module list of a 32-bit process can be read from here.
  ASSERT_TRUE(HasModule(pid, "kernel32.dll"));
  Tap(VK_SHIFT);
  EXPECT_FALSE(WaitFor([&] { return HasModule(pid, kHook32); }, 1500)) << "loaded without a companion";
  Start();
  ASSERT_NE(WaitReady(), 0u);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front || SetForegroundWindow(front); }));
  Tap(VK_SHIFT);
  EXPECT_TRUE(WaitFor([&] { return HasModule(pid, kHook32); }, 5000)) << "the keyboard hook never reached it";
  EXPECT_TRUE(HasModule(pid, kDlgEx32)) << "the call-window hook never reached it";
  EXPECT_FALSE(HasModule(pid, kHookDll)) << "the 64-bit library in a 32-bit program";
  notepad.Kill();
}


// ---- One Quillo for programs of both bitnesses ----

// A notepad of each bitness: Wine's 64-bit one and its 32-bit one.
struct Notepad {
  HWND frame = nullptr;
  HWND edit = nullptr;
  DWORD pid = 0;
};

BOOL CALLBACK FindNotepads(HWND hwnd, LPARAM param) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(param);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, "Notepad") == 0 && IsWindowVisible(hwnd)) found->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CountMenus(HWND hwnd, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpA(cls, "#32768") == 0 && IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(param);
  return TRUE;
}

// Visible pop-up menus on the whole desktop, of any program.
int OpenMenus() {
  int n = 0;
  EnumWindows(CountMenus, reinterpret_cast<LPARAM>(&n));
  return n;
}

class BothFlavorsJourney : public CompanionJourney {
 protected:
  void TearDown() override {
    notepad32_.Kill();
    notepad64_.Kill();
    CompanionJourney::TearDown();
  }

  // Starts the owner and both notepads; false when a step failed.
  bool StartAll() {
    Start();
    if (frame_ == nullptr || WaitReady() == 0) return false;
    // The stack menu of an empty history is a message instead.
    if (!PutClipboardText("an entry") || !HistoryBecomes({"an entry"})) return false;
    notepad64_ = Process::Start("notepad.exe");
    notepad32_ = Process::Start("C:\\windows\\syswow64\\notepad.exe");
    return WaitFor([&] {
      std::vector<HWND> found;
      EnumWindows(FindNotepads, reinterpret_cast<LPARAM>(&found));
      for (HWND w : found) {
        Notepad& n = Is32Bit(WindowPid(w)) ? n32_ : n64_;
        n.frame = w;
        n.pid = WindowPid(w);
        n.edit = FindWindowExA(w, nullptr, "Edit", nullptr);
      }
      return n32_.edit != nullptr && n64_.edit != nullptr;
    });
  }

  static bool Front(const Notepad& n) {
    return WaitFor([&] { return GetForegroundWindow() == n.frame || (SetForegroundWindow(n.frame), false); });
  }

  // The notepad copies its own selection: the clipboard is set by its process.
  static void CopyIn(const Notepad& n, const char* text) {
    SendMessageA(n.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(n.edit, EM_SETSEL, 0, -1);
    SendMessageA(n.edit, WM_COPY, 0, 0);
  }

  // Ctrl twice in `n`, in front: true when its menu shows. The companion
  // hooks a new program's thread within a fraction of a second, so a press
  // that came first is tried again.
  static bool MenuAfterDoubleCtrl(const Notepad& n, int tries = 3) {
    for (int i = 0; i < tries; ++i) {
      if (!Front(n)) return false;
      Tap(VK_CONTROL);
      Tap(VK_CONTROL);
      if (WaitFor([&] { return OpenMenuOf(n.pid) != nullptr; }, 3000)) return true;
    }
    return false;
  }

  // Keys reach `n`'s edit: what a journey that expects no menu must show,
  // or the menu it did not see proves nothing.
  static bool KeysArrive(const Notepad& n) {
    SendMessageA(n.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    if (!Front(n)) return false;
    TypeText("k");
    return WaitFor([&] { return WindowText(n.edit) == "k"; });
  }

  // One menu shows, and no second one follows it.
  static bool ExactlyOneMenu() { return OpenMenus() == 1 && !WaitFor([] { return OpenMenus() > 1; }, 500); }

  Process notepad32_, notepad64_;
  Notepad n32_, n64_;
};

// Double Ctrl in a 32-bit and in a 64-bit program each opens exactly one
// menu, in that program, and the entry chosen is pasted there; a text copied
// in either is offered in the other.
TEST_F(BothFlavorsJourney, EachBitnessGetsOneMenuAndTheHistoryCopiedInTheOther) {
  ASSERT_TRUE(StartAll());
  CopyIn(n32_, "copied in thirty-two");
  ASSERT_TRUE(HistoryBecomes({"copied in thirty-two", "an entry"}));
  SendMessageA(n64_.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  ASSERT_TRUE(MenuAfterDoubleCtrl(n64_)) << "no menu in the 64-bit notepad";
  EXPECT_TRUE(ExactlyOneMenu()) << "one double Ctrl, one menu on the whole desktop";
  Tap('1');
  EXPECT_TRUE(WaitFor([&] { return WindowText(n64_.edit) == "copied in thirty-two"; })) << WindowText(n64_.edit);

  CopyIn(n64_, "copied in sixty-four");
  ASSERT_TRUE(HistoryBecomes({"copied in sixty-four", "copied in thirty-two", "an entry"}));
  SendMessageA(n32_.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_)) << "no menu in the 32-bit notepad";
  EXPECT_TRUE(ExactlyOneMenu()) << "one double Ctrl, one menu on the whole desktop";
  EXPECT_TRUE(HasModule(n32_.pid, kHook32));
  EXPECT_FALSE(HasModule(n32_.pid, kHookDll));
  Tap('2');
  EXPECT_TRUE(WaitFor([&] { return WindowText(n32_.edit) == "copied in thirty-two"; })) << WindowText(n32_.edit);
}

// The suspend switch, set from the tray menu, holds in both bitnesses from
// the next key on, and so does switching it off again.
TEST_F(BothFlavorsJourney, SuspendHoldsInBothBitnessesFromTheNextKey) {
  ASSERT_TRUE(StartAll());
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_)) << "no menu before the switch";
  Tap(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  ChooseFromTrayMenu(9);  // "Suspend"
  ASSERT_TRUE(WaitFor([] { return g_bSuspend == TRUE; }));
  for (const Notepad* n : {&n32_, &n64_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    EXPECT_FALSE(MenuAfterDoubleCtrl(*n, 1)) << "a menu while suspended";
    EXPECT_TRUE(KeysArrive(*n)) << "the keys never reached it";
  }
  ChooseFromTrayMenu(9);
  ASSERT_TRUE(WaitFor([] { return g_bSuspend == FALSE; }));
  for (const Notepad* n : {&n64_, &n32_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    EXPECT_TRUE(MenuAfterDoubleCtrl(*n, 1)) << "no menu after the switch went off";
    Tap(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  }
}

// A killed owner takes its companion with it, and the hooks that Wine keeps
// calling afterwards open no menu in either bitness.
TEST_F(BothFlavorsJourney, AfterAKilledOwnerNoHookOfEitherBitnessActs) {
  ASSERT_TRUE(StartAll());
  for (const Notepad* n : {&n32_, &n64_}) {
    ASSERT_TRUE(MenuAfterDoubleCtrl(*n)) << (n == &n32_ ? "32-bit" : "64-bit");
    Tap(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  }
  quillo_.Kill();
  frame_ = nullptr;
  ASSERT_TRUE(WaitFor([] { return CompanionPids().empty(); }, 5000)) << "the companion outlived its owner";
  for (const Notepad* n : {&n32_, &n64_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    EXPECT_FALSE(MenuAfterDoubleCtrl(*n, 1)) << "a hook acted for a dead owner";
    EXPECT_TRUE(KeysArrive(*n)) << "the keys never reached it";
  }
  EXPECT_TRUE(HasModule(n32_.pid, kHook32)) << "the 32-bit library was never in the 32-bit notepad";
  // Started again, the owner's hooks act once: those of the killed one,
  // which Wine keeps calling, are taken out.
  Start();
  ASSERT_NE(WaitReady(), 0u);
  for (const Notepad* n : {&n32_, &n64_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    ASSERT_TRUE(Front(*n));
    Tap(VK_CONTROL);
    EXPECT_FALSE(WaitFor([&] { return OpenMenuOf(n->pid) != nullptr; }, 1000)) << "one Ctrl opened a menu";
    ASSERT_TRUE(MenuAfterDoubleCtrl(*n));
    EXPECT_TRUE(ExactlyOneMenu());
    Tap(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  }
}

// A companion that dies leaves its hooks on the threads it hooked (Wine keeps
// them); the one started after it hooks them again. Each key is still
// handled once: one Ctrl opens nothing, Ctrl twice one menu.
TEST_F(BothFlavorsJourney, ARestartedCompanionActsOnceWhereItsPredecessorHooked) {
  ASSERT_TRUE(StartAll());
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_));
  Tap(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  const DWORD first = ReadyCompanion(frame_);
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, first);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(TerminateProcess(h, 1));
  ASSERT_EQ(WaitForSingleObject(h, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
  ASSERT_NE(WaitReady(first), 0u) << "not started again";
  CloseHandle(h);
  ASSERT_TRUE(Front(n32_));
  Tap(VK_CONTROL);
  EXPECT_FALSE(WaitFor([&] { return OpenMenuOf(n32_.pid) != nullptr; }, 1000)) << "one Ctrl opened a menu";
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_));
  EXPECT_TRUE(ExactlyOneMenu());
}

// Figures, not limits: second Ctrl release to a visible menu in a 32-bit
// notepad, under the 64-bit owner with its companion and under the 32-bit
// Quillo.exe alone, in one run.
TEST_F(BothFlavorsJourney, FiguresMenuTimeIn32BitProgramUnderOwnerAndUnderQuilloExeAlone) {
  ASSERT_TRUE(StartAll());
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_));
  Tap(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  auto measure = [&](const char* who) {
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    double best = 1e9, total = 0;
    int n = 0;
    for (int i = 0; i < 10; ++i) {
      if (!Front(n32_)) break;
      Tap(VK_CONTROL);
      Key(VK_CONTROL);
      QueryPerformanceCounter(&t0);
      Key(VK_CONTROL, true);
      if (!WaitFor([&] { return OpenMenuOf(n32_.pid) != nullptr; }, 3000, 1)) continue;
      QueryPerformanceCounter(&t1);
      const double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
      best = ms < best ? ms : best;
      total += ms;
      ++n;
      Tap(VK_ESCAPE);
      WaitFor([] { return OpenMenus() == 0; });
    }
    std::printf("[ figure ] 32-bit notepad, second Ctrl release to visible menu, %s: best %.1f ms, mean %.1f ms (%d of 10)\n",
                who, best, n > 0 ? total / n : 0.0, n);
    return n;
  };
  EXPECT_GT(measure("Quillo64.exe with its companion"), 0);
  Stop();
  ASSERT_TRUE(WaitFor([] { return CompanionPids().empty(); }, kEndMs));
  // The 32-bit program alone, from a folder of its own.
  ProgramFolder alone({"MenuTemp.txt"});
  ASSERT_TRUE(alone.ok());
  const std::string bin32 = Bin32();
  for (const char* f : {"Quillo.exe", kHook32, kDlgEx32}) {
    ASSERT_TRUE(CopyFileA((bin32 + "\\" + f).c_str(), alone.file(f).c_str(), FALSE)) << f;
  }
  Process quillo32;
  const HWND frame32 = StartQuillo(alone.path(), quillo32, "Quillo.exe");
  DWORD code = 0;
  ASSERT_NE(frame32, nullptr) << "Quillo.exe did not start; ended: " << quillo32.Wait(0, &code) << " with " << code;
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_));
  Tap(VK_ESCAPE);
  WaitFor([] { return OpenMenus() == 0; });
  EXPECT_GT(measure("Quillo.exe alone"), 0);
  PostMessageA(frame32, WM_CLOSE, 0, 0);
  EXPECT_TRUE(quillo32.Wait(30000));
}


std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// The file in lower case: the dialog may name a folder in another case.
std::string ReadText(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  return Lower(std::string(bytes.begin(), bytes.end()));
}

// The folder menus of a 32-bit and a 64-bit notepad's Open dialogs: "Add
// Current Folder" in each lands in the one folder information file.
TEST_F(BothFlavorsJourney, FolderMenusOfBothBitnessesRecordIntoOneFile) {
  ASSERT_TRUE(CreateDirectoryA(folder_.file("DirHist").c_str(), nullptr));
  const std::string info = folder_.file("DirHist\\FolderInfo.txt");
  const std::string a = folder_.file("ThirtyTwo"), b = folder_.file("SixtyFour");
  ASSERT_TRUE(CreateDirectoryA(a.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(b.c_str(), nullptr));
  ASSERT_TRUE(StartAll());
  for (const auto& [n, folder] : {std::pair<const Notepad*, std::string>{&n32_, a}, {&n64_, b}}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    ASSERT_TRUE(Front(*n));
    Key(VK_CONTROL);
    Tap('O');
    Key(VK_CONTROL, true);
    HWND dlg = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dlg = FileDialogOf(n->pid)) != nullptr; }));
    // A folder typed into the file name and Open: the dialog goes there.
    HWND name = GetDlgItem(dlg, 1148);
    while (name != nullptr && FindWindowExA(name, nullptr, nullptr, nullptr) != nullptr) {
      name = FindWindowExA(name, nullptr, nullptr, nullptr);
    }
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitFor([&] { return WindowText(name).empty(); })) << "the dialog did not go to " << folder;
    // System menu, Up, Right: "Folder Shortcut"; Up, Enter: its last item,
    // "Add Current Folder", after the folders it lists.
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == dlg || (SetForegroundWindow(dlg), false); }));
    Key(VK_MENU);
    Tap(VK_SPACE);
    Key(VK_MENU, true);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(n->pid) != nullptr; })) << "no system menu";
    for (BYTE k : {VK_UP, VK_RIGHT, VK_UP, VK_RETURN}) Tap(k);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(n->pid) == nullptr; })) << "the menu stayed open";
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return ReadText(info).find(Lower("DirReg | " + folder + "\r\n")) != std::string::npos; }))
        << ReadText(info);
  }
  // Both in the one file, the first kept.
  EXPECT_NE(ReadText(info).find(Lower("DirReg | " + a + "\r\n")), std::string::npos) << ReadText(info);
}


// A text command in a 32-bit notepad: the first phase runs there (the
// 32-bit library cuts the selection), the second in the 64-bit owner (its
// library reads the form the 32-bit one left in the shared block), and the
// quoted lines come back into the notepad.
TEST_F(BothFlavorsJourney, TextCommandIn32BitNotepadQuotesTheSelection) {
  const char menu[] = "&Quote|[E> xxxn]\r\n";
  const std::string path = folder_.file("Commands.txt");
  ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(menu, menu + sizeof menu - 1)));
  const char* setKey = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";
  WriteString(setKey, "MenuFile0", path);
  WriteDword(setKey, "MenuFile0-Preset", 1);  // Ctrl twice
  WriteDword(kGeneralKey, "StackKey", static_cast<DWORD>(-1));
  WriteDword(kGeneralKey, "ChangeKey", static_cast<DWORD>(-1));
  ASSERT_TRUE(StartAll());
  SendMessageA(n32_.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("one\r\ntwo"));
  SendMessageA(n32_.edit, EM_SETSEL, 0, -1);
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_)) << "no custom menu in the 32-bit notepad";
  EXPECT_EQ(OpenMenus(), 1);
  Tap('Q');
  EXPECT_TRUE(WaitFor([&] { return WindowText(n32_.edit) == "> one\r\n> two"; })) << WindowText(n32_.edit);
}


// F1 in a form dialog of the 32-bit library, inside the 32-bit notepad,
// reaches the 64-bit owner, which opens the guide at the form's section.
TEST_F(BothFlavorsJourney, F1InATextCommandFormIn32BitNotepadOpensTheGuideThroughTheOwner) {
  const char menu[] = "&Form|[E]\r\n";
  const std::string path = folder_.file("Commands.txt");
  ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(menu, menu + sizeof menu - 1)));
  const char* setKey = "Software\\Veltrane Soft\\Quillo\\MenuFileSet";
  WriteString(setKey, "MenuFile0", path);
  WriteDword(setKey, "MenuFile0-Preset", 1);  // Ctrl twice
  WriteDword(kGeneralKey, "StackKey", static_cast<DWORD>(-1));
  WriteDword(kGeneralKey, "ChangeKey", static_cast<DWORD>(-1));
  const std::string browser = folder_.file(kStandInEditor);
  ASSERT_TRUE(CopyFileA(folder_.file("quillo_wine_tests.exe").c_str(), browser.c_str(), FALSE));
  StandInBrowser standIn(browser);
  ASSERT_TRUE(standIn.ok());
  ASSERT_TRUE(CreateDirectoryA(folder_.file("guide").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder_.file("guide\\index.html"), {'<', 'p', '>'}));
  ASSERT_TRUE(StartAll());
  SendMessageA(n32_.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("one"));
  SendMessageA(n32_.edit, EM_SETSEL, 0, -1);
  ASSERT_TRUE(MenuAfterDoubleCtrl(n32_)) << "no custom menu in the 32-bit notepad";
  Tap('F');
  HWND form = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (form = FindWindowA("#32770", "Text Modification")) != nullptr && IsWindowVisible(form); }));
  ASSERT_EQ(WindowPid(form), n32_.pid) << "the form is the 32-bit library's, in the notepad";
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == form; }));
  Tap(VK_F1);
  std::string url = "file:///" + folder_.file("guide\\index.html") + "#enclose";
  for (char& c : url) c = c == '\\' ? '/' : c;
  const std::string expected = "\"" + browser + "\" \"" + url + "\"\n";
  std::string logged;
  EXPECT_TRUE(WaitFor([&] {
    const auto bytes = ReadFileBytes(folder_.file(kStandInEditorLog));
    logged.assign(bytes.begin(), bytes.end());
    return !logged.empty();
  }, 15000));
  EXPECT_EQ(lstrcmpiA(logged.c_str(), expected.c_str()), 0) << logged << "expected " << expected;
  Tap(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(form); }));
  EXPECT_EQ(WindowText(n32_.edit), "one");
}

HWND VisibleDialog(const char* title) {
  HWND dlg = nullptr;
  WaitFor([&] { return (dlg = FindWindowA("#32770", title)) != nullptr && IsWindowVisible(dlg); });
  return dlg;
}

// One macro recorded across a 32-bit and a 64-bit notepad: the records of
// both libraries land in it in the order typed, and it plays back into
// either.
TEST_F(BothFlavorsJourney, AMacroRecordedAcrossBothBitnessesPlaysBackIntoEach) {
  constexpr int kNameBox = 1300;  // the macro name in the record and stop dialogs
  ASSERT_TRUE(StartAll());
  ASSERT_TRUE(Front(n32_));
  PostMessageA(frame_, WM_COMMAND, kCmdRecordMacro, 0);
  HWND record = VisibleDialog("Recording user operations");
  ASSERT_NE(record, nullptr) << "no recording dialog";
  SetDlgItemTextA(record, kNameBox, "Both");
  PostMessageA(record, WM_COMMAND, IDOK, 0);
  const std::string path = folder_.file("DirMacro\\Both.mcr");
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }));
  ASSERT_TRUE(WaitFor([&] { return Shared().bRecording == TRUE; }));
  ASSERT_TRUE(Front(n32_));
  TypeText("ab");
  ASSERT_TRUE(WaitFor([&] { return WindowText(n32_.edit) == "ab"; })) << WindowText(n32_.edit);
  ASSERT_TRUE(Front(n64_));
  TypeText("cd");
  ASSERT_TRUE(WaitFor([&] { return WindowText(n64_.edit) == "cd"; })) << WindowText(n64_.edit);
  Tap(VK_PAUSE);
  HWND stop = VisibleDialog("Stop recording");
  ASSERT_NE(stop, nullptr) << "Pause/Break did not stop the recording";
  PostMessageA(stop, WM_COMMAND, IDOK, 0);  // Save
  ASSERT_TRUE(WaitFor([&] {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return ReadFileBytes(path).size() >= 44;
  }));
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 36, 4);
  ASSERT_EQ(bytes.size(), 44u + 24u * count);
  std::string keys;
  for (uint32_t i = 0; i < count; ++i) {
    EventRecord r;
    std::memcpy(&r, bytes.data() + 44 + 24 * i, 24);
    if (r.kind == kEventKindKey && r.a == 1) keys.push_back(static_cast<char>(r.u.key.vk));
  }
  EXPECT_EQ(keys, "ABCD") << "the 32-bit and the 64-bit records, in the order typed";
  for (const Notepad* n : {&n64_, &n32_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    SendMessageA(n->edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    ASSERT_TRUE(Front(*n));
    PostMessageA(frame_, WM_COMMAND, kCmdPlayMacro, 0);
    EXPECT_TRUE(WaitFor([&] { return WindowText(n->edit) == "abcd"; })) << WindowText(n->edit);
    ASSERT_TRUE(WaitFor([&] { return Shared().bPlaying == FALSE; }));
  }
}


struct SheetOf {
  DWORD pid;
  HWND sheet;
};

BOOL CALLBACK FindSheetOf(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<SheetOf*>(param);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (WindowPid(hwnd) != s->pid || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
  if (SendMessageA(hwnd, PSM_GETTABCONTROL, 0, 0) == 0) return TRUE;
  s->sheet = hwnd;
  return FALSE;
}

// The history's size, changed on the options sheet's StackMenu page and
// confirmed with OK, holds in both bitnesses at the next menu: of three
// entries two are left, in the 32-bit and in the 64-bit notepad alike.
TEST_F(BothFlavorsJourney, HistorySizeChangedOnTheOptionsSheetHoldsInBothBitnesses) {
  constexpr UINT kCmdOptions = 32771;
  constexpr int kHistoryNumber = 1442;  // "History number" on the StackMenu page
  ASSERT_TRUE(StartAll());
  CopyIn(n32_, "second");
  ASSERT_TRUE(HistoryBecomes({"second", "an entry"}));
  CopyIn(n64_, "third");
  ASSERT_TRUE(HistoryBecomes({"third", "second", "an entry"}));
  PostMessageA(frame_, WM_COMMAND, kCmdOptions, 0);
  SheetOf found{WindowPid(frame_), nullptr};
  ASSERT_TRUE(WaitFor([&] { EnumWindows(FindSheetOf, reinterpret_cast<LPARAM>(&found)); return found.sheet != nullptr; }))
      << "no options sheet";
  SendMessageA(found.sheet, PSM_SETCURSEL, 2, 0);  // General, CustomMenu, StackMenu
  HWND page = reinterpret_cast<HWND>(SendMessageA(found.sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  ASSERT_NE(GetDlgItem(page, kHistoryNumber), nullptr) << "not the StackMenu page";
  SetDlgItemTextA(page, kHistoryNumber, "2");
  SendMessageA(found.sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(found.sheet); })) << "OK left the sheet open";
  ASSERT_TRUE(WaitFor([] { return g_nNumClipHistory == 2; })) << g_nNumClipHistory;
  for (const Notepad* n : {&n32_, &n64_}) {
    SCOPED_TRACE(n == &n32_ ? "32-bit" : "64-bit");
    SendMessageA(n->edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    ASSERT_TRUE(MenuAfterDoubleCtrl(*n));
    Tap('3');  // no third entry: the menu stays, nothing is pasted
    Tap('2');
    EXPECT_TRUE(WaitFor([&] { return WindowText(n->edit) == "second"; })) << WindowText(n->edit);
    EXPECT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
  }
}

}  // namespace
}  // namespace quillo::wine
