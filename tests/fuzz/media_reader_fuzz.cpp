// libFuzzer target: a file of any bytes, read for its capture time by the readers the helper runs
// (exiv2, libheif, libavformat). Whatever the bytes, the reader returns, without throwing, either
// nothing or a real moment, with a fraction of a second below a whole one where it has one. A crash
// inside a library shows here first; in a run, the helper pool turns it into one file without a
// capture time.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

// One in-memory file for every input, handed to the readers as its descriptor, as to the helper.
int File() {
  static const int fd = [] {
    tokiren::media::InitializeMetadataLibraries();
    return memfd_create("media_reader_fuzz", MFD_CLOEXEC);
  }();
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = File();
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  for (std::size_t done = 0; done < size;) {
    const ssize_t written = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (written <= 0) std::abort();
    done += static_cast<std::size_t>(written);
  }
  if (const auto moment = tokiren::media::ReadCaptureTime(fd)) {
    // Only a real moment comes back, and a fraction the answer can carry: it survives the trip
    // through the helper's answer whole.
    if (tokiren::media::FromAnswerText(tokiren::media::AnswerText(moment)) != moment) std::abort();
  }
  return 0;
}
