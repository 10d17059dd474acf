// tokiren-media-helper: reads capture times for the pool (helper_pool.h), one handed-over file at a
// time, on its standard input and output (helper_protocol.h). Started by the window and
// tokiren-cli as `tokiren-media-helper <pool pid>`, never by hand. It seals itself (helper_seal.h)
// before it takes the first file.
//
// `tokiren-media-helper --try-open PATH`, for the tests: seals itself the same way (without the
// parent check), then tries to open PATH for reading, to make a TCP socket and to start a
// program. Exits 0 when all three were refused, 3 when any was not.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/helper_protocol.h"
#include "media/helper_seal.h"
#include "media/metadata_reader.h"

extern char** environ;

namespace {

constexpr char kTryOpen[] = "--try-open";
constexpr int kNotRefused = 3;

int TryOpen(const char* path) {
  tokiren::media::SealHelper(nullptr);
  const int file = open(path, O_RDONLY | O_CLOEXEC);
  const int network = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // An empty program name: an allowed execve fails with ENOENT, a refused one with EPERM.
  char* const argv[] = {nullptr};
  const bool execRefused = execve("", argv, environ) != 0 && errno == EPERM;
  return file < 0 && network < 0 && execRefused ? 0 : kNotRefused;
}

}  // namespace

int main(int argc, char** argv) {
  tokiren::media::InitializeMetadataLibraries();
  if (argc == 3 && std::strcmp(argv[1], kTryOpen) == 0) return TryOpen(argv[2]);
  tokiren::media::SealHelper(argc > 1 ? argv[1] : nullptr);
  return tokiren::media::ServeCaptureTimes(STDIN_FILENO, tokiren::media::ReadCaptureTime);
}
