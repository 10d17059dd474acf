// Test helpers on POSIX: local times under TZ, and running a check as another user.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_tree.h"

namespace tokiren::testing {
namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

std::filesystem::path WholeTreePath(const std::string& utf8) { return utf8; }

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
