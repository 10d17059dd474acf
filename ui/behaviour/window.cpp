// The main window's behaviour.
#include "ui/behaviour/window.h"

#include "engine/extension_entry.h"
#include "ui/behaviour/extension_list.h"
#include "ui/behaviour/outcomes.h"
#include "ui/behaviour/preview.h"
#include "ui/behaviour/run_reports.h"
#include "ui/behaviour/shift.h"
#include "ui/behaviour/strings.h"
#include "ui/behaviour/ticking_file_system.h"

namespace tokiren::behaviour {
namespace {

// What the user is told of an extension the list refuses.
std::string RefusalText(ExtensionFault fault) {
  switch (fault) {
    case ExtensionFault::kEmpty:
      return kExtensionEmpty;
    case ExtensionFault::kForbiddenCharacter:
      return kExtensionForbidden;
    case ExtensionFault::kTooLong:
      return WithNumber(kExtensionTooLong, kLongestExtensionEntry);
    case ExtensionFault::kNone:
      break;
  }
  return {};
}

std::string WithSeparator(std::string path) {
  if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

// "D:\", a drive's root on Windows: without its separator, "D:" names the drive's current folder.
bool IsDriveRoot(const std::string& path) {
  return kPathSeparator == '\\' && path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

// What a preview's plan reports: its files become the preview's rows; errors and progress go to
// the window's reports. A close asked for meanwhile ends the plan, as cancelling does.
class PreviewSink final : public EngineSink {
 public:
  PreviewSink(RunReports& reports, Preview& preview, const bool& closeAsked)
      : reports_(reports), preview_(preview), closeAsked_(closeAsked) {}

  void ShowError(const ErrorReport& report) override { reports_.ShowError(report); }
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override {
    reports_.Progress(phase, done, total);
  }
  void FileDone(const FileReport& file) override { preview_.Add(file); }
  bool Cancelled() override { return closeAsked_ || reports_.Cancelled(); }

 private:
  RunReports& reports_;
  Preview& preview_;
  const bool& closeAsked_;
};

}  // namespace

std::string UnqualifyPath(const std::string& spath) {
  if (spath.size() > 1 && spath.back() == kPathSeparator && !IsDriveRoot(spath)) {
    return spath.substr(0, spath.size() - 1);
  }
  return spath;
}

std::string FirstDroppedFolder(const std::vector<DroppedItem>& items) {
  if (items.empty() || !items.front().folder) return {};
  return items.front().path;
}

std::optional<RunOptions> RunOptionsFrom(const OptionControls& controls,
                                         const std::vector<ExtensionEntry>& extensions) {
  const std::optional<std::int64_t> shift = ShiftFromTyped(controls.Text2);
  if (!shift) return std::nullopt;
  RunOptions options;
  options.separator = controls.CheckSep;
  options.countUp = controls.Check1;
  options.timeSource = controls.Option3   ? TimeSource::kTaken
                       : controls.Option2 ? TimeSource::kCreation
                                          : TimeSource::kLastWrite;
  options.companions = controls.Check2;
  options.clockShift = *shift;
  options.extensions = extensions;
  return options;
}

std::string FinishedMessage(const RunSummary& summary) {
  std::string finished = kFinished;
  if (!summary.error.ok()) finished += kLineEnd + WithNumber(kStoppedAfter, summary.renamed);
  if (summary.notTaken > 0) finished += kLineEnd + WithNumber(kNotTaken, summary.notTaken);
  if (summary.unreadable > 0) {
    finished += kLineEnd + WithNumber(kUnreadableTimes, summary.unreadable);
  }
  const std::string counts = CountsLine(summary);
  if (!counts.empty()) finished += kLineEnd + counts;
  return finished;
}

Window::Window(View& view, std::string appPath, CaptureTimeReaderMaker makeCaptureTimes)
    : AppPath(WithSeparator(std::move(appPath))),
      view_(view),
      makeCaptureTimes_(std::move(makeCaptureTimes)),
      settings_(SystemFileSystem(), AppPath) {}

void Window::Start() {
  view_.SetFolderButtonEnabled(false);
  AddEntry(std::string(kAllFilesEntry));
  std::vector<std::string> extensions;
  ErrorCode error = settings_.LoadExtensionList(&extensions);
  if (!error.ok()) {
    ReportSettingsFailure(kSettingsReadFailed, settings_.ExtensionListPath(), error);
  }
  for (const std::string& text : extensions) AddEntry(text);  // as saved, duplicates too
  error = settings_.LoadKeptFolder(&DefaultPath);
  if (!error.ok()) ReportSettingsFailure(kSettingsReadFailed, settings_.KeptFolderPath(), error);
  FrameStartDisp();
}

void Window::FrameStartDisp() { view_.ShowPanel(Panel::kStart); }
void Window::FrameRunningDisp() { view_.ShowPanel(Panel::kRunning); }
void Window::FrameOptionsDisp() { view_.ShowPanel(Panel::kOptions); }

void Window::OptionsClicked() { FrameOptionsDisp(); }
void Window::SetClicked() { FrameStartDisp(); }
void Window::BackClicked() { FrameStartDisp(); }

void Window::AddEntry(const std::string& text) {
  const int row = ListRowFor(List1_, text);
  List1_.insert(List1_.begin() + row, ExtensionEntry{text, false});
  view_.InsertExtension(row, text);
}

void Window::AddClicked(const std::string& typed) {
  const TypedExtension read = ExtensionFromTyped(typed);
  if (read.fault != ExtensionFault::kNone) {
    view_.ShowMessage(MessageIcon::kWarning, kExtensionTitle, RefusalText(read.fault), {});
  } else if (!HasEntry(List1_, read.entry)) {
    AddEntry(read.entry);
    SaveExtensionList();
  }
  view_.SelectTypedExtension();
}

bool Window::MayRemoveExtension(int row) const {
  return row >= 0 && row < static_cast<int>(List1_.size()) && List1_[row].text != kAllFilesEntry;
}

void Window::RemoveClicked(int row) {
  if (!MayRemoveExtension(row)) return;
  List1_.erase(List1_.begin() + row);
  view_.RemoveExtension(row);
  view_.SetFolderButtonEnabled(AnyChecked(List1_));
  SaveExtensionList();
}

void Window::ExtensionChecked(int row, bool checked) {
  if (row < 0 || row >= static_cast<int>(List1_.size())) return;
  List1_[row].checked = checked;
  view_.SetFolderButtonEnabled(AnyChecked(List1_));
}

void Window::SaveExtensionList() {
  const ErrorCode error = settings_.SaveExtensionList(SavedEntries(List1_));
  if (!error.ok()) {
    ReportSettingsFailure(kSettingsWriteFailed, settings_.ExtensionListPath(), error);
  }
}

void Window::ReportSettingsFailure(const char* what, const std::string& path, ErrorCode error) {
  if (!reportedFiles_.insert(path).second) return;
  const std::string text =
      what + (kLineEnd + path) + kLineEnd + std::string(ErrorMessageText(error));
  view_.ShowMessage(MessageIcon::kWarning, kSettingsTitle, text, {});
}

void Window::FolderClicked() {
  ChooseFolder();
  ShowChosenFolder();
}

void Window::ChooseFolder() { SelectedPath = view_.ChooseFolder(UnqualifyPath(DefaultPath)); }

void Window::FolderDropped(const std::vector<DroppedItem>& items) {
  const std::string folder = FirstDroppedFolder(items);
  if (folder.empty()) return;  // the drop is refused; the choice stays as it was
  SelectedPath = folder;
  ShowChosenFolder();
}

void Window::ShowChosenFolder() {
  if (SelectedPath.empty()) return;
  SelectedPath = WithSeparator(SelectedPath);
  view_.SetFolderLabel(SelectedPath);
  FrameRunningDisp();
}

void Window::KeepFolderClicked() {
  const ErrorCode error = settings_.SaveKeptFolder(SelectedPath);
  if (!error.ok()) ReportSettingsFailure(kSettingsWriteFailed, settings_.KeptFolderPath(), error);
  if (!AppPath.empty()) DefaultPath = SelectedPath;
}

std::optional<RunOptions> Window::ReadOptions(const OptionControls& options) {
  std::optional<RunOptions> read = RunOptionsFrom(options, List1_);
  if (!read) {
    view_.ShowMessage(MessageIcon::kWarning, kShiftTitle, WithText(kShiftNotAnOffset, options.Text2),
                      {});
  }
  return read;
}

std::unique_ptr<CaptureTimeReader> Window::PrepareRun(RenameJob& job, RunOptions options) {
  job.SelectedPath = SelectedPath;
  job.AppPath = AppPath;
  job.ProtectedFiles = ProgramOwnFiles(AppPath);
  job.options = std::move(options);
  std::unique_ptr<CaptureTimeReader> captureTimes;
  if (job.options.timeSource == TimeSource::kTaken && OffersTaken()) {
    captureTimes = makeCaptureTimes_();
    job.captureTimes = captureTimes.get();
  }
  return captureTimes;
}

void Window::RunClicked(const OptionControls& controls) {
  std::optional<RunOptions> options = ReadOptions(controls);
  if (!options) return;
  busy_ = true;
  RunSummary summary;
  std::string details;
  {
    RunReports reports(view_, RunReports::Errors::kShowEach, progressDelay);
    TickingFileSystem fileSystem(SystemFileSystem(), [&reports] { reports.Tick(); });
    RenameJob job(fileSystem, reports);
    const std::unique_ptr<CaptureTimeReader> captureTimes = PrepareRun(job, std::move(*options));
    summary = job.Run();
    reports.Finish();
    details = reports.DetailsText();
  }
  busy_ = false;
  view_.ShowMessage(MessageIcon::kInformation, {}, FinishedMessage(summary), details);
  FrameStartDisp();
  CloseIfAsked();
}

void Window::PreviewClicked(const OptionControls& controls) {
  std::optional<RunOptions> options = ReadOptions(controls);
  if (!options) return;
  busy_ = true;
  Preview preview(SelectedPath, options->clockShift);
  RunSummary summary;
  {
    RunReports reports(view_, RunReports::Errors::kShowEach, progressDelay,
                       std::chrono::steady_clock::now, RunReports::Cancel::kOffered);
    PreviewSink sink(reports, preview, closeWhenDone_);
    TickingFileSystem fileSystem(SystemFileSystem(), [&reports] { reports.Tick(); });
    RenameJob job(fileSystem, sink);
    const std::unique_ptr<CaptureTimeReader> captureTimes = PrepareRun(job, std::move(*options));
    summary = job.Run(RunMode::kDryRun);
    reports.Finish();
  }
  busy_ = false;
  // An error has been shown in its own box; a cancelled plan shows nothing.
  if (summary.error.ok() && !summary.cancelled) view_.ShowPreview(preview);
  CloseIfAsked();
}

void Window::ResetClicked() {
  busy_ = true;
  {
    RunReports reports(view_, RunReports::Errors::kShowFirstOnly, progressDelay);
    TickingFileSystem fileSystem(SystemFileSystem(), [&reports] { reports.Tick(); });
    RenameJob job(fileSystem, reports);
    job.AppPath = AppPath;
    const ResetSummary summary = job.Reset();
    reports.Finish(summary.notFound == 0 ? std::string()
                                         : WithNumber(kResetNotFound, summary.notFound));
  }
  busy_ = false;
  CloseIfAsked();
}

bool Window::MayClose() {
  if (!busy_) return true;
  closeWhenDone_ = true;
  return false;
}

void Window::CloseIfAsked() {
  if (closeWhenDone_) view_.Close();
}

}  // namespace tokiren::behaviour
