// The time series tmorvelan2d writes (tmorvelan2d.out, .sat, .stg,
// all_rain.dat) and the example's hydrograph: '#' comment lines, then one
// "time value" line per output time.
#ifndef TZ_TESTS_SERIES_H
#define TZ_TESTS_SERIES_H

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace cli {

using Series = std::vector<std::pair<long, double>>;

// The (time, value) lines of the text; comment lines and lines that do not
// begin with two numbers are passed over.
inline Series series(const std::string& text) {
  Series s;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream l(line);
    long t;
    double v;
    if (l >> t >> v) s.emplace_back(t, v);
  }
  return s;
}

inline std::vector<long> times(const Series& s) {
  std::vector<long> t;
  for (const auto& p : s) t.push_back(p.first);
  return t;
}

}  // namespace cli

#endif
