// The rename pass and Reset on Windows: read-only files, files held open, case-insensitive names,
// long paths and logs written in the ANSI code page by older programs.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "platform/program_folder.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::TempTree;

// Attributes are set through the wide call on UTF-16 of the path.
std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

class Win32RenameTest : public ::testing::Test {
 protected:
  TempTree tree_;
  JobOnTree fixture_{tree_, Checked({".JPG"})};
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(Win32RenameTest, RenamesAReadOnlyFileAndLeavesItReadOnly) {
  const std::string path = tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(fixture_.job.Run().renamed, 1u);
  const std::string renamed = tree_ / "photos/20160830124842.JPG";
  EXPECT_TRUE(GetFileAttributesW(Wide(renamed).c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(fixture_.job.Reset().restored, 1u);
  EXPECT_TRUE(GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32RenameTest, LeavesHiddenAndSystemFilesAlone) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  const std::string hidden = tree_.Write("photos/hidden.jpg", "h", stamp42_);
  const std::string system = tree_.Write("photos/system.jpg", "s", stamp42_);
  ASSERT_TRUE(SetFileAttributesW(Wide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(Wide(system).c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_EQ(fixture_.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "hidden.jpg", "system.jpg"}));
}

TEST_F(Win32RenameTest, AFileHeldOpenWithoutSharingStopsTheRunAndNothingIsLost) {
  tree_.Write("photos/a.jpg", "held", stamp42_);
  tree_.Write("photos/b.jpg", "free", stamp42_ + 1);
  const HANDLE held = CreateFileW(Wide(tree_ / "photos/a.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const RunSummary summary = fixture_.job.Run();
  CloseHandle(held);
  EXPECT_EQ(summary.error, kPathFileAccessError);
  ASSERT_EQ(fixture_.sink.errors.size(), 1u);
  EXPECT_EQ(fixture_.sink.errors[0].text, "パス名が無効です。\r\n" + tree_ / "photos/a.jpg\r" +
                                              tree_ / "photos/20160830124842.JPG");
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "held");
  EXPECT_EQ(tree_.Read("photos/b.jpg"), "free");
  // The line of the rename that failed stays in the log; Reset finds nothing moved and skips it.
  const ResetSummary reset = fixture_.job.Reset();
  EXPECT_EQ(reset.restored, 0u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(Win32RenameTest, CountsUpPastACaseVariantOfATakenName) {
  // The taken file already has its stamp, in lower case: "20160830124842.JPG" is taken by it.
  tree_.Write("photos/20160830124842.jpg", "taken", stamp42_);
  tree_.Write("photos/a.jpg", "a", stamp42_);
  fixture_.job.Run();
  EXPECT_TRUE(fixture_.sink.errors.empty());
  const std::vector<std::string> names = tree_.Names("photos");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "taken");  // found without regard to case
  EXPECT_EQ(tree_.Read("photos/20160830124843.JPG"), "a");
  fixture_.job.Reset();
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
  EXPECT_EQ(tree_.Read("photos/20160830124842.jpg"), "taken");
}

TEST_F(Win32RenameTest, RenamesAndRestoresBelowAPathOverTheOldLimit) {
  std::string relative = "photos/";
  for (int depth = 0; depth < 5; ++depth) relative += std::string(60, 'd') + "/";
  std::string folder = tree_ / relative;
  ASSERT_GT(folder.size(), 300u);
  ASSERT_TRUE(MakeFolders(folder).ok());
  std::unique_ptr<TextFileWriter> writer;
  ASSERT_TRUE(SystemFileSystem().CreateTextFile(folder + "a.jpg", &writer).ok());
  writer.reset();
  ASSERT_EQ(fixture_.job.Run().renamed, 1u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_FALSE(SystemFileSystem().FileExists(folder + "a.jpg"));
  EXPECT_EQ(fixture_.job.Reset().restored, 1u);
  EXPECT_TRUE(SystemFileSystem().FileExists(folder + "a.jpg"));
  ASSERT_TRUE(SystemFileSystem().RemoveOwnFile(folder + "a.jpg").ok());
}

TEST_F(Win32RenameTest, ResetReadsALogLineOfAnOlderProgramInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8, as CTest does";
  const std::string japanese = "\xe5\x86\x99\xe7\x9c\x9f";  // 写真
  const std::string shiftJis = "\x8e\xca\x90\x5e";           // the same in code page 932
  tree_.Write("photos/1.JPG", "one");
  tree_.Write("photos/2.JPG", "two");
  const std::string folder = tree_ / "photos/";
  const std::string log = folder + shiftJis + ".jpg as " + folder + "1.JPG\r\n" +
                          folder + japanese + "2.jpg as " + folder + "2.JPG\r\n";
  tree_.Write("app/tokiren_log.txt", log);
  const ResetSummary summary = fixture_.job.Reset();
  EXPECT_EQ(summary.restored, 2u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{japanese + ".jpg", japanese + "2.jpg"}));
}

}  // namespace
}  // namespace tokiren
