// The second phase of the text commands on the largest selection (20479
// bytes): each conversion mode, and enclosing per line, beside a plain copy of
// the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "code_page.h"
#include "text_commands/convert.h"
#include "text_commands/enclose.h"

using namespace quillo::hook;

namespace {

constexpr size_t kSelection = 20479;

// Mixed Japanese and ASCII lines of 60 bytes, in code page 932: kana of both
// widths with voiced marks, full-width letters, kanji.
std::string Selection() {
  const std::string line =
      "Quote me, said i. \x83\x4b\x83\x5c\xb6\xde\xca\xdf\x82\x81\x82\x60\x88\x9f\x82\xa9 abc DEF ghi\r\n";
  std::string text;
  while (text.size() + line.size() <= kSelection) text += line;
  text.append(kSelection - text.size(), 'x');
  return text;
}

void BM_PlainCopy(benchmark::State& state) {
  const std::string text = Selection();
  std::vector<char> out(ConvertedTextBytes(text.size()));
  for (auto _ : state) {
    std::memcpy(out.data(), text.data(), text.size() + 1);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainCopy);

void BM_Convert(benchmark::State& state) {
  quillo::testing::ScopedCodePage cp(932);
  const std::string text = Selection();
  ConvRules rules;
  rules.codePage = 932;
  std::vector<char> out(ConvertedTextBytes(text.size()));
  for (auto _ : state) {
    ConvertText(static_cast<int>(state.range(0)), text.data(), text.size(), out.data(), out.size(), rules);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Convert)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(5)->Arg(6)->Arg(7)->Arg(10)->Arg(11);

void BM_EncloseEachLine(benchmark::State& state) {
  quillo::testing::ScopedCodePage cp(932);
  const std::string text = Selection();
  for (auto _ : state) {
    // Measured and written, as the second phase does.
    const size_t bytes = EnclosedTextBytes(text.c_str(), "> ", "", true);
    std::vector<char> out(bytes);
    EncloseLines(text.c_str(), "> ", "", true, out.data(), bytes);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EncloseEachLine);

}  // namespace

BENCHMARK_MAIN();
