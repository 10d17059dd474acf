// The helper processes: posix_spawn, a Unix stream socket each, poll. Generic POSIX.
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

#include "media/helper_process.h"
#include "media/helper_protocol.h"

extern char** environ;

namespace tokiren::media {

const char kHelperFileName[] = "tokiren-media-helper";

namespace {

constexpr std::size_t kReceiveChunk = 4096;

class PosixHelperProcess final : public HelperProcess {
 public:
  PosixHelperProcess(pid_t pid, int socket) : pid_(pid), socket_(socket) {}
  ~PosixHelperProcess() override {
    close(socket_);
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }

  bool SendFile(std::intptr_t file) override {
    return media::SendFile(socket_, static_cast<int>(file));
  }

  bool Receive(std::string* received) override {
    char chunk[kReceiveChunk];
    const ssize_t got = recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
    if (got <= 0) return false;
    received->append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  int socket() const { return socket_; }

 private:
  pid_t pid_;
  int socket_;
};

}  // namespace

std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& path, std::string* detail) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    *detail = std::string("cannot make a socket for the helper: ") + std::strerror(errno);
    return nullptr;
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
  char* const argv[] = {const_cast<char*>(path.c_str()), parent.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(sockets[1]);
  if (spawned != 0) {
    close(sockets[0]);
    *detail = "cannot start " + path + ": " + std::strerror(spawned);
    return nullptr;
  }
  return std::make_unique<PosixHelperProcess>(pid, sockets[0]);
}

void WaitForHelpers(const std::vector<HelperProcess*>& helpers,
                    std::chrono::milliseconds timeout) {
  std::vector<pollfd> polled;
  for (HelperProcess* helper : helpers) {
    polled.push_back(pollfd{static_cast<PosixHelperProcess*>(helper)->socket(), POLLIN, 0});
  }
  poll(polled.data(), polled.size(), static_cast<int>(std::max<long>(0, timeout.count())));
}

std::size_t MostFilesForHelpers() {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    return files.rlim_cur / 2;
  }
  return SIZE_MAX;
}

}  // namespace tokiren::media
