// Character conversions of a selected text: case (upper, lower, capital
// words, capital sentences) and, in code page 932, character width and kana.
// The tables of code page 932 and 1252 are our own, so the conversion works
// the same in the native tests as on Windows; other single-byte code pages
// hand in a case table of their own.
#pragma once

#include <cstddef>

namespace quillo::hook {

// Conversion kinds, as the tags [VU] [VL] [VS] [VD] [VH] [VK] [VT] [VLW] [VLS]
// pass them to the resident program and back.
enum ConvMode : int {
  kConvUpper = 1,
  kConvLower = 2,
  kConvHalfWidth = 3,      // full-width to half-width, voiced kana split into letter and mark
  kConvFullWidth = 4,      // half-width to full-width, letter and voiced mark joined
  kConvHiragana = 5,       // katakana to hiragana
  kConvKatakana = 6,       // hiragana to katakana
  kConvFullWidthKana = 7,  // only half-width katakana to full-width
  kConvCapitalWords = 10,
  kConvCapitalSentences = 11,
};

bool IsConvMode(int mode) noexcept;

// Upper and lower case of every single byte of a code page (identity where a
// byte has no other case, and for lead bytes).
struct CaseTable {
  unsigned char upper[256];
  unsigned char lower[256];
};

// Code page 932 (ASCII letters only as single bytes) and code page 1252.
const CaseTable& AsciiCaseTable() noexcept;
const CaseTable& CaseTable1252() noexcept;

struct ConvRules {
  // 932 enables the double-byte letters, the width and the kana modes; any
  // other value leaves modes 3 to 7 without effect.
  int codePage = 1252;
  const CaseTable* singleByte = nullptr;  // null: AsciiCaseTable()
};

// The block a conversion is written into: twice the text and a terminator is
// the most any mode needs (mode 4 turns every byte into two).
inline size_t ConvertedTextBytes(size_t length) noexcept { return 2 * length + 2; }

// Converts `text` (`length` bytes, no terminator needed) into `out`. Never
// writes past `outSize`; stops before a character that does not fit, so the
// result is always whole characters and always terminated (outSize > 0).
// Returns false when the output was cut or the mode is unknown (then `out`
// holds a copy of as much of the text as fits). `*written` gets the length.
bool ConvertText(int mode, const char* text, size_t length, char* out, size_t outSize, const ConvRules& rules,
                 size_t* written = nullptr) noexcept;

}  // namespace quillo::hook
