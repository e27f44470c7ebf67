// Reading data blocks must cost time linear in their size: a stock file may
// hold every buffered rain grid as one block.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "f_look.h"

namespace {

// A nested block of n items like the packs of a matrix port.
FILE* block_file(int n) {
  FILE* fp = std::tmpfile();
  std::fputs("(\n", fp);
  for (int k = 0; k < n; ++k) std::fprintf(fp, "(%g)\n", k * 0.25);
  std::fputs(")\n", fp);
  return fp;
}

void BM_MakeDataString(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  FILE* fp = block_file(n);
  long bytes = std::ftell(fp);
  for (auto _ : state) {
    std::rewind(fp);
    int c = std::getc(fp);
    char* str = nullptr;
    int length = 0;
    if (!Make_data_string("bench", fp, c, str, length, '(', ')', '#', '\\')) state.SkipWithError("block refused");
    benchmark::DoNotOptimize(str);
    delete[] str;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
  std::fclose(fp);
}
BENCHMARK(BM_MakeDataString)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
