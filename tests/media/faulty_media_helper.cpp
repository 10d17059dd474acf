// A tokiren-media-helper that misbehaves on purpose, for the pool's tests: on a file whose name
// holds "crash-me" it dies of a signal, on "hang-me" it never answers, on "eat-memory" it asks
// for more memory than its limit allows. Every other file it reads as the real helper does. It
// does not seal itself, so that it can look up the name behind each descriptor it is handed.
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <new>
#include <string>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

constexpr rlim_t kDataBytes = rlim_t{1} << 30;
constexpr size_t kRunawayBytes = size_t{3} << 30;
char* volatile runaway = nullptr;

std::string NameOf(int fd) {
  char name[PATH_MAX];
  const ssize_t length =
      readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof name);
  return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

std::optional<tokiren::CapturedMoment> Read(int fd) {
  const std::string name = NameOf(fd);
  if (name.find("crash-me") != std::string::npos) std::raise(SIGSEGV);
  if (name.find("hang-me") != std::string::npos) {
    for (;;) pause();
  }
  if (name.find("eat-memory") != std::string::npos) {
    // Uncaught std::bad_alloc ends the helper, as in a parser without a handler. Were the limit
    // not in force, the untouched allocation would succeed and the file would get a date.
    // Kept where the compiler cannot see it unused, so the allocation is not left out.
    runaway = new char[kRunawayBytes];
    return tokiren::CapturedMoment{{2000, 1, 1, 0, 0, 0}, false, std::nullopt};
  }
  return tokiren::media::ReadCaptureTime(fd);
}

}  // namespace

int main() {
#ifndef TOKIREN_ADDRESS_SANITIZER
  // The real helper's kind of memory limit; off under AddressSanitizer, as there.
  const rlimit data{kDataBytes, kDataBytes};
  setrlimit(RLIMIT_DATA, &data);
#endif
  tokiren::media::InitializeMetadataLibraries();
  return tokiren::media::ServeCaptureTimes(STDIN_FILENO, Read);
}
