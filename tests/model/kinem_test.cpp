#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"
#include "input_f.h"
#include "kinem.h"
#include "output_f.h"
#include "sub.h"
#include "total.h"

namespace {

// ---- helpers ----------------------------------------------------------------

using qtest::file_text;
using qtest::Qavlensdir;
using qtest::Text_file;

// A source of upstream and lateral inflows given as functions of time: it
// sends their values at its start time and at the end of each of its steps.
class Inflow : public Element {
 public:
  Inflow(int nUp, int nLat, Long step)
      : up(static_cast<std::size_t>(nUp)), lat(static_cast<std::size_t>(nLat)), step_(step) {
    class_name = "Inflow";
    Init("src", 0, 0, nullptr);
    for (std::size_t i = 0; i < up.size(); ++i) up[i].Init("up", static_cast<int>(i));
    for (std::size_t i = 0; i < lat.size(); ++i) lat[i].Init("lat", static_cast<int>(i));
  }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override {
    for (Send<double>& p : up) Register(&p);
    for (Send<double>& p : lat) Register(&p);
    return 1;
  }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override {
    Send_at(current_time);
    return 1;
  }
  Time Calculate_time_step() override { return step_; }
  int Can_you_calculate() override { return 1; }
  int Calculate() override {
    Send_at(current_time + time_step);
    return 1;
  }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE*) override { return 1; }

  std::function<double(int, Long)> upstream = [](int, Long) { return 1.0; };
  std::function<double(int, Long)> lateral = [](int, Long) { return 0.0; };
  std::vector<Send<double>> up, lat;

 private:
  void Send_at(Long t) {
    for (std::size_t i = 0; i < up.size(); ++i) up[i].Send_data(t, upstream(static_cast<int>(i), t));
    for (std::size_t i = 0; i < lat.size(); ++i) lat[i].Send_data(t, lateral(static_cast<int>(i), t));
  }
  Long step_;
};

// Takes the channel's outflow every 600 s and keeps it.
class Sink : public Element {
 public:
  Sink() {
    class_name = "Sink";
    Init("sink", 0, 0, nullptr);
    rp.Init("rp", 0);
  }
  int Register_receive_ports() override { return Register(&rp); }
  int Register_send_ports() override { return 1; }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 600; }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override {
    Long t = current_time + time_step;
    got.push_back({t, rp.Get_data(t)});
    return 1;
  }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE*) override { return 1; }

  Receive<double> rp;
  std::vector<std::pair<Long, double>> got;
};

// A source, the channel and a sink, as a root system of the test's own.
class Channel_system : public Sub_system {
 public:
  Channel_system(int nUp, int nLat, Long source_step, bool with_sink = true)
      : src(nUp, nLat, source_step), kinem("ch", 0, nUp, nLat), with_sink_(with_sink) {
    Init("basin", 0, 0, 0, nullptr);
  }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override {
    Register(&src);
    Register(&kinem);
    if (with_sink_) Register(&sink);
    return 1;
  }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override {
    for (int i = 0; i < kinem.Number_of_upstream_ports(); ++i) Connect(&src, "up", i, &kinem, "rpu", i);
    for (int i = 0; i < kinem.Number_of_lateral_ports(); ++i) Connect(&src, "lat", i, &kinem, "rpl", i);
    if (with_sink_) Connect(&kinem, "sp", 0, &sink, "rp", 0);
    return 1;
  }
  Time Terminal_time() override { return LONG_MAX32; }
  Time MediumTermTargetTime() override { return target; }

  // Builds the tree, reads the channel's parameter and initial-state text
  // and does the initial work.
  void Start(Long t0, const std::string& parameters, const std::string& state) {
    ASSERT_EQ(Construct(), 1);
    ASSERT_EQ(Switch(), YES);
    ASSERT_EQ(Are_you_ready(), YES);
    ASSERT_EQ(Initial_time(t0), 1);
    Text_file p(parameters), s(state);
    ASSERT_EQ(kinem.Set_parameter(p.get()), 1);
    ASSERT_EQ(kinem.Set_initial_state(s.get()), 1);
    ASSERT_EQ(Do_initial_work(), E_DONE);
  }
  // Works up to t; returns what the channel printed.
  std::string Run_to(Long t) {
    target = t;
    testing::internal::CaptureStdout();
    while (Work() == 1) {
    }
    return testing::internal::GetCapturedStdout();
  }

  Inflow src;
  Kinem kinem;
  Sink sink;
  Long target = 0;

 private:
  bool with_sink_;
};

// Published (time, value) packs of a send port.
std::vector<std::pair<Long, double>> packs_of(Send<double>& sp) {
  Data_pack* const* array = nullptr;
  int n = 0;
  sp.Get_data_pack_array(array, n);
  std::vector<std::pair<Long, double>> v;
  for (int i = 0; i < n; ++i) v.push_back({array[i]->Data_time(), static_cast<Data<double>*>(array[i])->Value()});
  return v;
}

// length 1000 m, width 5 m, gradient 0.01, Manning 0.03, 4 divisions,
// step 300 s, theta as given; hydraulic radius R = 0.4 A ^ 0.5 everywhere.
std::string parameters(double theta = 0.7, int div = 4, Long dt = 300) {
  std::string s =
      "1000 5 0.01 0.03 " + std::to_string(div) + " " + std::to_string(dt) + " " + std::to_string(theta) + "\n";
  for (int i = 0; i <= div; ++i) s += "0.4 ";
  s += "\n";
  for (int i = 0; i <= div; ++i) s += "0.5 ";
  return s + "\n";
}

// ---- construction and ports -------------------------------------------------

TEST(Kinem, PortsAreNamedAndRegisteredUpstreamFirst) {
  Kinem k("ch", 3, 2, 3);
  EXPECT_STREQ(k.Class_name(), "Kinem");
  EXPECT_STREQ(k.Object_name(), "ch");
  EXPECT_EQ(k.Object_number(), 3);
  ASSERT_EQ(k.Construct(), 1);
  ASSERT_EQ(k.Number_of_receive_ports(), 5);
  const char* names[] = {"rpu", "rpu", "rpl", "rpl", "rpl"};
  const int numbers[] = {0, 1, 0, 1, 2};
  for (int i = 0; i < 5; ++i) {
    Port* p = k.Receive_port_at(i);
    EXPECT_STREQ(p->Class_name(), "Receive") << i;
    EXPECT_STREQ(p->Data_pack_type(), "double") << i;
    EXPECT_STREQ(p->Object_name(), names[i]) << i;
    EXPECT_EQ(p->Object_number(), numbers[i]) << i;
    EXPECT_EQ(p->Owner(), &k) << i;
  }
  ASSERT_EQ(k.Number_of_send_ports(), 1);
  EXPECT_EQ(k.Send_port_at(0), &k.Outflow_port());
  EXPECT_STREQ(k.Send_port_at(0)->Object_name(), "sp");
  EXPECT_EQ(k.Send_port_at(0)->Object_number(), 0);
}

TEST(Kinem, ChannelWithoutInflowPorts) {
  Kinem k("ch", 0, 0, 0);
  ASSERT_EQ(k.Construct(), 1);
  EXPECT_EQ(k.Number_of_receive_ports(), 0);
}

TEST(Kinem, InitFromAFileLine) {
  Kinem k;
  EXPECT_STREQ(k.Class_name(), "Kinem");
  Text_file f("1 2\n");
  EXPECT_EQ(k.Init("ch", 1, f.get()), 1);
  EXPECT_EQ(k.Number_of_upstream_ports(), 1);
  EXPECT_EQ(k.Number_of_lateral_ports(), 2);
  Element* e = k.NewElement();
  ASSERT_NE(dynamic_cast<Kinem*>(e), nullptr);
  EXPECT_EQ(e->Object_name(), nullptr);
  delete e;
}

// ---- parameters -------------------------------------------------------------

TEST(Kinem, ThetaOfOneIsAccepted) {
  Kinem k("ch", 0, 1, 0);
  Text_file f(parameters(1.0));
  EXPECT_EQ(k.Set_parameter(f.get()), 1);
  EXPECT_EQ(k.Calculate_time_step(), 300);
}

// ---- initial state ----------------------------------------------------------

TEST(Kinem, InitialStateOfTimeOnlyGivesALinearProfile) {
  Channel_system s(1, 2, 300);
  s.src.upstream = [](int, Long) { return 2.0; };
  s.src.lateral = [](int i, Long) { return i == 0 ? 1.0 : 3.0; };
  s.Start(1200, parameters(), "# start\n\n1200\n");
  const std::vector<double>& q = s.kinem.Discharges();
  ASSERT_EQ(q.size(), 5u);
  for (int i = 0; i <= 4; ++i) EXPECT_DOUBLE_EQ(q[static_cast<std::size_t>(i)], 2.0 + 4.0 * i / 4) << i;
  EXPECT_EQ(s.kinem.Current_time(), 1200);
  // The first outflow is sent at the start time, with its comment.
  EXPECT_EQ(packs_of(s.kinem.Outflow_port()), (std::vector<std::pair<Long, double>>{{1200, 6.0}}));
  std::unique_ptr<char[]> comment = s.kinem.Outflow_port().Get_comment_string();
  ASSERT_TRUE(comment);
  EXPECT_STREQ(comment.get(), "time(sec) discharge(m**3/sec)");
}

TEST(Kinem, InitialStateWithNodeDischarges) {
  Channel_system s(1, 0, 300);
  s.Start(600, parameters(), "600 4\n0.5 0.6 0.7 0.8 0.9\n");
  EXPECT_EQ(s.kinem.Discharges(), (std::vector<double>{0.5, 0.6, 0.7, 0.8, 0.9}));
  EXPECT_EQ(packs_of(s.kinem.Outflow_port()), (std::vector<std::pair<Long, double>>{{600, 0.9}}));
}

TEST(Kinem, InitialOutputWaitsForItsInflows) {
  Kinem k("ch", 0, 1, 0);
  Send<double> up("up", 0);
  ASSERT_EQ(k.Construct(), 1);
  ASSERT_EQ(up.Register_receiver(&k.Upstream_port(0)), YES);
  ASSERT_EQ(k.Upstream_port(0).Set_sender(&up), YES);
  ASSERT_EQ(up.Switch(), YES);
  ASSERT_EQ(k.Switch(), YES);
  Text_file p(parameters()), st("0\n");
  k.Set_parameter(p.get());
  k.Set_initial_state(st.get());
  EXPECT_EQ(k.Initial_output(), NO);  // nothing published yet
  up.Send_data(0, 1.5);
  up.Set_data_pack_array();
  EXPECT_EQ(k.Initial_output(), YES);
  EXPECT_DOUBLE_EQ(k.Discharges()[4], 1.5);
}

// ---- refusals and checks ------------------------------------------------------

// A channel "ch" read from the folder as an application reads one: its
// number and then its counts of upstream and lateral ports ("ch.ports",
// the counts read by Init from the file), its parameter lines ("ch.pmt")
// and its initial-state lines ("ch.ist") when the folder holds them, then
// its initial output.
int Channel() {
  FILE* ports = std::fopen("ch.ports", "r");
  int number = 0;
  if (!ports || std::fscanf(ports, "%d", &number) != 1) return 99;
  Kinem k;
  k.Init("ch", number, ports);
  std::fclose(ports);
  if (FILE* p = std::fopen("ch.pmt", "r")) {
    k.Set_parameter(p);
    std::fclose(p);
  }
  if (FILE* s = std::fopen("ch.ist", "r")) {
    const int read = k.Set_initial_state(s);
    std::fclose(s);
    if (read != 1) return 98;
  }
  return k.Initial_output() == YES ? 0 : 97;
}

// A channel of the given number and ports.
cli::Case Ch(const std::string& name, const std::string& ports) { return cli::Case(name).file("ch.ports", ports); }

// The error stream of a report without its explanation: the position, the
// channel's description.
cli::Case Reported(cli::Case c, int position, const std::string& description) {
  return c.status(1).err("E : kinem.cpp : " + std::to_string(position) + " : \n    " + description + "\n");
}
cli::Case Checked(cli::Case c, const std::string& condition) {
  return c.status(cli::kAbort).err(ftest::failed_check("kinem.cpp", condition));
}
// The reports with their explanation, which follows the report line.
cli::Case Explained(cli::Case c, int position, const std::string& explanation) {
  return c.env("QAVLENSDIR", qtest::explain_dir())
      .status(1)
      .err(cli::starts_with("E : kinem.cpp : " + std::to_string(position) + " : \n    " + explanation));
}

// Each row in a folder of its own; the reports are not explained unless
// the row sets QAVLENSDIR.
class KinemRead : public testing::TestWithParam<cli::Case> {};

TEST_P(KinemRead, AsTheRowSays) {
  Qavlensdir none(nullptr);
  cli::Folder d;
  ftest::check(Channel, d, GetParam());
}

std::string RowName(const testing::TestParamInfo<cli::Case>& info) { return info.param.name(); }

const std::string kOneUp = "0 1 0\n";

// A state line of 3 divisions for a channel of 4.
cli::Case OtherDivisions(const std::string& name) {
  return Ch(name, kOneUp).file("ch.pmt", parameters()).file("ch.ist", "600 3\n1 1 1 1\n");
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, KinemRead,
    testing::Values(
        // The ports are counted before the channel is named.
        Reported(Ch("negative_upstream_ports", "0 -1 0\n"), 46, "Kinem (null) 0"),
        Reported(Ch("negative_lateral_ports", "0 0 -2\n"), 64, "Kinem (null) 0"),
        Checked(Ch("one_port_count", "0 1\n"), "fscanf(fp, \"%d %d\", &wNumUpInflow, &wNumLateral) == 2"),
        Reported(Ch("short_parameter_line", "2 1 0\n").file("ch.pmt", "1000 5 0.01 0.03 4 300\n"), 99, "Kinem ch 2"),
        Reported(OtherDivisions("initial_state_of_other_divisions"), 176, "Kinem ch 0"),
        Reported(Ch("initial_state_without_a_time", kOneUp)
                     .file("ch.pmt", parameters())
                     .file("ch.ist", "# no time here\nstart\n"),
                 191, "Kinem ch 0"),
        Checked(Ch("initial_state_short_of_node_discharges", kOneUp)
                    .file("ch.pmt", parameters())
                    .file("ch.ist", "600 4\n1 1 1\n"),
                "std::fscanf(fp, \"%lf\", &mQc[i]) == 1"),
        // A channel whose parameters were never read (no block for it in
        // the parameter file) has no nodes to route: its initial output
        // ends the program instead of writing past its empty node arrays,
        // also after a state line of zero divisions, which matches the
        // unread parameters.
        Reported(Ch("initial_output_without_parameters", "1 0 0\n").file("ch.ist", "600 0\n2.5\n"), 230, "Kinem ch 1"),
        Explained(OtherDivisions("initial_state_of_other_divisions_explained"), 176,
                  "The initial state of the channel element"),
        Explained(Ch("initial_output_without_parameters_explained", "0 0 0\n"), 230,
                  "The channel element has no parameters")),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    ParameterChecks, KinemRead,
    testing::Values(
        Checked(Ch("length", kOneUp).file("ch.pmt", "0 5 0.01 0.03 4 300 0.7"), "mL > 0.0"),
        Checked(Ch("width", kOneUp).file("ch.pmt", "1000 0 0.01 0.03 4 300 0.7"), "mB > 0.0"),
        Checked(Ch("gradient", kOneUp).file("ch.pmt", "1000 5 -0.01 0.03 4 300 0.7"), "mG > 0.0"),
        Checked(Ch("manning", kOneUp).file("ch.pmt", "1000 5 0.01 0 4 300 0.7"), "mMan > 0.0"),
        Checked(Ch("divisions", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 0 300 0.7"), "mDiv > 0"),
        Checked(Ch("step", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 4 -300 0.7"), "mDt > 0"),
        Checked(Ch("theta_of_one_half", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 4 300 0.5"),
                "0.5 < mTheta && mTheta <= 1.0"),
        Checked(Ch("theta_above_one", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 4 300 1.01"),
                "0.5 < mTheta && mTheta <= 1.0"),
        // Fewer node values than nodes.
        Checked(Ch("short_of_radius_factors", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 4 300 0.7\n0.4 0.4 0.4 0.4"),
                "std::fscanf(fp, \"%lf\", &mK[i]) == 1"),
        Checked(Ch("short_of_radius_exponents", kOneUp).file("ch.pmt", "1000 5 0.01 0.03 1 300 0.7\n0.4 0.4 0.5"),
                "std::fscanf(fp, \"%lf\", &mZ[i]) == 1")),
    RowName);

// In a system, the description names the owner too.
TEST(KinemRefusal, InitialWorkWithoutParametersNamesTheOwner) {
  Qavlensdir none(nullptr);
  cli::Folder d;
  ftest::check(
      [] {
        Channel_system s(1, 1, 300, false);
        if (s.Construct() != 1 || s.Switch() != YES || s.Are_you_ready() != YES || s.Initial_time(600) != 1) return 99;
        s.Do_initial_work();
        return 0;
      },
      d,
      cli::Case("in a system")
          .status(1)
          .err("E : kinem.cpp : 230 : \n    Kinem ch 0\n        owner > Sub_system basin 0\n"));
}

// ---- stepping ---------------------------------------------------------------

TEST(Kinem, OutflowIsSentOnlyAtMultiplesOf600Seconds) {
  Channel_system s(1, 1, 150, false);
  s.src.upstream = [](int, Long) { return 1.5; };
  s.src.lateral = [](int, Long) { return 0.5; };
  s.Start(0, parameters(0.7, 4, 450), "0\n");
  std::string out = s.Run_to(3600);
  std::vector<Long> times;
  for (const auto& p : packs_of(s.kinem.Outflow_port())) times.push_back(p.first);
  EXPECT_EQ(times, (std::vector<Long>{0, 1800, 3600}));
  EXPECT_EQ(s.kinem.Current_time(), 3600);
  // One progress line per step: "[name number] time : outflow".
  EXPECT_EQ(out,
            "[ch 0] 450 : 2.000000\n[ch 0] 900 : 2.000000\n[ch 0] 1350 : 2.000000\n"
            "[ch 0] 1800 : 2.000000\n[ch 0] 2250 : 2.000000\n[ch 0] 2700 : 2.000000\n"
            "[ch 0] 3150 : 2.000000\n[ch 0] 3600 : 2.000000\n");
}

TEST(Kinem, SteadyStateOutflowIsTheTotalInflow) {
  Channel_system s(2, 2, 200);
  s.src.upstream = [](int i, Long) { return i == 0 ? 1.5 : 0.5; };
  s.src.lateral = [](int i, Long) { return i == 0 ? 2.0 : 1.0; };
  // Start nearly dry.
  s.Start(0, parameters(0.6), "0 4\n0.01 0.01 0.01 0.01 0.01\n");
  s.Run_to(6 * 3600);
  ASSERT_EQ(s.sink.got.size(), 36u);
  EXPECT_EQ(s.sink.got.front().first, 600);
  EXPECT_LT(s.sink.got.front().second, 5.0);
  EXPECT_NEAR(s.sink.got.back().second, 5.0, 1e-9);
  EXPECT_EQ(s.sink.got.back().first, 6 * 3600);
  const std::vector<double>& q = s.kinem.Discharges();
  EXPECT_NEAR(q[0], 2.0, 1e-12);
  for (std::size_t i = 0; i < q.size(); ++i) EXPECT_NEAR(q[i], 2.0 + 3.0 * static_cast<double>(i) / 4, 1e-9) << i;
  // The sink's reading lets the channel release what it has sent.
  EXPECT_EQ(s.kinem.Outflow_port().Oldest_data_time(), 6 * 3600);
}

// One step of a single-piece reach with theta 1 and no lateral inflow,
// against the scheme written out by hand: the wave speed is the mean of
// dQ/dA for the old discharge and for the mean of old and new inflow.
TEST(Kinem, OneStepOfTheScheme) {
  Channel_system s(1, 0, 300, false);
  s.src.upstream = [](int, Long t) { return t == 0 ? 1.0 : 3.0; };
  s.Start(0, "200 4 0.05 0.04 1 300 1.0\n0.3 0.3\n0.6 0.6\n", "0 1\n1.0 1.0\n");
  s.Run_to(300);
  const double g = std::sin(std::atan(0.05));
  const double alpha = std::sqrt(g) * std::pow(0.3, 0.666667) * (1 / 0.04);
  const double m = 0.6 * 0.666667 + 1;
  auto speed = [&](double q) { return m * std::pow(alpha, 1 / m) * std::pow(q, (m - 1) / m); };
  const double c = (speed(1.0) + speed(2.0)) / 2;  // Qe = max(1, (1 + 3) / 2)
  const double dt = 300, dx = 200;
  const double want = (c * dt / dx * 3.0 + 1.0) / (1 + dt * c / dx);
  ASSERT_EQ(s.kinem.Discharges().size(), 2u);
  EXPECT_EQ(s.kinem.Discharges()[0], 3.0);
  // Far closer than the difference that 2/3 in place of 0.666667 makes.
  EXPECT_NEAR(s.kinem.Discharges()[1], want, 1e-12 * want);
}

TEST(Kinem, NegativeUpstreamSumCountsAsNoInflow) {
  Channel_system s(2, 0, 300, false);
  s.src.upstream = [](int i, Long) { return i == 0 ? 1.0 : -4.0; };
  s.Start(0, parameters(), "0 4\n1 1 1 1 1\n");
  s.Run_to(300);
  EXPECT_EQ(s.kinem.Discharges()[0], 0.0);
}

TEST(Kinem, NegativeDischargeIsWarnedAndSetToZero) {
  Qavlensdir none(nullptr);
  Channel_system s(1, 1, 300, false);
  s.src.upstream = [](int, Long) { return 1.0; };
  s.src.lateral = [](int, Long) { return -50.0; };
  s.Start(0, parameters(1.0), "0 4\n1 1 1 1 1\n");
  std::string out;
  testing::internal::CaptureStderr();
  out = s.Run_to(300);
  std::string err = testing::internal::GetCapturedStderr();
  // Every node below the upper end goes dry: four warnings.
  std::string w = "W : kinem.cpp : 340 : \n";
  std::string all;
  for (int i = 0; i < 4; ++i) all += w;
  EXPECT_EQ(err, all);
  const std::string line = "[ch 0] 300, mQln : -0.050000, wUpInflow : 1.000000, mQn : -";
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    at = out.find(line, at);
    ASSERT_NE(at, std::string::npos) << out;
    at = out.find('\n', at);
  }
  EXPECT_EQ(out.substr(at + 1), "[ch 0] 300 : 0.000000\n");
  EXPECT_EQ(s.kinem.Discharges(), (std::vector<double>{1.0, 0, 0, 0, 0}));
}

// ---- terminal state ---------------------------------------------------------

TEST(Kinem, TerminalStateIsReadBackAsTheInitialState) {
  Channel_system s(1, 1, 300, false);
  s.src.upstream = [](int, Long t) { return 1.0 + t / 3600.0; };
  s.src.lateral = [](int, Long) { return 0.25; };
  s.Start(0, parameters(), "0\n");
  s.Run_to(1800);
  std::string state = file_text([&](FILE* f) { EXPECT_EQ(s.kinem.Save_terminal_state(f), 1); });
  // "<time> <divisions>", then every node discharge as "%f ".
  std::string want = "1800 4\n";
  for (double q : s.kinem.Discharges()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f ", q);
    want += buf;
  }
  EXPECT_EQ(state, want + "\n");

  Kinem again("ch", 0, 1, 1);
  Text_file p(parameters()), st(state);
  again.Set_parameter(p.get());
  ASSERT_EQ(again.Set_initial_state(st.get()), 1);
  EXPECT_EQ(again.Current_time(), 1800);
  ASSERT_EQ(again.Discharges().size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(again.Discharges()[i], s.kinem.Discharges()[i], 5e-7) << i;
  EXPECT_EQ(file_text([&](FILE* f) { again.Save_terminal_state(f); }), state);
}

// ---- in a total system with file ports ---------------------------------------

// Upstream and lateral inflows from "up.dat" and "lat.dat" into the channel,
// whose outflow goes to "kinem.out".
class Reach : public Total_system {
 public:
  Reach() : up("up.dat"), lat("lat.dat"), out("kinem.out", 0), kinem("ch", 0, 1, 1) { Init("reach", 0, 0); }
  int Register_input_ports() override { return Register(&up) && Register(&lat); }
  int Register_output_ports() override { return Register(&out); }
  int Register_components() override { return Register(&kinem); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override {
    Connect(&up, &kinem, "rpu", 0);
    Connect(&lat, &kinem, "rpl", 0);
    Connect(&kinem, "sp", 0, &out);
    return 1;
  }
  int Connect_components() override { return 1; }

  I_file<double> up, lat;
  O_file<double> out;
  Kinem kinem;
};

// Runs the reach from time 0 with the channel's parameter and state files;
// writes its terminal state to "kinem.tst". The child's status is 10 + the
// Work result.
int run_reach() {
  Reach r;
  if (r.Construct() != 1 || r.Switch() != 1 || r.Are_you_ready() != 1) return 99;
  r.Initial_time(0);
  FILE* p = std::fopen("kinem.pmt", "r");
  FILE* s = std::fopen("kinem.ist", "r");
  if (!p || !s) return 98;
  r.kinem.Set_parameter(p);
  r.kinem.Set_initial_state(s);
  std::fclose(p);
  std::fclose(s);
  r.Initial_work();
  int w = r.Work();
  FILE* t = std::fopen("kinem.tst", "w");
  r.kinem.Save_terminal_state(t);
  std::fclose(t);
  return 10 + w;
}

TEST(KinemInTotalSystem, SteadyInflowsGiveTheirSumAtTheOutletFile) {
  cli::Folder dir;
  std::string up = "# upstream inflow\n", lat = "# lateral inflow\n";
  for (int t = 0; t <= 7200; t += 300) {
    up += std::to_string(t) + " 1.5\n";
    lat += std::to_string(t) + " 0.5\n";
  }
  ftest::write_file(dir.file("up.dat"), up);
  ftest::write_file(dir.file("lat.dat"), lat);
  ftest::write_file(dir.file("kinem.pmt"), parameters());
  ftest::write_file(dir.file("kinem.ist"), "0\n");
  cli::Result o = ftest::run(run_reach, dir.path(), "3600\n1800\ny\n");
  EXPECT_EQ(o.status, 11) << o.err;
  EXPECT_NE(o.out.find("[ch 0] 300 : 2.000000\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("[ch 0] 3600 : 2.000000\n"), std::string::npos) << o.out;

  const std::string rule(70, '-');
  std::string text = ftest::read_file(dir.file("kinem.out"));
  const std::string header = "# kinem.out \n# " + rule +
                             "\n#   Send<double> sp 0 \n#       owner > Kinem ch 0\n"
                             "#       owner >> Total_system reach 0\n# " +
                             rule + "\n# time(sec) discharge(m**3/sec)\n\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  // One line per multiple of 600 s, from the start on.
  std::string lines;
  for (int t = 0; t <= 3600; t += 600) lines += std::to_string(t) + " 2\n";
  EXPECT_EQ(text.substr(header.size(), lines.size()), lines);
  std::string rest = text.substr(header.size() + lines.size());
  for (std::size_t at = 0; at < rest.size();) {
    std::size_t end = rest.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    int t = std::stoi(rest.substr(at, end - at));
    EXPECT_EQ(t % 600, 0) << rest;
    EXPECT_EQ(rest.substr(at, end - at), std::to_string(t) + " 2");
    at = end + 1;
  }
  // The terminal state: time, divisions and the steady profile.
  std::string tst = ftest::read_file(dir.file("kinem.tst"));
  EXPECT_NE(tst.find(" 4\n1.500000 1.625000 1.750000 1.875000 2.000000 \n"), std::string::npos) << tst;
}

// The same reach, its channel read and written through the framework's own
// parameter, initial-state and terminal-state files: "reach.pmt",
// "reach.ist" and "reach.tst".
int run_reach_with_files() {
  Reach r;
  if (r.Construct() != 1 || r.Switch() != 1 || r.Are_you_ready() != 1) return 99;
  r.Read_parameter_file("reach.pmt");
  r.Read_initial_state_file("reach.ist");
  r.Initial_work();
  int w = r.Work();
  r.Write_terminal_state("reach.tst");
  return 10 + w;
}

// The channel's lines in the framework's files: its parameters are found
// under its header, and the terminal-state file a run writes starts the
// next run where the first one ended, from the node discharges it holds.
TEST(KinemInTotalSystem, FrameworkFilesCarryTheChannelFromRunToRun) {
  cli::Folder dir;
  std::string up = "# upstream inflow\n", lat = "# lateral inflow\n";
  for (int t = 0; t <= 7200; t += 300) {
    up += std::to_string(t) + " " + (t <= 1800 ? "1.5" : "2.5") + "\n";
    lat += std::to_string(t) + " 0.5\n";
  }
  ftest::write_file(dir.file("up.dat"), up);
  ftest::write_file(dir.file("lat.dat"), lat);
  ftest::write_file(dir.file("reach.pmt"), "reach 0\n{\nKinem ch 0\n" + parameters() + "}\n");
  ftest::write_file(dir.file("reach.ist"), "reach 0\n0\n{\nKinem ch 0\n0\n}\n");
  cli::Result first = ftest::run(run_reach_with_files, dir.path(), "1800\n1800\ny\n");
  ASSERT_EQ(first.status, 11) << first.err;
  EXPECT_NE(first.out.find("[ch 0] 300 : 2.000000\n"), std::string::npos) << first.out;
  const std::string tst = ftest::read_file(dir.file("reach.tst"));
  // The first run ends at 1800 with the steady profile of 1.5 in, 2 out.
  EXPECT_NE(tst.find("Kinem ch 0\n1800 4\n1.500000 1.625000 1.750000 1.875000 2.000000 \n"), std::string::npos) << tst;

  // The next run starts from that state; at 2100 the channel sees the
  // larger inflow, so its outflow rises from 2 towards 3.
  std::rename(dir.file("reach.tst").c_str(), dir.file("reach.ist").c_str());
  cli::Result second = ftest::run(run_reach_with_files, dir.path(), "1800\n1800\ny\n");
  ASSERT_EQ(second.status, 11) << second.err;
  EXPECT_EQ(second.out.find("[ch 0] 300 :"), std::string::npos) << second.out;
  const std::size_t at = second.out.find("[ch 0] 2100 : ");
  ASSERT_NE(at, std::string::npos) << second.out;
  const double q = std::stod(second.out.substr(at + 14));
  EXPECT_GT(q, 2.0);
  EXPECT_LT(q, 3.0);
  EXPECT_NE(ftest::read_file(dir.file("reach.tst")).find("Kinem ch 0\n3600 4\n"), std::string::npos);
}

}  // namespace
