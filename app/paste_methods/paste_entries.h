// The stored form of the paste-method list, "name.exe=Method", and the
// checks of a program's name: the resident program's, which reads and writes
// the list and edits it on the options sheet. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "paste_programs.h"

namespace quillo {

// The method's name as the store and the options sheet write it:
// "Ctrl+V", "Shift+Insert", "Ctrl+Y", "Ctrl+Shift+V", "Type"; null for a value
// that is not a method.
const char* PasteMethodName(int32_t method) noexcept;
// The method named `name` (without regard to case), or -1.
int32_t PasteMethodFromName(const char* name, size_t length) noexcept;

// Why a program name or a stored entry is refused.
enum class PasteEntryProblem {
  kNone,
  kNoSeparator,    // no "=" between the program and its method
  kEmptyName,      // nothing before the "="
  kNameTooLong,    // kPasteProgramBytes - 1 bytes at most
  kNameIsPath,     // a folder or drive in the name: only the file name counts
  kBadCharacter,   // a character no file name has (control, quote, wildcard ...)
  kUnknownMethod,  // after the "=" none of the method names
};

// Whether `name` (`length` bytes) can be a program on the list: an executable's
// file name, as Windows allows it, without its folder.
PasteEntryProblem CheckPasteProgramName(const char* name, size_t length) noexcept;

// A stored entry "program=Method" (the last "=" separates, as a file name may
// hold one) into `out`. Leading and trailing blanks of both parts are dropped.
PasteEntryProblem ParsePasteEntry(const char* text, size_t length, PasteProgram& out) noexcept;
// The entry as it is stored; false when `out` (`size` bytes) is too small or
// the record is not one ParsePasteEntry would take back.
bool FormatPasteEntry(const PasteProgram& entry, char* out, size_t size) noexcept;

// The list a store without one starts with: the system's console window
// (conhost.exe) and Wine's (wineconsole.exe) take no paste keys at all as a
// line is typed, but every character.
size_t DefaultPastePrograms(PasteProgram* out, size_t size) noexcept;

}  // namespace quillo
