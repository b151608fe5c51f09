#include "stack_caption.h"

#include <cstring>

#include "byte_scan.h"
#include "dbcs.h"
#include "small_format.h"

namespace quillo::hook {
namespace {

// Bytes of the character at p in [p, end): 0 at the end or the terminator. The
// history store is shared memory another process writes; a slot without its
// terminator must not let the scan run into the next slot or off the view.
size_t BoundedCharLen(const char* p, const char* end) noexcept {
  if (p >= end || *p == '\0') return 0;
  if (text::IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end && p[1] != '\0') return 2;
  return 1;
}

// Appends src (length n) to out at *len as far as it fits whole characters and
// leaves the text terminated.
void AppendBounded(char* out, size_t outSize, size_t* len, const char* src, size_t n) noexcept {
  const char* end = src + n;
  for (const char* p = src; p < end;) {
    const size_t c = BoundedCharLen(p, end);
    if (c == 0 || *len + c >= outSize) break;
    std::memcpy(out + *len, p, c);
    *len += c;
    p += c;
  }
  out[*len] = '\0';
}

void AppendText(char* out, size_t outSize, size_t* len, const char* src) noexcept {
  AppendBounded(out, outSize, len, src, std::strlen(src));
}

// "&1: " to "1&0: " for 1 to 10, "&A: " to "&J: " for 11 to 20.
int MenuPrefix(int number, char* out, size_t outSize) noexcept {
  char text[24] = "&";
  if (number == 10) {
    CopyText(text, sizeof text, "1&0");
  } else if (number > 10) {
    text[1] = static_cast<char>(number + 54);
    text[2] = '\0';
  } else {
    FormatDecimal(text + 1, sizeof text - 1, number);
  }
  const size_t len = std::strlen(text);
  CopyText(text + len, sizeof text - len, ": ");
  return static_cast<int>(CopyText(out, outSize, text));
}

void StackPrefix(int index, bool menuStyle, char* out, size_t outSize) noexcept {
  // The arithmetic runs in long long so that a hostile index cannot overflow.
  long long k = static_cast<long long>(index) + 1;
  if (!menuStyle) {
    char text[32];
    const size_t len = FormatDecimal(text, sizeof text, k, 2, '0');
    CopyText(text + len, sizeof text - len, ": ");
    CopyText(out, outSize, text);
    return;
  }
  if (index >= 0 && index <= 9) {
    MenuPrefix(static_cast<int>(k), out, outSize);
    return;
  }
  // Sub menus hold 20 entries each (11-30, 31-50, ...): number within one.
  if (k > 30) k = 11 + (k - 11) % 20;
  if (k < 11) {
    out[0] = '\0';  // a negative index has no place in the menu
    return;
  }
  MenuPrefix(static_cast<int>(k - 10), out, outSize);
}

}  // namespace

namespace {

// The caption of the text in [text, end) after the prefix already in buffer.
void AppendCaption(char* buffer, size_t bufferSize, size_t len, const char* text, const char* end,
                   bool menuStyle, const StackCaptionSettings& settings) noexcept {
  const char* p = text;
  if (settings.skipTopSpace) {
    for (;;) {
      const size_t n = BoundedCharLen(p, end);
      if (n == 1 && (*p == ' ' || *p == '\t')) {
        p += 1;
      } else if (n == 1 && *p == '\r' && BoundedCharLen(p + 1, end) == 1 && p[1] == '\n') {
        p += 2;  // a CR LF pair only: a lone CR or LF is shown
      } else if (n == 2 && static_cast<unsigned char>(p[0]) == 0x81 && static_cast<unsigned char>(p[1]) == 0x40) {
        p += 2;  // the ideographic space
      } else {
        break;
      }
    }
  }

  const size_t textStart = len;
  bool copiedCr = false;
  // The counter starts at 1 and the check comes before each character, so a
  // double-byte character that starts in the last cell is still shown whole.
  for (int width = 1; width <= settings.charNum;) {
    const size_t n = BoundedCharLen(p, end);
    if (n == 0 || len + n >= bufferSize) break;
    if (n == 2) {
      buffer[len++] = p[0];
      buffer[len++] = p[1];
      width += 2;
      copiedCr = false;
    } else {
      char c = *p;
      if (c == '\t' || (c == '&' && menuStyle)) c = ' ';  // "&" would underline the next letter
      if (c == '\n' && copiedCr) {
        buffer[len - 1] = ' ';
        c = '|';
      }
      copiedCr = (c == '\r');
      buffer[len++] = c;
      width += 1;
    }
    p += n;
  }
  // A caption cut between CR and LF: the CR would show as a box.
  if (len > textStart && buffer[len - 1] == '\r') --len;
  buffer[len] = '\0';
}

// The prefix of entry `index` into buffer; its length.
size_t StartCaption(char* buffer, size_t bufferSize, int index, bool menuStyle) noexcept {
  buffer[0] = '\0';
  char prefix[16];
  StackPrefix(index, menuStyle, prefix, sizeof prefix);
  size_t len = 0;
  AppendText(buffer, bufferSize, &len, prefix);
  return len;
}

}  // namespace

void GetStackItem(char* buffer, size_t bufferSize, const char* source, int index, bool menuStyle, bool direct,
                  const StackCaptionSettings& settings) noexcept {
  if (buffer == nullptr || bufferSize == 0) return;
  const size_t len = StartCaption(buffer, bufferSize, index, menuStyle);
  if (source == nullptr) return;
  if (direct) {
    AppendCaption(buffer, bufferSize, len, source, source + std::strlen(source), menuStyle, settings);
    return;
  }
  if (index < 0 || settings.blockSize == 0) return;
  const char* text = source + static_cast<size_t>(index) * settings.blockSize;
  AppendCaption(buffer, bufferSize, len, text, text + settings.blockSize, menuStyle, settings);
}

void GetStackItemOfText(char* buffer, size_t bufferSize, const char* text, size_t length, int index,
                        bool menuStyle, const StackCaptionSettings& settings) noexcept {
  if (buffer == nullptr || bufferSize == 0) return;
  const size_t len = StartCaption(buffer, bufferSize, index, menuStyle);
  if (text == nullptr) return;
  AppendCaption(buffer, bufferSize, len, text, text + length, menuStyle, settings);
}

bool MoveItemToTop(char* view, size_t blockSize, int count, int index, char* scratch) noexcept {
  if (view == nullptr || blockSize == 0 || index < 0 || index >= count) return false;
  if (index == 0) return true;
  if (scratch == nullptr) return false;

  // Strings, not whole slots, are copied; each copy stays inside its slot and is
  // terminated there even when another process left a slot unterminated.
  auto copySlot = [blockSize](char* dst, const char* src) noexcept {
    const size_t n = strnlen(src, blockSize - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
  };
  copySlot(scratch, view + static_cast<size_t>(index) * blockSize);
  for (size_t k = static_cast<size_t>(index); k >= 1; --k) {
    copySlot(view + k * blockSize, view + (k - 1) * blockSize);
  }
  copySlot(view, scratch);
  return true;
}

namespace {

constexpr uint64_t kFnvPrime = 1099511628211ull;
constexpr uint64_t kMixPrime = 0x9E3779B97F4A7C15ull;

// One step: the word mixed in and multiplied, then the high half folded down
// and multiplied again. A multiplication carries a change only upwards; with
// no fold, a change in the top bit of one step came out as a single known bit
// of the next, and one changed bit in each of two words could cancel.
inline uint64_t MixWord(uint64_t hash, uint64_t word) noexcept {
  uint64_t h = (((hash << 23) | (hash >> 41)) ^ word) * kFnvPrime;
  h ^= h >> 32;
  return h * kMixPrime;
}

}  // namespace

EntryMark MarkEntry(const char* text, size_t length) noexcept {
  // FNV-1a over eight bytes a step, 64 bits, the state turned before each
  // step so that high bits reach the low ones again: no two entries of one
  // history meet by chance. A mark lives only inside one process (the menu
  // and the paste it leads to), so it may differ from earlier ones. The
  // stack menu marks every entry of the history (2 MB when full) while the
  // user waits, and each multiplication waits for the one before: four
  // lanes, each taking every fourth word, let the processor run four at once.
  uint64_t lanes[4] = {14695981039346656037ull, 0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full,
                       0x165667B19E3779F9ull};
  size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    uint64_t words[4];
    std::memcpy(words, text + i, sizeof words);
    for (int k = 0; k < 4; ++k) lanes[k] = MixWord(lanes[k], words[k]);
  }
  uint64_t hash = lanes[0];
  for (int k = 1; k < 4; ++k) hash = MixWord(hash, lanes[k]);
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, 8);
    hash = MixWord(hash, word);
  }
  for (; i < length; ++i) {
    hash ^= static_cast<unsigned char>(text[i]);
    hash *= 1099511628211ull;
  }
  EntryMark mark;
  mark.hash = hash;
  mark.length = static_cast<uint32_t>(length);
  mark.set = text != nullptr;
  return mark;
}

size_t SlotTextLength(const char* view, size_t blockSize, int index) noexcept {
  if (view == nullptr || blockSize == 0 || index < 0) return 0;
  return text::BoundedLength(view + static_cast<size_t>(index) * blockSize, blockSize);
}

int FindMarkedEntry(const char* view, size_t blockSize, int count, int hint, const EntryMark& mark) noexcept {
  if (view == nullptr || blockSize == 0 || count <= 0 || !mark.set) return -1;
  auto matches = [&](int i) noexcept {
    const char* text = view + static_cast<size_t>(i) * blockSize;
    const size_t length = text::BoundedLength(text, blockSize);
    return length == mark.length && SameEntry(MarkEntry(text, length), mark);
  };
  if (hint >= 0 && hint < count && matches(hint)) return hint;
  for (int i = 0; i < count; ++i) {
    if (i != hint && matches(i)) return i;
  }
  return -1;
}

const char* TriggerCodeText(int32_t code) noexcept {
  switch (code) {
    case kTriggerNone: return "(None)";
    case kTriggerDoubleShift: return "[Shift]^2";
    case kTriggerDoubleCtrl: return "[Ctrl]^2";
    case kTriggerAltDoubleShift: return "[Alt]+[Shift]^2";
    case kTriggerAltDoubleCtrl: return "[Alt]+[Ctrl]^2";
    case kTriggerMuhenkan: return "[\x96\xb3\x95\xcf\x8a\xb7]";  // [無変換]
    case kTriggerHenkan: return "[\x95\xcf\x8a\xb7]";  // [変換]
    case kTriggerHiragana: return "[\x82\xd0\x82\xe7\x82\xaa\x82\xc8]";  // [ひらがな]
    case kTriggerRightCtrl: return "[\x89\x45" "Ctrl]";  // [右Ctrl]
    default: return nullptr;
  }
}

bool MakeChooserCaption(int index, const MenuFileSet& entry, KeyNameSource& names, char* out,
                        size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return false;
  out[0] = '\0';
  if (index < 0 || index >= kMenuFileSetCount) return false;

  // The path is copied into the shared block without a lock; it may be caught
  // half written, so it is never read past its field.
  const char* path = entry.path;
  const char* pathEnd = path + strnlen(path, sizeof entry.path);
  if (path == pathEnd) return false;
  const char* name = nullptr;
  for (const char* p = path; p < pathEnd;) {
    const size_t n = BoundedCharLen(p, pathEnd);
    if (n == 1 && *p == '\\') name = p + 1;  // a trail byte 0x5C is not a separator
    p += n;
  }
  if (name == nullptr) return false;

  char prefix[8];
  MenuPrefix(index + 1, prefix, sizeof prefix);
  size_t len = 0;
  AppendText(out, outSize, &len, prefix);

  for (int width = 1; width <= kChooserNameCells;) {
    const size_t n = BoundedCharLen(name, pathEnd);
    if (n == 0 || len + n >= outSize) break;
    if (n == 1) {
      out[len++] = (*name == '&') ? ' ' : *name;
    } else {
      out[len++] = name[0];
      out[len++] = name[1];
    }
    width += static_cast<int>(n);
    name += n;
  }
  out[len] = '\0';

  // The trigger goes to the menu's shortcut column, after a tab.
  char trigger[kKeyNameBytes + 16];
  const char* fixed = TriggerCodeText(entry.trigger);
  if (fixed != nullptr) {
    CopyText(trigger, sizeof trigger, fixed);
  } else if (entry.trigger == kTriggerShortcut) {
    MakeKeyText(entry.key, entry.modifiers, names, trigger, sizeof trigger);
  } else {
    trigger[0] = '\0';
  }
  if (trigger[0] != '\0') {
    AppendText(out, outSize, &len, "\t");
    AppendText(out, outSize, &len, trigger);
  }
  return true;
}

}  // namespace quillo::hook
