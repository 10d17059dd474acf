// The moment a photo or video was taken, as the file's own metadata tells it. The engine reads no
// metadata itself: a front end hands it a reader, and the engine hands the reader the files it has
// opened (never a path), so what is read is the very file the run listed and will rename.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/error_code.h"
#include "platform/file_system.h"

namespace tokiren {

// What a file's metadata says of the moment it was taken.
struct CapturedMoment {
  LocalTime time;
  // The moment in UTC (a movie header's creation time): the engine turns it into local time by
  // the zone rules of that date. Otherwise the camera's wall clock as it stood, taken as it is.
  bool utc = false;
  // Billionths of a second past `time`, where the file tells them (EXIF's sub-second times, a
  // movie time's fraction): they order a burst shot within one second.
  std::optional<std::uint32_t> nanosecond;
  friend bool operator==(const CapturedMoment&, const CapturedMoment&) = default;
};

class CaptureTimeReader {
 public:
  virtual ~CaptureTimeReader() = default;

  // Gets ready to read, before the run renames anything. Fails when no reading can be done at all
  // (POSIX: not one helper process could be started), `detail` then says why in the system's
  // words: a run that asked for capture times must not quietly fall back to file times.
  virtual ErrorCode Start(std::string* detail) = 0;

  // How many files may be handed over and not yet taken back: the files stay open meanwhile.
  virtual std::size_t ReadAhead() const = 0;

  // Hands over a file opened for reading, as ticket `ticket`: tickets count up from 0, one per
  // file, in the order their answers will be taken. The reader may read it at once, in parallel
  // with others; it closes the file when done.
  virtual void Submit(std::uint64_t ticket, std::unique_ptr<OpenFile> file) = 0;

  // The answer for `ticket`, waiting for it; tickets are taken in order, each once. `moment` is
  // nothing when the file holds no capture time that is a real moment, or when reading it failed
  // (a damaged or crafted file that crashed or stalled its reader costs that file its capture
  // time, never the run). An error only when the file could not be read for want of any reader:
  // the file is then left alone.
  virtual ErrorCode Take(std::uint64_t ticket, std::optional<CapturedMoment>* moment) = 0;
};

}  // namespace tokiren
