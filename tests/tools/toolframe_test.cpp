#include "toolframe.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "tool_texts.h"

namespace {

using tooltexts::kDorvaskUsage;
using tooltexts::kPelmicUsage;
using tooltexts::kSarnoltUsage;

TEST(ToolFrame, UsageTextsOfTheThreeTools) {
  struct {
    const char* tool;
    const char* text;
  } cases[] = {{"pelmic", kPelmicUsage}, {"dorvask", kDorvaskUsage}, {"sarnolt", kSarnoltUsage}};
  for (auto& c : cases) {
    const tzframe::ToolTexts* t = tzframe::tool_texts(c.tool);
    ASSERT_NE(t, nullptr) << c.tool;
    EXPECT_EQ(tzframe::usage_text(*t, TzString(c.tool)), c.text);
  }
  EXPECT_EQ(tzframe::tool_texts("tmorvelan2d"), nullptr);
}

TEST(ToolFrame, VersionTextsNameTheToolAndItsPeople) {
  struct {
    const char* tool;
    const char* first;
    int peopleLines;
  } cases[] = {{"pelmic", "\nThis is pelmic, version 2.0\n", 1},
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
  struct {
    const char* tool;
    const char* text;
  } cases[] = {{"pelmic",
                "\nThis is pelmic, version 2.0\n"
                "  Developed by the pelmic developer, river basin modelling group\n\n"},
               {"dorvask",
                "\nThis is dorvask\n"
                "  Developed by the dorvask developer, river basin modelling group\n\n"},
               {"sarnolt",
                "\nThis is sarnolt-1 ver. 1.3\n"
                "  Developed by the sarnolt developer, river basin modelling group\n"
                "  Modified by the sarnolt maintainer, river basin modelling group\n\n"}};
  for (auto& c : cases) {
    testing::internal::CaptureStderr();
    tzframe::version(*tzframe::tool_texts(c.tool));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.text) << c.tool;
  }
}

// Error points of a tool of the test's own.
enum TestPoint { ERR_TEST_FORMAT = 392, ERR_TEST_REPORTED = 414 };

TEST(ToolFrameDeathTest, FatalWritesTheErrorLineAndReason) {
  EXPECT_EXIT(tzframe::fatal("pelmic.cpp", ERR_TEST_FORMAT, {"node data must be node format V.0."}),
              testing::ExitedWithCode(1),
              "^Error occured in file: pelmic\\.cpp, at line: 392\nnode data must be node format V\\.0\\.\n$");
}

// A report goes on after its lines; a tool without error points ends with
// its one line. Only a named point makes an error line.
TEST(ToolFrameDeathTest, ReportGoesOnAndTheELineEnds) {
  static_assert(!std::is_constructible_v<tzframe::Point, int>);
  testing::internal::CaptureStderr();
  tzframe::report("dorvask.cpp", ERR_TEST_REPORTED, {"first reason", "second reason"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error occured in file: dorvask.cpp, at line: 414\nfirst reason\nsecond reason\n");
  EXPECT_EXIT(tzframe::fatal("no such file."), testing::ExitedWithCode(1), "^E: no such file\\.\n$");
}

// Names the tools refuse, with the error point and the reason line; every
// kind of white space makes a name of more than one word for the readers.
TEST(ToolFrame, NameFaults) {
  const std::string n256(256, 'n');
  struct {
    std::string name;
    int point;
    std::string reason;
  } cases[] = {
      {"edges.dat", 0, ""},
      {std::string(255, 'n'), 0, ""},
      {"dir/../e.dat-1", 0, ""},
      {n256, 43, "the file name is longer than 255 characters: " + n256},
      {"it's.dat", 44, "a file name must not hold a quote character: it's.dat"},
      {"\"q\".dat", 44, "a file name must not hold a quote character: \"q\".dat"},
      {"basin 2024.e4", 46, "a file name must not hold blanks or tabs: \"basin 2024.e4\""},
      {"o.dat ", 46, "a file name must not hold blanks or tabs: \"o.dat \""},
      {"a\tb", 46, "a file name must not hold blanks or tabs: \"a\tb\""},
      {"a\nb", 46, "a file name must not hold blanks or tabs: \"a\nb\""},
      {"a\rb", 46, "a file name must not hold blanks or tabs: \"a\rb\""},
  };
  for (const auto& c : cases) {
    const tzframe::NameFault f = tzframe::name_fault(c.name);
    EXPECT_EQ(f.point, c.point) << c.name;
    EXPECT_EQ(f.reason, c.reason) << c.name;
  }
}

}  // namespace
