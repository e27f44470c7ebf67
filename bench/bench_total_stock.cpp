// The send-port stock file may hold every buffered value of a long run:
// writing it and reading it back must cost time linear in its size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "input_f.h"
#include "output_f.h"
#include "p_tmp.h"
#include "total.h"

namespace {

// A system whose only send port is an input file port holding n packs.
class Store : public Total_system {
 public:
  Store() : in("store.dat") { Init("store", 0, 0); }
  int Register_input_ports() override { return Register(&in); }
  int Register_output_ports() override { return 1; }
  int Register_components() override { return 1; }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  I_file<double> in;
};

std::string stock_path(int n) { return "/tmp/bench_total_stock_" + std::to_string(getpid()) + "_" + std::to_string(n); }

void write_stock(int n, const std::string& path) {
  Store s;
  s.Construct();
  s.Switch();
  for (int k = 0; k < n; ++k) {
    std::string items = std::to_string(600 * k) + '\0' + std::to_string(0.001 * k) + '\0' + '\0';
    char* cursor = &items[0];
    s.in.Send_by_string(cursor);
  }
  s.Write_send_port_stock(path.c_str());
}

void BM_WriteSendPortStock(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::string path = stock_path(n);
  for (auto _ : state) write_stock(n, path);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  std::remove(path.c_str());
}
BENCHMARK(BM_WriteSendPortStock)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

void BM_ReadSendPortFile(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::string path = stock_path(n);
  write_stock(n, path);
  for (auto _ : state) {
    Store s;
    s.Construct();
    s.Switch();
    s.Read_send_port_file(path.c_str());
    benchmark::DoNotOptimize(s.in.Number_of_data_packs());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadSendPortFile)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
