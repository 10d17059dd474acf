// The capture-time reader of this system, for the front ends: the helper pool where the media
// library is built (Linux; Windows with the libraries of scripts/build-windows-libs.sh), nothing
// elsewhere. CMake picks the implementation.
#pragma once

#include <memory>

#include "engine/capture_time.h"

namespace tokiren {

// Whether this system reads capture times at all; without, the window offers no "Taken" and
// tokiren-cli refuses --taken.
bool CanReadCaptureTimes();

// A reader of photo and video metadata for one run, its helpers beside the running executable,
// `helpers` at once (0: the number the pool finds best); null where CanReadCaptureTimes()
// is false. Starts no process before the run starts it.
std::unique_ptr<CaptureTimeReader> MakeCaptureTimeReader(int helpers = 0);

}  // namespace tokiren
