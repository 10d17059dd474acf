// What the window shows while the engine works: a progress display for a long run, and the
// engine's error messages.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <cstdint>

#include "engine/engine.h"
#include "ui/dialogs.h"

namespace tokiren::ui {

class RunFeedback final : public EngineSink {
 public:
  enum class Errors {
    kShowEach,      // a run: it stops at its first error
    kShowFirstOnly  // a Reset: one box for the first failure, with how many more there were
  };

  RunFeedback(QWidget* window, Dialogs& dialogs, Errors errors);
  ~RunFeedback() override;

  void ShowError(const ErrorReport& report) override;
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override;

  // Closes the progress display and shows what was held back, with `note` as its last line; a
  // note alone is shown in a box of its own.
  void Finish(const QString& note = QString());

 private:
  QWidget* window_;
  Dialogs& dialogs_;
  const Errors errors_;
  QElapsedTimer clock_;
  QPointer<QProgressDialog> progress_;
  bool haveFirst_ = false;
  ErrorReport first_;
  std::uint64_t more_ = 0;
};

}  // namespace tokiren::ui
