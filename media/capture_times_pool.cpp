// Capture times through the helper pool, its helper beside the running executable.
#include "media/capture_times.h"

#include "media/helper_pool.h"

namespace tokiren {

bool CanReadCaptureTimes() { return true; }

std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader(int helpers) {
  media::HelperPoolOptions options{.helperPath = media::HelperBesideProgram()};
  if (helpers > 0) options.helpers = helpers;
  return std::make_unique<media::HelperPool>(std::move(options));
}

}  // namespace tokiren
