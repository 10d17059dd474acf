// The rename pass on POSIX: modes, names Windows cannot hold, unprivileged users, hard links,
// errno in the system's words.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"
#include "platform/forwarding_file_system.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::RunUnprivileged;
using testing::ScopedTimeZone;
using testing::TempTree;

class PosixRenameTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"Asia/Tokyo"};
  TempTree tree_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(PosixRenameTest, AStrayEntrySortedFirstIsOnlyASuffix) {
  JobOnTree fixture(tree_, {{".", true}, {".*", false}, {".JPG", false}});
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.Write("photos/b.", "", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.", "a.jpg"}));
}

TEST_F(PosixRenameTest, RenamesReadOnlyFilesWithoutTouchingTheirMode) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  const std::string path = tree_.Write("photos/a.jpg", "", stamp42_);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  struct stat st;
  ASSERT_EQ(stat((tree_ / "photos/20160830124842.JPG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST_F(PosixRenameTest, LeavesAloneNamesTheLogCannotHold) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/line\nbreak.jpg", "", stamp42_);
  tree_.Write("photos/carriage\rreturn.jpg", "", stamp42_);
  tree_.Write("photos/folder\nbreak/a.jpg", "", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 0u);
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), "");
  EXPECT_TRUE(tree_.Exists("photos/folder\nbreak/a.jpg"));
}

TEST_F(PosixRenameTest, ALogThatCannotBeCreatedRenamesNothing) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "", stamp42_);
  ASSERT_EQ(chmod(fixture.job.AppPath.c_str(), 0555), 0);
  const int status = RunUnprivileged([&] {
    const RunSummary summary = fixture.job.Run();
    return summary.error == kPathFileAccessError && fixture.sink.errors.size() == 1 &&
           fixture.sink.errors[0].text == "パス名が無効です。\r\n\r";
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
}

TEST_F(PosixRenameTest, FinishesARenameCutOffBetweenLinkAndUnlinkThatTheLogRecords) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  const std::string old = tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(link(old.c_str(), (tree_ / "photos/20160830124842.JPG").c_str()), 0);
  const std::string p = fixture.job.SelectedPath;
  const std::string line = p + "a.jpg as " + p + "20160830124842.JPG\r\n";
  tree_.Write("app/tokiren_log.txt", line);
  tree_.Write("app/tokiren_log.run", "");  // the run that wrote it never ended
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "a");
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), line + line);
  EXPECT_EQ(tree_.Names("app"), (std::vector<std::string>{"tokiren_log.lock", "tokiren_log.txt"}));
}

TEST_F(PosixRenameTest, AHardLinkAtTheStampNameIsATakenName) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  const std::string old = tree_.Write("photos/IMG_0001.JPG", "a", stamp42_);
  ASSERT_EQ(link(old.c_str(), (tree_ / "photos/20160830124842.JPG").c_str()), 0);
  // A finished run's log recording that very rename proves nothing either.
  const std::string p = fixture.job.SelectedPath;
  tree_.Write("app/tokiren_log.txt", p + "IMG_0001.JPG as " + p + "20160830124842.JPG\r\n");
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "20160830124843.JPG"}));
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "IMG_0001.JPG"}));
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "a");
}

// One file's time cannot be read, another's year has five digits.
class OddTimesFileSystem : public ForwardingFileSystem {
 public:
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    if (path.ends_with("/refused.jpg")) return kPathFileAccessError.Because(EPERM);
    const ErrorCode error = base_.GetFileTimes(path, times);
    if (path.ends_with("/far.jpg")) times->lastWrite.year = 10000;
    return error;
  }
};

class UnreadableSink : public testing::RecordingSink {
 public:
  void FileDone(const FileReport& file) override {
    if (file.outcome != FileOutcome::kTimeUnreadable) return;
    unreadable.push_back(std::string(file.name) + ": " + std::string(file.reason));
  }
  std::vector<std::string> unreadable;
};

TEST_F(PosixRenameTest, FilesWhoseTimeCannotBeReadAreCountedAndNamed) {
  OddTimesFileSystem fileSystem;
  UnreadableSink sink;
  RenameJob job(fileSystem, sink);
  job.SelectedPath = tree_.MakeFolder("photos") + "/";
  job.AppPath = tree_.MakeFolder("app") + "/";
  job.options.extensions = Checked({".JPG"});
  tree_.Write("photos/far.jpg", "", stamp42_);
  tree_.Write("photos/ok.jpg", "", stamp42_);
  tree_.Write("photos/refused.jpg", "", stamp42_);
  const RunSummary summary = job.Run();
  EXPECT_EQ(summary.renamed, 1u);
  EXPECT_EQ(summary.unreadable, 2u);
  EXPECT_EQ(sink.unreadable, (std::vector<std::string>{"far.jpg: its year lies outside 0-9999",
                                                       "refused.jpg: Operation not permitted"}));
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "far.jpg", "refused.jpg"}));
}

// Puts a new file in the place of "a.jpg" once its time was read, as another program saving over
// it would.
class ReplacingFileSystem : public ForwardingFileSystem {
 public:
  explicit ReplacingFileSystem(TempTree& tree) : tree_(tree) {}
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    const ErrorCode error = base_.GetFileTimes(path, times);
    if (NameOf(path) == "a.jpg") {
      tree_.Write("photos/new.tmp", "new content", LocalTimestamp(2020, 1, 1, 0, 0, 0));
      std::rename((tree_ / "photos/new.tmp").c_str(), (tree_ / "photos/a.jpg").c_str());
    }
    return error;
  }

 private:
  TempTree& tree_;
};

TEST_F(PosixRenameTest, AFileReplacedAfterItsTimeWasReadIsLeftAloneAndLeavesNoLine) {
  ReplacingFileSystem fileSystem(tree_);
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/a.jpg", "old content", stamp42_);
  tree_.Write("photos/b.jpg", "b", LocalTimestamp(2016, 8, 30, 12, 48, 43));
  const RunSummary summary = fixture.job.Run();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(summary.renamed, 1u);
  EXPECT_EQ(summary.unreadable, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124843.JPG", "a.jpg"}));
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "new content");
  const std::string p = fixture.job.SelectedPath;
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),
            p + "b.jpg as " + p + "20160830124843.JPG\r\n");
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg"}));

  // A run whose every rename was withdrawn made none: the last run's log stays the way back.
  tree_.Write("photos/sub/c.jpg", "c", LocalTimestamp(2016, 8, 30, 12, 48, 44));
  fixture.job.SelectedPath = tree_ / "photos/sub/";
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  const std::string lastLog = tree_.Read("app/tokiren_log.txt");
  fixture.job.SelectedPath = p;
  std::remove((tree_ / "photos/b.jpg").c_str());  // only a.jpg, replaced once its time is read
  EXPECT_EQ(fixture.job.Run().renamed, 0u);
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), lastLog);
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_TRUE(tree_.Exists("photos/sub/c.jpg"));
}

}  // namespace
}  // namespace tokiren
