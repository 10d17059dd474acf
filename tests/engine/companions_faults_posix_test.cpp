// Companions on POSIX: a member whose name the log cannot hold.
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

}  // namespace
}  // namespace tokiren
