// Capture times through the helper pool, its helper beside the running executable.
#include "media/capture_times.h"

#include "media/helper_pool.h"

namespace tokiren {

bool CanReadCaptureTimes() { return true; }

std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader() {
  return std::make_unique<media::HelperPool>(
      media::HelperPoolOptions{.helperPath = media::HelperBesideProgram()});
}

}  // namespace tokiren
