// The preview's window: the chosen folder and the heading above a list of every file of the plan.
// The list is virtual (LVS_OWNERDATA): it asks behaviour::Preview for the cells in sight only, so
// that a million rows open and scroll at once.
#pragma once

#include <windows.h>

#include <string>

#include "ui/behaviour/preview.h"
#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {

class PreviewWindow {
 public:
  // Makes and shows the window over `owner`, which takes no input while it is open.
  PreviewWindow(HWND owner, const behaviour::Preview& preview);
  // Closes the window, if the user has not, and gives the owner back its input.
  ~PreviewWindow();
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // Handles the thread's messages until the user closes the window (its button, Escape or its
  // title bar). A WM_QUIT met meanwhile is posted again, for the message loop to end on.
  void RunModal();

  HWND hwnd() const { return window_; }
  HWND list() const { return list_; }

 private:
  friend LRESULT CALLBACK WindowProcedure<PreviewWindow>(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void LayOut();
  void Close();

  const behaviour::Preview& preview_;
  HWND owner_;
  HWND window_ = nullptr;
  HWND folder_ = nullptr;
  HWND heading_ = nullptr;
  HWND list_ = nullptr;
  HWND close_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  int headingLines_ = 0;  // the lines the heading may take
  std::wstring cell_;  // the text of the cell the list asked for last
};

}  // namespace tokiren::ui::win32
