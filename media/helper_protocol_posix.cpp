// The exchange over a Unix stream socket, descriptors carried with SCM_RIGHTS. Generic POSIX.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "media/helper_protocol.h"

namespace tokiren::media {
namespace {

constexpr char kFileRequest = 'F';
// Room for a few descriptors, so that a request carrying more than one still arrives whole and
// the extra ones can be closed here rather than counted as a cut-short message.
constexpr size_t kDescriptorRoom = 4;

bool SendAll(int socket, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

bool SendFile(int socket, int fd) {
  char byte = kFileRequest;
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
  for (;;) {
    const ssize_t sent = sendmsg(socket, &message, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    return sent == 1;
  }
}

bool ReceiveFile(int socket, int* fd) {
  *fd = -1;
  char byte = 0;
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kDescriptorRoom)];
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got = 0;
  do {
    got = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return false;
  std::vector<int> received;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int one = -1;
      std::memcpy(&one, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
      received.push_back(one);
    }
  }
  const bool whole = (message.msg_flags & MSG_CTRUNC) == 0 && byte == kFileRequest;
  for (size_t i = 0; i < received.size(); ++i) {
    if (i == 0 && whole) {
      *fd = received[0];
    } else {
      close(received[i]);
    }
  }
  return true;
}

bool WriteMessage(int socket, std::string_view message) {
  const std::string framed = FramedMessage(message);
  return SendAll(socket, framed.data(), framed.size());
}

int ServeCaptureTimes(int socket, const FileReader& read) {
  if (!WriteMessage(socket, kReadyMessage)) return 1;
  int fd = -1;
  while (ReceiveFile(socket, &fd)) {
    std::optional<CapturedMoment> moment;
    if (fd >= 0) {
      moment = read(fd);
      close(fd);
    }
    if (!WriteMessage(socket, AnswerText(moment))) return 1;
  }
  return 0;
}

}  // namespace tokiren::media
