// pelmic end to end: the real program in a temporary directory, its files,
// console and exit status compared byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef TZ_PELMIC_EXE

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream os;
  os << in.rdbuf();
  return os.str();
}

struct Result {
  int status;  // exit status, or -1 for an abnormal end
  std::string out, err;
};

class Pelmic : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelmic_test.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void put(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }
  void fixture(const std::string& name) const { put(name, slurp(std::string(TZ_FIXTURES) + "/pelmic/" + name)); }
  std::string file(const std::string& name) const { return slurp(path(name)); }
  bool exists(const std::string& name) const {
    struct stat st;
    return stat(path(name).c_str(), &st) == 0;
  }

  // Runs pelmic in the directory with the given argument words (already
  // quoted for the shell) and standard input.
  Result run(const std::string& args, const std::string& input = "") const {
    put(".stdin", input);
    std::string cmd = "cd '" + dir_ + "' && exec '" + TZ_PELMIC_EXE + "' " + args +
                      " < .stdin > .stdout 2> .stderr";
    int rc = std::system(cmd.c_str());
    Result r;
    // The shell reports a program killed by a signal as 128 + the signal.
    r.status = WIFEXITED(rc) && WEXITSTATUS(rc) < 128 ? WEXITSTATUS(rc) : -1;
    r.out = file(".stdout");
    r.err = file(".stderr");
    return r;
  }

  std::string dir_;
};

const char kNormalEnd[] =
    "Gradients have been calculated.\n"
    "Edges have been sorted.\n"
    "pelmic has normally worked.\n";

std::string header(const std::string& edges, const std::string& nodes, int bb, int br, int rr) {
  std::ostringstream os;
  os << "[Comment]\nThis dataset was generated from " << edges << " and " << nodes
     << " by pelmic.\n[Data Format Name]\nedge format V.4\n[Number of BBEdges]\n"
     << bb << "\n[Number of BREdges]\n" << br << "\n[Number of RREdges]\n" << rr
     << "\n[Number of Total Edges]\n" << bb + br + rr << "\n[Data]\n";
  return os.str();
}

const char kNodes[] =
    "[Data Format Name]\nnode format V.0\n[Data]\n"
    "1 0 0 0 105\n2 0 100 0 100\n3 0 200 0 110\n";

std::string edge_file(const std::string& records) {
  return "[Data Format Name]\nedge format V.0\n[Data]\n" + records;
}

TEST_F(Pelmic, ConvertsTheFixtureBasin) {
  fixture("nodes.dat");
  fixture("edges.dat");
  Result r = run("edges.dat nodes.dat out.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Gradients have been calculated.\n"
            "Edges have been sorted.\n"
            "3 \nThese edges were repeatedly included in edges.dat.\n"
            "pelmic has normally worked.\n");
  EXPECT_EQ(file("out.dat"), slurp(std::string(TZ_FIXTURES) + "/pelmic/expected.dat"));
}

TEST_F(Pelmic, NamesFromThePromptsInOrder) {
  fixture("nodes.dat");
  fixture("edges.dat");
  Result r = run("", "edges.dat   nodes.dat\nout.dat extra words\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "# edge format V.0 file (input file) : "
            "# node format V.0 file (input file) : "
            "# edge format V.4 file (output file) : "
            "Gradients have been calculated.\n"
            "Edges have been sorted.\n"
            "3 \nThese edges were repeatedly included in edges.dat.\n"
            "pelmic has normally worked.\n");
  EXPECT_EQ(file("out.dat"), slurp(std::string(TZ_FIXTURES) + "/pelmic/expected.dat"));
}

TEST_F(Pelmic, ArgumentGivesItsFirstWord) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("1 1 2 2\n"));
  Result r = run("'e.dat tail' n.dat 'o.dat x'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 1, 0) + "1 1 0 0 105 2 100 0 100 2 \n");
}

TEST_F(Pelmic, GradientsClassesAndLineEnds) {
  put("n.dat", kNodes);
  // 1 falls 5 over 100; 2 is level; 3 rises; 4 falls exactly 0.01;
  // attribute 4 is counted with the others and written without length.
  put("e.dat", edge_file("1 1 2 1 100 10\n2 2 2 1 100 20\n3 2 3 3 100\n"
                         "4 1 2 1 500 30\n5 3 1 4 7\n6 1 3 2\n"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kNormalEnd);
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 3, 1, 2) +
                               "1 1 0 0 105 2 100 0 100 1 100 0.05 10\n"
                               "2 2 100 0 100 2 100 0 100 1 100 0.01 20\n"
                               "3 2 100 0 100 3 200 0 110 3 100 0.01\n"
                               "4 1 0 0 105 2 100 0 100 1 500 0.01 30\n"
                               "5 3 200 0 110 1 0 0 105 4 \n"
                               "6 1 0 0 105 3 200 0 110 2 \n");
}

TEST_F(Pelmic, RepeatsMergeIntoOneRecordWithTheAreasAdded) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("5 1 2 1 100 1\n3 1 2 1 100 2\n9 1 2 1 100 4\n3 1 2 1 100 8\n"
                         "5 1 2 1 100 16\n5 1 2 1 100 32\n"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Gradients have been calculated.\nEdges have been sorted.\n"
            "3 5 5 \nThese edges were repeatedly included in e.dat.\n"
            "pelmic has normally worked.\n");
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 3, 0, 0) +
                               "3 1 0 0 105 2 100 0 100 1 100 0.05 10\n"
                               "5 1 0 0 105 2 100 0 100 1 100 0.05 49\n"
                               "9 1 0 0 105 2 100 0 100 1 100 0.05 4\n");
}

TEST_F(Pelmic, EmptyDataSectionGivesZeroCounts) {
  put("n.dat", kNodes);
  put("e.dat", edge_file(""));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kNormalEnd);
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 0, 0));
}

TEST_F(Pelmic, DataSectionEndsAtAnEmptyLineAndBlankLinesAreSkipped) {
  put("n.dat", kNodes);
  // The indented comment leaves a line of blanks, which is no record; the
  // empty line ends the records.
  put("e.dat", edge_file("1 1 2 2\n   # indented\n\t\n2 2 3 2\n\n3 1 3 2\n"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 2, 0) +
                               "1 1 0 0 105 2 100 0 100 2 \n"
                               "2 2 100 0 100 3 200 0 110 2 \n");
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
    want << k << " " << k + 1 << " " << k + 1 << " 0 " << 2 * (k + 1) << " " << k << " " << k << " 0 " << 2 * k
         << " 3 " << 10 * k << " " << (2.0 / (10 * k) < 0.01 ? 0.01 : 2.0 / (10 * k)) << "\n";
  }
  put("n.dat", nodes.str());
  put("e.dat", edges.str());
  Result r = run("e.dat n.dat o.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string wanted = want.str(), lines;
  // The records come out in ascending order.
  std::vector<std::string> rows;
  std::istringstream is(wanted);
  for (std::string row; std::getline(is, row);) rows.push_back(row);
  std::reverse(rows.begin(), rows.end());
  for (const std::string& row : rows) lines += row + "\n";
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 0, n) + lines);
  EXPECT_EQ(r.out, kNormalEnd);

  // The long line is a record of the node file like any other.
  put("e.dat", edge_file("1 40002 1 2\n"));
  r = run("e.dat n.dat o.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 1, 0) + "1 40002 7 8 9 1 1 0 2 2 \n");
}

TEST_F(Pelmic, HeaderLinesAreMatchedByTheirBeginning) {
  put("n.dat",
      "[Comment]\n\nempty lines and [Data] words in the comment\n"
      "[Data Format Name] of the nodes\nnode format V.0 (old)\nsomething\n[Data] follows\n"
      "1 0 1.5 2.5 3.5\n2 1 4 5 6 77\n");
  put("e.dat", "[Data Format Name]\nedge format V.0\n[Data]\n1 1 2 3 10\n");
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 0, 1) + "1 1 1.5 2.5 3.5 2 4 5 6 3 10 0.01\n");
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
    put("n.dat", nodes.str());
    put("e.dat", edges.str());
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
    Result res = run("e.dat n.dat o.dat");
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", counts[0], counts[1], 0) + want.str()) << n;
    if (round == 4 || round == 5)
      EXPECT_EQ(res.out, kNormalEnd);
    else
      EXPECT_NE(res.out.find(console.str() + "\nThese edges were repeatedly included in e.dat.\n"), std::string::npos);
  }
}

TEST_F(Pelmic, WrongFormatsAreFatalAndLeaveTheOutputEmpty) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("1 1 2 2\n"));
  put("o.dat", "old contents\n");
  put("bad.dat", "[Data Format Name]\nedge format V.0\n[Data]\n");
  struct Case {
    const char* args;
    const char* err;
  } cases[] = {
      {"e.dat bad.dat o.dat",
       "Error occured in file: pelmic.cpp, at line: 392\nnode data must be node format V.0.\nedge format V.0\n"},
      {"e.dat missing.dat o.dat",
       "Error occured in file: pelmic.cpp, at line: 392\nnode data must be node format V.0.\n\n"},
      {"n.dat n.dat o.dat", "Error occured in file: pelmic.cpp, at line: 404\nedge data must be edge format V.0.\n"},
      {"missing.dat n.dat o.dat",
       "Error occured in file: pelmic.cpp, at line: 404\nedge data must be edge format V.0.\n"},
  };
  for (auto& c : cases) {
    put("o.dat", "old contents\n");
    Result r = run(c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(file("o.dat"), "") << c.args;
  }
}

TEST_F(Pelmic, MissingDataSectionsAreReportedAndTheRunGoesOn) {
  put("n.dat", "[Data Format Name]\nnode format V.0\n1 0 0 0 0\n");
  put("e.dat", "[Data Format Name]\nedge format V.0\n1 1 2 2\n");
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Error occured in file: pelmic.cpp, at line: 414\n"
            "Error occured in file: pelmic.cpp, at line: 419\n");
  EXPECT_EQ(r.out, kNormalEnd);
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 0, 0));
}

TEST_F(Pelmic, FaultyRecordsStopWithAReportNamingFileAndEdge) {
  put("n.dat", kNodes);
  struct Case {
    const char* records;
    const char* err;
  } cases[] = {
      {"1 1 2 1 100 5\n2 1 x 2\n",
       "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 2 in e.dat cannot be read: 2 1 x 2\n"},
      {"abc\n", "Error occured in file: pelmic.cpp, at line: 425\nan edge record in e.dat cannot be read: abc\n"},
      {"1 1 2 1 100\n",
       "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 1 in e.dat cannot be read: 1 1 2 1 100\n"},
      {"1 1 2 3\n", "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 1 in e.dat cannot be read: 1 1 2 3\n"},
      {"1 1 2 2\n7 1 42 2\n",
       "Error occured in file: pelmic.cpp, at line: 452\nnode 42 of edge 7 in e.dat is not in the node file n.dat.\n"},
      {"1 1 2 1 0 5\n", "Error occured in file: pelmic.cpp, at line: 458\nedge 1 in e.dat has the length 0.\n"},
      {"4 1 2 3 0.0\n", "Error occured in file: pelmic.cpp, at line: 458\nedge 4 in e.dat has the length 0.\n"},
      {"3 1 2 1 100 5\n3 1 2 2\n",
       "Error occured in file: pelmic.cpp, at line: 478\nedge 3 is repeated in e.dat with different attributes "
       "(2 and 1): ce->Atribute() == pe->Atribute()\n"},  // the sort exchanges the two
      // Integers beyond the range of the system's long.
      {"5 2147483648 2 2\n",
       "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 5 in e.dat cannot be read: 5 2147483648 2 2\n"},
      {"2147483648 1 2 2\n",
       "Error occured in file: pelmic.cpp, at line: 425\nan edge record in e.dat cannot be read: 2147483648 1 2 2\n"},
      {"6 1 -2147483649 2\n",
       "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 6 in e.dat cannot be read: 6 1 -2147483649 2\n"},
      // Reals the stream's extraction does not take.
      {"7 1 2 1 nan 5\n", "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 7 in e.dat cannot be read: 7 1 2 1 nan 5\n"},
      {"8 1 2 1 100 -inf\n", "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 8 in e.dat cannot be read: 8 1 2 1 100 -inf\n"},
      {"9 1 2 3 infinity\n", "Error occured in file: pelmic.cpp, at line: 425\nthe record of edge 9 in e.dat cannot be read: 9 1 2 3 infinity\n"},
  };
  for (auto& c : cases) {
    put("e.dat", edge_file(c.records));
    put("o.dat", "old\n");
    Result r = run("e.dat n.dat o.dat");
    EXPECT_EQ(r.status, 1) << c.records;
    EXPECT_EQ(r.err, c.err) << c.records;
    EXPECT_EQ(file("o.dat"), "") << c.records;
  }
}

// Numbers in every form the stream's extraction takes: a plus sign, leading
// zeros beyond ten digits, the ends of the range, exponents, a point without
// digits on one side, a negative zero, and the other white space.
TEST_F(Pelmic, NumbersInTheirManyForms) {
  put("n.dat",
      "[Data Format Name]\nnode format V.0\n[Data]\n"
      "1 0 +5 00000000000000000007 1e1\n"
      "2 0 .5 1. -0\n"
      "-2147483648\t0\v1\f2\r3\n"
      "00000000000003 0 1.5e0 2.50 3.000\n"
      "2147483647 1 0.000123456789 123456789012345678 -4.5E-3 2500.\n");
  put("e.dat", edge_file("1 -2147483648 00000000000003 3 100.0\n"
                         "+2 1 2 1 1e2 +7\n"
                         "3 2147483647 1 3 0.5\n"));
  Result r = run("e.dat n.dat o.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 1, 0, 2) +
                               "1 -2147483648 1 2 3 3 1.5 2.5 3 3 100 0.01\n"
                               "2 1 5 7 10 2 0.5 1 -0 1 100 0.1 7\n"
                               "3 2147483647 0.000123457 1.23457e+17 -0.0045 1 5 7 10 3 0.5 0.01\n");
}

TEST_F(Pelmic, UnreadableNodeRecordStops) {
  put("n.dat", "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 1 0 0 1\n");
  put("e.dat", edge_file("1 1 2 2\n"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error occured in file: pelmic.cpp, at line: 436\na node record in n.dat cannot be read: 2 1 0 0 1\n");

  // A coordinate of "nan" is no number either.
  put("n.dat", "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 0 nan 0 1\n");
  r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error occured in file: pelmic.cpp, at line: 436\na node record in n.dat cannot be read: 2 0 nan 0 1\n");
}

TEST_F(Pelmic, RepeatedNodeNumberTakesTheLaterRecord) {
  put("n.dat", "[Data Format Name]\nnode format V.0\n[Data]\n1 0 0 0 1\n2 0 5 5 0\n1 0 9 9 2\n");
  put("e.dat", edge_file("1 1 2 3 10\n"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("o.dat"), header("e.dat", "n.dat", 0, 0, 1) + "1 1 9 9 2 2 5 5 0 3 10 0.2\n");
}

TEST_F(Pelmic, UsageVersionAndArgumentCounts) {
  const std::string usage =
      "\npelmic produces edge format V.4.\n"
      "usage: pelmic [options] [edgeV0FileName] [nodeV0FileName] [edgeV4FileName]\n"
      "  options: \n"
      "    -h  show this help message\n"
      "    -v  show version number\n"
      "  edgeV0FileName:  edge format V.0 (input file)\n"
      "  nodeV0FileName:  node format V.0 (input file)\n"
      "  edgeV4FileName:  edge format V.4 (output file)\n"
      "  If \"edgeV0FileName\", \"nodeV0FileName\" and \"edgeV4FileName\"are given in the command line, \n"
      "  the input data are read in from the file.\n"
      "  Otherwise, the input data are read in from STDIN\n"
      "  with giving prompting messages.\n\n";
  const std::string versionFirst = "\nThis is pelmic, version 2.0\n";
  Result h = run("-h");
  EXPECT_EQ(h.status, 1);
  EXPECT_EQ(h.err, usage);
  EXPECT_EQ(h.out, "");
  Result v = run("-v");
  EXPECT_EQ(v.status, 1);
  ASSERT_GT(v.err.size(), usage.size());
  EXPECT_EQ(v.err.substr(0, versionFirst.size()), versionFirst);
  EXPECT_EQ(v.err.substr(v.err.size() - usage.size()), usage);
  std::string versionText = v.err.substr(0, v.err.size() - usage.size());
  EXPECT_EQ(std::count(versionText.begin(), versionText.end(), '\n'), 4);  // one line naming people, an end of line
  for (const char* args : {"a", "a b", "a b c d"}) {
    Result r = run(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err, usage) << args;
  }
  Result x = run("-x");
  EXPECT_EQ(x.status, 1);
  EXPECT_NE(x.err.find(usage), std::string::npos);  // after getopt's own message
}

TEST_F(Pelmic, RefusedNames) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("1 1 2 2\n"));
  std::string longName(256, 'n');
  struct Case {
    std::string args, input, err;
  } cases[] = {
      {"-v e.dat n.dat", "", "Error occured in file: pelmic.cpp, at line: 41\n"
                             "options and file names cannot be given on one command line.\n"},
      {"e.dat n.dat -v", "", "Error occured in file: pelmic.cpp, at line: 41\n"
                             "options and file names cannot be given on one command line.\n"},
      {"-- e.dat n.dat", "", "Error occured in file: pelmic.cpp, at line: 41\n"
                             "options and file names cannot be given on one command line.\n"},
      {"e.dat n.dat ''", "", "Error occured in file: pelmic.cpp, at line: 42\nno file name was given.\n"},
      {"", "e.dat\nn.dat\n", "Error occured in file: pelmic.cpp, at line: 42\nno file name was given.\n"},
      {"e.dat n.dat " + longName, "",
       "Error occured in file: pelmic.cpp, at line: 43\nthe file name is longer than 255 characters: " + longName +
           "\n"},
      {"e.dat n.dat \"o'k.dat\"", "",
       "Error occured in file: pelmic.cpp, at line: 44\na file name must not hold a quote character: o'k.dat\n"},
      {"", "e.dat \"n\".dat", "Error occured in file: pelmic.cpp, at line: 44\n"
                              "a file name must not hold a quote character: \"n\".dat\n"},
  };
  for (auto& c : cases) {
    Result r = run(c.args, c.input);
    EXPECT_EQ(r.status, 1) << c.args;
    if (c.args.find("-v") != std::string::npos) {  // the version text comes first
      ASSERT_GE(r.err.size(), c.err.size());
      EXPECT_EQ(r.err.substr(r.err.size() - c.err.size()), c.err);
    } else {
      EXPECT_EQ(r.err, c.err) << c.args;
    }
  }
  EXPECT_FALSE(exists("o'k.dat"));
}

TEST_F(Pelmic, OutputThatCannotBeCreatedIsReported) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("1 1 2 2\n"));
  Result r = run("e.dat n.dat nodir/o.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error occured in file: pelmic.cpp, at line: 45\nthe output file nodir/o.dat cannot be written.\n");
  Result same = run("e.dat n.dat ./e.dat");
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.err, "Error occured in file: pelmic.cpp, at line: 386\nthe output file ./e.dat is one of the input files.\n");
  EXPECT_EQ(file("e.dat"), edge_file("1 1 2 2\n"));  // the input is kept
  // A file that opens but takes no bytes: the lost writes are reported.
  if (access("/dev/full", W_OK) == 0) {
    Result full = run("e.dat n.dat /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "Error occured in file: pelmic.cpp, at line: 45\nthe output file /dev/full cannot be written.\n");
    EXPECT_EQ(full.out, "Gradients have been calculated.\nEdges have been sorted.\n");
  }
}

TEST_F(Pelmic, CommentAtTheEndWithoutANewlineIsABrokenInvariant) {
  put("n.dat", kNodes);
  put("e.dat", edge_file("1 1 2 2 # no newline"));
  Result r = run("e.dat n.dat o.dat");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.err,
            "File: e.dat, line 4: the comment there ends the file without a line end\n"
            "tzdfstream.cpp:61: Assertion `c == '\\n'' failed.\n");
  EXPECT_FALSE(exists("o.dat"));
}

// An apostrophe in the prose of a comment block opens a quoted stretch
// that the end of the file leaves open: the stop names the file and the
// line of the apostrophe, and an earlier output is not touched.
TEST_F(Pelmic, ApostropheInACommentBlockNamesTheFileAndLine) {
  const std::string comment = "[Comment]\nThe basin's nodes and edges\nas surveyed\n";
  struct Case {
    std::string nodes, edges, err;
  } cases[] = {
      {comment + kNodes, edge_file("1 1 2 2\n"),
       "File: n.dat, line 2: the apostrophe (') there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in comment blocks\n"
       "tzdfstream.cpp:54: Assertion `c == cmt' failed.\n"},
      {kNodes, "# edges\n" + comment + edge_file("1 1 2 2\n"),
       "File: e.dat, line 3: the apostrophe (') there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in comment blocks\n"
       "tzdfstream.cpp:54: Assertion `c == cmt' failed.\n"},
      {kNodes, edge_file("1 1 2 2\n") + "[Comment]\na \"quoted\" word, and a \" alone\n",
       "File: e.dat, line 6: the double quote (\") there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in comment blocks\n"
       "tzdfstream.cpp:54: Assertion `c == cmt' failed.\n"},
  };
  for (const Case& c : cases) {
    put("n.dat", c.nodes);
    put("e.dat", c.edges);
    put("o.dat", "an earlier output\n");
    Result r = run("e.dat n.dat o.dat");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(file("o.dat"), "an earlier output\n");
  }
}

}  // namespace

#endif
