// Checking the date texts of camera metadata. The libraries hand these over as text and check
// nothing, so the checks are ours: strptime would take a second 61 and a 31 February.
#include "media/capture_time_text.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace tokiren::media {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsRealMoment(const LocalTime& t) {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// The number of `width` digits at `text[at]`, or -1 when any of them is not a digit.
int Digits(std::string_view text, size_t at, size_t width) {
  if (at + width > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY?MM?DD?HH:MM:SS" with the given separators at positions 4, 7 and 10.
std::optional<LocalTime> ParseFields(std::string_view text, char dateSeparator, char middle) {
  constexpr size_t kLength = 19;
  if (text.size() < kLength || text[4] != dateSeparator || text[7] != dateSeparator ||
      text[10] != middle || text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const LocalTime time{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                       Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
  if (!IsRealMoment(time)) return std::nullopt;
  return time;
}

}  // namespace

std::optional<LocalTime> ParseExifDateTime(std::string_view text) {
  return ParseFields(text, ':', ' ');
}

std::optional<LocalTime> ParseIsoDateTime(std::string_view text) {
  return ParseFields(text, '-', 'T');
}

std::string StampDigits(const LocalTime& time) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
  return digits;
}

std::optional<LocalTime> FromStampDigits(std::string_view digits) {
  constexpr size_t kStampLength = 14;
  if (digits.size() != kStampLength) return std::nullopt;
  const LocalTime time{Digits(digits, 0, 4), Digits(digits, 4, 2),  Digits(digits, 6, 2),
                       Digits(digits, 8, 2), Digits(digits, 10, 2), Digits(digits, 12, 2)};
  if (!IsRealMoment(time)) return std::nullopt;
  return time;
}

}  // namespace tokiren::media
