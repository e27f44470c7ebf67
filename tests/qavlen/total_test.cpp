// The total system's main loop, driven through its console dialogue: a small
// basin of the tests' own (an input file port, an element, an output file
// port) runs in a child process with scripted answers on its standard input.
#include <gtest/gtest.h>

#include <string>

#include "files_testing.h"
#include "input_f.h"
#include "output_f.h"
#include "p_tmp.h"
#include "qavlen_testing.h"
#include "qoption.h"
#include "total.h"

namespace {

using ftest::Dialogue;
using ftest::Outcome;
using ftest::Temp_dir;
using ftest::read_file;
using ftest::write_file;

double value_of(Data_pack* p) { return static_cast<Data<double>*>(p)->Value(); }

// Doubles its input: at every step it sends twice the input value at the
// step's end (the input pack at or before that time).
class Doubler : public Element {
 public:
  explicit Doubler(Long step) : rp("rp", 0, "double"), sp("sp", 0), step_(step) {
    class_name = "Doubler";
    Init("doubler", 0, 0, nullptr);
  }
  int Register_receive_ports() override { return Register(&rp); }
  int Register_send_ports() override { return Register(&sp); }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return Send_at(current_time); }
  Time Calculate_time_step() override { return step_; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override { return Send_at(time_add(current_time, time_step)); }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE* f) override {
    std::fprintf(f, "%d", current_time);
    return 1;
  }

  qtest::Test_receiver rp;
  Send<double> sp;

 private:
  int Send_at(Long t) {
    Data_pack* before = nullptr;
    Data_pack* after = nullptr;
    if (!rp.Get_data_pack(before, t, after, 'f')) return 0;
    sp.Send_data(t, 2 * value_of(before));
    return 1;
  }
  Long step_;
};

// The tests' basin: "in.dat" feeds the doubler, whose values go to "out.dat".
class Basin : public Total_system {
 public:
  explicit Basin(Long step) : in("in.dat"), out("out.dat", 0), el(step) { Init("sys", 0, 0); }
  int Register_input_ports() override { return Register(&in); }
  int Register_output_ports() override { return Register(&out); }
  int Register_components() override { return Register(&el); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&in, &el, "rp", 0);
    Connect(&el, "sp", 0, &out);
    return 1;
  }
  int Connect_components() override { return 1; }

  I_file<double> in;
  O_file<double> out;
  Doubler el;
};

// Builds the basin, starts it at `start` and runs the dialogue; the child's
// status is 10 + the Work result, or 20 + Exit_status when that is not 0.
int run_basin(Long step, Long start) {
  Basin b(step);
  if (b.Construct() != 1 || b.Switch() != 1 || b.Are_you_ready() != 1) return 99;
  b.Initial_time(start);
  b.Initial_work();
  int r = b.Work();
  if (b.Exit_status() != 0) return 20 + b.Exit_status();
  return 10 + r;
}

// Input lines "t t/10" for t = from, from + 10, ..., to.
std::string series(int from, int to) {
  std::string text = "# time value\n";
  for (int t = from; t <= to; t += 10) text += std::to_string(t) + " " + std::to_string(t / 10) + "\n";
  return text;
}

// The output lines of the doubler for t = from, ..., to (value t / 5).
std::string doubled(int from, int to, int step = 10) {
  std::string text;
  for (int t = from; t <= to; t += step) text += std::to_string(t) + " " + std::to_string(t / 5) + "\n";
  return text;
}

const std::string rule(70, '-');
const std::string header = "# out.dat \n# " + rule +
                           "\n#   Send<double> sp 0 \n#       owner > Doubler doubler 0\n"
                           "#       owner >> Total_system sys 0\n# " +
                           rule + "\n\n";

std::string ask_step(int now) {
  return "\n# Key in time_step for 'total_system'.\n# current_time = " + std::to_string(now) + " : time_step = ";
}
const std::string ask_increment = "# Medium_term_target_time_increment = ";
std::string ask_quit(int now, int terminal) {
  return "# Now : current_time = " + std::to_string(now) + " : terminal_time = " + std::to_string(terminal) +
         "\n# Quit? [Y / N] : ";
}
const std::string done = "\n# Done.\n";
const std::string ended = "\n# Simulation ended.\n";

TEST(TotalSystemWork, SegmentWithProgressLinesAndOutput) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(0, 200));
  Outcome o = ftest::run([] { return run_basin(10, 0); }, dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 11);
  // Targets 30, 60 and 90 are reached with a progress line each; the next
  // one, 120, lies past the terminal time 100: output, done.
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "30\n60\n90\n" + done + ask_quit(120, 100) + ended);
  EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n");
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 120));
}

TEST(TotalSystemWork, SecondSegmentAppendsAndNothingIsWrittenTwice) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(0, 200));
  Outcome o = ftest::run([] { return run_basin(10, 0); }, dir.path(), "50 50 n 40 20 Y\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + done + ask_quit(50, 50) + ask_step(50) + ask_increment +
                       "70\n" + done + ask_quit(90, 90) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 90));
}

TEST(TotalSystemWork, NoObjectHasWorked) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(0, 200));
  // An element whose step is 0 never works.
  Outcome o = ftest::run([] { return run_basin(0, 0); }, dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "\n# No object has worked.\n" + ask_quit(0, 100) + ended);
  EXPECT_FALSE(ftest::exists(dir.file("out.dat")));  // no output after this stop
}

// A step larger than the increment carries the element onto and past later
// targets: the targets it has reached move on, and the segment ends with
// its output when the terminal time is reached.
TEST(TotalSystemWork, StepsThatOvershootTheTargetsDoNotStall) {
  Temp_dir dir;
  std::string in = "0 0\n";
  for (int t = 600; t <= 3000; t += 600) in += std::to_string(t) + " " + std::to_string(t / 10) + "\n";
  write_file(dir.file("in.dat"), in);
  Outcome o = ftest::run([] { return run_basin(600, 0); }, dir.path(), "1200\n300\nn\n600\n300\ny\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "300\n900\n" + done + ask_quit(1200, 1200) + ask_step(1200) +
                       ask_increment + "1500\n" + done + ask_quit(1800, 1800) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 1800, 600));
}

// The input runs out inside a segment: the port's demand throws 99, the
// loop writes what was published, renews its time from the element and
// asks; after N the grown file is read again and the run goes on.
TEST(TotalSystemWork, CatchOfTheDataFailureAndResumeWithAGrownFile) {
  Temp_dir dir;
  std::string in = dir.file("in.dat");
  write_file(in, series(0, 50));
  ftest::set_mtime(in, 1000);
  Dialogue d([] { return run_basin(10, 0); }, dir.path());
  d.send("100\n30\n");
  ASSERT_TRUE(d.wait_for(ask_quit(50, 100)));
  // The element got to 50, and what it computed is written.
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 50));
  write_file(in, series(0, 300));
  ftest::set_mtime(in, 1001);
  d.send("n\n100\n30\nY\n");
  Outcome o = d.finish();
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "30\n" + ask_quit(50, 100) + ask_step(50) + ask_increment +
                       "80\n110\n140\n" + done + ask_quit(170, 150) + ended);
  EXPECT_EQ(o.err,
            "File: in.dat  newest data time : 50\n"
            "Cannot get data from in.dat \n"
            "\n# Error : Now in catch block\n"
            "File: in.dat  newest data time : 300\n");
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 170));
}

TEST(TotalSystemWork, InvalidAnswersAreRefusedAndAskedAgain) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(0, 200));
  Outcome o = ftest::run([] { return run_basin(10, 0); }, dir.path(),
                         "0\n-5\nabc 77\n1e2\n20x\n+20\n0 x 99\n10\nx\nxy\nno\n10\n5 yes\n");
  EXPECT_EQ(o.status, 11);
  const std::string bad_step = "# Invalid input : time_step <= 0\n";
  const std::string bad_increment = "# Invalid input : Medium_term_target_time_incremnt <= 0\n";
  const std::string bad_quit = "# Invalid input : Key in 'Y' or 'N'\n\n";
  // "abc" and "1e2" and "20x" are refused with the rest of their lines;
  // "0" keeps the rest of its line ("x" is refused, and "99" with it).
  EXPECT_EQ(o.out, ask_step(0) + bad_step + ask_step(0) + bad_step + ask_step(0) + bad_step + ask_step(0) +
                       bad_step + ask_step(0) + bad_step + ask_step(0) + ask_increment + bad_increment +
                       ask_increment + bad_increment + ask_increment + "10\n" + done + ask_quit(20, 20) +
                       bad_quit + ask_quit(20, 20) + bad_quit + ask_quit(20, 20) + ask_step(20) +
                       ask_increment + "25\n" + done + ask_quit(30, 30) + ended);
}

TEST(TotalSystemWork, EndOfInputEndsTheDialogueInOrder) {
  struct Case {
    const char* input;
    std::string out;
  } cases[] = {
      {"", ask_step(0)},
      {"100\n", ask_step(0) + ask_increment},
      {"100 abc", ask_step(0) + ask_increment + "# Invalid input : Medium_term_target_time_incremnt <= 0\n" +
                       ask_increment},
      {"20 20\n", ask_step(0) + ask_increment + done + ask_quit(20, 20)},
      {"20 20 x", ask_step(0) + ask_increment + done + ask_quit(20, 20) + "# Invalid input : Key in 'Y' or 'N'\n\n" +
                      ask_quit(20, 20)},
  };
  for (const Case& k : cases) {
    Temp_dir dir;
    write_file(dir.file("in.dat"), series(0, 200));
    Outcome o = ftest::run([] { return run_basin(10, 0); }, dir.path(), k.input);
    EXPECT_EQ(o.status, 21) << k.input;  // Work returned 0, the exit status is 1
    EXPECT_EQ(o.out, k.out) << k.input;
    EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n"
                     "\n# Error : End of the standard input : the simulation ends here.\n")
        << k.input;
  }
}

// Time sums saturate at the largest time ("no limit") instead of wrapping.
TEST(TotalSystemWork, TimeSumsSaturate) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(10, 100));
  Outcome o = ftest::run([] { return run_basin(10, 10); }, dir.path(), "2147483647\n2147483647\ny\n");
  EXPECT_EQ(o.status, 11);
  // One target at "no limit": the element works until the input runs out.
  EXPECT_EQ(o.out, ask_step(10) + ask_increment + ask_quit(100, 2147483647) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(10, 100));
}

// The basin's Initial_work reads the input, sweeps the initial work and
// sets the targets; an element whose initial output never succeeds is
// reported.
TEST(TotalSystemInitialWork, ReportsComponentsThatFail) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(100, 200));  // nothing at time 0
  qtest::Qavlensdir none(nullptr);
  Outcome o = ftest::run(
      [] {
        Basin b(10);
        b.Construct();
        b.Switch();
        b.Are_you_ready();
        b.Initial_time(0);
        return b.Initial_work();
      },
      dir.path());
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err,
            "File: in.dat  newest data time : 200\n"
            "E : total.cpp : 528 : \n"
            "    Doubler doubler 0\n"
            "        owner > Total_system sys 0\n");
}

TEST(TotalSystemInputDataTime, CommonWindowOfTheInputPorts) {
  Temp_dir dir;
  write_file(dir.file("in.dat"), series(30, 90));
  Outcome o = ftest::run(
      [] {
        Basin b(10);
        b.Construct();
        b.Switch();
        Time from = 1, to = 2;
        if (b.Input_data_time(from, to) != 0) return 1;
        b.Input_data();
        if (b.Input_data_time(from, to) != 1) return 2;
        return from == 30 && to == 90 ? 0 : 3;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST(TotalSystemOption, TimeControlMenu) {
  const std::string menu_head = "\n# Key in simulation option.\n# TimeControlOption\n";
  const std::string menu_tail =
      "#   select 1 or 2\n#   1. GoBeyondTerminalTime (Default)\n#   2. DoNotGoBeyondTerminalTime\n";
  Temp_dir dir;
  Outcome o = ftest::run(
      [] {
        Basin b(10);
        b.Set_qavlen_option();
        int first = QavlenOption::Get_time_control_option();
        b.Set_qavlen_option();
        int second = QavlenOption::Get_time_control_option();
        b.Set_qavlen_option();
        return first * 10 + second + 100 * QavlenOption::Get_time_control_option();
      },
      dir.path(), "2\n7\n2\n");
  EXPECT_EQ(o.status, 110);
  EXPECT_EQ(o.out, menu_head + "#   current selection: GoBeyondTerminalTime\n" + menu_tail + menu_head +
                       "#   current selection: DoNotGoBeyondTerminalTime\n" + menu_tail + menu_head +
                       "#   current selection: GoBeyondTerminalTime\n" + menu_tail);
}

TEST(TotalSystemFiles, InitialAndTerminalTime) {
  Temp_dir dir;
  write_file(dir.file("t.ist"), "  3600 \n");
  write_file(dir.file("bad.ist"), "later\n");
  Outcome o = ftest::run(
      [] {
        Basin b(10);
        b.Construct();
        FILE* f = std::fopen("t.ist", "r");
        int r = b.Set_initial_state(f);
        std::fclose(f);
        FILE* g = std::fopen("t.tst", "w");
        b.Save_terminal_state(g);
        std::fclose(g);
        return r == 1 && b.Current_time() == 3600 && b.el.Current_time() == 3600 ? 0 : 1;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("t.tst")), "3600");
  qtest::Qavlensdir none(nullptr);
  o = ftest::run(
      [] {
        Basin b(10);
        FILE* f = std::fopen("bad.ist", "r");
        b.Set_initial_state(f);
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "E : total.cpp : 366 : \n    Total_system sys 0\n");
}

}  // namespace
