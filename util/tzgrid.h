// TzGrid<T>: an owned, dense two-dimensional array of numbers.
//
// One heap block of R times C elements in row-major order, 0-based indices:
// element (r, c) is at position r * C + c. A grid is never empty (at least
// 1 by 1). Elements are value-initialised (0) by the constructors and by
// Resize, and copies write every element, so no element ever holds an
// undefined value. Copies are deep; moves hand the block over. The grid
// carries no arithmetic: TzMatrix<T> derives from it and adds values and
// algebra.
//
// Every failure is fatal: "Error occured in file: tzgrid, at line: <n>" on
// the standard error stream, then an abnormal end. The instances for
// double, float, int and TzLong are compiled once, in insttmp.cpp.
#ifndef TZGRID_H
#define TZGRID_H

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "tzdefs.h"
#include "tzsimple.h"

// The grid's failure reports (tzgrid.cpp).
[[noreturn]] void TzGridFail(int line);
// "Invalid subscript. " and a newline, then the error line.
[[noreturn]] void TzGridBadSubscript(int line);

template <class T>
class TzGrid {
 public:
  TzGrid();
  TzGrid(unsigned r, unsigned c);
  TzGrid(const TzGrid& g);
  // The source is left without a block: it may only be assigned or destroyed.
  TzGrid(TzGrid&& g) noexcept : Data(g.Data), R(g.R), C(g.C), N(g.N) {
    g.Data = nullptr;
    g.R = g.C = g.N = 0;
  }
  ~TzGrid() { delete[] Data; }

  // Takes g's shape and a copy of its elements; assigning a grid to itself
  // changes nothing.
  TzGrid& operator=(const TzGrid& g);
  TzGrid& operator=(TzGrid&& g) noexcept {
    std::swap(Data, g.Data);
    std::swap(R, g.R);
    std::swap(C, g.C);
    std::swap(N, g.N);
    return *this;
  }
  // Copies N values from a in storage order; the shape stays.
  TzGrid& operator=(const T* a);

  // A new r by c block of zeros; nothing of the old contents is kept.
  void Resize(unsigned r, unsigned c);

  unsigned GetRows() const { return R; }
  unsigned GetCols() const { return C; }
  TzBoolean IsVector() const { return R == 1 || C == 1; }
  TzBoolean IsRowVector() const { return C == 1; }
  TzBoolean IsColVector() const { return R == 1; }
  TzBoolean IsSquare() const { return R == C; }

  // Checked access: r below R and c below C, else "Invalid subscript. ".
  const T& operator()(unsigned r, unsigned c) const {
    if (r >= R || c >= C) TzGridBadSubscript(__LINE__);
    return Data[Index(r, c)];
  }
  T& Ref(unsigned r, unsigned c) {
    if (r >= R || c >= C) TzGridBadSubscript(__LINE__);
    return Data[Index(r, c)];
  }
  // Unchecked access.
  T& Elem(unsigned r, unsigned c) const { return Data[Index(r, c)]; }

  void Fill(const T& v);
  void Apply(T (*f)(const T&));
  TzGrid Transpose() const;
  // Row r as a C by 1 grid; column c as a 1 by R grid.
  TzGrid VectorRow(unsigned r) const;
  TzGrid VectorCol(unsigned c) const;

 protected:
  // No overflow: r < R and c < C give a position below N, which fits.
  unsigned Index(unsigned r, unsigned c) const { return r * C + c; }

  // A block of n elements, or the error line: value-initialised, or left
  // for the caller to write whole at once (copies, fills).
  static T* Obtain(std::uint32_t n, int line);
  static T* ObtainForOverwrite(std::uint32_t n, int line);
  // An r by c grid (checked as the public constructor) every element of
  // which the caller writes before anything reads it.
  struct ForOverwrite {};
  TzGrid(unsigned r, unsigned c, ForOverwrite);

  T* Data;
  std::uint32_t R;
  std::uint32_t C;
  std::uint32_t N;
};

template <class T>
T* TzGrid<T>::Obtain(std::uint32_t n, int line) {
  T* p = new (std::nothrow) T[n == 0 ? 1 : n]();
  if (p == nullptr) TzGridFail(line);
  return p;
}

template <class T>
T* TzGrid<T>::ObtainForOverwrite(std::uint32_t n, int line) {
  T* p = new (std::nothrow) T[n == 0 ? 1 : n];
  if (p == nullptr) TzGridFail(line);
  return p;
}

template <class T>
TzGrid<T>::TzGrid() : Data(Obtain(1, __LINE__)), R(1), C(1), N(1) {}

template <class T>
TzGrid<T>::TzGrid(unsigned r, unsigned c) : Data(nullptr), R(r), C(c), N(0) {
  if (r == 0 || c == 0) TzGridFail(__LINE__);
  std::uint64_t n = static_cast<std::uint64_t>(r) * c;
  if (n > UINT32_MAX) TzGridFail(__LINE__);
  N = static_cast<std::uint32_t>(n);
  Data = Obtain(N, __LINE__);
}

template <class T>
TzGrid<T>::TzGrid(unsigned r, unsigned c, ForOverwrite) : Data(nullptr), R(r), C(c), N(0) {
  if (r == 0 || c == 0) TzGridFail(__LINE__);
  std::uint64_t n = static_cast<std::uint64_t>(r) * c;
  if (n > UINT32_MAX) TzGridFail(__LINE__);
  N = static_cast<std::uint32_t>(n);
  Data = ObtainForOverwrite(N, __LINE__);
}

template <class T>
TzGrid<T>::TzGrid(const TzGrid& g) : Data(nullptr), R(g.R), C(g.C), N(g.N) {
  if (g.Data) {
    Data = ObtainForOverwrite(N, __LINE__);
    std::copy(g.Data, g.Data + N, Data);
  } else {
    Data = Obtain(N, __LINE__);
  }
}

template <class T>
TzGrid<T>& TzGrid<T>::operator=(const TzGrid& g) {
  if (this == &g) return *this;
  if (Data == nullptr || N != g.N) {
    // The new block is obtained before the old one goes: on failure the
    // program stops anyway, and the contents are never read after a free.
    T* p = g.Data ? ObtainForOverwrite(g.N, __LINE__) : Obtain(g.N, __LINE__);
    delete[] Data;
    Data = p;
  }
  R = g.R;
  C = g.C;
  N = g.N;
  if (g.Data) std::copy(g.Data, g.Data + N, Data);
  return *this;
}

template <class T>
TzGrid<T>& TzGrid<T>::operator=(const T* a) {
  std::copy(a, a + N, Data);
  return *this;
}

template <class T>
void TzGrid<T>::Resize(unsigned r, unsigned c) {
  if (r == 0 || c == 0) TzGridFail(__LINE__);
  std::uint64_t wide = static_cast<std::uint64_t>(r) * c;
  if (wide > UINT32_MAX) TzGridFail(__LINE__);
  std::uint32_t n = static_cast<std::uint32_t>(wide);
  if (Data != nullptr && n == N) {
    std::fill(Data, Data + N, T());
  } else {
    delete[] Data;
    Data = nullptr;
    Data = Obtain(n, __LINE__);
  }
  R = r;
  C = c;
  N = n;
}

template <class T>
void TzGrid<T>::Fill(const T& v) {
  const T x = v;
  std::fill(Data, Data + N, x);
}

template <class T>
void TzGrid<T>::Apply(T (*f)(const T&)) {
  for (std::uint32_t k = 0; k < N; ++k) Data[k] = f(Data[k]);
}

template <class T>
TzGrid<T> TzGrid<T>::Transpose() const {
  TzGrid t(C, R, ForOverwrite());
  const T* s = Data;
  for (std::uint32_t i = 0; i < R; ++i) {
    T* d = t.Data + i;
    for (std::uint32_t j = 0; j < C; ++j, d += R) *d = *s++;
  }
  return t;
}

template <class T>
TzGrid<T> TzGrid<T>::VectorRow(unsigned r) const {
  if (r >= R) TzGridFail(__LINE__);
  TzGrid v(C, 1, ForOverwrite());
  for (std::uint32_t i = 0; i < C; ++i) v.Data[i] = Data[Index(r, i)];
  return v;
}

template <class T>
TzGrid<T> TzGrid<T>::VectorCol(unsigned c) const {
  if (c >= C) TzGridFail(__LINE__);
  TzGrid v(1, R, ForOverwrite());
  for (std::uint32_t i = 0; i < R; ++i) v.Data[i] = Data[Index(i, c)];
  return v;
}

extern template class TzGrid<double>;
extern template class TzGrid<float>;
extern template class TzGrid<int>;
extern template class TzGrid<TzLong>;

#endif
