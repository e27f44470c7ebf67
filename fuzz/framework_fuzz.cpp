// The framework's own files on a small system: the parameter file, the
// initial-state file and the send-port stock file (its bracket check and
// the bracketed data strings delivered to the send ports of an element),
// each read into a freshly built system and then written out again. The
// first byte chooses the file; the rest is its text.
//
// The system: "sys" holds the element "e1" and the sub-system "inner",
// which holds the element "e2"; every element has send ports of several
// value types and reads its parameter and initial-state lines as the
// runoff element does, with fscanf.
#include <cstdio>
#include <string_view>

#include "element.h"
#include "fuzz_support.h"
#include "p_tmp.h"
#include "sub.h"
#include "total.h"
#include "tzmatrix.h"

namespace {

class Probe : public Element {
 public:
  explicit Probe(const char* name) : d("d", 0), v("v", 0), m("m", 0), s("s", 0) {
    class_name = "Probe";
    Init(name, 0, 0, nullptr);
  }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return Register(&d) && Register(&v) && Register(&m) && Register(&s); }
  int Set_parameter(FILE* f) override { return std::fscanf(f, "%lf %d", &factor, &count) == 2; }
  int Set_initial_state(FILE* f) override { return std::fscanf(f, "%d", &mark) == 1; }
  int Initial_output() override { return 1; }
  Time Calculate_time_step() override { return 10; }
  int Can_you_calculate() override { return 1; }
  int Calculate() override { return 1; }
  int Work() override { return 1; }
  int Save_terminal_state(FILE* f) override {
    std::fprintf(f, "%d", mark);
    return 1;
  }

  Send<double> d;
  Send<Vary<int>> v;
  Send<TzMatrix<float>> m;
  Send<QavlenString> s;
  double factor = 0;
  int count = 0;
  int mark = 0;
};

class Inner : public Sub_system {
 public:
  Inner() : e2("e2") { Init("inner", 0, 0, 0, nullptr); }
  int Register_receive_ports() override { return 1; }
  int Register_send_ports() override { return 1; }
  int Register_components() override { return Register(&e2); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  Probe e2;
};

class System : public Total_system {
 public:
  System() : e1("e1") { Init("sys", 0, 0); }
  int Register_input_ports() override { return 1; }
  int Register_output_ports() override { return 1; }
  int Register_components() override { return Register(&e1) && Register(&inner); }
  int Register_iterators() override { return 1; }
  int Connect_ports() override { return 1; }
  int Connect_components() override { return 1; }
  Probe e1;
  Inner inner;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string in = fz::write_file("in.txt", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  static const std::string out = fz::path("out.txt");
  fz::run([&] {
    System sys;
    if (sys.Construct() != 1 || sys.Switch() != 1 || sys.Are_you_ready() != 1) return;
    switch (data[0] % 4) {
      case 0: sys.Read_parameter_file(in.c_str()); break;
      case 1:
        sys.Read_initial_state_file(in.c_str());
        sys.Write_terminal_state(out.c_str());
        break;
      case 2:
        sys.Read_send_port_file(in.c_str());
        sys.Write_send_port_stock(out.c_str());
        break;
      default: sys.Deliver_data_string(in.c_str(), Total_system::PARSET); break;
    }
  });
  return 0;
}
