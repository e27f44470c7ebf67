#include "element.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "element_testing.h"
#include "qoption.h"

namespace {

using etest::Stepper;
using etest::Stub_sender;
using etest::Test_receiver;
using etest::Test_root;
using qtest::file_text;
using qtest::stderr_of;

// No explanation is echoed: the reports print their first line only.
class ElementTest : public testing::Test {
 protected:
  qtest::Qavlensdir no_explanations{nullptr};
  void TearDown() override { QavlenOption::tc = QavlenOption::GoBeyondTerminalTime; }
};

// A root with one element that has the given ports, constructed.
struct One_element {
  Test_root root{"r", 0};
  Stepper e{"e", 0};
  One_element() { root.components = {&e}; }
  void construct() { ASSERT_EQ(root.Construct(), 1); }
};

// ---------------------------------------------------------------- construction

TEST_F(ElementTest, ConstructRegistersPortsInOrderAndOwnsThem) {
  One_element t;
  Test_receiver r1("in", 0, "double"), r2("in", 1, "double");
  Stub_sender s1("out", 0);
  t.e.ins = {&r1, &r2};
  t.e.outs = {&s1};
  t.construct();
  ASSERT_EQ(t.e.Number_of_receive_ports(), 2);
  ASSERT_EQ(t.e.Number_of_send_ports(), 1);
  EXPECT_EQ(t.e.Receive_port_at(0), &r1);
  EXPECT_EQ(t.e.Receive_port_at(1), &r2);
  EXPECT_EQ(t.e.Send_port_at(0), &s1);
  EXPECT_EQ(r1.Owner(), &t.e);
  EXPECT_EQ(s1.Owner(), &t.e);
  EXPECT_EQ(t.e.Owner(), &t.root);
}

TEST_F(ElementTest, NewElementHasCountsMinusOneAndNoStep) {
  Stepper e("e", 3);
  EXPECT_EQ(e.Number_of_receive_ports(), -1);
  EXPECT_EQ(e.Number_of_send_ports(), -1);
  EXPECT_EQ(e.Number_of_objects(), 0);
  EXPECT_EQ(e.step(), -1);
  EXPECT_EQ(e.Current_time(), 0);
  EXPECT_EQ(e.Data_string(), nullptr);
}

TEST_F(ElementTest, SecondConstructIsRefused) {
  One_element t;
  Test_receiver r("in", 0, "double");
  t.e.ins = {&r};
  t.construct();
  std::string err = stderr_of([&] { EXPECT_EQ(t.e.Construct(), 0); });
  EXPECT_EQ(err,
            "E : element.cpp : 164 : \n"
            "    Stepper e 0\n        owner > Sub_system r 0\n"
            "E : element.cpp : 252 : \n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.Number_of_receive_ports(), 1);
}

TEST_F(ElementTest, RegisterRefusesDuplicateNullAndOutsideConstruct) {
  One_element t;
  Test_receiver a("in", 0, "double"), b("in", 0, "double");
  t.e.ins = {&a, &b};
  std::string err = stderr_of([&] { t.construct(); });
  EXPECT_EQ(err,
            "E : element.cpp : 129 : \n"
            "    registered > Receive_port<double> in 0 \n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.Number_of_receive_ports(), 1);
  EXPECT_EQ(b.Owner(), nullptr);

  err = stderr_of([&] { EXPECT_EQ(t.e.Register(&b), NO); });
  EXPECT_EQ(err, "E : element.cpp : 106 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  err = stderr_of([&] { EXPECT_EQ(t.e.Register(nullptr), NO); });
  EXPECT_EQ(err, "E : element.cpp : 100 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
}

TEST_F(ElementTest, SameNameOtherClassOrNumberIsNoDuplicate) {
  One_element t;
  Test_receiver a("in", 0, "double"), b("in", 1, "double");
  Stub_sender c("in", 0);
  t.e.ins = {&a, &b};
  t.e.outs = {&c};
  std::string err = stderr_of([&] { t.construct(); });
  EXPECT_EQ(err, "");
  EXPECT_EQ(t.e.Number_of_receive_ports(), 2);
  EXPECT_EQ(t.e.Number_of_send_ports(), 1);
}

TEST_F(ElementTest, RegisterOfAPortOwnedElsewhereIsRefused) {
  One_element t;
  Stepper other("other", 0);
  Test_receiver a("in", 0, "double");
  a.Set_owner(&other);
  t.e.ins = {&a};
  std::string err = stderr_of([&] { t.construct(); });
  EXPECT_NE(err.find("E : object.cpp : 67 : \n"), std::string::npos);
  EXPECT_NE(err.find("E : element.cpp : 143 : \n    Stepper e 0\n        owner > Sub_system r 0\n"), std::string::npos);
  EXPECT_EQ(t.e.Number_of_receive_ports(), 0);
}

TEST_F(ElementTest, RegisterOfAnUnnamedPortEndsTheProgram) {
  EXPECT_EXIT(
      {
        One_element t;
        Stub_sender unnamed;
        t.e.outs = {&unnamed};
        t.root.Construct();
      },
      testing::ExitedWithCode(1),
      "E : element.cpp : 120 : \n    registered > Stub_sender<double> \\(null\\) 0 \n"
      "    Stepper e 0\n        owner > Sub_system r 0\n");
}

// An object registered among the ports that is no port is a fault of the
// model class: the check stops the construction.
TEST_F(ElementTest, AnObjectRegisteredAsAPortThatIsNoPortFailsTheCheck) {
  struct With_an_object_as_port : public etest::Plain {
    Object not_a_port{"np", 0};
    int Register_receive_ports() override { return Register(&not_a_port); }
  };
  EXPECT_DEATH(
      {
        With_an_object_as_port e;
        e.Object::Init("e", 0);
        e.Construct();
      },
      "element\\.h:[0-9]+: Assertion `item != nullptr' failed");
}

// ---------------------------------------------------------------- object array

TEST_F(ElementTest, ObjectArraySlotsAndTheirRefusals) {
  Stepper e("e", 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Set_object_array(2), 0); }), "E : element.cpp : 185 : \n    Stepper e 0\n");
  Stepper a("a", 0), b("b", 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Register(&a, 0), 0); }),  // e has no slots
            "E : element.cpp : 208 : \n\tnum (arg) = 0, number_of_objects = 0\n    Stepper e 0\n");
  etest::Plain fr;
  fr.Object::Init("fr", 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Set_object_array(-1), 0); }), "E : element.cpp : 180 : \n    Element fr 0\n");
  EXPECT_EQ(fr.Set_object_array(2), 1);
  EXPECT_EQ(fr.Number_of_objects(), 2);
  EXPECT_EQ(fr.Register(&a, 1), 1);
  EXPECT_EQ(a.Owner(), nullptr);  // objects of the array get no owner
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Register(nullptr, 0), 0); }), "E : element.cpp : 218 : \n    Element fr 0\n");
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Register(&b, 1), 0); }),
            "E : element.cpp : 223 : \n\tDoubly set object_array[1].\n"
            "    first > Stepper a 0\n    next  > Stepper b 0\n    Element fr 0\n");
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Register(&b, 2), 0); }),
            "E : element.cpp : 208 : \n\tnum (arg) = 2, number_of_objects = 2\n    Element fr 0\n");
  EXPECT_EQ(fr.Get_object("Stepper", "a", 0), &a);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Get_object("Stepper", "b", 0), nullptr); }),
            "E : element.cpp : 416 : \n\tAsked > 'b' : 0 :\n    Element fr 0\n");
  // Slot 0 is still empty: the readiness check lists it.
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(fr.Are_you_ready(), NO); }),
            "\tobject_array[0] has not set.\nE : element.cpp : 499 : \n    Element fr 0\n");
  EXPECT_EQ(fr.Register(&b, 0), 1);
  EXPECT_EQ(fr.Are_you_ready(), YES);
}

// ---------------------------------------------------------------- checks

TEST_F(ElementTest, SwitchAndReadinessCheckEveryPortEvenAfterAFailure) {
  One_element t;
  Test_receiver r1("r1", 0, "double"), r2("r2", 0, "double");
  Stub_sender s1("s1", 0), s2("s2", 0);
  t.e.ins = {&r1, &r2};
  t.e.outs = {&s1, &s2};
  t.construct();
  Stub_sender up("up", 0);
  ASSERT_EQ(r2.Set_sender(&up), YES);
  // r1 has no sender, s1 is switched beforehand: both fail, all are asked.
  ASSERT_EQ(s1.Switch(), YES);
  std::string err = stderr_of([&] { EXPECT_EQ(t.e.Switch(), NO); });
  EXPECT_NE(err.find("E : sender.cpp : 81 : \n"), std::string::npos);
  EXPECT_NE(err.find("E : element.cpp : 450 : \n    Stepper e 0\n        owner > Sub_system r 0\n"), std::string::npos);
  EXPECT_EQ(err.find("element.cpp : 440"), std::string::npos);
  EXPECT_EQ(s2.Number_of_receivers(), 0);  // switched although s1 failed

  err = stderr_of([&] { EXPECT_EQ(t.e.Are_you_ready(), NO); });
  EXPECT_EQ(err,
            "    Receive_port<double> r1 0 \n        owner > Stepper e 0\n"
            "        owner >> Sub_system r 0\n"
            "E : element.cpp : 473 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  ASSERT_EQ(r1.Set_sender(&up), YES);
  EXPECT_EQ(t.e.Are_you_ready(), YES);
}

TEST_F(ElementTest, UnswitchedSendPortsFailTheReadinessCheck) {
  One_element t;
  Stub_sender s1("s1", 0), s2("s2", 0);
  t.e.outs = {&s1, &s2};
  t.construct();
  std::string err = stderr_of([&] { EXPECT_EQ(t.e.Are_you_ready(), NO); });
  EXPECT_EQ(err,
            "    Stub_sender<double> s1 0 \n        owner > Stepper e 0\n        owner >> Sub_system r 0\n"
            "    Stub_sender<double> s2 0 \n        owner > Stepper e 0\n        owner >> Sub_system r 0\n"
            "E : element.cpp : 486 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.Switch(), YES);
  EXPECT_EQ(t.e.Are_you_ready(), YES);
}

// ---------------------------------------------------------------- clock

TEST_F(ElementTest, InitialTimeOnceThenWarnOrRefuse) {
  One_element t;
  t.construct();
  EXPECT_EQ(t.e.Initial_time(100), 1);
  EXPECT_EQ(t.e.Current_time(), 100);
  EXPECT_EQ(t.e.step(), 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Initial_time(100), 1); }),
            "W : element.cpp : 677 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Initial_time(50), 0); }),
            "E : element.cpp : 682 : \n\tcurrent_time = 100, time_step = 0\n\ti_time (arg) = 50\n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.Current_time(), 100);
  t.e.set_step(10);  // a step was taken: the same value is refused too
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Initial_time(100), 0); }).substr(0, 26), "E : element.cpp : 682 : \n\t");
}

TEST_F(ElementTest, ClockDefaults) {
  One_element t;
  t.construct();
  t.e.set_time(40);
  t.e.set_step(15);
  EXPECT_EQ(t.e.Next_time(), 55);
  EXPECT_EQ(t.e.Necessary_time_from(nullptr), 40);
  EXPECT_EQ(t.e.Necessary_time_to(nullptr), 55);
  EXPECT_EQ(t.e.Renew_current_time(), 1);
  EXPECT_EQ(t.e.Current_time(), 55);
  // Near the sentinels the sums saturate.
  t.e.set_time(LONG_MAX32 - 5);
  EXPECT_EQ(t.e.Next_time(), LONG_MAX32);
  EXPECT_EQ(t.e.Renew_current_time(), 1);
  EXPECT_EQ(t.e.Current_time(), LONG_MAX32);
}

TEST_F(ElementTest, FixedTimeRewindAndWarnings) {
  One_element t;
  t.construct();
  t.e.set_time(30);
  EXPECT_EQ(stderr_of([&] { t.e.Renew_fixed_time(); }), "");
  EXPECT_EQ(t.e.Fixed_time(), 30);
  t.e.set_time(50);
  EXPECT_EQ(stderr_of([&] { t.e.Rewind_current_time(); }), "");
  EXPECT_EQ(t.e.Current_time(), 30);
  EXPECT_EQ(stderr_of([&] { t.e.Rewind_current_time(); }),
            "W : element.cpp : 607 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(stderr_of([&] { t.e.Renew_fixed_time(); }),
            "W : element.cpp : 619 : \n    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.Fixed_time(), 30);
}

TEST_F(ElementTest, TargetTimeAndTheTimeControlOption) {
  One_element t;
  t.construct();
  t.root.terminal = 100;
  t.e.set_target(90);
  t.e.set_time(95);
  EXPECT_EQ(t.e.Do_you_reach_target_time(), 1);
  t.e.Renew_target_time(30);  // option 0: goes beyond the terminal time
  EXPECT_EQ(t.e.target(), 120);
  EXPECT_EQ(t.e.Do_you_reach_target_time(), 0);

  QavlenOption::tc = QavlenOption::DoNotGoBeyondTerminalTime;
  t.e.set_target(90);
  t.e.Renew_target_time(30);  // cut at the terminal time
  EXPECT_EQ(t.e.target(), 100);
  t.e.Renew_target_time(30);  // at the terminal time: not cut
  EXPECT_EQ(t.e.target(), 130);
  t.e.Renew_target_time(LONG_MAX32);  // saturates
  EXPECT_EQ(t.e.target(), LONG_MAX32);
}

// ---------------------------------------------------------------- Work0

// An element with one receive port fed by a stub sender and one send port.
struct Stepping : One_element {
  Test_receiver in{"in", 0, "double"};
  Stub_sender up{"up", 0};
  Stub_sender out{"out", 0};
  explicit Stepping(bool with_input = true) {
    if (with_input) {
      e.ins = {&in};
      root.connect = [this] { root.Connect(&up, &in); };
    }
    e.outs = {&out};
    root.components = {&e};
    EXPECT_EQ(root.Construct(), 1);
    EXPECT_EQ(root.Switch(), YES);
    up.Switch();
    e.Initial_time(0);
    up.has_data = true;
    up.oldest = 0;
    up.newest = 1000;
  }
};

TEST_F(ElementTest, WorkStepsToTheTargetAndPublishesOnce) {
  Stepping t;
  t.root.medium = 30;
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 30);
  EXPECT_EQ(t.e.calculations, 3);
  EXPECT_EQ(t.up.asked, "[0,10][10,20][20,30]");
  EXPECT_EQ(t.out.publications, 1);
  EXPECT_EQ(t.out.reductions, 1);
  EXPECT_EQ(t.up.reductions, 1);  // the receive port's release reaches its sender
  // At the target and without demand: nothing, not even a step is asked.
  t.e.log.clear();
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.log, "");
  EXPECT_EQ(t.out.publications, 1);
}

TEST_F(ElementTest, LastStepMayPassTheTarget) {
  Stepping t;
  t.root.medium = 25;
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 30);
}

TEST_F(ElementTest, FirstCalculationFailingPublishesNothing) {
  Stepping t;
  t.root.medium = 30;
  t.e.fail_at = 1;
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.Current_time(), 0);
  EXPECT_EQ(t.out.publications, 0);
  EXPECT_EQ(t.out.reductions, 0);
}

TEST_F(ElementTest, ThirdStepFailingPublishesTheTwoBefore) {
  Stepping t;
  t.root.medium = 50;
  t.e.fail_at = 3;
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 20);
  EXPECT_EQ(t.e.calculations, 3);
  EXPECT_EQ(t.out.publications, 1);
  EXPECT_EQ(t.out.reductions, 1);
}

TEST_F(ElementTest, MissingInputAsksUpstreamAndStops) {
  Stepping t;
  t.root.medium = 50;
  t.up.newest = 15;  // covers the first step only
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 10);
  EXPECT_EQ(t.up.demands, 1);
  EXPECT_EQ(t.e.calculations, 1);
  EXPECT_EQ(t.out.publications, 1);
}

TEST_F(ElementTest, NegativeStepIsReportedZeroStepIsSilent) {
  Stepping t;
  t.root.medium = 50;
  t.e.steps = {-5};
  std::string err = stderr_of([&] { EXPECT_EQ(t.e.Work(), 0); });
  EXPECT_EQ(err,
            "E : element.cpp : 842 : \n\tcurrent_time = 0, time_step = -5\n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.e.calculations, 0);
  t.e.steps = {0};
  err = stderr_of([&] { EXPECT_EQ(t.e.Work(), 0); });
  EXPECT_EQ(err, "");
  EXPECT_EQ(t.e.calculations, 0);
  EXPECT_EQ(t.out.publications, 0);
}

// A step of 0 or below after steps were taken ends the call with 0 and
// leaves those steps stocked but unpublished; the next call that steps
// publishes them with its own.
TEST_F(ElementTest, StepRefusedAfterStepsReturnsZeroAndPublishesLater) {
  Stepping t;
  t.root.medium = 50;
  t.e.steps = {10, 10, 0};
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.Current_time(), 20);
  EXPECT_EQ(t.e.calculations, 2);
  EXPECT_EQ(t.out.publications, 0);
  EXPECT_EQ(t.out.reductions, 0);
  t.e.steps = {-5};
  std::string err = stderr_of([&] { EXPECT_EQ(t.e.Work(), 0); });
  EXPECT_EQ(err,
            "E : element.cpp : 842 : \n\tcurrent_time = 20, time_step = -5\n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
  EXPECT_EQ(t.out.publications, 0);
  t.e.steps = {10};
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 50);
  EXPECT_EQ(t.out.publications, 1);
}

TEST_F(ElementTest, PendingDemandTakesOneStepPastTheTarget) {
  Stepping t;
  t.root.medium = 20;
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 20);
  t.e.set_demanded(1);
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 30);
  EXPECT_EQ(t.e.demanded(), 0);
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.Current_time(), 30);
}

TEST_F(ElementTest, DemandStaysWhenTheStepCannotBeTaken) {
  Stepping t;
  t.root.medium = 20;
  t.e.set_demanded(1);
  t.e.fail_at = 1;
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.demanded(), 1);
}

TEST_F(ElementTest, TimeControlOptionCutsTheStepAtTheTerminalTime) {
  Stepping t;
  t.root.medium = 40;
  t.root.terminal = 25;
  QavlenOption::tc = QavlenOption::DoNotGoBeyondTerminalTime;
  EXPECT_EQ(t.e.Work(), 1);
  // 0+10, 10+10, 20+5; at the terminal time no step is left (a step of 0
  // would never reach the target).
  EXPECT_EQ(t.e.log,
            "Calculate_time_step;Calculate(0+10);Calculate_time_step;Calculate(10+10);"
            "Calculate_time_step;Calculate(20+5);Calculate_time_step;");
  EXPECT_EQ(t.e.Current_time(), 25);
  EXPECT_EQ(t.out.publications, 1);
  t.e.log.clear();
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.log, "Calculate_time_step;");
  t.e.set_time(30);  // past the terminal time: no negative step either
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.calculations, 3);
}

// Far past a terminal time far below it: what is left is below the
// smallest step, not a wrapped-round large one.
TEST_F(ElementTest, TimeControlOptionFarPastTheTerminalTimeTakesNoStep) {
  Stepping t(false);
  t.root.medium = LONG_MAX32;
  t.root.terminal = -2000000000;
  QavlenOption::tc = QavlenOption::DoNotGoBeyondTerminalTime;
  t.e.set_time(2000000000);
  EXPECT_EQ(t.e.Work(), 0);
  EXPECT_EQ(t.e.calculations, 0);
  EXPECT_EQ(t.e.Current_time(), 2000000000);
  EXPECT_LE(t.e.step(), 0);
}

TEST_F(ElementTest, IntegerExceptionAfterStepsPublishesThemAndGoesOn) {
  Stepping t;
  t.root.medium = 50;
  t.up.newest = 25;
  t.up.on_demand = [] { throw 99; };
  bool caught = false;
  try {
    t.e.Work();
  } catch (int v) {
    caught = v == 99;
  }
  EXPECT_TRUE(caught);
  EXPECT_EQ(t.e.Current_time(), 20);
  EXPECT_EQ(t.out.publications, 1);  // the two steps are visible downstream
  EXPECT_EQ(t.out.reductions, 0);    // nothing released
  EXPECT_EQ(t.e.step(), 10);
}

TEST_F(ElementTest, IntegerExceptionBeforeAnyStepPublishesNothing) {
  Stepping t;
  t.root.medium = 50;
  t.up.newest = 5;
  t.up.on_demand = [] { throw 99; };
  EXPECT_THROW(t.e.Work(), int);
  EXPECT_EQ(t.e.Current_time(), 0);
  EXPECT_EQ(t.out.publications, 0);
}

TEST_F(ElementTest, CanYouCalculateAsksEveryPortForItsWindow) {
  Test_root root("r", 0);
  Stepper e("e", 0);
  Test_receiver in1("in", 1, "double"), in2("in", 2, "double");
  Stub_sender up1("up", 1), up2("up", 2);
  e.ins = {&in1, &in2};
  root.components = {&e};
  root.connect = [&] {
    root.Connect(&up1, &in1);
    root.Connect(&up2, &in2);
  };
  ASSERT_EQ(root.Construct(), 1);
  e.Initial_time(40);
  e.set_step(10);
  up2.has_data = true;
  up2.oldest = 0;
  up2.newest = 100;
  // The first port cannot supply: it is asked upstream, the second is
  // still asked.
  EXPECT_EQ(e.Can_you_calculate0(), 0);
  EXPECT_EQ(up1.asked, "[40,50]");
  EXPECT_EQ(up2.asked, "[40,50]");
  EXPECT_EQ(up1.demands, 1);
  EXPECT_EQ(up2.demands, 0);
  // The one-instant form asks for the window's start only.
  EXPECT_EQ(e.Can_you_calculate1(), 0);
  EXPECT_EQ(up1.asked, "[40,50][40,40]");
  EXPECT_EQ(up2.asked, "[40,50][40,40]");
  EXPECT_EQ(up1.demands, 2);
  up1.has_data = true;
  up1.oldest = 40;
  up1.newest = 40;
  EXPECT_EQ(e.Can_you_calculate1(), 1);
  EXPECT_EQ(e.Can_you_calculate0(), 0);
  EXPECT_EQ(up1.demands, 3);
}

TEST_F(ElementTest, ElementWithoutInputsRunsToTheTarget) {
  Stepping t(false);
  t.root.medium = 100;
  EXPECT_EQ(t.e.Work(), 1);
  EXPECT_EQ(t.e.Current_time(), 100);
  EXPECT_EQ(t.e.calculations, 10);
}

TEST_F(ElementTest, Work1UsesTheStepInPlace) {
  Stepping t;
  t.root.medium = 30;
  t.e.set_step(15);
  EXPECT_EQ(t.e.Work1(), 1);
  EXPECT_EQ(t.e.Current_time(), 30);
  EXPECT_EQ(t.e.log.find("Calculate_time_step"), std::string::npos);
  EXPECT_EQ(t.out.publications, 1);
  t.root.medium = 60;
  t.e.set_step(0);
  EXPECT_EQ(t.e.Work1(), 0);
  EXPECT_EQ(t.e.Current_time(), 30);
}

TEST_F(ElementTest, Work2StepsToTheTargetWithoutPublishing) {
  Stepping t;
  t.root.terminal = 1000;
  t.e.set_target(25);
  EXPECT_EQ(t.e.Work2(), 1);
  EXPECT_EQ(t.e.Current_time(), 25);  // the last step is cut at the target
  EXPECT_EQ(t.out.publications, 0);
  EXPECT_EQ(t.e.Work2(), 0);  // at the target
  t.e.set_target(50);
  t.e.fail_at = t.e.calculations + 2;
  EXPECT_EQ(t.e.Work2(), 1);  // one step, then a failure
  EXPECT_EQ(t.e.Current_time(), 35);
  t.e.set_fixed(1000);  // fixed time at the terminal time
  EXPECT_EQ(t.e.Work2(), 0);
  t.e.set_fixed(0);
  t.e.steps = {-5};
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Work2(), 0); }),
            "E : element.cpp : 955 : \n\tcurrent_time = 35, time_step = -5\n"
            "    Stepper e 0\n        owner > Sub_system r 0\n");
}

// ---------------------------------------------------------------- demand

TEST_F(ElementTest, CreqAsksUpstreamMarksTheElementAndKeepsTheStep) {
  Stepping t;
  t.root.medium = 0;
  t.e.set_step(7);
  t.e.steps = {10};
  t.up.newest = 5;
  t.e.Creq();
  EXPECT_EQ(t.e.step(), 7);
  EXPECT_EQ(t.e.demanded(), 1);
  EXPECT_EQ(t.up.asked, "[0,10]");  // asked with the step it would take
  EXPECT_EQ(t.up.demands, 1);
  EXPECT_EQ(t.e.calculations, 0);
}

TEST_F(ElementTest, CreqKeepsTheStepWhenAnExceptionPasses) {
  Stepping t;
  t.e.set_step(7);
  t.up.newest = 5;
  t.up.on_demand = [] { throw 99; };
  EXPECT_THROW(t.e.Creq(), int);
  EXPECT_EQ(t.e.step(), 7);
  // A later demand still reaches upstream.
  t.up.on_demand = nullptr;
  t.e.Creq();
  EXPECT_EQ(t.up.demands, 2);
  EXPECT_EQ(t.e.demanded(), 1);
}

TEST_F(ElementTest, DemandRoundACycleOfPortsEnds) {
  // a's input comes from b's output and b's input from a's output.
  Test_root root("r", 0);
  Stepper a("a", 0), b("b", 0);
  Test_receiver ain("in", 0, "double"), bin("in", 0, "double");
  Stub_sender aout("out", 0), bout("out", 0);
  a.ins = {&ain};
  a.outs = {&aout};
  b.ins = {&bin};
  b.outs = {&bout};
  root.components = {&a, &b};
  root.connect = [&] {
    root.Connect(&bout, &ain);
    root.Connect(&aout, &bin);
  };
  ASSERT_EQ(root.Construct(), 1);
  aout.on_demand = [&] { a.Creq(); };
  bout.on_demand = [&] { b.Creq(); };
  a.Initial_time(0);
  b.Initial_time(0);
  a.Creq();
  EXPECT_EQ(a.demanded(), 1);
  EXPECT_EQ(b.demanded(), 1);
  EXPECT_EQ(aout.demands, 1);
  EXPECT_EQ(bout.demands, 1);
  // The demand comes back to a while a is stepping: a's step in hand is
  // kept, the call ends without a step and a stays marked.
  root.medium = 50;
  a.set_demanded(0);
  b.set_demanded(0);
  a.steps = {7, 3};  // 7 for the step in hand, 3 for the demand
  a.log.clear();
  EXPECT_EQ(a.Work(), 0);
  EXPECT_EQ(a.step(), 7);
  EXPECT_EQ(a.demanded(), 1);
  EXPECT_EQ(b.demanded(), 1);
  EXPECT_EQ(a.log, "Calculate_time_step;Calculate_time_step;");
  EXPECT_EQ(a.calculations, 0);
}

// ---------------------------------------------------------------- data string

TEST_F(ElementTest, DataStringIsCopiedOnceAndWalkedItemByItem) {
  Stepper e("e", 0);
  const char items[] = "12\0abc\0\0";
  EXPECT_EQ(e.Set_data_string(items, sizeof items - 1), 1);
  ASSERT_NE(e.Data_string(), nullptr);
  EXPECT_NE(e.Data_string(), items);
  EXPECT_EQ(std::memcmp(e.Data_string(), items, sizeof items - 1), 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Set_data_string("x", -1), 0); }),
            "E : element.cpp : 511 : \n    Stepper e 0\n");
  EXPECT_STREQ(e.Data_string(), "12");

  char* cursor = const_cast<char*>(e.Data_string());
  EXPECT_EQ(e.Look_data_string(cursor), 1);
  EXPECT_STREQ(cursor, "abc");
  char* last = cursor;
  EXPECT_EQ(e.Look_data_string(cursor), 0);     // the next item is the end item
  EXPECT_EQ(cursor, last + 3);                  // the end of "abc"
  EXPECT_EQ(e.Set_data_string(nullptr, 0), 1);  // a null text sets nothing
  e.Clear_data_string();
  EXPECT_EQ(e.Data_string(), nullptr);
  EXPECT_EQ(e.Set_data_string("solo", 0), 1);
  EXPECT_STREQ(e.Data_string(), "solo");
}

TEST_F(ElementTest, DataStringWithoutEndItemStillEnds) {
  Stepper e("e", 0);
  const char single[] = {'a', ' ', 'b'};  // one item, not even its NUL
  ASSERT_EQ(e.Set_data_string(single, 3), 1);
  char* cursor = const_cast<char*>(e.Data_string());
  EXPECT_STREQ(cursor, "a b");
  EXPECT_EQ(e.Look_data_string(cursor), 0);
  EXPECT_EQ(*cursor, '\0');
}

TEST_F(ElementTest, GetDataStringAdoptsTheTextUnlessOneIsHeld) {
  Stepper e("e", 0);
  char* text = new char[4]{'a', '\0', '\0', '\0'};
  EXPECT_EQ(e.Get_data_string(text), 1);
  EXPECT_EQ(e.Data_string(), text);  // not copied: the element frees it
  char other[] = "b";
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Get_data_string(other), 0); }), "E : element.cpp : 535 : \n    Stepper e 0\n");
  EXPECT_EQ(e.Data_string(), text);
  char* cursor = text;
  EXPECT_EQ(e.Look_data_string(cursor), 0);
}

TEST_F(ElementTest, LookWithoutDataStringReports) {
  Stepper e("e", 0);
  char* cursor = reinterpret_cast<char*>(&e);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Look_data_string(cursor), 0); }),
            "E : element.cpp : 554 : \n    Stepper e 0\n");
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Record_status(), 0); }), "E : element.cpp : 798 : \n    Stepper e 0\n");
  e.Set_data_string("x", 0);
  EXPECT_EQ(e.Record_status(), 1);
}

TEST_F(ElementTest, ConstructorsNameTheElementAndCopyItsData) {
  etest::Plain p("p", 2, 3, "abc");
  EXPECT_STREQ(p.Class_name(), "Element");
  EXPECT_STREQ(p.Object_name(), "p");
  EXPECT_EQ(p.Object_number(), 2);
  EXPECT_EQ(p.Number_of_objects(), 3);
  EXPECT_STREQ(p.Data_string(), "abc");
  etest::Plain q("q", 1, nullptr);
  EXPECT_EQ(q.Number_of_objects(), 0);
  EXPECT_EQ(q.Data_string(), nullptr);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(q.Init("again", 0, 0, nullptr), 0); }).substr(0, 24),
            "E : object.cpp : 114 : \n");
}

// ---------------------------------------------------------------- Get_line

TEST_F(ElementTest, GetLineSkipsCommentsAndBlankLinesAndPushesBack) {
  FILE* f = std::tmpfile();
  std::fputs("# comment\n\n \t \n  vrb 0\n #not a comment\n\t{\nlast", f);
  std::rewind(f);
  Stepper e("e", 0);
  char buf[256];
  int pushed = 0, first = 0;
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_STREQ(buf, "  vrb 0\n");
  EXPECT_EQ(first, 'v');
  pushed = 1;
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_STREQ(buf, "  vrb 0\n");
  EXPECT_EQ(pushed, 0);
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_STREQ(buf, " #not a comment\n");
  EXPECT_EQ(first, '#');
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_EQ(first, '{');
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_STREQ(buf, "last");
  EXPECT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), nullptr);
  std::fclose(f);
}

TEST_F(ElementTest, GetLineReadsAtMostSizeLessOne) {
  FILE* f = std::tmpfile();
  std::fputs("abcdefgh\n", f);
  std::rewind(f);
  Stepper e("e", 0);
  char buf[5];
  int pushed = 0, first = 0;
  ASSERT_EQ(e.Get_line(f, buf, sizeof buf, pushed, first), buf);
  EXPECT_STREQ(buf, "abcd");
  std::fclose(f);
}

// The point of a reader of the test's own.
#define READER_POINTS(P) P(line_missing, 77)
QAVLEN_REPORT_POINTS(Reader_point, "reader.cpp", READER_POINTS)

TEST_F(ElementTest, GetLineSecondFormEndsTheProgramAtTheEnd) {
  Stepper e("e", 0);
  FILE* f = std::tmpfile();
  std::fputs("#x\n   word\n", f);
  std::rewind(f);
  char buf[64];
  EXPECT_STREQ(e.Get_line(f, buf, sizeof buf, Reader_point::line_missing), "word\n");
  EXPECT_EXIT(e.Get_line(f, buf, sizeof buf, Reader_point::line_missing), testing::ExitedWithCode(1),
              "^E : reader.cpp : 77 : \n    Stepper e 0\n$");
  std::fclose(f);
}

// ---------------------------------------------------------------- look-ups

TEST_F(ElementTest, PortLookUpsAndTheirReports) {
  One_element t;
  Test_receiver r("in", 0, "double");
  Stub_sender s("out", 2);
  t.e.ins = {&r};
  t.e.outs = {&s};
  // Before Construct the arrays do not exist.
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_receive_port("in", 0), nullptr); }),
            "E : element.cpp : 305 : \n    Stepper e 0\n"
            "E : element.cpp : 376 : \n\tAsked > 'in' : 0 :\n    Stepper e 0\n");
  t.construct();
  EXPECT_EQ(t.e.Get_receive_port("Receive_port", "in", 0), &r);
  EXPECT_EQ(t.e.Get_receive_port("in", 0), &r);
  EXPECT_EQ(t.e.Get_send_port("Stub_sender", "out", 2), &s);
  EXPECT_EQ(t.e.Get_send_port("out", 2), &s);
  const std::string me = "    Stepper e 0\n        owner > Sub_system r 0\n";
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_receive_port("Receive", "in", 0), nullptr); }),
            "E : element.cpp : 336 : \n\tAsked > 'in' : 0 :\n" + me);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_send_port("Stub_sender", "out", 0), nullptr); }),
            "E : element.cpp : 356 : \n\tAsked > 'out' : 0 :\n" + me);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_receive_port("out", 2), nullptr); }),
            "E : element.cpp : 376 : \n\tAsked > 'out' : 2 :\n" + me);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_send_port("in", 0), nullptr); }),
            "E : element.cpp : 396 : \n\tAsked > 'in' : 0 :\n" + me);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_component("Stepper", "x", 1), nullptr); }),
            "E : element.cpp : 928 : \n\tc_name(arg) = Stepper, o_name(arg) = x, o_num(arg) = 1\n" + me);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(t.e.Get_component("x", 1), nullptr); }),
            "E : element.cpp : 945 : \n\to_name(arg) = x, o_num(arg) = 1\n" + me);
}

TEST_F(ElementTest, RegistrationListLookUpsOutsideConstruct) {
  Stepper e("e", 0);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Get_from_list("Send", "sp", 0), nullptr); }),
            "E : element.cpp : 53 : \n\tAsked > [Send] : 'sp' : 0 :\n    Stepper e 0\n");
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Get_from_list("sp", 0), nullptr); }),
            "E : element.cpp : 76 : \n\tAsked > 'sp' : 0 :\n    Stepper e 0\n");
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(Element::Get_from_array(nullptr, -1, "A", "a", 0, &e), nullptr); }),
            "E : element.cpp : 275 : \n    Stepper e 0\n");
  void** array = nullptr;
  int n = -1;
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(e.Make_object_array(array, n), 0); }),
            "E : element.cpp : 157 : \n    Stepper e 0\n");
}

TEST_F(ElementTest, RegistrationListLookUpsInsideConstruct) {
  class Looker : public Stepper {
   public:
    Looker() : Stepper("l", 0) {}
    int Register_send_ports() override {
      Stepper::Register_send_ports();
      found3 = Get_from_list("Stub_sender", "out", 0);
      found2 = Get_from_list("out", 0);
      missing = Get_from_list("out", 1);
      return 1;
    }
    Object* found3 = nullptr;
    Object* found2 = nullptr;
    Object* missing = reinterpret_cast<Object*>(1);
  };
  Test_root root("r", 0);
  Looker l;
  Stub_sender s("out", 0);
  l.outs = {&s};
  root.components = {&l};
  std::string err = stderr_of([&] { ASSERT_EQ(root.Construct(), 1); });
  EXPECT_EQ(err, "");
  EXPECT_EQ(l.found3, &s);
  EXPECT_EQ(l.found2, &s);
  EXPECT_EQ(l.missing, nullptr);
}

// ---------------------------------------------------------------- printing

TEST_F(ElementTest, PrintObjectsAndConnections) {
  One_element t;
  Test_receiver r("in", 0, "double");
  Stub_sender s("out", 0);
  Stub_sender up("up", 0);
  t.e.ins = {&r};
  t.e.outs = {&s};
  t.root.outs = {&up};
  t.root.connect = [&] { t.root.Connect(&up, &r); };
  t.construct();
  ASSERT_EQ(t.root.Switch(), YES);
  Object* objs[] = {&r, &s};
  EXPECT_EQ(file_text([&](FILE* f) { t.e.Print_objects(f, "> ", "Ports :", objs, 2); }),
            "> Ports :of : Stepper e 0\nof :     owner > Sub_system r 0\n"
            ">     Receive_port<double> in 0 \n>     Stub_sender<double> out 0 \n");
  EXPECT_EQ(file_text([&](FILE* f) { t.e.Print_objects(f, "> ", nullptr, objs, 1); }),
            "> Stepper e 0\n>     owner > Sub_system r 0\n>     Receive_port<double> in 0 \n");
  EXPECT_EQ(file_text([&](FILE* f) { t.e.Print_connection(f, "#"); }),
            "#Receive_port<double> in 0 \n"
            "#    Receive_port<double> in 0 \n#        owner > Stepper e 0\n"
            "#        owner >> Sub_system r 0\n"
            "#    Connected > Stub_sender<double> up 0 \n#    Connected >     owner > Sub_system r 0\n"
            "#Stub_sender<double> out 0 \n"
            "#    Stub_sender<double> out 0 \n#        owner > Stepper e 0\n"
            "#        owner >> Sub_system r 0\n#    \tNot connected.\n");
}

// ---------------------------------------------------------------- defaults

TEST_F(ElementTest, TerminalStateBlock) {
  Stepper e("e", 4);
  EXPECT_EQ(file_text([&](FILE* f) { EXPECT_EQ(e.Terminal_state(f), 1); }), "Stepper e 4\nstate of e\n");
  EXPECT_EQ(e.Terminal_state(nullptr), 0);
}

TEST_F(ElementTest, InitialWorkPublishesOnceDone) {
  Stepping t(false);
  t.e.initial_output_result = 0;
  EXPECT_EQ(t.e.Do_initial_work(), Element::E_UNDONE);
  EXPECT_EQ(t.out.publications, 0);
  t.e.initial_output_result = 1;
  EXPECT_EQ(t.e.Do_initial_work(), Element::E_DONE);
  EXPECT_EQ(t.out.publications, 1);
  EXPECT_EQ(t.e.Do_initial_work(), Element::E_ALREADY);
  EXPECT_EQ(t.e.log, "Initial_output;Initial_output;");
  EXPECT_EQ(t.e.Do_share_info(), Element::E_DONE);
  EXPECT_EQ(t.e.Do_share_info(), Element::E_ALREADY);
  EXPECT_EQ(t.e.NewElement(), nullptr);
}

TEST_F(ElementTest, FatalDefaultsEndTheProgram) {
  Stepper e("e", 0);
  EXPECT_EXIT(e.Calculate_iteration_step(), testing::ExitedWithCode(1),
              "^E : element.cpp : 653 : \n    Stepper e 0\n$");
  EXPECT_EXIT(e.Do_you_converge(), testing::ExitedWithCode(1), "^E : element.cpp : 1006 : \n    Stepper e 0\n$");
  EXPECT_EXIT(e.Flush_data(), testing::ExitedWithCode(1), "^E : element.cpp : 1026 : \n    Stepper e 0\n$");
  EXPECT_EXIT(e.Init("x", 0, stdin), testing::ExitedWithCode(1),
              "^Init\\(\\(char\\*, int, FILE\\*\\) is not defined.\n$");
}

TEST_F(ElementTest, ReportsEchoTheirExplanation) {
  qtest::Qavlensdir dir(qtest::explain_dir().c_str());
  Stepper e("e", 0);
  std::string err = stderr_of([&] { e.Set_data_string("a", 0), e.Set_data_string("b", 0); });
  EXPECT_EQ(err.substr(0, 28), "E : element.cpp : 511 : \n   ");
  EXPECT_NE(err.find("data string"), std::string::npos);
}

}  // namespace

namespace {

using etest::Relay;
using etest::Sink;
using etest::Source;

// ---------------------------------------------------------------- data flow

// source -> relay -> sink, registered downstream first, after the initial
// work: every element at time 0 with its initial value published.
struct Chain {
  Test_root root{"r", 0};
  Source source{"source"};
  Relay relay{"relay"};
  Sink sink{"sink"};
  Chain() {
    root.components = {&sink, &relay, &source};
    root.connect = [this] {
      root.Connect(&source, "sp", 0, &relay, "in", 0);
      root.Connect(&relay, "sp", 0, &sink, "in", 0);
    };
    EXPECT_EQ(root.Construct(), 1);
    EXPECT_EQ(root.Switch(), YES);
    EXPECT_EQ(root.Are_you_ready(), YES);
    EXPECT_EQ(root.Initial_time(0), 1);
    int r;
    while ((r = root.Do_initial_work()) == Element::E_DONE) {
    }
    EXPECT_EQ(r, Element::E_ALREADY);
  }
};

TEST_F(ElementTest, DemandTravelsUpstreamThroughTwoElements) {
  Chain c;
  c.root.medium = 30;
  // The sink lacks data: its demand reaches the relay, which lacks data
  // too and passes it on to the source.
  EXPECT_EQ(c.sink.Work(), 0);
  EXPECT_EQ(c.relay.demanded(), 1);
  EXPECT_EQ(c.source.demanded(), 1);
  EXPECT_EQ(c.sink.demanded(), 0);
  EXPECT_EQ(c.relay.step(), 0);  // the demand left the steps alone
  EXPECT_EQ(c.source.step(), 0);
  EXPECT_EQ(c.relay.Work(), 0);
  EXPECT_EQ(c.source.Work(), 1);
  EXPECT_EQ(c.source.Current_time(), 30);
  EXPECT_EQ(c.source.demanded(), 0);
  EXPECT_EQ(c.relay.Work(), 1);
  EXPECT_EQ(c.sink.Work(), 1);
  EXPECT_EQ(c.sink.Current_time(), 30);
  EXPECT_EQ(c.sink.seen, "10:4.000000;20:6.000000;30:8.000000;");
}

TEST_F(ElementTest, DemandAtTheTargetTakesTheUpstreamElementOneStepFurther) {
  Chain c;
  c.root.medium = 20;
  c.root.Work();
  EXPECT_EQ(c.source.Current_time(), 20);
  // The sink is made to want one more step (as the main loop's files do).
  c.sink.set_demanded(1);
  EXPECT_EQ(c.sink.Work(), 0);    // it lacks data at 30 and asks
  EXPECT_EQ(c.source.Work(), 1);  // past its target by the demand
  EXPECT_EQ(c.source.Current_time(), 30);
  EXPECT_EQ(c.relay.Work(), 1);
  EXPECT_EQ(c.sink.Work(), 1);
  EXPECT_EQ(c.sink.Current_time(), 30);
}

TEST_F(ElementTest, PublishedPacksAreReleasedOnceNoReceiverNeedsThem) {
  Chain c;
  c.root.medium = 50;
  EXPECT_EQ(c.root.Work(), 1);
  EXPECT_EQ(c.sink.Current_time(), 50);
  // The relay needs the source from its current time (50) on; the source
  // keeps the newest pack at or before 50 and what follows.
  EXPECT_EQ(c.source.sp.Number_of_data_packs(), 1);
  EXPECT_EQ(c.source.sp.Oldest_data_time(), 50);
  EXPECT_EQ(c.relay.sp.Oldest_data_time(), 50);
}

// ---------------------------------------------------------------- send-port stock

// An element with two send ports of double, switched.
struct Two_ports {
  Test_root root{"r", 0};
  Stepper e{"e", 0};
  Send<double> a{"a", 0}, b{"b", 0};
  Two_ports() {
    e.outs = {&a, &b};
    root.components = {&e};
    EXPECT_EQ(root.Construct(), 1);
    EXPECT_EQ(root.Switch(), YES);
  }
  void restore(const char* items, int length) {
    e.Clear_data_string();
    ASSERT_EQ(e.Set_data_string(items, length), 1);
    e.Restore_send_port_stock();
    e.Set_data_pack_array();
  }
};

TEST_F(ElementTest, SaveSendPortStockWritesEveryPortsBlock) {
  Two_ports t;
  t.a.Send_data(3600, 0.25);
  t.a.Send_data(7200, 1234567);
  EXPECT_EQ(file_text([&](FILE* f) { t.e.Save_send_port_stock(f); }),
            "Stepper e 0 (\n"
            "(0) # send_ports number\n(2) # number_of_data_packs\n\n(3600)\n(0.25)\n\n(7200)\n(1.23457e+06)\n"
            "(1) # send_ports number\n(0) # number_of_data_packs\n"
            ")\n");
  t.e.Save_send_port_stock(nullptr);  // no file: nothing
  Stepper none("none", 0);
  Test_root r2("r2", 0);
  r2.components = {&none};
  ASSERT_EQ(r2.Construct(), 1);
  EXPECT_EQ(file_text([&](FILE* f) { none.Save_send_port_stock(f); }), "");
}

TEST_F(ElementTest, RestoreSendPortStockGivesEachPortItsPacks) {
  Two_ports t;
  // clang-format off
  const char items[] = "0\0" "2\0" "3600\0" "0.25\0" "7200\0" "1.5\0" "1\0" "1\0" "10\0" "-3\0" "\0";
  // clang-format on
  t.restore(items, sizeof items - 1);
  ASSERT_EQ(t.a.Number_of_data_packs(), 2);
  EXPECT_EQ(t.a.Oldest_data_time(), 3600);
  EXPECT_EQ(t.a.Newest_data_time(), 7200);
  double v = 0;
  ASSERT_TRUE(etest::value_at(t.a, 7200, v));
  EXPECT_EQ(v, 1.5);
  ASSERT_EQ(t.b.Number_of_data_packs(), 1);
  ASSERT_TRUE(etest::value_at(t.b, 10, v));
  EXPECT_EQ(v, -3);
  // Packs not newer than those held are not stocked again.
  t.restore(items, sizeof items - 1);
  EXPECT_EQ(t.a.Number_of_data_packs(), 2);
}

TEST_F(ElementTest, SavedStockReadsBack) {
  Two_ports t;
  t.a.Send_data(10, 0.5);
  t.a.Send_data(20, -2);
  t.b.Send_data(5, 7);
  // The items a bracketed-data reader makes of the written block.
  // clang-format off
  const char items[] = "0\0" "2\0" "10\0" "0.5\0" "20\0" "-2\0" "1\0" "1\0" "5\0" "7\0" "\0";
  // clang-format on
  std::string saved = file_text([&](FILE* f) { t.e.Save_send_port_stock(f); });
  Two_ports u;
  u.restore(items, sizeof items - 1);
  EXPECT_EQ(file_text([&](FILE* f) { u.e.Save_send_port_stock(f); }), saved);
}

TEST_F(ElementTest, RestoreRefusesABlockThatDoesNotFitThePorts) {
  struct Case {
    const char* what;
    std::string items;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"wrong index", std::string("1\0" "0\0" "0\0" "0\0" "\0", 9)},
      {"second port's index missing", std::string("0\0" "1\0" "10\0" "1\0" "\0", 11)},
      {"fewer packs than announced", std::string("0\0" "3\0" "10\0" "1\0" "20\0" "2\0" "\0", 16)},
      {"empty block", std::string("\0", 1)},
      {"index not a number", std::string("x\0" "0\0" "\0", 5)},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(
        {
          Two_ports t;
          t.restore(c.items.data(), static_cast<int>(c.items.size()));
        },
        testing::ExitedWithCode(1), "^E : element.cpp : 586 : \n    Stepper e 0\n        owner > Sub_system r 0\n$");
  }
}

// An element without send ports takes no stock: its data string, whatever
// it holds, is not walked (the sanitizer build would see a read beyond
// it), nothing is reported and the run goes on; "junk" would stop an
// element with a send port (element 586).
TEST_F(ElementTest, RestoreWithoutSendPortsReadsNothing) {
  One_element t;
  t.construct();
  ASSERT_EQ(t.e.Number_of_send_ports(), 0);
  ASSERT_EQ(t.e.Set_data_string("junk", 0), 1);
  EXPECT_EQ(stderr_of([&] { t.e.Restore_send_port_stock(); }), "");
  EXPECT_STREQ(t.e.Data_string(), "junk");
}

}  // namespace
