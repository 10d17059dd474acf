// Systems without the media library's readers: no capture times.
#include "media/capture_times.h"

namespace tokiren {

bool CanReadCaptureTimes() { return false; }

std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader(int) { return nullptr; }

}  // namespace tokiren
