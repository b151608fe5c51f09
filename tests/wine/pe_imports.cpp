#include "pe_imports.h"

#include <cstdint>
#include <cstring>

namespace quillo::wine {
namespace {

struct Reader {
  const std::vector<unsigned char>& b;
  bool ok = true;
  uint32_t u32(size_t off) {
    if (off + 4 > b.size()) { ok = false; return 0; }
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
  }
  uint16_t u16(size_t off) {
    if (off + 2 > b.size()) { ok = false; return 0; }
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
  }
};

}  // namespace

bool ReadPeImports(const std::vector<unsigned char>& file, std::vector<std::string>& dlls, int* bits) {
  dlls.clear();
  Reader r{file};
  if (r.u16(0) != 0x5A4D) return false;  // "MZ"
  const size_t pe = r.u32(0x3C);
  if (!r.ok || r.u32(pe) != 0x00004550) return false;  // "PE\0\0"
  const uint16_t sections = r.u16(pe + 6);
  const uint16_t optSize = r.u16(pe + 20);
  const size_t opt = pe + 24;
  // PE32 (32-bit) or PE32+ (64-bit): the data directories follow the
  // optional header's fixed part, which is 16 bytes longer in PE32+.
  const uint16_t magic = r.u16(opt);
  if (magic != 0x10B && magic != 0x20B) return false;
  if (bits != nullptr) *bits = magic == 0x20B ? 64 : 32;
  const size_t directories = opt + (magic == 0x20B ? 112 : 96);
  const uint32_t importRva = r.u32(directories + 8);  // data directory 1
  const size_t sect = opt + optSize;
  auto toOffset = [&](uint32_t rva) -> size_t {
    for (uint16_t i = 0; i < sections; ++i) {
      const size_t s = sect + i * 40u;
      const uint32_t va = r.u32(s + 12), vsize = r.u32(s + 8), raw = r.u32(s + 20), rawSize = r.u32(s + 16);
      const uint32_t span = vsize > rawSize ? vsize : rawSize;
      if (rva >= va && rva < va + span) return raw + (rva - va);
    }
    return SIZE_MAX;
  };
  if (!r.ok) return false;
  if (importRva == 0) return true;
  size_t desc = toOffset(importRva);
  for (int guard = 0; guard < 256 && desc != SIZE_MAX; ++guard, desc += 20) {
    const uint32_t nameRva = r.u32(desc + 12);
    if (!r.ok) return false;
    if (nameRva == 0) return true;  // the all-zero descriptor ends the table
    const size_t name = toOffset(nameRva);
    if (name == SIZE_MAX || name >= file.size()) return false;
    const void* end = std::memchr(&file[name], 0, file.size() - name);
    if (end == nullptr) return false;
    dlls.emplace_back(reinterpret_cast<const char*>(&file[name]));
  }
  return false;
}

}  // namespace quillo::wine
