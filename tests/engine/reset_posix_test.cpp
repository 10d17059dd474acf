// Reset on POSIX: a rename back cut off between link and unlink.
#include <gtest/gtest.h>
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

}  // namespace
}  // namespace tokiren
