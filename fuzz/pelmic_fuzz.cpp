// pelmic end to end: an edge file ("edge format V.0") and a node file
// ("node format V.0"), separated by a "====" line, converted to an
// "edge format V.4" file. The program is compiled in with its main renamed.
#include <unistd.h>

#include "fuzz_support.h"

#define main pelmic_main
#include "pelmic/pelmic.cpp"
#undef main

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> parts = fz::split(data, size, 2);
  std::string edges = fz::write_file("edges.dat", parts[0]);
  std::string nodes = fz::write_file("nodes.dat", parts[1]);
  std::string out = fz::path("out.dat");
  char a0[] = "pelmic";
  char* argv[] = {a0, edges.data(), nodes.data(), out.data(), nullptr};
  optind = 0;  // getopt starts afresh
  fz::run([&] { pelmic_main(4, argv); });
  return 0;
}
