#include "paste_programs.h"

#include <cstring>

#include "dbcs.h"

namespace quillo {
namespace {

char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameProgramName(const char* a, size_t aLength, const char* b, size_t bLength) noexcept {
  if (aLength != bLength) return false;
  size_t i = 0;
  while (i < aLength) {
    if (text::IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < aLength) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
      continue;
    }
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    ++i;
  }
  return true;
}

const char* ProgramFileName(const char* path) noexcept {
  const char* name = path;
  for (const char* p = path; *p != '\0'; p = text::Next(p)) {
    if (text::CharLen(p) == 1 && (*p == '\\' || *p == '/' || *p == ':')) name = p + 1;
  }
  return name;
}

int32_t ChoosePasteMethod(const PasteProgram* list, size_t count, const char* programPath,
                          int32_t pasteCmd) noexcept {
  // PasteCmd keeps its own meaning: a value other than its three presses no
  // keys, and never stands for one of the methods only the list offers.
  if (pasteCmd < kPasteCtrlV || pasteCmd > kPasteCtrlY) pasteCmd = -1;
  if (programPath == nullptr || list == nullptr) return pasteCmd;
  const char* name = ProgramFileName(programPath);
  const size_t nameLength = std::strlen(name);
  if (count > kMaxPastePrograms) count = kMaxPastePrograms;
  for (size_t i = 0; i < count; ++i) {
    const PasteProgram& entry = list[i];
    const size_t length = strnlen(entry.program, sizeof entry.program);
    if (length == 0 || length == sizeof entry.program) continue;  // empty, or not terminated: damaged
    if (!SameProgramName(entry.program, length, name, nameLength)) continue;
    const int32_t method = entry.method;  // read once: the block may change meanwhile
    return (method >= 0 && method < kPasteMethodCount) ? method : pasteCmd;
  }
  return pasteCmd;
}

}  // namespace quillo
