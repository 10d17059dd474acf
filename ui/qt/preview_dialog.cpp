// The preview's dialog.
#include "ui/qt/preview_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/design.h"
#include "ui/behaviour/strings.h"

namespace tokiren::ui {
namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString Lines(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

int PreviewModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  // A model counts its rows in an int: a plan of more files shows the first two thousand million.
  constexpr std::size_t kMostRows = std::numeric_limits<int>::max();
  return static_cast<int>(std::min(preview_.size(), kMostRows));
}

int PreviewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : behaviour::Preview::kColumns;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return Text(preview_.Cell(static_cast<std::size_t>(index.row()), index.column()));
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return QString::fromUtf8(behaviour::Preview::ColumnTitle(section));
}

PreviewDialog::PreviewDialog(const behaviour::Preview& preview, QWidget* parent)
    : QDialog(parent), table_(new QTableView(this)) {
  setWindowTitle(QString::fromUtf8(behaviour::kPreviewTitle));
  auto* layout = new QVBoxLayout(this);
  auto* folder = new QLabel(Text(preview.folder()), this);
  folder->setTextFormat(Qt::PlainText);  // a folder may be named like markup
  layout->addWidget(folder);
  auto* heading = new QLabel(Lines(Text(preview.Heading())), this);
  heading->setTextFormat(Qt::PlainText);
  heading->setWordWrap(true);
  layout->addWidget(heading);

  table_->setModel(new PreviewModel(preview, table_));
  // Every row one line high, known without asking the rows: a million of them scroll at once.
  QHeaderView* rows = table_->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 6);
  rows->hide();
  QHeaderView* columns = table_->horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  for (int column = 0; column < behaviour::Preview::kColumns; ++column) {
    table_->setColumnWidth(column, behaviour::kPreviewColumnWidths[column]);
  }
  columns->setStretchLastSection(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideMiddle);
  layout->addWidget(table_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QString::fromUtf8(behaviour::kCloseCaption),
                                          QDialogButtonBox::RejectRole);
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(behaviour::kPreviewWidth, behaviour::kPreviewHeight);
}

}  // namespace tokiren::ui
