#include "folder_entry.h"

#include <cstring>

#include "dbcs.h"

namespace quillo::dlgex {

void FormatEntryLabel(size_t position, const char* folder, char* out) noexcept {
  out[0] = '&';
  out[1] = static_cast<char>('0' + (position + 1) % 10);
  out[2] = ' ';
  size_t n = 3, taken = 0;
  for (const char* p = folder; *p != '\0';) {
    const size_t c = text::CharLen(p);
    if (taken + c > kFolderBytes - 1) break;
    if (c == 1 && *p == '&') out[n++] = '&';
    std::memcpy(out + n, p, c);
    n += c;
    taken += c;
    p += c;
  }
  out[n] = '\0';
}

bool FolderOfEntryLabel(const char* label, char* out) noexcept {
  if (std::strlen(label) <= 3) return false;
  size_t n = 0;
  for (const char* p = label + 3; *p != '\0';) {
    const size_t c = text::CharLen(p);
    if (n + c > kFolderBytes - 1) return false;
    std::memcpy(out + n, p, c);
    n += c;
    // "&&" stands for one "&"; a lone "&" (a label made elsewhere) stays as it is.
    p += (c == 1 && p[0] == '&' && p[1] == '&') ? 2 : c;
  }
  out[n] = '\0';
  return true;
}

namespace {

bool IsSeparator(const char* p) noexcept { return text::CharLen(p) == 1 && (*p == '\\' || *p == '/'); }

// Passes over one component of a share's name; null when it is empty.
const char* PastComponent(const char* p) noexcept {
  const char* start = p;
  while (*p != '\0' && !IsSeparator(p)) p = text::Next(p);
  return p == start ? nullptr : p;
}

}  // namespace

bool IsFullyQualifiedFolder(const char* path) noexcept {
  const char c = path[0];
  if (((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':') return IsSeparator(path + 2);
  if (!IsSeparator(path) || !IsSeparator(path + 1)) return false;
  const char* server = PastComponent(path + 2);
  if (server == nullptr || !IsSeparator(server)) return false;
  return PastComponent(server + 1) != nullptr;
}

}  // namespace quillo::dlgex
