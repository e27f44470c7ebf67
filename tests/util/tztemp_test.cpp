#include "tztemp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "cli/cli.h"

namespace {

TEST(TempFiles, TheFolderIsTmpdirWhenSet) {
  {
    cli::With_env t("TMPDIR", "/some/folder");
    EXPECT_EQ(tz::TempFolder(), "/some/folder");
    EXPECT_TRUE(tz::TempFolderFromEnv());
  }
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    cli::With_env t("TMPDIR", unset);
    EXPECT_EQ(tz::TempFolder(), "/tmp");
    EXPECT_FALSE(tz::TempFolderFromEnv());
  }
}

// An entry moves with its owner; one removed by a stop is no longer its
// owner's, whose release then leaves the next file listed in its place
// alone; the program's exit removes what is still listed.
TEST(TempFiles, AnEntryIsItsOwnersUntilRemoved) {
  cli::Folder dir;
  const std::string a = dir.file("a.tmp"), b = dir.file("b.tmp"), c = dir.file("c.tmp");
  for (const std::string& f : {a, b, c}) cli::write_file(f, "x");
  tz::ListedTemp first;
  ASSERT_TRUE(first.Track(a));
  tz::ListedTemp moved(std::move(first));
  EXPECT_FALSE(first.Listed());
  EXPECT_TRUE(moved.Listed());
  tz::RemoveTemporaries();
  EXPECT_FALSE(moved.Listed());
  tz::ListedTemp next;
  ASSERT_TRUE(next.Track(b));
  moved.Untrack();
  EXPECT_TRUE(next.Listed());
  tz::RemoveTemporaries();
  EXPECT_EQ(dir.entries(), std::set<std::string>{"c.tmp"});

  // A child of this process, in this folder: the exit runs no destructor.
  cli::Child exits(
      [&] {
        static tz::ListedTemp* t = new tz::ListedTemp;  // never destroyed
        std::exit(t->Track(c) ? 0 : 1);
        return 1;
      },
      dir.path());
  EXPECT_EQ(exits.finish().status, 0);
  EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
