// The file system on Windows, through the wide (W) calls only. Win32 only: every path goes
// through WidenPath, every GetLastError through ErrorCodeFromWindowsError.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_system.h"
#include "platform/names.h"
#include "platform/wide_path.h"
#include "platform/windows_handle.h"
#include "platform/win32/security.h"
#include "platform/win32/windows_error.h"

namespace tokiren {
namespace {

// Entries the program never lists nor counts as taken by the existence test.
constexpr DWORD kHiddenAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// The most one WriteFile or ReadFile call is asked to move.
constexpr DWORD kMaxTransfer = 1u << 30;
// ReadTextFile reads no more: a settings file is a few lines.
constexpr size_t kMaxTextFileBytes = size_t{1} << 20;

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

HANDLE OpenByPath(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
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
  WindowsHandle file_;
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
  WindowsHandle file_;
  std::uint64_t size_;
};

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileId{info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

class Win32OpenFile final : public OpenFile {
 public:
  Win32OpenFile(WindowsHandle file, FileTimes times) : file_(std::move(file)), times_(times) {}
  const FileTimes& Times() const override { return times_; }
  std::intptr_t NativeHandle() const override {
    return reinterpret_cast<std::intptr_t>(file_.get());
  }

 private:
  WindowsHandle file_;
  FileTimes times_;
};

class Win32FileLock final : public FileLock {
 public:
  Win32FileLock(HANDLE file, std::function<void()> released)
      : file_(file), released_(std::move(released)) {}
  ~Win32FileLock() override { released_(); }

 private:
  WindowsHandle file_;  // opened without sharing; closing it, or the process ending, frees the lock
  std::function<void()> released_;
};

// Which folder a handle names: its volume and its file index.
struct FolderId {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  friend bool operator==(const FolderId&, const FolderId&) = default;
};

// `path` from its volume's root on, without a trailing separator: "C:\a\b\" and "\\?\C:\a\b" give
// "\a\b"; "\\server\share\a" and "\\?\UNC\server\share\a" give "\a".
std::wstring_view BelowVolume(std::wstring_view path) {
  bool network = false;
  if (path.starts_with(LR"(\\?\UNC\)")) {
    path.remove_prefix(8);
    network = true;
  } else if (path.starts_with(LR"(\\?\)")) {
    path.remove_prefix(4);
  } else if (path.starts_with(LR"(\\)")) {
    path.remove_prefix(2);
    network = true;
  }
  if (network) {
    const size_t server = path.find(L'\\');
    const size_t share = server == path.npos ? path.npos : path.find(L'\\', server + 1);
    path = share == path.npos ? std::wstring_view() : path.substr(share);
  } else if (path.size() >= 2 && path[1] == L':') {
    path.remove_prefix(2);
  }
  return path.ends_with(L'\\') ? path.substr(0, path.size() - 1) : path;
}

// Folders found during a job to be reached without a reparse point on the way.
using KnownWay = std::unordered_set<std::wstring>;

// Whether a folder on the way to the full path `path` (in the "\\?\" form or not) is a reparse
// point, each looked at in turn, from the deepest up to one `known` holds (null: up to the root):
// where the system cannot tell the path it resolved. What was looked at goes into `known`.
bool ReparsePointOnTheWay(const std::wstring& path, KnownWay* known) {
  const size_t root = path.starts_with(LR"(\\?\)") ? 7 : 3;  // after "C:\"
  std::vector<std::wstring> looked;
  for (size_t end = path.rfind(L'\\'); end != std::wstring::npos && end >= root;
       end = end == 0 ? std::wstring::npos : path.rfind(L'\\', end - 1)) {
    std::wstring folder = path.substr(0, end);
    if (known && known->contains(folder)) break;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return true;
    }
    looked.push_back(std::move(folder));
  }
  if (known) {
    for (std::wstring& folder : looked) known->insert(std::move(folder));
    known->insert(path);
  }
  return false;
}

// Opens the folder `folder` for the checks of staying inside the tree, without sharing its
// removal or renaming: it must be a folder itself, not a reparse point, and be reached without
// one on the way, which shows as a path the system resolved other than the one asked for.
// `known` saves looking again at the folders on the way that were looked at before.
ErrorCode OpenFolderInTree(const std::string& folder, WindowsHandle* handle, FolderId* id,
                           KnownWay* known) {
  std::wstring wide = WidenPath(folder);
  if (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
  WindowsHandle dir(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!dir.valid()) {
    const DWORD error = GetLastError();
    // The folder itself is what is missing: never "file not found".
    return error == ERROR_FILE_NOT_FOUND ? kPathNotFound.Because(static_cast<int>(error))
                                         : ErrorCodeFromWindowsError(error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(dir.get(), &info)) return LastWindowsError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return kPathFileAccessError;
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return kPathNotFound;
  // The path asked for, in full and with long names, against the path the system went.
  std::wstring asked(MAX_PATH, L'\0');
  for (DWORD length;;) {
    length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(asked.size()), asked.data(), nullptr);
    if (length == 0) return LastWindowsError();
    if (length < asked.size()) {
      asked.resize(length);
      break;
    }
    asked.resize(length);
  }
  std::wstring went(asked.size() + MAX_PATH, L'\0');
  const DWORD wentLength = GetFinalPathNameByHandleW(dir.get(), went.data(),
                                                     static_cast<DWORD>(went.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_NONE);
  if (wentLength == 0 || wentLength >= went.size()) {
    // Wine cannot tell the path of a folder deeper than MAX_PATH: its way is looked at instead.
    if (ReparsePointOnTheWay(asked, known)) return kPathFileAccessError;
  } else {
    went.resize(wentLength);
    auto same = [&went](std::wstring_view path) {
      const std::wstring_view a = BelowVolume(path), b = BelowVolume(went);
      return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    };
    if (!same(asked)) {
      // Short (8.3) names in the path asked for are no link: compared again in their long form.
      std::wstring longAsked(asked.size() + MAX_PATH, L'\0');
      const DWORD longLength = GetLongPathNameW(asked.c_str(), longAsked.data(),
                                                static_cast<DWORD>(longAsked.size()));
      if (longLength == 0 || longLength >= longAsked.size()) return kPathFileAccessError;
      longAsked.resize(longLength);
      if (!same(longAsked)) return kPathFileAccessError;
    }
  }
  *id = FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  *handle = std::move(dir);
  return kSuccess;
}

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
    ForgetFolder();
    WindowsHandle dir;
    FolderId id;
    const ErrorCode reached = OpenFolderInTree(folder, &dir, &id, &knownWay_);
    if (!reached.ok()) return reached;
    if (inJob_) listed_[folder] = id;
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
    if (!EnterFolderOf(path).ok()) return false;
    const DWORD attributes = GetFileAttributesW(WidenPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | kHiddenAttributes)) == 0;
  }

  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    const ErrorCode reached = EnterFolderOf(path);
    if (!reached.ok()) return reached;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidenPath(path).c_str(), GetFileExInfoStandard, &data)) {
      return LastWindowsError();
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kFileNotFound;
    times->lastWrite = ToLocalTime(data.ftLastWriteTime);
    times->creation = ToLocalTime(data.ftCreationTime);
    return kSuccess;
  }

  ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) override {
    const ErrorCode reached = EnterFolderOf(path);
    if (!reached.ok()) return reached;
    // The entry itself, a reparse point included, is opened, then refused unless an ordinary file.
    WindowsHandle opened(CreateFileW(WidenPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!opened.valid()) return LastWindowsError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(opened.get(), &info)) return LastWindowsError();
    if (GetFileType(opened.get()) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
      return kFileNotFound.Because(kSystemNotRegularFile);
    }
    FileTimes times;
    times.lastWrite = ToLocalTime(info.ftLastWriteTime);
    times.creation = ToLocalTime(info.ftCreationTime);
    times.id = IdOf(info);
    *file = std::make_unique<Win32OpenFile>(std::move(opened), times);
    return kSuccess;
  }

  bool IsSameFile(const std::string& path, const FileId& id) override {
    if (id == FileId{}) return true;  // times read from the folder entry carry no identity
    if (!EnterFolderOf(path).ok()) return false;
    const WindowsHandle opened(CreateFileW(WidenPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return opened.valid() && GetFileInformationByHandle(opened.get(), &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ==
               0 &&
           IdOf(info) == id;
  }

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING the system refuses any taken name, one differing only in
    // case included, in the same step as the rename.
    if (FolderOf(from) != FolderOf(to) || FolderOf(from).empty()) return kPathFileAccessError;
    const ErrorCode reached = EnterFolderOf(from);
    if (!reached.ok()) return reached;
    if (MoveFileExW(WidenPath(from).c_str(), WidenPath(to).c_str(), 0)) return kSuccess;
    return LastWindowsError();
  }

  Interruption InterruptedRename(const std::string&, const std::string&) override {
    return Interruption::kNone;
  }

  ErrorCode FinishInterruptedRename(const std::string&, const std::string&) override {
    return kFileAlreadyExists;
  }

  ErrorCode UndoInterruptedRename(const std::string&, const std::string&) override {
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
    // The entry itself, a reparse point included, is opened, then refused unless an ordinary file.
    WindowsHandle file(CreateFileW(WidenPath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return LastWindowsError();  // a folder fails as access denied
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return LastWindowsError();
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
      return kPathFileAccessError;
    }
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    std::string bytes(static_cast<size_t>(std::min<std::uint64_t>(size, kMaxTextFileBytes)), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
      DWORD read = 0;
      if (!ReadFile(file.get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &read,
                    nullptr)) {
        return LastWindowsError();
      }
      if (read == 0) break;  // cut short since it was opened
      got += read;
    }
    bytes.resize(got);
    *contents = std::move(bytes);
    return kSuccess;
  }

  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    const HANDLE file = OpenByPath(path, GENERIC_READ,
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
    ForgetFolder();
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
    listed_.clear();
    knownWay_.clear();
    inJob_ = true;
    attempt.lock = std::make_unique<Win32FileLock>(file, [this] {
      inJob_ = false;
      listed_.clear();
      knownWay_.clear();
      ForgetFolder();
    });
    return attempt;
  }

 private:
  // Checks the folder of `path` the way OpenFolderInTree does, and during a job that it is the
  // folder listed under its path (kPathNotFound when another stands there now). During a job the
  // folder stays open, without sharing its removal or renaming, while it is one of the last few
  // folders whose files were handled (several threads may work in several folders at once), so
  // Windows keeps it in place while its files are handled by their full paths. Safe to call from
  // several threads.
  ErrorCode EnterFolderOf(const std::string& path) {
    const std::string folder(FolderOf(path));
    const std::lock_guard<std::mutex> lock(mutex_);
    Held* slot = &held_[0];  // the one used longest ago, unless the folder is held already
    for (Held& held : held_) {
      if (inJob_ && held.handle.valid() && held.path == folder) {
        held.used = ++clock_;
        return kSuccess;
      }
      if (!held.handle.valid() || held.used < slot->used) slot = &held;
    }
    WindowsHandle dir;
    FolderId id;
    const ErrorCode reached = OpenFolderInTree(folder, &dir, &id, &knownWay_);
    if (!reached.ok()) return reached;
    if (!inJob_) return kSuccess;
    const auto listed = listed_.find(folder);
    if (listed != listed_.end() && !(listed->second == id)) return kPathNotFound;
    slot->handle = std::move(dir);
    slot->path = folder;
    slot->used = ++clock_;
    return kSuccess;
  }

  void ForgetFolder() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Held& held : held_) {
      held.handle.Close();
      held.path.clear();
    }
  }

  // The folders of the last file operations, held during a job: as many as the threads that read
  // times ahead and those that rename may work in at once.
  static constexpr std::size_t kHeld = 32;
  struct Held {
    WindowsHandle handle;
    std::string path;
    std::uint64_t used = 0;
  };

  bool inJob_ = false;                                // from TryLock to the lock's release
  std::unordered_map<std::string, FolderId> listed_;  // the folders listed during the job
  // Folders on the way already looked at: since the start or the end of the last job, so every
  // job looks at its folders anew.
  KnownWay knownWay_;
  // Guards the held folders and knownWay_ for the calls on the user's files, which several threads
  // may make at once; ListFolder and TryLock run beside no other call.
  std::mutex mutex_;
  Held held_[kHeld];
  std::uint64_t clock_ = 0;
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

std::optional<LocalTime> LocalTimeOfUtc(const LocalTime& utc) {
  const SYSTEMTIME fields{static_cast<WORD>(utc.year),   static_cast<WORD>(utc.month), 0,
                          static_cast<WORD>(utc.day),    static_cast<WORD>(utc.hour),
                          static_cast<WORD>(utc.minute), static_cast<WORD>(utc.second), 0};
  FILETIME moment;
  SYSTEMTIME back{};
  // SystemTimeToFileTime refuses a day the month lacks; the way back refuses what overflowed.
  if (utc.year < 1601 || utc.year > 30827 || !SystemTimeToFileTime(&fields, &moment) ||
      !FileTimeToSystemTime(&moment, &back) || back.wDay != fields.wDay) {
    return std::nullopt;
  }
  return ToLocalTime(moment);
}

FileSystem& SystemFileSystem() {
  static Win32FileSystem system;
  return system;
}

}  // namespace tokiren
