#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "edge.h"
#include "edge_probe.h"
#include "morvelan2d-1.h"
#include "qavlen/files_testing.h"

namespace {

// --- one record --------------------------------------------------------------

struct RecordCase {
  const char* name;
  int type;
  const char* text;
  Long num;
  double x, y, z;
  std::vector<Long> upper;
  Int atr;
  Int lowest;
  double len, grd, area;   // as in the file (slope edges); grd after the floor
  double dist, upperArea;  // versions 3 and 5; else 0
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class TopographicDataTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(TopographicDataTest, ReadsTheRecord) {
  const RecordCase& c = GetParam();
  Edge e;
  ReadEdge(e, c.text, c.type);
  EXPECT_EQ(e.Num(), c.num);
  EXPECT_DOUBLE_EQ(e.X(), c.x);
  EXPECT_DOUBLE_EQ(e.Y(), c.y);
  EXPECT_DOUBLE_EQ(e.Z(), c.z);
  ASSERT_EQ(e.NumberOfUpperEdges(), static_cast<Int>(c.upper.size()));
  for (std::size_t i = 0; i < c.upper.size(); i++) EXPECT_EQ(e.UpperEdgeNumArray(static_cast<int>(i)), c.upper[i]) << i;
  EXPECT_EQ(EdgeProbe::UpperSlots(e), c.upper.empty() ? 1u : c.upper.size());
  EXPECT_EQ(e.Atr(), c.atr);
  EXPECT_EQ(e.LowestEdge(), c.lowest);
  if (c.atr == 1) {
    EXPECT_EQ(e.Area(), c.area);
    EXPECT_DOUBLE_EQ(e.Width(), c.area / c.len);
    EXPECT_DOUBLE_EQ(e.Length(), c.len * std::sqrt(c.grd * c.grd + 1));
    EXPECT_DOUBLE_EQ(e.Gradient(), c.grd / std::sqrt(c.grd * c.grd + 1));
    EXPECT_NEAR(EdgeProbe::Cos(e), 1 / std::sqrt(c.grd * c.grd + 1), 1e-12);
  } else {
    EXPECT_EQ(e.Area(), 0.0);
    EXPECT_EQ(e.Width(), 0.0);
    EXPECT_EQ(e.Length(), 0.0);
    EXPECT_EQ(e.Gradient(), 0.0);
  }
  EXPECT_EQ(EdgeProbe::Dist(e), c.dist);
  EXPECT_EQ(e.UpperArea(), c.upperArea);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Versions, TopographicDataTest,
    ::testing::Values(
        RecordCase{"v2_slope", 2, "5 10.5 20 30\n2 1 -6\n1 -9\n1 100 0.75 3000\n", 5, 10.5, 20,
                   30, {1, -6}, 1, EDGE_NO, 100, 0.75, 3000, 0, 0},
        RecordCase{"v2_slope_line_breaks_carry_no_meaning", 2,
                   "5\n10.5\n20 30 2\n1\n-6 1\n-9 1 100\n0.75\n3000", 5, 10.5, 20, 30, {1, -6}, 1,
                   EDGE_NO, 100, 0.75, 3000, 0, 0},
        RecordCase{"v2_gradient_zero_is_floored", 2, "8 0 0 0 0 0 1 40 0 400", 8, 0, 0, 0, {}, 1,
                   EDGE_NO, 40, 0.00001, 400, 0, 0},
        RecordCase{"v2_negative_gradient_is_floored", 2, "8 0 0 0 0 0 1 40 -0.3 400", 8, 0, 0, 0,
                   {}, 1, EDGE_NO, 40, 0.00001, 400, 0, 0},
        RecordCase{"v2_river_without_receiver_is_outlet", 2, "3 1 2 3 2 1 2 2 4 5 2", 3, 1, 2, 3,
                   {1, 2}, 2, EDGE_YES, 0, 0, 0, 0, 0},
        RecordCase{"v2_river_with_receiver_is_not_outlet", 2, "3 1 2 3 2 1 2 2 4 -5 2", 3, 1, 2,
                   3, {1, 2}, 2, EDGE_NO, 0, 0, 0, 0, 0},
        RecordCase{"v2_slope_without_receiver_is_not_outlet", 2, "3 0 0 0 0 0 1 10 1 10", 3, 0,
                   0, 0, {}, 1, EDGE_NO, 10, 1, 10, 0, 0},
        RecordCase{"v3_slope_with_rate_and_upper_area", 3,
                   "12 1 1 1 1 -13 1 -20 1 60 0.2 1200 0.4 5300.5", 12, 1, 1, 1, {-13}, 1,
                   EDGE_NO, 60, 0.2, 1200, 0.4, 5300.5},
        RecordCase{"v3_river_with_rate", 3, "20 1 1 1 2 12 -21 0 2 0.5 0", 20, 1, 1, 1,
                   {12, -21}, 2, EDGE_YES, 0, 0, 0, 0.5, 0},
        RecordCase{"v4_slope_point_is_midpoint", 4,
                   "9 101 10 20 105 102 14 28 95 1 4 1 -10 1 80 0.25 1600", 9, 12, 24, 100, {4},
                   1, EDGE_NO, 80, 0.25, 1600, 0, 0},
        RecordCase{"v4_river", 4, "10 102 14 28 95 103 20 28 90 2 9 -11 1 12 2", 10, 17, 28,
                   92.5, {9, -11}, 2, EDGE_YES, 0, 0, 0, 0, 0},
        RecordCase{"v5_slope", 5, "9 101 10 20 105 102 14 28 95 0 1 -10 1 80 0.25 1600 1 0", 9,
                   12, 24, 100, {}, 1, EDGE_NO, 80, 0.25, 1600, 1, 0},
        RecordCase{"v5_river", 5, "10 102 14 28 95 103 20 28 90 1 9 1 -12 2 0.25 77", 10, 17,
                   28, 92.5, {9}, 2, EDGE_NO, 0, 0, 0, 0.25, 77}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(TopographicData, ConsecutiveRecordsShareOneStream) {
  Network net;
  ReadNetwork(net, 3,
              "1 0 0 0 0 1 -2 1 10 0.1 100\n"
              "2 0 0 0 1 1 1 -3 1 20 0.1 300\n"
              "3 0 0 0 1 2 0 2\n",
              2);
  EXPECT_EQ(net[0].Num(), 1);
  EXPECT_EQ(net[1].Num(), 2);
  EXPECT_EQ(net[1].Area(), 300.0);
  EXPECT_EQ(net[2].Num(), 3);
  EXPECT_EQ(net[2].Atr(), 2);
}

// --- record errors -------------------------------------------------------------

struct BadRecord {
  const char* name;
  int type;
  const char* text;
  const char* condition;
};

void PrintTo(const BadRecord& c, std::ostream* os) { *os << c.name; }

class TopographicDataDeathTest : public ::testing::TestWithParam<BadRecord> {};

TEST_P(TopographicDataDeathTest, StopsWithTheFailedCondition) {
  const BadRecord& c = GetParam();
  Edge e;
  EXPECT_DEATH(ReadEdge(e, c.text, c.type),
               "^morvelan2d-1\\.cpp:[0-9]+: Assertion `" + ftest::escaped(c.condition) + "' failed\\.\n$");
}

const char* const kUpperRead = "fscanf(fpTopo, \"%d\", &numberOfUpperEdges) == 1";
const char* const kNumRead = "fscanf(fpTopo, \"%ld\", &num) == 1";
const char* const kTmpRead = "fscanf(fpTopo, \"%d\", &tmp) == 1";
const char* const kSlopeRead = "fscanf(fpTopo, \"%lf %lf %lf\", &wlen, &wgrd, &warea) == 3";
const char* const kDistRead = "fscanf(fpTopo, \"%lf %lf\", &mDist, &mUpperArea) == 2";
const char* const kSlopeFinite = "std::isfinite(wlen) && std::isfinite(wgrd) && std::isfinite(warea)";
const char* const kDistFinite = "std::isfinite(mDist) && std::isfinite(mUpperArea)";

INSTANTIATE_TEST_SUITE_P(
    Assertions, TopographicDataDeathTest,
    ::testing::Values(BadRecord{"empty_file", 2, "", "mNum > 0"},
                      BadRecord{"zero_number", 2, "0 0 0 0 0 0 1 1 1 1", "mNum > 0"},
                      BadRecord{"negative_number", 4, "-4 1 0 0 0 2 0 0 0 0 0 2", "mNum > 0"},
                      BadRecord{"no_upper_count", 2, "1 0 0 0", kUpperRead},
                      BadRecord{"upper_count_not_a_number", 2, "1 0 0 0 x", kUpperRead},
                      BadRecord{"negative_upper_count", 2, "1 0 0 0 -1 0 2", "numberOfUpperEdges >= 0"},
                      BadRecord{"upper_list_short", 2, "1 0 0 0 3 4 5", kNumRead},
                      BadRecord{"huge_upper_count_short_list", 2, "1 0 0 0 2000000000 4 5", kNumRead},
                      BadRecord{"no_lower_count", 2, "1 0 0 0 1 4", kTmpRead},
                      BadRecord{"negative_lower_count", 2, "1 0 0 0 1 4 -2 2", "tmp >= 0"},
                      BadRecord{"lower_list_short", 4, "1 1 0 0 0 2 0 0 0 0 2 -5", kNumRead},
                      BadRecord{"no_attribute", 2, "1 0 0 0 0 1 -3", kTmpRead},
                      BadRecord{"attribute_3", 2, "1 0 0 0 0 0 3 10 0.1", "tmp == 1 || tmp == 2"},
                      BadRecord{"attribute_0", 3, "1 0 0 0 0 0 0", "tmp == 1 || tmp == 2"},
                      BadRecord{"slope_without_area", 2, "1 0 0 0 0 0 1 10 0.1", kSlopeRead},
                      BadRecord{"slope_length_zero", 2, "1 0 0 0 0 0 1 0 0.1 10", "wlen > 0.0"},
                      BadRecord{"slope_length_negative", 4, "1 1 0 0 0 2 0 0 0 0 0 1 -10 0.1 10", "wlen > 0.0"},
                      BadRecord{"slope_area_zero", 2, "1 0 0 0 0 0 1 10 0.1 0", "warea > 0.0"},
                      BadRecord{"slope_length_nan", 2, "1 0 0 0 0 0 1 nan 0.1 10", "wlen > 0.0"},
                      BadRecord{"slope_gradient_nan", 2, "1 0 0 0 0 0 1 10 nan 10", kSlopeFinite},
                      BadRecord{"slope_gradient_inf", 4, "1 1 0 0 0 2 0 0 0 0 0 1 10 inf 10", kSlopeFinite},
                      BadRecord{"slope_length_inf", 2, "1 0 0 0 0 0 1 inf 0.1 10", kSlopeFinite},
                      BadRecord{"slope_area_inf", 3, "1 0 0 0 0 0 1 10 0.1 INF 1 0", kSlopeFinite},
                      BadRecord{"v3_rate_missing", 3, "1 0 0 0 0 0 2 0.5", kDistRead},
                      BadRecord{"v5_rate_missing", 5, "1 1 0 0 0 2 0 0 0 0 0 1 10 0.1 10", kDistRead},
                      BadRecord{"v3_rate_zero", 3, "1 0 0 0 0 0 2 0 10", "mDist > 0.0"},
                      BadRecord{"v5_upper_area_negative", 5, "1 1 0 0 0 2 0 0 0 0 0 2 1 -1", "mUpperArea >= 0.0"},
                      BadRecord{"v3_rate_inf", 3, "1 0 0 0 0 0 2 inf 10", kDistFinite},
                      BadRecord{"v5_upper_area_inf", 5, "1 1 0 0 0 2 0 0 0 0 0 2 1 inf", kDistFinite},
                      BadRecord{"v5_upper_area_nan", 5, "1 1 0 0 0 2 0 0 0 0 0 2 1 nan", "mUpperArea >= 0.0"}),
    [](const ::testing::TestParamInfo<BadRecord>& info) { return std::string(info.param.name); });

TEST(TopographicDataDeathTest, OtherVersionsAreAFormatError) {
  for (int type : {0, 1, 6}) {
    Edge e;
    EXPECT_EXIT(ReadEdge(e, "1 0 0 0 0 0 2", type), ::testing::ExitedWithCode(1), "^E: data format error$") << type;
  }
}

// --- upper links ---------------------------------------------------------------

TEST(RegisterUpperEdge, FillsTheSlotsInOrderThenRefuses) {
  Edge e, a, b, c;
  ReadEdge(e, "1 0 0 0 2 5 -6 0 2", 2);
  EXPECT_EQ(e.RegisterUpperEdge(&a), EDGE_YES);
  EXPECT_EQ(e.RegisterUpperEdge(&b), EDGE_YES);
  EXPECT_EQ(e.RegisterUpperEdge(&c), EDGE_NO);
  EXPECT_EQ(EdgeProbe::Upper(e, 0), &a);
  EXPECT_EQ(EdgeProbe::Upper(e, 1), &b);
}

TEST(RegisterUpperEdge, EmptyPointerLeavesTheSlotEmpty) {
  Edge e, a;
  ReadEdge(e, "1 0 0 0 1 5 0 2", 2);
  EXPECT_EQ(e.RegisterUpperEdge(nullptr), EDGE_YES);
  EXPECT_EQ(EdgeProbe::Upper(e, 0), nullptr);
  EXPECT_EQ(e.RegisterUpperEdge(&a), EDGE_YES);
  EXPECT_EQ(EdgeProbe::Upper(e, 0), &a);
  EXPECT_EQ(e.RegisterUpperEdge(&a), EDGE_NO);
}

TEST(RegisterUpperEdge, EdgeWithoutUpperEdgesHasOneSlot) {
  Edge e, a;
  ReadEdge(e, "1 0 0 0 0 0 2", 2);
  EXPECT_EQ(e.NumberOfUpperEdges(), 0);
  EXPECT_EQ(e.RegisterUpperEdge(&a), EDGE_YES);
  EXPECT_EQ(e.RegisterUpperEdge(&a), EDGE_NO);
}

// --- distribution rate, upper area, outlets --------------------------------------

// sqrt(sine of the slope angle) x width: the share weight of a slope edge.
double Weight(double grd, double len, double area) { return std::sqrt(std::sin(std::atan(grd))) * (area / len); }

struct Expect {
  Long num;
  double dist, upperArea;
  Int lowest;
};

struct NetCase {
  const char* name;
  int type;
  int count;
  const char* text;
  std::vector<Expect> expect;
};

void PrintTo(const NetCase& c, std::ostream* os) { *os << c.name; }

class NetworkTest : public ::testing::TestWithParam<NetCase> {};

TEST_P(NetworkTest, RatesAreasAndOutlets) {
  const NetCase& c = GetParam();
  Network net;
  ReadNetwork(net, c.count, c.text, c.type);
  ASSERT_EQ(c.expect.size(), static_cast<std::size_t>(c.count));
  for (int i = 0; i < c.count; i++) {
    const Expect& x = c.expect[i];
    ASSERT_EQ(net[i].Num(), x.num);
    EXPECT_NEAR(EdgeProbe::Dist(net[i]), x.dist, 1e-12) << "edge " << x.num;
    EXPECT_NEAR(net[i].UpperArea(), x.upperArea, 1e-9 * (1 + x.upperArea)) << "edge " << x.num;
    EXPECT_EQ(net[i].LowestEdge(), x.lowest) << "edge " << x.num;
  }
}

const double kW5 = Weight(0.3, 50, 1000), kW6 = Weight(0.1, 100, 1500);

INSTANTIATE_TEST_SUITE_P(
    Networks, NetworkTest,
    ::testing::Values(
        // 1 feeds the node where slopes 2 and 3 (equal gradient and width)
        // begin; both feed river 4, the outlet.
        NetCase{"equal_slopes_split_in_half",
                2,
                4,
                "1 0 0 0  0        1 -2  1 50 0.2 1000\n"
                "2 0 0 0  2 1 -3   1 -4  1 40 0.2 800\n"
                "3 0 0 0  2 1 -2   1 -4  1 40 0.2 800\n"
                "4 0 0 0  2 2 3    0     2\n",
                {{1, 1.0, 0.0, EDGE_NO},
                 {2, 0.5, 500.0, EDGE_NO},
                 {3, 0.5, 500.0, EDGE_NO},
                 {4, 1.0, 2 * (800 + 500.0), EDGE_YES}}},
        // Slope 2 shares its upper node with river 3: a river takes an equal
        // share; river 3 shares with slope 2 by count.
        NetCase{"slope_beside_a_river",
                4,
                4,
                "1 1 0 0 0 2 0 0 0  0       1 -2  1 50 0.2 1000\n"
                "2 2 0 0 0 3 0 0 0  2 1 -3  0     1 40 0.4 600\n"
                "3 2 0 0 0 4 0 0 0  2 1 -2  1 5   2\n"
                "9 9 0 0 0 8 0 0 0  0       1 -3  2\n",
                {{1, 1.0, 0.0, EDGE_NO}, {2, 0.5, 500.0, EDGE_NO}, {3, 0.5, 500.0, EDGE_YES}, {9, 1.0, 0.0, EDGE_NO}}},
        // Slopes 5 and 6 share a node with different gradients and widths:
        // shares in proportion to sqrt(gradient) x width; river 7 leaves a
        // node with two other rivers.
        NetCase{"unequal_slopes_and_three_rivers",
                2,
                6,
                "1 0 0 0  0          0      1 50 0.2 1000\n"
                "5 0 0 0  2 1 -6     0      1 50 0.3 1000\n"
                "6 0 0 0  2 1 -5     0      1 100 0.1 1500\n"
                "7 0 0 0  4 5 6 -8 -10 0    2\n"
                "8 0 0 0  0          1 -7   2\n"
                "10 0 0 0 0          0      2\n",
                {{1, 1.0, 0.0, EDGE_NO},
                 {5, kW5 / (kW5 + kW6), 1000 * kW5 / (kW5 + kW6), EDGE_NO},
                 {6, kW6 / (kW5 + kW6), 1000 * kW6 / (kW5 + kW6), EDGE_NO},
                 {7, 1.0 / 3, (1000 + 1000 * kW5 / (kW5 + kW6) + 1500 + 1000 * kW6 / (kW5 + kW6)) / 3, EDGE_YES},
                 {8, 1.0, 0.0, EDGE_NO},
                 {10, 1.0, 0.0, EDGE_YES}}},
        // A river leaving the node with two unequal slopes: all three share
        // by count, the slopes' weights play no part.
        NetCase{"river_beside_unequal_slopes_shares_by_count",
                2,
                4,
                "1 0 0 0  0            3 -2 -3 -4  1 50 0.2 1000\n"
                "2 0 0 0  3 1 -3 -4    0           1 50 0.3 1000\n"
                "3 0 0 0  3 1 -2 -4    0           1 100 0.1 1500\n"
                "4 0 0 0  3 1 -2 -3    0           2\n",
                {{1, 1.0, 0.0, EDGE_NO},
                 {2, 1.0 / 3, 1000.0 / 3, EDGE_NO},
                 {3, 1.0 / 3, 1000.0 / 3, EDGE_NO},
                 {4, 1.0 / 3, 1000.0 / 3, EDGE_YES}}},
        // A chain of slopes: areas accumulate downstream.
        NetCase{"chain",
                2,
                3,
                "1 0 0 0  0    1 -2  1 10 0.1 100\n"
                "2 0 0 0  1 1  1 -3  1 10 0.1 200\n"
                "3 0 0 0  1 2  0     1 10 0.1 400\n",
                {{1, 1.0, 0.0, EDGE_NO}, {2, 1.0, 100.0, EDGE_NO}, {3, 1.0, 300.0, EDGE_NO}}},
        // The same chain listed downstream first: edge 3 sees only the own
        // area of edge 2, without a message.
        NetCase{"chain_listed_downstream_first",
                2,
                3,
                "3 0 0 0  1 2  0     1 10 0.1 400\n"
                "2 0 0 0  1 1  1 -3  1 10 0.1 200\n"
                "1 0 0 0  0    1 -2  1 10 0.1 100\n",
                {{3, 1.0, 200.0, EDGE_NO}, {2, 1.0, 100.0, EDGE_NO}, {1, 1.0, 0.0, EDGE_NO}}},
        // Versions 3 and 5 keep the file's values, even a river draining
        // into a slope.
        NetCase{"v3_values_from_the_file",
                3,
                2,
                "1 0 0 0  0    1 -2  2 0.5 10\n"
                "2 0 0 0  1 1  0     1 10 0.1 200 0.25 7\n",
                {{1, 0.5, 10.0, EDGE_NO}, {2, 0.25, 7.0, EDGE_NO}}}),
    [](const ::testing::TestParamInfo<NetCase>& info) { return std::string(info.param.name); });

TEST(CalcUpperAreaDeathTest, RiverDrainingIntoAnEdgeIsAWrongConnection) {
  for (int type : {2, 4}) {
    const char* text = type == 2 ? "4 0 0 0  0    1 -12  2\n"
                                   "12 0 0 0 1 4  0      1 10 0.1 200\n"
                                 : "4 1 0 0 0 2 0 0 0  0    1 -12  2\n"
                                   "12 2 0 0 0 3 0 0 0 1 4  0      1 10 0.1 200\n";
    Network net;
    EXPECT_EXIT(ReadNetwork(net, 2, text, type), ::testing::ExitedWithCode(1),
                "^wrong connection of edges:\nfrom 4 to 12\n$")
        << type;
  }
}

// --- the file's version line, as the runoff element reads it ----------------------

// One slope edge draining into a river edge, the outlet, in each version.
std::string Records(int type) {
  switch (type) {
    case 2: return "1 100 200 0  0  1 -2  1 50 0.2 1000\n2 100 300 0  1 1  0  2\n";
    case 3: return "1 100 200 0  0  1 -2  1 50 0.2 1000 1 0\n2 100 300 0  1 1  0  2 1 1000\n";
    case 5:
      return "1 10 100 100 20 11 100 300 10  0  1 -2  1 50 0.2 1000 1 0\n"
             "2 11 100 300 10 12 100 500 5  1 1  0  2 1 1000\n";
    default:
      return "1 10 100 100 20 11 100 300 10  0  1 -2  1 50 0.2 1000\n"
             "2 11 100 300 10 12 100 500 5  1 1  0  2\n";
  }
}

struct VersionCase {
  const char* name;
  const char* line;  // the line after "[Data Format Name]"
  int type;          // the version read; 0: the file is refused
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }

class VersionLineTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionLineTest, GivesTheRecordLayoutOrIsRefused) {
  const VersionCase& c = GetParam();
  cli::Folder d;
  ftest::write_file(d.file("net.con"),
                    "# made by hand\n[Comment]\nslope edges 1\nriver edges 1\n"
                    "[Data Format Name]\n" +
                        std::string(c.line) + "\n# the count\n[Number of Total Edges]\n2\n[Data]\n" +
                        Records(c.type == 0 ? 4 : c.type));
  std::string par = "[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n2\n[Data]\n";
  for (int n : {1, 2}) par += std::to_string(n) + " 0.3 1.667 0.01 1.0 0.3 0.15 4.0 0.65 0.000001 10 0.0001 10\n";
  ftest::write_file(d.file("par.dat"), par);
  cli::Result o = ftest::run(
      [] {
        Morvelan2d m("morvelan2d", 0);
        FILE* f = std::tmpfile();
        std::fputs("60 net.con par.dat 0 0 500 500\n", f);
        std::rewind(f);
        m.Set_parameter(f);
        std::fclose(f);
        // Every version gives the river the slope's area, whether computed
        // (2, 4) or read (3, 5).
        if (m.EdgeAt(1).UpperArea() != 1000 || m.EdgeAt(1).LowestEdge() != EDGE_YES) return 99;
        return 10 + m.TopoDataType();
      },
      d.path());
  if (c.type == 0) {
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.err.rfind("E : morvelan2d-1.cpp : 662 : ", 0), 0u) << o.err;
    EXPECT_EQ(o.out, "");
  } else {
    EXPECT_EQ(o.status, 10 + c.type) << o.err;
    EXPECT_EQ(o.out, "\ttotal area: 1000(m2)\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionLineTest,
                         ::testing::Values(VersionCase{"v2", "edge connection V.2", 2},
                                           VersionCase{"v3", "edge connection V.3", 3},
                                           VersionCase{"v4", "edge connection V.4", 4},
                                           VersionCase{"v5_with_crlf", "edge connection V.5\r", 5},
                                           VersionCase{"v4_line_goes_on", "edge connection V.4 (dorvask)", 4},
                                           VersionCase{"v4_digit_follows", "edge connection V.45", 4},
                                           VersionCase{"v1_refused", "edge connection V.1", 0},
                                           VersionCase{"v6_refused", "edge connection V.6", 0},
                                           VersionCase{"cut_short_refused", "edge connection V.", 0},
                                           VersionCase{"leading_blank_refused", " edge connection V.4", 0},
                                           VersionCase{"other_format_refused", "edge format V.4", 0}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
