// Reset: the renames of the last run undone from its log, last first.
#include <algorithm>
#include <set>

#include "engine/engine.h"
#include "engine/log_file.h"
#include "engine/reset_queue.h"
#include "engine/run_log.h"
#include "engine/time_read_ahead.h"

namespace tokiren {
namespace {

// Lines between two progress reports.
constexpr std::uint64_t kProgressStep = 4096;

// The lines of the log handled last first, and what becomes of the log afterwards: the lines
// that stay are kept as byte ranges of the log, last first; a kept line whose new name this Reset
// then gives to another file is dropped again.
class ResetPass {
 public:
  ResetPass(FileSystem& fileSystem, EngineSink& sink, FileReader& log, ResetSummary& summary,
            bool unfinished)
      : fileSystem_(fileSystem), sink_(sink), log_(log), summary_(summary),
        unfinished_(unfinished) {}

  // Gives one line's file its old name back, or keeps the line. A rename back that fails comes
  // back as a report; the next line is tried all the same. The calls on the user's files are timed
  // by `probe` while it is undecided.
  ErrorReport Undo(const LogLine& line, SlowCallProbe& probe);

  // The two paths of a line; false for a damaged one.
  static bool Split(const LogLine& line, std::string* oldPath, std::string* newPath);

  // What renaming a line's file back did (or that the line is `damaged`), counted and kept as
  // Undo does; lines are recorded in the order they are undone.
  ErrorReport Record(const LogLine& line, bool damaged, const std::string& oldPath,
                     const std::string& newPath, const RenameBack& outcome);

  bool unfinished() const { return unfinished_; }

  // The names given back reach the disk before the lines that record them leave the log, so a
  // power cut can never leave a file at a name no line accounts for.
  ErrorReport SyncRestored();

  // The log keeps only the lines that stay; nothing happens when every line stays.
  ErrorReport Rewrite(const std::string& logPath, std::unique_ptr<FileReader> log);

  void LogChanged() { changed_ = true; }

 private:
  struct Range {
    std::uint64_t begin, end;  // end: after the line's CR LF
  };

  void Keep(const LogLine& line);
  // A line kept earlier whose new name now holds the file just given back would, on a later
  // Reset, move this file away: it goes.
  void ForgetKeptLinesTo(const std::string& path);

  FileSystem& fileSystem_;
  EngineSink& sink_;
  FileReader& log_;
  ResetSummary& summary_;
  // A Reset or run did not end: only then may an empty file beside a logged one be taken for a
  // claim it made. Otherwise it is the user's.
  const bool unfinished_;
  std::vector<Range> kept_, dropped_;
  FingerprintIndex keptByNewPath_;
  std::set<std::string> restoredIn_;
  std::string keptText_;
  bool changed_ = false;
};

void ResetPass::Keep(const LogLine& line) {
  const std::uint64_t end = line.end + kLogLineEnd.size();
  if (!kept_.empty() && kept_.back().begin == end) {
    kept_.back().begin = line.begin;
  } else {
    kept_.push_back(Range{line.begin, end});
  }
}

// Renames the file of one line back, or finds why not. Only the calls on the user's files: it
// may run on several threads at once, for lines that share no entry.
RenameBack RenameFileBack(FileSystem& fileSystem, const std::string& oldPath,
                          const std::string& newPath, bool unfinished) {
  using Kind = RenameBack::Kind;
  if (!fileSystem.FileExists(newPath)) {
    return {fileSystem.FileExists(oldPath) ? Kind::kNeverMade : Kind::kNotFound, {}};
  }
  ErrorCode error = fileSystem.RenameNoReplace(newPath, oldPath);
  if (error == kFileAlreadyExists) {
    using Cut = FileSystem::Interruption;
    const Cut back = fileSystem.InterruptedRename(newPath, oldPath);  // a Reset's own
    if (back == Cut::kLinked || (back == Cut::kClaimed && unfinished)) {
      error = fileSystem.FinishInterruptedRename(newPath, oldPath);
    } else if (unfinished && fileSystem.InterruptedRename(oldPath, newPath) == Cut::kClaimed &&
               fileSystem.UndoInterruptedRename(oldPath, newPath).ok()) {
      return {Kind::kNeverMade, {}};  // cut off after its claim: the file never left its old name
    }
  }
  if (!error.ok()) return {Kind::kFailed, error};
  return {Kind::kRestored, {}};
}

bool ResetPass::Split(const LogLine& line, std::string* oldPath, std::string* newPath) {
  std::string_view oldView, newView;
  std::string converted;
  if (line.tooLong || !SplitLogLine(LogLineAsUtf8(line.text, &converted), &oldView, &newView)) {
    return false;
  }
  *oldPath = oldView;
  *newPath = newView;
  return true;
}

ErrorReport ResetPass::Undo(const LogLine& line, SlowCallProbe& probe) {
  std::string oldPath, newPath;
  if (!Split(line, &oldPath, &newPath)) return Record(line, true, oldPath, newPath, {});
  const RenameBack outcome =
      probe.Time([&] { return RenameFileBack(fileSystem_, oldPath, newPath, unfinished_); });
  return Record(line, false, oldPath, newPath, outcome);
}

ErrorReport ResetPass::Record(const LogLine& line, bool damaged, const std::string& oldPath,
                              const std::string& newPath, const RenameBack& outcome) {
  if (damaged) {
    Keep(line);
    ++summary_.damaged;
    return {};
  }
  switch (outcome.kind) {
    case RenameBack::Kind::kNeverMade:
      ++summary_.neverMade;  // the rename never happened
      changed_ = true;
      return {};
    case RenameBack::Kind::kNotFound:
      ++summary_.notFound;  // a card taken out, a folder moved: a later Reset may find it
      sink_.LineNotFound(oldPath, newPath);
      keptByNewPath_.Insert(Fingerprint(newPath), PackLinePlace(line.begin, line.end));
      Keep(line);
      return {};
    case RenameBack::Kind::kFailed:
      ++summary_.failed;
      if (summary_.error.ok()) summary_.error = outcome.error;
      Keep(line);  // its file holds the new name: no file can be given that name meanwhile
      return MakeFailureReport(outcome.error, oldPath + "\r" + newPath,
                               "cannot rename " + newPath + " back to " + oldPath);
    case RenameBack::Kind::kRestored:
      break;
  }
  ++summary_.restored;
  changed_ = true;
  restoredIn_.insert(std::string(FolderOf(oldPath)));
  ForgetKeptLinesTo(oldPath);
  return {};
}

void ResetPass::ForgetKeptLinesTo(const std::string& path) {
  keptByNewPath_.ForEach(Fingerprint(path), [&](std::uint64_t place) {
    std::string_view keptOld, keptNew;
    if (ReadLineAt(log_, place, &keptText_).ok() &&
        SplitLogLine(keptText_, &keptOld, &keptNew) && keptNew == path) {
      const std::uint64_t begin = LinePlaceBegin(place);
      dropped_.push_back(Range{begin, begin + keptText_.size() + kLogLineEnd.size()});
      ++summary_.forgotten;
      --summary_.notFound;
    }
  });
}

ErrorReport ResetPass::SyncRestored() {
  for (const std::string& folder : restoredIn_) {
    const ErrorCode error = fileSystem_.SyncFolder(folder);
    if (!error.ok()) return MakeFailureReport(error, folder, "cannot sync the folder " + folder);
  }
  return {};
}

ErrorReport ResetPass::Rewrite(const std::string& logPath, std::unique_ptr<FileReader> log) {
  if (!changed_) return {};
  std::unique_ptr<FileReplacement> remaining;
  ErrorCode error = fileSystem_.CreateReplacement(logPath, &remaining);
  std::reverse(kept_.begin(), kept_.end());
  std::sort(dropped_.begin(), dropped_.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  auto next = dropped_.begin();
  for (const Range& range : kept_) {
    std::uint64_t from = range.begin;
    for (; error.ok() && next != dropped_.end() && next->begin < range.end; ++next) {
      error = CopyBytes(*log, from, next->begin, *remaining);
      from = next->end;
    }
    if (error.ok()) error = CopyBytes(*log, from, range.end, *remaining);
    if (!error.ok()) break;
  }
  log.reset();  // Windows replaces no file that is open
  if (error.ok()) error = remaining->Commit();
  if (!error.ok()) return MakeFailureReport(error, logPath, "cannot rewrite the log " + logPath);
  return {};
}

// Several lines undone at once: their renames back made on the queue's threads, their outcomes
// recorded in the order of the log, as one thread would record them.
std::unique_ptr<ResetQueue> MakeQueue(FileSystem& fileSystem, int jobs, bool unfinished) {
  return std::make_unique<ResetQueue>(
      jobs, [&fileSystem, unfinished](const std::string& oldPath, const std::string& newPath) {
        return RenameFileBack(fileSystem, oldPath, newPath, unfinished);
      });
}

void RecordOldest(ResetPass& pass, ResetQueue& queue, EngineSink& sink) {
  const ResetQueue::Line done = queue.TakeOldest();
  const ErrorReport failure =
      pass.Record(done.line, done.damaged, done.oldPath, done.newPath, done.outcome);
  if (!failure.code.ok()) sink.ShowError(failure);
}

void UndoInQueue(ResetPass& pass, ResetQueue& queue, EngineSink& sink, const LogLine& line) {
  while (queue.Full() || queue.OldestDone()) RecordOldest(pass, queue, sink);
  ResetQueue::Line added;
  added.line = line;
  added.damaged = !ResetPass::Split(line, &added.oldPath, &added.newPath);
  queue.Add(std::move(added));
}

}  // namespace

ResetSummary RenameJob::Reset() {
  ResetSummary summary;
  const std::string logPath = AppPath + std::string(kLogFileName);
  if (!fileSystem_.FileExists(logPath) &&
      !fileSystem_.FileExists(AppPath + std::string(kLogBackupFileName))) {
    return summary;
  }
  const std::unique_ptr<FileLock> lock = LockLog(&summary.error, true);
  if (!lock) return summary;
  auto fail = [&](const ErrorReport& failure) {
    ErrorDisp(failure);
    if (summary.error.ok()) summary.error = failure.code;
    return summary;
  };
  ErrorCode error = RecoverLog(fileSystem_, AppPath);
  if (!error.ok()) {
    return fail(MakeFailureReport(error, logPath, "cannot put back the log " + logPath));
  }
  if (!fileSystem_.FileExists(logPath)) return summary;
  std::unique_ptr<FileReader> log;
  error = fileSystem_.OpenForReading(logPath, &log);
  if (!error.ok()) return fail(MakeFailureReport(error, logPath, "cannot read the log " + logPath));

  // Marked while it renames, as a run is: a Reset cut off leaves the log marked as work that did
  // not end, and only then may an empty file beside a logged one be taken for a claim it made.
  // A mark that cannot be made costs only that: such a claim would then be reported and kept.
  const std::string markerPath = AppPath + std::string(kRunMarkerFileName);
  const bool unfinished = fileSystem_.FileExists(markerPath);
  if (!unfinished) {
    std::unique_ptr<TextFileWriter> marker;
    fileSystem_.CreateTextFile(markerPath, &marker);
  }

  // Last rename first: a run may have given a later file the former name of an earlier one.
  ResetPass pass(fileSystem_, sink_, *log, summary, unfinished);
  ReverseLogReader lines(*log);
  const std::uint64_t logSize = log->Size();
  LogLine line;
  std::uint64_t handled = 0;
  SlowCallProbe probe;
  std::unique_ptr<ResetQueue> queue = jobs > 1 ? MakeQueue(fileSystem_, jobs, unfinished) : nullptr;
  while (lines.Previous(&line)) {
    // Lines go last first, so the bytes from this line to the end are the ones handled.
    if (++handled % kProgressStep == 0) {
      sink_.Progress(EngineSink::Phase::kResetting, logSize - line.begin, logSize);
    }
    if (!queue && jobs == 0 && probe.decided() && JobsFor(jobs, probe) > 1) {
      queue = MakeQueue(fileSystem_, JobsFor(jobs, probe), unfinished);
    }
    if (queue) {
      UndoInQueue(pass, *queue, sink_, line);
    } else if (const ErrorReport failure = pass.Undo(line, probe); !failure.code.ok()) {
      ErrorDisp(failure);
    }
  }
  while (queue && !queue->Empty()) RecordOldest(pass, *queue, sink_);
  if (!lines.error().ok()) {
    return fail(MakeFailureReport(lines.error(), logPath, "cannot read the log " + logPath));
  }
  sink_.Progress(EngineSink::Phase::kResetting, logSize, logSize);
  if (lines.CompleteSize() != logSize) pass.LogChanged();  // a torn last line goes
  // A folder that cannot be synced leaves the log whole: a later Reset passes over what was
  // restored.
  if (const ErrorReport failure = pass.SyncRestored(); !failure.code.ok()) return fail(failure);
  if (const ErrorReport failure = pass.Rewrite(logPath, std::move(log)); !failure.code.ok()) {
    return fail(failure);
  }
  // The lines left are no longer those of work that did not end: the next run replaces them.
  error = fileSystem_.RemoveOwnFile(markerPath);
  if (error.ok()) error = fileSystem_.SyncFolder(AppPath);
  if (!error.ok()) {
    return fail(MakeFailureReport(error, logPath, "cannot remove the marker beside " + logPath));
  }
  return summary;
}

}  // namespace tokiren
