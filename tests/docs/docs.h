// What the tests of the user's docs share: the example files of
// docs/examples and their regeneration, the text of a doc, the scripts of
// the examples run by a shell with the programs on the PATH, and the
// figures a user takes from tmorvelan2d's files (the event at the outlet,
// the water balance), computed here from the files themselves.
#ifndef TZ_TESTS_DOCS_H
#define TZ_TESTS_DOCS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/series.h"

namespace docs {

inline const std::string kTop = TZ_SOURCE_DIR;
inline const std::string kExamples = kTop + "/docs/examples/";

inline std::string Example(const std::string& name) { return cli::read_file(kExamples + name); }

inline bool Regenerating() {
  const char* v = std::getenv("TZ_DOCS_REGENERATE");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

// A file the programs (or the scripts) wrote is the example of that name;
// TZ_DOCS_REGENERATE=1 writes it instead.
inline void ExpectExample(const std::string& name, const std::string& written) {
  if (Regenerating()) {
    cli::write_file(kExamples + name, written);
    return;
  }
  EXPECT_EQ(written, Example(name)) << "docs/examples/" << name
                                    << " is not what the program writes (TZ_DOCS_REGENERATE=1 rewrites it)";
}

inline void CopyExamples(const cli::Folder& d, const std::vector<std::string>& names) {
  for (const std::string& n : names) d.copy_in(kExamples + n, n);
}

// The text with every run of white space (line ends included) one blank.
inline std::string FoldSpaces(const std::string& text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = true;
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  if (space) out += ' ';
  return out;
}

// The doc (a path below the top of the tree) says the text; its line breaks
// count as blanks.
inline void ExpectSays(const std::string& doc, const std::string& text) {
  const std::string said = FoldSpaces(cli::read_file(kTop + "/" + doc));
  EXPECT_NE(said.find(FoldSpaces(text)), std::string::npos) << doc << " should say: " << text;
}

// The runoff element's time step (s) in the text of a tmorvelan2d.pmt: the
// first number of the first line after "Morvelan2d ..." that is not a
// comment.
inline long ElementStep(const std::string& pmt) {
  std::istringstream in(pmt);
  std::string line;
  bool element = false;
  while (std::getline(in, line)) {
    if (element && !line.empty() && line[0] != '#') return std::stol(line);
    if (line.rfind("Morvelan2d", 0) == 0) element = true;
  }
  ADD_FAILURE() << "no element line in " << pmt;
  return 1;
}

// The text of a tmorvelan2d.pmt with the element's time step `step`.
inline std::string WithElementStep(const std::string& pmt, long step) {
  std::istringstream in(pmt);
  std::string line, out;
  bool element = false;
  while (std::getline(in, line)) {
    if (element && !line.empty() && line[0] != '#') {
      line = std::to_string(step) + line.substr(line.find_first_of(" \t"));
      element = false;
    }
    if (line.rfind("Morvelan2d", 0) == 0) element = true;
    out += line + "\n";
  }
  return out;
}

// The slope area tmorvelan2d prints at the start ("total area: ...(m2)").
inline double TotalArea(const std::string& console) {
  const std::string key = "total area: ";
  const std::size_t at = console.find(key);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no total area in " << console;
    return 0;
  }
  return std::stod(console.substr(at + key.size()));
}

// ---- the scripts of docs/examples ------------------------------------------

inline const cli::Program kShell{"/bin/sh"};

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE) && defined(TZ_TMORVELAN2D_EXE)
// A PATH with the folders of the four programs first, as after installing.
inline std::string ProgramPath() {
  std::string path;
  for (const char* exe : {TZ_PELMIC_EXE, TZ_DORVASK_EXE, TZ_SARNOLT_EXE, TZ_TMORVELAN2D_EXE})
    path += std::filesystem::path(exe).parent_path().string() + ":";
  return path + "/usr/bin:/bin";
}

// A case that runs the shell command line in the folder, the programs on
// the PATH.
inline cli::Case Command(const std::string& line) {
  return cli::Case(line).args({"-c", line}).env("PATH", ProgramPath());
}
#endif

// ---- the figures of a run ----------------------------------------------------

// The event at the outlet from tmorvelan2d.out: the outflow volume (the
// mean of the two ends of each step, m3), the peak and its time.
struct Event {
  double volume = 0;
  double peak = 0;
  long at = 0;
};

inline Event OutletEvent(const cli::Series& outflow) {
  Event e;
  for (std::size_t k = 0; k < outflow.size(); ++k) {
    if (k > 0) e.volume += (outflow[k].first - outflow[k - 1].first) * (outflow[k].second + outflow[k - 1].second) / 2;
    if (k == 0 || outflow[k].second > e.peak) {
      e.peak = outflow[k].second;
      e.at = outflow[k].first;
    }
  }
  return e;
}

// The water balance from all_rain.dat, tmorvelan2d.out and tmorvelan2d.stg
// from the time `from` on (m3): each step's rain, taken at its end, over
// the step and the slope area; the outflow as above; the storage at the
// end less the storage at the start.
struct Balance {
  double rain = 0, outflow = 0, storage = 0;
  double residual() const { return rain - outflow - storage; }
};

inline Balance WaterBalance(const cli::Folder& d, double area, long from = LONG_MIN) {
  auto since = [from](cli::Series s) {
    s.erase(std::remove_if(s.begin(), s.end(), [from](const auto& p) { return p.first < from; }), s.end());
    return s;
  };
  std::map<long, double> rain;
  for (const auto& p : cli::series(d.read("all_rain.dat"))) rain[p.first] = p.second;
  const cli::Series out = since(cli::series(d.read("tmorvelan2d.out")));
  const cli::Series stored = since(cli::series(d.read("tmorvelan2d.stg")));
  Balance b;
  b.outflow = OutletEvent(out).volume;
  for (std::size_t k = 1; k < out.size(); ++k)
    b.rain += rain[out[k].first] / 3600000 * static_cast<double>(out[k].first - out[k - 1].first) * area;
  if (!stored.empty()) b.storage = stored.back().second - stored.front().second;
  return b;
}

}  // namespace docs

#endif
