// The line reader of menu files: streams a file through a fixed 4096-byte
// window and hands out one line at a time, never holding the whole file.
//
// Lines end at LF; a CR right before the LF is dropped. The last line needs no
// LF, and a Ctrl-Z that is the very last byte of such a file is dropped. A line
// may hold at most 258 bytes counted with its CR. A longer one stops the
// reading as end of file would (menu files: the caller reports message 2017),
// or, for readers that must not lose what follows it, is passed over whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo::hook {

// Where the bytes come from: the Win32 side wraps a file handle, tests and the
// fuzzer wrap memory. Read copies at most `max` bytes and returns how many it
// copied; 0 means the file ended early or could not be read.
class ByteSource {
 public:
  virtual size_t Read(char* dst, size_t max) noexcept = 0;

 protected:
  ~ByteSource() = default;
};

// Bytes in memory, handed out in chunks of at most `chunk` bytes (0: no limit),
// so tests can make the window refill at any place.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size, size_t chunk = 0) noexcept
      : data_(static_cast<const char*>(data)), size_(size), chunk_(chunk) {}
  size_t Read(char* dst, size_t max) noexcept override;

 private:
  const char* data_;
  size_t size_;
  size_t chunk_;
  size_t pos_ = 0;
};

enum class LineStatus {
  kLine,     // Line() holds the next line
  kEnd,      // no more lines
  kTooLong,  // a line over the limit (see OverlongLine for what comes after it)
};

enum class OverlongLine {
  kStop,  // reading ends there: every later call gives kEnd
  kSkip,  // the line is passed over up to its LF and reading goes on
};

class LineReader {
 public:
  static constexpr size_t kWindowSize = 4096;
  static constexpr size_t kLineBufferSize = 260;
  // Bytes of a line that may be scanned before its LF, CR included.
  static constexpr size_t kMaxLineBytes = kLineBufferSize - 2;

  // `fileSize` is what the file claims; a source that runs dry sooner is taken
  // as the end of the file, so a file that shrinks while it is read cannot
  // make the reader wait for bytes that never come.
  LineReader(ByteSource& source, uint64_t fileSize,
             OverlongLine overlong = OverlongLine::kStop) noexcept;

  // Line() points into the object's own window.
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  LineStatus Next() noexcept;

  // The last line delivered, NUL-terminated, valid until the next call of
  // Next(). Its length can reach 259 bytes: the limit is checked before each
  // byte is examined, and the unterminated last line of a file has no byte
  // after it that could trip the check.
  const char* Line() const noexcept { return line_; }
  size_t Length() const noexcept { return lineLength_; }
  uint32_t LinesDelivered() const noexcept { return linesDelivered_; }

 private:
  bool Refill(size_t& lineStart, size_t& pos) noexcept;
  LineStatus Deliver(size_t start, size_t length) noexcept;
  void SkipRestOfLine(size_t pos) noexcept;

  ByteSource& source_;
  uint64_t remaining_;          // file bytes not yet examined
  OverlongLine overlong_;
  size_t windowLength_ = 0;     // valid bytes in window_
  size_t nextLine_ = 0;         // offset of the next line in window_
  uint32_t linesDelivered_ = 0;
  size_t lineLength_ = 0;
  const char* line_ = window_;  // inside window_, valid until the next call
  // One byte beyond the data, for the terminator of a last line that fills it.
  char window_[kWindowSize + 1];
};

}  // namespace quillo::hook
