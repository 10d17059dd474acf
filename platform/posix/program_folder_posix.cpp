// The program's folders on POSIX. Linux: /proc/self/exe names the running executable.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/posix/errno_mapping.h"
#include "platform/program_folder.h"

namespace tokiren {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
  return std::string(FolderOf(std::string_view(buffer, static_cast<size_t>(length))));
}

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome && dataHome[0] == '/') {  // a relative value is invalid and ignored
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = getpwuid(getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home) return {};
    base = std::string(home) + "/.local/share";
  }
  if (base.back() != kPathSeparator) base += kPathSeparator;
  return base + "tokiren" + kPathSeparator;
}

bool IsProgramFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

bool CanWriteFolder(const std::string& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

ErrorCode MakeFolders(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  for (size_t end = path.find(kPathSeparator, 1); end != std::string::npos;
       end = path.find(kPathSeparator, end + 1)) {
    const std::string part = path.substr(0, end);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return ErrorCodeFromErrno(errno, std::string(FolderOf(part)));
    }
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return ErrorCodeFromErrno(errno, {});
  return S_ISDIR(st.st_mode) ? kSuccess : kPathNotFound;
}

}  // namespace tokiren
