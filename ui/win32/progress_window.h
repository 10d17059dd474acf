// The small modal progress window of a long run, Reset or preview. The work stays on the window's
// thread: each update lets the window repaint, while the window itself takes no input; a
// preview's has a cancel button.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {

class ProgressWindow {
 public:
  ProgressWindow() = default;
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Opens the window over `owner` at the first call (disabling the owner), with a cancel button
  // when `cancellable`, then shows `done` of `total`, or a busy bar while `total` is 0, paints it
  // at once and handles the messages waiting meanwhile. The run calls it a few times a second
  // (RunReports), between those it paints nothing.
  void Show(HWND owner, HFONT font, int dpi, std::uint64_t done, std::uint64_t total,
            bool cancellable);
  // Whether the open window's cancel button was pressed (or its title bar's close): the window
  // stays, its button disabled, until the work has ended.
  bool Cancelled() const { return cancelled_; }
  // Closes the window and gives the owner back its input; nothing when none is open.
  void Hide();

  HWND hwnd() const { return window_; }

 private:
  void Open(HWND owner, HFONT font, int dpi, bool cancellable);
  friend LRESULT CALLBACK WindowProcedure<ProgressWindow>(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  HWND bar_ = nullptr;
  HFONT font_ = nullptr;
  bool busy_ = false;
  bool cancellable_ = false;
  bool cancelled_ = false;
};

// Handles the messages waiting for the thread's windows, without waiting for more. A WM_QUIT met
// here is posted again, for the message loop to end on.
void HandleWaitingMessages();

}  // namespace tokiren::ui::win32
