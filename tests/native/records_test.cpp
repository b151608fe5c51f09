// Layouts of the records that cross processes and files: a change here breaks
// every running copy of the other deliverables and every stored macro file.
#include "quillo_records.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace quillo {
namespace {

TEST(Records, MenuFileSetLayout) {
  EXPECT_EQ(offsetof(MenuFileSet, path), 0u);
  EXPECT_EQ(offsetof(MenuFileSet, trigger), 260u);
  EXPECT_EQ(offsetof(MenuFileSet, key), 264u);
  EXPECT_EQ(offsetof(MenuFileSet, modifiers), 266u);
  MenuFileSet sets[10];
  EXPECT_EQ(reinterpret_cast<char*>(&sets[3]) - reinterpret_cast<char*>(&sets[0]), 3 * 268);
}

TEST(Records, EventRecordBytesAreLittleEndianAtFixedOffsets) {
  EventRecord key{};
  key.kind = kEventKindKey;
  key.time = 0x01020304;
  key.magic = kEventMagic;
  key.u.key.vk = 0x41;
  key.u.key.scan = 0x1e;
  key.a = 1;
  key.b = 0;
  unsigned char bytes[24];
  std::memcpy(bytes, &key, sizeof bytes);
  const unsigned char expected[24] = {1, 0, 0, 0, 4, 3, 2, 1, 0xb2, 0x07, 0, 0,
                                      0x41, 0x1e, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, expected, 24), 0);

  EventRecord mouse{};
  mouse.u.mouseFlags = 0x10;  // right button up
  std::memcpy(bytes, &mouse, sizeof bytes);
  EXPECT_EQ(bytes[12], 0x10);
  EXPECT_EQ(offsetof(EventRecord, a), 16u);
  EXPECT_EQ(offsetof(EventRecord, b), 20u);
}

}  // namespace
}  // namespace quillo
