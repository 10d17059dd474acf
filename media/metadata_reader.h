// Reading the capture time from a file's own metadata, with the libraries that read each kind of
// file: exiv2 (EXIF of JPEG, TIFF, RAW and CR3), libheif (the Exif block of HEIF and AVIF files,
// decoded by exiv2) and libavformat (the QuickTime and MP4 movie headers). Runs inside
// tokiren-media-helper only: a damaged or crafted file may crash or hang these libraries.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"

namespace tokiren::media {

// Quiets the libraries' own warnings on stderr. Once, before the first ReadCaptureTime.
void InitializeMetadataLibraries();

// The moment `path` was taken, as local calendar fields; nothing when it holds none that is a
// real moment, or cannot be read. Never throws.
//  - Stills: EXIF DateTimeOriginal, else DateTimeDigitized, as the camera's wall clock stands;
//    never DateTime, which every edit changes.
//  - Movies: Apple's com.apple.quicktime.creationdate as its wall clock stands, else the movie
//    header's creation time (UTC) in local time by the zone rules of that date (TZ).
std::optional<LocalTime> ReadCaptureTime(const std::string& path);

}  // namespace tokiren::media
