// The macro file writer and reader, and the playback schedule.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "macros/macro_file.h"
#include "macros/macro_player.h"

namespace quillo::macros {
namespace {

// A file in memory: writes at a position, reads from a position, counts calls.
struct MemoryFile : MacroSink, MacroSource {
  std::vector<uint8_t> bytes;
  size_t at = 0;
  int writes = 0;
  int reads = 0;
  bool failWrites = false;
  // A disk that fills up: bytes beyond this size are not written, and the
  // write that reaches it fails after writing what fit. Bytes already in
  // the file can still be overwritten.
  size_t room = SIZE_MAX;
  bool Write(const void* data, uint32_t size) noexcept override {
    if (failWrites) return false;
    if (at + size > room) {
      const size_t fit = at < room ? room - at : 0;
      if (bytes.size() < at + fit) bytes.resize(at + fit);
      std::memcpy(bytes.data() + at, data, fit);
      at += fit;
      return false;
    }
    ++writes;
    if (bytes.size() < at + size) bytes.resize(at + size);
    std::memcpy(bytes.data() + at, data, size);
    at += size;
    return true;
  }
  bool SeekTo(uint32_t offset) noexcept override {
    at = offset;
    return true;
  }
  uint32_t Read(void* data, uint32_t size) noexcept override {
    ++reads;
    const size_t n = at < bytes.size() ? std::min<size_t>(size, bytes.size() - at) : 0;
    std::memcpy(data, bytes.data() + at, n);
    at += n;
    return static_cast<uint32_t>(n);
  }
};

EventRecord Key(uint32_t time, uint8_t vk, bool down) {
  EventRecord r{};
  r.kind = kEventKindKey;
  r.time = time;
  r.magic = kEventMagic;
  r.u.key.vk = vk;
  r.u.key.scan = static_cast<uint8_t>(vk + 1);
  r.a = down ? 1 : 0;
  return r;
}

EventRecord Mouse(uint32_t time, uint32_t flags, int32_t x, int32_t y) {
  EventRecord r{};
  r.kind = kEventKindMouse;
  r.time = time;
  r.magic = kEventMagic;
  r.u.mouseFlags = flags;
  r.a = x;
  r.b = y;
  return r;
}

MemoryFile Record(const std::vector<EventRecord>& records) {
  MemoryFile file;
  MacroWriter writer(file);
  EXPECT_TRUE(writer.Begin());
  for (const EventRecord& r : records) EXPECT_TRUE(writer.Append(r));
  EXPECT_TRUE(writer.Finish());
  return file;
}

std::vector<EventRecord> Numbered(int n) {
  std::vector<EventRecord> v;
  for (int i = 0; i < n; ++i) v.push_back(Key(1000 + 10 * i, static_cast<uint8_t>(0x41 + i % 26), i % 2 == 0));
  return v;
}

TEST(MacroFile, Header_IsSignatureVersionCountAndFirstStamp_LittleEndian) {
  const MemoryFile file = Record({Key(0x01020304, 0x41, true), Key(0x01020310, 0x41, false)});
  ASSERT_EQ(file.bytes.size(), 44u + 2 * 24);
  const uint8_t expected[44] = {'Q', 'u', 'i', 'l', 'l', 'o', ' ', 'M', 'a', 'c', 'r', 'o', ' ', 'F', 'i', 'l', 'e', 0,
                                0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   // padding
                                1,   0,   0,   0,     // version
                                2,   0,   0,   0,     // count
                                4,   3,   2,   1};    // start time
  EXPECT_EQ(0, std::memcmp(file.bytes.data(), expected, 44));
  // The records follow unchanged: kind, stamp, 1970, vk, scan, 0, pressed, extended.
  const uint8_t first[24] = {1, 0, 0, 0, 4, 3, 2, 1, 0xB2, 0x07, 0, 0, 0x41, 0x42, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(file.bytes.data() + 44, first, 24));
}

// How many times the writer writes and the reader reads for a count of records:
// one buffer of 100 records in both directions.
TEST(MacroFile, RecordsStreamThroughOneBufferOf100) {
  struct Row { int records; int writes; int recordReads; };
  const Row rows[] = {
      {0, 1, 0},    // the header alone
      {1, 2, 1},
      {100, 2, 1},  // written in one piece at the end, read without a second read
      {101, 3, 2},  // the 101st flushes the full buffer; read again after the 100th
      {250, 4, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.records);
    const std::vector<EventRecord> in = Numbered(row.records);
    MemoryFile file = Record(in);
    EXPECT_EQ(file.writes, row.writes);
    EXPECT_EQ(file.bytes.size(), 44u + 24u * row.records);
    MacroHeader header;
    const MacroFileError error = DecodeHeader(file.bytes.data(), file.bytes.size(), header);
    if (row.records == 0) {
      EXPECT_EQ(error, MacroFileError::kEmpty);
      continue;
    }
    ASSERT_EQ(error, MacroFileError::kNone);
    EXPECT_EQ(header.count, static_cast<uint32_t>(row.records));
    EXPECT_EQ(header.startTime, 1000u);
    file.at = 44;
    MacroReader reader(file);
    ASSERT_TRUE(reader.Start(header));
    std::vector<EventRecord> out;
    EventRecord r;
    while (reader.Next(r)) out.push_back(r);
    EXPECT_EQ(file.reads, row.recordReads);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(0, std::memcmp(out.data(), in.data(), in.size() * sizeof(EventRecord)));
  }
}

TEST(MacroFile, DecodeHeader_RefusesWhatCannotPlay) {
  const MemoryFile good = Record(Numbered(3));
  auto with = [&](size_t size, size_t at = 0, uint8_t value = 0, bool patch = false) {
    std::vector<uint8_t> b(good.bytes.begin(), good.bytes.begin() + std::min(size, good.bytes.size()));
    b.resize(size, 0);
    if (patch) b[at] = value;
    return b;
  };
  struct Row { const char* name; std::vector<uint8_t> bytes; MacroFileError expected; };
  const Row rows[] = {
      {"whole file", with(good.bytes.size()), MacroFileError::kNone},
      {"trailing bytes are not records but harmless", with(good.bytes.size() + 5), MacroFileError::kNone},
      {"no bytes", with(0), MacroFileError::kBadFormat},
      {"shorter than the header", with(43), MacroFileError::kBadFormat},
      {"lower-case signature", with(good.bytes.size(), 0, 'q', true), MacroFileError::kBadFormat},
      {"signature without its NUL", with(good.bytes.size(), 17, 'X', true), MacroFileError::kBadFormat},
      {"padding after the NUL is never read", with(good.bytes.size(), 20, 'X', true), MacroFileError::kNone},
      {"count 0", with(good.bytes.size(), 36, 0, true), MacroFileError::kEmpty},
      {"count 4 in a file holding 3", with(good.bytes.size(), 36, 4, true), MacroFileError::kBadFormat},
      {"the last record cut by one byte", with(good.bytes.size() - 1), MacroFileError::kBadFormat},
      {"count 0xFFFFFFFF", [&] { auto b = with(good.bytes.size()); std::memset(&b[36], 0xFF, 4); return b; }(),
       MacroFileError::kBadFormat},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MacroHeader header;
    EXPECT_EQ(DecodeHeader(row.bytes.empty() ? nullptr : row.bytes.data(), row.bytes.size(), header), row.expected);
  }
}

TEST(MacroFile, Reader_StopsWhenTheFileComesShortWhilePlaying) {
  MemoryFile file = Record(Numbered(150));
  MacroHeader header;
  ASSERT_EQ(DecodeHeader(file.bytes.data(), file.bytes.size(), header), MacroFileError::kNone);
  file.bytes.resize(44 + 24 * 120);  // cut after the check, as another program might
  file.at = 44;
  MacroReader reader(file);
  ASSERT_TRUE(reader.Start(header));
  int n = 0;
  EventRecord r;
  while (reader.Next(r)) ++n;
  EXPECT_EQ(n, 100);  // the second buffer was short: nothing stale is handed out
}

TEST(MacroFile, Restart_TakesOutTheStopDialogTime_EachTime) {
  MemoryFile file;
  MacroWriter writer(file);
  ASSERT_TRUE(writer.Begin());
  writer.Append(Key(1000, 0x41, true));
  writer.StopDialogOpened(1100);
  writer.Restart(11100);  // ten seconds in the stop dialog
  writer.Append(Key(11200, 0x42, true));
  writer.StopDialogOpened(11300);
  writer.Restart(16300);  // five more
  writer.Append(Key(16400, 0x43, true));
  ASSERT_TRUE(writer.Finish());
  MacroHeader header;
  ASSERT_EQ(DecodeHeader(file.bytes.data(), file.bytes.size(), header), MacroFileError::kNone);
  EXPECT_EQ(header.startTime, 1000u);
  const uint32_t expected[] = {1000, 1200, 1400};
  for (int i = 0; i < 3; ++i) {
    EventRecord r;
    std::memcpy(&r, file.bytes.data() + 44 + 24 * i, 24);
    EXPECT_EQ(r.time, expected[i]) << i;
  }
}

TEST(MacroFile, Writer_ReportsAFailedFlush) {
  MemoryFile file;
  MacroWriter writer(file);
  ASSERT_TRUE(writer.Begin());
  for (const EventRecord& r : Numbered(100)) ASSERT_TRUE(writer.Append(r));
  file.failWrites = true;
  EXPECT_FALSE(writer.Append(Key(5000, 0x41, true)));
  EXPECT_FALSE(writer.Finish());
}

// A full disk in the middle of a recording: the header counts the records on
// disk, never the ones that could not be written, so the file still plays
// what it holds, and Finish says that the recording is incomplete.
TEST(MacroFile, DiskFullWhileRecording_HeaderCountsOnlyTheRecordsOnDisk) {
  struct Row {
    const char* what;
    size_t room;          // bytes the disk takes
    int records;          // records appended
    uint32_t playable;    // records the header may count
  };
  const Row rows[] = {
      {"full at the last flush, part of it written", 44 + 150 * kRecordBytes, 160, 100},
      {"full at the second buffer", 44 + 100 * kRecordBytes + 10, 250, 100},
      {"full before the first buffer", 44 + 5, 120, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryFile file;
    file.room = row.room;
    MacroWriter writer(file);
    ASSERT_TRUE(writer.Begin());
    const std::vector<EventRecord> records = Numbered(row.records);
    for (const EventRecord& r : records) writer.Append(r);
    EXPECT_FALSE(writer.Finish()) << "a recording with lost records was reported complete";
    EXPECT_EQ(writer.written(), row.playable);
    ASSERT_GE(file.bytes.size(), 44u);
    MacroHeader header;
    const MacroFileError decoded = DecodeHeader(file.bytes.data(), file.bytes.size(), header);
    if (row.playable == 0) {
      EXPECT_EQ(decoded, MacroFileError::kEmpty);
      continue;
    }
    ASSERT_EQ(decoded, MacroFileError::kNone) << "the header promises records the file does not hold";
    EXPECT_EQ(header.count, row.playable);
    file.at = 44;
    MacroReader reader(file);
    ASSERT_TRUE(reader.Start(header));
    EventRecord r{};
    uint32_t n = 0;
    while (reader.Next(r)) {
      EXPECT_EQ(r.time, records[n].time) << n;
      ++n;
    }
    EXPECT_EQ(n, row.playable);
  }
}

TEST(MacroFile, AfterAFailedWrite_LaterRecordsAreRefused) {
  MemoryFile file;
  file.room = 44 + 100 * kRecordBytes + 10;  // the second buffer gets 10 bytes in
  MacroWriter writer(file);
  ASSERT_TRUE(writer.Begin());
  for (const EventRecord& r : Numbered(250)) writer.Append(r);
  EXPECT_TRUE(writer.failed());
  // The disk has room again: a retry would put records after the stray
  // bytes of the failed write, out of step with the 24-byte grid.
  file.room = SIZE_MAX;
  EXPECT_FALSE(writer.Append(Key(9000, 0x41, true)));
  EXPECT_FALSE(writer.Finish());
  MacroHeader header;
  ASSERT_EQ(DecodeHeader(file.bytes.data(), file.bytes.size(), header), MacroFileError::kNone);
  EXPECT_EQ(header.count, 100u);
}

// ---- The playback schedule ----

struct FakePlayer : PlayHost {
  std::vector<std::string> log;
  PlayIntervals intervals;
  int stopAfterWaits = -1;
  bool playing = true;
  void SendKey(uint8_t vk, uint8_t scan, bool extended, bool up) noexcept override {
    log.push_back(std::string("key ") + std::to_string(vk) + "/" + std::to_string(scan) + (extended ? " ext" : "") +
                  (up ? " up" : " down"));
  }
  void SendMouse(uint32_t flags, int32_t x, int32_t y) noexcept override {
    log.push_back("mouse " + std::to_string(flags) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  bool IsPlaying() noexcept override { return playing; }
  PlayIntervals Intervals() noexcept override { return intervals; }
  void Wait(uint32_t ms) noexcept override {
    log.push_back("wait " + std::to_string(ms));
    if (stopAfterWaits > 0 && --stopAfterWaits == 0) playing = false;
  }
};

PlayResult Play(const std::vector<EventRecord>& records, FakePlayer& host) {
  MemoryFile file = Record(records);
  MacroHeader header;
  EXPECT_EQ(DecodeHeader(file.bytes.data(), file.bytes.size(), header), MacroFileError::kNone);
  file.at = 44;
  MacroReader reader(file);
  EXPECT_TRUE(reader.Start(header));
  return PlayEvents(reader, host);
}

std::vector<std::string> Waits(const FakePlayer& host) {
  std::vector<std::string> w;
  for (const std::string& line : host.log)
    if (line.rfind("wait ", 0) == 0) w.push_back(line.substr(5));
  return w;
}

TEST(MacroPlayer, GapToWait) {
  struct Row { uint32_t last, next, wait; };
  const Row rows[] = {
      {1000, 1000, 0},
      {1000, 1250, 250},
      {0xFFFFFF00u, 0x00000100u, 0x200},       // the tick counter wrapped between two records
      {5000, 4000, 0},                         // a stamp going backwards waits nothing
      {0, 0x7FFFFFFFu, kMaxWaitMs},            // 24 days cut to the cap
      {0, kMaxWaitMs, kMaxWaitMs},
      {0, kMaxWaitMs + 1, kMaxWaitMs},
  };
  for (const Row& row : rows) EXPECT_EQ(GapToWait(row.last, row.next), row.wait) << row.last << " " << row.next;
}

TEST(MacroPlayer, RecordedGaps_FirstAtOnce_NoWaitAfterTheLast) {
  FakePlayer host;
  EXPECT_EQ(Play({Key(1000, 0x41, true), Key(1080, 0x41, false), Mouse(1100, 2, 65472, 65451),
                  Mouse(1100, 4, 65472, 65451), Key(1400, 0x0D, true)},
                 host),
            PlayResult::kComplete);
  const std::vector<std::string> expected = {
      "key 65/66 down", "wait 80", "key 65/66 up", "wait 20", "mouse 2 65472,65451",
      "mouse 4 65472,65451", "wait 300", "key 13/14 down",
      "key 13/14 up"};  // the file ends with Enter down: playback lets it go
  EXPECT_EQ(host.log, expected);
}

TEST(MacroPlayer, KeyRecord_CarriesExtendedAndUpFlags) {
  FakePlayer host;
  EventRecord right = Key(1000, 0x27, false);
  right.b = 1;
  EventRecord other = Key(1000, 0x27, true);
  other.kind = 7;  // carried along, plays nothing
  Play({right, other}, host);
  const std::vector<std::string> expected = {"key 39/40 ext up"};
  EXPECT_EQ(host.log, expected);
}

// Fixed intervals belong to the kind of the record just played; other kinds
// keep the previous kind; negative settings count as 0.
TEST(MacroPlayer, FixedIntervals_PerKindOfThePreviousRecord) {
  EventRecord other = Key(9000, 0, true);
  other.kind = 9;
  const std::vector<EventRecord> records = {Key(1000, 0x41, true), Mouse(1001, 1, 5, 5), Mouse(9000, 2, 5, 5),
                                            other, Key(9001, 0x41, false), Key(1, 0x42, true)};
  struct Row { PlayIntervals intervals; std::vector<std::string> waits; };
  const Row rows[] = {
      {{1, 100, 20}, {"100", "20", "20", "20", "100"}},
      {{1, 0, 0}, {}},
      {{1, -5, 30}, {"30", "30", "30"}},
      {{0, 100, 20}, {"1", "7999", "1"}},  // recorded gaps; the stamp going back waits nothing
  };
  for (const Row& row : rows) {
    FakePlayer host;
    host.intervals = row.intervals;
    EXPECT_EQ(Play(records, host), PlayResult::kComplete);
    EXPECT_EQ(Waits(host), row.waits) << row.intervals.playStyle << " " << row.intervals.keyInterval;
  }
}

TEST(MacroPlayer, StopDuringAWait_EndsBeforeTheNextRecord) {
  FakePlayer host;
  host.stopAfterWaits = 2;
  EXPECT_EQ(Play(Numbered(10), host), PlayResult::kStopped);
  // The A that was pressed is released as playback stops.
  const std::vector<std::string> expected = {"key 65/66 down", "wait 10", "key 66/67 up", "wait 10", "key 65/66 up"};
  EXPECT_EQ(host.log, expected);
}

// What a playback pressed is released whatever ends it: Pause in the middle
// of Ctrl+Shift+C, a macro saved with a key or a button still down, a file
// that came short. Keys come up in the reverse order of their presses, with
// the scan code and extended flag they went down with.
TEST(MacroPlayer, KeysAndButtonsLeftPressed_AreReleasedWhenPlaybackEnds) {
  EventRecord rightCtrl = Key(1000, 0x11, true);
  rightCtrl.b = 1;
  EventRecord rightCtrlUp = Key(1050, 0x11, false);
  rightCtrlUp.b = 1;  // the same key comes up as went down
  const std::vector<EventRecord> chord = {rightCtrl, Key(1010, 0x10, true), Key(1020, 0x43, true),
                                          Key(1030, 0x43, false), Key(1040, 0x10, false), rightCtrlUp};
  {
    SCOPED_TRACE("stopped after C went down");
    FakePlayer host;
    host.stopAfterWaits = 2;
    EXPECT_EQ(Play(chord, host), PlayResult::kStopped);
    const std::vector<std::string> expected = {"key 17/18 ext down", "wait 10", "key 16/17 down", "wait 10",
                                               "key 16/17 up", "key 17/18 ext up"};
    EXPECT_EQ(host.log, expected);
  }
  {
    SCOPED_TRACE("played to the end: nothing more");
    FakePlayer host;
    EXPECT_EQ(Play(chord, host), PlayResult::kComplete);
    EXPECT_EQ(host.log.size(), 11u);  // six keys and five waits
    EXPECT_EQ(host.log.back(), "key 17/18 ext up");  // the file's own release
  }
  {
    SCOPED_TRACE("a macro that ends with Shift and the left button down");
    FakePlayer host;
    Play({Mouse(1000, 1, 100, 200), Key(1000, 0x10, true), Mouse(1000, 2, 300, 400), Key(1000, 0x41, true),
          Key(1000, 0x41, true), Key(1000, 0x41, false)},
         host);
    ASSERT_GE(host.log.size(), 2u);
    // The button comes up without a move, at the place of the last record.
    const std::vector<std::string> tail(host.log.end() - 2, host.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"key 16/17 up", "mouse 4 300,400"}));
  }
  {
    SCOPED_TRACE("clicks and a right button that went up: nothing held");
    FakePlayer host;
    Play({Mouse(1000, 2 | 4, 5, 5), Mouse(1000, 8, 5, 5), Mouse(1000, 16, 5, 5)}, host);
    EXPECT_EQ(host.log.size(), 3u);
  }
}

// Left and right Ctrl, Alt and Shift come with one virtual-key code each; the
// hooks tell them apart by the extended flag (Ctrl, Alt) and the scan code
// (Shift). Releasing one side must not count as releasing the other.
TEST(MacroPlayer, LeftAndRightModifiers_AreHeldAndReleasedEachOnItsOwn) {
  auto side = [](uint32_t time, uint8_t vk, uint8_t scan, bool extended, bool down) {
    EventRecord r = Key(time, vk, down);
    r.u.key.scan = scan;
    r.b = extended ? 1 : 0;
    return r;
  };
  {
    SCOPED_TRACE("left Ctrl down, right Ctrl down and up, stopped: left Ctrl comes up");
    FakePlayer host;
    host.stopAfterWaits = 3;
    Play({side(1000, 0x11, 0x1D, false, true), side(1010, 0x11, 0x1D, true, true),
          side(1020, 0x11, 0x1D, true, false), side(1030, 0x41, 0x1E, false, true)},
         host);
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.back(), "key 17/29 up");
  }
  {
    SCOPED_TRACE("both Shifts down, stopped: both come up, the last pressed first");
    FakePlayer host;
    host.stopAfterWaits = 2;
    Play({side(1000, 0x10, 0x2A, false, true), side(1010, 0x10, 0x36, false, true),
          side(1020, 0x41, 0x1E, false, true)},
         host);
    ASSERT_GE(host.log.size(), 2u);
    const std::vector<std::string> tail(host.log.end() - 2, host.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"key 16/54 up", "key 16/42 up"}));
  }
  {
    SCOPED_TRACE("right Alt repeated and released once: nothing left held");
    FakePlayer host;
    Play({side(1000, 0x12, 0x38, true, true), side(1010, 0x12, 0x38, true, true),
          side(1020, 0x12, 0x38, true, false)},
         host);
    EXPECT_EQ(host.log.back(), "key 18/56 ext up");
    EXPECT_EQ(host.log.size(), 5u);  // three keys, two waits
  }
  {
    SCOPED_TRACE("a Ctrl that comes up with another scan code is up");
    FakePlayer host;
    Play({side(1000, 0x11, 0x1D, false, true), side(1010, 0x11, 0x00, false, false)}, host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"key 17/29 down", "wait 10", "key 17/0 up"}));
  }
}

TEST(MacroPlayer, FileComingShortWhilePlaying_StillReleasesWhatWasPressed) {
  // Alt goes down first; its release would come in the second buffer.
  std::vector<EventRecord> records = {Key(1000, 0x12, true)};
  for (int i = 0; i < 100; ++i) records.push_back(Key(1001 + i, 0x09, i % 2 == 0));
  records.push_back(Key(1200, 0x12, false));
  MemoryFile file = Record(records);
  MacroHeader header;
  ASSERT_EQ(DecodeHeader(file.bytes.data(), file.bytes.size(), header), MacroFileError::kNone);
  file.bytes.resize(44 + 100 * kRecordBytes);  // cut after its header was checked
  file.at = 44;
  MacroReader reader(file);
  ASSERT_TRUE(reader.Start(header));
  FakePlayer host;
  EXPECT_EQ(PlayEvents(reader, host), PlayResult::kShortFile);
  ASSERT_FALSE(host.log.empty());
  EXPECT_EQ(host.log.back(), "key 18/19 up");
}

TEST(MacroPlayer, TickCounterWrapInsideAMacro_WaitsTheRealGap) {
  FakePlayer host;
  Play({Key(0xFFFFFFF0u, 0x41, true), Key(0x10, 0x41, false)}, host);
  const std::vector<std::string> expected = {"32"};
  EXPECT_EQ(Waits(host), expected);
}

}  // namespace
}  // namespace quillo::macros
