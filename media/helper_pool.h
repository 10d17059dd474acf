// The capture-time reader the front ends hand the engine: a small pool of tokiren-media-helper
// processes that read the files' metadata, so that a parser crashing, hanging or running away
// with memory on a damaged or crafted file costs that one file its capture time, never the run.
// POSIX processes and sockets; links no metadata library itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "engine/capture_time.h"

namespace tokiren::media {

struct HelperPoolOptions {
  std::string helperPath;  // the helper executable
  int helpers = 2;
  // A file whose answer takes longer costs its helper (killed and started again) and gets none.
  std::chrono::milliseconds fileTimeLimit{5000};
  // How many expected files the helpers may read ahead of the one asked for.
  std::size_t readAhead = 256;
};

// The helper beside the running executable (tokiren-media-helper in the same folder).
std::string HelperBesideProgram();

class HelperPool final : public CaptureTimeReader {
 public:
  explicit HelperPool(HelperPoolOptions options);
  ~HelperPool() override;
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;

  // Starts reading `paths` ahead, in parallel; helpers still busy with an earlier list are
  // stopped. The helpers start with the first file and stay until the pool goes.
  void Expect(const std::vector<std::string>& paths) override;

  // The answer for `path`, exactly what reading the files one by one in order would give. Paths
  // are asked in the expected order; one that skips some is fine, one never expected is read on
  // its own. Nothing as well when the helper crashed, hung or failed to start on this file.
  std::optional<LocalTime> CaptureTime(const std::string& path) override;

  // Helpers lost to a crash or the time limit so far (each started again when needed).
  int lostHelpers() const { return lostHelpers_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class State { kWaiting, kSent, kAnswered };
  struct Helper {
    pid_t pid = -1;
    int socket = -1;
    std::deque<std::size_t> inFlight;  // indices asked, oldest (being read now) first
    std::size_t inFlightBytes = 0;
    Clock::time_point headSince;       // when the oldest in flight began to be read
    std::string received;              // bytes of answers not yet whole
  };

  bool Start(Helper& helper);
  void Stop(Helper& helper);
  // The helper crashed, hung or spoke nonsense: the file it was reading gets no answer; the
  // others it had been given are read again by whichever helper is free.
  void Lose(Helper& helper);
  void Answer(std::size_t index, std::optional<LocalTime> time);
  // Hands files up to `limit` (exclusive) to helpers with room for them.
  void Dispatch(std::size_t limit);
  // Takes in the answers that have come; with `wait`, first waits for one (or a time limit).
  void Collect(bool wait);
  void Receive(Helper& helper);

  HelperPoolOptions options_;
  std::vector<Helper> helpers_;
  std::vector<std::string> paths_;
  std::vector<State> states_;
  std::vector<std::optional<LocalTime>> answers_;
  std::deque<std::size_t> again_;  // handed out to a helper that was lost before answering
  std::size_t nextNew_ = 0;        // the first file never handed out
  std::size_t nextAsked_ = 0;      // where the search for the next asked path starts
  bool cannotStart_ = false;       // the helper executable would not start: no answers at all
  int lostHelpers_ = 0;
};

}  // namespace tokiren::media
