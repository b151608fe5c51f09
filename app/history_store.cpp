#include "history_store.h"

#include <cstring>

namespace quillo::history {
namespace {

char* Block(char* base, int32_t i) { return base + static_cast<size_t>(i) * kBlockSize; }

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

size_t EntryLength(const char* base, int32_t i) {
  return strnlen(EntryText(base, i), kMaxEntryBytes);
}

AddResult AddEntry(StoreView view, int32_t& count, const char* text) {
  const size_t len = strnlen(text, kBlockSize);
  if (len > kMaxEntryBytes) return AddResult::kTooLong;
  if (count > view.capacity) count = view.capacity;
  if (count > 0) {
    // Only the newest entry is compared: copying A, B, A stores A twice.
    const size_t topLen = EntryLength(view.base, 0);
    if (topLen == len && std::memcmp(view.base, text, len) == 0) return AddResult::kRepeat;
  }
  // Move each live entry one block down, oldest first; only the text bytes and
  // their terminator move, not whole blocks. In a full store the last block is
  // overwritten by its neighbour, which drops the oldest entry.
  for (int32_t k = count - 1; k >= 0; --k) {
    if (k + 1 == view.capacity) continue;
    const size_t n = EntryLength(view.base, k);
    std::memmove(Block(view.base, k + 1), Block(view.base, k), n);
    Block(view.base, k + 1)[n] = '\0';
  }
  std::memcpy(view.base, text, len);
  view.base[len] = '\0';
  if (count < view.capacity) ++count;
  return AddResult::kAdded;
}

int32_t CopyEntries(StoreView dst, const char* src, int32_t count) {
  const int32_t n = count < dst.capacity ? count : dst.capacity;
  for (int32_t i = 0; i < n; ++i) {
    const size_t len = EntryLength(src, i);
    std::memcpy(Block(dst.base, i), EntryText(src, i), len);
    Block(dst.base, i)[len] = '\0';
  }
  return n < 0 ? 0 : n;
}

FileError ParseHistoryFile(const uint8_t* data, size_t size, int32_t capacity,
                           FileEntry (&entries)[kMaxFileCount], int32_t& count) {
  count = 0;
  if (data == nullptr || size < 4) return FileError::kTruncated;
  const int32_t declared = static_cast<int32_t>(ReadLe32(data));
  if (declared < 0 || declared > kMaxFileCount) return FileError::kBadCount;
  size_t pos = 4;
  for (int32_t i = 0; i < declared; ++i) {
    if (size - pos < 4) return FileError::kTruncated;
    const int32_t len = static_cast<int32_t>(ReadLe32(data + pos));
    pos += 4;
    if (len < 0 || static_cast<uint32_t>(len) > kMaxEntryBytes) return FileError::kBadLength;
    if (size - pos < static_cast<size_t>(len)) return FileError::kTruncated;
    entries[i] = FileEntry{data + pos, static_cast<uint32_t>(len)};
    pos += static_cast<size_t>(len);
  }
  // Bytes after the declared entries are ignored, as they always were.
  count = capacity < 0 ? 0 : declared < capacity ? declared : capacity;
  return FileError::kNone;
}

int32_t LoadEntries(StoreView view, const FileEntry* entries, int32_t count) {
  const int32_t n = count < view.capacity ? count : view.capacity;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t len = entries[i].length <= kMaxEntryBytes ? entries[i].length : kMaxEntryBytes;
    std::memcpy(Block(view.base, i), entries[i].bytes, len);
    Block(view.base, i)[len] = '\0';
  }
  return n < 0 ? 0 : n;
}

size_t HistoryFileSize(const char* base, int32_t count) {
  size_t total = 4;
  for (int32_t i = 0; i < count; ++i) total += 4 + EntryLength(base, i);
  return total;
}

bool WriteHistoryImage(const char* base, int32_t count, uint8_t* out, size_t outSize) {
  if (outSize < 4) return false;
  WriteLe32(out, static_cast<uint32_t>(count));
  size_t pos = 4;
  for (int32_t i = 0; i < count; ++i) {
    const size_t len = EntryLength(base, i);
    if (outSize - pos < 4 + len) return false;
    WriteLe32(out + pos, static_cast<uint32_t>(len));
    std::memcpy(out + pos + 4, EntryText(base, i), len);
    pos += 4 + len;
  }
  return true;
}

}  // namespace quillo::history
