// sarnolt end to end: an edge connection file (V.1 to V.5), a "====" line,
// then the answers to the value prompts. The file name dialogue is answered
// by the target (input, parameter and initial-state files, each name on a
// line of its own and confirmed), so that the program writes only into the
// working folder; the answers that follow are the fuzzer's. The program is compiled in with its main
// renamed.
#include <unistd.h>

#include "fuzz_support.h"

#define main sarnolt_main
#include "sarnolt/sarnolt.cpp"
#undef main

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> parts = fz::split(data, size, 2);
  static const std::string names =
      fz::path("edges.dat") + "\ny\n" + fz::path("out.pmt") + "\ny\n" + fz::path("out.ist") + "\ny\n";
  fz::write_file("edges.dat", parts[0]);
  std::string answers = names;
  answers.append(parts[1]);
  fz::feed_stdin("answers", answers);
  char a0[] = "sarnolt";
  char* argv[] = {a0, nullptr};
  optind = 0;  // getopt starts afresh
  fz::run([&] { sarnolt_main(1, argv); });
  return 0;
}
