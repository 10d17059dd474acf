// casefold_fs: a FUSE view of a backing folder whose names compare ASCII case-insensitively and
// keep the spelling they were made with, as on a FAT memory card, for the reliability suite.
//
//   casefold_fs [--inode-per-spelling] BACKING MOUNTPOINT [FUSE options, e.g. -f -s]
//
// --inode-per-spelling: a name asked for in a spelling other than the stored one reports an inode
// number of its own, as exfat-fuse and fusefat do; by default every spelling reports the stored
// entry's.
//
// Contract: a path finds an entry in any spelling; making a name whose case fold equals another
// entry's fails with EEXIST, and so does renaming onto a different spelling of another entry (a
// rename onto the same spelling replaces, as POSIX says, and a rename onto a spelling of the
// entry's own name only changes its spelling, as vfat does). RENAME_NOREPLACE fails with EEXIST
// when the target exists in any spelling; RENAME_EXCHANGE is refused (EINVAL). Hard links are
// refused (EPERM), as FAT has none. Listings show the names as stored; times, modes and owners
// pass through to the backing files. Regular files and folders only.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string backingRoot;  // absolute, without a trailing "/"
bool inodePerSpelling = false;

std::string Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// The stored spelling of the entry of backing folder `folder` whose name folds as `name` does,
// or "" when there is none. Names are kept unique under folding, so at most one matches.
std::string FindEntry(const std::string& folder, const std::string& name) {
  struct stat st;
  if (lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return "";
  const std::string folded = Fold(name);
  std::string found;
  while (const dirent* entry = readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 &&
        Fold(entry->d_name) == folded) {
      found = entry->d_name;
      break;
    }
  }
  closedir(listing);
  return found;
}

// Where a path of the view lies in the backing folder.
struct Place {
  std::string folder;  // the backing folder holding the entry
  std::string asked;   // the last component as the caller spelled it; "" for the root
  std::string stored;  // its spelling on the disk; "" when no entry folds to it
  bool Exists() const { return asked.empty() || !stored.empty(); }
  std::string Path() const { return asked.empty() ? folder : folder + "/" + stored; }
  std::string AskedPath() const { return folder + "/" + asked; }
};

// Finds `path` (as FUSE gives it, starting with "/") folding case at every component. False
// when a folder on the way is missing.
bool Locate(const char* path, Place* place) {
  place->folder = backingRoot;
  place->asked.clear();
  place->stored.clear();
  std::string_view rest(path);
  while (!rest.empty()) {
    if (rest.front() == '/') {
      rest.remove_prefix(1);
      continue;
    }
    const size_t slash = rest.find('/');
    const std::string component(rest.substr(0, slash));
    rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash);
    if (!place->asked.empty()) {
      if (!place->Exists()) return false;
      place->folder.append("/").append(place->stored);
    }
    place->asked = component;
    place->stored = FindEntry(place->folder, component);
  }
  return true;
}

int Errno() { return -errno; }

// New entries belong to the process that made them, as on a disk mounted for every user.
void GiveToCaller(const std::string& path) {
  if (geteuid() != 0) return;
  const fuse_context* caller = fuse_get_context();
  if (lchown(path.c_str(), caller->uid, caller->gid) != 0) {
    std::perror(("casefold_fs: chown " + path).c_str());
  }
}

void* Init(fuse_conn_info*, fuse_config* config) {
  config->use_ino = 1;  // the suite's manifests follow files by inode
  // The kernel's name cache compares case-sensitively: every lookup must come here.
  config->entry_timeout = 0;
  config->negative_timeout = 0;
  config->attr_timeout = 0;
  config->hard_remove = 1;  // no ".fuse_hidden" entries in the listings
  return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  if (lstat(place.Path().c_str(), st) != 0) return Errno();
  if (inodePerSpelling && place.asked != place.stored) {
    // A number no backing file has: the stored entry's, marked in its top bit, mixed with the
    // spelling asked for.
    st->st_ino = (st->st_ino ^ std::hash<std::string>{}(place.asked)) | (ino_t{1} << 62);
  }
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  DIR* listing = opendir(place.Path().c_str());
  if (!listing) return Errno();
  while (const dirent* entry = readdir(listing)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
    if (fill(buffer, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
  }
  closedir(listing);
  return 0;
}

int MakeDir(const char* path, mode_t mode) {
  Place place;
  if (!Locate(path, &place)) return -ENOENT;
  if (place.Exists()) return -EEXIST;
  if (mkdir(place.AskedPath().c_str(), mode) != 0) return Errno();
  GiveToCaller(place.AskedPath());
  return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* file) {
  Place place;
  if (!Locate(path, &place)) return -ENOENT;
  int fd;
  if (place.Exists()) {
    if (file->flags & O_EXCL) return -EEXIST;
    fd = open(place.Path().c_str(), file->flags & ~O_CREAT);
  } else {
    fd = open(place.AskedPath().c_str(), file->flags | O_CREAT | O_EXCL, mode);
    if (fd >= 0) GiveToCaller(place.AskedPath());
  }
  if (fd < 0) return Errno();
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Open(const char* path, fuse_file_info* file) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  const int fd = open(place.Path().c_str(), file->flags & ~(O_CREAT | O_EXCL));
  if (fd < 0) return Errno();
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  const ssize_t got = pread(static_cast<int>(file->fh), buffer, size, offset);
  return got >= 0 ? static_cast<int>(got) : Errno();
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  const ssize_t put = pwrite(static_cast<int>(file->fh), buffer, size, offset);
  return put >= 0 ? static_cast<int>(put) : Errno();
}

int Release(const char*, fuse_file_info* file) {
  close(static_cast<int>(file->fh));
  return 0;
}

int Fsync(const char*, int dataOnly, fuse_file_info* file) {
  const int fd = static_cast<int>(file->fh);
  return (dataOnly ? fdatasync(fd) : fsync(fd)) == 0 ? 0 : Errno();
}

int FsyncDir(const char* path, int, fuse_file_info*) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  const int fd = open(place.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Errno();
  const int result = fsync(fd) == 0 ? 0 : Errno();
  close(fd);
  return result;
}

int Truncate(const char* path, off_t size, fuse_file_info* file) {
  if (file) return ftruncate(static_cast<int>(file->fh), size) == 0 ? 0 : Errno();
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return truncate(place.Path().c_str(), size) == 0 ? 0 : Errno();
}

int Unlink(const char* path) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return unlink(place.Path().c_str()) == 0 ? 0 : Errno();
}

int RemoveDir(const char* path) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return rmdir(place.Path().c_str()) == 0 ? 0 : Errno();
}

int Rename(const char* from, const char* to, unsigned int flags) {
  if (flags & ~RENAME_NOREPLACE) return -EINVAL;
  Place source, target;
  if (!Locate(from, &source) || !source.Exists()) return -ENOENT;
  if (!Locate(to, &target)) return -ENOENT;
  if (target.Exists()) {
    const bool itself = target.folder == source.folder && target.stored == source.stored;
    if (itself) {
      // Only the spelling changes.
      if (target.asked == source.stored) return 0;
      return rename(source.Path().c_str(), target.AskedPath().c_str()) == 0 ? 0 : Errno();
    }
    if ((flags & RENAME_NOREPLACE) || target.stored != target.asked) return -EEXIST;
    return rename(source.Path().c_str(), target.Path().c_str()) == 0 ? 0 : Errno();
  }
  return renameat2(AT_FDCWD, source.Path().c_str(), AT_FDCWD, target.AskedPath().c_str(),
                   flags) == 0
             ? 0
             : Errno();
}

int Link(const char*, const char*) { return -EPERM; }

int ChangeMode(const char* path, mode_t mode, fuse_file_info*) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return chmod(place.Path().c_str(), mode) == 0 ? 0 : Errno();
}

int ChangeOwner(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return lchown(place.Path().c_str(), uid, gid) == 0 ? 0 : Errno();
}

int SetTimes(const char* path, const struct timespec times[2], fuse_file_info*) {
  Place place;
  if (!Locate(path, &place) || !place.Exists()) return -ENOENT;
  return utimensat(AT_FDCWD, place.Path().c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : Errno();
}

int StatFs(const char*, struct statvfs* st) {
  return statvfs(backingRoot.c_str(), st) == 0 ? 0 : Errno();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--inode-per-spelling") == 0) {
    inodePerSpelling = true;
    argv[1] = argv[0];  // as though it had not been given
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s [--inode-per-spelling] BACKING MOUNTPOINT [FUSE options]\n",
                 argv[0]);
    return 2;
  }
  char* backing = realpath(argv[1], nullptr);
  if (!backing) {
    std::perror(argv[1]);
    return 1;
  }
  backingRoot = backing;
  std::free(backing);
  if (backingRoot == "/") backingRoot.clear();

  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttr;
  operations.readdir = ReadDir;
  operations.mkdir = MakeDir;
  operations.create = Create;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.release = Release;
  operations.fsync = Fsync;
  operations.fsyncdir = FsyncDir;
  operations.truncate = Truncate;
  operations.unlink = Unlink;
  operations.rmdir = RemoveDir;
  operations.rename = Rename;
  operations.link = Link;
  operations.chmod = ChangeMode;
  operations.chown = ChangeOwner;
  operations.utimens = SetTimes;
  operations.statfs = StatFs;

  // FUSE sees the program name and everything after the backing folder.
  std::vector<char*> fuseArgs{argv[0]};
  fuseArgs.insert(fuseArgs.end(), argv + 2, argv + argc);
  return fuse_main(static_cast<int>(fuseArgs.size()), fuseArgs.data(), &operations, nullptr);
}
