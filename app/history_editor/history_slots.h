// The history editor's private copy of the clipboard history: up to 100 text
// slots, slot 0 the newest, on which the dialog adds, deletes, moves and edits
// entries without touching the store until OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::history_editor {

constexpr int kMaxSlots = 100;
// A slot without text (a newly added entry) is shown as this and dropped when
// the history is written back.
constexpr char kEmptyLabel[] = "(Empty)";

class HistorySlots {
 public:
  // `entries` newest first; `capacity` is the store's number of entries
  // (MaxHistoryNum), clamped to 1..100. Entries beyond it are not taken.
  HistorySlots(std::vector<std::string> entries, int capacity);

  int count() const { return static_cast<int>(slots_.size()); }
  const std::string& text(int i) const { return slots_[static_cast<size_t>(i)]; }
  bool IsEmptySlot(int i) const { return slots_[static_cast<size_t>(i)].empty(); }

  // Replaces the text of slot i (an empty text makes it an empty slot).
  bool Set(int i, std::string text);
  // An empty slot on top; in a full list the oldest falls off.
  void Add();
  // Removes slot `selected`; answers the row to select afterwards: the same
  // row number, the new last row when the last was deleted, -1 when the list
  // is empty now or nothing was selected.
  int Delete(int selected);
  // Swap with the neighbour above / below; answer the row to select (the
  // selection unchanged when there is nothing to swap with).
  int Up(int selected);
  int Down(int selected);

  // The texts to write back, in order, the empty slots left out.
  std::vector<std::string> Compacted() const;

 private:
  bool Valid(int i) const { return i >= 0 && i < count(); }
  std::vector<std::string> slots_;
  int capacity_;
};

// The texts that clipboard capture added to the store while the editor was
// open, in the order they came. They are noted as they are captured, not
// read back from the store's top at OK: meanwhile the stack menu's "move
// chosen item to top" and "Read History..." rearrange or replace the store,
// and its first entries are then not the copies any more.
class CaptureLog {
 public:
  // One text the store took as its new entry 0. Beyond `kMaxSlots` texts the
  // oldest is forgotten: the store could not have kept it either.
  void Note(std::string text);
  // The texts noted, newest first.
  std::vector<std::string> NewestFirst() const;
  int count() const { return static_cast<int>(texts_.size()); }

 private:
  std::vector<std::string> texts_;  // oldest first
};

// What OK writes into the store: the texts captured while the editor was open
// (`captured`, newest first) stay on top of the edited entries, each once, and
// the oldest fall off beyond `capacity`. Without this a copy made while the
// dialog was open would silently vanish. As when a text is captured, no text
// is put twice in a row: neither two equal captures, nor the oldest capture
// above an equal edited entry.
std::vector<std::string> MergeWriteBack(const std::vector<std::string>& captured, const HistorySlots& edited,
                                        int capacity);

}  // namespace quillo::history_editor
