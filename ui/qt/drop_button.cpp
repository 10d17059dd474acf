// The folder button.
#include "ui/qt/drop_button.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tokiren::ui {
namespace {

bool TakesFolder(const QMimeData* data) {
  return !behaviour::FirstDroppedFolder(DroppedItems(data)).empty();
}

}  // namespace

std::vector<behaviour::DroppedItem> DroppedItems(const QMimeData* data) {
  std::vector<behaviour::DroppedItem> items;
  if (!data || !data->hasUrls()) return items;
  for (const QUrl& url : data->urls()) {
    behaviour::DroppedItem item;
    if (url.isLocalFile()) {
      const QString path = url.toLocalFile();
      item.path = path.toStdString();
      item.folder = QFileInfo(path).isDir();
    }
    items.push_back(std::move(item));
  }
  return items;
}

DropButton::DropButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setAcceptDrops(true);
}

void DropButton::dragEnterEvent(QDragEnterEvent* event) {
  if (TakesFolder(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void DropButton::dragMoveEvent(QDragMoveEvent* event) {
  if (TakesFolder(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void DropButton::dropEvent(QDropEvent* event) {
  const std::vector<behaviour::DroppedItem> items = DroppedItems(event->mimeData());
  if (behaviour::FirstDroppedFolder(items).empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  Q_EMIT dropped(items);
}

}  // namespace tokiren::ui
