// --taken reads through the helper pool of the media library, its helper beside tokiren-cli.
#include "cli/capture_times.h"

#include "media/helper_pool.h"

namespace tokiren {

std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader() {
  return std::make_unique<media::HelperPool>(
      media::HelperPoolOptions{.helperPath = media::HelperBesideProgram()});
}

}  // namespace tokiren
