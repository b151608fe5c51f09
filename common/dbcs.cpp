#include "dbcs.h"

#include <cstring>

namespace quillo::text {

size_t SpaceLen(const char* p) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (c == ' ' || c == '\t') return 1;
  if (c == 0x81 && static_cast<unsigned char>(p[1]) == 0x40 && IsLeadByte(c)) return 2;
  return 0;
}

const char* SkipSpace(const char* p) {
  for (size_t n; (n = SpaceLen(p)) != 0;) p += n;
  return p;
}

size_t Trim(char* s) {
  const char* start = SkipSpace(s);
  // Walk forward by characters, remembering where the last non-space one ends:
  // scanning backwards could mistake a trail byte for a space.
  const char* end = start;
  for (const char* p = start; *p != '\0';) {
    const size_t sp = SpaceLen(p);
    if (sp != 0) {
      p += sp;
    } else {
      p = Next(p);
      end = p;
    }
  }
  const size_t len = static_cast<size_t>(end - start);
  if (start != s) std::memmove(s, start, len);
  s[len] = '\0';
  return len;
}

const char* FindChar(const char* s, char c) {
  for (const char* p = s; *p != '\0'; p = Next(p)) {
    if (*p == c && CharLen(p) == 1) return p;
  }
  return nullptr;
}

}  // namespace quillo::text
