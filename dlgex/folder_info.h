// The folder information file: the folder history and the registered folders
// of the file dialogs, as plain text the user may edit by hand.
//
//   ; Folder History
//   DirHist | C:\Data            newest first, at most 10
//
//   ; Folder Shortcut
//   DirReg | D:\Work             in menu order, at most 10
//
// Reading takes any mix of the two kinds, keys without regard to case, and
// ignores comments (";" or "="), blank lines and anything it does not know.
// Everything here works on fixed buffers and never throws: it runs inside the
// window procedure of another program's dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "menu_file_reader.h"

namespace quillo::dlgex {

constexpr size_t kMaxFolders = 10;
constexpr size_t kFolderBytes = 260;  // a folder path with its NUL
// Bytes of a line before its CR that the reader accepts (258 counted with the CR).
constexpr size_t kMaxLineText = hook::LineReader::kMaxLineBytes - 1;
// What the writer can produce: the two headers, a blank line and 20 lines.
constexpr size_t kMaxFileBytes = 64 + 2 * kMaxFolders * (kMaxLineText + 2);

struct FolderList {
  char paths[kMaxFolders][kFolderBytes] = {};
  size_t count = 0;
  // False when the list is full or the path does not fit.
  bool Add(const char* path, size_t length) noexcept;
};

struct FolderLists {
  FolderList history;    // "DirHist", newest first
  FolderList shortcuts;  // "DirReg", in menu order
  bool lineTooLong = false;  // at least one line was over the limit and passed over
};

// Reads the whole file. A line over the limit is passed over and reading goes
// on (the folders after it are kept); `lineTooLong` tells the caller to say so.
void ReadFolderInfo(hook::ByteSource& source, uint64_t fileSize, FolderLists& out) noexcept;

// Writes the file into `out` (at least kMaxFileBytes) and returns its length.
// `newFolder` (may be empty) goes on top of the history and an entry equal to
// it without regard to case is dropped; at most 10 lines of each kind. A folder
// whose line the reader would refuse as too long, or that is empty, is left out.
size_t FormatFolderInfo(const char* newFolder, const char* const* history, size_t historyCount,
                        const char* const* shortcuts, size_t shortcutCount, char* out) noexcept;

// The folder of a chosen file: cut at the last backslash, which stays after a
// drive ("C:\"); a path without a backslash stays whole. `out` holds kFolderBytes.
void FolderOfFile(const char* path, char* out) noexcept;

// The per-program file of a module file name: "C:\WINDOWS\NOTEPAD.EXE" gives
// "Notepad.txt" (lower case, first letter upper case, the extension "txt"; a
// name without "." gets ".txt"). `out` holds kFolderBytes.
void ProgramFileName(const char* modulePath, char* out) noexcept;

// Case-blind equality of two ANSI texts: single-byte letters A-Z fold, the
// two bytes of a double-byte character compare exactly.
bool SameFolder(const char* a, const char* b) noexcept;

}  // namespace quillo::dlgex
