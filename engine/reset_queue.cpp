// Renames back made by several threads, each after the earlier lines it may touch.
#include "engine/reset_queue.h"

#include "platform/file_system.h"

namespace tokiren {

std::string EntryKey(std::string_view name) {
  std::string digits;
  for (const char c : name) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

ResetQueue::ResetQueue(int jobs,
                       std::function<RenameBack(const std::string&, const std::string&)> renameBack)
    : renameBack_(std::move(renameBack)) {
  for (int i = 0; i < jobs; ++i) threads_.emplace_back([this] { Work(); });
}

ResetQueue::~ResetQueue() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ResetQueue::Add(Line line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t number = next_++;
  line.line.text = {};  // the reader's buffer moves on
  lines_.push_back(Entry{std::move(line), {}, 0, {}, false});
  Entry& entry = lines_.back();
  if (entry.line.damaged) {
    entry.done = true;
    return;
  }
  entry.folder = std::string(FolderOf(entry.line.oldPath));
  for (const std::string_view path : {std::string_view(entry.line.oldPath),
                                      std::string_view(entry.line.newPath)}) {
    auto [last, isNew] = lastWithKey_.try_emplace(EntryKey(NameOf(path)), number);
    if (!isNew && last->second != number) {
      At(last->second).waiters.push_back(number);
      ++entry.waitingFor;
      last->second = number;
    }
  }
  if (entry.waitingFor == 0) {
    startable_.emplace(number, entry.folder);
    ready_.notify_one();
  }
}

bool ResetQueue::OldestDone() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return !lines_.empty() && lines_.front().done;
}

ResetQueue::Line ResetQueue::TakeOldest() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return lines_.front().done; });
  Line line = std::move(lines_.front().line);
  lines_.pop_front();
  ++first_;
  return line;
}

void ResetQueue::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [&] { return stop_ || !startable_.empty(); });
    if (stop_) return;
    // The oldest ready line whose folder has no rename on its way, else the oldest.
    auto chosen = startable_.begin();
    std::size_t looked = 0;
    for (auto it = startable_.begin(); it != startable_.end() && looked < kLookAtReady;
         ++it, ++looked) {
      const auto busy = busyFolders_.find(std::string(it->second));
      if (busy == busyFolders_.end() || busy->second == 0) {
        chosen = it;
        break;
      }
    }
    const std::uint64_t number = chosen->first;
    const std::string folder(chosen->second);
    startable_.erase(chosen);
    ++busyFolders_[folder];
    const Line& line = At(number).line;
    const std::string oldPath = line.oldPath, newPath = line.newPath;
    lock.unlock();
    const RenameBack outcome = renameBack_(oldPath, newPath);
    lock.lock();
    At(number).line.outcome = outcome;
    if (--busyFolders_[folder] == 0) busyFolders_.erase(folder);
    Done(number);
  }
}

void ResetQueue::Done(std::uint64_t number) {
  Entry& entry = At(number);
  entry.done = true;
  for (const std::string_view path : {std::string_view(entry.line.oldPath),
                                      std::string_view(entry.line.newPath)}) {
    const auto last = lastWithKey_.find(EntryKey(NameOf(path)));
    if (last != lastWithKey_.end() && last->second == number) lastWithKey_.erase(last);
  }
  for (const std::uint64_t waiter : entry.waiters) {
    Entry& later = At(waiter);
    if (--later.waitingFor == 0) {
      startable_.emplace(waiter, later.folder);
      ready_.notify_one();
    }
  }
  if (number == first_) done_.notify_one();
}

}  // namespace tokiren
