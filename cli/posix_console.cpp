// Arguments and output on POSIX: argv and the standard streams as they are. Generic POSIX.
#include <unistd.h>

#include <cstdio>

#include "cli/console.h"

namespace tokiren {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void Write(Stream stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream == Stream::kOut ? stdout : stderr);
}

bool IsTerminal(Stream stream) {
  return isatty(stream == Stream::kOut ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

}  // namespace tokiren
