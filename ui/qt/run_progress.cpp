// The progress display.
#include "ui/qt/run_progress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "ui/behaviour/captions.h"
#include "ui/qt/title_bar.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

constexpr int kProgressSteps = 1000;

// The display stays open until the work has ended, even once cancelled: while it is open the
// window takes no input. Cancelling (its button, Escape or its title bar's close) only asks the
// work to end, and disables the button.
class RunProgressDialog final : public QProgressDialog {
 public:
  RunProgressDialog(QWidget* parent, bool cancellable) : QProgressDialog(parent) {
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setLabelText(QString::fromUtf8(kRunning));
    if (cancellable) {
      cancel_ = new QPushButton(QString::fromUtf8(kCancelCaption), this);
      setCancelButton(cancel_);
      // In place of QProgressDialog's own cancel, which would hide the display at once.
      disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
      connect(this, &QProgressDialog::canceled, this, [this] { AskToCancel(); });
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

  bool cancelAsked() const { return cancelAsked_; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    AskToCancel();
    event->ignore();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      AskToCancel();
      return;
    }
    QProgressDialog::keyPressEvent(event);
  }

 private:
  void AskToCancel() {
    if (!cancel_) return;
    cancelAsked_ = true;
    cancel_->setEnabled(false);
  }

  QPushButton* cancel_ = nullptr;
  bool cancelAsked_ = false;
};

}  // namespace

void RunProgress::Show(std::uint64_t done, std::uint64_t total, bool cancellable) {
  if (!progress_) {
    progress_ = new RunProgressDialog(window_, cancellable);
    progress_->show();
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

bool RunProgress::Cancelled() const {
  return progress_ && static_cast<const RunProgressDialog*>(progress_.data())->cancelAsked();
}

void RunProgress::Hide() { delete progress_; }

}  // namespace tokiren::ui
