// The window's controls.
#include "ui/qt/controls.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStringList>
#include <algorithm>
#include <map>
#include <vector>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/design.h"

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

QRect TwipsRect(const behaviour::ControlDesign& design, int top) {
  return QRect(Pixels(design.left), Pixels(top), Pixels(design.width), Pixels(design.height));
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

// The time sources as wide as their captions need in the font found (behaviour::FitTimeSources),
// kept this far from each other and from the frame's edges, and the frame clear of `limit`.
constexpr int kOptionGapTwips = 75;
constexpr int kFrameMarginTwips = 60;

void FitCaptions(QWidget* frame, const std::vector<QWidget*>& buttons, int limit) {
  const auto placeOf = [](const QWidget* widget) {
    return behaviour::PixelPlace{widget->x(), widget->y(), widget->width(), widget->height()};
  };
  behaviour::PixelPlace framePlace = placeOf(frame);
  std::vector<behaviour::PixelPlace> places;
  std::vector<int> wanted;
  for (const QWidget* button : buttons) {
    places.push_back(placeOf(button));
    wanted.push_back(button->sizeHint().width());
  }
  behaviour::FitTimeSources(&framePlace, &places, wanted, Pixels(kFrameMarginTwips), limit,
                            Pixels(kOptionGapTwips), Pixels(kFrameMarginTwips));
  frame->setGeometry(framePlace.left, framePlace.top, framePlace.width, framePlace.height);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    buttons[i]->setGeometry(places[i].left, places[i].top, places[i].width, places[i].height);
  }
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

// One control of the design, made as its kind is made in Qt, at its design place with its caption,
// tool tip and font (the window's font is inherited). Panels are plain frames, a captioned frame
// a group box; the folder button takes drops.
QWidget* Make(const behaviour::ControlDesign& design, QWidget* parent, const QFont& small,
              const QFont& run) {
  using Kind = behaviour::ControlKind;
  const QString caption = design.caption ? Text(design.caption) : QString();
  QWidget* widget = nullptr;
  switch (design.kind) {
    case Kind::kCaptionedFrame:
      widget = new QGroupBox(caption, parent);
      break;
    case Kind::kPanel: {
      auto* panel = new QFrame(parent);
      panel->setFrameShape(QFrame::NoFrame);
      widget = panel;
      break;
    }
    case Kind::kBorderedGroup:
      widget = new QGroupBox(parent);
      break;
    case Kind::kButton:
      widget = design.id == behaviour::ControlId::Command7 ? new DropButton(caption, parent)
                                                           : new QPushButton(caption, parent);
      break;
    case Kind::kCheckBox:
      widget = new QCheckBox(caption, parent);
      break;
    case Kind::kOptionButton:
      widget = new QRadioButton(caption, parent);
      break;
    case Kind::kFolderLabel: {
      auto* label = new QLabel(caption, parent);
      label->setFrameStyle(QFrame::Box | QFrame::Plain);
      label->setAlignment(Qt::AlignCenter);
      label->setTextFormat(Qt::PlainText);  // a folder may be named like markup
      LightGrey(label);
      widget = label;
      break;
    }
    case Kind::kCheckList: {
      auto* list = new QListWidget(parent);
      // The design's list box scrolls only up and down: a scroll bar across would take a row of
      // its three for an entry wider than the list, whose end is cut instead.
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      LightGrey(list);
      widget = list;
      break;
    }
    case Kind::kTextBox: {
      auto* box = new QLineEdit(caption, parent);
      LightGrey(box);
      widget = box;
      break;
    }
    case Kind::kNotice: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment(Qt::AlignCenter);
      widget = label;
      break;
    }
    case Kind::kCaption: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      widget = label;
      break;
    }
  }
  widget->setGeometry(TwipsRect(design, design.top));
  if (design.tip) widget->setToolTip(Text(design.tip));
  if (design.font == behaviour::ControlFont::kSmall) widget->setFont(small);
  if (design.font == behaviour::ControlFont::kRun) widget->setFont(run);
  return widget;
}

}  // namespace

int Pixels(int twips) { return qRound(static_cast<double>(twips) / kTwipsPerPixel); }

QFont WindowFont() { return FontOf(kProportionalGothic, kWindowPointSize); }

Controls BuildControls(QWidget* window, bool taken) {
  using Id = behaviour::ControlId;
  const QFont small = FontOf(kProportionalGothic, kSmallPointSize);
  const QFont run = FontOf(kFixedGothic, kRunPointSize);
  // The panels lie one below the other as designed; start-up moves them to the top.
  const std::vector<behaviour::ControlDesign> designs = behaviour::DesignFor(taken);
  std::map<Id, QWidget*> made;
  for (const behaviour::ControlDesign& design : designs) {
    QWidget* parent = design.container == Id::None ? window : made.at(design.container);
    made[design.id] = Make(design, parent, small, run);
  }
  const auto as = [&made]<typename Widget>(Widget*& widget, Id id) {
    const auto found = made.find(id);
    widget = found == made.end() ? nullptr : static_cast<Widget*>(found->second);
  };
  Controls c;
  as(c.FrameOptions, Id::FrameOptions);
  as(c.Command6, Id::Command6);
  as(c.CheckSep, Id::CheckSep);
  as(c.Check1, Id::Check1);
  as(c.Frame1, Id::Frame1);
  as(c.Option1, Id::Option1);
  as(c.Option2, Id::Option2);
  as(c.Option3, Id::Option3);
  as(c.Check2, Id::Check2);
  as(c.Label4, Id::Label4);
  as(c.Text2, Id::Text2);
  as(c.FrameRunning, Id::FrameRunning);
  as(c.Command4, Id::Command4);
  as(c.Command1, Id::Command1);
  as(c.Command2, Id::Command2);
  as(c.Label3, Id::Label3);
  as(c.FrameStart, Id::FrameStart);
  as(c.Command5, Id::Command5);
  as(c.Command8, Id::Command8);
  as(c.List1, Id::List1);
  as(c.Command3, Id::Command3);
  as(c.Command7, Id::Command7);
  as(c.Text1, Id::Text1);
  as(c.Label2, Id::Label2);
  as(c.Command9, Id::Command9);

  c.Check1->setChecked(true);
  std::vector<QWidget*> timeSources{c.Option1, c.Option2};
  if (c.Option3) timeSources.push_back(c.Option3);
  FitCaptions(c.Frame1, timeSources, c.Check1->x() - Pixels(kOptionGapTwips));
  c.Option1->setChecked(true);
  // The check boxes and Shift's label grow towards the column beside them.
  const int gap = Pixels(kOptionGapTwips);
  GrowWidthToFit(c.CheckSep, c.Check2->x() - gap);
  GrowWidthToFit(c.Check1, c.Check2->x() - gap);
  GrowWidthToFit(c.Check2, c.Command6->x() - gap);
  GrowWidthToFit(c.Label4, c.Text2->x() - 1);
  c.Label4->setBuddy(c.Text2);

  c.RemoveEntry = new QAction(Text(kRemoveCaption), c.List1);
  c.RemoveEntry->setShortcut(QKeySequence::Delete);
  c.RemoveEntry->setShortcutContext(Qt::WidgetShortcut);
  c.List1->addAction(c.RemoveEntry);
  c.List1->setContextMenuPolicy(Qt::ActionsContextMenu);

  GrowHeightToFit(c.Label2, Pixels(kClientHeightTwips));
  // Preview grows, where its caption needs more room in the font found, up to the panel's margin.
  const int previewWanted = std::min(ButtonWidthForCaption(c.Command9),
                                     c.FrameRunning->width() - c.Label3->x() - c.Command9->x());
  if (previewWanted > c.Command9->width()) {
    c.Command9->resize(previewWanted, c.Command9->height());
  }

  // The design's tab order.
  std::vector<const behaviour::ControlDesign*> focusable;
  for (const behaviour::ControlDesign& design : designs) {
    if (behaviour::TakesFocus(design.kind)) focusable.push_back(&design);
  }
  std::sort(focusable.begin(), focusable.end(),
            [](const auto* a, const auto* b) { return a->tab < b->tab; });
  std::vector<QWidget*> order;
  for (const behaviour::ControlDesign* design : focusable) order.push_back(made.at(design->id));
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    QWidget::setTabOrder(order[i], order[i + 1]);
  }
  auto* enter = new EnterPressesButtons(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(enter);
  return c;
}

int ButtonWidthForCaption(const QPushButton* button) {
  const QStyle* style = button->style();
  return button->fontMetrics().horizontalAdvance(button->text()) +
         2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
              style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
}

}  // namespace tokiren::ui
