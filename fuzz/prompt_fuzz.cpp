// The utility library's prompt readers (read_int, read_double,
// read_string) on a standard input of bytes. The first byte chooses the
// order of the readers; the rest is the standard input.
#include <string_view>

#include "fuzz_support.h"
#include "tzstr.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned mode = data[0];
  fz::feed_stdin("answers", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  fz::run([&] {
    for (unsigned k = 0; k < 8; ++k) {
      switch ((mode >> (k % 4 * 2)) & 3) {
        case 0: read_int("int : "); break;
        case 1: read_double("double : "); break;
        default: read_string("string : "); break;
      }
    }
  });
  return 0;
}
