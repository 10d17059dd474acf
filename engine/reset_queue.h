// The renames back of a Reset made by several threads where they cannot touch one another, for a
// slow file system (a share): each waits for the earlier lines that may name one of its two
// entries, and the outcomes come back in the order the lines were given.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/log_file.h"
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

// Which entries of a folder a name may stand for, as a key: the name's decimal digits. No rule by
// which a file system takes two names for one entry (case, Unicode's composed and decomposed
// forms, Windows' trailing dots and blanks) changes a digit, so two names with other digits are
// two entries anywhere; names with the same digits are taken to be one, which only costs waiting.
// (Windows' 8.3 short names are left aside: a log holds the long names the listing gave.)
std::string EntryKey(std::string_view name);

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
  // shares a key (EntryKey of either name) is done: so the rename back whose old name is the new
  // name of a line undone earlier waits for that one, and a chain of them goes in order.
  void Add(Line line);
  // Whether as many lines are waiting as may: take the oldest back before adding another.
  bool Full() const { return lines_.size() >= kWindow; }
  bool Empty() const { return lines_.empty(); }
  // Whether the oldest line is done, without waiting.
  bool OldestDone();
  // The oldest line, once it is done. Only when not Empty().
  Line TakeOldest();

 private:
  // Lines given and not yet taken back: enough that lines of several folders are on their way at
  // once (a kernel makes the renames of one folder one at a time).
  static constexpr std::size_t kWindow = 4096;
  // Ready lines looked at for one whose folder has no rename on its way.
  static constexpr std::size_t kLookAtReady = 64;

  struct Entry {
    Line line;
    std::string folder;
    std::size_t waitingFor = 0;           // earlier lines sharing a key, not done
    std::vector<std::uint64_t> waiters;   // later lines waiting for this one
    bool done = false;
  };

  Entry& At(std::uint64_t number) { return lines_[number - first_]; }
  void Work();
  void Done(std::uint64_t number);

  const std::function<RenameBack(const std::string&, const std::string&)> renameBack_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a line may start, or stop
  std::condition_variable done_;   // a line is done
  std::deque<Entry> lines_;        // line number first_ + i in lines_[i]
  std::uint64_t first_ = 0;
  std::uint64_t next_ = 0;  // the number of the next line given
  std::map<std::uint64_t, std::string_view> startable_;  // ready lines by number, with folders
  std::unordered_map<std::string, std::uint64_t> lastWithKey_;  // not done yet
  std::unordered_map<std::string, int> busyFolders_;  // renames on their way, by folder
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tokiren
