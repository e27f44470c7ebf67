// Helpers every preparation tool carries: the program name without its
// directories, and the output of a TzString.
#ifndef NOPATH_H
#define NOPATH_H

#include <ostream>

#include "tzstr.h"

// A pointer just after the last '/' of aFn, or aFn itself without a '/'.
// Only '/' separates directories; nothing is copied.
char* nopath(char* aFn);

// Writes the text of str (nothing for an empty string); no separator.
std::ostream& operator<<(std::ostream& strm, const TzString& str);

#endif
