// The preview's window.
#include "ui/win32/preview_window.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/design.h"
#include "ui/behaviour/strings.h"
#include "ui/behaviour/wide_path.h"
#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TokirenPreview";
constexpr int kListId = 1;

// Sizes at 96 dots per inch (the window's first client area and the columns' first widths are
// the design's): the margins, the lines of text above the list, the button.
constexpr int kClientWidth = behaviour::kPreviewWidth;
constexpr int kClientHeight = behaviour::kPreviewHeight;
constexpr int kMargin = 10;
constexpr int kLineHeight = 18;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;

void RegisterClassOnce(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass = WindowClass(kClassName, procedure);
    SetProgramIcon(windowClass);
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

PreviewWindow::PreviewWindow(HWND owner, const behaviour::Preview& preview)
    : preview_(preview), owner_(owner) {
  RegisterClassOnce(WindowProcedure<PreviewWindow>);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  dpi_ = owner ? static_cast<int>(GetDpiForWindow(owner)) : static_cast<int>(GetDpiForSystem());
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                             static_cast<UINT>(dpi_));
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);

  const DWORD style = WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX;
  RECT frame{0, 0, Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, static_cast<UINT>(dpi_));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int left = CW_USEDEFAULT, top = CW_USEDEFAULT;
  if (owner) {
    RECT over{};
    GetWindowRect(owner, &over);
    left = std::max(0, static_cast<int>(over.left + over.right - width) / 2);
    top = std::max(0, static_cast<int>(over.top + over.bottom - height) / 2);
  }
  const std::wstring title = Widen(behaviour::kPreviewTitle);
  CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, title.c_str(), style,
                  left, top, width, height, owner, nullptr, instance, this);
  if (!window_) return;

  const auto child = [&](const wchar_t* windowClass, const std::wstring& text, DWORD childStyle,
                         DWORD extended, int id) {
    HWND control = CreateWindowExW(extended, windowClass, text.c_str(),
                                   WS_CHILD | WS_VISIBLE | childStyle, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                   nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
  };
  folder_ = child(L"STATIC", Widen(preview_.folder()), SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
                  0, 0);
  const std::string heading = preview_.Heading();
  // A line for each of the heading's, and one more: the counts may take two.
  headingLines_ = 2;
  for (std::size_t at = heading.find(behaviour::kLineEnd); at != std::string::npos;
       at = heading.find(behaviour::kLineEnd, at + 1)) {
    ++headingLines_;
  }
  heading_ = child(L"STATIC", Widen(heading), SS_LEFT | SS_NOPREFIX, 0, 0);
  list_ = child(WC_LISTVIEWW, L"",
                LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE,
                kListId);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int column = 0; column < behaviour::Preview::kColumns; ++column) {
    std::wstring caption = Widen(behaviour::Preview::ColumnTitle(column));
    LVCOLUMNW description{};
    description.mask = LVCF_TEXT | LVCF_WIDTH;
    description.pszText = caption.data();
    description.cx = Scaled(behaviour::kPreviewColumnWidths[column], dpi_);
    ListView_InsertColumn(list_, column, &description);
  }
  // The rows are only counted: their cells are asked for when they come into sight.
  ListView_SetItemCountEx(list_, static_cast<int>(std::min<std::size_t>(preview_.size(), INT_MAX)),
                          LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  close_ = child(L"BUTTON", Widen(behaviour::kCloseCaption), BS_DEFPUSHBUTTON | WS_TABSTOP, 0,
                 IDCANCEL);
  LayOut();
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetFocus(list_);
}

PreviewWindow::~PreviewWindow() {
  Close();
  DeleteObject(font_);
}

void PreviewWindow::Close() {
  if (!window_) return;
  // The owner first, so that it is the one activated when this window goes.
  if (owner_) EnableWindow(owner_, TRUE);
  DestroyWindow(window_);
}

void PreviewWindow::RunModal() {
  MSG message;
  while (window_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (got < 0) return;
    if (IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT PreviewWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      window_ = window;
      break;
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = POINT{Scaled(kClientWidth / 2, dpi_), Scaled(kClientHeight / 2, dpi_)};
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == kListId && header->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0 && info->item.iItem >= 0 &&
            static_cast<std::size_t>(info->item.iItem) < preview_.size()) {
          cell_ = Widen(preview_.Cell(static_cast<std::size_t>(info->item.iItem),
                                      info->item.iSubItem));
          lstrcpynW(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
        }
        return 0;
      }
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) Close();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The folder and the heading at the top, the button at the bottom right, the list between.
void PreviewWindow::LayOut() {
  if (!close_) return;  // still being made
  RECT client{};
  GetClientRect(window_, &client);
  const int margin = Scaled(kMargin, dpi_), line = Scaled(kLineHeight, dpi_);
  const int width = client.right - 2 * margin;
  const int buttonWidth = Scaled(kButtonWidth, dpi_), buttonHeight = Scaled(kButtonHeight, dpi_);
  MoveWindow(folder_, margin, margin, width, line, TRUE);
  MoveWindow(heading_, margin, margin + line, width, headingLines_ * line, TRUE);
  const int listTop = margin + (1 + headingLines_) * line + margin / 2;
  const int buttonTop = client.bottom - margin - buttonHeight;
  MoveWindow(list_, margin, listTop, width, std::max(0, buttonTop - margin - listTop), TRUE);
  MoveWindow(close_, client.right - margin - buttonWidth, buttonTop, buttonWidth, buttonHeight,
             TRUE);
}

}  // namespace tokiren::ui::win32
