// Input file ports: send ports whose data come from a time-series file.
//
// The total system owns its input file ports as its send ports. It calls
// Input_data at the start of a run and whenever the modeller resumes after a
// stop; the port then reads its file again when the file has been modified,
// turns every data line into a pack and stocks the packs newer than those it
// holds, so that lines appended meanwhile reach the receivers. A receiver
// that needs a time beyond the file's last line cannot be served: the port
// throws the integer 99, which the main loop catches.
//
// File layout: one pack per line, the time first, then the value in the
// reading form of the port's type; blanks and tabs separate the items, and
// an item may be quoted with ' or ". A line whose first character is '#' is
// a comment; a line of only blanks and tabs is skipped.
//
// The object name of an input file port is its file path, its number 0.
#ifndef QAVLEN_INPUT_F_H
#define QAVLEN_INPUT_F_H

#include <cstdint>
#include <cstdio>

#include "common.h"
#include "p_tmp.h"
#include "send.h"

// A send port fed from outside the simulated system.
class Input_port : public Send_port {
 public:
  Input_port();
  Input_port(const char* name, int number);
  ~Input_port() override;

  // Reads new data into the stock.
  virtual void Input_data() = 0;
  // A plain input port cannot be asked for more data: report and exit 1.
  void Creq() override;
};

class Input_file : public Input_port {
 public:
  Input_file();
  explicit Input_file(const char* path);
  ~Input_file() override;

  using Input_port::Init;
  // Names the port with (path, 0).
  Boolean Init(const char* path);

  // "<prefix>Input_file : <class><<type>> <path> \n"; Oprint prints the same line.
  void Cprint(FILE* f, const char* prefix) const override;
  void Oprint(FILE* f, const char* prefix) const override;
  using Input_port::Cprint;
  using Input_port::Oprint;

  // "Cannot get data from <path> \n" on stderr, then throws the integer 99.
  void Creq() override;
  // Publishes and releases the stock; when the file's modification time has
  // grown since the last read, reads the whole file again.
  void Input_data() override;
  // A new pack made from one data line; the caller stocks it.
  virtual Data_pack* Make_data_pack(char* line) = 0;

  // The modification time of the file when it was last read, in
  // nanoseconds since the epoch (the platform's full resolution, 64 bits);
  // Not_read before the first read.
  static constexpr std::int64_t Not_read = INT64_MIN;
  std::int64_t File_time_at_input() const { return file_time_at_input; }
  // The modification time of the file at path in that measure: dates beyond
  // the range of 64-bit nanoseconds (before 1678, after 2262) are held at its
  // ends, later than Not_read. False when the file has no status.
  static bool Modification_time(const char* path, std::int64_t& t);

 protected:
  std::int64_t file_time_at_input = Not_read;
};

template <class T>
class I_file : public Input_file, public Port_type<T> {
 public:
  I_file() { class_name = "I_file"; }
  explicit I_file(const char* path) : Input_file(path) { class_name = "I_file"; }
  ~I_file() override = default;

  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  Port* NewPort() override { return new I_file<T>(); }

  // The pack of one line: its items (see Make_item_list), the time first.
  Data_pack* Make_data_pack(char* line) override {
    Data<T>* pack;
    {
      Memory_site site("p_tmp.cpp", 504, "Data", 0, 1, this);
      pack = new Data<T>();
    }
    std::vector<char> items = Make_item_list(line);
    char* cursor = items.data();
    pack->Dstr2dpack(cursor);
    return pack;
  }

  // Restores one pack of the send-port stock file and stocks it.
  void Send_by_string(char*& cursor) override {
    Data<T>* pack;
    {
      Memory_site site("p_tmp.cpp", 541, "Data", 0, 1, this);
      pack = new Data<T>();
    }
    pack->Dstr2dpack(cursor);
    Stock(pack);
  }
};


#endif
