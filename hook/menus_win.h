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

// The history store opened for one stack-menu display: the mapping
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
  // Slots that lie inside the view (never more than kMaxStackEntries).
  int slots() const { return slots_; }

 private:
  UniqueHandle mapping_;
  char* view_ = nullptr;
  int slots_ = 0;
};

// A built stack menu with the store it was read from. The menu is destroyed
// with the object unless ReleaseMenu() handed it to a parent menu.
struct StackMenu {
  StackMenu() = default;
  ~StackMenu() { DestroyOwnedMenu(); }
  StackMenu(const StackMenu&) = delete;
  StackMenu& operator=(const StackMenu&) = delete;
  void DestroyOwnedMenu() noexcept;
  HMENU ReleaseMenu() noexcept;

  HMENU menu = nullptr;
  HistoryView history;
  int count = 0;  // entries in the menu: g_nNumClipHistory, read once
};

// Builds the stack menu over the history store. False when there is no menu:
// an empty history (message 2024 when `reportEmpty`), or a store that cannot
// be opened or mapped (silently).
bool BuildStackMenu(bool reportEmpty, StackMenu& out) noexcept;

// Carries out stack-menu command `id` (0 = none) on the store of `stack`, and
// closes the store in every case.
void DoStackCommand(UINT id, StackMenu& stack) noexcept;

// Carries out custom-menu command `id` (0 = none): a list menu first asks for
// its item, then the text goes onto the clipboard and is pasted.
void DoCustomCommand(UINT id) noexcept;

// Tracks `menu` at the menu point; returns the chosen command id or 0, and
// sets the choice mode of this process (-1 right button or Shift, +1 otherwise).
UINT TrackMenu(HMENU menu, bool atMouse) noexcept;

// Where a menu appears for menu position `position` (0 caret, 1 mouse
// pointer, 2 below the menu bar of `front`).
POINT GetMenuPoint(HWND front, int position) noexcept;

// Runs the "Save to Scratch File" dialog over the `count` entries of `view`
// and writes the chosen entries to "Scratch.txt" beside the library.
void SaveScratchFile(const char* view, int count) noexcept;

}  // namespace quillo::hook
