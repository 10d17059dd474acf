// A tokiren-media-helper.exe that misbehaves on purpose, for the pool's tests on Windows: on a
// file whose name holds "crash-me" it crashes (an access violation), on "hang-me" it never
// answers. Every other file it reads as the real helper does. It never drops the token it was
// started with, so that it can look up the name behind each handle it is handed.
#include <windows.h>

#include <string>

#include "media/helper_protocol.h"
#include "media/metadata_reader.h"

namespace {

int* volatile nowhere = nullptr;

std::wstring NameOf(HANDLE file) {
  wchar_t name[MAX_PATH * 4];
  const DWORD length = GetFinalPathNameByHandleW(file, name, MAX_PATH * 4, FILE_NAME_NORMALIZED);
  return length > 0 && length < MAX_PATH * 4 ? std::wstring(name, length) : std::wstring();
}

std::optional<tokiren::CapturedMoment> Read(std::intptr_t file) {
  const std::wstring name = NameOf(reinterpret_cast<HANDLE>(file));
  if (name.find(L"crash-me") != std::wstring::npos) *nowhere = 1;
  if (name.find(L"hang-me") != std::wstring::npos) Sleep(INFINITE);
  return tokiren::media::ReadCaptureTime(file);
}

}  // namespace

int main() {
  tokiren::media::EndHelperOnCrash();
  tokiren::media::InitializeMetadataLibraries();
  return tokiren::media::ServeCaptureTimes(GetStdHandle(STD_INPUT_HANDLE),
                                           GetStdHandle(STD_OUTPUT_HANDLE), Read);
}
