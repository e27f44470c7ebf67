// The utility library's line reader and word extractor on a stream of
// bytes. The first byte chooses the line end character and the order of the
// two readers; the rest is the stream.
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "tzstr.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned mode = data[0];
  const char delim = (mode & 0x80) ? '\n' : static_cast<char>(mode & 0x7f);
  std::istringstream is(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  fz::run([&] {
    TzString line;
    for (unsigned k = 0; is && k < 1u << 16; ++k) {
      // Readers in turn as the mode's bits say: a line, or a word.
      if ((mode >> (k % 7)) & 1) {
        if (getline(is, line, delim)) continue;
        if (line.Length() > 0) continue;
        if (is.eof() || is.bad()) break;
        is.clear();  // an empty line: its end is still there
        is.get();
      } else {
        is >> line;
      }
    }
  });
  return 0;
}
