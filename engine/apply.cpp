// The renames of a run made on the disk, batch by batch behind their log lines.
#include "engine/apply.h"

#include "engine/log_file.h"

namespace tokiren {

FileReport Applier::Report(const Pending& rename, FileOutcome outcome) {
  FileReport report;
  report.folder = FolderOf(rename.oldPath);
  report.name = NameOf(rename.oldPath);
  report.outcome = outcome;
  report.group = rename.group;
  return report;
}

bool Applier::IsCutOffSecondName(const std::string& path, bool changeNothing) {
  const std::string firstName = log_.UnfinishedRenameTo(path);
  if (firstName.empty()) return false;
  const FileSystem::Interruption cut = fileSystem_.InterruptedRename(firstName, path);
  if (cut == FileSystem::Interruption::kClaimed && !changeNothing) {
    fileSystem_.UndoInterruptedRename(firstName, path);
  }
  return cut != FileSystem::Interruption::kNone;
}

void Applier::Add(std::string oldPath, std::string newPath, const FileId& id, bool leftover,
                  bool noCaptureTime, std::uint32_t group) {
  lines_ += oldPath;
  lines_ += kLogSeparator;
  lines_ += newPath;
  lines_ += kLogLineEnd;
  pending_.push_back(
      Pending{std::move(oldPath), std::move(newPath), id, leftover, noCaptureTime, group});
}

std::vector<ErrorReport> Applier::Flush() {
  if (pending_.empty()) return {};
  const std::uint64_t before = log_.size();
  const bool first = !wrote_;
  ErrorCode error = log_.Write(lines_);
  if (!error.ok()) {
    log_.StopAt(before);
    return {MakeFailureReport(error, first ? std::string("\r") : Where(pending_.front()),
                              (first ? "cannot create the log " : "cannot write the log ") +
                                  log_.path())};
  }
  wrote_ = true;
  auto lineSize = [](const Pending& rename) {
    return rename.oldPath.size() + kLogSeparator.size() + rename.newPath.size() +
           kLogLineEnd.size();
  };
  std::uint64_t made = log_.size() - lines_.size();  // the log up to the renames made
  std::uint64_t lineEnd = 0;                          // where the next unit's lines end in `lines_`
  // Unit by unit: a file alone, or a group of companions.
  for (size_t begin = 0, end; begin < pending_.size(); begin = end) {
    end = begin + 1;
    while (pending_[begin].group != 0 && end < pending_.size() &&
           pending_[end].group == pending_[begin].group) {
      ++end;
    }
    std::uint64_t unitSize = 0;
    for (size_t k = begin; k < end; ++k) unitSize += lineSize(pending_[k]);
    lineEnd += unitSize;

    // A name that leads to another file than the one whose time made the new name (replaced
    // since) is left alone with its group; their lines leave the log before the next rename.
    size_t changed = begin;
    while (changed < end && (pending_[changed].leftover ||
                             fileSystem_.IsSameFile(pending_[changed].oldPath, pending_[changed].id))) {
      ++changed;
    }
    if (changed < end) {
      error = log_.Withdraw(made, std::string_view(lines_).substr(lineEnd));
      if (!error.ok()) {
        log_.StopAt(made);
        return {MakeFailureReport(error, Where(pending_[changed]),
                                  "cannot write the log " + log_.path())};
      }
      const std::string reason = DescribeError(kFileNotFound.Because(kSystemChangedDuringRun));
      for (size_t k = begin; k < end; ++k) {
        const FileOutcome outcome = k == changed ? FileOutcome::kChanged : FileOutcome::kWithGroup;
        summary_.Count(outcome);
        FileReport report = Report(pending_[k], outcome);
        if (k == changed) report.reason = reason;
        sink_.FileDone(report);
      }
      continue;
    }

    for (size_t k = begin; k < end; ++k) {
      const Pending& rename = pending_[k];
      error = rename.leftover ? fileSystem_.FinishInterruptedRename(rename.oldPath, rename.newPath)
                              : fileSystem_.RenameNoReplace(rename.oldPath, rename.newPath);
      if (error.ok()) continue;
      std::vector<ErrorReport> failures{MakeFailureReport(
          error, Where(rename), "cannot rename " + rename.oldPath + " to " + rename.newPath)};
      // A group is never left split: its renames made are taken back, last first. One that
      // cannot be keeps its line, and those before it theirs.
      size_t renamed = k;  // members [begin, renamed) stand under their new names
      while (renamed > begin) {
        const Pending& back = pending_[renamed - 1];
        const ErrorCode undone = fileSystem_.RenameNoReplace(back.newPath, back.oldPath);
        if (!undone.ok()) {
          failures.push_back(MakeFailureReport(
              undone, back.newPath + "\r" + back.oldPath,
              "cannot rename " + back.newPath + " back to " + back.oldPath));
          break;
        }
        --renamed;
      }
      // The renames back reach the disk before the lines of the renames they undo leave the log:
      // otherwise a power cut could keep a rename and lose its line.
      if (renamed < k) {
        const std::string folder(FolderOf(pending_[begin].oldPath));
        const ErrorCode synced = fileSystem_.SyncFolder(folder);
        if (!synced.ok()) {
          failures.push_back(MakeFailureReport(synced, folder, "cannot sync the folder " + folder));
          renamed = k;  // their lines stay: a Reset finds those taken back at their old names
        }
      }
      std::uint64_t keep = made;
      for (size_t kept = begin; kept < renamed; ++kept) keep += lineSize(pending_[kept]);
      if (renamed > begin) log_.RenameMade();
      // Only the lines of renames made stay, so Reset never moves a file this run did not.
      const ErrorCode cut = log_.StopAt(keep);
      if (!cut.ok()) {
        failures.push_back(
            MakeFailureReport(cut, log_.path(), "cannot cut the log back " + log_.path()));
      }
      return failures;
    }
    // Only once the whole group stands: one taken back whole must leave the last run's log the
    // way back.
    log_.RenameMade();
    made += unitSize;
    for (size_t k = begin; k < end; ++k) {
      summary_.Count(FileOutcome::kRenamed);
      FileReport report = Report(pending_[k], FileOutcome::kRenamed);
      report.newName = NameOf(pending_[k].newPath);
      report.noCaptureTime = pending_[k].noCaptureTime;
      sink_.FileDone(report);
    }
  }
  pending_.clear();
  lines_.clear();
  return {};
}

}  // namespace tokiren
