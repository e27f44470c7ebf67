// A driver for the fuzz targets where libFuzzer is missing (a compiler
// other than clang): runs the target once over every file named on the
// command line or held in a folder named there. Options ("-...") are
// ignored, so the command lines of run-fuzz -c serve both drivers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void run_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) {
          run_file(e.path());
          ++runs;
        }
    } else {
      run_file(p);
      ++runs;
    }
  }
  std::fprintf(stderr, "\n#%zu\tDONE   (%zu inputs run once, no fuzzing)\n", runs, runs);
  return 0;
}
