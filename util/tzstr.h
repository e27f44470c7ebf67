// TzString: the library's owned, growable byte string.
//
// A NUL-terminated text with a separate length and allocated size, grown in
// steps of AllocIncr (8) bytes. The empty state holds no text at all (a null
// text, length 0, size 0); a string whose characters were all deleted keeps
// an allocated text of length 0 and is told apart from the empty state by
// Compare and by operator const char* (which gives "" instead of null).
//
// Beside the class: a line reader (getline) and a word extractor
// (operator>>) for input streams, the Boyer-Moore pattern TzBoyerMoore and
// three prompt readers (read_int, read_double, read_string).
#ifndef TZSTR_H
#define TZSTR_H

#include <cstdint>
#include <istream>
#include <sstream>
#include <vector>

#include "tzdefs.h"

enum TzStrCompVal { SC_LESS = 0, SC_EQUAL = 1, SC_GREATER = 2, SC_ERROR = 3 };
enum TzStrCompMode { SM_SENSITIVE = 0, SM_IGNORE = 1 };
enum TzStrError { SE_OKAY = 0, SE_ALLOC = 1, SE_TOO_LONG = 2, SE_INVALID = 3 };

class TzBoyerMoore;

class TzString {
 public:
  TzString();
  TzString(const TzString& s);
  TzString(const char* p);  // NOLINT: implicit by design
  TzString(unsigned n, char c);
  // Takes the whole text of the stream (the stream itself is not changed).
  TzString(std::stringstream& ss);
  ~TzString();

  // Assignment; self-assignment keeps the text.
  TzString& operator=(const TzString& s);
  TzString& operator=(std::stringstream& ss);

  unsigned Length() const { return Len; }
  // The text; null for the empty state.
  operator const char*() const { return Txt; }
  // The character at i, or 0 at and beyond the end.
  char operator[](unsigned i) const { return i < Len ? Txt[i] : '\0'; }

  friend TzString operator+(const TzString& a, const TzString& b);
  friend TzString operator+(const TzString& a, char c);

  TzStrCompVal Compare(const TzString& s, TzStrCompMode mode = SM_SENSITIVE) const;
  // Straight search: the first occurrence of pat; pos is set when found.
  TzBoolean Find(const TzString& pat, unsigned& pos, TzStrCompMode mode = SM_SENSITIVE) const;
  // Boyer-Moore search: the first occurrence of the pattern.
  TzBoolean Find(const TzBoyerMoore& bm, unsigned& pos) const;

  void Delete(unsigned pos, unsigned count);
  void Insert(unsigned pos, char c);
  void Insert(unsigned pos, const TzString& s);

  TzString Cut(unsigned start, unsigned count) const;
  TzString CutHead(unsigned count) const;
  TzString CutTail(unsigned count) const;

  // Convert the NUL-terminated text p in place and return p.
  char* Strupr(char* p) const;
  char* Strlwr(char* p) const;
  void ToUpper();
  void ToLower();
  TzString AsUpper() const;
  TzString AsLower() const;

  friend std::istream& getline(std::istream& is, TzString& line, char delim);
  // The unit's tests look at the allocation size.
  friend struct TzStringTestAccess;

 protected:
  std::uint32_t Siz;
  std::uint32_t Len;
  char* Txt;

 private:
  static std::uint32_t AllocIncr;
  // The allocation size of a text of n characters: the smallest multiple of
  // AllocIncr above n.
  static std::uint32_t CalcSiz(std::uint32_t n);
  // Becomes the empty state, freeing the text.
  void Clear();
  // Appends n characters of p, growing the block only when it is too small.
  void Append(const char* p, std::uint32_t n);
  // Takes over n characters of p with size CalcSiz(n) (the empty state for 0).
  void Assign(const char* p, std::uint32_t n);
};

// Reads one line up to delim (consumed, not stored) in chunks of at most 255
// characters. A line with no characters leaves the stream failed; a last
// line without delim arrives in line with the stream failed at its end.
std::istream& getline(std::istream& is, TzString& line, char delim);

// Extracts one word: leading white space skipped; a word that begins with an
// apostrophe or a double quote runs verbatim to the same quote. At most 256
// characters; a longer word is a fatal error.
std::istream& operator>>(std::istream& is, TzString& s);

// Prompt readers: the prompt goes to the standard error stream, the answer
// is one line of the standard input. A missing or empty answer is fatal.
// read_int and read_double give 0 when the line does not begin with a number.
int read_int(const char* prompt);
double read_double(const char* prompt);
TzString read_string(const char* prompt);

class TzBoyerMoore {
 public:
  explicit TzBoyerMoore(const TzString& pat);
  TzBoyerMoore(const TzBoyerMoore& bm);
  void operator=(const TzBoyerMoore& bm);
  ~TzBoyerMoore();

  unsigned GetPatternLen() const { return Pattern.Length(); }
  unsigned GetDelta(char c) const { return Delta[static_cast<unsigned char>(c)]; }
  char operator[](unsigned i) const { return Pattern[i]; }

 private:
  static const unsigned DeltaSize = 256;
  std::vector<std::uint32_t> Delta;
  TzString Pattern;
};

#endif
