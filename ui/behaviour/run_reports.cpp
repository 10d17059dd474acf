// The reports of a run or a Reset.
#include "ui/behaviour/run_reports.h"

#include "ui/behaviour/strings.h"

namespace tokiren::behaviour {

RunReports::RunReports(View& view, Errors errors, std::chrono::milliseconds progressDelay)
    : view_(view),
      errors_(errors),
      start_(std::chrono::steady_clock::now()),
      progressDelay_(progressDelay) {}

RunReports::~RunReports() { HideProgress(); }

void RunReports::ShowError(const ErrorReport& report) {
  if (errors_ == Errors::kShowEach) {
    view_.ShowMessage(MessageIcon::kWarning, report.title, report.text);
  } else if (!haveFirst_) {
    haveFirst_ = true;
    first_ = report;
  } else {
    ++more_;
  }
}

void RunReports::Progress(Phase phase, std::uint64_t done, std::uint64_t total) {
  if (!showingProgress_) {
    if (std::chrono::steady_clock::now() - start_ < progressDelay_) return;
    showingProgress_ = true;
  }
  if (phase == Phase::kCollecting) total = 0;  // the count is not known yet
  view_.ShowProgress(total == 0 ? 0 : done, total);
}

void RunReports::HideProgress() {
  if (!showingProgress_) return;
  showingProgress_ = false;
  view_.HideProgress();
}

void RunReports::Finish(const std::string& note) {
  HideProgress();
  if (!haveFirst_) {
    if (!note.empty()) view_.ShowMessage(MessageIcon::kInformation, {}, note);
    return;
  }
  std::string text = first_.text;
  if (more_ > 0) text += kLineEnd + WithNumber(kMoreResetFailures, more_);
  if (!note.empty()) text += kLineEnd + note;
  view_.ShowMessage(MessageIcon::kWarning, first_.title, text);
  haveFirst_ = false;
}

}  // namespace tokiren::behaviour
