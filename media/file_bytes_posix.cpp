// A file's bytes through its descriptor: mmap, or pread. Generic POSIX.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "media/file_bytes.h"

namespace tokiren::media {

FileBytes::FileBytes(std::intptr_t file) {
  const int fd = static_cast<int>(file);
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end <= 0) return;
  const auto size = static_cast<size_t>(end);
  void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping != MAP_FAILED) {
    mapping_ = mapping;
    data_ = static_cast<const std::uint8_t*>(mapping);
    size_ = size;
    return;
  }
  copy_.resize(std::min(size, kMaxReadBytes));
  size_t done = 0;
  while (done < copy_.size()) {
    const ssize_t got = pread(fd, copy_.data() + done, copy_.size() - done,
                              static_cast<off_t>(done));
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  copy_.resize(done);
  data_ = copy_.data();
  size_ = done;
}

FileBytes::~FileBytes() {
  if (mapping_ != nullptr) munmap(mapping_, size_);
}

}  // namespace tokiren::media
