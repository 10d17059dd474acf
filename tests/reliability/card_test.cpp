// tokiren-cli on the file systems of cards, disks and shares that Linux mounts through FUSE, with
// Debian's own drivers: exFAT (exfat-fuse), FAT32 (fusefat), NTFS (ntfs-3g) and sshfs. None of them
// takes RENAME_NOREPLACE; exFAT and FAT take no hard links either, ignore case and give each
// spelling of a name an inode number of its own, and fusefat stamps a renamed file with the time
// of the rename. Each case makes a small image, formats it and mounts it, or, for sshfs, starts an
// sshd of its own on 127.0.0.1 with keys made for it; it skips where that cannot be done here.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kImageSize[] = "64M";

struct Card {
  const char* name;  // "sshfs": a share from an sshd of the case's own, not an image
  std::vector<std::string> format;  // the command that formats the image, which is appended
  bool loop;                        // the driver wants a block device: the image through losetup
  std::vector<std::string> mount;   // the driver, before the device or image and the mount point
  bool claims;                      // renames by claim: no flag, no links
  bool ignoresCase;
};

const Card kCards[] = {
    {"exFAT", {"mkfs.exfat"}, true, {"mount.exfat-fuse", "-o", "allow_other"}, true, true},
    {"FAT32", {"mkfs.vfat", "-F", "32"}, false, {"fusefat", "-o", "rw+,allow_other"}, true, true},
    {"NTFS", {"mkntfs", "-F", "-Q"}, false, {"ntfs-3g", "-o", "allow_other"}, false, false},
    {"sshfs", {}, false, {}, false, false},
};

int Quietly(std::vector<std::string> argv, std::string* output = nullptr) {
  Scratch scratch;
  const std::string file = scratch / "out";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    execvp(pointers[0], pointers.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (output) *output = ReadFileText(file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 2016-08-30 12:48:`second` UTC (the zone the children run in); even seconds, which FAT keeps.
std::time_t At(int second) { return 1472561280 + second; }

void MakeFile(const std::string& path, const std::string& content, std::time_t when) {
  WriteFileText(path, content);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::map<std::string, std::time_t> LastWrites(const std::string& folder, const Manifest& manifest) {
  std::map<std::string, std::time_t> times;
  for (const auto& [path, record] : manifest.files) {
    struct stat st;
    if (stat((folder + "/" + path).c_str(), &st) == 0) times[path] = st.st_mtime;
  }
  return times;
}

class CardTest : public ::testing::TestWithParam<Card> {
 protected:
  void SetUp() override {
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting an image needs root";
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no FUSE here";
    const Card& card = GetParam();
    std::string output;
    mkdir(point_.c_str(), 0755);
    if (card.format.empty()) {
      ShareOverSsh();
      if (IsSkipped() || HasFatalFailure()) return;
    } else {
      if (Quietly({"truncate", "-s", kImageSize, image_}) != 0) GTEST_SKIP() << "no room";
      std::vector<std::string> format = card.format;
      format.push_back(image_);
      if (Quietly(format, &output) != 0) GTEST_SKIP() << card.format[0] << ": " << output;
      std::string device = image_;
      if (card.loop) {
        if (Quietly({"losetup", "-f", "--show", image_}, &output) != 0) {
          GTEST_SKIP() << "no loop device: " << output;
        }
        device = loop_ = output.substr(0, output.find('\n'));
      }
      std::vector<std::string> mount = card.mount;
      mount.push_back(device);
      mount.push_back(point_);
      if (Quietly(mount, &output) != 0) GTEST_SKIP() << card.mount[0] << ": " << output;
    }
    mounted_ = true;
    mkdir(tree_.c_str(), 0777);
    chmod(tree_.c_str(), 0777);
    mkdir(logs_.c_str(), 0755);
    GiveToChildUser(logs_);
  }

  void TearDown() override {
    if (mounted_) {
      for (int i = 0; i < 50 && Quietly({"umount", "-l", point_}) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    if (!loop_.empty()) Quietly({"losetup", "-d", loop_});
    const std::string pid = ReadFileText(scratch_ / "sshd.pid");
    if (!pid.empty()) kill(static_cast<pid_t>(std::stol(pid)), SIGTERM);
  }

  // A folder of this machine shared over ssh: an sshd of the case's own, listening on 127.0.0.1
  // only, on a port of its own, taking only a key made for it, and sshfs on the mount point.
  void ShareOverSsh() {
    std::string output;
    const std::string keys = scratch_ / "keys";
    const std::string remote = scratch_ / "remote";
    mkdir(keys.c_str(), 0700);
    mkdir(remote.c_str(), 0755);
    mkdir("/run/sshd", 0755);  // where sshd separates its privileges
    for (const char* key : {"host", "user"}) {
      if (Quietly({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", keys + "/" + key},
                  &output) != 0) {
        GTEST_SKIP() << "ssh-keygen: " << output;
      }
    }
    const std::string port = std::to_string(20000 + getpid() % 20000);
    WriteFileText(scratch_ / "sshd_config",
                  "Port " + port + "\nListenAddress 127.0.0.1\nHostKey " + keys +
                      "/host\nAuthorizedKeysFile " + keys + "/user.pub\nPidFile " +
                      (scratch_ / "sshd.pid") +
                      "\nPermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                      "StrictModes no\nUsePAM no\nSubsystem sftp internal-sftp\n");
    if (Quietly({"/usr/sbin/sshd", "-f", scratch_ / "sshd_config"}, &output) != 0) {
      GTEST_SKIP() << "sshd: " << output;
    }
    for (int i = 0; i < 50; ++i) {
      if (Quietly({"sshfs", "root@127.0.0.1:" + remote, point_, "-o",
                   "port=" + port + ",IdentityFile=" + keys +
                       "/user,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,"
                       "BatchMode=yes,allow_other"},
                  &output) == 0) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));  // sshd still starting
    }
    GTEST_SKIP() << "sshfs: " << output;
  }

  Outcome Run(std::vector<std::string> strace = {}) {
    return RunCli({RunArgs(tree_, logs_), std::move(strace)});
  }
  Outcome Reset() { return RunCli({ResetArgs(logs_), {}}); }

  // Files of the same second, a name already its stamp in lower case, a Japanese name where the
  // driver takes one, in the tree's top folder and in a folder below.
  void MakeCards() {
    mkdir((tree_ + "/DCIM").c_str(), 0777);
    for (const std::string& folder : {tree_, tree_ + "/DCIM"}) {
      MakeFile(folder + "/IMG_0001.JPG", "first " + folder, At(42));
      MakeFile(folder + "/IMG_0002.jpg", "second " + folder, At(42));  // the same second
      MakeFile(folder + "/20160830124844.jpg", "named " + folder, At(44));
      MakeFile(folder + "/img_0003.Jpg", "third " + folder, At(46));
    }
    const std::string japanese = tree_ + "/写真.jpg";
    const int fd = open(japanese.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      close(fd);
      MakeFile(japanese, "japanese", At(48));
    }
    before_ = TakeManifest(tree_);
    times_ = LastWrites(tree_, before_);
  }

  // Every file is back at its old name with its content and last-write time; nothing else stands.
  void ExpectAsBefore(const char* when) {
    const Manifest after = TakeManifest(tree_);
    std::vector<std::string> names, namesBefore;
    for (const auto& [path, record] : after.files) names.push_back(path);
    for (const auto& [path, record] : before_.files) namesBefore.push_back(path);
    EXPECT_EQ(names, namesBefore) << when;
    for (const auto& [path, record] : before_.files) {
      const auto found = after.files.find(path);
      if (found == after.files.end()) continue;
      EXPECT_EQ(found->second.hash, record.hash) << when << ": " << path;
    }
    EXPECT_EQ(LastWrites(tree_, after), times_) << when;
  }

  Scratch scratch_;
  const std::string image_ = scratch_ / "card.img";
  const std::string point_ = scratch_ / "mnt";
  const std::string tree_ = point_ + "/tree";
  const std::string logs_ = scratch_ / "logs";
  std::string loop_;
  bool mounted_ = false;
  Manifest before_;
  std::map<std::string, std::time_t> times_;
};

TEST_P(CardTest, RenamesOnceKeepsTimesAndResetGivesEverythingBack) {
  MakeCards();
  const Outcome run = Run();
  ASSERT_TRUE(run.exited && run.exitCode == 0) << run.output;
  const Manifest renamed = TakeManifest(tree_);
  for (const std::string& folder : {std::string(), std::string("DCIM/")}) {
    // A name that is its stamp in lower case is already its name where case does not count.
    const char* named = GetParam().ignoresCase ? "20160830124844.jpg" : "20160830124844.JPG";
    for (const char* name : {"20160830124842.JPG", "20160830124843.JPG", named,
                             "20160830124846.JPG"}) {
      EXPECT_TRUE(renamed.files.contains(folder + name)) << folder + name << "\n" << run.output;
    }
  }
  // The times stay as they were: a second run finds every file at its name.
  const std::map<std::string, std::time_t> times = LastWrites(tree_, renamed);
  EXPECT_EQ(times.at("20160830124846.JPG"), At(46));
  const Outcome again = Run();
  EXPECT_TRUE(again.exited && again.exitCode == 0) << again.output;
  EXPECT_NE(again.output.find("0 files renamed"), std::string::npos) << again.output;
  const Outcome reset = Reset();
  EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
  ExpectAsBefore("after Reset");
}

// Killed between a claim and its rename: an empty file stands at the new name beside the photo.
// A Reset takes it back; a run finishes it, and a Reset then gives every name back.
TEST_P(CardTest, ARunKilledBetweenAClaimAndItsRenameIsPutRight) {
  if (!GetParam().claims) GTEST_SKIP() << "renames here by link, not by claim";
  if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  MakeCards();
  for (const bool runAgain : {false, true}) {
    const Outcome killed = Run(KillAt("renameat", 1));
    EXPECT_FALSE(killed.exited) << killed.output;
    bool claimSeen = false;
    for (const auto& [path, record] : TakeManifest(tree_).files) {
      claimSeen = claimSeen || (record.size == 0 && !before_.files.contains(path));
    }
    EXPECT_TRUE(claimSeen) << "no claim was left";
    if (runAgain) {
      const Outcome run = Run();
      EXPECT_TRUE(run.exited && run.exitCode == 0) << run.output;
      const Manifest after = TakeManifest(tree_);
      size_t moved = 0;
      for (const auto& [path, record] : before_.files) moved += after.files.contains(path) ? 0 : 1;
      EXPECT_EQ(moved, before_.files.size() - (GetParam().ignoresCase ? 2 : 0));
    }
    const Outcome reset = Reset();
    EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
    ExpectAsBefore(runAgain ? "after a run and a Reset" : "after a Reset");
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, CardTest, ::testing::ValuesIn(kCards),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tokiren::reliability
