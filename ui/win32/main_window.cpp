// The main window on Windows.
#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/wide_path.h"
#include "ui/win32/compact_path.h"
#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TokirenWindow";
constexpr wchar_t kPanelClass[] = L"TokirenPanel";
constexpr COLORREF kLightGrey = RGB(224, 224, 224);
// Tool tips wrap at this width (pixels at 96 dots per inch); the longest is two lines then.
constexpr int kTipWidth = 360;
// The folder button's second tool, on its panel: a disabled button sees no mouse.
constexpr UINT_PTR kDisabledFolderTip = 1;
// The one item of List1's context menu.
constexpr UINT kRemoveItem = 1;

// The time sources' option buttons; Option3 where the window offers Taken.
constexpr Id kTimeSources[] = {Id::Option1, Id::Option2, Id::Option3};

// Font sizes in hundredths of a point.
constexpr int kWindowPoints = 975;
constexpr int kSmallPoints = 900;
constexpr int kRunPoints = 1050;

// Panels hold controls but are not where their events go: everything is handed to the window.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetAncestor(panel, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcW(panel, message, wParam, lParam);
  }
}

void RegisterClasses(WNDPROC windowProc) {
  static const bool registered = [windowProc] {
    WNDCLASSEXW window = WindowClass(kWindowClass, windowProc);
    SetProgramIcon(window);
    const WNDCLASSEXW panel = WindowClass(kPanelClass, PanelProc);
    return RegisterClassExW(&window) != 0 && RegisterClassExW(&panel) != 0;
  }();
  (void)registered;
}

bool FontInstalled(const wchar_t* face) {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(
      dc, &font,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// The first of `faces` installed; otherwise the system's own Japanese UI fonts, and last the
// font of its message boxes.
std::wstring ChooseFace(std::initializer_list<const wchar_t*> faces) {
  for (const wchar_t* face : faces) {
    if (FontInstalled(face)) return face;
  }
  for (const wchar_t* face : {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"}) {
    if (FontInstalled(face)) return face;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return metrics.lfMessageFont.lfFaceName;
}

HFONT MakeFont(const std::wstring& face, int hundredthsOfPoint, int dpi) {
  return CreateFontW(-MulDiv(hundredthsOfPoint, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                     FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

}  // namespace

MainWindow::MainWindow(std::string appPath, behaviour::CaptureTimeReaderMaker makeCaptureTimes,
                       Dialogs* dialogs, bool quitOnClose)
    : ownDialogs_(dialogs ? nullptr : std::make_unique<SystemDialogs>()),
      dialogs_(dialogs ? *dialogs : *ownDialogs_),
      quitOnClose_(quitOnClose),
      behaviour_(*this, std::move(appPath), std::move(makeCaptureTimes)) {
  RegisterClasses(WindowProcedure<MainWindow>);
  lightGrey_ = CreateSolidBrush(kLightGrey);
  const std::wstring caption = Widen(behaviour::kWindowCaption);
  // A fixed single border, a minimise button and no maximise button.
  CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, caption.c_str(),
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                  GetModuleHandleW(nullptr), this);
  if (!window_) return;
  dpi_ = static_cast<int>(GetDpiForWindow(window_));
  design_ = behaviour::DesignFor(behaviour_.OffersTaken());
  CreateControls();
  MakeFonts();
  LayOut();
  behaviour_.Start();
}

MainWindow::~MainWindow() {
  progress_.Hide();
  if (window_) DestroyWindow(window_);
  for (const auto& [kind, font] : fonts_) DeleteObject(font);
  DeleteObject(lightGrey_);
}

HWND MainWindow::Control(Id id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void MainWindow::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  for (const ControlDesign& design : design_) {
    HWND parent = design.container == Id::None ? window_ : Control(design.container);
    const std::wstring caption = design.caption ? Widen(design.caption) : std::wstring();
    const wchar_t* windowClass = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD extended = 0;
    switch (design.kind) {
      case Kind::kCaptionedFrame:
      case Kind::kPanel:
      case Kind::kBorderedGroup:
        windowClass = kPanelClass;
        extended = WS_EX_CONTROLPARENT;
        break;
      case Kind::kButton:
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case Kind::kCheckBox:
        style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
        break;
      case Kind::kOptionButton:
        style |= BS_AUTORADIOBUTTON;
        break;
      case Kind::kFolderLabel:
        windowClass = L"STATIC";
        style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY | WS_BORDER;
        break;
      case Kind::kCheckList:
        windowClass = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
        extended = WS_EX_CLIENTEDGE;
        break;
      case Kind::kTextBox:
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        extended = WS_EX_CLIENTEDGE;
        break;
      case Kind::kNotice:
        windowClass = L"STATIC";
        style |= SS_CENTER | SS_NOPREFIX;
        break;
      case Kind::kCaption:
        windowClass = L"STATIC";
        style |= SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY;
        break;
    }
    HWND control = CreateWindowExW(extended, windowClass, IsContainer(design.kind) ? nullptr
                                                                                  : caption.c_str(),
                                   style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
                                   instance, nullptr);
    controls_[design.id] = control;
    if (design.kind == Kind::kCaptionedFrame || design.kind == Kind::kBorderedGroup) {
      // The border (and caption) fills the panel, beneath its controls: a group box with a
      // caption; without one an etched frame, whose line runs along the panel's edge where a
      // group box's would run half a line of text lower, behind the controls of a first row.
      const bool captioned = design.kind == Kind::kCaptionedFrame;
      CreateWindowExW(0, captioned ? L"BUTTON" : L"STATIC", captioned ? caption.c_str() : nullptr,
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS |
                          (captioned ? BS_GROUPBOX : SS_ETCHEDFRAME),
                      0, 0, 0, 0, control, nullptr, instance, nullptr);
    }
    if (design.tip) AddTip(control, design.tip);
  }

  HWND list = Control(Id::List1);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  ListView_SetBkColor(list, kLightGrey);
  ListView_SetTextBkColor(list, kLightGrey);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  ListView_InsertColumn(list, 0, &column);

  HWND folderButton = Control(Id::Command7);
  DragAcceptFiles(folderButton, TRUE);
  SetWindowSubclass(folderButton, DropProc, 0, reinterpret_cast<DWORD_PTR>(this));
  TOOLINFOW tool = DisabledFolderTool();
  tool.uFlags = TTF_SUBCLASS;
  const std::wstring tip = Widen(behaviour::kTipSelectFolder);
  tool.lpszText = const_cast<wchar_t*>(tip.c_str());
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

  Button_SetCheck(Control(Id::Check1), BST_CHECKED);
  Button_SetCheck(Control(Id::Option1), BST_CHECKED);
  OrderTabs();
}

// Tab goes from control to control in the order of their places among their siblings: put each
// container's controls in the design's tab order, and the group boxes beneath them all.
void MainWindow::OrderTabs() {
  for (Id container : {Id::None, Id::FrameOptions, Id::Frame1, Id::FrameRunning, Id::FrameStart}) {
    std::vector<const ControlDesign*> children;
    for (const ControlDesign& design : design_) {
      if (design.container == container) children.push_back(&design);
    }
    std::sort(children.begin(), children.end(),
              [](const ControlDesign* a, const ControlDesign* b) { return a->tab < b->tab; });
    HWND after = HWND_TOP;
    for (const ControlDesign* design : children) {
      HWND control = Control(design->id);
      SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = control;
    }
  }
  // The first option button in tab order (the first of the frame's children now) starts the group
  // of the time sources.
  HWND first = GetWindow(Control(Id::Frame1), GW_CHILD);
  SetWindowLongPtrW(first, GWL_STYLE, GetWindowLongPtrW(first, GWL_STYLE) | WS_GROUP);
  TabToCheckedOption();
  for (Id frame : {Id::FrameOptions, Id::Frame1}) {
    for (HWND child = GetWindow(Control(frame), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (GetDlgCtrlID(child) != 0) continue;  // a control, not the border
      SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    }
  }
}

// The design's sizes suit the design's font; where a caption needs more room in the font actually
// found, its check box or option button grows into the free space beside it (a time source moves
// right to keep clear of the caption before it in its row), so that no caption is cut or touches
// the next control.
void MainWindow::GrowToFitCaptions() {
  const auto placeOf = [](HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
  };
  // What the control says it needs to draw its box and caption in its font, where it can tell
  // (its check box may be wider than the system's check mark, as under Wine), and at least the
  // caption measured in that font beside a check mark.
  const auto wantedWidth = [this](Id id) -> int {
    SIZE ideal{};
    Button_GetIdealSize(Control(id), &ideal);
    return std::max(static_cast<int>(ideal.cx),
                    TextWidth(fonts_[DesignOf(id).font], WindowText(Control(id))) +
                        GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_) + Scaled(8, dpi_));
  };
  // Grows the control to its caption's width, and keeps it short of `limit`.
  const auto grow = [&](Id id, int limit) {
    HWND control = Control(id);
    const RECT place = placeOf(control);
    const int current = static_cast<int>(place.right - place.left);
    const int width =
        std::min(std::max(current, wantedWidth(id)), limit - static_cast<int>(place.left));
    if (width != current) {
      SetWindowPos(control, nullptr, 0, 0, width, place.bottom - place.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  };
  const int gap = Scaled(4, dpi_);
  // The check boxes and Shift's label grow towards the column beside them.
  grow(Id::CheckSep, placeOf(Control(Id::Check2)).left - gap);
  grow(Id::Check1, placeOf(Control(Id::Check2)).left - gap);
  grow(Id::Check2, placeOf(Control(Id::Command6)).left - gap);
  HWND shift = Control(Id::Label4);
  const RECT shiftPlace = placeOf(shift);
  const int shiftWidth =
      std::min(std::max(static_cast<int>(shiftPlace.right - shiftPlace.left),
                        TextWidth(fonts_[DesignOf(Id::Label4).font], WindowText(shift))),
               static_cast<int>(placeOf(Control(Id::Text2)).left - shiftPlace.left));
  SetWindowPos(shift, nullptr, 0, 0, shiftWidth, shiftPlace.bottom - shiftPlace.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The time sources, each as wide as its caption needs; their frame grows towards the check boxes
  // and, where it must, moves left.
  std::vector<HWND> sources;
  std::vector<behaviour::PixelPlace> places;
  std::vector<int> wanted;
  for (Id id : kTimeSources) {
    HWND source = Control(id);
    if (!source) continue;
    const RECT place = placeOf(source);
    sources.push_back(source);
    places.push_back({place.left, place.top, place.right - place.left, place.bottom - place.top});
    wanted.push_back(wantedWidth(id));
  }
  HWND frame = Control(Id::Frame1);
  const RECT framePlace = placeOf(frame);
  behaviour::PixelPlace fitted{framePlace.left, framePlace.top, framePlace.right - framePlace.left,
                               framePlace.bottom - framePlace.top};
  behaviour::FitTimeSources(&fitted, &places, wanted, gap,
                            placeOf(Control(Id::Check1)).left - gap, gap, Scaled(6, dpi_));
  MoveWindow(frame, fitted.left, fitted.top, fitted.width, fitted.height, FALSE);
  for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) == 0) MoveWindow(child, 0, 0, fitted.width, fitted.height, FALSE);
  }
  for (std::size_t i = 0; i < sources.size(); ++i) {
    MoveWindow(sources[i], places[i].left, places[i].top, places[i].width, places[i].height, FALSE);
  }

  // Preview, beside RUN, as wide as its caption needs in the font found, up to the panel's margin.
  HWND preview = Control(Id::Command9);
  const RECT previewPlace = placeOf(preview);
  RECT panel{};
  GetClientRect(Control(Id::FrameRunning), &panel);
  const int previewLimit = panel.right - Pixels(DesignOf(Id::Label3).left, dpi_);
  const int previewWanted = TextWidth(fonts_[Font::kWindow], WindowText(preview)) +
                            2 * GetSystemMetricsForDpi(SM_CXEDGE, dpi_) + Scaled(12, dpi_);
  const int previewWidth = std::min(static_cast<int>(previewPlace.left) + previewWanted,
                                    previewLimit) - previewPlace.left;
  if (previewWidth > previewPlace.right - previewPlace.left) {
    SetWindowPos(preview, nullptr, 0, 0, previewWidth, previewPlace.bottom - previewPlace.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The tool of `control`'s own tip, as the tool-tip control knows it.
TOOLINFOW MainWindow::ToolOf(HWND control) const {
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

// The folder button's second tool: the button's place on its panel.
TOOLINFOW MainWindow::DisabledFolderTool() const {
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = Control(Id::FrameStart);
  tool.uId = kDisabledFolderTip;
  return tool;
}

void MainWindow::AddTip(HWND control, const std::string& text) {
  const std::wstring wide = Widen(text);
  TOOLINFOW tool = ToolOf(control);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.lpszText = const_cast<wchar_t*>(wide.c_str());
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::SetTip(HWND control, const std::string& text) {
  const std::wstring wide = Widen(text);
  TOOLINFOW tool = ToolOf(control);
  tool.lpszText = const_cast<wchar_t*>(wide.c_str());
  SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::MakeFonts() {
  for (const auto& [kind, font] : fonts_) DeleteObject(font);
  // Looked up once: the fonts installed do not change while the program runs.
  static const std::wstring proportional = ChooseFace({L"ＭＳ Ｐゴシック", L"MS PGothic"});
  static const std::wstring fixed = ChooseFace({L"ＭＳ ゴシック", L"MS Gothic"});
  fonts_[Font::kWindow] = MakeFont(proportional, kWindowPoints, dpi_);
  fonts_[Font::kSmall] = MakeFont(proportional, kSmallPoints, dpi_);
  fonts_[Font::kRun] = MakeFont(fixed, kRunPoints, dpi_);
}

// Places every control at its design place at the window's DPI, with the panels where start-up
// puts them, and gives the window the size of its client area.
void MainWindow::LayOut() {
  for (const ControlDesign& design : design_) {
    int top = design.top;
    if (design.id == Id::FrameRunning || design.id == Id::FrameStart) top = kPanelTopTwips;
    if (design.id == Id::FrameOptions) top = kOptionsTopTwips;
    HWND control = Control(design.id);
    const int width = Pixels(design.width, dpi_), height = Pixels(design.height, dpi_);
    MoveWindow(control, Pixels(design.left, dpi_), Pixels(top, dpi_), width, height, FALSE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[design.font]), FALSE);
    if (IsContainer(design.kind)) {
      for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) != 0) continue;
        MoveWindow(child, 0, 0, width, height, FALSE);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[Font::kWindow]), FALSE);
      }
    }
  }
  GrowToFitCaptions();
  HWND list = Control(Id::List1);
  RECT listClient{};
  GetClientRect(list, &listClient);
  ListView_SetColumnWidth(list, 0, listClient.right - GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_));

  SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, Scaled(kTipWidth, dpi_));
  TOOLINFOW tool = DisabledFolderTool();
  GetWindowRect(Control(Id::Command7), &tool.rect);
  MapWindowPoints(nullptr, tool.hwnd, reinterpret_cast<POINT*>(&tool.rect), 2);
  SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));

  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  const DWORD extended = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
  RECT frame{0, 0, Pixels(kClientWidthTwips, dpi_), Pixels(kClientHeightTwips, dpi_)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, extended, dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::Show(int showCommand) {
  RECT frame{};
  GetWindowRect(window_, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, (work.left + work.right - width) / 2,
               (work.top + work.bottom - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  if (GetActiveWindow() == window_) RestoreFocus();
}

bool MainWindow::PreTranslate(MSG& message) {
  return window_ && IsDialogMessageW(window_, &message);
}

LRESULT MainWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      window_ = window;
      break;
    case WM_COMMAND:
      Command(static_cast<Id>(LOWORD(wParam)), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      Notify(*reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != Control(Id::List1)) break;
      ListMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (LRESULT brush = ControlColour(reinterpret_cast<HDC>(wParam),
                                        reinterpret_cast<HWND>(lParam))) {
        return brush;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      MakeFonts();
      LayOut();
      if (!folder_.empty() && ShowFolder()) SetTip(Control(Id::Label3), folder_);
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // During a run or Reset the window stays: it closes when the work has ended.
      if (behaviour_.MayClose()) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      if (quitOnClose_) PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      // The focus leaves with the window and comes back to where it was: after a message box,
      // the folder browser, the progress window or another program.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
      } else {
        RestoreFocus();
      }
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::ControlColour(HDC dc, HWND control) {
  if (control != Control(Id::Label3) && control != Control(Id::Text1) &&
      control != Control(Id::Text2)) {
    return 0;
  }
  SetBkColor(dc, kLightGrey);
  return reinterpret_cast<LRESULT>(lightGrey_);
}

void MainWindow::Command(Id id, int code) {
  if (code != BN_CLICKED) return;
  // Enter in the extension box adds what was typed, as "<<<" does.
  if (static_cast<int>(id) == IDOK && GetFocus() == Control(Id::Text1)) id = Id::Command3;
  switch (id) {
    case Id::Option1:
    case Id::Option2:
    case Id::Option3:
      TabToCheckedOption();
      break;
    case Id::Command8:
      behaviour_.OptionsClicked();
      break;
    case Id::Command6:
      behaviour_.SetClicked();
      break;
    case Id::Command2:
      behaviour_.BackClicked();
      break;
    case Id::Command3: {
      behaviour_.AddClicked(Narrow(WindowText(Control(Id::Text1))));
      break;
    }
    case Id::Command7:
      behaviour_.FolderClicked();
      break;
    case Id::Command4:
      behaviour_.KeepFolderClicked();
      break;
    case Id::Command1:
      behaviour_.RunClicked(CurrentOptionControls());
      break;
    case Id::Command5:
      behaviour_.ResetClicked();
      break;
    case Id::Command9:
      behaviour_.PreviewClicked(CurrentOptionControls());
      break;
    default:
      break;
  }
}

void MainWindow::Notify(const NMHDR& header) {
  if (header.idFrom != static_cast<UINT_PTR>(Id::List1)) return;
  if (header.code == LVN_KEYDOWN) {
    if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
      behaviour_.RemoveClicked(ListView_GetNextItem(header.hwndFrom, -1, LVNI_SELECTED));
    }
    return;
  }
  if (header.code != LVN_ITEMCHANGED) return;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  // A check mark set or cleared; an entry gets its first (unchecked) mark when it is inserted.
  const UINT oldMark = change.uOldState & LVIS_STATEIMAGEMASK;
  const UINT newMark = change.uNewState & LVIS_STATEIMAGEMASK;
  if (!(change.uChanged & LVIF_STATE) || oldMark == 0 || oldMark == newMark) return;
  behaviour_.ExtensionChecked(change.iItem, newMark == INDEXTOSTATEIMAGEMASK(2));
}

void MainWindow::ListMenu(POINT screen) {
  HWND list = Control(Id::List1);
  int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (screen.x == -1 && screen.y == -1) {
    RECT item{};
    if (row < 0 || !ListView_GetItemRect(list, row, &item, LVIR_LABEL)) return;
    screen = POINT{item.left, item.bottom};
    ClientToScreen(list, &screen);
  } else {
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(list, &hit.pt);
    row = ListView_HitTest(list, &hit);
    if (row >= 0) {
      ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
  }
  if (!behaviour_.MayRemoveExtension(row)) return;
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kRemoveItem, Widen(behaviour::kRemoveCaption).c_str());
  const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                     window_, nullptr);
  DestroyMenu(menu);
  if (chosen == kRemoveItem) behaviour_.RemoveClicked(row);
}

LRESULT CALLBACK MainWindow::DropProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
  if (message == WM_DROPFILES) {
    reinterpret_cast<MainWindow*>(self)->Dropped(reinterpret_cast<HDROP>(wParam));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(button, DropProc, 0);
  return DefSubclassProc(button, message, wParam, lParam);
}

// Only the first dropped item counts: the others are not even looked at.
void MainWindow::Dropped(HDROP drop) {
  std::wstring first;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    first.assign(length + 1, L'\0');
    first.resize(DragQueryFileW(drop, 0, first.data(), length + 1));
  }
  DragFinish(drop);
  // Refused while the folder button is disabled, and while the window is (a message box, the
  // folder browser or the progress window is open over it): the behaviour is busy then.
  if (first.empty() || !IsWindowEnabled(Control(Id::Command7)) || !IsWindowEnabled(window_)) {
    return;
  }
  behaviour_.FolderDropped({behaviour::DroppedItem{NarrowPath(first), IsFolder(first)}});
}

behaviour::OptionControls MainWindow::CurrentOptionControls() const {
  behaviour::OptionControls options;
  options.CheckSep = Button_GetCheck(Control(Id::CheckSep)) == BST_CHECKED;
  options.Check1 = Button_GetCheck(Control(Id::Check1)) == BST_CHECKED;
  options.Option2 = Button_GetCheck(Control(Id::Option2)) == BST_CHECKED;
  // Option3 is made only where the behaviour offers Taken.
  options.Option3 = Control(Id::Option3) && Button_GetCheck(Control(Id::Option3)) == BST_CHECKED;
  options.Check2 = Button_GetCheck(Control(Id::Check2)) == BST_CHECKED;
  options.Text2 = Narrow(WindowText(Control(Id::Text2)));
  return options;
}

void MainWindow::ShowPanel(behaviour::Panel panel) {
  ShowWindow(Control(Id::FrameStart), panel == behaviour::Panel::kStart ? SW_SHOW : SW_HIDE);
  ShowWindow(Control(Id::FrameRunning), panel == behaviour::Panel::kRunning ? SW_SHOW : SW_HIDE);
  ShowWindow(Control(Id::FrameOptions), panel == behaviour::Panel::kOptions ? SW_SHOW : SW_HIDE);
  panel_ = panel;
  // The focus must not stay on a control that is no longer seen.
  if (GetActiveWindow() == window_) RestoreFocus();
}

// Gives the focus back to the control that had it, while it is still seen and enabled; otherwise
// to the panel's main button (never to an option button, which Windows would check on taking the
// focus).
void MainWindow::RestoreFocus() {
  HWND focus = GetFocus();
  if (focus && focus != window_ && IsChild(window_, focus) && IsWindowVisible(focus) &&
      IsWindowEnabled(focus)) {
    return;
  }
  if (lastFocus_ && IsChild(window_, lastFocus_) && IsWindowVisible(lastFocus_) &&
      IsWindowEnabled(lastFocus_)) {
    const bool uncheckedOption =
        std::find_if(std::begin(kTimeSources), std::end(kTimeSources), [this](Id id) {
          return Control(id) == lastFocus_;
        }) != std::end(kTimeSources) &&
        Button_GetCheck(lastFocus_) != BST_CHECKED;
    if (!uncheckedOption) {
      SetFocus(lastFocus_);
      return;
    }
  }
  HWND next = panel_ == behaviour::Panel::kRunning   ? Control(Id::Command1)
              : panel_ == behaviour::Panel::kOptions ? Control(Id::Command6)
              : IsWindowEnabled(Control(Id::Command7)) ? Control(Id::Command7)
                                                       : Control(Id::Text1);
  SetFocus(next);
}

// Tab enters the group of option buttons at the checked one, as in a dialog: only it is a tab
// stop.
void MainWindow::TabToCheckedOption() {
  for (Id option : kTimeSources) {
    HWND button = Control(option);
    if (!button) continue;
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    const bool checked = Button_GetCheck(button) == BST_CHECKED;
    SetWindowLongPtrW(button, GWL_STYLE, checked ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
}

void MainWindow::InsertExtension(int row, const std::string& text) {
  std::wstring wide = Widen(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = wide.data();
  ListView_InsertItem(Control(Id::List1), &item);
}

void MainWindow::RemoveExtension(int row) { ListView_DeleteItem(Control(Id::List1), row); }

void MainWindow::SelectTypedExtension() {
  HWND box = Control(Id::Text1);
  SetFocus(box);
  Edit_SetSel(box, 0, -1);
}

void MainWindow::SetFolderButtonEnabled(bool enabled) {
  EnableWindow(Control(Id::Command7), enabled);
}

bool MainWindow::ShowFolder() {
  HWND label = Control(Id::Label3);
  RECT frame{};
  GetWindowRect(label, &frame);
  const int width = static_cast<int>(std::lround((frame.right - frame.left) * kUsableWidth));
  const std::wstring full = Widen(folder_);
  const std::wstring shown = CompactPath(window_, fonts_[Font::kWindow], full, width,
                                         DT_PATH_ELLIPSIS);
  SetWindowTextW(label, shown.c_str());
  return shown != full;
}

void MainWindow::SetFolderLabel(const std::string& path) {
  folder_ = path;
  // The whole path where it is shortened; a tool tip once set stays.
  if (ShowFolder()) SetTip(Control(Id::Label3), path);
}

void MainWindow::ShowMessage(behaviour::MessageIcon icon, const std::string& title,
                             const std::string& text, const std::string& details) {
  // Over the progress window while there is one, which keeps the window disabled behind it.
  dialogs_.ShowMessage(progress_.hwnd() ? progress_.hwnd() : window_, icon, title, text, details);
}

std::string MainWindow::ChooseFolder(const std::string& start) {
  return dialogs_.ChooseFolder(window_, start);
}

void MainWindow::ShowProgress(std::uint64_t done, std::uint64_t total, bool cancellable) {
  progress_.Show(window_, fonts_[Font::kWindow], dpi_, done, total, cancellable);
}

bool MainWindow::ProgressCancelled() { return progress_.Cancelled(); }

void MainWindow::HideProgress() { progress_.Hide(); }

void MainWindow::Close() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void MainWindow::ShowPreview(const behaviour::Preview& preview) {
  dialogs_.ShowPreview(window_, preview);
}

int RunMessageLoop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace tokiren::ui::win32
