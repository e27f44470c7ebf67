// The total system's main loop, driven through its console dialogue: a small
// basin of the tests' own (an input file port, an element, an output file
// port) runs in a child process with scripted answers on its standard input.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
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
using ftest::read_file;
using ftest::write_file;

double value_of(Data_pack* p) { return static_cast<Data<double>*>(p)->Value(); }

// Doubles its input: at every step it sends twice the input value at the
// step's end (the input pack at or before that time). Its parameter line
// gives the factor, its initial-state line a mark; its terminal state is
// its current time.
class Doubler : public Element {
 public:
  explicit Doubler(Long step, const char* name = "doubler") : rp("rp", 0, "double"), sp("sp", 0), step_(step) {
    class_name = "Doubler";
    Init(name, 0, 0, nullptr);
  }
  int Register_receive_ports() override { return Register(&rp); }
  int Register_send_ports() override { return Register(&sp); }
  int Set_parameter(FILE* f) override { return std::fscanf(f, "%lf", &factor) == 1; }
  int Set_initial_state(FILE* f) override { return std::fscanf(f, "%d", &mark) == 1; }
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
  double factor = 2;
  int mark = -1;

 private:
  int Send_at(Long t) {
    Data_pack* before = nullptr;
    Data_pack* after = nullptr;
    if (!rp.Get_data_pack(before, t, after, 'f')) return 0;
    sp.Send_data(t, factor * value_of(before));
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

// The tests' basin with a doubler of another class in place of its own.
template <class D>
class Basin_with : public Basin {
 public:
  Basin_with() : Basin(10) {}
  int Register_components() override { return Register(&element); }
  int Connect_ports() override {
    Connect(&in, &element, "rp", 0);
    Connect(&element, "sp", 0, &out);
    return 1;
  }
  D element;
};

template <class System>
bool build(System& s) {
  return s.Construct() == 1 && s.Switch() == 1 && s.Are_you_ready() == 1;
}

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
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run([] { return run_basin(10, 0); }, dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 11);
  // Targets 30, 60 and 90 are reached with a progress line each; the next
  // one, 120, lies past the terminal time 100: output, done.
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "30\n60\n90\n" + done + ask_quit(120, 100) + ended);
  EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n");
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 120));
}

TEST(TotalSystemWork, SecondSegmentAppendsAndNothingIsWrittenTwice) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run([] { return run_basin(10, 0); }, dir.path(), "50 50 n 40 20 Y\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + done + ask_quit(50, 50) + ask_step(50) + ask_increment + "70\n" +
                       done + ask_quit(90, 90) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 90));
}

TEST(TotalSystemWork, NoObjectHasWorked) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  // An element whose step is 0 never works.
  cli::Result o = ftest::run([] { return run_basin(0, 0); }, dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "\n# No object has worked.\n" + ask_quit(0, 100) + ended);
  EXPECT_FALSE(ftest::exists(dir.file("out.dat")));  // no output after this stop
}

// A step larger than the increment carries the element onto and past later
// targets: the targets it has reached move on, and the segment ends with
// its output when the terminal time is reached.
TEST(TotalSystemWork, StepsThatOvershootTheTargetsDoNotStall) {
  cli::Folder dir;
  std::string in = "0 0\n";
  for (int t = 600; t <= 3000; t += 600) in += std::to_string(t) + " " + std::to_string(t / 10) + "\n";
  write_file(dir.file("in.dat"), in);
  cli::Result o = ftest::run([] { return run_basin(600, 0); }, dir.path(), "1200\n300\nn\n600\n300\ny\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "300\n900\n" + done + ask_quit(1200, 1200) + ask_step(1200) +
                       ask_increment + "1500\n" + done + ask_quit(1800, 1800) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(0, 1800, 600));
}

// The input runs out inside a segment: the port's demand throws 99, the
// loop writes what was published, renews its time from the element and
// asks; after N the grown file is read again and the run goes on.
TEST(TotalSystemWork, CatchOfTheDataFailureAndResumeWithAGrownFile) {
  cli::Folder dir;
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
  cli::Result o = d.finish();
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
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run([] { return run_basin(10, 0); }, dir.path(),
                             "0\n-5\nabc 77\n1e2\n20x\n+20\n0 x 99\n10\nx\nxy\nno\n10\n5 yes\n");
  EXPECT_EQ(o.status, 11);
  const std::string bad_step = "# Invalid input : time_step <= 0\n";
  const std::string bad_increment = "# Invalid input : Medium_term_target_time_incremnt <= 0\n";
  const std::string bad_quit = "# Invalid input : Key in 'Y' or 'N'\n\n";
  // "abc" and "1e2" and "20x" are refused with the rest of their lines;
  // "0" keeps the rest of its line ("x" is refused, and "99" with it).
  EXPECT_EQ(o.out, ask_step(0) + bad_step + ask_step(0) + bad_step + ask_step(0) + bad_step + ask_step(0) + bad_step +
                       ask_step(0) + bad_step + ask_step(0) + ask_increment + bad_increment + ask_increment +
                       bad_increment + ask_increment + "10\n" + done + ask_quit(20, 20) + bad_quit + ask_quit(20, 20) +
                       bad_quit + ask_quit(20, 20) + ask_step(20) + ask_increment + "25\n" + done + ask_quit(30, 30) +
                       ended);
}

TEST(TotalSystemWork, EndOfInputEndsTheDialogueInOrder) {
  struct Case {
    const char* input;
    std::string out;
  } cases[] = {
      {"", ask_step(0)},
      {"100\n", ask_step(0) + ask_increment},
      {"100 abc",
       ask_step(0) + ask_increment + "# Invalid input : Medium_term_target_time_incremnt <= 0\n" + ask_increment},
      {"20 20\n", ask_step(0) + ask_increment + done + ask_quit(20, 20)},
      {"20 20 x", ask_step(0) + ask_increment + done + ask_quit(20, 20) + "# Invalid input : Key in 'Y' or 'N'\n\n" +
                      ask_quit(20, 20)},
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("in.dat"), series(0, 200));
    cli::Result o = ftest::run([] { return run_basin(10, 0); }, dir.path(), k.input);
    EXPECT_EQ(o.status, 21) << k.input;  // Work returned 0, the exit status is 1
    EXPECT_EQ(o.out, k.out) << k.input;
    EXPECT_EQ(o.err,
              "File: in.dat  newest data time : 200\n"
              "\n# Error : End of the standard input : the simulation ends here.\n")
        << k.input;
  }
}

// Time sums saturate at the largest time ("no limit") instead of wrapping.
TEST(TotalSystemWork, TimeSumsSaturate) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(10, 100));
  cli::Result o = ftest::run([] { return run_basin(10, 10); }, dir.path(), "2147483647\n2147483647\ny\n");
  EXPECT_EQ(o.status, 11);
  // One target at "no limit": the element works until the input runs out.
  EXPECT_EQ(o.out, ask_step(10) + ask_increment + ask_quit(100, 2147483647) + ended);
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(10, 100));
}

// A doubler that cannot go on past 40 (without asking upstream): the
// components stop short of the target without a data failure.
class Stalling : public Doubler {
 public:
  Stalling() : Doubler(10) {}
  int Can_you_calculate() override { return current_time >= 40 ? 0 : Doubler::Can_you_calculate(); }
};

using Stalling_basin = Basin_with<Stalling>;

TEST(TotalSystemWork, StoppedBeforeTheTargetWritesNoOutput) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run(
      [] {
        Stalling_basin b;
        if (!build(b)) return 99;
        b.Initial_time(0);
        b.Initial_work();
        return 10 + b.Work();
      },
      dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment + "30\n" + ask_quit(40, 100) + ended);
  EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n\n# Error : Stopped before MediumTermTargetTime\n");
  EXPECT_FALSE(ftest::exists(dir.file("out.dat")));
}

// Under the time-control option the steps are cut at the terminal time: a
// run length that is not a whole number of increments (or of steps) ends
// its segment there, with its output written.
TEST(TotalSystemWork, TimeControlEndsTheSegmentAtTheTerminalTime) {
  struct Case {
    Long step;
    const char* answers;
    std::string out;
    std::string file;
  } cases[] = {
      {10, "100\n30\ny\n", ask_step(0) + ask_increment + "30\n60\n90\n" + done + ask_quit(100, 100) + ended,
       header + doubled(0, 100)},
      {30, "100\n30\nn\n50\n30\ny\n",
       ask_step(0) + ask_increment + "30\n60\n90\n" + done + ask_quit(100, 100) + ask_step(100) + ask_increment +
           "130\n" + done + ask_quit(150, 150) + ended,
       header + "0 0\n30 6\n60 12\n90 18\n100 20\n130 26\n150 30\n"},
  };
  for (const Case& c : cases) {
    cli::Folder dir;
    write_file(dir.file("in.dat"), series(0, 200));
    cli::Result o = ftest::run(
        [&] {
          QavlenOption::tc = QavlenOption::DoNotGoBeyondTerminalTime;
          return run_basin(c.step, 0);
        },
        dir.path(), c.answers);
    EXPECT_EQ(o.status, 11) << c.step;
    EXPECT_EQ(o.out, c.out) << c.step;
    EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n") << c.step;
    EXPECT_EQ(read_file(dir.file("out.dat")), c.file) << c.step;
  }
}

// An iteration member that never converges: the group is rewound at every
// attempt until the system gives up.
class Never_converging : public Element {
 public:
  Never_converging() {
    class_name = "Looper";
    Init("looper", 0, 0, nullptr);
  }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 10; }
  int Can_you_calculate() override { return 1; }
  int Calculate() override { return 1; }
  int Work() override { return Work2(); }
  Time Calculate_iteration_step() override { return 20; }
  int Do_you_converge() override { return 0; }
  int Save_terminal_state(FILE*) override { return 1; }
};

class Iterating_system : public Total_system {
 public:
  Iterating_system() { Init("loop", 0, 1); }
  int Register_input_ports() override { return 1; }
  int Register_output_ports() override { return 1; }
  int Register_components() override { return 1; }
  int Register_iterators() override { return Register(1, {&member}); }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  Never_converging member;
};

TEST(TotalSystemWork, IterationGroupThatNeverConvergesEndsTheProgram) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  cli::Result o = ftest::run(
      [] {
        Iterating_system s;
        if (!build(s)) return 99;
        s.Initial_time(0);
        if (s.Initial_work() != 1) return 98;
        s.Work();
        return 0;
      },
      dir.path(), "100\n30\ny\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, ask_step(0) + ask_increment);
  EXPECT_EQ(o.err, "E : total.cpp : 697 : \n\tin group [0].\n    Total_system loop 0\n");
}

// The basin's Initial_work reads the input, sweeps the initial work and
// sets the targets; an element whose initial output never succeeds is
// reported.
TEST(TotalSystemInitialWork, ReportsComponentsThatFail) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(100, 200));  // nothing at time 0
  qtest::Qavlensdir none(nullptr);
  cli::Result o = ftest::run(
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

// d2 reads d1's values but is registered first: its initial output fails
// in the first sweep and succeeds in the second, after d1's.
class Chain : public Total_system {
 public:
  Chain() : in("in.dat"), out("out.dat", 0), d1(10, "d1"), d2(10, "d2") { Init("chain", 0, 0); }
  int Register_input_ports() override { return Register(&in); }
  int Register_output_ports() override { return Register(&out); }
  int Register_components() override { return Register(&d2) && Register(&d1); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&in, &d1, "rp", 0);
    Connect(&d1, "sp", 0, &d2, "rp", 0);
    Connect(&d2, "sp", 0, &out);
    return 1;
  }
  int Connect_components() override { return 1; }
  I_file<double> in;
  O_file<double> out;
  Doubler d1;
  Doubler d2;
};

TEST(TotalSystemInitialWork, SweepsUntilEveryComponentHasDoneIt) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run(
      [] {
        Chain c;
        if (c.Construct() != 1 || c.Switch() != 1 || c.Are_you_ready() != 1) return 99;
        c.Initial_time(0);
        if (c.Initial_work() != 1) return 1;
        c.Work();
        return 0;
      },
      dir.path(), "20 10 y\n");
  EXPECT_EQ(o.status, 0) << o.err;
  // Four times the input.
  EXPECT_NE(read_file(dir.file("out.dat")).find("\n\n0 0\n10 4\n20 8\n"), std::string::npos);
}

// A system whose own initial output or information sharing fails, and a
// component whose sharing fails.
class Failing_basin : public Basin {
 public:
  explicit Failing_basin(int what) : Basin(10), what_(what) {}
  int Initial_output() override { return what_ == 1 ? 0 : 1; }
  int Share_info() override { return what_ == 2 ? 0 : 1; }

 private:
  int what_;
};

class Unsharing : public Doubler {
 public:
  Unsharing() : Doubler(10, "unsharing") {}
  int Share_info() override { return 0; }
};

class Sharing_basin : public Basin {
 public:
  Sharing_basin() : Basin(10) {}
  int Register_components() override { return Register(&el) && Register(&other); }
  Unsharing other;
};

TEST(TotalSystemInitialWork, FailuresOfTheSystemItself) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  qtest::Qavlensdir none(nullptr);
  cli::Result o = ftest::run(
      [] {
        Failing_basin b(1);
        build(b);
        b.Initial_work();
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Cannot do initial_output for Total_system.\n");
  o = ftest::run(
      [] {
        Failing_basin b(2);
        build(b);
        b.Do_share_info();
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "E : total.cpp : 440 : \n    Total_system sys 0\n");
  o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        int first = b.Do_share_info();
        int second = b.Do_share_info();
        Sharing_basin s;
        s.Construct();
        return first * 100 + second * 10 + s.Do_share_info();
      },
      dir.path());
  EXPECT_EQ(o.status, 220);
  EXPECT_EQ(o.err, "E : total.cpp : 470 : \n    Doubler unsharing 0\n        owner > Total_system sys 0\n");
}

// Two input files feeding two doublers, for the common window of the ports.
class Two_inputs : public Total_system {
 public:
  Two_inputs() : a("a.dat"), b("b.dat"), da(10, "da"), db(10, "db") { Init("two", 0, 0); }
  int Register_input_ports() override { return Register(&a) && Register(&b); }
  int Register_output_ports() override { return 1; }
  int Register_components() override { return Register(&da) && Register(&db); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&a, &da, "rp", 0);
    Connect(&b, &db, "rp", 0);
    return 1;
  }
  int Connect_components() override { return 1; }
  I_file<double> a;
  I_file<double> b;
  Doubler da;
  Doubler db;
};

TEST(TotalSystemInputDataTime, LatestOldestAndEarliestNewestOfSeveralPorts) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  write_file(dir.file("a.dat"), series(30, 90));
  write_file(dir.file("b.dat"), series(50, 200));
  cli::Result o = ftest::run(
      [] {
        Two_inputs s;
        if (!build(s)) return 99;
        s.Input_data();
        Time from = 1, to = 2;
        if (s.Input_data_time(from, to) != 1) return 1;
        if (from != 50 || to != 90) return 2;
        // The second port without data: no window.
        std::remove("b.dat");
        Two_inputs t;
        if (!build(t)) return 98;
        t.Input_data();
        return t.Input_data_time(from, to) == 0 ? 0 : 3;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err,
            "File: a.dat  newest data time : 90\nFile: b.dat  newest data time : 200\n"
            "File: a.dat  newest data time : 90\n"
            "E : input_f.cpp : 48 : \n    Input_file : I_file<double> b.dat \n");
}

TEST(TotalSystemInputDataTime, CommonWindowOfTheInputPorts) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(30, 90));
  cli::Result o = ftest::run(
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
  cli::Folder dir;
  cli::Result o = ftest::run(
      [] {
        Basin b(10);
        b.Set_qavlen_option();
        int first = QavlenOption::Get_time_control_option();
        b.Set_qavlen_option();
        int second = QavlenOption::Get_time_control_option();
        b.Set_qavlen_option();
        return first * 10 + second + 100 * QavlenOption::Get_time_control_option();
      },
      dir.path(), "2\n7\n2.5\n");  // the answer is read as an integer: 2.5 is 2
  EXPECT_EQ(o.status, 110);
  EXPECT_EQ(o.out, menu_head + "#   current selection: GoBeyondTerminalTime\n" + menu_tail + menu_head +
                       "#   current selection: DoNotGoBeyondTerminalTime\n" + menu_tail + menu_head +
                       "#   current selection: GoBeyondTerminalTime\n" + menu_tail);
}

TEST(TotalSystemFiles, InitialAndTerminalTime) {
  cli::Folder dir;
  write_file(dir.file("t.ist"), "  3600 \n");
  write_file(dir.file("bad.ist"), "later\n");
  cli::Result o = ftest::run(
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

// ---- parameter, initial-state and terminal-state files ----

// A system with a nested sub-system: "in.dat" feeds d1 (inside "inner")
// and d2; their values go to "out1.dat" and "out2.dat".
class Inner : public Sub_system {
 public:
  Inner() : d1(10, "d1") { Init("inner", 0, 0, 0, nullptr); }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override { return Register(&d1); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  Doubler d1;
};

class Nested_basin : public Total_system {
 public:
  Nested_basin() : in("in.dat"), out1("out1.dat", 0), out2("out2.dat", 0), d2(10, "d2") { Init("sys", 0, 0); }
  int Register_input_ports() override { return Register(&in); }
  int Register_output_ports() override { return Register(&out1) && Register(&out2); }
  int Register_components() override { return Register(&inner) && Register(&d2); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&in, &inner.d1, "rp", 0);
    Connect(&in, &d2, "rp", 0);
    Connect(&inner.d1, "sp", 0, &out1);
    Connect(&d2, "sp", 0, &out2);
    return 1;
  }
  int Connect_components() override { return 1; }
  I_file<double> in;
  O_file<double> out1;
  O_file<double> out2;
  Inner inner;
  Doubler d2;
};

TEST(TotalSystemFiles, HeaderFormsAndTheComponentBlock) {
  struct Case {
    const char* text;
    double factor;  // what the doubler read (2: nothing)
  } cases[] = {
      {"Total_system sys 0\n{\nDoubler doubler 0\n1.5\n}\n", 1.5},
      {"# parameters\nsys 0   # the system\n\n  {\n\t# the element\ndoubler 0\n  2.5\n  }\n", 2.5},
      {"sys\n{\ndoubler\n3.5\n", 3.5},  // no closing brace: the end of the file closes
      {"# nothing but comments\n# here\n", 2},
      {"sys 0\n", 2},
      {"sys 0\nDoubler doubler 0\n9\n", 2},  // not a block: pushed back, left unread
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("t.pmt"), k.text);
    cli::Result o = ftest::run(
        [&] {
          Basin b(10);
          if (!build(b)) return 99;
          b.Read_parameter_file("t.pmt");
          return static_cast<int>(b.el.factor * 10);
        },
        dir.path());
    EXPECT_EQ(o.status, static_cast<int>(k.factor * 10)) << k.text << o.err;
    EXPECT_EQ(o.err, "") << k.text;
  }
}

// A component asks which framework file it is being read from, for its
// reports: the file the root is reading while it hands over the lines,
// none at any other time or without a root.
class File_asker : public Doubler {
 public:
  File_asker() : Doubler(10) {}
  int Set_parameter(FILE* f) override {
    asked.push_back(Framework_file() ? Framework_file() : "(none)");
    return Doubler::Set_parameter(f);
  }
  int Set_initial_state(FILE* f) override {
    asked.push_back(Framework_file() ? Framework_file() : "(none)");
    return Doubler::Set_initial_state(f);
  }
  std::vector<std::string> asked;
};

TEST(TotalSystemFiles, AComponentIsToldTheFileItsLinesComeFrom) {
  cli::Folder dir;
  write_file(dir.file("t.pmt"), "sys 0\n{\ndoubler 0\n1.5\n}\n");
  write_file(dir.file("t.ist"), "sys 0\n0\n{\ndoubler 0\n7\n}\n");
  cli::Result o = ftest::run(
      [] {
        Basin_with<File_asker> b;
        if (!build(b)) return 99;
        b.Read_parameter_file("t.pmt");
        b.Read_initial_state_file("t.ist");
        if (b.element.Framework_file() != nullptr || b.Framework_file() != nullptr) return 10;
        if (b.element.asked != std::vector<std::string>{"t.pmt", "t.ist"}) return 11;
        File_asker alone;
        return alone.Framework_file() == nullptr ? 0 : 12;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST(TotalSystemFiles, HeadersThatNameAnotherSystemEndTheProgram) {
  qtest::Qavlensdir none(nullptr);
  struct Case {
    const char* first_line;
    int parameter;
    int initial;
  } cases[] = {
      {"Sub_system sys 0", 294, 336},
      {"Total_system sys 1", 294, 336},
      {"sys 1", 301, 343},
      {"vrb", 308, 350},
      {"\f", 313, 355},
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("t.pmt"), std::string(k.first_line) + "\n{\n}\n");
    for (bool initial : {false, true}) {
      cli::Result o = ftest::run(
          [&] {
            Basin b(10);
            build(b);
            if (initial)
              b.Read_initial_state_file("t.pmt");
            else
              b.Read_parameter_file("t.pmt");
            return 0;
          },
          dir.path());
      EXPECT_EQ(o.status, 1) << k.first_line;
      EXPECT_EQ(o.err, "E : total.cpp : " + std::to_string(initial ? k.initial : k.parameter) + " : " + k.first_line +
                           "\n\n    Total_system sys 0\n")
          << k.first_line;
    }
  }
}

TEST(TotalSystemFiles, ComponentHeadersAndLongLines) {
  qtest::Qavlensdir none(nullptr);
  std::string wide(300, 'x');
  struct Case {
    std::string text;
    bool initial;
    std::string err;
  } cases[] = {
      {"sys 0\n{\n\f\n}\n", false, "E : sub.cpp : 530 : \f\n\n    Total_system sys 0\n"},
      {"sys 0\n0\n{\n\f\n}\n", true, "E : sub.cpp : 583 : \f\n\n    Total_system sys 0\n"},
      {"sys 0\n{\nDoubler nobody 0\n}\n", false,
       "E : sub.cpp : 244 : \n\tAsked > 'Doubler' : 'nobody' : 0 :\n    Total_system sys 0\n"
       "E : sub.cpp : 535 : Doubler nobody 0\n\n    Total_system sys 0\n"},
      {"sys 0\n0\n{\nnobody 3\n}\n", true,
       "E : sub.cpp : 270 : \n\tAsked > 'nobody' : 3 :\n    Total_system sys 0\n"
       "E : sub.cpp : 535 : nobody 3\n\n    Total_system sys 0\n"},
      // Lines of more than 255 characters are refused, never split.
      {"sys 0 " + wide + "\n", false,
       "E : total.cpp : 289 : sys 0 " + wide.substr(0, 249) + "\n    Total_system sys 0\n"},
      {wide + "\n", true, "E : total.cpp : 331 : " + wide.substr(0, 255) + "\n    Total_system sys 0\n"},
      {"sys 0\n{\ndoubler 0 " + wide + "\n}\n", false,
       "E : sub.cpp : 525 : doubler 0 " + wide.substr(0, 245) + "\n    Total_system sys 0\n"},
      // A long line that begins with more blanks than the buffer holds is
      // refused too, not read from its first word on as a line of its own.
      {std::string(300, ' ') + "sys 0\n{\n}\n", false,
       "E : total.cpp : 289 : " + std::string(255, ' ') + "\n    Total_system sys 0\n"},
      {"sys 0\n0\n{\n" + std::string(260, '\t') + "doubler 0\n7\n}\n", true,
       "E : sub.cpp : 525 : " + std::string(255, '\t') + "\n    Total_system sys 0\n"},
      // A NUL byte does not hide the rest of a long line: the line is
      // measured by what was read, not by where its text seems to end.
      {"sys 0\n{\ndoubler 0" + std::string(1, '\0') + wide + "\n}\n", false,
       "E : sub.cpp : 525 : doubler 0\n    Total_system sys 0\n"},
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("t.in"), k.text);
    cli::Result o = ftest::run(
        [&] {
          Basin b(10);
          build(b);
          if (k.initial)
            b.Read_initial_state_file("t.in");
          else
            b.Read_parameter_file("t.in");
          return 0;
        },
        dir.path());
    EXPECT_EQ(o.status, 1) << k.text;
    EXPECT_EQ(o.err, k.err) << k.text;
  }
  // A line of exactly 255 characters is read; a line of only blanks is
  // skipped whatever its length.
  cli::Folder dir;
  write_file(dir.file("t.in"), "sys 0" + std::string(250, ' ') + "\n" + std::string(255, ' ') + "\n{\n" +
                                   std::string(600, ' ') + "\t \ndoubler 0\n4.5\n}\n");
  cli::Result o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        b.Read_parameter_file("t.in");
        return static_cast<int>(b.el.factor * 10);
      },
      dir.path());
  EXPECT_EQ(o.status, 45) << o.err;
}

TEST(TotalSystemFiles, TerminalStateIsWrittenAndReadBackAsInitialState) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  write_file(dir.file("t.ist"), "Total_system sys 0\n20\n{\nDoubler doubler 0\n7\n}\n");
  cli::Result o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        b.Read_initial_state_file("t.ist");
        if (b.Current_time() != 20 || b.el.Current_time() != 20 || b.el.mark != 7) return 1;
        b.Initial_work();
        b.Work();
        b.Write_terminal_state("t.tst");
        return 0;
      },
      dir.path(), "100 30 y\n");
  EXPECT_EQ(o.status, 0) << o.err;
  std::string tst = read_file(dir.file("t.tst"));
  EXPECT_EQ(tst,
            "# terminal state of sys \n# current_time = 140 \n# \n"
            "Total_system sys 0 \n140\n{\nDoubler doubler 0\n140\n}\n");
  std::rename(dir.file("t.tst").c_str(), dir.file("next.ist").c_str());
  o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        b.Read_initial_state_file("next.ist");
        return b.Current_time() == 140 && b.el.Current_time() == 140 && b.el.mark == 140 ? 0 : 1;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST(TotalSystemFiles, NestedSubSystemsWriteAndReadTheirBlocks) {
  cli::Folder dir;
  write_file(dir.file("t.pmt"), "sys 0\n{\nSub_system inner 0\n{\nDoubler d1 0\n3\n}\nDoubler d2 0\n4\n}\n");
  write_file(dir.file("t.ist"), "sys 0\n10\n{\ninner 0\n10\n{\nd1 0\n1\n}\nd2 0\n2\n}\n");
  write_file(dir.file("t.tst"), "old\n");
  cli::Result o = ftest::run(
      [] {
        Nested_basin b;
        build(b);
        b.Read_parameter_file("t.pmt");
        b.Read_initial_state_file("t.ist");
        if (b.inner.d1.factor != 3 || b.d2.factor != 4) return 1;
        if (b.inner.d1.mark != 1 || b.d2.mark != 2 || b.inner.Current_time() != 10) return 2;
        b.Write_terminal_state("t.tst");
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("t.tst")),
            "# terminal state of sys \n# current_time = 10 \n# \n"
            "Total_system sys 0 \n10\n{\nSub_system inner 0 \n10\n{\nDoubler d1 0\n10\n}\n\nDoubler d2 0\n10\n}\n");
}

// A system with an iterator set: its member "m" stands after the components
// in every file, each block after an empty line, and is found by its header
// like a component.
class Member : public Doubler {
 public:
  Member() : Doubler(10, "m") {}
  Time Calculate_iteration_step() override { return 10; }
};

class Set_basin : public Total_system {
 public:
  Set_basin() : in("in.dat"), out("out.dat", 0), out_m("out_m.dat", 0), el(10) { Init("sys", 0, 1); }
  int Register_input_ports() override { return Register(&in); }
  int Register_output_ports() override { return Register(&out) && Register(&out_m); }
  int Register_components() override { return Register(&el); }
  int Register_iterators() override { return Register(1, {&m}); }
  int Connect_ports() override {
    Connect(&in, &el, "rp", 0);
    Connect(&in, &m, "rp", 0);
    Connect(&el, "sp", 0, &out);
    Connect(&m, "sp", 0, &out_m);
    return 1;
  }
  int Connect_components() override { return 1; }
  I_file<double> in;
  O_file<double> out;
  O_file<double> out_m;
  Doubler el;
  Member m;
};

TEST(TotalSystemFiles, IteratorSetMembersFollowTheComponents) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 100));
  write_file(dir.file("t.pmt"), "sys\n{\nm 0\n1.5\ndoubler 0\n2.5\n}\n");
  write_file(dir.file("t.ist"), "sys 0\n30\n{\nDoubler m 0\n5\nDoubler doubler 0\n6\n}\n");
  cli::Result o = ftest::run(
      [] {
        Set_basin b;
        if (!build(b)) return 1;
        b.Read_parameter_file("t.pmt");
        b.Read_initial_state_file("t.ist");
        if (b.m.factor != 1.5 || b.el.factor != 2.5 || b.m.mark != 5 || b.el.mark != 6) return 2;
        if (b.Current_time() != 30 || b.m.Current_time() != 30) return 3;
        b.Initial_work();
        b.Write_terminal_state("t.tst");
        b.Write_send_port_stock("t.tsd");
        // Both read back into a fresh system give the same files again.
        Set_basin c;
        if (!build(c)) return 4;
        c.Read_initial_state_file("t.tst");
        if (c.m.mark != 30 || c.el.mark != 30 || c.Current_time() != 30) return 5;
        if (c.Read_send_port_file("t.tsd") != 1) return 6;
        c.m.sp.Set_data_pack_array();
        if (c.m.sp.Number_of_data_packs() != 1) return 7;
        c.Write_terminal_state("again.tst");
        c.Write_send_port_stock("again.tsd");
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string tst = read_file(dir.file("t.tst"));
  EXPECT_EQ(tst,
            "# terminal state of sys \n# current_time = 30 \n# \n"
            "Total_system sys 0 \n30\n{\nDoubler doubler 0\n30\n\nDoubler m 0\n30\n}\n");
  EXPECT_EQ(read_file(dir.file("again.tst")), tst);
  const std::string tsd = read_file(dir.file("t.tsd"));
  EXPECT_NE(
      tsd.find(")\n{\nDoubler doubler 0 (\n(0) # send_ports number\n(1) # number_of_data_packs\n\n(30)\n(7.5)\n)\n"
               "Doubler m 0 (\n(0) # send_ports number\n(1) # number_of_data_packs\n\n(30)\n(4.5)\n)\n}\n"),
      std::string::npos)
      << tsd;
  EXPECT_EQ(read_file(dir.file("again.tsd")), tsd);
}

TEST(TotalSystemFiles, TerminalStateFileThatCannotBeCreated) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  Basin b(10);
  int r = 1;
  std::string err = qtest::stderr_of([&] { r = b.Write_terminal_state(dir.file("no/dir/t.tst").c_str()); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(err, "E : total.cpp : 386 : Cannot open file '" + dir.file("no/dir/t.tst") +
                     "' (mode \"w\").\n    Total_system sys 0\n");
  err = qtest::stderr_of([&] { r = b.Write_send_port_stock(dir.file("no/dir/t.tsd").c_str()); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(err, "E : total.cpp : 404 : Cannot open file '" + dir.file("no/dir/t.tsd") +
                     "' (mode \"w\").\n    Total_system sys 0\n");
}

// A doubler that reads its own start time from its initial-state line, as
// a model element does; its terminal state is that time.
class Clocked : public Doubler {
 public:
  Clocked() : Doubler(10) { class_name = "Clocked"; }
  int Set_initial_state(FILE* f) override { return std::fscanf(f, "%d", &current_time) == 1; }
};

// A component that starts later than its system would never be reached by
// the system's time: the initial-state file is refused with both times.
TEST(TotalSystemFiles, ComponentStartingAfterTheSystemIsRefused) {
  qtest::Qavlensdir none(nullptr);
  struct Case {
    const char* text;
    int status;
    std::string err;
  } cases[] = {
      {"sys 0\n0\n{\ndoubler 0\n7200\n}\n", 1,
       "E : total.cpp : 372 : In t.ist the system sys 0 starts at 0, its component doubler 0 at 7200.\n"
       "    Clocked doubler 0\n        owner > Total_system sys 0\n"},
      {"sys 0\n7200\n{\ndoubler 0\n7200\n}\n", 0, ""},
      {"sys 0\n7200\n{\ndoubler 0\n0\n}\n", 0, ""},  // behind: it catches up
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("t.ist"), k.text);
    cli::Result o = ftest::run(
        [] {
          Basin_with<Clocked> b;
          if (!build(b)) return 99;
          b.Read_initial_state_file("t.ist");
          return 0;
        },
        dir.path());
    EXPECT_EQ(o.status, k.status) << k.text;
    EXPECT_EQ(o.err, k.err) << k.text;
  }
}

// An element that writes a file of its own with its terminal state, and
// fails to when told so.
class Filer : public Doubler {
 public:
  Filer() : Doubler(10) { class_name = "Filer"; }
  int Save_terminal_state(FILE* f) override {
    Doubler::Save_terminal_state(f);
    write_file("own.dat", "written\n");
    return fail ? 0 : 1;
  }
  bool fail = false;
};

using Filer_basin = Basin_with<Filer>;

// Every output of the run that could not be created or written makes the
// exit status 1, and the other outputs are still written: the terminal
// state, the stock, a component's own terminal file, an output file port.
TEST(TotalSystemFiles, OutputsThatCannotBeWrittenGiveExitStatus1) {
  qtest::Qavlensdir none(nullptr);
  const std::string sys = "    Total_system sys 0\n";
  struct Case {
    const char* name;
    std::function<int(Filer_basin&)> write;  // the result of the writing
    int result;
    int exit_status;
    std::string err;
  } cases[] = {
      {"all written", [](Filer_basin& b) { return b.Write_terminal_state("t.tst") + b.Write_send_port_stock("t.tsd"); },
       2, 0, ""},
      {"terminal state on a full disk", [](Filer_basin& b) { return b.Write_terminal_state("/dev/full"); }, 0, 1,
       "E : total.cpp : 392 : Cannot write file '/dev/full'.\n" + sys},
      {"stock on a full disk", [](Filer_basin& b) { return b.Write_send_port_stock("/dev/full"); }, 0, 1,
       "E : total.cpp : 408 : Cannot write file '/dev/full'.\n" + sys},
      {"stock not created", [](Filer_basin& b) { return b.Write_send_port_stock("no/t.tsd"); }, 0, 1,
       "E : total.cpp : 404 : Cannot open file 'no/t.tsd' (mode \"w\").\n" + sys},
      // The component's own file is still written when the terminal-state
      // file cannot be created.
      {"terminal state not created", [](Filer_basin& b) { return b.Write_terminal_state("no/t.tst"); }, 0, 1,
       "E : total.cpp : 386 : Cannot open file 'no/t.tst' (mode \"w\").\n" + sys},
      {"component's file",
       [](Filer_basin& b) {
         b.element.fail = true;
         return b.Write_terminal_state("t.tst");
       },
       0, 1, ""},
  };
  for (const Case& c : cases) {
    cli::Folder dir;
    cli::Result o = ftest::run(
        [&] {
          Filer_basin b;
          if (!build(b)) return 99;
          return 10 * c.write(b) + b.Exit_status();
        },
        dir.path());
    EXPECT_EQ(o.status, 10 * c.result + c.exit_status) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    EXPECT_EQ(read_file(dir.file("own.dat")), std::string(c.name).find("stock") == std::string::npos ? "written\n" : "")
        << c.name;
  }
  // A terminal state whose component failed is still written whole.
  cli::Folder dir;
  ftest::run(
      [] {
        Filer_basin b;
        build(b);
        b.element.fail = true;
        return b.Write_terminal_state("t.tst");
      },
      dir.path());
  EXPECT_EQ(read_file(dir.file("t.tst")),
            "# terminal state of sys \n# current_time = 0 \n# \nTotal_system sys 0 \n0\n{\nFiler doubler 0\n0\n}\n");
}

// An output file port whose file cannot be written or created: the run
// goes on, its other outputs are written, and the exit status is 1.
TEST(TotalSystemWork, OutputFileThatCannotBeWrittenGivesExitStatus1) {
  qtest::Qavlensdir none(nullptr);
  for (bool full : {true, false}) {
    cli::Folder dir;
    write_file(dir.file("in.dat"), series(0, 200));
    if (full)
      ASSERT_EQ(symlink("/dev/full", dir.file("out.dat").c_str()), 0);
    else
      std::filesystem::create_directory(dir.file("out.dat"));
    cli::Result o = ftest::run(
        [] {
          Basin b(10);
          if (!build(b)) return 99;
          b.Initial_time(0);
          b.Initial_work();
          int r = b.Work();
          b.Write_terminal_state("t.tst");
          return 10 * r + b.Exit_status();
        },
        dir.path(), "50\n50\ny\n");
    EXPECT_EQ(o.status, 11) << full;
    const std::string desc =
        "    Input_file : O_file<double> out.dat \n      output < Send<double> sp 0 \n"
        "      output <     owner > Doubler doubler 0\n      output <     owner >> Total_system sys 0\n";
    EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n" +
                         (full ? "E : output_f.cpp : 90 : Cannot write file 'out.dat'.\n" + desc +
                                     "E : output_f.cpp : 90 : Cannot write file 'out.dat'.\n" + desc
                               : "E : output_f.cpp : 30 : Cannot open file 'out.dat' (mode \"w\").\n" + desc +
                                     "E : p_tmp.cpp : 574 : Cannot open file 'out.dat' (mode \"a\").\n" + desc))
        << full;
    EXPECT_EQ(
        read_file(dir.file("t.tst")),
        "# terminal state of sys \n# current_time = 50 \n# \nTotal_system sys 0 \n50\n{\nDoubler doubler 0\n50\n}\n");
  }
}

// A terminal-state or stock file that reaches a file-size limit replaces
// nothing: the earlier file of its name stays as it was, and no
// half-written or temporary file is left.
TEST(TotalSystemFiles, FilesCutByASizeLimitAreTakenBackWhole) {
  const std::set<std::string> kTwo{"t.tst", "t.tsd"};
  cli::Folder dir;
  const std::string tst = dir.file("t.tst");
  const std::string tsd = dir.file("t.tsd");
  write_file(tsd, "the earlier stock\n");
  EXPECT_EXIT(
      {
        qtest::Qavlensdir none(nullptr);
        Basin b(10);
        build(b);
        for (Long t = 0; t <= 2000; t += 10) b.el.sp.Send_data(t, t / 3.0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 1000;  // the terminal state fits, the stock does not
        setrlimit(RLIMIT_FSIZE, &small);
        int r = b.Write_terminal_state(tst.c_str());
        r += 10 * b.Write_send_port_stock(tsd.c_str());
        const std::string whole =
            "# terminal state of sys \n# current_time = 0 \n# \nTotal_system sys 0 \n0\n{\nDoubler doubler 0\n0\n}\n";
        bool ok = r == 1 && read_file(tst) == whole && read_file(tsd) == "the earlier stock\n" && dir.entries() == kTwo;
        std::exit(ok && b.Exit_status() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "^E : total.cpp : 408 : Cannot write file '[^']*t.tsd'.\n    Total_system sys 0\n$");
}

// A send port that holds empty texts: the stock file written with them is
// read back into the same packs, and written again unchanged; the port
// after them is read from the right item.
class Texter : public qtest::Plain_element {
 public:
  Texter() : text("text", 0), number("number", 0) {
    class_name = "Texter";
    Init("texter", 0, 0, nullptr);
  }
  int Register_send_ports() override { return Register(&text) && Register(&number); }
  Send<QavlenString> text;
  Send<double> number;
};

class Text_system : public Total_system {
 public:
  Text_system() : out_text("text.out", 0), out_number("number.out", 0) { Init("sys", 0, 0); }
  int Register_input_ports() override { return 1; }
  int Register_output_ports() override { return Register(&out_text) && Register(&out_number); }
  int Register_components() override { return Register(&texter); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&texter, "text", 0, &out_text);
    Connect(&texter, "number", 0, &out_number);
    return 1;
  }
  int Connect_components() override { return 1; }
  O_file<QavlenString> out_text;
  O_file<double> out_number;
  Texter texter;
};

TEST(TotalSystemStock, EmptyTextsRoundTrip) {
  cli::Folder dir;
  cli::Result o = ftest::run(
      [] {
        Text_system a;
        if (!build(a)) return 99;
        a.texter.text.Send_data(10, QavlenString(""));
        a.texter.text.Send_data(20, QavlenString("two words"));
        a.texter.text.Send_data(30, QavlenString(""));
        a.texter.number.Send_data(30, 0.5);
        a.Write_send_port_stock("t.tsd");
        Text_system b;
        if (!build(b)) return 98;
        if (b.Read_send_port_file("t.tsd") != 1) return 1;
        b.texter.text.Set_data_pack_array();
        b.texter.number.Set_data_pack_array();
        Data_pack* const* packs = nullptr;
        int n = 0;
        b.texter.text.Get_data_pack_array(packs, n);
        if (n != 3) return 2;
        std::string seen;
        for (int k = 0; k < n; ++k)
          seen += std::to_string(packs[k]->Data_time()) + "[" +
                  static_cast<Data<QavlenString>*>(packs[k])->Value().c_str() + "]";
        if (seen != "10[]20[two words]30[]") return 3;
        b.texter.number.Get_data_pack_array(packs, n);
        if (n != 1 || packs[0]->Data_time() != 30 || value_of(packs[0]) != 0.5) return 4;
        b.Write_send_port_stock("again.tsd");
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string tsd = read_file(dir.file("t.tsd"));
  EXPECT_EQ(tsd,
            "# Send_port data of sys \n# current_time = 0 \n# \n{\nTexter texter 0 (\n"
            "(0) # send_ports number\n(3) # number_of_data_packs\n\n(10)\n(\n)\n\n(20)\n(two words)\n\n(30)\n(\n)\n"
            "(1) # send_ports number\n(1) # number_of_data_packs\n\n(30)\n(0.5)\n)\n}\n");
  EXPECT_EQ(read_file(dir.file("again.tsd")), tsd);
}

// ---- send-port stock files ----

std::string stock_block(int from, int to, int step, int div) {
  std::string text;
  for (int t = from; t <= to; t += step) text += "\n(" + std::to_string(t) + ")\n(" + std::to_string(t / div) + ")\n";
  return text;
}

// A run writes its stock; the next run starts from it: the restored packs
// are the ones the receivers need from before the start time.
TEST(TotalSystemStock, WrittenStockIsReadBackUnchangedAndUsed) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        b.Read_send_port_file("tmorvelan2d.isd");  // none yet: nothing happens
        b.Initial_time(0);
        b.Initial_work();
        b.Work();
        b.Write_terminal_state("t.tst");
        b.Write_send_port_stock("t.tsd");
        return 0;
      },
      dir.path(), "100 30 y\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "File: in.dat  newest data time : 200\n");
  std::string tsd = read_file(dir.file("t.tsd"));
  EXPECT_EQ(
      tsd,
      "# Send_port data of sys \n# current_time = 120 \n# \n"
      "Total_system sys 0 (\n(0) # send_ports number\n(9) # number_of_data_packs\n" +
          stock_block(120, 200, 10, 10) +
          ")\n{\nDoubler doubler 0 (\n(0) # send_ports number\n(1) # number_of_data_packs\n\n(120)\n(24)\n)\n}\n");

  std::rename(dir.file("t.tsd").c_str(), dir.file("t.isd").c_str());
  std::rename(dir.file("t.tst").c_str(), dir.file("t.ist").c_str());
  o = ftest::run(
      [] {
        Basin b(10);
        build(b);
        b.Read_initial_state_file("t.ist");
        if (b.Read_send_port_file("t.isd") != 1) return 1;
        b.Write_send_port_stock("again.tsd");
        b.Initial_work();
        b.Work();
        return 0;
      },
      dir.path(), "50 50 y\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read_file(dir.file("again.tsd")), tsd);
  // The doubler's restored value at 120 starts the new output.
  EXPECT_EQ(read_file(dir.file("out.dat")), header + doubled(120, 170));
}

TEST(TotalSystemStock, NestedBracesKeepTheirScopes) {
  cli::Folder dir;
  write_file(dir.file("in.dat"), series(0, 200));
  cli::Result o = ftest::run(
      [] {
        Nested_basin b;
        build(b);
        b.Initial_time(0);
        b.Initial_work();
        b.Work();
        b.Write_send_port_stock("t.tsd");
        Nested_basin c;
        build(c);
        c.Initial_time(40);
        if (c.Read_send_port_file("t.tsd") != 1) return 1;
        c.Write_send_port_stock("again.tsd");
        return 0;
      },
      dir.path(), "40 40 y\n");
  EXPECT_EQ(o.status, 0) << o.err;
  std::string tsd = read_file(dir.file("t.tsd"));
  EXPECT_NE(tsd.find(")\n{\nSub_system inner 0\n{\nDoubler d1 0 (\n"), std::string::npos) << tsd;
  EXPECT_NE(tsd.find(")\n}\nDoubler d2 0 (\n"), std::string::npos) << tsd;
  EXPECT_EQ(read_file(dir.file("again.tsd")), tsd);
}

TEST(TotalSystemStock, CheckOfTheBrackets) {
  qtest::Qavlensdir none(nullptr);
  Basin b(10);
  struct Case {
    const char* text;
    int position;  // 0: accepted
    int line;
  } cases[] = {
      {"a b 0 (\n(1)\n)\n{\nc d 0 ( (2) )\n}\n", 0, 0},
      {"# only ) comments ( {\n", 0, 0},
      {"", 0, 0},
      {"x y 0 (a\\)b\\(c)\n", 0, 0},                   // escaped brackets belong to the item
      {"x y 0 (a\\) b)\n{ z w 0 (\\(\\() }\n", 0, 0},  // also when they do not pair
      {"x y 0 (a))\n", 102, 1},
      {"x y 0 (\n{\n)\n", 109, 2},
      {"x y 0 (\n\n})\n", 116, 3},
      {"x y 0 ()\n}\n", 120, 2},
      {"{\nx y 0 ()\n", 143, 3},
      {"x y 0 (\n(1)\n", 148, 3},
  };
  for (const Case& k : cases) {
    FILE* fp = std::tmpfile();
    std::fputs(k.text, fp);
    std::fseek(fp, 3, SEEK_SET);
    long here = std::ftell(fp);
    int r = -1;
    std::string err = qtest::stderr_of([&] { r = b.Check_data_file(fp, "f.isd"); });
    EXPECT_EQ(std::ftell(fp), here) << k.text;  // the position is kept
    std::fclose(fp);
    if (k.position == 0) {
      EXPECT_EQ(r, 1) << k.text;
      EXPECT_EQ(err, "") << k.text;
    } else {
      EXPECT_EQ(r, 0) << k.text;
      EXPECT_EQ(err, "E : total.cpp : " + std::to_string(k.position) + " : \n\tAt f.isd " + std::to_string(k.line) +
                         " \n    Total_system sys 0\n")
          << k.text;
    }
  }
}

// Grammar errors stop the reading with "TROUBLE: " on the standard output;
// what was delivered before stays delivered.
TEST(TotalSystemStock, GrammarErrorsStopTheReading) {
  qtest::Qavlensdir none(nullptr);
  const std::string sys = "    Total_system sys 0\n";
  const std::string good = "Doubler doubler 0 (\n(0)\n(1)\n\n(5)\n(0.5)\n)\n";
  struct Case {
    std::string text;
    std::string err;
    int restored;  // packs the doubler holds afterwards
    Total_system::DataFileContent kind = Total_system::SDPDATA;
  } cases[] = {
      // A parameter-kind file: the blocks are delivered and released. The
      // comment inside the single item hides its closing bracket from the
      // check, not from the reader.
      {good + "Doubler doubler 0 (a # )\n)\n", "E : total.cpp : 232 : \n" + sys, 0, Total_system::PARSET},
      {good + "Total_system sys 0{\n}\n", "E : total.cpp : 201 : \n" + sys, 1},
      {good + "Doubler doubler 0 ((1) x (2))\n", "\tAt f.isd : 8\nE : total.cpp : 209 : \n" + sys, 1},
      {good + "Total_system", "E : total.cpp : 239 : \n" + sys, 1},
      {good + "Total_system (x)\n", "E : total.cpp : 245 : \n" + sys, 1},
      {good + "Doubler nobody 0 (x)\n",
       "E : sub.cpp : 244 : \n\tAsked > 'Doubler' : 'nobody' : 0 :\n" + sys + "E : total.cpp : 258 : \n" + sys, 1},
      {"{\n" + good + "Total_system sys 0}\n", "E : total.cpp : 266 : \n" + sys, 1},
      // A two-word header takes number 0 and keeps its block.
      {"Doubler doubler\n(\n(0)\n(1)\n\n(5)\n(0.5)\n)\n", "", 1},
      {"# only comments\n", "", 0},
      // An escaped bracket of an item is data, for the check as for the reader.
      {"Doubler doubler 0 (a\\) b)\n", "", 0, Total_system::PARSET},
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    write_file(dir.file("f.isd"), k.text);
    Basin b(10);
    build(b);
    int r = -1;
    testing::internal::CaptureStdout();
    std::string err = qtest::stderr_of([&] { r = b.Deliver_data_string(dir.file("f.isd").c_str(), k.kind); });
    std::string out = testing::internal::GetCapturedStdout();
    std::string at = dir.file("f.isd");
    for (std::size_t p; (p = err.find(at)) != std::string::npos;) err.replace(p, at.size(), "f.isd");
    EXPECT_EQ(err, k.err) << k.text;
    EXPECT_EQ(out, k.err.empty() ? "" : "TROUBLE: ") << k.text;
    EXPECT_EQ(r, k.err.empty() ? 1 : 0) << k.text;
    b.el.sp.Set_data_pack_array();
    EXPECT_EQ(b.el.sp.Number_of_data_packs(), k.restored) << k.text;
  }
}

TEST(TotalSystemStock, MissingFiles) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  Basin b(10);
  build(b);
  int r = -1;
  std::string err = qtest::stderr_of([&] { r = b.Read_send_port_file(dir.file("none.isd").c_str()); });
  EXPECT_EQ(err, "");  // the stock file is optional
  EXPECT_EQ(r, 0);
  cli::Result o = ftest::run(
      [] {
        Basin c(10);
        build(c);
        c.Deliver_data_string("none.dat", Total_system::PARSET);
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "E : total.cpp : 168 : Cannot open file 'none.dat' (mode \"r\").\n    Total_system sys 0\n");
  // A file that fails the check is reported and not read.
  write_file(dir.file("bad.isd"), "Doubler doubler 0 (\n");
  err = qtest::stderr_of([&] { r = b.Read_send_port_file(dir.file("bad.isd").c_str()); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(err, "E : total.cpp : 148 : \n\tAt " + dir.file("bad.isd") +
                     " 2 \n    Total_system sys 0\n"
                     "E : total.cpp : 174 : \n    Total_system sys 0\n");
}

}  // namespace
