// Finding the application's OPENFILENAME behind a file dialog's creation data.
// The data is the common-dialog library's private block, laid out differently
// by different systems; nothing documents it, so every pointer is checked
// before it is followed and every candidate is checked before it is taken.
#pragma once

#include <cstddef>

namespace quillo::dlgex {

// What the walk may ask of the platform. `readable` says whether [p, p+size)
// may be read; `isRecord` applies the record's own checks (its size, its
// owner window, its Flags) to a candidate that is not yet known to be readable.
struct RecordProbe {
  bool (*readable)(const void* p, size_t size, void* context);
  bool (*isRecord)(const void* candidate, void* context);
  void* context;
};

// The layouts known, tried in this order; the first whose candidate passes wins.
//   1. the data's first pointer is the record (Wine, and Windows 95);
//   2. the data's first pointer is a block whose second pointer is the record
//      (the NT family's own library).
// Null when no layout yields a record that passes.
const void* FindDialogRecord(const void* creationData, const RecordProbe& probe) noexcept;

}  // namespace quillo::dlgex
