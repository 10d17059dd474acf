// The messages between the pool and tokiren-media-helper over a Unix stream socket. Each message
// is a 4-byte length in host byte order (both ends run on one machine), then that many bytes.
//   pool -> helper: a path.
//   helper -> pool: the capture time as 14 stamp digits "YYYYMMDDhhmmss", or an empty message
//                   when the file has none.
// The helper answers each path before it reads the next; answers come in the order asked.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tokiren::media {

inline constexpr size_t kMaxPathMessage = 64 * 1024;
inline constexpr size_t kMaxAnswerMessage = 64;
inline constexpr size_t kLengthBytes = 4;

// Writes one whole message; false when the other end is gone. Never raises SIGPIPE.
bool WriteMessage(int socket, std::string_view message);

// Reads one whole message, waiting for it; false at the end of the stream, on an error, or when
// the length announced exceeds `limit`.
bool ReadMessage(int socket, std::string* message, size_t limit);

// Takes the first whole message off the front of `buffer` (bytes received so far). Nothing when
// none is complete yet; `malformed` is set when the length announced exceeds `limit`.
std::optional<std::string> TakeMessage(std::string* buffer, size_t limit, bool* malformed);

// The helper's loop on `socket`: reads paths and answers each with read(path), until the pool
// closes its end. Returns the helper's exit status.
int ServeCaptureTimes(int socket,
                      const std::function<std::optional<LocalTime>(const std::string&)>& read);

// Caps the helper's address space at `bytes` (RLIMIT_AS), so a parser that runs away with memory
// fails its allocation instead of taking the machine's. Left alone under AddressSanitizer, which
// reserves far more address space than it uses.
void LimitAddressSpace(size_t bytes);

}  // namespace tokiren::media
