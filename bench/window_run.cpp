// Drives the window headlessly through a RUN, or a Preview, on a tree, as a person would click
// it, and prints how long it took:
//   window-run FOLDER PROGRAM_FOLDER            ->  "seconds=1.234 updates=42"
//     the RUN, and how often the progress display was painted meanwhile;
//   window-run FOLDER PROGRAM_FOLDER --preview  ->  "seconds=1.234 rows=100000 scroll=0.002"
//     from the click on Preview until its dialog is on the screen with its first rows painted,
//     how many rows it holds, and how long the list then takes to scroll to its end and paint.
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/qt/preview_dialog.h"
#include "ui/qt/tokiren_window.h"

namespace {

class ScriptedDialogs final : public tokiren::ui::Dialogs {
 public:
  ScriptedDialogs(QString folder, const QElapsedTimer& clock)
      : folder_(std::move(folder)), clock_(clock) {}
  void ShowMessage(QMessageBox::Icon, const QString& title, const QString& text,
                   const QString&) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  QString ChooseFolder(const QString&) override { return folder_; }
  // The real dialog, shown and painted, then scrolled to its end and closed.
  void ShowPreview(const tokiren::behaviour::Preview& preview) override {
    tokiren::ui::PreviewDialog dialog(preview, nullptr);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) std::fprintf(stderr, "not exposed\n");
    QApplication::processEvents();
    dialog.table()->viewport()->repaint();
    opened = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    rows = dialog.table()->model()->rowCount();
    QElapsedTimer scrolling;
    scrolling.start();
    dialog.table()->scrollToBottom();
    QApplication::processEvents();
    dialog.table()->viewport()->repaint();
    scrolled = static_cast<double>(scrolling.nsecsElapsed()) / 1e9;
  }

  double opened = -1, scrolled = -1;
  int rows = 0;

 private:
  QString folder_;
  const QElapsedTimer& clock_;
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
  const bool preview = argc == 4 && std::strcmp(argv[3], "--preview") == 0;
  if (argc != 3 && !preview) {
    std::fprintf(stderr, "usage: window-run FOLDER PROGRAM_FOLDER [--preview]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  QElapsedTimer clock;
  ScriptedDialogs dialogs(QString::fromLocal8Bit(argv[1]), clock);
  std::string programFolder = argv[2];
  if (programFolder.back() != '/') programFolder += '/';
  tokiren::ui::Tokiren window(programFolder, nullptr, &dialogs);  // last-write times: no reader
  window.show();
  const tokiren::ui::Controls& c = window.controls();
  c.Text1->setText(QStringLiteral("jpg"));
  QTest::mouseClick(c.Command3, Qt::LeftButton);
  c.List1->findItems(QStringLiteral(".JPG"), Qt::MatchExactly).front()->setCheckState(Qt::Checked);
  QTest::mouseClick(c.Command7, Qt::LeftButton);

  PaintCounter counter;
  application.installEventFilter(&counter);
  clock.start();
  QTest::mouseClick(preview ? c.Command9 : c.Command1, Qt::LeftButton);
  if (preview) {
    if (dialogs.opened < 0) return 1;  // no preview: an error was shown
    std::printf("seconds=%.3f rows=%d scroll=%.3f\n", dialogs.opened, dialogs.rows,
                dialogs.scrolled);
    return 0;
  }
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::printf("seconds=%.3f updates=%d\n", seconds, counter.paints);
  return 0;
}
