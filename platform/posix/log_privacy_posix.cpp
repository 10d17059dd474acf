// Checks that the log, its lock and their folder are the user's own. Generic POSIX only.
#include "platform/log_privacy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/posix/errno_mapping.h"
#include "platform/posix/file_descriptor.h"

namespace tokiren {
namespace {

constexpr uid_t kRoot = 0;

// Whether an open with O_NOFOLLOW failed on a symbolic link: ELOOP by POSIX, EMLINK on FreeBSD.
bool IsLinkRefused(int err) { return err == ELOOP || err == EMLINK; }

// The checks of a log or a lock: `refusedModes` are the permission bits the file must not have.
ErrorCode CheckPrivateFile(const std::string& path, mode_t refusedModes) {
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is then refused.
  // O_NOCTTY: a terminal device must not become the controlling terminal on the way.
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY |
                                                O_CLOEXEC));
  if (file.get() < 0) {
    const int err = errno;
    switch (err) {
      case ENOENT:  // no log yet, or not even its folder: a run makes them
        return kSuccess;
      case ENXIO:        // a socket, or a device without its driver: not a regular file
      case EWOULDBLOCK:  // someone holds a lease on it
        return kPathFileAccessError;
      default:
        return IsLinkRefused(err) ? kPathFileAccessError
                                  : ErrorCodeFromErrno(err, std::string(FolderOf(path)));
    }
  }
  struct stat st;
  if (fstat(file.get(), &st) != 0) return ErrorCodeFromErrno(errno, std::string(FolderOf(path)));
  if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & refusedModes) != 0) {
    return kPathFileAccessError;
  }
  return kSuccess;
}

}  // namespace

ErrorCode CheckLogFolderIsPrivate(const std::string& folder) {
  // A trailing separator would make the system follow a link in place of the folder despite
  // O_NOFOLLOW; the root folder keeps its one separator.
  std::string path = folder;
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  const FileDescriptor dir(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir.get() < 0) {
    const int err = errno;
    if (IsLinkRefused(err)) return kPathFileAccessError;
    // Linux answers a link with ENOTDIR under O_DIRECTORY. The folder is refused already; lstat
    // only tells a link (refused as unsafe) from a file or a missing folder on the way.
    struct stat link;
    if (err == ENOTDIR && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      return kPathFileAccessError;
    }
    // The folder itself is what is missing: never "file not found".
    return err == ENOENT ? kPathNotFound : ErrorCodeFromErrno(err, path);
  }
  struct stat st;
  if (fstat(dir.get(), &st) != 0) return ErrorCodeFromErrno(errno, path);
  if (st.st_uid != geteuid() && st.st_uid != kRoot) return kPathFileAccessError;
  const bool othersMayWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  if (othersMayWrite && (st.st_mode & S_ISVTX) == 0) return kPathFileAccessError;
  return kSuccess;
}

ErrorCode CheckLogIsPrivate(const std::string& path) {
  return CheckPrivateFile(path, S_IWGRP | S_IWOTH);
}

ErrorCode CheckLockIsPrivate(const std::string& path) {
  return CheckPrivateFile(path, S_IRGRP | S_IROTH | S_IWGRP | S_IWOTH);
}

}  // namespace tokiren
