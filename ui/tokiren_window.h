// The main window: its three panels, the extension list, folder selection, RUN and Reset.
#pragma once

#include <QWidget>
#include <memory>
#include <set>
#include <string>

#include "engine/engine.h"
#include "settings/settings_files.h"
#include "ui/controls.h"
#include "ui/dialogs.h"

namespace tokiren::ui {

// The folder without one trailing separator ("/photos/" -> "/photos"; "/" stays "/").
QString UnqualifyPath(const QString& spath);

class Tokiren : public QWidget {
 public:
  // `AppPath` is the program folder (ending with the separator) holding the log and the settings
  // files. `dialogs` answers the message boxes and the folder picker; by default the window
  // shows the real ones.
  explicit Tokiren(std::string AppPath, Dialogs* dialogs = nullptr);

  const Controls& controls() const { return c_; }

  // The job state the window keeps between runs.
  std::string SelectedPath;
  std::string AppPath;
  std::string DefaultPath;

  void FrameStartDisp();
  void FrameRunningDisp();
  void FrameOptionsDisp();

  // The folder picker, starting at the kept folder; a cancel leaves SelectedPath empty.
  void ChooseFolder();
  // Shows SelectedPath on the running panel; does nothing while it is empty.
  void ShowChosenFolder();

  // The run's options, as the options panel and the extension list hold them now.
  RunOptions CurrentOptions() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddExtension();
  void UpdateFolderButton();
  void Run();
  void Reset();
  void KeepFolder();
  void FolderDropped(const QString& folder);
  void LoadSettings();
  void SaveExtensionList();
  // Tells the user once per file that a settings file could not be read or written.
  void ReportSettingsFailure(const char* what, const std::string& path, ErrorCode error);

  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs& dialogs_;
  SettingsFiles settings_;
  Controls c_{};
  std::set<std::string> reportedFiles_;
  bool busy_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace tokiren::ui
