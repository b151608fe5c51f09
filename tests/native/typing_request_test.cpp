// A text handed over to be typed, and the paste-method list read while the
// resident program rewrites it: what crosses between programs is read
// within its bounds, and never half old and half new.
#include "typing_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "paste_programs.h"

namespace quillo {
namespace {

std::vector<unsigned char> Request(uint32_t window, uint32_t flags, const std::string& text) {
  std::vector<unsigned char> block(sizeof(TypingRequestHeader) + text.size());
  const TypingRequestHeader header{window, flags};
  std::memcpy(block.data(), &header, sizeof header);
  if (!text.empty()) std::memcpy(block.data() + sizeof header, text.data(), text.size());
  return block;
}

TEST(TypingRequest, TheTextEndsAtTheBlockOrItsFirstNul_ShortOrEmptyBlocksAreRefused) {
  TypingRequestHeader header{};
  const char* text = nullptr;
  size_t length = 99;

  const auto plain = Request(0x10086, kTypingCapsLock, "ab\r\ncd");
  ASSERT_EQ(ReadTypingRequest(plain.data(), plain.size(), header, text, length), TypingRequestCheck::kOk);
  EXPECT_EQ(header.window, 0x10086u);
  EXPECT_EQ(header.flags, kTypingCapsLock);
  EXPECT_EQ(std::string(text, length), "ab\r\ncd");

  // A terminator sent along, or bytes after it, are not typed.
  const auto nul = Request(7, 0, std::string("xy\0zz", 5));
  ASSERT_EQ(ReadTypingRequest(nul.data(), nul.size(), header, text, length), TypingRequestCheck::kOk);
  EXPECT_EQ(length, 2u);

  const auto empty = Request(7, 0, "");
  EXPECT_EQ(ReadTypingRequest(empty.data(), empty.size(), header, text, length), TypingRequestCheck::kOk);
  EXPECT_EQ(length, 0u);

  // Shorter than a header, no block at all, or no window to type into.
  EXPECT_EQ(ReadTypingRequest(plain.data(), sizeof(TypingRequestHeader) - 1, header, text, length),
            TypingRequestCheck::kMalformed);
  EXPECT_EQ(ReadTypingRequest(nullptr, 64, header, text, length), TypingRequestCheck::kMalformed);
  const auto noWindow = Request(0, 0, "abc");
  EXPECT_EQ(ReadTypingRequest(noWindow.data(), noWindow.size(), header, text, length),
            TypingRequestCheck::kMalformed);
}

TEST(TypingRequest, TheBoundIsTypedAndOneByteMoreIsTooLong) {
  TypingRequestHeader header{};
  const char* text = nullptr;
  size_t length = 0;
  const auto atBound = Request(1, 0, std::string(kMaxTypedBytes, 'a'));
  EXPECT_EQ(ReadTypingRequest(atBound.data(), atBound.size(), header, text, length), TypingRequestCheck::kOk);
  EXPECT_EQ(length, kMaxTypedBytes);
  const auto over = Request(1, 0, std::string(kMaxTypedBytes + 1, 'a'));
  EXPECT_EQ(ReadTypingRequest(over.data(), over.size(), header, text, length), TypingRequestCheck::kTooLong);
  // Long bytes after an early terminator do not make it too long.
  std::string early(kMaxTypedBytes + 10, 'b');
  early[5] = '\0';
  const auto cut = Request(1, 0, early);
  EXPECT_EQ(ReadTypingRequest(cut.data(), cut.size(), header, text, length), TypingRequestCheck::kOk);
  EXPECT_EQ(length, 5u);
}

// Two lists that differ in every record and in their count: a reader that
// took half of each would see a name of one with the method or count of the
// other.
void FillList(PasteProgram* list, int32_t& count, bool second) {
  const int32_t n = second ? 9 : 4;
  for (size_t i = 0; i < kMaxPastePrograms; ++i) {
    std::memset(list[i].program, 0, sizeof list[i].program);
    std::memset(list[i].program, second ? 'b' : 'a', 20 + i % 30);
    list[i].method = second ? kPasteType : kPasteShiftInsert;
  }
  count = n;
}

bool Consistent(const PasteProgram* list, int n) {
  if (n != 4 && n != 9) return false;
  const char letter = n == 9 ? 'b' : 'a';
  const int32_t method = n == 9 ? kPasteType : kPasteShiftInsert;
  for (int i = 0; i < n; ++i) {
    const size_t length = 20 + static_cast<size_t>(i) % 30;
    if (strnlen(list[i].program, sizeof list[i].program) != length) return false;
    for (size_t c = 0; c < length; ++c) {
      if (list[i].program[c] != letter) return false;
    }
    if (list[i].method != method) return false;
  }
  return true;
}

TEST(PasteListSharing, AReaderNeverTakesAListHalfOldHalfNew) {
  static PasteProgram shared[kMaxPastePrograms];
  static volatile int32_t sharedCount;
  static volatile uint32_t version;
  int32_t count = 0;
  FillList(shared, count, false);
  sharedCount = count;
  version = 0;

  std::atomic<bool> done{false};
  std::atomic<long> writes{0};
  std::thread writer([&] {
    PasteProgram next[kMaxPastePrograms];
    bool second = true;
    while (!done.load()) {
      int32_t n = 0;
      FillList(next, n, second);
      const uint32_t odd = BeginPasteListWrite(&version);
      // Record by record, so that readers meet it in the middle.
      for (size_t i = 0; i < kMaxPastePrograms; ++i) {
        std::memcpy(const_cast<PasteProgram*>(&shared[i]), &next[i], sizeof next[i]);
      }
      sharedCount = n;
      EndPasteListWrite(&version, odd);
      second = !second;
      ++writes;
      std::this_thread::yield();
    }
  });

  long reads = 0;
  long retried = 0;
  long taken[2] = {0, 0};
  PasteProgram copy[kMaxPastePrograms];
  while (writes.load() < 20000 && reads < 50000000) {
    const int n = ReadPasteList(&version, &sharedCount, shared, copy);
    ++reads;
    if (n < 0) {
      ++retried;
      continue;
    }
    if (!Consistent(copy, n)) {
      done = true;
      writer.join();
      FAIL() << "read " << reads << " took a list half old and half new (count " << n << ")";
    }
    ++taken[n == 9 ? 1 : 0];
  }
  done = true;
  writer.join();
  EXPECT_GE(writes.load(), 20000) << "the writer never got through: " << reads << " reads";
  // Both lists were read whole many times: the reads did meet the writes.
  EXPECT_GT(taken[0], 0);
  EXPECT_GT(taken[1], 0);
  std::printf("[ figure ] %ld reads against %ld rewrites: %ld and %ld of each list, %ld gave up\n", reads,
              writes.load(), taken[0], taken[1], retried);
}

TEST(PasteListSharing, AListThatStaysMidWriteIsReportedNotRead) {
  PasteProgram shared[kMaxPastePrograms];
  int32_t n = 0;
  FillList(shared, n, true);
  volatile int32_t count = n;
  volatile uint32_t version = 6;
  const uint32_t odd = BeginPasteListWrite(&version);
  EXPECT_EQ(odd, 7u);
  PasteProgram copy[kMaxPastePrograms];
  EXPECT_EQ(ReadPasteList(&version, &count, shared, copy), -1);
  EndPasteListWrite(&version, odd);
  EXPECT_EQ(version, 8u);
  EXPECT_EQ(ReadPasteList(&version, &count, shared, copy), 9);
  // A count outside the records is cut to them.
  count = 100000;
  EXPECT_EQ(ReadPasteList(&version, &count, shared, copy), static_cast<int>(kMaxPastePrograms));
  count = -5;
  EXPECT_EQ(ReadPasteList(&version, &count, shared, copy), 0);
}

}  // namespace
}  // namespace quillo
