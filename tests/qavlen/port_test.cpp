#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "p_tmp.h"
#include "port.h"
#include "qavlen_testing.h"
#include "receive.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;
using qtest::Test_owner;
using qtest::Test_receiver;
using qtest::Test_sender;

// A port class that gives none of the connection operations of its own.
class Bare : public Port {
 public:
  Bare(const char* name, int number) : Port(name, number) {}
  const char* Data_pack_type() const override { return "double"; }
  Boolean Are_you_ready() override { return NO; }
  void Set_data_pack_array() override {}
  Boolean Can_you_get_data(Long, Long) override { return NO; }
  void Get_data_pack_array(Data_pack* const*& a, int& n) override {
    a = nullptr;
    n = 0;
  }
  Long Oldest_data_time() override { return 0; }
  Long Newest_data_time() override { return 0; }
  int Number_of_data_packs() override { return 0; }
  Boolean Get_data_pack(Data_pack*&, Long, Data_pack*&, char) override { return NO; }
  Long Necessary_time_from() override { return 0; }
  Long Necessary_time_to() override { return 0; }
  void Reduce_data_pack_stock() override {}
  Port* NewPort() override { return nullptr; }
};

TEST(PortType, TheTypeNames) {
  EXPECT_STREQ(Port_type<double>::data_pack_type, "double");
  EXPECT_STREQ(Port_type<float>::data_pack_type, "float");
  EXPECT_STREQ(Port_type<int>::data_pack_type, "int");
  EXPECT_STREQ(Port_type<TzLong>::data_pack_type, "long");
  EXPECT_STREQ(Port_type<QavlenString>::data_pack_type, "QavlenString");
  EXPECT_STREQ(Port_type<Vary<double> >::data_pack_type, "Vdary");
  EXPECT_STREQ(Port_type<Vary<float> >::data_pack_type, "Vfary");
  EXPECT_STREQ(Port_type<Vary<int> >::data_pack_type, "Viary");
  EXPECT_STREQ(Port_type<Vary<TzLong> >::data_pack_type, "Vlary");
  EXPECT_STREQ(Port_type<TzMatrix<double> >::data_pack_type, "TzDMatrix");
  EXPECT_STREQ(Port_type<TzMatrix<float> >::data_pack_type, "TzFMatrix");
  EXPECT_STREQ(Port_type<TzMatrix<int> >::data_pack_type, "TzIMatrix");
  EXPECT_STREQ(Port_type<TzMatrix<TzLong> >::data_pack_type, "TzLMatrix");
}

// A port named with no name reports it from its constructor, before the
// typed part exists: the report prints the port without a type name.
class Unnamed : public Bare {
 public:
  Unnamed() : Bare(nullptr, 3) {}
};

TEST(Port, ConstructorWithoutNameReportsInsteadOfCrashing) {
  std::string err = stderr_of([] { Unnamed p; });
  EXPECT_NE(err.find("E : object.cpp : 109 : "), std::string::npos) << err;
  EXPECT_NE(err.find("    Port<> (null) 0 \n"), std::string::npos) << err;
}

TEST(Port, CprintNamesClassTypeNameAndNumber) {
  Bare p("sp", 0);
  EXPECT_STREQ(p.Class_name(), "Port");
  EXPECT_EQ(stderr_of([&] { p.Cprint(""); }), "Port<double> sp 0 \n");
  Test_owner e("morvelan2d", 0, "Morvelan2d");
  p.Set_owner(&e);
  EXPECT_EQ(stderr_of([&] { p.Oprint("    "); }),
            "    Port<double> sp 0 \n"
            "        owner > Morvelan2d morvelan2d 0\n");
}

TEST(Port, ConnectionStubsReportAndRefuse) {
  Qavlensdir none(nullptr);
  Test_owner e("e", 1);
  Bare p("p", 0);
  p.Set_owner(&e);
  Test_sender s("sp", 2, "double");
  std::string err = stderr_of([&] { EXPECT_EQ(p.Set_sender(&s), 0); });
  EXPECT_EQ(err,
            "E : port.cpp : 22 : \n"
            "    sender > Sender_port<double> sp 2 \n"
            "    Port<double> p 0 \n"
            "        owner > Element e 1\n");
  err = stderr_of([&] { EXPECT_EQ(p.Set_sender(nullptr), 0); });
  EXPECT_EQ(err,
            "E : port.cpp : 22 : \n"
            "    Port<double> p 0 \n"
            "        owner > Element e 1\n");
  Test_receiver r("rp", 3, "double");
  err = stderr_of([&] { EXPECT_EQ(p.Register_receiver(&r), 0); });
  EXPECT_EQ(err,
            "E : port.cpp : 33 : \n"
            "    receiver > Receive_port<double> rp 3 \n"
            "    Port<double> p 0 \n"
            "        owner > Element e 1\n");
  err = stderr_of([&] { EXPECT_EQ(p.Switch(), 0); });
  EXPECT_EQ(err,
            "E : port.cpp : 44 : \n"
            "    Port<double> p 0 \n"
            "        owner > Element e 1\n");
  // A receiving port has no receivers: Port's stub, with its explanation.
  Qavlensdir dir(qtest::explain_dir().c_str());
  err = stderr_of([&] { EXPECT_EQ(r.Register_receiver(&r), 0); });
  EXPECT_EQ(err.rfind("E : port.cpp : 33 : \n    A receiver was offered", 0), 0u) << err;
}

TEST(Port, PrintConnectionOfAPlainPort) {
  Bare p("p", 0);
  EXPECT_EQ(stderr_of([&] { p.Print_connection(stderr, "  "); }),
            "  Port<double> p 0 \n  "
            "    This port not connected.\n");
  p.Creq();  // does nothing
}

// The typed ports of the thirteen value types: a sender and a receiver
// connect, from either side, exactly when their types are the same, and a
// refused connection leaves the receiver without sender.
struct Typed {
  const char* name;
  std::function<Port*()> sender;
  std::function<Port*()> receiver;
};

template <class T>
Typed typed(const char* name) {
  return {name, [] { return new Send<T>("sp", 0); }, [] { return new ReceiveNointp<T>("rp", 1); }};
}
template <class T>
Typed scalar(const char* name) {
  return {name, [] { return new Send<T>("sp", 0); }, [] { return new Receive<T>("rp", 1); }};
}

TEST(PortType, TypedPortsConnectOnlyToTheirOwnType) {
  Qavlensdir none(nullptr);
  const std::vector<Typed> types = {
      scalar<double>("double"),
      scalar<float>("float"),
      scalar<int>("int"),
      scalar<TzLong>("long"),
      typed<QavlenString>("QavlenString"),
      typed<Vary<double> >("Vdary"),
      typed<Vary<float> >("Vfary"),
      typed<Vary<int> >("Viary"),
      typed<Vary<TzLong> >("Vlary"),
      typed<TzMatrix<double> >("TzDMatrix"),
      typed<TzMatrix<float> >("TzFMatrix"),
      typed<TzMatrix<int> >("TzIMatrix"),
      typed<TzMatrix<TzLong> >("TzLMatrix"),
  };
  for (const Typed& s : types) {
    for (const Typed& r : types) {
      std::unique_ptr<Port> sp(s.sender()), rp(r.receiver());
      ASSERT_STREQ(sp->Data_pack_type(), s.name);
      ASSERT_STREQ(rp->Data_pack_type(), r.name);
      bool same = std::strcmp(s.name, r.name) == 0;
      std::string err = stderr_of([&] {
        EXPECT_EQ(rp->Set_sender(sp.get()), same ? 1 : 0) << s.name << " > " << r.name;
        EXPECT_EQ(sp->Register_receiver(rp.get()), same ? 1 : 0) << s.name << " > " << r.name;
      });
      if (same) {
        EXPECT_EQ(err, "");
        EXPECT_EQ(rp->Are_you_ready(), 1);
        ASSERT_EQ(sp->Switch(), 1);
        EXPECT_EQ(static_cast<Sender_port*>(sp.get())->Number_of_receivers(), 1);
      } else {
        EXPECT_EQ(err.rfind("E : receive.cpp : 52 : \n    s > Send<" + std::string(s.name) + "> sp 0 \n", 0), 0u)
            << err;
        EXPECT_NE(err.find("E : sender.cpp : 63 : \n    r > "), std::string::npos) << err;
        EXPECT_EQ(static_cast<Receive_port*>(rp.get())->Sender(), nullptr);
        EXPECT_EQ(rp->Are_you_ready(), 0);
        ASSERT_EQ(sp->Switch(), 1);
        EXPECT_EQ(static_cast<Sender_port*>(sp.get())->Number_of_receivers(), 0);
      }
    }
  }
}

}  // namespace
