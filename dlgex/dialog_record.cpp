#include "dialog_record.h"

namespace quillo::dlgex {

namespace {

// The pointer at `block[index]`, or null when that slot cannot be read.
const void* PointerAt(const void* block, size_t index, const RecordProbe& probe) {
  if (block == nullptr) return nullptr;
  const auto* slots = static_cast<const void* const*>(block);
  if (!probe.readable(slots, (index + 1) * sizeof(void*), probe.context)) return nullptr;
  return slots[index];
}

const void* Checked(const void* candidate, const RecordProbe& probe) {
  return candidate != nullptr && probe.isRecord(candidate, probe.context) ? candidate : nullptr;
}

}  // namespace

const void* FindDialogRecord(const void* creationData, const RecordProbe& probe) noexcept {
  const void* first = PointerAt(creationData, 0, probe);
  if (first == nullptr) return nullptr;
  if (const void* record = Checked(first, probe)) return record;
  return Checked(PointerAt(first, 1, probe), probe);
}

}  // namespace quillo::dlgex
