#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "p_tmp.h"
#include "qavlen_testing.h"

// A value whose copy and whose reading run out of memory, standing for a
// value too big for what is left.
struct Greedy {
  Greedy() = default;
  Greedy(const Greedy&) { Memory_site::Out_of_memory(); }
  Greedy& operator=(const Greedy&) {
    Memory_site::Out_of_memory();
    return *this;
  }
};
template <>
struct Port_type<Greedy> {
  static constexpr const char* data_pack_type = "Greedy";
};
void data2file(const Greedy&, FILE*) {}
void data2ofile(const Greedy&, FILE*) {}
void dstr2data(char*&, Greedy&) { Memory_site::Out_of_memory(); }

namespace {

using qtest::file_text;
using qtest::item_list;
using qtest::Qavlensdir;
using qtest::stderr_of;

// The items of a data-form text: the contents of every "(...)" line.
std::string data_form_items(const std::string& text) {
  std::string list;
  std::size_t k = 0;
  while (k < text.size()) {
    std::size_t nl = text.find('\n', k);
    std::string line = text.substr(k, nl - k);
    k = nl + 1;
    EXPECT_GE(line.size(), 2u);
    EXPECT_EQ(line.front(), '(');
    EXPECT_EQ(line.back(), ')');
    list += line.substr(1, line.size() - 2);
    list += '\0';
  }
  list += '\0';
  return list;
}

template <class T>
Vary<T> vary(std::vector<T> elems) {
  Vary<T> v(static_cast<int>(elems.size()));
  for (std::size_t i = 0; i < elems.size(); ++i) v[static_cast<int>(i)] = elems[i];
  return v;
}

bool same(double a, double b) { return a == b; }
bool same(float a, float b) { return a == b; }
bool same(int a, int b) { return a == b; }
bool same(TzLong a, TzLong b) { return a.v == b.v; }
bool same(const QavlenString& a, const QavlenString& b) { return std::string(a.c_str()) == b.c_str(); }
template <class T>
bool same(const TzMatrix<T>& a, const TzMatrix<T>& b) {
  if (a.GetRows() != b.GetRows() || a.GetCols() != b.GetCols()) return false;
  for (unsigned r = 0; r < a.GetRows(); ++r)
    for (unsigned c = 0; c < a.GetCols(); ++c)
      if (!same(a(r, c), b(r, c))) return false;
  return true;
}
template <class T>
TzMatrix<T> matrix(unsigned rows, unsigned cols, std::vector<T> row_major) {
  TzMatrix<T> m(rows, cols, T(0));
  for (unsigned r = 0; r < rows; ++r)
    for (unsigned c = 0; c < cols; ++c) m.Ref(r, c) = row_major[r * cols + c];
  return m;
}
template <class T>
struct Is_matrix : std::false_type {};
template <class T>
struct Is_matrix<TzMatrix<T> > : std::true_type {};

template <class T>
bool same(const Vary<T>& a, const Vary<T>& b) {
  if (a.Size() != b.Size()) return false;
  for (int i = 0; i < a.Size(); ++i)
    if (!same(a.Value(i), b.Value(i))) return false;
  return true;
}

// One value of each type with its data form and output form (time 3600).
template <class T>
struct Sample;
template <>
struct Sample<double> {
  static double value() { return -1250.5; }
  static constexpr const char* data = "(3600)\n(-1250.5)\n";
  static constexpr const char* out = "3600 -1250.5";
};
template <>
struct Sample<float> {
  static float value() { return 0.1f; }
  static constexpr const char* data = "(3600)\n(0.1)\n";
  static constexpr const char* out = "3600 0.1";
};
template <>
struct Sample<int> {
  static int value() { return -7; }
  static constexpr const char* data = "(3600)\n(-7)\n";
  static constexpr const char* out = "3600 -7";
};
template <>
struct Sample<TzLong> {
  static TzLong value() { return LONG_MAX32; }
  static constexpr const char* data = "(3600)\n(2147483647)\n";
  static constexpr const char* out = "3600 2147483647";
};
template <>
struct Sample<QavlenString> {
  static QavlenString value() { return "a b"; }
  static constexpr const char* data = "(3600)\n(a b)\n";
  static constexpr const char* out = "3600 \"a b\"";
};
template <>
struct Sample<Vary<double> > {
  static Vary<double> value() { return vary<double>({1, 2.5, -3}); }
  static constexpr const char* data = "(3600)\n(3)\n(1)\n(2.5)\n(-3)\n";
  static constexpr const char* out = "3600 3 1 2.5 -3";
};
template <>
struct Sample<Vary<float> > {
  static Vary<float> value() { return vary<float>({0.1f}); }
  static constexpr const char* data = "(3600)\n(1)\n(0.1)\n";
  static constexpr const char* out = "3600 1 0.1";
};
template <>
struct Sample<Vary<int> > {
  static Vary<int> value() { return Vary<int>(); }
  static constexpr const char* data = "(3600)\n(0)\n";
  static constexpr const char* out = "3600 0";
};
template <>
struct Sample<Vary<TzLong> > {
  static Vary<TzLong> value() { return vary<TzLong>({5, -6}); }
  static constexpr const char* data = "(3600)\n(2)\n(5)\n(-6)\n";
  static constexpr const char* out = "3600 2 5 -6";
};

template <>
struct Sample<TzMatrix<double> > {
  static TzMatrix<double> value() { return matrix<double>(2, 2, {1, 2, 3, 4}); }
  static constexpr const char* data = "(3600)\n(2)\n(2)\n(1)\n(3)\n(2)\n(4)\n";
  static constexpr const char* out = "3600 2 2\n1 3 \n2 4 ";
};
template <>
struct Sample<TzMatrix<float> > {
  static TzMatrix<float> value() { return matrix<float>(1, 3, {0.1f, 0.5f, -2}); }
  static constexpr const char* data = "(3600)\n(1)\n(3)\n(0.1)\n(0.5)\n(-2)\n";
  static constexpr const char* out = "3600 1 3\n0.1 \n0.5 \n-2 ";
};
template <>
struct Sample<TzMatrix<int> > {
  static TzMatrix<int> value() { return matrix<int>(3, 1, {1, 2, 3}); }
  static constexpr const char* data = "(3600)\n(3)\n(1)\n(1)\n(2)\n(3)\n";
  static constexpr const char* out = "3600 3 1\n1 2 3 ";
};
template <>
struct Sample<TzMatrix<TzLong> > {
  static TzMatrix<TzLong> value() { return matrix<TzLong>(1, 1, {LONG_MIN32}); }
  static constexpr const char* data = "(3600)\n(1)\n(1)\n(-2147483648)\n";
  static constexpr const char* out = "3600 1 1\n-2147483648 ";
};

template <class T>
class TypedPack : public testing::Test {};
using ValueTypes = testing::Types<double, float, int, TzLong, QavlenString, Vary<double>, Vary<float>, Vary<int>,
                                  Vary<TzLong>, TzMatrix<double>, TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong> >;
TYPED_TEST_SUITE(TypedPack, ValueTypes);

TYPED_TEST(TypedPack, TextFormsAndRoundTrips) {
  using T = TypeParam;
  Data<T> pack;
  EXPECT_EQ(pack.Data_time(), 0);
  pack.Set_data(3600, Sample<T>::value());
  EXPECT_EQ(file_text([&](FILE* f) { pack.Dpack2file(f); }), Sample<T>::data);
  EXPECT_EQ(file_text([&](FILE* f) { pack.Dpack2ofile(f); }), Sample<T>::out);

  // Data form -> items -> pack, twice in one list.
  std::string list = data_form_items(std::string(Sample<T>::data) + Sample<T>::data);
  char* cursor = &list[0];
  Data<T> back(cursor);
  EXPECT_EQ(back.Data_time(), 3600);
  EXPECT_TRUE(same(back.Value(), Sample<T>::value()));
  Data<T> again;
  again.Dstr2dpack(cursor);
  EXPECT_EQ(again.Data_time(), 3600);
  EXPECT_TRUE(same(again.Value(), Sample<T>::value()));
  EXPECT_EQ(*cursor, '\0');

  // Output form -> the input-line tokeniser -> pack (the matrix output
  // form spans several lines and is written only).
  if (!Is_matrix<T>::value) {
    std::vector<char> items = Make_item_list((std::string(Sample<T>::out) + "\n").c_str());
    char* c2 = items.data();
    Data<T> from_line(c2);
    EXPECT_EQ(from_line.Data_time(), 3600);
    EXPECT_TRUE(same(from_line.Value(), Sample<T>::value()));
  }

  Long t;
  T v{};
  back.Get_data(t, v);
  EXPECT_EQ(t, 3600);
  EXPECT_TRUE(same(v, Sample<T>::value()));
  EXPECT_STREQ(back.data_pack_type, Port_type<T>::data_pack_type);
}

TYPED_TEST(TypedPack, SendPortOfEveryType) {
  using T = TypeParam;
  Send<T> sp("sp", 0);
  EXPECT_STREQ(sp.Class_name(), "Send");
  EXPECT_STREQ(sp.Data_pack_type(), Port_type<T>::data_pack_type);
  EXPECT_EQ(stderr_of([&] { sp.Cprint(""); }), std::string("Send<") + Port_type<T>::data_pack_type + "> sp 0 \n");
  ASSERT_EQ(sp.Switch(), 1);
  sp.Send_data(3600, Sample<T>::value());
  std::string list = data_form_items(std::string(Sample<T>::data));
  std::string later = list;
  later.replace(0, 4, "7200");
  char* cursor = &later[0];
  sp.Send_by_string(cursor);
  sp.Set_data_pack_array();
  ASSERT_EQ(sp.Number_of_data_packs(), 2);
  EXPECT_EQ(file_text([&](FILE* f) { sp.Save_send_port_stock(f); }),
            std::string("(2) # number_of_data_packs\n\n") + Sample<T>::data + "\n(7200)" + (Sample<T>::data + 6));
  Port* other = sp.NewPort();
  EXPECT_STREQ(other->Class_name(), "Send");
  EXPECT_STREQ(other->Data_pack_type(), Port_type<T>::data_pack_type);
  EXPECT_EQ(other->Object_name(), nullptr);
  delete other;
}

TEST(DataPack, DefaultScalarsStartAtZeroAndBadTimesStayZero) {
  EXPECT_EQ(Data<double>().Value(), 0.0);
  EXPECT_EQ(Data<int>().Value(), 0);
  EXPECT_EQ(Data<TzLong>().Value().v, 0);
  struct Case {
    const char* time;
    Long expected;
  } cases[] = {{"1.5", 1}, {"x10", 0}, {"-20", -20}, {"3600abc", 3600}};
  for (const Case& c : cases) {
    std::string list = item_list({c.time, "2.5"});
    char* cursor = &list[0];
    Data<double> p(cursor);
    EXPECT_EQ(p.Data_time(), c.expected) << c.time;
    EXPECT_EQ(p.Value(), 2.5);
  }
  // A list without the value: the value stays 0.
  std::string list = item_list({"60"});
  char* cursor = &list[0];
  Data<double> p(cursor);
  EXPECT_EQ(p.Data_time(), 60);
  EXPECT_EQ(p.Value(), 0.0);
}

TEST(DataPack, TwoTextPacksFromOneList) {
  std::string list = item_list({"10", "first text", "20", "second"});
  char* cursor = &list[0];
  Data<QavlenString> a(cursor), b(cursor);
  EXPECT_EQ(a.Data_time(), 10);
  EXPECT_STREQ(a.Value().c_str(), "first text");
  EXPECT_EQ(b.Data_time(), 20);
  EXPECT_STREQ(b.Value().c_str(), "second");
}

// A pack that counts its destructions.
class Counted_pack : public Data_pack {
 public:
  explicit Counted_pack(int& gone) : gone_(gone) {}
  ~Counted_pack() override { ++gone_; }
  void Dpack2file(FILE*) override {}
  void Dpack2ofile(FILE*) override {}
  void Dstr2dpack(char*&) override {}

 private:
  int& gone_;
};

// Clf_dp, the clear function of the send ports' pack buffers, deletes a
// pack through the base, so that the pack's own destructor runs and its
// value is freed whole (the sanitizer build sees the values of Data<T>),
// and passes over a null item.
TEST(DataPack, ClearFunctionDeletesThroughTheBase) {
  static_assert(std::has_virtual_destructor<Data_pack>::value, "packs are deleted through the base");
  int gone = 0;
  {
    List l(Clf_dp);
    l.Put_tail(new Counted_pack(gone));
    l.Put_tail(new Data<Vary<double> >());
    l.Put_tail(nullptr);
    l.Put_tail(new Data<QavlenString>());
    l.Put_tail(new Counted_pack(gone));
    l.Clear();
    EXPECT_EQ(gone, 2);
    EXPECT_EQ(l.Number(), 0);
    l.Put_tail(new Counted_pack(gone));
  }
  EXPECT_EQ(gone, 3);  // the destructor clears what is left
}

// ReceiveNointp: the value at exactly a time.
class PulseTest : public testing::Test {
 protected:
  void SetUp() override {
    sp.Set_owner(&up);
    rp.Set_owner(&down);
    ASSERT_EQ(rp.Set_sender(&sp), 1);
    ASSERT_EQ(sp.Register_receiver(&rp), 1);
  }
  qtest::Test_owner up{"up", 0}, down{"down", 0};
  Send<Vary<double> > sp{"sp", 0};
  ReceiveNointp<Vary<double> > rp{"rp", 0};
};

TEST_F(PulseTest, ExactTimesOnly) {
  Vary<double> v = vary<double>({-1});
  EXPECT_EQ(rp.Get_pulse_data(0, v), 0);  // sender not switched: count -1
  ASSERT_EQ(sp.Switch(), 1);
  EXPECT_EQ(rp.Get_pulse_data(0, v), 0);  // nothing published
  EXPECT_EQ(v.Value(0), -1);
  sp.Send_data(0, vary<double>({10}));
  sp.Send_data(3600, vary<double>({20}));
  sp.Send_data(7200, vary<double>({30, 31}));
  EXPECT_EQ(rp.Get_pulse_data(0, v), 0);  // stocked, not yet published
  sp.Set_data_pack_array();
  struct Case {
    Long t;
    Boolean found;
    double first;
  } cases[] = {{0, 1, 10}, {3600, 1, 20}, {7200, 1, 30}, {1800, 0, -1}, {-1, 0, -1}, {7201, 0, -1}};
  for (const Case& c : cases) {
    Vary<double> got = vary<double>({-1});
    EXPECT_EQ(rp.Get_pulse_data(c.t, got), c.found) << c.t;
    EXPECT_EQ(got.Value(0), c.first) << c.t;
  }
  // The value is a copy: changing it leaves the sender's pack alone.
  Vary<double> got;
  ASSERT_EQ(rp.Get_pulse_data(7200, got), 1);
  got[0] = 99;
  Vary<double> again;
  rp.Get_pulse_data(7200, again);
  EXPECT_EQ(again.Value(0), 30);
  EXPECT_EQ(again.Size(), 2);
}

TEST_F(PulseTest, ForwardedQueriesAndTheClassWord) {
  EXPECT_STREQ(rp.Class_name(), "ReceiveNointp");
  EXPECT_STREQ(rp.Data_pack_type(), "Vdary");
  sp.Switch();
  sp.Send_data(600, vary<double>({1}));
  rp.Set_data_pack_array();  // forwarded publication
  EXPECT_EQ(rp.Number_of_data_packs(), 1);
  EXPECT_EQ(rp.Oldest_data_time(), 600);
  EXPECT_EQ(rp.Newest_data_time(), 600);
  EXPECT_EQ(rp.Can_you_get_data(600, 600), 1);
  Vary<double> v;
  EXPECT_EQ(rp.Get_pulse_data(600, v), 1);
  EXPECT_EQ(rp.Get_pulse_data(599, v), 0);
  rp.Creq();
  EXPECT_EQ(up.demands, 1);
  Port* p = rp.NewPort();
  EXPECT_STREQ(p->Class_name(), "ReceiveNointp");
  delete p;
}

TEST(Pulse, RefusesASenderOfAnotherType) {
  Qavlensdir none(nullptr);
  Send<double> dbl("sd", 0);
  Send<QavlenString> txt("st", 0);
  ReceiveNointp<QavlenString> rp("rp", 0);
  std::string err = stderr_of([&] { EXPECT_EQ(rp.Set_sender(&dbl), 0); });
  EXPECT_EQ(err, "E : receive.cpp : 52 : \n    s > Send<double> sd 0 \n    ReceiveNointp<QavlenString> rp 0 \n");
  EXPECT_EQ(rp.Set_sender(&txt), 1);
}

TEST(Pulse, RainGridsAreIndependentCopies) {
  Send<TzMatrix<double> > grid("rain", 0);
  ReceiveNointp<TzMatrix<double> > rp("rp", 0);
  Send<double> dbl("sd", 0);
  Qavlensdir none(nullptr);
  stderr_of([&] { EXPECT_EQ(rp.Set_sender(&dbl), 0); });
  ASSERT_EQ(rp.Set_sender(&grid), 1);
  grid.Switch();
  grid.Send_data(0, matrix<double>(1, 2, {1, 2}));
  grid.Send_data(600, matrix<double>(2, 1, {3, 4}));
  grid.Set_data_pack_array();
  TzMatrix<double> v;
  ASSERT_EQ(rp.Get_pulse_data(600, v), 1);
  EXPECT_TRUE(same(v, matrix<double>(2, 1, {3, 4})));
  v.Ref(0, 0) = 99;
  TzMatrix<double> again;
  rp.Get_pulse_data(600, again);
  EXPECT_EQ(again(0, 0), 3);
  EXPECT_EQ(rp.Get_pulse_data(300, v), 0);
  // The element reads its rain through Get_data_pack in mode 'b'.
  Data_pack *before, *after;
  ASSERT_EQ(rp.Get_data_pack(before, 300, after, 'b'), 1);
  EXPECT_EQ(before->Data_time(), 0);
  EXPECT_EQ(after->Data_time(), 600);
}

// Every instance of the pulse port: named after construction as the
// element names its port, it delivers the sender's value at exactly a time
// and leaves the target alone between packs.
template <class T>
class TypedPulse : public testing::Test {};
using PulseTypes = testing::Types<QavlenString, Vary<double>, Vary<float>, Vary<int>, Vary<TzLong>, TzMatrix<double>,
                                  TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong> >;
TYPED_TEST_SUITE(TypedPulse, PulseTypes);

TYPED_TEST(TypedPulse, ValueAtExactlyATime) {
  using T = TypeParam;
  ReceiveNointp<T> rp;
  EXPECT_EQ(rp.Init("rp", 0), 1);
  EXPECT_STREQ(rp.Class_name(), "ReceiveNointp");
  EXPECT_STREQ(rp.Data_pack_type(), Port_type<T>::data_pack_type);
  Send<T> sp("sp", 0);
  ASSERT_EQ(rp.Set_sender(&sp), 1);
  ASSERT_EQ(sp.Switch(), 1);
  sp.Send_data(600, T());
  sp.Send_data(1200, Sample<T>::value());
  sp.Set_data_pack_array();
  T v = Sample<T>::value();
  EXPECT_EQ(rp.Get_pulse_data(600, v), 1);
  EXPECT_TRUE(same(v, T()));
  EXPECT_EQ(rp.Get_pulse_data(1200, v), 1);
  EXPECT_TRUE(same(v, Sample<T>::value()));
  v = T();
  for (Long t : {599, 900, 1201}) {
    EXPECT_EQ(rp.Get_pulse_data(t, v), 0) << t;
    EXPECT_TRUE(same(v, T())) << t;
  }
}

TEST(MatrixTextDeathTest, DimensionsMustBePositive) {
  for (const char* dims : {"0 3", "2 0", "-1 2"}) {
    std::string rows(dims, std::strchr(dims, ' ')), cols(std::strchr(dims, ' ') + 1);
    EXPECT_DEATH(
        {
          std::string list = item_list({"3600", rows.c_str(), cols.c_str(), "1"});
          char* cursor = &list[0];
          Data<TzMatrix<double> > p(cursor);
        },
        "tzmatrixfunc\\.cpp:[0-9]+: Assertion `rows > 0 && cols > 0' failed\\.")
        << dims;
  }
}

TEST(MatrixText, ShortListsLeaveZerosAndNeverPassTheEnd) {
  std::string list = item_list({"3600", "2", "2", "1", "3"});
  char* cursor = &list[0];
  Data<TzMatrix<int> > p(cursor);
  EXPECT_TRUE(same(p.Value(), matrix<int>(2, 2, {1, 0, 3, 0})));
  EXPECT_EQ(*cursor, '\0');
  std::string no_cols = item_list({"3600", "2"});
  cursor = &no_cols[0];
  Data<TzMatrix<int> > q(cursor);
  EXPECT_TRUE(same(q.Value(), TzMatrix<int>()));  // the default 1 by 1 zero
}

// The whole report, as a regular expression.
std::string exactly(const std::string& text) {
  std::string re = "^";
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c)) re += '\\';
    re += c;
  }
  return re + "$";
}

TEST(SendDeathTest, NoMemoryForAPackEndsWithStatus5) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  EXPECT_EXIT(
      {
        Send<Greedy> sp("sp", 0);
        sp.Switch();
        sp.Send_data(10, Greedy());
      },
      testing::ExitedWithCode(5),
      exactly("E : p_tmp.cpp : 474 : Insufficient memory (Data).\n"
              "    No memory was left for a new data pack sent by an element. Free memory\n"
              "    (fewer or smaller grids, shorter run segments so that packs are released\n"
              "    sooner) and run again.\n"
              "    Send<Greedy> sp 0 \n"));
  EXPECT_EXIT(
      {
        Send<Greedy> sp("sp", 0);
        sp.Switch();
        std::string list = item_list({"10", "x"});
        char* cursor = &list[0];
        sp.Send_by_string(cursor);
      },
      testing::ExitedWithCode(5),
      exactly("E : p_tmp.cpp : 488 : Insufficient memory (Data).\n"
              "    No memory was left for a data pack restored from the send-port stock\n"
              "    file. The program stops.\n"
              "    Send<Greedy> sp 0 \n"));
}

TEST(SendDeathTest, DataBeforeSwitchStops) {
  EXPECT_DEATH(
      {
        Send<double> sp("sp", 0);
        sp.Send_data(10, 1.0);
      },
      "p_tmp\\.cpp:[0-9]+: Assertion `Are_you_ready\\(\\) == YES' failed\\.");
  EXPECT_DEATH(
      {
        Send<double> sp("sp", 0);
        std::string list = item_list({"10", "1"});
        char* cursor = &list[0];
        sp.Send_by_string(cursor);
      },
      "p_tmp\\.cpp:[0-9]+: Assertion `Are_you_ready\\(\\) == YES' failed\\.");
  EXPECT_DEATH(
      {
        Send<double> sp("sp", 0);
        sp.Stock(new Data<double>());
      },
      "send\\.cpp:[0-9]+: Assertion `buffer_made' failed\\.");
}

}  // namespace
