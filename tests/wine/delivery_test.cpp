// Delivery through the shipped library, as the resident program uses it for
// the text pieces of a key-stroke item: CopyTextToClip and PasteText exported
// from QuilloHook.dll put a text into the edit control of another process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillo_hook.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

constexpr char kTargetReadyEvent[] = "QuilloDeliveryWineTargetReady";

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A window with a multi-line edit control that takes the front and the focus,
// waits until something is typed or pasted into it, and writes what it holds
// to the file named by the first argument. 0 when something arrived.
QUILLO_CHILD(PasteTarget) {
  if (args.empty()) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kTargetReadyEvent);
  if (ready == nullptr) return 3;
  HWND window = CreateWindowExA(0, "STATIC", "Paste target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 150, 400, 200,
                                nullptr, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER, 5,
                              5, 380, 150, window, nullptr, nullptr, nullptr);
  if (window == nullptr || edit == nullptr) return 4;
  SetForegroundWindow(window);
  if (!WaitFor([&] {
        Pump();
        return GetForegroundWindow() == window;
      }, 10000)) {
    return 5;
  }
  SetFocus(edit);
  Pump();
  SetEvent(ready);
  CloseHandle(ready);
  char text[1024] = {};
  // A paste inserts the whole text at once, so the first change is all of it.
  const bool arrived = WaitFor([&] {
    Pump();
    return SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)) > 0;
  }, 15000);
  const std::vector<unsigned char> bytes(text, text + std::strlen(text));
  WriteFileBytes(args[0], bytes);
  DestroyWindow(window);
  return arrived ? 0 : 6;
}

class DeliveryWine : public ::testing::Test {
 protected:
  void SetUp() override {
    marker_ = g_cfQuilloMarker;
    paste_ = g_nPasteCmd;
    copyOnly_ = g_bCopyOnly;
    g_cfQuilloMarker = RegisterClipboardFormatA("Quillo Marker");
    g_nPasteCmd = 0;
    g_bCopyOnly = FALSE;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, kTargetReadyEvent);
    ASSERT_NE(ready_, nullptr);
    ASSERT_TRUE(folder_.ok());
  }
  void TearDown() override {
    g_cfQuilloMarker = marker_;
    g_nPasteCmd = paste_;
    g_bCopyOnly = copyOnly_;
    if (ready_ != nullptr) CloseHandle(ready_);
  }

  // Starts the target and waits until its window is in front.
  Process StartTarget() {
    Process target = StartChild("PasteTarget", "\"" + Output() + "\"");
    EXPECT_EQ(WaitForSingleObject(ready_, 20000), WAIT_OBJECT_0) << "the target did not come to the front";
    return target;
  }
  std::string Output() const { return folder_.file("typed.txt"); }
  std::string Typed() const {
    const std::vector<unsigned char> bytes = ReadFileBytes(Output());
    return std::string(bytes.begin(), bytes.end());
  }

  ProgramFolder folder_{std::initializer_list<const char*>{}};
  HANDLE ready_ = nullptr;
  UINT marker_ = 0;
  int paste_ = 0;
  BOOL copyOnly_ = FALSE;
};

TEST_F(DeliveryWine, CopyTextToClipAndPasteTextReachAnotherProcess) {
  Process target = StartTarget();
  HWND front = GetForegroundWindow();
  DWORD frontPid = 0;
  GetWindowThreadProcessId(front, &frontPid);
  ASSERT_NE(frontPid, GetCurrentProcessId());

  ASSERT_TRUE(CopyTextToClip("typed by\r\nanother process", TRUE));
  // On the clipboard beside the marker, owned by the window in front.
  ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000));
  EXPECT_EQ(GetClipboardOwner(), front);
  EXPECT_TRUE(IsClipboardFormatAvailable(g_cfQuilloMarker));
  CloseClipboard();

  PasteText();
  DWORD code = 99;
  ASSERT_TRUE(target.Wait(20000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Typed(), "typed by\r\nanother process");
}

TEST_F(DeliveryWine, CopyOnlyPastesNothingIntoAnotherProcess) {
  g_bCopyOnly = TRUE;
  Process target = StartTarget();
  ASSERT_TRUE(CopyTextToClip("must not arrive", TRUE));
  PasteText();
  // A plain key typed after it: paste keys, had there been any, would have
  // reached the target before it.
  keybd_event('Z', 0, 0, 0);
  keybd_event('Z', 0, KEYEVENTF_KEYUP, 0);
  DWORD code = 99;
  ASSERT_TRUE(target.Wait(20000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Typed(), "z");
}

}  // namespace
}  // namespace quillo::wine
