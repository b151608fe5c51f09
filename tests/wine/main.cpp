// Entry of the Wine test program. Run as `quillo_wine_tests --child NAME ...`
// it acts as the second process of a cross-process test instead.
#include <gtest/gtest.h>

#include "shared_block_win.h"
#include "wine_support.h"

int main(int argc, char** argv) {
  // Copies of this program that stand in for other programs come first: they
  // must not touch the block of a resident program that is running.
  if (const int editor = quillo::wine::StandInEditor(); editor >= 0) return editor;
  if (const int companion = quillo::wine::StandInCompanion(); companion >= 0) return companion;
  // The tests read and write the session's shared block directly, as the
  // resident program does: it must be there, with its first contents.
  const bool child = argc >= 3 && std::string(argv[1]) == "--child";
  if (quillo::CreateSharedBlock() == quillo::SharedBlockMade::kReused && !child) quillo::ResetSharedBlock();
  if (child) return quillo::wine::DispatchChild(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  if (!quillo::wine::RunsInExpectedCodePage()) return 1;
  quillo::wine::MessageBoxWatcher::Instance().Start();
  const int result = RUN_ALL_TESTS();
  quillo::wine::MessageBoxWatcher::Instance().Stop();
  return result;
}
