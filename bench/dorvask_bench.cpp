// dorvask on a generated basin of 10^6 edges, side by side with `sort -n`
// on the same input file (both write their output to a file in the same
// temporary directory). dorvask should take at most twice as long.
//
// The basin: 250 000 river edges (attribute 2) forming a random tree that
// drains to node 1, and 750 000 slope edges (attribute 1) from hill nodes
// down to the river nodes, numbered in the order pelmic writes them.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tzdefs.h"
#include "tzfastio.h"

#ifdef TZ_DORVASK_EXE

namespace {

namespace fs = std::filesystem;

struct Basin {
  fs::path dir, input;
  Basin() {
    std::string tmpl = (fs::temp_directory_path() / "dorvask_bench.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir = tmpl;
    input = dir / "basin.v4";
    const Long rivers = 250000, slopes = 750000;
    std::mt19937 gen(20261210);
    std::uniform_real_distribution<double> xy(0.0, 40000.0), len(20.0, 400.0), area(500.0, 60000.0);
    std::ofstream f(input);
    f << "[Comment]\nThis dataset was generated from basin.e0 and basin.n0 by pelmic.\n"
         "[Data Format Name]\nedge format V.4\n[Number of BBEdges]\n"
      << slopes << "\n[Number of BREdges]\n"
      << rivers << "\n[Number of RREdges]\n0\n[Number of Total Edges]\n"
      << rivers + slopes << "\n[Data]\n";
    char buf[256];
    auto real = [&](char* p, double v) {
      p = tz::PutReal(p, v);
      *p++ = ' ';
      return p;
    };
    auto integer = [&](char* p, Long v) {
      p = tz::PutInt(p, v);
      *p++ = ' ';
      return p;
    };
    // River node k + 1 drains to a node among 1 .. k; slope edges drain to
    // river nodes. Edge numbers 1 .. rivers are the river edges.
    for (Long e = 1; e <= rivers + slopes; ++e) {
      Long up, low;
      int atr;
      if (e <= rivers) {
        up = e + 1;
        low = 1 + static_cast<Long>(gen() % static_cast<std::uint32_t>(e));
        atr = 2;
      } else {
        up = rivers + 1 + e;
        low = 1 + static_cast<Long>(gen() % static_cast<std::uint32_t>(rivers + 1));
        atr = 1;
      }
      char* p = buf;
      p = integer(p, e);
      p = integer(p, up);
      p = real(p, xy(gen));
      p = real(p, xy(gen));
      p = real(p, 100.0 + 0.001 * static_cast<double>(up % 100000));
      p = integer(p, low);
      p = real(p, xy(gen));
      p = real(p, xy(gen));
      p = real(p, 100.0 + 0.001 * static_cast<double>(low % 100000));
      p = integer(p, atr);
      if (atr == 1) {
        p = real(p, len(gen));
        p = real(p, 0.01 + 0.5 * static_cast<double>(gen() % 1000) / 1000.0);
        p = tz::PutReal(p, area(gen));
      }
      *p++ = '\n';
      f.write(buf, p - buf);
    }
  }
  ~Basin() { fs::remove_all(dir); }
};

Basin& basin() {
  static Basin b;
  return b;
}

void runShell(benchmark::State& state, const std::string& cmd) {
  state.counters["input_MB"] = static_cast<double>(fs::file_size(basin().input)) / 1e6;
  for (auto _ : state) {
    int rc = std::system(cmd.c_str());
    if (!WIFEXITED(rc) || WEXITSTATUS(rc) != 0) {
      state.SkipWithError("the command failed");
      break;
    }
  }
}

void BM_Dorvask(benchmark::State& state) {
  Basin& b = basin();
  runShell(state, "'" + std::string(TZ_DORVASK_EXE) + "' '" + b.input.string() + "' '" +
                      (b.dir / "basin.v4c").string() + "' > /dev/null");
}

void BM_SortN(benchmark::State& state) {
  Basin& b = basin();
  runShell(state, "sort -n '" + b.input.string() + "' > '" + (b.dir / "basin.sorted").string() + "'");
}

}  // namespace

BENCHMARK(BM_Dorvask)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(3);
BENCHMARK(BM_SortN)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(3);

#endif

BENCHMARK_MAIN();
