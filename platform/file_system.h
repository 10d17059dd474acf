// The file-system operations the engine and the settings need, behind one small interface so a
// platform can be swapped (POSIX and Win32) and a test can stand in for a disk. Paths are UTF-8;
// Windows widens them to UTF-16 only at the system call, long ones in the "\\?\" form.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error_code.h"

namespace tokiren {

// The separator between path components. Every folder path the program holds ends with it.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// A moment as local calendar fields, to the second.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// A file's identity: the same device and inode (Windows: volume serial number and file index) are
// the same file, whatever its name.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

struct FileTimes {
  LocalTime lastWrite;
  LocalTime creation;
  FileId id;  // the file the times were read from
};

// One of the user's files, open for reading its contents only; closed when destroyed.
class OpenFile {
 public:
  virtual ~OpenFile() = default;
  // The open file's times and identity, read from the open file itself.
  virtual const FileTimes& Times() const = 0;
  // The system's handle of the open file, to hand to a reader in another process: the descriptor
  // on POSIX, the HANDLE on Windows. It stays this object's.
  virtual std::intptr_t NativeHandle() const = 0;
};

// A text file open for writing. Bytes pass through unchanged; the caller writes its own line ends.
// Closed when destroyed.
class TextFileWriter {
 public:
  virtual ~TextFileWriter() = default;
  // Writes all of `bytes` at the end of the file, or fails (kDiskFull when the disk fills up).
  virtual ErrorCode Append(std::string_view bytes) = 0;
  // Returns once everything appended so far is on the disk. Windows: FlushFileBuffers.
  virtual ErrorCode Sync() = 0;
  // Cuts the file back to its first `size` bytes; later appends go on from there. Not on the disk
  // before the next Sync.
  virtual ErrorCode Truncate(std::uint64_t size) = 0;
};

// A new version of one of the program's own files, written beside it and put in its place whole.
// Destroyed before Commit, it is removed and the file it was to replace stays as it was.
class FileReplacement : public TextFileWriter {
 public:
  // Syncs what was written, puts it in place of the file (which need not exist) in one step, and
  // syncs the folder. The writer stays open: further appends go to the file now in place.
  // Windows: the new version is open with FILE_SHARE_DELETE, which lets it be renamed while open
  // (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH; no folder to sync). The
  // file it replaces must not be open, not even through a FileReader of this process: Windows
  // refuses to replace an open file (kPathFileAccessError). Close readers before Commit.
  virtual ErrorCode Commit() = 0;
};

// One of the program's own files, open for reading anywhere in it.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // The file's size when it was opened.
  virtual std::uint64_t Size() const = 0;
  // Reads exactly `size` bytes at `offset` into `data`, or fails.
  virtual ErrorCode ReadAt(std::uint64_t offset, char* data, std::size_t size) = 0;
};

// An exclusive lock held until the object goes.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Staying inside the tree, whatever another user swaps in it meanwhile:
// - Every folder is reached by its absolute path without following a symbolic link anywhere on
//   the way (POSIX: openat2 with RESOLVE_NO_SYMLINKS, or one component at a time with O_NOFOLLOW
//   where the kernel lacks it; Windows: reparse points refused the same way). A path through a
//   link is refused: ListFolder fails with kPathFileAccessError, FileExists is false, the other
//   operations fail.
// - During a job (from TryLock on), a folder that ListFolder listed is checked to be that very
//   folder (its device and inode) before anything in it is read or renamed; one put in its place
//   since fails with kPathNotFound.
// - Every operation on a file (its times, the existence test, the rename, the link and removal of
//   the fallback and their repair) is made relative to its folder's handle, by the file's bare
//   name; nothing is done by a full path, and a rename never leaves its folder.
// The folders of the last file operations (the last eight) are kept open, so each further file of
// them is found by its name alone. ListFolder and TryLock drop those handles, so a folder
// replaced between two jobs is always found anew.
// Windows: a folder is reached without a reparse point when the path the system resolved
// (GetFinalPathNameByHandleW) is the one asked for, or, where the system cannot tell (Wine, deeper
// than MAX_PATH), when no folder on the way has the reparse-point attribute; "device and inode" are
// the volume serial number and the file index. A file is handled by its full path, while during a
// job its folder is held open without sharing deletion, which makes Windows refuse to rename or
// remove that folder meanwhile (Wine does not enforce this; the check of the folder listed still
// holds there).
//
// Threads: the calls on the user's files (FileExists, GetFileTimes, OpenToRead, IsSameFile,
// RenameNoReplace, InterruptedRename, FinishInterruptedRename, UndoInterruptedRename,
// IsCaseInsensitiveFolder) may be made from several threads at once, beside the calls on the
// program's own files, so that a slow file system (a share) has several answers on their way at
// once. ListFolder and TryLock run beside no other call: they drop the folders kept open. The
// folders kept open, and what a rename learns of each file system, are
// guarded by locks; a folder's handle stays open while another thread's call uses it.
class FileSystem {
 public:
  enum class ListMask {
    kFiles,            // ordinary entries only
    kFilesAndFolders,  // ordinary entries and folders
  };

  virtual ~FileSystem() = default;

  // Lists `folder` (a path ending with kPathSeparator). Ordinary entries are regular files whose
  // name does not start with "." (POSIX: hidden). Left out always: "." and "..", hidden entries,
  // symbolic links (never listed as files, never followed as folders), fifos, sockets and
  // devices. Windows: ordinary entries are files with neither the hidden nor the system
  // attribute; reparse points (symbolic links, junctions) are neither listed nor followed; `folder`
  // may be written with "/" too. Names come back sorted by CompareNames (ASCII case-folded, then
  // bytewise, on the UTF-8 names), so a tree lists the same way on every file system. A folder that cannot be opened or read fails with its
  // code (kPathNotFound when it is missing, kPathFileAccessError when it may not be read or its
  // path is longer than the system accepts); `entries` is then empty.
  virtual ErrorCode ListFolder(const std::string& folder, ListMask mask,
                               std::vector<FolderEntry>* entries) = 0;

  // The existence test: true when `path` names a regular file whose name does not start with ".".
  // The exact path is looked up without following a final link, so a name differing only in case
  // counts as taken exactly where the file system says so (as on a FAT memory card). Windows: true
  // when `path` names an entry that is not a folder and has neither the hidden nor the system
  // attribute; as Windows compares names without case, a name differing only in case is taken.
  virtual bool FileExists(const std::string& path) = 0;

  // Reads the file's last-write and creation time as local calendar fields, without opening the
  // file and without changing it (its mode is never touched, so read-only files and files the user
  // may not write have times too). Times are read to the second; the local time uses the zone
  // rules in force at that moment (the daylight saving of the file's own date, not of today).
  // POSIX: the creation time is the birth time where the file system records one; where it does
  // not, the last-write time stands in for it. Windows: both from the folder entry
  // (GetFileAttributesExW), the creation time being the real one; the zone rules are those of the
  // date's own year (GetTimeZoneInformationForYear). Windows leaves `id` empty: the folder entry
  // holds no file index.
  virtual ErrorCode GetFileTimes(const std::string& path, FileTimes* times) = 0;

  // Opens the file `path` for reading its contents, the way GetFileTimes finds it: by its bare
  // name in its folder's handle, never through a link, and only a regular file (anything else
  // fails with kFileNotFound). Never waits: a file another program holds a lease on (POSIX) fails
  // at once with kPathFileAccessError, a fifo is never opened for reading. The times and identity
  // come from the file opened. POSIX: O_RDONLY | O_NOFOLLOW | O_NONBLOCK, then fstat. Windows:
  // CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT, sharing reading, writing and deletion.
  virtual ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) = 0;

  // Whether `path` still names the file `id`, looked up as GetFileTimes does (no link followed):
  // a file renamed after its times were read must be the file they were read from. False when the
  // name is gone, is another file, or cannot be looked up. An empty `id` (Windows' GetFileTimes)
  // cannot be checked: true.
  virtual bool IsSameFile(const std::string& path, const FileId& id) = 0;

  // Renames the file `from` to `to`, both full paths in one folder (any other pair fails with
  // kPathFileAccessError), and never replaces an existing entry: when `to` exists (even one created
  // a moment before) the result is kFileAlreadyExists and nothing changes. The file keeps its
  // last-write time, where the file system would change it too.
  // POSIX, each file system the way its answers allow, learnt from its first rename:
  // - renameat2(RENAME_NOREPLACE) (the kernel's own file systems);
  // - where that flag is refused (EINVAL, ENOSYS, EOPNOTSUPP: NFS, FUSE), a hard link to `to`
  //   followed by the removal of `from`, which cannot replace either (NTFS through ntfs-3g, sshfs);
  // - where links are refused too (EPERM, EOPNOTSUPP: FUSE exFAT and FAT, phones over MTP), a
  //   claim: `to` made empty and exclusively (mknodat), checked to be that empty file just before
  //   `from` is renamed over it. Another process replacing the claim in the moment between the
  //   check and the rename would lose its file: only one bent on it could, and the file would be
  //   one it had just made. A name the file system will not hold (fusefat: outside ASCII) fails
  //   with kPathFileAccessError for kSystemNameRefused.
  // A file system that changes a renamed file's last-write time (fusefat) has it put back.
  // Windows: MoveFileExW without MOVEFILE_REPLACE_EXISTING, which refuses a taken name in any case;
  // a file another process holds open without sharing fails with kPathFileAccessError and stays.
  virtual ErrorCode RenameNoReplace(const std::string& from, const std::string& to) = 0;

  // How a rename from `from` to `to` was cut off between its two steps, if it was: kLinked when
  // `from` and `to` are two distinct entries of one folder naming one file (same device and inode:
  // the old name not yet removed); kClaimed when `to` is an empty file beside a distinct file
  // `from` on a file system that may rename by claim (POSIX: a FUSE one), asked of the file system
  // itself, never of a cache (claimed, not yet renamed over). Only a rename that a run or Reset
  // which did not end records as begun may be taken for one: an empty file of the user's looks the
  // same. kNone in every other case, among them a case-insensitive file system where both
  // spellings find one entry. Windows: never renames in two steps, so this is always kNone.
  enum class Interruption { kNone, kLinked, kClaimed };
  virtual Interruption InterruptedRename(const std::string& from, const std::string& to) = 0;

  // Completes such a rename (removes `from` beside the link, or renames `from` over the empty
  // claim), after testing it again; when it is no longer one the result is kFileAlreadyExists and
  // nothing changes. Windows: always kFileAlreadyExists.
  virtual ErrorCode FinishInterruptedRename(const std::string& from, const std::string& to) = 0;

  // Takes such a rename back instead: removes `to` (the link, or the empty claim), so the file has
  // its name `from` alone; a file with content at `to` is never removed. kFileAlreadyExists when
  // it is no longer one. Windows: always kFileAlreadyExists.
  virtual ErrorCode UndoInterruptedRename(const std::string& from, const std::string& to) = 0;

  // Puts the entries of `folder` (a full path ending with the separator), the names made and
  // removed in it, on the disk. POSIX: fsync of the folder. Windows cannot flush a folder: this
  // succeeds and does nothing; NTFS journals the names itself.
  virtual ErrorCode SyncFolder(const std::string& folder) = 0;

  // The program's own files (the log, its lock, the settings files) are made for the current user
  // only (POSIX: mode 0600): others may not read the paths they hold nor hold their lock. Windows:
  // a protected DACL granting the user, SYSTEM and the Administrators alone.
  //
  // Creates `path` empty, or truncates it, for writing. The folder entry of a newly created file is
  // synced too, so the file survives a power cut once its contents are synced.
  virtual ErrorCode CreateTextFile(const std::string& path,
                                   std::unique_ptr<TextFileWriter>* writer) = 0;

  // Reads the file into `contents`, bytes unchanged, up to its first megabyte (a settings file is
  // a few lines). A link or anything but a regular file is refused (kPathFileAccessError) without
  // waiting: a fifo put in its place cannot block the program.
  virtual ErrorCode ReadTextFile(const std::string& path, std::string* contents) = 0;

  // Opens the program's own file `path` for reading (kFileNotFound when it is missing).
  virtual ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) = 0;

  // Starts a new version of the program's own file `path` (see FileReplacement).
  virtual ErrorCode CreateReplacement(const std::string& path,
                                      std::unique_ptr<FileReplacement>* writer) = 0;

  // Renames the program's own file `from` to `to` in its folder, replacing `to` if it exists. Never
  // used on the user's files. Not on the disk before SyncFolder. Windows: MoveFileExW with
  // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, on the disk when it returns. `from` may be
  // open (every handle the program opens shares deletion); `to` must not be, as for Commit.
  virtual ErrorCode MoveOwnFile(const std::string& from, const std::string& to) = 0;

  // Removes the program's own file `path`; a missing file is no failure. Not on the disk before
  // SyncFolder.
  virtual ErrorCode RemoveOwnFile(const std::string& path) = 0;

  // Whether `folder` compares names without regard to case, as FAT, exFAT, Windows and macOS do:
  // then a name differing from a taken one only in case is taken too. `entryName` is the name of
  // an ordinary entry of the folder holding an ASCII letter, by which POSIX finds out: it looks the
  // name up with its letters' case swapped. The folder ignores case when that finds the same
  // entry, or finds a file while the folder holds no entry of exactly that spelling (FUSE exFAT
  // and FAT give each spelling an inode number of its own). Windows: always true.
  virtual bool IsCaseInsensitiveFolder(const std::string& folder, std::string_view entryName) = 0;

  // Replaces the program's own file `path` with `contents` whole or not at all: a temporary file
  // in the same folder is written and synced, then renamed over `path`. A crash or a full disk
  // leaves the old file as it was. This rename replaces, so it is never used on the user's files.
  virtual ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) = 0;

  struct LockAttempt {
    std::unique_ptr<FileLock> lock;  // set when the lock was taken
    bool heldElsewhere = false;      // another process holds it
    ErrorCode error;                 // the lock file could not be opened
  };
  // Takes an exclusive lock on the file `path` (created when missing) without waiting. The lock
  // goes with the process: a process that dies frees it. POSIX: flock. Windows: the file opened
  // without sharing, the handle held until the lock goes.
  virtual LockAttempt TryLock(const std::string& path) = 0;
};

// The file system of the platform the program runs on.
FileSystem& SystemFileSystem();

// The absolute path of the existing folder `path` (relative to the working folder, or absolute),
// ending with kPathSeparator; POSIX resolves symbolic links on the way. Windows takes "/" as well
// as "\" and gives the full path with "\" (GetFullPathNameW). Fails with kPathNotFound when
// `path` is missing or not a folder.
ErrorCode ResolveFolder(const std::string& path, std::string* absolute);

// A UTC moment given as calendar fields, as local calendar fields by the zone rules of that date
// (the daylight saving of the moment's own date), as file times are. Nothing when `utc` is not a
// real moment or the system cannot represent it. POSIX: the zone of TZ. Windows: the zone rules of
// that year (GetTimeZoneInformationForYear).
std::optional<LocalTime> LocalTimeOfUtc(const LocalTime& utc);

// The parent folder of a path (with its trailing separator), or "" when it has no separator.
std::string_view FolderOf(std::string_view path);

// The last component of a path: everything after its last separator.
std::string_view NameOf(std::string_view path);

}  // namespace tokiren
