// The modeller's part of the docs against the programs: the figures they
// give about the numerics (the time step, the water balance and what the
// storage series leaves out of it, the rain taken at the end of each step),
// the scripts of docs/examples they show (event.awk, balance.awk, steps.sh,
// to-v5.awk, restart.sh), the basin whose river has two reaches in series
// run from its node and edge files to its water balance, and what they say
// of unchecked values, a missing rain file, the warnings after which a run
// goes on, what tmorvelan2d refuses before it writes anything, stops by a
// signal and the restarts from them, pelmic's slips that change nothing,
// and the explanations of reports.
// Every file a script or a program writes here is an example of
// docs/examples (TZ_DOCS_REGENERATE=1 rewrites them).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/chain.h"
#include "cli/cli.h"
#include "cli/series.h"
#include "docs.h"

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE) && defined(TZ_TMORVELAN2D_EXE)

namespace {

using cli::Case;
using cli::Folder;
using cli::Result;
using cli::series;
using docs::Example;
using docs::ExpectExample;
using docs::ExpectSays;
using docs::kExamples;

// The numbers of a text, in order (words that do not begin with a number
// are passed over).
std::vector<double> Numbers(const std::string& text) {
  std::vector<double> v;
  std::istringstream in(text);
  for (std::string w; in >> w;) {
    char* end = nullptr;
    const double x = std::strtod(w.c_str(), &end);
    if (end != w.c_str()) v.push_back(x);
  }
  return v;
}

// The small basin of docs/examples prepared, and its first run (1800 s in
// targets of 600 s); its console.
std::string FirstRunOfTheSmallBasin(const Folder& d) {
  cli::prepare_basin(d, kExamples);
  Result r = cli::run(cli::tmorvelan2d, {}, d.path(), Example("tmorvelan2d.answers"));
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// ---- the time step -------------------------------------------------------

// A row of a time-step table, as the programs' files give it.
struct StepRow {
  long step;
  double peak, storage, residual;
};

// The tables of docs/running.md: a basin over its storm at several steps,
// as steps.sh prints it, every row the figures of the programs' own files
// at that step; shorter steps give higher peaks and smaller residuals.
std::vector<StepRow> ExpectStepTable(const std::string& from, const std::string& length, const std::string& increment,
                                     const std::vector<long>& steps, const std::string& table) {
  std::vector<StepRow> figures;
  Folder d;
  cli::prepare_basin(d, from);
  const auto names = d.entries();
  std::vector<std::string> args = {kExamples + "steps.sh", length, increment};
  for (long s : steps) args.push_back(std::to_string(s));
  Result printed = cli::check(docs::kShell, d, Case("steps.sh").args(args).env("PATH", docs::ProgramPath()).status(0));
  ExpectExample(table, printed.out);
  if (printed.status != 0) return figures;
  EXPECT_EQ(d.entries(), names) << "steps.sh works on copies of the folder's files";

  std::istringstream rows(printed.out);
  std::string line;
  std::getline(rows, line);
  std::getline(rows, line);
  docs::Event previous;
  double previousResidual = 1e300;
  for (long s : steps) {
    SCOPED_TRACE("step " + std::to_string(s));
    if (!std::getline(rows, line)) {
      ADD_FAILURE() << "no row";
      break;
    }
    const std::vector<double> row = Numbers(line);  // step, peak, its time, outflow, storage, residual, %
    if (row.size() != 7u) {
      ADD_FAILURE() << line;
      break;
    }
    Folder run;
    for (const std::string& f : names) run.copy_in(d.file(f), f);
    run.write("tmorvelan2d.pmt", docs::WithElementStep(d.read("tmorvelan2d.pmt"), s));
    Result r = cli::run(cli::tmorvelan2d, {}, run.path(), length + "\n" + increment + "\nY\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const docs::Event e = docs::OutletEvent(series(run.read("tmorvelan2d.out")));
    const docs::Balance b = docs::WaterBalance(run, docs::TotalArea(r.out));
    EXPECT_EQ(row[0], s);
    EXPECT_NEAR(row[1], e.peak, 5e-4 * e.peak);
    EXPECT_EQ(row[2], e.at);
    // Whole cubic metres, rounded from the scripts' tenths.
    EXPECT_NEAR(row[3], e.volume, 0.6);
    const double stored = series(run.read("tmorvelan2d.stg")).back().second;
    EXPECT_NEAR(row[4], stored, 0.6);
    EXPECT_NEAR(row[5], b.residual(), 0.6);
    EXPECT_NEAR(row[6], 100 * b.residual() / b.rain, 0.05);
    EXPECT_GT(e.peak, previous.peak);
    EXPECT_LT(b.residual(), previousResidual);
    previous = e;
    previousResidual = b.residual();
    figures.push_back({s, e.peak, stored, b.residual()});
  }
  return figures;
}

TEST(ManualTimeStep, TablesHoldTheFiguresOfTheRunsAtEachStep) {
  std::vector<StepRow> rows;
  {
    SCOPED_TRACE("the basin of examples/");
    rows = ExpectStepTable(cli::examples_dir(), "21600", "3600", {600, 300, 60, 30, 10, 5}, "steps.txt");
  }
  // What docs/running.md says of it: at 600 s less than half the peak of
  // short steps; a residual of a few per cent from 60 s on, within the
  // storage over the 10 divisions from 30 s on.
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_LT(rows.front().peak, rows.back().peak / 2);
  for (const StepRow& r : rows) {
    SCOPED_TRACE(r.step);
    EXPECT_EQ(r.residual < r.storage / 10, r.step <= 30);
  }
  {
    SCOPED_TRACE("the small basin");
    rows = ExpectStepTable(kExamples, "3600", "600", {300, 60, 10, 4, 2, 1}, "steps-small.txt");
  }
  // Its step of 2 s: halved, the peak changes by 1 %.
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[4].step, docs::ElementStep(Example("tmorvelan2d.pmt")));
  EXPECT_NEAR(rows[5].peak / rows[4].peak, 1.01, 0.005);
}

// The rain is taken at the end of each step: with a step of 1200 s on
// records 600 s apart, the records of 600 s and 1800 s are never seen.
TEST(ManualTimeStep, RainIsTakenAtTheEndOfEachStep) {
  Folder d;
  cli::prepare_basin(d, kExamples);
  d.write("tmorvelan2d.pmt", docs::WithElementStep(Example("tmorvelan2d.pmt"), 1200));
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), "2400\n1200\nY\n").status, 0);
  EXPECT_EQ(d.read("all_rain.dat"), "1200 90\n2400 0\n");
  ExpectSays("docs/running.md", "`all_rain.dat` then holds `1200 90` and `2400 0`");
}

// ---- the water balance -----------------------------------------------------

// event.awk and balance.awk on the files of the small basin's first run
// give what the docs show, and the figures of the files themselves; with
// `from`, the balance of the steps after that time.
TEST(ManualBalance, ScriptsGiveTheFiguresOfTheFiles) {
  Folder d;
  const double area = docs::TotalArea(FirstRunOfTheSmallBasin(d));
  docs::CopyExamples(d, {"event.awk", "balance.awk"});
  const std::string files = " all_rain.dat tmorvelan2d.out tmorvelan2d.stg";
  char a[64];
  std::snprintf(a, sizeof a, "%g", area);
  const std::string balance = std::string("awk -v area=") + a + " -v divisions=10 -f balance.awk" + files;
  ExpectSays("docs/running.md", balance);
  ExpectExample(
      "event.txt",
      cli::check(docs::kShell, d, docs::Command("awk -f event.awk all_rain.dat tmorvelan2d.out").status(0)).out);
  ExpectExample("balance.txt", cli::check(docs::kShell, d, docs::Command(balance).status(0)).out);

  const docs::Event e = docs::OutletEvent(series(d.read("tmorvelan2d.out")));
  std::vector<double> got = Numbers(
      cli::check(docs::kShell, d, docs::Command("awk -v row=1 -f event.awk all_rain.dat tmorvelan2d.out").status(0))
          .out);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_NEAR(got[0], e.volume, 0.05);
  EXPECT_NEAR(got[1], e.peak, 1e-5 * e.peak);
  EXPECT_EQ(got[2], e.at);
  EXPECT_EQ(got[3], e.at);  // the rain begins in the first step

  for (long from : {LONG_MIN, 600L}) {
    SCOPED_TRACE(from);
    const std::string option = from == LONG_MIN ? "" : " -v from=" + std::to_string(from);
    got = Numbers(
        cli::check(
            docs::kShell, d,
            docs::Command(std::string("awk -v row=1 -v area=") + a + option + " -f balance.awk" + files).status(0))
            .out);
    const docs::Balance b = docs::WaterBalance(d, area, from);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_NEAR(got[0], b.rain, 0.05);
    EXPECT_NEAR(got[1], b.outflow, 0.05);
    EXPECT_NEAR(got[2], b.storage, 0.05);
    EXPECT_NEAR(got[3], b.residual(), 0.1);
  }
}

// The storage series against the water the step keeps, on one slope edge
// with dm = 0 (below da the law is then linear and the step loses no
// water) under steady rain: while the water stands equally high along the
// edge, rain - outflow - storage is 1 / (2 x divisions) of the rain; once
// the outflow is rain x area, it is 1 / divisions of the storage.
TEST(ManualBalance, StorageSeriesLeavesOutHalfADivisionAtTheLowerEnd) {
  // 100 m long at a gradient of 0.1, 10 000 m2, da 1 m, draining into a
  // river edge, the outlet; 36 mm/h on the one rain cell.
  const std::string network =
      "[Data Format Name]\nedge connection V.2\n[Number of Total Edges]\n2\n[Data]\n"
      "1 50 50 5 0 1 -2 1 100 0.1 10000\n2 50 0 0 1 1 0 2\n";
  const std::string initial =
      "[Data Format Name]\nMorvelan Initial State Format\n[Number of Total Edges]\n2\n[Data]\n1 0 0\n2 0 0\n";
  const double area = 10000, rain = 36;
  // Slow: after the run the wave from the top has not gone far down the
  // first division. Fast: the outflow has long been rain x area.
  struct Regime {
    double ka;
    long step, length;
  };
  const Regime slow{0.001, 10, 3600}, fast{1, 1, 20000};
  auto run = [&](const Regime& g, int divisions) {
    Folder d;
    char line[160];
    std::snprintf(line, sizeof line, " 0.3 1.667 %g 1 1 0 1 0.65 1e-06 10 0.0001 %d\n", g.ka, divisions);
    d.write("one.con", network);
    d.write("one.pmt",
            std::string("[Data Format Name]\nMorvelan Parameter Format\n[Number of Total Edges]\n2\n[Data]\n") + "1" +
                line + "2" + line);
    d.write("one.ist", initial);
    d.write("radarRain_4.dat", "0 1 1\n36\n100000 1 1\n36\n");
    d.write("tmorvelan2d.pmt", "VirtualRiverBasin vrb 0\n{\nMorvelan2d morvelan2d 0\n" + std::to_string(g.step) +
                                   " one.con one.pmt 0 0 1000 1000\n}\n");
    d.write("tmorvelan2d.ist", "VirtualRiverBasin vrb 0\n0\n{\nMorvelan2d morvelan2d 0\n0 one.ist\n}\n");
    const std::string n = std::to_string(g.length);
    EXPECT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), n + "\n" + n + "\nY\n").status, 0);
    const docs::Balance b = docs::WaterBalance(d, area);
    EXPECT_NEAR(b.rain, rain / 3600000 * area * static_cast<double>(g.length), 1e-6 * b.rain);
    const double outflow = series(d.read("tmorvelan2d.out")).back().second;
    return std::vector<double>{b.residual(), b.rain, b.storage, outflow};
  };
  char head[600];
  std::snprintf(head, sizeof head,
                "one slope edge of 100 m at a gradient of 0.1, %g m2, dm = 0, da = 1 m,\n"
                "draining into a river edge, under %g mm/h of steady rain:\n"
                "  wetting: ka = %g m/s, a step of %ld s, after %ld s\n"
                "  steady:  ka = %g m/s, a step of %ld s, after %ld s, the outflow rain x area\n"
                "\n"
                "divisions   wetting: residual / rain   steady: residual / storage\n",
                area, rain, slow.ka, slow.step, slow.length, fast.ka, fast.step, fast.length);
  std::string table = head;
  for (int n : {1, 2, 5, 10}) {
    SCOPED_TRACE(n);
    const std::vector<double> wetting = run(slow, n);
    EXPECT_NEAR(wetting[0] / wetting[1], 0.5 / n, 0.005);
    const std::vector<double> steady = run(fast, n);
    EXPECT_NEAR(steady[3], rain / 3600000 * area, 1e-6);
    EXPECT_NEAR(steady[0] / steady[2], 1.0 / n, 0.001);
    char row[100];
    std::snprintf(row, sizeof row, "%9d   %22.1f %%   %24.1f %%\n", n, 100 * wetting[0] / wetting[1],
                  100 * steady[0] / steady[2]);
    table += row;
  }
  ExpectExample("residual.txt", table);
}

// On dry soil under light rain the storage series is off both ways: cmin
// moves the water faster than the law would (the series shows more water
// than fell), and nodes below 1e-8 m3/s count none.
TEST(ManualBalance, LightRainOnDrySoil) {
  std::string shares;
  double fell = 0;
  for (const char* cmin : {"1e-06", "1e-10"}) {
    Folder d;
    cli::prepare_basin(d, kExamples);
    // A tenth of the small basin's storm.
    std::istringstream in(Example("radarRain_4.dat"));
    std::string rain;
    for (std::string line; std::getline(in, line);) {
      double a, b;
      char tail;
      if (std::sscanf(line.c_str(), "%lf %lf %c", &a, &b, &tail) == 2 && line.find('.') != std::string::npos) {
        char row[64];
        std::snprintf(row, sizeof row, "%g %g", a / 10, b / 10);
        line = row;
      }
      rain += line + "\n";
    }
    d.write("radarRain_4.dat", rain);
    std::string params = d.read("basin.pmt");
    for (std::size_t at = 0; (at = params.find(" 1e-06 ", at)) != std::string::npos; at += 2)
      params.replace(at + 1, 5, cmin);
    d.write("basin.pmt", params);
    Result r = cli::run(cli::tmorvelan2d, {}, d.path(), "3600\n600\nY\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const double area = docs::TotalArea(r.out);
    const docs::Balance b = docs::WaterBalance(d, area);
    fell = b.rain / area * 1000;
    char share[120];
    std::snprintf(share, sizeof share, "%s%.1f %% of the rain with cmin = %s m/s", shares.empty() ? "" : ", ",
                  100 * b.residual() / b.rain, cmin);
    shares += share;
    if (std::string(cmin) == "1e-06") {
      EXPECT_LT(b.residual(), 0) << "more water stored than fell";
    } else {
      EXPECT_GT(b.residual(), series(d.read("tmorvelan2d.stg")).back().second / 10);
    }
  }
  char storm[80];
  std::snprintf(storm, sizeof storm, "(%.1f mm in the hour) they give a residual of ", fell);
  ExpectSays("docs/running.md", storm + shares);
}

// ---- rivers of reaches in series -------------------------------------------

// The basin of docs/examples/reaches, as a newcomer builds it from the docs:
// run.sh (pelmic, dorvask, to-v5.awk, sarnolt, tmorvelan2d, event.awk,
// balance.awk) writes the files the docs show, and its water balance closes
// within the storage over the divisions. The V.4 file that dorvask writes
// is refused, as the docs say.
TEST(ManualReaches, NewcomerBuildsRunsAndClosesTheBalance) {
  Folder d;
  for (const char* f : {"nodes.dat", "edges.dat", "radarRain_4.dat", "tmorvelan2d.pmt", "tmorvelan2d.ist",
                        "sarnolt.answers", "tmorvelan2d.answers", "run.sh"})
    d.copy_in(kExamples + "reaches/" + f, f);
  docs::CopyExamples(d, {"to-v5.awk", "event.awk", "balance.awk"});
  Result r = cli::check(docs::kShell, d, Case("run.sh").args({"run.sh"}).env("PATH", docs::ProgramPath()).status(0));
  ExpectExample("reaches/results.txt", r.out);
  for (const char* f : {"basin.con", "basin-v5.con", "tmorvelan2d.out"})
    ExpectExample(std::string("reaches/") + f, d.read(f));

  const docs::Balance b = docs::WaterBalance(d, docs::TotalArea(d.read("tmorvelan2d.log")));
  const double stored = series(d.read("tmorvelan2d.stg")).back().second;
  EXPECT_GT(b.outflow, 0.05 * b.rain);
  EXPECT_LT(std::fabs(b.residual()), stored / 10);
  // The reaches pass their inflow on within the step: at the end the lower
  // end of each reach carries what drains into its upper end.
  // A river edge's upper value stays the initial one.
  std::map<int, double> upper, lower;
  std::istringstream terminal(d.read("basin.ist.tst").substr(d.read("basin.ist.tst").find("[Data]\n") + 7));
  for (int num; terminal >> num;) terminal >> upper[num] >> lower[num];
  ASSERT_EQ(lower.size(), 6u);
  EXPECT_EQ(upper[5], 0);
  EXPECT_EQ(upper[6], 0);
  EXPECT_GT(upper[2], 0);
  EXPECT_NEAR(lower[5], lower[2] + lower[3], 2e-6);
  EXPECT_NEAR(lower[6], lower[5] + lower[4], 2e-6);
  EXPECT_NEAR(series(d.read("tmorvelan2d.out")).back().second, lower[6], 1e-6);

  Folder v4;
  for (const char* f : {"basin.con", "basin.pmt", "basin.ist", "radarRain_4.dat", "tmorvelan2d.ist"})
    v4.copy_in(d.file(f), f);
  std::string pmt = d.read("tmorvelan2d.pmt");
  pmt.replace(pmt.find("basin-v5.con"), std::string("basin-v5.con").size(), "basin.con");
  v4.write("tmorvelan2d.pmt", pmt);
  const std::string refused =
      "File: basin.con: the river edge 5 drains into edge 6: river reaches in series need an edge connection V.3 "
      "or V.5 file, which carries each edge's distribution rate and upper area\n"
      "wrong connection of edges:\nfrom 5 to 6\n";
  cli::check(cli::tmorvelan2d, v4,
             Case("the V.4 file")
                 .input(d.read("tmorvelan2d.answers"))
                 .env("QAVLENSDIR", "")
                 .status(1)
                 .err(cli::contains(refused))
                 .writes("tmorvelan2d.tst", cli::absent()));
  ExpectSays("docs/formats.md", refused);
}

// to-v5.awk gives the distribution rates and upper areas tmorvelan2d
// computes itself: the basin of examples/ (where edges share an upper
// node) from its V.5 file flows as from the V.4 file; the small basin's
// V.5 file is the one the docs show.
TEST(ManualReaches, ToV5GivesTheRatesAndAreasOfTheModel) {
  Folder d;
  cli::prepare_basin(d, cli::examples_dir());
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), "3600\n3600\nY\n").status, 0);
  const cli::Series fromV4 = series(d.read("tmorvelan2d.out"));
  docs::CopyExamples(d, {"to-v5.awk"});
  cli::check(docs::kShell, d, docs::Command("awk -f to-v5.awk basin.con > basin-v5.con").status(0).err(""));
  const std::string v5 = d.read("basin-v5.con");
  EXPECT_NE(v5.find("\nedge connection V.5\n"), std::string::npos);
  // Edges 12 and 21 leave one node and share its water.
  std::map<int, double> rate;
  std::istringstream records(v5.substr(v5.find("[Data]\n") + 7));
  for (std::string line; std::getline(records, line);) {
    const std::vector<double> items = Numbers(line);
    rate[static_cast<int>(items.front())] = items[items.size() - 2];
  }
  EXPECT_LT(rate[12], 1);
  EXPECT_NEAR(rate[12] + rate[21], 1, 1e-9);
  std::string pmt = d.read("tmorvelan2d.pmt");
  pmt.replace(pmt.find("basin.con"), std::string("basin.con").size(), "basin-v5.con");
  d.write("tmorvelan2d.pmt", pmt);
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), "3600\n3600\nY\n").status, 0);
  const cli::Series fromV5 = series(d.read("tmorvelan2d.out"));
  ASSERT_EQ(fromV5.size(), fromV4.size());
  for (std::size_t k = 0; k < fromV4.size(); ++k)
    EXPECT_NEAR(fromV5[k].second, fromV4[k].second, 1e-5 * fromV4[k].second);

  Folder s;
  docs::CopyExamples(s, {"basin.con", "to-v5.awk"});
  const std::string written = cli::check(docs::kShell, s, docs::Command("awk -f to-v5.awk basin.con").status(0)).out;
  const std::string shown = Example("basin-v5.con");
  EXPECT_EQ(written.substr(written.find("[Data]")), shown.substr(shown.find("[Data]")));

  // An edge listed before an edge that drains into it is named.
  Folder late;
  std::string con = Example("basin.con");
  const std::size_t one = con.find("\n1 ") + 1, two = con.find("\n2 ") + 1;
  con = con.substr(0, one) + con.substr(two, con.find("\n3 ") + 1 - two) + con.substr(one, two - one) +
        con.substr(con.find("\n3 ") + 1);
  late.write("basin.con", con);
  docs::CopyExamples(late, {"to-v5.awk"});
  cli::check(docs::kShell, late,
             docs::Command("awk -f to-v5.awk basin.con > basin-v5.con")
                 .status(0)
                 .err("to-v5.awk: edge 1 drains into edge 2 but comes after it: number the edges upstream first\n"));
}

// ---- restarts --------------------------------------------------------------

// restart.sh over three restarts of the small basin: every run starts where
// the one before ended, under the same names (the folder holds the same
// names after every run), the series of each run are kept in runs/, and
// the joined series stay close to an unbroken run.
TEST(ManualRestart, RestartsKeepTheirNames) {
  Folder whole;
  cli::prepare_basin(whole, kExamples);
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, whole.path(), "2400\n600\nY\n").status, 0);
  const cli::Series unbroken = series(whole.read("tmorvelan2d.out"));

  Folder d;
  cli::prepare_basin(d, kExamples);
  docs::CopyExamples(d, {"restart.sh"});
  Result first = cli::run(cli::tmorvelan2d, {}, d.path(), "600\n600\nY\n");
  ASSERT_EQ(first.status, 0);
  const double area = docs::TotalArea(first.out);
  const std::string sarnoltState = d.read("basin.ist");
  const long dt = docs::ElementStep(Example("tmorvelan2d.pmt"));
  std::set<std::string> names;
  double gap = 0;
  cli::Series last = series(d.read("tmorvelan2d.out"));
  for (long end = 1200; end <= 2400; end += 600) {
    SCOPED_TRACE(end);
    const std::string from = std::to_string(end - 600);
    cli::check(
        docs::kShell, d,
        Case("restart.sh").args({"restart.sh"}).status(0).out("restart.sh: the next run starts at " + from + " s\n"));
    cli::check(cli::tmorvelan2d, d,
               Case("the next run")
                   .input("600\n600\nY\n")
                   .status(0)
                   .out(cli::contains("# current_time = " + from + " : time_step = "))
                   .writes("tmorvelan2d.ist", cli::contains("\n" + from + " basin.ist\n"))
                   .writes("tmorvelan2d.tst", cli::contains("\n" + std::to_string(end) + " basin.ist.tst\n"))
                   .writes("runs/" + from + "/tmorvelan2d.out", d.read("runs/" + from + "/tmorvelan2d.out")));
    if (end == 1200)
      names = d.entries();
    else
      EXPECT_EQ(d.entries(), names);
    EXPECT_FALSE(d.read("runs/" + from + "/tmorvelan2d.out").empty());
    const cli::Series next = series(d.read("tmorvelan2d.out"));
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next.front(), last.back()) << "the series go on from the last value of the run before";
    // Each edge restarts on a straight line between its end discharges:
    // the outflow departs from the unbroken run's.
    for (std::size_t k = 1; k < next.size(); ++k) {
      const auto& u = unbroken[static_cast<std::size_t>(next[k].first / dt)];
      EXPECT_EQ(next[k].first, u.first);
      gap = std::max(gap, std::fabs(1 - next[k].second / u.second));
    }
    last = next;
  }
  char shortfall[100];
  std::snprintf(shortfall, sizeof shortfall, "up to %.0f %% from the unbroken run", 100 * gap);
  ExpectSays("docs/running.md", shortfall);
  EXPECT_EQ(d.read("runs/start/basin.ist"), sarnoltState);
  EXPECT_EQ(d.read("runs/start/tmorvelan2d.ist"), Example("tmorvelan2d.ist"));
  for (const std::string& n : d.entries()) EXPECT_EQ(n.find(".tst.tst"), std::string::npos) << n;

  // A start from a wet state without its stock file: the storage series
  // begins at 0 as for an empty basin, and the balance closes from the
  // first step on.
  Folder wet;
  for (const std::string& n : d.entries())
    if (n != "runs") wet.copy_in(d.file(n), n);
  cli::check(docs::kShell, wet, Case("restart.sh").args({"restart.sh"}).status(0));
  std::remove(wet.file("tmorvelan2d.isd").c_str());
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, wet.path(), "600\n600\nY\n").status, 0);
  const cli::Series storage = series(wet.read("tmorvelan2d.stg"));
  ASSERT_GT(storage.size(), 2u);
  EXPECT_EQ(storage.front(), std::make_pair(2400L, 0.0));
  EXPECT_GT(storage[1].second, 1000);
  const docs::Balance fromStart = docs::WaterBalance(wet, area);
  const docs::Balance fromStep = docs::WaterBalance(wet, area, storage[1].first);
  EXPECT_LT(fromStart.residual(), -1000) << "the start reads as an empty basin";
  EXPECT_LT(std::fabs(fromStep.residual()), storage.back().second / 10);
}

// A stop by a signal is a point to continue from: at a prompt the program
// ends as at the end of its input; while stepping it stops at the end of
// the step in progress, its series and terminal files of the time reached,
// and restart.sh continues from there. A run whose terminal files were not
// written (the earlier ones left, as a full disk leaves them) is not
// restarted: restart.sh changes nothing.
TEST(ManualRestart, StopBySignalIsAPointToContinueFrom) {
  Folder p;
  cli::prepare_basin(p, kExamples);
  const std::string atPrompt = "# Error : Signal SIGINT at a prompt : the simulation ends here.\n";
  cli::check(cli::tmorvelan2d, p,
             Case("SIGINT at the first prompt")
                 .signal_at("time_step = ", SIGINT)
                 .status(128 + SIGINT)
                 .err(cli::contains(atPrompt))
                 .writes("tmorvelan2d.tst", cli::contains("\n# current_time = 0 \n"))
                 .writes("tmorvelan2d.out", cli::absent()));
  ExpectSays("docs/running.md", atPrompt);

  // Rain (none) far beyond the storm, so that the run is still stepping
  // when the signal comes.
  Folder d;
  cli::prepare_basin(d, kExamples);
  d.append("radarRain_4.dat", "3600000 2 2\n0.0 0.0\n0.0 0.0\n");
  docs::CopyExamples(d, {"restart.sh"});
  std::set<std::string> written = d.entries();  // and no temporary file
  written.insert({"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg", "all_rain.dat", "tmorvelan2d.tst",
                  "tmorvelan2d.tsd", "basin.ist.tst"});
  Result stopped = cli::check(cli::tmorvelan2d, d,
                              Case("SIGTERM while stepping")
                                  .step("time_step = ", "3600000\n")
                                  .step("increment = ", "3600\n")
                                  .signal_at("[morvelan2d 0] 4000 : ", SIGTERM)
                                  .status(128 + SIGTERM)
                                  .leaves(written));
  const std::string head = "# Error : Signal SIGTERM at current_time = ";
  const std::size_t at = stopped.err.find(head);
  ASSERT_NE(at, std::string::npos) << stopped.err;
  const std::string reached =
      stopped.err.substr(at + head.size(), stopped.err.find(' ', at + head.size()) - at - head.size());
  EXPECT_EQ(stopped.err.substr(at), head + reached + " : the simulation ends here.\n");
  ExpectSays("docs/running.md", head + "5400 : the simulation ends here.");
  const long end = std::stol(reached);
  EXPECT_GE(end, 4000);
  EXPECT_LT(end, 3600000);
  EXPECT_EQ(series(d.read("tmorvelan2d.out")).back().first, end);
  EXPECT_EQ(series(d.read("all_rain.dat")).back().first, end);
  EXPECT_NE(d.read("tmorvelan2d.tst").find("\n# current_time = " + reached + " \n"), std::string::npos);
  const auto last = series(d.read("tmorvelan2d.out")).back();

  cli::check(
      docs::kShell, d,
      Case("restart.sh").args({"restart.sh"}).status(0).out("restart.sh: the next run starts at " + reached + " s\n"));
  const std::string earlier[] = {d.read("tmorvelan2d.tst"), d.read("tmorvelan2d.tsd"), d.read("basin.ist.tst")};
  cli::check(cli::tmorvelan2d, d,
             Case("the run continued")
                 .input("600\n600\nY\n")
                 .status(0)
                 .out(cli::contains("# current_time = " + reached + " : time_step = ")));
  EXPECT_EQ(series(d.read("tmorvelan2d.out")).front(), last);

  // The new terminal files lost, the earlier ones left.
  d.write("tmorvelan2d.tst", earlier[0]);
  d.write("tmorvelan2d.tsd", earlier[1]);
  d.write("basin.ist.tst", earlier[2]);
  Case refused("restart.sh after a run that did not write its terminal files");
  refused.args({"restart.sh"})
      .status(1)
      .out("")
      .err("restart.sh: tmorvelan2d.out does not end at " + reached +
           " s, the time of tmorvelan2d.tst: the run's files do not agree (see the run's reports); nothing is "
           "changed\n")
      .leaves(d.entries());
  for (const char* f : {"tmorvelan2d.ist", "tmorvelan2d.isd", "basin.ist"}) refused.writes(f, d.read(f));
  refused.writes("runs/" + reached + "/tmorvelan2d.out", d.read("runs/" + reached + "/tmorvelan2d.out"));
  cli::check(docs::kShell, d, refused);
}

// ---- values, reports -------------------------------------------------------

// sarnolt takes a value outside the accepted range as typed; tmorvelan2d
// refuses the record, naming the file, the edge and the line.
TEST(ManualParameters, SarnoltChecksNoValueTmorvelan2dDoes) {
  Folder d;
  cli::connect_basin(d, kExamples);
  std::string answers = Example("sarnolt.answers");
  answers.replace(answers.find("\n4.0\n"), 5, "\n0.5\n");
  ASSERT_EQ(cli::run(cli::sarnolt, {}, d.path(), answers).status, 0);
  EXPECT_NE(d.read("basin.pmt").find("\n1 0.3 1.667 0.001 0.5 0.02 0.005 0.5 0.65 "), std::string::npos);
  docs::CopyExamples(d, {"basin.ist"});
  const std::string where = "File: basin.pmt, edge 1, line 22: this record fails the check below";
  cli::check(cli::tmorvelan2d, d,
             Case("beta 0.5")
                 .input(Example("tmorvelan2d.answers"))
                 .status(cli::kAbort)
                 .err(cli::contains(where + "\n"))
                 .err(cli::contains("Assertion `beta >= 1.0' failed.\n")));
  ExpectSays("docs/formats.md", where);
}

// The depth of the soil layer is only checked: any depth from da on gives
// the same run.
TEST(ManualParameters, SoilDepthIsOnlyChecked) {
  std::string outflow;
  for (const char* depth : {"0.02", "0.5", "50"}) {
    SCOPED_TRACE(depth);
    Folder d;
    cli::connect_basin(d, kExamples);
    std::string answers = Example("sarnolt.answers");
    answers.replace(answers.find("\n0.5\n"), 5, std::string("\n") + depth + "\n");
    ASSERT_EQ(cli::run(cli::sarnolt, {}, d.path(), answers).status, 0);
    ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), Example("tmorvelan2d.answers")).status, 0);
    if (outflow.empty())
      outflow = d.read("tmorvelan2d.out");
    else
      EXPECT_EQ(d.read("tmorvelan2d.out"), outflow);
  }
  EXPECT_NE(outflow, "");
}

// A rain file missing at the start: report 82, then 528 (no step can be
// computed); the file created at the Quit prompt and N, the run goes on.
TEST(ManualReports, MissingRainFileAtTheStart) {
  Folder d;
  cli::prepare_basin(d, kExamples);
  std::remove(d.file("radarRain_4.dat").c_str());
  Case c("no rain file");
  c.step("time_step = ", "600\n")
      .step("increment = ", "600\n")
      .step(
          "# Quit? [Y / N] : ", [](const Folder& f) { f.copy_in(kExamples + "radarRain_4.dat", "radarRain_4.dat"); },
          "N\n")
      .step("time_step = ", "600\n")
      .step("increment = ", "600\n")
      .step("# Quit? [Y / N] : ", "Y\n")
      .status(0)
      .err(cli::matches("(.|\n)*E : i_file_matrix.cpp : 82 : (.|\n)*E : total.cpp : 528 : (.|\n)*"))
      .out(cli::contains("[morvelan2d 0] 600 : "));
  cli::check(cli::tmorvelan2d, d, c);
  ExpectSays("docs/running.md", "`E : i_file_matrix.cpp : 82` and then `E : total.cpp : 528`");

  // Ended there, after an earlier run: status 1, and every file of the
  // earlier run as it was.
  Folder e;
  FirstRunOfTheSmallBasin(e);
  std::remove(e.file("radarRain_4.dat").c_str());
  const std::string kept =
      "# Error : The initial work never succeeded : tmorvelan2d.tst, tmorvelan2d.tsd and the "
      "terminal files of the components are left as they were.\n";
  Case ended("ended with 528 standing");
  ended.input(Example("tmorvelan2d.answers")).status(1).err(cli::contains(kept)).leaves(e.entries());
  for (const char* f :
       {"tmorvelan2d.tst", "tmorvelan2d.tsd", "basin.ist.tst", "tmorvelan2d.out", "tmorvelan2d.stg", "all_rain.dat"})
    ended.writes(f, e.read(f));
  cli::check(cli::tmorvelan2d, e, ended);
  ExpectSays("docs/running.md", kept);
}

// The warnings after which the run goes on to status 0, on the small basin
// as formats.md changes it: edges 1 and 2 numbered the other way round (the
// upper slope 2 drains into 1, which pelmic lists first); the rain records
// of 600 s and 1200 s swapped (the one of 600 s is dropped, and the rain at
// 600 s is interpolated between 0 and 1200 s).
TEST(ManualReports, WarningsLetTheRunGoOn) {
  auto swapped = [](std::string text, const std::string& a, const std::string& b) {
    const std::size_t at = text.find(a);
    EXPECT_NE(at, std::string::npos) << a;
    if (at == std::string::npos) return text;
    return text.replace(at, a.size(), b);
  };
  const struct {
    const char* name;
    const char* file;
    std::string text;
    std::string warning;
    const char* doc;
  } rows[] = {
      {"an edge listed before the edge draining into it", "edges.dat",
       swapped(Example("edges.dat"), "\n1 1 2 1 400.0 40000.0\n2 2 4 1 200.0 20000.0\n",
               "\n2 1 2 1 400.0 40000.0\n1 2 4 1 200.0 20000.0\n"),
       "W : morvelan2d-1.cpp : 820 : \n"
       "File: basin.con: 1 link runs from an edge to one listed before it, the first from edge 2 (record 2) to edge 1 "
       "(record 1): the downstream edge takes the upstream edge's outflow of the previous step. List the upstream "
       "edge first (pelmic writes the edges by number: number them upstream first).\n",
       "docs/formats.md"},
      {"rain records out of order", "radarRain_4.dat",
       swapped(Example("radarRain_4.dat"), "600 2 2\n40.0 60.0\n5.0 5.0\n1200 2 2\n80.0 100.0\n5.0 5.0\n",
               "1200 2 2\n80.0 100.0\n5.0 5.0\n600 2 2\n40.0 60.0\n5.0 5.0\n"),
       "W : i_file_matrix.cpp : 140 : radarRain_4.dat, record of time 600, line 11: an earlier record (line 8) has "
       "the later time 1200: this record is dropped.\n"
       "    Input_file : I_file_matrix<TzDMatrix> radarRain_4.dat \n",
       "docs/formats.md"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Folder from;
    for (const std::string& f : cli::chain_inputs()) from.copy_in(kExamples + f, f);
    from.copy_in(kExamples + "sarnolt.answers", "sarnolt.answers");
    from.write(row.file, row.text);
    Folder d;
    cli::prepare_basin(d, from.path() + "/");
    Result r = cli::check(cli::tmorvelan2d, d,
                          Case(row.name)
                              .input(Example("tmorvelan2d.answers"))
                              .env("QAVLENSDIR", "")
                              .status(0)
                              .err(cli::contains(row.warning)));
    ExpectSays(row.doc, row.warning);
    if (std::string(row.file) == "radarRain_4.dat") {
      EXPECT_NE(d.read("all_rain.dat").find("\n600 45\n"), std::string::npos);
      EXPECT_NE(Example("all_rain.dat").find("\n600 50\n"), std::string::npos);
      ExpectSays(row.doc, "`all_rain.dat` holds `600 45` in place of `600 50`");
    }
  }
}

// What tmorvelan2d refuses before it writes anything, as running.md quotes
// it: an output that is one of its inputs (tmorvelan2d.out a link to the
// parameter file), a folder for the copies without comments that does not
// exist.
TEST(ManualReports, RefusalsChangeNothing) {
  if (cli::exists("/no/such/folder")) GTEST_SKIP() << "/no/such/folder exists";
  const struct {
    const char* name;
    bool link;
    const char* tmpdir;
    std::string report;
  } rows[] = {
      {"an output that is an input", true, nullptr,
       "E : total.cpp : 415 : The output file tmorvelan2d.out is the edge parameter file basin.pmt: the run would "
       "overwrite it.\n"},
      {"no folder for the copies", false, "/no/such/folder",
       "File: tmorvelan2d.pmt: its copy without comments cannot be created in /no/such/folder: No such file or "
       "directory (TMPDIR names the folder of such copies)\nCannot open [tmpfile].\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Folder d;
    cli::prepare_basin(d, kExamples);
    Case c(row.name);
    c.input(Example("tmorvelan2d.answers")).env("QAVLENSDIR", "").status(1).err(cli::contains(row.report));
    std::set<std::string> names = d.entries();
    if (row.link) {
      c.symlink("tmorvelan2d.out", "basin.pmt");
      names.insert("tmorvelan2d.out");
    }
    if (row.tmpdir) c.env("TMPDIR", row.tmpdir);
    for (const std::string& f : d.entries()) c.writes(f, d.read(f));
    cli::check(cli::tmorvelan2d, d, c.leaves(names));
    ExpectSays("docs/running.md", row.report);
  }
}

// The slips the README tells of for pelmic change nothing: the names in the
// wrong order (the output named first among the inputs) stop on the node
// file's format; a name with a blank is refused before any file is opened.
TEST(ManualTools, PelmicSlipsChangeNothing) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string error;
  } rows[] = {
      {"the names in the wrong order",
       {"edges.dat", "basin.e4", "nodes.dat"},
       "Error occured in file: pelmic.cpp, at line: 392\nnode data must be node format V.0.\n"},
      {"a name with a blank",
       {"edges.dat", "nodes.dat", "basin 2024.e4"},
       "Error occured in file: pelmic.cpp, at line: 46\na file name must not hold blanks or tabs: \"basin 2024.e4\"\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Folder d;
    cli::connect_basin(d, kExamples);
    d.write("basin", "a file of the user's\n");
    Case c(row.name);
    c.args(row.args).status(1).err(cli::starts_with(row.error)).leaves(d.entries());
    for (const std::string& f : d.entries()) c.writes(f, d.read(f));
    cli::check(cli::pelmic, d, c);
  }
  ExpectSays("README.md",
             "`pelmic edges.dat basin.e4 nodes.dat` stops on the node file's format (392) and changes nothing");
  ExpectSays("README.md", "a name with a blank or a tab (`'basin 2024.e4'`), as an argument or at a prompt");
}

// A report with and without its explanation: the V.1 connection file named
// in tmorvelan2d.pmt; the explanations found through QAVLENSDIR, whose
// folders are separated by ';'.
TEST(ManualReports, ExplanationsComeThroughQavlensdir) {
  Folder d;
  cli::prepare_basin(d, kExamples);
  docs::CopyExamples(d, {"basin-v1.con"});
  std::string pmt = Example("tmorvelan2d.pmt");
  pmt.replace(pmt.find("basin.con"), std::string("basin.con").size(), "basin-v1.con");
  d.write("tmorvelan2d.pmt", pmt);
  Result plain = cli::check(cli::tmorvelan2d, d, Case("without").env("QAVLENSDIR", "").status(1));
  ExpectExample("report.txt", plain.err);
  const std::string dirs = d.path() + "/no-such-folder;" + TZ_BINARY_DIR + "/qavlensdir";
  Result explained = cli::check(cli::tmorvelan2d, d, Case("with").env("QAVLENSDIR", dirs).status(1));
  ExpectExample("report-explained.txt", explained.err);
  EXPECT_GT(explained.err.size(), plain.err.size() + 100);
}

}  // namespace

#endif
