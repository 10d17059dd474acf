// The helper pool: posix_spawn, Unix stream sockets and poll. Generic POSIX only.
#include "media/helper_pool.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "media/capture_time_text.h"
#include "media/helper_protocol.h"
#include "platform/program_folder.h"

extern char** environ;

namespace tokiren::media {
namespace {

constexpr char kHelperName[] = "tokiren-media-helper";
// Paths handed to one helper and not yet answered: enough to keep it busy while the answers
// travel, few enough that a send never waits on a full socket (one path is at most 4 KiB on
// Linux and the socket holds far more than this).
constexpr std::size_t kMaxInFlight = 16;
constexpr std::size_t kMaxInFlightBytes = 32 * 1024;
constexpr std::size_t kReceiveChunk = 4096;

}  // namespace

std::string HelperBesideProgram() { return ExecutableFolder() + kHelperName; }

HelperPool::HelperPool(HelperPoolOptions options)
    : options_(std::move(options)), helpers_(static_cast<std::size_t>(std::max(1, options_.helpers))) {}

HelperPool::~HelperPool() {
  for (Helper& helper : helpers_) Stop(helper);
}

bool HelperPool::Start(Helper& helper) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The helper reads paths on its standard input and answers on its standard output; dup2 leaves
  // these two without close-on-exec, every other descriptor of ours closes at the exec.
  posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, sockets[1], STDOUT_FILENO);
  char* const argv[] = {const_cast<char*>(options_.helperPath.c_str()), nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, options_.helperPath.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(sockets[1]);
  if (spawned != 0) {
    close(sockets[0]);
    return false;
  }
  helper.pid = pid;
  helper.socket = sockets[0];
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

void HelperPool::Lose(Helper& helper) {
  std::deque<std::size_t> inFlight = std::move(helper.inFlight);
  Stop(helper);
  ++lostHelpers_;
  if (inFlight.empty()) return;
  Answer(inFlight.front(), std::nullopt);
  inFlight.pop_front();
  for (const std::size_t index : inFlight) states_[index] = State::kWaiting;
  again_.insert(again_.begin(), inFlight.begin(), inFlight.end());
}

void HelperPool::Answer(std::size_t index, std::optional<LocalTime> time) {
  states_[index] = State::kAnswered;
  answers_[index] = time;
}

void HelperPool::Expect(const std::vector<std::string>& paths) {
  for (Helper& helper : helpers_) {
    if (!helper.inFlight.empty()) Stop(helper);
  }
  paths_ = paths;
  states_.assign(paths_.size(), State::kWaiting);
  answers_.assign(paths_.size(), std::nullopt);
  again_.clear();
  nextNew_ = 0;
  nextAsked_ = 0;
}

std::optional<LocalTime> HelperPool::CaptureTime(const std::string& path) {
  std::size_t index = nextAsked_;
  while (index < paths_.size() && paths_[index] != path) ++index;
  if (index == paths_.size()) {  // never expected: read on its own, ahead of the others
    paths_.push_back(path);
    states_.push_back(State::kWaiting);
    answers_.push_back(std::nullopt);
    again_.push_front(index);
  } else {
    nextAsked_ = index + 1;
  }
  const std::size_t limit = std::max(std::min(paths_.size(), index + options_.readAhead), index + 1);
  // Even when the answer is already here, the helpers are kept fed: they read on while the
  // engine renames.
  Dispatch(limit);
  Collect(false);
  while (states_[index] != State::kAnswered && !cannotStart_) {
    Dispatch(limit);
    Collect(true);
  }
  Dispatch(limit);
  return answers_[index];
}

void HelperPool::Dispatch(std::size_t limit) {
  for (Helper& helper : helpers_) {
    while (helper.inFlight.size() < kMaxInFlight) {
      const bool retry = !again_.empty();
      if (!retry) {
        while (nextNew_ < limit && states_[nextNew_] != State::kWaiting) ++nextNew_;
        if (nextNew_ >= limit) return;
      }
      const std::size_t index = retry ? again_.front() : nextNew_;
      const std::string& path = paths_[index];
      if (helper.inFlightBytes + kLengthBytes + path.size() > kMaxInFlightBytes &&
          !helper.inFlight.empty()) {
        break;
      }
      if (helper.pid < 0 && !Start(helper)) {
        cannotStart_ = true;
        return;
      }
      if (!WriteMessage(helper.socket, path)) {
        Lose(helper);  // died before this path was sent: it stays waiting for another helper
        break;
      }
      if (retry) again_.pop_front();
      if (helper.inFlight.empty()) helper.headSince = Clock::now();
      helper.inFlight.push_back(index);
      helper.inFlightBytes += kLengthBytes + path.size();
      states_[index] = State::kSent;
    }
  }
}

void HelperPool::Collect(bool wait) {
  std::vector<pollfd> polled;
  std::vector<Helper*> owners;
  Clock::time_point deadline = Clock::time_point::max();
  for (Helper& helper : helpers_) {
    if (helper.inFlight.empty()) continue;
    polled.push_back(pollfd{helper.socket, POLLIN, 0});
    owners.push_back(&helper);
    deadline = std::min(deadline, helper.headSince + options_.fileTimeLimit);
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
    if (!helper.inFlight.empty() && now >= helper.headSince + options_.fileTimeLimit) Lose(helper);
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
    if (helper.inFlight.empty()) {  // an answer nobody asked for
      Lose(helper);
      return;
    }
    const std::size_t index = helper.inFlight.front();
    helper.inFlight.pop_front();
    helper.inFlightBytes -= kLengthBytes + paths_[index].size();
    helper.headSince = Clock::now();
    Answer(index, FromStampDigits(*message));
  }
  if (malformed) Lose(helper);
}

}  // namespace tokiren::media
