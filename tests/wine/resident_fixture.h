// The real Quillo.exe in a fresh program folder with a clean registry key:
// started, stopped as Exit stops it, and its history read as the library in
// that folder sees it. Shared by the journeys of the resident program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "wine_support.h"

namespace quillo::wine {

using Texts = std::vector<std::string>;
constexpr char kGeneralKey[] = "Software\\Veltrane Soft\\Quillo\\General";

// Puts text on the clipboard as another program would, optionally with one
// more format holding `extra` bytes.
bool PutClipboardText(const std::string& text, UINT extraFormat = 0, const std::string& extra = "");
DWORD ReadDword(const char* key, const char* name, DWORD fallback);
void WriteDword(const char* key, const char* name, DWORD value);
void WriteString(const char* key, const char* name, const std::string& value);

// A top-level dialog titled `title`, once it is the foreground window; null
// when none comes to the front within 10 s.
HWND DialogInFront(const char* title);
// A click at screen point `p` as the user makes it: the pointer arrives
// first, and the button goes down once the system has `target` under it.
void ClickAt(POINT p, HWND target, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP);
// A left click in the middle of `window`.
void ClickOn(HWND window);

// Our icon is the only one in the notification area: the rightmost 20x20
// place of the task bar.
POINT TrayIconPoint();

// The note the 64-bit flavor adds to every tip when its 32-bit companion
// cannot run.
constexpr char kNotReachedNote[] = " - 32-bit programs are not reached";
// The tip of state `tip` as the fixture's Quillo shows it: the 64-bit flavor
// started without its companion in the folder adds the note.
std::string TipOf(const char* tip);
// Whether a tool tip reading `tip` is shown now.
bool TipShown(const std::string& tip);
// Rests the mouse on the icon until a tip reading `tip` shows, at most `ms`.
bool TipBecomes(const std::string& tip, DWORD ms = 10000);

// The command registered for web addresses, replaced while this lives by
// `exe` with the address as its one argument (a copy of this program named
// kStandInEditor logs how it was started), and put back afterwards: the
// prefix's own browser must not open pages.
class StandInBrowser {
 public:
  // Registered as `exe` in quotes, a space and `argument`, as a value of `type`
  // (REG_EXPAND_SZ: `exe` may name environment variables).
  explicit StandInBrowser(const std::string& exe, const std::string& argument = "\"%1\"", DWORD type = REG_SZ);
  ~StandInBrowser();
  StandInBrowser(const StandInBrowser&) = delete;
  StandInBrowser& operator=(const StandInBrowser&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool had_ = false;
  DWORD oldType_ = REG_SZ;
  std::string old_;
};

class Resident : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts Quillo.exe and waits until its creation steps are done.
  void Start();
  // Ends Quillo.exe as the Exit command does, and waits for it.
  void Stop();
  DWORD ProcessId() const;
  // A right click on the icon, then Down `downs` times and Enter once the menu
  // has settled (separators are skipped, grayed items are not).
  void ChooseFromTrayMenu(int downs);

  // Starts Quillo and an edit window in front, and hands Quillo what the library
  // leaves for an item "abc[!K"ENTER"]def": the text with a placeholder and the
  // key list (Enter pressed and released, then the end). Returns the edit, or
  // null when a step failed.
  HWND PlayKeyStrokeItem(Process& target);

  // The history as the library in the program folder sees it.
  std::optional<Texts> History();
  bool HistoryBecomes(const Texts& expected, DWORD ms = 10000);

  CleanRegistryKey registry_;
  ProgramFolder folder_{{kHookDll, kDlgExDll, kQuilloExe, "MenuTemp.txt", "quillo_wine_tests.exe"}};
  Process quillo_;
  HWND frame_ = nullptr;
};

}  // namespace quillo::wine
