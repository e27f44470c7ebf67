// Failure reports of TzMatrix<T> (the template itself is in tzmatrix.h).
#include "tzmatrix.h"

#include <cstdio>

#include "tzcheck.h"

void TzMatrixFail(int line) { tz::error_line("tzmatrix", line); }

void TzMatrixBadColumns(int line) {
  std::fflush(stdout);
  std::fputs("The number of columns is not appropriate.\n", stderr);
  tz::error_line("tzmatrix", line);
}
