#include "delivery.h"

#include <cstring>

#include "dbcs.h"
#include "paste_programs.h"

namespace quillo::hook {
namespace {

constexpr uint8_t kVkShiftKey = 0x10;
constexpr uint8_t kVkCtrlKey = 0x11;
constexpr uint8_t kVkInsert = 0x2D;
constexpr uint8_t kVkDelete = 0x2E;

KeySequence Chord(uint8_t modifier, uint8_t key) noexcept {
  return KeySequence{{{modifier, false}, {key, false}, {key, true}, {modifier, true}}, 4};
}

KeySequence DoubleChord(uint8_t first, uint8_t second, uint8_t key) noexcept {
  return KeySequence{{{first, false}, {second, false}, {key, false}, {key, true}, {second, true}, {first, true}}, 6};
}

KeySequence NoKeys() noexcept { return KeySequence{{}, 0}; }

void SendSequence(const KeySequence& keys, bool recording, KeyOutput& out) noexcept {
  // The suspension is bracketed even when there are no keys: SuspendRec puts its
  // own marker into the input stream, and the counts must pair up there.
  if (recording) out.SuspendRecording();
  for (size_t i = 0; i < keys.count; ++i) out.SendKey(keys.steps[i].vk, keys.steps[i].up);
  if (recording) out.ResumeRecording();
}

}  // namespace

KeySequence PasteKeySequence(int pasteCmd) noexcept {
  switch (pasteCmd) {
    case 0: return Chord(kVkCtrlKey, 'V');
    case 1: return Chord(kVkShiftKey, kVkInsert);
    case 2: return Chord(kVkCtrlKey, 'Y');
    default: return NoKeys();
  }
}

KeySequence PasteMethodKeySequence(int method) noexcept {
  if (method == kPasteCtrlShiftV) return DoubleChord(kVkCtrlKey, kVkShiftKey, 'V');
  if (method == kPasteType) return NoKeys();
  return PasteKeySequence(method);
}

KeySequence CutKeySequence(int cutCmd) noexcept {
  switch (cutCmd) {
    case 0: return Chord(kVkCtrlKey, 'X');
    case 1: return Chord(kVkShiftKey, kVkDelete);
    case 2: return Chord(kVkCtrlKey, 'W');
    default: return NoKeys();
  }
}

void SendPasteKeys(int pasteCmd, bool copyOnly, bool recording, KeyOutput& out) noexcept {
  if (copyOnly) return;
  SendSequence(PasteKeySequence(pasteCmd), recording, out);
}

void SendPasteMethodKeys(int method, bool copyOnly, bool recording, KeyOutput& out) noexcept {
  if (copyOnly) return;
  SendSequence(PasteMethodKeySequence(method), recording, out);
}

void SendCutKeys(int cutCmd, bool recording, KeyOutput& out) noexcept {
  SendSequence(CutKeySequence(cutCmd), recording, out);
}

bool CutLastReturn(char* text) noexcept {
  // Walk forward to find where the last two characters start: stepping back
  // from the end could take a trail byte for a character of its own. A
  // character that starts with LF or CR is a single byte (lead bytes are high).
  char* last = nullptr;
  char* beforeLast = nullptr;
  for (char* p = text; *p != '\0'; p += text::CharLen(p)) {
    beforeLast = last;
    last = p;
  }
  if (last == nullptr || *last != '\n') return false;
  if (beforeLast != nullptr && *beforeLast == '\r') {
    *beforeLast = '\0';
  } else {
    *last = '\0';
  }
  return true;
}

const char* FileReferencePath(const char* text) noexcept {
  if (text[0] != '\'' || text[1] == '\0') return nullptr;
  // The drive letter is the second character, the colon the third and the
  // backslash the fourth, counted in characters: a double-byte character in
  // second place shifts the others.
  const char* colon = text::Next(text + 1);
  if (text::CharLen(colon) != 1 || *colon != ':') return nullptr;
  const char* backslash = colon + 1;
  if (text::CharLen(backslash) != 1 || *backslash != '\\') return nullptr;
  return text + 1;
}

size_t FileContentLength(const char* bytes, size_t size) noexcept {
  if (size != 0 && bytes[size - 1] == '\x1A') return size - 1;
  return size;
}

size_t MarkerDataBytes(const KeyStrokeList& list, size_t keyBytes) noexcept {
  // Mirrors MakeMarkerData, which refuses a smaller buffer.
  if (keyBytes == 0) return kPlainMarkerBytes;
  size_t units = keyBytes / 2;
  if (units > list.Count()) units = list.Count();
  return (units + 1) * 2;
}

}  // namespace quillo::hook
