// Cost of parsing the largest menu file the format allows: 1023 items in 31
// groups nested three levels deep, a third of them with 20-line bodies of 250
// characters and the rest with 240-character single-line bodies, separators,
// column breaks and a 30-row simple menu (about 1.9 MB). The file is streamed
// in 4096-byte reads, as the library reads it through the file handle.
#include <benchmark/benchmark.h>

#include <string>

#include "code_page.h"
#include "largest_menu_file.h"
#include "menu_file.h"

using namespace quillo::hook;

namespace {

using quillo::testing::LargestMenuFile;

void ParseLargest(benchmark::State& state, int codePage) {
  quillo::testing::ScopedCodePage cp(codePage);
  const std::string file = LargestMenuFile();
  MenuModel model;
  for (auto _ : state) {
    MemorySource source(file.data(), file.size(), 4096);
    const MenuFileResult result = ParseMenuFile(source, file.size(), model);
    if (!result.ok || model.bodies.size() != kMaxItems) {
      state.SkipWithError("the largest file did not parse");
      break;
    }
    benchmark::DoNotOptimize(model.bodies.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
  state.counters["items"] = static_cast<double>(model.bodies.size());
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_ParseLargestMenuFile_CodePage1252(benchmark::State& state) { ParseLargest(state, 1252); }
BENCHMARK(BM_ParseLargestMenuFile_CodePage1252)->Unit(benchmark::kMillisecond);

// Shift-JIS: every byte goes through the lead-byte test.
void BM_ParseLargestMenuFile_CodePage932(benchmark::State& state) { ParseLargest(state, 932); }
BENCHMARK(BM_ParseLargestMenuFile_CodePage932)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
