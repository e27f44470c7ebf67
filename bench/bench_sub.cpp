// Building a sub-system of n components: the cost per registered component
// (registration with its duplicate test, Construct of each component with
// its two ports, a connection between neighbours). It should stay flat as
// n grows from 10^3 to 10^5, as a basin of that many channel reaches needs.
// (With a scan of the registration list for duplicates it grew with n:
// 6 us per component at 10^3, 176 us at 3 x 10^4.)
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "p_tmp.h"
#include "receive.h"
#include "sub.h"

namespace {

class Reach : public Element {
 public:
  explicit Reach(int number) : rp("rp", 0), sp("sp", 0) { Init("reach", number, 0, nullptr); }
  int Register_receive_ports() override { return Register(&rp); }
  int Register_send_ports() override { return Register(&sp); }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 10; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override { return 1; }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE*) override { return 1; }
  Receive<double> rp;
  Send<double> sp;
};

class Basin : public Sub_system {
 public:
  explicit Basin(int n) {
    Init("basin", 0, 0, 0, nullptr);
    for (int i = 0; i < n; ++i) reaches.emplace_back(new Reach(i));
  }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override {
    for (auto& r : reaches) Register(r.get());
    return 1;
  }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    for (std::size_t i = 1; i < reaches.size(); ++i) Connect(&reaches[i - 1]->sp, &reaches[i]->rp);
    return 1;
  }
  int Connect_components() override { return 1; }
  std::vector<std::unique_ptr<Reach> > reaches;
};

void BM_ConstructBasin(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto basin = std::make_unique<Basin>(n);
    state.ResumeTiming();
    benchmark::DoNotOptimize(basin->Construct());
    state.PauseTiming();
    basin.reset();
    state.ResumeTiming();
  }
  state.counters["time_per_component"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConstructBasin)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
