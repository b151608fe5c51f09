// The history editor's slot operations and what OK writes back.
#include "history_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillo::history_editor {
namespace {

using Texts = std::vector<std::string>;

Texts All(const HistorySlots& s) {
  Texts out;
  for (int i = 0; i < s.count(); ++i) out.push_back(s.text(i));
  return out;
}

TEST(HistorySlotsAdd, EmptyOnTopAndOldestFallsOffWhenFull) {
  HistorySlots s({"a", "b"}, 3);
  s.Add();
  EXPECT_EQ(All(s), Texts({"", "a", "b"}));
  EXPECT_TRUE(s.IsEmptySlot(0));
  s.Add();
  EXPECT_EQ(All(s), Texts({"", "", "a"}));
  // Add then OK without typing leaves the history as it was.
  HistorySlots empty({}, 50);
  empty.Add();
  EXPECT_EQ(empty.count(), 1);
  EXPECT_EQ(empty.Compacted(), Texts());
  // More entries than the capacity are not taken.
  EXPECT_EQ(HistorySlots({"1", "2", "3"}, 2).count(), 2);
}

TEST(HistorySlotsDelete, SelectionAfterwards) {
  struct Row {
    Texts before;
    int selected;
    Texts after;
    int selection;
  } rows[] = {
      {{"a", "b", "c"}, 2, {"a", "b"}, 1},  // the last of three: the new last row
      {{"a", "b", "c"}, 0, {"b", "c"}, 0},  // the same row number
      {{"a", "b", "c"}, 1, {"a", "c"}, 1},
      {{"a"}, 0, {}, -1},                   // the only row: no selection
      {{"a", "b"}, -1, {"a", "b"}, -1},     // nothing selected: nothing happens
      {{"a", "b"}, 2, {"a", "b"}, -1},
  };
  for (const auto& r : rows) {
    HistorySlots s(r.before, 100);
    EXPECT_EQ(s.Delete(r.selected), r.selection) << r.selected;
    EXPECT_EQ(All(s), r.after) << r.selected;
  }
}

TEST(HistorySlotsMove, UpAndDownSwapNeighboursButNotPastTheEnds) {
  struct Row {
    bool up;
    int selected;
    Texts after;
    int selection;
  } rows[] = {
      {true, 1, {"b", "a", "c"}, 0}, {true, 0, {"a", "b", "c"}, 0},   {true, -1, {"a", "b", "c"}, -1},
      {false, 1, {"a", "c", "b"}, 2}, {false, 2, {"a", "b", "c"}, 2}, {false, -1, {"a", "b", "c"}, -1},
  };
  for (const auto& r : rows) {
    HistorySlots s({"a", "b", "c"}, 100);
    EXPECT_EQ(r.up ? s.Up(r.selected) : s.Down(r.selected), r.selection) << r.up << r.selected;
    EXPECT_EQ(All(s), r.after) << r.up << r.selected;
  }
}

TEST(HistorySlotsWriteBack, GapsClosedAndCapturesKeptOnTop) {
  HistorySlots s({"a", "b", "c"}, 5);
  s.Add();
  ASSERT_TRUE(s.Set(2, ""));  // "b" edited away
  EXPECT_FALSE(s.Set(9, "x"));
  EXPECT_EQ(s.Compacted(), Texts({"a", "c"}));
  EXPECT_EQ(MergeWriteBack({}, s, 5), Texts({"a", "c"}));
  // Copied while the editor was open: on top, and the oldest edited entries
  // fall off when the store is full.
  EXPECT_EQ(MergeWriteBack({"new2", "new1"}, s, 5), Texts({"new2", "new1", "a", "c"}));
  EXPECT_EQ(MergeWriteBack({"new2", "new1"}, s, 3), Texts({"new2", "new1", "a"}));
  EXPECT_EQ(MergeWriteBack({"n4", "n3", "n2", "n1"}, s, 3), Texts({"n4", "n3", "n2"}));
}

}  // namespace
}  // namespace quillo::history_editor
