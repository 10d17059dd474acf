// The exchange over two anonymous pipes, files handed over as handles the pool duplicated into
// the helper. Win32 only.
#include <windows.h>

#include <cstring>

#include "media/helper_protocol.h"

namespace tokiren::media {
namespace {

constexpr char kFileRequest = 'F';
constexpr size_t kHandleBytes = sizeof(std::uint64_t);
constexpr size_t kRequestBytes = 1 + kHandleBytes;

constexpr UINT kCrashed = 3;

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
  TerminateProcess(GetCurrentProcess(), kCrashed);
  return EXCEPTION_EXECUTE_HANDLER;
}

bool WriteAll(HANDLE pipe, const char* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(pipe, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool ReadAll(HANDLE pipe, char* data, size_t size) {
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, data, static_cast<DWORD>(size), &got, nullptr) || got == 0) return false;
    data += got;
    size -= got;
  }
  return true;
}

}  // namespace

bool SendHandle(void* pipe, std::uint64_t remoteHandle) {
  char request[kRequestBytes];
  request[0] = kFileRequest;
  std::memcpy(request + 1, &remoteHandle, kHandleBytes);
  return WriteAll(pipe, request, sizeof request);
}

bool WriteMessage(void* pipe, std::string_view message) {
  const std::string framed = FramedMessage(message);
  return WriteAll(pipe, framed.data(), framed.size());
}

int ServeCaptureTimes(void* in, void* out, const FileReader& read) {
  if (!WriteMessage(out, kReadyMessage)) return 1;
  char request[kRequestBytes];
  while (ReadAll(in, request, sizeof request)) {
    std::uint64_t value = 0;
    std::memcpy(&value, request + 1, kHandleBytes);
    const auto file = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
    std::optional<CapturedMoment> moment;
    // Only a file is read and closed: a value naming a pipe or nothing at all is left alone.
    if (request[0] == kFileRequest && GetFileType(file) == FILE_TYPE_DISK) {
      moment = read(static_cast<std::intptr_t>(value));
      CloseHandle(file);
    }
    if (!WriteMessage(out, AnswerText(moment))) return 1;
  }
  return 0;
}

void EndHelperOnCrash() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndOnCrash);
}

}  // namespace tokiren::media
