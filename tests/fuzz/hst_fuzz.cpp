// Feeds arbitrary bytes to the .hst reader, loads what it accepts into a store
// and writes it back: the image must equal the accepted entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "history_store.h"

using namespace quillo::history;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t capacity = 100;
  if (size > 0) capacity = 1 + data[size - 1] % kMaxCapacity;  // vary the store size
  FileEntry entries[kMaxFileCount];
  int32_t count = 0;
  if (ParseHistoryFile(data, size, capacity, entries, count) != FileError::kNone) return 0;
  if (count < 0 || count > capacity) abort();
  std::vector<char> store(static_cast<size_t>(capacity) * kBlockSize);
  const int32_t loaded = LoadEntries({store.data(), capacity}, entries, count);
  if (loaded != count) abort();
  std::vector<uint8_t> image(HistoryFileSize(store.data(), loaded));
  if (!WriteHistoryImage(store.data(), loaded, image.data(), image.size())) abort();
  // Entries holding a zero byte are shortened at it, so compare entry by entry.
  for (int32_t i = 0; i < loaded; ++i) {
    const size_t len = strnlen(reinterpret_cast<const char*>(entries[i].bytes), entries[i].length);
    if (EntryLength(store.data(), i) != len) abort();
  }
  return 0;
}
