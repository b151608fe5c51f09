#include "small_format.h"

#include <cstring>

namespace quillo {

size_t FormatDecimal(char* out, size_t outSize, long long value, int width, char pad) {
  if (out == nullptr || outSize == 0) return 0;
  char digits[24];
  size_t n = 0;
  // Work on the magnitude as unsigned so that the most negative value is safe.
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  const bool negative = value < 0;
  const size_t body = n + (negative ? 1 : 0);
  const size_t fill = width > 0 && static_cast<size_t>(width) > body ? static_cast<size_t>(width) - body : 0;
  char text[64];
  size_t len = 0;
  if (pad != '0') {
    for (size_t i = 0; i < fill && len < sizeof text - 1; ++i) text[len++] = ' ';
  }
  if (negative) text[len++] = '-';
  if (pad == '0') {
    for (size_t i = 0; i < fill && len < sizeof text - 1; ++i) text[len++] = '0';
  }
  while (n > 0 && len < sizeof text - 1) text[len++] = digits[--n];
  text[len] = '\0';
  return CopyText(out, outSize, text);
}

size_t CopyText(char* out, size_t outSize, const char* text) {
  if (out == nullptr || outSize == 0) return 0;
  const size_t len = text == nullptr ? 0 : strnlen(text, outSize - 1);
  if (len > 0) std::memcpy(out, text, len);
  out[len] = '\0';
  return len;
}

}  // namespace quillo
