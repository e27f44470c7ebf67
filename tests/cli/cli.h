// The one way the tests run a program from the command line, or a function
// of the test program in a child process of its own: a temporary working
// folder, the standard input fed through a pipe (or a terminal), the
// standard output and error read back, the exit status, and the files the
// program left. A case of a program test is a row: a Case names its
// arguments, standard input, input files, folder setup, resource limits and
// the prompts it answers, and what it expects of the console, the status
// and the files; check() runs it and compares.
//
// One convention for the status: the exit status of a program that ended,
// 128 + the signal for one killed by a signal (as a shell shows it), so an
// aborting program reports kAbort.
#ifndef TZ_TESTS_CLI_H
#define TZ_TESTS_CLI_H

#include <sys/resource.h>
#include <sys/types.h>

#include <csignal>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// The status of a program ended by abort(), a failed assertion among them.
constexpr int kAbort = 128 + SIGABRT;

// ---- files ------------------------------------------------------------------

void write_file(const std::string& path, const std::string& text);
void append_file(const std::string& path, const std::string& text);
// The file's bytes; "" for a file that cannot be read.
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// Sets the modification time, so that tests do not depend on the clock's
// resolution.
void set_mtime(const std::string& path, long sec, long nsec = 0);

// A fresh folder, readable by everyone, removed with everything in it at
// the end. Names are relative to it.
class Folder {
 public:
  Folder();
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const { write_file(file(name), text); }
  void append(const std::string& name, const std::string& text) const { append_file(file(name), text); }
  std::string read(const std::string& name) const { return read_file(file(name)); }
  bool exists(const std::string& name) const { return cli::exists(file(name)); }
  // Copies the file at `from` (a fixture, an example) in under `name`,
  // replacing one of that name.
  void copy_in(const std::string& from, const std::string& name) const;
  // Makes the folder `name` (and the folders above it); its path.
  std::string subfolder(const std::string& name) const;
  // The names the folder holds.
  std::set<std::string> entries() const;

 private:
  std::string path_;
};

// Works in `dir` for the life of the object: the test program's own working
// directory, for code under test that names files relative to it.
class In_folder {
 public:
  explicit In_folder(const std::string& dir);
  ~In_folder();
  In_folder(const In_folder&) = delete;
  In_folder& operator=(const In_folder&) = delete;

 private:
  std::string old_;
};

// Sets the environment variable `name` of the test program to `value`
// (unsets it for null) for the life of the object, then restores it.
class With_env {
 public:
  With_env(std::string name, const char* value);
  ~With_env();
  With_env(const With_env&) = delete;
  With_env& operator=(const With_env&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};

// ---- running ----------------------------------------------------------------

// A program under test, by the path CMake gives the tests.
struct Program {
  std::string path;
};

#ifdef TZ_PELMIC_EXE
inline const Program pelmic{TZ_PELMIC_EXE};
#endif
#ifdef TZ_DORVASK_EXE
inline const Program dorvask{TZ_DORVASK_EXE};
#endif
#ifdef TZ_SARNOLT_EXE
inline const Program sarnolt{TZ_SARNOLT_EXE};
#endif
#ifdef TZ_TMORVELAN2D_EXE
inline const Program tmorvelan2d{TZ_TMORVELAN2D_EXE};
#endif

// How the child runs: on a terminal of its own (its standard input, output
// and error one pseudo-terminal that echoes what is typed; the transcript
// is all the terminal shows, line ends not turned into CR LF) instead of
// pipes; under a file-size limit with SIGXFSZ at its default, as a shell
// leaves it (the console goes through pipes, which the limit does not cut);
// under a limit of its address space; with variables added to its
// environment. Every signal the child starts with is at its default.
struct Mode {
  bool terminal = false;
  rlim_t file_size = RLIM_INFINITY;
  rlim_t address_space = RLIM_INFINITY;
  std::vector<std::pair<std::string, std::string>> env;
};

// What a child did.
struct Result {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output (on a terminal: the transcript)
  std::string err;  // standard error (on a terminal: empty)
};

// A child process with its working folder `dir`. The parent feeds its
// standard input with send() and reads its standard output and error all
// along, so that neither side waits on a full pipe. Answers to a child that
// has ended are dropped, not a SIGPIPE to the test.
class Child {
 public:
  // Runs `body` in the child; its result is the child's exit status.
  Child(const std::function<int()>& body, const std::string& dir, const Mode& mode = {});
  // Runs the program with the arguments (argv[0] its file name).
  Child(const Program& program, const std::vector<std::string>& args, const std::string& dir, const Mode& mode = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads the standard output until `text` has appeared after the point the
  // previous wait reached; false when the output ended first or nothing
  // came for two minutes.
  bool wait_for(const std::string& text);
  void send(const std::string& text);
  // Sends the signal to the child.
  void signal(int sig);
  // Ends the input (on pipes), reads to the end of the child, its result.
  Result finish();
  // The standard output so far.
  const std::string& transcript() const { return out_; }

 private:
  void start(const std::function<int()>& body, const std::string& dir, const Mode& mode);
  bool pump(const std::string* pending, std::size_t* done, int timeout_ms);

  pid_t pid_ = -1;
  int to_child_ = -1;  // its standard input
  int from_out_ = -1;  // its standard output (the terminal: the same as to_child_)
  int from_err_ = -1;  // its standard error (-1 on a terminal)
  bool terminal_ = false;
  bool finished_ = false;
  Result result_;
  std::string out_, err_;
  std::size_t seen_ = 0;
};

// Runs the program in dir with the whole standard input given at once.
Result run(const Program& program, const std::vector<std::string>& args, const std::string& dir,
           const std::string& input = "");

// ---- cases ------------------------------------------------------------------

// What a case expects of a text (the console, a file): exact bytes by
// default, or a fragment, a start, an end, a regular expression, a text
// that must not appear; of a file also that it is there, whatever it
// holds, or that it is not.
class Text {
 public:
  enum Kind { kExactly, kContains, kLacks, kStartsWith, kEndsWith, kMatches, kPresent, kAbsent };
  Text(const std::string& exact) : kind_(kExactly), text_(exact) {}  // NOLINT: a row's plain text
  Text(const char* exact) : kind_(kExactly), text_(exact) {}         // NOLINT
  Text(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
  Kind kind() const { return kind_; }
  const std::string& text() const { return text_; }
  // Whether `actual` is what is expected (of a file that is there:
  // kPresent always, kAbsent never).
  bool holds(const std::string& actual) const;
  // "contains \"...\"" and the like, for the failure messages.
  std::string describe() const;

 private:
  Kind kind_;
  std::string text_;
};

inline Text exactly(const std::string& s) { return Text(Text::kExactly, s); }
inline Text contains(const std::string& s) { return Text(Text::kContains, s); }
inline Text lacks(const std::string& s) { return Text(Text::kLacks, s); }
inline Text starts_with(const std::string& s) { return Text(Text::kStartsWith, s); }
inline Text ends_with(const std::string& s) { return Text(Text::kEndsWith, s); }
// The whole text matches the extended regular expression.
inline Text matches(const std::string& re) { return Text(Text::kMatches, re); }
// Of a file: it exists; it does not.
inline Text present() { return Text(Text::kPresent, ""); }
inline Text absent() { return Text(Text::kAbsent, ""); }

// One step of a dialogue: wait for the prompt on the standard output, act
// (change a file, look at one), then answer, or send a signal instead.
struct Step {
  std::string prompt;
  std::function<void(const Folder&)> act;
  std::string answer;
  int signal = 0;
};

// A row of a program test. Built by chained calls, read as the row:
//   Case("output in a missing folder").args({"e.dat", "n.dat", "nodir/o.dat"})
//       .status(1).err("...the output file nodir/o.dat cannot be written.\n")
// What is not set is not checked; out(), err() and writes() add to what
// is expected.
class Case {
 public:
  explicit Case(std::string name = "") : name_(std::move(name)) {}

  Case& args(std::vector<std::string> words);
  Case& input(std::string text);
  // An input file written into the folder before the run.
  Case& file(std::string name, std::string text);
  // Folder setup before the run, after the files.
  Case& setup(std::function<void(const Folder&)> act);
  Case& symlink(std::string name, std::string target);
  Case& directory(std::string name);
  // A file-size limit, SIGXFSZ at its default.
  Case& file_size_limit(rlim_t bytes);
  // A limit of the address space (setrlimit(RLIMIT_AS) in the child).
  Case& address_space_limit(rlim_t bytes);
  // A variable added to (or replaced in) the child's environment.
  Case& env(std::string name, std::string value);
  Case& on_terminal();
  // Waits for the prompt, then acts and sends the answer.
  Case& step(std::string prompt, std::string answer);
  Case& step(std::string prompt, std::function<void(const Folder&)> act, std::string answer = "");
  // Waits for the text on the standard output, then sends the signal.
  Case& signal_at(std::string prompt, int sig);

  Case& status(int s);
  Case& out(Text t);
  Case& err(Text t);
  Case& writes(std::string name, Text t);
  // The names the folder holds afterwards, exactly (no temporary left).
  Case& leaves(std::set<std::string> names);

  const std::string& name() const { return name_; }
  const std::vector<std::string>& words() const { return args_; }

 private:
  friend Result run(const Program&, const Folder&, const Case&);
  friend Result run(const std::function<int()>&, const Folder&, const Case&);
  friend void expect(const Case&, const Folder&, const Result&);

  // The files and the setup in the folder; then the input and the steps
  // given to the child, and its result.
  void prepare(const Folder& dir) const;
  Result drive(Child& child, const Folder& dir) const;

  std::string name_;
  std::vector<std::string> args_;
  std::string input_;
  std::vector<std::pair<std::string, std::string>> files_;
  std::vector<std::function<void(const Folder&)>> setup_;
  Mode mode_;
  std::vector<Step> steps_;
  bool check_status_ = false;
  int status_ = 0;
  std::vector<Text> out_, err_;
  std::vector<std::pair<std::string, Text>> writes_;
  bool check_entries_ = false;
  std::set<std::string> entries_;
};

// Sets the case up in the folder and runs it: its files, its setup, the
// program, its input, its steps (a prompt that does not come is a failure,
// and the steps after it are left out).
Result run(const Program& program, const Folder& dir, const Case& c);
// The same with a function of the test program in the child (see Child)
// in place of a program; the case's arguments are not used.
Result run(const std::function<int()>& body, const Folder& dir, const Case& c);
// Compares the result and the folder with what the case expects.
void expect(const Case& c, const Folder& dir, const Result& r);
// run() and expect(), under the case's name; the result, for what a test
// checks beyond the row.
Result check(const Program& program, const Folder& dir, const Case& c);
Result check(const std::function<int()>& body, const Folder& dir, const Case& c);

// A case as the parameter of a table of GoogleTest cases: by its name.
inline void PrintTo(const Case& c, std::ostream* os) { *os << c.name(); }

}  // namespace cli

#endif
