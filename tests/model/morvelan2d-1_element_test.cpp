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
#include <functional>
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
  std::string s = "[Comment]\nparameters\n[Data Format Name]\n" + name + "\n[Number of Total Edges]\n" +
                  std::to_string(count) + "\n[Data]\n";
  for (int n : nums) s += std::to_string(n) + " 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10\n";
  return s;
}

std::string InitFile(const std::string& name, int count, const std::vector<int>& nums) {
  std::string s = "[Data Format Name]\n" + name + "\n[Number of Total Edges]\n" + std::to_string(count) + "\n[Data]\n";
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

const std::string P = "60 net.con par.dat 0 0 500 500\n";
const std::string I = "0 ini.dat\n";
const std::string kExplain = qtest::explain_dir();

// The element loaded from the folder as the framework loads it: its
// parameter line "p.line", then its initial-state line "i.line", each
// handed over as an open file.
int LoadElement() {
  Morvelan2d m("morvelan2d", 0);
  for (const char* name : {"p.line", "i.line"}) {
    FILE* f = std::fopen(name, "r");
    if (!f) return 99;
    if (name[0] == 'p')
      m.Set_parameter(f);
    else
      m.Set_initial_state(f);
    std::fclose(f);
  }
  return 0;
}

// A row on the small basin: its connection, parameter and initial
// discharge files, each replaced by a later file() of the same name.
cli::Case BasinFiles(const std::string& name) {
  return cli::Case(name).file("net.con", kNet).file("par.dat", kPar).file("ini.dat", kIni);
}

// The same with the element's two lines.
cli::Case Basin(const std::string& name) { return BasinFiles(name).file("p.line", P).file("i.line", I); }

// A row in a folder of its own run by `body`; the reports are not
// explained unless the row sets QAVLENSDIR.
void CheckRow(const std::function<int()>& body, const cli::Case& c) {
  qtest::Qavlensdir none(nullptr);
  cli::Folder d;
  ftest::check(body, d, c);
}

// Every table of rows below loads the element.
class Morvelan2dLoading : public ::testing::TestWithParam<cli::Case> {};

TEST_P(Morvelan2dLoading, AsTheRowSays) { CheckRow(LoadElement, GetParam()); }

std::string RowName(const ::testing::TestParamInfo<cli::Case>& info) { return info.param.name(); }

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
        if (EdgeProbe::Upper(river, 0) != &m.EdgeAt(0) || EdgeProbe::Upper(river, 1) != &m.EdgeAt(1)) return 14;
        if (m.Current_time() != 0 || m.EdgeDisFileName() != "ini.dat") return 15;
        return 0;
      },
      d.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "\ttotal area: 40000(m2)\n");
  // The element's description goes to the error stream.
  EXPECT_NE(o.err.find("Morvelan2d"), std::string::npos) << o.err;
}

const std::string kLong(256, 'n');

// A report and the stop with status 1, the report's line or text in the
// error stream.
cli::Case Refused(const std::string& name, const std::string& text) {
  return Basin(name).status(1).err(cli::contains(text));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, Morvelan2dLoading,
    ::testing::Values(
        Basin("short_format_names_are_accepted")
            .file("par.dat", ParamFile("Morvelan Parameter Form", 3, {1, 2, 3}))
            .file("ini.dat", InitFile("Morvelan Initial State Form", 3, {3, 2, 1}))
            .status(0),
        Refused("short_element_line", "E : morvelan2d-1.cpp : 618 : ").file("p.line", "60 net.con par.dat 0 0 500\n"),
        Refused("file_name_over_255", "E : morvelan2d-1.cpp : 618 : ")
            .file("p.line", "60 " + kLong + " par.dat 0 0 500 500\n"),
        // Not finite: refused before the checks of the range (nan passes
        // none of them, inf passes dx > 0.0), the value named.
        Refused("cell_size_nan", "\nthe cell size in x 'nan' is not a finite number\n")
            .file("p.line", "60 net.con par.dat 0 0 nan 500\n"),
        Refused("cell_size_inf", "\nthe cell size in y 'inf' is not a finite number\n")
            .file("p.line", "60 net.con par.dat 0 0 500 inf\n"),
        Refused("time_step_beyond_a_double", "\nthe time step '1e999' is not a finite number\n")
            .file("p.line", "1e999\nnet.con par.dat 0 0 500 500\n"),
        Refused("version_1", "E : morvelan2d-1.cpp : 662 : ")
            .file("net.con",
                  "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n1\n[Data]\n1 0 0 1 100 0.1 100\n"),
        Refused("duplicate_edge_number", "Edge 4 appears more than once in net.con.\n")
            .file("net.con",
                  "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n2\n[Data]\n"
                  "4 1 1 0 0 0 1 10 0.1 100\n4 2 2 0 0 0 1 10 0.1 100\n"),
        Refused("class_name_as_format", "E : morvelan2d-1.cpp : 712 : ")
            .file("par.dat", ParamFile("Morvelan2d Parameter Format", 3, {1, 2, 3})),
        Refused("parameter_count", "E : morvelan2d-1.cpp : 727 : ")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 2, {1, 2})),
        Refused("parameter_count_names_file", "par.dat.\n")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 2, {1, 2})),
        Refused("short_parameter_record", "File: par.dat\n")
            .file("par.dat",
                  "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n1 0.3\n"),
        Refused("unknown_parameter_edge", "Edge 9 was not found in edgeArray\n")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 3, {1, 2, 9})),
        Refused("second_parameter_record", "E : morvelan2d-1.cpp : 790 : ")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 3, {1, 2, 2})),
        // With the count right, no record twice and none unknown, every edge
        // has its record; a file that ends early is the remaining case.
        Refused("parameter_file_ending_before_its_records", "E : morvelan2d-1.cpp : 759 : ")
            .file("par.dat",
                  "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n"
                  "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10\n"),
        Refused("unknown_upper_edge", "Edge 7 was not found in edgeArray\n")
            .file("net.con",
                  "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
                  "4 1 1 0 1 7 0 1 10 0.1 100\n")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 1, {4}))
            .file("ini.dat", InitFile("Morvelan Initial State Format", 1, {4})),
        // The smallest long as an upper edge number has no positive form.
        Refused("upper_edge_smallest_long", "Edge -2147483648 was not found in edgeArray\n")
            .file("net.con",
                  "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
                  "4 1 1 0 1 -2147483648 0 1 10 0.1 100\n")
            .file("par.dat", ParamFile("Morvelan Parameter Format", 1, {4}))
            .file("ini.dat", InitFile("Morvelan Initial State Format", 1, {4})),
        Refused("short_initial_line", "E : morvelan2d-1.cpp : 861 : ").file("i.line", "0\n"),
        Refused("discharge_file_name_over_251", "E : morvelan2d-1.cpp : 861 : ")
            .file("i.line", "0 " + std::string(252, 'n') + "\n"),
        Refused("initial_format", "E : morvelan2d-1.cpp : 878 : ")
            .file("ini.dat", InitFile("Morvelan Parameter Format", 3, {1, 2, 3})),
        Refused("initial_count", "ini.dat.\n").file("ini.dat", InitFile("Morvelan Initial State Format", 4, {1, 2, 3})),
        Refused("short_initial_record", "File: ini.dat\n")
            .file(
                "ini.dat",
                "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0\n"),
        Refused("unknown_initial_edge", "Edge 8 was not found in edgeArray\n")
            .file("ini.dat", InitFile("Morvelan Initial State Format", 3, {1, 2, 8})),
        Refused("second_initial_record", "E : morvelan2d-1.cpp : 930 : ")
            .file("ini.dat", InitFile("Morvelan Initial State Format", 3, {1, 1, 3}))),
    RowName);

// Whole reports as the modeller sees them, with the explanation of the
// report's source line: the element's description printed after loading
// the network, the report line, its explanation, the extra text, the
// description again.
const std::string kDescr = "    Morvelan2d morvelan2d 0\n";
const std::string k1040 =
    "    The runoff element was asked to start without its parameters or its\n"
    "    initial state: its line in the parameter file or in the initial-state\n"
    "    file never came, or the initial-state file was read before the parameter\n"
    "    file. Check the component headers of the two files.\n";

cli::Case Reported(const std::string& name, const std::string& err) {
  return Basin(name).env("QAVLENSDIR", kExplain).status(1).out("\ttotal area: 40000(m2)\n").err(err);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, Morvelan2dLoading,
    ::testing::Values(
        Reported("parameter_count", kDescr +
                                        "E : morvelan2d-1.cpp : 727 : \n"
                                        "    The number of edges in the edge parameter file differs from that of the\n"
                                        "    edge connection file. The parameter file must belong to the network.\n"
                                        "par.dat.\n" +
                                        kDescr)
            .file("par.dat", ParamFile("Morvelan Parameter Format", 2, {1, 2})),
        Reported("unknown_parameter_edge",
                 kDescr +
                     "E : morvelan2d-1.cpp : 784 : \n"
                     "    A record of the edge parameter file names an edge that is not in the\n"
                     "    edge connection file. The parameter file must belong to the network.\n"
                     "Edge 9 was not found in edgeArray\n" +
                     kDescr)
            .file("par.dat", ParamFile("Morvelan Parameter Format", 3, {1, 2, 9})),
        Reported("short_initial_record",
                 kDescr +
                     "E : morvelan2d-1.cpp : 911 : \n"
                     "    A record of the initial discharge file is incomplete or holds an item\n"
                     "    that is not a number. A record holds the edge number and the discharges\n"
                     "    (m3/s) at its upper and its lower end.\n"
                     "File: ini.dat\n" +
                     kDescr)
            .file(
                "ini.dat",
                "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n1 0 0\n2 0\n"),
        Reported("unknown_initial_edge",
                 kDescr +
                     "E : morvelan2d-1.cpp : 926 : \n"
                     "    A record of the initial discharge file names an edge that is not in the\n"
                     "    edge connection file. The file must belong to the network.\n"
                     "Edge 8 was not found in edgeArray\n" +
                     kDescr)
            .file("ini.dat", InitFile("Morvelan Initial State Format", 3, {1, 2, 8}))),
    RowName);

// The checks: the stop of a failed check, its condition the last line.
cli::Case Checked(const std::string& name, const std::string& condition) {
  return Basin(name).status(cli::kAbort).err(ftest::failed_check("morvelan2d-1.cpp", condition));
}

// The checks of the element's line and of a parameter record, on a network
// of one edge.
const char* const kRec = "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10";

cli::Case OneEdge(const std::string& name, const std::string& pline, const std::string& record,
                  const std::string& condition) {
  return Checked(name, condition)
      .file("net.con",
            "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n1\n[Data]\n"
            "1 1 1 0 0 0 1 10 0.1 100\n")
      .file("par.dat",
            "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n1\n[Data]\n" + record + "\n")
      .file("p.line", pline);
}

// One record under a count of millions: the reading stops at the second
// record, as with any file that ends early, and the count does not make
// the element reserve its edges first (without a sanitizer the address
// space is limited to 1 GB, which 20 million edges would exceed).
cli::Case CountBeyondTheFile(const std::string& name, const std::string& count) {
  cli::Case c = Checked(name, "mNum > 0")
                    .file("net.con", "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n" + count +
                                         "\n[Data]\n1 10 100 100 20 11 100 300 10 0 0 1 200 0.05 20000\n");
#if !defined(__SANITIZE_ADDRESS__)
  c.address_space_limit(1L << 30);
#endif
  return c;
}

const std::string kPar3 = ParamFile("Morvelan Parameter Format", 3, {1, 2, 3});

INSTANTIATE_TEST_SUITE_P(
    Checks, Morvelan2dLoading,
    ::testing::Values(
        OneEdge("dt", "0 net.con par.dat 0 0 500 500", kRec, "dt > 0"),
        OneEdge("dx", "60 net.con par.dat 0 0 0 500", kRec, "dx > 0.0"),
        OneEdge("dy", "60 net.con par.dat 0 0 500 -1", kRec, "dy > 0.0"),
        OneEdge("num", P, "0 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "num > 0"),
        OneEdge("man", P, "1 0 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "man > 0.0"),
        OneEdge("d_da", P, "1 0.3 1.667 0.01 0.2 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "d >= da"),
        OneEdge("dm", P, "1 0.3 1.667 0.01 1.0 0.3 0.3 4.0 0.65 0.000001 10 0.0001 10", "0.0 <= dm && dm < da"),
        OneEdge("beta", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 0.5 0.65 0.000001 10 0.0001 10", "beta >= 1.0"),
        OneEdge("theta", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 1.5 0.000001 10 0.0001 10",
                "0.0 <= theta && theta <= 1.0"),
        OneEdge("ndiv", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 0", "ndiv > 0"),
        OneEdge("m", P, "1 0.3 0 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "m > 0.0"),
        OneEdge("ka", P, "1 0.3 1.667 -0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "ka > 0.0"),
        OneEdge("da", P, "1 0.3 1.667 0.01 -0.1 -0.3 0.15 4.0 0.65 0.000001 10 0.0001 10", "da >= 0.0"),
        OneEdge("cmin", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0 10 0.0001 10", "cmin > 0.0"),
        OneEdge("Qlevel", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 0 0.0001 10", "Qlevel > 0.0"),
        OneEdge("eps", P, "1 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0 10", "eps > 0.0"),
        // The counts of the three files and the initial discharge records.
        Checked("edge_count_not_a_number", "sscanf(buf, \"%ld\", &numEdges) == 1")
            .file("net.con", "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\nmany\n[Data]\n")
            .file("par.dat", kPar3),
        Checked("edge_count_zero", "numEdges > 0")
            .file("net.con", "[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n0\n[Data]\n")
            .file("par.dat", kPar3),
        Checked("parameter_count_missing", "sscanf(buf, \"%ld\", &numtmp) == 1")
            .file("par.dat", "[Data Format Name]\nMorvelan Parameter Format\n[Data]\n"),
        Checked("initial_count_empty", "sscanf(buf, \"%ld\", &numtmp) == 1")
            .file("par.dat", kPar3)
            .file("ini.dat", "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n\n"),
        Checked("initial_edge_number", "num > 0")
            .file("par.dat", kPar3)
            .file("ini.dat", InitFile("Morvelan Initial State Format", 3, {1, 2, 0})),
        Checked("initial_discharge", "lowdis >= 0.0")
            .file("par.dat", kPar3)
            .file("ini.dat",
                  "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n3\n"
                  "[Data]\n1 0 0\n2 0 -0.5\n3 0 0\n"),
        CountBeyondTheFile("edge_count_of_millions_beyond_the_file", "20000000"),
        CountBeyondTheFile("edge_count_of_the_largest_long_beyond_the_file", "2147483647")),
    RowName);

// --- reports that name the record and the user's line ------------------------------

// Files as written by hand: a comment block, whole-line comments before and
// between the records, a comment after a record. The parameter file's
// records come in the order 3, 1, 2, the record of edge 2 on line 13 (or
// split after item `split` over lines 13 and 14), its item `item` (1: man
// .. 11: eps) replaced by `value`.
const char* const kItems[] = {"0.3", "1.667", "0.01",     "1.0", "0.3",    "0.15",
                              "4.0", "0.65",  "0.000001", "10",  "0.0001", "10"};

std::string HandRecord(const std::string& num, int item = 0, const std::string& value = "", int split = 0) {
  std::string s = num;
  for (int i = 1; i <= 12; i++) {
    s += split > 0 && i == split + 1 ? "\n    " : " ";
    s += i == item ? value : kItems[i - 1];
  }
  return s + "\n";
}

std::string HandParams(int item, const std::string& value, int split = 0, const std::string& num = "2") {
  return "[Comment]\nparameters by hand\n# whole-line comment\n[Data Format Name]\n"
         "Morvelan Parameter Format\n[Number of Total Edges]\n3\n[Data]\n# edge 3 first\n" +
         HandRecord("3") + "1" + HandRecord("").substr(0, HandRecord("").size() - 1) + "  # after the record\n#\n" +
         HandRecord(num, item, value, split);
}

// The record of edge 2 on line 12.
std::string HandDischarges(const std::string& up, const std::string& low) {
  return "[Comment]\ndischarges by hand\n# whole-line comment\n[Data Format Name]\n"
         "Morvelan Initial State Format\n[Number of Total Edges]\n3\n[Data]\n# all dry\n"
         "1 0 0\n#\n2 " +
         up + " " + low + "\n3 0 0\n";
}

// kNet by hand: the record of edge 2 on line 12.
std::string HandNet(const std::string& second, const std::string& count = "3",
                    const std::string& third = "3 11 100 300 10 13 100 500 5 2 1 2 0 2") {
  return "# a small network\n[Comment]\ntwo slopes and a river\n[Data Format Name]\n"
         "edge connection V.4\n# the count\n[Number of Total Edges]\n" +
         count +
         "\n[Data]\n"
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

// A value that is not a finite number is refused where it is read, in the
// framework's report form, with the record's edge number and the line of
// the value in the user's file.
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

cli::Case NotFinite(const std::string& name, const std::string& par, const std::string& ini,
                    const std::string& report) {
  return Basin(name)
      .file("par.dat", par)
      .file("ini.dat", ini)
      .env("QAVLENSDIR", kExplain)
      .status(1)
      .err(kDescr + report + kDescr);
}

INSTANTIATE_TEST_SUITE_P(
    NotFinite, Morvelan2dLoading,
    ::testing::Values(NotFinite("man_inf", HandParams(1, "inf"), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: man is not a finite number\n"),
                      NotFinite("ka_nan", HandParams(3, "nan"), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: ka is not a finite number\n"),
                      NotFinite("dm_minus_inf", HandParams(6, "-inf"), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: dm is not a finite number\n"),
                      NotFinite("Qlevel_overflows", HandParams(10, "-1e400"), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: Qlevel is not a finite number\n"),
                      NotFinite("eps_overflows", HandParams(11, "1e999"), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: eps is not a finite number\n"),
                      // A record over two lines: the line of the value.
                      NotFinite("theta_on_the_records_second_line", HandParams(8, "INF", 5), kHandIni,
                                k763 + "File: par.dat, edge 2, line 14: theta is not a finite number\n"),
                      NotFinite("man_on_the_records_first_line", HandParams(1, "NaN", 5), kHandIni,
                                k763 + "File: par.dat, edge 2, line 13: man is not a finite number\n"),
                      // No edge has the number 0: the record by its place.
                      NotFinite("record_without_edge_number", HandParams(2, "inf", 0, "0"), kHandIni,
                                k763 + "File: par.dat, record 3, line 13: m is not a finite number\n"),
                      NotFinite("upper_discharge_inf", kHandPar, HandDischarges("inf", "0"),
                                k915 + "File: ini.dat, edge 2, line 12: the discharge at the upper end is "
                                       "not a finite number\n"),
                      NotFinite("lower_discharge_overflows", kHandPar, HandDischarges("0", "1e999"),
                                k915 + "File: ini.dat, edge 2, line 12: the discharge at the lower end is "
                                       "not a finite number\n"),
                      NotFinite("upper_discharge_nan", kHandPar, HandDischarges("nan", "0"),
                                k915 + "File: ini.dat, edge 2, line 12: the discharge at the upper end is "
                                       "not a finite number\n")),
    RowName);

// The conditions and their stop as they were, after one line naming the
// file, the record and the user's line (after the element's description
// once the network is read).
const std::string kHandNet = HandNet(kSecondSlope);

cli::Case Placed(const std::string& name, const std::string& net, const std::string& par, const std::string& ini,
                 bool networkRead, const std::string& place, const std::string& condition) {
  return Basin(name)
      .file("net.con", net)
      .file("par.dat", par)
      .file("ini.dat", ini)
      .status(cli::kAbort)
      .err(cli::matches(ftest::escaped((networkRead ? kDescr : "") + place) + "morvelan2d-1\\.cpp:[0-9]+: Assertion `" +
                        ftest::escaped(condition) + "' failed\\.\n"));
}

INSTANTIATE_TEST_SUITE_P(
    CheckPlaces, Morvelan2dLoading,
    ::testing::Values(
        Placed("network_attribute", HandNet("2 12 300 100 20 11 100 300 10 0 2 -3 3 200 0.05"), kHandPar, kHandIni,
               false, "File: net.con, edge 2, line 12: this record fails the check below\n", "tmp == 1 || tmp == 2"),
        Placed("network_edge_number", HandNet("0 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000"), kHandPar,
               kHandIni, false, "File: net.con, record 2, line 12: this record fails the check below\n", "mNum > 0"),
        Placed("network_ends_in_a_record", HandNet(kSecondSlope, "3", "3 11 100 300 10 13 100 500 5 2 1"), kHandPar,
               kHandIni, false, "File: net.con, edge 3, line 13: this record fails the check below\n",
               "fscanf(fpTopo, \"%ld\", &num) == 1"),
        Placed("network_count", HandNet(kSecondSlope, "three"), kHandPar, kHandIni, false,
               "File: net.con, line 8: the edge count under [Number of Total Edges] fails the check below\n",
               "sscanf(buf, \"%ld\", &numEdges) == 1"),
        Placed("parameter_range", kHandNet, HandParams(4, "0.2"), kHandIni, true,
               "File: par.dat, edge 2, line 13: this record fails the check below\n", "d >= da"),
        Placed("parameter_edge_number", kHandNet, HandParams(0, "", 0, "-2"), kHandIni, true,
               "File: par.dat, record 3, line 13: this record fails the check below\n", "num > 0"),
        Placed("parameter_count_missing", kHandNet, "[Data Format Name]\nMorvelan Parameter Format\n[Data]\n", kHandIni,
               true, "File: par.dat: the edge count under [Number of Total Edges] fails the check below\n",
               "sscanf(buf, \"%ld\", &numtmp) == 1"),
        Placed("discharge_range", kHandNet, kHandPar, HandDischarges("0", "-0.5"), true,
               "File: ini.dat, edge 2, line 12: this record fails the check below\n", "lowdis >= 0.0")),
    RowName);

// The terminal discharge file would replace an input at the end of the run:
// refused when the initial-state line is read, before any file is read.
const std::string k866 =
    "E : morvelan2d-1.cpp : 866 : \n"
    "    The terminal discharge file, the initial discharge file's name with\n"
    "    \".tst\" added, is one of the run's input files: the end of the run would\n"
    "    overwrite it. Rename the initial discharge file or that input file.\n";

cli::Case Overwrites(const std::string& name, const std::string& text) {
  return Basin(name).directory("sub").env("QAVLENSDIR", kExplain).status(1).err(kDescr + k866 + text + kDescr);
}

// Folder setup: `name` a hard link to, or a copy of, the file `of`.
std::function<void(const cli::Folder&)> HardLink(const std::string& name, const std::string& of) {
  return [=](const cli::Folder& d) { std::filesystem::create_hard_link(d.file(of), d.file(name)); };
}
std::function<void(const cli::Folder&)> Copy(const std::string& name, const std::string& of) {
  return [=](const cli::Folder& d) { std::filesystem::copy_file(d.file(of), d.file(name)); };
}

INSTANTIATE_TEST_SUITE_P(
    TerminalFiles, Morvelan2dLoading,
    ::testing::Values(Overwrites("connection_file",
                                 "The terminal discharge file ini.dat.tst is the edge connection file "
                                 "ini.dat.tst: the end of the run would overwrite it.\n")
                          .file("p.line", "60 ini.dat.tst par.dat 0 0 500 500")
                          .setup(Copy("ini.dat.tst", "net.con")),
                      Overwrites("connection_file_spelled_otherwise",
                                 "The terminal discharge file sub/../ini.dat.tst is the edge connection file "
                                 "./ini.dat.tst: the end of the run would overwrite it.\n")
                          .file("p.line", "60 ./ini.dat.tst par.dat 0 0 500 500")
                          .file("i.line", "0 sub/../ini.dat\n")
                          .setup(Copy("ini.dat.tst", "net.con")),
                      Overwrites("parameter_file_by_a_hard_link",
                                 "The terminal discharge file ini.dat.tst is the edge parameter file par.dat: "
                                 "the end of the run would overwrite it.\n")
                          .setup(HardLink("ini.dat.tst", "par.dat")),
                      Overwrites("initial_discharge_file_by_a_symbolic_link",
                                 "The terminal discharge file ini.dat.tst is the initial discharge file "
                                 "ini.dat: the end of the run would overwrite it.\n")
                          .symlink("ini.dat.tst", "ini.dat")),
    RowName);

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
std::string Late(const std::string& count, const std::string& first) {
  return "W : morvelan2d-1.cpp : 820 : \nFile: net.con: " + count +
         " from an edge to one listed before it, the first from " + first +
         ": the downstream edge takes the upstream edge's outflow of the previous step. List the upstream edge "
         "first (pelmic writes the edges by number: number them upstream first).\n" +
         kDescr;
}

std::string Net(int version, int count, const std::string& records) {
  return "[Data Format Name]\nedge connection V." + std::to_string(version) + "\n[Number of Total Edges]\n" +
         std::to_string(count) + "\n[Data]\n" + records;
}

// The network of the edges `nums`, their parameters and discharges.
cli::Case Linked(const std::string& name, const std::string& net, const std::vector<int>& nums, int status,
                 const std::string& err) {
  const int n = static_cast<int>(nums.size());
  return Basin(name)
      .file("net.con", net)
      .file("par.dat", ParamFile("Morvelan Parameter Format", n, nums))
      .file("ini.dat", InitFile("Morvelan Initial State Format", n, nums))
      .status(status)
      .err(kDescr + err);
}

INSTANTIATE_TEST_SUITE_P(
    Links, Morvelan2dLoading,
    ::testing::Values(
        Linked("upstream_first", kNet, {1, 2, 3}, 0, ""),
        Linked("river_before_its_slopes",
               Net(4, 3,
                   "3 11 100 300 10 13 100 500 5 2 1 2 0 2\n"
                   "1 10 100 100 20 11 100 300 10 0 2 -3 2 1 200 0.05 20000\n"
                   "2 12 300 100 20 11 100 300 10 0 2 -3 1 1 200 0.05 20000\n"),
               {1, 2, 3}, 0, Late("2 links run", "edge 1 (record 2) to edge 3 (record 1)")),
        Linked("chain_listed_downstream_first",
               Net(2, 3,
                   "3 0 0 0  1 2  0     1 10 0.1 400\n"
                   "2 0 0 0  1 1  1 -3  1 10 0.1 200\n"
                   "1 0 0 0  0    1 -2  1 10 0.1 100\n"),
               {1, 2, 3}, 0, Late("2 links run", "edge 2 (record 2) to edge 3 (record 1)")),
        Linked("one_link_in_a_v5_file",
               Net(5, 2,
                   "2 11 100 300 10 12 100 500 5  1 1  0  2 1 1000\n"
                   "1 10 100 100 20 11 100 300 10  0  1 -2  1 50 0.2 1000 1 0\n"),
               {1, 2}, 0, Late("1 link runs", "edge 1 (record 2) to edge 2 (record 1)")),
        // Edge 1 shares its upper node with edge 2, listed later: no inflow.
        Linked("node_shared_with_a_later_edge",
               Net(2, 3,
                   "1 0 0 0  1 -2  1 -3  1 10 0.1 100\n"
                   "2 0 0 0  1 -1  1 -3  1 10 0.1 100\n"
                   "3 0 0 0  2 1 2  0    2\n"),
               {1, 2, 3}, 0, ""),
        Linked("river_into_a_slope_v2",
               Net(2, 2,
                   "4 0 0 0  0     1 -12  2\n"
                   "12 0 0 0 1 4   0      1 10 0.1 200\n"),
               {4, 12}, 1,
               "File: net.con: the river edge 4 drains into edge 12: river reaches in series need an edge "
               "connection V.3 or V.5 file, which carries each edge's distribution rate and upper area\n"
               "wrong connection of edges:\nfrom 4 to 12\n")),
    RowName);

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
  EXPECT_EQ(o.err,
            "E : morvelan2d-1.cpp : 1040 : \n" + k1040 + "The initial state came before the parameters.\n" + kDescr);
}

// --- running ---------------------------------------------------------------------

// Rain from a matrix time series (one record per line: time, rows, columns,
// the cells column by column); the three series to files.
class TestBasin : public Total_system {
 public:
  TestBasin() : ip("rain.dat"), op("q.out", 128), opSarea("q.sat", 128), opStorage("q.stg", 128), m("morvelan2d", 0) {
    class_name = "TestBasin";
    Init("sys", 0, 0);
  }
  int Register_input_ports() override { return Register(&ip); }
  int Register_output_ports() override { return Register(&op) && Register(&opSarea) && Register(&opStorage); }
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
    line << r.first << " 2 2 " << r.second << " " << r.second << " " << r.second << " " << r.second << "\n";
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
  EXPECT_NE(read_file(d.file("t.tst")).find("Morvelan2d morvelan2d 0\n600 ini.dat.tst\n"), std::string::npos)
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
  EXPECT_NE(
      o.err.find("The rain grid of time 240 has 1 x 1 cells; the cells of the edges were found on a grid of 2 x 2.\n"),
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

// A row on the small basin in the test system: the basin's files, the
// framework's files with the element's lines and the rain; the answers
// are the row's input.
cli::Case Framed(const std::string& name, const std::string& pline, const std::string& rain) {
  return BasinFiles(name)
      .file("t.pmt", "TestBasin sys 0\n{\nMorvelan2d morvelan2d 0\n" + pline + "\n}\n")
      .file("t.ist", "TestBasin sys 0\n0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n")
      .file("rain.dat", rain);
}

// Every row runs the test system.
class Morvelan2dRunning : public ::testing::TestWithParam<cli::Case> {};

TEST_P(Morvelan2dRunning, AsTheRowSays) { CheckRow(RunBasin, GetParam()); }

// The cell of every slope edge is found, or the run stops at its initial
// work (reading no answers) with the report.
cli::Case Found(const std::string& name, const std::string& pline, const std::string& rain,
                const std::string& rainLine) {
  return Framed(name, pline, rain).input("60\n60\nY\n").status(0).out(cli::contains(rainLine));
}
cli::Case NotFound(const std::string& name, const std::string& pline, const std::string& rain,
                   const std::string& text) {
  return Framed(name, pline, rain).status(1).err(cli::contains(text));
}

// The reports in full, explained: after the element's description and the
// rain file's newest time, the report ends the error stream.
const std::string kSysDescr = "    Morvelan2d morvelan2d 0\n        owner > TestBasin sys 0\n";

cli::Case NotFoundInFull(const std::string& name, const std::string& pline, const std::string& rain,
                         const std::string& report) {
  return Framed(name, pline, rain)
      .env("QAVLENSDIR", kExplain)
      .status(1)
      .err(kSysDescr + "File: rain.dat  newest data time : 600\n" + report);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, Morvelan2dRunning,
    ::testing::Values(
        // Cells of 100 m: edge 1 at (100, 200) is cell (1, 2), edge 2 at
        // (200, 200) cell (2, 2). A 3 x 3 grid (blocks of 3) whose cells are
        // numbered 10 x + y + 1 in the column-by-column text: (1,2) = 13,
        // (2,2) = 23; both slopes have equal area: mean 18.
        Found("grid_smaller_than_a_block", "60 net.con par.dat 0 0 100 100",
              "0 3 3 1 11 21 2 12 22 3 13 23\n600 3 3 1 11 21 2 12 22 3 13 23\n", "all_rain = 18.000000\n"),
        // An edge exactly on the upper y bound of the grid is outside it.
        NotFound("edge_on_the_upper_bound", "60 net.con par.dat 0 0 100 100",
                 "0 3 2 1 1 1 1 1 1\n600 3 2 1 1 1 1 1 1\n",
                 "    Cannot find the cell block in which\n    the edge 1 (100.000000, 200.000000) is included.\n"),
        // Origin moved: both points left of the grid.
        NotFound("left_of_the_grid", "60 net.con par.dat 150 0 500 500", "0 2 2 1 1 1 1\n600 2 2 1 1 1 1\n",
                 "E : morvelan2d-1.cpp : 1126 : "),
        // A 6 x 6 grid of 40 m cells from x = -140: blocks of 5 cells; the
        // second block in x covers [60, 260) but only its first cell
        // [60, 100) is in the grid, so x = 100 lies in the block and in no
        // cell.
        NotFound("point_in_a_partial_block", "60 net.con par.dat -140 0 40 40", Ones(0, 6, 6) + Ones(600, 6, 6),
                 "Can not find the cell which includes the slope unit 1,\n"
                 "which is located at [100.000000, 200.000000].\n"),
        NotFoundInFull("edge_on_the_upper_bound_in_full", "60 net.con par.dat 0 0 100 100",
                       "0 3 2 1 1 1 1 1 1\n600 3 2 1 1 1 1 1 1\n",
                       "E : morvelan2d-1.cpp : 1126 : \n"
                       "    A slope edge lies outside the rain grid. Every slope edge's point must\n"
                       "    lie in a cell: the grid origin and cell size of the parameter line and\n"
                       "    the grid size of the rain file must cover the basin.\n"
                       "    Cannot find the cell block in which\n"
                       "    the edge 1 (100.000000, 200.000000) is included.\n" +
                           kSysDescr),
        NotFoundInFull("point_in_a_partial_block_in_full", "60 net.con par.dat -140 0 40 40",
                       Ones(0, 6, 6) + Ones(600, 6, 6),
                       "E : morvelan2d-1.cpp : 1072 : \n"
                       "    A slope edge lies in a block of rain cells but in none of its cells:\n"
                       "    its point is outside the rain grid. Check the grid origin and the cell\n"
                       "    size of the parameter line against the rain file.\n"
                       "Can not find the cell which includes the slope unit 1,\n"
                       "which is located at [100.000000, 200.000000].\n" +
                           kSysDescr)),
    RowName);

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
  EXPECT_NE(o.out.find("[morvelan2d 0] 60 : 0.000000   all_rain = 0.000000\n"), std::string::npos) << o.out;
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
  const std::string report =
      "E : morvelan2d-1.cpp : 1295 : Cannot write file 'ini.dat.tst'.\n"
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
