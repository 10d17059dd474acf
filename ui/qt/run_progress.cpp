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
  explicit RunProgressDialog(QWidget* parent) : QProgressDialog(parent) {
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setLabelText(QString::fromUtf8(kRunning));
    setCancelButton(nullptr);
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(0);
    setAutoReset(false);
    setAutoClose(false);
    // The dialog sizes itself after its label and bar, narrower than the title bar needs.
    setMinimumWidth(TitleBarWidth(*this));
  }

 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Escape) QProgressDialog::keyPressEvent(event);
  }
};

}  // namespace

void RunProgress::Show(std::uint64_t done, std::uint64_t total) {
  if (!progress_) {
    progress_ = new RunProgressDialog(window_);
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

void RunProgress::Hide() { delete progress_; }

}  // namespace tokiren::ui
