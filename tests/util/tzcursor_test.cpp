#include "tzcursor.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

using Tabs = tz::ItemCursor<tz::Blanks::kBlanksAndTabs>;
using LineBlanks = tz::ItemCursor<tz::Blanks::kLineBlanks>;
using White = tz::ItemCursor<tz::Blanks::kWhiteSpace>;
using NoPlus = tz::ItemCursor<tz::Blanks::kBlanksAndTabs, tz::Plus::kRefused>;

template <class Cursor>
std::vector<std::string> ItemsOf(std::string_view line) {
  Cursor c(line);
  std::vector<std::string> items;
  for (std::string_view item; c.Next(item);) items.emplace_back(item);
  std::string_view after = "x";
  EXPECT_FALSE(c.Next(after));  // the end stays the end
  EXPECT_EQ(after, "x");
  return items;
}

// Which characters separate items: the policy of the cursor's type.
TEST(ItemCursor, TheSeparatorsOfEachPolicy) {
  const std::string line = " a\tb\rc\vd\fe\nf \0g "s;
  EXPECT_EQ(ItemsOf<Tabs>(line), (std::vector<std::string>{"a", "b\rc\vd\fe\nf", "\0g"s}));
  EXPECT_EQ(ItemsOf<LineBlanks>(line), (std::vector<std::string>{"a", "b", "c\vd\fe\nf", "\0g"s}));
  EXPECT_EQ(ItemsOf<White>(line), (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "\0g"s}));
  EXPECT_TRUE(ItemsOf<Tabs>("").empty());
  EXPECT_TRUE(ItemsOf<LineBlanks>(" \t\r ").empty());
}

// A '+' leads a number unless a sign follows it; the item keeps it.
TEST(ItemCursor, ThePlusRule) {
  const struct {
    const char* item;
    bool read;
    Long value;
  } cases[] = {
      {"+5", true, 5},
      {"-5", true, -5},
      {"5", true, 5},
      {"+-5", false, 0},
      {"++5", false, 0},
      {"-+5", false, 0},
      {"+", false, 0},
      {"-", false, 0},
      {"+0012", true, 12},
      {"+2147483647", true, 2147483647},
      {"+2147483648", false, 0},
  };
  for (const auto& c : cases) {
    const std::string line = std::string(" ") + c.item + " ";  // the cursor views it
    Tabs it(line);
    Long v = 0;
    EXPECT_EQ(it.Integer(v), c.read) << c.item;
    if (!c.read) continue;
    EXPECT_EQ(v, c.value) << c.item;
    EXPECT_EQ(it.Item(), c.item);
    NoPlus refused(c.item);
    EXPECT_EQ(refused.Integer(v), c.item[0] != '+') << c.item;
  }
  double r = 0;
  EXPECT_TRUE(Tabs("+2.5").Real(r));
  EXPECT_EQ(r, 2.5);
  EXPECT_FALSE(Tabs("+-2.5").Real(r));
  EXPECT_FALSE(NoPlus("+2.5").Real(r));
}

// A whole item must be the number up to a separator; a leading number ends
// where the number ends, and the next item starts there. A read that fails
// leaves the cursor before the item.
TEST(ItemCursor, WholeItemsAndLeadingNumbers) {
  Long v = 0;
  double r = 0;
  LineBlanks whole("12x 7\r");
  EXPECT_FALSE(whole.Integer(v));
  std::string_view item;
  ASSERT_TRUE(whole.Next(item));
  EXPECT_EQ(item, "12x");
  EXPECT_TRUE(whole.Integer(v));
  EXPECT_EQ(v, 7);
  EXPECT_FALSE(whole.More());

  White leading("12x\f-3.5e1 .5 inf");
  EXPECT_TRUE(leading.LeadingInteger(v));
  EXPECT_EQ(v, 12);
  EXPECT_EQ(leading.Item(), "12");
  EXPECT_FALSE(leading.LeadingInteger(v));  // "x"
  ASSERT_TRUE(leading.Next(item));
  EXPECT_EQ(item, "x");
  EXPECT_TRUE(leading.LeadingReal(r));
  EXPECT_EQ(r, -35.0);
  EXPECT_TRUE(leading.LeadingReal(r));
  EXPECT_EQ(r, 0.5);
  EXPECT_FALSE(leading.LeadingReal(r));  // a stream's extraction takes no "inf"
  EXPECT_TRUE(Tabs("inf").Real(r));      // a whole real in ReadReal's forms does
}

// A form the cursor does not read itself: the reader looks from Here() and
// takes the item up to where the form ends.
TEST(ItemCursor, TakeAnItemOfAFormOfItsOwn) {
  LineBlanks it("  1.5 2.50\r");
  ASSERT_TRUE(it.More());
  const char* c = tz::WrittenRealEnd(it.Here(), it.End());
  ASSERT_TRUE(c != nullptr && it.Ends(c));
  EXPECT_EQ(it.Take(c), "1.5");
  ASSERT_TRUE(it.More());
  c = tz::WrittenRealEnd(it.Here(), it.End());
  EXPECT_EQ(c, nullptr);  // "2.50" is not as PutReal writes it
  std::string_view item;
  ASSERT_TRUE(it.Next(item));
  EXPECT_EQ(item, "2.50");
  EXPECT_FALSE(it.More());
}

}  // namespace
