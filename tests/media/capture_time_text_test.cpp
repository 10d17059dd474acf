#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "media/capture_time_text.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {

TEST(CaptureTimeTextTest, TakesAnExifDateAsItStands) {
  EXPECT_EQ(ParseExifDateTime("2016:08:30 12:48:42"), (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(ParseExifDateTime(std::string("2016:02:29 00:00:00\0", 20)),
            (LocalTime{2016, 2, 29, 0, 0, 0}));
  EXPECT_EQ(ParseExifDateTime("2016:08:30 12:48:42   "), (LocalTime{2016, 8, 30, 12, 48, 42}));
}

TEST(CaptureTimeTextTest, RefusesWhatIsNoRealMoment) {
  const char* const notMoments[] = {
      "0000:00:00 00:00:00", "                   ", "    :  :     :  :  ", "",
      "2013:05:26 16:05:92", "2016:13:01 00:00:00", "2015:02:29 10:00:00", "2016:04:31 10:00:00",
      "2016:08:30 24:00:00", "2016:08:30 12:60:00", "2016-08-30 12:48:42", "2016:08:30T12:48:42",
      "2016:08:30 12:48",    "2016:8:30 12:48:42 ", "20a6:08:30 12:48:42", "2016:00:10 12:48:42",
  };
  for (const char* text : notMoments) EXPECT_FALSE(ParseExifDateTime(text)) << text;
}

TEST(CaptureTimeTextTest, TakesTheCalendarFieldsOfAnIsoTime) {
  EXPECT_EQ(ParseIsoDateTime("2016-08-30T12:48:42-0400"), (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(ParseIsoDateTime("2016-08-30T16:48:42.000000Z"), (LocalTime{2016, 8, 30, 16, 48, 42}));
  EXPECT_FALSE(ParseIsoDateTime("2016:08:30 12:48:42"));
  EXPECT_FALSE(ParseIsoDateTime("2016-08-30T12:48:92Z"));
}

TEST(CaptureTimeTextTest, TakesTheDigitsOfASubSecondTimeAsAFraction) {
  const struct {
    std::string text;
    std::uint32_t nanosecond;
  } cases[] = {
      {"5", 500'000'000}, {"05", 50'000'000}, {"123", 123'000'000}, {"0", 0}, {"00", 0},
      {"000000001", 1}, {"999999999", 999'999'999},
      // Blanks around the digits, and NULs after them.
      {"  7", 700'000'000}, {"42   ", 420'000'000}, {std::string("3\0\0", 3), 300'000'000},
      // Finer than a billionth: the digits past the ninth are dropped.
      {"1234567891", 123'456'789}, {"0000000009", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSubSecTime(c.text), c.nanosecond) << c.text;
}

TEST(CaptureTimeTextTest, ASubSecondTimeWithAnythingButDigitsIsNone) {
  const std::string notFractions[] = {
      "", "   ", "1.5", ".5", "-5", "+5", "1 2", "12a", "a", "5s", "\t5", "5\t",
      "\xef\xbc\x95",  // a full-width 5
      std::string(1, '\0') + "5",
  };
  for (const auto& text : notFractions) EXPECT_FALSE(ParseSubSecTime(text)) << text;
}

TEST(CaptureTimeTextTest, TakesTheFractionOfAnIsoTime) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> nanosecond;
  } cases[] = {
      {"2016-08-30T12:48:42.123000Z", 123'000'000}, {"2016-08-30T12:48:42.5+0900", 500'000'000},
      {"2016-08-30T12:48:42.000000Z", 0}, {"2016-08-30T12:48:42.1234567891Z", 123'456'789},
      {"2016-08-30T12:48:42Z", std::nullopt}, {"2016-08-30T12:48:42", std::nullopt},
      {"2016-08-30T12:48:42.Z", std::nullopt}, {"2016-08-30T12:48:42,5Z", std::nullopt},
      // No real moment, no fraction either.
      {"2016-08-30T12:48:92.5Z", std::nullopt}, {"2016:08:30 12:48:42.5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIsoFraction(c.text), c.nanosecond) << c.text;
}

TEST(CaptureTimeTextTest, FractionDigitsGoThereAndBack) {
  const struct {
    std::uint32_t nanosecond;
    const char* digits;
  } cases[] = {
      {500'000'000, "5"},         {123'000'000, "123"}, {50'000'000, "05"},
      {1, "000000001"},           {0, "0"},             {100'000'010, "10000001"},
      {999'999'999, "999999999"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FractionDigits(c.nanosecond), c.digits) << c.nanosecond;
    EXPECT_EQ(FromFractionDigits(c.digits), c.nanosecond) << c.digits;
  }
  EXPECT_EQ(FromFractionDigits("500000000"), 500'000'000u);
  for (const char* bad : {"", "1234567890", "5 ", " 5", "1.5", "x", "-1"}) {
    EXPECT_FALSE(FromFractionDigits(bad)) << bad;
  }
}

TEST(CaptureTimeTextTest, StampDigitsGoThereAndBack) {
  const LocalTime time{2016, 8, 30, 12, 48, 42};
  EXPECT_EQ(StampDigits(time), "20160830124842");
  EXPECT_EQ(FromStampDigits("20160830124842"), time);
  EXPECT_EQ(FromStampDigits("00010101000000"), (LocalTime{1, 1, 1, 0, 0, 0}));
  for (const char* bad : {"", "2016083012484", "201608301248420", "20161330124842", "2016083012484x"}) {
    EXPECT_FALSE(FromStampDigits(bad)) << bad;
  }
}

}  // namespace
}  // namespace tokiren::media
