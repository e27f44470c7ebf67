// The instances of the typed framework classes for the thirteen port value
// types, compiled once.
#include "p_tmp.h"
#include "receive.h"

#define QAVLEN_VALUE_TYPE(T) \
  template class Data<T>;    \
  template class Send<T>;
#define QAVLEN_PULSE_TYPE(T) template class ReceiveNointp<T>;
QAVLEN_VALUE_TYPE(double)
QAVLEN_VALUE_TYPE(float)
QAVLEN_VALUE_TYPE(int)
QAVLEN_VALUE_TYPE(TzLong)
QAVLEN_VALUE_TYPE(QavlenString)
QAVLEN_VALUE_TYPE(Vary<double>)
QAVLEN_VALUE_TYPE(Vary<float>)
QAVLEN_VALUE_TYPE(Vary<int>)
QAVLEN_VALUE_TYPE(Vary<TzLong>)
QAVLEN_VALUE_TYPE(TzMatrix<double>)
QAVLEN_VALUE_TYPE(TzMatrix<float>)
QAVLEN_VALUE_TYPE(TzMatrix<int>)
QAVLEN_VALUE_TYPE(TzMatrix<TzLong>)
QAVLEN_PULSE_TYPE(QavlenString)
QAVLEN_PULSE_TYPE(Vary<double>)
QAVLEN_PULSE_TYPE(Vary<float>)
QAVLEN_PULSE_TYPE(Vary<int>)
QAVLEN_PULSE_TYPE(Vary<TzLong>)
QAVLEN_PULSE_TYPE(TzMatrix<double>)
QAVLEN_PULSE_TYPE(TzMatrix<float>)
QAVLEN_PULSE_TYPE(TzMatrix<int>)
QAVLEN_PULSE_TYPE(TzMatrix<TzLong>)

// The interpolating receive port of the scalar types and of the double
// matrix.
template class Receive<double>;
template class Receive<float>;
template class Receive<int>;
template class Receive<TzLong>;
template class Receive<TzMatrix<double> >;
