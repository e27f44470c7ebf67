#include "sub.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "element_testing.h"

namespace {

using etest::Stepper;
using etest::Stub_sender;
using etest::Test_receiver;
using etest::Test_root;
using etest::Test_sub;
using qtest::file_text;
using qtest::stderr_of;

class SubTest : public testing::Test {
 protected:
  qtest::Qavlensdir no_explanations{nullptr};
};

const char* const kRoot = "    Sub_system r 0\n";

// An element whose Construct fails.
class Broken : public Stepper {
 public:
  Broken() : Stepper("broken", 0) {}
  int Construct() override { return 0; }
};

// An iterator-set member: converges once its rewinds reach `converge_after`.
class Member : public Stepper {
 public:
  Member(const char* name, Long step) : Stepper(name, 0, step) {}
  int Work() override { return Work2(); }
  Time Calculate_iteration_step() override { return iteration_step; }
  int Do_you_converge() override { return rewinds >= converge_after; }
  void Rewind_current_time() override {
    ++rewinds;
    Stepper::Rewind_current_time();
  }
  void Send_stocked_data() override { ++flushes; }
  Long iteration_step = 20;
  int converge_after = 0;
  int rewinds = 0;
  int flushes = 0;
};

// ---------------------------------------------------------------- construction

TEST_F(SubTest, ConstructBuildsTheTreeAndConnectsAfterwards) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), b("b", 0), m("m", 0);
  Test_receiver in("in", 0, "double");
  Stub_sender out("out", 0);
  a.outs = {&out};
  b.ins = {&in};
  root.components = {&a, &b};
  root.sets = {{&m}};
  int ports_when_connecting = -2;
  root.connect = [&] {
    ports_when_connecting = b.Number_of_receive_ports();
    EXPECT_EQ(root.Connect(&a, "Stub_sender", "out", 0, &b, "Receive_port", "in", 0), 1);
  };
  ASSERT_EQ(root.Construct(), 1);
  EXPECT_EQ(root.connect_calls, 1);
  EXPECT_EQ(ports_when_connecting, 1);  // children are constructed first
  ASSERT_EQ(root.Number_of_components(), 2);
  EXPECT_EQ(root.Component(0), &a);
  EXPECT_EQ(root.Component(1), &b);
  EXPECT_EQ(root.Number_of_iterators(0), 1);
  EXPECT_EQ(root.Iterator(0, 0), &m);
  EXPECT_EQ(m.Owner(), &root);
  EXPECT_EQ(in.Sender(), &out);
  EXPECT_EQ(root.Switch(), YES);
  EXPECT_EQ(out.Number_of_receivers(), 1);
  EXPECT_EQ(root.Are_you_ready(), YES);
}

TEST_F(SubTest, ConstructWithAFailingComponentConnectsNothing) {
  Test_root root("r", 0);
  Broken broken;
  Stepper a("a", 0), b("b", 0);
  root.components = {&a, &broken, &b};
  std::string err = stderr_of([&] { EXPECT_EQ(root.Construct(), 0); });
  EXPECT_EQ(err, std::string("E : sub.cpp : 349 : \n") + kRoot);
  EXPECT_EQ(root.connect_calls, 0);
  EXPECT_EQ(b.Number_of_receive_ports(), 0);  // all are constructed anyway
}

TEST_F(SubTest, DuplicateComponentIsRefused) {
  Test_root root("r", 0);
  Stepper a("a", 0), a2("a", 0), c("a", 1);
  root.components = {&a, &a2, &c};
  std::string err = stderr_of([&] { EXPECT_EQ(root.Construct(), 1); });
  EXPECT_EQ(err, std::string("E : element.cpp : 129 : \n    registered > Stepper a 0\n") + kRoot);
  EXPECT_EQ(root.Number_of_components(), 2);
  EXPECT_EQ(root.Component(1), &c);
}

TEST_F(SubTest, IteratorSetsFillInOrderAndRefuseOneTooMany) {
  Test_root root("r", 0, 2);
  Stepper a("a", 0), b("b", 0), c("c", 0), d("d", 0), e("e", 0);
  root.sets = {{&a, &b}, {&c, &d}, {&e}};
  std::string err = stderr_of([&] { EXPECT_EQ(root.Construct(), 1); });
  EXPECT_EQ(err, std::string("E : sub.cpp : 194 : \n") + kRoot);
  EXPECT_EQ(root.Number_of_iterators(0), 2);
  EXPECT_EQ(root.Number_of_iterators(1), 2);
  EXPECT_EQ(root.Iterator(0, 1), &b);
  EXPECT_EQ(root.Iterator(1, 0), &c);
  EXPECT_EQ(e.Owner(), nullptr);
}

TEST_F(SubTest, IteratorSetWithARefusedMemberPrintsTheSystem) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), a2("a", 0);
  root.sets = {{&a, &a2}};
  std::string err = stderr_of([&] { root.Construct(); });
  EXPECT_EQ(err,
            std::string("E : element.cpp : 129 : \n    registered > Stepper a 0\n") + kRoot + "    Sub_system r 0\n");
  EXPECT_EQ(root.Number_of_iterators(0), -1);
}

// Each registration step starts from an emptied list: a name used by a
// component or by an earlier set may be used again, within one set it may not.
TEST_F(SubTest, DuplicatesAreLookedForInTheListBeingFilledOnly) {
  Test_root root("r", 0, 3);
  Stepper a("a", 0), a_in_set("a", 0), b("b", 0), c("c", 0), c2("c", 0), b_again("b", 0);
  root.components = {&a};
  root.sets = {{&a_in_set, &b}, {&c, &c2}, {&b_again}};
  std::string err = stderr_of([&] { EXPECT_EQ(root.Construct(), 1); });
  EXPECT_EQ(err,
            std::string("E : element.cpp : 129 : \n    registered > Stepper c 0\n") + kRoot + "    Sub_system r 0\n");
  EXPECT_EQ(root.Number_of_components(), 1);
  EXPECT_EQ(root.Number_of_iterators(0), 2);
  EXPECT_EQ(root.Iterator(0, 0), &a_in_set);
  // The refused set stays free: the next registration fills it.
  EXPECT_EQ(root.Number_of_iterators(1), 1);
  EXPECT_EQ(root.Iterator(1, 0), &b_again);
  EXPECT_EQ(root.Number_of_iterators(2), -1);
}

TEST_F(SubTest, RegisterOfAnIteratorSetInCppForm) {
  class Root : public Test_root {
   public:
    Root() : Test_root("r", 0, 1) {}
    int Register_iterators() override { return result = Register(2, {x, y}); }
    Element* x = nullptr;
    Element* y = nullptr;
    int result = -1;
  };
  Root root;
  Stepper a("a", 0), b("b", 0);
  root.x = &b;
  root.y = &a;
  ASSERT_EQ(root.Construct(), 1);
  EXPECT_EQ(root.result, 1);
  EXPECT_EQ(root.Iterator(0, 0), &b);
  EXPECT_EQ(root.Iterator(0, 1), &a);
}

TEST_F(SubTest, NegativeNumberOfSetsIsRefused) {
  class Late : public Sub_system {
   public:
    int Register_receive_ports() override { return 1; }
    int Register_send_ports() override { return 1; }
    int Register_components() override { return 1; }
    int Register_iterators() override { return 1; }
    int Connect_ports() override { return 1; }
    int Connect_components() override { return 1; }
  };
  Late late;
  EXPECT_STREQ(late.Class_name(), "Sub_system");
  EXPECT_EQ(late.Number_of_components(), -1);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(late.Init("late", 0, 0, -1, nullptr), 0); }),
            "E : sub.cpp : 931 : \n    Sub_system (null) 0\n");
  EXPECT_EQ(late.Init("late", 0, 0, 3, nullptr), 1);
  EXPECT_EQ(late.Number_of_iterator_sets(), 3);
}

// ---------------------------------------------------------------- connection

// A root with a sender element a (send ports "out" 0 of class Stub_sender
// and type double, "f" 0 of type float) and a receiver element b (receive
// port "in" 0), both constructed; the root has a send port and a receive
// port of its own (its file ports).
struct Wired {
  Test_root root{"r", 0};
  Stepper a{"a", 0}, b{"b", 0};
  Stub_sender out{"out", 0}, f{"f", 0, "float"}, file_in{"file", 0};
  Test_receiver in{"in", 0, "double"}, file_out{"file", 1, "double"};
  Wired() {
    a.outs = {&out, &f};
    b.ins = {&in};
    root.outs = {&file_in};
    root.ins = {&file_out};
    root.components = {&a, &b};
    EXPECT_EQ(root.Construct(), 1);
  }
};

TEST_F(SubTest, TheSevenConnectFormsFindTheirPorts) {
  struct Form {
    const char* what;
    std::function<int(Wired&)> connect;
    bool sender_is_file;
    bool receiver_is_file;
  };
  const std::vector<Form> forms = {
      {"sender, element, class, name, number",
       [](Wired& w) { return w.root.Connect(&w.file_in, &w.b, "Receive_port", "in", 0); }, true, false},
      {"element, class, name, number x2",
       [](Wired& w) { return w.root.Connect(&w.a, "Stub_sender", "out", 0, &w.b, "Receive_port", "in", 0); }, false,
       false},
      {"element, class, name, number, receiver",
       [](Wired& w) { return w.root.Connect(&w.a, "Stub_sender", "out", 0, &w.file_out); }, false, true},
      {"sender, element, name, number", [](Wired& w) { return w.root.Connect(&w.file_in, &w.b, "in", 0); }, true,
       false},
      {"element, name, number x2", [](Wired& w) { return w.root.Connect(&w.a, "out", 0, &w.b, "in", 0); }, false,
       false},
      {"element, name, number, receiver", [](Wired& w) { return w.root.Connect(&w.a, "out", 0, &w.file_out); }, false,
       true},
      {"sender, receiver", [](Wired& w) { return w.root.Connect(&w.out, &w.in); }, false, false},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.what);
    Wired w;
    std::string err = stderr_of([&] { EXPECT_EQ(form.connect(w), 1); });
    EXPECT_EQ(err, "");
    Port* sender = form.sender_is_file ? static_cast<Port*>(&w.file_in) : &w.out;
    Test_receiver* receiver = form.receiver_is_file ? &w.file_out : &w.in;
    EXPECT_EQ(receiver->Sender(), sender);
    ASSERT_EQ(w.root.Switch(), YES);
    Sender_port* s = static_cast<Sender_port*>(sender);
    ASSERT_EQ(s->Number_of_receivers(), 1);
    EXPECT_EQ(s->Receiver(0), receiver);
  }
}

TEST_F(SubTest, ConnectReportsTheMissingPort) {
  const std::string a = "    Stepper a 0\n        owner > Sub_system r 0\n";
  const std::string b = "    Stepper b 0\n        owner > Sub_system r 0\n";
  struct Miss {
    std::function<int(Wired&)> connect;
    std::string err;
  };
  const std::vector<Miss> misses = {
      {[](Wired& w) { return w.root.Connect(&w.file_in, &w.b, "Receive", "in", 0); },
       "E : element.cpp : 336 : \n\tAsked > 'in' : 0 :\n" + b + "E : sub.cpp : 34 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "Send", "out", 0, &w.b, "Receive_port", "in", 0); },
       "E : element.cpp : 356 : \n\tAsked > 'out' : 0 :\n" + a + "E : sub.cpp : 53 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "Stub_sender", "out", 0, &w.b, "Receive_port", "in", 1); },
       "E : element.cpp : 336 : \n\tAsked > 'in' : 1 :\n" + b + "E : sub.cpp : 61 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "Stub_sender", "sp", 0, &w.file_out); },
       "E : element.cpp : 356 : \n\tAsked > 'sp' : 0 :\n" + a + "E : sub.cpp : 79 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.file_in, &w.b, "rp", 0); },
       "E : element.cpp : 376 : \n\tAsked > 'rp' : 0 :\n" + b + "E : sub.cpp : 98 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "sp", 0, &w.b, "in", 0); },
       "E : element.cpp : 396 : \n\tAsked > 'sp' : 0 :\n" + a + "E : sub.cpp : 117 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "out", 0, &w.b, "in", 2); },
       "E : element.cpp : 376 : \n\tAsked > 'in' : 2 :\n" + b + "E : sub.cpp : 125 : \n" + kRoot},
      {[](Wired& w) { return w.root.Connect(&w.a, "out", 3, &w.file_out); },
       "E : element.cpp : 396 : \n\tAsked > 'out' : 3 :\n" + a + "E : sub.cpp : 143 : \n" + kRoot},
  };
  for (const Miss& m : misses) {
    Wired w;
    std::string err = stderr_of([&] { EXPECT_EQ(m.connect(w), 0); });
    EXPECT_EQ(err, m.err);
    EXPECT_EQ(w.in.Sender(), nullptr);
    EXPECT_EQ(w.file_out.Sender(), nullptr);
  }
}

TEST_F(SubTest, ReceiverWithASenderRefusesAndTheSenderIsNotTold) {
  Wired w;
  ASSERT_EQ(w.root.Connect(&w.file_in, &w.in), 1);
  std::string err = stderr_of([&] { EXPECT_EQ(w.root.Connect(&w.a, "out", 0, &w.b, "in", 0), 0); });
  EXPECT_NE(err.find("E : receive.cpp : 37 : \n"), std::string::npos);
  ASSERT_EQ(w.root.Switch(), YES);
  EXPECT_EQ(w.out.Number_of_receivers(), 0);
  EXPECT_EQ(w.file_in.Number_of_receivers(), 1);
}

TEST_F(SubTest, TypeMismatchLeavesTheReceiverUnconnected) {
  Wired w;
  std::string err = stderr_of([&] { EXPECT_EQ(w.root.Connect(&w.a, "f", 0, &w.b, "in", 0), 0); });
  EXPECT_NE(err.find("E : receive.cpp : 52 : \n"), std::string::npos);
  EXPECT_EQ(w.in.Sender(), nullptr);
  ASSERT_EQ(w.root.Connect(&w.file_in, &w.file_out), 1);
  ASSERT_EQ(w.root.Switch(), YES);
  EXPECT_EQ(w.f.Number_of_receivers(), 0);
  // The readiness check of the tree then fails at b.
  err = stderr_of([&] { EXPECT_EQ(w.root.Are_you_ready(), NO); });
  EXPECT_NE(err.find("E : element.cpp : 473 : \n    Stepper b 0\n"), std::string::npos);
  EXPECT_NE(err.find(std::string("E : sub.cpp : 476 : \n") + kRoot), std::string::npos);
}

TEST_F(SubTest, UnreadySystemPortsStopTheReadinessCheckAtTheSystem) {
  Wired w;
  ASSERT_EQ(w.root.Switch(), YES);
  std::string err = stderr_of([&] { EXPECT_EQ(w.root.Are_you_ready(), NO); });
  EXPECT_NE(err.find(std::string("E : sub.cpp : 461 : \n") + kRoot), std::string::npos);
  EXPECT_EQ(err.find("Stepper b 0\n"), std::string::npos);  // the children were not asked
}

// ---------------------------------------------------------------- look-ups

TEST_F(SubTest, GetComponentSearchesComponentsThenSets) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), b("b", 0), same("a", 0);
  root.components = {&a};
  root.sets = {{&b, &same}};
  stderr_of([&] { root.Construct(); });
  EXPECT_EQ(root.Get_component("Stepper", "a", 0), &a);
  EXPECT_EQ(root.Get_component("Stepper", "b", 0), &b);
  EXPECT_EQ(root.Get_component("b", 0), &b);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(root.Get_component("Element", "a", 0), nullptr); }),
            std::string("E : sub.cpp : 244 : \n\tAsked > 'Element' : 'a' : 0 :\n") + kRoot);
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(root.Get_component("a", 1), nullptr); }),
            std::string("E : sub.cpp : 270 : \n\tAsked > 'a' : 1 :\n") + kRoot);
}

TEST_F(SubTest, NecessaryTimeOfTheSystemsOwnReceivePorts) {
  Wired w;
  w.root.set_time(70);
  EXPECT_EQ(w.root.Necessary_time_from(static_cast<void*>(&w.file_out)), w.file_out.Necessary_time_from());
  EXPECT_EQ(w.root.Necessary_time_to(static_cast<void*>(&w.file_out)), w.file_out.Necessary_time_to());
  EXPECT_EQ(w.root.Necessary_time_from(static_cast<void*>(&w.in)), 70);
  EXPECT_EQ(w.root.Necessary_time_to(static_cast<void*>(&w.in)), 70);
}

// ---------------------------------------------------------------- checks

TEST_F(SubTest, SwitchStopsAtItsOwnPortsAndElseAsksEveryChild) {
  Wired w;
  ASSERT_EQ(w.a.Switch(), YES);  // a's ports switched: a's second switch fails
  std::string err = stderr_of([&] { EXPECT_EQ(w.root.Switch(), NO); });
  EXPECT_NE(err.find("E : element.cpp : 450 : \n    Stepper a 0\n"), std::string::npos);
  EXPECT_NE(err.find(std::string("E : sub.cpp : 448 : \n") + kRoot), std::string::npos);
  EXPECT_EQ(w.file_in.Number_of_receivers(), 0);  // the root's own ports were switched
  err = stderr_of([&] { EXPECT_EQ(w.root.Switch(), NO); });
  EXPECT_NE(err.find(std::string("E : sub.cpp : 432 : \n") + kRoot), std::string::npos);
  EXPECT_EQ(err.find("sub.cpp : 448"), std::string::npos);
}

TEST_F(SubTest, ReadinessAsksEveryChildAfterAFailure) {
  Test_root root("r", 0);
  Stepper a("a", 0), b("b", 0);
  Test_receiver ain("in", 0, "double"), bin("in", 0, "double");
  a.ins = {&ain};
  b.ins = {&bin};
  root.components = {&a, &b};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Switch(), YES);
  std::string err = stderr_of([&] { EXPECT_EQ(root.Are_you_ready(), NO); });
  EXPECT_NE(err.find("E : element.cpp : 473 : \n    Stepper a 0\n"), std::string::npos);
  EXPECT_NE(err.find("E : element.cpp : 473 : \n    Stepper b 0\n"), std::string::npos);
  EXPECT_NE(err.find(std::string("E : sub.cpp : 476 : \n") + kRoot), std::string::npos);
}

// ---------------------------------------------------------------- initial work and time

TEST_F(SubTest, DoInitialWorkProgressWinsThenFailureThenAlready) {
  Test_root root("r", 0);
  Stepper a("a", 0), b("b", 0), c("c", 0);
  root.components = {&a, &b, &c};
  ASSERT_EQ(root.Construct(), 1);
  a.initial_output_result = 0;
  // the root's own initial work, b and c: progress although a failed
  EXPECT_EQ(root.Do_initial_work(), Element::E_DONE);
  // a fails again, b and c are done already
  EXPECT_EQ(root.Do_initial_work(), Element::E_UNDONE);
  a.initial_output_result = 1;
  EXPECT_EQ(root.Do_initial_work(), Element::E_DONE);
  EXPECT_EQ(root.Do_initial_work(), Element::E_ALREADY);
  EXPECT_EQ(a.log, "Initial_output;Initial_output;Initial_output;");
  EXPECT_EQ(b.log, "Initial_output;");
  EXPECT_EQ(root.Do_share_info(), Element::E_DONE);
  EXPECT_EQ(root.Do_share_info(), Element::E_ALREADY);
}

TEST_F(SubTest, InitialTimeReachesTheWholeTree) {
  Test_root root("r", 0, 1);
  Test_sub sub("s", 0);
  Stepper a("a", 0), b("b", 0), m("m", 0);
  sub.components = {&b};
  root.components = {&a, &sub};
  root.sets = {{&m}};
  ASSERT_EQ(root.Construct(), 1);
  EXPECT_EQ(root.Initial_time(500), 1);
  EXPECT_EQ(root.Current_time(), 500);
  EXPECT_EQ(a.Current_time(), 500);
  EXPECT_EQ(b.Current_time(), 500);
  EXPECT_EQ(m.Current_time(), 500);
  // b has stepped: its refusal is reported by the tree above it, but every
  // child is still asked.
  b.set_step(10);
  std::string err = stderr_of([&] { EXPECT_EQ(root.Initial_time(500), 0); });
  EXPECT_NE(err.find("E : element.cpp : 682 : "), std::string::npos);
  EXPECT_NE(err.find("E : sub.cpp : 652 : \n    Sub_system s 0\n"), std::string::npos);
  EXPECT_NE(err.find(std::string("E : sub.cpp : 652 : \n") + kRoot), std::string::npos);
  EXPECT_NE(err.find("W : element.cpp : 677 : \n    Stepper m 0\n"), std::string::npos);
  err = stderr_of([&] { EXPECT_EQ(root.Initial_time(600), 0); });
  EXPECT_EQ(err.find("E : sub.cpp : 636 : \n" + std::string(kRoot)), err.find("E : sub.cpp : 636"));
  EXPECT_NE(err.find("E : sub.cpp : 636 : \n"), std::string::npos);
  EXPECT_EQ(a.Current_time(), 500);  // the children were not asked
}

TEST_F(SubTest, StartTimeFromTheInitialStateLine) {
  Test_root root("r", 0);
  root.set_time(40);
  FILE* f = std::tmpfile();
  std::fputs("0\n250\nx\n", f);
  std::rewind(f);
  EXPECT_EQ(root.Set_initial_state(f), 1);
  EXPECT_EQ(root.Current_time(), 40);  // 0 keeps the time
  EXPECT_EQ(root.Set_initial_state(f), 1);
  EXPECT_EQ(root.Current_time(), 250);
  EXPECT_EXIT(root.Set_initial_state(f), testing::ExitedWithCode(1),
              std::string("^E : sub.cpp : 546 : \n") + kRoot + "$");
  std::fclose(f);
  EXPECT_EQ(root.Set_parameter(nullptr), 1);
}

TEST_F(SubTest, RenewCurrentTimeTakesTheSlowestMember) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), b("b", 0), m1("m1", 0), m2("m2", 0);
  root.components = {&a, &b};
  root.sets = {{&m1, &m2}};
  ASSERT_EQ(root.Construct(), 1);
  a.set_time(100);
  b.set_time(80);
  m1.set_fixed(90);
  m2.set_fixed(10);  // only a set's first member counts
  EXPECT_EQ(root.Renew_current_time(), 1);
  EXPECT_EQ(root.Current_time(), 80);
  m1.set_fixed(85);
  root.set_time(90);
  std::string err = stderr_of([&] { EXPECT_EQ(root.Renew_current_time(), 0); });
  EXPECT_EQ(err, std::string("W : sub.cpp : 760 : \n\tPut back current_time from 90 to 80.\n") + kRoot);
  EXPECT_EQ(root.Current_time(), 90);

  Test_root empty("e", 0);
  ASSERT_EQ(empty.Construct(), 1);
  EXPECT_EQ(empty.Renew_current_time(), 1);
  EXPECT_EQ(empty.Current_time(), LONG_MAX32);
}

TEST_F(SubTest, TerminalStateLineAndOwnDefaults) {
  Test_root root("r", 0);
  root.set_time(3600);
  EXPECT_EQ(file_text([&](FILE* f) { root.Save_terminal_state(f); }), "3600");
  EXPECT_EQ(root.Initial_output(), 1);
  EXPECT_EQ(root.Initial_work(), 1);
  EXPECT_EQ(root.Can_you_calculate(), 1);
  EXPECT_EQ(root.Calculate(), 1);
  EXPECT_EQ(root.Calculate_time_step(), 0);
}

TEST_F(SubTest, ClearDataStringReachesEveryChild) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), m("m", 0);
  root.components = {&a};
  root.sets = {{&m}};
  ASSERT_EQ(root.Construct(), 1);
  root.Set_data_string("x", 0);
  a.Set_data_string("y", 0);
  m.Set_data_string("z", 0);
  root.Clear_data_string();
  EXPECT_EQ(root.Data_string(), nullptr);
  EXPECT_EQ(a.Data_string(), nullptr);
  EXPECT_EQ(m.Data_string(), nullptr);
}

// ---------------------------------------------------------------- scheduling

TEST_F(SubTest, NestedSubSystemWorksToTheTargetAndTakesTheSlowestClock) {
  Test_root root("r", 0);
  Test_sub sub("s", 0);
  Stepper fast("fast", 0, 10), slow("slow", 0, 15);
  sub.components = {&fast, &slow};
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  root.medium = 40;
  EXPECT_EQ(root.Work(), 1);
  EXPECT_EQ(fast.Current_time(), 40);
  EXPECT_EQ(slow.Current_time(), 45);
  EXPECT_EQ(sub.Current_time(), 40);
  EXPECT_EQ(root.Current_time(), 40);
  // Nothing more to do at this target.
  EXPECT_EQ(sub.Work(), 0);
  EXPECT_EQ(root.Work(), 0);
  root.medium = 60;
  EXPECT_EQ(root.Work(), 1);
  EXPECT_EQ(sub.Current_time(), 60);
}

TEST_F(SubTest, NestedSystemWhoseClockWouldGoBackReports) {
  Test_root root("r", 0);
  Test_sub sub("s", 0);
  Stepper a("a", 0, 10);
  sub.components = {&a};
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  sub.set_time(100);
  root.medium = 20;
  std::string err = stderr_of([&] { EXPECT_EQ(sub.Work(), 0); });
  EXPECT_EQ(err,
            "W : sub.cpp : 760 : \n\tPut back current_time from 100 to 20.\n"
            "    Sub_system s 0\n        owner > Sub_system r 0\n"
            "E : sub.cpp : 917 : \n    Sub_system s 0\n        owner > Sub_system r 0\n");
}

TEST_F(SubTest, NestedSystemClockFollowsItsMembersWhenAnInputRunsOut) {
  Test_root root("r", 0);
  Test_sub sub("s", 0);
  Stepper a("a", 0, 10), b("b", 0, 10);
  Test_receiver in("in", 0, "double");
  Stub_sender up("up", 0);
  b.ins = {&in};
  sub.components = {&a, &b};
  sub.connect = [&] { sub.Connect(&up, &in); };
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  up.Switch();
  up.has_data = true;
  up.newest = 25;
  up.on_demand = [] { throw 99; };
  root.medium = 50;
  EXPECT_THROW(root.Work(), int);
  EXPECT_EQ(a.Current_time(), 50);
  EXPECT_EQ(b.Current_time(), 20);
  EXPECT_EQ(sub.Current_time(), 20);
}

TEST_F(SubTest, IteratorSetConvergesAtEachTarget) {
  Test_sub sub("s", 0, 1);
  Test_root root("r", 0);
  Member x("x", 10), y("y", 5);
  sub.sets = {{&x, &y}};
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  root.terminal = 1000;
  sub.Initialize_target_time();
  EXPECT_EQ(x.target(), 20);
  EXPECT_EQ(y.target(), 20);
  EXPECT_EQ(sub.Work(), 1);
  // The set reached 20 and converged; flushed, fixed at 20, next target
  // 40, reached in the same call, and so on up to the terminal time.
  EXPECT_EQ(x.flushes, 50);
  EXPECT_EQ(x.Fixed_time(), 1000);
  EXPECT_EQ(y.Fixed_time(), 1000);
  EXPECT_EQ(x.Current_time(), 1000);
  EXPECT_EQ(sub.Current_time(), 1000);
  EXPECT_EQ(x.rewinds, 0);
}

TEST_F(SubTest, IteratorSetIsRewoundUntilItConverges) {
  Test_sub sub("s", 0, 1);
  Test_root root("r", 0);
  Member x("x", 10), y("y", 10);
  x.converge_after = 3;
  y.converge_after = 0;
  sub.sets = {{&x, &y}};
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  root.terminal = 20;
  sub.Initialize_target_time();
  std::string err = stderr_of([&] { EXPECT_EQ(sub.Work(), 1); });
  EXPECT_EQ(x.rewinds, 3);
  EXPECT_EQ(y.rewinds, 3);
  EXPECT_EQ(x.flushes, 1);
  EXPECT_EQ(x.calculations, 8);  // four attempts of two steps to 20
  EXPECT_EQ(sub.Current_time(), 20);
  EXPECT_EQ(err, "");
}

// 999 rewinds at one target are borne, and the count starts again at each
// target: 999 at each of two targets end in convergence, not in the stop.
TEST_F(SubTest, IteratorSetRewindCountIsPerTarget) {
  class Slow : public Member {
   public:
    Slow() : Member("slow", 10) {}
    int Do_you_converge() override { return rewinds_here >= 999; }
    void Rewind_current_time() override {
      ++rewinds_here;
      Member::Rewind_current_time();
    }
    void Renew_fixed_time() override {
      rewinds_here = 0;
      Member::Renew_fixed_time();
    }
    int rewinds_here = 0;
  };
  Test_sub sub("s", 0, 1);
  Test_root root("r", 0);
  Slow x;
  sub.sets = {{&x}};
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Initial_time(0), 1);
  root.terminal = 40;
  sub.Initialize_target_time();
  EXPECT_EQ(sub.Work(), 1);
  EXPECT_EQ(x.rewinds, 2 * 999);
  EXPECT_EQ(x.flushes, 2);
  EXPECT_EQ(x.Fixed_time(), 40);
  EXPECT_EQ(sub.Current_time(), 40);
}

TEST_F(SubTest, IteratorSetThatNeverConvergesEndsTheProgram) {
  EXPECT_EXIT(
      {
        Test_sub sub("s", 0, 1);
        Test_root root("r", 0);
        Member x("x", 10);
        x.converge_after = 1000000;
        sub.sets = {{&x}};
        root.components = {&sub};
        root.Construct();
        root.Initial_time(0);
        root.terminal = 20;
        sub.Initialize_target_time();
        sub.Work();
      },
      testing::ExitedWithCode(1),
      "E : sub.cpp : 898 : \n\tin group \\[0\\].\n    Sub_system s 0\n        owner > Sub_system r 0\n$");
}

TEST_F(SubTest, InitializeTargetTimeUsesTheSmallestIterationStep) {
  Test_root root("r", 0, 2);
  Member a("a", 10), b("b", 10), c("c", 10);
  a.iteration_step = 30;
  b.iteration_step = 12;
  c.iteration_step = 7;
  root.sets = {{&a, &b}, {&c}};
  ASSERT_EQ(root.Construct(), 1);
  EXPECT_EQ(root.Calculate_iteration_step(0), 12);
  root.Initialize_target_time();
  EXPECT_EQ(a.target(), 12);
  EXPECT_EQ(b.target(), 12);
  EXPECT_EQ(c.target(), 7);
  a.set_time(12);
  EXPECT_EQ(root.Do_you_reach_target_time(0), 0);
  b.set_time(13);
  EXPECT_EQ(root.Do_you_reach_target_time(0), 1);
}

// ---------------------------------------------------------------- printing

TEST_F(SubTest, PrintComponents) {
  Test_root root("r", 0, 1);
  Stepper a("a", 0), m("m", 1);
  root.components = {&a};
  root.sets = {{&m}};
  ASSERT_EQ(root.Construct(), 1);
  EXPECT_EQ(file_text([&](FILE* f) { root.Print_components(f, "# "); }),
            "# Components :of : Sub_system r 0\n#     Stepper a 0\n"
            "# Iterators [0] :of : Sub_system r 0\n#     Stepper m 1\n");
}

}  // namespace

namespace {

using etest::Relay;
using etest::Sink;
using etest::Source;

TEST_F(SubTest, NestedSystemRunsAChainAndWritesItsStockBlock) {
  Test_root root("r", 0);
  Test_sub sub("s", 0);
  Source source("source");
  Relay relay("relay");
  Sink sink("sink", 20);
  sub.components = {&sink, &relay, &source};
  sub.connect = [&] {
    sub.Connect(&source, "Send", "sp", 0, &relay, "Receive_port", "in", 0);
    sub.Connect(&relay, "Send", "sp", 0, &sink, "Receive_port", "in", 0);
  };
  root.components = {&sub};
  ASSERT_EQ(root.Construct(), 1);
  ASSERT_EQ(root.Switch(), YES);
  ASSERT_EQ(root.Are_you_ready(), YES);
  ASSERT_EQ(root.Initial_time(0), 1);
  while (root.Do_initial_work() == Element::E_DONE) {
  }
  root.medium = 40;
  EXPECT_EQ(root.Work(), 1);
  EXPECT_EQ(sink.seen, "20:6.000000;40:10.000000;");
  EXPECT_EQ(sub.Current_time(), 40);
  EXPECT_EQ(file_text([&](FILE* f) { sub.Save_send_port_stock(f); }),
            "Sub_system s 0\n{\n"
            "Relay relay 0 (\n(0) # send_ports number\n(1) # number_of_data_packs\n\n(40)\n(10)\n)\n"
            "Source source 0 (\n(0) # send_ports number\n(1) # number_of_data_packs\n\n(40)\n(5)\n)\n"
            "}\n");
  Test_sub empty("empty", 0);
  ASSERT_EQ(empty.Construct(), 1);
  EXPECT_EQ(file_text([&](FILE* f) { empty.Save_send_port_stock(f); }), "");
}

}  // namespace
