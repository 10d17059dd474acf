// The file system, on every platform: what the contracts promise alike.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

TEST(ListFolderTest, ReportsAMissingFolder) {
  TempTree tree;
  std::vector<FolderEntry> entries;
  EXPECT_EQ(SystemFileSystem().ListFolder(tree / "missing/", FileSystem::ListMask::kFiles, &entries),
            kPathNotFound);
}

TEST(RenameNoReplaceTest, RenamesAndNeverReplaces) {
  TempTree tree;
  tree.Write("a", "first");
  tree.Write("b", "second");
  FileSystem& fs = SystemFileSystem();
  EXPECT_EQ(fs.RenameNoReplace(tree / "a", tree / "b"), kFileAlreadyExists);
  EXPECT_EQ(tree.Read("a"), "first");
  EXPECT_EQ(tree.Read("b"), "second");
  EXPECT_TRUE(fs.RenameNoReplace(tree / "a", tree / "c").ok());
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(fs.RenameNoReplace(tree / "a", tree / "d"), kFileNotFound);
  EXPECT_EQ(fs.RenameNoReplace(tree / "gone/a", tree / "gone/d"), kPathNotFound);
}

TEST(TextFileTest, WritesBytesUnchangedAndReadsThemBack) {
  TempTree tree;
  std::unique_ptr<TextFileWriter> writer;
  ASSERT_TRUE(SystemFileSystem().CreateTextFile(tree / "log.txt", &writer).ok());
  const std::string bytes = "/a/\xe5\x86\x99\xe7\x9c\x9f.jpg as /a/1.JPG\r\n\xff\xfe\r\n";
  ASSERT_TRUE(writer->Append(bytes).ok());
  ASSERT_TRUE(writer->Sync().ok());
  writer.reset();
  std::string read;
  ASSERT_TRUE(SystemFileSystem().ReadTextFile(tree / "log.txt", &read).ok());
  EXPECT_EQ(read, bytes);
  // Creating it again empties it.
  ASSERT_TRUE(SystemFileSystem().CreateTextFile(tree / "log.txt", &writer).ok());
  writer.reset();
  EXPECT_EQ(tree.Read("log.txt"), "");
}

TEST(TextFileTest, ReplacesAFileWholeAndLeavesNoTemporaryFile) {
  TempTree tree;
  tree.Write("settings", "old\r\n");
  ASSERT_TRUE(SystemFileSystem().ReplaceTextFile(tree / "settings", "new\r\n").ok());
  EXPECT_EQ(tree.Read("settings"), "new\r\n");
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"settings"}));
  EXPECT_EQ(SystemFileSystem().ReplaceTextFile(tree / "missing/settings", "x"), kPathNotFound);
}

TEST(LockTest, OneHolderAtATime) {
  TempTree tree;
  FileSystem& fs = SystemFileSystem();
  FileSystem::LockAttempt first = fs.TryLock(tree / "lock");
  ASSERT_TRUE(first.lock);
  FileSystem::LockAttempt second = fs.TryLock(tree / "lock");
  EXPECT_FALSE(second.lock);
  EXPECT_TRUE(second.heldElsewhere);
  first.lock.reset();
  EXPECT_TRUE(fs.TryLock(tree / "lock").lock);
  FileSystem::LockAttempt nowhere = fs.TryLock(tree / "missing/lock");
  EXPECT_FALSE(nowhere.lock);
  EXPECT_EQ(nowhere.error, kPathNotFound);
}

TEST(TextFileTest, CutsAFileBackAndGoesOnFromThere) {
  TempTree tree;
  std::unique_ptr<TextFileWriter> writer;
  ASSERT_TRUE(SystemFileSystem().CreateTextFile(tree / "log.txt", &writer).ok());
  ASSERT_TRUE(writer->Append("line one\r\nline two\r\n").ok());
  ASSERT_TRUE(writer->Truncate(10).ok());
  ASSERT_TRUE(writer->Append("three\r\n").ok());
  ASSERT_TRUE(writer->Sync().ok());
  writer.reset();
  EXPECT_EQ(tree.Read("log.txt"), "line one\r\nthree\r\n");
}

TEST(FileReaderTest, ReadsAnywhereInTheFileAndNotPastItsEnd) {
  TempTree tree;
  tree.Write("log.txt", "0123456789");
  std::unique_ptr<FileReader> reader;
  ASSERT_TRUE(SystemFileSystem().OpenForReading(tree / "log.txt", &reader).ok());
  EXPECT_EQ(reader->Size(), 10u);
  char middle[4] = {};
  ASSERT_TRUE(reader->ReadAt(3, middle, 4).ok());
  EXPECT_EQ(std::string(middle, 4), "3456");
  EXPECT_FALSE(reader->ReadAt(8, middle, 4).ok());
  EXPECT_EQ(SystemFileSystem().OpenForReading(tree / "missing.txt", &reader), kFileNotFound);
}

TEST(FileReplacementTest, PutsTheNewVersionInPlaceAndKeepsWritingToIt) {
  TempTree tree;
  tree.Write("log.txt", "old\r\n");
  std::unique_ptr<FileReplacement> file;
  ASSERT_TRUE(SystemFileSystem().CreateReplacement(tree / "log.txt", &file).ok());
  ASSERT_TRUE(file->Append("new\r\n").ok());
  EXPECT_EQ(tree.Read("log.txt"), "old\r\n");  // not in place before Commit
  ASSERT_TRUE(file->Commit().ok());
  EXPECT_EQ(tree.Read("log.txt"), "new\r\n");
  ASSERT_TRUE(file->Append("more\r\n").ok());
  ASSERT_TRUE(file->Sync().ok());
  file.reset();
  EXPECT_EQ(tree.Read("log.txt"), "new\r\nmore\r\n");
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"log.txt"}));
}

TEST(FileReplacementTest, OneDroppedBeforeCommitLeavesTheFileAndNoTrace) {
  TempTree tree;
  tree.Write("settings", "old\r\n");
  std::unique_ptr<FileReplacement> file;
  ASSERT_TRUE(SystemFileSystem().CreateReplacement(tree / "settings", &file).ok());
  ASSERT_TRUE(file->Append("new\r\n").ok());
  file.reset();
  EXPECT_EQ(tree.Read("settings"), "old\r\n");
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"settings"}));
}

TEST(OwnFilesTest, MovesOverATakenNameAndRemovesQuietly) {
  TempTree tree;
  tree.Write("a", "first");
  tree.Write("b", "second");
  FileSystem& fs = SystemFileSystem();
  ASSERT_TRUE(fs.MoveOwnFile(tree / "a", tree / "b").ok());
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"b"}));
  EXPECT_EQ(tree.Read("b"), "first");
  ASSERT_TRUE(fs.RemoveOwnFile(tree / "b").ok());
  EXPECT_TRUE(fs.RemoveOwnFile(tree / "b").ok());  // already gone
  EXPECT_TRUE(tree.Names().empty());
}

}  // namespace
}  // namespace tokiren
