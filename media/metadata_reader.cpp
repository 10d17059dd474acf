// The capture-time readers over exiv2, libheif and libavformat. Every library exception stops
// here: a file the libraries cannot read simply has no capture time.
#include "media/metadata_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include "media/capture_time_text.h"

namespace tokiren::media {
namespace {

// The ISO base media "ftyp" box at the start of a file: its major brand tells a still (HEIF,
// AVIF, Canon's CR3) from a movie, which exiv2 would open alike as a generic BMFF image.
// exiv2 tells every still format it knows from this many first bytes.
constexpr size_t kFileHeadBytes = 1024;
constexpr std::string_view kFtyp = "ftyp";
constexpr std::string_view kCanonRawBrand = "crx ";

std::string FileHead(const std::string& path) {
  std::string head(kFileHeadBytes, '\0');
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  const ssize_t got = pread(fd, head.data(), head.size(), 0);
  close(fd);
  head.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return head;
}

std::optional<LocalTime> FromExif(const Exiv2::ExifData& exif) {
  // DateTimeOriginal sits in the Exif IFD; TIFF/EP files may carry it in IFD0.
  static const char* const kKeys[] = {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTimeOriginal",
                                      "Exif.Photo.DateTimeDigitized"};
  for (const char* key : kKeys) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end()) continue;
    if (const auto time = ParseExifDateTime(found->toString())) return time;
  }
  return std::nullopt;
}

std::optional<LocalTime> ReadWithExiv2(const std::string& path) {
  const auto image = Exiv2::ImageFactory::open(path);  // a std::auto_ptr in exiv2 0.27
  if (image.get() == nullptr) return std::nullopt;
  image->readMetadata();
  return FromExif(image->exifData());
}

struct HeifDeleter {
  void operator()(heif_context* context) const { heif_context_free(context); }
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

// The Exif block of the primary image, through libheif: exiv2 0.27 finds none in the files
// libheif itself writes. The block starts with the 4-byte big-endian offset of the TIFF header.
std::optional<LocalTime> ReadWithLibheif(const std::string& path) {
  std::unique_ptr<heif_context, HeifDeleter> context(heif_context_alloc());
  if (!context || heif_context_read_from_file(context.get(), path.c_str(), nullptr).code !=
                      heif_error_Ok) {
    return std::nullopt;
  }
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) {
    return std::nullopt;
  }
  std::unique_ptr<heif_image_handle, HeifDeleter> handle(rawHandle);
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &id, 1) != 1) {
    return std::nullopt;
  }
  const size_t size = heif_image_handle_get_metadata_size(handle.get(), id);
  constexpr size_t kOffsetBytes = 4;
  if (size <= kOffsetBytes) return std::nullopt;
  std::vector<std::uint8_t> block(size);
  if (heif_image_handle_get_metadata(handle.get(), id, block.data()).code != heif_error_Ok) {
    return std::nullopt;
  }
  const std::uint32_t offset = (std::uint32_t{block[0]} << 24) | (std::uint32_t{block[1]} << 16) |
                               (std::uint32_t{block[2]} << 8) | std::uint32_t{block[3]};
  if (offset >= size - kOffsetBytes) return std::nullopt;
  const std::uint8_t* tiff = block.data() + kOffsetBytes + offset;
  Exiv2::ExifData exif;
  Exiv2::ExifParser::decode(exif, tiff, static_cast<std::uint32_t>(size - kOffsetBytes - offset));
  return FromExif(exif);
}

struct FormatCloser {
  void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

// The movie header only: avformat_open_input reads the boxes and seeks over the media data;
// no frame is read or decoded.
std::optional<LocalTime> ReadWithLibavformat(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
  if (const AVDictionaryEntry* apple =
          av_dict_get(format->metadata, "com.apple.quicktime.creationdate", nullptr, 0)) {
    if (const auto time = ParseIsoDateTime(apple->value)) return time;
  }
  if (const AVDictionaryEntry* header =
          av_dict_get(format->metadata, "creation_time", nullptr, 0)) {
    if (const auto utc = ParseIsoDateTime(header->value)) return UtcToLocal(*utc);
  }
  return std::nullopt;
}

std::optional<LocalTime> Read(const std::string& path) {
  const std::string head = FileHead(path);
  if (head.size() >= 12 && std::string_view(head).substr(4, 4) == kFtyp) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(head.data());
    const heif_filetype_result heif = heif_check_filetype(bytes, static_cast<int>(head.size()));
    if (heif == heif_filetype_yes_supported || heif == heif_filetype_yes_unsupported) {
      if (const auto time = ReadWithLibheif(path)) return time;
      return ReadWithExiv2(path);  // the Exif of a HEIF that libheif does not tie to its image
    }
    if (std::string_view(head).substr(8, 4) == kCanonRawBrand) return ReadWithExiv2(path);
    return ReadWithLibavformat(path);
  }
  if (Exiv2::ImageFactory::getType(reinterpret_cast<const Exiv2::byte*>(head.data()),
                                   static_cast<long>(head.size())) != Exiv2::ImageType::none) {
    return ReadWithExiv2(path);
  }
  return ReadWithLibavformat(path);  // movies without an ftyp box, MPEG transport streams
}

}  // namespace

void InitializeMetadataLibraries() {
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  Exiv2::enableBMFF(true);
  av_log_set_level(AV_LOG_QUIET);
}

std::optional<LocalTime> ReadCaptureTime(const std::string& path) {
  try {
    return Read(path);
  } catch (...) {  // exiv2 throws Exiv2::AnyError and std::bad_alloc on damaged files
    return std::nullopt;
  }
}

}  // namespace tokiren::media
