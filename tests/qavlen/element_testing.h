// Small elements, systems and ports of the element and sub-system tests.
#ifndef ELEMENT_TESTING_H
#define ELEMENT_TESTING_H

#include <functional>
#include <string>
#include <vector>

#include "element.h"
#include "p_tmp.h"
#include "qavlen_testing.h"
#include "sub.h"

namespace etest {

// A sending port whose published data cover a window that the test sets;
// it records the calls the element makes on it.
class Stub_sender : public Sender_port {
 public:
  Stub_sender(const char* name, int number, const char* type = "double") : Sender_port(name, number), type_(type) {
    class_name = "Stub_sender";
  }
  Stub_sender() : type_("double") { class_name = "Stub_sender"; }
  const char* Data_pack_type() const override { return type_; }
  void Creq() override {
    ++demands;
    if (on_demand) on_demand();
  }
  void Set_data_pack_array() override { ++publications; }
  Boolean Can_you_get_data(Long t1, Long t2) override {
    asked += "[" + std::to_string(t1) + "," + std::to_string(t2) + "]";
    return has_data && oldest <= t1 && newest >= t2 ? YES : NO;
  }
  void Get_data_pack_array(Data_pack* const*& a, int& n) override {
    a = nullptr;
    n = 0;
  }
  Long Oldest_data_time() override { return has_data ? oldest : LONG_MAX32; }
  Long Newest_data_time() override { return has_data ? newest : LONG_MIN32; }
  int Number_of_data_packs() override { return 0; }
  Boolean Get_data_pack(Data_pack*& b, Long, Data_pack*& a, char) override {
    b = a = nullptr;
    return NO;
  }
  void Reduce_data_pack_stock() override { ++reductions; }
  Port* NewPort() override { return nullptr; }

  bool has_data = false;
  Long oldest = 0;
  Long newest = 0;
  int demands = 0;
  int publications = 0;
  int reductions = 0;
  std::string asked;
  std::function<void()> on_demand;

 private:
  const char* type_;
};

using qtest::Test_receiver;

using Plain = qtest::Plain_element;

// An element whose ports, steps and calculation the test sets. It records
// what the framework asks of it in `log`.
class Stepper : public Element {
 public:
  Stepper(const char* name, int number, Long step = 10) : step_(step) {
    class_name = "Stepper";
    Init(name, number, 0, nullptr);
  }
  std::vector<Port*> ins;
  std::vector<Port*> outs;

  int Register_receive_ports() override {
    for (Port* p : ins) Register(p);
    return 1;
  }
  int Register_send_ports() override {
    for (Port* p : outs) Register(p);
    return 1;
  }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override {
    log += "Initial_output;";
    return initial_output_result;
  }
  Time Calculate_time_step() override {
    log += "Calculate_time_step;";
    if (!steps.empty()) {
      Long s = steps.front();
      if (steps.size() > 1) steps.erase(steps.begin());
      return s;
    }
    return step_;
  }
  int Can_you_calculate() override { return Can_you_calculate0(); }
  int Calculate() override {
    ++calculations;
    log += "Calculate(" + std::to_string(current_time) + "+" + std::to_string(time_step) + ");";
    if (fail_at == calculations) return 0;
    return 1;
  }
  int Work() override { return Work0(); }
  int Save_terminal_state(FILE* f) override {
    std::fprintf(f, "state of %s", Object_name());
    return 1;
  }

  // Access to the clock for the tests.
  void set_time(Long t) { current_time = t; }
  Long step() const { return time_step; }
  void set_step(Long s) { time_step = s; }
  Boolean demanded() const { return mCreqp; }
  void set_demanded(Boolean b) { mCreqp = b; }
  Long target() const { return target_time; }
  void set_target(Long t) { target_time = t; }
  void set_fixed(Long t) { fixed_time = t; }

  std::vector<Long> steps;  // steps to give, in order (the last repeats)
  int fail_at = 0;          // the Calculate call (1, 2, ...) that fails
  int calculations = 0;
  int initial_output_result = 1;
  std::string log;

 private:
  Long step_;
};

// The value a source sends for time t.
inline double source_value(Long t) { return 1.0 + t / 10.0; }

// The value of the published pack at exactly time t of a port's sender;
// false when there is none.
inline bool value_at(Port& port, Long t, double& v) {
  Data_pack* before = nullptr;
  Data_pack* after = nullptr;
  if (port.Get_data_pack(before, t, after, 'b') != YES || before != after) return false;
  v = static_cast<Data<double>*>(before)->Value();
  return true;
}

// A source: no inputs; sends source_value(t) on "sp" at every step's end
// and at its start time.
class Source : public Stepper {
 public:
  explicit Source(const char* name, Long step = 10) : Stepper(name, 0, step), sp("sp", 0) {
    class_name = "Source";
    outs = {&sp};
  }
  int Initial_output() override {
    Stepper::Initial_output();
    sp.Send_data(current_time, source_value(current_time));
    return 1;
  }
  int Calculate() override {
    if (Stepper::Calculate() == 0) return 0;
    Long t = Next_time();
    sp.Send_data(t, source_value(t));
    return 1;
  }
  Send<double> sp;
};

// A relay: doubles what arrives on "in" and sends it on "sp"; its initial
// output waits for its input.
class Relay : public Stepper {
 public:
  explicit Relay(const char* name, Long step = 10) : Stepper(name, 0, step), in("in", 0, "double"), sp("sp", 0) {
    class_name = "Relay";
    ins = {&in};
    outs = {&sp};
  }
  int Initial_output() override {
    Stepper::Initial_output();
    double v = 0;
    if (!value_at(in, current_time, v)) return 0;
    sp.Send_data(current_time, 2 * v);
    return 1;
  }
  int Calculate() override {
    if (Stepper::Calculate() == 0) return 0;
    double v = 0;
    if (!value_at(in, Next_time(), v)) return 0;
    sp.Send_data(Next_time(), 2 * v);
    return 1;
  }
  Test_receiver in;
  Send<double> sp;
};

// A sink: records what arrives on "in" at every step's end.
class Sink : public Stepper {
 public:
  explicit Sink(const char* name, Long step = 10) : Stepper(name, 0, step), in("in", 0, "double") {
    class_name = "Sink";
    ins = {&in};
  }
  int Calculate() override {
    if (Stepper::Calculate() == 0) return 0;
    double v = 0;
    if (!value_at(in, Next_time(), v)) return 0;
    seen += std::to_string(Next_time()) + ":" + std::to_string(v) + ";";
    return 1;
  }
  Test_receiver in;
  std::string seen;
};

// The root of a test tree: a sub-system with its own terminal time and
// medium-term target, and components, sets and connections the test gives.
class Test_root : public Sub_system {
 public:
  Test_root(const char* name, int number, int sets = 0) { Init(name, number, 0, sets, nullptr); }
  std::vector<Element*> components;
  std::vector<std::vector<Element*>> sets;
  std::vector<Port*> ins;
  std::vector<Port*> outs;
  std::function<void()> connect;

  int Register_receive_ports() override {
    for (Port* p : ins) Register(p);
    return 1;
  }
  int Register_send_ports() override {
    for (Port* p : outs) Register(p);
    return 1;
  }
  int Register_components() override {
    for (Element* e : components) Register(e);
    return 1;
  }
  int Register_iterators() override {
    for (auto& s : sets) Register(static_cast<int>(s.size()), s.data());
    return 1;
  }
  int Connect_ports() override {
    ++connect_calls;
    if (connect) connect();
    return 1;
  }
  int Connect_components() override { return 1; }
  Time Terminal_time() override { return terminal; }
  Time MediumTermTargetTime() override { return medium; }

  void set_time(Long t) { current_time = t; }

  Long terminal = LONG_MAX32;
  Long medium = 0;
  int connect_calls = 0;
};

// A nested sub-system: components and sets of its own, times from its owner.
class Test_sub : public Sub_system {
 public:
  Test_sub(const char* name, int number, int sets = 0) { Init(name, number, 0, sets, nullptr); }
  std::vector<Element*> components;
  std::vector<std::vector<Element*>> sets;
  std::function<void()> connect;
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override {
    for (Element* e : components) Register(e);
    return 1;
  }
  int Register_iterators() override {
    for (auto& s : sets) Register(static_cast<int>(s.size()), s.data());
    return 1;
  }
  int Connect_ports() override {
    if (connect) connect();
    return 1;
  }
  int Connect_components() override { return 1; }
  void set_time(Long t) { current_time = t; }
};

}  // namespace etest

#endif
