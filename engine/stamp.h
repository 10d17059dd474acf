// Name stamps: the digits a file is renamed to, built from one of its times, and counting them up.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tokiren {

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

}  // namespace tokiren
