// The history store's operations on a block of bytes and the .hst format.
#include "history_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quillo::history {
namespace {

// A store of `capacity` blocks, filled with a pattern so that any byte the
// code should not touch is noticed.
struct Store {
  explicit Store(int32_t capacity) : bytes(static_cast<size_t>(capacity) * kBlockSize, '\x7f'), cap(capacity) {}
  StoreView view() { return {bytes.data(), cap}; }
  std::string entry(int32_t i) const { return std::string(EntryText(bytes.data(), i), EntryLength(bytes.data(), i)); }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < count; ++i) out.push_back(entry(i));
    return out;
  }
  void add(const std::string& s) { AddEntry(view(), count, s.c_str()); }
  std::vector<char> bytes;
  int32_t cap;
  int32_t count = 0;
};

using Texts = std::vector<std::string>;

TEST(HistoryAdd, NewestFirstAndRepeatOfTopStoredOnce) {
  Store s(5);
  s.add("A");
  s.add("A");
  EXPECT_EQ(s.entries(), Texts({"A"}));
  s.add("B");
  s.add("A");  // equal to entry 1, not entry 0: stored again
  EXPECT_EQ(s.entries(), Texts({"A", "B", "A"}));
  EXPECT_EQ(AddEntry(s.view(), s.count, "A"), AddResult::kRepeat);
  // The comparison is case-sensitive.
  EXPECT_EQ(AddEntry(s.view(), s.count, "a"), AddResult::kAdded);
  EXPECT_EQ(s.entries(), Texts({"a", "A", "B", "A"}));
}

TEST(HistoryAdd, FullStoreDropsOldestAndKeepsCount) {
  Store s(3);
  for (const char* t : {"one", "two", "three", "four"}) s.add(t);
  EXPECT_EQ(s.count, 3);
  EXPECT_EQ(s.entries(), Texts({"four", "three", "two"}));
  s.add("five");
  EXPECT_EQ(s.entries(), Texts({"five", "four", "three"}));
}

TEST(HistoryAdd, CapacityOfOneReplacesTheEntry) {
  Store s(1);
  s.add("first");
  s.add("second");
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(s.entries(), Texts({"second"}));
}

TEST(HistoryAdd, LongestEntryFitsAndOneMoreByteIsRefused) {
  Store s(2);
  const std::string longest(kMaxEntryBytes, 'x');
  s.add(longest);
  s.add("short");
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(s.entry(1), longest);
  EXPECT_EQ(s.bytes[kBlockSize + kMaxEntryBytes], '\0');
  const std::string tooLong(kBlockSize, 'y');
  EXPECT_EQ(AddEntry(s.view(), s.count, tooLong.c_str()), AddResult::kTooLong);
  EXPECT_EQ(s.entries(), Texts({"short", longest}));
}

TEST(HistoryAdd, MovesOnlyLiveBytesAndLeavesTheRestOfEachBlock) {
  Store s(3);
  s.add("abc");
  s.add("de");
  // Block 1 now holds "abc\0" and the fill pattern behind it is untouched.
  EXPECT_EQ(std::memcmp(&s.bytes[kBlockSize], "abc\0", 4), 0);
  EXPECT_EQ(s.bytes[kBlockSize + 4], '\x7f');
  EXPECT_EQ(s.bytes[2 * kBlockSize], '\x7f');  // block 2 never written
}

TEST(HistoryAdd, DoubleByteTextsAreStoredByteForByte) {
  Store s(3);
  // 表示 in Shift-JIS: the trail byte of 表 is 0x5C, a backslash in ASCII.
  const std::string sjis = "\x95\x5c\x8e\xa6";
  s.add(sjis);
  s.add("x");
  EXPECT_EQ(s.entry(1), sjis);
  EXPECT_EQ(AddEntry(s.view(), s.count, "x"), AddResult::kRepeat);
}

TEST(HistoryAdd, BlockWithoutTerminatorIsReadAsItsFirst20479Bytes) {
  Store s(2);
  std::memset(s.bytes.data(), 'z', kBlockSize);  // no terminator anywhere in block 0
  s.count = 1;
  s.add("new");
  EXPECT_EQ(s.entry(1), std::string(kMaxEntryBytes, 'z'));
}

TEST(HistoryCopy, ShrinkKeepsNewestAndGrowKeepsAll) {
  Store big(50);
  for (int i = 0; i < 30; ++i) big.add("entry " + std::to_string(i));
  Store small(10);
  small.count = CopyEntries(small.view(), big.bytes.data(), big.count);
  ASSERT_EQ(small.count, 10);
  EXPECT_EQ(small.entry(0), "entry 29");
  EXPECT_EQ(small.entry(9), "entry 20");

  Store grown(50);
  grown.count = CopyEntries(grown.view(), small.bytes.data(), small.count);
  EXPECT_EQ(grown.entries(), small.entries());
  for (int i = 0; i < 40; ++i) grown.add("more " + std::to_string(i));
  EXPECT_EQ(grown.count, 50);
}

// ---- .hst files ----

std::vector<uint8_t> Le32(int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
          static_cast<uint8_t>(u >> 24)};
}

std::vector<uint8_t> HstFile(int32_t count, const std::vector<std::string>& texts) {
  std::vector<uint8_t> f = Le32(count);
  for (const auto& t : texts) {
    auto len = Le32(static_cast<int32_t>(t.size()));
    f.insert(f.end(), len.begin(), len.end());
    f.insert(f.end(), t.begin(), t.end());
  }
  return f;
}

std::vector<uint8_t> Image(Store& s) {
  std::vector<uint8_t> out(HistoryFileSize(s.bytes.data(), s.count));
  EXPECT_TRUE(WriteHistoryImage(s.bytes.data(), s.count, out.data(), out.size()));
  return out;
}

TEST(HistoryFile, WrittenNewestFirstWithLengthsAndNoTerminators) {
  Store s(5);
  s.add("ab");
  s.add("");
  s.add("xyz");
  EXPECT_EQ(Image(s), HstFile(3, {"xyz", "", "ab"}));
}

TEST(HistoryFile, EmptyHistoryIsFourZeroBytes) {
  Store s(5);
  EXPECT_EQ(Image(s), std::vector<uint8_t>({0, 0, 0, 0}));
}

TEST(HistoryFile, RoundTripKeepsEveryByteOfALongestEntry) {
  Store s(3);
  std::string longest(kMaxEntryBytes, 'q');
  longest[0] = '\x81';  // starts with a lead byte: the store does not care
  s.add(longest);
  s.add("tail");
  const auto file = Image(s);
  EXPECT_EQ(file.size(), 4u + 4 + 4 + 4 + kMaxEntryBytes);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 12, file.begin() + 16), Le32(kMaxEntryBytes));

  FileEntry entries[kMaxFileCount];
  int32_t count = -1;
  ASSERT_EQ(ParseHistoryFile(file.data(), file.size(), 3, entries, count), FileError::kNone);
  Store back(3);
  back.count = LoadEntries(back.view(), entries, count);
  EXPECT_EQ(back.entries(), s.entries());
}

TEST(HistoryFile, CountOfZeroLoadsNothingWithoutError) {
  const auto file = HstFile(0, {});
  FileEntry entries[kMaxFileCount];
  int32_t count = -1;
  EXPECT_EQ(ParseHistoryFile(file.data(), file.size(), 50, entries, count), FileError::kNone);
  EXPECT_EQ(count, 0);
}

TEST(HistoryFile, BadFilesAreRefusedBeforeAnythingIsLoaded) {
  std::vector<uint8_t> lengthTooBig = Le32(1);
  auto l = Le32(static_cast<int32_t>(kBlockSize));
  lengthTooBig.insert(lengthTooBig.end(), l.begin(), l.end());
  lengthTooBig.resize(lengthTooBig.size() + kBlockSize, 'x');

  std::vector<uint8_t> negativeLength = Le32(1);
  auto n = Le32(-1);
  negativeLength.insert(negativeLength.end(), n.begin(), n.end());

  auto endsEarly = HstFile(2, {"one", "two"});
  endsEarly.pop_back();
  auto missingEntry = HstFile(3, {"one", "two"});
  auto lengthCut = HstFile(1, {"abc"});
  lengthCut.resize(6);

  struct Row {
    const char* what;
    std::vector<uint8_t> file;
    int32_t capacity;
    FileError expected;
  } rows[] = {
      {"empty file", {}, 50, FileError::kTruncated},
      {"three bytes", {1, 0, 0}, 50, FileError::kTruncated},
      {"negative count", Le32(-1), 50, FileError::kBadCount},
      {"count 101", HstFile(101, {}), 100, FileError::kBadCount},
      {"entry missing beyond the capacity", HstFile(4, {"a", "b", "c"}), 2, FileError::kTruncated},
      {"entry of 20480 bytes", lengthTooBig, 50, FileError::kBadLength},
      {"negative length", negativeLength, 50, FileError::kBadLength},
      {"last entry cut short", endsEarly, 50, FileError::kTruncated},
      {"entry missing", missingEntry, 50, FileError::kTruncated},
      {"length field cut", lengthCut, 50, FileError::kTruncated},
  };
  for (const auto& r : rows) {
    FileEntry entries[kMaxFileCount];
    int32_t count = 7;
    EXPECT_EQ(ParseHistoryFile(r.file.data(), r.file.size(), r.capacity, entries, count), r.expected)
        << r.what;
    EXPECT_EQ(count, 0) << r.what;
  }
}

TEST(HistoryFile, CountAtTheLimitsIsAccepted) {
  const auto hundred = HstFile(100, std::vector<std::string>(100, "x"));
  FileEntry entries[kMaxFileCount];
  int32_t count = 0;
  EXPECT_EQ(ParseHistoryFile(hundred.data(), hundred.size(), 100, entries, count), FileError::kNone);
  EXPECT_EQ(count, 100);
  // Trailing bytes after the declared entries are ignored.
  auto trailing = HstFile(1, {"a"});
  trailing.push_back(0x55);
  EXPECT_EQ(ParseHistoryFile(trailing.data(), trailing.size(), 5, entries, count), FileError::kNone);
  EXPECT_EQ(count, 1);
}

// A file saved by a larger history (or before the history number was
// lowered) loads its newest entries, the first in the file, up to the
// capacity; the rest of it is still checked.
TEST(HistoryFile, MoreEntriesThanTheCapacity_LoadsTheNewestThatFit) {
  const auto file = HstFile(5, {"newest", "second", "third", "fourth", "oldest"});
  FileEntry entries[kMaxFileCount];
  int32_t count = -1;
  ASSERT_EQ(ParseHistoryFile(file.data(), file.size(), 3, entries, count), FileError::kNone);
  ASSERT_EQ(count, 3);
  Store back(3);
  back.count = LoadEntries(back.view(), entries, count);
  EXPECT_EQ(back.entries(), (std::vector<std::string>{"newest", "second", "third"}));

  const auto full = HstFile(100, std::vector<std::string>(100, "x"));
  ASSERT_EQ(ParseHistoryFile(full.data(), full.size(), 1, entries, count), FileError::kNone);
  EXPECT_EQ(count, 1);
}

TEST(HistoryFile, WriterRefusesABufferTooSmall) {
  Store s(2);
  s.add("hello");
  std::vector<uint8_t> out(HistoryFileSize(s.bytes.data(), s.count) - 1);
  EXPECT_FALSE(WriteHistoryImage(s.bytes.data(), s.count, out.data(), out.size()));
}

}  // namespace
}  // namespace quillo::history
