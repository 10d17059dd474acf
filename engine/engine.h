// The rename job: its state, the collection of a folder tree, the rename pass with its log, and
// the error reporting. The front ends hand it the run's options and a sink; it reads no widgets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extensions.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "platform/file_system.h"

namespace tokiren {

enum class TimeSource { kLastWrite, kCreation };

// The choices of one run, as the options panel and the extension list hold them.
struct RunOptions {
  bool separator = false;                    // "separater": "_" inside the stamp
  bool countUp = true;                       // "Same > +1": count a taken name up
  TimeSource timeSource = TimeSource::kLastWrite;
  std::vector<ExtensionEntry> extensions;    // the list in list order, with check marks
};

enum class RunMode {
  kRename,  // rename and log
  kDryRun,  // work out every rename exactly as kRename would, and touch nothing
};

// Where the engine's reports go. The window shows message boxes and a progress display; the
// command line prints.
class EngineSink {
 public:
  enum class Phase { kCollecting, kRenaming };

  virtual ~EngineSink() = default;
  // One error, shown as one message box with the warning icon.
  virtual void ShowError(const ErrorReport& report) = 0;
  // Now and then during a run: files collected so far (total 0), then files handled of the total.
  virtual void Progress(Phase phase, std::uint64_t done, std::uint64_t total) {
    (void)phase, (void)done, (void)total;
  }
  // A dry run's log lines, in order, each without its line end.
  virtual void PlannedLine(std::string_view line) { (void)line; }
};

struct RunSummary {
  std::uint64_t renamed = 0;   // renames made (planned, in a dry run)
  ErrorCode error;             // the failure that ended the run, if one did
};

struct ResetSummary {
  std::uint64_t restored = 0;  // files given their former names back
  std::uint64_t failed = 0;    // renames back that failed, each one reported
  std::uint64_t skipped = 0;   // lines whose file is no longer at its new name
  std::uint64_t damaged = 0;   // lines that do not split into two paths of one folder
  ErrorCode error;             // the first failure, if any
};

class RenameJob {
 public:
  RenameJob(FileSystem& fileSystem, EngineSink& sink);
  ~RenameJob();

  // The job state. SelectedPath and AppPath are folders ending with kPathSeparator.
  std::string SelectedPath;
  std::string AppPath;  // holds the log
  std::string SepChar;  // "_" or "", taken from the options at the start of every run
  RunOptions options;

  // The collection, 1-based: entry i is the file PathArray(i) + NameArray(i); index 0 holds "".
  const std::string& PathArray(int i) const;
  const std::string& NameArray(int i) const;
  int FileCount() const { return static_cast<int>(files_.size()) - 1; }

  // Clears the collection, takes the separator from the options, collects SelectedPath's tree and
  // renames. A folder that cannot be listed is reported and ends the run before anything is
  // renamed. While a run renames, it holds the log's lock: a run or Reset started meanwhile (by
  // this or another process) is refused with kBusyText.
  RunSummary Run(RunMode mode = RunMode::kRename);

  // Renames the files of the last run back, from the log in AppPath, last rename first. No log:
  // nothing happens and nothing is shown. A line whose file is no longer at its new name is
  // skipped; a rename back never replaces anything, and one that fails is reported and the next
  // line tried. Afterwards the log holds only the lines that could not be restored (failed or
  // damaged), so a second Reset does nothing and a later one retries only what failed.
  ResetSummary Reset();

  // Empties the collection.
  void ClearCollection();

  // Appends every ordinary file of CurrentPath and of every folder below it: the files of a folder
  // first (in listing order), then each subfolder's tree in listing order. Walks with a stack of
  // its own, so any depth of tree is fine. Stops at the first folder that cannot be listed and
  // returns its code; `failedFolder` names it.
  ErrorCode RecurseTree(const std::string& CurrentPath, std::string* failedFolder);

  // The rename pass over the collection (see Run).
  RunSummary ReName(RunMode mode);

  // The stamp of FileName from the chosen time. False, leaving FileTimeStrings alone, when the time
  // cannot be read: the caller then skips the file.
  bool GetFileTimeStrings(const std::string& FileName, std::string& FileTimeStrings);

  // Closes the log and shows `code`'s message with `Where`.
  void ErrorDisp(ErrorCode code, const std::string& Where);

 private:
  struct CollectedFile {
    std::uint32_t folder;  // index into folders_
    std::string name;
  };
  class Pass;

  // Takes the log's lock; reports and returns null when it cannot.
  std::unique_ptr<FileLock> LockLog(ErrorCode* error);

  FileSystem& fileSystem_;
  EngineSink& sink_;
  std::vector<std::string> folders_;
  std::vector<CollectedFile> files_;
  std::unique_ptr<TextFileWriter> log_;
};

}  // namespace tokiren
