// The capture-time reader of this system for --taken.
#pragma once

#include <memory>

#include "engine/capture_time.h"

namespace tokiren {

// A reader of photo and video metadata for one run; null where the system has none (Windows),
// and --taken is then refused.
std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader();

}  // namespace tokiren
