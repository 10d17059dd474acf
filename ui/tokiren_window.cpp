// The main window.
#include "ui/tokiren_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "media/capture_times.h"
#include "ui/compact_path.h"
#include "ui/extension_list.h"
#include "ui/run_feedback.h"
#include "ui/strings.h"

namespace tokiren::ui {
namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

void MoveTop(QWidget* panel, int twips) { panel->move(panel->x(), Pixels(twips)); }

}  // namespace

QString UnqualifyPath(const QString& spath) {
  const QChar separator = QLatin1Char(kPathSeparator);
  if (spath.size() > 1 && spath.endsWith(separator)) return spath.chopped(1);
  return spath;
}

Tokiren::Tokiren(std::string appPath, Dialogs* dialogs)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ownDialogs_(dialogs ? nullptr : std::make_unique<WindowDialogs>(this)),
      dialogs_(dialogs ? *dialogs : *ownDialogs_),
      settings_(SystemFileSystem(), appPath) {
  setFont(WindowFont());  // before the controls, which inherit it
  c_ = BuildControls(this, CanReadCaptureTimes());
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  QIcon icon;
  icon.addFile(QStringLiteral(":/tokiren/tokiren-32.png"));
  icon.addFile(QStringLiteral(":/tokiren/tokiren-16.png"));
  setWindowIcon(icon);

  c_.Command7->setEnabled(false);
  AddEntry(c_.List1, std::string(kAllFilesEntry));
  DefaultPath.clear();
  AppPath = std::move(appPath);
  if (!AppPath.empty() && AppPath.back() != kPathSeparator) AppPath += kPathSeparator;
  LoadSettings();
  setFixedSize(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips));
  MoveTop(c_.FrameRunning, kPanelTopTwips);
  MoveTop(c_.FrameStart, kPanelTopTwips);
  MoveTop(c_.FrameOptions, kOptionsTopTwips);
  FrameStartDisp();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  connect(c_.Command8, &QPushButton::clicked, this, [this] { FrameOptionsDisp(); });
  connect(c_.Command6, &QPushButton::clicked, this, [this] { FrameStartDisp(); });
  connect(c_.Command2, &QPushButton::clicked, this, [this] { FrameStartDisp(); });
  connect(c_.Command3, &QPushButton::clicked, this, [this] { AddExtension(); });
  connect(c_.List1, &QListWidget::itemChanged, this, [this] { UpdateFolderButton(); });
  connect(c_.Command7, &QPushButton::clicked, this, [this] {
    ChooseFolder();
    ShowChosenFolder();
  });
  connect(c_.Command7, &DropButton::folderDropped, this,
          [this](const QString& folder) { FolderDropped(folder); });
  connect(c_.Command4, &QPushButton::clicked, this, [this] { KeepFolder(); });
  connect(c_.Command1, &QPushButton::clicked, this, [this] { Run(); });
  connect(c_.Command5, &QPushButton::clicked, this, [this] { Reset(); });
}

void Tokiren::FrameStartDisp() {
  c_.FrameStart->setVisible(true);
  c_.FrameRunning->setVisible(false);
  c_.FrameOptions->setVisible(false);
}

void Tokiren::FrameRunningDisp() {
  c_.FrameStart->setVisible(false);
  c_.FrameRunning->setVisible(true);
  c_.FrameOptions->setVisible(false);
}

void Tokiren::FrameOptionsDisp() {
  c_.FrameStart->setVisible(false);
  c_.FrameRunning->setVisible(false);
  c_.FrameOptions->setVisible(true);
}

RunOptions Tokiren::CurrentOptions() const {
  RunOptions options;
  options.separator = c_.CheckSep->isChecked();
  options.countUp = c_.Check1->isChecked();
  options.timeSource = c_.Option3 && c_.Option3->isChecked() ? TimeSource::kTaken
                       : c_.Option2->isChecked()              ? TimeSource::kCreation
                                                              : TimeSource::kLastWrite;
  options.extensions = Entries(c_.List1);
  return options;
}

void Tokiren::LoadSettings() {
  std::vector<std::string> extensions;
  ErrorCode error = settings_.LoadExtensionList(&extensions);
  if (!error.ok()) {
    ReportSettingsFailure(kSettingsReadFailed, settings_.ExtensionListPath(), error);
  }
  for (const std::string& text : extensions) AddEntry(c_.List1, text);
  error = settings_.LoadKeptFolder(&DefaultPath);
  if (!error.ok()) ReportSettingsFailure(kSettingsReadFailed, settings_.KeptFolderPath(), error);
}

void Tokiren::SaveExtensionList() {
  std::vector<std::string> entries;
  for (const ExtensionEntry& entry : Entries(c_.List1)) {
    if (entry.text != kAllFilesEntry) entries.push_back(entry.text);
  }
  const ErrorCode error = settings_.SaveExtensionList(entries);
  if (!error.ok()) {
    ReportSettingsFailure(kSettingsWriteFailed, settings_.ExtensionListPath(), error);
  }
}

void Tokiren::ReportSettingsFailure(const char* what, const std::string& path, ErrorCode error) {
  if (!reportedFiles_.insert(path).second) return;
  const QString text = QString::fromUtf8(what) + QStringLiteral("\r\n") + Text(path) +
                       QStringLiteral("\r\n") + Text(std::string(ErrorMessageText(error)));
  dialogs_.ShowMessage(QMessageBox::Warning, QString::fromUtf8(kSettingsTitle), text);
}

void Tokiren::AddExtension() {
  const std::string text = NormalizeExtension(c_.Text1->text().toStdString());
  if (HasEntry(c_.List1, text)) return;
  AddEntry(c_.List1, text);
  SaveExtensionList();
}

void Tokiren::UpdateFolderButton() { c_.Command7->setEnabled(AnyChecked(c_.List1)); }

void Tokiren::ChooseFolder() {
  const QString start = UnqualifyPath(Text(DefaultPath));
  SelectedPath = dialogs_.ChooseFolder(start).toStdString();
}

void Tokiren::FolderDropped(const QString& folder) {
  SelectedPath = folder.toStdString();
  ShowChosenFolder();
}

void Tokiren::ShowChosenFolder() {
  if (SelectedPath.empty()) return;
  if (SelectedPath.back() != kPathSeparator) SelectedPath += kPathSeparator;
  CompactPathDisp(c_.Label3, Text(SelectedPath), kPathEllipsis);
  FrameRunningDisp();
}

void Tokiren::KeepFolder() {
  const ErrorCode error = settings_.SaveKeptFolder(SelectedPath);
  if (!error.ok()) ReportSettingsFailure(kSettingsWriteFailed, settings_.KeptFolderPath(), error);
  if (!AppPath.empty()) DefaultPath = SelectedPath;
}

void Tokiren::Run() {
  busy_ = true;
  RunSummary summary;
  {
    RunFeedback feedback(this, dialogs_, RunFeedback::Errors::kShowEach);
    RenameJob job(SystemFileSystem(), feedback);
    job.SelectedPath = SelectedPath;
    job.AppPath = AppPath;
    job.ProtectedFiles = ProgramOwnFiles(AppPath);
    job.options = CurrentOptions();
    std::unique_ptr<CaptureTimeReader> captureTimes;
    if (job.options.timeSource == TimeSource::kTaken) {
      captureTimes = MakeCaptureTimeReader();
      job.captureTimes = captureTimes.get();
    }
    summary = job.Run();
    feedback.Finish();
  }
  busy_ = false;
  QString finished = QString::fromUtf8(kFinished);
  if (summary.notTaken > 0) {
    finished += QStringLiteral("\r\n") + QString::fromUtf8(kNotTaken).arg(summary.notTaken);
  }
  if (summary.unreadable > 0) {
    finished +=
        QStringLiteral("\r\n") + QString::fromUtf8(kUnreadableTimes).arg(summary.unreadable);
  }
  dialogs_.ShowMessage(QMessageBox::Information, QString(), finished);
  FrameStartDisp();
  if (closeWhenDone_) close();
}

void Tokiren::Reset() {
  busy_ = true;
  {
    RunFeedback feedback(this, dialogs_, RunFeedback::Errors::kShowFirstOnly);
    RenameJob job(SystemFileSystem(), feedback);
    job.AppPath = AppPath;
    const ResetSummary summary = job.Reset();
    feedback.Finish(summary.notFound == 0
                        ? QString()
                        : QString::fromUtf8(kResetNotFound).arg(summary.notFound));
  }
  busy_ = false;
  if (closeWhenDone_) close();
}

void Tokiren::closeEvent(QCloseEvent* event) {
  if (busy_) {  // a run goes to its end; the window closes then
    closeWhenDone_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace tokiren::ui
