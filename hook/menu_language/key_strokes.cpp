#include "key_strokes.h"

#include <cstring>

#include "dbcs.h"
#include "resource.h"

namespace quillo::hook {
namespace {

struct KeyName {
  const char* name;
  uint8_t vk;
};

// Searched in this order; the first match wins.
constexpr KeyName kKeyNames[] = {
    {"ENTER", 13},   {"TAB", 9},        {"ESC", 27},   {"SPACE", 32}, {"LEFT", 37},
    {"RIGHT", 39},   {"UP", 38},        {"DOWN", 40},  {"HOME", 36},  {"END", 35},
    {"INS", 45},     {"DEL", 46},       {"PAGE_UP", 33}, {"PAGE_DOWN", 34}, {"WIN", 91},
    {"APPS", 93},    {"SHIFT", 16},     {"CTRL", 17},  {"ALT", 18},   {"BACK", 8},
    {"F1", 112},     {"F2", 113},       {"F3", 114},   {"F4", 115},   {"F5", 116},
    {"F6", 117},     {"F7", 118},       {"F8", 119},   {"F9", 120},   {"F10", 121},
    {"F11", 122},    {"F12", 123},
};

constexpr uint8_t kVkShift = 16;
constexpr uint8_t kVkCtrl = 17;
constexpr uint8_t kVkAlt = 18;

// A repeat count beyond any list that fits the buffer; larger numbers are held
// here so that a long run of digits cannot overflow.
constexpr size_t kRepeatCeiling = 100000;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualNoCase(const char* a, size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (UpperAscii(a[i]) != b[i]) return false;
  }
  return true;
}

// The key name between the first two double quotes after `from`, trimmed.
// False when there is no pair of quotes.
bool FindQuotedName(const char* content, size_t length, size_t from, const char*& name,
                    size_t& nameLength) {
  size_t open = from;
  while (open < length && content[open] != '"') ++open;  // '"' is never a trail byte
  if (open >= length) return false;
  size_t close = open + 1;
  while (close < length && content[close] != '"') ++close;
  if (close >= length) return false;
  size_t start = open + 1;
  size_t end = close;
  // Trim by whole characters, walking forward: from the end a trail byte could
  // be taken for half of an ideographic space.
  while (start < end) {
    const size_t n = text::SpaceLen(content + start);
    if (n == 0 || start + n > end) break;
    start += n;
  }
  size_t lastEnd = start;
  for (size_t p = start; p < end;) {
    size_t n = text::SpaceLen(content + p);
    const bool space = n != 0 && p + n <= end;
    if (!space) {
      n = text::IsLeadByte(static_cast<unsigned char>(content[p])) && p + 1 < end ? 2 : 1;
    }
    p += n;
    if (!space) lastEnd = p;
  }
  name = content + start;
  nameLength = lastEnd - start;
  return true;
}

}  // namespace

void KeyStrokeList::Reset() {
  count_ = 0;
  units_[0] = kKeyEndCode;
}

bool KeyStrokeList::Append(const uint16_t* codes, size_t n) {
  // One unit must stay free for the end code.
  if (n > kKeyStrokeUnits - 1 - count_) return false;
  std::memcpy(units_ + count_, codes, n * sizeof(uint16_t));
  count_ += n;
  units_[count_] = kKeyEndCode;
  return true;
}

uint8_t FindKeyName(const char* name, size_t length) {
  if (length == 0 || length > kMaxKeyNameChars) return 0;
  for (const KeyName& k : kKeyNames) {
    if (EqualNoCase(name, length, k.name)) return k.vk;
  }
  if (length == 1) {
    const char c = UpperAscii(name[0]);
    if ((c >= 'A' && c <= 'Z') || IsDigit(c)) return static_cast<uint8_t>(c);
  }
  return 0;
}

KeyTagResult AddKeyStrokeTag(const char* content, size_t length, KeyStrokeList& list) {
  KeyTagResult result;
  if (length < 2 || content[0] != '!') {
    result.messageId = IDS_BAD_KEY;
    return result;
  }
  const char kind = content[1];
  const char third = length > 2 ? content[2] : '\0';

  size_t repeat = 1;
  if (IsDigit(third)) {
    size_t n = 0;
    for (size_t i = 2; i < length && IsDigit(content[i]); ++i) {
      n = n * 10 + static_cast<size_t>(content[i] - '0');
      if (n > kRepeatCeiling) n = kRepeatCeiling;
    }
    repeat = n == 0 ? 1 : n;
  }
  uint8_t modifier = 0;
  if (kind == 'K' && repeat == 1) {
    if (third == 'S') modifier = kVkShift;
    if (third == 'C') modifier = kVkCtrl;
    if (third == 'A') modifier = kVkAlt;
  }

  const char* name = nullptr;
  size_t nameLength = 0;
  uint8_t vk = 0;
  if (FindQuotedName(content, length, 2, name, nameLength)) vk = FindKeyName(name, nameLength);
  if (vk == 0) {
    result.messageId = IDS_BAD_KEY;
    return result;
  }

  // A count that would pass the buffer is refused whole rather than cut, so the
  // keys typed never differ from what the item says.
  const size_t codes = modifier != 0 ? 3 : repeat;
  if (codes > kKeyStrokeUnits - 1 - list.Count()) {
    result.messageId = IDS_TOO_MANY_KEYS;
    return result;
  }
  uint16_t buffer[kKeyStrokeUnits];
  if (modifier != 0) {
    buffer[0] = MakeKeyCode(kKeyDown, modifier);
    buffer[1] = MakeKeyCode(kKeyPress, vk);
    buffer[2] = MakeKeyCode(kKeyUp, modifier);
  } else {
    const KeyAction action = kind == 'D' ? kKeyDown : kind == 'U' ? kKeyUp : kKeyPress;
    for (size_t i = 0; i < codes; ++i) buffer[i] = MakeKeyCode(action, vk);
  }
  list.Append(buffer, codes);
  result.placeholders = codes;
  return result;
}

KeyTagResult AddWaitTag(const char* content, size_t length, KeyStrokeList& list) {
  KeyTagResult result;
  size_t i = 2;
  while (i < length && (content[i] == ' ' || content[i] == '\t')) ++i;
  // Reduced to 16 bits as it is read: arithmetic modulo 2^32 keeps the low 16
  // bits right however many digits follow.
  uint32_t n = 0;
  for (; i < length && IsDigit(content[i]); ++i) n = n * 10u + static_cast<uint32_t>(content[i] - '0');
  const uint16_t delay = static_cast<uint16_t>(n & 0xFFFFu);
  if (delay == 0 || delay > 0x7FFF) {
    result.messageId = IDS_BAD_DELAY;
    return result;
  }
  const uint16_t codes[2] = {kKeyWaitCode, delay};
  if (!list.Append(codes, 2)) {
    result.messageId = IDS_TOO_MANY_KEYS;
    return result;
  }
  result.placeholders = 1;
  return result;
}

size_t MakeMarkerData(const KeyStrokeList& list, size_t keyBytes, uint8_t* out, size_t outSize) {
  if (keyBytes == 0) {
    if (outSize < kPlainMarkerBytes) return 0;
    std::memset(out, 0, kPlainMarkerBytes);
    return kPlainMarkerBytes;
  }
  size_t units = keyBytes / 2;
  if (units > list.Count()) units = list.Count();
  const size_t bytes = (units + 1) * 2;
  if (outSize < bytes) return 0;
  // Little-endian whatever the host: the resident program reads the bytes.
  for (size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<uint8_t>(list.Codes()[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(list.Codes()[i] >> 8);
  }
  out[2 * units] = static_cast<uint8_t>(kKeyEndCode & 0xFF);
  out[2 * units + 1] = static_cast<uint8_t>(kKeyEndCode >> 8);
  return bytes;
}

}  // namespace quillo::hook
