// The user's documentation against the programs.
//
// docs/examples holds the small basin the file-format guide is written
// around: the inputs a user writes, and the files and consoles the programs
// make of them. The tests run the real programs on the inputs, in a
// temporary directory, and compare what they write, byte for byte, with
// the examples; the console dialogues run on a terminal, so that the
// transcripts are what a user sees. Every block of the docs that quotes a
// file must hold that file's text.
//
// After an intended change of the programs' output, TZ_DOCS_REGENERATE=1
// makes the tests write the examples instead of comparing them, and the
// docs' quotes of whole files anew; review the difference before
// committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/chain.h"
#include "cli/cli.h"
#include "cli/series.h"
#include "docs.h"

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE) && defined(TZ_TMORVELAN2D_EXE)

namespace {

namespace fs = std::filesystem;
using cli::Case;
using cli::Folder;
using cli::read_file;
using cli::Result;
using cli::series;
using cli::write_file;

using docs::CopyExamples;
using docs::Example;
using docs::ExpectExample;
using docs::kExamples;
using docs::kTop;
using docs::Regenerating;

// tmorvelan2d's three prompts answered on its terminal: run length, target
// increment, quit.
Case& Segment(Case& c, const std::string& length, const std::string& increment, const std::string& quit) {
  return c.step("time_step = ", length + "\n")
      .step("Medium_term_target_time_increment = ", increment + "\n")
      .step("# Quit? [Y / N] : ", quit + "\n");
}

// The transcript of a run on a terminal of its own (the dialogue as a user
// sees it), which ends with status 0.
std::string Transcript(const cli::Program& program, const Folder& d, Case c) {
  Result r = cli::check(program, d, c.on_terminal().status(0));
  return r.out;
}

// The preparation chain on the example inputs, as the docs run it.
void Prepare(const Folder& d) { cli::prepare_basin(d, kExamples); }

// The first run of the example: 1800 s in targets of 600 s.
Case FirstRun() {
  Case c("the first run");
  return Segment(c, "1800", "600", "Y");
}

TEST(DocsExamples, ChainWritesTheFilesTheDocsShow) {
  Folder d;
  Prepare(d);
  for (const char* f : {"basin.e4", "basin.con", "basin.pmt", "basin.ist"}) ExpectExample(f, d.read(f));

  Case answers("sarnolt");
  std::istringstream typed(Example("sarnolt.answers"));
  for (std::string line; std::getline(typed, line);) answers.step(" : ", line + "\n");
  Folder s;
  CopyExamples(s, {"basin.con"});
  ExpectExample("sarnolt-console.txt", Transcript(cli::sarnolt, s, answers));

  ExpectExample("console.txt", Transcript(cli::tmorvelan2d, d, FirstRun()));
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg", "all_rain.dat", "tmorvelan2d.tst",
                        "tmorvelan2d.tsd", "basin.ist.tst"})
    ExpectExample(f, d.read(f));
  // The answers piped from the file give the same run.
  Folder p;
  Prepare(p);
  Result o = cli::check(cli::tmorvelan2d, p,
                        Case("piped answers")
                            .input(Example("tmorvelan2d.answers"))
                            .status(0)
                            .writes("tmorvelan2d.out", d.read("tmorvelan2d.out")));
  ASSERT_EQ(o.status, 0) << o.err;
}

// Every version of the connection file describes the same basin: sarnolt
// reads all five, tmorvelan2d V.2 to V.5 with the same outflow.
TEST(DocsExamples, ConnectionVersionsAreReadAsDocumented) {
  Folder ref;
  Prepare(ref);
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, ref.path(), Example("tmorvelan2d.answers")).status, 0);
  const std::string outflow = ref.read("tmorvelan2d.out");
  const std::string params = ref.read("basin.pmt");
  const std::string initial = ref.read("basin.ist");
  auto data = [](const std::string& file) { return file.substr(file.find("[Data]\n")); };

  for (int v : {1, 2, 3, 5}) {
    SCOPED_TRACE("edge connection V." + std::to_string(v));
    Folder d;
    Prepare(d);
    const std::string con = "basin-v" + std::to_string(v) + ".con";
    CopyExamples(d, {con});
    d.copy_in(d.file(con), "basin.con");

    // sarnolt: the answers with the connection file named, and for V.3 and
    // V.5 an initial runoff height of 0.36 mm/h in place of the discharges.
    std::string answers = Example("sarnolt.answers");
    answers.replace(0, answers.find('\n'), con);
    const bool fromRunoff = v == 3 || v == 5;
    if (fromRunoff) answers = answers.substr(0, answers.size() - std::string("0\ny\n0\ny\n").size()) + "0.36\ny\n";
    Result o = cli::run(cli::sarnolt, {}, d.path(), answers);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(data(d.read("basin.pmt")), data(params));
    // 0.36 mm/h on the upper area, and on the upper and own area, in m3/s.
    EXPECT_EQ(data(d.read("basin.ist")),
              fromRunoff ? "[Data]\n1 0 0.004\n2 0.004 0.006\n3 0 0.006\n4 0.012 0.012\n" : data(initial));

    CopyExamples(d, {"basin.ist"});
    Case model = Case().input(Example("tmorvelan2d.answers"));
    if (v == 1)
      model.status(1).err(cli::contains("E : morvelan2d-1.cpp : 662 : "));
    else
      model.status(0).writes("tmorvelan2d.out", outflow);
    o = cli::check(cli::tmorvelan2d, d, model);
    if (v != 1) {
      ASSERT_EQ(o.status, 0) << o.err;
    }
  }
}

// The restart the docs describe: the terminal files copied to the initial
// ones, the run continued; the outflow is close to that of an unbroken run
// and its figures are the ones the docs quote.
TEST(DocsExamples, RestartContinuesCloseToTheUnbrokenRun) {
  Folder whole;
  Prepare(whole);
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, whole.path(), "3600\n600\nY\n").status, 0);
  const cli::Series unbroken = series(whole.read("tmorvelan2d.out"));

  Folder d;
  Prepare(d);
  ASSERT_EQ(cli::run(cli::tmorvelan2d, {}, d.path(), Example("tmorvelan2d.answers")).status, 0);
  Result o = cli::check(cli::tmorvelan2d, d,
                        Case("the restart")
                            .setup([](const Folder& f) {
                              f.copy_in(f.file("tmorvelan2d.tst"), "tmorvelan2d.ist");
                              f.copy_in(f.file("tmorvelan2d.tsd"), "tmorvelan2d.isd");
                            })
                            .input("1800\n600\nY\n")
                            .status(0)
                            .out(cli::contains("# current_time = 1800 : time_step = "))
                            .writes("tmorvelan2d.tst", cli::contains("3600 basin.ist.tst.tst\n")));
  ASSERT_EQ(o.status, 0) << o.err;
  const cli::Series continued = series(d.read("tmorvelan2d.out"));
  const long dt = docs::ElementStep(Example("tmorvelan2d.pmt"));
  const std::size_t half = static_cast<std::size_t>(1800 / dt);
  ASSERT_EQ(continued.size(), half + 1);
  ASSERT_EQ(unbroken.size(), 2 * half + 1);
  // The stock file carries the outflow of 1800 s as the first run wrote it.
  EXPECT_EQ(continued[0], unbroken[half]);
  // Each edge restarts on a straight line between its end discharges, so
  // the continued run falls short of the unbroken one.
  for (std::size_t k = 1; k < continued.size(); ++k) {
    EXPECT_EQ(continued[k].first, unbroken[k + half].first);
    EXPECT_LT(continued[k].second, unbroken[k + half].second);
  }
  const double gap = 1 - continued[half].second / unbroken[2 * half].second;
  EXPECT_LT(gap, 0.25);
  const std::size_t at2100 = static_cast<std::size_t>(300 / dt);
  char figures[300];
  std::snprintf(figures, sizeof figures,
                "%g m3/s at 2100 s and %g m3/s at 3600 s in the unbroken run, %g and %g m3/s in the continued "
                "one, %.0f %% less at 3600 s",
                unbroken[half + at2100].second, unbroken[2 * half].second, continued[at2100].second,
                continued[half].second, 100 * gap);
  docs::ExpectSays("docs/running.md", figures);

  // A stock file kept from the end of a run, with the initial state of its
  // start: refused before anything is written.
  Folder m;
  Prepare(m);
  m.copy_in(d.file("tmorvelan2d.isd"), "tmorvelan2d.isd");
  const std::string refused =
      "E : total.cpp : 380 : The send-port stock tmorvelan2d.isd does not belong to tmorvelan2d.ist: it holds "
      "morvelan2d 0 at time 1800, tmorvelan2d.ist starts it at 0. Use the stock file written with the terminal "
      "state that became tmorvelan2d.ist, or remove tmorvelan2d.isd.\n";
  cli::check(cli::tmorvelan2d, m,
             Case("a stock file kept")
                 .input(Example("tmorvelan2d.answers"))
                 .env("QAVLENSDIR", "")
                 .status(1)
                 .err(cli::contains(refused))
                 .out(cli::lacks("[morvelan2d 0]"))
                 .writes("tmorvelan2d.out", cli::absent())
                 .leaves(m.entries()));
  docs::ExpectSays("docs/running.md", refused);
}

// A rain file that ends before the run: the segment stops at its end, the
// series are written, and after the file has grown, N continues the run.
TEST(DocsExamples, RunWaitsForTheRainFileToGrow) {
  Folder d;
  Prepare(d);
  const long dt = docs::ElementStep(Example("tmorvelan2d.pmt"));
  const std::string rain = Example("radarRain_4.dat");
  const std::size_t cut = rain.find("\n2400 ") + 1;
  d.write("radarRain_4.dat", rain.substr(0, cut));
  Case run("waiting for rain");
  run.step("time_step = ", "2400\n")
      .step("increment = ", "600\n")
      .step(
          "# Quit? [Y / N] : ",
          [&](const Folder& f) {
            EXPECT_EQ(series(f.read("tmorvelan2d.out")).size(), static_cast<std::size_t>(1800 / dt + 1));
            f.append("radarRain_4.dat", rain.substr(cut));
            cli::set_mtime(f.file("radarRain_4.dat"), 4102444800);
          },
          "N\n");
  ExpectExample("console-wait.txt", Transcript(cli::tmorvelan2d, d, Segment(run, "600", "600", "Y")));
  EXPECT_EQ(series(d.read("tmorvelan2d.out")).size(), static_cast<std::size_t>(2400 / dt + 1));
}

// ---- the docs quote the files --------------------------------------------

// A block of a markdown file that quotes an example: a line
//   <!-- file: PATH -->     the fenced block after it is the file's text;
//   <!-- lines of: PATH --> each line of the block is a line of the file,
//                           in the file's order;
// PATH relative to the markdown file.
struct Quote {
  std::string doc, kind, path, text;
  int line;
};

// A marker line "<!-- file: PATH -->" or "<!-- lines of: PATH -->": its
// kind and its path (a path holds no white space).
bool Marker(const std::string& line, std::string& kind, std::string& target) {
  for (const char* k : {"file", "lines of"}) {
    const std::string head = std::string("<!-- ") + k + ": ";
    const std::string tail = " -->";
    if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
        line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
      continue;
    target = line.substr(head.size(), line.size() - head.size() - tail.size());
    if (target.find_first_of(" \t\r\n\f\v") != std::string::npos) return false;
    kind = k;
    return true;
  }
  return false;
}

std::vector<Quote> Quotes(const std::string& doc) {
  std::vector<Quote> quotes;
  std::istringstream in(read_file(doc));
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::string kind, target;
    if (!Marker(line, kind, target)) continue;
    Quote q{doc, kind, (fs::path(doc).parent_path() / target).lexically_normal().string(), "", n};
    if (!std::getline(in, line) || line.rfind("```", 0) != 0) {
      ADD_FAILURE() << doc << ":" << n << ": no fenced block after the marker";
      continue;
    }
    ++n;
    bool closed = false;
    while (std::getline(in, line)) {
      ++n;
      if (line == "```") {
        closed = true;
        break;
      }
      q.text += line + "\n";
    }
    EXPECT_TRUE(closed) << doc << ":" << q.line << ": the block is not closed";
    quotes.push_back(q);
  }
  return quotes;
}

// The lines of b appear in a, in order.
bool LinesIn(const std::string& a, const std::string& b) {
  std::istringstream ia(a), ib(b);
  std::string la, lb;
  while (std::getline(ib, lb)) {
    bool found = false;
    while (std::getline(ia, la))
      if (la == lb) {
        found = true;
        break;
      }
    if (!found) return false;
  }
  return true;
}

// Puts the text of every quoted file into its block (TZ_DOCS_REGENERATE).
void RequoteFiles(const std::string& doc) {
  std::istringstream in(read_file(doc));
  std::string out, line;
  while (std::getline(in, line)) {
    out += line + "\n";
    std::string kind, target;
    if (!Marker(line, kind, target) || kind != "file") continue;
    const std::string path = (fs::path(doc).parent_path() / target).string();
    if (!std::getline(in, line)) break;
    out += line + "\n";  // the opening fence
    while (std::getline(in, line) && line != "```") {
    }
    out += read_file(path) + "```\n";
  }
  write_file(doc, out);
}

TEST(DocsQuotes, EveryQuotedFileIsQuotedAsItStands) {
  std::vector<std::string> docs = {kTop + "/README.md"};
  for (const auto& e : fs::directory_iterator(kTop + "/docs"))
    if (e.path().extension() == ".md") docs.push_back(e.path().string());
  std::vector<std::string> quoted;
  for (const std::string& doc : docs) {
    if (Regenerating()) RequoteFiles(doc);
    for (const Quote& q : Quotes(doc)) {
      SCOPED_TRACE(q.doc + ":" + std::to_string(q.line) + " quotes " + q.path);
      ASSERT_TRUE(fs::exists(q.path));
      const std::string file = read_file(q.path);
      if (q.kind == "file")
        EXPECT_EQ(q.text, file);
      else
        EXPECT_TRUE(LinesIn(file, q.text)) << q.text;
      quoted.push_back(fs::path(q.path).lexically_normal().string());
    }
  }
  // Every example is shown somewhere.
  for (const auto& e : fs::recursive_directory_iterator(kExamples)) {
    if (!e.is_regular_file()) continue;
    const std::string p = e.path().lexically_normal().string();
    EXPECT_TRUE(std::find(quoted.begin(), quoted.end(), p) != quoted.end()) << p << " is quoted by no doc";
  }
}

}  // namespace

#endif
