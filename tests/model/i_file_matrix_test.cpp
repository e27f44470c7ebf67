#include "i_file_matrix.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "p_tmp.h"
#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"

namespace {

using ftest::set_mtime;
using ftest::write_file;
using qtest::stderr_of;

// A switched input file port on `path` (no receivers: nothing is released).
template <class T>
using Port_on = qtest::File_port_on<I_file_matrix, T>;

template <class M>
class IFileMatrixTyped : public ::testing::Test {};
using MatrixTypes = ::testing::Types<TzMatrix<double>, TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong>>;
TYPED_TEST_SUITE(IFileMatrixTyped, MatrixTypes);

template <class E>
double AsDouble(const E& v) {
  return static_cast<double>(v);
}
double AsDouble(const TzLong& v) { return v.v; }

// Element (i, j) of m as a double.
template <class M>
double At(const M& m, unsigned i, unsigned j) {
  return AsDouble(m(i, j));
}

TYPED_TEST(IFileMatrixTyped, NorthRowFirstValuesInIncreasingX) {
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "7200 3 2\n4 5 6\n1 2 3\n");
  Port_on<TypeParam> p(path);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 7200\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_EQ(packs[0].first, 7200);
  const TypeParam& m = packs[0].second;
  ASSERT_EQ(m.GetRows(), 3u);
  ASSERT_EQ(m.GetCols(), 2u);
  const double want[3][2] = {{1, 4}, {2, 5}, {3, 6}};
  for (unsigned i = 0; i < 3; ++i)
    for (unsigned j = 0; j < 2; ++j) EXPECT_EQ(At(m, i, j), want[i][j]) << i << "," << j;
  EXPECT_STREQ(p.in.Class_name(), "I_file_matrix");
  std::unique_ptr<Port> fresh(p.in.NewPort());
  EXPECT_STREQ(fresh->Class_name(), "I_file_matrix");
  EXPECT_STREQ(fresh->Data_pack_type(), p.in.Data_pack_type());
}

TYPED_TEST(IFileMatrixTyped, CommentsBlankLinesOneRowAndLineEnds) {
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path,
             "# radar rain\n"
             "\n"
             " \t \n"
             "  \t600 2 3\r\n"
             "# a comment inside the record does not count as a row\n"
             "5 6\r\n"
             "\t3  4 \n"
             "#\n"
             "1\t2\n"
             "\n");
  Port_on<TypeParam> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 1u);
  const TypeParam& a = packs[0].second;
  EXPECT_EQ(packs[0].first, 600);
  ASSERT_EQ(a.GetRows(), 2u);
  ASSERT_EQ(a.GetCols(), 3u);
  EXPECT_EQ(At(a, 0, 0), 1);
  EXPECT_EQ(At(a, 1, 0), 2);
  EXPECT_EQ(At(a, 0, 1), 3);
  EXPECT_EQ(At(a, 1, 1), 4);
  EXPECT_EQ(At(a, 0, 2), 5);
  EXPECT_EQ(At(a, 1, 2), 6);
  std::string one = dir.file("one_row.dat");
  write_file(one, "1200 4 1\n7 8 9 10\n");
  Port_on<TypeParam> q(one);
  q.read();
  auto rows = q.packs();
  ASSERT_EQ(rows.size(), 1u);
  const TypeParam& b = rows[0].second;
  ASSERT_EQ(b.GetRows(), 4u);
  ASSERT_EQ(b.GetCols(), 1u);
  for (unsigned i = 0; i < 4; ++i) EXPECT_EQ(At(b, i, 0), 7 + i);
}

// The result is that of the record text the port's layout stands for: the
// header, a blank, then the data lines last first, each with a blank after
// it, read by the plain matrix input file port.
template <class M>
M FromRecordText(const std::string& header, const std::vector<std::string>& rows) {
  std::string text = header + " ";
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) text += *it + " ";
  I_file<M> plain;
  std::unique_ptr<Data_pack> pack(plain.Make_data_pack(&text[0]));
  return static_cast<Data<M>*>(pack.get())->Value();
}

// The largest value of the row below that every type holds finite.
template <class M>
const char* Huge() {
  return std::is_same<M, TzMatrix<float>>::value ? "3.4e38" : "1e308";
}

TYPED_TEST(IFileMatrixTyped, SameValuesAsTheRecordText) {
  const std::vector<std::string> rows = {
      "0.1 -0 +5 1e-3 2.5e2 -7", std::string("123456789 0.3333333333333333 ") + Huge<TypeParam>() + " -1e-320 4. .5",
      "2147483648 -2147483649 1E2 0.1e1 3 0"};
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "60 6 3\n" + rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n");
  Port_on<TypeParam> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 1u);
  TypeParam want = FromRecordText<TypeParam>("60 6 3", rows);
  const TypeParam& got = packs[0].second;
  ASSERT_EQ(got.GetRows(), want.GetRows());
  ASSERT_EQ(got.GetCols(), want.GetCols());
  for (unsigned i = 0; i < 6; ++i)
    for (unsigned j = 0; j < 3; ++j) {
      double g = At(got, i, j), w = At(want, i, j);
      EXPECT_EQ(std::memcmp(&g, &w, sizeof g), 0) << i << "," << j << ": " << g << " vs " << w;
    }
}

using DMatrix = TzMatrix<double>;

TEST(IFileMatrix, LinesLongerThanTheReadBlocks) {
  // Rows of 300000 values (about 1.5 MB each) cross the blocks the file is
  // read in.
  const unsigned nx = 300000;
  std::string text = "60 " + std::to_string(nx) + " 3\n";
  for (int row = 2; row >= 0; --row) {
    for (unsigned i = 0; i < nx; ++i)
      text += std::to_string(row * 10 + static_cast<int>(i % 7)) + (i + 1 < nx ? " " : "");
    text += "\r\n";
  }
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, text);
  Port_on<DMatrix> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 1u);
  const DMatrix& m = packs[0].second;
  ASSERT_EQ(m.GetRows(), nx);
  ASSERT_EQ(m.GetCols(), 3u);
  for (unsigned j = 0; j < 3; ++j)
    for (unsigned i = 0; i < nx; i += 9973) ASSERT_EQ(m(i, j), j * 10 + i % 7) << i << "," << j;
  EXPECT_EQ(m(nx - 1, 2), 20 + (nx - 1) % 7);
}

// Read again when the modification time or the size has changed: a file
// appended to and given back its old time (cp -p, rsync -t) is read.
TEST(IFileMatrix, ReadAgainWhenTheModificationTimeOrTheSizeChanged) {
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "0 1 1\n1\n600 1 1\n2\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  p.read();
  ASSERT_EQ(p.packs().size(), 2u);
  ftest::append_file(path, "1200 1 1\n3\n");
  set_mtime(path, 3000);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1200\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(packs[2].first, 1200);
  EXPECT_EQ(packs[2].second(0, 0), 3);
  // Records held already are not stocked twice; the first ones keep their values.
  EXPECT_EQ(packs[0].second(0, 0), 1);
  // Neither changed: not read.
  set_mtime(path, 3000);
  EXPECT_EQ(p.read(), "");

  // Dates after 2038 and beyond the nanosecond range of 64 bits (after
  // 2262) are each later than the one before.
  ftest::append_file(path, "1800 1 1\n4\n");
  set_mtime(path, 4102444800);  // the year 2100
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1800\n");
  ftest::append_file(path, "2400 1 1\n5\n");
  set_mtime(path, 10413792000);  // the year 2300
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 2400\n");
  ASSERT_EQ(p.packs().size(), 5u);
  EXPECT_EQ(p.packs().back().second(0, 0), 5);
  EXPECT_EQ(p.read(), "");
}

TEST(IFileMatrix, RecordsNotNewerThanTheNewestHeldAreNotStocked) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  std::string path = dir.file("rain.dat");
  // Within one read: a second record of the same time and an earlier one
  // are refused (each with a warning), the first of the time stays.
  write_file(path, "600 1 1\n1\n600 1 1\n2\n300 1 1\n3\n1200 1 1\n4\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  const std::string descr = "    Input_file : I_file_matrix<TzDMatrix> " + path + " \n";
  EXPECT_EQ(p.read(), "W : i_file_matrix.cpp : 140 : " + path +
                          ", record of time 600, line 3: an earlier record (line 1) has the same time and "
                          "other values: this record is dropped.\n" +
                          descr + "W : i_file_matrix.cpp : 140 : " + path +
                          ", record of time 300, line 5: an earlier record (line 1) has the later time 600: "
                          "this record is dropped.\n" +
                          descr + "File: " + path + "  newest data time : 1200\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 2u);
  EXPECT_EQ(packs[0].first, 600);
  EXPECT_EQ(packs[0].second(0, 0), 1);
  EXPECT_EQ(packs[1].first, 1200);
  EXPECT_EQ(packs[1].second(0, 0), 4);

  // The file rewritten with other values in the records held: they keep
  // the values first read; only the newer record is added.
  write_file(path, "600 1 1\n7\n1200 1 1\n8\n1800 1 1\n5\n");
  set_mtime(path, 3001);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1800\n");
  packs = p.packs();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(packs[0].second(0, 0), 1);
  EXPECT_EQ(packs[1].second(0, 0), 4);
  EXPECT_EQ(packs[2].first, 1800);
  EXPECT_EQ(packs[2].second(0, 0), 5);
}

TEST(IFileMatrix, HeaderTimesAtTheEndsOfTheRange) {
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "-2147483648 1 1\n1\n+2147483647 1 1\n2\n");
  Port_on<DMatrix> p(path);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 2147483647\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 2u);
  EXPECT_EQ(packs[0].first, LONG_MIN32);
  EXPECT_EQ(packs[1].first, LONG_MAX32);
  EXPECT_EQ(packs[1].second(0, 0), 2);
}

// The reports of a record that ends the reading early, as the port prints
// them with its explanation and description.
std::string Description(const std::string& path) { return "    Input_file : I_file_matrix<TzDMatrix> " + path + " \n"; }

const char* const kCutWhy =
    "    The grid file ends inside this record: the program that writes the file\n"
    "    has not finished it yet. The record is not used on this read; it is read\n"
    "    whole on a later read, once the file has changed. A file that really ends\n"
    "    without a line end after its last row keeps that record waiting: end the\n"
    "    file with a line end.\n";

const char* const kRefusedWhy =
    "    This record of the grid file cannot be used. It and the records after it\n"
    "    are not taken: the run goes as far as the records before it reach, then\n"
    "    waits as for data that have not arrived (\"Cannot get data from\" the file,\n"
    "    the Quit prompt). Mend the file and answer N: it is read again.\n";

// "<kind> : i_file_matrix.cpp : <position> : <path><what>\n", the
// explanation, the description.
std::string Reported(const char* kind, int position, const char* why, const std::string& path,
                     const std::string& what) {
  return std::string(kind) + " : i_file_matrix.cpp : " + std::to_string(position) + " : " + path + what + "\n" + why +
         Description(path);
}
std::string Cut(const std::string& path, const std::string& what) { return Reported("W", 120, kCutWhy, path, what); }
std::string Refused(const std::string& path, const std::string& what) {
  return Reported("E", 130, kRefusedWhy, path, what);
}
std::string Newest(const std::string& path, Long t) {
  return "File: " + path + "  newest data time : " + std::to_string(t) + "\n";
}

// "rain.dat" of a fresh folder holding `text`, modified at 3000 s, read
// with the explanations of the reports.
struct Rain_file {
  explicit Rain_file(const std::string& text) : path(dir.file("rain.dat")) {
    write_file(path, text);
    set_mtime(path, 3000);
  }
  cli::Folder dir;
  qtest::Qavlensdir explain{qtest::explain_dir().c_str()};
  std::string path;
};

template <class T>
std::vector<Long> TimesOf(const std::vector<std::pair<Long, T>>& packs) {
  std::vector<Long> t;
  for (const auto& p : packs) t.push_back(p.first);
  return t;
}

TEST(IFileMatrix, ReReadChecksTheRecordsItDoesNotStore) {
  cli::Folder dir;
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  std::string path = dir.file("rain.dat");
  write_file(path, "0 2 1\n1 2\n600 2 1\n3 4\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  p.read();
  // A record held already, broken since: the re-read reports it and takes
  // nothing after it.
  write_file(path, "0 2 1\n1 2\n600 2 1\n3\n1200 2 1\n5 6\n");
  set_mtime(path, 3001);
  EXPECT_EQ(p.read(),
            Refused(path, ", record of time 600, line 4: 1 values where the grid has 2.") + Newest(path, 600));
  EXPECT_EQ(TimesOf(p.packs()), (std::vector<Long>{0, 600}));
  // Mended, the file is read again and the record after it is taken.
  write_file(path, "0 2 1\n1 2\n600 2 1\n3 4\n1200 2 1\n5 6\n");
  set_mtime(path, 3002);
  EXPECT_EQ(p.read(), Newest(path, 1200));
  auto packs = p.packs();
  ASSERT_EQ(TimesOf(packs), (std::vector<Long>{0, 600, 1200}));
  EXPECT_EQ(packs[2].second(0, 0), 5);
  EXPECT_EQ(packs[2].second(1, 0), 6);
}

TEST(IFileMatrix, HeaderGoingOnAfterANulIsRefused) {
  cli::Folder dir;
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  std::string path = dir.file("rain.dat");
  write_file(path, std::string("0 1 1\0 9\n1\n", 11));
  Port_on<DMatrix> p(path);
  EXPECT_EQ(p.read(),
            Refused(path, ", record of time 0, line 1: the header holds more than the time and the grid size."));
  EXPECT_TRUE(p.packs().empty());
}

TEST(IFileMatrix, MissingAndEmptyFilesAreReportedAndTheRunGoesOn) {
  cli::Folder dir;
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  std::string path = dir.file("rain.dat");
  Port_on<DMatrix> p(path);
  const std::string descr = "    Input_file : I_file_matrix<TzDMatrix> " + path + " \n";
  EXPECT_EQ(p.read(),
            "E : i_file_matrix.cpp : 82 : \n"
            "    The status of the grid file cannot be read: the file does not exist (yet)\n"
            "    or a directory on its path cannot be searched. Check its name and the\n"
            "    current directory. The run goes on without its data; the file is looked\n"
            "    at again when the system reads its input files the next time.\n" +
                descr);
  EXPECT_TRUE(p.packs().empty());
  write_file(path, "");
  EXPECT_EQ(p.read(),
            "E : i_file_matrix.cpp : 106 : \n"
            "    The grid file is empty. Nothing was read; the file is read again once\n"
            "    it has been modified.\n" +
                descr);
  EXPECT_TRUE(p.packs().empty());
  write_file(path, "0 1 1\n4\n");
  set_mtime(path, 4102444800);
  p.read();
  EXPECT_EQ(p.packs().size(), 1u);
}

TEST(IFileMatrix, FileThatCannotBeOpenedEndsWithStatus3) {
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  // A socket has a status but cannot be opened as a file, by anyone.
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  cli::Result o = ftest::run(
      [&] {
        Port_on<DMatrix> p(path);
        p.in.Input_data();
        return 0;
      },
      dir.path());
  close(s);
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "E : i_file_matrix.cpp : 94 : Cannot open file '" + path +
                       "' (mode \"r\").\n"
                       "    The grid file exists but cannot be opened for reading: check its\n"
                       "    permissions. The program stops.\n"
                       "    Input_file : I_file_matrix<TzDMatrix> " +
                       path + " \n");
}

TEST(IFileMatrix, GridSizeOfAHeaderReservesNothingBeforeItsRowsAreThere) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit below";
#else
  // A header claiming 30000 x 30000 cells (7.2 GB) over one short row: the
  // row is refused, in a process that may not take 1 GB.
  cli::Folder dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "0 30000 30000\n1 2\n");
  EXPECT_EXIT(
      {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 1L << 30;
        setrlimit(RLIMIT_AS, &limit);
        Port_on<DMatrix> p(path);
        p.in.Input_data();
        std::exit(p.packs().empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "record of time 0, line 2: 2 values where the grid has 30000.\n");
#endif
}

// Records whose time is not greater than that of an earlier record of the
// file: dropped, each with a warning naming the file, its time and line and
// the earlier record's line; a record repeated whole says nothing.
struct DisorderFile {
  const char* name;
  const char* text;
  std::vector<std::string> warnings;  // after the path
  std::vector<Long> stocked;
  std::vector<double> values;  // element (0, 0) of each pack stocked
};

void PrintTo(const DisorderFile& c, std::ostream* os) { *os << c.name; }

class IFileMatrixDisorder : public ::testing::TestWithParam<DisorderFile> {};

const char* const kDroppedWhy =
    "    The records of a grid file follow in increasing time. This record's time\n"
    "    is not greater than that of an earlier record of the file (its line is\n"
    "    given): it is out of order, or repeats that time with other values. It is\n"
    "    dropped and the earlier record is used. Put the records in the order of\n"
    "    their times, or remove the record that repeats a time. This record is not\n"
    "    warned about again while it stays on its line.\n";

std::string Dropped(const std::string& path, const std::string& what) {
  return Reported("W", 140, kDroppedWhy, path, what);
}

TEST_P(IFileMatrixDisorder, DropsTheRecordWithOneWarning) {
  const DisorderFile& c = GetParam();
  Rain_file file(c.text);
  const std::string& path = file.path;
  Port_on<DMatrix> p(path);
  std::string expected;
  for (const std::string& w : c.warnings) expected += Dropped(path, w);
  EXPECT_EQ(p.read(), expected + Newest(path, c.stocked.back()));
  auto packs = p.packs();
  EXPECT_EQ(TimesOf(packs), c.stocked);
  std::vector<double> values;
  for (const auto& pack : packs) values.push_back(pack.second(0, 0));
  EXPECT_EQ(values, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IFileMatrixDisorder,
    ::testing::Values(
        DisorderFile{"out_of_order",
                     "0 1 1\n1\n1200 1 1\n2\n600 1 1\n3\n1800 1 1\n4\n",
                     {", record of time 600, line 5: an earlier record (line 3) has the later time 1200: this "
                      "record is dropped."},
                     {0, 1200, 1800},
                     {1, 2, 4}},
        DisorderFile{"repeated_with_other_values",
                     "0 1 1\n1\n600 1 1\n2\n600 1 1\n5\n1200 1 1\n4\n",
                     {", record of time 600, line 5: an earlier record (line 3) has the same time and other "
                      "values: this record is dropped."},
                     {0, 600, 1200},
                     {1, 2, 4}},
        DisorderFile{"repeated_whole", "0 2 2\n1 2\n3 4\n600 2 2\n5 6\n7 8\n600 2 2\n5 6\n7 8\n", {}, {0, 600}, {3, 7}},
        // Rows of other values under a repeated time.
        DisorderFile{"repeated_with_another_row",
                     "600 2 2\n5 6\n7 8\n# again\n600 2 2\n5 6\n7 9\n",
                     {", record of time 600, line 5: an earlier record (line 1) has the same time and other "
                      "values: this record is dropped."},
                     {600},
                     {7}},
        // Each is compared with the last record taken, not with the one
        // dropped before it.
        DisorderFile{"after_a_dropped_record",
                     "1200 1 1\n2\n900 1 1\n3\n1000 1 1\n4\n1200 1 1\n2\n1500 1 1\n5\n",
                     {", record of time 900, line 3: an earlier record (line 1) has the later time 1200: this "
                      "record is dropped.",
                      ", record of time 1000, line 5: an earlier record (line 1) has the later time 1200: this "
                      "record is dropped."},
                     {1200, 1500},
                     {2, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

// A record dropped for its time is warned about once: the file read again
// (appended to) says nothing more of it, a record dropped on another line
// is warned about; beyond ten warnings in one read, one counts the rest.
TEST(IFileMatrix, ADroppedRecordIsWarnedAboutOnce) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  std::string path = dir.file("rain.dat");
  write_file(path, "0 1 1\n1\n1200 1 1\n2\n600 1 1\n3\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  // The warnings without their explanation.
  auto dropped = [&](const std::string& what) { return Reported("W", 140, "", path, what); };
  const std::string first = dropped(
      ", record of time 600, line 5: an earlier record (line 3) has the later time 1200: this record is dropped.");
  EXPECT_EQ(p.read(), first + Newest(path, 1200));
  ftest::append_file(path, "1800 1 1\n4\n");
  set_mtime(path, 3000);
  EXPECT_EQ(p.read(), Newest(path, 1800));
  ftest::append_file(path, "1700 1 1\n5\n2400 1 1\n6\n");
  set_mtime(path, 3001);
  EXPECT_EQ(p.read(), dropped(", record of time 1700, line 9: an earlier record (line 7) has the later time 1800: "
                              "this record is dropped.") +
                          Newest(path, 2400));
  EXPECT_EQ(TimesOf(p.packs()), (std::vector<Long>{0, 1200, 1800, 2400}));

  // Fifteen records out of order in one read: ten warnings, then one for
  // the five after them; none of them again at the next read.
  std::string text = "9000 1 1\n1\n";
  for (int k = 1; k <= 15; ++k) text += std::to_string(k * 60) + " 1 1\n1\n";
  cli::Folder many;
  std::string rain = many.file("rain.dat");
  write_file(rain, text);
  Port_on<DMatrix> q(rain);
  const std::string err = q.read();
  std::string expected;
  for (int k = 1; k <= 10; ++k)
    expected += Reported("W", 140, "", rain,
                         ", record of time " + std::to_string(k * 60) + ", line " + std::to_string(2 * k + 1) +
                             ": an earlier record (line 1) has the later time 9000: this record is dropped.");
  expected += Reported("W", 160, "", rain, ": 5 more records are dropped for their time, the last on line 31.") +
              Newest(rain, 9000);
  EXPECT_EQ(err, expected);
  ftest::append_file(rain, "9600 1 1\n2\n");
  EXPECT_EQ(q.read(), Newest(rain, 9600));
}

// At a restart the stock file gives back the packs of the end of the last
// run: the records of the file up to them are older, as expected, and are
// passed over without a word.
TEST(IFileMatrix, RecordsOlderThanRestoredPacksAreNotWarnedAbout) {
  cli::Folder dir;
  qtest::Qavlensdir none(nullptr);
  std::string path = dir.file("rain.dat");
  write_file(path, "0 1 1\n1\n600 1 1\n2\n1200 1 1\n3\n1800 1 1\n4\n");
  Port_on<DMatrix> p(path);
  for (Long t : {600, 1200}) {
    DMatrix grid(1, 1, 7.0);
    Data<DMatrix>* pack = new Data<DMatrix>();
    pack->Set_data(t, grid);
    p.in.Stock(pack);
  }
  EXPECT_EQ(p.read(), Newest(path, 1800));
  auto packs = p.packs();
  ASSERT_EQ(TimesOf(packs), (std::vector<Long>{600, 1200, 1800}));
  EXPECT_EQ(packs[0].second(0, 0), 7);
  EXPECT_EQ(packs[2].second(0, 0), 4);
}

// A record cut short by the end of the file, as a feed that is still
// writing leaves it, then completed.
struct CutFile {
  const char* name;
  const char* text;
  const char* rest;          // appended: the record completed
  const char* what;          // the warning after the path
  std::vector<Long> before;  // the times stocked while the record is cut
  Long completed;            // the record's time
  double south_west;         // its element (0, 0)
};

void PrintTo(const CutFile& c, std::ostream* os) { *os << c.name; }

class IFileMatrixCut : public ::testing::TestWithParam<CutFile> {};

TEST_P(IFileMatrixCut, WaitsWithOneWarningAndIsReadWholeOnceTheFileHasChanged) {
  const CutFile& c = GetParam();
  Rain_file file(c.text);
  const std::string& path = file.path;
  Port_on<DMatrix> p(path);
  EXPECT_EQ(p.read(), Cut(path, c.what) + (c.before.empty() ? "" : Newest(path, c.before.back())));
  EXPECT_EQ(TimesOf(p.packs()), c.before);
  // Not read again, and not warned about again, while the file stays.
  EXPECT_EQ(p.read(), "");

  // Completed within the resolution of the modification time: the file's
  // size tells that it has changed.
  ftest::append_file(path, c.rest);
  set_mtime(path, 3000);
  EXPECT_EQ(p.read(), Newest(path, c.completed));
  auto packs = p.packs();
  std::vector<Long> after = c.before;
  after.push_back(c.completed);
  ASSERT_EQ(TimesOf(packs), after);
  EXPECT_EQ(packs.back().second(0, 0), c.south_west);

  EXPECT_EQ(p.read(), "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, IFileMatrixCut,
    ::testing::Values(
        CutFile{"in_the_header", "0 2 1\n1 2\n12", "00 2 1\n3 4\n",
                ", record after time 0, line 3: the header has no line end yet.", {0}, 1200, 3},
        CutFile{"in_the_first_header", "# rain\n60", "0 2 1\n3 4\n",
                ", first record, line 2: the header has no line end yet.", {}, 600, 3},
        CutFile{"before_the_rows", "0 2 2\n1 2\n1 2\n1200 2 2\n", "5 6\n3 4\n",
                ", record of time 1200, line 4: the file ends after 0 of its 2 rows.", {0}, 1200, 3},
        CutFile{"between_the_rows", "0 2 2\n1 2\n1 2\n1200 2 2\n5 6\n# radar", " frame 2\n3 4\n",
                ", record of time 1200, line 4: the file ends after 1 of its 2 rows.", {0}, 1200, 3},
        // "3" of "30": never taken as it stands.
        CutFile{"in_a_number", "0 2 2\n1 2\n1 2\n1200 2 2\n5 6\n3", "0 4\n",
                ", record of time 1200, line 6: the row has no line end yet.", {0}, 1200, 30},
        CutFile{"in_a_word", "0 2 1\n1 2\n1200 2 1\n3 1e", "-3\n",
                ", record of time 1200, line 4: the row has no line end yet.", {0}, 1200, 3},
        CutFile{"between_cr_and_lf", "0 2 1\n1 2\n1200 2 1\n3 4\r", "\n",
                ", record of time 1200, line 4: the row has no line end yet.", {0}, 1200, 3}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A record that cannot be used: reported at the read, it and the records
// after it not stocked, the records before it kept.
struct BadFile {
  const char* name;
  const char* text;
  const char* what;  // the report after the path
  std::vector<Long> stocked;
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class IFileMatrixRefuses : public ::testing::TestWithParam<BadFile> {};

TEST_P(IFileMatrixRefuses, ReportsTheFileTheRecordAndTheLineAndStocksNothingFromThere) {
  const BadFile& c = GetParam();
  Rain_file file(c.text);
  const std::string& path = file.path;
  Port_on<DMatrix> p(path);
  EXPECT_EQ(p.read(), Refused(path, c.what) + (c.stocked.empty() ? "" : Newest(path, c.stocked.back())));
  EXPECT_EQ(TimesOf(p.packs()), c.stocked);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, IFileMatrixRefuses,
    ::testing::Values(
        BadFile{"header_without_three_numbers", "0 1 1\n1\nrain 3 2\n",
                ", record after time 0, line 3: not a record header \"<time> <nx> <ny>\".", {0}},
        BadFile{"first_header_without_three_numbers", "0 2\n1 1\n1 1\n",
                ", first record, line 1: not a record header \"<time> <nx> <ny>\".", {}},
        BadFile{"header_in_the_middle", "0 2 1\n1 1\n600 2 1\n1 1\n1200 2\n3 4\n1800 2 1\n5 6\n",
                ", record after time 600, line 5: not a record header \"<time> <nx> <ny>\".", {0, 600}},
        BadFile{"fewer_values", "0 3 2\n1 2 3\n1 2\n", ", record of time 0, line 3: 2 values where the grid has 3.", {}},
        BadFile{"more_values", "0 3 2\n1 2 3 4\n1 2 3\n", ", record of time 0, line 2: more than 3 values.", {}},
        BadFile{"blank_line_as_a_row", "0 3 2\n1 2 3\n\n1 2 3\n",
                ", record of time 0, line 3: 0 values where the grid has 3.", {}},
        BadFile{"not_a_number", "0 2 1\n1 1\n600 2 1\n1 x2\n1200 2 1\n3 4\n",
                ", record of time 600, line 4: 'x2' is not a number.", {0}},
        BadFile{"number_with_tail", "0 2 1\n1 2mm\n", ", record of time 0, line 2: '2mm' is not a number.", {}},
        BadFile{"infinity", "0 2 1\n1 1\n600 2 1\ninf 1\n", ", record of time 600, line 4: 'inf' is not a finite number.",
                {0}},
        BadFile{"not_a_number_value", "0 2 1\n1 1\n# after a comment\n600 2 1\n1 nan\n",
                ", record of time 600, line 5: 'nan' is not a finite number.", {0}},
        BadFile{"overflow", "0 2 1\n1 1\n600 2 1\n1 1e999\n", ", record of time 600, line 4: '1e999' is not a finite number.",
                {0}},
        BadFile{"other_grid_size", "0 2 1\n1 1\n600 1 2\n1\n1\n1200 2 1\n3 4\n",
                ", record of time 600, line 3: a grid of 1 x 2 cells where the first record has 2 x 1.", {0}},
        BadFile{"zero_columns", "0 3 0\n", ", record of time 0, line 1: the grid size must be above 0.", {}},
        BadFile{"negative_rows", "0 1 1\n1\n600 -1 2\n", ", record of time 600, line 3: the grid size must be above 0.", {0}},
        BadFile{"header_with_more_items", "7200 3 2 9\n4 5 6\n1 2 3\n",
                ", record of time 7200, line 1: the header holds more than the time and the grid size.", {}},
        // A time or size beyond 32 bits is not wrapped into another one.
        BadFile{"time_beyond_32_bits", "0 1 1\n1\n3000000000 1 1\n2\n",
                ", record after time 0, line 3: the header number 3000000000 lies outside -2147483648 .. 2147483647.",
                {0}},
        BadFile{"size_beyond_32_bits", "0 1 -99999999999999999999\n1\n",
                ", first record, line 1: the header number -9223372036854775808 lies outside -2147483648 .. "
                "2147483647.",
                {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Values that are not finite, or overflow the type to infinity, are
// refused for every type of grid.
TYPED_TEST(IFileMatrixTyped, ValuesThatAreNotFiniteAreRefused) {
  std::vector<std::string> items = {"inf", "-inf", "+INFINITY", "nan", "-nan", "NaN(7)", "1e999", "-1e999"};
  if (std::is_same<TypeParam, TzMatrix<float>>::value) items.push_back("1e39");
  for (const std::string& item : items) {
    cli::Folder dir;
    std::string path = dir.file("rain.dat");
    write_file(path, "0 2 1\n1 1\n600 2 1\n2 " + item + "\n");
    Port_on<TypeParam> p(path);
    const std::string err = p.read();
    EXPECT_NE(err.find("E : i_file_matrix.cpp : 130 : " + path + ", record of time 600, line 4: '" + item +
                       "' is not a finite number.\n"),
              std::string::npos)
        << item << ": " << err;
    EXPECT_EQ(p.packs().size(), 1u) << item;
  }
}

}  // namespace
