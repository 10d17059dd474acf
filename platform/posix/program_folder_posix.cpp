// The program's folder on POSIX. Linux: /proc/self/exe names the running executable.
#include <unistd.h>

#include <climits>

#include "platform/file_system.h"
#include "platform/program_folder.h"

namespace tokiren {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
  return std::string(FolderOf(std::string_view(buffer, static_cast<size_t>(length))));
}

}  // namespace tokiren
