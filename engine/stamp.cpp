// Name stamps.
#include "engine/stamp.h"

namespace tokiren {
namespace {

constexpr size_t kCounterWidth = 5;
constexpr int kCounterLimit = 100000;

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

void PlusOne(std::string& strName) {
  const size_t width = std::min(kCounterWidth, strName.size());
  const size_t start = strName.size() - width;
  int counter = 0;  // the counter's leading digits, as a number
  for (size_t i = start; i < strName.size() && strName[i] >= '0' && strName[i] <= '9'; ++i) {
    counter = counter * 10 + (strName[i] - '0');
  }
  std::string digits = std::to_string((counter + 1) % kCounterLimit);
  digits.insert(0, kCounterWidth - digits.size(), '0');
  strName.replace(start, width, digits);
}

}  // namespace tokiren
