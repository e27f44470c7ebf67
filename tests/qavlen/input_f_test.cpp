#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "files_testing.h"
#include "input_f.h"
#include "p_tmp.h"
#include "qavlen_testing.h"
#include "tzmatrix.h"

namespace {

using ftest::set_mtime;
using ftest::write_file;
using qtest::Qavlensdir;
using qtest::stderr_of;

// A switched input file port on `path` (no receivers: nothing is released).
template <class T>
using Port_on = qtest::File_port_on<I_file, T>;

using Doubles = std::vector<std::pair<Long, double>>;

TEST(InputFile, LinesCommentsAndBlankLines) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path,
             "# a comment line\n"
             "  # 7\n"  // not a comment: its first item '#' is no time (0)
             "\n"
             " \t \n"
             "10 2.5\n"
             "\t 20\t3.5 extra items\n"
             "15 9\n"  // not newer than 20: discarded
             "20 9\n"
             "#30 9\n"
             "30 '4.5'\n"
             "40 5.5");  // last line without a line end
  Port_on<double> p(path);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 40\n");
  EXPECT_EQ(p.packs(), (Doubles{{0, 7}, {10, 2.5}, {20, 3.5}, {30, 4.5}, {40, 5.5}}));

  write_file(path, "50 1\n   \t");  // a last line of blanks is skipped
  set_mtime(path, 4102444800);      // a date after 2038
  p.read();
  EXPECT_EQ(p.packs(), (Doubles{{0, 7}, {10, 2.5}, {20, 3.5}, {30, 4.5}, {40, 5.5}, {50, 1}}));

  // A date beyond the nanosecond range of 64 bits (after 2262) is still
  // later than every date before it.
  write_file(path, "60 2\n");
  set_mtime(path, 10413792000);  // the year 2300
  p.read();
  EXPECT_EQ(p.packs().back(), (std::pair<Long, double>{60, 2}));
}

// The file is read again when its modification time or its size has
// changed since the last read: also a file appended to and given back its
// old time (cp -p, rsync -t), or one whose time goes back (written under a
// clock ahead of this machine's, then under the right one).
TEST(InputFile, ReadAgainWhenTheModificationTimeOrTheSizeChanged) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path, "10 1\n");
  set_mtime(path, 2000, 500);
  Port_on<double> p(path);
  p.read();
  EXPECT_EQ(p.in.File_time_at_input(), 2000LL * 1000000000 + 500);
  set_mtime(path, 2000, 500);  // neither changed: not read
  EXPECT_EQ(p.read(), "");
  ftest::append_file(path, "20 2\n");
  set_mtime(path, 2000, 500);  // appended, the time given back: read
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 20\n");
  EXPECT_EQ(p.packs(), (Doubles{{10, 1}, {20, 2}}));
  EXPECT_EQ(p.read(), "");
  ftest::append_file(path, "30 3\n");
  set_mtime(path, 1999);  // appended under an earlier time: read
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 30\n");
  EXPECT_EQ(p.in.File_time_at_input(), 1999LL * 1000000000);
  set_mtime(path, 1999, 1);  // one nanosecond later, the same size: read
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 30\n");
  EXPECT_EQ(p.packs(), (Doubles{{10, 1}, {20, 2}, {30, 3}}));
  // Edited older lines are not taken again; appended newer ones are.
  write_file(path, "10 100\n20 200\n30 300\n40 4\n");
  set_mtime(path, 2001);
  p.read();
  EXPECT_EQ(p.packs(), (Doubles{{10, 1}, {20, 2}, {30, 3}, {40, 4}}));
}

TEST(InputFile, LongLinesAreNeverSplit) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  std::string wide(300000, ' ');
  write_file(path, "10" + wide + "1.5\n20 2.5" + wide + "\n30 " + std::string(70000, '7') + "\n");
  Port_on<double> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(packs[0], (std::pair<Long, double>{10, 1.5}));
  EXPECT_EQ(packs[1], (std::pair<Long, double>{20, 2.5}));
  EXPECT_EQ(packs[2].first, 30);
}

// A port whose file grows while it is being read: the first data line it
// turns into a pack appends a line longer than any the file held before.
class Growing_while_read : public I_file<double> {
 public:
  explicit Growing_while_read(const std::string& path) : I_file<double>(path.c_str()) {}
  Data_pack* Make_data_pack(char* line) override {
    if (!grown) {
      grown = true;
      ftest::append_file(Object_name(), "30" + std::string(40, ' ') + "3\n");
      set_mtime(Object_name(), 3000);
    }
    return I_file<double>::Make_data_pack(line);
  }
  bool grown = false;
};

TEST(InputFile, LinesAppendedDuringAReadWaitForTheNextOne) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path, "10 1\n20 2\n");
  set_mtime(path, 2000);
  Growing_while_read in(path);
  ASSERT_EQ(in.Switch(), YES);
  auto packs = [&] {
    Data_pack* const* a = nullptr;
    int n = 0;
    in.Get_data_pack_array(a, n);
    Doubles out;
    for (int k = 0; k < n; ++k) out.push_back({a[k]->Data_time(), static_cast<Data<double>*>(a[k])->Value()});
    return out;
  };
  // The appended line is not cut to the length of the lines counted before.
  stderr_of([&] { in.Input_data(); });
  EXPECT_EQ(packs(), (Doubles{{10, 1}, {20, 2}}));
  stderr_of([&] { in.Input_data(); });
  EXPECT_EQ(packs(), (Doubles{{10, 1}, {20, 2}, {30, 3}}));
}

// A port whose file is rewritten while it is read, behind a megabyte of
// comments (past what the stream has buffered), with its modification time
// set back to what it was.
class Changed_while_read : public I_file<double> {
 public:
  Changed_while_read(const std::string& path, std::string after)
      : I_file<double>(path.c_str()), after_(std::move(after)) {}
  Data_pack* Make_data_pack(char* line) override {
    if (!changed_) {
      changed_ = true;
      write_file(Object_name(), after_);
      set_mtime(Object_name(), 2000);
    }
    return I_file<double>::Make_data_pack(line);
  }

 private:
  std::string after_;
  bool changed_ = false;
};

TEST(InputFile, ALineChangedWhileReadIsNotCutIntoAPack) {
  std::string filler;
  for (int k = 0; k < 131072; ++k) filler += "#234567\n";
  const std::string head = "10 1\n" + filler;
  struct Case {
    const char* what;
    std::string before, after;
    Doubles first, second;
  } cases[] = {
      {"a last line being written when the lines were counted",
       head + "20 2",
       head + "20 2.5\n",
       {{10, 1}},
       {{10, 1}, {20, 2.5}}},
      {"a line rewritten longer",
       head + "20 2\n30 3\n",
       head + "20 2000000\n30 3\n",
       {{10, 1}},
       {{10, 1}, {20, 2000000}, {30, 3}}},
      {"a file cut short", head + "20 2\n30 3\n", head + "20 2\n30 3", {{10, 1}, {20, 2}}, {{10, 1}, {20, 2}, {30, 3}}},
  };
  for (const Case& k : cases) {
    cli::Folder dir;
    std::string path = dir.file("in.dat");
    write_file(path, k.before);
    set_mtime(path, 2000);
    Changed_while_read in(path, k.after);
    ASSERT_EQ(in.Switch(), YES);
    auto packs = [&] {
      Data_pack* const* a = nullptr;
      int n = 0;
      in.Get_data_pack_array(a, n);
      Doubles out;
      for (int j = 0; j < n; ++j) out.push_back({a[j]->Data_time(), static_cast<Data<double>*>(a[j])->Value()});
      return out;
    };
    // The changed line is left for the next read, which comes although the
    // file's status did not change; after it the file is not read again.
    stderr_of([&] { in.Input_data(); });
    EXPECT_EQ(packs(), k.first) << k.what;
    stderr_of([&] { in.Input_data(); });
    EXPECT_EQ(packs(), k.second) << k.what;
    EXPECT_EQ(stderr_of([&] { in.Input_data(); }), "") << k.what;
  }
}

TEST(InputFile, QuotedTextItems) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path,
             "3600 \"gauge 1\"\n"
             "3700 'it''s'\n"  // a quoted item ends at its closing quote
             "3800 \"open to the end\n"
             "3900\tplain words\n");
  Port_on<QavlenString> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 4u);
  EXPECT_EQ(packs[0].first, 3600);
  EXPECT_STREQ(packs[0].second.c_str(), "gauge 1");
  EXPECT_STREQ(packs[1].second.c_str(), "it");
  EXPECT_STREQ(packs[2].second.c_str(), "open to the end");
  EXPECT_STREQ(packs[3].second.c_str(), "plain");
}

TEST(InputFile, ArraysAndMatrices) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path, "10 3 1 2 3\n20 0\n");
  Port_on<Vary<int>> v(path);
  v.read();
  auto packs = v.packs();
  ASSERT_EQ(packs.size(), 2u);
  ASSERT_EQ(packs[0].second.Size(), 3);
  EXPECT_EQ(packs[0].second.Value(2), 3);
  EXPECT_EQ(packs[1].second.Size(), 0);

  std::string mpath = dir.file("m.dat");
  write_file(mpath, "3600 2 2 1 3 2 4\n");  // column by column
  Port_on<TzMatrix<double>> m(mpath);
  m.read();
  auto mp = m.packs();
  ASSERT_EQ(mp.size(), 1u);
  EXPECT_EQ(mp[0].second(0, 1), 2);
  EXPECT_EQ(mp[0].second(1, 0), 3);
}

TEST(InputFile, NewestTimeIncludesRestoredPacks) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path, "10 1\n20 2\n");
  Port_on<double> p(path);
  std::string items = std::string("5000") + '\0' + "0.5" + '\0' + '\0';
  char* cursor = &items[0];
  p.in.Send_by_string(cursor);
  EXPECT_EQ(*cursor, '\0');  // past the pack's two items
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 5000\n");
  EXPECT_EQ(p.packs(), (Doubles{{5000, 0.5}}));
}

TEST(InputFile, MissingAndEmptyFiles) {
  cli::Folder dir;
  Qavlensdir none(nullptr);
  std::string missing = dir.file("missing.dat");
  Port_on<double> a(missing);
  EXPECT_EQ(a.read(), "E : input_f.cpp : 48 : \n    Input_file : I_file<double> " + missing + " \n");
  EXPECT_EQ(a.in.File_time_at_input(), Input_file::Not_read);

  std::string empty = dir.file("empty.dat");
  write_file(empty, "");
  set_mtime(empty, 100);
  Port_on<double> b(empty);
  EXPECT_EQ(b.read(), "E : input_f.cpp : 73 : \n    Input_file : I_file<double> " + empty + " \n");
  EXPECT_EQ(b.read(), "");  // not read again until modified
  EXPECT_EQ(b.in.Number_of_data_packs(), 0);
}

// A port that turns the lines into packs its own way (as the rain grid port
// does) is read through the same re-read: publication, the modification
// time, the empty file and the closing message are the skeleton's.
class Own_reading : public I_file<double> {
 public:
  explicit Own_reading(const char* path) : I_file<double>(path) {}
  int reads = 0;

 protected:
  // One pack per read whatever the file holds; "empty" when it says so.
  bool Stock_file(FILE* fp) override {
    ++reads;
    char word[8] = {};
    if (std::fscanf(fp, "%7s", word) == 1 && std::string(word) == "empty") return false;
    Data<double>* pack = new Data<double>();
    pack->Set_data(10 * reads, reads);
    Stock(pack);
    return true;
  }
};

TEST(InputFile, AnOwnReadingOfTheLinesGoesThroughTheSameReRead) {
  cli::Folder dir;
  Qavlensdir none(nullptr);
  const std::string path = dir.file("own.dat");
  write_file(path, "anything\n");
  set_mtime(path, 100);
  Own_reading port(path.c_str());
  ASSERT_EQ(port.Switch(), YES);
  EXPECT_EQ(stderr_of([&] { port.Input_data(); }), "File: " + path + "  newest data time : 10\n");
  EXPECT_EQ(stderr_of([&] { port.Input_data(); }), "");  // unchanged: not read
  set_mtime(path, 101);
  EXPECT_EQ(stderr_of([&] { port.Input_data(); }), "File: " + path + "  newest data time : 20\n");
  EXPECT_EQ(port.reads, 2);
  EXPECT_EQ(port.Number_of_data_packs(), 2);
  write_file(path, "empty\n");
  set_mtime(path, 102);
  EXPECT_EQ(stderr_of([&] { port.Input_data(); }),
            "E : input_f.cpp : 73 : \n    Input_file : I_file<double> " + path + " \n");
  EXPECT_EQ(port.Number_of_data_packs(), 2);
}

TEST(InputFile, FileThatCannotBeOpenedEndsTheProgramWithStatus3) {
  cli::Folder dir;
  Qavlensdir none(nullptr);
  write_file(dir.file("locked.dat"), "10 1\n");
  chmod(dir.file("locked.dat").c_str(), 0);
  cli::Result o = ftest::run(
      [] {
        // Even the super-user is refused once it has given up its rights.
        if (geteuid() == 0 && setuid(65534) != 0) return 50;
        Port_on<double> p("locked.dat");
        p.in.Input_data();
        return 0;
      },
      dir.path());
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err,
            "E : input_f.cpp : 59 : Cannot open file 'locked.dat' (mode \"r\").\n"
            "    Input_file : I_file<double> locked.dat \n");
}

TEST(InputFile, DemandBeyondTheDataThrows99) {
  I_file<double> in("rain.dat");
  int thrown = 0;
  std::string err = stderr_of([&] {
    try {
      in.Creq();
    } catch (int e) {
      thrown = e;
    }
  });
  EXPECT_EQ(thrown, 99);
  EXPECT_EQ(err, "Cannot get data from rain.dat \n");
}

TEST(InputFile, NamesAndPrinting) {
  I_file<double> in("tmorvelan2d.in");
  EXPECT_STREQ(in.Object_name(), "tmorvelan2d.in");
  EXPECT_EQ(in.Object_number(), 0);
  EXPECT_EQ(stderr_of([&] { in.Cprint("    "); }), "    Input_file : I_file<double> tmorvelan2d.in \n");
  EXPECT_EQ(stderr_of([&] { in.Oprint("    "); }), "    Input_file : I_file<double> tmorvelan2d.in \n");
  I_file<QavlenString> later;
  EXPECT_EQ(later.Object_name(), nullptr);
  EXPECT_EQ(later.Init("names.txt"), YES);
  EXPECT_STREQ(later.Object_name(), "names.txt");
  Port* fresh = later.NewPort();
  EXPECT_STREQ(fresh->Class_name(), "I_file");
  EXPECT_STREQ(fresh->Data_pack_type(), "QavlenString");
  delete fresh;
}

// An input port that is not a file port cannot be asked for data.
class Plain_input : public Input_port {
 public:
  Plain_input() : Input_port("gauge", 2) {}
  const char* Data_pack_type() const override { return "double"; }
  Port* NewPort() override { return nullptr; }
  void Input_data() override {}
  void Send_by_string(char*&) override {}
};

TEST(InputPortDeathTest, DemandEndsTheProgram) {
  Qavlensdir none(nullptr);
  Plain_input p;
  EXPECT_EXIT(p.Creq(), testing::ExitedWithCode(1), "E : input.cpp : 117 : \n    Input_port<double> gauge 2 \n");
}

template <class T>
class InputFileTypes : public testing::Test {};
using All_types = testing::Types<double, float, int, TzLong, QavlenString, Vary<double>, Vary<float>, Vary<int>,
                                 Vary<TzLong>, TzMatrix<double>, TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong>>;
TYPED_TEST_SUITE(InputFileTypes, All_types);

// Every type reads the time as its first item; the line "7 1 1 1" is a
// scalar 1, the text "1", an array of one 1, a 1 x 1 matrix holding 1.
TYPED_TEST(InputFileTypes, TypeNameAndOneLine) {
  cli::Folder dir;
  std::string path = dir.file("in.dat");
  write_file(path, "7 1 1 1\n");
  Port_on<TypeParam> p(path);
  EXPECT_STREQ(p.in.Data_pack_type(), Port_type<TypeParam>::data_pack_type);
  p.read();
  ASSERT_EQ(p.in.Number_of_data_packs(), 1);
  EXPECT_EQ(p.in.Newest_data_time(), 7);
}

}  // namespace
