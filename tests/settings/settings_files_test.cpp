#include "settings/settings_files.h"

#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

TEST(ReadDelimitedValuesTest, ReadsValueByValue) {
  struct Case {
    const char* contents;
    std::vector<std::string> values;
  };
  const Case cases[] = {
      {".JPG\r\n.PNG\r\n", {".JPG", ".PNG"}},
      {".JPG,.PNG\r\n", {".JPG", ".PNG"}},             // two values on one line
      {"   \t.JPG\r\n", {".JPG"}},                      // blanks before a value
      {". JPG\r\n", {". JPG"}},                         // but not inside it
      {"/photos/a,b/\r\n", {"/photos/a", "b/"}},        // a comma ends a value
      {"\"/photos/a,b/\"\r\n", {"/photos/a,b/"}},       // unless the value is quoted
      {"\"x\"junk,y\r\n", {"x", "y"}},
      {"\r\n\r\n.JPG", {".JPG"}},                       // empty lines; no final line end
      {".A\n.B\r.C", {".A", ".B", ".C"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadDelimitedValues(c.contents), c.values) << c.contents;
  }
}

TEST(SettingsFilesTest, WritesCrLfLinesAndReadsThemBack) {
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  std::vector<std::string> values{"stale"};
  ASSERT_TRUE(files.LoadExtensionList(&values).ok());
  EXPECT_TRUE(values.empty());  // first start: no file
  const std::vector<std::string> list{".", ". JPG", ".AVI", ".TXT"};
  ASSERT_TRUE(files.SaveExtensionList(list).ok());
  EXPECT_EQ(tree.Read("tokiren"), ".\r\n. JPG\r\n.AVI\r\n.TXT\r\n");
  ASSERT_TRUE(files.LoadExtensionList(&values).ok());
  EXPECT_EQ(values, list);
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"tokiren"}));  // no temporary file left
}

TEST(SettingsFilesTest, KeepsAFolderUpToItsFirstComma) {
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  std::string defaultPath = "unchanged";
  ASSERT_TRUE(files.LoadKeptFolder(&defaultPath).ok());
  EXPECT_EQ(defaultPath, "unchanged");
  ASSERT_TRUE(files.SaveKeptFolder("/home/me/photos/").ok());
  EXPECT_EQ(tree.Read("tokirenfolder"), "/home/me/photos/\r\n");
  ASSERT_TRUE(files.LoadKeptFolder(&defaultPath).ok());
  EXPECT_EQ(defaultPath, "/home/me/photos/");
  ASSERT_TRUE(files.SaveKeptFolder("/home/me/a,b/").ok());
  ASSERT_TRUE(files.LoadKeptFolder(&defaultPath).ok());
  EXPECT_EQ(defaultPath, "/home/me/a");
  EXPECT_TRUE(SettingsFiles(SystemFileSystem(), "").SaveKeptFolder("/x/").ok());
}

TEST(ChooseProgramFolderTest, UsesAWritableProgramFolder) {
  TempTree folder;
  EXPECT_EQ(ChooseProgramFolder(folder.path()), folder.path());
  folder.Write("tokiren", ".JPG\r\n");  // an extension list is no reason to move
  EXPECT_EQ(ChooseProgramFolder(folder.path()), folder.path());
}

}  // namespace
}  // namespace tokiren
