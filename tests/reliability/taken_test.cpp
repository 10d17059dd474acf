// Capture times read in a shared tree where another user works against the run: what is read is
// only ever the very file the run listed, by the run's own open, never one outside the tree. The
// run acts as the victim (the suite's child user); the other user swaps his folder or a photo
// for a link to the victim's private photos, holds a lease on a photo, or puts a fifo in a photo's
// place, while the run is held at the moment it hands its first file to a helper. The victim's
// private folder is watched: not one of its files may be opened.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/media/media_files.h"
#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kAttacker[] = "daemon";
constexpr char kPrivateDate[] = "1999:09:09 09:09:09";
constexpr char kPrivateStamp[] = "19990909090909";
// The run waits this long before it hands its first file to a helper.
constexpr int kHoldMicroseconds = 4000000;

pid_t ParentOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t end = text.rfind(')');  // the command may hold blanks and parentheses
  if (end == std::string::npos || end + 4 >= text.size()) return -1;
  return static_cast<pid_t>(std::atol(text.c_str() + end + 4));
}

// Whether a helper of the run under `straced` (strace, then tokiren-cli, then the helper) runs.
bool HelperRunsUnder(pid_t straced) {
  DIR* proc = opendir("/proc");
  bool found = false;
  while (const dirent* entry = proc ? readdir(proc) : nullptr) {
    const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name.rfind("tokiren-media", 0) == 0 && ParentOf(ParentOf(pid)) == straced) found = true;
  }
  if (proc) closedir(proc);
  return found;
}

class TakenAttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RunningAsRoot()) GTEST_SKIP() << "two users are needed: run as root";
    if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
    const passwd* attacker = getpwnam(kAttacker);
    if (!attacker) GTEST_SKIP() << "no user " << kAttacker << " to play the other user";
    attacker_ = attacker->pw_uid;
    attackerGroup_ = attacker->pw_gid;
  }

  void TearDown() override {
    if (watch_ >= 0) close(watch_);
    if (leaseHolder_ > 0) {
      kill(leaseHolder_, SIGKILL);
      waitpid(leaseHolder_, nullptr, 0);
    }
  }

  // The shared folder d0 becomes sticky and writable by all, its folder d0/s1 the other user's.
  // The victim's private folder holds real photos, taken at kPrivateDate, under the names of the
  // other user's files, and is watched from here on.
  void Share(Case& c) {
    ASSERT_EQ(chmod((c.tree + "/d0").c_str(), 01777), 0);
    mine_ = c.tree + "/d0/s1";
    ASSERT_EQ(chown(mine_.c_str(), attacker_, attackerGroup_), 0);
    ASSERT_EQ(chmod(mine_.c_str(), 0777), 0);
    DIR* folder = opendir(mine_.c_str());
    ASSERT_NE(folder, nullptr);
    while (const dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (name[0] == '.') continue;
      if (strcasecmp(name.c_str() + name.size() - std::min<size_t>(4, name.size()), ".jpg") == 0) {
        names_.push_back(name);  // a photo the run acts on
      }
      ASSERT_EQ(lchown((mine_ + "/" + entry->d_name).c_str(), attacker_, attackerGroup_), 0);
    }
    closedir(folder);
    ASSERT_FALSE(names_.empty());
    private_ = c.scratch / "private";
    mkdir(private_.c_str(), 0700);
    for (const std::string& name : names_) {
      const std::string photo = private_ + "/" + name;
      ASSERT_TRUE(testing::MakeJpeg(photo));
      ASSERT_TRUE(testing::SetExifText(photo, "Exif.Photo.DateTimeOriginal", kPrivateDate));
    }
    GiveToChildUser(private_);
    privateBefore_ = TakeManifest(private_);
    c.before = TakeManifest(c.tree);
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch_, 0);
    ASSERT_GE(inotify_add_watch(watch_, private_.c_str(), IN_OPEN | IN_ACCESS), 0);
  }

  // Starts the run with --taken, held before it hands its first file to a helper; returns once
  // it is held there.
  pid_t StartHeldRun(const Case& c) {
    std::vector<std::string> args = RunArgs(c.tree, c.logs);
    args.push_back("--taken");
    output_ = c.scratch / "output";
    const pid_t run = StartCli(
        {args,
         {"-e", "trace=sendmsg", "-e",
          "inject=sendmsg:delay_enter=" + std::to_string(kHoldMicroseconds) + ":when=1"}},
        output_);
    for (int i = 0; i < 2000 && !HelperRunsUnder(run); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // ready, then the hand-over
    return run;
  }

  // As the other user.
  void AsAttacker(const std::function<bool()>& act) const {
    const pid_t child = fork();
    if (child == 0) _exit(setgid(attackerGroup_) == 0 && setuid(attacker_) == 0 && act() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user failed";
    ++SuiteTally().faults;
  }

  // The run's end: it stopped on nothing, named no file after a private photo, opened none of
  // them, and Reset gives every file back.
  void ExpectNothingPrivateRead(const Case& c, pid_t run) {
    const Outcome outcome = WaitCli(run, output_);
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 1) << outcome.output;
    EXPECT_NE(outcome.output.find("left alone"), std::string::npos) << outcome.output;
    char events[4096];
    EXPECT_LE(read(watch_, events, sizeof events), 0) << "a private photo was opened";
    EXPECT_EQ(LogText(c.logs).find(kPrivateStamp), std::string::npos) << LogText(c.logs);
    const Problems problems = CheckSame(privateBefore_, TakeManifest(private_));
    EXPECT_TRUE(problems.empty()) << "the victim's folder: " << Describe(problems);
    const Outcome reset = ResetOn(c);
    EXPECT_TRUE(reset.exited) << reset.output;
  }

  uid_t attacker_ = 0;
  gid_t attackerGroup_ = 0;
  std::string mine_, private_, output_;
  std::vector<std::string> names_;
  Manifest privateBefore_;
  int watch_ = -1;
  pid_t leaseHolder_ = -1;
};

TEST_F(TakenAttackTest, FolderSwappedForALinkWhileTheHelpersReadAhead) {
  Case c(300, 7);
  Share(c);
  const pid_t run = StartHeldRun(c);
  const std::string folder = mine_, target = private_;
  AsAttacker([&] {
    return rename(folder.c_str(), (folder + ".away").c_str()) == 0 &&
           symlink(target.c_str(), folder.c_str()) == 0;
  });
  ExpectNothingPrivateRead(c, run);
}

TEST_F(TakenAttackTest, PhotoSwappedForALinkToAPrivatePhoto) {
  Case c(300, 8);
  Share(c);
  const pid_t run = StartHeldRun(c);
  const std::string photo = mine_ + "/" + names_.back(), target = private_ + "/" + names_.back();
  AsAttacker([&] { return unlink(photo.c_str()) == 0 && symlink(target.c_str(), photo.c_str()) == 0; });
  ExpectNothingPrivateRead(c, run);
  struct stat st;
  EXPECT_EQ(lstat(photo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// A photo under the other user's lease, and a fifo put in another photo's place once the tree was
// listed: neither makes the run wait, both are left alone.
TEST_F(TakenAttackTest, LeasedPhotoAndFifoAreLeftAloneWithoutWaiting) {
  Case c(300, 9);
  Share(c);
  const std::string leased = mine_ + "/" + names_.front(), fifo = mine_ + "/" + names_.back();
  ASSERT_NE(leased, fifo);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  leaseHolder_ = fork();
  if (leaseHolder_ == 0) {
    signal(SIGIO, SIG_IGN);  // told of each break; holds on regardless until killed
    const int fd = setgid(attackerGroup_) == 0 && setuid(attacker_) == 0
                       ? open(leased.c_str(), O_RDONLY)
                       : -1;
    const char ok = fd >= 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &ok, 1);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 'n';
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  close(ready[0]);
  if (ok != 'y') GTEST_SKIP() << "no leases here";
  const pid_t run = StartHeldRun(c);
  AsAttacker([&] {
    const std::string made = fifo + ".fifo";
    return mkfifo(made.c_str(), 0666) == 0 && rename(made.c_str(), fifo.c_str()) == 0;
  });
  ExpectNothingPrivateRead(c, run);
  const Manifest after = TakeManifest(c.tree);
  const std::string leasedName = "d0/s1/" + names_.front();
  EXPECT_TRUE(after.files.contains(leasedName)) << "the leased photo was renamed";
  EXPECT_EQ(after.others.count("d0/s1/" + names_.back()), 1u) << "the fifo was renamed";
}

}  // namespace
}  // namespace tokiren::reliability
