// The log as a run writes it: the last run's log stays until this run makes its first rename, the
// lines of a run that never ended stay ahead of this run's, and a run that stops on a failure
// keeps only the lines of the renames it made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/log_file.h"
#include "platform/file_system.h"

namespace tokiren {

// Puts right a log that a crash left half replaced (the last run's log still set aside beside the
// new one): the set-aside lines go back ahead of the new log's, and the log is marked as a run's
// that did not end. Call with the lock held, before the log is read.
ErrorCode RecoverLog(FileSystem& fileSystem, const std::string& folder);

class RunLog {
 public:
  RunLog(FileSystem& fileSystem, std::string folder);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Before the run plans anything: learns whether the log holds the lines of a run that did not
  // end, and indexes them. `changeNothing` (a dry run): reads only.
  ErrorCode Open(bool changeNothing);

  // The new path the lines of a run that did not end record for `oldPath`; "" when there is none.
  // Only such a run can have left a rename by link and removal half done.
  std::string UnfinishedRenameOf(std::string_view oldPath);
  // The old path the lines of a run that did not end record for `newPath`; "" when there is none.
  std::string UnfinishedRenameTo(std::string_view newPath);

  // Puts complete lines on the disk, before any of their renames is made. The first write puts
  // the new log in the place of the last run's (after the lines of a run that did not end).
  ErrorCode Write(std::string_view lines);
  std::uint64_t size() const { return size_; }

  // A rename whose line was written will not be made: the log keeps its first `keep` bytes, then
  // `rest` (the lines written after it, whose renames are still to be made), on the disk.
  ErrorCode Withdraw(std::uint64_t keep, std::string_view rest);

  // As Withdraw, for lines some of whose renames were made: the log is replaced whole, so that
  // no line of theirs is ever out of it on the disk.
  ErrorCode Replace(std::uint64_t keep, std::string_view rest);

  // A rename of this run was made.
  void RenameMade();

  // The run stops on a failure: the log keeps its first `keep` bytes, the lines of the renames
  // made. When no rename was made at all, the last run's log comes back instead.
  ErrorCode StopAt(std::uint64_t keep);

  // The run ended: its lines are its whole record (or, when it renamed nothing at all, the last
  // run's log stays the way back).
  ErrorCode End();

  std::string path() const;

 private:
  ErrorCode SwitchTo(std::string_view lines);
  // Nothing of this run happened: the last run's log, set aside, comes back in its place.
  ErrorCode PutBackLastLog();
  // The other path of the unfinished line whose old (or, `byNew`, new) path is `path`.
  std::string FindUnfinished(FingerprintIndex& index, std::string_view path, bool byNew);

  FileSystem& fileSystem_;
  const std::string folder_;
  bool unfinished_ = false;  // the log holds the lines of a run that did not end
  std::unique_ptr<FileReader> unfinishedLog_;
  std::uint64_t unfinishedSize_ = 0;  // its complete lines' bytes
  FingerprintIndex unfinishedByOldPath_;
  FingerprintIndex unfinishedByNewPath_;
  std::unique_ptr<FileReplacement> writer_;  // once the first lines were written
  bool haveBackup_ = false;     // the last run's log is set aside
  bool markerMade_ = false;     // this run marked the log as a run's not yet ended
  bool madeAny_ = false;
  std::uint64_t size_ = 0;
};

}  // namespace tokiren
