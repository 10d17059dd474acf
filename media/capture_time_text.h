// The date texts that camera metadata carries, checked and turned into calendar fields. Pure C++:
// the readers (metadata_reader.cpp) hand over the text their library found.
#pragma once

#include <cstdint>
#include <optional>
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

// The stamp digits "YYYYMMDDhhmmss" of `time`, and back; the helper's answers travel this way.
// FromStampDigits gives nothing unless `digits` is exactly 14 digits of a real moment.
std::string StampDigits(const LocalTime& time);
std::optional<LocalTime> FromStampDigits(std::string_view digits);

}  // namespace tokiren::media
