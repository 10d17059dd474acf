// The collection on POSIX: links, fifos, folders without access, paths past PATH_MAX.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::RunUnprivileged;
using testing::TempTree;

std::vector<std::string> Collected(const RenameJob& job, const std::string& root) {
  std::vector<std::string> paths;
  for (int i = 1; i <= job.FileCount(); ++i) {
    paths.push_back((job.PathArray(i) + job.NameArray(i)).substr(root.size()));
  }
  return paths;
}

TEST(RecurseTreeTest, LeavesOutHiddenEntriesLinksAndSpecialFiles) {
  TempTree tree;
  JobOnTree fixture(tree, {});
  RenameJob& job = fixture.job;
  tree.Write("photos/keep.jpg");
  tree.Write("photos/.hidden.jpg");
  tree.Write("photos/.hidden/inside.jpg");
  tree.Write("elsewhere/outside.jpg");
  ASSERT_EQ(symlink((tree / "elsewhere").c_str(), (tree / "photos/linked").c_str()), 0);
  ASSERT_EQ(symlink("keep.jpg", (tree / "photos/link.jpg").c_str()), 0);
  ASSERT_EQ(symlink(".", (tree / "photos/loop").c_str()), 0);
  ASSERT_EQ(mkfifo((tree / "photos/fifo.jpg").c_str(), 0644), 0);
  std::string failed;
  ASSERT_TRUE(job.RecurseTree(job.SelectedPath, &failed).ok());
  EXPECT_EQ(Collected(job, job.SelectedPath), (std::vector<std::string>{"keep.jpg"}));
}

TEST(RunTest, APathLongerThanTheSystemAcceptsStopsTheRunBeforeAnyRename) {
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}));
  tree.Write("photos/a.jpg", "", 1000000000);
  // Built folder by folder: no single call sees the whole path.
  ASSERT_EQ(chdir(fixture.job.SelectedPath.c_str()), 0);
  const std::string name(200, 'n');
  for (int depth = 0; depth < 25; ++depth) {
    ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  const RunSummary summary = fixture.job.Run();
  // Taken down the same way, as no single path reaches the bottom.
  for (int depth = 0; depth < 25; ++depth) {
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_EQ(rmdir(name.c_str()), 0);
  }
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(summary.error, kPathFileAccessError);
  ASSERT_EQ(fixture.sink.errors.size(), 1u);
  EXPECT_EQ(fixture.sink.errors[0].title, "処理を中止します。");
  EXPECT_TRUE(tree.Exists("photos/a.jpg"));
  EXPECT_FALSE(tree.Exists("app/tokiren_log.txt"));
}

TEST(RunTest, AFolderThatCannotBeListedStopsTheRunBeforeAnyRename) {
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}));
  tree.Write("photos/a.jpg", "", 1000000000);
  const std::string locked = tree.MakeFolder("photos/locked");
  tree.Write("photos/locked/b.jpg");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  ASSERT_EQ(chmod((tree / "app").c_str(), 01777), 0);
  const int status = RunUnprivileged([&] {
    const RunSummary summary = fixture.job.Run();
    return summary.error == kPathFileAccessError && fixture.sink.errors.size() == 1 &&
           fixture.sink.errors[0].where == locked + "/" &&
           fixture.sink.errors[0].text == "パス名が無効です。\r\n" + locked + "/" &&
           access((tree / "photos/a.jpg").c_str(), F_OK) == 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(tree.Exists("photos/a.jpg"));
}

}  // namespace
}  // namespace tokiren
