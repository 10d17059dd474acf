// The progress window.
#include "ui/win32/progress_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/wide_path.h"
#include "ui/win32/window_kit.h"
#include "ui/win32/title_bar.h"

namespace tokiren::ui::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TokirenProgress";
constexpr int kSteps = 1000;

// Sizes at 96 dots per inch.
constexpr int kClientWidth = 300;
constexpr int kClientHeight = 76;
constexpr int kMargin = 14;
constexpr int kTextHeight = 20;
constexpr int kBarHeight = 18;
constexpr int kMarqueeMilliseconds = 40;
// The cancel button's row, below the bar, where there is one.
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kButtonRow = kButtonHeight + 10;

void RegisterClassOnce(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass = WindowClass(kClassName, procedure, IDC_WAIT);
    SetProgramIcon(windowClass);
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

ProgressWindow::~ProgressWindow() { Hide(); }

LRESULT ProgressWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool cancel = cancellable_ && ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) ||
                                       message == WM_CLOSE);
  if (cancel) {
    // The work ends at its next question, and closes the window.
    cancelled_ = true;
    EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
    return 0;
  }
  if (message == WM_CLOSE) {
    // Alt+F4 here is the user closing the program: its window closes when the work has ended.
    if (HWND owner = GetWindow(window, GW_OWNER)) SendMessageW(owner, WM_CLOSE, 0, 0);
    return 0;  // it closes when the work ends
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ProgressWindow::Open(HWND owner, HFONT font, int dpi, bool cancellable) {
  RegisterClassOnce(WindowProcedure<ProgressWindow>);
  cancellable_ = cancellable;
  cancelled_ = false;
  const std::wstring title = Widen(behaviour::kWindowCaption);
  const DWORD style = WS_POPUP | WS_CAPTION;
  RECT frame{0, 0, std::max(Scaled(kClientWidth, dpi), TitleBarWidth(title, dpi)),
             Scaled(kClientHeight + (cancellable ? kButtonRow : 0), dpi)};
  const int clientWidth = frame.right;
  AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT over{};
  GetWindowRect(owner, &over);
  const int left = (over.left + over.right - width) / 2, top = (over.top + over.bottom - height) / 2;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, title.c_str(), style, left, top,
                            width, height, owner, nullptr, instance, this);
  if (!window_) return;
  owner_ = owner;
  const int margin = Scaled(kMargin, dpi);
  HWND text = CreateWindowExW(0, L"STATIC", Widen(behaviour::kRunning).c_str(),
                              WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin, margin,
                              clientWidth - 2 * margin, Scaled(kTextHeight, dpi), window_, nullptr,
                              instance, nullptr);
  // A copy of its own: the window's fonts are made anew when it moves to a screen of another DPI.
  LOGFONTW description{};
  GetObjectW(font, sizeof description, &description);
  font_ = CreateFontIndirectW(&description);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, margin,
                         margin + Scaled(kTextHeight + 8, dpi), clientWidth - 2 * margin,
                         Scaled(kBarHeight, dpi), window_, nullptr, instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, kSteps);
  if (cancellable) {
    const int buttonWidth = Scaled(kButtonWidth, dpi), buttonHeight = Scaled(kButtonHeight, dpi);
    HWND cancel = CreateWindowExW(
        0, L"BUTTON", Widen(behaviour::kCancelCaption).c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, (clientWidth - buttonWidth) / 2,
        Scaled(kClientHeight + kButtonRow - kButtonHeight - kMargin / 2, dpi), buttonWidth,
        buttonHeight, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance,
        nullptr);
    SendMessageW(cancel, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  EnableWindow(owner, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

void ProgressWindow::Show(HWND owner, HFONT font, int dpi, std::uint64_t done,
                          std::uint64_t total, bool cancellable) {
  if (!window_) Open(owner, font, dpi, cancellable);
  if (!window_) return;
  const bool busy = total == 0;
  if (busy != busy_) {
    const LONG_PTR style = GetWindowLongPtrW(bar_, GWL_STYLE);
    SetWindowLongPtrW(bar_, GWL_STYLE, busy ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(bar_, PBM_SETMARQUEE, busy, kMarqueeMilliseconds);
    busy_ = busy;
  }
  if (!busy) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(std::min(done, total) * kSteps / total), 0);
  }
  // Painted now, whatever else waits: the run holds the thread until the next update.
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HandleWaitingMessages();
}

void ProgressWindow::Hide() {
  if (!window_) return;
  // The owner first, so that it is the one activated when the progress window goes.
  EnableWindow(owner_, TRUE);
  DestroyWindow(window_);
  DeleteObject(font_);
  window_ = nullptr;
  font_ = nullptr;
  bar_ = nullptr;
  busy_ = false;
  cancellable_ = false;
  cancelled_ = false;
}

void HandleWaitingMessages() {
  MSG message;
  bool quit = false;
  WPARAM exitCode = 0;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      exitCode = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (quit) PostQuitMessage(static_cast<int>(exitCode));
}

}  // namespace tokiren::ui::win32
