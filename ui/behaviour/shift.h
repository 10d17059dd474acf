// The camera clock's offset as the options panel's Shift box holds it: read from what was typed,
// and written out again for the preview's heading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tokiren::behaviour {

// The offset in seconds that `typed` gives: 0 for a box left empty or blank; otherwise read by
// ParseClockShift ("+1:00:00", "-0:03:20", "+2d 0:00:00"), after the full-width forms a Japanese
// input method types ("＋１：００：００", the ideographic space, the minus sign "−") have become
// their ASCII selves. Nothing for text that is not an offset.
std::optional<std::int64_t> ShiftFromTyped(std::string_view typed);

// `seconds` as an offset is typed: its sign, the days when there are any, then hours, minutes and
// seconds ("+1:00:00", "-0:03:20", "+2d 0:00:00").
std::string ShiftText(std::int64_t seconds);

}  // namespace tokiren::behaviour
