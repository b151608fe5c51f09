// Entry of the program that drives the library's Win32 side directly: the
// library's code is linked in, and this program stands in for the process the
// library would be loaded into (its resources, its heap).
#include <gtest/gtest.h>

#include "process_state.h"
#include "shared_block_win.h"
#include "wine_support.h"

int main(int argc, char** argv) {
  quillo::hook::ProcessState& state = quillo::hook::State();
  state.instance = GetModuleHandleA(nullptr);
  state.heap = HeapCreate(0, 8192, 0);
  state.passingOnSlot = TlsAlloc();
  const bool child = argc >= 3 && std::string(argv[1]) == "--child";
  // The library's code reads the session's shared block: make it, fresh.
  if (quillo::CreateSharedBlock() == quillo::SharedBlockMade::kReused && !child) quillo::ResetSharedBlock();
  if (child) return quillo::wine::DispatchChild(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  if (!quillo::wine::RunsInExpectedCodePage()) return 1;
  quillo::wine::MessageBoxWatcher::Instance().Start();
  const int result = RUN_ALL_TESTS();
  quillo::wine::MessageBoxWatcher::Instance().Stop();
  return result;
}
