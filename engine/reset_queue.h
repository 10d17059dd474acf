// The renames back of a Reset made by several threads where they cannot touch one another, for a
// slow file system (a share): each waits for the earlier lines that may name one of its two
// entries, and the outcomes come back in the order the lines were given.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "engine/log_file.h"
#include "engine/ordered_work.h"
#include "platform/error_code.h"

namespace tokiren {

// What renaming one line's file back found and did.
struct RenameBack {
  enum class Kind {
    kRestored,   // the file has its old name again
    kNeverMade,  // the file still had its old name (or a cut-off claim was taken back)
    kNotFound,   // neither name holds the file
    kFailed,     // the rename back failed with `error`
  };
  Kind kind = Kind::kRestored;
  ErrorCode error;
};

class ResetQueue {
 public:
  // One line of the log, as given and as handed back.
  struct Line {
    LogLine line;
    bool damaged = false;  // not split into two paths: nothing to rename
    std::string oldPath, newPath;
    RenameBack outcome;
  };

  // `renameBack(oldPath, newPath)` is made on `jobs` threads.
  ResetQueue(int jobs, std::function<RenameBack(const std::string&, const std::string&)> renameBack);
  ~ResetQueue();
  ResetQueue(const ResetQueue&) = delete;
  ResetQueue& operator=(const ResetQueue&) = delete;

  // Adds the next line to undo. Its rename back starts once every line given before it that
  // may name one of its two entries is done (see OrderedWork::Add).
  void Add(Line line);
  // Whether as many lines are waiting as may: take the oldest back before adding another.
  bool Full() const { return work_.Full(); }
  bool Empty() const { return lines_.empty(); }
  // Whether the oldest line is done, without waiting.
  bool OldestDone() { return work_.OldestDone(); }
  // The oldest line, once it is done. Only when not Empty().
  Line TakeOldest();

 private:
  const std::function<RenameBack(const std::string&, const std::string&)> renameBack_;
  std::deque<Line> lines_;  // given and not yet taken back, each done once work_ hands it back
  OrderedWork work_;        // last: its threads end before what they work on goes
};

}  // namespace tokiren
