#include "tzreplace.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "cli/cli.h"

namespace {

namespace fs = std::filesystem;
using cli::Folder;

// Writes `text` as the new content of `path` and closes it; false when a
// step failed.
bool Write(tz::FileReplacement& r, const std::string& text) {
  std::FILE* f = r.Open();
  return f && std::fputs(text.c_str(), f) >= 0 && r.Close();
}

// The earlier file stays whole until the new one is complete and put in
// place; a temporary file beside it holds the new content meanwhile, and is
// gone afterwards. The new file keeps the earlier one's permissions; a link
// has the file it leads to replaced.
TEST(FileReplacement, TheEarlierFileStaysUntilTheNewOneIsInPlace) {
  Folder d;
  d.write("state.tst", "earlier\n");
  ASSERT_EQ(chmod(d.file("state.tst").c_str(), 0640), 0);
  {
    tz::FileReplacement r(d.file("state.tst"));
    std::FILE* f = r.Open();
    ASSERT_NE(f, nullptr);
    std::fputs("new\n", f);
    EXPECT_EQ(d.read("state.tst"), "earlier\n");
    EXPECT_EQ(d.entries().size(), 2u);  // the temporary file beside it
    ASSERT_TRUE(r.Close());
    EXPECT_EQ(d.read("state.tst"), "earlier\n");
    ASSERT_TRUE(r.Commit());
  }
  EXPECT_EQ(d.read("state.tst"), "new\n");
  EXPECT_EQ(d.entries(), (std::set<std::string>{"state.tst"}));
  struct stat st;
  ASSERT_EQ(stat(d.file("state.tst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  fs::create_directory(d.file("keep"));
  d.write("keep/state.tst", "earlier\n");
  fs::create_symlink("keep/state.tst", d.file("link.tst"));
  tz::FileReplacement link(d.file("link.tst"));
  ASSERT_TRUE(Write(link, "through the link\n") && link.Commit());
  EXPECT_TRUE(fs::is_symlink(d.file("link.tst")));
  EXPECT_EQ(d.read("keep/state.tst"), "through the link\n");
}

// A file not committed, one whose writes fail and a name that cannot be
// written replace nothing and leave no temporary file.
TEST(FileReplacement, AFailureReplacesNothingAndLeavesNoTemporaryFile) {
  Folder d;
  d.write("state.tst", "earlier\n");
  {
    tz::FileReplacement r(d.file("state.tst"));
    ASSERT_TRUE(Write(r, "new\n"));
  }
  EXPECT_EQ(d.entries(), (std::set<std::string>{"state.tst"}));
  EXPECT_EQ(d.read("state.tst"), "earlier\n");

  fs::create_directory(d.file("a folder"));
  tz::FileReplacement folder(d.file("a folder"));
  EXPECT_EQ(folder.Open(), nullptr);
  tz::FileReplacement nowhere(d.file("no/state.tst"));
  EXPECT_EQ(nowhere.Open(), nullptr);

  // Beyond a file-size limit (the signal ignored: the write fails).
  const std::string path = d.file("state.tst");
  EXPECT_EXIT(
      {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &small);
        tz::FileReplacement r(path);
        const bool failed = !Write(r, std::string(5000, 'x'));
        std::exit(failed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(d.entries(), (std::set<std::string>{"state.tst", "a folder"}));
  EXPECT_EQ(d.read("state.tst"), "earlier\n");
  // A device is written in place.
  tz::FileReplacement full("/dev/full");
  EXPECT_FALSE(Write(full, std::string(100000, 'x')));
}

// Files that belong together are put in place together at the end of
// their batch, or none of them when one failed; a batch made inside
// another joins it.
TEST(ReplacementBatch, FilesArePutInPlaceTogetherOrNotAtAll) {
  for (bool fail : {false, true}) {
    Folder d;
    for (const char* n : {"a", "b", "c"}) d.write(n, std::string("earlier ") + n + "\n");
    if (fail) fs::create_directory(d.file("c.new"));
    tz::ReplacementBatch batch;
    {
      tz::ReplacementBatch inner;
      tz::FileReplacement a(d.file("a"));
      ASSERT_TRUE(Write(a, "new a\n") && a.Commit());
      EXPECT_TRUE(inner.Commit());
    }
    tz::FileReplacement b(d.file("b"));
    ASSERT_TRUE(Write(b, "new b\n") && b.Commit());
    tz::FileReplacement c(d.file(fail ? "c.new" : "c"));
    EXPECT_EQ(Write(c, "new c\n") && c.Commit(), !fail);
    EXPECT_EQ(d.read("a"), "earlier a\n");
    EXPECT_EQ(batch.Failed(), fail);
    EXPECT_EQ(batch.Commit(), !fail);
    for (const char* n : {"a", "b"}) EXPECT_EQ(d.read(n), std::string(fail ? "earlier " : "new ") + n + "\n") << fail;
    EXPECT_EQ(d.read("c"), fail ? "earlier c\n" : "new c\n");
    EXPECT_EQ(d.entries().size(), fail ? 4u : 3u) << "a temporary file is left";
  }
}

// A program that exits, or a signal handler that ends it, leaves no
// temporary file of a replacement not yet in place.
TEST(ReplacementBatch, TemporaryFilesAreRemovedAtExitAndOnDemand) {
  Folder d;
  const std::string path = d.file("state.tst");
  // A child of this process, in this folder: the exit runs no destructor.
  cli::Child exits(
      [&] {
        static tz::FileReplacement* r = new tz::FileReplacement(path);  // never destroyed
        std::exit(Write(*r, "new\n") ? 0 : 1);
        return 1;
      },
      d.path());
  EXPECT_EQ(exits.finish().status, 0);
  EXPECT_TRUE(d.entries().empty());
  tz::ReplacementBatch batch;
  tz::FileReplacement r(path);
  ASSERT_TRUE(Write(r, "new\n") && r.Commit());
  EXPECT_EQ(d.entries().size(), 1u);
  tz::RemoveTemporaries();
  EXPECT_TRUE(d.entries().empty());
}

}  // namespace
