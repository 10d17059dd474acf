// The window's modal dialogs behind one interface, so tests can answer them.
#pragma once

#include <QMessageBox>
#include <QString>

#include "ui/behaviour/preview.h"

namespace tokiren::ui {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message box with an OK button. `text` and `details` may hold CR LF and lone CR line
  // ends; `details`, unless empty, is the box's part the user may open ("Show Details...").
  virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                           const QString& details) = 0;
  // The folder picker, opened at `start` with it selected; "" when the user cancels.
  virtual QString ChooseFolder(const QString& start) = 0;
  // The preview's modal dialog (PreviewDialog).
  virtual void ShowPreview(const behaviour::Preview& preview) = 0;
};

// The real dialogs, owned by `owner`.
class WindowDialogs final : public Dialogs {
 public:
  explicit WindowDialogs(QWidget* owner) : owner_(owner) {}
  void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                   const QString& details) override;
  QString ChooseFolder(const QString& start) override;
  void ShowPreview(const behaviour::Preview& preview) override;

 private:
  QWidget* owner_;
};

}  // namespace tokiren::ui
