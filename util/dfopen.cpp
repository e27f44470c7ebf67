#include "dfopen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "tzcheck.h"
#include "tztemp.h"

namespace {

// How a pass over a source file ended.
struct Pass {
  enum End { kComplete, kStopped, kUnclosedQuote };
  End end;
  int quote;          // kUnclosedQuote: the quote that opened the stretch...
  std::int64_t line;  // ... and the line it stands on
};

// The comment rule, one pass, one character at a time: every character of
// the copy goes to put(c, line), `line` being the source line it comes
// from (from 1); put returns false to end the pass there. A read error
// counts as the end of the file.
template <class Put>
Pass StripComments(std::FILE* src, Put&& put) {
  const Pass stopped{Pass::kStopped, 0, 0};
  const Pass complete{Pass::kComplete, 0, 0};
  std::int64_t line = 1;
  // Nothing of the current line has been read yet.
  bool atLineStart = true;
  for (;;) {
    int c = std::getc(src);
    if (c == EOF) return complete;
    if (c == '\n') {
      if (!put(c, line)) return stopped;
      ++line;
      atLineStart = true;
    } else if (c == '#') {
      // Drop the comment up to its newline (the end of the file ends it
      // too). The newline of a whole-line comment goes with it.
      do c = std::getc(src);
      while (c != '\n' && c != EOF);
      if (c == EOF) return complete;
      if (!atLineStart && !put('\n', line)) return stopped;
      ++line;
      atLineStart = true;
    } else if (c == '"' || c == '\'') {
      const int quote = c;
      const std::int64_t opened = line;
      if (!put(c, line)) return stopped;
      do {
        c = std::getc(src);
        if (c == EOF) return Pass{Pass::kUnclosedQuote, quote, opened};
        if (!put(c, line)) return stopped;
        if (c == '\n') ++line;
      } while (c != quote);
      atLineStart = false;
    } else {
      if (!put(c, line)) return stopped;
      atLineStart = false;
    }
  }
}

// The copy cannot be completed and is never handed to a reader: the file,
// the line of the opening quote and the quote, then the check's report.
[[noreturn]] void RefuseUnclosedQuote(const char* path, const Pass& pass) {
  dataFileReportOpenQuote(path, pass.line, pass.quote);
  tz::check_failed_exit("dfopen.cpp", __LINE__, "c != EOF", 1);
}

// An anonymous temporary file in `folder`, open for reading and writing:
// without a name at any moment where the platform can (O_TMPFILE), else
// its name removed as soon as it is made. Null, with errno set, when it
// cannot be made.
std::FILE* AnonymousFile(const std::string& folder) {
  int fd = -1;
#ifdef O_TMPFILE
  fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  // A file system without unnamed files says so with one of these.
  if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return nullptr;
#endif
  if (fd < 0) {
    std::string name = folder + "/tzdfopen.XXXXXX";
    fd = mkstemp(&name[0]);
    if (fd < 0) return nullptr;
    unlink(name.c_str());
  }
  std::FILE* f = fdopen(fd, "w+");
  if (f == nullptr) {
    const int cause = errno;
    close(fd);
    errno = cause;
  }
  return f;
}

// The copy of `path` cannot be made in the folder of such copies (`what`:
// "created" or "written"; `cause`: the errno of the failure): a line naming
// the file, the folder and the cause, then the opener's own message and
// status 1.
[[noreturn]] void RefuseCopy(const char* path, const char* what, int cause) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", tz::CopyFaultLine(path, what, cause).c_str());
  std::fprintf(stderr, "Cannot open [tmpfile].\n");
  tz::stop(1);
}

}  // namespace

void dataFileReportOpenQuote(const char* path, std::int64_t line, int quote) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "File: %s, line %" PRId64
               ": the %s (%c) there opens a quoted stretch that runs "
               "to the end of the file: quotes come in pairs, even in comment blocks\n",
               path, line, quote == '"' ? "double quote" : "apostrophe", quote);
  std::fflush(stderr);
}

void dataFileReportOpenComment(const char* path, std::int64_t line) {
  std::fflush(stdout);
  std::fprintf(stderr, "File: %s, line %" PRId64 ": the comment there ends the file without a line end\n", path, line);
  std::fflush(stderr);
}

std::FILE* dataFileOpen(const char* path) {
  std::FILE* src = std::fopen(path, "r");
  if (src == nullptr) {
    std::fprintf(stderr, "Cannot open [%s].\n", path);
    tz::stop(1);
  }
  const std::string folder = tz::TempFolder();
  std::FILE* copy = AnonymousFile(folder);
  if (copy == nullptr) {
    const int cause = errno;
    std::fclose(src);
    RefuseCopy(path, "created", cause);
  }

  // The copy stops at its first failed write (no space for temporary
  // files): a cut copy is never handed to a reader.
  int cause = 0;
  const Pass pass = StripComments(src, [copy, &cause](int c, std::int64_t) {
    if (std::putc(c, copy) != EOF) return true;
    cause = errno;
    return false;
  });
  if (pass.end == Pass::kUnclosedQuote) {
    std::fclose(src);
    std::fclose(copy);
    RefuseUnclosedQuote(path, pass);
  }
  bool failed = pass.end == Pass::kStopped;
  if (!failed && (std::fflush(copy) != 0 || std::ferror(copy))) {
    failed = true;
    cause = errno;
  }
  if (failed) {
    std::fclose(src);
    std::fclose(copy);
    RefuseCopy(path, "written", cause != 0 ? cause : EIO);
  }
  std::fseek(copy, 0L, SEEK_SET);
  std::fclose(src);
  return copy;
}

std::int64_t dataFileLine(const char* path, std::int64_t offset) {
  std::FILE* src = std::fopen(path, "r");
  if (src == nullptr) return 0;
  std::int64_t at = 0;
  std::int64_t last = 1;  // the line of the last character of the copy
  StripComments(src, [&](int, std::int64_t line) {
    last = line;
    return at++ < offset;
  });
  std::fclose(src);
  return last;
}
