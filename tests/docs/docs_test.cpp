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
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qavlen/files_testing.h"

#if defined(TZ_PELMIC_EXE) && defined(TZ_DORVASK_EXE) && defined(TZ_SARNOLT_EXE) && \
    defined(TZ_TMORVELAN2D_EXE)

namespace {

namespace fs = std::filesystem;
using ftest::Outcome;
using ftest::read_file;
using ftest::Temp_dir;
using ftest::write_file;

const std::string kTop = TZ_SOURCE_DIR;
const std::string kExamples = kTop + "/docs/examples/";

std::string Example(const std::string& name) { return read_file(kExamples + name); }

bool Regenerating() {
  const char* v = std::getenv("TZ_DOCS_REGENERATE");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

// A file the programs wrote is the example of that name.
void ExpectExample(const std::string& name, const std::string& written) {
  if (Regenerating()) {
    write_file(kExamples + name, written);
    return;
  }
  EXPECT_EQ(written, Example(name)) << "docs/examples/" << name
                                    << " is not what the program writes (TZ_DOCS_REGENERATE=1 rewrites it)";
}

void CopyExamples(const Temp_dir& d, const std::vector<std::string>& names) {
  for (const std::string& n : names)
    fs::copy_file(kExamples + n, d.file(n), fs::copy_options::overwrite_existing);
}

// Runs a program with arguments in dir, the input piped to it.
Outcome RunProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& dir,
            const std::string& input = "") {
  return ftest::run(
      [&] {
        std::vector<char*> argv;
        std::string name = fs::path(exe).filename();
        argv.push_back(name.data());
        std::vector<std::string> copies(args);
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        return 127;
      },
      dir, input);
}

// A program on a terminal of its own: it sees a tty on its standard input,
// output and error, the terminal echoes what is typed, and the transcript
// is everything the terminal shows (line ends not turned into CR LF).
class Terminal {
 public:
  Terminal(const std::string& exe, const std::string& dir) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) ADD_FAILURE() << "no terminal";
    const std::string slaveName = ptsname(master_);
    int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(slave, &t);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag |= ECHO | ICANON;
    tcsetattr(slave, TCSANOW, &t);
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      dup2(slave, 0);
      dup2(slave, 1);
      dup2(slave, 2);
      close(slave);
      close(master_);
      if (chdir(dir.c_str()) != 0) _exit(120);
      const std::string name = fs::path(exe).filename();
      execl(exe.c_str(), name.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(slave);
  }
  ~Terminal() {
    if (pid_ > 0 && status_ < 0) Finish();
    if (master_ >= 0) close(master_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Waits until text has appeared after what earlier waits found; false
  // when the program ended first or nothing came for 20 s.
  bool WaitFor(const std::string& text) {
    for (;;) {
      std::size_t at = transcript_.find(text, seen_);
      if (at != std::string::npos) {
        seen_ = at + text.size();
        return true;
      }
      if (!ReadSome(20000)) return false;
    }
  }
  // Types a line, as a user at the keyboard does.
  void Type(const std::string& line) {
    std::string s = line + "\n";
    if (write(master_, s.data(), s.size()) != static_cast<ssize_t>(s.size())) ADD_FAILURE() << "typing";
  }
  // Reads to the end of the program; its exit status.
  int Finish() {
    while (ReadSome(20000)) {
    }
    int raw = 0;
    waitpid(pid_, &raw, 0);
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status_;
  }
  const std::string& Transcript() const { return transcript_; }

 private:
  bool ReadSome(int timeoutMs) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    char buf[4096];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) return false;  // EIO: the program has closed the terminal
    transcript_.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  std::string transcript_;
  std::size_t seen_ = 0;
};

// One step of a terminal session: wait for a prompt, then act (type an
// answer, change a file).
struct Step {
  std::string prompt;
  std::function<void(Terminal&)> act;
};

Step Answer(const std::string& prompt, const std::string& answer) {
  return {prompt, [answer](Terminal& t) { t.Type(answer); }};
}

// tmorvelan2d's three prompts answered: run length, target increment, quit.
std::vector<Step> Segment(const std::string& length, const std::string& increment, const std::string& quit) {
  return {Answer("time_step = ", length), Answer("Medium_term_target_time_increment = ", increment),
          Answer("# Quit? [Y / N] : ", quit)};
}

std::string Session(const std::string& exe, const std::string& dir, const std::vector<Step>& steps,
                    int expectedStatus = 0) {
  Terminal t(exe, dir);
  for (const Step& s : steps) {
    if (!t.WaitFor(s.prompt)) {
      ADD_FAILURE() << "no prompt \"" << s.prompt << "\" in:\n" << t.Transcript();
      break;
    }
    s.act(t);
  }
  EXPECT_EQ(t.Finish(), expectedStatus) << t.Transcript();
  return t.Transcript();
}

// The (time, value) lines of a series file.
std::vector<std::pair<long, double>> Series(const std::string& text) {
  std::vector<std::pair<long, double>> s;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream l(line);
    long t;
    double v;
    if (l >> t >> v) s.push_back({t, v});
  }
  return s;
}

const std::vector<std::string> kChainInputs = {"nodes.dat",       "edges.dat",       "radarRain_4.dat",
                                               "tmorvelan2d.pmt", "tmorvelan2d.ist"};

// The preparation chain on the example inputs, as the docs run it.
void Prepare(const Temp_dir& d) {
  CopyExamples(d, kChainInputs);
  Outcome o = RunProgram(TZ_PELMIC_EXE, {"edges.dat", "nodes.dat", "basin.e4"}, d.path());
  ASSERT_EQ(o.status, 0) << o.err;
  o = RunProgram(TZ_DORVASK_EXE, {"basin.e4", "basin.con"}, d.path());
  ASSERT_EQ(o.status, 0) << o.err;
  o = RunProgram(TZ_SARNOLT_EXE, {}, d.path(), Example("sarnolt.answers"));
  ASSERT_EQ(o.status, 0) << o.err;
}

// The first run of the example: 1800 s in targets of 600 s.
std::vector<Step> FirstRun() { return Segment("1800", "600", "Y"); }

TEST(DocsExamples, ChainWritesTheFilesTheDocsShow) {
  Temp_dir d;
  Prepare(d);
  for (const char* f : {"basin.e4", "basin.con", "basin.pmt", "basin.ist"}) ExpectExample(f, read_file(d.file(f)));

  std::vector<Step> answers;
  std::istringstream typed(Example("sarnolt.answers"));
  for (std::string line; std::getline(typed, line);) answers.push_back(Answer(" : ", line));
  ftest::Temp_dir s;
  CopyExamples(s, {"basin.con"});
  ExpectExample("sarnolt-console.txt", Session(TZ_SARNOLT_EXE, s.path(), answers));

  ExpectExample("console.txt", Session(TZ_TMORVELAN2D_EXE, d.path(), FirstRun()));
  for (const char* f : {"tmorvelan2d.out", "tmorvelan2d.sat", "tmorvelan2d.stg", "all_rain.dat", "tmorvelan2d.tst",
                        "tmorvelan2d.tsd", "basin.ist.tst"})
    ExpectExample(f, read_file(d.file(f)));
  // The answers piped from the file give the same run.
  Temp_dir p;
  Prepare(p);
  Outcome o = RunProgram(TZ_TMORVELAN2D_EXE, {}, p.path(), Example("tmorvelan2d.answers"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read_file(p.file("tmorvelan2d.out")), read_file(d.file("tmorvelan2d.out")));
}

// Every version of the connection file describes the same basin: sarnolt
// reads all five, tmorvelan2d V.2 to V.5 with the same outflow.
TEST(DocsExamples, ConnectionVersionsAreReadAsDocumented) {
  Temp_dir ref;
  Prepare(ref);
  ASSERT_EQ(RunProgram(TZ_TMORVELAN2D_EXE, {}, ref.path(), Example("tmorvelan2d.answers")).status, 0);
  const std::string outflow = read_file(ref.file("tmorvelan2d.out"));
  const std::string params = read_file(ref.file("basin.pmt"));
  const std::string initial = read_file(ref.file("basin.ist"));
  auto data = [](const std::string& file) { return file.substr(file.find("[Data]\n")); };

  for (int v : {1, 2, 3, 5}) {
    SCOPED_TRACE("edge connection V." + std::to_string(v));
    Temp_dir d;
    Prepare(d);
    const std::string con = "basin-v" + std::to_string(v) + ".con";
    CopyExamples(d, {con});
    fs::copy_file(d.file(con), d.file("basin.con"), fs::copy_options::overwrite_existing);

    // sarnolt: the answers with the connection file named, and for V.3 and
    // V.5 an initial runoff height of 0.36 mm/h in place of the discharges.
    std::string answers = Example("sarnolt.answers");
    answers.replace(0, answers.find('\n'), con);
    const bool fromRunoff = v == 3 || v == 5;
    if (fromRunoff) answers = answers.substr(0, answers.size() - std::string("0\ny\n0\ny\n").size()) + "0.36\ny\n";
    Outcome o = RunProgram(TZ_SARNOLT_EXE, {}, d.path(), answers);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(data(read_file(d.file("basin.pmt"))), data(params));
    // 0.36 mm/h on the upper area, and on the upper and own area, in m3/s.
    EXPECT_EQ(data(read_file(d.file("basin.ist"))),
              fromRunoff ? "[Data]\n1 0 0.004\n2 0.004 0.006\n3 0 0.006\n4 0.012 0.012\n" : data(initial));

    CopyExamples(d, {"basin.ist"});
    o = RunProgram(TZ_TMORVELAN2D_EXE, {}, d.path(), Example("tmorvelan2d.answers"));
    if (v == 1) {
      EXPECT_EQ(o.status, 1);
      EXPECT_NE(o.err.find("E : morvelan2d-1.cpp : 662 : "), std::string::npos) << o.err;
    } else {
      ASSERT_EQ(o.status, 0) << o.err;
      EXPECT_EQ(read_file(d.file("tmorvelan2d.out")), outflow);
    }
  }
}

// The restart the docs describe: the terminal files copied to the initial
// ones, the run continued; the outflow is close to that of an unbroken run
// and its figures are the ones the docs quote.
TEST(DocsExamples, RestartContinuesCloseToTheUnbrokenRun) {
  Temp_dir whole;
  Prepare(whole);
  ASSERT_EQ(RunProgram(TZ_TMORVELAN2D_EXE, {}, whole.path(), "3600\n600\nY\n").status, 0);
  const auto unbroken = Series(read_file(whole.file("tmorvelan2d.out")));

  Temp_dir d;
  Prepare(d);
  ASSERT_EQ(RunProgram(TZ_TMORVELAN2D_EXE, {}, d.path(), Example("tmorvelan2d.answers")).status, 0);
  fs::copy_file(d.file("tmorvelan2d.tst"), d.file("tmorvelan2d.ist"), fs::copy_options::overwrite_existing);
  fs::copy_file(d.file("tmorvelan2d.tsd"), d.file("tmorvelan2d.isd"));
  Outcome o = RunProgram(TZ_TMORVELAN2D_EXE, {}, d.path(), "1800\n600\nY\n");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("# current_time = 1800 : time_step = "), std::string::npos) << o.out;
  EXPECT_NE(read_file(d.file("tmorvelan2d.tst")).find("3600 basin.ist.tst.tst\n"), std::string::npos);
  const auto continued = Series(read_file(d.file("tmorvelan2d.out")));
  ASSERT_EQ(continued.size(), 7u);
  ASSERT_EQ(unbroken.size(), 13u);
  // The stock file carries the outflow of 1800 s as the first run wrote it.
  EXPECT_EQ(continued[0], unbroken[6]);
  for (std::size_t k = 1; k < continued.size(); ++k) {
    EXPECT_EQ(continued[k].first, unbroken[k + 6].first);
    EXPECT_NEAR(continued[k].second, unbroken[k + 6].second, 0.1 * unbroken[k + 6].second);
  }
  char figures[200];
  std::snprintf(figures, sizeof figures,
                "%g m3/s at 2100 s and %g m3/s at 3600 s in the unbroken run, %g and %g m3/s in the continued one",
                unbroken[7].second, unbroken[12].second, continued[1].second, continued[6].second);
  // Line breaks of the text count as blanks.
  const std::string text = std::regex_replace(read_file(kTop + "/docs/running.md"), std::regex("\\s+"), " ");
  EXPECT_TRUE(text.find(figures) != std::string::npos) << "docs/running.md should say: " << figures;

  // A stock file kept from the end of a run, with the initial state of its
  // start: the rain port holds no record before the stock's time, and the
  // run cannot start.
  Temp_dir m;
  Prepare(m);
  fs::copy_file(d.file("tmorvelan2d.isd"), m.file("tmorvelan2d.isd"));
  o = RunProgram(TZ_TMORVELAN2D_EXE, {}, m.path(), Example("tmorvelan2d.answers"));
  EXPECT_NE(o.err.find("E : total.cpp : 528 : "), std::string::npos) << o.err;
  EXPECT_EQ(o.out.find("[morvelan2d 0]"), std::string::npos) << o.out;
}

// A rain file that ends before the run: the segment stops at its end, the
// series are written, and after the file has grown, N continues the run.
TEST(DocsExamples, RunWaitsForTheRainFileToGrow) {
  Temp_dir d;
  Prepare(d);
  const std::string rain = Example("radarRain_4.dat");
  const std::size_t cut = rain.find("\n2400 ") + 1;
  write_file(d.file("radarRain_4.dat"), rain.substr(0, cut));
  std::vector<Step> steps = {Answer("time_step = ", "2400"), Answer("increment = ", "600"),
                             {"# Quit? [Y / N] : ",
                              [&](Terminal& t) {
                                EXPECT_EQ(Series(read_file(d.file("tmorvelan2d.out"))).size(), 7u);
                                ftest::append_file(d.file("radarRain_4.dat"), rain.substr(cut));
                                ftest::set_mtime(d.file("radarRain_4.dat"), 4102444800);
                                t.Type("N");
                              }}};
  for (const Step& s : Segment("600", "600", "Y")) steps.push_back(s);
  ExpectExample("console-wait.txt", Session(TZ_TMORVELAN2D_EXE, d.path(), steps));
  EXPECT_EQ(Series(read_file(d.file("tmorvelan2d.out"))).size(), 9u);
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

std::vector<Quote> Quotes(const std::string& doc) {
  std::vector<Quote> quotes;
  std::istringstream in(read_file(doc));
  const std::regex marker("^<!-- (file|lines of): (\\S+) -->$");
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::smatch m;
    if (!std::regex_match(line, m, marker)) continue;
    Quote q{doc, m[1], (fs::path(doc).parent_path() / m[2].str()).lexically_normal().string(), "", n};
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
  const std::regex marker("^<!-- file: (\\S+) -->$");
  std::string out, line;
  while (std::getline(in, line)) {
    out += line + "\n";
    std::smatch m;
    if (!std::regex_match(line, m, marker)) continue;
    const std::string path = (fs::path(doc).parent_path() / m[1].str()).string();
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
  for (const auto& e : fs::directory_iterator(kExamples)) {
    const std::string p = e.path().lexically_normal().string();
    EXPECT_TRUE(std::find(quoted.begin(), quoted.end(), p) != quoted.end()) << p << " is quoted by no doc";
  }
}

}  // namespace

#endif
