// The message boxes and the progress display: windows wide enough for their whole title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStyle>
#include <QTimer>

#include "ui/qt/dialogs.h"
#include "ui/qt/run_progress.h"
#include "ui/behaviour/captions.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

// The least a window manager needs to show `window`'s title whole: the title in the title-bar
// font, and the icon and three buttons about as wide as the bar is high with the frame's edges.
// (Openbox's default theme, at 96 dpi and a bar 24 pixels high, needs 101 pixels beside the title.)
int LeastWidthForTitle(const QWidget& window) {
  const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
  const int barHeight = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
  return metrics.horizontalAdvance(window.windowTitle()) + 4 * barHeight + barHeight / 2;
}

TEST(TitleTest, AMessageBoxWithAShortTextShowsItsWholeTitle) {
  QWidget owner;
  owner.show();
  WindowDialogs dialogs(&owner);
  const QString title = QStringLiteral("処理を中止します。");
  int width = 0, least = 0;
  QString shownTitle;
  // The box is modal: looked at, then closed, once it is up.
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    shownTitle = box->windowTitle();
    width = box->frameGeometry().width();
    least = LeastWidthForTitle(*box);
    box->close();
  });
  dialogs.ShowMessage(QMessageBox::Warning, title, QStringLiteral("a.jpg"), {});
  EXPECT_EQ(shownTitle, title);
  EXPECT_GE(width, least);
}

TEST(TitleTest, TheProgressDisplayShowsItsWholeTitle) {
  QWidget window;
  window.show();
  RunProgress progress(&window);
  progress.Show(1, 4, false);
  const auto* dialog = window.findChild<QProgressDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(kWindowCaption));
  EXPECT_GE(dialog->frameGeometry().width(), LeastWidthForTitle(*dialog));
}

}  // namespace
}  // namespace tokiren::ui
