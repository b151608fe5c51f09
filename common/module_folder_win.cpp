#include "module_folder_win.h"

#include "path_text.h"

namespace quillo {

std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  const long cut = LastBackslash(path, IsLeadByteWin);
  return cut < 0 ? std::string() : std::string(path, static_cast<size_t>(cut));
}

}  // namespace quillo
