#include "tzfastio.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// Texts in the forms of the tools' and the model's files and beside them.
// clang-format off
const std::vector<std::string> kTexts = {
    "", "-", "+", ".", "-.", "0", "-0", "+0", "7", "-7", "+7", "+-7", "--7", "007", "-007", "10 ", "12abc", " 5",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296", "9999999999", "12345678901",
    "00000000000012", "99999999999999999999", "18446744073709551617", "0.5", "-0.5", ".5", "-.5", "1.", "1.e3",
    "1.5", "1.50", "123.456", "0.0001", "0.00001", "1e5", "1E-5", "1e", "1e+", "1e-x", "2.5e-3", "1.2.3", "1..2",
    "123456789012345", "1234567890123456", "0.123456789012345", "0.1234567890123456", "3.14159265358979",
    "1e308", "1e309", "1e-320", "1e-400", "inf", "-inf", "nan", "infinity", "0x10", "1,5", "5\0"s, "1 2"};
// clang-format on

// The short path gives what the general conversion gives: the end, the
// value, and an unchanged value where there is no number.
TEST(ReadNumbers, AsFromChars) {
  for (const std::string& s : kTexts) {
    const char* b = s.data();
    const char* e = b + s.size();
    Long got = 12345, want = 12345;
    const std::from_chars_result r = std::from_chars(b, e, want);
    const char* q = tz::ReadLong(b, e, got);
    EXPECT_EQ(q, r.ec == std::errc() ? r.ptr : nullptr) << s;
    EXPECT_EQ(got, want) << s;
    double gotReal = 0.25, wantReal = 0.25;
    const std::from_chars_result rr = std::from_chars(b, e, wantReal);
    const char* qr = tz::ReadReal(b, e, gotReal);
    EXPECT_EQ(qr, rr.ec == std::errc() ? rr.ptr : nullptr) << s;
    if (!std::isnan(wantReal)) {
      EXPECT_EQ(gotReal, wantReal) << s;
    }
    EXPECT_EQ(std::signbit(gotReal), std::signbit(wantReal)) << s;
  }
}

// Short decimals of every length and place of the point, as they stand in
// data files, read as from_chars reads them.
TEST(ReadNumbers, ShortDecimalsAsFromCharsOverManyValues) {
  std::mt19937_64 gen(777);
  for (int i = 0; i < 200000; ++i) {
    const int digits = 1 + static_cast<int>(gen() % 17);
    std::string s = gen() % 4 == 0 ? "-" : "";
    for (int k = 0; k < digits; ++k) s += static_cast<char>('0' + gen() % 10);
    if (gen() % 3 != 0) s.insert(s.size() - gen() % digits, ".");
    double got = 0, want = 0;
    const std::from_chars_result r = std::from_chars(s.data(), s.data() + s.size(), want);
    ASSERT_EQ(tz::ReadReal(s.data(), s.data() + s.size(), got), r.ec == std::errc() ? r.ptr : nullptr) << s;
    ASSERT_EQ(got, want) << s;
  }
}

TEST(PutReal, RealsInTheDefaultStreamFormat) {
  // clang-format off
  struct { double v; const char* text; } cases[] = {
      {0.1, "0.1"},          {1234567.0, "1.23457e+06"}, {2.0, "2"},       {0.000001, "1e-06"},
      {-1.0, "-1"},          {0.01, "0.01"},             {0.05, "0.05"},   {100.0, "100"},
      {123456.0, "123456"},  {0.0001, "0.0001"},         {1e-5, "1e-05"},  {0.0, "0"},
      {-0.0, "-0"},          {3.14159265, "3.14159"},    {1e100, "1e+100"}, {999999.5, "1e+06"},
  };
  // clang-format on
  for (auto& c : cases) {
    EXPECT_EQ(tz::RealText(c.v), c.text) << c.v;
    std::ostringstream os;
    os << c.v;
    EXPECT_EQ(tz::RealText(c.v), os.str()) << c.v;  // as the stream writes it
  }
  char buf[32];
  EXPECT_EQ(std::string(buf, tz::PutInt(buf, -2147483648LL)), "-2147483648");
}

// Every real the tools write must read exactly as the C format "%g" gives it.
TEST(PutReal, RealsMatchTheCFormatOverManyValues) {
  std::mt19937_64 gen(12345);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-8, 9);
  auto check = [](double v) {
    char want[64];
    std::snprintf(want, sizeof want, "%g", v);
    ASSERT_EQ(tz::RealText(v), want) << std::hexfloat << v;
  };
  for (int i = 0; i < 300000; ++i) {
    double v = mant(gen) * std::pow(10.0, expo(gen));
    check(v);
    check(-v);
    // Short decimals as they stand in data files, and the halves between them.
    double d = std::round(v * 1000.0) / 1000.0;
    check(d);
    check(std::nextafter(d, 0.0));
    check(d + 0.0005);
  }
  for (double v : {1e-4, 9.99999e-5, 0.0001000005, 999999.4999, 999999.5, 999999.5000001, 99999.95, 12345.65, 0.1, 0.01,
                   0.001, 1.0, 10.0, 100000.0, 999995.0, 0.5, 2.5, 1234565.0})
    for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)}) {
      check(w);
      check(-w);
    }
  for (double v : {0.0, -0.0, 1e300, -1e-300, 5e-324, HUGE_VAL, -HUGE_VAL}) check(v);
  // Whole numbers, and the reals just beside them.
  for (int k = 1; k <= 1000010; k += (k < 2000 || k > 999000) ? 1 : 7) {
    double w = k;
    check(w);
    check(-w);
    check(std::nextafter(w, 0.0));
    check(std::nextafter(w, 1e300));
  }
}

TEST(PutReal, Integers) {
  char buf[32];
  for (long long v : {0LL, -1LL, 7LL, -2147483648LL, 2147483647LL, -9223372036854775807LL - 1})
    EXPECT_EQ(std::string(buf, tz::PutInt(buf, v)), std::to_string(v));
}

// The reals that stand as PutReal writes them: those, and only those, can
// be copied instead of rewritten.
TEST(RewriteReal, ItemsAlreadyInTheOutputForm) {
  const struct {
    const char* item;
    bool put;
  } cases[] = {
      {"0", true},        {"-0", true},          {"7", true},
      {"123456", true},   {"-123456", true},     {"1234567", false},
      {"007", false},     {"00", false},         {"+7", false},
      {"1.5", true},      {"1.50", false},       {"1.", false},
      {".5", false},      {"0.5", true},         {"00.5", false},
      {"12345.6", true},  {"12345.67", false},   {"0.0001", true},
      {"0.00001", false}, {"0.000123456", true}, {"0.0001234567", false},
      {"1e5", false},     {"1.0", false},        {"", false},
      {"-", false},       {"1.5x", false},       {"0.10", false},
  };
  for (const auto& c : cases) {
    const char* e = c.item + std::strlen(c.item);
    EXPECT_EQ(tz::WrittenRealEnd(c.item, e) == e, c.put) << c.item;
    if (c.put) {
      EXPECT_EQ(tz::RealText(std::strtod(c.item, nullptr)), c.item) << c.item;
    }
  }
}

// A real text is written again as PutReal writes the double it denotes.
TEST(RewriteReal, AsPutRealOfTheDoubleOverManyForms) {
  std::mt19937_64 gen(4242);
  const char* const signs[] = {"", "-", "+"};
  const char* const exponents[] = {"", "", "", "e5", "E-3", "e+12", "e-300", "e307", "e-310", "e0", "e-7"};
  // The double the text denotes, as from_chars reads it (without a plus
  // sign), or none beyond the range of doubles.
  auto check = [](const std::string& s) {
    const char* b = s.data() + (s[0] == '+' ? 1 : 0);
    double v;
    const std::from_chars_result r = std::from_chars(b, s.data() + s.size(), v);
    char buf[64];
    char* end = tz::RewriteReal(buf, s);
    if (r.ec != std::errc()) {
      ASSERT_EQ(end, nullptr) << s;
      return;
    }
    ASSERT_EQ(r.ptr, s.data() + s.size()) << s;
    ASSERT_NE(end, nullptr) << s;
    ASSERT_EQ(std::string(buf, end), tz::RealText(v)) << s;
  };
  for (int i = 0; i < 200000; ++i) {
    std::string s = signs[gen() % 3];
    const int digits = 1 + static_cast<int>(gen() % 12);
    const int zeros = static_cast<int>(gen() % 4);
    std::string d(gen() % 2 ? zeros : 0, '0');
    for (int k = 0; k < digits; ++k) d += static_cast<char>('0' + gen() % 10);
    if (gen() % 3 != 0) d.insert(gen() % (d.size() + 1), ".");
    if (d == ".") d = "0.";
    s += d;
    s += exponents[gen() % (sizeof exponents / sizeof *exponents)];
    check(s);
  }
  for (const char* s : {"0", "-0", "+0", "0.000", "-0e5", "1e-5", "1e6", "999999", "9999995", "1e308",
                        "1.7976931348623157e308", "4.9e-324", "1e-320", ".5", "5.", "-.5e-2"})
    check(s);
}

// The form is found at the start of a text: the caller decides what may
// follow it.
TEST(RewriteReal, TheOutputFormAtTheStartOfAText) {
  const struct {
    const char* text;
    int end;  // -1: not in the form
  } cases[] = {
      {"12 3", 2},   {"12x", 2},  {"1.5 2", 3}, {"1.5.2", 3}, {"12.", 2}, {"12.x", 2},      {"0.001e5", 5},
      {"1.50 ", -1}, {"-0.5", 4}, {"", -1},     {"-", -1},    {".5", -1}, {"1234567 ", -1},
  };
  for (const auto& c : cases) {
    const char* end = tz::WrittenRealEnd(c.text, c.text + std::strlen(c.text));
    EXPECT_EQ(end == nullptr ? -1 : static_cast<int>(end - c.text), c.end) << c.text;
  }
}

TEST(RewriteReal, ItemsThatAreNoReal) {
  char buf[64];
  for (const char* s : {"", "+", "-", ".", "e5", "1e", "1e+", "1e-x", "x", "1.2.3", "--1", "+-1", "1 ", "inf", "nan",
                        "0x10", "1e999", "-1e999"})
    EXPECT_EQ(tz::RewriteReal(buf, s), nullptr) << s;
}

}  // namespace
