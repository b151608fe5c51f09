// The paste method of each program: which keys paste into it, or whether the
// text is typed into it as characters. The list is kept by the resident
// program and read by the libraries out of the shared block, so its record
// has one fixed size in both flavors. What every program needs is here (the
// record, and the lookup of the method for a program); the stored entries'
// grammar is the resident program's (paste_methods/paste_entries.h).
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo {

// The first three are PasteCmd's own values, so that a program not on the
// list and one listed with the same keys are pasted into alike.
enum PasteMethod : int32_t {
  kPasteCtrlV = 0,
  kPasteShiftInsert = 1,
  kPasteCtrlY = 2,
  kPasteCtrlShiftV = 3,
  kPasteType = 4,  // the text typed as characters, no clipboard keys
};
constexpr int32_t kPasteMethodCount = 5;

// An executable's file name, terminator included: long enough for any name a
// user meets, short enough that the whole list stays a few pages.
constexpr size_t kPasteProgramBytes = 60;
constexpr size_t kMaxPastePrograms = 64;

struct PasteProgram {
  char program[kPasteProgramBytes];  // file name only, e.g. "conhost.exe"
  int32_t method;                    // a PasteMethod
};
static_assert(sizeof(PasteProgram) == 64, "paste-method records are 64 bytes in shared memory");

// Two program names alike without regard to the case of single-byte letters
// (never a double-byte character's trail byte, which may look like a letter).
bool SameProgramName(const char* a, size_t aLength, const char* b, size_t bLength) noexcept;

// The file-name part of a path: after its last backslash, slash or colon.
const char* ProgramFileName(const char* path) noexcept;

// The method for the program at `programPath` (a full path or a file name):
// its entry's method among the first `count` of `list`; when it has none,
// the entry of `hostName` (the console host's name for a console window,
// which the system reports as the program running in it); else `pasteCmd`
// (-1 when that is none of its three values: no keys). Every name is read
// within its record.
int32_t ChoosePasteMethod(const PasteProgram* list, size_t count, const char* programPath, int32_t pasteCmd,
                          const char* hostName = nullptr) noexcept;

// The list in shared memory is rewritten by the resident program while
// hooks in other programs read it. The writer makes `version` odd for the
// time of the change (BeginPasteListWrite, then EndPasteListWrite with what
// it returned); a reader copies the count and the entries and keeps the copy
// only when the version was even and the same before and after.
uint32_t BeginPasteListWrite(volatile uint32_t* version) noexcept;
void EndPasteListWrite(volatile uint32_t* version, uint32_t odd) noexcept;
// Copies the list into `out` (kMaxPastePrograms records); the number of
// entries, or -1 when it kept changing.
int ReadPasteList(const volatile uint32_t* version, const volatile int32_t* count, const PasteProgram* entries,
                  PasteProgram* out) noexcept;

}  // namespace quillo
