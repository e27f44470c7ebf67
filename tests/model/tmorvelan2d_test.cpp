// tmorvelan2d from end to end: the real program in a temporary directory,
// with its fixed files, the answers piped to its standard input, its exit
// status, console and files checked.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"
#include "tmorvelan2d.h"

#ifdef TZ_TMORVELAN2D_EXE

namespace {

using ftest::Outcome;
using ftest::read_file;
using ftest::Temp_dir;
using ftest::write_file;

// Two slope edges of 20000 m2 each draining into the outlet river edge.
const char* const kNet =
    "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
    "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
    "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n"
    "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n";

std::string Params(int count = 3) {
  std::string s = "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n" +
                  std::to_string(count) + "\n[Data]\n";
  for (int n = 1; n <= 3; ++n)
    s += std::to_string(n) + " 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n";
  return s;
}

const char* const kIni =
    "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n"
    "1 0 0\n2 0 0\n3 0 0\n";

// Records "t 2 2" with every cell v.
std::string Rain(std::initializer_list<std::pair<int, double>> recs) {
  std::ostringstream s;
  s << "# radar rain (mm/h)\n";
  for (const auto& r : recs) s << r.first << " 2 2\n" << r.second << " " << r.second << "\n" << r.second << " " << r.second << "\n";
  return s.str();
}

const std::string kPmt =
    "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 500 500\n}\n";
const std::string kIst = "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n";

void WriteBasin(const Temp_dir& d, const std::string& rain) {
  write_file(d.file("net.con"), kNet);
  write_file(d.file("par.dat"), Params());
  write_file(d.file("ini.dat"), kIni);
  write_file(d.file("tmorvelan2d.pmt"), kPmt);
  write_file(d.file("tmorvelan2d.ist"), kIst);
  write_file(d.file("radarRain_4.dat"), rain);
}

int Exec() {
  execl(TZ_TMORVELAN2D_EXE, "tmorvelan2d", static_cast<char*>(nullptr));
  return 127;
}

Outcome RunProgram(const Temp_dir& d, const std::string& answers) {
  ftest::Dialogue dlg(Exec, d.path());
  dlg.send(answers);
  return dlg.finish();
}

// The (time, value) lines of a time-series file.
std::vector<std::pair<int, double>> Series(const std::string& text) {
  std::vector<std::pair<int, double>> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream l(line);
    int t;
    double v;
    if (l >> t >> v) out.push_back({t, v});
  }
  return out;
}

std::vector<int> Times(const std::vector<std::pair<int, double>>& s) {
  std::vector<int> t;
  for (const auto& p : s) t.push_back(p.first);
  return t;
}

TEST(Tmorvelan2d, RunWritesItsSeriesTerminalFilesAndDialogue) {
  Temp_dir d;
  WriteBasin(d, Rain({{0, 0}, {600, 12}, {1200, 6}}));
  Outcome o = RunProgram(d, "1200\n600\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "\ttotal area: 40000(m2)\n"
            "\n# Key in time_step for 'total_system'.\n# current_time = 0 : time_step = "
            "# Medium_term_target_time_increment = "
            "[morvelan2d 0] 300 : 0.000000   all_rain = 6.000000\n"
            "[morvelan2d 0] 600 : 0.000000   all_rain = 12.000000\n"
            "600\n"
            "[morvelan2d 0] 900 : 0.000001   all_rain = 9.000000\n"
            "[morvelan2d 0] 1200 : 0.000002   all_rain = 6.000000\n"
            "\n# Done.\n"
            "# Now : current_time = 1200 : terminal_time = 1200\n# Quit? [Y / N] : \n"
            "# Simulation ended.\n");
  EXPECT_EQ(o.err,
            "    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n"
            "File: radarRain_4.dat  newest data time : 1200\n");
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "300 6\n600 12\n900 9\n1200 6\n");
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg"}) {
    auto s = Series(read_file(d.file(f)));
    EXPECT_EQ(Times(s), (std::vector<int>{0, 300, 600, 900, 1200})) << f;
  }
  EXPECT_NE(read_file(d.file("tmorvelan2d.out")).find("# tmorvelan2d.out \n"), std::string::npos);
  EXPECT_NE(read_file(d.file("tmorvelan2d.stg")).find("Send<double> spStorage 0"), std::string::npos);
  EXPECT_EQ(read_file(d.file("tmorvelan2d.tst")),
            "# terminal state of vrb \n# current_time = 1200 \n# \n"
            "VirtualRiverBasin vrb 0 \n1200\n{\nMorvelan2d morvelan2d 0\n1200 ini.dat.tst\n\n}\n");
  EXPECT_TRUE(ftest::exists(d.file("tmorvelan2d.tsd")));
  const std::string tst = read_file(d.file("ini.dat.tst"));
  EXPECT_EQ(tst.substr(0, 17), "[Comment]\nThese a");
  const std::string head =
      "[Comment]\nThese are discharge data at both ends of all edges.\n"
      "Each column in [Data] section is as follows:\n<edge number>\n"
      "<discharge at upper end(m3/s)>\n<discharge at lower end(m3/s)>\n"
      "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n";
  ASSERT_EQ(tst.substr(0, head.size()), head);
  // One "%ld %f %f" line per edge in file order; the river edge's lower end
  // is the outflow written last to the series.
  char river[64];
  std::snprintf(river, sizeof river, "3 0.000000 %f\n", std::stod(read_file(d.file("tmorvelan2d.out")).substr(
                                                           read_file(d.file("tmorvelan2d.out")).rfind("1200 ") + 5)));
  EXPECT_TRUE(::testing::internal::RE::FullMatch(tst.substr(head.size()),
                                                 "1 0\\.000000 [0-9]+\\.[0-9]{6}\n2 0\\.000000 [0-9]+\\.[0-9]{6}\n3 .*\n"))
      << tst;
  EXPECT_EQ(tst.substr(tst.size() - std::strlen(river)), river);
}

TEST(Tmorvelan2d, InterpolationLeavesTheRainPacksAsRead) {
  // The step ending at 900 s lies halfway between the records of 600 and
  // 1200 s: its rain is their mean, and the two records, still held by the
  // rain port at the end, are written to the stock file as they were read.
  Temp_dir d;
  WriteBasin(d, Rain({{0, 0}, {600, 12}, {1200, 6}, {1800, 6}}));
  Outcome o = RunProgram(d, "900\n900\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("[morvelan2d 0] 900 : 0.000001   all_rain = 9.000000\n"), std::string::npos) << o.out;
  EXPECT_NE(read_file(d.file("tmorvelan2d.tsd"))
                .find("(600)\n(2)\n(2)\n(12)\n(12)\n(12)\n(12)\n\n(1200)\n(2)\n(2)\n(6)\n(6)\n(6)\n(6)\n"),
            std::string::npos)
      << read_file(d.file("tmorvelan2d.tsd"));
}

TEST(Tmorvelan2d, BasinStartLineWithoutANumberLeavesTheStartTime) {
  Temp_dir d;
  WriteBasin(d, Rain({{0, 6}, {600, 6}}));
  write_file(d.file("tmorvelan2d.ist"), "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n");
  Outcome o = RunProgram(d, "600\n600\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("# current_time = 0 : time_step = "), std::string::npos) << o.out;
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600}));
}

TEST(Tmorvelan2d, SteadyStateOutflowIsRainTimesSlopeArea) {
  Temp_dir d;
  WriteBasin(d, Rain({{0, 18}, {400000, 18}}));
  Outcome o = RunProgram(d, "360000\n360000\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  auto q = Series(read_file(d.file("tmorvelan2d.out")));
  ASSERT_EQ(q.size(), 1201u);
  // 18 mm/h on 40000 m2: 0.2 m3/s.
  EXPECT_NEAR(q.back().second, 18 * 0.001 / 3600 * 40000, 1e-5);
  EXPECT_NEAR(q[q.size() - 100].second, q.back().second, 1e-5);
  auto rain = Series(read_file(d.file("all_rain.dat")));
  ASSERT_EQ(rain.size(), 1200u);
  EXPECT_EQ(rain.back().second, 18);
}

TEST(Tmorvelan2d, RestartFromTheTerminalFilesContinuesTheRun) {
  const std::string rain = Rain({{0, 0}, {600, 12}, {1200, 6}, {1800, 0}, {2400, 0}});
  Temp_dir whole;
  WriteBasin(whole, rain);
  ASSERT_EQ(RunProgram(whole, "2400\n2400\nY\n").status, 0);

  Temp_dir d;
  WriteBasin(d, rain);
  ASSERT_EQ(RunProgram(d, "1200\n1200\nY\n").status, 0);
  std::filesystem::copy_file(d.file("tmorvelan2d.tst"), d.file("tmorvelan2d.ist"),
                             std::filesystem::copy_options::overwrite_existing);
  Outcome o = RunProgram(d, "1200\n1200\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("# current_time = 1200 : time_step = "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("[morvelan2d 0] 1500 : "), std::string::npos);
  EXPECT_NE(o.out.find("# Now : current_time = 2400 : terminal_time = 2400\n"), std::string::npos);
  // The second run starts from the discharges the first one ended with and
  // names its own terminal file after the one it started from.
  auto first = Series(read_file(d.file("tmorvelan2d.out")));
  ASSERT_EQ(Times(first), (std::vector<int>{1200, 1500, 1800, 2100, 2400}));
  auto ref = Series(read_file(whole.file("tmorvelan2d.out")));
  ASSERT_EQ(ref.size(), 9u);
  for (std::size_t k = 0; k < first.size(); ++k)
    EXPECT_NEAR(first[k].second, ref[k + 4].second, 1e-5 + 1e-3 * ref[k + 4].second) << first[k].first;
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "1500 3\n1800 0\n2100 0\n2400 0\n");
  EXPECT_NE(read_file(d.file("tmorvelan2d.tst")).find("2400 ini.dat.tst.tst\n"), std::string::npos);
  EXPECT_TRUE(ftest::exists(d.file("ini.dat.tst.tst")));
}

TEST(Tmorvelan2d, RainFileEndingBeforeTheRunWaitsForItToGrow) {
  Temp_dir d;
  WriteBasin(d, Rain({{0, 6}, {600, 6}}));
  ftest::Dialogue dlg(Exec, d.path());
  dlg.send("1200\n1200\n");
  ASSERT_TRUE(dlg.wait_for("# Now : current_time = 600 : terminal_time = 1200\n# Quit? [Y / N] : "));
  // The series hold what was computed before the catch.
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600}));
  ftest::append_file(d.file("radarRain_4.dat"), "1200 2 2\n6 6\n6 6\n");
  ftest::set_mtime(d.file("radarRain_4.dat"), 4102444800);
  dlg.send("N\n600\n600\nY\n");
  Outcome o = dlg.finish();
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("Cannot get data from radarRain_4.dat \n\n# Error : Now in catch block\n"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("File: radarRain_4.dat  newest data time : 1200\n"), std::string::npos);
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))),
            (std::vector<int>{0, 300, 600, 900, 1200}));
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "300 6\n600 6\n900 6\n1200 6\n");
  EXPECT_NE(o.out.find("# Now : current_time = 1200 : terminal_time = 1200\n"), std::string::npos);
}

TEST(Tmorvelan2d, MissingRainFileIsReportedAndTheRunWaitsForIt) {
  Temp_dir d;
  WriteBasin(d, "");
  std::filesystem::remove(d.file("radarRain_4.dat"));
  ftest::Dialogue dlg(Exec, d.path());
  dlg.send("600\n600\n");
  ASSERT_TRUE(dlg.wait_for("# Quit? [Y / N] : "));
  write_file(d.file("radarRain_4.dat"), Rain({{0, 6}, {600, 6}}));
  dlg.send("N\n600\n600\nY\n");
  Outcome o = dlg.finish();
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("E : i_file_matrix.cpp : 82 : "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("E : total.cpp : 528 : "), std::string::npos) << o.err;
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600}));
}

TEST(Tmorvelan2d, EndOfTheAnswersEndsWithStatus1AfterTheTerminalFiles) {
  Temp_dir d;
  WriteBasin(d, Rain({{0, 6}, {600, 6}}));
  Outcome o = RunProgram(d, "600\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("# Error : End of the standard input"), std::string::npos) << o.err;
  EXPECT_TRUE(ftest::exists(d.file("tmorvelan2d.tst")));
  EXPECT_TRUE(ftest::exists(d.file("ini.dat.tst")));
}

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE)
// The example basin through the whole chain as `examples/run` runs it, and
// the outlet hydrograph the README shows.
TEST(Tmorvelan2d, ExampleBasinRunsThroughTheChain) {
  Temp_dir d;
  const std::string ex = std::string(TZ_SOURCE_DIR) + "/examples/";
  for (const char* f : {"nodes.dat", "edges.dat", "radarRain_4.dat", "tmorvelan2d.pmt", "tmorvelan2d.ist"})
    std::filesystem::copy_file(ex + f, d.file(f));
  Outcome o = ftest::run(
      [] {
        execl(TZ_PELMIC_EXE, "pelmic", "edges.dat", "nodes.dat", "basin.e4", static_cast<char*>(nullptr));
        return 127;
      },
      d.path());
  ASSERT_EQ(o.status, 0) << o.err;
  o = ftest::run(
      [] {
        execl(TZ_DORVASK_EXE, "dorvask", "basin.e4", "basin.con", static_cast<char*>(nullptr));
        return 127;
      },
      d.path());
  ASSERT_EQ(o.status, 0) << o.err;
  o = ftest::run(
      [] {
        execl(TZ_SARNOLT_EXE, "sarnolt", static_cast<char*>(nullptr));
        return 127;
      },
      d.path(), read_file(ex + "sarnolt.answers"));
  ASSERT_EQ(o.status, 0) << o.err;
  o = RunProgram(d, read_file(ex + "tmorvelan2d.answers"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, 29), "\ttotal area: 1.37697e+06(m2)\n") << o.out;
  EXPECT_NE(o.out.find("# Now : current_time = 21600 : terminal_time = 21600\n"), std::string::npos);
  EXPECT_EQ(Series(read_file(d.file("all_rain.dat"))).size(), 360u);

  auto q = Series(read_file(d.file("tmorvelan2d.out")));
  ASSERT_EQ(q.size(), 361u);
  const std::pair<int, double> hourly[] = {{0, 0},          {3600, 0.00026031}, {7200, 1.30956},
                                           {10800, 4.00004}, {14400, 2.92226},   {18000, 1.29589},
                                           {21600, 0.638049}};
  for (const auto& h : hourly) {
    const auto& v = q[static_cast<std::size_t>(h.first / 60)];
    EXPECT_EQ(v.first, h.first);
    EXPECT_NEAR(v.second, h.second, 1e-5 * h.second) << h.first;
  }
  auto peak = std::max_element(q.begin(), q.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  EXPECT_NEAR(peak->first, 11500, 100);
  EXPECT_NEAR(peak->second, 4.1, 0.01);
}
#endif

struct Malformed {
  const char* name;
  const char* file;
  std::string text;
  int status;
  std::string expected;  // on the error stream
};

void PrintTo(const Malformed& c, std::ostream* os) { *os << c.name; }

class Tmorvelan2dMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(Tmorvelan2dMalformed, ReportsAndEndsWithItsStatus) {
  const Malformed& c = GetParam();
  Temp_dir d;
  WriteBasin(d, Rain({{0, 6}, {600, 6}}));
  if (c.text.empty())
    std::filesystem::remove(d.file(c.file));
  else
    write_file(d.file(c.file), c.text);
  Outcome o = RunProgram(d, "");
  EXPECT_EQ(o.status, c.status) << o.err;
  EXPECT_NE(o.err.find(c.expected), std::string::npos) << o.err;
  // Nothing was computed.
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "");
}

const int kAbort = 128 + SIGABRT;

INSTANTIATE_TEST_SUITE_P(
    Cases, Tmorvelan2dMalformed,
    ::testing::Values(
        Malformed{"no_parameter_file", "tmorvelan2d.pmt", "", 1, "Cannot open [tmorvelan2d.pmt].\n"},
        Malformed{"short_element_line", "tmorvelan2d.pmt",
                  "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0\n}\n", 1,
                  "E : morvelan2d-1.cpp : 618 : "},
        Malformed{"network_version", "net.con",
                  "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n1\n[Data]\n", 1,
                  "E : morvelan2d-1.cpp : 662 : "},
        Malformed{"river_into_an_edge", "net.con",
                  "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
                  "3 11 100 300 10 13 100 500 5 0 1 -1 2\n"
                  "1 10 100 100 20 11 100 300 10 1 3 0 1 200 0.05 20000\n"
                  "2 12 300 100 20 11 100 300 10 0 0 1 200 0.05 20000\n",
                  1, "wrong connection of edges:\nfrom 3 to 1\n"},
        Malformed{"no_initial_state_file", "tmorvelan2d.ist", "", 1, "Cannot open [tmorvelan2d.ist].\n"},
        Malformed{"parameter_count", "par.dat", Params(4), 1, "par.dat.\n"},
        Malformed{"parameter_record_short", "par.dat",
                  "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n"
                  "1 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n2 0.3 1.667\n",
                  1, "File: par.dat\n"},
        Malformed{"initial_format", "ini.dat",
                  "[Data Format Name]\nMorvelan Initial Stat\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0 0\n3 0 0\n",
                  1, "E : morvelan2d-1.cpp : 878 : "},
        Malformed{"negative_discharge", "ini.dat",
                  "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 -1 0\n3 0 0\n",
                  kAbort, "Assertion `updis >= 0.0' failed"},
        Malformed{"basin_outside_the_grid", "tmorvelan2d.pmt",
                  "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 50 50\n}\n", 1,
                  "E : morvelan2d-1.cpp : 1126 : "},
        Malformed{"wrong_system_in_parameters", "tmorvelan2d.pmt",
                  "OtherBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 500 500\n}\n", 1,
                  "E : total.cpp : "}),
    [](const auto& info) { return std::string(info.param.name); });

// A rain file that a feed is still writing, or that holds a record that
// cannot be used: the run goes as far as the records before it reach, waits
// at the Quit prompt with its series written, and goes on once the record
// is completed or mended and the user answers N.
struct RainWait {
  const char* name;
  std::string rain;      // the records of 0 and 600 s, then the part of 1200 s as it stands
  std::string mend;      // what completes the record (appended) or the mended file (written)
  bool append;           // a feed completing its record, else the user mending the file
  std::string report;    // the one report of the first read
  int newest;            // the newest record after the change
};

void PrintTo(const RainWait& c, std::ostream* os) { *os << c.name; }

class Tmorvelan2dRainWait : public ::testing::TestWithParam<RainWait> {};

TEST_P(Tmorvelan2dRainWait, RunsAsFarAsTheRecordsReachAndGoesOnAfterN) {
  const RainWait& c = GetParam();
  Temp_dir d;
  const std::string rain = d.file("radarRain_4.dat");
  WriteBasin(d, c.rain);
  ftest::set_mtime(rain, 3000);
  ftest::Dialogue dlg(Exec, d.path());
  dlg.send("1200\n600\n");
  ASSERT_TRUE(dlg.wait_for("# Now : current_time = 600 : terminal_time = 1200\n# Quit? [Y / N] : "));
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600}));
  if (c.append) {
    // Completed within the resolution of the modification time.
    ftest::append_file(rain, c.mend);
    ftest::set_mtime(rain, 3000);
  } else {
    write_file(rain, c.mend);
    ftest::set_mtime(rain, 3001);
  }
  dlg.send("N\n600\n600\nY\n");
  Outcome o = dlg.finish();
  ASSERT_EQ(o.status, 0) << o.err;
  const std::size_t at = o.err.find(c.report + "\n");
  ASSERT_NE(at, std::string::npos) << o.err;
  EXPECT_EQ(o.err.find(c.report, at + 1), std::string::npos) << "reported twice: " << o.err;
  EXPECT_NE(o.err.find("Cannot get data from radarRain_4.dat \n\n# Error : Now in catch block\n", at), std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("File: radarRain_4.dat  newest data time : " + std::to_string(c.newest) + "\n"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.out.find("# Now : current_time = 1200 : terminal_time = 1200\n"), std::string::npos) << o.out;
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600, 900, 1200}));
  // The record of 1200 s is used whole, as completed or mended.
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "300 6\n600 6\n900 15\n1200 24\n");
}

const std::string kRain600 = Rain({{0, 6}, {600, 6}});
const std::string kRain1200 = "1200 2 2\n24 24\n24 24\n";
const std::string kRain1800 = "1800 2 2\n0 0\n0 0\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Tmorvelan2dRainWait,
    ::testing::Values(
        RainWait{"cut_in_the_header", kRain600 + "1200 2", " 2\n24 24\n24 24\n", true,
                 "W : i_file_matrix.cpp : 120 : radarRain_4.dat, record after time 600, line 8: the header has no line "
                 "end yet.",
                 1200},
        RainWait{"cut_in_the_rows", kRain600 + "1200 2 2\n24 24\n", "24 24\n", true,
                 "W : i_file_matrix.cpp : 120 : radarRain_4.dat, record of time 1200, line 8: the file ends after 1 of "
                 "its 2 rows.",
                 1200},
        // "2" of "24" is never taken for the rain of the cell.
        RainWait{"cut_in_a_number", kRain600 + "1200 2 2\n24 24\n2", "4 24\n", true,
                 "W : i_file_matrix.cpp : 120 : radarRain_4.dat, record of time 1200, line 10: the row has no line end "
                 "yet.",
                 1200},
        RainWait{"not_a_number", kRain600 + "1200 2 2\n24 24\n24 x\n" + kRain1800, kRain600 + kRain1200 + kRain1800,
                 false, "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 10: 'x' is not a number.",
                 1800},
        RainWait{"infinity", kRain600 + "1200 2 2\n24 24\n24 inf\n", kRain600 + kRain1200, false,
                 "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 10: 'inf' is not a finite "
                 "number.",
                 1200},
        RainWait{"nan_in_the_basin", kRain600 + "1200 2 2\n24 24\nnan 24\n", kRain600 + kRain1200, false,
                 "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 10: 'nan' is not a finite "
                 "number.",
                 1200},
        RainWait{"overflow", kRain600 + "1200 2 2\n24 24\n1e999 24\n", kRain600 + kRain1200, false,
                 "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 10: '1e999' is not a finite "
                 "number.",
                 1200},
        RainWait{"other_grid_size", kRain600 + "1200 3 2\n24 24 24\n24 24 24\n" + kRain1800,
                 kRain600 + kRain1200 + kRain1800, false,
                 "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 8: a grid of 3 x 2 cells "
                 "where the first record has 2 x 2.",
                 1800},
        RainWait{"header_in_the_middle", kRain600 + "1200 2\n24 24\n24 24\n" + kRain1800,
                 kRain600 + kRain1200 + kRain1800, false,
                 "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record after time 600, line 8: not a record header "
                 "\"<time> <nx> <ny>\".",
                 1800}),
    [](const auto& info) { return std::string(info.param.name); });

// A first record that cannot be used leaves the run without rain: it
// waits for the file to be mended like a run whose rain file is missing.
TEST(Tmorvelan2d, FirstRainRecordThatCannotBeUsedWaitsForTheFileToBeMended) {
  Temp_dir d;
  WriteBasin(d, "0 2\n6 6\n6 6\n600 2 2\n6 6\n6 6\n");
  ftest::set_mtime(d.file("radarRain_4.dat"), 3000);
  ftest::Dialogue dlg(Exec, d.path());
  dlg.send("600\n600\n");
  ASSERT_TRUE(dlg.wait_for("# Quit? [Y / N] : "));
  write_file(d.file("radarRain_4.dat"), Rain({{0, 6}, {600, 6}}));
  ftest::set_mtime(d.file("radarRain_4.dat"), 3001);
  dlg.send("N\n600\n600\nY\n");
  Outcome o = dlg.finish();
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("E : i_file_matrix.cpp : 130 : radarRain_4.dat, first record, line 1: not a record header "
                       "\"<time> <nx> <ny>\".\n"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(Times(Series(read_file(d.file("tmorvelan2d.out")))), (std::vector<int>{0, 300, 600}));
  EXPECT_EQ(read_file(d.file("all_rain.dat")), "300 6\n600 6\n");
}

TEST(Tmorvelan2d, RainFileThatCannotBeOpenedEndsWithStatus3) {
  Temp_dir d;
  WriteBasin(d, "");
  std::filesystem::remove(d.file("radarRain_4.dat"));
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, d.file("radarRain_4.dat").c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  Outcome o = RunProgram(d, "");
  close(s);
  EXPECT_EQ(o.status, 3);
  EXPECT_NE(o.err.find("E : i_file_matrix.cpp : 94 : Cannot open file 'radarRain_4.dat' (mode \"r\").\n"),
            std::string::npos)
      << o.err;
}

}  // namespace

#endif

// The program's run on systems that fail one of the framework's checks:
// the failure on the standard output, the system destroyed, status 1, no
// file read.

namespace {

enum class Stage { construct, switching, ready };

template <Stage failing>
class FailingSystem : public Total_system {
 public:
  FailingSystem() {
    class_name = "FailingSystem";
    Init("sys", 0, 0);
  }
  ~FailingSystem() override { std::fputs("destroyed\n", stdout); }
  int Construct() override { return failing == Stage::construct ? 0 : Total_system::Construct(); }
  Boolean Switch() override { return failing == Stage::switching ? NO : Total_system::Switch(); }
  Boolean Are_you_ready() override { return failing == Stage::ready ? NO : Total_system::Are_you_ready(); }
  int Register_components() override { return 1; }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  int Register_input_ports() override { return 1; }
  int Register_output_ports() override { return 1; }
};

TEST(Tmorvelan2dRun, FrameworkCheckFailuresEndWithStatus1BeforeAnyFile) {
  const struct {
    int (*run)();
    const char* out;
  } cases[] = {
      {tmorvelan2d::Run<FailingSystem<Stage::construct>>, "\n# Failure : Construct.\ndestroyed\n"},
      {tmorvelan2d::Run<FailingSystem<Stage::switching>>, "\n# Failure : Switch.\ndestroyed\n"},
      {tmorvelan2d::Run<FailingSystem<Stage::ready>>, "\n# Failure : Are_you_ready.\ndestroyed\n"},
  };
  for (const auto& c : cases) {
    ftest::Temp_dir d;  // no files: reading any would be reported
    ftest::Outcome o = ftest::run(c.run, d.path());
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, "");
  }
}

}  // namespace
