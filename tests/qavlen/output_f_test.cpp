#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <string>

#include "files_testing.h"
#include "output_f.h"
#include "p_tmp.h"
#include "qavlen_testing.h"
#include "tzmatrix.h"

namespace {

using ftest::read_file;
using ftest::write_file;
using qtest::Qavlensdir;
using qtest::stderr_of;

const std::string rule(70, '-');

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// An output file port on `path` connected to a send port "sp" of an
// element "el" (number 3) that is owned by a system "sys".
template <class T>
struct Wired {
  explicit Wired(const std::string& path)
      : root("sys", 0, "Total_system"), el("el", 3), sp("sp", 0), out(path.c_str(), 0) {
    el.Set_owner(&root);
    sp.Set_owner(&el);
    EXPECT_EQ(out.Set_sender(&sp), YES);
    EXPECT_EQ(sp.Register_receiver(&out), YES);
    EXPECT_EQ(sp.Switch(), YES);
    EXPECT_EQ(out.Switch(), YES);
  }
  void send(Long t, const T& v) {
    sp.Send_data(t, v);
    sp.Set_data_pack_array();
  }
  qtest::Test_owner root;
  qtest::Test_owner el;
  Send<T> sp;
  O_file<T> out;
};

std::string header_of(const std::string& path, const std::string& comments = "") {
  return "# " + path + " \n# " + rule +
         "\n#   Send<double> sp 0 \n#       owner > Element el 3\n#       owner >> Total_system sys 0\n# " + rule +
         "\n" + comments + "\n";
}

TEST(OutputFile, HeaderThenOnlyNewerPacksEachOnce) {
  cli::Folder dir;
  std::string path = dir.file("q.out");
  write_file(path, "an old run\n");  // replaced at the first write
  Wired<double> w(path);
  EXPECT_EQ(w.out.Necessary_time_from(), LONG_MIN32);
  EXPECT_EQ(w.out.Necessary_time_to(), LONG_MAX32);
  w.send(0, 0.25);
  w.send(600, 1234567.0);
  w.send(1200, -0.5);
  w.out.Output_data();
  std::string first = header_of(path) + "0 0.25\n600 1.23457e+06\n1200 -0.5\n";
  EXPECT_EQ(read_file(path), first);
  EXPECT_EQ(w.out.Last_data_time(), 1200);
  EXPECT_EQ(w.out.Necessary_time_from(), 1200);
  // The sender released what is written, but the last one.
  EXPECT_EQ(w.sp.Number_of_data_packs(), 1);
  EXPECT_EQ(w.sp.Oldest_data_time(), 1200);

  // Nothing new: nothing written.
  w.out.Output_data();
  EXPECT_EQ(read_file(path), first);
  // A pack stocked but not published is not seen.
  w.sp.Send_data(1800, 3.0);
  w.out.Output_data();
  EXPECT_EQ(read_file(path), first);
  w.sp.Set_data_pack_array();
  w.send(2400, 4.0);
  w.out.Output_data();
  EXPECT_EQ(read_file(path), first + "1800 3\n2400 4\n");
  EXPECT_FALSE(w.out.Output_failed());
}

// A pack stamped with the smallest time is written with the first write
// only, even when the sender keeps it first in its array.
TEST(OutputFile, PackOfTheSmallestTimeIsWrittenOnce) {
  cli::Folder dir;
  std::string path = dir.file("q.out");
  Wired<double> w(path);
  w.sp.Set_protect_past_data_flag(YES);
  w.send(LONG_MIN32, 0.5);
  w.out.Output_data();  // nothing newer than "nothing written": no file
  EXPECT_FALSE(ftest::exists(path));
  w.send(10, 1.5);
  w.out.Output_data();
  EXPECT_EQ(read_file(path), header_of(path) + "-2147483648 0.5\n10 1.5\n");
  w.send(20, 2.5);
  w.out.Output_data();
  EXPECT_EQ(w.sp.Oldest_data_time(), LONG_MIN32);
  EXPECT_EQ(read_file(path), header_of(path) + "-2147483648 0.5\n10 1.5\n20 2.5\n");
}

TEST(OutputFile, NothingPublishedWritesNothingNotEvenTheHeader) {
  cli::Folder dir;
  std::string path = dir.file("q.out");
  Wired<double> w(path);
  w.out.Output_data();
  EXPECT_FALSE(ftest::exists(path));
  w.sp.Send_data(10, 1.0);  // stocked, not published
  w.out.Output_data();
  EXPECT_FALSE(ftest::exists(path));
  EXPECT_EQ(w.out.Last_data_time(), LONG_MIN32);
}

TEST(OutputFile, CommentsOfThePortAndOfTheSender) {
  cli::Folder dir;
  std::string path = dir.file("q.out");
  Wired<double> w(path);
  w.out.Set_comment_string("first comment");
  w.out.Set_comment_string("discharge at the outlet [m3/s]");
  w.sp.Set_comment_string("from the basin");
  w.send(5, 1.5);
  w.out.Output_data();
  EXPECT_EQ(read_file(path), header_of(path, "# discharge at the outlet [m3/s]\n# from the basin\n") + "5 1.5\n");
}

TEST(OutputFile, FilesThatCannotBeOpenedAreReportedAndTriedAgain) {
  cli::Folder dir;
  std::string path = dir.file("no/such/dir/q.out");
  Qavlensdir none(nullptr);
  Wired<double> w(path);
  w.send(5, 1.5);
  std::string err = stderr_of([&] { w.out.Output_data(); });
  std::string desc = "    Input_file : O_file<double> " + path +
                     " \n      output < Send<double> sp 0 \n      output <     owner > Element el 3\n"
                     "      output <     owner >> Total_system sys 0\n";
  EXPECT_EQ(err, "E : output_f.cpp : 30 : Cannot open file '" + path + "' (mode \"w\").\n" + desc +
                     "E : p_tmp.cpp : 574 : Cannot open file '" + path + "' (mode \"a\").\n" + desc);
  EXPECT_EQ(w.out.Last_data_time(), LONG_MIN32);
  EXPECT_EQ(w.sp.Number_of_data_packs(), 1);  // nothing released
  EXPECT_TRUE(w.out.Output_failed());         // the run ends with status 1
}

// A full disk: the header and the lines are reported as not written, and
// the port keeps everything for the next output.
TEST(OutputFile, WritesThatFailAreReportedAndNothingCountsAsWritten) {
  Qavlensdir none(nullptr);
  const std::string path = "/dev/full";
  Wired<double> w(path);
  w.send(5, 1.5);
  w.send(10, 2.5);
  std::string err = stderr_of([&] { w.out.Output_data(); });
  std::string desc = "    Input_file : O_file<double> " + path +
                     " \n      output < Send<double> sp 0 \n      output <     owner > Element el 3\n"
                     "      output <     owner >> Total_system sys 0\n";
  std::string report = "E : output_f.cpp : 90 : Cannot write file '" + path + "'.\n" + desc;
  EXPECT_EQ(err, report + report);  // the header, then the lines
  EXPECT_EQ(w.out.Last_data_time(), LONG_MIN32);
  EXPECT_EQ(w.sp.Number_of_data_packs(), 2);  // nothing released
  EXPECT_TRUE(w.out.Output_failed());
}

// A write that fails part way through (the file reaches a size limit) is
// taken off the file again; once there is room, the next output writes the
// same lines, whole and once.
TEST(OutputFile, AFailedAppendIsCutBackAndWrittenWholeLater) {
  cli::Folder dir;
  std::string path = dir.file("q.out");
  EXPECT_EXIT(
      {
        Qavlensdir none(nullptr);
        Wired<double> w(path);
        w.send(0, 0.25);
        w.out.Output_data();
        const std::string first = read_file(path);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = first.size() + 10;
        setrlimit(RLIMIT_FSIZE, &small);
        for (Long t = 600; t <= 60000; t += 600) w.send(t, t / 7.0);
        w.out.Output_data();  // reported on the error stream
        bool ok = read_file(path) == first && w.out.Last_data_time() == 0 && w.sp.Number_of_data_packs() == 101;
        setrlimit(RLIMIT_FSIZE, &old);
        w.out.Output_data();
        std::string expected = first;
        for (Long t = 600; t <= 60000; t += 600) {
          char line[64];
          std::snprintf(line, sizeof line, "%d %g\n", t, t / 7.0);
          expected += line;
        }
        // Written whole in the end, but the failure stays on the record.
        ok = ok && read_file(path) == expected && w.out.Last_data_time() == 60000 && w.out.Output_failed();
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^E : output_f.cpp : 90 : Cannot write file '[^']*q.out'.\n    Input_file : ");
}

TEST(OutputFile, InitAndPrinting) {
  Qavlensdir none(nullptr);
  O_file<double> a("tmorvelan2d.out", 0);
  EXPECT_EQ(a.Line_length(), 128);
  EXPECT_STREQ(a.Object_name(), "tmorvelan2d.out");
  EXPECT_EQ(a.Object_number(), 0);
  EXPECT_EQ(stderr_of([&] { a.Cprint("    "); }), "    Input_file : O_file<double> tmorvelan2d.out \n");
  EXPECT_EQ(stderr_of([&] { a.Oprint("    "); }), "    Input_file : O_file<double> tmorvelan2d.out \n");

  O_file<double> b;
  int r = 1;
  EXPECT_EQ(stderr_of([&] { r = b.Init("b.out", -5); }),
            "E : output_f.cpp : 179 : \n    Input_file : O_file<double>  \n");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(b.Object_name(), nullptr);
  EXPECT_EQ(b.Init("b.out", 64), 1);
  EXPECT_EQ(b.Line_length(), 64);
  std::string err = stderr_of([&] { r = b.Init("c.out", 10); });
  EXPECT_EQ(r, 0);
  EXPECT_NE(err.find("E : output_f.cpp : 186 : \n    Input_file : O_file<double> b.out \n"), std::string::npos) << err;
  EXPECT_EQ(b.Line_length(), 64);
  EXPECT_STREQ(b.Object_name(), "b.out");
}

// One line per pack in the value's output form, for each kind of value.
TEST(OutputFile, ValueTypes) {
  cli::Folder dir;
  {
    Wired<QavlenString> w(dir.file("s.out"));
    w.send(3600, QavlenString("gauge 1"));
    w.out.Output_data();
    std::string text = read_file(dir.file("s.out"));
    EXPECT_TRUE(ends_with(text, "\n\n3600 \"gauge 1\"\n")) << text;
    EXPECT_NE(text.find("#   Send<QavlenString> sp 0 \n"), std::string::npos);
  }
  {
    Wired<Vary<int>> w(dir.file("v.out"));
    Vary<int> v(3);
    v[0] = 1;
    v[1] = 2;
    v[2] = 3;
    w.send(10, v);
    w.send(20, Vary<int>());
    w.out.Output_data();
    std::string text = read_file(dir.file("v.out"));
    EXPECT_TRUE(ends_with(text, "\n\n10 3 1 2 3\n20 0\n")) << text;
  }
  {
    Wired<TzMatrix<double>> w(dir.file("m.out"));
    TzMatrix<double> m(2, 2, 0.0);
    m.Elem(0, 0) = 1;
    m.Elem(0, 1) = 2;
    m.Elem(1, 0) = 3;
    m.Elem(1, 1) = 4;
    w.send(3600, m);
    w.out.Output_data();
    std::string text = read_file(dir.file("m.out"));
    EXPECT_TRUE(ends_with(text, "\n\n3600 2 2\n1 3 \n2 4 \n")) << text;
  }
}

template <class T>
class OutputFileTypes : public testing::Test {};
using All_types = testing::Types<double, float, int, TzLong, QavlenString, Vary<double>, Vary<float>, Vary<int>,
                                 Vary<TzLong>, TzMatrix<double>, TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong>>;
TYPED_TEST_SUITE(OutputFileTypes, All_types);

TYPED_TEST(OutputFileTypes, TypeNameAndOneLine) {
  cli::Folder dir;
  Wired<TypeParam> w(dir.file("t.out"));
  EXPECT_STREQ(w.out.Data_pack_type(), Port_type<TypeParam>::data_pack_type);
  Port* fresh = w.out.NewPort();
  EXPECT_STREQ(fresh->Data_pack_type(), Port_type<TypeParam>::data_pack_type);
  EXPECT_STREQ(fresh->Class_name(), "O_file");
  delete fresh;
  w.send(7, TypeParam());
  w.out.Output_data();
  std::string text = read_file(dir.file("t.out"));
  EXPECT_NE(text.find("\n\n7 "), std::string::npos) << text;
  EXPECT_EQ(w.out.Last_data_time(), 7);
}

// The string output path of the base class: each pack rendered into the
// port's line buffer, never past it.
class Labelled : public Output_file {
 public:
  Labelled(const char* path, int length) : Output_file(path, length) {}
  const char* Data_pack_type() const override { return "double"; }
  Port* NewPort() override { return nullptr; }
  void Make_string_data(char* line, int size, Data_pack* pack) override {
    std::snprintf(line, static_cast<std::size_t>(size), "t=%d value=%g and a long tail of text", pack->Data_time(),
                  static_cast<Data<double>*>(pack)->Value());
  }
};

// A Labelled port of line length 16 on `path`, connected to a send port
// "sp" of an element "el" (number 3).
struct Labelled_wired {
  explicit Labelled_wired(const std::string& path) : el("el", 3), sp("sp", 0), out(path.c_str(), 16) {
    sp.Set_owner(&el);
    out.Set_sender(&sp);
    sp.Register_receiver(&out);
    sp.Switch();
  }
  qtest::Test_owner el;
  Send<double> sp;
  Labelled out;
};

TEST(OutputFile, StringOutputPathKeepsToTheLineLength) {
  cli::Folder dir;
  std::string path = dir.file("l.out");
  Labelled_wired w(path);
  Send<double>& sp = w.sp;
  Labelled& out = w.out;
  sp.Send_data(5, 0.5);
  sp.Send_data(6, 1.5);
  sp.Set_data_pack_array();
  out.Output_data();
  EXPECT_EQ(read_file(path), "# " + path + " \n# " + rule +
                                 "\n#   Send<double> sp 0 \n#       owner > Element el 3\n# " + rule +
                                 "\n\nt=5 value=0.5 a\nt=6 value=1.5 a\n");
  // A later output appends only the newer packs, each in a fresh line.
  sp.Send_data(7, 2.5);
  sp.Set_data_pack_array();
  out.Output_data();
  EXPECT_TRUE(ends_with(read_file(path), "\n\nt=5 value=0.5 a\nt=6 value=1.5 a\nt=7 value=2.5 a\n"));
  EXPECT_EQ(out.Last_data_time(), 7);
}

// The string output path reports a file it cannot open for appending at its
// own position, keeps its packs and tries again at the next output.
TEST(OutputFile, StringOutputPathReportsItsOwnAppendFailure) {
  cli::Folder dir;
  std::string path = dir.file("no/such/dir/l.out");
  Qavlensdir none(nullptr);
  Labelled_wired w(path);
  Send<double>& sp = w.sp;
  Labelled& out = w.out;
  sp.Send_data(5, 0.5);
  sp.Set_data_pack_array();
  std::string desc = "    Input_file : Output_file<double> " + path +
                     " \n      output < Send<double> sp 0 \n      output <     owner > Element el 3\n";
  std::string append = "E : output_f.cpp : 81 : Cannot open file '" + path + "' (mode \"a\").\n" + desc;
  EXPECT_EQ(stderr_of([&] { out.Output_data(); }),
            "E : output_f.cpp : 30 : Cannot open file '" + path + "' (mode \"w\").\n" + desc + append);
  EXPECT_EQ(out.Last_data_time(), LONG_MIN32);
  EXPECT_EQ(sp.Number_of_data_packs(), 1);
  EXPECT_TRUE(out.Output_failed());
  // Nothing counts as written: the next output tries the header again.
  EXPECT_EQ(stderr_of([&] { out.Output_data(); }),
            "E : output_f.cpp : 30 : Cannot open file '" + path + "' (mode \"w\").\n" + desc + append);
}

}  // namespace
