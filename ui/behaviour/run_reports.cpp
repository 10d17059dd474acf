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

RunReports::RunReports(View& view, Errors errors, std::chrono::milliseconds progressDelay,
                       Clock clock, Cancel cancel)
    : view_(view),
      errors_(errors),
      clock_(std::move(clock)),
      start_(clock_()),
      progressDelay_(progressDelay),
      cancel_(cancel) {}

RunReports::~RunReports() { HideProgress(); }

void RunReports::ShowError(const ErrorReport& report) {
  if (errors_ == Errors::kShowEach) {
    view_.ShowMessage(MessageIcon::kWarning, report.title, BoxText(report), {});
  } else if (!haveFirst_) {
    haveFirst_ = true;
    first_ = report;
  } else {
    ++more_;
  }
}

void RunReports::Progress(Phase phase, std::uint64_t done, std::uint64_t total) {
  const bool newPhase = !reported_ || phase != phase_;
  reported_ = true;
  phase_ = phase;
  if (phase == Phase::kCollecting) total = 0;  // the count is not known yet
  done_ = total == 0 ? 0 : done;
  total_ = total;
  Update(newPhase);
}

void RunReports::FileDone(const FileReport& file) { details_.Add(file); }

void RunReports::LineNotFound(std::string_view oldPath, std::string_view newPath) {
  details_.AddNotFound(oldPath, newPath);
}

bool RunReports::Cancelled() {
  return cancel_ == Cancel::kOffered && showingProgress_ && view_.ProgressCancelled();
}

void RunReports::Tick() { Update(false); }

void RunReports::Update(bool now) {
  const std::chrono::steady_clock::time_point time = clock_();
  if (!showingProgress_) {
    if (time - start_ < progressDelay_) return;
    showingProgress_ = true;
  } else if (!now && time - lastUpdate_ < kProgressInterval) {
    return;
  }
  lastUpdate_ = time;
  view_.ShowProgress(done_, total_, cancel_ == Cancel::kOffered);
}

void RunReports::HideProgress() {
  if (!showingProgress_) return;
  showingProgress_ = false;
  view_.HideProgress();
}

void RunReports::Finish(const std::string& note) {
  HideProgress();
  if (!haveFirst_) {
    if (!note.empty()) view_.ShowMessage(MessageIcon::kInformation, {}, note, details_.Text());
    return;
  }
  std::string text = BoxText(first_);
  if (more_ > 0) text += kLineEnd + WithNumber(kMoreResetFailures, more_);
  if (!note.empty()) text += kLineEnd + note;
  view_.ShowMessage(MessageIcon::kWarning, first_.title, text, details_.Text());
  haveFirst_ = false;
}

}  // namespace tokiren::behaviour
