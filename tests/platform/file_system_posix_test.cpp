// The file system on POSIX: links, special files, modes, errno, the link-and-unlink rename and
// folders swapped by another user.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/errno_mapping.h"
#include "platform/posix/rename_fallback.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

std::vector<std::string> Listed(const std::string& folder, FileSystem::ListMask mask) {
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(SystemFileSystem().ListFolder(folder, mask, &entries).ok());
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? "/" : ""));
  return names;
}

TEST(ListFolderTest, ListsOrdinaryFilesSortedAndLeavesTheRestOut) {
  TempTree tree;
  tree.Write("b.jpg");
  tree.Write("A.JPG");
  tree.Write("a.jpg");
  tree.Write(".hidden.jpg");
  tree.MakeFolder("sub");
  tree.MakeFolder(".hidden-folder");
  ASSERT_EQ(symlink("a.jpg", (tree / "link.jpg").c_str()), 0);
  ASSERT_EQ(symlink("sub", (tree / "link-folder").c_str()), 0);
  ASSERT_EQ(mkfifo((tree / "fifo.jpg").c_str(), 0644), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = tree / "socket.jpg";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(sock);

  EXPECT_EQ(Listed(tree.path(), FileSystem::ListMask::kFiles),
            (std::vector<std::string>{"A.JPG", "a.jpg", "b.jpg"}));
  EXPECT_EQ(Listed(tree.path(), FileSystem::ListMask::kFilesAndFolders),
            (std::vector<std::string>{"A.JPG", "a.jpg", "b.jpg", "sub/"}));
}

TEST(ListFolderTest, ReportsAMissingFolderAndATooLongPath) {
  TempTree tree;
  std::vector<FolderEntry> entries;
  EXPECT_EQ(SystemFileSystem().ListFolder(tree / "missing/", FileSystem::ListMask::kFiles, &entries),
            kPathNotFound);
  const std::string tooLong = tree.path() + std::string(5000, 'a') + "/";
  EXPECT_EQ(SystemFileSystem().ListFolder(tooLong, FileSystem::ListMask::kFiles, &entries),
            kPathFileAccessError);
}

TEST(FileExistsTest, FindsOnlyOrdinaryFilesByTheirExactName) {
  TempTree tree;
  tree.Write("photo.JPG");
  tree.Write(".hidden");
  tree.MakeFolder("folder.JPG");
  ASSERT_EQ(symlink("photo.JPG", (tree / "link.JPG").c_str()), 0);
  FileSystem& fs = SystemFileSystem();
  EXPECT_TRUE(fs.FileExists(tree / "photo.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "photo.jpg"));  // ext4 tells the cases apart
  EXPECT_FALSE(fs.FileExists(tree / ".hidden"));
  EXPECT_FALSE(fs.FileExists(tree / "folder.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "link.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "missing.JPG"));
}

TEST(FileTimesTest, UsesTheZoneRulesOfTheFilesOwnDate) {
  ScopedTimeZone zone("Europe/Berlin");
  TempTree tree;
  // 10:00 UTC is 12:00 in summer (CEST) and 11:00 in winter (CET), whatever today's season.
  const std::string summer = tree.Write("summer", "", 1467280800);  // 2016-06-30 10:00 UTC
  const std::string winter = tree.Write("winter", "", 1453716000);  // 2016-01-25 10:00 UTC
  FileTimes times;
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(summer, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2016, 6, 30, 12, 0, 0}));
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(winter, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2016, 1, 25, 11, 0, 0}));
}

TEST(FileTimesTest, ReadsFilesTheUserMayNotWriteWithoutTouchingThem) {
  TempTree tree;
  const std::string path = tree.Write("locked.jpg", "x", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  FileTimes times;
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(path, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2016, 8, 30, 12, 48, 42}));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0u);
  // Where there is no birth time the last-write time stands in; either way it is a real date.
  EXPECT_GE(times.creation.year, 1970);
  EXPECT_EQ(SystemFileSystem().GetFileTimes(tree / "missing", &times), kFileNotFound);
}

TEST(OpenToReadTest, OpensOnlyTheRegularFileItselfAndNeverWaits) {
  TempTree tree;
  const std::string photo = tree.Write("a.jpg", "x", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  ASSERT_EQ(symlink(photo.c_str(), (tree / "link.jpg").c_str()), 0);
  ASSERT_EQ(mkfifo((tree / "fifo.jpg").c_str(), 0600), 0);
  FileSystem& fs = SystemFileSystem();
  std::unique_ptr<OpenFile> file;
  ASSERT_TRUE(fs.OpenToRead(photo, &file).ok());
  FileTimes listed;
  ASSERT_TRUE(fs.GetFileTimes(photo, &listed).ok());
  EXPECT_EQ(file->Times().lastWrite, (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(file->Times().id, listed.id);
  char byte = 0;
  EXPECT_EQ(pread(static_cast<int>(file->NativeHandle()), &byte, 1, 0), 1);
  EXPECT_EQ(byte, 'x');
  EXPECT_TRUE(fs.IsSameFile(photo, listed.id));
  EXPECT_FALSE(fs.IsSameFile(tree / "link.jpg", listed.id));  // a link to it is not the file

  // A link and a fifo put in a photo's place; the fifo would block an open without O_NONBLOCK.
  EXPECT_EQ(fs.OpenToRead(tree / "link.jpg", &file), kFileNotFound);
  EXPECT_EQ(fs.OpenToRead(tree / "fifo.jpg", &file), kFileNotFound);
  EXPECT_EQ(fs.OpenToRead(tree / "missing.jpg", &file), kFileNotFound);

  // Another program's lease: the open fails at once instead of waiting for it to be given up.
  const std::string leased = tree.Write("leased.jpg", "y");
  const int holder = open(leased.c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  // The holder is told of the break by SIGIO, which would end this process.
  const auto previous = signal(SIGIO, SIG_IGN);
  if (fcntl(holder, F_SETLEASE, F_WRLCK) != 0) {
    close(holder);
    signal(SIGIO, previous);
    GTEST_SKIP() << "no leases here: " << std::strerror(errno);
  }
  EXPECT_EQ(fs.OpenToRead(leased, &file), kPathFileAccessError);
  close(holder);
  signal(SIGIO, previous);

  // Replaced since its identity was read: another file under the same name.
  ASSERT_EQ(rename(leased.c_str(), photo.c_str()), 0);
  EXPECT_FALSE(fs.IsSameFile(photo, listed.id));
}

TEST(LocalTimeOfUtcTest, UsesTheZoneRulesOfTheMomentsOwnDate) {
  ScopedTimeZone zone("America/New_York");
  EXPECT_EQ(LocalTimeOfUtc({2016, 8, 30, 16, 48, 42}), (LocalTime{2016, 8, 30, 12, 48, 42}));  // EDT
  EXPECT_EQ(LocalTimeOfUtc({2016, 1, 15, 17, 0, 0}), (LocalTime{2016, 1, 15, 12, 0, 0}));     // EST
  EXPECT_EQ(LocalTimeOfUtc({2016, 1, 1, 3, 0, 0}), (LocalTime{2015, 12, 31, 22, 0, 0}));
  EXPECT_FALSE(LocalTimeOfUtc({2016, 2, 30, 0, 0, 0}));
  EXPECT_FALSE(LocalTimeOfUtc({2016, 13, 1, 0, 0, 0}));
}

TEST(RenameNoReplaceTest, TheLinkFallbackNeverReplacesEither) {
  TempTree tree;
  tree.Write("a", "first");
  tree.Write("b", "second");
  EXPECT_EQ(RenameByLinkAndUnlink(tree / "a", tree / "b"), kFileAlreadyExists);
  EXPECT_EQ(tree.Read("b"), "second");
  EXPECT_TRUE(RenameByLinkAndUnlink(tree / "a", tree / "c").ok());
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(tree.Read("c"), "first");
}

TEST(InterruptedRenameTest, FinishesOnlyTwoNamesOfOneFileInOneFolder) {
  TempTree tree;
  tree.Write("old", "data");
  tree.Write("other", "data");
  ASSERT_EQ(link((tree / "old").c_str(), (tree / "new").c_str()), 0);
  FileSystem& fs = SystemFileSystem();
  using Cut = FileSystem::Interruption;
  EXPECT_EQ(fs.InterruptedRename(tree / "old", tree / "other"), Cut::kNone);  // two files
  EXPECT_EQ(fs.InterruptedRename(tree / "old", tree / "old"), Cut::kNone);    // one name
  EXPECT_EQ(fs.FinishInterruptedRename(tree / "other", tree / "new"), kFileAlreadyExists);
  EXPECT_EQ(fs.InterruptedRename(tree / "old", tree / "new"), Cut::kLinked);
  EXPECT_TRUE(fs.FinishInterruptedRename(tree / "old", tree / "new").ok());
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"new", "other"}));
  EXPECT_EQ(tree.Read("new"), "data");
}

// What another user may do to a folder of a shared tree between the listing and the renames.

class SwappedFolderTest : public ::testing::Test {
 protected:
  SwappedFolderTest() {
    tree_.Write("shared/sub/a.jpg", "in the tree");
    tree_.Write("private/a.jpg", "the victim's own");
    tree_.Write("private/b.jpg", "the victim's other");
    sub_ = tree_ / "shared/sub/";
  }
  void SwapForLink() const {
    ASSERT_EQ(rename((tree_ / "shared/sub").c_str(), (tree_ / "shared/away").c_str()), 0);
    ASSERT_EQ(symlink((tree_ / "private").c_str(), (tree_ / "shared/sub").c_str()), 0);
  }
  void ExpectPrivateUntouched() const {
    EXPECT_EQ(tree_.Names("private"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(tree_.Read("private/a.jpg"), "the victim's own");
  }
  TempTree tree_;
  std::string sub_;
};

TEST_F(SwappedFolderTest, AFolderSwappedForALinkAfterItsListingIsNeverEntered) {
  FileSystem& fs = SystemFileSystem();
  ASSERT_TRUE(fs.TryLock(tree_ / "lock").lock);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(fs.ListFolder(sub_, FileSystem::ListMask::kFiles, &entries).ok());
  SwapForLink();
  FileTimes times;
  EXPECT_FALSE(fs.FileExists(sub_ + "a.jpg"));
  EXPECT_FALSE(fs.GetFileTimes(sub_ + "a.jpg", &times).ok());
  EXPECT_FALSE(fs.RenameNoReplace(sub_ + "a.jpg", sub_ + "c.jpg").ok());
  EXPECT_FALSE(RenameByLinkAndUnlink(sub_ + "a.jpg", sub_ + "c.jpg").ok());
  ASSERT_EQ(link((tree_ / "private/b.jpg").c_str(), (tree_ / "private/twin.jpg").c_str()), 0);
  EXPECT_EQ(fs.FinishInterruptedRename(sub_ + "b.jpg", sub_ + "twin.jpg"), kFileAlreadyExists);
  ASSERT_EQ(unlink((tree_ / "private/twin.jpg").c_str()), 0);
  ExpectPrivateUntouched();
}

TEST_F(SwappedFolderTest, AFolderReplacedByAnotherAfterItsListingIsNotTheOneListed) {
  FileSystem& fs = SystemFileSystem();
  ASSERT_TRUE(fs.TryLock(tree_ / "lock").lock);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(fs.ListFolder(sub_, FileSystem::ListMask::kFiles, &entries).ok());
  ASSERT_EQ(rename((tree_ / "shared/sub").c_str(), (tree_ / "shared/away").c_str()), 0);
  ASSERT_EQ(rename((tree_ / "private").c_str(), (tree_ / "shared/sub").c_str()), 0);
  EXPECT_EQ(fs.RenameNoReplace(sub_ + "a.jpg", sub_ + "c.jpg"), kPathNotFound);
  EXPECT_EQ(tree_.Names("shared/sub"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(SwappedFolderTest, APathThroughALinkIsRefusedWithoutAListingToo) {
  FileSystem& fs = SystemFileSystem();
  ASSERT_TRUE(fs.TryLock(tree_ / "lock").lock);  // a new job, as Reset starts: nothing listed
  SwapForLink();
  EXPECT_FALSE(fs.FileExists(sub_ + "a.jpg"));
  EXPECT_FALSE(fs.RenameNoReplace(sub_ + "a.jpg", sub_ + "c.jpg").ok());
  ExpectPrivateUntouched();
  // A link higher up the path is refused the same way.
  ASSERT_EQ(symlink((tree_ / "shared").c_str(), (tree_ / "shortcut").c_str()), 0);
  EXPECT_FALSE(fs.FileExists(tree_ / "shortcut/away/a.jpg"));
  EXPECT_TRUE(fs.FileExists(tree_ / "shared/away/a.jpg"));
}

TEST(ErrnoMappingTest, MapsTheTableAndKeepsOtherNumbersApart) {
  TempTree tree;
  const std::string present = tree.path(), missing = tree / "missing/";
  struct Case {
    int err;
    const std::string& folder;
    ErrorCode expected;
  };
  const Case cases[] = {
      {ENOENT, present, kFileNotFound},
      {ENOENT, missing, kPathNotFound},
      {ENOTDIR, present, kPathNotFound},
      {EEXIST, present, kFileAlreadyExists},
      {ENOSPC, present, kDiskFull},
      {EDQUOT, present, kDiskFull},
      {EACCES, present, kPathFileAccessError},
      {EPERM, present, kPathFileAccessError},
      {EROFS, present, kPathFileAccessError},
      {EBUSY, present, kPathFileAccessError},
      {ETXTBSY, present, kPathFileAccessError},
      {ENAMETOOLONG, present, kPathFileAccessError},
      {EIO, present, ErrorCode::Unlisted(EIO)},
      // Linux numbers that equal codes of the table are still other errors.
      {53, present, ErrorCode::Unlisted(53)},
      {61, present, ErrorCode::Unlisted(61)},
      {75, present, ErrorCode::Unlisted(75)},
      {76, present, ErrorCode::Unlisted(76)},
  };
  for (const Case& c : cases) {
    const ErrorCode code = ErrorCodeFromErrno(c.err, c.folder);
    EXPECT_EQ(code, c.expected) << "errno " << c.err;
  }
}

TEST(PathsTest, ResolvesFoldersAndNamesTheProgramFolder) {
  TempTree tree;
  tree.MakeFolder("sub");
  std::string resolved;
  ASSERT_TRUE(ResolveFolder(tree / "sub/../sub", &resolved).ok());
  EXPECT_EQ(resolved, tree / "sub/");
  tree.Write("file");
  EXPECT_EQ(ResolveFolder(tree / "file", &resolved), kPathNotFound);
  EXPECT_EQ(ResolveFolder(tree / "missing", &resolved), kPathNotFound);
  const std::string program = ExecutableFolder();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program.back(), '/');
  EXPECT_EQ(access((program + "platform_tests").c_str(), X_OK), 0);
  EXPECT_EQ(FolderOf("/a/b.jpg"), "/a/");
  EXPECT_EQ(NameOf("/a/b.jpg"), "b.jpg");
}

TEST(TextFromSystemCodePageTest, POSIXHasNoCodePageOfItsOwn) {
  EXPECT_EQ(TextFromSystemCodePage("caf\xe9 \x8e\xca\x90\x5e"), "caf\xe9 \x8e\xca\x90\x5e");
}

}  // namespace
}  // namespace tokiren
