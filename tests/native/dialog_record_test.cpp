// The walk from a file dialog's creation data to the application's record,
// over each known layout built in memory and over hostile ones: a pointer is
// followed only where the probe says it may be read, and a candidate is taken
// only where the probe's record checks pass.
#include "dialog_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace quillo::dlgex {
namespace {

// Memory the test declares readable, and the candidates it declares records.
// Anything else (0x10, 0xDEAD0000) would fault if read, so a walk that reads
// past the probe crashes the test instead of passing.
struct FakeMemory {
  std::vector<std::pair<const void*, size_t>> readable;
  std::vector<const void*> records;
  int recordChecks = 0;

  void Readable(const void* p, size_t size) { readable.emplace_back(p, size); }
  bool CanRead(const void* p, size_t size) const {
    const auto at = reinterpret_cast<uintptr_t>(p);
    for (const auto& [start, length] : readable) {
      const auto s = reinterpret_cast<uintptr_t>(start);
      if (at >= s && at + size <= s + length) return true;
    }
    return false;
  }
  RecordProbe Probe() {
    return {[](const void* p, size_t size, void* self) { return static_cast<FakeMemory*>(self)->CanRead(p, size); },
            [](const void* candidate, void* self) {
              auto* memory = static_cast<FakeMemory*>(self);
              ++memory->recordChecks;
              for (const void* r : memory->records) {
                if (r == candidate) return true;
              }
              return false;
            },
            this};
  }
  const void* Walk(const void* data) {
    const RecordProbe probe = Probe();
    return FindDialogRecord(data, probe);
  }
};

const void* const kUnmapped = reinterpret_cast<const void*>(0xDEAD0000);

TEST(DialogRecordWalk, EachKnownLayoutLeadsToItsRecord) {
  int record = 0;  // stands for the application's OPENFILENAME
  // Wine and Windows 95: the creation data's first pointer is the record.
  const void* wine[2] = {&record, nullptr};
  // The NT family: the creation data's first pointer is a block whose second pointer is the record.
  const void* block[3] = {kUnmapped, &record, nullptr};
  const void* nt[1] = {block};
  FakeMemory memory;
  memory.Readable(wine, sizeof wine);
  memory.Readable(block, sizeof block);
  memory.Readable(nt, sizeof nt);
  memory.records = {&record};
  EXPECT_EQ(memory.Walk(wine), &record) << "Wine's layout";
  EXPECT_EQ(memory.Walk(nt), &record) << "the NT layout";
}

TEST(DialogRecordWalk, TheFirstLayoutThatPassesWins) {
  int first = 0, second = 0;
  const void* block[2] = {nullptr, &second};
  const void* data[1] = {block};
  FakeMemory memory;
  memory.Readable(block, sizeof block);
  memory.Readable(data, sizeof data);
  // The block itself passes as a record: Wine's layout is taken and the NT one not looked at.
  memory.records = {block, &second};
  EXPECT_EQ(memory.Walk(data), static_cast<const void*>(block));
  // It does not: the NT layout's record is found behind it.
  memory.records = {&second};
  EXPECT_EQ(memory.Walk(data), &second);
  (void)first;
}

TEST(DialogRecordWalk, HostileDataYieldsNoRecordAndReadsNothingUnreadable) {
  int record = 0;
  struct Row {
    const char* what;
    std::vector<const void*> data;  // the creation data's pointers (readable as a whole)
    const void* blockOrNull;        // a block whose first slot only is readable, when set
  };
  const void* oneSlot[2] = {kUnmapped, &record};  // only oneSlot[0] is declared readable
  const void* loop[2];
  loop[0] = loop;
  loop[1] = loop;
  const Row rows[] = {
      {"first pointer null", {nullptr, &record}, nullptr},
      {"first pointer unmapped", {kUnmapped, &record}, nullptr},
      {"first pointer to a low address", {reinterpret_cast<const void*>(0x10)}, nullptr},
      {"a block too short for a second pointer", {oneSlot}, oneSlot},
      {"a block that points at itself", {loop}, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeMemory memory;
    memory.Readable(row.data.data(), row.data.size() * sizeof(void*));
    memory.Readable(loop, sizeof loop);
    if (row.blockOrNull != nullptr) memory.Readable(row.blockOrNull, sizeof(void*));
    // The record exists, but no pointer reaches it the way a layout would.
    memory.records = {&record};
    EXPECT_EQ(memory.Walk(row.data.data()), nullptr);
  }
  FakeMemory memory;
  EXPECT_EQ(memory.Walk(nullptr), nullptr) << "no creation data";
  EXPECT_EQ(memory.Walk(kUnmapped), nullptr) << "creation data that cannot be read";
  EXPECT_EQ(memory.recordChecks, 0) << "nothing was taken for a candidate";
}

TEST(DialogRecordWalk, ACandidateThatFailsTheRecordChecksIsNotTaken) {
  int notARecord = 0;
  const void* block[2] = {nullptr, &notARecord};
  const void* wine[1] = {&notARecord};
  const void* nt[1] = {block};
  FakeMemory memory;
  memory.Readable(block, sizeof block);
  memory.Readable(wine, sizeof wine);
  memory.Readable(nt, sizeof nt);
  memory.Readable(&notARecord, sizeof notARecord);
  EXPECT_EQ(memory.Walk(wine), nullptr);
  EXPECT_EQ(memory.Walk(nt), nullptr);
  EXPECT_GE(memory.recordChecks, 3) << "each candidate went through the checks";
}

}  // namespace
}  // namespace quillo::dlgex
