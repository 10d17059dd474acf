// The main window: the Qt view of the window's behaviour. It makes the controls, forwards each of
// their events to behaviour::Window and shows what that tells it.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "ui/behaviour/view.h"
#include "ui/behaviour/window.h"
#include "ui/qt/controls.h"
#include "ui/qt/dialogs.h"
#include "ui/qt/run_progress.h"

namespace tokiren::ui {

class Tokiren : public QWidget, private behaviour::View {
 public:
  // `AppPath` is the program folder (ending with the separator) holding the log and the settings
  // files. `makeCaptureTimes` makes the reader of a "Taken" run; without one the window offers no
  // "Taken". `dialogs` answers the message boxes and the folder picker; by default the window
  // shows the real ones.
  Tokiren(std::string AppPath, behaviour::CaptureTimeReaderMaker makeCaptureTimes,
          Dialogs* dialogs = nullptr);

  const Controls& controls() const { return c_; }
  // The job state (SelectedPath, AppPath, DefaultPath) and the extension list.
  const behaviour::Window& behaviour() const { return behaviour_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
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

  // The option controls as they stand now.
  behaviour::OptionControls CurrentOptionControls() const;

  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs& dialogs_;
  Controls c_{};
  RunProgress progress_;
  behaviour::Window behaviour_;
};

}  // namespace tokiren::ui
