#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "port.h"
#include "qavlen_testing.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;
using qtest::Test_owner;
using qtest::Test_receiver;
using qtest::Test_sender;

TEST(SenderPort, RegistrationInOrderOnceEachThenSwitch) {
  Test_sender s("sp", 0, "double");
  Test_receiver r1("r1", 0, "double"), r2("r2", 0, "double");
  EXPECT_STREQ(s.Class_name(), "Sender_port");
  EXPECT_EQ(s.Number_of_receivers(), -1);
  EXPECT_EQ(s.Are_you_ready(), 0);
  EXPECT_EQ(s.Register_receiver(&r2), 1);
  EXPECT_EQ(s.Register_receiver(&r1), 1);
  EXPECT_EQ(s.Register_receiver(&r2), 1);  // kept once
  EXPECT_EQ(s.Switch(), 1);
  EXPECT_EQ(s.Are_you_ready(), 1);
  ASSERT_EQ(s.Number_of_receivers(), 2);
  EXPECT_EQ(s.Receiver(0), &r2);
  EXPECT_EQ(s.Receiver(1), &r1);
  // A sender does not set the receivers' sender.
  EXPECT_EQ(r1.Sender(), nullptr);
}

TEST(SenderPort, RefusalsInTheirOrder) {
  Qavlensdir none(nullptr);
  Test_owner e("e", 0);
  Test_sender s("sp", 0, "double");
  s.Set_owner(&e);
  Test_receiver wrong("rf", 1, "float"), ok("rd", 2, "double");
  const std::string me = "    Sender_port<double> sp 0 \n        owner > Element e 0\n";
  std::string err = stderr_of([&] { EXPECT_EQ(s.Register_receiver(nullptr), 0); });
  EXPECT_EQ(err, "E : sender.cpp : 30 : \n" + me);
  err = stderr_of([&] { EXPECT_EQ(s.Register_receiver(&wrong), 0); });
  EXPECT_EQ(err, "E : sender.cpp : 63 : \n    r > Receive_port<float> rf 1 \n" + me);
  EXPECT_EQ(s.Switch(), 1);
  EXPECT_EQ(s.Number_of_receivers(), 0);
  // After the switch the state test comes before the type test.
  err = stderr_of([&] { EXPECT_EQ(s.Register_receiver(&wrong), 0); });
  EXPECT_EQ(err, "E : sender.cpp : 42 : \n    Receive_port<float> rf 1 \n" + me);
  err = stderr_of([&] { EXPECT_EQ(s.Register_receiver(&ok), 0); });
  EXPECT_EQ(err, "E : sender.cpp : 42 : \n    Receive_port<double> rd 2 \n" + me);
  err = stderr_of([&] { EXPECT_EQ(s.Switch(), 0); });
  EXPECT_EQ(err, "E : sender.cpp : 81 : \n    number_of_receivers = 0.\n" + me);
  EXPECT_EQ(s.Number_of_receivers(), 0);
}

TEST(SenderPort, TimeWindowOverTheReceivers) {
  Test_owner sender_owner("up", 0), a("a", 1), b("b", 2);
  Test_sender s("sp", 0, "double");
  Test_receiver ra("ra", 0, "double"), rb("rb", 0, "double"), loose("rl", 0, "double");
  ra.Set_owner(&a);
  rb.Set_owner(&b);
  a.from = 300;
  a.to = 900;
  b.from = 100;
  b.to = 600;
  s.Register_receiver(&ra);
  s.Register_receiver(&rb);
  s.Register_receiver(&loose);  // no owner: LONG_MIN and LONG_MAX
  s.Switch();
  // Without an owner the sender answers with the sentinels.
  EXPECT_EQ(s.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(s.Necessary_time_to(), LONG_MAX32);
  s.Set_owner(&sender_owner);
  EXPECT_EQ(s.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(s.Necessary_time_to(), LONG_MAX32);

  Test_sender two("two", 0, "double");
  two.Set_owner(&sender_owner);
  two.Register_receiver(&ra);
  two.Register_receiver(&rb);
  // Before Switch there is no receiver array.
  EXPECT_EQ(two.Necessary_time_from(), LONG_MIN32);
  two.Switch();
  EXPECT_EQ(two.Necessary_time_from(), 100);
  EXPECT_EQ(two.Necessary_time_to(), 900);

  Test_sender none("none", 0, "double");
  none.Set_owner(&sender_owner);
  none.Switch();
  EXPECT_EQ(none.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(none.Necessary_time_to(), LONG_MAX32);
}

TEST(SenderPort, PrintConnection) {
  Test_owner e("e", 0), f("f", 4);
  Test_sender s("sp", 0, "double");
  s.Set_owner(&e);
  EXPECT_EQ(stderr_of([&] { s.Print_connection(stderr, "> "); }),
            "> Sender_port<double> sp 0 \n>     owner > Element e 0\n> \tNot connected.\n");
  Test_receiver r1("r1", 0, "double"), r2("r2", 1, "double");
  r1.Set_owner(&f);
  s.Register_receiver(&r1);
  s.Register_receiver(&r2);
  EXPECT_EQ(stderr_of([&] { s.Print_connection(stderr, nullptr); }),
            "Sender_port<double> sp 0 \n    owner > Element e 0\n\tNot connected.\n");
  s.Switch();
  EXPECT_EQ(stderr_of([&] { s.Print_connection(stderr, "#"); }),
            "#Sender_port<double> sp 0 \n"
            "#    owner > Element e 0\n"
            "#Connected > Receive_port<double> r1 0 \n"
            "#Connected >     owner > Element f 4\n"
            "#Connected > Receive_port<double> r2 1 \n");
}

TEST(SenderPort, CommentStringIsAnOwnCopy) {
  Test_sender s("sp", 0, "double");
  EXPECT_EQ(s.Get_comment_string(), nullptr);
  char text[] = "outlet discharge [m3/s]";
  s.Set_comment_string(text);
  text[0] = 'X';
  auto copy = s.Get_comment_string();
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy.get(), "outlet discharge [m3/s]");
  copy[0] = 'Y';
  EXPECT_STREQ(s.Get_comment_string().get(), "outlet discharge [m3/s]");
  s.Set_comment_string("second");
  EXPECT_STREQ(s.Get_comment_string().get(), "second");
  s.Set_comment_string(nullptr);
  EXPECT_EQ(s.Get_comment_string(), nullptr);
}

// A sending port of a class that drops its receiver list while it is
// still collecting: registration is refused after the null and state tests.
class Listless : public Test_sender {
 public:
  Listless() : Test_sender("sp", 5, "double") { buffer_list.reset(); }
};

TEST(SenderPort, RegistrationWithoutAReceiverListIsRefused) {
  Qavlensdir none(nullptr);
  Listless s;
  Test_receiver wrong("rf", 1, "float");
  const std::string me = "    Sender_port<double> sp 5 \n";
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(s.Register_receiver(nullptr), 0); }), "E : sender.cpp : 30 : \n" + me);
  // The missing list is found before the type test.
  EXPECT_EQ(stderr_of([&] { EXPECT_EQ(s.Register_receiver(&wrong), 0); }), "E : sender.cpp : 52 : \n" + me);
  EXPECT_EQ(s.Switch(), 1);
  EXPECT_EQ(s.Number_of_receivers(), 0);
}

// The unnamed form collects and switches like the named one.
class Unnamed_sender : public Sender_port {
 public:
  const char* Data_pack_type() const override { return "int"; }
  void Set_data_pack_array() override {}
  Boolean Can_you_get_data(Long, Long) override { return NO; }
  void Get_data_pack_array(Data_pack* const*& a, int& n) override {
    a = nullptr;
    n = 0;
  }
  Long Oldest_data_time() override { return LONG_MAX32; }
  Long Newest_data_time() override { return LONG_MIN32; }
  int Number_of_data_packs() override { return 0; }
  Boolean Get_data_pack(Data_pack*& b, Long, Data_pack*& a, char) override {
    b = a = nullptr;
    return NO;
  }
  void Reduce_data_pack_stock() override {}
  Port* NewPort() override { return new Unnamed_sender(); }
};

TEST(SenderPort, DefaultConstructedPortCollectsItsReceivers) {
  std::unique_ptr<Port> made(Unnamed_sender().NewPort());
  auto* s = static_cast<Sender_port*>(made.get());
  EXPECT_STREQ(s->Class_name(), "Sender_port");
  EXPECT_EQ(s->Object_name(), nullptr);
  EXPECT_EQ(s->Number_of_receivers(), -1);
  EXPECT_EQ(s->Are_you_ready(), 0);
  Test_receiver r("r", 0, "int");
  EXPECT_EQ(s->Register_receiver(&r), 1);
  EXPECT_EQ(s->Switch(), 1);
  EXPECT_EQ(s->Number_of_receivers(), 1);
  EXPECT_EQ(s->Receiver(0), &r);
  EXPECT_EQ(stderr_of([&] { s->Cprint(""); }), "Sender_port<int> (null) 0 \n");
}

}  // namespace
