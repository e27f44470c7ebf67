// Interpolating two rain grids in time, as the runoff element does once per
// step: the in-place form (scale each record, add) and the expression form.
#include <benchmark/benchmark.h>

#include "tzmatrix.h"

namespace {

void BM_InterpolateInPlace(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  const TzDMatrix first(n, n, 1.5), last(n, n, 3.0);
  for (auto _ : state) {
    TzDMatrix a = first, b = last;
    a *= 0.25;
    b *= 0.75;
    TzDMatrix r = a + b;
    benchmark::DoNotOptimize(r(0, 0));
  }
  state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_InterpolateInPlace)->Arg(256)->Arg(1024);

void BM_InterpolateExpression(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  const TzDMatrix first(n, n, 1.5), last(n, n, 3.0);
  for (auto _ : state) {
    TzDMatrix r = first * 0.25 + last * 0.75;
    benchmark::DoNotOptimize(r(0, 0));
  }
  state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_InterpolateExpression)->Arg(256)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
