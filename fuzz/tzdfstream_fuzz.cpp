// The tools' comment-stripping input stream on a file of bytes; the stream
// is read through line by line.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "tzdfstream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fz::write_file("in.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  fz::run([&] {
    TzDfstream in(path.c_str());
    std::string line;
    while (std::getline(in, line)) {
    }
    in.close();
  });
  return 0;
}
