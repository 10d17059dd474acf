// Small pieces shared by the window's parts.
#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {
namespace {

constexpr int kIconResource = 1;

HICON ProgramIcon(int width, int height) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource),
                                       IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

}  // namespace

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

int TextWidth(HFONT font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return static_cast<int>(size.cx);
}

WNDCLASSEXW WindowClass(const wchar_t* name, WNDPROC procedure, const wchar_t* cursor) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, cursor);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = name;
  return windowClass;
}

void SetProgramIcon(WNDCLASSEXW& windowClass) {
  windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

}  // namespace tokiren::ui::win32
