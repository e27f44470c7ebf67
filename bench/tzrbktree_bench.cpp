// Loading edges by number into the keyed red-black tree and finding them,
// as the runoff element does while it reads a network.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tzdefs.h"
#include "tzrbktree.h"

namespace {

std::vector<Long> ShuffledNumbers(Long n) {
  std::vector<Long> v(n);
  for (Long k = 0; k < n; ++k) v[k] = k + 1;
  std::shuffle(v.begin(), v.end(), std::mt19937(7));
  return v;
}

void BM_RbKeyTreeInsert(benchmark::State& state) {
  const std::vector<Long> keys = ShuffledNumbers(static_cast<Long>(state.range(0)));
  for (auto _ : state) {
    TzRbKeyTree<Long, const Long*> t;
    for (const Long& k : keys) t.Insert(k, &k);
    benchmark::DoNotOptimize(t.GetPtrToData(1));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RbKeyTreeInsert)->Arg(100000);

void BM_RbKeyTreeLookup(benchmark::State& state) {
  const std::vector<Long> keys = ShuffledNumbers(static_cast<Long>(state.range(0)));
  TzRbKeyTree<Long, const Long*> t;
  for (const Long& k : keys) t.Insert(k, &k);
  for (auto _ : state) {
    for (const Long& k : keys) benchmark::DoNotOptimize(t.GetPtrToData(k));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RbKeyTreeLookup)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
