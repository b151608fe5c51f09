// The real Quillo.exe and Wine's notepad on a screen of the DPI this run gets
// (96 in the shared prefix, 144 in a prefix of its own): the stack menu opens
// at notepad's caret, in the screen's own pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "resident_fixture.h"
#include "target_window.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

UINT ExpectedDpi() {
  const char* want = std::getenv("QUILLO_EXPECT_DPI");
  return want != nullptr ? static_cast<UINT>(std::atoi(want)) : 96;
}

UINT DpiOf(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  auto forWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  return forWindow != nullptr ? forWindow(window) : 0;
}

class DpiCaretJourney : public Resident {};

TEST_F(DpiCaretJourney, StackMenuOpensAtNotepadsCaret) {
  WriteDword(kGeneralKey, "MenuPos", 0);  // at the caret
  Start();
  ASSERT_TRUE(PutClipboardText("at the caret"));
  ASSERT_TRUE(HistoryBecomes({"at the caret"}));

  Process notepad = Process::Start("notepad.exe");
  ASSERT_TRUE(notepad.valid());
  HWND front = nullptr, edit = nullptr;
  DWORD pid = 0;
  ASSERT_TRUE(WaitFor([&] {
    front = GetForegroundWindow();
    char cls[32] = {};
    GetClassNameA(front, cls, sizeof cls);
    if (lstrcmpiA(cls, "Notepad") != 0) return false;
    edit = FindWindowExA(front, nullptr, "Edit", nullptr);
    GetWindowThreadProcessId(front, &pid);
    return edit != nullptr;
  })) << "notepad never came to the front";
  ASSERT_EQ(DpiOf(front), ExpectedDpi()) << "this run is not on a screen of the DPI it was meant for";

  // Away from the edit's corner: two lines down, a few characters in.
  for (const char k : std::string("AB\rCD\rEFGH")) Tap(static_cast<BYTE>(k));  // \r: VK_RETURN
  ASSERT_TRUE(WaitFor([&] { return WindowText(edit).size() == 12; })) << WindowText(edit);

  // The caret's place on the screen, as notepad's thread has it.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  POINT caret{};
  ASSERT_TRUE(WaitFor([&] {
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &gui) || gui.hwndCaret == nullptr) return false;
    caret = {gui.rcCaret.left, gui.rcCaret.top};
    return ClientToScreen(gui.hwndCaret, &caret) != FALSE;
  })) << "notepad shows no caret";
  RECT editRect;
  GetWindowRect(edit, &editRect);
  ASSERT_GT(caret.y - editRect.top, 2 * (gui.rcCaret.bottom - gui.rcCaret.top) - 2) << "the caret is not on line 3";

  Tap(VK_CONTROL);
  Tap(VK_CONTROL);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenuOf(pid)) != nullptr; })) << "no stack menu in notepad";
  RECT at{};
  // The menu is placed once it is shown; read it when it stays put.
  RECT last{-1, -1, -1, -1};
  WaitFor([&] {
    GetWindowRect(menu, &at);
    const bool still = EqualRect(&at, &last);
    last = at;
    return still;
  }, 3000, 100);
  std::printf("[ figure ] %u DPI: caret at (%ld,%ld), height %ld; stack menu at (%ld,%ld), %ldx%ld\n", ExpectedDpi(),
              caret.x, caret.y, gui.rcCaret.bottom - gui.rcCaret.top, at.left, at.top, at.right - at.left,
              at.bottom - at.top);
  const LONG slack = MulDiv(4, static_cast<int>(ExpectedDpi()), 96);
  EXPECT_LE(std::labs(at.left - caret.x), slack) << "menu left " << at.left << ", caret x " << caret.x;
  EXPECT_LE(std::labs(at.top - caret.y), slack) << "menu top " << at.top << ", caret y " << caret.y;
  Tap(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return OpenMenuOf(pid) == nullptr; }));
  notepad.Kill();
}

}  // namespace
}  // namespace quillo::wine
