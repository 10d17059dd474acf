// The extension list's rules.
#include "ui/behaviour/extension_list.h"

#include <algorithm>

namespace tokiren::behaviour {

int ListRowFor(const std::vector<ExtensionEntry>& entries, std::string_view text) {
  const ExtensionEntry added{std::string(text), false};
  int row = static_cast<int>(entries.size());
  while (row > 0 && ListOrderLess(added, entries[row - 1])) --row;
  return row;
}

bool HasEntry(const std::vector<ExtensionEntry>& entries, std::string_view text) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const ExtensionEntry& entry) { return entry.text == text; });
}

bool AnyChecked(const std::vector<ExtensionEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const ExtensionEntry& entry) { return entry.checked; });
}

std::vector<std::string> SavedEntries(const std::vector<ExtensionEntry>& entries) {
  std::vector<std::string> saved;
  for (const ExtensionEntry& entry : entries) {
    if (entry.text != kAllFilesEntry) saved.push_back(entry.text);
  }
  return saved;
}

}  // namespace tokiren::behaviour
