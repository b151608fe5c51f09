// Reads the names of the DLLs a PE file imports, from the file's bytes.
#pragma once

#include <string>
#include <vector>

namespace quillo::wine {

// False when the bytes are not a well-formed 32-bit PE image.
bool ReadPeImports(const std::vector<unsigned char>& file, std::vector<std::string>& dlls);

}  // namespace quillo::wine
