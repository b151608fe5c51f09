#include "paste_programs.h"

#include <atomic>
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

namespace {

// The method of the entry for the program `name`, or -1 when none names it.
int32_t ListedMethod(const PasteProgram* list, size_t count, const char* name) noexcept {
  const size_t nameLength = std::strlen(name);
  if (count > kMaxPastePrograms) count = kMaxPastePrograms;
  for (size_t i = 0; i < count; ++i) {
    const PasteProgram& entry = list[i];
    const size_t length = strnlen(entry.program, sizeof entry.program);
    if (length == 0 || length == sizeof entry.program) continue;  // empty, or not terminated: damaged
    if (!SameProgramName(entry.program, length, name, nameLength)) continue;
    const int32_t method = entry.method;  // read once
    return (method >= 0 && method < kPasteMethodCount) ? method : -2;
  }
  return -1;
}

}  // namespace

int32_t ChoosePasteMethod(const PasteProgram* list, size_t count, const char* programPath, int32_t pasteCmd,
                          const char* hostName) noexcept {
  // PasteCmd keeps its own meaning: a value other than its three presses no
  // keys, and never stands for one of the methods only the list offers.
  if (pasteCmd < kPasteCtrlV || pasteCmd > kPasteCtrlY) pasteCmd = -1;
  if (list == nullptr) return pasteCmd;
  int32_t method = programPath != nullptr ? ListedMethod(list, count, ProgramFileName(programPath)) : -1;
  if (method == -1 && hostName != nullptr) method = ListedMethod(list, count, hostName);
  return method >= 0 ? method : pasteCmd;
}

uint32_t BeginPasteListWrite(volatile uint32_t* version) noexcept {
  const uint32_t odd = *version | 1u;
  *version = odd;
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return odd;
}

void EndPasteListWrite(volatile uint32_t* version, uint32_t odd) noexcept {
  std::atomic_thread_fence(std::memory_order_seq_cst);
  *version = odd + 1u;
}

int ReadPasteList(const volatile uint32_t* version, const volatile int32_t* count, const PasteProgram* entries,
                  PasteProgram* out) noexcept {
  // A writer changes the list in a few microseconds; a reader that keeps
  // meeting one is told so and falls back, rather than spin inside a
  // program's input handling.
  for (int attempt = 0; attempt < 64; ++attempt) {
    const uint32_t before = *version;
    std::atomic_thread_fence(std::memory_order_acquire);
    if ((before & 1u) != 0) continue;
    int32_t n = *count;
    if (n < 0) n = 0;
    if (n > static_cast<int32_t>(kMaxPastePrograms)) n = static_cast<int32_t>(kMaxPastePrograms);
    // Byte by byte through a volatile pointer: the compiler may neither
    // merge this copy with the reads of the version nor assume the shared
    // bytes stay put.
    const volatile unsigned char* from = reinterpret_cast<const volatile unsigned char*>(entries);
    unsigned char* to = reinterpret_cast<unsigned char*>(out);
    for (size_t i = 0; i < static_cast<size_t>(n) * sizeof(PasteProgram); ++i) to[i] = from[i];
    std::atomic_thread_fence(std::memory_order_acquire);
    if (*version == before) return n;
  }
  return -1;
}

}  // namespace quillo
