#include "key_names_win.h"

#include <windows.h>

#include <cstring>

namespace quillo {

uint32_t SystemKeyNames::ScanCode(uint32_t vk) noexcept { return MapVirtualKeyA(vk, 0); }

size_t SystemKeyNames::KeyName(int32_t lParam, char* out, size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return 0;
  out[0] = '\0';
  const int limit = static_cast<int>(outSize > kKeyNameBytes ? kKeyNameBytes : outSize);
  const int n = GetKeyNameTextA(lParam, out, limit);
  if (n <= 0) {
    out[0] = '\0';
    return 0;
  }
  out[limit - 1] = '\0';
  return strnlen(out, static_cast<size_t>(limit));
}

}  // namespace quillo
