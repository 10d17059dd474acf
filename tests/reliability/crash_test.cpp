// A run or a Reset killed at many points: every file stays at its old name or at the new name
// its log line records, a Reset then restores the tree, and a second Reset changes nothing.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  }
};

// The tree holds more renames than one synced group of log lines, so the points take in the
// first rename, the end of the first group and the start of the second.
TEST_F(CrashTest, RunKilledAtARename) {
  for (const int n : {1, 2, 700, 4096, 4097, 4098, 4294}) {
    SCOPED_TRACE("killed at rename " + std::to_string(n));
    Case c(4800);  // 4294 renames
    const Outcome outcome = RunOn(c, KillAt("renameat2", n));
    EXPECT_EQ(outcome.signal, SIGKILL) << outcome.output;
    ExpectMatchesLog(c);
    const size_t logged = LoggedRenames(LogText(c.logs), c.tree).size();
    EXPECT_GE(logged, static_cast<size_t>(n));
    ExpectResetRestores(c);
  }
}

// A killed run's renames stay in the log when the next run starts: one Reset undoes both.
TEST_F(CrashTest, RunKilledThenRunAgainIsUndoneByOneReset) {
  for (const int n : {1, 700, 4097}) {
    SCOPED_TRACE("killed at rename " + std::to_string(n));
    Case c(4800);
    const Outcome killed = RunOn(c, KillAt("renameat2", n));
    EXPECT_EQ(killed.signal, SIGKILL) << killed.output;
    const Outcome again = RunOn(c);
    EXPECT_TRUE(again.exited && again.exitCode == 0) << again.output;
    EXPECT_EQ(RenamedCount(c), 4294u);
    ExpectResetRestores(c);
  }
}

TEST_F(CrashTest, RunKilledWhileWritingOrSyncingTheLog) {
  const std::pair<const char*, int> points[] = {
      {"write", 1}, {"fsync", 1}, {"write", 2}, {"fdatasync", 1}, {"openat2", 40}};
  for (const auto& [call, n] : points) {
    SCOPED_TRACE(std::string("killed at ") + call + " " + std::to_string(n));
    Case c(4800);
    const Outcome outcome = RunOn(c, KillAt(call, n));
    EXPECT_EQ(outcome.signal, SIGKILL) << outcome.output;
    ExpectMatchesLog(c);
    ExpectResetRestores(c);
  }
}

TEST_F(CrashTest, ResetKilledMidwayFinishesWhenRunAgain) {
  const std::pair<const char*, int> points[] = {
      {"renameat2", 1}, {"renameat2", 900}, {"renameat2", 2500}, {"fsync", 1}, {"rename", 1}};
  for (const auto& [call, n] : points) {
    SCOPED_TRACE(std::string("Reset killed at ") + call + " " + std::to_string(n));
    Case c(3200);
    const Outcome run = RunOn(c);
    ASSERT_TRUE(run.exited && run.exitCode == 0) << run.output;
    const Outcome reset = ResetOn(c, KillAt(call, n));
    EXPECT_EQ(reset.signal, SIGKILL) << reset.output;
    ExpectMatchesLog(c);
    ExpectResetRestores(c);
  }
}

// The fallback for file systems without the no-replace flag links the new name, then removes
// the old one; cut off between the two, the file has both names for a while.
TEST_F(CrashTest, FallbackKilledBetweenLinkAndUnlink) {
  for (const bool reset : {false, true}) {
    for (const int n : {1, 30}) {
      SCOPED_TRACE(std::string(reset ? "Reset" : "run") + " killed at unlink " +
                   std::to_string(n));
      Case c(600, 5);
      if (reset) {
        ASSERT_EQ(RunOn(c).exitCode, 0);
      }
      const std::vector<std::string> strace = {
          "-e", "trace=renameat2,unlinkat", "-e", "inject=renameat2:error=EINVAL",
          "-e", "inject=unlinkat:signal=KILL:when=" + std::to_string(n)};
      ++SuiteTally().crashPoints;
      ++SuiteTally().faults;
      const Outcome outcome = reset ? ResetOn(c, strace) : RunOn(c, strace);
      EXPECT_EQ(outcome.signal, SIGKILL) << outcome.output;
      ExpectMatchesLog(c);
      ExpectResetRestores(c);
    }
  }
}

// Killed at a random moment, without strace slowing the run down.
TEST(RandomCrashTest, RunKilledAtRandomTimes) {
  std::mt19937 random(20261207);
  // How long a whole run takes here, to spread the kills over it.
  double whole = 0;
  {
    Case c(20000, 99);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = RunOn(c);
    whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome.output;
    ExpectMatchesLog(c);
  }
  for (int round = 0; round < 5; ++round) {
    Case c(20000, 100 + static_cast<unsigned>(round));
    const double delay = whole * std::uniform_real_distribution<double>(0.05, 0.95)(random);
    SCOPED_TRACE("killed after " + std::to_string(delay) + " s of " + std::to_string(whole));
    ++SuiteTally().crashPoints;
    const std::string output = c.scratch / "output";
    const pid_t child = StartCli({RunArgs(c.tree, c.logs), {}}, output);
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    kill(child, SIGKILL);
    WaitCli(child, output);
    ExpectMatchesLog(c);
    ExpectResetRestores(c);
  }
}

}  // namespace
}  // namespace tokiren::reliability
