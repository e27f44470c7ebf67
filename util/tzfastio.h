// Fast text input and output: numbers read and written where they stand in
// a buffer, and records fetched into the cache ahead of their writing.
//
// The readers give what std::from_chars gives, the writers write what "%g"
// and "%d" write. The common forms take short paths (integers of at most 10
// digits, decimals of at most 15 digits without an exponent, reals of six
// digits), which give the same results; every other form goes the general
// way.
#ifndef TZFASTIO_H
#define TZFASTIO_H

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tzdefs.h"

namespace tz {

// The general ways of ReadLong and ReadReal: std::from_chars itself.
const char* ReadLongGeneral(const char* p, const char* e, Long& v);
const char* ReadRealGeneral(const char* p, const char* e, double& v);

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Reads a 32-bit integer at the start of [p, e) as std::from_chars reads it
// (an optional minus, decimal digits): returns the end of the number, or
// null when [p, e) begins with none or it lies outside the range (v is then
// unchanged).
inline const char* ReadLong(const char* p, const char* e, Long& v) {
  const char* r = p;
  const bool negative = r < e && *r == '-';
  if (negative) ++r;
  const char* const first = r;
  std::uint64_t m = 0;  // wraps harmlessly past 19 digits, which go the general way
  unsigned d;
  while (r < e && (d = static_cast<unsigned>(*r - '0')) < 10) {
    m = m * 10 + d;
    ++r;
  }
  if (r == first || r - first > 10 || m > (negative ? 2147483648u : 2147483647u)) return ReadLongGeneral(p, e, v);
  v = static_cast<Long>(negative ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m));
  return r;
}

// Reads a double at the start of [p, e) as std::from_chars reads it (its
// general format: an optional minus, digits with an optional point, an
// optional exponent, "inf", "nan"): returns the end of the number, or null
// when [p, e) begins with none or it lies outside the range of doubles (v
// is then unchanged). The short path takes an optional minus, digits and an
// optional point followed by digits, at most 15 digits in all: its digits
// as an integer and the power of ten are exact doubles, so that their
// quotient is the correctly rounded value, the one from_chars gives.
inline const char* ReadReal(const char* p, const char* e, double& v) {
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* r = p;
  const bool negative = r < e && *r == '-';
  if (negative) ++r;
  std::uint64_t m = 0;
  int digits = 0, fraction = 0;
  while (r < e && IsDigit(*r) && digits < 16) {
    m = m * 10 + static_cast<unsigned>(*r - '0');
    ++r;
    ++digits;
  }
  if (digits == 0) return ReadRealGeneral(p, e, v);
  if (r < e && *r == '.') {
    ++r;
    while (r < e && IsDigit(*r) && digits < 16) {
      m = m * 10 + static_cast<unsigned>(*r - '0');
      ++r;
      ++digits;
      ++fraction;
    }
    if (fraction == 0) return ReadRealGeneral(p, e, v);  // "1." and the like
  }
  if (digits > 15 || (r < e && (*r == 'e' || *r == 'E' || *r == '.' || IsDigit(*r)))) return ReadRealGeneral(p, e, v);
  double x = static_cast<double>(m);
  if (fraction > 0) x /= kPow10[fraction];
  v = negative ? -x : x;
  return r;
}

// Writes v as "%g" writes it (six significant digits, no trailing zeros)
// at p and returns the end. p needs room for 32 characters: bytes behind
// the end may be written as well.
char* PutReal(char* p, double v);

// Writes v in decimal at p and returns the end (at most 20 characters).
char* PutInt(char* p, long long v);

// The text PutReal writes for v.
std::string RealText(double v);

// The end of the real at the start of [p, e), an optional minus, digits
// and an optional point followed by digits, when it stands as PutReal
// writes it without an exponent (at most six significant digits, no
// leading or trailing zero that "%g" would not write); null otherwise. A
// whole item is in that form when the end is the item's end. It reads and
// writes nothing else.
inline const char* WrittenRealEnd(const char* p, const char* e) {
  const char* c = p;
  if (c != e && *c == '-') ++c;
  const char* const ib = c;
  while (c != e && IsDigit(*c)) ++c;
  const std::size_t ni = static_cast<std::size_t>(c - ib);
  if (ni == 0) return nullptr;
  if (c == e || *c != '.' || c + 1 == e || !IsDigit(c[1])) return ni <= 6 && (ni == 1 || *ib != '0') ? c : nullptr;
  const char* const fb = ++c;
  while (c != e && IsDigit(*c)) ++c;
  const std::size_t nf = static_cast<std::size_t>(c - fb);
  if (c[-1] == '0') return nullptr;
  if (*ib != '0') return ni + nf <= 6 ? c : nullptr;
  if (ni != 1) return nullptr;
  std::size_t z = 0;  // the zeros after "0."
  while (fb[z] == '0') ++z;
  return z <= 3 && nf - z <= 6 ? c : nullptr;
}

// Writes at p the real the whole item denotes (an optional sign, digits
// with an optional point, an optional exponent) as PutReal writes its
// double, and returns the end; null when the item is no such real or lies
// outside the range of doubles. A real of at most six significant digits
// is written from its digits, without a binary round trip. p needs room
// for 32 characters.
char* RewriteReal(char* p, std::string_view item);

// Copies an item of at most 16 characters to p in one move of 16 bytes,
// whatever its length, and returns the end of the item's copy: the 16
// bytes from the item's start must be readable (a line reader's pad) and p
// needs room for 16.
inline char* CopyItem16(char* p, std::string_view item) {
  std::memcpy(p, item.data(), 16);
  return p + item.size();
}

// Fetches the cache line of p into the cache ahead of its use.
inline void Prefetch(const void* p) { __builtin_prefetch(p); }

// Fetches every cache line of the object at p.
template <class T>
inline void PrefetchAll(const T* p) {
  const char* b = reinterpret_cast<const char*>(p);
  for (std::size_t at = 0; at < sizeof(T); at += 64) __builtin_prefetch(b + at);
  __builtin_prefetch(b + sizeof(T) - 1);
}

}  // namespace tz

#endif
