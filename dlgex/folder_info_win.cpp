#include "folder_info_win.h"

#include <cstring>

#include "file_source_win.h"
#include "handles_win.h"
#include "message_box_win.h"
#include "path_text.h"
#include "quillo_dlgex.h"
#include "resource.h"

namespace quillo::dlgex {
extern HINSTANCE g_hInstance;

namespace {


bool Append(char* out, size_t size, const char* tail) {
  const size_t have = std::strlen(out), add = std::strlen(tail);
  if (have + add >= size) return false;
  std::memcpy(out + have, tail, add + 1);
  return true;
}

bool IsLead(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// "<this library's folder>\DirHist": the library finds its files beside its
// own file, whichever flavor's name it has.
bool FolderPath(char* out, size_t size) {
  char module[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(g_hInstance, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const long cut = LastBackslash(module, IsLead);
  if (cut < 0) return false;
  module[cut] = '\0';
  out[0] = '\0';
  return Append(out, size, module) && Append(out, size, "\\DirHist");
}

bool FilePath(char* out, size_t size) {
  if (!FolderPath(out, size)) return false;
  if (g_bDirHistShare) return Append(out, size, "\\FolderInfo.txt");
  char program[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  char name[kFolderBytes];
  ProgramFileName(program, name);
  // Lower case as the code page knows it, beyond A-Z; the first letter up again.
  CharLowerBuffA(name, static_cast<DWORD>(std::strlen(name)));
  if (!IsDBCSLeadByte(static_cast<BYTE>(name[0]))) CharUpperBuffA(name, 1);
  return Append(out, size, "\\") && Append(out, size, name);
}

}  // namespace

void ReadFolderLists(FolderLists& out) noexcept {
  out = FolderLists{};
  char path[MAX_PATH * 2] = {};
  if (!FilePath(path, sizeof path)) return;
  UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return;
  FileByteSource source(file.get());
  ReadFolderInfo(source, static_cast<uint64_t>(size.QuadPart), out);
  // Closed before the message: the user may well mend the file while it is up.
  file.reset();
  if (out.lineTooLong) ShowQuilloMessage(g_hInstance, IDS_LINE_TOO_LONG);
}

bool WriteFolderLists(const char* newFolder, const char* const* history, size_t historyCount,
                      const char* const* shortcuts, size_t shortcutCount) noexcept {
  char folder[MAX_PATH * 2] = {}, path[MAX_PATH * 2] = {}, temp[MAX_PATH * 2] = {};
  if (!FolderPath(folder, sizeof folder) || !FilePath(path, sizeof path)) return false;
  std::memcpy(temp, path, sizeof temp);
  if (!Append(temp, sizeof temp, ".tmp")) return false;
  if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(folder, nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    ShowQuilloMessage(g_hInstance, IDS_CREATE_FOLDER);
    return false;
  }
  HeapBuffer text(kMaxFileBytes);
  if (!text) return false;
  const size_t length = FormatFolderInfo(newFolder, history, historyCount, shortcuts, shortcutCount,
                                         text.get());
  {
    UniqueHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), text.get(), static_cast<DWORD>(length), &written, nullptr) &&
                    written == length && FlushFileBuffers(file.get());
    if (!ok) {
      file.reset();
      DeleteFileA(temp);
      return false;
    }
  }
  // The old file is replaced only by a complete new one; a file that another
  // process holds open cannot be replaced and stays as it is.
  if (!MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp);
    return false;
  }
  return true;
}

}  // namespace quillo::dlgex
