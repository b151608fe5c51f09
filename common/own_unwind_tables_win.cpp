#include "own_unwind_tables_win.h"

#include <cstring>

// Only the DWARF unwinder keeps a table registry; SEH (64-bit) and SJLJ
// builds find their tables without one.
#if defined(__i386__) && defined(__GNUC__) && !defined(__SEH__) && !defined(__USING_SJLJ_EXCEPTIONS__)

extern "C" {
struct dwarf_eh_bases {
  void* tbase;
  void* dbase;
  void* func;
};
// libgcc's registry, linked in statically with the rest of the run-time.
const void* _Unwind_Find_FDE(void* pc, dwarf_eh_bases* bases);
void __register_frame_info(const void* begin, void* object);
void* __deregister_frame_info(const void* begin);
}

namespace quillo {
namespace {

// libgcc's "struct object" is six or seven pointers; it stays registered, and
// so in place, until the library leaves the process.
alignas(16) void* g_object[16];
const void* g_registered = nullptr;

// The unwind tables are the section ".eh_frame" (".eh_fram" once the
// section names are cut to eight bytes in a stripped image).
const void* UnwindTables(HMODULE module) noexcept {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (base == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (std::memcmp(section[i].Name, ".eh_fram", 8) == 0 && section[i].Misc.VirtualSize != 0) {
      return base + section[i].VirtualAddress;
    }
  }
  return nullptr;
}

}  // namespace

void AdoptOwnUnwindTables(HMODULE module) noexcept {
  if (g_registered != nullptr) return;
  // The start-up code hands the tables to the run-time DLL when the host has
  // it loaded, and to our own registry otherwise. The look-up below makes the
  // registry index every table of the library, under the loader lock, in each
  // process we enter: ask only when the tables can have gone elsewhere.
  if (GetModuleHandleA("libgcc_s_dw2-1.dll") == nullptr) return;
  // Every function of the library has its entry in the tables: when the
  // unwinder finds this one, the start-up code registered them with it.
  dwarf_eh_bases bases;
  if (_Unwind_Find_FDE(reinterpret_cast<void*>(&AdoptOwnUnwindTables), &bases) != nullptr) return;
  const void* tables = UnwindTables(module);
  if (tables == nullptr) return;
  __register_frame_info(tables, g_object);
  g_registered = tables;
}

void ReleaseOwnUnwindTables() noexcept {
  if (g_registered == nullptr) return;
  __deregister_frame_info(g_registered);
  g_registered = nullptr;
}

}  // namespace quillo

#else

namespace quillo {
void AdoptOwnUnwindTables(HMODULE) noexcept {}
void ReleaseOwnUnwindTables() noexcept {}
}  // namespace quillo

#endif
