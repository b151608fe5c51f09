#include "folder_info.h"

#include <cstring>

#include "dbcs.h"
#include "path_text.h"

namespace quillo::dlgex {

namespace {

constexpr char kHistoryHeader[] = "; Folder History";
constexpr char kShortcutHeader[] = "; Folder Shortcut";
constexpr char kHistoryKey[] = "DirHist";
constexpr char kShortcutKey[] = "DirReg";
constexpr char kHistoryPrefix[] = "DirHist | ";
constexpr char kShortcutPrefix[] = "DirReg | ";

bool IsLead(unsigned char c) { return text::IsLeadByte(c); }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// White space of a line as the menu files see it: the shared scanner's spaces
// and a CR that was not right before the LF, vertical tab or form feed.
size_t BlankLen(const char* p) {
  switch (*p) {
    case '\r': case '\n': case '\v': case '\f':
      return 1;
    default:
      return text::SpaceLen(p);
  }
}

// Trims [s, s+len) in place by characters, walking forward: scanning back from
// the end could take a trail byte for a space. Returns the start; `len` becomes
// the trimmed length. `s` must be NUL-terminated at s+len.
char* Trim(char* s, size_t& len) {
  char* start = s;
  for (size_t n; (n = BlankLen(start)) != 0;) start += n;
  char* end = start;
  for (char* p = start; *p != '\0';) {
    const size_t n = BlankLen(p);
    if (n != 0) {
      p += n;
    } else {
      p += text::CharLen(p);
      end = p;
    }
  }
  *end = '\0';
  len = static_cast<size_t>(end - start);
  return start;
}

void ClassifyLine(char* line, FolderLists& out) {
  size_t len = std::strlen(line);
  line = Trim(line, len);
  if (len == 0 || line[0] == ';' || line[0] == '=') return;
  char* bar = const_cast<char*>(text::FindChar(line, '|'));
  if (bar == nullptr) return;
  *bar = '\0';
  size_t keyLen = static_cast<size_t>(bar - line);
  const char* key = Trim(line, keyLen);
  size_t pathLen = std::strlen(bar + 1);
  const char* path = Trim(bar + 1, pathLen);
  if (pathLen == 0) return;
  if (SameFolder(key, kHistoryKey)) {
    out.history.Add(path, pathLen);
  } else if (SameFolder(key, kShortcutKey)) {
    out.shortcuts.Add(path, pathLen);
  }
}

class Writer {
 public:
  explicit Writer(char* out) : out_(out) {}
  void Put(const char* s) { Put(s, std::strlen(s)); }
  void Put(const char* s, size_t n) {
    if (n > kMaxFileBytes - length_) n = kMaxFileBytes - length_;  // cannot happen; keeps the bound local
    std::memcpy(out_ + length_, s, n);
    length_ += n;
  }
  void EndLine() { Put("\r\n", 2); }
  // One "prefix folder" line, unless the reader would refuse it or read
  // nothing from it; says whether it was written.
  bool PutFolderLine(const char* prefix, const char* folder) {
    const size_t p = std::strlen(prefix);
    const size_t n = std::strlen(folder);
    if (n == 0 || p + n > kMaxLineText) return false;
    if (std::strpbrk(folder, "\r\n") != nullptr) return false;
    char copy[kMaxLineText + 1];
    std::memcpy(copy, folder, n + 1);
    size_t trimmed = n;
    if (Trim(copy, trimmed), trimmed == 0) return false;
    Put(prefix, p);
    Put(folder, n);
    EndLine();
    return true;
  }
  size_t length() const { return length_; }

 private:
  char* out_;
  size_t length_ = 0;
};

}  // namespace

bool FolderList::Add(const char* path, size_t length) noexcept {
  if (count == kMaxFolders || length >= kFolderBytes) return false;
  std::memcpy(paths[count], path, length);
  paths[count][length] = '\0';
  ++count;
  return true;
}

bool SameFolder(const char* a, const char* b) noexcept {
  while (*a != '\0' && *b != '\0') {
    const size_t n = text::CharLen(a);
    if (n != text::CharLen(b)) return false;
    if (n == 1) {
      if (FoldAscii(*a) != FoldAscii(*b)) return false;
    } else if (a[0] != b[0] || a[1] != b[1]) {
      return false;
    }
    a += n;
    b += n;
  }
  return *a == *b;
}

void ReadFolderInfo(hook::ByteSource& source, uint64_t fileSize, FolderLists& out) noexcept {
  out = FolderLists{};
  hook::LineReader reader(source, fileSize, hook::OverlongLine::kSkip);
  char line[hook::LineReader::kLineBufferSize];
  for (;;) {
    const hook::LineStatus status = reader.Next();
    if (status == hook::LineStatus::kEnd) break;
    if (status == hook::LineStatus::kTooLong) {
      out.lineTooLong = true;
      continue;
    }
    std::memcpy(line, reader.Line(), reader.Length() + 1);
    ClassifyLine(line, out);
  }
}

size_t FormatFolderInfo(const char* newFolder, const char* const* history, size_t historyCount,
                        const char* const* shortcuts, size_t shortcutCount, char* out) noexcept {
  Writer w(out);
  w.Put(kHistoryHeader);
  w.EndLine();
  size_t written = 0;
  const bool haveNew = newFolder != nullptr && newFolder[0] != '\0';
  if (haveNew && w.PutFolderLine(kHistoryPrefix, newFolder)) ++written;
  for (size_t i = 0; i < historyCount && written < kMaxFolders; ++i) {
    if (haveNew && SameFolder(history[i], newFolder)) continue;
    if (w.PutFolderLine(kHistoryPrefix, history[i])) ++written;
  }
  w.EndLine();
  w.Put(kShortcutHeader);
  w.EndLine();
  written = 0;
  for (size_t i = 0; i < shortcutCount && written < kMaxFolders; ++i) {
    if (w.PutFolderLine(kShortcutPrefix, shortcuts[i])) ++written;
  }
  return w.length();
}

void FolderOfFile(const char* path, char* out) noexcept {
  const size_t n = std::strlen(path);
  const long cut = LastBackslash(path, IsLead);
  size_t keep = n;
  if (cut >= 0) keep = (cut > 0 && path[cut - 1] == ':') ? static_cast<size_t>(cut) + 1 : static_cast<size_t>(cut);
  if (keep >= kFolderBytes) keep = kFolderBytes - 1;
  // Never end inside a double-byte character when the bound cut the text.
  size_t safe = 0;
  while (safe < keep) {
    const size_t c = text::CharLen(path + safe);
    if (safe + c > keep) break;
    safe += c;
  }
  std::memcpy(out, path, safe);
  out[safe] = '\0';
}

void ProgramFileName(const char* modulePath, char* out) noexcept {
  const long cut = LastBackslash(modulePath, IsLead);
  const char* name = modulePath + cut + 1;
  // Room for the name without its extension, ".txt" and the NUL.
  const size_t room = kFolderBytes - 5;
  size_t n = 0;
  const char* dot = nullptr;
  for (const char* p = name; *p != '\0'; p = text::Next(p)) {
    if (*p == '.' && text::CharLen(p) == 1) dot = p;
  }
  const size_t stem = dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name);
  for (const char* p = name; static_cast<size_t>(p - name) < stem;) {
    const size_t c = text::CharLen(p);
    if (n + c > room || static_cast<size_t>(p - name) + c > stem) break;
    if (c == 1) {
      out[n] = FoldAscii(*p);
    } else {
      out[n] = p[0];
      out[n + 1] = p[1];
    }
    n += c;
    p += c;
  }
  if (n != 0 && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  std::memcpy(out + n, ".txt", 5);
}

}  // namespace quillo::dlgex
