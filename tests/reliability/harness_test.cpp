// The suite's own check must catch what it exists to catch.
#include <unistd.h>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

TEST(ManifestCheckTest, CatchesARenameWithoutItsLineAReplaceAndAChange) {
  const long lostBefore = SuiteTally().filesLost;
  Case c(0);
  WriteFileText(c.tree + "/a.jpg", "a");
  WriteFileText(c.tree + "/b.jpg", "b");
  WriteFileText(c.tree + "/c.jpg", "c");
  c.Retake();
  const std::string log = c.tree + "/a.jpg as " + c.tree + "/A.JPG\r\n";
  ASSERT_EQ(rename((c.tree + "/a.jpg").c_str(), (c.tree + "/A.JPG").c_str()), 0);
  EXPECT_TRUE(CheckAfterRun(c.before, TakeManifest(c.tree), LoggedRenames(log, c.tree)).empty());

  // Renamed without a line.
  ASSERT_EQ(rename((c.tree + "/b.jpg").c_str(), (c.tree + "/B.JPG").c_str()), 0);
  Problems problems = CheckAfterRun(c.before, TakeManifest(c.tree), LoggedRenames(log, c.tree));
  ASSERT_EQ(problems.size(), 2u) << Describe(problems);
  EXPECT_EQ(problems[0], "lost: b.jpg (no log line)");
  EXPECT_EQ(problems[1], "unexpected file: B.JPG");
  ASSERT_EQ(rename((c.tree + "/B.JPG").c_str(), (c.tree + "/b.jpg").c_str()), 0);

  // Replaced: c.jpg over b.jpg.
  ASSERT_EQ(rename((c.tree + "/c.jpg").c_str(), (c.tree + "/b.jpg").c_str()), 0);
  problems = CheckAfterRun(c.before, TakeManifest(c.tree), LoggedRenames(log, c.tree));
  EXPECT_FALSE(problems.empty());
  EXPECT_FALSE(CheckSame(c.before, TakeManifest(c.tree)).empty());
  SuiteTally().filesLost = lostBefore;  // the losses above were made on purpose
}

TEST(ManifestCheckTest, CatchesAChangedFileAndReadsOnlyCompleteSameFolderLines) {
  Case c(0);
  WriteFileText(c.tree + "/a.jpg", "a");
  c.Retake();
  WriteFileText(c.tree + "/a.jpg", "b");
  EXPECT_EQ(CheckSame(c.before, TakeManifest(c.tree)).size(), 1u);

  const std::string root = "/r";
  const auto renames = LoggedRenames(
      "/r/x as y/1 as /r/x as y/2\r\n/r/p as /r/q/z\r\n/r/m as /r/n\r\n/r/torn as /r/t", root);
  ASSERT_EQ(renames.size(), 2u);
  EXPECT_EQ(renames.at("x as y/1"), "x as y/2");
  EXPECT_EQ(renames.at("m"), "n");
}

}  // namespace
}  // namespace tokiren::reliability
