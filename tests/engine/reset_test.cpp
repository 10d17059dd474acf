#include <gtest/gtest.h>

#include <cstdio>

#include <algorithm>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"
#include "platform/forwarding_file_system.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

class ResetTest : public ::testing::Test {
 protected:
  ResetTest() : fixture_(tree_, Checked({".JPG"})), job_(fixture_.job) {}

  std::string Log() const { return tree_.Read("app/tokiren_log.txt"); }
  void WriteLog(const std::string& contents) const { tree_.Write("app/tokiren_log.txt", contents); }

  ScopedTimeZone zone_{"UTC"};
  TempTree tree_;
  JobOnTree fixture_;
  RenameJob& job_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(ResetTest, WithoutALogDoesNothingAndShowsNothing) {
  tree_.Write("photos/a.jpg");
  const ResetSummary summary = job_.Reset();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(summary.restored, 0u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_FALSE(tree_.Exists("app/tokiren_log.txt"));
  WriteLog("");
  EXPECT_EQ(job_.Reset().restored, 0u);
  EXPECT_EQ(Log(), "");
}

TEST_F(ResetTest, RestoresEveryNameAndASecondResetDoesNothing) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_);  // counted up
  tree_.Write("photos/sub/c.jpg", "c", stamp42_);
  tree_.Write("photos/d.png", "d", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 3u);
  const ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 3u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg", "d.png", "sub"}));
  EXPECT_EQ(tree_.Read("photos/b.jpg"), "b");
  EXPECT_EQ(tree_.Names("photos/sub"), (std::vector<std::string>{"c.jpg"}));
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(job_.Reset().restored, 0u);
}

TEST_F(ResetTest, UndoesAChainLastRenameFirst) {
  // The first file gives up the name 20160830124842.JPG, which the second then takes.
  tree_.Write("photos/20160830124842.JPG", "first", LocalTimestamp(2016, 8, 30, 12, 48, 50));
  tree_.Write("photos/b.jpg", "second", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 2u);
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "second");
  EXPECT_EQ(job_.Reset().restored, 2u);
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "first");
  EXPECT_EQ(tree_.Read("photos/b.jpg"), "second");
  // The restored first file stands at a logged new name again: a second Reset must not move it.
  EXPECT_EQ(job_.Reset().restored, 0u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG", "b.jpg"}));
}

TEST_F(ResetTest, UndoesPathsContainingTheSeparatorText) {
  tree_.Write("photos/a as b/x as y.jpg", "x", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 1u);
  EXPECT_EQ(job_.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos/a as b"), (std::vector<std::string>{"x as y.jpg"}));
}

TEST_F(ResetTest, LeavesDamagedLinesAloneAndUndoesTheRest) {
  const std::string p = tree_ / "photos/";
  tree_.Write("photos/1.JPG", "one");
  tree_.Write("photos/2.JPG", "two");
  tree_.Write("photos/3.JPG", "three");
  tree_.Write("photos/other/4.JPG", "four");
  const std::string damaged = "no separator here\r\n" +
                              p + "d.jpg as " + p + "other" + kPathSeparator + "4.JPG\r\n" +  // not one folder
                              p + "e.jpg as 3.JPG\r\n";                  // not a full path
  WriteLog(p + "a.jpg as " + p + "1.JPG\r\n" + damaged + p + "b.jpg as " + p + "2.JPG\r\n" +
           p + "c.jpg as " + p + "3.J");  // torn by a crash
  const ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 2u);
  EXPECT_EQ(summary.damaged, 3u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"3.JPG", "a.jpg", "b.jpg", "other"}));
  EXPECT_EQ(tree_.Names("photos/other"), (std::vector<std::string>{"4.JPG"}));
  EXPECT_EQ(Log(), damaged);
}

TEST_F(ResetTest, KeepsTheLinesOfFilesNotFoundForALaterReset) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/card/b.jpg", "b", stamp42_ + 1);
  tree_.Write("photos/card/c.jpg", "c", stamp42_ + 2);
  ASSERT_EQ(job_.Run().renamed, 3u);
  const std::string log = Log();
  // The card is taken out before Reset, and put back afterwards.
  ASSERT_EQ(std::rename((tree_ / "photos/card").c_str(), (tree_ / "away").c_str()), 0);
  ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 1u);
  EXPECT_EQ(summary.notFound, 2u);
  EXPECT_TRUE(summary.error.ok());
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(Log(), log.substr(log.find("\r\n") + 2));
  ASSERT_EQ(std::rename((tree_ / "away").c_str(), (tree_ / "photos/card").c_str()), 0);
  summary = job_.Reset();
  EXPECT_EQ(summary.restored, 2u);
  EXPECT_EQ(summary.notFound, 0u);
  EXPECT_EQ(tree_.Names("photos/card"), (std::vector<std::string>{"b.jpg", "c.jpg"}));
  EXPECT_EQ(Log(), "");
}

TEST_F(ResetTest, DropsTheLinesOfRenamesThatNeverHappened) {
  const std::string p = job_.SelectedPath;
  tree_.Write("photos/a.jpg", "a");
  WriteLog(p + "a.jpg as " + p + "20160830124842.JPG\r\n");  // a run killed before its rename
  const ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.neverMade, 1u);
  EXPECT_EQ(summary.restored + summary.notFound, 0u);
  EXPECT_EQ(Log(), "");
}

TEST_F(ResetTest, DropsAKeptLineWhoseNewNameItGaveToAnotherFile) {
  // The first file gives up the name 20160830124842.JPG, which the second then takes; the second
  // is deleted after the run.
  tree_.Write("photos/20160830124842.JPG", "first", LocalTimestamp(2016, 8, 30, 12, 48, 50));
  tree_.Write("photos/b.jpg", "second", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 2u);
  ASSERT_EQ(std::remove((tree_ / "photos/20160830124842.JPG").c_str()), 0);
  const ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 1u);
  EXPECT_EQ(summary.forgotten, 1u);
  EXPECT_EQ(summary.notFound, 0u);
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "first");
  // Kept, "b.jpg as 20160830124842.JPG" would have a later Reset move the first file to b.jpg.
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(job_.Reset().restored, 0u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
}

TEST_F(ResetTest, ReportsARenameBackThatFailsAndRetriesItLater) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_ + 1);
  ASSERT_EQ(job_.Run().renamed, 2u);
  const std::string firstLine = Log().substr(0, Log().find("\r\n") + 2);
  tree_.Write("photos/a.jpg", "taken meanwhile");
  const ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 1u);
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(summary.error, kFileAlreadyExists);
  ASSERT_EQ(fixture_.sink.errors.size(), 1u);
  const std::string p = job_.SelectedPath;
  EXPECT_EQ(fixture_.sink.errors[0].text,
            "同名のファイルが存在します。\r\n" + p + "a.jpg\r" + p + "20160830124842.JPG");
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "taken meanwhile");
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "a");
  EXPECT_EQ(Log(), firstLine);

  ASSERT_EQ(std::remove((tree_ / "photos/a.jpg").c_str()), 0);
  EXPECT_EQ(job_.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

TEST_F(ResetTest, ARunOrResetIsRefusedWhileAnotherHoldsTheLog) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 1u);
  FileSystem::LockAttempt other =
      SystemFileSystem().TryLock(job_.AppPath + std::string(kLockFileName));
  ASSERT_TRUE(other.lock);
  EXPECT_EQ(job_.Reset().restored, 0u);
  EXPECT_EQ(job_.Run().renamed, 0u);
  ASSERT_EQ(fixture_.sink.errors.size(), 2u);
  EXPECT_EQ(fixture_.sink.errors[0].text,
            "ほかの実行またはリセットが進行中です。終わってからもう一度お試しください。\r\n" +
                fixture_.logPath);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
  other.lock.reset();
  EXPECT_EQ(job_.Reset().restored, 1u);
}

TEST_F(ResetTest, ReportsItsProgressAsBytesOfTheLogHandled) {
  // Files at neither name: every line is read and kept, and nothing on the disk changes.
  const std::string p = job_.SelectedPath;
  std::string log;
  for (int i = 0; i < 10000; ++i) {
    log += p + "gone" + std::to_string(i) + ".jpg as " + p + "20160830" + std::to_string(i) +
           ".JPG\r\n";
  }
  WriteLog(log);
  EXPECT_EQ(job_.Reset().notFound, 10000u);
  const auto& progress = fixture_.sink.progress;
  ASSERT_GE(progress.size(), 2u);
  std::uint64_t before = 0;
  for (const auto& report : progress) {
    EXPECT_EQ(report.phase, EngineSink::Phase::kResetting);
    EXPECT_EQ(report.total, log.size());
    EXPECT_GT(report.done, before);
    EXPECT_LE(report.done, report.total);
    before = report.done;
  }
  EXPECT_EQ(progress.back().done, log.size());
}

// Records the order of folder syncs and log replacements; can refuse to sync.
class SyncOrderFileSystem : public ForwardingFileSystem {
 public:
  ErrorCode SyncFolder(const std::string& folder) override {
    calls.push_back("sync " + folder);
    return refuseSync ? kPathFileAccessError : base_.SyncFolder(folder);
  }
  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    calls.push_back("replace " + std::string(NameOf(path)));
    return base_.CreateReplacement(path, writer);
  }
  std::vector<std::string> calls;
  bool refuseSync = false;
};

TEST(ResetDurabilityTest, NamesGivenBackReachTheDiskBeforeTheLogDropsTheirLines) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  SyncOrderFileSystem fileSystem;
  JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
  tree.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree.Write("photos/sub/b.jpg", "b", LocalTimestamp(2016, 8, 30, 12, 48, 43));
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  const std::string log = tree.Read("app/tokiren_log.txt");

  // A folder that cannot be synced: the files are back, the log stays whole.
  fileSystem.refuseSync = true;
  ResetSummary summary = fixture.job.Reset();
  EXPECT_EQ(summary.restored, 2u);
  EXPECT_EQ(summary.error, kPathFileAccessError);
  EXPECT_EQ(fixture.sink.errors.size(), 1u);
  EXPECT_EQ(tree.Read("app/tokiren_log.txt"), log);
  EXPECT_TRUE(tree.Exists("photos/a.jpg") && tree.Exists("photos/sub/b.jpg"));

  // Run again, then a Reset whose syncs work: both folders first, then the log, then the removal
  // of the mark the Reset set on the log while it renamed.
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  fileSystem.calls.clear();
  fileSystem.refuseSync = false;
  summary = fixture.job.Reset();
  EXPECT_EQ(summary.restored, 2u);
  ASSERT_EQ(fileSystem.calls.size(), 4u);
  std::vector<std::string> syncs(fileSystem.calls.begin(), fileSystem.calls.begin() + 2);
  std::sort(syncs.begin(), syncs.end());
  EXPECT_EQ(syncs, (std::vector<std::string>{"sync " + tree / "photos/",
                                              "sync " + tree / "photos/sub/"}));
  EXPECT_EQ(fileSystem.calls[2], "replace tokiren_log.txt");
  EXPECT_EQ(fileSystem.calls[3], "sync " + fixture.job.AppPath);
  EXPECT_EQ(tree.Read("app/tokiren_log.txt"), "");
}

}  // namespace
}  // namespace tokiren
