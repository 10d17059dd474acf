// tokiren-cli on a case-insensitive, case-preserving file system (casefold_fs over FUSE, standing
// in for a FAT memory card): names that differ only in case are one name there.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr auto kMountWait = std::chrono::seconds(10);
constexpr auto kMountPoll = std::chrono::milliseconds(20);

// 2016-08-30 12:48:42 in the zone the children run in (UTC).
std::time_t ShotTime() {
  struct tm fields {};
  fields.tm_year = 2016 - 1900;
  fields.tm_mon = 8 - 1;
  fields.tm_mday = 30;
  fields.tm_hour = 12;
  fields.tm_min = 48;
  fields.tm_sec = 42;
  return timegm(&fields);
}

void Touch(const std::string& path, std::time_t when) {
  WriteFileText(path, "content of " + path);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::string Fold(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

bool Ok(const Outcome& outcome) { return outcome.exited && outcome.exitCode == 0; }

// Whether tokiren-cli said it renamed exactly `count` files.
bool SaysRenamed(const Outcome& outcome, int count) {
  std::istringstream lines(outcome.output);
  const std::string wanted =
      std::to_string(count) + (count == 1 ? " file renamed" : " files renamed");
  for (std::string line; std::getline(lines, line);) {
    // The count of renames leads the line of the outcomes' counts.
    if (line == wanted || line.rfind(wanted + ", ", 0) == 0) return true;
  }
  return false;
}

// Where the file that stood at `oldPath` before the run stands now ("" when it is gone).
std::string NameNow(const Case& c, const Manifest& after, const std::string& oldPath) {
  const ino_t inode = c.before.files.at(oldPath).inode;
  for (const auto& [path, record] : after.files) {
    if (record.inode == inode) return path;
  }
  return "";
}

// Runs `argv` and returns its exit status (-1 when it did not exit).
int RunQuietly(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execvp(pointers[0], pointers.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Each test gets a fresh casefold_fs mount over an empty backing folder; cases are made on it.
// With the parameter, every spelling of a name reports an inode number of its own, as on
// exfat-fuse and fusefat.
class CaseInsensitiveTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
#ifndef CASEFOLD_FS
    GTEST_SKIP() << "casefold_fs was not built (libfuse3-dev is missing)";
#else
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
      GTEST_SKIP() << "FUSE cannot be mounted here: /dev/fuse: " << std::strerror(errno);
    }
    mkdir(backing_.c_str(), 0755);
    mkdir(point_.c_str(), 0755);
    GiveToChildUser(backing_);
    GiveToChildUser(point_);
    // Run as root, the program runs as another user, who may use the mount only with allow_other.
    std::vector<std::string> argv = {CASEFOLD_FS, backing_, point_, "-f", "-s",
                                     "-o", "default_permissions,fsname=casefold"};
    if (GetParam()) argv.insert(argv.begin() + 1, "--inode-per-spelling");
    if (RunningAsRoot()) argv.back() += ",allow_other";
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const int output = open(fuseOutput_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(output, 0) << std::strerror(errno);
    fuse_ = fork();
    ASSERT_GE(fuse_, 0) << std::strerror(errno);
    if (fuse_ == 0) {
      dup2(output, STDOUT_FILENO);
      dup2(output, STDERR_FILENO);
      execv(pointers[0], pointers.data());
      _exit(127);
    }
    close(output);
    const auto deadline = std::chrono::steady_clock::now() + kMountWait;
    while (!Mounted()) {
      int status = 0;
      if (waitpid(fuse_, &status, WNOHANG) == fuse_) {
        fuse_ = -1;
        GTEST_SKIP() << "FUSE cannot be mounted here: " << ReadFileText(fuseOutput_);
      }
      if (std::chrono::steady_clock::now() > deadline) {
        GTEST_SKIP() << "casefold_fs did not mount within " << kMountWait.count() << " s: "
                     << ReadFileText(fuseOutput_);
      }
      std::this_thread::sleep_for(kMountPoll);
    }
#endif
  }

  ~CaseInsensitiveTest() override {
    if (fuse_ <= 0) return;
    if (!Mounted() || RunQuietly({"fusermount3", "-u", point_}) != 0) kill(fuse_, SIGTERM);
    int status = 0;
    while (waitpid(fuse_, &status, 0) < 0 && errno == EINTR) {
    }
  }

  // The mount point, once the file system stands on it.
  const std::string& point() const { return point_; }

 private:
  bool Mounted() const {
    struct stat mount, parent;
    return stat(point_.c_str(), &mount) == 0 && stat(outer_.path().c_str(), &parent) == 0 &&
           mount.st_dev != parent.st_dev;
  }

  Scratch outer_;
  const std::string backing_ = outer_ / "backing";
  const std::string point_ = outer_ / "mount";
  const std::string fuseOutput_ = outer_ / "casefold_fs.out";
  pid_t fuse_ = -1;
};

// The file system the cases run on behaves as FAT does, or the cases below would prove nothing.
TEST_P(CaseInsensitiveTest, MountFindsEveryCaseVariantAndRefusesLinks) {
  Case c(0, 1, point());
  Touch(c.tree + "/Photo.jpg", ShotTime());
  struct stat stored, variant;
  ASSERT_EQ(lstat((c.tree + "/Photo.jpg").c_str(), &stored), 0);
  ASSERT_EQ(lstat((c.tree + "/PHOTO.JPG").c_str(), &variant), 0);
  EXPECT_EQ(stored.st_ino == variant.st_ino, !GetParam());  // one number, or one per spelling
  EXPECT_EQ(variant.st_mtime, ShotTime());
  EXPECT_EQ(open((c.tree + "/photo.JPG").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(renameat2(AT_FDCWD, (c.tree + "/photo.jpg").c_str(), AT_FDCWD,
                      (c.tree + "/PHOTO.JPG").c_str(), RENAME_NOREPLACE),
            -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(link((c.tree + "/Photo.jpg").c_str(), (c.tree + "/other.jpg").c_str()), -1);
  EXPECT_EQ(errno, EPERM);
  // A plain rename onto a spelling of the file's own name changes only the spelling.
  ASSERT_EQ(rename((c.tree + "/photo.jpg").c_str(), (c.tree + "/PHOTO.jpg").c_str()), 0);
  const Manifest after = TakeManifest(c.tree);
  ASSERT_EQ(after.files.size(), 1u);
  EXPECT_EQ(after.files.begin()->first, "PHOTO.jpg");
  EXPECT_EQ(after.files.begin()->second.inode, stored.st_ino);
}

// A file already named after its own time, but with a lower-case extension, beside two files of
// the same second.
void MakeSameSecondFolder(Case& c) {
  Touch(c.tree + "/20160830124842.jpg", ShotTime());
  Touch(c.tree + "/IMG_0001.JPG", ShotTime());
  Touch(c.tree + "/IMG_0002.jpg", ShotTime());
  c.Retake();
}

// Every file of MakeSameSecondFolder stands at a name of its own time, counted up only past the
// names the others hold.
void ExpectOwnStamps(const Case& c) {
  const Manifest after = TakeManifest(c.tree);
  const std::string named = NameNow(c, after, "20160830124842.jpg");
  EXPECT_EQ(Fold(named), "20160830124842.jpg")
      << "the file named after its own time now stands at '" << named << "'";
  EXPECT_EQ(NameNow(c, after, "IMG_0001.JPG"), "20160830124843.JPG");
  EXPECT_EQ(NameNow(c, after, "IMG_0002.jpg"), "20160830124844.JPG");
}

TEST_P(CaseInsensitiveTest, FileNamedAfterItsOwnTimeKeepsItsStamp) {
  Case c(0, 1, point());
  MakeSameSecondFolder(c);
  const Outcome run = RunOn(c);
  ASSERT_TRUE(Ok(run)) << run.output;
  ExpectMatchesLog(c);
  ExpectOwnStamps(c);
  // One Reset gives every file its old name back.
  const Outcome reset = ResetOn(c);
  EXPECT_TRUE(Ok(reset)) << reset.output;
  const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << "after Reset: " << Describe(problems);
}

TEST_P(CaseInsensitiveTest, SecondRunRenamesNothing) {
  Case c(0, 1, point());
  MakeSameSecondFolder(c);
  const Outcome first = RunOn(c);
  ASSERT_TRUE(Ok(first)) << first.output;
  const Manifest afterFirst = TakeManifest(c.tree);
  const Outcome second = RunOn(c);
  ASSERT_TRUE(Ok(second)) << second.output;
  EXPECT_TRUE(SaysRenamed(second, 0)) << second.output;
  const Problems problems = CheckSame(afterFirst, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << "the second run changed the tree: " << Describe(problems);
  ExpectOwnStamps(c);
  // The second run renamed nothing, so the first run's log is still the way back.
  ExpectResetRestores(c);
}

// A generated tree, acted on as ".JPG": every rename goes through the no-replace flag (the file
// system has no links to fall back on), and a second run finds every file already named.
TEST_P(CaseInsensitiveTest, GeneratedTreeIsRenamedOnceAndRestored) {
  Case c(1200, 21, point());
  const CliCall run{{"run", c.tree, "--ext", ".JPG", "--log-dir", c.logs}, {}};
  const Outcome first = RunCli(run);
  ASSERT_TRUE(Ok(first)) << first.output;
  ExpectMatchesLog(c);
  EXPECT_GT(RenamedCount(c), 1000u);
  ExpectResetRestores(c);

  // Run twice from the restored tree: the second run leaves the first one's work alone.
  ASSERT_TRUE(Ok(RunCli(run)));
  const Manifest afterFirst = TakeManifest(c.tree);
  const Outcome second = RunCli(run);
  ASSERT_TRUE(Ok(second)) << second.output;
  EXPECT_TRUE(SaysRenamed(second, 0)) << second.output;
  const Problems problems = CheckSame(afterFirst, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << "the second run changed the tree: " << Describe(problems);
}

// Two files whose new name differs only in case from a file of their folder take the next free
// stamps instead of replacing it.
TEST_P(CaseInsensitiveTest, CaseVariantsOfATakenNameAreCountedUp) {
  Case c(0, 1, point());
  Touch(c.tree + "/20160830124842.jpg", ShotTime());
  Touch(c.tree + "/a.jpg", ShotTime());
  Touch(c.tree + "/b.jpg", ShotTime());
  c.Retake();
  const Outcome run = RunOn(c);
  ASSERT_TRUE(Ok(run)) << run.output;
  ExpectMatchesLog(c);
  const Manifest after = TakeManifest(c.tree);
  ASSERT_EQ(after.files.size(), 3u);
  const std::string taken = NameNow(c, after, "20160830124842.jpg");
  std::set<std::string> folded{Fold(taken)};
  for (const char* newcomer : {"a.jpg", "b.jpg"}) {
    const std::string name = NameNow(c, after, newcomer);
    ASSERT_EQ(name.size(), 18u) << newcomer << " stands at '" << name << "'";
    EXPECT_GT(name.substr(0, 14), "20160830124842") << newcomer << " was not counted up";
    EXPECT_EQ(name.substr(14), ".JPG");
    EXPECT_TRUE(folded.insert(Fold(name)).second) << "two files share " << name;
  }
  ExpectResetRestores(c);
}

// An empty file beside a logged one is taken for a claim cut off only where a run or Reset did
// not end: after one that ended, Reset leaves the user's empty files alone, on a FUSE file system
// too.
TEST_P(CaseInsensitiveTest, ResetTakesNoEmptyFileOfTheUsersForAClaim) {
  Case c(0, 1, point());
  const std::string empty = c.tree + "/DSC_0001.JPG", photo = c.tree + "/DSC_0002.JPG";
  WriteFileText(empty, "");
  WriteFileText(photo, "photo");
  for (const auto& [path, when] : {std::pair{empty, ShotTime()}, std::pair{photo, ShotTime() + 2}}) {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  c.Retake();
  ASSERT_TRUE(Ok(RunOn(c)));
  WriteFileText(empty, "a new photo");  // under the old names: a new photo, an empty file
  WriteFileText(photo, "");
  GiveToChildUser(c.tree);
  const Outcome reset = ResetOn(c);
  EXPECT_TRUE(reset.exited && reset.exitCode == 1) << reset.output;
  EXPECT_EQ(ReadFileText(c.tree + "/20160830124842.JPG"), "");
  EXPECT_TRUE(TakeManifest(c.tree).files.contains("20160830124842.JPG"));
  EXPECT_EQ(ReadFileText(c.tree + "/20160830124844.JPG"), "photo");
  EXPECT_EQ(ReadFileText(empty), "a new photo");
  EXPECT_TRUE(TakeManifest(c.tree).files.contains("DSC_0002.JPG"));
}

INSTANTIATE_TEST_SUITE_P(Inodes, CaseInsensitiveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PerSpelling" : "Shared"; });

}  // namespace
}  // namespace tokiren::reliability
