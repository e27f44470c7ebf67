#include "toolframe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "tool_texts.h"

namespace {

using tooltexts::kDorvaskUsage;
using tooltexts::kPelmicUsage;
using tooltexts::kSarnoltUsage;

TEST(ToolFrame, UsageTextsOfTheThreeTools) {
  struct { const char* tool; const char* text; } cases[] = {
      {"pelmic", kPelmicUsage}, {"dorvask", kDorvaskUsage}, {"sarnolt", kSarnoltUsage}};
  for (auto& c : cases) {
    const tzframe::ToolTexts* t = tzframe::tool_texts(c.tool);
    ASSERT_NE(t, nullptr) << c.tool;
    EXPECT_EQ(tzframe::usage_text(*t, TzString(c.tool)), c.text);
  }
  EXPECT_EQ(tzframe::tool_texts("tmorvelan2d"), nullptr);
}

TEST(ToolFrame, VersionTextsNameTheToolAndItsPeople) {
  struct { const char* tool; const char* first; int peopleLines; } cases[] = {
      {"pelmic", "\nThis is pelmic, version 2.0\n", 1},
      {"dorvask", "\nThis is dorvask\n", 1},
      {"sarnolt", "\nThis is sarnolt-1 ver. 1.3\n", 2}};
  for (auto& c : cases) {
    std::string v = tzframe::tool_texts(c.tool)->version;
    ASSERT_EQ(v.compare(0, std::string(c.first).size(), c.first), 0) << c.tool;
    std::string rest = v.substr(std::string(c.first).size());
    int lines = 0;
    for (char ch : rest) lines += ch == '\n';
    EXPECT_EQ(lines, c.peopleLines) << c.tool;
    EXPECT_EQ(rest.back(), '\n');
  }
}

TEST(ToolFrameDeathTest, UsageEndsWithStatusOneAndVersionReturns) {
  const tzframe::ToolTexts& t = *tzframe::tool_texts("dorvask");
  EXPECT_EXIT(tzframe::usage(t, TzString("dorvask")), testing::ExitedWithCode(1),
              "^\ndorvask produces edge connection data\n(.|\n)*prompting messages\\.\n\n$");
  testing::internal::CaptureStderr();
  tzframe::version(*tzframe::tool_texts("pelmic"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, std::string(tzframe::tool_texts("pelmic")->version) + "\n");
}

TEST(ToolFrame, VersionTextsByteForByte) {
  struct { const char* tool; const char* text; } cases[] = {
      {"pelmic", "\nThis is pelmic, version 2.0\n"
                 "  Developed by the pelmic developer, river basin modelling group\n\n"},
      {"dorvask", "\nThis is dorvask\n"
                  "  Developed by the dorvask developer, river basin modelling group\n\n"},
      {"sarnolt", "\nThis is sarnolt-1 ver. 1.3\n"
                  "  Developed by the sarnolt developer, river basin modelling group\n"
                  "  Modified by the sarnolt maintainer, river basin modelling group\n\n"}};
  for (auto& c : cases) {
    testing::internal::CaptureStderr();
    tzframe::version(*tzframe::tool_texts(c.tool));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.text) << c.tool;
  }
}

TEST(ToolFrameDeathTest, FatalWritesTheErrorLineAndReason) {
  EXPECT_EXIT(tzframe::fatal("pelmic.cpp", 392, "node data must be node format V.0."),
              testing::ExitedWithCode(1),
              "^Error occured in file: pelmic\\.cpp, at line: 392\nnode data must be node format V\\.0\\.\n$");
}

TEST(ToolFrame, NameFaults) {
  EXPECT_EQ(tzframe::name_fault("edges.dat"), nullptr);
  EXPECT_EQ(tzframe::name_fault(std::string(255, 'n')), nullptr);
  EXPECT_NE(tzframe::name_fault(std::string(256, 'n')), nullptr);
  EXPECT_NE(tzframe::name_fault("it's.dat"), nullptr);
  EXPECT_NE(tzframe::name_fault("\"q\".dat"), nullptr);
}

TEST(ToolFrame, RealsInTheDefaultStreamFormat) {
  struct { double v; const char* text; } cases[] = {
      {0.1, "0.1"},          {1234567.0, "1.23457e+06"}, {2.0, "2"},       {0.000001, "1e-06"},
      {-1.0, "-1"},          {0.01, "0.01"},             {0.05, "0.05"},   {100.0, "100"},
      {123456.0, "123456"},  {0.0001, "0.0001"},         {1e-5, "1e-05"},  {0.0, "0"},
      {-0.0, "-0"},          {3.14159265, "3.14159"},    {1e100, "1e+100"}, {999999.5, "1e+06"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(tzframe::real_text(c.v), c.text) << c.v;
    std::ostringstream os;
    os << c.v;
    EXPECT_EQ(tzframe::real_text(c.v), os.str()) << c.v;  // as the stream writes it
  }
  char buf[32];
  EXPECT_EQ(std::string(buf, tzframe::put_int(buf, -2147483648LL)), "-2147483648");
}

}  // namespace

namespace {

// Every real the tools write must read exactly as the C format "%g" gives it.
TEST(ToolFrame, RealsMatchTheCFormatOverManyValues) {
  std::mt19937_64 gen(12345);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-8, 9);
  auto check = [](double v) {
    char want[64];
    std::snprintf(want, sizeof want, "%g", v);
    ASSERT_EQ(tzframe::real_text(v), want) << std::hexfloat << v;
  };
  for (int i = 0; i < 300000; ++i) {
    double v = mant(gen) * std::pow(10.0, expo(gen));
    check(v);
    check(-v);
    // Short decimals as they stand in data files, and the halves between them.
    double d = std::round(v * 1000.0) / 1000.0;
    check(d);
    check(std::nextafter(d, 0.0));
    check(d + 0.0005);
  }
  for (double v : {1e-4, 9.99999e-5, 0.0001000005, 999999.4999, 999999.5, 999999.5000001, 99999.95, 12345.65,
                   0.1, 0.01, 0.001, 1.0, 10.0, 100000.0, 999995.0, 0.5, 2.5, 1234565.0})
    for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)}) {
      check(w);
      check(-w);
    }
  for (double v : {0.0, -0.0, 1e300, -1e-300, 5e-324, HUGE_VAL, -HUGE_VAL}) check(v);
  // Whole numbers, and the reals just beside them.
  for (int k = 1; k <= 1000010; k += (k < 2000 || k > 999000) ? 1 : 7) {
    double w = k;
    check(w);
    check(-w);
    check(std::nextafter(w, 0.0));
    check(std::nextafter(w, 1e300));
  }
}

}  // namespace
