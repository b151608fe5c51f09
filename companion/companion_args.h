// The companion's command line: "--owner <pid> --window <hwnd>", both in
// decimal, as the 64-bit resident program writes it. Read without the
// system's help so that every odd form a user or a script can type is tried
// natively.
#pragma once

#include <cstdint>
#include <string>

namespace quillo::companion {

// One companion per user session, whoever starts it.
constexpr char kCompanionMutex[] = "Local\\Quillo Companion";

// How the companion ends; the owner and the tests read these.
enum CompanionExit : int {
  kExitDone = 0,            // its owner ended or told it to
  kExitUsage = 2,           // not started by the owner (no or bad arguments)
  kExitAlreadyRunning = 3,  // another companion serves this session
  kExitNoOwner = 4,         // the owner process is gone, or the window is not its
  kExitNoHooks = 5,         // a hook could not be installed
  kExitNotHeard = 6,        // the owner's window took no message
  kExitNotReadyInTime = 7,  // ended by the owner: it never reported its hooks in
};

struct CompanionArgs {
  uint32_t ownerPid = 0;
  // A window handle as a number: handles of windows are 32-bit values in
  // both flavors, so a 64-bit owner's handle fits.
  uint32_t window = 0;
};

enum class ArgsResult {
  kOk,
  kEmpty,  // nothing at all: a user started us by hand
  kBad,    // something else than the two options, each once, with a number
};

// `commandLine` is the part after the program name (WinMain's lpCmdLine);
// null counts as empty. Options come in either order, separated by blanks or
// tabs; a number is 1 to 10 decimal digits, non-zero and at most 0xFFFFFFFF.
ArgsResult ParseCompanionArgs(const char* commandLine, CompanionArgs& out) noexcept;

// The arguments the owner passes, in the form ParseCompanionArgs reads.
std::string FormatCompanionArgs(const CompanionArgs& args);

}  // namespace quillo::companion
