// The rename job: collection, rename pass, log and error reporting.
#include "engine/engine.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "engine/stamp.h"

namespace tokiren {
namespace {

// A taken name is counted up at most this often: the five-digit counter has no more values.
constexpr int kMaxCountUps = 100000;
// Log lines written and synced together, before any of their renames is made.
constexpr size_t kRenamesPerSync = 4096;
// Files between two progress reports.
constexpr std::uint64_t kProgressStep = 4096;

constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();

// A path holding a line break cannot be written to the log as one line.
bool FitsOnOneLine(std::string_view text) { return text.find_first_of("\r\n") == text.npos; }

}  // namespace

// One pass of renames: the existence test against the folder as it will stand once the renames
// decided so far are made, and the renames waiting for their log lines to reach the disk.
class RenameJob::Pass {
 public:
  Pass(RenameJob& job, RunMode mode, RunSummary& summary)
      : job_(job), dryRun_(mode == RunMode::kDryRun), summary_(summary) {}

  // Starts on the files of another folder.
  void EnterFolder() { known_.clear(); }

  // True when `name` (full path `path`) is taken.
  bool Exists(const std::string& name, const std::string& path) {
    const auto it = known_.find(name);
    return it != known_.end() ? it->second : job_.fileSystem_.FileExists(path);
  }

  // True when `name` was taken on the disk before this pass touched it.
  bool TakenOnDisk(const std::string& name) const { return !known_.contains(name); }

  void Plan(std::string oldPath, std::string newPath, const std::string& oldName,
            const std::string& newName, bool leftover) {
    known_[oldName] = false;
    known_[newName] = true;
    if (dryRun_) {
      job_.sink_.PlannedLine(oldPath + std::string(kLogSeparator) + newPath);
      ++summary_.renamed;
      return;
    }
    lines_ += oldPath;
    lines_ += kLogSeparator;
    lines_ += newPath;
    lines_ += kLogLineEnd;
    pending_.push_back(Planned{std::move(oldPath), std::move(newPath), leftover});
  }

  bool Full() const { return pending_.size() >= kRenamesPerSync; }

  // Puts the waiting lines on the disk, then makes their renames. False once an error was shown.
  bool Flush() {
    if (pending_.empty()) return true;
    ErrorCode error = job_.log_->Append(lines_);
    if (error.ok()) error = job_.log_->Sync();
    if (!error.ok()) return Fail(error, pending_.front());
    FileSystem& fileSystem = job_.fileSystem_;
    for (const Planned& rename : pending_) {
      error = rename.leftover ? fileSystem.FinishInterruptedRename(rename.oldPath, rename.newPath)
                              : fileSystem.RenameNoReplace(rename.oldPath, rename.newPath);
      if (!error.ok()) return Fail(error, rename);
      ++summary_.renamed;
    }
    pending_.clear();
    lines_.clear();
    return true;
  }

 private:
  struct Planned {
    std::string oldPath;
    std::string newPath;
    bool leftover;  // `newPath` already names the file; only `oldPath` is left to remove
  };

  bool Fail(ErrorCode error, const Planned& rename) {
    job_.ErrorDisp(error, rename.oldPath + "\r" + rename.newPath);
    summary_.error = error;
    return false;
  }

  RenameJob& job_;
  const bool dryRun_;
  RunSummary& summary_;
  std::unordered_map<std::string, bool> known_;  // names whose state this pass decided
  std::vector<Planned> pending_;
  std::string lines_;
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

std::unique_ptr<FileLock> RenameJob::LockLog(ErrorCode* error) {
  FileSystem::LockAttempt attempt = fileSystem_.TryLock(AppPath + std::string(kLockFileName));
  if (attempt.heldElsewhere) {
    const ErrorReport busy = MakeBusyReport(AppPath + std::string(kLogFileName));
    *error = busy.code;
    sink_.ShowError(busy);
  } else if (!attempt.error.ok()) {
    *error = attempt.error;
    ErrorDisp(attempt.error, "\r");  // as for a log that cannot be created
  }
  return std::move(attempt.lock);
}

RunSummary RenameJob::Run(RunMode mode) {
  RunSummary summary;
  std::unique_ptr<FileLock> lock;
  if (mode == RunMode::kRename) {
    lock = LockLog(&summary.error);
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
    ErrorDisp(error, failedFolder);
    summary.error = error;
    return summary;
  }
  return ReName(mode);
}

ResetSummary RenameJob::Reset() {
  ResetSummary summary;
  const std::string logPath = AppPath + std::string(kLogFileName);
  if (!fileSystem_.FileExists(logPath)) return summary;
  const std::unique_ptr<FileLock> lock = LockLog(&summary.error);
  if (!lock) return summary;
  std::string contents;
  ErrorCode error = fileSystem_.ReadTextFile(logPath, &contents);
  if (!error.ok()) {
    ErrorDisp(error, logPath);
    summary.error = error;
    return summary;
  }
  contents = LogTextAsUtf8(std::move(contents));

  // Last rename first: a run may have given a later file the former name of an earlier one.
  const std::vector<std::string_view> lines = CompleteLogLines(contents);
  std::vector<bool> keep(lines.size(), false);
  std::unordered_set<std::string_view> restoredIn;  // folders, as views into `contents`
  for (size_t k = lines.size(); k-- > 0;) {
    std::string_view oldView, newView;
    if (!SplitLogLine(lines[k], &oldView, &newView)) {
      keep[k] = true;
      ++summary.damaged;
      continue;
    }
    const std::string oldPath(oldView), newPath(newView);
    if (!fileSystem_.FileExists(newPath)) {
      ++summary.skipped;
      continue;
    }
    error = fileSystem_.RenameNoReplace(newPath, oldPath);
    if (error == kFileAlreadyExists && fileSystem_.IsInterruptedRename(newPath, oldPath)) {
      error = fileSystem_.FinishInterruptedRename(newPath, oldPath);
    }
    if (error.ok()) {
      ++summary.restored;
      restoredIn.insert(FolderOf(oldView));
      continue;
    }
    keep[k] = true;
    ++summary.failed;
    if (summary.error.ok()) summary.error = error;
    ErrorDisp(error, oldPath + "\r" + newPath);
  }

  std::string remaining;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (!keep[k]) continue;
    remaining += lines[k];
    remaining += kLogLineEnd;
  }
  if (remaining == contents) return summary;
  // The names given back reach the disk before the lines that record them leave the log, so a
  // power cut can never leave a file at a name no line accounts for.
  for (const std::string_view folder : restoredIn) {
    error = fileSystem_.SyncFolder(std::string(folder));
    if (!error.ok()) {
      ErrorDisp(error, std::string(folder));
      if (summary.error.ok()) summary.error = error;
      return summary;  // the log stays whole; a later Reset skips what was restored
    }
  }
  error = fileSystem_.ReplaceTextFile(logPath, remaining);
  if (!error.ok()) {
    ErrorDisp(error, logPath);
    if (summary.error.ok()) summary.error = error;
  }
  return summary;
}

ErrorCode RenameJob::RecurseTree(const std::string& CurrentPath, std::string* failedFolder) {
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

    const auto folderIndex = static_cast<std::uint32_t>(folders_.size());
    const size_t before = files_.size();
    for (FolderEntry& entry : entries) {
      if (!entry.isFolder) files_.push_back(CollectedFile{folderIndex, std::move(entry.name)});
    }
    if (files_.size() != before) folders_.push_back(std::move(folder));
    if (files_.size() - 1 >= nextReport) {
      sink_.Progress(EngineSink::Phase::kCollecting, files_.size() - 1, 0);
      nextReport = files_.size() - 1 + kProgressStep;
    }
  }
  return kSuccess;
}

bool RenameJob::GetFileTimeStrings(const std::string& FileName, std::string& FileTimeStrings) {
  FileTimes times;
  if (!fileSystem_.GetFileTimes(FileName, &times).ok()) return false;
  const LocalTime& chosen =
      options.timeSource == TimeSource::kLastWrite ? times.lastWrite : times.creation;
  FileTimeStrings = FormatStamp(chosen, SepChar);
  return true;
}

RunSummary RenameJob::ReName(RunMode mode) {
  RunSummary summary;
  if (mode == RunMode::kRename) {
    const ErrorCode error =
        fileSystem_.CreateTextFile(AppPath + std::string(kLogFileName), &log_);
    if (!error.ok()) {
      ErrorDisp(error, "\r");
      summary.error = error;
      return summary;
    }
  }

  Pass pass(*this, mode, summary);
  const bool allFiles = AllFilesChecked(options.extensions);
  const int count = FileCount();
  std::string ext, stamp;
  std::uint32_t currentFolder = kNoFolder;
  bool folderFitsLog = true;
  for (int i = 1; i <= count; ++i) {
    if (static_cast<std::uint64_t>(i) % kProgressStep == 0) {
      sink_.Progress(EngineSink::Phase::kRenaming, static_cast<std::uint64_t>(i),
                     static_cast<std::uint64_t>(count));
    }
    const CollectedFile& file = files_[static_cast<size_t>(i)];
    const std::string& folder = folders_[file.folder];
    const std::string& name = file.name;
    bool match = allFiles;
    if (!match) CheckKakucyou(options.extensions, AsciiUpper(name), match, ext);
    if (!match) continue;
    if (file.folder != currentFolder) {
      currentFolder = file.folder;
      folderFitsLog = FitsOnOneLine(folder);
      pass.EnterFolder();
    }
    if (!folderFitsLog || !FitsOnOneLine(name)) continue;  // the log could not hold its line
    std::string oldPath = folder + name;
    if (!GetFileTimeStrings(oldPath, stamp)) continue;  // never named after another file's time

    for (int tries = 1;; ++tries) {
      std::string newName = stamp + ext;
      if (newName == name) break;  // it already has its name
      std::string newPath = folder + newName;
      if (!pass.Exists(newName, newPath)) {
        pass.Plan(std::move(oldPath), std::move(newPath), name, newName, false);
        break;
      }
      if (pass.TakenOnDisk(newName) && fileSystem_.IsInterruptedRename(oldPath, newPath)) {
        pass.Plan(std::move(oldPath), std::move(newPath), name, newName, true);
        break;
      }
      if (!options.countUp || tries == kMaxCountUps) break;  // left alone
      PlusOne(stamp);
    }
    if (pass.Full() && !pass.Flush()) return summary;
  }
  if (!pass.Flush()) return summary;
  log_.reset();
  sink_.Progress(EngineSink::Phase::kRenaming, static_cast<std::uint64_t>(count),
                 static_cast<std::uint64_t>(count));
  return summary;
}

void RenameJob::ErrorDisp(ErrorCode code, const std::string& Where) {
  log_.reset();
  sink_.ShowError(MakeErrorReport(code, Where));
}

}  // namespace tokiren
