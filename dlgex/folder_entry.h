// The folder menus' entries and the dialog's answer, as bytes: the label an
// entry shows and the folder it stands for, and the shape of the file buffer
// a dialog filled when it closed.
#pragma once

#include <cstddef>

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

}  // namespace quillo::dlgex
