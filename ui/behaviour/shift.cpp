// The Shift box's offset.
#include "ui/behaviour/shift.h"

#include "engine/clock_shift.h"

namespace tokiren::behaviour {
namespace {

constexpr std::uint64_t kSecondsPerDay = 86400;

// `typed` with the full-width forms of ASCII (U+FF01 to U+FF5E, UTF-8 EF BC 81 to EF BD 9E), the
// ideographic space (U+3000) and the minus sign (U+2212) in ASCII; everything else as it is.
std::string HalfWidth(std::string_view typed) {
  std::string ascii;
  ascii.reserve(typed.size());
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const auto byte = [&typed](std::size_t at) {
      return at < typed.size() ? static_cast<unsigned char>(typed[at]) : 0u;
    };
    const unsigned lead = byte(i), second = byte(i + 1), third = byte(i + 2);
    if (lead == 0xEF && second == 0xBC && third >= 0x81 && third <= 0xBF) {
      ascii.push_back(static_cast<char>(0x21 + (third - 0x81)));
    } else if (lead == 0xEF && second == 0xBD && third >= 0x80 && third <= 0x9E) {
      ascii.push_back(static_cast<char>(0x60 + (third - 0x80)));
    } else if (lead == 0xE3 && second == 0x80 && third == 0x80) {
      ascii.push_back(' ');
    } else if (lead == 0xE2 && second == 0x88 && third == 0x92) {
      ascii.push_back('-');
    } else {
      ascii.push_back(typed[i]);
      continue;
    }
    i += 2;
  }
  return ascii;
}

// Minutes or seconds, below 60.
std::string TwoDigits(std::uint64_t value) {
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

std::optional<std::int64_t> ShiftFromTyped(std::string_view typed) {
  const std::string ascii = HalfWidth(typed);
  if (ascii.find_first_not_of(' ') == std::string::npos) return 0;
  return ParseClockShift(ascii);
}

std::string ShiftText(std::int64_t seconds) {
  std::string text(1, seconds < 0 ? '-' : '+');
  // In unsigned arithmetic, so that the most negative offset has a magnitude too.
  std::uint64_t rest = seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds)
                                   : static_cast<std::uint64_t>(seconds);
  const std::uint64_t days = rest / kSecondsPerDay;
  rest %= kSecondsPerDay;
  if (days > 0) text += std::to_string(days) + "d ";
  text += std::to_string(rest / 3600) + ":" + TwoDigits(rest / 60 % 60) + ":" + TwoDigits(rest % 60);
  return text;
}

}  // namespace tokiren::behaviour
