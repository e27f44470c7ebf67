#include "tzsignal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli.h"
#include "tzreplace.h"

namespace {

// A stop signal is noted and the program goes on; a second one ends it at
// once, as the signal does, with the temporary files of its replacements
// removed. A signal ignored at the start stays ignored.
TEST(StopSignals, TheFirstIsNotedTheSecondEndsTheProgram) {
  cli::Folder d;
  const std::string path = d.file("state.tst");
  // A child of this process, in this folder.
  cli::Child child(
      [&] {
        std::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
        tz::CatchStopSignals();
        std::raise(SIGHUP);
        if (tz::StopSignal() != 0) return 1;
        std::raise(SIGTERM);
        if (tz::StopSignal() != SIGTERM || std::string(tz::SignalName(SIGTERM)) != "SIGTERM") return 2;
        tz::ReplacementBatch batch;
        tz::FileReplacement r(path);
        std::FILE* f = r.Open();
        if (!f || !r.Close() || !r.Commit()) return 3;
        std::raise(SIGINT);
        return 4;
      },
      d.path());
  EXPECT_EQ(child.finish().status, 128 + SIGINT);
  EXPECT_TRUE(d.entries().empty());
}

}  // namespace
