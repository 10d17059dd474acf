// The progress display.
#include "ui/qt/run_progress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

#include "ui/behaviour/captions.h"
#include "ui/qt/title_bar.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

constexpr int kProgressSteps = 1000;

class RunProgressDialog final : public QProgressDialog {
 public:
  RunProgressDialog(QWidget* parent, bool cancellable)
      : QProgressDialog(parent), cancellable_(cancellable) {
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setLabelText(QString::fromUtf8(kRunning));
    if (cancellable) {
      setCancelButtonText(QString::fromUtf8(kCancelCaption));
    } else {
      setCancelButton(nullptr);
    }
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(0);
    setAutoReset(false);
    setAutoClose(false);
    // The dialog sizes itself after its label and bar, narrower than the title bar needs.
    setMinimumWidth(TitleBarWidth(*this));
  }

 protected:
  // Closing it, or Escape, cancels what may be cancelled and is refused otherwise.
  void closeEvent(QCloseEvent* event) override {
    if (cancellable_) cancel();
    event->ignore();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Escape || cancellable_) QProgressDialog::keyPressEvent(event);
  }

 private:
  const bool cancellable_;
};

}  // namespace

void RunProgress::Show(std::uint64_t done, std::uint64_t total, bool cancellable) {
  if (!progress_) {
    progress_ = new RunProgressDialog(window_, cancellable);
    progress_->show();
  }
  if (progress_->wasCanceled()) {  // hidden: the work ends at its next question
    QCoreApplication::processEvents();
    return;
  }
  if (total == 0) {
    progress_->setRange(0, 0);  // a busy display while the count is unknown
  } else {
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(static_cast<int>(done * kProgressSteps / total));
  }
  // The display is window-modal, so the window itself takes no input meanwhile.
  QCoreApplication::processEvents();
}

bool RunProgress::Cancelled() const { return progress_ && progress_->wasCanceled(); }

void RunProgress::Hide() { delete progress_; }

}  // namespace tokiren::ui
