// The program's rain-sum file: the element's lines reach the file at every
// write, once and whole; a write that fails is reported, cut back and tried
// again with the next one.
#include "rain_sum_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"
#include "tzdefs.h"

namespace {

using ftest::read_file;
using qtest::stderr_of;

// Lines as the element writes them to the file's stream: "<time> <mm/h>"
// in the default formatting of a stream.
void Steps(RainSumFile& f, Time from, Time to) {
  for (Time t = from; t <= to; t += 60) f.Lines() << t << " " << t / 7.0 << "\n";
}

std::string Expected(Time from, Time to) {
  std::ostringstream s;
  for (Time t = from; t <= to; t += 60) s << t << " " << t / 7.0 << "\n";
  return s.str();
}

TEST(RainSumFile, LinesReachTheFileAtEveryWriteOnce) {
  cli::Folder d;
  const std::string path = d.file("all_rain.dat");
  ftest::write_file(path, "an old run\n");
  {
    RainSumFile f(path.c_str());
    ASSERT_TRUE(f.Lines().good());
    EXPECT_TRUE(f.Write());  // no line yet: the earlier file stays
    EXPECT_EQ(read_file(path), "an old run\n");
    Steps(f, 60, 600);
    EXPECT_EQ(read_file(path), "an old run\n");  // kept until the next write
    EXPECT_TRUE(f.Write());
    EXPECT_EQ(read_file(path), Expected(60, 600));
    EXPECT_TRUE(f.Write());  // nothing new
    Steps(f, 660, 900);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(read_file(path), Expected(60, 900));
    EXPECT_FALSE(f.Failed());
    Steps(f, 960, 960);
  }
  // What is left when the file is destroyed is written too.
  EXPECT_EQ(read_file(path), Expected(60, 960));
}

TEST(RainSumFile, AFullDiskIsReportedAndTheLinesKeptForTheNextWrite) {
  RainSumFile f("/dev/full");
  Steps(f, 60, 120);
  std::string err = stderr_of([&] { EXPECT_FALSE(f.Write()); });
  EXPECT_EQ(err,
            "Cannot write /dev/full (the disk may be full, or the file too large): it keeps its lines up to "
            "the last output; the lines since are written with the next output.\n");
  EXPECT_TRUE(f.Failed());
  err = stderr_of([&] { EXPECT_FALSE(f.Close()); });
  EXPECT_EQ(err,
            "Cannot write /dev/full (the disk may be full, or the file too large): it keeps its lines up to "
            "the last output; the lines since are lost.\n");
  // The lost lines are not tried again.
  EXPECT_EQ(stderr_of([&] { EXPECT_FALSE(f.Close()); }), "");
}

// The file is created by the first write that has lines or is told to
// create it (the series are written with it): before, an earlier file of
// its name stays as it was.
TEST(RainSumFile, FileIsCreatedByTheFirstWriteThatHasLinesOrCreates) {
  cli::Folder d;
  const std::string path = d.file("all_rain.dat");
  for (bool create : {false, true}) {
    ftest::write_file(path, "an old run\n");
    {
      RainSumFile f(path.c_str());
      EXPECT_TRUE(f.Write(create));
      EXPECT_EQ(read_file(path), create ? "" : "an old run\n") << create;
      EXPECT_TRUE(f.Close());
    }
    EXPECT_EQ(read_file(path), create ? "" : "an old run\n") << create;
  }
  // The lines of a run that ends before any write are written at its close.
  ftest::write_file(path, "an old run\n");
  {
    RainSumFile f(path.c_str());
    Steps(f, 60, 120);
    EXPECT_TRUE(f.Close());
  }
  EXPECT_EQ(read_file(path), Expected(60, 120));
}

TEST(RainSumFile, FileThatCannotBeCreatedKeepsNoLines) {
  cli::Folder d;
  const std::string path = d.file("no/all_rain.dat");
  std::string err = stderr_of([&] {
    RainSumFile f(path.c_str());
    EXPECT_FALSE(f.Failed());  // not created yet
    Steps(f, 60, 120);
    EXPECT_FALSE(f.Write());
    EXPECT_FALSE(f.Lines().good());  // the later lines are not kept
    EXPECT_TRUE(f.Failed());
    EXPECT_FALSE(f.Write());
    EXPECT_FALSE(f.Close());
  });
  EXPECT_EQ(err, "Cannot create " + path + ": the basin rain of the steps is not written.\n");
  EXPECT_FALSE(ftest::exists(path));
}

// A write that reaches a file-size limit is taken off the file again; once
// there is room the next write gives the same lines, whole and once.
TEST(RainSumFile, AWriteCutByASizeLimitIsWrittenWholeLater) {
  cli::Folder d;
  const std::string path = d.file("all_rain.dat");
  EXPECT_EXIT(
      {
        RainSumFile f(path.c_str());
        Steps(f, 60, 600);
        bool ok = f.Write();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = Expected(60, 600).size() + 100;
        setrlimit(RLIMIT_FSIZE, &small);
        Steps(f, 660, 36000);
        ok = ok && !f.Write() && read_file(path) == Expected(60, 600);
        setrlimit(RLIMIT_FSIZE, &old);
        Steps(f, 36060, 36060);
        ok = ok && f.Write() && read_file(path) == Expected(60, 36060);
        // Written whole in the end, but the failure stays on the record.
        ok = ok && f.Failed() && !f.Close();
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0),
      "^Cannot write [^ ]*all_rain.dat \\(the disk may be full, or the file too large\\)");
}

}  // namespace
