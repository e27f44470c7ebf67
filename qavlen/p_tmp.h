// The typed framework classes of the thirteen port value types: the data
// pack Data<T>, the send port Send<T> and the pulse receive port
// ReceiveNointp<T>. The instances are compiled once, in p_tmp.cpp.
#ifndef QAVLEN_P_TMP_H
#define QAVLEN_P_TMP_H

#include <algorithm>
#include <cstdio>
#include <type_traits>

#include "data2str.h"
#include "datapack.h"
#include "port.h"
#include "qstring.h"
#include "report_points.h"
#include "send.h"
#include "tzcheck.h"
#include "tzmatrixfunc.h"

// One value of type T with its time. The value is the pack's own copy.
template <class T>
class Data : public Data_pack, public Port_type<T> {
 public:
  // Time 0; a scalar value is 0, the others as their default constructor
  // makes them.
  Data() : value() {}
  // Reads the pack from the item list at the cursor, as Dstr2dpack.
  explicit Data(char*& cursor) : value() { Dstr2dpack(cursor); }

  void Set_data(Long t, const T& x) {
    data_time = t;
    value = x;
  }
  void Get_data(Long& t, T& x) const {
    t = data_time;
    x = value;
  }
  // The pack's own value, not a copy: a grid is read in place.
  const T& Value() const { return value; }

  // "(<time>)\n", then the value in data form.
  void Dpack2file(FILE* f) override {
    data2file(data_time, f);
    data2file(value, f);
  }
  // "<time> ", then the value in output form.
  void Dpack2ofile(FILE* f) override {
    std::fprintf(f, "%d ", data_time);
    data2ofile(value, f);
  }
  // The time from one item, then the value in reading form.
  void Dstr2dpack(char*& cursor) override {
    dstr2data(cursor, data_time);
    dstr2data(cursor, value);
  }

 private:
  T value;
};

// The typed send port: wraps values of type T into packs and stocks them.
template <class T>
class Send : public Send_port, public Port_type<T> {
 public:
  Send() { class_name = "Send"; }
  Send(const char* name, int number) : Send_port(name, number) { class_name = "Send"; }

  Boolean Init(const char* name, int number) override { return Send_port::Init(name, number); }
  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  Port* NewPort() override { return new Send<T>(); }

  // Restores one pack from the item list at the cursor and stocks it.
  void Send_by_string(char*& cursor) override {
    TZ_CHECK(Are_you_ready() == YES, "p_tmp.cpp");
    Data<T>* pack;
    {
      Memory_site site(P_tmp_point::restored_pack_memory, "Data", 0, 1, this);
      pack = new Data<T>();
      pack->Dstr2dpack(cursor);
    }
    Stock(pack);
  }
  // A new pack of time t holding a copy of v, stocked.
  virtual void Send_data(Long t, const T& v) {
    TZ_CHECK(Are_you_ready() == YES, "p_tmp.cpp");
    Data<T>* pack;
    {
      Memory_site site(P_tmp_point::sent_pack_memory, "Data", 0, 1, this);
      pack = new Data<T>();
      pack->Set_data(t, v);
    }
    Stock(pack);
  }
};

// The receive port for values that are not interpolated in time (texts,
// arrays, matrices): the sender's value at exactly a given time.
template <class T>
class ReceiveNointp : public Receive_port, public Port_type<T> {
  static_assert(!std::is_arithmetic<T>::value && !std::is_same<T, TzLong>::value,
                "scalars are received through Receive<T>");

 public:
  ReceiveNointp() { class_name = "ReceiveNointp"; }
  ReceiveNointp(const char* name, int number) : Receive_port(name, number) { class_name = "ReceiveNointp"; }

  Boolean Init(const char* name, int number) override { return Receive_port::Init(name, number); }
  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  Port* NewPort() override { return new ReceiveNointp<T>(); }

  // 1 and a copy of the value of the published pack at exactly t; 0 and v
  // untouched when there is none.
  virtual Boolean Get_pulse_data(Long t, T& v) {
    Data_pack* const* array = nullptr;
    int n = 0;
    Get_data_pack_array(array, n);
    if (n <= 0) return NO;
    Data_pack* const* hit =
        std::lower_bound(array, array + n, t, [](const Data_pack* p, Long x) { return p->Data_time() < x; });
    if (hit == array + n || (*hit)->Data_time() != t) return NO;
    v = static_cast<const Data<T>*>(*hit)->Value();
    return YES;
  }
};

#define QAVLEN_EXTERN_VALUE_TYPE(T) \
  extern template class Data<T>;    \
  extern template class Send<T>;
#define QAVLEN_EXTERN_PULSE_TYPE(T) extern template class ReceiveNointp<T>;
QAVLEN_EXTERN_VALUE_TYPE(double)
QAVLEN_EXTERN_VALUE_TYPE(float)
QAVLEN_EXTERN_VALUE_TYPE(int)
QAVLEN_EXTERN_VALUE_TYPE(TzLong)
QAVLEN_EXTERN_VALUE_TYPE(QavlenString)
QAVLEN_EXTERN_VALUE_TYPE(Vary<double>)
QAVLEN_EXTERN_VALUE_TYPE(Vary<float>)
QAVLEN_EXTERN_VALUE_TYPE(Vary<int>)
QAVLEN_EXTERN_VALUE_TYPE(Vary<TzLong>)
QAVLEN_EXTERN_VALUE_TYPE(TzMatrix<double>)
QAVLEN_EXTERN_VALUE_TYPE(TzMatrix<float>)
QAVLEN_EXTERN_VALUE_TYPE(TzMatrix<int>)
QAVLEN_EXTERN_VALUE_TYPE(TzMatrix<TzLong>)
QAVLEN_EXTERN_PULSE_TYPE(QavlenString)
QAVLEN_EXTERN_PULSE_TYPE(Vary<double>)
QAVLEN_EXTERN_PULSE_TYPE(Vary<float>)
QAVLEN_EXTERN_PULSE_TYPE(Vary<int>)
QAVLEN_EXTERN_PULSE_TYPE(Vary<TzLong>)
QAVLEN_EXTERN_PULSE_TYPE(TzMatrix<double>)
QAVLEN_EXTERN_PULSE_TYPE(TzMatrix<float>)
QAVLEN_EXTERN_PULSE_TYPE(TzMatrix<int>)
QAVLEN_EXTERN_PULSE_TYPE(TzMatrix<TzLong>)
#undef QAVLEN_EXTERN_VALUE_TYPE
#undef QAVLEN_EXTERN_PULSE_TYPE

#endif
