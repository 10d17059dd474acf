// The privacy checks of the log, its lock and their folder on Windows: owners and DACLs.
#include "platform/log_privacy.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/program_folder.h"
#include "platform/wide_path.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

// Grants Everyone `rights` on the entry at `path`, as a careless share or copy would.
void GrantEveryone(const std::string& path, DWORD rights) {
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof everyone;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
  std::wstring wide = WidenPath(path);
  ACL* old = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &old, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = rights;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = reinterpret_cast<wchar_t*>(everyone);
  ACL* wider = nullptr;
  ASSERT_EQ(SetEntriesInAclW(1, &access, old, &wider), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, wider, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(wider);
  LocalFree(descriptor);
}

std::string MadeLog(const TempTree& tree, const std::string& name) {
  std::unique_ptr<TextFileWriter> writer;
  EXPECT_TRUE(SystemFileSystem().CreateTextFile(tree / name, &writer).ok());
  return tree / name;
}

TEST(Win32LogPrivacyTest, AcceptsTheFilesTheProgramMakes) {
  TempTree tree;
  const std::string folder = tree / "app/";
  ASSERT_TRUE(MakeFolders(folder).ok());
  EXPECT_TRUE(CheckLogFolderIsPrivate(folder).ok());
  EXPECT_TRUE(CheckLogIsPrivate(folder + "tokiren_log.txt").ok());  // none yet
  std::unique_ptr<TextFileWriter> writer;
  ASSERT_TRUE(SystemFileSystem().CreateTextFile(folder + "tokiren_log.txt", &writer).ok());
  writer.reset();
  EXPECT_TRUE(CheckLogIsPrivate(folder + "tokiren_log.txt").ok());
  ASSERT_TRUE(SystemFileSystem().ReplaceTextFile(folder + "tokirenfolder", "C:\\\r\n").ok());
  EXPECT_TRUE(CheckLogIsPrivate(folder + "tokirenfolder").ok());
  FileSystem::LockAttempt held = SystemFileSystem().TryLock(folder + "tokiren_log.lock");
  ASSERT_TRUE(held.lock);
  EXPECT_TRUE(CheckLockIsPrivate(folder + "tokiren_log.lock").ok());  // held without sharing
  held.lock.reset();
  EXPECT_TRUE(CheckLockIsPrivate(folder + "tokiren_log.lock").ok());
}

TEST(Win32LogPrivacyTest, RefusesALogOthersMayWrite) {
  TempTree tree;
  const std::string log = MadeLog(tree, "tokiren_log.txt");
  GrantEveryone(log, FILE_GENERIC_READ);
  EXPECT_TRUE(CheckLogIsPrivate(log).ok());  // others may read a log
  GrantEveryone(log, FILE_WRITE_DATA);
  EXPECT_EQ(CheckLogIsPrivate(log), kPathFileAccessError);
}

TEST(Win32LogPrivacyTest, RefusesALockOthersMayOpen) {
  TempTree tree;
  const std::string lock = MadeLog(tree, "tokiren_log.lock");
  ASSERT_TRUE(CheckLockIsPrivate(lock).ok());
  GrantEveryone(lock, FILE_GENERIC_READ);
  EXPECT_EQ(CheckLockIsPrivate(lock), kPathFileAccessError);
}

TEST(Win32LogPrivacyTest, RefusesAFolderInPlaceOfTheLog) {
  TempTree tree;
  tree.MakeFolder("tokiren_log.txt");
  EXPECT_EQ(CheckLogIsPrivate(tree / "tokiren_log.txt"), kPathFileAccessError);
}

TEST(Win32LogPrivacyTest, RefusesAFolderWhoseEntriesOthersMayRemove) {
  TempTree tree;
  const std::string folder = tree / "app/";
  ASSERT_TRUE(MakeFolders(folder).ok());
  ASSERT_TRUE(CheckLogFolderIsPrivate(folder).ok());
  GrantEveryone(folder, FILE_ALL_ACCESS);  // removing and renaming entries among the rest
  EXPECT_EQ(CheckLogFolderIsPrivate(folder), kPathFileAccessError);
}

TEST(Win32LogPrivacyTest, FailsOnAMissingFolderOrAFile) {
  TempTree tree;
  tree.Write("file");
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "missing/"), kPathNotFound);
  EXPECT_EQ(CheckLogFolderIsPrivate(tree / "file"), kPathNotFound);
}

}  // namespace
}  // namespace tokiren
