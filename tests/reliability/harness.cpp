// The reliability suite's tools.
#include "tests/reliability/harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tokiren::reliability {
namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

std::uint64_t HashOf(int fd) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  char buffer[1 << 14];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
    for (ssize_t i = 0; i < got; ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
  }
  return hash;
}

// The entries of the open folder `dir` (without "." and ".."), from a handle of its own.
std::vector<std::string> EntriesOf(int dir) {
  std::vector<std::string> names;
  const int copy = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = copy >= 0 ? fdopendir(copy) : nullptr;
  if (!listing) {
    if (copy >= 0) close(copy);
    return names;
  }
  while (const dirent* entry = readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names.emplace_back(entry->d_name);
    }
  }
  closedir(listing);
  return names;
}

void Walk(int dir, const std::string& relative, Manifest* manifest) {
  for (const std::string& name : EntriesOf(dir)) {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string path = Join(relative, name);
    if (S_ISREG(st.st_mode)) {
      FileRecord record{st.st_ino, st.st_size, 0};
      const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
      if (fd >= 0) {
        record.hash = HashOf(fd);
        close(fd);
      }
      manifest->files[path] = record;
    } else if (S_ISDIR(st.st_mode)) {
      manifest->others[path] = 'd';
      const int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        Walk(sub, path, manifest);
        close(sub);
      }
    } else {
      manifest->others[path] = S_ISLNK(st.st_mode) ? 'l' : S_ISFIFO(st.st_mode) ? 'p'
                               : S_ISSOCK(st.st_mode) ? 's' : '?';
    }
  }
}

void RemoveBelow(int dir) {
  for (const std::string& name : EntriesOf(dir)) {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      fchmodat(dir, name.c_str(), 0700, 0);
      const int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        RemoveBelow(sub);
        close(sub);
      }
      unlinkat(dir, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(dir, name.c_str(), 0);
    }
  }
}

void ChownBelow(int dir) {
  for (const std::string& name : EntriesOf(dir)) {
    fchownat(dir, name.c_str(), kNobody, kNoGroup, AT_SYMLINK_NOFOLLOW);
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      const int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        ChownBelow(sub);
        close(sub);
      }
    }
  }
}

void WriteWithTime(const std::string& path, const std::string& content, std::time_t when) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("create " + path);
  if (write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
    Fail("write " + path);
  }
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  futimens(fd, times);
  close(fd);
}

std::string Stamp(std::time_t when) {
  struct tm fields {};
  gmtime_r(&when, &fields);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &fields);
  return text;
}

}  // namespace

Manifest TakeManifest(const std::string& root) {
  Manifest manifest;
  const int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) Fail("open " + root);
  Walk(dir, "", &manifest);
  close(dir);
  return manifest;
}

std::map<std::string, std::string> LoggedRenames(const std::string& logText,
                                                 const std::string& root) {
  std::map<std::string, std::string> renames;
  const std::string prefix = root + "/";
  size_t start = 0;
  for (size_t end; (end = logText.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = logText.substr(start, end - start);
    for (size_t as = line.find(" as "); as != std::string::npos; as = line.find(" as ", as + 1)) {
      const std::string from = line.substr(0, as), to = line.substr(as + 4);
      const size_t slash = from.rfind('/');
      if (slash == std::string::npos || to.compare(0, slash + 1, from, 0, slash + 1) != 0 ||
          to.find('/', slash + 1) != std::string::npos || to.size() == slash + 1) {
        continue;
      }
      if (from.compare(0, prefix.size(), prefix) == 0) {
        renames[from.substr(prefix.size())] = to.substr(prefix.size());
      }
      break;
    }
  }
  return renames;
}

namespace {

// Whether `path` is in `deleted`, itself or below a folder there named with a trailing "/".
bool IsDeleted(const std::set<std::string>& deleted, const std::string& path) {
  if (deleted.contains(path) || deleted.contains(path + "/")) return true;
  for (size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (deleted.contains(path.substr(0, slash + 1))) return true;
  }
  return false;
}

}  // namespace

Problems CheckAfterRun(const Manifest& before, const Manifest& after,
                       const std::map<std::string, std::string>& logged,
                       const std::set<std::string>& created, const std::set<std::string>& deleted) {
  Problems problems;
  std::set<std::string> accounted;
  SuiteTally().filesChecked += static_cast<long>(before.files.size());
  for (const auto& [path, record] : before.files) {
    const auto check = [&](const std::string& where) {
      const auto found = after.files.find(where);
      if (found == after.files.end() || found->second.inode != record.inode) return false;
      if (found->second != record) problems.push_back("changed: " + path + " at " + where);
      accounted.insert(where);
      return true;
    };
    const auto line = logged.find(path);
    if (check(path)) continue;
    if (line != logged.end() && check(line->second)) continue;
    if (IsDeleted(deleted, path)) continue;
    problems.push_back("lost: " + path + (line == logged.end()
                                              ? " (no log line)"
                                              : " (logged as " + line->second + ")"));
    ++SuiteTally().filesLost;
  }
  std::map<std::string, std::string> oldNameOf;
  for (const auto& [from, to] : logged) oldNameOf[to] = from;
  for (const auto& [path, record] : after.files) {
    if (accounted.contains(path)) {
      if (created.contains(path)) problems.push_back("replaced a file made meanwhile: " + path);
      continue;
    }
    if (created.contains(path)) continue;
    // A second name of a logged file: the link a rename made before its unlink was cut off.
    // Nothing is lost; the next run or Reset takes it away.
    const auto from = oldNameOf.find(path);
    if (from != oldNameOf.end()) {
      const auto original = before.files.find(from->second);
      if (original != before.files.end() && original->second == record) continue;
    }
    problems.push_back("unexpected file: " + path);
  }
  for (const std::string& path : created) {
    if (!after.files.contains(path)) problems.push_back("a file made meanwhile is gone: " + path);
  }
  std::map<std::string, char> others;
  for (const auto& [path, kind] : before.others) {
    if (!IsDeleted(deleted, path)) others.emplace(path, kind);
  }
  if (others != after.others) problems.push_back("folders, links or fifos changed");
  return problems;
}

Problems CheckSame(const Manifest& before, const Manifest& after) {
  Problems problems;
  SuiteTally().filesChecked += static_cast<long>(before.files.size());
  for (const auto& [path, record] : before.files) {
    const auto found = after.files.find(path);
    if (found == after.files.end()) {
      problems.push_back("missing: " + path);
      ++SuiteTally().filesLost;
    } else if (found->second != record) {
      problems.push_back("differs: " + path);
    }
  }
  for (const auto& [path, record] : after.files) {
    if (!before.files.contains(path)) problems.push_back("unexpected file: " + path);
  }
  if (before.others != after.others) problems.push_back("folders, links or fifos changed");
  return problems;
}

std::string Describe(const Problems& problems) {
  std::ostringstream text;
  text << problems.size() << " problems";
  for (size_t i = 0; i < problems.size() && i < 20; ++i) text << "\n  " << problems[i];
  return text.str();
}

void MakeTree(const std::string& root, int files, unsigned seed, int perFolder) {
  std::mt19937 random(seed);
  const std::time_t base = 1262304000;  // 2010-01-01 UTC
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  mkdir(root.c_str(), 0755);
  std::string folder;
  std::time_t previous = base;
  for (int i = 0; i < files; ++i) {
    if (i % perFolder == 0) {
      const int number = i / perFolder;
      std::string top = root + "/d" + std::to_string(number / 10);
      mkdir(top.c_str(), 0755);
      folder = top + "/s" + std::to_string(number % 10);
      mkdir(folder.c_str(), 0755);
      if (number % 7 == 3) {
        mkdir((folder + "/.thumbs").c_str(), 0755);
        WriteWithTime(folder + "/.thumbs/t" + std::to_string(i) + ".jpg", "thumb", base);
      }
    }
    const std::time_t when = pick(20) == 0 ? previous : base + pick(8 * 365 * 86400);
    previous = when;
    const std::string content = "photo " + std::to_string(i) + " " + std::to_string(random());
    const int kind = pick(40);
    std::string name = "IMG_" + std::to_string(10000 + i);
    if (kind == 0) {
      name = Stamp(when) + ".JPG";  // already carries its stamp
    } else if (kind == 1) {
      name += ".png";
    } else if (kind == 2) {
      name += ".txt";
    } else if (kind == 3) {
      name = "." + name + ".jpg";
    } else {
      name += kind % 2 ? ".JPG" : ".jpg";
    }
    WriteWithTime(folder + "/" + name, content, when);
  }
}

Scratch::Scratch() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tokiren-rel-XXXXXX";
  if (!mkdtemp(pattern.data())) Fail("mkdtemp");
  char* real = realpath(pattern.c_str(), nullptr);
  path_ = real ? real : pattern;
  std::free(real);
  chmod(path_.c_str(), 0755);
  if (RunningAsRoot() && chown(path_.c_str(), kNobody, kNoGroup) != 0) Fail("chown " + path_);
}

Scratch::~Scratch() {
  const int dir = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    RemoveBelow(dir);
    close(dir);
  }
  rmdir(path_.c_str());
}

bool RunningAsRoot() { return geteuid() == 0; }

void GiveToChildUser(const std::string& root) {
  if (!RunningAsRoot()) return;
  if (lchown(root.c_str(), kNobody, kNoGroup) != 0) Fail("chown " + root);
  const int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ChownBelow(dir);
  close(dir);
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[1 << 16];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  close(fd);
  return text;
}

void WriteFileText(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("create " + path);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    Fail("write " + path);
  }
  close(fd);
}

pid_t StartCli(const CliCall& call, const std::string& outputFile) {
  std::vector<std::string> argv;
  if (!call.strace.empty()) {
    argv = {"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null"};
    argv.insert(argv.end(), call.strace.begin(), call.strace.end());
  }
  argv.push_back(TOKIREN_CLI);
  argv.insert(argv.end(), call.args.begin(), call.args.end());
  // Every run and Reset makes its calls one after another, as the kill points and faults count
  // them (a tracer slows the calls enough for a program left to choose to take several threads);
  // TOKIREN_TEST_JOBS=N runs them with --jobs N: the suite against the calls made by N threads.
  const char* jobs = std::getenv("TOKIREN_TEST_JOBS");
  if (!call.args.empty() && (call.args[0] == "run" || call.args[0] == "reset")) {
    argv.insert(argv.end(), {"--jobs", jobs && *jobs ? jobs : "1"});
  }
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (output < 0) Fail("create " + outputFile);
  const pid_t child = fork();
  if (child < 0) Fail("fork");
  if (child == 0) {
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    setenv("TZ", "UTC", 1);
    if (RunningAsRoot() &&
        (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0)) {
      _exit(126);
    }
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  close(output);
  return child;
}

Outcome WaitCli(pid_t child, const std::string& outputFile) {
  Outcome outcome;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) Fail("waitpid");
  }
  outcome.exited = WIFEXITED(status);
  if (outcome.exited) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.output = ReadFileText(outputFile);
  return outcome;
}

Outcome RunCli(const CliCall& call) {
  Scratch scratch;
  const std::string output = scratch / "output";
  return WaitCli(StartCli(call, output), output);
}

std::vector<std::string> RunArgs(const std::string& tree, const std::string& logDir) {
  return {"run", tree, "--ext", "jpg", "--log-dir", logDir};
}

std::vector<std::string> ResetArgs(const std::string& logDir) {
  return {"reset", "--log-dir", logDir};
}

std::string LogText(const std::string& logDir) { return ReadFileText(logDir + "/tokiren_log.txt"); }

bool HaveStrace() { return access("/usr/bin/strace", X_OK) == 0; }

Tally& SuiteTally() {
  static Tally tally;
  return tally;
}

}  // namespace tokiren::reliability
