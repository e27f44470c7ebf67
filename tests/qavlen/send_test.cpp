#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "p_tmp.h"
#include "qavlen_testing.h"

namespace {

using qtest::file_text;
using qtest::Qavlensdir;
using qtest::stderr_of;
using qtest::Test_owner;
using qtest::Test_receiver;

// A pack that counts the packs alive.
int g_alive = 0;
class Counted : public Data<double> {
 public:
  explicit Counted(Long t) {
    Set_data(t, t / 10.0);
    ++g_alive;
  }
  ~Counted() override { --g_alive; }
};

Long time_of(const Data_pack* p) { return p ? p->Data_time() : -1; }

std::vector<Long> published_times(Send_port& sp) {
  Data_pack* const* a;
  int n;
  sp.Get_data_pack_array(a, n);
  std::vector<Long> out;
  for (int k = 0; k < n; ++k) out.push_back(a[k]->Data_time());
  return out;
}

class SendPortTest : public testing::Test {
 protected:
  void SetUp() override {
    g_alive = 0;
    sp.Set_owner(&owner);
    ASSERT_EQ(sp.Switch(), 1);
  }
  void stock(std::initializer_list<Long> times) {
    for (Long t : times) sp.Stock(new Counted(t));
  }
  Test_owner owner{"morvelan2d", 0, "Morvelan2d"};
  Send<double> sp{"sp", 0};
};

TEST_F(SendPortTest, StockKeepsOnlyNewerPacksAndFreesTheOthers) {
  stock({10, 20, 20, 15, 30});
  EXPECT_EQ(g_alive, 3);
  EXPECT_EQ(sp.Number_of_data_packs(), 0);  // not yet published
  EXPECT_EQ(sp.Oldest_data_time(), LONG_MAX32);
  EXPECT_EQ(sp.Newest_data_time(), LONG_MIN32);
  sp.Set_data_pack_array();
  EXPECT_EQ(published_times(sp), (std::vector<Long>{10, 20, 30}));
  EXPECT_EQ(sp.Oldest_data_time(), 10);
  EXPECT_EQ(sp.Newest_data_time(), 30);
  // The test is against the buffer's tail, published or not.
  stock({40});
  stock({35});
  EXPECT_EQ(g_alive, 4);
  EXPECT_EQ(sp.Number_of_data_packs(), 3);
  sp.Set_data_pack_array();
  EXPECT_EQ(published_times(sp), (std::vector<Long>{10, 20, 30, 40}));
}

TEST_F(SendPortTest, GetDataPackAroundATimeInEveryMode) {
  stock({10, 20, 20, 15, 30});
  sp.Set_data_pack_array();
  struct Case {
    Long t;
    char mode;
    Boolean result;
    Long before, after;  // -1: null
  } cases[] = {
      {20, 'b', 1, 20, 20}, {20, 'f', 1, 20, 20}, {20, 'l', 1, 20, 20}, {20, 'x', 1, 20, 20}, {25, 'b', 1, 20, 30},
      {25, 'f', 1, 20, 30}, {25, 'l', 1, 20, 30}, {25, 'x', 1, 20, 30}, {35, 'b', 0, -1, -1}, {35, 'f', 1, 30, -1},
      {35, 'l', 0, -1, -1}, {35, 'x', 1, 30, -1}, {5, 'b', 0, -1, -1},  {5, 'f', 0, -1, -1},  {5, 'l', 1, -1, 10},
      {5, 'x', 1, -1, 10},  {30, 'b', 1, 30, 30}, {10, 'b', 1, 10, 10}, {11, 'l', 1, 10, 20},
  };
  for (const Case& c : cases) {
    Data_pack* before = reinterpret_cast<Data_pack*>(&owner);
    Data_pack* after = before;
    EXPECT_EQ(sp.Get_data_pack(before, c.t, after, c.mode), c.result) << c.t << " " << c.mode;
    EXPECT_EQ(time_of(before), c.before) << c.t << " " << c.mode;
    EXPECT_EQ(time_of(after), c.after) << c.t << " " << c.mode;
  }
  EXPECT_EQ(sp.Can_you_get_data(10, 30), 1);
  EXPECT_EQ(sp.Can_you_get_data(30, 10), 1);  // the window need not be ordered
  EXPECT_EQ(sp.Can_you_get_data(5, 30), 0);
  EXPECT_EQ(sp.Can_you_get_data(10, 31), 0);
}

TEST_F(SendPortTest, EmptyPortAnswers) {
  Data_pack* before = reinterpret_cast<Data_pack*>(&owner);
  Data_pack* after = before;
  EXPECT_EQ(sp.Get_data_pack(before, 0, after, 'x'), 0);
  EXPECT_EQ(before, nullptr);
  EXPECT_EQ(after, nullptr);
  EXPECT_EQ(sp.Can_you_get_data(LONG_MAX32, LONG_MIN32), 0);
  Data_pack* const* a = reinterpret_cast<Data_pack* const*>(&owner);
  int n = 5;
  sp.Get_data_pack_array(a, n);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(n, 0);
  Send<double> fresh("fresh", 0);
  EXPECT_EQ(fresh.Number_of_data_packs(), -1);
  EXPECT_EQ(fresh.Are_you_ready(), 0);
  EXPECT_EQ(fresh.Oldest_data_time(), LONG_MAX32);
  fresh.Switch();
  EXPECT_EQ(fresh.Number_of_data_packs(), 0);
  EXPECT_EQ(fresh.Are_you_ready(), 1);
}

TEST_F(SendPortTest, ForgetKeepsTheNewestPackAtOrBeforeTAndEverythingNewer) {
  struct Case {
    Long t;
    std::vector<Long> stays;
  } cases[] = {{25, {20, 30}}, {15, {10, 20, 30}}, {5, {10, 20, 30}}, {30, {30}}, {35, {30}}, {20, {20, 30}}};
  for (const Case& c : cases) {
    Send<double> port("p", 0);
    port.Switch();
    g_alive = 0;
    for (Long t : {10, 20, 30}) port.Stock(new Counted(t));
    port.Set_data_pack_array();
    port.Forget_data_pack_stock(c.t);
    EXPECT_EQ(published_times(port), c.stays) << c.t;
    EXPECT_EQ(g_alive, static_cast<int>(c.stays.size())) << c.t;
  }
}

TEST_F(SendPortTest, ReleaseRepublishesWhatWasStockedSince) {
  stock({10, 20, 30});
  sp.Set_data_pack_array();
  stock({40, 50});
  sp.Forget_data_pack_stock(15);  // nothing released: nothing republished
  EXPECT_EQ(published_times(sp), (std::vector<Long>{10, 20, 30}));
  sp.Forget_data_pack_stock(25);
  EXPECT_EQ(published_times(sp), (std::vector<Long>{20, 30, 40, 50}));
  // Only published packs are released.
  stock({60});
  sp.Forget_data_pack_stock(1000);
  EXPECT_EQ(published_times(sp), (std::vector<Long>{50, 60}));
  EXPECT_EQ(g_alive, 2);
}

TEST_F(SendPortTest, ReduceFollowsTheReceiversAndTheProtectFlag) {
  Test_owner a("a", 1), b("b", 2);
  Test_receiver ra("ra", 0, "double"), rb("rb", 0, "double");
  ra.Set_owner(&a);
  rb.Set_owner(&b);
  Send<double> port("port", 0);
  port.Set_owner(&owner);
  port.Register_receiver(&ra);
  port.Register_receiver(&rb);
  ra.Set_sender(&port);
  rb.Set_sender(&port);
  port.Switch();
  g_alive = 0;
  for (Long t = 0; t <= 100; t += 10) port.Stock(new Counted(t));
  port.Set_data_pack_array();
  a.from = 45;
  b.from = 75;
  rb.Reduce_data_pack_stock();  // a receiver's call trims the sender
  EXPECT_EQ(port.Oldest_data_time(), 40);
  EXPECT_EQ(g_alive, 7);
  EXPECT_EQ(ra.Oldest_data_time(), 40);  // both receivers see the same packs

  port.Set_protect_past_data_flag(YES);
  a.from = 90;
  port.Reduce_data_pack_stock();
  port.Forget_data_pack_stock(100);
  EXPECT_EQ(port.Oldest_data_time(), 40);
  port.Set_protect_past_data_flag(NO);
  port.Reduce_data_pack_stock();
  EXPECT_EQ(port.Oldest_data_time(), 70);

  // Without receivers nothing is released.
  stock({10, 20, 30});
  sp.Set_data_pack_array();
  sp.Reduce_data_pack_stock();
  EXPECT_EQ(published_times(sp), (std::vector<Long>{10, 20, 30}));
}

// The release follows the oldest time any receiver needs, however the
// receivers move: the same packs stay as with the rule written out (the
// newest published pack at or before the minimum, and everything newer).
TEST(SendPort, ReleaseAgreesWithTheMinimumOverTheReceivers) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    const int receivers = 1 + static_cast<int>(rng() % 6);
    Test_owner up("up", 0);
    std::vector<std::unique_ptr<Test_owner> > owners;
    std::vector<std::unique_ptr<Test_receiver> > ports;
    Send<double> sp("sp", 0);
    sp.Set_owner(&up);
    for (int k = 0; k < receivers; ++k) {
      owners.emplace_back(new Test_owner("down", k));
      ports.emplace_back(new Test_receiver("rp", 0, "double"));
      ports.back()->Set_owner(owners.back().get());
      ports.back()->Set_sender(&sp);
      sp.Register_receiver(ports.back().get());
    }
    sp.Switch();
    std::vector<Long> expected;  // the published times
    Long t = 0;
    for (int step = 0; step < 200; ++step) {
      switch (rng() % 3) {
        case 0: {  // stock and publish a few packs
          int n = static_cast<int>(rng() % 4);
          for (int k = 0; k < n; ++k) sp.Send_data(t += 1 + static_cast<Long>(rng() % 5), 0.0);
          sp.Set_data_pack_array();
          expected = published_times(sp);
          break;
        }
        case 1:  // a receiver moves, mostly on, sometimes back
          owners[rng() % owners.size()]->from = t - static_cast<Long>(rng() % 30);
          break;
        default: {  // a receiver releases
          ports[rng() % ports.size()]->Reduce_data_pack_stock();
          Long from = LONG_MAX32;
          for (auto& o : owners) from = std::min(from, o->from);
          int i = static_cast<int>(expected.size()) - 1;
          while (i >= 0 && expected[static_cast<std::size_t>(i)] > from) --i;
          if (i > 0) expected.erase(expected.begin(), expected.begin() + i);
          ASSERT_EQ(published_times(sp), expected) << round << " " << step;
        }
      }
    }
  }
}

TEST_F(SendPortTest, SaveSendPortStockByteForByte) {
  sp.Send_data(3600, 0.25);
  sp.Send_data(7200, 1234567.0);
  EXPECT_EQ(file_text([&](FILE* f) { sp.Save_send_port_stock(f); }),
            "(2) # number_of_data_packs\n"
            "\n(3600)\n(0.25)\n"
            "\n(7200)\n(1.23457e+06)\n");
  Send<double> empty("e", 0);
  empty.Switch();
  EXPECT_EQ(file_text([&](FILE* f) { empty.Save_send_port_stock(f); }), "(0) # number_of_data_packs\n");
  Send<double> unswitched("u", 0);
  EXPECT_EQ(file_text([&](FILE* f) { unswitched.Save_send_port_stock(f); }), "(0) # number_of_data_packs\n");
}

TEST_F(SendPortTest, SavedStockReadsBackThroughSendByString) {
  for (Long t = 600; t <= 3000; t += 600) sp.Send_data(t, t * 0.5);
  std::string text = file_text([&](FILE* f) { sp.Save_send_port_stock(f); });
  // The items as the stock-file reader hands them over: the count, then
  // time and value of each pack.
  std::string list;
  for (std::size_t k = 0; (k = text.find('(', k)) != std::string::npos; ++k) {
    std::size_t close = text.find(')', k);
    list += text.substr(k + 1, close - k - 1);
    list += '\0';
  }
  list += '\0';
  char* cursor = &list[0];
  int n = 0;
  dstr2data(cursor, n);
  Send<double> copy("copy", 0);
  copy.Switch();
  for (int k = 0; k < n; ++k) copy.Send_by_string(cursor);
  EXPECT_EQ(*cursor, '\0');
  copy.Set_data_pack_array();
  EXPECT_EQ(published_times(copy), published_times(sp));
  EXPECT_EQ(file_text([&](FILE* f) { copy.Save_send_port_stock(f); }), text);
}

TEST_F(SendPortTest, SaveReleasesFirst) {
  Test_owner a("a", 1);
  Test_receiver ra("ra", 0, "double");
  ra.Set_owner(&a);
  Send<double> port("port", 0);
  port.Set_owner(&owner);
  port.Register_receiver(&ra);
  port.Switch();
  port.Send_data(10, 1);
  port.Send_data(20, 2);
  port.Send_data(30, 3);
  a.from = 25;
  EXPECT_EQ(file_text([&](FILE* f) { port.Save_send_port_stock(f); }),
            "(2) # number_of_data_packs\n\n(20)\n(2)\n\n(30)\n(3)\n");
}

TEST_F(SendPortTest, CreqReachesTheOwner) {
  Test_receiver r("r", 0, "double");
  r.Set_sender(&sp);
  r.Creq();
  sp.Creq();
  EXPECT_EQ(owner.demands, 2);
  Send<double> orphan("o", 0);
  orphan.Creq();  // no owner: nothing to ask
}

TEST_F(SendPortTest, ClearDataPack) {
  stock({10, 20});
  sp.Set_data_pack_array();
  sp.Clear_data_pack();
  EXPECT_EQ(g_alive, 0);
  EXPECT_EQ(sp.Number_of_data_packs(), -1);
  stock({5});
  sp.Set_data_pack_array();
  EXPECT_EQ(published_times(sp), (std::vector<Long>{5}));
}

TEST(SendPort, SwitchReports) {
  Qavlensdir none(nullptr);
  Send<double> sp("sp", 0);
  ASSERT_EQ(sp.Switch(), 1);
  std::string err = stderr_of([&] { EXPECT_EQ(sp.Switch(), 0); });
  EXPECT_EQ(err,
            "E : sender.cpp : 81 : \n"
            "    number_of_receivers = 0.\n"
            "    Send<double> sp 0 \n"
            "E : send.cpp : 31 : \n"
            "    Send<double> sp 0 \n");
  EXPECT_EQ(sp.Are_you_ready(), 1);
}

// Binary search gives the answers of a backward scan from the newest pack.
TEST(SendPort, QueriesAgreeWithABackwardScan) {
  std::mt19937 rng(7);
  for (int round = 0; round < 30; ++round) {
    Send<double> sp("sp", 0);
    sp.Switch();
    std::vector<Long> times;
    Long t = -50;
    int n = static_cast<int>(rng() % 12);
    for (int k = 0; k < n; ++k) {
      t += 1 + static_cast<Long>(rng() % 20);
      times.push_back(t);
      sp.Send_data(t, k);
    }
    sp.Set_data_pack_array();
    for (Long q = -60; q <= t + 5; ++q) {
      for (char mode : {'b', 'f', 'l', '?'}) {
        // The reference.
        Long rb = -1, ra = -1;
        Boolean rr;
        if (n <= 0) {
          rr = 0;
        } else if (times[n - 1] < q) {
          rr = (mode == 'b' || mode == 'l') ? 0 : 1;
          rb = rr ? times[n - 1] : -1;
        } else if (times[n - 1] == q) {
          rr = 1;
          rb = ra = q;
        } else {
          int k = n - 2;
          while (k >= 0 && times[k] > q) --k;
          if (k >= 0) {
            rr = 1;
            rb = times[k];
            ra = times[k] == q ? times[k] : times[k + 1];
          } else {
            rr = (mode == 'b' || mode == 'f') ? 0 : 1;
            ra = rr ? times[0] : -1;
          }
        }
        Data_pack *before, *after;
        ASSERT_EQ(sp.Get_data_pack(before, q, after, mode), rr) << q << mode;
        ASSERT_EQ(time_of(before), rb) << q << mode;
        ASSERT_EQ(time_of(after), ra) << q << mode;
      }
    }
  }
}

// Many stocks and releases: the buffer compacts and keeps its order.
TEST(SendPort, LongRunsOfStockAndRelease) {
  g_alive = 0;
  Send<double> sp("sp", 0);
  sp.Switch();
  Long t = 0;
  for (int run = 0; run < 200; ++run) {
    for (int k = 0; k < 37; ++k) sp.Stock(new Counted(t += 10));
    sp.Set_data_pack_array();
    sp.Forget_data_pack_stock(t - 100);
    std::vector<Long> got = published_times(sp);
    ASSERT_EQ(got.size(), 11u);
    for (std::size_t k = 0; k < got.size(); ++k) ASSERT_EQ(got[k], t - 100 + 10 * static_cast<Long>(k));
  }
  EXPECT_EQ(g_alive, 11);
}

}  // namespace
