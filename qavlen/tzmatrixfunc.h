// Vary<T>, the counted array carried by ports ("Vdary", "Vfary", "Viary",
// "Vlary"), and the text forms of arrays and matrices.
//
// Data form: the count (rows and cols for a matrix) in int data form, then
// every element in its scalar data form; matrices column by column.
// Output form: "<count>" and " <element>" for each; a matrix writes
// "<rows> <cols>", then per column a line end and "<element> " per row,
// without a final line end.
// Reading form: the count (rows, cols) and the elements, one item each, in
// the order of the data form.
#ifndef QAVLEN_TZMATRIXFUNC_H
#define QAVLEN_TZMATRIXFUNC_H

#include <cstdio>
#include <memory>

#include "data2str.h"
#include "tzcheck.h"
#include "tzdefs.h"
#include "tzmatrix.h"

template <class T>
class Vary {
 public:
  Vary() = default;
  // n elements, each 0.
  explicit Vary(int n) { Resize(n); }
  Vary(const Vary& o) : v(o.size > 0 ? new T[static_cast<std::size_t>(o.size)] : nullptr), size(o.size) {
    for (int i = 0; i < size; ++i) v[i] = o.v[i];
  }
  Vary& operator=(const Vary& o) {
    if (this == &o) return *this;
    v.reset();
    size = 0;
    if (o.size > 0) v.reset(new T[static_cast<std::size_t>(o.size)]);
    size = o.size;
    for (int i = 0; i < size; ++i) v[i] = o.v[i];
    return *this;
  }
  ~Vary() = default;

  // n new elements, each 0; the old contents are not kept, even when the
  // size stays the same.
  void Resize(int n) {
    TZ_CHECK(n >= 0, "tzmatrixfunc.cpp");
    v.reset();
    size = 0;
    if (n > 0) v.reset(new T[static_cast<std::size_t>(n)]());
    size = n;
  }
  // Element i, not checked.
  T& operator[](int i) { return v[i]; }
  T Value(int i) const { return v[i]; }
  int Size() const { return size; }

 private:
  std::unique_ptr<T[]> v;
  int size = 0;
};

template <class T>
void data2file(const Vary<T>& x, FILE* f) {
  data2file(x.Size(), f);
  for (int i = 0; i < x.Size(); ++i) data2file(x.Value(i), f);
}

template <class T>
void data2ofile(const Vary<T>& x, FILE* f) {
  data2ofile(x.Size(), f);
  for (int i = 0; i < x.Size(); ++i) {
    std::fputc(' ', f);
    data2ofile(x.Value(i), f);
  }
}

// A count that is missing or not a number leaves x unchanged.
template <class T>
void dstr2data(char*& cursor, Vary<T>& x) {
  int count = 0;
  if (!Read_item(cursor, count)) return;
  TZ_CHECK(count >= 0, "tzmatrixfunc.cpp");
  x.Resize(count);
  for (int i = 0; i < count; ++i) dstr2data(cursor, x[i]);
}

template <class T>
void data2file(const TzMatrix<T>& m, FILE* f) {
  const unsigned rows = m.GetRows(), cols = m.GetCols();
  data2file(static_cast<int>(rows), f);
  data2file(static_cast<int>(cols), f);
  for (unsigned c = 0; c < cols; ++c)
    for (unsigned r = 0; r < rows; ++r) data2file(m.Elem(r, c), f);
}

template <class T>
void data2ofile(const TzMatrix<T>& m, FILE* f) {
  const unsigned rows = m.GetRows(), cols = m.GetCols();
  std::fprintf(f, "%d %d", static_cast<int>(rows), static_cast<int>(cols));
  for (unsigned c = 0; c < cols; ++c) {
    std::fputc('\n', f);
    for (unsigned r = 0; r < rows; ++r) {
      data2ofile(m.Elem(r, c), f);
      std::fputc(' ', f);
    }
  }
}

// Rows and cols that are missing or not numbers leave m unchanged; the
// elements that are missing stay 0.
template <class T>
void dstr2data(char*& cursor, TzMatrix<T>& m) {
  int rows = 0, cols = 0;
  if (!Read_item(cursor, rows)) return;
  if (!Read_item(cursor, cols)) return;
  TZ_CHECK(rows > 0 && cols > 0, "tzmatrixfunc.cpp");
  m.Resize(static_cast<unsigned>(rows), static_cast<unsigned>(cols), T(0));
  for (unsigned c = 0; c < static_cast<unsigned>(cols); ++c)
    for (unsigned r = 0; r < static_cast<unsigned>(rows); ++r) dstr2data(cursor, m.Elem(r, c));
}

#endif
