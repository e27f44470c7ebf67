#include "tzfastio.h"

#include <charconv>
#include <system_error>

namespace tz {

namespace {

// A whole real below 1e6 (coordinates, lengths, areas) is its digits.
bool PutWhole(char*& p, double v, double a) {
  const unsigned whole = static_cast<unsigned>(a);
  if (static_cast<double>(whole) != a) return false;
  if (v < 0) *p++ = '-';
  p = std::to_chars(p, p + 8, whole).ptr;
  return true;
}

// The common case, 1e-4 <= a = |v| < 1e6, without the exponent: its six
// significant digits are a scaled to [1e5, 1e6) and rounded. The scaled
// product is off by at most half a unit in its last place (about 6e-11),
// so its rounding is that of the exact value unless it lies next to a
// half; false for such values, which go the exact way.
bool PutSixDigits(char*& p, double v, double a) {
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  static const double kBelow[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
  int x = 5;  // the decimal exponent of a: kBelow[x + 4] <= a
  while (a < kBelow[x + 4]) --x;
  const int k = 5 - x;  // digits after the point, 0 to 9
  const double s = a * kPow10[k];
  const long long whole = static_cast<long long>(s);  // s is positive: its floor
  const double f = s - static_cast<double>(whole);
  const long long r = whole + (f > 0.5 ? 1 : 0);
  if (!(s >= 1e5 && (f < 0.5 - 1e-6 || f > 0.5 + 1e-6) && r < 1000000)) return false;
  static const char kPairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
      "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
  // The digits are copied in pieces of 8 bytes and p moves on by the digits
  // that count: the text ends within 16 bytes of p, well inside the 32
  // bytes the general conversion may write as well.
  char d[16] = {};
  unsigned u = static_cast<unsigned>(r);
  for (int i = 4; i >= 0; i -= 2) {
    std::memcpy(d + i, kPairs + 2 * (u % 100), 2);
    u /= 100;
  }
  int last = 5;  // the last digit that is not a trailing zero (d[0] is not 0)
  while (d[last] == '0') --last;
  if (v < 0) *p++ = '-';
  if (k <= 5) {
    const int intDigits = 6 - k;
    std::memcpy(p, d, 8);
    p += intDigits;
    if (last >= intDigits) {
      *p++ = '.';
      std::memcpy(p, d + intDigits, 8);
      p += last - intDigits + 1;
    }
  } else {
    std::memcpy(p, "0.000", 5);
    p += 2 + (k - 6);  // "0." and the zeros after the point (at most 3)
    std::memcpy(p, d, 8);
    p += last + 1;
  }
  return true;
}

// The digits of a decimal real text.
struct Decimal {
  bool negative = false;
  char digit[8];                 // the first significant digits (up to 8)
  std::int64_t significant = 0;  // from the first to the last that is not 0; 0 for zero
  std::int64_t exponent = 0;     // the decimal exponent of the first
};

// Reads a whole item as a decimal real (an optional sign, digits with an
// optional point, an optional exponent); false when it is none.
bool ReadDecimal(std::string_view s, Decimal& x) {
  const char* c = s.data();
  const char* const e = c + s.size();
  if (c != e && (*c == '+' || *c == '-')) x.negative = *c++ == '-';
  std::int64_t nd = 0, intSig = 0, fracZeros = 0;
  bool any = false;
  auto digit = [&](char ch, bool frac) {
    any = true;
    if (nd == 0 && ch == '0') {
      if (frac) ++fracZeros;
      return;
    }
    if (nd < 8) x.digit[nd] = ch;
    if (ch != '0') x.significant = nd + 1;
    ++nd;
    if (!frac) ++intSig;
  };
  while (c != e && IsDigit(*c)) digit(*c++, false);
  if (c != e && *c == '.') {
    ++c;
    while (c != e && IsDigit(*c)) digit(*c++, true);
  }
  if (!any) return false;
  std::int64_t exp10 = 0;
  if (c != e && (*c == 'e' || *c == 'E')) {
    ++c;
    bool eneg = false;
    if (c != e && (*c == '+' || *c == '-')) eneg = *c++ == '-';
    if (c == e) return false;
    while (c != e && IsDigit(*c)) {
      if (exp10 < 100000) exp10 = exp10 * 10 + (*c - '0');
      ++c;
    }
    if (eneg) exp10 = -exp10;
  }
  x.exponent = (intSig > 0 ? intSig - 1 : -fracZeros - 1) + exp10;
  return c == e;
}

// Writes a real of at most six significant digits as "%g" does.
char* PutDigits(char* p, const Decimal& x) {
  const std::int64_t k = x.significant, ex = x.exponent;
  if (x.negative) *p++ = '-';
  if (ex < -4 || ex >= 6) {
    *p++ = x.digit[0];
    if (k > 1) {
      *p++ = '.';
      for (std::int64_t j = 1; j < k; ++j) *p++ = x.digit[j];
    }
    *p++ = 'e';
    *p++ = ex < 0 ? '-' : '+';
    const std::int64_t ax = ex < 0 ? -ex : ex;
    if (ax < 10) *p++ = '0';
    return std::to_chars(p, p + 4, ax).ptr;
  }
  if (ex >= 0) {
    for (std::int64_t j = 0; j <= ex; ++j) *p++ = j < k ? x.digit[j] : '0';
    if (k > ex + 1) {
      *p++ = '.';
      for (std::int64_t j = ex + 1; j < k; ++j) *p++ = x.digit[j];
    }
    return p;
  }
  *p++ = '0';
  *p++ = '.';
  for (std::int64_t j = -1; j > ex; --j) *p++ = '0';
  for (std::int64_t j = 0; j < k; ++j) *p++ = x.digit[j];
  return p;
}

// std::from_chars: the end of the number, or null (v unchanged).
template <class T>
const char* FromChars(const char* p, const char* e, T& v) {
  T x;
  const std::from_chars_result r = std::from_chars(p, e, x);
  if (r.ec != std::errc()) return nullptr;
  v = x;
  return r.ptr;
}

}  // namespace

const char* ReadLongGeneral(const char* p, const char* e, Long& v) { return FromChars(p, e, v); }

const char* ReadRealGeneral(const char* p, const char* e, double& v) { return FromChars(p, e, v); }

char* PutReal(char* p, double v) {
  const double a = v < 0 ? -v : v;
  if (a >= 1.0 && a < 1e6 && PutWhole(p, v, a)) return p;
  if (a >= 1e-4 && a < 1e6 && PutSixDigits(p, v, a)) return p;
  // 32 bytes hold every "%g" form of a double with 6 digits.
  return std::to_chars(p, p + 32, v, std::chars_format::general, 6).ptr;
}

char* PutInt(char* p, long long v) { return std::to_chars(p, p + 24, v).ptr; }

std::string RealText(double v) {
  char buf[32];
  return std::string(buf, PutReal(buf, v));
}

char* RewriteReal(char* p, std::string_view item) {
  Decimal x;
  if (!ReadDecimal(item, x)) return nullptr;
  if (x.significant == 0) {  // zero keeps its sign, as "%g" writes it
    if (x.negative) *p++ = '-';
    *p++ = '0';
    return p;
  }
  if (x.significant <= 6 && x.exponent >= -300 && x.exponent <= 300) return PutDigits(p, x);
  // More digits than are written, or near the ends of the range of doubles:
  // through the double itself.
  if (item[0] == '+') item.remove_prefix(1);
  double v;
  const std::from_chars_result r = std::from_chars(item.data(), item.data() + item.size(), v);
  if (r.ec != std::errc() || r.ptr != item.data() + item.size()) return nullptr;
  return std::to_chars(p, p + 32, v, std::chars_format::general, 6).ptr;
}

}  // namespace tz
