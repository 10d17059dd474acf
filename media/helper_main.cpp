// tokiren-media-helper: reads capture times for the pool (helper_pool.h), one handed-over file at a
// time, on its standard input and output (helper_protocol.h). Started by the window and
// tokiren-cli, never by hand.
#include <unistd.h>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

int main() {
  tokiren::media::InitializeMetadataLibraries();
  return tokiren::media::ServeCaptureTimes(STDIN_FILENO, tokiren::media::ReadCaptureTime);
}
