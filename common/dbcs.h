// The one double-byte-aware text scanner of all three deliverables. A lead byte
// and its trail byte are never split, and a trail byte (which in Shift-JIS may be
// 0x5C '\' or 0x7C '|') is never taken for a structure character.
#pragma once

#include <cstddef>

namespace quillo::text {

// Platform seam: on Windows the system's answer for the user's ANSI code page
// (dbcs_win.cpp); in native tests the code page the test chose.
bool IsLeadByte(unsigned char c);

// Bytes of the character at p: 2 for a lead byte followed by a non-NUL byte, 1
// otherwise (a lead byte dangling at the end counts as one), 0 at the terminator.
inline size_t CharLen(const char* p) {
  if (*p == '\0') return 0;
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
}
inline const char* Next(const char* p) { return p + CharLen(p); }

// Bytes of white space at p: 1 for space or tab, 2 for the ideographic space
// (0x81 0x40 in code page 932), 0 for anything else.
size_t SpaceLen(const char* p);
const char* SkipSpace(const char* p);

// Removes leading and trailing white space in place; returns the new length.
size_t Trim(char* s);

// First occurrence of the single-byte character c that is not a trail byte, or null.
const char* FindChar(const char* s, char c);

}  // namespace quillo::text
