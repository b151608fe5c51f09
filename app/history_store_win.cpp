#include "history_store_win.h"

#include <cstring>
#include <new>
#include <utility>

#include "history_editor/history_slots.h"
#include "history_store.h"
#include "message_box_win.h"
#include "module_folder_win.h"
#include "path_text.h"
#include "quillo_hook.h"
#include "resource.h"

namespace quillo {

using history::kBlockSize;

HistoryStore::HistoryStore(HINSTANCE resources, std::string programFolder)
    : resources_(resources), folder_(std::move(programFolder)) {}

HistoryStore::~HistoryStore() { CloseHistoryStore(); }

void HistoryStore::Warn(UINT id) const { ShowQuilloMessage(resources_, id); }

void HistoryStore::Publish(int32_t count) {
  count_ = count;
  g_nNumClipHistory = count;
}

HANDLE HistoryStore::CreateHistoryTempFile() {
  if (mapping_) return nullptr;
  const std::string path = folder_ + "\\ClipHist.tmp";
  if (tempFile_) {
    tempFile_.reset();
    DeleteFileA(path.c_str());
  }
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  tempFile_.reset(h);
  return h;
}

HANDLE HistoryStore::CreateMapping(int32_t capacity, bool* existed) {
  *existed = false;
  const DWORD bytes = kBlockSize * static_cast<DWORD>(capacity);
  // The user's copied texts: only the user's own programs, and none of lower
  // integrity, may read them.
  PSECURITY_DESCRIPTOR sd = MakeSessionObjectSecurity();
  if (sd == nullptr) return nullptr;
  SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
  HANDLE h = CreateFileMappingA(tempFile_.get(), &sa, PAGE_READWRITE, 0, bytes, kHistoryMappingName);
  const DWORD error = GetLastError();
  LocalFree(sd);
  if (h != nullptr && error == ERROR_ALREADY_EXISTS) {
    // Someone still holds a mapping of that name (an earlier instance, or a
    // hook mid-operation): its size and file are not ours, so it is unusable.
    CloseHandle(h);
    *existed = true;
    return nullptr;
  }
  return h;
}

bool HistoryStore::CreateHistoryStore(int32_t capacity) {
  g_dwBlockSize = kBlockSize;
  if (capacity < 1 || capacity > history::kMaxCapacity) capacity = 50;
  if (CreateHistoryTempFile() == nullptr) {
    Warn(IDS_CREATE_TEMP_FILE);
    return false;
  }
  bool existed = false;
  HANDLE h = CreateMapping(capacity, &existed);
  if (h == nullptr) {
    if (!existed) Warn(IDS_CREATE_MAPPING);
    return false;
  }
  mapping_.reset(h);
  capacity_ = capacity;
  slots_ = capacity;
  pendingCapacity_ = 0;
  Publish(0);
  return true;
}

bool HistoryStore::AddHistoryEntry(const char* text) {
  if (count_ >= capacity_) RetryPendingResize();
  if (!mapping_ || text == nullptr) return false;
  MappedView view(mapping_.get(), FILE_MAP_WRITE);
  if (!view) return false;
  int32_t count = count_;
  const history::AddResult result = history::AddEntry({view.get(), capacity_}, count, text);
  if (result == history::AddResult::kAdded) {
    // The bytes are in place before the count grows: a hook reading the store
    // at this moment sees either the old count or the new, complete entry.
    Publish(count);
    if (captureLog_ != nullptr) {
      // Called from the window procedure: a text that cannot be noted is
      // still in the store; only the editor's OK would not know it.
      try {
        captureLog_->Note(text);
      } catch (const std::bad_alloc&) {
      }
    }
  }
  return result != history::AddResult::kTooLong && count_ > 0;
}

bool HistoryStore::NewestEntryIs(const std::string& text) const {
  if (!mapping_ || count_ <= 0) return false;
  MappedView view(mapping_.get(), FILE_MAP_READ);
  if (!view) return false;
  const size_t length = history::EntryLength(view.get(), 0);
  return length == text.size() && std::memcmp(history::EntryText(view.get(), 0), text.data(), length) == 0;
}

void HistoryStore::ClearHistory() { Publish(0); }

bool HistoryStore::ResizeHistory(int32_t capacity) {
  if (capacity < 1 || capacity > history::kMaxCapacity) return false;
  const bool hadMapping = mapping_.valid();
  HeapBuffer saved(hadMapping ? static_cast<size_t>(kBlockSize) * capacity_ : 0);
  int32_t savedCount = 0;
  if (hadMapping) {
    if (!saved) {
      Warn(IDS_NO_MEMORY);
      return false;
    }
    {
      MappedView view(mapping_.get(), FILE_MAP_READ);
      if (!view) {
        Warn(IDS_MAP_HISTORY);
        return false;
      }
      savedCount = history::CopyEntries({saved.get(), capacity_}, view.get(), count_);
    }
    // Readers must not walk entries of a mapping that is about to go away.
    Publish(0);
    mapping_.reset();
    // The name stays with the old store as long as any process holds it;
    // its file is still in use then too. Nothing is touched in that case.
    UniqueHandle held(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kHistoryMappingName));
    if (held) return KeepHeldStore(std::move(held), capacity, saved.get(), savedCount);
  }
  if (CreateHistoryTempFile() == nullptr) {
    Warn(IDS_CREATE_TEMP_FILE);
    return false;
  }
  bool existed = false;
  HANDLE h = CreateMapping(capacity, &existed);
  if (h == nullptr && existed && hadMapping) {
    // Opened again by someone between the check and now: still the old store.
    UniqueHandle again(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kHistoryMappingName));
    if (again) return KeepHeldStore(std::move(again), capacity, saved.get(), savedCount);
  }
  if (h == nullptr) {
    Warn(IDS_CREATE_MAPPING);
    return false;
  }
  mapping_.reset(h);
  capacity_ = capacity;
  slots_ = capacity;
  pendingCapacity_ = 0;
  if (hadMapping) {
    MappedView view(mapping_.get(), FILE_MAP_WRITE);
    if (!view) {
      Warn(IDS_MAP_HISTORY);
      Publish(0);
      return false;
    }
    // The newest entries survive a shrink.
    Publish(history::CopyEntries({view.get(), capacity_}, saved.get(), savedCount));
  }
  return true;
}

bool HistoryStore::KeepHeldStore(UniqueHandle held, int32_t capacity, const char* saved, int32_t savedCount) {
  mapping_ = std::move(held);
  MappedView view(mapping_.get(), FILE_MAP_WRITE);
  if (!view) {
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  // Whatever holds the name now is taken for the old store, but any program
  // can have made an object of that name in the moment ours was let go: only
  // the slots that lie inside what is mapped are used.
  MEMORY_BASIC_INFORMATION region = {};
  const size_t mapped = VirtualQuery(view.get(), &region, sizeof region) == sizeof region ? region.RegionSize : 0;
  const size_t mappedSlots = mapped / static_cast<size_t>(kBlockSize);
  if (mappedSlots < static_cast<size_t>(slots_)) slots_ = static_cast<int32_t>(mappedSlots);
  if (slots_ < 1) {
    mapping_.reset();
    Publish(0);
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  capacity_ = capacity < slots_ ? capacity : slots_;
  pendingCapacity_ = capacity > capacity_ ? capacity : 0;
  // The saved copy, not the blocks as they are: a move to the top in another
  // process may have been caught half done.
  Publish(history::CopyEntries({view.get(), capacity_}, saved, savedCount));
  return true;
}

void HistoryStore::RetryPendingResize() {
  if (pendingCapacity_ == 0 || !mapping_) return;
  const int32_t capacity = pendingCapacity_;
  pendingCapacity_ = 0;
  // A failure that left the store in place keeps the size asked for, to be
  // tried again when the store is full once more.
  if (!ResizeHistory(capacity) && mapping_ && pendingCapacity_ == 0) pendingCapacity_ = capacity;
}

bool HistoryStore::ReadHistoryFile(const char* path) {
  const std::string file = path != nullptr ? std::string(path) : DefaultHistoryPath();
  UniqueHandle f(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!f) {
    // A first start has no default file; only a file the user chose is worth a word.
    if (path != nullptr) Warn(IDS_OPEN_FILE);
    return false;
  }
  // No legal file is longer than this; anything past it would be ignored anyway,
  // so a huge file costs no more memory than a full one.
  constexpr DWORD kMaxFileBytes = 4 + history::kMaxFileCount * (4 + history::kMaxEntryBytes);
  HeapBuffer data(kMaxFileBytes);
  if (!data) {
    Warn(IDS_NO_MEMORY);
    return false;
  }
  DWORD size = 0;
  while (size < kMaxFileBytes) {
    DWORD got = 0;
    if (!ReadFile(f.get(), data.get() + size, kMaxFileBytes - size, &got, nullptr)) {
      Warn(IDS_OPEN_FILE);
      return false;
    }
    if (got == 0) break;
    size += got;
  }
  // A larger store still owed by a resize is made first: the file is read
  // against the capacity the user set.
  RetryPendingResize();
  // The whole file is checked before the store is touched: a corrupt file
  // never costs the user the history they have.
  history::FileEntry entries[history::kMaxFileCount];
  int32_t count = 0;
  if (history::ParseHistoryFile(data.get<uint8_t>(), size, capacity_, entries, count) !=
      history::FileError::kNone) {
    Warn(IDS_BAD_HISTORY_FILE);
    return false;
  }
  if (!mapping_) return false;
  MappedView view(mapping_.get(), FILE_MAP_WRITE);
  if (!view) {
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  // Blocks are rewritten in place: hide them from readers while that happens,
  // and publish the new count only once every entry is complete.
  Publish(0);
  Publish(history::LoadEntries({view.get(), capacity_}, entries, count));
  return true;
}

bool HistoryStore::WriteHistoryFile(const char* path) {
  const std::string file = path != nullptr ? std::string(path) : DefaultHistoryPath();
  if (!mapping_) return false;
  MappedView view(mapping_.get(), FILE_MAP_READ);
  if (!view) {
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  const size_t bytes = history::HistoryFileSize(view.get(), count_);
  HeapBuffer image(bytes);
  if (!image || !history::WriteHistoryImage(view.get(), count_, image.get<uint8_t>(), bytes)) {
    Warn(IDS_NO_MEMORY);
    return false;
  }
  // Write a new file beside the old one and swap it in only when complete, so
  // a full disk or a failed write never leaves the user with half a history.
  const long cut = LastBackslash(file.c_str(), IsLeadByteWin);
  const std::string dir = cut < 0 ? std::string(".") : file.substr(0, static_cast<size_t>(cut));
  char temp[MAX_PATH];
  if (GetTempFileNameA(dir.c_str(), "qhs", 0, temp) == 0) {
    Warn(IDS_SAVE_HISTORY);
    return false;
  }
  bool ok = false;
  {
    UniqueHandle f(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ok = f && WriteFile(f.get(), image.get(), static_cast<DWORD>(bytes), &written, nullptr) &&
         written == bytes && FlushFileBuffers(f.get());
  }
  if (ok) ok = MoveFileExA(temp, file.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  if (!ok) {
    DeleteFileA(temp);
    Warn(IDS_SAVE_HISTORY);
  }
  return ok;
}

void HistoryStore::DeleteDefaultHistoryFile() {
  const std::string file = DefaultHistoryPath();
  if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileA(file.c_str());
}

bool HistoryStore::CopyAllEntries(std::vector<std::string>& out) const {
  out.clear();
  if (!mapping_) return false;
  MappedView view(mapping_.get(), FILE_MAP_READ);
  if (!view) {
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  for (int32_t i = 0; i < count_ && i < capacity_; ++i) {
    out.emplace_back(history::EntryText(view.get(), i), history::EntryLength(view.get(), i));
  }
  return true;
}

bool HistoryStore::ReplaceEntries(const std::vector<std::string>& texts) {
  RetryPendingResize();
  if (!mapping_) return false;
  MappedView view(mapping_.get(), FILE_MAP_WRITE);
  if (!view) {
    Warn(IDS_MAP_HISTORY);
    return false;
  }
  history::FileEntry entries[history::kMaxCapacity];
  int32_t n = 0;
  for (const auto& t : texts) {
    if (n >= capacity_ || n >= history::kMaxCapacity) break;
    entries[n++] = {reinterpret_cast<const uint8_t*>(t.data()), static_cast<uint32_t>(t.size())};
  }
  // As when a history file is read: no reader may walk entries while their
  // blocks are rewritten.
  Publish(0);
  Publish(history::LoadEntries({view.get(), capacity_}, entries, n));
  return true;
}

void HistoryStore::CloseHistoryStore() { mapping_.reset(); }

}  // namespace quillo
