// Reading a run's file times ahead of the pass, by several threads on a slow file system.
#include "engine/time_read_ahead.h"

#include <algorithm>

namespace tokiren {
namespace {

// Files read ahead per reading thread at most: enough that every thread always has one to read
// while the pass takes the answers in order.
constexpr std::size_t kWindowPerJob = 8;

}  // namespace

int JobsFor(int jobs, const SlowCallProbe& probe) {
  if (jobs > 0) return std::min(jobs, kMostJobs);
  return probe.slow() ? kDefaultJobs : 1;
}

TimeReadAhead::TimeReadAhead(FileSystem& fileSystem, std::size_t count,
                             std::function<std::string(std::size_t)> pathOf, int jobs)
    : fileSystem_(fileSystem), count_(count), pathOf_(std::move(pathOf)), jobs_(jobs) {
  if (jobs_ > 1) Start(jobs_);
}

TimeReadAhead::~TimeReadAhead() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  toRead_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void TimeReadAhead::Start(int jobs) {
  window_.resize(static_cast<std::size_t>(jobs) * kWindowPerJob);
  next_ = passed_;
  for (int i = 0; i < jobs; ++i) threads_.emplace_back([this] { Work(); });
}

void TimeReadAhead::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    toRead_.wait(lock, [&] {
      return stop_ || (next_ < count_ && next_ < passed_ + window_.size());
    });
    if (stop_) return;
    const std::size_t k = next_++;
    lock.unlock();
    Slot slot;
    slot.error = fileSystem_.GetFileTimes(pathOf_(k), &slot.times);
    slot.done = true;
    lock.lock();
    window_[k % window_.size()] = slot;
    read_.notify_all();
  }
}

ErrorCode TimeReadAhead::Read(const std::string& path, FileTimes* times) {
  if (!started()) {
    // Not reading ahead (yet): the pass reads, keeps its place in the list, and times the first
    // reads to tell whether threads would help.
    while (passed_ < count_ && pathOf_(passed_++) != path) {
    }
    const ErrorCode error = probe_.Time([&] { return fileSystem_.GetFileTimes(path, times); });
    if (jobs_ == 0 && probe_.decided() && JobsFor(jobs_, probe_) > 1) {
      Start(JobsFor(jobs_, probe_));
    }
    return error;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (passed_ < count_) {
    const std::size_t k = passed_;
    const bool claimed = k < next_;
    if (claimed) read_.wait(lock, [&] { return window_[k % window_.size()].done; });
    Slot slot;
    if (claimed) std::swap(slot, window_[k % window_.size()]);
    ++passed_;
    next_ = std::max(next_, passed_);
    toRead_.notify_all();
    if (pathOf_(k) != path) continue;  // passed over by the pass
    if (!claimed) break;               // not read yet: read on the spot
    *times = slot.times;
    return slot.error;
  }
  lock.unlock();
  return fileSystem_.GetFileTimes(path, times);
}

}  // namespace tokiren
