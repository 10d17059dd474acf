// The date texts that camera metadata carries, checked and turned into calendar fields and
// fractions of a second. Pure C++: the readers (metadata_reader.cpp) hand over the text their
// library found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tokiren::media {

// An EXIF date, "YYYY:MM:DD HH:MM:SS" (exactly that shape, anything after it ignored as some
// cameras pad with blanks or a NUL), as it stands: the camera's wall clock. Nothing when it is not
// a real moment: blanks, zeros, a month 13, a second 92, a 31 February.
std::optional<LocalTime> ParseExifDateTime(std::string_view text);

// An ISO 8601 time, "YYYY-MM-DDTHH:MM:SS" followed by anything (fraction, offset, "Z"), as its
// calendar fields; nothing when it is not a real moment.
std::optional<LocalTime> ParseIsoDateTime(std::string_view text);

// Fractions of a second are billionths, below kNanosecondsPerSecond: nine decimal digits at most.
inline constexpr std::uint32_t kNanosecondsPerSecond = 1'000'000'000;
inline constexpr size_t kFractionDigits = 9;

// An EXIF sub-second time (SubSecTimeOriginal, SubSecTimeDigitized): the digits of a decimal
// fraction of a second ("5" half a second, "123" 0.123 s, "05" 0.05 s), which cameras may pad
// with blanks on either side; the text ends at a NUL. Digits past the ninth are finer than a
// billionth and dropped. Nothing when there is no digit, or anything but digits between the
// blanks ("1.5", "-5", "1 2", "12a").
std::optional<std::uint32_t> ParseSubSecTime(std::string_view text);

// The fraction of an ISO 8601 time, the digits after a "." that follows the seconds
// ("2016-08-30T16:48:42.123000Z": 0.123 s), digits past the ninth dropped. Nothing when `text`
// is no ISO time (ParseIsoDateTime) or its seconds are not followed by "." and a digit.
std::optional<std::uint32_t> ParseIsoFraction(std::string_view text);

// The digits of the fraction `nanosecond` (below kNanosecondsPerSecond), the fewest that say it
// exactly: "5" for half a second, "000000001" for a billionth, "0" for none at all; and back.
// FromFractionDigits gives nothing unless `digits` is 1 to 9 digits. The helper's answers carry a
// fraction this way.
std::string FractionDigits(std::uint32_t nanosecond);
std::optional<std::uint32_t> FromFractionDigits(std::string_view digits);

// The stamp digits "YYYYMMDDhhmmss" of `time`, and back; the helper's answers travel this way.
// FromStampDigits gives nothing unless `digits` is exactly kStampDigitCount digits of a real
// moment.
inline constexpr size_t kStampDigitCount = 14;
std::string StampDigits(const LocalTime& time);
std::optional<LocalTime> FromStampDigits(std::string_view digits);

}  // namespace tokiren::media
