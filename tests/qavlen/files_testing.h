// Helpers of the file-port and total-system tests: temporary directories,
// files with chosen modification times, and programs run in a child process
// with their own working directory, standard input, output and error.
#ifndef FILES_TESTING_H
#define FILES_TESTING_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "tzcheck.h"

namespace ftest {

// A fresh directory, readable by everyone, removed at the end.
class Temp_dir {
 public:
  Temp_dir() {
    char tmpl[] = "/tmp/qavlen_files_XXXXXX";
    path_ = mkdtemp(tmpl);
    chmod(path_.c_str(), 0755);
  }
  ~Temp_dir() { std::filesystem::remove_all(path_); }
  Temp_dir(const Temp_dir&) = delete;
  Temp_dir& operator=(const Temp_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline void append_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// `s` as a regular expression of death tests that matches exactly s.
inline std::string escaped(const std::string& s) {
  std::string out;
  for (char ch : s) {
    if (std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos) out += '\\';
    out += ch;
  }
  return out;
}

// Sets the modification time, so that tests do not depend on the clock's
// resolution.
inline void set_mtime(const std::string& path, long sec, long nsec = 0) {
  struct timespec times[2];
  times[0].tv_sec = sec;
  times[0].tv_nsec = nsec;
  times[1] = times[0];
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// What a child process did.
struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // its standard output
  std::string err;  // its standard error
};

// Runs `body` in a child process whose working directory is `dir`, whose
// standard input is a pipe fed by send(), and whose standard output the
// parent reads. Program stops through the check facility end the child with
// their status; the child's result is its exit status.
class Dialogue {
 public:
  Dialogue(const std::function<int()>& body, const std::string& dir) {
    char tmpl[] = "/tmp/qavlen_stderr_XXXXXX";
    int errfd = mkstemp(tmpl);
    err_path_ = tmpl;
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) ADD_FAILURE() << "pipe";
    std::fflush(nullptr);
    // A program that ends before it has read every answer closes the pipe:
    // the answers left are dropped instead of the test dying of SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    pid_ = fork();
    if (pid_ == 0) {
      std::signal(SIGPIPE, SIG_DFL);
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(errfd, 2);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      close(errfd);
      if (chdir(dir.c_str()) != 0) _exit(120);
      tz::set_stop_hook([](int status) {
        std::fflush(nullptr);
        if (status >= 0) _exit(status);
      });
      int status = body();
      std::fflush(nullptr);
      _exit(status);
    }
    close(in[0]);
    close(out[1]);
    close(errfd);
    to_child_ = in[1];
    from_child_ = out[0];
  }
  ~Dialogue() {
    if (pid_ > 0 && !finished_) finish();
    unlink(err_path_.c_str());
  }
  Dialogue(const Dialogue&) = delete;
  Dialogue& operator=(const Dialogue&) = delete;

  // Reads the child's output until `text` has appeared after the point
  // reached by the previous wait; false when the output ended first.
  bool wait_for(const std::string& text) {
    for (;;) {
      std::size_t at = transcript_.find(text, seen_);
      if (at != std::string::npos) {
        seen_ = at + text.size();
        return true;
      }
      if (!read_some()) return false;
    }
  }
  void send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(to_child_, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }
  // Ends the input, collects the rest and the status.
  Outcome finish() {
    finished_ = true;
    close(to_child_);
    while (read_some()) {
    }
    close(from_child_);
    int raw = 0;
    waitpid(pid_, &raw, 0);
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    o.out = transcript_;
    o.err = read_file(err_path_);
    return o;
  }

 private:
  bool read_some() {
    char buf[4096];
    ssize_t n = read(from_child_, buf, sizeof buf);
    if (n <= 0) return false;
    transcript_.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  bool finished_ = false;
  std::string err_path_;
  std::string transcript_;
  std::size_t seen_ = 0;
};

// Runs body in dir with the whole standard input given at once.
inline Outcome run(const std::function<int()>& body, const std::string& dir, const std::string& input = "") {
  Dialogue d(body, dir);
  d.send(input);
  return d.finish();
}

}  // namespace ftest

#endif
