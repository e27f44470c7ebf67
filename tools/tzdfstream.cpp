#include "tzdfstream.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <vector>

#include "dfopen.h"
#include "tzcheck.h"
#include "tzdefs.h"

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

// How a copy ended; for a stretch left open, where it opened.
struct CopyEnd {
  CopyResult result;
  std::uint64_t openedAt;  // the offset in the source of the quote or the '#'
  char quote;              // the quote of an open quoted stretch
};

// The copy goes through blocks of this size both ways: a read or a write
// of one block each time, instead of one per few thousand characters.
const std::size_t kBlock = TzIoBlock(std::size_t(1) << 20);
// The buffer of the stream that reads the copy.
const std::size_t kReadBuffer = TzIoBlock(std::size_t(1) << 18);

// The output of the copy, gathered into one block and written when full.
class CopyOut {
 public:
  explicit CopyOut(std::streambuf& d) : dst(d), buf(kBlock), used(0), written(true) {}
  void put(const char* p, std::size_t k) {
    while (k > 0) {
      if (used == buf.size()) flush();
      std::size_t m = std::min(k, buf.size() - used);
      std::memcpy(buf.data() + used, p, m);
      used += m;
      p += m;
      k -= m;
    }
  }
  void put1(char c) {
    if (used == buf.size()) flush();
    buf[used++] = c;
  }
  // Writes what is gathered; false when some write failed.
  bool flush() {
    if (used > 0) {
      std::streamsize n = static_cast<std::streamsize>(used);
      written = dst.sputn(buf.data(), n) == n && written;
      used = 0;
    }
    return written;
  }

 private:
  std::streambuf& dst;
  std::vector<char> buf;
  std::size_t used;
  bool written;
};

// The first of the characters that begin a stretch ('\'', '"', '#') in
// [p, end), or end. The quotes are rare: the place of the next one of each
// is remembered and searched again only when the scan has passed it.
class Specials {
 public:
  // A new block: nothing is known of it yet.
  void reset() { apos = quot = nullptr; }
  const char* next(const char* p, const char* end) {
    if (apos == nullptr || apos < p) apos = find(p, end, '\'');
    if (quot == nullptr || quot < p) quot = find(p, end, '"');
    const char* hash = find(p, std::min(std::min(apos, quot), end), '#');
    return std::min(std::min(apos, quot), hash);
  }

 private:
  static const char* find(const char* p, const char* end, char c) {
    const void* q = p < end ? std::memchr(p, c, static_cast<std::size_t>(end - p)) : nullptr;
    return q ? static_cast<const char*>(q) : end;
  }
  const char* apos = nullptr;
  const char* quot = nullptr;
};

// Copies src to dst without comments; the result tells how the source ended.
CopyEnd strip_comments(std::streambuf& src, std::streambuf& dst) {
  enum { NORMAL, QUOTE, COMMENT } state = NORMAL;
  char prev = '\n';          // the previous character, a newline at the start
  char cmt = 0;              // the quote of the open stretch
  bool quoteEmpty = false;   // nothing read yet after the opening quote
  bool lineComment = false;  // the comment is the first thing on its line
  std::uint64_t base = 0;    // the offset in the source of the block
  std::uint64_t openedAt = 0;
  CopyOut out(dst);
  std::vector<char> block(kBlock);
  Specials specials;
  for (;;) {
    std::streamsize n;
    try {
      n = src.sgetn(block.data(), static_cast<std::streamsize>(block.size()));
    } catch (const std::exception&) {  // the file buffer reports a failed read (a directory)
      return {COPY_FAILED, 0, 0};
    }
    if (n <= 0) break;
    const char* const buf = block.data();
    const char* const end = buf + n;
    const char* p = buf;
    specials.reset();
    while (p < end) {
      if (state == NORMAL) {
        const char* q = specials.next(p, end);
        if (q > p) {
          out.put(p, static_cast<std::size_t>(q - p));
          prev = q[-1];
        }
        if (q == end) break;
        char c = *q;
        p = q + 1;
        openedAt = base + static_cast<std::uint64_t>(q - buf);
        if (c == '#') {
          state = COMMENT;
          lineComment = prev == '\n';
        } else {
          out.put1(c);
          prev = c;
          cmt = c;
          quoteEmpty = true;
          state = QUOTE;
        }
      } else if (state == QUOTE) {
        const void* q = std::memchr(p, cmt, static_cast<std::size_t>(end - p));
        const char* j = q ? static_cast<const char*>(q) + 1 : end;
        out.put(p, static_cast<std::size_t>(j - p));
        prev = j[-1];
        quoteEmpty = false;
        if (q) state = NORMAL;
        p = j;
      } else {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!nl) break;
        if (!lineComment) out.put1('\n');
        prev = '\n';
        state = NORMAL;
        p = static_cast<const char*>(nl) + 1;
      }
    }
    base += static_cast<std::uint64_t>(n);
  }
  bool written = out.flush();
  // A quote as the very last character of the file ends the copy.
  if (state == QUOTE && !quoteEmpty) return {COPY_OPEN_QUOTE, openedAt, cmt};
  if (state == COMMENT) return {COPY_OPEN_COMMENT, openedAt, 0};
  return {written ? COPY_DONE : COPY_FAILED, 0, 0};
}

// The line (counted from 1) of the source that holds the byte at offset.
// The source is read again for it only when a stop is reported, so that
// the copy itself counts no lines.
std::uint64_t line_at(const char* name, std::uint64_t offset) {
  std::uint64_t line = 1;
  std::FILE* f = std::fopen(name, "rb");
  if (!f) return line;
  std::vector<char> block(kBlock);
  while (offset > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(offset, block.size()));
    std::size_t got = std::fread(block.data(), 1, want, f);
    if (got == 0) break;
    line += static_cast<std::uint64_t>(std::count(block.data(), block.data() + got, '\n'));
    offset -= got;
  }
  std::fclose(f);
  return line;
}

// The line before the stop: which file, which line, what is open there,
// in the words of the data file opener.
void report_open_stretch(const char* name, const CopyEnd& end) {
  std::cout.flush();
  const auto line = static_cast<std::int64_t>(line_at(name, end.openedAt));
  if (end.result == COPY_OPEN_QUOTE)
    dataFileReportOpenQuote(name, line, end.quote);
  else
    dataFileReportOpenComment(name, line);
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
  std::ifstream::close();  // while the read buffer still exists
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
  const CopyEnd end = strip_comments(*src.rdbuf(), *dst.rdbuf());
  const CopyResult r = end.result;
  dst.close();
  src.close();
  if (r == COPY_OPEN_QUOTE || r == COPY_OPEN_COMMENT) {
    std::remove(dfname);  // no copy is left behind by the stops below
    remove_live_copies();
    report_open_stretch(name, end);
  }
  TZ_CHECK_AT(r != COPY_OPEN_QUOTE, kUnit, 54, "c == cmt");
  TZ_CHECK_AT(r != COPY_OPEN_COMMENT, kUnit, 61, "c == '\\n'");
  if (r != COPY_DONE || !dst) {  // (the copy may be incomplete)
    std::remove(dfname);
    setstate(std::ios::failbit);
    return;
  }
  std::cout.flush();
  if (!readBuffer) {
    readBuffer.reset(new char[kReadBuffer]);
    rdbuf()->pubsetbuf(readBuffer.get(), static_cast<std::streamsize>(kReadBuffer));
  }
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
