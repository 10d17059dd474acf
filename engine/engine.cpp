// The rename job: collection, rename pass, log and error reporting, and Reset.
#include "engine/engine.h"

#include <algorithm>
#include <limits>
#include <set>

#include "engine/capture_read_ahead.h"
#include "engine/folder_names.h"
#include "engine/log_file.h"
#include "engine/run_log.h"
#include "engine/stamp.h"
#include "platform/log_privacy.h"

namespace tokiren {
namespace {

// Log lines written and synced together, before any of their renames is made.
constexpr size_t kRenamesPerSync = 4096;
// Files between two progress reports.
constexpr std::uint64_t kProgressStep = 4096;
// A stamp holds four digits of year.
constexpr int kLastYear = 9999;
constexpr size_t kStampDigits = 14;

constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();

// A path holding a line break cannot be written to the log as one line.
bool FitsOnOneLine(std::string_view text) { return text.find_first_of("\r\n") == text.npos; }

bool HasAsciiLetter(std::string_view name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// Equal with A-Z folded: for the program's own files, left alone in any spelling.
bool SameFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

std::string Reason(const ErrorCode& error) {
  std::string reason = DescribeError(error);
  if (reason.empty()) reason = "error " + std::to_string(error.number);
  return reason;
}

// The stamp with its counter moved on by `distance`, as PlusOne that often would.
std::string CountedUp(const std::string& stamp, int distance) {
  const size_t start = stamp.size() - kCounterDigits;
  int counter = std::stoi(stamp.substr(start));
  std::string digits = std::to_string((counter + distance) % kCounterValues);
  digits.insert(0, kCounterDigits - digits.size(), '0');
  return stamp.substr(0, start) + digits;
}

}  // namespace

// One pass of renames: the existence test against the folder as it will stand once the renames
// decided so far are made, and the renames waiting for their log lines to reach the disk.
class RenameJob::Pass {
 public:
  Pass(RenameJob& job, RunMode mode, RunLog& log, RunSummary& summary, size_t stampLength)
      : job_(job),
        dryRun_(mode == RunMode::kDryRun),
        log_(log),
        summary_(summary),
        names_(stampLength) {}

  void EnterFolder(bool caseInsensitive) { names_.Enter(caseInsensitive); }

  // Decides the new name of the file `name` (a name of the collection) in `folder`, from its
  // stamp: the stamp itself, or counted up past taken names when `countUp`, or none.
  // `id` is the file whose time made the stamp: only that file is renamed.
  void Decide(const std::string& folder, const std::string& name, std::string oldPath,
              const FileId& id, std::string stamp, const std::string& ext, bool countUp) {
    const std::string unfinished = log_.UnfinishedRenameOf(oldPath);
    std::optional<FolderNames::Counted> start;
    int distance = 0;
    if (countUp) start = names_.CountedOf(stamp + ext);
    if (start) {
      // The names up to `distance` are known to be taken; of them only the file's own name and
      // the name a run that did not end gave it still need a look, in counting order.
      distance = names_.ResumeDistance(*start);
      std::vector<int> special;
      for (const std::string_view candidate : {std::string_view(name), NameOf(unfinished)}) {
        const std::optional<FolderNames::Counted> counted = names_.CountedOf(candidate);
        if (!counted || counted->group != start->group) continue;
        const int at = (counted->counter - start->counter + kCounterValues) % kCounterValues;
        if (at < distance) special.push_back(at);
      }
      std::sort(special.begin(), special.end());
      for (const int at : special) {
        if (Try(folder, name, oldPath, id, CountedUp(stamp, at), ext, unfinished) !=
            Outcome::kTaken) {
          return;
        }
      }
      stamp = CountedUp(stamp, distance);
    }
    for (;; ++distance) {
      const Outcome outcome =
          Try(folder, name, oldPath, id, stamp, ext, unfinished, start, distance);
      if (outcome != Outcome::kTaken) return;
      if (!countUp || distance + 1 == kCounterValues) return;  // left alone
      PlusOne(stamp);
    }
  }

  bool Full() const { return pending_.size() >= kRenamesPerSync; }

  // Puts the waiting lines on the disk, then makes their renames. False once an error was shown.
  bool Flush() {
    if (pending_.empty()) return true;
    const std::uint64_t before = log_.size();
    const bool first = !wrote_;
    ErrorCode error = log_.Write(lines_);
    if (!error.ok()) {
      log_.StopAt(before);
      job_.ErrorDisp(error, first ? std::string("\r") : Where(pending_.front()),
                     (first ? "cannot create the log " : "cannot write the log ") + log_.path() +
                         ": " + Reason(error));
      summary_.error = error;
      return false;
    }
    wrote_ = true;
    FileSystem& fileSystem = job_.fileSystem_;
    std::uint64_t made = log_.size() - lines_.size();  // the log up to this batch's lines
    std::uint64_t lineAt = 0;                           // where its line begins in `lines_`
    for (const Planned& rename : pending_) {
      lineAt += LineSize(rename);
      if (!rename.leftover && !fileSystem.IsSameFile(rename.oldPath, rename.id)) {
        // The name leads to another file than the one whose time made the new name (replaced
        // since): it is left alone, and its line leaves the log before the next rename is made.
        error = log_.Withdraw(made, std::string_view(lines_).substr(lineAt));
        if (!error.ok()) {
          log_.StopAt(made);
          job_.ErrorDisp(error, Where(rename),
                         "cannot write the log " + log_.path() + ": " + Reason(error));
          summary_.error = error;
          return false;
        }
        ++summary_.unreadable;
        job_.sink_.TimeUnreadable(rename.oldPath,
                                  DescribeError(kFileNotFound.Because(kSystemChangedDuringRun)));
        continue;
      }
      error = rename.leftover ? fileSystem.FinishInterruptedRename(rename.oldPath, rename.newPath)
                              : fileSystem.RenameNoReplace(rename.oldPath, rename.newPath);
      if (!error.ok()) {
        // Only the lines of renames made stay, so Reset never moves a file this run did not.
        const ErrorCode cut = log_.StopAt(made);
        job_.ErrorDisp(error, Where(rename),
                       "cannot rename " + rename.oldPath + " to " + rename.newPath + ": " +
                           Reason(error));
        if (!cut.ok()) {
          job_.ErrorDisp(cut, log_.path(), "cannot cut the log back " + log_.path() + ": " +
                                               Reason(cut));
        }
        summary_.error = error;
        return false;
      }
      log_.RenameMade();
      made += LineSize(rename);
      ++summary_.renamed;
    }
    pending_.clear();
    lines_.clear();
    return true;
  }

 private:
  enum class Outcome { kKeeps, kPlanned, kTaken };

  struct Planned {
    std::string oldPath;
    std::string newPath;
    FileId id;      // the file `oldPath` named when its time was read
    bool leftover;  // `newPath` already names the file; only `oldPath` is left to remove
  };

  static std::string Where(const Planned& rename) { return rename.oldPath + "\r" + rename.newPath; }
  static std::uint64_t LineSize(const Planned& rename) {
    return rename.oldPath.size() + kLogSeparator.size() + rename.newPath.size() +
           kLogLineEnd.size();
  }

  // One candidate name: the file's own already, free (planned), or taken. `start` and
  // `distance` tell where counting up can resume once a name is found.
  Outcome Try(const std::string& folder, const std::string& name, std::string& oldPath,
              const FileId& id, const std::string& stamp, const std::string& ext, const std::string& unfinished,
              const std::optional<FolderNames::Counted>& start = std::nullopt,
              int distance = 0) {
    std::string newName = stamp + ext;
    if (names_.Same(newName, name)) {  // it already has its name, in this file system's eyes
      if (start) names_.SetResumeDistance(*start, distance + 1);
      return Outcome::kKeeps;
    }
    std::string newPath = folder + newName;
    const std::optional<bool> decided = names_.Decided(newName);
    bool leftover = false;
    if (decided ? *decided : job_.fileSystem_.FileExists(newPath)) {
      // Two names of one file are a rename by link and removal cut off only where the log of the
      // run that did not end records exactly that rename; otherwise the name is simply taken.
      leftover = !decided && newPath == unfinished &&
                 job_.fileSystem_.InterruptedRename(oldPath, newPath) !=
                     FileSystem::Interruption::kNone;
      if (!leftover) return Outcome::kTaken;
    }
    if (start) names_.SetResumeDistance(*start, distance + 1);
    Plan(name, std::move(oldPath), id, std::move(newName), std::move(newPath), leftover);
    return Outcome::kPlanned;
  }

  void Plan(std::string_view oldName, std::string oldPath, const FileId& id, std::string newName,
            std::string newPath, bool leftover) {
    names_.Free(oldName);
    names_.Take(std::move(newName));
    if (dryRun_) {
      job_.sink_.PlannedLine(oldPath + std::string(kLogSeparator) + newPath);
      ++summary_.renamed;
      return;
    }
    lines_ += oldPath;
    lines_ += kLogSeparator;
    lines_ += newPath;
    lines_ += kLogLineEnd;
    pending_.push_back(Planned{std::move(oldPath), std::move(newPath), id, leftover});
  }

  RenameJob& job_;
  const bool dryRun_;
  RunLog& log_;
  RunSummary& summary_;
  FolderNames names_;
  std::vector<Planned> pending_;
  std::string lines_;
  bool wrote_ = false;
};

RenameJob::RenameJob(FileSystem& fileSystem, EngineSink& sink)
    : fileSystem_(fileSystem), sink_(sink) {
  ClearCollection();
}

RenameJob::~RenameJob() = default;

const std::string& RenameJob::PathArray(int i) const { return folders_[files_[i].folder]; }

const std::string& RenameJob::NameArray(int i) const { return files_[i].name; }

void RenameJob::ClearCollection() {
  folders_.assign(1, std::string());
  files_.assign(1, CollectedFile{0, std::string()});
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
    ErrorDisp(attempt.error, "\r",  // as for a log that cannot be created
              "cannot lock " + AppPath + std::string(kLockFileName) + ": " + Reason(attempt.error));
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
  SepChar = options.separator ? std::string("_") : std::string();
  if (!SelectedPath.empty() && SelectedPath.back() != kPathSeparator) {
    SelectedPath += kPathSeparator;
  }
  std::string failedFolder;
  const ErrorCode error = RecurseTree(SelectedPath, &failedFolder);
  if (!error.ok()) {
    ErrorDisp(error, failedFolder, "cannot list the folder " + failedFolder + ": " + Reason(error));
    summary.error = error;
    return summary;
  }
  summary = ReName(mode);
  readAhead_.reset();
  return summary;
}

ResetSummary RenameJob::Reset() {
  ResetSummary summary;
  const std::string logPath = AppPath + std::string(kLogFileName);
  if (!fileSystem_.FileExists(logPath) &&
      !fileSystem_.FileExists(AppPath + std::string(kLogBackupFileName))) {
    return summary;
  }
  const std::unique_ptr<FileLock> lock = LockLog(&summary.error, true);
  if (!lock) return summary;
  auto fail = [&](ErrorCode error, const std::string& what) {
    ErrorDisp(error, logPath, what + " " + logPath + ": " + Reason(error));
    if (summary.error.ok()) summary.error = error;
    return summary;
  };
  ErrorCode error = RecoverLog(fileSystem_, AppPath);
  if (!error.ok()) return fail(error, "cannot put back the log");
  if (!fileSystem_.FileExists(logPath)) return summary;
  std::unique_ptr<FileReader> log;
  error = fileSystem_.OpenForReading(logPath, &log);
  if (!error.ok()) return fail(error, "cannot read the log");

  // Last rename first: a run may have given a later file the former name of an earlier one. The
  // lines that stay are kept as byte ranges of the log, last first; a kept line whose new name
  // this Reset then gives to another file is dropped again (`dropped`, last first).
  struct Range {
    std::uint64_t begin, end;  // end: after the line's CR LF
  };
  std::vector<Range> kept, dropped;
  FingerprintIndex keptByNewPath;
  std::set<std::string> restoredIn;
  std::string keptText;
  bool changed = false;
  auto keep = [&](const LogLine& line) {
    const std::uint64_t end = line.end + kLogLineEnd.size();
    if (!kept.empty() && kept.back().begin == end) {
      kept.back().begin = line.begin;
    } else {
      kept.push_back(Range{line.begin, end});
    }
  };

  // Marked while it renames, as a run is: a Reset cut off leaves the log marked as work that did
  // not end, and only then may an empty file beside a logged one be taken for a claim it made.
  // A mark that cannot be made costs only that: such a claim would then be reported and kept.
  const std::string markerPath = AppPath + std::string(kRunMarkerFileName);
  const bool unfinished = fileSystem_.FileExists(markerPath);
  if (!unfinished) {
    std::unique_ptr<TextFileWriter> marker;
    fileSystem_.CreateTextFile(markerPath, &marker);
  }

  ReverseLogReader lines(*log);
  const std::uint64_t logSize = log->Size();
  LogLine line;
  std::uint64_t handled = 0;
  while (lines.Previous(&line)) {
    // Lines go last first, so the bytes from this line to the end are the ones handled.
    if (++handled % kProgressStep == 0) {
      sink_.Progress(EngineSink::Phase::kResetting, logSize - line.begin, logSize);
    }
    std::string_view oldView, newView;
    std::string converted;
    if (line.tooLong || !SplitLogLine(LogLineAsUtf8(line.text, &converted), &oldView, &newView)) {
      keep(line);
      ++summary.damaged;
      continue;
    }
    const std::string oldPath(oldView), newPath(newView);
    if (!fileSystem_.FileExists(newPath)) {
      if (fileSystem_.FileExists(oldPath)) {
        ++summary.neverMade;  // the rename never happened
        changed = true;
      } else {
        ++summary.notFound;  // a card taken out, a folder moved: a later Reset may find it
        keptByNewPath.Insert(Fingerprint(newPath), PackLinePlace(line.begin, line.end));
        keep(line);
      }
      continue;
    }
    error = fileSystem_.RenameNoReplace(newPath, oldPath);
    if (error == kFileAlreadyExists) {
      // An empty file may be taken for a claim only where a run or Reset did not end: otherwise
      // it is the user's.
      using Cut = FileSystem::Interruption;
      const Cut back = fileSystem_.InterruptedRename(newPath, oldPath);  // a Reset's own
      if (back == Cut::kLinked || (back == Cut::kClaimed && unfinished)) {
        error = fileSystem_.FinishInterruptedRename(newPath, oldPath);
      } else if (unfinished && fileSystem_.InterruptedRename(oldPath, newPath) == Cut::kClaimed &&
                 fileSystem_.UndoInterruptedRename(oldPath, newPath).ok()) {
        ++summary.neverMade;  // cut off after its claim: the file never left its old name
        changed = true;
        continue;
      }
    }
    if (!error.ok()) {
      ++summary.failed;
      if (summary.error.ok()) summary.error = error;
      ErrorDisp(error, oldPath + "\r" + newPath,
                "cannot rename " + newPath + " back to " + oldPath + ": " + Reason(error));
      keep(line);  // its file holds the new name: no file can be given that name meanwhile
      continue;
    }
    ++summary.restored;
    changed = true;
    restoredIn.insert(std::string(FolderOf(oldView)));
    // A line kept above whose new name now holds the file just given back would, on a later
    // Reset, move this file away: it goes.
    keptByNewPath.ForEach(Fingerprint(oldPath), [&](std::uint64_t place) {
      std::string_view keptOld, keptNew;
      if (ReadLineAt(*log, place, &keptText).ok() &&
          SplitLogLine(keptText, &keptOld, &keptNew) && keptNew == oldPath) {
        const std::uint64_t begin = LinePlaceBegin(place);
        dropped.push_back(Range{begin, begin + keptText.size() + kLogLineEnd.size()});
        ++summary.forgotten;
        --summary.notFound;
      }
    });
  }
  if (!lines.error().ok()) return fail(lines.error(), "cannot read the log");
  sink_.Progress(EngineSink::Phase::kResetting, logSize, logSize);
  if (lines.CompleteSize() != logSize) changed = true;  // a torn last line goes
  // The names given back reach the disk before the lines that record them leave the log, so a
  // power cut can never leave a file at a name no line accounts for.
  for (const std::string& folder : restoredIn) {
    error = fileSystem_.SyncFolder(folder);
    if (!error.ok()) {
      ErrorDisp(error, folder, "cannot sync the folder " + folder + ": " + Reason(error));
      if (summary.error.ok()) summary.error = error;
      return summary;  // the log stays whole; a later Reset passes over what was restored
    }
  }
  if (changed) {
    std::unique_ptr<FileReplacement> remaining;
    error = fileSystem_.CreateReplacement(logPath, &remaining);
    std::reverse(kept.begin(), kept.end());
    std::sort(dropped.begin(), dropped.end(),
              [](const Range& a, const Range& b) { return a.begin < b.begin; });
    auto next = dropped.begin();
    for (const Range& range : kept) {
      std::uint64_t from = range.begin;
      for (; error.ok() && next != dropped.end() && next->begin < range.end; ++next) {
        error = CopyBytes(*log, from, next->begin, *remaining);
        from = next->end;
      }
      if (error.ok()) error = CopyBytes(*log, from, range.end, *remaining);
      if (!error.ok()) break;
    }
    log.reset();  // Windows replaces no file that is open
    if (error.ok()) error = remaining->Commit();
    if (!error.ok()) return fail(error, "cannot rewrite the log");
  }
  // The lines left are no longer those of work that did not end: the next run replaces them.
  error = fileSystem_.RemoveOwnFile(markerPath);
  if (error.ok()) error = fileSystem_.SyncFolder(AppPath);
  if (!error.ok()) return fail(error, "cannot remove the marker beside");
  return summary;
}

bool RenameJob::IsProtected(const std::string& folder, std::string_view name) const {
  if (SameFolded(folder, AppPath) &&
      SameFolded(name.substr(0, std::min(name.size(), kLogFilePrefix.size())), kLogFilePrefix)) {
    return true;
  }
  return std::any_of(ProtectedFiles.begin(), ProtectedFiles.end(), [&](const std::string& path) {
    return SameFolded(FolderOf(path), folder) && SameFolded(NameOf(path), name);
  });
}

ErrorCode RenameJob::RecurseTree(const std::string& CurrentPath, std::string* failedFolder) {
  protectedFolders_.assign(1, AppPath);
  for (const std::string& path : ProtectedFiles) protectedFolders_.emplace_back(FolderOf(path));
  std::vector<std::string> toVisit{CurrentPath};
  std::vector<FolderEntry> entries;
  std::uint64_t nextReport = kProgressStep;
  while (!toVisit.empty()) {
    std::string folder = std::move(toVisit.back());
    toVisit.pop_back();
    const ErrorCode error =
        fileSystem_.ListFolder(folder, FileSystem::ListMask::kFilesAndFolders, &entries);
    if (!error.ok()) {
      *failedFolder = std::move(folder);
      return error;
    }
    // Subfolders go on the stack last-first, so the first is visited next: a pre-order walk.
    const size_t firstSubfolder = toVisit.size();
    for (const FolderEntry& entry : entries) {
      if (entry.isFolder) toVisit.push_back(folder + entry.name + kPathSeparator);
    }
    std::reverse(toVisit.begin() + static_cast<std::ptrdiff_t>(firstSubfolder), toVisit.end());

    const bool holdsOwnFiles =
        std::any_of(protectedFolders_.begin(), protectedFolders_.end(),
                    [&](const std::string& own) { return SameFolded(own, folder); });
    const auto folderIndex = static_cast<std::uint32_t>(folders_.size());
    const size_t before = files_.size();
    for (FolderEntry& entry : entries) {
      if (entry.isFolder || (holdsOwnFiles && IsProtected(folder, entry.name))) continue;
      files_.push_back(CollectedFile{folderIndex, std::move(entry.name)});
    }
    if (files_.size() != before) folders_.push_back(std::move(folder));
    if (files_.size() - 1 >= nextReport) {
      sink_.Progress(EngineSink::Phase::kCollecting, files_.size() - 1, 0);
      nextReport = files_.size() - 1 + kProgressStep;
    }
  }
  return kSuccess;
}

ErrorCode RenameJob::GetFileTimeStrings(const std::string& FileName,
                                        std::string& FileTimeStrings, FileId* id, bool* taken) {
  FileTimes times;
  std::optional<LocalTime> captured;
  ErrorCode error;
  if (options.timeSource == TimeSource::kTaken && captureTimes) {
    // The capture time is read from the file opened here, and the file times come from it too.
    if (!readAhead_) readAhead_ = std::make_unique<CaptureReadAhead>(fileSystem_, *captureTimes,
                                                                     std::vector<std::string>());
    error = readAhead_->Read(FileName, &times, &captured);
  } else {
    error = fileSystem_.GetFileTimes(FileName, &times);
  }
  if (!error.ok()) return error;
  if (taken) *taken = captured.has_value();
  if (id) *id = times.id;
  const LocalTime& chosen = captured                                          ? *captured
                            : options.timeSource == TimeSource::kCreation ? times.creation
                                                                          : times.lastWrite;
  if (chosen.year < 0 || chosen.year > kLastYear) return kInvalidPropertyValue;
  FileTimeStrings = FormatStamp(chosen, SepChar);
  return kSuccess;
}

RunSummary RenameJob::ReName(RunMode mode) {
  RunSummary summary;
  RunLog log(fileSystem_, AppPath);
  const ErrorCode opened = log.Open(mode == RunMode::kDryRun);
  if (!opened.ok()) {
    ErrorDisp(opened, log.path(), "cannot read the log " + log.path() + ": " + Reason(opened));
    summary.error = opened;
    return summary;
  }

  Pass pass(*this, mode, log, summary, kStampDigits + 2 * SepChar.size());
  const bool allFiles = AllFilesChecked(options.extensions);
  const int count = FileCount();
  readAhead_.reset();
  if (options.timeSource == TimeSource::kTaken && captureTimes) {
    // A run that asked for capture times never quietly names files after their file times.
    std::string detail;
    const ErrorCode error = captureTimes->Start(&detail);
    if (!error.ok()) {
      ErrorReport report = MakeNoCaptureReaderReport(error);
      report.detail = std::move(detail);
      sink_.ShowError(report);
      summary.error = error;
      return summary;
    }
    readAhead_ = std::make_unique<CaptureReadAhead>(fileSystem_, *captureTimes, MatchingPaths());
  }
  std::string ext, stamp;
  std::uint32_t currentFolder = kNoFolder;
  for (int i = 1; i <= count; ++i) {
    if (static_cast<std::uint64_t>(i) % kProgressStep == 0) {
      sink_.Progress(EngineSink::Phase::kRenaming, static_cast<std::uint64_t>(i),
                     static_cast<std::uint64_t>(count));
    }
    const CollectedFile& file = files_[static_cast<size_t>(i)];
    const std::string& folder = folders_[file.folder];
    const std::string& name = file.name;
    if (!ActsOn(file, allFiles, ext)) continue;
    if (file.folder != currentFolder) {
      currentFolder = file.folder;
      // The folder's file system tells, by one of its names, whether case tells names apart.
      bool caseInsensitive = false;
      for (size_t k = static_cast<size_t>(i); k < files_.size() && files_[k].folder == file.folder;
           ++k) {
        if (!HasAsciiLetter(files_[k].name)) continue;
        caseInsensitive = fileSystem_.IsCaseInsensitiveFolder(folder, files_[k].name);
        break;
      }
      pass.EnterFolder(caseInsensitive);
    }
    std::string oldPath = folder + name;
    // The second name of a rename that a run which did not end left half made: a link goes with
    // its file, which the line's old path still names; an empty claim is taken away, and the file
    // is named anew from its own time.
    if (const std::string firstName = log.UnfinishedRenameTo(oldPath); !firstName.empty()) {
      const FileSystem::Interruption cut = fileSystem_.InterruptedRename(firstName, oldPath);
      if (cut == FileSystem::Interruption::kClaimed && mode == RunMode::kRename) {
        fileSystem_.UndoInterruptedRename(firstName, oldPath);
      }
      if (cut != FileSystem::Interruption::kNone) continue;
    }
    bool taken = false;
    FileId id;
    const ErrorCode timeError = GetFileTimeStrings(oldPath, stamp, &id, &taken);
    if (!timeError.ok()) {  // never named after another file's time
      ++summary.unreadable;
      sink_.TimeUnreadable(oldPath, timeError == kInvalidPropertyValue && timeError.system == 0
                                        ? "its year lies outside 0-9999"
                                        : Reason(timeError));
      continue;
    }
    if (options.timeSource == TimeSource::kTaken && !taken) ++summary.notTaken;
    pass.Decide(folder, name, std::move(oldPath), id, stamp, ext, options.countUp);
    if (pass.Full() && !pass.Flush()) return summary;
  }
  if (!pass.Flush()) return summary;
  if (mode == RunMode::kRename) {
    const ErrorCode ended = log.End();
    if (!ended.ok()) {
      ErrorDisp(ended, log.path(), "cannot finish the log " + log.path() + ": " + Reason(ended));
      summary.error = ended;
    }
  }
  sink_.Progress(EngineSink::Phase::kRenaming, static_cast<std::uint64_t>(count),
                 static_cast<std::uint64_t>(count));
  return summary;
}

bool RenameJob::ActsOn(const CollectedFile& file, bool allFiles, std::string& ext) const {
  bool match = allFiles;
  if (!match) CheckKakucyou(options.extensions, AsciiUpper(file.name), match, ext);
  // A path holding a line break could not be written to the log as one line.
  return match && FitsOnOneLine(folders_[file.folder]) && FitsOnOneLine(file.name);
}

std::vector<std::string> RenameJob::MatchingPaths() const {
  const bool allFiles = AllFilesChecked(options.extensions);
  std::vector<std::string> paths;
  std::string ext;
  for (size_t i = 1; i < files_.size(); ++i) {
    const CollectedFile& file = files_[i];
    if (ActsOn(file, allFiles, ext)) paths.push_back(folders_[file.folder] + file.name);
  }
  return paths;
}

void RenameJob::ErrorDisp(ErrorCode code, const std::string& Where, std::string detail) {
  ErrorReport report = MakeErrorReport(code, Where);
  report.detail = std::move(detail);
  sink_.ShowError(report);
}

}  // namespace tokiren
