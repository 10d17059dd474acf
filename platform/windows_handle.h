// A Windows kernel handle owned by one object, closed when it goes (Windows only). Empty is either
// of the two values Windows calls return for no handle: null (CreateProcess, CreateJobObject,
// CreateEvent) and INVALID_HANDLE_VALUE (CreateFile).
#pragma once

#include <windows.h>

namespace tokiren {

class WindowsHandle {
 public:
  explicit WindowsHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~WindowsHandle() { Close(); }
  WindowsHandle(const WindowsHandle&) = delete;
  WindowsHandle& operator=(const WindowsHandle&) = delete;
  WindowsHandle(WindowsHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  WindowsHandle& operator=(WindowsHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // Closes what it holds and gives the place for a call that returns a handle through a pointer.
  HANDLE* out() {
    Close();
    return &handle_;
  }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

}  // namespace tokiren
