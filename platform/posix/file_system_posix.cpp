// The file system on POSIX. Generic POSIX, with Linux calls (statx for the birth time, renameat2
// for the no-replace rename, openat2 to refuse symbolic links on a path) that the fallbacks below
// stand in for where they are missing.
#include <dirent.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/file_system.h"
#include "platform/names.h"
#include "platform/posix/errno_mapping.h"
#include "platform/posix/file_descriptor.h"
#include "platform/posix/rename_fallback.h"

namespace tokiren {
namespace {

// The most of a settings file that is read: far more than any list of extensions or folder.
constexpr size_t kMaxTextFileBytes = size_t{1} << 20;

bool IsHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

ErrorCode LastError(const std::string& folder) { return ErrorCodeFromErrno(errno, folder); }

ErrorCode ErrorIn(const std::string& path) {
  return ErrorCodeFromErrno(errno, std::string(FolderOf(path)));
}

// A folder's entries, read through a handle of its own (`fd` is taken over).
class Directory {
 public:
  explicit Directory(int fd) : dir_(fd >= 0 ? fdopendir(fd) : nullptr) {
    if (fd >= 0 && !dir_) close(fd);
  }
  ~Directory() {
    if (dir_) closedir(dir_);
  }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

FileId IdOf(const struct statx& stx) {
  return FileId{makedev(stx.stx_dev_major, stx.stx_dev_minor), stx.stx_ino};
}

// What a file's times are read with: its type, identity and both times.
constexpr unsigned kTimesMask = STATX_TYPE | STATX_INO | STATX_MTIME | STATX_BTIME;

LocalTime ToLocalTime(time_t seconds) {
  struct tm fields {};
  localtime_r(&seconds, &fields);
  return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                   fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

bool FsyncFolder(const std::string& folder) {
  FileDescriptor fd(open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && fsync(fd.get()) == 0;
}

class PosixTextFileWriter final : public TextFileWriter {
 public:
  PosixTextFileWriter(int fd, std::string folder) : fd_(fd), folder_(std::move(folder)) {}

  ErrorCode Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = write(fd_.get(), bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return LastError(folder_);
      }
      bytes.remove_prefix(static_cast<size_t>(written));
    }
    return kSuccess;
  }

  ErrorCode Sync() override { return fdatasync(fd_.get()) == 0 ? kSuccess : LastError(folder_); }

  ErrorCode Truncate(std::uint64_t size) override {
    const auto length = static_cast<off_t>(size);
    if (ftruncate(fd_.get(), length) != 0 || lseek(fd_.get(), length, SEEK_SET) < 0) {
      return LastError(folder_);
    }
    return kSuccess;
  }

  int fd() const { return fd_.get(); }
  const std::string& folder() const { return folder_; }

 private:
  FileDescriptor fd_;
  std::string folder_;
};

// A temporary file beside its target, renamed over it on Commit.
class PosixFileReplacement final : public FileReplacement {
 public:
  PosixFileReplacement(int fd, std::string temporary, std::string path)
      : file_(fd, std::string(FolderOf(path))),
        temporary_(std::move(temporary)),
        path_(std::move(path)) {}
  ~PosixFileReplacement() override {
    if (!committed_) unlink(temporary_.c_str());
  }

  ErrorCode Append(std::string_view bytes) override { return file_.Append(bytes); }
  ErrorCode Sync() override { return file_.Sync(); }
  ErrorCode Truncate(std::uint64_t size) override { return file_.Truncate(size); }

  ErrorCode Commit() override {
    if (fsync(file_.fd()) != 0) return LastError(file_.folder());
    if (rename(temporary_.c_str(), path_.c_str()) != 0) return LastError(file_.folder());
    committed_ = true;
    return FsyncFolder(file_.folder()) ? kSuccess : LastError(file_.folder());
  }

 private:
  PosixTextFileWriter file_;
  std::string temporary_;
  std::string path_;
  bool committed_ = false;
};

class PosixFileReader final : public FileReader {
 public:
  PosixFileReader(int fd, std::uint64_t size, std::string path)
      : fd_(fd), size_(size), path_(std::move(path)) {}

  std::uint64_t Size() const override { return size_; }

  ErrorCode ReadAt(std::uint64_t offset, char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t got = pread(fd_.get(), data, size, static_cast<off_t>(offset));
      if (got < 0) {
        if (errno == EINTR) continue;
        return ErrorIn(path_);
      }
      if (got == 0) return kFileNotFound.Because(EIO);  // cut short since it was opened
      data += got;
      size -= static_cast<size_t>(got);
      offset += static_cast<std::uint64_t>(got);
    }
    return kSuccess;
  }

 private:
  FileDescriptor fd_;
  std::uint64_t size_;
  std::string path_;
};

std::string WithCaseSwapped(std::string_view name) {
  std::string swapped(name);
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return swapped;
}

FileTimes TimesOf(const struct statx& stx) {
  FileTimes times;
  times.lastWrite = ToLocalTime(static_cast<time_t>(stx.stx_mtime.tv_sec));
  times.creation = (stx.stx_mask & STATX_BTIME)
                       ? ToLocalTime(static_cast<time_t>(stx.stx_btime.tv_sec))
                       : times.lastWrite;
  times.id = IdOf(stx);
  return times;
}

class PosixOpenFile final : public OpenFile {
 public:
  PosixOpenFile(int fd, FileTimes times) : fd_(fd), times_(times) {}
  const FileTimes& Times() const override { return times_; }
  std::intptr_t NativeHandle() const override { return fd_.get(); }

 private:
  FileDescriptor fd_;
  FileTimes times_;
};

class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}

 private:
  FileDescriptor fd_;  // closing it frees the lock
};

// Opens the folder `path` (absolute; "" is the working folder) without following a symbolic link
// anywhere on the way, so a folder swapped for a link to somewhere else is never entered: openat2
// with RESOLVE_NO_SYMLINKS, or, where the kernel lacks it, one component at a time with
// O_NOFOLLOW. `flags`: O_PATH for a handle to act in, O_RDONLY to read the entries. -1 with errno
// set on failure (ELOOP or ENOTDIR for a link on the way).
int OpenFolderNoLinks(const std::string& path, int flags) {
  static std::atomic<bool> noOpenat2{false};
  const char* const name = path.empty() ? "." : path.c_str();
  if (!noOpenat2) {
    struct open_how how {};
    how.flags = static_cast<std::uint64_t>(flags | O_DIRECTORY | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, name, &how, sizeof how);
    if (fd >= 0) return static_cast<int>(fd);
    // A kernel before 5.6, or a sandbox that does not let the call through.
    if (errno != ENOSYS && errno != EPERM) return -1;
    noOpenat2 = true;
  }
  int dir = open(name[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::string_view rest(name);
  while (dir >= 0 && !rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string component(rest.substr(0, slash));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (component.empty() || component == ".") continue;
    const int next = openat(dir, component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int saved = errno;
    close(dir);
    errno = saved;
    dir = next;
  }
  if (dir < 0 || flags == O_PATH) return dir;
  const int opened = openat(dir, ".", flags | O_DIRECTORY | O_CLOEXEC);
  const int saved = errno;
  close(dir);
  errno = saved;
  return opened;
}

// The link-and-unlink rename within the folder `dir` (whose path is `folder`).
ErrorCode LinkAndUnlinkIn(int dir, const char* from, const char* to, const std::string& folder) {
  if (linkat(dir, from, dir, to, 0) != 0) {
    switch (errno) {
      case EPERM:       // the file system has no hard links
      case EOPNOTSUPP:  // the same, as some file systems say it
        return kPathFileAccessError.Because(kSystemNoSafeRename);
      case EMLINK:      // the file has all the links it may have
        return kPathFileAccessError.Because(errno);
      default:
        return LastError(folder);
    }
  }
  if (unlinkat(dir, from, 0) != 0) {
    const ErrorCode error = LastError(folder);
    unlinkat(dir, to, 0);
    return error;
  }
  return kSuccess;
}

// Whether `to` in `dir` is still the claim made there: that very file, still empty.
bool StillClaimed(int dir, const char* to, const struct stat& claim) {
  struct stat named;
  return fstatat(dir, to, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode) &&
         named.st_dev == claim.st_dev && named.st_ino == claim.st_ino && named.st_size == 0;
}

// The claim rename within the folder `dir`: `to` is made, empty and exclusively (no other entry of
// that name, in any spelling the file system folds together, can exist then; a link there is not
// followed), and checked to be that very empty file just before `from` is renamed over it. The
// claim is made with mknodat, which opens nothing: a file opened for it would be closed by the
// kernel after the rename is made, and fusefat then stamps the renamed file with the time of
// the close. The window left: another process that removes the claim and puts a file of its own
// in its place between the check and the rename loses that file; only a process bent on it could,
// within microseconds, and the file it put there would be one it had just made.
ErrorCode ClaimAndRenameIn(int dir, const char* from, const char* to, const std::string& folder) {
  struct stat claim;
  if (mknodat(dir, to, S_IFREG | 0600, 0) != 0) {
    switch (errno) {
      case EPERM:   // fusefat: a name outside ASCII
      case EINVAL:  // a character the file system's names cannot hold
        return kPathFileAccessError.Because(kSystemNameRefused);
      default:
        return LastError(folder);
    }
  }
  if (fstatat(dir, to, &claim, AT_SYMLINK_NOFOLLOW) != 0) {
    const ErrorCode error = LastError(folder);
    unlinkat(dir, to, 0);  // just made, and empty: no line would ever account for it
    return error;
  }
  if (!StillClaimed(dir, to, claim)) return kFileAlreadyExists;
  if (renameat(dir, from, dir, to) == 0) return kSuccess;
  const ErrorCode error = LastError(folder);
  if (StillClaimed(dir, to, claim)) unlinkat(dir, to, 0);
  return error;
}

// How a file system renames without replacing, learnt from its first rename and kept per device:
// RENAME_NOREPLACE where renameat2 takes it; else a hard link and the removal of the old name
// where renameat2 answers EINVAL, ENOSYS or EOPNOTSUPP (NFS, FUSE: NTFS through ntfs-3g, sshfs);
// else, where linkat answers EPERM or EOPNOTSUPP too (FUSE exFAT and FAT, phones over MTP), the
// claim (ClaimAndRenameIn).
enum class RenameWay { kNoReplaceFlag, kLinkAndUnlink, kClaim };

// What a file system was found to do, once per device.
struct FileSystemTraits {
  RenameWay way = RenameWay::kNoReplaceFlag;
  // Whether a rename leaves the file's last-write time alone (fusefat stamps a renamed file with
  // the time of the rename); unknown until its first rename.
  std::optional<bool> keepsTimes;
};

// A folder's identity: the same device and inode are the same folder.
using FolderIdentity = std::pair<dev_t, ino_t>;

// The folders whose files were handled last, kept open, so that the kernel does not walk a
// folder's whole path again for every file in it: a run handles a folder's files one after the
// other, while it reads the files ahead of it (times, capture times), in the next folders at times.
// A file's path is then looked up as the handle and the file's bare name. Safe to use from several
// threads: a handle stays open while a Place holds it, even when another thread's folder takes its
// slot meanwhile.
class LastFolder {
 public:
  struct Place {
    int dir;           // the folder's handle, AT_FDCWD for a bare name, or -1 (errno set)
    const char* name;  // the name within it
    dev_t device;      // the folder's device (0 for a bare name)
    std::shared_ptr<const FileDescriptor> hold;  // keeps `dir` open
  };

  // The folder of `path`, reached without following links; when `listed` gives its identity at
  // its listing, only that very folder (a folder swapped in since fails with ESTALE).
  Place Of(const std::string& path, const std::map<std::string, FolderIdentity>& listed) {
    const std::string_view folder = FolderOf(path);
    if (folder.empty()) return {AT_FDCWD, path.c_str(), 0, nullptr};
    const std::lock_guard<std::mutex> lock(mutex_);
    Held* slot = nullptr;
    for (Held& held : held_) {
      if (held.fd && held.path == folder) slot = &held;
    }
    // A folder held from before this thread worked in another is looked up anew, as when it was
    // first entered: one moved away or swapped for another since (by whoever else may write its
    // parent) is left, never worked in where it now stands.
    static thread_local std::uint64_t workedIn = 0;  // the held folder this thread used last
    if (slot && slot->opened != workedIn) {
      FileDescriptor again(OpenFolderNoLinks(slot->path, O_PATH));
      struct stat st;
      if (again.get() < 0 || fstat(again.get(), &st) != 0 || st.st_dev != slot->device ||
          st.st_ino != slot->inode) {
        slot->fd.reset();
        slot = nullptr;
      }
    }
    if (!slot) {
      slot = &held_[0];  // the one used longest ago
      for (Held& held : held_) {
        if (!held.fd || held.used < slot->used) slot = &held;
      }
      slot->fd.reset();
      slot->path = folder;
      auto fd = std::make_shared<FileDescriptor>(OpenFolderNoLinks(slot->path, O_PATH));
      if (fd->get() < 0) return {-1, nullptr, 0, nullptr};
      const auto known = listed.find(slot->path);
      struct stat st;
      if (fstat(fd->get(), &st) != 0 ||
          (known != listed.end() && FolderIdentity(st.st_dev, st.st_ino) != known->second)) {
        errno = ESTALE;
        return {-1, nullptr, 0, nullptr};
      }
      slot->fd = std::move(fd);
      slot->device = st.st_dev;
      slot->inode = st.st_ino;
      slot->opened = ++opened_;
    }
    slot->used = ++clock_;
    workedIn = slot->opened;
    return {slot->fd->get(), path.c_str() + folder.size(), slot->device, slot->fd};
  }

  void Forget() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Held& held : held_) held.fd.reset();
  }

 private:
  // The folders being renamed in, and those whose files are read ahead, by several threads: as
  // many as threads may work in at once.
  static constexpr std::size_t kHeld = 32;
  struct Held {
    std::string path;
    std::shared_ptr<const FileDescriptor> fd;  // empty: the slot is free
    dev_t device = 0;
    ino_t inode = 0;
    std::uint64_t used = 0;
    std::uint64_t opened = 0;  // which opening of a folder, among all ever held
  };

  std::mutex mutex_;
  Held held_[kHeld];
  std::uint64_t clock_ = 0;
  static inline std::atomic<std::uint64_t> opened_{0};
};

class PosixFileSystem final : public FileSystem {
 public:
  ErrorCode ListFolder(const std::string& folder, ListMask mask,
                       std::vector<FolderEntry>* entries) override {
    lastFolder_.Forget();
    entries->clear();
    Directory dir(OpenFolderNoLinks(folder, O_RDONLY));
    if (!dir.get()) return LastError(folder);
    struct stat self;
    if (fstat(dirfd(dir.get()), &self) != 0) return LastError(folder);
    listed_[folder] = FolderIdentity(self.st_dev, self.st_ino);
    const bool wantFolders = mask == ListMask::kFilesAndFolders;
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(dir.get());
      if (!entry) {
        if (errno != 0) {
          entries->clear();
          return LastError(folder);
        }
        break;
      }
      if (IsHidden(entry->d_name)) continue;  // also "." and ".."
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) {  // some file systems do not fill the type in
        struct stat st;
        if (fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
      }
      if (type == DT_REG) {
        entries->push_back(FolderEntry{entry->d_name, false});
      } else if (type == DT_DIR && wantFolders) {
        entries->push_back(FolderEntry{entry->d_name, true});
      }
    }
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.name, b.name); });
    return kSuccess;
  }

  bool FileExists(const std::string& path) override {
    if (IsHidden(NameOf(path))) return false;
    const LastFolder::Place file = lastFolder_.Of(path, listed_);
    struct stat st;
    return file.dir != -1 && fstatat(file.dir, file.name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode);
  }

  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    const LastFolder::Place file = lastFolder_.Of(path, listed_);
    if (file.dir == -1) return ErrorIn(path);
    struct statx stx {};
    if (statx(file.dir, file.name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kTimesMask, &stx) !=
        0) {
      return ErrorIn(path);
    }
    if (!S_ISREG(stx.stx_mode)) return kFileNotFound;
    *times = TimesOf(stx);
    return kSuccess;
  }

  ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) override {
    const LastFolder::Place place = lastFolder_.Of(path, listed_);
    if (place.dir == -1) return ErrorIn(path);
    // O_NONBLOCK: a fifo opens at once (and is refused below); a file under another process's
    // lease fails with EWOULDBLOCK instead of waiting for the lease to be given up. No device can
    // be met here: none can be made or linked into a tree without privileges the run lacks.
    FileDescriptor fd(openat(place.dir, place.name,
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
      if (errno == ELOOP) return kFileNotFound.Because(ELOOP);  // a link put in its place
      if (errno == ENXIO) return kFileNotFound.Because(kSystemNotRegularFile);  // a socket
      return ErrorIn(path);
    }
    struct statx stx {};
    if (statx(fd.get(), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kTimesMask, &stx) != 0) {
      return ErrorIn(path);
    }
    if (!S_ISREG(stx.stx_mode)) return kFileNotFound.Because(kSystemNotRegularFile);
    *file = std::make_unique<PosixOpenFile>(fd.release(), TimesOf(stx));
    return kSuccess;
  }

  bool IsSameFile(const std::string& path, const FileId& id) override {
    const LastFolder::Place place = lastFolder_.Of(path, listed_);
    struct stat st;
    return place.dir != -1 && fstatat(place.dir, place.name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && FileId{st.st_dev, st.st_ino} == id;
  }

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    if (FolderOf(from) != FolderOf(to)) return kPathFileAccessError;  // never leaves its folder
    const LastFolder::Place source = lastFolder_.Of(from, listed_);
    if (source.dir == -1) return ErrorIn(from);
    const char* const target = to.c_str() + FolderOf(to).size();
    FileSystemTraits traits = TraitsOf(source.device);
    const ErrorCode error = KeepingTimes(source, target, traits, [&] {
      return RenameIn(source.dir, source.name, target, std::string(FolderOf(from)), traits);
    });
    Learnt(source.device, traits);
    return error;
  }

  Interruption InterruptedRename(const std::string& from, const std::string& to) override {
    return Leftover(from, to);
  }

  ErrorCode FinishInterruptedRename(const std::string& from, const std::string& to) override {
    const Interruption cut = Leftover(from, to);
    if (cut == Interruption::kNone) return kFileAlreadyExists;
    const LastFolder::Place place = lastFolder_.Of(from, listed_);
    if (place.dir == -1) return ErrorIn(from);
    if (cut == Interruption::kLinked) {
      return unlinkat(place.dir, place.name, 0) == 0 ? kSuccess : ErrorIn(from);
    }
    const char* const target = to.c_str() + FolderOf(to).size();
    FileSystemTraits traits = TraitsOf(place.device);
    const ErrorCode error = KeepingTimes(place, target, traits, [&] {
      return renameat(place.dir, place.name, place.dir, target) == 0 ? kSuccess : ErrorIn(from);
    });
    Learnt(place.device, traits);
    return error;
  }

  ErrorCode UndoInterruptedRename(const std::string& from, const std::string& to) override {
    if (Leftover(from, to) == Interruption::kNone) return kFileAlreadyExists;
    const LastFolder::Place place = lastFolder_.Of(from, listed_);
    if (place.dir == -1) return ErrorIn(from);
    const std::string target(NameOf(to));
    return unlinkat(place.dir, target.c_str(), 0) == 0 ? kSuccess : ErrorIn(to);
  }

  ErrorCode CreateTextFile(const std::string& path,
                           std::unique_ptr<TextFileWriter>* writer) override {
    const std::string folder(FolderOf(path));
    constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW;
    int fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
    const bool created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = open(path.c_str(), kFlags | O_TRUNC);
    if (fd < 0) return LastError(folder);
    auto file = std::make_unique<PosixTextFileWriter>(fd, folder);
    if (created && !FsyncFolder(folder)) return LastError(folder);
    *writer = std::move(file);
    return kSuccess;
  }

  ErrorCode SyncFolder(const std::string& folder) override {
    return FsyncFolder(folder) ? kSuccess : LastError(folder);
  }

  ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) override {
    std::unique_ptr<FileReplacement> file;
    ErrorCode error = CreateReplacement(path, &file);
    if (error.ok()) error = file->Append(contents);
    if (error.ok()) error = file->Commit();
    return error;
  }

  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) return ErrorIn(path);
    *writer = std::make_unique<PosixFileReplacement>(fd, std::move(temporary), path);
    return kSuccess;
  }

  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return ErrorIn(path);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const ErrorCode error = S_ISREG(st.st_mode) ? ErrorIn(path) : kPathFileAccessError;
      close(fd);
      return error;
    }
    *reader = std::make_unique<PosixFileReader>(fd, static_cast<std::uint64_t>(st.st_size), path);
    return kSuccess;
  }

  ErrorCode MoveOwnFile(const std::string& from, const std::string& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? kSuccess : ErrorIn(from);
  }

  ErrorCode RemoveOwnFile(const std::string& path) override {
    return unlink(path.c_str()) == 0 || errno == ENOENT ? kSuccess : ErrorIn(path);
  }

  bool IsCaseInsensitiveFolder(const std::string& folder, std::string_view entryName) override {
    const std::string swapped = WithCaseSwapped(entryName);
    if (swapped == entryName) return false;
    const FileDescriptor dir(OpenFolderNoLinks(folder, O_PATH));
    if (dir.get() < 0) return false;
    struct stat entry, other;
    if (fstatat(dir.get(), std::string(entryName).c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        fstatat(dir.get(), swapped.c_str(), &other, AT_SYMLINK_NOFOLLOW) != 0) {
      return false;
    }
    // Two names of one file with a single link are one entry found by either spelling.
    if (entry.st_dev == other.st_dev && entry.st_ino == other.st_ino && entry.st_nlink == 1) {
      return true;
    }
    // exfat-fuse and fusefat give each spelling an inode number of its own: there the other
    // spelling finds a file while the folder holds no entry of exactly that name.
    Directory listing(openat(dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing.get()) return false;
    while (const dirent* found = readdir(listing.get())) {
      if (swapped == found->d_name) return false;  // a file of its own by that name
    }
    return true;
  }

  LockAttempt TryLock(const std::string& path) override {
    lastFolder_.Forget();
    listed_.clear();  // a new job: what it lists, it checks
    LockAttempt attempt;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      attempt.error = ErrorIn(path);
      return attempt;
    }
    auto lock = std::make_unique<PosixFileLock>(fd);
    // A lock an earlier version made readable by others is made the user's own again.
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077) != 0) fchmod(fd, 0600);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        attempt.heldElsewhere = true;
      } else {
        attempt.error = ErrorIn(path);
      }
      return attempt;
    }
    attempt.lock = std::move(lock);
    return attempt;
  }

  ErrorCode ReadTextFile(const std::string& path, std::string* contents) override {
    contents->clear();
    // Opened once, never through a link and never waiting on a fifo; then what was opened is
    // tested, so nothing can be swapped in between.
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) return ErrorIn(path);
    struct stat st;
    if (fstat(fd.get(), &st) != 0) return ErrorIn(path);
    if (!S_ISREG(st.st_mode)) return kPathFileAccessError;
    char buffer[1 << 16];
    while (contents->size() < kMaxTextFileBytes) {
      const ssize_t got = read(fd.get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) continue;
        return ErrorIn(path);
      }
      if (got == 0) break;
      contents->append(buffer, static_cast<size_t>(got));
    }
    if (contents->size() > kMaxTextFileBytes) contents->resize(kMaxTextFileBytes);
    return kSuccess;
  }

 private:
  // What is known of the file system `device`, and what a rename on it learnt (by any thread).
  FileSystemTraits TraitsOf(dev_t device) {
    const std::lock_guard<std::mutex> lock(traitsMutex_);
    return traits_[device];
  }
  void Learnt(dev_t device, const FileSystemTraits& traits) {
    const std::lock_guard<std::mutex> lock(traitsMutex_);
    FileSystemTraits& known = traits_[device];
    known.way = std::max(known.way, traits.way);  // a way found refused stays refused
    if (!known.keepsTimes) known.keepsTimes = traits.keepsTimes;
  }

  // See InterruptedRename. Two distinct entries of the folder either way: on a case-insensitive
  // file system both spellings may find one entry.
  Interruption Leftover(const std::string& from, const std::string& to) {
    const std::string_view folder = FolderOf(from);
    if (folder != FolderOf(to) || from == to) return Interruption::kNone;
    const LastFolder::Place place = lastFolder_.Of(from, listed_);
    if (place.dir == -1) return Interruption::kNone;
    const std::string fromName(NameOf(from)), toName(NameOf(to));
    struct stat a, b;
    if (fstatat(place.dir, fromName.c_str(), &a, AT_SYMLINK_NOFOLLOW) != 0 ||
        fstatat(place.dir, toName.c_str(), &b, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(a.st_mode) ||
        !S_ISREG(b.st_mode)) {
      return Interruption::kNone;
    }
    Interruption cut = Interruption::kNone;
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_nlink >= 2) {
      cut = Interruption::kLinked;
    } else if ((a.st_dev != b.st_dev || a.st_ino != b.st_ino) && MayClaim(place.dir) &&
               IsEmptyNow(place.dir, toName.c_str())) {
      // FAT and exFAT give every file the mount's owner and mode: an empty file is all a claim
      // can be told by. Never a file with content goes.
      cut = Interruption::kClaimed;
    }
    if (cut == Interruption::kNone) return cut;
    Directory dir(openat(place.dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.get()) return Interruption::kNone;
    bool sawFrom = false, sawTo = false;
    while (const dirent* entry = readdir(dir.get())) {
      sawFrom = sawFrom || fromName == entry->d_name;
      sawTo = sawTo || toName == entry->d_name;
    }
    return sawFrom && sawTo ? cut : Interruption::kNone;
  }

  // Only a file system without the no-replace flag and without links renames by claim, and all
  // such are FUSE ones here (exfat-fuse, fusefat, GVFS): elsewhere no empty file is taken for one.
  static bool MayClaim(int dir) {
    constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
    struct statfs fs;
    return fstatfs(dir, &fs) == 0 && fs.f_type == kFuseMagic;
  }

  // Whether `name` in `dir` is empty, asked of the file system itself: FUSE could answer from what
  // it cached before a copy into the file began.
  static bool IsEmptyNow(int dir, const char* name) {
    struct statx stx {};
    return statx(dir, name, AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC, STATX_SIZE, &stx) == 0 &&
           stx.stx_size == 0;
  }

  // The rename of `from` to `to` in `dir` without replacing, the file system's way (RenameWay),
  // learning it on the way.
  static ErrorCode RenameIn(int dir, const char* from, const char* to, const std::string& folder,
                            FileSystemTraits& traits) {
    if (traits.way == RenameWay::kNoReplaceFlag) {
      if (renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) return kSuccess;
      if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return LastError(folder);
      traits.way = RenameWay::kLinkAndUnlink;
    }
    if (traits.way == RenameWay::kLinkAndUnlink) {
      const ErrorCode linked = LinkAndUnlinkIn(dir, from, to, folder);
      if (linked.system != kSystemNoSafeRename) return linked;
      traits.way = RenameWay::kClaim;
    }
    return ClaimAndRenameIn(dir, from, to, folder);
  }

  // Makes `rename` (of the file at `source` to the name `to` in its folder) keep the file's
  // last-write time where the file system would change it: the time read just before goes back.
  // Learnt from each file system's first rename; one that keeps times pays nothing afterwards.
  template <typename Rename>
  static ErrorCode KeepingTimes(const LastFolder::Place& source, const char* to,
                                FileSystemTraits& traits, const Rename& rename) {
    struct stat before;
    const bool watch = traits.keepsTimes != true &&
                       fstatat(source.dir, source.name, &before, AT_SYMLINK_NOFOLLOW) == 0;
    const ErrorCode error = rename();
    // Asked of the file system itself: FUSE would answer from the times it cached before.
    struct statx after {};
    if (!error.ok() || !watch ||
        statx(source.dir, to, AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC, STATX_MTIME, &after) != 0) {
      return error;
    }
    const bool kept = after.stx_mtime.tv_sec == before.st_mtim.tv_sec &&
                      after.stx_mtime.tv_nsec == static_cast<std::uint32_t>(before.st_mtim.tv_nsec);
    if (!traits.keepsTimes) traits.keepsTimes = kept;
    if (!kept) {
      // Both times given: fusefat leaves the last-write time as it is when the access time is
      // left out.
      const struct timespec times[2] = {before.st_atim, before.st_mtim};
      utimensat(source.dir, to, times, AT_SYMLINK_NOFOLLOW);
    }
    return error;
  }

  LastFolder lastFolder_;
  // What each file system (by device) was found to do.
  std::mutex traitsMutex_;
  std::map<dev_t, FileSystemTraits> traits_;
  // Each folder listed in this job, as it was listed; files are handled in no other. Written only
  // by ListFolder and TryLock, which no other call runs beside.
  std::map<std::string, FolderIdentity> listed_;
};

}  // namespace

ErrorCode RenameByLinkAndUnlink(const std::string& from, const std::string& to) {
  const std::string folder(FolderOf(from));
  if (folder != FolderOf(to)) return kPathFileAccessError;
  const FileDescriptor dir(OpenFolderNoLinks(folder, O_PATH));
  if (dir.get() < 0) return LastError(folder);
  return LinkAndUnlinkIn(dir.get(), from.c_str() + folder.size(), to.c_str() + folder.size(),
                         folder);
}

ErrorCode ResolveFolder(const std::string& path, std::string* absolute) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return ErrorCodeFromErrno(errno == ENOENT ? ENOTDIR : errno, {});
  std::string result(resolved);
  free(resolved);
  struct stat st;
  if (stat(result.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kPathNotFound;
  if (result.back() != kPathSeparator) result += kPathSeparator;
  *absolute = std::move(result);
  return kSuccess;
}

std::optional<LocalTime> LocalTimeOfUtc(const LocalTime& utc) {
  std::tm fields{};
  fields.tm_year = utc.year - 1900;
  fields.tm_mon = utc.month - 1;
  fields.tm_mday = utc.day;
  fields.tm_hour = utc.hour;
  fields.tm_min = utc.minute;
  fields.tm_sec = utc.second;
  const std::time_t moment = timegm(&fields);
  // timegm normalises: a 31 February comes back as a day of March and is no real moment.
  std::tm back{};
  if (!gmtime_r(&moment, &back) || back.tm_year != fields.tm_year || back.tm_mon != utc.month - 1 ||
      back.tm_mday != utc.day || back.tm_hour != utc.hour || back.tm_min != utc.minute ||
      back.tm_sec != utc.second) {
    return std::nullopt;
  }
  return ToLocalTime(moment);
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace tokiren
