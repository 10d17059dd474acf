// Test helpers: a temporary folder tree removed at the end, file times, time zones, and running a
// check as an unprivileged user (POSIX). Paths are UTF-8, as the program holds them.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tokiren::testing {

// A unique temporary folder, removed with everything in it when the object goes.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The folder's absolute path, ending with the path separator.
  const std::string& path() const { return path_; }
  // The full path of `relative`, written with "/" on every system (Windows: turned into "\\").
  std::string operator/(const std::string& relative) const;

  // Creates a file (and its folders) with `content` and, when given, a last-write time.
  std::string Write(const std::string& relative, const std::string& content = "",
                    std::time_t lastWrite = -1) const;
  std::string MakeFolder(const std::string& relative) const;
  // Creates or replaces the file at the full path `path`.
  static void WriteFile(const std::string& path, const std::string& content);
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;  // any kind of entry, links not followed
  // The names of a folder's entries of every kind, sorted bytewise.
  std::vector<std::string> Names(const std::string& relative = "") const;

 private:
  std::string path_;
};

// Seconds since the epoch of a local calendar time: under the current TZ on POSIX, under the
// process's zone (the one the platform layer uses) on Windows.
std::time_t LocalTimestamp(int year, int month, int day, int hour, int minute, int second);

// Sets TZ for the life of the object and restores it afterwards. Windows keeps the zone a process
// started with (Wine: TZ at the start), so there the object only sets the variable, and CTest
// starts each test program in the zone its cases use.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();

 private:
  bool hadZone_;
  std::string oldZone_;
};

// POSIX only. Runs `check` in a child process as an unprivileged user (when running as root, the child drops
// to nobody first) and returns the child's exit status: 0 when `check` returned true. Folders the
// child must reach should be made world-readable by the caller.
int RunUnprivileged(const std::function<bool()>& check);

}  // namespace tokiren::testing
