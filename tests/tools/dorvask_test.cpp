// End-to-end tests of dorvask: the real program runs in a temporary
// directory on input files written there, a case a row of the command-line
// harness; status, console, error stream and the output file are checked. The order of the entries within a neighbour
// list follows the platform's rand(), so the lists are compared as sets with
// their signs here; the exact order is checked against the search trees in
// ListsInTheOrderOfTheShuffledTrees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "basin_testing.h"
#include "cli/cli.h"
#include "cli/series.h"
#include "dorvask/dorvask.h"
#include "tool_texts.h"
#include "tzbintree.h"
#include "tzdefs.h"

namespace {

// The values of the search trees: ordered by node number alone, equal only
// when both numbers are, so that the values of one node stand in insertion
// order.
TEST(WorkNode, TreeOfValuesIsOrderedByNodeWithTiesInInsertionOrder) {
  EXPECT_TRUE(WorkNode(1, 5) == WorkNode(1, 5, 9));  // the record's place takes no part
  EXPECT_FALSE(WorkNode(1, 5) == WorkNode(2, 5));
  EXPECT_FALSE(WorkNode(1, 5) < WorkNode(2, 5));
  EXPECT_TRUE(WorkNode(9, 4) < WorkNode(1, 5));
  WorkNode w(7, 8, 3);
  w.Init(2, 6);
  EXPECT_EQ(w.EdgeNum(), 2);
  EXPECT_EQ(w.NodeNum(), 6);
  EXPECT_EQ(w.At(), 3u);

  TzBinaryTree2<WorkNode> t;
  for (const WorkNode& v : {WorkNode(1, 5), WorkNode(2, 5), WorkNode(3, 4), WorkNode(4, 5)}) t.Insert(v);
  std::vector<Long> order;
  {
    TzBinaryTreeIterator<WorkNode> it(t);
    for (; static_cast<WorkNode*>(it) != nullptr; ++it) order.push_back((*it).EdgeNum());
  }
  EXPECT_EQ(order, (std::vector<Long>{3, 1, 2, 4}));
  order.clear();
  TzBinaryTreeIterator2<WorkNode> it(t);
  it.Init(t.GetPtrToNode(WorkNode(4, 5)));
  for (--it; static_cast<WorkNode*>(it) != nullptr; --it) order.push_back((*it).EdgeNum());
  EXPECT_EQ(order, (std::vector<Long>{2, 1, 3}));
}

// The record writers, byte for byte: the output record by attribute (no end
// of line), and the writer for other streams (length, gradient and area
// always, then the end of line).
TEST(DorvaskEdge, WritersGiveTheRecordByAttribute) {
  struct Case {
    Int atr;
    const char* record;
    const char* general;
  } cases[] = {
      {1, "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 1 100 0.05 5000",
       "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 100 0.05 5000\n"},
      {2, "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 2 ",
       "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 -1 -1 -1\n"},
      {3, "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 3 100 0.05",
       "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 100 0.05 -1\n"},
      {4, "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 4 ",
       "7 10 0.1 2 1.23457e+06 20 1e-06 -0 100 2 -3 12 1 4 -1 -1 -1\n"},
  };
  cli::Folder dir;
  const std::string path = dir.file("edge.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.atr);
    Edge e;
    const bool values = c.atr == 1 || c.atr == 3;
    e.Init(7, 10, 0.1, 2.0, 1234567.0, 20, 0.000001, -0.0, 100.0, c.atr, values ? 100.0 : -1.0, values ? 0.05 : -1.0,
           c.atr == 1 ? 5000.0 : -1.0);
    e.AddUpperEdge(-3);
    e.AddUpperEdge(12);
    e.AddLowerEdge(4);
    {
      std::ofstream out(path, std::ios::out | std::ios::trunc);
      out << e;
    }
    EXPECT_EQ(cli::read_file(path), c.record);
    std::ostringstream general;
    general << e;
    EXPECT_EQ(general.str(), c.general);
    // A copy holds lists of its own.
    Edge copy(e);
    e.AddLowerEdge(5);
    EXPECT_EQ(copy.LowerEdgeList().GetCount(), 1u);
    EXPECT_EQ(e.LowerEdgeList().GetCount(), 2u);
  }
  Edge none;
  none.Init(1, 2, 0, 0, 0, 3, 0, 0, 0, 2, -1.0, -1.0, -1.0);
  std::ostringstream os;
  os << none;
  EXPECT_EQ(os.str(), "1 2 0 0 0 3 0 0 0 0 0 -1 -1 -1\n");
}

}  // namespace

#ifdef TZ_DORVASK_EXE

namespace {

using cli::Case;

// The header of an input as pelmic writes it, for the given class counts.
std::string v4Header(int bb, int br, int rr, const std::string& total) {
  // clang-format off
  return "[Comment]\n"
         "This dataset was generated from e.dat and n.dat by pelmic.\n"
         "[Data Format Name]\n"
         "edge format V.4\n"
         "[Number of BBEdges]\n" + std::to_string(bb) + "\n"
         "[Number of BREdges]\n" + std::to_string(br) + "\n"
         "[Number of RREdges]\n" + std::to_string(rr) + "\n"
         "[Number of Total Edges]\n" + total + "\n"
         "[Data]\n";
  // clang-format on
}

// The header dorvask writes for such an input named in.dat.
std::string outHeader(int bb, int br, int rr, const std::string& total) {
  // clang-format off
  return "[Comment]\n"
         "This dataset was generated from e.dat and n.dat by pelmic.\n"
         "This data was generated from in.dat by dorvask.\n"
         "[Data Format Name]\n"
         "edge connection V.4\n"
         "[Number of BBEdges]\n" + std::to_string(bb) + "\n"
         "[Number of BREdges]\n" + std::to_string(br) + "\n"
         "[Number of RREdges]\n" + std::to_string(rr) + "\n"
         "[Number of Total Edges]\n" + total + "\n"
         "[Data]\n";
  // clang-format on
}

std::string progress(int n) {
  std::string s = "trees has been built.\n";
  for (int i = 1; i <= n; ++i) s += "edge " + std::to_string(i) + " done\n";
  return s;
}

std::vector<std::string> splitBlanks(const std::string& line) {
  std::vector<std::string> t;
  std::string::size_type b = 0, e;
  while ((e = line.find(' ', b)) != std::string::npos) {
    t.push_back(line.substr(b, e - b));
    b = e + 1;
  }
  t.push_back(line.substr(b));
  return t;
}

// A record with the entries of both lists sorted, the items kept exactly as
// written (split at every single blank, so a missing or doubled blank
// shows).
std::string sortedLists(const std::string& line) {
  std::vector<std::string> t = splitBlanks(line);
  auto sortFrom = [&](std::size_t at) -> std::size_t {
    if (at >= t.size()) return t.size();
    std::size_t k = std::stoul(t[at]);
    std::size_t end = std::min(t.size(), at + 1 + k);
    std::sort(t.begin() + static_cast<long>(at) + 1, t.begin() + static_cast<long>(end),
              [](const std::string& a, const std::string& b) { return std::stol(a) < std::stol(b); });
    return end;
  };
  std::size_t next = sortFrom(9);
  sortFrom(next);
  std::string s;
  for (std::size_t i = 0; i < t.size(); ++i) s += (i ? " " : "") + t[i];
  return s;
}

// The output with the lists of every record after "[Data]" sorted.
std::string sortedOutput(const std::string& out) {
  std::istringstream in(out);
  std::string line, s;
  bool data = false;
  while (std::getline(in, line)) {
    s += (data ? sortedLists(line) : line) + "\n";
    if (line == "[Data]") data = true;
  }
  return s;
}

class Dorvask : public ::testing::Test {
 protected:
  cli::Result check(const Case& c) const { return cli::check(cli::dorvask, dir_, c); }
  cli::Folder dir_;
};

// A run on in.dat holding text, writing out.dat.
Case on(const std::string& name, const std::string& text) {
  return Case(name).file("in.dat", text).args({"in.dat", "out.dat"});
}

const std::string kThree =
    "1 10 0 0 10 20 100 0 5 1 100 0.05 5000 \n"
    "2 30 0 100 12 20 100 0 5 1 150 0.0466667 6000\n"
    "3 20 100 0 5 40 200 0 1 2 \n";

// The lists of the edges that meet at a node; their entries compared as
// sets (sortedOutput).
TEST_F(Dorvask, ListsTheEdgesThatMeetAtEachNode) {
  // Twelve edges end at node 100, one starts there.
  std::string many;
  for (int e = 1; e <= 12; ++e) many += std::to_string(e) + " " + std::to_string(e) + " 0 0 1 100 0 0 0 2 \n";
  many += "13 100 0 0 0 200 0 0 0 2 \n";
  std::string manyLists = outHeader(0, 13, 0, "13");
  for (int e = 1; e <= 12; ++e) {
    std::string lower = "12 -13 ";
    for (int k = 1; k <= 12; ++k)
      if (k != e) lower += std::to_string(k) + " ";
    manyLists += std::to_string(e) + " " + std::to_string(e) + " 0 0 1 100 0 0 0 0 " + lower + "2 \n";
  }
  std::string upper = "12 ";
  for (int k = 1; k <= 12; ++k) upper += std::to_string(k) + " ";
  manyLists += "13 100 0 0 0 200 0 0 0 " + upper + "0 2 \n";

  const struct {
    Case run;
    std::string sorted;  // the output with the lists sorted
  } cases[] = {
      {on("three edges meeting at one node", v4Header(2, 1, 0, "3") + kThree)
           .out(progress(3))
           .err("")
           // The record of edge 3 as written: its two entries, then the count 0.
           .writes("out.dat", cli::contains("\n3 20 100 0 5 40 200 0 1 2 "))
           .writes("out.dat", cli::contains(" 0 2 \n")),
       outHeader(2, 1, 0, "3") + "1 10 0 0 10 20 100 0 5 0 2 -3 2 1 100 0.05 5000\n"
                                 "2 30 0 100 12 20 100 0 5 0 2 -3 1 1 150 0.0466667 6000\n"
                                 "3 20 100 0 5 40 200 0 1 2 1 2 0 2 \n"},
      // Edge 1 ends at node 20, where edges 2 and 3 start; edge 4 stands alone.
      {on("a divergent node and an edge without neighbours", v4Header(4, 0, 0, "4") +
                                                                 "1 10 0 0 9 20 1 1 8 1 10 0.1 100\n"
                                                                 "2 20 1 1 8 30 2 2 7 1 10 0.1 100\n"
                                                                 "3 20 1 1 8 40 3 3 6 1 10 0.1 100\n"
                                                                 "4 50 5 5 5 60 6 6 4 1 10 0.1 100\n"),
       outHeader(4, 0, 0, "4") + "1 10 0 0 9 20 1 1 8 0 2 -3 -2 1 10 0.1 100\n"
                                 "2 20 1 1 8 30 2 2 7 2 -3 1 0 1 10 0.1 100\n"
                                 "3 20 1 1 8 40 3 3 6 2 -2 1 0 1 10 0.1 100\n"
                                 "4 50 5 5 5 60 6 6 4 0 0 1 10 0.1 100\n"},
      // Every entry once, with its sign, and never the edge itself.
      {on("a convergent node with many edges", v4Header(0, 13, 0, "13") + many), manyLists},
      // Reals are written again in the tools' format whatever their input form.
      {on("the record layout by attribute and the number format",
          v4Header(1, 1, 1, "3") + "1 1 100.0 2.50 1234567 2 0.000010 -0.0 1e3 1 0100 0.050 1.5E+2\n"
                                   "2 2 1e-5 0.0001 123456 3 .5 5. -2.25e-7 3 2000000 0.25\n"
                                   "3 3 0 0 0 4 0 0 0 2 \n"),
       outHeader(1, 1, 1, "3") + "1 1 100 2.5 1.23457e+06 2 1e-05 -0 1000 0 1 -2 1 100 0.05 150\n"
                                 "2 2 1e-05 0.0001 123456 3 0.5 5 -2.25e-07 1 1 1 -3 3 2e+06 0.25\n"
                                 "3 3 0 0 0 4 0 0 0 1 2 0 2 \n"},
  };
  for (const auto& c : cases) {
    check(Case(c.run).status(0));
    EXPECT_EQ(sortedOutput(dir_.read("out.dat")), c.sorted) << c.run.name();
  }
}

// Reals in many written forms come out as "%g" of the value they denote.
TEST_F(Dorvask, RealsAreWrittenAsTheCFormatWritesThem) {
  // clang-format off
  std::vector<std::string> forms = {"999999.5", "123456.7", "0.000123456", "0.0000123456", "1e-310",
                                    "-1.797e308", "+2.5", "00012.50", "1.00000", "9.999995", "9.9999949",
                                    "100000", "1000000", "-0", "0e99", "4.5e-5", "12345678901234567890"};
  // clang-format on
  unsigned seed = 99;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int k = 0; k < 280; ++k) {  // random digits, points and exponents
    std::string t = next() % 4 == 0 ? "-" : "";
    for (unsigned d = 1 + next() % 9; d > 0; --d) t += static_cast<char>('0' + next() % 10);
    if (next() % 2) t.insert(t.size() - next() % t.size(), ".");
    if (next() % 3 == 0) t += "e" + std::to_string(static_cast<int>(next() % 30) - 15);
    forms.push_back(t);
  }
  while (forms.size() % 6 != 0) forms.push_back("1");
  std::string data, expected;
  const std::size_t n = forms.size() / 6;
  for (std::size_t r = 0; r < n; ++r) {
    const std::string num = std::to_string(r + 1);
    std::string in = num + " " + num + " ", out = in;
    std::vector<std::string> g;
    for (int k = 0; k < 6; ++k) {
      char b[64];
      std::snprintf(b, sizeof b, "%g", std::strtod(forms[r * 6 + static_cast<std::size_t>(k)].c_str(), nullptr));
      g.push_back(b);
    }
    in += forms[r * 6] + " " + forms[r * 6 + 1] + " " + forms[r * 6 + 2] + " " + std::to_string(100000 + r) + " " +
          forms[r * 6 + 3] + " " + forms[r * 6 + 4] + " " + forms[r * 6 + 5] + " 2 \n";
    out += g[0] + " " + g[1] + " " + g[2] + " " + std::to_string(100000 + r) + " " + g[3] + " " + g[4] + " " + g[5] +
           " 0 0 2 \n";
    data += in;
    expected += out;
  }
  check(on("reals", v4Header(0, static_cast<int>(n), 0, std::to_string(n)) + data)
            .status(0)
            .writes("out.dat", outHeader(0, static_cast<int>(n), 0, std::to_string(n)) + expected));
}

// Records whose lists the order of the trees cannot change: the output
// byte for byte.
TEST_F(Dorvask, WritesTheRecordsAsRead) {
  // Edge and node numbers at the ends of the 32-bit range, and negative
  // edge numbers, whose sign in a list is then reversed: the same lists
  // whether a record is copied (output form) or read into an edge (any
  // other form).
  const std::string extreme =
      "-2147483647 -2147483648 0 0 0 2147483647 0 0 0 1 5 0 2 \n"
      "5 9 0 0 0 -2147483648 0 0 0 0 1 2147483647 2 \n";
  std::vector<Case> cases;
  for (const std::string zero : {"0", "0.0"})
    cases.push_back(on("extreme numbers, zero as " + zero, v4Header(0, 2, 0, "2") + "-2147483647 -2147483648 " + zero +
                                                               " 0 0 2147483647 0 0 0 2 \n5 9 " + zero +
                                                               " 0 0 -2147483648 0 0 0 2 \n")
                        .writes("out.dat", outHeader(0, 2, 0, "2") + extreme));
  // Lines before the key lines are copied, blank-only lines skipped, lines
  // between the count and "[Data]" dropped; a last record without a line
  // end is read.
  cases.push_back(
      on("header lines pass through, blank lines are skipped",
         "[Comment]\n  \nmy basin\n[Data Format Name] as key\nedge format V.4 (from pelmic)\n"
         "[Number of BBEdges]\n1\n\t\n[Number of Total Edges] here\n2\nextra line\n \n[Data]\n"
         "1 1 0 0 0 2 0 0 0 1 1 1 1\n \t \n2 2 0 0 0 3 0 0 0 1 1 1 1")
          .out(progress(2))
          .writes("out.dat",
                  "[Comment]\nmy basin\nThis data was generated from in.dat by dorvask.\n[Data Format Name] as key\n"
                  "edge connection V.4\n[Number of BBEdges]\n1\n[Number of Total Edges] here\n2\n[Data]\n"
                  "1 1 0 0 0 2 0 0 0 0 1 -2 1 1 1 1\n"
                  "2 2 0 0 0 3 0 0 0 1 1 0 1 1 1 1\n"));
  cases.push_back(on("no records", v4Header(0, 0, 0, "0")).out(progress(0)).writes("out.dat", outHeader(0, 0, 0, "0")));
  // A UTF-8 byte-order mark (EF BB BF, written by some editors) before the
  // comment block is part of its first line, which is copied: the output
  // begins with it too.
  const std::string bom = "\xEF\xBB\xBF";
  cases.push_back(on("a byte-order mark before the comment block passes through", bom + v4Header(0, 0, 0, "0"))
                      .out(progress(0))
                      .writes("out.dat", bom + outHeader(0, 0, 0, "0")));
  // An unknown attribute keeps the record without its values. Not in the
  // output form, the record is read into an edge and written from it, with
  // nothing after the attribute.
  for (const char* second : {"2 2 0 0 0 3 0 0 0 4 9 9 9\n", "2 2 0.0 0 0 3 0 0 0 +4 9 9 9\n"})
    cases.push_back(on(std::string("an unknown attribute: ") + second,
                       v4Header(1, 0, 1, "2") + "1 1 0 0 0 2 0 0 0 1 10 0.5 7\n" + second)
                        .err("Error occured in file: dorvask.cpp, at line: 576\n"
                             "record 2 (edge 2) of in.dat has the attribute 4; it is kept, without length, "
                             "gradient and area.\n")
                        .writes("out.dat", outHeader(1, 0, 1, "2") + "1 1 0 0 0 2 0 0 0 0 1 -2 1 10 0.5 7\n"
                                                                     "2 2 0 0 0 3 0 0 0 1 1 0 4 \n"));
  for (const Case& c : cases) check(Case(c).status(0));
}

TEST_F(Dorvask, TwoRunsGiveIdenticalOutput) {
  std::string data;
  for (int e = 1; e <= 200; ++e)
    data += std::to_string(e) + " " + std::to_string(e % 17) + " 0 0 1 " + std::to_string(100 + e % 5) +
            " 0 0 0 1 10 0.1 100\n";
  ASSERT_EQ(check(on("first", v4Header(200, 0, 0, "200") + data)).status, 0);
  std::string first = dir_.read("out.dat");
  check(Case("second").args({"in.dat", "out.dat"}).status(0).writes("out.dat", first));
}

TEST_F(Dorvask, InputFromAPipeGivesTheSameOutput) {
  // Records as pelmic writes them and others, from a file and from a pipe
  // (which cannot be read twice).
  std::string data;
  for (int e = 1; e <= 50; ++e)
    data += std::to_string(e) + (e % 3 ? " " : "\t ") + std::to_string(e % 7) + " 1.50 2 3 " +
            std::to_string(7 + e % 4) + " 4 5 6 1 10 0.1 " + (e % 5 ? "100" : "1e2") + "\n";
  const std::string text = v4Header(50, 0, 0, "50") + data;
  ASSERT_EQ(check(on("from a file", text)).status, 0);
  const std::string fromFile = dir_.read("out.dat");
  check(Case("from a pipe").args({"/dev/stdin", "piped.dat"}).input(text).status(0));
  std::string piped = dir_.read("piped.dat");
  const std::string from = "This data was generated from ";
  EXPECT_EQ(piped.replace(piped.find(from), from.size() + 10, from + "in.dat"), fromFile);
}

TEST_F(Dorvask, NamesFromPrompts) {
  check(Case()
            .file("in.dat", v4Header(2, 1, 0, "3") + kThree)
            .input("in.dat\nout.dat\n")
            .status(0)
            .out("# edge format V.4 data (input file) : # edge connection V.4 data (output file) : " + progress(3))
            .writes("out.dat", cli::starts_with(outHeader(2, 1, 0, "3"))));
}

TEST_F(Dorvask, UsageAndVersion) {
  const std::string usage = std::string(tooltexts::kDorvaskUsage) + "\n";
  const Case cases[] = {
      Case().args({"-h"}).err(usage),
      Case("one name only").args({"in.dat"}).err(usage),
      // The version, then the usage for the argument count.
      Case()
          .args({"-v"})
          .err("\nThis is dorvask\n  Developed by the dorvask developer, river basin modelling group\n\n" + usage)
          .out(""),
  };
  for (const Case& c : cases) check(Case(c).status(1));
}

// Error points: the report on the error stream, the status and the console;
// a fatal one leaves the earlier output as it was and no temporary file.
TEST_F(Dorvask, ErrorPoints) {
  const std::string rec = "1 1 0 0 0 2 0 0 0 1 1 1 1\n";
  struct Row {
    const char* what;
    std::string input;
    int status;
    std::string err;
    bool ran;  // the records were processed
  };
  const std::string e = "Error occured in file: dorvask.cpp, at line: ";
  const std::string short1 =
      "\nthe records of in.dat end after 1 of the 2 that [Number of Total Edges] gives "
      "(at the end of the file or an empty line).\n";
  const Row cases[] = {
      {"wrong format", "[Data Format Name]\nedge format V.0\n", 1, e + "496\niFile must be edge format V.4 data.\n",
       false},
      {"no format name line", "[Comment]\nnothing\n", 1, e + "496\niFile must be edge format V.4 data.\n", false},
      {"empty line before the format", "[Comment]\n\n[Data Format Name]\nedge format V.4\n", 1,
       e + "496\niFile must be edge format V.4 data.\n", false},
      // A UTF-8 byte-order mark (EF BB BF, written by some editors) is
      // three characters of the first line: the key is not found.
      {"byte-order mark before the format", "\xEF\xBB\xBF[Data Format Name]\nedge format V.4\n", 1,
       e + "496\niFile must be edge format V.4 data.\n", false},
      {"no total count", "[Data Format Name]\nedge format V.4\n[Data]\n" + rec, 1,
       e + "510\nthe input file in.dat has no [Number of Total Edges] line.\n", false},
      {"no data line", "[Data Format Name]\nedge format V.4\n[Number of Total Edges]\n1\n" + rec, 1,
       e + "531\nthe input file in.dat has no [Data] line.\n", false},
      {"count above the records", v4Header(1, 0, 0, "2") + rec, 1, e + "553\n2th data" + short1, false},
      {"empty line in the records", v4Header(1, 0, 0, "2") + rec + "\n" + rec, 1, e + "553\n2th data" + short1, false},
      {"no records", v4Header(1, 0, 0, "1"), 1,
       e + "553\n1th data\nthe records of in.dat end after 0 of the 1 that [Number of Total Edges] gives "
           "(at the end of the file or an empty line).\n",
       false},
      {"count not a number", v4Header(1, 0, 0, "two") + rec, 1,
       e + "521\nthe number of total edges in in.dat must be a non-negative integer, not \"two\".\n", false},
      {"negative count", v4Header(1, 0, 0, "-1") + rec, 1,
       e + "521\nthe number of total edges in in.dat must be a non-negative integer, not \"-1\".\n", false},
      // A '+' leads a number only when no sign follows, as in the records.
      {"count with two signs", v4Header(1, 0, 0, "+-0") + rec, 1,
       e + "521\nthe number of total edges in in.dat must be a non-negative integer, not \"+-0\".\n", false},
      {"count missing", "[Data Format Name]\nedge format V.4\n[Number of Total Edges]\n", 1,
       e + "521\nthe number of total edges is missing in in.dat.\n", false},
      {"count with words", v4Header(1, 0, 0, "1 edge") + rec, 1,
       e + "521\nthe number of total edges in in.dat must be a non-negative integer, not \"1 edge\".\n", false},
      {"short record", v4Header(1, 0, 0, "1") + "1 1 0 0 0 2 0 0 0 1 1 1\n", 1,
       e + "560\n1th data\nthe record cannot be read in in.dat: \"1 1 0 0 0 2 0 0 0 1 1 1\"\n", false},
      {"real for a node", v4Header(1, 0, 0, "1") + "1 1.5 0 0 0 2 0 0 0 2\n", 1,
       e + "560\n1th data\nthe record cannot be read in in.dat: \"1 1.5 0 0 0 2 0 0 0 2\"\n", false},
      {"word for a real", v4Header(1, 0, 0, "1") + "1 1 0 x 0 2 0 0 0 2\n", 1,
       e + "560\n1th data\nthe record cannot be read in in.dat: \"1 1 0 x 0 2 0 0 0 2\"\n", false},
      {"real out of range", v4Header(1, 0, 0, "1") + "1 1 0 1e999 0 2 0 0 0 2\n", 1,
       e + "560\n1th data\nthe record cannot be read in in.dat: \"1 1 0 1e999 0 2 0 0 0 2\"\n", false},
      {"number beyond 32 bits", v4Header(1, 0, 0, "1") + "2147483648 1 0 0 0 2 0 0 0 2\n", 1,
       e + "560\n1th data\nthe record cannot be read in in.dat: \"2147483648 1 0 0 0 2 0 0 0 2\"\n", false},
      // -(-2147483648) is no 32-bit number: the lists could not name it.
      {"smallest edge number", v4Header(2, 0, 0, "2") + "7 9 0 0 0 1 0 0 0 2 \n-2147483648 1 0 0 0 2 0 0 0 2 \n", 1,
       e + "583\nedge -2147483648 in in.dat cannot be named with a sign; edge numbers lie from -2147483647 to "
           "2147483647.\n",
       false},
      {"edge on one node", v4Header(2, 0, 0, "2") + rec + "7 5 0 0 0 5 0 0 0 1 1 1 1\n", 1,
       e + "587\nedge 7 in in.dat has the same upper and lower node 5.\n", false},
      {"edge number twice", v4Header(3, 0, 0, "3") + rec + "2 2 0 0 0 3 0 0 0 1 1 1 1\n" + rec, 1,
       e + "592\nedge 1 is given twice in in.dat, in records 1 and 3.\n", false},
      {"unknown attribute", v4Header(1, 0, 0, "1") + "1 1 0 0 0 2 0 0 0 4 9 9 9\n", 0,
       e + "576\nrecord 1 (edge 1) of in.dat has the attribute 4; it is kept, without length, gradient and area.\n",
       true},
  };
  const std::string earlier = "an earlier output\n";
  for (const Row& c : cases)
    check(on(c.what, c.input)
              .file("out.dat", earlier)
              .status(c.status)
              .err(c.err)
              .out(c.ran ? progress(1) : "")
              .writes("out.dat", c.status == 0 ? outHeader(1, 0, 0, "1") + "1 1 0 0 0 2 0 0 0 0 0 4 \n" : earlier)
              .leaves({"in.dat", "out.dat"}));
}

// What a refused run leaves: an earlier output as it was (nothing new where
// the output cannot be created), and an input named again as the output
// refused before anything is written, so that the input is not replaced.
TEST_F(Dorvask, RefusedRunsLeaveTheEarlierOutputAsItWas) {
  const std::string e = "Error occured in file: dorvask.cpp, at line: ";
  const std::string input = v4Header(2, 1, 0, "3") + kThree;
  const std::string earlier = "an earlier output\n";
  const Case cases[] = {
      on("a format error", "[Comment]\nabc\n[Data Format Name]\nedge connection V.4\n")
          .file("out.dat", earlier)
          .writes("out.dat", earlier)
          .leaves({"in.dat", "out.dat"}),
      Case("a missing input")
          .args({"none.dat", "out.dat"})
          .file("out.dat", earlier)
          .err(e + "496\niFile must be edge format V.4 data.\nthe input file none.dat cannot be read: " +
               std::strerror(ENOENT) + ".\n")
          .writes("out.dat", earlier)
          .leaves({"out.dat"}),
      Case("a folder as the input")
          .args({"sub", "out.dat"})
          .directory("sub")
          .file("out.dat", earlier)
          .err(e + "496\niFile must be edge format V.4 data.\nthe input file sub cannot be read: " +
               std::strerror(EISDIR) + ".\n")
          .writes("out.dat", earlier)
          .leaves({"sub", "out.dat"}),
      Case("an output in a missing folder")
          .file("in.dat", input)
          .args({"in.dat", "no/such/dir/out.dat"})
          .err(e + "45\nthe output file no/such/dir/out.dat cannot be written.\n")
          .out("")
          .leaves({"in.dat"}),
      Case("the input as the output")
          .file("in.dat", input)
          .args({"in.dat", "./in.dat"})
          .err(e + "489\nthe output file ./in.dat is the input file.\n")
          .out("")
          .writes("in.dat", input)
          .leaves({"in.dat"}),
  };
  for (const Case& c : cases) {
    cli::Folder dir;
    cli::check(cli::dorvask, dir, Case(c).status(1));
  }
}

// A file-size limit (SIGXFSZ at its default, as a shell leaves it) makes a
// write of the output fail: reported, and the earlier output stays.
TEST_F(Dorvask, AFileSizeLimitIsAFailedWrite) {
  std::string data;
  for (int k = 1; k <= 2000; ++k)
    data += std::to_string(k) + " " + std::to_string(k + 1) + " 0 0 0 " + std::to_string(k) + " 0 0 0 2 \n";
  const std::string input = v4Header(0, 2000, 0, "2000") + data;  // some 50 kB, and 60 kB written
  check(on("a limit of 56 kB", input)
            .file("out.dat", "an earlier output\n")
            .file_size_limit(56 * 1024)
            .status(1)
            .out(progress(2000))
            .err("Error occured in file: dorvask.cpp, at line: 45\nthe output file out.dat cannot be written.\n")
            .writes("out.dat", "an earlier output\n")
            .leaves({"in.dat", "out.dat"}));
}

// Memory exhausted (a limit of the address space): the error line, what
// dorvask was doing, status 1; the earlier output stays. A count of four
// million edges makes dorvask take room for them as it starts reading; a
// basin of 300 000 edges runs out on its way.
TEST_F(Dorvask, MemoryExhaustedIsReportedWithWhatWasBeingDone) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit does not work under AddressSanitizer";
#endif
  const std::string e = "Error occured in file: dorvask.cpp, at line: 47\n";
  std::string basin;
  for (int k = 1; k <= 300000; ++k)
    basin += std::to_string(k) + " " + std::to_string(k + 1) + " 0 0 0 " + std::to_string(k) + " 0 0 0 2 \n";
  const Case cases[] = {
      on("a count of four million edges", v4Header(0, 1, 0, "4000000") + "1 1 0 0 0 2 0 0 0 2 \n")
          .address_space_limit(64 << 20)
          .out("")
          .err(e + "memory ran out while reading the input file in.dat.\n"),
      on("300 000 edges", v4Header(0, 300000, 0, "300000") + basin)
          .address_space_limit(28 << 20)
          .err(cli::matches(e + "memory ran out while (reading the input file|checking the edge numbers of|"
                                "building the neighbour lists of) in\\.dat\\.\n")),
  };
  for (const Case& c : cases)
    check(Case(c)
              .file("out.dat", "an earlier output\n")
              .status(1)
              .writes("out.dat", "an earlier output\n")
              .leaves({"in.dat", "out.dat"}));
}

// The neighbour lists as the search trees give them: the values (edge,
// node) of all upper and of all lower ends shuffled with rand() from its
// first draw, inserted into two unbalanced trees ordered by node number,
// and walked from probes.
void shuffle(std::vector<WorkNode>& v) {
  for (long i = static_cast<long>(v.size()) - 1; i >= 1; --i) {
    double r = std::rand();
    long j = static_cast<long>(r * static_cast<double>(i + 1) * 4.656612873077393e-10);
    std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
  }
}

struct Edge3 {
  Long num, up, low;
};

// "count entries " of the two lists of every edge.
std::vector<std::string> treeLists(const std::vector<Edge3>& edges) {
  std::vector<WorkNode> upper, lower;
  for (const Edge3& e : edges) {
    upper.emplace_back(e.num, e.up);
    lower.emplace_back(e.num, e.low);
  }
  std::srand(1);  // the sequence of a program that never seeds
  shuffle(upper);
  shuffle(lower);
  TzBinaryTree2<WorkNode> upTree, lowTree;
  for (std::size_t i = 0; i < edges.size(); ++i) {
    upTree.Insert(upper[i]);
    lowTree.Insert(lower[i]);
  }
  auto text = [](const std::vector<Long>& l) {
    std::string s = std::to_string(l.size()) + " ";
    for (Long v : l) s += std::to_string(v) + " ";
    return s;
  };
  // From the node of probe: back while at node, then (around) forward.
  auto gather = [](TzBinaryTree2<WorkNode>& t, TzTreeNode<WorkNode>* at, Long node, int sign, bool around,
                   std::vector<Long>& out) {
    TzBinaryTreeIterator2<WorkNode> it(t);
    it.Init(at);
    for (--it; static_cast<WorkNode*>(it) != nullptr && (*it).NodeNum() == node; --it)
      out.push_back(sign * (*it).EdgeNum());
    if (!around) return;
    it.Init(at);
    for (++it; static_cast<WorkNode*>(it) != nullptr && (*it).NodeNum() == node; ++it)
      out.push_back(sign * (*it).EdgeNum());
  };
  std::vector<std::string> lists;
  for (const Edge3& e : edges) {
    std::vector<Long> up, low;
    TzTreeNode<WorkNode>* probe = lowTree.WrapInternalInsert(WorkNode(e.num, e.up));
    gather(lowTree, probe, e.up, +1, false, up);
    lowTree.Delete(WorkNode(e.num, e.up));
    gather(upTree, upTree.GetPtrToNode(WorkNode(e.num, e.up)), e.up, -1, true, up);
    probe = upTree.WrapInternalInsert(WorkNode(e.num, e.low));
    gather(upTree, probe, e.low, -1, false, low);
    upTree.Delete(WorkNode(e.num, e.low));
    gather(lowTree, lowTree.GetPtrToNode(WorkNode(e.num, e.low)), e.low, +1, true, low);
    lists.push_back(text(up) + text(low));
  }
  return lists;
}

TEST_F(Dorvask, ListsInTheOrderOfTheShuffledTrees) {
  // Edges with scattered numbers on a few dozen nodes (negative, zero and
  // large node numbers among them), so that many meet at each node.
  std::vector<Edge3> edges;
  unsigned seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<Long>((seed >> 8) % 40);
  };
  const Long nodes[40] = {-7,      0,       3,       5,        8,        13,       21,       34,
                          55,      89,      144,     233,      377,      610,      987,      1597,
                          2584,    4181,    6765,    10946,    -1000000, 17711,    28657,    46368,
                          75025,   121393,  196418,  317811,   514229,   832040,   1346269,  2178309,
                          3524578, 5702887, 9227465, 14930352, 24157817, 39088169, 63245986, 2147483647};
  for (Long k = 0; k < 400; ++k) {
    Long up = nodes[next()], low = nodes[next()];
    if (up == low) continue;
    edges.push_back(Edge3{1000 + 7 * k, up, low});
  }
  std::string data;
  for (const Edge3& e : edges)
    data += std::to_string(e.num) + " " + std::to_string(e.up) + " 1 2 3 " + std::to_string(e.low) + " 4 5 6 2 \n";
  const std::string total = std::to_string(edges.size());
  std::string expected = outHeader(0, static_cast<int>(edges.size()), 0, total);
  std::vector<std::string> lists = treeLists(edges);
  for (std::size_t i = 0; i < edges.size(); ++i)
    expected += std::to_string(edges[i].num) + " " + std::to_string(edges[i].up) + " 1 2 3 " +
                std::to_string(edges[i].low) + " 4 5 6 " + lists[i] + "2 \n";
  check(
      on("lists", v4Header(0, static_cast<int>(edges.size()), 0, total) + data).status(0).writes("out.dat", expected));
}

#ifdef TZ_PELMIC_EXE
// The chain so far: pelmic turns a generated node and edge file into
// "edge format V.4", which dorvask turns into "edge connection V.4". Every
// record of dorvask's output is pelmic's record with the two lists put in
// after the lower end's coordinates, and the lists hold exactly the edges
// that meet at each end, with their signs.
TEST_F(Dorvask, AfterPelmicOnAGeneratedBasin) {
  // River edges k = 1 .. 31 from node k + 1 down to node (k + 1) / 2, a
  // binary tree draining to node 1; slope edges 32 .. 79 from hill nodes
  // 100 + k down to river nodes; every fifth river edge a channel edge
  // (attribute 3). The edges are listed in a scrambled order.
  struct E {
    Long num, up, low;
    int atr;
  };
  std::vector<E> edges;
  for (Long k = 1; k <= 31; ++k) edges.push_back(E{k, k + 1, (k + 1) / 2, k % 5 == 0 ? 3 : 2});
  for (Long k = 32; k <= 79; ++k) edges.push_back(E{k, 100 + k, 2 + (k * 7) % 30, 1});
  std::string nodes = "[Comment]\ngenerated\n[Data Format Name]\nnode format V.0\n[Data]\n";
  for (Long n = 1; n <= 32; ++n)
    nodes += std::to_string(n) + " 0 " + std::to_string(10 * n) + " " + std::to_string(7 * n % 50) + " " +
             std::to_string(n) + "\n";
  for (Long n = 132; n <= 179; ++n)
    nodes += std::to_string(n) + " 1 " + std::to_string(3 * n) + " 5 " + std::to_string(200 + n) + " 1500\n";
  std::string edgeFile = "[Data Format Name]\nedge format V.0\n[Data]\n";
  for (std::size_t k = 0; k < edges.size(); ++k) {
    const E& e = edges[(k * 37) % edges.size()];
    edgeFile += std::to_string(e.num) + " " + std::to_string(e.up) + " " + std::to_string(e.low) + " " +
                std::to_string(e.atr) +
                (e.atr == 1   ? " 120 2400"
                 : e.atr == 3 ? " 80"
                              : "") +
                "\n";
  }
  dir_.write("nodes.dat", nodes);
  dir_.write("edges.dat", edgeFile);
  cli::Result p = cli::run(cli::pelmic, {"edges.dat", "nodes.dat", "basin.v4"}, dir_.path());
  ASSERT_EQ(p.status, 0) << p.out << p.err;
  cli::Result r = check(Case().args({"basin.v4", "basin.con"}).status(0).out(progress(79)));
  ASSERT_EQ(r.status, 0) << r.err;

  std::istringstream v4(dir_.read("basin.v4")), con(dir_.read("basin.con"));
  std::string a, b;
  std::vector<std::string> header4, headerC;
  while (std::getline(v4, a) && a != "[Data]") header4.push_back(a);
  while (std::getline(con, b) && b != "[Data]") headerC.push_back(b);
  ASSERT_EQ(headerC.size(), header4.size() + 1);
  EXPECT_EQ(headerC[2], "This data was generated from basin.v4 by dorvask.");
  EXPECT_EQ(headerC[4], "edge connection V.4");
  for (std::size_t k = 0; k < header4.size(); ++k)
    if (k != 3) {
      EXPECT_EQ(headerC[k < 2 ? k : k + 1], header4[k]);
    }
  EXPECT_EQ(header4[11], "79");

  // The neighbours at a node from the edge list itself: + for an edge that
  // ends there, - for one that starts there, in both lists.
  auto expectedList = [&](Long node, Long self) {
    std::vector<Long> l;
    for (const E& e : edges) {
      if (e.num == self) continue;
      if (e.low == node) l.push_back(+e.num);  // ends at the node
      if (e.up == node) l.push_back(-e.num);   // starts at the node
    }
    std::sort(l.begin(), l.end());
    return l;
  };
  int records = 0;
  while (std::getline(v4, a)) {
    ASSERT_TRUE(static_cast<bool>(std::getline(con, b)));
    ++records;
    std::vector<std::string> t4 = splitBlanks(a), tc = splitBlanks(b);
    const Long num = std::stol(t4[0]), up = std::stol(t4[1]), low = std::stol(t4[5]);
    SCOPED_TRACE("edge " + t4[0]);
    std::size_t nUp = std::stoul(tc[9]);
    std::size_t nLow = std::stoul(tc[10 + nUp]);
    ASSERT_EQ(tc.size(), t4.size() + 2 + nUp + nLow);
    // pelmic's items around the lists, unchanged.
    EXPECT_EQ(std::vector<std::string>(tc.begin(), tc.begin() + 9),
              std::vector<std::string>(t4.begin(), t4.begin() + 9));
    EXPECT_EQ(std::vector<std::string>(tc.begin() + static_cast<long>(11 + nUp + nLow), tc.end()),
              std::vector<std::string>(t4.begin() + 9, t4.end()));
    std::vector<Long> ul, ll;
    for (std::size_t k = 0; k < nUp; ++k) ul.push_back(std::stol(tc[10 + k]));
    for (std::size_t k = 0; k < nLow; ++k) ll.push_back(std::stol(tc[11 + nUp + k]));
    std::sort(ul.begin(), ul.end());
    std::sort(ll.begin(), ll.end());
    EXPECT_EQ(ul, expectedList(up, num));
    EXPECT_EQ(ll, expectedList(low, num));
  }
  EXPECT_EQ(records, 79);
  EXPECT_FALSE(static_cast<bool>(std::getline(con, b)));
}
#endif

#if defined(TZ_PELMIC_EXE) && defined(TZ_TMORVELAN2D_EXE)
// The chain up to the simulation: pelmic and dorvask on a generated basin,
// then tmorvelan2d runs on dorvask's file with parameter and initial-state
// files written here. Under a constant rain the discharge at the outlets
// settles at the rain on all slope edges: every slope edge drains to an
// outlet through the lists dorvask wrote.
TEST_F(Dorvask, ItsOutputRunsInTmorvelan2d) {
  const basintest::Catchments basin{3, 10, 200, 5, ""};
  dir_.write("nodes.dat", basin.nodes());
  dir_.write("edges.dat", basin.edges());
  cli::Result p = cli::run(cli::pelmic, {"edges.dat", "nodes.dat", "basin.v4"}, dir_.path());
  ASSERT_EQ(p.status, 0) << p.out << p.err;
  cli::Result r = check(Case().args({"basin.v4", "basin.con"}).status(0));
  ASSERT_EQ(r.status, 0) << r.err;

  const int n = 4 * basin.groups;
  std::string params =
      "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n" + std::to_string(n) + "\n[Data]\n";
  std::string initial =
      "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n" + std::to_string(n) + "\n[Data]\n";
  for (int e = 1; e <= n; ++e) {
    params += std::to_string(e) + " 0.3 1.667 0.001 0.5 0.02 0.005 4.0 0.65 0.000001 10 0.0001 10\n";
    initial += std::to_string(e) + " 0 0\n";
  }
  cli::Result m = cli::check(
      cli::tmorvelan2d, dir_,
      Case("tmorvelan2d")
          .file("par.dat", params)
          .file("ini.dat", initial)
          .file("tmorvelan2d.pmt",
                "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n300 basin.con par.dat 0 0 500 500\n}\n")
          .file("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 ini.dat\n}\n")
          .file("radarRain_4.dat", "0 2 2\n18 18\n18 18\n400000 2 2\n18 18\n18 18\n")
          .input("360000\n360000\nY\n")
          .status(0)
          .out(cli::starts_with("\ttotal area: 39600(m2)\n")));
  ASSERT_EQ(m.status, 0) << m.err;
  // The last line of the outlet series: the time and the discharge.
  const cli::Series q = cli::series(dir_.read("tmorvelan2d.out"));
  ASSERT_FALSE(q.empty());
  EXPECT_EQ(q.back().first, 360000);
  EXPECT_NEAR(q.back().second, 18 * 0.001 / 3600 * basin.slope_area(), 1e-5);
}
#endif

}  // namespace

#endif
