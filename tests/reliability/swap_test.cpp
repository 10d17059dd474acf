// Another user who may write into the chosen tree (a shared folder, sticky, where each keeps a
// folder of his own) swaps his folder for a link to the victim's private folder: during a run once
// the walk is done, and between a run and its Reset. The run and Reset act as the victim (the
// suite's child user), the swaps as a second user. Each swap is made while the program is held
// at a chosen system call, so the case plays out the same way every time.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kAttacker[] = "daemon";
constexpr char kPrivateText[] = "the victim's own";

// strace options that refuse openat2, so the folders are opened one component at a time.
const std::vector<std::string> kNoOpenat2 = {"-e", "trace=openat2", "-e",
                                             "inject=openat2:error=ENOSYS"};

class SwapTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!RunningAsRoot()) GTEST_SKIP() << "two users are needed: run as root";
    if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
    const passwd* attacker = getpwnam(kAttacker);
    if (!attacker) GTEST_SKIP() << "no user " << kAttacker << " to play the other user";
    attacker_ = attacker->pw_uid;
    attackerGroup_ = attacker->pw_gid;
  }

  // The shared folder d0 becomes sticky and writable by all; its folder `mine` is handed to the
  // other user. The victim's private folder holds a file under each of `names`.
  void ShareAndMakePrivate(Case& c, const std::string& mine, const std::vector<std::string>& names) {
    ASSERT_EQ(chmod((c.tree + "/d0").c_str(), 01777), 0);
    const std::string folder = c.tree + "/" + mine;
    ASSERT_EQ(chown(folder.c_str(), attacker_, attackerGroup_), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    privateFolder_ = c.scratch / "private";
    mkdir(privateFolder_.c_str(), 0700);
    for (const std::string& name : names) WriteFileText(privateFolder_ + "/" + name, kPrivateText);
    GiveToChildUser(privateFolder_);
    privateBefore_ = TakeManifest(privateFolder_);
    c.before = TakeManifest(c.tree);
  }

  // As the other user: his folder `mine` goes, and a link to the victim's folder takes its place.
  void Swap(const Case& c, const std::string& mine) const {
    const pid_t child = fork();
    if (child == 0) {
      const std::string folder = c.tree + "/" + mine;
      const bool swapped = setgid(attackerGroup_) == 0 && setuid(attacker_) == 0 &&
                           rename(folder.c_str(), (folder + ".away").c_str()) == 0 &&
                           symlink(privateFolder_.c_str(), folder.c_str()) == 0;
      _exit(swapped ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the swap failed";
    ++SuiteTally().faults;
  }

  void ExpectPrivateUntouched() const {
    const Problems problems = CheckSame(privateBefore_, TakeManifest(privateFolder_));
    EXPECT_TRUE(problems.empty()) << "the victim's folder: " << Describe(problems);
  }

  std::vector<std::string> WithOpenat2Refused(std::vector<std::string> strace) const {
    if (!GetParam()) return strace;
    if (strace.empty()) return kNoOpenat2;
    // One trace set, both injections.
    strace[1] += ",openat2";
    strace.insert(strace.end(), kNoOpenat2.begin() + 2, kNoOpenat2.end());
    return strace;
  }

  uid_t attacker_ = 0;
  gid_t attackerGroup_ = 0;
  std::string privateFolder_;
  Manifest privateBefore_;
};

std::vector<std::string> NamesIn(const Manifest& manifest, const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& [path, record] : manifest.files) {
    if (path.starts_with(folder + "/") && path.find('/', folder.size() + 1) == std::string::npos) {
      names.push_back(path.substr(folder.size() + 1));
    }
  }
  return names;
}

// The folders a run renames in, in the order it renames, relative to the tree.
std::vector<std::string> PlannedFolders(const Case& c) {
  std::vector<std::string> args = RunArgs(c.tree, c.logs);
  args.push_back("--dry-run");
  const Outcome plan = RunCli({args});
  std::vector<std::string> folders;
  size_t start = 0;
  for (size_t end; (end = plan.output.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = plan.output.substr(start, end - start);
    const size_t slash = line.rfind('/', line.find(" as "));
    if (line.find(" as ") == std::string::npos || slash < c.tree.size() + 1) continue;
    const std::string folder = line.substr(c.tree.size() + 1, slash - c.tree.size() - 1);
    if (folders.empty() || folders.back() != folder) folders.push_back(folder);
  }
  return folders;
}

// The run is held at its first rename, after the walk and after its lines reached the log. The
// swapped folder is one the run has not opened since: not the first it renames in.
TEST_P(SwapTest, FolderSwappedDuringTheRunIsNeverEntered) {
  Case c(600, 5);
  const std::vector<std::string> folders = PlannedFolders(c);
  ASSERT_GE(folders.size(), 3u);
  const std::string mine = folders[1];
  ASSERT_TRUE(mine.starts_with("d0/")) << mine;
  ShareAndMakePrivate(c, mine, NamesIn(c.before, mine));
  const std::string output = c.scratch / "output";
  const pid_t run = StartCli(
      {RunArgs(c.tree, c.logs),
       WithOpenat2Refused({"-e", "trace=renameat2", "-e", "inject=renameat2:delay_enter=3000000:when=1"})},
      output);
  for (int i = 0; i < 1000 && LogText(c.logs).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_FALSE(LogText(c.logs).empty()) << "the run never reached its renames";
  Swap(c, mine);
  const Outcome outcome = WaitCli(run, output);
  EXPECT_TRUE(outcome.exited && outcome.exitCode == 1) << outcome.output;
  ExpectPrivateUntouched();
  for (const auto& [oldPath, newPath] : LoggedRenames(LogText(c.logs), c.tree)) {
    EXPECT_FALSE(oldPath.starts_with(mine + "/")) << "logged in the swapped folder: " << oldPath;
  }
  const Outcome reset = ResetOn(c);
  EXPECT_TRUE(reset.exited && reset.exitCode == 0) << reset.output;
  ExpectPrivateUntouched();
}

// After a run, the logged folder is swapped: Reset must not rename the victim's files to the names
// the other user chose, but keep those lines and say so.
TEST_P(SwapTest, LoggedFolderSwappedBeforeResetIsNotTouched) {
  Case c(600, 6);
  const std::string mine = "d0/s1";
  const Outcome run = RunOn(c);
  ASSERT_TRUE(run.exited && run.exitCode == 0) << run.output;
  std::vector<std::string> newNames;
  for (const auto& [oldPath, newPath] : LoggedRenames(LogText(c.logs), c.tree)) {
    if (newPath.starts_with(mine + "/")) newNames.push_back(newPath.substr(mine.size() + 1));
  }
  ASSERT_FALSE(newNames.empty());
  ShareAndMakePrivate(c, mine, newNames);
  Swap(c, mine);
  const Outcome reset = ResetOn(c, WithOpenat2Refused({}));
  EXPECT_TRUE(reset.exited && reset.exitCode == 1) << reset.output;
  EXPECT_NE(reset.output.find(std::to_string(newNames.size()) + " not found"), std::string::npos)
      << reset.output;
  ExpectPrivateUntouched();
}

INSTANTIATE_TEST_SUITE_P(Kernels, SwapTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openat2Refused" : "Openat2"; });

}  // namespace
}  // namespace tokiren::reliability
