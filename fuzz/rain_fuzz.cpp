// The gridded rain file port (I_file_matrix) on a file of bytes: the port
// reads the file as the program does at the start of a run. The first byte
// chooses the matrix type (double as the runoff model uses, float, int,
// long); the rest is the file.
#include <string_view>

#include "fuzz_support.h"
#include "i_file_matrix.h"

namespace {

template <class T>
void read_grids(const char* path) {
  I_file_matrix<TzMatrix<T>> port(path);
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
  const std::string path =
      fz::write_file("radarRain_4.dat", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  fz::run([&] {
    switch (data[0] % 4) {
      case 0: read_grids<double>(path.c_str()); break;
      case 1: read_grids<float>(path.c_str()); break;
      case 2: read_grids<int>(path.c_str()); break;
      default: read_grids<TzLong>(path.c_str()); break;
    }
  });
  return 0;
}
