// The line reader's bytes from an open file, read as the reader asks for them,
// so a file is never held whole. Used by the menu files and the folder files.
#pragma once

#include <windows.h>

#include "menu_file_reader.h"

namespace quillo {

class FileByteSource final : public hook::ByteSource {
 public:
  explicit FileByteSource(HANDLE file) : file_(file) {}
  size_t Read(char* dst, size_t max) noexcept override {
    DWORD got = 0;
    // ReadFile counts in a DWORD: ask for no more than it can report.
    const DWORD want = max > 0x10000000u ? 0x10000000u : static_cast<DWORD>(max);
    if (!ReadFile(file_, dst, want, &got, nullptr)) return 0;
    return got;
  }

 private:
  HANDLE file_;
};

}  // namespace quillo
