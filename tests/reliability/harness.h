// The reliability suite's tools: a manifest of a tree taken before and matched after, trees made
// for the cases, and tokiren-cli run as a real process (under strace where a fault is injected,
// as an unprivileged user when the suite runs as root).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tokiren::reliability {

// One regular file of a tree, by its path relative to the tree's root.
struct FileRecord {
  ino_t inode = 0;
  off_t size = 0;
  std::uint64_t hash = 0;  // of the contents
  bool operator==(const FileRecord&) const = default;
};

struct Manifest {
  std::map<std::string, FileRecord> files;  // regular files
  std::map<std::string, char> others;       // folders 'd', links 'l', fifos 'p', sockets 's'
};

// Walks the tree below `root` through folder handles, so trees deeper than an absolute path can
// name are taken whole. Links are recorded, never followed.
Manifest TakeManifest(const std::string& root);

// The renames a log records: old path to new path, both relative to `root`. Lines that do not
// split into two paths of one folder below `root`, and an unterminated last line, are left out.
std::map<std::string, std::string> LoggedRenames(const std::string& logText,
                                                 const std::string& root);

// What a check found wrong; empty when the tree is sound.
using Problems = std::vector<std::string>;

// After a run, killed or not: every file of `before` stands, unchanged, at its old path or at the
// new path its log line records; nothing else stands, apart from `created` (paths another
// process made during the run); files in `deleted`, and everything below a folder there named
// with a trailing "/", may be gone. Links, folders and the rest are untouched.
Problems CheckAfterRun(const Manifest& before, const Manifest& after,
                       const std::map<std::string, std::string>& logged,
                       const std::set<std::string>& created = {},
                       const std::set<std::string>& deleted = {});

// The tree stands exactly as before: every name, inode and content.
Problems CheckSame(const Manifest& before, const Manifest& after);

std::string Describe(const Problems& problems);

// A tree of `files` .jpg files (with some .png, .txt and hidden files beside them) in folders of
// up to `perFolder` files, two levels deep, with last-write times spread over years and about one
// in twenty sharing a second with another file of its folder. Deterministic for a seed.
void MakeTree(const std::string& root, int files, unsigned seed, int perFolder = 200);

// A fresh temporary folder (made world-writable so an unprivileged child can use it), removed
// with everything below it, however deep, when the object goes.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }  // no trailing "/"
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Hands everything below `root` to the user the children run as (nobody, when the suite runs as
// root); does nothing otherwise.
void GiveToChildUser(const std::string& root);
bool RunningAsRoot();

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

struct Outcome {
  bool exited = false;
  int exitCode = -1;  // when exited
  int signal = 0;     // when killed
  std::string output; // stdout and stderr together
};

struct CliCall {
  std::vector<std::string> args;   // after "tokiren-cli"
  std::vector<std::string> strace = {};  // strace options; empty: no strace
};

// Starts tokiren-cli (under strace when asked) as a child; its output goes to `outputFile`.
pid_t StartCli(const CliCall& call, const std::string& outputFile);
Outcome WaitCli(pid_t child, const std::string& outputFile);
Outcome RunCli(const CliCall& call);

// Arguments of a run over `tree` with its log in `logDir`, acting on .jpg files.
std::vector<std::string> RunArgs(const std::string& tree, const std::string& logDir);
std::vector<std::string> ResetArgs(const std::string& logDir);

// The log of `logDir` ("" when there is none).
std::string LogText(const std::string& logDir);

bool HaveStrace();

// Totals over the suite, printed at its end for the record.
struct Tally {
  int cases = 0;
  int faults = 0;
  int crashPoints = 0;
  long filesChecked = 0;
  long filesLost = 0;
};
Tally& SuiteTally();

}  // namespace tokiren::reliability
