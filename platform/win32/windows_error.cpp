// GetLastError to error codes, and errors in the system's words. Win32 only.
#include "platform/win32/windows_error.h"

#include <windows.h>

#include "platform/wide_path.h"

namespace tokiren {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers do not declare.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

ErrorCode TableCodeOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return kSuccess;
    case ERROR_FILE_NOT_FOUND:  // the file is missing, its folder is there
      return kFileNotFound;
    case ERROR_PATH_NOT_FOUND:  // a folder on the way is missing
    case ERROR_DIRECTORY:       // a component of the path is not a folder
    case ERROR_INVALID_DRIVE:   // no such drive
    case ERROR_BAD_NETPATH:     // no such network server
    case ERROR_BAD_NET_NAME:    // no such share on the server
      return kPathNotFound;
    case ERROR_ALREADY_EXISTS:  // the target name is taken (MoveFileExW, CreateDirectoryW)
    case ERROR_FILE_EXISTS:     // the same, as CreateFileW with CREATE_NEW says it
      return kFileAlreadyExists;
    case ERROR_DISK_FULL:         // no room on the disk
    case ERROR_HANDLE_DISK_FULL:  // the same, from a write through a handle
    case kErrorDiskQuotaExceeded:  // no room within the user's quota
      return kDiskFull;
    case ERROR_ACCESS_DENIED:        // no permission, a read-only file, or a folder in the way
    case ERROR_SHARING_VIOLATION:    // another process holds the file open without sharing
    case ERROR_LOCK_VIOLATION:       // another process locked a range of the file
    case ERROR_WRITE_PROTECT:        // a write-protected medium
    case ERROR_INVALID_NAME:         // a character Windows does not allow in a name
    case ERROR_FILENAME_EXCED_RANGE:  // longer than the system accepts
      return kPathFileAccessError;
    default:
      return ErrorCode::Unlisted(static_cast<int>(error));
  }
}

}  // namespace

ErrorCode ErrorCodeFromWindowsError(unsigned long error) {
  return TableCodeOf(error).Because(static_cast<int>(error));
}

ErrorCode LastWindowsError() { return ErrorCodeFromWindowsError(GetLastError()); }

std::string DescribeError(const ErrorCode& code) {
  if (code.system < 0) return std::string(DescribeOwnError(code.system));
  if (code.system == 0) return {};
  constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
  const auto number = static_cast<DWORD>(code.system);
  wchar_t* text = nullptr;
  // English where the system has it, as on POSIX; otherwise the system's own language.
  DWORD length = FormatMessageW(kFlags, nullptr, number, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0) {
    length = FormatMessageW(kFlags, nullptr, number, 0, reinterpret_cast<wchar_t*>(&text), 0,
                            nullptr);
  }
  if (length == 0) return "error " + std::to_string(number);
  std::wstring_view line(text, length);
  while (!line.empty() && (line.back() == L' ' || line.back() == L'.' || line.back() == L'\r' ||
                           line.back() == L'\n')) {
    line.remove_suffix(1);
  }
  std::string described = Narrow(line);
  LocalFree(text);
  return described;
}

}  // namespace tokiren
