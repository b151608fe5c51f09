// The history store as the resident program runs it: a named mapping over a
// hidden file in the program folder, read by other processes, saved to files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "history_store.h"
#include "history_store_win.h"
#include "quillo_hook.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

using history::kBlockSize;
using history::kMaxEntryBytes;
using Bytes = std::vector<unsigned char>;
using Texts = std::vector<std::string>;

void PutLe32(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
}

Bytes HstFile(int32_t count, const Texts& texts) {
  Bytes b;
  PutLe32(b, count);
  for (const auto& t : texts) {
    PutLe32(b, static_cast<int32_t>(t.size()));
    b.insert(b.end(), t.begin(), t.end());
  }
  return b;
}

// What another process sees: open the mapping by name, read g_nNumClipHistory entries.
Texts ReadStoreFromOutside() {
  Texts out;
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName);
  if (m == nullptr) return out;
  if (const char* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0))) {
    for (int i = 0; i < g_nNumClipHistory; ++i) out.emplace_back(view + i * g_dwBlockSize);
    UnmapViewOfFile(view);
  }
  CloseHandle(m);
  return out;
}

class HistoryStoreWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    MessageBoxWatcher::Instance().Take();
  }
  void TearDown() override {
    store_.CloseHistoryStore();
    g_nNumClipHistory = 0;
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts()) << "unexpected message boxes";
  }
  // Runs `action`, which must show exactly the message `text` and return `expected`.
  template <typename F>
  void ExpectMessage(const char* text, F action) {
    action();
    ASSERT_TRUE(MessageBoxWatcher::Instance().WaitForBoxes(1));
    EXPECT_EQ(MessageBoxWatcher::Instance().Take(), Texts({text}));
  }
  ProgramFolder folder_;
  HistoryStore store_{GetModuleHandleA(nullptr), folder_.path()};
};

QUILLO_CHILD(ReadHistoryMapping) {
  Texts seen = ReadStoreFromOutside();
  if (seen.size() != args.size()) return 10 + static_cast<int>(seen.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i] != args[i]) return 40 + static_cast<int>(i);
  }
  return g_dwBlockSize == kBlockSize ? 0 : 60;
}

// The entries of the history file that the two flavors hand each other
// (scripts/cross-flavor-history): Shift-JIS with 0x5C trail bytes, line breaks,
// and an entry that fills its block.
Texts CrossFlavorSample() {
  return {"plain", "\x83\x5c\x83\x74\x83\x67 \x95\x5c",  // ソフト 表
          "two\r\nlines\r\n", std::string(kMaxEntryBytes, 'x'), "newest"};
}

// Writes the sample, oldest first, through the resident program's own store.
QUILLO_CHILD(WriteSampleHistory) {
  if (args.size() != 1) return 2;
  ProgramFolder folder;
  HistoryStore store(GetModuleHandleA(nullptr), folder.path());
  if (!store.CreateHistoryStore(100)) return 3;
  const Texts sample = CrossFlavorSample();
  for (auto it = sample.rbegin(); it != sample.rend(); ++it) store.AddHistoryEntry(it->c_str());
  const bool written = store.WriteHistoryFile(args[0].c_str());
  store.CloseHistoryStore();
  return written ? 0 : 4;
}

// Reads a history file into a fresh store and compares it with the sample.
QUILLO_CHILD(CheckSampleHistory) {
  if (args.size() != 1) return 2;
  ProgramFolder folder;
  HistoryStore store(GetModuleHandleA(nullptr), folder.path());
  if (!store.CreateHistoryStore(100)) return 3;
  if (!store.ReadHistoryFile(args[0].c_str())) return 4;
  const Texts seen = ReadStoreFromOutside();
  store.CloseHistoryStore();
  const Texts sample = CrossFlavorSample();
  if (seen.size() != sample.size()) return 10 + static_cast<int>(seen.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i] != sample[i]) return 40 + static_cast<int>(i);
  }
  return 0;
}

TEST_F(HistoryStoreWine, SampleHistoryFileReadsBackInTheFlavorThatWroteIt) {
  const std::string path = folder_.file("sample.hst");
  ASSERT_EQ(RunChild("WriteSampleHistory", "\"" + path + "\""), 0);
  EXPECT_EQ(RunChild("CheckSampleHistory", "\"" + path + "\""), 0);
}

TEST_F(HistoryStoreWine, AnotherProcessReadsTheEntriesByName) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  EXPECT_EQ(g_dwBlockSize, kBlockSize);
  store_.AddHistoryEntry("first");
  store_.AddHistoryEntry("second");
  store_.AddHistoryEntry("second");
  store_.AddHistoryEntry("third");
  EXPECT_EQ(g_nNumClipHistory, 3);
  EXPECT_EQ(RunChild("ReadHistoryMapping", "third second first"), 0);
}

TEST_F(HistoryStoreWine, TemporaryFileIsHiddenAndSizedForTheCapacity) {
  ASSERT_TRUE(store_.CreateHistoryStore(10));
  const DWORD attrs = GetFileAttributesA(folder_.file("ClipHist.tmp").c_str());
  ASSERT_NE(attrs, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attrs & FILE_ATTRIBUTE_HIDDEN);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(folder_.file("ClipHist.tmp").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 10 * kBlockSize);
}

TEST_F(HistoryStoreWine, SecondStoreUnderTheSameNameFailsSilently) {
  ASSERT_TRUE(store_.CreateHistoryStore(5));
  ProgramFolder other;
  HistoryStore second(GetModuleHandleA(nullptr), other.path());
  EXPECT_FALSE(second.CreateHistoryStore(5));
  EXPECT_FALSE(second.HasMapping());
}

TEST_F(HistoryStoreWine, UncreatableTemporaryFileShowsMessage2040AndFails) {
  // A folder where the temporary file should go: the file cannot be created.
  ASSERT_TRUE(CreateDirectoryA(folder_.file("ClipHist.tmp").c_str(), nullptr));
  ExpectMessage("Failed to create a temporary file for management clipboard history.",
                [&] { EXPECT_FALSE(store_.CreateHistoryStore(50)); });
  EXPECT_FALSE(store_.HasMapping());
  // Nothing else was made under the mapping's name either.
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName), nullptr);
}

TEST_F(HistoryStoreWine, FullStoreDropsOldestAndTooLongTextIsNotStored) {
  ASSERT_TRUE(store_.CreateHistoryStore(3));
  for (const char* t : {"a", "b", "c", "d"}) store_.AddHistoryEntry(t);
  store_.AddHistoryEntry(std::string(kBlockSize, 'x').c_str());
  EXPECT_EQ(ReadStoreFromOutside(), Texts({"d", "c", "b"}));
}

TEST_F(HistoryStoreWine, FileRoundTripIsByteForByte) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  const std::string longest(kMaxEntryBytes, 'L');
  const std::string sjis = "\x95\x5c\x8e\xa6 \x83\x7c";  // trail bytes 0x5C and 0x7C
  store_.AddHistoryEntry(longest.c_str());
  store_.AddHistoryEntry("two\r\nlines");
  store_.AddHistoryEntry(sjis.c_str());
  const std::string path = folder_.file("saved.hst");
  ASSERT_TRUE(store_.WriteHistoryFile(path.c_str()));
  EXPECT_EQ(ReadFileBytes(path), HstFile(3, {sjis, "two\r\nlines", longest}));

  store_.ClearHistory();
  EXPECT_EQ(g_nNumClipHistory, 0);
  ASSERT_TRUE(store_.ReadHistoryFile(path.c_str()));
  EXPECT_EQ(ReadStoreFromOutside(), Texts({sjis, "two\r\nlines", longest}));
}

TEST_F(HistoryStoreWine, DefaultFileLivesInTheProgramFolder) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  EXPECT_FALSE(store_.ReadHistoryFile(nullptr));  // missing at a first start: silent
  store_.AddHistoryEntry("kept");
  ASSERT_TRUE(store_.WriteHistoryFile(nullptr));
  EXPECT_EQ(ReadFileBytes(folder_.file("Default.hst")), HstFile(1, {"kept"}));
  store_.DeleteDefaultHistoryFile();
  EXPECT_EQ(GetFileAttributesA(folder_.file("Default.hst").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HistoryStoreWine, EmptyHistoryIsSavedAsFourZeroBytesAndLoadsAsEmpty) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  const std::string path = folder_.file("empty.hst");
  ASSERT_TRUE(store_.WriteHistoryFile(path.c_str()));
  EXPECT_EQ(ReadFileBytes(path), Bytes({0, 0, 0, 0}));
  store_.AddHistoryEntry("something");
  ASSERT_TRUE(store_.ReadHistoryFile(path.c_str()));
  EXPECT_EQ(g_nNumClipHistory, 0);
}

TEST_F(HistoryStoreWine, MissingChosenFileShowsMessage2012) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  ExpectMessage("Failed to open a file.", [&] {
    EXPECT_FALSE(store_.ReadHistoryFile(folder_.file("nowhere.hst").c_str()));
  });
}

TEST_F(HistoryStoreWine, CorruptFilesShowMessage2013AndKeepTheHistory) {
  ASSERT_TRUE(store_.CreateHistoryStore(10));
  store_.AddHistoryEntry("older");
  store_.AddHistoryEntry("newer");
  Bytes tooLong;
  PutLe32(tooLong, 1);
  PutLe32(tooLong, static_cast<int32_t>(kBlockSize));
  tooLong.resize(tooLong.size() + kBlockSize, 'x');
  Bytes cut = HstFile(2, {"abc", "def"});
  cut.pop_back();
  // A file of more entries than the store holds is good, but not when any of
  // its entries, those beyond the store's size included, is broken.
  Bytes longButCut = HstFile(12, Texts(12, "e"));
  longButCut.pop_back();
  const Bytes files[] = {HstFile(101, {}), HstFile(-5, {}), tooLong, cut, longButCut};
  for (const auto& f : files) {
    const std::string path = folder_.file("bad.hst");
    ASSERT_TRUE(WriteFileBytes(path, f));
    ExpectMessage("The file which has clipboard history is incorrect.",
                  [&] { EXPECT_FALSE(store_.ReadHistoryFile(path.c_str())); });
    EXPECT_EQ(ReadStoreFromOutside(), Texts({"newer", "older"}));
  }
}

// A history saved by a larger store (or before the history number was
// lowered) is read as far as it fits: its newest entries, without a word.
TEST_F(HistoryStoreWine, FileWithMoreEntriesThanTheStoreLoadsTheNewest) {
  ASSERT_TRUE(store_.CreateHistoryStore(3));
  store_.AddHistoryEntry("replaced");
  const std::string path = folder_.file("larger.hst");
  ASSERT_TRUE(WriteFileBytes(path, HstFile(5, {"newest", "second", "third", "fourth", "oldest"})));
  ASSERT_TRUE(store_.ReadHistoryFile(path.c_str()));
  EXPECT_EQ(g_nNumClipHistory, 3);
  EXPECT_EQ(ReadStoreFromOutside(), Texts({"newest", "second", "third"}));
}

TEST_F(HistoryStoreWine, ResizeKeepsTheNewestEntries) {
  ASSERT_TRUE(store_.CreateHistoryStore(50));
  for (int i = 0; i < 30; ++i) store_.AddHistoryEntry(("entry " + std::to_string(i)).c_str());
  ASSERT_TRUE(store_.ResizeHistory(10));
  EXPECT_EQ(store_.Capacity(), 10);
  Texts expected;
  for (int i = 29; i >= 20; --i) expected.push_back("entry " + std::to_string(i));
  EXPECT_EQ(ReadStoreFromOutside(), expected);

  ASSERT_TRUE(store_.ResizeHistory(50));
  EXPECT_EQ(ReadStoreFromOutside(), expected);
  for (int i = 0; i < 45; ++i) store_.AddHistoryEntry(("more " + std::to_string(i)).c_str());
  EXPECT_EQ(g_nNumClipHistory, 50);
  EXPECT_FALSE(store_.ResizeHistory(0));
  EXPECT_FALSE(store_.ResizeHistory(101));
  EXPECT_EQ(store_.Capacity(), 50);
}

// ---- A resize while another process holds the store open ----

constexpr char kHeldEvent[] = "QuilloTestHistoryHeld";
constexpr char kReleaseEvent[] = "QuilloTestHistoryRelease";

// Holds the store the way a menu or the scratch dialog of another program
// does (the mapping and a view of it) until the parent says so.
QUILLO_CHILD(HoldHistoryMapping) {
  if (!args.empty()) return 1;
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kReleaseEvent);
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
  if (release == nullptr || held == nullptr) return 2;
  HANDLE m = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kHistoryMappingName);
  if (m == nullptr) return 3;
  void* view = MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0);
  if (view == nullptr) return 4;
  SetEvent(held);
  const DWORD waited = WaitForSingleObject(release, 60000);
  UnmapViewOfFile(view);
  CloseHandle(m);
  CloseHandle(held);
  CloseHandle(release);
  return waited == WAIT_OBJECT_0 ? 0 : 5;
}

class HeldStore {
 public:
  HeldStore()
      : held_(CreateEventA(nullptr, TRUE, FALSE, kHeldEvent)), release_(CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent)) {
    child_ = StartChild("HoldHistoryMapping");
    ok_ = WaitForSingleObject(held_, 20000) == WAIT_OBJECT_0;
  }
  ~HeldStore() { Release(); CloseHandle(held_); CloseHandle(release_); }
  bool ok() const { return ok_; }
  // True when the child let go and ended as it should.
  bool Release() {
    if (released_) return true;
    released_ = true;
    SetEvent(release_);
    DWORD code = 1;
    return child_.Wait(20000, &code) && code == 0;
  }

 private:
  HANDLE held_;
  HANDLE release_;
  Process child_;
  bool ok_ = false;
  bool released_ = false;
};

Texts Entries(int from, int to) {  // newest first: "e<to>" .. "e<from>"
  Texts out;
  for (int i = to; i >= from; --i) out.push_back("e" + std::to_string(i));
  return out;
}

TEST_F(HistoryStoreWine, HeldByAnotherProcess_AGrowKeepsEveryEntryAndTakesEffectOnceReleased) {
  ASSERT_TRUE(store_.CreateHistoryStore(10));
  for (int i = 0; i < 10; ++i) store_.AddHistoryEntry(("e" + std::to_string(i)).c_str());
  HeldStore holder;
  ASSERT_TRUE(holder.ok());
  ASSERT_TRUE(store_.ResizeHistory(50));
  EXPECT_TRUE(store_.HasMapping());
  EXPECT_EQ(ReadStoreFromOutside(), Entries(0, 9));
  // The old store still takes new texts, dropping its oldest.
  store_.AddHistoryEntry("e10");
  EXPECT_EQ(ReadStoreFromOutside(), Entries(1, 10));
  ASSERT_TRUE(holder.Release());
  // Full again: the larger store is made now, with every entry.
  for (int i = 11; i < 15; ++i) store_.AddHistoryEntry(("e" + std::to_string(i)).c_str());
  EXPECT_EQ(ReadStoreFromOutside(), Entries(1, 14));
  EXPECT_EQ(store_.Capacity(), 50);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(folder_.file("ClipHist.tmp").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 50 * kBlockSize);
}

TEST_F(HistoryStoreWine, HeldByAnotherProcess_AShrinkKeepsTheNewestAtOnce) {
  ASSERT_TRUE(store_.CreateHistoryStore(10));
  for (int i = 0; i < 10; ++i) store_.AddHistoryEntry(("e" + std::to_string(i)).c_str());
  HeldStore holder;
  ASSERT_TRUE(holder.ok());
  ASSERT_TRUE(store_.ResizeHistory(4));
  EXPECT_EQ(store_.Capacity(), 4);
  EXPECT_EQ(ReadStoreFromOutside(), Entries(6, 9));
  store_.AddHistoryEntry("e10");
  EXPECT_EQ(ReadStoreFromOutside(), Entries(7, 10));
  ASSERT_TRUE(holder.Release());
  ASSERT_TRUE(store_.ResizeHistory(6));
  EXPECT_EQ(ReadStoreFromOutside(), Entries(7, 10));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(folder_.file("ClipHist.tmp").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 6 * kBlockSize);
}

}  // namespace
}  // namespace quillo::wine
