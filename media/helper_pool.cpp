// The helper pool: posix_spawn, Unix stream sockets carrying open files, and poll. Generic POSIX.
#include "media/helper_pool.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/helper_protocol.h"
#include "platform/program_folder.h"

extern char** environ;

namespace tokiren::media {
namespace {

constexpr char kHelperName[] = "tokiren-media-helper";
// Files handed to one helper and not yet answered: enough to keep it busy through a batch of the
// engine's renames, when nobody collects answers or hands over files, and few enough that their
// one-byte messages, each carrying a descriptor, fit in the socket's buffer at its default size
// (about 270 of them): a send never waits on a helper stuck in a parser.
constexpr std::size_t kMaxInFlight = 128;
constexpr std::size_t kReceiveChunk = 4096;
// Helpers lost in a row before they were ready, after which none is started again: one that
// cannot load or seal itself would otherwise be started anew for every file.
constexpr int kMostFailedStarts = 3;

ErrorCode NoReader(int cause) { return kFileNotFound.Because(cause); }

}  // namespace

std::string HelperBesideProgram() {
  const std::string folder = ExecutableFolder();
  return folder.empty() ? std::string() : folder + kHelperName;
}

HelperPool::HelperPool(HelperPoolOptions options)
    : options_(std::move(options)),
      helpers_(static_cast<std::size_t>(std::max(1, options_.helpers))) {
  // Every file handed over stays open until answered: never more than half the descriptors this
  // process may open, nor more than the helpers can hold.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    options_.readAhead = std::min<std::size_t>(options_.readAhead, files.rlim_cur / 2);
  }
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
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    *detail = std::string("cannot make a socket for the helper: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The helper takes files on its standard input and answers on its standard output; dup2 leaves
  // these two without close-on-exec, every other descriptor of ours closes at the exec.
  posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, sockets[1], STDOUT_FILENO);
  // Nothing of ours beyond the socket, whatever a front end left without close-on-exec.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  // The helper ends itself when this process goes; it learns from this which process that is.
  std::string parent = std::to_string(getpid());
  char* const argv[] = {const_cast<char*>(options_.helperPath.c_str()), parent.data(), nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, options_.helperPath.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(sockets[1]);
  if (spawned != 0) {
    close(sockets[0]);
    *detail = "cannot start " + options_.helperPath + ": " + std::strerror(spawned);
    return false;
  }
  helper.pid = pid;
  helper.socket = sockets[0];
  helper.ready = false;
  helper.since = Clock::now();
  return true;
}

void HelperPool::Stop(Helper& helper) {
  if (helper.pid < 0) return;
  close(helper.socket);
  kill(helper.pid, SIGKILL);  // holds nothing of value; may be stuck inside a parser
  while (waitpid(helper.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  helper = Helper{};
}

ErrorCode HelperPool::Start(std::string* detail) {
  if (AnyRunning()) return kSuccess;
  Helper& helper = helpers_.front();
  if (!Launch(helper, detail)) return NoReader(kSystemNoCaptureReader);
  while (helper.pid >= 0 && !helper.ready) Collect(true);
  if (helper.pid < 0) {
    *detail = options_.helperPath + " ended before it was ready to read";
    return NoReader(kSystemNoCaptureReader);
  }
  return kSuccess;
}

bool HelperPool::AnyRunning() const {
  return std::any_of(helpers_.begin(), helpers_.end(),
                     [](const Helper& helper) { return helper.pid >= 0; });
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
    if (helper.pid < 0 && !Launch(helper, &detail)) {
      wontStart[least] = true;
      continue;
    }
    const std::uint64_t ticket = waiting_.front();
    File* file = Find(ticket);
    if (!file || !file->file) {
      waiting_.pop_front();
      continue;
    }
    if (!SendFile(helper.socket, static_cast<int>(file->file->NativeHandle()))) {
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
  std::vector<pollfd> polled;
  std::vector<Helper*> owners;
  Clock::time_point deadline = Clock::time_point::max();
  for (Helper& helper : helpers_) {
    if (helper.pid < 0 || (helper.ready && helper.inFlight.empty())) continue;
    polled.push_back(pollfd{helper.socket, POLLIN, 0});
    owners.push_back(&helper);
    deadline = std::min(deadline, helper.since + (helper.ready ? options_.fileTimeLimit
                                                               : options_.startTimeLimit));
  }
  if (polled.empty()) return;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  const int timeout = wait ? static_cast<int>(std::max<long>(0, left.count())) : 0;
  const int ready = poll(polled.data(), polled.size(), timeout);
  if (ready < 0 && errno != EINTR) return;
  for (std::size_t i = 0; i < polled.size(); ++i) {
    if (polled[i].revents != 0) Receive(*owners[i]);
  }
  const Clock::time_point now = Clock::now();
  for (Helper& helper : helpers_) {
    if (helper.pid < 0) continue;
    if (!helper.ready && now >= helper.since + options_.startTimeLimit) {
      Lose(helper);
    } else if (helper.ready && !helper.inFlight.empty() &&
               now >= helper.since + options_.fileTimeLimit) {
      Lose(helper);
    }
  }
}

void HelperPool::Receive(Helper& helper) {
  char chunk[kReceiveChunk];
  const ssize_t got = recv(helper.socket, chunk, sizeof chunk, MSG_DONTWAIT);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {  // the helper is gone: crashed, or killed by its memory limit
    Lose(helper);
    return;
  }
  helper.received.append(chunk, static_cast<std::size_t>(got));
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
