// The extension list box: entries with check boxes, kept in list order.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "engine/extensions.h"

namespace tokiren::ui {

// Adds an unchecked entry at its sorted place (ASCII case-folded, then bytewise), after any equal
// entry. No duplicate test is made.
void AddEntry(QListWidget* list, const std::string& text);

bool HasEntry(const QListWidget* list, const std::string& text);
bool AnyChecked(const QListWidget* list);

// The entries in list order, with their check marks.
std::vector<ExtensionEntry> Entries(const QListWidget* list);

}  // namespace tokiren::ui
