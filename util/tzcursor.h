// The items of a line, walked by a cursor: where the next item starts,
// which characters separate items, and whether a '+' may lead a number.
// The numbers themselves are read by the fast readers of tzfastio.
//
// A reader fixes the two policies once, as the parameters of its cursor
// type; every step is inline, so that walking a line costs what the loops
// written out by hand would.
#ifndef TZCURSOR_H
#define TZCURSOR_H

#include <string_view>

#include "tzdefs.h"
#include "tzfastio.h"
#include "tzlines.h"

namespace tz {

// The characters that separate the items of a line.
enum class Blanks {
  kBlanksAndTabs,  // ' ' and '\t'
  kLineBlanks,     // ' ', '\t' and '\r' (IsBlank: a CRLF line end's rest is a blank)
  kWhiteSpace,     // ' ' and '\t' to '\r', what a stream's number extraction passes over
};

// Whether a '+' may lead a number. Where it may, it is passed over when
// neither sign follows it ("+5" is 5, "+-5" and "++5" are no numbers).
enum class Plus { kMayLead, kRefused };

template <Blanks kBlanks, Plus kPlus = Plus::kMayLead>
class ItemCursor {
 public:
  explicit ItemCursor(std::string_view line) : c_(line.data()), e_(line.data() + line.size()), b_(c_) {}

  static bool IsSeparator(char c) {
    switch (kBlanks) {
      case Blanks::kBlanksAndTabs: return c == ' ' || c == '\t';
      case Blanks::kLineBlanks: return IsBlank(c);
      case Blanks::kWhiteSpace: return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
    }
    return false;
  }

  // The start of the number of an item that begins at b (in [b, e)): past
  // a '+' the policy lets lead it.
  static const char* Number(const char* b, const char* e) {
    if (kPlus == Plus::kMayLead && b != e && *b == '+' && b + 1 != e && b[1] != '-' && b[1] != '+') return b + 1;
    return b;
  }

  // Passes the separators before the next item; false when the line holds
  // no more items.
  bool More() {
    while (c_ != e_ && IsSeparator(*c_)) ++c_;
    return c_ != e_;
  }
  // Where the next item starts (after More) and where the line ends, for
  // a form of item the cursor does not read itself.
  const char* Here() const { return c_; }
  const char* End() const { return e_; }
  // Whether c, in the line, ends an item: it stands at a separator or at
  // the end of the line.
  bool Ends(const char* c) const { return c == e_ || IsSeparator(*c); }
  // Takes the item from Here() up to c, which ends it, and returns it.
  std::string_view Take(const char* c) {
    b_ = c_;
    c_ = c;
    return Item();
  }
  // The next item: the characters up to the next separator; false at the
  // end of the line.
  bool Next(std::string_view& item) {
    if (!More()) return false;
    b_ = c_;
    while (++c_ != e_ && !IsSeparator(*c_)) {
    }
    item = Item();
    return true;
  }
  // The item taken last, for a report or a copy.
  std::string_view Item() const { return std::string_view(b_, static_cast<std::size_t>(c_ - b_)); }

  // The next item, when it is wholly a 32-bit integer: an optional sign and
  // decimal digits. False otherwise, the cursor before the item.
  bool Integer(Long& v) { return More() && TookWhole(ReadLong(Number(c_, e_), e_, v)); }
  // The next item, when it is wholly a real (ReadReal's forms).
  bool Real(double& v) { return More() && TookWhole(ReadReal(Number(c_, e_), e_, v)); }

  // The integer at the start of the next item, which ends where the number
  // ends, as a stream's number extraction reads it ("12x": 12, and "x" is
  // next); false when the item does not begin with one.
  bool LeadingInteger(Long& v) { return More() && Took(ReadLong(Number(c_, e_), e_, v)); }
  // The real at the start of the next item, as LeadingInteger. A stream's
  // extraction takes no "inf" or "nan": the number begins with a digit or
  // a point, after an optional minus.
  bool LeadingReal(double& v) {
    if (!More()) return false;
    const char* const q = Number(c_, e_);
    const char* const r = *q == '-' ? q + 1 : q;
    if (r == e_ || (*r != '.' && !IsDigit(*r))) return false;
    return Took(ReadReal(q, e_, v));
  }

 private:
  // Takes the item up to c; false when no number was read (c null).
  bool Took(const char* c) {
    if (c == nullptr) return false;
    Take(c);
    return true;
  }
  // The same for a number that must be the whole item.
  bool TookWhole(const char* c) { return c != nullptr && Ends(c) && Took(c); }
  const char* c_;  // the cursor
  const char* e_;  // the end of the line
  const char* b_;  // the start of the item taken last
};

}  // namespace tz

#endif
