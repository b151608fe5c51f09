// What the library leaves behind when it leaves a process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "process_state.h"
#include "wine_support.h"

namespace {

using quillo::hook::State;
using quillo::wine::MessageBoxWatcher;

// DllMain's detach runs this with the loader lock held: a parsed menu that the
// host already destroyed must neither show a box nor wait for anything, and
// everything is released all the same.
TEST(HookProcessDetach, MenuTheHostDestroyed_ReleasedWithoutAMessageBox) {
  quillo::hook::ProcessState& state = State();
  HMENU keptMenu = state.rootMenu;
  HANDLE keptHeap = state.heap;
  MessageBoxWatcher::Instance().Take();

  HMENU gone = CreatePopupMenu();
  ASSERT_NE(gone, nullptr);
  ASSERT_TRUE(DestroyMenu(gone));
  state.rootMenu = gone;
  state.heap = HeapCreate(0, 8192, 0);
  ASSERT_NE(state.heap, nullptr);

  const DWORD start = GetTickCount();
  quillo::hook::ReleaseProcessState();
  const DWORD took = GetTickCount() - start;
  EXPECT_EQ(state.rootMenu, nullptr);
  EXPECT_EQ(state.heap, nullptr);
  state.rootMenu = keptMenu;
  state.heap = keptHeap;

  // A box would have been dismissed by the watcher (after it waited for it).
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>());
  EXPECT_LT(took, 1000u) << "the release waited for something";
}

// At process exit the other threads died wherever they were, maybe inside
// the heap or the menu code with its lock held: nothing is released then (the
// system takes it all back), while an unload from a living process releases.
TEST(HookProcessDetach, ProcessEnding_NothingReleased_UnloadReleasesAll) {
  quillo::hook::ProcessState& state = State();
  HMENU keptMenu = state.rootMenu;
  HANDLE keptHeap = state.heap;
  MessageBoxWatcher::Instance().Take();

  HMENU menu = CreatePopupMenu();
  ASSERT_NE(menu, nullptr);
  HANDLE heap = HeapCreate(0, 8192, 0);
  ASSERT_NE(heap, nullptr);
  state.rootMenu = menu;
  state.heap = heap;

  EXPECT_FALSE(quillo::hook::DetachFromProcess(true));
  EXPECT_EQ(state.rootMenu, menu);
  EXPECT_EQ(state.heap, heap);
  EXPECT_TRUE(IsMenu(menu));

  EXPECT_TRUE(quillo::hook::DetachFromProcess(false));
  EXPECT_EQ(state.rootMenu, nullptr);
  EXPECT_EQ(state.heap, nullptr);
  EXPECT_FALSE(IsMenu(menu));
  state.rootMenu = keptMenu;
  state.heap = keptHeap;
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>());
}

}  // namespace
