#include "key_text.h"

#include <cstring>

#include "dbcs.h"
#include "quillo_records.h"

namespace quillo {
namespace {

// Appends as much of `src` as fits in whole characters; keeps `out` terminated.
void Append(char* out, size_t outSize, size_t& len, const char* src) noexcept {
  for (const char* p = src; *p != '\0';) {
    const size_t c = text::CharLen(p);
    if (len + c >= outSize) break;
    std::memcpy(out + len, p, c);
    len += c;
    p += c;
  }
  out[len] = '\0';
}

}  // namespace

size_t MakeKeyText(uint32_t vk, bool shift, bool ctrl, bool alt, bool extended, KeyNameSource& names, char* out,
                   size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return 0;
  out[0] = '\0';
  vk &= 0xFFFFu;
  if (vk == 0) return 0;
  const uint32_t lParam = ((names.ScanCode(vk) & 0xFFu) << 16) | (extended ? 0x01000000u : 0u);
  char name[kKeyNameBytes] = {};
  const size_t nameLen = names.KeyName(static_cast<int32_t>(lParam), name, sizeof name);
  name[sizeof name - 1] = '\0';
  if (nameLen == 0 || name[0] == '\0') return 0;
  size_t len = 0;
  if (shift) Append(out, outSize, len, "Shift+");
  if (ctrl) Append(out, outSize, len, "Ctrl+");
  if (alt) Append(out, outSize, len, "Alt+");
  Append(out, outSize, len, name);
  return len;
}

size_t MakeKeyText(uint16_t vk, uint16_t modifiers, KeyNameSource& names, char* out, size_t outSize) noexcept {
  return MakeKeyText(vk, (modifiers & kModShift) != 0, (modifiers & kModCtrl) != 0, (modifiers & kModAlt) != 0,
                     IsNavigationKey(vk), names, out, outSize);
}

}  // namespace quillo
