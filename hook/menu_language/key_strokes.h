// Key-stroke lists built from the key-stroke tags of a menu item ([!K..],
// [!D..], [!U..], [!W..]). The list travels to the resident program in the
// marker data of the clipboard, so its layout is an interface between processes:
// 16-bit little-endian codes, the high byte an action, the low byte a virtual-key
// code (or a parameter), and one placeholder byte 0x03 in the item text per action.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillo::hook {

// Actions in the high byte of a code.
enum KeyAction : uint8_t {
  kKeyPress = 0x01,  // key down, then key up
  kKeyDown = 0x02,
  kKeyUp = 0x03,
  kKeyWait = 0x04,   // the next unit is the delay in milliseconds (1-32767)
  kKeyListEnd = 0x0A,
};

constexpr uint16_t MakeKeyCode(KeyAction action, uint8_t low) {
  return static_cast<uint16_t>((action << 8) | low);
}
constexpr uint16_t kKeyEndCode = 0x0A01;
constexpr uint16_t kKeyWaitCode = 0x0401;
constexpr char kKeyPlaceholder = '\x03';

// Units of the process-local buffer, end code included.
constexpr size_t kKeyStrokeUnits = 514;
// Codes one item may collect (wait delays count as codes).
constexpr size_t kMaxKeyStrokeCodes = 500;
// Bytes of the marker data of an item without key strokes.
constexpr size_t kPlainMarkerBytes = 32;
// Longest key name that is looked up at all; a longer one is not a key.
constexpr size_t kMaxKeyNameChars = 127;

// The key-stroke buffer of one item. It always ends with the end code, so that
// the codes plus the end code can be handed over as they are.
class KeyStrokeList {
 public:
  KeyStrokeList() { Reset(); }

  // Back to the end code alone.
  void Reset();
  // Codes collected, the end code not counted.
  size_t Count() const { return count_; }
  size_t ByteCount() const { return count_ * 2; }
  // Count() codes followed by the end code.
  const uint16_t* Codes() const { return units_; }

  // Appends n codes and rewrites the end code after them. When they and the end
  // code would not fit in the buffer nothing is written and false is returned.
  bool Append(const uint16_t* codes, size_t n);

 private:
  uint16_t units_[kKeyStrokeUnits];
  size_t count_ = 0;
};

// Virtual-key code of a key name ("ENTER", "page_up", "F12", "a", "7"), or 0.
// `name` need not be terminated; case is ignored.
uint8_t FindKeyName(const char* name, size_t length);

// Outcome of a key-stroke tag: 0 and the number of placeholder bytes to put in
// the text, or a message id (2036, 2038, 2043) with nothing written to the list.
struct KeyTagResult {
  int messageId = 0;
  size_t placeholders = 0;
};

// A [!K..], [!D..] or [!U..] tag; `content` is the text between the brackets
// ("!K3\"TAB\""), `length` its bytes.
KeyTagResult AddKeyStrokeTag(const char* content, size_t length, KeyStrokeList& list);

// A [!Wn] tag.
KeyTagResult AddWaitTag(const char* content, size_t length, KeyStrokeList& list);

// The marker data that goes beside a delivered text: the codes collected and the
// end code when `keyBytes` is not 0, 32 zero bytes otherwise. Returns the bytes
// written to `out`, or 0 when `outSize` is too small.
size_t MakeMarkerData(const KeyStrokeList& list, size_t keyBytes, uint8_t* out, size_t outSize);

}  // namespace quillo::hook
