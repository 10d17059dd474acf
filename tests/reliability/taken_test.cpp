// Capture times read in a shared tree where another user works against the run: what is read is
// only ever the very file the run listed, by the run's own open, never one outside the tree. The
// run acts as the victim (the suite's child user). The other user holds a lease on a bait photo of
// his, early in the tree: the kernel tells him the moment the run (or a helper) opens it, and he
// then swaps his folder or one of his photos, later in the tree, for a link to the victim's
// private photos or for a fifo, and gives the lease up. The victim's private folder is watched:
// not one of its files may be opened, and the bait, held under a lease when the run came to it,
// is left alone without a wait.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <gtest/gtest.h>

#include "tests/media/media_files.h"
#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kAttacker[] = "daemon";
constexpr char kPrivateDate[] = "1999:09:09 09:09:09";
constexpr char kPrivateStamp[] = "19990909090909";
// The other user's bait: the first photo of the shared folder, so the first the run opens there.
constexpr char kBait[] = "0-bait.jpg";

class TakenAttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RunningAsRoot()) GTEST_SKIP() << "two users are needed: run as root";
    const passwd* attacker = getpwnam(kAttacker);
    if (!attacker) GTEST_SKIP() << "no user " << kAttacker << " to play the other user";
    attacker_ = attacker->pw_uid;
    attackerGroup_ = attacker->pw_gid;
  }

  void TearDown() override {
    if (watch_ >= 0) close(watch_);
    if (done_ >= 0) close(done_);
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
    bait_ = c.tree + "/d0/" + kBait;
    ASSERT_TRUE(testing::MakeJpeg(bait_));
    ASSERT_EQ(chown(bait_.c_str(), attacker_, attackerGroup_), 0);
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

  // As the other user: takes a lease on his bait photo, and when the kernel tells him someone
  // opens it, does `act` and gives the lease up. Returns once the lease is held.
  void LayBait(const std::function<bool()>& act) {
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const std::string bait = bait_;
    leaseHolder_ = fork();
    if (leaseHolder_ == 0) {
      sigset_t io;
      sigemptyset(&io);
      sigaddset(&io, SIGIO);
      sigprocmask(SIG_BLOCK, &io, nullptr);
      const int fd = setgid(attackerGroup_) == 0 && setuid(attacker_) == 0
                         ? open(bait.c_str(), O_RDONLY)
                         : -1;
      const char held = fd >= 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
      (void)!write(ready[1], &held, 1);
      if (held != 'y') _exit(1);
      sigwaitinfo(&io, nullptr);
      const char acted = act() ? 'y' : 'n';
      fcntl(fd, F_SETLEASE, F_UNLCK);
      (void)!write(done[1], &acted, 1);
      for (;;) pause();
    }
    close(ready[1]);
    close(done[1]);
    done_ = done[0];
    char held = 'n';
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    close(ready[0]);
    if (held != 'y') GTEST_SKIP() << "no leases here";
    ++SuiteTally().faults;
  }

  // Runs with --taken; the other user must have acted on the way.
  Outcome RunTaken(const Case& c) {
    std::vector<std::string> args = RunArgs(c.tree, c.logs);
    args.push_back("--taken");
    const Outcome outcome = RunCli({args, {}});
    char acted = 'n';
    EXPECT_EQ(read(done_, &acted, 1), 1);
    EXPECT_EQ(acted, 'y') << "the other user could not act";
    return outcome;
  }

  // The run's end: it stopped on nothing, named no file after a private photo, opened none of
  // them, and Reset gives every file back.
  void ExpectNothingPrivateRead(const Case& c, const Outcome& outcome) {
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 1) << outcome.output;
    EXPECT_NE(outcome.output.find("left alone, its time cannot be read: " + bait_),
              std::string::npos)
        << outcome.output;
    EXPECT_TRUE(TakeManifest(c.tree).files.contains("d0/" + std::string(kBait)))
        << "the bait was renamed";
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
  std::string mine_, private_, bait_;
  std::vector<std::string> names_;
  Manifest privateBefore_;
  int watch_ = -1;
  pid_t leaseHolder_ = -1;
  int done_ = -1;
};

TEST_F(TakenAttackTest, FolderSwappedForALinkWhileTheHelpersReadAhead) {
  Case c(300, 7);
  Share(c);
  const std::string folder = mine_, target = private_;
  LayBait([&] {
    return rename(folder.c_str(), (folder + ".away").c_str()) == 0 &&
           symlink(target.c_str(), folder.c_str()) == 0;
  });
  ExpectNothingPrivateRead(c, RunTaken(c));
}

TEST_F(TakenAttackTest, PhotoSwappedForALinkToAPrivatePhoto) {
  Case c(300, 8);
  Share(c);
  const std::string photo = mine_ + "/" + names_.back(), target = private_ + "/" + names_.back();
  LayBait([&] { return unlink(photo.c_str()) == 0 && symlink(target.c_str(), photo.c_str()) == 0; });
  ExpectNothingPrivateRead(c, RunTaken(c));
  struct stat st;
  EXPECT_EQ(lstat(photo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was renamed";
}

TEST_F(TakenAttackTest, PhotoSwappedForAFifo) {
  Case c(300, 9);
  Share(c);
  const std::string photo = mine_ + "/" + names_.back();
  LayBait([&] {
    const std::string made = photo + ".fifo";
    return mkfifo(made.c_str(), 0666) == 0 && rename(made.c_str(), photo.c_str()) == 0;
  });
  ExpectNothingPrivateRead(c, RunTaken(c));
  struct stat st;
  EXPECT_EQ(lstat(photo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the fifo was renamed";
}

}  // namespace
}  // namespace tokiren::reliability
