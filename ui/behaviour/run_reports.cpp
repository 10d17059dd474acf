// The reports of a run or a Reset.
#include "ui/behaviour/run_reports.h"

#include "ui/behaviour/strings.h"

namespace tokiren::behaviour {
namespace {

// The box's text: the table's message with what was being handled, then, when the system said
// more, its own words on a line below.
std::string BoxText(const ErrorReport& report) {
  if (report.detail.empty()) return report.text;
  return report.text + kLineEnd + report.detail;
}

}  // namespace

RunReports::RunReports(View& view, Errors errors, std::chrono::milliseconds progressDelay)
    : view_(view),
      errors_(errors),
      start_(std::chrono::steady_clock::now()),
      progressDelay_(progressDelay) {}

RunReports::~RunReports() { HideProgress(); }

void RunReports::ShowError(const ErrorReport& report) {
  if (errors_ == Errors::kShowEach) {
    view_.ShowMessage(MessageIcon::kWarning, report.title, BoxText(report));
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
  std::string text = BoxText(first_);
  if (more_ > 0) text += kLineEnd + WithNumber(kMoreResetFailures, more_);
  if (!note.empty()) text += kLineEnd + note;
  view_.ShowMessage(MessageIcon::kWarning, first_.title, text);
  haveFirst_ = false;
}

}  // namespace tokiren::behaviour
