#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::TempTree;

// The collected paths below `root`, written with "/".
std::vector<std::string> Collected(const RenameJob& job, const std::string& root) {
  std::vector<std::string> paths;
  for (int i = 1; i <= job.FileCount(); ++i) {
    std::string path = (job.PathArray(i) + job.NameArray(i)).substr(root.size());
    std::replace(path.begin(), path.end(), kPathSeparator, '/');
    paths.push_back(std::move(path));
  }
  return paths;
}

TEST(RecurseTreeTest, WalksFilesFirstThenEachSubfolderInOrder) {
  TempTree tree;
  JobOnTree fixture(tree, {});
  RenameJob& job = fixture.job;
  tree.Write("photos/b.jpg");
  tree.Write("photos/A.txt");
  tree.Write("photos/sub1/deep/x.jpg");
  tree.Write("photos/sub1/y.jpg");
  tree.Write("photos/Sub2/z.jpg");
  tree.MakeFolder("photos/empty");
  std::string failed;
  ASSERT_TRUE(job.RecurseTree(job.SelectedPath, &failed).ok());
  EXPECT_EQ(Collected(job, job.SelectedPath),
            (std::vector<std::string>{"A.txt", "b.jpg", "sub1/y.jpg", "sub1/deep/x.jpg",
                                      "Sub2/z.jpg"}));
  EXPECT_EQ(job.PathArray(3), tree / "photos/sub1/");
  EXPECT_EQ(job.PathArray(0), "");
  EXPECT_EQ(job.NameArray(0), "");
  // Files of one folder share one copy of its path.
  EXPECT_EQ(&job.PathArray(1), &job.PathArray(2));
}

TEST(RecurseTreeTest, ATreeWithoutFilesCollectsNothing) {
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}, true));
  tree.MakeFolder("photos/a/b/c");
  EXPECT_TRUE(fixture.job.Run().error.ok());
  EXPECT_EQ(fixture.job.FileCount(), 0);
  EXPECT_EQ(tree.Read("app/tokiren_log.txt"), "");
}

TEST(RecurseTreeTest, WalksAVeryDeepTree) {
  TempTree tree;
  JobOnTree fixture(tree, {});
  std::string relative = "photos/";
  for (int depth = 0; depth < 1000; ++depth) relative += "d/";
  tree.Write(relative + "bottom.jpg");
  tree.Write("photos/top.jpg");
  std::string failed;
  ASSERT_TRUE(fixture.job.RecurseTree(fixture.job.SelectedPath, &failed).ok());
  ASSERT_EQ(fixture.job.FileCount(), 2);
  EXPECT_EQ(fixture.job.NameArray(1), "top.jpg");
  EXPECT_EQ(fixture.job.NameArray(2), "bottom.jpg");
}

TEST(RunTest, ASecondRunCollectsTheRenamedFilesAgain) {
  testing::ScopedTimeZone zone("UTC");
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}));
  tree.Write("photos/a.jpg", "", LocalTimestamp(2001, 9, 9, 1, 46, 40));
  ASSERT_TRUE(fixture.job.Run().error.ok());
  EXPECT_EQ(fixture.job.NameArray(1), "a.jpg");
  fixture.job.options.separator = true;
  ASSERT_TRUE(fixture.job.Run().error.ok());
  ASSERT_EQ(fixture.job.FileCount(), 1);
  EXPECT_EQ(fixture.job.NameArray(1), "20010909014640.JPG");
  EXPECT_EQ(tree.Names("photos"), (std::vector<std::string>{"2001_0909_014640.JPG"}));
}

}  // namespace
}  // namespace tokiren
