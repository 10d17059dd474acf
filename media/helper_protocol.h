// The exchange between the pool and tokiren-media-helper, over its standard input and output.
//   pool -> helper: one request per file, the open file itself handed over. The helper opens
//                   nothing itself.
//                   POSIX: a Unix stream socket; a request is exactly one byte, 'F', sent with
//                   exactly one open descriptor (SCM_RIGHTS) of the file.
//                   Windows: two anonymous pipes; the pool duplicates the file's handle into the
//                   helper (DuplicateHandle), and a request is the byte 'F' followed by that
//                   handle's 8-byte value in host byte order.
//   helper -> pool: a 4-byte length in host byte order (both ends run on one machine), then that
//                   many bytes of answer text (AnswerText).
// The helper's first message, before any answer, is kReadyMessage: it is loaded and sealed, so
// the pool's time limit for a file starts there, not at the helper's start. It then answers each
// request before it takes the next; answers come in the order asked.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/capture_time.h"

namespace tokiren::media {

// Room for the longest answer, "W", 14 digits, "." and 9 digits, and to spare.
inline constexpr size_t kMaxAnswerMessage = 64;
inline constexpr size_t kLengthBytes = 4;
inline constexpr std::string_view kReadyMessage = "R";

// Reads the capture time of the open file `file` (a descriptor, or a HANDLE on Windows), which it
// must not close.
using FileReader = std::function<std::optional<CapturedMoment>(std::intptr_t file)>;

// `message` with its length before it, as it goes over the wire.
std::string FramedMessage(std::string_view message);

// Takes the first whole message off the front of `buffer` (bytes received so far). Nothing when
// none is complete yet; `malformed` is set when the length announced exceeds `limit`.
std::optional<std::string> TakeMessage(std::string* buffer, size_t limit, bool* malformed);

// The answer for a file: empty when it has no capture time; "W" and the 14 stamp digits
// "YYYYMMDDhhmmss" for the camera's wall clock; "U" and 14 digits for a UTC moment. A fraction of
// a second follows as "." and its 1 to 9 digits, the fewest that say it ("W20160830124842.5" for
// half a second past); a fraction of a billion or more is none and is left out.
std::string AnswerText(const std::optional<CapturedMoment>& moment);

// The moment an answer text gives; nothing unless the text has exactly the shape above and its
// digits are a real moment. A text without a fraction gives a moment without one.
std::optional<CapturedMoment> FromAnswerText(std::string_view text);

// POSIX (helper_protocol_posix.cpp).

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

// The helper's loop on `socket`: says it is ready, then takes each request, answers it with read(fd) (an empty answer
// for a request without a descriptor) and closes the descriptor, until the pool closes its end.
// Returns the helper's exit status.
int ServeCaptureTimes(int socket, const FileReader& read);

// Windows (helper_protocol_win32.cpp). Pipe ends are HANDLEs.

// Sends one request: `remoteHandle`, the value of a handle already duplicated into the helper.
// False when the helper is gone.
bool SendHandle(void* pipe, std::uint64_t remoteHandle);

// Writes one whole message on a pipe; false when the other end is gone.
bool WriteMessage(void* pipe, std::string_view message);

// The helper's loop: says it is ready on `out`, then takes each request from `in`, answers it
// with read(handle) and closes the handle, until the pool closes its end of `in`. A request whose
// value names no file of this process gets an empty answer. Returns the helper's exit status.
int ServeCaptureTimes(void* in, void* out, const FileReader& read);

// For the helper, first thing: no dialog of the system's ever waits on a user, and a crash ends
// the process at once (no debugger is started), which the pool counts as the file's failure.
void EndHelperOnCrash();

}  // namespace tokiren::media
