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

}  // namespace
