// The folder button: a push button that takes a folder dropped from the file manager.
#pragma once

#include <QPushButton>
#include <QString>
#include <vector>

#include "ui/behaviour/window.h"

class QMimeData;

namespace tokiren::ui {

// The dropped items as the behaviour sees them: each local path with whether it is a folder, and
// an empty path for anything else (text, a remote address). No items where no address was dropped.
std::vector<behaviour::DroppedItem> DroppedItems(const QMimeData* data);

class DropButton : public QPushButton {
  Q_OBJECT

 public:
  DropButton(const QString& text, QWidget* parent);

 Q_SIGNALS:
  // A drop the button took: one the behaviour finds a folder in (behaviour::FirstDroppedFolder).
  void dropped(const std::vector<tokiren::behaviour::DroppedItem>& items);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace tokiren::ui
