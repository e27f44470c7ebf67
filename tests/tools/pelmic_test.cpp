// pelmic end to end: the real program in a temporary directory, its files,
// console and exit status compared byte for byte. A case is a row of the
// command-line harness.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tool_runs.h"
#include "tool_texts.h"

#ifdef TZ_PELMIC_EXE

namespace {

using cli::Case;

class Pelmic : public testing::Test {
 protected:
  cli::Result check(const Case& c) const { return cli::check(cli::pelmic, dir_, c); }
  // A run whose comment-free copies go to a folder of their own, which it
  // must leave empty.
  cli::Result check_copies(const Case& c) const {
    cli::Result r = check(copies_.in(c));
    EXPECT_TRUE(copies_.empty()) << "a copy is left in " << copies_.path() << " by " << c.name();
    return r;
  }
  cli::Folder dir_;
  toolruns::Copies copies_;
};

const std::string kError = "Error occured in file: pelmic.cpp, at line: ";

const std::string kFixtures = std::string(TZ_FIXTURES) + "/pelmic/";

const char kNormalEnd[] =
    "Gradients have been calculated.\n"
    "Edges have been sorted.\n"
    "pelmic has normally worked.\n";

const std::string kUsage = std::string(tooltexts::kPelmicUsage) + "\n";

std::string header(const std::string& edges, const std::string& nodes, int bb, int br, int rr) {
  std::ostringstream os;
  os << "[Comment]\nThis dataset was generated from " << edges << " and " << nodes
     << " by pelmic.\n[Data Format Name]\nedge format V.4\n[Number of BBEdges]\n"
     << bb << "\n[Number of BREdges]\n"
     << br << "\n[Number of RREdges]\n"
     << rr << "\n[Number of Total Edges]\n"
     << bb + br + rr << "\n[Data]\n";
  return os.str();
}

const char kNodes[] =
    "[Data Format Name]\nnode format V.0\n[Data]\n"
    "1 0 0 0 105\n2 0 100 0 100\n3 0 200 0 110\n";

std::string edge_file(const std::string& records) { return "[Data Format Name]\nedge format V.0\n[Data]\n" + records; }

// A run on n.dat and e.dat writing o.dat.
Case on(const std::string& name, const std::string& nodes, const std::string& edges) {
  return Case(name).file("n.dat", nodes).file("e.dat", edges).args({"e.dat", "n.dat", "o.dat"});
}

TEST_F(Pelmic, ConvertsTheFixtureBasin) {
  const std::string repeats = "3 \nThese edges were repeatedly included in edges.dat.\n";
  const Case fixture = Case()
                           .file("nodes.dat", cli::read_file(kFixtures + "nodes.dat"))
                           .file("edges.dat", cli::read_file(kFixtures + "edges.dat"))
                           .status(0)
                           .writes("out.dat", cli::read_file(kFixtures + "expected.dat"));
  check(Case(fixture)
            .args({"edges.dat", "nodes.dat", "out.dat"})
            .err("")
            .out("Gradients have been calculated.\nEdges have been sorted.\n" + repeats +
                 "pelmic has normally worked.\n"));
  // The names from the prompts, in order, a line each: the white space
  // around a name and lines of white space are passed over.
  check(Case(fixture)
            .input("edges.dat\n  nodes.dat\t\n \n\nout.dat \r\n")
            .out("# edge format V.0 file (input file) : "
                 "# node format V.0 file (input file) : "
                 "# edge format V.4 file (output file) : "
                 "Gradients have been calculated.\nEdges have been sorted.\n" +
                 repeats + "pelmic has normally worked.\n"));
}

// Sound inputs and what pelmic makes of them.
TEST_F(Pelmic, ConvertsRecords) {
  const Case cases[] = {
      // 1 falls 5 over 100; 2 is level; 3 rises; 4 falls exactly 0.01;
      // attribute 4 is counted with the others and written without length.
      on("gradients, classes and line ends", kNodes,
         edge_file("1 1 2 1 100 10\n2 2 2 1 100 20\n3 2 3 3 100\n"
                   "4 1 2 1 500 30\n5 3 1 4 7\n6 1 3 2\n"))
          .out(kNormalEnd)
          .writes("o.dat", header("e.dat", "n.dat", 3, 1, 2) + "1 1 0 0 105 2 100 0 100 1 100 0.05 10\n"
                                                               "2 2 100 0 100 2 100 0 100 1 100 0.01 20\n"
                                                               "3 2 100 0 100 3 200 0 110 3 100 0.01\n"
                                                               "4 1 0 0 105 2 100 0 100 1 500 0.01 30\n"
                                                               "5 3 200 0 110 1 0 0 105 4 \n"
                                                               "6 1 0 0 105 3 200 0 110 2 \n"),
      // Repeats merge into one record with the areas added.
      on("repeats", kNodes,
         edge_file("5 1 2 1 100 1\n3 1 2 1 100 2\n9 1 2 1 100 4\n3 1 2 1 100 8\n"
                   "5 1 2 1 100 16\n5 1 2 1 100 32\n"))
          .out("Gradients have been calculated.\nEdges have been sorted.\n"
               "3 5 5 \nThese edges were repeatedly included in e.dat.\n"
               "pelmic has normally worked.\n")
          .writes("o.dat", header("e.dat", "n.dat", 3, 0, 0) + "3 1 0 0 105 2 100 0 100 1 100 0.05 10\n"
                                                               "5 1 0 0 105 2 100 0 100 1 100 0.05 49\n"
                                                               "9 1 0 0 105 2 100 0 100 1 100 0.05 4\n"),
      on("an empty data section gives zero counts", kNodes, edge_file(""))
          .out(kNormalEnd)
          .writes("o.dat", header("e.dat", "n.dat", 0, 0, 0)),
      // The indented comment leaves a line of blanks, which is no record; the
      // empty line ends the records.
      on("the data section ends at an empty line, blank lines are skipped", kNodes,
         edge_file("1 1 2 2\n   # indented\n\t\n2 2 3 2\n\n3 1 3 2\n"))
          .writes("o.dat", header("e.dat", "n.dat", 0, 2, 0) + "1 1 0 0 105 2 100 0 100 2 \n"
                                                               "2 2 100 0 100 3 200 0 110 2 \n"),
      // "[Data]" and key words in the comment block are no keys.
      on("header lines are matched by their beginning",
         "[Comment]\n\nempty lines and [Data] words in the comment\n"
         "[Data Format Name] of the nodes\nnode format V.0 (old)\nsomething\n[Data] follows\n"
         "1 0 1.5 2.5 3.5\n2 1 4 5 6 77\n",
         "[Data Format Name]\nedge format V.0\n[Data]\n1 1 2 3 10\n")
          .writes("o.dat", header("e.dat", "n.dat", 0, 0, 1) + "1 1 1.5 2.5 3.5 2 4 5 6 3 10 0.01\n"),
      on("a repeated node number takes the later record",
         "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 0 5 5 0\n1 0 9 9 2\n", edge_file("1 1 2 3 10\n"))
          .writes("o.dat", header("e.dat", "n.dat", 0, 0, 1) + "1 1 9 9 2 2 5 5 0 3 10 0.2\n"),
      // Numbers in every form the stream's extraction takes: a plus sign,
      // leading zeros beyond ten digits, the ends of the range, exponents, a
      // point without digits on one side, a negative zero, and the other
      // white space.
      on("numbers in their many forms",
         "[Data Format Name]\nnode format V.0\n[Data]\n"
         "1 0 +5 00000000000000000007 1e1\n"
         "2 0 .5 1. -0\n"
         "-2147483648\t0\v1\f2\r3\n"
         "00000000000003 0 1.5e0 2.50 3.000\n"
         "2147483647 1 0.000123456789 123456789012345678 -4.5E-3 2500.\n",
         edge_file("1 -2147483648 00000000000003 3 100.0\n"
                   "+2 1 2 1 1e2 +7\n"
                   "3 2147483647 1 3 0.5\n"))
          .writes("o.dat", header("e.dat", "n.dat", 1, 0, 2) +
                               "1 -2147483648 1 2 3 3 1.5 2.5 3 3 100 0.01\n"
                               "2 1 5 7 10 2 0.5 1 -0 1 100 0.1 7\n"
                               "3 2147483647 0.000123457 1.23457e+17 -0.0045 1 5 7 10 3 0.5 0.01\n"),
      // No "[Data]" in either file: reported, and the run goes on.
      on("missing data sections", "[Data Format Name]\nnode format V.0\n1 0 0 0 0\n",
         "[Data Format Name]\nedge format V.0\n1 1 2 2\n")
          .err("Error occured in file: pelmic.cpp, at line: 414\nthe node file n.dat has no [Data] line.\n"
               "Error occured in file: pelmic.cpp, at line: 419\nthe edge file e.dat has no [Data] line.\n")
          .out(kNormalEnd)
          .writes("o.dat", header("e.dat", "n.dat", 0, 0, 0)),
  };
  for (const Case& c : cases) check(Case(c).status(0));
}

// Files far larger than the blocks they are read in, with a record line
// longer than a block, a line with a NUL character (blank up to it) and a
// last line without a line end.
TEST_F(Pelmic, LongFilesAndLongLines) {
  const int n = 40000;
  std::ostringstream nodes, edges, want;
  nodes << "[Data Format Name]\nnode format V.0\n[Data]\n";
  for (int k = 1; k <= n + 1; ++k) nodes << k << " 0 " << k << " 0 " << 2 * k << "\n";
  nodes << std::string(600000, ' ') << n + 2 << " 0 7 8 9\n";
  edges << "[Data Format Name]\nedge format V.0\n[Data]\n";
  edges << " " << std::string(1, '\0') << "x y\n";
  for (int k = n; k >= 1; --k) {
    edges << k << " " << k + 1 << " " << k << " 3 " << 10 * k << (k == 1 ? "" : "  # a comment\n");
    want << k << " " << k + 1 << " " << k + 1 << " 0 " << 2 * (k + 1) << " " << k << " " << k << " 0 " << 2 * k << " 3 "
         << 10 * k << " " << (2.0 / (10 * k) < 0.01 ? 0.01 : 2.0 / (10 * k)) << "\n";
  }
  std::string wanted = want.str(), lines;
  // The records come out in ascending order.
  std::vector<std::string> rows;
  std::istringstream is(wanted);
  for (std::string row; std::getline(is, row);) rows.push_back(row);
  std::reverse(rows.begin(), rows.end());
  for (const std::string& row : rows) lines += row + "\n";
  cli::Result r = check(on("long", nodes.str(), edges.str())
                            .status(0)
                            .writes("o.dat", header("e.dat", "n.dat", 0, 0, n) + lines)
                            .out(kNormalEnd));
  ASSERT_EQ(r.status, 0) << r.err;

  // The long line is a record of the node file like any other.
  check(Case("the long line")
            .file("e.dat", edge_file("1 40002 1 2\n"))
            .args({"e.dat", "n.dat", "o.dat"})
            .status(0)
            .writes("o.dat", header("e.dat", "n.dat", 0, 1, 0) + "1 40002 7 8 9 1 1 0 2 2 \n"));
}

// The record that the merge keeps is the first of its number after the
// partition sort; a plain transcription of the sort tells which.
struct Rec {
  int num, up, atr;
  double area;
};

void reference_sort(std::vector<Rec>& a, long left, long right) {
  Rec pivot = a[(left + right) / 2];
  long i = left, j = right;
  for (;;) {
    while (a[i].num < pivot.num) ++i;
    while (pivot.num < a[j].num) --j;
    if (i >= j) break;
    std::swap(a[i], a[j]);
    ++i;
    --j;
  }
  if (left < i - 1) reference_sort(a, left, i - 1);
  if (j + 1 < right) reference_sort(a, j + 1, right);
}

// Rounds 0 to 3 repeat numbers; rounds 4 and 5 hold distinct numbers over
// the whole range of the system's long, negative ones included; round 6
// has distinct numbers but for one pair.
TEST_F(Pelmic, KeepsTheRecordThatThePartitionSortPutsFirst) {
  std::mt19937 gen(20240611);
  for (int round = 0; round < 7; ++round) {
    int n = round < 4 ? 50 + 150 * round : 3000;
    std::vector<int> distinct;
    if (round >= 4) {
      std::uniform_int_distribution<int> any(INT32_MIN, INT32_MAX);
      distinct = {INT32_MIN, INT32_MAX};
      while (static_cast<int>(distinct.size()) < n) distinct.push_back(round == 5 ? any(gen) : any(gen) % 5000);
      std::sort(distinct.begin(), distinct.end());
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      std::shuffle(distinct.begin(), distinct.end(), gen);
      n = static_cast<int>(distinct.size());
      if (round == 6) distinct[n / 3] = distinct[2 * n / 3];
    }
    std::ostringstream nodes, edges;
    nodes << "[Data Format Name]\nnode format V.0\n[Data]\n";
    edges << "[Data Format Name]\nedge format V.0\n[Data]\n";
    std::vector<Rec> recs;
    for (int k = 0; k < n; ++k) {
      // Node k + 1 lies at x = k + 1, so the upper node shows which record is kept.
      nodes << k + 1 << " 0 " << k + 1 << " 0 " << 100 + k % 7 << "\n";
      int num = round < 4 ? static_cast<int>(gen() % (n / 4 + 1)) : distinct[k];
      // Repeats of one number share their attribute.
      recs.push_back(Rec{num, k + 1, (num & 1) + 1, double(k % 5 + 1)});
    }
    nodes << n + 1 << " 0 0 0 0\n";
    for (const Rec& r : recs) {
      edges << r.num << " " << r.up << " " << n + 1 << " " << r.atr;
      if (r.atr == 1) edges << " 10 " << r.area;
      edges << "\n";
    }
    reference_sort(recs, 0, static_cast<long>(recs.size()) - 1);
    std::ostringstream want, console;
    int counts[3] = {0, 0, 0};
    std::vector<Rec> kept;
    for (const Rec& r : recs) {
      if (!kept.empty() && kept.back().num == r.num) {
        kept.back().area += r.area;
        console << r.num << " ";
        continue;
      }
      kept.push_back(r);
      ++counts[r.atr - 1];
    }
    for (const Rec& r : kept) {
      double z = 100 + (r.up - 1) % 7;
      want << r.num << " " << r.up << " " << r.up << " 0 " << z << " " << n + 1 << " 0 0 0 " << r.atr << " ";
      if (r.atr == 1) want << "10 " << z / 10 << " " << r.area;
      want << "\n";
    }
    cli::Result res =
        check(on("round " + std::to_string(round) + ", " + std::to_string(n) + " records", nodes.str(), edges.str())
                  .status(0)
                  .writes("o.dat", header("e.dat", "n.dat", counts[0], counts[1], 0) + want.str())
                  .out(round == 4 || round == 5
                           ? cli::exactly(kNormalEnd)
                           : cli::contains(console.str() + "\nThese edges were repeatedly included in e.dat.\n")));
    ASSERT_EQ(res.status, 0) << res.err;
  }
}

// Inputs pelmic refuses: the report, status 1, and an earlier output of
// the output's name left as it was, with no temporary file beside it and
// no copy of an input left.
TEST_F(Pelmic, FaultyInputsStopWithAReportAndLeaveTheEarlierOutputAsItWas) {
  const std::string e = kError;
  const std::string missing = std::strerror(ENOENT), folder = std::strerror(EISDIR);
  // The folder's names after every run: the inputs of all rows and o.dat.
  const std::set<std::string> names = {"n.dat", "e.dat", "bad.dat", "o.dat", "sub"};
  const Case formats[] = {
      Case("the node file of another format")
          .args({"e.dat", "bad.dat", "o.dat"})
          .err(e + "392\nnode data must be node format V.0.\nedge format V.0\n" +
               "the node file bad.dat does not name \"node format V.0\" under a [Data Format Name] line.\n"),
      Case("no node file")
          .args({"e.dat", "missing.dat", "o.dat"})
          .err(e + "392\nnode data must be node format V.0.\nthe node file missing.dat cannot be read: " + missing +
               ".\n"),
      Case("a folder for the node file")
          .args({"e.dat", "sub", "o.dat"})
          .err(e + "392\nnode data must be node format V.0.\nthe node file sub cannot be read: " + folder + ".\n"),
      Case("the edge file of another format")
          .args({"n.dat", "n.dat", "o.dat"})
          .err(e + "404\nedge data must be edge format V.0.\n" +
               "the edge file n.dat does not name \"edge format V.0\" under a [Data Format Name] line.\n"),
      Case("no edge file")
          .args({"missing.dat", "n.dat", "o.dat"})
          .err(e + "404\nedge data must be edge format V.0.\nthe edge file missing.dat cannot be read: " + missing +
               ".\n"),
  };
  for (const Case& c : formats)
    check_copies(Case(c)
                     .file("n.dat", kNodes)
                     .file("e.dat", edge_file("1 1 2 2\n"))
                     .file("bad.dat", "[Data Format Name]\nedge format V.0\n[Data]\n")
                     .file("o.dat", "old contents\n")
                     .directory("sub")
                     .status(1)
                     .out("")
                     .writes("o.dat", "old contents\n")
                     .leaves(names));

  const struct {
    const char* records;
    std::string err;
  } records[] = {
      {"1 1 2 1 100 5\n2 1 x 2\n", e + "425\nthe record of edge 2 in e.dat cannot be read: 2 1 x 2\n"},
      {"abc\n", e + "425\nan edge record in e.dat cannot be read: abc\n"},
      {"1 1 2 1 100\n", e + "425\nthe record of edge 1 in e.dat cannot be read: 1 1 2 1 100\n"},
      {"1 1 2 3\n", e + "425\nthe record of edge 1 in e.dat cannot be read: 1 1 2 3\n"},
      {"1 1 2 2\n7 1 42 2\n", e + "452\nnode 42 of edge 7 in e.dat is not in the node file n.dat.\n"},
      {"1 1 2 1 0 5\n", e + "458\nedge 1 in e.dat has the length 0.\n"},
      {"4 1 2 3 0.0\n", e + "458\nedge 4 in e.dat has the length 0.\n"},
      {"3 1 2 1 100 5\n3 1 2 2\n", e + "478\nedge 3 is repeated in e.dat with different attributes "
                                       "(2 and 1): ce->Atribute() == pe->Atribute()\n"},  // the sort exchanges the two
      // Integers beyond the range of the system's long.
      {"5 2147483648 2 2\n", e + "425\nthe record of edge 5 in e.dat cannot be read: 5 2147483648 2 2\n"},
      {"2147483648 1 2 2\n", e + "425\nan edge record in e.dat cannot be read: 2147483648 1 2 2\n"},
      {"6 1 -2147483649 2\n", e + "425\nthe record of edge 6 in e.dat cannot be read: 6 1 -2147483649 2\n"},
      // Reals the stream's extraction does not take.
      {"7 1 2 1 nan 5\n", e + "425\nthe record of edge 7 in e.dat cannot be read: 7 1 2 1 nan 5\n"},
      {"8 1 2 1 100 -inf\n", e + "425\nthe record of edge 8 in e.dat cannot be read: 8 1 2 1 100 -inf\n"},
      {"9 1 2 3 infinity\n", e + "425\nthe record of edge 9 in e.dat cannot be read: 9 1 2 3 infinity\n"},
  };
  for (const auto& c : records)
    check_copies(on(c.records, kNodes, edge_file(c.records))
                     .file("o.dat", "old\n")
                     .status(1)
                     .err(c.err)
                     .writes("o.dat", "old\n")
                     .leaves(names));

  const Case nodes[] = {
      on("a node record with the attribute 1", "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 1 0 0 1\n",
         edge_file("1 1 2 2\n"))
          .err(e + "436\na node record in n.dat cannot be read: 2 1 0 0 1\n"),
      // A coordinate of "nan" is no number either.
      on("a coordinate nan", "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 0 nan 0 1\n",
         edge_file("1 1 2 2\n"))
          .err(e + "436\na node record in n.dat cannot be read: 2 0 nan 0 1\n"),
  };
  for (const Case& c : nodes)
    check_copies(Case(c).file("o.dat", "old\n").status(1).writes("o.dat", "old\n").leaves(names));
}

// A UTF-8 byte-order mark, the bytes EF BB BF some editors write at the
// start of a file, is three characters of the first line: before the
// format key the key is not found and the file is refused as one of
// another format (the node file's report shows the line after the key:
// none), the earlier output left as it was; before a comment line it is
// part of the comment and the file is read as without it.
TEST_F(Pelmic, AByteOrderMarkAtTheStartOfAnInputFile) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string edges = edge_file("1 1 2 1 100 10\n2 2 3 2\n");
  const std::set<std::string> names = {"n.dat", "e.dat", "o.dat"};
  const Case refused[] = {
      on("before the node file's format key", bom + kNodes, edges)
          .err(kError + "392\nnode data must be node format V.0.\n\n" +
               "the node file n.dat does not name \"node format V.0\" under a [Data Format Name] line.\n"),
      on("before the edge file's format key", kNodes, bom + edges)
          .err(kError + "404\nedge data must be edge format V.0.\n" +
               "the edge file e.dat does not name \"edge format V.0\" under a [Data Format Name] line.\n"),
  };
  for (const Case& c : refused)
    check_copies(
        Case(c).file("o.dat", "old contents\n").status(1).out("").writes("o.dat", "old contents\n").leaves(names));

  const std::string comment = "[Comment]\nwritten by an editor that marks its files\n";
  const std::string records = header("e.dat", "n.dat", 1, 1, 0) +
                              "1 1 0 0 105 2 100 0 100 1 100 0.05 10\n"
                              "2 2 100 0 100 3 200 0 110 2 \n";
  const Case read[] = {
      on("without a mark", comment + kNodes, comment + edges),
      on("before the node file's comment", bom + comment + kNodes, edges),
      on("before the edge file's comment", kNodes, bom + comment + edges),
      on("before a comment line", bom + "# the nodes\n" + kNodes, bom + "# the edges\n" + edges),
  };
  for (const Case& c : read)
    check_copies(Case(c).status(0).err("").out(kNormalEnd).writes("o.dat", records).leaves(names));
}

// The names in the wrong order, the output (an earlier pelmic output)
// second and the node file third: the node file's format is refused and
// no file is changed.
TEST_F(Pelmic, NamesInTheWrongOrderChangeNothing) {
  const std::string e4 = header("edges.dat", "nodes.dat", 0, 1, 0) + "1 1 0 0 105 2 100 0 100 2 \n";
  check_copies(Case()
                   .file("nodes.dat", kNodes)
                   .file("edges.dat", edge_file("1 1 2 2\n"))
                   .file("basin.e4", e4)
                   .args({"edges.dat", "basin.e4", "nodes.dat"})
                   .status(1)
                   .out("")
                   .err(kError + "392\nnode data must be node format V.0.\nedge format V.4\n" +
                        "the node file basin.e4 does not name \"node format V.0\" under a [Data Format Name] line.\n")
                   .writes("nodes.dat", kNodes)
                   .writes("basin.e4", e4)
                   .leaves({"nodes.dat", "edges.dat", "basin.e4"}));
}

TEST_F(Pelmic, UsageVersionAndArgumentCounts) {
  const std::string versionFirst = "\nThis is pelmic, version 2.0\n";
  const Case cases[] = {
      Case("-h").args({"-h"}).out("").err(kUsage),
      Case("-v").args({"-v"}).err(cli::starts_with(versionFirst)).err(cli::ends_with(kUsage)),
      Case("one name").args({"a"}).err(kUsage),
      Case("two names").args({"a", "b"}).err(kUsage),
      Case("four names").args({"a", "b", "c", "d"}).err(kUsage),
      Case("an unknown option").args({"-x"}).err(cli::contains(kUsage)),  // after getopt's own message
  };
  for (const Case& c : cases) {
    cli::Result r = check(Case(c).status(1));
    if (c.words() == std::vector<std::string>{"-v"}) {
      ASSERT_GT(r.err.size(), kUsage.size());
      std::string versionText = r.err.substr(0, r.err.size() - kUsage.size());
      EXPECT_EQ(std::count(versionText.begin(), versionText.end(), '\n'), 4);  // one line naming people, an end of line
    }
  }
}

TEST_F(Pelmic, RefusedNames) {
  const std::string e = "Error occured in file: pelmic.cpp, at line: ";
  const std::string mixed = e + "41\noptions and file names cannot be given on one command line.\n";
  const std::string longName(256, 'n');
  const Case cases[] = {
      // The version text comes first.
      Case().args({"-v", "e.dat", "n.dat"}).err(cli::ends_with(mixed)),
      Case().args({"e.dat", "n.dat", "-v"}).err(cli::ends_with(mixed)),
      Case().args({"--", "e.dat", "n.dat"}).err(mixed),
      Case().args({"e.dat", "n.dat", ""}).err(e + "42\nno file name was given.\n"),
      Case("the third name not given").input("e.dat\nn.dat\n").err(e + "42\nno file name was given.\n"),
      Case("a long name")
          .args({"e.dat", "n.dat", longName})
          .err(e + "43\nthe file name is longer than 255 characters: " + longName + "\n"),
      // A quote would open a quoted stretch for the readers downstream.
      Case()
          .args({"e.dat", "n.dat", "o'k.dat"})
          .err(e + "44\na file name must not hold a quote character: o'k.dat\n")
          .writes("o'k.dat", cli::absent()),
      Case("a quote in a prompted name")
          .input("e.dat\n\"n\".dat\n")
          .err(e + "44\na file name must not hold a quote character: \"n\".dat\n"),
      // A name of more words cannot be honoured: no file is made or touched
      // (that of its first word among them).
      Case("two names on the line of a prompt")
          .input("e.dat n.dat\no.dat\n")
          .out("# edge format V.0 file (input file) : ")
          .err(e + "46\na file name must not hold blanks or tabs: \"e.dat n.dat\"\n")
          .leaves({"n.dat", "e.dat"}),
      Case("a blank after a name")
          .args({"e.dat ", "n.dat", "o.dat"})
          .err(e + "46\na file name must not hold blanks or tabs: \"e.dat \"\n"),
      Case("a tab in a name")
          .args({"e.dat", "n\t.dat", "o.dat"})
          .err(e + "46\na file name must not hold blanks or tabs: \"n\t.dat\"\n"),
      Case("a blank in the output's name")
          .args({"e.dat", "n.dat", "basin 2024.e4"})
          .file("basin", "an unrelated file\n")
          .err(e + "46\na file name must not hold blanks or tabs: \"basin 2024.e4\"\n")
          .writes("basin", "an unrelated file\n")
          .leaves({"n.dat", "e.dat", "basin"}),
  };
  for (const Case& c : cases) check(Case(c).file("n.dat", kNodes).file("e.dat", edge_file("1 1 2 2\n")).status(1));
}

TEST_F(Pelmic, OutputThatCannotBeCreatedIsReported) {
  const std::string e = "Error occured in file: pelmic.cpp, at line: ";
  std::vector<Case> cases = {
      Case().args({"e.dat", "n.dat", "nodir/o.dat"}).err(e + "45\nthe output file nodir/o.dat cannot be written.\n"),
      // Emptying the output first would lose the input.
      Case()
          .args({"e.dat", "n.dat", "./e.dat"})
          .err(e + "386\nthe output file ./e.dat is one of the input files.\n")
          .writes("e.dat", edge_file("1 1 2 2\n")),
  };
  // A file that opens but takes no bytes: the lost writes are reported.
  if (access("/dev/full", W_OK) == 0)
    cases.push_back(Case()
                        .args({"e.dat", "n.dat", "/dev/full"})
                        .err(e + "45\nthe output file /dev/full cannot be written.\n")
                        .out("Gradients have been calculated.\nEdges have been sorted.\n"));
  for (const Case& c : cases) check(Case(c).file("n.dat", kNodes).file("e.dat", edge_file("1 1 2 2\n")).status(1));
}

// A file-size limit (SIGXFSZ at its default, as a shell leaves it) makes a
// write fail: the output's, reported as one that cannot be written, or the
// copy's of an input, named with its folder before the report of the
// input. The earlier output stays and nothing is left behind.
TEST_F(Pelmic, AFileSizeLimitIsAFailedWrite) {
  std::string edges = edge_file(""), nodes = "[Data Format Name]\nnode format V.0\n[Data]\n";
  for (int k = 1; k <= 3000; ++k) edges += std::to_string(k) + " 1 2 2\n";    // some 25 kB, and 85 kB written
  for (int k = 1; k <= 4000; ++k) nodes += std::to_string(k) + " 0 0 0 1\n";  // some 45 kB
  const Case cases[] = {
      on("the output", kNodes, edges)
          .file_size_limit(48 * 1024)
          .out("Gradients have been calculated.\nEdges have been sorted.\n")
          .err(kError + "45\nthe output file o.dat cannot be written.\n"),
      on("the copy of the node file", nodes, edge_file("1 1 2 2\n"))
          .file_size_limit(16 * 1024)
          .out("")
          .err(toolruns::copy_fault("n.dat", "written", copies_.path(), EFBIG) + kError +
               "392\nnode data must be node format V.0.\n"
               "the node file n.dat cannot be read: its comment-free copy cannot be made.\n"),
  };
  for (const Case& c : cases)
    check_copies(Case(c)
                     .file("o.dat", "an earlier output\n")
                     .status(1)
                     .writes("o.dat", "an earlier output\n")
                     .leaves({"n.dat", "e.dat", "o.dat"}));
}

const std::string kNoCopyReport = kError +
                                  "392\nnode data must be node format V.0.\n"
                                  "the node file n.dat cannot be read: its comment-free copy cannot be made.\n";

// The comment-free copies cannot be made where TMPDIR points (no such
// folder): a line for each input names it, the folder and the cause, and
// the report of the input follows; the earlier output stays.
TEST_F(Pelmic, ACopyThatCannotBeMadeIsNamedWithItsFolder) {
  const std::string none = dir_.file("none");
  check(on("no folder for the copies", kNodes, edge_file("1 1 2 2\n"))
            .env("TMPDIR", none)
            .file("o.dat", "an earlier output\n")
            .status(1)
            .out("")
            .err(toolruns::copy_fault("n.dat", "created", none, ENOENT) +
                 toolruns::copy_fault("e.dat", "created", none, ENOENT) + kNoCopyReport)
            .writes("o.dat", "an earlier output\n")
            .leaves({"n.dat", "e.dat", "o.dat"}));
}

// The open files at their limit (a shell's ulimit -n) are named as the
// cause, not the inputs. The shell gives the descriptors 0 to 4: the output
// takes 3 and the node file 4, and its copy has none.
TEST_F(Pelmic, TooFewFileDescriptorsAreNamedAsTheCause) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
  const Case few = copies_.in(Case("too few file descriptors")
                                  .file("n.dat", kNodes)
                                  .file("e.dat", edge_file("1 1 2 2\n"))
                                  .file("o.dat", "an earlier output\n")
                                  .args(toolruns::with_descriptors(5, cli::pelmic, {"e.dat", "n.dat", "o.dat"})));
  cli::check(toolruns::kShell, dir_,
             Case(few)
                 .status(1)
                 .out("")
                 .err(toolruns::copy_fault("n.dat", "created", copies_.path(), EMFILE) +
                      toolruns::copy_fault("e.dat", "created", copies_.path(), EMFILE) + kNoCopyReport)
                 .writes("o.dat", "an earlier output\n")
                 .leaves({"n.dat", "e.dat", "o.dat"}));
  EXPECT_TRUE(copies_.empty());
}

// Memory exhausted (a limit of the address space): the error line, what
// pelmic was doing, status 1; the earlier output stays and nothing is left.
// Many edges run out when their records are given room, many nodes when
// they are indexed (where a full tree once failed its allocation check).
TEST_F(Pelmic, MemoryExhaustedIsReportedWithWhatWasBeingDone) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit does not work under AddressSanitizer";
#endif
  std::string edges = edge_file(""), nodes = "[Data Format Name]\nnode format V.0\n[Data]\n";
  for (int k = 1; k <= 300000; ++k) edges += std::to_string(k) + " 1 2 2\n";    // 34 MB of records
  for (int k = 1; k <= 500000; ++k) nodes += std::to_string(k) + " 0 0 0 1\n";  // 24 MB, and 32 MB of index
  const Case cases[] = {
      on("many edges", kNodes, edges)
          .address_space_limit(24 << 20)
          .err(kError + "47\nmemory ran out while making room for the records of e.dat and n.dat.\n"),
      on("many nodes", nodes, edge_file("1 1 2 2\n"))
          .address_space_limit(42 << 20)
          .err(kError + "47\nmemory ran out while indexing the nodes of n.dat.\n"),
  };
  for (const Case& c : cases)
    check_copies(Case(c)
                     .file("o.dat", "an earlier output\n")
                     .status(1)
                     .out("")
                     .writes("o.dat", "an earlier output\n")
                     .leaves({"n.dat", "e.dat", "o.dat"}));
}

// A comment at the end of a file without a line end breaks an invariant of
// the comment-stripping stream. An apostrophe in the prose of a comment
// block opens a quoted stretch that the end of the file leaves open. The
// stop names the file and the line; an earlier output is not touched, and
// neither the output begun nor a copy is left.
TEST_F(Pelmic, UnclosedCommentOrQuoteAbortsNamingTheFileAndLine) {
  const std::string comment = "[Comment]\nThe basin's nodes and edges\nas surveyed\n";
  const std::string quote =
      " there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in comment blocks\n"
      "tzdfstream.cpp:54: Assertion `c == cmt' failed.\n";
  check_copies(on("a comment without a line end", kNodes, edge_file("1 1 2 2 # no newline"))
                   .status(cli::kAbort)
                   .err("File: e.dat, line 4: the comment there ends the file without a line end\n"
                        "tzdfstream.cpp:61: Assertion `c == '\\n'' failed.\n")
                   .writes("o.dat", cli::absent())
                   .leaves({"n.dat", "e.dat"}));
  const Case cases[] = {
      on("an apostrophe in the node file", comment + kNodes, edge_file("1 1 2 2\n"))
          .err("File: n.dat, line 2: the apostrophe (')" + quote),
      on("an apostrophe in the edge file", kNodes, "# edges\n" + comment + edge_file("1 1 2 2\n"))
          .err("File: e.dat, line 3: the apostrophe (')" + quote),
      on("a double quote alone", kNodes, edge_file("1 1 2 2\n") + "[Comment]\na \"quoted\" word, and a \" alone\n")
          .err("File: e.dat, line 6: the double quote (\")" + quote),
  };
  for (const Case& c : cases)
    check_copies(Case(c)
                     .file("o.dat", "an earlier output\n")
                     .status(cli::kAbort)
                     .out("")
                     .writes("o.dat", "an earlier output\n")
                     .leaves({"n.dat", "e.dat", "o.dat"}));
}

}  // namespace

#endif
