// The four instances of the grid and the matrix (double, float, int and the
// system's long), compiled once here so that every member exists for every
// element type; the headers declare them extern.
#include "tzgrid.h"
#include "tzmatrix.h"
#include "tzsimple.h"

template class TzGrid<double>;
template class TzGrid<float>;
template class TzGrid<int>;
template class TzGrid<TzLong>;

template class TzMatrix<double>;
template class TzMatrix<float>;
template class TzMatrix<int>;
template class TzMatrix<TzLong>;

template double TzAbsVal<double>(double);
template float TzAbsVal<float>(float);
template int TzAbsVal<int>(int);
template TzLong TzAbsVal<TzLong>(TzLong);
