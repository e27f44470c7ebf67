// I_file_matrix<T>: the input file port of gridded data, one grid per record.
//
// The port reads a text file of time-stamped grids ("radarRain_4.dat" for
// the runoff model) and offers them as packs of TzMatrix values to the port
// it is connected to. A record is a header line "<time> <nx> <ny>" and then
// ny data lines of nx numbers each: one row of constant y, values in
// increasing x, the row of the largest y index first (north at the top).
// Lines whose first character is '#' are comments anywhere; blank lines are
// skipped between records. The record becomes an nx by ny matrix: element
// (i, j) is x cell i of y row j. Records follow in increasing time.
//
// The whole file is read again whenever it has changed (its modification
// time or its size differs: another program may be appending to it),
// through the re-read of every input file port (Input_file::Input_data);
// records not newer than the newest pack held (read before, or restored
// from a stock file at a restart) are checked like all others but not
// stored again.
//
// A record whose time is not greater than that of an earlier record of the
// file (out of order, or a time repeated with other values) is dropped
// with a warning naming the file, the record's time and its line, and the
// earlier record's line; a record repeated whole says nothing. Each such
// record is warned about once: not again at a later read that finds it on
// the same line with the same time. Beyond the first ten of a read, one
// warning counts the rest.
//
// A record cut short by the end of the file (its header or some of its
// rows not there yet, or its last line without a line end) is not stocked:
// a warning names the file and the record, and the record is read whole on
// a later read, once the file has changed (a feed may complete the record
// within the resolution of the modification time: the size tells). A
// record that cannot be used (a
// header without three numbers, a header number beyond 32 bits, a grid size
// not above 0 or other than the first record's, a header with more items, a
// data line with more or fewer than nx numbers, an item that is not a
// finite number) is reported with the file, the record's time and the line.
// Either way the reading stops there: that record and the ones after it are
// not stocked, and a receiver that needs them meets the end of the data as
// for rain that has not arrived.
#ifndef MODEL_I_FILE_MATRIX_H
#define MODEL_I_FILE_MATRIX_H

#include <cstdint>
#include <set>
#include <utility>

#include "input_f.h"
#include "tzmatrix.h"

template <class T>
class I_file_matrix : public I_file<T> {
 public:
  I_file_matrix() { this->class_name = "I_file_matrix"; }
  explicit I_file_matrix(const char* path) {
    this->class_name = "I_file_matrix";
    Init(path);
  }
  ~I_file_matrix() override = default;

  using I_file<T>::Init;
  Boolean Init(const char* path) { return Input_file::Init(path); }
  Port* NewPort() override { return new I_file_matrix<T>(); }
  // The grids restored from a send-port stock file must have the grid size
  // of the file's first record (when the file is there and that record has
  // a header to tell it).
  bool Stock_fits_file(std::string& why) override;

 protected:
  using Read_failure = Input_file::Read_failure;
  // The reports of the re-read at i_file_matrix 82, 94, 106, the console's
  // output flushed first.
  void Report_read(Read_failure failure) const override;
  // Stocks the records of the file newer than the newest pack held, up to
  // the first one that ends the reading early (see above); false when the
  // file holds no character.
  bool Stock_file(FILE* fp) override;

 private:
  // The records dropped for their time that were warned about, by line and
  // time.
  std::set<std::pair<std::int64_t, Long>> dropped_warned;
};

extern template class I_file_matrix<TzMatrix<double>>;
extern template class I_file_matrix<TzMatrix<float>>;
extern template class I_file_matrix<TzMatrix<int>>;
extern template class I_file_matrix<TzMatrix<TzLong>>;

#endif
