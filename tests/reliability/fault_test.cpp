// System calls that fail, a disk that fills up and a file system cut off mid-run: no rename may
// happen before its log line is on the disk, none may replace a file, and a Reset restores the
// tree.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kDiskFullText[] = "ディスクの空き容量が不足しています。";
constexpr char kPathAccessText[] = "パス名が無効です。";

// Two injections in one strace call: the trace sets joined, then both injections.
std::vector<std::string> Both(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin() + 2, b.end());
  a[1].append(",").append(b[1], 6);  // after "trace="
  return a;
}

bool Failed(const Outcome& outcome) { return outcome.exited && outcome.exitCode == 1; }

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  }
};

TEST_F(FaultTest, LogThatCannotBeWrittenOrSyncedStopsBeforeAnyRename) {
  const std::vector<std::string> faults[] = {
      FailAt("write", "ENOSPC", 1), FailAt("write", "EDQUOT", 1), FailAt("write", "EIO", 1),
      // The first group's lines reach the disk with the new log's fsync, later ones by fdatasync.
      FailFrom("fsync", "ENOSPC"), FailFrom("fsync", "EIO")};
  for (const std::vector<std::string>& fault : faults) {
    SCOPED_TRACE(fault.back());
    Case c(300);
    const Outcome outcome = RunOn(c, fault);
    EXPECT_TRUE(Failed(outcome)) << outcome.output;
    const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
    EXPECT_TRUE(problems.empty()) << Describe(problems);
    if (fault.back().find("ENOSPC") != std::string::npos) {
      EXPECT_NE(outcome.output.find(kDiskFullText), std::string::npos) << outcome.output;
    }
    ExpectResetRestores(c);
  }
}

TEST_F(FaultTest, SyncFailingOnTheSecondGroupKeepsTheFirst) {
  Case c(4800);
  const Outcome outcome = RunOn(c, FailAt("fdatasync", "EIO", 1));  // the first group's is fsync
  EXPECT_TRUE(Failed(outcome)) << outcome.output;
  EXPECT_NE(outcome.output.find("エラー番号は 5です。"), std::string::npos) << outcome.output;
  ExpectMatchesLog(c);
  EXPECT_EQ(RenamedCount(c), 4096u);
  ExpectResetRestores(c);
}

// A sandbox that refuses to tell file times: nothing is renamed, and that is no success.
TEST_F(FaultTest, TimesThatCannotBeReadAreNamedAndFailTheRun) {
  Case c(300);
  const Outcome outcome = RunOn(c, FailFrom("statx", "EPERM"));
  EXPECT_TRUE(Failed(outcome)) << outcome.output;
  EXPECT_NE(outcome.output.find("0 files renamed"), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find("files left alone: their time could not be read"),
            std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find("Operation not permitted"), std::string::npos) << outcome.output;
  const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << Describe(problems);
}

// The log's folder inside the tree, with every file chosen: the log and its lock stay as they are,
// run after run, and Reset still finds the way back.
TEST_F(FaultTest, LogFolderInsideTheTreeIsLeftAlone) {
  Case c(400);
  const std::string logs = c.tree + "/tools";
  mkdir(logs.c_str(), 0755);
  GiveToChildUser(logs);
  c.Retake();
  for (int run = 0; run < 2; ++run) {
    const Outcome outcome = RunCli({{"run", c.tree, "--all", "--log-dir", logs}});
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome.output;
  }
  const Manifest after = TakeManifest(c.tree);
  EXPECT_TRUE(after.files.contains("tools/tokiren_log.txt"));
  EXPECT_TRUE(after.files.contains("tools/tokiren_log.lock"));
  const Outcome reset = RunCli({ResetArgs(logs)});
  EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
  Manifest restored = TakeManifest(c.tree);
  restored.files.erase("tools/tokiren_log.txt");
  restored.files.erase("tools/tokiren_log.lock");
  const Problems problems = CheckSame(c.before, restored);
  EXPECT_TRUE(problems.empty()) << Describe(problems);
}

TEST_F(FaultTest, FileSystemWithoutTheNoReplaceFlagUsesLinks) {
  Case c(1500, 7);
  const Outcome outcome = RunOn(c, FailFrom("renameat2", "EINVAL"));
  ASSERT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome.output;
  ExpectMatchesLog(c);
  const Manifest after = TakeManifest(c.tree);
  EXPECT_EQ(after.files.size(), c.before.files.size());  // no second names left behind
  EXPECT_GT(RenamedCount(c), 1000u);
  // Undone the same way.
  const Outcome reset = ResetOn(c, FailFrom("renameat2", "EINVAL"));
  EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
  const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << Describe(problems);
}

// Without the flag and without links (FUSE exFAT and FAT) a run renames by claim; a file that has
// all the links it may have still stops the run, clearly.
TEST_F(FaultTest, NoFlagAndNoLinksRenamesByClaim) {
  for (const char* linkError : {"EPERM", "EOPNOTSUPP"}) {
    SCOPED_TRACE(linkError);
    Case c(1500, 7);
    const auto noWay = Both(FailFrom("renameat2", "EINVAL"), FailFrom("linkat", linkError));
    const Outcome outcome = RunOn(c, noWay);
    ASSERT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome.output;
    ExpectMatchesLog(c);
    EXPECT_EQ(TakeManifest(c.tree).files.size(), c.before.files.size());  // no claim left
    EXPECT_GT(RenamedCount(c), 1000u);
    const Outcome reset = ResetOn(c, noWay);
    EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
    const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
    EXPECT_TRUE(problems.empty()) << Describe(problems);
  }
  // A name the file system will not hold (fusefat: outside ASCII) is said to be one.
  const struct {
    std::vector<std::string> strace;
    const char* says;
  } refusals[] = {
      {Both(FailFrom("renameat2", "EINVAL"), FailFrom("linkat", "EMLINK")), ""},
      {Both(Both(FailFrom("renameat2", "EINVAL"), FailFrom("linkat", "EPERM")),
            FailFrom("mknodat", "EPERM")),
       "does not accept the new name"},
  };
  for (const auto& refusal : refusals) {
    Case c(200);
    const Outcome outcome = RunOn(c, refusal.strace);
    EXPECT_TRUE(Failed(outcome)) << outcome.output;
    EXPECT_NE(outcome.output.find(kPathAccessText), std::string::npos) << outcome.output;
    EXPECT_NE(outcome.output.find(refusal.says), std::string::npos) << outcome.output;
    const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
    EXPECT_TRUE(problems.empty()) << Describe(problems);
    ExpectResetRestores(c);
  }
}

TEST_F(FaultTest, RenameRefusedStopsTheRunAfterWhatWasDone) {
  for (const char* error : {"EACCES", "EPERM", "EROFS", "ENAMETOOLONG", "EBUSY", "EIO"}) {
    SCOPED_TRACE(error);
    Case c(300);
    const Outcome outcome = RunOn(c, FailAt("renameat2", error, 5));
    EXPECT_TRUE(Failed(outcome)) << outcome.output;
    if (std::string(error) != "EIO") {
      EXPECT_NE(outcome.output.find(kPathAccessText), std::string::npos) << outcome.output;
    }
    ExpectMatchesLog(c);
    EXPECT_EQ(RenamedCount(c), 4u);
    ExpectResetRestores(c);
  }
}

// A Reset goes past the lines it cannot restore; the next Reset retries only those.
TEST_F(FaultTest, ResetRetriesWhatFailed) {
  Case c(400);
  ASSERT_EQ(RunOn(c).exitCode, 0);
  const size_t lines = LoggedRenames(LogText(c.logs), c.tree).size();
  const Outcome reset = ResetOn(c, FailAt("renameat2", "EACCES", 3));
  EXPECT_TRUE(Failed(reset)) << reset.output;
  EXPECT_EQ(RenamedCount(c), 1u);
  EXPECT_EQ(LoggedRenames(LogText(c.logs), c.tree).size(), 1u) << "of " << lines;
  ExpectResetRestores(c);
}

// The log rewritten after a Reset is replaced whole or not at all. One line cannot be restored
// (another file took its old name), so the rewritten log is not empty.
TEST_F(FaultTest, ResetWhoseLogCannotBeRewrittenLeavesItWhole) {
  for (const char* call : {"write", "fsync", "rename"}) {
    SCOPED_TRACE(call);
    Case c(200);
    ASSERT_EQ(RunOn(c).exitCode, 0);
    const std::string log = LogText(c.logs);
    const std::string blocker = c.tree + "/" + LoggedRenames(log, c.tree).begin()->first;
    WriteFileText(blocker, "took the old name");
    const Outcome reset = ResetOn(c, FailFrom(call, "ENOSPC"));
    EXPECT_TRUE(reset.exited);
    EXPECT_EQ(LogText(c.logs), log);
    EXPECT_EQ(RenamedCount(c), 1u);
    unlink(blocker.c_str());
    ExpectResetRestores(c);
  }
}

// A file system mounted for the life of the object (root only).
class Mount {
 public:
  Mount(const std::string& command, std::string point) : point_(std::move(point)) {
    mounted_ = std::system(command.c_str()) == 0;
  }
  ~Mount() {
    if (mounted_) umount2(point_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool Remount(const std::string& command) {
    mounted_ = umount(point_.c_str()) == 0 && std::system(command.c_str()) == 0;
    return mounted_;
  }

 private:
  std::string point_;
  bool mounted_ = false;
};

TEST(FullDiskTest, TinyFileSystemRefusesTheLogThenWorks) {
  if (!RunningAsRoot()) GTEST_SKIP() << "mounting a small file system needs root";
  Scratch outer;
  const std::string disk = outer / "disk";
  mkdir(disk.c_str(), 0755);
  Mount mount("mount -t tmpfs -o size=256k tmpfs " + disk, disk);
  if (!mount.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
  Case c(60, 3, disk);
  // Fill what is left.
  const std::string filler = disk + "/filler";
  const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);
  ++SuiteTally().faults;
  const Outcome outcome = RunOn(c);
  EXPECT_TRUE(Failed(outcome)) << outcome.output;
  EXPECT_NE(outcome.output.find(kDiskFullText), std::string::npos) << outcome.output;
  Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << Describe(problems);

  unlink(filler.c_str());
  const Outcome again = RunOn(c);
  EXPECT_TRUE(again.exited && again.exitCode == 0) << again.output;
  ExpectMatchesLog(c);
  EXPECT_GT(RenamedCount(c), 40u);
  ExpectResetRestores(c);
}

// Cuts the file system off as a power cut would: what has not reached the disk is lost.
bool CutOff(const std::string& mountPoint) {
  const int fd = open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint32_t flags = 2;  // no log flush: the journal stops where it stands
  const bool done = ioctl(fd, _IOR('X', 125, std::uint32_t), &flags) == 0;
  close(fd);
  return done;
}

// A loop-mounted file system of the parameter's type, made afresh for each test.
class PowerCutTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!RunningAsRoot()) GTEST_SKIP() << "loop devices need root";
    if (std::system(("command -v mkfs." + type_ + " > /dev/null").c_str()) != 0) {
      GTEST_SKIP() << "mkfs." << type_ << " is not installed";
    }
    mkdir(point_.c_str(), 0755);
    const std::string format =
        type_ == "xfs" ? "mkfs.xfs -q -f " : "mkfs." + type_ + " -q -F -i 4096 ";
    ASSERT_EQ(std::system(("truncate -s 512M " + image_ + " && " + format + image_ +
                           " > /dev/null 2>&1").c_str()), 0);
    mount_ = std::make_unique<Mount>(mountCommand_, point_);
    if (!mount_->mounted()) {
      GTEST_SKIP() << "a loop device with " << type_ << " cannot be mounted here";
    }
  }

  // A case of 20000 files on the file system, the older rounds' trees removed to make room.
  std::unique_ptr<Case> NewCase(int round) {
    std::system(("rm -rf " + point_ + "/round*").c_str());
    const std::string base = point_ + "/round" + std::to_string(round);
    mkdir(base.c_str(), 0755);
    auto c = std::make_unique<Case>(20000, 300 + static_cast<unsigned>(round), base);
    sync();
    return c;
  }

  // Runs `call` whole and returns how long it took.
  double Whole(const CliCall& call) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = RunCli(call);
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome.output;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  // Starts `call`, cuts the file system off after `delay` seconds, and mounts it again.
  void CutOffDuring(const CliCall& call, double delay) {
    const std::string output = outer_ / "output";
    const pid_t child = StartCli(call, output);
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    ++SuiteTally().crashPoints;
    ASSERT_TRUE(CutOff(point_)) << "the file system cannot be shut down";
    WaitCli(child, output);
    ASSERT_TRUE(mount_->Remount(mountCommand_));
  }

  void Report(const char* what, double delay, double whole, const Case& c) {
    std::printf("%s: %s cut after %.3f of %.3f s: %zu files at new names, %zu log lines\n",
                type_.c_str(), what, delay, whole, RenamedCount(c),
                LoggedRenames(LogText(c.logs), c.tree).size());
  }

  const std::string type_ = GetParam();
  Scratch outer_;
  const std::string image_ = outer_ / "disk.img";
  const std::string point_ = outer_ / "disk";
  const std::string mountCommand_ = "mount -o loop " + image_ + " " + point_ + " 2> /dev/null";
  std::unique_ptr<Mount> mount_;
};

TEST_P(PowerCutTest, NoRenameWithoutItsLogLine) {
  std::unique_ptr<Case> first = NewCase(0);
  const double whole = Whole({RunArgs(first->tree, first->logs), {}});
  ExpectMatchesLog(*first);
  int round = 1;
  for (const double fraction : {0.15, 0.4, 0.65, 0.9}) {
    std::unique_ptr<Case> c = NewCase(round++);
    const double delay = whole * fraction;
    CutOffDuring({RunArgs(c->tree, c->logs), {}}, delay);
    SCOPED_TRACE("cut off after " + std::to_string(delay) + " s");
    ExpectMatchesLog(*c);
    Report("run", delay, whole, *c);
    ExpectResetRestores(*c);
  }
}

// Cut off during a Reset, every file still stands at its old name or at a name the log holds.
TEST_P(PowerCutTest, NoFileLeftWithoutALineDuringReset) {
  std::unique_ptr<Case> first = NewCase(0);
  ASSERT_EQ(RunOn(*first).exitCode, 0);
  const double whole = Whole({ResetArgs(first->logs), {}});
  int round = 1;
  for (const double fraction : {0.3, 0.7, 0.95, 1.2}) {
    std::unique_ptr<Case> c = NewCase(round++);
    ASSERT_EQ(RunOn(*c).exitCode, 0);
    sync();
    const double delay = whole * fraction;
    CutOffDuring({ResetArgs(c->logs), {}}, delay);
    SCOPED_TRACE("cut off after " + std::to_string(delay) + " s");
    ExpectMatchesLog(*c);
    Report("Reset", delay, whole, *c);
    ExpectResetRestores(*c);
  }
}

INSTANTIATE_TEST_SUITE_P(FileSystems, PowerCutTest, ::testing::Values("ext4", "xfs"));

}  // namespace
}  // namespace tokiren::reliability
