// What a window shows while the engine works: the progress display of a long run or Reset, and the
// engine's error messages, each run's way.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/engine.h"
#include "ui/behaviour/outcomes.h"
#include "ui/behaviour/view.h"

namespace tokiren::behaviour {

// A run or Reset shorter than this shows no progress display.
inline constexpr std::chrono::milliseconds kProgressDelay{400};
// The progress display is updated at most this often: a few times a second.
inline constexpr std::chrono::milliseconds kProgressInterval{200};

class RunReports final : public EngineSink {
 public:
  enum class Errors {
    kShowEach,      // a run: it stops at its first error
    kShowFirstOnly  // a Reset: one box for the first failure, with how many more there were
  };

  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  enum class Cancel {
    kNotOffered,  // a run or Reset goes to its end
    kOffered,     // a preview: the progress display has a cancel button, and Cancelled asks it
  };

  RunReports(View& view, Errors errors, std::chrono::milliseconds progressDelay = kProgressDelay,
             Clock clock = std::chrono::steady_clock::now, Cancel cancel = Cancel::kNotOffered);
  ~RunReports() override;
  RunReports(const RunReports&) = delete;
  RunReports& operator=(const RunReports&) = delete;

  // The box shows the report's text and, on a line below, its detail when it has one.
  void ShowError(const ErrorReport& report) override;
  // Opens the progress display once the delay has passed since the start, and updates it, at once
  // when the phase changes, otherwise at most every kProgressInterval; while files are still being
  // collected the display is a busy one.
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override;
  // Kept for the details of the message at the end (see Details).
  void FileDone(const FileReport& file) override;
  void LineNotFound(std::string_view oldPath, std::string_view newPath) override;
  // Whether the user cancelled the progress display, where cancelling is offered.
  bool Cancelled() override;
  // Called as often as the work allows between the engine's reports (see TickingFileSystem): opens
  // the progress display once the delay has passed, busy until the engine has reported, and shows
  // the latest report again every kProgressInterval, so that the display moves and is repainted
  // while the engine works on towards its next report.
  void Tick();

  // Closes the progress display and shows what was held back, with `note` as its last line; a
  // note alone is shown in a box of its own, with the information icon. Either box carries the
  // details kept.
  void Finish(const std::string& note = {});

  // The details kept so far, as a message shows them.
  std::string DetailsText() const { return details_.Text(); }

 private:
  void HideProgress();
  // Shows the latest report when the delay has passed and, unless `now` is asked for, the interval
  // since the last update.
  void Update(bool now);

  View& view_;
  const Errors errors_;
  const Clock clock_;
  const std::chrono::steady_clock::time_point start_;
  const std::chrono::milliseconds progressDelay_;
  const Cancel cancel_;
  std::chrono::steady_clock::time_point lastUpdate_;
  bool showingProgress_ = false;
  std::uint64_t done_ = 0;   // the latest report, as shown: 0 of 0 is the busy display
  std::uint64_t total_ = 0;
  bool reported_ = false;
  Phase phase_ = Phase::kCollecting;
  bool haveFirst_ = false;
  ErrorReport first_;
  std::uint64_t more_ = 0;
  Details details_;
};

}  // namespace tokiren::behaviour
