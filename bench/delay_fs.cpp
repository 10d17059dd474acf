// delay-fs: a FUSE view of a backing folder that answers every request after a set delay, as a
// share across a network does, for the benchmarks. Everything else passes to the folder beneath as
// it is: rename flags (RENAME_NOREPLACE, RENAME_EXCHANGE), hard and symbolic links, special files,
// times, modes, owners and extended attributes. Requests are served by many threads at once, so
// calls made in parallel wait out their delays side by side, as on a share.
//
//   delay-fs [--delay-ms MS] [--cache-seconds S] [--threads N] BACKING MOUNTPOINT [FUSE options]
//
// --delay-ms       the delay of every request, in milliseconds (fractions too; default 1)
// --cache-seconds  how long the kernel may keep names and attributes it was told (default 1, the
//                  kernel's own FUSE default; 0: every lookup is a request)
// --threads        the most requests served at once (default 64)
// --count          at unmount, writes to FILE how many requests were served
//
// Unmount with `fusermount3 -u MOUNTPOINT`; -f keeps it in the foreground.
#define FUSE_USE_VERSION 314

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <linux/fuse.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::string backingRoot;  // absolute, without a trailing "/" ("" for "/")
struct timespec requestDelay {0, 1'000'000};
double cacheSeconds = 1.0;
std::string countFile;
std::atomic<unsigned long> requests{0};

// Every request waits this long before it is served.
void Delay() {
  requests.fetch_add(1, std::memory_order_relaxed);
  if (requestDelay.tv_sec == 0 && requestDelay.tv_nsec == 0) return;
  struct timespec left = requestDelay;
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
  }
}

std::string Backing(const char* path) { return backingRoot + path; }

int Result(int returned) { return returned == 0 ? 0 : -errno; }

void* Init(fuse_conn_info*, fuse_config* config) {
  config->use_ino = 1;      // the backing files' inode numbers: links and identities pass through
  config->hard_remove = 1;  // no ".fuse_hidden" entries in the listings
  config->entry_timeout = cacheSeconds;
  config->negative_timeout = cacheSeconds;
  config->attr_timeout = cacheSeconds;
  return nullptr;
}

void Destroy(void*) {
  if (countFile.empty()) return;
  if (std::FILE* out = std::fopen(countFile.c_str(), "w")) {
    std::fprintf(out, "%lu\n", requests.load());
    std::fclose(out);
  }
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* file) {
  Delay();
  if (file) return Result(fstat(static_cast<int>(file->fh), st));
  return Result(lstat(Backing(path).c_str(), st));
}

int Access(const char* path, int mode) {
  Delay();
  return Result(access(Backing(path).c_str(), mode));
}

int ReadLink(const char* path, char* buffer, size_t size) {
  Delay();
  const ssize_t length = readlink(Backing(path).c_str(), buffer, size - 1);
  if (length < 0) return -errno;
  buffer[length] = '\0';
  return 0;
}

int OpenDir(const char* path, fuse_file_info* file) {
  Delay();
  DIR* dir = opendir(Backing(path).c_str());
  if (!dir) return -errno;
  file->fh = reinterpret_cast<uint64_t>(dir);
  return 0;
}

// One request per batch the kernel asks for, as a share answers a listing in several round trips.
int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset, fuse_file_info* file,
            fuse_readdir_flags) {
  Delay();
  DIR* dir = reinterpret_cast<DIR*>(file->fh);
  seekdir(dir, offset);
  while (const dirent* entry = readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
    if (fill(buffer, entry->d_name, &st, telldir(dir), static_cast<fuse_fill_dir_flags>(0)) != 0) {
      break;
    }
  }
  return 0;
}

int ReleaseDir(const char*, fuse_file_info* file) {
  Delay();
  closedir(reinterpret_cast<DIR*>(file->fh));
  return 0;
}

int FsyncDir(const char*, int dataOnly, fuse_file_info* file) {
  Delay();
  const int fd = dirfd(reinterpret_cast<DIR*>(file->fh));
  return Result(dataOnly ? fdatasync(fd) : fsync(fd));
}

int MakeNode(const char* path, mode_t mode, dev_t device) {
  Delay();
  const std::string backing = Backing(path);
  if (S_ISFIFO(mode)) return Result(mkfifo(backing.c_str(), mode));
  return Result(mknod(backing.c_str(), mode, device));
}

int MakeDir(const char* path, mode_t mode) {
  Delay();
  return Result(mkdir(Backing(path).c_str(), mode));
}

int Unlink(const char* path) {
  Delay();
  return Result(unlink(Backing(path).c_str()));
}

int RemoveDir(const char* path) {
  Delay();
  return Result(rmdir(Backing(path).c_str()));
}

int SymLink(const char* target, const char* path) {
  Delay();
  return Result(symlink(target, Backing(path).c_str()));
}

int Rename(const char* from, const char* to, unsigned int flags) {
  Delay();
  return Result(renameat2(AT_FDCWD, Backing(from).c_str(), AT_FDCWD, Backing(to).c_str(), flags));
}

int Link(const char* from, const char* to) {
  Delay();
  return Result(link(Backing(from).c_str(), Backing(to).c_str()));
}

int ChangeMode(const char* path, mode_t mode, fuse_file_info* file) {
  Delay();
  if (file) return Result(fchmod(static_cast<int>(file->fh), mode));
  return Result(chmod(Backing(path).c_str(), mode));
}

int ChangeOwner(const char* path, uid_t uid, gid_t gid, fuse_file_info* file) {
  Delay();
  if (file) return Result(fchown(static_cast<int>(file->fh), uid, gid));
  return Result(lchown(Backing(path).c_str(), uid, gid));
}

int Truncate(const char* path, off_t size, fuse_file_info* file) {
  Delay();
  if (file) return Result(ftruncate(static_cast<int>(file->fh), size));
  return Result(truncate(Backing(path).c_str(), size));
}

int SetTimes(const char* path, const struct timespec times[2], fuse_file_info* file) {
  Delay();
  if (file) return Result(futimens(static_cast<int>(file->fh), times));
  return Result(utimensat(AT_FDCWD, Backing(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int Create(const char* path, mode_t mode, fuse_file_info* file) {
  Delay();
  const int fd = open(Backing(path).c_str(), file->flags, mode);
  if (fd < 0) return -errno;
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Open(const char* path, fuse_file_info* file) {
  Delay();
  const int fd = open(Backing(path).c_str(), file->flags);
  if (fd < 0) return -errno;
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  Delay();
  const ssize_t got = pread(static_cast<int>(file->fh), buffer, size, offset);
  return got >= 0 ? static_cast<int>(got) : -errno;
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  Delay();
  const ssize_t put = pwrite(static_cast<int>(file->fh), buffer, size, offset);
  return put >= 0 ? static_cast<int>(put) : -errno;
}

int StatFs(const char* path, struct statvfs* st) {
  Delay();
  return Result(statvfs(Backing(path).c_str(), st));
}

int Flush(const char*, fuse_file_info*) {
  Delay();
  return 0;
}

int Release(const char*, fuse_file_info* file) {
  Delay();
  close(static_cast<int>(file->fh));
  return 0;
}

int Fsync(const char*, int dataOnly, fuse_file_info* file) {
  Delay();
  const int fd = static_cast<int>(file->fh);
  return Result(dataOnly ? fdatasync(fd) : fsync(fd));
}

int SetXattr(const char* path, const char* name, const char* value, size_t size, int flags) {
  Delay();
  return Result(lsetxattr(Backing(path).c_str(), name, value, size, flags));
}

int GetXattr(const char* path, const char* name, char* value, size_t size) {
  Delay();
  const ssize_t got = lgetxattr(Backing(path).c_str(), name, value, size);
  return got >= 0 ? static_cast<int>(got) : -errno;
}

int ListXattr(const char* path, char* list, size_t size) {
  Delay();
  const ssize_t got = llistxattr(Backing(path).c_str(), list, size);
  return got >= 0 ? static_cast<int>(got) : -errno;
}

int RemoveXattr(const char* path, const char* name) {
  Delay();
  return Result(lremovexattr(Backing(path).c_str(), name));
}

// Lookups in one folder must reach the layer side by side, as a share's client sends them, or
// every parallel call would wait for the one before. libfuse 3.14 asks for that by default
// (FUSE_CAP_PARALLEL_DIROPS) but leaves the flag out of its answer to the kernel's INIT, so the
// kernel sends one lookup of a folder at a time: the flag is put into that answer, the first
// message the layer writes (its header, then struct fuse_init_out).
bool answeredInit = false;

ssize_t WriteToKernel(int fd, struct iovec* iov, int count, void*) {
  if (!answeredInit && count >= 2 && iov[1].iov_len >= sizeof(fuse_init_out)) {
    answeredInit = true;
    static_cast<fuse_init_out*>(iov[1].iov_base)->flags |= FUSE_PARALLEL_DIROPS;
  }
  return writev(fd, iov, count);
}

ssize_t ReadFromKernel(int fd, void* buffer, size_t size, void*) { return read(fd, buffer, size); }

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--delay-ms MS] [--cache-seconds S] [--threads N] [--count FILE] "
               "BACKING MOUNTPOINT [FUSE options]\n",
               program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double delayMs = 1.0;
  int threads = 64;
  int arg = 1;
  for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
    if (std::strcmp(argv[arg], "--count") == 0) {
      // Made absolute now: the daemon leaves the working folder.
      char* folder = getcwd(nullptr, 0);
      countFile = argv[arg + 1][0] == '/' ? argv[arg + 1] : std::string(folder) + "/" + argv[arg + 1];
      std::free(folder);
      continue;
    }
    char* end = nullptr;
    const double value = std::strtod(argv[arg + 1], &end);
    if (*end != '\0' || value < 0) return Usage(argv[0]);
    if (std::strcmp(argv[arg], "--delay-ms") == 0) {
      delayMs = value;
    } else if (std::strcmp(argv[arg], "--cache-seconds") == 0) {
      cacheSeconds = value;
    } else if (std::strcmp(argv[arg], "--threads") == 0 && value >= 1) {
      threads = static_cast<int>(value);
    } else {
      return Usage(argv[0]);
    }
  }
  if (argc - arg < 2) return Usage(argv[0]);
  const long delayNs = static_cast<long>(delayMs * 1e6);
  requestDelay = {delayNs / 1'000'000'000, delayNs % 1'000'000'000};
  char* backing = realpath(argv[arg], nullptr);
  if (!backing) {
    std::perror(argv[arg]);
    return 1;
  }
  backingRoot = backing;
  std::free(backing);
  if (backingRoot == "/") backingRoot.clear();
  // Sleeps end when they are due, not up to the default 50 us later: a 0.2 ms delay stays one.
  // The threads that serve requests inherit this.
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

  fuse_operations operations{};
  operations.init = Init;
  operations.destroy = Destroy;
  operations.getattr = GetAttr;
  operations.access = Access;
  operations.readlink = ReadLink;
  operations.opendir = OpenDir;
  operations.readdir = ReadDir;
  operations.releasedir = ReleaseDir;
  operations.fsyncdir = FsyncDir;
  operations.mknod = MakeNode;
  operations.mkdir = MakeDir;
  operations.unlink = Unlink;
  operations.rmdir = RemoveDir;
  operations.symlink = SymLink;
  operations.rename = Rename;
  operations.link = Link;
  operations.chmod = ChangeMode;
  operations.chown = ChangeOwner;
  operations.truncate = Truncate;
  operations.utimens = SetTimes;
  operations.create = Create;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.statfs = StatFs;
  operations.flush = Flush;
  operations.release = Release;
  operations.fsync = Fsync;
  operations.setxattr = SetXattr;
  operations.getxattr = GetXattr;
  operations.listxattr = ListXattr;
  operations.removexattr = RemoveXattr;

  // FUSE sees the program name, the mount point and the options after it.
  std::vector<char*> fuseArgv{argv[0]};
  fuseArgv.insert(fuseArgv.end(), argv + arg + 1, argv + argc);
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(fuseArgv.size()), fuseArgv.data());
  fuse_cmdline_opts options{};
  if (fuse_parse_cmdline(&args, &options) != 0 || !options.mountpoint) return Usage(argv[0]);
  fuse* fs = fuse_new(&args, &operations, sizeof operations, nullptr);
  if (!fs || fuse_mount(fs, options.mountpoint) != 0) return 1;
  fuse_session* session = fuse_get_session(fs);
  fuse_custom_io io{};
  io.writev = WriteToKernel;
  io.read = ReadFromKernel;
  if (fuse_session_custom_io(session, &io, fuse_session_fd(session)) != 0) return 1;
  // Mounted before the program goes to the background: a script may use the mount at once.
  fuse_daemonize(options.foreground);
  fuse_set_signal_handlers(session);
  fuse_loop_config* loop = fuse_loop_cfg_create();
  fuse_loop_cfg_set_max_threads(loop, static_cast<unsigned>(threads));
  const int result = fuse_loop_mt(fs, loop);
  fuse_loop_cfg_destroy(loop);
  fuse_remove_signal_handlers(session);
  fuse_unmount(fs);
  fuse_destroy(fs);
  std::free(options.mountpoint);
  fuse_opt_free_args(&args);
  return result == 0 ? 0 : 1;
}
