// Checks that the log, its lock and their folder are the user's own. Win32 only: owners and
// permissions (DACLs) in place of POSIX's owner and mode bits; reparse points in place of links.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/log_privacy.h"
#include "platform/wide_path.h"
#include "platform/win32/security.h"
#include "platform/win32/windows_error.h"

namespace tokiren {
namespace {

// What others may not be granted on the log: anything that changes it, its name or its
// permissions.
constexpr ACCESS_MASK kLogRefused = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                    FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                    GENERIC_WRITE | GENERIC_ALL;
// On the lock also reading: whoever may open it for reading may open it without sharing and so
// hold it.
constexpr ACCESS_MASK kLockRefused =
    kLogRefused | FILE_READ_DATA | FILE_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
// On the folder: removing or renaming its entries, or the folder itself. Adding entries is allowed,
// as POSIX allows it in a sticky folder: a log or lock someone else made is refused by its owner.
constexpr ACCESS_MASK kFolderRefused =
    FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Opens the entry itself, a reparse point included, without following it. Reading its owner,
// permissions and attributes is no access that sharing rules: it works on a lock held without
// sharing, by this process or another.
HANDLE OpenEntry(const std::string& path, DWORD access, DWORD flags) {
  return CreateFileW(WidenPath(path).c_str(), access | READ_CONTROL | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Whether the user may open the file for reading; a file held open without sharing is readable.
bool MayRead(const std::string& path) {
  const HANDLE file = CreateFileW(WidenPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return true;
}

ErrorCode CheckPrivateFile(const std::string& path, ACCESS_MASK refused) {
  const HANDLE file = OpenEntry(path, 0, 0);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // No log yet, or not even its folder: a run makes them.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kSuccess;
    return ErrorCodeFromWindowsError(error);  // a folder in its place fails as access denied
  }
  BY_HANDLE_FILE_INFORMATION info{};
  ErrorCode result = kSuccess;
  if (!GetFileInformationByHandle(file, &info)) {
    result = LastWindowsError();
  } else if (GetFileType(file) != FILE_TYPE_DISK ||
             (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    result = kPathFileAccessError;
  } else {
    result = CheckOwnedAndGuarded(file, refused, false);
  }
  CloseHandle(file);
  if (result.ok() && !MayRead(path)) result = kPathFileAccessError;
  return result;
}

}  // namespace

ErrorCode CheckLogFolderIsPrivate(const std::string& folder) {
  std::string path = folder;
  // A drive's root keeps its separator ("C:\").
  while (path.size() > 3 && (path.back() == kPathSeparator || path.back() == '/')) path.pop_back();
  const HANDLE dir = OpenEntry(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
  if (dir == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // The folder itself is what is missing: never "file not found".
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kPathNotFound;
    return ErrorCodeFromWindowsError(error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  ErrorCode result = kSuccess;
  if (!GetFileInformationByHandle(dir, &info)) {
    result = LastWindowsError();
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    result = kPathFileAccessError;  // a link or junction is not followed: give the real folder
  } else if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    result = kPathNotFound;
  } else {
    result = CheckOwnedAndGuarded(dir, kFolderRefused, true);
  }
  CloseHandle(dir);
  return result;
}

ErrorCode CheckLogIsPrivate(const std::string& path) { return CheckPrivateFile(path, kLogRefused); }

ErrorCode CheckLockIsPrivate(const std::string& path) {
  return CheckPrivateFile(path, kLockRefused);
}

}  // namespace tokiren
