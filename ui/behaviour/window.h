// What the main window does, for any toolkit: its panels, the extension list, folder selection,
// Keep Folder Name, RUN, Reset and the settings files. A view forwards each event of its controls
// as one call here and shows what it is told through View.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "settings/settings_files.h"
#include "ui/behaviour/run_reports.h"
#include "ui/behaviour/view.h"

namespace tokiren::behaviour {

// The folder without one trailing separator ("/photos/" -> "/photos"); a root keeps it ("/", and
// a drive's "D:\" on Windows).
std::string UnqualifyPath(const std::string& spath);

// One item dropped on the folder button: its local path ("" for anything that is not a local file
// or folder, such as a remote address) and whether that path is a folder.
struct DroppedItem {
  std::string path;
  bool folder = false;
};

// The folder a drop chooses: the first item when it is a folder, otherwise "" (even when a later
// item is a folder).
std::string FirstDroppedFolder(const std::vector<DroppedItem>& items);

// The option controls as the user left them. The defaults are the design's start values.
struct OptionControls {
  bool CheckSep = false;  // separater
  bool Check1 = true;     // Same > +1
  bool Option2 = false;   // Creation
  bool Option3 = false;   // Taken (Option1, LastWrite, when neither is chosen)
  bool Check2 = false;    // Companions
  std::string Text2{};    // Shift: the camera clock's offset as typed; empty for none
};

// The run's options from the option controls and the extension list; nothing when Text2 is not an
// offset (ShiftFromTyped).
std::optional<RunOptions> RunOptionsFrom(const OptionControls& controls,
                                         const std::vector<ExtensionEntry>& extensions);

// The message at the end of a run: "処理を終了しました。", a line saying so when an error stopped
// the run (with the renames made before it), a line for each kind of file the run named or left
// otherwise than asked, and last the counts of the outcomes that occurred (CountsLine).
std::string FinishedMessage(const RunSummary& summary);

// Makes the capture-time reader of one "Taken" run; may return null.
using CaptureTimeReaderMaker = std::function<std::unique_ptr<CaptureTimeReader>()>;

class Window {
 public:
  // `AppPath` is the program folder holding the log and the settings files (the separator is
  // appended when missing). `makeCaptureTimes` serves runs with Option3 chosen; the entry point
  // gives one where the system reads capture times, and none elsewhere. Nothing is shown before
  // Start.
  Window(View& view, std::string AppPath, CaptureTimeReaderMaker makeCaptureTimes = nullptr);

  // Whether the window offers "Taken" (Option3): only when it was given a capture-time reader.
  // Every view asks here, and shows Option3 only then.
  bool OffersTaken() const { return makeCaptureTimes_ != nullptr; }

  // The job state kept between runs. SelectedPath and DefaultPath end with the separator once set.
  std::string SelectedPath;
  std::string AppPath;
  std::string DefaultPath;
  // How long a run, Reset or preview works before its progress display opens.
  std::chrono::milliseconds progressDelay = kProgressDelay;

  const std::vector<ExtensionEntry>& List1() const { return List1_; }

  // Fills the extension list (".*", then the saved entries), disables the folder button, reads the
  // kept folder and shows the start panel. Settings that cannot be read are told once each.
  void Start();

  void FrameStartDisp();
  void FrameRunningDisp();
  void FrameOptionsDisp();

  // The events of the controls.
  void OptionsClicked();          // Command8
  void SetClicked();              // Command6
  void BackClicked();             // Command2
  // Command3, or Enter in Text1: `typed` is Text1's text, read by ExtensionFromTyped (blanks
  // trimmed, upper case, "." in front) and added at its place unless exactly that entry is listed;
  // the list is saved then. An entry that cannot be is refused with a message saying why. Either
  // way Text1's text is selected afterwards, so that typing replaces it.
  void AddClicked(const std::string& typed);
  // Whether the entry at `row` may be removed: any entry but the every-file entry ".*".
  bool MayRemoveExtension(int row) const;
  // The Delete key on List1's selected entry, or the list's context menu: takes the entry at
  // `row` out and saves the list; nothing when it may not be removed. The folder button follows
  // the check marks left.
  void RemoveClicked(int row);
  void ExtensionChecked(int row, bool checked);  // a check mark in List1 set or cleared
  void FolderClicked();                          // Command7: the folder picker
  void FolderDropped(const std::vector<DroppedItem>& items);  // a drop on Command7
  void KeepFolderClicked();                      // Command4
  // Command1. Text in Shift that is not an offset is refused with a message saying how to write
  // one, and nothing is run.
  void RunClicked(const OptionControls& controls);
  // Command9 (Preview): plans a run of the chosen folder with `options` exactly as RUN would run it
  // now, touching nothing, and shows every file with its planned name or why it is left alone
  // (ShowPreview). The progress display offers to cancel; a cancelled plan, or one an error ended
  // (shown in its own box), shows no preview. RUN plans again when it is pressed. Shift is read as
  // RUN reads it: no plan for text that is not an offset.
  void PreviewClicked(const OptionControls& controls);
  void ResetClicked();                           // Command5

  // Whether the window may close now. During a run or Reset it may not: the run goes to its end
  // and the window is closed then (View::Close); a preview's plan ends at once, showing nothing.
  bool MayClose();

 private:
  void AddEntry(const std::string& text);
  void ChooseFolder();
  void ShowChosenFolder();
  void SaveExtensionList();
  void ReportSettingsFailure(const char* what, const std::string& path, ErrorCode error);
  void CloseIfAsked();
  // The run's options from `options` and List1; nothing, after a message saying why, when Shift
  // holds no offset.
  std::optional<RunOptions> ReadOptions(const OptionControls& options);
  // Gives `job` the window's state and `options`; returns the capture-time reader it reads with,
  // kept for the run's length.
  std::unique_ptr<CaptureTimeReader> PrepareRun(RenameJob& job, RunOptions options);

  View& view_;
  const CaptureTimeReaderMaker makeCaptureTimes_;
  SettingsFiles settings_;
  std::vector<ExtensionEntry> List1_;
  std::set<std::string> reportedFiles_;
  bool busy_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace tokiren::behaviour
