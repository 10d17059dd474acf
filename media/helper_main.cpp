// tokiren-media-helper: reads capture times for the pool (helper_pool.h), one path at a time,
// on its standard input and output. Started by the window and tokiren-cli, never by hand.
#include <unistd.h>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

// Far above what the libraries need for a photo or a movie header (about 200 MiB mapped, most of
// it shared libraries), far below what would trouble the machine.
constexpr size_t kAddressSpace = size_t{1} << 30;

}  // namespace

int main() {
  tokiren::media::LimitAddressSpace(kAddressSpace);
  tokiren::media::InitializeMetadataLibraries();
  return tokiren::media::ServeCaptureTimes(STDIN_FILENO, tokiren::media::ReadCaptureTime);
}
