// End-to-end tests of sarnolt: the real program runs in a temporary
// directory with its answers piped to the standard input, a case a row of
// the command-line harness; the console, the status and both output files
// are checked byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "basin_testing.h"
#include "cli/chain.h"
#include "cli/cli.h"
#include "cli/series.h"
#include "tool_runs.h"
#include "tool_texts.h"

#ifdef TZ_SARNOLT_EXE

namespace {

using cli::Case;

const std::string kPromptIn = "# input file (edge connection V.1, V.2, V.3, V.4 or V.5) : ";
const std::string kPromptOut = "# output file (Morvelan Parameter Format) : ";
const std::string kPromptOut2 = "# output file (Morvelan Initial State Format) : ";
const std::string kInputValues = "\n# input values.\n# [] means recommended value. () means unit system.\n\n";
const std::string kPromptUpdis = "# discharge at upper end (m3/s) : ";
const std::string kPromptLowdis = "# discharge at lower end (m3/s) : ";
const std::string kPromptIrunoff = "# initial runoff height (mm/hour) : ";

// The twelve values every edge gets: prompt, value typed, value echoed.
struct Value {
  std::string prompt, typed, echoed;
};
const std::vector<Value> kValues = {
    {"# manning coefficient (m-s) : ", "0.3", "0.3"},
    {"# kinematic parameter m [1.667](-) : ", "1.667", "1.667"},
    {"# hydraulic conductivity (m/s) : ", "0.01", "0.01"},
    {"# depth of soil layer (m) : ", "1.0", "1"},
    {"# depth of A-layer (m) : ", "0.5", "0.5"},
    {"# depth of matrix soil layer (m) : ", "0.2", "0.2"},
    {"# beta (-)( 2.0 < beta <10.0) : ", "4", "4"},
    {"# theta [0.65](-) : ", "0.65", "0.65"},
    {"# minimum value of C = dQ/dA [0.000001](m/s) : ", "0.000001", "1e-06"},
    {"# Qlevel [10](mm/hour) : ", "10", "10"},
    {"# eps [0.0001](-) : ", "0.0001", "0.0001"},
    {"# number of spatial division (-) : ", "5", "5"},
};
const std::string kParams = " 0.3 1.667 0.01 1 0.5 0.2 4 0.65 1e-06 10 0.0001 5\n";

std::string ok(const std::string& v) { return v + "; ok? [y/n] : "; }

std::string paramHeader(const std::string& in) {
  return "[Comment]\n"
         "This data was generated from " +
         in +
         " by sarnolt.\n"
         "Each column in [Data] section is as follows:\n"
         "<edge number>\n"
         "<manning coefficient (m-s)>\n"
         "<kinematic parameter m (-)>\n"
         "<hydraulic conductivity (m/s)>\n"
         "<depth of soil layer (m)>\n"
         "<depth of A-layer (m)>\n"
         "<depth of soil matrix layer (m)>\n"
         "<beta (-)>\n"
         "<theta>\n"
         "<minimun C = dQ/dA(m/s)>\n"
         "<Qlevel(mm/hour)>\n"
         "<eps(-)>\n"
         "<number of spatial division(-)>\n"
         "[Data Format Name]\n"
         "Morvelan Parameter Format\n";
}

std::string stateHeader(const std::string& in) {
  return "[Comment]\n"
         "This data was generated from " +
         in +
         " by sarnolt.\n"
         "Each column in [Data] section is as follows:\n"
         "<edge number>\n"
         "<discharge at upper end(m3/s)>\n"
         "<discharge at lower end(m3/s)>\n"
         "[Data Format Name]\n"
         "Morvelan Initial State Format\n";
}

std::string counted(const std::string& count) { return "[Number of Total Edges]\n" + count + "\n[Data]\n"; }

// The parameter file expected for the given edge numbers.
std::string paramFile(const std::string& in, const std::string& count, const std::vector<std::string>& nums) {
  std::string s = paramHeader(in) + counted(count);
  for (const auto& n : nums) s += n + kParams;
  return s;
}

class Sarnolt : public ::testing::Test {
 protected:
  cli::Result check(const Case& c) const { return cli::check(cli::sarnolt, dir_, c); }
  cli::Folder dir_;
  toolruns::Copies copies_;  // for the runs that must leave no copy
};

// A connection file of the fixtures.
std::string fixture(const std::string& name) { return cli::read_file(std::string(TZ_FIXTURES) + "/sarnolt/" + name); }

// Answers accepting every value at once: the three names, the twelve
// values, then the discharges or the runoff height.
std::string answers(const std::string& in, const std::vector<std::string>& last) {
  std::string s = in + "\ny\np.dat\ny\ns.dat\ny\n";
  for (const auto& v : kValues) s += v.typed + " y\n";
  for (const auto& v : last) s += v + " y\n";
  return s;
}

// The console of such a run.
std::string dialogue(const std::string& in, bool typedDischarges, const std::vector<std::string>& last) {
  std::string s = kPromptIn + ok(in) + kPromptOut + ok("p.dat") + kPromptOut2 + ok("s.dat") + kInputValues;
  for (const auto& v : kValues) s += v.prompt + ok(v.echoed);
  if (typedDischarges)
    s += kPromptUpdis + ok(last[0]) + "\n" + kPromptLowdis + ok(last[1]);
  else
    s += "\n" + kPromptIrunoff + ok(last[0]);
  return s;
}

// A sound run on `in`, answered at once: status 0, no error, the whole
// dialogue, the same parameters for every edge numbered in `nums` under
// the count, and the initial states given.
Case sound(const Case& c, const std::string& in, bool typed, const std::vector<std::string>& last,
           const std::string& count, const std::vector<std::string>& nums, const std::string& states) {
  return Case(c)
      .input(answers(in, last))
      .status(0)
      .err("")
      .out(dialogue(in, typed, last))
      .writes("p.dat", paramFile(in, count, nums))
      .writes("s.dat", stateHeader(in) + counted(count) + states);
}

// Every version: the whole dialogue, the same parameters for every edge,
// typed discharges (versions 1, 2, 4) or discharges from the runoff height
// and the areas (versions 3, 5; a river edge and an attribute-3 edge add no
// area, so both of their discharges are equal).
TEST_F(Sarnolt, WritesBothFilesForEveryVersion) {
  struct Row {
    std::string file;
    bool typedDischarges;
    std::vector<std::string> last;  // typed = echoed here
    std::string states;
  };
  const std::vector<Row> cases = {
      {"conn_v1.dat", true, {"0.5", "1.25"}, "1 0.5 1.25\n2 0.5 1.25\n3 0.5 1.25\n4 0.5 1.25\n"},
      {"conn_v2.dat", true, {"0", "2e-05"}, "1 0 2e-05\n2 0 2e-05\n3 0 2e-05\n4 0 2e-05\n"},
      {"conn_v3.dat", false, {"36"}, "1 0.001 0.0015\n2 0 0.0005\n3 0.0025 0.0025\n4 0.0025 0.0025\n"},
      {"conn_v4.dat", true, {"0.5", "1.25"}, "1 0.5 1.25\n2 0.5 1.25\n3 0.5 1.25\n4 0.5 1.25\n"},
      {"conn_v5.dat", false, {"10"}, "1 0.01 0.011\n2 0 0.01\n3 0.021 0.021\n4 0.021 0.021\n"},
  };
  for (const auto& c : cases)
    check(sound(Case(c.file).file(c.file, fixture(c.file)), c.file, c.typedDischarges, c.last, "4",
                {"1", "2", "3", "4"}, c.states));
}

// Answers not beginning with y or Y ask the same value again; a value that
// is not a number is refused (the rest of its line discarded) and asked
// again; the discharge at the lower end shows a line end before every
// showing of its prompt, as does the runoff height.
TEST_F(Sarnolt, AsksAgainUntilAnswerBeginsWithY) {
  std::string in = "missing.dat\nn\nconn_v4.dat\nyes\np.dat\nN\np.dat\nYes\ns.dat\ny\n";
  in += "0.4 no\nabc 0.9 y\n0.3 Y\n";
  for (size_t i = 1; i < kValues.size(); ++i) in += kValues[i].typed + " y\n";
  in += "0.5 x\n0.5 y\n1 nope\n1.25 yy\n";
  std::string want = kPromptIn + ok("missing.dat") + kPromptIn + ok("conn_v4.dat") + kPromptOut + ok("p.dat") +
                     kPromptOut + ok("p.dat") + kPromptOut2 + ok("s.dat") + kInputValues;
  want += kValues[0].prompt + ok("0.4") + kValues[0].prompt + kValues[0].prompt + ok("0.3");
  for (size_t i = 1; i < kValues.size(); ++i) want += kValues[i].prompt + ok(kValues[i].echoed);
  want += kPromptUpdis + ok("0.5") + kPromptUpdis + ok("0.5");
  want += "\n" + kPromptLowdis + ok("1") + "\n" + kPromptLowdis + ok("1.25");
  check(Case("the names and the values")
            .file("conn_v4.dat", fixture("conn_v4.dat"))
            .input(in)
            .status(0)
            .err("")
            .out(want)
            .writes("s.dat",
                    stateHeader("conn_v4.dat") + counted("4") + "1 0.5 1.25\n2 0.5 1.25\n3 0.5 1.25\n4 0.5 1.25\n"));

  // The runoff height is asked again the same way.
  check(Case("the runoff height")
            .file("conn_v5.dat", fixture("conn_v5.dat"))
            .input(answers("conn_v5.dat", {}) + "5 n\n10 y\n")
            .status(0)
            .out(dialogue("conn_v5.dat", false, {"5"}) + "\n" + kPromptIrunoff + ok("10"))
            .writes("s.dat", stateHeader("conn_v5.dat") + counted("4") +
                                 "1 0.01 0.011\n2 0 0.01\n3 0.021 0.021\n4 0.021 0.021\n"));
}

// How the input is read: the version on its first 19 characters, comments
// removed, an empty line ending the records, lines of blanks and tabs
// skipped, a last line without a line end read, the header count copied
// as it stands, no "[Data]" giving files without records.
TEST_F(Sarnolt, ReadsTheInputLayout) {
  struct Row {
    std::string name, text;
    bool typed;  // typed discharges 1 and 2, else a runoff height of 3.6
    std::string count;
    std::vector<std::string> nums;
    std::string states;
  };
  const std::string head = "[Comment]\nsome words\n[Data Format Name]\n";
  const std::vector<Row> cases = {
      {"version 10 is version 1",
       head + "edge connection V.10\n[Number of Total Edges]\n2\n[Data]\n7 0 0 2 0.5\n8 1 7 0 1 10 0.1 100\n",
       true,
       "2",
       {"7", "8"},
       "7 1 2\n8 1 2\n"},
      {"an empty line ends the records",
       head + "edge connection V.4\n[Number of Total Edges]\n3\n[Data]\n"
              "1 1 0 0 1 2 0 0 0 0 0 2 \n\n2 2 0 0 1 3 0 0 0 0 0 2 \n3 3 0 0 1 4 0 0 0 0 0 2 \n",
       true,
       "3",
       {"1"},
       "1 1 2\n"},
      {"blank lines skipped, last line without a line end",
       head + "edge connection V.2\n[Number of Total Edges]\n2\n[Data]\n"
              "5 0 0 0 0 0 2\n \t \n6 0 0 0 0 0 1 10 0.1 100",
       true,
       "2",
       {"5", "6"},
       "5 1 2\n6 1 2\n"},
      {"empty and comment lines in the header, comments everywhere",
       "[Comment]\n\n# about the basin\n\n[Data Format Name]  # the name follows\n"
       "edge connection V.3   # version\n\n[Number of Total Edges]\n  2  # two\n\n[Data]\n"
       "# first record\n9 0 0 0 0 0 2 1 0  # river\n10 0 0 0 0 0 1 10 0.1 100 1 0\n",
       false,
       "2",
       {"9", "10"},
       "9 0 0\n10 0 0.0001\n"},
      {"no data section", head + "edge connection V.5\n[Number of Total Edges]\n12\n", false, "12", {}, ""},
      // A UTF-8 byte-order mark (EF BB BF, written by some editors) before
      // the comment block is part of its first line.
      {"a byte-order mark before the comment block",
       "\xEF\xBB\xBF" + head + "edge connection V.2\n[Number of Total Edges]\n1\n[Data]\n5 0 0 0 0 0 2\n",
       true,
       "1",
       {"5"},
       "5 1 2\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> last = c.typed ? std::vector<std::string>{"1", "2"} : std::vector<std::string>{"3.6"};
    check(sound(Case(c.name).file("in.dat", c.text), "in.dat", c.typed, last, c.count, c.nums, c.states));
  }
}

// Faults of the input: each gives one "E: " line and status 1, is found as
// soon as the input is named, and leaves no output file behind.
TEST_F(Sarnolt, RefusesFaultyInputs) {
  struct Row {
    std::string name, text, err;
  };
  const std::string head = "[Comment]\n[Data Format Name]\n";
  const std::string v4 = head + "edge connection V.4\n[Number of Total Edges]\n1\n[Data]\n";
  const std::vector<Row> cases = {
      {"unknown version", head + "edge connection V.6\n[Number of Total Edges]\n1\n[Data]\n",
       "E: invalid data format.\n"},
      {"no name line", "[Comment]\n[Data Format]\nedge connection V.4\n", "E: invalid data format.\n"},
      {"name line missing at the end", head, "E: invalid data format.\n"},
      {"other format", head + "edge format V.4\n", "E: invalid data format.\n"},
      // A UTF-8 byte-order mark (EF BB BF, written by some editors) is three
      // characters of the first line: the key is not found.
      {"byte-order mark before the format key",
       "\xEF\xBB\xBF[Data Format Name]\nedge connection V.4\n[Number of Total Edges]\n1\n[Data]\n",
       "E: invalid data format.\n"},
      {"no count key", head + "edge connection V.4\n[Data]\n1 0 0 2\n", "E: invalid data format.\n"},
      {"no count line", head + "edge connection V.4\n[Number of Total Edges]\n", "E: invalid data format.\n"},
      {"count not a number", head + "edge connection V.4\n[Number of Total Edges]\nfour\n[Data]\n",
       "E: invalid data format.\n"},
      {"item not a number", v4 + "1 1 0 0 1 2 0 0 x 0 0 2\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 x 0 0 2\"\n"},
      {"attribute missing", v4 + "1 1 0 0 1 2 0 0 0 0 0\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 0 0 0\"\n"},
      {"record too short", v4 + "1 1 0 0 1 2 0 0 0 0 0 2 \n2 2 0 0 1 3 0 0 0 0 0 1 100 0.1\n",
       "E: cannot read record 2 of in.dat: \"2 2 0 0 1 3 0 0 0 0 0 1 100 0.1\"\n"},
      {"negative neighbour count", v4 + "1 1 0 0 1 2 0 0 0 -1 0 2\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 0 -1 0 2\"\n"},
      {"fractional neighbour count", v4 + "1 1 0 0 1 2 0 0 0 1.5 3 0 2\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 0 1.5 3 0 2\"\n"},
      {"neighbour count beyond the line", v4 + "1 1 0 0 1 2 0 0 0 1000000000 3 0 2\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 0 1000000000 3 0 2\"\n"},
      {"edge number too large", v4 + "99999999999 1 0 0 1 2 0 0 0 0 0 2\n",
       "E: cannot read record 1 of in.dat: \"99999999999 1 0 0 1 2 0 0 0 0 0 2\"\n"},
      {"version 5 without upper area",
       head + "edge connection V.5\n[Number of Total Edges]\n1\n"
              "[Data]\n1 1 0 0 1 2 0 0 0 0 0 1 10 0.1 100 1\n",
       "E: cannot read record 1 of in.dat: \"1 1 0 0 1 2 0 0 0 0 0 1 10 0.1 100 1\"\n"},
  };
  for (const auto& c : cases)
    check(Case(c.name)
              .file("in.dat", c.text)
              .input(answers("in.dat", {"1", "2"}))
              .status(1)
              .err(c.err)
              .out(kPromptIn + ok("in.dat"))
              .writes("p.dat", cli::absent())
              .writes("s.dat", cli::absent()));

  check(Case("no such file")
            .input(answers("none.dat", {"1", "2"}))
            .status(1)
            .err("E: no such file.\n")
            .out(kPromptIn + ok("none.dat")));
}

// A name the readers downstream would misread (a quote starts a quoted
// stretch there) or too long for their name buffers is refused at once.
TEST_F(Sarnolt, RefusesUnusableFileNames) {
  const std::string longName(256, 'a');
  const Case cases[] = {
      Case().input("it's.dat\ny\n").out(kPromptIn).err("E: a file name must not hold a quote character: it's.dat\n"),
      Case()
          .input("conn_v4.dat\ny\np\"1.dat\ny\n")
          .out(kPromptIn + ok("conn_v4.dat") + kPromptOut)
          .err("E: a file name must not hold a quote character: p\"1.dat\n"),
      Case("a name of 256 characters")
          .input("conn_v4.dat\ny\np.dat\ny\n" + longName + "\ny\n")
          .out(kPromptIn + ok("conn_v4.dat") + kPromptOut + ok("p.dat") + kPromptOut2)
          .err("E: the file name is longer than 255 characters: " + longName + "\n"),
  };
  for (const Case& c : cases) check(Case(c).file("conn_v4.dat", fixture("conn_v4.dat")).status(1));
  // 255 characters fit.
  const std::string name255(251, 'b');
  std::string in = "conn_v4.dat\ny\n" + name255 + ".dat\ny\ns.dat\ny\n";
  for (const auto& v : kValues) in += v.typed + " y\n";
  in += "1 y\n2 y\n";
  check(Case("a name of 255 characters").input(in).status(0).err("").writes(name255 + ".dat", cli::present()));
}

// The end of the standard input anywhere in the dialogue: one "E: " line,
// status 1, no output file.
TEST_F(Sarnolt, EndOfInputDuringTheDialogue) {
  const std::string full = answers("conn_v4.dat", {"0.5", "1.25"});
  const std::vector<std::string> cuts = {
      "",
      "conn_v4.dat",
      "conn_v4.dat\ny\np.dat\ny\n",
      "conn_v4.dat\ny\np.dat\ny\ns.dat\ny\n0.3 y\n0.4",
      "conn_v4.dat\ny\np.dat\ny\ns.dat\ny\n0.3 y\nabc",
      full.substr(0, full.size() - 3),  // the last value without its answer
  };
  for (const auto& cut : cuts)
    check(Case(cut)
              .file("conn_v4.dat", fixture("conn_v4.dat"))
              .input(cut)
              .status(1)
              .err("E: the standard input ended before all values were given.\n")
              .writes("p.dat", cli::absent())
              .writes("s.dat", cli::absent()));
}

// Answers accepting every value at once, with the output names given.
std::string answersNamed(const std::string& in, const std::string& out, const std::string& out2) {
  std::string s = in + "\ny\n" + out + "\ny\n" + out2 + "\ny\n";
  for (const auto& v : kValues) s += v.typed + " y\n";
  return s + "0.5 y\n1.25 y\n";
}

// The console of such a run to its end (typed discharges 0.5 and 1.25).
std::string dialogueNamed(const std::string& in, const std::string& out, const std::string& out2) {
  std::string s = kPromptIn + ok(in) + kPromptOut + ok(out) + kPromptOut2 + ok(out2) + kInputValues;
  for (const auto& v : kValues) s += v.prompt + ok(v.echoed);
  return s + kPromptUpdis + ok("0.5") + "\n" + kPromptLowdis + ok("1.25");
}

const std::string kStatesV4 = "1 0.5 1.25\n2 0.5 1.25\n3 0.5 1.25\n4 0.5 1.25\n";

// A sound run on the records of conn_v4.dat named in, with the answers of
// answersNamed, writing p.dat and s.dat.
Case v4Run(const Case& c, const std::string& in) {
  return Case(c)
      .input(answersNamed(in, "p.dat", "s.dat"))
      .status(0)
      .err("")
      .out(dialogueNamed(in, "p.dat", "s.dat"))
      .writes("p.dat", paramFile(in, "4", {"1", "2", "3", "4"}))
      .writes("s.dat", stateHeader(in) + counted("4") + kStatesV4);
}

// A name of more than one word (a name with a blank or a tab, or a name
// with its confirmation on one line) cannot be honoured: it is refused and
// the name asked again, and no word of it answers the next question.
TEST_F(Sarnolt, ANameLineOfMoreWordsIsAskedAgain) {
  const std::string refused = "a file name must not hold blanks or tabs: ";
  std::string in = "conn_v4.dat y\nmy basin.con\n  conn_v4.dat \ny\np\t.dat\np.dat\ny\ns.dat\ny\n";
  for (const auto& v : kValues) in += v.typed + " y\n";
  in += "0.5 y\n1.25 y\n";
  std::string console = kPromptIn + refused + "\"conn_v4.dat y\"\n" + kPromptIn + refused + "\"my basin.con\"\n" +
                        kPromptIn + ok("conn_v4.dat") + kPromptOut + refused + "\"p\t.dat\"\n" + kPromptOut +
                        ok("p.dat") + kPromptOut2 + ok("s.dat") + kInputValues;
  for (const auto& v : kValues) console += v.prompt + ok(v.echoed);
  console += kPromptUpdis + ok("0.5") + "\n" + kPromptLowdis + ok("1.25");
  check(Case()
            .file("conn_v4.dat", fixture("conn_v4.dat"))
            .file("my", "an unrelated file\n")
            .input(in)
            .status(0)
            .err("")
            .out(console)
            .writes("p.dat", paramFile("conn_v4.dat", "4", {"1", "2", "3", "4"}))
            .writes("s.dat", stateHeader("conn_v4.dat") + counted("4") + kStatesV4)
            .writes("my", "an unrelated file\n")
            .leaves({"conn_v4.dat", "my", "p.dat", "s.dat"}));
}

// An output that cannot be created (its folder does not exist) or written
// (a full device): reported, status 1.
TEST_F(Sarnolt, OutputFileThatCannotBeWritten) {
  auto named = [](const std::string& out, const std::string& out2) {
    std::string in = "conn_v4.dat\ny\n" + out + "\ny\n" + out2 + "\ny\n";
    for (const auto& v : kValues) in += v.typed + " y\n";
    return in + "1 y\n2 y\n";
  };
  std::vector<Case> cases = {
      Case().input(named("nodir/p.dat", "s.dat")).err("E: the output file nodir/p.dat cannot be written.\n"),
      Case().input(named("p.dat", "nodir/s.dat")).err("E: the output file nodir/s.dat cannot be written.\n"),
  };
  if (cli::exists("/dev/full"))
    cases.push_back(Case().input(named("p.dat", "/dev/full")).err("E: the output file /dev/full cannot be written.\n"));
  for (const Case& c : cases) check(Case(c).file("conn_v4.dat", fixture("conn_v4.dat")).status(1));
}

// An output named like the input (by any name that leads to it) would
// replace it; two outputs named alike would give one file. Both are
// refused as soon as the second name is given, before anything is written.
TEST_F(Sarnolt, RefusesOutputsNamedLikeTheInputOrEachOther) {
  const std::string input = fixture("conn_v4.dat");
  dir_.write("conn_v4.dat", input);
  ASSERT_EQ(symlink("conn_v4.dat", dir_.file("alias.dat").c_str()), 0);
  dir_.write("old.dat", "an earlier output\n");
  ASSERT_EQ(link(dir_.file("old.dat").c_str(), dir_.file("hard.dat").c_str()), 0);
  const std::set<std::string> before = dir_.entries();
  struct Row {
    std::string out, out2, err;
  } cases[] = {
      {"conn_v4.dat", "s.dat", "E: the output file conn_v4.dat is the input file.\n"},
      {"./conn_v4.dat", "s.dat", "E: the output file ./conn_v4.dat is the input file.\n"},
      {"alias.dat", "s.dat", "E: the output file alias.dat is the input file.\n"},
      {"p.dat", "conn_v4.dat", "E: the output file conn_v4.dat is the input file.\n"},
      {"p.dat", "p.dat", "E: the output files p.dat and p.dat are one file.\n"},
      {"p.dat", "./p.dat", "E: the output files p.dat and ./p.dat are one file.\n"},
      {"old.dat", "hard.dat", "E: the output files old.dat and hard.dat are one file.\n"},
  };
  for (const Row& c : cases) {
    std::string console = kPromptIn + ok("conn_v4.dat") + kPromptOut + ok(c.out);
    if (c.out != "conn_v4.dat" && c.out != "./conn_v4.dat" && c.out != "alias.dat") console += kPromptOut2 + ok(c.out2);
    check(Case(c.out + " " + c.out2)
              .input(answersNamed("conn_v4.dat", c.out, c.out2))
              .status(1)
              .err(c.err)
              .out(console)
              .writes("conn_v4.dat", input)
              .writes("old.dat", "an earlier output\n"));
    EXPECT_EQ(dir_.entries(), before) << c.out << " " << c.out2;
  }
}

// Earlier outputs are replaced whole (nothing of a longer earlier file
// stays) and keep their permissions; nothing is left beside them.
TEST_F(Sarnolt, ReplacesEarlierOutputsWhole) {
  dir_.write("p.dat", std::string(5000, 'p'));
  ASSERT_EQ(chmod(dir_.file("p.dat").c_str(), 0640), 0);
  check(v4Run(Case().file("conn_v4.dat", fixture("conn_v4.dat")).file("s.dat", std::string(5000, 's')), "conn_v4.dat"));
  struct stat st;
  ASSERT_EQ(stat(dir_.file("p.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir_.entries(), (std::set<std::string>{"conn_v4.dat", "p.dat", "s.dat"}));
}

// An output that cannot be created (its folder does not exist) is found
// before either file is touched: the earlier output of the other name
// stays as it was, and no new or temporary file is left.
TEST_F(Sarnolt, AMissingOutputFolderLeavesTheEarlierOutputIntact) {
  dir_.write("conn_v4.dat", fixture("conn_v4.dat"));
  struct Row {
    std::string out, out2, earlier, missing;
  } cases[] = {
      {"p.dat", "nodir/s.dat", "p.dat", "nodir/s.dat"},
      {"nodir/p.dat", "s.dat", "s.dat", "nodir/p.dat"},
  };
  for (const Row& c : cases) {
    check(Case(c.earlier)
              .file(c.earlier, "an earlier output\n")
              .input(answersNamed("conn_v4.dat", c.out, c.out2))
              .status(1)
              .err("E: the output file " + c.missing + " cannot be written.\n")
              .out(dialogueNamed("conn_v4.dat", c.out, c.out2))
              .writes(c.earlier, "an earlier output\n"));
    EXPECT_EQ(dir_.entries(), (std::set<std::string>{"conn_v4.dat", c.earlier})) << c.earlier;
    std::remove(dir_.file(c.earlier).c_str());
  }
}

// A write that fails half way (a full device, a file size limit with
// SIGXFSZ at its default, as a shell leaves it) leaves no half-written
// file: the earlier outputs stay as they were.
TEST_F(Sarnolt, AFailedWriteLeavesTheEarlierOutputsIntact) {
  dir_.write("conn_v4.dat", fixture("conn_v4.dat"));
  dir_.write("p.dat", "an earlier parameter file\n");
  dir_.write("s.dat", "an earlier state file\n");
  if (access("/dev/full", W_OK) == 0) {
    check(Case("a full device")
              .input(answersNamed("conn_v4.dat", "p.dat", "/dev/full"))
              .status(1)
              .err("E: the output file /dev/full cannot be written.\n")
              .writes("p.dat", "an earlier parameter file\n"));
    EXPECT_EQ(dir_.entries(), (std::set<std::string>{"conn_v4.dat", "p.dat", "s.dat"}));
  }
  // 4000 short records of version 1 (about 40 kB) give a parameter file of
  // some 200 kB; the limit of 64 kB lets the input's copy through and stops
  // the parameter file.
  std::string text = "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n4000\n[Data]\n";
  for (int i = 1; i <= 4000; ++i) text += std::to_string(i) + " 0 0 2\n";
  check(Case("a file-size limit")
            .file("v1.dat", text)
            .file_size_limit(64 * 1024)
            .input(answersNamed("v1.dat", "p.dat", "s.dat"))
            .status(1)
            .err("E: the output file p.dat cannot be written.\n")
            .out(dialogueNamed("v1.dat", "p.dat", "s.dat"))
            .writes("p.dat", "an earlier parameter file\n")
            .writes("s.dat", "an earlier state file\n"));
  EXPECT_EQ(dir_.entries(), (std::set<std::string>{"conn_v4.dat", "v1.dat", "p.dat", "s.dat"}));
}

// A version 1 input of some 40 kB.
std::string v1Input() {
  std::string v1 = "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n4000\n[Data]\n";
  for (int i = 1; i <= 4000; ++i) v1 += std::to_string(i) + " 0 0 2\n";
  return v1;
}

// The comment-free copy of the input cannot be made: the folder TMPDIR
// names does not exist, or a file-size limit below the input's size. A line
// names the input, the folder and the cause before the report, and no copy
// is left.
TEST_F(Sarnolt, ACopyThatCannotBeMadeIsNamedWithItsFolder) {
  const std::string none = dir_.file("none");
  const Case cases[] = {
      Case("no folder for the copy")
          .env("TMPDIR", none)
          .err(toolruns::copy_fault("in.dat", "created", none, ENOENT) + "E: no such file.\n"),
      copies_.in(Case("a file-size limit")
                     .file_size_limit(16 * 1024)
                     .err(toolruns::copy_fault("in.dat", "written", copies_.path(), EFBIG) + "E: no such file.\n")),
  };
  for (const Case& c : cases) {
    check(Case(c)
              .file("in.dat", v1Input())
              .input(answersNamed("in.dat", "p.dat", "s.dat"))
              .status(1)
              .out(kPromptIn + ok("in.dat"))
              .leaves({"in.dat"}));
    EXPECT_TRUE(copies_.empty());
  }
}

// The open files at their limit (a shell's ulimit -n; the input takes the
// last descriptor) are named as the cause, not the input.
TEST_F(Sarnolt, TooFewFileDescriptorsAreNamedAsTheCause) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
  const Case few = copies_.in(Case("too few file descriptors")
                                  .file("in.dat", v1Input())
                                  .args(toolruns::with_descriptors(4, cli::sarnolt, {}))
                                  .input(answersNamed("in.dat", "p.dat", "s.dat")));
  cli::check(toolruns::kShell, dir_,
             Case(few)
                 .status(1)
                 .out(kPromptIn + ok("in.dat"))
                 .err(toolruns::copy_fault("in.dat", "created", copies_.path(), EMFILE) + "E: no such file.\n")
                 .leaves({"in.dat"}));
  EXPECT_TRUE(copies_.empty());
}

// Memory exhausted (a limit of the address space) while the input of a
// million edges is read: one "E: " line saying so, status 1; the earlier
// outputs stay and no copy is left.
TEST_F(Sarnolt, MemoryExhaustedIsReportedWithWhatWasBeingDone) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit does not work under AddressSanitizer";
#endif
  std::string text = "[Data Format Name]\nedge connection V.1\n[Number of Total Edges]\n1000000\n[Data]\n";
  for (int i = 1; i <= 1000000; ++i) text += std::to_string(i) + " 0 0 2\n";
  check(copies_.in(Case("a million edges in 24 MB")
                       .file("v1.dat", text)
                       .file("p.dat", "an earlier parameter file\n")
                       .file("s.dat", "an earlier state file\n")
                       .address_space_limit(24 << 20)
                       .input(answersNamed("v1.dat", "p.dat", "s.dat"))
                       .status(1)
                       .out(kPromptIn + ok("v1.dat"))
                       .err("E: memory ran out while reading the input file v1.dat.\n")
                       .writes("p.dat", "an earlier parameter file\n")
                       .writes("s.dat", "an earlier state file\n")
                       .leaves({"v1.dat", "p.dat", "s.dat"})));
  EXPECT_TRUE(copies_.empty());
}

// A connection file with CRLF line ends, a blank last line, and a line of
// blanks and a carriage return among the records, is read as its LF twin.
TEST_F(Sarnolt, ReadsConnectionFilesWithCrlfLineEnds) {
  std::string lf = fixture("conn_v4.dat"), crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  struct Row {
    std::string name, text;
  } cases[] = {
      {"a blank last line", crlf + "\r\n"},
      {"no blank line", crlf},
      {"blanks among the records",
       [&] {
         std::string t = crlf;
         t.insert(t.find("2 2 100"), "  \t\r\n");
         return t + "   \r\n";
       }()},
  };
  for (const Row& c : cases) check(v4Run(Case(c.name).file("crlf.dat", c.text), "crlf.dat"));
  // A record that cannot be read is shown without its carriage return.
  check(Case("a record that cannot be read")
            .file("crlf.dat",
                  "[Data Format Name]\r\nedge connection V.4\r\n[Number of Total Edges]\r\n1\r\n[Data]\r\n"
                  "1 1 0 0 1 2 0 0 x 0 0 2\r\n")
            .input(answersNamed("crlf.dat", "p.dat", "s.dat"))
            .status(1)
            .err("E: cannot read record 1 of crlf.dat: \"1 1 0 0 1 2 0 0 x 0 0 2\"\n"));
}

const std::string kNeverClosed =
    ": the apostrophe (') there opens a quoted stretch that runs to the end of the file: quotes come in pairs, even in "
    "comment blocks\n"
    "tzdfstream.cpp:54: Assertion `c == cmt' failed.\n";

// An apostrophe in the prose of a comment block opens a quoted stretch
// that the end of the file leaves open; a comment on a last line without a
// line end is refused too. The stop names the file and the line, as soon
// as the input is named; an earlier output stays.
TEST_F(Sarnolt, UnclosedQuoteInTheConnectionFileNamesTheFileAndLine) {
  const std::string v4 = fixture("conn_v4.dat");
  dir_.write("p.dat", "an earlier output\n");
  const Case cases[] = {
      Case("an apostrophe")
          .file("in.dat", "[Comment]\nThe basin's edges\n" + v4.substr(v4.find('\n') + 1))
          .err("File: in.dat, line 2" + kNeverClosed),
      Case("a comment at the end")
          .file("in.dat", v4 + "# the end")
          .err("File: in.dat, line 20: the comment there ends the file without a line end\n"
               "tzdfstream.cpp:61: Assertion `c == '\\n'' failed.\n"),
  };
  for (const Case& c : cases)
    check(Case(c)
              .input(answers("in.dat", {"0.5", "1.25"}))
              .status(cli::kAbort)
              .out(kPromptIn + ok("in.dat"))
              .writes("p.dat", "an earlier output\n")
              .writes("s.dat", cli::absent()));
}

#ifdef TZ_DORVASK_EXE
// dorvask copies the lines before "[Data Format Name]" as they stand, an
// apostrophe in the prose included; sarnolt, reading dorvask's output,
// names that file and the line.
TEST_F(Sarnolt, UnclosedQuoteCopiedByDorvaskNamesItsOutput) {
  dir_.write("b.e4",
             "[Comment]\nThe basin's edges, by hand\n[Data Format Name]\nedge format V.4\n"
             "[Number of BBEdges]\n1\n[Number of BREdges]\n1\n[Number of RREdges]\n0\n"
             "[Number of Total Edges]\n2\n[Data]\n"
             "1 10 0 0 10 20 0 100 5 1 100 0.05 500\n2 20 0 100 5 30 0 200 0 2 \n");
  cli::Result d = cli::run(cli::dorvask, {"b.e4", "b.con"}, dir_.path());
  ASSERT_EQ(d.status, 0) << d.out << d.err;
  const std::string con = dir_.read("b.con");
  ASSERT_EQ(con.substr(0, con.find("This data")), "[Comment]\nThe basin's edges, by hand\n");
  check(Case()
            .input(answers("b.con", {"0.5", "1.25"}))
            .status(cli::kAbort)
            .out(kPromptIn + ok("b.con"))
            .err("File: b.con, line 2" + kNeverClosed)
            .writes("p.dat", cli::absent())
            .writes("s.dat", cli::absent()));
}
#endif

const std::string kUsage = std::string(tooltexts::kSarnoltUsage) + "\n";

// Options and arguments: -h and every argument give the usage text and
// status 1; -v the version text, and alone (two words) the usage as well.
TEST_F(Sarnolt, OptionsAndArguments) {
  const std::string head = "\nThis is sarnolt-1 ver. 1.3\n";
  const Case cases[] = {
      Case().args({"-h"}).out("").err(kUsage),
      Case().args({"conn_v4.dat"}).out("").err(kUsage),
      Case().args({"-h", "-v"}).out("").err(kUsage),
      Case().args({"a", "b", "c"}).out("").err(kUsage),
      // getopt's own message, then the usage text.
      Case("an unknown option").args({"-x"}).err(cli::ends_with(kUsage)),
      Case().args({"-v"}).out("").err(cli::starts_with(head)).err(cli::ends_with(kUsage)),
  };
  for (const Case& c : cases) {
    cli::Result r = check(Case(c).status(1));
    if (c.words() == std::vector<std::string>{"-x"}) {
      EXPECT_GT(r.err.size(), kUsage.size());
    }
    if (c.words() != std::vector<std::string>{"-v"}) continue;
    std::string version = r.err.substr(0, r.err.size() - kUsage.size());
    // The first line, the developer, the modifier, the end of line.
    std::string rest = version.substr(std::min(head.size(), version.size()));
    ASSERT_GE(rest.size(), 1u);
    EXPECT_EQ(rest.back(), '\n');
    EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 3);
  }
}

// A generated basin of many edges: one record per input line in input
// order, whatever the count says.
TEST_F(Sarnolt, ManyEdges) {
  const int n = 20000;
  std::string text = "[Comment]\n[Data Format Name]\nedge connection V.5\n[Number of Total Edges]\n";
  text += std::to_string(n) + "\n[Data]\n";
  std::string params = paramHeader("big.dat") + counted(std::to_string(n));
  std::string states = stateHeader("big.dat") + counted(std::to_string(n));
  for (int i = 0; i < n; ++i) {
    int num = n - i;  // numbered upstream first, written in any order
    text += std::to_string(num) + " " + std::to_string(num) + " 0 0 1 " + std::to_string(num + 1) + " 0 0 0 1 " +
            std::to_string(num + 1) + " 1 -" + std::to_string(num - 1) + " 1 100 0.1 3600 1 " +
            std::to_string(3600 * i) + "\n";
    params += std::to_string(num) + kParams;
    std::ostringstream s;
    double up = 3.6 * static_cast<double>(3600 * i) * 0.001 / 3600;
    double low = (3600 * i + 3600.0) * 3.6 * 0.001 / 3600;
    s << num << " " << up << " " << low << "\n";
    states += s.str();
  }
  check(Case()
            .file("big.dat", text)
            .input(answers("big.dat", {"3.6"}))
            .status(0)
            .err("")
            .writes("p.dat", params)
            .writes("s.dat", states));
}

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE)
// The whole chain on a generated basin: pelmic turns node and edge files
// into "edge format V.4", dorvask that into "edge connection V.4", sarnolt
// writes one parameter and one initial-state record for every edge of
// dorvask's file, in its order, under its count, and tmorvelan2d runs the
// basin from the three files.
TEST_F(Sarnolt, WholeChainOnAGeneratedBasin) {
  // 250 catchments; pelmic sorts the edges by number.
  const basintest::Catchments basin{250, 1000, 0, 389, "[Comment]\ngenerated\n"};
  const int groups = basin.groups;
  dir_.write("nodes.dat", basin.nodes());
  dir_.write("edges.dat", basin.edges());
  cli::Result o = cli::run(cli::pelmic, {"edges.dat", "nodes.dat", "basin.e4"}, dir_.path());
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  o = cli::run(cli::dorvask, {"basin.e4", "basin.con"}, dir_.path());
  ASSERT_EQ(o.status, 0) << o.out << o.err;

  cli::Result r = check(Case()
                            .input(answers("basin.con", {"0.002", "0.04"}))
                            .status(0)
                            .err("")
                            .out(dialogue("basin.con", true, {"0.002", "0.04"})));
  ASSERT_EQ(r.status, 0) << r.err;

  // dorvask's count and its records' edge numbers, in file order.
  std::istringstream con(dir_.read("basin.con"));
  std::string line, count;
  while (std::getline(con, line) && line != "[Number of Total Edges]") {
  }
  ASSERT_TRUE(static_cast<bool>(std::getline(con, count)));
  while (std::getline(con, line) && line != "[Data]") {
  }
  std::vector<std::string> nums;
  while (std::getline(con, line) && !line.empty()) nums.push_back(line.substr(0, line.find(' ')));
  EXPECT_EQ(count, std::to_string(4 * groups));
  ASSERT_EQ(nums.size(), static_cast<std::size_t>(4 * groups));
  for (int k = 0; k < 4 * groups; ++k) EXPECT_EQ(nums[static_cast<std::size_t>(k)], std::to_string(k + 1));

  std::string states = stateHeader("basin.con") + counted(count);
  for (const auto& n : nums) states += n + " 0.002 0.04\n";
  EXPECT_EQ(dir_.read("p.dat"), paramFile("basin.con", count, nums));
  EXPECT_EQ(dir_.read("s.dat"), states);

#ifdef TZ_TMORVELAN2D_EXE
  // And the simulation on the three files: 30 days of 20 mm/h over the
  // whole basin (one rain cell) bring the outlet discharge, summed over the
  // 250 outlets, to the rain on the slope area, 20 mm/h x 3.3e6 m2.
  const int end = 30 * 86400;
  cli::Result m = cli::check(
      cli::tmorvelan2d, dir_,
      Case("tmorvelan2d")
          .file("tmorvelan2d.pmt",
                "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n3600 basin.con p.dat -1000 -1000 1e6 1e6\n}\n")
          .file("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 s.dat\n}\n")
          .file("radarRain_4.dat", "0 1 1\n20\n" + std::to_string(end) + " 1 1\n20\n")
          .input(std::to_string(end) + "\n" + std::to_string(end) + "\nY\n")
          .status(0)
          .out(cli::starts_with("\ttotal area: 3.3e+06(m2)\n"))
          .writes("s.dat.tst", cli::present()));
  ASSERT_EQ(m.status, 0) << m.err;
  const cli::Series q = cli::series(dir_.read("tmorvelan2d.out"));
  ASSERT_EQ(q.size(), static_cast<std::size_t>(end / 3600 + 1));
  EXPECT_EQ(q.front(), std::make_pair(0L, 250 * 0.04));  // the lower ends' initial discharges
  EXPECT_EQ(q.back().first, end);
  EXPECT_NEAR(q.back().second, 20 * 0.001 / 3600 * 3.3e6, 1e-4);
#endif
}

// The main job on the bundled example basin, as examples/run does it: the
// example's node and edge files through pelmic and dorvask, sarnolt with
// the example's scripted answers, tmorvelan2d with the example's own
// parameter, state, rain and answer files. Guards the example: its answers
// fit the dialogue, its network passes the model's checks (no attribute-3
// edge, no river edge draining into another edge), and the hydrograph of
// examples/hydrograph.txt, which the README quotes, comes out.
TEST_F(Sarnolt, WholeChainOnTheExampleBasin) {
  cli::connect_basin(dir_, cli::examples_dir());
  ASSERT_FALSE(HasFatalFailure());
  std::string want =
      kPromptIn + ok("basin.con") + kPromptOut + ok("basin.pmt") + kPromptOut2 + ok("basin.ist") + kInputValues;
  const std::vector<std::string> echoed = {"0.3", "1.667", "0.001", "0.5", "0.02",   "0.005",
                                           "4",   "0.65",  "1e-06", "10",  "0.0001", "10"};
  for (std::size_t i = 0; i < kValues.size(); ++i) want += kValues[i].prompt + ok(echoed[i]);
  want += kPromptUpdis + ok("0") + "\n" + kPromptLowdis + ok("0");
  // 36 edges, numbered 1 to 36 in the file; every one gets the same
  // parameters and starts dry.
  std::string params = paramHeader("basin.con") + counted("36");
  std::string states = stateHeader("basin.con") + counted("36");
  for (int k = 1; k <= 36; ++k) {
    params += std::to_string(k) + " 0.3 1.667 0.001 0.5 0.02 0.005 4 0.65 1e-06 10 0.0001 10\n";
    states += std::to_string(k) + " 0 0\n";
  }
  cli::Result r = check(Case()
                            .input(cli::read_file(cli::examples_dir() + "sarnolt.answers"))
                            .status(0)
                            .err("")
                            .out(want)
                            .writes("basin.pmt", params)
                            .writes("basin.ist", states));
  ASSERT_EQ(r.status, 0) << r.err;

#ifdef TZ_TMORVELAN2D_EXE
  // 60 s steps over the 6 hours of the rain file, from a dry basin.
  cli::Result m = cli::check(cli::tmorvelan2d, dir_,
                             Case("tmorvelan2d")
                                 .input(cli::read_file(cli::examples_dir() + "tmorvelan2d.answers"))
                                 .status(0)
                                 .writes("basin.ist.tst", cli::present()));
  ASSERT_EQ(m.status, 0) << m.err;
  cli::expect_example_hydrograph(cli::series(dir_.read("tmorvelan2d.out")));
#endif
}
#endif

}  // namespace

#endif  // TZ_SARNOLT_EXE
