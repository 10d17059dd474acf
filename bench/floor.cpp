// The floor: the least a rename run or an undo must do, as plain system calls, to measure the
// program against. It lists each folder once (unsorted), reads each matching file's last-write
// time, formats the local stamp, tests the new name, writes the log line and renames without
// replacing; folders are reached through open folder handles, so no full path is looked up twice.
//
//   tokiren-floor run ROOT LOG [--no-sync] [--claim] [--jobs N]
//                                            rename every *.jpg below ROOT, logging to LOG
//   tokiren-floor undo LOG [--jobs N]        rename back from LOG, last line first
//
// With sync, the log is written and synced before each group of renames, as the program does;
// --no-sync leaves the log to the page cache. --claim renames as on a file system with neither
// the no-replace flag nor links: the new name made empty (mknodat), then renamed over.
//
// --jobs N: only the calls that cannot be left out, made by N threads, as on a share where each
// call is a round trip: the folders are listed (one thread), the times read by N threads, the new
// names decided against the listings (no existence test), the log written and synced, and the
// renames made by N threads; an undo renames back by N threads (the floor's own log names every
// file once, so no rename back waits for another) without testing the names first. The threads
// take the calls one folder after another in turn, so that several folders are worked in at once.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

constexpr size_t kRenamesPerSync = 4096;

struct Rename {
  int folder;  // index into Floor::folders_
  std::string oldName, newName;
};

// Calls `work(i)` for every i below `count`, from `jobs` threads taking the next i in turn.
template <typename Work>
void InParallel(size_t count, int jobs, const Work& work) {
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < jobs; ++t) {
    threads.emplace_back([&] {
      for (size_t i; (i = next.fetch_add(1)) < count;) work(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// The order in which `count` calls go to the threads: one call of each folder in turn, so that
// calls of several folders are on their way at once (a kernel makes the renames of one folder one
// at a time). `folderOf(i)` tells call i's folder.
template <typename FolderOf>
std::vector<size_t> AcrossFolders(size_t count, const FolderOf& folderOf) {
  std::map<decltype(folderOf(0)), size_t> calls;  // of each folder so far
  std::vector<std::pair<size_t, size_t>> turns;   // (the call's turn in its folder, the call)
  for (size_t i = 0; i < count; ++i) turns.emplace_back(calls[folderOf(i)]++, i);
  std::stable_sort(turns.begin(), turns.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<size_t> order;
  for (const auto& turn : turns) order.push_back(turn.second);
  return order;
}

bool IsJpg(const std::string& name) {
  const size_t n = name.size();
  return n >= 4 && strcasecmp(name.c_str() + n - 4, ".jpg") == 0;
}

// The stamp of a last-write time, in local time.
std::string StampOf(time_t seconds) {
  struct tm t;
  localtime_r(&seconds, &t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return stamp;
}

// The stamp counted up by one in its last five digits, as the program does past a taken name.
void CountUp(std::string* base) {
  char digits[8];
  const int counter = (std::atoi(base->c_str() + base->size() - 5) + 1) % 100000;
  std::snprintf(digits, sizeof digits, "%05d", counter);
  base->replace(base->size() - 5, 5, digits);
}

[[noreturn]] void Die(const char* what) {
  std::perror(what);
  std::exit(1);
}

// Lists the folder `dir` (at `path`) once: its ordinary files and its subfolders, dot-names left out.
void ListFolder(int dir, const std::string& path, std::vector<std::string>* files,
                std::vector<std::string>* subfolders) {
  DIR* listing = fdopendir(dup(dir));
  if (!listing) Die(path.c_str());
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG) files->emplace_back(entry->d_name);
    if (type == DT_DIR) subfolders->emplace_back(entry->d_name);
  }
  closedir(listing);
}

// Every folder's handle stays open until the renames are made: allow as many as the system will.
void RaiseHandleLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// The floor of --jobs N.
class ParallelFloor {
 public:
  ParallelFloor(int log, bool sync, int jobs) : log_(log), sync_(sync), jobs_(jobs) {}

  void Walk(int dir, const std::string& path) {
    std::vector<std::string> names, subfolders;
    ListFolder(dir, path, &names, &subfolders);
    const int folder = static_cast<int>(folders_.size());
    folders_.push_back(Folder{dir, path, {}});
    for (std::string& name : names) {
      if (IsJpg(name)) files_.push_back(File{folder, name, 0, false});
      folders_.back().names.insert(std::move(name));
    }
    for (const std::string& name : subfolders) {
      const int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) Die(name.c_str());
      Walk(sub, path + "/" + name);
    }
  }

  void ReadTimes() {
    const std::vector<size_t> order =
        AcrossFolders(files_.size(), [&](size_t i) { return files_[i].folder; });
    InParallel(files_.size(), jobs_, [&](size_t k) {
      File& file = files_[order[k]];
      struct statx stx;
      file.read = statx(folders_[static_cast<size_t>(file.folder)].fd, file.name.c_str(),
                        AT_SYMLINK_NOFOLLOW, STATX_MTIME, &stx) == 0;
      file.time = static_cast<time_t>(stx.stx_mtime.tv_sec);
    });
  }

  // Decides every new name against the listings and the names given before, then renames in
  // batches, each batch's log lines on the disk first.
  void RenameAll() {
    std::vector<Rename> renames;
    std::string lines;
    for (const File& file : files_) {
      if (!file.read) continue;
      Folder& folder = folders_[static_cast<size_t>(file.folder)];
      std::string base = StampOf(file.time);
      for (int tries = 0; tries < 100000; ++tries, CountUp(&base)) {
        std::string newName = base + ".JPG";
        if (newName == file.name) break;
        if (folder.names.count(newName)) continue;
        lines += folder.path + "/" + file.name + " as " + folder.path + "/" + newName + "\r\n";
        folder.names.insert(newName);
        renames.push_back({file.folder, file.name, std::move(newName)});
        break;
      }
      if (renames.size() >= kRenamesPerSync) Flush(&renames, &lines);
    }
    Flush(&renames, &lines);
  }

 private:
  struct Folder {
    int fd;
    std::string path;
    std::unordered_set<std::string> names;  // listed and given by this run
  };
  struct File {
    int folder;
    std::string name;
    time_t time;
    bool read;
  };

  void Flush(std::vector<Rename>* renames, std::string* lines) {
    if (write(log_, lines->data(), lines->size()) != static_cast<ssize_t>(lines->size())) {
      Die("log");
    }
    if (sync_ && fdatasync(log_) != 0) Die("sync");
    const std::vector<size_t> order =
        AcrossFolders(renames->size(), [&](size_t i) { return (*renames)[i].folder; });
    InParallel(renames->size(), jobs_, [&](size_t k) {
      const Rename& r = (*renames)[order[k]];
      const int dir = folders_[static_cast<size_t>(r.folder)].fd;
      if (renameat2(dir, r.oldName.c_str(), dir, r.newName.c_str(), RENAME_NOREPLACE) != 0) {
        Die(r.oldName.c_str());
      }
    });
    renames->clear();
    lines->clear();
  }

  int log_;
  bool sync_;
  int jobs_;
  std::vector<Folder> folders_;
  std::vector<File> files_;
};

class Floor {
 public:
  Floor(int log, bool sync, bool claim) : log_(log), sync_(sync), claim_(claim) {}

  void Walk(int dir, const std::string& path) {
    std::vector<std::string> files, subfolders;
    ListFolder(dir, path, &files, &subfolders);

    const int folder = static_cast<int>(folders_.size());
    folders_.push_back(dir);
    waiting_.push_back(0);
    std::unordered_set<std::string> taken;  // names this run gives in this folder
    for (const std::string& name : files) {
      if (!IsJpg(name)) continue;
      struct statx stx;
      if (statx(dir, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MTIME, &stx) != 0) continue;
      std::string base = StampOf(static_cast<time_t>(stx.stx_mtime.tv_sec));
      for (int tries = 0; tries < 100000; ++tries, CountUp(&base)) {
        std::string newName = base + ".JPG";
        if (newName == name) break;
        struct stat st;
        const bool exists = taken.count(newName) ||
                            (fstatat(dir, newName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISREG(st.st_mode));
        if (!exists) {
          lines_ += path + "/" + name + " as " + path + "/" + newName + "\r\n";
          taken.insert(newName);
          pending_.push_back({folder, name, std::move(newName)});
          waiting_[static_cast<size_t>(folder)] = 1;
          break;
        }
      }
      if (pending_.size() >= kRenamesPerSync) Flush();
    }
    for (const std::string& name : subfolders) {
      const int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) Die(name.c_str());
      Walk(sub, path + "/" + name);
    }
    // A folder handle stays open while renames wait for it.
    if (waiting_[static_cast<size_t>(folder)]) {
      finished_.push_back(folder);
    } else {
      close(dir);
    }
  }

  void Flush() {
    if (write(log_, lines_.data(), lines_.size()) != static_cast<ssize_t>(lines_.size())) {
      Die("log");
    }
    if (sync_ && fdatasync(log_) != 0) Die("sync");
    for (const Rename& r : pending_) {
      const int dir = folders_[static_cast<size_t>(r.folder)];
      const bool renamed =
          claim_ ? mknodat(dir, r.newName.c_str(), S_IFREG | 0600, 0) == 0 &&
                       renameat(dir, r.oldName.c_str(), dir, r.newName.c_str()) == 0
                 : renameat2(dir, r.oldName.c_str(), dir, r.newName.c_str(), RENAME_NOREPLACE) == 0;
      if (!renamed) Die(r.oldName.c_str());
      waiting_[static_cast<size_t>(r.folder)] = 0;
    }
    for (const int folder : finished_) close(folders_[static_cast<size_t>(folder)]);
    finished_.clear();
    pending_.clear();
    lines_.clear();
  }

 private:
  int log_;
  bool sync_;
  bool claim_;
  std::vector<int> folders_;     // handles by folder number
  std::vector<char> waiting_;    // folders with renames waiting for the next flush
  std::vector<int> finished_;    // walked folders whose handles wait for that flush
  std::vector<Rename> pending_;
  std::string lines_;
};

// `jobs` 0: the sequential undo, which tests each new name before renaming it back.
int Undo(const char* logPath, int jobs) {
  const int log = open(logPath, O_RDWR);
  if (log < 0) Die(logPath);
  std::string contents;
  char buffer[1 << 16];
  for (ssize_t got; (got = read(log, buffer, sizeof buffer)) > 0;) contents.append(buffer, got);
  std::vector<std::pair<size_t, size_t>> lines;  // start and length of each line
  for (size_t start = 0, end; (end = contents.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.emplace_back(start, end - start);
  }
  if (jobs > 0) {
    const std::vector<size_t> order = AcrossFolders(lines.size(), [&](size_t i) {
      const auto& [start, length] = lines[lines.size() - 1 - i];
      const std::string_view line(contents.data() + start, length);
      return line.substr(0, line.rfind('/'));
    });
    InParallel(lines.size(), jobs, [&](size_t k) {
      const auto& [start, length] = lines[lines.size() - 1 - order[k]];
      const std::string line = contents.substr(start, length);
      const size_t as = line.rfind(" as ");
      const std::string oldPath = line.substr(0, as), newPath = line.substr(as + 4);
      if (renameat2(AT_FDCWD, newPath.c_str(), AT_FDCWD, oldPath.c_str(), RENAME_NOREPLACE) != 0 &&
          errno != ENOENT) {
        Die(newPath.c_str());
      }
    });
  }
  for (auto it = lines.rbegin(); jobs == 0 && it != lines.rend(); ++it) {
    const std::string line = contents.substr(it->first, it->second);
    const size_t as = line.rfind(" as ");
    const std::string oldPath = line.substr(0, as), newPath = line.substr(as + 4);
    struct stat st;
    if (lstat(newPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (renameat2(AT_FDCWD, newPath.c_str(), AT_FDCWD, oldPath.c_str(), RENAME_NOREPLACE) != 0) {
      Die(newPath.c_str());
    }
  }
  if (ftruncate(log, 0) != 0 || fsync(log) != 0) Die(logPath);
  close(log);
  return 0;
}

}  // namespace

int Usage() {
  std::fprintf(stderr,
               "usage: tokiren-floor run ROOT LOG [--no-sync] [--claim] [--jobs N] | "
               "undo LOG [--jobs N]\n");
  return 2;
}

int main(int argc, char** argv) {
  const bool undo = argc >= 3 && std::strcmp(argv[1], "undo") == 0;
  if (!undo && (argc < 4 || std::strcmp(argv[1], "run") != 0)) return Usage();
  bool sync = true, claim = false;
  int jobs = 0;
  for (int i = undo ? 3 : 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-sync") == 0) {
      sync = false;
    } else if (std::strcmp(argv[i], "--claim") == 0) {
      claim = true;
    } else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      jobs = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (undo) return Undo(argv[2], jobs);
  const int log = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int root = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (log < 0 || root < 0) Die("open");
  std::string path = argv[2];
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (jobs > 0) {
    if (claim) return Usage();
    RaiseHandleLimit();
    ParallelFloor floor(log, sync, jobs);
    floor.Walk(root, path);
    floor.ReadTimes();
    floor.RenameAll();
    return 0;
  }
  Floor floor(log, sync, claim);
  floor.Walk(root, path);
  floor.Flush();
  return 0;
}
