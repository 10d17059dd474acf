// Drives the window headlessly through a RUN on a tree, as a person would click it, and prints how
// long the RUN took and how often the progress display was painted meanwhile:
//   window-run FOLDER PROGRAM_FOLDER    ->  "seconds=1.234 updates=42"
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "ui/qt/tokiren_window.h"

namespace {

class ScriptedDialogs final : public tokiren::ui::Dialogs {
 public:
  explicit ScriptedDialogs(QString folder) : folder_(std::move(folder)) {}
  void ShowMessage(QMessageBox::Icon, const QString& title, const QString& text,
                   const QString&) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  QString ChooseFolder(const QString&) override { return folder_; }

 private:
  QString folder_;
};

// Counts the paints of the progress display.
class PaintCounter final : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        qobject_cast<QProgressDialog*>(static_cast<QWidget*>(watched)->window())) {
      ++paints;
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window-run FOLDER PROGRAM_FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  ScriptedDialogs dialogs(QString::fromLocal8Bit(argv[1]));
  std::string programFolder = argv[2];
  if (programFolder.back() != '/') programFolder += '/';
  tokiren::ui::Tokiren window(programFolder, &dialogs);
  window.show();
  const tokiren::ui::Controls& c = window.controls();
  c.Text1->setText(QStringLiteral("jpg"));
  QTest::mouseClick(c.Command3, Qt::LeftButton);
  c.List1->findItems(QStringLiteral(".JPG"), Qt::MatchExactly).front()->setCheckState(Qt::Checked);
  QTest::mouseClick(c.Command7, Qt::LeftButton);

  PaintCounter counter;
  application.installEventFilter(&counter);
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(c.Command1, Qt::LeftButton);
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::printf("seconds=%.3f updates=%d\n", seconds, counter.paints);
  return 0;
}
