// The renames of a run made on the disk: their log lines written and synced in batches before any
// of them is made, each made the platform's way, and the log cut back to the renames made when
// one fails. On a slow file system (a share) the renames of a batch are made by several threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/ordered_work.h"
#include "engine/run_log.h"
#include "engine/time_read_ahead.h"

namespace tokiren {

class Applier {
 public:
  // Each rename made is counted in `summary` and told to `sink`. `jobs`: as RenameJob::jobs.
  Applier(FileSystem& fileSystem, RunLog& log, EngineSink& sink, RunSummary& summary, int jobs);
  ~Applier();
  Applier(const Applier&) = delete;
  Applier& operator=(const Applier&) = delete;

  // Whether `path` is the second name of a rename that a run which did not end left half made:
  // a link goes with its file, which the line's old path still names; an empty claim is taken
  // away (unless `changeNothing`), and its file is named anew from its own time. Either way the
  // run passes over `path`.
  bool IsCutOffSecondName(const std::string& path, bool changeNothing);

  // A rename to be made, of the file `id` (whose time made the new name). `leftover`: the new
  // name already names the file, only the old one is left to remove.
  // Renames of one `group` of companions (0: a file alone) are added one after another, in one
  // batch (see Fits), and are made all or none.
  void Add(std::string oldPath, std::string newPath, const FileId& id, bool leftover,
           bool noCaptureTime, std::uint32_t group = 0);
  bool Full() const { return pending_.size() >= BatchSize(); }
  // Whether `renames` more go into this batch.
  bool Fits(std::size_t renames) const {
    return pending_.empty() || pending_.size() + renames <= BatchSize();
  }

  // Puts the waiting lines on the disk, then makes their renames. A group one member of which was
  // replaced since its time was read is left alone whole, its lines withdrawn. A failure ends the
  // run: a group whose rename failed is renamed back first, the log then keeps only the lines of
  // the renames made, and the failure comes back (with more when a rename back or the cut-back
  // of the log fails).
  // Made by several threads, a unit (a file alone, or a group) starts once every earlier unit that
  // may name one of its entries is done, and outcomes are told in the batch's order, so the log
  // and the sink learn what one thread would have told them. Only on a failure may units after
  // the failing one have been renamed: they are told, and keep their lines. The lines of a group
  // found replaced there leave the log at the batch's end, cut off when no rename made follows
  // them, else the log replaced whole, as renames after it may stand.
  std::vector<ErrorReport> Flush();

 private:
  // Log lines written and synced together.
  static constexpr std::size_t kRenamesPerBatch = 4096;
  // The same after the first batch, once its renames went to several threads. A batch ends only
  // when the last renames of its fullest folder end, made one at a time by the kernel while the
  // other threads wait: larger batches leave fewer such ends. A batch fits into the threads'
  // window whole.
  static constexpr std::size_t kRenamesPerBatchTogether = OrderedWork::kWindow;
  std::size_t BatchSize() const { return work_ ? kRenamesPerBatchTogether : kRenamesPerBatch; }

  struct Pending {
    std::string oldPath;
    std::string newPath;
    FileId id;  // the file `oldPath` named when its time was read
    bool leftover;
    bool noCaptureTime;
    std::uint32_t group;
  };

  // A file alone or a group: pending_[begin, end), its lines at [lineBegin, lineEnd) of lines_.
  struct Unit {
    std::size_t begin, end;
    std::uint64_t lineBegin, lineEnd;
  };
  // What became of a unit.
  struct Made {
    enum class Kind {
      kNotMade,  // not (yet) renamed
      kMade,
      kChanged,  // a member was replaced since its time was read: left alone
      kFailed,   // a rename failed: the run stops
    };
    Kind kind = Kind::kNotMade;
    std::size_t at = 0;       // kChanged, kFailed: the member replaced, or whose rename failed
    std::size_t renamed = 0;  // kFailed: pending_[begin, renamed) stand under their new names,
                              // [renamed, at) were taken back
    std::vector<ErrorReport> failures;
  };
  // The batch's units, and where making and telling them stands.
  struct Batch;

  std::vector<Unit> Units() const;
  // Whether a member of the unit was replaced (kChanged), else kNotMade.
  Made Check(const Unit& unit) const;
  // Makes the unit's renames; a failing rename takes back those of its group.
  Made Rename(const Unit& unit) const;
  // Check and Rename make only calls on the user's files: they may run on any thread.

  // The rest of the batch on several threads, each unit checked just before its renames. The
  // lines of units found replaced leave the log once the batch ends.
  std::vector<ErrorReport> MakeTogether(Batch& batch);
  // The lines of units [from, to) made.
  std::string LinesMade(const Batch& batch, std::size_t from, std::size_t to) const;
  // Tells the next unit's outcome, in the batch's order, to the log and the sink. A failure ends
  // the batch (StopAfter).
  std::vector<ErrorReport> Settle(Batch& batch);
  // The run stops before the next unit to tell: no more units start, those made meanwhile are
  // told, and the log keeps exactly the lines of the renames that stand.
  std::vector<ErrorReport> StopAfter(Batch& batch, std::vector<ErrorReport> failures);
  void TellMade(const Unit& unit);
  void TellChanged(const Unit& unit, std::size_t changed);
  std::uint64_t LineBytes(std::size_t k) const;

  static FileReport Report(const Pending& rename, FileOutcome outcome);
  static std::string Where(const Pending& rename) {
    return rename.oldPath + "\r" + rename.newPath;
  }

  FileSystem& fileSystem_;
  RunLog& log_;
  EngineSink& sink_;
  RunSummary& summary_;
  const int jobs_;
  SlowCallProbe probe_;  // while jobs_ is 0: whether the renames are slow
  std::vector<Pending> pending_;
  std::string lines_;
  bool wrote_ = false;
  std::unique_ptr<OrderedWork> work_;  // once renames go to several threads
};

}  // namespace tokiren
