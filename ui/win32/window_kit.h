// Small pieces shared by the window's parts: sizes at a DPI, a window's text, a text's width,
// a window class and its procedure.
#pragma once

#include <windows.h>

#include <string>

namespace tokiren::ui::win32 {

// `pixels` at 96 dots per inch, at `dpi`.
inline int Scaled(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

// The text of `window`: a control's caption or contents, a window's title.
std::wstring WindowText(HWND window);

// The width of `text` in pixels, drawn in `font`.
int TextWidth(HFONT font, const std::wstring& text);

// A window class of this program named `name`, handled by `procedure`, on the dialogs' grey, with
// the `cursor` of the system; more may be filled in before it is registered.
WNDCLASSEXW WindowClass(const wchar_t* name, WNDPROC procedure, const wchar_t* cursor = IDC_ARROW);

// Gives `windowClass` the program's icon (resource 1 of the executable), in the system's large and
// small sizes: its title bar, the taskbar and Alt+Tab show it.
void SetProgramIcon(WNDCLASSEXW& windowClass);

// The window procedure of a class each of whose objects owns a window: the object, passed as the
// last argument of CreateWindowExW, is kept in the window's GWLP_USERDATA at WM_NCCREATE, and from
// that message on every message goes to its Handle(window, message, wParam, lParam); the few
// before it go to DefWindowProcW. The object outlives its window.
template <typename Owner>
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  }
  if (!owner) return DefWindowProcW(window, message, wParam, lParam);
  return owner->Handle(window, message, wParam, lParam);
}

}  // namespace tokiren::ui::win32
