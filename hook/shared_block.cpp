// The library's writers of the shared settings block that the resident
// program calls.
#include "quillo_hook.h"

#include <cstring>

#include "shared_block.h"

void SetCustomMenuSet(int index, const quillo::MenuFileSet* entry) {
  if (index < 0 || index >= quillo::kMenuFileSetCount || entry == nullptr) return;
  quillo::MenuFileSet& dst = g_CustomMenuSet[index];
  // The caller's path need not be terminated inside its 260 bytes: copy at most
  // 259 bytes so the shared entry always ends with a terminator. Hooks in other
  // processes may read the path meanwhile; at worst they see one half-copied path.
  const size_t len = strnlen(entry->path, sizeof(dst.path) - 1);
  std::memcpy(dst.path, entry->path, len);
  dst.path[len] = '\0';
  dst.trigger = entry->trigger;
  dst.key = entry->key;
  dst.modifiers = entry->modifiers;
}
