// The rename job: its state, the collection of a folder tree, the rename pass with its log, and
// the error reporting. The front ends hand it the run's options and a sink; it reads no widgets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/capture_time.h"
#include "engine/extensions.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "platform/file_system.h"

namespace tokiren {

class CaptureReadAhead;
class Collection;
struct FileStamp;
class TimeReadAhead;

// kTaken: the moment the photo or video was taken, from its metadata (see CaptureTimeReader);
// a file without one gets its last-write time.
enum class TimeSource { kLastWrite, kCreation, kTaken };

// The choices of one run, as the options panel and the extension list hold them.
struct RunOptions {
  bool separator = false;                    // "separater": "_" inside the stamp
  bool countUp = true;                       // "Same > +1": count a taken name up
  TimeSource timeSource = TimeSource::kLastWrite;
  std::int64_t clockShift = 0;               // seconds added to every time (ParseClockShift)
  bool companions = false;                   // files of one folder sharing a name up to its last
                                             // dot (and sidecars named after a whole name) are
                                             // renamed together, under one stamp
  std::vector<ExtensionEntry> extensions;    // the list in list order, with check marks
};

enum class RunMode {
  kRename,  // rename and log
  kDryRun,  // work out every rename exactly as kRename would, and touch nothing
};

// What became of one file the run acts on (a checked entry matches its name).
enum class FileOutcome : std::uint8_t {
  kRenamed,         // renamed (in a dry run: would be)
  kAlreadyNamed,    // it has its name already
  kNameTaken,       // left alone: its name is taken and counting up is off (or every count is)
  kTimeUnreadable,  // left alone: its time cannot be read, or its year lies outside 0-9999
  kChanged,         // left alone: replaced or changed after its time was read
  kNotOnOneLine,    // left alone: its path holds a line break, which one log line cannot hold
  kWithGroup,       // left alone with its companions: another of them could not be renamed
};
inline constexpr int kFileOutcomes = 7;

// One file's outcome, as the sink is told it. The views are valid during the call only.
struct FileReport {
  std::string_view folder;   // ends with kPathSeparator
  std::string_view name;     // its name before the run
  FileOutcome outcome = FileOutcome::kRenamed;
  std::string_view newName;  // kRenamed: its new name, in `folder`
  std::string_view reason;   // kTimeUnreadable, kChanged: why, in the system's words
  bool noCaptureTime = false;  // a Taken run named it after its last-write time, lacking one
  // With companions: the members of one group share a number (counting from 1, in the run's
  // order) and are told one after another; 0 for a file alone.
  std::uint32_t group = 0;
};

// Where the engine's reports go. The window shows message boxes and a progress display; the
// command line prints.
class EngineSink {
 public:
  enum class Phase {
    kCollecting,  // a run: files collected so far, of an unknown total (0)
    kRenaming,    // a run: files handled, of the files it acts on
    kResetting,   // a Reset: bytes of the log handled (it is read from its end), of its size
  };

  virtual ~EngineSink() = default;
  // One error, shown as one message box with the warning icon.
  virtual void ShowError(const ErrorReport& report) = 0;
  // Now and then during a run or Reset: `done` of `total`, in the phase's units (files for a
  // run, bytes of the log for a Reset, so only the fraction means anything to a person). `done`
  // never falls within a phase; a Reset that reads its whole log ends with `done` at `total`.
  virtual void Progress(Phase phase, std::uint64_t done, std::uint64_t total) {
    (void)phase, (void)done, (void)total;
  }
  // A dry run's log lines, in order, each without its line end.
  virtual void PlannedLine(std::string_view line) { (void)line; }
  // A Reset found the file of a log line at neither of its names; the line stays for a later
  // Reset.
  virtual void LineNotFound(std::string_view oldPath, std::string_view newPath) {
    (void)oldPath, (void)newPath;
  }
  // Every file the run acts on, once, in the run's order, when its outcome is final: a rename
  // once it is made (in a dry run, once it is planned).
  virtual void FileDone(const FileReport& file) { (void)file; }
  // Asked between files of a dry run: true ends it where it stands (RunSummary::cancelled).
  virtual bool Cancelled() { return false; }
};

// How many files had each outcome.
struct RunSummary {
  std::uint64_t renamed = 0;       // kRenamed: renames made (planned, in a dry run)
  std::uint64_t alreadyNamed = 0;  // kAlreadyNamed
  std::uint64_t nameTaken = 0;     // kNameTaken
  std::uint64_t unreadable = 0;    // kTimeUnreadable and kChanged
  std::uint64_t notOnOneLine = 0;  // kNotOnOneLine
  std::uint64_t withGroup = 0;     // kWithGroup
  std::uint64_t notTaken = 0;      // of the renamed: named after their last-write time, having no
                                   // capture time
  ErrorCode error;                 // the failure that ended the run, if one did
  bool cancelled = false;          // a dry run the sink cancelled

  // Counts `outcome` once.
  void Count(FileOutcome outcome);
};

struct ResetSummary {
  std::uint64_t restored = 0;   // files given their former names back
  std::uint64_t failed = 0;     // renames back that failed, each one reported; their lines stay
  std::uint64_t notFound = 0;   // lines whose file is at neither name; their lines stay
  std::uint64_t neverMade = 0;  // lines whose file still has its old name; dropped
  std::uint64_t forgotten = 0;  // lines kept until this Reset gave their new name to another file
  std::uint64_t damaged = 0;    // lines that do not split into two paths of one folder; they stay
  ErrorCode error;              // the first failure, if any
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
  // Full paths of files a run never renames, whatever is checked: the settings files and the
  // program's executables. The log's own files in AppPath (kLogFilePrefix) are always left alone.
  std::vector<std::string> ProtectedFiles;
  // Reads capture times for TimeSource::kTaken; without one, kTaken uses the last-write time. A
  // kTaken run whose reader cannot start is refused before anything is renamed.
  CaptureTimeReader* captureTimes = nullptr;
  // How many calls on the user's files a run (its time reads and renames) and a Reset (its renames
  // back) have on their way at once: 1 one after another; 0 the default, kDefaultJobs on a file system whose
  // first calls are slow (a share), else one after another. What a run or Reset does is the same
  // whatever the number: only when the calls are made changes.
  int jobs = 0;

  // The collection, 1-based: entry i is the file PathArray(i) + NameArray(i); index 0 holds "".
  const std::string& PathArray(int i) const;
  const std::string& NameArray(int i) const;
  int FileCount() const;

  // Clears the collection, takes the separator from the options, collects SelectedPath's tree and
  // renames. A folder that cannot be listed is reported and ends the run before anything is
  // renamed. While a run renames, it holds the log's lock: a run or Reset started meanwhile (by
  // this or another process) is refused with kBusyText.
  //
  // The log: the last run's log stays until this run's first rename is about to be made, so a run
  // that renames nothing keeps the way back. The lines of a run that never ended (killed, or cut
  // off by a power cut) stay ahead of this run's, so one Reset undoes both. A run that stops on a
  // failed rename keeps only the lines of the renames it made, on the disk before it reports.
  RunSummary Run(RunMode mode = RunMode::kRename);

  // Renames the files of the last run back, from the log in AppPath, last rename first. No log:
  // nothing happens and nothing is shown. A rename back never replaces anything; one that fails
  // is reported and the next line tried. Afterwards the log holds every line that could not be
  // restored (failed, not found at either name, or damaged), so a later Reset, with a card put
  // back say, can still restore them; lines whose file still has its old name are dropped, as are
  // kept lines whose new name this Reset gave to another file (a later Reset would move that one).
  ResetSummary Reset();

  // Empties the collection.
  void ClearCollection();

  // Appends every ordinary file of CurrentPath and of every folder below it: the files of a folder
  // first (in listing order), then each subfolder's tree in listing order. Walks with a stack of
  // its own, so any depth of tree is fine. The program's own files (ProtectedFiles, and the log's
  // in AppPath) are left out. Stops at the first folder that cannot be listed and returns its
  // code; `failedFolder` names it.
  ErrorCode RecurseTree(const std::string& CurrentPath, std::string* failedFolder);

 private:
  // Takes the log's lock; reports and returns null when it cannot, or when others may change the
  // log's folder, the lock or (when the job `readsLog`) the log.
  std::unique_ptr<FileLock> LockLog(ErrorCode* error, bool readsLog);

  // The rename pass over the collection (see Run); only ever with the lock held.
  RunSummary ReName(RunMode mode);

  // With TimeSource::kTaken and a reader: starts the reader, before anything is touched. A reader
  // that cannot start is reported.
  ErrorCode StartCaptureTimes();

  // Without capture times: reads the times of collected files `files` (in the pass's order) ahead
  // of the pass, as `jobs` says.
  void StartTimeReadAhead(const std::vector<std::uint32_t>& files);

  // The stamp of FileName from the chosen time, shifted by the options' offset, with the
  // identity of the file the time was read from; or why there is none (FileTimeStrings is then
  // left alone): the time cannot be read, or its year lies outside 0-9999 (kInvalidPropertyValue).
  ErrorCode GetFileTimeStrings(const std::string& FileName, FileStamp* FileTimeStrings);

  // Shows one failure.
  void ErrorDisp(const ErrorReport& report);

  FileSystem& fileSystem_;
  EngineSink& sink_;
  std::unique_ptr<Collection> collection_;
  std::unique_ptr<CaptureReadAhead> readAhead_;  // a kTaken run's files, opened ahead
  std::unique_ptr<TimeReadAhead> timesAhead_;    // the other runs' file times, read ahead
};

}  // namespace tokiren
