// A file's bytes, read through the open file handed to the helper only (never a path): mapped
// read-only where the system can, otherwise its first kMaxReadBytes copied.
//   POSIX: the descriptor's size by seeking to its end (the sealed helper may not stat), then a
//     private read-only mapping, which costs nothing against RLIMIT_DATA however large the file
//     and works where the file system bypasses the page cache (FUSE direct I/O) too. A file
//     truncated by another process while mapped raises SIGBUS on the next access past its new
//     end: that ends the helper, which the pool counts as that file's failure alone.
//   Windows: the HANDLE's size (GetFileSizeEx), then a read-only section of it mapped
//     (CreateFileMappingW, MapViewOfFile), which counts against no job's memory limit either. A
//     file cut short while mapped raises an in-page error on access: it ends the helper alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tokiren::media {

// What is read when a file cannot be mapped: every header the readers look at sits near the
// start, and the copy counts against the helper's memory limit.
inline constexpr size_t kMaxReadBytes = size_t{64} << 20;
// exiv2 tells every still format it knows from this many first bytes.
inline constexpr size_t kFileHeadBytes = 1024;

class FileBytes {
 public:
  // `file`: the descriptor (POSIX) or HANDLE (Windows), left open. Empty when nothing can be read.
  explicit FileBytes(std::intptr_t file);
  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  const std::uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  std::string_view Head() const {
    return {reinterpret_cast<const char*>(data_), size_ < kFileHeadBytes ? size_ : kFileHeadBytes};
  }

 private:
  void* mapping_ = nullptr;  // the mapped view, when mapped
  std::vector<std::uint8_t> copy_;
  const std::uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace tokiren::media
