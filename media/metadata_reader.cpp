// The capture-time readers over exiv2, libheif and libavformat, all reading from memory: the
// file's bytes are mapped (or read) once from the descriptor handed over. Every library exception
// stops here: a file the libraries cannot read simply has no capture time.
#include "media/metadata_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "media/capture_time_text.h"
#include "media/file_bytes.h"

namespace tokiren::media {
namespace {

// The ISO base media "ftyp" box at the start of a file: its major brand tells a still (HEIF,
// AVIF, Canon's CR3) from a movie, which exiv2 would open alike as a generic BMFF image.
constexpr std::string_view kFtyp = "ftyp";
constexpr std::string_view kCanonRawBrand = "crx ";
// The buffer through which libavformat reads the bytes in memory.
constexpr int kMovieBufferBytes = 64 * 1024;

// The EXIF tags read, in exiv2's names. DateTimeOriginal sits in the Exif IFD; TIFF/EP files may
// carry it in IFD0. The sub-second times sit in the Exif IFD only.
constexpr const char* kOriginalKeys[] = {"Exif.Photo.DateTimeOriginal",
                                         "Exif.Image.DateTimeOriginal"};
constexpr char kDigitizedKey[] = "Exif.Photo.DateTimeDigitized";
constexpr char kSubSecOriginalKey[] = "Exif.Photo.SubSecTimeOriginal";
constexpr char kSubSecDigitizedKey[] = "Exif.Photo.SubSecTimeDigitized";

std::optional<std::string> ExifText(const Exiv2::ExifData& exif, const char* key) {
  const auto found = exif.findKey(Exiv2::ExifKey(key));
  if (found == exif.end()) return std::nullopt;
  return found->toString();
}

std::optional<LocalTime> ExifTime(const Exiv2::ExifData& exif, const char* key) {
  const auto text = ExifText(exif, key);
  return text ? ParseExifDateTime(*text) : std::nullopt;
}

std::optional<std::uint32_t> ExifFraction(const Exiv2::ExifData& exif, const char* key) {
  const auto text = ExifText(exif, key);
  return text ? ParseSubSecTime(*text) : std::nullopt;
}

// Each sub-second time refines the second of its own date tag: SubSecTimeOriginal that of
// DateTimeOriginal, SubSecTimeDigitized that of DateTimeDigitized. A camera writes both pairs
// alike, so an original time without a fraction of its own takes the digitized one's, but only
// when DateTimeDigitized names the very same second: where the two differ (a scan, whose
// digitized time is the scanning), the digitized fraction says nothing of the original moment.
std::optional<CapturedMoment> FromExif(const Exiv2::ExifData& exif) {
  const std::optional<LocalTime> digitized = ExifTime(exif, kDigitizedKey);
  for (const char* key : kOriginalKeys) {
    const std::optional<LocalTime> original = ExifTime(exif, key);
    if (!original) continue;
    std::optional<std::uint32_t> fraction = ExifFraction(exif, kSubSecOriginalKey);
    if (!fraction && digitized == original) fraction = ExifFraction(exif, kSubSecDigitizedKey);
    return CapturedMoment{*original, false, fraction};
  }
  if (!digitized) return std::nullopt;
  return CapturedMoment{*digitized, false, ExifFraction(exif, kSubSecDigitizedKey)};
}

// exiv2 reads the bytes where they lie (its MemIo copies only on a write, which never comes).
std::optional<CapturedMoment> ReadWithExiv2(const FileBytes& bytes) {
  const auto image =  // a std::auto_ptr in exiv2 0.27
      Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
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
std::optional<CapturedMoment> ReadWithLibheif(const FileBytes& bytes) {
  std::unique_ptr<heif_context, HeifDeleter> context(heif_context_alloc());
  if (!context || heif_context_read_from_memory_without_copy(context.get(), bytes.data(),
                                                             bytes.size(), nullptr)
                          .code != heif_error_Ok) {
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

// libavformat's view of the bytes: a read position over memory.
struct MemoryStream {
  const FileBytes* bytes;
  size_t position = 0;
};

int ReadStream(void* opaque, std::uint8_t* buffer, int capacity) {
  auto* stream = static_cast<MemoryStream*>(opaque);
  const size_t left = stream->bytes->size() - stream->position;
  if (left == 0) return AVERROR_EOF;
  const size_t count = std::min(left, static_cast<size_t>(capacity));
  std::memcpy(buffer, stream->bytes->data() + stream->position, count);
  stream->position += count;
  return static_cast<int>(count);
}

std::int64_t SeekStream(void* opaque, std::int64_t offset, int whence) {
  auto* stream = static_cast<MemoryStream*>(opaque);
  const auto size = static_cast<std::int64_t>(stream->bytes->size());
  std::int64_t target = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return size;
    case SEEK_SET:
      target = offset;
      break;
    case SEEK_CUR:
      target = static_cast<std::int64_t>(stream->position) + offset;
      break;
    case SEEK_END:
      target = size + offset;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (target < 0 || target > size) return AVERROR(EINVAL);
  stream->position = static_cast<size_t>(target);
  return target;
}

struct AvioFreer {
  void operator()(AVIOContext* avio) const {
    av_freep(&avio->buffer);  // libavformat may have replaced the buffer it was given
    avio_context_free(&avio);
  }
};

struct FormatCloser {
  void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

// The movie header's "not set": the zero of the QuickTime epoch, and of Unix time written by
// tools that start from it.
bool IsUnsetHeaderTime(const LocalTime& t) {
  return (t.year == 1904 || t.year == 1970) && t.month == 1 && t.day == 1 && t.hour == 0 &&
         t.minute == 0 && t.second == 0;
}

// The fraction of libavformat's creation_time. It writes every time with six fraction digits,
// the whole seconds of a QuickTime or MP4 movie header as ".000000": a zero fraction there is
// none told. A fraction of the file's own (a Matroska date, an MP4's creation_time text key)
// that happens to be zero is lost with it, and that file sorts among those without one.
std::optional<std::uint32_t> HeaderFraction(std::string_view text) {
  const std::optional<std::uint32_t> fraction = ParseIsoFraction(text);
  if (fraction == 0u) return std::nullopt;
  return fraction;
}

// The movie header only: avformat_open_input reads the boxes and seeks over the media data;
// no frame is read or decoded.
std::optional<CapturedMoment> ReadWithLibavformat(const FileBytes& bytes) {
  MemoryStream stream{&bytes};
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kMovieBufferBytes));
  if (buffer == nullptr) return std::nullopt;
  std::unique_ptr<AVIOContext, AvioFreer> avio(avio_alloc_context(
      buffer, kMovieBufferBytes, 0, &stream, ReadStream, nullptr, SeekStream));
  if (!avio) {
    av_free(buffer);
    return std::nullopt;
  }
  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return std::nullopt;
  raw->pb = avio.get();
  // On failure avformat_open_input frees the context, never the stream given to it.
  if (avformat_open_input(&raw, nullptr, nullptr, nullptr) < 0) return std::nullopt;
  std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
  if (const AVDictionaryEntry* apple =
          av_dict_get(format->metadata, "com.apple.quicktime.creationdate", nullptr, 0)) {
    if (const auto time = ParseIsoDateTime(apple->value)) {
      return CapturedMoment{*time, false, ParseIsoFraction(apple->value)};
    }
  }
  if (const AVDictionaryEntry* header =
          av_dict_get(format->metadata, "creation_time", nullptr, 0)) {
    const auto utc = ParseIsoDateTime(header->value);
    if (utc && !IsUnsetHeaderTime(*utc)) {
      return CapturedMoment{*utc, true, HeaderFraction(header->value)};
    }
  }
  return std::nullopt;
}

std::optional<CapturedMoment> Read(const FileBytes& bytes) {
  const std::string_view head = bytes.Head();
  if (head.size() >= 12 && head.substr(4, 4) == kFtyp) {
    const heif_filetype_result heif =
        heif_check_filetype(bytes.data(), static_cast<int>(head.size()));
    if (heif == heif_filetype_yes_supported || heif == heif_filetype_yes_unsupported) {
      if (const auto moment = ReadWithLibheif(bytes)) return moment;
      return ReadWithExiv2(bytes);  // the Exif of a HEIF that libheif does not tie to its image
    }
    if (head.substr(8, 4) == kCanonRawBrand) return ReadWithExiv2(bytes);
    return ReadWithLibavformat(bytes);
  }
  if (Exiv2::ImageFactory::getType(bytes.data(), static_cast<long>(head.size())) !=
      Exiv2::ImageType::none) {
    return ReadWithExiv2(bytes);
  }
  return ReadWithLibavformat(bytes);  // movies without an ftyp box, MPEG transport streams
}

}  // namespace

void InitializeMetadataLibraries() {
  heif_init(nullptr);
  Exiv2::XmpParser::initialize();
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  Exiv2::enableBMFF(true);
  av_log_set_level(AV_LOG_QUIET);
}

std::optional<CapturedMoment> ReadCaptureTime(std::intptr_t file) {
  try {
    const FileBytes bytes(file);
    if (bytes.size() == 0) return std::nullopt;
    return Read(bytes);
  } catch (...) {  // exiv2 throws Exiv2::AnyError and std::bad_alloc on damaged files
    return std::nullopt;
  }
}

}  // namespace tokiren::media
