// tokiren.exe: the program's entry on Windows, which opens the main window.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "media/capture_times.h"
#include "settings/settings_files.h"
#include "ui/win32/main_window.h"

namespace {

// The readers of "Taken" runs, where this system reads capture times; none (no "Taken") elsewhere.
tokiren::behaviour::CaptureTimeReaderMaker MakeCaptureTimes() {
  if (!tokiren::CanReadCaptureTimes()) return nullptr;
  return [] { return tokiren::MakeCaptureTimeReader(); };
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // The manifest asks for per-monitor DPI awareness; this holds where it is not read.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browser needs COM on the window's thread.
  const HRESULT com = OleInitialize(nullptr);
  int exitCode = 0;
  {
    tokiren::ui::win32::MainWindow window(tokiren::ChooseProgramFolder(), MakeCaptureTimes());
    if (!window.hwnd()) return 1;
    window.Show(showCommand);
    exitCode = tokiren::ui::win32::RunMessageLoop(window);
  }
  if (SUCCEEDED(com)) OleUninitialize();
  return exitCode;
}
