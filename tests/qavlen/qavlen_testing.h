// Helpers shared by the framework tests: stderr capture, control of the
// explanation search, and small concrete classes standing in for elements
// and typed ports.
#ifndef QAVLEN_TESTING_H
#define QAVLEN_TESTING_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "element.h"
#include "files_testing.h"
#include "p_tmp.h"
#include "port.h"

namespace qtest {

// The directory of the generated explanation files.
inline std::string explain_dir() { return std::string(TZ_BINARY_DIR) + "/qavlensdir"; }

// Sets or unsets QAVLENSDIR for the life of the object.
class Qavlensdir : public cli::With_env {
 public:
  explicit Qavlensdir(const char* value) : With_env("QAVLENSDIR", value) {}
};

// Runs f with stderr captured and returns what it wrote.
template <class F>
std::string stderr_of(F f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

// A switched input file port of the class template P on `path` (no
// receivers: nothing is released).
template <template <class> class P, class T>
struct File_port_on {
  explicit File_port_on(const std::string& path) : in(path.c_str()) { EXPECT_EQ(in.Switch(), YES); }
  // The published packs as (time, value).
  std::vector<std::pair<Long, T>> packs() {
    Data_pack* const* a = nullptr;
    int n = 0;
    in.Get_data_pack_array(a, n);
    std::vector<std::pair<Long, T>> out;
    for (int k = 0; k < n; ++k) out.push_back({a[k]->Data_time(), static_cast<Data<T>*>(a[k])->Value()});
    return out;
  }
  // What a read reports.
  std::string read() {
    return stderr_of([&] { in.Input_data(); });
  }
  P<T> in;
};

// An element with nothing of its own: every operation a model supplies
// answers as done.
class Plain_element : public Element {
 public:
  using Element::Element;
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Set_parameter(FILE*) override { return 1; }
  int Set_initial_state(FILE*) override { return 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 1; }
  int Can_you_calculate() override { return 1; }
  int Calculate() override { return 1; }
  int Work() override { return 0; }
  int Save_terminal_state(FILE*) override { return 1; }
};

// An element as ports see it: a named owner with a time window and a count
// of the demands that reached it; it computes nothing.
class Test_owner : public Plain_element {
 public:
  Test_owner(const char* name, int number, const char* word = "Element") {
    class_name = word;
    Init(name, number);
  }
  void Creq() override { ++demands; }
  Long Necessary_time_from(Receive_port*) override { return from; }
  Long Necessary_time_to(Receive_port*) override { return to; }
  int demands = 0;
  Long from = 0;
  Long to = 0;
};

// A sending port with a fixed type name whose data operations answer as an
// empty port and record how they were called.
class Test_sender : public Sender_port {
 public:
  Test_sender(const char* name, int number, const char* type) : Sender_port(name, number), type_(type) {}
  const char* Data_pack_type() const override { return type_; }
  void Creq() override { calls += "Creq;"; }
  void Set_data_pack_array() override { calls += "Set_data_pack_array;"; }
  Boolean Can_you_get_data(Long t1, Long t2) override {
    calls += "Can_you_get_data(" + std::to_string(t1) + "," + std::to_string(t2) + ");";
    return YES;
  }
  void Get_data_pack_array(Data_pack* const*& a, int& n) override {
    calls += "Get_data_pack_array;";
    a = nullptr;
    n = 7;
  }
  Long Oldest_data_time() override { return 11; }
  Long Newest_data_time() override { return 22; }
  int Number_of_data_packs() override { return 3; }
  Boolean Get_data_pack(Data_pack*& b, Long t, Data_pack*& a, char mode) override {
    calls += "Get_data_pack(" + std::to_string(t) + "," + std::string(1, mode) + ");";
    b = a = nullptr;
    return YES;
  }
  void Reduce_data_pack_stock() override { calls += "Reduce_data_pack_stock;"; }
  Port* NewPort() override { return nullptr; }
  std::string calls;

 private:
  const char* type_;
};

// A receiving port with a fixed type name; everything else is Receive_port's.
class Test_receiver : public Receive_port {
 public:
  Test_receiver(const char* name, int number, const char* type) : Receive_port(name, number), type_(type) {}
  const char* Data_pack_type() const override { return type_; }
  Port* NewPort() override { return nullptr; }

 private:
  const char* type_;
};

}  // namespace qtest

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace qtest {

// Runs f with a memory stream and returns what it wrote there.
template <class F>
std::string file_text(F f) {
  char* buf = nullptr;
  std::size_t len = 0;
  FILE* out = open_memstream(&buf, &len);
  f(out);
  std::fclose(out);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

// A read-only stream over a text (empty: a stream at its end).
class Text_file {
 public:
  explicit Text_file(std::string text) : text_(std::move(text)) {
    f_ = fmemopen(text_.empty() ? nullptr : &text_[0], text_.size(), "r");
    if (!f_) f_ = std::tmpfile();
  }
  ~Text_file() { std::fclose(f_); }
  FILE* get() const { return f_; }

 private:
  std::string text_;
  FILE* f_;
};

// An item list from its items (each ended by a NUL) and the empty end item.
inline std::string item_list(std::initializer_list<const char*> items) {
  std::string list;
  for (const char* i : items) {
    list += i;
    list += '\0';
  }
  list += '\0';
  return list;
}

}  // namespace qtest

#endif
