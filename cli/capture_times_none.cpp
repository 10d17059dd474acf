// Systems without the media library: no --taken.
#include "cli/capture_times.h"

namespace tokiren {

std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader() { return nullptr; }

}  // namespace tokiren
