// The extension list.
#include "engine/extensions.h"

#include <algorithm>

#include "platform/names.h"

namespace tokiren {

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string NormalizeExtension(std::string_view typed) {
  std::string text = AsciiUpper(typed);
  if (text.empty() || text.front() != '.') text.insert(0, 1, '.');
  return text;
}

bool ListOrderLess(const ExtensionEntry& a, const ExtensionEntry& b) {
  return NameLess(a.text, b.text);
}

bool AllFilesChecked(const std::vector<ExtensionEntry>& List1) {
  return std::any_of(List1.begin(), List1.end(), [](const ExtensionEntry& entry) {
    return entry.checked && entry.text == kAllFilesEntry;
  });
}

void CheckKakucyou(const std::vector<ExtensionEntry>& List1, std::string_view strTmpF, bool& Chk,
                   std::string& strTmpK) {
  Chk = false;
  for (const ExtensionEntry& entry : List1) {
    if (entry.checked && entry.text != kAllFilesEntry && strTmpF.ends_with(entry.text)) {
      Chk = true;
      strTmpK = entry.text;
      return;
    }
  }
}

}  // namespace tokiren
