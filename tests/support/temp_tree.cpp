// Test helpers.
#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tokiren::testing {
namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

TempTree::TempTree() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tokiren-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  chmod(pattern.c_str(), 0755);
  path_ = pattern + "/";
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Folders a test locked must be opened again before they can be emptied.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

std::string TempTree::Write(const std::string& relative, const std::string& content,
                            std::time_t lastWrite) const {
  const std::string full = path_ + relative;
  fs::create_directories(fs::path(full).parent_path());
  WriteFile(full, content);
  if (lastWrite >= 0) {
    const struct timespec times[2] = {{lastWrite, 0}, {lastWrite, 0}};
    utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
  return full;
}

void TempTree::WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string TempTree::MakeFolder(const std::string& relative) const {
  const std::string full = path_ + relative;
  fs::create_directories(full);
  return full;
}

std::string TempTree::Read(const std::string& relative) const {
  std::ifstream in(path_ + relative, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool TempTree::Exists(const std::string& relative) const {
  struct stat st;
  return lstat((path_ + relative).c_str(), &st) == 0;
}

std::vector<std::string> TempTree::Names(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_ + relative)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::time_t LocalTimestamp(int year, int month, int day, int hour, int minute, int second) {
  struct tm fields {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;
  return mktime(&fields);
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  const char* old = std::getenv("TZ");
  hadZone_ = old != nullptr;
  if (old) oldZone_ = old;
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadZone_) {
    setenv("TZ", oldZone_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

int RunUnprivileged(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                           setuid(kNobody) != 0)) {
      _exit(3);
    }
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tokiren::testing
