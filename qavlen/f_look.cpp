#include "f_look.h"

#include <sys/types.h>

#include <climits>
#include <cstring>
#include <string>

#include "common.h"
#include "report_points.h"

namespace {

bool is_white(int c) { return c == ' ' || c == '\t' || c == '\n'; }

// A buffer of characters that grows geometrically, so that reading a block
// costs time linear in its size. Its array is handed over to the caller.
class Growing_text {
 public:
  // The first buffer is allocated at `first`, every larger one at `grow`.
  Growing_text(Report_point first, Report_point grow) : grow_(grow) {
    Memory_site site(first, "char", 0, capacity_);
    data_ = new char[capacity_];
  }
  ~Growing_text() { delete[] data_; }
  Growing_text(const Growing_text&) = delete;
  Growing_text& operator=(const Growing_text&) = delete;

  void push(char ch) {
    if (size_ == capacity_) grow();
    data_[size_++] = ch;
  }
  void pop() { --size_; }
  char& back() { return data_[size_ - 1]; }
  int size() const { return size_; }
  // The array, which now belongs to the caller.
  char* release() {
    char* out = data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return out;
  }

 private:
  void grow() {
    int wanted = capacity_ <= INT_MAX / 2 ? capacity_ * 2 : INT_MAX;
    char* bigger;
    {
      Memory_site site(grow_, "char", 0, wanted);
      // A length must stay an int: a text that would outgrow it is a text
      // that cannot be held.
      if (size_ == INT_MAX) Memory_site::Out_of_memory();
      bigger = new char[wanted];
    }
    std::memcpy(bigger, data_, static_cast<std::size_t>(size_));
    delete[] data_;
    data_ = bigger;
    capacity_ = wanted;
  }

  Report_point grow_;
  char* data_ = nullptr;
  int size_ = 0;
  int capacity_ = 64;
};

}  // namespace

int Pass_whites_and_comments(FILE* fp, int& c, int comment) {
  if (is_white(comment) || comment == EOF) {
    Eprint(F_look_point::comment_is_white, 1);
    return 0;
  }
  for (;;) {
    while (is_white(c)) c = std::getc(fp);
    if (comment == 0 || c != comment) return 1;
    while (c != '\n' && c != EOF) c = std::getc(fp);
  }
}

int Get_line_number(FILE* fp) {
  if (!fp) return 0;
  const off_t here = ftello(fp);
  if (here < 0) return 0;
  // The character just read stands at here - 1: count the line ends before it.
  if (std::fseek(fp, 0, SEEK_SET) != 0) return 0;
  int line = 1;
  for (off_t k = 0; k + 1 < here; ++k) {
    int ch = std::getc(fp);
    if (ch == EOF) break;
    if (ch == '\n') ++line;
  }
  fseeko(fp, here, SEEK_SET);
  return line;
}

int Get_string(FILE* fp, int& c, char*& str, int continuation) {
  str = nullptr;
  while (is_white(c)) c = std::getc(fp);
  if (c == EOF) return 0;
  Growing_text word(F_look_point::word_buffer_memory, F_look_point::word_buffer_grow_memory);
  while (c != ' ' && c != '\t' && c != '\n' && c != EOF) {
    if (c == continuation) {
      int next = std::getc(fp);
      if (next == '\n') {
        // A continued line: both characters are dropped.
        c = std::getc(fp);
        continue;
      }
      word.push(static_cast<char>(c));
      c = next;
      continue;
    }
    word.push(static_cast<char>(c));
    c = std::getc(fp);
  }
  int n = word.size();
  {
    Memory_site site(F_look_point::word_copy_memory, "char", 0, n + 1);
    str = new char[n + 1];
  }
  // The word is copied into a text of its own size; the buffer goes.
  char* raw = word.release();
  std::memcpy(str, raw, static_cast<std::size_t>(n));
  str[n] = '\0';
  delete[] raw;
  return 1;
}

int Get_strings(FILE* fp, int& c, char**& strs, int n, int comment, int continuation) {
  strs = nullptr;
  if (n <= 0) return 0;
  {
    Memory_site site(F_look_point::header_words_memory, "char*", 0, n);
    strs = new char*[n];
  }
  for (int k = 0; k < n; ++k) strs[k] = nullptr;
  int got = 0;
  for (int k = 0; k < n; ++k) {
    Pass_whites_and_comments(fp, c, comment);
    if (!Get_string(fp, c, strs[k], continuation)) break;
    ++got;
  }
  return got;
}

namespace {

// The prelude of a data block: one opening bracket, or two for the nested
// form. The stream is then set back to just after the last one, so that the
// content is read raw (white space and comments included). False when the
// block does not begin so.
bool Read_prelude(FILE* fp, int& c, int open, int comment, bool& nested) {
  Pass_whites_and_comments(fp, c, comment);
  if (c != open) return false;
  off_t content = ftello(fp);
  nested = false;
  c = std::getc(fp);
  Pass_whites_and_comments(fp, c, comment);
  if (c == EOF) return false;
  if (c == open) {
    nested = true;
    content = ftello(fp);
    c = std::getc(fp);
    if (c == open) return false;
  }
  return content >= 0 && fseeko(fp, content, SEEK_SET) == 0;
}

// What stands between two items of a nested block.
enum class Between { next_item, end_of_block, fault };

// Between items of a nested block: white space, comments and continued
// line ends, then the next item (its opening bracket) or the end of the
// block (its closing bracket).
Between Pass_between_items(FILE* fp, int& c, int open, int close, int comment, int continuation) {
  for (;;) {
    c = std::getc(fp);
    if (is_white(c)) continue;
    if (comment != 0 && c == comment) {
      while (c != '\n' && c != EOF) c = std::getc(fp);
      if (c == EOF) return Between::fault;
      continue;
    }
    if (c == continuation) {
      c = std::getc(fp);
      if (c == '\n') continue;
      return Between::fault;
    }
    if (c == open) return Between::next_item;
    if (c == close) return Between::end_of_block;
    return Between::fault;
  }
}

}  // namespace

int Make_data_string(const char* path, FILE* fp, int& c, char*& str, int& length, int open, int close, int comment,
                     int continuation) {
  if (open == close || open == comment || open == continuation || close == comment || close == continuation ||
      comment == continuation) {
    Eprint(F_look_point::block_characters_same, 1);
    return 0;
  }
  str = nullptr;
  length = 0;
  auto fail = [&]() {
    std::fprintf(stderr, "\tAt %s : %d\n", path ? path : "", Get_line_number(fp));
    return 0;
  };
  bool nested = false;
  if (!Read_prelude(fp, c, open, comment, nested)) return fail();

  Growing_text text(F_look_point::block_buffer_memory, F_look_point::block_buffer_grow_memory);
  // Whether the last character collected into the current item is a
  // continuation character that may still act on the next one.
  bool after_continuation = false;
  for (;;) {
    c = std::getc(fp);
    if (c == EOF) return fail();
    if (c == open || c == close) {
      if (after_continuation) {
        text.back() = static_cast<char>(c);
        after_continuation = false;
        continue;
      }
      if (c == open) return fail();
      text.push('\0');
      if (!nested) break;
      const Between next = Pass_between_items(fp, c, open, close, comment, continuation);
      if (next == Between::fault) return fail();
      if (next == Between::next_item) continue;
      text.push('\0');
      break;
    }
    if (c == '\n' && after_continuation) {
      text.pop();
      after_continuation = false;
      continue;
    }
    text.push(static_cast<char>(c));
    after_continuation = c == continuation;
  }
  length = text.size();
  str = text.release();
  return 1;
}
