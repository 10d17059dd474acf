// What the window's behaviour asks of a window: the few things a view shows or asks the user.
// Each toolkit's window implements it; the behaviour never sees a control.
#pragma once

#include <cstdint>
#include <string>

namespace tokiren::behaviour {

class Preview;

// The three panels; one is shown at a time.
enum class Panel { kStart, kRunning, kOptions };

enum class MessageIcon { kInformation, kWarning };

class View {
 public:
  virtual ~View() = default;

  // Shows `panel` (FrameStart, FrameRunning or FrameOptions) and hides the other two.
  virtual void ShowPanel(Panel panel) = 0;
  // Puts an unchecked entry `text` into List1 at `row` (0-based), the rows from there moving down.
  virtual void InsertExtension(int row, const std::string& text) = 0;
  // Takes the entry at `row` (0-based) out of List1, the rows below moving up.
  virtual void RemoveExtension(int row) = 0;
  // Selects the whole text of Text1, so that what is typed next replaces it.
  virtual void SelectTypedExtension() = 0;
  // Enables or disables the folder button Command7.
  virtual void SetFolderButtonEnabled(bool enabled) = 0;
  // Shows the folder `path` in Label3, shortened where it does not fit.
  virtual void SetFolderLabel(const std::string& path) = 0;
  // A modal message box with an OK button. `title` may be empty; `text` holds CR LF and lone CR
  // line ends. `details`, unless empty, is a part the user may open to read (lines ended the
  // same way).
  virtual void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text,
                           const std::string& details) = 0;
  // The folder picker, opened at `start` with it selected; "" when the user cancels.
  virtual std::string ChooseFolder(const std::string& start) = 0;
  // The progress display of a run, a Reset or a preview, opened at the first call: `done` of
  // `total`, or a busy display while `total` is 0, with a cancel button when `cancellable`. While
  // it is open the window takes no input but repaints.
  virtual void ShowProgress(std::uint64_t done, std::uint64_t total, bool cancellable) = 0;
  // Whether the user has pressed the open progress display's cancel button.
  virtual bool ProgressCancelled() = 0;
  // Closes the progress display; nothing when none is open.
  virtual void HideProgress() = 0;
  // Closes the window: a close asked for during a run or Reset, once it ended.
  virtual void Close() = 0;
  // The preview's modal dialog: its heading above a list of every row of `preview`, read a cell
  // at a time (a virtual list), and a button that closes it.
  virtual void ShowPreview(const Preview& preview) = 0;
};

}  // namespace tokiren::behaviour
