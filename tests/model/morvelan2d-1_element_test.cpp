// The runoff element Morvelan2d: loading the network, parameters and initial
// discharges through its file operations, the cell search, the time step
// with its rain interpolation and sums, and the terminal discharge file.
// Runs that need a clock go through a small test system whose rain comes
// from a plain matrix input file port.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/series.h"
#include "edge_probe.h"
#include "input_f.h"
#include "morvelan2d-1.h"
#include "output_f.h"
#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"
#include "total.h"

namespace {

using ftest::read_file;
using ftest::write_file;

// Two slope edges draining into one river edge, the outlet (V.4). The points
// are (100, 200) and (200, 200).
const char* const kNet =
    "# a small network\n"
    "[Data Format Name]\n"
    "edge connection V.4\n"
    "[Number of Total Edges]\n"
    "3\n"
    "[Data]\n"
    "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
    "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n"
    "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n";

std::string ParamFile(const std::string& name, int count, const std::vector<int>& nums) {
  std::string s = "[Comment]\nparameters\n[Data Format Name]\n" + name +
                  "\n[Number of Total Edges]\n" + std::to_string(count) + "\n[Data]\n";
  for (int n : nums)
    s += std::to_string(n) + " 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10\n";
  return s;
}

std::string InitFile(const std::string& name, int count, const std::vector<int>& nums) {
  std::string s = "[Data Format Name]\n" + name + "\n[Number of Total Edges]\n" +
                  std::to_string(count) + "\n[Data]\n";
  for (int n : nums) s += std::to_string(n) + " 0 0\n";
  return s;
}

const std::string kPar = ParamFile("Morvelan Parameter Format", 3, {3, 1, 2});
const std::string kIni = InitFile("Morvelan Initial State Format", 3, {1, 2, 3});

// The element line files as the framework hands them over.
FILE* Line(const std::string& text) {
  FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  return f;
}

void WriteBasin(const cli::Folder& d, const std::string& net = kNet, const std::string& par = kPar,
                const std::string& ini = kIni) {
  write_file(d.file("net.con"), net);
  write_file(d.file("par.dat"), par);
  write_file(d.file("ini.dat"), ini);
}

int Load(Morvelan2d& m, const std::string& pline = "60 net.con par.dat 0 0 500 500\n",
         const std::string& iline = "0 ini.dat\n") {
  FILE* p = Line(pline);
  m.Set_parameter(p);
  std::fclose(p);
  FILE* i = Line(iline);
  m.Set_initial_state(i);
  std::fclose(i);
  return 0;
}

// --- loading -------------------------------------------------------------------

TEST(Morvelan2dLoad, NetworkParametersAndInitialState) {
  cli::Folder d;
  WriteBasin(d);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        if (m.NumberOfEdges() != 3 || m.TopoDataType() != 4) return 10;
        if (m.SumArea() != 40000) return 11;
        const Edge& river = m.EdgeAt(2);
        if (river.LowestEdge() != EDGE_YES || river.UpperArea() != 40000) return 12;
        if (EdgeProbe::Dist(m.EdgeAt(0)) != 1.0 || EdgeProbe::N(m.EdgeAt(0)) != 10) return 13;
        if (EdgeProbe::Upper(river, 0) != &m.EdgeAt(0) || EdgeProbe::Upper(river, 1) != &m.EdgeAt(1))
          return 14;
        if (m.Current_time() != 0 || m.EdgeDisFileName() != "ini.dat") return 15;
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "\ttotal area: 40000(m2)\n");
  // The element's description goes to the error stream.
  EXPECT_NE(o.err.find("Morvelan2d"), std::string::npos) << o.err;
}

TEST(Morvelan2dLoad, ShortFormatNamesAreAccepted) {
  cli::Folder d;
  WriteBasin(d, kNet, ParamFile("Morvelan Parameter Form", 3, {1, 2, 3}),
             InitFile("Morvelan Initial State Form", 3, {3, 2, 1}));
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

struct LoadFailure {
  const char* name;
  std::string pline, iline, net, par, ini;
  std::string expected;  // on the error stream
};

void PrintTo(const LoadFailure& c, std::ostream* os) { *os << c.name; }

class Morvelan2dLoadFailure : public ::testing::TestWithParam<LoadFailure> {};

TEST_P(Morvelan2dLoadFailure, ReportsAndStops) {
  const LoadFailure& c = GetParam();
  cli::Folder d;
  WriteBasin(d, c.net, c.par, c.ini);
  cli::Result o = ftest::run(
      [&c] {
        Morvelan2d m("morvelan2d", 0);
        Load(m, c.pline, c.iline);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_NE(o.err.find(c.expected), std::string::npos) << o.err;
}

const std::string P = "60 net.con par.dat 0 0 500 500\n";
const std::string I = "0 ini.dat\n";
const std::string kLong(256, 'n');

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dLoadFailure,
    ::testing::Values(
        LoadFailure{"short_element_line", "60 net.con par.dat 0 0 500\n", I, kNet, kPar, kIni,
                    "E : morvelan2d-1.cpp : 618 : "},
        LoadFailure{"file_name_over_255", "60 " + kLong + " par.dat 0 0 500 500\n", I, kNet, kPar,
                    kIni, "E : morvelan2d-1.cpp : 618 : "},
        // Not finite: refused before the checks of the range (nan passes
        // none of them, inf passes dx > 0.0), the value named.
        LoadFailure{"cell_size_nan", "60 net.con par.dat 0 0 nan 500\n", I, kNet, kPar, kIni,
                    "\nthe cell size in x 'nan' is not a finite number\n"},
        LoadFailure{"cell_size_inf", "60 net.con par.dat 0 0 500 inf\n", I, kNet, kPar, kIni,
                    "\nthe cell size in y 'inf' is not a finite number\n"},
        LoadFailure{"time_step_beyond_a_double", "1e999\nnet.con par.dat 0 0 500 500\n", I, kNet, kPar, kIni,
                    "\nthe time step '1e999' is not a finite number\n"},
        LoadFailure{"version_1", P, I,
                    "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n1\n[Data]\n1 0 0 1 100 0.1 100\n",
                    kPar, kIni, "E : morvelan2d-1.cpp : 662 : "},
        LoadFailure{"duplicate_edge_number", P, I,
                    "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n2\n[Data]\n"
                    "4 1 1 0 0 0 1 10 0.1 100\n4 2 2 0 0 0 1 10 0.1 100\n",
                    kPar, kIni, "Edge 4 appears more than once in net.con.\n"},
        LoadFailure{"class_name_as_format", P, I, kNet, ParamFile("Morvelan2d Parameter Format", 3, {1, 2, 3}),
                    kIni, "E : morvelan2d-1.cpp : 712 : "},
        LoadFailure{"parameter_count", P, I, kNet, ParamFile("Morvelan Parameter Format", 2, {1, 2}), kIni,
                    "E : morvelan2d-1.cpp : 727 : "},
        LoadFailure{"parameter_count_names_file", P, I, kNet,
                    ParamFile("Morvelan Parameter Format", 2, {1, 2}), kIni, "par.dat.\n"},
        LoadFailure{"short_parameter_record", P, I, kNet,
                    "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n1 0.3\n",
                    kIni, "File: par.dat\n"},
        LoadFailure{"unknown_parameter_edge", P, I, kNet, ParamFile("Morvelan Parameter Format", 3, {1, 2, 9}),
                    kIni, "Edge 9 was not found in edgeArray\n"},
        LoadFailure{"second_parameter_record", P, I, kNet,
                    ParamFile("Morvelan Parameter Format", 3, {1, 2, 2}), kIni,
                    "E : morvelan2d-1.cpp : 790 : "},
        LoadFailure{"unknown_upper_edge", P, I,
                    "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
                    "4 1 1 0 1 7 0 1 10 0.1 100\n",
                    ParamFile("Morvelan Parameter Format", 1, {4}), InitFile("Morvelan Initial State Format", 1, {4}),
                    "Edge 7 was not found in edgeArray\n"},
        // The smallest long as an upper edge number has no positive form.
        LoadFailure{"upper_edge_smallest_long", P, I,
                    "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
                    "4 1 1 0 1 -2147483648 0 1 10 0.1 100\n",
                    ParamFile("Morvelan Parameter Format", 1, {4}), InitFile("Morvelan Initial State Format", 1, {4}),
                    "Edge -2147483648 was not found in edgeArray\n"},
        LoadFailure{"short_initial_line", P, "0\n", kNet, kPar, kIni, "E : morvelan2d-1.cpp : 861 : "},
        LoadFailure{"discharge_file_name_over_251", P, "0 " + std::string(252, 'n') + "\n", kNet, kPar,
                    kIni, "E : morvelan2d-1.cpp : 861 : "},
        LoadFailure{"initial_format", P, I, kNet, kPar, InitFile("Morvelan Parameter Format", 3, {1, 2, 3}),
                    "E : morvelan2d-1.cpp : 878 : "},
        LoadFailure{"initial_count", P, I, kNet, kPar, InitFile("Morvelan Initial State Format", 4, {1, 2, 3}),
                    "ini.dat.\n"},
        LoadFailure{"short_initial_record", P, I, kNet, kPar,
                    "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0\n",
                    "File: ini.dat\n"},
        LoadFailure{"unknown_initial_edge", P, I, kNet, kPar,
                    InitFile("Morvelan Initial State Format", 3, {1, 2, 8}), "Edge 8 was not found in edgeArray\n"},
        LoadFailure{"second_initial_record", P, I, kNet, kPar,
                    InitFile("Morvelan Initial State Format", 3, {1, 1, 3}), "E : morvelan2d-1.cpp : 930 : "}),
    [](const auto& info) { return std::string(info.param.name); });

// Whole reports as the modeller sees them, with the explanation of the
// report's source line: the element's description printed after loading
// the network, the report line, its explanation, the extra text, the
// description again.
struct ReportCase {
  const char* name;
  std::string par, ini;
  std::string expected;  // the whole error stream
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dReports : public ::testing::TestWithParam<ReportCase> {};

TEST_P(Morvelan2dReports, InFull) {
  const ReportCase& c = GetParam();
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Folder d;
  WriteBasin(d, kNet, c.par, c.ini);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "\ttotal area: 40000(m2)\n");
  EXPECT_EQ(o.err, c.expected);
}

const std::string kDescr = "    Morvelan2d morvelan2d 0\n";
const std::string k1040 =
    "    The runoff element was asked to start without its parameters or its\n"
    "    initial state: its line in the parameter file or in the initial-state\n"
    "    file never came, or the initial-state file was read before the parameter\n"
    "    file. Check the component headers of the two files.\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dReports,
    ::testing::Values(
        ReportCase{"parameter_count", ParamFile("Morvelan Parameter Format", 2, {1, 2}), kIni,
                   kDescr + "E : morvelan2d-1.cpp : 727 : \n"
                            "    The number of edges in the edge parameter file differs from that of the\n"
                            "    edge connection file. The parameter file must belong to the network.\n"
                            "par.dat.\n" + kDescr},
        ReportCase{"unknown_parameter_edge", ParamFile("Morvelan Parameter Format", 3, {1, 2, 9}), kIni,
                   kDescr + "E : morvelan2d-1.cpp : 784 : \n"
                            "    A record of the edge parameter file names an edge that is not in the\n"
                            "    edge connection file. The parameter file must belong to the network.\n"
                            "Edge 9 was not found in edgeArray\n" + kDescr},
        ReportCase{"short_initial_record", kPar,
                   "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0\n",
                   kDescr + "E : morvelan2d-1.cpp : 911 : \n"
                            "    A record of the initial discharge file is incomplete or holds an item\n"
                            "    that is not a number. A record holds the edge number and the discharges\n"
                            "    (m3/s) at its upper and its lower end.\n"
                            "File: ini.dat\n" + kDescr},
        ReportCase{"unknown_initial_edge", kPar, InitFile("Morvelan Initial State Format", 3, {1, 2, 8}),
                   kDescr + "E : morvelan2d-1.cpp : 926 : \n"
                            "    A record of the initial discharge file names an edge that is not in the\n"
                            "    edge connection file. The file must belong to the network.\n"
                            "Edge 8 was not found in edgeArray\n" + kDescr}),
    [](const auto& info) { return std::string(info.param.name); });

struct CheckCase {
  const char* name;
  std::string pline;
  std::string record;  // one parameter record for edge 1
  const char* condition;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Morvelan2dChecks, StopsWithTheCondition) {
  const CheckCase& c = GetParam();
  cli::Folder d;
  const std::string net =
      "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
      "1 1 1 0 0 0 1 10 0.1 100\n";
  WriteBasin(d, net,
             "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n1\n[Data]\n" +
                 c.record + "\n",
             kIni);
  EXPECT_DEATH(
      {
        if (chdir(d.path().c_str()) != 0) std::abort();
        Morvelan2d m("morvelan2d", 0);
        FILE* p = Line(c.pline);
        m.Set_parameter(p);
      },
      std::string("morvelan2d-1.cpp:[0-9]+: Assertion `") + c.condition + "' failed");
}

const char* const kRec = "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10";

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dChecks,
    ::testing::Values(
        CheckCase{"dt", "0 net.con par.dat 0 0 500 500", kRec, "dt > 0"},
        CheckCase{"dx", "60 net.con par.dat 0 0 0 500", kRec, "dx > 0\\.0"},
        CheckCase{"dy", "60 net.con par.dat 0 0 500 -1", kRec, "dy > 0\\.0"},
        CheckCase{"num", P, "0 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "num > 0"},
        CheckCase{"man", P, "1 0 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "man > 0\\.0"},
        CheckCase{"d_da", P, "1 0.3 1.667 0.01 0.2 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "d >= da"},
        CheckCase{"dm", P, "1 0.3 1.667 0.01 1.0 0.3 0.3 4.0 0.65 0.000001 10 0.0001 10",
                  "0\\.0 <= dm && dm < da"},
        CheckCase{"beta", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 0.5 0.65 0.000001 10 0.0001 10", "beta >= 1\\.0"},
        CheckCase{"theta", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 1.5 0.000001 10 0.0001 10",
                  "0\\.0 <= theta && theta <= 1\\.0"},
        CheckCase{"ndiv", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 0", "ndiv > 0"},
        CheckCase{"m", P, "1 0.3 0 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "m > 0\\.0"},
        CheckCase{"ka", P, "1 0.3 1.667 -0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "ka > 0\\.0"},
        CheckCase{"da", P, "1 0.3 1.667 0.01 -0.1 -0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "da >= 0\\.0"},
        CheckCase{"cmin", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0 10 0.0001 10", "cmin > 0\\.0"},
        CheckCase{"Qlevel", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 0 0.0001 10", "Qlevel > 0\\.0"},
        CheckCase{"eps", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0 10", "eps > 0\\.0"}),
    [](const auto& info) { return std::string(info.param.name); });

// The checks on the counts of the three files and on the initial discharge
// records, each with the condition it names.
TEST(Morvelan2dChecks, CountsAndDischargeRecords) {
  const std::string par1 = ParamFile("Morvelan Parameter Format", 3, {1, 2, 3});
  const struct {
    std::string net, par, ini;
    const char* condition;
  } cases[] = {
      {"[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\nmany\n[Data]\n", par1, kIni,
       "sscanf\\(buf, \"%ld\", &numEdges\\) == 1"},
      {"[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n0\n[Data]\n", par1, kIni,
       "numEdges > 0"},
      {kNet, "[Data Format Name]\nMorvelan Parameter Format\n[Data]\n", kIni,
       "sscanf\\(buf, \"%ld\", &numtmp\\) == 1"},
      {kNet, par1, "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n\n", 
       "sscanf\\(buf, \"%ld\", &numtmp\\) == 1"},
      {kNet, par1, InitFile("Morvelan Initial State Format", 3, {1, 2, 0}), "num > 0"},
      {kNet, par1,
       "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0 -0.5\n3 0 0\n",
       "lowdis >= 0\\.0"},
  };
  for (const auto& c : cases) {
    cli::Folder d;
    WriteBasin(d, c.net, c.par, c.ini);
    EXPECT_DEATH(
        {
          if (chdir(d.path().c_str()) != 0) std::abort();
          Morvelan2d m("morvelan2d", 0);
          Load(m);
        },
        std::string("morvelan2d-1.cpp:[0-9]+: Assertion `") + c.condition + "' failed");
  }
}

TEST(Morvelan2dLoad, EdgeCountBeyondTheFileStopsAtTheMissingRecordWithoutReservingIt) {
  // One record under a count of millions: the reading stops at the second
  // record, as with any file that ends early, and the count does not make
  // the element reserve its edges first (without a sanitizer the address
  // space is limited to 1 GB, which 20 million edges would exceed).
  for (const char* count : {"20000000", "2147483647"}) {
    cli::Folder d;
    WriteBasin(d,
               std::string("[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n") + count +
                   "\n[Data]\n1 10 100 100 20 11 100 300 10 0 0 1 200 0.05 20000\n");
    EXPECT_DEATH(
        {
          if (chdir(d.path().c_str()) != 0) std::abort();
#if !defined(__SANITIZE_ADDRESS__)
          struct rlimit limit;
          limit.rlim_cur = limit.rlim_max = 1L << 30;
          setrlimit(RLIMIT_AS, &limit);
#endif
          Morvelan2d m("morvelan2d", 0);
          FILE* p = Line(P);
          m.Set_parameter(p);
        },
        "morvelan2d-1.cpp:[0-9]+: Assertion `mNum > 0' failed")
        << count;
  }
}

TEST(Morvelan2dLoad, ParameterFileEndingBeforeItsRecordsStops) {
  // With the count right, no record twice and none unknown, every edge has
  // its record; a file that ends early is the remaining case.
  cli::Folder d;
  WriteBasin(d, kNet,
             "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n" +
                 std::string(kRec) + "\n");
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("E : morvelan2d-1.cpp : 759 : "), std::string::npos) << o.err;
}

// --- reports that name the record and the user's line ------------------------------

// Files as written by hand: a comment block, whole-line comments before and
// between the records, a comment after a record. The parameter file's
// records come in the order 3, 1, 2, the record of edge 2 on line 13 (or
// split after item `split` over lines 13 and 14), its item `item` (1: man
// .. 11: eps) replaced by `value`.
const char* const kItems[] = {"0.3",  "1.667",    "0.01", "1.0",    "0.3",  "0.15",
                              "4.0",  "0.65",     "0.000001", "10", "0.0001", "10"};

std::string HandRecord(const std::string& num, int item = 0, const std::string& value = "",
                       int split = 0) {
  std::string s = num;
  for (int i = 1; i <= 12; i++) {
    s += split > 0 && i == split + 1 ? "\n    " : " ";
    s += i == item ? value : kItems[i - 1];
  }
  return s + "\n";
}

std::string HandParams(int item, const std::string& value, int split = 0,
                       const std::string& num = "2") {
  return "[Comment]\nparameters by hand\n# whole-line comment\n[Data Format Name]\n"
         "Morvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n# edge 3 first\n" +
         HandRecord("3") + "1" + HandRecord("").substr(0, HandRecord("").size() - 1) +
         "  # after the record\n#\n" + HandRecord(num, item, value, split);
}

// The record of edge 2 on line 12.
std::string HandDischarges(const std::string& up, const std::string& low) {
  return "[Comment]\ndischarges by hand\n# whole-line comment\n[Data Format Name]\n"
         "Morvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n# all dry\n"
         "1 0 0\n#\n2 " + up + " " + low + "\n3 0 0\n";
}

// kNet by hand: the record of edge 2 on line 12.
std::string HandNet(const std::string& second, const std::string& count = "3",
                    const std::string& third = "3 11 100 300 10 13 100 500 5 2 1 2 0 2") {
  return "# a small network\n[Comment]\ntwo slopes and a river\n[Data Format Name]\n"
         "edge connection V.4\n# the count\n[Number of Total Edges]\n" + count + "\n[Data]\n"
         "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n# the second slope\n" +
         second + "\n" + third + "\n";
}

const char* const kSecondSlope = "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000";

TEST(Morvelan2dHandFiles, LoadAsTheFilesWithoutComments) {
  cli::Folder d;
  WriteBasin(d, HandNet(kSecondSlope), HandParams(0, ""), HandDischarges("0", "0"));
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return m.NumberOfEdges() == 3 && m.SumArea() == 40000 ? 0 : 10;
      },
      d.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

struct NotFiniteCase {
  const char* name;
  std::string par, ini;
  std::string report;  // the position and the line naming the value
};

void PrintTo(const NotFiniteCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dNotFinite : public ::testing::TestWithParam<NotFiniteCase> {};

// Refused where it is read, in the framework's report form, with the
// record's edge number and the line of the value in the user's file.
TEST_P(Morvelan2dNotFinite, IsRefusedNamingFileEdgeAndLine) {
  const NotFiniteCase& c = GetParam();
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Folder d;
  WriteBasin(d, kNet, c.par, c.ini);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, kDescr + c.report + kDescr);
}

const std::string k763 =
    "E : morvelan2d-1.cpp : 763 : \n"
    "    A parameter of a record of the edge parameter file is not a finite\n"
    "    number: \"inf\", \"nan\" or a value beyond the range of a double (1e999).\n"
    "    Give every parameter a finite value in its range.\n";
const std::string k915 =
    "E : morvelan2d-1.cpp : 915 : \n"
    "    A discharge of a record of the initial discharge file is not a finite\n"
    "    number: \"inf\", \"nan\" or a value beyond the range of a double (1e999).\n"
    "    Give every discharge a finite value of 0 or more (m3/s).\n";
const std::string kHandIni = HandDischarges("0", "0");
const std::string kHandPar = HandParams(0, "");

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dNotFinite,
    ::testing::Values(
        NotFiniteCase{"man_inf", HandParams(1, "inf"), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: man is not a finite number\n"},
        NotFiniteCase{"ka_nan", HandParams(3, "nan"), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: ka is not a finite number\n"},
        NotFiniteCase{"dm_minus_inf", HandParams(6, "-inf"), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: dm is not a finite number\n"},
        NotFiniteCase{"Qlevel_overflows", HandParams(10, "-1e400"), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: Qlevel is not a finite number\n"},
        NotFiniteCase{"eps_overflows", HandParams(11, "1e999"), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: eps is not a finite number\n"},
        // A record over two lines: the line of the value.
        NotFiniteCase{"theta_on_the_record's_second_line", HandParams(8, "INF", 5), kHandIni,
                      k763 + "File: par.dat, edge 2, line 14: theta is not a finite number\n"},
        NotFiniteCase{"man_on_the_record's_first_line", HandParams(1, "NaN", 5), kHandIni,
                      k763 + "File: par.dat, edge 2, line 13: man is not a finite number\n"},
        // No edge has the number 0: the record by its place.
        NotFiniteCase{"record_without_edge_number", HandParams(2, "inf", 0, "0"), kHandIni,
                      k763 + "File: par.dat, record 3, line 13: m is not a finite number\n"},
        NotFiniteCase{"upper_discharge_inf", kHandPar, HandDischarges("inf", "0"),
                      k915 + "File: ini.dat, edge 2, line 12: the discharge at the upper end is "
                             "not a finite number\n"},
        NotFiniteCase{"lower_discharge_overflows", kHandPar, HandDischarges("0", "1e999"),
                      k915 + "File: ini.dat, edge 2, line 12: the discharge at the lower end is "
                             "not a finite number\n"},
        NotFiniteCase{"upper_discharge_nan", kHandPar, HandDischarges("nan", "0"),
                      k915 + "File: ini.dat, edge 2, line 12: the discharge at the upper end is "
                             "not a finite number\n"}),
    [](const auto& info) {
      std::string name = info.param.name;
      name.erase(std::remove(name.begin(), name.end(), '\''), name.end());
      return name;
    });

struct CheckPlace {
  const char* name;
  std::string net, par, ini;
  bool networkRead;       // the element's description comes first
  std::string place;      // the line before the failed condition
  const char* condition;
};

void PrintTo(const CheckPlace& c, std::ostream* os) { *os << c.name; }

class Morvelan2dCheckPlace : public ::testing::TestWithParam<CheckPlace> {};

// The conditions and their stop as they were, after one line naming the
// file, the record and the user's line.
TEST_P(Morvelan2dCheckPlace, NamesFileRecordAndLineBeforeTheCondition) {
  const CheckPlace& c = GetParam();
  cli::Folder d;
  WriteBasin(d, c.net, c.par, c.ini);
  EXPECT_DEATH(
      {
        if (chdir(d.path().c_str()) != 0) std::abort();
        Morvelan2d m("morvelan2d", 0);
        Load(m);
      },
      "^" + ftest::escaped((c.networkRead ? kDescr : "") + c.place) +
          "morvelan2d-1\\.cpp:[0-9]+: Assertion `" + ftest::escaped(c.condition) + "' failed\\.\n$");
}

const std::string kHandNet = HandNet(kSecondSlope);

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dCheckPlace,
    ::testing::Values(
        CheckPlace{"network_attribute", HandNet("2 12 300 100 20 11 100 300 10 0 2 -3 3 200 0.05"),
                   kHandPar, kHandIni, false,
                   "File: net.con, edge 2, line 12: this record fails the check below\n",
                   "tmp == 1 || tmp == 2"},
        CheckPlace{"network_edge_number", HandNet("0 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000"),
                   kHandPar, kHandIni, false,
                   "File: net.con, record 2, line 12: this record fails the check below\n", "mNum > 0"},
        CheckPlace{"network_ends_in_a_record", HandNet(kSecondSlope, "3", "3 11 100 300 10 13 100 500 5 2 1"),
                   kHandPar, kHandIni, false,
                   "File: net.con, edge 3, line 13: this record fails the check below\n",
                   "fscanf(fpTopo, \"%ld\", &num) == 1"},
        CheckPlace{"network_count", HandNet(kSecondSlope, "three"), kHandPar, kHandIni, false,
                   "File: net.con, line 8: the edge count under [Number of Total Edges] fails the "
                   "check below\n",
                   "sscanf(buf, \"%ld\", &numEdges) == 1"},
        CheckPlace{"parameter_range", kHandNet, HandParams(4, "0.2"), kHandIni, true,
                   "File: par.dat, edge 2, line 13: this record fails the check below\n", "d >= da"},
        CheckPlace{"parameter_edge_number", kHandNet, HandParams(0, "", 0, "-2"), kHandIni, true,
                   "File: par.dat, record 3, line 13: this record fails the check below\n", "num > 0"},
        CheckPlace{"parameter_count_missing", kHandNet,
                   "[Data Format Name]\nMorvelan Parameter Format\n[Data]\n", kHandIni, true,
                   "File: par.dat: the edge count under [Number of Total Edges] fails the check below\n",
                   "sscanf(buf, \"%ld\", &numtmp) == 1"},
        CheckPlace{"discharge_range", kHandNet, kHandPar, HandDischarges("0", "-0.5"), true,
                   "File: ini.dat, edge 2, line 12: this record fails the check below\n",
                   "lowdis >= 0.0"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OverwriteCase {
  const char* name;
  std::string pline, iline;
  std::vector<std::string> links;  // pairs: (link, target); "hard:" for a hard link
  std::string text;                // the report's line
};

void PrintTo(const OverwriteCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dTerminalFile : public ::testing::TestWithParam<OverwriteCase> {};

// The terminal discharge file would replace an input at the end of the run:
// refused when the initial-state line is read, before any file is read.
TEST_P(Morvelan2dTerminalFile, ThatIsAnInputIsRefusedNamingBoth) {
  const OverwriteCase& c = GetParam();
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Folder d;
  WriteBasin(d);
  std::filesystem::create_directory(d.file("sub"));
  for (std::size_t k = 0; k + 1 < c.links.size(); k += 2) {
    const std::string& link = c.links[k];
    if (link.rfind("hard:", 0) == 0)
      std::filesystem::create_hard_link(d.file(c.links[k + 1]), d.file(link.substr(5)));
    else if (link.rfind("copy:", 0) == 0)
      std::filesystem::copy_file(d.file(c.links[k + 1]), d.file(link.substr(5)));
    else
      std::filesystem::create_symlink(c.links[k + 1], d.file(link));
  }
  cli::Result o = ftest::run(
      [&c] {
        Morvelan2d m("morvelan2d", 0);
        Load(m, c.pline, c.iline);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, kDescr +
                       "E : morvelan2d-1.cpp : 866 : \n"
                       "    The terminal discharge file, the initial discharge file's name with\n"
                       "    \".tst\" added, is one of the run's input files: the end of the run would\n"
                       "    overwrite it. Rename the initial discharge file or that input file.\n" +
                       c.text + kDescr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dTerminalFile,
    ::testing::Values(
        OverwriteCase{"connection_file", "60 ini.dat.tst par.dat 0 0 500 500", I,
                      {"copy:ini.dat.tst", "net.con"},
                      "The terminal discharge file ini.dat.tst is the edge connection file "
                      "ini.dat.tst: the end of the run would overwrite it.\n"},
        OverwriteCase{"connection_file_spelled_otherwise", "60 ./ini.dat.tst par.dat 0 0 500 500",
                      "0 sub/../ini.dat\n", {"copy:ini.dat.tst", "net.con"},
                      "The terminal discharge file sub/../ini.dat.tst is the edge connection file "
                      "./ini.dat.tst: the end of the run would overwrite it.\n"},
        OverwriteCase{"parameter_file_by_a_hard_link", P, I, {"hard:ini.dat.tst", "par.dat"},
                      "The terminal discharge file ini.dat.tst is the edge parameter file par.dat: "
                      "the end of the run would overwrite it.\n"},
        OverwriteCase{"initial_discharge_file_by_a_symbolic_link", P, I, {"ini.dat.tst", "ini.dat"},
                      "The terminal discharge file ini.dat.tst is the initial discharge file "
                      "ini.dat: the end of the run would overwrite it.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Morvelan2dTerminalFile, AnEarlierTerminalFileIsNoInput) {
  cli::Folder d;
  WriteBasin(d);
  write_file(d.file("ini.dat.tst"), kIni);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return m.EdgeDisFileName() == "ini.dat" ? 0 : 10;
      },
      d.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

// The links of the network as they are read: an edge listed before an
// edge that drains into it is told once, with the count and the first
// link (links to an edge sharing the node are no inflow); a river edge
// draining into another edge of a V.2 or V.4 file stops as it did, after a
// line naming the file and what such a network needs.
struct LinkCase {
  const char* name;
  std::string net;
  std::vector<int> nums;  // the edge numbers
  int status;
  std::string err;  // after the element's description
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(Morvelan2dLinks, AreToldOnceAfterTheNetworkIsRead) {
  const LinkCase& c = GetParam();
  qtest::Qavlensdir none(nullptr);
  cli::Folder d;
  const int n = static_cast<int>(c.nums.size());
  WriteBasin(d, c.net, ParamFile("Morvelan Parameter Format", n, c.nums),
             InitFile("Morvelan Initial State Format", n, c.nums));
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        Load(m);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, c.status);
  EXPECT_EQ(o.err, kDescr + c.err);
}

std::string Late(const std::string& count, const std::string& first) {
  return "W : morvelan2d-1.cpp : 820 : \nFile: net.con: " + count +
         " from an edge to one listed before it, the first from " + first +
         ": the downstream edge takes the upstream edge's outflow of the previous step. List the upstream edge "
         "first (pelmic writes the edges by number: number them upstream first).\n" + kDescr;
}

std::string Net(int version, int count, const std::string& records) {
  return "[Data Format Name]\nedge connection V." + std::to_string(version) + "\n[Number of Total Edges]\n" +
         std::to_string(count) + "\n[Data]\n" + records;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dLinks,
    ::testing::Values(
        LinkCase{"upstream_first", kNet, {1, 2, 3}, 0, ""},
        LinkCase{"river_before_its_slopes",
                 Net(4, 3,
                     "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n"
                     "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
                     "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n"),
                 {1, 2, 3}, 0, Late("2 links run", "edge 1 (record 2) to edge 3 (record 1)")},
        LinkCase{"chain_listed_downstream_first",
                 Net(2, 3,
                     "3 0 0 0  1 2  0     1 10 0.1 400\n"
                     "2 0 0 0  1 1  1 -3  1 10 0.1 200\n"
                     "1 0 0 0  0    1 -2  1 10 0.1 100\n"),
                 {1, 2, 3}, 0, Late("2 links run", "edge 2 (record 2) to edge 3 (record 1)")},
        LinkCase{"one_link_in_a_v5_file",
                 Net(5, 2,
                     "2 11 100 300 10 12 100 500 5  1 1  0  2 1 1000\n"
                     "1 10 100 100 20 11 100 300 10  0  1 -2  1 50 0.2 1000 1 0\n"),
                 {1, 2}, 0, Late("1 link runs", "edge 1 (record 2) to edge 2 (record 1)")},
        // Edge 1 shares its upper node with edge 2, listed later: no inflow.
        LinkCase{"node_shared_with_a_later_edge",
                 Net(2, 3,
                     "1 0 0 0  1 -2  1 -3  1 10 0.1 100\n"
                     "2 0 0 0  1 -1  1 -3  1 10 0.1 100\n"
                     "3 0 0 0  2 1 2  0    2\n"),
                 {1, 2, 3}, 0, ""},
        LinkCase{"river_into_a_slope_v2",
                 Net(2, 2,
                     "4 0 0 0  0     1 -12  2\n"
                     "12 0 0 0 1 4   0      1 10 0.1 200\n"),
                 {4, 12}, 1,
                 "File: net.con: the river edge 4 drains into edge 12: river reaches in series need an edge "
                 "connection V.3 or V.5 file, which carries each edge's distribution rate and upper area\n"
                 "wrong connection of edges:\nfrom 4 to 12\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Morvelan2dLoad, InitialStateBeforeTheParametersIsRefusedWhenTheyCome) {
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Folder d;
  WriteBasin(d);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        FILE* i = Line(I);
        m.Set_initial_state(i);
        std::fclose(i);
        FILE* p = Line(P);
        m.Set_parameter(p);
        std::fclose(p);
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "E : morvelan2d-1.cpp : 1040 : \n" + k1040 +
                       "The initial state came before the parameters.\n" + kDescr);
}

// --- running ---------------------------------------------------------------------

// Rain from a matrix time series (one record per line: time, rows, columns,
// the cells column by column); the three series to files.
class TestBasin : public Total_system {
 public:
  TestBasin()
      : ip("rain.dat"), op("q.out", 128), opSarea("q.sat", 128), opStorage("q.stg", 128),
        m("morvelan2d", 0) {
    class_name = "TestBasin";
    Init("sys", 0, 0);
  }
  int Register_input_ports() override { return Register(&ip); }
  int Register_output_ports() override {
    return Register(&op) && Register(&opSarea) && Register(&opStorage);
  }
  int Register_components() override { return Register(&m); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&ip, &m, "ReceiveNointp", "rp", 0);
    Connect(&m, "Send", "sp", 0, &op);
    Connect(&m, "Send", "spSarea", 0, &opSarea);
    Connect(&m, "Send", "spStorage", 0, &opStorage);
    return 1;
  }
  int Connect_components() override { return 1; }

  I_file<TzMatrix<double>> ip;
  O_file<double> op, opSarea, opStorage;
  Morvelan2d m;
};

void WriteFrame(const cli::Folder& d, const std::string& pline = "60 net.con par.dat 0 0 500 500",
                const std::string& iline = "0 ini.dat") {
  write_file(d.file("t.pmt"), "TestBasin sys 0\n{\nMorvelan2d morvelan2d 0\n" + pline + "\n}\n");
  write_file(d.file("t.ist"), "TestBasin sys 0\n0\n{\nMorvelan2d morvelan2d 0\n" + iline + "\n}\n");
}

int RunBasin() {
  std::ostringstream rain;
  Morvelan2d::SetRainSumStream(&rain);
  TestBasin b;
  if (b.Construct() != 1 || b.Switch() != 1 || b.Are_you_ready() != 1) return 99;
  b.Read_parameter_file("t.pmt");
  b.Read_initial_state_file("t.ist");
  b.Initial_work();
  b.Work();
  b.Write_terminal_state("t.tst");
  Morvelan2d::SetRainSumStream(nullptr);
  ftest::write_file("rain.sum", rain.str());
  return 0;
}

// Uniform rain records "t 2 2 v v v v".
std::string Uniform(std::initializer_list<std::pair<int, double>> recs) {
  std::string s;
  for (const auto& r : recs) {
    std::ostringstream line;
    line << r.first << " 2 2 " << r.second << " " << r.second << " " << r.second << " " << r.second
         << "\n";
    s += line.str();
  }
  return s;
}

TEST(Morvelan2dRun, StepsInterpolatesAndWritesTheTerminalFile) {
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d);
  // 0 mm/h at 0, 12 mm/h at 600: the step ending at 120 s gets 2.4 mm/h.
  write_file(d.file("rain.dat"), Uniform({{0, 0}, {600, 12}, {1200, 12}}));
  cli::Result o = ftest::run(RunBasin, d.path(), "600\n600\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("[morvelan2d 0] 60 : "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("   all_rain = 1.200000\n[morvelan2d 0] 120 : "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("[morvelan2d 0] 600 : "), std::string::npos);
  EXPECT_EQ(o.out.find("[morvelan2d 0] 660 : "), std::string::npos);
  const std::string sum = read_file(d.file("rain.sum"));
  EXPECT_EQ(sum.substr(0, 24), "60 1.2\n120 2.4\n180 3.6\n2") << sum;
  EXPECT_NE(sum.find("\n600 12\n"), std::string::npos);

  auto q = cli::series(read_file(d.file("q.out")));
  ASSERT_EQ(q.size(), 11u);
  EXPECT_EQ(q[0], (std::pair<long, double>{0, 0.0}));
  EXPECT_EQ(q[10].first, 600);
  for (std::size_t k = 1; k < q.size(); ++k) EXPECT_GE(q[k].second, q[k - 1].second);
  EXPECT_GT(q[10].second, 0.0);
  // The outflow never exceeds the rain that fell.
  EXPECT_LT(q[10].second, 12 * 0.001 / 3600 * 40000);
  auto v = cli::series(read_file(d.file("q.stg")));
  ASSERT_EQ(v.size(), 11u);
  EXPECT_EQ(v[0].second, 0.0);  // the storage sent at the start is 0
  EXPECT_GT(v[10].second, 0.0);
  auto s = cli::series(read_file(d.file("q.sat")));
  ASSERT_EQ(s.size(), 11u);
  EXPECT_GE(s[10].second, 0.0);
  EXPECT_LE(s[10].second, 1.0);

  // The framework line names the terminal discharge file, which holds the
  // discharges at both ends in the initial discharge format.
  EXPECT_NE(read_file(d.file("t.tst")).find("Morvelan2d morvelan2d 0\n600 ini.dat.tst\n"),
            std::string::npos)
      << read_file(d.file("t.tst"));
  const std::string tst = read_file(d.file("ini.dat.tst"));
  const std::string head =
      "[Comment]\nThese are discharge data at both ends of all edges.\n"
      "Each column in [Data] section is as follows:\n<edge number>\n"
      "<discharge at upper end(m3/s)>\n<discharge at lower end(m3/s)>\n"
      "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0.000000 ";
  EXPECT_EQ(tst.substr(0, head.size()), head) << tst;
  // A river edge passes its inflow on to its lower end; its upper end keeps
  // the initial discharge.
  char last[64];
  std::snprintf(last, sizeof last, "3 0.000000 %f\n", q[10].second);
  EXPECT_EQ(tst.substr(tst.size() - std::strlen(last)), last) << tst;
}

TEST(Morvelan2dRun, InitialOutputWaitsForRainAtTheStart) {
  // No rain yet: the initial work cannot map the cells, the first step asks
  // for the rain and the run stops in the catch; once the file is there the
  // run goes on as if it had been there from the start.
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d);
  ftest::Dialogue dlg(RunBasin, d.path());
  dlg.send("300\n300\n");
  ASSERT_TRUE(dlg.wait_for("Quit? [Y / N] : "));
  write_file(d.file("rain.dat"), Uniform({{0, 6}, {600, 6}, {1200, 6}}));
  dlg.send("N\n300\n300\nY\n");
  cli::Result o = dlg.finish();
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("Cannot get data from rain.dat \n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("# Error : Now in catch block"), std::string::npos);
  auto q = cli::series(read_file(d.file("q.out")));
  ASSERT_EQ(q.size(), 6u);
  EXPECT_EQ(q[0], (std::pair<long, double>{0, 0.0}));
  EXPECT_EQ(q[5].first, 300);

  // The same basin with the rain there from the start gives the same series.
  cli::Folder d2;
  WriteBasin(d2);
  WriteFrame(d2);
  write_file(d2.file("rain.dat"), Uniform({{0, 6}, {600, 6}, {1200, 6}}));
  cli::Result o2 = ftest::run(RunBasin, d2.path(), "300\n300\nY\n");
  ASSERT_EQ(o2.status, 0) << o2.err;
  EXPECT_EQ(read_file(d.file("q.out")), read_file(d2.file("q.out")));
  EXPECT_EQ(read_file(d.file("ini.dat.tst")), read_file(d2.file("ini.dat.tst")));
}

TEST(Morvelan2dRun, SteadyStateUnderConstantRain) {
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d);
  write_file(d.file("rain.dat"), Uniform({{0, 36}, {400000, 36}}));
  cli::Result o = ftest::run(RunBasin, d.path(), "360000\n360000\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  auto q = cli::series(read_file(d.file("q.out")));
  ASSERT_FALSE(q.empty());
  // 36 mm/h on 40000 m2 of slope: 0.4 m3/s.
  EXPECT_NEAR(q.back().second, 36 * 0.001 / 3600 * 40000, 1e-6);
}

// A record "t rows cols" with every cell 1.
std::string Ones(int t, int rows, int cols) {
  std::string s = std::to_string(t) + " " + std::to_string(rows) + " " + std::to_string(cols);
  for (int k = 0; k < rows * cols; ++k) s += " 1";
  return s + "\n";
}

TEST(Morvelan2dRun, RainGridOfAnotherSizeStops) {
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d);
  write_file(d.file("rain.dat"), Uniform({{0, 5}, {120, 5}}) + "240 1 1 5\n");
  cli::Result o = ftest::run(RunBasin, d.path(), "300\n300\nY\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("E : morvelan2d-1.cpp : 1200 : "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("The rain grid of time 240 has 1 x 1 cells; the cells of the edges were found on a grid of 2 x 2.\n"),
            std::string::npos)
      << o.err;
  // The steps before it were done.
  EXPECT_NE(o.out.find("[morvelan2d 0] 120 : "), std::string::npos);
}

TEST(Morvelan2dRun, OutflowIsSummedOverTheOutlets) {
  // Version 3: two slope edges, each into its own outlet river edge; the
  // distribution rates and upper areas come from the file.
  cli::Folder d;
  WriteBasin(d,
             "[Data Format Name]\nedge connection V.3\n[Number of Total Edges]\n4\n[Data]\n"
             "1 100 200 10 0 1 -2 1 200 0.05 20000 1 0\n"
             "2 100 300 5 1 1 0 2 1 20000\n"
             "3 200 200 10 0 1 -4 1 100 0.1 10000 1 0\n"
             "4 200 300 5 1 3 0 2 1 10000\n",
             ParamFile("Morvelan Parameter Format", 4, {1, 2, 3, 4}),
             InitFile("Morvelan Initial State Format", 4, {4, 3, 2, 1}));
  WriteFrame(d);
  write_file(d.file("rain.dat"), Uniform({{0, 36}, {400000, 36}}));
  cli::Result o = ftest::run(RunBasin, d.path(), "360000\n360000\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\ttotal area: 30000(m2)\n"), std::string::npos);
  auto q = cli::series(read_file(d.file("q.out")));
  ASSERT_FALSE(q.empty());
  EXPECT_NEAR(q.back().second, 36 * 0.001 / 3600 * 30000, 1e-6);
}

struct CellCase {
  const char* name;
  std::string pline;  // grid origin and cell size
  std::string rain;
  int status;
  const char* expected;  // on the error stream, or the rain line of the first step
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.name; }

class Morvelan2dCells : public ::testing::TestWithParam<CellCase> {};

TEST_P(Morvelan2dCells, FindsTheCellOrStops) {
  const CellCase& c = GetParam();
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d, c.pline);
  write_file(d.file("rain.dat"), c.rain);
  // A run that stops at its initial work reads no answers.
  cli::Result o = ftest::run(RunBasin, d.path(), c.status == 0 ? "60\n60\nY\n" : "");
  EXPECT_EQ(o.status, c.status) << o.err;
  if (c.status == 0)
    EXPECT_NE(o.out.find(c.expected), std::string::npos) << o.out;
  else
    EXPECT_NE(o.err.find(c.expected), std::string::npos) << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Morvelan2dCells,
    ::testing::Values(
        // Cells of 100 m: edge 1 at (100, 200) is cell (1, 2), edge 2 at
        // (200, 200) cell (2, 2). A 3 x 3 grid (blocks of 3) whose cells are
        // numbered 10 x + y + 1 in the column-by-column text: (1,2) = 13,
        // (2,2) = 23; both slopes have equal area: mean 18.
        CellCase{"grid_smaller_than_a_block", "60 net.con par.dat 0 0 100 100",
                 "0 3 3 1 11 21 2 12 22 3 13 23\n600 3 3 1 11 21 2 12 22 3 13 23\n", 0,
                 "all_rain = 18.000000\n"},
        // An edge exactly on the upper y bound of the grid is outside it.
        CellCase{"edge_on_the_upper_bound", "60 net.con par.dat 0 0 100 100",
                 "0 3 2 1 1 1 1 1 1\n600 3 2 1 1 1 1 1 1\n", 1,
                 "    Cannot find the cell block in which\n    the edge 1 (100.000000, 200.000000) is included.\n"},
        // Origin moved: both points left of the grid.
        CellCase{"left_of_the_grid", "60 net.con par.dat 150 0 500 500",
                 "0 2 2 1 1 1 1\n600 2 2 1 1 1 1\n", 1, "E : morvelan2d-1.cpp : 1126 : "},
        // A 6 x 6 grid of 40 m cells from x = -140: blocks of 5 cells; the
        // second block in x covers [60, 260) but only its first cell
        // [60, 100) is in the grid, so x = 100 lies in the block and in no
        // cell.
        CellCase{"point_in_a_partial_block", "60 net.con par.dat -140 0 40 40",
                 Ones(0, 6, 6) + Ones(600, 6, 6), 1,
                 "Can not find the cell which includes the slope unit 1,\n"
                 "which is located at [100.000000, 200.000000].\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Morvelan2dRun, CellsOfNoSlopeEdgeDoNotEnterTheBasinRain) {
  // Cells of 100 m: the slope edges lie in cells (1, 2) and (2, 2), the
  // river edge keeps cell (0, 0), which holds no number (a radar's missing
  // value): the basin's rain is that of the slopes.
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d, "60 net.con par.dat 0 0 100 100");
  write_file(d.file("rain.dat"), "0 3 3 nan 1 1 1 1 1 1 1 1\n600 3 3 inf 2 2 2 2 2 2 2 2\n");
  cli::Result o = ftest::run(RunBasin, d.path(), "120\n120\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("   all_rain = 1.100000\n[morvelan2d 0] 120 : 0.000000   all_rain = 1.200000\n"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(read_file(d.file("rain.sum")), "60 1.1\n120 1.2\n");
}

TEST(Morvelan2dRun, CellSearchReportsInFull) {
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  const std::string descr = "    Morvelan2d morvelan2d 0\n        owner > TestBasin sys 0\n";
  struct Case {
    std::string pline, rain, report;
  };
  const Case cases[] = {
      {"60 net.con par.dat 0 0 100 100", "0 3 2 1 1 1 1 1 1\n600 3 2 1 1 1 1 1 1\n",
       "E : morvelan2d-1.cpp : 1126 : \n"
       "    A slope edge lies outside the rain grid. Every slope edge's point must\n"
       "    lie in a cell: the grid origin and cell size of the parameter line and\n"
       "    the grid size of the rain file must cover the basin.\n"
       "    Cannot find the cell block in which\n"
       "    the edge 1 (100.000000, 200.000000) is included.\n" + descr},
      {"60 net.con par.dat -140 0 40 40", Ones(0, 6, 6) + Ones(600, 6, 6),
       "E : morvelan2d-1.cpp : 1072 : \n"
       "    A slope edge lies in a block of rain cells but in none of its cells:\n"
       "    its point is outside the rain grid. Check the grid origin and the cell\n"
       "    size of the parameter line against the rain file.\n"
       "Can not find the cell which includes the slope unit 1,\n"
       "which is located at [100.000000, 200.000000].\n" + descr},
  };
  for (const Case& c : cases) {
    cli::Folder d;
    WriteBasin(d);
    WriteFrame(d, c.pline);
    write_file(d.file("rain.dat"), c.rain);
    cli::Result o = ftest::run(RunBasin, d.path());
    EXPECT_EQ(o.status, 1) << o.err;
    // The report ends the error stream.
    const std::size_t at = o.err.find("E : morvelan2d-1.cpp : ");
    ASSERT_NE(at, std::string::npos) << o.err;
    EXPECT_EQ(o.err.substr(at), c.report);
  }
}

TEST(Morvelan2dRun, NetworkWithoutSlopeEdges) {
  cli::Folder d;
  WriteBasin(d,
             "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n1\n[Data]\n"
             "5 1 0 0 1 2 0 10 0 0 0 2\n",
             ParamFile("Morvelan Parameter Format", 1, {5}),
             "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n1\n[Data]\n5 0.5 0.5\n");
  WriteFrame(d);
  write_file(d.file("rain.dat"), Uniform({{0, 5}, {600, 5}}));
  cli::Result o = ftest::run(RunBasin, d.path(), "60\n60\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\ttotal area: 0(m2)\n"), std::string::npos);
  EXPECT_NE(o.out.find("[morvelan2d 0] 60 : 0.000000   all_rain = 0.000000\n"), std::string::npos)
      << o.out;
  EXPECT_EQ(read_file(d.file("rain.sum")), "60 0\n");
  // The saturated share of no area is not a number.
  EXPECT_NE(read_file(d.file("q.sat")).find("\n60 nan"), std::string::npos) << read_file(d.file("q.sat"));
  // The outlet passed on what reached it: nothing, its start discharge was 0.5.
  auto q = cli::series(read_file(d.file("q.out")));
  EXPECT_EQ(q[0].second, 0.5);
  EXPECT_EQ(q[1].second, 0.0);
  // The terminal discharge file, byte for byte: the river edge's upper end
  // keeps its start value, its lower end got what reached it.
  EXPECT_EQ(read_file(d.file("ini.dat.tst")),
            "[Comment]\n"
            "These are discharge data at both ends of all edges.\n"
            "Each column in [Data] section is as follows:\n"
            "<edge number>\n"
            "<discharge at upper end(m3/s)>\n"
            "<discharge at lower end(m3/s)>\n"
            "[Data Format Name]\n"
            "Morvelan Initial State Format\n"
            "[Number of Total Edges]\n"
            "1\n"
            "[Data]\n"
            "5 0.500000 0.000000\n");
}

TEST(Morvelan2dRun, ElementWithoutItsParametersStopsAtItsInitialWork) {
  // No block for the element in the parameter file: its initial-state line
  // waits for them, the initial work finds them never read.
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Folder d;
  WriteBasin(d);
  WriteFrame(d);
  write_file(d.file("t.pmt"), "TestBasin sys 0\n{\n}\n");
  write_file(d.file("rain.dat"), Uniform({{0, 5}, {600, 5}}));
  cli::Result o = ftest::run(RunBasin, d.path());
  EXPECT_EQ(o.status, 1);
  const std::size_t at = o.err.find("E : morvelan2d-1.cpp : ");
  ASSERT_NE(at, std::string::npos) << o.err;
  EXPECT_EQ(o.err.substr(at), "E : morvelan2d-1.cpp : 1040 : \n" + k1040 +
                                  "Its parameters were never read: the parameter file has no "
                                  "block for it.\n"
                                  "    Morvelan2d morvelan2d 0\n        owner > TestBasin sys 0\n");
}

TEST(Morvelan2dRun, ElementWithoutItsLinesStopsBeforeItsInitialOutput) {
  cli::Folder d;
  WriteBasin(d);
  write_file(d.file("t.pmt"), "TestBasin sys 0\n{\nMorvelan2d morvelan2d 0\n60 net.con par.dat 0 0 500 500\n}\n");
  write_file(d.file("t.ist"), "TestBasin sys 0\n0\n{\n}\n");
  write_file(d.file("rain.dat"), Uniform({{0, 5}, {600, 5}}));
  cli::Result o = ftest::run(RunBasin, d.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("E : morvelan2d-1.cpp : 1040 : "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("Its initial-state line was not read.\n"), std::string::npos);
}

TEST(Morvelan2dRun, TerminalFileThatCannotBeCreatedIsReported) {
  cli::Folder d;
  WriteBasin(d);
  std::filesystem::create_directory(d.file("sub"));
  write_file(d.file("sub/ini.dat"), kIni);
  WriteFrame(d, "60 net.con par.dat 0 0 500 500", "0 sub/ini.dat");
  write_file(d.file("rain.dat"), Uniform({{0, 5}, {600, 5}}));
  std::filesystem::create_directory(d.file("sub/ini.dat.tst"));  // a directory: cannot be a file
  cli::Result o = ftest::run(RunBasin, d.path(), "60\n60\nY\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("E : morvelan2d-1.cpp : 1290 : Cannot open file 'sub/ini.dat.tst' (mode \"w\").\n"),
            std::string::npos)
      << o.err;
}

// A terminal discharge file that cannot be written whole (a full disk, a
// file-size limit) is reported and cut back to nothing, so that no
// half-written file restarts a run; the element's line is still written.
TEST(Morvelan2dRun, TerminalFileThatCannotBeWrittenIsReportedAndCutBack) {
  qtest::Qavlensdir none(nullptr);
  const std::string loaded = "    Morvelan2d morvelan2d 0\n";
  const std::string report = "E : morvelan2d-1.cpp : 1295 : Cannot write file 'ini.dat.tst'.\n"
                             "    Morvelan2d morvelan2d 0\n";
  for (bool full : {true, false}) {
    cli::Folder d;
    WriteBasin(d);
    if (full) {
      ASSERT_EQ(symlink("/dev/full", d.file("ini.dat.tst").c_str()), 0);
    }
    cli::Result o = ftest::run(
        [full] {
          Morvelan2d m("morvelan2d", 0);
          Load(m);
          if (!full) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small{};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 200;  // above the reports, below the file
            setrlimit(RLIMIT_FSIZE, &small);
          }
          char line[64] = "";
          FILE* f = std::tmpfile();
          const int r = m.Save_terminal_state(f);
          std::rewind(f);
          if (!std::fgets(line, sizeof line, f) || std::string(line) != "0 ini.dat.tst\n") return 2;
          std::fclose(f);
          return r;
        },
        d.path());
    EXPECT_EQ(o.status, 0) << full;
    EXPECT_EQ(o.err, loaded + report) << full;
    if (!full) {
      EXPECT_EQ(read_file(d.file("ini.dat.tst")), "");
    }
  }
}

}  // namespace
