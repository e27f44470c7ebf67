// TzMatrix<T>: the numeric matrix of the utility library.
//
// A TzGrid<T> with values and arithmetic: element-wise arithmetic with
// another matrix of the same shape or with a scalar, negation, element-wise
// comparisons (results are TzMatrix<int>), Equals, and the algebra: the
// matrix product operator%, shape predicates, compensated inner product and
// norm, determinant, minor and a linear solver with partial pivoting.
//
// The four instances are double, float, int and TzLong (the system's long;
// type names TzDMatrix, TzFMatrix, TzIMatrix, TzLMatrix), compiled once in
// insttmp.cpp. They behave alike except where the element type decides:
// the integer instances compute in 32 bits with truncating division and wrap
// on overflow (TzArith in tzsimple.h), float stores every result as float.
//
// Operators that yield a matrix return a new matrix by value; when the left
// operand is a temporary its block is reused, so F * a + L * b costs two
// blocks, not three. The compound forms work in place and allocate nothing.
//
// Every failure is fatal: "Error occured in file: tzmatrix, at line: <n>" on
// the standard error stream (each check has its own line), then an abnormal
// end; the grid's own failures name tzgrid.
#ifndef TZMATRIX_H
#define TZMATRIX_H

#include <cmath>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "tzdefs.h"
#include "tzgrid.h"
#include "tzsimple.h"

// The matrix's failure report (tzmatrix.cpp).
[[noreturn]] void TzMatrixFail(int line);
// "The number of columns is not appropriate." and a newline, then the error line.
[[noreturn]] void TzMatrixBadColumns(int line);

template <class T>
class TzMatrix : public TzGrid<T> {
  using G = TzGrid<T>;
  using A = TzArith<T>;

 public:
  TzMatrix() : G() {}  // 1 by 1 holding 0
  TzMatrix(T v) : G() { this->Data[0] = v; }  // NOLINT: a scalar is a 1 by 1 matrix
  TzMatrix(unsigned r, unsigned c, const T& v) : G(r, c, typename G::ForOverwrite()) { this->Fill(v); }
  TzMatrix(const TzGrid<T>& g) : G(g) {}  // NOLINT
  TzMatrix(TzGrid<T>&& g) noexcept : G(std::move(g)) {}  // NOLINT
  TzMatrix(const TzMatrix& m) = default;
  TzMatrix(TzMatrix&& m) noexcept = default;
  ~TzMatrix() = default;

  // The source's shape and elements; assigning a matrix to itself changes nothing.
  TzMatrix& operator=(const TzMatrix& m) { G::operator=(m); return *this; }
  TzMatrix& operator=(TzMatrix&& m) noexcept { G::operator=(std::move(m)); return *this; }
  TzMatrix& operator=(const TzGrid<T>& g) { G::operator=(g); return *this; }
  TzMatrix& operator=(TzGrid<T>&& g) noexcept { G::operator=(std::move(g)); return *this; }
  // N values from a in storage order; the shape stays.
  TzMatrix& operator=(const T* a) { G::operator=(a); return *this; }

  // A new r by c matrix with every element v.
  void Resize(unsigned r, unsigned c, const T& v);

  // Element-wise arithmetic with a matrix of the same shape.
  TzMatrix operator+(const TzMatrix& m) const&;
  TzMatrix operator+(const TzMatrix& m) &&;
  TzMatrix operator-(const TzMatrix& m) const&;
  TzMatrix operator-(const TzMatrix& m) &&;
  TzMatrix operator*(const TzMatrix& m) const&;
  TzMatrix operator*(const TzMatrix& m) &&;
  TzMatrix operator/(const TzMatrix& m) const&;
  TzMatrix operator/(const TzMatrix& m) &&;
  void operator+=(const TzMatrix& m);
  void operator-=(const TzMatrix& m);
  void operator*=(const TzMatrix& m);
  void operator/=(const TzMatrix& m);

  // Element-wise arithmetic with a scalar (read once).
  TzMatrix operator+(const T& v) const&;
  TzMatrix operator+(const T& v) &&;
  TzMatrix operator-(const T& v) const&;
  TzMatrix operator-(const T& v) &&;
  TzMatrix operator*(const T& v) const&;
  TzMatrix operator*(const T& v) &&;
  TzMatrix operator/(const T& v) const&;
  TzMatrix operator/(const T& v) &&;
  void operator+=(const T& v);
  void operator-=(const T& v);
  void operator*=(const T& v);
  void operator/=(const T& v);

  TzMatrix operator-() const&;
  TzMatrix operator-() &&;

  // Element-wise comparisons: 1 where the relation holds, else 0.
  TzMatrix<int> operator==(const TzMatrix& m) const;
  TzMatrix<int> operator!=(const TzMatrix& m) const;
  TzMatrix<int> operator<(const TzMatrix& m) const;
  TzMatrix<int> operator<=(const TzMatrix& m) const;
  TzMatrix<int> operator>(const TzMatrix& m) const;
  TzMatrix<int> operator>=(const TzMatrix& m) const;
  // 1 when every element equals its counterpart (a shape mismatch stops).
  TzBoolean Equals(const TzMatrix& m) const;

  // The matrix product: R of this by C of m.
  TzMatrix operator%(const TzMatrix& m) const;
  TzBoolean IsZero() const;
  TzBoolean IsDiagonal() const;
  TzBoolean IsIdentity() const;
  TzBoolean IsTridiagonal() const;
  TzBoolean IsUpperTriangular() const;
  TzBoolean IsLowerTriangular() const;
  TzBoolean IsPermutation() const;
  // Compensated sum of the n products of a 1 by n and an n by 1 matrix
  // (either way round).
  T InnerProduct(const TzMatrix& m) const;
  // Square root of the compensated sum of the squares (Frobenius norm).
  double Norm() const;
  T Determinant() const;
  // The matrix without row r and column c.
  TzMatrix Minor(unsigned r, unsigned c) const;
  // Solves the augmented system held in this R by R + 1 matrix into column 0
  // of x by Gaussian elimination with partial pivoting; 0 at a zero pivot.
  TzBoolean LinSolve(TzMatrix& x);

 protected:
  T DetRecursive() const;

 private:
  void CheckShape(const TzMatrix& m, int line) const {
    if (this->R != m.R || this->C != m.C) TzMatrixFail(line);
  }
  // The in-place passes, after the checks.
  void AddIn(const TzMatrix& m);
  void SubIn(const TzMatrix& m);
  void MulIn(const TzMatrix& m);
  void DivIn(const TzMatrix& m, int line);
  // The bodies of the operators that yield a matrix, shared by the forms
  // for a named and for a temporary left operand a, so that each check has
  // one line whichever form is called.
  template <class Self>
  static TzMatrix Sum(Self&& a, const TzMatrix& m);
  template <class Self>
  static TzMatrix Difference(Self&& a, const TzMatrix& m);
  template <class Self>
  static TzMatrix Product(Self&& a, const TzMatrix& m);
  template <class Self>
  static TzMatrix Quotient(Self&& a, const TzMatrix& m);
  template <class Self>
  static TzMatrix ScalarQuotient(Self&& a, const T& v);
  // The result of pass applied to a: on a copy of a named operand, on a
  // temporary operand itself, whose block is handed on.
  template <class Self, class Pass>
  static TzMatrix Yield(Self&& a, Pass pass);
  template <class Rel>
  TzMatrix<int> Compare(const TzMatrix& m, Rel rel) const;
};

typedef TzMatrix<double> TzDMatrix;
typedef TzMatrix<float> TzFMatrix;
typedef TzMatrix<int> TzIMatrix;
typedef TzMatrix<TzLong> TzLMatrix;

template <class T>
void TzMatrix<T>::Resize(unsigned r, unsigned c, const T& v) {
  const T x = v;
  G::Resize(r, c);
  this->Fill(x);
}

// ---- element-wise arithmetic with a matrix -------------------------------

template <class T>
void TzMatrix<T>::AddIn(const TzMatrix& m) {
  T* d = this->Data;
  const T* s = m.Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Add(d[k], s[k]);
}

template <class T>
void TzMatrix<T>::SubIn(const TzMatrix& m) {
  T* d = this->Data;
  const T* s = m.Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Sub(d[k], s[k]);
}

template <class T>
void TzMatrix<T>::MulIn(const TzMatrix& m) {
  T* d = this->Data;
  const T* s = m.Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Mul(d[k], s[k]);
}

template <class T>
void TzMatrix<T>::DivIn(const TzMatrix& m, int line) {
  T* d = this->Data;
  const T* s = m.Data;
  for (std::uint32_t k = 0; k < this->N; ++k) {
    if (s[k] == T(0)) TzMatrixFail(line);
    d[k] = A::Div(d[k], s[k]);
  }
}

template <class T>
template <class Self, class Pass>
TzMatrix<T> TzMatrix<T>::Yield(Self&& a, Pass pass) {
  if constexpr (std::is_lvalue_reference<Self>::value) {
    TzMatrix r(a);
    pass(r);
    return r;
  } else {
    pass(a);
    return std::move(a);
  }
}

template <class T>
template <class Self>
TzMatrix<T> TzMatrix<T>::Sum(Self&& a, const TzMatrix& m) {
  a.CheckShape(m, __LINE__);
  return Yield(std::forward<Self>(a), [&m](TzMatrix& r) { r.AddIn(m); });
}

template <class T>
template <class Self>
TzMatrix<T> TzMatrix<T>::Difference(Self&& a, const TzMatrix& m) {
  a.CheckShape(m, __LINE__);
  return Yield(std::forward<Self>(a), [&m](TzMatrix& r) { r.SubIn(m); });
}

template <class T>
template <class Self>
TzMatrix<T> TzMatrix<T>::Product(Self&& a, const TzMatrix& m) {
  a.CheckShape(m, __LINE__);
  return Yield(std::forward<Self>(a), [&m](TzMatrix& r) { r.MulIn(m); });
}

template <class T>
template <class Self>
TzMatrix<T> TzMatrix<T>::Quotient(Self&& a, const TzMatrix& m) {
  a.CheckShape(m, __LINE__);
  return Yield(std::forward<Self>(a), [&m](TzMatrix& r) { r.DivIn(m, __LINE__); });
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator+(const TzMatrix& m) const& { return Sum(*this, m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator+(const TzMatrix& m) && { return Sum(std::move(*this), m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator-(const TzMatrix& m) const& { return Difference(*this, m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator-(const TzMatrix& m) && { return Difference(std::move(*this), m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator*(const TzMatrix& m) const& { return Product(*this, m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator*(const TzMatrix& m) && { return Product(std::move(*this), m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator/(const TzMatrix& m) const& { return Quotient(*this, m); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator/(const TzMatrix& m) && { return Quotient(std::move(*this), m); }

template <class T>
void TzMatrix<T>::operator+=(const TzMatrix& m) {
  CheckShape(m, __LINE__);
  AddIn(m);
}

template <class T>
void TzMatrix<T>::operator-=(const TzMatrix& m) {
  CheckShape(m, __LINE__);
  SubIn(m);
}

template <class T>
void TzMatrix<T>::operator*=(const TzMatrix& m) {
  CheckShape(m, __LINE__);
  MulIn(m);
}

template <class T>
void TzMatrix<T>::operator/=(const TzMatrix& m) {
  CheckShape(m, __LINE__);
  DivIn(m, __LINE__);
}

// ---- element-wise arithmetic with a scalar -------------------------------

template <class T>
void TzMatrix<T>::operator+=(const T& v) {
  const T x = v;
  T* d = this->Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Add(d[k], x);
}

template <class T>
void TzMatrix<T>::operator-=(const T& v) {
  const T x = v;
  T* d = this->Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Sub(d[k], x);
}

template <class T>
void TzMatrix<T>::operator*=(const T& v) {
  const T x = v;
  T* d = this->Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Mul(d[k], x);
}

template <class T>
void TzMatrix<T>::operator/=(const T& v) {
  const T x = v;
  if (x == T(0)) TzMatrixFail(__LINE__);
  T* d = this->Data;
  for (std::uint32_t k = 0; k < this->N; ++k) d[k] = A::Div(d[k], x);
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator+(const T& v) const& {
  const T x = v;
  TzMatrix r(*this);
  r += x;
  return r;
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator+(const T& v) && {
  *this += v;
  return std::move(*this);
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator-(const T& v) const& {
  const T x = v;
  TzMatrix r(*this);
  r -= x;
  return r;
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator-(const T& v) && {
  *this -= v;
  return std::move(*this);
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator*(const T& v) const& {
  const T x = v;
  TzMatrix r(*this);
  r *= x;
  return r;
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator*(const T& v) && {
  *this *= v;
  return std::move(*this);
}

template <class T>
template <class Self>
TzMatrix<T> TzMatrix<T>::ScalarQuotient(Self&& a, const T& v) {
  const T x = v;
  if (x == T(0)) TzMatrixFail(__LINE__);
  return Yield(std::forward<Self>(a), [x](TzMatrix& r) { r /= x; });
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator/(const T& v) const& { return ScalarQuotient(*this, v); }
template <class T>
TzMatrix<T> TzMatrix<T>::operator/(const T& v) && { return ScalarQuotient(std::move(*this), v); }

template <class T>
TzMatrix<T> TzMatrix<T>::operator-() const& {
  TzMatrix r(this->R, this->C, T(0));
  for (std::uint32_t k = 0; k < this->N; ++k) r.Data[k] = A::Neg(this->Data[k]);
  return r;
}

template <class T>
TzMatrix<T> TzMatrix<T>::operator-() && {
  for (std::uint32_t k = 0; k < this->N; ++k) this->Data[k] = A::Neg(this->Data[k]);
  return std::move(*this);
}

// ---- comparisons ----------------------------------------------------------

template <class T>
template <class Rel>
TzMatrix<int> TzMatrix<T>::Compare(const TzMatrix& m, Rel rel) const {
  TzMatrix<int> r(this->R, this->C, 0);
  for (std::uint32_t i = 0; i < this->R; ++i)
    for (std::uint32_t j = 0; j < this->C; ++j)
      r.Elem(i, j) = rel(this->Elem(i, j), m.Elem(i, j)) ? 1 : 0;
  return r;
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator==(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a == b; });
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator!=(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a != b; });
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator<(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a < b; });
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator<=(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a <= b; });
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator>(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a > b; });
}

template <class T>
TzMatrix<int> TzMatrix<T>::operator>=(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  return Compare(m, [](const T& a, const T& b) { return a >= b; });
}

template <class T>
TzBoolean TzMatrix<T>::Equals(const TzMatrix& m) const {
  CheckShape(m, __LINE__);
  for (std::uint32_t k = 0; k < this->N; ++k)
    if (!(this->Data[k] == m.Data[k])) return 0;
  return 1;
}

// ---- algebra --------------------------------------------------------------

template <class T>
TzMatrix<T> TzMatrix<T>::operator%(const TzMatrix& m) const {
  if (this->C != m.R) TzMatrixFail(__LINE__);
  TzMatrix r(this->R, m.C, T(0));
  T* out = r.Data;
  for (std::uint32_t i = 0; i < this->R; ++i) {
    for (std::uint32_t j = 0; j < m.C; ++j) {
      T s = T(0);
      for (std::uint32_t k = 0; k < this->C; ++k) s = A::Add(A::Mul(this->Elem(i, k), m.Elem(k, j)), s);
      *out++ = s;
    }
  }
  return r;
}

template <class T>
TzBoolean TzMatrix<T>::IsZero() const {
  for (std::uint32_t k = 0; k < this->N; ++k)
    if (!(this->Data[k] == T(0))) return 0;
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsDiagonal() const {
  if (this->R != this->C) return 0;
  for (std::uint32_t i = 0; i < this->R; ++i)
    for (std::uint32_t j = 0; j < this->C; ++j) {
      const T& x = this->Elem(i, j);
      if (i == j ? x == T(0) : !(x == T(0))) return 0;
    }
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsIdentity() const {
  if (this->R != this->C) return 0;
  for (std::uint32_t i = 0; i < this->R; ++i)
    for (std::uint32_t j = 0; j < this->C; ++j)
      if (!(this->Elem(i, j) == T(i == j ? 1 : 0))) return 0;
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsTridiagonal() const {
  if (this->R != this->C || this->C < 3) return 0;
  for (std::uint32_t i = 0; i < this->R; ++i)
    for (std::uint32_t j = 0; j < this->C; ++j) {
      std::uint32_t apart = i > j ? i - j : j - i;
      if (apart >= 2 && !(this->Elem(i, j) == T(0))) return 0;
    }
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsUpperTriangular() const {
  if (this->R != this->C || this->C < 2) return 0;
  for (std::uint32_t i = 1; i < this->R; ++i)
    for (std::uint32_t j = 0; j < i; ++j)
      if (!(this->Elem(i, j) == T(0))) return 0;
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsLowerTriangular() const {
  if (this->R != this->C || this->C < 2) return 0;
  for (std::uint32_t i = 0; i + 1 < this->R; ++i)
    for (std::uint32_t j = this->C - 1; j > i; --j)
      if (!(this->Elem(i, j) == T(0))) return 0;
  return 1;
}

template <class T>
TzBoolean TzMatrix<T>::IsPermutation() const {
  if (this->R != this->C) return 0;
  unsigned char* colFlag = new (std::nothrow) unsigned char[this->C]();
  if (colFlag == nullptr) TzMatrixFail(__LINE__);
  unsigned char* rowFlag = new (std::nothrow) unsigned char[this->R]();
  if (rowFlag == nullptr) TzMatrixFail(__LINE__);
  TzBoolean answer = 1;
  for (std::uint32_t i = 0; i < this->R && answer; ++i)
    for (std::uint32_t j = 0; j < this->C; ++j) {
      const T& x = this->Elem(i, j);
      if (x == T(0)) continue;
      if (x > T(1) || rowFlag[i] || colFlag[j]) {
        answer = 0;
        break;
      }
      rowFlag[i] = colFlag[j] = 1;
    }
  delete[] colFlag;
  delete[] rowFlag;
  return answer;
}

template <class T>
T TzMatrix<T>::InnerProduct(const TzMatrix& m) const {
  const bool rowTimesCol = this->R == 1 && m.C == 1 && this->C == m.R;
  const bool colTimesRow = this->C == 1 && m.R == 1 && this->R == m.C;
  if (!rowTimesCol && !colTimesRow) TzMatrixFail(__LINE__);
  const std::uint32_t n = this->C != 1 ? this->C : this->R;
  // Compensated summation: e carries the low part that the rounding of
  // s + e lost, to be added with the next term. Each step is stored in T.
  T s = T(0), e = T(0), t = T(0);
  for (std::uint32_t k = 0; k < n; ++k) {
    T p = A::Mul(this->Data[k], m.Data[k]);
    e = A::Add(p, e);
    t = s;
    s = A::Add(s, e);
    t = A::Sub(t, s);
    e = A::Add(e, t);
  }
  return s;
}

template <class T>
double TzMatrix<T>::Norm() const {
  T s = T(0), e = T(0), t = T(0);
  for (std::uint32_t k = 0; k < this->N; ++k) {
    T p = A::Mul(this->Data[k], this->Data[k]);
    e = A::Add(p, e);
    t = s;
    s = A::Add(s, e);
    t = A::Sub(t, s);
    e = A::Add(e, t);
  }
  return std::sqrt(static_cast<double>(s));
}

template <class T>
T TzMatrix<T>::Determinant() const {
  if (this->R != this->C) TzMatrixFail(__LINE__);
  if (this->R == 1) return this->Data[0];
  return DetRecursive();
}

template <class T>
T TzMatrix<T>::DetRecursive() const {
  if (this->R == 2)
    return A::Sub(A::Mul(this->Elem(0, 0), this->Elem(1, 1)), A::Mul(this->Elem(0, 1), this->Elem(1, 0)));
  T s = T(0);
  for (std::uint32_t j = 0; j < this->R; ++j) {
    T d = Minor(0, j).DetRecursive();
    T term = A::Mul(this->Elem(0, j), d);
    s = (j % 2 == 0) ? A::Add(term, s) : A::Sub(s, term);
  }
  return s;
}

template <class T>
TzMatrix<T> TzMatrix<T>::Minor(unsigned r, unsigned c) const {
  if (this->R != this->C || this->R < 2) TzMatrixFail(__LINE__);
  // A row or column outside the matrix would overrun the minor's block.
  if (r >= this->R || c >= this->C) TzMatrixFail(__LINE__);
  TzMatrix m(this->R - 1, this->C - 1, T(0));
  T* out = m.Data;
  for (std::uint32_t i = 0; i < this->R; ++i) {
    if (i == r) continue;
    for (std::uint32_t j = 0; j < this->C; ++j)
      if (j != c) *out++ = this->Elem(i, j);
  }
  return m;
}

template <class T>
TzBoolean TzMatrix<T>::LinSolve(TzMatrix& x) {
  const std::uint32_t R = this->R, C = this->C;
  if (static_cast<std::uint64_t>(C) != static_cast<std::uint64_t>(R) + 1) TzMatrixBadColumns(__LINE__);
  // The solution goes into column 0 of x: a shorter x would be overrun.
  if (x.R < R) TzMatrixFail(__LINE__);
  for (std::uint32_t i = 0; i < R; ++i) {
    std::uint32_t p = i;
    for (std::uint32_t j = i + 1; j < R; ++j)
      if (TzAbsVal(this->Elem(j, i)) > TzAbsVal(this->Elem(p, i))) p = j;
    for (std::uint32_t c = i; c < C; ++c) std::swap(this->Elem(i, c), this->Elem(p, c));
    const T pivot = this->Elem(i, i);
    if (pivot == T(0)) return 0;
    for (std::uint32_t k = i + 1; k < R; ++k)
      for (std::uint32_t j = C; j-- > i;) {
        T prod = A::Mul(this->Elem(i, j), this->Elem(k, i));
        this->Elem(k, j) = A::Sub(this->Elem(k, j), A::Div(prod, pivot));
      }
  }
  for (std::uint32_t n = R; n-- > 0;) {
    T s = T(0);
    for (std::uint32_t m = n + 1; m < R; ++m) s = A::Add(A::Mul(this->Elem(n, m), x.Elem(m, 0)), s);
    x.Elem(n, 0) = A::Div(A::Sub(this->Elem(n, R), s), this->Elem(n, n));
  }
  return 1;
}

extern template class TzMatrix<double>;
extern template class TzMatrix<float>;
extern template class TzMatrix<int>;
extern template class TzMatrix<TzLong>;

#endif
