#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QProgressDialog>
#include <QWindow>
#include <QTest>
#include <QUrl>

#include "media/capture_times.h"
#include "tests/media/media_files.h"
#include "tests/support/temp_tree.h"
#include "ui/behaviour/captions.h"
#include "ui/qt/preview_dialog.h"
#include "ui/qt/run_progress.h"
#include "ui/qt/tokiren_window.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

// Records the message boxes and answers the folder picker.
class RecordingDialogs : public Dialogs {
 public:
  struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString details;
  };
  void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                   const QString& details) override {
    messages.push_back({icon, title, text, details});
  }
  QString ChooseFolder(const QString& start) override {
    starts.push_back(start);
    return answer;
  }
  // Looked at through the dialog's own model, as its table reads it.
  void ShowPreview(const behaviour::Preview& preview) override {
    PreviewDialog dialog(preview, nullptr);
    const QAbstractItemModel& model = *dialog.table()->model();
    std::vector<QStringList> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
      QStringList cells;
      for (int column = 0; column < model.columnCount(); ++column) {
        cells.push_back(model.index(row, column).data().toString());
      }
      rows.push_back(cells);
    }
    previews.push_back(rows);
  }
  std::vector<std::vector<QStringList>> previews;
  std::vector<Message> messages;
  std::vector<QString> starts;
  QString answer;
};

class WindowTest : public ::testing::Test {
 protected:
  // A window whose program folder is "app/" of a temporary tree, given the system's capture-time
  // reader as the program gives it, or none.
  std::unique_ptr<Tokiren> Open(bool withReader = true) {
    CaptureTimeReaderMaker makeCaptureTimes;
    if (withReader) makeCaptureTimes = [] { return MakeCaptureTimeReader(); };
    auto window = std::make_unique<Tokiren>(tree_.MakeFolder("app") + "/",
                                            std::move(makeCaptureTimes), &dialogs_);
    window->show();
    return window;
  }
  static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static void Check(Tokiren& window, const QString& entry) {
    const auto items = window.controls().List1->findItems(entry, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    items.front()->setCheckState(Qt::Checked);
  }
  static std::vector<QString> ListTexts(const Tokiren& window) {
    std::vector<QString> texts;
    for (int row = 0; row < window.controls().List1->count(); ++row) {
      texts.push_back(window.controls().List1->item(row)->text());
    }
    return texts;
  }
  void Add(Tokiren& window, const QString& typed) {
    window.controls().Text1->setText(typed);
    Click(window.controls().Command3);
  }
  // Drops `data` on the folder button as the file manager would.
  static void Drop(Tokiren& window, QMimeData* data) {
    QWidget* target = window.controls().Command7;
    const QPointF centre = QRectF(target->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(centre, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    delete data;
  }
  static QMimeData* Urls(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
  }

  TempTree tree_;
  RecordingDialogs dialogs_;
};

TEST_F(WindowTest, StartsOnTheStartPanelWithTheDesignValues) {
  tree_.Write("app/tokiren", ".TXT\r\n.AVI,.JPG\r\n");
  tree_.Write("app/tokirenfolder", "/kept/photos/\r\n");
  const auto window = Open();
  const Controls& c = window->controls();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Change Tokiren Ver 3.0"));
  EXPECT_TRUE(c.FrameStart->isVisible());
  EXPECT_FALSE(c.FrameRunning->isVisible());
  EXPECT_FALSE(c.FrameOptions->isVisible());
  EXPECT_FALSE(c.Command7->isEnabled());
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".AVI", ".JPG", ".TXT"}));
  EXPECT_EQ(window->behaviour().DefaultPath, "/kept/photos/");
  EXPECT_TRUE(c.Check1->isChecked());
  EXPECT_FALSE(c.CheckSep->isChecked());
  EXPECT_TRUE(c.Option1->isChecked());
  EXPECT_TRUE(dialogs_.messages.empty());
  // Fixed size, panels at the top, everything down to the notice inside the client area.
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(c.FrameStart->geometry(), QRect(2, 0, 411, 53));
  EXPECT_EQ(c.FrameOptions->y(), -1);
  EXPECT_EQ(c.Label2->geometry().topLeft(), QPoint(50, 54));
  EXPECT_EQ(c.Label2->width(), 276);
  EXPECT_GT(window->height(), c.Label2->geometry().bottom());
  EXPECT_EQ(c.Command7->geometry(), QRect(160, 4, 189, 22));
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  // Captions fit their controls in the font found here.
  for (QWidget* widget : std::initializer_list<QWidget*>{c.CheckSep, c.Check1, c.Label2}) {
    EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->metaObject()->className();
    EXPECT_GE(widget->height(), widget->sizeHint().height() - 2);
  }
}

// The time sources, none touching or cut, inside their frame and clear of the check boxes beside
// it: "LastWrite" above "Creation", "Taken" beside "Creation".
void ExpectTimeSourcesFit(const Controls& c) {
  ASSERT_NE(c.Option3, nullptr);
  const QRadioButton* const options[] = {c.Option1, c.Option2, c.Option3};
  for (const QRadioButton* option : options) {
    EXPECT_GE(option->width(), option->sizeHint().width()) << option->text().toStdString();
    EXPECT_GE(option->x(), 0);
    EXPECT_LE(option->geometry().right(), c.Frame1->width() - 1) << option->text().toStdString();
  }
  EXPECT_EQ(c.Option1->x(), c.Option2->x());
  EXPECT_GT(c.Option2->y(), c.Option1->geometry().bottom());
  EXPECT_EQ(c.Option3->y(), c.Option2->y());
  EXPECT_LT(c.Option2->geometry().right() + 1, c.Option3->x());
  EXPECT_LE(c.Option3->geometry().bottom(), c.Frame1->height() - 1);
  EXPECT_LE(c.Frame1->geometry().bottom(), c.FrameOptions->height() - 1);
  EXPECT_GE(c.Frame1->x(), 0);
  EXPECT_LT(c.Frame1->geometry().right(), c.Check1->x());
  EXPECT_LT(c.Frame1->geometry().right(), c.CheckSep->x());
}

TEST_F(WindowTest, OffersTakenBesideCreationWithRoomForEveryCaption) {
  const auto window = Open();
  const Controls& c = window->controls();
  EXPECT_EQ(c.Option3->text(), QStringLiteral("Taken"));
  EXPECT_EQ(c.Option3->toolTip(), QStringLiteral("写真や動画が撮影された日時を使います。"));
  EXPECT_FALSE(c.Option3->isChecked());
  ExpectTimeSourcesFit(c);
}

TEST_F(WindowTest, OffersNoTakenWithoutACaptureTimeReader) {
  const auto window = Open(/*withReader=*/false);
  EXPECT_EQ(window->controls().Option3, nullptr);
}

TEST_F(WindowTest, TheTimeSourcesFitInTheFallbackFontToo) {
  QWidget window;
  QFont fallback(QStringLiteral("Sans"));
  fallback.setPointSizeF(9.75);
  window.setFont(fallback);
  ExpectTimeSourcesFit(BuildControls(&window, true));
  const Controls without = BuildControls(&window, false);
  EXPECT_EQ(without.Option3, nullptr);
}

TEST_F(WindowTest, TakenNamesAPhotoAfterItsCaptureTimeAndSaysWhatHadNone) {
  ScopedTimeZone zone("UTC");
  tree_.MakeFolder("photos");
  const std::string photo = tree_ / "photos/a.jpg";
  ASSERT_TRUE(testing::MakeJpeg(photo));
  ASSERT_TRUE(testing::SetExifText(photo, "Exif.Photo.DateTimeOriginal", "2001:02:03 04:05:06"));
  tree_.Write("photos/b.jpg", "no photo at all", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const auto window = Open();
  const Controls& c = window->controls();
  Add(*window, "jpg");
  Check(*window, ".JPG");
  Click(c.Command8);
  c.Option3->setChecked(true);
  Click(c.Command6);
  dialogs_.answer = QString::fromStdString(tree_ / "photos");
  Click(c.Command7);
  Click(c.Command1);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            QStringLiteral("処理を終了しました。\r\n撮影日時のなかった 1 "
                           "個のファイルは、更新日時で名前を付けました。\r\n名前を変更 2 個。"));
  EXPECT_EQ(dialogs_.messages[0].details,
            QString::fromStdString(tree_ / "photos/b.jpg") +
                QStringLiteral("： 撮影日時がないので更新日時で名前を付けます"));
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20010203040506.JPG", "20160830124842.JPG"}));
}

// The options panel's controls (in the window's font or the fallback), each wide enough for its
// caption, inside the panel and clear of each other: four columns on two rows.
void ExpectOptionsFit(const Controls& c) {
  const std::vector<QWidget*> panel{c.Frame1, c.Check1, c.CheckSep, c.Check2,
                                    c.Label4, c.Text2,  c.Command6};
  for (std::size_t i = 0; i < panel.size(); ++i) {
    const QRect place = panel[i]->geometry();
    SCOPED_TRACE(panel[i]->metaObject()->className());
    EXPECT_EQ(panel[i]->parentWidget(), c.FrameOptions);
    EXPECT_TRUE(c.FrameOptions->rect().contains(place));
    for (std::size_t j = i + 1; j < panel.size(); ++j) {
      EXPECT_FALSE(place.intersects(panel[j]->geometry())) << j;
    }
  }
  for (QWidget* widget : std::initializer_list<QWidget*>{c.Check1, c.CheckSep, c.Check2, c.Label4}) {
    EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->metaObject()->className();
  }
  // The box shows the longest offset of the examples whole.
  EXPECT_GE(c.Text2->width(), c.Text2->fontMetrics().horizontalAdvance(QStringLiteral("+2d 0:00:00")) +
                                  8);
  EXPECT_EQ(c.Label4->geometry().center().y(), c.Text2->geometry().center().y());
}

TEST_F(WindowTest, OffersCompanionsAndShiftOffAndEmptyWithTheirToolTips) {
  const auto window = Open();
  const Controls& c = window->controls();
  EXPECT_EQ(c.Check2->text(), QStringLiteral("Companions"));
  EXPECT_FALSE(c.Check2->isChecked());
  EXPECT_EQ(c.Check2->toolTip(), QString::fromUtf8(kTipCompanions));
  EXPECT_TRUE(c.Check2->toolTip().contains(QStringLiteral("IMG_0001.JPG.xmp")));
  EXPECT_EQ(c.Label4->text(), QStringLiteral("Shift"));
  EXPECT_EQ(c.Label4->buddy(), c.Text2);
  EXPECT_EQ(c.Text2->text(), QString());
  EXPECT_EQ(c.Text2->toolTip(), QString::fromUtf8(kTipShift));
  EXPECT_EQ(c.Label4->toolTip(), QString::fromUtf8(kTipShift));
  ExpectOptionsFit(c);
}

TEST_F(WindowTest, TheOptionsFitInTheFallbackFontTooWithTakenOrWithout) {
  QWidget window;
  QFont fallback(QStringLiteral("Sans"));
  fallback.setPointSizeF(9.75);
  window.setFont(fallback);
  ExpectOptionsFit(BuildControls(&window, true));
  ExpectOptionsFit(BuildControls(&window, false));
}

// Shift moves every name by the offset; text that is not one is refused, saying how to write it,
// and nothing is renamed. Neither option is kept: after a restart both are as at the start.
TEST_F(WindowTest, ShiftMovesTheNamesAndTextThatIsNotAnOffsetIsRefused) {
  ScopedTimeZone zone("UTC");
  tree_.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const auto window = Open();
  const Controls& c = window->controls();
  Add(*window, "jpg");
  Check(*window, ".JPG");
  Click(c.Command8);
  c.Text2->setText(QStringLiteral("+1 hour"));
  c.Check2->setChecked(true);
  Click(c.Command6);
  dialogs_.answer = QString::fromStdString(tree_ / "photos");
  Click(c.Command7);
  Click(c.Command1);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Warning);
  EXPECT_EQ(dialogs_.messages[0].title, QStringLiteral("時計のずれ"));
  EXPECT_TRUE(dialogs_.messages[0].text.startsWith(QStringLiteral("「+1 hour」は時計のずれとして")));
  EXPECT_TRUE(c.FrameRunning->isVisible());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));

  Click(c.Command2);
  Click(c.Command8);
  c.Text2->setText(QStringLiteral("＋１：００：００"));  // as a Japanese input method types it
  Click(c.Command6);
  Click(c.Command7);
  Click(c.Command1);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1].icon, QMessageBox::Information);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830134842.JPG"}));

  const auto again = Open();
  EXPECT_EQ(again->controls().Text2->text(), QString());
  EXPECT_FALSE(again->controls().Check2->isChecked());
}

TEST_F(WindowTest, TheWindowAndItsProgressDisplayCarryTheIconInEverySize) {
  const auto window = Open();
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  }
  RunProgress display(window.get());  // as a long run shows it
  display.Show(0, 0, false);
  const auto* progress = window->findChild<QProgressDialog*>();
  ASSERT_NE(progress, nullptr);
  ASSERT_NE(progress->windowHandle(), nullptr);
  EXPECT_EQ(progress->windowHandle()->icon().availableSizes(), sizes);
  display.Hide();
}

// The design's list box: three rows, no horizontal scroll bar, whatever the entries' width.
TEST_F(WindowTest, TheExtensionListShowsThreeRowsAndNoHorizontalScrollBar) {
  tree_.Write("app/tokiren", ".TXT\r\n.AVI\r\n.A_RATHER_LONG_EXTENSION\r\n");
  const auto window = Open();
  QListWidget* list = window->controls().List1;
  QApplication::processEvents();
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
  EXPECT_LE(list->visualItemRect(list->item(2)).bottom(), list->viewport()->height());
}

TEST_F(WindowTest, CarriesTheDesignToolTips) {
  const auto window = Open();
  const Controls& c = window->controls();
  const std::pair<QWidget*, const char*> tips[] = {
      {c.CheckSep, "チェックすると、同一ファイル名が存在した場合にファイル名の番号に＋１します。"},
      {c.Check1, "チェックすると、同一ファイル名が存在した場合にファイル名の番号に＋１します。"},
      {c.Command4, "上のフォルダを次回選択時のデフォルトとして記録します。"},
      {c.Command1, "処理を実行します。"},
      {c.Command2, "フォルダの選択に戻ります。"},
      {c.Label3, "実行対象となっているフォルダ名です。"},
      {c.Command5, "直前の変更をもとにもどします。"},
      {c.Command8, "オプションを設定します。"},
      {c.List1, "名前を変更するファイルの拡張子を指定します。"},
      {c.Command3, "下の拡張子をリストに加えます。"},
      {c.Command7, "フォルダ名をドロップするかフォルダ選択の画面に移動します。します。"},
      {c.Text1, "リストに加える拡張子を入力します。"},
      {c.Command9, "何も変更せずに、実行したときに付く名前とそのままになるファイルを一覧で確かめます。"},
  };
  for (const auto& [widget, tip] : tips) {
    EXPECT_EQ(widget->toolTip(), QString::fromUtf8(tip)) << widget->metaObject()->className();
  }
}

TEST_F(WindowTest, SwitchesPanels) {
  const auto window = Open();
  const Controls& c = window->controls();
  Click(c.Command8);
  EXPECT_TRUE(c.FrameOptions->isVisible());
  EXPECT_FALSE(c.FrameStart->isVisible());
  Click(c.Command6);
  EXPECT_TRUE(c.FrameStart->isVisible());
  EXPECT_FALSE(c.FrameOptions->isVisible());
  Click(c.Command5);  // Reset without a log
  EXPECT_TRUE(c.FrameStart->isVisible());
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowTest, EnterOnAFocusedButtonPressesItAsSpaceDoes) {
  const auto window = Open();
  const Controls& c = window->controls();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } keys[] = {{Qt::Key_Space, Qt::NoModifier},
              {Qt::Key_Return, Qt::NoModifier},
              {Qt::Key_Enter, Qt::KeypadModifier}};
  for (const auto& k : keys) {
    c.Command8->setFocus();
    QTest::keyClick(c.Command8, k.key, k.modifiers);  // Options
    EXPECT_TRUE(c.FrameOptions->isVisible()) << k.key;
    c.Command6->setFocus();
    QTest::keyClick(c.Command6, k.key, k.modifiers);  // set
    EXPECT_TRUE(c.FrameStart->isVisible()) << k.key;
  }
  // The Tab order is the design's.
  const std::vector<QWidget*> order{c.Text1,   c.Command7, c.Command2, c.Command1, c.Command3,
                                    c.List1,   c.Command4, c.Option3,  c.Option2,  c.Option1,
                                    c.Check1,  c.CheckSep, c.Check2,   c.Text2,    c.Command6,
                                    c.Command8, c.Command5};
  std::vector<QWidget*> chain;
  QWidget* widget = c.Text1;
  do {
    if (std::find(order.begin(), order.end(), widget) != order.end()) chain.push_back(widget);
    widget = widget->nextInFocusChain();
  } while (widget != c.Text1);
  std::vector<QWidget*> expected = order;
  std::erase(expected, nullptr);  // Option3 where the system reads no capture times
  EXPECT_EQ(chain, expected);
}

TEST_F(WindowTest, AddsExtensionsAsTypedAndSavesThem) {
  const auto window = Open();
  Add(*window, "jpg");
  Add(*window, ".jpg");  // the same entry
  Add(*window, ".*");    // the built-in entry
  Add(*window, " .txt ");
  Add(*window, "*.AVI");
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".AVI", ".JPG", ".TXT"}));
  EXPECT_EQ(window->controls().Text1->text(), QStringLiteral("*.AVI"));
  EXPECT_EQ(window->controls().Text1->selectedText(), QStringLiteral("*.AVI"));
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(tree_.Read("app/tokiren"), ".AVI\r\n.JPG\r\n.TXT\r\n");
  // A restart reproduces the list, with ".*" once.
  const auto again = Open();
  EXPECT_EQ(ListTexts(*again), ListTexts(*window));
  // Enter in the box adds too, and what is typed next replaces the entry added.
  QLineEdit* box = again->controls().Text1;
  box->clear();
  QTest::keyClicks(box, "mov");
  QTest::keyClick(box, Qt::Key_Return);
  QTest::keyClicks(box, "png");
  QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(ListTexts(*again),
            (std::vector<QString>{".*", ".AVI", ".JPG", ".MOV", ".PNG", ".TXT"}));
  EXPECT_EQ(box->text(), QStringLiteral("png"));
}

TEST_F(WindowTest, RefusesAnExtensionNoFileNameCouldEndWithInAMessageBox) {
  const auto window = Open();
  for (const QString& typed : {QString(), QStringLiteral("a:b"), QString(300, QChar('a'))}) {
    Add(*window, typed);
    EXPECT_EQ(window->controls().Text1->selectedText(), typed);
  }
  ASSERT_EQ(dialogs_.messages.size(), 3u);
  for (const RecordingDialogs::Message& message : dialogs_.messages) {
    EXPECT_EQ(message.icon, QMessageBox::Warning);
    EXPECT_EQ(message.title, QStringLiteral("拡張子"));
  }
  EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("拡張子を入力してください。"));
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*"}));
  EXPECT_FALSE(tree_.Exists("app/tokiren"));
}

TEST_F(WindowTest, RemovesTheCurrentEntryWithDeleteOrTheContextMenuButNotAllFiles) {
  const auto window = Open();
  for (const char* typed : {"jpg", "png", "txt"}) Add(*window, typed);
  QListWidget* list = window->controls().List1;
  QAction* remove = window->controls().RemoveEntry;
  EXPECT_EQ(list->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(list->actions(), QList<QAction*>{remove});
  EXPECT_EQ(remove->text(), QStringLiteral("Remove"));

  window->activateWindow();  // a shortcut answers in the active window only
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  list->setFocus();
  list->setCurrentRow(2);
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".JPG", ".TXT"}));
  EXPECT_EQ(tree_.Read("app/tokiren"), ".JPG\r\n.TXT\r\n");

  list->setCurrentRow(0);
  EXPECT_FALSE(remove->isEnabled());
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".JPG", ".TXT"}));

  list->setCurrentRow(1);
  EXPECT_TRUE(remove->isEnabled());
  remove->trigger();
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".TXT"}));
  EXPECT_EQ(tree_.Read("app/tokiren"), ".TXT\r\n");
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowTest, TheFolderButtonFollowsTheCheckMarks) {
  const auto window = Open();
  QListWidgetItem* all = window->controls().List1->item(0);
  all->setCheckState(Qt::Checked);
  EXPECT_TRUE(window->controls().Command7->isEnabled());
  all->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(window->controls().Command7->isEnabled());
}

TEST_F(WindowTest, BrowsesFromTheKeptFolderAndKeepsTheChoice) {
  tree_.Write("app/tokirenfolder", "/kept/photos/\r\n");
  const auto window = Open();
  const Controls& c = window->controls();
  Check(*window, ".*");
  dialogs_.answer.clear();  // cancelled
  Click(c.Command7);
  EXPECT_EQ(dialogs_.starts.back(), QStringLiteral("/kept/photos"));
  EXPECT_TRUE(window->behaviour().SelectedPath.empty());
  EXPECT_TRUE(c.FrameStart->isVisible());

  dialogs_.answer = QString::fromStdString(tree_.MakeFolder("photos"));
  Click(c.Command7);
  EXPECT_EQ(window->behaviour().SelectedPath, tree_ / "photos/");
  EXPECT_TRUE(c.FrameRunning->isVisible());
  EXPECT_EQ(c.Label3->text(), QString::fromStdString(tree_ / "photos/"));
  Click(c.Command4);
  EXPECT_EQ(tree_.Read("app/tokirenfolder"), tree_ / "photos/\r\n");
  EXPECT_EQ(window->behaviour().DefaultPath, tree_ / "photos/");
  Click(c.Command2);
  EXPECT_TRUE(c.FrameStart->isVisible());
  dialogs_.answer = QStringLiteral("/");
  Click(c.Command7);
  EXPECT_EQ(window->behaviour().SelectedPath, "/");  // a root gets no second separator
}

// The text a tool tip shows: Qt takes one that looks like markup (Qt::mightBeRichText) for rich
// text, as it does for every label of automatic format.
QString ToolTipShown(const QString& tip) {
  return Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
}

TEST_F(WindowTest, TheFolderLabelShortensALongFolderAndItsToolTipShowsItWhole) {
  const auto window = Open();
  const Controls& c = window->controls();
  Check(*window, ".*");
  const std::string filler(60, 'x');
  const std::string folders[] = {
      filler + "/the last folder",
      filler + "/<b>bold and <i>italic",  // names that read as markup
      "<p>" + filler + "/two  blanks &amp; an ampersand",
  };
  for (const std::string& folder : folders) {
    dialogs_.answer = QString::fromStdString(tree_.MakeFolder(folder));
    Click(c.Command7);
    ASSERT_TRUE(c.FrameRunning->isVisible()) << folder;
    const QString path = QString::fromStdString(tree_ / folder + "/");
    const QString shown = c.Label3->text();
    const qsizetype ellipsis = shown.indexOf(QStringLiteral("..."));
    EXPECT_TRUE(ellipsis >= 0 && path.endsWith(shown.mid(ellipsis + 3))) << shown.toStdString();
    EXPECT_LE(c.Label3->fontMetrics().horizontalAdvance(shown), c.Label3->contentsRect().width());
    EXPECT_EQ(ToolTipShown(c.Label3->toolTip()).toStdString(), path.toStdString())
        << c.Label3->toolTip().toStdString();
    Click(c.Command2);
  }
}

TEST_F(WindowTest, TakesOnlyAFolderDroppedFirst) {
  const auto window = Open();
  const Controls& c = window->controls();
  Check(*window, ".*");
  const QUrl first = QUrl::fromLocalFile(QString::fromStdString(tree_.MakeFolder("one")));
  const QUrl second = QUrl::fromLocalFile(QString::fromStdString(tree_.MakeFolder("two")));
  const QUrl file = QUrl::fromLocalFile(QString::fromStdString(tree_.Write("file.jpg")));
  const QUrl remote(QStringLiteral("https://example.com/photos/"));

  Drop(*window, Urls({file, first}));
  Drop(*window, Urls({remote, first}));
  auto* text = new QMimeData;
  text->setText(QString::fromStdString(tree_ / "one"));
  Drop(*window, text);
  EXPECT_TRUE(window->behaviour().SelectedPath.empty());
  EXPECT_TRUE(c.FrameStart->isVisible());

  Drop(*window, Urls({second, first, file}));
  EXPECT_EQ(window->behaviour().SelectedPath, tree_ / "two/");
  EXPECT_TRUE(c.FrameRunning->isVisible());
}

TEST_F(WindowTest, RunsOnTheChosenFolderThenResets) {
  ScopedTimeZone zone("UTC");
  tree_.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree_.Write("photos/b.png", "b", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const auto window = Open();
  const Controls& c = window->controls();
  Add(*window, "jpg");
  Check(*window, ".JPG");
  Click(c.Command8);
  c.CheckSep->setChecked(true);
  c.Option2->setChecked(true);  // creation: the birth time, or the last-write time without one
  Click(c.Command6);
  dialogs_.answer = QString::fromStdString(tree_ / "photos");
  Click(c.Command7);
  Click(c.Command1);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Information);
  EXPECT_EQ(dialogs_.messages[0].title, QString());
  EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("処理を終了しました。\r\n名前を変更 1 個。"));
  EXPECT_TRUE(c.FrameStart->isVisible());
  const std::vector<std::string> names = tree_.Names("photos");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "b.png");
  EXPECT_EQ(names[0].size(), std::string("2016_0830_124842.JPG").size());
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),
            tree_ / "photos/a.jpg as " + tree_ / "photos/" + names[0] + "\r\n");

  Click(c.Command5);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.png"}));
  EXPECT_EQ(dialogs_.messages.size(), 1u);  // Reset says nothing when all went well
}

// Preview sits beside RUN, its caption whole, clear of every control and inside the panel, in the
// window's font and in the fallback font; the controls that were there keep their places.
TEST_F(WindowTest, PreviewFitsBesideRunWithoutMovingAnything) {
  QFont fallback(QStringLiteral("Sans"));
  fallback.setPointSizeF(9.75);
  for (const QFont& font : {WindowFont(), fallback}) {
    SCOPED_TRACE(font.family().toStdString());
    QWidget window;
    window.setFont(font);
    const Controls c = BuildControls(&window, false);
    EXPECT_EQ(c.Command9->text(), QStringLiteral("Preview"));
    EXPECT_EQ(c.Command9->parentWidget(), c.FrameRunning);
    EXPECT_GE(c.Command9->width(), ButtonWidthForCaption(c.Command9));
    EXPECT_GT(ButtonWidthForCaption(c.Command9), c.Command9->fontMetrics().horizontalAdvance("Preview"));
    EXPECT_GT(c.Command9->x(), c.Command1->geometry().right() + 1);
    EXPECT_LE(c.Command9->geometry().right(), c.FrameRunning->width() - 1);
    EXPECT_EQ(c.Command1->geometry(), QRect(246, 26, 85, 25));
    EXPECT_EQ(c.Command4->geometry(), QRect(89, 30, 147, 18));
    EXPECT_EQ(c.Command2->geometry(), QRect(31, 29, 48, 21));
  }
}

TEST_F(WindowTest, PreviewListsThePlanAndRunDoesIt) {
  ScopedTimeZone zone("UTC");
  tree_.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree_.Write("photos/b.png", "b", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const auto window = Open();
  const Controls& c = window->controls();
  Add(*window, "jpg");
  Check(*window, ".JPG");
  dialogs_.answer = QString::fromStdString(tree_ / "photos");
  Click(c.Command7);
  Click(c.Command9);
  ASSERT_EQ(dialogs_.previews.size(), 1u);
  EXPECT_EQ(dialogs_.previews[0],
            (std::vector<QStringList>{{".", "a.jpg", "20160830124842.JPG", ""}}));
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(c.FrameRunning->isVisible());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.png"}));
  Click(c.Command1);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG", "b.png"}));
}

TEST_F(WindowTest, ShowsOneBoxForAResetWithManyFailures) {
  const std::string p = tree_.MakeFolder("photos") + "/";
  std::string log;
  for (const char* name : {"a", "b", "c"}) {
    tree_.Write(std::string("photos/") + name + ".jpg", "taken");
    tree_.Write(std::string("photos/") + name + ".JPG", "renamed");
    log += p + name + ".jpg as " + p + name + ".JPG\r\n";
  }
  tree_.Write("app/tokiren_log.txt", log);
  const auto window = Open();
  Click(window->controls().Command5);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  const RecordingDialogs::Message& box = dialogs_.messages[0];
  EXPECT_EQ(box.icon, QMessageBox::Warning);
  EXPECT_EQ(box.title, QStringLiteral("処理を中止します。"));
  // The system's words (the command line's line) below the table's message.
  EXPECT_EQ(box.text, QString::fromStdString("同名のファイルが存在します。\r\n" + p + "c.jpg\r" + p +
                                             "c.JPG\r\ncannot rename " + p + "c.JPG back to " + p +
                                             "c.jpg: File exists\r\n"
                                             "ほかに 2 行を元に戻せませんでした。"));
}

TEST_F(WindowTest, ResetSaysHowManyFilesItCouldNotFindAndKeepsThem) {
  const std::string p = tree_.MakeFolder("photos") + "/";
  tree_.Write("photos/1.JPG", "renamed");
  const std::string missing = p + "b.jpg as " + p + "2.JPG\r\n" + p + "c.jpg as " + p + "3.JPG\r\n";
  tree_.Write("app/tokiren_log.txt", p + "a.jpg as " + p + "1.JPG\r\n" + missing);
  const auto window = Open();
  Click(window->controls().Command5);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Information);
  EXPECT_EQ(dialogs_.messages[0].text,
            QStringLiteral("見つからなかった 2 個のファイルは、あとでもとにもどせるようにログに残しました。"));
  EXPECT_EQ(dialogs_.messages[0].details,
            QString::fromStdString(p + "3.JPG： 見つかりません（もとの名前 " + p + "c.jpg）\r\n" + p +
                                   "2.JPG： 見つかりません（もとの名前 " + p + "b.jpg）"));
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), missing);
}

TEST_F(WindowTest, TellsOnceWhenTheListCannotBeSaved) {
  tree_.Write("app/tokiren/blocker");  // a folder where the file should go
  const auto window = Open();
  Add(*window, "jpg");
  Add(*window, "png");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(dialogs_.messages[0].text.startsWith(QStringLiteral("設定ファイルを保存できませんでした。\r\n") +
                                                   QString::fromStdString(tree_ / "app/tokiren")));
  EXPECT_EQ(ListTexts(*window), (std::vector<QString>{".*", ".JPG", ".PNG"}));
}

TEST(UnqualifyPathTest, DropsOneTrailingSeparator) {
  using behaviour::UnqualifyPath;
  EXPECT_EQ(UnqualifyPath("/photos/"), "/photos");
  EXPECT_EQ(UnqualifyPath("/photos"), "/photos");
  EXPECT_EQ(UnqualifyPath("/"), "/");
  EXPECT_EQ(UnqualifyPath(""), "");
}

}  // namespace
}  // namespace tokiren::ui
