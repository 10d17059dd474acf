// Real photos and videos for the tests, made with Debian's tools: ImageMagick's convert, exiv2,
// heif-enc (libheif-examples), ffmpeg and exiftool. Each returns false when its tool fails.
#pragma once

#include <cstdint>
#include <string>

namespace tokiren::testing {

// A small JPEG without metadata.
bool MakeJpeg(const std::string& path);
// A small TIFF without metadata.
bool MakeTiff(const std::string& path);
// Sets an EXIF tag (e.g. "Exif.Photo.DateTimeOriginal") to an ASCII value, any text at all.
bool SetExifText(const std::string& path, const std::string& key, const std::string& value);
// A HEIC encoded by libheif from `jpeg`, carrying the JPEG's EXIF.
bool MakeHeic(const std::string& jpeg, const std::string& path);
// A one-second movie (MP4 or MOV by the name's extension); `creationTime` is ffmpeg's
// creation_time, "2016-08-30T16:48:42Z" (UTC), or "" for none.
bool MakeMovie(const std::string& path, const std::string& creationTime);
// A movie as MakeMovie whose creation_time is also kept as text among its metadata keys
// (ffmpeg's use_metadata_tags), fraction of a second and all; the header holds whole seconds.
bool MakeMovieWithTimeText(const std::string& path, const std::string& creationTime);
// Writes `secondsSince1904` as the creation time of the movie header (a version 0 "mvhd" box),
// as tools other than ffmpeg may leave it.
bool SetMovieHeaderTime(const std::string& path, std::uint32_t secondsSince1904);
// Apple's com.apple.quicktime.creationdate through exiftool, e.g. "2016:08:30 09:10:11+09:00".
bool SetAppleCreationDate(const std::string& path, const std::string& value);
// The first `bytes` bytes of `from`, as a file cut short in its copying.
bool CopyTruncated(const std::string& from, const std::string& to, long bytes);

}  // namespace tokiren::testing
