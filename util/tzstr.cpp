#include "tzstr.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "tzcheck.h"

namespace {

const char* const kUnit = "tzstr.cpp";

// The library's error line, then an abnormal end.
[[noreturn]] void fatal(int line) {
  std::fflush(stdout);
  std::cerr << "Error occured in file: tzstr, at line: " << line << std::endl;
  tz::stop_abnormal();
}

char* alloc_text(std::uint32_t n, const char* what) {
  char* p = new (std::nothrow) char[n];
  TZ_CHECK_TEXT(p != nullptr, kUnit, what);
  return p;
}

inline int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

}  // namespace

std::uint32_t TzString::AllocIncr = 8;

std::uint32_t TzString::CalcSiz(std::uint32_t n) {
  std::uint64_t s = (static_cast<std::uint64_t>(n) + AllocIncr) / AllocIncr * AllocIncr;
  TZ_CHECK(s <= UINT32_MAX, kUnit);
  return static_cast<std::uint32_t>(s);
}

void TzString::Clear() {
  delete[] Txt;
  Txt = nullptr;
  Len = 0;
  Siz = 0;
}

void TzString::Assign(const char* p, std::uint32_t n) {
  Clear();
  if (n == 0) return;
  Siz = CalcSiz(n);
  Txt = alloc_text(Siz, "Txt != NULL");
  std::memcpy(Txt, p, n);
  Txt[n] = '\0';
  Len = n;
}

void TzString::Append(const char* p, std::uint32_t n) {
  if (n == 0) return;
  TZ_CHECK(n <= UINT32_MAX - 1 - Len, kUnit);
  std::uint32_t newLen = Len + n;
  if (Txt == nullptr || Siz < newLen + 1) {
    std::uint32_t siz = CalcSiz(newLen);
    char* t = alloc_text(siz, "Txt != NULL");
    if (Len != 0) std::memcpy(t, Txt, Len);
    delete[] Txt;
    Txt = t;
    Siz = siz;
  }
  std::memcpy(Txt + Len, p, n);
  Txt[newLen] = '\0';
  Len = newLen;
}

TzString::TzString() : Siz(0), Len(0), Txt(nullptr) {}

TzString::TzString(const TzString& s) : Siz(s.Siz), Len(s.Len), Txt(nullptr) {
  if (s.Txt != nullptr) {
    Txt = alloc_text(Siz, "Txt != NULL");
    std::memcpy(Txt, s.Txt, static_cast<std::size_t>(Len) + 1);
  } else {
    Siz = 0;
    Len = 0;
  }
}

TzString::TzString(const char* p) : Siz(0), Len(0), Txt(nullptr) {
  if (p != nullptr) Assign(p, static_cast<std::uint32_t>(std::strlen(p)));
}

TzString::TzString(unsigned n, char c) : Siz(0), Len(0), Txt(nullptr) {
  if (n == 0) return;
  Siz = CalcSiz(n);
  Txt = alloc_text(Siz, "Txt != NULL");
  std::memset(Txt, c, n);
  Txt[n] = '\0';
  Len = n;
}

TzString::TzString(std::stringstream& ss) : Siz(0), Len(0), Txt(nullptr) {
  std::string t = ss.str();
  Assign(t.data(), static_cast<std::uint32_t>(t.size()));
}

TzString::~TzString() { delete[] Txt; }

TzString& TzString::operator=(const TzString& s) {
  if (this == &s) return *this;
  char* t = nullptr;
  if (s.Siz != 0) {
    t = alloc_text(s.Siz, "Txt != NULL");
    std::memcpy(t, s.Txt, static_cast<std::size_t>(s.Len) + 1);
  }
  delete[] Txt;
  Txt = t;
  Len = t ? s.Len : 0;
  Siz = t ? s.Siz : 0;
  return *this;
}

TzString& TzString::operator=(std::stringstream& ss) {
  std::string t = ss.str();
  Assign(t.data(), static_cast<std::uint32_t>(t.size()));
  return *this;
}

TzString operator+(const TzString& a, const TzString& b) {
  TzString result;
  std::uint64_t n = static_cast<std::uint64_t>(a.Len) + b.Len;
  if (n == 0) return result;
  TZ_CHECK(n < UINT32_MAX, kUnit);
  result.Siz = TzString::CalcSiz(static_cast<std::uint32_t>(n));
  result.Txt = alloc_text(result.Siz, "result.Txt != NULL");
  if (a.Len != 0) std::memcpy(result.Txt, a.Txt, a.Len);
  if (b.Len != 0) std::memcpy(result.Txt + a.Len, b.Txt, b.Len);
  result.Len = static_cast<std::uint32_t>(n);
  result.Txt[result.Len] = '\0';
  return result;
}

TzString operator+(const TzString& a, char c) {
  TzString result;
  if (a.Txt == nullptr) {
    result.Siz = TzString::AllocIncr;
    result.Txt = alloc_text(result.Siz, "result.Txt != NULL");
    result.Txt[0] = c;
    result.Txt[1] = '\0';
    result.Len = 1;
    return result;
  }
  TZ_CHECK_TEXT(a.Len != UINT32_MAX, kUnit, "str.Len != UINT_MAX");
  std::uint32_t len = a.Len + 1;
  std::uint32_t siz = a.Siz;
  if (len == a.Siz) {
    TZ_CHECK_TEXT(a.Siz <= UINT32_MAX - TzString::AllocIncr, kUnit, "str.Len != UINT_MAX");
    siz = a.Siz + TzString::AllocIncr;
  }
  result.Siz = siz;
  result.Txt = alloc_text(siz, "result.Txt != NULL");
  std::memcpy(result.Txt, a.Txt, a.Len);
  result.Txt[a.Len] = c;
  result.Txt[len] = '\0';
  result.Len = len;
  return result;
}

TzStrCompVal TzString::Compare(const TzString& s, TzStrCompMode mode) const {
  if (Txt == nullptr) return s.Txt == nullptr ? SC_EQUAL : SC_LESS;
  if (s.Txt == nullptr) return SC_GREATER;
  std::uint32_t n = Len < s.Len ? Len : s.Len;
  for (std::uint32_t i = 0; i < n; ++i) {
    int x = Txt[i], y = s.Txt[i];
    if (mode == SM_IGNORE) {
      x = lower(Txt[i]);
      y = lower(s.Txt[i]);
    }
    // Bytes compare as signed 8-bit values.
    signed char sx = static_cast<signed char>(x), sy = static_cast<signed char>(y);
    if (sx != sy) return sx < sy ? SC_LESS : SC_GREATER;
  }
  if (Len == s.Len) return SC_EQUAL;
  return Len < s.Len ? SC_LESS : SC_GREATER;
}

TzBoolean TzString::Find(const TzString& pat, unsigned& pos, TzStrCompMode mode) const {
  if (Len < pat.Len) return 0;
  // The texts count up to their first NUL, as C strings.
  std::uint32_t tl = Txt ? static_cast<std::uint32_t>(strnlen(Txt, Len)) : 0;
  std::uint32_t pl = pat.Txt ? static_cast<std::uint32_t>(strnlen(pat.Txt, pat.Len)) : 0;
  std::uint32_t last = Len - pat.Len;
  bool ignore = mode == SM_IGNORE;
  for (std::uint32_t p = 0;; ++p) {
    pos = p;
    std::uint32_t k = 0;
    while (k < pl && p + k < tl &&
           (ignore ? lower(Txt[p + k]) == lower(pat.Txt[k]) : Txt[p + k] == pat.Txt[k]))
      ++k;
    if (k == pl) return 1;
    if (!(p + k < tl && p < last)) return 0;
  }
}

TzBoolean TzString::Find(const TzBoyerMoore& bm, unsigned& pos) const {
  std::uint32_t m = bm.GetPatternLen();
  if (m == 0) {
    pos = 0;
    return 1;
  }
  // t is the 1-based text position under comparison, w the end of the
  // window being tried; every shift moves the window forward.
  std::uint64_t w = m;
  while (w <= Len) {
    std::uint64_t t = w;
    std::uint32_t j = m;
    while (bm[j - 1] == Txt[t - 1]) {
      if (j == 1) {
        pos = static_cast<unsigned>(t - 1);
        return 1;
      }
      --j;
      --t;
    }
    std::uint64_t next = t + bm.GetDelta(Txt[t - 1]);
    w = next > w ? next : w + 1;
  }
  return 0;
}

void TzString::Delete(unsigned pos, unsigned count) {
  if (Txt == nullptr) return;
  TZ_CHECK(count <= Len && pos <= Len - count, kUnit);
  std::uint32_t newLen = Len - count;
  if (Siz - newLen > AllocIncr) {
    std::uint32_t siz = CalcSiz(newLen);
    char* t = alloc_text(siz, "Txt != NULL");
    std::memcpy(t, Txt, pos);
    std::memcpy(t + pos, Txt + pos + count, static_cast<std::size_t>(Len - pos - count) + 1);
    delete[] Txt;
    Txt = t;
    Siz = siz;
  } else {
    std::memmove(Txt + pos, Txt + pos + count, static_cast<std::size_t>(Len - pos - count) + 1);
  }
  Len = newLen;
}

void TzString::Insert(unsigned pos, char c) {
  TZ_CHECK(!(pos > Len), kUnit);
  if (Txt == nullptr) {
    Siz = AllocIncr;
    Txt = alloc_text(Siz, "Txt != NULL");
    Txt[0] = c;
    Txt[1] = '\0';
    Len = 1;
    return;
  }
  TZ_CHECK(Len != UINT32_MAX - 1, kUnit);
  std::uint32_t newLen = Len + 1;
  if (Siz == newLen) {
    TZ_CHECK(Siz <= UINT32_MAX - AllocIncr, kUnit);
    std::uint32_t siz = Siz + AllocIncr;
    char* t = alloc_text(siz, "Txt != NULL");
    std::memcpy(t, Txt, pos);
    t[pos] = c;
    std::memcpy(t + pos + 1, Txt + pos, static_cast<std::size_t>(Len - pos) + 1);
    delete[] Txt;
    Txt = t;
    Siz = siz;
  } else {
    std::memmove(Txt + pos + 1, Txt + pos, static_cast<std::size_t>(Len - pos) + 1);
    Txt[pos] = c;
  }
  Len = newLen;
}

void TzString::Insert(unsigned pos, const TzString& s) {
  if (s.Len == 0) return;
  TZ_CHECK(!(pos > Len), kUnit);
  if (Txt == nullptr) {
    *this = s;
    return;
  }
  TZ_CHECK(s.Len < UINT32_MAX - Len, kUnit);
  // A copy first: s may be this string itself.
  TzString ins(s);
  std::uint32_t newLen = Len + ins.Len;
  if (Siz < newLen + 1) {
    std::uint32_t siz = CalcSiz(newLen);
    char* t = alloc_text(siz, "Txt != NULL");
    std::memcpy(t, Txt, pos);
    std::memcpy(t + pos, ins.Txt, ins.Len);
    std::memcpy(t + pos + ins.Len, Txt + pos, static_cast<std::size_t>(Len - pos) + 1);
    delete[] Txt;
    Txt = t;
    Siz = siz;
  } else {
    std::memmove(Txt + pos + ins.Len, Txt + pos, static_cast<std::size_t>(Len - pos) + 1);
    std::memcpy(Txt + pos, ins.Txt, ins.Len);
  }
  Len = newLen;
}

TzString TzString::Cut(unsigned start, unsigned count) const {
  TZ_CHECK_TEXT(count <= Len && start <= Len - count, kUnit, "!((start + count) > Len)");
  TzString result;
  if (start < Len && count != 0) result.Assign(Txt + start, count);
  return result;
}

TzString TzString::CutHead(unsigned count) const {
  TZ_CHECK(!(count > Len), kUnit);
  TzString result;
  if (count != 0) result.Assign(Txt, count);
  return result;
}

TzString TzString::CutTail(unsigned count) const {
  TZ_CHECK(!(count > Len), kUnit);
  TzString result;
  if (count != 0) result.Assign(Txt + (Len - count), count);
  return result;
}

char* TzString::Strupr(char* p) const {
  for (char* q = p; *q != '\0'; ++q) *q = static_cast<char>(std::toupper(static_cast<unsigned char>(*q)));
  return p;
}

char* TzString::Strlwr(char* p) const {
  for (char* q = p; *q != '\0'; ++q) *q = static_cast<char>(std::tolower(static_cast<unsigned char>(*q)));
  return p;
}

void TzString::ToUpper() {
  if (Txt != nullptr) Strupr(Txt);
}

void TzString::ToLower() {
  if (Txt != nullptr) Strlwr(Txt);
}

TzString TzString::AsUpper() const {
  TzString r(*this);
  r.ToUpper();
  return r;
}

TzString TzString::AsLower() const {
  TzString r(*this);
  r.ToLower();
  return r;
}

std::istream& getline(std::istream& is, TzString& line, char delim) {
  // Chunks of at most 255 characters are read with the stream's own line
  // read, which scans its buffer at once; the line is gathered first and
  // then stored as one text of CalcSiz of its length (the size that
  // appending the chunks to an empty string gives), reusing a block of
  // that size already held.
  char buf[256];
  std::string longLine;  // only for lines of more than one chunk
  bool spilled = false;
  std::uint32_t n = 0;
  for (;;) {
    is.getline(buf, sizeof buf, delim);
    std::uint32_t got = static_cast<std::uint32_t>(is.gcount());
    bool more = false;
    if (is.eof()) {
      // The end of the input ends the line: the call reports failure.
      is.setstate(std::ios::failbit);
    } else if (is.fail()) {
      // A full chunk with more of the line to come (or a stream that had
      // failed before: nothing was read).
      if (got == sizeof buf - 1) {
        is.clear();
        more = true;
      }
    } else {
      --got;  // the delimiter, consumed and not stored
      if (got == 0 && n == 0) {
        // An empty line: the delimiter stays unread and the stream fails.
        is.rdbuf()->sungetc();
        is.setstate(std::ios::failbit);
      }
    }
    if (more || spilled) {
      longLine.append(buf, got);
      spilled = true;
    }
    TZ_CHECK(got <= UINT32_MAX - 1 - n, kUnit);
    n += got;
    if (!more) break;
  }
  const char* text = spilled ? longLine.data() : buf;
  if (n == 0) {
    line.Clear();
  } else if (line.Txt != nullptr && line.Siz == TzString::CalcSiz(n)) {
    std::memcpy(line.Txt, text, n);
    line.Txt[n] = '\0';
    line.Len = n;
  } else {
    line.Assign(text, n);
  }
  return is;
}

std::istream& operator>>(std::istream& is, TzString& s) {
  if (!is) {
    s = TzString();
    return is;
  }
  std::streambuf* sb = is.rdbuf();
  const int eof = std::char_traits<char>::eof();
  int c = sb->sbumpc();
  while (c != eof && std::isspace(static_cast<unsigned char>(c))) c = sb->sbumpc();
  if (c == eof) {
    is.setstate(std::ios::eofbit | std::ios::failbit);
    s = TzString();
    return is;
  }
  // A word of 256 characters and its terminator.
  char buf[257];
  unsigned n = 0;
  auto store = [&](int ch) {
    if (n == 256) fatal(__LINE__);
    buf[n++] = static_cast<char>(ch);
  };
  if (c == '\'' || c == '"') {
    const int cmt = c;
    for (;;) {
      c = sb->sbumpc();
      TZ_CHECK_TEXT(c != eof, kUnit, "c == cmt");
      if (c == cmt) break;
      store(c);
    }
  } else {
    store(c);
    for (;;) {
      c = sb->sgetc();
      if (c == eof) break;  // the word arrives as a success
      if (std::isspace(static_cast<unsigned char>(c))) break;  // stays in the stream
      store(c);
      sb->sbumpc();
    }
  }
  buf[n] = '\0';
  s = TzString(buf);
  return is;
}

namespace {

// One answer line; a missing or empty answer is fatal.
void read_answer(const char* prompt, TzString& line, int fatalLine) {
  std::cout.flush();
  std::cerr << prompt;
  std::cerr.flush();
  getline(std::cin, line, '\n');
  // A last answer without a line end counts like any other.
  if (line.Length() == 0) fatal(fatalLine);
}

}  // namespace

int read_int(const char* prompt) {
  TzString line;
  read_answer(prompt, line, __LINE__);
  std::istringstream is(static_cast<const char*>(line));
  int v = 0;
  is >> v;
  return v;
}

double read_double(const char* prompt) {
  TzString line;
  read_answer(prompt, line, __LINE__);
  std::istringstream is(static_cast<const char*>(line));
  double v = 0.0;
  is >> v;
  return v;
}

TzString read_string(const char* prompt) {
  TzString line;
  read_answer(prompt, line, __LINE__);
  std::istringstream is(static_cast<const char*>(line));
  TzString word;
  is >> word;
  return word;
}

TzBoyerMoore::TzBoyerMoore(const TzString& pat) : Delta(DeltaSize), Pattern(pat) {
  std::uint32_t m = Pattern.Length();
  for (unsigned k = 0; k < DeltaSize; ++k) Delta[k] = m;
  for (std::uint32_t i = 1; i < m; ++i) Delta[static_cast<unsigned char>(Pattern[i - 1])] = m - i;
  if (m != 0) Delta[static_cast<unsigned char>(Pattern[m - 1])] = 1;
}

TzBoyerMoore::TzBoyerMoore(const TzBoyerMoore& bm) : Delta(bm.Delta), Pattern(bm.Pattern) {}

void TzBoyerMoore::operator=(const TzBoyerMoore& bm) {
  if (this == &bm) return;
  Pattern = bm.Pattern;
  Delta = bm.Delta;
}

TzBoyerMoore::~TzBoyerMoore() = default;
