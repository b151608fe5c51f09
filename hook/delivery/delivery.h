// The text rules of delivery: how a text is prepared before it goes onto the
// clipboard (last line break, file references, marker data; quote mode is the
// enclose walk of text_commands/enclose.h) and
// which keys paste or cut it. The clipboard, global memory and keybd_event stay
// in the Win32 glue; these functions work on plain bytes and never allocate, so
// the glue can size its global blocks first and fill them after.
#pragma once

#include <cstddef>
#include <cstdint>

#include "key_strokes.h"

namespace quillo::hook {

// Synthesised keys and the recording suspension around them. keybd_event puts
// the events into the system's input stream; they reach the application after
// the current hook procedure has returned.
class KeyOutput {
 public:
  // keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0).
  virtual void SendKey(uint8_t vk, bool up) noexcept = 0;
  // SuspendRec and ResumeRec: keys sent in between are not recorded.
  virtual void SuspendRecording() noexcept = 0;
  virtual void ResumeRecording() noexcept = 0;

 protected:
  ~KeyOutput() = default;
};

struct KeyStep {
  uint8_t vk;
  bool up;
};

// The modifiers down, a key down, the key up, the modifiers up; or nothing.
struct KeySequence {
  KeyStep steps[6];
  size_t count;
};

// g_nPasteCmd: 0 Ctrl+V, 1 Shift+Insert, 2 Ctrl+Y; any other value no keys.
KeySequence PasteKeySequence(int pasteCmd) noexcept;
// A paste method (paste_programs.h) that presses keys: PasteKeySequence for
// the first three, Ctrl+Shift+V for kPasteCtrlShiftV; no keys for typing or
// any other value.
KeySequence PasteMethodKeySequence(int method) noexcept;
// g_nCutCmd: 0 Ctrl+X, 1 Shift+Delete, 2 Ctrl+W; any other value no keys.
KeySequence CutKeySequence(int cutCmd) noexcept;

// PasteText: nothing with `copyOnly` (the text stays on the clipboard for the
// user); otherwise the paste keys, wrapped in a recording suspension while a
// macro is recorded so that they do not end up in the macro.
void SendPasteKeys(int pasteCmd, bool copyOnly, bool recording, KeyOutput& out) noexcept;
// The same for a paste method chosen for the program in front.
void SendPasteMethodKeys(int method, bool copyOnly, bool recording, KeyOutput& out) noexcept;
// CutText: the same with the cut keys; copy-only does not apply to cutting.
void SendCutKeys(int cutCmd, bool recording, KeyOutput& out) noexcept;

// Removes one trailing line break in place: a final LF, and a CR directly
// before it. A text that is empty or ends in a double-byte character is left
// alone. Returns true when something was removed.
bool CutLastReturn(char* text) noexcept;

// A custom-menu item that is an apostrophe followed by a drive path
// ('C:\notes.txt) refers to a file whose content is pasted instead. Returns the
// path after the apostrophe, or null when the text does not have that shape.
// Whether the file exists is for the caller to find out; when it does not, the
// item is pasted literally.
const char* FileReferencePath(const char* text) noexcept;

// Bytes of a file's content that are pasted: all of them, but for a final
// Ctrl-Z (0x1A) that old editors leave as an end-of-file mark.
size_t FileContentLength(const char* bytes, size_t size) noexcept;

// Bytes of the marker data that MakeMarkerData writes for a delivery whose tag
// expansion reported `keyBytes` bytes of key-stroke codes: 32 zero bytes when
// there are none, else the codes and the end code.
size_t MarkerDataBytes(const KeyStrokeList& list, size_t keyBytes) noexcept;

}  // namespace quillo::hook
