// A file system that lets the window's progress display move between the engine's reports.
#pragma once

#include <functional>
#include <thread>
#include <utility>

#include "platform/forwarding_file_system.h"

namespace tokiren::behaviour {

// Hands every call to `base`, calling `tick` first. The engine reports its progress every few
// thousand files; its file-system calls come with every file, so a tick that looks at the clock
// (RunReports::Tick) can keep the display moving and repainted in between. Only calls made on the
// thread that made this file system tick: the display belongs to that thread.
class TickingFileSystem final : public ForwardingFileSystem {
 public:
  TickingFileSystem(FileSystem& base, std::function<void()> tick)
      : ForwardingFileSystem(base), tick_(std::move(tick)), thread_(std::this_thread::get_id()) {}

 private:
  FileSystem& Target() override {
    if (std::this_thread::get_id() == thread_) tick_();
    return base_;
  }

  const std::function<void()> tick_;
  const std::thread::id thread_;
};

}  // namespace tokiren::behaviour
