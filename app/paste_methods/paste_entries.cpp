#include "paste_entries.h"

#include <cstring>

#include "dbcs.h"

namespace quillo {
namespace {

constexpr const char* kMethodNames[kPasteMethodCount] = {"Ctrl+V", "Shift+Insert", "Ctrl+Y", "Ctrl+Shift+V",
                                                         "Type"};

char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// The bounds of `text` without leading and trailing blanks. A blank is a
// single byte below 0x80, never a trail byte, so stepping back is safe here.
void Trim(const char*& begin, const char*& end) noexcept {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
}

}  // namespace

const char* PasteMethodName(int32_t method) noexcept {
  if (method < 0 || method >= kPasteMethodCount) return nullptr;
  return kMethodNames[method];
}

int32_t PasteMethodFromName(const char* name, size_t length) noexcept {
  for (int32_t m = 0; m < kPasteMethodCount; ++m) {
    const char* known = kMethodNames[m];
    if (std::strlen(known) != length) continue;
    size_t i = 0;
    while (i < length && LowerAscii(known[i]) == LowerAscii(name[i])) ++i;
    if (i == length) return m;
  }
  return -1;
}

PasteEntryProblem CheckPasteProgramName(const char* name, size_t length) noexcept {
  if (length == 0) return PasteEntryProblem::kEmptyName;
  if (length >= kPasteProgramBytes) return PasteEntryProblem::kNameTooLong;
  // Walked by characters: the trail byte of a Shift-JIS character may be a
  // backslash (0x5C) or a bar (0x7C) and is part of a valid name.
  size_t i = 0;
  while (i < length) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (text::IsLeadByte(c)) {
      // A lead byte with no trail byte after it is half a character.
      if (i + 1 >= length || name[i + 1] == '\0') return PasteEntryProblem::kBadCharacter;
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') return PasteEntryProblem::kNameIsPath;
    if (c < 0x20 || c == 0x7F || std::strchr("\"<>|*?", c) != nullptr) return PasteEntryProblem::kBadCharacter;
    ++i;
  }
  // "." and ".." name folders; a name ending in a dot or a blank is not one
  // Windows keeps.
  const char last = name[length - 1];
  if (last == '.' || last == ' ') return PasteEntryProblem::kBadCharacter;
  return PasteEntryProblem::kNone;
}

PasteEntryProblem ParsePasteEntry(const char* text, size_t length, PasteProgram& out) noexcept {
  // The last "=" that is a character of its own: a program's name may hold
  // one, a method's name never does.
  const char* separator = nullptr;
  for (size_t i = 0; i < length;) {
    if (text[i] == '\0') break;
    const size_t step = (text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length) ? 2 : 1;
    if (step == 1 && text[i] == '=') separator = text + i;
    i += step;
  }
  if (separator == nullptr) return PasteEntryProblem::kNoSeparator;
  const char* nameBegin = text;
  const char* nameEnd = separator;
  Trim(nameBegin, nameEnd);
  const char* methodBegin = separator + 1;
  const char* methodEnd = text + strnlen(text, length);
  Trim(methodBegin, methodEnd);
  const size_t nameLength = static_cast<size_t>(nameEnd - nameBegin);
  const PasteEntryProblem nameProblem = CheckPasteProgramName(nameBegin, nameLength);
  if (nameProblem != PasteEntryProblem::kNone) return nameProblem;
  const int32_t method = PasteMethodFromName(methodBegin, static_cast<size_t>(methodEnd - methodBegin));
  if (method < 0) return PasteEntryProblem::kUnknownMethod;
  std::memset(&out, 0, sizeof out);
  std::memcpy(out.program, nameBegin, nameLength);
  out.method = method;
  return PasteEntryProblem::kNone;
}

bool FormatPasteEntry(const PasteProgram& entry, char* out, size_t size) noexcept {
  if (size == 0) return false;
  out[0] = '\0';
  const size_t nameLength = strnlen(entry.program, sizeof entry.program);
  const char* method = PasteMethodName(entry.method);
  if (method == nullptr || CheckPasteProgramName(entry.program, nameLength) != PasteEntryProblem::kNone) {
    return false;
  }
  const size_t methodLength = std::strlen(method);
  if (nameLength + 1 + methodLength + 1 > size) return false;
  std::memcpy(out, entry.program, nameLength);
  out[nameLength] = '=';
  std::memcpy(out + nameLength + 1, method, methodLength + 1);
  return true;
}

size_t DefaultPastePrograms(PasteProgram* out, size_t size) noexcept {
  static constexpr const char* kConsoles[] = {"conhost.exe", "wineconsole.exe"};
  size_t n = 0;
  for (const char* console : kConsoles) {
    if (n == size) break;
    std::memset(&out[n], 0, sizeof out[n]);
    std::memcpy(out[n].program, console, std::strlen(console));
    out[n].method = kPasteType;
    ++n;
  }
  return n;
}

}  // namespace quillo
