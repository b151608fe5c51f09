// Replaces libstdc++'s verbose terminate handler in the two libraries. The
// default one prints a demangled type name, which links the whole demangler
// (about 40 KB) into every process we are loaded into; nothing in a library
// may let an exception escape, so a terminate there only needs to end quietly.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
