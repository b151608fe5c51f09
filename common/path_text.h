// Path scanning that respects double-byte characters: in Shift-JIS the trail
// byte of a character may be 0x5C, which must never be taken for a backslash.
#pragma once

#include <cstddef>

namespace quillo {

// Offset of the last backslash of `path` that is not a trail byte, or -1.
long LastBackslash(const char* path, bool (*isLead)(unsigned char));

}  // namespace quillo
