#include "resident_fixture.h"

#include <commctrl.h>

#include <cstring>

#include "history_store_win.h"
#include "quillo_hook.h"
#include "target_window.h"

namespace quillo::wine {

// Run from the program folder's copy of this test program, so it shares the
// library (and so g_nNumClipHistory) with the Quillo.exe started there: writes
// the history entries, newest first, separated by 0x01, to args[0].
QUILLO_CHILD(DumpHistory) {
  if (args.empty()) return 2;
  std::string out;
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName);
  if (m != nullptr) {
    if (const char* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0))) {
      for (int i = 0; i < g_nNumClipHistory; ++i) {
        out += std::string(view + static_cast<size_t>(i) * g_dwBlockSize);
        out += '\x01';
      }
      UnmapViewOfFile(view);
    }
    CloseHandle(m);
  }
  return WriteFileBytes(args[0], std::vector<unsigned char>(out.begin(), out.end())) ? 0 : 3;
}

bool PutClipboardText(const std::string& text, UINT extraFormat, const std::string& extra) {
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) return false;
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(g), text.c_str(), text.size() + 1);
  GlobalUnlock(g);
  SetClipboardData(CF_TEXT, g);
  if (extraFormat != 0) {
    HGLOBAL e = GlobalAlloc(GMEM_MOVEABLE, extra.size() ? extra.size() : 1);
    std::memcpy(GlobalLock(e), extra.data(), extra.size());
    GlobalUnlock(e);
    SetClipboardData(extraFormat, e);
  }
  CloseClipboard();
  return true;
}

DWORD ReadDword(const char* key, const char* name, DWORD fallback) {
  DWORD value = fallback, size = sizeof value, type = 0;
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return fallback;
  if (RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    value = fallback;
  }
  RegCloseKey(h);
  return value;
}

void WriteDword(const char* key, const char* name, DWORD value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), ERROR_SUCCESS);
  RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(h);
}

void WriteString(const char* key, const char* name, const std::string& value) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), ERROR_SUCCESS);
  RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(h);
}

HWND DialogInFront(const char* title) {
  HWND dialog = nullptr;
  WaitFor([&] {
    dialog = FindWindowA("#32770", title);
    return dialog != nullptr && GetForegroundWindow() == dialog;
  });
  return dialog != nullptr && GetForegroundWindow() == dialog ? dialog : nullptr;
}

void ClickAt(POINT p, HWND target, DWORD down, DWORD up) {
  MouseAt(p.x, p.y);
  // A button pressed before the move has arrived lands wherever the pointer was.
  WaitFor([&] {
    POINT now = {};
    GetCursorPos(&now);
    return now.x == p.x && now.y == p.y && (target == nullptr || WindowFromPoint(now) == target);
  }, 2000);
  MouseAt(p.x, p.y, down, up);
}

void ClickOn(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, window);
}

constexpr char kBrowserKey[] = "http\\shell\\open\\command";

StandInBrowser::StandInBrowser(const std::string& exe, const std::string& argument, DWORD valueType) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kBrowserKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  char old[1024] = {};
  DWORD size = sizeof old - 1;
  DWORD type = 0;
  had_ = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
  if (had_) {
    old_.assign(old, size > 0 && old[size - 1] == '\0' ? size - 1 : size);
    oldType_ = type;
  }
  const std::string command = "\"" + exe + "\" " + argument;
  ok_ = RegSetValueExA(key, nullptr, 0, valueType, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
}

StandInBrowser::~StandInBrowser() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kBrowserKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  if (had_) {
    RegSetValueExA(key, nullptr, 0, oldType_, reinterpret_cast<const BYTE*>(old_.c_str()),
                   static_cast<DWORD>(old_.size() + 1));
  } else {
    RegDeleteValueA(key, nullptr);
  }
  RegCloseKey(key);
}

POINT TrayIconPoint() {
  RECT r = {};
  GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &r);
  return {r.right - 10, (r.top + r.bottom) / 2};
}

namespace {

struct TipSearch {
  const std::string* tip;
  bool found;
};

BOOL CALLBACK FindTip(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<TipSearch*>(lParam);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && IsWindowVisible(hwnd) && WindowText(hwnd) == *s->tip) {
    s->found = true;
  }
  return !s->found;
}

}  // namespace

bool TipShown(const std::string& tip) {
  TipSearch s{&tip, false};
  EnumWindows(FindTip, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Each icon's tool tip is a window that takes the tip as its text while it is
// shown: the mouse rests on the icon until a tip window reads `tip`.
bool TipBecomes(const std::string& tip, DWORD ms) {
  const DWORD start = GetTickCount();
  int moves = 0;
  return WaitFor(
      [&] {
        // A fresh arrival on the icon every 1.5 s starts the tip's delay again.
        if ((GetTickCount() - start) / 1500 >= static_cast<DWORD>(moves)) {
          const POINT p = TrayIconPoint();
          MouseAt(p.x - 300, p.y - 300);
          MouseAt(p.x - (moves++ % 2), p.y);
        }
        return TipShown(tip);
      },
      ms, 50);
}

std::string TipOf(const char* tip) {
  return kFlavorBits == 64 ? std::string(tip) + kNotReachedNote : std::string(tip);
}

void Resident::ChooseFromTrayMenu(int downs) {
  HWND taskBar = FindWindowA("Shell_TrayWnd", nullptr);
  ASSERT_NE(taskBar, nullptr) << "no task bar: the Wine desktop is not \"shell\"";
  const DWORD pid = ProcessId();
  ClickAt(TrayIconPoint(), taskBar, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  // Keys typed while the menu is still being placed may be lost: wait until
  // it stays put.
  RECT r = {}, last = {};
  ASSERT_TRUE(WaitFor([&] {
    last = r;
    HWND menu = OpenMenuOf(pid);
    return menu != nullptr && GetWindowRect(menu, &r) && EqualRect(&r, &last);
  }, 10000, 100)) << "no tray menu";
  for (int i = 0; i < downs; ++i) Tap(VK_DOWN);
  Tap(VK_RETURN);
}

void Resident::SetUp() {
  ASSERT_TRUE(folder_.ok());
  MessageBoxWatcher::Instance().Take();
  // Joining the viewer chain captures what is on the clipboard at that
  // moment: start every test from an empty clipboard.
  ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000));
  EmptyClipboard();
  CloseClipboard();
}

void Resident::TearDown() {
  Stop();
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "unexpected message boxes";
}

void Resident::Start() {
  frame_ = StartQuillo(folder_.path(), quillo_);
  ASSERT_NE(frame_, nullptr) << "Quillo.exe did not finish starting";
}

void Resident::Stop() {
  if (!quillo_.valid()) return;
  if (frame_ != nullptr) PostMessageA(frame_, WM_CLOSE, 0, 0);
  DWORD code = 99;
  EXPECT_TRUE(quillo_.Wait(60000, &code)) << "Quillo.exe did not end";
  EXPECT_EQ(code, 0u);
  quillo_ = Process();
  frame_ = nullptr;
}

DWORD Resident::ProcessId() const {
  DWORD pid = 0;
  if (frame_ != nullptr) GetWindowThreadProcessId(frame_, &pid);
  return pid;
}

std::optional<Texts> Resident::History() {
  const std::string out = folder_.file("history.out");
  DeleteFileA(out.c_str());
  if (RunChild("DumpHistory", "\"" + out + "\"", 30000, folder_.file("quillo_wine_tests.exe")) != 0) {
    return std::nullopt;
  }
  const auto bytes = ReadFileBytes(out);
  Texts texts;
  std::string cur;
  for (unsigned char c : bytes) {
    if (c == 1) {
      texts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(static_cast<char>(c));
    }
  }
  return texts;
}

bool Resident::HistoryBecomes(const Texts& expected, DWORD ms) {
  return WaitFor([&] { return History() == expected; }, ms, 50);
}

HWND Resident::PlayKeyStrokeItem(Process& target) {
  Start();
  if (frame_ == nullptr) return nullptr;
  target = StartChild("EditTarget");
  HWND window = nullptr;
  if (!WaitFor([&] {
        window = FindWindowA(kTargetClass, kTargetTitle);
        return window != nullptr && GetForegroundWindow() == window;
      })) {
    return nullptr;
  }
  const UINT marker = RegisterClipboardFormatA("Quillo Marker");
  if (!PutClipboardText("abc\x03" "def", marker, std::string("\x0d\x01\x00\x00", 4))) return nullptr;
  PostMessageA(frame_, WM_COMMAND, 32797, 0);
  return GetDlgItem(window, kTargetEditId);
}

}  // namespace quillo::wine
