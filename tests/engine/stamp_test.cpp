#include "engine/stamp.h"

#include <gtest/gtest.h>

namespace tokiren {
namespace {

TEST(GetNiKetaTest, PadsToExactlyTheWidth) {
  struct Case {
    std::int16_t value;
    std::int16_t width;
    const char* expected;
  };
  const Case cases[] = {{2016, 4, "2016"}, {8, 2, "08"},  {0, 2, "00"},       {59, 2, "59"},
                        {123, 2, "23"},    {-5, 2, "05"}, {7, 12, "00000000007"}};
  for (const Case& c : cases) {
    std::string text = "unchanged?";
    GetNiKeta(c.value, text, c.width);
    EXPECT_EQ(text, c.expected) << c.value << " width " << c.width;
  }
}

TEST(FormatStampTest, BuildsFourteenOrSixteenCharacters) {
  const LocalTime time{2016, 8, 30, 12, 48, 42};
  EXPECT_EQ(FormatStamp(time, ""), "20160830124842");
  EXPECT_EQ(FormatStamp(time, "_"), "2016_0830_124842");
  EXPECT_EQ(FormatStamp(LocalTime{2001, 1, 2, 3, 4, 5}, ""), "20010102030405");
}

TEST(PlusOneTest, CountsTheLastFiveCharactersAndWraps) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"20160830124842", "20160830124843"},
      {"20160830124899", "20160830124900"},
      {"2016_0830_124859", "2016_0830_124860"},
      {"20160830199999", "20160830100000"},  // wraps without carrying into the sixth digit
      {"2016_0830_199999", "2016_0830_100000"},
  };
  for (const Case& c : cases) {
    std::string stamp = c.before;
    PlusOne(stamp);
    EXPECT_EQ(stamp, c.after);
  }
}

}  // namespace
}  // namespace tokiren
