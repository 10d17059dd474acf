// The renames of a run made on the disk, batch by batch behind their log lines.
#include "engine/apply.h"

#include "engine/log_file.h"

namespace tokiren {
namespace {

FileReport Report(const std::string& oldPath, FileOutcome outcome) {
  FileReport report;
  report.folder = FolderOf(oldPath);
  report.name = NameOf(oldPath);
  report.outcome = outcome;
  return report;
}

}  // namespace

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
                  bool noCaptureTime) {
  lines_ += oldPath;
  lines_ += kLogSeparator;
  lines_ += newPath;
  lines_ += kLogLineEnd;
  pending_.push_back(Pending{std::move(oldPath), std::move(newPath), id, leftover, noCaptureTime});
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
  std::uint64_t made = log_.size() - lines_.size();  // the log up to this batch's lines
  std::uint64_t lineEnd = 0;                          // where the next line begins in `lines_`
  for (const Pending& rename : pending_) {
    const std::uint64_t lineSize = rename.oldPath.size() + kLogSeparator.size() +
                                   rename.newPath.size() + kLogLineEnd.size();
    lineEnd += lineSize;
    if (!rename.leftover && !fileSystem_.IsSameFile(rename.oldPath, rename.id)) {
      // The name leads to another file than the one whose time made the new name (replaced
      // since): it is left alone, and its line leaves the log before the next rename is made.
      error = log_.Withdraw(made, std::string_view(lines_).substr(lineEnd));
      if (!error.ok()) {
        log_.StopAt(made);
        return {MakeFailureReport(error, Where(rename), "cannot write the log " + log_.path())};
      }
      summary_.Count(FileOutcome::kChanged);
      FileReport report = Report(rename.oldPath, FileOutcome::kChanged);
      const std::string reason = DescribeError(kFileNotFound.Because(kSystemChangedDuringRun));
      report.reason = reason;
      sink_.FileDone(report);
      continue;
    }
    error = rename.leftover ? fileSystem_.FinishInterruptedRename(rename.oldPath, rename.newPath)
                            : fileSystem_.RenameNoReplace(rename.oldPath, rename.newPath);
    if (!error.ok()) {
      // Only the lines of renames made stay, so Reset never moves a file this run did not.
      std::vector<ErrorReport> failures{MakeFailureReport(
          error, Where(rename), "cannot rename " + rename.oldPath + " to " + rename.newPath)};
      const ErrorCode cut = log_.StopAt(made);
      if (!cut.ok()) {
        failures.push_back(
            MakeFailureReport(cut, log_.path(), "cannot cut the log back " + log_.path()));
      }
      return failures;
    }
    log_.RenameMade();
    made += lineSize;
    summary_.Count(FileOutcome::kRenamed);
    FileReport report = Report(rename.oldPath, FileOutcome::kRenamed);
    report.newName = NameOf(rename.newPath);
    report.noCaptureTime = rename.noCaptureTime;
    sink_.FileDone(report);
  }
  pending_.clear();
  lines_.clear();
  return {};
}

}  // namespace tokiren
