// Reads the names of the DLLs a PE file imports, from the file's bytes.
#pragma once

#include <string>
#include <vector>

namespace quillo::wine {

// False when the bytes are not a well-formed PE32 or PE32+ image; `bits`, when
// given, receives 32 or 64.
bool ReadPeImports(const std::vector<unsigned char>& file, std::vector<std::string>& dlls, int* bits = nullptr);

}  // namespace quillo::wine
