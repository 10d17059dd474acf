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

#include "ui/qt/drop_button.h"

namespace tokiren::ui {

// Design units: 15 twips make one pixel at 96 dots per inch; Qt scales for denser screens.
inline constexpr int kTwipsPerPixel = 15;
int Pixels(int twips);

// The client area, in twips: wide enough for the panels, and high enough to show everything down
// to the notice label (which ends at 990) with a small margin, whatever the window manager adds.
inline constexpr int kClientWidthTwips = 5415;
inline constexpr int kClientHeightTwips = 1080;
// Where start-up puts the panels.
inline constexpr int kPanelTopTwips = 0;
inline constexpr int kOptionsTopTwips = -10;

struct Controls {
  QGroupBox* FrameOptions;
  QPushButton* Command6;  // set
  QCheckBox* CheckSep;
  QCheckBox* Check1;      // Same > +1
  QGroupBox* Frame1;
  QRadioButton* Option1;  // LastWrite
  QRadioButton* Option2;  // Creation
  QRadioButton* Option3;  // Taken; null where the window offers none
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
};

// Creates every control inside `window`, in design position, with its design values.
// `taken`: whether to offer the capture time as a third time source.
Controls BuildControls(QWidget* window, bool taken);

// The window's font: "ＭＳ Ｐゴシック" 9.75 pt, or the nearest Japanese font installed.
QFont WindowFont();

}  // namespace tokiren::ui
