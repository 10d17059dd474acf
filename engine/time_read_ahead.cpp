// Reading a run's file times ahead of the pass, by several threads on a slow file system.
#include "engine/time_read_ahead.h"

#include <algorithm>

namespace tokiren {

int JobsFor(int jobs, const SlowCallProbe& probe) {
  if (jobs > 0) return std::min(jobs, kMostJobs);
  return probe.slow() ? kDefaultJobs : 1;
}

TimeReadAhead::TimeReadAhead(FileSystem& fileSystem, std::size_t count,
                             std::function<std::string(std::size_t)> pathOf, int jobs)
    : fileSystem_(fileSystem), count_(count), pathOf_(std::move(pathOf)), jobs_(jobs) {
  if (jobs_ > 1) work_ = std::make_unique<OrderedWork>(jobs_);
}

TimeReadAhead::~TimeReadAhead() = default;

void TimeReadAhead::TopUp() {
  for (; given_ < count_ && !work_->Full(); ++given_) {
    slots_.push_back(Slot{pathOf_(given_), {}, {}});
    Slot& slot = slots_.back();
    // Reads touch no name: any may go beside any other, those of a folder with none on its way
    // first.
    work_->Add(FolderOf(slot.path), {},
               [this, &slot] { slot.error = fileSystem_.GetFileTimes(slot.path, &slot.times); });
  }
}

ErrorCode TimeReadAhead::Read(const std::string& path, FileTimes* times) {
  if (!work_) {
    // Not reading ahead (yet): the pass reads, keeps its place in the list, and times the first
    // reads to tell whether threads would help.
    while (given_ < count_ && pathOf_(given_++) != path) {
    }
    const ErrorCode error = probe_.Time([&] { return fileSystem_.GetFileTimes(path, times); });
    if (jobs_ == 0 && probe_.decided() && JobsFor(jobs_, probe_) > 1) {
      work_ = std::make_unique<OrderedWork>(JobsFor(jobs_, probe_));
      TopUp();
    }
    return error;
  }
  TopUp();
  while (!slots_.empty()) {
    work_->TakeOldest();
    const Slot slot = std::move(slots_.front());
    slots_.pop_front();
    TopUp();
    if (slot.path != path) continue;  // passed over by the pass
    *times = slot.times;
    return slot.error;
  }
  return fileSystem_.GetFileTimes(path, times);
}

}  // namespace tokiren
