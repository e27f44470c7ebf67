// Reading a rain grid file: the gridded file port beside a bare parse of the
// same numbers with std::from_chars.
//
// The file: `records` hourly records of 100 x 100 cells, values with two
// decimals (a storm crossing the grid, zero elsewhere), about 50 kB per
// record; 8760 records (a year) by default.
//
//   i_file_matrix_bench [--benchmark_filter=...]
// FromChars/<records>: read the file and parse every item with from_chars.
// InputData/<records>: a fresh port reads the file (every pack stocked).
// ReRead/<records>: the same port after the file grew by one record: every
//   line is checked again, only the new record is stored.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "i_file_matrix.h"

namespace {

constexpr int kCells = 100;

std::string Path(int records) { return "/tmp/i_file_matrix_bench_" + std::to_string(records) + ".dat"; }

void WriteRecord(FILE* f, int r) {
  std::fprintf(f, "%d %d %d\n", r * 3600, kCells, kCells);
  const double cx = (r % 48) * 4.0 - 40, cy = 50;
  for (int j = kCells - 1; j >= 0; --j)
    for (int i = 0; i < kCells; ++i) {
      const double dx = (i - cx) / 15, dy = (j - cy) / 30;
      std::fprintf(f, i + 1 < kCells ? "%.2f " : "%.2f\n", 25 * std::exp(-(dx * dx + dy * dy)));
    }
}

// The file of `records` records (made once, kept for the other cases).
const std::string& File(int records) {
  static std::string made[2];
  static int madeRecords[2] = {0, 0};
  for (int k = 0; k < 2; ++k)
    if (madeRecords[k] == records) return made[k];
  int k = madeRecords[0] == 0 ? 0 : 1;
  made[k] = Path(records);
  madeRecords[k] = records;
  FILE* f = std::fopen(made[k].c_str(), "w");
  std::fprintf(f, "# generated rain (mm/h)\n");
  for (int r = 0; r < records; ++r) WriteRecord(f, r);
  std::fclose(f);
  return made[k];
}

double FileMB(const std::string& path) { return static_cast<double>(std::filesystem::file_size(path)); }

void FromChars(benchmark::State& state) {
  const std::string& path = File(static_cast<int>(state.range(0)));
  std::vector<char> block(1 << 20);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "r");
    double sum = 0;
    std::string carry;
    std::size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) {
      // Items cut at the block end are carried to the next block.
      carry.append(block.data(), n);
      const char* p = carry.data();
      const char* end = p + carry.size();
      const char* last = end;
      while (last > p && last[-1] != '\n') --last;
      while (p < last) {
        if (*p == '#') {
          while (p < last && *p != '\n') ++p;
          continue;
        }
        while (p < last && (*p == ' ' || *p == '\n')) ++p;
        if (p == last) break;
        double v;
        auto r = std::from_chars(p, last, v);
        sum += v;
        p = r.ptr;
      }
      carry.erase(0, static_cast<std::size_t>(last - carry.data()));
    }
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(FileMB(path)) * state.iterations());
}

void InputData(benchmark::State& state) {
  const std::string& path = File(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto port = std::make_unique<I_file_matrix<TzMatrix<double>>>(path.c_str());
    port->Switch();
    auto t0 = std::chrono::steady_clock::now();
    port->Input_data();
    auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    if (port->Number_of_data_packs() != state.range(0)) state.SkipWithError("packs missing");
  }
  state.SetBytesProcessed(static_cast<int64_t>(FileMB(path)) * state.iterations());
}

void ReRead(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string path = Path(records) + ".grown";
  std::filesystem::copy_file(File(records), path, std::filesystem::copy_options::overwrite_existing);
  for (auto _ : state) {
    std::filesystem::copy_file(File(records), path, std::filesystem::copy_options::overwrite_existing);
    auto port = std::make_unique<I_file_matrix<TzMatrix<double>>>(path.c_str());
    port->Switch();
    port->Input_data();
    FILE* f = std::fopen(path.c_str(), "a");
    WriteRecord(f, records);
    std::fclose(f);
    struct timespec times[2] = {{4102444800, 0}, {4102444800, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    auto t0 = std::chrono::steady_clock::now();
    port->Input_data();
    auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    if (port->Number_of_data_packs() != records + 1) state.SkipWithError("new pack missing");
  }
  state.SetBytesProcessed(static_cast<int64_t>(FileMB(path)) * state.iterations());
  std::filesystem::remove(path);
}

BENCHMARK(FromChars)->Arg(8760)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(InputData)->Arg(8760)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReRead)->Arg(8760)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  // The port reports every read on the error stream; keep the table clean.
  if (!std::freopen("/dev/null", "w", stderr)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int r : {8760}) std::filesystem::remove(Path(r));
  return 0;
}
