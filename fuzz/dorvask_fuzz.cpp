// dorvask end to end: an "edge format V.4" file made into an edge
// connection V.4 file. The program is compiled in with its main renamed.
#include <unistd.h>

#include "fuzz_support.h"

#define main dorvask_main
#include "dorvask/dorvask.cpp"
#undef main

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string edges = fz::write_file("edges.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  std::string out = fz::path("out.dat");
  char a0[] = "dorvask";
  char* argv[] = {a0, edges.data(), out.data(), nullptr};
  optind = 0;  // getopt starts afresh
  fz::run([&] { dorvask_main(3, argv); });
  return 0;
}
