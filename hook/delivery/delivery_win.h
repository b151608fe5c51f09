// Delivery of texts into the application in front: the text goes onto the
// clipboard as CF_TEXT beside the "Quillo Marker" format, and the paste keys
// are synthesised. The exported PasteText, CutText and CopyTextToClip are
// declared in quillo_hook.h; these are the library's own entry points.
//
// Everything runs on the thread of the application in front (or on the
// resident program's main thread for the exports); nothing throws, and every
// global block is freed on a failure path unless the clipboard took it.
#pragma once

#include <windows.h>

namespace quillo::hook {

// The text of custom-menu item `id` (1000-2022) or simple-menu cell (3000 and
// up) onto the clipboard. 1: ready, call PasteText. -1: nothing more to do (an
// empty body, an expansion cancelled or failed, or key strokes that the
// resident program now delivers itself). 0: failure; the caller shows 2006.
int SetItemToClip(int id);

// History entry `index` of the history store's `view` onto the clipboard,
// quoted when the last menu choice was made in quote mode. Non-zero on success.
BOOL SetStackItemToClip(const char* view, int index);

// The same for the `length` bytes of `text`, a private copy of an entry.
BOOL SetStackTextToClip(const char* text, size_t length);

// `text`, or the filled global block `block` when it is not null, onto the
// clipboard, with the plain marker data when `marker` is set. Non-zero on
// success, and the block belongs to the system then; on failure a block passed
// in is still the caller's to free.
BOOL SetTextToClip(const char* text, BOOL marker, HGLOBAL block);

// A copy of history entry `index` in *out, allocated from the private heap
// (Heap()) and freed there by the caller. Non-zero on success; *out is null on
// failure.
BOOL CopyStackItem(char** out, int index);

// The whole file at `path` in *out, zero-terminated, from the private heap (the
// caller frees it there), a final Ctrl-Z dropped; *size is the length without
// the terminator. Non-zero on success; *out is null on failure.
BOOL ReadWholeFile(const char* path, char** out, DWORD* size);

// A new movable, shared global block holding a copy of history entry `index`
// of the named history store, which is opened for this copy only. Null when
// the store cannot be opened (*noMemory false: nothing to report) or the block
// cannot be made (*noMemory true).
HGLOBAL CopyHistoryEntryToBlock(int index, bool* noMemory);

}  // namespace quillo::hook
