// The main window on Windows: native controls made from the design table, over the toolkit-free
// behaviour. It forwards each control's event to the behaviour and shows what it is told.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/behaviour/view.h"
#include "ui/behaviour/window.h"
#include "ui/win32/design.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/window_kit.h"

namespace tokiren::ui::win32 {

class MainWindow final : public behaviour::View {
 public:
  // Makes the window (hidden) with its controls and starts the behaviour: the extension list and
  // the kept folder read from `appPath`. `makeCaptureTimes` makes the reader of a "Taken" run, and
  // the behaviour offers "Taken" only with one. `dialogs`: the system's when null. `quitOnClose`:
  // end the thread's message loop when the window goes.
  MainWindow(std::string appPath, behaviour::CaptureTimeReaderMaker makeCaptureTimes,
             Dialogs* dialogs = nullptr, bool quitOnClose = true);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window, centred on the screen that holds it.
  void Show(int showCommand = SW_SHOWNORMAL);
  // Handles keyboard navigation (Tab, arrows, space) for `message`; true when it was used.
  bool PreTranslate(MSG& message);

  HWND hwnd() const { return window_; }
  HWND Control(Id id) const;
  HWND ToolTips() const { return tips_; }
  int Dpi() const { return dpi_; }
  behaviour::Window& Behaviour() { return behaviour_; }

  // behaviour::View
  void ShowPanel(behaviour::Panel panel) override;
  void InsertExtension(int row, const std::string& text) override;
  void RemoveExtension(int row) override;
  void SelectTypedExtension() override;
  void SetFolderButtonEnabled(bool enabled) override;
  void SetFolderLabel(const std::string& path) override;
  void ShowMessage(behaviour::MessageIcon icon, const std::string& title, const std::string& text,
                   const std::string& details) override;
  std::string ChooseFolder(const std::string& start) override;
  void ShowProgress(std::uint64_t done, std::uint64_t total, bool cancellable) override;
  bool ProgressCancelled() override;
  void HideProgress() override;
  void Close() override;
  void ShowPreview(const behaviour::Preview& preview) override;

 private:
  friend LRESULT CALLBACK WindowProcedure<MainWindow>(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK DropProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR self);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Command(Id id, int code);
  void Notify(const NMHDR& header);
  // List1's context menu, at `screen` (-1, -1 from the keyboard: at the selected entry).
  void ListMenu(POINT screen);
  LRESULT ControlColour(HDC dc, HWND control);
  void Dropped(HDROP drop);

  void CreateControls();
  void OrderTabs();
  void TabToCheckedOption();
  void RestoreFocus();
  void GrowToFitCaptions();
  TOOLINFOW ToolOf(HWND control) const;
  TOOLINFOW DisabledFolderTool() const;
  void AddTip(HWND control, const std::string& text);
  void SetTip(HWND control, const std::string& text);
  // Shows folder_ in Label3, shortened to fit; true when shortened.
  bool ShowFolder();
  void MakeFonts();
  void LayOut();
  behaviour::OptionControls CurrentOptionControls() const;

  std::unique_ptr<SystemDialogs> ownDialogs_;
  Dialogs& dialogs_;
  const bool quitOnClose_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;
  std::vector<ControlDesign> design_;  // the controls made: the table, with Taken or without
  std::map<Id, HWND> controls_;
  std::map<Font, HFONT> fonts_;
  HBRUSH lightGrey_ = nullptr;
  int dpi_ = 96;
  std::string folder_;  // the folder Label3 shows
  behaviour::Panel panel_ = behaviour::Panel::kStart;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
  ProgressWindow progress_;
  behaviour::Window behaviour_;
};

// Runs the thread's message loop for `window` until it is closed; the exit code of WM_QUIT.
int RunMessageLoop(MainWindow& window);

}  // namespace tokiren::ui::win32
