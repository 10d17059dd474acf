// tokiren: the program's entry, which opens the main window.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "media/capture_times.h"
#include "settings/settings_files.h"
#include "ui/qt/tokiren_window.h"

namespace {

// True when Qt has somewhere to show a window: a display, or a platform chosen explicitly.
bool HaveDisplay() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return true;
  }
  return false;
}

// The readers of "Taken" runs, where this system reads capture times; none (no "Taken") elsewhere.
tokiren::behaviour::CaptureTimeReaderMaker MakeCaptureTimes() {
  if (!tokiren::CanReadCaptureTimes()) return nullptr;
  return [] { return tokiren::MakeCaptureTimeReader(); };
}

}  // namespace

int main(int argc, char** argv) {
  if (!HaveDisplay()) {
    std::fputs("tokiren: no display to open the window on; to see it without one, run "
               "scripts/screenshots.sh (it saves pictures of the window to build/screenshots/)\n",
               stderr);
    return 1;
  }
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("tokiren"));
  tokiren::ui::Tokiren window(tokiren::ChooseProgramFolder(), MakeCaptureTimes());
  window.show();
  return application.exec();
}
