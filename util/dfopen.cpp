#include "dfopen.h"

#include <cinttypes>
#include <cstdio>

#include "tzcheck.h"

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

}  // namespace

void dataFileReportOpenQuote(const char* path, std::int64_t line, int quote) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "File: %s, line %" PRId64 ": the %s (%c) there opens a quoted stretch that runs "
               "to the end of the file: quotes come in pairs, even in comment blocks\n",
               path, line, quote == '"' ? "double quote" : "apostrophe", quote);
  std::fflush(stderr);
}

void dataFileReportOpenComment(const char* path, std::int64_t line) {
  std::fflush(stdout);
  std::fprintf(stderr, "File: %s, line %" PRId64 ": the comment there ends the file without a line end\n",
               path, line);
  std::fflush(stderr);
}

std::FILE* dataFileOpen(const char* path) {
  std::FILE* src = std::fopen(path, "r");
  if (src == nullptr) {
    std::fprintf(stderr, "Cannot open [%s].\n", path);
    tz::stop(1);
  }
  std::FILE* copy = std::tmpfile();
  if (copy == nullptr) {
    std::fclose(src);
    std::fprintf(stderr, "Cannot open [tmpfile].\n");
    tz::stop(1);
  }

  const Pass pass = StripComments(src, [copy](int c, std::int64_t) {
    std::putc(c, copy);
    return true;
  });
  if (pass.end == Pass::kUnclosedQuote) {
    std::fclose(src);
    std::fclose(copy);
    RefuseUnclosedQuote(path, pass);
  }

  // A copy that could not be written whole (no space for temporary files)
  // would give the reader a cut file: that is the temporary file's failure.
  if (std::fflush(copy) != 0 || std::ferror(copy)) {
    std::fclose(src);
    std::fclose(copy);
    std::fprintf(stderr, "Cannot open [tmpfile].\n");
    tz::stop(1);
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
