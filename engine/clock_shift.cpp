// Camera clock offsets.
#include "engine/clock_shift.h"

namespace tokiren {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a Gregorian date, and back (any year, leap years by the 400-year rule).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, LocalTime* time) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  time->day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  time->month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  time->year = static_cast<int>(yearOfEra + era * 400 + (time->month <= 2));
}

// Reads at least one and at most `most` digits from the front of `text`.
bool TakeNumber(std::string_view* text, std::size_t most, std::int64_t* value) {
  std::size_t length = 0;
  *value = 0;
  while (length < text->size() && (*text)[length] >= '0' && (*text)[length] <= '9') {
    if (++length > most) return false;
    *value = *value * 10 + ((*text)[length - 1] - '0');
  }
  text->remove_prefix(length);
  return length > 0;
}

bool TakeTwoDigits(std::string_view* text, std::int64_t* value) {
  std::string_view two = text->substr(0, 2);
  if (two.size() != 2 || !TakeNumber(&two, 2, value) || !two.empty()) return false;
  text->remove_prefix(2);
  return true;
}

bool TakeChar(std::string_view* text, char c) {
  if (text->empty() || text->front() != c) return false;
  text->remove_prefix(1);
  return true;
}

}  // namespace

std::optional<std::int64_t> ParseClockShift(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const bool negative = TakeChar(&text, '-');
  if (!negative) TakeChar(&text, '+');
  std::int64_t days = 0, hours = 0, minutes = 0, seconds = 0;
  if (const std::size_t d = text.find('d'); d != text.npos) {
    std::string_view number = text.substr(0, d);
    if (!TakeNumber(&number, 5, &days) || !number.empty()) return std::nullopt;
    text.remove_prefix(d + 1);
    while (TakeChar(&text, ' ')) {
    }
  }
  if (!TakeNumber(&text, 5, &hours) || !TakeChar(&text, ':') || !TakeTwoDigits(&text, &minutes) ||
      !TakeChar(&text, ':') || !TakeTwoDigits(&text, &seconds) || !text.empty() || minutes > 59 ||
      seconds > 59) {
    return std::nullopt;
  }
  const std::int64_t total = ((days * 24 + hours) * 60 + minutes) * 60 + seconds;
  return negative ? -total : total;
}

LocalTime ShiftedBy(const LocalTime& time, std::int64_t seconds) {
  const std::int64_t moment = DaysFromCivil(time.year, time.month, time.day) * kSecondsPerDay +
                              time.hour * 3600 + time.minute * 60 + time.second + seconds;
  std::int64_t days = moment / kSecondsPerDay;
  std::int64_t rest = moment % kSecondsPerDay;
  if (rest < 0) rest += kSecondsPerDay, --days;
  LocalTime shifted;
  CivilFromDays(days, &shifted);
  shifted.hour = static_cast<int>(rest / 3600);
  shifted.minute = static_cast<int>(rest / 60 % 60);
  shifted.second = static_cast<int>(rest % 60);
  return shifted;
}

}  // namespace tokiren
