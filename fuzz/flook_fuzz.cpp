// The scanning functions of the framework's bracketed data files on a
// stream of bytes: white space and comments, words, and data blocks made
// into data strings (Make_data_string), in the order a reader meets them.
// The first byte chooses the special characters: the framework's own
// ("(", ")", "#", "\"), or the next four bytes.
#include <cstdio>

#include "f_look.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  int open = '(', close = ')', comment = '#', continuation = '\\';
  std::size_t skip = 1;
  if ((data[0] & 1) && size >= 5) {
    open = data[1];
    close = data[2];
    comment = data[3];
    continuation = data[4];
    skip = 5;
  }
  const int words = (data[0] >> 1) % 4;
  if (size == skip) return 0;
  std::FILE* fp = fmemopen(const_cast<std::uint8_t*>(data + skip), size - skip, "rb");
  if (!fp) return 0;
  fz::run([&] {
    int c = std::getc(fp);
    for (int k = 0; k < 4096 && c != EOF; ++k) {
      if (!Pass_whites_and_comments(fp, c, comment)) break;
      if (c == EOF) break;
      if (c == open) {
        char* str = nullptr;
        int length = 0;
        if (!Make_data_string("in.dat", fp, c, str, length, open, close, comment, continuation)) break;
        delete[] str;
        c = std::getc(fp);  // past the closing bracket
      } else if (words == 0) {
        char* str = nullptr;
        if (!Get_string(fp, c, str, continuation)) break;
        delete[] str;
      } else {
        char** strs = nullptr;
        int n = Get_strings(fp, c, strs, words, comment, continuation);
        for (int i = 0; i < words; ++i) delete[] strs[i];
        delete[] strs;
        if (n < words) break;
      }
      Get_line_number(fp);
    }
  });
  std::fclose(fp);
  return 0;
}
