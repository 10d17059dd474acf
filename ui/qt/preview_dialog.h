// The preview's dialog: the chosen folder and the heading above a table of every file of the plan,
// read from behaviour::Preview a cell at a time, so that a million rows open and scroll at once.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>

#include "ui/behaviour/preview.h"

class QTableView;

namespace tokiren::ui {

// The preview as Qt's views read it: its rows and columns, each cell's text made when it is asked
// for (only the rows in sight are).
class PreviewModel final : public QAbstractTableModel {
 public:
  PreviewModel(const behaviour::Preview& preview, QObject* parent)
      : QAbstractTableModel(parent), preview_(preview) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const behaviour::Preview& preview_;
};

class PreviewDialog final : public QDialog {
 public:
  PreviewDialog(const behaviour::Preview& preview, QWidget* parent);

  QTableView* table() const { return table_; }

 private:
  QTableView* table_;
};

}  // namespace tokiren::ui
