#include "message_text.h"

#include <cstring>

namespace quillo {
namespace {

// Appends up to the room left, never splitting a double-byte character.
void Append(char* out, size_t outSize, size_t& used, const char* s, size_t n,
            bool (*isLead)(unsigned char)) {
  size_t i = 0;
  while (i < n && used + 1 < outSize) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t step = (isLead != nullptr && isLead(c) && i + 1 < n) ? 2 : 1;
    if (used + step >= outSize) break;
    std::memcpy(out + used, s + i, step);
    used += step;
    i += step;
  }
  out[used] = '\0';
}

}  // namespace

void BuildMessageText(const char* tmpl, const char* arg, const char* extraLine,
                      bool (*isLead)(unsigned char), char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  out[0] = '\0';
  if (tmpl == nullptr) return;
  size_t used = 0;
  const char* hole = std::strstr(tmpl, "%s");
  if (hole == nullptr) {
    Append(out, outSize, used, tmpl, std::strlen(tmpl), isLead);
  } else {
    Append(out, outSize, used, tmpl, static_cast<size_t>(hole - tmpl), isLead);
    if (arg != nullptr) Append(out, outSize, used, arg, std::strlen(arg), isLead);
    Append(out, outSize, used, hole + 2, std::strlen(hole + 2), isLead);
  }
  if (extraLine != nullptr) {
    Append(out, outSize, used, "\n", 1, isLead);
    Append(out, outSize, used, extraLine, std::strlen(extraLine), isLead);
  }
}

}  // namespace quillo
