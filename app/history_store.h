// The clipboard history as a block of bytes, and the .hst history-file format.
//
// The store is `capacity` fixed-size blocks of kBlockSize bytes, entry 0 (the
// newest) in block 0. Each entry is a NUL-terminated ANSI text inside its block.
// Nothing here knows about mappings or files: the Win32 side maps a view and
// hands it in, reads a file into memory and hands the bytes in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo::history {

constexpr uint32_t kBlockSize = 20480;
constexpr uint32_t kMaxEntryBytes = kBlockSize - 1;  // text bytes, without the terminator
constexpr int32_t kMaxCapacity = 100;
constexpr int32_t kMaxFileCount = 100;                // largest count a .hst file may declare

// A mapped view of the whole store.
struct StoreView {
  char* base;
  int32_t capacity;
};

// Length of entry i, never reading past its block even if the terminator is missing.
size_t EntryLength(const char* base, int32_t i);
inline const char* EntryText(const char* base, int32_t i) { return base + static_cast<size_t>(i) * kBlockSize; }

enum class AddResult {
  kAdded,    // the text is entry 0 now
  kRepeat,   // equal to entry 0: not stored twice
  kTooLong,  // does not fit a block: not stored
};

// Inserts `text` as entry 0; older entries move down one block, and in a full
// store the oldest is dropped. `count` is updated; the caller publishes it only
// after this returns, so readers never see a count ahead of the bytes.
AddResult AddEntry(StoreView view, int32_t& count, const char* text);

// Copies entries 0..n-1 (n = min(count, dst.capacity)) as strings from `src`
// into `dst`; returns n.
int32_t CopyEntries(StoreView dst, const char* src, int32_t count);

// ---- .hst files: int32 count, then per entry int32 length and the bytes. ----

enum class FileError {
  kNone,
  kTruncated,           // ends before the declared entries
  kBadCount,            // negative, above kMaxFileCount
  kBadLength,           // negative, or kBlockSize bytes or more
};

struct FileEntry {
  const uint8_t* bytes;
  uint32_t length;
};

// Checks the whole file before anything is loaded, so a bad file leaves the
// store untouched. On success `entries[0..count-1]` point into `data`. A file
// with more entries than `capacity` (saved before the history number was
// lowered, or by a larger store) is good: `count` is then `capacity`, the
// newest entries, which come first in the file.
FileError ParseHistoryFile(const uint8_t* data, size_t size, int32_t capacity,
                           FileEntry (&entries)[kMaxFileCount], int32_t& count);

// Writes parsed entries into the store's blocks; returns the count to publish.
int32_t LoadEntries(StoreView view, const FileEntry* entries, int32_t count);

// Size of the .hst image of the first `count` entries, and the image itself.
size_t HistoryFileSize(const char* base, int32_t count);
// Returns false (and writes a partial image) only when `outSize` is too small.
bool WriteHistoryImage(const char* base, int32_t count, uint8_t* out, size_t outSize);

}  // namespace quillo::history
