#include "tzdfstream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <vector>

#include "dfopen.h"
#include "tzcheck.h"
#include "tzdefs.h"
#include "tztemp.h"

namespace {

const char kTemplateName[] = "/tzdfstream.XXXXXX";
const char* const kUnit = "tzdfstream.cpp";

// The name of a copy before its making: the template in the folder of
// temporary copies.
std::string copy_template() { return tz::TempFolder() + kTemplateName; }

enum CopyResult { COPY_DONE, COPY_OPEN_QUOTE, COPY_OPEN_COMMENT, COPY_READ_FAILED, COPY_WRITE_FAILED };

// How a copy ended; for a stretch left open, where it opened; for a
// failure, its error number.
struct CopyEnd {
  CopyResult result;
  std::uint64_t openedAt;  // the offset in the source of the quote or the '#'
  char quote;              // the quote of an open quoted stretch
  int err;
};

// The copy goes through blocks of this size both ways: a read or a write
// of one block each time, instead of one per few thousand characters.
const std::size_t kBlock = TzIoBlock(std::size_t(1) << 20);
// The buffer of the stream that reads the copy.
const std::size_t kReadBuffer = TzIoBlock(std::size_t(1) << 18);

// The output of the copy, gathered into one block and written when full.
class CopyOut {
 public:
  explicit CopyOut(std::streambuf& d) : dst(d), buf(kBlock), used(0), err(0) {}
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
  // Writes what is gathered; the error number of the first write that
  // failed, 0 when none did.
  int flush() {
    if (used > 0) {
      std::streamsize n = static_cast<std::streamsize>(used);
      errno = 0;
      if (dst.sputn(buf.data(), n) != n && err == 0) err = errno != 0 ? errno : EIO;
      used = 0;
    }
    return err;
  }

 private:
  std::streambuf& dst;
  std::vector<char> buf;
  std::size_t used;
  int err;
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
      errno = 0;
      n = src.sgetn(block.data(), static_cast<std::streamsize>(block.size()));
    } catch (const std::exception&) {  // the file buffer reports a failed read
      return {COPY_READ_FAILED, 0, 0, errno != 0 ? errno : EIO};
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
  const int err = out.flush();
  // A quote as the very last character of the file ends the copy.
  if (state == QUOTE && !quoteEmpty) return {COPY_OPEN_QUOTE, openedAt, cmt, 0};
  if (state == COMMENT) return {COPY_OPEN_COMMENT, openedAt, 0, 0};
  return {err == 0 ? COPY_DONE : COPY_WRITE_FAILED, 0, 0, err};
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

TzDfstream::TzDfstream() : dfname(copy_template()), openFlag(0) {}

TzDfstream::TzDfstream(const char* name) : dfname(copy_template()), openFlag(0) { open(name); }

TzDfstream::~TzDfstream() {
  if (openFlag == 1) std::remove(dfname.c_str());
  std::ifstream::close();  // while the read buffer still exists
}

// The open failed: no copy is left, the stream tests as failed.
void TzDfstream::Fail(int err) {
  if (live.Listed()) {
    std::remove(dfname.c_str());
    live.Untrack();
  }
  dfname = copy_template();
  sourceError = err;
  setstate(std::ios::failbit);
}

// The line for a copy that cannot be made (what: "created", "written",
// "opened"): the source, the folder of the copy and the cause.
void TzDfstream::CopyFault(const char* name, const char* what, int err) {
  std::cout.flush();
  std::cerr << tz::CopyFaultLine(name, what, err) << std::endl;
  Fail(0);
}

void TzDfstream::open(const char* name) {
  if (openFlag == 1) close();
  sourceError = 0;
  // Made before the copy exists: a stop for memory leaves no copy behind.
  if (!readBuffer) {
    readBuffer.reset(new char[kReadBuffer]);
    rdbuf()->pubsetbuf(readBuffer.get(), static_cast<std::streamsize>(kReadBuffer));
  }
  dfname = copy_template();  // every copy gets a fresh unique name
  errno = 0;
  std::ifstream src(name, std::ios::in);
  if (!src) {
    const int err = errno != 0 ? errno : EIO;
    // Too many open files is no fault of the source.
    if (err == EMFILE || err == ENFILE) return CopyFault(name, "created", err);
    return Fail(err);
  }
  struct stat st;
  if (stat(name, &st) == 0 && S_ISDIR(st.st_mode)) return Fail(EISDIR);
  int fd = mkstemp(dfname.data());
  if (fd < 0) return CopyFault(name, "created", errno);
  live.Track(dfname);
  ::close(fd);
  errno = 0;
  std::ofstream dst(dfname, std::ios::out | std::ios::trunc);
  if (!dst) return CopyFault(name, "created", errno != 0 ? errno : EIO);
  CopyEnd end = strip_comments(*src.rdbuf(), *dst.rdbuf());
  errno = 0;
  dst.close();
  if (end.result == COPY_DONE && dst.fail()) end = {COPY_WRITE_FAILED, 0, 0, errno != 0 ? errno : EIO};
  src.close();
  const CopyResult r = end.result;
  if (r == COPY_OPEN_QUOTE || r == COPY_OPEN_COMMENT) {
    tz::RemoveTemporaries();  // no copy is left behind by the stops below
    report_open_stretch(name, end);
  }
  TZ_CHECK_TEXT_AT(r != COPY_OPEN_QUOTE, kUnit, 54, "c == cmt");
  TZ_CHECK_TEXT_AT(r != COPY_OPEN_COMMENT, kUnit, 61, "c == '\\n'");
  if (r == COPY_READ_FAILED) return Fail(end.err);
  if (r == COPY_WRITE_FAILED) return CopyFault(name, "written", end.err);
  std::cout.flush();
  errno = 0;
  std::ifstream::open(dfname, std::ios::in);
  if (!is_open()) return CopyFault(name, "opened", errno != 0 ? errno : EIO);
  openFlag = 1;
}

void TzDfstream::close() {
  if (openFlag != 1) return;
  std::ifstream::close();
  std::remove(dfname.c_str());
  live.Untrack();
  openFlag = 0;
}
