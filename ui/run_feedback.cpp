// The window's feedback during a run or a Reset.
#include "ui/run_feedback.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

#include "ui/strings.h"

namespace tokiren::ui {
namespace {

// A run shorter than this shows no progress display.
constexpr qint64 kProgressDelayMs = 400;
constexpr int kProgressSteps = 1000;

// A progress display that cannot be closed or cancelled: a run goes to its end.
class RunProgressDialog final : public QProgressDialog {
 public:
  explicit RunProgressDialog(QWidget* parent) : QProgressDialog(parent) {
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setLabelText(QString::fromUtf8(kRunning));
    setCancelButton(nullptr);
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(0);
    setAutoReset(false);
    setAutoClose(false);
  }

 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Escape) QProgressDialog::keyPressEvent(event);
  }
};

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

RunFeedback::RunFeedback(QWidget* window, Dialogs& dialogs, Errors errors)
    : window_(window), dialogs_(dialogs), errors_(errors) {
  clock_.start();
}

RunFeedback::~RunFeedback() { delete progress_; }

void RunFeedback::ShowError(const ErrorReport& report) {
  if (errors_ == Errors::kShowEach) {
    dialogs_.ShowMessage(QMessageBox::Warning, FromUtf8(report.title), FromUtf8(report.text));
  } else if (!haveFirst_) {
    haveFirst_ = true;
    first_ = report;
  } else {
    ++more_;
  }
}

void RunFeedback::Progress(Phase phase, std::uint64_t done, std::uint64_t total) {
  if (!progress_) {
    if (clock_.elapsed() < kProgressDelayMs) return;
    progress_ = new RunProgressDialog(window_);
    progress_->show();
  }
  if (phase == Phase::kCollecting || total == 0) {
    progress_->setRange(0, 0);  // a busy display while the count is unknown
  } else {
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(static_cast<int>(done * kProgressSteps / total));
  }
  // The display is window-modal, so the window itself takes no input meanwhile.
  QCoreApplication::processEvents();
}

void RunFeedback::Finish(const QString& note) {
  delete progress_;
  if (!haveFirst_) {
    if (!note.isEmpty()) dialogs_.ShowMessage(QMessageBox::Information, QString(), note);
    return;
  }
  QString text = FromUtf8(first_.text);
  if (more_ > 0) {
    text += QStringLiteral("\r\n") + QString::fromUtf8(kMoreResetFailures).arg(more_);
  }
  if (!note.isEmpty()) text += QStringLiteral("\r\n") + note;
  dialogs_.ShowMessage(QMessageBox::Warning, FromUtf8(first_.title), text);
  haveFirst_ = false;
}

}  // namespace tokiren::ui
