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
#include "engine/plan.h"
#include "engine/run_log.h"
#include "engine/stamp.h"
#include "engine/time_read_ahead.h"
#include "platform/log_privacy.h"

namespace tokiren {
namespace {

// Files between two progress reports while renaming: often enough that a slow file system (a
// share, Wine) still moves the display every second or so; the sinks limit how often they draw.
constexpr std::uint64_t kProgressStep = 64;

constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();

bool HasAsciiLetter(std::string_view name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// The plan's view of the folders. Where case tells names apart, whether a name is taken comes
// from the folder's listing made moments ago by this run, which holds every regular file that
// is not hidden (exactly what the existence test looks for): no system call per candidate. A
// file that appears since is still never replaced (the rename replaces nothing) and a file gone
// since costs only a higher count. Elsewhere, and in folders holding the program's own files
// (left out of the listing), the file system is asked, which knows its own rules of case.
class FolderView final : public NameView {
 public:
  FolderView(FileSystem& fileSystem, const Collection& collection, const OwnFiles& own)
      : fileSystem_(fileSystem), collection_(collection), own_(own) {}

  // Starts on the folder of collected file `first`, whose files follow it in the collection.
  void Enter(std::uint32_t first, bool caseInsensitive) {
    listed_.clear();
    const std::string& folder = collection_.folder(first);
    useListing_ = !caseInsensitive && !own_.MayHold(folder);
    if (!useListing_) return;
    // The folder's files by name: an open-addressing table of indices into the collection, at
    // most half full (8 bytes a file at the most).
    const std::uint32_t index = collection_.folderIndex(first);
    std::uint32_t begin = first;
    while (begin > 1 && collection_.folderIndex(begin - 1) == index) --begin;
    std::uint32_t end = first;
    while (end <= collection_.size() && collection_.folderIndex(end) == index) ++end;
    size_t slots = 16;
    while (slots < 2 * static_cast<size_t>(end - begin)) slots *= 2;
    listed_.assign(slots, 0);
    for (std::uint32_t k = begin; k < end; ++k) {
      size_t slot = Hash(collection_.name(k));
      while (listed_[slot] != 0) slot = (slot + 1) & (listed_.size() - 1);
      listed_[slot] = k;  // collected files count from 1: 0 is an empty slot
    }
  }

  bool Exists(const std::string& path) override {
    if (!useListing_) return fileSystem_.FileExists(path);
    const std::string_view name = NameOf(path);
    for (size_t slot = Hash(name); listed_[slot] != 0; slot = (slot + 1) & (listed_.size() - 1)) {
      if (collection_.name(listed_[slot]) == name) return true;
    }
    return false;
  }
  bool IsCutOffRename(const std::string& oldPath, const std::string& newPath) override {
    return fileSystem_.InterruptedRename(oldPath, newPath) != FileSystem::Interruption::kNone;
  }

 private:
  size_t Hash(std::string_view name) const {
    return std::hash<std::string_view>{}(name) & (listed_.size() - 1);
  }

  FileSystem& fileSystem_;
  const Collection& collection_;
  const OwnFiles& own_;
  bool useListing_ = false;
  std::vector<std::uint32_t> listed_;
};

}  // namespace

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

ErrorCode RenameJob::GetFileTimeStrings(const std::string& FileName,
                                        std::string& FileTimeStrings, FileId* id,
                                        bool* noCaptureTime) {
  FileTimes times;
  std::optional<LocalTime> captured;
  // A run that reads capture times has them read ahead; the file times come from the file opened
  // for that, too.
  const ErrorCode error = readAhead_    ? readAhead_->Read(FileName, &times, &captured)
                          : timesAhead_ ? timesAhead_->Read(FileName, &times)
                                        : fileSystem_.GetFileTimes(FileName, &times);
  if (!error.ok()) return error;
  *noCaptureTime = readAhead_ && !captured;
  *id = times.id;
  const LocalTime& chosen = captured                                      ? *captured
                            : options.timeSource == TimeSource::kCreation ? times.creation
                                                                          : times.lastWrite;
  std::optional<std::string> stamp =
      StampFormat(options.separator)
          .Format(options.clockShift == 0 ? chosen : ShiftedBy(chosen, options.clockShift));
  if (!stamp) return kInvalidPropertyValue;
  FileTimeStrings = std::move(*stamp);
  return kSuccess;
}

ErrorCode RenameJob::StartCaptureTimes(const std::vector<std::string>& paths) {
  readAhead_.reset();
  if (options.timeSource != TimeSource::kTaken || !captureTimes) return kSuccess;
  // A run that asked for capture times never quietly names files after their file times.
  std::string detail;
  const ErrorCode error = captureTimes->Start(&detail);
  if (!error.ok()) {
    ErrorReport report = MakeNoCaptureReaderReport(error);
    report.detail = std::move(detail);
    sink_.ShowError(report);
    return error;
  }
  readAhead_ = std::make_unique<CaptureReadAhead>(fileSystem_, *captureTimes, paths);
  return kSuccess;
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
  const Matcher matcher(options.extensions);
  const size_t count = collection_->size();
  std::vector<std::uint32_t> matching;
  {
    std::string extension;
    for (size_t i = 1; i <= count; ++i) {
      if (matcher.Matches(collection_->name(i), &extension)) {
        matching.push_back(static_cast<std::uint32_t>(i));
      }
    }
  }
  {
    std::vector<std::string> paths;
    if (options.timeSource == TimeSource::kTaken && captureTimes) {
      for (const std::uint32_t i : matching) {
        const std::string& folder = collection_->folder(i);
        const std::string& name = collection_->name(i);
        if (FitsOnOneLine(folder) && FitsOnOneLine(name)) paths.push_back(folder + name);
      }
    }
    summary.error = StartCaptureTimes(paths);
    if (!summary.error.ok()) return summary;
  }
  StartTimeReadAhead(matching);

  const StampFormat format(options.separator);
  const OwnFiles own(AppPath, ProtectedFiles);
  FolderView view(fileSystem_, *collection_, own);
  Planner planner(format, options.countUp, view);
  Applier applier(fileSystem_, log, sink_, summary);
  auto stop = [&](const std::vector<ErrorReport>& failures) {
    for (const ErrorReport& failure : failures) ErrorDisp(failure);
    summary.error = failures.front().code;
    return summary;
  };
  std::string extension, stamp;
  std::uint32_t currentFolder = kNoFolder;
  std::uint64_t done = 0;
  for (const std::uint32_t i : matching) {
    if (++done % kProgressStep == 0) {
      sink_.Progress(EngineSink::Phase::kRenaming, done, matching.size());
    }
    if (dryRun && sink_.Cancelled()) {
      summary.cancelled = true;
      return summary;
    }
    const std::string& folder = collection_->folder(i);
    const std::string& name = collection_->name(i);
    FileReport report;
    report.folder = folder;
    report.name = name;
    auto tell = [&](FileOutcome outcome) {
      report.outcome = outcome;
      summary.Count(outcome);
      sink_.FileDone(report);
    };
    if (!FitsOnOneLine(folder) || !FitsOnOneLine(name)) {
      tell(FileOutcome::kNotOnOneLine);
      continue;
    }
    matcher.Matches(name, &extension);
    if (collection_->folderIndex(i) != currentFolder) {
      currentFolder = collection_->folderIndex(i);
      const bool caseInsensitive = IsCaseInsensitive(i);
      view.Enter(i, caseInsensitive);
      planner.EnterFolder(folder, caseInsensitive);
    }
    std::string oldPath = folder + name;
    if (applier.IsCutOffSecondName(oldPath, dryRun)) continue;
    bool noCaptureTime = false;
    FileId id;
    const ErrorCode timeError = GetFileTimeStrings(oldPath, stamp, &id, &noCaptureTime);
    if (!timeError.ok()) {  // never named after another file's time
      const std::string reason = timeError == kInvalidPropertyValue && timeError.system == 0
                                     ? std::string("its year lies outside 0-9999")
                                     : Reason(timeError);
      report.reason = reason;
      tell(FileOutcome::kTimeUnreadable);
      continue;
    }
    if (noCaptureTime) ++summary.notTaken;
    report.noCaptureTime = noCaptureTime;
    Decision decision = planner.Decide(name, stamp, extension, log.UnfinishedRenameOf(oldPath));
    if (decision.kind == Decision::Kind::kAlreadyNamed) {
      tell(FileOutcome::kAlreadyNamed);
    } else if (decision.kind == Decision::Kind::kNameTaken) {
      tell(FileOutcome::kNameTaken);
    } else if (dryRun) {
      sink_.PlannedLine(oldPath + std::string(kLogSeparator) + folder + decision.newName);
      report.newName = decision.newName;
      tell(FileOutcome::kRenamed);
    } else {
      applier.Add(std::move(oldPath), folder + decision.newName, id, decision.leftover,
                  noCaptureTime);
      if (applier.Full()) {
        if (const auto failures = applier.Flush(); !failures.empty()) return stop(failures);
      }
    }
  }
  if (const auto failures = applier.Flush(); !failures.empty()) return stop(failures);
  if (!dryRun) {
    const ErrorCode ended = log.End();
    if (!ended.ok()) {
      ErrorDisp(MakeFailureReport(ended, log.path(), "cannot finish the log " + log.path()));
      summary.error = ended;
    }
  }
  sink_.Progress(EngineSink::Phase::kRenaming, matching.size(), matching.size());
  return summary;
}

bool RenameJob::IsCaseInsensitive(std::uint32_t first) const {
  // The folder's file system tells, by one of its names, whether case tells names apart.
  const std::uint32_t folder = collection_->folderIndex(first);
  for (size_t k = first; k <= collection_->size() && collection_->folderIndex(k) == folder; ++k) {
    if (HasAsciiLetter(collection_->name(k))) {
      return fileSystem_.IsCaseInsensitiveFolder(collection_->folder(k), collection_->name(k));
    }
  }
  return false;
}

void RenameJob::ErrorDisp(const ErrorReport& report) { sink_.ShowError(report); }

}  // namespace tokiren
