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
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
        tz::CatchStopSignals();
        std::raise(SIGHUP);
        if (tz::StopSignal() != 0) std::exit(1);
        std::raise(SIGTERM);
        if (tz::StopSignal() != SIGTERM || std::string(tz::SignalName(SIGTERM)) != "SIGTERM") std::exit(2);
        tz::ReplacementBatch batch;
        tz::FileReplacement r(path);
        std::FILE* f = r.Open();
        if (!f || !r.Close() || !r.Commit()) std::exit(3);
        std::raise(SIGINT);
        std::exit(4);
      },
      ::testing::KilledBySignal(SIGINT), "");
  EXPECT_TRUE(d.entries().empty());
}

}  // namespace
