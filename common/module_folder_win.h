#pragma once

#include <windows.h>

#include <string>

namespace quillo {

// Folder of a module's file, without a trailing backslash ("" on failure).
std::string ModuleFolder(HMODULE module);

inline bool IsLeadByteWin(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

}  // namespace quillo
