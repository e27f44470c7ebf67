// Output file ports: receive ports that write their sender's packs into a
// time-series file.
//
// Whenever the total system asks it to (at the end of a run segment and
// after a caught data failure), an output file port appends to its file
// every published pack of its sender that is newer than what it has already
// written, one line per pack in the value's output form. The first write of
// a run replaces the file and begins it with a header of '#' lines that
// describes the sender. Until a pack is written the port's time window keeps
// it in the sender's stock.
//
// The object name of an output file port is its file path, its number 0.
#ifndef QAVLEN_OUTPUT_F_H
#define QAVLEN_OUTPUT_F_H

#include <cstdio>
#include <memory>

#include "common.h"
#include "p_tmp.h"
#include "port.h"
#include "report_points.h"

// A receive port that hands data out of the simulated system.
class Output_port : public Receive_port {
 public:
  Output_port();
  Output_port(const char* name, int number);
  ~Output_port() override;

  virtual void Output_data() = 0;

  // True once an output of the run could not be created or written (the
  // report was printed then); the program's exit status tells it.
  bool Output_failed() const { return output_failed; }

 protected:
  bool output_failed = false;
};

class Output_file : public Output_port {
 public:
  Output_file();
  // The path and the size of the line buffer of the string output path
  // (0: 128).
  Output_file(const char* path, int length);
  ~Output_file() override;

  // Names the port with (path, 0) and sets the line length, once: a
  // negative length (output_f 179) or a second Init (output_f 186) is
  // refused with 0.
  Boolean Init(const char* path, int length) override;

  // "<prefix>Input_file : <class><<type>> <path> \n" (the label the input
  // file ports print too); Oprint adds the sender's Oprint, its prefix
  // extended by "  output < ".
  void Cprint(FILE* f, const char* prefix) const override;
  void Oprint(FILE* f, const char* prefix) const override;
  using Output_port::Cprint;
  using Output_port::Oprint;

  // The window kept in the sender's stock: from the last written time on.
  Long Necessary_time_from() override { return last_data_time; }
  Long Necessary_time_to() override { return LONG_MAX32; }

  // Appends what is new, the one output of every form: when the sender has
  // published a pack newer than the last one written, Begin_output, the
  // header at the first write of the run, then through one buffered stream
  // a Write_pack of each newer pack; once every line reached the file, the
  // newest time is remembered and the sender releases what it no longer
  // needs. A file that cannot be opened for appending is reported
  // (Report_append_failure) and tried again at the next output.
  void Output_data() final;
  // Writes the header of the file, emptying it: 1 written, 0 failed.
  virtual int Write_hedda();
  // The text of one pack, at most size - 1 characters, into line.
  virtual void Make_string_data(char* line, int size, Data_pack* pack) = 0;

  // An own copy of text, written into the header; replaces an earlier one.
  void Set_comment_string(const char* text);

  int Line_length() const { return line_length; }
  Long Last_data_time() const { return last_data_time; }

 protected:
  // The steps of Output_data by which the forms differ. This form renders
  // each pack with Make_string_data into a line buffer of line_length
  // characters, made anew for every output that has something to write,
  // before the header (output_f 70: no memory left, exit status 5).
  virtual void Begin_output();
  // One pack's line, its line end included, into fp.
  virtual void Write_pack(FILE* fp, Data_pack* pack);
  // The report of a file that cannot be opened for appending (output_f 81),
  // with the port's description.
  virtual void Report_append_failure();

  int line_length = -1;
  Long last_data_time = LONG_MIN32;
  std::unique_ptr<char[]> comment_string;

 private:
  // The published packs from the first one to write on: the index of the
  // first pack newer than last_data_time. Writes the header at the first
  // write of the run.
  int First_new_pack(Data_pack* const* array, int n);
  // Closes a file written from offset start on: true when every line
  // reached it. A failed write (a full disk) is reported and the file cut
  // back to start, so that nothing counts as written and the next output
  // writes the same lines again, whole and once.
  bool Close_port_file(FILE* fp, off_t start);
  // The report of a failed write, with the port's description.
  void Report_write_failure();

  std::unique_ptr<char[]> line;  // the line buffer of this form
};

template <class T>
class O_file : public Output_file, public Port_type<T> {
 public:
  O_file() { class_name = "O_file"; }
  O_file(const char* path, int length) : Output_file(path, length) { class_name = "O_file"; }
  ~O_file() override = default;

  Boolean Init(const char* path, int length) override { return Output_file::Init(path, length); }
  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  Port* NewPort() override { return new O_file<T>(); }

  void Make_string_data(char*, int, Data_pack*) override {}

 protected:
  // Each pack is written in its output form, straight into the stream:
  // no line buffer.
  void Begin_output() override {}
  void Write_pack(FILE* fp, Data_pack* pack) override {
    pack->Dpack2ofile(fp);
    std::fputc('\n', fp);
  }
  void Report_append_failure() override { Report_fopen(P_tmp_point::cannot_append, Object_name(), "a"); }
};

#endif
