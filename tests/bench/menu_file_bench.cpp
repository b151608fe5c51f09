// Cost of parsing the largest menu file the format allows: 1023 items in 31
// groups nested three levels deep, a third of them with 20-line bodies of 250
// characters and the rest with 240-character single-line bodies, separators,
// column breaks and a 30-row simple menu (about 1.9 MB). The file is streamed
// in 4096-byte reads, as the library reads it through the file handle.
#include <benchmark/benchmark.h>

#include <string>

#include "code_page.h"
#include "menu_file.h"

using namespace quillo::hook;

namespace {

std::string LargestMenuFile() {
  std::string f;
  f.reserve(2u << 20);
  const std::string line(250, 'L');
  const std::string body(240, 'b');
  int item = 0;
  auto items = [&](int n) {
    for (int i = 0; i < n; ++i, ++item) {
      if (i == 5) f += "-\n";
      if (i == 8) f += "--\n";
      if (item % 3 == 0) {
        f += "Item " + std::to_string(item) + "|\n";
        for (int k = 0; k < 20; ++k) f += line + "\n";
        f += "/E\n";
      } else {
        f += "Item " + std::to_string(item) + "|" + body + "\n";
      }
    }
  };
  f += "*Table\n";
  for (int r = 0; r < 30; ++r) f += "a|b|c|d|e\n";
  f += "..\n";
  for (int g = 0; g < 31; ++g) {
    f += "+Group " + std::to_string(g) + "\n";
    items(11);
    f += "+Inner\n";
    items(11);
    f += "+Deep\n";
    items(11);
    f += "..\n..\n..\n";
  }
  return f;
}

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
