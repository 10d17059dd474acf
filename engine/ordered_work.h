// Work on the user's files made by several threads where the pieces cannot touch one another, for
// a slow file system (a share): each piece waits for the earlier pieces that may name one of its
// entries, and the pieces are handed back in the order they were given.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tokiren {

// Which entries of a folder a name may stand for, as a key: the name's decimal digits. No rule by
// which a file system takes two names for one entry (case, Unicode's composed and decomposed
// forms, Windows' trailing dots and blanks) changes a digit, so two names with other digits are
// two entries anywhere; names with the same digits are taken to be one, which only costs waiting.
// (Windows' 8.3 short names are left aside: a log holds the long names the listing gave.)
std::string EntryKey(std::string_view name);

class OrderedWork {
 public:
  // Pieces given and not yet taken back: enough that pieces of many folders are on their way at
  // once, and that the last folders to end are few.
  static constexpr std::size_t kWindow = 32768;

  // The pieces run on `jobs` threads.
  explicit OrderedWork(int jobs);
  // Waits for the pieces on their way; starts no more.
  ~OrderedWork();
  OrderedWork(const OrderedWork&) = delete;
  OrderedWork& operator=(const OrderedWork&) = delete;

  // Adds the next piece, which touches `paths` (all in `folder`). `work` runs on one of the
  // threads once every piece given before it that shares a key (EntryKey of a path's name) is
  // done: so a rename to a name another piece frees waits for that one, and a chain of them goes
  // in order. Among the pieces that may start, a thread takes the next of its last folder while
  // none other is on its way there; else one of a folder with none on its way (a kernel makes the
  // renames of one folder one at a time), the folder with the most pieces yet to start, so that
  // the last folders to end are small ones. No `work`: a piece done at once.
  void Add(std::string_view folder, const std::vector<std::string_view>& paths,
           std::function<void()> work);
  // Whether as many pieces are waiting as may: take the oldest back before adding another.
  bool Full() const { return pieces_.size() >= kWindow; }
  bool Empty() const { return pieces_.empty(); }
  // Whether the oldest piece is done, without waiting.
  bool OldestDone();
  // Waits for the oldest piece and forgets it: whether it ran (false: Stop kept it from
  // starting). Only when not Empty().
  bool TakeOldest();
  // No piece starts any more; those on their way end.
  void Stop();

 private:
  struct Piece {
    std::function<void()> work;
    std::string folder;
    std::vector<std::string> keys;
    std::size_t waitingFor = 0;          // earlier pieces sharing a key, not done
    std::vector<std::uint64_t> waiters;  // later pieces waiting for this one
    bool done = false;
    bool ran = false;
  };

  // A folder's pieces on their way, those that may start, and those yet to start.
  struct Folder {
    int busy = 0;
    std::set<std::uint64_t> ready;
    std::size_t left = 0;  // given with work, neither started nor taken back
  };
  // A folder with none on its way and pieces that may start: by most pieces left, then by its
  // oldest that may start.
  struct Idle {
    std::size_t left;
    std::uint64_t oldest;
    bool operator<(const Idle& other) const {
      return left != other.left ? left > other.left : oldest < other.oldest;
    }
  };

  Piece& At(std::uint64_t number) { return pieces_[number - first_]; }
  void Work();
  void Done(std::uint64_t number);
  void MakeStartable(std::uint64_t number);
  // A folder about to change leaves the idle ones (Leave); once changed, it joins them again if
  // it is idle, or is forgotten if nothing of it is left (Enter).
  void Leave(const Folder& folder);
  void Enter(const std::string& name, const Folder& folder);

  std::mutex mutex_;
  std::condition_variable ready_;  // a piece may start, or stop
  std::condition_variable done_;   // a piece is done
  std::deque<Piece> pieces_;       // piece number first_ + i in pieces_[i]
  std::uint64_t first_ = 0;
  std::uint64_t next_ = 0;  // the number of the next piece given
  std::set<std::uint64_t> startable_;  // every piece that may start
  std::set<Idle> idle_;                // each folder with none on its way and a piece that may start
  std::unordered_map<std::string, Folder> folders_;  // with pieces on their way or left
  std::unordered_map<std::string, std::uint64_t> lastWithKey_;  // not done yet
  bool stopped_ = false;  // no piece starts
  bool ending_ = false;   // the threads end
  std::vector<std::thread> threads_;
};

}  // namespace tokiren
