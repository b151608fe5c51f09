#include "paste_method_win.h"

#include "paste_programs.h"
#include "quillo_hook.h"
#include "shared_block.h"

namespace quillo::hook {

int32_t PasteMethodForWindow(HWND window) noexcept {
  DWORD process = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &process);
  char path[MAX_PATH] = {};
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
  // The count is read once and bounded; the entries are read within their
  // records (ChoosePasteMethod).
  int32_t count = g_nPastePrograms;
  if (count < 0) count = 0;
  return ChoosePasteMethod(g_PastePrograms, static_cast<size_t>(count), named ? path : nullptr, g_nPasteCmd);
}

}  // namespace quillo::hook
