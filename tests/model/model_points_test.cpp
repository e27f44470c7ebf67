#include "model_points.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "qavlen/explained_points.h"
#include "report_points.h"

namespace fs = std::filesystem;

namespace {

// Every point of the model has its explanation, and every row of the
// model's tables is a point.
TEST(ModelPoints, EveryPointOfTheModelIsExplained) { qtest::expect_points_explained(model_report_units); }

// Every table of qavlen/explain is the table of a unit of the framework or
// of the model: no explanation stands without its unit's points.
TEST(ModelPoints, EveryExplanationTableHasItsUnit) {
  std::set<std::string> units;
  for (const Report_unit* u : qavlen_report_units) units.insert(u->name);
  for (const Report_unit* u : model_report_units) units.insert(u->name);
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TZ_SOURCE_DIR) / "qavlen" / "explain")) {
    if (entry.path().extension() != ".txt") continue;
    ++tables;
    const std::string unit = entry.path().stem().string() + ".cpp";
    EXPECT_EQ(units.count(unit), 1u) << entry.path() << " is the table of no unit's points";
  }
  EXPECT_EQ(tables, static_cast<int>(units.size()));
}

}  // namespace
