// The byte scans of the menu-file reader and the stack menu: the right byte
// at every place a 16-byte or word step can put it, and never a read outside
// the bytes given (each buffer below is its own allocation of exactly the
// bytes under test, so AddressSanitizer reports any byte beyond it).
#include "byte_scan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quillo::text {
namespace {

using Finder = const char* (*)(const char*, size_t, char);

struct Exact {
  explicit Exact(size_t n, char fill) : bytes(new char[n == 0 ? 1 : n]), size(n) {
    std::memset(bytes.get(), fill, size);
  }
  std::unique_ptr<char[]> bytes;
  size_t size;
};

class ByteScanFind : public ::testing::TestWithParam<Finder> {};

TEST_P(ByteScanFind, FirstOccurrenceAtEveryPlaceOfEveryLength) {
  const Finder find = GetParam();
  for (const char needle : {'\n', '\0', '\x80', '\xff', 'a'}) {
    // The filler is the needle's neighbour: a byte one off is what a faulty
    // comparison or a borrow in the word test would take for it.
    const char filler = static_cast<char>(static_cast<unsigned char>(needle) ^ 1);
    for (size_t n = 0; n <= 70; ++n) {
      Exact none(n, filler);
      EXPECT_EQ(find(none.bytes.get(), n, needle), nullptr) << "length " << n;
      for (size_t at = 0; at < n; ++at) {
        Exact buffer(n, filler);
        buffer.bytes[at] = needle;
        if (at + 3 < n) buffer.bytes[at + 3] = needle;  // a later one is not the answer
        EXPECT_EQ(find(buffer.bytes.get(), n, needle), buffer.bytes.get() + at)
            << "length " << n << " at " << at << " needle " << static_cast<int>(needle);
      }
    }
  }
}

TEST_P(ByteScanFind, BytesBeyondTheCountAreNotLookedAt) {
  const Finder find = GetParam();
  std::string text(64, 'x');
  text[40] = '\n';
  for (size_t n = 0; n <= 40; ++n) EXPECT_EQ(find(text.data(), n, '\n'), nullptr) << n;
  EXPECT_EQ(find(text.data(), 41, '\n'), text.data() + 40);
  // A start that is not aligned to anything.
  EXPECT_EQ(find(text.data() + 3, 38, '\n'), text.data() + 40);
}

// The 16-byte step of this machine, and words of 4 and 8 bytes (the 32-bit
// libraries use the 4-byte ones).
INSTANTIATE_TEST_SUITE_P(EveryWay, ByteScanFind,
                         ::testing::Values(&FindByte, &FindByteByWords<uint32_t>, &FindByteByWords<uint64_t>));

TEST(ByteScanLength, StopsAtTheFirstNulOrTheBound) {
  for (size_t n = 0; n <= 40; ++n) {
    Exact unterminated(n, 'q');
    EXPECT_EQ(BoundedLength(unterminated.bytes.get(), n), n);
    for (size_t at = 0; at < n; ++at) {
      Exact buffer(n, 'q');
      buffer.bytes[at] = '\0';
      EXPECT_EQ(BoundedLength(buffer.bytes.get(), n), at);
    }
  }
}

using Copier = size_t (*)(char*, const char*, size_t);

class ByteScanCopyWords : public ::testing::TestWithParam<Copier> {};

TEST_P(ByteScanCopyWords, CopiesUpToTheNulAndTerminatesWithinTheBound) {
  const Copier copy = GetParam();
  for (size_t max = 0; max <= 40; ++max) {
    for (size_t nul = 0; nul <= max; ++nul) {  // nul == max: the slot has no terminator
      Exact src(max, '\x81');
      for (size_t k = 0; k < max; ++k) src.bytes[k] = static_cast<char>('A' + k % 26);
      if (nul < max) src.bytes[nul] = '\0';
      Exact dst(max + 1, '#');
      const size_t length = copy(dst.bytes.get(), src.bytes.get(), max);
      ASSERT_EQ(length, nul) << "max " << max;
      EXPECT_EQ(std::memcmp(dst.bytes.get(), src.bytes.get(), length), 0);
      EXPECT_EQ(dst.bytes[length], '\0');
      // Nothing after the terminator was written.
      for (size_t k = length + 1; k <= max; ++k) EXPECT_EQ(dst.bytes[k], '#') << k;
    }
  }
}

// A byte of 0x01 right after a NUL, and 0x80 bytes: what a borrow in the
// word test could mistake for, or hide, a terminator.
TEST_P(ByteScanCopyWords, BytesNextToTheNulAreNotTakenForIt) {
  const Copier copy = GetParam();
  for (size_t nul = 0; nul < 16; ++nul) {
    Exact src(16, '\x80');
    src.bytes[nul] = '\0';
    if (nul + 1 < 16) src.bytes[nul + 1] = '\x01';
    Exact dst(17, '#');
    EXPECT_EQ(copy(dst.bytes.get(), src.bytes.get(), 16), nul);
  }
  Exact ones(16, '\x01');
  Exact dst(17, '#');
  EXPECT_EQ(copy(dst.bytes.get(), ones.bytes.get(), 16), 16u);
}

INSTANTIATE_TEST_SUITE_P(EveryWord, ByteScanCopyWords,
                         ::testing::Values(&CopyUntilNul, &CopyUntilNulByWords<uint32_t>,
                                           &CopyUntilNulByWords<uint64_t>));

// Another process rewrites the slot while it is copied: whatever the copy
// got, its length must describe it (no NUL inside, the terminator at the
// length), since the menu shows and marks that one copy.
TEST(ByteScanCopy, LengthDescribesTheCopyWhileTheSourceChanges) {
  constexpr size_t kSlot = 4096;
  std::vector<char> slot(kSlot, 'x');
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    unsigned k = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      k = k * 1103515245u + 12345u;
      std::atomic_ref<char> byte(slot[(k >> 8) % kSlot]);
      byte.store('\0', std::memory_order_relaxed);  // an entry ends here for a moment
      for (int spin = 0; spin < 2000; ++spin) std::atomic_signal_fence(std::memory_order_seq_cst);
      byte.store('x', std::memory_order_relaxed);
    }
  });
  // The writer is stopped on every way out, a failed assertion's included.
  struct Join {
    std::atomic<bool>& stop;
    std::thread& thread;
    ~Join() {
      stop = true;
      thread.join();
    }
  } join{stop, writer};

  std::vector<char> copy(kSlot + 1);
  bool sawShort = false, sawFull = false;
  for (int round = 0; round < 400000 && !(round >= 20000 && sawShort && sawFull); ++round) {
    const size_t length = CopyUntilNul(copy.data(), slot.data(), kSlot);
    ASSERT_LE(length, kSlot);
    ASSERT_EQ(copy[length], '\0');
    ASSERT_EQ(std::memchr(copy.data(), '\0', length), nullptr) << "a NUL inside the copied length";
    sawShort |= length < kSlot;
    sawFull |= length == kSlot;
  }
  // Not a timing: if the writer never ran beside the copy, the loop proved
  // little, and the report says so.
  if (!sawShort || !sawFull) GTEST_SKIP() << "the writer never raced the copy";
}

}  // namespace
}  // namespace quillo::text
