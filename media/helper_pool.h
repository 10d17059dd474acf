// The capture-time reader the front ends hand the engine: a small pool of tokiren-media-helper
// processes that read the metadata of the files the engine opened and handed over, so that a
// parser crashing, hanging or running away with memory on a damaged or crafted file costs that one
// file its capture time, never the run. The helpers get open files, never paths, and seal
// themselves (POSIX) or are started unable to (Windows) before they read one: they cannot open
// anything. How each system starts and talks to a helper: helper_process.h. Links no metadata
// library itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_time.h"
#include "media/helper_process.h"

namespace tokiren::media {

struct HelperPoolOptions {
  std::string helperPath;  // the helper executable; "" when it cannot be found (none is started)
  int helpers = 2;
  // A file whose answer takes longer costs its helper (killed and started again) and gets none.
  // Counted from the moment the helper is ready for it, never from its start.
  std::chrono::milliseconds fileTimeLimit{5000};
  // How long a helper may take from its start until it is ready (loaded and sealed).
  std::chrono::milliseconds startTimeLimit{10000};
  // How many files the engine may hand over ahead of the one it asks for: the helpers read on
  // through a batch of renames. Each is open meanwhile: never more than half of the process's
  // limit of open descriptors (POSIX), nor more than the helpers hold in flight.
  std::size_t readAhead = 256;
};

// The helper beside the running executable (tokiren-media-helper in the same folder, found
// through /proc/self/exe; tokiren-media-helper.exe on Windows); "" when the running executable
// cannot be told. Never a path relative to the working folder.
std::string HelperBesideProgram();

class HelperPool final : public CaptureTimeReader {
 public:
  explicit HelperPool(HelperPoolOptions options);
  ~HelperPool() override;
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;

  // Starts one helper and waits until it is ready; fails (kSystemNoCaptureReader) when it cannot
  // be started at all or ends before it is ready. Needed before the first Submit.
  ErrorCode Start(std::string* detail) override;
  std::size_t ReadAhead() const override { return options_.readAhead; }
  void Submit(std::uint64_t ticket, std::unique_ptr<OpenFile> file) override;
  // A helper that cannot be started while another runs is tried again later; the file fails only
  // when not one helper runs or can be started.
  ErrorCode Take(std::uint64_t ticket, std::optional<CapturedMoment>* moment) override;

  // Helpers lost to a crash or the time limit so far (each started again when needed).
  int lostHelpers() const { return lostHelpers_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class State { kWaiting, kSent, kAnswered, kUnreadable };
  struct File {
    std::unique_ptr<OpenFile> file;  // kept until answered: a lost helper's files are sent again
    State state = State::kWaiting;
    std::optional<CapturedMoment> moment;
  };
  struct Helper {
    std::unique_ptr<HelperProcess> process;  // null when not running
    bool ready = false;                // it said so once loaded and sealed
    Clock::time_point since;           // its start, until ready; then when its oldest file began
    std::deque<std::uint64_t> inFlight;  // tickets sent, oldest (being read now) first
    std::string received;              // bytes of answers not yet whole
  };

  bool Launch(Helper& helper, std::string* detail);
  void Stop(Helper& helper);
  // The helper crashed, hung or spoke nonsense: the file it was reading gets no answer; the
  // others it had been given are sent again to whichever helper is free.
  void Lose(Helper& helper);
  File* Find(std::uint64_t ticket);
  // Sends waiting files to helpers with room, starting helpers where needed.
  void Dispatch();
  // Takes in the answers that have come; with `wait`, first waits for one (or a time limit).
  void Collect(bool wait);
  void Receive(Helper& helper);
  static bool Running(const Helper& helper) { return helper.process != nullptr; }
  bool AnyRunning() const;

  HelperPoolOptions options_;
  std::vector<Helper> helpers_;
  std::deque<File> files_;  // by ticket, from firstTicket_ on
  std::uint64_t firstTicket_ = 0;
  std::deque<std::uint64_t> waiting_;  // tickets to send, in order (files sent again go first)
  int lostHelpers_ = 0;
  int failedStarts_ = 0;  // helpers in a row lost before they were ready
};

}  // namespace tokiren::media
