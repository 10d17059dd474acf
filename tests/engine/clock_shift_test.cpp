#include "engine/clock_shift.h"

#include <gtest/gtest.h>

namespace tokiren {
namespace {

TEST(ClockShiftTest, ReadsOffsetsAndRefusesEverythingElse) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> seconds;
  };
  const Case cases[] = {
      {"+1:00:00", 3600},        {"-0:03:20", -200},   {"+2d 0:00:00", 172800},
      {" 0:00:01 ", 1},          {"-1d 1:01:01", -90061}, {"+100:00:00", 360000},
      {"1:60:00", std::nullopt}, {"1:00:60", std::nullopt}, {"1:0:00", std::nullopt},
      {"1:00", std::nullopt},    {"", std::nullopt},        {"+", std::nullopt},
      {"1h", std::nullopt},      {"--1:00:00", std::nullopt}, {"2d", std::nullopt},
      {"1:00:00x", std::nullopt}, {"99999999999:00:00", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseClockShift(c.text), c.seconds) << c.text;
}

TEST(ClockShiftTest, MovesTheWallClockAcrossDaysMonthsAndYears) {
  struct Case {
    LocalTime from;
    std::int64_t seconds;
    LocalTime to;
  };
  const Case cases[] = {
      {{2016, 8, 30, 12, 48, 42}, 0, {2016, 8, 30, 12, 48, 42}},
      {{2016, 12, 31, 23, 30, 0}, 3600, {2017, 1, 1, 0, 30, 0}},
      {{2017, 1, 1, 0, 1, 0}, -200, {2016, 12, 31, 23, 57, 40}},
      {{2016, 2, 28, 12, 0, 0}, 86400, {2016, 2, 29, 12, 0, 0}},   // a leap year
      {{2100, 2, 28, 12, 0, 0}, 86400, {2100, 3, 1, 12, 0, 0}},    // not one
      {{2000, 3, 1, 0, 0, 0}, -1, {2000, 2, 29, 23, 59, 59}},
      {{2016, 8, 30, 12, 48, 42}, -2 * 86400 - 13 * 3600, {2016, 8, 27, 23, 48, 42}},
  };
  for (const Case& c : cases) {
    const LocalTime shifted = ShiftedBy(c.from, c.seconds);
    EXPECT_EQ(shifted, c.to) << c.from.year << "-" << c.from.month << "-" << c.from.day << " "
                             << c.seconds << ": " << shifted.year << "-" << shifted.month << "-"
                             << shifted.day << " " << shifted.hour << ":" << shifted.minute;
  }
}

}  // namespace
}  // namespace tokiren
