// How wide a window must be for its whole title.
#include "ui/qt/title_bar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace tokiren::ui {
namespace {

// The icon, the minimise, maximise and close buttons, each about as wide as the bar is high, and
// one more for the frame's edges and the gaps between them.
constexpr int kTitleBarSlots = 5;

}  // namespace

int TitleBarWidth(const QWidget& window) {
  // Many window managers draw the title bold (Openbox's themes do); bold is never narrower.
  QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
  QFont ownFont = window.font();
  titleFont.setBold(true);
  ownFont.setBold(true);
  const QFontMetrics title(titleFont), own(ownFont);
  const int text = std::max(title.horizontalAdvance(window.windowTitle()),
                            own.horizontalAdvance(window.windowTitle()));
  const int barHeight =
      std::max({window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window),
                title.height(), own.height()});
  return text + kTitleBarSlots * barHeight;
}

}  // namespace tokiren::ui
