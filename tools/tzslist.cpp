// The list instances the tools use, compiled once here.
#include "tzslist.h"

template class TzSListDynamic<Long>;
