// Terminal detection. Generic POSIX only.
#include "platform/terminal.h"

#include <unistd.h>

namespace tokiren {

bool IsTerminal(std::FILE* stream) {
  const int fd = fileno(stream);
  return fd >= 0 && isatty(fd) == 1;
}

}  // namespace tokiren
