// The folder information file on disk: "DirHist" beside this library, shared
// ("FolderInfo.txt") or one file per program ("Notepad.txt").
#pragma once

#include <windows.h>

#include "folder_info.h"

namespace quillo::dlgex {

// Lists of this program's file; empty lists when there is none. An overlong
// line is passed over and reported once with message 2001.
void ReadFolderLists(FolderLists& out) noexcept;

// Rewrites the file whole: through a temporary file beside it that replaces
// the old one only when it is complete. A missing folder that cannot be
// created gives message 2000; a file another process holds open stays as it is.
bool WriteFolderLists(const char* newFolder, const char* const* history, size_t historyCount,
                      const char* const* shortcuts, size_t shortcutCount) noexcept;

}  // namespace quillo::dlgex
