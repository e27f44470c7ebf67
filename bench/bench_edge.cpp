// One kinematic-wave step of a slope edge, with and without surface flow.
// Reports the time per node update ("per_node", in seconds with an SI
// prefix: "35n" is 35 ns).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "edge.h"

namespace {

// A slope of 100 m x 20 m, gradient 0.2, without upper edges, brought to the
// steady state of `rain` (mm/h) so that every step stays in one regime.
void PrepareSlope(Edge& e, int ndiv, double rain) {
  std::string rec = "1  0 0 0  0  0  1  100 0.2 2000\n";
  FILE* f = fmemopen(&rec[0], rec.size(), "r");
  if (f == nullptr) std::abort();
  e.TopographicData(f, 2);
  std::fclose(f);
  e.ParametersInFlowModel(0.3, 5.0 / 3.0, 0.01, 1.0, 0.3, 0.1, 2.0, 0.6, 0.0001, 1.0, 0.001, ndiv, 600);
  e.DistributionRate();
  e.Discharge(0.0, 0.0);
  for (int i = 0; i < 5000; i++) e.Calculate(rain);
}

void StepSlope(benchmark::State& state, double rain) {
  const int ndiv = static_cast<int>(state.range(0));
  Edge e;
  PrepareSlope(e, ndiv, rain);
  for (auto _ : state) {
    benchmark::DoNotOptimize(e.Calculate(rain));
    benchmark::ClobberMemory();
  }
  // Seconds per node update, printed with its prefix (for example "35.1n").
  state.counters["per_node"] = benchmark::Counter(static_cast<double>(state.iterations()) * ndiv,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["storage_m3"] = e.Storage();
}

// 10 mm/h: matrix and A-layer flow only (outflow 0.0056 m3/s, below the
// surface threshold 0.0098 m3/s).
void BM_SlopeStepSubsurface(benchmark::State& state) { StepSlope(state, 10.0); }
// 200 mm/h: surface flow on most of the slope; the speed and the storage
// heights need the Newton iteration.
void BM_SlopeStepSurface(benchmark::State& state) { StepSlope(state, 200.0); }

BENCHMARK(BM_SlopeStepSubsurface)->Arg(10)->Arg(100);
BENCHMARK(BM_SlopeStepSurface)->Arg(10)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
