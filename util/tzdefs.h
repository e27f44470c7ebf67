// Fixed-width integer types of the system.
//
// The system's `long` and `int` are 32-bit signed on every platform: times,
// counts, edge numbers and the elements of TzMatrix<Long> are stored,
// printed and read as 32-bit values, so the sentinels print as -2147483648
// and 2147483647. C++ `long` is 64-bit here and is never used for them.
#ifndef TZDEFS_H
#define TZDEFS_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

using Long = std::int32_t;  // the system's long
using Int = std::int32_t;   // the system's int
using Time = Long;          // model time in whole units (seconds in the model)

// Printed with "%d" and read with "%d": the system's long is a plain int here.
static_assert(std::is_same<Long, int>::value, "Long must be int for the %d formats");

constexpr Long LONG_MIN32 = INT32_MIN;  // "not set" / "no data"
constexpr Long LONG_MAX32 = INT32_MAX;  // "no limit"

// Time sums saturate at the sentinels instead of overflowing.
inline Time time_add(Time a, Time b) {
  std::int64_t s = static_cast<std::int64_t>(a) + b;
  if (s > LONG_MAX32) return LONG_MAX32;
  if (s < LONG_MIN32) return LONG_MIN32;
  return static_cast<Time>(s);
}

// The size of the blocks in which the file readers and writers move their
// bytes: large in the programs, so that one system call moves much. The
// fuzz build makes every such block small (TZ_SMALL_IO_BLOCKS): its inputs
// are a few kilobytes, fresh megabyte blocks would cost most of an input's
// time, and small blocks put the block boundaries inside the inputs.
constexpr std::size_t TzIoBlock(std::size_t size) {
#ifdef TZ_SMALL_IO_BLOCKS
  return size < 4096 ? size : 4096;
#else
  return size;
#endif
}

// The system's long as a value type of templates (matrices, arrays, data
// packs, ports). It holds a 32-bit value like Long but is a C++ type of its
// own, so that the int and long instances of a template are distinct (with
// their own type names, "int" and "long", "TzIMatrix" and "TzLMatrix").
// It converts to and from Long implicitly, so arithmetic on it is 32-bit
// integer arithmetic; pass it to printf/scanf through its value `v`.
struct TzLong {
  std::int32_t v;
  constexpr TzLong() : v(0) {}
  constexpr TzLong(std::int32_t x) : v(x) {}  // NOLINT: implicit by design
  constexpr operator std::int32_t() const { return v; }
  // clang-format off
  TzLong& operator+=(TzLong o) { v = wrap(static_cast<std::uint32_t>(v) + static_cast<std::uint32_t>(o.v)); return *this; }
  TzLong& operator-=(TzLong o) { v = wrap(static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(o.v)); return *this; }
  TzLong& operator*=(TzLong o) { v = wrap(static_cast<std::uint32_t>(v) * static_cast<std::uint32_t>(o.v)); return *this; }
  // clang-format on
  TzLong& operator++() { return *this += 1; }
  TzLong& operator--() { return *this -= 1; }
  static constexpr std::int32_t wrap(std::uint32_t u) {
    return u <= static_cast<std::uint32_t>(INT32_MAX) ? static_cast<std::int32_t>(u)
                                                      : static_cast<std::int32_t>(u - 2147483648u) - 2147483647 - 1;
  }
};
static_assert(sizeof(TzLong) == 4, "TzLong must be 32-bit");
static_assert(std::is_trivially_copyable<TzLong>::value, "TzLong must be trivially copyable");

// Truth values of the utility library and the tools: 1 true, 0 false.
typedef int TzBoolean;

#endif
