// The file system on Windows: attributes, share modes, zone rules of past years, long paths,
// case-insensitive names and the GetLastError table.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/wide_path.h"
#include "platform/win32/windows_error.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

constexpr DWORD kErrorDiskQuotaExceeded = 1295;  // not in mingw-w64's headers

void SetAttributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(WidenPath(path).c_str(), attributes)) << path;
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidenPath(path).c_str()); }

std::vector<std::string> Listed(const std::string& folder, FileSystem::ListMask mask) {
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(SystemFileSystem().ListFolder(folder, mask, &entries).ok());
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? "\\" : ""));
  return names;
}

// A file time of a UTC calendar moment, as Windows keeps it.
FILETIME UtcFileTime(WORD year, WORD month, WORD day, WORD hour) {
  SYSTEMTIME utc{};
  utc.wYear = year;
  utc.wMonth = month;
  utc.wDay = day;
  utc.wHour = hour;
  FILETIME time{};
  EXPECT_TRUE(SystemTimeToFileTime(&utc, &time));
  return time;
}

void SetTimes(const std::string& path, const FILETIME& creation, const FILETIME& lastWrite) {
  const HANDLE file = CreateFileW(WidenPath(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(file, &creation, nullptr, &lastWrite));
  CloseHandle(file);
}

TEST(Win32ListFolderTest, LeavesHiddenAndSystemEntriesOut) {
  TempTree tree;
  tree.Write("b.jpg");
  tree.Write("A.JPG");
  SetAttributes(tree.Write("hidden.jpg"), FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(tree.Write("system.jpg"), FILE_ATTRIBUTE_SYSTEM);
  SetAttributes(tree.Write("readonly.jpg"), FILE_ATTRIBUTE_READONLY);
  tree.MakeFolder("sub");
  SetAttributes(tree.MakeFolder("hidden-folder"), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Listed(tree.path(), FileSystem::ListMask::kFiles),
            (std::vector<std::string>{"A.JPG", "b.jpg", "readonly.jpg"}));
  EXPECT_EQ(Listed(tree.path(), FileSystem::ListMask::kFilesAndFolders),
            (std::vector<std::string>{"A.JPG", "b.jpg", "readonly.jpg", "sub\\"}));
  SetAttributes(tree / "readonly.jpg", FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32ListFolderTest, NamesComeBackInTheOneOrderOfEveryPlatform) {
  TempTree tree;
  for (const char* name : {"\xc3\xa9t\xc3\xa9.jpg", "z.jpg", "a_b", "aB", "\xe5\x86\x99.jpg"}) {
    tree.Write(name);
  }
  EXPECT_EQ(Listed(tree.path(), FileSystem::ListMask::kFiles),
            (std::vector<std::string>{"a_b", "aB", "z.jpg", "\xc3\xa9t\xc3\xa9.jpg",
                                      "\xe5\x86\x99.jpg"}));
}

TEST(Win32FileExistsTest, CountsOrdinaryFilesOfAnyCaseAsTaken) {
  TempTree tree;
  tree.Write("photo.JPG");
  SetAttributes(tree.Write("hidden.JPG"), FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(tree.Write("system.JPG"), FILE_ATTRIBUTE_SYSTEM);
  tree.MakeFolder("folder.JPG");
  FileSystem& fs = SystemFileSystem();
  EXPECT_TRUE(fs.FileExists(tree / "photo.JPG"));
  EXPECT_TRUE(fs.FileExists(tree / "photo.jpg"));  // Windows compares names without case
  EXPECT_FALSE(fs.FileExists(tree / "hidden.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "system.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "folder.JPG"));
  EXPECT_FALSE(fs.FileExists(tree / "missing.JPG"));
  EXPECT_TRUE(fs.IsCaseInsensitiveFolder(tree.path(), "photo.JPG"));
}

TEST(Win32FileTimesTest, UsesTheZoneRulesOfEachDatesOwnYear) {
  // The United States moved the start of daylight saving from April's first Sunday to March's
  // second in 2007: 20 March was winter time in 2006 and summer time in 2008. Today's offset,
  // applied to both, would give one and the same hour.
  const char* zone = std::getenv("TZ");
  ASSERT_TRUE(zone && std::string(zone) == "America/New_York")
      << "run with TZ=America/New_York, as CTest does";
  TempTree tree;
  const std::string before = tree.Write("before.jpg"), after = tree.Write("after.jpg");
  SetTimes(before, UtcFileTime(2006, 3, 20, 12), UtcFileTime(2006, 3, 20, 12));
  SetTimes(after, UtcFileTime(2008, 3, 20, 12), UtcFileTime(2008, 3, 20, 12));
  FileTimes times;
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(before, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2006, 3, 20, 7, 0, 0}));   // EST, UTC-5
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(after, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2008, 3, 20, 8, 0, 0}));   // EDT, UTC-4
}

TEST(Win32FileTimesTest, ReadsTheRealCreationTime) {
  TempTree tree;
  const std::string path = tree.Write("a.jpg");
  SetTimes(path, UtcFileTime(2001, 2, 3, 12), UtcFileTime(2016, 8, 30, 12));
  FileTimes times;
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(path, &times).ok());
  EXPECT_EQ(times.lastWrite, (LocalTime{2016, 8, 30, 8, 0, 0}));  // EDT
  // The creation time the system keeps for the entry: 2001 on Windows; Wine cannot set a birth
  // time on Linux and reports one of its own.
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(WidenPath(path).c_str(), GetFileExInfoStandard, &data));
  SYSTEMTIME created{};
  ASSERT_TRUE(FileTimeToSystemTime(&data.ftCreationTime, &created));
  EXPECT_EQ(times.creation.year, created.wYear);
  EXPECT_EQ(times.creation.minute, created.wMinute);
  EXPECT_EQ(times.creation.second, created.wSecond);
  EXPECT_EQ(times.lastWrite.month, 8);
  EXPECT_EQ(SystemFileSystem().GetFileTimes(tree / "missing.jpg", &times), kFileNotFound);
  EXPECT_EQ(SystemFileSystem().GetFileTimes(tree / "gone/a.jpg", &times), kPathNotFound);
}

TEST(Win32RenameTest, RenamesAReadOnlyFileAndItStaysReadOnly) {
  TempTree tree;
  const std::string path = tree.Write("a.jpg", "a");
  SetAttributes(path, FILE_ATTRIBUTE_READONLY);
  FileTimes times;
  ASSERT_TRUE(SystemFileSystem().GetFileTimes(path, &times).ok());
  ASSERT_TRUE(SystemFileSystem().RenameNoReplace(path, tree / "b.jpg").ok());
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"b.jpg"}));
  EXPECT_TRUE(AttributesOf(tree / "b.jpg") & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(tree.Read("b.jpg"), "a");
  SetAttributes(tree / "b.jpg", FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32RenameTest, AFileHeldOpenWithoutSharingFailsClearlyAndStays) {
  TempTree tree;
  const std::string path = tree.Write("a.jpg", "kept");
  const HANDLE held = CreateFileW(WidenPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  FileTimes times;
  EXPECT_TRUE(SystemFileSystem().GetFileTimes(path, &times).ok());  // from the folder entry
  const ErrorCode error = SystemFileSystem().RenameNoReplace(path, tree / "b.jpg");
  CloseHandle(held);
  EXPECT_EQ(error, kPathFileAccessError);
  EXPECT_EQ(error.system, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(tree.Read("a.jpg"), "kept");
}

TEST(Win32RenameTest, RefusesACaseVariantOfATakenName) {
  TempTree tree;
  tree.Write("a.jpg", "a");
  tree.Write("taken.jpg", "taken");
  EXPECT_EQ(SystemFileSystem().RenameNoReplace(tree / "a.jpg", tree / "TAKEN.JPG"),
            kFileAlreadyExists);
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"a.jpg", "taken.jpg"}));
  EXPECT_EQ(tree.Read("taken.jpg"), "taken");
  EXPECT_EQ(tree.Read("a.jpg"), "a");
}

TEST(Win32ListFolderTest, ANameLongerThanTheSystemTakesFailsAndListsNothing) {
  TempTree tree;
  tree.Write("a.jpg");
  std::vector<FolderEntry> entries;
  const ErrorCode error = SystemFileSystem().ListFolder(tree.path() + std::string(5000, 'a') + "\\",
                                                        FileSystem::ListMask::kFiles, &entries);
  // Windows calls such a name invalid (75); Wine looks it up and finds no such folder (76).
  EXPECT_TRUE(error == kPathFileAccessError || error == kPathNotFound) << error.number;
  EXPECT_TRUE(entries.empty());
}

TEST(Win32RenameTest, HasNoInterruptedRenameToFinish) {
  TempTree tree;
  tree.Write("a.jpg", "a");
  tree.Write("b.jpg", "b");
  FileSystem& fs = SystemFileSystem();
  EXPECT_EQ(fs.InterruptedRename(tree / "a.jpg", tree / "b.jpg"), FileSystem::Interruption::kNone);
  EXPECT_EQ(fs.FinishInterruptedRename(tree / "a.jpg", tree / "b.jpg"), kFileAlreadyExists);
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_TRUE(fs.SyncFolder(tree.path()).ok());
}

TEST(Win32LongPathTest, HandlesAPathOverTheOldLimit) {
  TempTree tree;
  std::string folder = tree.path();
  for (int depth = 0; depth < 6; ++depth) folder += std::string(60, 'd') + "\\";
  ASSERT_GT(folder.size(), 300u);
  ASSERT_TRUE(MakeFolders(folder).ok());
  FileSystem& fs = SystemFileSystem();
  std::unique_ptr<TextFileWriter> writer;
  ASSERT_TRUE(fs.CreateTextFile(folder + "a.jpg", &writer).ok());
  ASSERT_TRUE(writer->Append("deep").ok());
  writer.reset();
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(fs.ListFolder(folder, FileSystem::ListMask::kFiles, &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.jpg");
  EXPECT_TRUE(fs.FileExists(folder + "a.jpg"));
  FileTimes times;
  EXPECT_TRUE(fs.GetFileTimes(folder + "a.jpg", &times).ok());
  ASSERT_TRUE(fs.RenameNoReplace(folder + "a.jpg", folder + "b.jpg").ok());
  std::string contents;
  ASSERT_TRUE(fs.ReadTextFile(folder + "b.jpg", &contents).ok());
  EXPECT_EQ(contents, "deep");
  std::string resolved;
  ASSERT_TRUE(ResolveFolder(folder, &resolved).ok());
  EXPECT_EQ(resolved, folder);
  ASSERT_TRUE(fs.RemoveOwnFile(folder + "b.jpg").ok());
}

TEST(Win32InsideTheTreeTest, AFolderReplacedAfterItsListingIsNotTheOneListed) {
  TempTree tree;
  tree.Write("photos/a.jpg", "mine");
  FileSystem& fs = SystemFileSystem();
  FileSystem::LockAttempt job = fs.TryLock(tree / "lock");
  ASSERT_TRUE(job.lock);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(fs.ListFolder(tree / "photos/", FileSystem::ListMask::kFiles, &entries).ok());
  ASSERT_TRUE(MoveFileExW(WidenPath(tree / "photos").c_str(), WidenPath(tree / "mine").c_str(), 0));
  tree.Write("photos/a.jpg", "someone else's");
  EXPECT_FALSE(fs.FileExists(tree / "photos/a.jpg"));
  FileTimes times;
  EXPECT_EQ(fs.GetFileTimes(tree / "photos/a.jpg", &times), kPathNotFound);
  EXPECT_EQ(fs.RenameNoReplace(tree / "photos/a.jpg", tree / "photos/b.jpg"), kPathNotFound);
  EXPECT_EQ(tree.Read("photos/a.jpg"), "someone else's");
  job.lock.reset();  // a new job finds the folder anew
  EXPECT_TRUE(fs.FileExists(tree / "photos/a.jpg"));
}

TEST(Win32InsideTheTreeTest, ARenameNeverLeavesItsFolder) {
  TempTree tree;
  tree.Write("a/x.jpg", "x");
  tree.MakeFolder("b");
  EXPECT_EQ(SystemFileSystem().RenameNoReplace(tree / "a/x.jpg", tree / "b/x.jpg"),
            kPathFileAccessError);
  EXPECT_EQ(tree.Read("a/x.jpg"), "x");
}

TEST(Win32TextFileTest, ReadsOrdinaryFilesOnlyAndAtMostAMegabyte) {
  TempTree tree;
  tree.MakeFolder("folder");
  tree.Write("big", std::string((1 << 20) + 10, 'x'));
  std::string contents = "stale";
  EXPECT_EQ(SystemFileSystem().ReadTextFile(tree / "folder", &contents), kPathFileAccessError);
  EXPECT_EQ(contents, "");
  ASSERT_TRUE(SystemFileSystem().ReadTextFile(tree / "big", &contents).ok());
  EXPECT_EQ(contents.size(), 1u << 20);
}

TEST(Win32LockTest, HeldWithoutSharing) {
  TempTree tree;
  FileSystem::LockAttempt lock = SystemFileSystem().TryLock(tree / "lock");
  ASSERT_TRUE(lock.lock);
  const HANDLE other = CreateFileW(WidenPath(tree / "lock").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(Win32PathsTest, ResolvesFoldersWithEitherSlashAndNamesTheProgramFolder) {
  TempTree tree;
  tree.MakeFolder("sub");
  std::string resolved;
  std::string slashed = tree.path() + "sub/../sub";
  ASSERT_TRUE(ResolveFolder(slashed, &resolved).ok());
  EXPECT_EQ(resolved, tree / "sub/");
  EXPECT_EQ(resolved.back(), '\\');
  tree.Write("file");
  EXPECT_EQ(ResolveFolder(tree / "file", &resolved), kPathNotFound);
  EXPECT_EQ(ResolveFolder(tree / "missing", &resolved), kPathNotFound);
  const std::string program = ExecutableFolder();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program.back(), '\\');
  EXPECT_TRUE(IsProgramFile(program + "platform_tests.exe"));
  EXPECT_FALSE(IsProgramFile(program + "tokiren"));
  EXPECT_TRUE(CanWriteFolder(tree.path()));
  EXPECT_EQ(tree.Names(), (std::vector<std::string>{"file", "sub"}));  // no probe left behind
  EXPECT_FALSE(CanWriteFolder(tree / "missing\\"));
  EXPECT_EQ(FolderOf("C:\\a\\b.jpg"), "C:\\a\\");
  EXPECT_EQ(NameOf("C:\\a\\b.jpg"), "b.jpg");
}

TEST(Win32PathsTest, KeepsItsDataUnderLocalAppData) {
  wchar_t value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", value, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(UserDataFolder(), NarrowPath(std::wstring_view(value, length)) + "\\Tokiren\\");
}

TEST(Win32ErrorTest, MapsGetLastErrorToTheTableOnce) {
  struct Case {
    DWORD error;
    ErrorCode expected;
  };
  const Case cases[] = {
      {ERROR_SUCCESS, kSuccess},
      {ERROR_FILE_NOT_FOUND, kFileNotFound},
      {ERROR_PATH_NOT_FOUND, kPathNotFound},
      {ERROR_DIRECTORY, kPathNotFound},
      {ERROR_INVALID_DRIVE, kPathNotFound},
      {ERROR_BAD_NETPATH, kPathNotFound},
      {ERROR_BAD_NET_NAME, kPathNotFound},
      {ERROR_ALREADY_EXISTS, kFileAlreadyExists},
      {ERROR_FILE_EXISTS, kFileAlreadyExists},
      {ERROR_DISK_FULL, kDiskFull},
      {ERROR_HANDLE_DISK_FULL, kDiskFull},
      {kErrorDiskQuotaExceeded, kDiskFull},
      {ERROR_ACCESS_DENIED, kPathFileAccessError},
      {ERROR_SHARING_VIOLATION, kPathFileAccessError},
      {ERROR_LOCK_VIOLATION, kPathFileAccessError},
      {ERROR_WRITE_PROTECT, kPathFileAccessError},
      {ERROR_INVALID_NAME, kPathFileAccessError},
      {ERROR_FILENAME_EXCED_RANGE, kPathFileAccessError},
      {ERROR_CRC, ErrorCode::Unlisted(ERROR_CRC)},
      // Windows numbers that equal codes of the table are still other errors.
      {61, ErrorCode::Unlisted(61)},  // ERROR_PRINTQ_FULL
      {58, ErrorCode::Unlisted(58)},  // ERROR_BAD_NET_RESP
  };
  for (const Case& c : cases) {
    const ErrorCode code = ErrorCodeFromWindowsError(c.error);
    EXPECT_EQ(code, c.expected) << "error " << c.error;
    EXPECT_EQ(code.system, static_cast<int>(c.error)) << "error " << c.error;
  }
  // ERROR_BAD_NETPATH is 53, the table's "file not found": the two stay apart.
  EXPECT_NE(ErrorCodeFromWindowsError(ERROR_BAD_NETPATH), kFileNotFound);
}

TEST(Win32ErrorTest, DescribesAnErrorInTheSystemsWords) {
  EXPECT_FALSE(DescribeError(ErrorCodeFromWindowsError(ERROR_ACCESS_DENIED)).empty());
  EXPECT_NE(DescribeError(ErrorCodeFromWindowsError(ERROR_ACCESS_DENIED)),
            DescribeError(ErrorCodeFromWindowsError(ERROR_FILE_NOT_FOUND)));
  EXPECT_EQ(DescribeError(kFileAlreadyExists), "");  // no system number behind it
}

TEST(Win32TextTest, ReadsTheAnsiCodePageAsUtf8) {
  ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8, as CTest does";
  EXPECT_EQ(TextFromSystemCodePage("\x8e\xca\x90\x5e.jpg"), "\xe5\x86\x99\xe7\x9c\x9f.jpg");
}

}  // namespace
}  // namespace tokiren
