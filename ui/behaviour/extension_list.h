// The rules of the extension list List1: where an entry goes, what counts as listed, what is saved.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/extensions.h"

namespace tokiren::behaviour {

// The row at which `text` goes: its sorted place in list order (ASCII case-folded, then
// bytewise), after any equal entry.
int ListRowFor(const std::vector<ExtensionEntry>& entries, std::string_view text);

// Whether an entry reads exactly `text` (no case folding).
bool HasEntry(const std::vector<ExtensionEntry>& entries, std::string_view text);

bool AnyChecked(const std::vector<ExtensionEntry>& entries);

// What the extension-list file keeps: every entry but the built-in ".*", in list order.
std::vector<std::string> SavedEntries(const std::vector<ExtensionEntry>& entries);

}  // namespace tokiren::behaviour
