// The settings files on Windows: files of older programs in the ANSI code page, and where the
// program keeps its files.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "settings/settings_files.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

TEST(Win32SettingsFilesTest, ReadsAFileOfAnOlderProgramInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8, as CTest does";
  TempTree tree;
  SettingsFiles files(SystemFileSystem(), tree.path());
  tree.Write("tokirenfolder", "C:\\\x8e\xca\x90\x5e\\\r\n");  // C:\写真\ in code page 932
  std::string folder;
  ASSERT_TRUE(files.LoadKeptFolder(&folder).ok());
  EXPECT_EQ(folder, "C:\\\xe5\x86\x99\xe7\x9c\x9f\\");
  // Written back, it is UTF-8.
  ASSERT_TRUE(files.SaveKeptFolder(folder).ok());
  EXPECT_EQ(tree.Read("tokirenfolder"), "C:\\\xe5\x86\x99\xe7\x9c\x9f\\\r\n");
  ASSERT_TRUE(files.LoadKeptFolder(&folder).ok());
  EXPECT_EQ(folder, "C:\\\xe5\x86\x99\xe7\x9c\x9f\\");
}

TEST(Win32ChooseProgramFolderTest, KeepsTheFilesBesideTheProgram) {
  TempTree folder;
  folder.Write("tokiren.exe", "MZ");  // the window's program has its ending; "tokiren" is free
  EXPECT_EQ(ChooseProgramFolder(folder.path()), folder.path());
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"tokiren.exe"}));
}

TEST(Win32ChooseProgramFolderTest, FallsBackToLocalAppDataWhereTheFolderIsGone) {
  TempTree home;
  wchar_t old[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", old, MAX_PATH);
  const std::string data = home / "data";
  const std::wstring wide(data.begin(), data.end());  // the temporary folder's path is ASCII
  ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", wide.c_str()));
  const std::string chosen = ChooseProgramFolder(home / "missing\\");
  SetEnvironmentVariableW(L"LOCALAPPDATA", length > 0 && length < MAX_PATH ? old : nullptr);
  EXPECT_EQ(chosen, home / "data/Tokiren/");
  EXPECT_TRUE(CanWriteFolder(chosen));
}

}  // namespace
}  // namespace tokiren
