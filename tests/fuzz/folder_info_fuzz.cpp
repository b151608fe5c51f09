// Feeds arbitrary bytes to the folder-file reader, in code page 1252 or 932
// and in chunks of varying size. The lists must not depend on how the bytes
// arrive, every folder must fit its buffer, and what the writer makes of the
// lists must read back as the same lists with no line refused.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "code_page.h"
#include "folder_info.h"

using namespace quillo::dlgex;

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

bool SameList(const FolderList& a, const FolderList& b) {
  if (a.count != b.count) return false;
  for (size_t i = 0; i < a.count; ++i) {
    if (std::strcmp(a.paths[i], b.paths[i]) != 0) return false;
  }
  return true;
}

void CheckList(const FolderList& l) {
  Check(l.count <= kMaxFolders);
  for (size_t i = 0; i < l.count; ++i) {
    const size_t n = strnlen(l.paths[i], kFolderBytes);
    Check(n > 0 && n < kFolderBytes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t knob = data[0];
  ++data;
  --size;
  quillo::testing::SetCodePage((knob & 1) ? 932 : 1252);
  const size_t chunk = knob >> 1;

  static FolderLists whole, chunked, back;
  quillo::hook::MemorySource a(data, size);
  ReadFolderInfo(a, size, whole);
  quillo::hook::MemorySource b(data, size, chunk);
  ReadFolderInfo(b, size, chunked);
  Check(SameList(whole.history, chunked.history) && SameList(whole.shortcuts, chunked.shortcuts));
  Check(whole.lineTooLong == chunked.lineTooLong);
  CheckList(whole.history);
  CheckList(whole.shortcuts);

  std::vector<const char*> h, s;
  for (size_t i = 0; i < whole.history.count; ++i) h.push_back(whole.history.paths[i]);
  for (size_t i = 0; i < whole.shortcuts.count; ++i) s.push_back(whole.shortcuts.paths[i]);
  static char out[kMaxFileBytes];
  const size_t n = FormatFolderInfo("", h.data(), h.size(), s.data(), s.size(), out);
  Check(n <= kMaxFileBytes);
  quillo::hook::MemorySource c(out, n);
  ReadFolderInfo(c, n, back);
  Check(!back.lineTooLong);
  // The writer leaves out what the reader could not take back whole: lines over
  // the limit once written with the spaced prefix, and folders holding a line end.
  static FolderLists expected;
  expected = FolderLists{};
  const auto keep = [](const char* path, size_t prefix) {
    return prefix + std::strlen(path) <= kMaxLineText && std::strpbrk(path, "\r\n") == nullptr;
  };
  for (const char* p : h) if (keep(p, 10)) expected.history.Add(p, std::strlen(p));
  for (const char* p : s) if (keep(p, 9)) expected.shortcuts.Add(p, std::strlen(p));
  Check(SameList(expected.history, back.history) && SameList(expected.shortcuts, back.shortcuts));
  return 0;
}
