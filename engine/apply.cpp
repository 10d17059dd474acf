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
  std::vector<Made> made;    // by unit
  std::size_t given = 0;     // units made, or handed to work_
  std::size_t settled = 0;   // units told
  std::uint64_t kept = 0;    // the log's bytes before the next unit to tell
  bool together = false;     // units from `given` on go to work_'s threads
  bool stale = false;        // lines of units told changed are still in the log before `kept`
  std::size_t staleUnit = 0;  // stale: the first of those units
  std::uint64_t staleAt = 0;  // stale: the log's bytes before its lines
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

Applier::Made Applier::Check(const Unit& unit) const {
  Made made;
  // A name that leads to another file than the one whose time made the new name (replaced
  // since) is left alone with its group.
  for (std::size_t k = unit.begin; k < unit.end; ++k) {
    const Pending& rename = pending_[k];
    if (!rename.leftover && !fileSystem_.IsSameFile(rename.oldPath, rename.id)) {
      made.kind = Made::Kind::kChanged;
      made.at = k;
      break;
    }
  }
  return made;
}

Applier::Made Applier::Rename(const Unit& unit) const {
  Made made;
  made.kind = Made::Kind::kMade;
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
    }
    break;
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
  const Made& made = batch.made[batch.settled];
  switch (made.kind) {
    case Made::Kind::kMade:
      ++batch.settled;
      TellMade(unit);
      batch.kept += unit.lineEnd - unit.lineBegin;
      return {};
    case Made::Kind::kChanged:
      ++batch.settled;
      if (batch.together) {
        // Later units may stand renamed already: its lines leave the log with the batch's end.
        if (!batch.stale) {
          batch.stale = true;
          batch.staleUnit = batch.settled - 1;
          batch.staleAt = batch.kept;
        }
        batch.kept += unit.lineEnd - unit.lineBegin;
      } else {
        // Its lines leave the log before the next rename.
        const ErrorCode error =
            log_.Withdraw(batch.kept, std::string_view(lines_).substr(unit.lineEnd));
        if (!error.ok()) {
          return StopAfter(batch, {MakeFailureReport(error, Where(pending_[made.at]),
                                                     "cannot write the log " + log_.path())});
        }
      }
      TellChanged(unit, made.at);
      return {};
    case Made::Kind::kFailed:     // the run stops here
    case Made::Kind::kNotMade:    // stopped by a failure after it
      break;
  }
  return StopAfter(batch, {});
}

std::vector<ErrorReport> Applier::StopAfter(Batch& batch, std::vector<ErrorReport> failures) {
  // No more units start; those on their way end.
  if (work_) {
    work_->Stop();
    while (!work_->Empty()) work_->TakeOldest();
    work_.reset();  // a stopped one would start nothing more
  }
  // From the first unit not told on, the log keeps the lines of the renames that stand: those
  // made meanwhile, and those of a group that could not be taken back. A group taken back keeps
  // its lines only if its folder cannot be synced: a power cut could otherwise keep a rename and
  // lose its line (a Reset finds those taken back at their old names).
  // Lines of units told changed still in the log go too: the lines from the first of them on
  // are then written anew.
  std::string kept = batch.stale ? LinesMade(batch, batch.staleUnit, batch.settled) : std::string();
  const std::uint64_t from = batch.stale ? batch.staleAt : batch.kept;
  bool prefix = kept.empty();  // the lines kept are the first ones the log holds after `from`
  bool whole = !batch.stale;   // every line so far stays
  for (std::size_t u = batch.settled; u < batch.units.size(); ++u) {
    const Unit& unit = batch.units[u];
    const Made& made = batch.made[u];
    std::size_t keepTo = unit.begin;  // members [begin, keepTo) keep their lines
    if (made.kind == Made::Kind::kMade) {
      TellMade(unit);
      keepTo = unit.end;
    } else if (made.kind == Made::Kind::kChanged) {
      if (u < batch.given) TellChanged(unit, made.at);
    } else if (made.kind == Made::Kind::kFailed) {
      failures.insert(failures.end(), made.failures.begin(), made.failures.end());
      keepTo = made.renamed;
      if (made.renamed > unit.begin) log_.RenameMade();
      if (made.renamed < made.at) {  // renames taken back, not yet on the disk
        const std::string folder(FolderOf(pending_[unit.begin].oldPath));
        const ErrorCode synced = fileSystem_.SyncFolder(folder);
        if (!synced.ok()) {
          failures.push_back(MakeFailureReport(synced, folder, "cannot sync the folder " + folder));
          keepTo = made.at;
        }
      }
    }
    std::uint64_t bytes = 0;
    for (std::size_t k = unit.begin; k < keepTo; ++k) bytes += LineBytes(k);
    if (bytes > 0 && !whole) prefix = false;
    if (keepTo < unit.end) whole = false;
    kept += std::string_view(lines_).substr(unit.lineBegin, bytes);
  }
  // Only the lines of renames made stay, so Reset never moves a file this run did not. The lines
  // of a rename standing are never out of the log on the disk, not even for a moment: where they
  // do not come first, the log is replaced whole.
  ErrorCode cut = prefix ? kSuccess : log_.Replace(from, kept);
  if (cut.ok()) cut = log_.StopAt(prefix ? from + kept.size() : log_.size());
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
    if (work_ || jobs_ > 1 || (jobs_ == 0 && probe_.slow())) {
      if (!work_) work_ = std::make_unique<OrderedWork>(JobsFor(jobs_, probe_));
      failures = MakeTogether(batch);
      break;
    }
    // One after another, the first ones timed while the file system's speed is not known.
    const Unit& unit = batch.units[batch.given++];
    auto make = [&] {
      Made made = Check(unit);
      return made.kind == Made::Kind::kChanged ? made : Rename(unit);
    };
    batch.made[batch.settled] = jobs_ == 0 ? probe_.Time(make) : make();
    failures = Settle(batch);
  }
  pending_.clear();
  lines_.clear();
  return failures;
}

std::string Applier::LinesMade(const Batch& batch, std::size_t from, std::size_t to) const {
  std::string lines;
  for (std::size_t u = from; u < to; ++u) {
    const Unit& unit = batch.units[u];
    if (batch.made[u].kind == Made::Kind::kMade) {
      lines += std::string_view(lines_).substr(unit.lineBegin, unit.lineEnd - unit.lineBegin);
    }
  }
  return lines;
}

std::vector<ErrorReport> Applier::MakeTogether(Batch& batch) {
  // A unit is looked at just before its renames, as by one thread, and starts once every earlier
  // one that may name one of its files is done; the first to fail keeps those waiting for it from
  // starting.
  batch.together = true;
  for (; batch.given < batch.units.size(); ++batch.given) {
    const std::size_t u = batch.given;
    const Unit& unit = batch.units[u];
    std::vector<std::string_view> paths;
    for (std::size_t k = unit.begin; k < unit.end; ++k) {
      paths.push_back(pending_[k].oldPath);
      paths.push_back(pending_[k].newPath);
    }
    OrderedWork* work = work_.get();
    work_->Add(FolderOf(pending_[unit.begin].oldPath), paths, [this, &batch, u, work] {
      Made& made = batch.made[u];
      made = Check(batch.units[u]);
      if (made.kind != Made::Kind::kChanged) made = Rename(batch.units[u]);
      if (made.kind == Made::Kind::kFailed) work->Stop();
    });
  }
  while (batch.settled < batch.units.size()) {
    work_->TakeOldest();
    std::vector<ErrorReport> failures = Settle(batch);
    if (!failures.empty() || !work_) return failures;
  }
  // The lines of the files found replaced leave the log at once, the lines of the renames made
  // standing throughout: cut off where no rename made follows them (which needs no room on the
  // disk, as with one thread), else the log replaced whole.
  if (batch.stale) {
    const std::string made = LinesMade(batch, batch.staleUnit, batch.units.size());
    const ErrorCode error = made.empty() ? log_.Withdraw(batch.staleAt, {})
                                         : log_.Replace(batch.staleAt, made);
    if (!error.ok()) {
      return {MakeFailureReport(error, log_.path(), "cannot write the log " + log_.path())};
    }
  }
  return {};
}

}  // namespace tokiren
