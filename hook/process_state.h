// State the hook library keeps separately in every process it is loaded into.
#pragma once

#include <windows.h>

namespace quillo::hook {

constexpr int kKeyStrokeBufferUnits = 514;
constexpr int kScratchTableSize = 100;

struct ProcessState {
  HINSTANCE instance = nullptr;
  HANDLE heap = nullptr;           // private heap for menu texts and delivery copies
  bool heapFailureReported = false;
  HMENU rootMenu = nullptr;        // root of the parsed custom menu, if any
  DWORD lastShiftRelease = 0;      // tick counts, 0 = none
  DWORD lastCtrlRelease = 0;
  bool titleClickPassThrough = false;
  bool trackingMenu = false;       // this process is tracking one of our menus
  // This process installed the hooks (the resident program, or the companion
  // of the other bitness): calls for other programs' windows arrive here too.
  bool installedHere = false;
  // Per thread: the event the hook procedures are passing on (hooks_win.cpp).
  DWORD passingOnSlot = TLS_OUT_OF_INDEXES;
  // A menu of ours, or the command chosen from it, is running (1 or 0). Two
  // threads of the host may each open one: set and cleared by interlocked calls.
  volatile LONG showingMenu = 0;
  int choiceMode = 1;              // +1 or -1: how the last menu choice was made
  int helpTopic = 0;               // F1 topic of the open library dialog, 0 = none
  SYSTEMTIME timeSnapshot = {};    // read by the date and time tags
  WORD keyStrokes[kKeyStrokeBufferUnits] = {};
  int scratchSelection[kScratchTableSize] = {};
};

// The one instance for this process.
ProcessState& State();

// The private heap, or null when it could not be created. The first caller that
// finds it missing reports message 2000 (never from inside DllMain, where a
// message box could deadlock on the loader lock).
HANDLE Heap();

// Releases what the process state holds (the parsed menu, the private heap)
// when the library leaves the process. Runs under the loader lock: it shows
// nothing and waits for nothing, whatever fails.
void ReleaseProcessState() noexcept;

// The library leaves the process: at its end (`processEnding`, DllMain's
// reserved pointer set) nothing is touched, as other threads may have died
// holding a lock the release would need; otherwise the state is released.
// True when it was.
bool DetachFromProcess(bool processEnding) noexcept;

}  // namespace quillo::hook
