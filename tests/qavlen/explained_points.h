// The check that the report points of a library's units and the rows of
// their explanation tables (qavlen/explain/<unit>.txt) match one to one:
// every point has an explanation of its own at its position in the
// generated file, and every row of a table is the position of a point.
#ifndef EXPLAINED_POINTS_H
#define EXPLAINED_POINTS_H

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common.h"
#include "qavlen_testing.h"

namespace qtest {

// The table of a unit: "object.cpp" has qavlen/explain/object.txt.
inline std::string table_of(const std::string& unit) {
  return std::string(TZ_SOURCE_DIR) + "/qavlen/explain/" + unit.substr(0, unit.rfind('.')) + ".txt";
}

// The positions of the rows of a table: its lines that begin with a digit.
inline std::vector<int> table_positions(const std::string& table) {
  std::ifstream in(table);
  std::vector<int> positions;
  std::string row;
  while (std::getline(in, row))
    if (!row.empty() && std::isdigit(static_cast<unsigned char>(row[0]))) positions.push_back(std::stoi(row));
  return positions;
}

// The explanation Print_comments echoes for a point.
inline std::string explanation_of(const Report_unit& unit, int position) {
  return file_text([&](FILE* f) { Print_comments(f, unit.name, position, "   "); });
}

// Whether line `position` of the generated file of the unit begins a "//"
// block: a point without a row of its own would echo the next explanation
// within ten lines.
inline bool block_begins_at(const Report_unit& unit, int position) {
  std::ifstream generated(explain_dir() + "/" + unit.name);
  std::string text;
  int read = 0;
  while (read < position && std::getline(generated, text)) ++read;
  return read == position && text.rfind("//", 0) == 0;
}

// Every point of every unit against the unit's table.
template <std::size_t N>
void expect_points_explained(const Report_unit* const (&units)[N]) {
  Qavlensdir dir(explain_dir().c_str());
  for (const Report_unit* unit : units) {
    std::map<int, const char*> named;  // position -> the point's name
    for (int k = 0; k < unit->count; ++k) {
      const Point_row& p = unit->rows[k];
      EXPECT_TRUE(named.emplace(p.position, p.name).second)
          << unit->name << " " << p.position << ": " << p.name << " and " << named[p.position] << " name one position";
      EXPECT_GT(explanation_of(*unit, p.position).size(), 20u)
          << unit->name << " " << p.position << " (" << p.name << ") has no explanation in " << table_of(unit->name);
      EXPECT_TRUE(block_begins_at(*unit, p.position))
          << unit->name << " " << p.position << " (" << p.name << ") has no row of its own in " << table_of(unit->name);
    }
    const std::vector<int> rows = table_positions(table_of(unit->name));
    EXPECT_FALSE(rows.empty()) << table_of(unit->name) << " holds no explanation";
    for (int position : rows)
      EXPECT_EQ(named.count(position), 1u)
          << table_of(unit->name) << ": the explanation at " << position << " belongs to no point of " << unit->name;
  }
}

}  // namespace qtest

#endif
