// The little number formatting the libraries need, without printf: MinGW's
// C99 printf drags its floating-point machinery (tens of kilobytes) into every
// process the hook library is loaded into.
#pragma once

#include <cstddef>

namespace quillo {

// Writes `value` in decimal into `out` (always terminated when outSize > 0),
// padded on the left to `width` characters with '0' (after the sign) or ' '
// (before it), as printf's "%0*d" and "%*d" do. Returns the length written,
// which is cut short when the buffer is too small.
size_t FormatDecimal(char* out, size_t outSize, long long value, int width = 0, char pad = ' ');

// Copies `text` into `out`, cut to fit and always terminated; returns the length.
size_t CopyText(char* out, size_t outSize, const char* text);

}  // namespace quillo
