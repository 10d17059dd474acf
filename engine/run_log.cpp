// The log as a run writes it.
#include "engine/run_log.h"

#include "engine/log.h"

namespace tokiren {
namespace {

// Appends the complete lines of the log `path` to `to`; a missing log adds nothing.
ErrorCode AppendCompleteLines(FileSystem& fileSystem, const std::string& path, TextFileWriter& to) {
  if (!fileSystem.FileExists(path)) return kSuccess;
  std::unique_ptr<FileReader> file;
  ErrorCode error = fileSystem.OpenForReading(path, &file);
  if (!error.ok()) return error;
  ReverseLogReader lines(*file);
  const std::uint64_t size = lines.CompleteSize();
  if (!lines.error().ok()) return lines.error();
  return CopyBytes(*file, 0, size, to);
}

}  // namespace

ErrorCode RecoverLog(FileSystem& fileSystem, const std::string& folder) {
  const std::string logPath = folder + std::string(kLogFileName);
  const std::string backupPath = folder + std::string(kLogBackupFileName);
  if (!fileSystem.FileExists(backupPath)) return kSuccess;
  ErrorCode error;
  if (!fileSystem.FileExists(logPath)) {
    // Cut off before the new log took the old one's place: the old one simply comes back.
    error = fileSystem.MoveOwnFile(backupPath, logPath);
    return error.ok() ? fileSystem.SyncFolder(folder) : error;
  }
  // Cut off between the new log taking its place and its first rename (or the set-aside log's
  // removal reaching the disk): which renames were made is unknown, so one Reset must be able to
  // undo both runs, the older first.
  std::unique_ptr<FileReplacement> merged;
  error = fileSystem.CreateReplacement(logPath, &merged);
  if (error.ok()) error = AppendCompleteLines(fileSystem, backupPath, *merged);
  if (error.ok()) error = AppendCompleteLines(fileSystem, logPath, *merged);
  const std::string markerPath = folder + std::string(kRunMarkerFileName);
  if (error.ok() && !fileSystem.FileExists(markerPath)) {
    std::unique_ptr<TextFileWriter> marker;
    error = fileSystem.CreateTextFile(markerPath, &marker);
  }
  if (error.ok()) error = merged->Commit();
  if (error.ok()) error = fileSystem.RemoveOwnFile(backupPath);
  return error.ok() ? fileSystem.SyncFolder(folder) : error;
}

RunLog::RunLog(FileSystem& fileSystem, std::string folder)
    : fileSystem_(fileSystem), folder_(std::move(folder)) {}

RunLog::~RunLog() = default;

std::string RunLog::path() const { return folder_ + std::string(kLogFileName); }

ErrorCode RunLog::Open(bool changeNothing) {
  if (!changeNothing) {
    const ErrorCode error = RecoverLog(fileSystem_, folder_);
    if (!error.ok()) return error;
  }
  unfinished_ = fileSystem_.FileExists(folder_ + std::string(kRunMarkerFileName)) &&
                fileSystem_.FileExists(path());
  if (!unfinished_) return kSuccess;
  ErrorCode error = fileSystem_.OpenForReading(path(), &unfinishedLog_);
  if (!error.ok()) return error;
  ReverseLogReader lines(*unfinishedLog_);
  unfinishedSize_ = lines.CompleteSize();
  LogLine line;
  while (lines.Previous(&line)) {
    std::string_view oldPath, newPath;
    if (line.tooLong || !SplitLogLine(line.text, &oldPath, &newPath)) continue;
    unfinishedByOldPath_.Insert(Fingerprint(oldPath), PackLinePlace(line.begin, line.end));
    unfinishedByNewPath_.Insert(Fingerprint(newPath), PackLinePlace(line.begin, line.end));
  }
  return lines.error();
}

std::string RunLog::UnfinishedRenameOf(std::string_view oldPath) {
  return FindUnfinished(unfinishedByOldPath_, oldPath, false);
}

std::string RunLog::UnfinishedRenameTo(std::string_view newPath) {
  return FindUnfinished(unfinishedByNewPath_, newPath, true);
}

std::string RunLog::FindUnfinished(FingerprintIndex& index, std::string_view path, bool byNew) {
  if (!unfinished_) return {};  // asked for every file of a run: the usual answer costs nothing
  std::string found;
  std::string text;
  index.ForEach(Fingerprint(path), [&](std::uint64_t place) {
    std::string_view lineOld, lineNew;
    if (found.empty() && ReadLineAt(*unfinishedLog_, place, &text).ok() &&
        SplitLogLine(text, &lineOld, &lineNew) && (byNew ? lineNew : lineOld) == path) {
      found = byNew ? lineOld : lineNew;
    }
  });
  return found;
}

ErrorCode RunLog::SwitchTo(std::string_view lines) {
  const std::string logPath = path();
  const std::string backupPath = folder_ + std::string(kLogBackupFileName);
  ErrorCode error = fileSystem_.CreateReplacement(logPath, &writer_);
  if (error.ok() && unfinished_) error = CopyBytes(*unfinishedLog_, 0, unfinishedSize_, *writer_);
  if (error.ok()) error = writer_->Append(lines);
  if (error.ok() && fileSystem_.FileExists(logPath)) {
    error = fileSystem_.MoveOwnFile(logPath, backupPath);
    haveBackup_ = error.ok();
  }
  if (error.ok()) error = writer_->Commit();  // syncs the folder, with the set-aside log
  if (error.ok() && !unfinished_) {
    std::unique_ptr<TextFileWriter> marker;
    error = fileSystem_.CreateTextFile(folder_ + std::string(kRunMarkerFileName), &marker);
    markerMade_ = error.ok();
  }
  if (!error.ok()) {
    writer_.reset();
    if (haveBackup_ && fileSystem_.MoveOwnFile(backupPath, logPath).ok()) haveBackup_ = false;
    return error;
  }
  size_ = (unfinished_ ? unfinishedSize_ : 0) + lines.size();
  return kSuccess;
}

ErrorCode RunLog::Write(std::string_view lines) {
  if (!writer_) return SwitchTo(lines);
  ErrorCode error = writer_->Append(lines);
  if (error.ok()) error = writer_->Sync();
  if (error.ok()) size_ += lines.size();
  return error;
}

ErrorCode RunLog::Withdraw(std::uint64_t keep, std::string_view rest) {
  if (!writer_) return kSuccess;
  ErrorCode error = writer_->Truncate(keep);
  if (error.ok()) error = writer_->Append(rest);
  if (error.ok()) error = writer_->Sync();
  if (error.ok()) size_ = keep + rest.size();
  return error;
}

ErrorCode RunLog::Replace(std::uint64_t keep, std::string_view rest) {
  if (!writer_) return kSuccess;
  std::unique_ptr<FileReplacement> replacement;
  ErrorCode error = fileSystem_.CreateReplacement(path(), &replacement);
  if (error.ok()) {
    std::unique_ptr<FileReader> current;
    error = fileSystem_.OpenForReading(path(), &current);
    if (error.ok()) error = CopyBytes(*current, 0, keep, *replacement);
  }
  if (error.ok()) error = replacement->Append(rest);
  if (!error.ok()) return error;
  writer_.reset();  // Windows replaces no file that is open
  error = replacement->Commit();
  if (!error.ok()) return error;  // the log stays as it was, its lines marked unfinished
  writer_ = std::move(replacement);
  size_ = keep + rest.size();
  return kSuccess;
}

void RunLog::RenameMade() {
  if (madeAny_) return;
  madeAny_ = true;
  // The last run's log is no longer the way back. Its removal reaches the disk at the end.
  if (haveBackup_ &&
      fileSystem_.RemoveOwnFile(folder_ + std::string(kLogBackupFileName)).ok()) {
    haveBackup_ = false;
  }
}

ErrorCode RunLog::StopAt(std::uint64_t keep) {
  if (!writer_) return kSuccess;
  if (!madeAny_ && haveBackup_) return PutBackLastLog();
  ErrorCode error = writer_->Truncate(keep);
  if (error.ok()) error = writer_->Sync();
  if (error.ok()) size_ = keep;
  const ErrorCode ended = End();
  return error.ok() ? ended : error;
}

ErrorCode RunLog::PutBackLastLog() {
  writer_.reset();
  ErrorCode error = fileSystem_.MoveOwnFile(folder_ + std::string(kLogBackupFileName), path());
  if (error.ok()) haveBackup_ = false;
  if (error.ok() && markerMade_) {
    error = fileSystem_.RemoveOwnFile(folder_ + std::string(kRunMarkerFileName));
  }
  const ErrorCode synced = fileSystem_.SyncFolder(folder_);
  return error.ok() ? synced : error;
}

ErrorCode RunLog::End() {
  if (!writer_) return kSuccess;  // nothing written: the log stays as it was
  // Lines were written, but every rename was withdrawn: the last run's log is still the way back.
  if (!madeAny_ && haveBackup_) return PutBackLastLog();
  writer_.reset();
  ErrorCode error = fileSystem_.RemoveOwnFile(folder_ + std::string(kRunMarkerFileName));
  if (error.ok() && haveBackup_) {
    error = fileSystem_.RemoveOwnFile(folder_ + std::string(kLogBackupFileName));
  }
  const ErrorCode synced = fileSystem_.SyncFolder(folder_);
  return error.ok() ? synced : error;
}

}  // namespace tokiren
