// Reading the capture time from a file's own metadata, with the libraries that read each kind of
// file: exiv2 (EXIF of JPEG, TIFF, RAW and CR3), libheif (the Exif block of HEIF and AVIF files,
// decoded by exiv2) and libavformat (the QuickTime and MP4 movie headers). Runs inside
// tokiren-media-helper only: a damaged or crafted file may crash or hang these libraries.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/capture_time.h"

namespace tokiren::media {

// Quiets the libraries' own warnings on stderr and loads whatever they load from files (libheif's
// plugins). Once, before the first ReadCaptureTime and before the helper seals itself.
void InitializeMetadataLibraries();

// The moment the open file `file` (a descriptor on POSIX, a HANDLE on Windows) was taken; nothing
// when it holds none that is a real moment, or cannot be read. Reads only through `file` (mapped
// read-only, or its first 64 MiB when it cannot be mapped: file_bytes.h), opens nothing, leaves
// it open. Never throws; a file cut short while mapped may end the process (SIGBUS, or an
// in-page error on Windows).
//  - Stills: EXIF DateTimeOriginal, else DateTimeDigitized, as the camera's wall clock stands
//    (utc false); never DateTime, which every edit changes. The fraction of a second is the
//    sub-second time of the tag the time came from (SubSecTimeOriginal, SubSecTimeDigitized); an
//    original time without one takes SubSecTimeDigitized when DateTimeDigitized is the same
//    second. A sub-second time that is not digits between blanks is none (ParseSubSecTime).
//  - Movies: Apple's com.apple.quicktime.creationdate as its wall clock stands (utc false), else
//    the movie header's creation time as its UTC fields stand (utc true); the header's "not set"
//    values, 1904-01-01 00:00:00 and 1970-01-01 00:00:00, count as none. The fraction is the
//    time text's own where it has one; libavformat's creation_time of a whole second
//    (".000000", all a QuickTime or MP4 header holds) has none.
std::optional<CapturedMoment> ReadCaptureTime(std::intptr_t file);

}  // namespace tokiren::media
