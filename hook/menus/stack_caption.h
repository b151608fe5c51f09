// Display texts of the stack menu and the menu-file chooser: the caption of a
// history entry (shared with the resident program's history editor through the
// exported GetStackItem), the captions of the chooser with the trigger of each
// menu file, the key text of a shortcut, and the move of a history entry to the
// top of the store. Portable: the history store is a block of bytes here, and
// key names come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "key_text.h"
#include "quillo_records.h"

namespace quillo::hook {

// The buffer the exported GetStackItem is given; every caption fits in it.
constexpr size_t kStackCaptionBytes = 128;
// A chooser caption: prefix, file name of up to 81 bytes, tab and trigger text.
constexpr size_t kChooserCaptionBytes = 192;
// Widest file name shown in the chooser, in single-byte cells.
constexpr int kChooserNameCells = 80;
// GetKeyNameTextA's buffer.

// The settings the caption rule reads (g_nCharNum, g_bSkipTopSpace and the
// store's g_dwBlockSize).
struct StackCaptionSettings {
  int charNum = 0;           // caption width in single-byte cells, 1 to 100
  bool skipTopSpace = false;
  uint32_t blockSize = 0;    // bytes per history slot
};

// The caption of history entry `index` (0 = newest) into `buffer`. When
// `direct` is false `source` is the start of the history store and the entry is
// read from its slot, never beyond it; when true `source` is the entry's text
// and `index` only numbers it. `menuStyle` gives the access-key prefixes of the
// stack menu (&1 to 1&0, then &1 .. 1&0, &A .. &J in each sub menu of 20), and
// otherwise the list prefix "01: ". The text is cut to `charNum` cells, a
// double-byte character counting two and never split; tabs (and "&" in a menu)
// become spaces and line breaks " |".
void GetStackItem(char* buffer, size_t bufferSize, const char* source, int index, bool menuStyle,
                  bool direct, const StackCaptionSettings& settings) noexcept;
// The same caption of an entry's text whose length is known (the stack menu
// has it from its copy): the text is not scanned to its end.
void GetStackItemOfText(char* buffer, size_t bufferSize, const char* text, size_t length, int index,
                        bool menuStyle, const StackCaptionSettings& settings) noexcept;

// Moves history entry `index` to slot 0 of the store at `view`, the entries
// before it down by one. `scratch` must hold `blockSize` bytes (the caller
// allocates it from the library's heap, and reports when it cannot). Returns
// false, with nothing moved, when the index is not an entry of `count` or
// there is no scratch buffer.
bool MoveItemToTop(char* view, size_t blockSize, int count, int index, char* scratch) noexcept;

// What a menu remembers of an entry it shows, so that a choice made later is
// applied to that same text: the store is shared, and any program's copy
// shifts every entry while the menu is open. A hash of the whole text and its
// length, never the text itself (the entry may be a password).
struct EntryMark {
  uint64_t hash = 0;
  uint32_t length = 0;
  bool set = false;
};

EntryMark MarkEntry(const char* text, size_t length) noexcept;
inline bool SameEntry(const EntryMark& a, const EntryMark& b) noexcept {
  return a.set && b.set && a.hash == b.hash && a.length == b.length;
}

// Bytes of the text in slot `index` of `view`: up to its terminator, never
// beyond the slot (another process may have left it unterminated).
size_t SlotTextLength(const char* view, size_t blockSize, int index) noexcept;

// The slot among the first `count` of `view` whose text carries `mark`,
// looked for at `hint` first (where the entry was when it was shown); -1 when
// none does. The caller has checked that `count` slots lie inside the view.
int FindMarkedEntry(const char* view, size_t blockSize, int count, int hint, const EntryMark& mark) noexcept;

// The key text of a shortcut (MakeKeyText) and the system's key names
// (KeyNameSource) are shared with the resident program: key_text.h.
using ::quillo::KeyNameSource;
using ::quillo::MakeKeyText;

// The fixed display text of a trigger code ("(None)", "[Shift]^2", ...), or
// null for the shortcut code -2 (whose text is the key text) and unknown codes.
const char* TriggerCodeText(int32_t code) noexcept;

// The caption of chooser entry `index` (0-9): "&1: " .. "1&0: ", the file
// name of the entry's path, and a tab and the trigger's text when there is one.
// Returns false when there is no caption: the path is empty or has no "\".
bool MakeChooserCaption(int index, const MenuFileSet& entry, KeyNameSource& names, char* out,
                        size_t outSize) noexcept;

}  // namespace quillo::hook
