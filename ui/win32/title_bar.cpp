// Title bars shown whole.
#include "ui/win32/title_bar.h"

#include <algorithm>
#include <vector>

#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {

namespace {

int TextWidthIn(const LOGFONTW& description, const std::wstring& text) {
  HFONT font = CreateFontIndirectW(&description);
  const int width = TextWidth(font, text);
  DeleteObject(font);
  return width;
}

}  // namespace

int TitleBarWidth(const std::wstring& title, int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return 0;
  }
  // Bold, as most title bars draw it, whatever the system's caption font says; and measured in
  // a Japanese font as well, for a caption font without Japanese letters measures them short.
  LOGFONTW caption = metrics.lfCaptionFont;
  caption.lfWeight = FW_BOLD;
  LOGFONTW japanese = caption;
  japanese.lfCharSet = SHIFTJIS_CHARSET;
  japanese.lfFaceName[0] = L'\0';
  const int text = std::max(TextWidthIn(caption, title), TextWidthIn(japanese, title));
  return text + 5 * GetSystemMetricsForDpi(SM_CYCAPTION, dpi);
}

void WidenForTitle(HWND window) {
  const std::wstring title = WindowText(window);
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int wanted = TitleBarWidth(title, static_cast<int>(GetDpiForWindow(window)));
  if (wanted <= width) return;
  const int grown = wanted - width;
  SetWindowPos(window, nullptr, frame.left - grown / 2, frame.top, wanted,
               frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  std::vector<HWND> buttons;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    const LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
    if (_wcsicmp(name, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)) {
      buttons.push_back(child);
    }
  }
  for (HWND button : buttons) {
    RECT place{};
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    SetWindowPos(button, nullptr, place.left + grown / 2, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace tokiren::ui::win32
