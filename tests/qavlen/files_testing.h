// Helpers of the file-port and total-system tests: temporary directories,
// files with chosen modification times, and functions of the test program
// run in a child process with their own working directory, standard input,
// output and error, stopping as the program would.
#ifndef FILES_TESTING_H
#define FILES_TESTING_H

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "cli/cli.h"
#include "tzcheck.h"

namespace ftest {

// Files and children are the command-line harness's.
using cli::append_file;
using cli::exists;
using cli::read_file;
using cli::set_mtime;
using cli::write_file;

// `s` as a regular expression of death tests that matches exactly s.
inline std::string escaped(const std::string& s) {
  std::string out;
  for (char ch : s) {
    if (std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos) out += '\\';
    out += ch;
  }
  return out;
}

// `body` as the child's work: program stops through the check facility end
// the child with their status (a failed check aborts it), the standard
// streams flushed, without the test program's exit handlers.
inline std::function<int()> stopping(const std::function<int()>& body) {
  return [body] {
    tz::set_stop_hook([](int status) {
      std::fflush(nullptr);
      if (status >= 0) _exit(status);
    });
    return body();
  };
}

// Runs `body` in a child process whose working directory is `dir` (see
// cli::Child), stopping as the program would; the child's result is its
// exit status.
class Dialogue : public cli::Child {
 public:
  Dialogue(const std::function<int()>& body, const std::string& dir) : cli::Child(stopping(body), dir) {}
};

// Runs body in dir with the whole standard input given at once.
inline cli::Result run(const std::function<int()>& body, const std::string& dir, const std::string& input = "") {
  Dialogue d(body, dir);
  d.send(input);
  return d.finish();
}

// A row of the command-line harness run by `body`, stopping as the program
// would (cli::check).
inline cli::Result check(const std::function<int()>& body, const cli::Folder& dir, const cli::Case& c) {
  return cli::check(stopping(body), dir, c);
}

// The error stream of a failed check: what came before, then the report
// of `condition` in `unit` at any line, which ends it.
inline cli::Text failed_check(const std::string& unit, const std::string& condition) {
  return cli::matches("(.*\n)?" + escaped(unit) + ":[0-9]+: Assertion `" + escaped(condition) + "' failed\\.\n");
}

}  // namespace ftest

#endif
