// The moment a photo or video was taken, as the file's own metadata tells it. The engine reads no
// metadata itself: a front end hands it a reader.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tokiren {

class CaptureTimeReader {
 public:
  virtual ~CaptureTimeReader() = default;

  // The files whose capture time will be asked for, in the order they will be asked for, before
  // the first is asked: a reader may read ahead of the asking, in parallel, as long as every
  // answer is the one a reading in order would give.
  virtual void Expect(const std::vector<std::string>& paths) { (void)paths; }

  // The capture time of `path` as local calendar fields; nothing when the file holds none that is
  // a real moment, or cannot be read. Never throws.
  virtual std::optional<LocalTime> CaptureTime(const std::string& path) = 0;
};

}  // namespace tokiren
