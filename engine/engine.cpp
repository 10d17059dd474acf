// The rename job: a run collects the tree, plans each file's new name and makes the renames behind
// their log lines; the dry run is the plan, told.
#include "engine/engine.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "engine/apply.h"
#include "engine/capture_read_ahead.h"
#include "engine/clock_shift.h"
#include "engine/collection.h"
#include "engine/log_file.h"
#include "engine/pass.h"
#include "engine/run_log.h"
#include "engine/stamp.h"
#include "engine/time_read_ahead.h"
#include "platform/log_privacy.h"

namespace tokiren {
void RunSummary::Count(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::kRenamed:
      ++renamed;
      break;
    case FileOutcome::kAlreadyNamed:
      ++alreadyNamed;
      break;
    case FileOutcome::kNameTaken:
      ++nameTaken;
      break;
    case FileOutcome::kTimeUnreadable:
    case FileOutcome::kChanged:
      ++unreadable;
      break;
    case FileOutcome::kNotOnOneLine:
      ++notOnOneLine;
      break;
    case FileOutcome::kWithGroup:
      ++withGroup;
      break;
  }
}

RenameJob::RenameJob(FileSystem& fileSystem, EngineSink& sink)
    : fileSystem_(fileSystem), sink_(sink), collection_(std::make_unique<Collection>()) {}

RenameJob::~RenameJob() = default;

const std::string& RenameJob::PathArray(int i) const {
  return collection_->folder(static_cast<size_t>(i));
}

const std::string& RenameJob::NameArray(int i) const {
  return collection_->name(static_cast<size_t>(i));
}

int RenameJob::FileCount() const { return static_cast<int>(collection_->size()); }

void RenameJob::ClearCollection() { collection_->Clear(); }

ErrorCode RenameJob::RecurseTree(const std::string& CurrentPath, std::string* failedFolder) {
  return collection_->Walk(
      fileSystem_, CurrentPath, OwnFiles(AppPath, ProtectedFiles),
      [&](std::uint64_t files) { sink_.Progress(EngineSink::Phase::kCollecting, files, 0); },
      failedFolder);
}

std::unique_ptr<FileLock> RenameJob::LockLog(ErrorCode* error, bool readsLog) {
  const std::string lockPath = AppPath + std::string(kLockFileName);
  FileSystem::LockAttempt attempt = fileSystem_.TryLock(lockPath);
  if (attempt.lock) {
    // Whoever else may write the log or its folder could make Reset rename anything; whoever may
    // open the lock could hold it. A run reads the log only after a run that did not end.
    const std::string logPath = AppPath + std::string(kLogFileName);
    for (const auto& [path, check] :
         {std::pair{AppPath, &CheckLogFolderIsPrivate}, std::pair{lockPath, &CheckLockIsPrivate},
          std::pair{readsLog ? logPath : std::string(), &CheckLogIsPrivate}}) {
      if (path.empty() || check(path) != kPathFileAccessError) continue;
      const ErrorReport refused = MakeNotPrivateReport(path);
      *error = refused.code;
      sink_.ShowError(refused);
      return nullptr;
    }
  }
  if (attempt.heldElsewhere) {
    const ErrorReport busy = MakeBusyReport(AppPath + std::string(kLogFileName));
    *error = busy.code;
    sink_.ShowError(busy);
  } else if (!attempt.error.ok()) {
    *error = attempt.error;
    ErrorDisp(MakeFailureReport(attempt.error, "\r",  // as for a log that cannot be created
                                "cannot lock " + lockPath));
  }
  return std::move(attempt.lock);
}

RunSummary RenameJob::Run(RunMode mode) {
  RunSummary summary;
  std::unique_ptr<FileLock> lock;
  if (mode == RunMode::kRename) {
    lock = LockLog(&summary.error,
                   fileSystem_.FileExists(AppPath + std::string(kRunMarkerFileName)));
    if (!lock) return summary;
  }
  ClearCollection();
  SepChar = StampFormat(options.separator).separator();
  if (!SelectedPath.empty() && SelectedPath.back() != kPathSeparator) {
    SelectedPath += kPathSeparator;
  }
  std::string failedFolder;
  const ErrorCode error = RecurseTree(SelectedPath, &failedFolder);
  if (!error.ok()) {
    ErrorDisp(MakeFailureReport(error, failedFolder, "cannot list the folder " + failedFolder));
    summary.error = error;
    return summary;
  }
  summary = ReName(mode);
  readAhead_.reset();
  timesAhead_.reset();
  return summary;
}

ErrorCode RenameJob::GetFileTimeStrings(const std::string& FileName, FileStamp* FileTimeStrings) {
  FileTimes times;
  std::optional<LocalTime> captured;
  std::optional<std::uint32_t> nanosecond;
  // A run that reads capture times has them read ahead; the file times come from the file opened
  // for that, too.
  const ErrorCode error = readAhead_    ? readAhead_->Read(FileName, &times, &captured, &nanosecond)
                          : timesAhead_ ? timesAhead_->Read(FileName, &times)
                                        : fileSystem_.GetFileTimes(FileName, &times);
  if (!error.ok()) return error;
  const LocalTime& chosen = captured                                      ? *captured
                            : options.timeSource == TimeSource::kCreation ? times.creation
                                                                          : times.lastWrite;
  std::optional<std::string> stamp =
      StampFormat(options.separator)
          .Format(options.clockShift == 0 ? chosen : ShiftedBy(chosen, options.clockShift));
  if (!stamp) return kInvalidPropertyValue;
  FileTimeStrings->text = std::move(*stamp);
  FileTimeStrings->id = times.id;
  FileTimeStrings->noCaptureTime = readAhead_ && !captured;
  FileTimeStrings->nanosecond = nanosecond;
  return kSuccess;
}

ErrorCode RenameJob::StartCaptureTimes() {
  readAhead_.reset();
  if (options.timeSource != TimeSource::kTaken || !captureTimes) return kSuccess;
  // A run that asked for capture times never quietly names files after their file times.
  std::string detail;
  const ErrorCode error = captureTimes->Start(&detail);
  if (!error.ok()) {
    ErrorReport report = MakeNoCaptureReaderReport(error);
    report.detail = std::move(detail);
    sink_.ShowError(report);
  }
  return error;
}

void RenameJob::StartTimeReadAhead(const std::vector<std::uint32_t>& files) {
  timesAhead_.reset();
  if (readAhead_ || jobs == 1) return;
  std::vector<std::uint32_t> ahead;
  for (const std::uint32_t i : files) {
    if (FitsOnOneLine(collection_->folder(i)) && FitsOnOneLine(collection_->name(i))) {
      ahead.push_back(i);
    }
  }
  // The collection stays as it is until the pass ends: the reading threads may build paths of it.
  const std::size_t count = ahead.size();
  timesAhead_ = std::make_unique<TimeReadAhead>(
      fileSystem_, count,
      [this, ahead = std::move(ahead)](std::size_t k) {
        return collection_->folder(ahead[k]) + collection_->name(ahead[k]);
      },
      jobs);
}

RunSummary RenameJob::ReName(RunMode mode) {
  RunSummary summary;
  const bool dryRun = mode == RunMode::kDryRun;
  RunLog log(fileSystem_, AppPath);
  const ErrorCode opened = log.Open(dryRun);
  if (!opened.ok()) {
    ErrorDisp(MakeFailureReport(opened, log.path(), "cannot read the log " + log.path()));
    summary.error = opened;
    return summary;
  }

  // The files the run acts on, found first: progress counts them, and capture times are read
  // ahead of the renames.
  const bool takesCaptureTimes = options.timeSource == TimeSource::kTaken && captureTimes;
  const OwnFiles own(AppPath, ProtectedFiles);
  RunPass pass(fileSystem_, sink_, *collection_, options, own, log, dryRun, takesCaptureTimes,
               summary, jobs);
  // The reader starts first: a run it refuses leaves the tree as it was.
  summary.error = StartCaptureTimes();
  if (!summary.error.ok()) return summary;
  const std::vector<std::uint32_t> read = pass.Prepare();
  if (takesCaptureTimes) {
    std::vector<std::string> paths;
    paths.reserve(read.size());
    for (const std::uint32_t i : read) paths.push_back(collection_->folder(i) + collection_->name(i));
    readAhead_ = std::make_unique<CaptureReadAhead>(fileSystem_, *captureTimes, std::move(paths));
  }
  StartTimeReadAhead(read);
  if (!pass.Run([this](const std::string& path, FileStamp* stamp) {
        return GetFileTimeStrings(path, stamp);
      })) {
    return summary;
  }
  if (!dryRun) {
    const ErrorCode ended = log.End();
    if (!ended.ok()) {
      ErrorDisp(MakeFailureReport(ended, log.path(), "cannot finish the log " + log.path()));
      summary.error = ended;
    }
  }
  return summary;
}

void RenameJob::ErrorDisp(const ErrorReport& report) { sink_.ShowError(report); }

}  // namespace tokiren
