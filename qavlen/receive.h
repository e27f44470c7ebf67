// Receive<T>: the interpolating receive port of the scalar value types
// (double, float, int, long) and of TzMatrix<double>.
//
// The port holds no data. Every query reads the data-pack array its one
// sender last published (oldest first, strictly increasing times) and fills
// in between the packs by the port's connection type:
//   Brokenline  the straight line between the two neighbouring packs;
//   Step        each pack's value holds over (previous pack time, own time];
//   Pulse       values only at pack times, zero in between; sums add them.
// Get_data gives the series at one time, Get_data_sum adds it up over an
// interval, Get_mean_data divides that sum by the interval's length.
//
// Arithmetic follows the value type. double and float compute in double and
// round the result to the type; int and long compute in their own 32 bits
// (wrapping, every division truncating toward zero, so a trapezoid is
// halved on its own before it is added); a matrix computes element by
// element. Time differences are whole numbers of time units.
//
// The owner asks Can_you_get_data for the times it wants before it asks for
// values (the element base does so for every receive port); asking outside
// the published span, or of an empty port, is a programming error that
// stops the program with the failed condition.
//
// The reports of this port name the unit p_tmp.cpp.
#ifndef QAVLEN_RECEIVE_H
#define QAVLEN_RECEIVE_H

#include <cstdint>
#include <type_traits>

#include "common.h"
#include "p_tmp.h"
#include "port.h"
#include "report_points.h"
#include "tzcheck.h"
#include "tzdefs.h"
#include "tzmatrix.h"
#include "tzsimple.h"

// The arithmetic of the interpolation and of the sums, by value type. Every
// formula is evaluated in the order written in Receive<T>.
template <class T, class Enable = void>
struct Receive_arith;

// double and float: in double, the result rounded to T.
template <class T>
struct Receive_arith<T, typename std::enable_if<std::is_floating_point<T>::value>::type> {
  static T Zero_like(const T&) { return T(0); }
  // (vb * (t - ta) + va * (tb - t)) / (tb - ta) with dtb = t - ta,
  // dta = tb - t, span = tb - ta.
  static T Line(const T& va, const T& vb, std::int64_t dtb, std::int64_t dta, std::int64_t span) {
    return T((static_cast<double>(vb) * static_cast<double>(dtb) +
              static_cast<double>(va) * static_cast<double>(dta)) /
             static_cast<double>(span));
  }
  // sum += (yp + yc) * dt / 2
  static void Add_trapezoid(T& sum, const T& yp, const T& yc, std::int64_t dt) {
    sum = T(static_cast<double>(sum) +
            (static_cast<double>(yp) + static_cast<double>(yc)) * static_cast<double>(dt) / 2.0);
  }
  // sum += dt * y
  static void Add_step(T& sum, std::int64_t dt, const T& y) {
    sum = T(static_cast<double>(sum) + static_cast<double>(dt) * static_cast<double>(y));
  }
  static void Add(T& sum, const T& y) { sum = T(static_cast<double>(sum) + static_cast<double>(y)); }
  static T Divide(const T& sum, std::int64_t dt) {
    return T(static_cast<double>(sum) / static_cast<double>(dt));
  }
};

// int and long: 32-bit integer arithmetic in T, wrapping on overflow, every
// division truncating toward zero.
template <class T>
struct Receive_arith<T, typename std::enable_if<std::is_same<T, int>::value ||
                                                std::is_same<T, TzLong>::value>::type> {
  using A = TzArith<T>;
  // A time difference as the system's long.
  static T Time(std::int64_t d) { return T(TzLong::wrap(static_cast<std::uint32_t>(d))); }
  static T Zero_like(const T&) { return T(0); }
  static T Line(const T& va, const T& vb, std::int64_t dtb, std::int64_t dta, std::int64_t span) {
    return A::Div(A::Add(A::Mul(vb, Time(dtb)), A::Mul(va, Time(dta))), Time(span));
  }
  static void Add_trapezoid(T& sum, const T& yp, const T& yc, std::int64_t dt) {
    sum = A::Add(sum, A::Div(A::Mul(A::Add(yp, yc), Time(dt)), T(2)));
  }
  static void Add_step(T& sum, std::int64_t dt, const T& y) { sum = A::Add(sum, A::Mul(Time(dt), y)); }
  static void Add(T& sum, const T& y) { sum = A::Add(sum, y); }
  static T Divide(const T& sum, std::int64_t dt) { return A::Div(sum, Time(dt)); }
};

// TzMatrix<double>: element by element; a time difference multiplies or
// divides every element. Sums start from a zero matrix of the packs' shape.
template <>
struct Receive_arith<TzMatrix<double>, void> {
  using M = TzMatrix<double>;
  static M Zero_like(const M& like) { return M(like.GetRows(), like.GetCols(), 0.0); }
  static M Line(const M& va, const M& vb, std::int64_t dtb, std::int64_t dta, std::int64_t span) {
    M r = vb * static_cast<double>(dtb);
    r += va * static_cast<double>(dta);
    r /= static_cast<double>(span);
    return r;
  }
  static void Add_trapezoid(M& sum, const M& yp, const M& yc, std::int64_t dt) {
    M r = yp + yc;
    r *= static_cast<double>(dt);
    r /= 2.0;
    sum += r;
  }
  static void Add_step(M& sum, std::int64_t dt, const M& y) { sum += y * static_cast<double>(dt); }
  static void Add(M& sum, const M& y) { sum += y; }
  static M Divide(const M& sum, std::int64_t dt) { return sum / static_cast<double>(dt); }
};

template <class T>
class Receive : public Receive_port, public Port_type<T> {
 public:
  enum DataConnectionType : std::int32_t { Brokenline = 0, Step = 1, Pulse = 2 };

  Receive() {
    class_name = "Receive";
    Set_data_connection_type(0);
  }
  Receive(const char* name, int number) : Receive_port(name, number) {
    class_name = "Receive";
    Set_data_connection_type(0);
  }
  ~Receive() override = default;

  Boolean Init(const char* name, int number) override { return Receive_port::Init(name, number); }
  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  // A new port of type Brokenline, owned by the caller.
  Port* NewPort() override { return new Receive<T>(); }

  // The value of the series at t.
  virtual T Get_data(Long t);
  // 1 and the value of the pack at exactly t, or 0 with v untouched;
  // whatever the connection type.
  virtual Boolean Get_pulse_data(Long t, T& v);
  // v = Get_data(t), through the virtual entry.
  virtual void Get_data(Long t, T& v) { v = Get_data(t); }
  // The series summed over [t1, t2].
  virtual T Get_data_sum(Long t1, Long t2);

  // 0 Brokenline, 1 Step, 2 Pulse; any other value ends the program with
  // status 1 (p_tmp 76).
  void Set_data_connection_type(int type);
  // Get_data_sum(t1, t2) / (t2 - t1); t1 must be below t2.
  T Get_mean_data(Long t1, Long t2);

 protected:
  DataConnectionType data_connection_type = Brokenline;

 private:
  using Arith = Receive_arith<T>;

  // The bracket of a time s in the published array: with `hit`, pack m
  // lies at s; otherwise b = a + 1 (a = b for one pack) and
  // time[a] <= s <= time[b]. The first and the last pack are never tested.
  struct Bracket {
    int a, b, m;
    bool hit;
  };
  static Bracket Search(Data_pack* const* array, int n, Long s);
  // The sums of Get_data_sum over [t1, t2] by connection type, t1 bracketed
  // by k (t1 < t2, both within the n published packs).
  static T Sum_brokenline(Data_pack* const* array, const Bracket& k, Long t1, Long t2);
  static T Sum_step(Data_pack* const* array, const Bracket& k, Long t1, Long t2);
  static T Sum_pulse(Data_pack* const* array, int n, const Bracket& k, Long t2);
  static const Data<T>* Pack(Data_pack* const* array, int i) {
    return static_cast<const Data<T>*>(array[i]);
  }
  static T Value(Data_pack* const* array, int i) { return Pack(array, i)->Value(); }
  static Long Time(Data_pack* const* array, int i) { return array[i]->Data_time(); }
  static std::int64_t Diff(Long x, Long y) { return static_cast<std::int64_t>(x) - y; }
};

template <class T>
void Receive<T>::Set_data_connection_type(int type) {
  switch (type) {
    case 0:
      data_connection_type = Brokenline;
      return;
    case 1:
      data_connection_type = Step;
      return;
    case 2:
      data_connection_type = Pulse;
      return;
    default:
      Report(P_tmp_point::connection_type_unknown);
      tz::stop(1);
  }
}

template <class T>
typename Receive<T>::Bracket Receive<T>::Search(Data_pack* const* array, int n, Long s) {
  Bracket k{0, n - 1, -1, false};
  while (k.b - k.a > 1) {
    int m = (k.a + k.b) / 2;
    Long tm = Time(array, m);
    if (tm < s) {
      k.a = m;
    } else if (tm > s) {
      k.b = m;
    } else {
      k.m = m;
      k.hit = true;
      return k;
    }
  }
  return k;
}

template <class T>
T Receive<T>::Get_data(Long t) {
  Data_pack* const* array = nullptr;
  int number_of_data_packs = 0;
  Get_data_pack_array(array, number_of_data_packs);
  TZ_CHECK_AT(number_of_data_packs > 0, "p_tmp.cpp", 94);
  const int n = number_of_data_packs;
  const Long ta = Time(array, 0), tb = Time(array, n - 1);
  TZ_CHECK_AT(t >= ta && t <= tb, "p_tmp.cpp", 101);

  const Bracket k = Search(array, n, t);
  if (k.hit) return Value(array, k.m);
  const Long t_a = Time(array, k.a), t_b = Time(array, k.b);
  switch (data_connection_type) {
    case Brokenline:
      if (k.a == k.b) return Value(array, k.a);
      return Arith::Line(Value(array, k.a), Value(array, k.b), Diff(t, t_a), Diff(t_b, t),
                         Diff(t_b, t_a));
    case Step:
      return Value(array, k.b);
    case Pulse:
      if (t == t_a) return Value(array, k.a);
      if (t == t_b) return Value(array, k.b);
      return Arith::Zero_like(Value(array, k.a));
  }
  Eprint(P_tmp_point::type_unknown_between_packs, 1);
  tz::stop(1);
}

template <class T>
Boolean Receive<T>::Get_pulse_data(Long t, T& v) {
  Data_pack* const* array = nullptr;
  int n = 0;
  Get_data_pack_array(array, n);
  if (n <= 0) return NO;
  if (t < Time(array, 0) || t > Time(array, n - 1)) return NO;
  // The first pack at or after t, by halving.
  int lo = 0, hi = n - 1;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (Time(array, mid) < t)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (Time(array, lo) != t) return NO;
  v = Value(array, lo);
  return YES;
}

template <class T>
T Receive<T>::Get_data_sum(Long t1, Long t2) {
  TZ_CHECK_AT(t1 <= t2, "p_tmp.cpp", 301);
  if (t1 == t2) return T(0);

  Data_pack* const* array = nullptr;
  int number_of_data_packs = 0;
  Get_data_pack_array(array, number_of_data_packs);
  TZ_CHECK_AT(number_of_data_packs > 1, "p_tmp.cpp", 312);
  const int n = number_of_data_packs;
  const Long ta = Time(array, 0), tb = Time(array, n - 1);
  TZ_CHECK_AT(t1 >= ta && t2 <= tb, "p_tmp.cpp", 319);

  const Bracket k = Search(array, n, t1);
  switch (data_connection_type) {
    case Brokenline:
      return Sum_brokenline(array, k, t1, t2);
    case Step:
      return Sum_step(array, k, t1, t2);
    case Pulse:
      return Sum_pulse(array, n, k, t2);
  }
  Eprint(P_tmp_point::type_unknown_in_sum, 1);
  tz::stop(1);
}

template <class T>
T Receive<T>::Sum_brokenline(Data_pack* const* array, const Bracket& k, Long t1, Long t2) {
  // The trapezoid rule on the broken line, its ends interpolated. t1 lies
  // in (time[b-1], time[b]] or, at the first pack, at time[a].
  T sum = Arith::Zero_like(Value(array, 0));
  const int a = k.hit ? k.m - 1 : k.a;
  const int b = k.hit ? k.m : k.b;
  const Long t_a = Time(array, a), t_b = Time(array, b);
  const T ya = Arith::Line(Value(array, a), Value(array, b), Diff(t1, t_a), Diff(t_b, t1), Diff(t_b, t_a));
  Long tp = t1;
  T yp = ya;
  int i = b;
  Long tc = Time(array, i);
  T yc = Value(array, i);
  while (tc < t2) {
    Arith::Add_trapezoid(sum, yp, yc, Diff(tc, tp));
    tp = tc;
    yp = yc;
    ++i;
    tc = Time(array, i);
    yc = Value(array, i);
  }
  const T ys = Arith::Line(yp, yc, Diff(t2, tp), Diff(tc, t2), Diff(tc, tp));
  Arith::Add_trapezoid(sum, yp, ys, Diff(t2, tp));
  return sum;
}

template <class T>
T Receive<T>::Sum_step(Data_pack* const* array, const Bracket& k, Long t1, Long t2) {
  // Each pack's value over (previous time, own time].
  T sum = Arith::Zero_like(Value(array, 0));
  int i = k.hit ? k.m : k.b;
  Long tp = t1;
  Long tc = Time(array, i);
  T yc = Value(array, i);
  while (tc < t2) {
    Arith::Add_step(sum, Diff(tc, tp), yc);
    tp = tc;
    ++i;
    tc = Time(array, i);
    yc = Value(array, i);
  }
  Arith::Add_step(sum, Diff(t2, tp), yc);
  return sum;
}

template <class T>
T Receive<T>::Sum_pulse(Data_pack* const* array, int n, const Bracket& k, Long t2) {
  // The packs with t1 < time <= t2.
  T sum = Arith::Zero_like(Value(array, 0));
  for (int i = k.hit ? k.m + 1 : k.b; i < n && Time(array, i) <= t2; ++i) Arith::Add(sum, Value(array, i));
  return sum;
}

template <class T>
T Receive<T>::Get_mean_data(Long t1, Long t2) {
  // An empty interval has no mean (and an integer division by zero would
  // end the program without a word).
  TZ_CHECK_AT(t1 < t2, "p_tmp.cpp", 462);
  return Arith::Divide(Get_data_sum(t1, t2), Diff(t2, t1));
}

extern template class Receive<double>;
extern template class Receive<float>;
extern template class Receive<int>;
extern template class Receive<TzLong>;
extern template class Receive<TzMatrix<double> >;

#endif
