// Quillo.exe for real: started from a fresh program folder with a clean
// registry key, fed by the clipboard of other processes, restarted, and
// asked by the library for what only it can do.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include "history_store.h"
#include "quillo_hook.h"
#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

// Puts `count` texts on the clipboard as fast as it can, the last one being "burst end".
QUILLO_CHILD(ClipboardBurst) {
  const int count = args.empty() ? 0 : std::atoi(args[0].c_str());
  for (int i = 0; i < count; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, i + 1 == count ? "burst end" : "burst %d", i);
    if (!OpenClipboard(nullptr)) {
      Sleep(1);
      --i;
      continue;
    }
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(g), text, std::strlen(text) + 1);
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
  }
  return 0;
}

TEST_F(Resident, CopiesFromAnotherProgramEnterTheHistoryOnce) {
  Start();
  // One copy at a time, as a user makes them; a text that changes no entry is
  // followed by a marker text so that the test knows it was looked at.
  ASSERT_TRUE(PutClipboardText("alpha"));
  ASSERT_TRUE(HistoryBecomes({"alpha"}));
  ASSERT_TRUE(PutClipboardText("beta"));
  ASSERT_TRUE(HistoryBecomes({"beta", "alpha"}));
  ASSERT_TRUE(PutClipboardText("beta"));
  ASSERT_TRUE(PutClipboardText("alpha"));
  EXPECT_TRUE(HistoryBecomes({"alpha", "beta", "alpha"})) << ::testing::PrintToString(History());
}

TEST_F(Resident, OwnTextsExcludedTextsAndOversizedTextsStayOut) {
  Start();
  const UINT marker = RegisterClipboardFormatA("Quillo Marker");
  const UINT exclude = RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
  const UINT ignore = RegisterClipboardFormatA("Clipboard Viewer Ignore");
  const UINT allow = RegisterClipboardFormatA("CanIncludeInClipboardHistory");
  const std::string zero(4, '\0'), one("\x01\0\0\0", 4);
  // Each refused text is followed by an accepted one, so every change is
  // seen to be handled before the next.
  std::vector<std::string> expected;
  int n = 0;
  auto refusedThenSeen = [&](const std::string& text, UINT format, const std::string& data) {
    ASSERT_TRUE(PutClipboardText(text, format, data));
    const std::string seen = "seen " + std::to_string(++n);
    ASSERT_TRUE(PutClipboardText(seen));
    expected.insert(expected.begin(), seen);
    ASSERT_TRUE(HistoryBecomes(expected)) << text.substr(0, 20);
  };
  refusedThenSeen("ours", marker, std::string(32, '\0'));
  refusedThenSeen("password 1", exclude, "x");
  refusedThenSeen("password 2", ignore, "x");
  refusedThenSeen("password 3", allow, zero);
  refusedThenSeen(std::string(history::kBlockSize, 'o'), 0, "");  // 20481 bytes with its zero
  ASSERT_TRUE(PutClipboardText("allowed", allow, one));
  expected.insert(expected.begin(), "allowed");
  ASSERT_TRUE(HistoryBecomes(expected));
  ASSERT_TRUE(PutClipboardText(std::string(history::kMaxEntryBytes, 'f')));  // 20480: the largest taken
  expected.insert(expected.begin(), std::string(history::kMaxEntryBytes, 'f'));
  EXPECT_TRUE(HistoryBecomes(expected));
}

TEST_F(Resident, SecondStartAsksTheFirstToShowItsIconAndEnds) {
  WriteDword(kGeneralKey, "HideIcon", 1);
  Start();
  Process second = Process::Start("\"" + folder_.file(kQuilloExe) + "\"", folder_.path());
  DWORD code = 99;
  ASSERT_TRUE(second.Wait(10000, &code)) << "the second copy kept running";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(quillo_.running());
  Stop();
  // The request reached the first copy: its icon is no longer hidden.
  EXPECT_EQ(ReadDword(kGeneralKey, "HideIcon", 7), 0u);
}

TEST_F(Resident, FreshUserGetsEveryDefaultWrittenAtExit) {
  // What every program the hooks reached is told of the resident window.
  Start();
  EXPECT_EQ(static_cast<HWND>(g_hwndQuillo), frame_);
  Stop();
  // Gone with the program: nobody posts to a handle the system may reuse.
  EXPECT_EQ(static_cast<HWND>(g_hwndQuillo), nullptr);
  struct Row {
    const char* name;
    DWORD value;
  } rows[] = {{"MaxHistoryNum", 50}, {"MaxCharNum", 30}, {"StackKey", 1}, {"ChangeKey", 2},
              {"KeyClearHist", 75}, {"ModClearHist", 3}, {"SaveHist", 1}, {"EncloseTimeLag", 300}};
  for (const auto& r : rows) EXPECT_EQ(ReadDword(kGeneralKey, r.name, 12345), r.value) << r.name;
  // The first start made the user's menu file from the template.
  EXPECT_EQ(ReadFileBytes(folder_.file("MenuItem.txt")), ReadFileBytes(folder_.file("MenuTemp.txt")));
}

TEST_F(Resident, HistorySurvivesARestartByteForByte) {
  Start();
  const std::string sjis = "\x95\x5c\x8e\xa6";  // trail byte 0x5C inside a character
  ASSERT_TRUE(PutClipboardText("one\r\ntwo"));
  ASSERT_TRUE(HistoryBecomes({"one\r\ntwo"}));
  ASSERT_TRUE(PutClipboardText(sjis));
  ASSERT_TRUE(HistoryBecomes({sjis, "one\r\ntwo"}));
  Stop();
  std::vector<unsigned char> expected = {2, 0, 0, 0, 4, 0, 0, 0};
  expected.insert(expected.end(), sjis.begin(), sjis.end());
  for (unsigned char c : {8, 0, 0, 0}) expected.push_back(c);
  for (char c : std::string("one\r\ntwo")) expected.push_back(static_cast<unsigned char>(c));
  EXPECT_EQ(ReadFileBytes(folder_.file("Default.hst")), expected);
  Start();
  EXPECT_TRUE(HistoryBecomes({sjis, "one\r\ntwo"}));
}

TEST_F(Resident, ClearHistoryKeyEmptiesTheHistory) {
  Start();
  ASSERT_TRUE(PutClipboardText("to be cleared"));
  ASSERT_TRUE(HistoryBecomes({"to be cleared"}));
  Key(VK_CONTROL);
  Key(VK_MENU);
  Tap('K');
  Key(VK_MENU, true);
  Key(VK_CONTROL, true);
  EXPECT_TRUE(HistoryBecomes({}));
}

TEST_F(Resident, KeyStrokeItemsArriveAsTextPiecesAndKeysInOrder) {
  Process target;
  HWND edit = PlayKeyStrokeItem(target);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "abc\r\ndef"; })) << WindowText(edit);
  // Only the text pieces went through the clipboard; none entered the history.
  EXPECT_TRUE(HistoryBecomes({}));
}

// Exit while a key-stroke item is still being played: the program ends (the
// quit is not lost in the playback's waits) and plays nothing more.
TEST_F(Resident, ExitDuringKeyStrokePlaybackEndsAndPlaysNoMore) {
  WriteDword(kGeneralKey, "KeyStrokeTimeLag", 10000);
  Process target;
  HWND edit = PlayKeyStrokeItem(target);
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit) == "abc"; })) << WindowText(edit);
  Stop();  // fails when the program does not end
  EXPECT_EQ(WindowText(edit), "abc");
}

TEST_F(Resident, MenuAskedForByAMinimisedWindowIsShownByTheResidentWindow) {
  Start();
  ASSERT_TRUE(PutClipboardText("from the resident"));
  ASSERT_TRUE(HistoryBecomes({"from the resident"}));
  DWORD pid = 0;
  GetWindowThreadProcessId(frame_, &pid);
  SetForegroundWindow(frame_);
  PostMessageA(frame_, 1038, 2, -1);  // the stack menu
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no menu in Quillo.exe";
  Tap(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return OpenMenuOf(pid) == nullptr; }));
}

TEST_F(Resident, SkipQueryAnswersFromTheSkipApplicationList) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Veltrane Soft\\Quillo\\SkipAppList", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const char path[] = "C:\\Apps\\Secret.exe";
  RegSetValueExA(h, "SkipApp0", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  RegCloseKey(h);
  Start();
  struct Row {
    const char* program;
    LRESULT expected;
  } rows[] = {{"C:\\Apps\\Secret.exe", 1}, {"c:\\apps\\SECRET.EXE", 1}, {"C:\\Apps\\Other.exe", 0}};
  for (const auto& r : rows) {
    const ATOM atom = GlobalAddAtomA(r.program);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(SendMessageA(frame_, 1036, atom, 0), r.expected) << r.program;
    GlobalDeleteAtom(atom);
  }
  EXPECT_EQ(SendMessageA(frame_, 1036, 0xC123, 0), 0) << "an atom that does not exist";
}

TEST_F(Resident, EndOfTheSessionSavesHistoryAndSettingsAsExitDoes) {
  WriteDword(kGeneralKey, "MaxCharNum", 42);
  Start();
  ASSERT_TRUE(PutClipboardText("kept at logoff"));
  ASSERT_TRUE(HistoryBecomes({"kept at logoff"}));
  SendMessageA(frame_, WM_QUERYENDSESSION, 0, 0);
  SendMessageA(frame_, WM_ENDSESSION, TRUE, 0);
  // The system ends the program right after; nothing more may be needed.
  quillo_.Kill();
  quillo_ = Process();
  frame_ = nullptr;
  EXPECT_EQ(ReadFileBytes(folder_.file("Default.hst")),
            std::vector<unsigned char>({1, 0, 0, 0, 14, 0, 0, 0, 'k', 'e', 'p', 't', ' ', 'a', 't', ' ', 'l', 'o',
                                        'g', 'o', 'f', 'f'}));
  EXPECT_EQ(ReadDword(kGeneralKey, "MaxCharNum", 0), 42u);
  EXPECT_EQ(ReadDword(kGeneralKey, "MaxHistoryNum", 0), 50u) << "settings were not saved";
}

// A newcomer's first minutes: copy three texts in Wine's notepad, press Ctrl
// twice, choose the second with its access key.
TEST_F(Resident, NotepadJourney) {
  Start();
  Process notepad = Process::Start("notepad.exe");
  HWND front = nullptr, edit = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    front = GetForegroundWindow();
    char cls[32] = {};
    GetClassNameA(front, cls, sizeof cls);
    edit = lstrcmpiA(cls, "Notepad") == 0 ? FindWindowExA(front, nullptr, "Edit", nullptr) : nullptr;
    return edit != nullptr;
  }));
  Texts expected;
  for (const char* t : {"first line", "second line", "third line"}) {
    // Notepad copies its own selection: the clipboard is set by its process.
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t));
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_COPY, 0, 0);
    expected.insert(expected.begin(), t);
    ASSERT_TRUE(HistoryBecomes(expected));
  }
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  DWORD pid = 0;
  GetWindowThreadProcessId(front, &pid);
  Tap(VK_CONTROL);
  Tap(VK_CONTROL);
  ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(pid) != nullptr; })) << "no menu in notepad";
  Tap('2');
  EXPECT_TRUE(WaitFor([&] { return WindowText(edit) == "second line"; })) << WindowText(edit);
}

// A soak: ten thousand texts in a burst from another process. Quillo stays
// up and ends with the newest on top; the figures are reported, not judged.
TEST_F(Resident, SurvivesABurstOfTenThousandCopiesAndReportsItsMemory) {
  WriteDword(kGeneralKey, "MaxHistoryNum", 100);
  Start();
  const DWORD start = GetTickCount();
  EXPECT_EQ(RunChild("ClipboardBurst", "10000", 600000), 0);
  const DWORD burstMs = GetTickCount() - start;
  ASSERT_TRUE(WaitFor([&] {
    auto h = History();
    return h && !h->empty() && h->front() == "burst end";
  }, 60000, 200));
  EXPECT_TRUE(quillo_.running());
  // Fill the store with 100 entries of 20 KB and read the private memory.
  for (int i = 0; i < 100; ++i) {
    std::string t(history::kMaxEntryBytes, static_cast<char>('a' + i % 26));
    t[0] = static_cast<char>('0' + i % 10);
    t[1] = static_cast<char>('0' + i / 10);
    ASSERT_TRUE(PutClipboardText(t));
  }
  ASSERT_TRUE(WaitFor([&] {
    auto h = History();
    return h && h->size() == 100 && (*h)[0][0] == '9' && (*h)[0][1] == '9';
  }, 60000, 200));
  DWORD pid = 0;
  GetWindowThreadProcessId(frame_, &pid);
  HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  const bool got = p != nullptr && GetProcessMemoryInfo(p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  if (p != nullptr) CloseHandle(p);
  // Wine leaves PrivateUsage at 0; the commit charge (PagefileUsage) is the
  // same figure on Windows and is what Wine fills in.
  const SIZE_T priv = pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.PagefileUsage;
  const DWORD stopStart = GetTickCount();
  Stop();
  const DWORD stopMs = GetTickCount() - stopStart;
  std::printf("[ figure ] 10,000 clipboard texts from another process in %lu ms; Quillo.exe with a 100 x 20 KB "
              "history: private %lu KB, working set %lu KB%s; Exit with that history took %lu ms\n",
              burstMs, static_cast<unsigned long>(priv / 1024), static_cast<unsigned long>(pmc.WorkingSetSize / 1024),
              got ? "" : " (not available)", stopMs);
}

}  // namespace
}  // namespace quillo::wine
