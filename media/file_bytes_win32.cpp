// A file's bytes through its HANDLE: a read-only section mapped, or ReadFile. Win32 only.
#include <windows.h>

#include <algorithm>

#include "media/file_bytes.h"

namespace tokiren::media {

FileBytes::FileBytes(std::intptr_t file) {
  const auto handle = reinterpret_cast<HANDLE>(file);
  LARGE_INTEGER end{};
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileSizeEx(handle, &end) || end.QuadPart <= 0) {
    return;
  }
  const auto size = static_cast<size_t>(end.QuadPart);
  if (const HANDLE section = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
    // The view keeps the section alive: its handle is not needed past this point.
    void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, size);
    CloseHandle(section);
    if (view != nullptr) {
      mapping_ = view;
      data_ = static_cast<const std::uint8_t*>(view);
      size_ = size;
      return;
    }
  }
  copy_.resize(std::min(size, kMaxReadBytes));
  size_t done = 0;
  while (done < copy_.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(done);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(done) >> 32);
    DWORD got = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(copy_.size() - done, 1u << 30));
    if (!ReadFile(handle, copy_.data() + done, chunk, &got, &at) || got == 0) break;
    done += got;
  }
  copy_.resize(done);
  data_ = copy_.data();
  size_ = done;
}

FileBytes::~FileBytes() {
  if (mapping_ != nullptr) UnmapViewOfFile(mapping_);
}

}  // namespace tokiren::media
