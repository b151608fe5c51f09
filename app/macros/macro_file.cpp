#include "macros/macro_file.h"

#include <cstring>

namespace quillo::macros {
namespace {

void PutU32(uint8_t* at, uint32_t value) noexcept {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetU32(const uint8_t* at) noexcept {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace

void EncodeHeader(const MacroHeader& header, uint8_t (&out)[kMacroHeaderBytes]) noexcept {
  std::memset(out, 0, sizeof out);
  std::memcpy(out, kMacroSignature, sizeof kMacroSignature);  // with its NUL
  PutU32(out + 32, header.version);
  PutU32(out + 36, header.count);
  PutU32(out + 40, header.startTime);
}

MacroFileError DecodeHeader(const uint8_t* bytes, uint64_t fileSize, MacroHeader& out) noexcept {
  if (bytes == nullptr || fileSize < kMacroHeaderBytes) return MacroFileError::kBadFormat;
  // The signature is compared up to and including its NUL; the padding after
  // it is never read.
  if (std::memcmp(bytes, kMacroSignature, sizeof kMacroSignature) != 0) return MacroFileError::kBadFormat;
  MacroHeader h;
  h.version = GetU32(bytes + 32);
  h.count = GetU32(bytes + 36);
  h.startTime = GetU32(bytes + 40);
  if (h.count == 0) return MacroFileError::kEmpty;
  if (h.count > (fileSize - kMacroHeaderBytes) / kRecordBytes) return MacroFileError::kBadFormat;
  out = h;
  return MacroFileError::kNone;
}

bool MacroWriter::Begin() noexcept {
  header_ = MacroHeader{};
  position_ = 0;
  written_ = 0;
  failed_ = false;
  pauseOffset_ = 0;
  return sink_.SeekTo(kMacroHeaderBytes);
}

bool MacroWriter::Flush() noexcept {
  if (position_ == 0 || failed_) return !failed_;
  // A write that fails may still have put part of the buffer on disk; the
  // header never counts those records, and the file's size only ever allows
  // more records than the header counts, which the reader accepts.
  if (!sink_.Write(buffer_, static_cast<uint32_t>(position_) * kRecordBytes)) {
    failed_ = true;
    return false;
  }
  written_ += static_cast<uint32_t>(position_);
  position_ = 0;
  return true;
}

bool MacroWriter::Append(const EventRecord& record) noexcept {
  if (failed_) return false;
  if (position_ == kBufferRecords && !Flush()) return false;
  EventRecord& slot = buffer_[position_++];
  slot = record;
  slot.time -= pauseOffset_;
  if (header_.count == 0) header_.startTime = record.time;  // as received
  ++header_.count;
  return true;
}

bool MacroWriter::Finish() noexcept {
  const bool flushed = Flush();
  position_ = 0;
  MacroHeader onDisk = header_;
  onDisk.count = written_;
  uint8_t bytes[kMacroHeaderBytes];
  EncodeHeader(onDisk, bytes);
  const bool headed = sink_.SeekTo(0) && sink_.Write(bytes, sizeof bytes);
  return flushed && headed && !failed_;
}

bool MacroReader::Start(const MacroHeader& header) noexcept {
  header_ = header;
  delivered_ = 0;
  return Fill();
}

bool MacroReader::Fill() noexcept {
  position_ = 0;
  filled_ = 0;
  const uint32_t left = header_.count - delivered_;
  const uint32_t want = left < static_cast<uint32_t>(kBufferRecords) ? left : kBufferRecords;
  const uint32_t bytes = want * kRecordBytes;
  if (source_.Read(buffer_, bytes) != bytes) return false;
  filled_ = static_cast<int>(want);
  return true;
}

bool MacroReader::Next(EventRecord& out) noexcept {
  if (delivered_ >= header_.count) return false;
  if (position_ == filled_ && (filled_ != kBufferRecords || !Fill())) return false;
  if (position_ >= filled_) return false;
  out = buffer_[position_++];
  ++delivered_;
  return true;
}

}  // namespace quillo::macros
