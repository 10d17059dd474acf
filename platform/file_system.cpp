// Path helpers shared by every platform.
#include "platform/file_system.h"

namespace tokiren {

std::string_view DescribeOwnError(int system) {
  switch (system) {
    case kSystemNoSafeRename:
      return "this file system can neither rename without replacing nor make links";
    case kSystemNotRegularFile:
      return "it is no longer a regular file";
    case kSystemChangedDuringRun:
      return "it was replaced or changed during the run";
    case kSystemNameRefused:
      return "this file system does not accept the new name (some take ASCII names only)";
    case kSystemNoCaptureReader:
      return "no capture-time reader could be started";
    default:
      return {};
  }
}

std::string_view FolderOf(std::string_view path) {
  const size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view NameOf(std::string_view path) {
  const size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace tokiren
