// Name stamps: the digits a file is renamed to, built from one of its times, and counting them up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace tokiren {

// The last five characters of a stamp are its counter (see PlusOne).
inline constexpr std::size_t kCounterDigits = 5;
inline constexpr int kCounterValues = 100000;

// strTemp = intTemp's digits, zero-padded on the left to exactly Keta characters; a value with
// more digits loses its leading ones, and a negative value loses its sign.
void GetNiKeta(std::int16_t intTemp, std::string& strTemp, std::int16_t Keta);

// The stamp of a moment: year, SepChar, month and day, SepChar, hour, minute and second, each
// zero-padded (20160830124842, or 2016_0830_124842 with "_").
std::string FormatStamp(const LocalTime& time, const std::string& SepChar);

// Counts a stamp up by one: its last five characters are one five-digit counter that wraps from
// 99999 to 00000 without carrying into the characters before it. The result is a different name,
// not necessarily a valid time.
void PlusOne(std::string& strName);

// Counts a stamp up by `distance`, as PlusOne that often would.
void CountUp(std::string& strName, int distance);

// The shape of every stamp of one run: with or without "_" inside.
class StampFormat {
 public:
  explicit StampFormat(bool separated) : separator_(separated ? "_" : "") {}

  // "_" or "": SepChar.
  const std::string& separator() const { return separator_; }
  // 14 characters, or 16 with separators.
  std::size_t length() const { return 14 + 2 * separator_.size(); }
  // The stamp of `time`, or nothing when its year has no four digits.
  std::optional<std::string> Format(const LocalTime& time) const;

 private:
  std::string separator_;
};

}  // namespace tokiren
