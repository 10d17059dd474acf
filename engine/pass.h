// The rename pass of a run over its collection: every file it acts on, alone or with its
// companions, planned against its folder's names, then renamed behind its log line (in a dry run,
// told).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/apply.h"
#include "engine/collection.h"
#include "engine/engine.h"
#include "engine/plan.h"
#include "engine/run_log.h"

namespace tokiren {

// A file's stamp from the time the run chose, with what its reading told besides.
struct FileStamp {
  std::string text;
  FileId id;                  // the file the time was read from
  bool noCaptureTime = false;  // a run reading capture times found none: the last-write time
  std::optional<std::uint32_t> nanosecond;  // of its capture time, where the file tells
};

// The stamp of the file at a path, or why there is none.
using StampReader = std::function<ErrorCode(const std::string& path, FileStamp* stamp)>;

class FolderView;

class RunPass {
 public:
  // The files are planned folder by folder, all of a folder's times read first, when companions
  // are on or `burstOrder` (capture times, whose fractions order a burst); otherwise file by
  // file as they come. `jobs`: how many renames may be on their way at once, as RenameJob::jobs.
  RunPass(FileSystem& fileSystem, EngineSink& sink, const Collection& collection,
          const RunOptions& options, const OwnFiles& own, RunLog& log, bool dryRun,
          bool burstOrder, RunSummary& summary, int jobs);
  ~RunPass();

  // Finds the files the run acts on (and their companions); returns those whose times will be
  // read (the files acted on that one log line can hold), in the order they will be.
  std::vector<std::uint32_t> Prepare();

  // Plans and renames. False when a failure, already shown, ended the run (summary.error says
  // which) or the sink cancelled a dry run.
  bool Run(const StampReader& readStamp);

 private:
  // One file, or a group of companions, planned as one.
  struct Member {
    std::uint32_t file;     // in the collection
    std::uint32_t anchor;   // kSharedStamp, or the member (in its unit) whose new name it follows
    std::uint32_t ownPart;  // where its own part begins in its name
    bool acts;              // a checked entry matches it
  };
  struct Unit {
    std::uint32_t first;  // into members_
    std::uint32_t count;
  };
  struct Read {
    ErrorCode error;
    FileStamp stamp;
  };

  void PrepareFolder(std::uint32_t begin, std::uint32_t end);
  // The name a file's companions are found by, and its own part taken from.
  std::string GroupingName(std::uint32_t file);
  bool RunFileByFile(const StampReader& readStamp);
  bool RunByFolder(const StampReader& readStamp);
  void EnterFolder(std::uint32_t file);
  // Whether one log line can hold the file's path.
  bool Fits(std::uint32_t file) const;
  // Whether the sink ended a dry run here (noted in the summary).
  bool CancelledNow();
  // Puts units [begin, end) of one folder in shooting order: the units of one second take the
  // places they had among the rest, ordered by the fraction of their earliest time.
  std::vector<std::uint32_t> BurstOrder(std::uint32_t begin, std::uint32_t end) const;
  // The member whose time names unit `u`: the earliest of those it acts on. Nothing when one of
  // them has no time, which leaves the unit alone.
  std::optional<std::uint32_t> Earliest(const Unit& unit) const;
  bool Alone(std::uint32_t file, const Read& read);
  bool Together(const Unit& unit, std::uint32_t group);
  bool Stop(const std::vector<ErrorReport>& failures);
  void Tell(std::uint32_t file, FileOutcome outcome, std::string_view reason = {},
            std::uint32_t group = 0, std::string_view newName = {}, bool noCaptureTime = false);
  void Progress();

  FileSystem& fileSystem_;
  EngineSink& sink_;
  const Collection& collection_;
  const RunOptions& options_;
  RunLog& log_;
  const bool dryRun_;
  const bool byFolder_;
  const bool burstOrder_;
  RunSummary& summary_;
  const Matcher matcher_;
  std::unique_ptr<FolderView> view_;
  Planner planner_;
  Applier applier_;

  std::vector<std::uint32_t> matching_;  // file by file
  std::vector<Member> members_;          // folder by folder
  std::vector<Unit> units_;
  std::vector<Read> reads_;              // of the folder's members, from readsFirst_ on
  std::uint32_t readsFirst_ = 0;
  std::uint32_t groups_ = 0;             // numbered so far
  std::uint64_t actsOn_ = 0;
  std::uint64_t done_ = 0;
};

}  // namespace tokiren
