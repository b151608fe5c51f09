// The lead-byte test of the running system: follows the user's ANSI code page.
#include <windows.h>

#include "dbcs.h"

namespace quillo::text {
bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
}  // namespace quillo::text
