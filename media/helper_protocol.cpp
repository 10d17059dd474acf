// The helper's messages (POSIX sockets), and the helper's side of the exchange.
#include "media/helper_protocol.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "media/capture_time_text.h"

namespace tokiren::media {
namespace {

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

bool ReceiveAll(int socket, char* data, size_t size) {
  while (size > 0) {
    const ssize_t got = recv(socket, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

bool WriteMessage(int socket, std::string_view message) {
  std::string framed(kLengthBytes, '\0');
  const auto length = static_cast<std::uint32_t>(message.size());
  std::memcpy(framed.data(), &length, kLengthBytes);
  framed.append(message);
  return SendAll(socket, framed.data(), framed.size());
}

bool ReadMessage(int socket, std::string* message, size_t limit) {
  std::uint32_t length = 0;
  if (!ReceiveAll(socket, reinterpret_cast<char*>(&length), kLengthBytes) || length > limit) {
    return false;
  }
  message->resize(length);
  return ReceiveAll(socket, message->data(), length);
}

std::optional<std::string> TakeMessage(std::string* buffer, size_t limit, bool* malformed) {
  *malformed = false;
  if (buffer->size() < kLengthBytes) return std::nullopt;
  std::uint32_t length = 0;
  std::memcpy(&length, buffer->data(), kLengthBytes);
  if (length > limit) {
    *malformed = true;
    return std::nullopt;
  }
  if (buffer->size() < kLengthBytes + length) return std::nullopt;
  std::string message = buffer->substr(kLengthBytes, length);
  buffer->erase(0, kLengthBytes + length);
  return message;
}

int ServeCaptureTimes(int socket,
                      const std::function<std::optional<LocalTime>(const std::string&)>& read) {
  std::string path;
  while (ReadMessage(socket, &path, kMaxPathMessage)) {
    const std::optional<LocalTime> time = read(path);
    if (!WriteMessage(socket, time ? StampDigits(*time) : std::string())) return 1;
  }
  return 0;
}

void LimitAddressSpace(size_t bytes) {
#ifdef TOKIREN_ADDRESS_SANITIZER
  (void)bytes;
#else
  const rlimit limit{bytes, bytes};
  setrlimit(RLIMIT_AS, &limit);
#endif
}

}  // namespace tokiren::media
