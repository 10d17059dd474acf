// Companions on POSIX: a member whose name the log cannot hold, and names alike but for case.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

// IMG_0001.x<line break>mp shares IMG_0001 with the photo: it is one of the group, and as its
// name cannot be logged it cannot be renamed, which leaves the whole group as it is.
TEST(PosixCompanionsFaultsTest, AMemberTheLogCannotHoldLeavesItsGroupAlone) {
  ScopedTimeZone zone{"Asia/Tokyo"};
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}));
  fixture.job.options.companions = true;
  tree.Write("photos/IMG_0001.JPG", "jpeg", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree.Write("photos/IMG_0001.x\nmp", "sidecar", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.renamed, 0u);
  EXPECT_EQ(tree.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.x\nmp"}));
}

// Where case tells names apart, IMG_0001.JPG and img_0001.jpg are two photos; the sidecar
// img_0001.jpg.xmp is named after the second one's whole name and must follow it, not the first.
TEST(PosixCompanionsFaultsTest, ASidecarFollowsTheMemberOfExactlyItsName) {
  ScopedTimeZone zone{"Asia/Tokyo"};
  TempTree tree;
  const std::time_t stamp42 = LocalTimestamp(2016, 8, 30, 12, 48, 42);
  JobOnTree fixture(tree, Checked({".CR2"}));
  fixture.job.options.companions = true;
  tree.Write("photos/IMG_0001.CR2", "raw", stamp42);
  tree.Write("photos/IMG_0001.JPG", "upper", stamp42);
  tree.Write("photos/img_0001.jpg", "lower", stamp42);
  tree.Write("photos/img_0001.jpg.xmp", "sidecar of lower", stamp42);
  ASSERT_EQ(fixture.job.Run().renamed, 4u);
  EXPECT_EQ(tree.Read("photos/20160830124842.jpg"), "lower");
  EXPECT_TRUE(tree.Exists("photos/20160830124842.jpg.xmp"));
  EXPECT_FALSE(tree.Exists("photos/20160830124842.JPG.xmp"));
}

}  // namespace
}  // namespace tokiren
