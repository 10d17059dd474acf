// errno to error codes, and errno in the system's words. Generic POSIX; strerror_r is the GNU one.
#include "platform/posix/errno_mapping.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tokiren {
namespace {

bool FolderExists(const std::string& folder) {
  struct stat st;
  return !folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ErrorCode TableCodeOf(int err, const std::string& folder) {
  switch (err) {
    case 0:
      return kSuccess;
    case ENOENT:  // the file is missing, or a folder on the way to it
      return FolderExists(folder) ? kFileNotFound : kPathNotFound;
    case ENOTDIR:  // a component of the path is not a folder (or a link refused as one)
    case ESTALE:   // the folder is no longer the one that was listed
      return kPathNotFound;
    case EEXIST:  // the target name is taken
      return kFileAlreadyExists;
    case ENOSPC:  // no room on the device
    case EDQUOT:  // no room within the user's quota
      return kDiskFull;
    case EACCES:        // no permission on a folder on the way
    case EPERM:         // the operation is not allowed (sticky folder, immutable file)
    case EROFS:         // read-only file system
    case EBUSY:         // in use by the system (a mount point)
    case ETXTBSY:       // a running program's file
    case ENAMETOOLONG:  // longer than the system accepts
    case ELOOP:         // a symbolic link on the way, refused
    case EWOULDBLOCK:   // another process holds a lease on the file; opening it would wait
      return kPathFileAccessError;
    default:
      return ErrorCode::Unlisted(err);
  }
}

}  // namespace

ErrorCode ErrorCodeFromErrno(int err, const std::string& folder) {
  return TableCodeOf(err, folder).Because(err);
}

std::string DescribeError(const ErrorCode& code) {
  if (code.system < 0) return std::string(DescribeOwnError(code.system));
  if (code.system == 0) return {};
  char buffer[256];
  return strerror_r(code.system, buffer, sizeof buffer);  // GNU: the text, not always in buffer
}

}  // namespace tokiren
