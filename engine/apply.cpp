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

Applier::Applier(FileSystem& fileSystem, RunLog& log, EngineSink& sink, RunSummary& summary,
                 int jobs)
    : fileSystem_(fileSystem), log_(log), sink_(sink), summary_(summary), jobs_(jobs) {}

Applier::~Applier() = default;

struct Applier::Batch {
  std::vector<Unit> units;
  std::vector<Made> made;    // by unit, once made
  std::size_t given = 0;     // units made, or handed to work_
  std::size_t settled = 0;   // units told
  std::uint64_t kept = 0;    // the log's bytes before the next unit to tell
};

std::uint64_t Applier::LineBytes(std::size_t k) const {
  return pending_[k].oldPath.size() + kLogSeparator.size() + pending_[k].newPath.size() +
         kLogLineEnd.size();
}

std::vector<Applier::Unit> Applier::Units() const {
  std::vector<Unit> units;
  std::uint64_t lineEnd = 0;
  for (std::size_t begin = 0, end; begin < pending_.size(); begin = end) {
    end = begin + 1;
    while (pending_[begin].group != 0 && end < pending_.size() &&
           pending_[end].group == pending_[begin].group) {
      ++end;
    }
    const std::uint64_t lineBegin = lineEnd;
    for (std::size_t k = begin; k < end; ++k) lineEnd += LineBytes(k);
    units.push_back(Unit{begin, end, lineBegin, lineEnd});
  }
  return units;
}

Applier::Made Applier::Make(const Unit& unit) const {
  Made made;
  // A name that leads to another file than the one whose time made the new name (replaced
  // since) is left alone with its group.
  for (std::size_t k = unit.begin; k < unit.end; ++k) {
    const Pending& rename = pending_[k];
    if (!rename.leftover && !fileSystem_.IsSameFile(rename.oldPath, rename.id)) {
      made.kind = Made::Kind::kChanged;
      made.at = k;
      return made;
    }
  }
  for (std::size_t k = unit.begin; k < unit.end; ++k) {
    const Pending& rename = pending_[k];
    const ErrorCode error =
        rename.leftover ? fileSystem_.FinishInterruptedRename(rename.oldPath, rename.newPath)
                        : fileSystem_.RenameNoReplace(rename.oldPath, rename.newPath);
    if (error.ok()) continue;
    made.kind = Made::Kind::kFailed;
    made.at = k;
    made.failures.push_back(MakeFailureReport(
        error, Where(rename), "cannot rename " + rename.oldPath + " to " + rename.newPath));
    // A group is never left split: its renames made are taken back, last first. One that cannot
    // be keeps its line, and those before it theirs.
    made.renamed = k;
    while (made.renamed > unit.begin) {
      const Pending& back = pending_[made.renamed - 1];
      const ErrorCode undone = fileSystem_.RenameNoReplace(back.newPath, back.oldPath);
      if (!undone.ok()) {
        made.failures.push_back(
            MakeFailureReport(undone, back.newPath + "\r" + back.oldPath,
                              "cannot rename " + back.newPath + " back to " + back.oldPath));
        break;
      }
      --made.renamed;
      made.tookBack = true;
    }
    return made;
  }
  return made;
}

void Applier::TellMade(const Unit& unit) {
  // Only once the whole group stands: one taken back whole must leave the last run's log the
  // way back.
  log_.RenameMade();
  for (std::size_t k = unit.begin; k < unit.end; ++k) {
    summary_.Count(FileOutcome::kRenamed);
    FileReport report = Report(pending_[k], FileOutcome::kRenamed);
    report.newName = NameOf(pending_[k].newPath);
    report.noCaptureTime = pending_[k].noCaptureTime;
    sink_.FileDone(report);
  }
}

void Applier::TellChanged(const Unit& unit, std::size_t changed) {
  const std::string reason = DescribeError(kFileNotFound.Because(kSystemChangedDuringRun));
  for (std::size_t k = unit.begin; k < unit.end; ++k) {
    const FileOutcome outcome = k == changed ? FileOutcome::kChanged : FileOutcome::kWithGroup;
    summary_.Count(outcome);
    FileReport report = Report(pending_[k], outcome);
    if (k == changed) report.reason = reason;
    sink_.FileDone(report);
  }
}

std::vector<ErrorReport> Applier::Settle(Batch& batch) {
  const Unit& unit = batch.units[batch.settled];
  Made& made = batch.made[batch.settled++];
  switch (made.kind) {
    case Made::Kind::kMade:
      TellMade(unit);
      batch.kept += unit.lineEnd - unit.lineBegin;
      return {};
    case Made::Kind::kChanged: {
      // Its lines leave the log before the renames after it are told.
      const ErrorCode error =
          log_.Withdraw(batch.kept, std::string_view(lines_).substr(unit.lineEnd));
      if (!error.ok()) {
        return StopAfter(batch, {MakeFailureReport(error, Where(pending_[made.at]),
                                                   "cannot write the log " + log_.path())},
                         batch.kept, batch.kept, {});
      }
      TellChanged(unit, made.at);
      return {};
    }
    case Made::Kind::kFailed:
      break;
  }
  std::uint64_t keep = batch.kept;
  for (std::size_t k = unit.begin; k < made.renamed; ++k) keep += LineBytes(k);
  // Renames taken back that cannot be synced keep their lines: a Reset finds them at their old
  // names.
  std::uint64_t keepUnsynced = keep;
  for (std::size_t k = made.renamed; k < made.at; ++k) keepUnsynced += LineBytes(k);
  if (made.renamed > unit.begin) log_.RenameMade();
  return StopAfter(batch, std::move(made.failures), keep, keepUnsynced,
                   made.tookBack ? FolderOf(pending_[unit.begin].oldPath) : std::string_view());
}

std::vector<ErrorReport> Applier::StopAfter(Batch& batch, std::vector<ErrorReport> failures,
                                            std::uint64_t keep, std::uint64_t keepUnsynced,
                                            std::string_view tookBackIn) {
  // Units on their way end; those made meanwhile keep their lines, after the ones kept so far.
  std::string later;
  if (work_) {
    work_->Stop();
    for (; batch.settled < batch.given; ++batch.settled) {
      const bool ran = work_->TakeOldest();
      const Unit& unit = batch.units[batch.settled];
      const Made& made = batch.made[batch.settled];
      if (!ran) continue;
      if (made.kind == Made::Kind::kMade) {
        TellMade(unit);
        later += std::string_view(lines_).substr(unit.lineBegin, unit.lineEnd - unit.lineBegin);
      } else if (made.kind == Made::Kind::kChanged) {
        TellChanged(unit, made.at);
      } else {
        // Those taken back keep their lines too, as when their folder cannot be synced.
        for (const ErrorReport& failure : made.failures) failures.push_back(failure);
        if (made.renamed > unit.begin) log_.RenameMade();
        std::uint64_t bytes = 0;
        for (std::size_t k = unit.begin; k < made.at; ++k) bytes += LineBytes(k);
        later += std::string_view(lines_).substr(unit.lineBegin, bytes);
      }
    }
    work_.reset();  // a stopped one would start nothing more
  }
  // The renames back reach the disk before the lines of the renames they undo leave the log:
  // otherwise a power cut could keep a rename and lose its line.
  if (!tookBackIn.empty()) {
    const std::string folder(tookBackIn);
    const ErrorCode synced = fileSystem_.SyncFolder(folder);
    if (!synced.ok()) {
      failures.push_back(MakeFailureReport(synced, folder, "cannot sync the folder " + folder));
      keep = keepUnsynced;
    }
  }
  // Only the lines of renames made stay, so Reset never moves a file this run did not.
  ErrorCode cut = later.empty() ? kSuccess : log_.Withdraw(keep, later);
  if (cut.ok()) cut = log_.StopAt(later.empty() ? keep : log_.size());
  if (!cut.ok()) {
    failures.push_back(
        MakeFailureReport(cut, log_.path(), "cannot cut the log back " + log_.path()));
  }
  return failures;
}

std::vector<ErrorReport> Applier::Flush() {
  if (pending_.empty()) return {};
  const std::uint64_t before = log_.size();
  const bool first = !wrote_;
  const ErrorCode error = log_.Write(lines_);
  if (!error.ok()) {
    log_.StopAt(before);
    return {MakeFailureReport(error, first ? std::string("\r") : Where(pending_.front()),
                              (first ? "cannot create the log " : "cannot write the log ") +
                                  log_.path())};
  }
  wrote_ = true;
  Batch batch;
  batch.units = Units();
  batch.made.resize(batch.units.size());
  batch.kept = log_.size() - lines_.size();
  std::vector<ErrorReport> failures;
  while (failures.empty() && batch.settled < batch.units.size()) {
    if (!work_ && (jobs_ > 1 || (jobs_ == 0 && probe_.slow()))) {
      work_ = std::make_unique<OrderedWork>(JobsFor(jobs_, probe_));
    }
    if (!work_) {
      // One after another, the first ones timed while the file system's speed is not known.
      const Unit& unit = batch.units[batch.given];
      batch.made[batch.given++] = jobs_ == 0 ? probe_.Time([&] { return Make(unit); }) : Make(unit);
      failures = Settle(batch);
      continue;
    }
    if (batch.given < batch.units.size() && !work_->Full()) {
      std::vector<std::string_view> paths;
      const std::size_t u = batch.given++;
      const Unit& unit = batch.units[u];
      for (std::size_t k = unit.begin; k < unit.end; ++k) {
        paths.push_back(pending_[k].oldPath);
        paths.push_back(pending_[k].newPath);
      }
      work_->Add(FolderOf(pending_[unit.begin].oldPath), paths,
                 [this, &batch, u] { batch.made[u] = Make(batch.units[u]); });
      continue;
    }
    work_->TakeOldest();
    failures = Settle(batch);
  }
  pending_.clear();
  lines_.clear();
  return failures;
}

}  // namespace tokiren
