// What a window shows while the engine works: the progress display of a long run or Reset, and the
// engine's error messages, each run's way.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "ui/behaviour/view.h"

namespace tokiren::behaviour {

// A run or Reset shorter than this shows no progress display.
inline constexpr std::chrono::milliseconds kProgressDelay{400};

class RunReports final : public EngineSink {
 public:
  enum class Errors {
    kShowEach,      // a run: it stops at its first error
    kShowFirstOnly  // a Reset: one box for the first failure, with how many more there were
  };

  RunReports(View& view, Errors errors, std::chrono::milliseconds progressDelay = kProgressDelay);
  ~RunReports() override;
  RunReports(const RunReports&) = delete;
  RunReports& operator=(const RunReports&) = delete;

  // The box shows the report's text and, on a line below, its detail when it has one.
  void ShowError(const ErrorReport& report) override;
  // Opens the progress display once the delay has passed since the start, and updates it; while
  // files are still being collected the display is a busy one.
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override;

  // Closes the progress display and shows what was held back, with `note` as its last line; a
  // note alone is shown in a box of its own, with the information icon.
  void Finish(const std::string& note = {});

 private:
  void HideProgress();

  View& view_;
  const Errors errors_;
  const std::chrono::steady_clock::time_point start_;
  const std::chrono::milliseconds progressDelay_;
  bool showingProgress_ = false;
  bool haveFirst_ = false;
  ErrorReport first_;
  std::uint64_t more_ = 0;
};

}  // namespace tokiren::behaviour
