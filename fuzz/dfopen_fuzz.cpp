// The comment-free data file opener on a file of bytes; the copy is read
// through to its end, and some of its positions are mapped back to the
// lines of the file: never decreasing, never beyond its lines.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dfopen.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fz::write_file("in.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  fz::run([&] {
    std::FILE* f = dataFileOpen(path.c_str());
    std::int64_t n = 0;
    while (std::getc(f) != EOF) ++n;
    std::fclose(f);
    const std::int64_t lines = std::count(data, data + size, '\n') + 1;
    std::int64_t previous = 1;
    for (std::int64_t at : {std::int64_t{0}, n / 3, n / 2, std::max<std::int64_t>(n - 1, 0), n}) {
      const std::int64_t line = dataFileLine(path.c_str(), at);
      if (line < previous || line > lines) std::abort();
      previous = line;
    }
  });
  return 0;
}
