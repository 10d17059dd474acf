// tokiren-media-helper.exe: reads capture times for the pool (helper_pool.h), one handed-over file
// at a time, on its standard input and output (helper_protocol.h). Started by the window and
// tokiren-cli through the pool only (helper_process.h), already in its job and with a token that
// can open nothing; its first thread impersonates a loading token, which it drops before it takes
// the first file. Ends at once when it cannot drop it.
#include <windows.h>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

// Whether the thread now runs with the process's own token, which opens nothing.
bool DropInitialToken() {
  if (!RevertToSelf()) return false;
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    CloseHandle(token);
    return false;
  }
  return GetLastError() == ERROR_NO_TOKEN;
}

}  // namespace

int main() {
  tokiren::media::EndHelperOnCrash();
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  tokiren::media::InitializeMetadataLibraries();
  if (!DropInitialToken()) return 1;
  return tokiren::media::ServeCaptureTimes(in, out, tokiren::media::ReadCaptureTime);
}
