// The one owner of a POSIX file descriptor inside the platform. Generic POSIX only.
#pragma once

#include <unistd.h>

#include <utility>

namespace tokiren {

// Closes the descriptor it holds when it goes; a negative one (a failed open) is held as nothing.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // The descriptor, no longer closed here.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace tokiren
