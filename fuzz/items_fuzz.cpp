// The reading forms of the thirteen port value types from the item list of
// one input line, as an input file port makes a pack of each data line
// (I_file<T>::Make_data_pack). The first byte chooses the type; the rest,
// up to a NUL byte, is the line.
#include <string>

#include "fuzz_support.h"
#include "input_f.h"
#include "p_tmp.h"
#include "tzmatrix.h"

namespace {

template <class T>
void pack_of(const char* line) {
  I_file<T> port("in.dat");
  delete port.Make_data_pack(const_cast<char*>(line));
}

// The item list itself, walked to its end.
void walk(const char* line) {
  std::vector<char> items = Make_item_list(line);
  char* cursor = items.data();
  while (Take_item(cursor)) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
  fz::run([&] {
    const char* l = line.c_str();
    switch (data[0] % 14) {
      case 0: pack_of<double>(l); break;
      case 1: pack_of<float>(l); break;
      case 2: pack_of<int>(l); break;
      case 3: pack_of<TzLong>(l); break;
      case 4: pack_of<QavlenString>(l); break;
      case 5: pack_of<Vary<double>>(l); break;
      case 6: pack_of<Vary<float>>(l); break;
      case 7: pack_of<Vary<int>>(l); break;
      case 8: pack_of<Vary<TzLong>>(l); break;
      case 9: pack_of<TzMatrix<double>>(l); break;
      case 10: pack_of<TzMatrix<float>>(l); break;
      case 11: pack_of<TzMatrix<int>>(l); break;
      case 12: pack_of<TzMatrix<TzLong>>(l); break;
      default: walk(l); break;
    }
  });
  return 0;
}
