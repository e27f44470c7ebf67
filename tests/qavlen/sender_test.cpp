#include <gtest/gtest.h>

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

}  // namespace
