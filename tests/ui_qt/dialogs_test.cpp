// The message boxes and the progress display: windows wide enough for their whole title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStyle>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "ui/qt/dialogs.h"
#include "ui/qt/preview_dialog.h"
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

// A preview's display offers to cancel: the press is kept for the work to ask, and the display
// stays (holding the window) until the work ends. A run's has no such button.
TEST(RunProgressTest, CancellingIsAskedAndTheDisplayStaysUntilTheWorkEnds) {
  for (const bool cancellable : {false, true}) {
    SCOPED_TRACE(cancellable);
    QWidget window;
    window.show();
    RunProgress progress(&window);
    progress.Show(0, 0, cancellable);
    auto* dialog = window.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto* cancel = dialog->findChild<QPushButton*>();
    EXPECT_EQ(cancel != nullptr, cancellable);
    EXPECT_FALSE(progress.Cancelled());
    if (cancel) {
      EXPECT_EQ(cancel->text(), QString::fromUtf8(kCancelCaption));
      QTest::mouseClick(cancel, Qt::LeftButton);
    } else {
      QTest::keyClick(dialog, Qt::Key_Escape);
    }
    progress.Show(1, 4, cancellable);
    EXPECT_EQ(progress.Cancelled(), cancellable);
    EXPECT_TRUE(dialog->isVisible());
    if (cancel) {
      EXPECT_FALSE(cancel->isEnabled());
    }
    progress.Hide();
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
  }
}

// The preview's table holds a million rows and reads only the cells it shows.
TEST(PreviewDialogTest, HoldsAMillionRowsAndShowsTheHeading) {
  constexpr std::size_t kRows = 1'000'000;
  behaviour::Preview preview("/photos/");
  std::string name, newName;
  for (std::size_t i = 0; i < kRows; ++i) {
    name = "IMG_" + std::to_string(i) + ".JPG";
    newName = std::to_string(20160830000000 + i) + ".JPG";
    FileReport file;
    file.folder = "/photos/";
    file.name = name;
    file.newName = newName;
    preview.Add(file);
  }
  PreviewDialog dialog(preview, nullptr);
  dialog.show();
  QTableView* table = dialog.table();
  EXPECT_EQ(table->model()->rowCount(), static_cast<int>(kRows));
  EXPECT_EQ(table->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("新しい名前"));
  table->scrollToBottom();
  QApplication::processEvents();
  const QModelIndex last = table->indexAt(QPoint(1, table->viewport()->height() - 2));
  EXPECT_EQ(last.row(), static_cast<int>(kRows - 1));
  EXPECT_EQ(last.siblingAtColumn(2).data().toString(), QStringLiteral("20160830999999.JPG"));
  const auto labels = dialog.findChildren<QLabel*>();
  const bool headed = std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
    return label->text().startsWith(QStringLiteral("名前を変更 1000000 個。\nRUN は"));
  });
  EXPECT_TRUE(headed);
}

// The preview of a run with Shift and companions: the offset in the heading, each group's members
// joined by their marks in the name column.
TEST(PreviewDialogTest, ShowsTheOffsetAndJoinsTheMembersOfAGroup) {
  behaviour::Preview preview("/photos/", -200);
  const struct {
    const char* name;
    const char* newName;
    std::uint32_t group;
  } files[] = {
      {"IMG_0001.CR2", "20160830124522.CR2", 1},
      {"IMG_0001.JPG", "20160830124522.JPG", 1},
      {"IMG_0001.JPG.xmp", "20160830124522.JPG.xmp", 1},
      {"notes.jpg", "20160830124523.JPG", 0},
  };
  for (const auto& f : files) {
    FileReport file;
    file.folder = "/photos/";
    file.name = f.name;
    file.newName = f.newName;
    file.group = f.group;
    preview.Add(file);
  }
  PreviewDialog dialog(preview, nullptr);
  dialog.show();
  const QAbstractItemModel& model = *dialog.table()->model();
  QStringList names, newNames;
  for (int row = 0; row < model.rowCount(); ++row) {
    names.push_back(model.index(row, 1).data().toString());
    newNames.push_back(model.index(row, 2).data().toString());
  }
  EXPECT_EQ(names, (QStringList{QStringLiteral("┌ IMG_0001.CR2"), QStringLiteral("├ IMG_0001.JPG"),
                                QStringLiteral("└ IMG_0001.JPG.xmp"), QStringLiteral("notes.jpg")}));
  EXPECT_EQ(newNames.front(), QStringLiteral("20160830124522.CR2"));
  const auto labels = dialog.findChildren<QLabel*>();
  const bool headed = std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
    return label->text().startsWith(
        QStringLiteral("名前を変更 4 個。\n時計のずれ -0:03:20 を足した時刻で名前を付けます。\n"
                       "名前の前を ┌ ├ └ でつないだファイルは一組で"));
  });
  EXPECT_TRUE(headed);
}

}  // namespace
}  // namespace tokiren::ui
