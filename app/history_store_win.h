// The clipboard history store of the resident program: the named mapping
// "QuilloPageMapObject" over the hidden file "\ClipHist.tmp", and the history
// files. The main window owns one and is its only writer; the hook library
// opens the mapping by name for one operation at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handles_win.h"

namespace quillo {

namespace history_editor {
class CaptureLog;
}

constexpr char kHistoryMappingName[] = "QuilloPageMapObject";

class HistoryStore {
 public:
  // `resources` holds the message texts; `programFolder` has no trailing backslash.
  HistoryStore(HINSTANCE resources, std::string programFolder);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Creates "\ClipHist.tmp" anew (closing and deleting a previous one). Refuses
  // while a mapping exists. Returns the handle, or null.
  HANDLE CreateHistoryTempFile();
  // Start-up: block size, temporary file and mapping for `capacity` entries.
  // False when the program cannot go on (the message has been shown, except
  // when another instance's mapping still exists).
  bool CreateHistoryStore(int32_t capacity);
  // True when `text` is entry 0 afterwards (added, or equal to entry 0).
  bool AddHistoryEntry(const char* text);
  // Whether entry 0 is `text` now.
  bool NewestEntryIs(const std::string& text) const;
  void ClearHistory();
  // Another process may hold the store open (a menu, a dialog, a tag reading
  // an entry); no new store can be made under the name then. The entries are
  // kept in the old one, a smaller capacity takes effect at once, and a larger
  // one as far as the old store reaches until a later resize can make the new
  // store (tried when the history is full or rewritten).
  bool ResizeHistory(int32_t capacity);
  // `path` null means "\Default.hst" in the program folder, silently skipped when missing.
  bool ReadHistoryFile(const char* path);
  bool WriteHistoryFile(const char* path);
  void DeleteDefaultHistoryFile();
  // Copies of the entries, newest first; false (with message 2010) when the
  // store cannot be mapped.
  bool CopyAllEntries(std::vector<std::string>& out) const;
  // Replaces the whole history with `texts` (newest first, at most Capacity()
  // taken); false (with message 2010, nothing written) when the store cannot
  // be mapped. Readers see the count drop to 0, then the complete entries.
  bool ReplaceEntries(const std::vector<std::string>& texts);
  // Closes the mapping; the temporary file stays open until the process ends.
  void CloseHistoryStore();

  int32_t Count() const { return count_; }
  // Every text captured from now on is also noted in `log` (null: no more).
  void SetCaptureLog(history_editor::CaptureLog* log) { captureLog_ = log; }
  int32_t Capacity() const { return capacity_; }
  bool HasMapping() const { return mapping_.valid(); }
  std::string DefaultHistoryPath() const { return folder_ + "\\Default.hst"; }

 private:
  HANDLE CreateMapping(int32_t capacity, bool* existed);
  bool KeepHeldStore(UniqueHandle held, int32_t capacity, const char* saved, int32_t savedCount);
  void RetryPendingResize();
  void Publish(int32_t count);
  void Warn(UINT id) const;

  HINSTANCE resources_;
  std::string folder_;
  UniqueHandle tempFile_;
  UniqueHandle mapping_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t slots_ = 0;            // blocks of the mapping in use (capacity_ never exceeds it)
  int32_t pendingCapacity_ = 0;  // a larger capacity still to be made, 0 = none
  history_editor::CaptureLog* captureLog_ = nullptr;
};

}  // namespace quillo
