// Checking the date and fraction texts of camera metadata. The libraries hand these over as text
// and check nothing, so the checks are ours: strptime would take a second 61 and a 31 February.
#include "media/capture_time_text.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace tokiren::media {
namespace {

// "YYYY:MM:DD HH:MM:SS" and "YYYY-MM-DDTHH:MM:SS" alike.
constexpr size_t kDateTimeLength = 19;

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
  if (text.size() < kDateTimeLength || text[4] != dateSeparator || text[7] != dateSeparator ||
      text[10] != middle || text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const LocalTime time{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                       Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
  if (!IsRealMoment(time)) return std::nullopt;
  return time;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// The billionths the fraction digits `digits` (digits only) stand for, past the ninth dropped.
std::uint32_t Nanoseconds(std::string_view digits) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < kFractionDigits; ++i) {
    value = value * 10 + (i < digits.size() ? static_cast<std::uint32_t>(digits[i] - '0') : 0);
  }
  return value;
}

}  // namespace

std::optional<LocalTime> ParseExifDateTime(std::string_view text) {
  return ParseFields(text, ':', ' ');
}

std::optional<LocalTime> ParseIsoDateTime(std::string_view text) {
  return ParseFields(text, '-', 'T');
}

std::optional<std::uint32_t> ParseSubSecTime(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  const std::string_view digits = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  if (!AllDigits(digits)) return std::nullopt;
  return Nanoseconds(digits);
}

std::optional<std::uint32_t> ParseIsoFraction(std::string_view text) {
  if (!ParseIsoDateTime(text) || text.size() <= kDateTimeLength || text[kDateTimeLength] != '.') {
    return std::nullopt;
  }
  const std::string_view after = text.substr(kDateTimeLength + 1);
  const std::string_view digits =
      after.substr(0, std::find_if_not(after.begin(), after.end(), IsDigit) - after.begin());
  if (digits.empty()) return std::nullopt;
  return Nanoseconds(digits);
}

std::string FractionDigits(std::uint32_t nanosecond) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%09u", static_cast<unsigned>(nanosecond));
  std::string text = digits;
  const size_t last = text.find_last_not_of('0');
  text.resize(last == std::string::npos ? 1 : last + 1);
  return text;
}

std::optional<std::uint32_t> FromFractionDigits(std::string_view digits) {
  if (digits.size() > kFractionDigits || !AllDigits(digits)) return std::nullopt;
  return Nanoseconds(digits);
}

std::string StampDigits(const LocalTime& time) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
  return digits;
}

std::optional<LocalTime> FromStampDigits(std::string_view digits) {
  if (digits.size() != kStampDigitCount) return std::nullopt;
  const LocalTime time{Digits(digits, 0, 4), Digits(digits, 4, 2),  Digits(digits, 6, 2),
                       Digits(digits, 8, 2), Digits(digits, 10, 2), Digits(digits, 12, 2)};
  if (!IsRealMoment(time)) return std::nullopt;
  return time;
}

}  // namespace tokiren::media
