// The progress display of a long run, Reset or preview: a window-modal dialog. That of a run or
// Reset cannot be closed or cancelled, since a run goes to its end; that of a preview has a cancel
// button.
#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <cstdint>

namespace tokiren::ui {

class RunProgress {
 public:
  explicit RunProgress(QWidget* window) : window_(window) {}
  ~RunProgress() { Hide(); }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  // Opens the display at the first call, with a cancel button when `cancellable`; `done` of
  // `total`, or busy while `total` is 0. Lets the window repaint (the display keeps it from input)
  // and the cancel button be pressed.
  void Show(std::uint64_t done, std::uint64_t total, bool cancellable);
  // Whether the open display's cancel button was pressed.
  bool Cancelled() const;
  void Hide();

 private:
  QWidget* window_;
  QPointer<QProgressDialog> progress_;
};

}  // namespace tokiren::ui
