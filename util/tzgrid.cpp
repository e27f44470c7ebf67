// Failure reports of TzGrid<T> (the template itself is in tzgrid.h).
#include "tzgrid.h"

#include <cstdio>

#include "tzcheck.h"

void TzGridFail(int line) { tz::error_line("tzgrid", line); }

void TzGridBadSubscript(int line) {
  std::fflush(stdout);
  std::fputs("Invalid subscript. \n", stderr);
  tz::error_line("tzgrid", line);
}
