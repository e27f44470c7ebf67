// The chain of the four programs on a basin of example files, as
// examples/run and the docs run it, and the example basin's hydrograph,
// kept once in examples/hydrograph.txt.
#ifndef TZ_TESTS_CHAIN_H
#define TZ_TESTS_CHAIN_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/series.h"

namespace cli {

// The example basin's files.
inline std::string examples_dir() { return std::string(TZ_SOURCE_DIR) + "/examples/"; }

// The inputs a user writes: the network, the rain, the model's files.
inline const std::vector<std::string>& chain_inputs() {
  static const std::vector<std::string> names = {"nodes.dat", "edges.dat", "radarRain_4.dat", "tmorvelan2d.pmt",
                                                 "tmorvelan2d.ist"};
  return names;
}

// The hydrograph of the example basin at the outlet: the series of
// tmorvelan2d.out, one line a minute over 6 hours, at every time of
// examples/hydrograph.txt within 1e-5 of its value, peaking at about
// 4.1 m3/s at about 11 500 s as the README says.
inline void expect_example_hydrograph(const Series& q) {
  const Series golden = series(read_file(examples_dir() + "hydrograph.txt"));
  ASSERT_FALSE(golden.empty());
  ASSERT_EQ(q.size(), 21600u / 60 + 1);
  for (const auto& h : golden) {
    const auto& v = q[static_cast<std::size_t>(h.first / 60)];
    EXPECT_EQ(v.first, h.first);
    EXPECT_NEAR(v.second, h.second, 1e-5 * h.second) << h.first;
  }
  auto peak = std::max_element(q.begin(), q.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  EXPECT_NEAR(peak->first, 11500, 100);
  EXPECT_NEAR(peak->second, 4.1, 0.01);
}

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE)
// The inputs copied from `from` into dir, then pelmic (edges.dat and
// nodes.dat to basin.e4) and dorvask (to basin.con).
inline void connect_basin(const Folder& dir, const std::string& from) {
  for (const std::string& f : chain_inputs()) dir.copy_in(from + f, f);
  Result o = run(pelmic, {"edges.dat", "nodes.dat", "basin.e4"}, dir.path());
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  o = run(dorvask, {"basin.e4", "basin.con"}, dir.path());
  ASSERT_EQ(o.status, 0) << o.out << o.err;
}

// connect_basin(), then sarnolt with the answers of from/sarnolt.answers
// (basin.pmt and basin.ist).
inline void prepare_basin(const Folder& dir, const std::string& from) {
  connect_basin(dir, from);
  if (testing::Test::HasFatalFailure()) return;
  Result o = run(sarnolt, {}, dir.path(), read_file(from + "sarnolt.answers"));
  ASSERT_EQ(o.status, 0) << o.err;
}
#endif

}  // namespace cli

#endif
