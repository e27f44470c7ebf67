// The command-line harness of the tests: files, the child process and the
// cases (cli.h).
#include "cli/cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <regex.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli {

namespace fs = std::filesystem;

// ---- files ------------------------------------------------------------------

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

void append_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void set_mtime(const std::string& path, long sec, long nsec) {
  struct timespec times[2];
  times[0].tv_sec = sec;
  times[0].tv_nsec = nsec;
  times[1] = times[0];
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

Folder::Folder() {
  std::string tmpl = (fs::temp_directory_path() / "tz_test.XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "no temporary folder: " << tmpl;
  path_ = tmpl;
  chmod(path_.c_str(), 0755);
}

Folder::~Folder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void Folder::copy_in(const std::string& from, const std::string& name) const {
  std::error_code ec;
  fs::copy_file(from, file(name), fs::copy_options::overwrite_existing, ec);
  EXPECT_FALSE(ec) << "copying " << from << ": " << ec.message();
}

std::string Folder::subfolder(const std::string& name) const {
  std::error_code ec;
  fs::create_directories(file(name), ec);
  EXPECT_FALSE(ec) << "making " << name << ": " << ec.message();
  return file(name);
}

std::set<std::string> Folder::entries() const {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(path_)) names.insert(e.path().filename().string());
  return names;
}

In_folder::In_folder(const std::string& dir) : old_(fs::current_path().string()) { fs::current_path(dir); }

In_folder::~In_folder() { fs::current_path(old_); }

With_env::With_env(std::string name, const char* value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) {
    had_ = true;
    old_ = old;
  }
  if (value)
    setenv(name_.c_str(), value, 1);
  else
    unsetenv(name_.c_str());
}

With_env::~With_env() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

// ---- the child --------------------------------------------------------------

namespace {

// How long a wait for output may see nothing come.
constexpr int kSilenceMs = 120000;

// Opens a pseudo-terminal that echoes and passes line ends as they are;
// the master and the slave, or -1s.
std::pair<int, int> open_terminal() {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {-1, -1};
  fcntl(master, F_SETFD, FD_CLOEXEC);
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return {master, -1};
  termios t{};
  tcgetattr(slave, &t);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag |= ECHO | ICANON;
  tcsetattr(slave, TCSANOW, &t);
  return {master, slave};
}

// In the child: the signals at their defaults, as a shell starts a
// program, the limits and the environment of the mode.
void set_up_child(const Mode& mode) {
  for (int sig : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(sig, SIG_DFL);
  auto limit = [](int resource, rlim_t bytes) {
    if (bytes == RLIM_INFINITY) return;
    rlimit l{};
    getrlimit(resource, &l);
    l.rlim_cur = bytes;
    setrlimit(resource, &l);
  };
  limit(RLIMIT_FSIZE, mode.file_size);
  limit(RLIMIT_AS, mode.address_space);
  for (const auto& v : mode.env) setenv(v.first.c_str(), v.second.c_str(), 1);
}

int exec_body(const Program& program, const std::vector<std::string>& args) {
  std::vector<std::string> words;
  words.push_back(fs::path(program.path).filename().string());
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  execv(program.path.c_str(), argv.data());
  return 127;
}

}  // namespace

Child::Child(const std::function<int()>& body, const std::string& dir, const Mode& mode) { start(body, dir, mode); }

Child::Child(const Program& program, const std::vector<std::string>& args, const std::string& dir, const Mode& mode) {
  start([&program, &args] { return exec_body(program, args); }, dir, mode);
}

void Child::start(const std::function<int()>& body, const std::string& dir, const Mode& mode) {
  terminal_ = mode.terminal;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  int slave = -1;
  if (terminal_) {
    std::pair<int, int> t = open_terminal();
    if (t.second < 0) {
      ADD_FAILURE() << "no terminal";
      if (t.first >= 0) close(t.first);
      return;
    }
    to_child_ = from_out_ = t.first;
    slave = t.second;
  } else {
    // Close-on-exec, so that another child started meanwhile holds no end
    // of these (the standard streams of this one are dup2'ed copies).
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "no pipes";
      return;
    }
  }
  std::fflush(nullptr);
  // Answers to a child that has ended fail with EPIPE instead.
  std::signal(SIGPIPE, SIG_IGN);
  pid_ = fork();
  if (pid_ == 0) {
    if (terminal_) {
      setsid();
      for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
      close(slave);
      close(to_child_);
    } else {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    }
    if (chdir(dir.c_str()) != 0) _exit(120);
    set_up_child(mode);
    int status = body();
    std::fflush(nullptr);
    _exit(status);
  }
  if (terminal_) {
    close(slave);
  } else {
    close(in[0]);
    close(out[1]);
    close(err[1]);
    to_child_ = in[1];
    from_out_ = out[0];
    from_err_ = err[0];
    fcntl(to_child_, F_SETFL, fcntl(to_child_, F_GETFL) | O_NONBLOCK);
  }
  if (pid_ < 0) ADD_FAILURE() << "no fork";
}

Child::~Child() {
  if (pid_ > 0 && !finished_) finish();
}

// Waits up to timeout_ms (-1: without end) for the child's output or for
// room in its input, and moves what it can: output into out_ and err_, the
// rest of *pending from *done on into the input. False when nothing came
// in time or there is nothing left to wait for.
bool Child::pump(const std::string* pending, std::size_t* done, int timeout_ms) {
  pollfd p[3];
  int n = 0, out_at = -1, err_at = -1, in_at = -1;
  if (from_out_ >= 0) {
    p[n] = {from_out_, POLLIN, 0};
    out_at = n++;
  }
  if (from_err_ >= 0) {
    p[n] = {from_err_, POLLIN, 0};
    err_at = n++;
  }
  if (pending != nullptr && *done < pending->size() && to_child_ >= 0) {
    p[n] = {to_child_, POLLOUT, 0};
    in_at = n++;
  }
  if (n == 0) return false;
  int ready = poll(p, static_cast<nfds_t>(n), timeout_ms);
  if (ready < 0 && errno == EINTR) return true;
  if (ready <= 0) return false;
  auto take = [&](int at, int& fd, std::string& into) {
    if (at < 0 || p[at].revents == 0) return;
    char buf[65536];
    ssize_t got = read(fd, buf, sizeof buf);
    if (got > 0) {
      into.append(buf, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {  // the end, or EIO of a terminal its program has closed
      close(fd);
      fd = -1;
      if (terminal_) to_child_ = -1;
    }
  };
  take(out_at, from_out_, out_);
  take(err_at, from_err_, err_);
  if (in_at >= 0 && p[in_at].revents != 0 && to_child_ >= 0) {
    ssize_t put = write(to_child_, pending->data() + *done, pending->size() - *done);
    if (put > 0)
      *done += static_cast<std::size_t>(put);
    else if (errno != EAGAIN && errno != EINTR)
      *done = pending->size();  // the child has closed its input: the rest is dropped
  }
  return true;
}

bool Child::wait_for(const std::string& text) {
  for (;;) {
    std::size_t at = out_.find(text, seen_);
    if (at != std::string::npos) {
      seen_ = at + text.size();
      return true;
    }
    if (from_out_ < 0 || !pump(nullptr, nullptr, kSilenceMs)) return false;
  }
}

void Child::send(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size() && to_child_ >= 0)
    if (!pump(&text, &done, kSilenceMs)) break;
}

void Child::signal(int sig) {
  if (pid_ > 0 && !finished_) kill(pid_, sig);
}

Result Child::finish() {
  if (finished_) return result_;
  finished_ = true;
  if (!terminal_ && to_child_ >= 0) {
    close(to_child_);
    to_child_ = -1;
  }
  while (pump(nullptr, nullptr, -1)) {
  }
  int raw = 0;
  if (pid_ > 0) waitpid(pid_, &raw, 0);
  result_.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  result_.out = out_;
  result_.err = err_;
  return result_;
}

Result run(const Program& program, const std::vector<std::string>& args, const std::string& dir,
           const std::string& input) {
  Child child(program, args, dir);
  child.send(input);
  return child.finish();
}

// ---- cases ------------------------------------------------------------------

namespace {

// Whether the extended regular expression matches all of text.
bool whole_match(const std::string& re, const std::string& text) {
  regex_t compiled;
  if (regcomp(&compiled, ("^(" + re + ")$").c_str(), REG_EXTENDED) != 0) {
    ADD_FAILURE() << "not a regular expression: " << re;
    return false;
  }
  const bool found = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&compiled);
  return found;
}

}  // namespace

bool Text::holds(const std::string& actual) const {
  switch (kind_) {
    case kExactly: return actual == text_;
    case kContains: return actual.find(text_) != std::string::npos;
    case kLacks: return actual.find(text_) == std::string::npos;
    case kStartsWith: return actual.compare(0, text_.size(), text_) == 0;
    case kEndsWith:
      return actual.size() >= text_.size() && actual.compare(actual.size() - text_.size(), text_.size(), text_) == 0;
    case kMatches: return whole_match(text_, actual);
    case kPresent: return true;
    case kAbsent: return false;
  }
  return false;
}

std::string Text::describe() const {
  static const char* const words[] = {"is exactly", "contains", "lacks",      "starts with",
                                      "ends with",  "matches",  "is present", "is absent"};
  return std::string(words[kind_]) + (kind_ == kPresent || kind_ == kAbsent ? "" : " \"" + text_ + "\"");
}

Case& Case::args(std::vector<std::string> words) {
  args_ = std::move(words);
  return *this;
}
Case& Case::input(std::string text) {
  input_ = std::move(text);
  return *this;
}
Case& Case::file(std::string name, std::string text) {
  files_.emplace_back(std::move(name), std::move(text));
  return *this;
}
Case& Case::setup(std::function<void(const Folder&)> act) {
  setup_.push_back(std::move(act));
  return *this;
}
Case& Case::symlink(std::string name, std::string target) {
  return setup([name, target](const Folder& d) {
    std::error_code ec;
    fs::remove(d.file(name), ec);
    ASSERT_EQ(::symlink(target.c_str(), d.file(name).c_str()), 0) << name << " -> " << target;
  });
}
Case& Case::directory(std::string name) {
  return setup([name](const Folder& d) { d.subfolder(name); });
}
Case& Case::file_size_limit(rlim_t bytes) {
  mode_.file_size = bytes;
  return *this;
}
Case& Case::address_space_limit(rlim_t bytes) {
  mode_.address_space = bytes;
  return *this;
}
Case& Case::env(std::string name, std::string value) {
  mode_.env.emplace_back(std::move(name), std::move(value));
  return *this;
}
Case& Case::on_terminal() {
  mode_.terminal = true;
  return *this;
}
Case& Case::step(std::string prompt, std::string answer) {
  steps_.push_back(Step{std::move(prompt), nullptr, std::move(answer)});
  return *this;
}
Case& Case::step(std::string prompt, std::function<void(const Folder&)> act, std::string answer) {
  steps_.push_back(Step{std::move(prompt), std::move(act), std::move(answer)});
  return *this;
}
Case& Case::signal_at(std::string prompt, int sig) {
  steps_.push_back(Step{std::move(prompt), nullptr, "", sig});
  return *this;
}
Case& Case::status(int s) {
  check_status_ = true;
  status_ = s;
  return *this;
}
Case& Case::out(Text t) {
  out_.push_back(std::move(t));
  return *this;
}
Case& Case::err(Text t) {
  err_.push_back(std::move(t));
  return *this;
}
Case& Case::writes(std::string name, Text t) {
  writes_.emplace_back(std::move(name), std::move(t));
  return *this;
}
Case& Case::leaves(std::set<std::string> names) {
  check_entries_ = true;
  entries_ = std::move(names);
  return *this;
}

void Case::prepare(const Folder& dir) const {
  for (const auto& f : files_) dir.write(f.first, f.second);
  for (const auto& act : setup_) act(dir);
}

Result Case::drive(Child& child, const Folder& dir) const {
  child.send(input_);
  for (const Step& s : steps_) {
    if (!child.wait_for(s.prompt)) {
      ADD_FAILURE() << "no prompt \"" << s.prompt << "\" in:\n" << child.transcript();
      break;
    }
    if (s.act) s.act(dir);
    if (s.signal != 0)
      child.signal(s.signal);
    else
      child.send(s.answer);
  }
  return child.finish();
}

Result run(const Program& program, const Folder& dir, const Case& c) {
  c.prepare(dir);
  Child child(program, c.args_, dir.path(), c.mode_);
  return c.drive(child, dir);
}

Result run(const std::function<int()>& body, const Folder& dir, const Case& c) {
  c.prepare(dir);
  Child child(body, dir.path(), c.mode_);
  return c.drive(child, dir);
}

namespace {

// The last few lines of a console, for a failure message.
std::string tail(const std::string& text) {
  const std::size_t keep = 2000;
  return text.size() <= keep ? text : "..." + text.substr(text.size() - keep);
}

// A text the case expects; exact texts through EXPECT_EQ for its diff.
void expect_text(const char* what, const Text& t, const std::string& actual) {
  if (t.kind() == Text::kExactly)
    EXPECT_EQ(actual, t.text()) << what;
  else
    EXPECT_TRUE(t.holds(actual)) << what << " " << t.describe() << ", but is:\n" << actual;
}

}  // namespace

void expect(const Case& c, const Folder& dir, const Result& r) {
  if (c.check_status_) {
    EXPECT_EQ(r.status, c.status_) << "the exit status; the end of the console:\n"
                                   << tail(r.out) << "\nand of the error stream:\n"
                                   << tail(r.err);
  }
  for (const Text& t : c.out_) expect_text("the standard output", t, r.out);
  for (const Text& t : c.err_) expect_text("the error stream", t, r.err);
  for (const auto& w : c.writes_) {
    // A file that is not there reads as empty.
    const std::string what = "the file " + w.first;
    if (w.second.kind() == Text::kAbsent)
      EXPECT_FALSE(dir.exists(w.first)) << what << " is there";
    else if (w.second.kind() == Text::kPresent)
      EXPECT_TRUE(dir.exists(w.first)) << what << " is missing";
    else
      expect_text(what.c_str(), w.second, dir.read(w.first));
  }
  if (c.check_entries_) {
    EXPECT_EQ(dir.entries(), c.entries_) << "the names the folder holds";
  }
}

Result check(const Program& program, const Folder& dir, const Case& c) {
  SCOPED_TRACE(c.name().empty() ? "case" : c.name());
  Result r = run(program, dir, c);
  expect(c, dir, r);
  return r;
}

Result check(const std::function<int()>& body, const Folder& dir, const Case& c) {
  SCOPED_TRACE(c.name().empty() ? "case" : c.name());
  Result r = run(body, dir, c);
  expect(c, dir, r);
  return r;
}

}  // namespace cli
