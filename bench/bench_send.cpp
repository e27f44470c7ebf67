// Send port costs per pack: stocking, publication, queries and release must
// grow with the work done, not with the number of packs the port holds.
//
// BM_SteadyStream: an element stocks one pack per step and publishes every
// 10 steps; its one receiver reads around the oldest time it still needs
// and releases what lies before it, so the port holds `held` packs.
// BM_SegmentThenRelease: an output port keeps every pack of a run segment
// (n packs, published every 10), then releases them all.
// Both report the time per pack; the figures should stay flat from 10^3 to 10^6.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_owner.h"
#include "p_tmp.h"

namespace {

// The element that owns the ports; receivers read the window [from, to].
class Reader : public Bench_owner {
 public:
  Reader() : Bench_owner("reader") {}
};

class Receiver : public Receive_port {
 public:
  Receiver() : Receive_port("rp", 0) {}
  const char* Data_pack_type() const override { return "double"; }
  Port* NewPort() override { return nullptr; }
};

void BM_SteadyStream(benchmark::State& state) {
  const Long held = static_cast<Long>(state.range(0));
  const Long step = 10;
  Reader up, down;
  Send<double> sp("sp", 0);
  Receiver rp;
  sp.Set_owner(&up);
  rp.Set_owner(&down);
  sp.Register_receiver(&rp);
  rp.Set_sender(&sp);
  sp.Switch();
  Long t = 0;
  for (Long k = 0; k < held; ++k) sp.Send_data(t += step, 0.5);
  sp.Set_data_pack_array();
  double sum = 0;
  for (auto _ : state) {
    sp.Send_data(t += step, 0.5);
    if (t % (10 * step) == 0) {
      sp.Set_data_pack_array();
      down.from = t - held * step;
      Data_pack *before, *after;
      if (rp.Get_data_pack(before, down.from + step / 2, after, 'b'))
        sum += static_cast<Data<double>*>(before)->Value();
      rp.Reduce_data_pack_stock();
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["held"] = static_cast<double>(sp.Number_of_data_packs());
  state.counters["time_per_pack"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SteadyStream)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);

void BM_SegmentThenRelease(benchmark::State& state) {
  const Long n = static_cast<Long>(state.range(0));
  for (auto _ : state) {
    Reader up, down;
    Send<double> sp("sp", 0);
    Receiver rp;
    sp.Set_owner(&up);
    rp.Set_owner(&down);
    sp.Register_receiver(&rp);
    rp.Set_sender(&sp);
    sp.Switch();
    down.from = LONG_MIN32;
    for (Long t = 1; t <= n; ++t) {
      sp.Send_data(t, 0.25);
      if (t % 10 == 0) {
        sp.Set_data_pack_array();
        rp.Reduce_data_pack_stock();  // the window still reaches the first pack
      }
    }
    sp.Set_data_pack_array();
    down.from = n;
    rp.Reduce_data_pack_stock();
    benchmark::DoNotOptimize(sp.Number_of_data_packs());
  }
  state.counters["time_per_pack"] = benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(n),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SegmentThenRelease)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// BM_FanOut: one sender feeds `receivers` elements (a rain or inflow file
// read by every reach of a basin). Each step the sender stocks and
// publishes one pack; then every receiving element in turn takes its step
// and releases what it no longer needs, as an element does after its work.
// The figure is the time per receiving element and step; it should stay
// flat as the number of receivers grows. (Asking every receiver at every
// release made it grow with them: 0.1 us at 10 receivers, 91 us at 10^4.)
void BM_FanOut(benchmark::State& state) {
  const int receivers = static_cast<int>(state.range(0));
  Reader up;
  std::vector<std::unique_ptr<Reader> > owners;
  std::vector<std::unique_ptr<Receiver> > ports;
  Send<double> sp("sp", 0);
  sp.Set_owner(&up);
  for (int k = 0; k < receivers; ++k) {
    owners.emplace_back(new Reader());
    ports.emplace_back(new Receiver());
    ports.back()->Set_owner(owners.back().get());
    ports.back()->Set_sender(&sp);
    sp.Register_receiver(ports.back().get());
  }
  sp.Switch();
  Long t = 0;
  sp.Send_data(t, 1.0);
  sp.Set_data_pack_array();
  for (auto _ : state) {
    t += 10;
    sp.Send_data(t, 1.0);
    sp.Set_data_pack_array();
    for (int k = 0; k < receivers; ++k) {
      owners[static_cast<std::size_t>(k)]->from = t;
      ports[static_cast<std::size_t>(k)]->Reduce_data_pack_stock();
    }
  }
  state.counters["held"] = static_cast<double>(sp.Number_of_data_packs());
  state.counters["time_per_receiver_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * receivers, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FanOut)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
