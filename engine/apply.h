// The renames of a run made on the disk: their log lines written and synced in batches before any
// of them is made, each made the platform's way, and the log cut back to the renames made when
// one fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/run_log.h"

namespace tokiren {

class Applier {
 public:
  // Each rename made is counted in `summary` and told to `sink`.
  Applier(FileSystem& fileSystem, RunLog& log, EngineSink& sink, RunSummary& summary)
      : fileSystem_(fileSystem), log_(log), sink_(sink), summary_(summary) {}

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
  bool Full() const { return pending_.size() >= kRenamesPerBatch; }
  // Whether `renames` more go into this batch.
  bool Fits(std::size_t renames) const {
    return pending_.empty() || pending_.size() + renames <= kRenamesPerBatch;
  }

  // Puts the waiting lines on the disk, then makes their renames. A group one member of which was
  // replaced since its time was read is left alone whole, its lines withdrawn. A failure ends the
  // run: a group whose rename failed is renamed back first, the log then keeps only the lines of
  // the renames made, and the failure comes back (with more when a rename back or the cut-back
  // of the log fails).
  std::vector<ErrorReport> Flush();

 private:
  // Log lines written and synced together.
  static constexpr std::size_t kRenamesPerBatch = 4096;

  struct Pending {
    std::string oldPath;
    std::string newPath;
    FileId id;  // the file `oldPath` named when its time was read
    bool leftover;
    bool noCaptureTime;
    std::uint32_t group;
  };

  static FileReport Report(const Pending& rename, FileOutcome outcome);
  static std::string Where(const Pending& rename) {
    return rename.oldPath + "\r" + rename.newPath;
  }

  FileSystem& fileSystem_;
  RunLog& log_;
  EngineSink& sink_;
  RunSummary& summary_;
  std::vector<Pending> pending_;
  std::string lines_;
  bool wrote_ = false;
};

}  // namespace tokiren
