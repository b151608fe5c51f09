// The pop-up menus of the library: the custom menu, the stack menu of the
// clipboard history, the two combined, and the menu-file chooser; where they
// appear, how they are tracked, and what a chosen command does up to the point
// where delivery takes over. Also the "Save to Scratch File" dialog.
//
// Everything here runs on the input thread of the application in front,
// inside its process (or in the resident program, through ShowMenu): nothing
// throws, every buffer is bounded, every handle is released before return.
#pragma once

#include <windows.h>

#include "handles_win.h"
#include "quillo_hook.h"
#include "stack_caption.h"

namespace quillo::hook {

// Command ids of the menus built here.
constexpr UINT kStackEntryFirst = 7000;  // 7000 + i: history entry i
constexpr UINT kStackClearHistory = 7100;
constexpr UINT kStackEditHistory = 7101;
constexpr UINT kStackSaveScratch = 7102;
constexpr UINT kChooserFirst = 8000;  // 8000 + i: menu-file set entry i
constexpr int kMaxStackEntries = 100;

// The menus shown by the triggers. `atMouse` puts the menu at the mouse
// pointer for this display whatever g_nMenuPos says.
void ShowCustomMenu(int entry, bool atMouse) noexcept;
void ShowStackMenu(bool atMouse) noexcept;
void ShowBothMenu(bool atMouse) noexcept;
void ShowMenuSetMenu() noexcept;

// The history store opened for one operation: the mapping
// "QuilloPageMapObject" and a view of all of it, both released by Close() or
// when the object goes.
class HistoryView {
 public:
  HistoryView() = default;
  ~HistoryView() { Close(); }
  HistoryView(const HistoryView&) = delete;
  HistoryView& operator=(const HistoryView&) = delete;

  // Opens and maps the store with write access. False, with nothing open,
  // when there is no store.
  bool Open() noexcept;
  void Close() noexcept;
  char* view() const { return view_; }
  // The slot size the view was checked with. g_dwBlockSize is shared memory
  // and may change at any time: every slot of this view is found with this
  // value, never with a fresh read.
  size_t blockSize() const { return blockSize_; }
  // Slots that lie inside the view (never more than kMaxStackEntries).
  int slots() const { return slots_; }
  // g_nNumClipHistory read once, cut to the slots inside the view.
  int Count() const noexcept;

 private:
  UniqueHandle mapping_;
  char* view_ = nullptr;
  size_t blockSize_ = 0;
  int slots_ = 0;
};

// A built stack menu and what it showed. The store is not kept open while the
// menu is: a choice is looked up again in the store as it is then. The menu is
// destroyed with the object unless ReleaseMenu() handed it to a parent menu.
struct StackMenu {
  StackMenu() = default;
  ~StackMenu() { DestroyOwnedMenu(); }
  StackMenu(const StackMenu&) = delete;
  StackMenu& operator=(const StackMenu&) = delete;
  void DestroyOwnedMenu() noexcept;
  HMENU ReleaseMenu() noexcept;

  HMENU menu = nullptr;
  int count = 0;                       // entries in the menu
  EntryMark marks[kMaxStackEntries];   // the text each entry showed
};

// Builds the stack menu over the history store. False when there is no menu:
// an empty history (message 2024 when `reportEmpty`), or a store that cannot
// be opened or mapped (silently).
bool BuildStackMenu(bool reportEmpty, StackMenu& out) noexcept;

// Carries out stack-menu command `id` (0 = none) of `stack`. An entry is
// pasted only when the store still holds the text the menu showed (wherever
// newer copies have pushed it); otherwise nothing is pasted.
void DoStackCommand(UINT id, const StackMenu& stack) noexcept;

// Carries out custom-menu command `id` (0 = none): a list menu first asks for
// its item, then the text goes onto the clipboard and is pasted.
void DoCustomCommand(UINT id) noexcept;

// Tracks `menu` at the menu point; returns the chosen command id or 0, and
// sets the choice mode of this process (-1 right button or Shift, +1 otherwise).
UINT TrackMenu(HMENU menu, bool atMouse) noexcept;

// Where a menu appears for menu position `position` (0 caret, 1 mouse
// pointer, 2 below the menu bar of `front`).
POINT GetMenuPoint(HWND front, int position) noexcept;

// Runs the "Save to Scratch File" dialog over the first `count` entries of
// `view` (slots of `blockSize` bytes, all inside the view) and writes the
// chosen entries to "Scratch.txt" beside the library. The entries are copied
// before the dialog opens: what is written is what the dialog listed.
void SaveScratchFile(const char* view, size_t blockSize, int count) noexcept;

}  // namespace quillo::hook
