// A tokiren-media-helper that misbehaves on purpose, for the pool's tests: on a file whose name
// holds "crash-me" it dies of a signal, on "hang-me" it never answers, on "eat-memory" it asks
// for more memory than its limit allows. Every other file it reads as the real helper does.
#include <unistd.h>

#include <csignal>
#include <new>
#include <string>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

constexpr size_t kAddressSpace = size_t{1} << 30;
constexpr size_t kRunawayBytes = size_t{3} << 30;
char* volatile runaway = nullptr;

std::optional<tokiren::LocalTime> Read(const std::string& path) {
  if (path.find("crash-me") != std::string::npos) std::raise(SIGSEGV);
  if (path.find("hang-me") != std::string::npos) {
    for (;;) pause();
  }
  if (path.find("eat-memory") != std::string::npos) {
    // Uncaught std::bad_alloc ends the helper, as in a parser without a handler. Were the limit
    // not in force, the untouched allocation would succeed and the file would get a date.
    // Kept where the compiler cannot see it unused, so the allocation is not left out.
    runaway = new char[kRunawayBytes];
    return tokiren::LocalTime{2000, 1, 1, 0, 0, 0};
  }
  return tokiren::media::ReadCaptureTime(path);
}

}  // namespace

int main() {
  tokiren::media::LimitAddressSpace(kAddressSpace);
  tokiren::media::InitializeMetadataLibraries();
  return tokiren::media::ServeCaptureTimes(STDIN_FILENO, Read);
}
