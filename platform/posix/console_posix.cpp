// The console on POSIX: argv and the standard streams as they are. Generic POSIX only.
#include "platform/console.h"

#include <unistd.h>

namespace tokiren {

std::vector<std::string> StartConsole(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void WriteText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

bool IsTerminal(std::FILE* stream) {
  const int fd = fileno(stream);
  return fd >= 0 && isatty(fd) == 1;
}

}  // namespace tokiren
