// Pieces of work made by several threads, each after the earlier pieces it may touch.
#include "engine/ordered_work.h"

#include "platform/file_system.h"

namespace tokiren {

std::string EntryKey(std::string_view name) {
  std::string digits;
  for (const char c : name) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

OrderedWork::OrderedWork(int jobs) {
  for (int i = 0; i < jobs; ++i) threads_.emplace_back([this] { Work(); });
}

OrderedWork::~OrderedWork() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void OrderedWork::Add(std::string_view folder, const std::vector<std::string_view>& paths,
                      std::function<void()> work) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t number = next_++;
  pieces_.push_back(Piece{std::move(work), std::string(folder), {}, 0, {}, false, false});
  Piece& piece = pieces_.back();
  if (!piece.work || stopped_) {
    piece.done = true;
    return;
  }
  for (const std::string_view path : paths) {
    std::string key = EntryKey(NameOf(path));
    auto [last, isNew] = lastWithKey_.try_emplace(key, number);
    if (!isNew && last->second != number) {
      At(last->second).waiters.push_back(number);
      ++piece.waitingFor;
      last->second = number;
    }
    piece.keys.push_back(std::move(key));
  }
  if (piece.waitingFor == 0) MakeStartable(number);
}

void OrderedWork::MakeStartable(std::uint64_t number) {
  Folder& folder = folders_[At(number).folder];
  if (folder.busy == 0 && !folder.ready.empty()) idle_.erase(*folder.ready.begin());
  folder.ready.insert(number);
  if (folder.busy == 0) idle_.insert(*folder.ready.begin());
  startable_.insert(number);
  ready_.notify_one();
}

OrderedWork::Folder& OrderedWork::Unready(std::uint64_t number) {
  Folder& folder = folders_[At(number).folder];
  if (folder.busy == 0) idle_.erase(*folder.ready.begin());
  folder.ready.erase(number);
  startable_.erase(number);
  if (folder.busy == 0 && !folder.ready.empty()) idle_.insert(*folder.ready.begin());
  return folder;
}

bool OrderedWork::OldestDone() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return !pieces_.empty() && pieces_.front().done;
}

bool OrderedWork::TakeOldest() {
  std::unique_lock<std::mutex> lock(mutex_);
  // A piece Stop kept from starting is waiting for earlier pieces, or may start: neither ends it.
  done_.wait(lock, [&] {
    const Piece& oldest = pieces_.front();
    return oldest.done || (stopped_ && !oldest.ran);
  });
  const bool ran = pieces_.front().ran;
  if (!pieces_.front().done) {
    if (startable_.count(first_) != 0) {
      const Folder& folder = Unready(first_);
      if (folder.busy == 0 && folder.ready.empty()) folders_.erase(pieces_.front().folder);
    }
    for (const std::string& key : pieces_.front().keys) {
      const auto last = lastWithKey_.find(key);
      if (last != lastWithKey_.end() && last->second == first_) lastWithKey_.erase(last);
    }
  }
  pieces_.pop_front();
  ++first_;
  return ran;
}

void OrderedWork::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  done_.notify_all();
}

void OrderedWork::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [&] { return ending_ || (!stopped_ && !startable_.empty()); });
    if (ending_) return;
    // The oldest piece that may start whose folder has none on its way, else the oldest.
    const std::uint64_t number = idle_.empty() ? *startable_.begin() : *idle_.begin();
    Folder& folder = Unready(number);
    if (folder.busy++ == 0 && !folder.ready.empty()) idle_.erase(*folder.ready.begin());
    Piece& piece = At(number);
    piece.ran = true;
    const std::function<void()> work = std::move(piece.work);
    lock.unlock();
    work();
    lock.lock();
    const auto finished = folders_.find(At(number).folder);
    if (--finished->second.busy == 0) {
      if (finished->second.ready.empty()) {
        folders_.erase(finished);
      } else {
        idle_.insert(*finished->second.ready.begin());
      }
    }
    Done(number);
  }
}

void OrderedWork::Done(std::uint64_t number) {
  Piece& piece = At(number);
  piece.done = true;
  for (const std::string& key : piece.keys) {
    const auto last = lastWithKey_.find(key);
    if (last != lastWithKey_.end() && last->second == number) lastWithKey_.erase(last);
  }
  for (const std::uint64_t waiter : piece.waiters) {
    Piece& later = At(waiter);
    if (--later.waitingFor == 0) MakeStartable(waiter);
  }
  if (number == first_) done_.notify_one();
}

}  // namespace tokiren
