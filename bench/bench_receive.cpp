// Interpolating receive port costs: a value must cost a halving search
// (logarithmic in the packs published), a sum the search plus the packs it
// covers, whatever the connection type.
//
// BM_GetData: Get_data at times spread over a series of n packs.
// BM_GetDataSum: Get_data_sum over windows of 10 packs in a series of n.
// BM_KinemStep: one step of a channel of `div` divisions (per-node cost).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "kinem.h"
#include "receive.h"

namespace {

struct Series {
  Send<double> sp{"sp", 0};
  Receive<double> rp{"rp", 0};
  explicit Series(Long n, int type) {
    sp.Register_receiver(&rp);
    rp.Set_sender(&sp);
    sp.Switch();
    for (Long k = 0; k < n; ++k) sp.Send_data(k * 60, static_cast<double>(k % 17));
    sp.Set_data_pack_array();
    rp.Set_data_connection_type(type);
  }
};

void BM_GetData(benchmark::State& state) {
  const Long n = static_cast<Long>(state.range(0));
  Series s(n, static_cast<int>(state.range(1)));
  const Long span = (n - 1) * 60;
  Long t = 0;
  double sum = 0;
  for (auto _ : state) {
    t = (t + 7919 * 13) % span;
    sum += s.rp.Get_data(t);
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_GetData)->ArgsProduct({{1000, 100000, 1000000}, {0, 1, 2}});

void BM_GetDataSum(benchmark::State& state) {
  const Long n = static_cast<Long>(state.range(0));
  Series s(n, static_cast<int>(state.range(1)));
  const Long span = (n - 11) * 60;
  Long t = 0;
  double sum = 0;
  for (auto _ : state) {
    t = (t + 7919 * 13) % span;
    sum += s.rp.Get_data_sum(t, t + 600);
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_GetDataSum)->ArgsProduct({{1000, 100000, 1000000}, {0, 1, 2}});

// The channel with its step set as the framework sets it before a step.
class Stepped_kinem : public Kinem {
 public:
  Stepped_kinem() : Kinem("ch", 0, 1, 1) {}
  void Set_step(Long s) { time_step = s; }
};

void BM_KinemStep(benchmark::State& state) {
  const int div = static_cast<int>(state.range(0));
  Stepped_kinem k;
  Send<double> up("up", 0), lat("lat", 0);
  k.Construct();
  up.Register_receiver(&k.Upstream_port(0));
  k.Upstream_port(0).Set_sender(&up);
  lat.Register_receiver(&k.Lateral_port(0));
  k.Lateral_port(0).Set_sender(&lat);
  up.Switch();
  lat.Switch();
  k.Switch();
  std::string p = "1000 5 0.01 0.03 " + std::to_string(div) + " 60 0.7\n";
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i <= div; ++i) p += pass == 0 ? "0.4 " : "0.5 ";
    p += "\n";
  }
  FILE* pf = fmemopen(&p[0], p.size(), "r");
  k.Set_parameter(pf);
  std::fclose(pf);
  std::string st = "0\n";
  FILE* sf = fmemopen(&st[0], st.size(), "r");
  k.Set_initial_state(sf);
  std::fclose(sf);
  // Inflows far ahead, so that every step finds its data.
  for (Long t = 0; t <= 60 * 2000000; t += 60 * 1000) {
    up.Send_data(t, 2.0);
    lat.Send_data(t, 1.0);
  }
  up.Set_data_pack_array();
  lat.Set_data_pack_array();
  k.Initial_output();
  k.Set_step(60);
  // The per-step progress line goes to /dev/null while the loop runs.
  std::fflush(stdout);
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  close(null);
  for (auto _ : state) {
    benchmark::DoNotOptimize(k.Calculate());
    k.Renew_current_time();  // the clock moves on as after a step
    if (k.Current_time() > 60 * 1900000) {
      state.SkipWithError("inflow series exhausted");
      break;
    }
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  state.counters["per_node"] = benchmark::Counter(static_cast<double>(state.iterations()) * div,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_KinemStep)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
