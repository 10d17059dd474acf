// The folder button: a push button that takes a folder dropped from the file manager.
#pragma once

#include <QPushButton>
#include <QString>

class QMimeData;

namespace tokiren::ui {

// The first dropped item when it is a local folder, as a path; "" for anything else (a file, text,
// a remote address), even when a later item is a folder.
QString FirstDroppedFolder(const QMimeData* data);

class DropButton : public QPushButton {
  Q_OBJECT

 public:
  DropButton(const QString& text, QWidget* parent);

 Q_SIGNALS:
  void folderDropped(const QString& folder);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace tokiren::ui
