// Small numeric helpers shared by the grid and the matrix.
//
// TzAbsVal is the absolute value of the linear solver's pivot search.
// TzArith<T> is the element arithmetic of the matrix: the floating types use
// their own operations (float results are stored as float), the integer
// types (int and the system's long, TzLong) compute in 32 bits and wrap on
// overflow through the unsigned type, so that no overflow is undefined; the
// smallest value divided by -1 gives the smallest value.
#ifndef TZSIMPLE_H
#define TZSIMPLE_H

#include <cstdint>
#include <type_traits>

#include "tzdefs.h"

template <class T, bool Floating = std::is_floating_point<T>::value>
struct TzArith;

template <class T>
struct TzArith<T, true> {
  static T Add(T a, T b) { return a + b; }
  static T Sub(T a, T b) { return a - b; }
  static T Mul(T a, T b) { return a * b; }
  static T Div(T a, T b) { return a / b; }  // the caller excludes b == 0
  static T Neg(T a) { return -a; }
};

template <class T>
struct TzArith<T, false> {
  static_assert(sizeof(T) == 4, "integer elements are 32-bit");
  static std::uint32_t U(T a) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(a)); }
  static T Make(std::uint32_t u) { return T(TzLong::wrap(u)); }
  static T Add(T a, T b) { return Make(U(a) + U(b)); }
  static T Sub(T a, T b) { return Make(U(a) - U(b)); }
  static T Mul(T a, T b) { return Make(U(a) * U(b)); }
  static T Neg(T a) { return Make(0u - U(a)); }
  // Truncates toward zero; the caller excludes b == 0.
  static T Div(T a, T b) {
    std::int32_t x = static_cast<std::int32_t>(a), y = static_cast<std::int32_t>(b);
    if (y == -1) return Neg(a);
    return T(x / y);
  }
};

// x when x is greater than 0, else its negation (a floating zero gives the
// negated zero; the smallest integer gives itself).
template <class T>
T TzAbsVal(T x) {
  return x > 0 ? x : TzArith<T>::Neg(x);
}

#endif
