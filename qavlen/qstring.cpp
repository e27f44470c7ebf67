#include "qstring.h"

#include <cctype>
#include <cstring>
#include <istream>

#include "tzcheck.h"

QavlenString::operator char*() const {
  char* copy = new char[s.size() + 1];
  std::memcpy(copy, s.c_str(), s.size() + 1);
  return copy;
}

std::istream& operator>>(std::istream& in, QavlenString& x) {
  using traits = std::istream::traits_type;
  if (in.fail()) {
    x = "";
    return in;
  }
  traits::int_type c = in.get();
  while (c != traits::eof() && std::isspace(static_cast<unsigned char>(traits::to_char_type(c))))
    c = in.get();
  if (c == traits::eof()) {
    x = "";
    return in;
  }
  std::string token;
  char first = traits::to_char_type(c);
  if (first == '\'' || first == '"') {
    const traits::int_type cmt = traits::to_int_type(first);
    while ((c = in.get()) != traits::eof() && c != cmt) {
      token += traits::to_char_type(c);
      TZ_CHECK(token.size() < 256, "qstring.cpp");
    }
    TZ_CHECK(c == cmt, "qstring.cpp");
  } else {
    token += first;
    while ((c = in.get()) != traits::eof()) {
      if (std::isspace(static_cast<unsigned char>(traits::to_char_type(c)))) {
        in.putback(traits::to_char_type(c));
        break;
      }
      token += traits::to_char_type(c);
      TZ_CHECK(token.size() < 256, "qstring.cpp");
    }
    if (c == traits::eof()) in.clear();
  }
  x = token.c_str();
  return in;
}
