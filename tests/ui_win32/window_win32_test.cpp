// The native window under a real (or Wine's) window system: its controls, drops, the path
// display, a run and a Reset on a real tree, the progress window. Dialogs are answered by a fake.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fake_capture_times.h"
#include "tests/support/temp_tree.h"
#include "ui/behaviour/captions.h"
#include "ui/behaviour/strings.h"
#include "ui/behaviour/wide_path.h"
#include "ui/win32/main_window.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/title_bar.h"

namespace tokiren::ui::win32 {
namespace {

using testing::TempTree;

class FakeDialogs final : public Dialogs {
 public:
  struct Message {
    HWND owner;
    behaviour::MessageIcon icon;
    std::string title;
    std::string text;
    std::string details;
  };
  void ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                   const std::string& text, const std::string& details) override {
    messages.push_back({owner, icon, title, text, details});
    if (whileOpen) whileOpen(owner);
  }
  std::string ChooseFolder(HWND owner, const std::string& start) override {
    owners.push_back(owner);
    starts.push_back(start);
    if (whileOpen) whileOpen(owner);
    return answer;
  }
  void ShowPreview(HWND owner, const behaviour::Preview& preview) override {
    owners.push_back(owner);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < preview.size(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < behaviour::Preview::kColumns; ++column) {
        cells.push_back(preview.Cell(row, column));
      }
      rows.push_back(cells);
    }
    previews.push_back(rows);
  }
  std::vector<std::vector<std::vector<std::string>>> previews;
  // Done while a dialog is open, over its owner, which a real dialog disables meanwhile.
  std::function<void(HWND owner)> whileOpen;
  std::vector<Message> messages;
  std::vector<HWND> owners;
  std::vector<std::string> starts;
  std::string answer;
};

std::string TextOf(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

std::string ClassOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return Narrow(name);
}

// A button pressed as the user does: its click reaches the window through its panel.
void Click(HWND button) {
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

// A drop of `paths`, as the shell hands it to the window under the mouse.
void Drop(HWND target, const std::vector<std::string>& paths) {
  std::wstring list;
  for (const std::string& path : paths) list += Widen(path) + L'\0';
  list += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
         list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // frees it
}

std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  for (int i = 0; i < ListView_GetItemCount(list); ++i) {
    wchar_t text[256] = {};
    ListView_GetItemText(list, i, 0, text, 256);
    entries.push_back(Narrow(text));
  }
  return entries;
}

// Whether `control` is set to be seen. The window itself stays hidden in most cases: Wine takes
// seconds to take down a window that was on the screen.
bool Shown(HWND control) { return GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE; }

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = tree_.MakeFolder("app");
    TempTree::WriteFile(tree_ / "app/tokiren", ".TXT\r\n.AVI\r\n");
    Open();
  }

  void Open() {
    window_ = std::make_unique<MainWindow>(app_, makeCaptureTimes_, &dialogs_,
                                           /*quitOnClose=*/false);
    ASSERT_NE(window_->hwnd(), nullptr);
  }

  HWND C(Id id) const { return window_->Control(id); }

  std::string TipOf(HWND control) const {
    wchar_t text[1024] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    SendMessageW(window_->ToolTips(), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return Narrow(text);
  }

  void CheckEntry(int row, bool checked) {
    ListView_SetCheckState(C(Id::List1), row, checked);
  }

  // Checks ".*" and drops `folder` on the folder button.
  void ChooseByDrop(const std::string& folder) {
    CheckEntry(0, true);
    Drop(C(Id::Command7), {folder});
  }

  TempTree tree_;
  std::string app_;
  FakeDialogs dialogs_;
  behaviour::CaptureTimeReaderMaker makeCaptureTimes_;  // none: the window offers no Taken
  std::unique_ptr<MainWindow> window_;
};

TEST_F(Win32WindowTest, OpensCentredWithItsCaptionAFixedBorderAndTheIcon) {
  window_->Show(SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
  RECT frame{};
  GetWindowRect(window_->hwnd(), &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_->hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_LE(std::abs((frame.left + frame.right) - (monitor.rcWork.left + monitor.rcWork.right)), 1);
  EXPECT_LE(std::abs((frame.top + frame.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 1);
  EXPECT_EQ(TextOf(window_->hwnd()), "Change Tokiren Ver 3.0");
  const LONG_PTR style = GetWindowLongPtrW(window_->hwnd(), GWL_STYLE);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_NE(GetClassLongPtrW(window_->hwnd(), GCLP_HICON), 0);
  EXPECT_NE(GetClassLongPtrW(window_->hwnd(), GCLP_HICONSM), 0);
}

TEST_F(Win32WindowTest, EveryControlHasItsCaptionAndToolTip) {
  for (const ControlDesign& design : behaviour::DesignFor(window_->Behaviour().OffersTaken())) {
    SCOPED_TRACE(static_cast<int>(design.id));
    HWND control = C(design.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetDlgCtrlID(control), static_cast<int>(design.id));
    const bool captioned = design.kind != Kind::kPanel && design.kind != Kind::kCheckList &&
                           design.kind != Kind::kTextBox && design.kind != Kind::kBorderedGroup &&
                           design.kind != Kind::kCaptionedFrame;
    if (captioned) {
      EXPECT_EQ(TextOf(control), design.caption);
    }
    EXPECT_EQ(TipOf(control), design.tip ? design.tip : "");
  }
  // The frame's caption is on its border.
  HWND border = GetWindow(C(Id::FrameOptions), GW_CHILD);
  while (border && GetDlgCtrlID(border) != 0) border = GetWindow(border, GW_HWNDNEXT);
  ASSERT_NE(border, nullptr);
  EXPECT_EQ(TextOf(border), "Options");
  EXPECT_EQ(ClassOf(C(Id::List1)), "SysListView32");
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(C(Id::List1)) & LVS_EX_CHECKBOXES);
}

TEST_F(Win32WindowTest, PlacesTheControlsFromTwipsAtTheWindowsDpi) {
  const int dpi = window_->Dpi();
  RECT client{};
  GetClientRect(window_->hwnd(), &client);
  EXPECT_EQ(client.right, Pixels(6228, dpi));
  EXPECT_EQ(client.bottom, Pixels(1080, dpi));
  const auto placeIn = [](HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const RECT button = placeIn(C(Id::Command7));
  EXPECT_EQ(button.left, Pixels(2400, dpi));
  EXPECT_EQ(button.top, Pixels(60, dpi));
  EXPECT_EQ(button.right - button.left, Pixels(2835, dpi));
  EXPECT_EQ(button.bottom - button.top, Pixels(336, dpi));
  // Start-up moved the panels to the top, the options ten twips above it.
  EXPECT_EQ(placeIn(C(Id::FrameStart)).top, 0);
  EXPECT_EQ(placeIn(C(Id::FrameRunning)).top, 0);
  EXPECT_EQ(placeIn(C(Id::FrameOptions)).top, Pixels(-10, dpi));
  EXPECT_EQ(GetParent(C(Id::Option2)), C(Id::Frame1));

  // Every caption of the options fits its control, inside its frame, beside its neighbours.
  for (Id id : {Id::CheckSep, Id::Check1, Id::Check2, Id::Option1, Id::Option2}) {
    SCOPED_TRACE(static_cast<int>(id));
    HWND control = C(id);
    const std::wstring caption = Widen(TextOf(control));
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    const RECT place = placeIn(control);
    // The box or circle, the gap after it (a few pixels) and the caption.
    EXPECT_GE(place.right - place.left,
              text.cx + GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + MulDiv(6, dpi, 96));
    SIZE ideal{};  // as the control draws them: its box may be wider than the check mark
    Button_GetIdealSize(control, &ideal);
    EXPECT_GE(place.right - place.left, ideal.cx);
    RECT container{};
    GetClientRect(GetParent(control), &container);
    EXPECT_LE(place.right, container.right);
  }
  EXPECT_GE(placeIn(C(Id::Option2)).top, placeIn(C(Id::Option1)).bottom);
  EXPECT_LE(placeIn(C(Id::Check1)).right, placeIn(C(Id::Check2)).left);
  EXPECT_LE(placeIn(C(Id::Frame1)).right, placeIn(C(Id::Check1)).left);
  EXPECT_LE(placeIn(C(Id::CheckSep)).right, placeIn(C(Id::Check2)).left);
  EXPECT_LE(placeIn(C(Id::Check2)).right, placeIn(C(Id::Command6)).left);

  // The window's font at 9.75 points, the RUN button's at 10.5.
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(Id::Command7), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(975, dpi, 7200));
  EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(Id::Command1), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(1050, dpi, 7200));
}

TEST_F(Win32WindowTest, LaysItselfOutAgainWhenMovedToAScreenOfAnotherDpi) {
  const std::string folder = tree_.MakeFolder(
      "photos from the summer holidays/2016 the long trip along the coast/by the sea/day three");
  ChooseByDrop(folder);
  RECT suggested{100, 100, 900, 300};
  SendMessageW(window_->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window_->Dpi(), 192);
  RECT client{};
  GetClientRect(window_->hwnd(), &client);
  EXPECT_EQ(client.right, Pixels(6228, 192));
  RECT button{};
  GetWindowRect(C(Id::Command1), &button);
  EXPECT_EQ(button.right - button.left, Pixels(1272, 192));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(Id::Command1), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(1050, 192, 7200));
  RECT frame{};
  GetWindowRect(window_->hwnd(), &frame);
  EXPECT_EQ(frame.left, 100);
  EXPECT_EQ(frame.top, 100);
  // The folder is shortened again for the label's new width, in the larger font.
  const std::string shown = TextOf(C(Id::Label3));
  EXPECT_NE(shown.find("..."), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 11), "\\day three\\") << shown;
}

TEST_F(Win32WindowTest, StartsOnTheStartPanelWithTheSortedListAndTheDesignsOptions) {
  EXPECT_TRUE(Shown(C(Id::FrameStart)));
  EXPECT_FALSE(Shown(C(Id::FrameRunning)));
  EXPECT_FALSE(Shown(C(Id::FrameOptions)));
  EXPECT_TRUE(Shown(C(Id::Label2)));
  EXPECT_FALSE(IsWindowEnabled(C(Id::Command7)));
  EXPECT_EQ(ListEntries(C(Id::List1)), (std::vector<std::string>{".*", ".AVI", ".TXT"}));
  EXPECT_EQ(Button_GetCheck(C(Id::Check1)), BST_CHECKED);
  EXPECT_EQ(Button_GetCheck(C(Id::CheckSep)), BST_UNCHECKED);
  EXPECT_EQ(Button_GetCheck(C(Id::Option1)), BST_CHECKED);
  EXPECT_EQ(Button_GetCheck(C(Id::Option2)), BST_UNCHECKED);

  Click(C(Id::Command8));
  EXPECT_TRUE(Shown(C(Id::FrameOptions)));
  EXPECT_FALSE(Shown(C(Id::FrameStart)));
  Click(C(Id::Command6));
  EXPECT_TRUE(Shown(C(Id::FrameStart)));
}

TEST_F(Win32WindowTest, AddsTheTypedExtensionAtItsPlaceAndCheckMarksEnableTheFolderButton) {
  SetWindowTextW(C(Id::Text1), L"jpg");
  Click(C(Id::Command3));
  EXPECT_EQ(ListEntries(C(Id::List1)),
            (std::vector<std::string>{".*", ".AVI", ".JPG", ".TXT"}));
  EXPECT_EQ(TextOf(C(Id::Text1)), "jpg");  // the box keeps what was typed, selected
  DWORD start = 1, end = 0;
  SendMessageW(C(Id::Text1), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);
  EXPECT_EQ(GetFocus(), C(Id::Text1));
  EXPECT_EQ(tree_.Read("app/tokiren"), ".AVI\r\n.JPG\r\n.TXT\r\n");

  // Enter in the box adds too.
  SetWindowTextW(C(Id::Text1), L"mov");
  SetFocus(C(Id::Text1));
  MSG enter{C(Id::Text1), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  EXPECT_TRUE(window_->PreTranslate(enter));
  EXPECT_EQ(ListEntries(C(Id::List1)),
            (std::vector<std::string>{".*", ".AVI", ".JPG", ".MOV", ".TXT"}));

  CheckEntry(2, true);
  EXPECT_TRUE(IsWindowEnabled(C(Id::Command7)));
  EXPECT_TRUE(window_->Behaviour().List1()[2].checked);
  CheckEntry(2, false);
  EXPECT_FALSE(IsWindowEnabled(C(Id::Command7)));
}

TEST_F(Win32WindowTest, DeleteRemovesTheSelectedEntryButNotAllFiles) {
  HWND list = C(Id::List1);
  const auto press = [&](int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  };
  press(2);  // .TXT
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{".*", ".AVI"}));
  EXPECT_EQ(tree_.Read("app/tokiren"), ".AVI\r\n");
  press(0);  // .*
  EXPECT_EQ(ListEntries(list), (std::vector<std::string>{".*", ".AVI"}));
}

TEST_F(Win32WindowTest, TabGoesThroughTheStartPanelInTheDesignsOrder) {
  CheckEntry(0, true);  // the folder button takes the focus only when enabled
  std::vector<HWND> order;
  HWND control = C(Id::Text1);
  for (int i = 0; i < 7; ++i) {
    order.push_back(control);
    control = GetNextDlgTabItem(window_->hwnd(), control, FALSE);
  }
  EXPECT_EQ(order, (std::vector<HWND>{C(Id::Text1), C(Id::Command7), C(Id::Command3),
                                      C(Id::List1), C(Id::Command8), C(Id::Command5),
                                      C(Id::Text1)}));
}

TEST_F(Win32WindowTest, TabEntersTheTimeSourcesAtTheCheckedOne) {
  Click(C(Id::Command8));
  const auto cycle = [this] {
    std::vector<HWND> order;
    HWND control = C(Id::Command6);
    for (int i = 0; i < 6; ++i) {
      control = GetNextDlgTabItem(window_->hwnd(), control, FALSE);
      order.push_back(control);
    }
    return order;
  };
  EXPECT_EQ(cycle(), (std::vector<HWND>{C(Id::Option1), C(Id::Check1), C(Id::CheckSep),
                                        C(Id::Check2), C(Id::Text2), C(Id::Command6)}));
  Button_SetCheck(C(Id::Option1), BST_UNCHECKED);
  Button_SetCheck(C(Id::Option2), BST_CHECKED);
  Click(C(Id::Option2));
  EXPECT_EQ(cycle(), (std::vector<HWND>{C(Id::Option2), C(Id::Check1), C(Id::CheckSep),
                                        C(Id::Check2), C(Id::Text2), C(Id::Command6)}));
}

RECT PlaceIn(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The reader of a window that offers Taken: every file was taken at 2001-02-03 04:05:06.
std::unique_ptr<CaptureTimeReader> TakenAtOneMoment() {
  return std::make_unique<tokiren::testing::FakeCaptureTimes>(
      [](const FileTimes&) { return CapturedMoment{{2001, 2, 3, 4, 5, 6}, false, std::nullopt}; });
}

TEST_F(Win32WindowTest, OffersTakenBesideCreationWhenGivenACaptureTimeReader) {
  makeCaptureTimes_ = TakenAtOneMoment;
  window_.reset();
  Open();
  const int dpi = window_->Dpi();
  HWND taken = C(Id::Option3);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(GetParent(taken), C(Id::Frame1));
  EXPECT_EQ(TextOf(taken), "Taken");
  EXPECT_EQ(TipOf(taken), "写真や動画が撮影された日時を使います。");
  EXPECT_EQ(Button_GetCheck(taken), BST_UNCHECKED);
  EXPECT_EQ(Button_GetCheck(C(Id::Option1)), BST_CHECKED);
  // The design's place, as in the Qt window: beside Creation, below LastWrite, level with
  // "separater", as LastWrite is with "Same > +1"; every caption whole, inside the frame, clear of
  // the others.
  const RECT place = PlaceIn(taken), lastWrite = PlaceIn(C(Id::Option1));
  const RECT creation = PlaceIn(C(Id::Option2)), frame = PlaceIn(C(Id::Frame1));
  EXPECT_EQ(place.top, creation.top);
  EXPECT_EQ(place.top - lastWrite.top, Pixels(315, dpi) - Pixels(45, dpi));
  EXPECT_EQ(frame.top + place.top, PlaceIn(C(Id::CheckSep)).top);
  EXPECT_EQ(frame.top + lastWrite.top, PlaceIn(C(Id::Check1)).top);
  EXPECT_EQ(creation.left, lastWrite.left);
  EXPECT_GE(place.left, creation.right);
  SIZE ideal{};
  Button_GetIdealSize(taken, &ideal);
  EXPECT_GE(place.right - place.left, ideal.cx);
  // Creation's caption, drawn as its button needs, stops short of Taken's circle.
  SIZE creationIdeal{};
  Button_GetIdealSize(C(Id::Option2), &creationIdeal);
  EXPECT_GE(place.left - (creation.left + creationIdeal.cx), MulDiv(3, dpi, 96));
  EXPECT_LE(place.bottom, frame.bottom - frame.top);
  EXPECT_LE(frame.bottom, PlaceIn(C(Id::FrameOptions)).bottom - PlaceIn(C(Id::FrameOptions)).top);
  EXPECT_LE(frame.right, PlaceIn(C(Id::Check1)).left);

  // Tab enters the time sources at the checked one, Taken too.
  Click(C(Id::Command8));
  Button_SetCheck(C(Id::Option1), BST_UNCHECKED);
  Button_SetCheck(taken, BST_CHECKED);
  Click(taken);
  EXPECT_EQ(GetNextDlgTabItem(window_->hwnd(), C(Id::Command6), FALSE), taken);
}

TEST_F(Win32WindowTest, ChoosingTakenNamesTheFilesAfterTheMomentTheyWereTaken) {
  makeCaptureTimes_ = TakenAtOneMoment;
  window_.reset();
  Open();
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  Click(C(Id::Command8));
  Button_SetCheck(C(Id::Option1), BST_UNCHECKED);
  Button_SetCheck(C(Id::Option3), BST_CHECKED);
  Click(C(Id::Option3));
  Click(C(Id::Command6));
  ChooseByDrop(photos);
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20010203040506.JPG"}));

  // LastWrite again: the file's own time.
  Click(C(Id::Command5));
  Click(C(Id::Command8));
  Button_SetCheck(C(Id::Option3), BST_UNCHECKED);
  Button_SetCheck(C(Id::Option1), BST_CHECKED);
  Click(C(Id::Option1));
  Click(C(Id::Command6));
  Drop(C(Id::Command7), {photos});
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
}

TEST_F(Win32WindowTest, OffersNoTakenWithoutACaptureTimeReader) {
  EXPECT_FALSE(window_->Behaviour().OffersTaken());
  EXPECT_EQ(C(Id::Option3), nullptr);
  EXPECT_EQ(GetDlgItem(C(Id::Frame1), static_cast<int>(Id::Option3)), nullptr);
  // The two others one above the other, in a frame no wider than they need.
  const RECT lastWrite = PlaceIn(C(Id::Option1)), creation = PlaceIn(C(Id::Option2));
  EXPECT_EQ(lastWrite.left, creation.left);
  EXPECT_GE(creation.top, lastWrite.bottom);
  const RECT frame = PlaceIn(C(Id::Frame1));
  EXPECT_LE(frame.right - frame.left,
            std::max(lastWrite.right, creation.right) + MulDiv(8, window_->Dpi(), 96));
}

TEST_F(Win32WindowTest, OffersCompanionsAndShiftOffAndEmptyEachInItsPlace) {
  const int dpi = window_->Dpi();
  EXPECT_EQ(TextOf(C(Id::Check2)), "Companions");
  EXPECT_EQ(Button_GetCheck(C(Id::Check2)), BST_UNCHECKED);
  EXPECT_EQ(TipOf(C(Id::Check2)), behaviour::kTipCompanions);
  EXPECT_EQ(TextOf(C(Id::Label4)), "Shift");
  EXPECT_EQ(ClassOf(C(Id::Text2)), "Edit");
  EXPECT_EQ(TextOf(C(Id::Text2)), "");
  EXPECT_EQ(TipOf(C(Id::Text2)), behaviour::kTipShift);
  EXPECT_EQ(TipOf(C(Id::Label4)), behaviour::kTipShift);
  // The label comes just before its box, as a reader of the screen takes it.
  EXPECT_EQ(GetWindow(C(Id::Label4), GW_HWNDNEXT), C(Id::Text2));

  // Every control of the panel inside it and clear of the others; the box shows the longest
  // offset of the examples whole, the label's caption fits.
  const std::vector<Id> panel{Id::Frame1, Id::Check1, Id::CheckSep, Id::Check2,
                              Id::Label4, Id::Text2,  Id::Command6};
  RECT inside{};
  GetClientRect(C(Id::FrameOptions), &inside);
  for (std::size_t i = 0; i < panel.size(); ++i) {
    SCOPED_TRACE(static_cast<int>(panel[i]));
    const RECT a = PlaceIn(C(panel[i]));
    EXPECT_EQ(GetParent(C(panel[i])), C(Id::FrameOptions));
    EXPECT_GE(a.left, 0);
    EXPECT_LE(a.right, inside.right);
    EXPECT_LE(a.bottom, inside.bottom);
    for (std::size_t j = i + 1; j < panel.size(); ++j) {
      RECT b = PlaceIn(C(panel[j])), both{};
      EXPECT_FALSE(IntersectRect(&both, &a, &b)) << static_cast<int>(panel[j]);
    }
  }
  const auto textWidth = [](HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return static_cast<int>(size.cx);
  };
  const RECT box = PlaceIn(C(Id::Text2)), label = PlaceIn(C(Id::Label4));
  EXPECT_GE(box.right - box.left, textWidth(C(Id::Text2), L"+2d 0:00:00") + MulDiv(8, dpi, 96));
  EXPECT_GE(label.right - label.left, textWidth(C(Id::Label4), L"Shift"));
  EXPECT_EQ(label.top + label.bottom, box.top + box.bottom);  // centred on one line
}

// Shift that is not an offset is refused with a warning and renames nothing; an offset moves the
// names; neither option is kept for the next start.
TEST_F(Win32WindowTest, ShiftMovesTheNamesAndTextThatIsNotAnOffsetIsRefused) {
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  Click(C(Id::Command8));
  SetWindowTextW(C(Id::Text2), L"+1 hour");
  Button_SetCheck(C(Id::Check2), BST_CHECKED);
  Click(C(Id::Command6));
  ChooseByDrop(photos);
  Click(C(Id::Command1));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, behaviour::MessageIcon::kWarning);
  EXPECT_EQ(dialogs_.messages[0].title, "時計のずれ");
  EXPECT_EQ(dialogs_.messages[0].text.rfind("「+1 hour」は時計のずれとして", 0), 0u);
  EXPECT_EQ(dialogs_.messages[0].owner, window_->hwnd());
  EXPECT_TRUE(Shown(C(Id::FrameRunning)));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG"}));

  SetWindowTextW(C(Id::Text2), L"\xFF0B\xFF11\xFF1A\xFF10\xFF10\xFF1A\xFF10\xFF10");  // "＋１：００：００"
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830134842.JPG"}));

  window_.reset();
  Open();
  EXPECT_EQ(TextOf(C(Id::Text2)), "");
  EXPECT_EQ(Button_GetCheck(C(Id::Check2)), BST_UNCHECKED);
}

TEST_F(Win32WindowTest, ADropOfThreeFoldersTakesTheFirst) {
  const std::string first = tree_.MakeFolder("first");
  const std::string second = tree_.MakeFolder("second");
  const std::string third = tree_.MakeFolder("third");

  Drop(C(Id::Command7), {first, second, third});  // refused while no extension is checked
  EXPECT_TRUE(Shown(C(Id::FrameStart)));

  ChooseByDrop(first);
  Drop(C(Id::Command7), {first, second, third});
  EXPECT_TRUE(Shown(C(Id::FrameRunning)));
  EXPECT_EQ(window_->Behaviour().SelectedPath, first + "\\");
  const std::string shown = TextOf(C(Id::Label3));
  EXPECT_EQ(shown.substr(shown.size() - 7), "\\first\\") << shown;

  Click(C(Id::Command2));  // back
  const std::string file = tree_.Write("a.txt");
  Drop(C(Id::Command7), {file, second});  // a file first: refused
  EXPECT_TRUE(Shown(C(Id::FrameStart)));
  EXPECT_EQ(window_->Behaviour().SelectedPath, first + "\\");
}

TEST_F(Win32WindowTest, ADropWhileADialogIsOpenIsRefused) {
  const std::string dropped = tree_.MakeFolder("dropped");
  CheckEntry(0, true);
  dialogs_.answer = "";  // the browser is cancelled after the drop
  dialogs_.whileOpen = [&](HWND owner) {
    EnableWindow(owner, FALSE);
    Drop(C(Id::Command7), {dropped});
    EnableWindow(owner, TRUE);
  };
  Click(C(Id::Command7));
  EXPECT_TRUE(Shown(C(Id::FrameStart)));
  EXPECT_EQ(window_->Behaviour().SelectedPath, "");
  EXPECT_EQ(TextOf(C(Id::Label3)), "");
}

TEST_F(Win32WindowTest, ALongFolderIsShortenedKeepingItsNameWithTheWholePathAsToolTip) {
  const std::string deep = tree_.MakeFolder(
      "photos from the summer holidays/2016 the long trip along the coast/by the sea/day three");
  ChooseByDrop(deep);
  const std::string shown = TextOf(C(Id::Label3));
  EXPECT_NE(shown.find("..."), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 11), "\\day three\\") << shown;
  EXPECT_EQ(TipOf(C(Id::Label3)), deep + "\\");

  // A short folder afterwards is shown whole; the tool tip keeps the long one.
  Click(C(Id::Command2));
  const std::string shortFolder = tree_.MakeFolder("b");
  Drop(C(Id::Command7), {shortFolder});
  EXPECT_EQ(TextOf(C(Id::Label3)), shortFolder + "\\");
  EXPECT_EQ(TipOf(C(Id::Label3)), deep + "\\");
}

TEST_F(Win32WindowTest, AFolderNamedWithAnAmpersandAndInJapaneseIsShownAsItIsAndRunOn) {
  const std::string folder = tree_.MakeFolder("写真&動画");
  tree_.Write("写真&動画/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  ChooseByDrop(folder);
  const std::string shown = TextOf(C(Id::Label3));
  EXPECT_EQ(shown.substr(shown.size() - 15), "\\写真&動画\\") << shown;
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("写真&動画"), (std::vector<std::string>{"20160830124842.JPG"}));
}

TEST_F(Win32WindowTest, TheFolderBrowserOpensAtTheKeptFolder) {
  const std::string kept = tree_.MakeFolder("kept");
  ChooseByDrop(kept);
  Click(C(Id::Command4));  // Keep Folder Name
  Click(C(Id::Command2));

  dialogs_.answer = "";
  Click(C(Id::Command7));
  ASSERT_EQ(dialogs_.starts.size(), 1u);
  EXPECT_EQ(dialogs_.starts[0], kept);  // without its trailing separator
  EXPECT_EQ(dialogs_.owners[0], window_->hwnd());
  EXPECT_TRUE(Shown(C(Id::FrameStart)));  // cancelled

  // The kept folder is there after a restart.
  window_.reset();
  Open();
  CheckEntry(0, true);
  Click(C(Id::Command7));
  ASSERT_EQ(dialogs_.starts.size(), 2u);
  EXPECT_EQ(dialogs_.starts[1], kept);
}

TEST_F(Win32WindowTest, RunRenamesTheTreeSaysItFinishedAndResetBringsTheNamesBack) {
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree_.Write("photos/notes.txt", "b", testing::LocalTimestamp(2001, 2, 3, 4, 5, 6));
  SetWindowTextW(C(Id::Text1), L"jpg");
  Click(C(Id::Command3));
  CheckEntry(2, true);  // .JPG
  Drop(C(Id::Command7), {photos});
  ASSERT_TRUE(Shown(C(Id::FrameRunning)));

  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG", "notes.txt"}));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, behaviour::MessageIcon::kInformation);
  EXPECT_EQ(dialogs_.messages[0].title, "");
  EXPECT_EQ(dialogs_.messages[0].text, "処理を終了しました。\r\n名前を変更 1 個。");
  EXPECT_EQ(dialogs_.messages[0].owner, window_->hwnd());
  EXPECT_TRUE(Shown(C(Id::FrameStart)));
  EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));

  Click(C(Id::Command5));  // Reset
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG", "notes.txt"}));
  EXPECT_EQ(dialogs_.messages.size(), 1u);  // all restored: nothing more to say
}

// Preview sits beside RUN, clear of it, inside its panel, its caption whole in the font found;
// RUN, Keep Folder Name and "<<" keep their design places.
TEST_F(Win32WindowTest, PreviewFitsBesideRunWithoutMovingAnything) {
  const int dpi = window_->Dpi();
  const auto placeIn = [](HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  HWND preview = C(Id::Command9);
  EXPECT_EQ(GetParent(preview), C(Id::FrameRunning));
  const RECT place = placeIn(preview), run = placeIn(C(Id::Command1));
  EXPECT_GT(place.left, run.right);
  RECT panel{};
  GetClientRect(C(Id::FrameRunning), &panel);
  EXPECT_LE(place.right, panel.right);
  const std::wstring caption = Widen(TextOf(preview));
  HDC dc = GetDC(preview);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(preview, WM_GETFONT, 0, 0)));
  SIZE text{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  SelectObject(dc, old);
  ReleaseDC(preview, dc);
  EXPECT_GE(place.right - place.left, text.cx + MulDiv(8, dpi, 96));
  for (Id id : {Id::Command1, Id::Command4, Id::Command2}) {
    const ControlDesign& design = DesignOf(id);
    const RECT at = placeIn(C(id));
    EXPECT_EQ(at.left, Pixels(design.left, dpi)) << static_cast<int>(id);
    EXPECT_EQ(at.right - at.left, Pixels(design.width, dpi)) << static_cast<int>(id);
  }
}

TEST_F(Win32WindowTest, PreviewShowsThePlanOverTheWindowAndTouchesNothing) {
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  ChooseByDrop(photos);
  Click(C(Id::Command9));
  ASSERT_EQ(dialogs_.previews.size(), 1u);
  EXPECT_EQ(dialogs_.previews[0], (std::vector<std::vector<std::string>>{
                                      {".", "IMG_0001.JPG", "20160830124842.JPG", ""}}));
  EXPECT_EQ(dialogs_.owners.back(), window_->hwnd());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG"}));
  EXPECT_TRUE(Shown(C(Id::FrameRunning)));
}

// The real window: a virtual list that holds a million rows and asks only for those in sight.
TEST(PreviewWindowTest, ListsAMillionRowsWithTheHeadingAboveThem) {
  constexpr std::size_t kRows = 1'000'000;
  behaviour::Preview preview("C:\\photos\\");
  std::string name;
  for (std::size_t i = 0; i < kRows; ++i) {
    name = "IMG_" + std::to_string(i) + ".JPG";
    FileReport file;
    file.folder = "C:\\photos\\";
    file.name = name;
    file.outcome = FileOutcome::kNameTaken;
    preview.Add(file);
  }
  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  {
    PreviewWindow window(owner, preview);
    ASSERT_NE(window.hwnd(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_EQ(TextOf(window.hwnd()), "プレビュー");
    EXPECT_EQ(ListView_GetItemCount(window.list()), static_cast<int>(kRows));
    EXPECT_TRUE(GetWindowLongPtrW(window.list(), GWL_STYLE) & LVS_OWNERDATA);
    wchar_t text[256] = {};
    ListView_GetItemText(window.list(), static_cast<int>(kRows - 1), 1, text, 256);
    EXPECT_EQ(Narrow(text), "IMG_999999.JPG");
    ListView_GetItemText(window.list(), static_cast<int>(kRows - 1), 3, text, 256);
    EXPECT_EQ(Narrow(text), "その名前はほかのファイルが使っています");
    EXPECT_TRUE(ListView_EnsureVisible(window.list(), static_cast<int>(kRows - 1), FALSE));
    SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.hwnd(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

// A plan with Shift and companions: the offset in the heading, which has room for all its lines
// above the list, and each group's members joined by their marks in the name column.
TEST(PreviewWindowTest, ShowsTheOffsetAndJoinsTheMembersOfAGroup) {
  behaviour::Preview preview("C:\\photos\\", 3600);
  const struct {
    const char* name;
    std::uint32_t group;
  } files[] = {{"IMG_0001.CR2", 1}, {"IMG_0001.JPG", 1}, {"IMG_0001.xmp", 1}, {"b.jpg", 0}};
  for (const auto& f : files) {
    FileReport file;
    file.folder = "C:\\photos\\";
    file.name = f.name;
    file.newName = "20160830134842.JPG";
    file.group = f.group;
    preview.Add(file);
  }
  PreviewWindow window(nullptr, preview);
  ASSERT_NE(window.hwnd(), nullptr);
  std::vector<std::string> names;
  for (int row = 0; row < ListView_GetItemCount(window.list()); ++row) {
    wchar_t text[256] = {};
    ListView_GetItemText(window.list(), row, 1, text, 256);
    names.push_back(Narrow(text));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"┌ IMG_0001.CR2", "├ IMG_0001.JPG", "└ IMG_0001.xmp",
                                             "b.jpg"}));
  HWND heading = nullptr;
  for (HWND child = GetWindow(window.hwnd(), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child).rfind("名前を変更 4 個。", 0) == 0) heading = child;
  }
  ASSERT_NE(heading, nullptr);
  const std::string text = TextOf(heading);
  EXPECT_NE(text.find("\r\n時計のずれ +1:00:00 を足した時刻で名前を付けます。\r\n"), std::string::npos)
      << text;
  // Four lines of text, and room for the first to wrap, above the list.
  RECT headingPlace = PlaceIn(heading), listPlace = PlaceIn(window.list());
  const int lineHeight = MulDiv(18, static_cast<int>(GetDpiForSystem()), 96);
  EXPECT_GE(headingPlace.bottom - headingPlace.top, 5 * lineHeight - 1);
  EXPECT_LE(headingPlace.bottom, listPlace.top);
}

TEST_F(Win32WindowTest, TheRunsOptionsComeFromTheOptionControls) {
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/a.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree_.Write("photos/b.JPG", "b", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  Click(C(Id::Command8));
  Button_SetCheck(C(Id::CheckSep), BST_CHECKED);  // separater
  Click(C(Id::Command6));
  ChooseByDrop(photos);  // ".*": every file, each keeping its own extension
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"2016_0830_124842.JPG", "2016_0830_124843.JPG"}));

  // Without "Same > +1" the second file of the same second keeps its name.
  Click(C(Id::Command5));
  Click(C(Id::Command8));
  Button_SetCheck(C(Id::Check1), BST_UNCHECKED);
  Click(C(Id::Command6));
  Drop(C(Id::Command7), {photos});
  Click(C(Id::Command1));
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"2016_0830_124842.JPG", "b.JPG"}));
}

TEST_F(Win32WindowTest, TheProgressWindowHoldsTheWindowAndShowsItsTitleWhole) {
  window_->ShowProgress(0, 0, false);
  HWND progress = FindWindowW(L"TokirenProgress", nullptr);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(GetWindow(progress, GW_OWNER), window_->hwnd());
  EXPECT_EQ(TextOf(progress), "Change Tokiren Ver 3.0");
  EXPECT_FALSE(IsWindowEnabled(window_->hwnd()));
  EXPECT_FALSE(GetWindowLongPtrW(progress, GWL_STYLE) & WS_SYSMENU);  // no close button
  EXPECT_NE(GetClassLongPtrW(progress, GCLP_HICON), 0);
  EXPECT_NE(GetClassLongPtrW(progress, GCLP_HICONSM), 0);

  // Wide enough for the title in the caption font.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(progress);
  HGDIOBJ old = SelectObject(dc, captionFont);
  const std::wstring title = L"Change Tokiren Ver 3.0";
  SIZE size{};
  GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(progress, dc);
  DeleteObject(captionFont);
  RECT frame{};
  GetWindowRect(progress, &frame);
  EXPECT_GT(frame.right - frame.left, size.cx + 2 * GetSystemMetrics(SM_CXSIZE));

  // A message while it is open goes over it, so the window stays held.
  window_->ShowMessage(behaviour::MessageIcon::kWarning, "処理を中止します。", "x", {});
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].owner, progress);

  window_->ShowProgress(5, 10, false);
  HWND bar = FindWindowExW(progress, nullptr, PROGRESS_CLASSW, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 500);

  window_->HideProgress();
  EXPECT_EQ(FindWindowW(L"TokirenProgress", nullptr), nullptr);
  EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));
}

// A preview's progress window offers to cancel: the press is kept for the plan to ask, and the
// window stays, holding the main window, until the plan has ended. A run's has no such button.
TEST_F(Win32WindowTest, TheProgressWindowOfAPreviewCanBeCancelled) {
  for (const bool cancellable : {false, true}) {
    SCOPED_TRACE(cancellable);
    window_->ShowProgress(0, 0, cancellable);
    HWND progress = FindWindowW(L"TokirenProgress", nullptr);
    ASSERT_NE(progress, nullptr);
    HWND cancel = GetDlgItem(progress, IDCANCEL);
    EXPECT_EQ(cancel != nullptr, cancellable);
    EXPECT_FALSE(window_->ProgressCancelled());
    if (cancel) {
      EXPECT_EQ(TextOf(cancel), "キャンセル");
      SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(cancel));
      EXPECT_TRUE(window_->ProgressCancelled());
      EXPECT_FALSE(IsWindowEnabled(cancel));
    }
    window_->ShowProgress(1, 4, cancellable);
    EXPECT_EQ(FindWindowW(L"TokirenProgress", nullptr), progress);
    EXPECT_FALSE(IsWindowEnabled(window_->hwnd()));
    window_->HideProgress();
    EXPECT_FALSE(window_->ProgressCancelled());
    EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));
  }
}

// The system's message box, looked at and answered from a timer while it waits for the user.
struct SeenBox {
  int width = 0;
  std::string text;
};
thread_local SeenBox seenBox;

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(L"#32770", nullptr);
  if (!box) return;
  KillTimer(nullptr, timer);
  PostMessageW(box, WM_COMMAND, IDOK, 0);  // answered first, whatever is found below
  RECT frame{};
  GetWindowRect(box, &frame);
  seenBox.width = frame.right - frame.left;
  seenBox.text = TextOf(box);
  HWND button = FindWindowExW(box, nullptr, L"Button", nullptr);
  while (button && !IsWindowVisible(button)) button = FindWindowExW(box, button, L"Button", nullptr);
  ASSERT_NE(button, nullptr);
  RECT place{};
  GetWindowRect(button, &place);
  // Its button stays in the middle, give or take a few pixels.
  EXPECT_LE(std::abs((place.left + place.right) - (frame.left + frame.right)), 8);
}

TEST(SystemDialogsTest, AMessageBoxIsWideEnoughForItsWholeTitle) {
  for (const std::string title : {"処理を中止します。", "Change Tokiren Ver 3.0 - a longer title"}) {
    seenBox = {};
    SetTimer(nullptr, 0, 50, AnswerMessageBox);
    SystemDialogs().ShowMessage(nullptr, behaviour::MessageIcon::kWarning, title, "a", {});
    EXPECT_EQ(seenBox.text, title);
    EXPECT_GE(seenBox.width, TitleBarWidth(Widen(title), static_cast<int>(GetDpiForSystem())));
  }
}

TEST_F(Win32WindowTest, ClosingTheWindowDestroysIt) {
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(window_->hwnd(), nullptr);
}

TEST_F(Win32WindowTest, AWindowClosedDuringAResetClosesWhenItEnds) {
  const std::string photos = tree_.MakeFolder("photos");
  tree_.Write("photos/IMG_0001.JPG", "a", testing::LocalTimestamp(2016, 8, 30, 12, 48, 42));
  ChooseByDrop(photos);
  Click(C(Id::Command1));
  tree_.Write("photos/IMG_0001.JPG", "another file now has the old name");
  dialogs_.whileOpen = [this](HWND) { SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0); };

  Click(C(Id::Command5));  // Reset cannot rename back, and says so while the close is asked
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1].icon, behaviour::MessageIcon::kWarning);
  ASSERT_NE(window_->hwnd(), nullptr);  // not while the Reset worked
  HandleWaitingMessages();
  EXPECT_EQ(window_->hwnd(), nullptr);
}

// Alt+F4 on the progress window during a run: the window closes once the run has ended.
TEST_F(Win32WindowTest, AltF4OnTheProgressWindowClosesTheWindowWhenTheRunEnds) {
  const std::string photos = tree_.MakeFolder("photos");
  ChooseByDrop(photos);
  ASSERT_TRUE(RemoveDirectoryW(Widen(photos).c_str()));  // the run stops on it, saying so
  bool pressed = false;
  dialogs_.whileOpen = [&](HWND) {
    if (pressed) return;
    pressed = true;
    window_->ShowProgress(0, 0, false);  // as a long run shows it
    HWND progress = FindWindowW(L"TokirenProgress", nullptr);
    ASSERT_NE(progress, nullptr);
    SendMessageW(progress, WM_SYSKEYDOWN, VK_F4, 1 << 29);  // with Alt held
    HandleWaitingMessages();
    window_->HideProgress();
  };
  Click(C(Id::Command1));
  EXPECT_TRUE(pressed);
  ASSERT_EQ(dialogs_.messages.size(), 2u);  // the error, then the finished message
  ASSERT_NE(window_->hwnd(), nullptr);      // not while the run worked
  HandleWaitingMessages();
  EXPECT_EQ(window_->hwnd(), nullptr);
}

}  // namespace
}  // namespace tokiren::ui::win32

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
