#include "path_text.h"

namespace quillo {

long LastBackslash(const char* path, bool (*isLead)(unsigned char)) {
  long last = -1;
  if (path == nullptr) return last;
  for (long i = 0; path[i] != '\0';) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (isLead != nullptr && isLead(c) && path[i + 1] != '\0') {
      i += 2;  // the trail byte is part of the character, whatever its value
      continue;
    }
    if (c == '\\') last = i;
    ++i;
  }
  return last;
}

}  // namespace quillo
