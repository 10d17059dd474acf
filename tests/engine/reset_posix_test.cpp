// Reset on POSIX: a rename back cut off between link and unlink; modes others may write.
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
using testing::ScopedTimeZone;
using testing::TempTree;

class PosixResetTest : public ::testing::Test {
 protected:
  PosixResetTest() : fixture_(tree_, Checked({".JPG"})), job_(fixture_.job) {}

  ScopedTimeZone zone_{"UTC"};
  TempTree tree_;
  JobOnTree fixture_;
  RenameJob& job_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(PosixResetTest, FinishesARenameBackCutOffBetweenLinkAndUnlink) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 1u);
  ASSERT_EQ(link((tree_ / "photos/20160830124842.JPG").c_str(), (tree_ / "photos/a.jpg").c_str()),
            0);
  EXPECT_EQ(job_.Reset().restored, 1u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
}

TEST_F(PosixResetTest, RefusesALogOrAFolderOthersMayChange) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(job_.Run().renamed, 1u);
  ASSERT_EQ(chmod(fixture_.logPath.c_str(), 0666), 0);  // anyone could have written it
  ResetSummary summary = job_.Reset();
  EXPECT_EQ(summary.restored, 0u);
  EXPECT_EQ(summary.error, kPathFileAccessError);
  ASSERT_EQ(fixture_.sink.errors.size(), 1u);
  EXPECT_EQ(fixture_.sink.errors[0].text,
            "ログまたはそのフォルダをほかのユーザーも書き換えられます。自分だけが書き込めるように"
            "してからもう一度お試しください。\r\n" + fixture_.logPath);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));

  ASSERT_EQ(chmod(fixture_.logPath.c_str(), 0600), 0);
  ASSERT_EQ(chmod(job_.AppPath.c_str(), 0777), 0);  // anyone could put a log of his in its place
  tree_.Write("photos/b.jpg", "b", stamp42_);
  EXPECT_EQ(job_.Run().error, kPathFileAccessError);
  EXPECT_EQ(job_.Reset().error, kPathFileAccessError);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG", "b.jpg"}));
  ASSERT_EQ(chmod(job_.AppPath.c_str(), 0700), 0);
  EXPECT_EQ(job_.Reset().restored, 1u);
}

}  // namespace
}  // namespace tokiren
