#include "ui/qt/compact_path.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "ui/qt/controls.h"

namespace tokiren::ui {
namespace {

TEST(CompactPathTest, KeepsTheLastNameAndPutsTheEllipsisInTheMiddle) {
  const QFontMetrics metrics(WindowFont());
  const QString path = QStringLiteral("/home/someone/pictures/holidays/2016 summer/");
  EXPECT_EQ(CompactPath(path, metrics, 10000), path);
  for (const int width : {260, 200, 150, 120}) {
    const QString shown = CompactPath(path, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width) << width;
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".../2016 summer/"))) << shown.toStdString();
    EXPECT_TRUE(path.startsWith(shown.left(shown.indexOf(QStringLiteral("..."))))) << width;
    // The longest such form: one more character of the beginning no longer fits.
    const qsizetype head = shown.indexOf(QStringLiteral("..."));
    EXPECT_GT(metrics.horizontalAdvance(path.left(head + 1) + shown.mid(head)), width);
  }
}

TEST(CompactPathTest, CutsTheLastNameWhenEvenItDoesNotFit) {
  const QFontMetrics metrics(WindowFont());
  const QString path = QStringLiteral("/a/an extremely long folder name that goes on and on/");
  const QString shown = CompactPath(path, metrics, 100);
  EXPECT_LE(metrics.horizontalAdvance(shown), 100);
  EXPECT_TRUE(shown.startsWith(QStringLiteral(".../an ext"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("..."))) << shown.toStdString();
}

TEST(CompactPathDispTest, ShowsTheFullPathAsToolTipOnlyOnceShortened) {
  QWidget window;
  window.setFont(WindowFont());
  auto* label = new QLabel(&window);
  label->setGeometry(0, 0, 345, 17);
  label->setToolTip(QStringLiteral("design tip"));
  const QString shortPath = QStringLiteral("/photos/");
  const QString longPath = QStringLiteral("/home/someone/pictures/") + QString(60, QLatin1Char('x')) +
                           QStringLiteral("/last folder/");

  CompactPathDisp(label, shortPath, kPathEllipsis);
  EXPECT_EQ(label->text(), shortPath);
  EXPECT_EQ(label->toolTip(), QStringLiteral("design tip"));
  EXPECT_EQ(label->property("tag").toString(), shortPath);

  CompactPathDisp(label, longPath, kPathEllipsis);
  EXPECT_TRUE(label->text().contains(QStringLiteral("...")));
  EXPECT_TRUE(label->text().endsWith(QStringLiteral("/last folder/")));
  EXPECT_EQ(label->toolTip(), longPath);
  EXPECT_EQ(label->property("tag").toString(), longPath);

  CompactPathDisp(label, shortPath, kPathEllipsis);
  EXPECT_EQ(label->text(), shortPath);
  EXPECT_EQ(label->toolTip(), longPath);  // set, never reset
}

}  // namespace
}  // namespace tokiren::ui
