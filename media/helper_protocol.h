// The exchange between the pool and tokiren-media-helper over a Unix stream socket, which the
// helper has as its standard input and output.
//   pool -> helper: one request is exactly one byte, 'F', sent with exactly one open descriptor
//                   (SCM_RIGHTS) of the file to read. The helper opens nothing itself.
//   helper -> pool: a 4-byte length in host byte order (both ends run on one machine), then that
//                   many bytes of answer text (AnswerText).
// The helper's first message, before any answer, is kReadyMessage: it is loaded and sealed, so
// the pool's time limit for a file starts there, not at the helper's start. It then answers each
// request before it takes the next; answers come in the order asked.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/capture_time.h"

namespace tokiren::media {

inline constexpr size_t kMaxAnswerMessage = 64;
inline constexpr size_t kLengthBytes = 4;
inline constexpr std::string_view kReadyMessage = "R";

// Sends one request: the byte 'F' with a copy of `fd`. False when the other end is gone. Never
// raises SIGPIPE.
bool SendFile(int socket, int fd);

// Takes one request, waiting for it. False at the end of the stream or on an error. Otherwise
// `*fd` is the descriptor that came with it (close-on-exec, the caller's to close), or -1 when the
// byte came without one, was not 'F', or its control message was cut short. Descriptors beyond
// the first are closed.
bool ReceiveFile(int socket, int* fd);

// Writes one whole message; false when the other end is gone. Never raises SIGPIPE.
bool WriteMessage(int socket, std::string_view message);

// Takes the first whole message off the front of `buffer` (bytes received so far). Nothing when
// none is complete yet; `malformed` is set when the length announced exceeds `limit`.
std::optional<std::string> TakeMessage(std::string* buffer, size_t limit, bool* malformed);

// The answer for a file: empty when it has no capture time; "W" and the 14 stamp digits
// "YYYYMMDDhhmmss" for the camera's wall clock; "U" and 14 digits for a UTC moment.
std::string AnswerText(const std::optional<CapturedMoment>& moment);

// The moment an answer text gives; nothing unless the text has exactly the shape above and its
// digits are a real moment.
std::optional<CapturedMoment> FromAnswerText(std::string_view text);

// Reads the capture time of the open file `fd`, which it must not close.
using FileReader = std::function<std::optional<CapturedMoment>(int fd)>;

// The helper's loop on `socket`: says it is ready, then takes each request, answers it with read(fd) (an empty answer
// for a request without a descriptor) and closes the descriptor, until the pool closes its end.
// Returns the helper's exit status.
int ServeCaptureTimes(int socket, const FileReader& read);

}  // namespace tokiren::media
