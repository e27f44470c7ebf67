// QavlenString: an owned text carried by ports ("QavlenString").
#ifndef QAVLEN_QSTRING_H
#define QAVLEN_QSTRING_H

#include <iosfwd>
#include <string>

class QavlenString {
 public:
  QavlenString() = default;
  QavlenString(const char* text) : s(text ? text : "") {}  // NOLINT: implicit by design
  QavlenString(const QavlenString&) = default;
  QavlenString& operator=(const QavlenString&) = default;
  QavlenString& operator=(const char* text) {
    s = text ? text : "";
    return *this;
  }

  // Character i; i up to the length (the terminating NUL), not checked.
  char& operator[](unsigned i) { return s[i]; }
  // A new copy of the text that the caller owns (delete[]).
  explicit operator char*() const;
  // The text, valid while the string is unchanged.
  const char* c_str() const { return s.c_str(); }

  QavlenString& operator+=(const QavlenString& o) {
    s += o.s;
    return *this;
  }
  QavlenString& operator+=(const char* text) {
    if (text) s += text;
    return *this;
  }
  QavlenString& operator+=(char c) {
    s += c;
    return *this;
  }

 private:
  std::string s;
};

// Reads one token: white space is skipped; a token that begins with ' or "
// runs to the same quote (an unclosed quote stops the program: "c == cmt"),
// any other up to the next white space. At the end of the input, or on a
// failed stream, the string becomes empty. A token of more than 255
// characters stops the program.
std::istream& operator>>(std::istream& in, QavlenString& x);

#endif
