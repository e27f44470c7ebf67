// tmorvelan2d end to end on the files of a basin, given one after the
// other, separated by "====" lines: "tmorvelan2d.pmt", "tmorvelan2d.ist",
// "tmorvelan2d.isd" (none when empty), "radarRain_4.dat", then the element's
// files "basin.con", "basin.pmt" and "basin.ist". The program runs in the
// working folder and is answered "1800" (run length), "1800" (increment)
// and "Y". The program is compiled in with its main renamed.
#include <unistd.h>

#include "fuzz_support.h"

// The program's rain sum file is made when the program starts: in the
// working folder.
namespace {
const bool in_folder = (fz::enter_working_folder(), true);
}

#define main tmorvelan2d_main
#include "tmorvelan2d.cpp"
#undef main

namespace {
const bool back = (fz::leave_working_folder(), true);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> parts = fz::split(data, size, 7);
  const char* names[] = {"tmorvelan2d.pmt", "tmorvelan2d.ist", "tmorvelan2d.isd", "radarRain_4.dat",
                         "basin.con",       "basin.pmt",       "basin.ist"};
  for (int k = 0; k < 7; ++k) fz::write_file(names[k], parts[k]);
  if (parts[2].empty()) unlink(fz::path("tmorvelan2d.isd").c_str());
  fz::feed_stdin("answers", "1800\n1800\nY\n");
  fz::enter_working_folder();
  all_rain_file.Reset();
  fz::run([&] { tmorvelan2d_main(); });
  // A run that stopped early leaves lines of its rain sum: they go to this
  // input's file, not to the next input's.
  all_rain_file.Close();
  fz::leave_working_folder();
  return 0;
}
