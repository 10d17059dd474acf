// Name stamps.
#include "engine/stamp.h"

#include <algorithm>

namespace tokiren {
namespace {

// A stamp holds four digits of year.
constexpr int kLastYear = 9999;

}  // namespace

void GetNiKeta(std::int16_t intTemp, std::string& strTemp, std::int16_t Keta) {
  const int magnitude = intTemp < 0 ? -intTemp : intTemp;
  const std::string padded = "0000000000" + std::to_string(magnitude);
  const size_t width = Keta > 0 ? static_cast<size_t>(Keta) : 0;
  strTemp = width >= padded.size() ? padded : padded.substr(padded.size() - width);
}

std::string FormatStamp(const LocalTime& time, const std::string& SepChar) {
  std::string year, month, day, hour, minute, second;
  GetNiKeta(static_cast<std::int16_t>(time.year), year, 4);
  GetNiKeta(static_cast<std::int16_t>(time.month), month, 2);
  GetNiKeta(static_cast<std::int16_t>(time.day), day, 2);
  GetNiKeta(static_cast<std::int16_t>(time.hour), hour, 2);
  GetNiKeta(static_cast<std::int16_t>(time.minute), minute, 2);
  GetNiKeta(static_cast<std::int16_t>(time.second), second, 2);
  return year + SepChar + month + day + SepChar + hour + minute + second;
}

void PlusOne(std::string& strName) { CountUp(strName, 1); }

void CountUp(std::string& strName, int distance) {
  const size_t width = std::min(kCounterDigits, strName.size());
  const size_t start = strName.size() - width;
  int counter = 0;  // the counter's leading digits, as a number
  for (size_t i = start; i < strName.size() && strName[i] >= '0' && strName[i] <= '9'; ++i) {
    counter = counter * 10 + (strName[i] - '0');
  }
  std::string digits = std::to_string((counter + distance % kCounterValues) % kCounterValues);
  digits.insert(0, kCounterDigits - digits.size(), '0');
  strName.replace(start, width, digits);
}

std::optional<std::string> StampFormat::Format(const LocalTime& time) const {
  if (time.year < 0 || time.year > kLastYear) return std::nullopt;
  return FormatStamp(time, separator_);
}

}  // namespace tokiren
