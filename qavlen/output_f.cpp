#include "output_f.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "report_points.h"
#include "tzcheck.h"

Output_port::Output_port() { class_name = "Output_port"; }

Output_port::Output_port(const char* name, int number) : Receive_port(name, number) { class_name = "Output_port"; }

Output_port::~Output_port() = default;

Output_file::Output_file() { class_name = "Output_file"; }

Output_file::Output_file(const char* path, int length) {
  class_name = "Output_file";
  Init(path, length);
}

Output_file::~Output_file() = default;

Boolean Output_file::Init(const char* path, int length) {
  if (length < 0) {
    Report(Output_f_point::line_length_negative);
    return NO;
  }
  if (length == 0) length = 128;
  if (Receive_port::Init(path, 0) == YES && line_length <= 0) {
    line_length = length;
    return YES;
  }
  Report(Output_f_point::named_already);
  return NO;
}

void Output_file::Cprint(FILE* f, const char* prefix) const {
  std::fprintf(f, "%sInput_file : %s<%s> %s \n", prefix ? prefix : "", Class_name(), Data_pack_type(),
               Object_name() ? Object_name() : "");
}

void Output_file::Oprint(FILE* f, const char* prefix) const {
  Cprint(f, prefix);
  if (!sender) return;
  std::string longer;
  try {
    Memory_site site(Output_f_point::sender_prefix_memory, "char",
                     static_cast<int>(std::strlen(prefix ? prefix : "") + 11), 1, this, Memory_failure::report);
    longer = std::string(prefix ? prefix : "") + "  output < ";
  } catch (const std::bad_alloc&) {
    sender->Oprint(f, prefix);
    return;
  }
  sender->Oprint(f, longer.c_str());
}

void Output_file::Set_comment_string(const char* text) {
  if (!text) return;
  std::size_t n = std::strlen(text) + 1;
  try {
    Memory_site site(Output_f_point::comment_memory, "char", static_cast<int>(n), 1, nullptr, Memory_failure::report);
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), text, n);
    comment_string = std::move(copy);
  } catch (const std::bad_alloc&) {
    comment_string.reset();
  }
}

int Output_file::Write_hedda() {
  const char* path = Object_name();
  FILE* fp = path ? std::fopen(path, "w") : nullptr;
  if (!fp) {
    output_failed = true;
    Report_fopen(Output_f_point::cannot_create, path, "w");
    return 0;
  }
  static const char rule[] = "----------------------------------------------------------------------";
  static_assert(sizeof(rule) == 71, "the rule is 70 dashes");
  std::fprintf(fp, "# %s \n# ", path);
  std::fprintf(fp, "%s\n", rule);
  if (sender) sender->Oprint(fp, "#   ");
  std::fprintf(fp, "# %s\n", rule);
  if (comment_string) std::fprintf(fp, "# %s\n", comment_string.get());
  if (Sender_port* s = dynamic_cast<Sender_port*>(sender)) {
    std::unique_ptr<char[]> comment = s->Get_comment_string();
    if (comment) std::fprintf(fp, "# %s\n", comment.get());
  }
  std::fputs("\n", fp);
  return Close_port_file(fp, 0) ? 1 : 0;
}

void Output_file::Report_write_failure() {
  output_failed = true;
  Report_fwrite(Output_f_point::write_failed, Object_name());
}

int Output_file::First_new_pack(Data_pack* const* array, int n) {
  bool first_write = last_data_time == LONG_MIN32;
  if (first_write) Write_hedda();
  // A pack stamped with the smallest time stands first if anywhere; it is
  // written once, with the first write.
  if (first_write && array[0]->Data_time() == LONG_MIN32) return 0;
  // The times strictly increase: the first newer pack is found by halving,
  // so that a sender that holds many packs costs nothing per write.
  Data_pack* const* k =
      std::upper_bound(array, array + n, last_data_time, [](Long t, const Data_pack* p) { return t < p->Data_time(); });
  return static_cast<int>(k - array);
}

bool Output_file::Close_port_file(FILE* fp, off_t start) {
  if (Close_written(fp, Object_name(), start)) return true;
  Report_write_failure();
  return false;
}

void Output_file::Output_data() {
  Data_pack* const* array = nullptr;
  int n = 0;
  Get_data_pack_array(array, n);
  if (n <= 0 || !array || array[n - 1]->Data_time() <= last_data_time) return;
  Begin_output();
  const int first = First_new_pack(array, n);
  off_t start = 0;  // the file's size: where this output's lines begin
  FILE* fp = Open_to_append(Object_name(), start);
  if (!fp) {
    output_failed = true;
    Report_append_failure();
    return;
  }
  for (int k = first; k < n; ++k) Write_pack(fp, array[k]);
  if (!Close_port_file(fp, start)) return;
  last_data_time = array[n - 1]->Data_time();
  Reduce_data_pack_stock();
}

void Output_file::Begin_output() {
  line.reset();
  Memory_site site(Output_f_point::line_buffer_memory, "char", line_length, 1, this);
  line.reset(new char[static_cast<std::size_t>(line_length > 0 ? line_length : 1)]);
}

void Output_file::Write_pack(FILE* fp, Data_pack* pack) {
  line[0] = '\0';
  Make_string_data(line.get(), line_length, pack);
  line[line_length > 0 ? line_length - 1 : 0] = '\0';
  std::fprintf(fp, "%s\n", line.get());
}

void Output_file::Report_append_failure() { Report_fopen(Output_f_point::cannot_append, Object_name(), "a"); }

// Every one of the thirteen value types is compiled here, used or not.
template class O_file<double>;
template class O_file<float>;
template class O_file<int>;
template class O_file<TzLong>;
template class O_file<QavlenString>;
template class O_file<Vary<double>>;
template class O_file<Vary<float>>;
template class O_file<Vary<int>>;
template class O_file<Vary<TzLong>>;
template class O_file<TzMatrix<double>>;
template class O_file<TzMatrix<float>>;
template class O_file<TzMatrix<int>>;
template class O_file<TzMatrix<TzLong>>;
