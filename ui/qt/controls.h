// The window's controls, made with their captions, positions, fonts and tool tips.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "ui/behaviour/design.h"
#include "ui/qt/drop_button.h"

namespace tokiren::ui {

// Design units: 15 twips make one pixel at 96 dots per inch; Qt scales for denser screens.
inline constexpr int kTwipsPerPixel = 15;
int Pixels(int twips);

// The client area and the panels' places at start-up, in twips.
using behaviour::kClientHeightTwips;
using behaviour::kClientWidthTwips;
using behaviour::kOptionsTopTwips;
using behaviour::kPanelTopTwips;

struct Controls {
  QGroupBox* FrameOptions;
  QPushButton* Command6;  // set
  QCheckBox* CheckSep;
  QCheckBox* Check1;      // Same > +1
  QGroupBox* Frame1;
  QRadioButton* Option1;  // LastWrite
  QRadioButton* Option2;  // Creation
  QRadioButton* Option3;  // Taken; null where the window offers none
  QCheckBox* Check2;      // Companions
  QLabel* Label4;         // Shift
  QLineEdit* Text2;       // the camera clock's offset
  QFrame* FrameRunning;
  QPushButton* Command4;  // Keep Folder Name
  QPushButton* Command1;  // RUN
  QPushButton* Command2;  // <<
  QLabel* Label3;         // the chosen folder
  QFrame* FrameStart;
  QPushButton* Command5;  // Reset
  QPushButton* Command8;  // Options
  QListWidget* List1;
  QAction* RemoveEntry;   // List1's context menu and its Delete key
  QPushButton* Command3;  // <<<
  DropButton* Command7;   // Drag/Push to Select Folder
  QLineEdit* Text1;
  QLabel* Label2;         // the notice
  QPushButton* Command9;  // Preview
};

// Creates every control of the design table inside `window`, in design position, with its design
// values.
// `taken`: whether to offer the capture time as a third time source.
Controls BuildControls(QWidget* window, bool taken);

// How wide `button` must be to show its caption whole in its font: the caption, the style's margin
// and frame on each side (a push button's size hint asks for more, a width of its own for a
// dialog's buttons).
int ButtonWidthForCaption(const QPushButton* button);

// The window's font: "ＭＳ Ｐゴシック" 9.75 pt, or the nearest Japanese font installed.
QFont WindowFont();

}  // namespace tokiren::ui
