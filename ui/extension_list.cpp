// The extension list box.
#include "ui/extension_list.h"

namespace tokiren::ui {
namespace {

std::string TextOf(const QListWidgetItem* item) { return item->text().toStdString(); }

}  // namespace

void AddEntry(QListWidget* list, const std::string& text) {
  const ExtensionEntry added{text, false};
  int row = list->count();
  while (row > 0 && ListOrderLess(added, ExtensionEntry{TextOf(list->item(row - 1))})) --row;
  auto* item = new QListWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  list->insertItem(row, item);
}

bool HasEntry(const QListWidget* list, const std::string& text) {
  for (int row = 0; row < list->count(); ++row) {
    if (TextOf(list->item(row)) == text) return true;
  }
  return false;
}

bool AnyChecked(const QListWidget* list) {
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->checkState() == Qt::Checked) return true;
  }
  return false;
}

std::vector<ExtensionEntry> Entries(const QListWidget* list) {
  std::vector<ExtensionEntry> entries;
  for (int row = 0; row < list->count(); ++row) {
    const QListWidgetItem* item = list->item(row);
    entries.push_back(ExtensionEntry{TextOf(item), item->checkState() == Qt::Checked});
  }
  return entries;
}

}  // namespace tokiren::ui
