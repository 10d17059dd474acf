// The rename pass on POSIX: modes, names Windows cannot hold, unprivileged users, hard links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"

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

}  // namespace
}  // namespace tokiren
