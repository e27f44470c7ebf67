#include "dfopen.h"

#include <cstdio>

#include "tzcheck.h"

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

  // One pass, one character at a time. A read error counts as the end of
  // the file. atLineStart: nothing of the current line has been read yet.
  bool atLineStart = true;
  for (;;) {
    int c = std::getc(src);
    if (c == EOF) break;
    if (c == '\n') {
      std::putc(c, copy);
      atLineStart = true;
    } else if (c == '#') {
      // Drop the comment up to its newline (the end of the file ends it
      // too). The newline of a whole-line comment goes with it.
      do c = std::getc(src);
      while (c != '\n' && c != EOF);
      if (c == EOF) break;
      if (!atLineStart) std::putc('\n', copy);
      atLineStart = true;
    } else if (c == '"' || c == '\'') {
      const int quote = c;
      std::putc(c, copy);
      for (;;) {
        c = std::getc(src);
        if (c == quote || c == EOF) break;
        std::putc(c, copy);
      }
      if (c == EOF) {
        // The copy cannot be completed: it is never handed to a reader.
        std::fclose(src);
        std::fclose(copy);
      }
      TZ_CHECK(c != EOF, "dfopen.cpp", "c != EOF");
      std::putc(c, copy);
      atLineStart = false;
    } else {
      std::putc(c, copy);
      atLineStart = false;
    }
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
