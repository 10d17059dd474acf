// The settings files on POSIX: modes, other users, and the program called like the list file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/program_folder.h"
#include "settings/settings_files.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::RunUnprivileged;
using testing::TempTree;

TEST(SettingsFilesTest, AnUnwritableFolderFailsAndKeepsTheOldFile) {
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  ASSERT_TRUE(files.SaveExtensionList({".JPG"}).ok());
  ASSERT_EQ(chmod(files.ExtensionListPath().c_str(), 0644), 0);  // made 0600, for its owner only
  ASSERT_EQ(chmod(tree.path().c_str(), 0555), 0);
  const int status = RunUnprivileged([&] {
    std::vector<std::string> values;
    return files.SaveExtensionList({".PNG"}) == kPathFileAccessError &&
           files.SaveKeptFolder("/x/") == kPathFileAccessError &&
           files.LoadExtensionList(&values).ok() && values == std::vector<std::string>{".JPG"};
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tree.Read("tokiren"), ".JPG\r\n");
}

TEST(SettingsFilesTest, AFifoOrALinkInPlaceOfAFileIsRefusedWithoutWaiting) {
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  ASSERT_EQ(mkfifo(files.ExtensionListPath().c_str(), 0600), 0);  // no writer: an open would wait
  tree.Write("elsewhere", "/somewhere/\r\n");
  ASSERT_EQ(symlink((tree / "elsewhere").c_str(), files.KeptFolderPath().c_str()), 0);
  std::vector<std::string> values;
  EXPECT_TRUE(files.LoadExtensionList(&values).ok());  // not an ordinary file: none there
  EXPECT_TRUE(values.empty());
  std::string defaultPath;
  EXPECT_TRUE(files.LoadKeptFolder(&defaultPath).ok());
  EXPECT_EQ(defaultPath, "");
  // Swapped in after that test, they are refused by the read itself.
  std::string contents;
  EXPECT_EQ(SystemFileSystem().ReadTextFile(files.ExtensionListPath(), &contents),
            kPathFileAccessError);
  EXPECT_FALSE(SystemFileSystem().ReadTextFile(files.KeptFolderPath(), &contents).ok());
  EXPECT_EQ(contents, "");
}

TEST(SettingsFilesTest, AnUnreadableFileFailsWithItsCode) {
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  ASSERT_TRUE(files.SaveKeptFolder("/x/").ok());
  ASSERT_EQ(chmod(files.KeptFolderPath().c_str(), 0), 0);
  const int status = RunUnprivileged([&] {
    std::string defaultPath;
    return files.LoadKeptFolder(&defaultPath) == kPathFileAccessError && defaultPath.empty();
  });
  EXPECT_EQ(status, 0);
}

TEST(ChooseProgramFolderTest, NeverPutsTheListFileOverTheProgram) {
  TempTree folder, home;
  const std::string program = folder.Write("tokiren", "\x7f" "ELF");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  EXPECT_EQ(ChooseProgramFolder(folder.path()), home / "data/tokiren/");
  EXPECT_TRUE(CanWriteFolder(home / "data/tokiren/"));
  unsetenv("XDG_DATA_HOME");
}

TEST(ChooseProgramFolderTest, FallsBackToTheUsersDataFolderWhenItCannotWrite) {
  TempTree folder, home;
  ASSERT_EQ(chmod(home.path().c_str(), 0777), 0);
  ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
  const int status = RunUnprivileged([&] {
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    const std::string chosen = ChooseProgramFolder(folder.path());
    return chosen == home / "data/tokiren/" && CanWriteFolder(chosen);
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tokiren
