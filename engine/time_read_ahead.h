// The file times of a run's files read ahead of the rename pass by several threads, for a slow
// file system (a share), where each read waits a round trip; handed back in the pass's order.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "engine/ordered_work.h"
#include "platform/file_system.h"

namespace tokiren {

// How many calls on the user's files a run or a Reset has on their way at once: `jobs` when it
// was set (1: one after another), else kDefaultJobs once the file system is seen to be slow.
inline constexpr int kDefaultJobs = 16;
// The most --jobs takes.
inline constexpr int kMostJobs = 64;

// Tells a slow file system from a fast one by the first calls: a local disk answers from its
// cache in microseconds, where handing a call to another thread would cost more than it saves.
class SlowCallProbe {
 public:
  // The calls timed before deciding, and the mean above which a file system is slow (a share on
  // a LAN takes 0.2 ms and more).
  static constexpr int kCalls = 16;
  static constexpr std::chrono::microseconds kSlowCall{100};

  // Times `call` while undecided; afterwards just makes it.
  template <typename Call>
  auto Time(const Call& call) {
    if (decided_) return call();
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    spent_ += std::chrono::steady_clock::now() - start;
    decided_ = ++calls_ >= kCalls;
    return result;
  }
  bool decided() const { return decided_; }
  bool slow() const { return decided_ && spent_ >= kSlowCall * kCalls; }

 private:
  int calls_ = 0;
  bool decided_ = false;
  std::chrono::steady_clock::duration spent_{};
};

// The jobs a run or Reset uses: `jobs` as set (0: not set) and whether the file system was found
// slow; 1 means one call after another.
int JobsFor(int jobs, const SlowCallProbe& probe);

class TimeReadAhead {
 public:
  // `count` files, the pass asking for them in that order; `pathOf(k)` is the path of file k.
  // `jobs`: the setting (0: kDefaultJobs, once the first reads show a slow file system; 1: no
  // read ahead at all).
  TimeReadAhead(FileSystem& fileSystem, std::size_t count,
                std::function<std::string(std::size_t)> pathOf, int jobs);
  ~TimeReadAhead();
  TimeReadAhead(const TimeReadAhead&) = delete;
  TimeReadAhead& operator=(const TimeReadAhead&) = delete;

  // The times of `path`, as FileSystem::GetFileTimes reads them. Files are asked for in the order
  // given, some passed over; a file never given is read on the spot. The reading threads start
  // when the file system is slow, and read at most a window of files ahead of the pass, of
  // several folders at once.
  ErrorCode Read(const std::string& path, FileTimes* times);

  // Whether reading threads were started.
  bool started() const { return work_ != nullptr; }

 private:
  struct Slot {
    std::string path;
    ErrorCode error;
    FileTimes times;
  };

  // Hands the reading threads the next files, as many as the window holds.
  void TopUp();

  FileSystem& fileSystem_;
  const std::size_t count_;
  const std::function<std::string(std::size_t)> pathOf_;
  const int jobs_;
  SlowCallProbe probe_;
  std::size_t given_ = 0;      // the files handed to the threads, or passed before they started
  std::deque<Slot> slots_;     // the files handed and not yet taken, in order
  std::unique_ptr<OrderedWork> work_;  // last: its threads end before the slots go
};

}  // namespace tokiren
