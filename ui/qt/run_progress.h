// The progress display of a long run or Reset: a window-modal dialog that cannot be closed or
// cancelled, since a run goes to its end.
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

  // Opens the display at the first call; `done` of `total`, or busy while `total` is 0. Lets the
  // window repaint (the display keeps it from input).
  void Show(std::uint64_t done, std::uint64_t total);
  void Hide();

 private:
  QWidget* window_;
  QPointer<QProgressDialog> progress_;
};

}  // namespace tokiren::ui
