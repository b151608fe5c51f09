// Byte scans for the hot paths of the hook library: the menu-file reader and
// the stack menu's pass over the history.
//
// The C library's memchr and strnlen are what a platform makes of them: on
// Windows the library loaded into the program, and the one Wine supplies
// walks byte by byte (about 1 byte a cycle, 15 times slower than these on the
// largest menu file). These look at 16 bytes a step with SSE2 where the
// compiler may use it (every 64-bit build), and at a machine word a step
// otherwise. They never read a byte outside [p, p + n): the tail is done a
// byte at a time, so no scan can touch a page past its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillo::text {

namespace detail {

// A word with every byte set to b.
template <typename Word>
inline Word Spread(unsigned char b) {
  return static_cast<Word>(static_cast<Word>(~Word{0}) / 0xFF) * b;
}

// Whether some byte of w is zero (the classic test: no false positives when
// the answer is "none", which is all the loops below rely on).
template <typename Word>
inline bool HasZeroByte(Word w) {
  return static_cast<Word>((w - Spread<Word>(1)) & ~w & Spread<Word>(0x80)) != 0;
}

}  // namespace detail

// FindByte a word a step: what every build without SSE2 (the 32-bit
// libraries) uses, with their 4-byte words. Named apart, and by word, so that
// tests run each kind wherever they run.
template <typename Word = uintptr_t>
inline const char* FindByteByWords(const char* p, size_t n, char c) {
  const char* end = p + n;
  const Word pattern = detail::Spread<Word>(static_cast<unsigned char>(c));
  for (; static_cast<size_t>(end - p) >= sizeof(Word); p += sizeof(Word)) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    if (detail::HasZeroByte<Word>(static_cast<Word>(w ^ pattern))) break;  // the byte is in this word
  }
  for (; p < end; ++p) {
    if (*p == c) return p;
  }
  return nullptr;
}

// The first byte c in [p, p + n), or null.
inline const char* FindByte(const char* p, size_t n, char c) {
#if defined(__SSE2__)
  const char* end = p + n;
  const __m128i needle = _mm_set1_epi8(c);
  for (; end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, needle));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
  for (; p < end; ++p) {
    if (*p == c) return p;
  }
  return nullptr;
#else
  return FindByteByWords<>(p, n, c);
#endif
}

// Bytes before the first NUL in [p, p + n), or n when there is none.
inline size_t BoundedLength(const char* p, size_t n) {
  const char* nul = FindByte(p, n, '\0');
  return nul != nullptr ? static_cast<size_t>(nul - p) : n;
}

// Copies the text at src up to its NUL, at most `max` bytes, into dst, and
// terminates it there (dst holds max + 1 bytes); returns the length. Each word
// is tested for the NUL after it was read and before it is stored, so the
// length always describes the copy, even while another process rewrites src.
template <typename Word = uintptr_t>
inline size_t CopyUntilNulByWords(char* dst, const char* src, size_t max) {
  size_t i = 0;
  for (; max - i >= sizeof(Word); i += sizeof(Word)) {
    Word w;
    std::memcpy(&w, src + i, sizeof w);
    // The word is a value from here on: the compiler may not read src again
    // for the store below (src is memory another process writes).
    __asm__ volatile("" : "+r"(w));
    if (detail::HasZeroByte<Word>(w)) break;
    std::memcpy(dst + i, &w, sizeof w);
  }
  // The word holding the NUL (or the tail) is taken a byte at a time, each
  // byte read once.
  for (; i < max; ++i) {
    unsigned b = static_cast<unsigned char>(src[i]);
    __asm__ volatile("" : "+r"(b));
    if (b == 0) break;
    dst[i] = static_cast<char>(b);
  }
  dst[i] = '\0';
  return i;
}

inline size_t CopyUntilNul(char* dst, const char* src, size_t max) { return CopyUntilNulByWords<>(dst, src, max); }

}  // namespace quillo::text
