#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "port.h"
#include "qavlen_testing.h"
#include "receive.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;
using qtest::Test_owner;
using qtest::Test_receiver;
using qtest::Test_sender;

TEST(ReceivePort, SetSenderTestsInOrder) {
  Qavlensdir none(nullptr);
  Test_owner e("e", 0);
  Test_receiver r("rp", 0, "TzDMatrix");
  r.Set_owner(&e);
  Test_sender dbl("sd", 1, "double"), mat("sm", 2, "TzDMatrix"), mat2("sm2", 3, "TzDMatrix");
  const std::string me = "    Receive_port<TzDMatrix> rp 0 \n        owner > Element e 0\n";
  EXPECT_STREQ(r.Class_name(), "Receive_port");
  EXPECT_EQ(r.Switch(), 1);
  EXPECT_EQ(r.Are_you_ready(), 0);
  std::string err = stderr_of([&] { EXPECT_EQ(r.Set_sender(nullptr), 0); });
  EXPECT_EQ(err, "E : receive.cpp : 30 : \n" + me);
  err = stderr_of([&] { EXPECT_EQ(r.Set_sender(&dbl), 0); });
  EXPECT_EQ(err, "E : receive.cpp : 52 : \n    s > Sender_port<double> sd 1 \n" + me);
  EXPECT_EQ(r.Sender(), nullptr);
  EXPECT_EQ(r.Are_you_ready(), 0);
  EXPECT_EQ(r.Set_sender(&mat), 1);
  EXPECT_EQ(r.Are_you_ready(), 1);
  // A second sender, the same one included, is refused before the type test.
  for (Test_sender* s : {&mat, &mat2, &dbl}) {
    err = stderr_of([&] { EXPECT_EQ(r.Set_sender(s), 0); });
    std::string offered = stderr_of([&] { s->Cprint("    connecting to : "); });
    EXPECT_EQ(err, "E : receive.cpp : 37 : \n    connected to  : Sender_port<TzDMatrix> sm 2 \n" + offered + me);
  }
  EXPECT_EQ(r.Sender(), &mat);
  EXPECT_EQ(r.Switch(), 1);
}

TEST(ReceivePort, DataOperationsAreForwardedToTheSender) {
  Test_sender s("sp", 0, "double");
  Test_receiver r1("r1", 0, "double"), r2("r2", 0, "double");
  ASSERT_EQ(r1.Set_sender(&s), 1);
  ASSERT_EQ(r2.Set_sender(&s), 1);
  r1.Creq();
  r1.Set_data_pack_array();
  EXPECT_EQ(r1.Can_you_get_data(10, 30), 1);
  Data_pack* const* array = reinterpret_cast<Data_pack* const*>(&s);
  int n = 0;
  r2.Get_data_pack_array(array, n);
  EXPECT_EQ(array, nullptr);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(r1.Oldest_data_time(), 11);
  EXPECT_EQ(r2.Newest_data_time(), 22);
  EXPECT_EQ(r1.Number_of_data_packs(), 3);
  Data_pack *before, *after;
  EXPECT_EQ(r2.Get_data_pack(before, 25, after, 'l'), 1);
  r2.Reduce_data_pack_stock();
  EXPECT_EQ(s.calls,
            "Creq;Set_data_pack_array;Can_you_get_data(10,30);Get_data_pack_array;"
            "Get_data_pack(25,l);Reduce_data_pack_stock;");
}

TEST(ReceivePort, TimeWindowComesFromTheOwner) {
  Test_receiver r("rp", 0, "double");
  EXPECT_EQ(r.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(r.Necessary_time_to(), LONG_MAX32);
  Object plain("not_an_element", 0);
  Test_receiver q("rq", 0, "double");
  q.Set_owner(&plain);
  EXPECT_EQ(q.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(q.Necessary_time_to(), LONG_MAX32);
  Test_owner e("e", 0);
  e.from = 3600;
  e.to = 7200;
  r.Set_owner(&e);
  EXPECT_EQ(r.Necessary_time_from(), 3600);
  EXPECT_EQ(r.Necessary_time_to(), 7200);
}

TEST(ReceivePort, PrintConnection) {
  Test_owner e("e", 0), up("up", 1);
  Test_receiver r("rp", 0, "double");
  r.Set_owner(&e);
  EXPECT_EQ(stderr_of([&] { r.Print_connection(stderr, ""); }),
            "Receive_port<double> rp 0 \n    owner > Element e 0\n\tNot connected.\n");
  Test_sender s("sp", 2, "double");
  s.Set_owner(&up);
  r.Set_sender(&s);
  EXPECT_EQ(stderr_of([&] { r.Print_connection(stderr, "  "); }),
            "  Receive_port<double> rp 0 \n"
            "      owner > Element e 0\n"
            "  Connected > Sender_port<double> sp 2 \n"
            "  Connected >     owner > Element up 1\n");
}

// A data question on a port without sender is a fault of the caller: it
// stops on a check instead of following a null sender.
TEST(ReceivePortDeathTest, ForwardWithoutSenderStops) {
  Test_receiver r("rp", 0, "double");
  const char* stop = "receive\\.cpp:[0-9]+: Assertion `sender != nullptr' failed\\.";
  EXPECT_DEATH(r.Creq(), stop);
  EXPECT_DEATH(r.Newest_data_time(), stop);
  EXPECT_DEATH(r.Reduce_data_pack_stock(), stop);
}

// ---- Receive<T>: the interpolating receive port ----

// A value of T from a double (integers truncated) and back.
template <class T>
T make(double v) {
  if constexpr (std::is_floating_point<T>::value)
    return static_cast<T>(v);
  else
    return T(static_cast<int>(v));
}
template <class T>
double number(const T& v) {
  if constexpr (std::is_floating_point<T>::value)
    return static_cast<double>(v);
  else
    return static_cast<double>(static_cast<int>(v));
}

// A send port and an interpolating receiver connected to it, the sender
// holding the given (time, value) packs, published.
template <class T>
struct Series {
  Send<T> sp{"sp", 0};
  Receive<T> rp{"rp", 0};
  explicit Series(std::initializer_list<std::pair<Long, double>> packs, int type = 0) {
    std::vector<std::pair<Long, double>> v(packs);
    Build(v, type);
  }
  Series(const std::vector<std::pair<Long, double>>& packs, int type) { Build(packs, type); }
  void Build(const std::vector<std::pair<Long, double>>& packs, int type) {
    EXPECT_EQ(sp.Register_receiver(&rp), YES);
    EXPECT_EQ(rp.Set_sender(&sp), YES);
    EXPECT_EQ(sp.Switch(), YES);
    for (const auto& p : packs) sp.Send_data(p.first, make<T>(p.second));
    sp.Set_data_pack_array();
    rp.Set_data_connection_type(type);
  }
};

template <class T>
class ReceiveTyped : public testing::Test {};
using ScalarTypes = testing::Types<double, float, int, TzLong>;
TYPED_TEST_SUITE(ReceiveTyped, ScalarTypes);

TYPED_TEST(ReceiveTyped, ClassWordTypeNameAndNewPort) {
  using T = TypeParam;
  Receive<T> rp("rpu", 0);
  EXPECT_STREQ(rp.Class_name(), "Receive");
  EXPECT_STREQ(rp.Data_pack_type(), Port_type<T>::data_pack_type);
  Port* p = rp.NewPort();
  ASSERT_NE(dynamic_cast<Receive<T>*>(p), nullptr);
  EXPECT_STREQ(p->Class_name(), "Receive");
  EXPECT_EQ(p->Object_name(), nullptr);
  delete p;
}

// Packs (0, 10), (100, 20), (200, 40), each connection type.
TYPED_TEST(ReceiveTyped, WorkedTable) {
  using T = TypeParam;
  const bool integer = !std::is_floating_point<T>::value;
  struct Row {
    const char* query;
    Long t1, t2;
    double line, step, pulse;
  };
  const Row rows[] = {
      {"Get_data", 0, 0, 10, 20, 10},
      {"Get_data", 50, 50, 15, 20, 0},
      {"Get_data", 100, 100, 20, 20, 20},
      {"Get_data", 150, 150, 30, 40, 0},
      {"Get_data", 200, 200, 40, 40, 40},
      {"Get_data_sum", 50, 150, 2125, 3000, 20},
      {"Get_data_sum", 0, 200, 4500, 6000, 60},
      {"Get_data_sum", 100, 200, 3000, 4000, 40},
      // The integer types divide in integers, truncating.
      {"Get_mean_data", 50, 150, integer ? 21 : 21.25, 30, integer ? 0 : 0.2},
  };
  for (int type = 0; type < 3; ++type) {
    Series<T> s({{0, 10}, {100, 20}, {200, 40}}, type);
    for (const Row& r : rows) {
      const double want = type == 0 ? r.line : type == 1 ? r.step : r.pulse;
      const std::string q = r.query;
      T got = q == "Get_data"       ? s.rp.Get_data(r.t1)
              : q == "Get_data_sum" ? s.rp.Get_data_sum(r.t1, r.t2)
                                    : s.rp.Get_mean_data(r.t1, r.t2);
      EXPECT_EQ(got, make<T>(want)) << q << "(" << r.t1 << ", " << r.t2 << ") type " << type;
    }
  }
}

TYPED_TEST(ReceiveTyped, OnePublishedPack) {
  using T = TypeParam;
  for (int type = 0; type < 3; ++type) {
    Series<T> s({{600, 7}}, type);
    EXPECT_EQ(s.rp.Get_data(600), make<T>(7)) << type;
    EXPECT_EQ(s.rp.Get_data_sum(600, 600), make<T>(0)) << type;
  }
}

TYPED_TEST(ReceiveTyped, TwoPacksStepGivesTheSecondEverywhere) {
  using T = TypeParam;
  Series<T> s({{0, 3}, {60, 9}}, 1);
  for (Long t : {0, 1, 30, 59, 60}) EXPECT_EQ(s.rp.Get_data(t), make<T>(9)) << t;
  Series<T> line({{0, 3}, {60, 9}}, 0);
  EXPECT_EQ(line.rp.Get_data(0), make<T>(3));
  EXPECT_EQ(line.rp.Get_data(20), make<T>(5));
  EXPECT_EQ(line.rp.Get_data(60), make<T>(9));
}

TYPED_TEST(ReceiveTyped, PackTimesInsideAreExactHitsForEveryType) {
  using T = TypeParam;
  const std::vector<std::pair<Long, double>> packs = {{0, 1},   {100, 5}, {200, -7}, {300, 2},
                                                      {400, 8}, {500, 3}, {600, 4}};
  for (int type = 0; type < 3; ++type) {
    Series<T> s(packs, type);
    for (std::size_t i = 1; i + 1 < packs.size(); ++i)
      EXPECT_EQ(s.rp.Get_data(packs[i].first), make<T>(packs[i].second)) << type << " " << i;
    // At the last pack every type gives its value; at the first, Step
    // gives the pack that closes the first interval.
    EXPECT_EQ(s.rp.Get_data(600), make<T>(4)) << type;
    EXPECT_EQ(s.rp.Get_data(0), make<T>(type == 1 ? 5 : 1)) << type;
    // Get_data(t, v) gives the same answer.
    T v = make<T>(99);
    s.rp.Get_data(250, v);
    EXPECT_EQ(v, s.rp.Get_data(250)) << type;
  }
}

TYPED_TEST(ReceiveTyped, PulseSumLeavesOutThePackAtT1AndCountsTheOneAtT2) {
  using T = TypeParam;
  Series<T> s({{0, 1}, {100, 2}, {200, 4}, {300, 8}}, 2);
  EXPECT_EQ(s.rp.Get_data_sum(100, 300), make<T>(12));
  EXPECT_EQ(s.rp.Get_data_sum(0, 100), make<T>(2));
  EXPECT_EQ(s.rp.Get_data_sum(101, 199), make<T>(0));
  EXPECT_EQ(s.rp.Get_data_sum(0, 300), make<T>(14));
  EXPECT_EQ(s.rp.Get_data(150), make<T>(0));
}

TYPED_TEST(ReceiveTyped, PulseDataAtExactPackTimesOnly) {
  using T = TypeParam;
  Series<T> s({{0, 1}, {3600, 2}, {7200, 3}}, 1);
  const struct {
    Long t;
    Boolean found;
    double v;
  } cases[] = {{0, YES, 1}, {3600, YES, 2}, {7200, YES, 3}, {1800, NO, 99}, {-1, NO, 99}, {7201, NO, 99}};
  for (const auto& c : cases) {
    T v = make<T>(99);
    EXPECT_EQ(s.rp.Get_pulse_data(c.t, v), c.found) << c.t;
    EXPECT_EQ(v, make<T>(c.v)) << c.t;
  }
  Series<T> none({}, 0);
  T v = make<T>(5);
  EXPECT_EQ(none.rp.Get_pulse_data(0, v), NO);
  EXPECT_EQ(v, make<T>(5));
}

// Sums over many packs and random intervals against the rules written out
// directly.
TYPED_TEST(ReceiveTyped, SumsAgreeWithTheRulesOverManyPacks) {
  using T = TypeParam;
  const bool integer = !std::is_floating_point<T>::value;
  std::mt19937 gen(7);
  std::vector<std::pair<Long, double>> packs;
  Long t = -500;
  for (int i = 0; i < 200; ++i) {
    t += 1 + static_cast<Long>(gen() % 50);
    packs.push_back({t, static_cast<double>(static_cast<int>(gen() % 41) - 20)});
  }
  const Long ta = packs.front().first, tb = packs.back().first;
  auto vt = [&](std::size_t i) { return number(make<T>(packs[i].second)); };
  for (int type = 0; type < 3; ++type) {
    Series<T> s(packs, type);
    for (int k = 0; k < 300; ++k) {
      Long t1 = ta + static_cast<Long>(gen() % static_cast<unsigned>(tb - ta + 1));
      Long t2 = ta + static_cast<Long>(gen() % static_cast<unsigned>(tb - ta + 1));
      if (k % 10 == 0) t1 = packs[gen() % packs.size()].first;  // exact hits
      if (t1 > t2) std::swap(t1, t2);
      double want = 0;
      if (type == 2) {
        for (std::size_t i = 0; i < packs.size(); ++i)
          if (packs[i].first > t1 && packs[i].first <= t2) want += vt(i);
      } else if (type == 1) {
        for (std::size_t i = 1; i < packs.size(); ++i) {
          Long lo = std::max(packs[i - 1].first, t1), hi = std::min(packs[i].first, t2);
          if (hi > lo) want += vt(i) * (hi - lo);
        }
      } else if (!integer && t1 < t2) {
        // The integral of the broken line: exact for the floating types.
        for (std::size_t i = 1; i < packs.size(); ++i) {
          Long lo = std::max(packs[i - 1].first, t1), hi = std::min(packs[i].first, t2);
          if (hi <= lo) continue;
          double t0 = packs[i - 1].first, t9 = packs[i].first;
          auto y = [&](double x) { return (vt(i) * (x - t0) + vt(i - 1) * (t9 - x)) / (t9 - t0); };
          want += (y(lo) + y(hi)) * (hi - lo) / 2;
        }
      } else {
        continue;  // truncating trapezoids: see the worked integer cases
      }
      double got = number(s.rp.Get_data_sum(t1, t2));
      if (std::is_same<T, float>::value)
        EXPECT_NEAR(got, want, 1e-5 * (std::fabs(want) + 1)) << type << " [" << t1 << ", " << t2 << "]";
      else if (type == 0)
        EXPECT_NEAR(got, want, 1e-9 * (std::fabs(want) + 1)) << type << " [" << t1 << ", " << t2 << "]";
      else
        EXPECT_EQ(got, want) << type << " [" << t1 << ", " << t2 << "]";
    }
  }
}

TYPED_TEST(ReceiveTyped, EmptyIntervalSumsToZeroBeforeAskingTheSender) {
  using T = TypeParam;
  Receive<T> unconnected("rp", 0);
  EXPECT_EQ(unconnected.Get_data_sum(600, 600), make<T>(0));
}

// The worked integer values: every division truncates toward zero, each
// trapezoid halved on its own.
TEST(ReceiveInteger, TruncatingArithmetic) {
  Series<int> s({{0, 1}, {3, 2}});
  EXPECT_EQ(s.rp.Get_data(1), 1);         // (2 * 1 + 1 * 2) / 3
  EXPECT_EQ(s.rp.Get_data_sum(0, 3), 4);  // (1 + 2) * 3 / 2
  EXPECT_EQ(s.rp.Get_mean_data(0, 3), 1);
  Series<TzLong> neg({{0, -1}, {1, -2}, {4, -4}});
  EXPECT_EQ(neg.rp.Get_data_sum(0, 1), TzLong(-1));  // (-3) / 2
  EXPECT_EQ(neg.rp.Get_data(2), TzLong(-2));         // (-4 * 1 + -2 * 2) / 3 = -8 / 3
  // [0, 1]: -1; [1, 4]: (-2 - 4) * 3 / 2 = -9
  EXPECT_EQ(neg.rp.Get_data_sum(0, 4), TzLong(-10));
  EXPECT_EQ(neg.rp.Get_mean_data(0, 4), TzLong(-2));
  // Products are formed in 32 bits, without widening; they wrap.
  Series<int> big({{0, 70000}, {70000, 70000}});
  EXPECT_EQ(big.rp.Get_data(35000), static_cast<int>((static_cast<std::uint32_t>(70000u * 35000u) * 2u)) / 70000);
}

TEST(ReceiveFloat, ComputedInDoubleAndRoundedToFloat) {
  Series<float> s({{0, 0}, {3, 1}});
  // 1/3 is rounded once to float, not computed from float products.
  EXPECT_EQ(s.rp.Get_data(1), static_cast<float>(1.0 / 3.0));
  EXPECT_EQ(s.rp.Get_mean_data(0, 3), 0.5f);
}

// A derived port's Get_data and Get_data_sum are used by Get_data(t, v)
// and Get_mean_data.
class Doubled : public Receive<double> {
 public:
  using Receive<double>::Get_data;
  double Get_data(Long t) override { return 2 * Receive<double>::Get_data(t); }
  double Get_data_sum(Long t1, Long t2) override { return 2 * Receive<double>::Get_data_sum(t1, t2); }
  void Force_type(int type) { data_connection_type = static_cast<DataConnectionType>(type); }
};

TEST(ReceiveDerived, VirtualEntriesAreUsed) {
  Send<double> sp("sp", 0);
  Doubled rp;
  ASSERT_EQ(rp.Init("rp", 0), YES);
  ASSERT_EQ(sp.Register_receiver(&rp), YES);
  ASSERT_EQ(rp.Set_sender(&sp), YES);
  ASSERT_EQ(sp.Switch(), YES);
  sp.Send_data(0, 10);
  sp.Send_data(100, 20);
  sp.Set_data_pack_array();
  double v = 0;
  rp.Get_data(50, v);
  EXPECT_EQ(v, 30);
  EXPECT_EQ(rp.Get_mean_data(0, 100), 30);
}

TEST(ReceiveDeathTest, PreconditionsStopWithTheirConditions) {
  EXPECT_DEATH(
      {
        Series<double> s({});
        s.rp.Get_data(0);
      },
      "p_tmp\\.cpp:94: Assertion `number_of_data_packs > 0' failed\\.");
  EXPECT_DEATH(
      {
        Receive<double> rp("rp", 0);
        Send<double> sp("sp", 0);  // connected, never switched
        rp.Set_sender(&sp);
        rp.Get_data(0);
      },
      "p_tmp\\.cpp:94: Assertion `number_of_data_packs > 0' failed\\.");
  EXPECT_DEATH(
      {
        Series<int> s({{0, 1}, {10, 2}});
        s.rp.Get_data(11);
      },
      "p_tmp\\.cpp:101: Assertion `t >= ta && t <= tb' failed\\.");
  EXPECT_DEATH(
      {
        Series<int> s({{0, 1}, {10, 2}});
        s.rp.Get_data(-1);
      },
      "p_tmp\\.cpp:101: Assertion `t >= ta && t <= tb' failed\\.");
  EXPECT_DEATH(
      {
        Series<float> s({{0, 1}, {10, 2}});
        s.rp.Get_data_sum(5, 4);
      },
      "p_tmp\\.cpp:301: Assertion `t1 <= t2' failed\\.");
  EXPECT_DEATH(
      {
        Series<TzLong> s({{600, 1}});
        s.rp.Get_data_sum(600, 601);
      },
      "p_tmp\\.cpp:312: Assertion `number_of_data_packs > 1' failed\\.");
  EXPECT_DEATH(
      {
        Series<double> s({{0, 1}, {10, 2}});
        s.rp.Get_data_sum(0, 11);
      },
      "p_tmp\\.cpp:319: Assertion `t1 >= ta && t2 <= tb' failed\\.");
  EXPECT_DEATH(
      {
        Series<double> s({{0, 1}, {10, 2}});
        s.rp.Get_data_sum(-1, 10);
      },
      "p_tmp\\.cpp:319: Assertion `t1 >= ta && t2 <= tb' failed\\.");
  // An empty interval has no mean.
  EXPECT_DEATH(
      {
        Series<int> s({{0, 1}, {10, 2}});
        s.rp.Get_mean_data(5, 5);
      },
      "p_tmp\\.cpp:462: Assertion `t1 < t2' failed\\.");
}

TEST(ReceiveDeathTest, UnknownConnectionTypes) {
  Qavlensdir none(nullptr);
  Test_owner e("kinem", 3, "Kinem");
  EXPECT_EXIT(
      {
        Receive<double> rp("rpl", 1);
        rp.Set_owner(&e);
        rp.Set_data_connection_type(3);
      },
      testing::ExitedWithCode(1),
      "^E : p_tmp\\.cpp : 76 : \n    Receive<double> rpl 1 \n        owner > Kinem kinem 3\n$");
  EXPECT_EXIT(
      {
        Receive<int> rp("rpl", 1);
        rp.Set_data_connection_type(-1);
      },
      testing::ExitedWithCode(1), "^E : p_tmp\\.cpp : 76 : \n    Receive<int> rpl 1 \n$");
  auto forced = [](Doubled& rp, Send<double>& sp) {
    rp.Init("rp", 0);
    sp.Register_receiver(&rp);
    rp.Set_sender(&sp);
    sp.Switch();
    sp.Send_data(0, 1);
    sp.Send_data(10, 2);
    sp.Send_data(20, 3);
    sp.Set_data_pack_array();
    rp.Force_type(7);
  };
  EXPECT_EXIT(
      {
        Send<double> sp("sp", 0);
        Doubled rp;
        forced(rp, sp);
        rp.Get_data(5);
      },
      testing::ExitedWithCode(1), "^E : p_tmp\\.cpp : 194 : \n$");
  EXPECT_EXIT(
      {
        Send<double> sp("sp", 0);
        Doubled rp;
        forced(rp, sp);
        rp.Get_data_sum(0, 5);
      },
      testing::ExitedWithCode(1), "^E : p_tmp\\.cpp : 456 : \n$");
  // An exact hit inside the bracket answers before the type is looked at.
  Send<double> sp("sp", 0);
  Doubled rp;
  forced(rp, sp);
  EXPECT_EQ(rp.Get_data(10), 4);
}

TEST(ReceiveDeathTest, ConnectionTypeErrorIsExplained) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  EXPECT_EXIT(
      {
        Receive<double> rp("rp", 0);
        rp.Set_data_connection_type(5);
      },
      testing::ExitedWithCode(1), "^E : p_tmp\\.cpp : 76 : \n    The connection type of an interpolating receive port");
}

// ---- Receive<TzMatrix<double> > ----

// A rows x cols matrix whose element (r, c) is v * (1 + r + 2 c).
TzMatrix<double> grid(double v, unsigned rows = 2, unsigned cols = 3) {
  TzMatrix<double> m(rows, cols, 0.0);
  for (unsigned r = 0; r < rows; ++r)
    for (unsigned c = 0; c < cols; ++c) m.Ref(r, c) = v * (1 + r + 2 * c);
  return m;
}

// The matrix holds v * (1 + r + 2 c) everywhere, to within rounding.
void expect_grid(const TzMatrix<double>& m, double v, unsigned rows, unsigned cols, const std::string& what) {
  ASSERT_EQ(m.GetRows(), rows) << what;
  ASSERT_EQ(m.GetCols(), cols) << what;
  for (unsigned r = 0; r < rows; ++r)
    for (unsigned c = 0; c < cols; ++c)
      EXPECT_NEAR(m(r, c), v * (1 + r + 2 * c), 1e-12 * (std::fabs(v) + 1) * (1 + r + 2 * c))
          << what << " at (" << r << ", " << c << ")";
}

struct Matrix_series {
  Send<TzMatrix<double>> sp{"sp", 0};
  Receive<TzMatrix<double>> rp{"rp", 0};
  Matrix_series(std::initializer_list<std::pair<Long, double>> packs, int type, unsigned rows, unsigned cols) {
    EXPECT_EQ(sp.Register_receiver(&rp), YES);
    EXPECT_EQ(rp.Set_sender(&sp), YES);
    EXPECT_EQ(sp.Switch(), YES);
    for (const auto& p : packs) sp.Send_data(p.first, grid(p.second, rows, cols));
    sp.Set_data_pack_array();
    rp.Set_data_connection_type(type);
  }
};

TEST(ReceiveMatrix, TypeName) {
  Receive<TzMatrix<double>> rp("rp", 0);
  EXPECT_STREQ(rp.Data_pack_type(), "TzDMatrix");
  EXPECT_EQ(stderr_of([&] { rp.Cprint(""); }), "Receive<TzDMatrix> rp 0 \n");
}

// The worked table element by element, for 1 x 1 packs and for packs of
// another shape: sums start from zeros of the packs' shape, and Pulse
// answers zeros of that shape between packs.
TEST(ReceiveMatrix, WorkedTable) {
  struct Row {
    const char* query;
    Long t1, t2;
    double v[3];
  };
  const Row rows[] = {
      {"Get_data", 0, 0, {10, 20, 10}},
      {"Get_data", 50, 50, {15, 20, 0}},
      {"Get_data", 100, 100, {20, 20, 20}},
      {"Get_data", 150, 150, {30, 40, 0}},
      {"Get_data", 200, 200, {40, 40, 40}},
      {"Get_data_sum", 50, 150, {2125, 3000, 20}},
      {"Get_data_sum", 0, 200, {4500, 6000, 60}},
      {"Get_data_sum", 100, 200, {3000, 4000, 40}},
      {"Get_mean_data", 50, 150, {21.25, 30, 0.2}},
  };
  for (const auto& shape : {std::make_pair(1u, 1u), std::make_pair(2u, 3u)}) {
    for (int type = 0; type < 3; ++type) {
      Matrix_series s({{0, 10}, {100, 20}, {200, 40}}, type, shape.first, shape.second);
      for (const Row& r : rows) {
        const std::string q = r.query;
        TzMatrix<double> got = q == "Get_data"       ? s.rp.Get_data(r.t1)
                               : q == "Get_data_sum" ? s.rp.Get_data_sum(r.t1, r.t2)
                                                     : s.rp.Get_mean_data(r.t1, r.t2);
        expect_grid(got, r.v[type], shape.first, shape.second,
                    q + "(" + std::to_string(r.t1) + ", " + std::to_string(r.t2) + ") type " + std::to_string(type));
      }
    }
  }
}

TEST(ReceiveMatrix, EmptyIntervalAndPulseData) {
  Matrix_series s({{0, 1}, {60, 2}}, 0, 2, 2);
  // Nothing is read for an empty interval: the zero is 1 x 1.
  expect_grid(s.rp.Get_data_sum(30, 30), 0, 1, 1, "empty sum");
  TzMatrix<double> v;
  ASSERT_EQ(s.rp.Get_pulse_data(60, v), YES);
  expect_grid(v, 2, 2, 2, "pulse value");
  v.Ref(0, 0) = -1;  // an own copy: the pack keeps its value
  TzMatrix<double> again;
  ASSERT_EQ(s.rp.Get_pulse_data(60, again), YES);
  expect_grid(again, 2, 2, 2, "pack after the copy changed");
  EXPECT_EQ(s.rp.Get_pulse_data(30, v), NO);
}

}  // namespace
