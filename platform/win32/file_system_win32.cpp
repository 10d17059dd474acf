// The file system on Windows, through the wide (W) calls only. Win32 only: every path goes
// through WidenPath, every GetLastError through ErrorCodeFromWindowsError.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/file_system.h"
#include "platform/names.h"
#include "platform/win32/security.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/windows_error.h"

namespace tokiren {
namespace {

// Entries the program never lists nor counts as taken by the existence test.
constexpr DWORD kHiddenAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// The most one WriteFile or ReadFile call is asked to move.
constexpr DWORD kMaxTransfer = 1u << 30;

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A file time as local calendar fields, by the zone rules of that date's year (FileTimeToLocal-
// FileTime would apply today's offset to every date).
LocalTime ToLocalTime(const FILETIME& time) {
  SYSTEMTIME utc{}, local{};
  if (!FileTimeToSystemTime(&time, &utc)) return {};
  TIME_ZONE_INFORMATION zone{};
  if (!GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) ||
      !SystemTimeToTzSpecificLocalTime(&zone, &utc, &local)) {
    local = utc;
  }
  return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                   local.wSecond};
}

HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(WidenPath(path).c_str(), access, share, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Opens or creates one of the program's own files; one it creates is the user's only.
HANDLE OpenOwnFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(WidenPath(path).c_str(), access, share, PrivateSecurity(), disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

ErrorCode WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), kMaxTransfer));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastWindowsError();
    bytes.remove_prefix(written);
  }
  return kSuccess;
}

class Win32TextFileWriter : public TextFileWriter {
 public:
  explicit Win32TextFileWriter(HANDLE file) : file_(file) {}

  ErrorCode Append(std::string_view bytes) override { return WriteAll(file_.get(), bytes); }

  ErrorCode Sync() override {
    return FlushFileBuffers(file_.get()) ? kSuccess : LastWindowsError();
  }

  ErrorCode Truncate(std::uint64_t size) override {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(file_.get())) {
      return LastWindowsError();
    }
    return kSuccess;
  }

  HANDLE handle() const { return file_.get(); }
  void Close() { file_.Close(); }

 private:
  Handle file_;
};

// A temporary file beside its target, renamed over it on Commit. It is opened with
// FILE_SHARE_DELETE, which lets the file be renamed while this handle stays open, and without
// DELETE access of its own, so that readers which do not share deletion can still open it.
class Win32FileReplacement final : public FileReplacement {
 public:
  Win32FileReplacement(HANDLE file, std::string temporary, std::string path)
      : file_(file), temporary_(std::move(temporary)), path_(std::move(path)) {}
  ~Win32FileReplacement() override {
    if (committed_) return;
    file_.Close();
    DeleteFileW(WidenPath(temporary_).c_str());
  }

  ErrorCode Append(std::string_view bytes) override { return file_.Append(bytes); }
  ErrorCode Sync() override { return file_.Sync(); }
  ErrorCode Truncate(std::uint64_t size) override { return file_.Truncate(size); }

  ErrorCode Commit() override {
    if (!FlushFileBuffers(file_.handle())) return LastWindowsError();
    if (!MoveFileExW(WidenPath(temporary_).c_str(), WidenPath(path_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return LastWindowsError();
    }
    committed_ = true;
    return kSuccess;  // a folder cannot be flushed on Windows; WRITE_THROUGH stands for it
  }

 private:
  Win32TextFileWriter file_;
  std::string temporary_;
  std::string path_;
  bool committed_ = false;
};

class Win32FileReader final : public FileReader {
 public:
  Win32FileReader(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  ErrorCode ReadAt(std::uint64_t offset, char* data, std::size_t size) override {
    while (size > 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD got = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, kMaxTransfer));
      if (!ReadFile(file_.get(), data, chunk, &got, &at)) {
        if (GetLastError() != ERROR_HANDLE_EOF) return LastWindowsError();
        got = 0;
      }
      if (got == 0) return kFileNotFound.Because(ERROR_HANDLE_EOF);  // cut short since opened
      data += got;
      size -= got;
      offset += got;
    }
    return kSuccess;
  }

 private:
  Handle file_;
  std::uint64_t size_;
};

class Win32FileLock final : public FileLock {
 public:
  explicit Win32FileLock(HANDLE file) : file_(file) {}

 private:
  Handle file_;  // opened without sharing; closing it, or the process ending, frees the lock
};

// A name for a temporary file beside `path`, new for every call in this process.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".~" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

class Win32FileSystem final : public FileSystem {
 public:
  ErrorCode ListFolder(const std::string& folder, ListMask mask,
                       std::vector<FolderEntry>* entries) override {
    entries->clear();
    std::wstring pattern = WidenPath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // A drive's root folder has no "." or "..": with no entries it has nothing to find.
      return error == ERROR_FILE_NOT_FOUND ? kSuccess : ErrorCodeFromWindowsError(error);
    }
    const bool wantFolders = mask == ListMask::kFilesAndFolders;
    do {
      const std::wstring_view name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const DWORD attributes = data.dwFileAttributes;
      if (attributes & (kHiddenAttributes | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
        continue;
      }
      const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (isFolder && !wantFolders) continue;
      entries->push_back(FolderEntry{Narrow(name), isFolder});
    } while (FindNextFileW(find.get(), &data));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
      entries->clear();
      return ErrorCodeFromWindowsError(error);
    }
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); });
    return kSuccess;
  }

  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(WidenPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | kHiddenAttributes)) == 0;
  }

  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidenPath(path).c_str(), GetFileExInfoStandard, &data)) {
      return LastWindowsError();
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kFileNotFound;
    times->lastWrite = ToLocalTime(data.ftLastWriteTime);
    times->creation = ToLocalTime(data.ftCreationTime);
    return kSuccess;
  }

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING the system refuses any taken name, one differing only in
    // case included, in the same step as the rename.
    if (MoveFileExW(WidenPath(from).c_str(), WidenPath(to).c_str(), 0)) return kSuccess;
    return LastWindowsError();
  }

  bool IsInterruptedRename(const std::string&, const std::string&) override { return false; }

  ErrorCode FinishInterruptedRename(const std::string&, const std::string&) override {
    return kFileAlreadyExists;
  }

  ErrorCode SyncFolder(const std::string&) override { return kSuccess; }

  ErrorCode CreateTextFile(const std::string& path,
                           std::unique_ptr<TextFileWriter>* writer) override {
    const HANDLE file = OpenOwnFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return LastWindowsError();
    *writer = std::make_unique<Win32TextFileWriter>(file);
    return kSuccess;
  }

  ErrorCode ReadTextFile(const std::string& path, std::string* contents) override {
    contents->clear();
    std::unique_ptr<FileReader> reader;
    ErrorCode error = OpenForReading(path, &reader);
    if (!error.ok()) return error;
    std::string bytes(static_cast<size_t>(reader->Size()), '\0');
    error = reader->ReadAt(0, bytes.data(), bytes.size());
    if (error.ok()) *contents = std::move(bytes);
    return error;
  }

  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    const HANDLE file = OpenFile(path, GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return LastWindowsError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
      const ErrorCode error = LastWindowsError();
      CloseHandle(file);
      return error;
    }
    *reader = std::make_unique<Win32FileReader>(file, static_cast<std::uint64_t>(size.QuadPart));
    return kSuccess;
  }

  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    for (;;) {
      std::string temporary = TemporaryNameFor(path);
      const HANDLE file = OpenOwnFile(temporary, GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
      if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) continue;  // left by a process that had this id before
        return ErrorCodeFromWindowsError(error);
      }
      *writer = std::make_unique<Win32FileReplacement>(file, std::move(temporary), path);
      return kSuccess;
    }
  }

  ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) override {
    std::unique_ptr<FileReplacement> file;
    ErrorCode error = CreateReplacement(path, &file);
    if (error.ok()) error = file->Append(contents);
    if (error.ok()) error = file->Commit();
    return error;
  }

  ErrorCode MoveOwnFile(const std::string& from, const std::string& to) override {
    if (MoveFileExW(WidenPath(from).c_str(), WidenPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return kSuccess;
    }
    return LastWindowsError();
  }

  ErrorCode RemoveOwnFile(const std::string& path) override {
    if (DeleteFileW(WidenPath(path).c_str())) return kSuccess;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? kSuccess
               : ErrorCodeFromWindowsError(error);
  }

  bool IsCaseInsensitiveFolder(const std::string&, std::string_view) override { return true; }

  LockAttempt TryLock(const std::string& path) override {
    LockAttempt attempt;
    const HANDLE file = OpenOwnFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_SHARING_VIOLATION) {
        attempt.heldElsewhere = true;
      } else {
        attempt.error = ErrorCodeFromWindowsError(error);
      }
      return attempt;
    }
    attempt.lock = std::make_unique<Win32FileLock>(file);
    return attempt;
  }
};

}  // namespace

ErrorCode ResolveFolder(const std::string& path, std::string* absolute) {
  if (path.empty()) return kPathNotFound;
  const std::wstring wide = WidenPath(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return kPathNotFound.Because(static_cast<int>(GetLastError()));
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return kPathNotFound;
  full.resize(length);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return kPathNotFound;
  }
  std::string result = NarrowPath(full);
  if (result.back() != kPathSeparator) result += kPathSeparator;
  *absolute = std::move(result);
  return kSuccess;
}

FileSystem& SystemFileSystem() {
  static Win32FileSystem system;
  return system;
}

}  // namespace tokiren
