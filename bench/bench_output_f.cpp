// The output path: an output file port writes every published pack of its
// sender as one line, through one buffered stream per Output_data.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_owner.h"
#include "output_f.h"
#include "p_tmp.h"

namespace {

// The sending element.
class Owner : public Bench_owner {
 public:
  Owner() : Bench_owner("el") {}
};

void BM_OutputDataLines(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  char dir[] = "/tmp/bench_output_f_XXXXXX";
  if (!mkdtemp(dir)) {
    state.SkipWithError("no temporary directory");
    return;
  }
  std::string path = std::string(dir) + "/q.out";
  for (auto _ : state) {
    state.PauseTiming();
    Owner owner;
    Send<double> sp("sp", 0);
    sp.Set_owner(&owner);
    O_file<double> out(path.c_str(), 0);
    out.Set_sender(&sp);
    sp.Register_receiver(&out);
    sp.Switch();
    for (int k = 0; k < n; ++k) sp.Send_data(k * 600, 0.001 * k);
    sp.Set_data_pack_array();
    state.ResumeTiming();
    out.Output_data();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  std::remove(path.c_str());
  rmdir(dir);
}
BENCHMARK(BM_OutputDataLines)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A sender that keeps every pack (nothing released): each output writes the
// one new pack; finding it must not cost the packs held before it.
void BM_OutputDataOneNewPackOfMany(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  char dir[] = "/tmp/bench_output_f_XXXXXX";
  if (!mkdtemp(dir)) {
    state.SkipWithError("no temporary directory");
    return;
  }
  std::string path = std::string(dir) + "/q.out";
  {
    Owner owner;
    Send<double> sp("sp", 0);
    sp.Set_owner(&owner);
    sp.Set_protect_past_data_flag(YES);
    O_file<double> out(path.c_str(), 0);
    out.Set_sender(&sp);
    sp.Register_receiver(&out);
    sp.Switch();
    Long t = 0;
    for (int k = 0; k < n; ++k, t += 600) sp.Send_data(t, 0.001 * k);
    sp.Set_data_pack_array();
    out.Output_data();
    for (auto _ : state) {
      sp.Send_data(t, 1.0);
      t += 600;
      sp.Set_data_pack_array();
      out.Output_data();
    }
  }
  std::remove(path.c_str());
  rmdir(dir);
}
BENCHMARK(BM_OutputDataOneNewPackOfMany)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
