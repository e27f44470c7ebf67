// The time-series files of input file ports (I_file<T>::Input_data) for
// every value type: the first byte chooses the type, the rest is the file,
// read as the program does at the start of a run.
#include <string_view>

#include "fuzz_support.h"
#include "input_f.h"
#include "p_tmp.h"
#include "tzmatrix.h"

namespace {

template <class T>
void read_series(const char* path) {
  I_file<T> port(path);
  if (port.Switch() != YES) return;
  port.Input_data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string s = fz::write_file("in.dat", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const char* path = s.c_str();
  fz::run([&] {
    switch (data[0] % 13) {
      case 0: read_series<double>(path); break;
      case 1: read_series<float>(path); break;
      case 2: read_series<int>(path); break;
      case 3: read_series<TzLong>(path); break;
      case 4: read_series<QavlenString>(path); break;
      case 5: read_series<Vary<double>>(path); break;
      case 6: read_series<Vary<float>>(path); break;
      case 7: read_series<Vary<int>>(path); break;
      case 8: read_series<Vary<TzLong>>(path); break;
      case 9: read_series<TzMatrix<double>>(path); break;
      case 10: read_series<TzMatrix<float>>(path); break;
      case 11: read_series<TzMatrix<int>>(path); break;
      default: read_series<TzMatrix<TzLong>>(path); break;
    }
  });
  return 0;
}
