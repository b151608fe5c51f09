#include "menu_file_reader.h"

#include <cstring>

#include "byte_scan.h"

namespace quillo::hook {

size_t MemorySource::Read(char* dst, size_t max) noexcept {
  size_t n = size_ - pos_;
  if (n > max) n = max;
  if (chunk_ != 0 && n > chunk_) n = chunk_;
  if (n != 0) std::memcpy(dst, data_ + pos_, n);
  pos_ += n;
  return n;
}

LineReader::LineReader(ByteSource& source, uint64_t fileSize, OverlongLine overlong) noexcept
    : source_(source), remaining_(fileSize), overlong_(overlong) {
  window_[0] = '\0';
  size_t start = 0, pos = 0;
  Refill(start, pos);
}

// Moves the unread tail (the current line so far, from `lineStart`) to the front
// of the window and fills the rest from the file. The tail is never longer than
// a line may be, so there is always room.
bool LineReader::Refill(size_t& lineStart, size_t& pos) noexcept {
  const size_t tail = windowLength_ - lineStart;
  if (lineStart != 0 && tail != 0) std::memmove(window_, window_ + lineStart, tail);
  windowLength_ = tail;
  pos -= lineStart;
  lineStart = 0;
  if (remaining_ == 0) return false;
  size_t want = kWindowSize - tail;
  if (want > remaining_) want = static_cast<size_t>(remaining_);
  size_t got = source_.Read(window_ + tail, want);
  if (got > want) got = want;  // a source that claims more than it was asked for
  if (got == 0) {
    remaining_ = 0;
    return false;
  }
  windowLength_ += got;
  return true;
}

// The line is handed out where it lies in the window: its end (the CR or LF,
// a dropped Ctrl-Z, or the byte after the window's data, for which the window
// keeps a spare byte) is examined already and becomes its terminator.
LineStatus LineReader::Deliver(size_t start, size_t length) noexcept {
  // Bounded by the scan limit; the check keeps the terminator inside the window on its own.
  if (length > kLineBufferSize - 1) length = kLineBufferSize - 1;
  window_[start + length] = '\0';
  line_ = window_ + start;
  lineLength_ = length;
  ++linesDelivered_;
  return LineStatus::kLine;
}

// Consumes bytes up to and including the next LF without keeping them: the
// window is refilled from its end each time, so a line of any length passes.
void LineReader::SkipRestOfLine(size_t pos) noexcept {
  while (remaining_ != 0) {
    size_t start = pos;
    if (pos == windowLength_ && !Refill(start, pos)) break;
    const char c = window_[pos++];
    --remaining_;
    if (c == '\n') break;
  }
  nextLine_ = pos;
}

LineStatus LineReader::Next() noexcept {
  if (remaining_ == 0) return LineStatus::kEnd;
  size_t start = nextLine_;
  size_t pos = nextLine_;
  size_t scanned = 0;
  for (;;) {
    if (pos == windowLength_ && !Refill(start, pos)) break;  // the file ended early
    if (scanned > kMaxLineBytes) {
      if (overlong_ == OverlongLine::kSkip) {
        SkipRestOfLine(pos);
      } else {
        remaining_ = 0;
      }
      return LineStatus::kTooLong;
    }
    // Everything that may be examined before the next check: what the window
    // holds, what the file still has, and what the line may still take (one
    // byte beyond its limit, which may be its LF).
    size_t n = windowLength_ - pos;
    if (n > remaining_) n = static_cast<size_t>(remaining_);
    if (n > kMaxLineBytes + 1 - scanned) n = kMaxLineBytes + 1 - scanned;
    const char* lf = text::FindByte(window_ + pos, n, '\n');
    if (lf != nullptr) n = static_cast<size_t>(lf - (window_ + pos)) + 1;
    pos += n;
    remaining_ -= n;
    scanned += n;
    if (lf != nullptr) {
      nextLine_ = pos;
      size_t length = scanned - 1;
      if (length != 0 && window_[start + length - 1] == '\r') --length;
      return Deliver(start, length);
    }
    if (remaining_ == 0) break;
  }
  nextLine_ = pos;
  if (scanned == 0) return LineStatus::kEnd;
  size_t length = scanned;
  if (window_[start + length - 1] == '\x1a') --length;
  if (length == 0) return LineStatus::kEnd;
  return Deliver(start, length);
}

}  // namespace quillo::hook
