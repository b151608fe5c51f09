// The macro file (".mcr"): a 44-byte header and the recorded event records,
// streamed through one buffer of 100 records in both directions, so a macro of
// any length needs 2400 bytes of memory. Every field has a fixed width and is
// little-endian, so the 32-bit and the 64-bit program write the same bytes.
//
// The file is user data and treated as hostile: a header that does not fit,
// another signature, or a count of records that the file's size cannot hold is
// refused before anything plays (a short file would otherwise be played from
// whatever stale bytes the buffer holds, as key presses and mouse clicks).
#pragma once

#include <cstddef>
#include <cstdint>

#include "quillo_records.h"

namespace quillo::macros {

constexpr char kMacroSignature[] = "Quillo Macro File";  // then a NUL; padded to 32 bytes
constexpr uint32_t kSignatureBytes = 32;
constexpr uint32_t kMacroHeaderBytes = 44;
constexpr uint32_t kMacroVersion = 1;
constexpr uint32_t kRecordBytes = sizeof(EventRecord);
constexpr int kBufferRecords = 100;
constexpr uint32_t kBufferBytes = kBufferRecords * kRecordBytes;  // 2400
static_assert(kRecordBytes == 24, "records are stored as 24 bytes");

struct MacroHeader {
  uint32_t version = kMacroVersion;  // written as 1, never checked on reading
  uint32_t count = 0;                // event records that follow
  uint32_t startTime = 0;            // time stamp of the first record as recorded
};

void EncodeHeader(const MacroHeader& header, uint8_t (&out)[kMacroHeaderBytes]) noexcept;

enum class MacroFileError {
  kNone,
  kBadFormat,  // message 2025: too short, another signature, or fewer records than counted
  kEmpty,      // message 2026: count 0
};

// Checks a header read from a file of `fileSize` bytes; `bytes` holds the
// first min(fileSize, 44) bytes of it.
MacroFileError DecodeHeader(const uint8_t* bytes, uint64_t fileSize, MacroHeader& out) noexcept;

// Where the writer puts its bytes (a file opened for writing).
class MacroSink {
 public:
  virtual bool Write(const void* data, uint32_t size) noexcept = 0;
  virtual bool SeekTo(uint32_t offset) noexcept = 0;

 protected:
  ~MacroSink() = default;
};

// Where the reader takes its bytes from, in order (a file opened for reading,
// positioned after the header).
class MacroSource {
 public:
  // Bytes actually read, at most `size`.
  virtual uint32_t Read(void* data, uint32_t size) noexcept = 0;

 protected:
  ~MacroSource() = default;
};

// Appends the records of one recording to a file, leaving room for the header
// that Finish writes once the count is known.
class MacroWriter {
 public:
  explicit MacroWriter(MacroSink& sink) noexcept : sink_(sink) {}

  bool Begin() noexcept;
  // Buffers one record as it arrived from the hooks; a full buffer is written
  // out first. Time stamps recorded after a Restart lose the time the stop
  // dialog was open, so playback has no gap for it. After a failed write
  // (a full disk, a removed stick) every further record is refused: the file
  // keeps what was written before, and nothing after a gap.
  bool Append(const EventRecord& record) noexcept;
  // The stop dialog opens at `now`; Restart at `now` continues the recording.
  void StopDialogOpened(uint32_t now) noexcept { dialogOpened_ = now; }
  void Restart(uint32_t now) noexcept { pauseOffset_ += now - dialogOpened_; }
  // Writes the buffered records and then the header, which counts only the
  // records that reached the file. False when any write of the recording
  // failed: the user must hear that the macro is not what they recorded.
  bool Finish() noexcept;

  // Records taken so far, and how many of them are known to be in the file.
  uint32_t count() const noexcept { return header_.count; }
  uint32_t written() const noexcept { return written_; }
  bool failed() const noexcept { return failed_; }
  uint32_t pauseOffset() const noexcept { return pauseOffset_; }

 private:
  bool Flush() noexcept;

  MacroSink& sink_;
  MacroHeader header_;
  EventRecord buffer_[kBufferRecords] = {};
  int position_ = 0;
  uint32_t written_ = 0;
  bool failed_ = false;
  uint32_t pauseOffset_ = 0;
  uint32_t dialogOpened_ = 0;
};

// Hands out the records of a checked file one at a time, refilling its buffer
// from the source every 100 records.
class MacroReader {
 public:
  explicit MacroReader(MacroSource& source) noexcept : source_(source) {}

  // `header` has passed DecodeHeader against the file's size. Reads the first
  // buffer. False when that read comes short.
  bool Start(const MacroHeader& header) noexcept;
  // The next record; false after the last one, or when the file came short
  // (it changed since its size was checked): nothing stale is ever handed out.
  bool Next(EventRecord& out) noexcept;

  const MacroHeader& header() const noexcept { return header_; }
  uint32_t delivered() const noexcept { return delivered_; }

 private:
  bool Fill() noexcept;

  MacroSource& source_;
  MacroHeader header_;
  EventRecord buffer_[kBufferRecords] = {};
  int position_ = 0;
  int filled_ = 0;
  uint32_t delivered_ = 0;
};

}  // namespace quillo::macros
