// The runoff element's loading: an edge connection file (V.2 to V.5), a
// "Morvelan Parameter Format" file and a "Morvelan Initial State Format"
// file, separated by "====" lines, and optionally a fourth part with the
// numbers of the element's parameter line ("<dt> <x0> <y0> <dx> <dy>",
// default "60 0 0 500 500"). The element reads its parameter line and its
// initial-state line as the framework hands them over, loads the three
// files, links the network, then writes its terminal discharge file.
#include <cstdio>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "morvelan2d-1.h"

namespace {

// A stream holding one line of the framework's file.
std::FILE* line_of(std::string& text) { return fmemopen(text.data(), text.size(), "r"); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> parts = fz::split(data, size, 4);
  const std::string net = fz::write_file("net.con", parts[0]);
  const std::string par = fz::write_file("par.dat", parts[1]);
  const std::string ini = fz::write_file("ini.dat", parts[2]);
  std::string dt = "60", rest = "0 0 500 500";
  if (!parts[3].empty()) {
    std::string numbers(parts[3]);
    std::size_t cut = numbers.find_first_of(" \t\n");
    dt = numbers.substr(0, cut);
    rest = cut == std::string::npos ? "" : numbers.substr(cut);
  }
  std::string ptext = dt + " " + net + " " + par + " " + rest + "\n";
  std::string itext = "0 " + ini + "\n";
  std::FILE* pline = line_of(ptext);
  std::FILE* iline = line_of(itext);
  std::FILE* tst = std::fopen(fz::path("tst.dat").c_str(), "w");
  fz::run([&] {
    Morvelan2d m("morvelan2d", 0);
    m.Set_parameter(pline);
    m.Set_initial_state(iline);
    m.Save_terminal_state(tst);
  });
  std::fclose(pline);
  std::fclose(iline);
  std::fclose(tst);
  return 0;
}
