// The line reader's bytes from an open file, read as the reader asks for them
// (or a buffer at a time), so a file is never held whole. Used by the menu files and the folder files.
#pragma once

#include <windows.h>

#include <cstring>

#include "menu_file_reader.h"

namespace quillo {

class FileByteSource final : public hook::ByteSource {
 public:
  explicit FileByteSource(HANDLE file) : file_(file) {}
  // With a buffer the file is read `size` bytes at a time and handed out from
  // there: each read is a trip into the system (under Wine a costly one), and
  // the reader asks for a few KB at a time. Without one (null), as asked.
  FileByteSource(HANDLE file, char* buffer, size_t size) : file_(file), buffer_(buffer), size_(buffer ? size : 0) {}
  size_t Read(char* dst, size_t max) noexcept override {
    if (size_ == 0) return ReadDirect(dst, max);
    if (next_ == end_) {
      next_ = end_ = 0;
      // A wish as large as the buffer gains nothing from it.
      if (max >= size_) return ReadDirect(dst, max);
      end_ = ReadDirect(buffer_, size_);
      if (end_ == 0) return 0;
    }
    size_t n = end_ - next_;
    if (n > max) n = max;
    std::memcpy(dst, buffer_ + next_, n);
    next_ += n;
    return n;
  }

 private:
  size_t ReadDirect(char* dst, size_t max) noexcept {
    DWORD got = 0;
    // ReadFile counts in a DWORD: ask for no more than it can report.
    const DWORD want = max > 0x10000000u ? 0x10000000u : static_cast<DWORD>(max);
    if (!ReadFile(file_, dst, want, &got, nullptr)) return 0;
    return got;
  }

  HANDLE file_;
  char* buffer_ = nullptr;
  size_t size_ = 0;
  size_t next_ = 0;  // the bytes of buffer_ not yet handed out: [next_, end_)
  size_t end_ = 0;
};

}  // namespace quillo
