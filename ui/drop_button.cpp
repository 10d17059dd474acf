// The folder button.
#include "ui/drop_button.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tokiren::ui {

QString FirstDroppedFolder(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty()) return {};
  const QUrl first = data->urls().constFirst();
  if (!first.isLocalFile()) return {};
  const QString path = first.toLocalFile();
  return QFileInfo(path).isDir() ? path : QString();
}

DropButton::DropButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setAcceptDrops(true);
}

void DropButton::dragEnterEvent(QDragEnterEvent* event) {
  if (FirstDroppedFolder(event->mimeData()).isEmpty()) {
    event->ignore();
  } else {
    event->acceptProposedAction();
  }
}

void DropButton::dragMoveEvent(QDragMoveEvent* event) {
  if (FirstDroppedFolder(event->mimeData()).isEmpty()) {
    event->ignore();
  } else {
    event->acceptProposedAction();
  }
}

void DropButton::dropEvent(QDropEvent* event) {
  const QString folder = FirstDroppedFolder(event->mimeData());
  if (folder.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  Q_EMIT folderDropped(folder);
}

}  // namespace tokiren::ui
