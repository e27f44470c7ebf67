#include "tzdfstream.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <vector>

#include "tzcheck.h"

namespace {

const char kTemplate[] = "/tmp/tzdfstream.XXXXXX";
const char* const kUnit = "tzdfstream.cpp";

// The copies of the open streams, removed all together when a broken
// invariant ends the program (an abnormal end runs no destructors).
std::vector<const char*>& live_copies() {
  static std::vector<const char*> names;
  return names;
}

void forget(const char* name) {
  std::vector<const char*>& v = live_copies();
  v.erase(std::remove(v.begin(), v.end(), name), v.end());
}

void remove_live_copies() {
  for (const char* name : live_copies()) std::remove(name);
  live_copies().clear();
}

enum CopyResult { COPY_DONE, COPY_OPEN_QUOTE, COPY_OPEN_COMMENT, COPY_FAILED };

// Copies src to dst without comments; the result tells how the source ended.
CopyResult strip_comments(std::streambuf& src, std::streambuf& dst) {
  enum { NORMAL, QUOTE, COMMENT } state = NORMAL;
  char prev = '\n';          // the previous character, a newline at the start
  char cmt = 0;              // the quote of the open stretch
  bool quoteEmpty = false;   // nothing read yet after the opening quote
  bool lineComment = false;  // the comment is the first thing on its line
  static const char specials[] = {'\'', '"', '#'};
  bool written = true;
  auto put = [&](const char* p, std::streamsize k) { written = dst.sputn(p, k) == k && written; };
  auto put1 = [&](char c) { put(&c, 1); };
  char buf[1 << 16];
  for (;;) {
    std::streamsize n;
    try {
      n = src.sgetn(buf, sizeof buf);
    } catch (const std::exception&) {  // the file buffer reports a failed read (a directory)
      return COPY_FAILED;
    }
    if (n <= 0) break;
    std::streamsize i = 0;
    while (i < n) {
      if (state == NORMAL) {
        std::streamsize j = i;
        while (j < n && buf[j] != specials[0] && buf[j] != specials[1] && buf[j] != specials[2]) ++j;
        if (j > i) {
          put(buf + i, j - i);
          prev = buf[j - 1];
        }
        if (j == n) break;
        char c = buf[j];
        i = j + 1;
        if (c == '#') {
          state = COMMENT;
          lineComment = prev == '\n';
        } else {
          put1(c);
          prev = c;
          cmt = c;
          quoteEmpty = true;
          state = QUOTE;
        }
      } else if (state == QUOTE) {
        const void* q = std::memchr(buf + i, cmt, static_cast<std::size_t>(n - i));
        std::streamsize j = q ? static_cast<const char*>(q) - buf + 1 : n;
        put(buf + i, j - i);
        prev = buf[j - 1];
        quoteEmpty = false;
        if (q) state = NORMAL;
        i = j;
      } else {
        const void* nl = std::memchr(buf + i, '\n', static_cast<std::size_t>(n - i));
        if (!nl) break;
        if (!lineComment) put1('\n');
        prev = '\n';
        state = NORMAL;
        i = static_cast<const char*>(nl) - buf + 1;
      }
    }
  }
  // A quote as the very last character of the file ends the copy.
  if (state == QUOTE && !quoteEmpty) return COPY_OPEN_QUOTE;
  if (state == COMMENT) return COPY_OPEN_COMMENT;
  return written ? COPY_DONE : COPY_FAILED;
}

}  // namespace

TzDfstream::TzDfstream() : openFlag(0) { std::strcpy(dfname, kTemplate); }

TzDfstream::TzDfstream(const char* name) : openFlag(0) {
  std::strcpy(dfname, kTemplate);
  open(name);
}

TzDfstream::~TzDfstream() {
  if (openFlag == 1) {
    std::remove(dfname);
    forget(dfname);
  }
}

void TzDfstream::open(const char* name) {
  if (openFlag == 1) close();
  std::strcpy(dfname, kTemplate);  // every copy gets a fresh unique name
  std::ifstream src(name, std::ios::in);
  if (!src) {
    setstate(std::ios::failbit);
    return;
  }
  int fd = mkstemp(dfname);
  if (fd < 0) {
    std::strcpy(dfname, kTemplate);
    setstate(std::ios::failbit);
    return;
  }
  ::close(fd);
  std::ofstream dst(dfname, std::ios::out | std::ios::trunc);
  if (!dst) {
    std::remove(dfname);
    setstate(std::ios::failbit);
    return;
  }
  CopyResult r = strip_comments(*src.rdbuf(), *dst.rdbuf());
  dst.close();
  src.close();
  if (r == COPY_OPEN_QUOTE || r == COPY_OPEN_COMMENT) {
    std::remove(dfname);  // no copy is left behind by the stops below
    remove_live_copies();
  }
  TZ_CHECK_AT(r != COPY_OPEN_QUOTE, kUnit, 54, "c == cmt");
  TZ_CHECK_AT(r != COPY_OPEN_COMMENT, kUnit, 61, "c == '\\n'");
  if (r != COPY_DONE || !dst) {  // (the copy may be incomplete)
    std::remove(dfname);
    setstate(std::ios::failbit);
    return;
  }
  std::cout.flush();
  std::ifstream::open(dfname, std::ios::in);
  if (!is_open()) {
    std::remove(dfname);
    setstate(std::ios::failbit);
    return;
  }
  openFlag = 1;
  live_copies().push_back(dfname);
}

void TzDfstream::close() {
  if (openFlag != 1) return;
  std::ifstream::close();
  std::remove(dfname);
  forget(dfname);
  openFlag = 0;
}
