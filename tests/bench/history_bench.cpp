// Cost of the history store's operations on a full store of 100 entries of
// 20479 bytes: adding one entry (every live byte moves one block down), beside
// a plain memmove of the same live bytes; and a full .hst write then read.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "history_store.h"

using namespace quillo::history;

namespace {

constexpr int32_t kCapacity = 100;

std::vector<char> FullStore() {
  std::vector<char> store(static_cast<size_t>(kCapacity) * kBlockSize);
  for (int32_t i = 0; i < kCapacity; ++i) {
    std::memset(&store[i * kBlockSize], 'a' + i % 26, kMaxEntryBytes);
    store[i * kBlockSize + kMaxEntryBytes] = '\0';
  }
  return store;
}

void BM_AddToFullStore(benchmark::State& state) {
  auto store = FullStore();
  const std::string texts[2] = {std::string(kMaxEntryBytes, 'X'), std::string(kMaxEntryBytes, 'Y')};
  int flip = 0;
  for (auto _ : state) {
    int32_t count = kCapacity;
    AddEntry({store.data(), kCapacity}, count, texts[flip ^= 1].c_str());
    benchmark::DoNotOptimize(store.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kCapacity} * kBlockSize);
}
BENCHMARK(BM_AddToFullStore)->Unit(benchmark::kMicrosecond);

// The same live bytes moved with one memmove: the floor for the add above.
void BM_MemmoveSameLiveBytes(benchmark::State& state) {
  auto store = FullStore();
  for (auto _ : state) {
    std::memmove(store.data() + kBlockSize, store.data(), static_cast<size_t>(kCapacity - 1) * kBlockSize);
    benchmark::DoNotOptimize(store.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kCapacity} * kBlockSize);
}
BENCHMARK(BM_MemmoveSameLiveBytes)->Unit(benchmark::kMicrosecond);

void BM_WriteThenReadHstFile(benchmark::State& state) {
  auto store = FullStore();
  std::vector<char> back(store.size());
  const std::string path = "/tmp/quillo_bench_" + std::to_string(::getpid()) + ".hst";
  std::vector<uint8_t> image;
  std::vector<uint8_t> read;
  for (auto _ : state) {
    image.resize(HistoryFileSize(store.data(), kCapacity));
    WriteHistoryImage(store.data(), kCapacity, image.data(), image.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) { state.SkipWithError("cannot write temp file"); break; }
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) { state.SkipWithError("cannot read temp file"); break; }
    read.resize(image.size());
    const size_t got = std::fread(read.data(), 1, read.size(), f);
    std::fclose(f);
    FileEntry entries[kMaxFileCount];
    int32_t count = 0;
    if (ParseHistoryFile(read.data(), got, kCapacity, entries, count) != FileError::kNone) {
      state.SkipWithError("file did not parse");
      break;
    }
    benchmark::DoNotOptimize(LoadEntries({back.data(), kCapacity}, entries, count));
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * int64_t(image.size()) * 2);
}
BENCHMARK(BM_WriteThenReadHstFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
