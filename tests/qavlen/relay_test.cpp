#include <gtest/gtest.h>

#include <string>

#include "qavlen_testing.h"
#include "receive.h"
#include "relay.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;
using qtest::Test_owner;
using qtest::Test_receiver;
using qtest::Test_sender;

TEST(Relay, ClassWordAndTypeNames) {
  Relay<double> d("rl", 0);
  EXPECT_STREQ(d.Class_name(), "Relay");
  EXPECT_EQ(stderr_of([&] { d.Cprint(""); }), "Relay<double> rl 0 \n");
  EXPECT_STREQ(Relay<float>().Data_pack_type(), "float");
  EXPECT_STREQ(Relay<int>().Data_pack_type(), "int");
  EXPECT_STREQ(Relay<TzLong>().Data_pack_type(), "long");
  EXPECT_STREQ(Relay<QavlenString>().Data_pack_type(), "QavlenString");
  EXPECT_STREQ(Relay<Vary<double> >().Data_pack_type(), "Vdary");
  EXPECT_STREQ(Relay<Vary<float> >().Data_pack_type(), "Vfary");
  EXPECT_STREQ(Relay<Vary<int> >().Data_pack_type(), "Viary");
  EXPECT_STREQ(Relay<Vary<TzLong> >().Data_pack_type(), "Vlary");
  EXPECT_STREQ(Relay<TzMatrix<double> >().Data_pack_type(), "TzDMatrix");
  EXPECT_STREQ(Relay<TzMatrix<float> >().Data_pack_type(), "TzFMatrix");
  EXPECT_STREQ(Relay<TzMatrix<int> >().Data_pack_type(), "TzIMatrix");
  EXPECT_STREQ(Relay<TzMatrix<TzLong> >().Data_pack_type(), "TzLMatrix");
  // A new port of the same class and type, unnamed and unconnected.
  Port* p = d.NewPort();
  EXPECT_STREQ(p->Class_name(), "Relay");
  EXPECT_STREQ(p->Data_pack_type(), "double");
  EXPECT_EQ(p->Object_name(), nullptr);
  EXPECT_EQ(p->Are_you_ready(), NO);
  delete p;
}

TEST(Relay, SetSenderRefusesMissingSecondAndForeignSenders) {
  Qavlensdir none(nullptr);
  Test_owner e("sub", 4, "Sub_system");
  Relay<double> rl("rl", 1);
  rl.Set_owner(&e);
  std::string err = stderr_of([&] { EXPECT_EQ(rl.Set_sender(nullptr), NO); });
  EXPECT_EQ(err,
            "E : relay.cpp : 28 : \n"
            "    Relay<double> rl 1 \n"
            "        owner > Sub_system sub 4\n");

  Test_sender f("spf", 2, "float");
  err = stderr_of([&] { EXPECT_EQ(rl.Set_sender(&f), NO); });
  EXPECT_EQ(err,
            "E : relay.cpp : 50 : \n"
            "    s > Sender_port<float> spf 2 \n"
            "    Relay<double> rl 1 \n"
            "        owner > Sub_system sub 4\n");
  EXPECT_EQ(rl.Sender(), nullptr);

  Test_sender s("sp", 0, "double");
  EXPECT_EQ(rl.Set_sender(&s), YES);
  EXPECT_EQ(rl.Sender(), &s);
  // The same sender again is a second sender too.
  err = stderr_of([&] { EXPECT_EQ(rl.Set_sender(&s), NO); });
  EXPECT_EQ(err,
            "E : relay.cpp : 35 : \n"
            "    connected to  : Sender_port<double> sp 0 \n"
            "    connecting to : Sender_port<double> sp 0 \n"
            "    Relay<double> rl 1 \n"
            "        owner > Sub_system sub 4\n");
  EXPECT_EQ(rl.Sender(), &s);
}

TEST(Relay, ReportsCarryTheirExplanations) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  Relay<double> rl("rl", 1);
  Test_sender f("spf", 2, "float");
  std::string err = stderr_of([&] { rl.Set_sender(&f); });
  EXPECT_EQ(err.rfind("E : relay.cpp : 50 : \n    The value types of the relay", 0), 0u) << err;
}

TEST(Relay, ARelayCanFeedARelay) {
  Test_sender s("sp", 0, "int");
  Relay<int> first("r1", 0), second("r2", 0);
  ASSERT_EQ(first.Set_sender(&s), YES);
  ASSERT_EQ(first.Register_receiver(&second), YES);
  ASSERT_EQ(second.Set_sender(&first), YES);
  ASSERT_EQ(first.Switch(), YES);
  ASSERT_EQ(second.Switch(), YES);
  EXPECT_EQ(second.Oldest_data_time(), 11);
  second.Creq();
  EXPECT_EQ(s.calls, "Creq;");
}

TEST(Relay, ReceiversOfAnotherTypeAreRefused) {
  Qavlensdir none(nullptr);
  Relay<double> rl("rl", 0);
  Test_receiver r("rpf", 3, "float");
  std::string err = stderr_of([&] { EXPECT_EQ(rl.Register_receiver(&r), NO); });
  EXPECT_EQ(err,
            "E : sender.cpp : 63 : \n"
            "    r > Receive_port<float> rpf 3 \n"
            "    Relay<double> rl 0 \n");
  Test_receiver ok("rp", 4, "double");
  EXPECT_EQ(rl.Register_receiver(&ok), YES);
  EXPECT_EQ(rl.Register_receiver(&ok), YES);  // kept once
  ASSERT_EQ(rl.Switch(), YES);
  EXPECT_EQ(rl.Number_of_receivers(), 1);
}

TEST(Relay, ReadyWhenConnectedAndSwitched) {
  Relay<double> rl("rl", 0);
  Test_sender s("sp", 0, "double");
  EXPECT_EQ(rl.Are_you_ready(), NO);
  ASSERT_EQ(rl.Set_sender(&s), YES);
  EXPECT_EQ(rl.Are_you_ready(), NO);  // not switched
  ASSERT_EQ(rl.Switch(), YES);
  EXPECT_EQ(rl.Are_you_ready(), YES);  // also without receivers
  EXPECT_EQ(rl.Number_of_receivers(), 0);

  Relay<double> alone("alone", 0);
  ASSERT_EQ(alone.Switch(), YES);
  EXPECT_EQ(alone.Are_you_ready(), NO);  // switched, but no sender
}

TEST(Relay, EveryQuestionAndDemandGoesToTheSender) {
  Test_sender s("sp", 0, "double");
  Relay<double> rl("rl", 0);
  ASSERT_EQ(rl.Set_sender(&s), YES);
  ASSERT_EQ(rl.Switch(), YES);

  rl.Creq();
  rl.Set_data_pack_array();
  EXPECT_EQ(rl.Can_you_get_data(5, 9), YES);
  Data_pack* const* array = reinterpret_cast<Data_pack* const*>(&rl);
  int n = 0;
  rl.Get_data_pack_array(array, n);
  EXPECT_EQ(array, nullptr);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(rl.Oldest_data_time(), 11);
  EXPECT_EQ(rl.Newest_data_time(), 22);
  EXPECT_EQ(rl.Number_of_data_packs(), 3);
  Data_pack* before = nullptr;
  Data_pack* after = nullptr;
  EXPECT_EQ(rl.Get_data_pack(before, 42, after, 'b'), YES);
  rl.Reduce_data_pack_stock();
  EXPECT_EQ(s.calls,
            "Creq;Set_data_pack_array;Can_you_get_data(5,9);Get_data_pack_array;"
            "Get_data_pack(42,b);Reduce_data_pack_stock;");
}

TEST(Relay, TimeWindowIsThatOfItsOwnReceivers) {
  Test_owner sub("sub", 0, "Sub_system");
  Test_owner slow("slow", 1), fast("fast", 2);
  slow.from = 100;
  slow.to = 700;
  fast.from = 600;
  fast.to = 1200;
  Test_receiver r1("rp", 0, "double"), r2("rp", 1, "double");
  r1.Set_owner(&slow);
  r2.Set_owner(&fast);
  Relay<double> rl("rl", 0);
  rl.Set_owner(&sub);
  ASSERT_EQ(rl.Register_receiver(&r1), YES);
  ASSERT_EQ(rl.Register_receiver(&r2), YES);
  ASSERT_EQ(rl.Switch(), YES);
  EXPECT_EQ(rl.Necessary_time_from(), 100);
  EXPECT_EQ(rl.Necessary_time_to(), 1200);
}

TEST(Relay, PrintConnectionWithoutSenderOrReceivers) {
  Relay<double> rl("rl", 0);
  const std::string expected =
      ">Relay<double> rl 0 \n"
      ">\tNot connected to sender.\n"
      ">\tNot connected to receiver.\n";
  EXPECT_EQ(stderr_of([&] { rl.Print_connection(stderr, ">"); }), expected);
  ASSERT_EQ(rl.Switch(), YES);
  EXPECT_EQ(stderr_of([&] { rl.Print_connection(stderr, ">"); }), expected);
  EXPECT_EQ(stderr_of([&] { rl.Print_connection(stderr, nullptr); }),
            "Relay<double> rl 0 \n"
            "\tNot connected to sender.\n"
            "\tNot connected to receiver.\n");
}

TEST(Relay, PrintConnectionNamesSenderAndEveryReceiver) {
  Test_owner up("up", 0), down("down", 1);
  Test_sender s("sp", 0, "double");
  s.Set_owner(&up);
  Test_receiver r1("rp", 0, "double"), r2("rp", 1, "double");
  r1.Set_owner(&down);
  Relay<double> rl("rl", 0);
  ASSERT_EQ(rl.Set_sender(&s), YES);
  ASSERT_EQ(rl.Register_receiver(&r1), YES);
  ASSERT_EQ(rl.Register_receiver(&r2), YES);
  ASSERT_EQ(rl.Switch(), YES);
  EXPECT_EQ(stderr_of([&] { rl.Print_connection(stderr, "  "); }),
            "  Relay<double> rl 0 \n"
            "  Connected > Sender_port<double> sp 0 \n"
            "  Connected >     owner > Element up 0\n"
            "  Connected > Receive_port<double> rp 0 \n"
            "  Connected >     owner > Element down 1\n"
            "  Connected > Receive_port<double> rp 1 \n");
}

// A real sender, a relay and interpolating receivers behind it.
struct Relayed {
  Test_owner up{"up", 0}, sub{"sub", 0, "Sub_system"}, slow{"slow", 1}, fast{"fast", 2};
  Send<double> sp{"sp", 0};
  Relay<double> rl{"rl", 0};
  Receive<double> r1{"rp", 0}, r2{"rp", 1};
  Relayed() {
    sp.Set_owner(&up);
    rl.Set_owner(&sub);
    r1.Set_owner(&slow);
    r2.Set_owner(&fast);
    EXPECT_EQ(rl.Set_sender(&sp), YES);
    EXPECT_EQ(sp.Register_receiver(&rl), YES);
    for (Receive<double>* r : {&r1, &r2}) {
      EXPECT_EQ(r->Set_sender(&rl), YES);
      EXPECT_EQ(rl.Register_receiver(r), YES);
    }
    EXPECT_EQ(sp.Switch(), YES);
    EXPECT_EQ(rl.Switch(), YES);
    for (Long t = 0; t <= 1000; t += 100) sp.Send_data(t, t / 10.0);
    sp.Set_data_pack_array();
  }
};

TEST(RelayWithSendPort, ReceiversReadTheSendersPacks) {
  Relayed s;
  EXPECT_EQ(s.rl.Are_you_ready(), YES);
  EXPECT_EQ(s.r1.Get_data(250), 25.0);
  EXPECT_EQ(s.r2.Get_data_sum(0, 1000), 50000.0);
  for (Long t : {-1, 0, 150, 200, 1000, 1001}) {
    for (char mode : {'b', 'f', 'l', 'x'}) {
      Data_pack* b1 = nullptr;
      Data_pack* a1 = nullptr;
      Data_pack* b2 = nullptr;
      Data_pack* a2 = nullptr;
      Boolean direct = s.sp.Get_data_pack(b1, t, a1, mode);
      EXPECT_EQ(s.rl.Get_data_pack(b2, t, a2, mode), direct) << t << mode;
      EXPECT_EQ(b2, b1) << t << mode;
      EXPECT_EQ(a2, a1) << t << mode;
    }
  }
  Data_pack* const* array = nullptr;
  int n = 0;
  s.rl.Get_data_pack_array(array, n);
  EXPECT_EQ(n, 11);
  EXPECT_EQ(s.rl.Oldest_data_time(), 0);
  EXPECT_EQ(s.rl.Newest_data_time(), 1000);
}

TEST(RelayWithSendPort, ReleaseWaitsForTheSlowestReceiverBehindTheRelay) {
  Relayed s;
  s.slow.from = 350;
  s.fast.from = 800;
  s.sp.Reduce_data_pack_stock();
  // The newest pack at or before 350 is the oldest one kept.
  EXPECT_EQ(s.sp.Oldest_data_time(), 300);
  EXPECT_EQ(s.r1.Get_data(350), 35.0);
  // A demand through the relay reaches the sender's owner.
  s.r1.Creq();
  EXPECT_EQ(s.up.demands, 1);
}

TEST(RelayWithSendPort, MatrixRelayFeedsAMatrixPulseReceiver) {
  Qavlensdir none(nullptr);
  Send<TzMatrix<double> > sp("sp", 0);
  Relay<TzMatrix<double> > rl("rl", 0);
  Relay<double> scalar("rd", 0);
  ReceiveNointp<TzMatrix<double> > rp("rp", 0);
  std::string err = stderr_of([&] { EXPECT_EQ(rp.Set_sender(&scalar), NO); });
  EXPECT_EQ(err, "E : receive.cpp : 52 : \n    s > Relay<double> rd 0 \n    ReceiveNointp<TzDMatrix> rp 0 \n");
  ASSERT_EQ(rl.Set_sender(&sp), YES);
  ASSERT_EQ(sp.Register_receiver(&rl), YES);
  ASSERT_EQ(rp.Set_sender(&rl), YES);
  ASSERT_EQ(rl.Register_receiver(&rp), YES);
  ASSERT_EQ(sp.Switch(), YES);
  ASSERT_EQ(rl.Switch(), YES);
  sp.Send_data(3600, TzMatrix<double>(2, 2, 1.5));
  sp.Set_data_pack_array();
  TzMatrix<double> v;
  ASSERT_EQ(rp.Get_pulse_data(3600, v), YES);
  EXPECT_EQ(v.GetRows(), 2u);
  EXPECT_EQ(v(1, 1), 1.5);
}

}  // namespace
