// tmorvelan2d from end to end: the real program in a temporary directory,
// with its fixed files, the answers piped to its standard input (or given
// at its prompts), its exit status, console and files checked; a case is a
// row of the command-line harness.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/chain.h"
#include "cli/cli.h"
#include "cli/series.h"
#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"
#include "tmorvelan2d.h"

#ifdef TZ_TMORVELAN2D_EXE

namespace {

using cli::Case;
using cli::Folder;
using cli::read_file;
using cli::Result;
using cli::Series;
using cli::series;
using cli::times;

// Two slope edges of 20000 m2 each draining into the outlet river edge.
const char* const kNet =
    "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
    "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
    "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n"
    "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n";

std::string Params(int count = 3) {
  std::string s =
      "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n" + std::to_string(count) + "\n[Data]\n";
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
  for (const auto& r : recs)
    s << r.first << " 2 2\n" << r.second << " " << r.second << "\n" << r.second << " " << r.second << "\n";
  return s.str();
}

const std::string kPmt = "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 500 500\n}\n";
const std::string kIst = "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n";

// The element's description, printed once its network is read.
const std::string kLoaded = "    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n";

// The basin above under the rain.
Case Basin(const std::string& rain, const std::string& name = "") {
  return Case(name)
      .file("net.con", kNet)
      .file("par.dat", Params())
      .file("ini.dat", kIni)
      .file("tmorvelan2d.pmt", kPmt)
      .file("tmorvelan2d.ist", kIst)
      .file("radarRain_4.dat", rain);
}

Result Check(const Folder& d, const Case& c) { return cli::check(cli::tmorvelan2d, d, c); }

// The times of a series file of the folder.
std::vector<long> TimesOf(const Folder& d, const std::string& name) { return times(series(d.read(name))); }

TEST(Tmorvelan2d, RunWritesItsSeriesTerminalFilesAndDialogue) {
  Folder d;
  Result o = Check(d, Basin(Rain({{0, 0}, {600, 12}, {1200, 6}}))
                          .input("1200\n600\nY\n")
                          .status(0)
                          .out("\ttotal area: 40000(m2)\n"
                               "\n# Key in time_step for 'total_system'.\n# current_time = 0 : time_step = "
                               "# Medium_term_target_time_increment = "
                               "[morvelan2d 0] 300 : 0.000000   all_rain = 6.000000\n"
                               "[morvelan2d 0] 600 : 0.000000   all_rain = 12.000000\n"
                               "600\n"
                               "[morvelan2d 0] 900 : 0.000001   all_rain = 9.000000\n"
                               "[morvelan2d 0] 1200 : 0.000002   all_rain = 6.000000\n"
                               "\n# Done.\n"
                               "# Now : current_time = 1200 : terminal_time = 1200\n# Quit? [Y / N] : \n"
                               "# Simulation ended.\n")
                          .err("    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n"
                               "File: radarRain_4.dat  newest data time : 1200\n")
                          .writes("all_rain.dat", "300 6\n600 12\n900 9\n1200 6\n")
                          .writes("tmorvelan2d.out", cli::contains("# tmorvelan2d.out \n"))
                          .writes("tmorvelan2d.stg", cli::contains("Send<double> spStorage 0"))
                          .writes("tmorvelan2d.tst",
                                  "# terminal state of vrb \n# current_time = 1200 \n# \n"
                                  "VirtualRiverBasin vrb 0 \n1200\n{\nMorvelan2d morvelan2d 0\n1200 ini.dat.tst\n\n}\n")
                          .writes("tmorvelan2d.tsd", cli::present())
                          .writes("ini.dat.tst", cli::starts_with("[Comment]\nThese a")));
  ASSERT_EQ(o.status, 0) << o.err;
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg"})
    EXPECT_EQ(TimesOf(d, f), (std::vector<long>{0, 300, 600, 900, 1200})) << f;
  const std::string tst = d.read("ini.dat.tst");
  const std::string head =
      "[Comment]\nThese are discharge data at both ends of all edges.\n"
      "Each column in [Data] section is as follows:\n<edge number>\n"
      "<discharge at upper end(m3/s)>\n<discharge at lower end(m3/s)>\n"
      "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n";
  ASSERT_EQ(tst.substr(0, head.size()), head);
  // One "%ld %f %f" line per edge in file order; the river edge's lower end
  // is the outflow written last to the series.
  char river[64];
  std::snprintf(river, sizeof river, "3 0.000000 %f\n",
                std::stod(d.read("tmorvelan2d.out").substr(d.read("tmorvelan2d.out").rfind("1200 ") + 5)));
  EXPECT_TRUE(::testing::internal::RE::FullMatch(
      tst.substr(head.size()), "1 0\\.000000 [0-9]+\\.[0-9]{6}\n2 0\\.000000 [0-9]+\\.[0-9]{6}\n3 .*\n"))
      << tst;
  EXPECT_EQ(tst.substr(tst.size() - std::strlen(river)), river);
}

TEST(Tmorvelan2d, InterpolationLeavesTheRainPacksAsRead) {
  // The step ending at 900 s lies halfway between the records of 600 and
  // 1200 s: its rain is their mean, and the two records, still held by the
  // rain port at the end, are written to the stock file as they were read.
  Folder d;
  Check(d, Basin(Rain({{0, 0}, {600, 12}, {1200, 6}, {1800, 6}}))
               .input("900\n900\nY\n")
               .status(0)
               .out(cli::contains("[morvelan2d 0] 900 : 0.000001   all_rain = 9.000000\n"))
               .writes(
                   "tmorvelan2d.tsd",
                   cli::contains("(600)\n(2)\n(2)\n(12)\n(12)\n(12)\n(12)\n\n(1200)\n(2)\n(2)\n(6)\n(6)\n(6)\n(6)\n")));
}

TEST(Tmorvelan2d, BasinStartLineWithoutANumberLeavesTheStartTime) {
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {600, 6}}))
               .file("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n")
               .input("600\n600\nY\n")
               .status(0)
               .out(cli::contains("# current_time = 0 : time_step = ")));
  EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
}

TEST(Tmorvelan2d, SteadyStateOutflowIsRainTimesSlopeArea) {
  Folder d;
  Result o = Check(d, Basin(Rain({{0, 18}, {400000, 18}})).input("360000\n360000\nY\n").status(0));
  ASSERT_EQ(o.status, 0) << o.err;
  Series q = series(d.read("tmorvelan2d.out"));
  ASSERT_EQ(q.size(), 1201u);
  // 18 mm/h on 40000 m2: 0.2 m3/s.
  EXPECT_NEAR(q.back().second, 18 * 0.001 / 3600 * 40000, 1e-5);
  EXPECT_NEAR(q[q.size() - 100].second, q.back().second, 1e-5);
  Series rain = series(d.read("all_rain.dat"));
  ASSERT_EQ(rain.size(), 1200u);
  EXPECT_EQ(rain.back().second, 18);
}

TEST(Tmorvelan2d, RestartFromTheTerminalFilesContinuesTheRun) {
  const std::string rain = Rain({{0, 0}, {600, 12}, {1200, 6}, {1800, 0}, {2400, 0}});
  Folder whole;
  ASSERT_EQ(cli::run(cli::tmorvelan2d, whole, Basin(rain).input("2400\n2400\nY\n")).status, 0);

  Folder d;
  ASSERT_EQ(cli::run(cli::tmorvelan2d, d, Basin(rain).input("1200\n1200\nY\n")).status, 0);
  // The second run starts from the discharges the first one ended with and
  // names its own terminal file after the one it started from.
  Result o = Check(d, Case("the restart")
                          .setup([](const Folder& f) { f.copy_in(f.file("tmorvelan2d.tst"), "tmorvelan2d.ist"); })
                          .input("1200\n1200\nY\n")
                          .status(0)
                          .out(cli::contains("# current_time = 1200 : time_step = "))
                          .out(cli::contains("[morvelan2d 0] 1500 : "))
                          .out(cli::contains("# Now : current_time = 2400 : terminal_time = 2400\n"))
                          .writes("all_rain.dat", "1500 3\n1800 0\n2100 0\n2400 0\n")
                          .writes("tmorvelan2d.tst", cli::contains("2400 ini.dat.tst.tst\n"))
                          .writes("ini.dat.tst.tst", cli::present()));
  ASSERT_EQ(o.status, 0) << o.err;
  Series first = series(d.read("tmorvelan2d.out"));
  ASSERT_EQ(times(first), (std::vector<long>{1200, 1500, 1800, 2100, 2400}));
  Series ref = series(whole.read("tmorvelan2d.out"));
  ASSERT_EQ(ref.size(), 9u);
  for (std::size_t k = 0; k < first.size(); ++k)
    EXPECT_NEAR(first[k].second, ref[k + 4].second, 1e-5 + 1e-3 * ref[k + 4].second) << first[k].first;
}

// A rain file that ends before the run, or is missing: the segment stops
// at the Quit prompt with what was computed written, and after the file
// has grown or been written, N continues the run.
TEST(Tmorvelan2d, RainFileEndingBeforeTheRunWaitsForItToGrow) {
  // The file grows under a later modification time, or is given back its
  // old one (cp -p, rsync -t): either way its size has changed and N reads
  // it again.
  for (long mtime : {4102444800L, 3000L}) {
    Folder d;
    Check(d, Basin(Rain({{0, 6}, {600, 6}}), "appended, modification time " + std::to_string(mtime))
                 .setup([](const Folder& f) { cli::set_mtime(f.file("radarRain_4.dat"), 3000); })
                 .input("1200\n1200\n")
                 .step(
                     "# Now : current_time = 600 : terminal_time = 1200\n# Quit? [Y / N] : ",
                     [mtime](const Folder& f) {
                       // The series hold what was computed before the catch,
                       // and so does the basin rain.
                       EXPECT_EQ(TimesOf(f, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
                       EXPECT_EQ(f.read("all_rain.dat"), "300 6\n600 6\n");
                       f.append("radarRain_4.dat", "1200 2 2\n6 6\n6 6\n");
                       cli::set_mtime(f.file("radarRain_4.dat"), mtime);
                     },
                     "N\n600\n600\nY\n")
                 .status(0)
                 .err(cli::contains("Cannot get data from radarRain_4.dat \n\n# Error : Now in catch block\n"))
                 .err(cli::contains("File: radarRain_4.dat  newest data time : 1200\n"))
                 .writes("all_rain.dat", "300 6\n600 6\n900 6\n1200 6\n")
                 .out(cli::contains("# Now : current_time = 1200 : terminal_time = 1200\n")));
    EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600, 900, 1200})) << mtime;
  }
}

TEST(Tmorvelan2d, MissingRainFileIsReportedAndTheRunWaitsForIt) {
  Folder d;
  Check(d, Basin("")
               .setup([](const Folder& f) { std::filesystem::remove(f.file("radarRain_4.dat")); })
               .input("600\n600\n")
               .step(
                   "# Quit? [Y / N] : ",
                   [](const Folder& f) {
                     f.write("radarRain_4.dat", Rain({{0, 6}, {600, 6}}));
                   },
                   "N\n600\n600\nY\n")
               .status(0)
               .err(cli::contains("E : i_file_matrix.cpp : 82 : "))
               .err(cli::contains("E : total.cpp : 528 : ")));
  EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
}

TEST(Tmorvelan2d, EndOfTheAnswersEndsWithStatus1AfterTheTerminalFiles) {
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {600, 6}}))
               .input("600\n")
               .status(1)
               .err(cli::contains("# Error : End of the standard input"))
               .writes("tmorvelan2d.tst", cli::present())
               .writes("ini.dat.tst", cli::present()));
}

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE)
// The example basin through the whole chain as `examples/run` runs it, and
// the outlet hydrograph of examples/hydrograph.txt, which the README quotes.
TEST(Tmorvelan2d, ExampleBasinRunsThroughTheChain) {
  Folder d;
  cli::prepare_basin(d, cli::examples_dir());
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  Result o = Check(d, Case()
                          .input(read_file(cli::examples_dir() + "tmorvelan2d.answers"))
                          .status(0)
                          .out(cli::starts_with("\ttotal area: 1.37697e+06(m2)\n"))
                          .out(cli::contains("# Now : current_time = 21600 : terminal_time = 21600\n")));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(series(d.read("all_rain.dat")).size(), 360u);
  cli::expect_example_hydrograph(series(d.read("tmorvelan2d.out")));
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
  Folder d;
  Case run = Basin(Rain({{0, 6}, {600, 6}}));
  const std::string file = c.file;
  if (c.text.empty())
    run.setup([file](const Folder& f) { std::filesystem::remove(f.file(file)); });
  else
    run.file(c.file, c.text);
  // Nothing was computed: the basin rain of an earlier run stays as it was.
  Check(d, run.file("all_rain.dat", "300 6\n")
               .status(c.status)
               .err(cli::contains(c.expected))
               .writes("all_rain.dat", "300 6\n"));
}

const int kAbort = cli::kAbort;

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
        Malformed{
            "initial_format", "ini.dat",
            "[Data Format Name]\nMorvelan Initial Stat\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0 0\n3 0 0\n", 1,
            "E : morvelan2d-1.cpp : 878 : "},
        Malformed{"negative_discharge", "ini.dat",
                  "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 -1 "
                  "0\n3 0 0\n",
                  kAbort, "Assertion `updis >= 0.0' failed"},
        Malformed{"basin_outside_the_grid", "tmorvelan2d.pmt",
                  "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 50 50\n}\n", 1,
                  "E : morvelan2d-1.cpp : 1126 : "},
        Malformed{"wrong_system_in_parameters", "tmorvelan2d.pmt",
                  "OtherBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 net.con par.dat 0 0 500 500\n}\n", 1,
                  "E : total.cpp : "}),
    [](const auto& info) { return std::string(info.param.name); });

// Slips in the files the element reads, each reported where it is read with
// the file, the record and the user's line.
INSTANTIATE_TEST_SUITE_P(
    Readers, Tmorvelan2dMalformed,
    ::testing::Values(
        Malformed{"parameter_inf", "par.dat",
                  "[Data Format Name]\nMorvelan Parameter Format\n# by hand\n[Number of Total Edges]\n3\n"
                  "[Data]\n1 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n"
                  "2 0.3 1.667 inf 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n"
                  "3 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n",
                  1, "E : morvelan2d-1.cpp : 763 : \nFile: par.dat, edge 2, line 8: ka is not a finite number\n"},
        Malformed{"parameter_nan", "par.dat",
                  "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n"
                  "3 0.3 1.667 0.001 0.5 0.02 0.005 4.0 nan 0.000001 10 0.0001 10\n"
                  "1 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n"
                  "2 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n",
                  1, "File: par.dat, edge 3, line 6: theta is not a finite number\n"},
        Malformed{"discharge_overflows", "ini.dat",
                  "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n"
                  "#\n1 0 0\n2 0 1e999\n3 0 0\n",
                  1,
                  "E : morvelan2d-1.cpp : 915 : \nFile: ini.dat, edge 2, line 8: the discharge at the lower "
                  "end is not a finite number\n"},
        Malformed{"negative_discharge_names_its_record", "ini.dat",
                  "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 -1 "
                  "0\n3 0 0\n",
                  kAbort,
                  "File: ini.dat, edge 2, line 7: this record fails the check below\n"
                  "morvelan2d-1.cpp:"},
        Malformed{"network_attribute_names_its_record", "net.con",
                  "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
                  "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
                  "2 12 300 100 20 11 100 300 10 0 2 -3 1 3 200 0.05\n"
                  "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n",
                  kAbort,
                  "File: net.con, edge 2, line 7: this record fails the check below\n"
                  "morvelan2d-1.cpp:"},
        Malformed{"no_block_for_the_element", "tmorvelan2d.pmt", "VirtualRiverBasin vrb 0\n{\n}\n", 1,
                  "E : morvelan2d-1.cpp : 1040 : \nIts parameters were never read: the parameter file has "
                  "no block for it.\n    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// An apostrophe in the prose of a comment block opens a quoted stretch that
// runs to the end of the file: the stop names the file and the line.
TEST(Tmorvelan2d, UnclosedQuoteInAnyFileReadThroughTheOpenerStopsNamingFileAndLine) {
  const std::string descr = "    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n";
  const std::string prose = "[Comment]\n# written by hand\nThe basin's ";
  const struct {
    const char* file;
    std::string text;
    bool afterNetwork;  // read after the element described itself
  } cases[] = {
      {"tmorvelan2d.pmt", prose + "parameters\n" + kPmt, false},
      {"tmorvelan2d.ist", prose + "start\n" + kIst, true},
      {"net.con", prose + "network\n" + kNet, false},
      {"par.dat", prose + "parameters\n" + Params(), true},
      {"ini.dat", prose + "discharges\n" + kIni, true},
  };
  for (const auto& c : cases) {
    Folder d;
    const std::string report = std::string("File: ") + c.file +
                               ", line 3: the apostrophe (') there opens a quoted stretch that runs "
                               "to the end of the file: quotes come in pairs, even in comment blocks\n";
    const std::string head = (c.afterNetwork ? descr : "") + report;
    // Nothing was run, nothing written.
    Result o = Check(d, Basin(Rain({{0, 6}, {600, 6}}), c.file)
                            .file(c.file, c.text)
                            .input("600\n600\nY\n")
                            .status(1)
                            .err(cli::starts_with(head))
                            .out(cli::lacks("time_step"))
                            .writes("all_rain.dat", cli::absent())
                            .writes("tmorvelan2d.tst", cli::absent()));
    EXPECT_TRUE(::testing::internal::RE::FullMatch(o.err.substr(std::min(head.size(), o.err.size())),
                                                   "dfopen\\.cpp:[0-9]+: Assertion `c != EOF' failed\\.\n"))
        << o.err;
  }
}

// The terminal discharge file of an initial discharge file "ini.dat" is
// "ini.dat.tst": a connection file of that name is refused before the run,
// and stays as it was.
TEST(Tmorvelan2d, TerminalDischargeFileThatIsAnInputIsRefusedAtTheStart) {
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {600, 6}}))
               .setup([](const Folder& f) { std::filesystem::rename(f.file("net.con"), f.file("ini.dat.tst")); })
               .file("tmorvelan2d.pmt",
                     "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 ini.dat.tst par.dat 0 0 500 500\n}\n")
               .input("600\n600\nY\n")
               .status(1)
               .err(cli::contains("E : morvelan2d-1.cpp : 866 : \nThe terminal discharge file ini.dat.tst is the edge "
                                  "connection file ini.dat.tst: the end of the run would overwrite it.\n"))
               .writes("ini.dat.tst", kNet)
               .out("\ttotal area: 40000(m2)\n")
               .writes("all_rain.dat", cli::absent())
               .writes("tmorvelan2d.tst", cli::absent()));
}

// A rain file that a feed is still writing, or that holds a record that
// cannot be used: the run goes as far as the records before it reach, waits
// at the Quit prompt with its series written, and goes on once the record
// is completed or mended and the user answers N.
struct RainWait {
  const char* name;
  std::string rain;    // the records of 0 and 600 s, then the part of 1200 s as it stands
  std::string mend;    // what completes the record (appended) or the mended file (written)
  bool append;         // a feed completing its record, else the user mending the file
  std::string report;  // the one report of the first read
  int newest;          // the newest record after the change
};

void PrintTo(const RainWait& c, std::ostream* os) { *os << c.name; }

class Tmorvelan2dRainWait : public ::testing::TestWithParam<RainWait> {};

TEST_P(Tmorvelan2dRainWait, RunsAsFarAsTheRecordsReachAndGoesOnAfterN) {
  const RainWait& c = GetParam();
  Folder d;
  const std::string rain = d.file("radarRain_4.dat");
  Result o =
      Check(d, Basin(c.rain)
                   .setup([&](const Folder&) { cli::set_mtime(rain, 3000); })
                   .input("1200\n600\n")
                   .step(
                       "# Now : current_time = 600 : terminal_time = 1200\n# Quit? [Y / N] : ",
                       [&](const Folder& f) {
                         EXPECT_EQ(TimesOf(f, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
                         if (c.append) {
                           // Completed within the resolution of the modification time.
                           cli::append_file(rain, c.mend);
                           cli::set_mtime(rain, 3000);
                         } else {
                           cli::write_file(rain, c.mend);
                           cli::set_mtime(rain, 3001);
                         }
                       },
                       "N\n600\n600\nY\n")
                   .status(0)
                   .err(cli::contains("File: radarRain_4.dat  newest data time : " + std::to_string(c.newest) + "\n"))
                   .out(cli::contains("# Now : current_time = 1200 : terminal_time = 1200\n"))
                   // The record of 1200 s is used whole, as completed or mended.
                   .writes("all_rain.dat", "300 6\n600 6\n900 15\n1200 24\n"));
  ASSERT_EQ(o.status, 0) << o.err;
  const std::size_t at = o.err.find(c.report + "\n");
  ASSERT_NE(at, std::string::npos) << o.err;
  EXPECT_EQ(o.err.find(c.report, at + 1), std::string::npos) << "reported twice: " << o.err;
  EXPECT_NE(o.err.find("Cannot get data from radarRain_4.dat \n\n# Error : Now in catch block\n", at),
            std::string::npos)
      << o.err;
  EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600, 900, 1200}));
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
        RainWait{
            "not_a_number", kRain600 + "1200 2 2\n24 24\n24 x\n" + kRain1800, kRain600 + kRain1200 + kRain1800, false,
            "E : i_file_matrix.cpp : 130 : radarRain_4.dat, record of time 1200, line 10: 'x' is not a number.", 1800},
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
  Folder d;
  Check(d, Basin("0 2\n6 6\n6 6\n600 2 2\n6 6\n6 6\n")
               .setup([](const Folder& f) { cli::set_mtime(f.file("radarRain_4.dat"), 3000); })
               .input("600\n600\n")
               .step(
                   "# Quit? [Y / N] : ",
                   [](const Folder& f) {
                     f.write("radarRain_4.dat", Rain({{0, 6}, {600, 6}}));
                     cli::set_mtime(f.file("radarRain_4.dat"), 3001);
                   },
                   "N\n600\n600\nY\n")
               .status(0)
               .err(cli::contains("E : i_file_matrix.cpp : 130 : radarRain_4.dat, first record, line 1: not a record "
                                  "header \"<time> <nx> <ny>\".\n"))
               .writes("all_rain.dat", "300 6\n600 6\n"));
  EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
}

// A socket where the rain file should be.
TEST(Tmorvelan2d, RainFileThatCannotBeOpenedEndsWithStatus3) {
  Folder d;
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  Check(d, Basin("")
               .setup([s](const Folder& f) {
                 std::filesystem::remove(f.file("radarRain_4.dat"));
                 sockaddr_un addr{};
                 addr.sun_family = AF_UNIX;
                 std::strncpy(addr.sun_path, f.file("radarRain_4.dat").c_str(), sizeof addr.sun_path - 1);
                 ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
               })
               .status(3)
               .err(cli::contains("E : i_file_matrix.cpp : 94 : Cannot open file 'radarRain_4.dat' (mode \"r\").\n")));
  close(s);
}

// ---- input files: late links, the element's line, the rain file's order,
// the folder of the comment-free copies ----

// The river edge listed before the two slopes that drain into it: each
// link gives the river the slope's outflow of the previous step. The run
// computes what it always did (the outflow one step late), after one
// warning that names the file, the count and the first link.
TEST(Tmorvelan2dInputs, UpstreamEdgesListedLateAreNamedOnceAndTheRunIsAsBefore) {
  const std::string net =
      "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
      "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n"
      "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
      "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n";
  qtest::Qavlensdir why(qtest::explain_dir().c_str());
  Folder d;
  Check(d, Basin(Rain({{0, 60}, {1800, 60}}))
               .file("net.con", net)
               .input("1800\n1800\nY\n")
               .status(0)
               .out("\ttotal area: 40000(m2)\n"
                    "\n# Key in time_step for 'total_system'.\n# current_time = 0 : time_step = "
                    "# Medium_term_target_time_increment = "
                    "[morvelan2d 0] 300 : 0.000000   all_rain = 60.000000\n"
                    "[morvelan2d 0] 600 : 0.000001   all_rain = 60.000000\n"
                    "[morvelan2d 0] 900 : 0.000009   all_rain = 60.000000\n"
                    "[morvelan2d 0] 1200 : 0.000046   all_rain = 60.000000\n"
                    "[morvelan2d 0] 1500 : 0.000096   all_rain = 60.000000\n"
                    "[morvelan2d 0] 1800 : 0.000146   all_rain = 60.000000\n"
                    "\n# Done.\n"
                    "# Now : current_time = 1800 : terminal_time = 1800\n# Quit? [Y / N] : \n"
                    "# Simulation ended.\n")
               .err(kLoaded +
                    "W : morvelan2d-1.cpp : 820 : \n"
                    "    Edges drain into an edge listed before them in the edge connection file.\n"
                    "    The edges step in the order of the file, so the downstream edge takes the\n"
                    "    upstream edge's outflow of the previous step, one time step late; in a V.2\n"
                    "    or V.4 file its upper area also lacks the area above the upstream edge. The\n"
                    "    run goes on. List every edge after the edges that drain into it.\n"
                    "File: net.con: 2 links run from an edge to one listed before it, the first from edge 1 "
                    "(record 2) to edge 3 (record 1): the downstream edge takes the upstream edge's outflow of the "
                    "previous step. List the upstream edge first (pelmic writes the edges by number: number them "
                    "upstream first).\n" +
                    kLoaded + "File: radarRain_4.dat  newest data time : 1800\n")
               .writes("all_rain.dat", "300 60\n600 60\n900 60\n1200 60\n1500 60\n1800 60\n"));
  EXPECT_EQ(d.read("tmorvelan2d.out").substr(d.read("tmorvelan2d.out").find("\n\n") + 2),
            "0 0\n300 0\n600 9.98752e-07\n900 8.5012e-06\n1200 4.58882e-05\n1500 9.57635e-05\n1800 0.000145639\n");
}

// A river edge draining into another edge in a V.2 or V.4 file: the stop
// as it was, after a line that names the file and says what such a
// network needs.
TEST(Tmorvelan2dInputs, RiverInSeriesInAV4FileIsNamedWithTheVersionItNeeds) {
  Folder d;
  Check(d,
        Basin(Rain({{0, 6}, {600, 6}}))
            .file("net.con",
                  "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
                  "3 11 100 300 10 13 100 500 5 0 1 -1 2\n"
                  "1 10 100 100 20 11 100 300 10 1 3 0 1 200 0.05 20000\n"
                  "2 12 300 100 20 11 100 300 10 0 0 1 200 0.05 20000\n")
            .input("600\n600\nY\n")
            .status(1)
            .err(kLoaded + "File: net.con: the river edge 3 drains into edge 1: river reaches in series need an edge "
                           "connection V.3 or V.5 file, which carries each edge's distribution rate and upper area\n"
                           "wrong connection of edges:\nfrom 3 to 1\n")
            .writes("tmorvelan2d.tst", cli::absent()));
}

// A value of the element's line that is not a finite number, as each kind
// of value: refused naming tmorvelan2d.pmt, its line and the value.
TEST(Tmorvelan2dInputs, ElementLineValueThatIsNotAFiniteNumberIsRefused) {
  const struct {
    const char* line;  // the element's line
    const char* what;  // its value refused
  } cases[] = {
      {"nan net.con par.dat 0 0 500 500", "the time step 'nan'"},
      {"inf net.con par.dat 0 0 500 500", "the time step 'inf'"},
      {"1e999 net.con par.dat 0 0 500 500", "the time step '1e999'"},
      {"300 net.con par.dat nan 0 500 500", "the grid origin x 'nan'"},
      {"300 net.con par.dat 0 -inf 500 500", "the grid origin y '-inf'"},
      {"300 net.con par.dat 1e999 0 500 500", "the grid origin x '1e999'"},
      {"300 net.con par.dat 0 0 nan 500", "the cell size in x 'nan'"},
      {"300 net.con par.dat 0 0 500 INF", "the cell size in y 'INF'"},
      {"300 net.con par.dat 0 0 1e999 500", "the cell size in x '1e999'"},
  };
  qtest::Qavlensdir why(qtest::explain_dir().c_str());
  for (const auto& c : cases) {
    Folder d;
    Check(d, Basin(Rain({{0, 6}, {600, 6}}), c.what)
                 .file("tmorvelan2d.pmt",
                       std::string("VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n") + c.line + "\n}\n")
                 .input("600\n600\nY\n")
                 .status(1)
                 .out("")
                 .err("E : morvelan2d-1.cpp : 630 : \n"
                      "    A value of the runoff element's line in the parameter file is not a\n"
                      "    finite number: \"inf\", \"nan\" or a value beyond the range of a double\n"
                      "    (1e999). The time step (s), the grid origin and the cell size (m) must be\n"
                      "    finite numbers, the time step and the cell size above 0.\n"
                      "File: tmorvelan2d.pmt, line 4: " +
                      std::string(c.what) + " is not a finite number\n" + kLoaded)
                 .writes("tmorvelan2d.out", cli::absent())
                 .writes("tmorvelan2d.tst", cli::absent()));
  }
  // The line is the user's, over comments and a line break in the element's line.
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {600, 6}}))
               .file("tmorvelan2d.pmt",
                     "# the basin\nVirtualRiverBasin vrb 0\n{\n# the element\nMorvelan2d morvelan2d 0\n"
                     "300 net.con par.dat # files\n  0 0\n  500 nan\n}\n")
               .input("600\n600\nY\n")
               .status(1)
               .err(cli::contains("File: tmorvelan2d.pmt, line 8: the cell size in y 'nan' is not a finite number\n")));
}

// The rain file's records out of order or repeating a time with other
// values: dropped, each with one warning; the run uses the others.
TEST(Tmorvelan2dInputs, RainRecordsOutOfOrderAreDroppedWithAWarning) {
  Folder d;
  qtest::Qavlensdir none(nullptr);
  const std::string descr = "    Input_file : I_file_matrix<TzDMatrix> radarRain_4.dat \n";
  Check(d, Basin(Rain({{0, 6}, {600, 12}, {300, 90}, {1200, 6}, {1200, 60}, {1200, 6}, {1800, 0}}))
               .input("1800\n1800\nY\n")
               .status(0)
               .err(kLoaded +
                    "W : i_file_matrix.cpp : 140 : radarRain_4.dat, record of time 300, line 8: an earlier record "
                    "(line 5) has the later time 600: this record is dropped.\n" +
                    descr +
                    "W : i_file_matrix.cpp : 140 : radarRain_4.dat, record of time 1200, line 14: an earlier record "
                    "(line 11) has the same time and other values: this record is dropped.\n" +
                    descr + "File: radarRain_4.dat  newest data time : 1800\n")
               .writes("all_rain.dat", "300 9\n600 12\n900 9\n1200 6\n1500 3\n1800 0\n"));
}

// A restart from the terminal files: the stock gives back the rain records
// of the end of the last run, and the rain file's records up to them are
// passed over without a word.
TEST(Tmorvelan2dInputs, RestartWithItsStockPassesOverTheOlderRainRecordsWithoutAWord) {
  Folder d;
  ASSERT_EQ(
      cli::run(cli::tmorvelan2d, d, Basin(Rain({{0, 6}, {600, 12}, {1200, 6}, {1800, 0}})).input("1200\n600\nY\n"))
          .status,
      0);
  Check(d, Case("the restart")
               .setup([](const Folder& f) {
                 f.copy_in(f.file("tmorvelan2d.tst"), "tmorvelan2d.ist");
                 f.copy_in(f.file("tmorvelan2d.tsd"), "tmorvelan2d.isd");
               })
               .input("600\n600\nY\n")
               .status(0)
               .err(kLoaded + "File: radarRain_4.dat  newest data time : 1800\n")
               .writes("all_rain.dat", "1500 3\n1800 0\n"));
}

// The comment-free copies of the files the program reads go where TMPDIR
// points, and leave nothing there; a copy that cannot be made there stops
// the program naming the file read, the folder and the cause.
TEST(Tmorvelan2dInputs, CopiesWithoutCommentsGoWhereTmpdirPoints) {
  const std::string pmtError = "File: tmorvelan2d.pmt: its copy without comments cannot be created in ";
  const std::string tail = " (TMPDIR names the folder of such copies)\nCannot open [tmpfile].\n";
  {
    Folder d;
    const std::string copies = d.subfolder("copies");
    Check(d, Basin(Rain({{0, 6}, {600, 6}}))
                 .env("TMPDIR", copies)
                 .input("600\n600\nY\n")
                 .status(0)
                 .writes("all_rain.dat", "300 6\n600 6\n"));
    EXPECT_TRUE(std::filesystem::is_empty(copies));
  }
  // TMPDIR naming a folder that does not exist, or a file: the first file
  // read has no copy.
  const struct {
    const char* tmpdir;
    const char* cause;
  } refused[] = {{"no such folder", "No such file or directory"}, {"par.dat", "Not a directory"}};
  for (const auto& c : refused) {
    Folder d;
    Check(d, Basin(Rain({{0, 6}, {600, 6}}), c.tmpdir)
                 .env("TMPDIR", d.file(c.tmpdir))
                 .input("600\n600\nY\n")
                 .status(1)
                 .out("")
                 .err(pmtError + d.file(c.tmpdir) + ": " + c.cause + tail)
                 .writes("tmorvelan2d.tst", cli::absent()));
  }
  // No room for the copy of the connection file (a file-size limit below
  // it, above the small files read before it): it is named, nothing else
  // is read, and the folder of the copies is left empty.
  {
    Folder d;
    const std::string copies = d.subfolder("copies");
    std::string net = "[Comment]\n";
    for (int k = 0; k < 200; ++k) net += "the network of the basin, drawn by hand, line " + std::to_string(k) + "\n";
    net += kNet;
    ASSERT_GT(net.size(), 8000u);
    Check(d, Basin(Rain({{0, 6}, {600, 6}}))
                 .file("net.con", net)
                 .env("TMPDIR", copies)
                 .file_size_limit(4000)
                 .input("600\n600\nY\n")
                 .status(1)
                 .out("")
                 .err("File: net.con: its copy without comments cannot be written in " + copies + ": File too large" +
                      tail)
                 .writes("net.con", net)
                 .writes("tmorvelan2d.tst", cli::absent()));
    EXPECT_TRUE(std::filesystem::is_empty(copies));
  }
}

// A UTF-8 byte-order mark, the bytes EF BB BF some editors write at the
// start of a file, is three characters of the file's first line to every
// reader. Before a header, a key or a record it is refused as any other
// characters there would be, naming the file or the line it spoils, with
// status 1, nothing computed and no earlier output changed; before a
// comment line of the element's files it is part of the comment and the
// run is the run without it. The rain file and the framework's files
// take no comment after it: its first line is a header or a record there.
TEST(Tmorvelan2dInputs, AByteOrderMarkAtTheStartOfAFile) {
  qtest::Qavlensdir none(nullptr);
  const std::string bom = "\xEF\xBB\xBF";
  const std::string rain = Rain({{0, 6}, {600, 6}});
  const std::string records = "0 2 2\n6 6\n6 6\n600 2 2\n6 6\n6 6\n";
  // The run without a mark, its series for the rows that read as it.
  Folder plain;
  ASSERT_EQ(cli::run(cli::tmorvelan2d, plain, Basin(rain).input("600\n600\nY\n")).status, 0);
  const std::string out = plain.read("tmorvelan2d.out");
  ASSERT_FALSE(out.empty());

  // A framework file's first line is its system's: the report shows the
  // line read (the mark before the class word, or alone before the comment).
  const std::string systemLine = "    VirtualRiverBasin vrb 0\n";
  const std::string system = "\n\n" + systemLine;
  const std::string element = "    Morvelan2d morvelan2d 0\n        owner > VirtualRiverBasin vrb 0\n";
  const std::string noRain =
      element +
      "E : i_file_matrix.cpp : 130 : radarRain_4.dat, first record, line 1: not a record header "
      "\"<time> <nx> <ny>\".\n    Input_file : I_file_matrix<TzDMatrix> radarRain_4.dat \n"
      "E : total.cpp : 528 : \n" +
      element +
      "Cannot get data from radarRain_4.dat \n\n# Error : Now in catch block\n\n"
      "# Error : The initial work never succeeded : tmorvelan2d.tst, tmorvelan2d.tsd and the terminal files of "
      "the components are left as they were.\n";
  const Case refused[] = {
      Basin(rain, "before the system's line of the parameter file")
          .file("tmorvelan2d.pmt", bom + kPmt)
          .err("E : total.cpp : 294 : " + bom + "VirtualRiverBasin vrb 0" + system),
      Basin(rain, "before a comment of the parameter file")
          .file("tmorvelan2d.pmt", bom + "# the basin\n" + kPmt)
          .err("E : total.cpp : 308 : " + bom + system),
      Basin(rain, "before the system's line of the initial-state file")
          .file("tmorvelan2d.ist", bom + kIst)
          .err(element + "E : total.cpp : 336 : " + bom + "VirtualRiverBasin vrb 0" + system),
      Basin(rain, "before a comment of the initial-state file")
          .file("tmorvelan2d.ist", bom + "# the start\n" + kIst)
          .err(element + "E : total.cpp : 350 : " + bom + system),
      // The element's files: the format key is not found.
      Basin(rain, "before the format key of the connection file")
          .file("net.con", bom + kNet)
          .err("E : morvelan2d-1.cpp : 662 : \n" + element),
      Basin(rain, "before the format key of the parameter file")
          .file("par.dat", bom + Params())
          .err(element + "E : morvelan2d-1.cpp : 712 : \n" + element),
      Basin(rain, "before the format key of the initial discharge file")
          .file("ini.dat", bom + kIni)
          .err(element + "E : morvelan2d-1.cpp : 878 : \n" + element),
      // The rain file: its first line is no record header, comment or not.
      Basin(bom + rain, "before a comment of the rain file").err(noRain),
      Basin(bom + records, "before the first record of the rain file").err(noRain),
  };
  for (const Case& c : refused) {
    Folder d;
    Check(d, Case(c)
                 .file("all_rain.dat", "300 6\n")
                 .input("600\n600\nY\n")
                 .status(1)
                 .writes("all_rain.dat", "300 6\n")
                 .writes("tmorvelan2d.out", cli::absent())
                 .writes("tmorvelan2d.tst", cli::absent()));
  }

  const std::string comment = "[Comment]\nwritten by an editor that marks its files\n";
  const Case read[] = {
      Basin(rain, "before the comment block of the connection file").file("net.con", bom + comment + kNet),
      Basin(rain, "before the comment block of the parameter file").file("par.dat", bom + comment + Params()),
      Basin(rain, "before the comment block of the initial discharge file").file("ini.dat", bom + comment + kIni),
      Basin(rain, "before a comment line of the connection file").file("net.con", bom + "# the network\n" + kNet),
  };
  for (const Case& c : read) {
    Folder d;
    Check(d, Case(c).input("600\n600\nY\n").status(0).writes("tmorvelan2d.out", out));
  }

  // The send-port stock file of a restart: its block, marked before its
  // comment, belongs to no system of the run. It is reported and passed
  // over as such a block is, and the run goes on from the initial state
  // without the stock, with status 0.
  Folder d;
  ASSERT_EQ(cli::run(cli::tmorvelan2d, d, Basin(rain).input("300\n300\nY\n")).status, 0);
  Check(d, Case("before the comment of the stock file")
               .setup([&](const Folder& f) {
                 f.copy_in(f.file("tmorvelan2d.tst"), "tmorvelan2d.ist");
                 f.write("tmorvelan2d.isd", bom + f.read("tmorvelan2d.tsd"));
               })
               .input("300\n300\nY\n")
               .status(0)
               .err(element + "E : sub.cpp : 244 : \n\tAsked > '" + bom + "#' : 'Send_port' : 0 :\n" + systemLine +
                    "E : total.cpp : 258 : \n" + systemLine + "File: radarRain_4.dat  newest data time : 600\n")
               .writes("tmorvelan2d.out", cli::starts_with("# tmorvelan2d.out")));
}

// ---- outputs that cannot be written ----

// A basin of `slopes` slope edges draining into one river edge, whose
// initial discharge file is `ini`, under uniform rain of 6 mm/h on a grid
// of cells x cells from 0 to `last` s.
struct Shape {
  int slopes = 2;
  std::string ini = "ini.dat";
  int cells = 2;
  int last = 1200;
};

Case Shaped(const Shape& s, const std::string& name = "") {
  const int river = s.slopes + 1;
  std::string net =
      "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n" + std::to_string(river) + "\n[Data]\n";
  std::string par =
      "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n" + std::to_string(river) + "\n[Data]\n";
  std::string ini = "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n" +
                    std::to_string(river) + "\n[Data]\n";
  std::string uppers;
  for (int k = 1; k <= river; ++k) {
    if (k < river) {
      net += std::to_string(k) + " 10 100 100 20 11 100 300 10 0 1 -" + std::to_string(river) + " 1 200 0.05 20000\n";
      uppers += " " + std::to_string(k);
    } else {
      net += std::to_string(k) + " 11 100 300 10 13 100 500 5 " + std::to_string(s.slopes) + uppers + " 0 2\n";
    }
    par += std::to_string(k) + " 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n";
    ini += std::to_string(k) + " 0 0\n";
  }
  std::string rain;
  for (int t = 0; t <= s.last; t += 600) {
    rain += std::to_string(t) + " " + std::to_string(s.cells) + " " + std::to_string(s.cells) + "\n";
    for (int r = 0; r < s.cells; ++r) {
      for (int c = 0; c < s.cells; ++c) rain += c ? " 6" : "6";
      rain += "\n";
    }
  }
  return Case(name)
      .file("net.con", net)
      .file("par.dat", par)
      .file(s.ini, ini)
      .file("tmorvelan2d.pmt", kPmt)
      .file("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 " + s.ini + "\n}\n")
      .file("radarRain_4.dat", rain);
}

// The outputs of a run of the shaped basin.
std::vector<std::string> OutputNames(const Shape& s) {
  return {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg", "all_rain.dat",
          "tmorvelan2d.tst", "tmorvelan2d.tsd", s.ini + ".tst"};
}

const std::string kSystem = "    VirtualRiverBasin vrb 0\n";
const std::string kElement = kLoaded;
std::string PortOf(const char* file, const char* port) {
  return std::string("    Input_file : O_file<double> ") + file + " \n      output < Send<double> " + port +
         " 0 \n      output <     owner > Morvelan2d morvelan2d 0\n      output <     owner >> VirtualRiverBasin vrb "
         "0\n";
}

// The names of the terminal files of a run of the shaped basin.
std::vector<std::string> TerminalNames(const Shape& s) {
  return {"tmorvelan2d.tst", "tmorvelan2d.tsd", s.ini + ".tst"};
}

bool IsTerminal(const Shape& s, const std::string& name) {
  const std::vector<std::string> t = TerminalNames(s);
  return std::find(t.begin(), t.end(), name) != t.end();
}

// The names a folder of the shaped basin holds after a run: its input
// files and every output (no temporary file).
std::set<std::string> FolderNames(const Shape& s) {
  std::set<std::string> names{"net.con", "par.dat", s.ini, "tmorvelan2d.pmt", "tmorvelan2d.ist", "radarRain_4.dat"};
  for (const std::string& f : OutputNames(s)) names.insert(f);
  return names;
}

// A terminal file of an earlier run, as the next run finds it.
std::string Earlier(const std::string& name) { return "the earlier " + name + "\n"; }

// The files of a folder and what they hold (through links; a folder reads
// as empty), to compare a folder before and after a run.
std::map<std::string, std::string> Contents(const Folder& d) {
  std::map<std::string, std::string> m;
  for (const std::string& n : d.entries()) m[n] = d.read(n);
  return m;
}

// The explanations the reports echo (QAVLENSDIR set to the build's files).
const std::string kWhy392 =
    "    Writing the terminal-state file failed: the disk may be full, or the file\n"
    "    may exceed a size limit. None of the terminal files was replaced: the\n"
    "    earlier ones are left as they were, and no half-written file is left. Make\n"
    "    room before the next run. The program goes on and ends with status 1.\n";
const std::string kWhy408 =
    "    Writing the send-port stock file failed: the disk may be full, or the\n"
    "    file may exceed a size limit. None of the terminal files was replaced:\n"
    "    the earlier ones are left as they were. The program goes on and ends with\n"
    "    status 1.\n";
const std::string kWhy1295 =
    "    Writing the terminal discharge file failed: the disk may be full, or the\n"
    "    file may exceed a size limit. None of the terminal files was replaced:\n"
    "    the earlier ones are left as they were, and no half-written file is left.\n"
    "    Make room before the next run. The program ends with status 1.\n";
const std::string kWhy30 =
    "    The output file cannot be created or emptied for its header: check that\n"
    "    its directory exists and may be written. The data are still appended if\n"
    "    the file can be opened for appending. The run ends with status 1.\n";
const std::string kWhy574 =
    "    The output file cannot be opened for appending. Nothing was written this\n"
    "    time; the port tries again at the next output and keeps its data. The run\n"
    "    ends with status 1.\n";
const std::string kRainLost =
    "Cannot write all_rain.dat (the disk may be full, or the file too large): it keeps its lines up to the "
    "last output; the lines since ";

const std::string kWhy386 =
    "    The terminal-state file cannot be created: check that its directory may\n"
    "    be written. None of the terminal files was replaced: the earlier ones are\n"
    "    left as they were. The program goes on and ends with status 1.\n";

// An output that is /dev/full, or a directory where the file should be:
// the report names the file and the exit status is 1. The terminal files
// are put in place together or not at all: when one of them fails, the
// earlier files of all three names stay as they were; otherwise every
// other output is what a sound run writes, byte for byte (a series port
// that could not write keeps its packs, and the stock file holds them). No
// temporary file is left.
TEST(Tmorvelan2dOutputs, OutputOnAFullDiskIsReportedAndTheOthersWritten) {
  qtest::Qavlensdir why(qtest::explain_dir().c_str());
  const std::string sound = kLoaded + "File: radarRain_4.dat  newest data time : 1200\n";
  struct Row {
    const char* file;
    bool directory;
    std::string report;
    bool series = false;  // the port keeps its packs, and the stock holds them
  } cases[] = {
      {"tmorvelan2d.tst", false, "E : total.cpp : 392 : Cannot write file 'tmorvelan2d.tst'.\n" + kWhy392 + kSystem},
      {"tmorvelan2d.tst", true,
       "E : total.cpp : 386 : Cannot open file 'tmorvelan2d.tst' (mode \"w\").\n" + kWhy386 + kSystem},
      {"tmorvelan2d.tsd", false, "E : total.cpp : 408 : Cannot write file 'tmorvelan2d.tsd'.\n" + kWhy408 + kSystem},
      {"ini.dat.tst", false, "E : morvelan2d-1.cpp : 1295 : Cannot write file 'ini.dat.tst'.\n" + kWhy1295 + kElement},
      {"ini.dat.tst", true,
       "E : morvelan2d-1.cpp : 1290 : Cannot open file 'ini.dat.tst' (mode \"w\").\n"
       "    The terminal discharge file cannot be created: check the permissions of\n"
       "    its directory. None of the terminal files was replaced: the earlier ones\n"
       "    are left as they were. The program ends with status 1.\n" +
           kElement},
      {"all_rain.dat", false, kRainLost + "are written with the next output.\n" + kRainLost + "are lost.\n"},
      {"all_rain.dat", true, "Cannot create all_rain.dat: the basin rain of the steps is not written.\n"},
      {"tmorvelan2d.sat", true,
       "E : output_f.cpp : 30 : Cannot open file 'tmorvelan2d.sat' (mode \"w\").\n" + kWhy30 +
           PortOf("tmorvelan2d.sat", "spSarea") +
           "E : p_tmp.cpp : 574 : Cannot open file 'tmorvelan2d.sat' (mode \"a\").\n" + kWhy574 +
           PortOf("tmorvelan2d.sat", "spSarea"),
       true},
  };
  const Shape shape;
  Folder ref;
  Result r = cli::run(cli::tmorvelan2d, ref, Shaped(shape).input("1200\n1200\nY\n"));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.err, sound);
  for (const Row& c : cases) {
    const bool terminal_fails = IsTerminal(shape, c.file);
    Case run = Shaped(shape, std::string(c.file) + (c.directory ? " a folder" : " on a full disk"));
    for (const std::string& f : TerminalNames(shape))
      if (f != c.file) run.file(f, Earlier(f));
    if (c.directory)
      run.directory(c.file);
    else
      run.symlink(c.file, "/dev/full");
    run.input("1200\n1200\nY\n").status(1).out(r.out).err(sound + c.report).leaves(FolderNames(shape));
    for (const std::string& f : OutputNames(shape)) {
      if (f == c.file) continue;
      if (terminal_fails && IsTerminal(shape, f))
        run.writes(f, Earlier(f));
      else if (c.series && f == "tmorvelan2d.tsd")
        run.writes(f, cli::contains("(1) # send_ports number\n(5) # number_of_data_packs\n"));
      else
        run.writes(f, ref.read(f));
    }
    Folder d;
    Check(d, run);
  }
}

// An output that outgrows a file-size limit, with SIGXFSZ at its default
// as a shell leaves it: the report names it, the exit status is 1, the
// outputs within the limit are what a sound run writes, and a series file
// is cut back to its last whole write. The terminal files are all of the
// earlier run: the third one written (the stock file) or an earlier one
// failed, and none of the three replaced its earlier file. The limit lies
// above the files the run reads and below the file of the case. The stock
// file, never smaller than the terminal-state and terminal discharge
// files, outgrows the limit with them.
TEST(Tmorvelan2dOutputs, OutputBeyondASizeLimitIsCutBackAndTheOthersWritten) {
  qtest::Qavlensdir none(nullptr);
  const std::string tst = "E : total.cpp : 392 : Cannot write file 'tmorvelan2d.tst'.\n" + kSystem;
  const std::string tsd = "E : total.cpp : 408 : Cannot write file 'tmorvelan2d.tsd'.\n" + kSystem;
  const std::string dis = "E : morvelan2d-1.cpp : 1295 : Cannot write file 'ini.dat.tst'.\n" + kElement;
  struct Row {
    const char* name;
    Shape shape;
    const char* answers;
    std::vector<std::string> failing;
    std::vector<std::string> reports;
  } cases[] = {
      {"terminal state",
       {2, std::string(251, 'i'), 2, 1200},
       "1200\n1200\nY\n",
       {"tmorvelan2d.tst", "tmorvelan2d.tsd"},
       {tst, tsd}},
      {"stock", {2, "ini.dat", 12, 1200}, "1200\n1200\nY\n", {"tmorvelan2d.tsd"}, {tsd}},
      {"terminal discharges", {2, "ini.dat", 2, 1200}, "300\n300\nY\n", {"ini.dat.tst", "tmorvelan2d.tsd"}, {dis, tsd}},
  };
  for (const Row& c : cases) {
    Folder ref;
    Result r = cli::run(cli::tmorvelan2d, ref, Shaped(c.shape).input(c.answers));
    ASSERT_EQ(r.status, 0) << c.name << r.err;
    auto fails = [&](const std::string& f) {
      return std::find(c.failing.begin(), c.failing.end(), f) != c.failing.end();
    };
    // The files read through a copy without comments count as written.
    std::vector<std::string> files = OutputNames(c.shape);
    for (const char* f : {"tmorvelan2d.pmt", "tmorvelan2d.ist", "net.con", "par.dat"}) files.push_back(f);
    files.push_back(c.shape.ini);
    std::size_t kept = 0, failing = SIZE_MAX;
    for (const std::string& f : files) {
      const std::size_t size = ref.read(f).size();
      if (fails(f))
        failing = std::min(failing, size);
      else
        kept = std::max(kept, size);
    }
    ASSERT_GT(failing, kept + 20) << c.name << ": the limit must lie between the files";
    Case run = Shaped(c.shape, c.name).input(c.answers).file_size_limit((kept + failing) / 2).status(1);
    for (const std::string& f : TerminalNames(c.shape)) run.file(f, Earlier(f));
    for (const std::string& report : c.reports) run.err(cli::contains(report));
    for (const std::string& f : OutputNames(c.shape)) run.writes(f, IsTerminal(c.shape, f) ? Earlier(f) : ref.read(f));
    run.out(r.out).leaves(FolderNames(c.shape));
    Folder d;
    Check(d, run);
  }
}

// all_rain.dat is never the largest output: the series hold the same steps
// behind a header. Under a limit it outgrows, the series and the stock
// outgrow it too; every one of them is cut back to whole lines, the
// outputs within the limit are written, and the terminal files of the
// earlier run stay as they were.
TEST(Tmorvelan2dOutputs, RainSumBeyondASizeLimitIsCutBackWithTheSeries) {
  qtest::Qavlensdir none(nullptr);
  const Shape shape{2, "ini.dat", 2, 36000};
  Folder ref;
  Result r = cli::run(cli::tmorvelan2d, ref, Shaped(shape).input("36000\n36000\nY\n"));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_GT(ref.read("all_rain.dat").size(), 900u);
  Folder d;
  Case run = Shaped(shape)
                 .input("36000\n36000\nY\n")
                 .file_size_limit(600)
                 .status(1)
                 .out(r.out)
                 .err(cli::contains(kRainLost + "are written with the next output.\n"))
                 .err(cli::contains(kRainLost + "are lost.\n"))
                 .err(cli::contains("E : output_f.cpp : 90 : Cannot write file 'tmorvelan2d.out'.\n"))
                 .err(cli::contains("E : total.cpp : 408 : Cannot write file 'tmorvelan2d.tsd'.\n"))
                 .writes("all_rain.dat", "")
                 .leaves(FolderNames(shape));
  for (const std::string& f : TerminalNames(shape)) run.file(f, Earlier(f)).writes(f, Earlier(f));
  Check(d, run);
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg"}) {
    const std::string text = d.read(f);
    EXPECT_EQ(text, ref.read(f).substr(0, text.size())) << f;
    EXPECT_TRUE(series(text).empty()) << f;  // the header only
  }
}

// all_rain.dat reaches the disk with the series at the end of every run
// segment: at the Quit prompt it holds the steps the series hold.
TEST(Tmorvelan2dOutputs, RainSumIsWrittenWithTheSeriesAtEverySegmentEnd) {
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {600, 12}, {1200, 6}}))
               .input("600\n600\n")
               .step(
                   "# Quit? [Y / N] : ",
                   [](const Folder& f) {
                     EXPECT_EQ(f.read("all_rain.dat"), "300 9\n600 12\n");
                     EXPECT_EQ(TimesOf(f, "tmorvelan2d.out"), (std::vector<long>{0, 300, 600}));
                   },
                   "N\n600\n600\n")
               .step(
                   "# Quit? [Y / N] : ",
                   [](const Folder& f) { EXPECT_EQ(f.read("all_rain.dat"), "300 9\n600 12\n900 9\n1200 6\n"); }, "Y\n")
               .status(0)
               .writes("all_rain.dat", "300 9\n600 12\n900 9\n1200 6\n"));
}

// ---- the files of a start ----

// The terminal files of a run of the basin above: tmorvelan2d.tst (read as
// tmorvelan2d.ist to go on) and tmorvelan2d.tsd (read as tmorvelan2d.isd),
// after `answers`, of a basin of `cells` x `cells` rain cells.
struct Ending {
  std::string tst, tsd, discharges;
};

Ending RunToTheEnd(const std::string& answers, int cells = 2) {
  Folder d;
  Shape shape;
  shape.cells = cells;
  shape.last = 3600;
  Result r = cli::run(cli::tmorvelan2d, d, Shaped(shape).input(answers));
  EXPECT_EQ(r.status, 0) << r.err;
  return {d.read("tmorvelan2d.tst"), d.read("tmorvelan2d.tsd"), d.read("ini.dat.tst")};
}

// A stock file that is not of the moment the initial-state file starts
// from is refused before anything is written: one of a later run left in
// the folder, of an earlier run (the tst copied, not the tsd), of another
// basin (another time and another rain grid), of another grid at the same
// time. The report names both files and both times or grid sizes, the
// status is 1, and no file of the folder has changed.
TEST(Tmorvelan2dStart, StockFileOfAnotherStartIsRefusedWithNoFileChanged) {
  qtest::Qavlensdir why(qtest::explain_dir().c_str());
  const Ending at600 = RunToTheEnd("600\n600\nY\n");
  const Ending at1200 = RunToTheEnd("1200\n1200\nY\n");
  const Ending other1800 = RunToTheEnd("1800\n1800\nY\n", 3);
  const Ending other1200 = RunToTheEnd("1200\n1200\nY\n", 3);
  const std::string head =
      "E : total.cpp : 380 : The send-port stock tmorvelan2d.isd does not belong to tmorvelan2d.ist: ";
  const std::string todo =
      " Use the stock file written with the terminal state that became tmorvelan2d.ist, or remove tmorvelan2d.isd.";
  const std::string explained =
      "    The send-port stock file is not of the moment the initial-state file\n"
      "    starts from (the times or the grid sizes are above): it holds another\n"
      "    run's end, or another basin's. A stock file belongs with the terminal-state\n"
      "    file written with it (the .tsd and the .tst of one run): use that one, or\n"
      "    remove the stock file. Nothing was written; the program stops.\n";
  const std::string rainPort = "    Input_file : I_file_matrix<TzDMatrix> radarRain_4.dat \n";
  const struct {
    const char* name;
    const Ending* start;  // the run whose end this one starts from; none: from the start
    std::string isd;
    std::string report;
  } cases[] = {
      {"a later run's", nullptr, at1200.tsd,
       head + "it holds morvelan2d 0 at time 1200, tmorvelan2d.ist starts it at 0." + todo + "\n" + explained +
           kLoaded},
      {"an earlier run's", &at1200, at600.tsd,
       head + "it holds morvelan2d 0 at time 600, tmorvelan2d.ist starts it at 1200." + todo + "\n" + explained +
           kLoaded},
      {"another basin's", nullptr, other1800.tsd,
       head + "it holds grids of 3 x 3 cells for radarRain_4.dat, whose first record has 2 x 2." + todo + "\n" +
           explained + rainPort},
      {"another grid's", &at1200, other1200.tsd,
       head + "it holds grids of 3 x 3 cells for radarRain_4.dat, whose first record has 2 x 2." + todo + "\n" +
           explained + rainPort},
  };
  for (const auto& c : cases) {
    Case run = Shaped(Shape{}, c.name).file("tmorvelan2d.isd", c.isd);
    if (c.start) run.file("tmorvelan2d.ist", c.start->tst).file("ini.dat.tst", c.start->discharges);
    for (const char* f : {"tmorvelan2d.out", "all_rain.dat", "tmorvelan2d.tst", "tmorvelan2d.tsd"})
      run.file(f, Earlier(f));
    Folder d;
    std::map<std::string, std::string> before;
    run.setup([&](const Folder& f) { before = Contents(f); });
    Check(d, run.input("600\n600\nY\n").status(1).out(cli::lacks("time_step")).err(kLoaded + c.report));
    EXPECT_EQ(Contents(d), before) << c.name;
  }
}

// A run whose initial work never succeeds (the rain file is missing) and
// that ends so, with Y or at the end of the answers: status 1, one line
// saying that the terminal files are left, and every earlier output of
// the folder as it was.
TEST(Tmorvelan2dStart, RunThatNeverDidItsInitialWorkLeavesTheEarlierFiles) {
  const std::string line =
      "\n# Error : The initial work never succeeded : tmorvelan2d.tst, tmorvelan2d.tsd and the terminal files of "
      "the components are left as they were.\n";
  for (const char* answers : {"600\n600\nY\n", "600\n600\n"}) {
    Case run =
        Shaped(Shape{}, answers).setup([](const Folder& f) { std::filesystem::remove(f.file("radarRain_4.dat")); });
    std::set<std::string> names = FolderNames(Shape{});
    names.erase("radarRain_4.dat");
    for (const std::string& f : names)
      if (f != "tmorvelan2d.pmt" && f != "tmorvelan2d.ist" && f != "net.con" && f != "par.dat" && f != "ini.dat")
        run.file(f, Earlier(f)).writes(f, Earlier(f));
    Folder d;
    Check(d, run.input(answers)
                 .status(1)
                 .err(cli::contains("E : i_file_matrix.cpp : 82 : "))
                 .err(cli::contains("E : total.cpp : 528 : "))
                 .err(cli::ends_with(line))
                 .leaves(names));
  }
}

// An output of the run that is one of its inputs (a symbolic or a hard
// link) is refused before anything is written, naming both; the input
// stays as it was.
TEST(Tmorvelan2dStart, OutputThatIsAnInputIsRefusedNamingBoth) {
  qtest::Qavlensdir none(nullptr);
  const struct {
    const char* output;
    const char* input;
    bool hard;
    std::string message;
  } cases[] = {
      {"tmorvelan2d.out", "par.dat", false, "The output file tmorvelan2d.out is the edge parameter file par.dat"},
      {"tmorvelan2d.sat", "net.con", true, "The output file tmorvelan2d.sat is the edge connection file net.con"},
      {"tmorvelan2d.stg", "radarRain_4.dat", false,
       "The output file tmorvelan2d.stg is the input file radarRain_4.dat"},
      {"all_rain.dat", "ini.dat", false, "The rain-sum file all_rain.dat is the initial discharge file ini.dat"},
      {"all_rain.dat", "tmorvelan2d.isd", true,
       "The rain-sum file all_rain.dat is the send-port stock file tmorvelan2d.isd"},
      {"tmorvelan2d.tst", "tmorvelan2d.ist", false,
       "The terminal-state file tmorvelan2d.tst is the initial-state file tmorvelan2d.ist"},
      {"tmorvelan2d.tsd", "tmorvelan2d.pmt", true,
       "The send-port stock file tmorvelan2d.tsd is the parameter file tmorvelan2d.pmt"},
      {"ini.dat.tst", "tmorvelan2d.pmt", false,
       "The terminal discharge file ini.dat.tst is the parameter file tmorvelan2d.pmt"},
  };
  for (const auto& c : cases) {
    const std::string output = c.output, input = c.input;
    const bool hard = c.hard;
    // A stock file without packs: read, and so an input of the run.
    Case run = Shaped(Shape{}, output + " onto " + input).file("tmorvelan2d.isd", "# no packs\n");
    run.setup([=](const Folder& f) {
      if (hard)
        std::filesystem::create_hard_link(f.file(input), f.file(output));
      else
        std::filesystem::create_symlink(input, f.file(output));
    });
    std::map<std::string, std::string> before;
    run.setup([&](const Folder& f) { before = Contents(f); });
    Folder d;
    Check(d, run.input("600\n600\nY\n")
                 .status(1)
                 .out(cli::lacks("time_step"))
                 .err(kLoaded + "E : total.cpp : 415 : " + c.message + ": the run would overwrite it.\n" + kSystem));
    EXPECT_EQ(Contents(d), before) << output;
  }
}

// ---- stops by signal ----

const char* SigName(int sig) { return sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "SIGHUP"; }

// The names of the folder after a run that wrote its terminal files but
// no series (it ended before a segment did).
std::set<std::string> WithoutSeries(const Shape& s) {
  std::set<std::string> names = FolderNames(s);
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg", "all_rain.dat"}) names.erase(f);
  return names;
}

// A signal at each prompt ends the run as the end of the answers does: the
// series and terminal files of the time reached are written, a line names
// the signal, and the status is 128 + the signal's number.
TEST(Tmorvelan2dSignals, SignalAtAPromptEndsTheRunWithItsFilesWritten) {
  const struct {
    const char* name;
    std::string answers;
    std::string prompt;
    int sig;
    int time;  // the time reached
  } cases[] = {
      {"run length", "", "# current_time = 0 : time_step = ", SIGINT, 0},
      {"increment", "600\n", "# Medium_term_target_time_increment = ", SIGTERM, 0},
      {"quit", "600\n600\n", "# Quit? [Y / N] : ", SIGHUP, 600},
      {"run length after N", "600\n600\nN\n", "# current_time = 600 : time_step = ", SIGINT, 600},
  };
  const Shape shape;
  for (const auto& c : cases) {
    Folder d;
    Result o = Check(d, Shaped(shape, c.name)
                            .input(c.answers)
                            .signal_at(c.prompt, c.sig)
                            .status(128 + c.sig)
                            .err(cli::ends_with(std::string("\n# Error : Signal ") + SigName(c.sig) +
                                                " at a prompt : the simulation ends here.\n"))
                            .writes("tmorvelan2d.tst", cli::contains("\n" + std::to_string(c.time) + " ini.dat.tst\n"))
                            .writes("tmorvelan2d.tsd", cli::present())
                            .writes("ini.dat.tst", cli::present())
                            .leaves(c.time > 0 ? FolderNames(shape) : WithoutSeries(shape)));
    if (c.time > 0) {
      EXPECT_EQ(TimesOf(d, "tmorvelan2d.out").back(), c.time) << c.name;
    }
  }
}

// A signal while stepping stops the run at the end of the step in
// progress: the series and all_rain.dat hold the steps up to it, the
// terminal files are of the time reached, a line names the signal and that
// time, and the status is 128 + the signal's number. A restart from the
// terminal files goes on from that time.
TEST(Tmorvelan2dSignals, SignalWhileSteppingStopsAfterAStepAndTheRunGoesOnFromIt) {
  const std::set<std::string> names{"net.con",         "par.dat",         "ini.dat",         "tmorvelan2d.pmt",
                                    "tmorvelan2d.ist", "radarRain_4.dat", "tmorvelan2d.out", "tmorvelan2d.sat",
                                    "tmorvelan2d.stg", "all_rain.dat",    "tmorvelan2d.tst", "tmorvelan2d.tsd",
                                    "ini.dat.tst"};
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    Folder d;
    // A run far longer than the test: only the signal ends it.
    Result o = Check(d, Basin(Rain({{0, 6}, {2000000000, 6}}), SigName(sig))
                            .input("1999999800\n1999999800\n")
                            .signal_at("[morvelan2d 0] 3000 : ", sig)
                            .status(128 + sig)
                            .err(cli::ends_with(" : the simulation ends here.\n"))
                            .leaves(names));
    const std::string head = std::string("\n# Error : Signal ") + SigName(sig) + " at current_time = ";
    const std::size_t at = o.err.rfind(head);
    ASSERT_NE(at, std::string::npos) << o.err;
    const long reached = std::stol(o.err.substr(at + head.size()));
    ASSERT_GT(reached, 3000) << o.err;
    ASSERT_EQ(reached % 300, 0);
    const std::string step = "[morvelan2d 0] " + std::to_string(reached) + " : ";
    EXPECT_NE(o.out.find(step), std::string::npos);
    EXPECT_EQ(o.out.find("[morvelan2d 0] " + std::to_string(reached + 300) + " : "), std::string::npos);
    const std::vector<long> t = TimesOf(d, "tmorvelan2d.out");
    ASSERT_EQ(t.size(), static_cast<std::size_t>(reached / 300 + 1));
    EXPECT_EQ(t.back(), reached);
    EXPECT_EQ(TimesOf(d, "tmorvelan2d.stg").back(), reached);
    const Series rain = series(d.read("all_rain.dat"));
    ASSERT_EQ(rain.size(), static_cast<std::size_t>(reached / 300));
    EXPECT_EQ(rain.back().first, reached);
    EXPECT_NE(d.read("tmorvelan2d.tst").find("\n" + std::to_string(reached) + " ini.dat.tst\n"), std::string::npos);

    d.copy_in(d.file("tmorvelan2d.tst"), "tmorvelan2d.ist");
    d.copy_in(d.file("tmorvelan2d.tsd"), "tmorvelan2d.isd");
    Check(d, Case(std::string("restart after ") + SigName(sig))
                 .input("600\n600\nY\n")
                 .status(0)
                 .out(cli::contains("# current_time = " + std::to_string(reached) + " : time_step = "))
                 .out(cli::contains("[morvelan2d 0] " + std::to_string(reached + 300) + " : ")));
    EXPECT_EQ(TimesOf(d, "tmorvelan2d.out"), (std::vector<long>{reached, reached + 300, reached + 600}));
  }
}

// An initial-state file whose basin starts before its element (a restart
// with a hand-edited system line) would never compute a step: it is refused
// before anything is written.
TEST(Tmorvelan2dOutputs, ElementStartingAfterTheBasinIsRefused) {
  qtest::Qavlensdir why(qtest::explain_dir().c_str());
  Folder d;
  Check(d, Basin(Rain({{0, 6}, {7200, 6}, {7800, 6}}))
               .file("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n7200 ini.dat\n}\n")
               .input("600\n600\nY\n")
               .status(1)
               .err(kLoaded +
                    "E : total.cpp : 372 : In tmorvelan2d.ist the system vrb 0 starts at 0, its component "
                    "morvelan2d 0 at 7200.\n"
                    "    A component starts later than the system that holds it (both times are\n"
                    "    given above): the system's time would never reach the component's, and no\n"
                    "    step would ever be computed. Give the system its components' start time\n"
                    "    on its own line of the initial-state file (the line after the system's\n"
                    "    header), or give the component the system's. A terminal-state file\n"
                    "    written by a run holds equal times. The program stops.\n" +
                    kLoaded)
               .writes("tmorvelan2d.tst", cli::absent())
               .writes("tmorvelan2d.out", cli::absent()));
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
    cli::Folder d;  // no files: reading any would be reported
    cli::Result o = ftest::run(c.run, d.path());
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, "");
  }
}

}  // namespace
