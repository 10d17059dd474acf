// The real dialogs.
#include "ui/qt/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "ui/qt/strings.h"

namespace tokiren::ui {

void WindowDialogs::ShowMessage(QMessageBox::Icon icon, const QString& title,
                                const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(icon, title, lines, QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString WindowDialogs::ChooseFolder(const QString& start) {
  QFileDialog dialog(owner_, QString::fromUtf8(kBrowseTitle));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const QFileInfo startFolder(start);
  if (!start.isEmpty() && startFolder.isDir()) {
    // Opened in the folder above, with the starting folder selected.
    dialog.setDirectory(startFolder.absolutePath());
    dialog.selectFile(startFolder.fileName());
  } else {
    dialog.setDirectory(QDir::homePath());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().constFirst();
  return QFileInfo(chosen).isDir() ? chosen : QString();
}

}  // namespace tokiren::ui
