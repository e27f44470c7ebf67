#include "i_file_matrix.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "p_tmp.h"
#include "qavlen/files_testing.h"
#include "qavlen/qavlen_testing.h"

namespace {

using ftest::Temp_dir;
using ftest::set_mtime;
using ftest::write_file;
using qtest::stderr_of;

// A switched port on `path` (no receivers: nothing is released).
template <class T>
struct Port_on {
  explicit Port_on(const std::string& path) : in(path.c_str()) { EXPECT_EQ(in.Switch(), YES); }
  std::vector<std::pair<Long, T>> packs() {
    Data_pack* const* a = nullptr;
    int n = 0;
    in.Get_data_pack_array(a, n);
    std::vector<std::pair<Long, T>> out;
    for (int k = 0; k < n; ++k) out.push_back({a[k]->Data_time(), static_cast<Data<T>*>(a[k])->Value()});
    return out;
  }
  std::string read() {
    return stderr_of([&] { in.Input_data(); });
  }
  I_file_matrix<T> in;
};

template <class M>
class IFileMatrixTyped : public ::testing::Test {};
using MatrixTypes =
    ::testing::Types<TzMatrix<double>, TzMatrix<float>, TzMatrix<int>, TzMatrix<TzLong>>;
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
  Temp_dir dir;
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
  Temp_dir dir;
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
             "\n"
             "1200 4 1\n"
             "7 8 9 10");  // last line without a line end
  Port_on<TypeParam> p(path);
  p.read();
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 2u);
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
  const TypeParam& b = packs[1].second;
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

TYPED_TEST(IFileMatrixTyped, SameValuesAsTheRecordText) {
  const std::vector<std::string> rows = {"0.1 -0 +5 1e-3 2.5e2 -7", "123456789 0.3333333333333333 1e308 -1e-320 4. .5",
                                         "2147483648 -2147483649 1E2 0.1e1 3 0"};
  Temp_dir dir;
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
    for (unsigned i = 0; i < nx; ++i) text += std::to_string(row * 10 + static_cast<int>(i % 7)) + (i + 1 < nx ? " " : "");
    text += "\r\n";
  }
  Temp_dir dir;
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

TEST(IFileMatrix, ReadAgainOnlyWhenTheModificationTimeGrew) {
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "0 1 1\n1\n600 1 1\n2\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  p.read();
  ASSERT_EQ(p.packs().size(), 2u);
  ftest::append_file(path, "1200 1 1\n3\n");
  set_mtime(path, 3000);
  EXPECT_EQ(p.read(), "");
  EXPECT_EQ(p.packs().size(), 2u);
  set_mtime(path, 3000, 1);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1200\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(packs[2].first, 1200);
  EXPECT_EQ(packs[2].second(0, 0), 3);
  // Records held already are not stocked twice; the first ones keep their values.
  EXPECT_EQ(packs[0].second(0, 0), 1);

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
  // Not read again while the date stays.
  ftest::append_file(path, "3000 1 1\n6\n");
  set_mtime(path, 10413792000);
  EXPECT_EQ(p.read(), "");
  EXPECT_EQ(p.packs().size(), 5u);
}

TEST(IFileMatrix, RecordsNotNewerThanTheNewestHeldAreNotStocked) {
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  // Within one read: a second record of the same time and an earlier one
  // are refused, the first of the time stays.
  write_file(path, "600 1 1\n1\n600 1 1\n2\n300 1 1\n3\n1200 1 1\n4\n");
  set_mtime(path, 3000);
  Port_on<DMatrix> p(path);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1200\n");
  auto packs = p.packs();
  ASSERT_EQ(packs.size(), 2u);
  EXPECT_EQ(packs[0].first, 600);
  EXPECT_EQ(packs[0].second(0, 0), 1);
  EXPECT_EQ(packs[1].first, 1200);
  EXPECT_EQ(packs[1].second(0, 0), 4);

  // The file rewritten with other values in the records held: they keep
  // the values first read; only the newer record is added.
  write_file(path, "600 1 1\n7\n1200 2 1\n8 8\n1800 1 1\n5\n");
  set_mtime(path, 3001);
  EXPECT_EQ(p.read(), "File: " + path + "  newest data time : 1800\n");
  packs = p.packs();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(packs[0].second(0, 0), 1);
  EXPECT_EQ(packs[1].second.GetRows(), 1u);
  EXPECT_EQ(packs[1].second(0, 0), 4);
  EXPECT_EQ(packs[2].first, 1800);
  EXPECT_EQ(packs[2].second(0, 0), 5);
}

TEST(IFileMatrix, HeaderTimesAtTheEndsOfTheRange) {
  Temp_dir dir;
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

TEST(IFileMatrix, ReReadChecksTheRecordsItDoesNotStore) {
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "0 2 1\n1 2\n600 2 1\n3 4\n");
  set_mtime(path, 3000);
  EXPECT_DEATH(
      {
        Port_on<DMatrix> p(path);
        p.in.Input_data();
        // A record held already, broken since: the re-read still stops on it.
        write_file(path, "0 2 1\n1 2\n600 2 1\n3\n1200 2 1\n5 6\n");
        set_mtime(path, 3001);
        p.in.Input_data();
      },
      "File: .*rain.dat, record of time 600, line 4: 1 values where the grid has 2\n.*Assertion `a data "
      "line holds nx values' failed");
}

TEST(IFileMatrix, HeaderGoingOnAfterANulIsRefused) {
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  write_file(path, std::string("0 1 1\0 9\n1\n", 11));
  EXPECT_DEATH(
      {
        Port_on<DMatrix> p(path);
        p.in.Input_data();
      },
      "record of time 0, line 1: the header holds more than the time and the grid size\n");
}

TEST(IFileMatrix, MissingAndEmptyFilesAreReportedAndTheRunGoesOn) {
  Temp_dir dir;
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
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  // A socket has a status but cannot be opened as a file, by anyone.
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  qtest::Qavlensdir explain(qtest::explain_dir().c_str());
  ftest::Outcome o = ftest::run(
      [&] {
        Port_on<DMatrix> p(path);
        p.in.Input_data();
        return 0;
      },
      dir.path());
  close(s);
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "E : i_file_matrix.cpp : 94 : Cannot open file '" + path + "' (mode \"r\").\n"
                   "    The grid file exists but cannot be opened for reading: check its\n"
                   "    permissions. The program stops.\n"
                   "    Input_file : I_file_matrix<TzDMatrix> " + path + " \n");
}

TEST(IFileMatrix, GridSizeOfAHeaderReservesNothingBeforeItsRowsAreThere) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit below";
#else
  // A header claiming 30000 x 30000 cells (7.2 GB) over one short row: the
  // row is refused, in a process that may not take 1 GB.
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  write_file(path, "0 30000 30000\n1 2\n");
  EXPECT_DEATH(
      {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 1L << 30;
        setrlimit(RLIMIT_AS, &limit);
        Port_on<DMatrix> p(path);
        p.in.Input_data();
      },
      "record of time 0, line 2: 2 values where the grid has 30000\n.*Assertion `a data line holds nx values' failed");
#endif
}

struct BadFile {
  const char* name;
  const char* text;
  const char* expected;  // regular expression on the error stream
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class IFileMatrixRefuses : public ::testing::TestWithParam<BadFile> {};

TEST_P(IFileMatrixRefuses, StopsNamingTheFileAndTheRecord) {
  const BadFile& c = GetParam();
  Temp_dir dir;
  std::string path = dir.file("rain.dat");
  write_file(path, c.text);
  EXPECT_DEATH(
      {
        Port_on<DMatrix> p(path);
        p.in.Input_data();
      },
      c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IFileMatrixRefuses,
    ::testing::Values(
        BadFile{"header_without_three_numbers", "0 1 1\n1\nrain 3 2\n",
                "line 3: not a record header.*\n.*i_file_matrix.cpp:[0-9]+: Assertion `sscanf\\(line_data, "
                "\"%ld %d %d\", &wt, &wGx, &wGy\\) == 3' failed"},
        BadFile{"truncated_record", "0 3 2\n1 2 3\n",
                "record of time 0: the file ends after 1 of its 2 rows\n.*Assertion `fgets\\(line_data, "
                "c_max\\+1, fp\\) != NULL' failed"},
        BadFile{"fewer_values", "0 3 2\n1 2 3\n1 2\n",
                "File: .*rain.dat, record of time 0, line 3: 2 values where the grid has 3\n.*Assertion `a data "
                "line holds nx values' failed"},
        BadFile{"more_values", "0 3 2\n1 2 3 4\n1 2 3\n",
                "record of time 0, line 2: more than 3 values\n"},
        BadFile{"blank_line_as_a_row", "0 3 2\n1 2 3\n\n1 2 3\n", "line 3: 0 values where the grid has 3\n"},
        BadFile{"not_a_number", "0 1 1\n1\n600 2 1\n1 x2\n",
                "record of time 600, line 4: 'x2' is not a number\n.*Assertion `every value is a number' failed"},
        BadFile{"number_with_tail", "0 2 1\n1 2mm\n", "line 2: '2mm' is not a number\n"},
        BadFile{"zero_columns", "0 3 0\n", "record of time 0, line 1: the grid size must be above 0\n"},
        BadFile{"negative_rows", "0 -1 2\n", "Assertion `wGx > 0 && wGy > 0' failed"},
        BadFile{"header_with_more_items", "7200 3 2 9\n4 5 6\n1 2 3\n",
                "line 1: the header holds more than the time and the grid size\n"},
        // A time or size beyond 32 bits is not wrapped into another one.
        BadFile{"time_beyond_32_bits", "0 1 1\n1\n3000000000 1 1\n2\n",
                "File: .*rain.dat, line 3: the header number 3000000000 lies outside -2147483648 .. "
                "2147483647\n.*Assertion `header numbers within the range of long' failed"},
        BadFile{"size_beyond_32_bits", "0 1 -99999999999999999999\n1\n",
                "line 1: the header number -9223372036854775808 lies outside"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
