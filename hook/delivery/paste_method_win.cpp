#include "paste_method_win.h"

#include "paste_programs.h"
#include "quillo_hook.h"
#include "shared_block.h"

namespace quillo::hook {
namespace {

// A program's full path may be longer than MAX_PATH; only its file name is
// wanted, but the system hands out the whole path or nothing.
constexpr DWORD kProgramPathChars = 1024;

// The system's console window, and Wine's: the window of a console, which
// the console host keeps. Windows reports the program running in it (cmd,
// PowerShell) as the window's process, so the host's own entry is looked up
// when that program has none.
bool IsConsoleWindow(HWND window) noexcept {
  char cls[32] = {};
  if (GetClassNameA(window, cls, sizeof cls) == 0) return false;
  return lstrcmpA(cls, "ConsoleWindowClass") == 0 || lstrcmpA(cls, "WineConsoleClass") == 0;
}

// The typist renews its beat at least every batch wait; a beat this old is
// one of a typist that is gone.
constexpr DWORD kTypingBeatMs = 2000;

}  // namespace

bool TypingUnderWay() noexcept {
  return g_bTyping != 0 && GetTickCount() - static_cast<DWORD>(g_nTypingBeat) < kTypingBeatMs;
}

int32_t PasteMethodForWindow(HWND window) noexcept {
  DWORD process = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &process);
  char path[kProgramPathChars] = {};
  bool named = false;
  if (process == GetCurrentProcessId()) {
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    named = n != 0 && n < sizeof path;
  } else if (process != 0) {
    if (HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process)) {
      DWORD size = sizeof path;
      named = QueryFullProcessImageNameA(h, 0, path, &size) != 0;
      CloseHandle(h);
    }
  }
  // A copy of the list as it stood at one moment: the resident program may
  // be storing a new one from its options sheet right now.
  PasteProgram list[kMaxPastePrograms];
  const int count = ReadPasteList(&g_nPasteListVersion, &g_nPastePrograms, g_PastePrograms, list);
  if (count < 0) return ChoosePasteMethod(nullptr, 0, nullptr, g_nPasteCmd);
  return ChoosePasteMethod(list, static_cast<size_t>(count), named ? path : nullptr, g_nPasteCmd,
                           window != nullptr && IsConsoleWindow(window) ? "conhost.exe" : nullptr);
}

}  // namespace quillo::hook
