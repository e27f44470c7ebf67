#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "files_testing.h"
#include "object.h"
#include "qavlen_testing.h"

namespace {

using qtest::Qavlensdir;
using qtest::stderr_of;

class Word : public Object {
 public:
  Word(const char* word, const char* name, int number) {
    class_name = word;
    Init(name, number);
  }
};

std::string oprint(const Object& o, const char* prefix) {
  return stderr_of([&] { o.Oprint(prefix); });
}

TEST(Object, NewObjectHasNoNameNumberOrOwner) {
  Object o;
  EXPECT_STREQ(o.Class_name(), "Object");
  EXPECT_EQ(o.Object_name(), nullptr);
  EXPECT_EQ(o.Object_number(), 0);
  EXPECT_EQ(o.Owner(), nullptr);
  Object named("vrb", 3);
  EXPECT_STREQ(named.Object_name(), "vrb");
  EXPECT_EQ(named.Object_number(), 3);
}

TEST(Object, InitCopiesTheName) {
  char name[] = "edge";
  Object o;
  EXPECT_EQ(o.Init(name, 7), 1);
  name[0] = 'X';
  EXPECT_STREQ(o.Object_name(), "edge");
}

TEST(Object, CprintAndOprintOfTheOwnerChain) {
  Word root("Total_system", "vrb", 0);
  Word sub("Sub_system", "basin", 1);
  Word elem("Element", "morvelan2d", -2);
  ASSERT_EQ(sub.Set_owner(&root), 1);
  ASSERT_EQ(elem.Set_owner(&sub), 1);
  EXPECT_EQ(stderr_of([&] { root.Cprint("P:"); }), "P:Total_system vrb 0\n");
  EXPECT_EQ(oprint(root, "    "), "    Total_system vrb 0\n");
  EXPECT_EQ(oprint(sub, "    "),
            "    Sub_system basin 1\n"
            "        owner > Total_system vrb 0\n");
  EXPECT_EQ(oprint(elem, "    "),
            "    Element morvelan2d -2\n"
            "        owner > Sub_system basin 1\n"
            "        owner >> Total_system vrb 0\n");
  // The depth count starts again with every Oprint.
  EXPECT_EQ(oprint(elem, ""),
            "Element morvelan2d -2\n"
            "    owner > Sub_system basin 1\n"
            "    owner >> Total_system vrb 0\n");
  // To a stream of the caller's choice.
  char buf[256] = {};
  FILE* f = fmemopen(buf, sizeof buf, "w");
  sub.Oprint(f, "#");
  std::fclose(f);
  EXPECT_STREQ(buf, "#Sub_system basin 1\n#    owner > Total_system vrb 0\n");
}

TEST(Object, OprintOfACycleOfOwnersEnds) {
  Object a("a", 0), b("b", 0);
  ASSERT_EQ(a.Set_owner(&b), 1);
  ASSERT_EQ(b.Set_owner(&a), 1);
  EXPECT_EQ(oprint(a, ""), "Object a 0\n    owner > Object b 0\n");
}

TEST(Object, SecondNamingIsRefusedAndTheFirstNameKept) {
  Qavlensdir none(nullptr);
  Object o("a", 0);
  std::string err;
  err = stderr_of([&] { EXPECT_EQ(o.Init("a", 0), 0); });
  EXPECT_EQ(err,
            "E : object.cpp : 114 : \n"
            "\to_name(arg) = \"a\", o_num(arg) = 0    Object a 0\n");
  err = stderr_of([&] { EXPECT_EQ(o.Init("b", 5), 0); });
  EXPECT_EQ(err,
            "E : object.cpp : 114 : \n"
            "\to_name(arg) = \"b\", o_num(arg) = 5    Object a 0\n");
  EXPECT_STREQ(o.Object_name(), "a");
  EXPECT_EQ(o.Object_number(), 0);
}

TEST(Object, InitWithoutNameIsRefused) {
  Qavlensdir none(nullptr);
  Object o;
  std::string err = stderr_of([&] { EXPECT_EQ(o.Init(nullptr, 4), 0); });
  EXPECT_EQ(err, "E : object.cpp : 109 : \n    Object (null) 0\n");
  EXPECT_EQ(o.Object_name(), nullptr);
  EXPECT_EQ(o.Object_number(), 0);
  // The name can still be given afterwards.
  EXPECT_EQ(o.Init("late", 1), 1);
}

TEST(Object, InitReportEchoesItsExplanation) {
  Qavlensdir dir(qtest::explain_dir().c_str());
  Object o;
  std::string err = stderr_of([&] { o.Init(nullptr, 0); });
  EXPECT_EQ(err,
            "E : object.cpp : 109 : \n"
            "    Init was given no name. An object is found and printed by its name and\n"
            "    number; it stays unnamed and cannot be registered.\n"
            "    Object (null) 0\n");
}

TEST(Object, OwnerIsSetOnce) {
  Qavlensdir none(nullptr);
  Word root("Total_system", "vrb", 0);
  Word other("Sub_system", "s", 1);
  Word elem("Element", "e", 2);
  EXPECT_EQ(elem.Set_owner(&root), 1);
  EXPECT_EQ(elem.Set_owner(&root), 1);  // the same owner again
  std::string err = stderr_of([&] { EXPECT_EQ(elem.Set_owner(&other), 0); });
  EXPECT_EQ(err,
            "E : object.cpp : 67 : \n"
            "    first : Total_system vrb 0\n"
            "    next  : Sub_system s 1\n"
            "    Element e 2\n");
  EXPECT_EQ(elem.Owner(), &root);
  err = stderr_of([&] { EXPECT_EQ(elem.Set_owner(nullptr), 0); });
  EXPECT_EQ(err,
            "E : object.cpp : 59 : \n"
            "    Element e 2\n"
            "        owner > Total_system vrb 0\n");
  EXPECT_EQ(elem.Owner(), &root);
}

// A unit of the test's own, whose explanation the test writes.
#define TEST_UNIT_POINTS(P) P(failed, 2)
QAVLEN_REPORT_POINTS(Test_point, "unit.cpp", TEST_UNIT_POINTS)

// Every form of the one report call writes the report line, the explanation
// kept at its position, what the form adds, and the object's description.
TEST(Object, ReportsNameTheObjectAfterTheExplanation) {
  cli::Folder tmp;
  ftest::write_file(tmp.file("unit.cpp"), "\n// Why it failed.\n");
  Qavlensdir dir(tmp.path().c_str());
  Word root("Total_system", "vrb", 0);
  Word elem("Element", "e", 2);
  ASSERT_EQ(elem.Set_owner(&root), 1);
  const std::string why = "    Why it failed.\n";
  const std::string described = "    Element e 2\n        owner > Total_system vrb 0\n";
  struct Case {
    const char* form;
    std::function<void()> report;
    std::string expected;
  } cases[] = {
      {"Report", [&] { elem.Report(Test_point::failed); }, "E : unit.cpp : 2 : \n" + why + described},
      {"Report with a message", [&] { elem.Report(Test_point::failed, "a line"); },
       "E : unit.cpp : 2 : a line\n" + why + described},
      {"Warn", [&] { elem.Warn(Test_point::failed); }, "W : unit.cpp : 2 : \n" + why + described},
      {"Warn with a message", [&] { elem.Warn(Test_point::failed, "a line"); },
       "W : unit.cpp : 2 : a line\n" + why + described},
      {"Report_values", [&] { elem.Report_values(Test_point::failed, "\tn = %d, s = %s\n", 7, "x"); },
       "E : unit.cpp : 2 : \n" + why + "\tn = 7, s = x\n" + described},
      {"Warn_values", [&] { elem.Warn_values(Test_point::failed, "\tn = %d\n", -1); },
       "W : unit.cpp : 2 : \n" + why + "\tn = -1\n" + described},
      {"Report_with", [&] { elem.Report_with(Test_point::failed, [&] { root.Cprint(stderr, "    other > "); }); },
       "E : unit.cpp : 2 : \n" + why + "    other > Total_system vrb 0\n" + described},
      {"Warn_with", [&] { elem.Warn_with(Test_point::failed, [] { std::fputs("\tmore\n", stderr); }); },
       "W : unit.cpp : 2 : \n" + why + "\tmore\n" + described},
      {"Report_fopen", [&] { elem.Report_fopen(Test_point::failed, "a.dat", "r"); },
       "E : unit.cpp : 2 : Cannot open file 'a.dat' (mode \"r\").\n" + why + described},
      {"Report_fwrite", [&] { elem.Report_fwrite(Test_point::failed, "a.dat"); },
       "E : unit.cpp : 2 : Cannot write file 'a.dat'.\n" + why + described},
  };
  for (const Case& c : cases) EXPECT_EQ(stderr_of(c.report), c.expected) << c.form;
}

TEST(Object, CompareInBothForms) {
  Word sp("Send", "sp", 0);
  struct Case {
    const char* cls;
    const char* name;
    int number;
    Boolean three, two;
  } cases[] = {
      {"Send", "sp", 0, 1, 1}, {"Send", "sp", 1, 0, 0}, {"Receive", "sp", 0, 0, 1}, {"Send", "spx", 0, 0, 0},
      {"send", "sp", 0, 0, 1}, {"Send", "s", 0, 0, 0},  {nullptr, "sp", 0, 0, 1},   {"Send", nullptr, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sp.Compare(c.cls, c.name, c.number), c.three)
        << (c.cls ? c.cls : "null") << " " << (c.name ? c.name : "null") << " " << c.number;
    EXPECT_EQ(sp.Compare(c.name, c.number), c.two) << (c.name ? c.name : "null") << " " << c.number;
  }
  Object unnamed;
  EXPECT_EQ(unnamed.Compare("Object", "", 0), 0);
  EXPECT_EQ(unnamed.Compare(nullptr, 0), 0);
}

TEST(Object, AbsnameFromTheRootDown) {
  Object r("r", 0), c("c", 2),
      d("a-very-long-name-of-a-component-well-past-any-fixed-buffer-size-"
        "that-an-old-implementation-might-have-used-for-it",
        -2147483647 - 1);
  c.Set_owner(&r);
  d.Set_owner(&c);
  EXPECT_EQ(r.Absname(), "/r__0");
  EXPECT_EQ(c.Absname(), "/r__0/c__2");
  EXPECT_EQ(d.Absname(),
            "/r__0/c__2/a-very-long-name-of-a-component-well-past-any-fixed-buffer-size-that-an-"
            "old-implementation-might-have-used-for-it__-2147483648");
}

}  // namespace
