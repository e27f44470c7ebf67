// Framework cost per element step: a source element sends one double per
// step to a sink element that reads it back through Receive<double>; a
// sub-system schedules both, the medium-term target moving on by `inc`
// after each pass (so every Work0 call takes inc/10 steps and publishes
// and releases once). The figure is the time per step of both elements
// together; it should stay flat as the run grows from 10^3 to 10^6 steps.
#include <benchmark/benchmark.h>

#include "p_tmp.h"
#include "receive.h"
#include "sub.h"

namespace {

class Base : public Element {
 public:
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 10; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE*) override { return 1; }
};

class Source : public Base {
 public:
  Source() : sp("sp", 0) { Init("source", 0, 0, nullptr); }
  int Register_send_ports() override { return Register(&sp); }
  int Initial_output() override {
    sp.Send_data(current_time, 0.0);
    return 1;
  }
  int Calculate() override {
    sp.Send_data(Next_time(), Next_time() * 0.5);
    return 1;
  }
  Send<double> sp;
};

class Sink : public Base {
 public:
  Sink() : rp("rp", 0) { Init("sink", 0, 0, nullptr); }
  int Register_receive_ports() override { return Register(&rp); }
  int Calculate() override {
    sum += rp.Get_data(Next_time());
    return 1;
  }
  Receive<double> rp;
  double sum = 0;
};

class Root : public Sub_system {
 public:
  Root() { Init("root", 0, 0, 0, nullptr); }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override {
    Register(&sink);
    return Register(&source);
  }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return Connect(&source, "sp", 0, &sink, "rp", 0); }
  int Connect_components() override { return 1; }
  Time Terminal_time() override { return LONG_MAX32; }
  Time MediumTermTargetTime() override { return medium; }
  Sink sink;
  Source source;
  Long medium = 0;
};

void BM_ChainSteps(benchmark::State& state) {
  const Long steps = static_cast<Long>(state.range(0));
  const Long inc = 100;
  for (auto _ : state) {
    state.PauseTiming();
    Root root;
    root.Construct();
    root.Switch();
    root.Initial_time(0);
    while (root.Do_initial_work() == Element::E_DONE) {
    }
    state.ResumeTiming();
    for (Long t = inc; t <= steps * 10; t += inc) {
      root.medium = t;
      root.Work();
    }
    benchmark::DoNotOptimize(root.sink.sum);
  }
  state.SetItemsProcessed(state.iterations() * steps);
  state.counters["ns/step"] = benchmark::Counter(static_cast<double>(state.iterations() * steps),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ChainSteps)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
