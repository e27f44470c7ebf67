#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/cli.h"
#include "outfile.h"
#include "tzdfstream.h"
#include "tztemp.h"

namespace {

// What a stop removes: the files listed at that moment, whoever lists them
// (a tracked name, an output not yet committed, the copy of a stream), and
// nothing taken off the list.
TEST(TempFiles, RemovingTakesEveryListedFileAndEmptiesTheList) {
  cli::Folder dir;
  cli::With_env t("TMPDIR", dir.path().c_str());
  const std::string a = dir.file("a.tmp"), b = dir.file("b.tmp"), kept = dir.file("kept.tmp");
  for (const std::string& f : {a, b, kept}) cli::write_file(f, "x");
  dir.write("src.dat", "1 # a comment\n");
  tz::ListedTemp ta, tb, tk;
  ta.Track(a);
  tk.Track(kept);
  tb.Track(b);
  tk.Untrack();
  EXPECT_FALSE(tk.Listed());
  tzframe::PendingOutput out(dir.file("out.dat"));
  ASSERT_TRUE(out.Open());
  TzDfstream copy(dir.file("src.dat").c_str());
  ASSERT_TRUE(static_cast<bool>(copy));
  EXPECT_EQ(dir.entries().size(), 6u);  // the three, the source, the output's and the stream's
  tz::RemoveTemporaries();
  EXPECT_FALSE(ta.Listed());
  EXPECT_FALSE(tb.Listed());
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"kept.tmp", "src.dat"}));
  tz::RemoveTemporaries();  // an empty list: nothing more
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"kept.tmp", "src.dat"}));
}

}  // namespace
