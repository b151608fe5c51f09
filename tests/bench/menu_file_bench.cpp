// Cost of parsing the largest menu file the format allows: 1023 items in 31
// groups nested three levels deep, a third of them with 20-line bodies of 250
// characters and the rest with 240-character single-line bodies, separators,
// column breaks and a 30-row simple menu (about 1.9 MB). The file is streamed
// in 4096-byte reads, as the library reads it through the file handle.
//
// The figure that matters is the parse beside the floor of any line reader:
// one memchr pass for the line ends over the same bytes. Both are timed in
// the same run, interleaved, so that the ratio does not depend on the machine
// or on what else runs on it; the best of many rounds of each is compared.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "code_page.h"
#include "largest_menu_file.h"
#include "menu_file.h"

using namespace quillo::hook;

namespace {

using quillo::testing::LargestMenuFile;
using Clock = std::chrono::steady_clock;

constexpr double kGoalRatio = 10.0;

bool Parse(const std::string& file, MenuModel& model) {
  MemorySource source(file.data(), file.size(), 4096);
  const MenuFileResult result = ParseMenuFile(source, file.size(), model);
  return result.ok && model.bodies.size() == kMaxItems;
}

// The floor: every line end found, nothing else done.
size_t LineEnds(const std::string& file) {
  size_t lines = 0;
  const char* p = file.data();
  const char* end = p + file.size();
  while (const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
    ++lines;
    p = static_cast<const char*>(lf) + 1;
  }
  return lines;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Figure {
  double parseMs = 0;
  double scanMs = 0;
  bool measured = false;
};
Figure g_figures[2];  // code pages 1252 and 932

void ParseLargest(benchmark::State& state, int codePage, Figure& figure) {
  quillo::testing::ScopedCodePage cp(codePage);
  const std::string file = LargestMenuFile();
  MenuModel model;
  double bestParse = 1e9, bestScan = 1e9;
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    const bool ok = Parse(file, model);
    const Clock::time_point t1 = Clock::now();
    benchmark::DoNotOptimize(LineEnds(file));
    const Clock::time_point t2 = Clock::now();
    if (!ok) {
      state.SkipWithError("the largest file did not parse");
      break;
    }
    benchmark::DoNotOptimize(model.bodies.data());
    bestParse = std::min(bestParse, Seconds(t1 - t0));
    bestScan = std::min(bestScan, Seconds(t2 - t1));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
  state.counters["items"] = static_cast<double>(model.bodies.size());
  state.counters["file_bytes"] = static_cast<double>(file.size());
  if (bestScan > 0 && bestParse < 1e9) {
    state.counters["parse_per_line_scan"] = bestParse / bestScan;
    figure.parseMs = bestParse * 1e3;
    figure.scanMs = bestScan * 1e3;
    figure.measured = true;
  }
}

// Each iteration parses once and scans once: the time shown is the sum.
void BM_ParseLargestMenuFile_CodePage1252(benchmark::State& state) { ParseLargest(state, 1252, g_figures[0]); }
BENCHMARK(BM_ParseLargestMenuFile_CodePage1252)->Unit(benchmark::kMillisecond);

// Shift-JIS: every byte is a candidate for the lead-byte test.
void BM_ParseLargestMenuFile_CodePage932(benchmark::State& state) { ParseLargest(state, 932, g_figures[1]); }
BENCHMARK(BM_ParseLargestMenuFile_CodePage932)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const int codePages[2] = {1252, 932};
  for (int i = 0; i < 2; ++i) {
    const Figure& f = g_figures[i];
    if (!f.measured) continue;
    const double ratio = f.parseMs / f.scanMs;
    std::printf("[ figure ] largest menu file, code page %d: parse %.3f ms, one memchr pass for line ends %.4f ms: "
                "%.1f times the line scan (goal <= %.0f times)%s\n",
                codePages[i], f.parseMs, f.scanMs, ratio, kGoalRatio, ratio <= kGoalRatio ? "" : " OVER THE GOAL");
  }
  return 0;
}
