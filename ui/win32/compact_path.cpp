// The path display.
#include "ui/win32/compact_path.h"

#include <string_view>
#include <vector>

namespace tokiren::ui::win32 {

std::wstring CompactPath(HWND window, HFONT font, const std::wstring& path, int width,
                         UINT flags) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  // DrawText keeps what follows the last separator: for a folder shown with its separator at the
  // end that would be nothing at all. The separator is set aside, and room kept for it.
  std::wstring_view rest = path;
  std::wstring_view end;
  if (rest.size() > 1 && rest.back() == L'\\') {
    end = rest.substr(rest.size() - 1);
    rest.remove_suffix(1);
    SIZE size{};
    GetTextExtentPoint32W(dc, end.data(), 1, &size);
    width -= size.cx;
  }
  // DT_MODIFYSTRING writes the shortened form over the text, which may need four more units.
  std::vector<wchar_t> text(rest.begin(), rest.end());
  text.resize(rest.size() + 5, L'\0');
  RECT rect{0, 0, width, 0};
  // One line, and an "&" in a folder's name is a character, not the mark of an access key.
  DrawTextW(dc, text.data(), -1, &rect,
            flags | DT_MODIFYSTRING | DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return std::wstring(text.data()) + std::wstring(end);
}

}  // namespace tokiren::ui::win32
