// The folder menus' entries and the dialog's answer, as bytes: the label an
// entry shows and the folder it stands for, and the shape of the file buffer
// a dialog filled when it closed.
#pragma once

#include <cstddef>

#include "dbcs.h"
#include "folder_info.h"

namespace quillo::dlgex {

// "&1 " and the folder with every "&" doubled: a menu takes a single "&" as
// the mark of an access key and would show "R&D" as an underlined "RD".
constexpr size_t kLabelBytes = 3 + 2 * (kFolderBytes - 1) + 1;

// The label of the entry at `position` (0 gives "&1 ", 9 gives "&0 ") into
// `out` (kLabelBytes). A folder longer than kFolderBytes - 1 is cut at a
// character boundary.
void FormatEntryLabel(size_t position, const char* folder, char* out) noexcept;

// The folder an entry's label stands for, into `out` (kFolderBytes): the
// text after the three-character prefix with "&&" back to "&". False for a
// label with nothing after its prefix or a folder that does not fit.
bool FolderOfEntryLabel(const char* label, char* out) noexcept;

// What a file dialog left in the application's file buffer.
struct FileListShape {
  size_t firstLength = 0;  // characters of the first string
  bool terminated = false;  // the first string ends within the buffer
  bool more = false;        // a non-empty second string follows it within the buffer
};

// `count` characters of the buffer; `Ch` is char or a 16-bit character.
// With several files chosen, the first string is their folder and the names
// follow, each ended by a NUL and the list by a second NUL.
template <typename Ch>
FileListShape ShapeOfFileList(const Ch* buffer, size_t count) noexcept {
  FileListShape shape;
  size_t i = 0;
  while (i < count && buffer[i] != 0) ++i;
  shape.firstLength = i;
  shape.terminated = i < count;
  shape.more = i + 1 < count && buffer[i + 1] != 0;
  return shape;
}

// Characters of the folder of a dialog's answer. `offset` is where the
// dialog says the first name begins (the record's nFileOffset): after the
// last backslash of one path, after the folder's NUL in a list of several
// names, or after the space that follows the folder in an older dialog's
// list ("C:\Dir a.txt b.txt"). The separator is left out, except the
// backslash of a drive's root ("C:\"). 0 when the offset does not follow a
// separator within the answer, so that nothing doubtful is recorded.
template <typename Ch>
size_t AnswerFolderLength(const Ch* buffer, size_t count, size_t offset) noexcept {
  const FileListShape shape = ShapeOfFileList(buffer, count);
  if (!shape.terminated || shape.firstLength == 0 || offset == 0) return 0;
  const bool afterNul = offset == shape.firstLength + 1;
  if (!afterNul && offset >= shape.firstLength) return 0;
  if (afterNul && !shape.more) return 0;
  // The separator must be a whole character: in a double-byte code page a
  // trail byte may have the value of a backslash.
  size_t at = 0;
  while (at + 1 < offset) {
    size_t step = 1;
    if constexpr (sizeof(Ch) == 1) step = text::CharLen(buffer + at);
    at += step;
  }
  if (at + 1 != offset) return 0;
  const Ch separator = buffer[offset - 1];
  const bool slash = separator == Ch('\\') || separator == Ch('/');
  if (!(afterNul || slash || separator == Ch(' '))) return 0;
  size_t length = offset - 1;
  if (slash && length == 2 && buffer[1] == Ch(':')) length = 3;
  return length;
}

// True for a folder given from a drive's root ("C:\Work") or as a network
// share ("\\server\share\Work"). Any other form ("Work", "D:", "..\x", "\x")
// is taken relative to a current folder: the process's when the folder is
// checked, the dialog's when it is typed into the dialog, so a check of one
// says nothing of the other.
bool IsFullyQualifiedFolder(const char* path) noexcept;

}  // namespace quillo::dlgex
