#include "outfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "tzfile.h"

namespace {

namespace fs = std::filesystem;

// Each test works in a folder of its own.
class OutFile : public testing::Test {
 protected:
  static void put(const std::string& name, const std::string& text) { cli::write_file(name, text); }
  static std::string read(const std::string& name) { return cli::read_file(name); }
  // The names in the working folder, to see that no temporary file stays.
  std::set<std::string> entries() const { return dir_.entries(); }
  static mode_t mode(const std::string& name) {
    struct stat st;
    EXPECT_EQ(stat(name.c_str(), &st), 0) << name;
    return st.st_mode & 07777;
  }
  cli::Folder dir_;
  cli::In_folder in_{dir_.path()};
};

TEST_F(OutFile, NamesOfOneFile) {
  put("a.dat", "a");
  put("b.dat", "b");
  ASSERT_EQ(link("a.dat", "hard.dat"), 0);
  ASSERT_EQ(symlink("a.dat", "soft.dat"), 0);
  fs::create_directory("sub");
  struct Case {
    const char *a, *b;
    bool same, one;
  } cases[] = {
      {"a.dat", "a.dat", true, true},
      {"a.dat", "./a.dat", true, true},
      {"a.dat", "sub/../a.dat", true, true},
      {"a.dat", "hard.dat", true, true},
      {"a.dat", "soft.dat", true, true},
      {"a.dat", "b.dat", false, false},
      {"a.dat", "new.dat", false, false},   // one name not there yet
      {"new.dat", "new.dat", false, true},  // neither there yet
      {"new.dat", "./new.dat", false, true},
      {"sub/new.dat", "sub/../sub/new.dat", false, true},
      {"new.dat", "sub/new.dat", false, false},
      {"new.dat", "other.dat", false, false},
      {"nodir/new.dat", "nodir/new.dat", false, true},
      {"nodir/new.dat", "./nodir/new.dat", false, false},  // no folder to compare
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tz::SameFile(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(tzframe::one_file(c.a, c.b), c.one) << c.a << " " << c.b;
    EXPECT_EQ(tzframe::one_file(c.b, c.a), c.one) << c.b << " " << c.a;
  }
}

// The earlier file stays as it was until the commit, which replaces it
// whole and keeps its permissions; nothing is left beside it.
TEST_F(OutFile, CommitReplacesTheEarlierFile) {
  put("p.dat", "earlier\n");
  ASSERT_EQ(chmod("p.dat", 0640), 0);
  {
    tzframe::PendingOutput p("p.dat");
    ASSERT_TRUE(p.Open());
    p.Stream() << "new text\n";
    ASSERT_TRUE(p.Close());
    EXPECT_EQ(read("p.dat"), "earlier\n");
    EXPECT_EQ(entries().size(), 2u);  // p.dat and the temporary file beside it
    ASSERT_TRUE(p.Commit());
  }
  EXPECT_EQ(read("p.dat"), "new text\n");
  EXPECT_EQ(mode("p.dat"), 0640u);
  EXPECT_EQ(entries(), std::set<std::string>{"p.dat"});
}

TEST_F(OutFile, ANewFileGetsTheUsualPermissions) {
  const mode_t mask = umask(027);
  {
    tzframe::PendingOutput p("new.dat");
    ASSERT_TRUE(p.Open());
    p.Stream() << "x";
    ASSERT_TRUE(p.Close());
    ASSERT_TRUE(p.Commit());
  }
  umask(mask);
  EXPECT_EQ(read("new.dat"), "x");
  EXPECT_EQ(mode("new.dat"), 0640u);
}

// Discarded, or destroyed before the commit: the earlier file as it was, no
// temporary file left.
TEST_F(OutFile, WithoutCommitTheEarlierFileStays) {
  put("p.dat", "earlier\n");
  {
    tzframe::PendingOutput p("p.dat");
    ASSERT_TRUE(p.Open());
    p.Stream() << "half";
    p.Discard();
    EXPECT_TRUE(p.Commit());  // nothing left to put in place
  }
  {
    tzframe::PendingOutput p("p.dat");
    ASSERT_TRUE(p.Open());
    p.Stream() << "half";
  }
  {
    tzframe::PendingOutput p("q.dat");
    ASSERT_TRUE(p.Open());
    ASSERT_TRUE(p.Close());
  }
  EXPECT_EQ(read("p.dat"), "earlier\n");
  EXPECT_EQ(entries(), std::set<std::string>{"p.dat"});
}

TEST_F(OutFile, NamesThatCannotBeWritten) {
  fs::create_directory("sub");
  for (const char* name : {"nodir/p.dat", "sub", "sub/", ""}) {
    tzframe::PendingOutput p(name);
    EXPECT_FALSE(p.Open()) << name;
    EXPECT_FALSE(p.Close()) << name;
  }
  EXPECT_EQ(entries(), std::set<std::string>{"sub"});
  EXPECT_TRUE(fs::is_empty("sub"));
  if (geteuid() != 0) {  // the superuser writes any file
    put("ro.dat", "kept\n");
    ASSERT_EQ(chmod("ro.dat", 0444), 0);
    tzframe::PendingOutput p("ro.dat");
    EXPECT_FALSE(p.Open());
    EXPECT_EQ(read("ro.dat"), "kept\n");
  }
}

// A link keeps leading to the file, which gets the new text.
TEST_F(OutFile, ALinkHasItsFileReplaced) {
  fs::create_directory("sub");
  put("sub/real.dat", "earlier\n");
  ASSERT_EQ(symlink("sub/real.dat", "link.dat"), 0);
  tzframe::PendingOutput p("link.dat");
  ASSERT_TRUE(p.Open());
  p.Stream() << "new\n";
  ASSERT_TRUE(p.Close());
  ASSERT_TRUE(p.Commit());
  EXPECT_TRUE(fs::is_symlink("link.dat"));
  EXPECT_EQ(read("sub/real.dat"), "new\n");
  EXPECT_EQ(entries(), (std::set<std::string>{"link.dat", "sub"}));
  EXPECT_EQ(fs::directory_iterator("sub")->path().filename(), "real.dat");
}

// A device is written in place; a write that fails shows at the close.
TEST_F(OutFile, DevicesAreWrittenInPlace) {
  tzframe::PendingOutput null("/dev/null");
  ASSERT_TRUE(null.Open());
  null.Stream() << "gone\n";
  EXPECT_TRUE(null.Close());
  EXPECT_TRUE(null.Commit());
  if (access("/dev/full", W_OK) == 0) {
    tzframe::PendingOutput full("/dev/full");
    ASSERT_TRUE(full.Open());
    full.Stream() << "lost\n";
    EXPECT_FALSE(full.Close());
  }
}

// The temporary name of a name of 255 characters still fits in a folder.
TEST_F(OutFile, LongNames) {
  const std::string name(255, 'n');
  put(name, "earlier");
  tzframe::PendingOutput p(name);
  ASSERT_TRUE(p.Open());
  p.Stream() << "new";
  ASSERT_TRUE(p.Close());
  ASSERT_TRUE(p.Commit());
  EXPECT_EQ(read(name), "new");
  EXPECT_EQ(entries(), std::set<std::string>{name});
}

}  // namespace
