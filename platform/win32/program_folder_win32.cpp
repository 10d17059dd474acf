// The program's folders on Windows. Win32 only.
#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/program_folder.h"
#include "platform/wide_path.h"
#include "platform/win32/security.h"
#include "platform/win32/windows_error.h"

namespace tokiren {
namespace {

// What Windows runs by its name's ending alone.
constexpr std::string_view kProgramEndings[] = {".exe", ".com", ".bat", ".cmd"};

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The length of the root that begins `path`: "C:\" or "\\server\share\".
size_t RootLength(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == kPathSeparator) return 3;
  if (path.starts_with("\\\\")) {
    const size_t server = path.find(kPathSeparator, 2);
    if (server == std::string::npos) return path.size();
    const size_t share = path.find(kPathSeparator, server + 1);
    return share == std::string::npos ? path.size() : share + 1;
  }
  return 0;
}

}  // namespace

std::string ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::string(FolderOf(NarrowPath(buffer)));
    }
    buffer.resize(buffer.size() * 2);  // cut short: try with more room
  }
}

std::string UserDataFolder() {
  const DWORD needed = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), needed);
  if (length == 0 || length >= needed) return {};
  value.resize(length);
  std::string base = NarrowPath(value);
  if (base.back() != kPathSeparator) base += kPathSeparator;
  return base + "Tokiren" + kPathSeparator;
}

bool IsProgramFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidenPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  std::string name(NameOf(path));
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return std::any_of(std::begin(kProgramEndings), std::end(kProgramEndings),
                     [&](std::string_view ending) { return name.ends_with(ending); });
}

bool CanWriteFolder(const std::string& folder) {
  if (folder.empty()) return false;
  // Access rules on Windows are too rich to read off; making a file tells.
  std::string probe = folder;
  if (probe.back() != kPathSeparator) probe += kPathSeparator;
  probe += "tokiren-write-test-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  const HANDLE file = CreateFileW(WidenPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

ErrorCode MakeFolders(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  for (size_t end = path.find(kPathSeparator, RootLength(path)); end != std::string::npos;
       end = path.find(kPathSeparator, end + 1)) {
    const std::wstring prefix = WidenPath(path.substr(0, end));
    if (IsFolder(prefix) || CreateDirectoryW(prefix.c_str(), PrivateSecurity())) continue;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return LastWindowsError();
  }
  return IsFolder(WidenPath(path)) ? kSuccess : kPathNotFound;
}

}  // namespace tokiren
