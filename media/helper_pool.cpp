// The helper pool: which helper reads which file, the time limits, and what a lost helper costs.
// Every system; the processes themselves are helper_process_*.cpp.
#include "media/helper_pool.h"

#include <algorithm>

#include "media/helper_protocol.h"
#include "platform/program_folder.h"

namespace tokiren::media {
namespace {

// Files handed to one helper and not yet answered: enough to keep it busy through a batch of the
// engine's renames, when nobody collects answers or hands over files, and few enough that their
// requests, each carrying a descriptor, fit in the socket's buffer at its default size (about 270
// of them; Windows: in the pipe's buffer): a send never waits on a helper stuck in a parser.
constexpr std::size_t kMaxInFlight = 128;
// Helpers lost in a row before they were ready, after which none is started again: one that
// cannot load or seal itself would otherwise be started anew for every file.
constexpr int kMostFailedStarts = 3;

ErrorCode NoReader(int cause) { return kFileNotFound.Because(cause); }

}  // namespace

std::string HelperBesideProgram() {
  const std::string folder = ExecutableFolder();
  return folder.empty() ? std::string() : folder + kHelperFileName;
}

HelperPool::HelperPool(HelperPoolOptions options)
    : options_(std::move(options)),
      helpers_(static_cast<std::size_t>(std::max(1, options_.helpers))) {
  // Every file handed over stays open until answered: never more than half the descriptors this
  // process may open, nor more than the helpers can hold.
  options_.readAhead = std::min(options_.readAhead, MostFilesForHelpers());
  options_.readAhead =
      std::max<std::size_t>(1, std::min(options_.readAhead, helpers_.size() * kMaxInFlight));
}

HelperPool::~HelperPool() {
  for (Helper& helper : helpers_) Stop(helper);
}

bool HelperPool::Launch(Helper& helper, std::string* detail) {
  if (failedStarts_ >= kMostFailedStarts) {
    *detail = options_.helperPath + " ended before it was ready to read, time after time";
    return false;
  }
  if (options_.helperPath.empty()) {
    *detail = "the folder of the running program cannot be found, nor the helper beside it";
    return false;
  }
  helper.process = StartHelperProcess(options_.helperPath, detail);
  if (!helper.process) return false;
  helper.ready = false;
  helper.since = Clock::now();
  return true;
}

void HelperPool::Stop(Helper& helper) {
  helper = Helper{};  // ends the process
}

ErrorCode HelperPool::Start(std::string* detail) {
  if (AnyRunning()) return kSuccess;
  Helper& helper = helpers_.front();
  if (!Launch(helper, detail)) return NoReader(kSystemNoCaptureReader);
  while (Running(helper) && !helper.ready) Collect(true);
  if (!Running(helper)) {
    *detail = options_.helperPath + " ended before it was ready to read";
    return NoReader(kSystemNoCaptureReader);
  }
  return kSuccess;
}

bool HelperPool::AnyRunning() const {
  return std::any_of(helpers_.begin(), helpers_.end(),
                     [](const Helper& helper) { return Running(helper); });
}

HelperPool::File* HelperPool::Find(std::uint64_t ticket) {
  if (ticket < firstTicket_ || ticket - firstTicket_ >= files_.size()) return nullptr;
  return &files_[static_cast<std::size_t>(ticket - firstTicket_)];
}

void HelperPool::Submit(std::uint64_t ticket, std::unique_ptr<OpenFile> file) {
  if (files_.empty()) firstTicket_ = ticket;
  if (ticket != firstTicket_ + files_.size()) return;  // tickets count up one by one
  files_.push_back(File{std::move(file), State::kWaiting, std::nullopt});
  waiting_.push_back(ticket);
  Dispatch();
  Collect(false);
}

void HelperPool::Lose(Helper& helper) {
  const bool wasReady = helper.ready;
  if (!wasReady) ++failedStarts_;
  std::deque<std::uint64_t> inFlight = std::move(helper.inFlight);
  Stop(helper);
  ++lostHelpers_;
  if (inFlight.empty()) return;
  // The one it was reading gets no answer; one that never became ready read nothing, and every
  // file it was given goes to another.
  if (File* file = wasReady ? Find(inFlight.front()) : nullptr) {
    file->state = State::kAnswered;
    file->file.reset();
    inFlight.pop_front();
  }
  for (const std::uint64_t ticket : inFlight) Find(ticket)->state = State::kWaiting;
  waiting_.insert(waiting_.begin(), inFlight.begin(), inFlight.end());
}

ErrorCode HelperPool::Take(std::uint64_t ticket, std::optional<CapturedMoment>* moment) {
  moment->reset();
  File* file = Find(ticket);
  if (!file) return NoReader(kSystemNoCaptureReader);
  while (file->state == State::kWaiting || file->state == State::kSent) {
    Dispatch();
    if (file->state == State::kWaiting && !AnyRunning()) {
      file->state = State::kUnreadable;  // not one helper runs or could be started
      break;
    }
    Collect(true);
  }
  const State state = file->state;
  *moment = file->moment;
  // Tickets are taken in order: everything up to this one is done with.
  while (!files_.empty() && firstTicket_ <= ticket) {
    files_.pop_front();
    ++firstTicket_;
  }
  waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                [&](std::uint64_t t) { return t <= ticket; }),
                 waiting_.end());
  Dispatch();  // the helpers read on while the engine renames
  return state == State::kUnreadable ? NoReader(kSystemNoCaptureReader) : kSuccess;
}

void HelperPool::Dispatch() {
  // Each file goes to the helper with the fewest in flight, so that all of them read. One that
  // cannot be started while another runs is passed over, and tried again at the next dispatch.
  std::vector<bool> wontStart(helpers_.size(), false);
  while (!waiting_.empty()) {
    std::size_t least = helpers_.size();
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
      if (!wontStart[i] && (least == helpers_.size() ||
                            helpers_[i].inFlight.size() < helpers_[least].inFlight.size())) {
        least = i;
      }
    }
    if (least == helpers_.size() || helpers_[least].inFlight.size() >= kMaxInFlight) return;
    Helper& helper = helpers_[least];
    std::string detail;
    if (!Running(helper) && !Launch(helper, &detail)) {
      wontStart[least] = true;
      continue;
    }
    const std::uint64_t ticket = waiting_.front();
    File* file = Find(ticket);
    if (!file || !file->file) {
      waiting_.pop_front();
      continue;
    }
    if (!helper.process->SendFile(file->file->NativeHandle())) {
      Lose(helper);  // died before this file was sent: it stays waiting for another helper
      continue;
    }
    waiting_.pop_front();
    if (helper.inFlight.empty() && helper.ready) helper.since = Clock::now();
    helper.inFlight.push_back(ticket);
    file->state = State::kSent;
  }
}

void HelperPool::Collect(bool wait) {
  std::vector<HelperProcess*> waited;
  std::vector<Helper*> owners;
  Clock::time_point deadline = Clock::time_point::max();
  for (Helper& helper : helpers_) {
    if (!Running(helper) || (helper.ready && helper.inFlight.empty())) continue;
    waited.push_back(helper.process.get());
    owners.push_back(&helper);
    deadline = std::min(deadline, helper.since + (helper.ready ? options_.fileTimeLimit
                                                               : options_.startTimeLimit));
  }
  if (waited.empty()) return;
  if (wait) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    WaitForHelpers(waited, std::max(left, std::chrono::milliseconds(0)));
  }
  for (Helper* helper : owners) {
    if (Running(*helper)) Receive(*helper);
  }
  const Clock::time_point now = Clock::now();
  for (Helper& helper : helpers_) {
    if (!Running(helper)) continue;
    if (!helper.ready && now >= helper.since + options_.startTimeLimit) {
      Lose(helper);
    } else if (helper.ready && !helper.inFlight.empty() &&
               now >= helper.since + options_.fileTimeLimit) {
      Lose(helper);
    }
  }
}

void HelperPool::Receive(Helper& helper) {
  if (!helper.process->Receive(&helper.received)) {
    Lose(helper);  // the helper is gone: crashed, or killed by its memory limit
    return;
  }
  bool malformed = false;
  while (std::optional<std::string> message =
             TakeMessage(&helper.received, kMaxAnswerMessage, &malformed)) {
    if (!helper.ready) {  // its first word says it is loaded and sealed
      if (*message != kReadyMessage) {
        Lose(helper);
        return;
      }
      helper.ready = true;
      failedStarts_ = 0;
      helper.since = Clock::now();
      continue;
    }
    if (helper.inFlight.empty()) {  // an answer nobody asked for
      Lose(helper);
      return;
    }
    const std::uint64_t ticket = helper.inFlight.front();
    helper.inFlight.pop_front();
    helper.since = Clock::now();
    if (File* file = Find(ticket)) {
      file->state = State::kAnswered;
      file->moment = FromAnswerText(*message);
      file->file.reset();  // closes it
    }
  }
  if (malformed) Lose(helper);
}

}  // namespace tokiren::media
