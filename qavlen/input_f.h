// Input file ports: send ports whose data come from a time-series file.
//
// The total system owns its input file ports as its send ports. It calls
// Input_data at the start of a run and whenever the modeller resumes after a
// stop; the port then reads its file again when the file has changed (its
// modification time or its size differs from the last read's), turns every
// data line into a pack and stocks the packs newer than those it holds, so
// that lines appended meanwhile reach the receivers, also when the file was
// given back its old modification time (cp -p, rsync -t) or was written
// under a clock ahead of this machine's. A receiver that needs a time
// beyond the file's last line cannot be served: the port throws the integer
// 99, which the main loop catches.
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
#include <string>

#include "common.h"
#include "p_tmp.h"
#include "report_points.h"
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
  // The re-read of every input file port: publishes and releases the stock;
  // when the file has changed since the last read (its modification time
  // or its size differs, or that read met a line still being written),
  // opens it (stop 3 when it cannot be opened), lets Stock_file turn its
  // lines into packs, publishes them and names the newest time ("File: ...
  // newest data time : ..."). A file without status or without any
  // character is reported and the stock left as it was.
  void Input_data() override;
  // A new pack made from one data line; the caller stocks it.
  virtual Data_pack* Make_data_pack(char* line) = 0;
  // Whether the packs restored from a send-port stock file, before the
  // file itself is read, can belong to this file; otherwise false, and
  // `why` says what differs ("it holds ..."). Any stock fits by default.
  virtual bool Stock_fits_file(std::string& why);

  // The modification time of the file when it was last read, in
  // nanoseconds since the epoch (the platform's full resolution, 64 bits);
  // Not_read before the first read.
  static constexpr std::int64_t Not_read = INT64_MIN;
  std::int64_t File_time_at_input() const { return file_time_at_input; }
  // The modification time of the file at path in that measure (dates beyond
  // the range of 64-bit nanoseconds, before 1678 and after 2262, are held at
  // its ends, later than Not_read) and its size in bytes. False when the
  // file has no status.
  static bool File_status(const char* path, std::int64_t& mtime, std::int64_t& size);

 protected:
  // What the re-read reports.
  enum class Read_failure {
    no_status,   // the file has no status (it does not exist): the run goes on
    not_opened,  // the file exists but cannot be opened: the program stops
    empty        // the file holds no character
  };
  // The report of a failed re-read (input_f 48, 59, 73), with the port's
  // description.
  virtual void Report_read(Read_failure failure) const;
  // Turns the lines of the open file into packs and stocks them: one pack
  // per data line, '#' lines and lines of only blanks and tabs skipped.
  // False, with nothing stocked, when the file holds no character.
  virtual bool Stock_file(FILE* fp);

  std::int64_t file_time_at_input = Not_read;

 private:
  // The file's size at the last read; Unknown_size before the first read
  // and after a read that met a line still being written, so that the next
  // call reads the file again whatever its status says.
  static constexpr std::int64_t Unknown_size = -1;
  std::int64_t file_size_at_input = Unknown_size;

  // Whether the file is to be read: its modification time or its size
  // differs from the last read's. A file to be read has both remembered.
  bool Changed_since_read(std::int64_t mtime, std::int64_t size);
  // The second pass of Stock_file over the `total` bytes the first one
  // counted, each line whole in `buffer` of `size` characters; false when a
  // line changed while it was read (the read stops before it).
  bool Stock_lines(FILE* fp, char* buffer, int size, std::int64_t total);
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
      Memory_site site(P_tmp_point::read_pack_memory, "Data", 0, 1, this);
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
      Memory_site site(P_tmp_point::restored_input_pack_memory, "Data", 0, 1, this);
      pack = new Data<T>();
    }
    pack->Dstr2dpack(cursor);
    Stock(pack);
  }
};

#endif
