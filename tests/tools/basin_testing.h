// A generated basin for the tests of the chain: catchments of three slope
// edges and one river edge each, as a node and an edge file for pelmic.
#ifndef TZ_TESTS_BASIN_TESTING_H
#define TZ_TESTS_BASIN_TESTING_H

#include <string>
#include <vector>

namespace basintest {

// Catchment j: slope edges H1 -> M, H2 -> A and M -> A (5400, 3000 and
// 4800 m2) and the river edge A -> O to the catchment's outlet O
// (O = first_outlet + 10 j, A = O + 1, M = O + 2, H1 = O + 3, H2 = O + 4,
// the outlet at x = x0 + 300 j). Edges are numbered upstream first, 4 j + 1
// to 4 j + 4, and listed in the edge file in a scrambled order: record k is
// edge (k * stride) mod 4 groups.
struct Catchments {
  int groups;
  int first_outlet;
  int x0;
  int stride;
  std::string edge_comment;  // the edge file's "[Comment]" block, if any

  std::string nodes() const {
    std::string s = "[Comment]\ngenerated\n[Data Format Name]\nnode format V.0\n[Data]\n";
    for (int j = 0; j < groups; ++j) {
      const int o = first_outlet + 10 * j, x = x0 + 300 * j;
      const int node[5][4] = {{o, x, 0, 0},
                              {o + 1, x, 100, 10},
                              {o + 2, x - 50, 250, 30},
                              {o + 3, x - 100, 400, 50},
                              {o + 4, x + 120, 200, 45}};
      for (const auto& n : node)
        s += std::to_string(n[0]) + " 0 " + std::to_string(n[1]) + " " + std::to_string(n[2]) + " " +
             std::to_string(n[3]) + "\n";
    }
    return s;
  }

  std::string edges() const {
    std::vector<std::string> records;
    for (int j = 0; j < groups; ++j) {
      const int o = first_outlet + 10 * j, a = o + 1, m = o + 2, h1 = o + 3, h2 = o + 4;
      const int base = 4 * j;
      records.push_back(std::to_string(base + 1) + " " + std::to_string(h1) + " " + std::to_string(m) + " 1 180 5400");
      records.push_back(std::to_string(base + 2) + " " + std::to_string(h2) + " " + std::to_string(a) + " 1 150 3000");
      records.push_back(std::to_string(base + 3) + " " + std::to_string(m) + " " + std::to_string(a) + " 1 160 4800");
      records.push_back(std::to_string(base + 4) + " " + std::to_string(a) + " " + std::to_string(o) + " 2");
    }
    std::string s = edge_comment + "[Data Format Name]\nedge format V.0\n[Data]\n";
    for (std::size_t k = 0; k < records.size(); ++k)
      s += records[(k * static_cast<std::size_t>(stride)) % records.size()] + "\n";
    return s;
  }

  // The slope area of the basin, m2.
  double slope_area() const { return groups * (5400.0 + 3000.0 + 4800.0); }
};

}  // namespace basintest

#endif
