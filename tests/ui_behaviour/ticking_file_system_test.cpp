#include "ui/behaviour/ticking_file_system.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/temp_tree.h"

namespace tokiren::behaviour {
namespace {

TEST(TickingFileSystemTest, TicksBeforeEachCallOnItsOwnThreadOnly) {
  tokiren::testing::TempTree tree;
  tree.Write("a.jpg", "a");
  int ticks = 0;
  TickingFileSystem fileSystem(SystemFileSystem(), [&ticks] { ++ticks; });
  EXPECT_TRUE(fileSystem.FileExists(tree / "a.jpg"));
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(fileSystem.ListFolder(tree / "", FileSystem::ListMask::kFilesAndFolders, &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(fileSystem.RenameNoReplace(tree / "a.jpg", tree / "b.jpg").ok());
  EXPECT_EQ(ticks, 3);
  std::thread([&] { EXPECT_TRUE(fileSystem.FileExists(tree / "b.jpg")); }).join();
  EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace tokiren::behaviour
