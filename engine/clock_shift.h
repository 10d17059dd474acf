// A camera clock set wrong, or left in another zone: an offset added to every time of a run before
// its stamp is made. The files themselves are not changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/file_system.h"

namespace tokiren {

// Reads an offset: an optional sign, optional days ("2d "), then hours, minutes and seconds
// ("1:00:00"): "+1:00:00", "-0:03:20", "+2d 0:00:00". Blanks around it are ignored. Nothing for
// text that is not one (minutes or seconds past 59, missing fields, anything else).
std::optional<std::int64_t> ParseClockShift(std::string_view text);

// The wall-clock time `seconds` later (earlier, when negative), by the Gregorian calendar: as the
// camera's clock would have shown it, had it been set right. No zone takes part.
LocalTime ShiftedBy(const LocalTime& time, std::int64_t seconds);

}  // namespace tokiren
