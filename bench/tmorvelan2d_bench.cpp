// tmorvelan2d end to end on a generated basin, beside the edge steps alone.
//
// The basin: units of one outlet river edge fed by two cascades of four
// slope edges (100 m long, gradient 0.1, 5000 m2 each), laid out over a
// 10 km x 10 km square; a rain file of 100 x 100 cells of 100 m, one record
// every `interval` seconds over the run, rain bands drifting from
// west to east (see StormRain); every slope edge 10 divisions, 60 s steps.
// The basin starts wet, with the discharges of a steady rain of the storm's
// mean intensity, so that every step costs about the same from the first
// one and the run time shows how it grows with the steps.
//
// Each case runs the real program in a fresh directory (answers: the run
// length, an increment of one hour, Y) and measures its processor time,
// then steps the same edges in this process under the same rain, in the
// same order, with and without Edge::Calculate, to find the processor time
// spent inside it. The three are repeated TZ_BENCH_RUNS times (default 3)
// in turn and the smallest time of each is kept, which other work on a
// shared machine disturbs least. Counters: cpu_s (the program),
// node_updates_per_s (slope edges x divisions x steps / cpu_s), edge_cpu_s,
// outside_cpu_s and share_outside_edge (1 - edge time / program time:
// framework, rain file, interpolation, output).
//
//   [TZ_BENCH_RUNS=n] tmorvelan2d_bench [--benchmark_filter=...]
// Cases: Program/<edges>/<steps>/<rain interval s>/<grid cells per side>.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "edge.h"

namespace {

constexpr int kDt = 60;
constexpr int kNdiv = 10;
// The rain grid: gCells x gCells cells of gCell m over the 10 km square (set
// by each case; 100 x 100 cells of 100 m unless a case says otherwise).
int gCells = 100;
double gCell = 100.0;
constexpr int kChain = 4;  // slope edges per cascade; two cascades per unit

// The rain: bands 4 km apart drifting east at 0.5 m/s, between 5 and 25
// mm/h around a mean of 15 mm/h, over the whole square from the start;
// printed with two decimals.
constexpr double kMeanRain = 15;
double StormRain(double x, double y, double t) {
  const double pi = 3.14159265358979;
  return kMeanRain + 10 * std::sin(2 * pi * (x - 0.5 * t) / 4000) * std::cos(2 * pi * y / 10000);
}

// The slope area of a generated slope edge (m2).
constexpr double kSlopeArea = 5000;

struct Basin {
  std::string dir;
  int slopes = 0;
  std::vector<double> ex, ey;     // slope edge points, in file order (rivers: NaN)
  std::vector<double> qup, qlow;  // initial discharges at both ends (m3/s)
};

Basin Generate(int edges, int steps, int interval) {
  Basin b;
  char tmpl[] = "/tmp/tmorvelan2d_bench_XXXXXX";
  b.dir = mkdtemp(tmpl);
  const int units = (edges + 2 * kChain) / (2 * kChain + 1);
  const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(units))));
  const double span = gCells * gCell / side;
  FILE* net = std::fopen((b.dir + "/basin.con").c_str(), "w");
  FILE* par = std::fopen((b.dir + "/basin.pmt").c_str(), "w");
  FILE* ini = std::fopen((b.dir + "/basin.ist").c_str(), "w");
  const int total = units * (2 * kChain + 1);
  std::fprintf(net, "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n%d\n[Data]\n", total);
  std::fprintf(par, "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n%d\n[Data]\n", total);
  std::fprintf(ini, "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n%d\n[Data]\n", total);
  int num = 0, node = 0;
  for (int u = 0; u < units; ++u) {
    const double X = (u % side) * span, Y = (u / side) * span;
    const int river = num + 2 * kChain + 1;
    const int riverUp = node + 1;  // the node where both cascades end
    node += 2;
    int bottoms[2];
    for (int s = 0; s < 2; ++s) {
      const double x = X + span * (0.25 + 0.5 * s);
      for (int k = 0; k < kChain; ++k) {
        const int id = ++num;
        const int up = ++node;
        const int low = k + 1 < kChain ? node + 1 : riverUp;
        const double yu = Y + span * (0.95 - 0.2 * k), yl = Y + span * (0.75 - 0.2 * k);
        std::fprintf(net, "%d %d %.1f %.1f %d %d %.1f %.1f %d ", id, up, x, yu, 100 - 10 * k, low, x, yl, 90 - 10 * k);
        if (k == 0)
          std::fprintf(net, "0 ");
        else
          std::fprintf(net, "1 %d ", id - 1);
        std::fprintf(net, "1 %d 1 100 0.1 %g\n", k + 1 < kChain ? -(id + 1) : -river, kSlopeArea);
        b.ex.push_back(x);
        b.ey.push_back((yu + yl) / 2);
        // Steady under the mean rain: the edge passes on what falls on it
        // and on the edges above it.
        b.qup.push_back(kMeanRain * 0.001 / 3600 * kSlopeArea * k);
        b.qlow.push_back(kMeanRain * 0.001 / 3600 * kSlopeArea * (k + 1));
        ++b.slopes;
      }
      bottoms[s] = num;
    }
    const int id = ++num;
    std::fprintf(net, "%d %d %.1f %.1f 50 %d %.1f %.1f 45 2 %d %d 0 2\n", id, riverUp, X + span * 0.5, Y + span * 0.1,
                 riverUp + 1, X + span * 0.5, Y + span * 0.05, bottoms[0], bottoms[1]);
    b.ex.push_back(NAN);
    b.ey.push_back(NAN);
    const double q = kMeanRain * 0.001 / 3600 * kSlopeArea * 2 * kChain;
    b.qup.push_back(q);
    b.qlow.push_back(q);
  }
  for (int i = 1; i <= total; ++i) {
    std::fprintf(par, "%d 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 %d\n", i, kNdiv);
    const std::size_t k = static_cast<std::size_t>(i - 1);
    std::fprintf(ini, "%d %.9g %.9g\n", i, b.qup[k], b.qlow[k]);
  }
  std::fclose(net);
  std::fclose(par);
  std::fclose(ini);

  FILE* rain = std::fopen((b.dir + "/radarRain_4.dat").c_str(), "w");
  std::fprintf(rain, "# generated rain bands (mm/h)\n");
  const int run = steps * kDt;
  for (int t = 0; t <= run + interval; t += interval) {
    std::fprintf(rain, "%d %d %d\n", t, gCells, gCells);
    for (int j = gCells - 1; j >= 0; --j) {
      for (int i = 0; i < gCells; ++i)
        std::fprintf(rain, i + 1 < gCells ? "%.2f " : "%.2f\n", StormRain((i + 0.5) * gCell, (j + 0.5) * gCell, t));
    }
  }
  std::fclose(rain);

  std::ofstream(b.dir + "/tmorvelan2d.pmt") << "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n"
                                            << kDt << " basin.con basin.pmt 0 0 " << gCell << " " << gCell << "\n}\n";
  std::ofstream(b.dir + "/tmorvelan2d.ist")
      << "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 basin.ist\n}\n";
  std::ofstream(b.dir + "/answers") << run << "\n3600\nY\n";
  return b;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The processor time of this process so far.
double CpuNow() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The program's wall time, or a negative number when it failed; its
// processor time (user and system) in *cpu.
double RunProgram(const Basin& b, double* cpu) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(b.dir.c_str()) != 0) _exit(120);
    if (!std::freopen("answers", "r", stdin) || !std::freopen("console.txt", "w", stdout) ||
        !std::freopen("errors.txt", "w", stderr))
      _exit(121);
    execl(TZ_TMORVELAN2D_EXE, "tmorvelan2d", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage use {};
  wait4(pid, &status, 0, &use);
  auto t1 = std::chrono::steady_clock::now();
  *cpu = use.ru_utime.tv_sec + use.ru_utime.tv_usec * 1e-6 + use.ru_stime.tv_sec + use.ru_stime.tv_usec * 1e-6;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Seconds(t0, t1);
}

// The edges of the generated network, loaded as the element loads them,
// stepped in file order under the rain of their cells; with `calculate`
// false only the rain of each edge is found. Returns the processor time.
double StepEdges(const Basin& b, int steps, int interval, bool calculate, double* sink) {
  FILE* net = std::fopen((b.dir + "/basin.con").c_str(), "r");
  char line[256];
  while (std::fgets(line, sizeof line, net) && std::string(line).rfind("[Data]", 0) != 0) {
  }
  const std::size_t n = b.ex.size();
  std::unique_ptr<Edge[]> edges(new Edge[n]);
  for (std::size_t i = 0; i < n; ++i) edges[i].TopographicData(net, 4);
  std::fclose(net);
  for (std::size_t i = 0; i < n; ++i) {
    edges[i].ParametersInFlowModel(0.3, 1.667, 0.001, 0.5, 0.02, 0.005, 4.0, 0.65, 0.000001, 10, 0.0001, kNdiv, kDt);
    for (int k = 0; k < edges[i].NumberOfUpperEdges(); ++k) {
      Long up = edges[i].UpperEdgeNumArray(k);
      edges[i].RegisterUpperEdge(&edges[static_cast<std::size_t>((up < 0 ? -up : up) - 1)]);
    }
  }
  std::vector<int> cell(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    edges[i].DistributionRate();
    edges[i].CalcUpperArea();
    edges[i].Discharge(b.qup[i], b.qlow[i]);
    edges[i].CalcSatArea();
    if (!std::isnan(b.ex[i])) cell[i] = static_cast<int>(b.ex[i] / gCell) * gCells + static_cast<int>(b.ey[i] / gCell);
  }
  // The rain records as the program holds them: values with two decimals.
  const int records = steps * kDt / interval + 2;
  std::vector<std::vector<double>> grid(static_cast<std::size_t>(records), std::vector<double>(gCells * gCells));
  char text[32];
  for (int r = 0; r < records; ++r)
    for (int i = 0; i < gCells; ++i)
      for (int j = 0; j < gCells; ++j) {
        std::snprintf(text, sizeof text, "%.2f", StormRain((i + 0.5) * gCell, (j + 0.5) * gCell, r * interval));
        grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(i * gCells + j)] = std::strtod(text, nullptr);
      }
  double sum = 0;
  const double t0 = CpuNow();
  for (int s = 1; s <= steps; ++s) {
    const int t = s * kDt;
    const int r = t / interval;
    const double wl = static_cast<double>(t - r * interval) / interval, wf = 1 - wl;
    const std::vector<double>& F = grid[static_cast<std::size_t>(r)];
    const std::vector<double>& L = grid[static_cast<std::size_t>(r + 1)];
    for (std::size_t i = 0; i < n; ++i) {
      const double rain = F[static_cast<std::size_t>(cell[i])] * wf + L[static_cast<std::size_t>(cell[i])] * wl;
      if (calculate) {
        edges[i].Calculate(rain);
        sum += edges[i].DischargeLowerEnd();
      } else {
        sum += rain;
      }
    }
  }
  const double t1 = CpuNow();
  *sink = sum;
  return t1 - t0;
}

void Program(benchmark::State& state) {
  const int edges = static_cast<int>(state.range(0));
  const int steps = static_cast<int>(state.range(1));
  const int interval = static_cast<int>(state.range(2));
  gCells = static_cast<int>(state.range(3));
  gCell = 10000.0 / gCells;
  Basin b = Generate(edges, steps, interval);
  const char* runsText = std::getenv("TZ_BENCH_RUNS");
  const int runs = runsText && std::atoi(runsText) > 0 ? std::atoi(runsText) : 3;
  // Processor times, which the other work on a shared machine disturbs less
  // than wall times; the smallest of the runs.
  double program = 0, cpu = 0, with = 0, without = 0;
  for (auto _ : state) {
    double best = 0;
    for (int r = 0; r < runs; ++r) {
      double c = 0, sink = 0;
      const double wall = RunProgram(b, &c);
      if (wall < 0) {
        program = -1;
        break;
      }
      const double w = StepEdges(b, steps, interval, true, &sink);
      const double wo = StepEdges(b, steps, interval, false, &sink);
      benchmark::DoNotOptimize(sink);
      if (r == 0 || c < cpu) {
        cpu = c;
        best = wall;
      }
      if (r == 0 || w < with) with = w;
      if (r == 0 || wo < without) without = wo;
    }
    if (program < 0) {
      state.SkipWithError("tmorvelan2d failed");
      break;
    }
    program = best;
    state.SetIterationTime(program);
  }
  if (program > 0) {
    const double inside = with - without;
    const double updates = static_cast<double>(b.slopes) * kNdiv * steps;
    state.counters["edges"] = static_cast<double>(b.ex.size());
    state.counters["rain_records"] = steps * kDt / interval + 2;
    state.counters["cpu_s"] = cpu;
    state.counters["node_updates_per_s"] = updates / cpu;
    state.counters["edge_cpu_s"] = inside;
    state.counters["outside_cpu_s"] = cpu - inside;
    state.counters["share_outside_edge"] = 1 - inside / cpu;
  }
  std::filesystem::remove_all(b.dir);
}

// The main case (20000 edges, a day of 60 s steps, 5-minute rain), then the
// growth with edges, with steps, with rain records and with the grid size.
BENCHMARK(Program)
    ->Args({20000, 1440, 300, 100})
    ->Args({5000, 360, 300, 100})
    ->Args({10000, 360, 300, 100})
    ->Args({20000, 360, 300, 100})
    ->Args({5000, 720, 300, 100})
    ->Args({5000, 1440, 300, 100})
    ->Args({5000, 360, 150, 100})
    ->Args({5000, 360, 75, 100})
    ->Args({5000, 360, 38, 100})
    // A small basin under grids of growing size: the steps read only the
    // cells the edges use.
    ->Args({1000, 1440, 21600, 100})
    ->Args({1000, 1440, 21600, 1000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
