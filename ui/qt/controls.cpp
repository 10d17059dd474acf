// The window's controls.
#include "ui/qt/controls.h"

#include <QKeyEvent>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "ui/behaviour/captions.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

constexpr double kWindowPointSize = 9.75;
constexpr double kSmallPointSize = 9.0;
constexpr double kRunPointSize = 10.5;
constexpr QRgb kLightGrey = 0xE0E0E0;

// The fonts the design names first, then what Linux desktops have in their place.
const QStringList kProportionalGothic{"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic",
                                      "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic", "Sans"};
const QStringList kFixedGothic{"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP",
                               "VL Gothic", "TakaoGothic", "Monospace"};

QFont FontOf(const QStringList& families, double pointSize) {
  QFont font;
  font.setFamilies(families);
  font.setPointSizeF(pointSize);
  return font;
}

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

template <typename Widget>
Widget* Place(Widget* widget, int left, int top, int width, int height, const char* tip = nullptr) {
  widget->setGeometry(TwipsRect(left, top, width, height));
  if (tip) widget->setToolTip(QString::fromUtf8(tip));
  return widget;
}

void LightGrey(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, QColor(kLightGrey));
  palette.setColor(QPalette::Window, QColor(kLightGrey));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// The design's sizes suit the design's font; where the caption of a control needs more room in
// the font actually found, the control grows into the free space beside or below it, up to
// `limit` pixels in its container, so that nothing is clipped.
void GrowWidthToFit(QWidget* widget, int limit) {
  const int wanted = std::min(widget->sizeHint().width(), limit - widget->x());
  if (wanted > widget->width()) widget->resize(wanted, widget->height());
}

void GrowHeightToFit(QWidget* widget, int limit) {
  const int wanted = std::min(widget->sizeHint().height(), limit - widget->y());
  if (wanted > widget->height()) widget->resize(widget->width(), wanted);
}

// The time sources in their frame, each as wide as its caption needs: on one row where they fit
// before `limit` (the check boxes beside, in the frame's parent); otherwise the last goes to a
// second row, and the two rows stand level with the check boxes `row1` and `row2`. The frame
// moves left only as far as its widest row needs.
constexpr int kOptionGapTwips = 75;
constexpr int kFrameMarginTwips = 60;
constexpr int kRowPaddingTwips = 45;

void LayOutTimeSources(QWidget* frame, const std::vector<QWidget*>& buttons, int limit,
                       const QWidget* row1, const QWidget* row2) {
  const int left = buttons.front()->x(), gap = Pixels(kOptionGapTwips);
  const int margin = Pixels(kFrameMarginTwips);
  int oneRow = left - gap;
  for (const QWidget* button : buttons) oneRow += gap + button->sizeHint().width();
  const bool twoRows = frame->x() + oneRow + margin > limit;
  QRect geometry = frame->geometry();
  if (twoRows) {
    const int padding = Pixels(kRowPaddingTwips);
    geometry.setTop(row1->y() - padding);
    geometry.setBottom(std::max(geometry.bottom(), row2->geometry().bottom() + padding));
  }
  int x = left - gap, width = 0;
  for (QWidget* button : buttons) {
    const bool below = twoRows && button == buttons.back();
    if (below) x = left - gap;
    const QWidget* row = below ? row2 : row1;
    const int y = twoRows ? row->y() - geometry.top() : button->y();
    const int height = twoRows ? row->height() : button->height();
    button->setGeometry(x + gap, y, button->sizeHint().width(), height);
    x += gap + button->width();
    width = std::max(width, x + margin);
  }
  width = std::max(width, geometry.width());
  geometry.moveLeft(std::max(margin, std::min(geometry.left(), limit - width)));
  geometry.setWidth(width);
  frame->setGeometry(geometry);
}

QFrame* Panel(QWidget* window, int top) {
  auto* panel = new QFrame(window);
  panel->setFrameShape(QFrame::NoFrame);
  return Place(panel, 30, top, 5355, 795);
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Enter (and the keypad's Enter) on a focused push button presses it, as Space does; outside a
// dialog Qt leaves these keys to the window. A key held down presses once.
class EnterPressesButtons : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if (!key->isAutoRepeat()) static_cast<QAbstractButton*>(watched)->click();
    return true;
  }
};

}  // namespace

int Pixels(int twips) { return qRound(static_cast<double>(twips) / kTwipsPerPixel); }

QFont WindowFont() { return FontOf(kProportionalGothic, kWindowPointSize); }

Controls BuildControls(QWidget* window, bool taken) {
  Controls c;
  const QFont small = FontOf(kProportionalGothic, kSmallPointSize);

  // The panels lie one below the other as designed; start-up moves them to the top.
  c.FrameOptions = Place(new QGroupBox(Text(kOptionsCaption), window), 30, 4350, 5355, 795);
  c.Command6 = Place(new QPushButton(Text(kSetCaption), c.FrameOptions), 4350, 375, 675, 285);
  c.CheckSep = Place(new QCheckBox(Text(kSeparatorCaption), c.FrameOptions), 3015, 480, 1035, 255,
                     kTipCountUp);
  c.CheckSep->setFont(small);
  c.Check1 = Place(new QCheckBox(Text(kCountUpCaption), c.FrameOptions), 3015, 210, 1155, 255,
                   kTipCountUp);
  c.Check1->setFont(small);
  c.Check1->setChecked(true);
  c.Frame1 = Place(new QGroupBox(c.FrameOptions), 420, 240, 2385, 420);
  c.Option1 = Place(new QRadioButton(Text(kLastWriteCaption), c.Frame1), 90, 150, 1185, 195);
  c.Option2 = Place(new QRadioButton(Text(kCreationCaption), c.Frame1), 1260, 150, 1065, 195);
  c.Option3 = taken ? new QRadioButton(Text(kTakenCaption), c.Frame1) : nullptr;
  if (c.Option3) {
    c.Option3->setToolTip(Text(kTipTaken));
    LayOutTimeSources(c.Frame1, {c.Option1, c.Option2, c.Option3}, c.Check1->x() - 1, c.Check1,
                      c.CheckSep);
  }
  c.Option1->setChecked(true);
  GrowWidthToFit(c.CheckSep, c.Command6->x() - 1);
  GrowWidthToFit(c.Check1, c.Command6->x() - 1);

  c.FrameRunning = Panel(window, 3300);
  c.Command4 = Place(new QPushButton(Text(kKeepFolderCaption), c.FrameRunning), 1329, 456, 2208,
                     264, kTipKeepFolder);
  c.Command1 = Place(new QPushButton(Text(kRunCaption), c.FrameRunning), 3684, 396, 1272, 372,
                     kTipRun);
  c.Command1->setFont(FontOf(kFixedGothic, kRunPointSize));
  c.Command2 = Place(new QPushButton(Text(kBackCaption), c.FrameRunning), 459, 432, 720, 312,
                     kTipBack);
  c.Label3 = Place(new QLabel(c.FrameRunning), 90, 90, 5175, 255, kTipFolder);
  c.Label3->setFrameStyle(QFrame::Box | QFrame::Plain);
  c.Label3->setAlignment(Qt::AlignCenter);
  c.Label3->setTextFormat(Qt::PlainText);  // a folder may be named like markup
  LightGrey(c.Label3);

  c.FrameStart = Panel(window, 2130);
  c.Command5 = Place(new QPushButton(Text(kResetCaption), c.FrameStart), 3780, 450, 1455, 285,
                     kTipReset);
  c.Command8 = Place(new QPushButton(Text(kOptionsCaption), c.FrameStart), 2400, 450, 1035, 285,
                     kTipOptions);
  c.List1 = Place(new QListWidget(c.FrameStart), 108, 36, 1272, 690, kTipList);
  c.List1->setFont(small);
  // The design's list box scrolls only up and down: a scroll bar across would take a row of its
  // three for an entry wider than the list, whose end is cut instead.
  c.List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  LightGrey(c.List1);
  c.RemoveEntry = new QAction(Text(kRemoveCaption), c.List1);
  c.RemoveEntry->setShortcut(QKeySequence::Delete);
  c.RemoveEntry->setShortcutContext(Qt::WidgetShortcut);
  c.List1->addAction(c.RemoveEntry);
  c.List1->setContextMenuPolicy(Qt::ActionsContextMenu);
  c.Command3 = Place(new QPushButton(Text(kAddCaption), c.FrameStart), 1410, 36, 804, 264,
                     kTipAdd);
  c.Command7 = Place(new DropButton(Text(kSelectFolderCaption), c.FrameStart), 2400, 60, 2835,
                     336, kTipSelectFolder);
  c.Text1 = Place(new QLineEdit(c.FrameStart), 1415, 336, 795, 264, kTipNewExtension);
  c.Text1->setFont(small);
  LightGrey(c.Text1);

  c.Label2 = Place(new QLabel(Text(kNotice), window), 750, 810, 4140, 180);
  c.Label2->setAlignment(Qt::AlignCenter);
  c.Label2->setFont(small);
  GrowHeightToFit(c.Label2, Pixels(kClientHeightTwips));

  // Tab order of the design: Text1, Command7, Command2, Command1, Command3, List1, Command4,
  // Option2, Option1, Check1, CheckSep, Command6, Command8, Command5; Option3, where there is
  // one, before Option2, as the design orders the time sources from the right.
  std::vector<QWidget*> order{c.Text1,   c.Command7, c.Command2, c.Command1, c.Command3,
                              c.List1,   c.Command4, c.Option2,  c.Option1,  c.Check1,
                              c.CheckSep, c.Command6, c.Command8, c.Command5};
  if (c.Option3) order.insert(std::find(order.begin(), order.end(), c.Option2), c.Option3);
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    QWidget::setTabOrder(order[i], order[i + 1]);
  }
  auto* enter = new EnterPressesButtons(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(enter);
  return c;
}

}  // namespace tokiren::ui
