// The log, its lock and their folder must be the user's own.
#include "platform/log_privacy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

constexpr uid_t kNobody = 65534;

// A new file `name` in `tree` with exactly `mode`, whatever the umask.
std::string FileWithMode(const TempTree& tree, const std::string& name, mode_t mode) {
  EXPECT_FALSE(tree.Exists(name)) << name;
  const std::string path = tree.Write(name, "/p/a.jpg as /p/1.JPG\r\n");
  EXPECT_EQ(chmod(path.c_str(), mode), 0);
  return path;
}

// A new folder `name` in `tree` with exactly `mode`, its path ending with "/".
std::string FolderWithMode(const TempTree& tree, const std::string& name, mode_t mode) {
  EXPECT_FALSE(tree.Exists(name)) << name;
  const std::string path = tree.MakeFolder(name);
  EXPECT_EQ(chmod(path.c_str(), mode), 0);
  return path.back() == '/' ? path : path + "/";
}

// Runs `check` on another thread and gives up after a few seconds, so that a check that blocks
// fails the test instead of hanging it.
std::optional<ErrorCode> WithinSeconds(std::function<ErrorCode()> check) {
  std::packaged_task<ErrorCode()> task(std::move(check));
  std::future<ErrorCode> result = task.get_future();
  std::thread(std::move(task)).detach();
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) return std::nullopt;
  return result.get();
}

TEST(CheckLogIsPrivateTest, AcceptsALogOnlyItsOwnerMayWrite) {
  TempTree tree;
  for (const mode_t mode : {0600, 0644, 0640, 0400}) {
    EXPECT_EQ(CheckLogIsPrivate(FileWithMode(tree, "log" + std::to_string(mode), mode)), kSuccess) << std::oct << mode;
  }
}

TEST(CheckLogIsPrivateTest, RefusesALogOthersMayWrite) {
  TempTree tree;
  for (const mode_t mode : {0664, 0666, 0620, 0602, 0622}) {
    EXPECT_EQ(CheckLogIsPrivate(FileWithMode(tree, "log" + std::to_string(mode), mode)), kPathFileAccessError)
        << std::oct << mode;
  }
}

TEST(CheckLogIsPrivateTest, AcceptsAMissingLog) {
  TempTree tree;
  EXPECT_EQ(CheckLogIsPrivate(tree / "tokiren_log.txt"), kSuccess);
  EXPECT_EQ(CheckLogIsPrivate(tree / "no folder/tokiren_log.txt"), kSuccess);
}

TEST(CheckLogIsPrivateTest, RefusesASymbolicLinkInPlaceOfTheLog) {
  TempTree tree;
  const std::string target = FileWithMode(tree, "elsewhere.txt", 0600);
  ASSERT_EQ(symlink(target.c_str(), (tree / "log").c_str()), 0);
  EXPECT_EQ(CheckLogIsPrivate(tree / "log"), kPathFileAccessError);
  ASSERT_EQ(symlink((tree / "nothing").c_str(), (tree / "dangling").c_str()), 0);
  EXPECT_EQ(CheckLogIsPrivate(tree / "dangling"), kPathFileAccessError);
}

TEST(CheckLogIsPrivateTest, RefusesAFifoWithoutWaitingForAWriter) {
  TempTree tree;
  const std::string fifo = tree / "log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::optional<ErrorCode> error = WithinSeconds([fifo] { return CheckLogIsPrivate(fifo); });
  ASSERT_TRUE(error.has_value()) << "the check waited on the FIFO";
  EXPECT_EQ(*error, kPathFileAccessError);
}

TEST(CheckLogIsPrivateTest, RefusesAFolderInPlaceOfTheLog) {
  TempTree tree;
  EXPECT_EQ(CheckLogIsPrivate(FolderWithMode(tree, "log", 0700)), kPathFileAccessError);
}

TEST(CheckLogIsPrivateTest, RefusesALogOwnedBySomeoneElse) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  TempTree tree;
  const std::string path = FileWithMode(tree, "log", 0600);
  ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(CheckLogIsPrivate(path), kPathFileAccessError);
}

TEST(CheckLogIsPrivateTest, RefusesTheLogOfAnotherUserToAnUnprivilegedOne) {
  if (geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
  TempTree tree;
  const std::string readable = FileWithMode(tree, "readable", 0644);
  const std::string unreadable = FileWithMode(tree, "unreadable", 0600);
  // The checks run as nobody; the files stay root's.
  const int status = testing::RunUnprivileged([&] {
    return CheckLogIsPrivate(readable) == kPathFileAccessError &&
           CheckLogIsPrivate(unreadable) == kPathFileAccessError &&
           CheckLogFolderIsPrivate(tree.path()) == kSuccess;  // root's folder
  });
  EXPECT_EQ(status, 0);
}

TEST(CheckLockIsPrivateTest, RefusesALockOthersMayOpen) {
  TempTree tree;
  const std::string lock = FileWithMode(tree, "lock", 0600);
  EXPECT_EQ(CheckLockIsPrivate(lock), kSuccess);
  EXPECT_EQ(CheckLockIsPrivate(tree / "missing.lock"), kSuccess);
  for (const mode_t mode : {0640, 0604, 0644, 0660, 0666}) {
    EXPECT_EQ(CheckLockIsPrivate(FileWithMode(tree, "lock" + std::to_string(mode), mode)), kPathFileAccessError)
        << std::oct << mode;
  }
  ASSERT_EQ(symlink(lock.c_str(), (tree / "link.lock").c_str()), 0);
  EXPECT_EQ(CheckLockIsPrivate(tree / "link.lock"), kPathFileAccessError);
}

TEST(CheckLogFolderIsPrivateTest, AcceptsAFolderOnlyItsOwnerMayWrite) {
  TempTree tree;
  for (const mode_t mode : {0700, 0755, 0750, 0555}) {
    const std::string folder = FolderWithMode(tree, "app" + std::to_string(mode), mode);
    EXPECT_EQ(CheckLogFolderIsPrivate(folder), kSuccess) << std::oct << mode;
    EXPECT_EQ(CheckLogFolderIsPrivate(folder.substr(0, folder.size() - 1)), kSuccess);
  }
}

TEST(CheckLogFolderIsPrivateTest, RefusesAFolderOthersMayWriteWithoutTheStickyBit) {
  TempTree tree;
  for (const mode_t mode : {0777, 0775, 0770, 0757, 0733}) {
    EXPECT_EQ(CheckLogFolderIsPrivate(FolderWithMode(tree, "app" + std::to_string(mode), mode)), kPathFileAccessError)
        << std::oct << mode;
  }
}

TEST(CheckLogFolderIsPrivateTest, AcceptsAStickyFolderLikeTmp) {
  TempTree tree;
  for (const mode_t mode : {01777, 01770}) {
    EXPECT_EQ(CheckLogFolderIsPrivate(FolderWithMode(tree, "app" + std::to_string(mode), mode)), kSuccess)
        << std::oct << mode;
  }
}

TEST(CheckLogFolderIsPrivateTest, AcceptsTheRootFolder) {
  EXPECT_EQ(CheckLogFolderIsPrivate("/"), kSuccess);
}

TEST(CheckLogFolderIsPrivateTest, RefusesASymbolicLinkInPlaceOfTheFolder) {
  TempTree tree;
  const std::string real = FolderWithMode(tree, "real", 0700);
  ASSERT_EQ(symlink(real.c_str(), (tree / "app").c_str()), 0);
  // With or without the trailing separator, which would otherwise have the link followed.
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "app/"), kPathFileAccessError);
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "app//"), kPathFileAccessError);
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "app"), kPathFileAccessError);
}

TEST(CheckLogFolderIsPrivateTest, FailsOnAMissingFolderOrAFile) {
  TempTree tree;
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "missing/"), kPathNotFound);
  EXPECT_EQ(CheckLogFolderIsPrivate(FileWithMode(tree, "file", 0600) + "/"), kPathNotFound);
}

TEST(CheckLogFolderIsPrivateTest, RefusesAFolderOwnedBySomeoneElse) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
  TempTree tree;
  const std::string folder = FolderWithMode(tree, "app", 0755);
  ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(CheckLogFolderIsPrivate(folder), kPathFileAccessError);
}

}  // namespace
}  // namespace tokiren
