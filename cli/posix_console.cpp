// Arguments and output on POSIX: argv and the standard streams as they are. Generic POSIX.
#include <cstdio>

#include "cli/console.h"

namespace tokiren {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void Write(Stream stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream == Stream::kOut ? stdout : stderr);
}

}  // namespace tokiren
