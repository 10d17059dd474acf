// The real dialogs.
#include "ui/qt/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QSpacerItem>

#include "ui/behaviour/captions.h"
#include "ui/qt/preview_dialog.h"
#include "ui/qt/title_bar.h"

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)

namespace {

QString Lines(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

}  // namespace

void WindowDialogs::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                                const QString& details) {
  QMessageBox box(icon, title, Lines(text), QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  // Adds its "Show Details..." button: done before the spacer below, as it rebuilds the layout.
  if (!details.isEmpty()) box.setDetailedText(Lines(details));
  // The box sizes itself after its text whenever it is shown, overriding any minimum width set
  // on it; the width of its layout is what it starts from, so a spacer row there keeps the box
  // wide enough for its title. (Changing the icon or adding buttons rebuilds the layout: done
  // before this.)
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const QMargins margins = box.contentsMargins() + grid->contentsMargins();
    const int width = TitleBarWidth(box) - margins.left() - margins.right();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
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

void WindowDialogs::ShowPreview(const behaviour::Preview& preview) {
  PreviewDialog dialog(preview, owner_);
  dialog.exec();
}

}  // namespace tokiren::ui
