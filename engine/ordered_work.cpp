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
  Folder& itsFolder = folders_[piece.folder];
  Leave(itsFolder);
  ++itsFolder.left;
  Enter(piece.folder, itsFolder);
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
  const std::string& name = At(number).folder;
  Folder& folder = folders_[name];
  Leave(folder);
  folder.ready.insert(number);
  startable_.insert(number);
  Enter(name, folder);
  ready_.notify_one();
}

void OrderedWork::Leave(const Folder& folder) {
  if (folder.busy == 0 && !folder.ready.empty()) {
    idle_.erase(Idle{folder.left, *folder.ready.begin()});
  }
}

void OrderedWork::Enter(const std::string& name, const Folder& folder) {
  if (folder.busy == 0 && !folder.ready.empty()) {
    idle_.insert(Idle{folder.left, *folder.ready.begin()});
  } else if (folder.busy == 0 && folder.left == 0) {
    folders_.erase(name);
  }
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
    const std::string& name = pieces_.front().folder;
    Folder& folder = folders_[name];
    Leave(folder);
    folder.ready.erase(first_);
    startable_.erase(first_);
    --folder.left;
    Enter(name, folder);
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
  std::string last;  // the folder of this thread's last piece
  for (;;) {
    ready_.wait(lock, [&] { return ending_ || (!stopped_ && !startable_.empty()); });
    if (ending_) return;
    // The thread stays in its folder while nothing else is on its way there and a piece may
    // start there (a file system finds a folder it was just in at once); else the oldest piece
    // that may start of the folder with none on its way and the most left, else the oldest.
    const auto stay = folders_.find(last);
    const std::uint64_t number =
        stay != folders_.end() && stay->second.busy == 0 && !stay->second.ready.empty()
            ? *stay->second.ready.begin()
        : idle_.empty() ? *startable_.begin()
                        : idle_.begin()->oldest;
    Piece& piece = At(number);
    last = piece.folder;
    Folder& folder = folders_[piece.folder];
    Leave(folder);
    folder.ready.erase(number);
    startable_.erase(number);
    --folder.left;
    ++folder.busy;
    piece.ran = true;
    const std::function<void()> work = std::move(piece.work);
    lock.unlock();
    work();
    lock.lock();
    const std::string& name = At(number).folder;
    Folder& finished = folders_[name];
    --finished.busy;
    Enter(name, finished);
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
