#include "tzfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli.h"

namespace {

namespace fs = std::filesystem;

TEST(SameFile, ANameAnotherSpellingOrALinkOfOneFile) {
  cli::Folder folder;
  const fs::path dir = folder.path();
  cli::In_folder in(folder.path());
  std::ofstream("x") << "x";
  std::ofstream("y") << "x";
  fs::create_directory("sub");
  fs::create_hard_link("x", "hard");
  fs::create_symlink("x", "soft");
  fs::create_symlink("gone", "dangling");
  const std::string absolute = (dir / "x").string();
  const struct {
    const char *a, *b;
    bool same;
  } cases[] = {
      {"x", "x", true},        {"./x", "x", true},          {"sub/../x", "x", true},
      {"hard", "x", true},     {"soft", "x", true},         {absolute.c_str(), "x", true},
      {"x", "y", false},       {"x", "sub", false},         {"missing", "missing", false},
      {"missing", "x", false}, {"dangling", "gone", false},
  };
  for (const auto& c : cases) EXPECT_EQ(tz::SameFile(c.a, c.b), c.same) << c.a << " " << c.b;
}

}  // namespace
