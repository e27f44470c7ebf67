// The comment-free data file opener on a file of bytes; the copy is read
// through to its end.
#include <string_view>

#include "dfopen.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path =
      fz::write_file("in.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  fz::run([&] {
    std::FILE* f = dataFileOpen(path.c_str());
    while (std::getc(f) != EOF) {
    }
    std::fclose(f);
  });
  return 0;
}
