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

// The editor's OK keeps what was captured while it was open, whatever else
// rearranged the store meanwhile: the log holds the captures themselves.
TEST(CaptureLog, NotesCapturesNewestFirst_ForgetsBeyondTheLargestStore) {
  CaptureLog log;
  EXPECT_EQ(log.NewestFirst(), Texts());
  log.Note("x");
  log.Note("y");
  EXPECT_EQ(log.NewestFirst(), Texts({"y", "x"}));
  for (int i = 0; i < kMaxSlots + 5; ++i) log.Note("t" + std::to_string(i));
  ASSERT_EQ(log.count(), kMaxSlots);
  const Texts newest = log.NewestFirst();
  EXPECT_EQ(newest.front(), "t" + std::to_string(kMaxSlots + 4));
  EXPECT_EQ(newest.back(), "t5");
}

TEST(CaptureLog, CopiesMadeMeanwhile_KeptOnceAboveTheEdit) {
  // The editor opened on A B C; the user copied X, then chose C from the
  // stack menu with "move chosen item to top" on: the store reads C X A B,
  // but only X was captured.
  HistorySlots edited({"A", "B", "C"}, 10);
  CaptureLog log;
  log.Note("X");
  EXPECT_EQ(MergeWriteBack(log.NewestFirst(), edited, 10), Texts({"X", "A", "B", "C"}));
  // Read History... replaced the store after Y was copied: Y stays, and the
  // file's entries, which nobody copied, are not taken for copies.
  CaptureLog before;
  before.Note("Y");
  EXPECT_EQ(MergeWriteBack(before.NewestFirst(), edited, 10), Texts({"Y", "A", "B", "C"}));
  // A copy equal to the edited top entry is not stored twice in a row, as
  // capture itself never stores the newest entry twice.
  HistorySlots moved({"B", "A"}, 10);
  CaptureLog again;
  again.Note("B");
  EXPECT_EQ(MergeWriteBack(again.NewestFirst(), moved, 10), Texts({"B", "A"}));
  // Copies that are not neighbours stay as captured.
  CaptureLog apart;
  apart.Note("A");
  apart.Note("Z");
  EXPECT_EQ(MergeWriteBack(apart.NewestFirst(), moved, 10), Texts({"Z", "A", "B", "A"}));
  // Copy X, Clear History, copy X again: the store took X twice, but the
  // list gets it once, and the edited top that equals it is not repeated.
  CaptureLog twice;
  twice.Note("X");
  twice.Note("X");
  EXPECT_EQ(MergeWriteBack(twice.NewestFirst(), edited, 10), Texts({"X", "A", "B", "C"}));
  HistorySlots topX({"X", "A"}, 10);
  EXPECT_EQ(MergeWriteBack(twice.NewestFirst(), topX, 10), Texts({"X", "A"}));
  // Equal captures with another in between stay apart.
  CaptureLog between;
  between.Note("X");
  between.Note("Y");
  between.Note("X");
  EXPECT_EQ(MergeWriteBack(between.NewestFirst(), edited, 10), Texts({"X", "Y", "X", "A", "B", "C"}));
}

}  // namespace
}  // namespace quillo::history_editor
